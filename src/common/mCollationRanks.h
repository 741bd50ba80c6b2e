#pragma once
// Sort ranks of many texts under a locale's collation, by ICU's keys; no widgets, no database.
#include <QLocale>
#include <QStringList>

#include <vector>

class cWorkControl;

// The rank of each text under the collation of locale: texts the collation finds equal
// share a rank, and ranks count up from 0 in the collation's order (*rankCount gets how
// many there are). A binary sort key is made once a text and the keys are compared as
// bytes, so a million texts take no collation call beyond the million keys; the work is
// shared between the machine's cores. Empty when control asked to stop.
std::vector<qint32> CollationRanks(const QStringList& texts, const QLocale& locale, qint32* rankCount,
                                   cWorkControl* control = nullptr);

#pragma once
// Whether a database file may be read through a memory mapping.
#include <QString>

// True only for a file on a fixed local disk (or in memory): a mapped file that goes away
// under the program (a stick pulled out, a share gone, a file cut short by another
// program) kills the process where a read would only fail and be reported.
bool MayMapDatabaseFile(const QString& path);

#pragma once
// The program's Czech texts by number and their placeholders; the texts live in resources, not in code.
#include <QString>
#include <QStringList>

// The program's Czech texts, looked up by number; the empty text when there is none.
QString LoadString(int id);

// Plain replacement of every "%1", then every "%2", ... by the values in that order.
// A value holding a later placeholder is replaced again by the later step; placeholders
// without a value stay as they are.
QString FillPlaceholders(QString text, const QStringList& values);

#pragma once

// Small rules every layer shares about names and time; nothing here may depend on a
// database, a widget or a locale.

#include <QString>

#include <chrono>

// Names of tables, fields, queries, sections and owners match as Jet matches them: by
// letters, not their case.
inline bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A clock for deadlines, which the wall clock's jumps must not move.
inline qint64 SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

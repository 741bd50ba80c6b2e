#pragma once

// Reading a typed date, time or both by a locale's syntax: its order of day, month and
// year, month and weekday names, ISO 8601 and AM/PM words. A text that is no date gives
// nothing; the callers decide whether that is an error.

#include "mReadSyntax.h"

#include <QDateTime>
#include <QStringView>

#include <optional>

namespace TextReading {

std::optional<QDateTime> ParseDateTime(QStringView text, const ReadSyntax& s);

} // namespace TextReading

#pragma once

// Reading a typed number or truth value, by a locale's syntax, into its exact form. A text
// that is no such value gives nothing; the callers decide whether that is an error.

#include "mDecimalNumber.h"
#include "mReadSyntax.h"

#include <QStringView>

#include <optional>

namespace TextReading {

std::optional<DecimalNumber> ParseDecimal(QStringView text, const ReadSyntax& s);
// The locale's words, the English and Czech ones, or any number (non-zero is true).
std::optional<bool> ParseBoolean(QStringView text, const ReadSyntax& s);

} // namespace TextReading

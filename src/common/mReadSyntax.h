#pragma once

// What a locale's texts of numbers, truth values and dates look like, gathered once for
// the readers of typed text. Nothing is read or thrown here.

#include <QChar>
#include <QLocale>
#include <QString>

#include <utility>
#include <vector>

namespace TextReading {

// Per-locale facts for reading numbers and dates; built once for each locale in use.
struct ReadSyntax {
    QLocale locale;
    QString decimal;
    QString group;
    bool groupIsBlank = false;
    bool dotIsDecimal = false;
    QString currency;
    QString currencyIso;
    enum Order { DMY, MDY, YMD } order = DMY;
    QChar dateSeparator;
    std::vector<std::pair<QString, int>> months; // lower-case name without a final ".", month
    std::vector<QString> weekdays;
    std::vector<QString> amWords, pmWords;
    std::vector<std::pair<QString, bool>> booleans;
};

// The facts of a locale; built on first use and kept for the few locales in use.
const ReadSyntax& SyntaxFor(const QLocale& locale);

// Typed numbers and dates are read in ASCII digits only.
inline bool IsDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

} // namespace TextReading

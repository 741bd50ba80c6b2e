#pragma once
// How a field's value is shown as text, plain or through a display format; never fails, no widgets.
#include <QString>
#include <QVariant>

// Display of field values under the default locale (QLocale()). Both functions take
// any value from a database and never fail: the worst a value or a pattern can do is
// show as its plain text.

// The text of a value shown without a display format: Null as the empty text, numbers
// in the locale's form without grouping (15 significant digits for Double, 7 for
// Single, an exponent beyond them), Currency with its significant decimals, dates as
// the locale's short date with a four-digit year plus the long time when it is not
// midnight, a time alone (on 1899-12-30) as the time, Boolean as the locale's words
// (Pravda/Nepravda, True/False), binary data as hexadecimal digits (the first 255
// bytes, then "…"), a GUID in braces.
QString ValueToText(const QVariant& value);

// The value shown through a display format pattern, as the classic Basic Format
// function shows it, with Sunday as the first day of the week and the week of
// 1 January as week 1. The named formats (General Number, Currency, Fixed, Standard,
// Percent, Scientific, Yes/No, True/False, On/Off, General Date, Long/Medium/Short Date,
// Long/Medium/Short Time) are recognised in any letter case. An empty pattern gives
// ValueToText. Patterns are compiled once and kept in a small cache.
//
// Where the classic function is unclear or unkind, this one:
// - shows a value whose shown digits are all zero as zero: no "-0.00", and the zero
//   section when there is one;
// - takes a section with any 0, # or % as a number section, its letters being literal
//   ("Cena: 0 Kč"), and the sections after the first that are not of its kind as
//   literal text ("#,##0;-#,##0;nic;Null");
// - shows a section of literals alone as those literals, without the value;
// - writes a month name that follows a day in the form a date uses (Czech
//   "6. prosince 2026", but "prosinec 2026");
// - keeps the characters of a text beyond its @ and & placeholders (filled from the
//   right they go to the first, with "!" to the last) rather than dropping any.
QString Format(const QVariant& value, const QString& pattern);

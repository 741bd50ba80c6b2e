#pragma once

// Values of the engine's data types from the text a user typed, by the default locale, and
// dates as day numbers. The face every layer includes for conversions; the reading itself
// lies in the TextReading units. No widgets, no database.

#include "cCurrency.h"
#include "mDecimalNumber.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <optional>

// How a field's value travels in a QVariant, in every layer:
//
//   Null           an invalid QVariant (QVariant(), isValid() false); never the empty text
//   Boolean        bool; where a number is needed true is -1 and false 0
//   Byte           quint8
//   Integer        qint16 (an int is accepted wherever a value is read)
//   Long           qint32 (int)
//   Currency       cCurrency, exact ten-thousandths
//   Single         float
//   Double         double
//   Date           QDateTime with Qt::UTC, read as a date-time without a zone; a time alone
//                  lies on 1899-12-30 (day zero), a date alone at midnight
//   Text, Memo     QString; an empty, non-null QString is the empty text
//   Binary, OLE    QByteArray
//   GUID           QUuid
//   from ODBC:     BigInt qint64; Numeric, Decimal and Float double; Time and TimeStamp
//                  as Date; Char as Text; VarBinary as Binary
//
// Readers also take the neighbouring Qt types (other integer widths, QDate, QTime).

// The engine's data type codes.
namespace JetType {
constexpr int Boolean = 1;
constexpr int Byte = 2;
constexpr int Integer = 3;
constexpr int Long = 4;
constexpr int Currency = 5;
constexpr int Single = 6;
constexpr int Double = 7;
constexpr int Date = 8;
constexpr int Binary = 9;
constexpr int Text = 10;
constexpr int LongBinary = 11; // OLE object
constexpr int Memo = 12;
constexpr int Guid = 15;
// Types that ODBC sources report.
constexpr int BigInt = 16;
constexpr int VarBinary = 17;
constexpr int Char = 18;
constexpr int Numeric = 19;
constexpr int Decimal = 20;
constexpr int Float = 21;
constexpr int Time = 22;
constexpr int TimeStamp = 23;

// Text and Memo: the types whose values are texts, with the zero-length rule.
constexpr bool IsText(int type)
{
    return type == Text || type == Memo;
}
} // namespace JetType

constexpr qint32 kConversionErrorNumber = 3421;

// The text of a box as a value of the given data type, read by the default locale
// (QLocale()). Throws cRuntimeError 3421 when the text is not such a value; never
// turns a bad text into zero or Null.
//
// - An empty text, or one of blanks only, is Null, except for Text, Memo and Char,
//   for which the text is returned as it is (the empty text stays the empty text).
// - Numbers: the locale's decimal and grouping separators (groups of three), a leading
//   or trailing sign or parentheses, an exponent, the locale's currency symbol and a
//   trailing "%" (hundredths). A "." is a decimal point also where the locale's is a comma,
//   unless the locale groups with "." or the text could be a grouped integer ("1.234" is
//   refused, "12.5" and "0.125" are read). Integer types round half away from zero and
//   check their range; Currency rounds to four decimal places.
// - Boolean: the locale's words, True/False, Yes/No, On/Off, Pravda/Nepravda, Ano/Ne, and
//   any number (non-zero is true).
// - Date: the locale's order of day, month and year with any of . / - , as separators,
//   month and weekday names, ISO 8601 (yyyy-MM-dd[Thh:mm[:ss[.fff]]]), an optional time
//   h:mm[:ss] with AM/PM or the locale's words for them. Two-digit years are 1930-2029,
//   a day and month alone are in the current year, a time alone lies on 1899-12-30.
//   Years run from 100 to 9999.
// - Binary, OLE: hexadecimal digits, two per byte, blanks allowed between bytes.
// - GUID: {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}, braces optional.
// - A type code not listed above converts nothing: error 3421.
QVariant TextToValue(const QString& text, int dataType);

// The same readings without the error, for callers that only try (the filter form,
// the display of text under a number or date pattern).
std::optional<QDateTime> TextToDateTime(QStringView text);

// A number typed under the default locale, as TextToValue reads numbers.
std::optional<DecimalNumber> TextToDecimal(QStringView text);

// Dates as day numbers: day zero is 1899-12-30 and the fraction is the time of day;
// before day zero the whole part still names the day and the fraction's size the time
// (-1.25 is 1899-12-29 06:00). SerialToDate refuses what lies outside the years 100 to 9999;
// DateToSerial gives NaN for an invalid date.
double DateToSerial(const QDateTime& value);
std::optional<QDateTime> SerialToDate(double serial);
QDate ZeroDate();

// Words a locale uses for the Boolean values in the three named display formats.
struct BooleanWords {
    QString trueText, falseText, yes, no, on, off;
};
BooleanWords BooleanWordsFor(const QLocale& locale);

// Keeps the C library's numbers in the "C" form whatever the user's language. Qt sets the
// process locale from the environment when the application object is made, and a Czech
// decimal comma there breaks every strtod and printf of a library (an ODBC driver reading
// the server's "10000.50" as 1000050). The program's own texts follow QLocale, which this
// leaves alone. Called right after the application object is made.
void UseCNumbersInTheCLibrary();

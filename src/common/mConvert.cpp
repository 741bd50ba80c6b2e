#include "mConvert.h"

#include <clocale>

#include "cRuntimeError.h"
#include "mDateReading.h"
#include "mNumberReading.h"

#include <QUuid>

#include <cmath>
#include <limits>

using namespace TextReading;

namespace {

constexpr qint64 kJulianZeroDate = 2415019; // 1899-12-30
constexpr double kFirstSerial = -657434.0; // 0100-01-01
constexpr double kEndSerial = 2958466.0; // 10000-01-01
constexpr qint64 kMsPerDay = 86400000;

[[noreturn]] void ThrowConversionError()
{
    throw cRuntimeError(kConversionErrorNumber, QStringLiteral("Chyba převodu datového typu."),
                        QStringLiteral("Quarnel"));
}

QByteArray ParseHex(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    int high = -1;
    for (QChar c : text) {
        int v;
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9')
            v = u - '0';
        else if (u >= 'a' && u <= 'f')
            v = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            v = u - 'A' + 10;
        else if (c.isSpace() && high < 0)
            continue;
        else
            ThrowConversionError();
        if (high < 0) {
            high = v;
        } else {
            bytes.append(char(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0)
        ThrowConversionError();
    return bytes;
}

QUuid ParseGuid(QStringView text)
{
    if (text.startsWith(u"{guid", Qt::CaseInsensitive) && text.endsWith(u'}'))
        text = text.mid(5, text.size() - 6).trimmed();
    const QUuid id = QUuid::fromString(text);
    if (id.isNull()) {
        // Only the nil GUID itself may read as nil.
        int zeros = 0;
        for (QChar c : text) {
            if (c == u'0')
                ++zeros;
            else if (c != u'-' && c != u'{' && c != u'}')
                ThrowConversionError();
        }
        if (zeros != 32)
            ThrowConversionError();
    }
    return id;
}

DecimalNumber NumberOrThrow(QStringView text, const ReadSyntax& s)
{
    const auto number = ParseDecimal(text, s);
    if (!number)
        ThrowConversionError();
    return *number;
}

qint64 IntegerOrThrow(QStringView text, const ReadSyntax& s, qint64 low, qint64 high)
{
    DecimalNumber number = NumberOrThrow(text, s);
    number.RoundToFraction(0);
    const auto value = number.ToInt64();
    if (!value || *value < low || *value > high)
        ThrowConversionError();
    return *value;
}

} // namespace

std::optional<DecimalNumber> TextToDecimal(QStringView text)
{
    return ParseDecimal(text, SyntaxFor(QLocale()));
}

std::optional<QDateTime> TextToDateTime(QStringView text)
{
    return ParseDateTime(text, SyntaxFor(QLocale()));
}

QDate ZeroDate()
{
    return QDate(1899, 12, 30);
}

double DateToSerial(const QDateTime& value)
{
    if (!value.date().isValid())
        return std::numeric_limits<double>::quiet_NaN();
    const double days = double(value.date().toJulianDay() - kJulianZeroDate);
    const double fraction = double(value.time().msecsSinceStartOfDay()) / double(kMsPerDay);
    return days < 0 ? days - fraction : days + fraction;
}

std::optional<QDateTime> SerialToDate(double serial)
{
    if (!std::isfinite(serial) || serial < kFirstSerial || serial >= kEndSerial)
        return std::nullopt;
    double whole = std::trunc(serial);
    qint64 ms = std::llround(std::fabs(serial - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms = 0;
        whole += serial < 0 ? -1.0 : 1.0;
    }
    const QDate date = QDate::fromJulianDay(qint64(whole) + kJulianZeroDate);
    if (date.year() > 9999)
        return std::nullopt;
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

BooleanWords BooleanWordsFor(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::Czech:
        return {QStringLiteral("Pravda"), QStringLiteral("Nepravda"), QStringLiteral("Ano"),
                QStringLiteral("Ne"), QStringLiteral("Zapnuto"), QStringLiteral("Vypnuto")};
    case QLocale::Slovak:
        return {QStringLiteral("Pravda"), QStringLiteral("Nepravda"), QStringLiteral("Áno"),
                QStringLiteral("Nie"), QStringLiteral("Zapnuté"), QStringLiteral("Vypnuté")};
    case QLocale::German:
        return {QStringLiteral("Wahr"), QStringLiteral("Falsch"), QStringLiteral("Ja"),
                QStringLiteral("Nein"), QStringLiteral("Ein"), QStringLiteral("Aus")};
    default:
        return {QStringLiteral("True"), QStringLiteral("False"), QStringLiteral("Yes"),
                QStringLiteral("No"), QStringLiteral("On"), QStringLiteral("Off")};
    }
}

QVariant TextToValue(const QString& text, int dataType)
{
    switch (dataType) {
    case JetType::Text:
    case JetType::Memo:
    case JetType::Char:
        return text.isNull() ? QStringLiteral("") : text;
    default:
        break;
    }
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return QVariant();
    const ReadSyntax& s = SyntaxFor(QLocale());
    switch (dataType) {
    case JetType::Boolean: {
        const auto value = ParseBoolean(t, s);
        if (!value)
            ThrowConversionError();
        return *value;
    }
    case JetType::Byte:
        return QVariant::fromValue(quint8(IntegerOrThrow(t, s, 0, 255)));
    case JetType::Integer:
        return QVariant::fromValue(qint16(IntegerOrThrow(t, s, -32768, 32767)));
    case JetType::Long:
        return QVariant::fromValue(
            qint32(IntegerOrThrow(t, s, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max())));
    case JetType::BigInt:
        return QVariant::fromValue(
            IntegerOrThrow(t, s, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()));
    case JetType::Currency: {
        const auto value = CurrencyFromDecimal(NumberOrThrow(t, s));
        if (!value)
            ThrowConversionError();
        return QVariant::fromValue(*value);
    }
    case JetType::Single: {
        bool ok = false;
        const double value = NumberOrThrow(t, s).ToDouble(&ok);
        // Checked before the cast, which is undefined out of range.
        if (!ok || !(std::fabs(value) <= double(std::numeric_limits<float>::max())))
            ThrowConversionError();
        return QVariant::fromValue(float(value));
    }
    case JetType::Double:
    case JetType::Numeric:
    case JetType::Decimal:
    case JetType::Float: {
        bool ok = false;
        const double value = NumberOrThrow(t, s).ToDouble(&ok);
        if (!ok || !std::isfinite(value))
            ThrowConversionError();
        return value;
    }
    case JetType::Date:
    case JetType::Time:
    case JetType::TimeStamp: {
        const auto value = ParseDateTime(t, s);
        if (!value)
            ThrowConversionError();
        return *value;
    }
    case JetType::Binary:
    case JetType::VarBinary:
    case JetType::LongBinary:
        return ParseHex(t);
    case JetType::Guid:
        return ParseGuid(t);
    default:
        ThrowConversionError();
    }
}

void UseCNumbersInTheCLibrary()
{
    std::setlocale(LC_NUMERIC, "C");
}

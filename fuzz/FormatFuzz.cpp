// Arbitrary patterns and values to Format and ValueToText, arbitrary texts to every
// conversion. Besides the sanitizers it checks that what the display shows for a
// converted Currency, Boolean, integer or date reads back as the same value.
//
// Input: byte 0 picks the locale and the kind of value, bytes 1-8 are the value's
// bits, the rest is the pattern, a zero byte, then the text to convert.

#include "cRuntimeError.h"
#include "mConvert.h"
#include "mFormat.h"

#include <QLocale>

#include <cstdint>
#include <cstring>

namespace {

const char* const kLocales[] = {"cs_CZ", "en_US", "de_DE", "fr_FR"};

QVariant MakeValue(int kind, quint64 bits, const QString& text)
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    float f;
    const quint32 low = quint32(bits);
    std::memcpy(&f, &low, sizeof f);
    switch (kind) {
    case 0: return QVariant();
    case 1: return d;
    case 2: return QVariant::fromValue(f);
    case 3: return QVariant::fromValue(qint64(bits));
    case 4: return int(qint32(low));
    case 5: return QVariant::fromValue(cCurrency::FromUnits(qint64(bits)));
    case 6: return (bits & 1) != 0;
    case 7: {
        if (const auto date = SerialToDate(d))
            return *date;
        return QDateTime(QDate::fromJulianDay(qint64(bits % 20000000) - 10000000), QTime(0, 0), Qt::UTC);
    }
    case 8: return QVariant::fromValue(quint8(bits));
    case 9: return QByteArray(reinterpret_cast<const char*>(&bits), int(bits % 9));
    default: return text;
    }
}

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void ConvertAndReadBack(const QString& text, int type)
{
    QVariant value;
    try {
        value = TextToValue(text, type);
    } catch (const cRuntimeError& e) {
        Check(e.Number() == 3421);
        return;
    }
    if (!value.isValid() || type == JetType::Double || type == JetType::Single)
        return;
    // Milliseconds and binary data beyond 255 bytes are not shown in full.
    if (type == JetType::Date && value.toDateTime().time().msec() != 0)
        return;
    if (type == JetType::Binary && value.toByteArray().size() > 255)
        return;
    const QString shown = ValueToText(value);
    QVariant again;
    try {
        again = TextToValue(shown, type);
    } catch (const cRuntimeError&) {
        Check(false);
    }
    Check(again == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 9)
        return 0;
    QLocale::setDefault(QLocale(QString::fromLatin1(kLocales[data[0] & 3])));
    const int kind = (data[0] >> 2) % 11;
    quint64 bits;
    std::memcpy(&bits, data + 1, sizeof bits);
    const char* rest = reinterpret_cast<const char*>(data + 9);
    const size_t restSize = size - 9;
    const void* zero = std::memchr(rest, 0, restSize);
    const size_t patternSize = zero ? size_t(static_cast<const char*>(zero) - rest) : restSize;
    const QString pattern = QString::fromUtf8(rest, qsizetype(patternSize));
    const QString text = zero ? QString::fromUtf8(rest + patternSize + 1, qsizetype(restSize - patternSize - 1))
                              : pattern;

    const QVariant value = MakeValue(kind, bits, text);
    (void)Format(value, pattern);
    (void)ValueToText(value);

    for (int type : {JetType::Boolean, JetType::Byte, JetType::Integer, JetType::Long, JetType::Currency,
                     JetType::Single, JetType::Double, JetType::Date, JetType::Binary, JetType::Text,
                     JetType::Guid, JetType::BigInt})
        ConvertAndReadBack(text, type);
    return 0;
}

#include "mSqliteValues.h"

#include "cCurrency.h"
#include "cDatabaseDriver.h"
#include "mConvert.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace {

// 'YYYY-MM-DD[ HH:MM[:SS]]' as the engine stores dates; other texts stay texts.
QVariant ParseStoredDate(const unsigned char* text, int length)
{
    auto digits = [&](int at, int count, int& value) {
        value = 0;
        if (at + count > length)
            return false;
        for (int i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool ok = digits(0, 4, year) && length >= 10 && text[4] == '-' && digits(5, 2, month) && text[7] == '-'
              && digits(8, 2, day);
    if (ok && length > 10) {
        ok = (text[10] == ' ' || text[10] == 'T') && digits(11, 2, hour) && length >= 16 && text[13] == ':'
             && digits(14, 2, minute);
        if (ok && length > 16)
            ok = text[16] == ':' && digits(17, 2, second);
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!ok || !date.isValid() || !time.isValid())
        return QString::fromUtf8(reinterpret_cast<const char*>(text), length);
    return QDateTime(date, time, Qt::UTC);
}

quint64 Mix(quint64 h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

} // namespace

RawValue RawOf(sqlite3_stmt* statement, int column)
{
    RawValue raw;
    raw.Kind = sqlite3_column_type(statement, column);
    switch (raw.Kind) {
    case SQLITE_INTEGER: raw.Integer = sqlite3_column_int64(statement, column); break;
    case SQLITE_FLOAT: raw.Real = sqlite3_column_double(statement, column); break;
    case SQLITE_TEXT: raw.Bytes = sqlite3_column_text(statement, column); break;
    case SQLITE_BLOB: raw.Bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, column)); break;
    default: break;
    }
    if (raw.Kind == SQLITE_TEXT || raw.Kind == SQLITE_BLOB)
        raw.Size = sqlite3_column_bytes(statement, column);
    return raw;
}

QVariant ValueOf(const RawValue& raw, int type)
{
    switch (raw.Kind) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qint64 value = raw.Integer;
        switch (type) {
        case JetType::Boolean: return value != 0;
        case JetType::Byte:
            if (value >= 0 && value <= 255)
                return QVariant::fromValue(quint8(value));
            break;
        case JetType::Integer:
        case JetType::Long:
            if (value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max())
                return int(value);
            break;
        case JetType::Currency:
            if (std::llabs(value) < std::numeric_limits<qint64>::max() / cCurrency::kScale)
                return QVariant::fromValue(cCurrency::FromUnits(value * cCurrency::kScale));
            break;
        case JetType::Single: return float(value);
        case JetType::Double: return double(value);
        case JetType::Text:
        case JetType::Memo: return QString::number(value);
        default: break;
        }
        return value;
    }
    case SQLITE_FLOAT: {
        const double value = raw.Real;
        if (type == JetType::Currency && std::isfinite(value) && std::fabs(value) < 9e14)
            return QVariant::fromValue(cCurrency::FromUnits(std::llround(value * cCurrency::kScale)));
        if (type == JetType::Single)
            return float(value);
        return value;
    }
    case SQLITE_TEXT:
        if (type == JetType::Date)
            return ParseStoredDate(raw.Bytes, raw.Size);
        // Stored as UTF-8: converting here once is cheaper than asking SQLite for UTF-16.
        return QString::fromUtf8(reinterpret_cast<const char*>(raw.Bytes), raw.Size);
    default:
        return QByteArray(reinterpret_cast<const char*>(raw.Bytes), raw.Size);
    }
}

QVariant ReadValue(sqlite3_stmt* statement, int column, int type)
{
    return ValueOf(RawOf(statement, column), type);
}

quint64 HashBytes(const char* bytes, size_t size, quint64 seed)
{
    quint64 h = seed ^ (size * 0x9E3779B97F4A7C15ULL);
    for (; size >= 8; bytes += 8, size -= 8) {
        quint64 word;
        std::memcpy(&word, bytes, 8);
        h = (h ^ Mix(word)) * 0x9E3779B97F4A7C15ULL;
    }
    if (size > 0) {
        quint64 word = 0;
        std::memcpy(&word, bytes, size);
        h = (h ^ Mix(word)) * 0x9E3779B97F4A7C15ULL;
    }
    return Mix(h);
}

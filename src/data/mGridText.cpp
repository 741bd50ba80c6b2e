#include "mGridText.h"

#include "cCurrency.h"
#include "mConvert.h"
#include "mFormat.h"

#include <QDateTime>

#include <charconv>
#include <cmath>
#include <limits>

namespace {

std::string Utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Strict UTF-8 as the toolkit reads it back unchanged: no overlong forms, surrogates or
// values beyond U+10FFFF, and no byte order mark in front (reading drops that).
bool ReadsBackUnchanged(const unsigned char* s, int size)
{
    if (size >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF)
        return false;
    for (int i = 0; i < size;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        char32_t value = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            value = c & 0x07;
        } else {
            return false;
        }
        if (i + length > size)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (s[i + k] & 0x3F);
        }
        if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF)))
            || (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
            return false;
        i += length;
    }
    return true;
}

void AppendDigits(std::string& out, quint64 magnitude)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude).ptr;
    out.append(buffer, size_t(end - buffer));
}

} // namespace

QString GridTextOf(const QVariant& value, const QString& format)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (format.isEmpty() && value.typeId() == QMetaType::QString)
        return value.toString();
    return format.isEmpty() ? ValueToText(value) : Format(value, format);
}

cGridTextWriter::cGridTextWriter(int type, const QString& format, const cBulkReader& reader)
    : m_type(type), m_format(format), m_reader(reader)
{
    // The locale's pieces as the display itself writes them.
    const QString minusOne = ValueToText(QVariant(qint64(-1)));
    m_minus = Utf8(minusOne.left(minusOne.size() - 1));
    const QString oneAndHalf = ValueToText(QVariant(1.5));
    m_decimal = Utf8(oneAndHalf.mid(1, oneAndHalf.size() - 2));
    m_true = Utf8(ValueToText(QVariant(true)));
    m_false = Utf8(ValueToText(QVariant(false)));
}

void cGridTextWriter::Append(std::string& out, const RawCell& cell)
{
    if (!m_format.isEmpty()) {
        AppendSlow(out, cell);
        return;
    }
    // The cases follow how a stored value becomes a field's value, then how it is shown.
    switch (cell.Kind) {
    case RawKind::Null:
        return;
    case RawKind::Text:
        if (m_type == JetType::Date)
            AppendDate(out, cell);
        else
            AppendText(out, cell);
        return;
    case RawKind::Integer: {
        const qint64 value = cell.Integer;
        switch (m_type) {
        case JetType::Boolean: out += value != 0 ? m_true : m_false; return;
        case JetType::Single: AppendDecimal(out, DecimalNumber::FromDouble(double(float(value)), 7), 7); return;
        case JetType::Double: AppendDecimal(out, DecimalNumber::FromDouble(double(value), 15), 15); return;
        case JetType::Text:
        case JetType::Memo: AppendInteger(out, value, "-"); return; // the value's own digits
        default: AppendInteger(out, value, m_minus); return;         // Currency too: a whole amount
        }
    }
    case RawKind::Real: {
        const double value = cell.Real;
        if (m_type == JetType::Currency && std::isfinite(value) && std::fabs(value) < 9e14) {
            AppendDecimal(out, DecimalNumber::FromCurrency(cCurrency::FromUnits(std::llround(value * cCurrency::kScale))),
                          0);
            return;
        }
        const bool single = m_type == JetType::Single;
        const double shown = single ? double(float(value)) : value;
        if (!std::isfinite(shown)) {
            AppendSlow(out, cell);
            return;
        }
        AppendDecimal(out, DecimalNumber::FromDouble(shown, single ? 7 : 15), single ? 7 : 15);
        return;
    }
    case RawKind::Blob:
        AppendSlow(out, cell);
        return;
    }
}

void cGridTextWriter::AppendSlow(std::string& out, const RawCell& cell)
{
    const QByteArray bytes = GridTextOf(m_reader.ValueOf(cell, m_type), m_format).toUtf8();
    out.append(bytes.constData(), size_t(bytes.size()));
}

void cGridTextWriter::AppendText(std::string& out, const RawCell& cell)
{
    if (ReadsBackUnchanged(reinterpret_cast<const unsigned char*>(cell.Bytes), cell.Size))
        out.append(cell.Bytes, size_t(cell.Size));
    else
        AppendSlow(out, cell);
}

void cGridTextWriter::AppendDate(std::string& out, const RawCell& cell)
{
    const QVariant value = m_reader.ValueOf(cell, m_type);
    if (value.typeId() != QMetaType::QDateTime) {
        AppendText(out, cell); // not a stored date: shown as the text it is
        return;
    }
    // A date's text is its day's text and, past midnight, its time's: each is made once.
    const QDateTime moment = value.toDateTime();
    const QDate day = moment.date();
    const QTime time = moment.time();
    if (day == ZeroDate() || time.msec() != 0) {
        AppendSlow(out, cell);
        return;
    }
    auto found = m_dates.find(day.toJulianDay());
    if (found == m_dates.end())
        found = m_dates.emplace(day.toJulianDay(), Utf8(ValueToText(QDateTime(day, QTime(0, 0), Qt::UTC)))).first;
    out += found->second;
    const int second = time.msecsSinceStartOfDay() / 1000;
    if (second == 0)
        return;
    if (m_times.empty())
        m_times.resize(24 * 60 * 60);
    std::string& shown = m_times[size_t(second)];
    if (shown.empty())
        shown = Utf8(ValueToText(time));
    out += ' ';
    out += shown;
}

void cGridTextWriter::AppendInteger(std::string& out, qint64 value, const std::string& minus)
{
    if (value < 0)
        out += minus;
    AppendDigits(out, value < 0 ? 0 - quint64(value) : quint64(value));
}

// The plain form of a number: up to `significant` digits before an exponent (0: exact).
void cGridTextWriter::AppendDecimal(std::string& out, const DecimalNumber& n, int significant)
{
    if (n.IsZero()) {
        out += '0';
        return;
    }
    if (n.negative)
        out += m_minus;
    if (significant != 0 && (n.exponent > significant || n.exponent < -3)) {
        out += char('0' + n.digits[0]);
        if (n.count > 1) {
            out += m_decimal;
            for (int i = 1; i < n.count; ++i)
                out += char('0' + n.digits[size_t(i)]);
        }
        const int e = n.exponent - 1;
        out += e < 0 ? "E-" : "E+";
        const int magnitude = e < 0 ? -e : e;
        if (magnitude < 10)
            out += '0';
        AppendDigits(out, quint64(magnitude));
        return;
    }
    if (n.exponent <= 0) {
        out += '0';
    } else {
        for (int p = n.exponent - 1; p >= 0; --p)
            out += char('0' + n.DigitAt(p));
    }
    if (n.count > n.exponent) {
        out += m_decimal;
        for (int p = -1; p >= n.exponent - n.count; --p)
            out += char('0' + n.DigitAt(p));
    }
}

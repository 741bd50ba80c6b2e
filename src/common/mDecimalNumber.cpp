#include "mDecimalNumber.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

int ClampExponent(qint64 e)
{
    return int(qBound(qint64(-DecimalNumber::kExponentLimit), e, qint64(DecimalNumber::kExponentLimit)));
}

} // namespace

DecimalNumber DigitCollector::Result(bool negative, qint64 shift)
{
    DecimalNumber n;
    n.digits = m_digits;
    n.count = m_count;
    while (n.count > 0 && n.digits[size_t(n.count - 1)] == 0)
        --n.count;
    n.exponent = n.count ? ClampExponent(m_exponent + shift) : 0;
    n.negative = negative && n.count > 0;
    return n;
}

DecimalNumber DecimalNumber::FromDouble(double value, int significantDigits)
{
    DecimalNumber n;
    if (!std::isfinite(value) || value == 0.0)
        return n;
    // The shortest form that reads back (fast), then rounded to the digits wanted.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const char* p = buffer;
    if (*p == '-') {
        n.negative = true;
        ++p;
    }
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            n.digits[size_t(n.count++)] = quint8(*p - '0');
    }
    int e = 0;
    std::from_chars(p + 1 + (p[1] == '+'), result.ptr, e);
    n.exponent = e + 1;
    while (n.count > 0 && n.digits[size_t(n.count - 1)] == 0)
        --n.count;
    n.RoundToFraction(qBound(1, significantDigits, 17) - n.exponent);
    return n;
}

DecimalNumber DecimalNumber::FromUnsigned(quint64 value, bool negative)
{
    DecimalNumber n;
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    n.exponent = int(result.ptr - buffer);
    for (const char* p = buffer; p < result.ptr; ++p)
        n.digits[size_t(n.count++)] = quint8(*p - '0');
    while (n.count > 0 && n.digits[size_t(n.count - 1)] == 0)
        --n.count;
    if (n.count == 0)
        n.exponent = 0;
    n.negative = negative && n.count > 0;
    return n;
}

DecimalNumber DecimalNumber::FromInteger(qint64 value)
{
    // The magnitude of the lowest value only fits unsigned.
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    return FromUnsigned(magnitude, value < 0);
}

DecimalNumber DecimalNumber::FromCurrency(cCurrency value)
{
    DecimalNumber n = FromInteger(value.Units());
    n.Shift(-4);
    return n;
}

void DecimalNumber::Shift(int powers)
{
    if (count > 0)
        exponent = ClampExponent(qint64(exponent) + powers);
}

void DecimalNumber::RoundToFraction(int places)
{
    const qint64 keep = qint64(exponent) + places;
    if (keep >= count)
        return;
    if (keep < 0) {
        *this = DecimalNumber();
        return;
    }
    const bool up = digits[size_t(keep)] >= 5;
    count = int(keep);
    if (up) {
        int i = count - 1;
        while (i >= 0 && digits[size_t(i)] == 9)
            --i;
        if (i < 0) {
            digits[0] = 1;
            count = 1;
            exponent = ClampExponent(qint64(exponent) + 1);
        } else {
            ++digits[size_t(i)];
            count = i + 1;
        }
    }
    while (count > 0 && digits[size_t(count - 1)] == 0)
        --count;
    if (count == 0) {
        exponent = 0;
        negative = false;
    }
}

double DecimalNumber::ToDouble(bool* ok) const
{
    if (ok)
        *ok = true;
    if (count == 0)
        return 0.0;
    if (exponent < -400)
        return negative ? -0.0 : 0.0;
    if (exponent > 400) {
        if (ok)
            *ok = false;
        return 0.0;
    }
    char buffer[DecimalNumber::kMaxDigits + 16];
    char* p = buffer;
    *p++ = '0';
    *p++ = '.';
    for (int i = 0; i < count; ++i)
        *p++ = char('0' + digits[size_t(i)]);
    *p++ = 'e';
    p = std::to_chars(p, buffer + sizeof buffer, exponent).ptr;
    double value = 0.0;
    const auto result = std::from_chars(buffer, p, value);
    if (result.ec == std::errc::result_out_of_range) {
        if (exponent > 0) {
            if (ok)
                *ok = false;
            return 0.0;
        }
        value = 0.0;
    }
    return negative ? -value : value;
}

std::optional<qint64> DecimalNumber::ToInt64() const
{
    if (count == 0)
        return 0;
    if (exponent < count || exponent > 19)
        return std::nullopt;
    quint64 magnitude = 0;
    for (int i = 0; i < exponent; ++i) {
        const quint64 digit = i < count ? digits[size_t(i)] : 0;
        if (magnitude > (std::numeric_limits<quint64>::max() - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    constexpr quint64 maxPositive = quint64(std::numeric_limits<qint64>::max());
    if (negative) {
        if (magnitude > maxPositive + 1)
            return std::nullopt;
        return magnitude == maxPositive + 1 ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    }
    if (magnitude > maxPositive)
        return std::nullopt;
    return qint64(magnitude);
}

std::optional<cCurrency> CurrencyFromDecimal(DecimalNumber value)
{
    value.Shift(4);
    value.RoundToFraction(0);
    const auto units = value.ToInt64();
    if (!units)
        return std::nullopt;
    return cCurrency::FromUnits(*units);
}

#pragma once

// Exact decimal numbers: how typed numbers, Currency and integers are held between their
// text and their value, rounded and turned into binary numbers. No locale and no text
// reading here.

#include "cCurrency.h"

#include <QtGlobal>

#include <array>
#include <optional>

// An exact decimal form of a number: value = ±0.d1d2...dn × 10^exponent, with no
// leading or trailing zero digit; zero has no digits. It keeps up to kMaxDigits
// significant digits, enough for every integer and Currency value.
struct DecimalNumber {
    static constexpr int kMaxDigits = 40;
    // Far beyond any double, yet small enough that shifting never overflows an int.
    static constexpr int kExponentLimit = 100000;

    std::array<quint8, kMaxDigits> digits{};
    int count = 0;
    int exponent = 0;
    bool negative = false;

    static DecimalNumber FromDouble(double value, int significantDigits = 15);
    static DecimalNumber FromInteger(qint64 value);
    static DecimalNumber FromUnsigned(quint64 value, bool negative = false);
    static DecimalNumber FromCurrency(cCurrency value);

    bool IsZero() const { return count == 0; }
    // The digit standing for 10^power.
    int DigitAt(int power) const
    {
        const qint64 index = qint64(exponent) - 1 - power;
        return index >= 0 && index < count ? digits[size_t(index)] : 0;
    }
    void Shift(int powers); // multiplies by 10^powers
    void RoundToFraction(int places); // half away from zero
    double ToDouble(bool* ok = nullptr) const;
    // The value when it is an integer within range; otherwise nothing.
    std::optional<qint64> ToInt64() const;
};

// Collects significant digits as they are read, left to right.
class DigitCollector {
public:
    void AddInteger(int digit)
    {
        if (!Add(digit))
            return;
        ++m_exponent;
    }
    void AddFraction(int digit)
    {
        if (!m_started && digit == 0) {
            --m_exponent;
            return;
        }
        Add(digit);
    }
    DecimalNumber Result(bool negative, qint64 shift);

private:
    // False for a leading zero, which carries no weight.
    bool Add(int digit)
    {
        if (!m_started && digit == 0)
            return false;
        m_started = true;
        if (m_count < DecimalNumber::kMaxDigits)
            m_digits[size_t(m_count++)] = quint8(digit);
        return true;
    }

    std::array<quint8, DecimalNumber::kMaxDigits> m_digits{};
    int m_count = 0;
    qint64 m_exponent = 0;
    bool m_started = false;
};

// Currency from a number, rounded half away from zero; nothing when out of range.
std::optional<cCurrency> CurrencyFromDecimal(DecimalNumber value);

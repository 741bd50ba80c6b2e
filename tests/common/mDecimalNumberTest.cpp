#include "mDecimalNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QString DigitsOf(const DecimalNumber& n)
{
    QString text = n.negative ? QStringLiteral("-") : QString();
    for (int i = 0; i < n.count; ++i)
        text += QChar(u'0' + n.digits[size_t(i)]);
    return text + QStringLiteral("e") + QString::number(n.exponent);
}

// Digits as a reader meets them: integer part, then fraction.
DecimalNumber Collect(const char* integer, const char* fraction, bool negative = false, qint64 shift = 0)
{
    DigitCollector collector;
    for (const char* p = integer; *p; ++p)
        collector.AddInteger(*p - '0');
    for (const char* p = fraction; *p; ++p)
        collector.AddFraction(*p - '0');
    return collector.Result(negative, shift);
}

} // namespace

TEST(DecimalNumber, CollectedDigitsDropZerosThatCarryNoWeight)
{
    EXPECT_EQ(DigitsOf(Collect("00120", "")), QStringLiteral("12e3"));
    EXPECT_EQ(DigitsOf(Collect("0", "00500")), QStringLiteral("5e-2"));
    EXPECT_EQ(DigitsOf(Collect("12", "34", true)), QStringLiteral("-1234e2"));
    EXPECT_EQ(DigitsOf(Collect("5", "", false, -2)), QStringLiteral("5e-1")) << "a percent";
    // Zero has no digits and no sign, however it was written.
    EXPECT_EQ(DigitsOf(Collect("000", "000", true)), QStringLiteral("e0"));
    EXPECT_TRUE(Collect("0", "0", true).IsZero());
    // An exponent far beyond any number stays within bounds.
    const DecimalNumber huge = Collect("1", "", false, 1000000000);
    EXPECT_EQ(huge.exponent, DecimalNumber::kExponentLimit);
    bool ok = true;
    huge.ToDouble(&ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(std::signbit(Collect("1", "", true, -1000000000).ToDouble())) << "too small: a signed zero";
}

TEST(DecimalNumber, RoundsHalfAwayFromZeroAndCarries)
{
    DecimalNumber n = Collect("9", "995");
    n.RoundToFraction(2);
    EXPECT_EQ(DigitsOf(n), QStringLiteral("1e2")) << "9.995 is 10.00";
    n = Collect("2", "5", true);
    n.RoundToFraction(0);
    EXPECT_EQ(n.ToInt64(), -3);
    n = Collect("0", "004");
    n.RoundToFraction(2);
    EXPECT_TRUE(n.IsZero());
    EXPECT_FALSE(n.negative);
    n = Collect("0", "0004", true);
    n.RoundToFraction(1);
    EXPECT_TRUE(n.IsZero()) << "nothing kept at all";
    EXPECT_FALSE(n.negative);
}

TEST(DecimalNumber, IntegersAtTheirLimits)
{
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    constexpr qint64 highest = std::numeric_limits<qint64>::max();
    EXPECT_EQ(DecimalNumber::FromInteger(lowest).ToInt64(), lowest);
    EXPECT_EQ(DecimalNumber::FromInteger(highest).ToInt64(), highest);
    DecimalNumber beyond = DecimalNumber::FromInteger(highest);
    beyond.Shift(1);
    EXPECT_FALSE(beyond.ToInt64().has_value());
    EXPECT_FALSE(DecimalNumber::FromUnsigned(quint64(highest) + 2, true).ToInt64().has_value());
    EXPECT_FALSE(Collect("1", "5").ToInt64().has_value()) << "not an integer";
    EXPECT_EQ(DecimalNumber::FromUnsigned(0, true).negative, false);
    EXPECT_EQ(DecimalNumber::FromInteger(-1200).DigitAt(2), 2);
    EXPECT_EQ(DecimalNumber::FromInteger(-1200).DigitAt(0), 0);
}

TEST(DecimalNumber, CurrencyAndDoublesKeepTheirDigits)
{
    EXPECT_EQ(DigitsOf(DecimalNumber::FromCurrency(cCurrency::FromUnits(-12345))), QStringLiteral("-12345e1"));
    EXPECT_EQ(CurrencyFromDecimal(Collect("1", "00005"))->Units(), 10001) << "half away from zero";
    EXPECT_EQ(CurrencyFromDecimal(Collect("1", "00005", true))->Units(), -10001);
    EXPECT_FALSE(CurrencyFromDecimal(Collect("1", "", false, 16)).has_value()) << "beyond Currency";
    EXPECT_EQ(DigitsOf(DecimalNumber::FromDouble(0.1)), QStringLiteral("1e0"));
    EXPECT_EQ(DigitsOf(DecimalNumber::FromDouble(2.0 / 3.0, 3)), QStringLiteral("667e0"));
    EXPECT_EQ(DigitsOf(DecimalNumber::FromDouble(-1234.5)), QStringLiteral("-12345e4"));
    EXPECT_TRUE(DecimalNumber::FromDouble(std::numeric_limits<double>::quiet_NaN()).IsZero());
    EXPECT_EQ(Collect("0", "1").ToDouble(), 0.1);
}

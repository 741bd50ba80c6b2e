#include "TestSupport.h"
#include "cRuntimeError.h"
#include "mConvert.h"
#include "mErrorMessage.h"

#include <QUuid>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

bool Refused(const QString& text, int type)
{
    try {
        TextToValue(text, type);
    } catch (const cRuntimeError& e) {
        return e.Number() == 3421;
    }
    return false;
}

struct Accepted {
    const char* text;
    QVariant value;
};

void ExpectAccepted(int type, const std::vector<Accepted>& cases)
{
    for (const Accepted& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        try {
            const QVariant v = TextToValue(text, type);
            EXPECT_EQ(v, c.value) << c.text;
            EXPECT_EQ(v.metaType(), c.value.metaType()) << c.text;
        } catch (const cRuntimeError&) {
            ADD_FAILURE() << "refused " << c.text;
        }
    }
}

void ExpectRefused(int type, std::initializer_list<const char*> texts)
{
    for (const char* text : texts)
        EXPECT_TRUE(Refused(QString::fromUtf8(text), type)) << text;
}

QVariant Money(qint64 units)
{
    return QVariant::fromValue(cCurrency::FromUnits(units));
}

} // namespace

TEST(ConvertEmpty, NullExceptForText)
{
    for (int type : {JetType::Boolean, JetType::Byte, JetType::Integer, JetType::Long, JetType::Currency,
                     JetType::Single, JetType::Double, JetType::Date, JetType::Binary, JetType::Guid}) {
        EXPECT_FALSE(TextToValue(QString(), type).isValid()) << type;
        EXPECT_FALSE(TextToValue(QStringLiteral("  "), type).isValid()) << type;
    }
    for (int type : {JetType::Text, JetType::Memo}) {
        const QVariant empty = TextToValue(QString(), type);
        ASSERT_TRUE(empty.isValid());
        EXPECT_EQ(empty.metaType(), QMetaType::fromType<QString>());
        EXPECT_TRUE(empty.toString().isEmpty());
        EXPECT_EQ(TextToValue(QStringLiteral(" a "), type), QVariant(QStringLiteral(" a ")));
    }
}

TEST(ConvertNumber, Czech)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    ExpectAccepted(JetType::Double, {
        {"1 234,5", 1234.5},
        {"1\u00a0234,5", 1234.5},
        {"-12,5", -12.5},
        {"12.5", 12.5}, // Czech groups with blanks: a point is a decimal point
        {"0.125", 0.125},
        {"1234.567", 1234.567},
        {"1.2345", 1.2345},
        {"1.234e1", 12.34},
        {"+0,25", 0.25},
        {"1,5E3", 1500.0},
        {"1,5e-3", 0.0015},
        {"(5)", -5.0},
        {"5-", -5.0},
        {"12,5 %", 0.125},
        {"1 234,50 Kč", 1234.5},
        {"-1 234,50 Kč", -1234.5},
        {"CZK 10", 10.0},
        {",5", 0.5},
        {"5,", 5.0},
        {"\u22125", -5.0},
    });
    ExpectRefused(JetType::Double, {"abc", "12,5,3", "1 23,5", "1234 567", "1 2", "1 234,5.6", "--5", "(-5)",
                                    "1e", "E5", ",", "-", "%", "5 Kč Kč", "1E400", "0x10", "١٢",
                                    "1.234", "-12.345", "1.234,5", "1.234.567"});
}

TEST(ConvertNumber, EnglishAndGerman)
{
    {
        ScopedLocale locale(QStringLiteral("en_US"));
        ExpectAccepted(JetType::Double, {{"1,234.5", 1234.5}, {"1234.5", 1234.5}, {"$1,234.50", 1234.5},
                                         {"($1,234.50)", -1234.5}, {"1.5e-3", 0.0015}});
        ExpectRefused(JetType::Double, {"12,5", "1,23", "1.234,5"});
    }
    {
        ScopedLocale locale(QStringLiteral("de_DE"));
        ExpectAccepted(JetType::Double, {{"1.234,5", 1234.5}, {"1.234.567", 1234567.0}, {"1.234,50 €", 1234.5}});
        ExpectRefused(JetType::Double, {"12.5", "1.23,5"});
    }
}

TEST(ConvertNumber, IntegerRangesAndRounding)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    ExpectAccepted(JetType::Byte, {{"0", QVariant::fromValue(quint8(0))}, {"255", QVariant::fromValue(quint8(255))},
                                   {"12,5", QVariant::fromValue(quint8(13))}, {"-0,4", QVariant::fromValue(quint8(0))}});
    ExpectRefused(JetType::Byte, {"256", "-1", "255,5", "1E3"});
    ExpectAccepted(JetType::Integer, {{"-32768", QVariant::fromValue(qint16(-32768))},
                                      {"32 767", QVariant::fromValue(qint16(32767))},
                                      {"-2,5", QVariant::fromValue(qint16(-3))}});
    ExpectRefused(JetType::Integer, {"32768", "-32769", "-32768,5"});
    ExpectAccepted(JetType::Long, {{"2147483647", QVariant::fromValue(qint32(2147483647))},
                                   {"-2 147 483 648", QVariant::fromValue(qint32(-2147483647 - 1))},
                                   {"1E9", QVariant::fromValue(qint32(1000000000))}});
    ExpectRefused(JetType::Long, {"2147483648", "-2147483649", "99999999999999999999999", "1E99999999"});
}

TEST(ConvertNumber, CurrencyExactToFourPlaces)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    ExpectAccepted(JetType::Currency, {
        {"0,1", Money(1000)},
        {"0,00005", Money(1)},
        {"-0,00005", Money(-1)},
        {"0,00004", Money(0)},
        {"1 234,5678", Money(12345678)},
        {"922337203685477,5807", Money(std::numeric_limits<qint64>::max())},
        {"-922337203685477,5808", Money(std::numeric_limits<qint64>::min())},
        {"12 %", Money(1200)},
    });
    ExpectRefused(JetType::Currency, {"922337203685477,5808", "-922337203685477,5809", "1E20", "abc"});
}

TEST(ConvertNumber, SingleAndDouble)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAccepted(JetType::Single, {{"1.5", QVariant::fromValue(1.5f)}, {"-3.4E38", QVariant::fromValue(-3.4e38f)}});
    ExpectRefused(JetType::Single, {"3.5E38", "1e309"});
    ExpectAccepted(JetType::Double, {{"1.7976931348623157E308", std::numeric_limits<double>::max()},
                                     {"1E-400", 0.0},
                                     {"0.1", 0.1}});
    ExpectRefused(JetType::Double, {"1.8E308", "inf", "nan"});
}

TEST(ConvertBoolean, WordsAndNumbers)
{
    for (const char* name : {"cs_CZ", "en_US"}) {
        ScopedLocale locale(QString::fromLatin1(name));
        ExpectAccepted(JetType::Boolean, {
            {"Pravda", true}, {"nepravda", false}, {"True", true}, {"FALSE", false},
            {"Yes", true}, {"No", false}, {"Ano", true}, {"ne", false}, {" ano ", true},
            {"-1", true}, {"0", false}, {"5", true}, {"-0", false},
        });
        ExpectRefused(JetType::Boolean, {"maybe", "Pravdaa", "1 2"});
    }
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    ExpectAccepted(JetType::Boolean, {{"0,0", false}, {"0,5", true}, {"Zapnuto", true}, {"Vypnuto", false}});
}

TEST(ConvertDate, Czech)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    const int year = QDate::currentDate().year();
    ExpectAccepted(JetType::Date, {
        {"6.12.2026", At(2026, 12, 6)},
        {"06.12.2026 14:30", At(2026, 12, 6, 14, 30)},
        {"6. 12. 2026 14:30:15", At(2026, 12, 6, 14, 30, 15)},
        {"6. prosince 2026", At(2026, 12, 6)},
        {"6. prosinec 2026", At(2026, 12, 6)},
        {"neděle 6. prosince 2026", At(2026, 12, 6)},
        {"6-pro-26", At(2026, 12, 6)},
        {"2026-12-06", At(2026, 12, 6)},
        {"2026-12-06T14:30:00", At(2026, 12, 6, 14, 30)},
        {"2026-12-06 14:30:00.25", At(2026, 12, 6, 14, 30, 0, 250)},
        {"14:30", At(1899, 12, 30, 14, 30)},
        {"2:30 odp.", At(1899, 12, 30, 14, 30)},
        {"6.12.29", At(2029, 12, 6)},
        {"6.12.30", At(1930, 12, 6)},
        {"6.12", At(year, 12, 6)},
        {"29.2.2024", At(2024, 2, 29)},
        {"1.1.100", At(100, 1, 1)},
        {"31.12.9999 23:59:59", At(9999, 12, 31, 23, 59, 59)},
    });
    ExpectRefused(JetType::Date, {"31.2.2026", "29.2.2025", "6.13.2026", "1.1.0099", "1.1.10000",
                                  "25:00", "12:60", "abc", "6", "6.12.2026.5", "2026-12-06T14:30:00Z",
                                  "2026-12-06T14:30+01:00", "1:2:3:4", "14:30 14:30", "13:00 odp.",
                                  "6. prosince listopadu 2026", "1.2.3.4"});
    const QVariant v = TextToValue(QStringLiteral("6.12.2026"), JetType::Date);
    EXPECT_EQ(v.toDateTime().timeSpec(), Qt::UTC);
}

TEST(ConvertDate, English)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAccepted(JetType::Date, {
        {"12/6/2026", At(2026, 12, 6)},
        {"12/6/2026 2:30 PM", At(2026, 12, 6, 14, 30)},
        {"12/6/2026 12:00 AM", At(2026, 12, 6)},
        {"December 6, 2026", At(2026, 12, 6)},
        {"Sunday, December 6, 2026", At(2026, 12, 6)},
        {"6 Dec 2026", At(2026, 12, 6)},
        {"2 pm", At(1899, 12, 30, 14)},
        {"2026/12/6", At(2026, 12, 6)},
    });
    ExpectRefused(JetType::Date, {"13/6/2026", "13:00 PM", "0:30 AM", "PM", "December"});
}

TEST(ConvertOther, BinaryGuidAndUnknownTypes)
{
    EXPECT_EQ(TextToValue(QStringLiteral("01 AB ff"), JetType::Binary), QVariant(QByteArray("\x01\xab\xff", 3)));
    EXPECT_EQ(TextToValue(QStringLiteral("01abff"), JetType::LongBinary), QVariant(QByteArray("\x01\xab\xff", 3)));
    ExpectRefused(JetType::Binary, {"0", "0g", "0 1", "01…"});
    const QUuid id(QStringLiteral("{12345678-9abc-def0-1234-56789abcdef0}"));
    for (const char* text : {"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", "12345678-9abc-def0-1234-56789abcdef0",
                             "{guid {12345678-9ABC-DEF0-1234-56789ABCDEF0}}"})
        EXPECT_EQ(TextToValue(QString::fromLatin1(text), JetType::Guid), QVariant::fromValue(id)) << text;
    EXPECT_EQ(TextToValue(QStringLiteral("{00000000-0000-0000-0000-000000000000}"), JetType::Guid),
              QVariant::fromValue(QUuid()));
    ExpectRefused(JetType::Guid, {"xyz", "{12345678-9abc}"});
    ExpectRefused(0, {"1"});
    ExpectRefused(99, {"1"});
    EXPECT_EQ(TextToValue(QStringLiteral("5"), JetType::BigInt), QVariant::fromValue(qint64(5)));
}

TEST(ConvertError, CarriesNumberDescriptionAndSource)
{
    try {
        TextToValue(QStringLiteral("abc"), JetType::Long);
        FAIL() << "no error";
    } catch (const cRuntimeError&) {
        const ErrorStorage err = CaptureError();
        EXPECT_EQ(err.Number, 3421);
        EXPECT_FALSE(err.Description.isEmpty());
        EXPECT_EQ(err.Source, QStringLiteral("Quarnel"));
    }
}

TEST(ConvertSerial, DayZeroAndTimeBeforeIt)
{
    const std::vector<std::pair<double, QDateTime>> cases = {
        {0.0, At(1899, 12, 30)},
        {36526.5, At(2000, 1, 1, 12)},
        {-1.25, At(1899, 12, 29, 6)},
        {-0.5, At(1899, 12, 30, 12)},
        {-657434.0, At(100, 1, 1)},
        {2958465.0, At(9999, 12, 31)},
        {1.0 / 3.0, At(1899, 12, 30, 8)},
    };
    for (const auto& [serial, date] : cases) {
        EXPECT_EQ(SerialToDate(serial), date) << serial;
        if (serial != -0.5) {
            EXPECT_NEAR(DateToSerial(date), serial, 1e-9) << serial;
        }
    }
    for (double bad : {-657435.0, 2958466.0, 1e300, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(SerialToDate(bad).has_value()) << bad;
    EXPECT_TRUE(std::isnan(DateToSerial(QDateTime())));
}

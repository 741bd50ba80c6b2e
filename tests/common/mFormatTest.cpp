#include "TestSupport.h"
#include "mConvert.h"
#include "mFormat.h"

#include <QByteArray>
#include <QUuid>

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace {

const QString kNbsp = QString(QChar(0x00A0));

QDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

struct Case {
    QVariant value;
    const char* pattern;
    QString expected;
};

void ExpectAll(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        EXPECT_EQ(Format(c.value, QString::fromUtf8(c.pattern)), c.expected)
            << "value " << qPrintable(c.value.toString()) << ", pattern " << c.pattern;
    }
}

} // namespace

// The table of the classic function's documentation: 5, -5, 0.5 and Null per pattern.
TEST(FormatNumber, DocumentedTable)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    struct Row {
        const char* pattern;
        const char *positive, *negative, *fraction, *null;
    };
    const Row rows[] = {
        {"0", "5", "-5", "1", ""},
        {"0.00", "5.00", "-5.00", "0.50", ""},
        {"#,##0", "5", "-5", "1", ""},
        {"#,##0.00;;;Nil", "5.00", "-5.00", "0.50", "Nil"},
        {"$#,##0;($#,##0)", "$5", "($5)", "$1", ""},
        {"$#,##0.00;($#,##0.00)", "$5.00", "($5.00)", "$0.50", ""},
        {"0%", "500%", "-500%", "50%", ""},
        {"0.00%", "500.00%", "-500.00%", "50.00%", ""},
        {"0.00E+00", "5.00E+00", "-5.00E+00", "5.00E-01", ""},
        {"0.00E-00", "5.00E00", "-5.00E00", "5.00E-01", ""},
    };
    for (const Row& r : rows) {
        const QString p = QString::fromLatin1(r.pattern);
        EXPECT_EQ(Format(5, p), QLatin1String(r.positive)) << r.pattern;
        EXPECT_EQ(Format(-5, p), QLatin1String(r.negative)) << r.pattern;
        EXPECT_EQ(Format(0.5, p), QLatin1String(r.fraction)) << r.pattern;
        EXPECT_EQ(Format(QVariant(), p), QLatin1String(r.null)) << r.pattern;
    }
}

TEST(FormatNumber, DocumentedExamples)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {5459.4, "##,##0.00", QStringLiteral("5,459.40")},
        {334.9, "###0.00", QStringLiteral("334.90")},
        {19, "###", QStringLiteral("19")},
        {19, "000", QStringLiteral("019")},
        {19.9, "###.00", QStringLiteral("19.90")},
        {19.9, "###.##", QStringLiteral("19.9")},
        {1900000, "0,,", QStringLiteral("2")},
        {1900000, "0,,.0", QStringLiteral("1.9")},
        {1000, "0.00E+00", QStringLiteral("1.00E+03")},
        {0.001, "0.00E+00", QStringLiteral("1.00E-03")},
        {10, "$#", QStringLiteral("$10")},
        {19, "\\####\\#", QStringLiteral("#19#")},
        {19, "\"##\"###\"##\"", QStringLiteral("##19##")},
        {2.145, "#.00", QStringLiteral("2.15")},
        {5551234, "###-####", QStringLiteral("555-1234")},
    });
}

TEST(FormatNumber, PlaceholdersGroupingAndScaling)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {1234567.891, "#,##0.00", QStringLiteral("1,234,567.89")},
        {-1234, "#,##0", QStringLiteral("-1,234")},
        {123, "#,##0", QStringLiteral("123")},
        {1234567, "#,##0,", QStringLiteral("1,235")},
        {0.5, "#.##", QStringLiteral(".5")},
        {5, "#.##", QStringLiteral("5.")},
        {0, "#", QString()},
        {12345, "00", QStringLiteral("12345")},
        {7, "0000", QStringLiteral("0007")},
        {1.5, "0.0#", QStringLiteral("1.5")},
        {1.567, "0.0#", QStringLiteral("1.57")},
        {12.5, ".00", QStringLiteral("12.50")},
        {0.5, "%", QStringLiteral("50%")},
        {123456, "00.0E+0", QStringLiteral("12.3E+4")},
        {0.000123, "0.0e-00", QStringLiteral("1.2e-04")},
        {9.999, "0.00E+00", QStringLiteral("1.00E+01")},
        {0, "0.00E+00", QStringLiteral("0.00E+00")},
        {3.5, "0 \"kg\"", QStringLiteral("4 kg")},
        {42, "Cena: 0 Kč", QStringLiteral("Cena: 42 Kč")},
        {QVariant::fromValue(std::numeric_limits<qint64>::min()), "0", QStringLiteral("-9223372036854775808")},
        {QVariant::fromValue(std::numeric_limits<quint64>::max()), "#,##0", QStringLiteral("18,446,744,073,709,551,615")},
        {QVariant::fromValue(cCurrency::FromUnits(std::numeric_limits<qint64>::max())), "#,##0.0000",
         QStringLiteral("922,337,203,685,477.5807")},
        {1.5e-300, "0.00", QStringLiteral("0.00")},
        {true, "0", QStringLiteral("-1")},
        {At(2000, 1, 1, 12), "0.0", QStringLiteral("36526.5")},
    });
    EXPECT_EQ(Format(1e300, QStringLiteral("0")), QStringLiteral("1") + QString(300, QLatin1Char('0')));
}

TEST(FormatNumber, RoundsHalfAwayFromZeroOnTheShownDigits)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {2.5, "0", QStringLiteral("3")},
        {-2.5, "0", QStringLiteral("-3")},
        {0.125, "0.00", QStringLiteral("0.13")},
        {2.675, "0.00", QStringLiteral("2.68")},
        {1.005, "0.00", QStringLiteral("1.01")},
        {-0.0005, "0.000", QStringLiteral("-0.001")},
        {999.995, "#,##0.00", QStringLiteral("1,000.00")},
        {QVariant::fromValue(cCurrency::FromUnits(125)), "0.000", QStringLiteral("0.013")},
        {QVariant::fromValue(0.15f), "0.0", QStringLiteral("0.2")},
    });
}

TEST(FormatNumber, SectionsAndZero)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    const char* three = "0.00;(0.00);\\z\\e\\r\\o";
    ExpectAll({
        {5, three, QStringLiteral("5.00")},
        {-5, three, QStringLiteral("(5.00)")},
        {0, three, QStringLiteral("zero")},
        {-0.0, three, QStringLiteral("zero")},
        // What shows as zero is zero: no minus sign, the zero section.
        {-0.001, three, QStringLiteral("zero")},
        {-0.0, "0.00", QStringLiteral("0.00")},
        {-0.001, "0.00", QStringLiteral("0.00")},
        {-0.4, "0", QStringLiteral("0")},
        // An empty section borrows the first one, with a sign for negatives.
        {-5, "0.00;;\\z", QStringLiteral("-5.00")},
        {0, "0.00;;\\z", QStringLiteral("z")},
        {0, "0.00;-0.00;", QStringLiteral("0.00")},
        {5, ";-0", QStringLiteral("5")},
        {-5, ";;;", QStringLiteral("-5")},
        {QVariant(), "0;-0;\\z;\"nic\"", QStringLiteral("nic")},
        // Sections other than the first are literal text when they have no placeholder.
        {0, "0;-0;nic", QStringLiteral("nic")},
        {QVariant(), "0;-0;0;Null", QStringLiteral("Null")},
    });
}

TEST(FormatNumber, LiteralsOnlyAndMalformedPatterns)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {5, "\\N\\/\\A", QStringLiteral("N/A")},
        {5, "\"abc\"", QStringLiteral("abc")},
        {-5, "\"abc\"", QStringLiteral("-abc")},
        {5, "0\"abc", QStringLiteral("5abc")},
        {5, "0\\", QStringLiteral("5")},
        {5, "0;1;2;3;4;5", QStringLiteral("5")},
        {5, "E+", QStringLiteral("E+")},
        {5, "0E+", QStringLiteral("5E+0")},
        {5, "0.0.0", QStringLiteral("5.0.0")},
    });
}

TEST(FormatNumber, CzechSeparators)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    ExpectAll({
        {1234.5, "#,##0.00", QStringLiteral("1") + kNbsp + QStringLiteral("234,50")},
        {1234.5, "0.00", QStringLiteral("1234,50")},
        {0.5, "0%", QStringLiteral("50%")},
        {1234.5, "Currency", QStringLiteral("1") + kNbsp + QStringLiteral("234,50") + kNbsp + QStringLiteral("Kč")},
        {-1234.5, "Currency", QStringLiteral("-1") + kNbsp + QStringLiteral("234,50") + kNbsp + QStringLiteral("Kč")},
        {QStringLiteral("12,5"), "0.00", QStringLiteral("12,50")},
        {QStringLiteral("abc"), "0.00", QStringLiteral("abc")},
    });
}

TEST(FormatNamed, NumbersAndBooleans)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {1234.5, "General Number", QStringLiteral("1234.5")},
        {1234.567, "Fixed", QStringLiteral("1234.57")},
        {-0.5, "fixed", QStringLiteral("-0.50")},
        {1234.567, "STANDARD", QStringLiteral("1,234.57")},
        {0.1234, "Percent", QStringLiteral("12.34%")},
        {1234.5, "Scientific", QStringLiteral("1.23E+03")},
        {1234.5, "Currency", QStringLiteral("$1,234.50")},
        {-0.001, "Currency", QStringLiteral("$0.00")},
        {0, "Yes/No", QStringLiteral("No")},
        {5, "Yes/No", QStringLiteral("Yes")},
        {true, "True/False", QStringLiteral("True")},
        {false, "On/Off", QStringLiteral("Off")},
        {QStringLiteral("abc"), "Yes/No", QStringLiteral("abc")},
        {QVariant(), "Yes/No", QString()},
    });
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    ExpectAll({
        {1, "Yes/No", QStringLiteral("Ano")},
        {0, "True/False", QStringLiteral("Nepravda")},
        {-1, "On/Off", QStringLiteral("Zapnuto")},
        {12.5, "General Number", QStringLiteral("12,5")},
    });
}

TEST(FormatDate, TokensEnglish)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    const QDateTime t = At(1993, 1, 27, 17, 4, 23);
    const QDateTime d = At(2026, 12, 6, 14, 5, 9);
    ExpectAll({
        {t, "h:m:s", QStringLiteral("17:4:23")},
        {t, "hh:mm:ss AMPM", QStringLiteral("05:04:23 PM")},
        {t, "dddd, mmm d yyyy", QStringLiteral("Wednesday, Jan 27 1993")},
        {t, "h:nn AM/PM", QStringLiteral("5:04 PM")},
        {t, "h:nn am/pm", QStringLiteral("5:04 pm")},
        {t, "h:nn a/p", QStringLiteral("5:04 p")},
        {At(2026, 1, 1, 0, 30), "h:nn AM/PM", QStringLiteral("12:30 AM")},
        {At(2026, 1, 1, 12), "h AM/PM", QStringLiteral("12 PM")},
        {d, "mm/dd/yy", QStringLiteral("12/06/26")},
        {d, "m/d/yyyy", QStringLiteral("12/6/2026")},
        {d, "ddd mmm", QStringLiteral("Sun Dec")},
        {d, "q y", QStringLiteral("4 340")},
        {d, "ddddd", QStringLiteral("12/6/2026")},
        {d, "dddddd", QStringLiteral("Sunday, December 6, 2026")},
        {d, "ttttt", QStringLiteral("2:05:09 PM")},
        {d, "c", QStringLiteral("12/6/2026 2:05:09 PM")},
        {d, "General Date", QStringLiteral("12/6/2026 2:05:09 PM")},
        {d, "Long Date", QStringLiteral("Sunday, December 6, 2026")},
        {d, "Medium Date", QStringLiteral("06-Dec-26")},
        {d, "Short Date", QStringLiteral("12/6/2026")},
        {d, "Long Time", QStringLiteral("2:05:09 PM")},
        {d, "Medium Time", QStringLiteral("02:05 PM")},
        {d, "Short Time", QStringLiteral("14:05")},
        {d, "\"Day\" d", QStringLiteral("Day 6")},
        {At(2026, 1, 1), "c", QStringLiteral("1/1/2026")},
        {QDateTime(ZeroDate(), QTime(8, 0), Qt::UTC), "c", QStringLiteral("8:00:00 AM")},
    });
}

TEST(FormatDate, WeeksStartOnSundayWithTheWeekOfFirstJanuary)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {At(2026, 1, 1), "w ww", QStringLiteral("5 1")}, // Thursday
        {At(2026, 1, 3), "w ww", QStringLiteral("7 1")}, // Saturday
        {At(2026, 1, 4), "w ww", QStringLiteral("1 2")}, // Sunday
        {At(2023, 1, 1), "w ww", QStringLiteral("1 1")},
        {At(2000, 12, 31), "ww", QStringLiteral("54")}, // leap year begun on Saturday
        {At(2026, 12, 31), "ww", QStringLiteral("53")},
    });
}

TEST(FormatDate, Czech)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    const QDateTime d = At(2026, 12, 6, 14, 5, 9);
    ExpectAll({
        {d, "dddd", QStringLiteral("neděle")},
        {d, "mmmm yyyy", QStringLiteral("prosinec 2026")},
        {d, "d. mmmm yyyy", QStringLiteral("6. prosince 2026")},
        {d, "dd/mm/yyyy hh:nn", QStringLiteral("06.12.2026 14:05")},
        {d, "Short Date", QStringLiteral("06.12.2026")},
        {d, "Long Date", QStringLiteral("neděle 6. prosince 2026")},
        {d, "General Date", QStringLiteral("06.12.2026 14:05:09")},
        {d, "h AMPM", QStringLiteral("2 odp.")},
    });
}

TEST(FormatDate, NumbersTextsAndOutOfRange)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {36526.5, "yyyy-mm-dd hh:nn", QStringLiteral("2000-01-01 12:00")},
        {0, "hh:nn", QStringLiteral("00:00")},
        {-1.25, "yyyy-mm-dd hh:nn", QStringLiteral("1899-12-29 06:00")},
        {3e7, "yyyy", QStringLiteral("30000000")},
        {QStringLiteral("2026-12-06"), "d mmmm", QStringLiteral("6 December")},
        {QStringLiteral("not a date"), "d mmmm", QStringLiteral("not a date")},
        {At(1850, 3, 1), "dd.mm.yyyy ww", QStringLiteral("01.03.1850 9")},
        {At(50, 1, 1), "yyyy/mm/dd", QStringLiteral("50/01/01")},
        {At(12000, 6, 1), "yyyy", QStringLiteral("12000")},
        {QDateTime(), "yyyy", QString()},
        // Binary data is never read as a number or a date.
        {QByteArray("\x12\x34", 2), "0.00", QStringLiteral("1234")},
        {QByteArray("\x12\x34", 2), "yyyy", QStringLiteral("1234")},
    });
}

TEST(FormatText, Placeholders)
{
    ScopedLocale locale(QStringLiteral("en_US"));
    ExpectAll({
        {QStringLiteral("HELLO"), "<", QStringLiteral("hello")},
        {QStringLiteral("This is it"), ">", QStringLiteral("THIS IS IT")},
        {QStringLiteral("abc"), "@@@@@", QStringLiteral("  abc")},
        {QStringLiteral("abc"), "!@@@@@", QStringLiteral("abc  ")},
        {QStringLiteral("abc"), "&&&&&", QStringLiteral("abc")},
        {QStringLiteral("abcdef"), "@@@", QStringLiteral("abcdef")},
        {QStringLiteral("abcdef"), "!@@@", QStringLiteral("abcdef")},
        {QStringLiteral("5551234567"), "(@@@) @@@-@@@@", QStringLiteral("(555) 123-4567")},
        {QStringLiteral("ab"), ">@@\"-x\"", QStringLiteral("AB-x")},
        {QVariant(), "@;\\n\\u\\l\\l", QStringLiteral("null")},
        {QString(), "@;\\n\\u\\l\\l", QStringLiteral("null")},
        {QVariant(), "@@@", QString()},
        {12.5, "@@@@@@", QStringLiteral("  12.5")},
        {true, ">", QStringLiteral("TRUE")},
    });
}

TEST(FormatPlain, ValueToText)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    const std::vector<std::pair<QVariant, QString>> cases = {
        {QVariant(), QString()},
        {12.5, QStringLiteral("12,5")},
        {1234567.25, QStringLiteral("1234567,25")},
        {-5, QStringLiteral("-5")},
        {0.1 + 0.2, QStringLiteral("0,3")},
        {QVariant::fromValue(0.1f), QStringLiteral("0,1")},
        {QVariant::fromValue(123456789.0f), QStringLiteral("1,234568E+08")},
        {1e20, QStringLiteral("1E+20")},
        {0.0001, QStringLiteral("0,0001")},
        {0.00001, QStringLiteral("1E-05")},
        {123456789012345.0, QStringLiteral("123456789012345")},
        {QVariant::fromValue(quint8(255)), QStringLiteral("255")},
        {QVariant::fromValue(qint16(-32768)), QStringLiteral("-32768")},
        {QVariant::fromValue(cCurrency::FromUnits(125000)), QStringLiteral("12,5")},
        {QVariant::fromValue(cCurrency::FromUnits(-1)), QStringLiteral("-0,0001")},
        {true, QStringLiteral("Pravda")},
        {false, QStringLiteral("Nepravda")},
        {At(2026, 12, 6), QStringLiteral("06.12.2026")},
        {At(2026, 12, 6, 14, 5, 9), QStringLiteral("06.12.2026 14:05:09")},
        {QDateTime(ZeroDate(), QTime(14, 5), Qt::UTC), QStringLiteral("14:05:00")},
        {QDate(2026, 1, 2), QStringLiteral("02.01.2026")},
        {QStringLiteral("text"), QStringLiteral("text")},
        {QByteArray("\x01\xab", 2), QStringLiteral("01AB")},
        {QVariant::fromValue(QUuid(QStringLiteral("{12345678-9abc-def0-1234-56789abcdef0}"))),
         QStringLiteral("{12345678-9ABC-DEF0-1234-56789ABCDEF0}")},
        {std::numeric_limits<double>::infinity(), QStringLiteral("∞")},
        {std::numeric_limits<double>::quiet_NaN(), QStringLiteral("NaN")},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(ValueToText(value), expected) << qPrintable(value.toString());
        EXPECT_EQ(Format(value, QString()), expected);
    }
    const QString longHex = ValueToText(QByteArray(300, '\x0f'));
    EXPECT_EQ(longHex.size(), 511);
    EXPECT_TRUE(longHex.endsWith(QChar(0x2026)));

    ScopedLocale english(QStringLiteral("en_US"));
    EXPECT_EQ(ValueToText(true), QStringLiteral("True"));
    EXPECT_EQ(ValueToText(12.5), QStringLiteral("12.5"));
    EXPECT_EQ(ValueToText(At(2026, 12, 6, 14, 5, 9)), QStringLiteral("12/6/2026 2:05:09 PM"));
}

// What the grid shows must read back as the same value when the record editor
// writes a box's text into its field.
TEST(FormatPlain, DisplayedTextReadsBack)
{
    for (const char* name : {"cs_CZ", "en_US", "de_DE"}) {
        ScopedLocale locale(QString::fromLatin1(name));
        const std::vector<std::pair<QVariant, int>> values = {
            {12.5, JetType::Double},
            {-0.000123, JetType::Double},
            {1.5e300, JetType::Double},
            {QVariant::fromValue(cCurrency::FromUnits(-12345678)), JetType::Currency},
            {true, JetType::Boolean},
            {false, JetType::Boolean},
            {QVariant::fromValue(qint32(-2147483647 - 1)), JetType::Long},
            {At(2026, 12, 6), JetType::Date},
            {At(1901, 2, 3, 4, 5, 6), JetType::Date},
            {QDateTime(ZeroDate(), QTime(23, 59, 59), Qt::UTC), JetType::Date},
        };
        for (const auto& [value, type] : values) {
            const QString text = ValueToText(value);
            EXPECT_EQ(TextToValue(text, type), value) << name << " " << qPrintable(text);
        }
        for (const char* pattern : {"Currency", "Standard", "#,##0.00", "Percent"}) {
            const QString text = Format(1234.5, QString::fromLatin1(pattern));
            EXPECT_EQ(TextToValue(text, JetType::Double).toDouble(), 1234.5) << name << " " << qPrintable(text);
        }
        for (const char* pattern : {"Long Date", "Short Date", "General Date", "Medium Date"}) {
            const QString text = Format(At(2026, 12, 6), QString::fromLatin1(pattern));
            EXPECT_EQ(TextToValue(text, JetType::Date), At(2026, 12, 6)) << name << " " << qPrintable(text);
        }
    }
}

TEST(FormatCache, FollowsTheDefaultLocale)
{
    const QString pattern = QStringLiteral("#,##0.0");
    {
        ScopedLocale locale(QStringLiteral("en_US"));
        EXPECT_EQ(Format(1234.5, pattern), QStringLiteral("1,234.5"));
    }
    {
        ScopedLocale locale(QStringLiteral("de_DE"));
        EXPECT_EQ(Format(1234.5, pattern), QStringLiteral("1.234,5"));
    }
}

// Arbitrary patterns and values: no crash, no hang, nothing read out of bounds (the
// sanitizer build checks the last). The fuzz target does the same at length.
TEST(FormatRobustness, ArbitraryPatterns)
{
    ScopedLocale locale(QStringLiteral("cs_CZ"));
    const QString alphabet = QStringLiteral("0#.,%Ee+-;\\\"@&<>!dmyhnswqctAMPap/: xé");
    const QVariant values[] = {QVariant(), 0, -1.5, 1e308, -1e-308, QStringLiteral("12,5"), QString(),
                               At(2026, 12, 6, 1, 2, 3), true, QVariant::fromValue(cCurrency::FromUnits(-1)),
                               std::numeric_limits<double>::infinity()};
    std::mt19937 random(42);
    for (int i = 0; i < 3000; ++i) {
        QString pattern;
        const int length = int(random() % 24);
        for (int k = 0; k < length; ++k)
            pattern += alphabet.at(qsizetype(random() % quint32(alphabet.size())));
        for (const QVariant& v : values)
            (void)Format(v, pattern);
    }
    EXPECT_EQ(Format(1, QString(100000, QLatin1Char('0'))).size(), 100000);
    EXPECT_EQ(Format(1, QStringLiteral("0") + QString(5000, QLatin1Char(','))), QStringLiteral("0"));
}

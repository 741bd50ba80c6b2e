#include "cRuntimeError.h"
#include "mErrorMessage.h"
#include "mStringTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
ErrorStorage Err(qint32 number, const QString& description = QString(), const QString& source = QString())
{
    ErrorStorage err;
    err.Number = number;
    err.Description = description;
    err.Source = source;
    return err;
}
} // namespace

TEST(FormatErrorMessage, NumberInDecimalAndHexThenEveryPlaceholderInOrder)
{
    struct Case {
        ErrorStorage err;
        QString messageTemplate, expected;
    };
    const Case cases[] = {
        // The default template.
        {Err(3044, QStringLiteral("Neplatná cesta")), QString(), QStringLiteral("3044 (0xBE4)\r\nNeplatná cesta")},
        // Negative numbers show their eight-digit form.
        {Err(-2147467259), QStringLiteral("%1"), QStringLiteral("-2147467259 (0x80004005)")},
        {Err(-1), QStringLiteral("%1"), QStringLiteral("-1 (0xFFFFFFFF)")},
        {Err(0), QStringLiteral("%1"), QStringLiteral("0 (0x0)")},
        {Err(3078, QStringLiteral("popis %3"), QStringLiteral("DAO.Database")), QStringLiteral("%1|%1|%2|%3|%5"),
         QStringLiteral("3078 (0xC06)|3078 (0xC06)|popis DAO.Database|DAO.Database|%5")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatErrorMessage(c.err, c.messageTemplate), c.expected) << c.err.Number;
    // The opening failure message keeps its file placeholders for the caller.
    EXPECT_TRUE(FormatErrorMessage(Err(3078), LoadString(10501)).startsWith(QStringLiteral("3078 (0xC06)\r\nChyba v souboru '%5'")));
}

TEST(FieldErrorMessage, NamesTheFieldAndTheWantedType)
{
    EXPECT_EQ(FieldErrorMessage(Err(3315), 10, QStringLiteral("Jméno")),
              QStringLiteral("Pole 'Jméno' nemůže být nulové délky."));
    EXPECT_EQ(FieldErrorMessage(Err(3421), 4, QStringLiteral("Počet")),
              QStringLiteral("V poli 'Počet' nelze provést konverzi na požadaovaný typ (Long - Dlouhé celé číslo)"));
    // Binary has no text: the code itself stands in.
    EXPECT_EQ(FieldErrorMessage(Err(3421), 9, QStringLiteral("B")),
              QStringLiteral("V poli 'B' nelze provést konverzi na požadaovaný typ (9)"));
    EXPECT_TRUE(FieldErrorMessage(Err(3022), 4, QStringLiteral("Id")).isEmpty());
    EXPECT_TRUE(FieldErrorMessage(Err(2147483647), 4, QStringLiteral("Id")).isEmpty());
    EXPECT_TRUE(FieldErrorMessage(Err(-2147483647 - 1), 4, QStringLiteral("Id")).isEmpty());
}

TEST(DataTypes, TextAndBack)
{
    EXPECT_TRUE(DataTypeText(9).isEmpty());
    for (int code = 1; code <= 8; ++code)
        EXPECT_EQ(DataTypeFromText(DataTypeText(code)), code);
    // The search stops at the first code without a text, so Text is never found.
    EXPECT_EQ(DataTypeFromText(QStringLiteral("Text")), 0);
    EXPECT_EQ(DataTypeFromText(QString()), 0);
    EXPECT_EQ(DataTypeFromText(QStringLiteral("long - dlouhé celé číslo")), 0);
}

TEST(CaptureError, TakesTheErrorBeingHandled)
{
    try {
        throw cRuntimeError(3024, QStringLiteral("Soubor nenalezen"), QStringLiteral("DAO.DBEngine"));
    } catch (...) {
        const ErrorStorage err = CaptureError();
        EXPECT_EQ(err.Number, 3024);
        EXPECT_EQ(err.Description, QStringLiteral("Soubor nenalezen"));
        EXPECT_EQ(err.Source, QStringLiteral("DAO.DBEngine"));
    }
    try {
        throw std::runtime_error("boom");
    } catch (...) {
        const ErrorStorage err = CaptureError();
        EXPECT_NE(err.Number, 0);
        EXPECT_EQ(err.Description, QStringLiteral("boom"));
    }
    const ErrorStorage none = CaptureError();
    EXPECT_EQ(none.Number, 0);
    EXPECT_TRUE(none.Description.isEmpty());
}

#include "mStringTable.h"

#include <gtest/gtest.h>

TEST(StringTable, TextsAreExactIncludingEscapesAndOddities)
{
    EXPECT_EQ(LoadString(1), QStringLiteral("OK"));
    EXPECT_EQ(LoadString(7), QStringLiteral("Ne"));
    EXPECT_EQ(LoadString(807), QStringLiteral("byl vybrán %1"));
    EXPECT_EQ(LoadString(813), QStringLiteral("(CD-ROM)"));
    EXPECT_EQ(LoadString(1501), QStringLiteral("Databázem MS Access (*.mdb)|*.mdb"));
    EXPECT_EQ(LoadString(10010), QStringLiteral("&Filtr\u2026"));
    EXPECT_EQ(LoadString(10022), QStringLiteral("&Editovat\u2026\tAlt+Enter"));
    EXPECT_EQ(LoadString(10501),
              QStringLiteral("%1\r\nChyba v souboru '%5'.\r\nNepodařilo se otevřít databázi '%6'."));
    EXPECT_EQ(LoadString(10502), QStringLiteral("%1\r\nChyba v souboru '%5'.\r\nJmenéno databáze je prázdné."));
    EXPECT_EQ(LoadString(20000), QStringLiteral("%1\r\n%2"));
    EXPECT_EQ(LoadString(23421), QStringLiteral("V poli '%2' nelze provést konverzi na požadaovaný typ (%3)"));
    EXPECT_EQ(LoadString(30010), QStringLiteral("Text"));
    EXPECT_EQ(LoadString(904), QStringLiteral("černá"));
    EXPECT_EQ(LoadString(911), QStringLiteral("bílá"));
}

TEST(StringTable, EveryGroupIsComplete)
{
    for (int id : {1, 2, 3, 4, 5, 6, 7, 200})
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    for (int id = 500; id <= 505; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    for (int id = 800; id <= 814; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    for (int id = 904; id <= 911; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    for (int id = 1400; id <= 1404; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    for (int id = 10500; id <= 10505; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    for (int id = 14000; id <= 14007; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
    for (int id = 30001; id <= 30008; ++id)
        EXPECT_FALSE(LoadString(id).isEmpty()) << id;
}

TEST(StringTable, MissingIdsGiveTheEmptyText)
{
    for (int id : {0, -1, 8, 9999, 1600, 1601, 10003, 30000, 30009, 23022, 2147483647})
        EXPECT_TRUE(LoadString(id).isEmpty()) << id;
}

TEST(Placeholders, PlainReplacementInTheCallersOrder)
{
    EXPECT_EQ(FillPlaceholders(QStringLiteral("Pozice %1 z %2"), {QStringLiteral("3"), QStringLiteral("10")}),
              QStringLiteral("Pozice 3 z 10"));
    EXPECT_EQ(FillPlaceholders(QStringLiteral("%1 a %1"), {QStringLiteral("x")}), QStringLiteral("x a x"));
    // A value holding a later placeholder is replaced by the later step.
    EXPECT_EQ(FillPlaceholders(QStringLiteral("%1/%2"), {QStringLiteral("<%2>"), QStringLiteral("y")}),
              QStringLiteral("<y>/y"));
    // Unfilled placeholders stay; "%10" is not a placeholder of its own.
    EXPECT_EQ(FillPlaceholders(QStringLiteral("%1 %3 %10"), {QStringLiteral("a")}), QStringLiteral("a %3 a0"));
}

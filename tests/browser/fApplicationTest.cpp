#include "fApplication.h"
#include "sMain.h"
#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(MainWindow, LoadsPreferencesWhenItOpensAndSavesThemWhenItCloses)
{
    ScopedRegistry registry;
    ASSERT_FALSE(QFile::exists(registry.Path()));
    {
        fApplication window;
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Databáze"));
        EXPECT_EQ(window.property("windowCode").toInt(), 2610);
        EXPECT_EQ(gMainWindow, &window);
        window.show();
        EXPECT_FALSE(QFile::exists(registry.Path())) << "opening writes nothing";
        window.close();
    }
    const QString hive = registry.ReadFile();
    EXPECT_TRUE(hive.startsWith(QStringLiteral("Windows Registry Editor Version 5.00\n")));
    EXPECT_TRUE(hive.contains(QStringLiteral("[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                                             "\"ViewStyle\"=\"0\"\n\"FontSize\"=\"24\"\n\"FontName\"=\"Arial CE\"\n"
                                             "\"FontBold\"=\"0\"\n\"FontItalic\"=\"0\"\n\"FontUnderLine\"=\"0\"\n")))
        << hive.toStdString();
    EXPECT_TRUE(hive.contains(QStringLiteral("[HKEY_CURRENT_USER\\Software\\Korvi\\Common]\n"
                                             "\"ForeColor\"=\"65535\"\n\"BackColor\"=\"0\"\n")))
        << hive.toStdString();
}

TEST(MainWindow, ValuesWrittenByHandAreReadOnTheNextStart)
{
    ScopedRegistry registry;
    registry.WriteFile("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                       "\"FontSize\"=dword:00000020\n\"FontName\"=\"DejaVu Sans\"\n\"ViewStyle\"=\"1\"\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\Common]\n\"ForeColor\"=\"16777215\"\n");
    fApplication window;
    EXPECT_EQ(gFont.Size, 32);
    EXPECT_EQ(gFont.Name, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(gViewStyle, 1);
    EXPECT_EQ(gForeColor, 0xFFFFFF);
    window.close();
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("\"FontSize\"=\"32\"")));
}

#include "fApplication.h"
#include "sMain.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(MainWindow, ReadsThePreferencesWhenItOpensAndSavesThemWhenItCloses)
{
    ScopedRegistry registry;
    const QByteArray written = "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                               "\"FontSize\"=dword:00000020\n\"FontName\"=\"DejaVu Sans\"\n\"ViewStyle\"=\"1\"\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Korvi\\Common]\n\"ForeColor\"=\"16777215\"\n";
    registry.WriteFile(written);
    {
        fApplication window;
        EXPECT_EQ(gMainWindow, &window);
        EXPECT_EQ(gFont.Size, 32);
        EXPECT_EQ(gFont.Name, QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(gViewStyle, 1);
        EXPECT_EQ(gForeColor, 0xFFFFFF);
        window.show();
        EXPECT_EQ(registry.ReadFile(), QString::fromUtf8(written)) << "opening writes nothing";
        gFont.Bold = true; // as the font dialog would while the window is open
        window.close();
    }
    const QString hive = registry.ReadFile();
    for (const char* value : {"\"FontSize\"=\"32\"\n", "\"FontName\"=\"DejaVu Sans\"\n", "\"ViewStyle\"=\"1\"\n",
                              "\"FontBold\"=\"-1\"\n", "\"ForeColor\"=\"16777215\"\n", "\"BackColor\"=\"0\"\n"})
        EXPECT_TRUE(hive.contains(QString::fromUtf8(value))) << value << hive.toStdString();
}

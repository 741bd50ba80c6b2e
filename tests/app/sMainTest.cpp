#include "modRegistry.h"
#include "sMain.h"
#include "TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {
QString Stored(const QString& key, const QString& name)
{
    return GetRegSetting(key, QString(), name, QStringLiteral("<absent>")).toString();
}

void LoadAll()
{
    LoadCommonPreferences(nullptr);
    LoadPreferences();
}
} // namespace

TEST(Paths, SuffixAndSuitePath)
{
    EXPECT_EQ(EnsureSuffix(QStringLiteral("a.txt"), QStringLiteral(".txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(EnsureSuffix(QStringLiteral("a.TXT"), QStringLiteral(".txt")), QStringLiteral("a.TXT.txt"));
    EXPECT_EQ(EnsureSuffix(QString(), QStringLiteral("/")), QStringLiteral("/"));
    gSuitePath = QStringLiteral("/opt/suite");
    EXPECT_EQ(SuitePathWithSlash(), QStringLiteral("/opt/suite/"));
    gSuitePath = QStringLiteral("/opt/suite/");
    EXPECT_EQ(SuitePathWithSlash(), QStringLiteral("/opt/suite/"));
    gSuitePath = QStringLiteral("C:\\QTX98\\");
    EXPECT_EQ(SuitePathWithSlash(), QStringLiteral("C:\\QTX98\\"));
}

TEST(Preferences, DefaultsAreLoadedWithoutWritingAndSavedAsText)
{
    ScopedRegistry registry;
    LoadAll();
    EXPECT_EQ(gFont.Name, QStringLiteral("Arial CE"));
    EXPECT_EQ(gFont.Size, 24);
    EXPECT_FALSE(gFont.Bold || gFont.Italic || gFont.Underline);
    EXPECT_EQ(gFont.Charset, 238);
    EXPECT_EQ(gForeColor, 0xFFFF);
    EXPECT_EQ(gBackColor, 0);
    EXPECT_EQ(gForeMenuColor, 0);
    EXPECT_EQ(gBackMenuColor, 0xFFFF);
    EXPECT_EQ(quint32(gForeColorForm), 0x80000012u);
    EXPECT_EQ(quint32(gBackColorForm), 0x8000000Fu);
    EXPECT_EQ(gViewStyle, 0);
    EXPECT_EQ(gOwnSpeech, 0);
    const QString programFolder = QCoreApplication::applicationDirPath();
    EXPECT_EQ(gWorkDir, programFolder + u'/');
    EXPECT_EQ(gSuitePath, programFolder);
    EXPECT_EQ(gHelpFile, programFolder + QStringLiteral("/help/velorin/quarnel.htm"));
    EXPECT_EQ(gHelpViewer, programFolder + QStringLiteral("/pagevu/pagevu.exe"));
    EXPECT_TRUE(registry.ReadFile().isEmpty()) << "loading writes nothing";

    // Every value as text, flags as 0/-1; values written only by other programs
    // (WorkDir, CharSet, the form colours) stay absent.
    SavePreferences();
    EXPECT_EQ(registry.ReadFile(),
              QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software]\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Korvi]\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                             "\"ViewStyle\"=\"0\"\n\"OwnSpeech\"=\"0\"\n\"FontSize\"=\"24\"\n\"FontName\"=\"Arial CE\"\n"
                             "\"FontBold\"=\"0\"\n\"FontItalic\"=\"0\"\n\"FontUnderLine\"=\"0\"\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Korvi\\Common]\n"
                             "\"ForeColor\"=\"65535\"\n\"BackColor\"=\"0\"\n\n"));
}

TEST(Preferences, ChangedValuesRoundTripAndTheSizeSurvivesALocaleChange)
{
    ScopedRegistry registry;
    {
        ScopedLocale czech(QStringLiteral("cs_CZ"));
        LoadAll();
        gFont.Bold = true;
        gFont.Size = 12.5;
        gBackColor = qint32(0x8000000Fu);
        gViewStyle = 1;
        gOwnSpeech = 2;
        SavePreferences();
        EXPECT_EQ(Stored(kProgramKey, QStringLiteral("FontBold")), QStringLiteral("-1"));
        EXPECT_EQ(Stored(kProgramKey, QStringLiteral("FontSize")), QStringLiteral("12,5")) << "in the user's locale";
        EXPECT_EQ(Stored(kCommonKey, QStringLiteral("BackColor")), QStringLiteral("-2147483633")) << "signed";
        LoadAll();
        EXPECT_TRUE(gFont.Bold);
        EXPECT_EQ(gFont.Size, 12.5);
        EXPECT_EQ(quint32(gBackColor), 0x8000000Fu);
        EXPECT_EQ(gViewStyle, 1);
        EXPECT_EQ(gOwnSpeech, 2);
    }
    {
        ScopedLocale english(QStringLiteral("en_US"));
        gFont.Size = 10.5;
        SavePreferences();
        EXPECT_EQ(Stored(kProgramKey, QStringLiteral("FontSize")), QStringLiteral("10.5"));
    }
    ScopedLocale czech(QStringLiteral("cs_CZ"));
    LoadAll();
    EXPECT_EQ(gFont.Size, 10.5) << "written under another locale";
    SaveRegSetting(kProgramKey, QString(), QStringLiteral("FontSize"), QStringLiteral("-3"));
    LoadAll();
    EXPECT_EQ(gFont.Size, 24) << "a size no font can have gives the default";
    for (const int size : {0, -1}) {
        SetRegValue(kProgramKey, QStringLiteral("FontSize"), size, REG_DWORD);
        LoadAll();
        EXPECT_EQ(gFont.Size, 24) << "REG_DWORD " << size << " falls back as the text does";
    }
}

TEST(Preferences, HandWrittenValuesOfEveryForm)
{
    ScopedRegistry registry;
    ScopedLocale locale(QStringLiteral("en_US"));
    registry.WriteFile("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                       "\"FontSize\"=dword:00000010\n"
                       "\"FontName\"=\"\"\n"
                       "\"FontBold\"=\"-1\"\n"
                       "\"FontItalic\"=\"True\"\n"
                       "\"FontUnderLine\"=\"yes please\"\n"
                       "\"CharSet\"=\"abc\"\n"
                       "\"ForeColorForm\"=\"&HFF\"\n"
                       "\"BackColorForm\"=\"4294967295\"\n"
                       "\"ViewStyle\"=hex:01\n"
                       "\"WorkDir\"=\"/srv/data/\"\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\Common]\n"
                       "\"ForeColor\"=dword:00ff0000\n"
                       "\"BackColor\"=\"  255 \"\n"
                       "\"Path\"=\"/opt/suite/\"\n"
                       "\"HelpViewerPath\"=\"bin/viewer\"\n");
    LoadAll();
    EXPECT_EQ(gFont.Size, 16);
    EXPECT_EQ(gFont.Name, QString()) << "an empty value is a value";
    EXPECT_TRUE(gFont.Bold);
    EXPECT_TRUE(gFont.Italic);
    EXPECT_FALSE(gFont.Underline) << "text that is no flag gives the default";
    EXPECT_EQ(gFont.Charset, 238) << "text that is no number gives the default";
    EXPECT_EQ(gForeColorForm, 255);
    EXPECT_EQ(gBackColorForm, -1);
    EXPECT_EQ(gViewStyle, 0) << "binary values are absent";
    EXPECT_EQ(gWorkDir, QStringLiteral("/srv/data/"));
    EXPECT_EQ(gForeColor, 0xFF0000);
    EXPECT_EQ(gBackColor, 255);
    EXPECT_EQ(gHelpFile, QStringLiteral("/opt/suite/help/velorin/quarnel.htm"));
    EXPECT_EQ(gHelpViewer, QStringLiteral("/opt/suite/bin/viewer"));
}

TEST(Preferences, WorkDirAndSelectedFile)
{
    ScopedRegistry registry;
    gWorkDir = QStringLiteral("/home/jana/databáze/");
    SaveWorkDir();
    LoadAll();
    EXPECT_EQ(gWorkDir, QStringLiteral("/home/jana/databáze/"));

    EXPECT_EQ(TakeSelectedFile(), QString());
    SaveRegSetting(kCommonKey, QString(), QStringLiteral("SelectedFile"), QStringLiteral("/tmp/a.mdb"));
    EXPECT_EQ(TakeSelectedFile(), QStringLiteral("/tmp/a.mdb"));
    EXPECT_EQ(TakeSelectedFile(), QString());
    EXPECT_EQ(Stored(kCommonKey, QStringLiteral("SelectedFile")), QString());
}

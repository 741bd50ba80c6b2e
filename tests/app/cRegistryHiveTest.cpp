#include "cRegistryHive.h"
#include "modRegistry.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {
const QString kKey = QStringLiteral("Software\\Korvi\\dBase");

QStringList BadFilesIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("HKCU.reg.bad-*")}, QDir::Files);
}
} // namespace

TEST(RegistryHive, WritesTheExportFormatAndReadsItBack)
{
    ScopedRegistry registry;
    SaveRegSetting(kKey, QString(), QStringLiteral("FontName"), QStringLiteral("Arial CE"));
    SaveRegSetting(kKey, QStringLiteral("Column1"), QStringLiteral("Field"), QStringLiteral("Jméno"));
    EXPECT_EQ(registry.ReadFile(),
              QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software]\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Korvi]\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n\"FontName\"=\"Arial CE\"\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase\\Column1]\n\"Field\"=\"Jméno\"\n\n"));
    EXPECT_EQ(GetRegSetting(kKey, QStringLiteral("Column1"), QStringLiteral("Field"), QString()),
              QVariant(QStringLiteral("Jméno")));
}

TEST(RegistryHive, TextsSurviveQuotesBackslashesAndLineBreaks)
{
    ScopedRegistry registry;
    const QString tricky = QStringLiteral("SELECT \"a\\b\"\r\nFROM [Umsätze]\t; \\\\server\\share\\");
    SaveRegSetting(kKey, QStringLiteral("Application"), QStringLiteral("Query"), tricky);
    // A fresh reader of the file, not this process's copy.
    cRegistryHive other(registry.Path());
    const auto value = other.ReadValue(kKey + QStringLiteral("\\Application"), QStringLiteral("Query"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Text, tricky);
    EXPECT_EQ(registry.ReadFile().count(u'\n'), 11) << "a line break inside a value must not break the line format";
}

TEST(RegistryHive, NamesCompareWithoutCaseAndKeysJoinByTheRules)
{
    ScopedRegistry registry;
    SaveRegSetting(kKey, QStringLiteral("Application"), QStringLiteral("Caption"), QStringLiteral("Sklad"));
    EXPECT_EQ(GetRegSetting(QStringLiteral("software\\KORVI\\dbase"), QStringLiteral("application"),
                            QStringLiteral("CAPTION"), QString()).toString(), QStringLiteral("Sklad"));
    // A key ending in "\" gets no second one; an empty section names the key itself.
    EXPECT_EQ(JoinKeyPath(kKey + u'\\', QStringLiteral("Application")), kKey + QStringLiteral("\\Application"));
    EXPECT_EQ(JoinKeyPath(kKey, QString()), kKey);
    EXPECT_EQ(GetRegSetting(kKey + QStringLiteral("\\Application"), QString(), QStringLiteral("Caption"), QString())
                  .toString(), QStringLiteral("Sklad"));
    // Writing again replaces the value under its first spelling.
    SaveRegSetting(kKey, QStringLiteral("APPLICATION"), QStringLiteral("caption"), QStringLiteral("Sklad 2"));
    EXPECT_EQ(registry.ReadFile().count(QStringLiteral("Caption")), 1);
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("\"Caption\"=\"Sklad 2\"")));
}

TEST(RegistryHive, EmptyValueIsAValueAndOtherTypesAreAbsentButKept)
{
    ScopedRegistry registry;
    registry.WriteFile("Windows Registry Editor Version 5.00\r\n\r\n"
                       "; written by hand\r\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\r\n"
                       "\"WorkDir\"=\"\"\r\n"
                       "\"ViewStyle\"=dword:00000001\r\n"
                       "\"Blob\"=hex:01,02,\\\r\n  03,ff\r\n"
                       "\"Expand\"=hex(2):25,00,00,00\r\n"
                       "@=\"default\"\r\n");
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("WorkDir"), QStringLiteral("x")), QVariant(QString()));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 0), QVariant(1));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("Blob"), QStringLiteral("d")), QVariant(QStringLiteral("d")));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("Expand"), 7), QVariant(7));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QString(), QString()), QVariant(QStringLiteral("default")));
    RegKey key;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kKey, key), ERROR_SUCCESS);
    QVariant value;
    EXPECT_EQ(ReadRegValueEx(key, QStringLiteral("Blob"), value), -1);
    EXPECT_FALSE(value.isValid());
    EXPECT_NE(ReadRegValueEx(key, QStringLiteral("Missing"), value), 0);

    SaveRegSetting(kKey, QString(), QStringLiteral("FontName"), QStringLiteral("Tahoma"));
    const QString after = registry.ReadFile();
    EXPECT_TRUE(after.contains(QStringLiteral("\"Blob\"=hex:01,02,03,ff\n")));
    EXPECT_TRUE(after.contains(QStringLiteral("\"Expand\"=hex(2):25,00,00,00\n")));
    EXPECT_TRUE(after.contains(QStringLiteral("\"ViewStyle\"=dword:00000001\n")));
    EXPECT_TRUE(BadFilesIn(registry.Folder()).isEmpty());
}

TEST(RegistryHive, DwordWritesAndMissingKeys)
{
    ScopedRegistry registry;
    EXPECT_FALSE(QueryRegValue(kKey, QStringLiteral("X")).isValid());
    EXPECT_NE(SetRegValue(kKey, QStringLiteral("X"), 1, REG_DWORD), ERROR_SUCCESS) << "no value in a missing key";
    ASSERT_EQ(CreateRegKey(kKey), ERROR_SUCCESS);
    EXPECT_EQ(SetRegValue(kKey, QStringLiteral("X"), -2, REG_DWORD), ERROR_SUCCESS);
    EXPECT_EQ(QueryRegValue(kKey, QStringLiteral("X")), QVariant(-2));
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("\"X\"=dword:fffffffe")));
    // Flags and fractions converted as numbers, never a silent 0.
    EXPECT_EQ(SetRegValue(kKey, QStringLiteral("X"), true, REG_DWORD), ERROR_SUCCESS);
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("\"X\"=dword:ffffffff")));
    SetRegValue(kKey, QStringLiteral("X"), 24.6, REG_DWORD);
    EXPECT_EQ(QueryRegValue(kKey, QStringLiteral("X")), QVariant(25));
    SetRegValue(kKey, QStringLiteral("X"), 2.5, REG_DWORD);
    EXPECT_EQ(QueryRegValue(kKey, QStringLiteral("X")), QVariant(2)) << "half to even";
    SetRegValue(kKey, QStringLiteral("X"), 4294967295.0, REG_DWORD);
    EXPECT_EQ(QueryRegValue(kKey, QStringLiteral("X")), QVariant(-1)) << "a colour written unsigned";
    EXPECT_EQ(SetRegValue(kKey, QStringLiteral("X"), 1e12, REG_DWORD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetRegValue(kKey, QStringLiteral("X"), QStringLiteral("abc"), REG_DWORD), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(QueryRegValue(kKey, QStringLiteral("X")), QVariant(-1)) << "what is no number writes nothing";
    EXPECT_EQ(SetRegValue(kKey, QStringLiteral("Y"), 1, REG_BINARY), ERROR_SUCCESS);
    EXPECT_FALSE(QueryRegValue(kKey, QStringLiteral("Y")).isValid()) << "other types write nothing";
    EXPECT_NE(CreateRegKey(kKey, HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST(RegistryHive, KeyWithSubkeysIsNotDeleted)
{
    ScopedRegistry registry;
    CreateRegKey(kKey + QStringLiteral("\\Action1\\Inner"));
    DeleteRegKey(HKEY_CURRENT_USER, kKey + QStringLiteral("\\Action1"));
    RegKey key;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kKey + QStringLiteral("\\Action1"), key), ERROR_SUCCESS);
    DeleteRegKey(HKEY_CURRENT_USER, kKey + QStringLiteral("\\Action1\\Inner"));
    DeleteRegKey(HKEY_CURRENT_USER, kKey + QStringLiteral("\\action1"));
    EXPECT_NE(RegOpenKeyEx(HKEY_CURRENT_USER, kKey + QStringLiteral("\\Action1"), key), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kKey, key), ERROR_SUCCESS);
    // Key existence survives in the file even without values.
    EXPECT_TRUE(registry.ReadFile().contains(QStringLiteral("[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n")));
}

TEST(RegistryHive, ReadsSeeWhatAnotherProgramWrote)
{
    ScopedRegistry registry;
    SaveRegSetting(kKey, QString(), QStringLiteral("FontName"), QStringLiteral("A"));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("FontName"), QString()).toString(), QStringLiteral("A"));
    cRegistryHive other(registry.Path());
    cRegistryHive::Value value;
    value.Name = QStringLiteral("FontName");
    value.Text = QStringLiteral("B");
    ASSERT_TRUE(other.WriteValue(kKey, value));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("FontName"), QString()).toString(), QStringLiteral("B"));
}

struct BadContent {
    const char* Name;
    QByteArray Bytes;
};

class BadHive : public ::testing::TestWithParam<BadContent> {};

TEST_P(BadHive, GivesDefaultsAndIsMovedAsideBeforeTheNextWrite)
{
    ScopedRegistry registry;
    registry.WriteFile(GetParam().Bytes);
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("FontName"), QStringLiteral("Arial CE")).toString(),
              QStringLiteral("Arial CE"));
    EXPECT_TRUE(BadFilesIn(registry.Folder()).isEmpty()) << "reading alone never touches the file";

    SaveRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 1);
    const QStringList aside = BadFilesIn(registry.Folder());
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QDir(registry.Folder()).filePath(aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), GetParam().Bytes);
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 0).toString(), QStringLiteral("1"));
}

INSTANTIATE_TEST_SUITE_P(
    Registry, BadHive,
    ::testing::Values(
        BadContent{"Garbage", QByteArray("\x7f" "ELF\x02\x01\x01 garbage", 16)},
        BadContent{"Empty", QByteArray("")},
        BadContent{"Truncated", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                                "\"FontName\"=\"Ari"},
        BadContent{"InvalidUtf8", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n"
                                  "\"FontName\"=\"Arial \xc3\x28 CE\"\n"},
        BadContent{"UnclosedSection", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvi\n"},
        BadContent{"ValueBeforeAnyKey", "Windows Registry Editor Version 5.00\n\"FontName\"=\"x\"\n"},
        BadContent{"OtherRoot", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software]\n"},
        BadContent{"LongDword", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n"
                                "\"Size\"=dword:123456789\n"},
        BadContent{"NoHeader", "[HKEY_CURRENT_USER\\Software]\n\"a\"=\"no header\"\n"}),
    [](const ::testing::TestParamInfo<BadContent>& param) { return std::string(param.param.Name); });

TEST(RegistryHive, UnwritableFolderLeavesDefaultsAndReportsNothing)
{
    ScopedRegistry registry;
    registry.WriteFile("not a folder");
    // The hive's folder would have to be a regular file: no write can succeed, even as root.
    qputenv("QUARNEL_REGISTRY", (registry.Path() + QStringLiteral("/Korvi/HKCU.reg")).toUtf8());
    SaveRegSetting(kKey, QString(), QStringLiteral("FontName"), QStringLiteral("Tahoma"));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("FontName"), QStringLiteral("Arial CE")).toString(),
              QStringLiteral("Arial CE"));
    EXPECT_NE(CreateRegKey(kKey), ERROR_SUCCESS);
}

TEST(RegistryHive, TwoProgramsWritingAtOnceKeepEachOthersValues)
{
    ScopedRegistry registry;
    SaveRegSetting(kKey, QString(), QStringLiteral("Before"), QStringLiteral("kept"));
    constexpr int kWrites = 40;
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(HIVE_WRITER), {QStringLiteral("a"), QString::number(kWrites)});
    second.start(QStringLiteral(HIVE_WRITER), {QStringLiteral("b"), QString::number(kWrites)});
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    ASSERT_EQ(first.exitCode(), 0);
    ASSERT_EQ(second.exitCode(), 0);
    for (const QString& prefix : {QStringLiteral("a"), QStringLiteral("b")}) {
        for (int i = 0; i < kWrites; ++i) {
            EXPECT_EQ(GetRegSetting(kKey, QStringLiteral("Race"), prefix + QString::number(i), QString()).toString(),
                      QStringLiteral("%1-%2").arg(prefix).arg(i));
        }
    }
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("Before"), QString()).toString(), QStringLiteral("kept"));
    EXPECT_FALSE(QFile::exists(registry.Path() + QStringLiteral(".lock")));
}

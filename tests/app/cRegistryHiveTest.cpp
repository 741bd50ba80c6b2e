#include "cRegistryHive.h"
#include "modRegistry.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {
const QString kKey = QStringLiteral("Software\\Korvi\\dBase");

QByteArray Utf16Le(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QByteArray RawFile(const ScopedRegistry& registry)
{
    QFile file(registry.Path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

// A table or file name may hold any character; the shared file must stay text for every
// program that reads it, and the value must come back as it was.
TEST(RegistryHive, ControlCharactersAreWrittenEscapedAndTheSharedFileSurvives)
{
    ScopedRegistry registry;
    registry.WriteFile("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\Other]\n\"Window\"=\"left\"\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n\"FontSize\"=\"30\"\n");
    QString odd = QStringLiteral("SELECT * FROM [a\u007fb] -- x\u0001y");
    odd += QChar(u'\0');
    odd += QStringLiteral("\u001b\u001f\u000b\u000c\t\\u0001\\u00 C:\\users\\u007");
    SaveRegSetting(kKey, QStringLiteral("Application"), QStringLiteral("Query"), odd);
    SaveRegSetting(QStringLiteral("Software\\Korvi\\Common"), QString(), QStringLiteral("SelectedFile"),
                   QStringLiteral("/home/eva/\u0001.mdb"));

    const QByteArray raw = RawFile(registry);
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE((byte >= 0x20 && byte != 0x7f) || c == '\n' || c == '\t') << "byte " << int(byte);
    }
    EXPECT_TRUE(raw.contains("[a\\u007fb] -- x\\u0001y")) << raw.toStdString();
    EXPECT_TRUE(BadFilesIn(registry.Folder()).isEmpty());

    cRegistryHive other(registry.Path());
    const auto value = other.ReadValue(kKey + QStringLiteral("\\Application"), QStringLiteral("Query"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Text, odd);
    EXPECT_EQ(other.ReadValue(QStringLiteral("Software\\Korvi\\Common"), QStringLiteral("SelectedFile"))->Text,
              QStringLiteral("/home/eva/\u0001.mdb"));
    EXPECT_EQ(other.ReadValue(kKey, QStringLiteral("FontSize"))->Text, QStringLiteral("30"));
    EXPECT_EQ(other.ReadValue(QStringLiteral("Software\\Korvi\\Other"), QStringLiteral("Window"))->Text,
              QStringLiteral("left"));
}

// An older program wrote the character raw: that line is read, the rest of the file too,
// and the next write stores the value escaped without moving the file aside.
TEST(RegistryHive, ARawControlCharacterCostsNothing)
{
    ScopedRegistry registry;
    registry.WriteFile("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n\"FontSize\"=\"30\"\n"
                       "\"LastFile\"=\"a\x01\x7f" "b\"\n");
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("FontSize"), QString()).toString(), QStringLiteral("30"));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("LastFile"), QString()).toString(),
              QStringLiteral("a\u0001\u007fb"));
    SaveRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 1);
    EXPECT_TRUE(BadFilesIn(registry.Folder()).isEmpty());
    EXPECT_TRUE(RawFile(registry).contains("\"LastFile\"=\"a\\u0001\\u007fb\"\n"));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("FontSize"), QString()).toString(), QStringLiteral("30"));
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

TEST(RegistryHive, HandWrittenFilesAreReadAsMeant)
{
    ScopedRegistry registry;
    // No header, a byte order mark, CRLF, Windows paths with their backslashes unescaped.
    registry.WriteFile("\xEF\xBB\xBF[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\r\n"
                       "\"WorkDir\"=\"D:\\data\\\"\r\n"
                       "\"Empty\"=\"\\\"\r\n"
                       "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\Common]\r\n"
                       "\"Path\"=\"C:\\QTX98\"\r\n");
    const auto expectValues = [&] {
        EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("WorkDir"), QString()).toString(),
                  QStringLiteral("D:\\data\\"));
        EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("Empty"), QString()).toString(), QStringLiteral("\\"));
        EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("Quoted"), QString()).toString(),
                  QStringLiteral("say \"hi\""));
        EXPECT_EQ(GetRegSetting(QStringLiteral("Software\\Korvi\\Common"), QString(), QStringLiteral("Path"), QString())
                      .toString(), QStringLiteral("C:\\QTX98"));
    };
    expectValues();
    SaveRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 1);
    expectValues();
    EXPECT_TRUE(RawFile(registry).startsWith("Windows Registry Editor Version 5.00\n"));
    EXPECT_TRUE(BadFilesIn(registry.Folder()).isEmpty());

    // An export as regedit writes it: UTF-16 with a byte order mark. An empty file is a hive too.
    const QString exported = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                            "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\r\n\"FontName\"=\"Šíp\"\r\n");
    registry.WriteFile("\xFF\xFE" + Utf16Le(exported));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("FontName"), QString()).toString(), QStringLiteral("Šíp"));
    registry.WriteFile("");
    SaveRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 1);
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 0).toString(), QStringLiteral("1"));
    EXPECT_TRUE(BadFilesIn(registry.Folder()).isEmpty());
}

struct Damage {
    const char* Name;
    QByteArray Bytes;
};

class DamagedHive : public ::testing::TestWithParam<Damage> {};

// What cannot be read costs only itself: the values around it are read, and a write keeps
// it where it was, byte for byte, for the person or program that wrote it.
TEST_P(DamagedHive, LinesThatCannotBeReadAreSkippedAndKept)
{
    ScopedRegistry registry;
    const QString common = QStringLiteral("Software\\Korvi\\Common");
    registry.WriteFile("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n\"Before\"=\"1\"\n"
                       + GetParam().Bytes
                       + "\n[HKEY_CURRENT_USER\\Software\\Korvi\\Common]\n\"After\"=\"2\"\n");
    const auto expectValues = [&] {
        EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("Before"), QString()).toString(), QStringLiteral("1"));
        EXPECT_EQ(GetRegSetting(common, QString(), QStringLiteral("After"), QString()).toString(), QStringLiteral("2"));
        EXPECT_FALSE(QueryRegValue(kKey, QStringLiteral("Lost")).isValid());
        EXPECT_FALSE(QueryRegValue(common, QStringLiteral("Lost")).isValid());
    };
    expectValues();

    SaveRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 1);
    SaveRegSetting(common, QString(), QStringLiteral("ForeColor"), 2);
    expectValues();
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 0).toString(), QStringLiteral("1"));
    EXPECT_TRUE(RawFile(registry).contains(GetParam().Bytes + '\n'));
    EXPECT_TRUE(BadFilesIn(registry.Folder()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Registry, DamagedHive,
    ::testing::Values(
        Damage{"Unterminated", "\"Lost\"=\"Ari"},
        Damage{"OneByteCodePage", "\"Lost\"=\"P\xf8\xedli\xb9 \xbelu\xbbou\xe8k\xfd\""},
        Damage{"LongDword", "\"Lost\"=dword:123456789"},
        Damage{"BadHexOverTwoLines", "\"Lost\"=hex:01,zz,\\\n  03"},
        Damage{"NoValue", "\"Lost\"\n; a note\nnot a value at all"},
        Damage{"OtherRoot", "[HKEY_LOCAL_MACHINE\\Software\\Korvi\\dBase]\n\"Lost\"=\"x\""},
        Damage{"UnclosedSection", "[HKEY_CURRENT_USER\\Software\\Korvi\n\"Lost\"=\"x\""},
        Damage{"SectionInOneByteCodePage", "[HKEY_CURRENT_USER\\Software\\Korvi\\\x8akoda]\n\"Lost\"=\"x\""},
        Damage{"ControlCharactersInABrokenLine", "\"Lost\"=\"a\x01\x7f\x1b"}),
    [](const ::testing::TestParamInfo<Damage>& param) { return std::string(param.param.Name); });

TEST(RegistryHive, ValuesBeforeAnySectionAreKeptAtTheTop)
{
    ScopedRegistry registry;
    registry.WriteFile("\"Lost\"=\"x\"\n[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\n\"Kept\"=\"y\"\n");
    EXPECT_FALSE(QueryRegValue(kKey, QStringLiteral("Lost")).isValid());
    SaveRegSetting(kKey, QString(), QStringLiteral("ViewStyle"), 1);
    EXPECT_TRUE(RawFile(registry).startsWith("Windows Registry Editor Version 5.00\n\n\"Lost\"=\"x\"\n"));
    EXPECT_EQ(GetRegSetting(kKey, QString(), QStringLiteral("Kept"), QString()).toString(), QStringLiteral("y"));
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

// Only what is not text at all: a hive with its values in it would not be moved aside.
INSTANTIATE_TEST_SUITE_P(
    Registry, BadHive,
    ::testing::Values(
        BadContent{"Executable", QByteArray("\x7f" "ELF\x02\x01\x01 garbage", 16)},
        BadContent{"Utf16WithoutMark", Utf16Le(QStringLiteral("[HKEY_CURRENT_USER]\n\"FontName\"=\"x\""))},
        BadContent{"Utf16MarkThenBinary", QByteArray("\xFF\xFE" "[\0\x01\0\x02\x03\n\0", 10)},
        // Marked as UTF-16 but not UTF-16 throughout: transcoding would lose what did not convert.
        BadContent{"Utf16MarkOddLength", "\xFF\xFE" + Utf16Le(QStringLiteral("[HKEY_CURRENT_USER]\n")) + "\x41"},
        BadContent{"Utf16MarkLoneSurrogate",
                   "\xFF\xFE" + Utf16Le(QStringLiteral("[HKEY_CURRENT_USER]\n\"FontName\"=\"")) + QByteArray("\x00\xD8", 2)
                       + Utf16Le(QStringLiteral("\"\n"))},
        BadContent{"ZeroedBlocks", QByteArray(4096, '\0')}),
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

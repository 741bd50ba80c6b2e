#include "cRegistryHive.h"
#include "cSetting.h"
#include "modRegistry.h"
#include "sMain.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {
cColumnDefinition Column(const QString& field, const QString& visible = QStringLiteral("Show"))
{
    cColumnDefinition column;
    column.setFieldName(field);
    column.setCaption(field + QStringLiteral(" (popis)"));
    column.setWidth(QStringLiteral("20%"));
    column.setAction(QStringLiteral("Web"));
    column.setFormat(QStringLiteral("#,##0.00"));
    column.setVisible(visible);
    return column;
}

void SaveColumnValue(int n, const QString& name, const QString& value)
{
    SaveRegSetting(kProgramKey, cSetting::ColumnKey(n), name, value);
}
} // namespace

TEST(Setting, MissingColumnValuesGiveTheDefaults)
{
    ScopedRegistry registry;
    cSetting setting;
    EXPECT_FALSE(setting.FindColumnDef(QStringLiteral("Name")));
    const cColumnDefinition column = setting.GetColumnDef(1, QStringLiteral("Name"));
    EXPECT_EQ(column.Caption(), QStringLiteral("Name"));
    EXPECT_EQ(column.Width(), QStringLiteral("Auto"));
    EXPECT_TRUE(column.FieldName().isEmpty() && column.Action().isEmpty() && column.Format().isEmpty()
                && column.Visible().isEmpty());
    // A column found by its field alone takes the field's name as its caption.
    SaveColumnValue(1, QStringLiteral("Field"), QStringLiteral("Mesto"));
    const auto found = setting.FindColumnDef(QStringLiteral("Mesto"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Caption(), QStringLiteral("Mesto"));
    EXPECT_EQ(found->Width(), QStringLiteral("Auto"));
}

TEST(Setting, ColumnsRoundTripAndAreFoundByExactName)
{
    ScopedRegistry registry;
    cSetting setting;
    setting.SetColumnDef(1, Column(QStringLiteral("Name")));
    setting.SetColumnDef(2, Column(QStringLiteral("Cena"), QString()));
    EXPECT_EQ(setting.GetColumnDef(1, QString()), Column(QStringLiteral("Name")));
    EXPECT_EQ(registry.ReadFile().count(QStringLiteral("\"Visible\"=\"\"")), 1) << "a hidden column stores an empty value";

    const auto hidden = setting.FindColumnDef(QStringLiteral("Cena"));
    ASSERT_TRUE(hidden);
    EXPECT_TRUE(hidden->Visible().isEmpty());
    EXPECT_FALSE(setting.FindColumnDef(QStringLiteral("name"))) << "field names compare exactly";
    // Another reader's change is seen at once: nothing but the query is cached.
    cSetting other;
    other.SetColumnDef(1, Column(QStringLiteral("Jméno")));
    EXPECT_TRUE(setting.FindColumnDef(QStringLiteral("Jméno")));
    EXPECT_FALSE(setting.FindColumnDef(QStringLiteral("Name")));
}

TEST(Setting, TheSearchEndsAtTheFirstEmptyFieldOrAfterAThousandColumns)
{
    ScopedRegistry registry;
    QByteArray hive = "Windows Registry Editor Version 5.00\n";
    for (int n = 1; n <= 1001; ++n)
        hive += QStringLiteral("[HKEY_CURRENT_USER\\Software\\Korvi\\dBase\\Column%1]\n\"Field\"=\"F%1\"\n").arg(n).toUtf8();
    registry.WriteFile(hive);
    cSetting setting;
    EXPECT_TRUE(setting.FindColumnDef(QStringLiteral("F1000")));
    EXPECT_FALSE(setting.FindColumnDef(QStringLiteral("F1001")));
    SaveColumnValue(2, QStringLiteral("Field"), QString());
    EXPECT_TRUE(setting.FindColumnDef(QStringLiteral("F1")));
    EXPECT_FALSE(setting.FindColumnDef(QStringLiteral("F3")));
}

TEST(Setting, CaptionComesFromTheFileNameOrTheStoredCaption)
{
    ScopedRegistry registry;
    cSetting setting;
    setting.setDatabaseFile(QStringLiteral("C:\\data\\shop.mdb"));
    EXPECT_EQ(setting.Caption(), QStringLiteral("shop.mdb"));
    setting.setDatabaseFile(QStringLiteral("/home/jana/sklad.db"));
    EXPECT_EQ(setting.Caption(), QStringLiteral("sklad.db"));
    setting.setDatabaseFile(QString());
    EXPECT_EQ(setting.Caption(), QStringLiteral("Databáze"));
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Caption"), QStringLiteral("Sklad"));
    EXPECT_EQ(setting.Caption(), QStringLiteral("Sklad"));
    setting.setDatabaseFile(QStringLiteral("/home/jana/"));
    EXPECT_EQ(setting.Caption(), QStringLiteral("Sklad"));
}

TEST(Setting, DatabaseTypeIsTrimmedAndEndsWithSemicolon)
{
    ScopedRegistry registry;
    cSetting setting;
    EXPECT_EQ(setting.DatabaseType(), QStringLiteral(";"));
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Type"),
                   QStringLiteral("  ODBC;DSN=Sklad;UID=jana  "));
    EXPECT_EQ(setting.DatabaseType(), QStringLiteral("ODBC;DSN=Sklad;UID=jana;"));
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Type"), QStringLiteral("ODBC;DSN=x;"));
    EXPECT_EQ(setting.DatabaseType(), QStringLiteral("ODBC;DSN=x;"));
}

TEST(Setting, QueryIsCachedAndWrittenAtOnce)
{
    ScopedRegistry registry;
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Query"), QStringLiteral("SELECT 1"));
    cSetting setting;
    EXPECT_EQ(setting.Query(), QStringLiteral("SELECT 1"));
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Query"), QStringLiteral("SELECT 2"));
    EXPECT_EQ(setting.Query(), QStringLiteral("SELECT 1")) << "the query is the one cached value";

    setting.setQuery(QStringLiteral("SELECT * FROM [Order Details]"));
    EXPECT_EQ(cSetting().Query(), QStringLiteral("SELECT * FROM [Order Details]"));
    setting.setQuery(QString());
    EXPECT_EQ(GetRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Query"), QStringLiteral("x")),
              QVariant(QString()));
    EXPECT_EQ(cSetting().Query(), QString());

    // A table whose name holds a control character costs no other preference.
    SaveRegSetting(kProgramKey, QString(), QStringLiteral("FontSize"), QStringLiteral("30"));
    setting.setQuery(QStringLiteral("Select * From [Sklad\u007f2]"));
    EXPECT_EQ(cSetting().Query(), QStringLiteral("Select * From [Sklad\u007f2]"));
    EXPECT_EQ(GetRegSetting(kProgramKey, QString(), QStringLiteral("FontSize"), QString()).toString(), QStringLiteral("30"));
}

TEST(Setting, AnotherProgramNeverReadsHalfAColumnDefinition)
{
    ScopedRegistry registry;
    QProcess writer;
    writer.start(QStringLiteral(HIVE_WRITER), {QStringLiteral("columns"), QStringLiteral("150")});
    ASSERT_TRUE(writer.waitForStarted());
    int seen = 0;
    QStringList mixed;
    const auto look = [&] {
        QFile file(registry.Path());
        QList<cRegistryHive::Key> keys;
        if (!file.open(QIODevice::ReadOnly) || !cRegistryHive::Parse(file.readAll(), keys))
            return;
        for (const cRegistryHive::Key& key : keys) {
            if (key.Path.compare(kProgramKey + QStringLiteral("\\Column1"), Qt::CaseInsensitive) != 0)
                continue;
            QStringList numbers;
            for (const cRegistryHive::Value& value : key.Values)
                numbers.append(value.Text.right(value.Text.size() - (value.Name == QLatin1String("Width") ? 0 : 1)));
            ++seen;
            if (numbers.size() != 6 || numbers.count(numbers.first()) != 6)
                mixed.append(numbers.join(u','));
        }
    };
    do {
        look();
    } while (!writer.waitForFinished(1));
    look();
    ASSERT_EQ(writer.exitCode(), 0);
    EXPECT_GT(seen, 0);
    EXPECT_TRUE(mixed.isEmpty()) << mixed.first().toStdString();
    EXPECT_EQ(cSetting().GetColumnDef(1, QString()).FieldName(), QStringLiteral("F149"));
}

#include "DataTestSupport.h"

#include "mConvert.h"

void RawExec(const QString& path, const char* sql)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(raw);
}

void DatabaseTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
}

std::shared_ptr<Database> DatabaseTest::CreateOsoby(const QString& file)
{
    auto db = DBEngine::Instance().CreateDatabase(PathOf(file), QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0"));
    auto table = db->CreateTableDef(QStringLiteral("Osoby"));
    auto add = [&](const QString& name, int type, int size, bool required, bool zeroLength) {
        auto field = table->CreateField(name, type, size);
        field->setRequired(required);
        field->setAllowZeroLength(zeroLength);
        table->Fields()->Append(field);
    };
    add(QStringLiteral("Id"), JetType::Long, 0, true, false);
    add(QStringLiteral("Jméno"), JetType::Text, 20, true, false);
    add(QStringLiteral("Příjmení"), JetType::Text, 50, false, true);
    add(QStringLiteral("Narozen"), JetType::Date, 0, false, false);
    add(QStringLiteral("Plat"), JetType::Currency, 0, false, false);
    add(QStringLiteral("Aktivní"), JetType::Boolean, 0, false, false);
    add(QStringLiteral("Poznámka"), JetType::Memo, 0, false, true);
    db->TableDefs()->Append(table);
    return db;
}

void DatabaseTest::AddPerson(Database& db, const QVariantList& values)
{
    auto rs = db.OpenRecordset(QStringLiteral("SELECT * FROM Osoby"));
    rs->AddNew();
    for (int i = 0; i < values.size(); ++i) {
        if (values[i].isValid())
            rs->Fields()->Item(i)->setValue(values[i]);
    }
    rs->Update();
}

QStringList DatabaseTest::Column(Recordset& rs, int field)
{
    QStringList values;
    if (rs.RecordCount() == 0)
        return values;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        values << rs.Fields()->Item(field)->Value().toString();
    return values;
}

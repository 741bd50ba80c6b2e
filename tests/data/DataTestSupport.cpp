#include "DataTestSupport.h"

#include "EngineBackends.h"
#include "mConvert.h"

#include <QCryptographicHash>
#include <QFile>

QByteArray FileDigest(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

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
    return CreateOsobyFile(PathOf(file));
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

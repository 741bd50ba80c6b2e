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

QString PlainRows(sqlite3* raw, const QString& sql)
{
    QStringList rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(raw, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        return QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(raw));
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
        rows << values.join(u'|');
    }
    if (rc != SQLITE_DONE)
        rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(raw));
    sqlite3_finalize(statement);
    return rows.join(u'\n');
}

#pragma once

#include "DBEngine.h"
#include "TestSupport.h"
#include "cRuntimeError.h"
#include "mConvert.h"

#include <QLocale>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

// The engine's error number a call raises, or 0 when it raises none.
template <typename Call>
int ErrorOf(Call call)
{
    try {
        call();
    } catch (const cRuntimeError& e) {
        return e.Number();
    }
    return 0;
}

// The SHA-256 of a file's bytes, empty when it cannot be read.
QByteArray FileDigest(const QString& path);

// Runs SQL on the file through SQLite itself, as another program would.
void RawExec(const QString& path, const char* sql);

// The rows of a statement run by SQLite alone, as another program runs it: each row's
// values joined by "|", the rows by new lines; an error as "error: …".
QString PlainRows(sqlite3* raw, const QString& sql);

// A fresh database in a folder of its own, with the table Osoby:
// Id Long required, Jméno Text(20) required without zero length, Příjmení Text(50),
// Narozen Date, Plat Currency, Aktivní Boolean, Poznámka Memo.
class DatabaseTest : public ::testing::Test {
public:
    // Adds a record through the engine; values in field order, Null as an invalid QVariant.
    static void AddPerson(Database& db, const QVariantList& values);
    static QStringList Column(Recordset& rs, int field);

protected:
    void SetUp() override;
    QString PathOf(const QString& file) const { return m_dir.filePath(file); }
    std::shared_ptr<Database> CreateOsoby(const QString& file = QStringLiteral("osoby.db"));

    QTemporaryDir m_dir;
};

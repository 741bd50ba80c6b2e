#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "fApplication.h"
#include "mStringTable.h"

#include <sqlite3.h>

namespace {

// A file made by another program, through SQLite itself.
QString MakeForeign(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    return path;
}

// The table's rows as the file holds them, "rowid|Name" each.
QStringList Stored(const QString& path, const char* table)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, QByteArray("SELECT rowid, Name FROM ").append(table).append(" ORDER BY _rowid_").constData(),
                       -1, &statement, nullptr);
    QStringList rows;
    while (statement && sqlite3_step(statement) == SQLITE_ROW)
        rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) + u'|'
                    + QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

} // namespace

// Two records share the value of a column named rowid: editing one or deleting it leaves
// the other as it was. Where no name is left for the records' identity, the user hears why
// nothing may be changed.
TEST_F(ApplicationTest, AColumnNamedRowidNeverStandsForTheRecord)
{
    const QString path = MakeForeign(m_dir.filePath(QStringLiteral("cizi.db")), R"(
        CREATE TABLE T (rowid INTEGER, Name TEXT(20));
        INSERT INTO T VALUES (1, 'Adam'), (1, 'Eva'), (2, 'Jan');)");
    ASSERT_TRUE(Open(path));
    m_window->list->setFocus();
    WhenModal([](QDialog* form) {
        PressInDialog(form, Qt::Key_Tab);
        TypeInDialog(form, QStringLiteral("Adéla"));
        PressInDialog(form, Qt::Key_Return);
    });
    Press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(Stored(path, "T"), QStringList({"1|Adéla", "1|Eva", "2|Jan"}));
    WhenModal([](QDialog* question) { PressInDialog(question, Qt::Key_Return); });
    Press(Qt::Key_Delete);
    EXPECT_EQ(Stored(path, "T"), QStringList({"1|Eva", "2|Jan"}));
    EXPECT_EQ(m_window->list->RowCount(), 2);

    const QString taken = MakeForeign(m_dir.filePath(QStringLiteral("obsazeno.db")), R"(
        CREATE TABLE V (rowid INTEGER, oid INTEGER, _rowid_ INTEGER, Name TEXT(20));
        INSERT INTO V VALUES (1, 1, 1, 'Adam'), (1, 1, 1, 'Eva');)");
    ASSERT_TRUE(Open(taken));
    m_window->list->setFocus();
    QString message;
    WhenModal([&message](QDialog* box) {
        message = MessageOf(box);
        PressInDialog(box, Qt::Key_Return);
    });
    Press(Qt::Key_Delete);
    EXPECT_TRUE(message.contains(FillPlaceholders(LoadString(10795), {QStringLiteral("V")}))) << message.toStdString();
    EXPECT_EQ(m_window->list->RowCount(), 2);
}

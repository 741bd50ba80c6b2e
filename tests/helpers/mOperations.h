#pragma once

// What users do, on databases other programs made. Each case makes a database through
// plain SQLite (as the sqlite3 tool or a script would), then runs a random sequence of
// user operations through the engine calls the window's commands make. After each one
// the file is compared with an oracle that never goes through Quarnel: a reference copy
// that receives only the intended change through plain SQLite, or, for a change of
// structure, the previous picture of the file changed in memory. The same seed and case
// always make the same database and the same sequence, so a case can be made again.
#include "DBEngine.h"
#include "Database.h"
#include "Field.h"
#include "Recordset.h"
#include "TableDef.h"
#include "cAction.h"
#include "cActions.h"
#include "cRuntimeError.h"
#include "cWorkControl.h"
#include "mConvert.h"
#include "mDamage.h"
#include "mDatabaseCopy.h"
#include "mExport.h"
#include "mFilter.h"
#include "mJetSql.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QVariant>

#include <sqlite3.h>

#include <QRegularExpression>

#include <functional>
#include <numeric>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

namespace operations {

using damage::cRandom;

// A connection as another program has it: no function, collation or setting of Quarnel's.
class cPlain {
public:
    explicit cPlain(const QString& path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~cPlain() { sqlite3_close_v2(m_db); }
    cPlain(const cPlain&) = delete;
    cPlain& operator=(const cPlain&) = delete;

    sqlite3* Handle() const { return m_db; }

    // Runs one statement; the error's text, or an empty text.
    QString Run(const QString& sql, const QVariantList& binds = {}, QList<QVariantList>* rows = nullptr)
    {
        sqlite3_stmt* statement = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(m_db));
        for (int i = 0; i < binds.size(); ++i)
            Bind(statement, i + 1, binds[i]);
        int status;
        while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
            if (!rows)
                continue;
            QVariantList row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                row << Column(statement, c);
            rows->append(row);
        }
        const QString error = status == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(statement);
        return error;
    }
    void Exec(const QString& sql, const QVariantList& binds = {})
    {
        const QString error = Run(sql, binds);
        if (!error.isEmpty())
            throw std::runtime_error((error + QStringLiteral(": ") + sql).toStdString());
    }
    QList<QVariantList> Rows(const QString& sql, const QVariantList& binds = {})
    {
        QList<QVariantList> rows;
        const QString error = Run(sql, binds, &rows);
        if (!error.isEmpty())
            throw std::runtime_error((error + QStringLiteral(": ") + sql).toStdString());
        return rows;
    }

    // The whole database into another file, as a backup program makes it.
    void CopyTo(const QString& target)
    {
        QFile::remove(target);
        cPlain copy(target);
        sqlite3_backup* backup = sqlite3_backup_init(copy.m_db, "main", m_db, "main");
        if (!backup || sqlite3_backup_step(backup, -1) != SQLITE_DONE) {
            sqlite3_backup_finish(backup);
            throw std::runtime_error("backup failed");
        }
        sqlite3_backup_finish(backup);
    }

    // A value with its storage class: what a reader of the file gets.
    static QVariant Column(sqlite3_stmt* statement, int c)
    {
        switch (sqlite3_column_type(statement, c)) {
        case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(statement, c)));
        case SQLITE_FLOAT: return QVariant(sqlite3_column_double(statement, c));
        case SQLITE_TEXT:
            return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                                              sqlite3_column_bytes(statement, c)));
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, c)),
                                       sqlite3_column_bytes(statement, c)));
        default: return QVariant();
        }
    }
    static void Bind(sqlite3_stmt* statement, int i, const QVariant& value)
    {
        if (!value.isValid() || value.isNull()) {
            sqlite3_bind_null(statement, i);
        } else if (value.typeId() == QMetaType::QString) {
            const QByteArray bytes = value.toString().toUtf8();
            sqlite3_bind_text(statement, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        } else if (value.typeId() == QMetaType::Double) {
            sqlite3_bind_double(statement, i, value.toDouble());
        } else if (value.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = value.toByteArray();
            sqlite3_bind_blob(statement, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(statement, i, value.toLongLong());
        }
    }

private:
    sqlite3* m_db = nullptr;
};

inline QString Quoted(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QLatin1String("\"\"")) + u'"';
}

inline QString Rendered(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("null");
    switch (value.typeId()) {
    case QMetaType::LongLong: return QStringLiteral("i:") + QString::number(value.toLongLong());
    case QMetaType::Double: return QStringLiteral("r:") + QString::number(value.toDouble(), 'g', 17);
    case QMetaType::QByteArray: return QStringLiteral("b:") + QString::fromLatin1(value.toByteArray().toHex());
    default: return QStringLiteral("t:") + value.toString();
    }
}

// Of the names by which SQLite reaches a row's identity, the first no column takes.
inline QString FreeIdentity(const QStringList& columns)
{
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (!columns.contains(QLatin1String(name), Qt::CaseInsensitive))
            return QLatin1String(name);
    }
    return QString();
}

struct TablePicture {
    QStringList Columns;    // in the table's order
    bool WithoutRowid = false;
    QStringList Rows;       // one line a row, "name=value" in the order of the names, sorted
};

// What another program finds in the file.
struct Picture {
    QMap<QString, TablePicture> Tables;
    QMap<QString, QStringList> Views;  // their rows, sorted (or the error)
    QStringList Indexes, Triggers;     // "name on table", sorted
    QStringList Problems;              // integrity and foreign key checks, or a failure to read
};

// Quarnel's own catalogue of what SQLite does not keep: its changes go with the change
// asked for and are not compared.
inline bool OwnCatalogue(const QString& name)
{
    return name.startsWith(QLatin1String("QSys"), Qt::CaseInsensitive);
}

inline Picture Take(const QString& path, bool withViewRows = true)
{
    Picture picture;
    try {
        cPlain plain(path);
        for (const QVariantList& object :
             plain.Rows(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name"))) {
            const QString type = object[0].toString(), name = object[1].toString(), table = object[2].toString();
            if (OwnCatalogue(table)) {
                continue;
            } else if (type == QLatin1String("index")) {
                picture.Indexes << name + QStringLiteral(" on ") + table;
            } else if (type == QLatin1String("trigger")) {
                picture.Triggers << name + QStringLiteral(" on ") + table;
            } else if (type == QLatin1String("view")) {
                QStringList rows;
                if (withViewRows) {
                    QList<QVariantList> read;
                    const QString error = plain.Run(QStringLiteral("SELECT * FROM ") + Quoted(name), {}, &read);
                    for (const QVariantList& row : read) {
                        QStringList cells;
                        for (const QVariant& cell : row)
                            cells << Rendered(cell);
                        rows << cells.join(u'|');
                    }
                    rows.sort();
                    if (!error.isEmpty())
                        rows = QStringList{QStringLiteral("error: ") + error};
                }
                picture.Views.insert(name, rows);
            } else if (type == QLatin1String("table") && !OwnCatalogue(name)
                       && (!name.startsWith(QLatin1String("sqlite_")) || name == QLatin1String("sqlite_sequence"))) {
                TablePicture t;
                t.WithoutRowid = object[3].toString().contains(QLatin1String("WITHOUT ROWID"), Qt::CaseInsensitive);
                for (const QVariantList& column :
                     plain.Rows(QStringLiteral("SELECT name FROM pragma_table_xinfo(?)"), {name}))
                    t.Columns << column[0].toString();
                QStringList names = t.Columns;
                // SQLite's own counters are found by their names, not where they stand.
                const QString identity = t.WithoutRowid || name == QLatin1String("sqlite_sequence") ? QString() : FreeIdentity(t.Columns);
                QStringList selected;
                for (const QString& column : names)
                    selected << Quoted(column);
                if (!identity.isEmpty()) {
                    selected.prepend(identity);
                    names.prepend(QStringLiteral("#identity"));
                }
                QList<int> order(names.size());
                std::iota(order.begin(), order.end(), 0);
                std::sort(order.begin(), order.end(), [&](int a, int b) { return names[a] < names[b]; });
                // A counter at 0 counts nothing: SQLite writes one for a table filled with no rows.
                const QString noCounters = name == QLatin1String("sqlite_sequence") ? QStringLiteral(" WHERE seq <> 0") : QString();
                for (const QVariantList& row : plain.Rows(QStringLiteral("SELECT ") + selected.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + Quoted(name) + noCounters)) {
                    QStringList cells;
                    for (const int i : order)
                        cells << names[i] + u'=' + Rendered(row[i]);
                    t.Rows << cells.join(u'|');
                }
                t.Rows.sort();
                picture.Tables.insert(name, t);
            }
        }
        const auto integrity = plain.Rows(QStringLiteral("PRAGMA integrity_check"));
        if (integrity.size() != 1 || integrity[0][0].toString() != QLatin1String("ok"))
            for (const QVariantList& line : integrity)
                picture.Problems << QStringLiteral("integrity: ") + line[0].toString();
        for (const QVariantList& line : plain.Rows(QStringLiteral("PRAGMA foreign_key_check")))
            picture.Problems << QStringLiteral("foreign key: ") + line[0].toString() + QStringLiteral(" row ") + line[1].toString();
    } catch (const std::exception& e) {
        picture.Problems << QStringLiteral("unreadable: ") + QString::fromStdString(e.what());
    }
    return picture;
}

// Where two pictures differ, at most a few lines of it.
inline QStringList Differences(const Picture& expected, const Picture& actual, bool compareViewRows = true)
{
    QStringList out;
    const auto keys = [](const auto& map) { return QStringList(map.keyBegin(), map.keyEnd()); };
    if (keys(expected.Tables) != keys(actual.Tables))
        out << QStringLiteral("tables: expected ") + keys(expected.Tables).join(QStringLiteral(", ")) + QStringLiteral("; found ") + keys(actual.Tables).join(QStringLiteral(", "));
    for (auto t = expected.Tables.begin(); t != expected.Tables.end(); ++t) {
        auto found = actual.Tables.find(t.key());
        if (found == actual.Tables.end())
            continue;
        // A shadowing column gone lets the identity be read again: compare what both show.
        TablePicture stripped;
        const auto hasIdentity = [](const TablePicture& p) {
            return !p.Rows.isEmpty() && p.Rows[0].startsWith(QLatin1String("#identity="));
        };
        if (hasIdentity(*found) && !hasIdentity(*t) && !t->Rows.isEmpty()) {
            stripped = *found;
            for (QString& row : stripped.Rows)
                row = row.section(u'|', 1);
            stripped.Rows.sort();
        }
        const TablePicture* shown = stripped.Columns.isEmpty() ? &*found : &stripped;
        if (t->Columns != shown->Columns)
            out << QStringLiteral("columns of ") + t.key() + QStringLiteral(": expected ") + t->Columns.join(QStringLiteral(", ")) + QStringLiteral("; found ") + shown->Columns.join(QStringLiteral(", "));
        else if (t->Rows != shown->Rows) {
            QStringList missing, extra;
            for (const QString& row : t->Rows)
                if (!shown->Rows.contains(row))
                    missing << row;
            for (const QString& row : shown->Rows)
                if (!t->Rows.contains(row))
                    extra << row;
            out << QStringLiteral("rows of ") + t.key() + QStringLiteral(": ") + QString::number(t->Rows.size()) + QStringLiteral(" expected, ")
                       + QString::number(shown->Rows.size()) + QStringLiteral(" found; missing ") + missing.mid(0, 3).join(QStringLiteral(" / "))
                       + QStringLiteral("; unexpected ") + extra.mid(0, 3).join(QStringLiteral(" / "));
        }
    }
    if (keys(expected.Views) != keys(actual.Views))
        out << QStringLiteral("views: expected ") + keys(expected.Views).join(QStringLiteral(", ")) + QStringLiteral("; found ") + keys(actual.Views).join(QStringLiteral(", "));
    else if (compareViewRows && expected.Views != actual.Views)
        out << QStringLiteral("the rows of a view differ");
    if (expected.Indexes != actual.Indexes)
        out << QStringLiteral("indexes: expected ") + expected.Indexes.join(QStringLiteral(", ")) + QStringLiteral("; found ") + actual.Indexes.join(QStringLiteral(", "));
    if (expected.Triggers != actual.Triggers)
        out << QStringLiteral("triggers: expected ") + expected.Triggers.join(QStringLiteral(", ")) + QStringLiteral("; found ") + actual.Triggers.join(QStringLiteral(", "));
    out << actual.Problems;
    return out;
}

// ---------------------------------------------------------------------------------------
// The databases.

enum class Kind { Integer, Text, Real, Other }; // Other: read, compared, never typed into

struct ColumnPlan {
    QString Name;
    QString Declaration; // after the name
    Kind Type = Kind::Other;
    bool Generated = false;
};

struct TablePlan {
    QString Name;
    QList<ColumnPlan> Columns;
    QString Tag; // a column whose values the campaign keeps unique, to find a row by
    bool WithoutRowid = false;
    bool Strict = false;
    bool HasId = false; // an INTEGER PRIMARY KEY named Id
};

inline const QStringList& TextValues()
{
    static const QStringList values{
        QStringLiteral("Adam"), QStringLiteral("Eva"), QStringLiteral("Čestmír"), QStringLiteral("chata"),
        QStringLiteral("hrad"), QStringLiteral("Šárka"), QStringLiteral("O'Brien"), QStringLiteral("a\"b"),
        QStringLiteral("100%"), QStringLiteral("p%2"), QStringLiteral("x]y"), QStringLiteral("tab\there"),
        QString::fromUtf8("ctl\x01" "a"), QString::fromUtf8("\xF0\x9F\x98\x80 smajlík"), QString(),
        QStringLiteral("ŽLUŤOUČKÝ kůň"), QStringLiteral("Ch"), QStringLiteral("h"), QStringLiteral("řádek\ndruhý"),
        QStringLiteral("[1-5]*"), QStringLiteral("select"), QStringLiteral("  mezery  "),
    };
    return values;
}

inline const QStringList& TableNames()
{
    static const QStringList names{
        QStringLiteral("Kraje"), QStringLiteral("Obce"), QStringLiteral("Lidé"), QStringLiteral("select"),
        QStringLiteral("Order"), QStringLiteral("Tabulka s mezerami"), QStringLiteral("a]b"), QStringLiteral("100%"),
        QStringLiteral("it's"), QStringLiteral("q\"uote"), QString::fromUtf8("ctl\x01" "tab"),
        QString::fromUtf8("\xF0\x9F\x93\x9A Knihy"), QString::fromUtf8("del\x7f"), QStringLiteral("p%2"),
    };
    return names;
}

struct DatabasePlan {
    QList<TablePlan> Tables;
    bool Wal = false;
};

inline QString Literal(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    if (value.typeId() == QMetaType::QString)
        return u'\'' + value.toString().replace(u'\'', QLatin1String("''")) + u'\'';
    return value.toString();
}

// A database made as the sqlite3 tool or a Python script makes one; rowsWanted < 0 picks.
inline DatabasePlan MakeDatabase(const QString& path, cRandom& random, qint64 rowsWanted = -1)
{
    DatabasePlan plan;
    plan.Wal = random.Below(2) == 0;
    QStringList names = TableNames();
    const int tables = 1 + int(random.Below(3));
    qint64 tag = 1;
    cPlain plain(path);
    if (plan.Wal)
        plain.Exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    plain.Exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    QString parent; // the first table with an Id, for the others to refer to
    for (int n = 0; n < tables; ++n) {
        TablePlan t;
        t.Name = names.takeAt(random.Below(names.size()));
        const int key = int(random.Below(5)); // 0 rowid, 1 Id, 2 Id AUTOINCREMENT, 3 WITHOUT ROWID, 4 STRICT
        t.Strict = key == 4;
        QStringList definitions;
        if (key == 1 || key == 2 || key == 4) {
            t.HasId = true;
            t.Columns << ColumnPlan{QStringLiteral("Id"),
                                    key == 2 ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                                             : QStringLiteral("INTEGER PRIMARY KEY"),
                                    Kind::Integer, false};
        }
        if (key == 3) {
            t.WithoutRowid = true;
            t.Columns << ColumnPlan{QStringLiteral("Kód"), QStringLiteral("INTEGER NOT NULL PRIMARY KEY"), Kind::Integer, false};
            t.Tag = QStringLiteral("Kód");
        } else {
            static const char* const tags[] = {"Pořadí", "Číslo", "order", "p%2", "x]y", "Id "};
            t.Tag = QString::fromUtf8(tags[random.Below(6)]);
            t.Columns << ColumnPlan{t.Tag, t.Strict ? QStringLiteral("INTEGER") : QStringLiteral("INTEGER"), Kind::Integer, false};
        }
        // The names SQLite itself gives a row's identity, taken by columns.
        for (const char* shadow : {"rowid", "oid", "_rowid_"}) {
            if (!t.WithoutRowid && random.Below(4) == 0)
                t.Columns << ColumnPlan{QLatin1String(shadow), QStringLiteral("INTEGER"), Kind::Integer, false};
        }
        t.Columns << ColumnPlan{QStringLiteral("Jméno"), t.Strict ? QStringLiteral("TEXT") : QStringLiteral("TEXT(20)"),
                                Kind::Text, false};
        if (random.Below(2) == 0)
            t.Columns << ColumnPlan{QStringLiteral("Poznámka"),
                                    t.Strict ? QStringLiteral("TEXT") : QStringLiteral("TEXT COLLATE NOCASE"), Kind::Text, false};
        if (random.Below(2) == 0)
            t.Columns << ColumnPlan{QStringLiteral("Cena"), QStringLiteral("REAL"), Kind::Real, false};
        if (random.Below(3) == 0)
            t.Columns << ColumnPlan{QStringLiteral("Počet"), QStringLiteral("INTEGER CHECK (\"Počet\" >= 0)"), Kind::Integer, false};
        if (random.Below(3) == 0 && !t.Strict)
            t.Columns << ColumnPlan{QStringLiteral("Aktivní"), QStringLiteral("BOOLEAN"), Kind::Other, false};
        if (random.Below(3) == 0)
            t.Columns << ColumnPlan{QStringLiteral("Stav"), QStringLiteral("TEXT NOT NULL DEFAULT 'nový'"), Kind::Text, false};
        if (random.Below(4) == 0)
            t.Columns << ColumnPlan{QStringLiteral("Délka"), QStringLiteral("INTEGER GENERATED ALWAYS AS (length(\"Jméno\"))"),
                                    Kind::Other, true};
        if (!parent.isEmpty() && random.Below(2) == 0) {
            static const char* const actions[] = {"CASCADE", "SET NULL", "RESTRICT", "NO ACTION"};
            t.Columns << ColumnPlan{QStringLiteral("Kraj"),
                                    QStringLiteral("INTEGER REFERENCES ") + Quoted(parent) + QStringLiteral("(Id) ON DELETE ")
                                        + QLatin1String(actions[random.Below(4)]),
                                    Kind::Integer, false};
        }
        for (const ColumnPlan& c : t.Columns)
            definitions << Quoted(c.Name) + u' ' + c.Declaration;
        plain.Exec(QStringLiteral("CREATE TABLE ") + Quoted(t.Name) + QStringLiteral(" (") + definitions.join(QStringLiteral(", ")) + u')'
                   + (t.WithoutRowid ? QStringLiteral(" WITHOUT ROWID") : t.Strict ? QStringLiteral(" STRICT") : QString()));
        if (random.Below(3) == 0)
            plain.Exec(QStringLiteral("CREATE INDEX ") + Quoted(t.Name + QStringLiteral(" jméno")) + QStringLiteral(" ON ") + Quoted(t.Name) + QStringLiteral("(\"Jméno\")"));
        if (random.Below(3) == 0)
            plain.Exec(QStringLiteral("CREATE VIEW ") + Quoted(QStringLiteral("Pohled ") + t.Name) + QStringLiteral(" AS SELECT * FROM ") + Quoted(t.Name)
                       + QStringLiteral(" WHERE ") + Quoted(t.Tag) + QStringLiteral(" % 2 = 0"));
        if (random.Below(4) == 0 && !t.WithoutRowid)
            plain.Exec(QStringLiteral("CREATE VIEW ") + Quoted(QStringLiteral("S rowid ") + t.Name) + QStringLiteral(" AS SELECT rowid AS rowid, \"Jméno\" FROM ")
                       + Quoted(t.Name));
        if (random.Below(4) == 0) {
            plain.Exec(QStringLiteral("CREATE TABLE IF NOT EXISTS \"Změny\" (co TEXT)"));
            plain.Exec(QStringLiteral("CREATE TRIGGER ") + Quoted(QStringLiteral("Přidáno ") + t.Name) + QStringLiteral(" AFTER INSERT ON ") + Quoted(t.Name)
                       + QStringLiteral(" BEGIN INSERT INTO \"Změny\" VALUES ('přidáno ' || new.") + Quoted(t.Tag) + QStringLiteral("); END"));
        }
        qint64 rows = rowsWanted;
        if (rows < 0) {
            const qint64 pick = random.Below(20);
            rows = pick == 0 ? 0 : pick == 1 ? 1 : 2 + random.Below(25);
        }
        const QString parentIds = parent.isEmpty() ? QString() : QStringLiteral("(SELECT Id FROM ") + Quoted(parent) + QStringLiteral(" ORDER BY Id)");
        QList<qint64> ids;
        if (!parent.isEmpty())
            for (const QVariantList& row : plain.Rows(QStringLiteral("SELECT Id FROM ") + Quoted(parent)))
                ids << row[0].toLongLong();
        plain.Exec(QStringLiteral("BEGIN"));
        for (qint64 r = 0; r < rows; ++r) {
            QStringList columns, values;
            for (const ColumnPlan& c : t.Columns) {
                if (c.Generated || (c.Name == QLatin1String("Id") && t.HasId))
                    continue;
                QVariant value;
                if (c.Name == t.Tag)
                    value = qlonglong(tag++);
                else if (c.Name == QLatin1String("Kraj"))
                    value = ids.isEmpty() || random.Below(5) == 0 ? QVariant() : QVariant(qlonglong(ids[random.Below(ids.size())]));
                else if (c.Name == QLatin1String("Stav"))
                    value = QStringLiteral("hotový");
                else if (c.Name == QLatin1String("Aktivní"))
                    value = qlonglong(random.Below(2));
                else if (c.Type == Kind::Integer)
                    value = random.Below(6) == 0 ? QVariant() : QVariant(qlonglong(random.Below(4)));
                else if (c.Type == Kind::Real)
                    value = random.Below(2) * 0.5 + double(random.Below(100));
                else if (c.Type == Kind::Text)
                    value = rows > 1000 ? QVariant(QStringLiteral("Jméno %1").arg(r)) : QVariant(TextValues()[random.Below(TextValues().size())]);
                if (c.Type == Kind::Text && value.toString().size() > 20)
                    value = value.toString().left(20);
                columns << Quoted(c.Name);
                values << Literal(value);
            }
            plain.Exec(QStringLiteral("INSERT INTO ") + Quoted(t.Name) + QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") + values.join(QStringLiteral(", ")) + u')');
        }
        plain.Exec(QStringLiteral("COMMIT"));
        if (t.HasId && parent.isEmpty())
            parent = t.Name;
        plan.Tables << t;
    }
    return plan;
}

// The preferences file a campaign runs with: another program's values beside Quarnel's.
inline void PlantPreferences(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Jin\xC3\xA1 firma\\Program]\r\n\"Hodnota\"=\"zachovat\"\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Korvi\\dBase]\r\n\"FontSize\"=\"30\"\r\n");
}

// ---------------------------------------------------------------------------------------
// The operations.

struct Tally {
    qint64 Operations = 0, Applied = 0, Refused = 0, Skipped = 0, Differences = 0;
    QMap<QString, qint64> ByKind;       // operations run, by kind
    QMap<QString, qint64> RefusedByKind;
    QStringList Findings;               // one line each: case, step, operation, what differs
};

class cCase {
public:
    cCase(quint64 seed, qint64 number, const QString& work, Tally& tally)
        : m_random(seed ^ (quint64(number) * 0x9E3779B97F4A7C15ull)), m_number(number), m_work(work), m_tally(tally)
    {
        m_path = m_work + QStringLiteral("/case.db");
        m_reference = m_work + QStringLiteral("/reference.db");
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            QFile::remove(m_path + QLatin1String(suffix));
            QFile::remove(m_reference + QLatin1String(suffix));
        }
    }

    void Run(int steps, qint64 rows = -1)
    {
        m_plan = MakeDatabase(m_path, m_random, rows);
        cPlain(m_path).CopyTo(m_reference);
        m_db = DBEngine::Instance().OpenDatabase(m_path);
        for (m_step = 0; m_step < steps; ++m_step)
            Step();
        m_db->Close();
    }

private:
    using Operation = std::function<bool()>; // false: not applicable here, nothing done

    TablePlan* AnyTable()
    {
        return m_plan.Tables.isEmpty() ? nullptr : &m_plan.Tables[int(m_random.Below(m_plan.Tables.size()))];
    }

    void Step()
    {
        struct Choice {
            const char* Name;
            int Weight;
            bool (cCase::*Run)();
        };
        static const Choice choices[] = {
            {"add", 14, &cCase::AddRecord},        {"edit", 18, &cCase::EditRecord},
            {"cancel edit", 4, &cCase::CancelEdit}, {"delete", 10, &cCase::DeleteRecords},
            {"filter", 8, &cCase::Filter},          {"sort", 4, &cCase::ReadColumn},
            {"add field", 5, &cCase::AddField},     {"delete field", 5, &cCase::DeleteField},
            {"rename field", 4, &cCase::RenameField}, {"move field", 4, &cCase::MoveField},
            {"field rules", 4, &cCase::FieldRules}, {"add table", 3, &cCase::AddTable},
            {"delete table", 4, &cCase::DeleteTable}, {"rename table", 3, &cCase::RenameTable},
            {"save as", 4, &cCase::SaveAs},         {"export", 4, &cCase::Export},
            {"preferences", 4, &cCase::Preferences},
        };
        int total = 0;
        for (const Choice& c : choices)
            total += c.Weight;
        for (int attempt = 0; attempt < 8; ++attempt) {
            qint64 pick = m_random.Below(total);
            const Choice* chosen = &choices[0];
            for (const Choice& c : choices) {
                if (pick < c.Weight) {
                    chosen = &c;
                    break;
                }
                pick -= c.Weight;
            }
            m_kind = QLatin1String(chosen->Name);
            m_detail.clear();
            bool ran = false;
            try {
                ran = (this->*chosen->Run)();
            } catch (const std::exception& e) {
                // Only the engine's own errors are refusals a user hears; anything else is a finding.
                Finding(QStringLiteral("not an engine error: ") + QString::fromStdString(e.what()));
                ran = true;
            }
            if (ran) {
                ++m_tally.Operations;
                ++m_tally.ByKind[m_kind];
                return;
            }
        }
        ++m_tally.Skipped;
    }

    void Finding(const QString& what)
    {
        ++m_tally.Differences;
        if (m_tally.Findings.size() < 200)
            m_tally.Findings << QStringLiteral("case %1 step %2 %3 [%4]: %5")
                                    .arg(QString::number(m_number), QString::number(m_step), m_kind, m_detail, what);
    }

    void Refused(const cRuntimeError& e)
    {
        ++m_tally.Refused;
        ++m_tally.RefusedByKind[m_kind + u' ' + QString::number(e.Number())];
        if (e.Number() <= 0 || e.Description().isEmpty())
            Finding(QStringLiteral("a refusal the user cannot be told: ") + QString::number(e.Number()));
    }

    // After an operation that must leave the file as the reference is.
    void CompareWithReference(bool viewRows = true)
    {
        const QStringList differences = Differences(Take(m_reference, viewRows), Take(m_path, viewRows), viewRows);
        if (differences.isEmpty()) {
            ++m_tally.Applied;
            return;
        }
        Finding(differences.join(QLatin1String(" || ")));
        // Each difference found once: the next operation is judged from the file as it is.
        cPlain(m_path).CopyTo(m_reference);
    }

    // After a change of structure: the picture before, changed as asked, against the file;
    // then the reference takes the file's new structure.
    void CompareWithExpected(const Picture& expected)
    {
        const QStringList differences = Differences(expected, Take(m_path, false), false);
        if (!differences.isEmpty())
            Finding(differences.join(QLatin1String(" || ")));
        else
            ++m_tally.Applied;
        m_db->Close();
        cPlain(m_path).CopyTo(m_reference);
        m_db = DBEngine::Instance().OpenDatabase(m_path);
    }

    std::shared_ptr<Recordset> Open(const TablePlan& table)
    {
        return m_db->OpenRecordset(QStringLiteral("Select * From ") + JetBracketName(table.Name));
    }

    // Where the reference keeps the row a recordset shows at its current record: a WHERE
    // on the reference's own identity, or nothing when the row cannot be told apart.
    std::optional<QPair<QString, QVariantList>> Locate(const TablePlan& table, Recordset& rs)
    {
        cPlain reference(m_reference);
        QStringList columns;
        for (const QVariantList& c : reference.Rows(QStringLiteral("SELECT name FROM pragma_table_xinfo(?)"), {table.Name}))
            columns << c[0].toString();
        QStringList conditions;
        QVariantList binds;
        const auto fields = rs.Fields();
        for (int i = 0; i < fields->Count(); ++i) {
            const QString name = fields->Item(i)->Name();
            const auto plan = std::find_if(table.Columns.begin(), table.Columns.end(),
                                           [&](const ColumnPlan& c) { return c.Name == name; });
            if (plan == table.Columns.end() || plan->Type == Kind::Other || plan->Generated)
                continue;
            QVariant value = rs.FieldValue(i);
            if (plan->Type == Kind::Integer && !value.isNull())
                value = value.toLongLong();
            else if (plan->Type == Kind::Real && !value.isNull())
                value = value.toDouble();
            else if (plan->Type == Kind::Text && !value.isNull())
                value = value.toString();
            conditions << Quoted(name) + QStringLiteral(" IS ?");
            binds << value;
        }
        if (conditions.isEmpty())
            return std::nullopt;
        const QString where = conditions.join(QLatin1String(" AND "));
        const QString identity = table.WithoutRowid ? QString() : FreeIdentity(columns);
        if (table.WithoutRowid) {
            const auto key = reference.Rows(QStringLiteral("SELECT \"Kód\" FROM ") + Quoted(table.Name) + QStringLiteral(" WHERE ") + where, binds);
            if (key.size() != 1)
                return std::nullopt;
            return QPair<QString, QVariantList>{QStringLiteral("\"Kód\" = ?"), {key[0][0]}};
        }
        if (identity.isEmpty())
            return std::nullopt;
        const auto rows = reference.Rows(QStringLiteral("SELECT ") + identity + QStringLiteral(" FROM ") + Quoted(table.Name) + QStringLiteral(" WHERE ") + where, binds);
        if (rows.size() != 1)
            return std::nullopt;
        return QPair<QString, QVariantList>{identity + QStringLiteral(" = ?"), {rows[0][0]}};
    }

    // A value as the user types it, and what the reference stores for it.
    QPair<QString, QVariant> Typed(const ColumnPlan& column)
    {
        switch (column.Type) {
        case Kind::Integer: {
            if (m_random.Below(6) == 0)
                return {QString(), QVariant()};
            const qlonglong value = qlonglong(m_random.Below(9)) - 2;
            return {QString::number(value), value};
        }
        case Kind::Real: {
            const qlonglong value = qlonglong(m_random.Below(1000));
            return {QString::number(value), double(value)};
        }
        case Kind::Text: {
            const QString text = TextValues()[int(m_random.Below(TextValues().size()))];
            return {text, text};
        }
        case Kind::Other: break;
        }
        return {QString(), QVariant()};
    }

    QList<const ColumnPlan*> Typable(const TablePlan& table, Recordset& rs) const
    {
        // A new value of the row's own key is a new row to the oracle: not typed into.
        const auto keys = cPlain(m_reference).Rows(QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE pk > 0"), {table.Name});
        QList<const ColumnPlan*> out;
        for (const ColumnPlan& c : table.Columns) {
            if (c.Type != Kind::Other && !c.Generated && c.Name != table.Tag
                && std::none_of(keys.begin(), keys.end(), [&](const QVariantList& k) { return k[0].toString() == c.Name; })
                && rs.Fields()->IndexOf(c.Name) >= 0)
                out << &c;
        }
        return out;
    }

    bool AddRecord()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        m_detail = table->Name;
        try {
            auto rs = Open(*table);
            rs->AddNew();
            QStringList columns;
            QVariantList values;
            const auto tagIndex = rs->Fields()->IndexOf(table->Tag);
            if (tagIndex >= 0) {
                const qlonglong tag = 100000 + m_step * 10 + qlonglong(m_number % 10);
                rs->SetFieldValue(int(tagIndex), QString::number(tag));
                columns << Quoted(table->Tag);
                values << tag;
            }
            for (const ColumnPlan* c : Typable(*table, *rs)) {
                if (m_random.Below(3) == 0)
                    continue;
                const auto [typed, stored] = Typed(*c);
                // As the record editor sends it: an empty box of a number is Null.
                rs->SetFieldValue(int(rs->Fields()->IndexOf(c->Name)), c->Type != Kind::Text && typed.isEmpty() ? QVariant() : QVariant(typed));
                columns << Quoted(c->Name);
                values << stored;
                m_detail += u' ' + c->Name + u'=' + typed;
            }
            rs->Update();
            QStringList marks(values.size(), QStringLiteral("?"));
            const QString error = cPlain(m_reference).Run(
                QStringLiteral("INSERT INTO ") + Quoted(table->Name)
                    + (columns.isEmpty() ? QStringLiteral(" DEFAULT VALUES")
                                         : QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                                               + marks.join(QStringLiteral(", ")) + u')'),
                values);
            if (!error.isEmpty())
                Finding(QStringLiteral("the engine stored a record SQLite refuses: ") + error);
        } catch (const cRuntimeError& e) {
            Refused(e);
        }
        CompareWithReference();
        return true;
    }

    bool EditRecord(bool cancel)
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        m_detail = table->Name;
        std::shared_ptr<Recordset> rs;
        try {
            rs = Open(*table);
            if (rs->RecordCount() == 0)
                return false;
            rs->setAbsolutePosition(qint32(m_random.Below(rs->RecordCount())));
        } catch (const cRuntimeError& e) {
            Refused(e);
            CompareWithReference();
            return true;
        }
        const auto where = Locate(*table, *rs);
        const auto typable = Typable(*table, *rs);
        if (!where || typable.isEmpty())
            return false;
        try {
            rs->Edit();
            QStringList sets;
            QVariantList values;
            for (int n = 0; n < 1 + int(m_random.Below(2)); ++n) {
                const ColumnPlan* c = typable[int(m_random.Below(typable.size()))];
                const auto [typed, stored] = Typed(*c);
                rs->SetFieldValue(int(rs->Fields()->IndexOf(c->Name)), c->Type != Kind::Text && typed.isEmpty() ? QVariant() : QVariant(typed));
                sets << Quoted(c->Name) + QStringLiteral(" = ?");
                values << stored;
                m_detail += u' ' + c->Name + u'=' + typed;
            }
            if (cancel) {
                rs->CancelUpdate();
            } else {
                rs->Update();
                const QString error = cPlain(m_reference).Run(QStringLiteral("UPDATE ") + Quoted(table->Name) + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "))
                                                                 + QStringLiteral(" WHERE ") + where->first, values + where->second);
                if (!error.isEmpty())
                    Finding(QStringLiteral("the engine stored a change SQLite refuses: ") + error);
            }
        } catch (const cRuntimeError& e) {
            Refused(e);
        }
        CompareWithReference();
        return true;
    }
    bool EditRecord() { return EditRecord(false); }
    bool CancelEdit() { return EditRecord(true); }

    bool DeleteRecords()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        m_detail = table->Name;
        std::shared_ptr<Recordset> rs;
        QVariantList bookmarks;
        QList<QPair<QString, QVariantList>> places;
        try {
            rs = Open(*table);
            const qint64 count = rs->RecordCount();
            if (count == 0)
                return false;
            const int several = m_random.Below(4) == 0 ? 2 + int(m_random.Below(3)) : 1;
            QList<qint64> positions;
            for (int n = 0; n < several && n < count; ++n) {
                const qint64 p = m_random.Below(count);
                if (!positions.contains(p))
                    positions << p;
            }
            for (const qint64 p : positions) {
                rs->setAbsolutePosition(qint32(p));
                const auto where = Locate(*table, *rs);
                if (!where)
                    return false;
                places << *where;
                bookmarks << rs->Bookmark();
            }
        } catch (const cRuntimeError& e) {
            Refused(e);
            CompareWithReference();
            return true;
        }
        m_detail += QStringLiteral(" %1 record(s)").arg(bookmarks.size());
        // As the window deletes: one by one by bookmark, stopping at the first refusal.
        cPlain reference(m_reference);
        reference.Exec(QStringLiteral("PRAGMA foreign_keys=ON"));
        for (qsizetype i = 0; i < bookmarks.size(); ++i) {
            try {
                rs->setBookmark(bookmarks[i]);
                rs->Delete();
            } catch (const cRuntimeError& e) {
                Refused(e);
                break;
            }
            const QString error = reference.Run(QStringLiteral("DELETE FROM ") + Quoted(table->Name) + QStringLiteral(" WHERE ") + places[i].first, places[i].second);
            if (!error.isEmpty())
                Finding(QStringLiteral("the engine deleted a record SQLite refuses to: ") + error);
        }
        CompareWithReference();
        return true;
    }

    bool Filter()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        m_detail = table->Name;
        QList<const ColumnPlan*> columns;
        for (const ColumnPlan& c : table->Columns)
            if ((c.Type == Kind::Integer || c.Type == Kind::Text) && !c.Generated)
                columns << &c;
        if (columns.isEmpty())
            return false;
        const ColumnPlan& column = *columns[int(m_random.Below(columns.size()))];
        cPlain reference(m_reference);
        const auto values = reference.Rows(QStringLiteral("SELECT ") + Quoted(column.Name) + QStringLiteral(" FROM ") + Quoted(table->Name));
        if (values.isEmpty())
            return false;
        const QVariant value = values[int(m_random.Below(values.size()))][0];
        if (value.isNull())
            return false;
        const QString typed = value.toString();
        // Jet's wildcards in a typed text are a pattern, not the value: not this check's business.
        if (typed.isEmpty() || typed.contains(QRegularExpression(QStringLiteral("[*?#\\[]"))) || typed.trimmed() != typed)
            return false;
        qint64 expected = 0;
        for (const QVariantList& row : values) {
            if (column.Type == Kind::Integer ? !row[0].isNull() && row[0].toLongLong() == value.toLongLong()
                                              : row[0].typeId() == QMetaType::QString && row[0].toString().compare(typed, Qt::CaseInsensitive) == 0)
                ++expected;
        }
        m_detail += u' ' + column.Name + u'=' + typed;
        try {
            auto rs = Open(*table);
            const int type = rs->Fields()->Item(column.Name)->Type();
            const QString query = FilteredQuery(QStringLiteral("Select * From ") + JetBracketName(table->Name),
                                                JetFilterTerm(column.Name, type, typed));
            auto filtered = m_db->OpenRecordset(query);
            if (filtered->RecordCount() != expected)
                Finding(QStringLiteral("the filter found %1 records, %2 hold the value").arg(filtered->RecordCount()).arg(expected));
        } catch (const cRuntimeError& e) {
            Refused(e);
        }
        CompareWithReference();
        return true;
    }

    bool ReadColumn()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        m_detail = table->Name;
        try {
            auto rs = Open(*table);
            const int field = int(m_random.Below(rs->Fields()->Count()));
            ColumnValues values;
            cWorkControl control;
            rs->ReadColumn(field, values, control);
        } catch (const cRuntimeError& e) {
            Refused(e);
        }
        CompareWithReference();
        return true;
    }

    // Long work as the window runs it: on a worker, with Escape now and then.
    bool LongWork(const std::function<bool(cWorkControl&)>& work, bool* stopped)
    {
        const int escape = int(m_random.Below(6)); // 0: at once, 1: soon, else never
        cWorkControl control([db = m_db] { db->Interrupt(); });
        if (escape == 0)
            control.RequestStop();
        bool result = false;
        std::exception_ptr failure;
        std::thread worker([&] {
            try {
                result = work(control);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        if (escape == 1) {
            std::this_thread::sleep_for(std::chrono::microseconds(m_random.Below(3000)));
            control.RequestStop();
        }
        worker.join();
        if (failure)
            std::rethrow_exception(failure);
        *stopped = !result;
        return result;
    }

    // A change of structure through the table definitions, as the structure editor makes it.
    bool Structure(const QString& table, const std::function<void(cWorkControl*)>& change,
                   const std::function<void(Picture&)>& expect)
    {
        Picture expected = Take(m_path, false);
        expected.Problems.clear();
        bool stopped = false;
        try {
            // As the structure editor: a change that came back is made, Escape or not.
            LongWork([&](cWorkControl& control) {
                change(&control);
                return true;
            }, &stopped);
            if (!stopped)
                expect(expected);
        } catch (const cRuntimeError& e) {
            // Stopped or refused: nothing changed either way.
            m_detail += QStringLiteral(" (error %1)").arg(e.Number());
            if (e.Number() != 3059)
                Refused(e);
        }
        Q_UNUSED(table);
        CompareWithExpected(expected);
        SyncPlan();
        return true;
    }

    // The plan follows the file's structure after a change.
    void SyncPlan()
    {
        cPlain plain(m_path);
        for (TablePlan& t : m_plan.Tables) {
            QList<ColumnPlan> columns;
            for (const QVariantList& c : plain.Rows(QStringLiteral("SELECT name, type, hidden FROM pragma_table_xinfo(?)"), {t.Name})) {
                const QString name = c[0].toString(), type = c[1].toString().toUpper();
                const auto old = std::find_if(t.Columns.begin(), t.Columns.end(), [&](const ColumnPlan& p) { return p.Name == name; });
                if (old != t.Columns.end()) {
                    columns << *old;
                    continue;
                }
                ColumnPlan added{name, type, Kind::Other, c[2].toInt() >= 2};
                if (type.contains(QLatin1String("INT")))
                    added.Type = Kind::Integer;
                else if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("TEXT")))
                    added.Type = Kind::Text;
                columns << added;
            }
            t.Columns = columns;
        }
    }

    std::shared_ptr<TableDef> Definition(const QString& name)
    {
        auto tables = m_db->TableDefs();
        tables->Refresh();
        return tables->Item(name);
    }

    static void InsertColumn(TablePicture& t, const QString& name, int position)
    {
        t.Columns.insert(std::clamp<int>(position, 0, int(t.Columns.size())), name);
        QStringList rows;
        for (const QString& row : t.Rows) {
            QStringList cells = row.split(u'|');
            cells << name + QStringLiteral("=null");
            std::sort(cells.begin(), cells.end(), [](const QString& a, const QString& b) {
                return a.section(u'=', 0, 0) < b.section(u'=', 0, 0);
            });
            rows << cells.join(u'|');
        }
        rows.sort();
        t.Rows = rows;
    }

    static void ChangeColumn(TablePicture& t, const QString& name, const QString& renamed)
    {
        t.Columns.removeAll(name);
        QStringList rows;
        for (const QString& row : t.Rows) {
            QStringList cells;
            for (const QString& cell : row.split(u'|')) {
                if (cell.section(u'=', 0, 0) != name)
                    cells << cell;
                else if (!renamed.isEmpty())
                    cells << renamed + u'=' + cell.section(u'=', 1);
            }
            std::sort(cells.begin(), cells.end(), [](const QString& a, const QString& b) {
                return a.section(u'=', 0, 0) < b.section(u'=', 0, 0);
            });
            rows << cells.join(u'|');
        }
        rows.sort();
        t.Rows = rows;
    }

    QString NewName(const QStringList& taken)
    {
        static const char* const names[] = {"rowid", "oid", "_rowid_", "Nové pole", "p%2", "x]y", "it's", "Číslo 2",
                                            "select", "ctl\x01" "pole"};
        for (int attempt = 0; attempt < 10; ++attempt) {
            const QString name = QString::fromUtf8(names[m_random.Below(10)]);
            if (!taken.contains(name, Qt::CaseInsensitive))
                return name;
        }
        return QStringLiteral("Pole %1").arg(m_step);
    }

    bool AddField()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        const Picture before = Take(m_path, false);
        if (!before.Tables.contains(table->Name))
            return false;
        const TablePicture& t = before.Tables[table->Name];
        const QString name = NewName(t.Columns);
        const int position = int(m_random.Below(t.Columns.size() + 1));
        const bool text = m_random.Below(2) == 0;
        m_detail = table->Name + u' ' + name + QStringLiteral(" at ") + QString::number(position);
        return Structure(table->Name, [&](cWorkControl* control) {
            auto definition = Definition(table->Name);
            auto field = definition->CreateField(name, text ? JetType::Text : JetType::Long, text ? 50 : 0);
            field->setOrdinalPosition(position);
            definition->Fields()->Append(field, control);
        }, [&](Picture& expected) {
            // A column added before an identity's shadow moves the identity's name too.
            TablePicture& changed = expected.Tables[table->Name];
            InsertColumn(changed, name, position);
            Rekey(changed, before.Tables[table->Name]);
        });
    }

    // Where a column took the name the picture used for the identity, the identity is
    // read under the next free name: the values stay the same.
    static void Rekey(TablePicture& changed, const TablePicture& before)
    {
        if (before.WithoutRowid || FreeIdentity(before.Columns) == FreeIdentity(changed.Columns))
            return;
        if (FreeIdentity(changed.Columns).isEmpty()) {
            // The identity can no longer be read: compare without it.
            QStringList rows;
            for (const QString& row : changed.Rows) {
                QStringList cells = row.split(u'|');
                cells.removeIf([](const QString& c) { return c.startsWith(QLatin1String("#identity=")); });
                rows << cells.join(u'|');
            }
            rows.sort();
            changed.Rows = rows;
        }
    }

    bool DeleteField()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        const Picture before = Take(m_path, false);
        if (!before.Tables.contains(table->Name) || before.Tables[table->Name].Columns.size() < 2)
            return false;
        const QStringList& columns = before.Tables[table->Name].Columns;
        const QString name = columns[int(m_random.Below(columns.size()))];
        m_detail = table->Name + u' ' + name;
        return Structure(table->Name, [&](cWorkControl* control) {
            Definition(table->Name)->Fields()->Delete(name, control);
        }, [&](Picture& expected) { ChangeColumn(expected.Tables[table->Name], name, QString()); });
    }

    bool RenameField()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        const Picture before = Take(m_path, false);
        if (!before.Tables.contains(table->Name))
            return false;
        const QStringList& columns = before.Tables[table->Name].Columns;
        const QString name = columns[int(m_random.Below(columns.size()))];
        const QString renamed = NewName(columns);
        m_detail = table->Name + u' ' + name + QStringLiteral(" -> ") + renamed;
        if (FreeIdentity(columns) != FreeIdentity(QStringList(columns).replaceInStrings(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(name) + QStringLiteral("$")), renamed)))
            return false; // the picture's identity would change its name: not comparable
        return Structure(table->Name, [&](cWorkControl*) {
            Definition(table->Name)->Fields()->Item(name)->setName(renamed);
        }, [&](Picture& expected) {
            TablePicture& changed = expected.Tables[table->Name];
            const int at = int(changed.Columns.indexOf(name));
            ChangeColumn(changed, name, renamed);
            changed.Columns.insert(at, renamed);
            RenameInIndexes(expected, table->Name);
        });
    }

    static void RenameInIndexes(Picture&, const QString&) {} // indexes are compared by name and table

    bool MoveField()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        const Picture before = Take(m_path, false);
        if (!before.Tables.contains(table->Name) || before.Tables[table->Name].Columns.size() < 2)
            return false;
        const QStringList& columns = before.Tables[table->Name].Columns;
        const QString name = columns[int(m_random.Below(columns.size()))];
        const int position = int(m_random.Below(columns.size()));
        m_detail = table->Name + u' ' + name + QStringLiteral(" to ") + QString::number(position);
        return Structure(table->Name, [&](cWorkControl* control) {
            auto field = Definition(table->Name)->Fields()->Item(name);
            field->Alter(field->Schema(), position, control);
        }, [&](Picture& expected) {
            QStringList& order = expected.Tables[table->Name].Columns;
            order.removeAll(name);
            order.insert(std::clamp<int>(position, 0, int(order.size())), name);
        });
    }

    bool FieldRules()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        QList<const ColumnPlan*> texts;
        for (const ColumnPlan& c : table->Columns)
            if (c.Type == Kind::Text)
                texts << &c;
        if (texts.isEmpty())
            return false;
        const QString name = texts[int(m_random.Below(texts.size()))]->Name;
        const int rule = int(m_random.Below(3));
        m_detail = table->Name + u' ' + name + QStringLiteral(" rule %1").arg(rule);
        return Structure(table->Name, [&](cWorkControl* control) {
            auto field = Definition(table->Name)->Fields()->Item(name);
            FieldSchema changed = field->Schema();
            if (rule == 0)
                changed.Required = !changed.Required;
            else if (rule == 1)
                changed.AllowZeroLength = !changed.AllowZeroLength;
            else
                changed.Size = changed.Size == 10 ? 100 : 10;
            field->Alter(changed, -1, control);
        }, [](Picture&) {});
    }

    bool AddTable()
    {
        QStringList taken;
        for (const TablePlan& t : m_plan.Tables)
            taken << t.Name;
        QString name;
        for (const QString& candidate : TableNames())
            if (!taken.contains(candidate, Qt::CaseInsensitive)) {
                name = candidate;
                break;
            }
        if (name.isEmpty())
            return false;
        m_detail = name;
        const bool added = Structure(name, [&](cWorkControl* control) {
            auto definition = m_db->CreateTableDef(name);
            definition->Fields()->Append(definition->CreateField(QStringLiteral("Jméno"), JetType::Text, 50));
            m_db->TableDefs()->Append(definition, control);
        }, [&](Picture& expected) {
            TablePicture t;
            t.Columns << QStringLiteral("Jméno");
            expected.Tables.insert(name, t);
        });
        if (Take(m_path, false).Tables.contains(name)) {
            TablePlan plan;
            plan.Name = name;
            plan.Tag = QStringLiteral("Jméno");
            plan.Columns << ColumnPlan{QStringLiteral("Jméno"), QStringLiteral("TEXT"), Kind::Text, false};
            m_plan.Tables << plan;
        }
        return added;
    }

    bool DeleteTable()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        const QString name = table->Name;
        m_detail = name;
        Structure(name, [&](cWorkControl* control) { m_db->TableDefs()->Delete(name, control); }, [&](Picture& expected) {
            expected.Tables.remove(name);
            // SQLite forgets a dropped table's AUTOINCREMENT counter with it.
            if (expected.Tables.contains(QStringLiteral("sqlite_sequence")))
                expected.Tables[QStringLiteral("sqlite_sequence")].Rows.removeIf([&](const QString& row) {
                    return row.startsWith(QStringLiteral("name=") + Rendered(name) + u'|');
                });
            expected.Indexes.removeIf([&](const QString& i) { return i.endsWith(QStringLiteral(" on ") + name); });
            expected.Triggers.removeIf([&](const QString& i) { return i.endsWith(QStringLiteral(" on ") + name); });
        });
        if (!Take(m_path, false).Tables.contains(name))
            m_plan.Tables.removeIf([&](const TablePlan& t) { return t.Name == name; });
        return true;
    }

    bool RenameTable()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        QStringList taken;
        for (const TablePlan& t : m_plan.Tables)
            taken << t.Name;
        const QString name = table->Name;
        QString renamed;
        for (const QString& candidate : TableNames())
            if (!taken.contains(candidate, Qt::CaseInsensitive) && m_random.Below(2) == 0) {
                renamed = candidate;
                break;
            }
        if (renamed.isEmpty())
            return false;
        m_detail = name + QStringLiteral(" -> ") + renamed;
        Structure(name, [&](cWorkControl*) { Definition(name)->setName(renamed); }, [&](Picture& expected) {
            expected.Tables.insert(renamed, expected.Tables.take(name));
            for (QString& i : expected.Indexes)
                if (i.endsWith(QStringLiteral(" on ") + name))
                    i = i.left(i.size() - name.size()) + renamed;
            for (QString& i : expected.Triggers)
                if (i.endsWith(QStringLiteral(" on ") + name))
                    i = i.left(i.size() - name.size()) + renamed;
            expected.Indexes.sort();
            expected.Triggers.sort();
        });
        if (Take(m_path, false).Tables.contains(renamed))
            for (TablePlan& t : m_plan.Tables)
                if (t.Name == name)
                    t.Name = renamed;
        return true;
    }

    bool SaveAs()
    {
        const QString target = m_work + QStringLiteral("/copy.db");
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(target + QLatin1String(suffix));
        if (m_random.Below(3) == 0) {
            // What another program left beside the target.
            QFile stale(target + (m_random.Below(2) ? QStringLiteral("-wal") : QStringLiteral("-journal")));
            if (stale.open(QIODevice::WriteOnly))
                stale.write(QByteArray(4096, char(0x37)));
        }
        m_detail = QStringLiteral("copy");
        bool stopped = false;
        // As the window saves a database file: closed first, opened again afterwards.
        m_db->Close();
        try {
            LongWork([&](cWorkControl& control) { return CopyDatabaseFile(m_path, target, control); }, &stopped);
        } catch (const cRuntimeError& e) {
            Refused(e);
            stopped = true;
        }
        m_db = DBEngine::Instance().OpenDatabase(m_path);
        if (!stopped) {
            const QStringList differences = Differences(Take(m_path), Take(target));
            if (!differences.isEmpty())
                Finding(QStringLiteral("the copy differs: ") + differences.join(QLatin1String(" || ")));
        } else if (QFileInfo::exists(target) && QFileInfo(target).size() > 0) {
            Finding(QStringLiteral("a stopped copy left a file"));
        }
        CompareWithReference();
        return true;
    }

    bool Export()
    {
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        m_detail = table->Name;
        const QString target = m_work + QStringLiteral("/export.txt");
        QFile::remove(target);
        try {
            auto rs = Open(*table);
            ExportSource source;
            QStringList shown;
            // Some columns hidden, as a user hides them.
            for (int i = 0; i < rs->Fields()->Count(); ++i) {
                if (m_random.Below(4) == 0 && i > 0)
                    continue;
                source.Fields.push_back(i);
                shown << rs->Fields()->Item(i)->Name();
                source.Formats << QString();
            }
            for (qint64 p = 0; p < rs->RecordCount(); ++p)
                source.Positions.push_back(p);
            bool stopped = false;
            LongWork([&](cWorkControl& control) { return ExportRecords(target, *rs, source, control); }, &stopped);
            if (!stopped)
                CheckExport(target, shown, source);
        } catch (const cRuntimeError& e) {
            Refused(e);
        }
        CompareWithReference();
        return true;
    }

    void CheckExport(const QString& path, const QStringList& shown, const ExportSource& source)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            Finding(QStringLiteral("no export file"));
            return;
        }
        // Records, split by ";" outside quotes; a quoted value may hold line breaks.
        QList<QStringList> lines{{}};
        QString cell;
        bool quoted = false;
        const QString text = QString::fromUtf8(file.readAll());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                    cell += c, ++i;
                else if (c == u'"')
                    quoted = false;
                else
                    cell += c;
            } else if (c == u'"') {
                quoted = true;
            } else if (c == u';') {
                lines.back() << cell;
                cell.clear();
            } else if (c == u'\n') {
                lines.append(QStringList());
            } else if (c != u'\r') {
                cell += c;
            }
        }
        if (lines.back().isEmpty())
            lines.removeLast();
        if (lines.isEmpty() || lines[0] != shown) {
            Finding(QStringLiteral("the export's header is not the shown columns: ") + (lines.isEmpty() ? QString() : lines[0].join(u';')));
            return;
        }
        if (lines.size() != qsizetype(source.Positions.size()) + 2) {
            Finding(QStringLiteral("the export has %1 lines for %2 records").arg(lines.size()).arg(source.Positions.size()));
            return;
        }
        for (qsizetype i = 2; i < lines.size(); ++i)
            if (lines[i].size() != shown.size()) {
                Finding(QStringLiteral("an exported line has %1 values for %2 names").arg(lines[i].size()).arg(shown.size()));
                return;
            }
    }

    bool Preferences()
    {
        // A name from the database, as the window stores the table shown and the actions.
        TablePlan* table = AnyTable();
        if (!table)
            return false;
        const ColumnPlan& column = table->Columns[int(m_random.Below(table->Columns.size()))];
        m_detail = table->Name + u' ' + column.Name;
        SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("SelectedTable"), table->Name);
        cAction action;
        action.setField(column.Name);
        action.setCaption(QStringLiteral("Otevřít ") + column.Name);
        action.setAction(QStringLiteral("xdg-open|%1|"));
        cActions::Save(1, action);
        if (GetRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("SelectedTable"), QString()).toString() != table->Name)
            Finding(QStringLiteral("the table's name did not come back from the preferences"));
        if (GetRegSetting(QStringLiteral("Software\\Jiná firma\\Program"), QString(), QStringLiteral("Hodnota"), QString()).toString()
                != QLatin1String("zachovat")
            || GetRegSetting(kProgramKey, QString(), QStringLiteral("FontSize"), QString()).toString() != QLatin1String("30"))
            Finding(QStringLiteral("the preferences file lost other values"));
        const QString hive = QString::fromLocal8Bit(qgetenv("QUARNEL_REGISTRY"));
        QDir folder(QFileInfo(hive).absolutePath());
        const QStringList aside = folder.entryList({QFileInfo(hive).fileName() + QStringLiteral(".bad-*")});
        if (!aside.isEmpty()) {
            Finding(QStringLiteral("the preferences file was moved aside"));
            // Each loss found once: the next operation starts from a whole file again.
            for (const QString& file : aside)
                folder.remove(file);
            PlantPreferences(hive);
        }
        if (m_random.Below(2) == 0)
            DeleteRegKey(HKEY_CURRENT_USER, JoinKeyPath(kProgramKey, cActions::SectionOf(1)));
        CompareWithReference();
        return true;
    }

    cRandom m_random;
    qint64 m_number;
    QString m_work, m_path, m_reference;
    Tally& m_tally;
    DatabasePlan m_plan;
    std::shared_ptr<Database> m_db;
    int m_step = 0;
    QString m_kind, m_detail;
};

} // namespace operations

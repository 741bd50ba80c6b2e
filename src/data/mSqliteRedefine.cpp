#include "mSqliteRedefine.h"

#include "cRuntimeError.h"
#include "cSqliteStatement.h"
#include "mJetErrors.h"
#include "mNames.h"
#include "mSqliteRebuild.h"
#include "mStringTable.h"

#include <QList>

#include <optional>

namespace {

const QString kScratchTable = QStringLiteral("QSysRedefine");
const QString kSavepoint = QStringLiteral("quarnel_redefine");
// A default no stored value holds in practice: a row that reads it has no value of its own.
const QString kAbsent = QStringLiteral("X'00517561726E656C0A6E69630A00FF'");

// What SQLite itself understood of a column: the names, types and rules its rows are
// stored and read by.
struct ColumnFacts {
    QString Name, Type, Default, Collation;
    qint64 NotNull = 0, Key = 0, Hidden = 0;
};

QList<ColumnFacts> ColumnsOf(sqlite3* db, const QString& table)
{
    QList<ColumnFacts> columns;
    cSqliteStatement list(db, QStringLiteral("SELECT name, type, dflt_value, \"notnull\", pk, hidden "
                                             "FROM pragma_table_xinfo(?)"));
    list.Bind(1, table);
    while (list.Step()) {
        ColumnFacts column{list.Text(0), list.Text(1), list.IsNull(2) ? QString() : list.Text(2), QString(),
                           list.Int(3), list.Int(4), list.Int(5)};
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(db, "main", table.toUtf8().constData(), column.Name.toUtf8().constData(),
                                          nullptr, &collation, nullptr, nullptr, nullptr) == SQLITE_OK && collation)
            column.Collation = QString::fromUtf8(collation);
        columns << column;
    }
    return columns;
}

QString TableKind(sqlite3* db, const QString& table)
{
    cSqliteStatement kind(db, QStringLiteral("SELECT type, wr, strict FROM pragma_table_list WHERE schema = 'main' AND name = ?"));
    kind.Bind(1, table);
    return kind.Step() ? QStringLiteral("%1 %2 %3").arg(kind.Text(0), kind.Text(1), kind.Text(2)) : QString();
}

// The constraints a rewrite must leave as they are: all but NOT NULL, NULL and DEFAULT.
QStringList KeptConstraints(const SqliteColumnText& column)
{
    using Kind = SqliteColumnText::Kind;
    QStringList kept;
    for (const SqliteColumnText::Constraint& constraint : column.Constraints) {
        if (constraint.What != Kind::NotNull && constraint.What != Kind::Null && constraint.What != Kind::Default)
            kept << constraint.Text;
    }
    return kept;
}

// The columns whose DEFAULT the new text changes, when nothing but what a rewrite may
// change differs between the texts; nothing otherwise.
std::optional<QStringList> RewritableChanges(const SqliteTableText& old, const SqliteTableText& text)
{
    if (old.Columns.size() != text.Columns.size() || old.Constraints != text.Constraints || old.Options != text.Options)
        return std::nullopt;
    QStringList defaults;
    for (qsizetype i = 0; i < old.Columns.size(); ++i) {
        if (old.Columns[i] == text.Columns[i])
            continue;
        const auto before = SplitColumnDefinition(old.Columns[i]);
        const auto after = SplitColumnDefinition(text.Columns[i]);
        if (!before || !after || before->NameText != after->NameText || KeptConstraints(*before) != KeptConstraints(*after)
            || before->Has(SqliteColumnText::Kind::Generated))
            return std::nullopt;
        auto defaultOf = [](const SqliteColumnText& column) {
            for (const SqliteColumnText::Constraint& constraint : column.Constraints) {
                if (constraint.What == SqliteColumnText::Kind::Default)
                    return constraint.Text;
            }
            return QString();
        };
        if (defaultOf(*before) != defaultOf(*after))
            defaults << after->Name;
    }
    return defaults;
}

// Every row reads the same under the scratch table's definition as under the table's:
// the same columns in the same places, of the same affinity and collation, the same key
// and kind of table. A key's declared type is part of how its rows are stored (INTEGER
// PRIMARY KEY is the row's identity), and a STRICT table's is checked on every row.
bool SameStorage(sqlite3* db, const QString& table)
{
    const QList<ColumnFacts> now = ColumnsOf(db, table);
    const QList<ColumnFacts> then = ColumnsOf(db, kScratchTable);
    const QString kind = TableKind(db, table);
    if (now.size() != then.size() || kind.isEmpty() || TableKind(db, kScratchTable) != kind)
        return false;
    const bool strict = kind.endsWith(QLatin1String(" 1"));
    for (qsizetype i = 0; i < now.size(); ++i) {
        const ColumnFacts& a = now[i];
        const ColumnFacts& b = then[i];
        if (a.Name != b.Name || a.Key != b.Key || a.Hidden != b.Hidden
            || a.Collation.compare(b.Collation, Qt::CaseInsensitive) != 0)
            return false;
        if (a.Type != b.Type && (a.Key != 0 || strict || AffinityOf(a.Type) != AffinityOf(b.Type)))
            return false;
    }
    return true;
}

// The one statement defensive mode exists to refuse, allowed on this connection alone
// and for it alone: the mode is back as it was however the statement ends.
void WriteDefinition(sqlite3* db, const QString& table, const QString& sql)
{
    struct Lifted {
        sqlite3* Db;
        int Defensive = 1;
        explicit Lifted(sqlite3* db) : Db(db)
        {
            sqlite3_db_config(Db, SQLITE_DBCONFIG_DEFENSIVE, -1, &Defensive);
            sqlite3_db_config(Db, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
            sqlite3_db_config(Db, SQLITE_DBCONFIG_WRITABLE_SCHEMA, 1, nullptr);
        }
        ~Lifted()
        {
            sqlite3_db_config(Db, SQLITE_DBCONFIG_WRITABLE_SCHEMA, 0, nullptr);
            sqlite3_db_config(Db, SQLITE_DBCONFIG_DEFENSIVE, Defensive, nullptr);
        }
        Lifted(const Lifted&) = delete;
        Lifted& operator=(const Lifted&) = delete;
    };
    int written = 0;
    {
        Lifted lifted(db);
        cSqliteStatement write(db, QStringLiteral("UPDATE sqlite_schema SET sql = ? WHERE type = 'table' AND name = ?"));
        write.Bind(1, sql);
        write.Bind(2, table);
        write.Run();
        written = sqlite3_changes(db);
    }
    // The connection reads the schema anew from the file, which moves through no other
    // statement; this is allowed in defensive mode.
    ExecSql(db, QStringLiteral("PRAGMA writable_schema = RESET"));
    if (written != 1)
        throw cRuntimeError(JetError::InvalidOperation, FillPlaceholders(LoadString(10780), {table}),
                            QStringLiteral("DAO.Field"));
}

// Rows stored before a column was added hold no value for it: they read its default,
// so a new default would change them. Under a default no row holds, they show.
bool RowsLackColumns(sqlite3* db, const QString& table, const SqliteTableText& text, const QStringList& columns)
{
    SqliteTableText probe = text;
    QStringList conditions;
    for (QString& definition : probe.Columns) {
        auto column = SplitColumnDefinition(definition);
        if (!column)
            return true; // taken for rows without the value: the table is copied
        if (!columns.contains(column->Name))
            continue;
        column->Constraints.removeIf(
            [](const SqliteColumnText::Constraint& c) { return c.What == SqliteColumnText::Kind::Default; });
        column->Constraints.append({SqliteColumnText::Kind::Default, QLatin1String("DEFAULT ") + kAbsent});
        definition = column->Definition();
        conditions << QStringLiteral("+%1 IS %2").arg(QuoteName(column->Name), kAbsent);
    }
    WriteDefinition(db, table, probe.Create(QuoteName(table)));
    // An index on the column holds the value the row read when the index was made.
    cSqliteStatement find(db, QStringLiteral("SELECT 1 FROM %1 NOT INDEXED WHERE %2 LIMIT 1")
                                  .arg(QuoteName(table), conditions.join(QLatin1String(" OR "))));
    return find.Step();
}

// SQLite's own check of the table's rows and indexes against its definition.
void CheckTable(sqlite3* db, const QString& table)
{
    cSqliteStatement check(db, QStringLiteral("PRAGMA quick_check(%1)").arg(QuoteName(table)));
    QStringList problems;
    while (check.Step())
        problems << check.Text(0);
    if (problems != QStringList{QStringLiteral("ok")})
        throw cRuntimeError(JetError::InvalidOperation, LoadString(10950).arg(table, problems.value(0)),
                            QStringLiteral("DAO.Field"));
}

// The schema is read anew under every statement of the connection: one still reading
// would be left with the one it was prepared against. A table of the scratch table's
// name is someone's own.
bool MayRedefine(sqlite3* db)
{
    for (sqlite3_stmt* statement = sqlite3_next_stmt(db, nullptr); statement; statement = sqlite3_next_stmt(db, statement)) {
        if (sqlite3_stmt_busy(statement))
            return false;
    }
    cSqliteStatement find(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE name = ? COLLATE NOCASE"));
    find.Bind(1, kScratchTable);
    return !find.Step();
}

bool Redefine(sqlite3* db, const QString& table, const SqliteTableText& text, const QStringList& defaults)
{
    // SQLite reads the new text as a table of its own first: a text it would not take
    // never reaches the table's definition. Dropping it moves the schema version on, so
    // that every other connection reads the schema anew.
    ExecSql(db, text.Create(QuoteName(kScratchTable)));
    const bool same = SameStorage(db, table);
    ExecSql(db, QStringLiteral("DROP TABLE %1").arg(QuoteName(kScratchTable)));
    if (!same || (!defaults.isEmpty() && RowsLackColumns(db, table, text, defaults)))
        return false;
    WriteDefinition(db, table, text.Create(QuoteName(table)));
    CheckTable(db, table);
    return true;
}

} // namespace

bool RedefineSqliteTable(sqlite3* db, const QString& table, const SqliteTableText& text, cStructureProgress& progress)
{
    const auto defaults = RewritableChanges(SqliteTableTextOf(db, table), text);
    if (!defaults || !MayRedefine(db))
        return false;
    progress.Checking();
    ExecSql(db, QStringLiteral("SAVEPOINT %1").arg(kSavepoint));
    // An error leaves the savepoint to the caller's transaction, which is undone whole.
    if (!Redefine(db, table, text, *defaults)) {
        ExecSql(db, QStringLiteral("ROLLBACK TO %1").arg(kSavepoint));
        ExecSql(db, QStringLiteral("RELEASE %1").arg(kSavepoint));
        ExecSql(db, QStringLiteral("PRAGMA writable_schema = RESET"));
        return false;
    }
    ExecSql(db, QStringLiteral("RELEASE %1").arg(kSavepoint));
    progress.Checked();
    return true;
}

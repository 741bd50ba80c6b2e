#include "mSqliteRebuild.h"

#include "cRuntimeError.h"
#include "cSqliteStatement.h"
#include "cWorkControl.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mNames.h"
#include "mSqliteIdentity.h"
#include "mSqliteQueries.h"
#include "mSqliteRedefine.h"
#include "mStringTable.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

const QString kRebuildBase = QStringLiteral("QSysRebuild");

// The new table's name while the rows are copied: never one the file already holds, so a
// user's own table of that name is never dropped or filled.
QString FreeScratchName(sqlite3* db)
{
    cSqliteStatement find(db, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE name = ? COLLATE NOCASE"));
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? kRebuildBase : kRebuildBase + QString::number(n);
        find.Reset();
        find.Bind(1, name);
        if (!find.Step())
            return name;
    }
}

// Rows of the table, and of the tables that refer to it, whose relations do not hold;
// −1 when they cannot be checked (a relation to a key that is not unique).
qint64 BrokenRelations(sqlite3* db, const QString& table)
{
    QStringList checked{table};
    for (const SqliteRelation& relation : SqliteRelations(db)) {
        if (SameName(relation.Parent, table) && !checked.contains(relation.Child, Qt::CaseInsensitive))
            checked << relation.Child;
    }
    qint64 broken = 0;
    try {
        for (const QString& name : checked) {
            cSqliteStatement check(db, QStringLiteral("PRAGMA foreign_key_check(%1)").arg(QuoteName(name)));
            while (check.Step())
                ++broken;
        }
    } catch (const cRuntimeError&) {
        return -1;
    }
    return broken;
}

bool IsKeyColumn(sqlite3* db, const QString& table, const QString& column)
{
    cSqliteStatement key(db, QStringLiteral("SELECT pk FROM pragma_table_info(?) WHERE name = ?"));
    key.Bind(1, table);
    key.Bind(2, column);
    return key.Step() && key.Int(0) > 0;
}

// A condition on the field after a change of its type that finds the values the new type
// could not take as they were: SQLite would keep them in the column as they are, which
// the engine would then read as something else.
QString ConversionLoss(const FieldSchema& field)
{
    const QString column = QuoteName(field.Name);
    // Only an integer equals its own cast to one: a fraction, a text or a blob does not.
    // Cheaper than typeof(), as it is evaluated for every row copied.
    auto integer = [&](qint64 low, qint64 high) {
        return QStringLiteral("NOT (%1 = CAST(%1 AS INTEGER) AND %1 BETWEEN %2 AND %3)")
            .arg(column, QString::number(low), QString::number(high));
    };
    switch (field.Type) {
    case JetType::Boolean: return integer(-1, 1);
    case JetType::Byte: return integer(0, 255);
    case JetType::Integer: return integer(-32768, 32767);
    case JetType::Long: return integer(-2147483648LL, 2147483647LL);
    case JetType::Currency:
    case JetType::Single:
    case JetType::Double: return QStringLiteral("typeof(%1) IN ('text', 'blob')").arg(column);
    case JetType::Date:
        return QStringLiteral("typeof(%1) NOT IN ('text', 'null') OR %1 NOT GLOB "
                              "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]*'")
            .arg(column);
    default: return QString();
    }
}

// The table's indexes and triggers, made again from their own texts once it stands.
QStringList Dependents(sqlite3* db, const QString& table)
{
    QStringList dependents;
    cSqliteStatement list(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name = ? AND type IN "
                                             "('index', 'trigger') AND sql IS NOT NULL ORDER BY rowid"));
    list.Bind(1, table);
    while (list.Step())
        dependents << list.Text(0);
    return dependents;
}

// The table's AUTOINCREMENT counter, when it has one.
std::optional<qint64> Sequence(sqlite3* db, const QString& table)
{
    std::optional<qint64> sequence;
    if (cSqliteStatement(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_sequence'")).Step()) {
        cSqliteStatement counter(db, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"));
        counter.Bind(1, table);
        if (counter.Step())
            sequence = counter.Int(0);
    }
    return sequence;
}

void KeepSequence(sqlite3* db, const QString& table, qint64 sequence)
{
    cSqliteStatement keep(db, QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?"));
    keep.Bind(1, sequence);
    keep.Bind(2, table);
    keep.Run();
    if (sqlite3_changes(db) == 0) {
        cSqliteStatement add(db, QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"));
        add.Bind(1, table);
        add.Bind(2, sequence);
        add.Run();
    }
}

// The columns the copy fills: every stored one but the added, with the rows' identity.
QString CopiedColumns(sqlite3* db, const QString& table, const SqliteTableText& text, const QString& added)
{
    QStringList targets;
    QStringList columns;
    for (const QString& definition : text.Columns) {
        const auto column = SplitColumnDefinition(definition);
        columns << column->Name;
        if (!column->Has(SqliteColumnText::Kind::Generated) && !SameName(column->Name, added))
            targets << QuoteName(column->Name);
    }
    // Rows keep their identity under a name free in both tables: one the new table gives
    // a column would take the old identities as that column's values. An INTEGER PRIMARY
    // KEY carries the identity as a value of its own.
    QString identity;
    if (!text.WithoutRowid) {
        identity = SqliteRowIdentity(db, table, columns);
        if (identity.isEmpty())
            throw cRuntimeError(JetError::InvalidOperation, FillPlaceholders(LoadString(10797), {table}),
                                QStringLiteral("DAO.Field"));
        if (targets.contains(identity))
            identity.clear();
    }
    return ((identity.isEmpty() ? QStringList() : QStringList{identity}) + targets).join(QLatin1String(", "));
}

void CopyRows(sqlite3* db, const QString& table, const QString& scratch, const QString& copied, cStructureProgress& progress)
{
    progress.Copying(QStringLiteral("SELECT count(*) FROM %1").arg(QuoteName(table)));
    cSqliteStatement copy(db, QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3")
                                  .arg(QuoteName(scratch), copied, QuoteName(table)));
    progress.Watch(copy.get());
    try {
        copy.Run();
    } catch (...) {
        progress.Watch(nullptr);
        throw;
    }
    progress.Copied();
}

// Wiping every page of the old table would cost more than copying it, and would hide
// nothing: its values all stand in the new one.
void DropQuickly(sqlite3* db, const QString& table)
{
    cSqliteStatement mode(db, QStringLiteral("PRAGMA secure_delete"));
    const qint64 secure = mode.Step() ? mode.Int(0) : 0;
    if (secure == 1)
        ExecSql(db, QStringLiteral("PRAGMA secure_delete = FAST"));
    try {
        ExecSql(db, QStringLiteral("DROP TABLE %1").arg(QuoteName(table)));
    } catch (...) {
        sqlite3_exec(db, QStringLiteral("PRAGMA secure_delete = %1").arg(secure).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
        throw;
    }
    ExecSql(db, QStringLiteral("PRAGMA secure_delete = %1").arg(secure));
}

} // namespace

cStructureProgress::cStructureProgress(sqlite3* db, cWorkControl* control) : m_db(db), m_control(control)
{
    if (m_control)
        sqlite3_progress_handler(m_db, 1000, &cStructureProgress::OnProgress, this);
}

cStructureProgress::~cStructureProgress()
{
    if (m_control)
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
}

void cStructureProgress::Copying(const QString& countSql)
{
    if (!m_control)
        return;
    // A table too small for the handler to be called at all stops here.
    if (m_control->StopRequested())
        RaiseJetError(JetError::Cancelled);
    cSqliteStatement count(m_db, countSql);
    m_total = count.Step() ? count.Int(0) : -1;
    m_control->SetTotal(m_total);
    m_control->SetDone(0);
}

void cStructureProgress::Copied()
{
    m_copy = nullptr;
    if (m_control && m_total >= 0)
        m_control->SetDone(m_total);
}

void cStructureProgress::Checking()
{
    if (!m_control)
        return;
    if (m_control->StopRequested())
        RaiseJetError(JetError::Cancelled);
    m_control->SetTotal(-1);
}

void cStructureProgress::Checked()
{
    if (!m_control)
        return;
    m_control->SetTotal(1);
    m_control->SetDone(1);
}

int cStructureProgress::OnProgress(void* context)
{
    auto* self = static_cast<cStructureProgress*>(context);
    if (self->m_control->StopRequested())
        return 1;
    if (self->m_copy)
        self->m_control->SetDone(sqlite3_stmt_status(self->m_copy, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0));
    return 0;
}

QList<SqliteRelation> SqliteRelations(sqlite3* db)
{
    QStringList tables;
    {
        cSqliteStatement list(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
        while (list.Step())
            tables << list.Text(0);
    }
    QList<SqliteRelation> relations;
    for (const QString& child : tables) {
        cSqliteStatement keys(db, QStringLiteral("PRAGMA foreign_key_list(%1)").arg(QuoteName(child)));
        while (keys.Step()) {
            SqliteRelation relation{child, keys.Text(3), keys.Text(2), keys.Text(4)};
            if (keys.IsNull(4)) { // the parent's primary key
                cSqliteStatement parent(db, QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE pk = ? + 1"));
                parent.Bind(1, relation.Parent);
                parent.Bind(2, keys.Int(1));
                if (parent.Step())
                    relation.ParentField = parent.Text(0);
            }
            relations << relation;
        }
    }
    return relations;
}

SqliteTableText SqliteTableTextOf(sqlite3* db, const QString& table)
{
    cSqliteStatement read(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"));
    read.Bind(1, table);
    std::optional<SqliteTableText> text;
    if (read.Step())
        text = SplitCreateTable(read.Text(0));
    // SQLite's own view of the columns: names, and which are generated (never copied).
    QList<QPair<QString, bool>> columns;
    {
        cSqliteStatement list(db, QStringLiteral("SELECT name, hidden IN (2, 3) FROM pragma_table_xinfo(?)"));
        list.Bind(1, table);
        while (list.Step())
            columns.append({list.Text(0), list.Int(1) != 0});
    }
    bool fits = text && text->Columns.size() == columns.size();
    for (qsizetype i = 0; fits && i < columns.size(); ++i) {
        const auto column = SplitColumnDefinition(text->Columns[i]);
        fits = column && SameName(column->Name, columns[i].first)
               && column->Has(SqliteColumnText::Kind::Generated) == columns[i].second;
    }
    if (!fits)
        throw cRuntimeError(JetError::InvalidOperation, FillPlaceholders(LoadString(10780), {table}),
                            QStringLiteral("DAO.Field"));
    return *text;
}

void RefuseRowsWhere(sqlite3* db, const QString& table, const QString& condition, int error, const QString& field)
{
    cSqliteStatement find(db, QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1").arg(QuoteName(table), condition));
    if (find.Step())
        RaiseJetError(error, {field});
}

// SQLite's way to change what ALTER TABLE cannot: a new table from the edited CREATE
// TABLE text, every row copied with its identity, the old table dropped, the new one
// renamed, its indexes and triggers made again from their own texts, the AUTOINCREMENT
// counter kept. Values the new type could not take are searched for after the copy.
void RebuildSqliteTable(sqlite3* db, const QString& table, const SqliteTableText& text, const QString& added,
                        const QString& lossy, cStructureProgress& progress)
{
    const QStringList dependents = Dependents(db, table);
    const std::optional<qint64> sequence = Sequence(db, table);
    const QString copied = CopiedColumns(db, table, text, added);
    const qint64 brokenBefore = BrokenRelations(db, table);

    ExecSql(db, QStringLiteral("PRAGMA legacy_alter_table = ON"));
    try {
        const QString scratch = FreeScratchName(db);
        ExecSql(db, text.Create(QuoteName(scratch)));
        CopyRows(db, table, scratch, copied, progress);
        if (!lossy.isEmpty()) {
            cSqliteStatement find(db, QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1").arg(QuoteName(scratch), lossy));
            if (find.Step())
                RaiseJetError(JetError::Conversion);
        }
        DropQuickly(db, table);
        ExecSql(db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(QuoteName(scratch), QuoteName(table)));
        for (const QString& sql : dependents)
            ExecSql(db, sql);
        if (sequence)
            KeepSequence(db, table, *sequence);
        ExecSql(db, QStringLiteral("PRAGMA legacy_alter_table = OFF"));
    } catch (...) {
        sqlite3_exec(db, "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr);
        throw;
    }
    if (brokenBefore >= 0 && BrokenRelations(db, table) > brokenBefore)
        RaiseJetError(JetError::RelatedRecords);
}

void ChangeSqliteColumn(sqlite3* db, const SqliteColumnChange& change, cStructureProgress& progress)
{
    const FieldSchema& changed = change.Changed;
    const bool moved = change.Position >= 0;
    SqliteTableText text = SqliteTableTextOf(db, change.Table);
    auto definition = SplitColumnDefinition(text.Columns[change.Index]);
    using Kind = SqliteColumnText::Kind;
    auto drop = [&](std::initializer_list<Kind> kinds) {
        definition->Constraints.removeIf([&](const SqliteColumnText::Constraint& c) {
            return std::find(kinds.begin(), kinds.end(), c.What) != kinds.end();
        });
    };
    const QString oldType = definition->Type;
    if (change.Retyped)
        definition->Type = change.Type;
    if (change.RequiredChanged) {
        drop({Kind::NotNull, Kind::Null});
        if (changed.Required)
            definition->Constraints.append({Kind::NotNull, QStringLiteral("NOT NULL")});
    }
    if (change.DefaultChanged) {
        drop({Kind::Default});
        if (!change.Default.isEmpty())
            definition->Constraints.append({Kind::Default, QLatin1String("DEFAULT ") + change.Default});
    }
    // A new type of the same affinity leaves every stored value as it is: values it could
    // not take are found before a single row is copied, and the rows may need no copy.
    const QString lossy = change.Retyped ? ConversionLoss(changed) : QString();
    const bool valuesKept = !moved && !text.Strict
                            && (!change.Retyped || (AffinityOf(oldType) == AffinityOf(definition->Type)
                                                    && !IsKeyColumn(db, change.Table, changed.Name)));
    text.Columns[change.Index] = definition->Definition();
    if (moved)
        text.Columns.move(change.Index, change.Position);
    if (valuesKept && !lossy.isEmpty())
        RefuseRowsWhere(db, change.Table, lossy, JetError::Conversion, changed.Name);
    if (!moved && RedefineSqliteTable(db, change.Table, text, progress))
        return;
    RebuildSqliteTable(db, change.Table, text, QString(), lossy, progress);
}

// The table is rebuilt, for its indexes must be built again in the new order.
void MendLegacyCollation(sqlite3* db, const TableSchema& table, cStructureProgress& progress)
{
    if (std::none_of(table.Fields.begin(), table.Fields.end(),
                     [](const FieldSchema& f) { return SameName(f.Collation, kSqliteLegacyCollation); }))
        return;
    std::optional<SqliteTableText> text;
    try {
        text = SqliteTableTextOf(db, table.Name);
    } catch (const cRuntimeError&) {
        return; // a text that cannot be taken apart is left as it is
    }
    static const QRegularExpression legacy(QStringLiteral("\\bCOLLATE\\s*[\"'`\\[]?QUARNEL[\"'`\\]]?\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (QString& definition : text->Columns) {
        auto column = SplitColumnDefinition(definition);
        if (!column)
            return;
        for (SqliteColumnText::Constraint& constraint : column->Constraints) {
            if (constraint.What == SqliteColumnText::Kind::Collate)
                constraint.Text.replace(legacy, QLatin1String("COLLATE ") + kSqlitePortableCollation);
        }
        definition = column->Definition();
    }
    RebuildSqliteTable(db, table.Name, *text, QString(), QString(), progress);
}

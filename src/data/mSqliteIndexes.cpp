#include "mSqliteIndexes.h"

#include "cRuntimeError.h"
#include "cSqliteStatement.h"
#include "cWorkControl.h"
#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"
#include "mNames.h"
#include "mSqliteIdentity.h"
#include "mSqliteTypes.h"

#include <QHash>
#include <QList>

#include <algorithm>

namespace {

struct OwnIndex {
    QString Name;
    bool Unique = false;
    QString Origin; // c: CREATE INDEX, u: UNIQUE of the definition, pk: the primary key
    QString Collation;
};

// The indexes whose one key is the column, without a condition: only those find every row.
QList<OwnIndex> IndexesOf(sqlite3* db, const QString& table, const QString& field)
{
    QList<OwnIndex> found;
    cSqliteStatement list(db, QStringLiteral("SELECT name, \"unique\", origin, partial FROM pragma_index_list(?)"));
    list.Bind(1, table);
    while (list.Step()) {
        if (list.Int(3) != 0)
            continue;
        OwnIndex index{list.Text(0), list.Int(1) != 0, list.Text(2), QString()};
        cSqliteStatement keys(db, QStringLiteral("SELECT cid, name, coll FROM pragma_index_xinfo(?) WHERE key = 1"));
        keys.Bind(1, index.Name);
        int count = 0;
        bool column = false;
        while (keys.Step()) {
            ++count;
            column = keys.Int(0) >= 0 && SameName(keys.Text(1), field);
            index.Collation = keys.Text(2);
        }
        if (count == 1 && column)
            found << index;
    }
    return found;
}

bool IsOwnPrimaryKey(sqlite3* db, const QString& table, const QString& field)
{
    cSqliteStatement keys(db, QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE pk > 0"));
    keys.Bind(1, table);
    QStringList names;
    while (keys.Step())
        names << keys.Text(0);
    return names.size() == 1 && SameName(names.front(), field);
}

// "<table>_<field>_idx", numbered while another object has the name: SQLite keeps one set
// of names for tables, views, indexes and triggers.
QString FreeIndexName(sqlite3* db, const QString& table, const QString& field)
{
    QString base = table + u'_' + field + QLatin1String("_idx");
    for (QChar& c : base) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'_';
    }
    cSqliteStatement taken(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = ? COLLATE NOCASE"));
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? base : base + u'_' + QString::number(n);
        taken.Reset();
        taken.Bind(1, name);
        if (!taken.Step())
            return name;
    }
}

// SQLite's progress handler over the CREATE INDEX: its virtual machine's steps stand for
// the rows read and sorted (about this many a row), and a stop breaks in between them.
class cIndexProgress {
public:
    static constexpr qint64 kStepsPerRow = 9;

    cIndexProgress(sqlite3* db, cWorkControl* control, sqlite3_stmt* statement, qint64 rows)
        : m_db(db), m_control(control), m_statement(statement), m_total(rows * kStepsPerRow)
    {
        if (!m_control)
            return;
        m_control->SetTotal(m_total);
        m_control->SetDone(0);
        sqlite3_progress_handler(m_db, 1000, &cIndexProgress::OnProgress, this);
    }
    ~cIndexProgress()
    {
        if (m_control)
            sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    }
    cIndexProgress(const cIndexProgress&) = delete;
    cIndexProgress& operator=(const cIndexProgress&) = delete;

private:
    static int OnProgress(void* context)
    {
        auto* self = static_cast<cIndexProgress*>(context);
        if (self->m_control->StopRequested())
            return 1;
        const qint64 steps = sqlite3_stmt_status(self->m_statement, SQLITE_STMTSTATUS_VM_STEP, 0);
        self->m_control->SetDone(std::min(self->m_total, steps));
        return 0;
    }

    sqlite3* m_db;
    cWorkControl* m_control;
    sqlite3_stmt* m_statement;
    qint64 m_total;
};

// The table as SQLite names it; 3265 for none.
QString StoredTable(sqlite3* db, const QString& table)
{
    cSqliteStatement find(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? "
                                             "COLLATE NOCASE"));
    find.Bind(1, table);
    if (!find.Step())
        RaiseJetError(JetError::ItemNotFound, {table});
    return find.Text(0);
}

} // namespace

FieldIndexing SqliteFieldIndexing(sqlite3* db, const QString& tableName, const QString& field)
{
    const QString table = StoredTable(db, tableName);
    if (IsOwnPrimaryKey(db, table, field))
        return FieldIndexing::PrimaryKey;
    FieldIndexing state = FieldIndexing::None;
    for (const OwnIndex& index : IndexesOf(db, table, field))
        state = std::max(state, index.Unique ? FieldIndexing::Unique : FieldIndexing::Duplicates);
    return state;
}

void SetSqliteFieldIndexing(sqlite3* db, const QString& tableName, const QString& field, FieldIndexing wanted,
                            cWorkControl* control)
{
    const QString table = StoredTable(db, tableName);
    if (wanted != FieldIndexing::None && wanted != FieldIndexing::Duplicates && wanted != FieldIndexing::Unique)
        RaiseJetError(JetError::InvalidOperation);
    if (IsOwnPrimaryKey(db, table, field)) {
        if (wanted == FieldIndexing::Unique)
            return;
        RaiseJetError(JetError::InvalidOperation);
    }
    bool text = false;
    {
        // Finished before DROP INDEX, which a statement still reading would lock out.
        cSqliteStatement column(db, QStringLiteral("SELECT type FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE"));
        column.Bind(1, table);
        column.Bind(2, field);
        if (!column.Step())
            RaiseJetError(JetError::ItemNotFound, {field});
        qint32 size = 0;
        text = JetType::IsText(JetTypeOfSqliteDeclared(column.Text(0), size));
    }
    const bool unique = wanted == FieldIndexing::Unique;
    const QList<OwnIndex> indexes = IndexesOf(db, table, field);
    bool kept = false;
    QList<OwnIndex> going;
    for (const OwnIndex& index : indexes) {
        if (wanted != FieldIndexing::None && index.Unique == unique)
            kept = true;
        else
            going << index;
    }
    for (const OwnIndex& index : going) {
        if (index.Origin != QLatin1String("c"))
            RaiseJetError(JetError::InvalidOperation);
    }
    if (control && control->StopRequested())
        RaiseJetError(JetError::Cancelled);
    if (wanted != FieldIndexing::None && !kept) {
        // The highest row identity stands for the rows at the cost of one look: counting
        // them would read the table once more. A table without one is counted.
        const QString identity = SqliteRowIdentity(db, table);
        cSqliteStatement size(db, identity.isEmpty() ? QStringLiteral("SELECT count(*) FROM %1").arg(QuoteName(table))
                                                     : QStringLiteral("SELECT max(%1) FROM %2").arg(identity, QuoteName(table)));
        const qint64 rows = size.Step() ? size.Int(0) : 0;
        size = cSqliteStatement();
        cSqliteStatement create(db, QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                                        .arg(unique ? QStringLiteral("UNIQUE ") : QString(),
                                             QuoteName(FreeIndexName(db, table, field)), QuoteName(table),
                                             // Jet's texts are one value in any case, whatever
                                             // the column's collation; a filter's LIKE uses it.
                                             QuoteName(field) + (text ? QLatin1String(" COLLATE NOCASE") : QLatin1String(""))));
        cIndexProgress progress(db, control, create.get(), std::max<qint64>(rows, 1));
        create.Run();
    }
    for (const OwnIndex& index : going)
        ExecSql(db, QStringLiteral("DROP INDEX %1").arg(QuoteName(index.Name)));
}

namespace {

// As the LIKE function folds each character.
char32_t JetFold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// Every character that folds to another, under what it folds to.
const QHash<char32_t, QList<char32_t>>& FoldClasses()
{
    static const QHash<char32_t, QList<char32_t>> classes = [] {
        QHash<char32_t, QList<char32_t>> all;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            if (const char32_t folded = JetFold(c); folded != c)
                all[folded] << c;
        }
        return all;
    }();
    return classes;
}

// What the index's collation makes of each character the LIKE takes for c.
QList<char32_t> KeysOf(char32_t c, bool noCase)
{
    const char32_t folded = JetFold(c);
    QList<char32_t> alike = FoldClasses().value(folded);
    if (JetFold(folded) == folded)
        alike << folded;
    QList<char32_t> keys;
    for (char32_t k : alike)
        keys << (noCase && k >= 'A' && k <= 'Z' ? k + 32 : k);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

// The smallest text above every text that begins with prefix; empty for none.
QString Above(QList<char32_t> prefix)
{
    while (!prefix.isEmpty()) {
        char32_t& last = prefix.back();
        if (last < 0x10FFFF) {
            last = last + 1 == 0xD800 ? 0xE000 : last + 1;
            return QString::fromUcs4(prefix.constData(), prefix.size());
        }
        prefix.removeLast();
    }
    return QString();
}

constexpr qsizetype kMaxAlternatives = 32;

// The condition the index answers that every text matching the pattern meets; empty when
// the pattern has wildcards before its end or there is nothing to narrow by.
QString IndexTerm(const QString& column, const QString& pattern, const QString& collation)
{
    QString literal = pattern;
    bool prefix = false;
    while (literal.endsWith(u'*')) {
        literal.chop(1);
        prefix = true;
    }
    static const QString wildcards = QStringLiteral("*?#[");
    if (std::any_of(literal.begin(), literal.end(), [](QChar c) { return wildcards.contains(c) || c == QChar(0xFFFD); }))
        return {};
    if (prefix && literal.isEmpty())
        return {};
    const bool noCase = collation.compare(QLatin1String("NOCASE"), Qt::CaseInsensitive) == 0;
    QList<QList<char32_t>> texts{{}};
    bool cut = false;
    for (char32_t c : literal.toUcs4()) {
        const QList<char32_t> keys = KeysOf(c, noCase);
        if (texts.size() * keys.size() > kMaxAlternatives) {
            cut = true;
            break;
        }
        QList<QList<char32_t>> longer;
        for (const auto& text : texts) {
            for (char32_t k : keys)
                longer << (QList<char32_t>(text) << k);
        }
        texts = longer;
    }
    if (texts.front().isEmpty())
        return {};
    const QString target = u'(' + column + QLatin1String(" COLLATE ") + collation + u')';
    QStringList alternatives;
    if (!prefix && !cut) {
        for (const auto& text : texts)
            alternatives << JetQuoteText(QString::fromUcs4(text.constData(), text.size()));
        return target + QLatin1String(" IN (") + alternatives.join(QLatin1String(", ")) + u')';
    }
    // Parenthesised, the bounds are no texts compared: no other collation is put on them.
    for (const auto& text : texts) {
        QString range = target + QLatin1String(" >= (") + JetQuoteText(QString::fromUcs4(text.constData(), text.size()))
                        + u')';
        if (const QString above = Above(text); !above.isEmpty())
            range += QLatin1String(" AND ") + target + QLatin1String(" < (") + JetQuoteText(above) + u')';
        alternatives << u'(' + range + u')';
    }
    return u'(' + alternatives.join(QLatin1String(" OR ")) + u')';
}

// Texts alone, or nothing: a number or binary value the LIKE reads as text lies outside
// the index's range of texts. Two probes of the index.
bool HoldsOnlyTexts(sqlite3* db, const QString& table, const QString& column, const QString& collation)
{
    const QString target = QuoteName(column) + QLatin1String(" COLLATE ") + collation;
    cSqliteStatement probe(db, QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE %2 < '') "
                                              "OR EXISTS (SELECT 1 FROM %1 WHERE %2 >= x'')")
                                   .arg(QuoteName(table), target));
    return probe.Step() && probe.Int(0) == 0;
}

bool IsPlainName(const JetTokens::Token& t)
{
    using namespace JetTokens;
    return t.kind == Kind::Name || (t.kind == Kind::Word && !StopWords().contains(t.upper));
}

QString WithIndexTerms(sqlite3* db, const QString& jetSql, const QString& sqliteSql)
{
    using namespace JetTokens;
    const JetSelectClauses clauses = AnalyseJetClauses(jetSql);
    if (!clauses.Narrowable || clauses.ConditionStart < 0 || clauses.ConditionHasOr)
        return {};
    const JetSelectShape shape = AnalyseSelect(sqliteSql);
    if (!shape.SingleTable || shape.Table.isEmpty())
        return {};
    {
        // Binary ranges are the order of UTF-8 texts only.
        cSqliteStatement encoding(db, QStringLiteral("PRAGMA encoding"));
        if (!encoding.Step() || encoding.Text(0) != QLatin1String("UTF-8"))
            return {};
    }
    const QString condition = jetSql.mid(clauses.ConditionStart, clauses.ConditionEnd - clauses.ConditionStart);
    std::vector<Token> t;
    try {
        t = Tokenise(condition);
    } catch (const cRuntimeError&) {
        return {};
    }
    // The condition's terms joined by AND at its top level.
    std::vector<std::vector<qsizetype>> terms(1);
    int depth = 0;
    for (qsizetype k = 0; k < qsizetype(t.size()); ++k) {
        if (IsSpace(t[k]))
            continue;
        if (IsOp(t[k], "("))
            ++depth;
        else if (IsOp(t[k], ")"))
            --depth;
        if (depth == 0 && IsWord(t[k], "BETWEEN"))
            return {}; // its AND is no conjunction
        if (depth == 0 && IsWord(t[k], "AND"))
            terms.emplace_back();
        else
            terms.back().push_back(k);
    }
    QStringList added;
    for (const auto& term : terms) {
        const qsizetype n = qsizetype(term.size());
        if (n != 3 && n != 5)
            continue;
        const Token& name = t[term[n - 3]];
        if (!IsWord(t[term[n - 2]], "LIKE") || t[term[n - 1]].kind != Kind::Text || !IsPlainName(name))
            continue;
        if (n == 5) {
            const Token& qualifier = t[term[0]];
            if (!IsOp(t[term[1]], ".") || !IsPlainName(qualifier)
                || !SameName(qualifier.text, shape.Alias.isEmpty() ? shape.Table : shape.Alias))
                continue;
        }
        const QList<OwnIndex> indexes = IndexesOf(db, shape.Table, name.text);
        const auto usable = std::find_if(indexes.begin(), indexes.end(), [](const OwnIndex& index) {
            return index.Collation.compare(QLatin1String("NOCASE"), Qt::CaseInsensitive) == 0;
        });
        const auto binary = std::find_if(indexes.begin(), indexes.end(), [](const OwnIndex& index) {
            return index.Collation.compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0;
        });
        const QString collation = usable != indexes.end() ? QStringLiteral("NOCASE")
                                  : binary != indexes.end() ? QStringLiteral("BINARY")
                                                            : QString();
        if (collation.isEmpty())
            continue;
        const qsizetype from = t[term[0]].pos;
        const qsizetype to = t[term[n - 2]].pos;
        const QString column = condition.mid(from, to - from).trimmed();
        const QString extra = IndexTerm(column, t[term[n - 1]].text, collation);
        if (extra.isEmpty() || !HoldsOnlyTexts(db, shape.Table, name.text, collation))
            continue;
        added << extra;
    }
    if (added.isEmpty())
        return {};
    const QString rest = jetSql.mid(clauses.ConditionEnd);
    const QString after = rest.isEmpty() || rest.front().isSpace() || rest.front() == u';' ? rest : u' ' + rest;
    return jetSql.left(clauses.ConditionEnd) + QLatin1String(" AND ") + added.join(QLatin1String(" AND ")) + after;
}

} // namespace

QString JetWithIndexTerms(sqlite3* db, const QString& jetSql, const QString& sqliteSql)
{
    // Only ever a help: whatever fails here, the statement runs as written.
    if (!db)
        return {};
    try {
        return WithIndexTerms(db, jetSql, sqliteSql);
    } catch (const cRuntimeError&) {
        return {};
    }
}

#include "mSqliteQueries.h"

#include "cRuntimeError.h"
#include "cSqliteStatement.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"
#include "mNames.h"

#include <vector>

namespace {

QString ViewText(const QString& name, const QString& jet)
{
    return QStringLiteral("CREATE VIEW %1 AS %2").arg(QuoteName(name), PortableTranslation(jet));
}

} // namespace

QList<SqliteStoredQuery> SqliteStoredQueries(sqlite3* db)
{
    QList<SqliteStoredQuery> queries;
    cSqliteStatement read(db, QStringLiteral("SELECT q.Name, q.SQL, m.sql FROM %1 AS q JOIN sqlite_master AS m "
                                             "ON m.type = 'view' AND m.name = q.Name COLLATE NOCASE")
                                  .arg(kSqliteQueriesTable));
    while (read.Step())
        queries.append({read.Text(0), read.Text(1), read.Text(2)});
    return queries;
}

// A stored query's view is for other programs too: no collation only the engine has.
QString PortableTranslation(const QString& jet)
{
    JetSqliteTarget portable;
    portable.Collation = kSqlitePortableCollation;
    return TranslateJetSql(jet, portable);
}

// SQLite has rewritten the views that use a renamed field; the Jet text each was made
// from follows it. A name in the text may be the field or another one spelt alike (a
// field of another table, an alias): SQLite knows which, so every choice among the names
// spelt alike is tried, and a text is written back only when it makes exactly the view
// SQLite now has. Any other text stays as it was.
void FollowRenamedField(sqlite3* db, const QList<SqliteStoredQuery>& before, const QString& from, const QString& to)
{
    constexpr size_t kMostAlike = 8;
    using JetTokens::Kind;
    for (const SqliteStoredQuery& query : before) {
        cSqliteStatement read(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ?"));
        read.Bind(1, query.Name);
        if (!read.Step() || read.Text(0) == query.View)
            continue;
        const QString now = read.Text(0);
        try {
            if (ViewText(query.Name, query.Jet) != query.View)
                continue; // not the view this text makes today
            const auto tokens = JetTokens::Tokenise(query.Jet);
            std::vector<size_t> alike;
            for (size_t i = 0; i < tokens.size(); ++i) {
                if ((tokens[i].kind == Kind::Word || tokens[i].kind == Kind::Name) && SameName(tokens[i].text, from))
                    alike.push_back(i);
            }
            if (alike.empty() || alike.size() > kMostAlike)
                continue;
            for (unsigned choice = 1; choice < (1u << alike.size()); ++choice) {
                QString jet;
                qsizetype copied = 0;
                for (size_t n = 0; n < alike.size(); ++n) {
                    if ((choice & (1u << n)) == 0)
                        continue;
                    const size_t i = alike[n];
                    jet += query.Jet.mid(copied, tokens[i].pos - copied) + JetBracketName(to);
                    copied = i + 1 < tokens.size() ? tokens[i + 1].pos : query.Jet.size();
                }
                jet += query.Jet.mid(copied);
                if (ViewText(query.Name, jet) == now) {
                    cSqliteStatement write(db, QStringLiteral("UPDATE %1 SET SQL = ? WHERE Name = ?").arg(kSqliteQueriesTable));
                    write.Bind(1, jet);
                    write.Bind(2, query.Name);
                    write.Run();
                    break;
                }
            }
        } catch (const cRuntimeError&) {
            // a text this engine cannot read any more stays as it was
        }
    }
}

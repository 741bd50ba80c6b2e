#include "mSqliteIdentity.h"

#include "cRuntimeError.h"
#include "cSqliteStatement.h"

QString SqliteRowIdentity(sqlite3* db, const QString& table, const QStringList& alsoTaken)
{
    QStringList taken = alsoTaken;
    QStringList keys;
    {
        cSqliteStatement columns(db, QStringLiteral("SELECT name, pk FROM pragma_table_xinfo(?)"));
        columns.Bind(1, table);
        while (columns.Step()) {
            taken << columns.Text(0);
            if (columns.Int(1) > 0)
                keys << columns.Text(0);
        }
    }
    const QString from = QLatin1String(" FROM ") + QuoteName(table);
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (taken.contains(QLatin1String(name), Qt::CaseInsensitive))
            continue;
        const QString identity = QuoteName(QLatin1String(name));
        try {
            cSqliteStatement(db, QLatin1String("SELECT ") + identity + from);
        } catch (const cRuntimeError&) {
            return QString(); // a table WITHOUT ROWID has none of the three
        }
        return identity;
    }
    if (keys.size() != 1)
        return QString();
    // A key declared INTEGER PRIMARY KEY is read as the identity itself, not as a value
    // stored beside it; the declaration alone does not tell (PRIMARY KEY DESC is not).
    const QString key = QuoteName(keys.front());
    cSqliteStatement plan(db, QLatin1String("EXPLAIN SELECT ") + key + from + QLatin1String(" NOT INDEXED"));
    bool identity = false;
    while (plan.Step()) {
        const QString operation = plan.Text(1);
        if (operation == QLatin1String("Column"))
            return QString();
        identity = identity || operation == QLatin1String("Rowid");
    }
    return identity ? key : QString();
}

#include "mSqliteRelations.h"

#include "cRuntimeError.h"
#include "cSqliteStatement.h"

#include <QHash>
#include <QMap>

namespace {

struct Declared {
    QString Parent;
    QStringList From, To;
    bool Implicit = false;
};

QStringList PrimaryKeyOf(sqlite3* db, const QString& table)
{
    cSqliteStatement key(db, QStringLiteral("SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk"));
    key.Bind(1, table);
    QStringList fields;
    while (key.Step())
        fields << key.Text(0);
    return fields;
}

class cSqliteRowLookup : public cRowLookup {
public:
    cSqliteRowLookup(std::function<sqlite3*()> open, QString sql) : m_open(std::move(open)), m_sql(std::move(sql))
    {
        m_statement = cSqliteStatement(m_open(), m_sql);
    }

    bool Find(const QVariant& key, QVariant& value) override
    {
        m_open();
        // Reset whatever happens: a statement left in its rows would keep writers out.
        struct Reset {
            cSqliteStatement& Statement;
            ~Reset() { sqlite3_reset(Statement.get()); }
        } reset{m_statement};
        m_statement.Bind(1, key);
        if (!m_statement.Step())
            return false;
        sqlite3_stmt* row = m_statement.get();
        switch (sqlite3_column_type(row, 0)) {
        case SQLITE_NULL: value = QVariant(); break;
        case SQLITE_INTEGER: value = m_statement.Int(0); break;
        case SQLITE_FLOAT: value = sqlite3_column_double(row, 0); break;
        case SQLITE_BLOB:
            value = QByteArray(static_cast<const char*>(sqlite3_column_blob(row, 0)), sqlite3_column_bytes(row, 0));
            break;
        default: value = m_statement.Text(0); break;
        }
        return true;
    }

private:
    std::function<sqlite3*()> m_open;
    QString m_sql;
    cSqliteStatement m_statement;
};

} // namespace

QList<RelationSchema> ReadSqliteRelations(sqlite3* db)
{
    QStringList tables;
    QHash<QString, QString> stored; // case-folded: as the file spells it
    {
        cSqliteStatement list(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"));
        while (list.Step()) {
            tables << list.Text(0);
            stored.insert(tables.back().toCaseFolded(), tables.back());
        }
    }
    QList<RelationSchema> relations;
    for (const QString& child : std::as_const(tables)) {
        QMap<qint64, Declared> declared;
        try {
            cSqliteStatement keys(db, QStringLiteral("SELECT id, \"table\", \"from\", \"to\" FROM "
                                                     "pragma_foreign_key_list(?) ORDER BY id, seq"));
            keys.Bind(1, child);
            while (keys.Step()) {
                Declared& key = declared[keys.Int(0)];
                key.Parent = keys.Text(1);
                key.From << keys.Text(2);
                key.To << keys.Text(3);
                key.Implicit = key.Implicit || keys.IsNull(3);
            }
        } catch (const cRuntimeError&) {
            continue; // a virtual table whose module is not here, say
        }
        for (Declared& key : declared) {
            // SQLite matches the parent's name whatever its case.
            const QString parent = tables.contains(key.Parent) ? key.Parent : stored.value(key.Parent.toCaseFolded());
            if (parent.isEmpty())
                continue;
            if (key.Implicit) {
                try {
                    key.To = PrimaryKeyOf(db, parent);
                } catch (const cRuntimeError&) {
                    continue;
                }
            }
            if (key.To.size() != key.From.size())
                continue;
            relations << RelationSchema{child, key.From, parent, key.To, QString()};
        }
    }
    return relations;
}

std::unique_ptr<cRowLookup> PrepareSqliteLookup(std::function<sqlite3*()> open, const QString& table,
                                                const QString& keyField, const QString& resultField)
{
    return std::make_unique<cSqliteRowLookup>(
        std::move(open), QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? LIMIT 1")
                             .arg(QuoteName(resultField), QuoteName(table), QuoteName(keyField)));
}

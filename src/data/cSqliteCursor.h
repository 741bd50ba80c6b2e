#pragma once

// Record sources over the engine's SQLite files: keyed reading, changes through the row
// identity, a column read whole. Values are made in mSqliteValues; no Jet text read here.

#include "cKeyList.h"
#include "cDatabaseDriver.h"
#include "cSqliteStatement.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class cDistinctRaw;
class cSqliteDriver;

// A record source over SQLite. A query of one table is keyed by the table's row
// identity and can be changed; any other is read-only. Rows are read as they are asked
// for: a walk from the first record to the last reads the query once, in one pass, and a
// jump goes straight to the record through its key.
class cSqliteCursor : public cCursor {
public:
    cSqliteCursor(std::shared_ptr<cSqliteDriver> driver, QString jetSql);
    ~cSqliteCursor() override;

    const QList<FieldSchema>& Fields() const override { return m_fields; }
    bool Updatable() const override;
    QString ReadOnlyReason() const override { return m_readOnlyReason; }
    bool Fetch(qint64 position, QVariantList& row) override;
    qint64 Count() override;
    QVariant Key(qint64 position) override;
    qint64 PositionOf(const QVariant& key) override;
    void Update(qint64 position, const QVariantList& values, const QList<bool>& changed) override;
    qint64 Insert(const QVariantList& values, const QList<bool>& changed) override;
    void Remove(qint64 position) override;
    void Requery() override;
    bool ReadColumn(int field, ColumnValues& values, cWorkControl& control) override;
    void Rest() override;
    std::unique_ptr<cBulkReader> OpenBulkReader(const std::vector<int>& fields) override;

    // A stored value as Fetch gives it for a field of that type.
    static QVariant ValueOfRaw(const RawCell& cell, int type);

private:
    void Open();
    void DescribeFields(cSqliteStatement& probe);
    void ReadRow(const cSqliteStatement& statement, int firstColumn, QVariantList& row) const;
    bool FetchForward(qint64 position, QVariantList& row);
    bool FetchByKey(qint64 position, QVariantList& row);
    void CompleteKeys();
    // The keys of a whole table in identity order, read by ranges; false when they are no
    // whole numbers (keys then untouched).
    bool ReadWholeTableKeys(std::vector<qint64>& keys);
    void Materialise();
    void DropMaterialised();
    void PrepareForChange();
    qint64 PositionOfKey(qint64 key);
    // ReadColumn's two ways; false when stopped. In halves leaves distinct empty when the
    // records moved meanwhile.
    bool ReadColumnInHalves(cSqliteDriver& second, const QString& sql, qint64 count, std::vector<qint32>& ofPosition,
                            cWorkControl& control, std::optional<cDistinctRaw>& distinct);
    bool ReadColumnInOnePass(const QString& sql, qint64 count, cDistinctRaw& distinct, std::vector<qint32>& ofPosition,
                             cWorkControl& control);

    std::shared_ptr<cSqliteDriver> m_driver;
    QString m_jetSql;
    QString m_sql;
    QString m_forwardSql; // what m_forward runs
    QList<FieldSchema> m_fields;
    bool m_updatable = false; // keyed by the table's row identity
    bool m_narrowed = false;  // a top-level WHERE: reading in order may pass over most of the table
    bool m_wholeTable = false; // every record of one table in identity order
    QString m_table;
    QString m_qualifier;
    QString m_keysSql;
    QString m_tableFrom; // a whole table's FROM clause, without the order
    QString m_pointSql; // one record of the table by its row identity
    QString m_identity; // the row identity's name, quoted, in the table
    QString m_readOnlyReason; // why a table's records cannot be changed, when it is the table's own doing

    // Updatable: the row identity of each position, complete once read to the end.
    cKeyList m_keys;
    bool m_complete = false;
    bool m_keysAscend = false; // m_keys is in ascending order (once complete)
    std::unordered_map<qint64, qint64> m_positions; // identity to position, built on demand
    qint64 m_count = 0; // read-only sources, once complete

    cSqliteStatement m_forward; // the query itself, read in order
    qint64 m_forwardNext = -1;  // the position its next row has, −1 when not in use
    cSqliteStatement m_point;   // one record by its key
    QString m_materialised;     // read-only sources copied for jumping about
};

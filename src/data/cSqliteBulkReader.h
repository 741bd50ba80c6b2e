#pragma once
// Export's bulk reading of a SQLite table, on connections of its own; reads only, no widgets.
#include "cDatabaseDriver.h"
#include "cSqliteStatement.h"

#include <memory>
#include <vector>

class cSqliteDriver;

// The records of a table read by its row identity, for export: runs of records that
// follow each other in the keyset are read as one range of keys, others one by one. A
// large table in a file gets a second lane on a connection of its own.
class cSqliteBulkReader : public cBulkReader {
public:
    cSqliteBulkReader(std::shared_ptr<cSqliteDriver> driver, const QString& keyedSql, int fieldCount,
                      const QString& pointSql, std::vector<qint64> keys, bool keysAscend, std::vector<int> fields);
    ~cSqliteBulkReader() override;

    int Lanes() const override { return int(m_lanes.size()); }
    void Read(int lane, const qint64* positions, qint64 count,
              const std::function<void(const RawCell* fields)>& record) override;
    QVariant ValueOf(const RawCell& cell, int type) const override;

private:
    struct Lane {
        std::shared_ptr<cSqliteDriver> Driver;
        cSqliteStatement Range; // the key (column 0) and the fields, for keys ?1 to ?2
        cSqliteStatement Point; // every field of the source, for the key ?1
    };
    void ReadRange(Lane& lane, const qint64* positions, qint64 count,
                   const std::function<void(const RawCell* fields)>& record);
    void ReadPoint(Lane& lane, qint64 position, const std::function<void(const RawCell* fields)>& record);
    qint64 KeyAt(qint64 position) const;

    std::vector<qint64> m_keys;
    bool m_keysAscend;
    std::vector<int> m_fields;
    std::vector<RawCell> m_cells[2];
    std::vector<Lane> m_lanes;
};

#pragma once

// The driver of genuine Access files: the SQLite copy that SQL runs on, filled from what
// cMdbReader reads and shaped by mMdbCatalog and mMdbQueries. No frame of the reader and no
// system table is read here.

#include "cDatabaseDriver.h"
#include "mMdbCatalog.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <atomic>
#include <memory>
#include <optional>

class cSqliteDriver;

// Genuine Access files (Jet 3, Jet 4, ACE), read-only. libmdb reads the file in a helper
// process (quarnel-mdb-reader), so that a damaged file that crashes or hangs it only
// ends that process: the engine then reports 3343. SQL runs on a SQLite copy of the tables
// it names, each copied once, when first named; the copy lives in a temporary file that
// SQLite deletes on close, so a large table costs disk, not memory.
class cMdbDriver : public cDatabaseDriver {
public:
    static constexpr qint32 kSystemObject = qint32(0x80000002u);
    static constexpr qint32 kAttachedTable = 0x40000000;
    static constexpr qint32 kAttachedOdbc = 0x20000000;

    static bool HasSignature(const QByteArray& head);
    // Errors: 3343 for a file the helper cannot read, 3051 when it cannot be started.
    static std::shared_ptr<cMdbDriver> Open(const QString& path, bool readOnly = true);
    // How long the helper may stay silent before the file counts as damaged.
    static void SetHelperTimeout(int milliseconds);
    // How long the catalogue or one table may take in all (1 ms per KiB of file added).
    static void SetHelperDeadline(int milliseconds);
    // What the helper may send for one open file: the floor plus 64 bytes per byte of it.
    // More means a damaged file (3343), and nothing of the table being read is kept.
    static void SetByteBudgetFloor(qint64 bytes);
    static qint64 ByteBudget(qint64 fileSize);
    // The helper program: QUARNEL_MDB_READER, then next to the program, then the build's.
    static QString HelperPath();

    ~cMdbDriver() override;

    QString Name() const override { return m_path; }
    bool ReadOnly() const override { return true; }
    bool KeepsActionQueries() const override { return true; }
    void Close() override;
    void Interrupt() override;

    QList<TableSchema> Tables() override;
    QList<QuerySchema> Queries() override;

    void CreateTable(const TableSchema& table) override;
    void DropTable(const QString& name) override;
    void AddField(const QString& table, const FieldSchema& field, int position, cWorkControl* control) override;
    void DropField(const QString& table, const QString& field, cWorkControl* control) override;
    void AlterField(const QString& table, const QString& field, const FieldSchema& changed, int position,
                    cWorkControl* control) override;
    void CreateQuery(const QuerySchema& query) override;
    void DropQuery(const QString& name) override;
    void AlterQuery(const QString& name, const QuerySchema& changed) override;

    std::unique_ptr<cCursor> OpenCursor(const QString& sql) override;
    // From MSysRelationships, read once; none where the file keeps none or it cannot be read.
    QList<RelationSchema> Relations() override;
    // A prepared statement on the copy, which gets the table first.
    std::unique_ptr<cRowLookup> PrepareLookup(const QString& table, const QString& keyField, const QString& resultField,
                                              int keyType) override;

    // How many tables have been copied so far (a table is copied once).
    int CopiedTables() const { return int(m_copied.size()); }

    using Crosstab = MdbCrosstab;
    // The crosstab as a plain SELECT over the pivot's values as they are now in the copy;
    // empty when no SELECT can spread its value over columns faithfully (no total in it,
    // or First or Last).
    QString CrosstabSelect(const Crosstab& crosstab);

private:
    explicit cMdbDriver(QString path);
    void Load();
    void CopyTable(const cMdbReader::Object& table);
    // Makes ready what the text names; returns the error of the first stored query it
    // names that the copy cannot run (number 0 when there is none).
    QPair<int, QString> CopyWhatIsNamed(const QString& jetSql, int depth);
    cSqliteDriver& Memory();
    void RequireOpen() const;

    QString m_path;
    std::unique_ptr<cMdbReader> m_reader;
    MdbCatalog m_catalog;
    bool m_queriesRead = false;
    std::optional<QList<RelationSchema>> m_relations;
    QHash<QString, Crosstab> m_crosstabs; // by case-folded name
    QSet<QString> m_passThrough; // case-folded names of queries a server is to run
    QHash<QString, QString> m_totalsInWhere; // case-folded name: the conditions, which total
    std::shared_ptr<cSqliteDriver> m_memory;
    std::atomic<cSqliteDriver*> m_interruptible{nullptr}; // m_memory, for another thread

    QSet<QString> m_copied;  // case-folded names of tables and views in the copy
    QHash<QString, QPair<int, QString>> m_broken; // stored queries the copy cannot run, and why
    bool m_closed = false;
};

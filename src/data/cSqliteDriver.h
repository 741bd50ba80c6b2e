#pragma once

// The engine's facade over its own SQLite files: opening, the catalogue and each change of
// structure, handed to the units that do the work. Jet SQL is translated elsewhere.

#include "cDatabaseDriver.h"
#include "cSqliteStatement.h"

#include <QCollator>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

// The engine's own database files: SQLite 3. What the engine needs and SQLite lacks
// (the zero-length rule, the text of stored queries, the database's locale) is kept in
// hidden system tables; the Jet type and size live in the declared column types.
class cSqliteDriver : public cDatabaseDriver, public std::enable_shared_from_this<cSqliteDriver> {
public:
    static constexpr qint32 kSystemObject = qint32(0x80000002u);

    static bool HasSignature(const QByteArray& head);
    static std::shared_ptr<cSqliteDriver> Open(const QString& path, bool readOnly);
    // A new, empty file; the locale text (";LANGID=0x0405;…") decides how text compares.
    static std::shared_ptr<cSqliteDriver> Create(const QString& path, const QString& locale);
    // A private scratch database (a temporary file, deleted on close) that other read-only
    // backends fill through Handle(); changes through the engine fail with 3027.
    static std::shared_ptr<cSqliteDriver> OpenMemory(const QString& locale);
    // Gives the text fields of an old file the collation every SQLite program has, as the
    // first change of a table's structure does; control: see cDatabaseDriver.
    void MendLegacyCollations(cWorkControl* control);
    ~cSqliteDriver() override;

    QString Name() const override { return m_path; }
    bool ReadOnly() const override { return m_readOnly; }
    void Close() override;
    void Interrupt() override
    {
        std::lock_guard lock(m_interruptLock);
        if (sqlite3* db = m_db)
            sqlite3_interrupt(db);
        if (m_companion)
            sqlite3_interrupt(m_companion);
    }
    // A connection reading for this one a while (null when none): an interrupt reaches it too.
    void SetCompanion(sqlite3* companion)
    {
        std::lock_guard lock(m_interruptLock);
        m_companion = companion;
    }

    QList<TableSchema> Tables() override;
    QList<QuerySchema> Queries() override;
    void CreateTable(const TableSchema& table) override;
    void DropTable(const QString& name) override;
    // A change SQLite cannot make in place rebuilds the table from its own definition,
    // keeping every row, value, rule, key, relation, index and trigger, or changes nothing.
    // control, when given, learns the progress and may stop the change (3059).
    void AddField(const QString& table, const FieldSchema& field, int position, cWorkControl* control = nullptr) override;
    void DropField(const QString& table, const QString& field, cWorkControl* control = nullptr) override;
    void AlterField(const QString& table, const QString& field, const FieldSchema& changed, int position,
                    cWorkControl* control = nullptr) override;
    // An index of the field alone, whoever made it; a LIKE of a filter uses one where it
    // can answer exactly (see JetWithIndexTerms).
    FieldIndexing FieldIndex(const QString& table, const QString& field) override;
    void SetFieldIndex(const QString& table, const QString& field, FieldIndexing wanted,
                       cWorkControl* control = nullptr) override;
    void CreateQuery(const QuerySchema& query) override;
    void DropQuery(const QString& name) override;
    void AlterQuery(const QString& name, const QuerySchema& changed) override;
    std::unique_ptr<cCursor> OpenCursor(const QString& sql) override;
    // The file's foreign keys; a table SQLite cannot describe has none.
    QList<RelationSchema> Relations() override;
    // A prepared statement with the key bound; it fails with 3420 once the file is closed.
    std::unique_ptr<cRowLookup> PrepareLookup(const QString& table, const QString& keyField, const QString& resultField,
                                              int keyType) override;
    // A Jet text as the engine runs it here: text compares by the database's locale, and
    // a stored query is read from its own text rather than from its view.
    QString Translate(const QString& jetSql);

    // The open connection; the engine's error 3420 once closed.
    sqlite3* Handle() const;
    void RequireWritable() const;
    // A table (not a view) by name, compared as SQLite compares names.
    std::optional<TableSchema> FindTable(const QString& name);

    // How long the engine's own reads of a file's catalogue may take (opening it, listing
    // its tables and queries): a file can make them endless, with a view where a system
    // table should be, and nobody asked for them to be stopped. Over it: 3343.
    static void SetCatalogueLimit(int milliseconds);

private:
    cSqliteDriver(sqlite3* db, QString path, bool readOnly);
    static int Progress(void* driver);
    template <typename Work> auto ReadingCatalogue(Work work);
    void Prepare();
    void EnsureMetadata();
    bool HasMetadata() const;
    TableSchema ReadTable(const QString& name, qint32 attributes);
    QString ColumnDefinition(const FieldSchema& field) const;
    void CheckNewField(const TableSchema& table, const FieldSchema& field, const QString& replacing) const;
    void SetZeroLengthRule(const QString& table, const FieldSchema& field);
    bool NameTaken(const QString& name);
    template <typename Work> void InTransaction(Work work);
    template <typename Work> void WithoutForeignKeys(Work work);

    QString m_path;
    sqlite3* m_db = nullptr;
    bool m_readOnly = false;
    QCollator m_collator;
    std::atomic<qint64> m_catalogueDeadline{0}; // steady milliseconds; 0 while none runs
    std::atomic<bool> m_catalogueTooLong{false};
    std::mutex m_interruptLock; // Interrupt comes from another thread
    sqlite3* m_companion = nullptr;
};

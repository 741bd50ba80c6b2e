#pragma once
// What every backend offers the DAO objects, and the schemas they pass; no backend's code here.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

// What a backend knows of one field of a table or of a record source.
struct FieldSchema {
    QString Name;
    int Type = 10;
    qint32 Size = 0;
    QString DefaultValue; // as written in the definition, empty for none
    bool Required = false;
    bool AllowZeroLength = true;
    // Where the field comes from, for a record source's fields; empty for a calculated one.
    QString SourceTable;
    QString SourceField;
    // How the backend compares the field's texts; empty for the backend's own default.
    QString Collation;
};

struct IndexSchema {
    QString Name;
    QStringList Fields;
    QList<bool> Descending; // per field
    bool Primary = false;
    bool Unique = false;
};

// How a field is indexed by an index of that field alone. Unknown: the backend does not tell.
enum class FieldIndexing { Unknown, None, Duplicates, Unique, PrimaryKey };

struct TableSchema {
    QString Name;
    qint32 Attributes = 0;
    QString Connect;
    QList<FieldSchema> Fields;
    // Where the backend tells them; creating a table makes them.
    QList<IndexSchema> Indexes;
};

// Fields of a table that refer to a row of another table by its fields, pair by pair in
// the same order. Name is the relation's own, empty where the backend gives none.
struct RelationSchema {
    QString Table;
    QStringList Fields;
    QString ReferredTable;
    QStringList ReferredFields;
    QString Name;
};

struct QuerySchema {
    QString Name;
    QString Sql; // the text as the user wrote it
};

class cWorkControl;

// A stored value as the backend hands it out, before it becomes a field's value; Bytes
// stay valid until the next record is read.
enum class RawKind : quint8 { Null, Integer, Real, Text, Blob };
struct RawCell {
    RawKind Kind = RawKind::Null;
    qint64 Integer = 0;
    double Real = 0;
    const char* Bytes = nullptr; // Text: UTF-8
    int Size = 0;
};

// Reads many records for writing them out (export). Each lane reads on a connection of
// its own, so the lanes can run on threads of their own at once.
class cBulkReader {
public:
    virtual ~cBulkReader() = default;
    virtual int Lanes() const = 0;
    // Reads the records at positions[0, count) in that order on lane; record gets the
    // fields the reader was opened for. A record gone meanwhile is 3167.
    virtual void Read(int lane, const qint64* positions, qint64 count,
                      const std::function<void(const RawCell* fields)>& record) = 0;
    // The value Fetch gives for a raw cell of a field of that type.
    virtual QVariant ValueOf(const RawCell& cell, int type) const = 0;
};

// One field of every record, for work on a whole column (sorting, searching): each
// distinct stored value once, as Fetch gives it, and for each position the index of its
// value, −1 for a record that could not be read.
struct ColumnValues {
    QVariantList Distinct;
    std::vector<qint32> OfPosition;
};

// A record source as a keyset: positions 0 … count − 1, each a record of its own.
class cCursor {
public:
    virtual ~cCursor() = default;

    virtual const QList<FieldSchema>& Fields() const = 0;
    // Changes are possible at all (one table read through its row identity).
    virtual bool Updatable() const = 0;
    // Why a source that could be changed is not, as a sentence to follow the read-only
    // error; empty when there is nothing more to say.
    virtual QString ReadOnlyReason() const { return QString(); }

    // The record at a position; false beyond the last one, with row untouched.
    virtual bool Fetch(qint64 position, QVariantList& row) = 0;
    // All records, which may mean reading to the end.
    virtual qint64 Count() = 0;
    // The record's identity that survives requeries (a bookmark).
    virtual QVariant Key(qint64 position) = 0;
    // The position of a key, or −1.
    virtual qint64 PositionOf(const QVariant& key) = 0;

    // values hold a value for each field; only those marked changed are written.
    virtual void Update(qint64 position, const QVariantList& values, const QList<bool>& changed) = 0;
    // The new record joins the end of the keyset; returns its position.
    virtual qint64 Insert(const QVariantList& values, const QList<bool>& changed) = 0;
    virtual void Remove(qint64 position) = 0;
    virtual void Requery() = 0;

    // Reads field of every record into values; false when control asked it to stop (values
    // are then incomplete). By default record by record through Fetch.
    virtual bool ReadColumn(int field, ColumnValues& values, cWorkControl& control);
    // Nothing is read for a while: a statement left open in the middle of its records
    // would keep other programs from writing to the database meanwhile.
    virtual void Rest() {}
    // A reader of the given fields of many records, where the backend has one; the keyset
    // is read to the end first.
    virtual std::unique_ptr<cBulkReader> OpenBulkReader(const std::vector<int>& fields)
    {
        (void)fields;
        return nullptr;
    }
};

// One field of a table's rows found by another field's value, made ready once for many
// values. Errors are thrown as cRuntimeError.
class cRowLookup {
public:
    virtual ~cRowLookup() = default;
    // The first row whose key field equals key: true, with value its result field (Null
    // for a Null there); false when no row has the key.
    virtual bool Find(const QVariant& key, QVariant& value) = 0;
};

// Values equal as stored share one key; the type is part of it (1 and "1" differ); empty
// for Null.
QString DistinctKey(const QVariant& value);

// One open database of one backend. Errors are thrown as cRuntimeError with the
// engine's numbers.
class cDatabaseDriver {
public:
    virtual ~cDatabaseDriver() = default;

    virtual QString Name() const = 0;
    virtual bool ReadOnly() const = 0;
    virtual void Close() = 0;

    // Every table in definition order, system tables with their attribute bits.
    virtual QList<TableSchema> Tables() = 0;
    virtual QList<QuerySchema> Queries() = 0;
    // Their names alone, where a backend can list them without reading each definition.
    virtual QStringList TableNames();
    virtual QStringList QueryNames();
    // Stored queries may be actions (append, update, …); where they are views they are not.
    virtual bool KeepsActionQueries() const { return false; }

    virtual void CreateTable(const TableSchema& table) = 0;
    virtual void DropTable(const QString& name) = 0;
    // control, when given, hears how far a change that rewrites the table has got, and
    // may stop it: the change then fails with 3059 and nothing has changed.
    virtual void AddField(const QString& table, const FieldSchema& field, int position,
                          cWorkControl* control = nullptr) = 0;
    virtual void DropField(const QString& table, const QString& field, cWorkControl* control = nullptr) = 0;
    // Changes a field in place: name, type, size, rules, default, and its position
    // (0-based, −1 to keep it); every row, index and key is kept.
    virtual void AlterField(const QString& table, const QString& field, const FieldSchema& changed, int position,
                            cWorkControl* control = nullptr) = 0;

    // By default from the indexes Tables() tells; a primary key of the field alone wins.
    virtual FieldIndexing FieldIndex(const QString& table, const QString& field);
    // Makes or drops the field's own index so that it is as wanted (None, Duplicates or
    // Unique); the primary key stays. Rows that a unique index would refuse refuse the
    // change (3022) before anything changes; control: see AddField. By default the
    // backend is read-only here (3027).
    virtual void SetFieldIndex(const QString& table, const QString& field, FieldIndexing wanted,
                               cWorkControl* control = nullptr);

    virtual void CreateQuery(const QuerySchema& query) = 0;
    virtual void DropQuery(const QString& name) = 0;
    virtual void AlterQuery(const QString& name, const QuerySchema& changed) = 0;

    virtual std::unique_ptr<cCursor> OpenCursor(const QString& sql) = 0;

    // The relations between tables the backend keeps; none where it keeps none.
    virtual QList<RelationSchema> Relations() { return {}; }
    // A lookup of table's resultField by its keyField, whose data type is keyType. By
    // default each value opens a record source of its own, with the value as a literal.
    virtual std::unique_ptr<cRowLookup> PrepareLookup(const QString& table, const QString& keyField,
                                                      const QString& resultField, int keyType);

    // Breaks into a call running on another thread, which then fails with 3059; safe to
    // call from any thread, and harmless when nothing runs.
    virtual void Interrupt() {}
};

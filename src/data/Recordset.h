#pragma once
// The records of one SQL text with positions and editing, read through a cursor; no widgets.
#include "TableDef.h"
#include "cDatabaseDriver.h"

#include <QVariant>

#include <memory>

// The records of one SQL text, one of them current. Positions are 0-based; the fields
// are in the SELECT's order.
class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    enum EditMode { dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2 };

    static std::shared_ptr<Recordset> Open(std::shared_ptr<cDatabaseDriver> driver, const QString& sql);

    std::shared_ptr<class Fields> Fields() const { return m_fields; }
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool Updatable() const;
    // Why changes are refused, beyond the read-only error itself; often empty.
    QString ReadOnlyReason() const;
    int EditMode() const { return m_mode; }
    // Every record, whatever has been visited.
    qint64 RecordCount();

    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // −1 with no current record.
    qint32 AbsolutePosition() const;
    void setAbsolutePosition(qint32 position);
    QVariant Bookmark() const;
    void setBookmark(const QVariant& bookmark);

    void AddNew();
    void Edit();
    // Writes the record begun with AddNew or Edit, checking each field's rules first.
    void Update();
    void CancelUpdate();
    void Delete();
    void Requery();
    void Close();

    // One field of every record, for work on a whole column; false when stopped. The
    // current record stays as it was.
    bool ReadColumn(int field, ColumnValues& values, cWorkControl& control);
    // Many records read straight from the backend, or null where it has no such reader.
    std::unique_ptr<cBulkReader> OpenBulkReader(const std::vector<int>& fields);
    // Breaks into a call on this recordset running on another thread (it fails with 3059).
    void Interrupt() const;
    // The reader will read nothing for a while: what keeps other programs from writing goes.
    void Rest();

    QVariant FieldValue(int index) const;
    void SetFieldValue(int index, const QVariant& value);

private:
    Recordset(std::unique_ptr<cCursor> cursor, std::shared_ptr<cDatabaseDriver> owner);
    void AttachFields();
    cCursor& Cursor() const;
    void RequireCurrent() const;
    // Makes the position current when it holds a record.
    bool GoTo(qint64 position);
    void CheckRules() const;

    // The database the cursor reads; a backend's cursor may read a connection of its own
    // that the database owns, so the database is kept open for as long as the cursor.
    std::shared_ptr<cDatabaseDriver> m_owner;
    std::unique_ptr<cCursor> m_cursor;
    std::shared_ptr<class Fields> m_fields;
    qint64 m_position = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_currentDeleted = false;
    QVariantList m_row;
    int m_mode = dbEditNone;
    QVariantList m_buffer;
    QList<bool> m_changed;
};

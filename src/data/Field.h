#pragma once
// A field of a table definition or a record source; its changes go through the driver, no widgets.
#include "cDatabaseDriver.h"

#include <QVariant>

#include <memory>

class Recordset;
struct TableLink;

// A field of a table definition or of a record source. On a table that exists in the
// database every change is made at once; on a record source Value reads and writes the
// current record.
class Field {
public:
    Field() { m_schema.Type = 0; } // made without arguments: the caller sets the type
    explicit Field(FieldSchema schema, qint32 ordinal = 0);

    const QString& Name() const { return m_schema.Name; }
    void setName(const QString& name);
    int Type() const { return m_schema.Type; }
    void setType(int type);
    qint32 Size() const;
    void setSize(qint32 size);
    // The default as text, Null when there is none.
    QVariant DefaultValue() const;
    void setDefaultValue(const QVariant& value);
    bool Required() const { return m_schema.Required; }
    void setRequired(bool required);
    bool AllowZeroLength() const { return m_schema.AllowZeroLength; }
    void setAllowZeroLength(bool allow);
    qint32 OrdinalPosition() const { return m_ordinal; }
    void setOrdinalPosition(qint32 position);
    // Whether a position was given: 0 is the first place, not "wherever".
    bool OrdinalPositionSet() const { return m_ordinalSet; }
    // Several properties and the position (−1 to keep it) at once: a table rewritten once
    // rather than once for each; control: see cDatabaseDriver.
    void Alter(const FieldSchema& changed, qint32 position = -1, cWorkControl* control = nullptr);

    // The field's own index on its table, read from the database each time; Unknown for a
    // field of no table. setIndexing makes or drops it (see cDatabaseDriver::SetFieldIndex).
    FieldIndexing Indexing() const;
    void setIndexing(FieldIndexing wanted, cWorkControl* control = nullptr);

    QVariant Value() const;
    void setValue(const QVariant& value);

    const FieldSchema& Schema() const { return m_schema; }
    void AttachToTable(std::shared_ptr<TableLink> table) { m_table = std::move(table); }
    void AttachToRecordset(std::weak_ptr<Recordset> recordset, int index);

private:
    template <typename Edit> void Change(Edit edit, int position = -1, cWorkControl* control = nullptr);

    FieldSchema m_schema;
    qint32 m_ordinal = 0;
    bool m_ordinalSet = false;
    std::shared_ptr<TableLink> m_table;
    std::weak_ptr<Recordset> m_recordset;
    int m_index = -1;
};

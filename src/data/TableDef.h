#pragma once
// Tables with their fields and indexes as collections; every change goes through the driver, no widgets.
#include "DaoCollection.h"
#include "Field.h"
#include "cDatabaseDriver.h"

#include <memory>

// What a table definition's fields need to change the table: the database and the
// table's name, once the table exists.
struct TableLink {
    std::shared_ptr<cDatabaseDriver> Driver;
    QString Table;
    bool Appended = false;
};

class Fields : public DaoCollection<Field> {
public:
    Fields() = default;
    explicit Fields(std::shared_ptr<TableLink> table) : m_table(std::move(table)) {}

    // On a table that exists the field is added to it at its OrdinalPosition (0-based;
    // at the end when it is not set or past the end). control: see cDatabaseDriver.
    void Append(const std::shared_ptr<Field>& field, cWorkControl* control = nullptr);
    void Delete(const QString& name, cWorkControl* control = nullptr);
    void Refresh();

    void Load(const QList<FieldSchema>& schemas);
    void AddReadOnly(std::shared_ptr<Field> field) { m_items << std::move(field); }

private:
    std::shared_ptr<TableLink> m_table; // none for a record source's fields
};

class TableDef {
public:
    explicit TableDef(const QString& name = QString());
    TableDef(std::shared_ptr<cDatabaseDriver> driver, const TableSchema& schema);

    const QString& Name() const { return m_link->Table; }
    void setName(const QString& name);
    qint32 Attributes() const { return m_attributes; }
    const QString& Connect() const { return m_connect; }
    std::shared_ptr<class Fields> Fields() const { return m_fields; }
    // A new field, not yet part of any table.
    std::shared_ptr<Field> CreateField(const QString& name = QString(), int type = 0, qint32 size = 0) const;

    TableSchema Schema() const;
    const std::shared_ptr<TableLink>& Link() const { return m_link; }

private:
    std::shared_ptr<TableLink> m_link;
    qint32 m_attributes = 0;
    QString m_connect;
    std::shared_ptr<class Fields> m_fields;
};

class TableDefs : public DaoCollection<TableDef> {
public:
    explicit TableDefs(std::shared_ptr<cDatabaseDriver> driver);

    // Creates the table in the database; a table without fields is refused.
    // control: see cDatabaseDriver; the change stands once made, whatever a stop meets later.
    void Append(const std::shared_ptr<TableDef>& table, cWorkControl* control = nullptr);
    void Delete(const QString& name, cWorkControl* control = nullptr);
    void Refresh();

private:
    std::shared_ptr<cDatabaseDriver> m_driver;
};

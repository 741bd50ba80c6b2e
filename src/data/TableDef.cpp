#include "TableDef.h"

#include "cWorkControl.h"

namespace {

// The change stands once the driver returns: a stop asked for while the catalogue is read
// back must neither break into that nor call the change undone.
void Committed(cWorkControl* control)
{
    if (control)
        control->Commit();
}

} // namespace

void Fields::Load(const QList<FieldSchema>& schemas)
{
    m_items.clear();
    for (qsizetype i = 0; i < schemas.size(); ++i) {
        auto field = std::make_shared<Field>(schemas[i], qint32(i));
        if (m_table)
            field->AttachToTable(m_table);
        m_items << field;
    }
}

void Fields::Append(const std::shared_ptr<Field>& field, cWorkControl* control)
{
    if (!m_table)
        RaiseJetError(JetError::InvalidOperation, {}, QStringLiteral("DAO.Fields"));
    if (IndexOf(field->Name()) >= 0)
        RaiseJetError(JetError::DuplicateField, {field->Name()}, QStringLiteral("DAO.Fields"));
    if (m_table->Appended) {
        const qint32 position = field->OrdinalPositionSet() ? field->OrdinalPosition() : -1;
        m_table->Driver->AddField(m_table->Table, field->Schema(), position, control);
        Committed(control);
        field->AttachToTable(m_table);
        Refresh();
        return;
    }
    field->AttachToTable(m_table);
    m_items << field;
}

void Fields::Delete(const QString& name, cWorkControl* control)
{
    const qsizetype index = IndexOf(name);
    if (!m_table || index < 0)
        RaiseJetError(JetError::ItemNotFound, {name}, QStringLiteral("DAO.Fields"));
    if (m_table->Appended) {
        m_table->Driver->DropField(m_table->Table, m_items[index]->Name(), control);
        Committed(control);
        Refresh();
        return;
    }
    m_items.removeAt(index);
}

void Fields::Refresh()
{
    if (!m_table || !m_table->Appended)
        return;
    for (const TableSchema& table : m_table->Driver->Tables()) {
        if (table.Name.compare(m_table->Table, Qt::CaseInsensitive) == 0) {
            Load(table.Fields);
            return;
        }
    }
    m_items.clear();
}

TableDef::TableDef(const QString& name)
    : m_link(std::make_shared<TableLink>()), m_fields(std::make_shared<class Fields>(m_link))
{
    m_link->Table = name;
}

TableDef::TableDef(std::shared_ptr<cDatabaseDriver> driver, const TableSchema& schema)
    : m_link(std::make_shared<TableLink>(TableLink{std::move(driver), schema.Name, true})),
      m_attributes(schema.Attributes), m_connect(schema.Connect), m_fields(std::make_shared<class Fields>(m_link))
{
    m_fields->Load(schema.Fields);
}

void TableDef::setName(const QString& name)
{
    if (m_link->Appended) // renaming a table is not offered
        RaiseJetError(JetError::InvalidOperation, {}, QStringLiteral("DAO.TableDef"));
    m_link->Table = name;
}

std::shared_ptr<Field> TableDef::CreateField(const QString& name, int type, qint32 size) const
{
    FieldSchema schema;
    schema.Name = name;
    schema.Type = type;
    schema.Size = size;
    schema.AllowZeroLength = false;
    return std::make_shared<Field>(schema);
}

TableSchema TableDef::Schema() const
{
    TableSchema schema;
    schema.Name = m_link->Table;
    schema.Attributes = m_attributes;
    schema.Connect = m_connect;
    for (const auto& field : *m_fields)
        schema.Fields << field->Schema();
    return schema;
}

TableDefs::TableDefs(std::shared_ptr<cDatabaseDriver> driver) : m_driver(std::move(driver))
{
    Refresh();
}

void TableDefs::Append(const std::shared_ptr<TableDef>& table, cWorkControl* control)
{
    if (table->Link()->Appended)
        RaiseJetError(JetError::InvalidOperation, {}, QStringLiteral("DAO.TableDefs"));
    TableSchema schema = table->Schema();
    // Fields are laid out by their OrdinalPosition, ties in the order they were appended.
    std::stable_sort(schema.Fields.begin(), schema.Fields.end(), [&](const FieldSchema& a, const FieldSchema& b) {
        return table->Fields()->Item(a.Name)->OrdinalPosition() < table->Fields()->Item(b.Name)->OrdinalPosition();
    });
    m_driver->CreateTable(schema);
    Committed(control);
    table->Link()->Driver = m_driver;
    table->Link()->Appended = true;
    table->Fields()->Refresh();
    Refresh();
}

void TableDefs::Delete(const QString& name, cWorkControl* control)
{
    if (IndexOf(name) < 0)
        RaiseJetError(JetError::ItemNotFound, {name}, QStringLiteral("DAO.TableDefs"));
    m_driver->DropTable(m_items[IndexOf(name)]->Name());
    Committed(control);
    Refresh();
}

void TableDefs::Refresh()
{
    m_items.clear();
    for (const TableSchema& schema : m_driver->Tables())
        m_items << std::make_shared<TableDef>(m_driver, schema);
}

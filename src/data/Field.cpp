#include "Field.h"

#include "Recordset.h"
#include "TableDef.h"
#include "cWorkControl.h"
#include "mConvert.h"
#include "mJetErrors.h"

Field::Field(FieldSchema schema, qint32 ordinal) : m_schema(std::move(schema)), m_ordinal(ordinal) {}

template <typename Edit>
void Field::Change(Edit edit, int position, cWorkControl* control)
{
    FieldSchema changed = m_schema;
    edit(changed);
    if (m_table && m_table->Appended) {
        m_table->Driver->AlterField(m_table->Table, m_schema.Name, changed, position, control);
        if (control) // the change stands: a later stop is too late to undo it
            control->Commit();
    }
    m_schema = changed;
    if (position >= 0)
        m_ordinal = position;
}

void Field::setName(const QString& name)
{
    Change([&](FieldSchema& f) { f.Name = name; });
}

void Field::setType(int type)
{
    Change([&](FieldSchema& f) { f.Type = type; });
}

qint32 Field::Size() const
{
    switch (m_schema.Type) {
    case JetType::Boolean:
    case JetType::Byte: return 1;
    case JetType::Integer: return 2;
    case JetType::Long:
    case JetType::Single: return 4;
    case JetType::Currency:
    case JetType::Double:
    case JetType::Date: return 8;
    case JetType::Guid: return 16;
    default: return m_schema.Size;
    }
}

void Field::setSize(qint32 size)
{
    Change([&](FieldSchema& f) { f.Size = size; });
}

QVariant Field::DefaultValue() const
{
    return m_schema.DefaultValue.isEmpty() ? QVariant() : QVariant(m_schema.DefaultValue);
}

void Field::setDefaultValue(const QVariant& value)
{
    Change([&](FieldSchema& f) { f.DefaultValue = value.isValid() ? value.toString() : QString(); });
}

void Field::setRequired(bool required)
{
    Change([&](FieldSchema& f) { f.Required = required; });
}

void Field::setAllowZeroLength(bool allow)
{
    Change([&](FieldSchema& f) { f.AllowZeroLength = allow; });
}

void Field::setOrdinalPosition(qint32 position)
{
    m_ordinalSet = true;
    if (m_table && m_table->Appended)
        Change([](FieldSchema&) {}, position);
    else
        m_ordinal = position;
}

void Field::Alter(const FieldSchema& changed, qint32 position, cWorkControl* control)
{
    if (m_table && m_table->Appended)
        Change([&](FieldSchema& f) { f = changed; }, position, control);
    else {
        m_schema = changed;
        if (position >= 0)
            m_ordinal = position;
    }
}

void Field::AttachToRecordset(std::weak_ptr<Recordset> recordset, int index)
{
    m_recordset = std::move(recordset);
    m_index = index;
}

QVariant Field::Value() const
{
    const auto recordset = m_recordset.lock();
    if (!recordset)
        RaiseJetError(JetError::ObjectClosed, {}, QStringLiteral("DAO.Field"));
    return recordset->FieldValue(m_index);
}

void Field::setValue(const QVariant& value)
{
    const auto recordset = m_recordset.lock();
    if (!recordset)
        RaiseJetError(JetError::ObjectClosed, {}, QStringLiteral("DAO.Field"));
    recordset->SetFieldValue(m_index, value);
}

FieldIndexing Field::Indexing() const
{
    if (!m_table || !m_table->Appended)
        return FieldIndexing::Unknown;
    return m_table->Driver->FieldIndex(m_table->Table, m_schema.Name);
}

void Field::setIndexing(FieldIndexing wanted, cWorkControl* control)
{
    if (!m_table || !m_table->Appended)
        RaiseJetError(JetError::InvalidOperation);
    m_table->Driver->SetFieldIndex(m_table->Table, m_schema.Name, wanted, control);
}

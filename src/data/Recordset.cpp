#include "Recordset.h"

#include "cCurrency.h"
#include "cRuntimeError.h"
#include "mConvert.h"

#include <QDateTime>

#include <cmath>

namespace {

const QString kSource = QStringLiteral("DAO.Recordset");

[[noreturn]] void RefuseChange(const cCursor& cursor)
{
    const QString reason = cursor.ReadOnlyReason();
    if (reason.isEmpty())
        RaiseJetError(JetError::ReadOnly, {}, kSource);
    throw cRuntimeError(JetError::ReadOnly, JetErrorDescription(JetError::ReadOnly) + u' ' + reason, kSource);
}

[[noreturn]] void ConversionError()
{
    RaiseJetError(JetError::Conversion, {}, QStringLiteral("DAO.Field"));
}

// A value given by the program (not typed by the user) as a value of the field's type.
QVariant Coerce(const QVariant& value, int type)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    if (value.typeId() == QMetaType::QString)
        return JetType::IsText(type) ? value : TextToValue(value.toString(), type);
    if (JetType::IsText(type)) {
        if (value.typeId() == QMetaType::Bool)
            return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
        return value.toString();
    }
    if (value.userType() == qMetaTypeId<cCurrency>()) {
        if (type == JetType::Currency)
            return value;
        return Coerce(value.value<cCurrency>().ToDouble(), type);
    }
    const bool number = value.canConvert<double>() && value.typeId() != QMetaType::QDateTime
                        && value.typeId() != QMetaType::QDate && value.typeId() != QMetaType::QByteArray;
    switch (type) {
    case JetType::Boolean:
        if (value.typeId() == QMetaType::Bool || number)
            return value.toDouble() != 0 || value.toBool();
        break;
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long: {
        if (!number)
            break;
        const double rounded = std::nearbyint(value.toDouble()); // the engine rounds half to even
        const double low = type == JetType::Byte ? 0 : type == JetType::Integer ? -32768 : -2147483648.0;
        const double high = type == JetType::Byte ? 255 : type == JetType::Integer ? 32767 : 2147483647.0;
        if (rounded < low || rounded > high)
            break;
        return type == JetType::Byte ? QVariant::fromValue(quint8(rounded)) : QVariant(int(rounded));
    }
    case JetType::Currency:
        if (number && std::isfinite(value.toDouble()) && std::fabs(value.toDouble()) < 9e14)
            return QVariant::fromValue(cCurrency::FromUnits(std::llround(value.toDouble() * cCurrency::kScale)));
        break;
    case JetType::Single:
        if (number)
            return float(value.toDouble());
        break;
    case JetType::Double:
        if (number)
            return value.toDouble();
        break;
    case JetType::Date:
        if (value.typeId() == QMetaType::QDateTime)
            return QDateTime(value.toDateTime().date(), value.toDateTime().time(), Qt::UTC);
        if (value.typeId() == QMetaType::QDate)
            return QDateTime(value.toDate(), QTime(0, 0), Qt::UTC);
        break;
    default:
        return value;
    }
    ConversionError();
}

} // namespace

std::shared_ptr<Recordset> Recordset::Open(std::shared_ptr<cDatabaseDriver> driver, const QString& sql)
{
    std::shared_ptr<Recordset> recordset(new Recordset(driver->OpenCursor(sql), driver));
    recordset->AttachFields();
    recordset->GoTo(0);
    return recordset;
}

Recordset::Recordset(std::unique_ptr<cCursor> cursor, std::shared_ptr<cDatabaseDriver> owner)
    : m_owner(std::move(owner)), m_cursor(std::move(cursor)), m_fields(std::make_shared<class Fields>())
{
}

void Recordset::AttachFields()
{
    const QList<FieldSchema>& schemas = m_cursor->Fields();
    for (qsizetype i = 0; i < schemas.size(); ++i) {
        auto field = std::make_shared<Field>(schemas[i], qint32(i));
        field->AttachToRecordset(weak_from_this(), int(i));
        m_fields->AddReadOnly(field);
    }
}

cCursor& Recordset::Cursor() const
{
    if (!m_cursor)
        RaiseJetError(JetError::ObjectClosed, {}, kSource);
    return *m_cursor;
}

bool Recordset::Updatable() const
{
    return m_cursor && m_cursor->Updatable();
}

QString Recordset::ReadOnlyReason() const
{
    return m_cursor ? m_cursor->ReadOnlyReason() : QString();
}

bool Recordset::GoTo(qint64 position)
{
    // The cursor leaves the row alone when there is no record, so the buffer is reused.
    if (position < 0 || !Cursor().Fetch(position, m_row))
        return false;
    m_position = position;
    m_bof = m_eof = m_currentDeleted = false;
    return true;
}

void Recordset::RequireCurrent() const
{
    Cursor();
    if (m_bof || m_eof)
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    if (m_currentDeleted)
        RaiseJetError(JetError::RecordDeleted, {}, kSource);
}

qint64 Recordset::RecordCount()
{
    return Cursor().Count();
}

void Recordset::MoveFirst()
{
    CancelUpdate();
    if (!GoTo(0)) {
        m_bof = m_eof = true;
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    }
}

void Recordset::MoveLast()
{
    CancelUpdate();
    const qint64 count = Cursor().Count();
    if (!GoTo(count - 1)) {
        m_bof = m_eof = true;
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    }
}

void Recordset::MoveNext()
{
    if (m_eof)
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    if (m_mode != dbEditNone)
        CancelUpdate();
    // After a deletion the next record has moved into the deleted one's place.
    const qint64 next = m_bof ? 0 : m_currentDeleted ? m_position : m_position + 1;
    if (!GoTo(next)) {
        m_eof = true;
        m_bof = false;
        m_position = next;
        m_currentDeleted = false;
    }
}

void Recordset::MovePrevious()
{
    if (m_bof)
        RaiseJetError(JetError::NoCurrentRecord, {}, kSource);
    CancelUpdate();
    const qint64 previous = m_eof ? Cursor().Count() - 1 : m_position - 1;
    if (!GoTo(previous)) {
        m_bof = true;
        m_eof = false;
        m_position = -1;
        m_currentDeleted = false;
    }
}

qint32 Recordset::AbsolutePosition() const
{
    return m_bof || m_eof || m_currentDeleted ? -1 : qint32(m_position);
}

void Recordset::setAbsolutePosition(qint32 position)
{
    CancelUpdate();
    if (!GoTo(position))
        RaiseJetError(JetError::InvalidArgument, {}, kSource);
}

QVariant Recordset::Bookmark() const
{
    RequireCurrent();
    return Cursor().Key(m_position);
}

void Recordset::setBookmark(const QVariant& bookmark)
{
    CancelUpdate();
    const qint64 position = Cursor().PositionOf(bookmark);
    if (position < 0 || !GoTo(position))
        throw cRuntimeError(3159, QStringLiteral("Neplatná záložka."), kSource);
}

void Recordset::AddNew()
{
    if (!Cursor().Updatable())
        RefuseChange(*m_cursor);
    CancelUpdate();
    const QList<FieldSchema>& fields = m_cursor->Fields();
    m_buffer = QVariantList(fields.size());
    m_changed = QList<bool>(fields.size(), false);
    // The new record shows the defaults the database will give it.
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].DefaultValue.isEmpty())
            continue;
        try {
            m_buffer[i] = JetType::IsText(fields[i].Type) ? QVariant(fields[i].DefaultValue)
                                                 : TextToValue(fields[i].DefaultValue, fields[i].Type);
        } catch (const cRuntimeError&) {
            // an expression the record does not evaluate: the database applies it
        }
    }
    m_mode = dbEditAdd;
}

void Recordset::Edit()
{
    if (!Cursor().Updatable())
        RefuseChange(*m_cursor);
    RequireCurrent();
    m_buffer = m_row;
    m_changed = QList<bool>(m_row.size(), false);
    m_mode = dbEditInProgress;
}

void Recordset::CancelUpdate()
{
    m_mode = dbEditNone;
    m_buffer.clear();
    m_changed.clear();
}

QVariant Recordset::FieldValue(int index) const
{
    if (m_mode != dbEditNone)
        return m_buffer.value(index);
    RequireCurrent();
    if (index < 0 || index >= m_row.size())
        RaiseJetError(JetError::ItemNotFound, {QString::number(index)}, kSource);
    return m_row[index];
}

void Recordset::SetFieldValue(int index, const QVariant& value)
{
    const QList<FieldSchema>& fields = Cursor().Fields();
    if (index < 0 || index >= fields.size())
        RaiseJetError(JetError::ItemNotFound, {QString::number(index)}, kSource);
    if (!m_cursor->Updatable())
        RefuseChange(*m_cursor);
    if (m_mode == dbEditNone)
        RaiseJetError(JetError::UpdateWithoutEdit, {}, kSource);
    if (fields[index].SourceField.isEmpty())
        RaiseJetError(JetError::CannotUpdateField, {fields[index].Name}, kSource);
    m_buffer[index] = Coerce(value, fields[index].Type);
    m_changed[index] = true;
}

void Recordset::CheckRules() const
{
    const QList<FieldSchema>& fields = m_cursor->Fields();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const FieldSchema& field = fields[i];
        if (field.SourceField.isEmpty())
            continue;
        const QVariant& value = m_buffer[i];
        const bool null = !value.isValid() || value.isNull();
        // A new record's untouched field gets the database's default.
        const bool defaulted = m_mode == dbEditAdd && !m_changed[i] && !field.DefaultValue.isEmpty();
        if (field.Required && null && !defaulted)
            RaiseJetError(JetError::Required, {field.Name}, kSource);
        if (!JetType::IsText(field.Type) || null)
            continue;
        const QString text = value.toString();
        if (text.isEmpty() && !field.AllowZeroLength)
            RaiseJetError(JetError::ZeroLength, {field.Name}, kSource);
        if (field.Type == JetType::Text && field.Size > 0 && text.size() > field.Size)
            RaiseJetError(JetError::FieldTooSmall, {field.Name}, kSource);
    }
}

void Recordset::Update()
{
    if (m_mode == dbEditNone)
        RaiseJetError(JetError::UpdateWithoutEdit, {}, kSource);
    CheckRules();
    if (m_mode == dbEditAdd) {
        m_cursor->Insert(m_buffer, m_changed);
    } else {
        m_cursor->Update(m_position, m_buffer, m_changed);
        m_row = m_buffer;
    }
    CancelUpdate();
    if (!m_bof && !m_eof && !m_currentDeleted)
        GoTo(m_position); // what the database made of the values
}

void Recordset::Delete()
{
    RequireCurrent();
    CancelUpdate();
    Cursor().Remove(m_position);
    m_currentDeleted = true;
}

void Recordset::Requery()
{
    CancelUpdate();
    Cursor().Requery();
    m_bof = m_eof = true;
    m_position = -1;
    m_currentDeleted = false;
    GoTo(0);
}

void Recordset::Close()
{
    CancelUpdate();
    m_cursor.reset();
    m_owner.reset();
    m_bof = m_eof = true;
}

bool Recordset::ReadColumn(int field, ColumnValues& values, cWorkControl& control)
{
    return Cursor().ReadColumn(field, values, control);
}

std::unique_ptr<cBulkReader> Recordset::OpenBulkReader(const std::vector<int>& fields)
{
    return Cursor().OpenBulkReader(fields);
}

void Recordset::Interrupt() const
{
    if (m_owner)
        m_owner->Interrupt();
}

void Recordset::Rest()
{
    if (m_cursor)
        m_cursor->Rest();
}

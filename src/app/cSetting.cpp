#include "cSetting.h"

#include "modRegistry.h"
#include "sMain.h"

namespace {

const QString kApplication = QStringLiteral("Application");
const QString kAbout = QStringLiteral("About");
const QString kField = QStringLiteral("Field");

QString Read(const QString& section, const QString& name, const QString& fallback = QString())
{
    return GetRegSetting(kProgramKey, section, name, fallback).toString();
}

} // namespace

QString cSetting::ColumnKey(qint32 index)
{
    return QStringLiteral("Column%1").arg(index);
}

QString cSetting::Caption() const
{
    const QString name = m_databaseFile.mid(FolderOf(m_databaseFile).size());
    return name.isEmpty() ? Read(kApplication, QStringLiteral("Caption"), QStringLiteral("Databáze")) : name;
}

QString cSetting::DatabaseType() const
{
    const QString type = Read(kApplication, QStringLiteral("Type")).trimmed();
    return type.endsWith(u';') ? type : type + u';';
}

QString cSetting::Query()
{
    if (m_query.isEmpty())
        m_query = Read(kApplication, QStringLiteral("Query"));
    return m_query;
}

void cSetting::setQuery(const QString& value)
{
    m_query = value;
    SaveRegSetting(kProgramKey, kApplication, QStringLiteral("Query"), value);
}

cColumnDefinition cSetting::GetColumnDef(qint32 index, const QString& defaultCaption) const
{
    const QString key = ColumnKey(index);
    cColumnDefinition column;
    column.setFieldName(Read(key, kField));
    column.setCaption(Read(key, QStringLiteral("Caption"), defaultCaption));
    column.setWidth(Read(key, QStringLiteral("Width"), QStringLiteral("Auto")));
    column.setAction(Read(key, QStringLiteral("Action")));
    column.setFormat(Read(key, QStringLiteral("Format")));
    column.setVisible(Read(key, QStringLiteral("Visible")));
    return column;
}

std::optional<cColumnDefinition> cSetting::FindColumnDef(const QString& fieldName) const
{
    for (qint32 n = 1; n <= kMaxColumns; ++n) {
        const QString stored = Read(ColumnKey(n), kField);
        if (stored.isEmpty())
            return std::nullopt;
        if (stored == fieldName)
            return GetColumnDef(n, fieldName);
    }
    return std::nullopt;
}

void cSetting::SetColumnDef(qint32 index, const cColumnDefinition& definition)
{
    // One rewrite: the grid of another running program must never see half a definition.
    SaveRegSettings(kProgramKey, ColumnKey(index),
                    {{kField, definition.FieldName()},
                     {QStringLiteral("Caption"), definition.Caption()},
                     {QStringLiteral("Width"), definition.Width()},
                     {QStringLiteral("Action"), definition.Action()},
                     {QStringLiteral("Format"), definition.Format()},
                     {QStringLiteral("Visible"), definition.Visible()}});
}

std::unique_ptr<cActions> cSetting::Actions() const
{
    auto actions = std::make_unique<cActions>();
    for (qint32 k = 1;; ++k) {
        cAction action;
        action.setkey(cActions::SectionOf(k));
        action.setCaption(Read(action.key(), QStringLiteral("Caption")));
        action.setAction(Read(action.key(), QStringLiteral("Action")));
        action.setField(Read(action.key(), kField));
        if (action.Caption().isEmpty() || action.Action().isEmpty())
            break;
        actions->Add(action);
    }
    return actions->count() > 0 ? std::move(actions) : nullptr;
}

QString cSetting::AboutName() const { return Read(kAbout, QStringLiteral("Name")); }
QString cSetting::AboutComment() const { return Read(kAbout, QStringLiteral("Comment")); }
QString cSetting::AboutVersion() const { return Read(kAbout, QStringLiteral("Version")); }
QString cSetting::AboutCopyright() const { return Read(kAbout, QStringLiteral("Copyright")); }

#include "cRelationTexts.h"

#include "mConvert.h"
#include "mNames.h"

namespace {

// A lookup that keeps failing on values it was prepared for is given up; one failure may
// be a moment's (a stop, a busy file), and is tried again with a fresh lookup.
constexpr int kFailuresBeforeGivingUp = 3;

QString FieldKey(const QString& table, const QString& field)
{
    return (table + u'\n' + field).toCaseFolded();
}

const FieldSchema* FindField(const TableSchema& table, const QString& name)
{
    for (const FieldSchema& field : table.Fields) {
        if (SameName(field.Name, name))
            return &field;
    }
    return nullptr;
}

} // namespace

cRelationTexts::cRelationTexts(std::shared_ptr<cDatabaseDriver> driver, qsizetype capacity)
    : m_driver(std::move(driver)), m_capacity(qMax<qsizetype>(1, capacity))
{
}

cRelationTexts::~cRelationTexts() = default;

void cRelationTexts::Clear()
{
    m_cache.clear();
    m_recent.clear();
    m_byField.clear();
    m_links.clear();
    m_lastLink = nullptr;
    m_lastTable.clear();
    m_lastField.clear();
    m_loaded = false;
}

void cRelationTexts::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    if (!m_driver)
        return;
    QList<RelationSchema> relations;
    QList<TableSchema> tables;
    try {
        relations = m_driver->Relations();
        if (relations.isEmpty())
            return;
        tables = m_driver->Tables();
    } catch (...) {
        return; // a database that cannot tell its relations has none to say
    }
    QHash<QString, int> groups; // referred table and key
    QHash<QString, const TableSchema*> byName;
    for (const TableSchema& table : std::as_const(tables))
        byName.insert(table.Name.toCaseFolded(), &table);
    for (const RelationSchema& relation : std::as_const(relations)) {
        if (relation.Fields.size() != 1 || relation.ReferredFields.size() != 1)
            continue;
        const QString key = FieldKey(relation.Table, relation.Fields.front());
        if (m_byField.contains(key))
            continue;
        const TableSchema* referred = byName.value(relation.ReferredTable.toCaseFolded());
        if (!referred)
            continue;
        const FieldSchema* keyField = FindField(*referred, relation.ReferredFields.front());
        if (!keyField)
            continue;
        const FieldSchema* text = nullptr;
        for (const FieldSchema& field : referred->Fields) {
            if (JetType::IsText(field.Type) && !SameName(field.Name, keyField->Name)) {
                text = &field;
                break;
            }
        }
        if (!text)
            continue;
        auto link = std::make_unique<Link>();
        link->ReferredTable = referred->Name;
        link->KeyField = keyField->Name;
        link->TextField = text->Name;
        link->KeyType = keyField->Type;
        link->Group = groups.value(FieldKey(referred->Name, keyField->Name), int(groups.size()));
        groups.insert(FieldKey(referred->Name, keyField->Name), link->Group);
        m_byField.insert(key, link.get());
        m_links.push_back(std::move(link));
    }
}

cRelationTexts::Link* cRelationTexts::LinkOf(const QString& table, const QString& field)
{
    Load();
    if (m_lastLink && table == m_lastTable && field == m_lastField)
        return m_lastLink;
    Link* link = m_byField.value(FieldKey(table, field));
    if (link) {
        m_lastTable = table;
        m_lastField = field;
        m_lastLink = link;
    }
    return link;
}

bool cRelationTexts::Refers(const QString& table, const QString& field)
{
    return LinkOf(table, field) != nullptr;
}

QString cRelationTexts::ReferredTable(const QString& table, const QString& field)
{
    const Link* link = LinkOf(table, field);
    return link ? link->ReferredTable : QString();
}

QString cRelationTexts::Read(Link& link, const QVariant& value, bool& keep)
{
    keep = false;
    if (link.Broken)
        return QString();
    ++m_lookups;
    try {
        if (!link.Lookup)
            link.Lookup = m_driver->PrepareLookup(link.ReferredTable, link.KeyField, link.TextField, link.KeyType);
        QVariant text;
        const bool found = link.Lookup->Find(value, text);
        link.Failures = 0;
        keep = true;
        return found && text.isValid() && !text.isNull() ? text.toString() : QString();
    } catch (...) {
        link.Lookup.reset();
        link.Broken = ++link.Failures >= kFailuresBeforeGivingUp;
        return QString();
    }
}

QString cRelationTexts::TextOf(const QString& table, const QString& field, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    Link* link = LinkOf(table, field);
    if (!link)
        return QString();
    CacheKey key;
    key.Group = link->Group;
    key.Type = value.userType();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::SChar:
    case QMetaType::Bool: key.Number = value.toLongLong(); break;
    default: key.Text = DistinctKey(value); break;
    }
    const auto cached = m_cache.constFind(key);
    if (cached != m_cache.cend()) {
        m_recent.splice(m_recent.begin(), m_recent, cached.value());
        return cached.value()->second;
    }
    bool keep = false;
    QString text = Read(*link, value, keep);
    if (keep) {
        m_recent.emplace_front(key, text);
        m_cache.insert(key, m_recent.begin());
        if (m_cache.size() > m_capacity) {
            m_cache.remove(m_recent.back().first);
            m_recent.pop_back();
        }
    }
    return text;
}

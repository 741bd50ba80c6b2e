#include "cActions.h"

#include "cRuntimeError.h"
#include "modRegistry.h"
#include "sMain.h"

namespace {

[[noreturn]] void Raise(qint32 number, const QString& description)
{
    throw cRuntimeError(number, description, QStringLiteral("cActions"));
}

} // namespace

QString cActions::SectionOf(qint32 number)
{
    return QStringLiteral("Action") + QString::number(number);
}

void cActions::Save(qint32 number, const cAction& action)
{
    const QString section = SectionOf(number);
    SaveRegSetting(kProgramKey, section, QStringLiteral("Caption"), action.Caption());
    SaveRegSetting(kProgramKey, section, QStringLiteral("Action"), action.Action());
    SaveRegSetting(kProgramKey, section, QStringLiteral("Field"), action.Field());
}

qsizetype cActions::IndexOfKey(const QString& key) const
{
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (!m_items[i].key().isEmpty() && m_items[i].key().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void cActions::Add(const cAction& action)
{
    if (!action.key().isEmpty() && IndexOfKey(action.key()) >= 0)
        Raise(457, QStringLiteral("Tento klíč je již přiřazen prvku této kolekce."));
    m_items.append(action);
}

const cAction& cActions::item(qint32 index) const
{
    if (index < 1 || index > m_items.size())
        Raise(9, QStringLiteral("Index je mimo rozsah."));
    return m_items[index - 1];
}

std::optional<cAction> cActions::item(const QString& key) const
{
    if (key.isEmpty())
        return std::nullopt;
    const qsizetype at = IndexOfKey(key);
    if (at < 0)
        Raise(5, QStringLiteral("Neplatné volání procedury nebo argument."));
    return m_items[at];
}

void cActions::Remove(qint32 index)
{
    item(index);
    m_items.removeAt(index - 1);
}

void cActions::Remove(const QString& key)
{
    const qsizetype at = IndexOfKey(key);
    if (at < 0)
        Raise(5, QStringLiteral("Neplatné volání procedury nebo argument."));
    m_items.removeAt(at);
}

#pragma once
// The by-index, by-name collection the DAO objects share; it reaches no database itself.
#include "mJetErrors.h"

#include <QList>
#include <QString>

#include <memory>

// Items 0 … Count − 1 in definition order, found by index or by name (names compare
// without regard to case); an index or name that matches nothing raises 3265.
template <typename T>
class DaoCollection {
public:
    qint32 Count() const { return qint32(m_items.size()); }

    std::shared_ptr<T> Item(qint32 index) const
    {
        if (index < 0 || index >= m_items.size())
            RaiseJetError(JetError::ItemNotFound, {QString::number(index)}, QStringLiteral("DAO.Collection"));
        return m_items[index];
    }

    std::shared_ptr<T> Item(const QString& name) const
    {
        const qsizetype index = IndexOf(name);
        if (index < 0)
            RaiseJetError(JetError::ItemNotFound, {name}, QStringLiteral("DAO.Collection"));
        return m_items[index];
    }

    qsizetype IndexOf(const QString& name) const
    {
        for (qsizetype i = 0; i < m_items.size(); ++i) {
            if (m_items[i]->Name().compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

protected:
    QList<std::shared_ptr<T>> m_items;
};

#pragma once
// The numbered, keyed list of actions and their registry section; nothing is started from here.
#include "cAction.h"

#include <QList>
#include <QString>

#include <optional>

// The actions, numbered from 1 in the order they were added, each findable by its key
// too. The collection's errors are cRuntimeError: 457 a key added twice, 9 a number out
// of range, 5 a key that matches nothing.
class cActions {
public:
    // An empty key adds the action without one.
    void Add(const cAction& action);
    qint32 count() const { return qint32(m_items.size()); }
    // 1-based.
    const cAction& item(qint32 index) const;
    // The empty key is no action (nullopt) and no error.
    std::optional<cAction> item(const QString& key) const;
    void Remove(qint32 index);
    void Remove(const QString& key);

    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }

    // Section of the registry storage for action number n: "Action" and n.
    static QString SectionOf(qint32 number);
    // Writes the three values of action number n.
    static void Save(qint32 number, const cAction& action);

private:
    qsizetype IndexOfKey(const QString& key) const;

    QList<cAction> m_items;
};

#pragma once
// The text a field's value stands for where it refers to a row of another table, read once per value through the driver; no widgets.
#include "cDatabaseDriver.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <list>
#include <memory>
#include <vector>

// Says which row a value refers to, by that row's first text: "Kraj: 1, Jihomoravský".
// A field refers when a relation of one field leads from it to a table that has a text
// field (Text or Memo) other than the referred one; relations of several fields are not
// followed. The relations are read at the first question; each text is then read once
// through a lookup prepared once per relation, and kept among the most recently asked
// (Capacity of them), so that reading rows in order costs at most one lookup per value.
// Nothing here throws: what cannot be read has no text. One thread at a time.
class cRelationTexts {
public:
    static constexpr qsizetype kDefaultCapacity = 4096;

    explicit cRelationTexts(std::shared_ptr<cDatabaseDriver> driver, qsizetype capacity = kDefaultCapacity);
    ~cRelationTexts();
    cRelationTexts(const cRelationTexts&) = delete;
    cRelationTexts& operator=(const cRelationTexts&) = delete;

    // True when the table's field refers to another table by a single-field relation whose
    // referred table has a text field other than the referred field. Pass a record
    // source field's SourceTable and SourceField.
    bool Refers(const QString& table, const QString& field);
    // The referred row's first text field (Text or Memo) other than the referred key;
    // empty when the field does not refer, no row is referred, the value or the text is
    // Null, or the lookup fails (table gone, damaged file).
    QString TextOf(const QString& table, const QString& field, const QVariant& value);

    // The table the field refers to, empty when it does not refer.
    QString ReferredTable(const QString& table, const QString& field);
    // Forgets the relations and the texts: to be called after rows or tables changed.
    void Clear();
    // Lookups that reached the database so far (each one a value the cache did not hold).
    qint64 Lookups() const { return m_lookups; }
    qsizetype Cached() const { return m_cache.size(); }

private:
    // A value as the cache holds it: whole numbers without a text made of them, the rows
    // of one referred key (Group) together whichever field refers to them.
    struct CacheKey {
        int Group = 0;
        int Type = 0;
        qint64 Number = 0;
        QString Text;
        bool operator==(const CacheKey& other) const
        {
            return Group == other.Group && Type == other.Type && Number == other.Number && Text == other.Text;
        }
    };
    friend size_t qHash(const CacheKey& key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.Group, key.Type, key.Number, key.Text);
    }
    struct Link {
        QString ReferredTable, KeyField, TextField;
        int Group = 0;
        int KeyType = 10;
        std::unique_ptr<cRowLookup> Lookup;
        int Failures = 0;
        bool Broken = false;
    };
    void Load();
    Link* LinkOf(const QString& table, const QString& field);
    QString Read(Link& link, const QVariant& value, bool& keep);

    std::shared_ptr<cDatabaseDriver> m_driver;
    qsizetype m_capacity;
    bool m_loaded = false;
    std::vector<std::unique_ptr<Link>> m_links;
    QHash<QString, Link*> m_byField; // "table\nfield", case-folded
    // The field asked last: rows in order ask about one field many times over.
    QString m_lastTable, m_lastField;
    Link* m_lastLink = nullptr;
    // The most recently asked first: a value's key and its text.
    std::list<std::pair<CacheKey, QString>> m_recent;
    QHash<CacheKey, std::list<std::pair<CacheKey, QString>>::iterator> m_cache;
    qint64 m_lookups = 0;
};

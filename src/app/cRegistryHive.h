#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>
#include <sys/types.h>

// HKEY_CURRENT_USER kept in a text file in the style of a registry export. Every program
// of the maker shares the file, so each write locks it, re-reads it, changes one thing and
// replaces it atomically; reads see the file's current content.
class cRegistryHive {
public:
    static constexpr int RegSz = 1;
    static constexpr int RegDword = 4;

    struct Value {
        QString Name;
        int Type = RegSz;
        QString Text;     // RegSz
        quint32 Dword = 0; // RegDword
        QString Raw;      // any other type: the data exactly as read, written back unchanged
    };

    explicit cRegistryHive(QString path);

    // The hive of this user: QUARNEL_REGISTRY, else $XDG_CONFIG_HOME/Korvi/HKCU.reg.
    static cRegistryHive& Current();
    static QString DefaultPath();

    const QString& Path() const { return m_path; }

    bool KeyExists(const QString& key);
    std::optional<Value> ReadValue(const QString& key, const QString& name);

    // Writes answer whether the file now holds the change.
    bool CreateKey(const QString& key);
    bool WriteValue(const QString& key, const Value& value);
    // A key with subkeys, or a missing one, is not deleted.
    bool DeleteKey(const QString& key);

    // Parsing and writing of the file's text; a false result means the text is not a hive.
    struct Key {
        QString Path;
        QList<Value> Values;
    };
    static bool Parse(const QByteArray& content, QList<Key>& keys);
    static QByteArray Serialise(const QList<Key>& keys);

private:
    struct FileStamp {
        bool Exists = false;
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = 0;
        qint64 ModifiedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    enum class State { Good, Unparsable, Unreadable };

    FileStamp Stamp() const;
    void Refresh();
    void Load(const FileStamp& stamp);
    template <typename Change> bool Modify(Change change);

    void Reindex();
    qsizetype FindKey(const QString& key) const;
    static Value* FindValue(Key& key, const QString& name);
    void AddKeyWithParents(const QString& key);

    QString m_path;
    QList<Key> m_keys;
    QHash<QString, qsizetype> m_index; // case-folded path to position in m_keys
    State m_state = State::Good;
    std::optional<FileStamp> m_loaded;
};

#pragma once
// The hive file: parsing, writing, locking; only the registry layer (modRegistry) calls it.
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
    // A line this program cannot read: hidden from reads, written back as it was.
    static constexpr int KeptLine = -1;

    struct Value {
        QString Name;
        int Type = RegSz;
        QString Text;     // RegSz
        quint32 Dword = 0; // RegDword
        QString Raw;      // any other type: the data exactly as read, written back unchanged
        QByteArray Line;  // KeptLine: the bytes of its lines, without line ends
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
    // All the values in one rewrite, the key and its parents created when missing: a reader
    // sees either none of them or all.
    bool WriteValues(const QString& key, const QList<Value>& values);
    // A key with subkeys, or a missing one, is not deleted.
    bool DeleteKey(const QString& key);

    // Parsing and writing of the file's text. People edit the file by hand, so reading is
    // lenient: what cannot be read is kept to be written back, and a false result means only
    // that the content is not text at all.
    struct Key {
        QString Path;
        QList<Value> Values;
        // Lines outside any key this program can name: those before the first section, or a
        // section of another root or with a broken section line (kept as its first line).
        // Every value is a kept line, and the key has no path.
        bool Foreign = false;
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
    bool SetValue(qsizetype key, const Value& value);
    void AddKeyWithParents(const QString& key);

    QString m_path;
    QList<Key> m_keys;
    QHash<QString, qsizetype> m_index; // case-folded path to position in m_keys
    State m_state = State::Good;
    std::optional<FileStamp> m_loaded;
};

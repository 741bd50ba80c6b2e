#include "cRegistryHive.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <memory>
#include <sys/stat.h>

namespace {

constexpr int kLockWaitMs = 5000;
const QString kRoot = QStringLiteral("HKEY_CURRENT_USER");
const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kOldHeader = QStringLiteral("REGEDIT4");

// Key and value names compare without regard to case, as the registry's do.
bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Folded(const QString& name)
{
    return name.toCaseFolded();
}

QString NormaliseKey(QString key)
{
    while (key.startsWith(u'\\'))
        key.remove(0, 1);
    while (key.endsWith(u'\\'))
        key.chop(1);
    return key;
}

// A quoted text starting at pos; pos ends after the closing quote.
std::optional<QString> ReadQuoted(QStringView line, qsizetype& pos)
{
    if (pos >= line.size() || line[pos] != u'"')
        return std::nullopt;
    QString text;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return text;
        }
        if (c == u'\\' && pos + 1 < line.size()) {
            const QChar next = line[++pos];
            if (next == u'\\' || next == u'"')
                text += next;
            else if (next == u'n')
                text += u'\n';
            else if (next == u'r')
                text += u'\r';
            else // hand-written text such as C:\data keeps its backslash
                text += c, text += next;
            continue;
        }
        text += c;
    }
    return std::nullopt;
}

QString Quote(const QString& text)
{
    QString out = QStringLiteral("\"");
    out.reserve(text.size() + 2);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'"': out += QLatin1String("\\\""); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        default: out += c; break;
        }
    }
    out += u'"';
    return out;
}

bool IsHexByteList(QStringView data)
{
    if (data.trimmed().isEmpty())
        return true;
    for (QStringView part : data.split(u',')) {
        part = part.trimmed();
        bool ok = false;
        if (part.isEmpty() || part.size() > 2)
            return false;
        static_cast<void>(part.toUInt(&ok, 16));
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

cRegistryHive::cRegistryHive(QString path) : m_path(std::move(path)) {}

QString cRegistryHive::DefaultPath()
{
    const QString configured = qEnvironmentVariable("QUARNEL_REGISTRY");
    if (!configured.isEmpty())
        return configured;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Korvi/HKCU.reg");
}

cRegistryHive& cRegistryHive::Current()
{
    static std::unique_ptr<cRegistryHive> hive;
    const QString path = DefaultPath();
    if (!hive || hive->Path() != path)
        hive = std::make_unique<cRegistryHive>(path);
    return *hive;
}

bool cRegistryHive::Parse(const QByteArray& content, QList<Key>& keys)
{
    keys.clear();
    QHash<QString, qsizetype> index;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(content);
    if (decoder.hasError())
        return false;

    const QList<QStringView> lines = QStringView(text).split(u'\n');
    bool headerSeen = false;
    Key* current = nullptr;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QStringView line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u';'))
            continue;
        if (!headerSeen) {
            if (line.trimmed() != kHeader && line.trimmed() != kOldHeader)
                return false;
            headerSeen = true;
            continue;
        }
        if (line.startsWith(u'[')) {
            line = line.trimmed();
            if (!line.endsWith(u']'))
                return false;
            const QStringView path = line.mid(1, line.size() - 2);
            if (!path.startsWith(kRoot, Qt::CaseInsensitive))
                return false;
            const QStringView rest = path.mid(kRoot.size());
            if (!rest.isEmpty() && !rest.startsWith(u'\\'))
                return false;
            const QString keyPath = NormaliseKey(rest.toString());
            const qsizetype at = index.value(Folded(keyPath), keys.size());
            if (at == keys.size()) {
                index.insert(Folded(keyPath), at);
                keys.append(Key{keyPath, {}});
            }
            current = &keys[at];
            continue;
        }
        if (!current || (line[0] != u'"' && line[0] != u'@'))
            return false;

        Value value;
        qsizetype pos = 0;
        if (line[0] == u'@') {
            pos = 1;
        } else {
            const auto name = ReadQuoted(line, pos);
            if (!name)
                return false;
            value.Name = *name;
        }
        if (pos >= line.size() || line[pos] != u'=')
            return false;
        const QStringView data = line.mid(pos + 1);
        if (data.startsWith(u'"')) {
            qsizetype at = 0;
            const auto quoted = ReadQuoted(data, at);
            if (!quoted || !data.mid(at).trimmed().isEmpty())
                return false;
            value.Type = RegSz;
            value.Text = *quoted;
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QStringView digits = data.mid(6).trimmed();
            bool ok = false;
            value.Dword = digits.toUInt(&ok, 16);
            if (!ok || digits.isEmpty() || digits.size() > 8)
                return false;
            value.Type = RegDword;
        } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            const qsizetype colon = data.indexOf(u':');
            if (colon < 0)
                return false;
            const QStringView kind = data.left(colon);
            bool ok = true;
            if (kind.size() == 3)
                value.Type = 3; // REG_BINARY
            else if (kind.size() > 5 && kind[3] == u'(' && kind.endsWith(u')'))
                value.Type = int(kind.mid(4, kind.size() - 5).toUInt(&ok, 16));
            else
                ok = false;
            QString bytes = data.mid(colon + 1).toString();
            // Long binary data continues on the next lines after a trailing backslash.
            while (ok && bytes.trimmed().endsWith(u'\\') && n + 1 < lines.size()) {
                bytes = bytes.trimmed();
                bytes.chop(1);
                QStringView next = lines[++n];
                if (next.endsWith(u'\r'))
                    next.chop(1);
                bytes += next.trimmed();
            }
            if (!ok || value.Type == RegSz || value.Type == RegDword || !IsHexByteList(bytes))
                return false;
            value.Raw = kind.toString() + u':' + bytes.trimmed();
        } else {
            return false;
        }
        if (Value* existing = FindValue(*current, value.Name))
            *existing = value;
        else
            current->Values.append(value);
    }
    return headerSeen;
}

QByteArray cRegistryHive::Serialise(const QList<Key>& keys)
{
    QString out = kHeader + QStringLiteral("\n\n");
    for (const Key& key : keys) {
        out += u'[' + kRoot + (key.Path.isEmpty() ? QString() : u'\\' + key.Path) + QStringLiteral("]\n");
        for (const Value& value : key.Values) {
            out += value.Name.isEmpty() ? QStringLiteral("@") : Quote(value.Name);
            out += u'=';
            if (value.Type == RegSz)
                out += Quote(value.Text);
            else if (value.Type == RegDword)
                out += QStringLiteral("dword:%1").arg(value.Dword, 8, 16, QLatin1Char('0'));
            else
                out += value.Raw;
            out += u'\n';
        }
        out += u'\n';
    }
    return out.toUtf8();
}

cRegistryHive::FileStamp cRegistryHive::Stamp() const
{
    FileStamp stamp;
    struct stat info {};
    if (::stat(QFile::encodeName(m_path).constData(), &info) == 0) {
        stamp.Exists = true;
        stamp.Device = info.st_dev;
        stamp.Inode = info.st_ino;
        stamp.Size = info.st_size;
        stamp.ModifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    return stamp;
}

void cRegistryHive::Refresh()
{
    const FileStamp stamp = Stamp();
    if (!m_loaded || !(*m_loaded == stamp))
        Load(stamp);
}

void cRegistryHive::Load(const FileStamp& stamp)
{
    m_keys.clear();
    m_state = State::Good;
    m_loaded = stamp;
    if (stamp.Exists) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            m_state = State::Unreadable;
        else if (!Parse(file.readAll(), m_keys))
            m_state = State::Unparsable;
    }
    if (m_state != State::Good)
        m_keys.clear();
    Reindex();
}

void cRegistryHive::Reindex()
{
    m_index.clear();
    for (qsizetype i = 0; i < m_keys.size(); ++i)
        m_index.insert(Folded(m_keys[i].Path), i);
}

template <typename Change>
bool cRegistryHive::Modify(Change change)
{
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return false;
    Load(Stamp()); // another program may have written since we last looked
    if (m_state == State::Unreadable)
        return false;
    if (m_state == State::Unparsable) {
        const QString aside = m_path + QStringLiteral(".bad-")
                              + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
        if (!QFile::rename(m_path, aside))
            return false;
        m_state = State::Good;
    }
    if (!change()) {
        Reindex();
        return false;
    }
    Reindex();
    QSaveFile file(m_path);
    const QByteArray content = Serialise(m_keys);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        m_loaded.reset(); // memory must not claim what the file does not hold
        return false;
    }
    m_loaded = Stamp();
    return true;
}

qsizetype cRegistryHive::FindKey(const QString& key) const
{
    return m_index.value(Folded(key), -1);
}

cRegistryHive::Value* cRegistryHive::FindValue(Key& key, const QString& name)
{
    for (Value& value : key.Values) {
        if (SameName(value.Name, name))
            return &value;
    }
    return nullptr;
}

void cRegistryHive::AddKeyWithParents(const QString& key)
{
    qsizetype from = 0;
    while (true) {
        const qsizetype end = key.indexOf(u'\\', from);
        const QString prefix = end < 0 ? key : key.left(end);
        if (!prefix.isEmpty() && FindKey(prefix) < 0) {
            m_index.insert(Folded(prefix), m_keys.size());
            m_keys.append(Key{prefix, {}});
        }
        if (end < 0)
            return;
        from = end + 1;
    }
}

bool cRegistryHive::KeyExists(const QString& key)
{
    const QString path = NormaliseKey(key);
    if (path.isEmpty())
        return true;
    Refresh();
    return FindKey(path) >= 0;
}

std::optional<cRegistryHive::Value> cRegistryHive::ReadValue(const QString& key, const QString& name)
{
    Refresh();
    const qsizetype index = FindKey(NormaliseKey(key));
    if (index < 0)
        return std::nullopt;
    if (const Value* value = FindValue(m_keys[index], name))
        return *value;
    return std::nullopt;
}

bool cRegistryHive::CreateKey(const QString& key)
{
    const QString path = NormaliseKey(key);
    if (KeyExists(path))
        return true;
    return Modify([&] {
        AddKeyWithParents(path);
        return true;
    });
}

bool cRegistryHive::WriteValue(const QString& key, const Value& value)
{
    const QString path = NormaliseKey(key);
    return Modify([&] {
        qsizetype index = FindKey(path);
        if (index < 0) { // Windows refuses a value in a missing key
            return false;
        }
        if (Value* existing = FindValue(m_keys[index], value.Name))
            *existing = Value{existing->Name, value.Type, value.Text, value.Dword, value.Raw};
        else
            m_keys[index].Values.append(value);
        return true;
    });
}

bool cRegistryHive::DeleteKey(const QString& key)
{
    const QString path = NormaliseKey(key);
    if (path.isEmpty() || !KeyExists(path))
        return false;
    const QString childPrefix = path + u'\\';
    return Modify([&] {
        const qsizetype index = FindKey(path);
        if (index < 0)
            return false;
        for (const Key& other : std::as_const(m_keys)) {
            if (other.Path.startsWith(childPrefix, Qt::CaseInsensitive))
                return false;
        }
        m_keys.removeAt(index);
        return true;
    });
}

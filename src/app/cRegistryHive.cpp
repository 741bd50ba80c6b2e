#include "cRegistryHive.h"

#include "mNames.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr int kLockWaitMs = 5000;
const QString kRoot = QStringLiteral("HKEY_CURRENT_USER");
const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kOldHeader = QStringLiteral("REGEDIT4");

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

// The control characters a text is written with as \u00XX: raw, one of them would make the
// line, to a strict reader the whole file, something other than text. A tab stays as it is.
bool EscapedAsCode(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0x7f;
}

// The character of \u00XX at pos (just after the backslash), when it is one this program
// writes so; anything else after a backslash is left as written, so C:\users stays a path.
std::optional<QChar> EscapedCode(QStringView inner, qsizetype pos)
{
    if (inner.size() - pos < 5 || inner[pos] != u'u' || inner[pos + 1] != u'0' || inner[pos + 2] != u'0')
        return std::nullopt;
    bool ok = false;
    const uint code = inner.mid(pos + 3, 2).toUInt(&ok, 16);
    if (!ok || !EscapedAsCode(char16_t(code)))
        return std::nullopt;
    return QChar(char16_t(code));
}

// The text between two quotes: \\ and \" escape, \n and \r are line breaks, \u00XX is a
// control character, and any other backslash is the text's own, as people write Windows
// paths by hand (C:\data).
QString Unescape(QStringView inner)
{
    QString text;
    text.reserve(inner.size());
    for (qsizetype pos = 0; pos < inner.size(); ++pos) {
        const QChar c = inner[pos];
        if (c != u'\\' || pos + 1 == inner.size()) {
            text += c;
            continue;
        }
        if (const auto code = EscapedCode(inner, pos + 1)) {
            text += *code;
            pos += 5;
            continue;
        }
        const QChar next = inner[++pos];
        if (next == u'\\' || next == u'"')
            text += next;
        else if (next == u'n')
            text += u'\n';
        else if (next == u'r')
            text += u'\r';
        else
            text += c, text += next;
    }
    return text;
}

// A quoted text starting at pos; pos ends after the closing quote.
std::optional<QString> ReadQuoted(QStringView line, qsizetype& pos)
{
    if (pos >= line.size() || line[pos] != u'"')
        return std::nullopt;
    for (qsizetype end = pos + 1; end < line.size(); ++end) {
        if (line[end] == u'\\') {
            ++end;
        } else if (line[end] == u'"') {
            QString text = Unescape(line.mid(pos + 1, end - pos - 1));
            pos = end + 1;
            return text;
        }
    }
    return std::nullopt;
}

// A text value: quoted as written, or one whose closing quote reads as an escape because
// a hand-written path ends in a backslash ("D:\data\"), which means that path.
std::optional<QString> ReadTextData(QStringView data)
{
    qsizetype at = 0;
    if (const auto quoted = ReadQuoted(data, at))
        return data.mid(at).trimmed().isEmpty() ? quoted : std::nullopt;
    data = data.trimmed();
    if (data.size() < 2 || !data.startsWith(u'"') || !data.endsWith(u'"'))
        return std::nullopt;
    return Unescape(data.mid(1, data.size() - 2));
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
        default:
            if (EscapedAsCode(c.unicode()))
                out += QStringLiteral("\\u%1").arg(uint(c.unicode()), 4, 16, QLatin1Char('0'));
            else
                out += c;
            break;
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

// The key path a section line names, or nullopt when it names none of HKEY_CURRENT_USER.
std::optional<QString> SectionPath(QStringView line)
{
    line = line.trimmed();
    if (!line.startsWith(u'[') || !line.endsWith(u']'))
        return std::nullopt;
    const QStringView path = line.mid(1, line.size() - 2);
    if (!path.startsWith(kRoot, Qt::CaseInsensitive))
        return std::nullopt;
    const QStringView rest = path.mid(kRoot.size());
    if (!rest.isEmpty() && !rest.startsWith(u'\\'))
        return std::nullopt;
    return NormaliseKey(rest.toString());
}

// The data after "=": text, dword or hex (with its continuation lines joined).
bool ReadData(QStringView data, cRegistryHive::Value& value)
{
    if (data.startsWith(u'"')) {
        const auto text = ReadTextData(data);
        if (!text)
            return false;
        value.Type = cRegistryHive::RegSz;
        value.Text = *text;
        return true;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QStringView digits = data.mid(6).trimmed();
        bool ok = false;
        value.Dword = digits.toUInt(&ok, 16);
        value.Type = cRegistryHive::RegDword;
        return ok && !digits.isEmpty() && digits.size() <= 8;
    }
    if (!data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive))
        return false;
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
    const QStringView bytes = data.mid(colon + 1).trimmed();
    if (!ok || value.Type == cRegistryHive::RegSz || value.Type == cRegistryHive::RegDword || !IsHexByteList(bytes))
        return false;
    value.Raw = kind.toString() + u':' + bytes.toString();
    return true;
}

bool IsControlByte(unsigned char byte)
{
    return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != '\v')
           || byte == 0x7f;
}

// Only a file that is not a hive at all: one with a NUL, which no text holds (a UTF-16 file
// without its mark, blocks zeroed by a crash), or whose lines are mostly control bytes, as
// any binary's are. A control character in a line or two (a value written raw by an older
// program) leaves the file text: such a line is read, or kept as it is.
bool LooksBinary(const QByteArray& content)
{
    if (content.contains('\0'))
        return true;
    qsizetype lines = 0;
    qsizetype binaryLines = 0;
    for (const QByteArray& line : content.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        ++lines;
        if (std::any_of(line.begin(), line.end(), [](char c) { return IsControlByte(static_cast<unsigned char>(c)); }))
            ++binaryLines;
    }
    return binaryLines * 2 > lines;
}

// The content as UTF-8: a UTF-16 export (as regedit writes them) is converted and a byte
// order mark dropped; nullopt when it is not text. A file marked as UTF-16 (or UTF-32) must
// be so whole, since its bytes are rewritten as UTF-8 and what did not convert would be lost.
std::optional<QByteArray> AsUtf8Text(const QByteArray& content)
{
    QByteArray bytes = content;
    const auto encoding = QStringConverter::encodingForData(content);
    if (encoding && *encoding != QStringConverter::Utf8) {
        const qsizetype unit = (*encoding == QStringConverter::Utf32 || *encoding == QStringConverter::Utf32LE
                                || *encoding == QStringConverter::Utf32BE) ? 4 : 2;
        if (content.size() % unit != 0)
            return std::nullopt;
        QStringDecoder decoder(*encoding);
        const QString text = decoder(content);
        if (decoder.hasError() || !QStringView(text).isValidUtf16())
            return std::nullopt;
        bytes = text.toUtf8();
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    if (LooksBinary(bytes))
        return std::nullopt;
    return bytes;
}

std::optional<QString> DecodeLine(const QByteArray& line)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(line);
    if (decoder.hasError())
        return std::nullopt;
    return text;
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
    const auto text = AsUtf8Text(content);
    if (!text)
        return false;
    QList<QByteArray> lines = text->split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }

    QHash<QString, qsizetype> index;
    qsizetype current = -1;
    const auto startForeign = [&] {
        keys.append(Key{QString(), {}, true});
        current = keys.size() - 1;
    };
    const auto keep = [&](const QByteArray& bytes) {
        if (current < 0)
            startForeign();
        Value kept;
        kept.Type = KeptLine;
        kept.Line = bytes;
        keys[current].Values.append(kept);
    };

    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray& raw = lines[n];
        const auto decoded = DecodeLine(raw); // a hand edit in a one-byte code page fails here
        if (raw.trimmed().isEmpty() || (decoded && (decoded->trimmed() == kHeader || decoded->trimmed() == kOldHeader)))
            continue;
        if (raw.startsWith('[')) {
            const auto path = decoded ? SectionPath(*decoded) : std::nullopt;
            if (!path) {
                startForeign();
                keep(raw);
                continue;
            }
            const qsizetype at = index.value(Folded(*path), keys.size());
            if (at == keys.size()) {
                index.insert(Folded(*path), at);
                keys.append(Key{*path, {}});
            }
            current = at;
            continue;
        }
        if (!decoded || current < 0 || keys[current].Foreign) {
            keep(raw);
            continue;
        }

        const QString& line = *decoded;
        Value value;
        qsizetype pos = 0;
        bool ok = true;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else {
            const auto name = ReadQuoted(line, pos);
            ok = name.has_value();
            value.Name = name.value_or(QString());
        }
        ok = ok && pos < line.size() && line[pos] == u'=';
        QString data = ok ? line.mid(pos + 1) : QString();
        QByteArray group = raw;
        // Long binary data continues on the next lines after a trailing backslash.
        if (ok && data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            while (data.trimmed().endsWith(u'\\') && n + 1 < lines.size()) {
                const auto next = DecodeLine(lines[n + 1]);
                if (!next)
                    break;
                data = data.trimmed();
                data.chop(1);
                data += next->trimmed();
                group += '\n' + lines[++n];
            }
        }
        if (!ok || !ReadData(data, value)) {
            keep(group);
            continue;
        }
        if (Value* existing = FindValue(keys[current], value.Name))
            *existing = value;
        else
            keys[current].Values.append(value);
    }
    return true;
}

QByteArray cRegistryHive::Serialise(const QList<Key>& keys)
{
    QByteArray out = (kHeader + QStringLiteral("\n\n")).toUtf8();
    for (const Key& key : keys) {
        if (!key.Foreign)
            out += (u'[' + kRoot + (key.Path.isEmpty() ? QString() : u'\\' + key.Path) + QStringLiteral("]\n")).toUtf8();
        for (const Value& value : key.Values) {
            if (value.Type == KeptLine) {
                out += value.Line + '\n';
                continue;
            }
            QString line = value.Name.isEmpty() ? QStringLiteral("@") : Quote(value.Name);
            line += u'=';
            if (value.Type == RegSz)
                line += Quote(value.Text);
            else if (value.Type == RegDword)
                line += QStringLiteral("dword:%1").arg(value.Dword, 8, 16, QLatin1Char('0'));
            else
                line += value.Raw;
            out += line.toUtf8() + '\n';
        }
        out += '\n';
    }
    return out;
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
    for (qsizetype i = 0; i < m_keys.size(); ++i) {
        if (!m_keys[i].Foreign)
            m_index.insert(Folded(m_keys[i].Path), i);
    }
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
        m_loaded.reset(); // a change that failed half-way must not stand for the file
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
        if (value.Type != KeptLine && SameName(value.Name, name))
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

bool cRegistryHive::SetValue(qsizetype key, const Value& value)
{
    if (value.Type == KeptLine)
        return false;
    if (Value* existing = FindValue(m_keys[key], value.Name)) {
        const QString name = existing->Name; // the first spelling stays
        *existing = value;
        existing->Name = name;
    } else {
        m_keys[key].Values.append(value);
    }
    return true;
}

bool cRegistryHive::WriteValue(const QString& key, const Value& value)
{
    const QString path = NormaliseKey(key);
    return Modify([&] {
        const qsizetype index = FindKey(path);
        // Windows refuses a value in a missing key
        return index >= 0 && SetValue(index, value);
    });
}

bool cRegistryHive::WriteValues(const QString& key, const QList<Value>& values)
{
    const QString path = NormaliseKey(key);
    return Modify([&] {
        AddKeyWithParents(path);
        const qsizetype index = FindKey(path);
        if (index < 0)
            return false;
        for (const Value& value : values) {
            if (!SetValue(index, value))
                return false;
        }
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

#include "modRegistry.h"

#include "cRegistryHive.h"

#include <QLocale>

#include <cmath>

long RegOpenKeyEx(HKEY root, const QString& keyPath, RegKey& key)
{
    key = RegKey{};
    if (root != HKEY_CURRENT_USER || !cRegistryHive::Current().KeyExists(keyPath))
        return ERROR_FILE_NOT_FOUND;
    key = RegKey{root, keyPath};
    return ERROR_SUCCESS;
}

long RegCreateKeyEx(HKEY root, const QString& keyPath, RegKey& key)
{
    key = RegKey{};
    if (root != HKEY_CURRENT_USER)
        return ERROR_ACCESS_DENIED;
    if (!cRegistryHive::Current().CreateKey(keyPath))
        return ERROR_WRITE_FAULT;
    key = RegKey{root, keyPath};
    return ERROR_SUCCESS;
}

void RegCloseKey(RegKey& key)
{
    key = RegKey{};
}

QString JoinKeyPath(const QString& key, const QString& section)
{
    if (section.isEmpty() || key.endsWith(u'\\'))
        return key + section;
    return key + u'\\' + section;
}

QVariant GetRegSetting(const QString& key, const QString& section, const QString& valueName,
                       const QVariant& defaultValue)
{
    const QVariant value = QueryRegValue(JoinKeyPath(key, section), valueName);
    return value.isValid() ? value : defaultValue;
}

void SaveRegSetting(const QString& key, const QString& section, const QString& valueName,
                    const QVariant& value)
{
    const QString path = JoinKeyPath(key, section);
    CreateRegKey(path);
    SetRegValue(path, valueName, value, REG_SZ);
}

void SaveRegSettings(const QString& key, const QString& section, const QList<std::pair<QString, QVariant>>& values)
{
    QList<cRegistryHive::Value> stored;
    for (const auto& [name, value] : values) {
        cRegistryHive::Value text;
        text.Name = name;
        text.Text = RegText(value);
        stored.append(text);
    }
    cRegistryHive::Current().WriteValues(JoinKeyPath(key, section), stored);
}

long CreateRegKey(const QString& keyPath, HKEY root)
{
    RegKey key;
    const long status = RegCreateKeyEx(root, keyPath, key);
    RegCloseKey(key);
    return status;
}

long SetRegValue(const QString& keyPath, const QString& valueName, const QVariant& value, int valueType)
{
    RegKey key;
    long status = RegOpenKeyEx(HKEY_CURRENT_USER, keyPath, key);
    if (status == ERROR_SUCCESS)
        status = WriteRegValueEx(key, valueName, valueType, value);
    RegCloseKey(key);
    return status;
}

QVariant QueryRegValue(const QString& keyPath, const QString& valueName)
{
    RegKey key;
    QVariant value;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, keyPath, key) == ERROR_SUCCESS)
        ReadRegValueEx(key, valueName, value);
    RegCloseKey(key);
    return value;
}

long ReadRegValueEx(const RegKey& key, const QString& valueName, QVariant& value)
{
    value = QVariant();
    if (!key.IsOpen())
        return ERROR_FILE_NOT_FOUND;
    const auto stored = cRegistryHive::Current().ReadValue(key.Path, valueName);
    if (!stored)
        return ERROR_FILE_NOT_FOUND;
    if (stored->Type == REG_SZ)
        value = stored->Text;
    else if (stored->Type == REG_DWORD)
        value = static_cast<qint32>(stored->Dword);
    else
        return -1;
    return ERROR_SUCCESS;
}

long WriteRegValueEx(const RegKey& key, const QString& valueName, int valueType, const QVariant& value)
{
    if (!key.IsOpen())
        return ERROR_FILE_NOT_FOUND;
    cRegistryHive::Value stored;
    stored.Name = valueName;
    stored.Type = valueType;
    if (valueType == REG_SZ) {
        stored.Text = RegText(value);
    } else if (valueType == REG_DWORD) {
        const auto number = RegDword(value);
        if (!number)
            return ERROR_INVALID_PARAMETER;
        stored.Dword = static_cast<quint32>(*number);
    } else {
        return ERROR_SUCCESS;
    }
    return cRegistryHive::Current().WriteValue(key.Path, stored) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

void DeleteRegKey(HKEY root, const QString& keyPath)
{
    if (root == HKEY_CURRENT_USER)
        cRegistryHive::Current().DeleteKey(keyPath);
}

QString RegText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float: {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(value.toDouble(), 'g', 15);
    }
    default:
        return value.toString();
    }
}

std::optional<qint32> RegLong(const QVariant& stored)
{
    if (stored.typeId() == QMetaType::Int)
        return stored.toInt();
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = stored.toString().trimmed();
    bool ok = false;
    qint64 number = 0;
    if (text.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        const quint64 bits = text.mid(2).toULongLong(&ok, 16);
        ok = ok && bits <= 0xFFFFFFFFu;
        number = qint64(bits);
    } else {
        number = text.toLongLong(&ok, 10);
    }
    // Colours written unsigned by hand mean the same 32 bits as their signed form.
    if (!ok || number < std::numeric_limits<qint32>::min() || number > qint64(0xFFFFFFFFu))
        return std::nullopt;
    return static_cast<qint32>(static_cast<quint32>(number));
}

namespace {

std::optional<qint32> FromWide(double number)
{
    // Colours written unsigned mean the same 32 bits as their signed form.
    if (!std::isfinite(number) || number < std::numeric_limits<qint32>::min() || number > double(0xFFFFFFFFu))
        return std::nullopt;
    return static_cast<qint32>(static_cast<quint32>(static_cast<qint64>(number)));
}

} // namespace

std::optional<qint32> RegDword(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;
    case QMetaType::Double:
    case QMetaType::Float:
        return FromWide(std::nearbyint(value.toDouble()));
    case QMetaType::QString: {
        if (const auto number = RegLong(value))
            return number;
        bool ok = false;
        const double number = QLocale().toDouble(value.toString().trimmed(), &ok);
        return ok ? FromWide(std::nearbyint(number)) : std::nullopt;
    }
    default: {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        return ok ? FromWide(double(number)) : std::nullopt;
    }
    }
}

#pragma once
// The registry calls every stored value goes through, over the hive file; no widgets, no caching.
#include <QList>
#include <QString>
#include <QVariant>

#include <limits>
#include <optional>
#include <utility>

// The registry access layer every stored value goes through. Only HKEY_CURRENT_USER
// exists (the hive file of cRegistryHive); other roots open nothing and take no writes.

using HKEY = quint32;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

constexpr int REG_SZ = 1;
constexpr int REG_EXPAND_SZ = 2;
constexpr int REG_BINARY = 3;
constexpr int REG_DWORD = 4;

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_ACCESS_DENIED = 5;
constexpr long ERROR_WRITE_FAULT = 29;
constexpr long ERROR_INVALID_PARAMETER = 87;

// An open key: which root and which path below it.
struct RegKey {
    HKEY Root = 0;
    QString Path;
    bool IsOpen() const { return Root != 0; }
};

long RegOpenKeyEx(HKEY root, const QString& keyPath, RegKey& key);
long RegCreateKeyEx(HKEY root, const QString& keyPath, RegKey& key);
void RegCloseKey(RegKey& key);

// Key, then "\" unless Key already ends with one or Section is empty, then Section.
QString JoinKeyPath(const QString& key, const QString& section);

// The value as stored (text or 32-bit integer), or Default when it cannot be read.
QVariant GetRegSetting(const QString& key, const QString& section, const QString& valueName,
                       const QVariant& defaultValue);
// Writes Value as text; failures are not reported.
void SaveRegSetting(const QString& key, const QString& section, const QString& valueName,
                    const QVariant& value);

// Writes the values as text into one key in one rewrite of the hive, so that no other
// program ever reads some of them changed and the others not; failures are not reported.
void SaveRegSettings(const QString& key, const QString& section, const QList<std::pair<QString, QVariant>>& values);

long CreateRegKey(const QString& keyPath, HKEY root = HKEY_CURRENT_USER);
long SetRegValue(const QString& keyPath, const QString& valueName, const QVariant& value, int valueType);
// The value read, or an invalid QVariant (Empty).
QVariant QueryRegValue(const QString& keyPath, const QString& valueName);
// 0 and a text or integer in Value; -1 for a value of another type; non-zero when absent.
long ReadRegValueEx(const RegKey& key, const QString& valueName, QVariant& value);
long WriteRegValueEx(const RegKey& key, const QString& valueName, int valueType, const QVariant& value);
// A key with subkeys is not deleted; errors are ignored.
void DeleteRegKey(HKEY root, const QString& keyPath);

// The text a value is stored as: flags "-1"/"0", numbers in decimal, fractions in the
// locale's number format.
QString RegText(const QVariant& value);
// A stored number: decimal or &H hexadecimal text, or a 32-bit integer; nullopt otherwise.
std::optional<qint32> RegLong(const QVariant& stored);
// The 32-bit integer a value is written as REG_DWORD: flags -1/0, fractions rounded half to
// even; nullopt for what is no number or lies outside 32 bits.
std::optional<qint32> RegDword(const QVariant& value);

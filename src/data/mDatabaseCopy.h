#pragma once
// Save As: a database file copied or made into a Quarnel database, written whole or not at all.
#include <QString>

#include <memory>

class Database;
class cWorkControl;

// The locale of every database Quarnel makes: Czech sort order.
inline const QString kCzechLocale = QStringLiteral(";LANGID=0x0405;CP=1250;COUNTRY=0");

// A genuine Access file (by its first bytes), which Save As turns into a database the
// user can edit instead of copying it.
bool IsAccessFile(const QString& path);

// Copies the file source to target whole or not at all (the old target stays until the
// copy is complete). A copy onto source itself is refused, and so is one of a file that
// is not there (3024). A SQLite file is copied by SQLite, so the copy holds what was
// committed, also what is still in the file's write-ahead log; what an old target left
// beside itself (its log, its journal) is removed. False when stopped; failures are
// thrown as cRuntimeError.
bool CopyDatabaseFile(const QString& source, const QString& target, cWorkControl& control);

// Writes a Quarnel database at target holding every table of source (fields with their
// types, sizes and rules, and every row) and its select queries, whole or not at all.
// source stays as it was. False when stopped; failures are thrown as cRuntimeError.
bool CopyToQuarnelDatabase(Database& source, const QString& target, cWorkControl& control);

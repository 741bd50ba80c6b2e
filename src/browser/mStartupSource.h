#pragma once
// The database named on the command line, opened and its only table counted on a worker while the window is built.
#include <QString>

#include <memory>

class Database;
class Recordset;

// What the early open got. Db is null when nothing was opened early or the open failed
// (the caller then opens as usual and reports the failure); Rs is the counted record
// source of Sql, null when the database has not exactly one table to show.
struct StartupSource {
    std::shared_ptr<Database> Db;
    QString Sql;
    std::shared_ptr<Recordset> Rs;
};

// Starts opening file (with the connect text type) on a worker; nothing when file is not a file.
void BeginStartupSource(const QString& file, const QString& type);
// Waits for the early open as long work (Escape stops it) and hands over what it got for
// file and type; an open of another file gets nothing. False only when the user stopped it.
// Without an early open it returns true at once.
bool TakeStartupSource(const QString& file, const QString& type, StartupSource& source);

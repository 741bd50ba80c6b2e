#pragma once
// Databases made from the program's own scripts (sample, tests, benchmarks); never from a user's text.
#include <QString>

// Makes a new database (Czech sort order) and runs a script of SQLite statements on it.
// The script is the program's own, from its sources: it may hold several statements.
void CreateDatabaseFromScript(const QString& path, const QString& script);

// A new database whose table Velka holds rows records of every common type, with
// repeatable content, for tests and benchmarks.
void GenerateLargeDatabase(const QString& path, qint64 rows);

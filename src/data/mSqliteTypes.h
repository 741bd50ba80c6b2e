#pragma once

// Jet's field types, sizes and defaults as SQLite declares them, written for the engine's
// own tables and read back from anyone's. Texts only: no connection, no SQL run here.

#include "cDatabaseDriver.h"

#include <QString>

// The longest Text field; longer texts are Memo.
inline constexpr qint32 kJetMaxTextSize = 255;

// The Jet type of a declared column type, and its size; SQLite's own affinity rules
// decide for a type the engine does not write itself.
int JetTypeOfSqliteDeclared(const QString& declared, qint32& size);
// The declared type the engine writes for a field; an unknown type is refused (3259).
QString SqliteDeclaredType(const FieldSchema& field);

// A default value as an SQL literal: numbers as they are, anything else as text.
QString SqliteDefaultLiteral(const QString& text);
// The default as the user sees it: an SQL literal without its quotes.
QString JetDefaultText(const QString& literal);

#pragma once
// What "where am I" says, worded from data alone: the filter's conditions, a field's kind, the source.
#include <QList>
#include <QString>
#include <QStringList>

struct FieldSchema;

// One box of the filter form as it is said: a text pattern by what it asks for ("Jméno
// začíná na N"), any other value as typed ("Narozen je 24. 12. 1981").
QString FilterConditionWords(const QString& caption, int dataType, const QString& typed);
// The filled boxes of the filter form as one text, in the form's order; empty when none is.
QString FilterWords(const QStringList& captions, const QList<int>& types, const QStringList& typed);
// A data type as it is said, in Czech.
QString TypeWords(int dataType);
// A field as the form view's "where am I" says it: caption, type, size, what it must hold,
// the table it refers to (empty: none) and the actions bound to it.
QString FieldWords(const QString& caption, const FieldSchema& field, const QString& referredTable,
                   const QStringList& actions);
// The record source: a table, a stored query by its name (storedName, when one holds the
// query) or a query over the chosen table.
QString SourceWords(const QString& query, const QString& table, const QString& storedName);

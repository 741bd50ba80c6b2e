#pragma once
// The filter form's conditions as Jet SQL and the query they narrow; text only, nothing is run here.
#include <QString>
#include <QVariant>

// The filter form's conditions in Jet SQL, and the record source they narrow.

// A value as a Jet literal of its data type: 12.5, #12/6/2026#, True, 'O''Brien'.
// Throws cRuntimeError 3421 for a type without a literal (binary data).
QString JetLiteral(const QVariant& value, int dataType);

// The condition for one box of the filter form: a text field is compared with LIKE and
// the typed pattern (Jet's own wildcards), any other field with "=" and the typed text
// converted by the user's locale, as the record editor converts it; Yes matches any value
// but No, and a GUID either case of its text. The name is bracketed.
// Throws cRuntimeError 3421 when the text is no value of the field's type.
QString JetFilterTerm(const QString& fieldName, int dataType, const QString& typed);

// The rows of query that satisfy condition (a Jet condition on the names the query shows).
// A plain SELECT of one table gets the condition in its own WHERE, as the user would write
// it (an existing condition with OR at its top level in parentheses, an ORDER BY kept last);
// when it shows computed or renamed columns, their names in the condition become the
// expressions behind them. Any other query is read as a table:
// SELECT * FROM (query) AS [Filtr] WHERE condition.
QString FilteredQuery(const QString& query, const QString& condition);

#pragma once
// The grid's text of values, one at a time or a whole column at once; no widgets, one writer a thread.
#include "cDatabaseDriver.h"

#include <QString>
#include <QVariant>

#include <string>
#include <unordered_map>
#include <vector>

struct DecimalNumber;

// The grid's text of a value in a column with a display format (empty for none): nothing
// for Null, a text as it is when there is no format, otherwise ValueToText or Format.
QString GridTextOf(const QVariant& value, const QString& format);

// Writes the grid's text of one field's raw values as UTF-8, the same bytes as
// GridTextOf(reader.ValueOf(cell, type), format).toUtf8(), without making a value of
// each: a million records are written at once. What it has no quick way for (a display
// format, binary data, odd texts and dates) takes that way. One writer per thread.
class cGridTextWriter {
public:
    cGridTextWriter(int type, const QString& format, const cBulkReader& reader);
    void Append(std::string& out, const RawCell& cell);

private:
    void AppendSlow(std::string& out, const RawCell& cell);
    void AppendText(std::string& out, const RawCell& cell);
    void AppendDate(std::string& out, const RawCell& cell);
    void AppendInteger(std::string& out, qint64 value, const std::string& minus);
    void AppendDecimal(std::string& out, const DecimalNumber& n, int significant);

    int m_type;
    QString m_format;
    const cBulkReader& m_reader;
    std::string m_minus, m_decimal, m_true, m_false;
    std::unordered_map<qint64, std::string> m_dates; // by Julian day
    std::vector<std::string> m_times;                 // by second of the day, made as met
};

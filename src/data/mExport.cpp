#include "mExport.h"

#include "Recordset.h"
#include "cRuntimeError.h"
#include "cWorkControl.h"
#include "mGridText.h"
#include "mJetErrors.h"

#include <QSaveFile>

#include <exception>
#include <string>
#include <thread>

namespace {

constexpr qint64 kStepRows = 4096;       // rows between looks at the stop request
constexpr qsizetype kFlushChars = 1 << 20; // the text kept before it goes to the file
constexpr qint64 kBlockRows = 16384;       // rows one lane turns into text at a time

bool NeedsQuotes(const char* bytes, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == ';' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

bool NeedsQuotes(const QString& value)
{
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u == u';' || u == u'"' || u == u'\r' || u == u'\n')
            return true;
    }
    return false;
}

[[noreturn]] void CannotWrite(const QString& path)
{
    RaiseJetError(JetError::FileLocked, {path}, QStringLiteral("Quarnel.Export"));
}

void Flush(QSaveFile& file, QString& text, const QString& path)
{
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size())
        CannotWrite(path);
    text.clear(); // keeps its capacity
}

// Puts the recordset back on the record it stood on, whatever ends the export.
class cPositionRestorer {
public:
    explicit cPositionRestorer(Recordset& records) : m_records(records), m_position(records.AbsolutePosition()) {}
    ~cPositionRestorer()
    {
        try {
            if (m_position >= 0 && m_records.AbsolutePosition() != m_position)
                m_records.setAbsolutePosition(m_position);
        } catch (const std::exception&) {
            // The record went meanwhile: the grid finds its row again by itself.
        }
    }
    cPositionRestorer(const cPositionRestorer&) = delete;
    cPositionRestorer& operator=(const cPositionRestorer&) = delete;

private:
    Recordset& m_records;
    qint32 m_position;
};


// The lines of blocks of records read in bulk, two lanes at once where the reader has
// two; the blocks go to the file in their order.
class cBulkExport {
public:
    cBulkExport(Recordset& records, const ExportSource& source, cBulkReader& reader)
        : m_source(source), m_reader(reader)
    {
        const auto fields = records.Fields();
        for (int lane = 0; lane < reader.Lanes(); ++lane) {
            std::vector<cGridTextWriter> writers;
            for (size_t column = 0; column < source.Fields.size(); ++column)
                writers.emplace_back(fields->Item(source.Fields[column])->Type(),
                                     source.Formats.value(qsizetype(column)), reader);
            m_writers.push_back(std::move(writers));
        }
        for (const int field : source.Fields)
            m_types.push_back(fields->Item(field)->Type());
        m_text.resize(size_t(reader.Lanes()));
    }

    bool Write(QSaveFile& file, const QString& path, cWorkControl& control)
    {
        const qint64 count = qint64(m_source.Positions.size());
        const int lanes = m_reader.Lanes();
        for (qint64 start = 0; start < count; start += lanes * kBlockRows) {
            if (control.StopRequested())
                return false;
            control.SetDone(start);
            std::exception_ptr failure;
            std::thread second;
            if (lanes > 1 && start + kBlockRows < count) {
                second = std::thread([&, start] {
                    try {
                        Block(1, start + kBlockRows, std::min(count, start + 2 * kBlockRows));
                    } catch (...) {
                        failure = std::current_exception();
                    }
                });
            }
            try {
                Block(0, start, std::min(count, start + kBlockRows));
            } catch (...) {
                if (second.joinable())
                    second.join();
                throw;
            }
            if (second.joinable())
                second.join();
            if (failure)
                std::rethrow_exception(failure);
            for (int lane = 0; lane < lanes && start + lane * kBlockRows < count; ++lane) {
                const std::string& text = m_text[size_t(lane)];
                if (file.write(text.data(), qint64(text.size())) != qint64(text.size()))
                    CannotWrite(path);
            }
        }
        return true;
    }

private:
    void Block(int lane, qint64 from, qint64 to)
    {
        std::string& text = m_text[size_t(lane)];
        text.clear();
        std::vector<cGridTextWriter>& writers = m_writers[size_t(lane)];
        const size_t columns = writers.size();
        m_reader.Read(lane, m_source.Positions.data() + from, to - from, [&](const RawCell* cells) {
            for (size_t column = 0; column < columns; ++column) {
                const size_t start = text.size();
                if (m_source.CellText) {
                    const QByteArray bytes =
                        m_source.CellText(int(column), m_reader.ValueOf(cells[column], m_types[column])).toUtf8();
                    text.append(bytes.constData(), size_t(bytes.size()));
                } else {
                    writers[column].Append(text, cells[column]);
                }
                if (NeedsQuotes(text.data() + start, text.size() - start))
                    Quote(text, start);
                text += ';';
            }
            text += "\r\n";
        });
    }

    static void Quote(std::string& text, size_t start)
    {
        const std::string value = text.substr(start);
        text.resize(start);
        text += '"';
        for (const char c : value) {
            if (c == '"')
                text += '"';
            text += c;
        }
        text += '"';
    }

    const ExportSource& m_source;
    cBulkReader& m_reader;
    std::vector<std::vector<cGridTextWriter>> m_writers; // per lane: one per column
    std::vector<int> m_types;
    std::vector<std::string> m_text; // per lane: the lines of its block
};

} // namespace

void AppendExportValue(QString& line, const QString& value)
{
    if (!NeedsQuotes(value)) {
        line += value;
    } else {
        line += u'"';
        for (const QChar c : value) {
            if (c == u'"')
                line += u'"';
            line += c;
        }
        line += u'"';
    }
    line += u';';
}

bool ExportRecords(const QString& path, Recordset& records, const ExportSource& source, cWorkControl& control)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        CannotWrite(path);
    cPositionRestorer restorer(records);

    QString text;
    text.reserve(kFlushChars + 4096);
    const auto fields = records.Fields();
    for (const int field : source.Fields)
        AppendExportValue(text, fields->Item(field)->Name());
    text += QLatin1String("\r\n\r\n");

    const qint64 count = qint64(source.Positions.size());
    const int columns = int(source.Fields.size());
    control.SetTotal(count);
    if (count > 0) {
        if (const auto reader = records.OpenBulkReader(source.Fields)) {
            Flush(file, text, path);
            cBulkExport bulk(records, source, *reader);
            if (!bulk.Write(file, path, control)) {
                file.cancelWriting();
                return false;
            }
            if (control.StopRequested()) {
                file.cancelWriting();
                return false;
            }
            control.SetDone(count);
            if (!file.commit())
                CannotWrite(path);
            return true;
        }
    }
    for (qint64 row = 0; row < count; ++row) {
        if (row % kStepRows == 0) {
            if (control.StopRequested()) {
                file.cancelWriting();
                return false;
            }
            control.SetDone(row);
        }
        const qint64 position = source.Positions[size_t(row)];
        if (records.AbsolutePosition() != position)
            records.setAbsolutePosition(qint32(position));
        for (int column = 0; column < columns; ++column) {
            const QVariant value = records.FieldValue(source.Fields[size_t(column)]);
            AppendExportValue(text, source.CellText ? source.CellText(column, value)
                                                    : GridTextOf(value, source.Formats.value(column)));
        }
        text += QLatin1String("\r\n");
        if (text.size() >= kFlushChars)
            Flush(file, text, path);
    }
    Flush(file, text, path);
    if (control.StopRequested()) {
        file.cancelWriting();
        return false;
    }
    control.SetDone(count);
    if (!file.commit())
        CannotWrite(path);
    return true;
}

QString WithExtension(const QString& path, const QString& extension)
{
    return path.endsWith(extension, Qt::CaseSensitive) ? path : path + extension;
}

#include "mExport.h"

#include "Recordset.h"
#include "cRuntimeError.h"
#include "cWorkControl.h"
#include "mJetErrors.h"

#include <QSaveFile>

namespace {

constexpr qint64 kStepRows = 4096;       // rows between looks at the stop request
constexpr qsizetype kFlushChars = 1 << 20; // the text kept before it goes to the file

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
    for (const QString& name : source.FieldNames)
        AppendExportValue(text, name);
    text += QLatin1String("\r\n\r\n");

    const qint64 count = qint64(source.Positions.size());
    const int columns = int(source.Fields.size());
    control.SetTotal(count);
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
        for (int column = 0; column < columns; ++column)
            AppendExportValue(text, source.CellText(column, records.FieldValue(source.Fields[size_t(column)])));
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

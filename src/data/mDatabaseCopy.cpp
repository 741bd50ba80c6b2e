#include "mDatabaseCopy.h"

#include "Database.h"
#include "Recordset.h"
#include "cMdbDriver.h"
#include "cRuntimeError.h"
#include "cSqliteDriver.h"
#include "cSqliteStatement.h"
#include "cWorkControl.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mStringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QUuid>

#include <cstdio>

namespace {

const QString kSource = QStringLiteral("Quarnel.SaveAs");
constexpr qint64 kChunk = 1 << 20;
constexpr qint64 kStepRows = 1024;

[[noreturn]] void CannotWrite(const QString& path)
{
    RaiseJetError(JetError::FileLocked, {path}, kSource);
}

bool SameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a), second(b);
    return first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

// A name beside target that nothing uses, for a file that becomes target only when whole.
QString TemporaryBeside(const QString& target)
{
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.'
           + QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".tmp");
}

void RemoveDatabaseFiles(const QString& path)
{
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

bool IsSelectQuery(const QString& sql)
{
    return sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
}

} // namespace

bool IsAccessFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && cMdbDriver::HasSignature(file.read(32));
}

bool CopyDatabaseFile(const QString& source, const QString& target, cWorkControl& control)
{
    if (SameFile(source, target))
        throw cRuntimeError(JetError::InvalidOperation, LoadString(10626), kSource);
    QFile in(source);
    if (!in.exists())
        RaiseJetError(JetError::FileNotFound, {source}, kSource);
    if (!in.open(QIODevice::ReadOnly))
        RaiseJetError(JetError::FileLocked, {source}, kSource);
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        CannotWrite(target);
    control.SetTotal(in.size());
    qint64 done = 0;
    while (!in.atEnd()) {
        if (control.StopRequested()) {
            out.cancelWriting();
            return false;
        }
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            RaiseJetError(JetError::FileLocked, {source}, kSource);
        if (out.write(chunk) != chunk.size())
            CannotWrite(target);
        done += chunk.size();
        control.SetDone(done);
    }
    if (!out.commit())
        CannotWrite(target);
    return true;
}

bool CopyToQuarnelDatabase(Database& source, const QString& target, cWorkControl& control)
{
    if (SameFile(source.Name(), target))
        throw cRuntimeError(JetError::InvalidOperation, LoadString(10626), kSource);
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        RaiseJetError(JetError::InvalidPath, {target}, kSource);
    const QString temporary = TemporaryBeside(target);
    bool whole = false;
    try {
        std::shared_ptr<cSqliteDriver> copy;
        try {
            copy = cSqliteDriver::Create(temporary, kCzechLocale);
        } catch (const cRuntimeError&) {
            CannotWrite(target); // the folder, not the temporary name, is what the user knows
        }
        sqlite3* db = copy->Handle();

        QList<std::shared_ptr<TableDef>> tables;
        for (const auto& table : *source.TableDefs()) {
            // System tables are the file's own; an attached table's rows live elsewhere.
            if ((quint32(table->Attributes()) & quint32(cMdbDriver::kSystemObject)) != 0 || !table->Connect().isEmpty())
                continue;
            tables << table;
        }
        qint64 total = 0;
        QList<std::shared_ptr<Recordset>> sources;
        for (const auto& table : tables) {
            sources << source.OpenRecordset(QStringLiteral("Select * From ") + JetBracketName(table->Name()));
            total += sources.back()->RecordCount();
        }
        control.SetTotal(total);

        // Keys and indexes are known only to the source's own schema.
        QHash<QString, QList<IndexSchema>> indexes;
        for (const TableSchema& table : source.TableSchemas())
            indexes.insert(table.Name, table.Indexes);

        qint64 done = 0;
        ExecSql(db, QStringLiteral("BEGIN"));
        for (qsizetype t = 0; t < tables.size(); ++t) {
            TableSchema schema = tables[t]->Schema();
            schema.Attributes = 0;
            schema.Connect.clear();
            schema.Indexes = indexes.value(schema.Name);
            copy->CreateTable(schema);
            Recordset& rows = *sources[t];
            const auto fields = rows.Fields();
            QStringList columns, marks;
            for (qint32 i = 0; i < fields->Count(); ++i) {
                columns << QuoteName(fields->Item(i)->Name());
                marks << QStringLiteral("?");
            }
            cSqliteStatement insert(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                            .arg(QuoteName(schema.Name), columns.join(QLatin1String(", ")),
                                                 marks.join(QLatin1String(", "))));
            for (qint64 position = 0; position < rows.RecordCount(); ++position) {
                if (done % kStepRows == 0) {
                    if (control.StopRequested())
                        throw cRuntimeError(JetError::Cancelled, QString(), kSource);
                    control.SetDone(done);
                }
                rows.setAbsolutePosition(qint32(position));
                for (qint32 i = 0; i < fields->Count(); ++i)
                    insert.Bind(int(i) + 1, rows.FieldValue(int(i)));
                insert.Run();
                insert.Reset();
                ++done;
            }
        }
        ExecSql(db, QStringLiteral("COMMIT"));

        // A query may name one stored after it: each round stores what it now can.
        QList<QuerySchema> queries;
        for (const auto& query : *source.QueryDefs())
            if (!query->Name().startsWith(u'~') && IsSelectQuery(query->SQL()))
                queries << query->Schema();
        for (bool progress = true; progress && !queries.isEmpty();) {
            progress = false;
            for (qsizetype i = 0; i < queries.size();) {
                try {
                    copy->CreateQuery(queries[i]);
                    queries.removeAt(i);
                    progress = true;
                } catch (const cRuntimeError&) {
                    ++i; // one this engine cannot run stays behind; the tables are what matter
                }
            }
        }
        copy->Close();
        if (control.StopRequested())
            throw cRuntimeError(JetError::Cancelled, QString(), kSource);
        // rename() replaces an old target in one step: it is never half there.
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0)
            CannotWrite(target);
        whole = true;
    } catch (const cRuntimeError& error) {
        RemoveDatabaseFiles(temporary);
        if (error.Number() == JetError::Cancelled && control.StopRequested())
            return false;
        throw;
    }
    return whole;
}

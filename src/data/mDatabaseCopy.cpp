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
constexpr int kStepPages = 256;

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

// What SQLite keeps beside an old target belongs to the old file: a log left there would
// be replayed into the new one, and a journal rolled back into it, when it is opened.
void RemoveStaleCompanions(const QString& target)
{
    for (const char* suffix : {"-wal", "-journal", "-shm"}) {
        const QString companion = target + QLatin1String(suffix);
        QFile::remove(companion);
        if (QFileInfo::exists(companion))
            CannotWrite(target);
    }
}

void RenameIntoPlace(const QString& temporary, const QString& target)
{
    RemoveStaleCompanions(target);
    // rename() replaces an old target in one step: it is never half there.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0)
        CannotWrite(target);
}

// A Quarnel database copied by SQLite itself, so the copy holds exactly what was
// committed: the part still in the source's write-ahead log is not in its file.
bool BackUpDatabase(const QString& source, const QString& target, cWorkControl& control)
{
    const QString temporary = TemporaryBeside(target);
    struct Connections {
        sqlite3* From = nullptr;
        sqlite3* To = nullptr;
        sqlite3_backup* Backup = nullptr;
        ~Connections()
        {
            if (Backup)
                sqlite3_backup_finish(Backup);
            sqlite3_close_v2(To);
            sqlite3_close_v2(From);
        }
    };
    try {
        Connections c;
        // Read-write without creating: a read-only connection may be unable to read a
        // file in WAL mode, and a hot journal of the source is to be rolled back anyway.
        if (sqlite3_open_v2(source.toUtf8().constData(), &c.From, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            RaiseJetError(JetError::FileLocked, {source}, kSource);
        sqlite3_busy_timeout(c.From, 2000);
        if (sqlite3_open_v2(temporary.toUtf8().constData(), &c.To, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            != SQLITE_OK)
            CannotWrite(target);
        c.Backup = sqlite3_backup_init(c.To, "main", c.From, "main");
        if (!c.Backup)
            CannotWrite(target);
        int rc = SQLITE_OK;
        while (rc == SQLITE_OK) {
            if (control.StopRequested())
                throw cRuntimeError(JetError::Cancelled, QString(), kSource);
            rc = sqlite3_backup_step(c.Backup, kStepPages);
            const qint64 pages = sqlite3_backup_pagecount(c.Backup);
            control.SetTotal(pages);
            control.SetDone(pages - sqlite3_backup_remaining(c.Backup));
        }
        const int finished = sqlite3_backup_finish(c.Backup);
        c.Backup = nullptr;
        if (rc == SQLITE_DONE)
            rc = finished;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            RaiseJetError(JetError::FileLocked, {source}, kSource);
        if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)
            RaiseJetError(JetError::NotADatabase, {source}, kSource);
        if (rc != SQLITE_OK)
            CannotWrite(target);
        const int closed = sqlite3_close(c.To);
        c.To = nullptr;
        if (closed != SQLITE_OK)
            CannotWrite(target);
        // The copy of an old file is one other programs can read and change.
        cSqliteDriver::Open(temporary, false)->MendLegacyCollations(&control);
        if (control.StopRequested())
            throw cRuntimeError(JetError::Cancelled, QString(), kSource);
        RenameIntoPlace(temporary, target);
    } catch (const cRuntimeError& error) {
        RemoveDatabaseFiles(temporary);
        if (error.Number() == JetError::Cancelled && control.StopRequested())
            return false;
        throw;
    }
    return true;
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
    if (cSqliteDriver::HasSignature(in.read(16))) {
        in.close();
        return BackUpDatabase(source, target, control);
    }
    in.seek(0);
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
    RemoveStaleCompanions(target);
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
        // The copy of an old file is one other programs can read and change.
        cSqliteDriver::Open(temporary, false)->MendLegacyCollations(&control);
        if (control.StopRequested())
            throw cRuntimeError(JetError::Cancelled, QString(), kSource);
        RenameIntoPlace(temporary, target);
        whole = true;
    } catch (const cRuntimeError& error) {
        RemoveDatabaseFiles(temporary);
        if (error.Number() == JetError::Cancelled && control.StopRequested())
            return false;
        throw;
    }
    return whole;
}

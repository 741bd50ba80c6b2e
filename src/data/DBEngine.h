#pragma once
// The engine's entry: which backend opens a connect text or a file; no widgets, no SQL of its own.
#include "Database.h"

#include <QByteArray>

#include <functional>
#include <memory>

// The one engine of the run: opens and creates databases, choosing the backend by the
// connect text and by the file's signature.
class DBEngine {
public:
    static DBEngine& Instance();

    // connect ";" opens a file; "ODBC;…" a data source. Errors: 3024 missing file,
    // 3044 a folder or an invalid path, 3343 not a database, 3051 locked or unreadable.
    std::shared_ptr<Database> OpenDatabase(const QString& name, bool options = false, bool readOnly = false,
                                           const QString& connect = QStringLiteral(";"));
    // A new, empty database file; 3204 when the file exists (it is left untouched).
    std::shared_ptr<Database> CreateDatabase(const QString& name, const QString& locale);

    // Further backends: one that recognises a file by its first bytes, and the ODBC route.
    using FileOpener = std::function<std::shared_ptr<cDatabaseDriver>(const QString& path, bool readOnly)>;
    using Recogniser = std::function<bool(const QByteArray& head)>;
    using SourceOpener = std::function<std::shared_ptr<cDatabaseDriver>(const QString& connect, bool readOnly)>;
    void RegisterFileBackend(Recogniser recognise, FileOpener open);
    void RegisterOdbcBackend(SourceOpener open);

private:
    DBEngine();

    QList<QPair<Recogniser, FileOpener>> m_fileBackends;
    SourceOpener m_odbc;
};

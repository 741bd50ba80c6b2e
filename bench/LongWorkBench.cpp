// Long work at scale, as ratios against baselines measured in the same run:
//   (1) Escape during a sort of 1,000,000 rows, during the count of a record source too
//       large to count, and during a slow query on a PostgreSQL server (pg_sleep): the
//       time from the key to the window answering again, against the time the work takes
//       (or a Down key takes, for work that would never end);
//   (2) from starting the program on a 1,000,000-row table to its first row being
//       spoken, against the sqlite3 tool's export of that table, both whole processes;
//   (3) a filter finding few of 1,000,000 rows on PostgreSQL, against opening them all.
// Usage: LongWorkBench [rows]   (default 1000000)
#include "mConvert.h"
#include "mFilter.h"
#include "BenchSupport.h"
#include "DBEngine.h"
#include "Recordset.h"
#include "cRecordList.h"
#include "cSetting.h"
#include "fApplication.h"
#include "mLongWork.h"
#include "mSampleData.h"
#include "modCommon.h"
#include "modRegistry.h"
#include "sMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

using bench::Best;
using bench::Clock;
using bench::Seconds;

// Presses Escape delay ms from now and notes when.
Clock::time_point* EscapeAfter(int delay, QWidget* target)
{
    auto* pressed = new Clock::time_point();
    QTimer::singleShot(delay, [pressed, target] {
        *pressed = Clock::now();
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    return pressed;
}

double Answered(Clock::time_point* pressed)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - *pressed).count();
    delete pressed;
    return seconds;
}

bool RunFixture(const QString& action, const QString& folder)
{
    return bench::RunPostgresFixture(QStringLiteral(QUARNEL_SOURCE "/tests/data/postgres-fixture.cmake"), action, folder);
}

QString PsqlOdbcDriver()
{
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so", "/usr/lib/aarch64-linux-gnu/odbc/psqlodbcw.so"})
        if (QFile::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    return {};
}

// (3) A filter that finds few of the server's rows against opening them all, as the window
// opens a record source: the recordset, its count and its first row.
void FilterOnTheServer(const QString& connect, const QString& folder, qint64 rows)
{
    QProcess psql;
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-q"), QStringLiteral("-h"), folder, QStringLiteral("-U"), QStringLiteral("quarnel"),
                QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-c"),
                QStringLiteral("DROP TABLE IF EXISTS velka; CREATE TABLE velka AS SELECT g AS id, "
                               "(ARRAY['Jana','Petr','Marie','Tomáš','Lucie','Jiří','Eva','Václav','Kateřina','Ondřej',"
                               "'Zuzana','Martin','Hana','Lukáš','Šárka','Čestmír'])[1 + (g::bigint * 7919) % 16] || ' ' || g "
                               "AS jmeno, g % 1000 AS pocet FROM generate_series(1, %1) AS g; "
                               "ALTER TABLE velka ADD PRIMARY KEY (id); ANALYZE velka;")
                    .arg(rows)});
    if (!psql.waitForFinished(600000) || psql.exitCode() != 0) {
        std::printf("(3) the server's table could not be made: %s\n", psql.readAllStandardError().constData());
        return;
    }
    auto db = DBEngine::Instance().OpenDatabase(QString(), false, false, connect);
    qint64 count = 0;
    const auto open = [&](const QString& sql) {
        auto rs = db->OpenRecordset(sql);
        count = rs->RecordCount();
        if (count > 0)
            rs->FieldValue(1);
    };
    const QString all = QStringLiteral("SELECT * FROM velka");
    const double whole = bench::Best(3, [&] { open(all); });
    const qint64 total = count;
    const QString filter = FilteredQuery(all, JetFilterTerm(QStringLiteral("jmeno"), 10, QStringLiteral("Čestmír 4242*")));
    const double filtered = bench::Best(3, [&] { open(filter); });
    std::printf("(3) on PostgreSQL through ODBC, %lld rows: opening them all %.3f s, a filter on a text column "
                "finding %lld of them %.3f s (ratio %.3f)\n",
                static_cast<long long>(total), whole, static_cast<long long>(count), filtered, filtered / whole);
}

// The window opening a source with the definition's query; Escape after delay ms.
double StopAnOpen(const QString& file, const QString& type, const QString& query, int delay)
{
    SaveRegSetting(kProgramKey, QStringLiteral("Application"), QStringLiteral("Type"), type);
    cSetting().setQuery(query);
    fApplication window;
    window.show();
    Clock::time_point* pressed = EscapeAfter(delay, &window);
    const bool opened = window.ApplySetting(file, true);
    const double answer = Answered(pressed);
    if (opened)
        std::printf("  the source opened before Escape\n");
    window.close();
    return answer;
}


double SqliteExport(const QString& database)
{
    return Best(3, [&] {
        QProcess sqlite;
        sqlite.setStandardOutputFile(QProcess::nullDevice());
        sqlite.start(QStringLiteral("sqlite3"), {database, QStringLiteral("SELECT * FROM Velka")});
        sqlite.waitForFinished(120000);
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    QTemporaryDir dir;
    bench::UseOwnPreferences(dir);
    QApplication app(argc, argv);
    bench::UseCzechLocale();

    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    const QString large = dir.filePath(QStringLiteral("large.db"));
    GenerateLargeDatabase(large, rows);

    // (1) a sort
    {
        auto db = DBEngine::Instance().OpenDatabase(large);
        cRecordList list;
        list.AddColumn(QStringLiteral("Jmeno"), {}, 1);
        list.SetRecordset(db->OpenRecordset(QStringLiteral("SELECT * FROM Velka")));
        list.FillList();
        list.show();
        const double whole = Best(2, [&] {
            list.Unsort();
            list.SortBy(0, Qt::AscendingOrder);
        });
        list.Unsort();
        Clock::time_point* pressed = EscapeAfter(int(whole * 1000 / 2), &list);
        list.SortBy(0, Qt::AscendingOrder);
        const double answer = Answered(pressed);
        std::printf("(1) Escape halfway through sorting %lld rows by a text: answered after %.1f ms, the whole sort "
                    "%.3f s (ratio %.3f)%s\n",
                    static_cast<long long>(rows), answer * 1000, whole, answer / whole,
                    list.IsSorted() ? " - the sort ended before the key" : "");
    }
    // (1) a count that would take for ever: every pair of records, counted.
    // The work that would take for ever is measured against what the window answers to
    // while it runs: one second, after which it says that it waits.
    const double count = StopAnOpen(large, QStringLiteral(";"),
                                    QStringLiteral("SELECT a.Id, b.Id FROM Velka AS a, Velka AS b"), 1500);
    std::printf("    Escape while counting every pair of %lld records: answered after %.1f ms (ratio to the "
                "second before the waiting message %.3f)\n",
                static_cast<long long>(rows), count * 1000, count);

    // (1) a query on a server that sleeps
    const QString driver = PsqlOdbcDriver();
    const QString folder = QStringLiteral("/tmp/quarnel-bench-pg");
    if (driver.isEmpty() || !RunFixture(QStringLiteral("start"), folder)) {
        std::printf("    PostgreSQL or its ODBC driver is missing: the server query is not measured\n");
    } else {
        const QString connect =
            QStringLiteral("ODBC;DRIVER=%1;Servername=%2;Port=5432;Database=postgres;Username=quarnel").arg(driver, folder);
        const double server = StopAnOpen(QStringLiteral("postgres"), connect,
                                         QStringLiteral("SELECT pg_sleep(60) AS Spanek"), 1500);
        std::printf("    Escape during a server query of 60 s (pg_sleep): answered after %.1f ms (ratio to the "
                    "second before the waiting message %.3f)\n",
                    server * 1000, server);
        FilterOnTheServer(connect, folder, rows);
        RunFixture(QStringLiteral("stop"), folder);
    }

    // (2)
    const QString program = QStringLiteral(QUARNEL_BINARY);
    const QString log = dir.filePath(QStringLiteral("voice.log"));
    bench::FirstSpokenRow(program, large, log, true); // the file and the program in the page cache
    double first = 1e300;
    for (int i = 0; i < 3; ++i)
        first = std::min(first, bench::FirstSpokenRow(program, large, log, true));
    const double exported = SqliteExport(large);
    std::printf("(2) start to the first spoken row of %lld rows %.3f s; the sqlite3 tool's export of the table "
                "%.3f s (ratio %.3f)\n",
                static_cast<long long>(rows), first, exported, first / exported);
    return 0;
}

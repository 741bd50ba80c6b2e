// What the user waits for, end to end, as ratios against baselines measured in the same run:
//   (1) from starting the program on a 1,000,000-row table to its first row being spoken,
//       against the sqlite3 tool's export of that table to a file, both whole processes,
//       best of five each;
//   (2) from Ctrl+digit in the main window to the new order announced, with Down pressed
//       every 50 ms meanwhile and without keys, against SQLite's binary ORDER BY of the same column reading
//       every row's key and text (the grid needs every row in its new place).
// Run it under the display it is to measure, e.g. xvfb-run -a -s "-screen 0 1280x1024x24";
// without one the program and the window use the offscreen platform.
// Usage: StartBench [rows] [start|sort]   (default 1000000 rows, both parts)
#include "BenchSupport.h"
#include "cSqliteDriver.h"
#include "fApplication.h"
#include "mConvert.h"
#include "mSampleData.h"
#include "modCommon.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>

#include <cstdio>

namespace {

using bench::Clock;
using bench::Seconds;

// Seconds from starting the program until its first row was spoken; -1 when it never was.
double FirstSpokenRow(const QString& database, const QTemporaryDir& dir, int run)
{
    const QString log = dir.filePath(QStringLiteral("voice%1.log").arg(run));
    return bench::FirstSpokenRow(QStringLiteral(QUARNEL_BINARY), database, log, false);
}

// The sqlite3 tool writing the whole table to a file; without the tool, the same through
// the library in this process (then the program's start is not in the baseline).
double ExportWithTheTool(const QString& database, const QString& target, bool* tool)
{
    *tool = !QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty();
    const auto start = Clock::now();
    if (*tool) {
        QProcess sqlite;
        sqlite.setStandardOutputFile(QProcess::nullDevice());
        sqlite.start(QStringLiteral("sqlite3"),
                     {database, QStringLiteral(".once ") + target, QStringLiteral("SELECT * FROM Velka")});
        sqlite.waitForFinished(300000);
        return Seconds(start);
    }
    auto driver = cSqliteDriver::Open(database, true);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(driver->Handle(), "SELECT * FROM Velka", -1, &statement, nullptr);
    std::FILE* out = std::fopen(target.toLocal8Bit().constData(), "w");
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            std::fprintf(out, i ? "|%s" : "%s", reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
        std::fputc('\n', out);
    }
    std::fclose(out);
    sqlite3_finalize(statement);
    return Seconds(start);
}


// Ctrl+digit pressed in the window until its command has said the new order, with Down
// pressed meanwhile or not; the voice log must hold the order's announcement afterwards.
double SortByKey(fApplication& window, int digit, const QString& log, bool withKeys, int* downs)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
    QTimer keys;
    *downs = 0;
    QObject::connect(&keys, &QTimer::timeout, [&] {
        ++*downs;
        QWidget* now = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QCoreApplication::postEvent(now, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(now, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier));
    });
    QFile::resize(log, 0);
    if (withKeys)
        keys.start(50);
    const auto start = Clock::now();
    QTest::keyClick(target, Qt::Key(Qt::Key_0 + digit), Qt::ControlModifier);
    const double seconds = Seconds(start);
    keys.stop();
    QFile file(log);
    const bool said = file.open(QIODevice::ReadOnly) && file.readAll().contains("Seřazeno");
    return said ? seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    QTemporaryDir dir;
    const QString windowLog = bench::UseOwnPreferences(dir);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::UseCzechLocale();

    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    const QString large = dir.filePath(QStringLiteral("large.db"));
    GenerateLargeDatabase(large, rows);

    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (only != QLatin1String("sort")) {
    // (1) the first run brings the program, its libraries and the file into the page cache
    FirstSpokenRow(large, dir, 0);
    double first = 1e300;
    double exported = 1e300;
    bool tool = false;
    for (int run = 1; run <= 5; ++run) {
        const double seconds = FirstSpokenRow(large, dir, run);
        if (seconds > 0)
            first = std::min(first, seconds);
        exported = std::min(exported, ExportWithTheTool(large, dir.filePath(QStringLiteral("export.txt")), &tool));
    }
    std::printf("(1) start to the first spoken row of %lld rows %.3f s; %s export of the table to a file %.3f s "
                "(ratio %.3f)\n",
                static_cast<long long>(rows), first, tool ? "the sqlite3 tool's" : "the library's (no sqlite3 tool)",
                exported, first / exported);
    }
    if (only == QLatin1String("start"))
        return 0;

    // (2)
    fApplication window;
    window.ApplySetting(large, false);
    window.show();
    window.activateWindow();
    QTest::qWait(500);
    for (const auto& [digit, name] : {std::pair{2, QStringLiteral("Jmeno")}, std::pair{3, QStringLiteral("Mesto")}}) {
        const double sql = bench::Best(3, [&] { bench::BinaryOrderBy(large, name); });
        double withKeys = 1e300;
        double quiet = 1e300;
        int downs = 0;
        int none = 0;
        for (int run = 0; run < 3; ++run) {
            for (const bool keys : {true, false}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_0, Qt::ControlModifier); // the source's order
                const double seconds = SortByKey(window, digit, windowLog, keys, keys ? &downs : &none);
                if (seconds > 0)
                    (keys ? withKeys : quiet) = std::min(keys ? withKeys : quiet, seconds);
            }
        }
        std::printf("(2) Ctrl+%d (%s) to the order announced, Down every 50 ms meanwhile (%d in the last run): "
                    "%.3f s, without keys %.3f s; binary ORDER BY %.3f s (ratio %.2f with keys, %.2f without)\n",
                    digit, qPrintable(name), downs, withKeys, quiet, sql, withKeys / sql, quiet / sql);
    }
    window.close();
    return 0;
}

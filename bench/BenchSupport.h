#pragma once

#include "cSqliteDriver.h"
#include "mConvert.h"

#include <QFile>
#include <QLocale>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <unistd.h>
#include <vector>

// Timing and memory helpers shared by the benchmarks that print their own ratios.
namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The best of a few runs, so a busy moment of the machine does not decide.
template <typename Run>
double Best(int runs, Run run)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, Seconds(start));
    }
    return best;
}

// The value below which share of the values lie (0.5: the median, 0.99: p99).
inline double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * share))];
}

inline double ResidentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

// Waits for the started program's first row in its voice log (said at once or queued
// behind what was said before it), then ends the program: seconds since start, -1 if never.
inline double UntilFirstRowSpoken(QProcess& quarnel, const QString& log, Clock::time_point start)
{
    double seconds = -1;
    while (Seconds(start) < 60) {
        QFile file(log);
        const QByteArray said = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (said.contains("Voice\t2\t0\t, 1, ") || said.contains("Voice\t1\t0\t, 1, ")) {
            seconds = Seconds(start);
            break;
        }
        QThread::usleep(500);
    }
    quarnel.terminate();
    quarnel.waitForFinished(10000);
    return seconds;
}

// Starts the program on database with a voice log and preferences of its own, offscreen
// when asked or when there is no display, and waits for its first row (UntilFirstRowSpoken).
inline double FirstSpokenRow(const QString& program, const QString& database, const QString& log, bool offscreen)
{
    QFile::remove(log);
    QProcess quarnel;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUARNEL_VOICE"), QStringLiteral("log:") + log);
    environment.insert(QStringLiteral("QUARNEL_REGISTRY"), log + QStringLiteral(".reg")); // a user of its own
    if (offscreen || !environment.contains(QStringLiteral("DISPLAY")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    quarnel.setProcessEnvironment(environment);
    quarnel.setStandardOutputFile(QProcess::nullDevice());
    quarnel.setStandardErrorFile(QProcess::nullDevice());
    const auto start = Clock::now();
    quarnel.start(program, {database});
    return UntilFirstRowSpoken(quarnel, log, start);
}

// Preferences and a voice log of the benchmark's own in dir, for the windows it opens: the
// user's stay untouched, and with a voice no window stops to say speech is missing. Call
// before the application object; returns the log's path.
inline QString UseOwnPreferences(const QTemporaryDir& dir)
{
    const QString log = dir.filePath(QStringLiteral("window.log"));
    qputenv("QUARNEL_REGISTRY", dir.filePath(QStringLiteral("HKCU.reg")).toUtf8());
    qputenv("QUARNEL_VOICE", ("log:" + log).toUtf8());
    return log;
}

// Numbers as the program reads them and texts compared as a Czech user's; call after the
// application object, which sets the locale of the C library.
inline void UseCzechLocale()
{
    UseCNumbersInTheCLibrary();
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
}

// SQLite's own sort of a column of Velka by its bytes (no collation), reading every row:
// the least a sort of the whole column can cost.
inline double BinaryOrderBy(const QString& path, const QString& column)
{
    auto driver = cSqliteDriver::Open(path, true);
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = QStringLiteral("SELECT Id, %1 FROM Velka ORDER BY %1 COLLATE BINARY").arg(column).toUtf8();
    sqlite3_prepare_v2(driver->Handle(), sql.constData(), -1, &statement, nullptr);
    const auto start = Clock::now();
    qint64 sum = 0;
    while (sqlite3_step(statement) == SQLITE_ROW)
        sum += sqlite3_column_int64(statement, 0) + sqlite3_column_bytes16(statement, 1);
    const double seconds = Seconds(start);
    sqlite3_finalize(statement);
    return sum ? seconds : -1;
}

// Starts or stops the tests' private PostgreSQL server (the tests' own CMake script).
inline bool RunPostgresFixture(const QString& script, const QString& action, const QString& folder)
{
    QProcess cmake;
    cmake.start(QStringLiteral("cmake"), {QStringLiteral("-DACTION=") + action, QStringLiteral("-DFOLDER=") + folder,
                                          QStringLiteral("-P"), script});
    return cmake.waitForFinished(180000) && cmake.exitCode() == 0;
}

// What the process holds of its own, without the pages of files it maps: a mapped
// database's pages are the system's file cache, given back whenever memory is short.
inline double AnonymousMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

} // namespace bench

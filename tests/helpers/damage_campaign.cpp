// Opens damaged copies of one database file through the engine, as a user would open a
// file someone sent: open, list tables and queries, read every table to its end. Prints
// one summary line; exits 3 when a case outlives the bound, 4 when a failure is not an
// engine error, 5 when this process's peak memory (VmHWM) passed --max-mb (128). A crash of this process is the campaign's other finding: the case number
// is in <work>/current and the copy in <work>/case.<ext> for the script to keep.
//
//   damage_campaign access|sqlite FILE COUNT [--seed N] [--start I] [--work DIR]
//                   [--seconds S] [--bound-ms MS] [--max-mb MB]
#include "DBEngine.h"
#include "cMdbDriver.h"
#include "cRuntimeError.h"
#include "mConvert.h"
#include "mDamage.h"
#include "mReadEverything.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

qint64 StatusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    const QStringList args = app.arguments();
    if (args.size() < 4 || (args[1] != QLatin1String("access") && args[1] != QLatin1String("sqlite"))) {
        std::fprintf(stderr, "usage: %s access|sqlite FILE COUNT [--seed N] [--start I] [--work DIR] [--seconds S] "
                             "[--bound-ms MS] [--max-mb MB]\n", argv[0]);
        return 2;
    }
    const damage::Kind kind = args[1] == QLatin1String("access") ? damage::Kind::Access : damage::Kind::Sqlite;
    const QString source = args[2];
    const qint64 count = args[3].toLongLong();
    quint64 seed = 20261207;
    qint64 start = 0, seconds = 0, boundMs = 30000, maxMb = 128;
    QString work = QDir::tempPath() + QStringLiteral("/quarnel-campaign");
    for (int i = 4; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toULongLong();
        else if (args[i] == QLatin1String("--start"))
            start = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--work"))
            work = args[i + 1];
        else if (args[i] == QLatin1String("--seconds"))
            seconds = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--bound-ms"))
            boundMs = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--max-mb"))
            maxMb = args[i + 1].toLongLong();
    }
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(source));
        return 2;
    }
    const QByteArray original = input.readAll();
    QDir().mkpath(work);
    const QString copy = work + (kind == damage::Kind::Access ? QStringLiteral("/case.mdb") : QStringLiteral("/case.db"));
    // The campaign's own stall and deadline: short, so that a case that waits them out
    // shows in the case times; each case must be over within the bound.
    cMdbDriver::SetHelperTimeout(3000);
    cMdbDriver::SetHelperDeadline(8000);

    // A case that outlives the bound ends the campaign: that is a hang.
    std::mutex mutex;
    std::condition_variable wake;
    qint64 running = -1;
    bool finished = false;
    QElapsedTimer caseClock;
    std::thread guard([&] {
        std::unique_lock lock(mutex);
        while (!finished) {
            wake.wait_for(lock, std::chrono::milliseconds(500));
            if (running >= 0 && caseClock.elapsed() > boundMs) {
                std::printf("HANG case %lld of %s (over %lld ms)\n", running, qPrintable(source), boundMs);
                std::fflush(stdout);
                _exit(3);
            }
        }
    });

    QMap<int, qint64> errors;
    qint64 opened = 0, ran = 0, notJet = 0;
    QList<QPair<qint64, qint64>> slowest; // (ms, case)
    QStringList odd; // cases failing other than as "not a database"
    QElapsedTimer total;
    total.start();
    for (qint64 index = start; index < start + count; ++index) {
        if (seconds > 0 && total.elapsed() > seconds * 1000)
            break;
        const QByteArray bytes = damage::Damage(original, kind, seed, index);
        {
            QFile file(copy);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(copy));
                return 2;
            }
        }
        QFile current(work + QStringLiteral("/current"));
        if (current.open(QIODevice::WriteOnly | QIODevice::Truncate))
            current.write(QByteArray::number(index));
        current.close();
        {
            std::lock_guard lock(mutex);
            running = index;
            caseClock.start();
        }
        try {
            ReadEverything(copy);
            ++opened;
        } catch (const cRuntimeError& e) {
            if (e.Number() <= 0) {
                ++notJet;
                std::printf("NOT-JET case %lld: %d %s\n", index, e.Number(), qPrintable(e.Description()));
            }
            ++errors[e.Number()];
            if (e.Number() != 3343 && odd.size() < 10)
                odd << QStringLiteral("%1:%2").arg(index).arg(e.Number());
        } catch (const std::exception& e) {
            ++notJet;
            std::printf("NOT-JET case %lld: %s\n", index, e.what());
        }
        qint64 ms = 0;
        {
            std::lock_guard lock(mutex);
            ms = caseClock.elapsed();
            running = -1;
        }
        slowest << qMakePair(ms, index);
        std::sort(slowest.begin(), slowest.end(), std::greater<>());
        if (slowest.size() > 5)
            slowest.removeLast();
        ++ran;
    }
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    wake.notify_all();
    guard.join();
    QFile::remove(copy);

    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    QStringList errorText, slowText;
    for (auto it = errors.cbegin(); it != errors.cend(); ++it)
        errorText << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
    for (const auto& slow : std::as_const(slowest))
        slowText << QStringLiteral("%1@%2ms").arg(slow.second).arg(slow.first);
    const double rate = total.elapsed() > 0 ? double(ran) * 1000.0 / double(total.elapsed()) : 0.0;
    std::printf("file=%s start=%lld ran=%lld opened=%lld errors={%s} not_jet=%lld hangs=0 slowest=[%s] odd=[%s] "
                "vmhwm_kb=%lld maxrss_kb=%ld helper_maxrss_kb=%ld seconds=%.1f rate=%.2f/s\n",
                qPrintable(QFileInfo(source).fileName()), start, ran, opened, qPrintable(errorText.join(u',')), notJet,
                qPrintable(slowText.join(u',')), qPrintable(odd.join(u',')), StatusKb("VmHWM:"), self.ru_maxrss, children.ru_maxrss,
                double(total.elapsed()) / 1000.0, rate);
    if (notJet > 0)
        return 4;
    return StatusKb("VmHWM:") > maxMb * 1024 ? 5 : 0;
}

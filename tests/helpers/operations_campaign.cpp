// Runs the operations campaign (mOperations.h): CASES databases made as other programs
// make them, STEPS user operations on each, every result compared with the oracle.
// Prints the operations by kind, the refusals by error and each difference found; exits 1
// when a difference was found.
//
//   operations_campaign CASES SEED [--steps N] [--start I] [--work DIR]
#include "mOperations.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s CASES SEED [--steps N] [--start I] [--work DIR]\n", argv[0]);
        return 2;
    }
    const qint64 cases = args[1].toLongLong();
    const quint64 seed = args[2].toULongLong();
    int steps = 20;
    qint64 start = 0;
    QTemporaryDir scratch;
    QString work = scratch.path();
    for (qsizetype i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--steps"))
            steps = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--start"))
            start = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--work"))
            work = args[i + 1];
    }
    QDir().mkpath(work);
    // The preferences this run writes, beside another program's.
    const QString hive = work + QStringLiteral("/HKCU.reg");
    qputenv("QUARNEL_REGISTRY", QFile::encodeName(hive));
    operations::PlantPreferences(hive);

    operations::Tally tally;
    for (qint64 n = start; n < start + cases; ++n) {
        QFile current(work + QStringLiteral("/current"));
        if (current.open(QIODevice::WriteOnly))
            current.write(QByteArray::number(n));
        current.close();
        try {
            // Now and then a large table: the same operations where a scan takes time.
            operations::cCase(seed, n, work, tally).Run(steps, n % 100 == 99 ? 100000 : -1);
        } catch (const std::exception& e) {
            tally.Findings << QStringLiteral("case %1: %2").arg(n).arg(QString::fromUtf8(e.what()));
            ++tally.Differences;
        }
    }
    std::printf("operations %lld, compared %lld, refused %lld, skipped %lld, differences %lld\n",
                qlonglong(tally.Operations), qlonglong(tally.Applied), qlonglong(tally.Refused),
                qlonglong(tally.Skipped), qlonglong(tally.Differences));
    for (auto k = tally.ByKind.begin(); k != tally.ByKind.end(); ++k)
        std::printf("  %s: %lld\n", qPrintable(k.key()), qlonglong(k.value()));
    std::printf("refusals by error:\n");
    for (auto k = tally.RefusedByKind.begin(); k != tally.RefusedByKind.end(); ++k)
        std::printf("  %s: %lld\n", qPrintable(k.key()), qlonglong(k.value()));
    for (const QString& finding : tally.Findings)
        std::printf("DIFFERENCE %s\n", finding.toUtf8().constData());
    return tally.Differences == 0 ? 0 : 1;
}

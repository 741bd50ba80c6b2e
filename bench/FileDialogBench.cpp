// How the file dialog copes with one folder of many files, against a plain QDir listing
// of the same folder in the same run:
//   FileDialogBench [FILES] [ROUNDS]
// Figures: time until the first entries are in the list, time until all are, the longest
// the event loop (and so the keyboard) was held up meanwhile, and how long a posted key
// waited before the list got it.
#include "mConvert.h"
#include "fFileOpen.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs the event loop until done() or timeoutMs.
template <typename Done>
void WaitFor(Done done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Notes when posted keys reach the list.
class KeyProbe : public QObject {
public:
    QElapsedTimer clock;
    std::vector<qint64> posted;
    double longestWaitMs = 0;
    size_t received = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && received < posted.size()) {
            longestWaitMs = std::max(longestWaitMs, (clock.nsecsElapsed() - posted[received]) / 1e6);
            ++received;
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QUARNEL_VOICE", "none");
    QApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    for (int index = 0; index < files; ++index) {
        // Nine in ten match the mask; a few folders among them.
        const QByteArray name = folder + '/' + QByteArray::number(index) + (index % 10 ? ".mdb" : ".txt");
        if (index % 1000 == 0)
            ::mkdir((folder + "/slozka" + QByteArray::number(index)).constData(), 0755);
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    const QString path = dir.path();

    std::vector<double> plain, first, full, stall, keyWait;
    qsizetype plainCount = 0, dialogCount = 0;
    fFileOpen form;
    form.Prepare(9, QStringLiteral("*.mdb|%1|Bench").arg(QDir::homePath()), 2601);
    form.show();
    WaitFor([&] { return form.isVisible(); }, 5000);
    form.ListView1->setFocus();
    WaitFor([&] { return !form.Model()->IsLoading(); }, 60000);

    for (int round = 0; round <= rounds; ++round) { // round 0 warms the caches
        QElapsedTimer timer;
        timer.start();
        const QFileInfoList baseline = QDir(path).entryInfoList({QStringLiteral("*.mdb")},
                                                                QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot,
                                                                QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
        const double plainMs = timer.nsecsElapsed() / 1e6;
        plainCount = baseline.size();

        KeyProbe probe;
        form.ListView1->installEventFilter(&probe);
        probe.clock.start();
        double longestGap = 0;
        qint64 lastTick = probe.clock.nsecsElapsed();
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const qint64 now = probe.clock.nsecsElapsed();
            longestGap = std::max(longestGap, (now - lastTick) / 1e6);
            lastTick = now;
        });
        QTimer keys;
        QObject::connect(&keys, &QTimer::timeout, [&] {
            probe.posted.push_back(probe.clock.nsecsElapsed());
            QCoreApplication::postEvent(form.ListView1, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
            QCoreApplication::postEvent(form.ListView1, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier));
        });
        heartbeat.start(0);
        keys.start(5);

        timer.restart();
        form.SetPath(path);
        double firstMs = -1;
        while (form.Model()->IsLoading() || form.Model()->rowCount() == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (firstMs < 0 && form.Model()->rowCount() > 0)
                firstMs = timer.nsecsElapsed() / 1e6;
            if (timer.elapsed() > 120000)
                break;
        }
        form.ListView1->viewport()->repaint(); // the first screen of entries drawn
        const double fullMs = timer.nsecsElapsed() / 1e6;
        if (firstMs < 0)
            firstMs = fullMs;
        keys.stop();
        QElapsedTimer settle;
        settle.start();
        WaitFor([&] { return settle.elapsed() >= 20; }, 20);
        heartbeat.stop();
        form.ListView1->removeEventFilter(&probe);
        dialogCount = form.Model()->rowCount();
        form.SetPath(QDir::homePath());
        WaitFor([&] { return !form.Model()->IsLoading(); }, 60000);
        if (round == 0)
            continue;
        plain.push_back(plainMs);
        first.push_back(firstMs);
        full.push_back(fullMs);
        stall.push_back(longestGap);
        keyWait.push_back(probe.longestWaitMs);
    }

    const double base = Median(plain);
    std::printf("folder: %d files (%lld listed by QDir, %lld by the dialog), %d rounds, medians\n", files,
                static_cast<long long>(plainCount), static_cast<long long>(dialogCount), rounds);
    std::printf("plain QDir listing (baseline)      %9.1f ms  ratio 1.00\n", base);
    std::printf("dialog: first entries shown        %9.1f ms  ratio %.2f\n", Median(first), Median(first) / base);
    std::printf("dialog: whole folder listed        %9.1f ms  ratio %.2f\n", Median(full), Median(full) / base);
    std::printf("longest event-loop stall meanwhile %9.1f ms  ratio %.2f\n", Median(stall), Median(stall) / base);
    std::printf("longest wait of a posted key       %9.1f ms  ratio %.2f\n", Median(keyWait), Median(keyWait) / base);
    return 0;
}

#pragma once

#include <QFile>
#include <QList>

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

} // namespace bench

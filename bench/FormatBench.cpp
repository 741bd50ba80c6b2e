// The grid formats every cell it shows. Each benchmark formats the same 1,000,000
// values; the summary gives each pattern's time as a multiple of the plain conversion
// of the same values in this run, which is what matters across machines.

#include "mConvert.h"
#include "mFormat.h"

#include <QCoreApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kValues = 1000000;

struct Values {
    std::vector<QVariant> numbers, dates, texts;
};

const Values& TestValues()
{
    static const Values values = [] {
        Values v;
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> amount(-1e6, 1e6);
        std::uniform_int_distribution<int> day(0, 80000);
        std::uniform_int_distribution<int> second(0, 86399);
        std::uniform_int_distribution<int> letter(0, 25);
        std::uniform_int_distribution<int> length(3, 20);
        v.numbers.reserve(kValues);
        v.dates.reserve(kValues);
        v.texts.reserve(kValues);
        for (int i = 0; i < kValues; ++i) {
            v.numbers.emplace_back(amount(random));
            v.dates.emplace_back(QDateTime(QDate(1900, 1, 1).addDays(day(random)),
                                           QTime::fromMSecsSinceStartOfDay(second(random) * 1000), Qt::UTC));
            QString text;
            for (int k = length(random); k > 0; --k)
                text += QChar(char16_t(u'a' + letter(random)));
            v.texts.emplace_back(text);
        }
        return v;
    }();
    return values;
}

const std::vector<QVariant>& Column(int which)
{
    const Values& v = TestValues();
    return which == 0 ? v.numbers : which == 1 ? v.dates : v.texts;
}

void Run(benchmark::State& state, int which, const QString& pattern)
{
    QLocale::setDefault(QLocale(QStringLiteral("cs_CZ")));
    const std::vector<QVariant>& values = Column(which);
    for (auto _ : state) {
        qsizetype total = 0;
        for (const QVariant& value : values)
            total += (pattern.isEmpty() ? ValueToText(value) : Format(value, pattern)).size();
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}

void BM_Plain_Number(benchmark::State& s) { Run(s, 0, QString()); }
void BM_Format_Number(benchmark::State& s) { Run(s, 0, QStringLiteral("#,##0.00;(#,##0.00);\\-")); }
void BM_Format_NumberNamed(benchmark::State& s) { Run(s, 0, QStringLiteral("Currency")); }
void BM_Plain_Date(benchmark::State& s) { Run(s, 1, QString()); }
void BM_Format_Date(benchmark::State& s) { Run(s, 1, QStringLiteral("dddd d. mmmm yyyy hh:nn")); }
void BM_Format_DateNamed(benchmark::State& s) { Run(s, 1, QStringLiteral("Short Date")); }
void BM_Plain_Text(benchmark::State& s) { Run(s, 2, QString()); }
void BM_Format_Text(benchmark::State& s) { Run(s, 2, QStringLiteral(">@@@@@-@@@@@")); }

// For scale: Qt's own conversion of the same numbers.
void BM_Reference_QLocaleNumber(benchmark::State& state)
{
    const QLocale locale(QStringLiteral("cs_CZ"));
    const std::vector<QVariant>& values = Column(0);
    for (auto _ : state) {
        qsizetype total = 0;
        for (const QVariant& value : values)
            total += locale.toString(value.toDouble(), 'f', 2).size();
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * qint64(values.size()));
}

#define QUARNEL_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Iterations(5)
QUARNEL_BENCH(BM_Plain_Number);
QUARNEL_BENCH(BM_Format_Number);
QUARNEL_BENCH(BM_Format_NumberNamed);
QUARNEL_BENCH(BM_Reference_QLocaleNumber);
QUARNEL_BENCH(BM_Plain_Date);
QUARNEL_BENCH(BM_Format_Date);
QUARNEL_BENCH(BM_Format_DateNamed);
QUARNEL_BENCH(BM_Plain_Text);
QUARNEL_BENCH(BM_Format_Text);

// Prints the usual table, then each benchmark against the plain conversion of its values.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                m_times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nCPU time per value relative to the plain conversion of the same values:\n");
        for (const auto& [name, time] : m_times) {
            const char* baseline = name.find("Date") != std::string::npos ? "BM_Plain_Date/iterations:5"
                                   : name.find("Text") != std::string::npos ? "BM_Plain_Text/iterations:5"
                                                                            : "BM_Plain_Number/iterations:5";
            const auto base = m_times.find(baseline);
            if (base != m_times.end() && base->second > 0)
                std::printf("  %-45s %6.2fx\n", name.c_str(), time / base->second);
        }
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

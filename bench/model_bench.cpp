// Event insertion and type lookup against plain containers doing the same
// work, measured in the same run; the figures that matter are the ratios
// printed at the end.

#include "model/event_types.h"
#include "model/events.h"

#include <QHash>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int64_t EventCount = 1'000'000;

std::vector<std::unique_ptr<TEvent>> MakeEvents(int64_t count, bool isRandomOrder) {
    std::vector<std::unique_ptr<TEvent>> events;
    events.reserve(static_cast<std::size_t>(count));
    std::mt19937 random(42);
    // About three events per millisecond, with ties, over some 5.5 minutes.
    std::uniform_int_distribution<int32_t> time(0, static_cast<int32_t>(count / 3));
    for (int64_t i = 0; i < count; ++i)
        events.push_back(
            std::make_unique<TEvent>(0, isRandomOrder ? time(random) : static_cast<int32_t>(i / 3)));
    return events;
}

// Runs `insert` over fresh events each iteration; building and destroying the
// events is not timed.
template <typename Insert> void RunInsertion(benchmark::State& state, bool isRandomOrder, Insert insert) {
    for (auto _ : state) {
        state.PauseTiming();
        auto events = MakeEvents(state.range(0), isRandomOrder);
        state.ResumeTiming();
        insert(events);
        state.PauseTiming();
        events.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_InOrder_PushBack(benchmark::State& state) {
    RunInsertion(state, false, [&](std::vector<std::unique_ptr<TEvent>>& events) {
        std::vector<std::unique_ptr<TEvent>> list;
        for (auto& event : events)
            list.push_back(std::move(event));
        benchmark::DoNotOptimize(list.data());
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    });
}

void BM_InOrder_InsertEvent(benchmark::State& state) {
    RunInsertion(state, false, [&](std::vector<std::unique_ptr<TEvent>>& events) {
        TEvents list;
        for (auto& event : events)
            list.InsertEvent(std::move(event));
        benchmark::DoNotOptimize(list.Count());
        state.PauseTiming();
        list.ClearEvents();
        state.ResumeTiming();
    });
}

void BM_Random_Multimap(benchmark::State& state) {
    RunInsertion(state, true, [&](std::vector<std::unique_ptr<TEvent>>& events) {
        std::multimap<int32_t, std::unique_ptr<TEvent>> list;
        for (auto& event : events) {
            const int32_t time = event->Time;
            list.emplace(time, std::move(event));
        }
        benchmark::DoNotOptimize(list.size());
        state.PauseTiming();
        list.clear();
        state.ResumeTiming();
    });
}

void BM_Random_InsertEvent(benchmark::State& state) {
    RunInsertion(state, true, [&](std::vector<std::unique_ptr<TEvent>>& events) {
        TEvents list;
        for (auto& event : events)
            list.InsertEvent(std::move(event));
        benchmark::DoNotOptimize(list.Count());
        state.PauseTiming();
        list.ClearEvents();
        state.ResumeTiming();
    });
}

void BM_Random_InsertMany(benchmark::State& state) {
    RunInsertion(state, true, [&](std::vector<std::unique_ptr<TEvent>>& events) {
        TEvents list;
        list.InsertMany(std::move(events));
        benchmark::DoNotOptimize(list.Count());
        state.PauseTiming();
        list.ClearEvents();
        state.ResumeTiming();
    });
}

constexpr int TypeCount = 1000;

QString TypeName(int index) {
    return QStringLiteral("Event type %1").arg(index);
}

// Names as a user might type them: another letter case than stored.
std::vector<QString> Queries() {
    std::vector<QString> queries;
    std::mt19937 random(7);
    for (int i = 0; i < 1024; ++i)
        queries.push_back(TypeName(static_cast<int>(random() % TypeCount)).toUpper());
    return queries;
}

void BM_FindType_QHash(benchmark::State& state) {
    QHash<QString, int32_t> index;
    for (int i = 0; i < TypeCount; ++i)
        index.insert(TypeName(i).toLower(), i);
    const auto queries = Queries();
    std::size_t next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(index.value(queries[next++ % queries.size()].toLower(), -1));
}

void BM_FindType_FindEventType(benchmark::State& state) {
    TEventTypes types;
    for (int i = 0; i < TypeCount; ++i)
        types.AddEventType(TEventType(TypeName(i)));
    const auto queries = Queries();
    std::size_t next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(types.FindEventType(queries[next++ % queries.size()]));
}

BENCHMARK(BM_InOrder_PushBack)->Arg(EventCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InOrder_InsertEvent)->Arg(EventCount)->Unit(benchmark::kMillisecond);
// Single insertions in random order move on average half the list each, so
// their cost grows with the square of the count: they are measured at sizes
// that finish in seconds and show the growth; bulk insertion at full size.
BENCHMARK(BM_Random_Multimap)
    ->Arg(25'000)
    ->Arg(50'000)
    ->Arg(100'000)
    ->Arg(EventCount)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Random_InsertMany)->Arg(EventCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Random_InsertEvent)
    ->Arg(25'000)
    ->Arg(50'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_FindType_QHash);
BENCHMARK(BM_FindType_FindEventType);

// Keeps every run's CPU time (steadier than real time on a shared machine) so
// the ratios can be printed after the table.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    TRatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatio(const std::string& subject, const std::string& baseline) const {
        const auto s = m_cpuTimes.find(subject);
        const auto b = m_cpuTimes.find(baseline);
        if (s == m_cpuTimes.end() || b == m_cpuTimes.end())
            return;
        std::printf("%-40s / %-32s = %8.2f\n", subject.c_str(), baseline.c_str(), s->second / b->second);
    }

private:
    std::map<std::string, double> m_cpuTimes;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios (CPU time of the model over CPU time of the baseline):\n");
    const std::string count = "/" + std::to_string(EventCount);
    reporter.PrintRatio("BM_InOrder_InsertEvent" + count, "BM_InOrder_PushBack" + count);
    reporter.PrintRatio("BM_Random_InsertMany" + count, "BM_Random_Multimap" + count);
    for (const char* n : {"/25000", "/50000", "/100000"})
        reporter.PrintRatio(std::string("BM_Random_InsertEvent") + n + "/iterations:1",
                            std::string("BM_Random_Multimap") + n);
    reporter.PrintRatio("BM_FindType_FindEventType", "BM_FindType_QHash");
    benchmark::Shutdown();
    return 0;
}

// How much longer than asked the support library's waits take (Lag and Sync count 100 ns ticks
// of the monotonic clock): the overshoot depends on the machine's load, so it is measured here
// rather than asserted by the tests.

#include <benchmark/benchmark.h>

#include <QLibrary>
#include <QString>

#include <chrono>
#include <cstdio>

#include "supportlib/TWL.h"

namespace {

using WaitFn = int(TWL_CALL*)(int);

QString libraryFile() {
    const QByteArray folder = qgetenv("TWL_APP_DIR");
    return (folder.isEmpty() ? QStringLiteral(TWL_APP_DIR) : QString::fromLocal8Bit(folder)) +
           QStringLiteral("/TWL.dll");
}

void waitOvershoot(benchmark::State& state, WaitFn wait) {
    const int ticks = static_cast<int>(state.range(0));
    double overshoot = 0;
    for (auto _ : state) {
        const auto before = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(wait(ticks));
        const auto elapsed = std::chrono::steady_clock::now() - before;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        overshoot += std::chrono::duration<double, std::micro>(elapsed).count() - ticks / 10.0;
    }
    state.counters["overshoot_us"] =
        benchmark::Counter(overshoot, benchmark::Counter::kAvgIterations);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QLibrary library(libraryFile());
    const auto lag = reinterpret_cast<WaitFn>(library.resolve("Lag"));
    const auto sync = reinterpret_cast<WaitFn>(library.resolve("Sync"));
    if (!lag || !sync) {
        std::fprintf(stderr, "bench_supportlib: %s\n", qPrintable(library.errorString()));
        return 1;
    }
    benchmark::RegisterBenchmark("Lag", waitOvershoot, lag)
        ->Arg(5'000)
        ->Arg(200'000)
        ->UseManualTime();
    benchmark::RegisterBenchmark("Sync", waitOvershoot, sync)->Arg(100'000)->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

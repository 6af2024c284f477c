// Open Show of shows with 1,000, 10,000 and 100,000 entries (or the sizes asked for) until the
// main window is idle, and in the same run the bare record-set open of each one's Entries_tbl, for
// the ratio of the two. The program is started once; each iteration closes the show untimed and
// opens it again (the OS file cache is warm). The first Open Show after start starts the program
// afresh for each iteration.

#include "BenchShow.h"
#include "BenchSizes.h"
#include "app/Application.h"
#include "shell/ShowFileCommands.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "tests/support/CapturePrinter.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct OpenShowFixture {
    BenchFolder folder;
    std::map<int, QString> shows; // by number of entries
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2026, 4, 18)};
    CapturePrinter printer;
    twl::Seams services{prompt, files, clock, printer};
    std::unique_ptr<twl::Application> program;

    explicit OpenShowFixture(const std::vector<int>& sizes) {
        for (int entries : sizes)
            shows[entries] = writeBenchShow(folder, QStringLiteral("Spring%1.twl").arg(entries),
                                            entries, benchExhibitorsFor(entries));
        store::releaseAllConnections();
        startProgram();
    }

    void startProgram() {
        program = std::make_unique<twl::Application>(services, folder.path());
        if (!program->start())
            throw std::runtime_error("the program did not start");
        drainEvents();
    }

    // A program started as the user starts it: no file keyed, no connection kept.
    void restartProgram() {
        program.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        store::releaseAllConnections();
        store::forgetDerivedKeys();
        startProgram();
    }
};

std::vector<int> benchSizes;

OpenShowFixture& fixture() {
    static OpenShowFixture instance(benchSizes);
    return instance;
}

// Times Open Show of the show until the main window is idle, then closes it untimed.
void timeOpenShow(OpenShowFixture& f, const QString& show, benchmark::State& state) {
    const auto start = std::chrono::steady_clock::now();
    f.program->shared().session.RequestedPath = show;
    f.program->showFiles()->openShow();
    drainEvents();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    if (f.program->shared().session.ShowPath != show || !f.prompt.shown().empty())
        throw std::runtime_error("the show did not open");
    f.program->showFiles()->closeShow();
    drainEvents();
}

// Runs the iterations of an Open Show benchmark; `beforeEach` runs untimed before each one.
template <typename BeforeEach>
void openShowIterations(benchmark::State& state, BeforeEach beforeEach) {
    try {
        OpenShowFixture& f = fixture();
        const QString& show = f.shows.at(int(state.range(0)));
        for (auto _ : state) {
            beforeEach(f);
            timeOpenShow(f, show, state);
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void openShowUntilIdle(benchmark::State& state) {
    openShowIterations(state, [](OpenShowFixture&) {});
}

// The first Open Show after the program started: nothing of the show is keyed or cached yet.
// Each iteration starts the program afresh (untimed) and times Open Show until the main window is
// idle.
void firstOpenAfterStart(benchmark::State& state) {
    openShowIterations(state, [](OpenShowFixture& f) { f.restartProgram(); });
}

void recordSetOpenOfEntries(benchmark::State& state) {
    try {
        OpenShowFixture& f = fixture();
        const int expected = int(state.range(0));
        const QString connection =
            store::dataConnectionText(f.shows.at(expected), dataFilePassword());
        for (auto _ : state) {
            store::RecordSet entries;
            entries.open(QStringLiteral("SELECT * FROM Entries_tbl"), connection);
            if (entries.recordCount() != expected)
                throw std::runtime_error("unexpected number of entries");
            benchmark::DoNotOptimize(entries.recordCount());
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchSizes = takeBenchSizes(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (int entries : benchSizes) {
        benchmark::RegisterBenchmark("BM_RecordSetOpenEntries", recordSetOpenOfEntries)
            ->Arg(entries)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_FirstOpenShow", firstOpenAfterStart)
            ->Arg(entries)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(5);
        benchmark::RegisterBenchmark("BM_OpenShowUntilIdle", openShowUntilIdle)
            ->Arg(entries)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The program is destroyed without closing its window: no exit steps in a benchmark.
    fixture().program.reset();
    return 0;
}

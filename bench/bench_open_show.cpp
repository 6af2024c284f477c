// Open Show of a show with 10,000 entries until the main window is idle, and in the same run the
// bare record-set open of its Entries_tbl, for the ratio of the two. The program is started once;
// each iteration closes the show untimed and opens it again (the OS file cache is warm).

#include "BenchShow.h"
#include "shell/Application.h"
#include "shell/ShowFileCommands.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

struct OpenShowFixture {
    BenchFolder folder;
    QString show;
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2026, 4, 18)};
    twl::Seams services{prompt, files, clock};
    std::unique_ptr<twl::Application> program;

    OpenShowFixture() {
        show = writeBenchShow(folder, QStringLiteral("Spring.twl"), 10000, 1500);
        store::releaseAllConnections();
        program = std::make_unique<twl::Application>(services, folder.path());
        if (!program->start())
            throw std::runtime_error("the program did not start");
    }
};

OpenShowFixture& fixture() {
    static OpenShowFixture instance;
    return instance;
}

void openShowUntilIdle(benchmark::State& state) {
    try {
        OpenShowFixture& f = fixture();
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            f.program->shared().session.RequestedPath = f.show;
            f.program->showFiles()->openShow();
            drainEvents();
            const auto elapsed = std::chrono::steady_clock::now() - start;
            state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
            if (f.program->shared().session.ShowPath != f.show || !f.prompt.shown().empty())
                throw std::runtime_error("the show did not open");
            f.program->showFiles()->closeShow();
            drainEvents();
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void recordSetOpenOfEntries(benchmark::State& state) {
    try {
        OpenShowFixture& f = fixture();
        const QString connection = store::dataConnectionText(f.show, dataFilePassword());
        for (auto _ : state) {
            store::RecordSet entries;
            entries.open(QStringLiteral("SELECT * FROM Entries_tbl"), connection);
            if (entries.recordCount() != 10000)
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("BM_RecordSetOpenEntries", recordSetOpenOfEntries)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_OpenShowUntilIdle", openShowUntilIdle)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The program is destroyed without closing its window: no exit steps in a benchmark.
    fixture().program.reset();
    return 0;
}

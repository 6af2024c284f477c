// The entry screen on shows of 150 classes and 1,000, 10,000 and 100,000 entries (or the sizes
// asked for, bench/BenchSizes.h): the whole add cycle (OK with one class: validation, the batch
// write, the Cancel routine with SortAndRefresh, CalEntries), the update cycle (Update after a
// changed horse name while the list is sorted by horse name, so that the entry moves), a View sort
// change, a search in every text field, and moving to the next record (fields, Grid_E, class
// name). The program is started once and opens each size's show in turn;
// each iteration's own time is kept, and the median, the 90th percentile and the spread of those
// times are reported beside Google Benchmark's mean.

#include "BenchMemory.h"
#include "BenchShow.h"
#include "BenchSizes.h"
#include "app/Application.h"
#include "entries/SearchRules.h"
#include "entries/ui/EntryScreen.h"
#include "entries/ui/SearchList.h"
#include "shell/DisplayModes.h"
#include "shell/ShowFileCommands.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "tests/support/CapturePrinter.h"
#include "tests/support/ReadyDisplay.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct EntryBench {
    BenchFolder folder;
    std::map<int, QString> shows; // by number of entries in the file as written
    int openSize = 0;
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2026, 4, 18)};
    CapturePrinter printer;
    twl::Seams services{prompt, files, clock, printer};
    std::unique_ptr<twl::Application> program;
    twl::EntryScreen* screen = nullptr;
    int added = 0;

    explicit EntryBench(const std::vector<int>& sizes) {
        for (int entries : sizes)
            shows[entries] = writeBenchShow(folder, QStringLiteral("Spring%1.twl").arg(entries),
                                            entries, benchExhibitorsFor(entries));
        store::releaseAllConnections();
        program = std::make_unique<twl::Application>(services, folder.path());
        program->setDisplay(std::make_unique<ReadyDisplay>(),
                            [](const twl::DisplayMode&) { return true; });
        if (!program->start())
            throw std::runtime_error("the program did not start");
        screen = program->mainWindow()->findChild<twl::EntryScreen*>();
        if (!screen)
            throw std::runtime_error("the program has no entry screen");
    }
    // Opens the show of a size unless it is open already (the benchmarks of a size run in turn).
    void use(int size) {
        if (openSize == size)
            return;
        if (openSize != 0) {
            program->showFiles()->closeShow();
            drainEvents();
        }
        program->shared().session.RequestedPath = shows.at(size);
        program->showFiles()->openShow();
        drainEvents();
        openSize = size;
        if (screen->entryCount() < size)
            throw std::runtime_error("the sample show did not open with its entries");
    }
    ~EntryBench() {
        program.reset();
        store::releaseAllConnections();
    }
};

// Per-iteration times in milliseconds, reported as counters.
class Samples {
public:
    template <typename Work> void time(benchmark::State& state, Work work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        m_ms.push_back(elapsed.count() * 1000.0);
    }
    void report(benchmark::State& state) {
        if (m_ms.empty())
            return;
        std::vector<double> sorted = m_ms;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&](double q) {
            return sorted[std::size_t(q * double(sorted.size() - 1))];
        };
        const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / sorted.size();
        double variance = 0;
        for (double ms : sorted)
            variance += (ms - mean) * (ms - mean);
        const double deviation = std::sqrt(variance / sorted.size());
        state.counters["median_ms"] = at(0.5);
        state.counters["p10_ms"] = at(0.1);
        state.counters["p90_ms"] = at(0.9);
        state.counters["cv_pct"] = mean > 0 ? 100.0 * deviation / mean : 0;
    }

private:
    std::vector<double> m_ms;
};

void addCycle(benchmark::State& state, EntryBench& f) {
    try {
        f.use(int(state.range(0)));
        twl::EntryForm& form = f.screen->form();
        Samples samples;
        for (auto _ : state) {
            // Typing is the user's time: the form is filled untimed.
            f.screen->beginAdding();
            const int n = f.added++;
            const QStringList texts{QString::number(2000 + n % 30000),
                                    "Bench Horse",
                                    "Bench Rider",
                                    "R-1",
                                    QString::number(1 + n % 150),
                                    "",
                                    "",
                                    "Bench Owner",
                                    "TX",
                                    "",
                                    "",
                                    "",
                                    ""};
            for (int i = 0; i < texts.size(); ++i)
                form.setText(i, texts[i]);
            drainEvents();
            samples.time(state, [&] { f.screen->commands().accept(); });
            if (!f.program->mainWindow()->lastActionLabel()->text().contains("was added"))
                throw std::runtime_error("the entry was not added");
            drainEvents();
        }
        samples.report(state);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void updateCycle(benchmark::State& state, EntryBench& f) {
    try {
        f.use(int(state.range(0)));
        f.program->mainWindow()->command(QStringLiteral("mnuViewSortHorseNa"))->trigger();
        drainEvents();
        f.program->dataSources().priAdo.moveFirst();
        drainEvents();
        twl::EntryForm& form = f.screen->form();
        Samples samples;
        int n = 0;
        for (auto _ : state) {
            // The new name moves the entry through the list: first, middle, last.
            const char* names[] = {"Aardvark %1", "Maverick Bench %1", "Zephyr %1"};
            form.setText(twl::HorseNameField, QString::fromLatin1(names[n % 3]).arg(n));
            ++n;
            drainEvents();
            samples.time(state, [&] { f.screen->commands().update(); });
            if (!f.program->mainWindow()->lastActionLabel()->text().contains("was updated"))
                throw std::runtime_error("the entry was not updated");
            drainEvents();
        }
        samples.report(state);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void sortChange(benchmark::State& state, EntryBench& f) {
    try {
        f.use(int(state.range(0)));
        const bool byClass = state.range(1) == 1;
        QAction* item = f.program->mainWindow()->command(
            QString::fromLatin1(byClass ? "mnuViewSortClass" : "mnuViewSortExhNa"));
        // Each timed change comes from the other order, so that every one really sorts.
        QAction* other = f.program->mainWindow()->command(
            QString::fromLatin1(byClass ? "mnuViewSortExhNa" : "mnuViewSortClass"));
        Samples samples;
        for (auto _ : state) {
            other->trigger();
            drainEvents();
            samples.time(state, [&] { item->trigger(); });
            drainEvents();
        }
        samples.report(state);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void nextRecord(benchmark::State& state, EntryBench& f) {
    try {
        f.use(int(state.range(0)));
        store::DataSource& priAdo = f.program->dataSources().priAdo;
        Samples samples;
        for (auto _ : state) {
            if (priAdo.recordSet().absolutePosition() >= priAdo.recordSet().recordCount())
                priAdo.moveFirst();
            samples.time(state, [&] { priAdo.moveNext(); });
            drainEvents();
        }
        if (f.program->mainWindow()->findChild<QLineEdit*>("TXT1_0")->text().isEmpty())
            throw std::runtime_error("the form shows no entry");
        samples.report(state);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

// Edit / Search for "a" in every text field (every box but the two number boxes) until the
// Search tab shows the result, from a list that shows nothing; the resident memory the search list
// holds while it shows the result is a counter. With `afterAWrite`, one entry is written before
// each search (untimed), so that the search reads the entries from the file again, as the first
// search after an add or an update does.
void searchAllFields(benchmark::State& state, EntryBench& f, bool afterAWrite = false) {
    try {
        f.use(int(state.range(0)));
        auto* found = f.screen->findChild<twl::SearchList*>();
        if (!found)
            throw std::runtime_error("the entry screen has no search list");
        twl::SearchList& search = *found;
        // Every box that takes a text: a number box refuses "a".
        twl::SearchTicks ticks{};
        for (int box = 0; box < twl::SearchFieldCount; ++box) {
            twl::SearchTicks one{};
            one[std::size_t(box)] = true;
            ticks[std::size_t(box)] =
                twl::buildSearchFilter(QStringLiteral("a"), one).invalidBox < 0;
        }
        const QString filter = twl::buildSearchFilter(QStringLiteral("a"), ticks).filter;
        Samples samples;
        double heldMB = 0;
        int writes = 0;
        for (auto _ : state) {
            search.apply(twl::emptySearchListFilter(), true);
            drainEvents();
            if (afterAWrite)
                store::execute(f.program->shared().session.ShowConnString,
                               QStringLiteral("UPDATE Entries_tbl SET [Misc ID] = 'W%1' WHERE "
                                              "_rowid_ = (SELECT MIN(_rowid_) FROM Entries_tbl)")
                                   .arg(++writes));
            const double before = benchmemory::heldMegabytes();
            samples.time(state, [&] {
                search.apply(filter, true);
                drainEvents();
            });
            heldMB = std::max(heldMB, benchmemory::heldMegabytes() - before);
            if (!search.hasRows())
                throw std::runtime_error("the search found nothing");
        }
        state.counters["heldMB"] = heldMB;
        samples.report(state);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::vector<int> sizes = takeBenchSizes(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::unique_ptr<EntryBench> bench;
    try {
        bench = std::make_unique<EntryBench>(sizes);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_entries: %s\n", error.what());
        return 1;
    }
    EntryBench& f = *bench;
    // Every benchmark of one size runs before the next size's show is opened.
    for (int size : sizes) {
        benchmark::RegisterBenchmark("BM_AddCycle", [&f](benchmark::State& s) { addCycle(s, f); })
            ->Arg(size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(60);
        benchmark::RegisterBenchmark("BM_UpdateCycle",
                                     [&f](benchmark::State& s) { updateCycle(s, f); })
            ->Arg(size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(60);
        benchmark::RegisterBenchmark("BM_SortChange",
                                     [&f](benchmark::State& s) { sortChange(s, f); })
            ->Args({size, 1})
            ->Args({size, 3})
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(60);
        benchmark::RegisterBenchmark("BM_SearchAllFields",
                                     [&f](benchmark::State& s) { searchAllFields(s, f); })
            ->Arg(size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(10);
        benchmark::RegisterBenchmark("BM_SearchAfterAWrite",
                                     [&f](benchmark::State& s) { searchAllFields(s, f, true); })
            ->Arg(size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(10);
        benchmark::RegisterBenchmark("BM_NextRecord",
                                     [&f](benchmark::State& s) { nextRecord(s, f); })
            ->Arg(size)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(500);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench.reset();
    return 0;
}

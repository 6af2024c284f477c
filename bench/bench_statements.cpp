// The office's printouts over a sample show of 10,000 entries of 2,000 exhibitors in 150
// classes, every exhibitor with a charge and two payments and a payout row for every tenth
// entry: BM_AllStatementsToPdf makes the statement of every exhibitor (each on pages of its own)
// and writes the PDF; BM_BalancesDue makes the list of balances. The counter peak_rss_mb is the
// process's peak resident memory (the sample show's writing included), checked against 200 MB.

#include "BenchOfficeLines.h"
#include "BenchShow.h"
#include "reports/ReportDefinitions.h"
#include "reports/ReportPainter.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/Transaction.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <sys/resource.h>

namespace {

constexpr int Entries = 10000;
constexpr int Exhibitors = 2000;

struct StatementsBench {
    BenchFolder folder;
    reports::ReportContext context;

    StatementsBench() {
        const QString show =
            writeBenchShow(folder, QStringLiteral("Statements.twl"), Entries, Exhibitors);
        addOfficeLines(show, Exhibitors);
        context.showPath = show;
        context.password = dataFilePassword();
        context.ShoName = QStringLiteral("Buckeye Spring Classic");
        context.ShoCity = QStringLiteral("Columbus");
        context.ShoState = QStringLiteral("OH");
        context.DateOfEvent = QDate(2026, 4, 18);
        context.printDate = QDate(2026, 4, 19);
        context.OrgName = QStringLiteral("Buckeye Horse Club");
    }
};

StatementsBench& bench() {
    static StatementsBench instance;
    return instance;
}

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void allStatementsToPdf(benchmark::State& state) {
    try {
        const reports::ReportContext& context = bench().context;
        const QString pdf = bench().folder.file(QStringLiteral("Statements.pdf"));
        int pages = 0;
        for (auto _ : state) {
            const reports::ReportResult statements =
                reports::makeReport(*reports::findReport(reports::kind::AllStatements), context);
            reports::writePdf(statements.pages, pdf);
            pages = statements.pages.pageCount();
        }
        state.counters["pages"] = pages;
        state.counters["peak_rss_mb"] = peakResidentMegabytes();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void balancesDue(benchmark::State& state) {
    try {
        for (auto _ : state)
            benchmark::DoNotOptimize(
                reports::makeReport(*reports::findReport(reports::kind::BalancesDue),
                                    bench().context)
                    .pages.pageCount());
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("BM_AllStatementsToPdf", allStatementsToPdf)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1)
        ->Repetitions(3);
    benchmark::RegisterBenchmark("BM_BalancesDue", balancesDue)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The office's printouts over a sample show of 10,000 entries of 2,000 exhibitors in 150
// classes, every exhibitor with a charge and two payments and a payout row for every tenth
// entry: BM_AllStatementsToPdf makes the statement of every exhibitor (each on pages of its own)
// and writes the PDF; BM_BalancesDue makes the list of balances. The counter peak_rss_mb is the
// process's peak resident memory (the sample show's writing included), checked against 200 MB.

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

void addOfficeLines(const QString& show) {
    auto connection = store::connectionForFile(show, dataFilePassword());
    store::Transaction transaction(*connection);
    store::Statement charge = connection->prepare(QStringLiteral(
        "INSERT INTO Charges_tbl ([Show Exh No], [Written At], [Charge Kind], [Amount Cents]) "
        "VALUES (?, '2026-04-18 09:00:00', 'Stall', 4500)"));
    store::Statement payment = connection->prepare(QStringLiteral(
        "INSERT INTO Payments_tbl ([Show Exh No], [Written At], [Pay Method], [Amount Cents]) "
        "VALUES (?, '2026-04-18 10:00:00', 'Cash', 2000)"));
    for (int exhibitor = 1; exhibitor <= Exhibitors; ++exhibitor) {
        for (store::Statement* line : {&charge, &payment, &payment}) {
            line->reset();
            line->bind(1, store::Value(exhibitor));
            line->step();
        }
    }
    store::Statement payout = connection->prepare(QStringLiteral(
        "INSERT INTO PayOut_tbl ([PY Class No], [PY Exh No], [PY Exh Nam], [PY Place], [PY Amt]) "
        "SELECT [Class No], [Show Exh No], [Show Exh Nam], 1, 27.5 FROM Entries_tbl "
        "WHERE rowid % 10 = 0"));
    payout.step();
    transaction.commit();
}

struct StatementsBench {
    BenchFolder folder;
    reports::ReportContext context;

    StatementsBench() {
        const QString show =
            writeBenchShow(folder, QStringLiteral("Statements.twl"), Entries, Exhibitors);
        addOfficeLines(show);
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

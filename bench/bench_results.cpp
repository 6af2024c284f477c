// The results export of a show of 10,000 entries with all 150 classes ended (read, written as
// the page and the three CSV files), and the points statement of a member with 200 credits
// (ledger read, report laid out).

#include "reports/ReportDefinitions.h"
#include "reports/ResultsExport.h"
#include "store/Connection.h"
#include "store/PointsLedger.h"
#include "store/Transaction.h"
#include "tests/support/ReportShow.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

void BM_ExportResults10k(benchmark::State& state) {
    TestFolder folder;
    ReportShow show(folder);
    show.generate(150, 10000, 1000, 150);
    reports::ReportContext context;
    context.showPath = show.path();
    context.password = QString::fromLatin1(TestFolder::Password);
    context.ShoName = QStringLiteral("Buckeye Spring Classic");
    context.DateOfEvent = QDate(2005, 6, 18);
    context.TotClassUsed = 150;
    QTemporaryDir out;
    for (auto _ : state) {
        const auto files = reports::results::writeResults(
            reports::results::readShowResults(context), out.path(), QStringLiteral("Show"));
        benchmark::DoNotOptimize(files);
    }
}

void BM_PointsStatement200(benchmark::State& state) {
    TestFolder folder;
    reports::ReportContext context;
    context.organisationConnection = store::dataConnectionText(
        folder.file(QStringLiteral("TWL.org")), QString::fromLatin1(TestFolder::Password));
    context.printDate = QDate(2005, 6, 19);
    context.ReportSubject = QStringLiteral("M00001");
    auto organisation = store::connectionFor(context.organisationConnection);
    {
        store::Transaction transaction(*organisation);
        organisation->execute(
            QStringLiteral("INSERT INTO Members_tbl ([Mem Num], [Mem Nam], [Mem Points]) "
                           "VALUES ('M00001', 'Anna Brooks', 1000)"));
        // 200 credits of the member among those of 999 others, and a closed season.
        for (int season = 0; season <= 1; ++season) {
            std::vector<store::PointsLedger::Credit> credits;
            for (int i = 0; i < 200 * 1000; i += 1)
                credits.push_back({QStringLiteral("M%1").arg(1 + i % 1000, 5, 10, QLatin1Char('0')),
                                   QStringLiteral("Show %1").arg(i / 1000), QDate(2005, 6, 18),
                                   1 + i % 150, QStringLiteral("Class %1").arg(i % 150), 1 + i % 4,
                                   12, 5, 1.5, 7.5});
            store::PointsLedger::append(*organisation, {}, credits);
            if (season == 0)
                store::PointsLedger::closeSeason(*organisation);
        }
        transaction.commit();
    }
    const reports::ReportDefinition& report = *reports::findReport(reports::kind::PointsStatement);
    for (auto _ : state) {
        const reports::ReportResult result = reports::makeReport(report, context);
        benchmark::DoNotOptimize(result);
    }
}

} // namespace

BENCHMARK(BM_ExportResults10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointsStatement200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

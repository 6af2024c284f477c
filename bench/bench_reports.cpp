// The score sheet of a class of 400 entries (data, layout and every page as PDF; and its first
// page shown in the preview), the payout sheet, and the shaping evaluator's count form over
// 10,000 entries against opening a plain record set of the same query in the same run.

#include "reports/ReportPainter.h"
#include "reports/SheetReports.h"
#include "reports/ui/ReportPreview.h"
#include "shell/Services.h"
#include "store/RecordSet.h"
#include "store/Shape.h"
#include "tests/support/CapturePrinter.h"
#include "tests/support/ReportShow.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

constexpr int ScoreClass = 12;
constexpr int ScoreEntries = 400;
constexpr int PayoutClass = 3;
const QString EntriesQuery = QStringLiteral("SELECT * FROM Entries_tbl");
const QString CountForm = QStringLiteral(
    "SHAPE {SELECT * FROM Entries_tbl} AS E COMPUTE COUNT(E.'Show Exh No') AS RecCnt, E");

// A show of 150 classes: class 12 has 400 entries, classes 1 to 5 are ended and paid.
class ReportBenchShow {
public:
    explicit ReportBenchShow(int entries) : m_show(m_folder) {
        m_show.generate(150, entries, std::max(60, entries / 10), 5);
        store::Transaction transaction(m_show.connection());
        for (int i = 0; i < ScoreEntries; ++i)
            m_show.addEntry({1000 + i, QStringLiteral("Score Sheet Exhibitor %1").arg(i), ScoreClass,
                             QStringLiteral("Horse %1").arg(i), QStringLiteral("Owner %1").arg(i),
                             QStringLiteral("OH"), QStringLiteral("A%1").arg(i), QStringLiteral("R%1").arg(i)});
        transaction.commit();
        m_context.showPath = m_show.path();
        m_context.password = QString::fromLatin1(TestFolder::Password);
        m_context.ShoName = QStringLiteral("Buckeye Spring Classic");
        m_context.DateOfEvent = QDate(2005, 6, 18);
        m_context.printDate = QDate(2005, 6, 19);
    }
    const reports::ReportContext& context() const { return m_context; }
    QString connectionText() const {
        return store::reportConnectionText(m_show.path(), QString::fromLatin1(TestFolder::Password));
    }

private:
    TestFolder m_folder;
    ReportShow m_show;
    reports::ReportContext m_context;
};

ReportBenchShow& sheetShow() {
    static ReportBenchShow show(2000);
    return show;
}

void BM_ScoreSheetToPdf(benchmark::State& state) {
    const auto& show = sheetShow();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const reports::ReportResult sheet = reports::scoreSheet(show.context(), ScoreClass);
        bytes = reports::pdfDocument(sheet.pages).size();
        state.counters["pages"] = sheet.pages.pageCount();
    }
    benchmark::DoNotOptimize(bytes);
}

void BM_ScoreSheetFirstPreviewPage(benchmark::State& state) {
    const auto& show = sheetShow();
    twl::TWL_public shared;
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2005, 6, 19)};
    CapturePrinter printer;
    twl::Services services{prompt, files, clock, printer, shared};
    QWidget mainWindow;
    mainWindow.setGeometry(0, 0, 1000, 740);
    for (auto _ : state) {
        const reports::ReportResult sheet = reports::scoreSheet(show.context(), ScoreClass);
        reports::ReportPreview preview(sheet.pages, services, &mainWindow);
        // The page as it comes on the screen: painted into the window's backing image.
        const QPixmap shown = preview.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
}

void BM_PayoutSheetToPdf(benchmark::State& state) {
    const auto& show = sheetShow();
    for (auto _ : state) {
        const reports::ReportResult sheet = reports::payoutSheet(show.context(), PayoutClass);
        benchmark::DoNotOptimize(reports::pdfDocument(sheet.pages).size());
    }
}

ReportBenchShow& countShow() {
    static ReportBenchShow show(10000);
    return show;
}

void BM_RecordSetOpen10k(benchmark::State& state) {
    const QString connection = countShow().connectionText();
    for (auto _ : state) {
        store::RecordSet rows;
        rows.open(EntriesQuery, connection);
        benchmark::DoNotOptimize(rows.recordCount());
    }
}

void BM_ShapeCountForm10k(benchmark::State& state) {
    const QString connection = countShow().connectionText();
    for (auto _ : state) {
        const store::ShapedRows rows = store::shape(CountForm, connection);
        benchmark::DoNotOptimize(rows.value(0, QStringLiteral("RecCnt")).toInt());
    }
}

} // namespace

BENCHMARK(BM_ScoreSheetToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreSheetFirstPreviewPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PayoutSheetToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordSetOpen10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShapeCountForm10k)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The score sheet of a class of 400 entries (data, layout and every page as PDF; and its first
// page shown in the preview), the payout sheet, the shaping evaluator's count form over 10,000
// entries against opening a plain record set of the same query in the same run, the end of
// show report of 150 classes and 10,000 entries (data and layout; every page as PDF; the peak
// memory of the process as a counter; its plain-text export), and the member roster of 5,000
// members as PDF.

#include "common/Services.h"
#include "reports/ReportDefinitions.h"
#include "reports/ReportPainter.h"
#include "reports/TextExport.h"
#include "reports/ui/ReportPreview.h"
#include "store/RecordSet.h"
#include "store/Shape.h"
#include "tests/support/CapturePrinter.h"
#include "tests/support/ReportShow.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

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
            m_show.addEntry({1000 + i, QStringLiteral("Score Sheet Exhibitor %1").arg(i),
                             ScoreClass, QStringLiteral("Horse %1").arg(i),
                             QStringLiteral("Owner %1").arg(i), QStringLiteral("OH"),
                             QStringLiteral("A%1").arg(i), QStringLiteral("R%1").arg(i)});
        transaction.commit();
        m_context.showPath = m_show.path();
        m_context.password = QString::fromLatin1(TestFolder::Password);
        m_context.ShoName = QStringLiteral("Buckeye Spring Classic");
        m_context.DateOfEvent = QDate(2005, 6, 18);
        m_context.printDate = QDate(2005, 6, 19);
        m_context.TotClassUsed = 150;
        m_context.averagePerClass = entries / 150.0;
        m_context.ScoreClass = ScoreClass;
        m_context.PayoutClass = PayoutClass;
        m_context.organisationConnection = store::dataConnectionText(
            m_folder.file(QStringLiteral("TWL.org")), QString::fromLatin1(TestFolder::Password));
    }
    // Members M00001 ... of the organisation file.
    void addMembers(int count) {
        const auto organisation = store::connectionFor(m_context.organisationConnection);
        store::Transaction transaction(*organisation);
        store::Statement insert = organisation->prepare(QStringLiteral(
            "INSERT INTO Members_tbl ([Mem Num], [Mem Nam], [Mem City], [Mem State], [Mem Horse], "
            "[Mem Points]) VALUES (?, ?, ?, ?, ?, ?)"));
        for (int i = 1; i <= count; ++i) {
            insert.reset();
            insert.bind(1, store::Value(QStringLiteral("M%1").arg(i, 5, 10, QLatin1Char('0'))));
            insert.bind(2, store::Value(QStringLiteral("Member Number %1").arg(i)));
            insert.bind(3, store::Value(QStringLiteral("Columbus")));
            insert.bind(4, store::Value(QStringLiteral("OH")));
            insert.bind(5, store::Value(QStringLiteral("Horse %1").arg(i)));
            insert.bind(6, store::Value(double(i % 40) / 2));
            insert.step();
        }
        transaction.commit();
    }
    const reports::ReportContext& context() const { return m_context; }
    QString connectionText() const {
        return store::reportConnectionText(m_show.path(),
                                           QString::fromLatin1(TestFolder::Password));
    }

private:
    TestFolder m_folder;
    ReportShow m_show;
    reports::ReportContext m_context;
};

reports::ReportResult make(int kind, const reports::ReportContext& context) {
    return reports::makeReport(*reports::findReport(kind), context);
}

ReportBenchShow& sheetShow() {
    static ReportBenchShow show(2000);
    return show;
}

void BM_ScoreSheetToPdf(benchmark::State& state) {
    const auto& show = sheetShow();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const reports::ReportResult sheet = make(reports::kind::ScoreSheet, show.context());
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
        const reports::ReportResult sheet = make(reports::kind::ScoreSheet, show.context());
        reports::ReportPreview preview(sheet.pages, services, &mainWindow);
        // The page as it comes on the screen: painted into the window's backing image.
        const QPixmap shown = preview.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
}

void BM_PayoutSheetToPdf(benchmark::State& state) {
    const auto& show = sheetShow();
    for (auto _ : state) {
        const reports::ReportResult sheet = make(reports::kind::PayoutSheet, show.context());
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

ReportBenchShow& endOfShowShow() {
    static ReportBenchShow show(10000);
    return show;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_EndOfShowReport10k(benchmark::State& state) {
    const auto& show = endOfShowShow();
    for (auto _ : state) {
        const reports::ReportResult report = make(reports::kind::EndOfShow, show.context());
        state.counters["pages"] = report.pages.pageCount();
    }
    state.counters["peakMB"] = peakMegabytes();
}

void BM_EndOfShowReportToPdf10k(benchmark::State& state) {
    const auto& show = endOfShowShow();
    for (auto _ : state) {
        const reports::ReportResult report = make(reports::kind::EndOfShow, show.context());
        benchmark::DoNotOptimize(reports::pdfDocument(report.pages).size());
    }
    state.counters["peakMB"] = peakMegabytes();
}

// The plain-text export of the end of show report's pages (the report made once, outside the
// timing).
void BM_EndOfShowPlainText10k(benchmark::State& state) {
    const reports::ReportResult report = make(reports::kind::EndOfShow, endOfShowShow().context());
    for (auto _ : state)
        benchmark::DoNotOptimize(reports::plainText(report.pages).size());
    state.counters["pages"] = report.pages.pageCount();
}

ReportBenchShow& rosterShow() {
    static ReportBenchShow show(100);
    static const bool filled = (show.addMembers(5000), true);
    Q_UNUSED(filled);
    return show;
}

void BM_MemberRosterToPdf5000(benchmark::State& state) {
    const auto& show = rosterShow();
    for (auto _ : state) {
        const reports::ReportResult roster = make(reports::kind::MemberRoster, show.context());
        state.counters["pages"] = roster.pages.pageCount();
        benchmark::DoNotOptimize(reports::pdfDocument(roster.pages).size());
    }
}

} // namespace

BENCHMARK(BM_EndOfShowReport10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndOfShowReportToPdf10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndOfShowPlainText10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemberRosterToPdf5000)->Unit(benchmark::kMillisecond);
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

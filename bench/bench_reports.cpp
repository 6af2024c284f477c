// The reports on shows of 150 classes at the benchmark sizes (bench/BenchSizes.h):
// - the end of show report and the show roster: data and layout (`EndOfShowLayout`,
//   `ShowRosterLayout`), and the command until the preview has painted its first page
//   (`EndOfShowFirstPage`, `ShowRosterFirstPage`);
// - the end of show report to PDF (`EndOfShowToPdf`), with the highest resident memory of the
//   process while it is made (`peakMB`);
// - the memory a closed preview leaves behind (`PreviewMemory`): resident memory after one
//   end of show preview and after five;
// - the member roster of 20,000 members to PDF (`MemberRosterToPdf`);
// and on fixed shows: the score sheet of a class of 400 entries (to PDF, and its first page in
// the preview), the payout sheet, the shaping evaluator's count form over 10,000 entries against
// opening a plain record set of the same query in the same run, and the plain-text export of the
// end of show report of 10,000 entries.

#include "BenchMemory.h"
#include "BenchSizes.h"
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
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

constexpr int ScoreClass = 12;
constexpr int ScoreEntries = 400;
constexpr int PayoutClass = 3;
constexpr int RosterMembers = 20000;
constexpr int PreviewsAfterFirst = 4;
const QString EntriesQuery = QStringLiteral("SELECT * FROM Entries_tbl");
const QString CountForm = QStringLiteral(
    "SHAPE {SELECT * FROM Entries_tbl} AS E COMPUTE COUNT(E.'Show Exh No') AS RecCnt, E");

// Exhibitors are numbered from 100 here, and their numbers are 16-bit.
int exhibitorsFor(int entries) {
    return std::min(std::max(60, entries / 10), BenchMostExhibitors - 100);
}

// A show of 150 classes: class 12 has 400 entries, classes 1 to 5 are ended and paid.
class ReportBenchShow {
public:
    explicit ReportBenchShow(int entries) : m_show(m_folder) {
        m_show.generate(BenchClasses, entries, exhibitorsFor(entries), 5);
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
        m_context.TotClassUsed = BenchClasses;
        m_context.averagePerClass = entries / double(BenchClasses);
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
    QString folder() const { return m_folder.path(); }

private:
    TestFolder m_folder;
    ReportShow m_show;
    reports::ReportContext m_context;
};

// The shows by number of entries, each written when a benchmark first needs it.
ReportBenchShow& showOf(int entries) {
    static std::map<int, std::unique_ptr<ReportBenchShow>> shows;
    auto& show = shows[entries];
    if (!show)
        show = std::make_unique<ReportBenchShow>(entries);
    return *show;
}

reports::ReportResult make(int kind, const reports::ReportContext& context) {
    return reports::makeReport(*reports::findReport(kind), context);
}

// Runs body, turning a failure into a skipped benchmark with its message.
template <typename Body> void guarded(benchmark::State& state, Body body) {
    try {
        body();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

// What the preview needs around it: the services and a main window to lie over.
struct PreviewFrame {
    twl::TWL_public shared;
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2005, 6, 19)};
    CapturePrinter printer;
    twl::Services services{prompt, files, clock, printer, shared};
    QWidget mainWindow;

    PreviewFrame() { mainWindow.setGeometry(0, 0, 1000, 740); }

    // The report made and its preview painted with page 1 in view, as the screen shows it.
    void showFirstPage(int kind, const reports::ReportContext& context) {
        const reports::ReportResult report = make(kind, context);
        reports::ReportPreview preview(report.pages, services, &mainWindow);
        const QPixmap shown = preview.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
};

// The first run of a kind of work in the process, timed on its own and reported with every
// repetition as `firstMs`: it meets costs that later runs find paid (memory the system has yet
// to hand the process, fonts, the first preview's widgets), and the repetitions time the rest.
template <typename Run> void firstRunOf(benchmark::State& state, const QString& work, Run run) {
    static std::map<QString, qint64> firstRuns;
    const QString key = work + QLatin1Char('/') + QString::number(state.range(0));
    auto found = firstRuns.find(key);
    if (found == firstRuns.end()) {
        QElapsedTimer timer;
        timer.start();
        run();
        found = firstRuns.emplace(key, timer.elapsed()).first;
    }
    state.counters["firstMs"] = double(found->second);
}

void layoutOf(benchmark::State& state, int kind) {
    guarded(state, [&] {
        const auto& show = showOf(int(state.range(0)));
        firstRunOf(state, QStringLiteral("layout %1").arg(kind),
                   [&] { make(kind, show.context()); });
        for (auto _ : state) {
            const reports::ReportResult report = make(kind, show.context());
            state.counters["pages"] = report.pages.pageCount();
        }
    });
}

void BM_EndOfShowLayout(benchmark::State& state) {
    layoutOf(state, reports::kind::EndOfShow);
}

void BM_ShowRosterLayout(benchmark::State& state) {
    layoutOf(state, reports::kind::ShowRoster);
}

void firstPageOf(benchmark::State& state, int kind) {
    guarded(state, [&] {
        const auto& show = showOf(int(state.range(0)));
        PreviewFrame frame;
        firstRunOf(state, QStringLiteral("first page %1").arg(kind),
                   [&] { frame.showFirstPage(kind, show.context()); });
        for (auto _ : state)
            frame.showFirstPage(kind, show.context());
    });
}

void BM_EndOfShowFirstPage(benchmark::State& state) {
    firstPageOf(state, reports::kind::EndOfShow);
}

void BM_ShowRosterFirstPage(benchmark::State& state) {
    firstPageOf(state, reports::kind::ShowRoster);
}

// Every page into a PDF file, as Save as PDF writes it.
void BM_EndOfShowToPdf(benchmark::State& state) {
    guarded(state, [&] {
        const auto& show = showOf(int(state.range(0)));
        const QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("End of Show Report.pdf"));
        double peak = 0;
        for (auto _ : state) {
            benchmemory::resetPeakMemory();
            const reports::ReportResult report = make(reports::kind::EndOfShow, show.context());
            reports::writePdf(report.pages, path);
            peak = std::max(peak, benchmemory::peakMegabytes());
            state.counters["pages"] = report.pages.pageCount();
        }
        state.counters["peakMB"] = peak;
        state.counters["fileMB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    });
}

// Resident memory after the first end of show preview was closed, and after four more.
void BM_PreviewMemory(benchmark::State& state) {
    guarded(state, [&] {
        const auto& show = showOf(int(state.range(0)));
        PreviewFrame frame;
        for (auto _ : state) {
            frame.showFirstPage(reports::kind::EndOfShow, show.context());
            const double afterOne = benchmemory::residentMegabytes();
            for (int i = 0; i < PreviewsAfterFirst; ++i)
                frame.showFirstPage(reports::kind::EndOfShow, show.context());
            const double afterFive = benchmemory::residentMegabytes();
            state.counters["afterOneMB"] = afterOne;
            state.counters["afterFiveMB"] = afterFive;
            state.counters["growthMB"] = afterFive - afterOne;
        }
    });
}

ReportBenchShow& rosterShow() {
    static ReportBenchShow& show = []() -> ReportBenchShow& {
        ReportBenchShow& s = showOf(100);
        s.addMembers(RosterMembers);
        return s;
    }();
    return show;
}

void BM_MemberRosterToPdf(benchmark::State& state) {
    guarded(state, [&] {
        const auto& show = rosterShow();
        for (auto _ : state) {
            const reports::ReportResult roster = make(reports::kind::MemberRoster, show.context());
            state.counters["pages"] = roster.pages.pageCount();
            benchmark::DoNotOptimize(reports::pdfDocument(roster.pages).size());
        }
    });
}

ReportBenchShow& sheetShow() {
    return showOf(2000);
}

void BM_ScoreSheetToPdf(benchmark::State& state) {
    const auto& show = sheetShow();
    for (auto _ : state) {
        const reports::ReportResult sheet = make(reports::kind::ScoreSheet, show.context());
        benchmark::DoNotOptimize(reports::pdfDocument(sheet.pages).size());
        state.counters["pages"] = sheet.pages.pageCount();
    }
}

void BM_ScoreSheetFirstPreviewPage(benchmark::State& state) {
    const auto& show = sheetShow();
    PreviewFrame frame;
    for (auto _ : state)
        frame.showFirstPage(reports::kind::ScoreSheet, show.context());
}

void BM_PayoutSheetToPdf(benchmark::State& state) {
    const auto& show = sheetShow();
    for (auto _ : state) {
        const reports::ReportResult sheet = make(reports::kind::PayoutSheet, show.context());
        benchmark::DoNotOptimize(reports::pdfDocument(sheet.pages).size());
    }
}

void BM_RecordSetOpen10k(benchmark::State& state) {
    const QString connection = showOf(10000).connectionText();
    for (auto _ : state) {
        store::RecordSet rows;
        rows.open(EntriesQuery, connection);
        benchmark::DoNotOptimize(rows.recordCount());
    }
}

void BM_ShapeCountForm10k(benchmark::State& state) {
    const QString connection = showOf(10000).connectionText();
    for (auto _ : state) {
        const store::ShapedRows rows = store::shape(CountForm, connection);
        benchmark::DoNotOptimize(rows.value(0, QStringLiteral("RecCnt")).toInt());
    }
}

// The plain-text export of the end of show report's pages (the report made once, outside the
// timing).
void BM_EndOfShowPlainText10k(benchmark::State& state) {
    const reports::ReportResult report = make(reports::kind::EndOfShow, showOf(10000).context());
    for (auto _ : state)
        benchmark::DoNotOptimize(reports::plainText(report.pages).size());
    state.counters["pages"] = report.pages.pageCount();
}

void registerSized(const std::vector<int>& sizes) {
    using Bench = void (*)(benchmark::State&);
    const std::pair<const char*, Bench> sized[] = {
        {"BM_EndOfShowLayout", BM_EndOfShowLayout},
        {"BM_ShowRosterLayout", BM_ShowRosterLayout},
        {"BM_EndOfShowFirstPage", BM_EndOfShowFirstPage},
        {"BM_ShowRosterFirstPage", BM_ShowRosterFirstPage},
        {"BM_EndOfShowToPdf", BM_EndOfShowToPdf},
    };
    for (const auto& [name, bench] : sized) {
        auto* registered = benchmark::RegisterBenchmark(name, bench);
        for (int entries : sizes)
            registered->Arg(entries);
        registered->Unit(benchmark::kMillisecond);
    }
    auto* memory = benchmark::RegisterBenchmark("BM_PreviewMemory", BM_PreviewMemory);
    for (int entries : sizes)
        memory->Arg(entries);
    memory->Unit(benchmark::kMillisecond)->Iterations(1);
}

} // namespace

BENCHMARK(BM_MemberRosterToPdf)->Arg(RosterMembers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndOfShowPlainText10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreSheetToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreSheetFirstPreviewPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PayoutSheetToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordSetOpen10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShapeCountForm10k)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::vector<int> sizes = takeBenchSizes(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerSized(sizes);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

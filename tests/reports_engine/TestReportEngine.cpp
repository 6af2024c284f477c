#include "reports/Layout.h"
#include "reports/Pagination.h"
#include "reports/ReportError.h"
#include "reports/ReportPainter.h"
#include "reports/TextExport.h"
#include "store/Shape.h"
#include "support/ReportShow.h"

#include <QDir>
#include <QFontMetricsF>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using reports::Layout;
using reports::PagedReport;
using reports::ReportError;

namespace {

const QDate PrintDate(2005, 6, 18);

// Page header 1000, detail 1000, page footer 500 twips on Letter with half-inch margins:
// 12 detail bands fit on a page. The detail prints the number and name of the entries of
// `member`.
QByteArray layoutJson(const QString& member, const QString& extraSections = {},
                      const QString& nameField = QStringLiteral("Show Exh Nam")) {
    return QStringLiteral(R"({"name": "TestRpt", "title": "Test Report", "sections": [
      {"name": "Section2", "height": 1000, "controls": [
        {"type": "label", "name": "Head", "left": 0, "top": 0, "width": 4000, "height": 300,
         "caption": "Report Date: %D"}]},
      %2
      {"name": "Section1", "height": 1000, "member": "%1", "controls": [
        {"type": "textbox", "name": "No", "field": "Show Exh No", "left": 0, "top": 0,
         "width": 720, "height": 300, "align": "right"},
        {"type": "textbox", "name": "Name", "field": "%3", "left": 1440, "top": 0,
         "width": 1080, "height": 300},
        {"type": "line", "name": "Rule", "left": 0, "top": 900, "width": 9000, "height": 0}]},
      {"name": "Section3", "height": 500, "controls": [
        {"type": "label", "name": "Foot", "left": 0, "top": 0, "width": 4000, "height": 300,
         "caption": "Page %p of %P pages"}]}
    ]})")
        .arg(member, extraSections, nameField)
        .toUtf8();
}

Layout detailLayout(const QString& member, const QString& extraSections = {}) {
    return Layout::fromJson(layoutJson(member, extraSections), QStringLiteral("test layout"));
}

QStringList pageTexts(const PagedReport& report) {
    return reports::plainText(report).split(QLatin1Char('\f'));
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;

    QString connection() const {
        return store::reportConnectionText(m_show->path(),
                                           QString::fromLatin1(TestFolder::Password));
    }
    void entries(int classNo, int count, int firstExhibitor = 1) {
        for (int i = 0; i < count; ++i)
            m_show->addEntry({firstExhibitor + i,
                              QStringLiteral("Exhibitor %1").arg(firstExhibitor + i), classNo});
    }
    store::ShapedRows countForm() const {
        return store::shape(
            QStringLiteral("SHAPE {SELECT * FROM `Entries_tbl` ORDER BY [Show Exh No]} "
                           "AS Rows COMPUTE COUNT(Rows.'Show Exh No') AS RecCnt, Rows"),
            connection());
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = std::make_unique<ReportShow>(*m_folder);
    }
    void cleanup() {
        m_show.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void builtInLayoutsHaveTheirControls() {
        const Layout score = Layout::load(QStringLiteral(":/layouts/ScoreShtRpt.json"));
        QCOMPARE(score.title(), QStringLiteral("Judge Score Sheet"));
        for (const char* name : {"Dt1", "Dt2", "Dt3", "Dt4", "Dt5", "Dt6", "Dt7", "L27", "L28",
                                 "L31", "L33", "L40", "L41", "L42"})
            QVERIFY2(!score.control(QLatin1String(name)).name.isEmpty(), name);
        const Layout pay = Layout::load(QStringLiteral(":/layouts/PayOutShtRpt.json"));
        QCOMPARE(pay.title(), QStringLiteral("Pay Out Sheet"));
        for (int i = 1; i <= 8; ++i)
            QVERIFY(!pay.control(QStringLiteral("Po%1").arg(i)).name.isEmpty());
        QCOMPARE(pay.control(QStringLiteral("PY4")).format, QStringLiteral("\"$\"#,##0.00"));
    }

    // A fixed caption that does not fit its box is drawn cut short: every caption of the
    // built-in layouts fits, in the font this machine draws them with.
    void builtInCaptionsFitTheirBoxes() {
        const QDir layouts(QStringLiteral(":/layouts"));
        QVERIFY(layouts.entryList().size() >= 8);
        QStringList tooWide;
        for (const QString& file : layouts.entryList()) {
            const Layout layout = Layout::load(layouts.filePath(file));
            for (const reports::Section& section : layout.sections())
                for (const reports::Control& control : section.controls) {
                    const QString caption =
                        QString(control.caption)
                            .replace(QLatin1String("%p"), QLatin1String("99"))
                            .replace(QLatin1String("%P"), QLatin1String("99"))
                            .replace(QLatin1String("%D"), QLatin1String("12/31/2026"));
                    if (control.kind != reports::Control::Kind::Label || caption.isEmpty())
                        continue;
                    const QFontMetricsF metrics(reports::fontFor(control.style));
                    if (metrics.horizontalAdvance(caption) > control.twips.width())
                        tooWide << file + QLatin1Char(' ') + control.name;
                }
        }
        QVERIFY2(tooWide.isEmpty(), qPrintable(tooWide.join(QLatin1String(", "))));
    }

    void unusableLayoutsAreRefusedByName_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not JSON") << QByteArray("{\"name\": ") << "test layout";
        QTest::newRow("unknown section")
            << QByteArray(R"({"sections": [{"name": "Section12", "height": 10}]})") << "Section12";
        QTest::newRow("control below its band")
            << QByteArray(R"({"sections": [{"name": "Section1", "height": 100, "controls": [
                 {"type": "label", "name": "Low", "top": 90, "height": 50, "width": 10}]}]})")
            << "Low";
        QTest::newRow("text box bound to no field")
            << QByteArray(R"({"sections": [{"name": "Section1", "height": 100, "controls": [
                 {"type": "textbox", "name": "Amt", "height": 50}]}]})")
            << "Amt";
        QTest::newRow("unknown format")
            << QByteArray(R"({"sections": [{"name": "Section1", "height": 100, "controls": [
                 {"type": "textbox", "name": "Amt", "field": "PY Amt", "height": 50,
                  "format": "0.0%"}]}]})")
            << "0.0%";
        QTest::newRow("bands taller than a page")
            << QByteArray(R"({"sections": [{"name": "Section2", "height": 9000},
                 {"name": "Section1", "height": 9000}]})")
            << "do not fit";
    }
    void unusableLayoutsAreRefusedByName() {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        try {
            Layout::fromJson(json, QStringLiteral("test layout"));
            QFAIL("the layout was taken");
        } catch (const ReportError& error) {
            QVERIFY2(error.text().contains(QStringLiteral("test layout")),
                     qPrintable(error.text()));
            QVERIFY2(error.text().contains(expected), qPrintable(error.text()));
        }
        QVERIFY_THROWS_EXCEPTION(ReportError,
                                 Layout::load(QStringLiteral("/nowhere/Missing.json")));
    }

    void aMisspeltControlOrFieldIsAnError() {
        Layout layout = detailLayout(QStringLiteral("Rows"));
        QVERIFY_THROWS_EXCEPTION(ReportError, layout.setCaption(QStringLiteral("Hed"), "x"));
        // A text box prints its field, never a caption set by the program.
        QVERIFY_THROWS_EXCEPTION(ReportError, layout.setCaption(QStringLiteral("Name"), "x"));
        entries(1, 2);
        const Layout misspelt = Layout::fromJson(
            layoutJson(QStringLiteral("Rows"), {}, QStringLiteral("Show Exh Name")), "test");
        QVERIFY_THROWS_EXCEPTION(ReportError, reports::paginate(misspelt, countForm(), PrintDate));
    }

    void detailBandsFlowOverNumberedPages() {
        entries(1, 30);
        const PagedReport report =
            reports::paginate(detailLayout(QStringLiteral("Rows")), countForm(), PrintDate);
        QCOMPARE(report.pageCount(), 3);
        QCOMPARE(report.title, QStringLiteral("Test Report"));
        const QStringList pages = pageTexts(report);
        QCOMPARE(pages.size(), 3);
        const int perPage[] = {12, 12, 6};
        for (int p = 0; p < 3; ++p) {
            QVERIFY2(pages[p].startsWith(QStringLiteral("Report Date: 6/18/2005\n")),
                     qPrintable(pages[p]));
            QVERIFY(pages[p].endsWith(QStringLiteral("Page %1 of 3 pages\n").arg(p + 1)));
            QCOMPARE(pages[p].count(QStringLiteral("Exhibitor")), perPage[p]);
        }
        // Numbers stand right-aligned in their box, names at their column, whole although longer
        // than their box.
        QVERIFY2(pages[0].contains(QStringLiteral("\n     1      Exhibitor 1\n")),
                 qPrintable(pages[0]));
        QVERIFY(pages[2].contains(QStringLiteral("\n    30      Exhibitor 30\n")));
        // Lines are drawn but are not text.
        const auto& items = report.pages[0].items;
        QVERIFY(std::any_of(items.begin(), items.end(), [](const reports::PlacedItem& i) {
            return i.kind == reports::PlacedItem::Kind::Line;
        }));
    }

    void pageFieldsComeOnlyFromTheLayout() {
        m_show->addEntry({7, QStringLiteral("%p of %P on %D"), 1});
        const PagedReport report =
            reports::paginate(detailLayout(QStringLiteral("Rows")), countForm(), PrintDate);
        Layout wide = detailLayout(QStringLiteral("Rows"));
        const QString text = reports::plainText(report);
        QVERIFY2(text.contains(QStringLiteral("%p of %P")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Page 1 of 1 pages")));
    }

    void anEmptyReportHasOnePageWithHeaderAndFooter() {
        const PagedReport report =
            reports::paginate(detailLayout(QStringLiteral("Rows")), countForm(), PrintDate);
        QCOMPARE(report.pageCount(), 1);
        QCOMPARE(reports::plainText(report),
                 QStringLiteral("Report Date: 6/18/2005\nPage 1 of 1 pages\n"));
    }

    void groupsRepeatPerLevelAndKeepTheirFirstRow() {
        m_show->addClass(1, QStringLiteral("Halter"), 10);
        m_show->addClass(2, QStringLiteral("Western Pleasure"), 10);
        entries(1, 11, 1);
        entries(2, 2, 50);
        const QString classCommand = QStringLiteral(
            "SHAPE (SHAPE {SELECT * FROM `Class_tbl` WHERE [Class No] < 3} AS ClasNum "
            "APPEND ({SELECT * FROM `Entries_tbl` ORDER BY [Show Exh No]}AS Exhtors "
            "RELATE 'Class No' TO 'Class No') AS Exhtors, COUNT(Exhtors.'Show Exh Nam') AS "
            "ExhCount) "
            "COMPUTE ClasNum BY 'Class No'");
        const QString groups = QStringLiteral(R"(
          {"name": "Section8", "height": 500, "controls": [
            {"type": "textbox", "name": "CL1", "field": "Class No", "left": 0, "top": 0,
             "width": 700, "height": 300},
            {"type": "textbox", "name": "CL2", "member": "ClasNum", "field": "Class Name",
             "left": 1000, "top": 0, "width": 3000, "height": 300}]},
          {"name": "Section9", "height": 500, "member": "ClasNum", "controls": [
            {"type": "label", "name": "CountCaption", "left": 0, "top": 0, "width": 3400, "height": 300,
             "caption": "Entries for this class:"},
            {"type": "textbox", "name": "ExhCnt", "field": "ExhCount", "left": 3500, "top": 0,
             "width": 700, "height": 300}]},)");
        const Layout layout = detailLayout(QStringLiteral("Exhtors"), groups);

        const PagedReport report =
            reports::paginate(layout, store::shape(classCommand, connection()), PrintDate);
        const QStringList pages = pageTexts(report);
        QCOMPARE(pages.size(), 2);
        QVERIFY2(pages[0].contains(QStringLiteral("\n1       Halter\n     1      Exhibitor 1\n")),
                 qPrintable(pages[0]));
        QVERIFY2(pages[0].contains(QStringLiteral("Entries for this class:      11\n")),
                 qPrintable(pages[0]));
        // Class 2's header would have been the last band of page 1: it goes over with its rows.
        QVERIFY(!pages[0].contains(QStringLiteral("Western Pleasure")));
        QVERIFY2(
            pages[1].contains(QStringLiteral("Report Date: 6/18/2005\n2       Western Pleasure\n")),
            qPrintable(pages[1]));
        QVERIFY(pages[1].contains(QStringLiteral("Entries for this class:      2\n")));
    }

    void theTitleSheetIsAPageOfItsOwnWhenShown() {
        entries(1, 3);
        const QString title = QStringLiteral(R"(
          {"name": "Section4", "height": 2000, "ownPage": true, "controls": [
            {"type": "label", "name": "RptTypN4", "left": 0, "top": 0, "width": 6000, "height": 400}]},
          {"name": "Section5", "height": 400, "controls": [
            {"type": "label", "name": "End", "left": 0, "top": 0, "width": 3000, "height": 300,
             "caption": "End of report"}]},)");
        Layout layout = detailLayout(QStringLiteral("Rows"), title);
        layout.setCaption(QStringLiteral("RptTypN4"), QStringLiteral("End of Show Report"));
        const QStringList pages = pageTexts(reports::paginate(layout, countForm(), PrintDate));
        QCOMPARE(pages.size(), 2);
        QCOMPARE(pages[0], QStringLiteral("End of Show Report\nPage 1 of 2 pages\n"));
        QVERIFY(pages[1].startsWith(QStringLiteral("Report Date:")));
        QVERIFY(pages[1].endsWith(QStringLiteral("End of report\nPage 2 of 2 pages\n")));

        layout.setSectionVisible(reports::section::ReportHeader, false);
        const QStringList without = pageTexts(reports::paginate(layout, countForm(), PrintDate));
        QCOMPARE(without.size(), 1);
        QVERIFY(!without[0].contains(QStringLiteral("End of Show Report")));
    }

    void aPdfReadsBackWithAnIndependentReader() {
        const QString reader = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        QVERIFY2(!reader.isEmpty(),
                 "pdftotext (poppler-utils, installed by scripts/setup.sh) is needed");
        entries(1, 30);
        m_show->addEntry({99, QStringLiteral("Zoë Ångström"), 1});
        const PagedReport report =
            reports::paginate(detailLayout(QStringLiteral("Rows")), countForm(), PrintDate);
        const QString pdf = m_folder->file(QStringLiteral("Report.pdf"));
        reports::writePdf(report, pdf);
        QProcess process;
        process.start(reader, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        const QString text = QString::fromUtf8(process.readAllStandardOutput());
        QCOMPARE(text.count(QLatin1Char('\f')), 3);
        QVERIFY(text.contains(QStringLiteral("Page 1 of 3 pages")));
        QVERIFY(text.contains(QStringLiteral("Page 3 of 3 pages")));
        QVERIFY(text.contains(QStringLiteral("Report Date: 6/18/2005")));
        QVERIFY2(text.contains(QStringLiteral("Zoë Ång")), qPrintable(text));
    }

    void aSaveThatFailsNamesTheFileAndLeavesNothing() {
        entries(1, 2);
        const PagedReport report =
            reports::paginate(detailLayout(QStringLiteral("Rows")), countForm(), PrintDate);
        const QString missingFolder = m_folder->file(QStringLiteral("gone/Report.pdf"));
        for (const auto& save : {reports::writePdf, reports::writePlainText}) {
            try {
                save(report, missingFolder);
                QFAIL("the save reported success");
            } catch (const ReportError& error) {
                QVERIFY(error.text().contains(QStringLiteral("Report.pdf")));
            }
        }
        QVERIFY(!QFile::exists(missingFolder));
    }
};

QTEST_MAIN(TestReportEngine)
#include "TestReportEngine.moc"

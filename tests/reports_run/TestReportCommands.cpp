#include "common/Services.h"
#include "reports/ReportProgress.h"
#include "reports/TextExport.h"
#include "reports/ui/ReportCommands.h"
#include "reports/ui/ReportPreview.h"
#include "support/ModalDialogs.h"
#include "support/ReadOnlyFolder.h"
#include "support/ReportShow.h"
#include "support/ScreenTest.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace twl;

namespace {

QString pageLabel(const QWidget& preview) {
    return preview.findChild<QLabel*>(QStringLiteral("previewPageLabel"))->text();
}

} // namespace

class TestReportCommands : public QObject, protected ScreenSeams {
    Q_OBJECT

public:
    TestReportCommands() : ScreenSeams(QDate(2005, 6, 19)) {}

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;
    std::unique_ptr<QWidget> m_mainWindow;
    std::unique_ptr<reports::ReportCommands> m_commands;
    QList<int> m_lastClassShown;

    // The score-sheet dialog, answered: class 12 chosen, or Cancel.
    void chooseScoreClass(int classNo) {
        m_commands->setScoreSheetDialog([this, classNo] {
            m_shared.report.ReportKind = 0;
            m_shared.report.ScoreClass = classNo;
            return classNo != 0;
        });
    }
    int workTableRows() {
        store::Statement rows =
            m_show->connection().prepare(QStringLiteral("SELECT * FROM ScrSht2Prnt_tbl"));
        int n = 0;
        while (rows.step())
            ++n;
        return n;
    }
    bool previewOpen() const {
        const auto windows = QApplication::topLevelWidgets();
        return std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
            return qobject_cast<reports::ReportPreview*>(w) && w->isVisible();
        });
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = std::make_unique<ReportShow>(*m_folder);
        m_show->generate(20, 400, 60, 5);
        for (int i = 0; i < 40; ++i)
            m_show->addEntry({300 + i, QStringLiteral("Late Entry %1").arg(i), 12});
        m_shared = TWL_public();
        m_shared.session.ShowPath = m_show->path();
        m_shared.session.DbPassword = QString::fromLatin1(TestFolder::Password);
        m_shared.session.ShoName = QStringLiteral("Buckeye Spring Classic");
        m_shared.session.DateOfEvent = QDate(2005, 6, 18);
        m_prompt.clear();
        m_printer = CapturePrinter();
        m_lastClassShown.clear();
        m_mainWindow = std::make_unique<QWidget>();
        m_mainWindow->setGeometry(40, 60, 1000, 760);
        m_mainWindow->show();
        m_commands = std::make_unique<reports::ReportCommands>(m_services, m_mainWindow.get());
        m_commands->setLastClassDisplay([this](int classNo) { m_lastClassShown << classNo; });
    }
    void cleanup() {
        m_commands.reset();
        m_mainWindow.reset();
        m_show.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void skippedPreviewPrintsTheCopiesStraightAway() {
        m_shared.settings.ScoreSkipPreview = true;
        m_shared.settings.ScoreCopies = 3;
        chooseScoreClass(12);
        bool printingDuringJob = false;
        bool previewDuringJob = true;
        int workRowsDuringJob = 0;
        m_printer.duringJob = [&] {
            printingDuringJob = m_shared.report.Printing;
            previewDuringJob = previewOpen();
            workRowsDuringJob = workTableRows();
        };
        // A click queued before the command waits until the command is over.
        bool queuedRanDuringJob = true;
        QMetaObject::invokeMethod(
            m_mainWindow.get(), [&] { queuedRanDuringJob = m_shared.report.Printing; },
            Qt::QueuedConnection);
        m_commands->scoreSheetCommand();
        QCoreApplication::processEvents();
        QVERIFY(!queuedRanDuringJob);

        QCOMPARE(int(m_printer.jobs.size()), 1);
        QCOMPARE(m_printer.jobs[0].copies, 3);
        QVERIFY(!m_printer.jobs[0].asked);
        QCOMPARE(m_printer.jobs[0].report.title, QStringLiteral("Score Sheet"));
        QCOMPARE(m_printer.jobs[0].report.pageCount(), 3);
        QVERIFY(printingDuringJob);
        QVERIFY(!previewDuringJob);
        QCOMPARE(workRowsDuringJob, 1);
        QVERIFY(m_prompt.shown().empty());
        QVERIFY(!m_shared.report.Printing);
        QCOMPARE(m_shared.report.ReportTitle, QStringLiteral("Score Sheet"));
        QCOMPARE(m_shared.report.LastClassPrinted, 12);
        QCOMPARE(m_lastClassShown, QList<int>{12});
        QCOMPARE(workTableRows(), 0);
    }

    void thePreviewPagesPrintsAndSaves() {
        m_shared.settings.ScoreCopies = 3; // not used by a preview
        chooseScoreClass(12);
        const QString pdf = m_folder->file(QStringLiteral("Sheet"));
        m_files.script(pdf);
        QString firstPage, afterPageDown, presetName;
        QRect geometry;
        onModal<reports::ReportPreview>([&](reports::ReportPreview& preview) {
            if (!preview.isActiveWindow()) {
                preview.activateWindow();
                return false; // again once the window is active, as the keys go to it
            }
            geometry = preview.geometry();
            firstPage = pageLabel(preview);
            QTest::keyClick(&preview, Qt::Key_PageDown);
            afterPageDown = pageLabel(preview);
            QTest::keySequence(&preview, QKeySequence::Print);
            preview.findChild<QAction*>(QStringLiteral("exportPdfAction"))->trigger();
            presetName = m_files.lastRequest().presetName;
            QTest::keyClick(&preview, Qt::Key_Escape);
            return true;
        });
        m_commands->scoreSheetCommand();

        QCOMPARE(firstPage, QStringLiteral("Page 1 of 3"));
        QCOMPARE(afterPageDown, QStringLiteral("Page 2 of 3"));
        // Over the main window, less 100 twips each way.
        QCOMPARE(geometry.topLeft(), m_mainWindow->geometry().topLeft());
        const int less = qRound(100.0 * m_mainWindow->logicalDpiX() / 1440);
        QCOMPARE(geometry.width(), 1000 - less);
        QCOMPARE(m_printer.dialogsShown, 1);
        QCOMPARE(int(m_printer.jobs.size()), 1);
        QVERIFY(m_printer.jobs[0].asked);
        QCOMPARE(presetName, QStringLiteral("Score Sheet class 12.pdf"));
        QVERIFY(QFile(pdf + ".pdf").size() > 1000);
        QCOMPARE(m_shared.report.LastClassPrinted, 12);
        QVERIFY(!m_shared.report.Printing);
    }

    void aFailingReportIsReportedAndFreezesNothing_data() {
        QTest::addColumn<bool>("noPrinter");
        QTest::newRow("no printer") << true;
        QTest::newRow("the sheet's query is missing") << false;
    }
    void aFailingReportIsReportedAndFreezesNothing() {
        QFETCH(bool, noPrinter);
        m_shared.settings.ScoreSkipPreview = true;
        if (noPrinter)
            m_printer.failure = QStringLiteral("No printer is set up on this computer.");
        else
            m_show->run("DROP VIEW ScrSht2Pint_Q", {});
        chooseScoreClass(12);
        m_commands->scoreSheetCommand();

        QCOMPARE(int(m_prompt.shown().size()), 1);
        const QString text = m_prompt.shown()[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("The Score Sheet could not be printed.")),
                 qPrintable(text));
        if (noPrinter)
            QVERIFY(text.contains(m_printer.failure));
        else
            QVERIFY2(text.contains(QStringLiteral("ScrSht2Pint_Q")), qPrintable(text));
        QVERIFY(!m_shared.report.Printing);
        QCOMPARE(workTableRows(), 0);
        QCOMPARE(m_shared.report.LastClassPrinted, 0);
        QVERIFY(m_printer.jobs.empty());
    }

    // A job the user stopped while it printed is no failure: no message, the state let go.
    void aPrintingStoppedByTheUserTellsNothing() {
        m_shared.settings.ScoreSkipPreview = true;
        m_printer.duringJob = [] { throw reports::ReportCancelled(); };
        chooseScoreClass(12);
        QString lastAction;
        m_commands->setLastActionDisplay([&](const QString& text) { lastAction = text; });
        m_commands->scoreSheetCommand();
        QCOMPARE(lastAction, QStringLiteral("The Score Sheet was cancelled"));
        QVERIFY(m_prompt.shown().empty());
        QVERIFY(m_printer.jobs.empty());
        QVERIFY(!m_shared.report.Printing);
        QCOMPARE(workTableRows(), 0);
        QCOMPARE(m_shared.report.LastClassPrinted, 0);
    }

    void cancelPrintsNothing() {
        chooseScoreClass(0);
        m_commands->scoreSheetCommand();
        QVERIFY(m_printer.jobs.empty());
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(m_lastClassShown, QList<int>{0});
    }

    void thePayoutSheetPrintsOnceWhenPreviewIsSkipped() {
        m_shared.settings.PaySkipPreview = true;
        m_commands->setPayoutSheetDialog([this] {
            m_shared.report.PayoutClass = 3;
            return true;
        });
        m_commands->payoutSheetCommand();
        QCOMPARE(m_shared.report.ReportKind, 8);
        QCOMPARE(int(m_printer.jobs.size()), 1);
        QCOMPARE(m_printer.jobs[0].copies, 1);
        QCOMPARE(m_printer.jobs[0].report.title, QStringLiteral("Payout Sheet"));
        QCOMPARE(m_printer.jobs[0].report.documentName, QStringLiteral("Payout Sheet class 3"));
    }

    void theCurrentDirectoryIsTheSameAfterwards() {
        const QString before = QDir::currentPath();
        m_shared.settings.ScoreSkipPreview = true;
        chooseScoreClass(12);
        m_printer.duringJob = [this] { QDir::setCurrent(m_folder->path()); };
        m_commands->scoreSheetCommand();
        QCOMPARE(int(m_printer.jobs.size()), 1);
        QCOMPARE(QDir::currentPath(), before);
    }

    // Settle hands over the statement: printed at once, one copy; a statement that cannot be
    // made or printed is reported, and nothing goes to the printer.
    void theStatementGoesStraightToThePrinter() {
        QVERIFY(m_commands->printStatement(105));
        QCOMPARE(int(m_printer.jobs.size()), 1);
        QVERIFY(!m_printer.jobs[0].asked);
        QCOMPARE(m_printer.jobs[0].copies, 1);
        QCOMPARE(m_printer.jobs[0].report.title, QStringLiteral("Exhibitor Statement"));
        QVERIFY(reports::plainText(m_printer.jobs[0].report)
                    .contains(QRegularExpression("Exhibitor No. +105\\n")));
        QVERIFY(m_prompt.shown().empty());

        QVERIFY(!m_commands->printStatement(999)); // nothing recorded under it
        m_printer.failure = QStringLiteral("The printer is out of paper.");
        QVERIFY(!m_commands->printStatement(105));
        QCOMPARE(int(m_printer.jobs.size()), 1);
        QCOMPARE(int(m_prompt.shown().size()), 2);
        QVERIFY(!m_shared.report.Printing);
    }

    void aKindWithoutAReportRunsNothing() {
        for (int kind : {7, 69, -1}) {
            m_shared.report.ReportKind = kind;
            m_commands->runReport();
        }
        QVERIFY(m_printer.jobs.empty());
        QVERIFY(m_prompt.shown().empty());
        QVERIFY(!m_shared.report.Printing);
    }

    // Export Results: the page's name is asked for; a cancelled choice writes nothing, a chosen
    // one gets the page and the CSV files beside it and says so, an unwritable folder is
    // reported and keeps nothing.
    void exportResultsWritesTheFilesOrSaysWhyNot() {
        struct Case {
            const char* name;
            bool choose;
            bool writable;
            int files;
            Prompt::Icon icon;
        };
        const Case cases[] = {{"cancelled", false, true, 0, Prompt::Icon::None},
                              {"written", true, true, 4, Prompt::Icon::Information},
                              {"unwritable", true, false, 0, Prompt::Icon::Exclamation}};
        for (const Case& c : cases) {
            QTemporaryDir out;
            m_prompt.clear();
            if (c.choose)
                m_files.script(out.filePath("Spring Results.html"));
            {
                std::unique_ptr<ReadOnlyFolder> locked;
                if (!c.writable)
                    locked = std::make_unique<ReadOnlyFolder>(out.path());
                m_commands->exportResultsCommand();
            }
            QVERIFY2(m_files.lastRequest().forSaving, c.name);
            QCOMPARE(m_files.lastRequest().presetName, QStringLiteral("Show.html"));
            const QStringList written = QDir(out.path()).entryList(QDir::Files);
            QCOMPARE(written.size(), c.files);
            QVERIFY(!c.files || written.contains("Spring Results.html"));
            QCOMPARE(int(m_prompt.shown().size()), c.choose ? 1 : 0);
            if (c.choose)
                QVERIFY2(m_prompt.shown()[0].icon == c.icon, c.name);
        }
    }
};

QTEST_MAIN(TestReportCommands)
#include "TestReportCommands.moc"

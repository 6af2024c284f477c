#include "reports/ui/ReportPreview.h"
#include "reports/ui/ReportProgressDialog.h"
#include "support/ScreenTest.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

reports::PagedReport manyPages(int count) {
    reports::PagedReport report;
    report.title = QStringLiteral("Show Roster");
    for (int p = 1; p <= count; ++p) {
        reports::PlacedItem text;
        text.twips = QRect(720, 720, 4000, 300);
        text.text = QStringLiteral("Page %1").arg(p);
        report.pages.push_back({{text}});
    }
    return report;
}

QProgressDialog* shownProgress() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("reportProgressDialog") && window->isVisible())
            return qobject_cast<QProgressDialog*>(window);
    return nullptr;
}

enum class Stop { CancelButton, Escape };

// Stops the progress shown, the way the user chose; false when none is shown.
bool stopShownProgress(Stop how) {
    QProgressDialog* dialog = shownProgress();
    if (!dialog)
        return false;
    if (how == Stop::CancelButton)
        QTest::mouseClick(childOf<QPushButton>(*dialog, QStringLiteral("reportProgressCancel")),
                          Qt::LeftButton);
    else
        QTest::keyClick(dialog, Qt::Key_Escape);
    return true;
}

} // namespace

class TestReportProgressDialog : public QObject, protected ScreenSeams {
    Q_OBJECT

public:
    TestReportProgressDialog() : ScreenSeams(QDate(2005, 6, 19)) {}

private slots:
    void init() { m_prompt.clear(); }

    void theProgressShowsTheStepAndStopsOnCancelOrEscape() {
        for (const Stop how : {Stop::CancelButton, Stop::Escape}) {
            reports::ReportProgressDialog progress(nullptr, QStringLiteral("Saving Show Roster"),
                                                   0);
            QVERIFY(progress.advance(0, 40, QStringLiteral("Page 1 of 40")));
            QVERIFY(progress.advance(1, 40, QStringLiteral("Page 2 of 40")));
            QVERIFY(QTest::qWaitForWindowExposed(progress.dialog()));
            QProgressDialog& dialog = *progress.dialog();
            QCOMPARE(childOf<QLabel>(dialog, QString())->text(),
                     QStringLiteral("Saving Show Roster\nPage 2 of 40"));
            QCOMPARE(dialog.findChild<QProgressBar*>()->value(), 1);
            QCOMPARE(dialog.findChild<QProgressBar*>()->maximum(), 40);
            QVERIFY(stopShownProgress(how));
            QVERIFY2(!progress.advance(2, 40, QStringLiteral("Page 3 of 40")),
                     how == Stop::Escape ? "Esc" : "Cancel");
        }
    }

    // A save stopped from the preview writes nothing and tells of no failure; the preview
    // stays open.
    void aSaveStoppedFromThePreviewWritesNothing() {
        const struct {
            const char* action;
            const char* extension;
            Stop how;
            const char* cancelled;
        } cases[] = {{"exportPdfAction", ".pdf", Stop::CancelButton,
                      "Saving the Show Roster as PDF was cancelled"},
                     {"exportTextAction", ".txt", Stop::Escape,
                      "Saving the Show Roster as text was cancelled"}};
        const reports::PagedReport report = manyPages(30);
        for (const auto& c : cases) {
            QTemporaryDir folder;
            reports::ReportPreview preview(report, m_services, nullptr);
            preview.setProgressDelay(0);
            preview.show();
            QVERIFY(QTest::qWaitForWindowExposed(&preview));
            m_files.script(folder.filePath(QStringLiteral("Roster")));
            bool stopped = false;
            QTimer::singleShot(0, [&] { stopped = stopShownProgress(c.how); });
            QSignalSpy told(&preview, &reports::ReportPreview::actionCancelled);
            childOf<QAction>(preview, QLatin1String(c.action))->trigger();
            QVERIFY2(stopped, c.action);
            QCOMPARE(told.size(), 1);
            QCOMPARE(told[0][0].toString(), QLatin1String(c.cancelled));
            QVERIFY2(
                QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                c.action);
            QVERIFY(m_prompt.shown().empty());
            QVERIFY(preview.isVisible());
            QVERIFY(!shownProgress());

            // Not stopped, the same save writes the report.
            m_files.script(folder.filePath(QStringLiteral("Roster")));
            childOf<QAction>(preview, QLatin1String(c.action))->trigger();
            QVERIFY(QFileInfo(folder.filePath(QStringLiteral("Roster") + c.extension)).size() > 0);
            QVERIFY(m_prompt.shown().empty());
        }
    }
};

QTEST_MAIN(TestReportProgressDialog)
#include "TestReportProgressDialog.moc"

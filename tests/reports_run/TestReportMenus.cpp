#include "entries_screen/EntryScreenFixture.h"
#include "reports/ui/PrintoutsTWL.h"
#include "reports/ui/ReportPreview.h"
#include "reports/ui/ScoreShtTWL.h"
#include "support/ModalDialogs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>

// The report commands through the real main window and the real dialogs.
class TestReportMenus : public QObject {
    Q_OBJECT

    std::unique_ptr<EntryScreenFixture> f;

private slots:
    void init() {
        f = std::make_unique<EntryScreenFixture>();
        QVERIFY(f->start());
    }
    void cleanup() { f.reset(); }

    void aScoreSheetPrintedStraightAwayIsShownAsTheLastOne() {
        f->open(f->makeShow(
            {{101, "Anna Brooks", 12}, {102, "Ben Carter", 12}, {103, "Carla Dalton", 3}}));
        onModal<reports::ScoreShtTWL>([](reports::ScoreShtTWL& dialog) {
            QTest::mouseClick(dialog.findChild<QLabel*>(QStringLiteral("ClsBx_12")),
                              Qt::LeftButton);
            dialog.findChild<QCheckBox*>(QStringLiteral("SkpPP"))->setChecked(true);
            auto* copies = dialog.findChild<QLineEdit*>(QStringLiteral("CopBox"));
            copies->setText(QStringLiteral("3"));
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OKBut")),
                              Qt::LeftButton);
            return true;
        });
        f->trigger("mnuToolsScoreSheet");
        QCOMPARE(int(f->printer.jobs.size()), 1);
        QCOMPARE(f->printer.jobs[0].copies, 3);
        QCOMPARE(f->label("LstScrPrnt"), QStringLiteral("12"));
        const auto& shared = f->program->shared();
        QVERIFY(shared.settings.ScoreSkipPreview);
        QCOMPARE(shared.settings.ScoreCopies, qint16(3));
        QVERIFY(!shared.report.Printing);
        // Opening another show starts again from 0.
        const QString second = f->makeShow({{201, "Dylan Ellis", 1}});
        f->trigger("mnuCloseShow");
        f->open(second);
        QCOMPARE(shared.session.ShowPath, second);
        QCOMPARE(f->label("LstScrPrnt"), QStringLiteral("0"));
    }

    void theExhibitorReportOfTheEntryShownFromThePrintMenu() {
        f->open(f->makeShow(
            {{101, "Anna Brooks", 12}, {102, "Ben Carter", 12}, {102, "Ben Carter", 3}}));
        const QString shownExhibitor = f->field(0)->text();
        QString pickedNumber, pickedName, previewTitle;
        onModal<reports::PrintoutsTWL>([&](reports::PrintoutsTWL& dialog) {
            QTest::mouseClick(dialog.findChild<QRadioButton*>(QStringLiteral("PrnOp_3")),
                              Qt::LeftButton);
            auto* numbers = dialog.findChild<QListWidget*>(QStringLiteral("SelNum"));
            auto* names = dialog.findChild<QListWidget*>(QStringLiteral("SelNam"));
            pickedNumber = numbers->currentItem() ? numbers->currentItem()->text() : QString();
            pickedName = names->currentItem() ? names->currentItem()->text() : QString();
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OKBut")),
                              Qt::LeftButton);
            return true;
        });
        onModal<reports::ReportPreview>([&](reports::ReportPreview& preview) {
            previewTitle = preview.windowTitle();
            preview.reject();
            return true;
        });
        f->trigger("mnuFilePrint");
        QCOMPARE(pickedNumber, shownExhibitor);
        QVERIFY(!pickedName.isEmpty());
        QCOMPARE(previewTitle, QStringLiteral("Exhibitor Report"));
        QVERIFY(f->prompt.shown().empty());
        // The exhibitor is let go after the report.
        store::Statement rows = store::connectionFor(f->program->shared().session.ShowConnString)
                                    ->prepare(QStringLiteral("SELECT * FROM Exh2Prnt_tbl"));
        QVERIFY(!rows.step());
    }

    void theMemberProfileCommandOffersOnlyTheProfile() {
        bool frameEnabled = true;
        bool profileChosen = false;
        onModal<reports::PrintoutsTWL>([&](reports::PrintoutsTWL& dialog) {
            frameEnabled = dialog.findChild<QWidget*>(QStringLiteral("Frame2"))->isEnabled();
            profileChosen = dialog.findChild<QRadioButton*>(QStringLiteral("PrnOp_5"))->isChecked();
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("CanBut")),
                              Qt::LeftButton);
            return true;
        });
        f->trigger("mnuOrgPrnMemProfileRpt");
        QVERIFY(profileChosen);
        QVERIFY(!frameEnabled);
        const auto& shared = f->program->shared();
        QVERIFY(!shared.report.MemberProfileOnly);
        QVERIFY(f->printer.jobs.empty());
    }

    void theMemberRosterNeedsNoShow() {
        QString pageLabel;
        onModal<reports::ReportPreview>([&pageLabel](reports::ReportPreview& preview) {
            pageLabel = preview.findChild<QLabel*>(QStringLiteral("previewPageLabel"))->text();
            preview.reject();
            return true;
        });
        f->trigger("mnuOrgPrnMemRosterRpt");
        QCOMPARE(pageLabel, QStringLiteral("Page 1 of 2")); // the title sheet and the roster
        QVERIFY(f->prompt.shown().empty());
        QCOMPARE(f->program->shared().report.ReportTitle, QStringLiteral("Member Roster"));
        QVERIFY(!f->program->shared().report.Printing);
    }
};

QTEST_MAIN(TestReportMenus)
#include "TestReportMenus.moc"

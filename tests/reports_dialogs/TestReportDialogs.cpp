#include "DialogShow.h"
#include "common/Services.h"
#include "reports/ui/PayOutSht.h"
#include "reports/ui/ScoreShtTWL.h"
#include "support/ScreenTest.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace twl;
using reports::PayOutSht;
using reports::ScoreShtTWL;

// The score-sheet and payout-sheet dialogs, driven by their controls' names.
class TestReportDialogs : public QObject, protected ScreenTest<QDialog> {
    Q_OBJECT

public:
    TestReportDialogs() : ScreenTest(QDate(2005, 6, 18)) {}

private:
    std::unique_ptr<DialogShow> m_show;

    QLabel* classBox(int classNo) { return child<QLabel>(QString("ClsBx_%1").arg(classNo)); }
    QPushButton* ok() { return child<QPushButton>("OKBut"); }
    QListWidget* classList() { return child<QListWidget>("ClsLst"); }
    ScoreShtTWL* scoreSheet() { return static_cast<ScoreShtTWL*>(m_dialog.get()); }
    PayOutSht* payoutSheet() { return static_cast<PayOutSht*>(m_dialog.get()); }
    QStringList listed() {
        QStringList items;
        for (int i = 0; i < classList()->count(); ++i)
            items << classList()->item(i)->text();
        return items;
    }

    // As the report commands run a dialog: modally, then its own result. A dialog that blocked
    // would be closed by the guard, which the test then reports.
    template <typename Dialog> bool runModally(bool& blocked) {
        m_dialog = std::make_unique<Dialog>(m_services);
        blocked = false;
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, m_dialog.get(), [&] {
            blocked = true;
            m_dialog->reject();
        });
        guard.start(60000);
        m_dialog->exec();
        return !static_cast<Dialog*>(m_dialog.get())->cancelled();
    }
    void clickClass(int classNo) { QTest::mouseClick(classBox(classNo), Qt::LeftButton); }
    bool isBlue(QLabel* label) {
        return label->palette().color(QPalette::Active, QPalette::WindowText) == QColor(Qt::blue);
    }

private slots:
    void init() {
        m_prompt.clear();
        m_show = std::make_unique<DialogShow>(m_shared);
    }
    void cleanup() {
        m_dialog.reset();
        m_show.reset();
    }

    // --- the score sheet ---

    void scoreSheetOffersTheClassesWithEntries() {
        m_show->addEntries(3, {{101, 0}});
        m_show->addEntries(12, {{102, 0}, {103, 0}});
        m_show->addEntries(150, {{104, 0}});
        m_show->addEntries(151, {{105, 0}});
        m_shared.report.ReportKind = 69;
        m_shared.report.ScoreClass = 40;
        openScreen<ScoreShtTWL>();
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Score Sheet]"));
        QCOMPARE(m_shared.report.ReportKind, 0);
        QCOMPARE(m_shared.report.ScoreClass, 0);
        QList<int> enabled;
        for (int classNo = 1; classNo <= 150; ++classNo) {
            QLabel* box = classBox(classNo);
            QCOMPARE(box->text(), QString::number(classNo));
            QVERIFY(box->isVisible());
            QCOMPARE(isBlue(box), box->isEnabled());
            if (box->isEnabled())
                enabled << classNo;
        }
        QCOMPARE(enabled, QList<int>({3, 12, 150}));
        QVERIFY(!m_dialog->findChild<QLabel*>("ClsBx_151"));
        QVERIFY(!m_dialog->findChild<QLabel*>("ClsBx_0"));
        QVERIFY(m_prompt.shown().empty());
    }

    void aClassWithoutEntriesCannotBeChosen() {
        m_show->addEntries(12, {{101, 0}});
        openScreen<ScoreShtTWL>();
        QVERIFY(!ok()->isEnabled());
        clickClass(11);
        QVERIFY(!ok()->isEnabled());
        QCOMPARE(scoreSheet()->chosenClass(), 0);
        QVERIFY(!child<QFrame>("ClsFrame")->isVisible());
        // Enter with no class chosen does nothing.
        QTest::keyClick(child<QLineEdit>("CopBox"), Qt::Key_Return);
        QVERIFY(m_dialog->isVisible());

        clickClass(12);
        QVERIFY(ok()->isEnabled());
        QCOMPARE(scoreSheet()->chosenClass(), 12);
        QFrame* frame = child<QFrame>("ClsFrame");
        QVERIFY(frame->isVisible());
        QVERIFY(frame->geometry().contains(classBox(12)->geometry()));
        // A disabled class clicked afterwards leaves the choice alone.
        clickClass(13);
        QCOMPARE(scoreSheet()->chosenClass(), 12);
        QVERIFY(frame->geometry().contains(classBox(12)->geometry()));
    }

    void theDialogShowsTheRememberedValues() {
        m_show->addEntries(12, {{101, 0}});
        m_shared.report.LastClassPrinted = 12;
        m_shared.settings.ScoreCopies = 4;
        m_shared.settings.ScoreSkipPreview = true;
        openScreen<ScoreShtTWL>();
        QCOMPARE(child<QLabel>("LstClsCap")->text(), QString("Last class printed was"));
        QCOMPARE(child<QLabel>("LstClsLbl")->text(), QString("12"));
        QCOMPARE(child<QLineEdit>("CopBox")->text(), QString("4"));
        QVERIFY(child<QCheckBox>("SkpPP")->isChecked());
    }

    // A typo in the copies box is refused before anything is kept, and the box is selected for
    // the correction; the corrected choice then lands in the shared values.
    void copiesAreCheckedBeforeTheChoiceIsKept() {
        m_show->addEntries(12, {{101, 0}});
        m_shared.settings.ScoreCopies = 1;
        openScreen<ScoreShtTWL>();
        clickClass(12);
        auto* copies = child<QLineEdit>("CopBox");
        for (const QString typo : {"0", "100000", "2.5", ""}) {
            m_prompt.clear();
            copies->setText(typo);
            child<QCheckBox>("SkpPP")->setChecked(true);
            QTest::mouseClick(ok(), Qt::LeftButton);
            QCOMPARE(int(m_prompt.shown().size()), 1);
            QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell"));
            QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
            QVERIFY(m_prompt.shown()[0].text.contains("1 to 99"));
            QVERIFY(m_dialog->isVisible());
            QCOMPARE(copies->selectedText(), typo);
            QCOMPARE(m_shared.settings.ScoreCopies, qint16(1));
            QVERIFY(!m_shared.settings.ScoreSkipPreview);
            QCOMPARE(m_shared.report.ScoreClass, 0);
        }

        m_prompt.clear();
        copies->setText("3");
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY(m_prompt.shown().empty());
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(!scoreSheet()->cancelled());
        QCOMPARE(m_shared.report.ReportKind, 0);
        QCOMPARE(m_shared.report.ScoreClass, 12);
        QCOMPARE(m_shared.settings.ScoreCopies, qint16(3));
        QVERIFY(m_shared.settings.ScoreSkipPreview);
    }

    // The Cancel button and Esc alike: nothing of the choice is kept.
    void cancelKeepsTheSettings_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Esc") << true;
    }
    void cancelKeepsTheSettings() {
        QFETCH(bool, escape);
        m_show->addEntries(12, {{101, 0}});
        m_shared.settings.ScoreCopies = 2;
        openScreen<ScoreShtTWL>();
        clickClass(12);
        child<QLineEdit>("CopBox")->setText("5");
        child<QCheckBox>("SkpPP")->setChecked(true);
        if (escape)
            QTest::keyClick(child<QWidget>("ClsGrid"), Qt::Key_Escape);
        else
            QTest::mouseClick(child<QPushButton>("CanBut"), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(scoreSheet()->cancelled());
        QCOMPARE(m_shared.report.ScoreClass, 0);
        QCOMPARE(m_shared.settings.ScoreCopies, qint16(2));
        QVERIFY(!m_shared.settings.ScoreSkipPreview);
    }

    void theKeyboardChoosesAndConfirms() {
        for (int classNo : {3, 12, 18, 40})
            m_show->addEntries(classNo, {{100 + classNo, 0}});
        openScreen<ScoreShtTWL>();
        QWidget* grid = child<QWidget>("ClsGrid");
        QTest::keyClick(grid, Qt::Key_Right); // nothing chosen yet: the first class
        QCOMPARE(scoreSheet()->chosenClass(), 3);
        QTest::keyClick(grid, Qt::Key_Left); // nothing before it
        QCOMPARE(scoreSheet()->chosenClass(), 3);
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(scoreSheet()->chosenClass(), 12);
        QTest::keyClick(grid, Qt::Key_Down); // a row down is 27: the next class from there
        QCOMPARE(scoreSheet()->chosenClass(), 40);
        QTest::keyClick(grid, Qt::Key_Down); // nothing below
        QCOMPARE(scoreSheet()->chosenClass(), 40);
        QTest::keyClick(grid, Qt::Key_Up); // a row up is 25: the nearest class before it
        QCOMPARE(scoreSheet()->chosenClass(), 18);
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(scoreSheet()->chosenClass(), 12);
        QVERIFY(child<QFrame>("ClsFrame")->geometry().contains(classBox(12)->geometry()));

        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(!scoreSheet()->cancelled());
        QCOMPARE(m_shared.report.ScoreClass, 12);
    }

    // A show that cannot be read is reported, not shown as a show without entries.
    void anUnreadableShowClosesTheScoreSheet() {
        m_shared.session.ShowConnString = m_show->missingShowConnection();
        bool blocked = false;
        QVERIFY(!runModally<ScoreShtTWL>(blocked));
        QVERIFY(!blocked);
        QCOMPARE(int(m_prompt.shown().size()), 1);
        QVERIFY(m_prompt.shown()[0].text.contains("cannot be read"));
    }

    // --- the payout sheet ---

    void nothingEndedClosesThePayoutSheet() {
        m_show->addEntries(5, {{101, 1}}); // placed, but not ended
        m_show->addEntries(7, {{102, 0}});
        m_show->endClass(7); // ended with nobody placed: nothing to pay
        m_shared.report.PayoutClass = 4;
        bool blocked = false;
        QVERIFY(!runModally<PayOutSht>(blocked));
        QVERIFY(!blocked);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(int(m_prompt.shown().size()), 1);
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell"));
        QCOMPARE(m_prompt.shown()[0].text, QString("No 'Ended' classes to list... aborting"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QCOMPARE(m_shared.report.PayoutClass, qint16(0));
    }

    void choosingAClassShowsItsName() {
        m_show->addEntries(5, {{101, 1}, {102, 0}});
        m_show->addEntries(9, {{103, 1}});
        m_show->nameClass(5, "Western Pleasure");
        m_show->nameClass(9, "Hunter Hack");
        m_show->endClass(9);
        m_show->endClass(5);
        m_shared.settings.PaySkipPreview = true;
        openScreen<PayOutSht>();
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Pay Out Sheet]"));
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(listed(), QStringList({"9", "5"}));
        QVERIFY(child<QCheckBox>("SkpPP")->isChecked());
        // The first class is chosen as the dialog opens.
        QCOMPARE(classList()->currentRow(), 0);
        QCOMPARE(m_shared.report.PayoutClass, qint16(9));
        QCOMPARE(child<QLabel>("Label2")->text(), QString("Hunter Hack"));

        classList()->setCurrentRow(1);
        QCOMPARE(m_shared.report.PayoutClass, qint16(5));
        QCOMPARE(child<QLabel>("Label2")->text(), QString("Western Pleasure"));
        QTest::keyClick(classList(), Qt::Key_Up);
        QCOMPARE(m_shared.report.PayoutClass, qint16(9));
        QCOMPARE(child<QLabel>("Label2")->text(), QString("Hunter Hack"));
    }

    void okKeepsTheSkipPreviewChoice() {
        m_show->addEntries(5, {{101, 1}});
        m_show->endClass(5);
        openScreen<PayOutSht>();
        QVERIFY(!child<QCheckBox>("SkpPP")->isChecked());
        child<QCheckBox>("SkpPP")->setChecked(true);
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(!payoutSheet()->cancelled());
        QVERIFY(m_shared.settings.PaySkipPreview);
        QCOMPARE(m_shared.report.PayoutClass, qint16(5));
    }

    void enterIsOkAndEscapeIsCancel() {
        m_show->addEntries(5, {{101, 1}});
        m_show->endClass(5);
        openScreen<PayOutSht>();
        child<QCheckBox>("SkpPP")->setChecked(true);
        QTest::keyClick(classList(), Qt::Key_Return);
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(!payoutSheet()->cancelled());
        QVERIFY(m_shared.settings.PaySkipPreview);

        openScreen<PayOutSht>();
        QVERIFY(child<QCheckBox>("SkpPP")->isChecked());
        child<QCheckBox>("SkpPP")->setChecked(false);
        QTest::keyClick(classList(), Qt::Key_Escape);
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(payoutSheet()->cancelled());
        QVERIFY(m_shared.settings.PaySkipPreview); // as the OK above left it
    }

    // A listed class that Class_tbl does not know ends the dialog as Cancel does, whether it is
    // the first one (chosen as the dialog opens) or one clicked later.
    void aClassMissingFromTheClassTableCancels() {
        m_show->addPayout(5, 101, 1);
        m_show->addPayout(160, 102, 1);
        openScreen<PayOutSht>();
        QCOMPARE(listed(), QStringList({"5", "160"}));
        classList()->setCurrentRow(1);
        QCOMPARE(int(m_prompt.shown().size()), 1);
        QCOMPARE(m_prompt.shown()[0].text, QString("No entries found... aborting"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(payoutSheet()->cancelled());

        m_prompt.clear();
        m_show->removeClass(5);
        bool blocked = false;
        QVERIFY(!runModally<PayOutSht>(blocked));
        QVERIFY(!blocked);
        QCOMPARE(int(m_prompt.shown().size()), 1);
        QCOMPARE(m_prompt.shown()[0].text, QString("No entries found... aborting"));
    }
};

QTEST_MAIN(TestReportDialogs)
#include "TestReportDialogs.moc"

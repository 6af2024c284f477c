#include "PrintoutsFiles.h"
#include "common/Services.h"
#include "reports/ReportDefinitions.h"
#include "reports/ui/PrintoutsTWL.h"
#include "support/ScreenTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

using namespace twl;

// The report selection of the Print Menu, driven as a user drives it.
class TestPrintoutsTWL : public QObject, protected ScreenTest<reports::PrintoutsTWL> {
    Q_OBJECT

public:
    TestPrintoutsTWL() : ScreenTest(QDate(2026, 12, 7)) {}

private:
    std::unique_ptr<PrintoutsFiles> m_data;

    QRadioButton* option(int kind) {
        return child<QRadioButton>(QStringLiteral("PrnOp_%1").arg(kind));
    }
    QListWidget* numbers() { return child<QListWidget>(QStringLiteral("SelNum")); }
    QListWidget* names() { return child<QListWidget>(QStringLiteral("SelNam")); }
    QPushButton* okBut() { return child<QPushButton>(QStringLiteral("OKBut")); }
    QLabel* label(const char* name) { return child<QLabel>(QString::fromLatin1(name)); }
    QString chosenName() {
        return names()->currentItem() ? names()->currentItem()->text() : QString();
    }
    static bool grey(QListWidget* list) {
        return list->palette().color(QPalette::Base) == QColor(0xE0, 0xE0, 0xE0);
    }

    void choose(int kind) { QTest::mouseClick(option(kind), Qt::LeftButton); }
    void pick(const QString& number) {
        const QList<QListWidgetItem*> found = numbers()->findItems(number, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(number));
        numbers()->scrollToItem(found.first());
        QTest::mouseClick(numbers()->viewport(), Qt::LeftButton, {},
                          numbers()->visualItemRect(found.first()).center());
    }
    void click(const char* name) {
        QTest::mouseClick(child<QAbstractButton>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void closeShow() {
        m_shared.session.ShowPath.clear();
        m_shared.session.ShowConnString.clear();
    }

private slots:
    void init() {
        m_data = std::make_unique<PrintoutsFiles>();
        ReportShow& show = m_data->show();
        for (int c = 1; c <= 6; ++c)
            show.addClass(c, QStringLiteral("Class %1").arg(c), 5, c != 4);
        m_data->addEntry(210, QStringLiteral("Ann Lee"), 1);
        m_data->addEntry(35, QStringLiteral("Bob Ray"), 2);
        m_data->addEntry(210, QStringLiteral("Ann Lee"), 3);
        for (int i = 1; i <= 40; ++i)
            m_data->addEntry(400 + i, QStringLiteral("Rider %1").arg(i), 1 + i % 6);
        m_data->addMember(QStringLiteral("M00007"), QStringLiteral("Gail Hunt"));
        m_data->addMember(QStringLiteral("O'Hara [2]"), QStringLiteral("Pat O'Hara"));

        m_shared = TWL_public();
        m_shared.session.DbPassword = QString::fromLatin1(TestFolder::Password);
        m_shared.session.ShowPath = m_data->show().path();
        m_shared.session.ShowConnString = m_data->showConnection();
        m_shared.session.OrgConnString = m_data->orgConnection();
        m_shared.session.TotClassUsed = 6;
        m_prompt.clear();
    }
    void cleanup() {
        m_dialog.reset();
        m_data.reset();
    }

    void opensWithNothingChosen() {
        m_shared.report.ReportKind = 0;
        m_shared.report.ScoreClass = 12;
        m_shared.report.ReportSubject = QStringLiteral("210");
        openScreen();
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Trotwell  [Reports]"));
        QCOMPARE(child<QGroupBox>("Frame2")->title(), QStringLiteral("Type of Report"));
        QCOMPARE(m_shared.report.ReportKind, 69);
        QCOMPARE(m_shared.report.ScoreClass, 0);
        QVERIFY(m_shared.report.ReportSubject.isEmpty());
        for (int kind = 1; kind <= 6; ++kind)
            QVERIFY(option(kind)->isEnabled() && !option(kind)->isChecked());
        // The options, top to bottom, are the reports of kinds 1 to 6; the sheets of the Tools
        // menu are not offered.
        const QStringList captions{"&End of Show Report", "&Class List Report", "E&xhibitor Report",
                                   "&Member Roster",      "Member &Profile",    "&Show Roster"};
        for (int kind = 1; kind <= 6; ++kind) {
            QCOMPARE(option(kind)->text(), captions[kind - 1]);
            QVERIFY(kind == 1 || option(kind)->y() > option(kind - 1)->y());
        }
        // Then the points statement, which like the profile is a member's.
        QCOMPARE(option(reports::kind::PointsStatement)->text(),
                 QStringLiteral("Poi&nts Statement"));
        QVERIFY(option(reports::kind::PointsStatement)->y() > option(6)->y());
        // The office's four printouts follow them.
        QCOMPARE(m_dialog->findChildren<QRadioButton*>().size(), 11);
        for (int kind = reports::kind::Statement; kind <= reports::kind::DailyTakings; ++kind)
            QVERIFY(
                option(kind)->y() >
                option(kind == reports::kind::Statement ? reports::kind::PointsStatement : kind - 1)
                    ->y());
        QVERIFY(!m_dialog->findChild<QRadioButton*>(QStringLiteral("PrnOp_0")));
        QVERIFY(!okBut()->isEnabled());
        QVERIFY(!numbers()->isEnabled() && grey(numbers()));
        QVERIFY(!names()->isEnabled() && grey(names()));
        QVERIFY(label("Label1")->isHidden());
        QVERIFY(label("Label2")->isHidden());
        QVERIFY(m_prompt.shown().empty());
    }

    void anExhibitorIsPickedBeforeOKAndBringsItsName() {
        openScreen();
        choose(3);
        QCOMPARE(m_shared.report.ReportKind, 3);
        QVERIFY(!okBut()->isEnabled());
        QVERIFY(numbers()->isEnabled() && !grey(numbers()));
        QCOMPARE(numbers()->count(), 42);
        QCOMPARE(numbers()->item(0)->text(), QStringLiteral("35"));
        QCOMPARE(numbers()->item(1)->text(), QStringLiteral("210"));
        pick(QStringLiteral("210"));
        QCOMPARE(m_shared.report.ReportSubject, QStringLiteral("210"));
        QVERIFY(names()->isEnabled());
        QCOMPARE(names()->count(), 1);
        QCOMPARE(chosenName(), QStringLiteral("Ann Lee"));
        QVERIFY(okBut()->isEnabled());

        // Another kind greys the lists again and forgets the number.
        choose(2);
        QVERIFY(okBut()->isEnabled());
        QCOMPARE(numbers()->count(), 0);
        QVERIFY(!numbers()->isEnabled() && grey(numbers()) && grey(names()));
        QVERIFY(m_shared.report.ReportSubject.isEmpty());
    }

    // The member profile and the points statement.
    void aMemberWithAnyNumberIsFound() {
        for (int kind : {reports::kind::MemberProfile, reports::kind::PointsStatement}) {
            openScreen();
            choose(kind);
            QVERIFY(!okBut()->isEnabled());
            QCOMPARE(numbers()->count(), 2);
            pick(QStringLiteral("O'Hara [2]"));
            QCOMPARE(chosenName(), QStringLiteral("Pat O'Hara"));
            QCOMPARE(m_shared.report.ReportSubject, QStringLiteral("O'Hara [2]"));
            QVERIFY(okBut()->isEnabled());
            click("OKBut");
            QVERIFY(!m_dialog->cancelled());
            QCOMPARE(m_shared.report.ReportKind, kind);
            QVERIFY(m_data->chosenExhibitors().isEmpty());
        }
    }

    void openClassesAreShownYetTheReportPrints() {
        openScreen();
        choose(1);
        QVERIFY(label("Label2")->isVisible());
        QCOMPARE(label("Label2")->text(), QStringLiteral("Not All Classes Are Ended !"));
        QVERIFY(okBut()->isEnabled());
        choose(6);
        QVERIFY(label("Label2")->isHidden());
        m_dialog.reset();

        // Class 4 ended too, the only open classes lie beyond the classes in use.
        m_data->show().addClass(4, QStringLiteral("Class 4"), 5, true);
        openScreen();
        choose(1);
        QVERIFY(label("Label2")->isHidden());
        QVERIFY(okBut()->isEnabled());
        click("OKBut");
        QCOMPARE(m_shared.report.ReportKind, 1);
        QVERIFY(!m_dialog->cancelled());
    }

    void theMemberProfileCommandOffersOnlyTheProfile() {
        m_shared.report.MemberProfileOnly = true;
        m_shared.report.LastPrintoutKind = 6;
        openScreen();
        QVERIFY(option(5)->isChecked());
        QCOMPARE(m_shared.report.ReportKind, 5);
        QVERIFY(!child<QGroupBox>("Frame2")->isEnabled());
        QVERIFY(label("Label1")->isVisible());
        QCOMPARE(label("Label1")->text(), QStringLiteral("Member Profile option only"));
        QCOMPARE(numbers()->count(), 2);
        QVERIFY(!okBut()->isEnabled());
        pick(QStringLiteral("M00007"));
        QCOMPARE(chosenName(), QStringLiteral("Gail Hunt"));
        click("OKBut");
        QVERIFY(!m_dialog->cancelled());
        // The profile from the organisation menu is not what the Print Menu offers next.
        QCOMPARE(m_shared.report.LastPrintoutKind, 6);
    }

    void cancelPrintsNothing() {
        m_dialog = std::make_unique<reports::PrintoutsTWL>(m_services);
        QTimer::singleShot(0, m_dialog.get(), [this] {
            choose(3);
            pick(QStringLiteral("35"));
            click("CanBut");
        });
        m_dialog->exec();
        QVERIFY(m_dialog->cancelled());
        QVERIFY(m_data->chosenExhibitors().isEmpty());
        QCOMPARE(m_shared.report.LastPrintoutKind, 0);

        // Escape is a Cancel too.
        openScreen();
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        QTRY_VERIFY(!m_dialog->isVisible());
        QVERIFY(m_dialog->cancelled());
    }

    void theTitleSheetChoiceIsTheSharedOne() {
        m_shared.report.PrintTitleSheet = false;
        openScreen();
        auto* check = child<QCheckBox>("Check4");
        QCOMPARE(check->text(), QStringLiteral("Print title sheet with report."));
        QVERIFY(!check->isChecked());
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(m_shared.report.PrintTitleSheet);
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(!m_shared.report.PrintTitleSheet);
    }

    void okWithAnExhibitorLeavesItInTheWorkTable() {
        m_dialog = std::make_unique<reports::PrintoutsTWL>(m_services);
        QTimer::singleShot(0, m_dialog.get(), [this] {
            choose(3);
            pick(QStringLiteral("35"));
            pick(QStringLiteral("210"));
            click("OKBut");
        });
        m_dialog->exec();
        QVERIFY(!m_dialog->cancelled());
        QCOMPARE(m_shared.report.ReportKind, 3);
        QCOMPARE(m_data->chosenExhibitors(), QStringList{"210|Ann Lee"});
    }

    void theLastChoiceAndTheCurrentExhibitorAreOffered() {
        openScreen();
        choose(6);
        click("OKBut");
        openScreen();
        QVERIFY(option(6)->isChecked());
        QCOMPARE(m_shared.report.ReportKind, 6);
        QVERIFY(okBut()->isEnabled());
        choose(3);
        click("OKBut"); // nothing picked yet: OK is disabled
        QVERIFY(m_dialog->isVisible());
        m_dialog->setCurrentExhibitor(437);
        QCOMPARE(numbers()->currentItem()->text(), QStringLiteral("437"));
        QCOMPARE(chosenName(), QStringLiteral("Rider 37"));
        click("OKBut");

        // Opened again on the exhibitor report, the main window's exhibitor is picked at once.
        m_dialog = std::make_unique<reports::PrintoutsTWL>(m_services);
        m_dialog->setCurrentExhibitor(35);
        m_dialog->show();
        QVERIFY(option(3)->isChecked());
        QCOMPARE(m_shared.report.ReportSubject, QStringLiteral("35"));
        QCOMPARE(chosenName(), QStringLiteral("Bob Ray"));
        QVERIFY(okBut()->isEnabled());
        // An exhibitor the show does not have picks nothing.
        m_dialog = std::make_unique<reports::PrintoutsTWL>(m_services);
        m_dialog->setCurrentExhibitor(9999);
        QVERIFY(numbers()->currentItem() == nullptr);
        QVERIFY(!okBut()->isEnabled());
    }

    // The daily takings offer the days with payments; the day picked is the report's subject.
    void theDailyTakingsOfferTheDaysWithPayments() {
        for (const char* at : {"2026-12-07 10:00:00", "2026-12-06 09:00:00", "2026-12-07 11:00:00"})
            m_data->show().run("INSERT INTO Payments_tbl ([Show Exh No], [Written At], "
                               "[Pay Method], [Amount Cents]) VALUES (35, ?, 'Cash', 100)",
                               {store::Value(QString::fromLatin1(at))});
        openScreen();
        choose(reports::kind::DailyTakings);
        QVERIFY(!okBut()->isEnabled());
        QCOMPARE(numbers()->count(), 2);
        QCOMPARE(numbers()->item(0)->text(), QStringLiteral("12/6/2026"));
        pick(QStringLiteral("12/7/2026"));
        QCOMPARE(m_shared.report.ReportSubject, QStringLiteral("12/7/2026"));
        QCOMPARE(names()->count(), 0);
        QVERIFY(okBut()->isEnabled());
        choose(reports::kind::Statement); // the statement offers the exhibitors
        QCOMPARE(numbers()->count(), 42);
    }

    void withoutAShowOnlyTheMemberReportsAreOffered() {
        m_shared.report.LastPrintoutKind = 3;
        closeShow();
        openScreen();
        for (int kind : {1, 2, 3, 6})
            QVERIFY(!option(kind)->isEnabled());
        for (int kind : {4, 5})
            QVERIFY(option(kind)->isEnabled());
        QCOMPARE(m_shared.report.ReportKind, 69);
        choose(5);
        pick(QStringLiteral("M00007"));
        QCOMPARE(chosenName(), QStringLiteral("Gail Hunt"));
        QVERIFY(m_prompt.shown().empty());

        // The scratch copy the closed show leaves behind is no show either.
        m_shared.session.ShowConnString = m_data->showConnection();
        openScreen();
        QVERIFY(!option(3)->isEnabled());
    }

    void aListThatCannotBeReadIsReportedNotShownEmpty() {
        m_shared.session.ShowConnString = store::dataConnectionText(
            m_data->folder().file(QStringLiteral("Gone.twl")), m_shared.session.DbPassword);
        openScreen();
        choose(3);
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QStringLiteral("Trotwell"));
        QVERIFY(m_prompt.shown()[0].text.contains(QStringLiteral("exhibitor numbers")));
        QVERIFY(!numbers()->isEnabled() && grey(numbers()));
        QVERIFY(!okBut()->isEnabled());
    }
};

QTEST_MAIN(TestPrintoutsTWL)
#include "TestPrintoutsTWL.moc"

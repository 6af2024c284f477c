#include "ResultsShow.h"
#include "classes/EndClassWriter.h"
#include "classes/ui/EditWinners.h"
#include "classes/ui/EndClass.h"
#include "common/Services.h"
#include "support/FullDisk.h"
#include "support/ScreenTest.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace twl;
using Entry = ResultsShow::Entry;

namespace {

const QString Dashes = "----------------------------------";
QByteArray lines(const QStringList& list) {
    return (list.join("\r\n") + "\r\n").toUtf8();
}

// The worked example: class 12 of 6 entries, multiplier 1.5, fee 20; points 5 and payout 0.5 in
// row 1, column 6; the winner placed 1 is member M100 with 10 season points.
void workedExample(ResultsShow& show, twl::TWL_public& shared) {
    show.setClass(12, "Western Pleasure", 20, 1.5);
    show.addEntries(12, {{101, "Anna Brooks", "M100", 1},
                         {102, "Ben Carter", "M101", 0},
                         {103, "Carla Dalton", "", 0},
                         {104, "Dylan Ellis", "", 0},
                         {105, "Emma Fisher", "", 0},
                         {106, "Frank Garcia", "", 0}});
    show.setCell("Points_tbl", 1, 6, 5);
    show.setCell("PaySch_tbl", 1, 6, 0.5);
    show.addMember("M100", 10.0);
    show.addMember("M101", 4.0);
    shared.org.IsPrcnt = true;
    shared.org.CutOff = 8;
    shared.org.MinMultiP = 0.5;
}

const QByteArray WorkedExampleLog = lines({"Class No. = 12",
                                           "Class Name = Western Pleasure",
                                           "Total Exh. = 6",
                                           "Total Winners. = 1",
                                           "Points Multiplier = 1.5",
                                           "Class Fee = 20",
                                           "Percentage = True",
                                           "Min Exh in Class = 8",
                                           "Min Exh Multiplier = 0.5",
                                           Dashes,
                                           "",
                                           "",
                                           "Exhibitor = 101",
                                           "Member No. = M100",
                                           "Place = 1",
                                           "Original Points = 10",
                                           "Points Base = 5",
                                           "New Points = 7.5",
                                           "FinalPoints = 17.5",
                                           "Payout Base = 0.5",
                                           "Payout = 5",
                                           Dashes,
                                           ""});

} // namespace

class TestEndClass : public QObject, protected ScreenTest<EndClass> {
    Q_OBJECT

public:
    TestEndClass() : ScreenTest(QDate(2005, 6, 18)) {}

private:
    std::unique_ptr<ResultsShow> m_show;

    QPushButton* endButton() { return child<QPushButton>("EndClss"); }
    QListWidget* classList() { return child<QListWidget>("ClssLst"); }
    QStringList listed(QListWidget* list) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }
    void chooseClass(const QString& number) {
        const auto items = classList()->findItems(number, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        classList()->setCurrentItem(items[0]);
    }
    // ALT and a click on "End This Class", as the user ends a class.
    void endWithAlt() {
        QTest::keyClick(classList(), Qt::Key_X, Qt::AltModifier);
        QVERIFY(endButton()->isEnabled());
        QTest::mouseClick(endButton(), Qt::LeftButton);
    }
    EndClassWriter::Request request(const QString& classNumber) {
        return {classNumber,
                {m_shared.org.IsPrcnt, m_shared.org.CutOff, m_shared.org.MinMultiP},
                m_shared.session.AppFolder,
                m_shared.session.DateOfEvent};
    }

private slots:
    void init() {
        m_prompt.clear();
        m_show = std::make_unique<ResultsShow>(m_shared);
    }
    void cleanup() {
        m_dialog.reset();
        m_show.reset();
    }

    void workedExampleThroughTheScreen() {
        workedExample(*m_show, m_shared);
        m_show->addUnplaced(3, 2);
        openScreen();
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [End Class]"));
        QCOMPARE(listed(classList()), QStringList({"3", "12"}));
        chooseClass("12");
        QCOMPARE(child<QLabel>("Label2_0")->text(), QString("Western Pleasure"));
        QCOMPARE(child<QLabel>("Label2_1")->text(), QString("12"));
        QCOMPARE(child<QLabel>("Label2_2")->text(), QString("1"));
        QVERIFY(!endButton()->isEnabled());
        const QByteArray org = ResultsShow::bytes(m_show->orgFile());

        endWithAlt();
        QVERIFY(m_prompt.shown().empty());
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_show->showPoints(12, 101), store::Value(7.5));
        QCOMPARE(m_show->showPoints(12, 102), store::Value());
        QCOMPARE(m_show->memberPoints("M100"), store::Value(17.5));
        QCOMPARE(m_show->memberPoints("M101"), store::Value(4.0));
        QCOMPARE(m_show->payouts(), QStringList({"12|101|Anna Brooks|1|5"}));
        QVERIFY(m_show->classEnded(12));
        QVERIFY(!m_show->classEnded(3));
        QVERIFY(ResultsShow::bytes(m_show->orgFile()) != org);
        QCOMPARE(ResultsShow::bytes(m_show->logFile("Class 12 Log 06-18-05.txt")),
                 WorkedExampleLog);
        // Only the log is left in the log folder: no temporary file.
        QCOMPARE(QDir(m_show->folder().file("TWL Class Log")).entryList(QDir::Files),
                 QStringList({"Class 12 Log 06-18-05.txt"}));
    }

    void endIsNotClickableBeforeAlt() {
        workedExample(*m_show, m_shared);
        openScreen();
        QVERIFY(!endButton()->isEnabled());
        QTest::mouseClick(endButton(), Qt::LeftButton);
        QTest::keyClick(classList(), Qt::Key_X);
        QTest::keyClick(classList(), Qt::Key_X, Qt::ShiftModifier);
        QTest::keyClick(classList(), Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!endButton()->isEnabled());
        QTest::mouseClick(endButton(), Qt::LeftButton);
        QVERIFY(m_dialog->isVisible());
        QVERIFY(!m_show->classEnded(12));
        QVERIFY(m_show->payouts().isEmpty());

        // ALT alone releases the catch, wherever the focus is, for the rest of the screen.
        QTest::keyClick(child<QPushButton>("CanBut"), Qt::Key_Alt);
        QVERIFY(endButton()->isEnabled());
        QTest::keyClick(classList(), Qt::Key_Down);
        QVERIFY(endButton()->isEnabled());
    }

    void cancelChangesNothing() {
        workedExample(*m_show, m_shared);
        const QByteArray show = ResultsShow::bytes(m_show->showFile());
        const QByteArray org = ResultsShow::bytes(m_show->orgFile());
        openScreen();
        QTest::keyClick(classList(), Qt::Key_Alt);
        QTest::mouseClick(child<QPushButton>("CanBut"), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(ResultsShow::bytes(m_show->showFile()), show);
        QCOMPARE(ResultsShow::bytes(m_show->orgFile()), org);
        QVERIFY(QDir(m_show->folder().file("TWL Class Log")).isEmpty());
    }

    void anEndedClassLeavesBothClassLists() {
        workedExample(*m_show, m_shared);
        m_show->addUnplaced(5, 3);
        m_show->addUnplaced(21, 3); // above the classes in use
        openScreen();
        QCOMPARE(listed(classList()), QStringList({"5", "12"}));
        chooseClass("12");
        endWithAlt();
        QVERIFY(!m_dialog->isVisible());

        openScreen();
        QCOMPARE(listed(classList()), QStringList({"5"}));
        EditWinners placings(m_services);
        QCOMPARE(listed(placings.findChild<QListWidget*>("ClssLst")), QStringList({"5"}));
    }

    void noClassToEnd() {
        m_dialog = std::make_unique<EndClass>(m_services);
        m_dialog->show();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell"));
        QCOMPARE(m_prompt.shown()[0].text, QString("No entries found... aborting"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(m_dialog->gaveUp());
        QTRY_VERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    }

    void aFailureInTheMiddleLeavesBothFilesAsTheyWere() {
        workedExample(*m_show, m_shared);
        m_show->org("CREATE TRIGGER NoTotals BEFORE UPDATE ON Members_tbl "
                    "BEGIN SELECT RAISE(ABORT, 'the organisation file is full'); END");
        const QByteArray show = ResultsShow::bytes(m_show->showFile());
        const QByteArray org = ResultsShow::bytes(m_show->orgFile());
        openScreen();
        chooseClass("12");
        endWithAlt();

        QCOMPARE(m_prompt.shown().size(), size_t(1));
        const Prompt::Message& box = m_prompt.shown()[0];
        QCOMPARE(box.icon, Prompt::Icon::Critical);
        QVERIFY(box.text.startsWith("Class 12 could not be ended. Nothing has been changed."));
        QVERIFY(box.text.contains("the organisation file is full"));
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(ResultsShow::bytes(m_show->showFile()), show);
        QCOMPARE(ResultsShow::bytes(m_show->orgFile()), org);
        QVERIFY(QDir(m_show->folder().file("TWL Class Log")).isEmpty());
        QVERIFY(!m_show->classEnded(12));

        // Once the organisation file takes the totals again, the same screen ends the class.
        m_show->org("DROP TRIGGER NoTotals");
        m_prompt.clear();
        QTest::mouseClick(endButton(), Qt::LeftButton);
        QVERIFY(m_prompt.shown().empty());
        QVERIFY(m_show->classEnded(12));
        QCOMPARE(m_show->memberPoints("M100"), store::Value(17.5));
        QCOMPARE(ResultsShow::bytes(m_show->logFile("Class 12 Log 06-18-05.txt")),
                 WorkedExampleLog);
    }

    void aLogThatCannotBeCreatedEndsNothing() {
        workedExample(*m_show, m_shared);
        QDir(m_show->folder().file("TWL Class Log")).removeRecursively();
        QFile blocker(m_show->folder().file("TWL Class Log"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        blocker.close();
        const QByteArray show = ResultsShow::bytes(m_show->showFile());
        const QByteArray org = ResultsShow::bytes(m_show->orgFile());
        EndClassWriter writer(m_shared.session.ShowConnString, m_shared.session.OrgConnString);
        QVERIFY_THROWS_EXCEPTION(EndClassWriter::Failure, writer.run(request("12")));
        QCOMPARE(ResultsShow::bytes(m_show->showFile()), show);
        QCOMPARE(ResultsShow::bytes(m_show->orgFile()), org);
    }

    // A class log that does not fit on the disk ends nothing, and no empty log is left.
    void aFullDiskForTheLogEndsNothing() {
        workedExample(*m_show, m_shared);
        const QString logFolder = m_show->folder().file("TWL Class Log");
        FullDisk disk(logFolder);
        if (!disk.mounted())
            QSKIP("cannot mount a small file system here");
        QVERIFY(disk.fill());
        const QByteArray show = ResultsShow::bytes(m_show->showFile());
        const QByteArray org = ResultsShow::bytes(m_show->orgFile());
        EndClassWriter writer(m_shared.session.ShowConnString, m_shared.session.OrgConnString);
        QVERIFY_THROWS_EXCEPTION(EndClassWriter::Failure, writer.run(request("12")));
        QCOMPARE(ResultsShow::bytes(m_show->showFile()), show);
        QCOMPARE(ResultsShow::bytes(m_show->orgFile()), org);
        QCOMPARE(QDir(logFolder).entryList(QDir::Files), QStringList{"filler"});
    }

    void aMissingOrganisationFileIsReportedAtTheClick() {
        workedExample(*m_show, m_shared);
        const QByteArray show = ResultsShow::bytes(m_show->showFile());
        store::releaseConnection(m_show->orgFile());
        QVERIFY(QFile::rename(m_show->orgFile(), m_show->orgFile() + ".away"));
        openScreen();
        QVERIFY(m_prompt.shown().empty()); // nothing to say before the user ends a class
        chooseClass("12");
        endWithAlt();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Critical);
        QVERIFY(m_prompt.shown()[0].text.contains("does not exist"));
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(ResultsShow::bytes(m_show->showFile()), show);
        QVERIFY(!QFile::exists(m_show->orgFile())); // attaching never creates an empty file
    }

    void placingsOfEveryKindThroughTheWriter() {
        m_show->setClass(7, "Open Halter", 15, 2);
        std::vector<Entry> entries{{1, "Gus", "M1", 2}, {2, "Hal", "", 0},   {3, "Ida", "", 1},
                                   {4, "Jo", "m1", 2},  {5, "Kit", "Z9", 3}, {6, "Lu", "", 21}};
        for (int i = 7; i <= 25; ++i)
            entries.push_back({i, QString("Rider %1").arg(i), "", 0});
        m_show->addEntries(7, entries);
        for (int place = 1; place <= 3; ++place) {
            m_show->setCell("Points_tbl", place, 20, 10 - place);
            m_show->setCell("PaySch_tbl", place, 20, 4 - place);
        }
        m_show->addMember("M1", 1.25);
        const store::Value untouched = m_show->memberPoints("M1");
        QCOMPARE(untouched, store::Value(1.25));

        EndClassWriter writer(m_shared.session.ShowConnString, m_shared.session.OrgConnString);
        const EndClassWriter::Outcome outcome = writer.run(
            {"7", {false, 30, 0.5}, m_shared.session.AppFolder, m_shared.session.DateOfEvent});
        QVERIFY(outcome.logError.isEmpty());
        QCOMPARE(outcome.logFile, m_show->logFile("Class 7 Log 06-18-05.txt"));
        // Place order, the two second places in table order; place 21 pays 0; place 0 nothing.
        QCOMPARE(m_show->payouts(), QStringList({"7|3|Ida|1|1.5", "7|1|Gus|2|1", "7|4|Jo|2|1",
                                                 "7|5|Kit|3|0.5", "7|6|Lu|21|0"}));
        QCOMPARE(m_show->showPoints(7, 3), store::Value(18.0));
        QCOMPARE(m_show->showPoints(7, 1), store::Value(16.0));
        QCOMPARE(m_show->showPoints(7, 4), store::Value(16.0));
        QCOMPARE(m_show->showPoints(7, 5), store::Value(14.0)); // no such member: entry only
        QCOMPARE(m_show->showPoints(7, 6), store::Value());
        QCOMPARE(m_show->showPoints(7, 2), store::Value());
        // M1 placed twice (once typed as m1): both placings count.
        QCOMPARE(m_show->memberPoints("M1"), store::Value(33.25));
        const QByteArray log = ResultsShow::bytes(outcome.logFile);
        QVERIFY(log.startsWith(
            lines({"Class No. = 7", "Class Name = Open Halter", "Total Exh. = 20",
                   "Total Winners. = 5", "Points Multiplier = 2", "Class Fee = 15",
                   "Percentage = False", "Min Exh in Class = 30", "Min Exh Multiplier = 0.5"})));
        QVERIFY(
            log.contains(lines({"Exhibitor = 4", "Member No. = m1", "Place = 2",
                                "Original Points = 17.25", "Points Base = 8", "New Points = 16",
                                "FinalPoints = 33.25", "Payout Base = 2", "Payout = 1", Dashes})));

        // A class is never ended twice.
        QVERIFY_THROWS_EXCEPTION(EndClassWriter::Failure, writer.run(request("7")));
        QCOMPARE(m_show->payouts().size(), 5);
    }

    void unknownMembersLeaveTheOrganisationFileAlone() {
        m_show->setClass(2, "Walk-Trot", 10, 1);
        m_show->addEntries(2, {{1, "Ann", "", 1}, {2, "Bo", "NOBODY", 2}});
        m_show->setCell("Points_tbl", 1, 2, 2);
        m_show->setCell("Points_tbl", 2, 2, 1);
        const QByteArray org = ResultsShow::bytes(m_show->orgFile());
        EndClassWriter(m_shared.session.ShowConnString, m_shared.session.OrgConnString)
            .run(request("2"));
        QCOMPARE(m_show->showPoints(2, 1), store::Value(2.0));
        QCOMPARE(m_show->showPoints(2, 2), store::Value(1.0));
        QVERIFY(m_show->classEnded(2));
        QCOMPARE(ResultsShow::bytes(m_show->orgFile()), org);
    }

    void aClassWithoutPlacingsCanBeEnded() {
        m_show->setClass(9, "Trail", 0, 1);
        m_show->addUnplaced(9, 4);
        QFile old(m_show->logFile("Class 9 Log 06-18-05.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier run's log, which is replaced\r\n");
        old.close();
        m_shared.org.CutOff = 3;
        m_shared.org.MinMultiP = 0.75;
        openScreen();
        QCOMPARE(child<QLabel>("Label2_2")->text(), QString("0"));
        endWithAlt();
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(m_show->classEnded(9));
        QVERIFY(m_show->payouts().isEmpty());
        QCOMPARE(
            ResultsShow::bytes(m_show->logFile("Class 9 Log 06-18-05.txt")),
            lines({"Class No. = 9", "Class Name = Trail", "Total Exh. = 4", "Total Winners. = 0",
                   "Points Multiplier = 1", "Class Fee = 0", "Percentage = False",
                   "Min Exh in Class = 3", "Min Exh Multiplier = 0.75", Dashes, "", ""}));
    }

    void theOrganisationFileIsAttachedOnlyWhileTheScreenIsOpen() {
        workedExample(*m_show, m_shared);
        const auto databases = [this] {
            store::Statement list = store::connectionFor(m_shared.session.ShowConnString)
                                        ->prepare("PRAGMA database_list");
            QStringList names;
            while (list.step())
                names << list.columnValue(1, store::FieldType::Text).toText();
            return names;
        };
        openScreen();
        QVERIFY(databases().contains("org"));
        m_dialog->reject();
        QVERIFY(databases().contains("main"));
        QVERIFY(!databases().contains("org"));
    }
};

QTEST_MAIN(TestEndClass)
#include "TestEndClass.moc"

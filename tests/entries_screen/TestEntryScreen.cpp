#include "EntryScreenFixture.h"

#include "entries/SortKeys.h"
#include "entries/ui/EntryForm.h"

#include <QDialog>
#include <QListWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using twl::Prompt;

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);

// Fields 1 to 8 of a valid entry after the exhibitor number, with the class at index 3.
QStringList entryAfterNumber(const QString& classNo) {
    return {"Blaze", "Jane Hart", "R-1", classNo, "", "555-0101", "Jane Hart", "TX"};
}

} // namespace

class TestEntryScreen : public QObject {
    Q_OBJECT

    std::unique_ptr<EntryScreenFixture> f;

    // Begins adding and types a whole valid entry but the exhibitor number and class.
    void typeEntry(const QString& exhibitorNo, const QString& classNo) {
        f->typeNewEntry(QStringList{exhibitorNo} + entryAfterNumber(classNo));
    }
    void expectRefused(int field, int rowsBefore) {
        QVERIFY(f->framed(field, Red));
        QCOMPARE(QApplication::focusWidget(), f->field(field));
        QCOMPARE(f->storedRows(), rowsBefore);
        QVERIFY(f->screen().state().addMode);
        QVERIFY(f->button("OKBut")->isEnabled());
    }

private slots:
    void init() {
        f = std::make_unique<EntryScreenFixture>();
        QVERIFY(f->start());
    }
    void cleanup() {
        f->stop();
        f.reset();
    }

    void addingWalksTheFieldsAndWritesOneRow() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {4, "Bob Ray", 9}}));
        QCOMPARE(f->window().showState(), twl::ShowState::ShowWithEntries);
        const QString before = f->lastAction();

        f->trigger("mnuEditEnterExh");
        QVERIFY(f->texts().join("").isEmpty());
        QVERIFY(f->field(0)->isEnabled() && !f->field(1)->isEnabled());
        QVERIFY(f->button("CanBut")->isEnabled() && !f->button("OKBut")->isEnabled());
        QVERIFY(f->window().isFrameLocked() && !f->window().command("mnuFile")->isEnabled());
        QVERIFY(!f->window().toolBar()->isEnabled());

        f->enter(0, "12");
        QVERIFY(f->field(1)->isEnabled() && f->field(12)->isEnabled());
        QVERIFY(f->button("OKBut")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f->field(1));
        QVERIFY(f->button("LookUpMem")->isEnabled());
        QVERIFY(f->button("MultiClsBut")->isEnabled()); // the board is offered once 0 is left
        const QStringList rest{"Blaze", "Jane O'Hara", "R-1",        "5",
                               "",      "555-0101",    "Ann's Farm", "TX"};
        for (int i = 0; i < rest.size(); ++i) {
            f->enter(i + 1, rest[i]);
            QCOMPARE(QApplication::focusWidget(), f->field(i + 2));
        }
        QVERIFY(!f->screen().state().editPending); // typing a new entry is no edit
        QCOMPARE(f->lastAction(), before);

        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->lastAction(), QString("Exh. 12  (Jane O Hara) was added to class 5"));
        QCOMPARE(f->storedRows(), 3);
        const QString added = "[Show Exh No] = 12 AND [Class No] = 5";
        QCOMPARE(f->stored("Show Exh Nam", added).toText(), QString("Jane O Hara"));
        QCOMPARE(f->stored("Owner Name", added).toText(), QString("Ann s Farm"));
        QCOMPARE(f->stored("Exhibitor Phone", added).toText(), QString("555-0101"));
        QVERIFY(f->stored("Member Number", added).isNull());
        QVERIFY(f->stored("Place", added).isNull());

        // Back to viewing, on the new entry, with the frame unlocked and the counts updated.
        QVERIFY(!f->screen().state().addMode);
        for (const char* name : {"OKBut", "UpdBut", "CanBut", "LookUpMem", "MultiClsBut"})
            QVERIFY2(!f->button(name)->isEnabled(), name);
        QVERIFY(!f->window().isFrameLocked() && f->window().toolBar()->isEnabled());
        QCOMPARE(f->field(0)->text(), QString("12"));
        QCOMPARE(f->field(2)->text(), QString("Jane O Hara"));
        QCOMPARE(f->label("ExhNo"), QString("12"));
        // Sorted by class (2, 5, 9): the new entry is the second.
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  2  of  3"));
        QCOMPARE(f->label("TotEn"), QString("3"));
        QCOMPARE(f->child<QListWidget>("L_1")->item(4)->text(), QString("1"));
        QCOMPARE(f->child<QLineEdit>("clID")->text(), QString("5"));
        QCOMPARE(f->label("CDbx"), QString("Class 5 Halter"));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void theFirstEntryOfAShow() {
        f->open(f->makeShow({}));
        QVERIFY(!f->window().navigationBar().bar->isVisible());
        f->window().toolbarAction("AddE")->trigger();
        QVERIFY(f->screen().state().addMode && f->field(0)->isEnabled());
        // Tab stops are off until the first Enter; cancelling gives them back.
        QCOMPARE(f->field(1)->focusPolicy(), Qt::ClickFocus);
        QTest::mouseClick(f->button("CanBut"), Qt::LeftButton);
        QCOMPARE(f->field(1)->focusPolicy(), Qt::StrongFocus);
        QVERIFY(!f->field(0)->isEnabled());
        QCOMPARE(f->storedRows(), 0);

        typeEntry("1", "1");
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->window().showState(), twl::ShowState::ShowWithEntries);
        QVERIFY(f->window().navigationBar().bar->isVisible());
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  1  of  1"));
        QVERIFY(f->window().command("mnuEditDelExh")->isEnabled());
        QVERIFY(f->field(0)->isEnabled() && f->field(1)->isEnabled());
        QCOMPARE(f->label("TotEn"), QString("1"));
    }

    void refusedExhibitorNumbers() {
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        for (const char* number : {"0", "-1", "x"}) {
            typeEntry(number, "5");
            QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
            expectRefused(0, 1);
            QCOMPARE(f->field(0)->text(), QString(number)); // the form keeps what was typed
            QTest::mouseClick(f->button("CanBut"), Qt::LeftButton);
        }
        // The same checks apply to an empty horse name, and they run in the field order.
        f->typeNewEntry({"8", "", "Jane Hart", "", "", "", "", "", ""});
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        expectRefused(1, 1);
    }

    void refusedClassNumbers() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {12, "Jane Hart", 5}}, 40, {7}));
        for (const char* classNo : {"0", "41", "7", "5", "", "x"}) {
            typeEntry("12", classNo);
            QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
            expectRefused(4, 2);
            QTest::mouseClick(f->button("CanBut"), Qt::LeftButton);
        }
        // 40.5 rounds to 40 (halves to even), a class in use.
        typeEntry("12", "40.5");
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->storedRows("[Show Exh No] = 12 AND [Class No] = 40"), 1);
        QCOMPARE(f->lastAction(), QString("Exh. 12  (Jane Hart) was added to class 40.5"));
    }

    void editingAndUpdating() {
        f->open(f->makeShow({{3, "Ann Lee", 7, "Dusty", 2}, {4, "Bob Ray", 9}}, 150, {7}));
        QCOMPARE(f->field(4)->text(), QString("7"));
        QCOMPARE(f->field(12)->text(), QString("2"));
        QVERIFY(!f->button("UpdBut")->isEnabled());

        // The first change makes an edit: blue frame, Update and Cancel, the frame locked.
        QTest::keyClicks(f->field(1), " Two");
        QVERIFY(f->screen().state().editPending);
        QVERIFY(f->framed(1, Blue));
        QVERIFY(f->button("UpdBut")->isEnabled() && f->button("CanBut")->isEnabled());
        QVERIFY(f->window().isFrameLocked() && !f->window().navigationBar().bar->isEnabled());
        // Editing the place writes nothing to it.
        f->field(12)->setText("5");

        // The class of an ended class is kept: no ended check, the correction is written.
        QTest::mouseClick(f->button("UpdBut"), Qt::LeftButton);
        QCOMPARE(f->lastAction(), QString("Exh. 3  (Ann Lee) was updated"));
        QCOMPARE(f->stored("Horse Name", "[Show Exh No] = 3").toText(), QString("Dusty Two"));
        QCOMPARE(f->stored("Place", "[Show Exh No] = 3").toInt(), qint64(2));
        QVERIFY(!f->screen().state().editPending && !f->button("UpdBut")->isEnabled());
        QVERIFY(!f->window().isFrameLocked());
        QCOMPARE(f->field(12)->text(), QString("2"));

        // Moving another entry into the ended class is refused.
        f->window().navigationBar().next->click();
        QCOMPARE(f->field(0)->text(), QString("4"));
        f->field(4)->setText("7");
        QTest::mouseClick(f->button("UpdBut"), Qt::LeftButton);
        QVERIFY(f->framed(4, Red));
        QCOMPARE(f->stored("Class No", "[Show Exh No] = 4").toInt(), qint64(9));
        QVERIFY(f->screen().state().editPending);
    }

    void placingsWrittenElsewhereShowWithoutLeavingTheEntry() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {4, "Bob Ray", 9}, {5, "Cy Day", 9}}));
        f->window().navigationBar().next->click();
        f->window().navigationBar().next->click();
        QCOMPARE(f->field(0)->text(), QString("5"));
        store::execute(f->program->shared().session.ShowConnString,
                       "UPDATE Entries_tbl SET [Place] = 1 WHERE [Show Exh No] = 5");
        f->screen().refreshKeepingEntry();
        QCOMPARE(f->field(0)->text(), QString("5"));
        QCOMPARE(f->field(12)->text(), QString("1"));
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  3  of  3"));
    }

    void placingsWrittenByAnotherScreenShowOnceItCloses() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {4, "Bob Ray", 9}, {5, "Cy Day", 9}}));
        f->window().navigationBar().next->click();
        f->window().navigationBar().next->click();
        QCOMPARE(f->field(0)->text(), QString("5"));
        const QString placeBefore = f->field(12)->text();
        QString placeWhileOpen;
        QDialog other(&f->window());
        QTimer::singleShot(0, &other, [&] {
            store::execute(f->program->shared().session.ShowConnString,
                           "UPDATE Entries_tbl SET [Place] = 1 WHERE [Show Exh No] = 5");
            QCoreApplication::processEvents();
            placeWhileOpen = f->field(12)->text();
            other.accept();
        });
        other.exec();
        QCOMPARE(placeWhileOpen, placeBefore);
        QCOMPARE(f->field(0)->text(), QString("5"));
        QCOMPARE(f->field(12)->text(), QString("1"));
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  3  of  3"));
    }

    void aChangeMadeWithNoScreenOpenShowsWithoutLeavingTheEntry() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {4, "Bob Ray", 9}}));
        f->window().navigationBar().next->click();
        store::execute(f->program->shared().session.ShowConnString,
                       "UPDATE Entries_tbl SET [Place] = 2 WHERE [Show Exh No] = 4");
        QTRY_COMPARE(f->field(12)->text(), QString("2"));
        QCOMPARE(f->field(0)->text(), QString("4"));
        // A table the entry screen does not show is not read again; nor is the entry list after
        // the screen's own add, which it updates itself.
        int reads = 0;
        connect(&f->program->dataSources().priAdo, &store::DataSource::refreshed, this,
                [&reads] { ++reads; });
        store::execute(f->program->shared().session.ShowConnString, "DELETE from Exh2Prnt_tbl");
        QCoreApplication::processEvents();
        QCOMPARE(reads, 0);
        typeEntry("20", "6");
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->storedRows(), 3);
        const int readsByTheAdd = reads;
        QCoreApplication::processEvents();
        QCOMPARE(reads, readsByTheAdd);
    }

    void aChangeElsewhereDoesNotThrowAwayAnEntryBeingTyped() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {4, "Bob Ray", 9}}));
        typeEntry("20", "6");
        const QStringList typed = f->texts();
        store::execute(f->program->shared().session.ShowConnString,
                       "UPDATE Entries_tbl SET [Place] = 1 WHERE [Show Exh No] = 3");
        QCoreApplication::processEvents();
        QCOMPARE(f->texts(), typed);
        QVERIFY(f->screen().state().addMode);
        QVERIFY(f->window().isFrameLocked());
    }

    void cancelWritesNothingAndReturnsToTheLastEntry() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {4, "Bob Ray", 9}}));
        // With no entry added yet Cancel returns to the first entry.
        f->window().navigationBar().last->click();
        QCOMPARE(f->field(0)->text(), QString("4"));
        typeEntry("20", "6");
        QTest::mouseClick(f->button("CanBut"), Qt::LeftButton);
        QCOMPARE(f->storedRows(), 2);
        QCOMPARE(f->field(0)->text(), QString("3"));
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  1  of  2"));

        typeEntry("20", "6");
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        f->window().navigationBar().first->click();
        typeEntry("21", "8");
        QTest::mouseClick(f->button("CanBut"), Qt::LeftButton);
        QCOMPARE(f->storedRows(), 3);
        QCOMPARE(f->field(0)->text(), QString("20"));
        QCOMPARE(f->field(4)->text(), QString("6"));
        QVERIFY(!f->window().isFrameLocked());
    }

    void classCountsAndAverage() {
        f->open(f->makeShow({{3, "Ann Lee", 1}, {4, "Bob Ray", 2}, {5, "Cy Moe", 151}}, 2));
        QCOMPARE(f->label("TotEn"), QString("3")); // class 151 counts in the total only
        QCOMPARE(f->label("TotClsUsd"), QString("2"));
        QCOMPARE(f->label("AveCls"), QString("1.5"));
        QCOMPARE(f->screen().classCountAverage(), 1.5);
        int listed = 0;
        for (int k = 1; k <= 6; ++k) {
            auto* counts = f->child<QListWidget>(QString("L_%1").arg(k));
            auto* classes = f->child<QListWidget>(QString("T1_%1").arg(k - 1));
            QCOMPARE(counts->count(), 25);
            QCOMPARE(classes->item(24)->text(), QString::number(25 * k));
            for (int r = 0; r < 25; ++r)
                listed += counts->item(r)->text().toInt();
        }
        QCOMPARE(listed, 2);
        QCOMPARE(f->child<QListWidget>("L_1")->item(1)->text(), QString("1"));

        // A show without entries: the no-entries state, zero everywhere.
        f->trigger("mnuCloseShow");
        QVERIFY(f->texts().join("").isEmpty() && !f->field(0)->isEnabled());
        for (int k = 1; k <= 6; ++k) // no counts of the closed show are left
            QCOMPARE(f->child<QListWidget>(QString("L_%1").arg(k))->count(), 0);
        f->open(f->makeShow({}));
        QCOMPARE(f->screen().entryCount(), 0);
        QCOMPARE(f->window().showState(), twl::ShowState::ShowNoEntries);
        QCOMPARE(f->label("TotEn"), QString("0"));
        QCOMPARE(f->label("AveCls"), QString("0"));
        QCOMPARE(f->child<QListWidget>("L_6")->item(24)->text(), QString("0"));
        QVERIFY(!f->field(0)->isEnabled());
    }

    void sortingAndMoving() {
        f->open(f->makeShow({{3, "Cy Moe", 2}, {4, "Ann Lee", 9}, {5, "Bob Ray", 1}}));
        QCOMPARE(f->field(0)->text(), QString("5")); // by class
        f->trigger("mnuViewSortExhNa");
        QCOMPARE(f->field(2)->text(), QString("Ann Lee"));
        const int markerTop = twl::twipsToPixels(twl::sortIndicatorTopTwips(3));
        QCOMPARE(f->window().sortIndicator()->y(), markerTop);
        f->window().navigationBar().next->click();
        QCOMPARE(f->field(2)->text(), QString("Bob Ray"));
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  2  of  3"));
        QCOMPARE(f->label("CDbx"), QString("Class 1 Halter"));
        QCOMPARE(f->label("ExhRecCnt"), QString("1"));
        // A sort change shows rows written meanwhile, through this program's connection to the
        // show or by another program.
        const QString insert = "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], "
                               "[Class No]) VALUES (%1, 'Aaron Abel', 4)";
        store::execute(f->program->shared().session.ShowConnString, insert.arg(30));
        f->trigger("mnuViewSortExhNa");
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  1  of  4"));
        {
            store::Connection other(f->showFile, TestFolder::Password);
            other.execute(insert.arg(31));
        }
        f->trigger("mnuViewSortClass");
        QCOMPARE(f->screen().entryCount(), 5);
        QCOMPARE(f->field(0)->text(), QString("5"));
        f->trigger("mnuViewSortExhNa");
        QCOMPARE(f->field(2)->text(), QString("Aaron Abel"));

        // The class look-up takes any class number typed on the "Show Info" tab.
        auto* classId = f->child<QLineEdit>("clID");
        classId->setText("abc");
        QTest::keyClick(classId, Qt::Key_Return);
        QCOMPARE(classId->text(), QString("1"));
        classId->setText("151");
        QTest::keyClick(classId, Qt::Key_Return);
        QCOMPARE(classId->text(), QString("1"));
        classId->setText("12");
        QTest::keyClick(classId, Qt::Key_Return);
        QCOMPARE(f->label("CDbx"), QString("Class 12 Halter"));
    }

    void exhibitorGridJumpsToTheClickedClass() {
        f->open(f->makeShow({{7, "Ann Lee", 2},
                             {7, "Ann Lee", 5, "Copper"},
                             {7, "Ann Lee", 9},
                             {8, "Bob Ray", 3}}));
        QCOMPARE(f->field(4)->text(), QString("2"));
        auto* grid = f->child<QTableView>("Grid_E");
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(f->label("ExhRecCnt"), QString("3"));
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(),
                 QString("Exhibitor Name"));
        QVERIFY(grid->isColumnHidden(4) && grid->isColumnHidden(5));
        f->window().tabStrip()->setCurrentIndex(1);
        QTRY_VERIFY(grid->isVisible() && grid->viewport()->height() > 60);
        const QModelIndex third = grid->model()->index(2, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(third).center());
        QTRY_COMPARE(f->field(4)->text(), QString("9"));
        QCOMPARE(f->field(0)->text(), QString("7"));
        QCOMPARE(f->window().navigationBar().caption->text(), QString("Record  4  of  4"));
    }

    void earlierNamesFillTheFormAndFixTheNumber() {
        f->open(f->makeShow(
            {{7, "Ann Lee", 3, "Copper"}, {7, "Ann Lee", 6}, {7, "Al Lee", 8}, {9, "Bob Ray", 4}}));
        // A number without earlier entries shows no list and marks nothing.
        f->typeNewEntry({"30"});
        QVERIFY(!f->child("DLbox")->isVisible());
        QCOMPARE(f->storedRows(), 4);
        store::RecordSet marks;
        marks.open("SELECT * FROM MultiSelect_tbl WHERE OtherExhNa <> 0",
                   f->program->shared().session.ShowConnString);
        QCOMPARE(marks.recordCount(), 0);
        QTest::mouseClick(f->button("CanBut"), Qt::LeftButton);

        f->typeNewEntry({"7"});
        QVERIFY(f->child("DLbox")->isVisible());
        auto* names = f->child<QListWidget>("QckNlist");
        QCOMPARE(names->count(), 2);
        marks.open(
            "SELECT [Class No] FROM MultiSelect_tbl WHERE OtherExhNa <> 0 ORDER BY [Class No]",
            f->program->shared().session.ShowConnString);
        QCOMPARE(marks.recordCount(), 3);

        // Taking over a name opens the multi-class board by itself.
        int boardShown = 0;
        f->screen().setMultiClassDialog([&] {
            ++boardShown;
            return false;
        });
        QTest::mouseDClick(f->child("DLbox"), Qt::LeftButton);
        QTRY_VERIFY(names->isVisible());
        const QList<QListWidgetItem*> ann = names->findItems("Ann Lee", Qt::MatchExactly);
        QCOMPARE(ann.size(), 1);
        names->setCurrentItem(ann.front());
        QTest::keyClick(names, Qt::Key_Return);
        QVERIFY(!names->isVisible());
        QCOMPARE(boardShown, 1);
        QCOMPARE(f->field(1)->text(), QString("Copper"));
        QCOMPARE(f->field(2)->text(), QString("Ann Lee"));
        QCOMPARE(f->field(3)->text(), QString("R7"));
        QCOMPARE(f->field(7)->text(), QString("Owner 7"));
        QCOMPARE(f->field(4)->text(), QString()); // the class is not taken over
        QVERIFY(!f->field(0)->isEnabled());
        QCOMPARE(f->field(0)->palette().color(QPalette::Base), QColor(0xFD, 0xFF, 0xDF));
        f->enter(3, ""); // Enter in another field keeps the number fixed
        QVERIFY(!f->field(0)->isEnabled());
        f->enter(4, "5");
        QVERIFY(!f->field(0)->isEnabled());
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->lastAction(), QString("Exh. 7  (Ann Lee) was added to class 5"));
        QCOMPARE(f->stored("Horse Name", "[Show Exh No] = 7 AND [Class No] = 5").toText(),
                 QString("Copper"));
        marks.open("SELECT * FROM MultiSelect_tbl WHERE OtherExhNa <> 0",
                   f->program->shared().session.ShowConnString);
        QCOMPARE(marks.recordCount(), 0);
        QVERIFY(!f->child("DLbox")->isVisible());
    }

    void memberLookUp() {
        store::execute(f->program->shared().session.OrgConnString,
                       "INSERT INTO Members_tbl ([Mem Num], [Mem Nam], [Mem State], [Mem Phone], "
                       "[Mem Email], [Mem Horse], [Mem Reg No], [Mem Amat No], [Mem Misc ID]) "
                       "VALUES ('M0042', 'Rita Gomez', 'NM', '555-0142', 'rita@example.com', "
                       "'Pepper Jazz', 'AQ-9', 'AM-77', 'MISC-3')");
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        f->typeNewEntry({"15"});
        f->field(5)->setText("m0042"); // member numbers compare as text, ignoring case
        QTest::mouseClick(f->button("LookUpMem"), Qt::LeftButton);
        QVERIFY(f->prompt.shown().empty());
        const QStringList expected{"15", "Pepper Jazz", "Rita Gomez", "AQ-9",
                                   "",   "m0042",       "555-0142",   "Rita Gomez",
                                   "NM", "AM-77",       "MISC-3",     "rita@example.com",
                                   ""};
        QCOMPARE(f->texts(), expected);

        f->field(5)->setText("M9999");
        QTest::mouseClick(f->button("LookUpMem"), Qt::LeftButton);
        QCOMPARE(f->prompt.shown().size(), size_t(1));
        QCOMPARE(f->prompt.shown()[0].title, QString("Trotwell"));
        QCOMPARE(f->prompt.shown()[0].text, QString("Member Number not found..."));
        QCOMPARE(f->prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QCOMPARE(f->field(1)->text(), QString("Pepper Jazz"));
    }

    void fieldsTakeNoMoreThanTheDatabaseHolds() {
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        const store::RecordSet& entries = f->program->dataSources().priAdo.recordSet();
        for (int i = 0; i < 13; ++i) {
            const QString name = twl::entryFieldName(i);
            const int limit =
                entries.fields()[std::size_t(store::findField(entries.fields(), name))].maxLength;
            QCOMPARE(f->field(i)->maxLength(), limit > 0 ? limit : 32767);
        }
        QCOMPARE(f->field(2)->maxLength(), 50);
        f->typeNewEntry({"15"});
        QTest::keyClicks(f->field(2), QString(60, 'n'));
        QCOMPARE(f->field(2)->text().size(), 50);
    }

    void aFailedWriteIsReportedAndKeepsTheForm() {
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        // The file refuses exhibitor 40's rows, as a full disk or a damaged file would.
        store::execute(f->program->shared().session.ShowConnString,
                       "CREATE TRIGGER refuse_40 BEFORE INSERT ON Entries_tbl "
                       "WHEN NEW.[Show Exh No] = 40 BEGIN SELECT RAISE(ABORT, 'refused'); END");
        store::execute(f->program->shared().session.ShowConnString,
                       "CREATE TRIGGER refuse_41 BEFORE UPDATE ON Entries_tbl "
                       "WHEN NEW.[Show Exh No] = 41 BEGIN SELECT RAISE(ABORT, 'refused'); END");
        const QString before = f->lastAction();
        typeEntry("40", "5");
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->prompt.shown().size(), size_t(1));
        QCOMPARE(f->prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(f->prompt.shown()[0].text.startsWith("The entry was not added."));
        QCOMPARE(f->lastAction(), before);
        QCOMPARE(f->storedRows(), 1);
        QVERIFY(f->screen().state().addMode);
        QCOMPARE(f->field(2)->text(), QString("Jane Hart"));
        // Corrected, the same entry goes in.
        f->field(0)->setText("400");
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->storedRows(), 2);
        QCOMPARE(f->lastAction(), QString("Exh. 400  (Jane Hart) was added to class 5"));

        f->prompt.clear();
        const QString added = f->lastAction();
        f->field(0)->setText("41");
        QTest::mouseClick(f->button("UpdBut"), Qt::LeftButton);
        QCOMPARE(f->prompt.shown().size(), size_t(1));
        QVERIFY(f->prompt.shown()[0].text.startsWith("The changes to the entry were not saved."));
        QCOMPARE(f->lastAction(), added);
        QCOMPARE(f->storedRows("[Show Exh No] = 400"), 1);
        QVERIFY(f->screen().state().editPending);
    }

    void multiClassChoiceWritesOneRowPerClass() {
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        QList<int> ticked{4, 9, 12};
        f->screen().setMultiClassDialog([&] {
            for (int c : ticked)
                store::execute(
                    f->program->shared().session.ShowConnString,
                    QString("UPDATE MultiSelect_tbl SET Selected = 1 WHERE [Class No] = %1")
                        .arg(c));
            return !ticked.isEmpty();
        });
        f->typeNewEntry({"15"});
        QVERIFY(f->button("MultiClsBut")->isEnabled());
        QTest::mouseClick(f->button("MultiClsBut"), Qt::LeftButton);
        QVERIFY(!f->field(4)->isEnabled());
        for (int i = 1; i < 9; ++i) {
            if (i != 4)
                f->enter(i, entryAfterNumber("")[i - 1]);
        }
        QVERIFY(!f->field(4)->isEnabled()); // Enter keeps the chosen classes in charge
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->lastAction(), QString("Exh. 15  (Jane Hart) was added to  3 Classes"));
        QCOMPARE(f->storedRows("[Show Exh No] = 15"), 3);
        QCOMPARE(f->storedRows("[Show Exh No] = 15 AND [Class No] = 12"), 1);
        store::RecordSet marks;
        marks.open("SELECT * FROM MultiSelect_tbl WHERE Selected <> 0",
                   f->program->shared().session.ShowConnString);
        QCOMPARE(marks.recordCount(), 0);
        QVERIFY(f->field(4)->isEnabled());

        ticked = {20};
        f->typeNewEntry({"16"});
        QTest::mouseClick(f->button("MultiClsBut"), Qt::LeftButton);
        for (int i = 1; i < 9; ++i) {
            if (i != 4)
                f->enter(i, entryAfterNumber("")[i - 1]);
        }
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->lastAction(), QString("Exh. 16  (Jane Hart) was added to class 20"));
    }

    void closingClearsTheForm() {
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        QVERIFY(f->field(0)->isEnabled());
        f->trigger("mnuCloseShow");
        QVERIFY(f->texts().join("").isEmpty());
        for (int i = 0; i < 13; ++i)
            QVERIFY(!f->field(i)->isEnabled());
        QVERIFY(f->prompt.shown().empty());
    }
};

QTEST_MAIN(TestEntryScreen)
#include "TestEntryScreen.moc"

#include "ResultsShow.h"
#include "classes/ui/EditWinners.h"
#include "common/Services.h"
#include "support/ScreenTest.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace twl;

namespace {
enum { Spacer, Number, Name, Class, Place };
}

class TestEditWinners : public QObject, protected ScreenTest<EditWinners> {
    Q_OBJECT

public:
    TestEditWinners() : ScreenTest(QDate(2005, 6, 18)) {}

private:
    std::unique_ptr<ResultsShow> m_show;

    QTableView* grid() { return child<QTableView>("Grid_3"); }
    QListWidget* classList() { return child<QListWidget>("ClssLst"); }
    QPushButton* doneBut() { return child<QPushButton>("DoneBut"); }
    QString cell(int row, int column) {
        return grid()->model()->index(row, column).data().toString();
    }

    // Types into a cell with the grid's own editor and ends with the key.
    bool typeInto(int row, int column, const QString& text, Qt::Key finish = Qt::Key_Return) {
        const QModelIndex index = grid()->model()->index(row, column);
        grid()->setCurrentIndex(index);
        grid()->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(grid()->indexWidget(index));
        if (!editor)
            return false;
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, finish);
        return QTest::qWaitFor([&] { return grid()->indexWidget(index) == nullptr; });
    }

    // [Place] of the class's entries by exhibitor, as the show file holds them.
    QString storedPlaces(int classNo) {
        store::RecordSet rs;
        rs.open(QString("SELECT [Show Exh No], [Place] FROM Entries_tbl WHERE [Class No] = %1 "
                        "ORDER BY [Show Exh No]")
                    .arg(classNo),
                m_shared.session.ShowConnString);
        QStringList places;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            places << (rs.value(1).isNull() ? "null" : rs.value(1).toText());
        return places.join(',');
    }

private slots:
    void init() {
        m_prompt.clear();
        m_show = std::make_unique<ResultsShow>(m_shared);
        m_show->addEntries(
            4, {{7, "Gus Hughes", "", 0}, {3, "Ida Irwin", "", 2}, {9, "Jo Jensen", "", 0}});
        m_show->addUnplaced(2, 1);
    }
    void cleanup() {
        m_dialog.reset();
        m_show.reset();
    }

    void listsTheClassesThatCanBePlaced() {
        m_show->addUnplaced(21, 2); // above the classes in use
        m_show->addUnplaced(6, 2);
        m_show->show("UPDATE Class_tbl SET [Class Ended] = 1 WHERE [Class No] = 6");
        openScreen();
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Edit Winners]"));
        QCOMPARE(classList()->count(), 2);
        QCOMPARE(classList()->item(0)->text(), QString("2"));
        QCOMPARE(classList()->item(1)->text(), QString("4"));
        // The first class is chosen at once.
        QCOMPARE(child<QLabel>("L3")->text(), QString("2"));
        QCOMPARE(grid()->model()->rowCount(), 1);
        QVERIFY(!m_dialog->gaveUp());
        QVERIFY(m_prompt.shown().empty());
    }

    void theGridOfAClass() {
        openScreen();
        classList()->setCurrentRow(1);
        QCOMPARE(child<QLabel>("L3")->text(), QString("4"));
        QCOMPARE(grid()->model()->rowCount(), 3);
        QCOMPARE(cell(0, Number), QString("7")); // the engine's order, not sorted
        QCOMPARE(cell(1, Name), QString("Ida Irwin"));
        QCOMPARE(cell(1, Place), QString("2"));
        QStringList captions;
        for (int c = 0; c < 5; ++c)
            captions << grid()->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(captions, QStringList({"", "Exh. No.", "Exhibitor Name", "Class", "Place"}));
        QCOMPARE(grid()->columnWidth(Number), 50);
        QCOMPARE(grid()->columnWidth(Name), 199);
        QCOMPARE(grid()->columnWidth(Place), 50);
        QVERIFY(grid()->isColumnHidden(Class));
        QVERIFY(!grid()->isColumnHidden(Place));
        const auto flags = [&](int column) { return grid()->model()->index(0, column).flags(); };
        QVERIFY(!(flags(Number) & Qt::ItemIsEditable));
        QVERIFY(!(flags(Name) & Qt::ItemIsEditable));
        QVERIFY(flags(Place) & Qt::ItemIsEditable);
        QCOMPARE(grid()->verticalHeader()->defaultSectionSize(), 20);
        QCOMPARE(grid()->height(), 287);
        // Three entries fit: no scroll bar, and the grid is as wide as its columns.
        QCOMPARE(grid()->width(), 299 + 2 * grid()->frameWidth());
    }

    void aLongClassGetsRoomForTheScrollBar() {
        m_show->addUnplaced(4, 20, 100);
        openScreen();
        classList()->setCurrentRow(1);
        QCOMPARE(grid()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(grid()->width() >= 299 + 16 + 2 * grid()->frameWidth());
    }

    void placesAreCheckedAndSavedAtOnce() {
        openScreen();
        classList()->setCurrentRow(1);
        QVERIFY(typeInto(0, Place, "1"));
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(storedPlaces(4), QString("2,1,0")); // exhibitors 3, 7, 9
        QCOMPARE(grid()->currentIndex().row(), 0);   // the same entry stays current
        QCOMPARE(m_dialog->entries().value("Show Exh No").toInt(), 7);

        // Two entries may share a place; 0 takes a placing away; an empty cell is accepted.
        QVERIFY(typeInto(2, Place, "1"));
        QCOMPARE(storedPlaces(4), QString("2,1,1"));
        QVERIFY(typeInto(1, Place, "0"));
        QCOMPARE(storedPlaces(4), QString("0,1,1"));
        QVERIFY(typeInto(2, Place, ""));
        QCOMPARE(storedPlaces(4), QString("0,1,null"));
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(grid()->currentIndex().row(), 2);
        QVERIFY(!m_dialog->entries().hasPendingChanges());

        for (const char* refused : {"-1", "x", "-0.5"}) {
            m_prompt.clear();
            QVERIFY(typeInto(0, Place, refused));
            QCOMPARE(m_prompt.shown().size(), size_t(1));
            QCOMPARE(m_prompt.shown()[0].text, QString("Enter positive numbers only."));
            QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell"));
            QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
            QCOMPARE(cell(0, Place), QString("1"));
            QCOMPARE(storedPlaces(4), QString("0,1,null"));
        }
    }

    void doneWaitsWhileAPlaceIsBeingTyped() {
        openScreen();
        QTRY_VERIFY(doneBut()->isEnabled());
        const QModelIndex index = grid()->model()->index(0, Place);
        grid()->setCurrentIndex(index);
        grid()->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(grid()->indexWidget(index));
        QVERIFY(editor);
        QVERIFY(doneBut()->isEnabled()); // opening a cell is not a change yet
        QTest::keyClicks(editor, "3");
        QVERIFY(!doneBut()->isEnabled());
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(child<QTimer>("Timer5")->isActive());
        QCOMPARE(child<QTimer>("Timer5")->interval(), 25);
        QTRY_VERIFY(doneBut()->isEnabled());
        QVERIFY(!child<QTimer>("Timer5")->isActive());
        QCOMPARE(storedPlaces(2), QString("0"));
        QVERIFY(m_dialog->isVisible()); // Esc cancels the cell, not the screen

        doneBut()->setEnabled(false);
        QTest::keyClick(grid(), Qt::Key_Escape);
        QTRY_VERIFY(doneBut()->isEnabled());
        QVERIFY(m_dialog->isVisible());

        QTest::mouseClick(doneBut(), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(!m_dialog->entries().isOpen());
    }

    void noClassToPlaceClosesTheScreen() {
        m_show->show("UPDATE Class_tbl SET [Class Ended] = 1");
        m_dialog = std::make_unique<EditWinners>(m_services);
        m_dialog->show();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].text, QString("No entries found... aborting"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(m_dialog->gaveUp());
        QTRY_VERIFY(!m_dialog->isVisible());
        QCOMPARE(child<QLabel>("L3")->text(), QString("No."));
    }
};

QTEST_MAIN(TestEditWinners)
#include "TestEditWinners.moc"

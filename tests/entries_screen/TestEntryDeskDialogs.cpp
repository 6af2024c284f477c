#include "common/Prompt.h"
#include "entries/SearchRules.h"
#include "entries/ui/DelExh.h"
#include "entries/ui/DeleteExhibitor.h"
#include "entries/ui/MultiClass.h"
#include "entries/ui/SearchDlg.h"
#include "entries/ui/SearchList.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/TestFolder.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace twl;

namespace {

template <typename T> T* child(const QWidget& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

int selectedRows(const QString& connection) {
    store::RecordSet rs;
    rs.open(QStringLiteral("SELECT * FROM MultiSelect_tbl WHERE Selected <> 0"), connection);
    return rs.recordCount();
}

// The "Search" tab and its neighbours, as the main window holds them.
struct SearchTabs {
    QTabWidget tabs;
    QTableView* grid = nullptr;
    QLabel* count = nullptr;
    QLabel* text = nullptr;
    SearchTabs() {
        for (const char* name : {"Entries", "Exhibitor", "Show Info"})
            tabs.addTab(new QWidget, QLatin1String(name));
        auto* page = new QWidget;
        grid = new QTableView(page);
        count = new QLabel(page);
        text = new QLabel(page);
        tabs.addTab(page, QStringLiteral("Search"));
    }
    SearchList::Controls controls() { return {grid, count, text, &tabs}; }
};

void addEntry(const QString& connection, int exhibitor, const char* name, int classNo) {
    store::execute(connection, QStringLiteral("INSERT INTO Entries_tbl ([Show Exh No], "
                                              "[Show Exh Nam], [Class No]) VALUES (%1, '%2', %3)")
                                   .arg(exhibitor)
                                   .arg(QLatin1String(name))
                                   .arg(classNo));
}

} // namespace

class TestEntryDeskDialogs : public QObject {
    Q_OBJECT

private slots:
    void init() { store::releaseAllConnections(); }
    void cleanup() { store::releaseAllConnections(); }

    void deleteNeedsAltBeforeOk() {
        DelExh dialog({QStringLiteral("12"), QStringLiteral("Ann Hart"), QStringLiteral("5")});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Trotwell  [Delete Entry]"));
        QCOMPARE(child<QLabel>(dialog, "Label6")->text(), QStringLiteral("Ann Hart"));
        auto* ok = child<QPushButton>(dialog, "OKcom");
        QVERIFY(!ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(!dialog.confirmed());

        child<QRadioButton>(dialog, "Option1_1")->click();
        QVERIFY(dialog.deleteAll());
        QVERIFY(child<QLabel>(dialog, "Alllbl_0")->isVisible());
        QVERIFY(!child<QLabel>(dialog, "Label7")->isVisible());
        child<QRadioButton>(dialog, "Option1_0")->click();
        QVERIFY(!dialog.deleteAll());
        QVERIFY(child<QLabel>(dialog, "Label7")->isVisible());

        QTest::keyClick(child<QRadioButton>(dialog, "Option1_0"), Qt::Key_Alt, Qt::AltModifier);
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(dialog.confirmed());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void escapeCancelsTheDelete() {
        DelExh dialog({QStringLiteral("12"), QStringLiteral("Ann"), QStringLiteral("5")});
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.confirmed());
        QVERIFY(!dialog.isVisible());
    }

    void searchMarksANumberBoxWithText() {
        SearchDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* ok = child<QPushButton>(dialog, "OKBut");
        QVERIFY(!ok->isEnabled());
        child<QCheckBox>(dialog, "Chk1_0")->setChecked(true);
        child<QCheckBox>(dialog, "Chk1_4")->setChecked(true);
        QVERIFY(ok->isEnabled());
        child<QLineEdit>(dialog, "SrchTxt")->setText(QStringLiteral("smi"));
        ok->click();
        QVERIFY(dialog.isVisible());
        auto* dot = child<QFrame>(dialog, "ErrDot");
        QVERIFY(dot->isVisible());
        QCOMPARE(dialog.searchFilter(), QString());

        // Changing the text clears the mark; a number searches both fields.
        child<QLineEdit>(dialog, "SrchTxt")->setText(QStringLiteral("12"));
        QVERIFY(!dot->isVisible());
        ok->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.cancelled());
        QCOMPARE(dialog.searchText(), QStringLiteral("12"));
        QCOMPARE(dialog.searchFilter(),
                 QStringLiteral("[Show Exh Nam] LIKE '*12*' OR [Class No]  = 12"));
    }

    void searchCancelMakesNoSearch() {
        SearchDlg dialog;
        dialog.show();
        child<QCheckBox>(dialog, "Chk1_2")->setChecked(true);
        child<QCheckBox>(dialog, "Chk1_2")->setChecked(false);
        QVERIFY(!child<QPushButton>(dialog, "OKBut")->isEnabled());
        child<QPushButton>(dialog, "CanBut")->click();
        QVERIFY(dialog.cancelled());
    }

    void deletingFromTheEntryList() {
        TestFolder folder;
        const QString show = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        addEntry(show, 5, "Ann", 1);
        addEntry(show, 5, "Ann", 2);
        addEntry(show, 5, "Ann", 9);
        addEntry(show, 6, "Bo", 1);
        store::RecordSet list;
        list.open(QStringLiteral("SELECT * FROM Entries_tbl"), show);
        list.setSort(QStringLiteral("[Show Exh No], [Class No]"));
        list.moveFirst();
        list.moveNext();
        ScriptedPrompt prompt;
        DelExh::ShownEntry asked;
        DeleteChoice answer;
        const AskDelete ask = [&](const DelExh::ShownEntry& entry) {
            asked = entry;
            return answer;
        };

        // Cancel deletes nothing.
        QVERIFY(!deleteExhibitor(list, show, ask, prompt).deleted);
        QCOMPARE(asked.classNo, QStringLiteral("2"));
        QCOMPARE(list.recordCount(), 4);

        answer = {true, false};
        DeleteOutcome outcome = deleteExhibitor(list, show, ask, prompt);
        QCOMPARE(outcome.message, QStringLiteral("Entry for 5 in class 2 was deleted"));
        QCOMPARE(list.recordCount(), 3);

        // A refused write is reported and leaves every row.
        store::execute(show, "CREATE TRIGGER refuse BEFORE DELETE ON Entries_tbl "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        answer = {true, true};
        QVERIFY(!deleteExhibitor(list, show, ask, prompt).deleted);
        QCOMPARE(prompt.shown().size(), std::size_t(1));
        store::RecordSet check;
        check.open(QStringLiteral("SELECT * FROM Entries_tbl"), show);
        QCOMPARE(check.recordCount(), 3);
        store::execute(show, "DROP TRIGGER refuse");

        outcome = deleteExhibitor(list, show, ask, prompt);
        QCOMPARE(outcome.message, QStringLiteral("All entries for 5 were deleted"));
        check.requery();
        QCOMPARE(check.recordCount(), 1);
    }

    void theSearchListFollowsTheData() {
        TestFolder folder;
        const QString show = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        addEntry(show, 12, "Jo Smith", 4);
        addEntry(show, 3, "Al Smithers", 9);
        addEntry(show, 7, "Bo Lee", 4);
        SearchTabs ui;
        std::vector<std::pair<int, int>> jumps;
        ScriptedPrompt prompt;
        SearchList list(ui.controls(), prompt,
                        [&](const store::Value& classNo, const store::Value& exh) {
                            jumps.emplace_back(int(classNo.toInt()), int(exh.toInt()));
                            return true;
                        });
        list.open(show, 3);
        QVERIFY(list.isOpen());
        ui.tabs.setCurrentIndex(SearchList::SearchTab);
        QCOMPARE(ui.count->text(), QStringLiteral("0")); // starts with no entry shown
        QVERIFY(!list.hasRows());

        ui.tabs.setCurrentIndex(1);
        list.apply(buildSearchFilter("smi", {true}).filter, true);
        QCOMPARE(ui.tabs.currentIndex(), SearchList::SearchTab);
        QCOMPARE(ui.count->text(), QStringLiteral("2"));
        QVERIFY(list.hasRows());
        QCOMPARE(ui.grid->model()->index(0, 0).data().toString(), QStringLiteral("3"));

        // An add while another tab is shown is listed when the tab is shown again, and
        // re-applying does not bring the Search tab back by itself.
        ui.tabs.setCurrentIndex(0);
        QVERIFY(!list.searchShowTab());
        addEntry(show, 1, "Cy Smithson", 2);
        list.apply(buildSearchFilter("smi", {true}).filter, list.searchShowTab());
        QCOMPARE(ui.tabs.currentIndex(), 0);
        ui.tabs.setCurrentIndex(SearchList::SearchTab);
        QCOMPARE(ui.count->text(), QStringLiteral("3"));

        // A click on a found row jumps to that entry.
        ui.tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ui.tabs));
        ui.grid->setCurrentIndex(ui.grid->model()->index(1, 0));
        QTest::mouseClick(ui.grid->viewport(), Qt::LeftButton, {},
                          ui.grid->visualRect(ui.grid->model()->index(1, 0)).center());
        QTRY_COMPARE(jumps.size(), std::size_t(1));
        QCOMPARE(jumps.front(), std::make_pair(9, 3));

        // Nothing found: an empty list, and clicks do nothing.
        list.apply(buildSearchFilter("zzz", {true}).filter, false);
        QCOMPARE(ui.count->text(), QStringLiteral("0"));
        QVERIFY(!list.hasRows());
        QTest::mouseClick(ui.grid->viewport(), Qt::LeftButton);
        QTest::qWait(50);
        QCOMPARE(jumps.size(), std::size_t(1));

        list.close();
        QVERIFY(!list.isOpen());
        QCOMPARE(ui.grid->model(), nullptr);
    }

    void aShowWithoutEntriesHasNoSearchList() {
        TestFolder folder;
        const QString show = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        SearchTabs ui;
        ScriptedPrompt prompt;
        SearchList list(ui.controls(), prompt, {});
        list.followChanges(show, 0);
        QVERIFY(!list.isOpen());
        addEntry(show, 5, "Di", 1);
        list.followChanges(show, 1);
        QVERIFY(list.isOpen());
    }

    void theBoardWritesTheTickedClasses() {
        TestFolder folder;
        const QString show = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        store::execute(show,
                       "UPDATE MultiSelect_tbl SET OtherExhNa = 1 WHERE [Class No] IN (3, 7)");
        store::execute(show, "UPDATE Class_tbl SET [Class Ended] = 1 WHERE [Class No] = 7");
        ScriptedPrompt prompt;
        {
            MultiClass dialog(prompt, show, 40);
            dialog.show();
            QTRY_COMPARE(child<QLabel>(dialog, "ChuzBx_0")->text(), QStringLiteral("2  disabled"));
            QVERIFY(child<QLabel>(dialog, "ChuzBx_40")->isEnabled());
            QVERIFY(!child<QLabel>(dialog, "ChuzBx_41")->isEnabled());
            for (int classNo : {1, 2, 3, 5})
                QTest::mouseClick(child<QLabel>(dialog, QStringLiteral("ChuzBx_%1").arg(classNo)),
                                  Qt::LeftButton);
            QCOMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("3"));
            QVERIFY(child<QFrame>(dialog, "Bx3_5")->isVisible());
            QVERIFY(!child<QFrame>(dialog, "Bx3_3")->isVisible());
            // The keyboard reaches the boxes: Down from 5 is 6, Space ticks it.
            child<QLabel>(dialog, "ChuzBx_5")->setFocus();
            QTest::keyClick(child<QLabel>(dialog, "ChuzBx_5"), Qt::Key_Down);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QCOMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("4"));
            child<QPushButton>(dialog, "OKBut")->click();
            QVERIFY(dialog.classesChosen());
        }
        QCOMPARE(selectedRows(show), 4);
        {
            // Reopened, the board shows the same ticks; the close box writes nothing.
            MultiClass dialog(prompt, show, 40);
            dialog.show();
            QTRY_COMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("4"));
            child<QPushButton>(dialog, "Clear")->click();
            QCOMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("0"));
            dialog.close();
            QVERIFY(!dialog.classesChosen());
        }
        QCOMPARE(selectedRows(show), 4);
        QVERIFY(prompt.shown().empty());
    }
};

QTEST_MAIN(TestEntryDeskDialogs)
#include "TestEntryDeskDialogs.moc"

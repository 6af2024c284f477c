#include "EntryScreenFixture.h"
#include "entries/ui/DelExh.h"
#include "entries/ui/MultiClass.h"
#include "entries/ui/SearchDlg.h"
#include "support/ModalDialogs.h"

#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace {

template <typename T = QWidget> T* in(const QWidget& dialog, const QString& name) {
    return dialog.findChild<T*>(name);
}

void clickBox(const QWidget& dialog, int classNo) {
    QTest::mouseClick(in<QLabel>(dialog, QStringLiteral("ChuzBx_%1").arg(classNo)), Qt::LeftButton);
}

const QStringList AfterNumber{"Blaze", "Jane Hart", "R-1", "", "", "555-0101", "Jane Hart", "TX"};

// What the user does when a table cannot be read.
enum class Step { Search, ClassLookUp, Sort, MemberLookUp };

} // namespace

class TestEntryDesk : public QObject {
    Q_OBJECT

    std::unique_ptr<EntryScreenFixture> f;

    // The rest of a new entry after its number, class field left alone.
    void typeRestOfEntry() {
        for (int i = 1; i < 9; ++i) {
            if (i != 4)
                f->enter(i, AfterNumber[i - 1]);
        }
    }

private slots:
    void init() {
        f = std::make_unique<EntryScreenFixture>();
        QVERIFY(f->start());
    }
    void cleanup() { f.reset(); }

    void threeClassesFromTheBoard() {
        f->open(f->makeShow({{7, "Kim Day", 3}, {7, "Kim Day", 7}, {3, "Ann Lee", 2}}, 40, {7}));
        QString disabled;
        bool entered = false;
        bool ended = false;
        onModal<twl::MultiClass>([&](twl::MultiClass& dialog) {
            if (in<QLabel>(dialog, "ChuzBx_0")->text().isEmpty())
                return false;
            disabled = in<QLabel>(dialog, "ChuzBx_0")->text();
            entered = dialog.board().box(3) == twl::MultiClassBoard::Box::Entered;
            ended = dialog.board().box(7) == twl::MultiClassBoard::Box::Ended;
            dialog.close();
            return true;
        });
        f->typeNewEntry({"7"});
        QTest::mouseClick(f->button("MultiClsBut"), Qt::LeftButton);
        QCOMPARE(disabled, QStringLiteral("2  disabled"));
        QVERIFY(entered && ended);
        QVERIFY(f->field(4)->isEnabled()); // the close box chose nothing
        QTest::mouseClick(f->button("CanBut"), Qt::LeftButton);
        // Offscreen, the window is not made active again when a dialog closes.
        f->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f->window()));

        onModal<twl::MultiClass>([&](twl::MultiClass& dialog) {
            if (in<QLabel>(dialog, "ChuzBx_0")->text().isEmpty())
                return false;
            for (int c : {4, 9, 12})
                clickBox(dialog, c);
            QTest::mouseClick(in<QPushButton>(dialog, "OKBut"), Qt::LeftButton);
            return true;
        });
        f->typeNewEntry({"15"});
        QTest::mouseClick(f->button("MultiClsBut"), Qt::LeftButton);
        QVERIFY(!f->field(4)->isEnabled());
        typeRestOfEntry();
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->lastAction(), QString("Exh. 15  (Jane Hart) was added to  3 Classes"));
        QCOMPARE(f->storedRows("[Show Exh No] = 15"), 3);
        QCOMPARE(f->storedRows("[Show Exh No] = 15 AND [Class No] = 9"), 1);
    }

    void searchFromTheMenu() {
        f->open(f->makeShow({{3, "Jo Smith", 2}, {9, "Al Smithers", 5}, {4, "Bo Lee", 2}}));
        onModal<twl::SearchDlg>([](twl::SearchDlg& dialog) {
            QTest::keyClicks(in<QLineEdit>(dialog, "SrchTxt"), "SMI");
            in<QCheckBox>(dialog, "Chk1_0")->setChecked(true);
            QTest::mouseClick(in<QPushButton>(dialog, "OKBut"), Qt::LeftButton);
            return true;
        });
        f->trigger("mnuEditSearch");
        QCOMPARE(f->child<QTabWidget>("SSTab1")->currentIndex(), 3);
        QCOMPARE(f->label("SrchRecCnt"), QStringLiteral("2"));
        QCOMPARE(f->label("SrxhWrd"), QStringLiteral("SMI"));

        // The search follows an add: a new Smith is found without searching again.
        f->typeNewEntry({"21", "Blaze", "Cy Smith", "R-9", "6", "", "555", "Cy Smith", "TX"});
        QTest::mouseClick(f->button("OKBut"), Qt::LeftButton);
        QCOMPARE(f->storedRows(), 4);
        f->child<QTabWidget>("SSTab1")->setCurrentIndex(3);
        QCOMPARE(f->label("SrchRecCnt"), QStringLiteral("3"));
    }

    // The rows a search lists follow the file whoever wrote it, in exhibitor order.
    void searchListFollowsTheFile_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("byAnotherProgram");
        QTest::addColumn<QStringList>("rows"); // "number name" of each row after the change
        const QStringList before{"3 Jo Smith", "9 Al Smithers", "12 Cy Smith"};
        QTest::newRow("nothing written") << "" << false << before;
        QTest::newRow("renamed here") << "SET [Show Exh Nam] = 'Jo Brown' WHERE [Show Exh No] = 3"
                                      << false << QStringList{"9 Al Smithers", "12 Cy Smith"};
        QTest::newRow("renamed elsewhere")
            << "SET [Show Exh Nam] = 'Bo Smith' WHERE [Show Exh No] = 4" << true
            << QStringList{"3 Jo Smith", "4 Bo Smith", "9 Al Smithers", "12 Cy Smith"};
        QTest::newRow("renumbered elsewhere")
            << "SET [Show Exh No] = 1 WHERE [Show Exh No] = 12" << true
            << QStringList{"1 Cy Smith", "3 Jo Smith", "9 Al Smithers"};
    }
    void searchListFollowsTheFile() {
        QFETCH(QString, change);
        QFETCH(bool, byAnotherProgram);
        QFETCH(QStringList, rows);
        f->open(f->makeShow(
            {{9, "Al Smithers", 5}, {3, "Jo Smith", 2}, {4, "Bo Lee", 2}, {12, "Cy Smith", 7}}));
        const auto search = [this] {
            onModal<twl::SearchDlg>([](twl::SearchDlg& dialog) {
                QTest::keyClicks(in<QLineEdit>(dialog, "SrchTxt"), "smi");
                in<QCheckBox>(dialog, "Chk1_0")->setChecked(true);
                QTest::mouseClick(in<QPushButton>(dialog, "OKBut"), Qt::LeftButton);
                return true;
            });
            f->trigger("mnuEditSearch");
            const QAbstractItemModel* grid = f->child<QTableView>("Grid_S")->model();
            QStringList shown;
            for (int r = 0; r < grid->rowCount(); ++r)
                shown << grid->index(r, 0).data().toString() + " " +
                             grid->index(r, 1).data().toString();
            return shown;
        };
        QCOMPARE(search(), QStringList({"3 Jo Smith", "9 Al Smithers", "12 Cy Smith"}));
        if (!change.isEmpty()) {
            const QString sql = "UPDATE Entries_tbl " + change;
            if (byAnotherProgram)
                store::Connection(f->showFile, TestFolder::Password).execute(sql);
            else
                store::execute(f->program->shared().session.ShowConnString, sql);
        }
        QCOMPARE(search(), rows);
        QCOMPARE(f->label("SrchRecCnt"), QString::number(rows.size()));
    }

    // A read of the show's or the organisation's data that fails is reported, never shown as an
    // empty result ("0" found, a blank class name, "Member Number not found...").
    void anUnreadableTableIsReportedNotShownEmpty_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("stepNumber");
        QTest::addColumn<QString>("label"); // shows nothing rather than an empty result
        QTest::addColumn<QString>("report");
        QTest::newRow("search list") << "show"
                                     << "Entries_tbl" << int(Step::Search) << "SrchRecCnt"
                                     << "The entries of the show cannot be read for the search.";
        QTest::newRow("class name") << "show"
                                    << "Class_tbl" << int(Step::ClassLookUp) << "CDbx"
                                    << "The name of class 2 cannot be read.";
        QTest::newRow("entry list") << "show"
                                    << "Entries_tbl" << int(Step::Sort) << ""
                                    << "The entries of the show cannot be read.";
        QTest::newRow("member look-up") << "TWL.org"
                                        << "Members_tbl" << int(Step::MemberLookUp) << ""
                                        << "The member register cannot be read.";
    }
    void anUnreadableTableIsReportedNotShownEmpty() {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(int, stepNumber);
        const Step step = Step(stepNumber);
        QFETCH(QString, label);
        QFETCH(QString, report);
        f->open(f->makeShow({{3, "Jo Lee", 2}, {9, "Al Smith", 5}}));
        if (step == Step::MemberLookUp)
            f->typeNewEntry({"12", "Blaze", "Jane Hart", "R-1", "5", "M1"});
        {
            // Another program takes the table away.
            store::Connection other(file == "show" ? f->showFile : f->folder.file(file),
                                    TestFolder::Password);
            other.execute(QStringLiteral("ALTER TABLE %1 RENAME TO Gone").arg(table));
        }
        f->prompt.clear();
        switch (step) {
        case Step::Search:
            onModal<twl::SearchDlg>([](twl::SearchDlg& dialog) {
                QTest::keyClicks(in<QLineEdit>(dialog, "SrchTxt"), "Lee");
                in<QCheckBox>(dialog, "Chk1_0")->setChecked(true);
                QTest::mouseClick(in<QPushButton>(dialog, "OKBut"), Qt::LeftButton);
                return true;
            });
            f->trigger("mnuEditSearch");
            break;
        case Step::ClassLookUp:
            f->child<QLineEdit>("clID")->setText("2");
            QTest::keyClick(f->child<QLineEdit>("clID"), Qt::Key_Return);
            break;
        case Step::Sort:
            f->trigger("mnuViewSortExhNa");
            break;
        case Step::MemberLookUp:
            QTest::mouseClick(f->button("LookUpMem"), Qt::LeftButton);
            break;
        }
        QStringList shown;
        for (const twl::Prompt::Message& message : f->prompt.shown())
            shown << message.text;
        const QRegularExpression reported("^" + QRegularExpression::escape(report));
        QVERIFY2(!shown.filter(reported).isEmpty(), qPrintable(shown.join(" | ")));
        QVERIFY(!shown.contains("Member Number not found..."));
        if (!label.isEmpty())
            QCOMPARE(f->label(qPrintable(label)), QString());
    }

    void cancellingADeleteKeepsTheEntry() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {5, "Bo Day", 4}, {8, "Cy Ray", 6}}));
        f->program->dataSources().priAdo.moveNext();
        const QStringList shown = f->texts();
        onModal<twl::DelExh>([](twl::DelExh& dialog) {
            QTest::keyClick(&dialog, Qt::Key_Return); // Enter deletes nothing
            QTest::mouseClick(in<QPushButton>(dialog, "CanCom"), Qt::LeftButton);
            return true;
        });
        f->trigger("mnuEditDelExh");
        QCOMPARE(f->storedRows(), 3);
        QCOMPARE(f->texts(), shown);
    }

    void deletingOneEntryKeepsTheListAsReadAgain() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {5, "Bo Day", 4}, {8, "Cy Ray", 6}}));
        f->program->dataSources().priAdo.moveNext();
        onModal<twl::DelExh>([](twl::DelExh& dialog) {
            QTest::keyClick(&dialog, Qt::Key_Alt, Qt::AltModifier);
            QTest::mouseClick(in<QPushButton>(dialog, "OKcom"), Qt::LeftButton);
            return true;
        });
        f->trigger("mnuEditDelExh");
        QCOMPARE(f->lastAction(), QStringLiteral("Entry for 5 in class 4 was deleted"));
        QCOMPARE(f->storedRows(), 2);
        store::RecordSet& list = f->program->dataSources().priAdo.recordSet();
        QStringList shown;
        for (list.moveFirst(); !list.eof(); list.moveNext())
            shown << list.value(QStringLiteral("Show Exh No")).toText();
        QCOMPARE(shown, QStringList({"3", "8"}));
        QCOMPARE(f->label("TotEn"), QStringLiteral("2"));
        QCOMPARE(f->child<QListWidget>("L_1")->item(3)->text(), QStringLiteral("0"));
    }

    void deletingAllEntriesThenTheLast() {
        f->open(f->makeShow({{5, "Bo Day", 1}, {5, "Bo Day", 4}, {5, "Bo Day", 9}, {8, "Cy", 2}}));
        onModal<twl::DelExh>([](twl::DelExh& dialog) {
            in<QRadioButton>(dialog, "Option1_1")->click();
            QTest::keyClick(in<QRadioButton>(dialog, "Option1_1"), Qt::Key_Alt, Qt::AltModifier);
            QTest::mouseClick(in<QPushButton>(dialog, "OKcom"), Qt::LeftButton);
            return true;
        });
        f->trigger("mnuEditDelExh");
        QCOMPARE(f->lastAction(), QStringLiteral("All entries for 5 were deleted"));
        QCOMPARE(f->storedRows(), 1);

        onModal<twl::DelExh>([](twl::DelExh& dialog) {
            QTest::keyClick(&dialog, Qt::Key_Alt, Qt::AltModifier);
            QTest::mouseClick(in<QPushButton>(dialog, "OKcom"), Qt::LeftButton);
            return true;
        });
        f->trigger("mnuEditDelExh");
        QCOMPARE(f->lastAction(), QStringLiteral("Entry for 8 in class 2 was deleted"));
        QCOMPARE(f->storedRows(), 0);
        // No entries: nothing left to delete or search.
        QVERIFY(!f->window().command(QStringLiteral("mnuEditDelExh"))->isEnabled());
        QVERIFY(!f->window().command(QStringLiteral("mnuEditSearch"))->isEnabled());
        QVERIFY(f->window().command(QStringLiteral("mnuEditEnterExh"))->isEnabled());
    }
};

QTEST_MAIN(TestEntryDesk)
#include "TestEntryDesk.moc"

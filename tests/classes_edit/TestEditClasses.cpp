#include "classes/ui/EditClasses.h"
#include "common/Services.h"
#include "common/TWL_public.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/OpenShowFolder.h"
#include "support/ScreenTest.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <optional>

using namespace twl;
using store::RecordSet;

namespace {

enum { Spacer, Number, Name, Fee, Multi, Ended };

const QString TooLong = "Entry is too long.";
const QString FeeRefused = "Positive Numeric value only.";
const QString MultiRefused = "Positive Numeric value greater than .01 only.";

struct ClassRow {
    QString name;
    double fee = 0;
    double multi = 0;
    bool ended = false;
    friend bool operator==(const ClassRow&, const ClassRow&) = default;
};

} // namespace

class TestEditClasses : public QObject, protected ScreenTest<EditClasses> {
    Q_OBJECT

public:
    TestEditClasses() : ScreenTest(QDate(2026, 4, 8)) {}

private:
    std::optional<OpenShowFolder> m_show;

    QTableView* grid() { return child<QTableView>("Grid_C"); }
    QString cell(int row, int column) {
        return grid()->model()->index(row, column).data().toString();
    }
    QList<QPushButton*> fourButtons() {
        return {child<QPushButton>("ClearAllBut"), child<QPushButton>("ImportBut"),
                child<QPushButton>("ExportBut"), child<QPushButton>("DoneBut")};
    }
    bool buttonsEnabled(bool enabled) {
        const auto buttons = fourButtons();
        return std::all_of(buttons.begin(), buttons.end(),
                           [&](QPushButton* b) { return b->isEnabled() == enabled; });
    }

    // Every class as the show file holds it, read through a record set of its own.
    std::vector<ClassRow> storedClasses() {
        RecordSet rs;
        rs.open("SELECT * FROM Class_tbl ORDER BY [Class No]", m_shared.session.ShowConnString);
        std::vector<ClassRow> rows;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows.push_back({rs.value("Class Name").toText(), rs.value("Class Fee").toDouble(),
                            rs.value("Class Multi").toDouble(), rs.value("Class Ended").toBool()});
        return rows;
    }
    ClassRow stored(int classNo) { return storedClasses().at(size_t(classNo - 1)); }

    void changeStored(int classNo, const QString& field, const store::Value& value) {
        RecordSet rs;
        rs.open("Class_tbl", m_shared.session.ShowConnString);
        QVERIFY(rs.find(QString("[Class No] = %1").arg(classNo)));
        rs.setValue(field, value);
        rs.updateBatch();
    }

    // Types into a cell as a user does (the grid's own editor) and ends with the key: Enter
    // accepts, Esc cancels. Returns false when no editor opened.
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

    void expectRefused(int row, int column, const QString& text, const QString& message) {
        const auto before = storedClasses();
        const QString shown = cell(row, column);
        QVERIFY(typeInto(row, column, text));
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        const Prompt::Message& box = m_prompt.shown()[0];
        QCOMPARE(box.text, message);
        QCOMPARE(box.title, QString("Trotwell"));
        QCOMPARE(box.icon, Prompt::Icon::Exclamation);
        QCOMPARE(box.buttons, Prompt::Buttons::Ok);
        QCOMPARE(cell(row, column), shown);
        QVERIFY(!m_dialog->classes().hasPendingChanges());
        QVERIFY(storedClasses() == before);
    }

    void expectAccepted(int row, int column, const QString& text) {
        QVERIFY(typeInto(row, column, text));
        QVERIFY2(m_prompt.shown().empty(),
                 qPrintable(m_prompt.shown().empty() ? QString() : m_prompt.shown()[0].text));
        QVERIFY(!m_dialog->classes().hasPendingChanges());
    }

private slots:
    void init() {
        m_prompt.clear();
        m_show.emplace(m_shared, 20);
    }

    void cleanup() {
        m_dialog.reset();
        m_show.reset();
    }

    void opensWithEveryClassInItsColumns() {
        changeStored(12, "Class Fee", 1234.5);
        changeStored(12, "Class Multi", 1.5);
        openScreen();
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Edit Classes]"));
        // Every class of the table, also those above the classes in use.
        QCOMPARE(grid()->model()->rowCount(), 150);
        QCOMPARE(grid()->model()->columnCount(), 6);
        QCOMPARE(cell(149, Number), QString("150"));
        QCOMPARE(cell(11, Name), QString("Blank"));
        QCOMPARE(cell(11, Fee), QString("1,234.50  "));
        QCOMPARE(cell(11, Multi), QString("1.50 "));
        QCOMPARE(cell(0, Fee), QString("0.00  "));
        QCOMPARE(cell(0, Multi), QString("1.00 "));

        const auto alignment = [&](int column) {
            return grid()->model()->index(0, column).data(Qt::TextAlignmentRole).toInt() &
                   Qt::AlignHorizontal_Mask;
        };
        QCOMPARE(alignment(Number), int(Qt::AlignHCenter));
        QCOMPARE(alignment(Fee), int(Qt::AlignRight));
        QCOMPARE(alignment(Multi), int(Qt::AlignLeft));

        QCOMPARE(grid()->columnWidth(Spacer), 0);
        QCOMPARE(grid()->columnWidth(Number), 33);
        QCOMPARE(grid()->columnWidth(Name), grid()->width() - 133);
        QCOMPARE(grid()->columnWidth(Fee), 50);
        QCOMPARE(grid()->columnWidth(Multi), 33);
        QVERIFY(grid()->isColumnHidden(Ended));
        QVERIFY(!grid()->isColumnHidden(Name));

        for (const auto& [name, text] :
             std::vector<std::pair<QString, QString>>{{"ClearAllBut", "&Clear All"},
                                                      {"ImportBut", "&Import "},
                                                      {"ExportBut", "&Export"},
                                                      {"DoneBut", "&Done"}})
            QCOMPARE(child<QPushButton>(name)->text(), text);
        QStringList labels;
        for (QLabel* label : m_dialog->findChildren<QLabel*>())
            labels << label->text();
        for (const char* text :
             {"Class", "Class Description", "100 Characters maximum", "Fee", "Points", "X",
              "Enter new text in the cells below and press Enter to accept  -  Press ESC to "
              "cancel"})
            QVERIFY2(labels.contains(text), text);
        QVERIFY(!child<QTimer>("Timer4")->isActive());
        QVERIFY(buttonsEnabled(true));
        QCOMPARE(m_dialog->classes().value("Class No").toInt(), 1);
    }

    void descriptionLength_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << 0 << true;
        QTest::newRow("100 characters") << 100 << true;
        QTest::newRow("101 characters") << 101 << false;
    }
    void descriptionLength() {
        QFETCH(int, length);
        QFETCH(bool, accepted);
        openScreen();
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar('a' + i % 26);
        if (accepted) {
            expectAccepted(4, Name, text);
            QCOMPARE(stored(5).name, text);
            QCOMPARE(cell(4, Name), text);
        } else {
            expectRefused(4, Name, text, TooLong);
        }
    }

    void fee_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // empty: refused
        QTest::newRow("zero") << "0"
                              << "0.00  ";
        QTest::newRow("thousands") << "1234.5"
                                   << "1,234.50  ";
        QTest::newRow("with separators") << "$2,500.75"
                                         << "2,500.75  ";
        QTest::newRow("negative") << "-1"
                                  << "";
        QTest::newRow("just below zero") << "-0.01"
                                         << "";
        QTest::newRow("text") << "abc"
                              << "";
        QTest::newRow("nothing") << ""
                                 << "";
    }
    void fee() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        changeStored(3, "Class Fee", 7);
        openScreen();
        if (shown.isEmpty()) {
            expectRefused(2, Fee, typed, FeeRefused);
            QCOMPARE(cell(2, Fee), QString("7.00  "));
        } else {
            expectAccepted(2, Fee, typed);
            QCOMPARE(cell(2, Fee), shown);
            QCOMPARE(QString::number(stored(3).fee, 'f', 2) + "  ", QString(shown).remove(','));
        }
    }

    void multiplier_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored"); // 0: refused
        QTest::newRow("the least") << "0.01" << 0.01;
        QTest::newRow("two and a half") << "2.5" << 2.5;
        QTest::newRow("just below") << "0.009" << 0.0;
        QTest::newRow("zero") << "0" << 0.0;
        QTest::newRow("negative") << "-2" << 0.0;
        QTest::newRow("text") << "x" << 0.0;
    }
    void multiplier() {
        QFETCH(QString, typed);
        QFETCH(double, stored);
        openScreen();
        if (stored == 0.0) {
            expectRefused(6, Multi, typed, MultiRefused);
            QCOMPARE(this->stored(7).multi, 1.0);
        } else {
            expectAccepted(6, Multi, typed);
            QCOMPARE(this->stored(7).multi, stored);
        }
    }

    void theClassNumberCannotBeEdited() {
        openScreen();
        const QModelIndex number = grid()->model()->index(3, Number);
        QVERIFY(!(number.flags() & Qt::ItemIsEditable));
        QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
        QVERIFY(!typeInto(3, Number, "99"));
        QVERIFY(!grid()->model()->setData(number, "99"));
        QCOMPARE(cell(3, Number), QString("4"));
        QVERIFY(storedClasses() == std::vector<ClassRow>(150, ClassRow{"Blank", 0, 1, false}));
    }

    void theClassStaysCurrentAfterASave() {
        openScreen();
        expectAccepted(41, Name, "Open Trail");
        QCOMPARE(stored(42).name, QString("Open Trail"));
        QCOMPARE(m_dialog->classes().value("Class No").toInt(), 42);
        QCOMPARE(grid()->currentIndex().row(), 41);
        // The next cell of the same class is saved as well, and the class is still current.
        expectAccepted(41, Fee, "15");
        QCOMPARE(stored(42), (ClassRow{"Open Trail", 15, 1, false}));
        QCOMPARE(m_dialog->classes().value("Class No").toInt(), 42);
        QCOMPARE(grid()->currentIndex().row(), 41);
        // Saving rewrites no other class.
        auto others = storedClasses();
        others.erase(others.begin() + 41);
        QVERIFY(others == std::vector<ClassRow>(149, ClassRow{"Blank", 0, 1, false}));
    }

    void buttonsWaitWhileACellHoldsAChange() {
        openScreen();
        const QModelIndex index = grid()->model()->index(0, Name);
        grid()->setCurrentIndex(index);
        grid()->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(grid()->indexWidget(index));
        QVERIFY(editor);
        QVERIFY(buttonsEnabled(true)); // opening a cell is not a change yet
        QTest::keyClicks(editor, "Hal");
        QVERIFY(buttonsEnabled(false));
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!grid()->indexWidget(index));
        QVERIFY(child<QTimer>("Timer4")->isActive());
        QCOMPARE(child<QTimer>("Timer4")->interval(), 25);
        QTRY_VERIFY(buttonsEnabled(true));
        QVERIFY(!child<QTimer>("Timer4")->isActive());
        QCOMPARE(cell(0, Name), QString("Blank"));
        QCOMPARE(stored(1).name, QString("Blank"));
        QVERIFY(m_dialog->isVisible()); // Esc cancels the cell, not the screen

        // An accepted cell ends the edit as well.
        grid()->edit(index);
        editor = qobject_cast<QLineEdit*>(grid()->indexWidget(index));
        QVERIFY(editor);
        QTest::keyClicks(editor, "Halter");
        QVERIFY(buttonsEnabled(false));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(buttonsEnabled(true));
        QCOMPARE(stored(1).name, QString("Halter"));

        // Esc in the grid outside a cell starts the timer too.
        child<QPushButton>("DoneBut")->setEnabled(false);
        QTest::keyClick(grid(), Qt::Key_Escape);
        QTRY_VERIFY(buttonsEnabled(true));
        QVERIFY(m_dialog->isVisible());
    }

    void clearAllAnsweredNoChangesNothing() {
        changeStored(5, "Class Name", "Jumpers");
        openScreen();
        const auto before = storedClasses();
        m_prompt.script(Prompt::Answer::No);
        child<QPushButton>("ClearAllBut")->click();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        const Prompt::Message& box = m_prompt.shown()[0];
        QCOMPARE(box.text,
                 "Erase all Class Descriptions from  " + m_shared.session.ShowPath + "   ");
        QCOMPARE(box.title, QString("Trotwell"));
        QCOMPARE(box.icon, Prompt::Icon::Exclamation);
        QCOMPARE(box.buttons, Prompt::Buttons::YesNo);
        QVERIFY(storedClasses() == before);
        QCOMPARE(cell(4, Name), QString("Jumpers"));
    }

    void clearAllAnsweredYesBlanksEveryClass() {
        changeStored(5, "Class Name", "Jumpers");
        changeStored(5, "Class Fee", 20);
        changeStored(5, "Class Multi", 2);
        changeStored(5, "Class Ended", store::Value(true));
        changeStored(150, "Class Name", "Last");
        changeStored(9, "Class Ended", store::Value(true));
        openScreen();
        m_prompt.script(Prompt::Answer::Yes);
        child<QPushButton>("ClearAllBut")->click();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        std::vector<ClassRow> expected(150, ClassRow{"Blank", 0, 1, false});
        expected[4].ended = true;
        expected[8].ended = true;
        QVERIFY(storedClasses() == expected);
        QCOMPARE(cell(4, Name), QString("Blank"));
        QCOMPARE(cell(4, Fee), QString("0.00  "));
        QCOMPARE(cell(149, Name), QString("Blank"));
        QVERIFY(!m_dialog->classes().hasPendingChanges());
        QCOMPARE(m_dialog->classes().value("Class No").toInt(), 1);
        QCOMPARE(grid()->columnWidth(Name), grid()->width() - 133);
    }

    void aFailedWriteIsTakenBackAndReported() {
        openScreen();
        store::connectionFor(m_shared.session.ShowConnString)
            ->execute("CREATE TRIGGER NoWrite BEFORE UPDATE ON Class_tbl "
                      "BEGIN SELECT RAISE(ABORT, 'the disk is full'); END");
        QVERIFY(typeInto(2, Name, "Showmanship"));
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Critical);
        QVERIFY(m_prompt.shown()[0].text.contains("the disk is full"));
        QCOMPARE(cell(2, Name), QString("Blank"));
        QVERIFY(!m_dialog->classes().hasPendingChanges());
        QCOMPARE(stored(3).name, QString("Blank"));
        QTRY_VERIFY(buttonsEnabled(true));

        // Once the file can be written again, the next change is saved and only that one.
        store::connectionFor(m_shared.session.ShowConnString)->execute("DROP TRIGGER NoWrite");
        m_prompt.clear();
        expectAccepted(3, Name, "Leadline");
        QCOMPARE(stored(4).name, QString("Leadline"));
        QCOMPARE(stored(3).name, QString("Blank"));
    }

    void clearAllThatCannotWriteChangesNothing() {
        changeStored(5, "Class Name", "Jumpers");
        openScreen();
        store::connectionFor(m_shared.session.ShowConnString)
            ->execute("CREATE TRIGGER NoWrite BEFORE UPDATE ON Class_tbl "
                      "WHEN new.[Class No] = 100 BEGIN SELECT RAISE(ABORT, 'locked'); END");
        m_prompt.script(Prompt::Answer::Yes);
        child<QPushButton>("ClearAllBut")->click();
        QCOMPARE(m_prompt.shown().size(), size_t(2));
        QCOMPARE(m_prompt.shown()[1].icon, Prompt::Icon::Critical);
        QCOMPARE(stored(5).name, QString("Jumpers")); // all or nothing
        QCOMPARE(cell(4, Name), QString("Jumpers"));
        QVERIFY(!m_dialog->classes().hasPendingChanges());
    }

    void doneClosesAndWritesNothingMore() {
        openScreen();
        expectAccepted(0, Name, "Walk Trot");
        QTRY_VERIFY(buttonsEnabled(true));
        child<QPushButton>("DoneBut")->click();
        QVERIFY(!m_dialog->isVisible());
        QVERIFY(!m_dialog->classes().isOpen());
        QCOMPARE(stored(1).name, QString("Walk Trot"));
    }
};

QTEST_MAIN(TestEditClasses)
#include "TestEditClasses.moc"

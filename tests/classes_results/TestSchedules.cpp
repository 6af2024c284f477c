#include "ResultsShow.h"
#include "classes/Schedules.h"
#include "classes/ui/PayOutFrm.h"
#include "classes/ui/PointForm.h"
#include "common/Services.h"
#include "support/ScreenTest.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace twl;

namespace {
constexpr int FirstValueColumn = 2; // after the unbound column and the place
const QColor PaleYellow(255, 255, 192);
const QColor Lavender(224, 224, 240);
} // namespace

class TestSchedules : public QObject, protected ScreenTest<QDialog> {
    Q_OBJECT

public:
    TestSchedules() : ScreenTest(QDate(2005, 6, 18)) {}

private:
    std::unique_ptr<ResultsShow> m_show;

    QPushButton* doneBut() { return child<QPushButton>("DoneBut"); }

    bool typeInto(QTableView* grid, int row, int column, const QString& text,
                  Qt::Key finish = Qt::Key_Return) {
        const QModelIndex index = grid->model()->index(row, column);
        grid->setCurrentIndex(index);
        grid->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(index));
        if (!editor)
            return false;
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, finish);
        return QTest::qWaitFor([&] { return grid->indexWidget(index) == nullptr; });
    }

    store::Value storedCell(const QString& table, int place, const QString& column) {
        store::RecordSet rs;
        rs.open(QString("SELECT %1 FROM %2 WHERE [Place] = %3").arg(column, table).arg(place),
                m_shared.session.OrgConnString);
        return rs.value(0);
    }
    store::RecordSet orgData() {
        store::RecordSet rs;
        rs.open("OrgData_tbl", m_shared.session.OrgConnString);
        return rs;
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

    void pointsScheduleLayout() {
        m_show->setCell("Points_tbl", 3, 7, 4.5);
        openScreen<PointForm>();
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Points Setup]"));
        auto* grid = child<QTableView>("Grid_P");
        QCOMPARE(grid->model()->rowCount(), 20);
        QCOMPARE(grid->model()->columnCount(), 22);
        QCOMPARE(grid->model()->index(2, FirstValueColumn + 6).data().toString(), QString("4.5"));
        QCOMPARE(grid->columnWidth(0), 0);
        QCOMPARE(grid->columnWidth(1), 0);
        for (int column = FirstValueColumn; column < 22; ++column)
            QCOMPARE(grid->columnWidth(column), 33);
        QCOMPARE(grid->rowHeight(0), 15);
        QCOMPARE(grid->height(), 320);
        QCOMPARE(grid->palette().color(QPalette::Base), QColor(253, 255, 223));
        const int alignment =
            grid->model()->index(0, FirstValueColumn).data(Qt::TextAlignmentRole).toInt();
        QCOMPARE(alignment & Qt::AlignHorizontal_Mask, int(Qt::AlignHCenter));
        // Column label k stands over value column k, row label p beside place p.
        for (int k : {1, 7, 20}) {
            auto* label = child<QLabel>(QString("ColumnLabel_%1").arg(k));
            QCOMPARE(label->text(), QString::number(k));
            const int columnLeft = grid->mapTo(m_dialog.get(), QPoint(0, 0)).x() +
                                   grid->frameWidth() +
                                   grid->columnViewportPosition(FirstValueColumn + k - 1);
            QVERIFY(qAbs(label->mapTo(m_dialog.get(), QPoint(0, 0)).x() - columnLeft) <= 1);
        }
        for (int place : {1, 20}) {
            auto* label = child<QLabel>(QString("RowLabel_%1").arg(place));
            const int rowTop = grid->mapTo(m_dialog.get(), QPoint(0, 0)).y() + grid->frameWidth() +
                               grid->rowViewportPosition(place - 1);
            QCOMPARE(label->mapTo(m_dialog.get(), QPoint(0, 0)).y(), rowTop);
        }
        QStringList labels;
        for (QLabel* label : m_dialog->findChildren<QLabel*>())
            labels << label->text();
        for (const char* text : {"Click in a cell to edit", "Enter to accept", "ESC to cancel",
                                 "Place", "Number of Exhibitors"})
            QVERIFY2(labels.contains(text), text);
        QCOMPARE(doneBut()->text(), QString("Do&ne"));
    }

    void scheduleCellsAreCheckedAndWrittenAtOnce() {
        openScreen<PointForm>();
        auto* grid = child<QTableView>("Grid_P");
        QVERIFY(typeInto(grid, 4, FirstValueColumn + 9, "2.5"));
        QCOMPARE(storedCell("Points_tbl", 5, "X10"), store::Value(2.5));
        QVERIFY(typeInto(grid, 0, FirstValueColumn, "0"));
        QCOMPARE(storedCell("Points_tbl", 1, "X1"), store::Value(0.0));
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, FirstValueColumn));

        const store::Value before = storedCell("Points_tbl", 2, "X3");
        for (const char* refused : {"-1", "abc", ""}) {
            QVERIFY(typeInto(grid, 1, FirstValueColumn + 2, refused));
            QCOMPARE(storedCell("Points_tbl", 2, "X3"), before);
            QCOMPARE(grid->model()->index(1, FirstValueColumn + 2).data().toString(),
                     before.toText());
        }
        QVERIFY(m_prompt.shown().empty()); // refused without a message
    }

    void doneWaitsWhileACellIsBeingTyped() {
        openScreen<PayOutFrm>();
        auto* grid = child<QTableView>("Grid_D");
        auto* timer = child<QTimer>("CshClkTimer");
        const QModelIndex index = grid->model()->index(0, FirstValueColumn);
        grid->setCurrentIndex(index);
        grid->edit(index);
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(index));
        QVERIFY(editor);
        QTest::keyClicks(editor, "9");
        QVERIFY(!doneBut()->isEnabled());
        QTest::keyClick(editor, Qt::Key_Tab); // Tab accepts the cell and ends the edit
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 25);
        QTRY_VERIFY(doneBut()->isEnabled());
        QVERIFY(!timer->isActive());
        QCOMPARE(storedCell("PaySch_tbl", 1, "P1"), store::Value(9.0));

        doneBut()->setEnabled(false);
        QTest::keyClick(grid, Qt::Key_Escape);
        QTRY_VERIFY(doneBut()->isEnabled());
        QVERIFY(m_dialog->isVisible()); // Esc belongs to the grid
    }

    void payoutSettingsShownAndSavedByDone() {
        m_show->org("UPDATE OrgData_tbl SET CutOff = 3, MinMultiP = 0.5, IsPrcnt = 1");
        openScreen<PayOutFrm>();
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Pay Out Setup]"));
        auto* grid = child<QTableView>("Grid_D");
        auto* percent = child<QRadioButton>("Option1_1");
        auto* dollars = child<QRadioButton>("Option1_0");
        QCOMPARE(percent->text(), QString("Percent of entry fee"));
        QCOMPARE(dollars->text(), QString("Actual dollar value"));
        QCOMPARE(child<QLineEdit>("MinExh")->text(), QString("3"));
        QCOMPARE(child<QLineEdit>("MinMultiP")->text(), QString("0.5"));
        QVERIFY(m_shared.org.IsPrcnt);
        QVERIFY(percent->isChecked());
        QCOMPARE(grid->palette().color(QPalette::Base), PaleYellow);
        QCOMPARE(grid->model()->rowCount(), 20);

        // The option changes memory and colour at once, the file only at Done.
        QTest::mouseClick(dollars, Qt::LeftButton);
        QVERIFY(!m_shared.org.IsPrcnt);
        QCOMPARE(grid->palette().color(QPalette::Base), Lavender);
        QVERIFY(orgData().value("IsPrcnt").toBool());
        QTest::mouseClick(percent, Qt::LeftButton);
        QVERIFY(m_shared.org.IsPrcnt);
        QCOMPARE(grid->palette().color(QPalette::Base), PaleYellow);
        QTest::mouseClick(dollars, Qt::LeftButton);

        child<QLineEdit>("MinExh")->setText("6");
        child<QLineEdit>("MinMultiP")->setText("0.75");
        QTest::mouseClick(doneBut(), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        const store::RecordSet data = orgData();
        QCOMPARE(data.value("IsPrcnt").toBool(), false);
        QCOMPARE(data.value("CutOff").toInt(), 6);
        QCOMPARE(data.value("MinMultiP").toDouble(), 0.75);
        QVERIFY(!m_shared.org.IsPrcnt);
        QCOMPARE(m_shared.org.CutOff, qint16(6));
        QCOMPARE(m_shared.org.MinMultiP, 0.75);
    }

    void closingWithoutDoneKeepsTheSettings() {
        m_show->org("UPDATE OrgData_tbl SET CutOff = 3, MinMultiP = 0.5, IsPrcnt = 0");
        m_shared.org.CutOff = 3;
        m_shared.org.MinMultiP = 0.5;
        openScreen<PayOutFrm>();
        QTest::mouseClick(child<QRadioButton>("Option1_1"), Qt::LeftButton);
        QVERIFY(m_shared.org.IsPrcnt);
        child<QLineEdit>("MinExh")->setText("9");
        m_dialog->close();
        QVERIFY(!m_shared.org.IsPrcnt); // what the file still says
        QCOMPARE(m_shared.org.CutOff, qint16(3));
        QCOMPARE(orgData().value("IsPrcnt").toBool(), false);
        QCOMPARE(orgData().value("CutOff").toInt(), 3);
    }

    void settingsThatAreNotNumbersAreNotSaved() {
        openScreen<PayOutFrm>();
        const qint64 cutOff = orgData().value("CutOff").toInt();
        child<QLineEdit>("MinExh")->setText("many");
        QTest::mouseClick(doneBut(), Qt::LeftButton);
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].text, Schedules::CutOffRefused);
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(orgData().value("CutOff").toInt(), cutOff);

        child<QLineEdit>("MinExh")->setText("4.5"); // a whole number, rounded half to even
        child<QLineEdit>("MinMultiP")->setText("half");
        QTest::mouseClick(doneBut(), Qt::LeftButton);
        QCOMPARE(m_prompt.shown().back().text, Schedules::MultiplierRefused);
        QVERIFY(m_dialog->isVisible());
        child<QLineEdit>("MinMultiP")->setText("0.5");
        QTest::mouseClick(doneBut(), Qt::LeftButton);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(orgData().value("CutOff").toInt(), 4);
        QCOMPARE(Schedules::cutOffFromText("40000"), std::nullopt);
    }
};

QTEST_MAIN(TestSchedules)
#include "TestSchedules.moc"

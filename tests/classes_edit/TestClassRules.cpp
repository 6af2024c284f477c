#include "classes/ClassRules.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/TestFolder.h"

using namespace twl;
using store::RecordSet;

// The class table's rules on their own, without the grid that applies them.
class TestClassRules : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { store::releaseAllConnections(); }

    void cellRefusals_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        using namespace ClassRules;
        QTest::newRow("name of 100") << int(NameColumn) << QString(100, 'x') << QString();
        QTest::newRow("name of 101") << int(NameColumn) << QString(101, 'x') << NameTooLong;
        QTest::newRow("empty name") << int(NameColumn) << QString() << QString();
        QTest::newRow("fee 0") << int(FeeColumn) << "0" << QString();
        QTest::newRow("fee in money form") << int(FeeColumn) << "$1,234.50" << QString();
        QTest::newRow("negative fee") << int(FeeColumn) << "-0.01" << FeeRefused;
        QTest::newRow("fee not a number") << int(FeeColumn) << "ten" << FeeRefused;
        QTest::newRow("empty fee") << int(FeeColumn) << "" << FeeRefused;
        QTest::newRow("multiplier .01") << int(MultiColumn) << ".01" << QString();
        QTest::newRow("multiplier 2.5") << int(MultiColumn) << "2.5" << QString();
        QTest::newRow("multiplier below .01") << int(MultiColumn) << "0.009" << MultiRefused;
        QTest::newRow("multiplier 0") << int(MultiColumn) << "0" << MultiRefused;
        QTest::newRow("multiplier text") << int(MultiColumn) << "one" << MultiRefused;
        // Columns without a rule take anything.
        QTest::newRow("number column") << int(NumberColumn) << "abc" << QString();
        QTest::newRow("ended column") << int(EndedColumn) << "-1" << QString();
        QTest::newRow("spacer column") << int(SpacerColumn) << QString(200, 'x') << QString();
    }
    void cellRefusals() {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        QCOMPARE(ClassRules::cellRefusal(column, text), refusal);
    }

    void displayForms() {
        QCOMPARE(ClassRules::feeDisplay(store::Currency::fromDouble(1234.5)),
                 QString("1,234.50  "));
        QCOMPARE(ClassRules::feeDisplay(0.0), QString("0.00  "));
        QCOMPARE(ClassRules::feeDisplay(store::Value()), QString());
        QCOMPARE(ClassRules::multiplierDisplay(1.0), QString("1.00 "));
        QCOMPARE(ClassRules::multiplierDisplay(0.25), QString("0.25 "));
        QCOMPARE(ClassRules::multiplierDisplay(store::Value()), QString());
    }

    void clearAllQuestionNamesTheShow() {
        QCOMPARE(ClassRules::clearAllQuestion("/shows/Spring.twl"),
                 QString("Erase all Class Descriptions from  /shows/Spring.twl   "));
    }

    // Clear All blanks names, fees and multipliers; class numbers and ended flags stay, and the
    // file is written only by the caller's batch.
    void blankAllKeepsNumbersAndEndedFlags() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        store::execute(conn, "UPDATE Class_tbl SET [Class Name] = 'Halter', [Class Fee] = 12.5, "
                             "[Class Multi] = 2, [Class Ended] = TRUE WHERE [Class No] = 2");
        RecordSet classes;
        classes.open("Class_tbl", conn);
        ClassRules::blankAll(classes);
        QVERIFY(classes.eof());
        RecordSet before;
        before.open("SELECT * FROM Class_tbl WHERE [Class Name] = 'Halter'", conn);
        QCOMPARE(before.recordCount(), 1); // nothing written yet
        classes.updateBatch();

        RecordSet after;
        after.open("SELECT * FROM Class_tbl ORDER BY [Class No]", conn);
        QCOMPARE(after.recordCount(), 150);
        int classNo = 0;
        for (after.moveFirst(); !after.eof(); after.moveNext()) {
            QCOMPARE(after.value("Class No").toInt(), ++classNo);
            QCOMPARE(after.value("Class Name").toText(), ClassRules::BlankName);
            QCOMPARE(after.value("Class Fee").toDouble(), ClassRules::BlankFee);
            QCOMPARE(after.value("Class Multi").toDouble(), ClassRules::BlankMulti);
            QCOMPARE(after.value("Class Ended").toBool(), classNo == 2);
        }
    }

    void theClassFilterSelectsOneClass() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        RecordSet classes;
        classes.open("Class_tbl", conn);
        QCOMPARE(ClassRules::classFilter("12"), QString("[Class No] = '12'"));
        classes.setFilter(ClassRules::classFilter("12"));
        QCOMPARE(classes.recordCount(), 1);
        QCOMPARE(classes.value("Class No").toInt(), 12);
        classes.setFilter(ClassRules::classFilter("150"));
        QCOMPARE(classes.recordCount(), 1);
        classes.setFilter(ClassRules::classFilter("151"));
        QCOMPARE(classes.recordCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestClassRules)
#include "TestClassRules.moc"

#include "entries/ClassCounts.h"
#include "entries/EntryRules.h"

#include <QtTest>

#include <set>

using namespace twl;

namespace {

// Look-ups over a fixed set of ended classes and (exhibitor, class) entries, counting reads.
class FakeLookups : public EntryLookups {
public:
    std::set<qint64> ended;
    std::set<std::pair<double, qint64>> entered;
    int reads = 0;

    bool classEnded(qint64 classNo) override {
        ++reads;
        return ended.count(classNo) > 0;
    }
    bool exhibitorEntered(double exhibitorNo, qint64 classNo) override {
        ++reads;
        return entered.count({exhibitorNo, classNo}) > 0;
    }
};

EntryCheck validEntry() {
    EntryCheck check;
    check.fields = {"12", "Blaze", "Jane Hart", "", "5", "", "", "Jane Hart", "TX", "", "", "", ""};
    check.adding = true;
    check.totClassUsed = 40;
    return check;
}

} // namespace

class TestEntryRules : public QObject {
    Q_OBJECT

private slots:
    void checksRunInFieldOrderAndStopAtTheFirst() {
        FakeLookups lookups;
        EntryCheck check = validEntry();
        QVERIFY(!checkEntry(check, lookups).failed);

        check.fields[8].clear();
        check.fields[1].clear();
        check.fields[4] = "99";
        QCOMPARE(checkEntry(check, lookups).errorField, 1);
        check.fields[1] = "Blaze";
        QCOMPARE(checkEntry(check, lookups).errorField, 4);
        check.fields[4] = "5";
        QCOMPARE(checkEntry(check, lookups).errorField, 8);
        check.fields[0] = " 0 ";
        QCOMPARE(checkEntry(check, lookups).errorField, 0);
    }

    void theClassFieldIsCheckedOnlyWhileEnabled() {
        FakeLookups lookups;
        EntryCheck check = validEntry();
        check.fields[4].clear();
        QCOMPARE(checkEntry(check, lookups).errorField, 4);
        check.classFieldEnabled = false;
        QVERIFY(!checkEntry(check, lookups).failed);
        QCOMPARE(lookups.reads, 0);
    }

    void endedAndDuplicateClassesAreReadOnlyForANewOrChangedClass() {
        FakeLookups lookups;
        lookups.ended = {7};
        lookups.entered = {{12, 5}};
        EntryCheck check = validEntry();
        QCOMPARE(checkEntry(check, lookups).errorField, 4); // 12 is already in class 5
        check.fields[4] = "7";
        QCOMPARE(checkEntry(check, lookups).errorField, 4); // ended

        // Updating an entry that stays in its class reads nothing and passes.
        check.adding = false;
        check.shownClass = 7;
        lookups.reads = 0;
        QVERIFY(!checkEntry(check, lookups).failed);
        QCOMPARE(lookups.reads, 0);
        check.fields[4] = "5";
        QVERIFY(checkEntry(check, lookups).failed);
        // 6.5 rounds to 6 (halves to even), 7.5 to 8; 40.5 to 40, 41 is above the classes used.
        check.fields[4] = "6.5";
        check.shownClass = 6;
        lookups.reads = 0;
        QVERIFY(!checkEntry(check, lookups).failed);
        QCOMPARE(lookups.reads, 0);
        check.fields[4] = "40.5";
        QVERIFY(!checkEntry(check, lookups).failed);
        check.fields[4] = "40.51";
        QVERIFY(checkEntry(check, lookups).failed);
    }

    void theExhibitorNumberIsCheckedAsItWillBeStored() {
        FakeLookups lookups;
        lookups.entered = {{6, 5}};
        EntryCheck check = validEntry();
        for (const char* refused : {"0", "-1", "x", "0.4", "0.5", "32768"}) {
            check.fields[0] = refused;
            QCOMPARE(checkEntry(check, lookups).errorField, 0);
        }
        check.fields[0] = "5.5"; // stored as 6, which is already in class 5
        QCOMPARE(checkEntry(check, lookups).errorField, 4);
        check.fields[0] = "0.6"; // stored as 1
        QVERIFY(!checkEntry(check, lookups).failed);
        check.fields[0] = "32767";
        QVERIFY(!checkEntry(check, lookups).failed);
    }

    void numbersAndTexts() {
        QCOMPARE(roundHalfEven(2.5), qint64(2));
        QCOMPARE(roundHalfEven(3.5), qint64(4));
        QCOMPARE(roundHalfEven(-0.5), qint64(0));
        QCOMPARE(roundHalfEven(2.51), qint64(3));
        QVERIFY(isNumeric("1,234") && isNumeric(" 7 ") && isNumeric("$5"));
        QVERIFY(!isNumeric("") && !isNumeric(" ") && !isNumeric("x1"));
        QCOMPARE(withoutApostrophes("O'Hara's"), QString("O Hara s"));
        QCOMPARE(quotedLiteral("O'Hara"), QString("'O''Hara'"));
        QCOMPARE(numberLiteral(12), QString("12"));
        QCOMPARE(numberLiteral(12.5), QString("12.5"));
    }

    void messages() {
        QCOMPARE(addedMessage("12", "Jane Hart", 1, "5"),
                 QString("Exh. 12  (Jane Hart) was added to class 5"));
        QCOMPARE(addedMessage("12", "Jane Hart", 3, "9"),
                 QString("Exh. 12  (Jane Hart) was added to  3 Classes"));
        QCOMPARE(updatedMessage("4", "Bob Ray"), QString("Exh. 4  (Bob Ray) was updated"));
        QCOMPARE(recordCaption(3, 120), QString("Record  3  of  120"));
    }

    void classCounts() {
        QCOMPARE(classListFor(0), 0);
        QCOMPARE(classListFor(1), 1);
        QCOMPARE(classListFor(25), 1);
        QCOMPARE(classListFor(26), 2);
        QCOMPARE(classListFor(150), 6);
        QCOMPARE(classListFor(151), 0);
        const ClassCounts counts = countClasses({{1, 2}, {26, 1}, {150, 4}, {151, 3}, {0, 1}}, 11);
        QCOMPARE(counts.total, qint64(11));
        QCOMPARE(counts.perList[0][0], qint64(2));
        QCOMPARE(counts.perList[1][0], qint64(1));
        QCOMPARE(counts.perList[5][24], qint64(4));

        QCOMPARE(averageText(classCountAverage(3, 2)), QString("1.5"));
        QCOMPARE(averageText(classCountAverage(6, 2)), QString("3"));
        QCOMPARE(averageText(classCountAverage(2, 3)), QString("0.67"));
        QCOMPARE(averageText(classCountAverage(10000, 150)), QString("66.67"));
        QCOMPARE(averageText(classCountAverage(5, 0)), QString("0"));
    }
};

QTEST_GUILESS_MAIN(TestEntryRules)
#include "TestEntryRules.moc"

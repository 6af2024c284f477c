#include "DialogShow.h"
#include "reports/PayoutChoice.h"
#include "reports/ScoreSheetChoice.h"
#include "store/StoreError.h"

#include <QtTest>
#include <algorithm>

using namespace reports;

namespace {

std::vector<int> sorted(std::vector<int> numbers) {
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace

// What the two report dialogs offer and accept, without a window.
class TestReportChoices : public QObject {
    Q_OBJECT

    twl::TWL_public m_shared;
    std::unique_ptr<DialogShow> m_show;

private slots:
    void init() { m_show = std::make_unique<DialogShow>(m_shared); }
    void cleanup() { m_show.reset(); }

    // Each class with entries once; numbers that have no label in the dialog (0, 151, none)
    // are left out.
    void classesWithEntriesHaveALabel() {
        m_show->addEntries(12, {{101, 0}, {102, 0}, {103, 1}});
        m_show->addEntries(3, {{104, 0}});
        m_show->addEntries(150, {{105, 0}});
        m_show->addEntries(151, {{106, 0}});
        m_show->addEntries(0, {{107, 0}});
        m_show->addEntries(-4, {{108, 0}});
        m_show->addEntryWithoutClass(109);
        QCOMPARE(sorted(ScoreSheetChoice::classesWithEntries(m_show->connection())),
                 std::vector<int>({3, 12, 150}));
    }

    void aShowWithoutEntriesOffersNoClass() {
        QVERIFY(ScoreSheetChoice::classesWithEntries(m_show->connection()).empty());
        QVERIFY(PayoutChoice::classesWithPayouts(m_show->connection()).empty());
    }

    // A show that cannot be read is an error for the caller, never an empty list.
    void anUnreadableShowIsAnError() {
        const QString gone = m_show->missingShowConnection();
        QVERIFY_THROWS_EXCEPTION(store::StoreError, ScoreSheetChoice::classesWithEntries(gone));
        QVERIFY_THROWS_EXCEPTION(store::StoreError, PayoutChoice::classesWithPayouts(gone));
        QVERIFY_THROWS_EXCEPTION(store::StoreError, PayoutChoice::className(gone, 5));
    }

    void copiesAccepted_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("copies");
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("the most") << "99" << 99;
        QTest::newRow("blanks around") << "  3 " << 3;
        QTest::newRow("leading zero") << "07" << 7;
    }
    void copiesAccepted() {
        QFETCH(QString, text);
        QFETCH(int, copies);
        const ScoreSheetChoice::Copies checked = ScoreSheetChoice::checkCopies(text);
        QVERIFY(checked.accepted());
        QCOMPARE(checked.count, copies);
    }

    // The copies box was once converted without a check: a typo could print thousands of pages.
    void copiesRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "   ";
        QTest::newRow("text") << "three";
        QTest::newRow("zero") << "0";
        QTest::newRow("one too many") << "100";
        QTest::newRow("a typo's thousands") << "100000";
        QTest::newRow("more digits than a number holds") << "99999999999999999999999";
        QTest::newRow("a fraction") << "2.5";
        QTest::newRow("a comma fraction") << "2,5";
        QTest::newRow("negative") << "-1";
        QTest::newRow("signed") << "+2";
        QTest::newRow("with a word") << "3 copies";
        QTest::newRow("hexadecimal") << "0x10";
    }
    void copiesRefused() {
        QFETCH(QString, text);
        const ScoreSheetChoice::Copies checked = ScoreSheetChoice::checkCopies(text);
        QVERIFY(!checked.accepted());
        QCOMPARE(checked.count, 0);
        QVERIFY2(checked.refusal.contains("whole number from 1 to 99"),
                 qPrintable(checked.refusal));
    }

    // A class ended with placed entries pays; one ended with none placed has no payout rows and
    // is not offered; a class not ended is not offered either.
    void onlyClassesWithPayoutRowsAreListed() {
        m_show->addEntries(5, {{101, 1}, {102, 2}, {103, 0}});
        m_show->addEntries(7, {{104, 0}, {105, 0}});
        m_show->addEntries(9, {{106, 1}});
        m_show->endClass(5);
        m_show->endClass(7);
        QCOMPARE(m_show->payoutRows(5), 2);
        QCOMPARE(m_show->payoutRows(7), 0);
        QCOMPARE(PayoutChoice::classesWithPayouts(m_show->connection()), std::vector<int>({5}));

        m_show->addPayout(160, 107, 1); // a class number the show does not use is still listed
        QCOMPARE(sorted(PayoutChoice::classesWithPayouts(m_show->connection())),
                 std::vector<int>({5, 160}));
    }

    void classNameLookUp() {
        QCOMPARE(PayoutChoice::classNameQuery(12),
                 QString("SELECT [Class No],[Class Name] FROM Class_tbl Where [Class No] = 12"));
        m_show->nameClass(12, "Western Pleasure");
        m_show->nameClass(13, "");
        m_show->removeClass(14);
        QCOMPARE(PayoutChoice::className(m_show->connection(), 12).value_or("missing"),
                 QString("Western Pleasure"));
        // An empty name is still a class; a class missing from Class_tbl has no name at all.
        QCOMPARE(PayoutChoice::className(m_show->connection(), 13).value_or("missing"),
                 QString(""));
        QVERIFY(!PayoutChoice::className(m_show->connection(), 14).has_value());
        QVERIFY(!PayoutChoice::className(m_show->connection(), 151).has_value());
    }

    void listedClassNumbers() {
        QCOMPARE(PayoutChoice::listedClass("12").value_or(-1), 12);
        QCOMPARE(PayoutChoice::listedClass(" 7 ").value_or(-1), 7);
        QVERIFY(!PayoutChoice::listedClass("").has_value());
        QVERIFY(!PayoutChoice::listedClass("12; DELETE from PayOut_tbl").has_value());
        QVERIFY(!PayoutChoice::listedClass("70000").has_value()); // a class number is 16 bits
    }
};

QTEST_GUILESS_MAIN(TestReportChoices)
#include "TestReportChoices.moc"

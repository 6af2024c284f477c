#include "classes/EndClassRun.h"

#include <QtTest>

using namespace twl::EndClassRun;

namespace {

Entry entry(qint64 id, int exhibitor, const QString& member, int place) {
    return Entry{id, exhibitor, QString("Rider %1").arg(exhibitor), member, place};
}

// The worked example: 6 entries, multiplier 1.5, fee 20; the winner placed 1 is member M100 with
// 10 season points; points 5 and payout 0.5 in row 1, column 6.
struct WorkedExample {
    ClassData data{"12", "Western Pleasure", 20, 1.5, {}};
    Schedule points;
    Schedule payouts;
    PayoutSettings settings{true, 8, 0.5};
    MemberRegister members;

    WorkedExample() {
        data.entries = {entry(1, 101, "M100", 1), entry(2, 102, "", 0), entry(3, 103, "", 0),
                        entry(4, 104, "", 0),     entry(5, 105, "", 0), entry(6, 106, "", 0)};
        points.set(1, 6, 5);
        payouts.set(1, 6, 0.5);
        members.add(40, "M100", 10);
    }
    Result run() { return endClass(data, points, payouts, settings, members); }
};

QString lines(const QStringList& list) {
    return list.join("\r\n") + "\r\n";
}

const QString Dashes = "----------------------------------";

} // namespace

class TestEndClassRun : public QObject {
    Q_OBJECT

private slots:
    void roundsHalfAwayFromZero_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::newRow("2.345") << 2.345 << 2.35;
        QTest::newRow("1.005") << 1.005 << 1.01;
        QTest::newRow("2.675") << 2.675 << 2.68;
        QTest::newRow("0.125") << 0.125 << 0.13;
        QTest::newRow("-2.345") << -2.345 << -2.35;
        QTest::newRow("-1.005") << -1.005 << -1.01;
        QTest::newRow("-0.125") << -0.125 << -0.13;
        QTest::newRow("just below a half stays down") << 2.344999 << 2.34;
        QTest::newRow("whole") << 7.0 << 7.0;
        QTest::newRow("zero") << 0.0 << 0.0;
        QTest::newRow("7.5 x 1.1") << 7.5 * 1.1 << 8.25;
    }
    void roundsHalfAwayFromZero() {
        QFETCH(double, value);
        QFETCH(double, rounded);
        QCOMPARE(roundHalfAway(value, 2), rounded);
    }

    void theGuardIsTheOneConstant() {
        QCOMPARE(RoundingGuard, 0.500000000001);
        // With a plain 0.5, 1.005 (stored as 1.00499999999999989...) would round down.
        QCOMPARE(std::trunc(1.005 * 100 + 0.5) / 100, 1.0);
        QCOMPARE(roundHalfAway(1.005), 1.01);
        QCOMPARE(roundHalfAway(3.14159, 3), 3.142);
    }

    void logNumbersInTheGeneralForm_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("7.5") << 7.5 << "7.5";
        QTest::newRow("10") << 10.0 << "10";
        QTest::newRow("0.13") << 0.13 << "0.13";
        QTest::newRow("no representation noise") << 0.1 + 0.2 << "0.3";
        QTest::newRow("15 significant digits") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("large") << 123456789012345.0 << "123456789012345";
        QTest::newRow("very large") << 1e15 << "1E+15";
        QTest::newRow("very small") << 0.00001 << "1E-05";
        QTest::newRow("negative") << -2.35 << "-2.35";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("no thousands separator") << 12345.5 << "12345.5";
    }
    void logNumbersInTheGeneralForm() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(logNumber(value), text);
    }

    void logFileNameHasClassAndShowDate() {
        QCOMPARE(logFilePath("/twl/", "12", QDate(2005, 6, 18)),
                 QString("/twl/TWL Class Log/Class 12 Log 06-18-05.txt"));
    }

    void placeRule() {
        for (const char* text : {"", "0", "1", "21", "2.5", "32767"})
            QVERIFY2(placeAccepted(text), text);
        for (const char* text : {"-1", "x", "1a", "-0.5", "40000"})
            QVERIFY2(!placeAccepted(text), text);
    }

    void workedExample() {
        WorkedExample example;
        const Result result = example.run();
        QCOMPARE(result.exhibitorCount, 6);
        QCOMPARE(result.winnerCount, 1);
        QCOMPARE(result.winners.size(), size_t(1));
        const WinnerResult& w = result.winners[0];
        QCOMPARE(w.pointsBase, 5.0);
        QCOMPARE(w.pointsEarned, 7.5);
        QCOMPARE(w.previousTotal, 10.0);
        QCOMPARE(w.newTotal, 17.5);
        QCOMPARE(w.payoutBase, 0.5);
        QCOMPARE(w.payout, 5.0); // 0.5 x 20, halved below 8 exhibitors
        QVERIFY(w.scored);
        QCOMPARE(w.memberId, std::optional<qint64>(40));
        QCOMPARE(example.members.find("M100")->points, 17.5);
        QCOMPARE(result.log, lines({"Class No. = 12",
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
                                    ""}));
    }

    void payoutSchemes() {
        WorkedExample percent;
        percent.settings.cutOff = 6; // 6 exhibitors are not below 6: no reduction
        QCOMPARE(percent.run().winners[0].payout, 10.0);

        WorkedExample dollars;
        dollars.settings = {false, 0, 0.5};
        QCOMPARE(dollars.run().winners[0].payout, 0.5);
        QVERIFY(dollars.run().log.contains("\r\nPercentage = False\r\n"));

        // The minimum-exhibitor rule reduces the payout, never the points.
        WorkedExample small;
        small.settings = {false, 10, 0.25};
        const WinnerResult w = small.run().winners[0];
        QCOMPARE(w.payout, 0.13); // 0.5 x 0.25 = 0.125, rounded away from zero
        QCOMPARE(w.pointsEarned, 7.5);
    }

    void aLargeClassUsesTheColumnForTwenty() {
        ClassData data{"3", "Open Trail", 10, 1, {}};
        for (int i = 1; i <= 25; ++i)
            data.entries.push_back(entry(i, i, "", i == 4 ? 1 : 0));
        Schedule points;
        Schedule payouts;
        points.set(1, 20, 20);
        points.set(1, 25, 99); // no column beyond 20 is ever read
        payouts.set(1, 20, 3);
        MemberRegister members;
        const Result result = endClass(data, points, payouts, {false, 0, 1}, members);
        QCOMPARE(result.exhibitorCount, 20);
        QCOMPARE(result.winners[0].pointsEarned, 20.0);
        QCOMPARE(result.winners[0].payout, 3.0);
        QVERIFY(result.log.contains("\r\nTotal Exh. = 20\r\n"));
        QVERIFY(result.log.contains("\r\nTotal Winners. = 1\r\n"));
    }

    void placesAboveTwentyEarnNothingButAreListed() {
        ClassData data{"4", "Halter", 10, 2, {}};
        for (int i = 1; i <= 22; ++i)
            data.entries.push_back(entry(i, i, "M1", i == 1 ? 21 : 0));
        Schedule points;
        Schedule payouts;
        points.set(21, 20, 8);
        payouts.set(21, 20, 8);
        MemberRegister members;
        members.add(1, "M1", 30);
        const Result result = endClass(data, points, payouts, {true, 0, 1}, members);
        QCOMPARE(result.winners.size(), size_t(1));
        const WinnerResult& w = result.winners[0];
        QCOMPARE(w.place, 21);
        QVERIFY(!w.scored);
        QVERIFY(!w.memberId);
        QCOMPARE(w.pointsEarned, 0.0);
        QCOMPARE(w.payoutBase, 0.0);
        QCOMPARE(w.payout, 0.0);
        QCOMPARE(members.find("M1")->points, 30.0);
        QVERIFY(result.log.contains("Place = 21\r\nOriginal Points = 0\r\nPoints Base = 0\r\n"
                                    "New Points = 0\r\nFinalPoints = 0\r\nPayout Base = 0\r\n"
                                    "Payout = 0\r\n"));
    }

    void membersThatChangeNoTotal() {
        WorkedExample example;
        example.data.entries[0].memberNumber = "";
        example.data.entries[1] = entry(2, 102, "Z999", 2);
        example.points.set(2, 6, 3);
        const Result result = example.run();
        QCOMPARE(result.winners.size(), size_t(2));
        for (const WinnerResult& w : result.winners) {
            QVERIFY(w.scored); // the entry still gets its points
            QVERIFY(!w.memberId);
            QCOMPARE(w.previousTotal, 0.0);
            QCOMPARE(w.newTotal, w.pointsEarned);
        }
        QCOMPARE(result.winners[1].pointsEarned, 4.5);
        QVERIFY(result.log.contains("Exhibitor = 101\r\nMember No. = \r\nPlace = 1\r\n"
                                    "Original Points = 0\r\nPoints Base = 5\r\nNew Points = 7.5\r\n"
                                    "FinalPoints = 7.5\r\n"));
        QCOMPARE(example.members.find("M100")->points, 10.0);
    }

    void memberNumbersMatchWhateverTheirCase() {
        WorkedExample example;
        example.data.entries[0].memberNumber = "m100";
        const WinnerResult w = example.run().winners[0];
        QCOMPARE(w.memberId, std::optional<qint64>(40));
        QCOMPARE(w.newTotal, 17.5);
        QVERIFY(example.run().log.contains("Member No. = m100\r\n"));
    }

    void aMemberPlacedTwiceAddsBothPlacings() {
        WorkedExample example;
        example.data.entries[3] = entry(4, 104, "M100", 2);
        example.points.set(2, 6, 4);
        const Result result = example.run();
        QCOMPARE(result.winners[0].newTotal, 17.5);
        QCOMPARE(result.winners[1].previousTotal, 17.5);
        QCOMPARE(result.winners[1].newTotal, 23.5);
        QCOMPARE(example.members.find("M100")->points, 23.5);
    }

    void sharedPlacesKeepTableOrderAndBothEarn() {
        ClassData data{"5", "Reining", 10, 1, {}};
        data.entries = {entry(1, 11, "", 2), entry(2, 12, "", 0), entry(3, 13, "", 1),
                        entry(4, 14, "", 2), entry(5, 15, "", -1)};
        Schedule points;
        Schedule payouts;
        points.set(1, 5, 5);
        points.set(2, 5, 3);
        payouts.set(2, 5, 1.5);
        MemberRegister members;
        const Result result = endClass(data, points, payouts, {false, 0, 1}, members);
        QCOMPARE(result.winnerCount, 3); // places 0 and below are no winners
        QCOMPARE(result.winners.size(), size_t(3));
        QCOMPARE(result.winners[0].entry.exhibitorNumber.toInt(), 13);
        QCOMPARE(result.winners[1].entry.exhibitorNumber.toInt(), 11);
        QCOMPARE(result.winners[2].entry.exhibitorNumber.toInt(), 14);
        for (int i : {1, 2}) {
            QCOMPARE(result.winners[size_t(i)].pointsEarned, 3.0);
            QCOMPARE(result.winners[size_t(i)].payout, 1.5);
        }
        QCOMPARE(result.winners[0].payout, 0.0); // a missing schedule cell counts as 0
    }

    void aClassWithoutPlacingsLogsTheHeaderOnly() {
        ClassData data{"6", "Trail", 12.5, 1, {entry(1, 1, "", 0), entry(2, 2, "", 0)}};
        MemberRegister members;
        const Result result = endClass(data, {}, {}, {false, 3, 0.5}, members);
        QVERIFY(result.winners.empty());
        QCOMPARE(
            result.log,
            lines({"Class No. = 6", "Class Name = Trail", "Total Exh. = 2", "Total Winners. = 0",
                   "Points Multiplier = 1", "Class Fee = 12.5", "Percentage = False",
                   "Min Exh in Class = 3", "Min Exh Multiplier = 0.5", Dashes, "", ""}));
    }
};

QTEST_GUILESS_MAIN(TestEndClassRun)
#include "TestEndClassRun.moc"

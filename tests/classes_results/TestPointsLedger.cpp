#include "ResultsShow.h"
#include "classes/EndClassWriter.h"
#include "members/MemberRules.h"
#include "store/PointsLedger.h"

#include <QRandomGenerator>
#include <QtTest>
#include <cmath>

using namespace twl;
using store::PointsLedger::Credit;

// Every season credit that ending a class adds to a member's total is one ledger row beside it:
// after any number of runs a total is what it was plus the sum of its rows, the rows carry the
// figures the run worked with, and they follow the member through renumbering, season reset
// and deletion.
class TestPointsLedger : public QObject {
    Q_OBJECT

    twl::TWL_public m_shared;
    std::unique_ptr<ResultsShow> m_show;

    std::vector<Credit> credits(const QString& member, int season = 0) {
        return store::PointsLedger::credits(*store::connectionFor(m_shared.session.OrgConnString),
                                            member, season);
    }
    static double sum(const std::vector<Credit>& credits) {
        double total = 0;
        for (const Credit& credit : credits)
            total += credit.points;
        return total;
    }

private slots:
    void init() { m_show = std::make_unique<ResultsShow>(m_shared); }
    void cleanup() { m_show.reset(); }

    void fiftyRandomRunsKeepEveryTotalEqualToItsRows() {
        const quint32 seed = QRandomGenerator::system()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        // Members with points from before the ledger (carried forward), and none.
        const std::vector<std::pair<QString, double>> members{
            {"A1", 0}, {"B2", 12.5}, {"C3", 0}, {"D4", 3}, {"E5", 0}};
        for (const auto& [number, points] : members)
            m_show->addMember(number, points);
        // Typed as the entry screen lets them be: any case, unknown, empty.
        const QStringList typed{"A1", "a1", "B2", "c3", "D4", "E5", "NOBODY", ""};
        for (int place = 1; place <= 20; ++place)
            for (int n = 1; n <= 20; ++n)
                m_show->setCell("Points_tbl", place, n, (21 - place) * 0.37 + n * 0.11);

        EndClassWriter writer(m_shared.session.ShowConnString, m_shared.session.OrgConnString);
        for (int classNo = 1; classNo <= 50; ++classNo) {
            m_show->setClass(classNo, QString("Class <%1> & \"Co\"").arg(classNo), 10,
                             0.5 + random.bounded(3));
            const int entries = 1 + int(random.bounded(25));
            std::vector<ResultsShow::Entry> rows;
            for (int e = 0; e < entries; ++e) // places 0 (not placed) to 23, ties allowed
                rows.push_back({100 + e, QString("Rider %1").arg(e),
                                typed[int(random.bounded(int(typed.size())))],
                                int(random.bounded(24))});
            m_show->addEntries(classNo, rows);

            const auto before = credits("A1").size() + credits("B2").size() + credits("C3").size() +
                                credits("D4").size() + credits("E5").size();
            const EndClassWriter::Outcome outcome = writer.run({QString::number(classNo),
                                                                {true, 3, 0.5},
                                                                m_shared.session.AppFolder,
                                                                QDate(2005, 6, 18)});
            int credited = 0;
            for (const EndClassRun::WinnerResult& winner : outcome.result.winners)
                credited += winner.memberId ? 1 : 0;
            const auto after = credits("A1").size() + credits("B2").size() + credits("C3").size() +
                               credits("D4").size() + credits("E5").size();
            QCOMPARE(int(after - before), credited);
        }

        for (const auto& [number, points] : members) {
            const std::vector<Credit> rows = credits(number);
            QVERIFY2(std::abs(m_show->memberPoints(number).toDouble() - points - sum(rows)) < 1e-9,
                     qPrintable(number));
            for (const Credit& credit : rows) {
                QCOMPARE(credit.memberNumber, number);
                QCOMPARE(credit.showName, QString("New Horse Show"));
                QCOMPARE(credit.showDate, QDate(2005, 6, 18));
                QCOMPARE(credit.className, QString("Class <%1> & \"Co\"").arg(credit.classNo));
                QVERIFY(credit.place >= 1 && credit.place <= 20);
                QCOMPARE(credit.points,
                         EndClassRun::roundHalfAway(credit.pointsBase * credit.multiplier));
                const int column = std::min(credit.entries, 20);
                QCOMPARE(credit.pointsBase, (21 - credit.place) * 0.37 + column * 0.11);
            }
        }
    }

    void theRowsFollowTheMemberThroughRenumberingResetAndDeletion() {
        m_show->addMember("M1", 0.0);
        m_show->addMember("M2", 0.0);
        m_show->setClass(1, "Halter", 10, 2);
        m_show->setCell("Points_tbl", 1, 2, 5);
        m_show->setCell("Points_tbl", 2, 2, 3);
        m_show->addEntries(1, {{1, "Ann", "m1", 1}, {2, "Bo", "M2", 2}});
        EndClassWriter(m_shared.session.ShowConnString, m_shared.session.OrgConnString)
            .run({"1", {}, m_shared.session.AppFolder, QDate(2005, 6, 18)});
        QCOMPARE(sum(credits("M1")), 10.0);
        QCOMPARE(sum(credits("M2")), 6.0);

        const QString org = m_shared.session.OrgConnString;
        const MemberRules::Texts loaded = *MemberRules::readMember(org, "M1");
        MemberRules::Texts renumbered = loaded;
        renumbered[MemberRules::NumberBox] = "M9";
        MemberRules::updateMember(org, "M1", loaded, renumbered);
        QVERIFY(credits("M1").empty());
        QCOMPARE(sum(credits("M9")), 10.0);

        MemberRules::resetSeason(org, true, false, 0);
        QVERIFY(credits("M9").empty());
        QCOMPARE(sum(credits("M9", 1)), 10.0);
        QCOMPARE(sum(credits("M2", 1)), 6.0);

        MemberRules::deleteMember(org, "M2");
        QVERIFY(credits("M2", 1).empty());
        QCOMPARE(sum(credits("M9", 1)), 10.0);

        // A reset of the fees alone leaves the season open.
        MemberRules::resetSeason(org, false, true, 25);
        QCOMPARE(sum(credits("M9", 1)), 10.0);
        MemberRules::resetSeason(org, true, false, 0);
        QCOMPARE(sum(credits("M9", 1)), 10.0); // season 2 has no rows of it
    }
};

QTEST_GUILESS_MAIN(TestPointsLedger)
#include "TestPointsLedger.moc"

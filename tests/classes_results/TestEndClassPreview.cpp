#include "ResultsShow.h"
#include "classes/EndClassWriter.h"
#include "classes/ui/EndClass.h"
#include "common/Services.h"
#include "store/Transaction.h"
#include "support/CapturePrinter.h"

#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QtTest>
#include <map>
#include <random>

using namespace twl;
using Entry = ResultsShow::Entry;

namespace {

// One generated class: its size, how its entries are placed and what it pays.
struct GeneratedClass {
    int entries;
    int placed; // entries placed; places are drawn from 1 to `placed`, so some tie
    double multiplier;
    double fee;
    EndClassRun::PayoutSettings settings;
};

// Ties, small classes (below the cut-off), classes above 20 entries, multipliers of 0.5,
// percent and dollar schedules.
const GeneratedClass Classes[] = {
    {6, 3, 1.5, 20, {true, 8, 0.5}},   {3, 3, 0.5, 10, {false, 5, 0.75}},
    {25, 22, 1, 15, {true, 5, 0.5}},   {12, 8, 2, 22.5, {false, 8, 0.5}},
    {20, 10, 0.5, 0, {true, 3, 0.5}},  {2, 2, 1, 12.5, {true, 4, 0.75}},
    {8, 8, 0.5, 30, {false, 10, 0.5}}, {15, 5, 1.25, 17.5, {true, 5, 1}},
    {30, 21, 1, 25, {false, 5, 0.5}},  {5, 4, 0.5, 7.5, {true, 6, 0.5}},
};

QStringList figuresOf(const EndClassRun::Result& result) {
    QStringList figures{QString("%1|%2|%3")
                            .arg(result.exhibitorCount)
                            .arg(result.winnerCount)
                            .arg(result.multiplier)};
    for (const EndClassRun::WinnerResult& w : result.winners)
        figures << QString("%1|%2|%3|%4|%5|%6|%7|%8|%9")
                       .arg(w.entry.id)
                       .arg(w.place)
                       .arg(w.pointsBase, 0, 'g', 17)
                       .arg(w.pointsEarned, 0, 'g', 17)
                       .arg(w.previousTotal, 0, 'g', 17)
                       .arg(w.newTotal, 0, 'g', 17)
                       .arg(w.payoutBase, 0, 'g', 17)
                       .arg(w.payout, 0, 'g', 17)
                       .arg(w.memberId.value_or(-1));
    return figures;
}

} // namespace

class TestEndClassPreview : public QObject {
    Q_OBJECT

    twl::TWL_public m_shared;
    ScriptedPrompt m_prompt;
    ScriptedFileChooser m_files;
    FixedClock m_clock{QDate(2005, 6, 18)};
    CapturePrinter m_printer;
    Services m_services{m_prompt, m_files, m_clock, m_printer, m_shared};
    std::unique_ptr<ResultsShow> m_show;

    void fill(std::mt19937& draw) {
        const auto pick = [&draw](int n) { return int(draw() % unsigned(n)); };
        for (const char* member : {"M1", "M2", "M3", "M4"})
            m_show->addMember(member, 0.25 * pick(40));
        const QStringList memberNumbers{"M1", "m2", "M3", "M4", "Z9", "", ""};
        {
            auto org = store::connectionFor(m_shared.session.OrgConnString);
            store::Transaction transaction(*org);
            for (int place = 1; place <= 20; ++place)
                for (int n = 1; n <= 20; ++n) {
                    m_show->setCell("Points_tbl", place, n, 0.5 * pick(30));
                    m_show->setCell("PaySch_tbl", place, n, 0.05 * pick(100));
                }
            transaction.commit();
        }
        int exhibitor = 1;
        for (int c = 0; c < int(std::size(Classes)); ++c) {
            const GeneratedClass& generated = Classes[c];
            m_show->setClass(c + 1, QString("Class %1").arg(c + 1), generated.fee,
                             generated.multiplier);
            std::vector<Entry> entries;
            for (int i = 0; i < generated.entries; ++i, ++exhibitor)
                entries.push_back({exhibitor, QString("Rider %1").arg(exhibitor),
                                   memberNumbers[pick(int(memberNumbers.size()))],
                                   i < generated.placed ? 1 + pick(generated.placed) : 0});
            m_show->addEntries(c + 1, entries);
        }
    }

private slots:
    void init() {
        m_prompt.clear();
        m_show = std::make_unique<ResultsShow>(m_shared);
    }
    void cleanup() { m_show.reset(); }

    // The preview of each class, taken just before it is ended, gives exactly the figures the
    // run then writes; taking it writes nothing.
    void thePreviewIsWhatTheRunWrites() {
        std::mt19937 draw(1905);
        fill(draw);
        EndClassWriter writer(m_shared.session.ShowConnString, m_shared.session.OrgConnString);
        for (int c = 0; c < int(std::size(Classes)); ++c) {
            const EndClassWriter::Request request{QString::number(c + 1), Classes[c].settings,
                                                  m_shared.session.AppFolder,
                                                  m_shared.session.DateOfEvent};
            const QByteArray show = ResultsShow::bytes(m_show->showFile());
            const QByteArray org = ResultsShow::bytes(m_show->orgFile());
            const EndClassRun::Result preview = writer.preview(request);
            QCOMPARE(ResultsShow::bytes(m_show->showFile()), show);
            QCOMPARE(ResultsShow::bytes(m_show->orgFile()), org);

            const EndClassWriter::Outcome outcome = writer.run(request);
            QCOMPARE(figuresOf(preview), figuresOf(outcome.result));
            QCOMPARE(preview.log, outcome.result.log);
            // What the files hold is what the preview showed.
            QStringList shownPayouts;
            std::map<QString, double> seasonTotals; // the last total shown for each member
            for (const EndClassRun::WinnerResult& w : preview.winners) {
                shownPayouts << QString("%1|%2|%3|%4|%5")
                                    .arg(c + 1)
                                    .arg(w.entry.exhibitorNumber.toText(),
                                         w.entry.exhibitorName.toText())
                                    .arg(w.place)
                                    .arg(w.payout);
                if (w.scored)
                    QCOMPARE(m_show->showPoints(c + 1, int(w.entry.exhibitorNumber.toInt())),
                             store::Value(w.pointsEarned));
                if (w.memberId)
                    seasonTotals[w.entry.memberNumber.toUpper()] = w.newTotal;
            }
            for (const auto& [member, total] : seasonTotals)
                QCOMPARE(m_show->memberPoints(member), store::Value(total));
            const QStringList stored =
                m_show->payouts().filter(QRegularExpression(QString("^%1\\|").arg(c + 1)));
            QCOMPARE(stored, shownPayouts);
        }
    }

    // The worked example: 7.5 points taking the member from 10 to 17.5, and 5 dollars, shown
    // before the class is ended; the screen writes nothing until it is.
    void theScreenShowsThePreviewOfTheChosenClass() {
        m_show->setClass(12, "Western Pleasure", 20, 1.5);
        m_show->addEntries(12, {{101, "Anna Brooks", "M100", 1}, {102, "Ben Carter", "", 0}});
        m_show->addUnplaced(12, 4, 103);
        m_show->setCell("Points_tbl", 1, 6, 5);
        m_show->setCell("PaySch_tbl", 1, 6, 0.5);
        m_show->addMember("M100", 10.0);
        m_shared.org.IsPrcnt = true;
        m_shared.org.CutOff = 8;
        m_shared.org.MinMultiP = 0.5;
        const QByteArray show = ResultsShow::bytes(m_show->showFile());
        const QByteArray org = ResultsShow::bytes(m_show->orgFile());

        EndClass screen(m_services);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        auto* grid = screen.findChild<QTableWidget*>("PreviewGrid");
        QCOMPARE(grid->rowCount(), 1);
        QStringList row;
        for (int column = 0; column < grid->columnCount(); ++column)
            row << grid->item(0, column)->text();
        QCOMPARE(row, QStringList({"1", "101", "Anna Brooks", "M100", "5 x 1.5 = 7.5", "10", "17.5",
                                   "$5.00"}));
        const QString summary = screen.findChild<QLabel*>("PreviewSummary")->text();
        QVERIFY2(summary.contains("fee of $20.00, x 0.5 for fewer than 8 entries"),
                 qPrintable(summary));
        screen.reject();
        QCOMPARE(ResultsShow::bytes(m_show->showFile()), show);
        QCOMPARE(ResultsShow::bytes(m_show->orgFile()), org);
        QVERIFY(!m_show->classEnded(12));
    }
};

QTEST_MAIN(TestEndClassPreview)
#include "TestEndClassPreview.moc"

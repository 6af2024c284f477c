#include "reports/ReportDefinitions.h"
#include "reports/TextExport.h"
#include "support/ReportShow.h"

#include <QRegularExpression>
#include <QtTest>

using reports::ReportContext;
using Entry = ReportShow::Entry;

namespace {

reports::ReportResult run(int kind, const ReportContext& context) {
    return reports::makeReport(*reports::findReport(kind), context);
}

QString textOf(const reports::ReportResult& result) {
    return reports::plainText(result.pages);
}

// The title sheet's lines: "<caption> <value>" with the blanks between them made one.
QString titleLine(const QString& text, const QString& caption) {
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.trimmed().startsWith(caption))
            return line.simplified();
    return {};
}

} // namespace

class TestShowReports : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;

    ReportContext context(int classesUsed) const {
        ReportContext c;
        c.showPath = m_show->path();
        c.password = QString::fromLatin1(TestFolder::Password);
        c.TotClassUsed = classesUsed;
        c.printDate = QDate(2005, 6, 19);
        c.organisationConnection = store::dataConnectionText(
            m_folder->file(QStringLiteral("TWL.org")), QString::fromLatin1(TestFolder::Password));
        return c;
    }
    void entry(int exhibitor, const QString& name, int classNo, double points = 0) {
        m_show->addEntry(
            {exhibitor, name, classNo, {}, {}, QStringLiteral("OH"), {}, {}, {}, 0, points});
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = std::make_unique<ReportShow>(*m_folder);
    }
    void cleanup() {
        m_show.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void classesAboveTheClassesUsedAreLeftOutWhereTheyShouldBe() {
        m_show->addClass(1, QStringLiteral("Halter"), 10);
        m_show->addClass(2, QStringLiteral("Trail"), 20);
        m_show->addClass(3, QStringLiteral("Above The Limit"), 100);
        entry(101, QStringLiteral("Anna Brooks"), 1, 5);
        entry(101, QStringLiteral("Anna Brooks"), 3, 50);
        entry(102, QStringLiteral("Ben Carter"), 3, 1);
        entry(103, QStringLiteral("Carla Dalton"), 3, 1);
        const QString text = textOf(run(reports::kind::EndOfShow, context(2)));
        // Every entry counts in the total and in the standings; class 3 is in neither the class
        // pages, nor the sales, nor the popular classes.
        QCOMPARE(titleLine(text, "Total entries on this report:"),
                 QStringLiteral("Total entries on this report: 4"));
        QCOMPARE(titleLine(text, "Total Sales:"), QStringLiteral("Total Sales: $10.00"));
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("55 +101 +Anna Brooks"))),
                 qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("Above The Limit")));
        QCOMPARE(text.count(QStringLiteral("Entries for this class:")), 2);
        const QString list = textOf(run(reports::kind::ClassList, context(2)));
        QVERIFY(!list.contains(QStringLiteral("Above The Limit")));
        QVERIFY(list.contains(QStringLiteral("Trail")));
        // The roster lists every entry.
        QCOMPARE(
            textOf(run(reports::kind::ShowRoster, context(2))).count(QStringLiteral("Anna Brooks")),
            2);
    }

    void popularClassesAndHighPointStandings() {
        for (int c = 1; c <= 4; ++c)
            m_show->addClass(c, QStringLiteral("Class %1").arg(c), 5);
        // Classes 2 and 4 have two entries each, class 3 three, class 1 one.
        entry(101, QStringLiteral("Anna Brooks"), 1, 3);
        entry(102, QStringLiteral("Ben Carter"), 2, 4);
        entry(103, QStringLiteral("Benjamin Carter"), 2,
              4); // the same exhibitor, spelt another way
        entry(104, QStringLiteral("Carla Dalton"), 3, 2);
        entry(105, QStringLiteral("Carla Dalton"), 3, 2); // another exhibitor of the same name
        entry(106, QStringLiteral("Dylan Ellis"), 3, 1);
        entry(107, QStringLiteral("Emma Fisher"), 4, 0);
        entry(108, QStringLiteral("Emma Fisher"), 4, 0);
        const reports::ReportResult result = run(reports::kind::EndOfShow, context(4));
        QStringList popular;
        const QString text = textOf(result);
        const QStringList lines = text.split(QLatin1Char('\n'));
        const int first =
            lines.indexOf(QRegularExpression(QStringLiteral("^\\s*Class No\\.\\s+Exhibitors.*")));
        QVERIFY2(first >= 0, qPrintable(text));
        for (int i = 1; i <= 10; ++i)
            popular << lines[first + i].simplified();
        // Most entries first; equal counts by class number; beyond the classes: 0 and 0.
        // Each line: popular class and its count, then points, number and name of the standings.
        // Classes: most entries first, equal counts by class number, then 0 and 0. Standings:
        // by summed points, equal sums in the order the names first appear; one name is one
        // line (Carla Dalton's two numbers), two spellings are two lines.
        QCOMPARE(popular, (QStringList{QStringLiteral("3 3 4 102 Ben Carter"),
                                       QStringLiteral("2 2 4 103 Benjamin Carter"),
                                       QStringLiteral("4 2 4 104 Carla Dalton"),
                                       QStringLiteral("1 1 3 101 Anna Brooks"),
                                       QStringLiteral("0 0 1 106 Dylan Ellis"),
                                       QStringLiteral("0 0 0 107 Emma Fisher"),
                                       QStringLiteral("0 0 0 0"), QStringLiteral("0 0 0 0"),
                                       QStringLiteral("0 0 0 0"), QStringLiteral("0 0 0 0")}));
    }

    void balanceIsSalesLessPayoutsAndMayBeNegative() {
        m_show->addClass(1, QStringLiteral("Halter"), 12.5);
        entry(101, QStringLiteral("Anna Brooks"), 1);
        entry(102, QStringLiteral("Ben Carter"), 1);
        QString text = textOf(run(reports::kind::EndOfShow, context(1)));
        QCOMPARE(titleLine(text, "Total Pay Outs:"), QStringLiteral("Total Pay Outs: $0.00"));
        QCOMPARE(titleLine(text, "Balance:"), QStringLiteral("Balance: $25.00"));
        m_show->addPayout(1, 101, QStringLiteral("Anna Brooks"), 1, 1000);
        m_show->addPayout(1, 102, QStringLiteral("Ben Carter"), 2, 234.5);
        text = textOf(run(reports::kind::EndOfShow, context(1)));
        QCOMPARE(titleLine(text, "Total Pay Outs:"), QStringLiteral("Total Pay Outs: $1,234.50"));
        QCOMPARE(titleLine(text, "Balance:"), QStringLiteral("Balance: -$1,209.50"));
        // The work table of the ranking is empty again.
        store::Statement rows =
            m_show->connection().prepare(QStringLiteral("SELECT * FROM Top10Class_tbl"));
        QVERIFY(!rows.step());
    }

    void anEmptyRegisterGivesAnEmptyCount() {
        const reports::ReportResult roster = run(reports::kind::MemberRoster, context(0));
        QCOMPARE(roster.recordCountText, QString());
        QVERIFY(textOf(roster).contains(QStringLiteral("Total Entries:\n")));
    }

    void theExhibitorReportOfANumberWithoutEntriesIsEmpty() {
        m_show->run("INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (999, 'Nobody')", {});
        const reports::ReportResult result = run(reports::kind::Exhibitor, context(1));
        QVERIFY(result.problems.isEmpty());
        QCOMPARE(result.recordCountText, QString());
        QVERIFY(textOf(result).contains(QStringLiteral("Exhibitor Name:\n")));
    }

    void aFailingOptionalStepIsToldNotHidden() {
        m_show->addClass(1, QStringLiteral("Halter"), 10);
        entry(101, QStringLiteral("Anna Brooks"), 1, 5);
        m_show->run("DROP VIEW Exh2Prnt_Q", {});
        const reports::ReportResult result = run(reports::kind::Exhibitor, context(1));
        QCOMPARE(result.problems.size(), 2);
        QVERIFY(result.problems[0].contains(QStringLiteral("Exh2Prnt_Q")));
    }
};

QTEST_MAIN(TestShowReports)
#include "TestShowReports.moc"

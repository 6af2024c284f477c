#include "reports/ResultsExport.h"
#include "support/ReportShow.h"
#include "support/SystemPython.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace results = reports::results;

namespace {

// Names a show may hold: markup, ampersands, both quotes, accents, commas and line breaks.
const QString HostileShow = QStringLiteral("Spring <Classic> & \"Fall\" 'Open' – Zoë");
const QStringList HostileNames{
    QStringLiteral("O'Brien & <Sons>"), QStringLiteral("\"Doc\" Ærø, née Müller"),
    QStringLiteral("Line\r\nBreak, Ltd."), QStringLiteral("</td></tr><script>alert(1)</script>")};

QStringList rowOf(const QJsonArray& array) {
    QStringList row;
    for (const QJsonValue& value : array)
        row << value.toString();
    return row;
}

std::vector<QStringList> rowsOf(const QJsonArray& array) {
    std::vector<QStringList> rows;
    for (const QJsonValue& value : array)
        rows.push_back(rowOf(value.toArray()));
    return rows;
}

} // namespace

// The exported page and CSV files of a show with hostile names, read back by independent readers.
class TestResultsExport : public QObject {
    Q_OBJECT

private slots:
    void hostileNamesComeThroughEscapedAndReadBack() {
        store::releaseAllConnections();
        TestFolder folder;
        ReportShow show(folder);
        show.generate(12, 180, 30, 8);
        for (int i = 0; i < HostileNames.size(); ++i) // class 9 is ended with hostile placings
            show.addEntry({900 + i,
                           HostileNames[i],
                           9,
                           HostileNames[(i + 1) % 4],
                           HostileNames[(i + 2) % 4],
                           "OH",
                           {},
                           {},
                           {},
                           i + 1,
                           10.0 - i});
        show.addPayout(9, 900, HostileNames[0], 1, 12.5);
        show.addClass(9, HostileNames[3], 10, true);

        reports::ReportContext context;
        context.showPath = show.path();
        context.password = QString::fromLatin1(TestFolder::Password);
        context.ShoName = HostileShow;
        context.ShoCity = QStringLiteral("Zürich");
        context.DateOfEvent = QDate(2026, 12, 8);
        context.TotClassUsed = 12;
        const results::ShowResults data = results::readShowResults(context);
        QCOMPARE(int(data.classes.size()), 9);

        QTemporaryDir out;
        const QStringList files = results::writeResults(data, out.path(), QStringLiteral("Show"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files),
                 QStringList(
                     {"Show Classes.csv", "Show Placings.csv", "Show Standings.csv", "Show.html"}));
        const QByteArray read =
            runPython({QStringLiteral(TWL_SOURCE_DIR "/tests/reports_engine/read_results.py"),
                       files[0], files[1], files[2], files[3]});
        QVERIFY2(!read.isEmpty(), "the page or a CSV file did not parse");
        const QJsonObject page = QJsonDocument::fromJson(read).object();
        QCOMPARE(page["title"].toString(), HostileShow + " - Results");
        QCOMPARE(page["h1"].toString(), HostileShow);
        QCOMPARE(page["scripts"].toInt(), 0);
        QVERIFY(page["outside"].toArray().isEmpty());

        // Each ended class with placings is a table of the page and rows of the placings file;
        // the standings are the last table and the standings file.
        std::vector<QStringList> placings, classes, standings, shownStandings;
        // A page's text has its line breaks as LF, whatever was typed.
        const auto parsed = [](QString text) { return text.replace("\r\n", "\n"); };
        QJsonArray tables = page["tables"].toArray();
        int table = 0;
        for (const results::EndedClass& c : data.classes) {
            classes.push_back({QString::number(c.classNo), c.name, QString::number(c.entries),
                               QString::number(c.placings.size())});
            std::vector<QStringList> shown;
            for (const results::Placing& p : c.placings) {
                const QString payout = QString::number(p.payout, 'f', 2);
                placings.push_back({QString::number(c.classNo), QString::number(p.place),
                                    p.exhibitorNumber, p.exhibitor, p.horse, p.owner, p.points,
                                    payout});
                shown.push_back({QString::number(p.place), p.exhibitorNumber, parsed(p.exhibitor),
                                 parsed(p.horse), parsed(p.owner), p.points, payout});
            }
            if (shown.empty())
                continue;
            std::vector<QStringList> rows = rowsOf(tables[table++].toArray());
            rows.erase(rows.begin()); // the headings
            QCOMPARE(rows, shown);
        }
        for (const results::Standing& s : data.standings) {
            standings.push_back(
                {QString::number(s.rank), s.exhibitorNumber, s.exhibitor, s.points});
            shownStandings.push_back(
                {QString::number(s.rank), s.exhibitorNumber, parsed(s.exhibitor), s.points});
        }
        std::vector<QStringList> standingsTable = rowsOf(tables[table++].toArray());
        standingsTable.erase(standingsTable.begin());
        QCOMPARE(standingsTable, shownStandings);
        QCOMPARE(table, tables.size());

        const QJsonArray csv = page["csv"].toArray();
        const std::vector<std::pair<QStringList, std::vector<QStringList>>> expected{
            {{"Class No", "Class Name", "Entries", "Placed"}, classes},
            {{"Class No", "Place", "Exhibitor No", "Exhibitor", "Horse", "Owner", "Points",
              "Payout"},
             placings},
            {{"Rank", "Exhibitor No", "Exhibitor", "Points"}, standings}};
        for (size_t f = 0; f < expected.size(); ++f) {
            std::vector<QStringList> rows = rowsOf(csv[qsizetype(f)].toArray());
            QCOMPARE(rows.front(), expected[f].first);
            rows.erase(rows.begin());
            QCOMPARE(rows, expected[f].second);
        }

        // The hostile placings as they were typed, not only as the reader of the files saw them.
        const results::EndedClass& hostile = data.classes[8];
        QCOMPARE(hostile.name, HostileNames[3]);
        for (int i = 0; i < HostileNames.size(); ++i) {
            QCOMPARE(hostile.placings[size_t(i)].exhibitor, HostileNames[i]);
            QCOMPARE(hostile.placings[size_t(i)].horse, HostileNames[(i + 1) % 4]);
        }
        QCOMPARE(hostile.placings[0].payout, 12.5);
    }

    // Ranked as the end-of-show report ranks: by summed points, equal sums sharing a rank in the
    // order the names first appear, names without points left out.
    void standingsShareRanksAndLeaveOutNamesWithoutPoints() {
        store::releaseAllConnections();
        TestFolder folder;
        ReportShow show(folder);
        struct Case {
            int exhibitor;
            const char* name;
            std::vector<double> points; // one entry each
        };
        const std::vector<Case> cases{{1, "Ann", {2, 3}}, {2, "Bo", {7}}, {3, "Cy", {5}},
                                      {4, "Di", {1}},     {5, "Ed", {}},  {6, "Flo", {5}}};
        for (const Case& c : cases) {
            if (c.points.empty())
                show.run("INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No]) "
                         "VALUES (?, ?, 1)",
                         {store::Value(c.exhibitor), store::Value(QString(c.name))});
            for (double p : c.points)
                show.addEntry({c.exhibitor, c.name, 1, {}, {}, {}, {}, {}, {}, 0, p});
        }
        reports::ReportContext context;
        context.showPath = show.path();
        context.password = QString::fromLatin1(TestFolder::Password);
        context.TotClassUsed = 1;
        QStringList ranked;
        for (const results::Standing& s : results::readShowResults(context).standings)
            ranked << QString("%1 %2 %3").arg(s.rank).arg(s.exhibitor, s.points);
        QCOMPARE(ranked, QStringList({"1 Bo 7", "2 Ann 5", "2 Cy 5", "2 Flo 5", "5 Di 1"}));
    }

    void csvFieldsQuoteOnlyWhatNeedsIt() {
        const std::pair<const char*, const char*> cases[] = {{"plain", "plain"},
                                                             {"a,b", "\"a,b\""},
                                                             {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                                             {"two\nlines", "\"two\nlines\""},
                                                             {"Zoë & <b>", "Zoë & <b>"},
                                                             {"", ""}};
        for (const auto& [in, out] : cases)
            QCOMPARE(results::csvField(QString::fromUtf8(in)), QString::fromUtf8(out));
    }
};

QTEST_GUILESS_MAIN(TestResultsExport)
#include "TestResultsExport.moc"

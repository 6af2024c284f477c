#include "reports/ReportDefinitions.h"
#include "reports/ReportError.h"
#include "reports/SheetReports.h"
#include "reports/TextExport.h"
#include "store/StoreError.h"
#include "support/ReportShow.h"

#include <QDir>
#include <QtTest>

using reports::ReportContext;

namespace {

// A generated show: 20 classes, 400 entries of 60 exhibitors, classes 1 to 5 ended with four
// paid places each; class 12 also has an exhibitor whose name is too long for its column.
void fillShow(ReportShow& show) {
    show.generate(20, 400, 60, 5);
    show.addEntry({250, QStringLiteral("Maximilian Bartholomew-Featherstonehaugh III"), 12,
                   QStringLiteral("Sir Lancelot of the Lake"), QStringLiteral("Owner"),
                   QStringLiteral("OH")});
}

// Members of the organisation file for the member reports.
void fillRegister(store::Connection& organisation) {
    struct Member {
        const char* number;
        const char* name;
        const char* city;
        double points;
        double balance;
    };
    const Member members[] = {{"M100", "Anna Brooks", "Dayton", 12.5, 40},
                              {"O'Neil [2]", "Pat O Neil", "Akron", 3, 0},
                              {"M 7", "Sam Seven", "Toledo", 0, -12.25}};
    for (const Member& m : members) {
        store::Statement insert = organisation.prepare(QStringLiteral(
            "INSERT INTO Members_tbl ([Mem Num], [Mem Nam], [Mem Add_1], [Mem City], [Mem State], "
            "[Mem Points], [Mem FeeBal], [Mem StartDat]) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        const store::Value values[] = {store::Value(QString::fromUtf8(m.number)),
                                       store::Value(QString::fromUtf8(m.name)),
                                       store::Value(QStringLiteral("1 Main Street")),
                                       store::Value(QString::fromUtf8(m.city)),
                                       store::Value(QStringLiteral("OH")),
                                       store::Value(m.points),
                                       store::Value(m.balance),
                                       store::Value(QDate(2004, 3, 1))};
        for (int i = 0; i < 8; ++i)
            insert.bind(i + 1, values[i]);
        insert.step();
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A golden case's input.txt: "key: value" lines. "report" names the report by its title;
// "ScoreClass", "PayoutClass" and "ReportSubject" are what its dialog would have chosen;
// every "show" and "organisation" line is a statement run on that file before the report.
struct GoldenCase {
    QString report;
    std::vector<std::pair<QString, QString>> choices;
    QStringList showStatements;
    QStringList organisationStatements;
};

GoldenCase readGoldenCase(const QString& folder) {
    GoldenCase golden;
    const QString input = QString::fromUtf8(readFile(folder + "/input.txt"));
    for (const QString& line : input.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString key = line.section(QStringLiteral(": "), 0, 0).trimmed();
        const QString value = line.section(QStringLiteral(": "), 1).trimmed();
        if (key == QLatin1String("report"))
            golden.report = value;
        else if (key == QLatin1String("show"))
            golden.showStatements << value;
        else if (key == QLatin1String("organisation"))
            golden.organisationStatements << value;
        else
            golden.choices.emplace_back(key, value);
    }
    return golden;
}

QDir goldenFolder() {
    return QDir(QStringLiteral(TWL_GOLDEN_DIR));
}

} // namespace

class TestSheetReports : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;

    ReportContext context() const {
        ReportContext c;
        c.showPath = m_show->path();
        c.password = QString::fromLatin1(TestFolder::Password);
        c.ShoName = QStringLiteral("Buckeye Spring Classic");
        c.ShoCity = QStringLiteral("Columbus");
        c.ShoState = QStringLiteral("OH");
        c.DateOfEvent = QDate(2005, 6, 18);
        c.FootNote = QStringLiteral("Thank you for showing with us");
        // Classes 19 and 20 have entries but are above the classes used.
        c.TotClassUsed = 18;
        c.averagePerClass = 22.27;
        c.printDate = QDate(2005, 6, 19);
        c.organisationConnection = store::dataConnectionText(
            m_folder->file(QStringLiteral("TWL.org")), QString::fromLatin1(TestFolder::Password));
        c.OrgName = QStringLiteral("Buckeye Horse Club");
        c.OrgAdd1 = QStringLiteral("PO Box 18");
        c.OrgAdd2 = QStringLiteral("Columbus, OH 43085");
        c.OrgPhone = QStringLiteral("614-555-0100");
        c.OrgEmail = QStringLiteral("secretary@buckeye.example");
        return c;
    }
    int workTableRows() {
        store::Statement rows =
            m_show->connection().prepare(QStringLiteral("SELECT PrintClass FROM ScrSht2Prnt_tbl"));
        int n = 0;
        while (rows.step())
            ++n;
        return n;
    }

    reports::ReportResult run(int kind, reports::ReportContext c) {
        return reports::makeReport(*reports::findReport(kind), c);
    }
    reports::ReportResult scoreSheet(int classNo) {
        ReportContext c = context();
        c.ScoreClass = classNo;
        return run(reports::kind::ScoreSheet, c);
    }
    reports::ReportResult payoutSheet(int classNo) {
        ReportContext c = context();
        c.PayoutClass = classNo;
        return run(reports::kind::PayoutSheet, c);
    }
    void runStatements(const QStringList& statements, store::Connection& connection) {
        for (const QString& sql : statements)
            connection.execute(sql);
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = std::make_unique<ReportShow>(*m_folder);
        fillShow(*m_show);
        fillRegister(*store::connectionFor(context().organisationConnection));
    }
    void cleanup() {
        m_show.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    // Each folder under golden/ holds a report's input (input.txt, see GoldenCase) and the
    // plain text it must print (expected.txt). TWL_UPDATE_GOLDEN=1 writes the texts afresh.
    void reportsPrintTheirGoldenText_data() {
        QTest::addColumn<QString>("folder");
        const QDir golden = goldenFolder();
        for (const QString& name : golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(name)) << golden.filePath(name);
    }
    void reportsPrintTheirGoldenText() {
        QFETCH(QString, folder);
        const GoldenCase golden = readGoldenCase(folder);
        const reports::ReportDefinition* report = reports::findReport(golden.report);
        QVERIFY2(report, qPrintable("no report is titled \"" + golden.report + '"'));
        ReportContext c = context();
        for (const auto& [key, value] : golden.choices) {
            if (key == QLatin1String("ScoreClass"))
                c.ScoreClass = value.toInt();
            else if (key == QLatin1String("PayoutClass"))
                c.PayoutClass = value.toInt();
            else if (key == QLatin1String("ReportSubject"))
                c.ReportSubject = value;
            else
                QFAIL(qPrintable("unknown input " + key));
        }
        runStatements(golden.showStatements, m_show->connection());
        runStatements(golden.organisationStatements,
                      *store::connectionFor(c.organisationConnection));

        const reports::ReportResult result = reports::makeReport(*report, c);
        QVERIFY2(result.problems.isEmpty(), qPrintable(result.problems.join('\n')));
        const QByteArray text = reports::plainText(result.pages).toUtf8();
        const QString expectedPath = folder + "/expected.txt";
        if (qEnvironmentVariableIsSet("TWL_UPDATE_GOLDEN")) {
            QFile out(expectedPath);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(text);
        }
        const QByteArray expected = readFile(expectedPath);
        QVERIFY2(!expected.isEmpty(), qPrintable(expectedPath + " is missing"));
        QCOMPARE(text, expected);
    }

    // A report added to the table comes with a golden case of its own.
    void everyReportHasAGoldenCase() {
        QStringList covered;
        const QDir golden = goldenFolder();
        for (const QString& name : golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            covered << readGoldenCase(golden.filePath(name)).report;
        for (const reports::ReportDefinition& report : reports::reportDefinitions())
            QVERIFY2(covered.contains(QString::fromUtf8(report.title)), report.title);
    }

    void scoreSheetCountsDateAndWorkTable() {
        const reports::ReportResult sheet = scoreSheet(12);
        const QString text = reports::plainText(sheet.pages);
        QVERIFY(text.contains(QStringLiteral("Show Date: June 18, 2005")));
        QVERIFY(text.contains(QStringLiteral("Class No.  12     Description: Class 12 Halter")));
        QCOMPARE(sheet.pages.documentName, QStringLiteral("Score Sheet class 12"));
        QCOMPARE(workTableRows(), 1); // the caller empties it after the run

        // A row left behind by a run that never finished puts no second class on the sheet.
        m_show->run("INSERT INTO ScrSht2Prnt_tbl (PrintClass) VALUES (3)", {});
        const reports::ReportResult again = scoreSheet(12);
        QCOMPARE(again.recordCountText, sheet.recordCountText);
        QCOMPARE(workTableRows(), 1);
        reports::clearReportWorkTable(context(), QStringLiteral("ScrSht2Prnt_tbl"));
        QCOMPARE(workTableRows(), 0);

        // A class without entries prints an empty total.
        const reports::ReportResult empty = scoreSheet(149);
        QCOMPARE(empty.recordCountText, QString());
        QCOMPARE(empty.pages.pageCount(), 1);
    }

    void aLongSheetIsNumberedPageOfPages() {
        // 60 entries of class 12, 24 to a page: 3 pages.
        for (int i = 0; i < 40; ++i)
            m_show->addEntry({300 + i, QStringLiteral("Late Entry %1").arg(i), 12});
        const reports::ReportResult sheet = scoreSheet(12);
        QCOMPARE(sheet.pages.pageCount(), 3);
        const QString text = reports::plainText(sheet.pages);
        QVERIFY(text.contains(QStringLiteral("Page 1 of 3 pages")));
        QVERIFY(text.contains(QStringLiteral("Page 3 of 3 pages")));
    }

    void payoutSheetTotals() {
        const reports::ReportResult sheet = payoutSheet(2);
        const QString text = reports::plainText(sheet.pages);
        QCOMPARE(sheet.recordCountText, QStringLiteral("4"));
        // 40 + 20 + 13.33 + 10, as stored in currency.
        QVERIFY2(text.contains(QStringLiteral("Total Pay Out: $83.33")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("$40.00")));

        // A class whose payouts are all 0 still shows its total.
        m_show->addClass(30, QStringLiteral("Lead Line"), 0, true);
        m_show->addPayout(30, 101, QStringLiteral("Small Rider"), 1, 0);
        const QString zero = reports::plainText(payoutSheet(30).pages);
        QVERIFY2(zero.contains(QStringLiteral("Total Pay Out: $0.00")), qPrintable(zero));
    }

    void aFailingQueryIsAnError() {
        m_show->run("DROP VIEW ScrSht2Pint_Q", {});
        QVERIFY_THROWS_EXCEPTION(store::StoreError, scoreSheet(12));
    }
};

QTEST_MAIN(TestSheetReports)
#include "TestSheetReports.moc"

#include "reports/MemberReports.h"
#include "reports/ReportError.h"
#include "reports/SheetReports.h"
#include "reports/ShowReports.h"
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

    reports::ReportResult runCase(const QString& kind, const QString& argument) {
        if (kind == "score")
            return reports::scoreSheet(context(), argument.toInt());
        if (kind == "payout")
            return reports::payoutSheet(context(), argument.toInt());
        if (kind == "endofshow")
            return reports::endOfShowReport(context());
        if (kind == "classlist")
            return reports::classDescriptionList(context());
        if (kind == "exhibitor") {
            m_show->run("INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (?, ?)",
                        {store::Value(argument.toInt()), store::Value(QString())});
            return reports::exhibitorReport(context());
        }
        if (kind == "showroster")
            return reports::showRoster(context());
        if (kind == "memberroster")
            return reports::memberRoster(context());
        if (kind == "memberprofile")
            return reports::memberProfile(context(), argument);
        qFatal("unknown report kind %s", qPrintable(kind));
    }

    // Each folder under golden/ names a report in input.txt ("score 12", "payout 3",
    // "endofshow", "memberprofile O'Neil [2]") and holds the plain text it must print as
    // expected.txt. TWL_UPDATE_GOLDEN=1 writes the texts afresh.
    void sheetsPrintTheirGoldenText_data() {
        QTest::addColumn<QString>("folder");
        const QDir golden(QStringLiteral(TWL_GOLDEN_DIR));
        for (const QString& name : golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(name)) << golden.filePath(name);
        QVERIFY(QTest::currentDataTag() ||
                golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() >= 3);
    }
    void sheetsPrintTheirGoldenText() {
        QFETCH(QString, folder);
        const QString input = QString::fromUtf8(readFile(folder + "/input.txt")).trimmed();
        const QString kind = input.section(QLatin1Char(' '), 0, 0);
        const reports::ReportResult result = runCase(kind, input.section(QLatin1Char(' '), 1));
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

    void scoreSheetCountsDateAndWorkTable() {
        const reports::ReportResult sheet = reports::scoreSheet(context(), 12);
        const QString text = reports::plainText(sheet.pages);
        QVERIFY(text.contains(QStringLiteral("Show Date: June 18, 2005")));
        QVERIFY(text.contains(QStringLiteral("Class No.  12     Description: Class 12 Halter")));
        QCOMPARE(sheet.pages.documentName, QStringLiteral("Score Sheet class 12"));
        QCOMPARE(workTableRows(), 1); // the caller empties it after the run

        // A row left behind by a run that never finished puts no second class on the sheet.
        m_show->run("INSERT INTO ScrSht2Prnt_tbl (PrintClass) VALUES (3)", {});
        const reports::ReportResult again = reports::scoreSheet(context(), 12);
        QCOMPARE(again.recordCountText, sheet.recordCountText);
        QCOMPARE(workTableRows(), 1);
        reports::clearReportWorkTable(context(), QStringLiteral("ScrSht2Prnt_tbl"));
        QCOMPARE(workTableRows(), 0);

        // A class without entries prints an empty total.
        const reports::ReportResult empty = reports::scoreSheet(context(), 149);
        QCOMPARE(empty.recordCountText, QString());
        QCOMPARE(empty.pages.pageCount(), 1);
    }

    void aLongSheetIsNumberedPageOfPages() {
        // 60 entries of class 12, 24 to a page: 3 pages.
        for (int i = 0; i < 40; ++i)
            m_show->addEntry({300 + i, QStringLiteral("Late Entry %1").arg(i), 12});
        const reports::ReportResult sheet = reports::scoreSheet(context(), 12);
        QCOMPARE(sheet.pages.pageCount(), 3);
        const QString text = reports::plainText(sheet.pages);
        QVERIFY(text.contains(QStringLiteral("Page 1 of 3 pages")));
        QVERIFY(text.contains(QStringLiteral("Page 3 of 3 pages")));
    }

    void payoutSheetTotals() {
        const reports::ReportResult sheet = reports::payoutSheet(context(), 2);
        const QString text = reports::plainText(sheet.pages);
        QCOMPARE(sheet.recordCountText, QStringLiteral("4"));
        // 40 + 20 + 13.33 + 10, as stored in currency.
        QVERIFY2(text.contains(QStringLiteral("Total Pay Out: $83.33")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("$40.00")));

        // A class whose payouts are all 0 still shows its total.
        m_show->addClass(30, QStringLiteral("Lead Line"), 0, true);
        m_show->addPayout(30, 101, QStringLiteral("Small Rider"), 1, 0);
        const QString zero = reports::plainText(reports::payoutSheet(context(), 30).pages);
        QVERIFY2(zero.contains(QStringLiteral("Total Pay Out: $0.00")), qPrintable(zero));
    }

    void aFailingQueryIsAnError() {
        m_show->run("DROP VIEW ScrSht2Pint_Q", {});
        QVERIFY_THROWS_EXCEPTION(store::StoreError, reports::scoreSheet(context(), 12));
    }
};

QTEST_MAIN(TestSheetReports)
#include "TestSheetReports.moc"

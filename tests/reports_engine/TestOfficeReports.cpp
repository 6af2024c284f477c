#include "office/AccountBook.h"
#include "office/OfficeShow.h"
#include "reports/ReportDefinitions.h"
#include "reports/ReportError.h"
#include "reports/TextExport.h"
#include "store/ConnectionText.h"

#include <QtTest>

using namespace twl::office;

// The office's printouts over the accounts of a show file: what the statement holds, that it
// fits its page and that every statement of "all statements" starts a page of its own.
class TestOfficeReports : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;
    std::unique_ptr<AccountBook> m_book;

    reports::ReportResult run(int kind, const QString& subject = {},
                              reports::ReportProgress* progress = nullptr) const {
        reports::ReportContext c;
        c.showPath = m_show->path();
        c.password = QString::fromLatin1(TestFolder::Password);
        c.ShoName = QStringLiteral("Buckeye Spring Classic");
        c.DateOfEvent = QDate(2026, 6, 18);
        c.printDate = QDate(2026, 6, 18);
        c.ReportSubject = subject;
        return reports::makeReport(*reports::findReport(kind), c, progress);
    }
    static QString pageText(const reports::PagedReport& report, int page) {
        reports::PagedReport one = report;
        one.pages = {report.pages[size_t(page)]};
        return reports::plainText(one);
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = std::make_unique<ReportShow>(*m_folder);
        fillOfficeShow(*m_show);
        m_book = std::make_unique<AccountBook>(
            store::dataConnectionText(m_show->path(), TestFolder::Password));
    }
    void cleanup() {
        m_book.reset();
        m_show.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    // Fees 25, 25 and 40, a charge of 15, a payout of 27.50 and a cheque of 50: 27.50 due;
    // paid to nothing and settled, the statement says "PAID".
    void theStatementHoldsEveryLineAndTheBalance() {
        m_book->recordCharge({12, "Office Fee", "Office fee", 1500}, OfficeMorning);
        m_book->recordPayment({12, "Cheque", "1234", "Sue", 5000}, OfficeMorning);
        const QString text = reports::plainText(run(reports::kind::Statement, "12").pages);
        for (const char* line :
             {"Anna Brooks; Anna Brooks-Hale", "Walk-Trot", "Western Pleasure", "Open Halter",
              "Dusty Rose", "Office Fee: Office fee", "Cheque: 1234 (received by Sue)", "Place 1",
              "$90.00", "$15.00", "$50.00"})
            QVERIFY2(text.contains(QLatin1String(line)), line);
        QVERIFY(text.contains(QRegularExpression("Balance Due: +\\$27\\.50")));
        QVERIFY(!text.contains("PAID"));

        m_book->recordPayment({12, "Cash", "", "", 2750}, OfficeMorning);
        m_book->settle(12, OfficeMorning);
        const QString paid = reports::plainText(run(reports::kind::Statement, "12").pages);
        QVERIFY(paid.contains("PAID"));
        QVERIFY(paid.contains(QRegularExpression("Balance Due: +\\$0\\.00")));
    }

    void aStatementOfTwentyFiveClassesFitsOneLetterPage() {
        for (int c = 10; c < 35; ++c) {
            m_show->addClass(c, QStringLiteral("Class of the day %1").arg(c), 20, c < 15);
            m_show->addEntry({77, QStringLiteral("Carla Dalton"), c, QStringLiteral("Blue Moon")});
            if (c < 15)
                m_show->addPayout(c, 77, QStringLiteral("Carla Dalton"), 2, 12.5);
        }
        m_book->recordCharge({77, "Stall", "Stall 4", 4500}, OfficeMorning);
        m_book->recordCharge({77, "Late Fee", "", 1000}, OfficeMorning);
        const qint64 cheque =
            m_book->recordPayment({77, "Cheque", "881", "Sue", 20000}, OfficeMorning);
        m_book->reverse(LineKind::Payment, cheque, OfficeMorning);
        m_book->recordPayment({77, "Card", "", "Sue", 40000}, OfficeMorning);
        const reports::ReportResult statement = run(reports::kind::Statement, "77");
        QCOMPARE(statement.pages.pageCount(), 1);
        const QString text = reports::plainText(statement.pages);
        for (int c = 10; c < 35; ++c)
            QVERIFY(text.contains(QStringLiteral("Class of the day %1").arg(c)));
        QVERIFY(text.contains("takes back No. 1"));
    }

    // Exhibitors 12 and 30 have entries; 41 has only a charge and gets no statement.
    void everyStatementStartsAPageOfItsOwn() {
        m_book->recordCharge({41, "Stall", "", 2000}, OfficeMorning);
        for (int c = 50; c < 110; ++c) // exhibitor 30's statement runs over two pages
            m_show->addEntry({30, QStringLiteral("Ben Carter"), c, QStringLiteral("Wild Card")});
        const reports::ReportResult all = run(reports::kind::AllStatements);
        QCOMPARE(all.recordCountText, QStringLiteral("2"));
        QCOMPARE(all.pages.pageCount(), 3);
        const QStringList starts{pageText(all.pages, 0), pageText(all.pages, 1),
                                 pageText(all.pages, 2)};
        QVERIFY(starts[0].contains(QRegularExpression("Exhibitor No. +12\\n")));
        QVERIFY(starts[1].contains(QRegularExpression("Exhibitor No. +30\\n")));
        QVERIFY(!starts[2].contains("Exhibitor No."));
        QVERIFY(starts[1].contains("Page 1 of 2 pages")); // numbered within the statement
        QVERIFY(starts[2].contains("Page 2 of 2 pages"));
        QVERIFY(starts[2].contains("Balance Due:"));
    }

    // All statements are laid out one exhibitor at a time, told as they go; a stop between two
    // of them ends the run.
    void allStatementsTellEveryStatementAndStopWhenAsked() {
        struct Steps : reports::ReportProgress {
            int stopAt = -1;
            QStringList told;
            bool advance(int done, int total, const QString& step) override {
                told << QStringLiteral("%1/%2 %3").arg(done).arg(total).arg(step);
                return done != stopAt;
            }
        };
        Steps all;
        QCOMPARE(reports::plainText(run(reports::kind::AllStatements, {}, &all).pages),
                 reports::plainText(run(reports::kind::AllStatements).pages));
        QCOMPARE(all.told, QStringList({"0/2 Document 1 of 2", "1/2 Document 2 of 2",
                                        "2/2 Document 2 of 2"}));
        for (const int stopAt : {0, 1, 2}) {
            Steps stopping;
            stopping.stopAt = stopAt;
            QVERIFY_THROWS_EXCEPTION(reports::ReportCancelled,
                                     run(reports::kind::AllStatements, {}, &stopping));
            QCOMPARE(stopping.told.size(), stopAt + 1);
        }
    }

    void subjectsWithoutAStatement_data() {
        QTest::addColumn<QString>("subject");
        QTest::newRow("not a number") << "twelve";
        QTest::newRow("no number") << "";
        QTest::newRow("out of range") << "40000";
        QTest::newRow("nothing recorded") << "99";
    }
    void subjectsWithoutAStatement() {
        QFETCH(QString, subject);
        QVERIFY_THROWS_EXCEPTION(reports::ReportError, run(reports::kind::Statement, subject));
    }
};

QTEST_MAIN(TestOfficeReports)
#include "TestOfficeReports.moc"

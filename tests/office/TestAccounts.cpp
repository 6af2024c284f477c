#include "OfficeShow.h"
#include "office/AccountBook.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/FileChecks.h"
#include "store/StoreError.h"
#include "support/FullDisk.h"

#include <QtTest>

using namespace twl::office;

namespace {

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every column and index of a table as the engine describes them.
QStringList shapeOf(store::Connection& connection, const QString& table) {
    QStringList shape;
    for (const char* pragma : {"table_info", "index_list"}) {
        store::Statement statement =
            connection.prepare(QString("PRAGMA %1(%2)").arg(QLatin1String(pragma), table));
        while (statement.step()) {
            QStringList cells;
            for (int c = 1; c < statement.columnCount(); ++c)
                cells << statement.columnValue(c, store::FieldType::Text).toText();
            shape << cells.join('|');
        }
    }
    return shape;
}

// Every row of every table the older show already had, and their definitions.
QStringList describedContents(store::Connection& connection) {
    QStringList contents;
    store::Statement objects = connection.prepare(
        "SELECT name, sql FROM sqlite_master WHERE tbl_name NOT IN ('Charges_tbl', "
        "'Payments_tbl', 'Settled_tbl') ORDER BY name");
    QStringList tables;
    while (objects.step()) {
        contents << objects.columnValue(1, store::FieldType::Text).toText();
        tables << objects.columnValue(0, store::FieldType::Text).toText();
    }
    for (const QString& table : tables) {
        if (!connection.isTable(table))
            continue;
        store::Statement rows = connection.prepare("SELECT * FROM [" + table + "]");
        while (rows.step()) {
            QStringList cells;
            for (int c = 0; c < rows.columnCount(); ++c)
                cells << rows.columnValue(c, store::FieldType::Text).toText();
            contents << table + ": " + cells.join('|');
        }
    }
    return contents;
}

} // namespace

class TestAccounts : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;
    std::unique_ptr<AccountBook> m_book;

    QString connectionText() const {
        return store::dataConnectionText(m_show->path(), TestFolder::Password);
    }
    void recordWorkedLines() {
        m_book->recordCharge({12, "Office Fee", "Office fee", 1500}, OfficeMorning);
        m_book->recordPayment({12, "Cheque", "1234", "Sue", 5000}, OfficeMorning.addSecs(60));
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = std::make_unique<ReportShow>(*m_folder);
        fillOfficeShow(*m_show);
        m_book = std::make_unique<AccountBook>(connectionText());
    }
    void cleanup() {
        m_book.reset();
        m_show.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void amountsAsTyped() {
        const struct {
            const char* typed;
            Cents cents; // -1: refused
        } cases[] = {
            {"25", 2500},         {"25.5", 2550}, {"25.50", 2550}, {"$1,250.00", 125000},
            {" $ 40 ", 4000},     {".5", 50},     {"7.", 700},     {"1,000,000", 100000000},
            {"1,000,000.01", -1}, {"", -1},       {"$", -1},       {"abc", -1},
            {"25.555", -1},       {"-5", -1},     {"1,25", -1},    {"12,3456", -1},
            {"1 250", -1},        {"25$", -1},    {"2.5.0", -1},   {"9999999999", -1},
        };
        for (const auto& c : cases) {
            const std::optional<Cents> parsed = parseAmount(c.typed);
            QVERIFY2(parsed.value_or(-1) == c.cents, c.typed);
        }
        QCOMPARE(moneyText(2750), QString("$27.50"));
        QCOMPARE(moneyText(125000), QString("$1,250.00"));
        QCOMPARE(moneyText(-500), QString("-$5.00"));
        QCOMPARE(moneyText(0), QString("$0.00"));
        QCOMPARE(centsOf(store::Currency::fromDouble(27.495)), Cents(2750)); // half away
        QCOMPARE(centsOf(store::Currency::fromDouble(-0.005)), Cents(-1));
    }

    // Fees 25, 25 and 40, a charge of 15, a payout of 27.50 won and a cheque of 50: 27.50 due.
    void theAccountOfOneExhibitor() {
        recordWorkedLines();
        const Account account = m_book->account(12);
        QCOMPARE(account.names, QStringList({"Anna Brooks", "Anna Brooks-Hale"}));
        QCOMPARE(account.fees.size(), size_t(3));
        QCOMPARE(account.fees[0].classNo, 1); // in class order
        QCOMPARE(account.fees[2].description, QString("Open Halter"));
        QCOMPARE(account.fees[2].fee, Cents(4000));
        QCOMPARE(account.payouts.size(), size_t(1));
        QCOMPARE(account.payouts[0].place, 1);
        QCOMPARE(account.payouts[0].payout, Cents(2750));
        QCOMPARE(account.charges[0].category, QString("Office Fee"));
        QCOMPARE(account.payments[0].writtenAt, OfficeMorning.addSecs(60));
        QCOMPARE(account.payments[0].text, QString("1234"));
        QCOMPARE(account.payments[0].receivedBy, QString("Sue"));
        QCOMPARE(account.feeTotal, Cents(9000));
        QCOMPARE(account.chargeTotal, Cents(1500));
        QCOMPARE(account.payoutTotal, Cents(2750));
        QCOMPARE(account.paymentTotal, Cents(5000));
        QCOMPARE(account.balance, Cents(2750));
        QVERIFY(!account.settled());
        // The other exhibitor's account is apart.
        QCOMPARE(m_book->account(30).balance, Cents(2500));
        QVERIFY(m_book->account(99).empty());
        m_book->recordCharge({41, "Stall", "", 2000}, OfficeMorning); // a stall, no entries yet
        QCOMPARE(m_book->exhibitorNumbers(), std::vector<int>({12, 30, 41}));
    }

    // The printouts read every account in one pass; each must equal the account read alone.
    void everyAccountAtOnceEqualsEachAlone() {
        recordWorkedLines();
        m_book->reverse(LineKind::Payment, 1, OfficeMorning.addSecs(120));
        m_book->recordCharge({41, "Stall", "", 2000}, OfficeMorning);
        m_book->recordPayment({30, "Cash", "", "", 2500}, OfficeMorning);
        m_book->settle(30, OfficeMorning.addSecs(180));
        const std::vector<Account> all = m_book->allAccounts();
        QCOMPARE(all.size(), m_book->exhibitorNumbers().size());
        for (const Account& account : all) {
            const Account alone = m_book->account(account.exhibitorNumber);
            QCOMPARE(account.names, alone.names);
            QCOMPARE(account.fees.size(), alone.fees.size());
            QCOMPARE(account.payouts.size(), alone.payouts.size());
            QCOMPARE(account.charges.size(), alone.charges.size());
            QCOMPARE(account.payments.size(), alone.payments.size());
            QCOMPARE(account.balance, alone.balance);
            QCOMPARE(account.settled(), alone.settled());
        }
        QCOMPARE(all[0].payments[1].reverses, qint64(1));
        QVERIFY(all[1].settled());
        // The day's payment lines, reversals included; another day has none.
        QCOMPARE(m_book->paymentsOn(OfficeMorning.date()).size(), size_t(3));
        QVERIFY(m_book->paymentsOn(OfficeMorning.date().addDays(1)).empty());
        QCOMPARE(m_book->paymentDates(), std::vector<QDate>{OfficeMorning.date()});
    }

    void aReversingLineBringsAMistakenPaymentBack() {
        recordWorkedLines();
        const qint64 mistaken = m_book->recordPayment({12, "Cash", "", "", 6000}, OfficeMorning);
        QCOMPARE(m_book->account(12).balance, Cents(-3250));
        const qint64 reversal = m_book->reverse(LineKind::Payment, mistaken, OfficeMorning);
        const Account account = m_book->account(12);
        QCOMPARE(account.balance, Cents(2750));
        QCOMPARE(account.payments.size(), size_t(3)); // the mistake stays on the account
        QVERIFY(account.payments[1].reversed);
        QCOMPARE(account.payments[2].amount, Cents(-6000));
        QCOMPARE(account.payments[2].reverses, mistaken);
        QCOMPARE(account.payments[2].category, QString("Cash"));
        // A line is taken back once, and a reversal is not taken back.
        QVERIFY_THROWS_EXCEPTION(AccountRefused,
                                 m_book->reverse(LineKind::Payment, mistaken, OfficeMorning));
        QVERIFY_THROWS_EXCEPTION(AccountRefused,
                                 m_book->reverse(LineKind::Payment, reversal, OfficeMorning));
        QVERIFY_THROWS_EXCEPTION(AccountRefused,
                                 m_book->reverse(LineKind::Charge, 999, OfficeMorning));
        QCOMPARE(m_book->account(12).payments.size(), size_t(3));
    }

    void settlingTakesANilBalanceAndLastsWhileNothingChanges() {
        recordWorkedLines();
        QVERIFY_THROWS_EXCEPTION(AccountRefused, m_book->settle(12, OfficeMorning));
        QVERIFY_THROWS_EXCEPTION(AccountRefused, m_book->settle(99, OfficeMorning)); // nothing
        m_book->recordPayment({12, "Card", "", "", 2750}, OfficeMorning);
        m_book->settle(12, OfficeMorning);
        QVERIFY(m_book->account(12).settled());
        QCOMPARE(accountNote(m_book->account(12)), QString("Settled"));

        // A later line takes the mark away, even when the balance comes back to zero.
        const qint64 stall = m_book->recordCharge({12, "Stall", "", 2000}, OfficeMorning);
        QVERIFY(!m_book->account(12).settled());
        m_book->reverse(LineKind::Charge, stall, OfficeMorning);
        QCOMPARE(m_book->account(12).balance, Cents(0));
        QVERIFY(!m_book->account(12).settled());

        // Settled again, then a class ends with a payout: the mark no longer counts.
        m_book->settle(12, OfficeMorning);
        m_show->addPayout(2, 12, "Anna Brooks", 3, 10);
        const Account account = m_book->account(12);
        QVERIFY(account.settledAt.has_value());
        QVERIFY(!account.settled());
        QCOMPARE(accountNote(account), QString());
    }

    void linesTheRulesRefuse() {
        const NewPayment payments[] = {
            {0, "Cash", "", "", 100},
            {32768, "Cash", "", "", 100},
            {12, "Cash", "", "", 0},
            {12, "Cash", "", "", -100},
            {12, "IOU", "", "", 100},
            {12, "Cash", QString(31, 'x'), "", 100},
            {12, "Cash", "", QString(51, 'x'), 100},
        };
        for (const NewPayment& payment : payments)
            QVERIFY_THROWS_EXCEPTION(AccountRefused, m_book->recordPayment(payment, OfficeMorning));
        QVERIFY_THROWS_EXCEPTION(AccountRefused,
                                 m_book->recordCharge({12, "Bribe", "", 100}, OfficeMorning));
        QVERIFY_THROWS_EXCEPTION(
            AccountRefused,
            m_book->recordCharge({12, "Other", QString(101, 'x'), 100}, OfficeMorning));
        QVERIFY(m_book->account(12).payments.empty());
        QVERIFY(m_book->account(12).charges.empty());
    }

    void aRefusedWriteChangesNothing_data() {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("the file refuses the row") << false;
        QTest::newRow("the disk is full") << true;
    }
    void aRefusedWriteChangesNothing() {
        QFETCH(bool, fullDisk);
        recordWorkedLines();
        std::unique_ptr<FullDisk> disk;
        QString show = m_show->path();
        if (fullDisk) {
            m_book.reset();
            store::releaseAllConnections();
            const QString folder = m_folder->file("small");
            QDir().mkpath(folder);
            disk = std::make_unique<FullDisk>(folder, "1m");
            if (!disk->mounted())
                QSKIP("cannot mount a small file system here");
            show = folder + "/Show.twl";
            QVERIFY(QFile::copy(m_show->path(), show));
            m_book = std::make_unique<AccountBook>(
                store::dataConnectionText(show, TestFolder::Password));
            m_book->account(12); // the file is open before the disk fills
            QVERIFY(disk->fill());
        } else {
            m_show->connection().execute(
                "CREATE TRIGGER NoPayments BEFORE INSERT ON Payments_tbl "
                "BEGIN SELECT RAISE(ABORT, 'the file takes no payments'); END");
        }
        const QByteArray before = bytesOf(show);
        QVERIFY_THROWS_EXCEPTION(store::StoreError,
                                 m_book->recordPayment({12, "Cash", "", "", 2750}, OfficeMorning));
        QCOMPARE(bytesOf(show), before);
        QCOMPARE(m_book->account(12).balance, Cents(2750));
    }

    // A show of the revision before the accounts: opened, it gets the tables a new show has,
    // and keeps every table and row it had.
    void anOlderShowIsBroughtUpToDate() {
        const QString older = m_folder->newShow("Older.twl");
        {
            store::Connection connection(older, TestFolder::Password);
            for (const char* sql :
                 {"DROP TABLE Charges_tbl", "DROP TABLE Payments_tbl", "DROP TABLE Settled_tbl",
                  "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No]) "
                  "VALUES (12, 'Anna Brooks', 3)",
                  "INSERT INTO PayOut_tbl ([PY Class No], [PY Exh No], [PY Amt]) "
                  "VALUES (3, 12, 27.5)",
                  "UPDATE Class_tbl SET [Class Fee] = 40 WHERE [Class No] = 3",
                  "PRAGMA user_version = 1"})
                connection.execute(sql);
        }
        auto connection = store::connectionForFile(older, TestFolder::Password);
        const QStringList before = describedContents(*connection);
        QCOMPARE(store::migrate(*connection, store::showMigrations(), store::ShowSchemaRevision),
                 1);
        QCOMPARE(store::schemaRevision(*connection), store::ShowSchemaRevision);
        QCOMPARE(describedContents(*connection), before);
        for (const char* table : {"Charges_tbl", "Payments_tbl", "Settled_tbl"})
            QCOMPARE(shapeOf(*connection, table), shapeOf(m_show->connection(), table));

        AccountBook book(store::dataConnectionText(older, TestFolder::Password));
        book.recordPayment({12, "Cash", "", "", 1250}, OfficeMorning);
        QCOMPARE(book.account(12).balance, Cents(4000 - 2750 - 1250));
    }
};

QTEST_GUILESS_MAIN(TestAccounts)
#include "TestAccounts.moc"

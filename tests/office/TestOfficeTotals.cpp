#include "office/OfficeTotals.h"

#include <QtTest>

using namespace twl::office;

namespace {

Account withBalance(int number, Cents balance) {
    Account account;
    account.exhibitorNumber = number;
    account.balance = balance;
    return account;
}

MoneyLine payment(qint64 number, const char* method, Cents amount) {
    MoneyLine line;
    line.kind = LineKind::Payment;
    line.number = number;
    line.category = QString::fromLatin1(method);
    line.amount = amount;
    return line;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<twl::office::MoneyLine>)

class TestOfficeTotals : public QObject {
    Q_OBJECT

private slots:
    void balancesDueLeaveOutNilAccountsAndPutTheLargestFirst() {
        const BalancesDue due =
            balancesDue({withBalance(5, 1000), withBalance(6, 0), withBalance(7, -250),
                         withBalance(3, 1000), withBalance(9, 4000)});
        std::vector<int> order;
        for (const Account& account : due.accounts)
            order.push_back(account.exhibitorNumber);
        QCOMPARE(order, std::vector<int>({9, 3, 5, 7})); // equal balances by number
        QCOMPARE(due.dueToOffice, Cents(6000));
        QCOMPARE(due.owedByOffice, Cents(250));
        QCOMPARE(due.net(), Cents(5750));
    }

    // Each case: the day's lines, then the methods expected in order with their totals.
    void takingsByMethod_data() {
        QTest::addColumn<std::vector<MoneyLine>>("lines");
        QTest::addColumn<QStringList>("methods");
        QTest::addColumn<QList<qint64>>("totals");
        QTest::addColumn<qint64>("total");
        QTest::newRow("nothing taken")
            << std::vector<MoneyLine>{} << QStringList{} << QList<qint64>{} << qint64(0);
        QTest::newRow("in the order of the methods")
            << std::vector<MoneyLine>{payment(1, "Card", 3000), payment(2, "Cash", 2000),
                                      payment(3, "Cheque", 5000), payment(4, "Cash", 500)}
            << QStringList{"Cash", "Cheque", "Card"} << QList<qint64>{2500, 5000, 3000}
            << qint64(10500);
        QTest::newRow("a reversal counts against its method")
            << std::vector<MoneyLine>{payment(1, "Cheque", 5000), payment(2, "Cheque", -5000),
                                      payment(3, "Cash", 2000)}
            << QStringList{"Cash", "Cheque"} << QList<qint64>{2000, 0} << qint64(2000);
        QTest::newRow("a method of an older file after the known ones")
            << std::vector<MoneyLine>{payment(1, "Voucher", 100), payment(2, "Other", 700),
                                      payment(3, "Barter", 50)}
            << QStringList{"Other", "Barter", "Voucher"} << QList<qint64>{700, 50, 100}
            << qint64(850);
    }
    void takingsByMethod() {
        QFETCH(std::vector<MoneyLine>, lines);
        QFETCH(QStringList, methods);
        QFETCH(QList<qint64>, totals);
        QFETCH(qint64, total);
        const Takings takings = takingsOf(lines);
        QStringList gotMethods;
        QList<qint64> gotTotals;
        size_t counted = 0;
        for (const MethodTakings& method : takings.methods) {
            gotMethods << method.method;
            gotTotals << method.total;
            counted += method.lines.size();
        }
        QCOMPARE(gotMethods, methods);
        QCOMPARE(gotTotals, totals);
        QCOMPARE(takings.total, total);
        QCOMPARE(counted, lines.size()); // every line once
    }
};

QTEST_MAIN(TestOfficeTotals)
#include "TestOfficeTotals.moc"

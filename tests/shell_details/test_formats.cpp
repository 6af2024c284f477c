#include "common/Formats.h"

#include <QLocale>
#include <QtTest>

using namespace twl;

class TestFormats : public QObject {
    Q_OBJECT

private slots:
    void currency_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 25.0 << "$25.00";
        QTest::newRow("grouped") << 1234.5 << "$1,234.50";
        QTest::newRow("zero") << 0.0 << "$0.00";
        QTest::newRow("negative") << -5.0 << "-$5.00";
        QTest::newRow("negative grouped") << -1234567.891 << "-$1,234,567.89";
        QTest::newRow("below a dollar") << 0.5 << "$0.50";
        QTest::newRow("half cent up") << 2.675 << "$2.68";
        QTest::newRow("rounds to zero") << -0.004 << "$0.00";
        QTest::newRow("thousand") << 1000.0 << "$1,000.00";
    }
    void currency() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(format::currency(value), text);
    }

    void count_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero is empty") << qint64(0) << "";
        QTest::newRow("small") << qint64(12) << "12";
        QTest::newRow("three digits") << qint64(999) << "999";
        QTest::newRow("grouped") << qint64(1234) << "1,234";
        QTest::newRow("millions") << qint64(1234567) << "1,234,567";
        QTest::newRow("negative") << qint64(-1234) << "-1,234";
    }
    void count() {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(format::count(value), text);
    }

    void twoDecimals_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one decimal") << 2.5 << "2.50";
        QTest::newRow("zero") << 0.0 << "0.00";
        QTest::newRow("no groups") << 1234.567 << "1234.57";
        QTest::newRow("half away from zero") << 0.125 << "0.13";
        QTest::newRow("negative half") << -0.125 << "-0.13";
        QTest::newRow("below one") << 0.05 << "0.05";
    }
    void twoDecimals() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(format::twoDecimals(value), text);
    }

    void dates() {
        // Month names stay English whatever the locale.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(format::longDate(QDate(2026, 4, 8)), QStringLiteral("April 8, 2026"));
        QCOMPARE(format::longDate(QDate(1999, 12, 31)), QStringLiteral("December 31, 1999"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(format::shortDate(QDate(2026, 4, 8)), QStringLiteral("04-08-26"));
        QCOMPARE(format::shortDate(QDate(1999, 12, 31)), QStringLiteral("12-31-99"));
        QCOMPARE(format::shortDate(QDate(2000, 1, 1)), QStringLiteral("01-01-00"));
        QCOMPARE(format::longDate(QDate()), QString());
        QCOMPARE(format::shortDate(QDate()), QString());
    }

    void rightAligned() {
        QCOMPARE(format::rightAligned(QStringLiteral("7")), QStringLiteral("   7"));
        QCOMPARE(format::rightAligned(42), QStringLiteral("  42"));
        QCOMPARE(format::rightAligned(QStringLiteral("1234")), QStringLiteral("1234"));
        QCOMPARE(format::rightAligned(QStringLiteral("12345")), QStringLiteral("12345"));
        QCOMPARE(format::rightAligned(QString()), QStringLiteral("    "));
        QCOMPARE(format::rightAligned(QStringLiteral("ab"), 6), QStringLiteral("    ab"));
    }
};

QTEST_APPLESS_MAIN(TestFormats)
#include "test_formats.moc"

#include "common/widgets/SafetyCatch.h"
#include "members/MemberRules.h"

#include <QtTest>

using namespace twl::MemberRules;

class TestMemberRules : public QObject {
    Q_OBJECT

private slots:
    void pointsAndBalanceStoreTheNumberTheTextStandsFor_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("stored");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks") << "   " << 0.0;
        QTest::newRow("plain") << "12" << 12.0;
        QTest::newRow("letters after") << "12abc" << 12.0;
        QTest::newRow("fraction and letters") << "-3.5 pts" << -3.5;
        QTest::newRow("money form") << "$25.00" << 25.0;
        QTest::newRow("grouped") << "1,234.50" << 1234.5;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("a dangling exponent is a letter") << "4e" << 4.0;
    }
    void pointsAndBalanceStoreTheNumberTheTextStandsFor() {
        QFETCH(QString, text);
        QFETCH(double, stored);
        QCOMPARE(numericValue(text), stored);
        QVERIFY(boxAccepted(PointsBox, text));
        QVERIFY(boxAccepted(BalanceBox, text));
    }

    void numbersThatAreNotNumbersAreRefused() {
        for (const char* text : {"abc", "-", ".", "$"}) {
            QVERIFY2(!boxAccepted(PointsBox, text), text);
            QVERIFY2(!boxAccepted(BalanceBox, text), text);
        }
        // More than a money field holds is refused before anything is written.
        QVERIFY(boxAccepted(PointsBox, "1e20"));
        QVERIFY(!boxAccepted(BalanceBox, "1e20"));
    }

    void textLengthsAndRequiredFields() {
        QVERIFY(boxAccepted(NameBox, QString(50, 'x')));
        QVERIFY(!boxAccepted(NameBox, QString(51, 'x')));
        QVERIFY(!boxAccepted(NameBox, ""));
        QVERIFY(boxAccepted(3, "")); // Address 2 is optional
        QVERIFY(!boxAccepted(3, QString(51, 'x')));
        QVERIFY(boxAccepted(NumberBox, QString(25, 'x')));
        QVERIFY(!boxAccepted(NumberBox, QString(26, 'x')));
        QVERIFY(!boxAccepted(NumberBox, ""));
        // Characters, not UTF-16 units: 25 horses (each two units) fit a 25-character field.
        QString horses;
        for (int i = 0; i < 25; ++i)
            horses += QString::fromUcs4(U"\U0001F40E", 1);
        QVERIFY(boxAccepted(4, horses));
        QVERIFY(!boxAccepted(4, horses + "x"));
    }

    void theStartDateIsRequiredAndMustBeADate() {
        QVERIFY(boxAccepted(StartDateBox, dateText(QDate(2026, 12, 7))));
        QVERIFY(boxAccepted(StartDateBox, "12/7/2026"));
        QVERIFY(!boxAccepted(StartDateBox, ""));
        QVERIFY(!boxAccepted(StartDateBox, "soon"));
        QVERIFY(!boxAccepted(StartDateBox, "2/30/2026"));
    }

    void validationStopsAtTheFirstFailingBoxInIndexOrder() {
        Texts texts;
        texts[0] = "m1";
        texts[1] = "Ann";
        texts[2] = "1 Road";
        texts[4] = "City";
        texts[5] = "TX";
        texts[6] = "79100";
        texts[12] = "Blaze";
        texts[14] = "2026-01-31";
        QStringList asked;
        auto nobodyHasIt = [&](const QString& number) {
            asked << number;
            return false;
        };
        QCOMPARE(firstInvalidBox(texts, nobodyHasIt), -1);
        QCOMPARE(asked, QStringList{"m1"});

        Texts noCityBadDate = texts;
        noCityBadDate[4].clear();
        noCityBadDate[14] = "later";
        QCOMPARE(firstInvalidBox(noCityBadDate, nobodyHasIt), 4);
        QCOMPARE(firstInvalidBox(texts, [](const QString&) { return true; }), 0);

        // A number that breaks its own rule is never looked up.
        asked.clear();
        Texts noNumber = texts;
        noNumber[0].clear();
        QCOMPARE(firstInvalidBox(noNumber, nobodyHasIt), 0);
        QVERIFY(asked.isEmpty());
    }

    void storedForms() {
        QCOMPARE(storedNumber("ab-1ß"), QString("AB-1SS"));
        QCOMPARE(withoutApostrophes("O'Brien's"), QString("O Brien s"));
    }

    void theSafetyCatchWantsAltAlone() {
        QVERIFY(twl::isSafetyCatchKey(Qt::Key_Alt, Qt::NoModifier));
        QVERIFY(twl::isSafetyCatchKey(Qt::Key_Alt, Qt::AltModifier));
        QVERIFY(twl::isSafetyCatchKey(Qt::Key_X, Qt::AltModifier));
        QVERIFY(!twl::isSafetyCatchKey(Qt::Key_X, Qt::NoModifier));
        QVERIFY(!twl::isSafetyCatchKey(Qt::Key_Return, Qt::NoModifier));
        QVERIFY(!twl::isSafetyCatchKey(Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier));
        QVERIFY(!twl::isSafetyCatchKey(Qt::Key_Alt, Qt::ControlModifier));
    }
};

QTEST_GUILESS_MAIN(TestMemberRules)
#include "TestMemberRules.moc"

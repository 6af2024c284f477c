// The account screen's keys on a real X display with a window manager (scripts/on-desktop.sh),
// where access keys and the first focus behave as they do for the user.
#include "OfficeShow.h"
#include "common/Services.h"
#include "office/AccountBook.h"
#include "office/ui/ExhAccount.h"
#include "support/CapturePrinter.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

using namespace twl;

class TestExhAccountKeys : public QObject {
    Q_OBJECT

    ScriptedPrompt m_prompt;
    ScriptedFileChooser m_files;
    FixedClock m_clock{OfficeMorning.date(), OfficeMorning.time()};
    CapturePrinter m_printer;
    TWL_public m_shared;
    Services m_services{{m_prompt, m_files, m_clock, m_printer}, m_shared};

    static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "run through scripts/on-desktop.sh: these cases need a real X display");
    }

    // Number, Enter, amount, Tab, method, Tab, reference, Enter record a payment; Alt+H makes
    // the next line a charge, Alt+N goes back to the amount; Esc closes.
    void theScreenIsWorkedFromTheKeyboard() {
        TestFolder folder;
        ReportShow show(folder);
        fillOfficeShow(show);
        m_shared.session.ShowPath = show.path();
        m_shared.session.ShowConnString =
            store::dataConnectionText(show.path(), TestFolder::Password);
        ExhAccount dialog(m_services);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* amount = dialog.findChild<QLineEdit*>("AmountBox");
        QTRY_COMPARE(QApplication::focusWidget(), dialog.findChild<QLineEdit*>("ExhNoBox"));
        QTest::keyClicks(QApplication::focusWidget(), "12");
        press(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), amount);
        QTest::keyClicks(amount, "$50");
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "ch");
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "1234");
        press(Qt::Key_Return);
        const auto account = [this] {
            return office::AccountBook(m_shared.session.ShowConnString).account(12);
        };
        QCOMPARE(account().payments.size(), size_t(1));
        QCOMPARE(account().payments[0].category, QString("Cheque"));
        QCOMPARE(account().payments[0].text, QString("1234"));
        QCOMPARE(account().payments[0].writtenAt, OfficeMorning);
        QCOMPARE(QApplication::focusWidget(), amount);
        QVERIFY(amount->text().isEmpty());

        press(Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(dialog.findChild<QRadioButton*>("ChargeOpt")->isChecked()); // animated click
        press(Qt::Key_N, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), amount);
        QTest::keyClicks(amount, "15");
        press(Qt::Key_Return);
        QCOMPARE(account().chargeTotal, office::Cents(1500));
        QCOMPARE(account().charges[0].category, QString("Office Fee"));
        QCOMPARE(account().balance, office::Cents(9000 + 1500 - 2750 - 5000));
        press(Qt::Key_Escape);
        QTRY_VERIFY(!dialog.isVisible());
        store::releaseAllConnections();
    }

    // Opened on the exhibitor the main window shows, the screen waits in the amount box.
    void openedOnANumberItWaitsForTheAmount() {
        TestFolder folder;
        ReportShow show(folder);
        fillOfficeShow(show);
        m_shared.session.ShowConnString =
            store::dataConnectionText(show.path(), TestFolder::Password);
        ExhAccount dialog(m_services);
        dialog.setExhibitorNumber("12");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTRY_COMPARE(QApplication::focusWidget(), dialog.findChild<QLineEdit*>("AmountBox"));
        store::releaseAllConnections();
    }
};

QTEST_MAIN(TestExhAccountKeys)
#include "TestExhAccountKeys.moc"

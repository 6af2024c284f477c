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

    // Opened on the exhibitor shown, the screen waits in the amount box; Alt+H makes the line
    // a charge, Alt+N goes back to the amount, Enter records and Esc closes.
    void theScreenIsWorkedFromTheKeyboard() {
        TestFolder folder;
        ReportShow show(folder);
        fillOfficeShow(show);
        m_shared.session.ShowPath = show.path();
        m_shared.session.ShowConnString =
            store::dataConnectionText(show.path(), TestFolder::Password);
        ExhAccount dialog(m_services);
        dialog.setExhibitorNumber("12");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* amount = dialog.findChild<QLineEdit*>("AmountBox");
        QTRY_COMPARE(QApplication::focusWidget(), amount);

        press(Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(dialog.findChild<QRadioButton*>("ChargeOpt")->isChecked()); // an animated click
        press(Qt::Key_N, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), amount);
        QTest::keyClicks(amount, "15");
        press(Qt::Key_Return);
        const office::Account account =
            office::AccountBook(m_shared.session.ShowConnString).account(12);
        QCOMPARE(account.chargeTotal, office::Cents(1500));
        QCOMPARE(QApplication::focusWidget(), amount);

        press(Qt::Key_P, Qt::AltModifier);
        QTRY_VERIFY(dialog.findChild<QRadioButton*>("PaymentOpt")->isChecked());
        press(Qt::Key_Escape);
        QTRY_VERIFY(!dialog.isVisible());
        store::releaseAllConnections();
    }
};

QTEST_MAIN(TestExhAccountKeys)
#include "TestExhAccountKeys.moc"

#include "OfficeShow.h"
#include "app/Application.h"
#include "common/Services.h"
#include "entries/EntryFields.h"
#include "entries/ui/EntryForm.h"
#include "entries/ui/EntryScreen.h"
#include "office/AccountBook.h"
#include "office/ui/ExhAccount.h"
#include "shell/ui/MainTWL.h"
#include "support/CapturePrinter.h"
#include "support/ModalDialogs.h"
#include "support/ReadOnlyFolder.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QtTest>

using namespace twl;
using office::Cents;

class TestExhAccount : public QObject {
    Q_OBJECT

    ScriptedPrompt m_prompt;
    ScriptedFileChooser m_files;
    FixedClock m_clock{OfficeMorning.date(), OfficeMorning.time()};
    CapturePrinter m_printer;
    TWL_public m_shared;
    Services m_services{{m_prompt, m_files, m_clock, m_printer}, m_shared};
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;
    std::unique_ptr<ExhAccount> m_dialog;

    template <typename T> T* child(const char* name) {
        T* widget = m_dialog->findChild<T*>(name);
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    QString text(const char* label) { return child<QLabel>(label)->text(); }
    QLineEdit* amount() { return child<QLineEdit>("AmountBox"); }
    office::Account stored() {
        return office::AccountBook(m_shared.session.ShowConnString).account(12);
    }
    // Types into the amount box and presses Enter there.
    void enterAmount(const QString& typed) {
        amount()->clear();
        amount()->setFocus();
        QTest::keyClicks(amount(), typed);
        QTest::keyClick(amount(), Qt::Key_Return);
    }
    void openOn(const QString& number) {
        m_dialog->setExhibitorNumber(number);
        QCOMPARE(text("BalanceDue"), QString("$62.50"));
    }
    int gridRowOf(const QString& item) {
        auto* grid = child<QTableWidget>("AccountGrid");
        for (int row = 0; row < grid->rowCount(); ++row)
            if (grid->item(row, 1)->text().startsWith(item))
                return row;
        return -1;
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_prompt.clear();
        m_folder = std::make_unique<TestFolder>();
        m_show = std::make_unique<ReportShow>(*m_folder);
        fillOfficeShow(*m_show);
        m_shared = TWL_public{};
        m_shared.session.ShowPath = m_show->path();
        m_shared.session.ShowConnString =
            store::dataConnectionText(m_show->path(), TestFolder::Password);
        m_dialog = std::make_unique<ExhAccount>(m_services);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    }
    void cleanup() {
        m_dialog.reset();
        m_show.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void typingANumberShowsTheAccountAtOnce() {
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Exhibitor Account]"));
        auto* number = child<QLineEdit>("ExhNoBox");
        QTest::keyClicks(number, "1");
        QCOMPARE(text("ExhNames"), QString("Nothing is recorded under this number."));
        QTest::keyClicks(number, "2");
        QCOMPARE(text("ExhNames"), QString("Anna Brooks, Anna Brooks-Hale"));
        QCOMPARE(text("FeeTotal"), QString("$90.00"));
        QCOMPARE(text("PayoutTotal"), QString("$27.50"));
        QCOMPARE(text("BalanceDue"), QString("$62.50"));
        QVERIFY(gridRowOf("Class 3, place 1") > gridRowOf("Class 3"));
        QTest::keyClicks(number, "x");
        QCOMPARE(text("BalanceDue"), QString());
        QVERIFY(text("StatusLine").contains("whole number"));
        QTest::keyClick(number, Qt::Key_Return);
        QVERIFY(number->property("refused").toBool());
    }

    void amountsThatAreNotMoneyMarkTheBox() {
        openOn("12");
        for (const char* typed : {"25.555", "0"}) {
            enterAmount(typed);
            QVERIFY2(amount()->property("refused").toBool(), typed);
            QCOMPARE(QApplication::focusWidget(), amount());
        }
        QVERIFY(stored().payments.empty());
        enterAmount("5");
        QVERIFY(!amount()->property("refused").toBool());
        QCOMPARE(stored().payments.size(), size_t(1));
    }

    void aPaymentAboveTheBalanceAsksFirst() {
        openOn("12");
        m_prompt.script(Prompt::Answer::No);
        enterAmount("100");
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].buttons, Prompt::Buttons::YesNo);
        QVERIFY(m_prompt.shown()[0].text.contains("$100.00 is more than the $62.50 due"));
        QVERIFY(m_prompt.shown()[0].text.contains("owe exhibitor 12 $37.50"));
        QVERIFY(stored().payments.empty());
        m_prompt.script(Prompt::Answer::Yes);
        enterAmount("100");
        QCOMPARE(text("BalanceDue"), QString("-$37.50"));
        QCOMPARE(text("BalanceNote"), QString("The office owes the exhibitor $37.50."));
    }

    void aRefusedWriteIsReportedAndChangesNothing() {
        openOn("12");
        m_show->connection().execute(
            "CREATE TRIGGER NoPayments BEFORE INSERT ON Payments_tbl "
            "BEGIN SELECT RAISE(ABORT, 'the file takes no payments'); END");
        enterAmount("10");
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Critical);
        QVERIFY(m_prompt.shown()[0].text.startsWith(
            "The payment could not be recorded. Nothing has been changed."));
        QVERIFY(m_prompt.shown()[0].text.contains("the file takes no payments"));
        QCOMPARE(text("BalanceDue"), QString("$62.50"));
        QCOMPARE(amount()->text(), QString("10")); // kept for another try
    }

    void aLineIsTakenBackAndTheAccountSettled() {
        std::vector<Cents> printed;
        m_dialog->setStatementPrinter(
            [&printed](const office::Account& account) { printed.push_back(account.balance); });
        openOn("12");
        enterAmount("60");
        auto* grid = child<QTableWidget>("AccountGrid");
        auto* reverse = child<QPushButton>("ReverseBut");
        grid->setCurrentCell(gridRowOf("Class 1"), 0);
        QVERIFY(!reverse->isEnabled()); // fees are not lines of the office's
        grid->setCurrentCell(gridRowOf("Payment 1"), 0);
        m_prompt.script(Prompt::Answer::Yes);
        QTest::mouseClick(reverse, Qt::LeftButton);
        QCOMPARE(text("BalanceDue"), QString("$62.50"));
        QVERIFY(grid->item(gridRowOf("Payment 2"), 2)->text().contains("takes back payment 1"));
        grid->setCurrentCell(gridRowOf("Payment 2"), 0);
        QVERIFY(!reverse->isEnabled());

        m_prompt.clear();
        QTest::mouseClick(child<QPushButton>("SettleBut"), Qt::LeftButton);
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QVERIFY(m_prompt.shown()[0].text.contains("$62.50 is still due"));
        QCOMPARE(text("BalanceNote"), QString());
        enterAmount("62.50");
        QTest::mouseClick(child<QPushButton>("SettleBut"), Qt::LeftButton);
        QCOMPARE(text("BalanceNote"), QString("SETTLED"));
        QVERIFY(stored().settled());
        QCOMPARE(printed, std::vector<Cents>({6250, 0}));
    }

    // The menu item, the toolbar button and the "Exhibitor" tab lead to the account of the
    // exhibitor shown, and the tab says when it is settled.
    void theMainWindowLeadsToTheAccount() {
        m_dialog.reset();
        Seams seams{m_prompt, m_files, m_clock, m_printer};
        Application program(seams, m_folder->path());
        QVERIFY(program.start());
        MainTWL& window = *program.mainWindow();
        QAction* button = window.toolBar()->findChild<QAction*>("Acct");
        QVERIFY(button && !button->isEnabled());
        m_files.script(m_show->path());
        window.command("mnuOpenShow")->trigger();
        QVERIFY(button->isEnabled());
        QCOMPARE(window.command("mnuEditAccount")->text(), QString("Exhibitor Account..."));

        const QString shown = window.findChild<QLabel*>("ExhNo")->text();
        QString opened;
        onModal<ExhAccount>([&opened](ExhAccount& dialog) {
            opened = dialog.findChild<QLineEdit*>("ExhNoBox")->text();
            dialog.reject();
            return true;
        });
        button->trigger();
        QCOMPARE(opened, shown);

        office::AccountBook book(program.shared().session.ShowConnString);
        const int number = shown.toInt();
        book.recordPayment({number, "Cash", "", "", book.account(number).balance}, OfficeMorning);
        book.settle(number, OfficeMorning);
        QTRY_COMPARE(window.findChild<QLabel*>("ExhAcctNote")->text(), QString("Settled"));
    }

    // A show of the revision before the accounts, where it cannot be brought up to date (a
    // read-only folder), opens as it is: its accounts show fees and payouts, and a payment is
    // refused with the reason.
    void anOlderShowThatCannotBeWrittenOpensAsItIs() {
        m_dialog.reset();
        QVERIFY(QDir().mkpath(m_folder->file("archive")));
        const QString older = m_folder->file("archive/Older.twl");
        QVERIFY(QFile::copy(m_show->path(), older));
        {
            store::Connection connection(older, TestFolder::Password);
            for (const char* sql : {"DROP TABLE Charges_tbl", "DROP TABLE Payments_tbl",
                                    "DROP TABLE Settled_tbl", "PRAGMA user_version = 1"})
                connection.execute(sql);
        }
        Seams seams{m_prompt, m_files, m_clock, m_printer};
        Application program(seams, m_folder->path());
        QVERIFY(program.start());
        ReadOnlyFolder locked(m_folder->file("archive"));
        if (locked.writable())
            QSKIP("this file system lets the test's user write anywhere");
        m_files.script(older);
        program.mainWindow()->command("mnuOpenShow")->trigger();
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(program.shared().session.ShowPath, older);
        QCOMPARE(program.mainWindow()->findChild<QLabel*>("ExhAcctNote")->text(), QString());

        QString balance;
        onModal<ExhAccount>([&balance](ExhAccount& dialog) {
            dialog.setExhibitorNumber("12");
            balance = dialog.findChild<QLabel*>("BalanceDue")->text();
            auto* amount = dialog.findChild<QLineEdit*>("AmountBox");
            amount->setText("10");
            QTest::keyClick(amount, Qt::Key_Return);
            dialog.reject();
            return true;
        });
        program.mainWindow()->command("mnuEditAccount")->trigger();
        QCOMPARE(balance, QString("$62.50"));
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QVERIFY(m_prompt.shown()[0].text.startsWith("The payment could not be recorded."));
        program.mainWindow()->command("mnuCloseShow")->trigger();
    }
};

QTEST_MAIN(TestExhAccount)
#include "TestExhAccount.moc"

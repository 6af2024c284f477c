#pragma once

#include "common/Services.h"
#include "office/Account.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace twl::office {
class AccountBook;
}

namespace twl {

// The account of one exhibitor number at the office window, keyboard first: type the number and
// the account shows at once; Enter goes on to the amount; amount, Tab, method, Tab, reference
// and Enter record a payment (or, with "Charge" chosen, a charge); Esc closes. A line is taken
// back with "Reverse Line"; "Settle" marks an account with nothing due settled.
class ExhAccount : public QDialog {
    Q_OBJECT
public:
    explicit ExhAccount(Services& services, QWidget* parent = nullptr);
    ~ExhAccount() override;

    // Opens on an exhibitor number (the one the main window shows).
    void setExhibitorNumber(const QString& number);

    // The printing half of Settle: given the account once Settle has run, settled or not.
    using StatementPrinter = std::function<void(const office::Account&)>;
    void setStatementPrinter(StatementPrinter printer) { m_printStatement = std::move(printer); }

    // The account shown; empty while no valid number is typed or it could not be read.
    const std::optional<office::Account>& account() const { return m_account; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    QWidget* buildNumberRow();
    QWidget* buildTotals();
    QWidget* buildNewLine();
    QWidget* buildButtons();
    void switchLineKind();
    void showAccount();
    void fillGrid(const office::Account& account);
    void fillTotals(const office::Account& account);
    void clearAccount(const QString& status);
    void goToAmount();
    void recordLine();
    bool confirmOverpayment(office::Cents amount);
    void reverseSelectedLine();
    void settle();
    void updateReverseButton();
    void markBox(QWidget* box, bool refused);
    // The show's accounts; empty after telling the user why the file cannot be used.
    office::AccountBook* book();
    // Refused by the file (a full disk, a read-only file) or by the account rules.
    void reportWriteFailure(const QString& what, const QString& reason, bool byTheFile = true);

    Services& m_services;
    std::unique_ptr<office::AccountBook> m_book;
    std::optional<office::Account> m_account;
    StatementPrinter m_printStatement;

    QLineEdit* m_number = nullptr;
    QLabel* m_names = nullptr;
    QTableWidget* m_grid = nullptr;
    QLabel* m_feeTotal = nullptr;
    QLabel* m_chargeTotal = nullptr;
    QLabel* m_payoutTotal = nullptr;
    QLabel* m_paymentTotal = nullptr;
    QLabel* m_balance = nullptr;
    QLabel* m_balanceNote = nullptr;
    QRadioButton* m_payment = nullptr;
    QRadioButton* m_charge = nullptr;
    QLineEdit* m_amount = nullptr;
    QLabel* m_categoryLabel = nullptr;
    QComboBox* m_category = nullptr;
    QLabel* m_textLabel = nullptr;
    QLineEdit* m_text = nullptr;
    QLineEdit* m_receivedBy = nullptr;
    QPushButton* m_record = nullptr;
    QPushButton* m_reverse = nullptr;
    QPushButton* m_settle = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace twl

#pragma once

#include "Account.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

namespace store {
class Connection;
}

namespace twl::office {

// A change the account rules refuse; nothing has been written. The reason is for the user.
class AccountRefused : public std::runtime_error {
public:
    explicit AccountRefused(const QString& reason)
        : std::runtime_error(reason.toStdString()), m_reason(reason) {}
    const QString& reason() const { return m_reason; }

private:
    QString m_reason;
};

// What a charge may be for, and how a payment may be made.
const QStringList& chargeKinds();    // "Office Fee", "Stall", "Late Fee", "Refund", "Other"
const QStringList& paymentMethods(); // "Cash", "Cheque", "Card", "Other"

// The longest texts the lines keep (the fields' sizes); a longer text is refused, never cut.
inline constexpr int ChargeTextLength = 100;
inline constexpr int ReferenceLength = 30;
inline constexpr int ReceivedByLength = 50;

// An exhibitor number as typed: a whole number from 1 to LargestExhibitorNumber.
std::optional<int> parseExhibitorNumber(const QString& text);

struct NewCharge {
    int exhibitorNumber = 0;
    QString kind; // one of chargeKinds()
    QString text;
    Cents amount = 0; // more than zero; "Refund" is money the office hands back
};

struct NewPayment {
    int exhibitorNumber = 0;
    QString method; // one of paymentMethods()
    QString reference;
    QString receivedBy;
    Cents amount = 0; // more than zero
};

// The accounts of one show file. Each change is one transaction: when the rules refuse it
// (AccountRefused) or the file does (store::StoreError: a full disk, a read-only file), nothing
// is written. A charge or payment is never changed: reverse() takes one back with a line of its
// own. Every line carries the date and time it was written.
class AccountBook {
public:
    // Throws store::StoreError when the show file does not open.
    explicit AccountBook(const QString& showConnectionText);

    // Throws store::StoreError when the file cannot be read.
    AccountRows rows(int exhibitorNumber);
    Account account(int exhibitorNumber) { return computeAccount(rows(exhibitorNumber)); }
    // Every exhibitor number with an account: entries, payouts won or lines of the office's,
    // ascending.
    std::vector<int> exhibitorNumbers();
    // The rows and the accounts of every such number, read in one pass over each table.
    std::map<int, AccountRows> allRows();
    std::vector<Account> allAccounts(); // by exhibitor number

    // The payments and reversing payment lines written on `day`, in the order written.
    std::vector<MoneyLine> paymentsOn(const QDate& day);
    // The days on which payment lines were written, ascending.
    std::vector<QDate> paymentDates();

    // The new line's number. A new line takes away the account's settled mark.
    qint64 recordCharge(const NewCharge& charge, const QDateTime& at);
    qint64 recordPayment(const NewPayment& payment, const QDateTime& at);
    // Writes the line that takes back charge or payment `number`: the same kind, method and
    // texts, the negative amount. A line is taken back once; a reversing line is not taken back
    // (the line is recorded again instead).
    qint64 reverse(LineKind kind, qint64 number, const QDateTime& at);
    // Marks the account settled; refused unless its balance is zero and something is recorded
    // under the number.
    void settle(int exhibitorNumber, const QDateTime& at);

private:
    std::shared_ptr<store::Connection> m_show;
    // A show of an older revision opened where it cannot be brought up to date (a read-only
    // folder) has no office lines: none can have been written to it.
    bool m_hasOfficeLines = true;
};

} // namespace twl::office

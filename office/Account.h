#pragma once

#include "Money.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The account of one exhibitor number: what the exhibitor owes for entries and charges, what the
// office owes for payouts won, what has been paid, and the balance. Every screen and printout
// of an account takes its figures from computeAccount and nowhere else.
namespace twl::office {

// Exhibitor numbers are those the entries carry: whole numbers from 1 to 32767.
inline constexpr int LargestExhibitorNumber = 32767;

enum class LineKind { Charge, Payment };

// A charge or a payment as it was written; lines are never changed afterwards.
struct MoneyLine {
    LineKind kind = LineKind::Charge;
    qint64 number = 0; // [Charge No] or [Payment No]
    int exhibitorNumber = 0;
    QDateTime writtenAt;
    QString category;      // a charge's kind ("Office Fee") or a payment's method ("Cheque")
    QString text;          // a charge's text or a payment's reference (a cheque number)
    QString receivedBy;    // payments: who took the money
    Cents amount = 0;      // a reversing line carries the negative of the line it takes back
    qint64 reverses = 0;   // the number of the line this one takes back; 0 for an ordinary line
    bool reversed = false; // a later line takes this one back

    bool isReversal() const { return reverses != 0; }
};

// One entry of the exhibitor, as the entries and the class table hold it.
struct EntryRow {
    int classNo = 0;
    QString className;
    store::Currency classFee; // none when the class has no row
    QString exhibitorName;
    QString horseName;
};

// One payout row of an ended class won under the exhibitor number.
struct PayoutRow {
    int classNo = 0;
    QString className;
    int place = 0;
    store::Currency amount;
    QString exhibitorName;
};

// Everything an account is made of, as read from the show file.
struct AccountRows {
    int exhibitorNumber = 0;
    std::vector<EntryRow> entries;      // in class order
    std::vector<PayoutRow> payouts;     // in class order, then place
    std::vector<MoneyLine> charges;     // in the order written
    std::vector<MoneyLine> payments;    // in the order written
    std::optional<QDateTime> settledAt; // when the account was last marked settled
};

struct FeeLine {
    int classNo = 0;
    QString description; // the class's name
    QString horseName;
    Cents fee = 0;
};

struct PayoutLine {
    int classNo = 0;
    QString description;
    int place = 0;
    Cents payout = 0;
};

struct Account {
    int exhibitorNumber = 0;
    QStringList names; // every name used under the number, in the order first used
    std::vector<FeeLine> fees;
    std::vector<MoneyLine> charges;
    std::vector<PayoutLine> payouts;
    std::vector<MoneyLine> payments;

    Cents feeTotal = 0;
    Cents chargeTotal = 0;
    Cents payoutTotal = 0;
    Cents paymentTotal = 0;
    // fees + charges - payouts - payments; below zero the office owes the exhibitor.
    Cents balance = 0;

    std::optional<QDateTime> settledAt; // the mark, whatever the balance is now
    // Marked settled and nothing due either way. A mark whose balance has moved away from zero
    // (a class ended since, an entry added) no longer counts.
    bool settled() const { return settledAt.has_value() && balance == 0; }
    // Nothing at all under the number.
    bool empty() const {
        return fees.empty() && charges.empty() && payouts.empty() && payments.empty();
    }
};

// Works out every line, total and the balance of an account.
Account computeAccount(const AccountRows& rows);

// What the entry list says of an account beside the exhibitor's number: "Settled" while it is,
// else nothing.
QString accountNote(const Account& account);

// Whether a payment of `amount` pays more than is due, so that the office then owes the
// exhibitor (the screen asks before recording it).
bool paysMoreThanDue(const Account& account, Cents amount);

} // namespace twl::office

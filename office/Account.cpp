#include "Account.h"

#include <QSet>
#include <numeric>

namespace twl::office {

namespace {

void addName(QStringList& names, const QString& name) {
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty() && !names.contains(trimmed, Qt::CaseInsensitive))
        names.append(trimmed);
}

// The lines with a later line taking each back marked as reversed.
std::vector<MoneyLine> markReversals(std::vector<MoneyLine> lines) {
    QSet<qint64> takenBack;
    for (const MoneyLine& line : lines) {
        if (line.isReversal())
            takenBack.insert(line.reverses);
    }
    for (MoneyLine& line : lines)
        line.reversed = takenBack.contains(line.number);
    return lines;
}

template <typename Line, typename Amount>
Cents total(const std::vector<Line>& lines, Amount amountOf) {
    return std::accumulate(lines.begin(), lines.end(), Cents(0),
                           [&](Cents sum, const Line& line) { return sum + amountOf(line); });
}

} // namespace

Account computeAccount(const AccountRows& rows) {
    Account account;
    account.exhibitorNumber = rows.exhibitorNumber;
    for (const EntryRow& entry : rows.entries) {
        account.fees.push_back(
            {entry.classNo, entry.className, entry.horseName, centsOf(entry.classFee)});
        addName(account.names, entry.exhibitorName);
    }
    for (const PayoutRow& payout : rows.payouts) {
        account.payouts.push_back(
            {payout.classNo, payout.className, payout.place, centsOf(payout.amount)});
        addName(account.names, payout.exhibitorName);
    }
    account.charges = markReversals(rows.charges);
    account.payments = markReversals(rows.payments);

    const auto fee = [](const FeeLine& line) { return line.fee; };
    const auto won = [](const PayoutLine& line) { return line.payout; };
    const auto money = [](const MoneyLine& line) { return line.amount; };
    account.feeTotal = total(account.fees, fee);
    account.chargeTotal = total(account.charges, money);
    account.payoutTotal = total(account.payouts, won);
    account.paymentTotal = total(account.payments, money);
    account.balance =
        account.feeTotal + account.chargeTotal - account.payoutTotal - account.paymentTotal;
    account.settledAt = rows.settledAt;
    return account;
}

QString accountNote(const Account& account) {
    return account.settled() ? QStringLiteral("Settled") : QString();
}

bool paysMoreThanDue(const Account& account, Cents amount) {
    return amount > account.balance;
}

} // namespace twl::office

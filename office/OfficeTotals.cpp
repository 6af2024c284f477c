#include "OfficeTotals.h"

#include "AccountBook.h"

#include <algorithm>

namespace twl::office {

BalancesDue balancesDue(const std::vector<Account>& accounts) {
    BalancesDue due;
    for (const Account& account : accounts) {
        if (account.balance > 0)
            due.dueToOffice += account.balance;
        else if (account.balance < 0)
            due.owedByOffice -= account.balance;
        if (account.balance != 0)
            due.accounts.push_back(account);
    }
    std::stable_sort(due.accounts.begin(), due.accounts.end(),
                     [](const Account& a, const Account& b) {
                         return a.balance != b.balance ? a.balance > b.balance
                                                       : a.exhibitorNumber < b.exhibitorNumber;
                     });
    return due;
}

Takings takingsOf(const std::vector<MoneyLine>& payments) {
    const QStringList& known = paymentMethods();
    const auto rank = [&known](const QString& method) {
        const qsizetype at = known.indexOf(method);
        return at < 0 ? known.size() : at;
    };
    std::vector<const MoneyLine*> ordered;
    for (const MoneyLine& line : payments)
        ordered.push_back(&line);
    std::stable_sort(ordered.begin(), ordered.end(), [&](const MoneyLine* a, const MoneyLine* b) {
        const auto ra = rank(a->category);
        const auto rb = rank(b->category);
        return ra != rb ? ra < rb : (ra == known.size() && a->category < b->category);
    });
    Takings takings;
    for (const MoneyLine* line : ordered) {
        if (takings.methods.empty() || takings.methods.back().method != line->category)
            takings.methods.push_back({line->category, {}, 0});
        takings.methods.back().lines.push_back(*line);
        takings.methods.back().total += line->amount;
        takings.total += line->amount;
    }
    return takings;
}

} // namespace twl::office

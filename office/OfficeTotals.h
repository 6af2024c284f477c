#pragma once

#include "Account.h"

#include <vector>

// The office's figures over many accounts or lines: what is still due at the end of the show,
// and what came in on one day. Both are worked out from computeAccount's accounts and the lines
// as written, nothing else.
namespace twl::office {

// Every account with something due either way, the largest balance first (equal balances by
// exhibitor number), with what is due to the office, what it owes and the difference.
struct BalancesDue {
    std::vector<Account> accounts;
    Cents dueToOffice = 0;  // the balances above zero
    Cents owedByOffice = 0; // the balances below zero, as a positive amount
    Cents net() const { return dueToOffice - owedByOffice; }
};
BalancesDue balancesDue(const std::vector<Account>& accounts);

// One day's payment lines by method: the cash drawer at night. A reversing line written that
// day counts against its method (money handed back); the methods come in the order of
// paymentMethods(), any other after them by name, a method without lines left out.
struct MethodTakings {
    QString method;
    std::vector<MoneyLine> lines; // in the order written
    Cents total = 0;
};
struct Takings {
    std::vector<MethodTakings> methods;
    Cents total = 0;
};
Takings takingsOf(const std::vector<MoneyLine>& payments);

} // namespace twl::office

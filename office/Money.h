#pragma once

#include "store/Value.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// Money in the office's accounts: whole cents, exact in every sum.
namespace twl::office {

using Cents = qint64;

// The largest amount one line may carry: $1,000,000.00.
inline constexpr Cents LargestAmount = 100'000'000;

// An amount as the secretary types it: "25", "25.5", "25.50", "$1,250.00", " $ 40 " (commas only
// between groups of three digits, at most two decimals). Empty for anything else, for nothing
// typed, and for more than LargestAmount.
std::optional<Cents> parseAmount(const QString& text);

// "$##,##0.00": 2750 -> "$27.50", 125000 -> "$1,250.00", -500 -> "-$5.00".
QString moneyText(Cents cents);

// A value of the engine's money fields (class fees, payouts) in whole cents, halves away from zero.
Cents centsOf(store::Currency amount);

} // namespace twl::office

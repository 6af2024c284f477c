#pragma once

#include "MultiClassBoard.h"

#include <QString>

namespace twl {

// The multi-class board's reads and writes of the show file's work table MultiSelect_tbl and of
// Class_tbl's ended flags. Both throw store::StoreError.
MultiClassBoard::Flags readMultiClassFlags(const QString& showConnectionText);
// `Selected` := ticked for each class the board uses, in one transaction; true when at least
// one class is ticked.
bool writeMultiClassChoice(const QString& showConnectionText, const MultiClassBoard& board);

} // namespace twl

#pragma once

#include "DelExh.h"

#include <QString>
#include <functional>

namespace store {
class RecordSet;
}

namespace twl {

class Prompt;

// What the user chose in the delete dialog.
struct DeleteChoice {
    bool confirmed = false;
    bool deleteAll = false;
};
// Shows the delete dialog for an entry (modally in the program; scripted in tests).
using AskDelete = std::function<DeleteChoice(const DelExh::ShownEntry&)>;
// The program's dialog, modal over the parent.
AskDelete deleteDialogOver(QWidget* parent);

struct DeleteOutcome {
    bool deleted = false;
    QString message; // for `LastActLabel`
};

// Delete Exhibitor: asks, then deletes the current entry of the list or every entry of its
// exhibitor number, in one transaction. A write the file refuses is reported and changes
// nothing; the list stays on the same entry.
// `writeList` writes the entry list's pending delete (its own batch write when empty).
DeleteOutcome deleteExhibitor(store::RecordSet& entries, const QString& showConnectionText,
                              const AskDelete& ask, Prompt& prompt,
                              const std::function<void()>& writeList = {});

} // namespace twl

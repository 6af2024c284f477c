#pragma once

#include "store/RecordSet.h"

#include <QtGlobal>

namespace twl {

// The values the entry form and the entry lists share while the main window is open.
struct EntryState {
    bool addMode = false;       // a new entry is being typed
    bool editPending = false;   // the shown entry has been changed
    bool frameBlinking = false; // `Bx1` blinks
    bool fillingFields = false; // a field change is the program's, or an add is under way
    bool validating = false;    // validation rewrites the fields
    bool nameLookupOnLeave = false;
    bool validationFailed = false;
    qint16 errorField = 0;
    qint16 lastEditedField = 0;
    qint16 shownClass = 0; // class number of the entry filled into the fields
    bool multiClassChosen = false;
    bool exhibitorNoFixed = false; // an earlier name was taken over: the number stays as it is
    bool addingRecord = false;     // a row is being appended: the entry list ignores moves
    bool movingRecord = false;     // the entry list's move handler is running
    // The row the next refresh returns to; empty: the first row.
    store::RecordSet::Bookmark lastBookmark = store::RecordSet::NoBookmark;

    bool sorting = false; // SortAndRefresh runs: the entry list ignores moves
    bool refreshingExhibitorList = false;
    qint32 entryCount = 0; // rows of the entry list at the last SortAndRefresh
    double classCountAverage = 0;
    qint16 gridClickSource = 0; // 1 = Grid_E, 2 = Grid_S
    // Set while the entry screen writes entries itself: it updates its own lists then, and the
    // change notice of that write is not for it.
    int ownWrites = 0;
};

// Marks the entry screen's own write for as long as it lives.
class OwnEntryWrite {
public:
    explicit OwnEntryWrite(EntryState& state) : m_state(state) { ++m_state.ownWrites; }
    ~OwnEntryWrite() { --m_state.ownWrites; }
    OwnEntryWrite(const OwnEntryWrite&) = delete;
    OwnEntryWrite& operator=(const OwnEntryWrite&) = delete;

private:
    EntryState& m_state;
};

} // namespace twl

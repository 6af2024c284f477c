#pragma once

#include <QString>
#include <array>

namespace twl {

// One of the View menu's "Sort by" commands: which field orders the entry list and which
// entry-field label the sort marker `SortInd` stands beside.
struct SortKey {
    int index;            // the sort key index, 1 to 9
    const char* itemName; // object name of the View / Sort by menu item
    const char* caption;
    int functionKey;   // n of the item's shortcut key Fn
    const char* field; // the field the entry list is ordered by, e.g. "[Class No]"
    int labelRow;      // row of the marked entry-field label, 1 at the top
};

inline constexpr int FirstSortKeyIndex = 1;
inline constexpr int LastSortKeyIndex = 9;
inline constexpr int EntryLabelRowCount = 13;

// The nine sort keys in menu order (index 1 first).
const std::array<SortKey, 9>& sortKeys();
// The sort key with this index; nullptr outside 1 to 9.
const SortKey* sortKeyFor(int index);
// The sort field of an index; empty outside 1 to 9.
QString sortField(int index);
// The label row marked for an index; 0 outside 1 to 9.
int sortLabelRow(int index);

// The caption of an entry-field label row ("Exhibitor No." is row 1); empty outside 1 to 13.
QString entryLabelCaption(int labelRow);

// The entry-field labels lie in rows of 360 twips; the marker's top for a row.
int sortIndicatorTopTwips(int labelRow);
// Twips to screen pixels at 96 dpi (15 twips per pixel), rounded to the nearest pixel.
int twipsToPixels(int twips);

} // namespace twl

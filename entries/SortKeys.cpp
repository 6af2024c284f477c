#include "SortKeys.h"

namespace twl {

namespace {

constexpr std::array<SortKey, 9> SortKeyTable{{
    {1, "mnuViewSortClass", "Class", 1, "[Class No]", 5},
    {2, "mnuViewSortExhNo", "Exhibitor Number", 2, "[Show Exh No]", 1},
    {3, "mnuViewSortExhNa", "Exhibitor Name", 3, "[Show Exh Nam]", 3},
    {4, "mnuViewSortHorseNa", "Horse Name", 4, "[Horse Name]", 2},
    {5, "mnuViewSortReg", "Reg No.", 5, "[Reg No]", 4},
    {6, "mnuViewSortMemNo", "Member Number", 6, "[Member Number]", 6},
    {7, "mnuViewSortOwnerNa", "Owner Name", 7, "[Owner Name]", 8},
    {8, "mnuViewSortAmatNo", "Amateur No.", 8, "[Amateur No]", 10},
    {9, "mnuViewSortMiscID", "Misc. ID", 9, "[Misc ID]", 11},
}};

constexpr std::array<const char*, EntryLabelRowCount> EntryLabels{
    "Exhibitor No.", "Horse Name", "Exhibitor Name", "Reg. No.",    "Class No.",
    "Member No.",    "Exh. Phone", "Owner Name",     "Owner State", "Amateur No.",
    "Misc. ID",      "Email",      "Place"};

constexpr int TwipsPerPixel = 15;
constexpr int LabelRowTopTwips = 760;
constexpr int LabelRowHeightTwips = 360;

} // namespace

const std::array<SortKey, 9>& sortKeys() {
    return SortKeyTable;
}

const SortKey* sortKeyFor(int index) {
    if (index < FirstSortKeyIndex || index > LastSortKeyIndex)
        return nullptr;
    return &SortKeyTable[static_cast<std::size_t>(index - FirstSortKeyIndex)];
}

QString sortField(int index) {
    const SortKey* key = sortKeyFor(index);
    return key ? QString::fromLatin1(key->field) : QString();
}

int sortLabelRow(int index) {
    const SortKey* key = sortKeyFor(index);
    return key ? key->labelRow : 0;
}

QString entryLabelCaption(int labelRow) {
    if (labelRow < 1 || labelRow > EntryLabelRowCount)
        return {};
    return QString::fromLatin1(EntryLabels[static_cast<std::size_t>(labelRow - 1)]);
}

int sortIndicatorTopTwips(int labelRow) {
    return LabelRowTopTwips + LabelRowHeightTwips * labelRow;
}

int twipsToPixels(int twips) {
    // Round half away from zero so that negative offsets mirror positive ones.
    const int half = TwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / TwipsPerPixel : -((-twips + half) / TwipsPerPixel);
}

} // namespace twl

#include "EntryFields.h"

#include "SortKeys.h"

namespace twl {

namespace {

constexpr std::array<EntryFieldDef, EntryFieldCount> Defs{{
    {"Show Exh No", 975, false, WhiteBgr},
    {"Horse Name", 2175, true, WhiteBgr},
    {"Show Exh Nam", 2175, true, WhiteBgr},
    {"Reg No", 1215, false, LightGreyBgr},
    {"Class No", 1215, false, WhiteBgr},
    {"Member Number", 1215, false, LightGreyBgr},
    {"Exhibitor Phone", 2175, false, LightGreyBgr},
    {"Owner Name", 2175, true, WhiteBgr},
    {"Owner State", 1215, true, WhiteBgr},
    {"Amateur No", 2175, false, LightGreyBgr},
    {"Misc ID", 2175, false, LightGreyBgr},
    {"Email", 2175, false, LightGreyBgr},
    {"Place", 975, false, PaleYellowBgr},
}};

// Members_tbl names the amateur number and the miscellaneous id with its "Mem " prefix.
constexpr std::array<MemberFieldMapping, 9> MemberMappings{{
    {HorseNameField, "Mem Horse"},
    {ExhibitorNameField, "Mem Nam"},
    {3, "Mem Reg No"},
    {6, "Mem Phone"},
    {OwnerNameField, "Mem Nam"},
    {OwnerStateField, "Mem State"},
    {9, "Mem Amat No"},
    {10, "Mem Misc ID"},
    {11, "Mem Email"},
}};

constexpr std::array<int, 10> EarlierNameFields{1, 2, 3, 5, 6, 7, 8, 9, 10, 11};

} // namespace

const EntryFieldDef& entryFieldDef(int index) {
    return Defs.at(static_cast<std::size_t>(index));
}

QString entryFieldLabel(int index) {
    return entryLabelCaption(index + 1);
}

QString entryFieldName(int index) {
    if (index < 0 || index >= EntryFieldCount)
        return {};
    return QString::fromLatin1(entryFieldDef(index).field);
}

const std::array<MemberFieldMapping, 9>& memberFieldMappings() {
    return MemberMappings;
}

const std::array<int, 10>& earlierNameFields() {
    return EarlierNameFields;
}

} // namespace twl

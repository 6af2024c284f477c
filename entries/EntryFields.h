#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

namespace twl {

// The thirteen fields of the entry form, `TXT1(0)` to `TXT1(12)`, and the `Entries_tbl` field
// each shows. Colours are written as 0xBBGGRR, as the show's paperwork and forms name them.
inline constexpr int EntryFieldCount = 13;
inline constexpr int ExhibitorNoField = 0;
inline constexpr int HorseNameField = 1;
inline constexpr int ExhibitorNameField = 2;
inline constexpr int ClassNoField = 4;
inline constexpr int MemberNoField = 5;
inline constexpr int OwnerNameField = 7;
inline constexpr int OwnerStateField = 8;
inline constexpr int PlaceField = 12;
// Fields 0 to 11 are written; the place is shown only.
inline constexpr int WrittenFieldCount = 12;

inline constexpr quint32 WhiteBgr = 0xFFFFFF;
inline constexpr quint32 LightGreyBgr = 0xE0E0E0;
inline constexpr quint32 PaleYellowBgr = 0xDFFFFD;
inline constexpr quint32 DarkGreyBgr = 0x808080;
inline constexpr quint32 BlueBgr = 0xFF0000;
inline constexpr quint32 RedBgr = 0x0000FF;

// The label beside field i is the entry label row i + 1 of entries/SortKeys.h.
struct EntryFieldDef {
    const char* field; // the Entries_tbl field, without brackets
    int widthTwips;
    bool windowColour; // the system's text-box background rather than `background`
    quint32 background;
};

const EntryFieldDef& entryFieldDef(int index);
// The caption of the label beside an entry field.
QString entryFieldLabel(int index);
// The Entries_tbl field of an entry field, e.g. "Show Exh No"; empty outside 0 to 12.
QString entryFieldName(int index);

// Where the member look-up puts a `Members_tbl` field.
struct MemberFieldMapping {
    int entryField;
    const char* memberField;
};
const std::array<MemberFieldMapping, 9>& memberFieldMappings();

// The fields taken over from an earlier entry of the same exhibitor number (not the class,
// not the place, not the number itself).
const std::array<int, 10>& earlierNameFields();

} // namespace twl

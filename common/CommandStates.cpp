#include "CommandStates.h"

#include <initializer_list>

namespace twl {

namespace {

constexpr std::array<ToolbarButton, 9> ToolbarTable{{
    {"AddE", "Add", "Add Exhibitor to Show", "mnuEditEnterExh"},
    {"DelEnt", "Delete", "Delete Exhibitor from Show", "mnuEditDelExh"},
    {"PrintR", "Reports", "Print Reports Menu", "mnuFilePrint"},
    {"Mem", "Members", "Members Menu", "mnuOrgMembership"},
    {"Class", "Classes", "Edit Classes Menu", "mnuToolsClasses"},
    {"Win", "Winners", "Enter Winners", "mnuToolsWinners"},
    {"Pay", "Payouts", "Payout Sheet", "mnuToolsPaySheet"},
    {"PrintS", "Score", "Print Judge Score Sheet", "mnuToolsScoreSheet"},
    {"Search", "Search", "Search Menu", "mnuEditSearch"},
}};

void setAll(QMap<QString, bool>& map, std::initializer_list<const char*> names, bool enabled) {
    for (const char* name : names)
        map.insert(QString::fromLatin1(name), enabled);
}

} // namespace

CommandStates commandStatesFor(ShowState state, bool justOpened) {
    const bool open = state != ShowState::NoShow;
    const bool entries = state == ShowState::ShowWithEntries;

    CommandStates s;
    setAll(s.commands, {"mnuNewShow", "mnuOpenShow"}, !open);
    setAll(s.commands,
           {"mnuCloseShow", "mnuCompact", "mnuShowInfo", "mnuEdit", "mnuTools", "mnuView"}, open);
    setAll(s.commands, {"mnuEditDelExh", "mnuToolsWinners", "mnuEditSearch"}, entries);
    setAll(s.commands, {"mnuFilePrint"}, entries || (open && justOpened));
    setAll(s.commands, {"mnuFileExportResults"}, open);
    setAll(s.commands, {"mnuOrg", "mnuAbout", "mnuFileExit"}, true);

    setAll(s.buttons, {"AddE", "Class"}, open);
    setAll(s.buttons, {"DelEnt", "PrintS", "PrintR", "Win", "Pay", "Search"}, entries);
    setAll(s.buttons, {"Mem"}, true);

    s.navigationBarShown = entries;
    s.tabStripEnabled = entries;
    return s;
}

const std::array<ToolbarButton, 9>& toolbarButtons() {
    return ToolbarTable;
}

const ToolbarButton* toolbarButtonFor(const QString& key) {
    for (const ToolbarButton& button : ToolbarTable) {
        if (key == QLatin1String(button.key))
            return &button;
    }
    return nullptr;
}

} // namespace twl

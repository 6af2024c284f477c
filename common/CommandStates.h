#pragma once

#include <QMap>
#include <QString>
#include <array>

namespace twl {

// Where the program stands, as far as the main window's commands care.
enum class ShowState { NoShow, ShowNoEntries, ShowWithEntries };

// What the main window offers in one show state.
struct CommandStates {
    // Menu and menu-item object names (a menu's name stands for the whole menu) -> enabled.
    QMap<QString, bool> commands;
    // Toolbar button keys -> enabled.
    QMap<QString, bool> buttons;
    bool navigationBarShown = false; // `PriAdo`
    bool tabStripEnabled = false;    // `SSTab1`

    // False for a name the state does not decide.
    bool commandEnabled(const QString& name) const { return commands.value(name, false); }
};

// The command states of a show state. `justOpened` marks the moment straight after a show was
// opened: Open enables its File-menu items after the entries rules ran, so Print Menu is usable
// then even when the show has no entries, until the entries rules run again.
CommandStates commandStatesFor(ShowState state, bool justOpened = false);

// A toolbar button; `menuItem` is the menu command the button does the same as.
struct ToolbarButton {
    const char* key;
    const char* caption;
    const char* tooltip;
    const char* menuItem;
};

// The nine toolbar buttons, left to right.
const std::array<ToolbarButton, 9>& toolbarButtons();
// The button with this key; nullptr for a key that is not on the toolbar.
const ToolbarButton* toolbarButtonFor(const QString& key);

} // namespace twl

#pragma once

#include "common/CommandStates.h"
#include "common/MainWindowFrame.h"
#include "common/Services.h"
#include "entries/SortKeys.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <utility>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace twl {

// The program's only top-level window: menus, toolbar, tab strip and the rules that switch
// commands on and off as the program moves between no show, a show without entries and a show
// with entries. The entry form and the contents of the grids and lists are composed by their
// own screens into the widgets created here (found by object name or through the accessors).
class MainTWL : public QMainWindow, public MainWindowFrame {
    Q_OBJECT

public:
    // `PriAdo`, the entry list's navigation bar: |< < caption > >|.
    struct NavigationBar {
        QWidget* bar = nullptr;
        QToolButton* first = nullptr;
        QToolButton* previous = nullptr;
        QToolButton* next = nullptr;
        QToolButton* last = nullptr;
        QLabel* caption = nullptr;
    };

    // The entry form keeps this many pixels free at its left edge for `SortInd`.
    static constexpr int SortIndicatorMargin = 16;

    explicit MainTWL(Services& services, QWidget* parent = nullptr);

    Services& services() const override { return m_services; }
    QWidget& window() override { return *this; }

    QWidget* entryFormArea() const override { return m_entryFormArea; }
    QTabWidget* tabStrip() const override { return m_tabStrip; }
    void insertTab(int index, QWidget* page, const QString& caption) override;
    QToolBar* toolBar() const { return m_toolBar; }
    QLabel* lastActionLabel() const override { return m_lastActionLabel; }
    QWidget* sortIndicator() const { return m_sortIndicator; }
    const NavigationBar& navigationBar() const { return m_navigationBar; }

    // The action of a menu item, of a menu (its menu-bar or submenu entry) or of `mnuAbout`,
    // by object name; nullptr for an unknown name.
    QAction* command(const QString& objectName) const;
    // A menu or submenu by object name; nullptr for an unknown name.
    QMenu* menu(const QString& objectName) const;
    // A toolbar button's action by key; nullptr for a key not on the toolbar.
    QAction* toolbarAction(const QString& key) const;

    ShowState showState() const override { return m_showState; }
    // Switches commands, `PriAdo` and `SSTab1` to a show state; with no show open (ShowPath
    // empty) that is the no-show state, whatever was asked. The first tab is shown in every
    // state except when a show with entries is applied again without a change of state.
    void applyShowState(ShowState state, bool justOpened = false) override;
    // When disabling, first shows the first tab.
    void enableTabStrip(bool enabled) override;
    // Locks the frame while an entry is being typed: toolbar and menus off; `PriAdo` and
    // `SSTab1` too when the show has entries. Unlocking gives back what the show state allows.
    void lockFrame(bool locked, bool showHasEntries) override;
    bool isFrameLocked() const { return m_locked; }

    // Tab stops: remembered once per widget; set all on or off, and put back.
    void rememberTabStops();
    void setAllTabStops(bool tabStop) override;
    void restoreTabStops() override;

    // The current View sort key, 1 to 9; setting it also moves `SortInd` to the key's label.
    int sortKeyIndex() const override { return m_sortKeyIndex; }
    void setSortKeyIndex(int index) override;
    // Places `SortInd` beside an entry-field label row (1 at the top) of the entry form.
    void setSortIndicatorRow(int labelRow) override;
    void setSortIndicatorVisible(bool visible);

public slots:
    // What a click on a toolbar button does; a key not on the toolbar does nothing.
    void dispatchToolbarKey(const QString& key);

signals:
    // A toolbar button was clicked.
    void commandRequested(const QString& key);
    // A View / Sort by item was chosen; the sort key index is already set.
    void sortRequested(int index);
    // The window is about to close; emitted once.
    void unloading();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QMenu* addMenu(QWidget* owner, const char* name, const QString& caption);
    QAction* addItem(QMenu* owner, const char* name, const QString& caption);
    void buildMenus();
    void buildFileMenu();
    void buildEditAndToolsMenus();
    void buildViewMenu();
    void buildOrganizationMenu();
    void buildToolBar();
    void buildCentralArea();
    QWidget* buildEntryColumn(QWidget* parent);
    QWidget* buildNavigationBar(QWidget* parent);
    void buildTabStrip(QWidget* parent);
    void buildSortIndicator();
    void applyMenuLock();
    QList<QWidget*> tabStopHolders() const;

    Services& m_services;
    QHash<QString, QAction*> m_commands;
    QHash<QString, QMenu*> m_menus;
    QHash<QString, QAction*> m_toolbarActions;
    // The show state's word on the menus that locking the frame also switches.
    QHash<QString, bool> m_stateAllowsMenu;
    QToolBar* m_toolBar = nullptr;
    QTabWidget* m_tabStrip = nullptr;
    QWidget* m_entryFormArea = nullptr;
    QLabel* m_lastActionLabel = nullptr;
    QWidget* m_sortIndicator = nullptr;
    NavigationBar m_navigationBar;
    std::vector<std::pair<QPointer<QWidget>, Qt::FocusPolicy>> m_tabStops;
    ShowState m_showState = ShowState::NoShow;
    int m_sortKeyIndex = FirstSortKeyIndex;
    bool m_locked = false;
    bool m_unloaded = false;
};

} // namespace twl

#include "common/CommandStates.h"
#include "common/MainDataSources.h"
#include "entries/SortKeys.h"
#include "entries/ui/EntryScreen.h"
#include "shell/ui/MainTWL.h"
#include "shell/ui/ToolbarIcons.h"
#include "support/CapturePrinter.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

#include <set>

using namespace twl;

namespace {

using Names = std::set<QString>;

// Names written as one space-separated text.
Names names(const char* list) {
    const QStringList words = QString::fromLatin1(list).split(' ', Qt::SkipEmptyParts);
    return Names(words.begin(), words.end());
}

struct Fixture {
    ScriptedPrompt prompt;
    ScriptedFileChooser files;
    FixedClock clock{QDate(2024, 5, 18)};
    TWL_public shared;
    CapturePrinter printer;
    Services services{prompt, files, clock, printer, shared};
    MainTWL window{services};
    // The entry screen puts its pages on the window's tab strip.
    MainDataSources sources;
    EntryScreen entries{window, sources};
    // The states are switched by hand here, as the show commands do: a show is taken to be
    // open (with none, every state is the no-show state).
    Fixture() { shared.session.ShowPath = QStringLiteral("/shows/Spring.twl"); }
};

// Whether a user could reach the command: the action and every menu (or the toolbar) on the
// way to it are enabled.
bool usable(const QAction* action) {
    if (!action->isEnabled())
        return false;
    for (QObject* owner : action->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(owner); menu && menu->menuAction() != action)
            return usable(menu->menuAction());
        if (auto* bar = qobject_cast<QMenuBar*>(owner))
            return bar->isEnabled();
        if (auto* toolBar = qobject_cast<QToolBar*>(owner))
            return toolBar->isEnabled();
    }
    return false;
}

// The menu commands (not the menus themselves) and toolbar keys a user can reach.
Names usableCommands(const MainTWL& window) {
    Names names;
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->objectName().isEmpty() || action->menu())
            continue;
        if (usable(action))
            names.insert(action->objectName());
    }
    return names;
}

// Usable whatever the show state.
const Names AlwaysUsable = names("mnuOrgData mnuOrgMembership mnuOrgCfgPoints mnuOrgCfgPayout "
                                 "mnuOrgPrnMemRosterRpt mnuOrgPrnMemProfileRpt mnuOrgPrnMmerge "
                                 "mnuOrgPrnPointsStatement mnuAbout mnuFileExit Mem");

Names unite(Names a, const Names& b) {
    a.insert(b.begin(), b.end());
    return a;
}

const Names NoShowCommands = unite(AlwaysUsable, names("mnuNewShow mnuOpenShow"));

Names noEntriesCommands(bool printable) {
    Names usable =
        unite(AlwaysUsable, names("mnuCloseShow mnuCompact mnuShowInfo mnuEditEnterExh "
                                  "mnuEditAccount "
                                  "mnuToolsClasses mnuToolsScoreSheet mnuToolsPaySheet mnuToolsEnd "
                                  "AddE Class mnuViewSortClass mnuViewSortExhNo mnuViewSortExhNa "
                                  "mnuViewSortHorseNa mnuViewSortReg mnuViewSortMemNo "
                                  "mnuViewSortOwnerNa mnuViewSortAmatNo mnuViewSortMiscID"));
    if (printable)
        usable.insert("mnuFilePrint");
    usable.insert("mnuFileExportResults");
    return usable;
}

const Names WithEntriesCommands =
    unite(noEntriesCommands(true), names("mnuEditDelExh mnuEditSearch mnuToolsWinners DelEnt "
                                         "PrintR Win Pay PrintS Search"));

template <typename T> T* child(const MainTWL& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qWarning("no child named %s", name);
    return found;
}

bool hasColour(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 0 && (c.red() != c.green() || c.green() != c.blue()))
                return true;
        }
    }
    return false;
}

void showActive(MainTWL& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startsWithNoShow() {
        Fixture f;
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Trotwell"));
        QCOMPARE(usableCommands(f.window), NoShowCommands);

        auto* tabs = child<QTabWidget>(f.window, "SSTab1");
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 5);
        const QStringList captions{"Entries", "Exhibitor", "Show Info", "Search", "Tab 4"};
        for (int i = 0; i < tabs->count(); ++i)
            QCOMPARE(tabs->tabText(i), captions[i]);
        QVERIFY(!tabs->isTabVisible(4));
        QVERIFY(!tabs->isTabEnabled(4));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!tabs->isEnabled());
        QVERIFY(child<QWidget>(f.window, "PriAdo")->isHidden());
        QVERIFY(!child<QWidget>(f.window, "SortInd")->isHidden());

        for (const char* name :
             {"T1_0", "T1_5", "L_1", "L_6", "Grid_E", "ExhRecCnt", "ExhNo", "clID", "CDbx",
              "LstScrPrnt", "TotClsUsd", "AveCls", "TotEn", "Grid_S", "SrxhWrd", "SrchRecCnt",
              "LastActLabel", "EntryFormArea"})
            QVERIFY2(child<QWidget>(f.window, name), name);
        QCOMPARE(f.window.entryFormArea(), child<QWidget>(f.window, "EntryFormArea"));
    }

    void menusHaveTheirCaptions() {
        Fixture f;
        struct Row {
            const char* name;
            const char* caption;
            const char* menu; // the menu holding it; empty for the menu bar
        };
        // clang-format off
    const Row rows[] = {
        {"mnuFile", "&File", ""}, {"mnuNewShow", "New Show", "mnuFile"},
        {"mnuOpenShow", "Open Show", "mnuFile"}, {"mnuCloseShow", "Close Show", "mnuFile"},
        {"mnuCompact", "Repair / Compress", "mnuFile"}, {"mnuFilePrint", "&Print Menu", "mnuFile"},
        {"mnuShowInfo", "Show Information", "mnuFile"}, {"mnuFileExit", "Exit", "mnuFile"},
        {"mnuFileExportResults", "Export &Results...", "mnuFile"},
        {"mnuEdit", "&Edit", ""}, {"mnuEditEnterExh", "Add Exhibitor", "mnuEdit"},
        {"mnuEditDelExh", "Delete Exhibitor", "mnuEdit"}, {"mnuEditSearch", "Search", "mnuEdit"},
        {"mnuTools", "&Tools", ""}, {"mnuToolsWinners", "Edit Show Winners", "mnuTools"},
        {"mnuToolsClasses", "Edit Classes", "mnuTools"},
        {"mnuToolsScoreSheet", "Score Sheet", "mnuTools"},
        {"mnuToolsPaySheet", "Payout Sheet", "mnuTools"}, {"mnuToolsEnd", "End Class", "mnuTools"},
        {"mnuView", "&View", ""}, {"mnuViewSort", "Sort by", "mnuView"},
        {"mnuOrg", "&Organization", ""}, {"mnuOrgData", "Organization Detail", "mnuOrg"},
        {"mnuOrgMembership", "Membership", "mnuOrg"},
        {"mnuOrgCfgPoints", "Configure Points", "mnuOrg"},
        {"mnuOrgCfgPayout", "Configure Pay Out", "mnuOrg"},
        {"mnuOrgPrn", "Print Member Reports", "mnuOrg"},
        {"mnuOrgPrnMemRosterRpt", "Member Roster", "mnuOrgPrn"},
        {"mnuOrgPrnMemProfileRpt", "Member Profile", "mnuOrgPrn"},
        {"mnuOrgPrnMmerge", "Mail Merge File", "mnuOrgPrn"},
        {"mnuOrgPrnPointsStatement", "Points Statement", "mnuOrgPrn"},
        {"mnuAbout", "&About ", ""},
    };
        // clang-format on
        QList<QAction*> barOrder;
        for (const Row& row : rows) {
            QAction* action = f.window.command(QString::fromLatin1(row.name));
            QVERIFY2(action, row.name);
            QCOMPARE(action->text(), QString::fromLatin1(row.caption));
            if (*row.menu) {
                QVERIFY2(child<QMenu>(f.window, row.menu)->actions().contains(action), row.name);
            } else {
                QVERIFY2(f.window.menuBar()->actions().contains(action), row.name);
                barOrder.append(action);
            }
        }
        QCOMPARE(f.window.menuBar()->actions(), barOrder);
        // About is a command of its own on the menu bar, not a menu.
        QSignalSpy about(f.window.command("mnuAbout"), &QAction::triggered);
        f.window.command("mnuAbout")->trigger();
        QCOMPARE(about.count(), 1);
        QVERIFY(!f.window.command("mnuAbout")->menu());
    }

    void openingAShowWithoutEntries() {
        Fixture f;
        f.window.applyShowState(ShowState::ShowNoEntries, true);
        // Straight after Open the Print Menu is usable even though there is nothing to print.
        QCOMPARE(usableCommands(f.window), noEntriesCommands(true));
        QVERIFY(f.window.findChild<QWidget*>("PriAdo")->isHidden());
        QVERIFY(!f.window.tabStrip()->isEnabled());

        // The entries rules running again on the empty list take it away.
        f.window.applyShowState(ShowState::ShowNoEntries);
        QCOMPARE(usableCommands(f.window), noEntriesCommands(false));
    }

    void entriesComeAndGo() {
        Fixture f;
        QTabWidget* tabs = f.window.tabStrip();
        f.window.applyShowState(ShowState::ShowNoEntries, true);

        f.window.applyShowState(ShowState::ShowWithEntries);
        QCOMPARE(usableCommands(f.window), WithEntriesCommands);
        QVERIFY(!f.window.findChild<QWidget*>("PriAdo")->isHidden());
        QVERIFY(tabs->isEnabled());
        QCOMPARE(tabs->currentIndex(), 0);

        // Another refresh with entries leaves the user on the tab they chose.
        tabs->setCurrentIndex(3);
        f.window.applyShowState(ShowState::ShowWithEntries);
        QCOMPARE(tabs->currentIndex(), 3);

        // Deleting the last entry.
        f.window.applyShowState(ShowState::ShowNoEntries);
        QCOMPARE(usableCommands(f.window), noEntriesCommands(false));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!tabs->isEnabled());
        QVERIFY(f.window.findChild<QWidget*>("PriAdo")->isHidden());

        // The first entry of a show shows the first tab again.
        f.window.applyShowState(ShowState::ShowWithEntries);
        tabs->setCurrentIndex(2);
        f.window.applyShowState(ShowState::ShowNoEntries);
        f.window.applyShowState(ShowState::ShowWithEntries);
        QCOMPARE(tabs->currentIndex(), 0);

        // Closing the show.
        tabs->setCurrentIndex(1);
        f.window.applyShowState(ShowState::NoShow);
        QCOMPARE(usableCommands(f.window), NoShowCommands);
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(!tabs->isEnabled());
        QVERIFY(f.window.findChild<QWidget*>("PriAdo")->isHidden());
    }

    void commandStateTable() {
        const ShowState states[] = {ShowState::NoShow, ShowState::ShowNoEntries,
                                    ShowState::ShowWithEntries};
        const CommandStates reference = commandStatesFor(ShowState::NoShow);
        QCOMPARE(reference.buttons.size(), 9);
        for (ShowState state : states) {
            const CommandStates plain = commandStatesFor(state);
            const CommandStates opened = commandStatesFor(state, true);
            // Every state decides every element.
            QCOMPARE(plain.commands.keys(), reference.commands.keys());
            QCOMPARE(plain.buttons.keys(), reference.buttons.keys());
            // Having just opened matters only to the Print Menu of a show without entries.
            for (const QString& name : plain.commands.keys()) {
                const bool differs = plain.commandEnabled(name) != opened.commandEnabled(name);
                QCOMPARE(differs, state == ShowState::ShowNoEntries && name == "mnuFilePrint");
            }
            QCOMPARE(plain.buttons, opened.buttons);
            const bool entries = state == ShowState::ShowWithEntries;
            QCOMPARE(plain.navigationBarShown, entries);
            QCOMPARE(plain.tabStripEnabled, entries);
            QVERIFY(plain.commandEnabled("mnuView") == (state != ShowState::NoShow));
        }
        QVERIFY(commandStatesFor(ShowState::ShowNoEntries, true).commandEnabled("mnuFilePrint"));
        QVERIFY(!commandStatesFor(ShowState::ShowWithEntries).commandEnabled("unknown"));
    }

    void toolbarButtons() {
        Fixture f;
        auto* toolBar = child<QToolBar>(f.window, "tbToolBar");
        QVERIFY(toolBar);
        const QStringList keys =
            QStringLiteral("AddE DelEnt PrintR Mem Class Win Pay PrintS Search").split(' ');
        const QStringList captions =
            QStringLiteral("Add Delete Reports Members Classes Winners Payouts Score Search")
                .split(' ');
        const QStringList tips{
            "Add Exhibitor to Show", "Delete Exhibitor from Show", "Print Reports Menu",
            "Members Menu",          "Edit Classes Menu",          "Enter Winners",
            "Payout Sheet",          "Print Judge Score Sheet",    "Search Menu"};
        const QList<QAction*> actions = toolBar->actions();
        QCOMPARE(actions.size(), keys.size());
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions[i]->objectName(), keys[i]);
            QCOMPARE(actions[i]->text(), captions[i]);
            QCOMPARE(actions[i]->toolTip(), tips[i]);
        }

        f.window.show();
        QSignalSpy requests(&f.window, &MainTWL::commandRequested);
        // With no show open, a click on Delete does nothing; Members works.
        QTest::mouseClick(toolBar->widgetForAction(f.window.toolbarAction("DelEnt")),
                          Qt::LeftButton);
        QCOMPARE(requests.count(), 0);
        QTest::mouseClick(toolBar->widgetForAction(f.window.toolbarAction("Mem")), Qt::LeftButton);
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.takeFirst().at(0).toString(), QStringLiteral("Mem"));

        f.window.applyShowState(ShowState::ShowWithEntries);
        for (const QString& key : keys) {
            QTest::mouseClick(toolBar->widgetForAction(f.window.toolbarAction(key)),
                              Qt::LeftButton);
            QCOMPARE(requests.count(), 1);
            QCOMPARE(requests.takeFirst().at(0).toString(), key);
        }
        f.window.dispatchToolbarKey(QStringLiteral("Mem2"));
        f.window.dispatchToolbarKey(QString());
        QCOMPARE(requests.count(), 0);
    }

    void toolbarIconsHaveGreySet() {
        Fixture f;
        for (QAction* action : f.window.toolBar()->actions()) {
            const QImage normal = action->icon().pixmap(24, QIcon::Normal).toImage();
            const QImage disabled = action->icon().pixmap(24, QIcon::Disabled).toImage();
            const QString key = action->objectName();
            QVERIFY2(hasColour(normal) && !hasColour(disabled), qPrintable(key));
            QVERIFY2(disabled != QImage(24, 24, disabled.format()), qPrintable(key));
        }
        // A key that is not on the toolbar draws nothing.
        QCOMPARE(ToolbarIcons::colorImage(QStringLiteral("Nope"), 24).pixelColor(12, 12).alpha(),
                 0);
    }

    void sortCommands() {
        Fixture f;
        showActive(f.window);
        QSignalSpy sorts(&f.window, &MainTWL::sortRequested);
        QWidget* marker = child<QWidget>(f.window, "SortInd");
        QCOMPARE(marker->parentWidget(), f.window.entryFormArea());

        // The View menu is off with no show, and so are its keys.
        QTest::keyClick(&f.window, Qt::Key_F8);
        QCOMPARE(sorts.count(), 0);

        f.window.applyShowState(ShowState::ShowWithEntries, true);
        const QStringList captions{"Class",      "Exhibitor Number", "Exhibitor Name",
                                   "Horse Name", "Reg No.",          "Member Number",
                                   "Owner Name", "Amateur No.",      "Misc. ID"};
        const QStringList markedLabels{"Class No.",  "Exhibitor No.", "Exhibitor Name",
                                       "Horse Name", "Reg. No.",      "Member No.",
                                       "Owner Name", "Amateur No.",   "Misc. ID"};
        auto* sortBy = child<QMenu>(f.window, "mnuViewSort");
        QCOMPARE(sortBy->actions().size(), 9);
        for (int index = 1; index <= 9; ++index) {
            QAction* item = sortBy->actions().at(index - 1);
            QCOMPARE(item->text(), captions[index - 1]);
            const auto fKey = static_cast<Qt::Key>(Qt::Key_F1 + index - 1);
            QCOMPARE(item->shortcut(), QKeySequence(QKeyCombination(fKey)));

            QTest::keyClick(&f.window, fKey);
            QCOMPARE(sorts.count(), 1);
            QCOMPARE(sorts.takeFirst().at(0).toInt(), index);
            QCOMPARE(f.window.sortKeyIndex(), index);
            const int row = sortLabelRow(index);
            QCOMPARE(entryLabelCaption(row), markedLabels[index - 1]);
            QCOMPARE(marker->y(), twipsToPixels(760 + 360 * row));
            QVERIFY(marker->x() + marker->width() <= MainTWL::SortIndicatorMargin);
        }

        f.window.setSortIndicatorVisible(false);
        QVERIFY(marker->isHidden());
        f.window.setSortIndicatorVisible(true);
        QVERIFY(marker->isVisible());
    }

    void sortKeyTable() {
        QCOMPARE(sortField(8), QStringLiteral("[Amateur No]"));
        QCOMPARE(sortField(9), QStringLiteral("[Misc ID]"));
        QVERIFY(sortField(0).isEmpty() && sortField(10).isEmpty() && sortLabelRow(10) == 0);
        QCOMPARE(sortIndicatorTopTwips(10), 4360);
        QCOMPARE(twipsToPixels(1500), 100);
        QCOMPARE(twipsToPixels(1120), 75); // 74.67 px
        QCOMPARE(twipsToPixels(7), 0);
    }

    void lockingTheFrame() {
        Fixture f;
        showActive(f.window);
        f.window.applyShowState(ShowState::ShowWithEntries, true);
        const Names before = usableCommands(f.window);
        QSignalSpy sorts(&f.window, &MainTWL::sortRequested);

        f.window.lockFrame(true, true);
        QVERIFY(usableCommands(f.window).empty());
        QVERIFY(!f.window.findChild<QWidget*>("PriAdo")->isEnabled());
        QVERIFY(!f.window.tabStrip()->isEnabled());
        QTest::keyClick(&f.window, Qt::Key_F2);
        QCOMPARE(sorts.count(), 0);

        f.window.lockFrame(false, true);
        QCOMPARE(usableCommands(f.window), before);
        QVERIFY(f.window.findChild<QWidget*>("PriAdo")->isEnabled());
        QVERIFY(f.window.tabStrip()->isEnabled());
        QTest::keyClick(&f.window, Qt::Key_F2);
        QCOMPARE(sorts.count(), 1);

        // Without entries the tab strip is left alone.
        f.window.lockFrame(true, false);
        QVERIFY(f.window.tabStrip()->isEnabled());
        f.window.lockFrame(false, false);

        // Unlocking gives back only what the show state allows.
        f.window.applyShowState(ShowState::NoShow);
        f.window.lockFrame(true, false);
        f.window.lockFrame(false, false);
        QCOMPARE(usableCommands(f.window), NoShowCommands);
    }

    void enablingTheTabStrip() {
        Fixture f;
        QTabWidget* tabs = f.window.tabStrip();
        f.window.enableTabStrip(true);
        tabs->setCurrentIndex(2);
        f.window.enableTabStrip(false);
        QVERIFY(!tabs->isEnabled());
        QCOMPARE(tabs->currentIndex(), 0);
        tabs->setCurrentIndex(3);
        f.window.enableTabStrip(true);
        QVERIFY(tabs->isEnabled());
        QCOMPARE(tabs->currentIndex(), 3);
    }

    void tabStopsAreRememberedAndRestored() {
        Fixture f;
        QHash<QWidget*, Qt::FocusPolicy> original;
        for (QWidget* widget : f.window.findChildren<QWidget*>())
            original.insert(widget, widget->focusPolicy());
        auto* classNumber = child<QLineEdit>(f.window, "clID");
        QVERIFY(classNumber->focusPolicy() & Qt::TabFocus);

        f.window.setAllTabStops(false);
        // Tab moves only between widgets without a focus proxy.
        for (QWidget* widget : f.window.findChildren<QWidget*>()) {
            if (!widget->focusProxy())
                QVERIFY2(!(widget->focusPolicy() & Qt::TabFocus), qPrintable(widget->objectName()));
        }
        // Still reachable with the mouse.
        QVERIFY(classNumber->focusPolicy() & Qt::ClickFocus);

        f.window.setAllTabStops(true);
        QVERIFY(classNumber->focusPolicy() & Qt::TabFocus);
        QVERIFY(child<QWidget>(f.window, "Grid_E")->focusPolicy() & Qt::TabFocus);

        f.window.setAllTabStops(false);
        f.window.restoreTabStops();
        for (QWidget* widget : f.window.findChildren<QWidget*>())
            QCOMPARE(widget->focusPolicy(), original.value(widget));
    }

    void showInfoTabFocusesClassNumber() {
        Fixture f;
        showActive(f.window);
        f.window.applyShowState(ShowState::ShowWithEntries, true);
        f.window.tabStrip()->setCurrentIndex(2);
        auto* classNumber = child<QLineEdit>(f.window, "clID");
        QTRY_VERIFY(classNumber->hasFocus());
    }

    void exitUnloadsOnce() {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QSignalSpy unloading(&f.window, &MainTWL::unloading);
        f.window.applyShowState(ShowState::ShowWithEntries, true);
        QAction* exit = child<QAction>(f.window, "mnuFileExit");
        QVERIFY(usable(exit));
        exit->trigger();
        QCOMPARE(unloading.count(), 1);
        QVERIFY(!f.window.isVisible());
        f.window.close();
        QCOMPARE(unloading.count(), 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

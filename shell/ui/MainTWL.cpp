#include "MainTWL.h"

#include "common/widgets/InfoLabels.h"

#include "ToolbarIcons.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace twl {

namespace {

// The menus that locking the frame switches off.
const char* const LockableMenus[] = {"mnuFile", "mnuEdit", "mnuTools",
                                     "mnuView", "mnuOrg",  "mnuAbout"};

constexpr int EntriesTab = 0;

QPixmap sortMarkerPixmap() {
    QPixmap pixmap(10, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(120, 0, 0), 1));
    painter.setBrush(QColor(210, 30, 30));
    painter.drawPolygon(QPolygonF{{QPointF(1, 1), QPointF(9, 7), QPointF(1, 13)}});
    return pixmap;
}

QToolButton* navigationButton(const char* name, QStyle::StandardPixmap icon, const QString& tip,
                              QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    return button;
}

} // namespace

MainTWL::MainTWL(Services& services, QWidget* parent) : QMainWindow(parent), m_services(services) {
    setObjectName(QStringLiteral("MainTWL"));
    setWindowTitle(QStringLiteral("Trotwell"));
    buildMenus();
    buildToolBar();
    buildCentralArea();
    resize(790, 560);

    applyShowState(ShowState::NoShow);
    setSortKeyIndex(FirstSortKeyIndex);
    rememberTabStops();
}

QAction* MainTWL::command(const QString& objectName) const {
    return m_commands.value(objectName, nullptr);
}

QMenu* MainTWL::menu(const QString& objectName) const {
    return m_menus.value(objectName, nullptr);
}

QAction* MainTWL::toolbarAction(const QString& key) const {
    return m_toolbarActions.value(key, nullptr);
}

// ---- menus ----

QMenu* MainTWL::addMenu(QWidget* owner, const char* name, const QString& caption) {
    auto* bar = qobject_cast<QMenuBar*>(owner);
    QMenu* created = bar ? bar->addMenu(caption) : static_cast<QMenu*>(owner)->addMenu(caption);
    const QString objectName = QString::fromLatin1(name);
    created->setObjectName(objectName);
    m_menus.insert(objectName, created);
    m_commands.insert(objectName, created->menuAction());
    return created;
}

QAction* MainTWL::addItem(QMenu* owner, const char* name, const QString& caption) {
    QAction* action = owner->addAction(caption);
    const QString objectName = QString::fromLatin1(name);
    action->setObjectName(objectName);
    m_commands.insert(objectName, action);
    return action;
}

void MainTWL::buildMenus() {
    buildFileMenu();
    buildEditAndToolsMenus();
    buildViewMenu();
    buildOrganizationMenu();

    QAction* about = menuBar()->addAction(QStringLiteral("&About "));
    about->setObjectName(QStringLiteral("mnuAbout"));
    m_commands.insert(about->objectName(), about);

    for (const char* name : LockableMenus)
        m_stateAllowsMenu.insert(QString::fromLatin1(name), true);
}

void MainTWL::buildFileMenu() {
    QMenu* file = addMenu(menuBar(), "mnuFile", QStringLiteral("&File"));
    addItem(file, "mnuNewShow", QStringLiteral("New Show"));
    addItem(file, "mnuOpenShow", QStringLiteral("Open Show"));
    addItem(file, "mnuCloseShow", QStringLiteral("Close Show"));
    addItem(file, "mnuCompact", QStringLiteral("Repair / Compress"));
    addItem(file, "mnuFilePrint", QStringLiteral("&Print Menu"));
    // The open show's results as a web page and CSV files.
    addItem(file, "mnuFileExportResults", QStringLiteral("Export &Results..."));
    addItem(file, "mnuShowInfo", QStringLiteral("Show Information"));
    file->addSeparator();
    QAction* exit = addItem(file, "mnuFileExit", QStringLiteral("Exit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

void MainTWL::buildEditAndToolsMenus() {
    QMenu* edit = addMenu(menuBar(), "mnuEdit", QStringLiteral("&Edit"));
    addItem(edit, "mnuEditEnterExh", QStringLiteral("Add Exhibitor"));
    addItem(edit, "mnuEditDelExh", QStringLiteral("Delete Exhibitor"));
    addItem(edit, "mnuEditSearch", QStringLiteral("Search"));
    // The office's accounts (the program connects it).
    edit->addSeparator();
    addItem(edit, "mnuEditAccount", QStringLiteral("Exhibitor Account..."))
        ->setShortcut(QKeySequence(Qt::Key_F12));

    QMenu* tools = addMenu(menuBar(), "mnuTools", QStringLiteral("&Tools"));
    addItem(tools, "mnuToolsWinners", QStringLiteral("Edit Show Winners"));
    addItem(tools, "mnuToolsClasses", QStringLiteral("Edit Classes"));
    addItem(tools, "mnuToolsScoreSheet", QStringLiteral("Score Sheet"));
    addItem(tools, "mnuToolsPaySheet", QStringLiteral("Payout Sheet"));
    addItem(tools, "mnuToolsEnd", QStringLiteral("End Class"));
}

void MainTWL::buildViewMenu() {
    QMenu* view = addMenu(menuBar(), "mnuView", QStringLiteral("&View"));
    QMenu* sortBy = addMenu(view, "mnuViewSort", QStringLiteral("Sort by"));
    for (const SortKey& key : sortKeys()) {
        QAction* item = addItem(sortBy, key.itemName, QString::fromLatin1(key.caption));
        const auto fKey = static_cast<Qt::Key>(Qt::Key_F1 + key.functionKey - 1);
        item->setShortcut(QKeySequence(QKeyCombination(fKey)));
        const int index = key.index;
        connect(item, &QAction::triggered, this, [this, index] {
            setSortKeyIndex(index);
            emit sortRequested(index);
        });
    }
}

void MainTWL::buildOrganizationMenu() {
    QMenu* org = addMenu(menuBar(), "mnuOrg", QStringLiteral("&Organization"));
    addItem(org, "mnuOrgData", QStringLiteral("Organization Detail"));
    addItem(org, "mnuOrgMembership", QStringLiteral("Membership"));
    addItem(org, "mnuOrgCfgPoints", QStringLiteral("Configure Points"));
    addItem(org, "mnuOrgCfgPayout", QStringLiteral("Configure Pay Out"));
    QMenu* reports = addMenu(org, "mnuOrgPrn", QStringLiteral("Print Member Reports"));
    addItem(reports, "mnuOrgPrnMemRosterRpt", QStringLiteral("Member Roster"));
    addItem(reports, "mnuOrgPrnMemProfileRpt", QStringLiteral("Member Profile"));
    addItem(reports, "mnuOrgPrnPointsStatement", QStringLiteral("Points Statement"));
    addItem(reports, "mnuOrgPrnMmerge", QStringLiteral("Mail Merge File"));
}

// ---- toolbar ----

void MainTWL::buildToolBar() {
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->toggleViewAction()->setEnabled(false);
    for (const ToolbarButton& button : toolbarButtons()) {
        const QString key = QString::fromLatin1(button.key);
        QAction* action =
            m_toolBar->addAction(ToolbarIcons::icon(key), QString::fromLatin1(button.caption));
        action->setObjectName(key);
        action->setToolTip(QString::fromLatin1(button.tooltip));
        connect(action, &QAction::triggered, this, [this, key] { dispatchToolbarKey(key); });
        m_toolbarActions.insert(key, action);
    }
}

void MainTWL::dispatchToolbarKey(const QString& key) {
    if (toolbarButtonFor(key))
        emit commandRequested(key);
}

// ---- central area ----

void MainTWL::buildCentralArea() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralArea"));
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(buildEntryColumn(central));
    buildTabStrip(central);
    layout->addWidget(m_tabStrip, 1);
    setCentralWidget(central);
}

QWidget* MainTWL::buildEntryColumn(QWidget* parent) {
    auto* column = new QWidget(parent);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    m_entryFormArea = new QWidget(column);
    m_entryFormArea->setObjectName(QStringLiteral("EntryFormArea"));
    // Room for thirteen label rows below the marker's starting offset.
    m_entryFormArea->setMinimumSize(300, 400);
    layout->addWidget(m_entryFormArea, 1);
    buildSortIndicator();

    layout->addWidget(buildNavigationBar(column));
    layout->addWidget(captionLabel(QStringLiteral("Last Entry Action Completed:"), column));
    m_lastActionLabel = valueLabel("LastActLabel", column);
    layout->addWidget(m_lastActionLabel);
    return column;
}

void MainTWL::buildSortIndicator() {
    auto* marker = new QLabel(m_entryFormArea);
    marker->setObjectName(QStringLiteral("SortInd"));
    marker->setPixmap(sortMarkerPixmap());
    marker->setFixedSize(marker->pixmap().size());
    marker->setToolTip(QStringLiteral("Current sort order"));
    m_sortIndicator = marker;
}

QWidget* MainTWL::buildNavigationBar(QWidget* parent) {
    auto* bar = new QFrame(parent);
    bar->setObjectName(QStringLiteral("PriAdo"));
    bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    NavigationBar& nav = m_navigationBar;
    nav.bar = bar;
    nav.first =
        navigationButton("PriAdoFirst", QStyle::SP_MediaSkipBackward, QStringLiteral("First"), bar);
    nav.previous = navigationButton("PriAdoPrevious", QStyle::SP_MediaSeekBackward,
                                    QStringLiteral("Previous"), bar);
    nav.caption = new QLabel(bar);
    nav.caption->setObjectName(QStringLiteral("PriAdoCaption"));
    nav.caption->setAlignment(Qt::AlignCenter);
    nav.next =
        navigationButton("PriAdoNext", QStyle::SP_MediaSeekForward, QStringLiteral("Next"), bar);
    nav.last =
        navigationButton("PriAdoLast", QStyle::SP_MediaSkipForward, QStringLiteral("Last"), bar);
    layout->addWidget(nav.first);
    layout->addWidget(nav.previous);
    layout->addWidget(nav.caption, 1);
    layout->addWidget(nav.next);
    layout->addWidget(nav.last);
    return bar;
}

// The strip holds only the unused fifth tab; the entry screen puts its four pages ahead of it.
void MainTWL::buildTabStrip(QWidget* parent) {
    m_tabStrip = new QTabWidget(parent);
    m_tabStrip->setObjectName(QStringLiteral("SSTab1"));
    auto* unused = new QWidget(m_tabStrip);
    unused->setObjectName(QStringLiteral("tabUnused"));
    const int unusedTab = m_tabStrip->addTab(unused, QStringLiteral("Tab 4"));
    m_tabStrip->setTabVisible(unusedTab, false);
    m_tabStrip->setTabEnabled(unusedTab, false);
}

// ---- command states ----

void MainTWL::applyShowState(ShowState state, bool justOpened) {
    // The entries rules run after every refresh of the entry list, and the list is refreshed
    // with no show open too (a cancelled edit refreshes it): without a show they give the no-show
    // state, whatever the list holds.
    if (m_services.shared.session.ShowPath.isEmpty())
        state = ShowState::NoShow;
    const CommandStates states = commandStatesFor(state, justOpened);
    const bool entering = state != m_showState;
    m_showState = state;

    for (auto it = states.commands.cbegin(); it != states.commands.cend(); ++it) {
        if (m_stateAllowsMenu.contains(it.key()))
            m_stateAllowsMenu.insert(it.key(), it.value());
        else if (QAction* action = command(it.key()))
            action->setEnabled(it.value());
    }
    applyMenuLock();

    for (auto it = states.buttons.cbegin(); it != states.buttons.cend(); ++it) {
        if (QAction* action = toolbarAction(it.key()))
            action->setEnabled(it.value());
    }
    m_navigationBar.bar->setVisible(states.navigationBarShown);
    // With entries the user's tab is kept until the state changes again.
    if (state != ShowState::ShowWithEntries || entering)
        m_tabStrip->setCurrentIndex(EntriesTab);
    m_tabStrip->setEnabled(states.tabStripEnabled);
}

void MainTWL::applyMenuLock() {
    // The menu bar keeps the access key of a disabled menu (Alt+O for "&Organization") and, with
    // the same key on "&OK", the two shortcuts are ambiguous: the key then opens the menu bar
    // instead of pressing the button. Locked, every entry of the bar is off, so the bar goes off
    // as a whole and its access keys with it. First, because a menu that is switched back on
    // switches its own entry on again: the show state then has the last word.
    menuBar()->setEnabled(!m_locked);
    for (const char* name : LockableMenus) {
        const QString key = QString::fromLatin1(name);
        if (QAction* action = command(key))
            action->setEnabled(m_stateAllowsMenu.value(key) && !m_locked);
    }
}

void MainTWL::enableTabStrip(bool enabled) {
    if (!enabled)
        m_tabStrip->setCurrentIndex(EntriesTab);
    m_tabStrip->setEnabled(enabled);
}

void MainTWL::lockFrame(bool locked, bool showHasEntries) {
    m_locked = locked;
    applyMenuLock();
    m_toolBar->setEnabled(!locked);
    if (showHasEntries) {
        m_navigationBar.bar->setEnabled(!locked);
        m_tabStrip->setEnabled(!locked);
    }
}

// ---- tab stops ----

// A widget with a focus proxy hands its tab stop to the proxy (a grid's viewport hands it to
// the grid), so only the widgets without one hold a tab stop of their own.
QList<QWidget*> MainTWL::tabStopHolders() const {
    QList<QWidget*> holders = findChildren<QWidget*>();
    holders.removeIf([](const QWidget* widget) { return widget->focusProxy() != nullptr; });
    return holders;
}

void MainTWL::rememberTabStops() {
    m_tabStops.clear();
    const QList<QWidget*> widgets = tabStopHolders();
    m_tabStops.reserve(static_cast<std::size_t>(widgets.size()));
    for (QWidget* widget : widgets)
        m_tabStops.emplace_back(widget, widget->focusPolicy());
}

void MainTWL::insertTab(int index, QWidget* page, const QString& caption) {
    m_tabStrip->insertTab(index, page, caption);
    m_tabStrip->setCurrentIndex(EntriesTab);
    rememberTabStops();
}

void MainTWL::setAllTabStops(bool tabStop) {
    // A control without its tab stop can still take the focus by a click.
    for (QWidget* widget : tabStopHolders()) {
        const Qt::FocusPolicy policy = widget->focusPolicy();
        if (policy == Qt::NoFocus)
            continue;
        if (!tabStop)
            widget->setFocusPolicy(Qt::ClickFocus);
        else if (!(policy & Qt::TabFocus))
            widget->setFocusPolicy(Qt::StrongFocus);
    }
}

void MainTWL::restoreTabStops() {
    for (const auto& [widget, policy] : m_tabStops) {
        if (widget && !widget->focusProxy())
            widget->setFocusPolicy(policy);
    }
}

// ---- sort marker ----

void MainTWL::setSortKeyIndex(int index) {
    if (!sortKeyFor(index))
        return;
    m_sortKeyIndex = index;
    setSortIndicatorRow(sortLabelRow(index));
}

void MainTWL::setSortIndicatorRow(int labelRow) {
    const int top = twipsToPixels(sortIndicatorTopTwips(labelRow));
    m_sortIndicator->move((SortIndicatorMargin - m_sortIndicator->width()) / 2, top);
    m_sortIndicator->raise();
}

void MainTWL::setSortIndicatorVisible(bool visible) {
    m_sortIndicator->setVisible(visible);
}

// ---- closing ----

void MainTWL::closeEvent(QCloseEvent* event) {
    if (!m_unloaded) {
        m_unloaded = true;
        emit unloading();
    }
    event->accept();
}

} // namespace twl

#include "SearchList.h"

#include "EntryForm.h"
#include "SearchDlg.h"
#include "common/Prompt.h"
#include "entries/EntryFields.h"
#include "entries/EntryQueries.h"
#include "entries/SearchRules.h"
#include "entries/SortKeys.h"
#include "store/StoreError.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace twl {

namespace {

constexpr int ClickDelayMs = 10;

struct SearchColumn {
    const char* field;
    int twips;
    const char* caption;
};
// In the table's field order.
constexpr std::array<SearchColumn, 13> SearchColumns{{
    {"Show Exh No", 700, "Exh. No."},
    {"Show Exh Nam", 1600, "Exh. Name"},
    {"Class No", 500, "Class"},
    {"Reg No", 1200, "Reg No."},
    {"Horse Name", 1800, "Horse Name"},
    {"Member Number", 700, "Member"},
    {"Place", 500, "Place"},
    {"Exhibitor Phone", 1100, "Exh. Phone"},
    {"Owner Name", 1600, "Owner Name"},
    {"Owner State", 1000, "Owner State"},
    {"Amateur No", 1600, "Amateur No."},
    {"Misc ID", 900, "Misc. ID"},
    {"Email", 2000, "Email"},
}};
constexpr int ExhibitorColumn = 0;
constexpr int ClassColumn = 2;

std::vector<SearchListModel::Column> gridColumns() {
    std::vector<SearchListModel::Column> columns;
    for (const SearchColumn& c : SearchColumns)
        columns.push_back({QLatin1String(c.field), QLatin1String(c.caption)});
    return columns;
}

} // namespace

SearchList::SearchList(Controls controls, Prompt& prompt, JumpToEntry jump, QObject* parent)
    : QObject(parent), m_controls(controls), m_prompt(prompt), m_jump(std::move(jump)),
      m_model(m_list, gridColumns()) {
    setObjectName(QStringLiteral("SearchList"));
    m_clickTimer = new QTimer(this);
    m_clickTimer->setObjectName(QStringLiteral("SearchClickTimer"));
    m_clickTimer->setSingleShot(true);
    m_clickTimer->setInterval(ClickDelayMs);
    connect(m_clickTimer, &QTimer::timeout, this, &SearchList::jumpToClickedRow);
    if (m_controls.grid) {
        m_controls.grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_controls.grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_controls.grid->viewport()->installEventFilter(this);
    }
    if (m_controls.tabs)
        connect(m_controls.tabs, &QTabWidget::currentChanged, this, &SearchList::onTabChanged);
}

void SearchList::runSearchCommand(QWidget* dialogParent) {
    SearchDlg dialog(dialogParent);
    dialog.exec();
    if (dialog.cancelled())
        return;
    m_searchText = dialog.searchText();
    m_searchFilter = dialog.searchFilter();
    m_showTab = true;
    apply(m_searchFilter, m_showTab);
}

void SearchList::open(const QString& showConnectionText, int entryCount) {
    if (entryCount == 0)
        return;
    m_connectionText = showConnectionText;
    m_open = true;
    apply(emptySearchListFilter(), m_showTab);
    if (m_controls.text)
        m_controls.text->clear();
}

void SearchList::apply(const QString& filter, bool switchTab) {
    m_appliedFilter = filter;
    m_stale = true;
    if (m_controls.text)
        m_controls.text->setText(m_searchText);
    if (switchTab && m_controls.tabs) {
        // Through the first tab, so that the Search tab's selection handling runs.
        m_controls.tabs->setCurrentIndex(0);
        m_controls.tabs->setCurrentIndex(SearchTab);
    }
    rereadIfShown();
}

void SearchList::followChanges(const QString& showConnectionText, int entryCount) {
    if (m_open)
        apply(m_searchFilter, m_showTab);
    else
        open(showConnectionText, entryCount);
}

void SearchList::close() {
    m_clickTimer->stop();
    if (m_controls.grid)
        m_controls.grid->setModel(nullptr);
    m_list.close();
    m_readMark.reset();
    m_model.reset();
    m_open = false;
    m_stale = false;
    m_hasRows = false;
    m_connectionText.clear();
}

void SearchList::onTabChanged(int index) {
    if (index < SearchTab) {
        m_showTab = false;
    } else if (index == SearchTab) {
        rereadIfShown();
        setGridColumns();
    }
}

void SearchList::rereadIfShown() {
    if (m_open && m_stale && m_controls.tabs && m_controls.tabs->currentIndex() == SearchTab)
        reread();
}

void SearchList::reread() {
    m_stale = false;
    try {
        readIfChanged();
    } catch (const store::StoreError& error) {
        showUnreadList(error.message());
        return;
    }
    try {
        // A re-read keeps the filter it had.
        if (m_list.filter() != m_appliedFilter)
            m_list.setFilter(m_appliedFilter);
    } catch (const store::StoreError&) {
        // A search text that makes no valid filter: the list keeps what the filter engine gives.
    }
    // The sort stays set through re-reads and filters: setting it again would only order the
    // same rows once more.
    const QString byExhibitor = QStringLiteral("[Show Exh No]");
    try {
        if (m_list.sort() != byExhibitor)
            m_list.setSort(byExhibitor);
    } catch (const store::StoreError&) {
        // A list without that field stays in the table's order.
    }
    m_model.reset();
    showCount(QString::number(m_list.recordCount()), m_list.recordCount() > 0);
}

// The list is a copy of the entries; when no entry was written since it was read, by this
// program or another, reading it again would give the same rows, and it is only filtered anew.
void SearchList::readIfChanged() {
    const bool sameFile = m_list.isOpen() && m_list.connectionText() == m_connectionText;
    if (sameFile && m_readMark && changeMark(m_connectionText).entriesAsAt(*m_readMark))
        return;
    m_readMark.reset();
    // Marked before the read: a write that comes after the mark is read again next time.
    const ChangeMark mark = changeMark(m_connectionText);
    if (sameFile) {
        m_list.requery();
    } else {
        m_list.open(EntryQueries::EntryListQuery, m_connectionText);
        m_list.moveFirst();
        if (m_controls.grid)
            m_controls.grid->setModel(&m_model);
    }
    m_readMark = mark;
}

// A list that cannot be read is no list without matches: it shows no count, and says why.
void SearchList::showUnreadList(const QString& reason) {
    if (m_controls.grid)
        m_controls.grid->setModel(nullptr);
    m_list.close();
    m_readMark.reset();
    m_model.reset();
    showCount(QString(), false);
    m_prompt.show(QStringLiteral("Trotwell"),
                  QStringLiteral("The entries of the show cannot be read for the search.\n\n") +
                      reason,
                  Prompt::Icon::Critical);
}

void SearchList::showCount(const QString& count, bool hasRows) {
    m_hasRows = hasRows;
    if (m_controls.count)
        m_controls.count->setText(count);
    if (m_controls.grid) {
        QPalette palette = m_controls.grid->palette();
        palette.setColor(QPalette::Base, colourFromBgr(m_hasRows ? PaleYellowBgr : BlueBgr));
        m_controls.grid->setPalette(palette);
    }
}

void SearchList::setGridColumns() {
    QTableView* grid = m_controls.grid;
    if (!grid)
        return;
    // An empty list shows no rows at all.
    grid->verticalHeader()->setDefaultSectionSize(m_hasRows ? twipsToPixels(226) : 1);
    for (int c = 0; c < int(SearchColumns.size()); ++c)
        grid->setColumnWidth(c, twipsToPixels(SearchColumns[std::size_t(c)].twips));
}

bool SearchList::eventFilter(QObject* watched, QEvent* event) {
    if (m_controls.grid && watched == m_controls.grid->viewport() &&
        event->type() == QEvent::MouseButtonRelease && m_hasRows)
        m_clickTimer->start();
    return false;
}

void SearchList::jumpToClickedRow() {
    const int row = m_controls.grid ? m_controls.grid->currentIndex().row() : -1;
    if (row < 0 || !m_jump)
        return;
    if (m_jump(m_model.valueAt(row, ClassColumn), m_model.valueAt(row, ExhibitorColumn)) &&
        m_controls.tabs)
        m_controls.tabs->setFocus(Qt::MouseFocusReason);
}

} // namespace twl

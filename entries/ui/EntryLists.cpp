#include "EntryLists.h"

#include "EntryForm.h"
#include "EntryTabs.h"
#include "common/MainDataSources.h"
#include "common/MainWindowFrame.h"
#include "common/Services.h"
#include "common/TWL_public.h"
#include "common/widgets/BusyCursor.h"
#include "entries/EntryQueries.h"
#include "entries/EntryRules.h"
#include "entries/ShowEntryData.h"
#include "entries/SortKeys.h"
#include "store/StoreError.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <map>

namespace twl {

namespace {

constexpr int ClickDelayMs = 10;
// `Grid_E`'s columns in the query's order, with their widths in twips; the last two are hidden.
constexpr std::array<std::pair<const char*, const char*>, 6> GridColumns{{
    {"Show Exh Nam", "Exhibitor Name"},
    {"Class No", "Class"},
    {"Reg No", "Reg Number"},
    {"Horse Name", "Horse Name"},
    {"Place", "Place"},
    {"Show Exh No", "Show Exh No"},
}};
constexpr std::array<int, 6> GridColumnTwips{2000, 550, 1150, 2400, 0, 0};
constexpr int GridClassColumn = 1;

// A value as filter-language text.
QString filterLiteral(const store::Value& value) {
    if (value.isNull())
        return QStringLiteral("Null");
    if (value.isNumeric())
        return numberLiteral(value.toDouble());
    return quotedLiteral(value.toText());
}

// Sets a flag for as long as it lives and puts the old value back.
class FlagScope {
public:
    FlagScope(bool& flag, bool value) : m_flag(flag), m_was(flag) { flag = value; }
    ~FlagScope() { m_flag = m_was; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

} // namespace

EntryLists::EntryLists(MainWindowFrame& frame, MainDataSources& sources, EntryForm& form,
                       EntryState& state, const EntryTabs& tabs, QObject* parent)
    : QObject(parent), m_frame(frame), m_sources(sources), m_form(form), m_state(state),
      m_gridModel(sources.secAdo.recordSet()) {
    setObjectName(QStringLiteral("EntryLists"));
    m_grid = tabs.exhibitorGrid;
    m_recordCount = tabs.exhibitorRecords;
    m_classId = tabs.classId;
    m_className = tabs.className;
    m_totalEntries = tabs.totalEntries;
    m_classesUsed = tabs.classesUsed;
    m_average = tabs.average;
    for (std::size_t k = 0; k < m_classLists.size(); ++k) {
        m_classLists[k] = tabs.classNumbers[k];
        m_countLists[k] = tabs.classCounts[k];
    }

    std::vector<store::RecordSetModel::Column> columns;
    for (const auto& [field, caption] : GridColumns) {
        store::RecordSetModel::Column column;
        column.field = QString::fromLatin1(field);
        column.caption = QString::fromLatin1(caption);
        column.editable = false;
        columns.push_back(column);
    }
    m_gridModel.setColumns(std::move(columns));
    if (m_grid) {
        m_grid->setModel(&m_gridModel);
        m_grid->viewport()->installEventFilter(this);
    }

    m_clickTimer = new QTimer(this);
    m_clickTimer->setObjectName(QStringLiteral("ClickTimer"));
    m_clickTimer->setSingleShot(true);
    m_clickTimer->setInterval(ClickDelayMs);
    connect(m_clickTimer, &QTimer::timeout, this, &EntryLists::onClickTimer);

    connect(&sources.priAdo, &store::DataSource::refreshed, this,
            &EntryLists::rememberEntryListRead);
    connect(&sources.priAdo, &store::DataSource::moveComplete, this, &EntryLists::onEntryListMoved);
    connect(&sources.secAdo, &store::DataSource::moveComplete, this,
            &EntryLists::onExhibitorListMoved);
    if (m_classId)
        connect(m_classId, &QLineEdit::returnPressed, this, &EntryLists::showClassName);

    fillClassNumberLists();
    linkClassLists();
}

void EntryLists::clearClassCounts() {
    for (QListWidget* counts : m_countLists) {
        if (counts)
            counts->clear();
    }
}

// ---- the entry list ----

void EntryLists::sortAndRefresh() {
    BusyCursor busy;
    m_state.sorting = true;
    store::DataSource& priAdo = m_sources.priAdo;
    try {
        // Reading every entry again when no entry was written since they were read, or only
        // through the list itself, would give the same rows in the same order.
        m_entryListSync.refreshIfChanged(priAdo);
    } catch (const store::StoreError& error) {
        // Entries that could not be read are not "no entries": the user is told. With no show
        // open there is no list to read.
        if (showOpen())
            reportUnreadable(QStringLiteral("The entries of the show cannot be read."),
                             error.message());
    }
    store::RecordSet& entries = priAdo.recordSet();
    m_state.entryCount = entries.isOpen() ? entries.recordCount() : 0;
    if (entries.isOpen()) {
        FlagScope filling(m_state.fillingFields, true);
        m_form.setFieldLimits(entries);
    }
    if (m_state.entryCount == 0) {
        m_frame.applyShowState(ShowState::ShowNoEntries);
        m_form.showEntryFields(0);
        m_form.enableEntryFields(false);
        return;
    }
    m_frame.applyShowState(ShowState::ShowWithEntries);
    m_form.enableEntryFields(true);
    const int key = m_frame.sortKeyIndex();
    entries.moveFirst();
    try {
        // A list kept in its sort order is not sorted again.
        if (entries.sort() != sortField(key))
            entries.setSort(sortField(key));
    } catch (const store::StoreError&) {
        // An unknown sort field leaves the table order.
    }
    m_frame.setSortIndicatorRow(sortLabelRow(key));
    m_state.sorting = false;
    if (m_state.lastBookmark == store::RecordSet::NoBookmark ||
        !entries.setBookmark(m_state.lastBookmark))
        entries.moveFirst();
    emit priAdo.moveComplete();
}

void EntryLists::rememberEntryListRead() {
    m_entryListSync.remember(m_sources.priAdo);
}

void EntryLists::writeEntryBatch() {
    m_entryListSync.writeBatch(m_sources.priAdo);
}

void EntryLists::onEntryListMoved() {
    if (m_state.sorting || m_frame.services().shared.report.Printing || m_state.movingRecord ||
        m_state.addingRecord)
        return;
    BusyCursor busy;
    store::DataSource& priAdo = m_sources.priAdo;
    store::RecordSet& entries = priAdo.recordSet();
    if (!entries.isOpen() || entries.recordCount() == 0)
        return;
    FlagScope moving(m_state.movingRecord, true);
    if (entries.eof())
        entries.moveLast();
    else if (entries.bof())
        entries.moveFirst();
    try {
        refreshExhibitorList(entries.value(QStringLiteral("Show Exh No")));
    } catch (const store::StoreError& error) {
        showExhibitorListUnread();
        reportUnreadable(QStringLiteral("The entries of this exhibitor cannot be read."),
                         error.message());
    }
    priAdo.setCaption(recordCaption(entries.absolutePosition(), entries.recordCount()));
    m_form.showEntryFields(1, &entries);
    if (m_classId) {
        m_classId->setText(m_form.text(ClassNoField));
        showClassName();
    }
}

void EntryLists::refreshExhibitorList(const store::Value& exhibitorNo) {
    store::DataSource& secAdo = m_sources.secAdo;
    if (secAdo.recordSource().isEmpty())
        return;
    {
        FlagScope refreshing(m_state.refreshingExhibitorList, true);
        // Only the exhibitor's rows are read: the filter below then keeps all of them.
        secAdo.setRecordSource(EntryQueries::exhibitorListQuery(exhibitorNo));
        secAdo.refresh();
        secAdo.recordSet().setSort(QStringLiteral("[Class No]"));
        secAdo.recordSet().setFilter(QStringLiteral("[Show Exh No] = ") +
                                     filterLiteral(exhibitorNo));
    }
    secAdo.moveFirst();
}

void EntryLists::onExhibitorListMoved() {
    if (m_state.refreshingExhibitorList || m_frame.services().shared.report.Printing ||
        m_sources.eventsSuppressed)
        return;
    m_gridModel.reset();
    const int rows = m_gridModel.rowCount();
    if (m_grid) {
        QPalette palette = m_grid->palette();
        palette.setColor(QPalette::Base, colourFromBgr(rows == 0 ? BlueBgr : PaleYellowBgr));
        m_grid->setPalette(palette);
    }
    if (m_recordCount)
        m_recordCount->setText(QString::number(rows));
    setEntryGridColumns();
}

// A grid of entries that could not be read shows no rows and no count, rather than "0".
void EntryLists::showExhibitorListUnread() {
    m_sources.secAdo.closeRecordSet();
    m_gridModel.reset();
    if (m_recordCount)
        m_recordCount->clear();
}

bool EntryLists::showOpen() const {
    return !m_frame.services().shared.session.ShowPath.isEmpty();
}

void EntryLists::reportUnreadable(const QString& what, const QString& reason) {
    m_frame.services().prompt.show(QStringLiteral("Trotwell"),
                                   what + QStringLiteral("\n\n") + reason, Prompt::Icon::Critical);
}

void EntryLists::setEntryGridColumns() {
    if (!m_grid)
        return;
    for (int c = 0; c < int(GridColumnTwips.size()); ++c) {
        const int width = twipsToPixels(GridColumnTwips[std::size_t(c)]);
        m_grid->setColumnHidden(c, width == 0);
        if (width > 0)
            m_grid->setColumnWidth(c, width);
    }
}

// ---- the class look-up and the class counts ----

void EntryLists::showClassName() {
    if (!m_classId)
        return;
    double classNo = 0;
    if (!isNumeric(m_classId->text(), &classNo) || classNo < 1 ||
        classNo > m_frame.services().shared.session.TotClassUsed) {
        m_classId->setText(QStringLiteral("1"));
        classNo = 1;
    }
    QString name;
    try {
        name = ShowEntryData(m_frame.services().shared.session.ShowConnString).className(classNo);
    } catch (const store::StoreError& error) {
        if (showOpen())
            reportUnreadable(QStringLiteral("The name of class %1 cannot be read.").arg(classNo),
                             error.message());
    }
    if (m_className)
        m_className->setText(name);
}

void EntryLists::calEntries() {
    store::DataSource& adoTmp = m_sources.adoTmp;
    std::map<qint64, qint64> perClass;
    qint64 total = 0;
    const QString& showConnString = m_frame.services().shared.session.ShowConnString;
    // The entry list holds what the file holds while it is current: counting it is the same
    // count without reading every entry again.
    std::optional<EntryListSync::ClassTally> tally;
    if (m_sources.priAdo.connectionText() == showConnString)
        tally = m_entryListSync.tallyClasses(m_sources.priAdo);
    if (tally) {
        perClass = std::move(tally->perClass);
        total = tally->total;
    } else if (store::loadThroughDataSource(adoTmp, showConnString,
                                            EntryQueries::ClassCountQuery)) {
        store::RecordSet& counts = adoTmp.recordSet();
        for (counts.moveFirst(); !counts.eof(); counts.moveNext()) {
            const store::Value classNo = counts.value(0);
            const qint64 entries = counts.value(1).toInt();
            total += entries;
            if (classNo.isNumeric() && classNo.toDouble() == double(classNo.toInt()))
                perClass[classNo.toInt()] += entries;
        }
    }
    adoTmp.closeRecordSet();
    writeCounts(countClasses(perClass, total));
    m_state.classCountAverage =
        classCountAverage(total, m_frame.services().shared.session.TotClassUsed);
    if (m_totalEntries)
        m_totalEntries->setText(QString::number(total));
    if (m_classesUsed)
        m_classesUsed->setText(QString::number(m_frame.services().shared.session.TotClassUsed));
    if (m_average)
        m_average->setText(averageText(m_state.classCountAverage));
}

void EntryLists::writeCounts(const ClassCounts& counts) {
    for (int k = 0; k < ClassListCount; ++k) {
        QListWidget* list = m_countLists[std::size_t(k)];
        if (!list)
            continue;
        const auto& column = counts.perList[std::size_t(k)];
        // Texts are replaced in place so that the list keeps its scroll position.
        if (list->count() != ClassesPerList) {
            list->clear();
            for (int r = 0; r < ClassesPerList; ++r)
                list->addItem(QString());
        }
        for (int r = 0; r < ClassesPerList; ++r)
            list->item(r)->setText(QString::number(column[std::size_t(r)]));
    }
}

void EntryLists::fillClassNumberLists() {
    for (int k = 0; k < ClassListCount; ++k) {
        QListWidget* list = m_classLists[std::size_t(k)];
        if (!list)
            continue;
        list->clear();
        for (int r = 1; r <= ClassesPerList; ++r)
            list->addItem(QString::number(ClassesPerList * k + r));
    }
}

void EntryLists::linkClassLists() {
    for (int k = 0; k < ClassListCount; ++k) {
        QListWidget* classes = m_classLists[std::size_t(k)];
        QListWidget* counts = m_countLists[std::size_t(k)];
        if (!classes || !counts)
            continue;
        // One scroll bar, the counts', moves both lists.
        classes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        for (auto [from, to] : {std::pair{classes, counts}, std::pair{counts, classes}}) {
            connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(),
                    &QScrollBar::setValue);
            connect(from, &QListWidget::currentRowChanged, to,
                    qOverload<int>(&QListWidget::setCurrentRow));
        }
    }
}

// ---- earlier names and members ----

void EntryLists::lookUpEarlierNames(int field) {
    double exhibitorNo = 0;
    if (field != ExhibitorNoField || !isNumeric(m_form.text(ExhibitorNoField), &exhibitorNo))
        return;
    m_form.quickNameButton()->hide();
    m_form.quickNameList()->clear();
    ShowEntryData data(m_frame.services().shared.session.ShowConnString);
    try {
        const QStringList names = data.earlierNames(exhibitorNo);
        if (names.isEmpty())
            return;
        m_form.quickNameList()->addItems(names);
        m_form.showQuickNameButton();
        // Tells the multi-class dialog which classes this number already has.
        data.markClassesOfExhibitor(exhibitorNo);
    } catch (const store::StoreError&) {
        // The quick-name list and the marks only save typing: without them the entry is typed
        // in full, and validation still refuses a class the number already has.
    }
}

void EntryLists::takeOverEarlierName(const QString& name) {
    double exhibitorNo = 0;
    isNumeric(m_form.text(ExhibitorNoField), &exhibitorNo);
    try {
        const auto entry = ShowEntryData(m_frame.services().shared.session.ShowConnString)
                               .earlierEntry(roundHalfEven(exhibitorNo), name);
        if (entry) {
            FlagScope filling(m_state.fillingFields, true);
            for (int field : earlierNameFields())
                m_form.setText(field, (*entry)[std::size_t(field)]);
        }
    } catch (const store::StoreError&) {
        // The copy is skipped and the fields keep what was typed; the number is fixed as chosen.
    }
    m_form.setFieldBackground(ExhibitorNoField, PaleYellowBgr);
    m_form.field(ExhibitorNoField)->setEnabled(false);
    m_state.exhibitorNoFixed = true;
    m_form.hideQuickNameList();
    emit earlierNameTakenOver();
}

void EntryLists::lookUpMember() {
    std::optional<std::vector<std::pair<int, QString>>> member;
    try {
        member = twl::lookUpMember(m_frame.services().shared.session.OrgConnString,
                                   m_form.text(MemberNoField));
    } catch (const store::StoreError& error) {
        // Not "not found": the member may well be there.
        reportUnreadable(QStringLiteral("The member register cannot be read."), error.message());
        return;
    }
    if (!member) {
        m_frame.services().prompt.show(QStringLiteral("Trotwell"),
                                       QStringLiteral("Member Number not found..."),
                                       Prompt::Icon::Exclamation);
        return;
    }
    FlagScope filling(m_state.fillingFields, true);
    for (const auto& [field, text] : *member)
        m_form.setText(field, text);
}

// ---- jumping from a grid ----

bool EntryLists::eventFilter(QObject* watched, QEvent* event) {
    if (m_grid && watched == m_grid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        m_state.gridClickSource = 1;
        m_clickTimer->start();
    }
    return false;
}

void EntryLists::onClickTimer() {
    m_clickTimer->stop();
    if (m_state.gridClickSource != 1 || !m_grid)
        return;
    const int row = m_grid->currentIndex().row();
    store::RecordSet& entries = m_sources.priAdo.recordSet();
    if (row < 0 || !entries.isOpen() || entries.bof() || entries.eof())
        return;
    try {
        const store::Value exhibitorNo = entries.value(QStringLiteral("Show Exh No"));
        if (jumpToEntry(m_gridModel.valueAt(row, GridClassColumn), exhibitorNo))
            m_frame.tabStrip()->setFocus(Qt::MouseFocusReason);
    } catch (const store::StoreError&) {
        // A click on a row that is gone jumps nowhere: the form stays on its entry.
    }
}

bool EntryLists::jumpToEntry(const store::Value& classNo, const store::Value& exhibitorNo) {
    store::RecordSet& entries = m_sources.priAdo.recordSet();
    if (!entries.isOpen())
        return false;
    const store::RecordSet::Bookmark before = entries.bookmark();
    try {
        entries.moveFirst();
        const QString criterion = QStringLiteral("[Class No] = ") + filterLiteral(classNo) +
                                  QStringLiteral(" AND [Show Exh No] = ") +
                                  filterLiteral(exhibitorNo);
        if (entries.find(criterion)) {
            emit m_sources.priAdo.moveComplete();
            return true;
        }
    } catch (const store::StoreError&) {
        // No jump: the list goes back to the row it was on.
    }
    if (!entries.setBookmark(before))
        entries.moveFirst();
    return false;
}

} // namespace twl

#include "EntryScreen.h"

#include "DeleteExhibitor.h"
#include "EntryForm.h"
#include "EntryLists.h"
#include "EntryTabs.h"
#include "MultiClass.h"
#include "SearchList.h"
#include "common/MainDataSources.h"
#include "common/MainWindowFrame.h"
#include "common/Services.h"
#include "store/ChangeNotifier.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace twl {

EntryScreen::EntryScreen(MainWindowFrame& frame, MainDataSources& sources, QObject* parent)
    : QObject(parent), m_frame(frame), m_sources(sources),
      m_session(frame.services().shared.session) {
    setObjectName(QStringLiteral("EntryScreen"));
    QWidget* area = frame.entryFormArea();
    m_form = new EntryForm(m_state, area);
    if (!area->layout()) {
        auto* layout = new QVBoxLayout(area);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    area->layout()->addWidget(m_form);
    const EntryTabs tabs = addEntryTabs(frame);
    m_form->setExhibitorNumberLabel(tabs.exhibitorNo);
    // The class look-up takes the focus when its tab is chosen.
    connect(frame.tabStrip(), &QTabWidget::currentChanged, this,
            [classId = tabs.classId](int index) {
                if (index == EntryTabs::ShowInfoTab)
                    classId->setFocus(Qt::OtherFocusReason);
            });

    m_lastScoreSheet = tabs.lastScoreSheet;
    m_lists = new EntryLists(frame, sources, *m_form, m_state, tabs, this);
    m_commands = new EntryCommands(frame, sources, *m_form, *m_lists, m_state, this);
    m_form->blinkTimer()->start();

    m_search = new SearchList(
        {tabs.searchGrid, tabs.searchCount, tabs.searchText, frame.tabStrip()},
        frame.services().prompt,
        [lists = m_lists](const store::Value& classNo, const store::Value& exhibitorNo) {
            return lists->jumpToEntry(classNo, exhibitorNo);
        },
        this);
    m_commands->setSearchListHook(
        [this] { m_search->followChanges(m_session.ShowConnString, m_state.entryCount); });
    m_commands->setMultiClassDialog([this] {
        MultiClass dialog(m_frame.services().prompt, m_session.ShowConnString,
                          m_session.TotClassUsed, &m_frame.window());
        dialog.exec();
        return dialog.classesChosen();
    });

    auto* changes = new store::ChangeNotifier(this);
    connect(changes, &store::ChangeNotifier::tablesChanged, this, &EntryScreen::onTablesChanged);
}

void EntryScreen::onTablesChanged(const QString& file, const QStringList& tables) {
    if (m_state.ownWrites > 0 || m_refreshPending || m_session.ShowPath.isEmpty())
        return;
    if (!tables.contains(QStringLiteral("Entries_tbl"), Qt::CaseInsensitive) &&
        !tables.contains(QStringLiteral("Class_tbl"), Qt::CaseInsensitive))
        return;
    if (file != store::ChangeNotifier::fileOf(m_session.ShowConnString))
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, &EntryScreen::refreshAfterChange);
}

void EntryScreen::refreshAfterChange() {
    if (!m_refreshPending)
        return;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // The dialog that wrote is still open: the lists follow when it closes.
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            connect(dialog, &QDialog::finished, this, &EntryScreen::refreshAfterChange,
                    Qt::SingleShotConnection);
        else
            connect(modal, &QObject::destroyed, this, &EntryScreen::refreshAfterChange,
                    Qt::SingleShotConnection);
        return;
    }
    m_refreshPending = false;
    // An entry being typed is not thrown away: the Cancel routine that ends it reads the lists.
    if (m_state.addMode || m_state.editPending || m_session.ShowPath.isEmpty())
        return;
    refreshKeepingEntry();
}

void EntryScreen::setMultiClassDialog(EntryCommands::MultiClassDialog dialog) {
    m_commands->setMultiClassDialog(std::move(dialog));
}

void EntryScreen::runSearchCommand() {
    m_search->runSearchCommand(&m_frame.window());
}

void EntryScreen::deleteExhibitor() {
    store::RecordSet& entries = m_sources.priAdo.recordSet();
    if (entries.isOpen() && !entries.bof() && !entries.eof())
        m_state.lastBookmark = entries.bookmark();
    DeleteOutcome outcome;
    {
        // The Cancel routine below reads the lists again.
        const OwnEntryWrite own(m_state);
        // One entry leaves the list in place; all of an exhibitor's are written beside it, and
        // the list is read again.
        outcome = twl::deleteExhibitor(
            entries, m_session.ShowConnString, deleteDialogOver(&m_frame.window()),
            m_frame.services().prompt, [lists = m_lists] { lists->writeEntryBatch(); });
    }
    if (outcome.deleted) {
        m_state.lastBookmark = store::RecordSet::NoBookmark;
        m_frame.lastActionLabel()->setText(outcome.message);
    }
    // The Cancel routine: the list re-read and re-sorted, the counts and the search again.
    m_commands->cancel();
}

void EntryScreen::openSearchList() {
    m_search->open(m_session.ShowConnString, m_state.entryCount);
    showLastClassPrinted(m_frame.services().shared.report.LastClassPrinted);
}

void EntryScreen::showLastClassPrinted(int classNo) {
    m_lastScoreSheet->setText(QString::number(classNo));
}

void EntryScreen::closeSearchList() {
    m_search->close();
}

void EntryScreen::beginAdding() {
    m_commands->beginAdding();
}

void EntryScreen::sortAndRefresh() {
    m_lists->sortAndRefresh();
}

void EntryScreen::clearEntryForm() {
    m_commands->clearEntryForm();
}

void EntryScreen::calEntries() {
    m_lists->calEntries();
}

void EntryScreen::setBlinking(bool running) {
    if (!m_form)
        return;
    if (running)
        m_form->blinkTimer()->start();
    else
        m_form->blinkTimer()->stop();
}

void EntryScreen::refreshKeepingEntry() {
    const store::RecordSet& entries = m_sources.priAdo.recordSet();
    if (entries.isOpen() && !entries.bof() && !entries.eof())
        m_state.lastBookmark = entries.bookmark();
    sortAndRefresh();
}

} // namespace twl

#include "EntryScreen.h"

#include "EntryForm.h"
#include "EntryLists.h"
#include "DeleteExhibitor.h"
#include "MultiClass.h"
#include "SearchList.h"
#include "shell/MainDataSources.h"
#include "shell/MainWindowFrame.h"
#include "shell/Services.h"
#include "shell/TWL_public.h"

#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace twl {

EntryScreen::EntryScreen(MainWindowFrame& frame, MainDataSources& sources, QObject* parent)
    : QObject(parent), m_frame(frame), m_sources(sources) {
    setObjectName(QStringLiteral("EntryScreen"));
    QWidget* area = frame.entryFormArea();
    m_form = new EntryForm(m_state, area);
    if (!area->layout()) {
        auto* layout = new QVBoxLayout(area);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    area->layout()->addWidget(m_form);
    m_form->setExhibitorNumberLabel(frame.window().findChild<QLabel*>(QStringLiteral("ExhNo")));

    m_lists = new EntryLists(frame, sources, *m_form, m_state, this);
    m_commands = new EntryCommands(frame, sources, *m_form, *m_lists, m_state, this);
    m_form->blinkTimer()->start();

    QWidget& window = frame.window();
    m_search = new SearchList({window.findChild<QTableView*>(QStringLiteral("Grid_S")),
                               window.findChild<QLabel*>(QStringLiteral("SrchRecCnt")),
                               window.findChild<QLabel*>(QStringLiteral("SrxhWrd")),
                               window.findChild<QTabWidget*>(QStringLiteral("SSTab1"))},
                              [lists = m_lists](const store::Value& classNo,
                                                const store::Value& exhibitorNo) {
                                  return lists->jumpToEntry(classNo, exhibitorNo);
                              },
                              this);
    m_commands->setSearchListHook([this] {
        m_search->followChanges(TWL_public::ShowConnString, m_state.entryCount);
    });
    m_commands->setMultiClassDialog([this] {
        MultiClass dialog(m_frame.services().prompt, TWL_public::ShowConnString,
                          TWL_public::TotClassUsed, &m_frame.window());
        dialog.exec();
        return dialog.classesChosen();
    });
}

void EntryScreen::setMultiClassDialog(EntryCommands::MultiClassDialog dialog) {
    m_commands->setMultiClassDialog(std::move(dialog));
}

void EntryScreen::runSearchCommand() {
    TWL_public::DialogCancelled = !m_search->runSearchCommand(&m_frame.window());
}

void EntryScreen::deleteExhibitor() {
    store::RecordSet& entries = m_sources.priAdo.recordSet();
    if (entries.isOpen() && !entries.bof() && !entries.eof())
        m_state.lastBookmark = entries.bookmark();
    const DeleteOutcome outcome =
        twl::deleteExhibitor(entries, TWL_public::ShowConnString,
                             deleteDialogOver(&m_frame.window()), m_frame.services().prompt);
    TWL_public::DialogCancelled = !outcome.deleted;
    if (outcome.deleted) {
        m_state.lastBookmark = store::RecordSet::NoBookmark;
        m_frame.lastActionLabel()->setText(outcome.message);
    }
    // The Cancel routine: the list re-read and re-sorted, the counts and the search again.
    m_commands->cancel();
}

void EntryScreen::openSearchList() {
    m_search->open(TWL_public::ShowConnString, m_state.entryCount);
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

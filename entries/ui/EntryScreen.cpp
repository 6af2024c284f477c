#include "EntryScreen.h"

#include "EntryForm.h"
#include "EntryLists.h"
#include "shell/MainDataSources.h"
#include "shell/MainWindowFrame.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace twl {

EntryScreen::EntryScreen(MainWindowFrame& frame, MainDataSources& sources, QObject* parent)
    : QObject(parent), m_sources(sources) {
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
}

void EntryScreen::setMultiClassDialog(EntryCommands::MultiClassDialog dialog) {
    m_commands->setMultiClassDialog(std::move(dialog));
}

void EntryScreen::setSearchListHook(std::function<void()> hook) {
    m_commands->setSearchListHook(std::move(hook));
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

#pragma once

#include "entries/EntryState.h"

#include <QObject>
#include <QString>
#include <functional>

namespace store {
class RecordSet;
}

namespace twl {

class EntryForm;
class EntryLists;
class MainDataSources;
class MainWindowFrame;

// What the entry form's commands do: begin adding (Edit / Add Exhibitor), accept a new entry
// (`OKBut`), write the edited entry (`UpdBut`), the Cancel routine (`CanBut`, also the end of
// add and update), ValidateEntry, the three modes with their Enter and focus rules, and the
// blinking of captions and frame.
class EntryCommands : public QObject {
    Q_OBJECT
public:
    // Shows the multi-class dialog modally; returns whether classes were ticked and saved.
    using MultiClassDialog = std::function<bool()>;

    EntryCommands(MainWindowFrame& frame, MainDataSources& sources, EntryForm& form,
                  EntryLists& lists, EntryState& state, QObject* parent = nullptr);

    void beginAdding();
    void accept();
    void update();
    void cancel();
    void validateEntry();
    // ClearMultiSel.
    void clearMultiSel();
    // `MultiClsBut`'s command; "M" stays disabled until a dialog is set.
    void runMultiClassCommand();
    void setMultiClassDialog(MultiClassDialog dialog) { m_multiClassDialog = std::move(dialog); }
    // Refreshes the search list if it is open, else opens it (the end of the Cancel routine).
    void setSearchListHook(std::function<void()> hook) { m_searchList = std::move(hook); }
    // ShowEntryFields(0) and EnableEntryFields(false), as closing a show does.
    void clearEntryForm();

private:
    void onFieldChanged(int index);
    void onReturnPressed(int index);
    void onFieldFocused(int index);
    void onFieldLeft(int index);
    void onEarlierNameTakenOver();
    void blink();
    void addEntryRecord();
    QStringList selectedClasses();
    void reportFailedWrite(const QString& what, int field, const QString& reason);
    bool showHasEntries() const;

    MainWindowFrame& m_frame;
    MainDataSources& m_sources;
    EntryForm& m_form;
    EntryLists& m_lists;
    EntryState& m_state;
    MultiClassDialog m_multiClassDialog;
    std::function<void()> m_searchList;
    bool m_blinkShown = true;
};

} // namespace twl

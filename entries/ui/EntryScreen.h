#pragma once

#include "EntryCommands.h"
#include "EntryForm.h"
#include "EntryLists.h"
#include "entries/EntryState.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <functional>

namespace twl {

class SearchList;
class MainDataSources;
class MainWindowFrame;
struct ShowSession;

// The entry screen inside the main window: the entry form in the window's `EntryFormArea` and
// the entry lists on its tabs, sharing one set of entry values.
class EntryScreen : public QObject {
    Q_OBJECT
public:
    EntryScreen(MainWindowFrame& frame, MainDataSources& sources, QObject* parent = nullptr);

    EntryForm& form() const { return *m_form; }
    EntryLists& lists() const { return *m_lists; }
    EntryCommands& commands() const { return *m_commands; }
    const EntryState& state() const { return m_state; }

    // EntryCount: rows of the entry list at the last SortAndRefresh.
    int entryCount() const { return m_state.entryCount; }
    // The class-count average of the last CalEntries (the end of show report prints it).
    double classCountAverage() const { return m_state.classCountAverage; }
    // Re-reads the entry list after another screen wrote to the entries (placings, points) and
    // stays on the entry the form shows.
    void refreshKeepingEntry();

    // The multi-class board by default; tests put their own choice in its place.
    void setMultiClassDialog(EntryCommands::MultiClassDialog dialog);

public slots:
    // Edit / Search: the search dialog, then the search list on the "Search" tab.
    void runSearchCommand();
    // Edit / Delete Exhibitor.
    void deleteExhibitor();
    // OpenSearchList after a show was opened; the search list is let go when it is closed.
    void openSearchList();
    void closeSearchList();
    // `LstScrPrnt` on the "Show Info" tab: the class of the last score sheet printed.
    void showLastClassPrinted(int classNo);

    // Edit / Add Exhibitor and the toolbar's "AddE".
    void beginAdding();
    // View / Sort by (after the window's sort key index was set), and Open.
    void sortAndRefresh();
    // Closing a show: ShowEntryFields(0), EnableEntryFields(false).
    void clearEntryForm();
    void calEntries();
    // `Timer2` stops while the End Class dialog is open.
    void setBlinking(bool running);

private:
    // Another screen (or anything else in the program) wrote to the open show's entries or
    // classes: the lists are read again, staying on the entry the form shows, once no other
    // screen is open over the window and no entry is being typed.
    void onTablesChanged(const QString& file, const QStringList& tables);
    void refreshAfterChange();

    MainWindowFrame& m_frame;
    MainDataSources& m_sources;
    ShowSession& m_session;
    bool m_refreshPending = false;
    EntryState m_state;
    QPointer<EntryForm> m_form;
    EntryLists* m_lists = nullptr;
    EntryCommands* m_commands = nullptr;
    SearchList* m_search = nullptr;
    QLabel* m_lastScoreSheet = nullptr;
};

} // namespace twl

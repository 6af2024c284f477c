#pragma once

#include "entries/ClassCounts.h"
#include "entries/EntryListSync.h"
#include "entries/EntryState.h"
#include "entries/ShowEntryData.h"
#include "store/RecordSetModel.h"
#include "store/Value.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QTableView>
#include <array>
#include <optional>

class QTimer;

namespace twl {

class EntryForm;
struct EntryTabs;
class MainDataSources;
class MainWindowFrame;

// The entry lists around the entry form: the entry list `PriAdo` that the form walks through
// (SortAndRefresh, its move handler and caption), the current exhibitor's entries in `Grid_E`
// (fed by `SecAdo`), the class counts of the "Entries" and "Show Info" tabs (CalEntries), the
// class look-up `clID`/`CDbx`, the quick-name list and the member look-up.
class EntryLists : public QObject {
    Q_OBJECT
public:
    EntryLists(MainWindowFrame& frame, MainDataSources& sources, EntryForm& form, EntryState& state,
               const EntryTabs& tabs, QObject* parent = nullptr);

    // Re-reads the entry list, applies the show state and the View sort, and returns to
    // `LastBookmark` (or the first row), which fills the form.
    void sortAndRefresh();
    // Writes the entry list's pending rows in one batch; the list keeps them in place, in sort
    // order, rather than reading every entry again. Throws store::StoreError from the write.
    void writeEntryBatch();
    void calEntries();
    // ShowClassName: the name of the class typed in `clID`, into `CDbx`.
    void showClassName();

    // LookUpEarlierNames: acts for field 0 only, while its text is a number.
    void lookUpEarlierNames(int field);
    // Takes over the fields of an earlier entry with the typed number and this name, and fixes
    // the exhibitor number.
    void takeOverEarlierName(const QString& name);
    // The "L" button: fills the entry from the member whose number is in field 5.
    void lookUpMember();

    // Moves the entry list to the entry of an exhibitor number in a class (the grids' jump).
    bool jumpToEntry(const store::Value& classNo, const store::Value& exhibitorNo);
    // Empties the count lists beside the class lists (a show is closed).
    void clearClassCounts();

signals:
    // An earlier name was taken over: the multi-class command runs next.
    void earlierNameTakenOver();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rememberEntryListRead();
    void onEntryListMoved();
    void onExhibitorListMoved();
    void refreshExhibitorList(const store::Value& exhibitorNo);
    void showExhibitorListUnread();
    void setEntryGridColumns();
    bool showOpen() const;
    // Says that a read of the show's or the organisation's data failed, and why.
    void reportUnreadable(const QString& what, const QString& reason);
    void fillClassNumberLists();
    void linkClassLists();
    void onClickTimer();
    void writeCounts(const ClassCounts& counts);

    MainWindowFrame& m_frame;
    MainDataSources& m_sources;
    EntryForm& m_form;
    EntryState& m_state;
    store::RecordSetModel m_gridModel;
    // What the entry list's rows were read from, and when.
    EntryListSync m_entryListSync;
    QTimer* m_clickTimer = nullptr;
    QPointer<QTableView> m_grid;
    QPointer<QLabel> m_recordCount;
    QPointer<QLineEdit> m_classId;
    QPointer<QLabel> m_className;
    QPointer<QLabel> m_totalEntries;
    QPointer<QLabel> m_classesUsed;
    QPointer<QLabel> m_average;
    std::array<QPointer<QListWidget>, ClassListCount> m_classLists;
    std::array<QPointer<QListWidget>, ClassListCount> m_countLists;
};

} // namespace twl

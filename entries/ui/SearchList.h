#pragma once

#include "SearchListModel.h"
#include "entries/ShowEntryData.h"
#include "store/RecordSet.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QTabWidget;
class QTableView;
class QTimer;
class QWidget;

namespace twl {

class Prompt;

// The search list behind the "Search" tab: a copy of the show's entries that stays open while
// the show is open and is only re-filtered. Re-reading it is put off while the tab is not shown
// (nothing of it is visible then), so that an add, update or delete costs the same whatever the
// size of the show.
class SearchList : public QObject {
    Q_OBJECT
public:
    static constexpr int SearchTab = 3;

    struct Controls {
        QTableView* grid = nullptr; // Grid_S
        QLabel* count = nullptr;    // SrchRecCnt
        QLabel* text = nullptr;     // SrxhWrd
        QTabWidget* tabs = nullptr; // SSTab1
    };
    // Moves the entry list to the entry of an exhibitor number in a class.
    using JumpToEntry =
        std::function<bool(const store::Value& classNo, const store::Value& exhibitorNo)>;

    // A list that cannot be read is reported through `prompt`.
    SearchList(Controls controls, Prompt& prompt, JumpToEntry jump, QObject* parent = nullptr);

    // Edit / Search: the dialog, then the search unless the dialog was cancelled.
    void runSearchCommand(QWidget* dialogParent);
    // OpenSearchList: for a show with entries, a list that shows no entry yet.
    void open(const QString& showConnectionText, int entryCount);
    // ApplySearch.
    void apply(const QString& filter, bool switchTab);
    // The end of every add, update and delete: the search follows the data.
    void followChanges(const QString& showConnectionText, int entryCount);
    // SetSearchGridColumns.
    void setGridColumns();
    // Closing the show.
    void close();

    // The search's shared values.
    const QString& searchText() const { return m_searchText; }
    const QString& searchFilter() const { return m_searchFilter; }
    bool searchShowTab() const { return m_showTab; }
    bool isOpen() const { return m_open; }
    bool hasRows() const { return m_hasRows; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTabChanged(int index);
    void rereadIfShown();
    void reread();
    // Reads the list from the file unless it holds what the file holds; throws StoreError.
    void readIfChanged();
    void showUnreadList(const QString& reason);
    void showCount(const QString& count, bool hasRows);
    void jumpToClickedRow();

    Controls m_controls;
    Prompt& m_prompt;
    JumpToEntry m_jump;
    store::RecordSet m_list;
    SearchListModel m_model;
    std::optional<ChangeMark> m_readMark; // where the file stood when the list was read
    QTimer* m_clickTimer = nullptr;
    QString m_connectionText;
    QString m_appliedFilter;
    QString m_searchText;
    QString m_searchFilter;
    bool m_showTab = false;
    bool m_open = false;
    bool m_stale = false;
    bool m_hasRows = false;
};

} // namespace twl

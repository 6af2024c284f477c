#pragma once

#include "entries/ClassCounts.h"

#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class QWidget;

namespace twl {

class MainWindowFrame;

// The entry screen's four pages on the main window's tab strip and the controls on them:
// "Entries" (the class-count lists), "Exhibitor" (the current exhibitor's entries), "Show Info"
// (class look-up and totals) and "Search" (the search list). The pages belong to the strip;
// the entry screen keeps these pointers to them.
struct EntryTabs {
    static constexpr int ShowInfoTab = 2;

    std::array<QListWidget*, ClassListCount> classNumbers{}; // T1(0) to T1(5)
    std::array<QListWidget*, ClassListCount> classCounts{};  // L_1 to L_6
    QLabel* exhibitorRecords = nullptr;                      // ExhRecCnt
    QLabel* exhibitorNo = nullptr;                           // ExhNo
    QLabel* accountNote = nullptr;                           // ExhAcctNote: "Settled"
    QPushButton* accountButton = nullptr;                    // ExhAcctBut: the account
    QTableView* exhibitorGrid = nullptr;                     // Grid_E
    QLineEdit* classId = nullptr;                            // clID
    QLabel* className = nullptr;                             // CDbx
    QLabel* lastScoreSheet = nullptr;                        // LstScrPrnt
    QLabel* classesUsed = nullptr;                           // TotClsUsd
    QLabel* average = nullptr;                               // AveCls
    QLabel* totalEntries = nullptr;                          // TotEn
    QLabel* searchText = nullptr;                            // SrxhWrd
    QLabel* searchCount = nullptr;                           // SrchRecCnt
    QTableView* searchGrid = nullptr;                        // Grid_S
};

// Builds the four pages and puts them first on the frame's tab strip, ahead of any page already
// there.
EntryTabs addEntryTabs(MainWindowFrame& frame);

} // namespace twl

#pragma once

#include <QString>
#include <vector>

// What the score-sheet dialog offers and accepts: the classes that have entries, and the number
// of copies typed into its copies box.
namespace reports::ScoreSheetChoice {

// The dialog has one label per class number, 1 to 150.
inline constexpr int FirstClass = 1;
inline constexpr int LastClass = 150;

// Copies printed at once: a slip of the finger must not send thousands of pages to the printer.
inline constexpr int MostCopies = 99;

inline const QString ClassesWithEntriesQuery =
    QStringLiteral("SELECT DISTINCT [Class No] FROM [Entries_tbl]");

// The class numbers that have at least one entry, in the order the query returns them; a number
// outside 1 to 150 (or an entry without one) has no label and is left out. Throws
// store::StoreError when the show file cannot be read.
std::vector<int> classesWithEntries(const QString& showConnection);

// The copies box's text checked: a whole number from 1 to 99, blanks around it allowed.
struct Copies {
    int count = 0;   // the number of copies when accepted
    QString refusal; // why the text is refused; empty when accepted
    bool accepted() const { return refusal.isEmpty(); }
};
Copies checkCopies(const QString& text);

} // namespace reports::ScoreSheetChoice

#pragma once

#include "EntryRules.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace store {
class Connection;
}

namespace twl {

// The entry screen's reads and writes of the open show file beside its entry list. Every
// method throws store::StoreError; numbers are bound, never pasted into the SQL.
class ShowEntryData : public EntryLookups {
public:
    explicit ShowEntryData(QString connectionText) : m_connectionText(std::move(connectionText)) {}

    bool classEnded(qint64 classNo) override;
    bool exhibitorEntered(double exhibitorNo, qint64 classNo) override;

    // `[Class Name]` of a class; empty when there is no such class.
    QString className(double classNo);

    // ClearMultiSel's table part: every `Selected` and `OtherExhNa` of MultiSelect_tbl false.
    void clearMultiSelect();
    // `OtherExhNa` true for each class in which the exhibitor number has an entry.
    void markClassesOfExhibitor(double exhibitorNo);
    // The names entered with an exhibitor number, each once.
    QStringList earlierNames(double exhibitorNo);
    // The texts of the first entry with this exhibitor number and name (the name compared
    // ignoring case); nothing when there is none.
    std::optional<EntryTexts> earlierEntry(qint64 exhibitorNo, const QString& exhibitorName);

private:
    QString m_connectionText;
};

// Where a show file stands as far as this program's connection sees: two marks on the same,
// still open connection with the same counts mean that nothing was written to the file in
// between, by this program or any other.
struct ChangeMark {
    std::weak_ptr<store::Connection> connection;
    qint64 totalChanges = -1;   // rows written through the connection since it was opened
    qint64 dataVersion = -1;    // moves on with every commit of another connection
    qint64 entryRows = -1;      // rows of Entries_tbl written through the connection
    qint64 unnamedChanges = -1; // changes the engine made without naming their table

    // Whether the entries are as they were at an earlier mark but for entryRowsSince rows of
    // Entries_tbl written since through this connection: no other connection committed, and
    // every change of this one since named its table.
    bool entriesAsAt(const ChangeMark& earlier, qint64 entryRowsSince = 0) const {
        const auto mine = connection.lock();
        return mine && mine == earlier.connection.lock() && dataVersion == earlier.dataVersion &&
               unnamedChanges == earlier.unnamedChanges &&
               entryRows == earlier.entryRows + entryRowsSince;
    }
};
// Throws store::StoreError.
ChangeMark changeMark(const QString& connectionText);

// The entry fields a member's row fills, from the organisation file's Members_tbl; nothing when
// the member number (compared as text, ignoring case) is not there. Throws store::StoreError.
std::optional<std::vector<std::pair<int, QString>>> lookUpMember(const QString& orgConnectionText,
                                                                 const QString& memberNo);

} // namespace twl

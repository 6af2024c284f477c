#pragma once

#include "ShowEntryData.h"
#include "store/Value.h"

#include <QString>
#include <QtGlobal>
#include <map>
#include <optional>
#include <vector>

namespace store {
class DataSource;
class RecordSet;
} // namespace store

namespace twl {

// Keeps the entry list (a data source over the whole Entries_tbl) equal to a fresh read of the
// show file without reading every entry again after each one written: the list's own batches
// are placed into the list, and the list is read again only when something else wrote entries
// since it was read, in this program or in another one.
class EntryListSync {
public:
    // The list was just read: remembers where the file stood.
    void remember(store::DataSource& list);
    void forget() {
        m_lastRead.reset();
        m_tally.reset();
        m_rowClasses.clear();
    }

    // Whether the list shows what the file holds: it was read from the data source's source and
    // connection, holds no pending change and no filter, and no entry was written since.
    bool isCurrent(const store::DataSource& list) const;
    // Reads the list again unless it is current; returns whether it read. Throws
    // store::StoreError as the refresh does.
    bool refreshIfChanged(store::DataSource& list);
    // Writes the list's pending changes in one batch (throws store::StoreError as updateBatch
    // does, leaving them pending). When the list was current before the batch and nothing but
    // the batch wrote entries meanwhile, the written rows are placed into the list and it stays
    // current; otherwise the next refreshIfChanged reads it again.
    void writeBatch(store::DataSource& list);

    // The entries per whole class number and in all, as `SELECT [Class No], Count(*) FROM
    // Entries_tbl GROUP BY [Class No]` gives them: counted when the list was read (in the
    // table's order) and kept up to date by its own batches. Nothing while the list is not
    // current or does not hold the whole table.
    struct ClassTally {
        std::map<qint64, qint64> perClass;
        qint64 total = 0;
    };
    std::optional<ClassTally> tallyClasses(const store::DataSource& list) const;

private:
    // The class of one row as the tally counts it.
    struct RowClass {
        bool counted = false; // in the list
        bool whole = false;   // a whole class number
        qint64 classNo = 0;
    };
    bool readUnchanged(const store::DataSource& list) const;
    void countRows(store::DataSource& list);
    void count(const RowClass& row, int sign);
    static RowClass rowClass(const store::Value& classNo);
    // The class of a row of the list; the list's current row is kept.
    RowClass classOfRow(store::RecordSet& entries, int bookmark) const;

    struct Read {
        QString source;
        QString connectionText;
        ChangeMark mark;
    };
    std::optional<Read> m_lastRead;
    std::optional<ClassTally> m_tally;
    std::vector<RowClass> m_rowClasses; // by bookmark
    int m_classField = -1;
};

} // namespace twl

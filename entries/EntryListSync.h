#pragma once

#include "ShowEntryData.h"

#include <QString>
#include <QtGlobal>
#include <map>
#include <optional>

namespace store {
class DataSource;
}

namespace twl {

// Keeps the entry list (a data source over the whole Entries_tbl) equal to a fresh read of the
// show file without reading every entry again after each one written: the list's own batches
// are placed into the list, and the list is read again only when something else wrote entries
// since it was read, in this program or in another one.
class EntryListSync {
public:
    // The list was just read: remembers where the file stood.
    void remember(const store::DataSource& list);
    void forget() { m_lastRead.reset(); }

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
    // Entries_tbl GROUP BY [Class No]` gives them, counted from the list while it is current
    // and holds the whole table; nothing otherwise. The list's current row is kept.
    struct ClassTally {
        std::map<qint64, qint64> perClass;
        qint64 total = 0;
    };
    std::optional<ClassTally> tallyClasses(store::DataSource& list) const;

private:
    bool readUnchanged(const store::DataSource& list) const;

    struct Read {
        QString source;
        QString connectionText;
        ChangeMark mark;
    };
    std::optional<Read> m_lastRead;
};

} // namespace twl

#include "EntryDeletion.h"

#include "store/RecordSet.h"
#include "store/StoreError.h"

namespace twl {

QString entryDeletedMessage(const QString& exhibitorNo, const QString& classNo) {
    return QStringLiteral("Entry for ") + exhibitorNo + QStringLiteral(" in class ") + classNo +
           QStringLiteral(" was deleted");
}

QString allEntriesDeletedMessage(const QString& exhibitorNo) {
    return QStringLiteral("All entries for ") + exhibitorNo + QStringLiteral(" were deleted");
}

namespace {

// Undoes the pending delete and returns to the row, whatever made the write fail.
void restoreRow(store::RecordSet& entries, store::RecordSet::Bookmark row) {
    entries.cancelBatch();
    entries.setBookmark(row);
}

} // namespace

int deleteEntriesOfExhibitor(const QString& showConnectionText, qint64 exhibitorNo) {
    // Exhibitor numbers are 16-bit: anything else is no number the file can hold.
    if (exhibitorNo < -32768 || exhibitorNo > 32767)
        return 0;
    store::RecordSet entries;
    entries.open(QStringLiteral("SELECT * FROM Entries_tbl WHERE [Show Exh No] = ") +
                     QString::number(exhibitorNo),
                 showConnectionText);
    const int count = entries.recordCount();
    entries.moveFirst();
    while (!entries.eof())
        entries.deleteCurrent();
    entries.updateBatch();
    return count;
}

void deleteCurrentEntry(store::RecordSet& entries, const std::function<void()>& write) {
    const store::RecordSet::Bookmark row = entries.bookmark();
    entries.deleteCurrent();
    try {
        if (write)
            write();
        else
            entries.updateBatch();
    } catch (...) {
        restoreRow(entries, row);
        throw;
    }
}

} // namespace twl

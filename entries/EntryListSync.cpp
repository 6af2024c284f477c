#include "EntryListSync.h"

#include "store/DataSource.h"
#include "store/StoreError.h"

namespace twl {

void EntryListSync::remember(const store::DataSource& list) {
    m_lastRead.reset();
    if (!list.recordSet().isOpen())
        return;
    try {
        m_lastRead =
            Read{list.recordSource(), list.connectionText(), changeMark(list.connectionText())};
    } catch (const store::StoreError&) {
        // Without a mark the list is read again next time.
    }
}

// The list was read from what the data source names now, and shows every row it read.
bool EntryListSync::readUnchanged(const store::DataSource& list) const {
    const store::RecordSet& entries = list.recordSet();
    return m_lastRead && entries.isOpen() && entries.filter().isEmpty() &&
           m_lastRead->source == list.recordSource() &&
           m_lastRead->connectionText == list.connectionText() &&
           entries.connectionText() == list.connectionText();
}

bool EntryListSync::isCurrent(const store::DataSource& list) const {
    if (!readUnchanged(list) || list.recordSet().hasPendingChanges())
        return false;
    try {
        return changeMark(list.connectionText()).entriesAsAt(m_lastRead->mark);
    } catch (const store::StoreError&) {
        return false;
    }
}

bool EntryListSync::refreshIfChanged(store::DataSource& list) {
    if (isCurrent(list))
        return false;
    m_lastRead.reset();
    list.refresh();
    return true;
}

void EntryListSync::writeBatch(store::DataSource& list) {
    store::RecordSet& entries = list.recordSet();
    bool wasCurrent = false;
    try {
        wasCurrent =
            readUnchanged(list) && changeMark(list.connectionText()).entriesAsAt(m_lastRead->mark);
    } catch (const store::StoreError&) {
    }
    const std::vector<store::RecordSet::Bookmark> written = entries.pendingRows();
    entries.updateBatch();
    if (!wasCurrent) {
        m_lastRead.reset();
        return;
    }
    // The batch is committed: from here on a failure only means that the list is read again.
    try {
        const ChangeMark after = changeMark(list.connectionText());
        if (after.entriesAsAt(m_lastRead->mark, qint64(written.size())) &&
            entries.placeWrittenRows(written)) {
            m_lastRead->mark = after;
            return;
        }
    } catch (const store::StoreError&) {
    }
    m_lastRead.reset();
}

std::optional<EntryListSync::ClassTally>
EntryListSync::tallyClasses(store::DataSource& list) const {
    static const QString WholeTable = QStringLiteral("SELECT * FROM Entries_tbl");
    if (list.recordSource().trimmed().compare(WholeTable, Qt::CaseInsensitive) != 0 ||
        !isCurrent(list))
        return std::nullopt;
    store::RecordSet& entries = list.recordSet();
    ClassTally tally;
    const bool atStart = entries.bof();
    const bool atEnd = entries.eof();
    const store::RecordSet::Bookmark shown = entries.bookmark();
    try {
        const int classField = entries.fieldIndex(QStringLiteral("Class No"));
        for (entries.moveFirst(); !entries.eof(); entries.moveNext()) {
            const store::Value classNo = entries.value(classField);
            ++tally.total;
            if (classNo.isNumeric() && classNo.toDouble() == double(classNo.toInt()))
                ++tally.perClass[classNo.toInt()];
        }
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
    // Back to the row shown, or to the end the list stood at.
    if (shown != store::RecordSet::NoBookmark && entries.setBookmark(shown))
        return tally;
    if (atEnd && entries.recordCount() > 0) {
        entries.moveLast();
        entries.moveNext();
    } else if (atStart && entries.recordCount() > 0) {
        entries.moveFirst();
        entries.movePrevious();
    } else {
        entries.moveFirst();
    }
    return tally;
}

} // namespace twl

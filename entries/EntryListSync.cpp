#include "EntryListSync.h"

#include "EntryQueries.h"
#include "store/DataSource.h"
#include "store/StoreError.h"

#include <unordered_map>

namespace twl {

void EntryListSync::remember(store::DataSource& list) {
    forget();
    if (!list.recordSet().isOpen())
        return;
    try {
        m_lastRead =
            Read{list.recordSource(), list.connectionText(), changeMark(list.connectionText())};
    } catch (const store::StoreError&) {
        // Without a mark the list is read again next time.
        return;
    }
    countRows(list);
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
    forget();
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
        // Without a mark the written rows are not placed: the list is read again next time.
    }
    const std::vector<store::RecordSet::Bookmark> written = entries.pendingRows();
    entries.updateBatch();
    if (!wasCurrent) {
        forget();
        return;
    }
    // The batch is committed: from here on a failure only means that the list is read again.
    try {
        const ChangeMark after = changeMark(list.connectionText());
        if (after.entriesAsAt(m_lastRead->mark, qint64(written.size())) &&
            entries.placeWrittenRows(written)) {
            m_lastRead->mark = after;
            if (m_tally) {
                for (int bookmark : written) {
                    if (bookmark >= int(m_rowClasses.size()))
                        m_rowClasses.resize(std::size_t(bookmark) + 1);
                    RowClass& row = m_rowClasses[std::size_t(bookmark)];
                    count(row, -1);
                    row = classOfRow(entries, bookmark);
                    count(row, 1);
                }
            }
            return;
        }
    } catch (const store::StoreError&) {
        // The rows are written; only placing them failed, so the list is read again next time.
    }
    forget();
}

std::optional<EntryListSync::ClassTally>
EntryListSync::tallyClasses(const store::DataSource& list) const {
    if (!m_tally || !isCurrent(list))
        return std::nullopt;
    return m_tally;
}

void EntryListSync::count(const RowClass& row, int sign) {
    if (!row.counted)
        return;
    m_tally->total += sign;
    if (row.whole && (m_tally->perClass[row.classNo] += sign) == 0)
        m_tally->perClass.erase(row.classNo);
}

EntryListSync::RowClass EntryListSync::rowClass(const store::Value& classNo) {
    RowClass row;
    row.counted = true;
    row.whole = classNo.isNumeric() && classNo.toDouble() == double(classNo.toInt());
    row.classNo = row.whole ? classNo.toInt() : 0;
    return row;
}

EntryListSync::RowClass EntryListSync::classOfRow(store::RecordSet& entries, int bookmark) const {
    const store::RecordSet::Bookmark shown = entries.bookmark();
    RowClass row;
    if (entries.setBookmark(bookmark))
        row = rowClass(entries.value(m_classField));
    if (shown == store::RecordSet::NoBookmark || !entries.setBookmark(shown))
        entries.moveFirst();
    return row;
}

// Right after a read the list is in the table's order: counting it walks memory in order.
void EntryListSync::countRows(store::DataSource& list) {
    store::RecordSet& entries = list.recordSet();
    if (list.recordSource().trimmed().compare(EntryQueries::EntryListQuery, Qt::CaseInsensitive) !=
            0 ||
        !entries.filter().isEmpty())
        return;
    const store::RecordSet::Bookmark shown = entries.bookmark();
    try {
        m_classField = entries.fieldIndex(QStringLiteral("Class No"));
        m_tally = ClassTally{};
        // Counted by class in a hash first: the tally's ordered map is filled once per class.
        std::unordered_map<qint64, qint64> perClass;
        for (entries.moveFirst(); !entries.eof(); entries.moveNext()) {
            const RowClass row = rowClass(entries.value(m_classField));
            const std::size_t bookmark = std::size_t(entries.bookmark());
            if (bookmark >= m_rowClasses.size())
                m_rowClasses.resize(bookmark + 1);
            m_rowClasses[bookmark] = row;
            ++m_tally->total;
            if (row.whole)
                ++perClass[row.classNo];
        }
        m_tally->perClass.insert(perClass.begin(), perClass.end());
    } catch (const store::StoreError&) {
        m_tally.reset();
        m_rowClasses.clear();
    }
    if (shown == store::RecordSet::NoBookmark || !entries.setBookmark(shown))
        entries.moveFirst();
}

} // namespace twl

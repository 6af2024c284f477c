#pragma once

#include "Cells.h"
#include "Field.h"
#include "Filter.h"
#include "Value.h"

#include <QString>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace store {

// A client-side, static, batch-optimistic record set: open copies the rows into memory; moves,
// filters, sorts and changes work on that copy; updateBatch writes every pending change back
// in one transaction. A single-table query (or a table name) is updatable; DISTINCT, joins,
// groupings and views are read-only.
class RecordSet {
public:
    using Bookmark = int;
    static constexpr Bookmark NoBookmark = -1;

    RecordSet() = default;
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;
    RecordSet(RecordSet&&) = default;
    RecordSet& operator=(RecordSet&&) = default;

    // source: an SQL text or a table name. Throws StoreError; on failure the set stays closed.
    void open(const QString& source, const QString& connectionText);
    void requery(); // reads the rows again; pending changes are dropped, filter and sort kept
    void close();
    bool isOpen() const { return m_open; }
    bool isUpdatable() const { return !m_table.isEmpty(); }
    const QString& source() const { return m_source; }
    const QString& connectionText() const { return m_connectionText; }

    // Navigation over the rows that pass the filter, in sort order.
    int recordCount() const { return int(m_view.size()); }
    bool bof() const { return m_position < 0 || m_view.empty(); }
    bool eof() const { return m_position >= int(m_view.size()) || m_view.empty(); }
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    int absolutePosition() const; // 1-based; 0 at BOF or EOF
    void setAbsolutePosition(int position);

    // A bookmark names a row for as long as the set is open, whatever the filter and sort.
    Bookmark bookmark() const;
    // Returns false (and leaves the position) when the row is deleted or filtered out.
    bool setBookmark(Bookmark bookmark);

    // Throws StoreError (FilterSyntax, UnknownField). Moves to the first row.
    void setFilter(const QString& filter);
    const QString& filter() const { return m_filterText; }
    void setSort(const QString& sort);
    const QString& sort() const { return m_sortText; }
    // Moves to the next row (from the current one, skipping skip rows) that meets the
    // criterion; leaves the set at EOF (BOF going backwards) when none does.
    bool find(const QString& criterion, int skip = 0, bool forward = true);

    const Fields& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const; // throws UnknownField
    Value value(const QString& field) const;
    Value value(int field) const;
    // A field of the row at a 0-based position of the view, read without moving there; null
    // for a position or field out of range.
    Value valueAt(int position, int field) const;
    void setValue(const QString& field, const Value& value);
    void setValue(int field, const Value& value);

    void addNew();        // appends an empty row and makes it current
    void deleteCurrent(); // marks the current row deleted; the next row becomes current
    void updateBatch();   // all pending changes in one transaction, or none of them
    void cancelBatch();   // forgets pending changes
    bool hasPendingChanges() const;
    // The rows the next updateBatch writes: added, changed or deleted.
    std::vector<Bookmark> pendingRows() const;
    // After a batch, puts each row it wrote where a fresh read of the table would show it: its
    // values read back from the file, at its place in the sort order (ties in the table's
    // order), out of the view when deleted or filtered out. The current row stays current while
    // it is in the view, else the first row is. Only a set opened on a whole table knows that
    // place: for any other, with changes pending, or when the file no longer holds a written
    // row, it returns false and changes nothing (requery then). Throws StoreError on a failed
    // read, changing nothing.
    bool placeWrittenRows(const std::vector<Bookmark>& rows);

private:
    enum class State : quint8 { Unchanged, Modified, Inserted, Deleted, Dropped };
    struct Record {
        qint64 rowId = 0;
        State state = State::Unchanged;
    };
    // What a changed, added or deleted row had before, and the fields written since the batch.
    struct Pending {
        std::vector<Cell> original; // kept from the first change on
        std::vector<bool> set;
    };

    void load();
    void rebuildView();
    void sortView();
    bool readsWholeTable() const;
    // The order of two records in the view: the sort keys, then the table's order.
    bool sortsBefore(int a, int b) const;
    const Record& current() const;
    Record& current();
    int currentIndex() const;
    void requireOpen() const;
    // The cells of a record, and values to and from cells.
    Cell* cellsOf(int record) { return m_cells.data() + std::size_t(record) * m_fields.size(); }
    const Cell* cellsOf(int record) const {
        return m_cells.data() + std::size_t(record) * m_fields.size();
    }
    Value valueOf(const Cell& cell) const { return m_texts.valueOf(cell); }
    Cell cellOf(const Value& value) { return m_texts.cellOf(value); }
    class CellRow;
    bool passes(const Filter& filter, int record) const;
    Pending& pendingOf(int record);
    // updateBatch's steps, all inside its one transaction except the last.
    class BatchStatements;
    std::vector<int> writtenFields(int record) const;
    void writeDeletion(BatchStatements& statements, const Record& record);
    void writeUpdate(BatchStatements& statements, int record);
    qint64 writeInsertion(BatchStatements& statements, int record);
    void settleCommittedBatch(const std::vector<std::pair<int, qint64>>& insertedRowIds);

    bool m_open = false;
    QString m_source;
    QString m_sql;
    QString m_connectionText;
    QString m_table; // the table written back to; empty when read-only
    Fields m_fields;
    std::vector<QString> m_columnsInTable; // the table column behind each field
    BulkVector<Record> m_records;
    CellVector m_cells;                         // the records' values, one field after another
    CellTexts m_texts;                          // the texts behind the cells
    std::unordered_map<int, Pending> m_pending; // by record
    std::vector<int> m_view;                    // indexes into m_records, in the order shown
    int m_position = -1;
    QString m_filterText;
    Filter m_filter;
    QString m_sortText;
    SortKeys m_sortKeys;
};

} // namespace store

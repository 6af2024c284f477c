#pragma once

#include "RecordSet.h"
#include "Value.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

namespace store {

// A table model that presents the visible rows of a record set (those passing its filter, in its
// sort order) through chosen columns. A cell change is checked by a before-update hook, set on
// the record set, then handed to an after-update hook (typically a batch write). Whatever fails
// on the way is a refusal: the record set keeps the old value and the model says why.
//
// The model reads the record set into a cache of its own, so that painting never moves the
// record set. Whoever changes the record set behind the model's back (requery, filter, sort,
// values set in code) calls refresh() or reset() afterwards.
class RecordSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString field{};   // empty: an unbound column, which shows nothing and cannot be edited
        QString caption{}; // the header text
        Qt::Alignment alignment = Qt::AlignLeft;
        std::function<QString(const Value&)> format{}; // the shown text; empty: the value's text
        bool editable = true;
        bool hidden = false;   // kept in the model; views hide it (see isHidden)
        bool checkBox = false; // a yes/no field shown and edited as a check box
    };

    // False refuses the change; *message (may stay empty) says why.
    using BeforeUpdate =
        std::function<bool(int row, int column, const QVariant& newValue, QString* message)>;
    // Runs after the record set took the value; throwing refuses the change.
    using AfterUpdate = std::function<void(int row, int column)>;

    struct Refusal {
        enum class Reason { Rule, Conversion, WriteFailed };
        int row = -1;
        int column = -1;
        Reason reason = Reason::Rule;
        QString message;
    };
    using RefusalHandler = std::function<void(const Refusal&)>;

    explicit RecordSetModel(RecordSet& records, QObject* parent = nullptr);

    // Throws StoreError (UnknownField) when the record set is open and lacks a named field.
    void setColumns(std::vector<Column> columns);
    const Column& column(int column) const { return m_columns.at(size_t(column)); }
    bool isHidden(int column) const { return m_columns.at(size_t(column)).hidden; }

    void setBeforeUpdate(BeforeUpdate hook) { m_beforeUpdate = std::move(hook); }
    void setAfterUpdate(AfterUpdate hook) { m_afterUpdate = std::move(hook); }
    void setRefusalHandler(RefusalHandler handler) { m_refusalHandler = std::move(handler); }

    // Reads the record set again and tells the views that everything changed.
    void reset();
    // Reads the record set again; when the number of rows is the same the views keep their
    // current cell, selection and open editors, otherwise this is a reset().
    void refresh();

    RecordSet& recordSet() { return m_records; }
    RecordSet::Bookmark bookmarkAt(int row) const;
    int rowOf(RecordSet::Bookmark bookmark) const; // -1 when the row is not shown
    int currentRow() const;                        // the record set's current row, or -1
    bool moveTo(int row);                          // makes the row the record set's current one
    Value valueAt(int row, int column) const;      // as cached; null for an unbound column

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The value a cell's editor hands in, as the record set takes it.
    static Value valueFromVariant(const QVariant& value);

private:
    struct CachedRow {
        RecordSet::Bookmark bookmark = RecordSet::NoBookmark;
        std::vector<Value> values; // one per column
    };

    void resolveFields();
    void loadCache();
    CachedRow readCurrentRow() const;
    void reloadRow(int row);
    bool isEditable(int column) const;
    QString editText(const Value& value) const;
    bool refuse(int row, int column, Refusal::Reason reason, const QString& message);
    bool writeCell(int row, int column, const Value& value);

    RecordSet& m_records;
    std::vector<Column> m_columns;
    std::vector<int> m_fieldIndexes; // per column; -1 for unbound
    std::vector<CachedRow> m_rows;
    BeforeUpdate m_beforeUpdate;
    AfterUpdate m_afterUpdate;
    RefusalHandler m_refusalHandler;
};

} // namespace store

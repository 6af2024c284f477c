#pragma once

#include "store/RecordSet.h"

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace twl {

// The search grid's rows: the rows of the search list that pass its filter, in its order,
// read from the list when the grid asks for a cell. Nothing of a row is copied, so a search
// that finds most of a large show holds no more than one that finds a few entries. Read-only.
//
// Whoever re-reads, filters or sorts the list calls reset() afterwards.
class SearchListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString field;
        QString caption;
    };

    SearchListModel(store::RecordSet& list, std::vector<Column> columns, QObject* parent = nullptr);

    // Takes the list's rows, fields and count afresh and tells the views so.
    void reset();
    // A cell's value as the list holds it; null out of range or for a field the list lacks.
    store::Value valueAt(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    store::RecordSet& m_list;
    std::vector<Column> m_columns;
    std::vector<int> m_fields; // per column; -1 when the list lacks the field
    int m_rows = 0;
};

} // namespace twl

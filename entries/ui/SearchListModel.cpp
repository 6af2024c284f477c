#include "SearchListModel.h"

namespace twl {

SearchListModel::SearchListModel(store::RecordSet& list, std::vector<Column> columns,
                                 QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_columns(std::move(columns)),
      m_fields(m_columns.size(), -1) {}

void SearchListModel::reset() {
    beginResetModel();
    m_fields.assign(m_columns.size(), -1);
    m_rows = 0;
    if (m_list.isOpen()) {
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            m_fields[c] = store::findField(m_list.fields(), m_columns[c].field);
        m_rows = m_list.recordCount();
    }
    endResetModel();
}

store::Value SearchListModel::valueAt(int row, int column) const {
    if (row < 0 || row >= m_rows || column < 0 || column >= columnCount())
        return {};
    const int field = m_fields[std::size_t(column)];
    return field < 0 ? store::Value() : m_list.valueAt(row, field);
}

int SearchListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int SearchListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant SearchListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return valueAt(index.row(), index.column()).toText();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant SearchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_columns[std::size_t(section)].caption;
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags SearchListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace twl

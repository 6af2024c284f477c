#include "RecordSetModel.h"

#include "StoreError.h"

#include <QDate>
#include <QDateTime>
#include <exception>

namespace store {

namespace {

// Puts the record set back where it was (on a row, before the first or after the last) once the
// model has walked through it.
class PositionKeeper {
public:
    explicit PositionKeeper(RecordSet& records)
        : m_records(records), m_bookmark(records.bookmark()),
          m_beforeFirst(records.bof() && !records.eof()),
          m_afterLast(records.eof() && !records.bof()) {}
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

    ~PositionKeeper() {
        if (!m_records.isOpen())
            return;
        if (m_bookmark != RecordSet::NoBookmark && m_records.setBookmark(m_bookmark))
            return;
        m_records.moveFirst();
        if (m_beforeFirst && !m_records.eof())
            m_records.movePrevious();
        if (m_afterLast) {
            m_records.moveLast();
            m_records.moveNext();
        }
    }

private:
    RecordSet& m_records;
    RecordSet::Bookmark m_bookmark;
    bool m_beforeFirst;
    bool m_afterLast;
};

QString messageOf(const std::exception& error) {
    if (const auto* storeError = dynamic_cast<const StoreError*>(&error))
        return storeError->message();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

RecordSetModel::RecordSetModel(RecordSet& records, QObject* parent)
    : QAbstractTableModel(parent), m_records(records) {}

void RecordSetModel::setColumns(std::vector<Column> columns) {
    if (m_records.isOpen()) {
        for (const Column& column : columns) {
            if (!column.field.isEmpty())
                m_records.fieldIndex(column.field); // throws for a field the set does not have
        }
    }
    beginResetModel();
    m_columns = std::move(columns);
    resolveFields();
    loadCache();
    endResetModel();
}

void RecordSetModel::reset() {
    beginResetModel();
    resolveFields();
    loadCache();
    endResetModel();
}

void RecordSetModel::refresh() {
    const int before = int(m_rows.size());
    const int after = m_records.isOpen() ? m_records.recordCount() : 0;
    if (before != after) {
        reset();
        return;
    }
    resolveFields();
    loadCache();
    if (!m_rows.empty() && !m_columns.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

// A field that has disappeared since setColumns (the set was opened on another source) leaves
// its column blank and read-only rather than failing while the views paint.
void RecordSetModel::resolveFields() {
    m_fieldIndexes.assign(m_columns.size(), -1);
    if (!m_records.isOpen())
        return;
    for (size_t c = 0; c < m_columns.size(); ++c) {
        if (!m_columns[c].field.isEmpty())
            m_fieldIndexes[c] = findField(m_records.fields(), m_columns[c].field);
    }
}

void RecordSetModel::loadCache() {
    m_rows.clear();
    if (!m_records.isOpen())
        return;
    m_rows.reserve(size_t(m_records.recordCount()));
    PositionKeeper keeper(m_records);
    for (m_records.moveFirst(); !m_records.eof(); m_records.moveNext())
        m_rows.push_back(readCurrentRow());
}

RecordSetModel::CachedRow RecordSetModel::readCurrentRow() const {
    CachedRow row;
    row.bookmark = m_records.bookmark();
    row.values.reserve(m_columns.size());
    for (int field : m_fieldIndexes)
        row.values.push_back(field >= 0 ? m_records.value(field) : Value());
    return row;
}

// Reads one row again after a change made through the model; the set is on that row.
void RecordSetModel::reloadRow(int row) {
    m_rows[size_t(row)] = readCurrentRow();
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

RecordSet::Bookmark RecordSetModel::bookmarkAt(int row) const {
    if (row < 0 || row >= rowCount())
        return RecordSet::NoBookmark;
    return m_rows[size_t(row)].bookmark;
}

int RecordSetModel::rowOf(RecordSet::Bookmark bookmark) const {
    if (bookmark == RecordSet::NoBookmark)
        return -1;
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].bookmark == bookmark)
            return int(row);
    }
    return -1;
}

int RecordSetModel::currentRow() const {
    return m_records.isOpen() ? rowOf(m_records.bookmark()) : -1;
}

bool RecordSetModel::moveTo(int row) {
    if (!m_records.isOpen() || row < 0 || row >= rowCount())
        return false;
    return m_records.setBookmark(m_rows[size_t(row)].bookmark);
}

Value RecordSetModel::valueAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return m_rows[size_t(row)].values[size_t(column)];
}

int RecordSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecordSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString RecordSetModel::editText(const Value& value) const {
    return value.toText();
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const Column& column = m_columns[size_t(index.column())];
    const Value& value = m_rows[size_t(index.row())].values[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        if (column.checkBox)
            return {};
        return column.format ? column.format(value) : value.toText();
    case Qt::EditRole:
        if (column.checkBox)
            return value.toBool();
        return editText(value);
    case Qt::CheckStateRole:
        if (!column.checkBox)
            return {};
        return value.toBool() ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole: {
        Qt::Alignment alignment = column.alignment;
        if (!(alignment & Qt::AlignVertical_Mask))
            alignment |= Qt::AlignVCenter;
        return int(alignment);
    }
    default:
        return {};
    }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const Column& column = m_columns[size_t(section)];
    if (role == Qt::DisplayRole)
        return column.caption;
    if (role == Qt::TextAlignmentRole)
        return int(column.alignment | Qt::AlignVCenter);
    return {};
}

bool RecordSetModel::isEditable(int column) const {
    return column >= 0 && column < columnCount() && m_columns[size_t(column)].editable &&
           m_fieldIndexes[size_t(column)] >= 0 && m_records.isOpen() && m_records.isUpdatable();
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isEditable(index.column()))
        flags |= m_columns[size_t(index.column())].checkBox ? Qt::ItemIsUserCheckable
                                                            : Qt::ItemIsEditable;
    return flags;
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount() || !isEditable(index.column()))
        return false;
    const int row = index.row();
    const int column = index.column();
    const bool checkBox = m_columns[size_t(column)].checkBox;
    if (role != (checkBox ? Qt::CheckStateRole : Qt::EditRole))
        return false;
    const QVariant incoming = checkBox ? QVariant(value.toInt() == Qt::Checked) : QVariant(value);

    // A cell left as it was is no change: nothing is checked and nothing is written.
    const Value& old = m_rows[size_t(row)].values[size_t(column)];
    if (checkBox ? (!old.isNull() && old.toBool() == incoming.toBool())
                 : incoming.toString() == editText(old))
        return true;

    // The hook may look at the rest of the row through the record set.
    if (!moveTo(row))
        return refuse(row, column, Refusal::Reason::WriteFailed,
                      tr("The row is no longer in the record set."));
    QString message;
    if (m_beforeUpdate && !m_beforeUpdate(row, column, incoming, &message))
        return refuse(row, column, Refusal::Reason::Rule, message);
    return writeCell(row, column, valueFromVariant(incoming));
}

bool RecordSetModel::writeCell(int row, int column, const Value& value) {
    const RecordSet::Bookmark bookmark = m_rows[size_t(row)].bookmark;
    if (!m_records.setBookmark(bookmark))
        return refuse(row, column, Refusal::Reason::WriteFailed,
                      tr("The row is no longer in the record set."));
    const int field = m_fieldIndexes[size_t(column)];
    const bool hadPendingChanges = m_records.hasPendingChanges();
    const Value previous = m_records.value(field);
    try {
        m_records.setValue(field, value);
    } catch (const StoreError& error) {
        return refuse(row, column, Refusal::Reason::Conversion, error.message());
    }
    reloadRow(row);
    if (!m_afterUpdate)
        return true;

    try {
        m_afterUpdate(row, column);
    } catch (const std::exception& error) {
        // Changes made before this one stay pending; this one is taken back.
        if (m_records.isOpen()) {
            bool restored = false;
            if (hadPendingChanges && m_records.setBookmark(bookmark)) {
                try {
                    m_records.setValue(field, previous);
                    restored = true;
                } catch (const StoreError&) {
                    // Not restored: the whole pending batch is taken back below instead.
                }
            }
            if (!restored)
                m_records.cancelBatch();
            m_records.setBookmark(bookmark);
        }
        refresh();
        return refuse(row, column, Refusal::Reason::WriteFailed, messageOf(error));
    }
    refresh();
    return true;
}

bool RecordSetModel::refuse(int row, int column, Refusal::Reason reason, const QString& message) {
    if (m_refusalHandler)
        m_refusalHandler(Refusal{row, column, reason, message});
    return false;
}

Value RecordSetModel::valueFromVariant(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::Bool:
        return Value(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return Value(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return Value(value.toDouble());
    case QMetaType::QDate:
        return Value(value.toDate());
    case QMetaType::QDateTime:
        return Value(value.toDateTime().date());
    default:
        return Value(value.toString());
    }
}

} // namespace store

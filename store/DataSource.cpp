#include "DataSource.h"

#include "Connection.h"
#include "ConnectionText.h"
#include "StoreError.h"

#include <QRegularExpression>

namespace store {

void DataSource::refresh() {
    m_recordSet.close();
    m_recordSet.open(m_recordSource, m_connectionText);
    emit refreshed();
}

bool DataSource::adopt(RecordSet&& set) {
    if (!set.isOpen() || set.source() != m_recordSource || set.connectionText() != m_connectionText)
        return false;
    m_recordSet = std::move(set);
    emit refreshed();
    return true;
}

void DataSource::closeRecordSet() {
    m_recordSet.close();
}

void DataSource::moveFirst() {
    if (!m_recordSet.isOpen())
        return;
    m_recordSet.moveFirst();
    emit moveComplete();
}

void DataSource::movePrevious() {
    if (!m_recordSet.isOpen())
        return;
    if (m_recordSet.eof())
        m_recordSet.moveLast();
    else if (m_recordSet.absolutePosition() > 1)
        m_recordSet.movePrevious();
    else
        m_recordSet.moveFirst();
    emit moveComplete();
}

void DataSource::moveNext() {
    if (!m_recordSet.isOpen())
        return;
    if (m_recordSet.bof())
        m_recordSet.moveFirst();
    else if (m_recordSet.absolutePosition() < m_recordSet.recordCount())
        m_recordSet.moveNext();
    else
        m_recordSet.moveLast();
    emit moveComplete();
}

void DataSource::moveLast() {
    if (!m_recordSet.isOpen())
        return;
    m_recordSet.moveLast();
    emit moveComplete();
}

void DataSource::setCaption(const QString& caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    emit captionChanged(caption);
}

bool loadThroughDataSource(DataSource& source, const QString& connectionText,
                           const QString& query) {
    source.setConnectionText(connectionText);
    source.setRecordSource(query);
    try {
        source.refresh();
        source.recordSet().moveFirst();
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

void clearWorkTable(const QString& showPath, const QString& password, const QString& table) {
    static const QRegularExpression plainName(QStringLiteral("^\\w+$"));
    if (!plainName.match(table).hasMatch())
        throw StoreError(StoreError::Code::Sql,
                         QStringLiteral("\"%1\" is not a work table name.").arg(table));
    execute(reportConnectionText(showPath, password), QStringLiteral("DELETE from ") + table);
}

} // namespace store

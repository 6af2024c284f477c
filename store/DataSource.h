#pragma once

#include "RecordSet.h"

#include <QObject>
#include <QString>

namespace store {

// A data source of a window: a connection text, a record source (a query text), a refresh that
// (re)opens it and the current record set.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject* parent = nullptr) : QObject(parent) {}

    void setConnectionText(const QString& text) { m_connectionText = text; }
    const QString& connectionText() const { return m_connectionText; }
    void setRecordSource(const QString& source) { m_recordSource = source; }
    const QString& recordSource() const { return m_recordSource; }

    // Opens the record source afresh; throws StoreError and leaves the set closed on failure.
    void refresh();
    // Takes a set already read from this data source's record source and connection text, as
    // a refresh would read it now, in place of that refresh. Returns false, taking nothing, for
    // a set read from anything else.
    bool adopt(RecordSet&& set);
    void closeRecordSet();
    RecordSet& recordSet() { return m_recordSet; }
    const RecordSet& recordSet() const { return m_recordSet; }

    // Moves of the current record that tell whoever listens (the window's move handlers).
    // Moving past either end stops on the first or last row. Nothing happens while closed.
    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();

    // The caption of the navigation bar that shows this data source.
    void setCaption(const QString& caption);
    const QString& caption() const { return m_caption; }

signals:
    void refreshed();
    void moveComplete();
    void captionChanged(const QString& caption);

private:
    QString m_connectionText;
    QString m_recordSource;
    RecordSet m_recordSet;
    QString m_caption;
};

// The shared loader: points the data source at a connection text and a query, refreshes it and
// moves to its first row. Errors are ignored: the caller then reads empty values. Returns
// whether the set opened.
bool loadThroughDataSource(DataSource& source, const QString& connectionText, const QString& query);

// Empties a work table of a show file through a report connection on that file. Only plain
// table names are taken. Throws StoreError.
void clearWorkTable(const QString& showPath, const QString& password, const QString& table);

} // namespace store

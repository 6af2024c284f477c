#pragma once

#include "store/DataSource.h"

#include <QObject>

namespace twl {

// The main window's three data sources: PriAdo (the entry list, shown as the navigation bar),
// SecAdo (the exhibitor grid) and AdoTmp (one-off reads through the shared loader).
class MainDataSources : public QObject {
    Q_OBJECT
public:
    explicit MainDataSources(QObject* parent = nullptr);

    store::DataSource priAdo;
    store::DataSource secAdo;
    store::DataSource adoTmp;

    // Set while a routine moves the lists itself: the move handlers then do nothing.
    bool eventsSuppressed = false;

    // Points PriAdo and SecAdo at the entries and AdoTmp at the classes of a connection.
    void pointAt(const QString& connectionText, const QString& secondarySource);
};

// Suppresses the data sources' move handlers for as long as it lives.
class SuppressDataEvents {
public:
    explicit SuppressDataEvents(MainDataSources& sources)
        : m_sources(sources), m_was(sources.eventsSuppressed) {
        sources.eventsSuppressed = true;
    }
    ~SuppressDataEvents() { m_sources.eventsSuppressed = m_was; }
    SuppressDataEvents(const SuppressDataEvents&) = delete;
    SuppressDataEvents& operator=(const SuppressDataEvents&) = delete;

private:
    MainDataSources& m_sources;
    bool m_was;
};

} // namespace twl

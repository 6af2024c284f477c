#pragma once

#include <QString>

namespace store {

// The connection texts through which the program names its database files. They are built by
// plain concatenation; only the file and the password mean anything to the engine.
QString dataConnectionText(const QString& file, const QString& password);
QString reportConnectionText(const QString& file, const QString& password);
QString compactionSourceText(const QString& file, const QString& password);
QString compactionTargetText(const QString& file, const QString& password);

// The provider named for report connections.
inline constexpr const char* ReportProvider = "MSDataShape";

struct ConnectionTarget {
    QString file;
    QString password;
};

// Reads the file (DBQ= or Data Source=) and the password (PWD=, Password=,
// Jet OLEDB:Database Password=) from a connection text; the rest is ignored. Keys ignore case.
ConnectionTarget parseConnectionText(const QString& text);

} // namespace store

#pragma once

#include "store/Connection.h"
#include "store/StoreError.h"

#include <QStringList>
#include <map>

// Every table of a data file with its number of rows; empty when the file does not open.
inline std::map<QString, qint64> tableRowsOf(const QString& file, const QString& password) {
    std::map<QString, qint64> rows;
    try {
        store::Connection connection(file, password);
        QStringList tables;
        store::Statement names = connection.prepare(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'");
        while (names.step())
            tables.append(names.columnValue(0, store::FieldType::Text).toText());
        for (const QString& table : tables) {
            store::Statement count = connection.prepare("SELECT count(*) FROM [" + table + "]");
            count.step();
            rows[table] = count.columnInt64(0);
        }
    } catch (const store::StoreError&) {
        rows.clear();
    }
    return rows;
}

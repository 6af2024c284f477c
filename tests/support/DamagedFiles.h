#pragma once

#include "store/Connection.h"
#include "store/Transaction.h"

#include <QFile>
#include <QString>
#include <QtTest>

// Data files with something wrong with them, as a crash, a failing disk or another program
// leaves them.
namespace damaged {

// The page size of the files this program writes.
constexpr qint64 PageSize = store::NewFilePageSize;

// Adds entries to a show, so that its entries fill many pages.
inline void addEntries(const QString& show, const QString& password, int count) {
    store::Connection connection(show, password);
    store::Transaction transaction(connection);
    store::Statement insert = connection.prepare(
        "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No], [Horse Name]) "
        "VALUES (?, ?, ?, ?)");
    for (int n = 0; n < count; ++n) {
        insert.reset();
        insert.bind(1, store::Value(n / 5 + 1));
        insert.bind(2, store::Value(QString("Exhibitor %1").arg(n / 5 + 1)));
        insert.bind(3, store::Value(n % 150 + 1));
        insert.bind(4, store::Value(QString("Horse number %1 of the show").arg(n)));
        insert.step();
    }
    transaction.commit();
}

inline qint64 pageCount(const QString& file) {
    return QFileInfo(file).size() / PageSize;
}

// Overwrites bytes in the middle of one page (0-based), as a failing disk would.
inline bool damagePage(const QString& file, qint64 page) {
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(page * PageSize + PageSize / 2))
        return false;
    return f.write(QByteArray(48, '\x5a')) == 48;
}

// Cuts a file short, as a copy that was being written when the program was killed.
inline bool truncateTo(const QString& file, qint64 bytes) {
    return QFile::resize(file, bytes);
}

} // namespace damaged

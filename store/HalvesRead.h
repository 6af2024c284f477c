#pragma once

#include "Connection.h"
#include "StoreError.h"
#include "Value.h"

#include <QString>
#include <cstddef>
#include <future>
#include <memory>
#include <vector>

namespace store {

// Whether a whole read of a table of about `expected` rows is made in two halves at once: a
// large table, a machine with a second core, and no transaction of the program's own open on the
// connection, whose changes only this connection sees.
bool readsInHalves(Connection& connection, std::size_t expected);

// A read transaction of a connection that has none: its shared lock is taken at once and held
// until the end, so that no change can be committed while it lasts.
class HeldRead {
public:
    explicit HeldRead(Connection& connection);
    ~HeldRead();
    HeldRead(const HeldRead&) = delete;
    HeldRead& operator=(const HeldRead&) = delete;

private:
    Connection& m_connection;
};

// Reads the rows of `select`, a query of a whole table without conditions, in two halves of its
// row ids at once, the later half by a second connection on another thread. This connection
// holds a read transaction from before the second one starts until both are done, so both halves
// are of the same file. `readPart(connection, sql, parameters, expected)` reads the rows of one
// query into a part; `join(first, later)` puts the later half's rows after the first's. The
// first half is given room for the whole table, which it takes over. A file that will not open
// a second time is read by this connection alone.
template <typename ReadPart, typename Join>
auto readInHalves(Connection& connection, const QString& select, std::size_t expected,
                  ReadPart readPart, Join join) {
    const std::vector<Value> middle{Value(qint64(expected / 2))};
    const HeldRead held(connection);
    std::unique_ptr<Connection> second;
    try {
        second = connection.sibling();
    } catch (const StoreError&) {
        return readPart(connection, select, std::vector<Value>(), expected);
    }
    auto later = std::async(std::launch::async, [&] {
        return readPart(*second, select + QStringLiteral(" WHERE _rowid_ > ?"), middle,
                        expected - expected / 2);
    });
    auto first =
        readPart(connection, select + QStringLiteral(" WHERE _rowid_ <= ?"), middle, expected);
    join(first, later.get());
    return first;
}

} // namespace store

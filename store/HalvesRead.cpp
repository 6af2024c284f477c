#include "HalvesRead.h"

#include <sqlite3.h>
#include <thread>

namespace store {

namespace {

constexpr std::size_t HalvesReadRows = 20'000;

} // namespace

bool readsInHalves(Connection& connection, std::size_t expected) {
    return expected >= HalvesReadRows && std::thread::hardware_concurrency() >= 2 &&
           sqlite3_get_autocommit(connection.handle());
}

HeldRead::HeldRead(Connection& connection) : m_connection(connection) {
    m_connection.execute(QStringLiteral("BEGIN"));
    try {
        m_connection.execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (...) {
        sqlite3_exec(m_connection.handle(), "COMMIT", nullptr, nullptr, nullptr);
        throw;
    }
}

HeldRead::~HeldRead() {
    // Nothing was written, so the transaction's end cannot fail in a way that matters.
    sqlite3_exec(m_connection.handle(), "COMMIT", nullptr, nullptr, nullptr);
}

} // namespace store

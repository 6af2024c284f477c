#include "Transaction.h"

#include "Connection.h"

namespace store {

namespace {
QString savepointName(int level) {
    return QStringLiteral("twl_level_%1").arg(level);
}
} // namespace

Transaction::Transaction(Connection& connection) : m_connection(&connection) {
    m_level = m_connection->m_transactionDepth + 1;
    m_connection->execute(m_level == 1 ? QStringLiteral("BEGIN IMMEDIATE")
                                       : QStringLiteral("SAVEPOINT ") + savepointName(m_level));
    m_connection->m_transactionDepth = m_level;
}

Transaction::~Transaction() {
    if (m_done)
        return;
    try {
        if (m_level == 1) {
            m_connection->m_uncommitted.clear();
            m_connection->execute(QStringLiteral("ROLLBACK"));
        } else {
            m_connection->execute(QStringLiteral("ROLLBACK TO ") + savepointName(m_level));
            m_connection->execute(QStringLiteral("RELEASE ") + savepointName(m_level));
        }
    } catch (...) {
        // A destructor must not throw; the engine has already undone a failed transaction.
    }
    m_connection->m_transactionDepth = m_level - 1;
}

void Transaction::commit() {
    m_connection->execute(m_level == 1 ? QStringLiteral("COMMIT")
                                       : QStringLiteral("RELEASE ") + savepointName(m_level));
    m_done = true;
    m_connection->m_transactionDepth = m_level - 1;
    if (m_level == 1)
        m_connection->publishChanges();
}

} // namespace store

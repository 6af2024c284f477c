#include "Transaction.h"

#include "Connection.h"
#include "StoreError.h"

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
    bool undone = false;
    try {
        if (m_level == 1) {
            m_connection->m_uncommitted.clear();
            m_connection->execute(QStringLiteral("ROLLBACK"));
        } else {
            m_connection->execute(QStringLiteral("ROLLBACK TO ") + savepointName(m_level));
            undone = true; // a savepoint left on the stack is released with the outer level
            m_connection->execute(QStringLiteral("RELEASE ") + savepointName(m_level));
        }
        undone = true;
    } catch (...) {
        // A destructor must not throw; what the engine refused is settled below.
    }
    m_connection->m_transactionDepth = m_level - 1;
    if (m_level == 1) {
        if (!undone)
            m_connection->abandonTransaction();
        m_connection->m_rollbackOnly = false;
    } else if (!undone) {
        // This level's writes are still in the outer transaction: it may only roll back.
        m_connection->m_rollbackOnly = true;
    }
}

void Transaction::commit() {
    if (m_connection->m_rollbackOnly)
        throw StoreError(StoreError::Code::Sql,
                         QStringLiteral("A step of this change could not be undone, so none of "
                                        "it is written."));
    m_connection->execute(m_level == 1 ? QStringLiteral("COMMIT")
                                       : QStringLiteral("RELEASE ") + savepointName(m_level));
    m_done = true;
    m_connection->m_transactionDepth = m_level - 1;
    if (m_level == 1)
        m_connection->publishChanges();
}

} // namespace store

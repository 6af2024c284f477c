#pragma once

namespace store {

class Connection;

// All or nothing: rolls back in its destructor unless commit() was called. Transactions nest;
// an inner one is a savepoint of the outer.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Connection* m_connection;
    int m_level = 0;
    bool m_done = false;
};

} // namespace store

#pragma once

#include "platform/odbc/Connection.h"

namespace odbc {

// One transaction of a connection whose statements do not commit themselves
// (auto-commit off): made lasting by commit(), rolled back when it goes out of
// scope otherwise, on any path out, a thrown failure's included.
class Transaction {
public:
    explicit Transaction(Connection &connection)
        : m_connection(connection)
    {
    }
    ~Transaction()
    {
        if (!m_committed)
            m_connection.rollback();
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Throws odbc::Error when the server does not take it; the destructor then rolls back.
    void commit()
    {
        m_connection.commit();
        m_committed = true;
    }

private:
    Connection &m_connection;
    bool m_committed = false;
};

} // namespace odbc

#pragma once

#include "platform/Failure.h"

#include "platform/odbc/OdbcApi.h"

namespace odbc {

// A failed ODBC call: carries the driver's own message text and the SQLSTATE of
// its first diagnostic record.
class Error : public Failure {
public:
    Error(const QString &message, const QString &sqlState)
        : Failure(message)
        , m_sqlState(sqlState)
    {
    }
    const QString &sqlState() const noexcept { return m_sqlState; }

private:
    QString m_sqlState;
};

// Throws odbc::Error with the handle's diagnostics when rc is not a success.
// `what` names the call, used only when the driver gives no message of its own.
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char *what);

// The diagnostics of a handle as one text (records joined by new lines) and the
// first record's SQLSTATE.
QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString *firstSqlState = nullptr);

inline bool succeeded(SQLRETURN rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

} // namespace odbc

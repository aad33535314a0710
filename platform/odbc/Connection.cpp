#include "platform/odbc/Connection.h"

#include "platform/odbc/Counters.h"
#include "platform/odbc/OdbcError.h"
#include "platform/odbc/Statement.h"
#include "platform/odbc/WideText.h"

#include <limits>

namespace odbc {

namespace {

// The process's one ODBC environment, made at first use and kept to the end.
SQLHENV environment()
{
    static EnvironmentHandle env = [] {
        // FreeTDS guesses the protocol version unless told; its fallback attempt
        // waits with no timer, so a server that accepts the connection but never
        // answers would hang the program. The program needs SQL Server 2012 or
        // later, which speaks TDS 7.4; a version the user set stays.
        if (qEnvironmentVariableIsEmpty("TDSVER"))
            qputenv("TDSVER", "7.4");
        SQLHANDLE handle = SQL_NULL_HANDLE;
        if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle)))
            throw Error(QStringLiteral("The ODBC driver manager could not be started."), QString());
        SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return EnvironmentHandle(handle);
    }();
    return env.get();
}

} // namespace

Connection::Connection()
{
    SQLHENV env = environment();
    SQLHANDLE handle = SQL_NULL_HANDLE;
    check(SQLAllocHandle(SQL_HANDLE_DBC, env, &handle), SQL_HANDLE_ENV, env, "SQLAllocHandle");
    m_handle = ConnectionHandle(handle);
}

Connection::~Connection()
{
    close();
}

void Connection::setMode(int mode)
{
    m_mode = mode;
}

void Connection::setCursorLocation(int location)
{
    // Every result is read into a client-side snapshot, so both locations behave alike.
    m_cursorLocation = location;
}

void Connection::setCommandTimeout(int seconds)
{
    m_commandTimeout = seconds;
}

void Connection::setConnectionTimeout(int seconds)
{
    m_connectionTimeout = seconds;
    // The login's timeout is spent once open; the one for other requests still counts.
    if (m_open && seconds > 0)
        SQLSetConnectAttrW(handle(), SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(seconds)), 0);
}

void Connection::open(const QString &connectionString)
{
    if (m_open)
        throw Failure(QStringLiteral("Operation is not allowed when the object is open."));
    SQLHDBC dbc = handle();
    // Optional driver features: a driver that lacks them still connects.
    if (m_connectionTimeout > 0) {
        SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(m_connectionTimeout)), 0);
        SQLSetConnectAttrW(
            dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(m_connectionTimeout)), 0);
    }
    if (m_mode == ModeReadWrite)
        SQLSetConnectAttrW(dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_WRITE), 0);

    // The length travels as a 16-bit count. A longer string goes as one that
    // ends at its terminating null instead, so it is never cut at a wrapped
    // count; a null inside the string would end it early, so it is refused.
    if (connectionString.contains(QChar(u'\0')))
        throw Failure(QStringLiteral("The connection string holds a null character, where the driver would take it "
                                     "to end; it was not used."));
    auto wide = toWide(connectionString);
    const SQLSMALLINT length = connectionString.size() <= std::numeric_limits<SQLSMALLINT>::max()
        ? SQLSMALLINT(connectionString.size())
        : SQLSMALLINT(SQL_NTS);
    SQLSMALLINT outLength = 0;
    check(SQLDriverConnectW(dbc, nullptr, wide.data(), length, nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, dbc, "SQLDriverConnect");
    m_open = true;
}

void Connection::close() noexcept
{
    if (m_open) {
        SQLDisconnect(handle());
        m_open = false;
    }
}

void Connection::requireOpen() const
{
    if (!m_open)
        throw Failure(QStringLiteral("Operation is not allowed when the object is closed."));
}

void Connection::setAutoCommit(bool on)
{
    requireOpen();
    const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    check(SQLSetConnectAttrW(handle(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, handle(), "SQLSetConnectAttr");
    m_autoCommit = on;
}

void Connection::commit()
{
    requireOpen();
    ++counters().commits;
    check(SQLEndTran(SQL_HANDLE_DBC, handle(), SQL_COMMIT), SQL_HANDLE_DBC, handle(), "SQLEndTran");
}

void Connection::rollback() noexcept
{
    // A connection that is already lost has nothing left to roll back.
    if (m_open)
        SQLEndTran(SQL_HANDLE_DBC, handle(), SQL_ROLLBACK);
}

qint64 Connection::execute(const QString &sql, const QList<QVariant> &parameters)
{
    requireOpen();
    Statement statement(*this);
    statement.executeDirect(sql, parameters);
    return statement.rowCount();
}

RecordSet Connection::query(const QString &sql, const QList<QVariant> &parameters, qsizetype maxRows)
{
    requireOpen();
    Statement statement(*this);
    if (maxRows > 0) // 0 would mean no limit to the driver
        statement.setMaxRows(maxRows);
    statement.executeDirect(sql, parameters);
    return RecordSet::fetch(statement, maxRows);
}

RecordSet Connection::tables()
{
    requireOpen();
    Statement statement(*this);
    statement.tables();
    return RecordSet::fetch(statement);
}

QString Connection::dbmsName()
{
    requireOpen();
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    check(SQLGetInfoW(handle(), SQL_DBMS_NAME, name, SQLSMALLINT(sizeof(name)), &length), SQL_HANDLE_DBC, handle(),
        "SQLGetInfo");
    return fromWide(name, std::min<size_t>(size_t(length) / sizeof(SQLWCHAR), std::size(name) - 1));
}

} // namespace odbc

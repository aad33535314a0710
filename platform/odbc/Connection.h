#pragma once

#include "platform/odbc/Handle.h"
#include "platform/odbc/RecordSet.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace odbc {

// One database connection over the ODBC driver manager, with the settings a
// caller may make before opening it. The connection closes when the object goes.
// Every call throws odbc::Error carrying the driver's own message on failure.
class Connection {
public:
    // Defaults when a caller sets nothing, in seconds.
    static constexpr int DefaultConnectionTimeout = 15;
    static constexpr int DefaultCommandTimeout = 30;
    static constexpr int LongestQueryTimeout = 65534;

    // Values of setMode / setCursorLocation.
    static constexpr int ModeReadWrite = 3;
    static constexpr int CursorOnClient = 3;

    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setMode(int mode);
    void setCursorLocation(int location);
    void setCommandTimeout(int seconds);
    void setConnectionTimeout(int seconds);
    int mode() const { return m_mode; }
    int cursorLocation() const { return m_cursorLocation; }
    int commandTimeout() const { return m_commandTimeout; }
    int connectionTimeout() const { return m_connectionTimeout; }

    // Opens the connection from an ODBC connection string of any length, never
    // prompting. A string that holds a null character is refused (Failure).
    void open(const QString &connectionString);
    void close() noexcept;
    bool isOpen() const { return m_open; }

    // Transactions: with automatic commits off, every statement joins the open
    // transaction until commit() or rollback() ends it. A connection closed
    // with a transaction open loses it, as the server rolls it back.
    void setAutoCommit(bool on);
    bool autoCommit() const { return m_autoCommit; }
    void commit();
    void rollback() noexcept;

    // Runs one statement and gives the number of rows it changed (-1 when unknown).
    qint64 execute(const QString &sql, const QList<QVariant> &parameters = {});
    // Runs a query and reads its result into a snapshot (at most maxRows rows when >= 0).
    RecordSet query(const QString &sql, const QList<QVariant> &parameters = {}, qsizetype maxRows = -1);
    // The driver's table catalogue as a snapshot with TABLE_TYPE and TABLE_NAME among its fields.
    RecordSet tables();
    // The product name the driver reports for the server, such as "Microsoft SQL Server".
    QString dbmsName();

    SQLHDBC handle() const { return m_handle.get(); }

private:
    void requireOpen() const;

    ConnectionHandle m_handle;
    bool m_open = false;
    bool m_autoCommit = true;
    int m_mode = 0;
    int m_cursorLocation = 2;
    int m_commandTimeout = DefaultCommandTimeout;
    int m_connectionTimeout = DefaultConnectionTimeout;
};

} // namespace odbc

#include "platform/odbc/Statement.h"

#include "platform/odbc/Connection.h"
#include "platform/odbc/Counters.h"
#include "platform/odbc/OdbcError.h"
#include "platform/odbc/WideText.h"

#include <QStringDecoder>

#include <algorithm>

namespace odbc {

namespace {
// SQL Server's nvarchar(n) holds at most 4000 characters; longer text goes as nvarchar(max).
constexpr SQLULEN LongestShortText = 4000;
} // namespace

Statement::Statement(Connection &connection)
    : m_connection(connection)
{
    SQLHANDLE handle = SQL_NULL_HANDLE;
    check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &handle), SQL_HANDLE_DBC, connection.handle(),
        "SQLAllocHandle");
    m_handle = StatementHandle(handle);
    if (int timeout = connection.commandTimeout(); timeout > 0) {
        // FreeTDS caps the query timeout at 65534 seconds; drivers without
        // query timeouts simply ignore the setting.
        SQLULEN seconds = SQLULEN(std::min(timeout, Connection::LongestQueryTimeout));
        SQLSetStmtAttrW(handle, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
    }
}

void Statement::prepare(const QString &sql)
{
    auto wide = toWide(sql);
    check(SQLPrepareW(handle(), wide.data(), SQLINTEGER(sql.size())), SQL_HANDLE_STMT, handle(), "SQLPrepare");
}

void Statement::bind(const QList<QVariant> &parameters)
{
    const bool rebindAll = !m_bound || m_parameters.size() != size_t(parameters.size());
    if (rebindAll) {
        SQLFreeStmt(handle(), SQL_RESET_PARAMS);
        m_parameters.assign(size_t(parameters.size()), Parameter());
        m_bound = true;
    }
    for (size_t i = 0; i < m_parameters.size(); ++i) {
        const QVariant &value = parameters[qsizetype(i)];
        Parameter &parameter = m_parameters[i];
        const SQLWCHAR *before = parameter.text.data();
        bool widened = false;
        if (!value.isValid() || value.isNull()) {
            if (parameter.text.empty())
                parameter.text.assign(1, 0);
            parameter.length = SQL_NULL_DATA;
        } else {
            const QString string = value.toString();
            const size_t needed = size_t(string.size()) + 1;
            if (parameter.text.size() < needed)
                parameter.text.resize(std::max(needed, size_t(64)));
            std::copy(string.utf16(), string.utf16() + string.size(), parameter.text.begin());
            parameter.text[size_t(string.size())] = 0;
            parameter.length = SQLLEN(string.size() * qsizetype(sizeof(SQLWCHAR)));
            widened = !parameter.isLong && SQLULEN(string.size()) > LongestShortText;
            parameter.isLong = parameter.isLong || widened;
        }
        // Only a parameter whose buffer moved, or that now needs long text, is bound again.
        if (rebindAll || widened || parameter.text.data() != before)
            bindOne(i);
    }
}

void Statement::bindOne(size_t index)
{
    Parameter &parameter = m_parameters[index];
    // Long text is declared with the largest size the type has.
    const SQLULEN size = parameter.isLong ? SQLULEN(0x3FFFFFFF) : LongestShortText;
    check(SQLBindParameter(handle(), SQLUSMALLINT(index + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
              parameter.isLong ? SQL_WLONGVARCHAR : SQL_WVARCHAR, size, 0, parameter.text.data(),
              SQLLEN(parameter.text.size() * sizeof(SQLWCHAR)), &parameter.length),
        SQL_HANDLE_STMT, handle(), "SQLBindParameter");
}

void Statement::execute(const QList<QVariant> &parameters)
{
    bind(parameters);
    count();
    check(SQLExecute(handle()), SQL_HANDLE_STMT, handle(), "SQLExecute");
}

void Statement::executeDirect(const QString &sql, const QList<QVariant> &parameters)
{
    bind(parameters);
    auto wide = toWide(sql);
    count();
    check(SQLExecDirectW(handle(), wide.data(), SQLINTEGER(sql.size())), SQL_HANDLE_STMT, handle(), "SQLExecDirect");
}

void Statement::count()
{
    ++counters().statements;
    // A statement outside a transaction is committed on its own.
    if (m_connection.autoCommit())
        ++counters().commits;
}

void Statement::setMaxRows(qsizetype rows)
{
    SQLSetStmtAttrW(handle(), SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(SQLULEN(rows)), 0);
}

void Statement::tables()
{
    check(SQLTablesW(handle(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_HANDLE_STMT, handle(), "SQLTables");
}

qint64 Statement::rowCount()
{
    SQLLEN count = -1;
    check(SQLRowCount(handle(), &count), SQL_HANDLE_STMT, handle(), "SQLRowCount");
    return qint64(count);
}

qint64 Statement::cursorRowCount()
{
    SQLLEN count = -1;
    const SQLRETURN rc = SQLGetDiagFieldW(SQL_HANDLE_STMT, handle(), 0, SQL_DIAG_CURSOR_ROW_COUNT, &count, 0, nullptr);
    return SQL_SUCCEEDED(rc) ? qint64(count) : -1;
}

QStringList Statement::columnNames()
{
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(handle(), &count), SQL_HANDLE_STMT, handle(), "SQLNumResultCols");
    QStringList names;
    for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(count); ++column) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT length = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        check(SQLDescribeColW(
                  handle(), column, name, SQLSMALLINT(std::size(name)), &length, &type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, handle(), "SQLDescribeCol");
        names << fromWide(name, std::min<size_t>(size_t(length), std::size(name) - 1));
    }
    return names;
}

bool Statement::fetch()
{
    SQLRETURN rc = SQLFetch(handle());
    if (rc == SQL_NO_DATA)
        return false;
    check(rc, SQL_HANDLE_STMT, handle(), "SQLFetch");
    return true;
}

std::optional<QString> Statement::text(int column)
{
    GrowingArray<char16_t> text;
    if (!appendText(column, text))
        return std::nullopt;
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

bool Statement::appendText(int column, GrowingArray<char16_t> &out, TextTransfer transfer)
{
    return transfer == TextTransfer::StoredUtf8 ? appendStoredUtf8(column, out) : appendUtf16(column, out);
}

bool Statement::appendUtf16(int column, GrowingArray<char16_t> &out)
{
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    const size_t start = out.size();
    size_t wanted = 1024; // characters of room asked for, the terminator's included
    for (;;) {
        SQLWCHAR *place = reinterpret_cast<SQLWCHAR *>(out.makeRoom(wanted));
        const size_t room = out.room();
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(
            handle(), SQLUSMALLINT(column + 1), SQL_C_WCHAR, place, SQLLEN(room * sizeof(SQLWCHAR)), &indicator);
        if (rc == SQL_NO_DATA)
            return true;
        check(rc, SQL_HANDLE_STMT, handle(), "SQLGetData");
        if (indicator == SQL_NULL_DATA) {
            out.resize(start);
            return false;
        }
        const size_t usable = room - 1; // the driver always leaves room for a terminator
        const bool truncated = indicator == SQL_NO_TOTAL || size_t(indicator) / sizeof(SQLWCHAR) > usable;
        out.grow(truncated ? usable : size_t(indicator) / sizeof(SQLWCHAR));
        if (!truncated)
            return true;
        // The rest, when the driver says how long it is; twice the room otherwise.
        wanted = indicator == SQL_NO_TOTAL ? 2 * room : size_t(indicator) / sizeof(SQLWCHAR) - usable + 1;
    }
}

bool Statement::appendStoredUtf8(int column, GrowingArray<char16_t> &out)
{
    // The whole text is read before it is decoded, so that no character is
    // split between two parts.
    if (m_bytes.size() < 1024)
        m_bytes.resize(1024);
    size_t length = 0;
    for (;;) {
        const size_t room = m_bytes.size() - length;
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(
            handle(), SQLUSMALLINT(column + 1), SQL_C_CHAR, m_bytes.data() + length, SQLLEN(room), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc, SQL_HANDLE_STMT, handle(), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return false;
        const size_t usable = room - 1; // the driver always leaves room for a terminator
        const bool truncated = indicator == SQL_NO_TOTAL || size_t(indicator) > usable;
        length += truncated ? usable : size_t(indicator);
        if (!truncated)
            break;
        // Room for the rest, when the driver says how long it is; twice the room otherwise.
        m_bytes.resize(indicator == SQL_NO_TOTAL ? 2 * m_bytes.size() : length + size_t(indicator) - usable + 1);
    }
    // UTF-16 never takes more code units than UTF-8 takes bytes. Bytes that
    // are not UTF-8 become replacement characters, and a leading byte order
    // mark stays a character of the text.
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QChar *const begin = reinterpret_cast<QChar *>(out.makeRoom(length));
    const QChar *const end = decoder.appendToBuffer(begin, QByteArrayView(m_bytes.data(), qsizetype(length)));
    out.grow(size_t(end - begin));
    return true;
}

void Statement::closeCursor()
{
    SQLFreeStmt(handle(), SQL_CLOSE);
}

void Statement::cancel()
{
    SQLCancel(handle());
}

} // namespace odbc

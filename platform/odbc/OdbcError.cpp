#include "platform/odbc/OdbcError.h"

#include "platform/odbc/WideText.h"

#include <QStringList>

namespace odbc {

QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString *firstSqlState)
{
    QStringList messages;
    if (handle == SQL_NULL_HANDLE)
        return {};
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &nativeError, nullptr, 0, &length);
        if (!succeeded(rc))
            break;
        std::vector<SQLWCHAR> text(size_t(length) + 1);
        rc = SQLGetDiagRecW(
            handleType, handle, record, state, &nativeError, text.data(), SQLSMALLINT(text.size()), &length);
        if (!succeeded(rc))
            break;
        if (record == 1 && firstSqlState)
            *firstSqlState = fromWide(state, 5);
        messages << fromWide(text.data(), std::min<size_t>(size_t(length), text.size() - 1));
    }
    return messages.join(QLatin1Char('\n'));
}

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char *what)
{
    if (succeeded(rc) || rc == SQL_NO_DATA)
        return;
    QString state;
    QString message = diagnostics(handleType, handle, &state);
    if (message.isEmpty())
        message = QStringLiteral("%1 failed (ODBC return code %2)").arg(QLatin1String(what)).arg(rc);
    throw Error(message, state);
}

} // namespace odbc

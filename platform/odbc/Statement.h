#pragma once

#include "platform/odbc/Handle.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace odbc {

class Connection;

// One ODBC statement on an open connection. Parameters are bound as Unicode
// text (an invalid QVariant binds Null), so no character is lost on the way.
// Every call throws odbc::Error with the driver's message on failure.
class Statement {
public:
    explicit Statement(Connection &connection);

    void prepare(const QString &sql);
    // Binds the parameters of the prepared statement and runs it.
    void execute(const QList<QVariant> &parameters = {});
    // Runs a statement once, without preparing it.
    void executeDirect(const QString &sql, const QList<QVariant> &parameters = {});
    // Asks the driver to return at most this many rows of the next result, so
    // the server stops there; a driver without the setting simply ignores it.
    void setMaxRows(qsizetype rows);
    // The driver's table catalogue (TABLE_CAT, TABLE_SCHEM, TABLE_NAME, TABLE_TYPE, REMARKS).
    void tables();

    // Rows changed by the last INSERT, UPDATE or DELETE; -1 when the driver cannot tell.
    qint64 rowCount();

    QStringList columnNames();
    bool fetch();
    // The text of a column of the current row; std::nullopt for Null.
    std::optional<QString> text(int column);
    void closeCursor();

    SQLHSTMT handle() const { return m_handle.get(); }

private:
    void bind(const QList<QVariant> &parameters);

    StatementHandle m_handle;
    std::vector<std::vector<SQLWCHAR>> m_parameterText;
    std::vector<SQLLEN> m_parameterLength;
    std::vector<SQLWCHAR> m_buffer;
};

} // namespace odbc

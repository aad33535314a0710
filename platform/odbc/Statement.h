#pragma once

#include "platform/odbc/GrowingArray.h"
#include "platform/odbc/Handle.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace odbc {

class Connection;

// How a column's text comes from the driver: as UTF-16, converted by the
// driver (the way with every driver), or as the UTF-8 the engine stores,
// converted here (only for a driver whose narrow text is that UTF-8).
enum class TextTransfer { Utf16, StoredUtf8 };

// One ODBC statement on an open connection. Parameters are bound as Unicode
// text (an invalid QVariant binds Null), so no character is lost on the way.
// They are bound once and their buffers reused: a statement run again with the
// same number of parameters only copies the new values, so the driver sees the
// same declared types and does not prepare the statement again. A parameter's
// declared type widens once, for good, when its own value first needs it; the
// others keep theirs (a key bound as long text could not be cast to a number).
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
    // Rows of the open result when the driver holds it whole and says so; -1 otherwise.
    qint64 cursorRowCount();

    QStringList columnNames();
    bool fetch();
    // The text of a column of the current row; std::nullopt for Null.
    std::optional<QString> text(int column);
    // The text of a column of the current row added to the end of `out`,
    // read straight into its room; false, and nothing added, for Null.
    bool appendText(int column, GrowingArray<char16_t> &out, TextTransfer transfer = TextTransfer::Utf16);
    void closeCursor();
    // Asks the driver to stop the statement while another thread waits for
    // it, whose call then fails: the one call another thread may make.
    void cancel();

    SQLHSTMT handle() const { return m_handle.get(); }

private:
    struct Parameter {
        std::vector<SQLWCHAR> text;
        SQLLEN length = SQL_NULL_DATA;
        bool isLong = false; // declared as long text rather than nvarchar(4000), for good once needed
    };

    bool appendUtf16(int column, GrowingArray<char16_t> &out);
    bool appendStoredUtf8(int column, GrowingArray<char16_t> &out);
    void bind(const QList<QVariant> &parameters);
    void count();
    void bindOne(size_t index);

    Connection &m_connection;
    StatementHandle m_handle;
    std::vector<Parameter> m_parameters;
    bool m_bound = false;
    std::vector<char> m_bytes; // a text read as UTF-8, before it is decoded
};

} // namespace odbc

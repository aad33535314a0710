#pragma once

#include "connection/LoginFields.h"
#include "connection/TableName.h"

#include <QString>

#include <optional>

class QTreeWidget;
class QTreeWidgetItem;

// Connection check and table catalogue.
namespace MSSQL {

// True when a fresh connection opened from the login fields succeeds; any
// failure gives false and shows nothing.
bool CanConnect(const LoginFields &fields);

// Opens and drops a connection with the ordinary timeouts, as CanConnect does,
// so a server that does not answer is told within seconds instead of after a
// batch change's long timeouts. Empty when it opened; otherwise the reason, and
// noAnswer (when given) says whether the server did not answer in time.
std::optional<QString> ConnectionProblem(const LoginFields &fields, bool *noAnswer = nullptr);

// Fills the list with the database's user tables, one row per table in the
// order the driver's catalogue gives them: only rows whose type is exactly
// "TABLE", and none whose name holds "SYS" in any case. Each row keeps its
// table's schema (see AddTableRow). The list is cleared only once the catalogue
// has been read. Yields to the window system once per "TABLE" row. Throws
// odbc::Error when the connection or the catalogue fails.
void ListTables(QTreeWidget *list, const LoginFields &fields);

// Adds a row for the table at the end of the table list: its text is the
// table's shown text (the name alone in the default schema, "schema.name"
// otherwise), and the table itself is kept beside the text. A list without a
// selected row selects it.
QTreeWidgetItem *AddTableRow(QTreeWidget *list, const TableName &table, const QString &defaultSchema);

// The table a row of the table list names. A row that keeps no table (one
// added as plain text) names the table of its text, in the default schema; no
// row names no table (an empty name).
TableName TableOfRow(const QTreeWidgetItem *row);

} // namespace MSSQL

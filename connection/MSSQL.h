#pragma once

#include "connection/LoginFields.h"

class QTreeWidget;

// Connection check and table catalogue.
namespace MSSQL {

// True when a fresh connection opened from the login fields succeeds; any
// failure gives false and shows nothing.
bool CanConnect(const LoginFields &fields);

// Fills the list with the database's user tables, one row per table in the
// order the driver's catalogue gives them: only rows whose type is exactly
// "TABLE", and none whose name holds "SYS" in any case. The list is cleared
// only once the catalogue has been read. Yields to the window system once per
// "TABLE" row. Throws odbc::Error when the connection or the catalogue fails.
void ListTables(QTreeWidget *list, const LoginFields &fields);

} // namespace MSSQL

#pragma once

#include "connection/LoginFields.h"
#include "connection/TableName.h"

#include <QList>
#include <QString>

#include <functional>

// The database's user tables, as the driver's catalogue lists them.
namespace TableCatalogue {

struct Tables {
    QString defaultSchema; // the login's default schema; empty where the engine has none
    QList<TableName> tables; // in the order the catalogue gives them
    bool stopped = false; // the visit asked to stop before the catalogue's end
};

// The user tables: only catalogue rows whose type is exactly "TABLE", and none
// whose name holds "SYS" in any case. `visit` is called once per "TABLE" row,
// before its name is looked at; when it returns false the listing stops there.
// Throws odbc::Error when the connection or the catalogue fails.
Tables userTables(const LoginFields &fields, const std::function<bool()> &visit = {});

// The rule of the listing for one catalogue row: its type exactly "TABLE"
// (not "SYSTEM TABLE", "GLOBAL TEMPORARY" or a view), its name without "SYS"
// in any case.
bool isUserTable(const QString &type, const QString &name);

} // namespace TableCatalogue

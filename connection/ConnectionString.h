#pragma once

#include "connection/LoginFields.h"

#include <QString>

// The ODBC connection string of the login fields:
// Driver={SQL Server};Server=<server>[,<port>];Database=<db>;Uid=<user>;Pwd=<password>;
// The port is left out for a local connection. Fields go in as typed; only a
// value that would break the string (one holding ';' or '}', or starting with
// '{') is wrapped in braces, with '}' doubled.
QString buildConnectionString(const LoginFields &fields);

// One attribute value as the connection string carries it.
QString connectionStringValue(const QString &value);

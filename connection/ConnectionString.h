#pragma once

#include "connection/LoginFields.h"

#include <QString>

// The driver behind the name "SQL Server": Windows' own there, FreeTDS elsewhere.
// They ask for encryption with keywords of their own.
enum class OdbcDriver { FreeTds, Windows };
OdbcDriver nativeDriver();

// The ODBC connection string of the login fields:
// Driver={SQL Server};Server=<server>[,<port>];Database=<db>;Uid=<user>;Pwd=<password>;
// The port is left out for a local connection. Fields go in as typed; only a
// value that would break the string (one holding ';' or '}', or starting with
// '{') is wrapped in braces, with '}' doubled.
//
// An encrypted connection adds the driver's keywords for it. Windows' driver:
// Encrypt=yes, with TrustServerCertificate=yes when any certificate is taken.
// FreeTDS: Encryption=require; it checks a certificate only for a server of
// its configuration file, so a connection that checks one names the program's
// own entry for the server (Servername=..., see FreeTdsServerEntry) instead of
// Server=....
QString buildConnectionString(const LoginFields &fields, OdbcDriver driver = nativeDriver());

// One attribute value as the connection string carries it.
QString connectionStringValue(const QString &value);

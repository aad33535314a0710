#pragma once

#include "connection/LoginFields.h"

#include <QString>

// The program's own FreeTDS configuration file, in a private folder of the
// process that goes with it: the server entries of the connections that check
// a certificate (see FreeTdsServerEntry), and a copy of each trusted
// authorities file they name, so that any path the user gives works. FreeTDS
// is pointed at it through FREETDSCONF; it reads it for those entries alone,
// since every other connection names its server in the connection string.
namespace FreeTdsConfiguration {

// Writes the fields' entry, with a fresh copy of their authorities file, before
// a connection opens. Throws Failure, with nothing written, when the
// authorities file cannot be read or holds no certificate, or the entry
// cannot be written.
void prepare(const LoginFields &fields);

} // namespace FreeTdsConfiguration

#pragma once

#include "connection/LoginFields.h"

#include <QString>

// FreeTDS checks a server's certificate only for a server entry of its
// configuration file (freetds.conf): a section naming the host, its port or
// instance, the file of trusted authorities and the name check. The program
// writes such an entry for a connection that checks the certificate; nothing
// in it is secret (the user and password stay in the connection string).
namespace FreeTdsServerEntry {

// The entry's section name: the same for the same server, port (or local
// connection) and authorities file, another for any other.
QString name(const LoginFields &fields);

// The entry, its section line first. `authorities` is the file FreeTDS reads
// the trusted authorities from, "system" for the system's own. Throws Failure
// when the server or that path holds what the file cannot carry (a '#' or ';'
// starts a comment there, and a value ends with its line).
QString text(const LoginFields &fields, const QString &authorities);

} // namespace FreeTdsServerEntry

#pragma once

#include "connection/ConnectionString.h"
#include "connection/LoginFields.h"

namespace odbc {
class Error;
}

// What an encrypted connection needs around its opening: the driver's
// configuration before, and after a failure the reason in words a user can
// act on, where the driver gives only "connection failed".
namespace EncryptedOpening {

// Before the connection opens. Throws Failure when the choices cannot be
// carried out with this driver: a file of trusted authorities on Windows,
// where the system's certificate store holds them, or a FreeTDS configuration
// that cannot be written.
void prepare(const LoginFields &fields, OdbcDriver driver = nativeDriver());

// The failure to open an encrypted connection, told plainly when the server
// does not offer encryption (asked again before any login), or, with FreeTDS,
// when the encrypted session could not be set up while the certificate was to
// be checked. Any other failure comes back as it was.
odbc::Error explain(const odbc::Error &failure, const LoginFields &fields, OdbcDriver driver = nativeDriver());

} // namespace EncryptedOpening

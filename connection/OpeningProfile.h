#pragma once

#include "connection/LoginFields.h"

#include <memory>

namespace odbc {
class Connection;
}

// The places that open a connection, each with the settings it makes before
// opening. Busy pointers are the windows' own business.
enum class OpeningProfile {
    TestConnection, // nothing set
    CanConnect, // nothing set
    ListTables, // nothing set
    FieldList, // Mode = read/write
    Preview, // Mode = read/write
    Batch, // client-side cursor, 5000-second command and connection timeouts
};

// Makes the profile's settings on a fresh connection, in their order.
void applyProfile(odbc::Connection &connection, OpeningProfile profile);

// Makes the profile's settings and opens the connection from the login fields.
// Throws odbc::Error with the driver's message when it cannot be opened (for an
// encrypted connection, with the reason in plain words first where the driver
// gives none), and Failure when the encryption asked for cannot be prepared.
void openWithProfile(odbc::Connection &connection, OpeningProfile profile, const LoginFields &fields);

// A fresh connection, opened by the profile.
std::unique_ptr<odbc::Connection> openConnection(OpeningProfile profile, const LoginFields &fields);

#pragma once

#include "connection/LoginFields.h"
#include "connection/OpeningProfile.h"
#include "connection/SqlDialect.h"
#include "platform/odbc/Connection.h"

#include <memory>

// A connection opened by a profile, the dialect of the engine it reached, and
// that dialect's set-up already run on it.
struct Session {
    std::unique_ptr<odbc::Connection> connection;
    std::unique_ptr<SqlDialect> dialect;
};

// Opens, picks the dialect and runs the set-up. Throws odbc::Error as openConnection does.
Session openSession(OpeningProfile profile, const LoginFields &fields);
// The same on a connection opened already (by a check with the ordinary
// timeouts, say): the profile's settings are made on it first.
Session sessionOn(std::unique_ptr<odbc::Connection> connection, OpeningProfile profile);

// Another connection to the engine a session reached, with the set-up of its
// dialect run on it; what the dialect learnt of the engine holds for this
// connection too, so it is not asked again.
std::unique_ptr<odbc::Connection> openAlongside(
    OpeningProfile profile, const LoginFields &fields, const SqlDialect &dialect);

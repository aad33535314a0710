#pragma once

#include "connection/LoginFields.h"

#include <QString>

#include <memory>
#include <optional>

namespace odbc {
class Connection;
}

// Whether the login fields reach a server, asked with the ordinary timeouts.
namespace ConnectionCheck {

// True when a fresh connection opened from the login fields succeeds; any
// failure gives false and shows nothing.
bool canConnect(const LoginFields &fields);

// Opens and drops a connection with the ordinary timeouts, as canConnect does,
// so a server that does not answer is told within seconds instead of after a
// batch change's long timeouts. Empty when it opened; otherwise the reason, and
// noAnswer (when given) says whether the server did not answer in time.
// When `opened` is given, it takes the connection instead of dropping it.
std::optional<QString> connectionProblem(
    const LoginFields &fields, bool *noAnswer = nullptr, std::unique_ptr<odbc::Connection> *opened = nullptr);

} // namespace ConnectionCheck

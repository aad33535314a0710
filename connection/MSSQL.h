#pragma once

#include "connection/LoginFields.h"

// Connection check and table catalogue.
namespace MSSQL {

// True when a fresh connection opened from the login fields succeeds; any
// failure gives false and shows nothing.
bool CanConnect(const LoginFields &fields);

} // namespace MSSQL

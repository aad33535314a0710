#pragma once

#include "connection/LoginFields.h"

// The login fields as the settings remember them, with the defaults of keys
// never written.
namespace RememberedLogin {

LoginFields read();

} // namespace RememberedLogin

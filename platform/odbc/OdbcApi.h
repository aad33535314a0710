#pragma once

// The ODBC API of the system's driver manager: unixODBC's headers, or on
// Windows the SDK's, which need the Windows types declared first.
#ifdef _WIN32
#include "platform/WindowsApi.h"
#endif

#include <sql.h>
#include <sqlext.h>

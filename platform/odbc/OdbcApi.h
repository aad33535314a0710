#pragma once

// The ODBC API of the system's driver manager: unixODBC's headers, or on
// Windows the SDK's, which need the Windows types declared first.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>

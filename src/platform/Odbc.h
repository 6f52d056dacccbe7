#pragma once

// The ODBC API: unixODBC's on Linux, Windows' own odbc32, whose headers need windows.h first.
#ifdef _WIN32
#include "platform/WindowsHeaders.h"
#endif
#include <sql.h>
#include <sqlext.h>

// The Winsock shim's entry points as the "wsock32.dll" pseudo module
// offers them to GetProcAddress.
#pragma once
#include "platform/win/types.h"

namespace win {

// The function of that name, or null when the shim has none.
FARPROC WinsockProcAddress(const char* name);

}  // namespace win

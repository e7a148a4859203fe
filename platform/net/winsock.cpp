#include "platform/net/winsock.h"

namespace win {

FARPROC WinsockProcAddress(const char*) { return nullptr; }

}  // namespace win

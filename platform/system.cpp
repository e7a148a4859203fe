#include "platform/win.h"

namespace win {

DWORD GetVersion() { return 0x00000004u; }

}  // namespace win

// Until the source-level debugger exists there is no view to redraw.
#include "sim/cmd/view_hooks.h"

void view_show_position(int /*lines*/) {}

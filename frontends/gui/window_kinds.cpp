// The table of window kinds: each kind's file gives one registration,
// which installs the kind's w-command actions (register_window_kind). A
// kind joins the front-end by its row here; the start-up opens the
// Session and Command windows only when their kinds are registered.
#include "frontends/gui/asm_window.h"
#include "frontends/gui/breakpoint_window.h"
#include "frontends/gui/command_window.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/list_window.h"
#include "frontends/gui/memory_window.h"
#include "frontends/gui/register_window.h"
#include "frontends/gui/session_window.h"
#include "frontends/gui/source_window.h"
#include "frontends/gui/stack_window.h"
#include "frontends/gui/stream_window.h"
#include "frontends/gui/watch_window.h"

namespace gui {

namespace {

using registration = void (*)();
constexpr registration kinds[] = {
    register_session_window,
    register_command_window,
    register_register_window,
    register_memory_window,
    register_asm_window,
    register_source_window,
    register_breakpoint_window,
    register_stack_window,
    register_calls_window,
    register_stream_windows,
    register_list_window,
    register_watch_window,
    nullptr,  // the end
};

}  // namespace

void register_window_kinds() {
  for (registration r : kinds)
    if (r != nullptr) r();
}

}  // namespace gui

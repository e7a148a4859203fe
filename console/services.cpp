// The console as the simulator's front-end.
#include "console/services.h"

#include "console/console.h"
#include "sim/cmd/hooks.h"
#include "sim/cmd/window_hooks.h"

namespace {

constexpr frontend_services console_services = {
    con::session_output,    con::session_redraw,     con::session_scroll,
    con::output_hold,       con::output_release,     con::screen_flush,
    con::screen_goto, con::screen_put_char,    con::screen_clear_eol,
    con::screen_write_text, con::screen_put_text,    con::screen_show_rows,
    con::screen_advance,    con::session_screen,     con::error_report,
    con::last_error_text,   con::gui_status_text,    con::gui_help_text,
    con::gui_show_prompt,   con::gui_line_prompt,    con::gui_file_question,
    con::wait_dialog,       con::abort_requested,    con::gui_present,
    con::gui_prompt_live,
    con::window_update_all, con::close_device_windows, con::gui_allocator_active,
    con::gui_dsp_alloc,     con::gui_dsp_realloc,    con::gui_dsp_free,
    con::gui_work_dir,      con::quit_program,
};

}  // namespace

const frontend_services& console_frontend_services() { return console_services; }

void install_console_frontend() {
  install_simulator_hooks();
  // The terminal's line editor has the keys the asm and change forms list.
  terminal_key_lists = 1;
  install_frontend(&console_services);
}

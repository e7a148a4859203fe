// The breakpoint and execution dialogs: what each presets, how its form
// answers clicks and the line it builds.
#include <cstdio>
#include <string>

#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/dialogs/dialog_text.h"
#include "frontends/gui/guiutil.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"

namespace gui {

namespace {

const char* halt_text(dialog_form& f) { return f.value("Halt", "") != 0 ? "h" : ""; }

// Break-number lists -----------------------------------------------------

void fill_enabled_numbers(dialog_state& d) {
  d.rows = break_numbers(1);
  d.form->set_rows("Number", "", d.rows);
}
void fill_disabled_numbers(dialog_state& d) {
  d.rows = break_numbers(0);
  d.form->set_rows("Number", "", d.rows);
}
void fill_all_numbers(dialog_state& d) {
  d.rows = break_numbers(-1);
  d.form->set_rows("Number", "", d.rows);
}

// Set_Break --------------------------------------------------------------

constexpr const char* DMA_ITEMS[] = {"DMA_Read", "DMA_Write", "DMA_Read_Write"};

void set_break_fill(dialog_state& d) {
  dialog_form& f = *d.form;
  f.set_value("Number", "", breakpoint_number_free());
  f.set_rows("Space", "Mem", region_names());
  f.set_rows("Reg_Combo", "Reg", register_names(0));
  d.break_kind = 0;
  enable_by_family(f, "Access", DMA_ITEMS, 3, nullptr);
}

// How each breakpoint kind sets the form: 1 "Enabled", 0 "Disabled",
// -1 left as it is; the DMA accesses 2: by family.
struct kind_form {
  int reg, expr, mem, access, execute, dma;
};
constexpr kind_form KIND_FORMS[] = {{0, 0, 1, 1, 1, 2}, {1, 0, 0, 1, 0, 0}, {0, 1, 0, 0, -1, -1}};

void set_kind(dialog_state& d, int kind) {
  const kind_form& k = KIND_FORMS[kind];
  dialog_form& f = *d.form;
  d.break_kind = kind;
  f.set_enabled("Reg", "", k.reg != 0);
  f.set_enabled("Expr", "", k.expr != 0);
  f.set_enabled("Mem", "", k.mem != 0);
  f.set_enabled("Access", "", k.access != 0);
  if (k.execute >= 0) f.set_enabled("Execute", "", k.execute != 0);
  if (k.dma == 2) enable_by_family(f, "Access", DMA_ITEMS, 3, nullptr);
  else if (k.dma == 0)
    for (const char* item : DMA_ITEMS) f.set_enabled(item, "Access", false);
}

// The kind handlers act only when their toggle comes on.
void kind_memory(dialog_state& d, bool on) {
  if (on) set_kind(d, 0);
}
void kind_register(dialog_state& d, bool on) {
  if (on) set_kind(d, 1);
}
void kind_expression(dialog_state& d, bool on) {
  if (on) set_kind(d, 2);
}

void action_command(dialog_state& d, bool on) { d.form->set_enabled("Cmd", "", on); }
void action_other(dialog_state& d, bool) { d.form->set_enabled("Cmd", "", false); }

constexpr item_handler SET_BREAK_HANDLERS[] = {
    {"Memory", kind_memory}, {"Register", kind_register}, {"Expression", kind_expression},
    {"Command", action_command}, {"Halt", action_other}, {"Note", action_other},
    {"Show", action_other},     {"Inc1", action_other},   {"Inc2", action_other},
    {"Inc3", action_other},     {"Inc4", action_other},
};

std::string set_break_line(dialog_state& d) {
  static constexpr const char* ACCESS[] = {"r", "w", "rw", "dr", "dw", "drw"};
  static constexpr const char* ACTION[] = {"h", "n", "s", "x", "i1", "i2", "i3", "i4"};
  dialog_form& f = *d.form;
  const int number = f.value("Number", "");
  std::string location;
  if (d.break_kind == 0) {
    location = field_text(f, "Space", "Mem", 99) + ":" + field_text(f, "Start_Addr", "Mem", 19);
    const std::string end = field_text(f, "End_Addr", "Mem", 19);
    if (!end.empty()) location += ".." + end;
  } else if (d.break_kind == 1) {
    location = field_text(f, "Reg_Combo", "Reg", 99);
  } else {
    location = field_text(f, "Expression", "Expr", 99);
  }
  const char* access = d.break_kind == 2 ? "" : pick(ACCESS, f.chosen("Access", ""));
  const int action = f.chosen("Action", "");
  const std::string command = action == 3 ? field_text(f, "Command_Text", "Cmd", 99) : std::string();
  return format("break #%d %s %s %s %s", number, access, location.c_str(), pick(ACTION, action), command.c_str());
}

// After a breakpoint is set the form proposes the next free number, so
// that Apply can set another at once.
int set_break_apply(dialog_state& d) {
  if (dialog_run_line(d, set_break_line(d)) == 0) return 0;
  if (d.open != 0 && d.form != nullptr) d.form->set_value("Number", "", breakpoint_number_free());
  return 1;
}

// Go ---------------------------------------------------------------------

void go_fill(dialog_state& d) {
  dialog_form& f = *d.form;
  d.rows = break_numbers(1);
  f.set_rows("Break_Num", "To", d.rows);
  if (d.rows.empty()) f.set_enabled("Go_Break", "", false);
}

void go_break(dialog_state& d, bool on) {
  // Only offered while there is a breakpoint to go to.
  if (!d.form->enabled("Go_Break", "")) return;
  d.form->set_enabled("To", "", on);
}
void go_address(dialog_form& f, bool on) {
  f.set_enabled("Address", "From", on);
  f.set_enabled("Address_Lab", "From", on);
}
void go_reset(dialog_state& d, bool on) { go_address(*d.form, !on); }
void go_location(dialog_state& d, bool on) { go_address(*d.form, on); }

constexpr item_handler GO_HANDLERS[] = {{"Go_Break", go_break}, {"Reset", go_reset}, {"Location", go_location}};

std::string go_line(dialog_state& d) {
  dialog_form& f = *d.form;
  const std::string start = f.value("Reset", "From/Go_From") != 0 ? "r" : field_text(f, "Address", "From", 99);
  if (f.enabled("Go_Break", "") && f.value("Go_Break", "") != 0)
    return format("go %s %s :%d", start.c_str(), field_text(f, "Break_Num", "To", 19).c_str(), f.value("Count", "To"));
  return format("go %s", start.c_str());
}

// Until, Next, Trace, Step -----------------------------------------------

std::string until_line(dialog_state& d) {
  return format("until %s %s", field_text(*d.form, "Address", "", 99).c_str(), halt_text(*d.form));
}

void increment_fill(dialog_state& d) {
  const bool lines = cur_state != nullptr && (cur_state->view_mode == 2 || cur_state->source_window_open != 0);
  d.form->choose("Increment", "", lines ? 1 : 0);
}

std::string step_line(dialog_form& f, const char* command, bool cycles) {
  const char* increment = "";
  if (f.value("Instructions", "Increment") != 0) increment = "in";
  else if (f.value("Lines", "Increment") != 0) increment = "li";
  else if (cycles && f.value("Cycles", "Increment") != 0) increment = "cy";
  return format("%s %d %s %s", command, f.value("Count", ""), increment, halt_text(f));
}
std::string next_line(dialog_state& d) { return step_line(*d.form, "next", false); }
std::string trace_line(dialog_state& d) { return step_line(*d.form, "trace", true); }
std::string step_only_line(dialog_state& d) { return step_line(*d.form, "step", true); }

// Wait, Reset, Down, Up, Where, List_File ----------------------------------

void wait_forever(dialog_state& d, bool on) { d.form->set_enabled("Count", "", !on); }
constexpr item_handler WAIT_HANDLERS[] = {{"Forever", wait_forever}};

std::string wait_line(dialog_state& d) {
  dialog_form& f = *d.form;
  return f.value("Forever", "") != 0 ? std::string("wait") : format("wait `%d", f.value("Count", ""));
}

void reset_fill(dialog_state& d) { d.form->set_value("Mode", "", d.reset_mode); }
std::string reset_line(dialog_state& d) {
  static constexpr const char* MODES[] = {"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8"};
  d.reset_mode = d.form->value("Mode", "");
  return format("reset d %s", pick(MODES, d.reset_mode));
}

std::string down_line(dialog_state& d) { return format("down `%d", d.form->value("Count", "")); }
std::string up_line(dialog_state& d) { return format("up `%d", d.form->value("Count", "")); }

void where_fill(dialog_state& d) {
  const int frames = cur_state != nullptr && cur_state->frames ? static_cast<int>(cur_state->frames->frames.size()) : 0;
  d.form->set_value("Count", "", frames);
}
std::string where_line(dialog_state& d) {
  static constexpr const char* FRAMES[] = {"+", "-"};
  return format("where %s%d", pick(FRAMES, d.form->chosen("Frames", "")), d.form->value("Count", ""));
}

void list_address_on(dialog_state& d, bool on) {
  if (on) d.form->set_enabled("Address", "", true);
}
void list_address_off(dialog_state& d, bool on) {
  if (on) d.form->set_enabled("Address", "", false);
}
constexpr item_handler LIST_HANDLERS[] = {
    {"Addr", list_address_on}, {"Current", list_address_off}, {"Next", list_address_off}, {"Previous", list_address_off}};

std::string list_line(dialog_state& d) {
  const int index = d.form->chosen("List", "");
  static constexpr const char* FIXED[] = {".", "+", "-"};
  const std::string where = index == 3 ? field_text(*d.form, "Address", "Address", 199) : pick(FIXED, index);
  return format("list %s", where.c_str());
}

template <std::size_t N>
constexpr int count_of(const item_handler (&)[N]) {
  return static_cast<int>(N);
}

// resource, menu command, palette command, list, row format, fill, build,
// handlers, handler count, refill after a walk, fill after placing.
constexpr dialog_entry TABLE[] = {
    {"Reset", "M_Exec_Reset_Dev", nullptr, nullptr, nullptr, reset_fill, reset_line, nullptr, 0, false, false},
    {"Wait", "M_Exec_Wait", nullptr, nullptr, nullptr, nullptr, wait_line, WAIT_HANDLERS, count_of(WAIT_HANDLERS),
     false, true},
    {"Disable_Break", "M_Exec_Break_Disable", nullptr, "Number", "break %s d", fill_enabled_numbers, nullptr, nullptr,
     0, true, false},
    {"Enable_Break", "M_Exec_Break_Enable", nullptr, "Number", "break %s e", fill_disabled_numbers, nullptr, nullptr,
     0, true, false},
    {"Clear_Break", "M_Exec_Break_Clear", nullptr, "Number", "break %s off", fill_all_numbers, nullptr, nullptr, 0,
     true, false},
    {"Set_Break", "M_Exec_Break_Set", nullptr, nullptr, nullptr, set_break_fill, set_break_line, SET_BREAK_HANDLERS,
     count_of(SET_BREAK_HANDLERS), false, false, set_break_apply},
    {"Until", "M_Exec_Until", nullptr, nullptr, nullptr, nullptr, until_line, nullptr, 0, false, false},
    {"Next", "M_Exec_Next", nullptr, nullptr, nullptr, increment_fill, next_line, nullptr, 0, false, false},
    {"Trace", "M_Exec_Trace", nullptr, nullptr, nullptr, increment_fill, trace_line, nullptr, 0, false, false},
    {"Step", "M_Exec_Step", nullptr, nullptr, nullptr, increment_fill, step_only_line, nullptr, 0, false, false},
    {"Go", "M_Exec_Go", nullptr, nullptr, nullptr, go_fill, go_line, GO_HANDLERS, count_of(GO_HANDLERS), false, false},
    {"Down", "M_Mod_Down", nullptr, nullptr, nullptr, nullptr, down_line, nullptr, 0, false, false},
    {"Up", "M_Mod_Up", nullptr, nullptr, nullptr, nullptr, up_line, nullptr, 0, false, false},
    {"Where", "M_Disp_Where", nullptr, nullptr, nullptr, where_fill, where_line, nullptr, 0, false, false},
    {"List_File", "M_Disp_List", nullptr, nullptr, nullptr, nullptr, list_line, LIST_HANDLERS, count_of(LIST_HANDLERS),
     false, false},
};

}  // namespace

std::span<const dialog_entry> break_exec_dialogs() { return TABLE; }

}  // namespace gui

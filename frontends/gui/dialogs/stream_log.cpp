// The stream, redirection and log dialogs: opening and closing the current
// device's input and output streams, redirecting the target's standard
// streams and closing logs.
#include "frontends/gui/dialogs/stream_log.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/dialogs/dialog_parts.h"
#include "frontends/gui/dialogs/dialog_text.h"
#include "frontends/gui/road.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/profiler_iface.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr int CHOOSER_IO = 2;
constexpr int CHOOSER_TIMED_IO = 6;
constexpr int CHOOSER_STREAM = 8;

// The highest number any stream of the two lists uses.
int highest_number(const io_stream* a, const io_stream* b) {
  const int x = stream_number_lookup(0, a), y = stream_number_lookup(0, b);
  return x > y ? x : y;
}

bool holds(const io_stream* list, int n) {
  for (const io_stream* s = list; s != nullptr; s = s->next)
    if (s->number == n) return true;
  return false;
}

// The item groups of the open dialogs and the fields each one enables.
constexpr const char* ITEM_FIELDS[] = {"Mem", "Port", "Pin", "Register", "Peripheral"};

// Enables the field of item `which` (-1: none) and disables the others.
void enable_item_fields(dialog_form& f, int which) {
  for (int i = 0; i < 5; ++i) f.set_enabled(ITEM_FIELDS[i], "", i == which);
}

template <int Which>
void output_item(dialog_state& d, bool on) {
  if (!on) return;
  enable_item_fields(*d.form, Which);
  d.form->set_enabled("Radix", "", Which >= 0);
}
template <int Which>
void input_item(dialog_state& d, bool on) {
  if (on) enable_item_fields(*d.form, Which);
}
void destination_file(dialog_state& d, bool on) {
  if (on) d.form->set_enabled("File_Name", "", true);
}
void destination_term(dialog_state& d, bool on) {
  if (on) d.form->set_enabled("File_Name", "", false);
}

// The chooser of the open dialogs: timed or plain I/O files.
void stream_file(dialog_state& d, int open) {
  const int kind = d.form->value("Timed", "") != 0 ? CHOOSER_TIMED_IO : CHOOSER_IO;
  choose_file_into(d, "File_Name", "File_Name", kind, open);
}
void output_select_file(dialog_state& d, bool) { stream_file(d, 0); }
void input_select_file(dialog_state& d, bool) { stream_file(d, 1); }

constexpr item_handler OUTPUT_OPEN_HANDLERS[] = {
    {"From_Memory", output_item<0>},   {"From_Port", output_item<1>},       {"From_Pin", output_item<2>},
    {"From_Register", output_item<3>}, {"From_Peripheral", output_item<4>}, {"From_History", output_item<-1>},
    {"From_EHistory", output_item<-1>}, {"File", destination_file},         {"Term", destination_term},
    {"Select_File", output_select_file},
};
constexpr item_handler INPUT_OPEN_HANDLERS[] = {
    {"To_Memory", input_item<0>},   {"To_Port", input_item<1>},       {"To_Pin", input_item<2>},
    {"To_Register", input_item<3>}, {"To_Peripheral", input_item<4>}, {"File", destination_file},
    {"Term", destination_term},     {"Select_File", input_select_file},
};

// The combos of the open dialogs; "From_Register" or "To_Register" is
// disabled when no register can be streamed.
void stream_items_fill(dialog_state& d, const char* register_choice) {
  dialog_form& f = *d.form;
  f.set_rows("Memory_Map", "Mem", region_names());
  std::vector<std::string> ports, periphs;
  if (cur_type != nullptr) {
    for (int i = 0; i < cur_type->port_count; ++i) ports.emplace_back(cur_type->ports[i].name);
    for (int i = 0; i < cur_type->periph_count; ++i)
      if ((cur_type->periphs[i].cls->class_word & 4u) != 0) periphs.emplace_back(cur_type->periphs[i].name);
  }
  f.set_rows("Port", "Port", ports);
  const std::vector<std::string> pins = pin_names();
  f.set_rows("Start_Pin", "Pin", pins);
  f.set_rows("End_Pin", "Pin", pins);
  f.set_rows("Peripheral", "Peripheral", periphs);
  const std::vector<std::string> registers = register_names(REG_STREAM_IN);
  f.set_rows("Register", "Register", registers);
  if (registers.empty()) f.set_enabled(register_choice, "", false);
}

void output_open_fill(dialog_state& d) {
  d.form->set_value("Number", "", next_output_number());
  stream_items_fill(d, "From_Register");
}
void input_open_fill(dialog_state& d) {
  d.form->set_value("Number", "", next_input_number());
  stream_items_fill(d, "To_Register");
}

// The item text by the index of its group; history items drop the radix.
std::string stream_item(dialog_form& f, int index, std::string& radix) {
  switch (index) {
    case 0:
      return field_text(f, "Memory_Map", "Mem", 99) + ":" + field_text(f, "Address", "Mem", 49);
    case 1:
      return field_text(f, "Port", "Port", 99);
    case 2:
      return field_text(f, "Start_Pin", "Pin", 99) + ".." + field_text(f, "End_Pin", "Pin", 19);
    case 3:
      return field_text(f, "Register", "Register", 99);
    case 4:
      return field_text(f, "Peripheral", "Peripheral", 99);
    case 5:
    case 6:
      radix.clear();
      return index == 5 ? "history" : "ehistory";
    default:
      return {};
  }
}

// The file or terminal end of a stream: false (the apply ends) for an
// empty or over-long file name.
bool stream_end(dialog_form& f, const char* group, std::string& out) {
  const int index = f.chosen(group, "");
  if (index == 1) {
    out = "term";
    return true;
  }
  if (index != 0) {
    out.clear();
    return true;
  }
  return file_name_field(f, "File_Name", "File_Name", 139, out) && !out.empty();
}

// Runs a stream's line; after it the next free number is proposed.
int run_and_propose(dialog_state& d, const std::string& line, bool output) {
  if (dialog_run_line(d, line) == 0) return 0;
  d.form->set_value("Number", "", output ? next_output_number() : next_input_number());
  return 1;
}

int stream_open_apply(dialog_state& d, bool output) {
  static constexpr const char* OUT_RADIX[] = {"-rd", "-rf", "-rf", "-rh", "-ru", "-rs"};
  static constexpr const char* IN_RADIX[] = {"-rd", "-rf", "-rf", "-rh", "-ru"};
  dialog_form& f = *d.form;
  const int number = f.value("Number", "");
  const char* timed = f.value("Timed", "") != 0 ? "t" : "";
  const int radix_index = f.chosen("Radix", "");
  std::string radix = output ? pick(OUT_RADIX, radix_index) : pick(IN_RADIX, radix_index);
  const int item_index = f.chosen(output ? "From" : "To", "");
  const std::string item = stream_item(f, output || item_index < 5 ? item_index : -1, radix);
  std::string end;
  if (!stream_end(f, output ? "To" : "From", end)) return 0;
  const std::string line = format(output ? "output #%d %s %s %s %s" : "input #%d %s %s %s %s", number, timed,
                                  item.c_str(), end.c_str(), radix.c_str());
  return run_and_propose(d, line, output);
}
int output_open_apply(dialog_state& d) { return stream_open_apply(d, true); }
int input_open_apply(dialog_state& d) { return stream_open_apply(d, false); }

// Input from another device -------------------------------------------------------

// Makes a device current for a while; the previous one comes back on every
// way out.
struct device_visit {
  int previous;
  explicit device_visit(int device) : previous(cur_device) { make_device_current(device); }
  ~device_visit() { make_device_current(previous); }
  device_visit(const device_visit&) = delete;
  device_visit& operator=(const device_visit&) = delete;
};

void device_pins_fill(dialog_form& f, const char* item, const char* container, const char* device_item,
                      const char* device_container) {
  device_visit visit(device_number_of(f.text(device_item, device_container)));
  f.set_rows(item, container, pin_names());
}

void input_addr_fill(dialog_state& d) {
  dialog_form& f = *d.form;
  f.set_value("Number", "", next_input_number());
  f.set_rows("Space", "To", region_names());
  f.set_rows("Dev", "From", device_names(true));
  device_regions_fill(f, "Space", "From", "Dev", "From");
}
void input_addr_device(dialog_state& d, bool) { device_regions_fill(*d.form, "Space", "From", "Dev", "From"); }
constexpr item_handler INPUT_ADDR_HANDLERS[] = {{"Dev", input_addr_device}};

int input_addr_apply(dialog_state& d) {
  dialog_form& f = *d.form;
  const std::string to_space = field_text(f, "Space", "To", 19), to_addr = field_text(f, "Addr", "To", 19);
  const std::string device = field_text(f, "Dev", "From", 19), space = field_text(f, "Space", "From", 19);
  const std::string addr = field_text(f, "Addr", "From", 19);
  if (to_addr.empty() || addr.empty()) {
    error_report("Address must be specified");
    return 0;
  }
  const std::string to = to_space + ":" + to_addr;
  return run_and_propose(d,
                         format("input #%d %s %s:%s:%s", f.value("Number", ""), to.c_str(), device.c_str(),
                                space.c_str(), addr.c_str()),
                         false);
}

void input_pin_fill(dialog_state& d) {
  dialog_form& f = *d.form;
  f.set_value("Number", "", next_input_number());
  f.set_rows("To_Pin", "To", pin_names());
  f.set_rows("From_Dev", "From", device_names(true));
  device_pins_fill(f, "From_Pin", "From", "From_Dev", "From");
}
void input_pin_device(dialog_state& d, bool) { device_pins_fill(*d.form, "From_Pin", "From", "From_Dev", "From"); }
constexpr item_handler INPUT_PIN_HANDLERS[] = {{"From_Dev", input_pin_device}};

int input_pin_apply(dialog_state& d) {
  dialog_form& f = *d.form;
  const std::string pin = field_text(f, "To_Pin", "To", 19), device = field_text(f, "From_Dev", "From", 19);
  const std::string from_pin = field_text(f, "From_Pin", "From", 19);
  return run_and_propose(
      d, format("input #%d %s %s:%s", f.value("Number", ""), pin.c_str(), device.c_str(), from_pin.c_str()), false);
}

// Closing streams -------------------------------------------------------------------

void output_numbers_fill(dialog_state& d) {
  d.rows = stream_numbers_fill(true);
  d.form->set_rows("Number", "", d.rows);
}
void input_numbers_fill(dialog_state& d) {
  d.rows = stream_numbers_fill(false);
  d.form->set_rows("Number", "", d.rows);
}

// Redirections ---------------------------------------------------------------------

void redir_select_file(dialog_state& d, bool) { choose_file_into(d, "File_Name", "File_Name", CHOOSER_STREAM, 0); }
constexpr item_handler REDIR_HANDLERS[] = {{"Select_File", redir_select_file}};

int redir_stream_apply(dialog_state& d) {
  static constexpr const char* STREAMS[] = {"stdin", "stdout", "stderr"};
  std::string name;
  if (!file_name_field(*d.form, "File_Name", "File_Name", 199, name)) return 0;
  return dialog_run_line(d, format("redirect %s %s", pick(STREAMS, d.form->chosen("Stream", "")), name.c_str()));
}

// Toggles enabled by what is open, and the line each closes it with.
struct closing_line {
  const char* toggle;
  const char* line;
};
constexpr closing_line REDIR_LINES[] = {
    {"Std_In", "redirect stdin off"}, {"Std_Out", "redirect stdout off"}, {"Std_Err", "redirect stderr off"}};
constexpr closing_line LOG_LINES[] = {
    {"Commands", "log off c"}, {"Session", "log off s"}, {"Profile", "log off p"}, {"Source", "log off v"}};

// Each enabled toggle that is on runs its line; a refused line is reported
// and the next one still runs.
template <std::size_t N>
void run_closing_lines(dialog_state& d, const char* container, const closing_line (&lines)[N]) {
  for (const closing_line& l : lines)
    if (d.form->enabled(l.toggle, container) && d.form->value(l.toggle, container) != 0) dialog_run_line(d, l.line);
}

void redir_off_fill(dialog_state& d) {
  for (int s = 0; s < 3; ++s)
    d.form->set_enabled(REDIR_LINES[s].toggle, "Streams", redirect_file(cur_device, s) != nullptr);
}
int redir_off_apply(dialog_state& d) {
  run_closing_lines(d, "Streams", REDIR_LINES);
  return 1;
}

void log_close_fill(dialog_state& d) {
  const int dev = cur_device;
  const bool open[] = {!command_log_path().empty(), !session_log_path(dev).empty(),
                       profiler_attached() && cur_state != nullptr && cur_state->profile.on != 0,
                       status_line_logging(dev) != 0};
  for (int i = 0; i < 4; ++i) d.form->set_enabled(LOG_LINES[i].toggle, "File_Type", open[i]);
}
int log_close_apply(dialog_state& d) {
  run_closing_lines(d, "File_Type", LOG_LINES);
  if (d.open != 0) log_close_fill(d);
  return 1;
}

// Table ------------------------------------------------------------------------------

template <std::size_t N>
constexpr int count_of(const item_handler (&)[N]) {
  return static_cast<int>(N);
}

template <std::size_t N>
constexpr dialog_entry apply_row(const char* resource, const char* command, void (*fill)(dialog_state&),
                                 int (*apply)(dialog_state&), const item_handler (&handlers)[N]) {
  dialog_entry e{resource, command, nullptr, nullptr, nullptr, fill, nullptr, handlers, count_of(handlers), false, false};
  e.apply = apply;
  return e;
}
constexpr dialog_entry apply_row(const char* resource, const char* command, void (*fill)(dialog_state&),
                                 int (*apply)(dialog_state&)) {
  dialog_entry e{resource, command, nullptr, nullptr, nullptr, fill, nullptr, nullptr, 0, false, false};
  e.apply = apply;
  return e;
}
constexpr dialog_entry close_row(const char* resource, const char* command, const char* format,
                                 void (*fill)(dialog_state&)) {
  return {resource, command, nullptr, "Number", format, fill, nullptr, nullptr, 0, true, false};
}

constexpr dialog_entry TABLE[] = {
    apply_row("Output_Open", "M_File_Output_Open", output_open_fill, output_open_apply, OUTPUT_OPEN_HANDLERS),
    apply_row("Input_Open", "M_File_Input_Open", input_open_fill, input_open_apply, INPUT_OPEN_HANDLERS),
    apply_row("Input_Addr", "M_File_Input_Addr", input_addr_fill, input_addr_apply, INPUT_ADDR_HANDLERS),
    apply_row("Input_Pin", "M_File_Input_Pin", input_pin_fill, input_pin_apply, INPUT_PIN_HANDLERS),
    close_row("Output_Close", "M_File_Output_Close", "output %s off", output_numbers_fill),
    close_row("Input_Close", "M_File_Input_Close", "input %s off", input_numbers_fill),
    apply_row("Redir_Stream", "M_File_Redir_Stream", nullptr, redir_stream_apply, REDIR_HANDLERS),
    apply_row("Redir_Off", "M_File_Redir_Off", redir_off_fill, redir_off_apply),
    apply_row("Log_Close", "M_File_Log_Close", log_close_fill, log_close_apply),
};

}  // namespace

int stream_number_lookup(int n, const io_stream* list) {
  if (n == 0) {
    int highest = 0;
    for (const io_stream* s = list; s != nullptr; s = s->next)
      if (s->number > highest) highest = s->number;
    return highest;
  }
  int above = 0;
  for (const io_stream* s = list; s != nullptr; s = s->next) {
    if (s->number == n) return n;
    if (s->number > n && (above == 0 || s->number < above)) above = s->number;
  }
  return above;
}

int next_output_number() { return cur_state != nullptr ? free_stream_number(SL_OUT_UNTIMED) : 1; }
int next_input_number() { return cur_state != nullptr ? free_stream_number(SL_IN_UNTIMED) : 1; }

std::vector<std::string> stream_numbers_fill(bool outputs) {
  std::vector<std::string> rows;
  if (cur_state == nullptr) return rows;
  const io_stream* untimed = cur_state->streams[outputs ? SL_OUT_UNTIMED : SL_IN_UNTIMED];
  const io_stream* timed = cur_state->streams[outputs ? SL_OUT_TIMED : SL_IN_TIMED];
  const int last = highest_number(untimed, timed);
  for (int n = 1; n <= last; ++n)
    if (holds(untimed, n) || holds(timed, n)) rows.push_back(format("#%d", n));
  return rows;
}

int device_number_of(const std::string& text) {
  int n = 0;
  std::string cut = text.substr(0, 10);
  if (std::sscanf(cut.c_str(), "Dv%d", &n) != 1 || n < 0 || n >= DEVICE_MAX) n = 0;
  return n;
}

void device_regions_fill(dialog_form& f, const char* item, const char* container, const char* device_item,
                         const char* device_container) {
  device_visit visit(device_number_of(f.text(device_item, device_container)));
  f.set_rows(item, container, region_names());
}

std::span<const dialog_entry> stream_log_dialogs() { return TABLE; }

}  // namespace gui

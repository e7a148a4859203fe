// The device, radix, memory, register and watch dialogs: what each
// presets and the lines it builds.
#include <cstring>
#include <string>

#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/dialogs/dialog_parts.h"
#include "frontends/gui/dialogs/dialog_text.h"
#include "frontends/gui/dpref.h"
#include "frontends/gui/road.h"
#include "sim/cmd/help.h"
#include "sim/cmd/watch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"

namespace gui {

namespace {

constexpr const char* DISPLAY[] = {"on", "off", "r", "w", "rw"};
// "Radix" of Watch_Win and Add_Watch.
constexpr const char* WATCH_RADIX[] = {"d", "f", "f", "h", "u"};

// "start" or "start..end": the end only when there is one.
std::string address_range(dialog_form& f, const char* container, const char* start, std::size_t start_limit,
                          const char* end, std::size_t end_limit) {
  std::string text = field_text(f, start, container, start_limit);
  const std::string last = field_text(f, end, container, end_limit);
  if (!last.empty()) text += ".." + last;
  return text;
}

void regions_into(dialog_state& d, const char* item, const char* container) {
  d.form->set_rows(item, container, region_names());
}

void registers_into_list(dialog_state& d) {
  d.rows = register_names(0);
  d.form->set_rows("Registers", "Regs", d.rows);
}

void radix_fill(dialog_state& d) { radix_by_family(*d.form); }

// Set_Device, Device --------------------------------------------------------

void set_device_fill(dialog_state& d) {
  d.rows = device_names(false);
  d.form->set_rows("Dev_List", "", d.rows);
  d.form->set_value("Dev_List", "", shown_device);
}

std::string set_device_line(dialog_state& d) {
  const int row = d.form->value("Dev_List", "");
  std::string name = row >= 0 && row < static_cast<int>(d.rows.size()) ? d.rows[static_cast<std::size_t>(row)] : "";
  if (name.size() > 9) name.resize(9);
  return format("device %s", name.c_str());
}

void device_fill(dialog_state& d) {
  dialog_form& f = *d.form;
  d.rows = device_names(false);
  f.set_rows("Devices", "Device", d.rows);
  std::vector<std::string> types;
  for (const device_type* t : device_types) {
    if (t == nullptr || t->name == nullptr || t->name[0] == '\0') break;
    types.emplace_back(t->name);
  }
  f.set_rows("Device_Type", "Dev_Type", types);
  if (cur_type != nullptr) f.set_text("Device_Type", "Dev_Type", cur_type->name);
}

void device_type_on(dialog_state& d, bool on) {
  if (on) d.form->set_enabled("Dev_Type", "", true);
}
void device_type_off(dialog_state& d, bool on) {
  if (on) d.form->set_enabled("Dev_Type", "", false);
}
constexpr item_handler DEVICE_HANDLERS[] = {
    {"Type", device_type_on}, {"On", device_type_off}, {"Off", device_type_off}, {"Remove", device_type_off}};

int device_apply(dialog_state& d) {
  static constexpr const char* OPTIONS[] = {"", "on", "off", "x"};
  const int index = d.form->chosen("Option", "");
  const std::string option = index == 0 ? field_text(*d.form, "Device_Type", "Dev_Type", 9) : pick(OPTIONS, index);
  return walk_selected(d, "Devices", "Device", 9,
                       [&](const std::string& row) { return format("device %s %s", row.c_str(), option.c_str()); });
}

// Radixes --------------------------------------------------------------------

void set_radix_fill(dialog_state& d) {
  radix_by_family(*d.form);
  registers_into_list(d);
  regions_into(d, "Memory_Map", "Memory");
}

int set_radix_apply(dialog_state& d) {
  static constexpr const char* RADIX[] = {"d", "h", "f", "f", "u"};
  dialog_form& f = *d.form;
  const int index = f.chosen("Radix", "");
  const char* radix = index >= 0 && index < 5 ? RADIX[index] : "h";
  bool built = false;
  if (!f.text("Start_Addr", "Memory").empty()) {
    const std::string region = field_text(f, "Memory_Map", "Memory", 9);
    const std::string range = address_range(f, "Memory", "Start_Addr", 99, "End_Addr", 49);
    if (dialog_run_line(d, format("radix %s %s:%s", radix, region.c_str(), range.c_str())) == 0) return 0;
    built = true;
  }
  if (!f.selected("Registers", "Regs").empty()) {
    if (walk_selected(d, "Registers", "Regs", 49,
                      [&](const std::string& row) { return format("radix %s %s", radix, row.c_str()); }) == 0)
      return 0;
    built = true;
  }
  return built ? 1 : 0;
}

// The members of Set_Def_Radix's "Radix" in their order, and the member
// named after each default radix (0 binary .. 4 unsigned).
constexpr const char* DEF_RADIX_MEMBERS[] = {"Decimal", "Hexadecimal", "Unsigned", "Binary"};
constexpr const char* DEF_RADIX_NAMES[] = {"Binary", "Decimal", "Fractional", "Hexadecimal", "Unsigned"};

void set_def_radix_fill(dialog_state& d) {
  const int radix = cur_state != nullptr ? cur_state->default_radix : 1;
  const char* name = pick(DEF_RADIX_NAMES, radix);
  int member = 0;  // "Decimal" when the group has no member of that name
  for (int i = 0; i < 4; ++i)
    if (std::strcmp(DEF_RADIX_MEMBERS[i], name) == 0) member = i;
  d.form->choose("Radix", "", member);
}

std::string set_def_radix_line(dialog_state& d) {
  static constexpr const char* RADIX[] = {"d", "h", "u", "b"};
  return format("radix %s", pick(RADIX, d.form->chosen("Radix", "")));
}

// Windows ----------------------------------------------------------------------

// The expression of a watch; empty is refused with a message.
bool watch_expression(dialog_form& f, std::string& out) {
  out = field_text(f, "Expression", "", 199);
  if (!out.empty()) return true;
  error_report("Empty expression string");
  return false;
}

int watch_win_apply(dialog_state& d) {
  dialog_form& f = *d.form;
  std::string expression;
  if (!watch_expression(f, expression)) return 0;
  return dialog_run_line(d, format("wwatch win%d %s %s", f.value("Win_Num", ""),
                                   pick(WATCH_RADIX, f.chosen("Radix", "")), expression.c_str()));
}

void memory_win_fill(dialog_state& d) {
  std::vector<std::string> rows;
  if (cur_type != nullptr)
    for (int i = 0; i < cur_type->region_count; ++i) {
      const mem_region& r = cur_type->regions[i];
      const auto low = static_cast<unsigned long>(r.low);
      rows.push_back(format("%s $%lx; %lx..%lx, %s", r.name, low, low, static_cast<unsigned long>(r.high),
                            space_help_line(r.space)));
    }
  d.form->set_rows("Memory_Map", "", rows);
}

// The whole entry: the command language ends the line at its ";".
std::string memory_win_line(dialog_state& d) {
  return format("wmemory %s", field_text(*d.form, "Memory_Map", "", 255).c_str());
}

void register_win_fill(dialog_state& d) {
  std::vector<std::string> rows;
  if (cur_type != nullptr)
    for (int i = 0; i < cur_type->periph_count; ++i)
      if (std::strcmp(cur_type->periphs[i].name, "csim") != 0) rows.emplace_back(cur_type->periphs[i].name);
  d.form->set_rows("Peripheral", "", rows);
}

std::string register_win_line(dialog_state& d) {
  return format("wregister %s", field_text(*d.form, "Peripheral", "", 255).c_str());
}

// Memory and registers ---------------------------------------------------------

void copy_fill(dialog_state& d) {
  regions_into(d, "From_Memory_Space", "From");
  regions_into(d, "To_Memory_Space", "To");
}

std::string copy_line(dialog_state& d) {
  dialog_form& f = *d.form;
  const std::string from = field_text(f, "From_Memory_Space", "From", 9);
  const std::string range = address_range(f, "From", "From_Start_Address", 49, "From_End_Address", 24);
  const std::string to = field_text(f, "To_Memory_Space", "To", 9);
  const std::string start = field_text(f, "To_Start_Address", "To", 49);
  return format("copy %s:%s %s:%s", from.c_str(), range.c_str(), to.c_str(), start.c_str());
}

void memory_space_fill(dialog_state& d) { regions_into(d, "Memory_Space", ""); }

int change_mem_apply(dialog_state& d) {
  dialog_form& f = *d.form;
  const std::string value = field_text(f, "Value", "", 255);
  if (value.empty()) return 0;
  const std::string region = field_text(f, "Memory_Space", "", 255);
  const std::string range = address_range(f, "", "Start_Address", 255, "End_Address", 255);
  return dialog_run_line(d, format("change %s:%s %s", region.c_str(), range.c_str(), value.c_str()));
}

int change_reg_apply(dialog_state& d) {
  const std::string value = field_text(*d.form, "Value_Text", "", 49);
  if (value.empty()) return 0;
  return walk_selected(d, "Registers", "Regs", 19,
                       [&](const std::string& reg) { return format("change %s %s", reg.c_str(), value.c_str()); });
}

int disp_reg_apply(dialog_state& d) {
  const char* display = pick(DISPLAY, d.form->chosen("Display", ""));
  return walk_selected(d, "Registers", "Regs", 19,
                       [&](const std::string& reg) { return format("display %s %s", display, reg.c_str()); });
}

std::string disp_mem_line(dialog_state& d) {
  dialog_form& f = *d.form;
  const std::string region = field_text(f, "Memory_Space", "", 9);
  const std::string range = address_range(f, "", "Start_Address", 199, "End_Address", 19);
  return format("display %s %s:%s", pick(DISPLAY, f.chosen("Display", "")), region.c_str(), range.c_str());
}

std::string disassemble_line(dialog_state& d) {
  dialog_form& f = *d.form;
  const std::string region = field_text(f, "Memory_Space", "", 9);
  const std::string range = address_range(f, "", "Start_Address", 199, "End_Address", 19);
  return format("disassemble %s:%s", region.c_str(), range.c_str());
}

// Expressions and watches ------------------------------------------------------

std::string type_line(dialog_state& d) {
  return format("type %s", field_text(*d.form, "Expression", "", 199).c_str());
}

std::string evaluate_line(dialog_state& d) {
  static constexpr const char* RADIX[] = {"b", "d", "f", "f", "h", "u"};
  return format("evaluate %s %s", pick(RADIX, d.form->chosen("Radix", "")),
                field_text(*d.form, "Expression", "", 199).c_str());
}

int add_watch_apply(dialog_state& d) {
  std::string expression;
  if (!watch_expression(*d.form, expression)) return 0;
  return dialog_run_line(d, format("watch %s %s", pick(WATCH_RADIX, d.form->chosen("Radix", "")), expression.c_str()));
}

void watch_numbers_fill(dialog_state& d) {
  d.rows.clear();
  if (const watch_list* list = device_watches(cur_device))
    for (const watch_entry& e : list->entries) d.rows.push_back(format("#%u", static_cast<unsigned>(e.number)));
  d.form->set_rows("Number", "", d.rows);
}

// Saving and loading memory ----------------------------------------------------

constexpr int CHOOSER_COFF = 1;
constexpr int CHOOSER_OMF = 5;

void save_mem_fill(dialog_state& d) {
  const bool omf = d.command != nullptr && std::strcmp(d.command, "M_File_Save_OMF") == 0;
  d.chooser_kind = omf ? CHOOSER_OMF : CHOOSER_COFF;
  regions_into(d, "Memory_Map", "");
}

void save_mem_file(dialog_state& d, bool) { choose_file_into(d, "File_Name", "", d.chooser_kind, 0); }
constexpr item_handler SAVE_MEM_HANDLERS[] = {{"File", save_mem_file}};

int save_mem_apply(dialog_state& d) {
  dialog_form& f = *d.form;
  std::string name;
  if (!file_name_field(f, "File_Name", "", 255, name)) return 0;
  if (name.empty()) return 0;
  std::string path;
  if (!make_file_path("", name.c_str(), d.chooser_kind == CHOOSER_COFF ? ".cld" : ".lod", path)) {
    // A folder's name ("adir/") names no file.
    error_report(name.back() == '/' || name.back() == '\\' ? "Error opening file." : "File name too long");
    return 0;
  }
  const std::string region = field_text(f, "Memory_Map", "", 255);
  const std::string start = field_text(f, "Start_Address", "", 255);
  const std::string end = field_text(f, "End_Address", "", 255);
  return dialog_run_line(d, format("save %s:%s..%s %s", region.c_str(), start.c_str(), end.c_str(), path.c_str()));
}

void load_select_file(dialog_state& d, bool) { choose_file_into(d, "File_Name", "File_Name", CHOOSER_COFF, 1); }
constexpr item_handler LOAD_HANDLERS[] = {{"Select_File", load_select_file}};

int load_coff_apply(dialog_state& d) {
  static constexpr const char* LOAD[] = {"m", "d"};
  std::string name;
  if (!file_name_field(*d.form, "File_Name", "File_Name", PATH_MAX_CHARS, name)) return 0;
  return dialog_run_line(d, format("load %s %s", pick(LOAD, d.form->chosen("Load", "")), name.c_str()));
}

// Table ---------------------------------------------------------------------------

template <std::size_t N>
constexpr int count_of(const item_handler (&)[N]) {
  return static_cast<int>(N);
}

// A dialog of one line built from one format.
constexpr dialog_entry line_row(const char* resource, const char* command, void (*fill)(dialog_state&),
                                std::string (*build)(dialog_state&)) {
  return {resource, command, nullptr, nullptr, nullptr, fill, build, nullptr, 0, false, false};
}
// A dialog with an apply of its own.
constexpr dialog_entry apply_row(const char* resource, const char* command, void (*fill)(dialog_state&),
                                 int (*apply)(dialog_state&), const item_handler* handlers = nullptr, int count = 0) {
  dialog_entry e{resource, command, nullptr, nullptr, nullptr, fill, nullptr, handlers, count, false, false};
  e.apply = apply;
  return e;
}

constexpr dialog_entry set_device_row() {
  dialog_entry e = line_row("Set_Device", "M_Mod_Dev_Def", set_device_fill, set_device_line);
  e.palette_command = "Palette_Device";
  return e;
}

constexpr dialog_entry save_mem_row() {
  dialog_entry e = apply_row("Save_Mem", "M_File_Save_COFF", save_mem_fill, save_mem_apply, SAVE_MEM_HANDLERS,
                             count_of(SAVE_MEM_HANDLERS));
  e.second_command = "M_File_Save_OMF";
  return e;
}

constexpr dialog_entry TABLE[] = {
    set_device_row(),
    apply_row("Device", "M_Mod_Dev_Conf", device_fill, device_apply, DEVICE_HANDLERS, count_of(DEVICE_HANDLERS)),
    apply_row("Set_Radix", "M_Mod_Radix_Disp", set_radix_fill, set_radix_apply),
    line_row("Set_Def_Radix", "M_Mod_Radix_Def", set_def_radix_fill, set_def_radix_line),
    apply_row("Watch_Win", "M_Win_Watch", radix_fill, watch_win_apply),
    line_row("Memory_Win", "M_Win_Mem", memory_win_fill, memory_win_line),
    line_row("Register_Win", "M_Win_Reg", register_win_fill, register_win_line),
    line_row("Copy_Mem", "M_Mod_Copy", copy_fill, copy_line),
    apply_row("Change_Mem", "M_Mod_Memory", memory_space_fill, change_mem_apply),
    apply_row("Change_Reg", "M_Mod_Register", registers_into_list, change_reg_apply),
    apply_row("Disp_Reg", "M_Disp_Reg", registers_into_list, disp_reg_apply),
    line_row("Disp_Mem", "M_Disp_Mem", memory_space_fill, disp_mem_line),
    line_row("Disassemble", "M_Disp_Disasm_Mem", memory_space_fill, disassemble_line),
    line_row("Type", "M_Disp_Type", nullptr, type_line),
    line_row("Evaluate", "M_Disp_Eval", radix_fill, evaluate_line),
    apply_row("Add_Watch", "M_Disp_Watch_Add", radix_fill, add_watch_apply),
    {"Watch_Off", "M_Disp_Watch_Off", nullptr, "Number", "watch %s off", watch_numbers_fill, nullptr, nullptr, 0, true,
     false},
    save_mem_row(),
    apply_row("Load_COFF", "M_File_Load_COFF", nullptr, load_coff_apply, LOAD_HANDLERS, count_of(LOAD_HANDLERS)),
    apply_row("AppPrefs", "M_File_Pref", save_pos_prefs_fill, save_pos_prefs_apply),
};

}  // namespace

std::span<const dialog_entry> device_mem_dialogs() { return TABLE; }

}  // namespace gui

// The main window, its menus and palette, and the menu dispatcher.
//
// - The main window (`frontends/gui/main_window.cpp`): "Main" with "Main_Menu_Bar", "Win_Palette", "Main_View"
//   and "StatusBar". The 108 selectors are one constexpr table (name, action kind, line or format,
//   chooser kind, mode and the kind of path required); `menu_register` makes one selector command
//   per name under "Command" in the application's command space, whose issue is `menu_dispatch`.
//   Busy keeps only the Execute and File menus with Stop and Quit, and the palette's Stop. The items
//   keep their designed rectangles on a resize (palette from the top, document area growing, status
//   bar across the bottom); a framework-drawn bar ("nonativemenubar") takes its natural height
//   across the top, placed once the window is open (only then is a native bar 0 x 0), and the
//   palette and document area move down by it. The main window hands the road its status bar
//   (`main_status_bar`): a run's progress text follows every thousand cycles, but reaches the item
//   at most every 100 ms (a go passes a thousand cycles far more often than a screen can show), and
//   the run's end clears it. A disabled palette item draws its icon through the look's inactive
//   pattern, as a disabled label is drawn.
//
// - Placement of the simulator's windows (`main_view_open`, `frontends/gui/main_window.cpp`): a document
//   window counts its rectangle from the bottom left of the document area (the multiple-document
//   client), not of the root window, so each window is added to the main view, opened (only then are
//   its frame's insets known) and placed: on the pending restored rectangle (every kind, the Session
//   and Command windows too), else beside the newest window of its kind (codes 4, 12), else by its
//   codes over `document_bounds()`; a computed place is kept inside the area, the top left winning
//   for a window larger than it, and a new window that would cover the title bar of an open one
//   moves off it (a cascade's step, else the first free place of a grid). Without a document area
//   (windows of their own on the screen) the Session window moves to the side of the main window
//   with the most room, made smaller to fit it there, the window manager's frames of both kept
//   apart; any other new window moves off the open ones' title bars as in the document area; each
//   is owned by the main window, so that a use of the main window leaves it above; Window > Tile lays the
//   open windows in a grid beside the main window (the view tiles nothing there); restored windows
//   the main window hides are raised when the start-up macro runs; the X11 back-end keeps every
//   frame on the screen. The platform reports a moved document's rectangle in the same terms
//   (`frameworkRect`, `fw/gui/window/msw_proc.cpp`), so a saved layout comes back where it was.
//   `install_combo_size_hook` (`frontends/gui/fw_dialogs.cpp`, at start-up) gives the framework's combo box
//   class the front-end's natural size.
#include "frontends/gui/main_window.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fw/core/class.h"
#include "fw/core/command.h"
#include "fw/core/dict.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/domains/mainview.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "frontends/gui/dialogs/fw_form.h"
#include "frontends/gui/dpref.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/road.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "platform/win/dwm.h"
#include "platform/win/user.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/profiler_iface.h"
#include "sim/frontend/frontend.h"

namespace gui {

int main_window_open = 0;

namespace {

constexpr menu_entry L(const char* name, const char* line) { return {name, MENU_LINE, line}; }
constexpr menu_entry D(const char* name, const char* dialog) { return {name, MENU_DIALOG, dialog}; }
constexpr menu_entry C(const char* name, int kind, int open, const char* format, chooser_need need) {
  return {name, MENU_CHOOSER, format, static_cast<std::int8_t>(kind), static_cast<std::int8_t>(open), need};
}
constexpr menu_entry K(const char* name, menu_action_kind kind) { return {name, kind, nullptr}; }

constexpr std::array<menu_entry, MENU_SELECTORS> table = {{
    C("M_File_Path_Set", 9, 1, "path %s", NEED_DIRECTORY),
    C("M_File_Path_Add", 9, 1, "path + %s", NEED_DIRECTORY),
    L("M_File_Path_Clear", "path -"),
    D("M_File_Load_COFF", "Load_COFF"),
    C("M_File_Load_OMF", 5, 1, "load %s", NEED_FILE),
    C("M_File_Load_State", 0, 1, "load s %s", NEED_FILE),
    D("M_File_Save_COFF", "Save_Mem"),
    D("M_File_Save_OMF", "Save_Mem"),
    C("M_File_Save_State", 0, 0, "save s %s", NEED_ANY),
    D("M_File_Input_Open", "Input_Open"),
    D("M_File_Input_Pin", "Input_Pin"),
    D("M_File_Input_Addr", "Input_Addr"),
    D("M_File_Input_Close", "Input_Close"),
    D("M_File_Output_Open", "Output_Open"),
    D("M_File_Output_Close", "Output_Close"),
    L("M_File_Streams_Enable", "streams e"),
    L("M_File_Streams_Disable", "streams d"),
    D("M_File_Redir_Stream", "Redir_Stream"),
    D("M_File_Redir_Off", "Redir_Off"),
    C("M_File_Log_Cmd", 4, 0, "log c %s", NEED_ANY),
    C("M_File_Log_Session", 3, 0, "log s %s", NEED_ANY),
    C("M_File_Log_Profile", 3, 0, "log p %s", NEED_ANY),
    L("M_File_Log_Header", "log v"),
    D("M_File_Log_Close", "Log_Close"),
    C("M_File_Macro", 4, 1, "%s", NEED_FILE),
    D("M_File_About", "About"),
    D("M_File_Pref", "AppPrefs"),
    K("M_File_Quit", MENU_QUIT),
    L("M_Disp_Active", "display"),
    D("M_Disp_Mem", "Disp_Mem"),
    D("M_Disp_Reg", "Disp_Reg"),
    L("M_Disp_Stack", "help stack"),
    L("M_Disp_Version", "display v"),
    L("M_Disp_Off", "display off"),
    L("M_Disp_Disasm_PC", "disassemble"),
    D("M_Disp_Disasm_Mem", "Disassemble"),
    L("M_Disp_Hist", "history"),
    D("M_Disp_List", "List_File"),
    D("M_Disp_Eval", "Evaluate"),
    D("M_Disp_Where", "Where"),
    L("M_Disp_Radix", "radix"),
    L("M_Disp_Device", "device"),
    L("M_Disp_Path", "path"),
    L("M_Disp_Input", "input"),
    L("M_Disp_Output", "output"),
    L("M_Disp_Redir", "redirect"),
    L("M_Disp_Streams", "streams"),
    L("M_Disp_Log", "log"),
    L("M_Disp_Break", "break"),
    L("M_Disp_Watch_Show", "watch"),
    D("M_Disp_Watch_Add", "Add_Watch"),
    D("M_Disp_Watch_Off", "Watch_Off"),
    D("M_Disp_Type", "Type"),
    L("M_Disp_More_On", "more"),
    L("M_Disp_More_Off", "more off"),
    L("M_Disp_View_Reg", "view r"),
    L("M_Disp_View_Asm", "view a"),
    L("M_Disp_View_Src", "view s"),
    D("M_Mod_Register", "Change_Reg"),
    D("M_Mod_Memory", "Change_Mem"),
    D("M_Mod_Copy", "Copy_Mem"),
    D("M_Mod_Radix_Def", "Set_Def_Radix"),
    D("M_Mod_Radix_Disp", "Set_Radix"),
    D("M_Mod_Dev_Def", "Set_Device"),
    D("M_Mod_Dev_Conf", "Device"),
    K(nullptr, MENU_NOTHING),
    D("M_Mod_Up", "Up"),
    D("M_Mod_Down", "Down"),
    D("M_Exec_Go", "Go"),
    D("M_Exec_Step", "Step"),
    D("M_Exec_Trace", "Trace"),
    D("M_Exec_Next", "Next"),
    L("M_Exec_Finish", "finish"),
    D("M_Exec_Until", "Until"),
    D("M_Exec_Break_Set", "Set_Break"),
    D("M_Exec_Break_Clear", "Clear_Break"),
    D("M_Exec_Break_Enable", "Enable_Break"),
    D("M_Exec_Break_Disable", "Disable_Break"),
    D("M_Exec_Wait", "Wait"),
    K("M_Exec_Stop", MENU_STOP),
    L("M_Exec_Reset_State", "reset s"),
    K("M_Exec_Reset_System", MENU_NOTHING),
    D("M_Exec_Reset_Dev", "Reset"),
    K("M_Exec_Reset_CC", MENU_NOTHING),
    L("M_Win_Asm", "wasm"),
    L("M_Win_Source", "wsource"),
    D("M_Win_Reg", "Register_Win"),
    D("M_Win_Mem", "Memory_Win"),
    L("M_Win_Stack", "wstack"),
    L("M_Win_Calls", "wcalls"),
    C("M_Win_List", 7, 1, "wlist %s", NEED_FILE),
    D("M_Win_Watch", "Watch_Win"),
    L("M_Win_Input", "winput"),
    L("M_Win_Output", "woutput"),
    L("M_Win_Breakpoints", "wbreakpoint"),
    L("M_Win_Cmd", "wcommand"),
    L("M_Win_Session", "wsession"),
    K("M_Win_Tile", MENU_TILE),
    K("M_Win_Cascade", MENU_CASCADE),
    K("M_Help_Help", MENU_HELP),
    L("Palette_Go", "go"),
    K("Palette_Stop", MENU_STOP),
    L("Palette_Step", "step"),
    L("Palette_Next", "next"),
    L("Palette_Finish", "finish"),
    D("Palette_Device", "Set_Device"),
    K("Palette_Repeat", MENU_REPEAT),
    L("Palette_Reset", "reset d"),
}};

constexpr bool table_named_in_order() {
  // Each name once; the palette's eight last.
  for (std::size_t i = 0; i < table.size(); ++i)
    for (std::size_t j = i + 1; j < table.size(); ++j) {
      const char* a = table[i].name;
      const char* b = table[j].name;
      if (a == nullptr || b == nullptr) continue;
      std::size_t k = 0;
      while (a[k] != '\0' && a[k] == b[k]) ++k;
      if (a[k] == b[k]) return false;
    }
  return table[100].name[0] == 'P' && table[107].name[0] == 'P' && table[99].name[0] == 'M';
}
static_assert(table_named_in_order());

vdialog* main_dialog = nullptr;
vmenubar* menu_bar = nullptr;
vcommandSpace* command_space = nullptr;

// ---- Menus by name.

vmenu* bar_menu(vname tag) {
  if (menu_bar == nullptr) return nullptr;
  for (int i = 0; i < vmenubarCount(menu_bar); ++i)
    if (vmenu* m = vmenubarAt(menu_bar, i); m != nullptr && m->tag == tag) return m;
  return nullptr;
}

// The item of the menu (or of its sub-menus) with the tag, and the menu
// that holds it.
vmenuItem* find_item(vmenu* m, vname tag, vmenu** holder) {
  if (m == nullptr) return nullptr;
  for (int i = 0; i < vmenuItemListCount(&m->items); ++i) {
    vmenuItem* item = vmenuItemListAt(&m->items, i);
    if (item->tag == tag) {
      if (holder != nullptr) *holder = m;
      return item;
    }
    if (vmenuItem* inner = find_item(vmenuGetItemSubMenu(item), tag, holder)) return inner;
  }
  return nullptr;
}

// The sub-menu with the tag under the menu.
vmenu* find_sub_menu(vmenu* m, vname tag) {
  if (m == nullptr) return nullptr;
  for (int i = 0; i < vmenuItemListCount(&m->items); ++i) {
    vmenu* sub = vmenuGetItemSubMenu(vmenuItemListAt(&m->items, i));
    if (sub == nullptr) continue;
    if (sub->tag == tag) return sub;
    if (vmenu* inner = find_sub_menu(sub, tag)) return inner;
  }
  return nullptr;
}

void remove_item(vmenu* m, const char* name) {
  vmenu* holder = nullptr;
  if (vmenuItem* item = find_item(m, N(name), &holder)) {
    vmenuRemoveItem(holder, item);
    vinstanceDestroy(item);
  }
}

vpalette* palette() {
  return main_dialog != nullptr ? reinterpret_cast<vpalette*>(vdialogFindItem(main_dialog, N("Win_Palette"))) : nullptr;
}

vmainview* document_area() {
  return main_dialog != nullptr ? reinterpret_cast<vmainview*>(vdialogFindItem(main_dialog, N("Main_View"))) : nullptr;
}

void menu_trim() {
  const vlaf* look = vlafGetCurrent();
  if (look != nullptr && (look->flags & 1U) != 0) {
    if (vmenuItem* quit = find_item(bar_menu(N("FileMenu")), N("M_File_Quit"), nullptr)) {
      vmenuItemSetTitle(quit, vscribeLiteral("Exit"));
      vmenuItemSetMnemonic(quit, 'x');
    }
  } else {
    vmenu* windows = bar_menu(N("WinMenu"));
    remove_item(windows, "M_Win_Tile");
    remove_item(windows, "M_Win_Cascade");
  }
  vmenu* execute = bar_menu(N("ExecuteMenu"));
  vmenu* breaks = find_sub_menu(execute, N("M_Exec_Break"));
  remove_item(breaks, "M_Exec_Break_SW");
  remove_item(breaks, "M_Exec_Break_HW");
  vmenu* resets = find_sub_menu(execute, N("M_Exec_Reset"));
  remove_item(resets, "M_Exec_Reset_System");
  remove_item(resets, "M_Exec_Reset_CC");
  if (!profiler_attached())
    for (int i = 0; i < vmenubarCount(menu_bar); ++i) remove_item(vmenubarAt(menu_bar, i), "M_File_Log_Profile");
}

vcommandValueClassRec* menu_command_class() {
  static vcommandValueClassRec* cls = nullptr;
  if (cls == nullptr) {
    cls = vclassSpawnOf<vcommandValueClassRec>(vcommandGetDefaultSelectorClass());
    vclassSetName(cls, vscribeLiteral("simmenucommand"));
    cls->issue = menu_dispatch;
  }
  return cls;
}

void menu_register() {
  vcommandValueClassRec* cls = menu_command_class();
  vdict* commands = vdictCreate(vdictHashName);
  for (int s = 0; s < MENU_SELECTORS; ++s) {
    if (table[static_cast<std::size_t>(s)].name == nullptr) continue;
    auto* command = static_cast<vcommand*>(vinstanceCreate(cls));
    cls->setValue(command, s);
    vdictStore(commands, N(table[static_cast<std::size_t>(s)].name), command);
  }
  command_space = vcommandSpaceCreate();
  vcommandSpaceAddDict(command_space, vname_Command, commands);
  vapplicationSetSpaceOwned(vapplicationGetCurrent(), command_space);
}

bool is_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool is_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The chooser entry running now (one chooser at a time: they are modal).
int chooser_selector = -1;

// What the callback would refuse (a path of the wrong kind, a line that
// fails its check) leaves the chooser open.
int chooser_takes(const std::string& path) { return chooser_line(chooser_selector, path).empty() ? 0 : 1; }

int chooser_done(const std::string& path) {
  const std::string line = chooser_line(chooser_selector, path);
  if (line.empty()) return 0;
  command_submit(line.c_str());
  return 1;
}

void main_refresh(sim_window*, int busy) { main_refresh_menus(busy); }

void main_close(sim_window* record) {
  vdialog* d = main_dialog;
  window_record_free(record);
  main_window_open = 0;
  main_dialog = nullptr;
  main_status_bar = nullptr;
  menu_bar = nullptr;
  if (d == nullptr) return;
  d->data = nullptr;
  vdialogSetCloseHook(d, nullptr);
  if (vwindowIsOpen(d)) vwindowClose(d);
  vinstanceDestroyLater(d);
}

// A request to close the main window asks first; Ok quits, whose shutdown
// closes it.
int main_close_request(vdialog*, vevent*) {
  if (quit_question()) submit_checked("quit");
  return 1;
}

}  // namespace

const menu_entry& menu_table(int selector) {
  static constexpr menu_entry none{nullptr, MENU_NOTHING, nullptr};
  return selector >= 0 && selector < MENU_SELECTORS ? table[static_cast<std::size_t>(selector)] : none;
}

vdialog* main_window() { return main_dialog; }

std::string chooser_line(int selector, const std::string& path) {
  const menu_entry& e = menu_table(selector);
  if (e.kind != MENU_CHOOSER) return {};
  if (e.need == NEED_FILE && !is_file(path)) return {};
  if (e.need == NEED_DIRECTORY && !is_directory(path)) return {};
  char line[COMMAND_LINE_MAX + 1];
  const int n = std::snprintf(line, sizeof line, e.text, path.c_str());
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof line) return {};
  if (parse_command_line(line) == nullptr) return {};
  return line;
}

int menu_dispatch_selector(int selector) {
  const menu_entry& e = menu_table(selector);
  switch (e.kind) {
    case MENU_NOTHING:
      return 0;
    case MENU_LINE:
      submit_checked(e.text);
      return 1;
    case MENU_DIALOG:
      if (std::string(e.text) == "About") about_box_open();
      else command_dialog_open(e.name);
      return 1;
    case MENU_CHOOSER: {
      const int previous = chooser_selector;
      chooser_selector = selector;
      file_chooser_run(chooser_done, e.chooser_kind, e.chooser_open, chooser_takes);
      chooser_selector = previous;
      return 1;
    }
    case MENU_QUIT:
      if (quit_question()) submit_checked("quit");
      return 1;
    case MENU_STOP:
      stop_request = 1;
      return 1;
    case MENU_TILE:
      main_view_tile();
      return 1;
    case MENU_CASCADE:
      main_view_cascade();
      return 1;
    case MENU_HELP:
      submit_checked("wsession");
      submit_checked("help");
      return 1;
    case MENU_REPEAT:
      if (const char* newest = command_history_line(0)) {
        const std::string line = newest;
        submit_checked(line.c_str());
      }
      return 1;
  }
  return 0;
}

int menu_dispatch(vcommand* command, vdict*) {
  return menu_dispatch_selector(static_cast<vcommandSelector*>(command)->selector);
}

namespace {

// The items as the resource lays them out for its own size: on a resize
// the palette keeps its distance from the top, the status bar spans the
// bottom and the document area takes what the width and height gained.
// A bar the framework draws itself takes its natural height across the
// top and pushes the palette and document area down by it; the native
// bar's natural size is 0 x 0, so then nothing moves.
struct main_layout {
  int width = 0, height = 0;
  vrect palette{}, view{}, status{};
} design;

vdialogItem* main_item(const char* tag) { return main_dialog != nullptr ? vdialogFindItem(main_dialog, N(tag)) : nullptr; }

void keep_design() {
  design.width = main_dialog->rect.width;
  design.height = main_dialog->rect.height;
  if (vdialogItem* p = main_item("Win_Palette")) design.palette = p->rect;
  if (vdialogItem* v = main_item("Main_View")) design.view = v->rect;
  if (vdialogItem* b = main_item("StatusBar")) design.status = b->rect;
}

void follow_size() {
  const int dw = main_dialog->rect.width - design.width, dh = main_dialog->rect.height - design.height;
  const auto s16 = [](int v) { return static_cast<std::int16_t>(std::max(v, 1)); };
  int bar_width = 0, bar_height = 0;
  if (menu_bar != nullptr) vdialogGetItemNaturalSize(menu_bar, &bar_width, &bar_height);
  if (bar_height > 0) {
    const vrect r{0, s16(main_dialog->rect.height - bar_height), main_dialog->rect.width, s16(bar_height)};
    vdialogSetItemRect(menu_bar, &r);
  }
  if (vdialogItem* p = main_item("Win_Palette")) {
    const vrect r{design.palette.x, static_cast<std::int16_t>(design.palette.y + dh - bar_height), design.palette.width,
                  design.palette.height};
    vdialogSetItemRect(p, &r);
  }
  if (vdialogItem* v = main_item("Main_View")) {
    const vrect r{design.view.x, design.view.y, s16(design.view.width + dw), s16(design.view.height + dh - bar_height)};
    vdialogSetItemRect(v, &r);
  }
  if (vdialogItem* b = main_item("StatusBar")) {
    const vrect r{design.status.x, design.status.y, s16(design.status.width + dw), design.status.height};
    vdialogSetItemRect(b, &r);
  }
}

// The height the menu bar, palette and status bar take, with the
// document area at its smallest.
int main_fixed_height() {
  int bar_width = 0, bar_height = 0;
  if (menu_bar != nullptr) vdialogGetItemNaturalSize(menu_bar, &bar_width, &bar_height);
  return design.height - design.view.height + std::max(bar_height, 0) + MAIN_VIEW_HEIGHT_MIN;
}

void main_notify(vwindow* window, vevent* event) {
  if (window == main_dialog && event->type == veventWINDOW_AREA && (veventGetAreaFlags(event) & 2) != 0) follow_size();
}

}  // namespace

vdialog* main_window_create() {
  // Found again by tag while the window lives: checked once here.
  vdialogItem *palette = nullptr, *view = nullptr, *status = nullptr;
  vmenubar* menus = nullptr;
  vdialog* d = load_window("Main", vdialogGetDefaultClass(),
                           {need("Main_Menu_Bar", vmenubarGetDefaultClass(), &menus),
                            need("Win_Palette", vpaletteGetDefaultClass(), &palette),
                            need("Main_View", vmainviewGetDefaultClass(), &view),
                            need("StatusBar", vtextitemGetDefaultClass(), &status)});
  if (d == nullptr) return nullptr;
  sim_window* record = window_record_new(SIMWIN_MAIN, -1, -1, d);
  if (record == nullptr) {
    vinstanceDestroy(d);
    return nullptr;
  }
  record->refresh = main_refresh;
  record->close = main_close;
  d->data = record;
  main_dialog = d;
  menu_bar = menus;
  menu_trim();
  menu_register();
  vdialogSetCloseHook(d, main_close_request);
  vwindowSetTitleScribe(d, vscribeCString(family_title().c_str()));
  keep_design();
  vwindowClassOf(d)->setNotify(d, main_notify);
  vwindowPlace(d, vwindowGetRoot(), 11, 11);
  d->decoration |= vwindowDECO_TOP_LEVEL;
  main_window_open = 1;
  // Runs show their progress here; the record outlives the window, as a
  // run's queued step may still carry it.
  static status_bar bar;
  bar = status_bar{};
  bar.show = status_bar_show;
  main_status_bar = &bar;
  vwindowOpen(d);
  follow_size();  // the bar is native, and 0 x 0, only once open
  return d;
}

vrect main_window_showable(const vrect& saved) {
  vrect r = saved;
  if (main_dialog == nullptr) return r;
  if (r.height < main_fixed_height()) r.height = static_cast<std::int16_t>(design.height);
  if (r.width < design.palette.x + design.palette.width) r.width = static_cast<std::int16_t>(design.width);
  return r;
}

void main_refresh_menus(int busy) {
  if (menu_bar == nullptr) return;
  const vname execute = N("ExecuteMenu"), file = N("FileMenu");
  const vname stop = N("M_Exec_Stop"), quit = N("M_File_Quit");
  for (int i = 0; i < vmenubarCount(menu_bar); ++i) {
    vmenu* m = vmenubarAt(menu_bar, i);
    const bool kept = m->tag == execute || m->tag == file;
    if (busy != 0 && !kept) vmenuClassOf(m)->disable(m);
    else vmenuClassOf(m)->enable(m);
    if (!kept) continue;
    for (int k = 0; k < vmenuItemListCount(&m->items); ++k) {
      vmenuItem* item = vmenuItemListAt(&m->items, k);
      if (busy != 0 && item->tag != stop && item->tag != quit) vmenuItemDisable(item);
      else vmenuItemEnable(item);
    }
  }
  if (vpalette* p = palette()) {
    const vname palette_stop = N("Palette_Stop");
    for (std::int32_t k = 0; k < vpaletteGetItemCount(p); ++k) {
      vpaletteItem* item = vpaletteGetItemAt(p, k);
      vpaletteItemSetDisabled(item, busy != 0 && item->tag != palette_stop ? 1 : 0);
    }
  }
  vwindowInvalAll(main_dialog, 4);
}

int menu_item_enabled(const char* name) {
  const vname tag = N(name);
  if (menu_bar != nullptr)
    for (int i = 0; i < vmenubarCount(menu_bar); ++i) {
      vmenu* m = vmenubarAt(menu_bar, i);
      vmenu* holder = nullptr;
      if (vmenuItem* item = find_item(m, tag, &holder))
        return vmenuIsEnabled(m) && vmenuIsEnabled(holder) && vmenuItemIsEnabled(item) ? 1 : 0;
    }
  if (vpalette* p = palette())
    if (vpaletteItem* item = vpaletteFindItem(p, tag)) return vpaletteItemIsDisabled(item) ? 0 : 1;
  return -1;
}

std::string menu_item_title(const char* name) {
  if (menu_bar != nullptr)
    for (int i = 0; i < vmenubarCount(menu_bar); ++i)
      if (vmenuItem* item = find_item(vmenubarAt(menu_bar, i), N(name), nullptr))
        return item->title != nullptr ? item->title : "";
  return {};
}

vdialogItem* status_bar_get() {
  for (sim_window* r : window_records())
    if (r->kind == SIMWIN_MAIN && r->window != nullptr)
      return vdialogFindItem(static_cast<vdialog*>(r->window), N("StatusBar"));
  return nullptr;
}

void status_bar_show(const char* text) {
  if (vdialogItem* bar = status_bar_get()) {
    vtextitemSetTextChars(reinterpret_cast<vtextitem*>(bar), text != nullptr ? text : "");
    vdialogInvalItem(bar, 2);
  }
}

// A quit request while the question is up is refused with a beep.
bool quit_question() {
  static bool asking = false;
  if (asking) {
    vwindowBeep();
    return false;
  }
  struct Asking {
    Asking() { asking = true; }
    ~Asking() { asking = false; }
  } during;
  const dialog_answer a = modal_dialog_run(
      [] { return dialogs().notice_run("Are you sure you want to quit?", nullptr, nullptr, true); });
  return a == ANSWER_OK;
}

void main_view_cascade() {
  if (vmainview* v = document_area()) vmainviewCascade(v);
}
void main_view_add(vwindow* window) {
  if (vmainview* v = document_area(); v != nullptr && window != nullptr) vmainviewAddWindow(v, window);
}
void main_view_remove(vwindow* window) {
  vmainview* v = document_area();
  if (v != nullptr && window != nullptr && vmainviewFindChild(v, window) != nullptr) vmainviewRemoveWindow(v, window);
}

}  // namespace gui

namespace gui {

namespace {

struct frame_insets {
  int left, top, right, bottom;
};
frame_insets insets_of(const vwindow* w) {
  const vwindowMSWNative* n = w->native;
  if (n == nullptr) return {};
  return {n->insetLeft, n->insetTop, n->insetRight, n->insetBottom};
}

vrect frame_of(const vwindow* w) {
  const frame_insets i = insets_of(w);
  return {static_cast<std::int16_t>(w->rect.x - i.left), static_cast<std::int16_t>(w->rect.y - i.bottom),
          static_cast<std::int16_t>(w->rect.width + i.left + i.right),
          static_cast<std::int16_t>(w->rect.height + i.top + i.bottom)};
}

void move_frame_to(vwindow* w, int x, int y) {
  const frame_insets i = insets_of(w);
  const vrect r{static_cast<std::int16_t>(x + i.left), static_cast<std::int16_t>(y + i.bottom), w->rect.width,
                w->rect.height};
  vwindowSetRect(w, &r);
}

// A frame larger than the bounds keeps its top left inside: the caption
// stays in reach.
void keep_inside(vwindow* w, const vrect& bounds) {
  const vrect f = frame_of(w);
  const int x = std::max<int>(std::min<int>(f.x, bounds.x + bounds.width - f.width), bounds.x);
  const int y = std::min<int>(std::max<int>(f.y, bounds.y), bounds.y + bounds.height - f.height);
  if (x != f.x || y != f.y) move_frame_to(w, x, y);
}

win::HWND mdi_client() {
  return main_dialog != nullptr && document_area() != nullptr ? vwindowGetMSWMDIClient(main_dialog) : nullptr;
}

// The frame a window manager draws around a window of its own on the
// screen, as the platform knows it; without one known, room for a usual
// title bar and border above the window.
frame_insets manager_frame_of(vwindow* w) {
  win::HWND h = vwindowGetMSWWindow(w);
  win::RECT own{}, framed{};
  if (h != nullptr && win::GetWindowRect(h, &own) &&
      win::DwmGetWindowAttribute(h, win::DWMWA_EXTENDED_FRAME_BOUNDS, &framed, sizeof framed) == win::S_OK) {
    const frame_insets f{own.left - framed.left, own.top - framed.top, framed.right - own.right,
                         framed.bottom - own.bottom};
    if (f.left > 0 || f.top > 0 || f.right > 0 || f.bottom > 0) return f;
  }
  return {0, std::max(24, win::GetSystemMetrics(win::SM_CYCAPTION)) + 8, 0, 0};
}

struct room {
  int x, y, width, height;  // bottom-up, for a window's own area
};

// The main window's frame as the window manager draws it.
vrect managed_main_frame() {
  const vrect own = frame_of(main_dialog);
  const frame_insets mf = manager_frame_of(main_dialog);
  return {static_cast<std::int16_t>(own.x - mf.left), static_cast<std::int16_t>(own.y - mf.bottom),
          static_cast<std::int16_t>(own.width + mf.left + mf.right),
          static_cast<std::int16_t>(own.height + mf.top + mf.bottom)};
}

// The rooms of the screen below, left of, right of and above the main
// window for the own area of a window with frame `wf`.
std::array<room, 4> rooms_beside_main(const frame_insets& wf) {
  const vrect screen = vwindowGetRoot()->rect;
  const vrect m = managed_main_frame();
  const int low = screen.y + wf.bottom, high = screen.y + screen.height - wf.top;
  const int above = m.y + m.height + wf.bottom;
  const int right = m.x + m.width + wf.left;
  return {{
      {screen.x + wf.left, low, screen.width - wf.left - wf.right, m.y - wf.top - low},
      {screen.x + wf.left, low, m.x - wf.right - screen.x - wf.left, high - low},
      {right, low, screen.x + screen.width - wf.right - right, high - low},
      {screen.x + wf.left, above, screen.width - wf.left - wf.right, high - above},
  }};
}

bool main_frame_meets(vwindow* w) {
  if (main_dialog == nullptr || !vwindowIsOpen(main_dialog) || w == main_dialog) return false;
  const vrect m = managed_main_frame();
  const frame_insets wf = manager_frame_of(w);
  const vrect now = w->rect;
  return now.x - wf.left < m.x + m.width && m.x < now.x + now.width + wf.right &&
         now.y - wf.bottom < m.y + m.height && m.y < now.y + now.height + wf.top;
}

// A window of its own on the screen (no document area) that the main
// window would cover moves to the side of the main window with the most
// room for it, made smaller when it does not fit there whole; the frames
// of both are kept apart and the window's on the screen.
void keep_clear_of_main(vwindow* w) {
  if (!main_frame_meets(w)) return;
  const room* best = nullptr;
  long best_area = 0;
  const std::array<room, 4> sides = rooms_beside_main(manager_frame_of(w));
  for (const room& s : sides) {
    const long area = long(std::min<int>(w->rect.width, s.width)) * std::min<int>(w->rect.height, s.height);
    if (s.width > 0 && s.height > 0 && area > best_area) {
      best = &s;
      best_area = area;
    }
  }
  if (best == nullptr) return;
  const int width = std::min<int>(w->rect.width, best->width), height = std::min<int>(w->rect.height, best->height);
  // The top of the room, at its left: under the main window's bottom edge.
  const vrect r{static_cast<std::int16_t>(best->x), static_cast<std::int16_t>(best->y + best->height - height),
                static_cast<std::int16_t>(std::max(width, 1)), static_cast<std::int16_t>(std::max(height, 1))};
  vwindowSetRect(w, &r);
}

// The open simulator windows of their own on the screen, oldest first.
std::vector<vwindow*> open_documents(const sim_window* but) {
  std::vector<vwindow*> out;
  for (sim_window* r : window_records())
    if (r != but && r->window != nullptr && r->window != main_dialog && r->window != vwindowGetRoot() &&
        vwindowIsOpen(r->window))
      out.push_back(r->window);
  return out;
}

// Where windows of their own were placed last: while the window manager
// frames a window, the place the platform reports for it may be for a
// moment its place inside the frame.
std::vector<std::pair<vwindow*, vrect>> placed_frames;

// A new window that covers the start of an open one's title bar,
// where it is or where it was placed, moves to the first spot inside
// `screen` that covers none: a title bar's height down and right of an open
// window (the newest first), as a cascade does, else the next place of a
// grid a title bar's height apart from the top left; where every spot
// covers some, the one that covers fewest. On the screen `wf` is the window
// manager's frame; inside the document area the platform's frame is part of
// `frame_of` already and `wf` is empty.
void cascade_from_previous(sim_window* record, const vrect& screen, const frame_insets& wf) {
  const std::vector<vwindow*> others = open_documents(record);
  std::erase_if(placed_frames, [&](const auto& p) { return std::find(others.begin(), others.end(), p.first) == others.end(); });
  vwindow* w = record->window;
  const int step = std::max({wf.top, insets_of(w).top, 20});
  std::vector<vrect> corners;  // the frames to keep clear of, newest first
  for (auto it = others.rbegin(); it != others.rend(); ++it) {
    corners.push_back(frame_of(*it));
    for (const auto& [placed, r] : placed_frames)
      if (placed == *it) corners.push_back(r);
  }
  const vrect f = frame_of(w);
  // Spots are the frame's left and top (bottom-up).
  // A title bar's start: its icon and the first words of its title.
  constexpr int TITLE_START = 120;
  const auto covers = [&](int x, int top) {
    int n = 0;
    for (const vrect& a : corners) {
      const int ax = a.x - wf.left + 4, ay = a.y + a.height + wf.top - 4;
      const int ax_end = ax + std::min<int>(TITLE_START, a.width + wf.left + wf.right - 8);
      n += x - wf.left <= ax_end && ax < x + f.width + wf.right && top - f.height - wf.bottom <= ay && ay < top + wf.top;
    }
    return n;
  };
  const int left_most = screen.x + wf.left, right_most = screen.x + screen.width - wf.right - f.width;
  const int top_most = screen.y + screen.height - wf.top, bottom_most = screen.y + wf.bottom + f.height;
  int best_x = f.x, best_top = f.y + f.height, best = covers(best_x, best_top);
  const auto consider = [&](int x, int top) {
    if (best == 0 || x < left_most || x > right_most || top > top_most || top < bottom_most) return;
    if (const int n = covers(x, top); n < best) best = n, best_x = x, best_top = top;
  };
  for (const vrect& a : corners) consider(a.x + step, a.y + a.height - step);
  for (int top = top_most; top >= bottom_most && best > 0; top -= step)
    for (int x = left_most; x <= right_most && best > 0; x += step) consider(x, top);
  if (best_x != f.x || best_top != f.y + f.height) move_frame_to(w, best_x, best_top - f.height);
  placed_frames.emplace_back(w, frame_of(w));
}

}  // namespace

void main_view_raise_covered() {
  if (mdi_client() != nullptr) return;
  for (vwindow* w : open_documents(nullptr))
    if (main_frame_meets(w)) vwindowClassOf(w)->raise(w);
}

namespace {

// Tiling without a document area: the open windows in a grid over the
// room beside the main window with the most area, or over the whole
// screen when that room is too small for them, each raised.
void tile_on_screen() {
  const std::vector<vwindow*> docs = open_documents(nullptr);
  if (docs.empty()) return;
  const int n = static_cast<int>(docs.size());
  int columns = 1;
  while (columns * columns < n) ++columns;
  const int rows = (n + columns - 1) / columns;
  const frame_insets wf = manager_frame_of(docs.front());
  const vrect screen = vwindowGetRoot()->rect;
  room area{screen.x + wf.left, screen.y + wf.bottom, screen.width - wf.left - wf.right,
            screen.height - wf.top - wf.bottom};
  if (main_dialog != nullptr && vwindowIsOpen(main_dialog)) {
    constexpr int CELL_MIN_WIDTH = 200, CELL_MIN_HEIGHT = 120;
    long best = 0;
    for (const room& s : rooms_beside_main(wf))
      if (s.width >= CELL_MIN_WIDTH * columns && s.height >= CELL_MIN_HEIGHT * rows && long(s.width) * s.height > best)
        best = long(s.width) * s.height, area = s;
  }
  // The room holds the own areas of the frames on its edges; a cell holds one frame.
  const int cell_w = (area.width + wf.left + wf.right) / columns, cell_h = (area.height + wf.top + wf.bottom) / rows;
  for (int i = 0; i < n; ++i) {
    const int column = i % columns, row = i / columns;
    const int top = area.y + area.height - row * cell_h;
    const vrect r{static_cast<std::int16_t>(area.x + column * cell_w),
                  static_cast<std::int16_t>(top - (cell_h - wf.top - wf.bottom)),
                  static_cast<std::int16_t>(std::max(cell_w - wf.left - wf.right, 1)),
                  static_cast<std::int16_t>(std::max(cell_h - wf.top - wf.bottom, 1))};
    vwindowSetRect(docs[static_cast<std::size_t>(i)], &r);
    vwindowClassOf(docs[static_cast<std::size_t>(i)])->raise(docs[static_cast<std::size_t>(i)]);
  }
}

}  // namespace

void main_view_tile() {
  vmainview* v = document_area();
  if (v == nullptr) return;
  vmainviewTile(v);
  // Without a document area the view tiles nothing: the windows of their
  // own on the screen are tiled there.
  if (mdi_client() == nullptr) tile_on_screen();
}

vrect document_bounds() {
  win::HWND client = mdi_client();
  win::RECT c{};
  if (client == nullptr || !win::GetClientRect(client, &c)) return vwindowGetRoot()->rect;
  return {0, 0, static_cast<std::int16_t>(c.right - c.left), static_cast<std::int16_t>(c.bottom - c.top)};
}

bool window_place_near(sim_window* record) {
  if (record == nullptr || record->window == nullptr) return false;
  if (restored_rect_pending != 0) {
    // A saved rectangle may come from another screen, or be damaged.
    const frame_insets i = insets_of(record->window);
    // The frame lies inside the area: the window's own rectangle inside
    // the area less the frame's insets.
    vrect area = document_bounds();
    area.x = static_cast<std::int16_t>(area.x + i.left);
    area.y = static_cast<std::int16_t>(area.y + i.bottom);
    area.width = static_cast<std::int16_t>(std::max(area.width - i.left - i.right, 1));
    area.height = static_cast<std::int16_t>(std::max(area.height - i.top - i.bottom, 1));
    const vrect r = rect_on_screen(restored_rect, area);
    vwindowSetRect(record->window, &r);
    return true;
  }
  sim_window* reference = window_place_reference(record);
  if (reference == nullptr || reference->window == nullptr) return false;
  vwindowPlace(record->window, reference->window, 4, 12);
  return true;
}

namespace {

// A document of its own on the screen is made with the root as its native
// parent, so it has no owner: the main window, once used, would be raised
// over every document. Owned by the main window, the documents stay above
// it, as windows a main window owns do.
void own_by_main(vwindow* w) {
  win::HWND h = vwindowGetMSWWindow(w), main = main_dialog != nullptr ? vwindowGetMSWWindow(main_dialog) : nullptr;
  if (h == nullptr || main == nullptr || h == main || (win::GetWindowLongPtrA(h, win::GWL_STYLE) & win::WS_CHILD) != 0)
    return;
  if (win::GetWindow(h, win::GW_OWNER) != main)
    win::SetWindowLongPtrA(h, win::GWLP_HWNDPARENT, reinterpret_cast<win::LONG_PTR>(main));
}

}  // namespace

// Placed once open: only then are the frame's insets known, and a
// document counts from the document area, not from the root window.
void main_view_open(sim_window* record, int horizontal, int vertical) {
  vwindow* w = record->window;
  main_view_add(w);
  vwindowOpen(w);
  // Keys typed into a window just opened reach its first item in Tab
  // order (the Assembly window's Scroll_To field) rather than nothing.
  // Set, not moved there as Tab does: a text shown whole is not selected.
  if (vclassIsSubclass(w->cls, vdialogGetDefaultClass())) {
    auto* d = static_cast<vdialog*>(w);
    vdialogItemList* items = vdialogGetItemList(d);
    constexpr std::uint16_t usable = vdialogItemENABLED | vdialogItemFOCUSABLE;
    for (int i = 0; vdialogGetFocusItem(d) == nullptr && i < vdialogItemListCount(items); ++i)
      if (vdialogItem* item = vdialogItemListAt(items, i); (item->flags & usable) == usable)
        vdialogItemListSetFocusItem(items, item);
  }
  if (w != main_dialog && mdi_client() == nullptr) own_by_main(w);
  if (restored_rect_pending != 0) {
    window_place_near(record);
    keep_inside(w, document_bounds());
    // The restore opens window after window in one handler: each is
    // painted in its place before the window manager shows it.
    vwindowPaintPending(w);
    return;
  }
  const vrect area = document_bounds();
  if (!window_place_near(record)) {
    vrect placed;
    const vrect frame = frame_of(w);
    vrectAlign(&frame, &area, horizontal, vertical, &placed);
    move_frame_to(w, placed.x, placed.y);
  }
  keep_inside(w, area);
  if (w == main_dialog) return;
  if (mdi_client() != nullptr) {
    // A window centred by its codes would lie exactly over the last one
    // centred.
    cascade_from_previous(record, area, {});
    keep_inside(w, area);
    return;
  }
  if (record->kind == SIMWIN_SESSION) keep_clear_of_main(w);
  else cascade_from_previous(record, vwindowGetRoot()->rect, manager_frame_of(w));
}

}  // namespace gui

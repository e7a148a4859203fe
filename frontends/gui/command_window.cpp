// The Command window. The entry is a text item of its own class whose key
// handling runs the completion, help and blank rules after the framework
// has edited the text; Return in it is the commit.
//
// - The Command window (`frontends/gui/command_window.cpp`): the entry is a text-item class of its own
//   ("commandline") whose key handling runs after the framework's (the blank is typed by the class
//   itself, since the framework binds it to a command): completion on the first blank, "?" outside
//   braces, a second blank, and Escape (the "Abandon" key). The road's status, help and prompt
//   services also show their text in the window's error, help and prompt lines; with the window
//   closed an error-line message goes to `error_report`. A line typed there runs with windows shown
//   inactive (`vwindowMSWShowInactive`), so a window it opens leaves the keyboard in the Command
//   window; a notice it raises takes the keyboard, being modal or framed as a dialog.
#include "frontends/gui/command_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/gui/window/window_event.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/textstyle.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/lists/liststr.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

namespace gui {

int command_open = 0;

namespace {

constexpr int CLEAR_PRIORITY = 63;
constexpr std::size_t ENTRY_MAX = 254;
constexpr uint32_t KEY_RETURN = 0xFC0D;
constexpr uint32_t KEY_ENTER = 0xFC8D;
constexpr uint32_t KEY_ESCAPE = 0xFC1B;

struct command_state {
  vdialog* dialog = nullptr;
  sim_window* record = nullptr;
  vtextitem* line = nullptr;
  vtextitem* prompt = nullptr;
  vtextitem* help = nullptr;
  vtextitem* error = nullptr;
  xincell* history = nullptr;
  vliststr* history_model = nullptr;
  vtextStyle* normal = nullptr;
  vtextStyle* marked = nullptr;
  // The first word expanded by a blank: its length and command.
  bool completed = false;
  std::size_t completed_length = 0;
  const command_descriptor* command = nullptr;
  int generation = 0;
  // Emptied by the "Abandon" key and not yet: the next key typed empties it first.
  bool clear_pending = false;
  // Each item's distance from the window's top and right edges as loaded.
  struct anchor {
    vdialogItem* item;
    int top, right;
  };
  std::vector<anchor> anchors;
};
command_state win;

std::string item_text(vtextitem* item) {
  if (item == nullptr) return {};
  char* s = vtextitemGetString(item);
  std::string out = s != nullptr ? s : "";
  vmemFree(s);
  return out;
}

int cursor_of(vtextitem* item) {
  return item->selection != nullptr ? static_cast<int>(item->selection->start) : 0;
}

void set_entry(const std::string& text, std::size_t cursor) {
  vtextitemSetTextChars(win.line, text.c_str());
  const auto at = static_cast<int32_t>(std::min(cursor, text.size()));
  if (win.line->text != nullptr && win.line->selection != nullptr)
    vtextSetSelectionRange(win.line->text, win.line->selection, at, at);
}

vtextStyle* style_of(unsigned red) {
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, red, 0, 0);
  vtextStyle* s = vtextStyleCreate();
  vtextStyleSetAttribute(s, N("Color"), reinterpret_cast<vobject*>(vcolorInternSpec(&spec)), 0);
  return s;
}

// A window the line opens shows without taking the keyboard: the next
// line typed still lands here.
void submit_keeping_keyboard(const char* line) {
  struct inactive {
    inactive() { vwindowMSWShowInactive(1); }
    ~inactive() { vwindowMSWShowInactive(0); }
  } scope;
  command_submit(line);
}

void prompt_again() {
  show_command_prompt();
  show_prompt();
}

void clear_if_pending() {
  if (!win.clear_pending) return;
  win.clear_pending = false;
  set_entry({}, 0);
}

int clear_entry_event(vevent* event) {
  if (command_open != 0 && event->word3 == win.generation) clear_if_pending();
  return 1;
}

// As for the "Abandon" key: the prompt again, the entry emptied a moment
// later (after the framework's own handling of the key), no completion. Keys
// typed before that moment (held up while the program was busy) are typed
// into the emptied entry.
void abandon_entry() {
  prompt_again();
  win.clear_pending = true;
  vevent* e = veventCreateClient(clear_entry_event, nullptr);
  e->word3 = win.generation;
  e->priority = CLEAR_PRIORITY;
  veventPost(e);
  win.completed = false;
}

void commit_line() {
  std::string line = item_text(win.line).substr(0, ENTRY_MAX);
  if (!win.completed) {
    if (line.empty()) {
      const char* newest = command_history_line(0);
      line = newest != nullptr ? newest : "";
    } else {
      win.command = complete_command_word(line);
    }
  }
  if (parse_command_line(line.c_str()) == nullptr) {
    const int at = cur_lexer != nullptr ? cur_lexer->error_pos : -1;
    std::string shown = line;
    show_parse_error(shown);
    set_entry(line, at >= 0 && static_cast<std::size_t>(at) <= line.size() ? static_cast<std::size_t>(at) : line.size());
    return;
  }
  submit_keeping_keyboard(line.c_str());
  if (command_open == 0) return;
  if (cur_device >= 0) make_device_current(cur_device);
  prompt_again();
  set_entry({}, 0);
  win.completed = false;
}

// The rules of "?" and the blank, after the framework typed the key.
void key_typed(int character) {
  const std::string text = item_text(win.line);
  const auto cursor = static_cast<std::size_t>(cursor_of(win.line));
  if (win.completed && text.size() <= win.completed_length) {
    abandon_entry();
    return;
  }
  if (cursor == 0 || cursor > text.size() || text[cursor - 1] != character) return;
  const std::size_t at = cursor - 1;
  if (character == '?') {
    int depth = 0;
    for (std::size_t k = 0; k < at; ++k) depth += text[k] == '{' ? 1 : text[k] == '}' ? -1 : 0;
    if (depth != 0) return;  // inside braces it is text
    print_command_help(win.completed ? win.command : nullptr);
    set_entry(text.substr(0, at) + text.substr(cursor), at);
    return;
  }
  if (character != ' ') return;
  if (text == " ") {
    set_entry({}, 0);
    cycle_help_line(1);
    return;
  }
  if (at == 0) {
    abandon_entry();
    return;
  }
  if (!win.completed) {
    std::string word = text.substr(0, at);
    win.command = complete_command_word(word);
    win.completed = true;
    win.completed_length = word.size();
    set_entry(word + " ", word.size() + 1);
    return;
  }
  if (text[at - 1] == ' ') {
    set_entry(text.substr(0, at) + text.substr(cursor), at);
    cycle_help_line(1);
  }
}

vtextitemClassRec* line_class() {
  static vtextitemClassRec* cls = [] {
    auto* c = vclassSpawnOf<vtextitemClassRec>(vtextitemGetDefaultClass());
    vclassSetName(c, vscribeLiteral("commandline"));
    c->keyDown = [](vdialogItem* item, vevent* e) {
      const uint32_t key = veventGetKey(e);
      if (win.line != reinterpret_cast<vtextitem*>(item)) return vtextitemGetDefaultClass()->keyDown(item, e);
      clear_if_pending();
      if (veventGetBinding(e) == vname_Abandon || key == KEY_ESCAPE) {
        abandon_entry();
        return 1;
      }
      const std::string before = item_text(win.line);
      const std::size_t start = win.line->selection != nullptr ? std::min<std::size_t>(win.line->selection->start, before.size()) : 0;
      const std::size_t end = win.line->selection != nullptr ? std::clamp<std::size_t>(win.line->selection->end, start, before.size()) : 0;
      // The framework binds the blank to a command of its own; here it is
      // typed as text.
      if (veventGetCharacter(e) == ' ' && win.line->selection != nullptr) {
        if (before.size() - (end - start) >= ENTRY_MAX) {
          vwindowBeep();
          return 1;
        }
        set_entry(before.substr(0, start) + " " + before.substr(end), start + 1);
        key_typed(' ');
        return 1;
      }
      const int handled = vtextitemGetDefaultClass()->keyDown(item, e);
      // The entry holds no more than a line runs: what a key adds past it
      // is taken back.
      if (item_text(win.line).size() > ENTRY_MAX) {
        set_entry(before, start);
        if (win.line->text != nullptr && win.line->selection != nullptr)
          vtextSetSelectionRange(win.line->text, win.line->selection, static_cast<int32_t>(start), static_cast<int32_t>(end));
        vwindowBeep();
        return 1;
      }
      if (key != KEY_RETURN && key != KEY_ENTER) key_typed(veventGetCharacter(e));
      return handled;
    };
    // A paste fills the entry's room and no more.
    c->pasteLength = [](vtextview* view, const char* chars, int32_t length) {
      const int32_t n = vtextitemGetDefaultClass()->pasteLength(view, chars, length);
      const int32_t kept = view->text != nullptr ? view->text->length - (view->selection != nullptr ? view->selection->length : 0) : 0;
      const int32_t room = std::max<int32_t>(0, static_cast<int32_t>(ENTRY_MAX) - kept);
      if (n <= room) return n;
      vwindowBeep();
      return room;
    };
    return c;
  }();
  return cls;
}

void line_notify(vtextview*, vevent* event, int reason) {
  if (reason == INCELL_COMMIT && event != nullptr && command_open != 0) commit_line();
}

// A history row edited in place and committed is checked and submitted.
void history_commit(xincell*, const char* text, int code) {
  if (code != INCELL_COMMIT) return;
  const std::string line = std::string(text != nullptr ? text : "").substr(0, ENTRY_MAX);
  if (parse_command_line(line.c_str()) == nullptr) return;
  submit_keeping_keyboard(line.c_str());
}

void history_edit_cell(xincell* list, int32_t row, int32_t column) {
  incell_set_current(list, row, column);
  incell_layout(list, 1);
}

void command_refresh(sim_window* record, int busy) {
  if (record->window != nullptr) {
    if (busy != 0) vwindowClassOf(record->window)->setMark(record->window);
    else vwindowClassOf(record->window)->clearMark(record->window);
  }
  for (vdialogItem* item : {static_cast<vdialogItem*>(win.line), static_cast<vdialogItem*>(win.history)}) {
    if (item == nullptr) continue;
    if (busy != 0) vdialogDisableItem(item);
    else vdialogEnableItem(item);
  }
}

void command_update(sim_window*) {
  if (win.history == nullptr || win.history_model == nullptr) return;
  incell_layout(win.history, 0);
  const int rows = vlistGetRowCount(win.history_model);
  {
    // Updated after every traced instruction: only the lines that changed
    // are set and repainted.
    grid_fill fill(win.history_model, win.history);
    for (int r = 0; r < rows; ++r) {
      const char* line = command_history_line(rows - 1 - r);
      fill.set(r, 0, line != nullptr ? line : "");
    }
  }
  if (rows > 0) vlistviewScrollToCell(win.history, rows - 1, 0);
}

void command_close(sim_window* record) {
  vdialog* d = win.dialog;
  vliststr* model = win.history_model;
  if (win.history != nullptr) {
    incell_layout(win.history, 0);
    vlistviewSetList(win.history, nullptr);
  }
  if (win.help != nullptr) vtextitemSetTextChars(win.help, "");
  if (win.error != nullptr) vtextitemSetTextChars(win.error, "");
  window_record_free(record);
  const int generation = win.generation + 1;
  vtextStyle* styles[] = {win.normal, win.marked};
  win = command_state{};
  win.generation = generation;
  command_open = 0;
  if (d != nullptr) {
    main_view_remove(d);
    d->data = nullptr;
    if (vwindowIsOpen(d)) vwindowClose(d);
    vinstanceDestroyLater(d);
  }
  if (model != nullptr) vinstanceDestroy(model);
  for (vtextStyle* s : styles)
    if (s != nullptr) vtextStyleDestroy(s);
}

int close_hook(vdialog*, vevent*) {
  if (win.record != nullptr) command_close(win.record);
  return 1;
}

void anchor_items(vdialog* d) {
  win.anchors.clear();
  for (vdialogItem* item : {static_cast<vdialogItem*>(win.prompt), static_cast<vdialogItem*>(win.line),
                            static_cast<vdialogItem*>(win.help), static_cast<vdialogItem*>(win.error),
                            static_cast<vdialogItem*>(win.history)})
    if (item != nullptr)
      win.anchors.push_back({item, d->rect.height - (item->rect.y + item->rect.height),
                             d->rect.width - (item->rect.x + item->rect.width)});
}

// The lines keep their place under the top edge and the history takes
// what the window gains or loses in height; all but the prompt follow the
// right edge. A smaller window keeps the line where it can be typed into.
void lay_out_items(vdialog* d) {
  for (const command_state::anchor& a : win.anchors) {
    vrect r = a.item->rect;
    const bool history = a.item == win.history;
    const int top = d->rect.height - a.top;
    if (history) {
      r.height = static_cast<int16_t>(std::max(1, top - r.y));
      // Whole rows only, the bottom kept: scrolled to its end the history
      // shows no part of a line above its first whole one.
      vrect content, cell;
      _vlistviewGetContentRect(win.history, &content);
      vlistviewGetCellRect(win.history, 0, 0, &cell);  // the rows' height as laid out
      const int border = a.item->rect.height - content.height, inner = r.height - border;
      const int spare = cell.height > 0 && inner > cell.height ? inner % cell.height : 0;
      r.height = static_cast<int16_t>(r.height - spare);
    } else {
      r.y = static_cast<int16_t>(top - r.height);
    }
    if (a.item != win.prompt) r.width = static_cast<int16_t>(std::max(1, d->rect.width - a.right - r.x));
    vdialogSetItemRect(a.item, &r);
  }
}

// How much of a history row shows in the list: 0 none, 1 part, 2 all.
int row_shown(int row) {
  vrect content, cell;
  _vlistviewGetContentRect(win.history, &content);
  vlistviewGetCellRect(win.history, row, 0, &cell);
  if (cell.y >= content.y + content.height || cell.y + cell.height <= content.y) return 0;
  return cell.y >= content.y && cell.y + cell.height <= content.y + content.height ? 2 : 1;
}

// Whether any of the newest history row shows in the list.
bool newest_row_shown() {
  if (win.history == nullptr || win.history_model == nullptr) return false;
  const int rows = vlistGetRowCount(win.history_model);
  return rows > 0 && row_shown(rows - 1) != 0;
}

void command_event(vwindow* window, vevent* event) {
  if (event->type != veventWINDOW_AREA || (veventGetAreaFlags(event) & 2) == 0) return;
  // The list keeps its top row when resized: a history that showed its
  // newest line is brought back to it.
  const bool newest = newest_row_shown();
  if (window == win.dialog) lay_out_items(win.dialog);
  if (win.history == nullptr) return;
  if (newest) vlistviewScrollToCell(win.history, vlistGetRowCount(win.history_model) - 1, 0);
  // A row being edited stays edited, in view, its entry over it.
  if (incell_editing(win.history)) {
    if (row_shown(win.history->current_row) != 2)
      vlistviewScrollToCell(win.history, win.history->current_row, win.history->current_column);
    incell_place(win.history);
  }
}

void set_up_history() {
  win.history_model = vliststrCreate();
  vlistSetColumnCount(win.history_model, 1);
  vlistSetRowCount(win.history_model, COMMAND_HISTORY_SIZE);
  vlistviewSetList(win.history, win.history_model);
  win.history->commit_notify = history_commit;
  incell_allow(win.history, 1);
  vfont* font = vdialogDetermineItemFont(win.history);
  const int height = font != nullptr ? std::max(1, (vfontGetHeight(font) + 0x8000) >> 16) : 16;
  vlistviewSetRowHeight(win.history, vlistsizeALL_ROWS, height);
  vlistviewSetColumnWidth(win.history, vlistsizeALL_COLUMNS, std::max(1, win.history->rect.width - 24));
}

}  // namespace

void command_open_action(const char*) {
  if (sim_window* w = window_find(SIMWIN_COMMAND, -2); w != nullptr) {
    if (w->window != nullptr) vwindowClassOf(w->window)->raise(w->window);
    return;
  }
  line_class();
  incell_derive("historyincell", history_edit_cell);
  vtextitem *line = nullptr, *prompt = nullptr, *help = nullptr, *error = nullptr;
  xincell* history = nullptr;
  const vclass* text = vtextitemGetDefaultClass();
  vdialog* d = load_window("Command", vdialogGetDefaultClass(),
                           {need("Command_Line", line_class(), &line), need("Command_Prompt", text, &prompt),
                            need("Help_Line", text, &help), need("Error_Line", text, &error),
                            need("Command_History", xincellGetDefaultClass(), &history)});
  if (d == nullptr) return;
  sim_window* record = window_record_new(SIMWIN_COMMAND, -1, 0, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return;
  }
  command_open = 1;
  win.dialog = d;
  win.record = record;
  win.line = line;
  win.prompt = prompt;
  win.help = help;
  win.error = error;
  win.history = history;
  anchor_items(d);
  record->refresh = command_refresh;
  record->update = command_update;
  record->close = command_close;
  d->data = record;
  vwindowClassOf(d)->setNotify(d, command_event);
  vdialogSetCloseHook(d, close_hook);
  win.normal = style_of(0);
  win.marked = style_of(65535);
  if (win.line != nullptr) win.line->notify = line_notify;
  if (win.history != nullptr) set_up_history();
  lay_out_items(d);
  prompt_again();
  show_help_line(help_text().c_str());
  main_view_open(record, ALIGN_FAR_EDGE, ALIGN_NEAR_EDGE);
  if (win.line != nullptr) vdialogSetFocusItem(d, win.line);
  command_update(record);
}

void register_command_window() {
  line_class();
  incell_derive("historyincell", history_edit_cell);
  register_window_kind(WCMD_COMMAND, command_open_action);
}

void show_help_line(const char* text) {
  if (command_open == 0 || win.help == nullptr) return;
  vtextitemSetTextChars(win.help, "");
  text_insert_marked(text, win.help, win.marked);
}

void show_error_line(const char* text) {
  if (command_open == 0 || win.error == nullptr) {
    if (text != nullptr && text[0] != '\0') error_report(text);
    return;
  }
  vtextitemSetTextChars(win.error, "");
  text_insert_marked(text, win.error, win.marked);
}

void show_prompt() {
  if (command_open != 0 && win.prompt != nullptr) vtextitemSetTextChars(win.prompt, command_prompt_text().c_str());
}

void text_insert_marked(const char* text, vtextitem* item, vtextStyle* style) {
  if (item == nullptr || text == nullptr) return;
  std::string plain = item_text(item);
  std::vector<std::pair<int32_t, int32_t>> runs;
  int32_t run_start = -1;
  const std::string t = text;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '$' && i + 1 < t.size() && (t[i + 1] == '{' || t[i + 1] == '}')) {
      plain += t[++i];
    } else if (c == '{' && run_start < 0) {
      run_start = static_cast<int32_t>(plain.size());
    } else if (c == '}' && run_start >= 0) {
      runs.emplace_back(run_start, static_cast<int32_t>(plain.size()));
      run_start = -1;
      if (i + 1 == t.size()) plain += ' ';
    } else {
      plain += c;
    }
  }
  if (run_start >= 0) runs.emplace_back(run_start, static_cast<int32_t>(plain.size()));
  vtextitemSetTextChars(item, plain.c_str());
  if (item->text == nullptr || style == nullptr) return;
  for (const auto& [start, end] : runs)
    if (end > start) vtextApplyStyle(item->text, start, end, style);
}

vdialog* command_dialog() { return win.dialog; }
xincell* command_history() { return win.history; }

}  // namespace gui

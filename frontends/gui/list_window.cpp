// List windows. The file is read in blocks into a new text, so that a
// failure part way keeps what was read and reports the path.
#include "frontends/gui/list_window.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/dialog.h"
#include "frontends/gui/frontend.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/row_window.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/window_list.h"
#include "frontends/gui/windows.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/window_hooks.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace gui {

namespace {

constexpr const char* LISTING_FONT = "family:fixedsys-size:6";
constexpr std::size_t TEXT_BLOCK_BUFFER = 8192;

struct list_win {
  sim_window* record = nullptr;
  vdialog* dialog = nullptr;
  vtextitem* text = nullptr;
};
window_list<list_win> windows;

// The item's text replaced by a new empty one.
void new_text(vtextitem* item) {
  vtext* old = item->text;
  vtextSelection* old_selection = item->selection;
  vtext* t = vtextitemClassOf(item)->createText(item);
  vtextviewClassOf(item)->setText(item, t);
  vtextSelection* s = vtextCreateSelection(t);
  vtextviewSetSelection(item, s);
  vtextSetSelectionRange(t, s, 0, 0);
  if (old != nullptr) {
    if (old_selection != nullptr) vtextDestroySelection(old, old_selection);
    vtextDestroy(old);
  }
}

// Each piece the loader hands over becomes a block of the text as it is:
// a row never runs across a block's end, so the rows are where the loader
// cut the lines, and nothing is laid out until the whole file is in.
void append(void* data, const char* bytes, std::size_t size) {
  const std::size_t capacity = std::max(size, TEXT_BLOCK_BUFFER);
  std::unique_ptr<char, void (*)(void*)> buffer(static_cast<char*>(vmemAlloc(capacity)), vmemFree);
  std::memcpy(buffer.get(), bytes, size);
  _vtextAppendRun(static_cast<vtextitem*>(data)->text, buffer.get(), static_cast<std::int32_t>(size),
                  static_cast<std::int32_t>(capacity));
  buffer.release();
}

// The file into a new text; what was read before a failure stays.
void load(list_win& w, const std::string& path) {
  new_text(w.text);
  if (path.empty()) return;
  bool loaded = false;
  const bool ran = vexTry([&] { loaded = access(path.c_str(), R_OK) == 0 && text_file_load(path.c_str(), append, w.text); });
  // Laid out once, over what was read.
  vtextRecalculate(w.text->text);
  vtextSetSelectionRange(w.text->text, w.text->selection, 0, 0);
  if (ran && loaded) return;
  const std::string message = "Error reading file:" + path;
  session_echo(message.c_str(), 1);
  error_report(message.c_str());
}

void set_title(list_win& w, const std::string& path) {
  const std::string title = window_title(SIMWIN_LIST, -1, w.record->number, path);
  vwindowSetTitleScribe(w.dialog, vscribeCString(title.c_str()));
}

void list_window_refresh(sim_window* record, int busy) {
  list_win* w = windows.of(record);
  if (w == nullptr) return;
  if (busy != 0) vwindowClassOf(w->dialog)->setBusy(w->dialog);
  else vwindowClassOf(w->dialog)->clearBusy(w->dialog);
}

void list_window_close(sim_window* record) {
  list_win* w = windows.of(record);
  if (w == nullptr) {
    window_record_free(record);
    return;
  }
  vdialog* d = w->dialog;
  windows.remove_if([w](const list_win& x) { return &x == w; });
  filled_window_end(record, d);
}

// The window number and the file as the parser left them; the file
// searched along the path, else taken under its own name.
void named_tokens(int* number, std::string* path) {
  const command_lexer* lx = cur_lexer;
  int i = 2;
  if (lx->has(i) && lx->kind[i] == 'W') *number = static_cast<int>(lx->value[i++].lo);
  if (!lx->has(i)) return;
  const std::string name = lx->typed(i);
  if (find_file_on_path(name.c_str(), nullptr, *path) == 0) *path = name;
}

void list_window_open(const char*) {
  int number = -2;
  std::string path;
  named_tokens(&number, &path);
  if (number != -2) {
    if (list_win* w = windows.of(window_find(SIMWIN_LIST, -2, number))) {
      load(*w, path);
      set_title(*w, path);
      return;
    }
  } else {
    number = window_number_free(-1, SIMWIN_LIST);
  }
  vtextitem* text = nullptr;
  vdialog* d = load_window("List", vdialogGetDefaultClass(), {need("List_Text", vtextitemGetDefaultClass(), &text)});
  if (d == nullptr) return;
  sim_window* record = window_record_new(SIMWIN_LIST, -1, number, d);
  if (record == nullptr) {
    vinstanceDestroyLater(d);
    return;
  }
  list_win& w = windows.emplace_back();
  w.record = record;
  w.dialog = d;
  w.text = text;
  vtextitemSetModifiable(text, 0);
  // Listings line up in columns.
  if (vfont* font = vfontFindScribe(vscribeLiteral(LISTING_FONT))) vdialogSetItemFont(text, font);
  record->refresh = list_window_refresh;
  record->close = list_window_close;
  d->data = record;
  vdialogSetCloseHook(d, record_close_hook);
  fill_dialog_on_resize(d, text, nullptr);
  load(w, path);
  set_title(w, path);
  main_view_open(record, ALIGN_CENTRE, ALIGN_CENTRE);
}

}  // namespace

void register_list_window() { register_window_kind(WCMD_LIST, list_window_open); }

vtextitem* list_window_text(const sim_window* record) {
  const list_win* w = windows.of(record);
  return w != nullptr ? w->text : nullptr;
}

}  // namespace gui

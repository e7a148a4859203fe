// The command dialogs over the framework's confirmation dialogs.
#include "frontends/gui/dialogs/fw_form.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/command.h"
#include "fw/core/dict.h"
#include "fw/core/event.h"
#include "fw/core/mem.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/text/selection.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/combo.h"
#include "fw/widgets/controls/combobox.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/spinner.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/lists/listitem.h"
#include "fw/widgets/lists/listsize.h"
#include "fw/widgets/look/laf.h"
#include "frontends/gui/dialogs/command_dialog.h"
#include "frontends/gui/guiutil.h"
#include "frontends/gui/startup.h"

namespace gui {

namespace {

constexpr int PLACE_CENTRE = 6;

// A name built from text that does not outlive the call.
vname copied_name(const char* s) { return vnameIntern(vscribeCString(s)); }

template <class C>
bool is(const vdialogItem* item, const C* cls) {
  return item != nullptr && vclassIsSubclass(item->cls, cls);
}
bool is_combo(const vdialogItem* i) { return is(i, vcomboboxGetDefaultClass()); }
bool is_list(const vdialogItem* i) { return is(i, vlistitemGetDefaultClass()); }
bool is_text(const vdialogItem* i) { return is(i, vtextitemGetDefaultClass()); }
bool is_control(const vdialogItem* i) { return is(i, vcontrolGetDefaultClass()); }

vdialogItem* find_in(vdialogItemList* list, vname tag, bool deep) {
  if (list == nullptr) return nullptr;
  if (auto* here = static_cast<vdialogItem*>(vobjectListFindByTag(list, tag))) return here;
  if (!deep) return nullptr;
  for (int i = 0; i < vobjectListCount(list); ++i) {
    auto* item = static_cast<vdialogItem*>(vobjectListAt(list, i));
    // A combo box is a container too, but holds no items of the form.
    if (!vcontainerIsContainer(item) || is_combo(item)) continue;
    if (vdialogItem* inner = find_in(vcontainerGetItemList(static_cast<vcontainer*>(item)), tag, true)) return inner;
  }
  return nullptr;
}

// The form of one framework dialog. "Item" in "A/B": container A found by
// name in the dialog, B in A's own item list, the item in B's.
struct fw_form final : dialog_form {
  vdialog* dialog;
  explicit fw_form(vdialog* d) : dialog(d) {}

  vdialogItem* find(const char* item, const char* container) const {
    vdialogItemList* list = vdialogGetItemList(dialog);
    const std::string path = container != nullptr ? container : "";
    bool top = true;
    for (std::size_t at = 0; at < path.size();) {
      const std::size_t end = std::min(path.find('/', at), path.size());
      vdialogItem* c = find_in(list, copied_name(path.substr(at, end - at).c_str()), top);
      if (c == nullptr || !vcontainerIsContainer(c)) return nullptr;
      list = vcontainerGetItemList(static_cast<vcontainer*>(c));
      top = false;
      at = end + 1;
    }
    return find_in(list, copied_name(item), top);
  }

  std::string text(const char* item, const char* container) override {
    vdialogItem* i = find(item, container);
    if (is_combo(i)) {
      auto* box = static_cast<vcomboboxStandard*>(i);
      if (box->entry != nullptr) return text_of(box->entry);
      vcomboboxValue* v = vcomboboxGetValue(box);
      return v != nullptr && v->text != nullptr ? v->text : "";
    }
    if (is_text(i)) return text_of(static_cast<vtextitem*>(i));
    return {};
  }
  static std::string text_of(vtextitem* t) {
    char* s = vtextitemGetString(t);
    std::string out = s != nullptr ? s : "";
    if (s != nullptr) vmemFree(s);
    return out;
  }

  int value(const char* item, const char* container) override {
    vdialogItem* i = find(item, container);
    if (is_list(i)) return vlistitemGetSelectedRow(static_cast<vlistitem*>(i));
    if (is_control(i)) return vcontrolGetValue(static_cast<vcontrol*>(i));
    return 0;
  }
  void set_value(const char* item, const char* container, int value) override {
    vdialogItem* i = find(item, container);
    if (is_list(i)) {
      auto* l = static_cast<vlistitem*>(i);
      vlist* rows = l->list;
      if (rows == nullptr || l->selection == nullptr) return;
      vlistUnselectRange(rows, l->selection, 0, 0, vlistGetRowCount(rows), 1);
      if (value >= 0 && value < vlistGetRowCount(rows)) vlistSelectRange(rows, l->selection, value, 0, 1, 1);
    } else if (is_control(i)) {
      vcontrolSetValue(static_cast<vcontrol*>(i), value);
    }
  }
  void set_text(const char* item, const char* container, const std::string& text) override {
    vdialogItem* i = find(item, container);
    if (is_combo(i)) {
      auto* box = static_cast<vcomboboxStandard*>(i);
      if (box->entry != nullptr) vtextitemSetTextChars(box->entry, text.c_str());
      else vcomboShowString(static_cast<vcomboStandard*>(box), vscribeCString(text.c_str()));
    } else if (is_text(i)) {
      vtextitemSetTextChars(static_cast<vtextitem*>(i), text.c_str());
    }
  }

  int chosen(const char* group, const char* container) override {
    vdialogItem* g = find(group, container);
    if (g == nullptr || !vcontainerIsContainer(g)) return -1;
    vdialogItemList* members = vcontainerGetItemList(static_cast<vcontainer*>(g));
    for (int k = 0; k < vobjectListCount(members); ++k) {
      auto* m = static_cast<vdialogItem*>(vobjectListAt(members, k));
      if (is_control(m) && static_cast<vcontrol*>(m)->value != 0) return vobjectListIndexOf(members, m);
    }
    return -1;
  }
  void choose(const char* group, const char* container, int index) override {
    vdialogItem* g = find(group, container);
    if (g == nullptr || !vcontainerIsContainer(g)) return;
    vdialogItemList* members = vcontainerGetItemList(static_cast<vcontainer*>(g));
    if (index < 0 || index >= vobjectListCount(members)) return;
    vcontainerSetSelection(static_cast<vcontainer*>(g), static_cast<vdialogItem*>(vobjectListAt(members, index)));
  }

  bool enabled(const char* item, const char* container) override {
    vdialogItem* i = find(item, container);
    return i != nullptr && (i->flags & vdialogItemENABLED) != 0;
  }
  void set_enabled(const char* item, const char* container, bool on) override {
    vdialogItem* i = find(item, container);
    if (i == nullptr || i->tag == nullptr) return;
    vobjectSendAttribute(i, N("State"), i->tag, N(on ? "Enabled" : "Disabled"));
  }

  void set_rows(const char* item, const char* container, const std::vector<std::string>& rows) override {
    vdialogItem* i = find(item, container);
    if (is_combo(i)) {
      combo_prepare(static_cast<vcomboboxStandard*>(i), rows);
    } else if (is_list(i)) {
      auto* l = static_cast<vlistitem*>(i);
      vlist* list = l->list;
      if (list == nullptr) return;
      if (l->selection != nullptr && vlistGetRowCount(list) > 0)
        vlistUnselectRange(list, l->selection, 0, 0, vlistGetRowCount(list), 1);
      vlistSetColumnCount(list, 1);
      vlistSetRowCount(list, static_cast<std::int32_t>(rows.size()));
      for (std::size_t r = 0; r < rows.size(); ++r)
        vliststrSetCellScribed(static_cast<vliststr*>(list), static_cast<std::int32_t>(r), 0,
                               vscribeCString(rows[r].c_str()));
    }
  }

  std::vector<int> selected(const char* item, const char* container) override {
    std::vector<int> out;
    vdialogItem* i = find(item, container);
    if (!is_list(i)) return out;
    auto* l = static_cast<vlistitem*>(i);
    if (l->list == nullptr || l->selection == nullptr) return out;
    vlistSelectionIterator it;
    vlistInitSelectionIterator(&it, l->selection);
    while (vlistNextSelectedCell(&it) != 0) out.push_back(it.row);
    vlistDestroySelectionIterator(&it);
    return out;
  }
};

// The framework's side of each open dialog.
struct open_dialog {
  dialog_state* state;
  vconfirm* window;
  std::unique_ptr<fw_form> form;
};
std::vector<open_dialog> open_dialogs;

open_dialog* by_window(const void* window) {
  for (open_dialog& o : open_dialogs)
    if (o.window == window) return &o;
  return nullptr;
}

// The dialog's framework half goes once the mechanics let it close; the
// window itself only later, never under the hook that asked.
void forget(vconfirm* window) {
  std::erase_if(open_dialogs, [window](const open_dialog& o) { return o.window == window; });
  vinstanceDestroyLater(window);
}

int close_hook(vdialog* window, vevent*) {
  open_dialog* o = by_window(window);
  if (o == nullptr) return 0;
  if (dialog_close(*o->state) != 0) return 1;
  forget(static_cast<vconfirm*>(window));
  return 0;
}

bool raises_itself(const dialog_state& d) {
  for (const char* name : {"Watch_Win", "Memory_Win", "Register_Win"})
    if (std::strcmp(d.entry->resource, name) == 0) return true;
  return false;
}

int apply_hook(vconfirm* window, vevent*) {
  open_dialog* o = by_window(window);
  if (o == nullptr) return 0;
  dialog_state& d = *o->state;
  const int accepted = dialog_apply(d);
  // The window the line opened came to the front; the dialog stays above it.
  if (accepted != 0 && d.open != 0 && raises_itself(d) && vwindowIsOpen(window)) vwindowClassOf(window)->raise(window);
  return accepted;
}

// An item's command: the dialog and the item from the context; a toggle
// says its new state, other items (buttons, combos) act as if on.
int item_command(vcommand*, vdict* context) {
  const void* dialog = vdictGet(context, N("Dialog"));
  auto tag = static_cast<vname>(vdictGet(context, N("Tag")));
  open_dialog* o = by_window(dialog);
  if (o == nullptr || tag == nullptr) return 1;
  const void* toggle = vdictGet(context, N("Toggle"));
  auto* from = static_cast<vobject*>(const_cast<void*>(vdictGet(context, N("Operator"))));
  if (toggle == nullptr && from != nullptr && is_control(static_cast<vdialogItem*>(from)))
    toggle = vobjectAttributedOf(from)->getAttribute(from, N("Toggle"));
  const bool on = toggle == nullptr || toggle == N("On");
  dialog_item_command(*o->state, tag, on);
  return 1;
}

void install_item_commands(vconfirm* window, const dialog_entry& e) {
  if (e.handler_count == 0) return;
  vcommandFunctionClassRec* cls = vcommandGetDefaultFunctionClass();
  vdict* commands = vdictCreate(vdictHashName);
  for (int h = 0; h < e.handler_count; ++h) {
    auto* command = static_cast<vcommand*>(vinstanceCreate(cls));
    cls->setValue(command, reinterpret_cast<std::intptr_t>(&item_command));
    vdictStore(commands, N(e.handlers[h].item), command);
  }
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, N("Command"), commands);
  vwindowSetSpaceOwned(window, space);
}

}  // namespace

void combo_prepare(vcomboboxStandard* combo, const std::vector<std::string>& rows) {
  if (combo == nullptr) return;
  auto* strings = static_cast<vcomboStandard*>(combo);
  while (vcomboboxCount(combo) > 0) vcomboDeleteIndex(strings, vcomboboxCount(combo) - 1);
  if (vlistitem* list = combo->choice) {
    // Sized while empty: a size set on a list with rows measures its cells,
    // which a list not yet laid out cannot.
    if (vfont* font = vdialogDetermineItemFont(list)) {
      vlistviewSetColumnWidth(list, vlistsizeALL_COLUMNS, std::max<int>(combo->rect.width, 1));
      vlistviewSetRowHeight(list, vlistsizeALL_ROWS, (vfontGetHeight(font) + vfixedONE / 2) / vfixedONE);
    }
    vlistitemSetAutoWidth(list, 1);
    // Looks that draw the focus in the list itself would mark the chosen
    // entry twice.
    if ((vlafGetCurrent()->flags & 1U) != 0) vlistviewSetFocusShown(list, 0);
  }
  for (const std::string& r : rows) vcomboAppendString(strings, vscribeCString(r.c_str()));
  if (vcomboboxCount(combo) > 0) vcomboboxSelectIndex(combo, 0);
}

namespace {

// As Tab leaves a field it reaches: the value selected, so typing replaces
// it rather than adding to the default.
void select_whole(vtextitem* field) {
  if (field != nullptr && field->text != nullptr && field->selection != nullptr)
    vtextSetSelectionRange(field->text, field->selection, 0, field->text->length);
}

bool is_spinner(const vdialogItem* item) {
  return vclassIsSubclass(item->cls, vspinnerNumericGetDefaultClass()) ||
         vclassIsSubclass(item->cls, vspinnerTextGetDefaultClass());
}

// The first field taking text in Tab order, inside groups too; a combo
// box's own entry is no field to type a value into, and a spinner only
// where the form has no other field (Step's count): elsewhere it offers a
// number the user mostly keeps, as Set_Break's. Each list on the way is
// left focused on the item leading there.
bool focus_first_field(vdialogItemList* list, bool spinners) {
  constexpr std::uint16_t usable = vdialogItemENABLED | vdialogItemFOCUSABLE;
  for (int i = 0; i < vdialogItemListCount(list); ++i) {
    vdialogItem* item = vdialogItemListAt(list, i);
    if ((item->flags & usable) != usable) continue;
    bool found = false;
    vtextitem* field = nullptr;
    if (vcontainerIsContainer(item)) {
      if (!vclassIsSubclass(item->cls, vcomboboxGetDefaultClass()))
        found = focus_first_field(vcontainerGetItemList(static_cast<vcontainer*>(item)), spinners);
    } else if ((item->flags & vdialogItemTEXT_FOCUS) != 0) {
      if (vclassIsSubclass(item->cls, vtextitemGetDefaultClass())) field = static_cast<vtextitem*>(item);
      else if (spinners && is_spinner(item)) field = static_cast<vspinner*>(item)->field;
      found = field != nullptr;
    }
    if (found) {
      vdialogItemListSetFocusItem(list, item);
      select_whole(field);
      return true;
    }
  }
  return false;
}

}  // namespace

int command_dialog_open(const char* menu_command) {
  dialog_state* d = dialog_by_command(menu_command);
  if (d == nullptr) return 0;
  if (d->open != 0) return 1;
  // The form finds its items, each of its class, as it uses them.
  auto* window = static_cast<vconfirm*>(load_window(d->entry->resource, vconfirmGetDefaultClass()));
  if (window == nullptr) return 0;
  // The form's size is the resource's: its items carry no spring solution,
  // so sizing to them would leave only the buttons.
  window->dialogFlags &= static_cast<std::uint16_t>(~vdialogSIZE_PENDING);
  open_dialogs.push_back({d, window, std::make_unique<fw_form>(window)});
  fw_form* form = open_dialogs.back().form.get();
  vconfirmSetApply(window, apply_hook);
  vdialogSetCloseHook(window, close_hook);
  install_item_commands(window, *d->entry);
  dialog_frame(window);
  d->window = window;
  const bool fill_later = d->entry->fill_after_place;
  if (fill_later) vwindowPlace(window, vwindowGetRoot(), PLACE_CENTRE, PLACE_CENTRE);
  dialog_open_with(*d, form, !fill_later);
  if (!fill_later) vwindowPlace(window, vwindowGetRoot(), PLACE_CENTRE, PLACE_CENTRE);
  else if (d->entry->fill != nullptr) d->entry->fill(*d);
  vwindowOpen(window);
  // The forms name no item to start on; without one, what is typed before
  // a click or Tab reaches nothing. A form of choices alone starts where
  // Tab would take it, so arrows choose at once.
  vdialogItemList* items = vdialogGetItemList(window);
  if (vdialogGetFocusItem(window) == nullptr && !focus_first_field(items, false) && !focus_first_field(items, true))
    vdialogItemListMoveFocus(items, 1, 0);
  return 1;
}

vdialog* command_dialog_window(const char* resource) {
  dialog_state* d = dialog_by_resource(resource);
  if (d == nullptr || d->open == 0) return nullptr;
  for (open_dialog& o : open_dialogs)
    if (o.state == d) return o.window;
  return nullptr;
}

void command_dialogs_close_all() {
  while (!open_dialogs.empty()) {
    open_dialog& o = open_dialogs.back();
    vconfirm* window = o.window;
    o.state->busy = 0;
    dialog_close(*o.state);
    if (vwindowIsOpen(window)) vwindowClose(window);
    forget(window);
  }
}

}  // namespace gui

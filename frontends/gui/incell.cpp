// The in-cell editor class, spawned from the list view's. The entry shares
// the list's item list without being listed in it (as the list's scroll
// bars do): the list draws it, and passes it the pointer, the keys and the
// focus while an edit is in progress.
#include "frontends/gui/incell.h"

#include <cstdlib>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/lists/liststr.h"
#include "fw/text/selection.h"
#include "fw/widgets/dialog/dialog.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/windows.h"
#include "sim/engine/device/current_device.h"

namespace gui {

namespace {

vlistviewClassRec* super() { return vlistviewGetDefaultClass(); }
xincell* as_incell(vinstance* i) { return static_cast<xincell*>(i); }
xincellClassRec* cls(xincell* l) { return xincellClassOf(l); }

void reset_state(xincell* l) {
  l->entry = nullptr;
  l->current_row = -1;
  l->current_column = -1;
  l->incell_flags = 0;
  l->press_x = l->press_y = -1000000;
  l->commit_notify = nullptr;
}

// ---- The entry: a one-line field whose Return is the editor's commit.
// The field tells its focus leaving with the same code as Return: that
// (another window made active, a press elsewhere) abandons the edit, so
// the entry marks the editor while it lets go of the focus.
void entry_notify(vtextview* view, vevent*, int reason) {
  if (reason != INCELL_COMMIT) return;
  auto* l = reinterpret_cast<xincell*>(view->data);
  if (l == nullptr) return;
  if ((l->incell_flags & INCELL_LEAVING) == 0) {
    cls(l)->commit(l);
  } else if (incell_editing(l)) {
    // The entry is losing the focus already: only hidden here.
    l->incell_flags &= ~INCELL_EDITING;
    vdialogInvalItem(l->entry, 0);
    vdialogHideItem(l->entry);
    vlistviewInvalCell(l, l->current_row, l->current_column);
  }
}

void entry_unfocus(vdialogItem* item) {
  auto* l = reinterpret_cast<xincell*>(item->data);
  const std::uint32_t was = l != nullptr ? l->incell_flags & INCELL_LEAVING : 0;
  if (l != nullptr) l->incell_flags |= INCELL_LEAVING;
  vtextitemGetDefaultClass()->unfocus(item);
  if (l != nullptr) l->incell_flags = (l->incell_flags & ~INCELL_LEAVING) | was;
}

vtextitemClassRec* entry_class() {
  static vtextitemClassRec* c = [] {
    auto* k = vclassSpawnOf<vtextitemClassRec>(vtextitemGetDefaultClass());
    vclassSetName(k, vscribeLiteral("xincellEntry"));
    k->unfocus = entry_unfocus;
    return k;
  }();
  return c;
}

void make_entry(xincell* l) {
  if (l->entry != nullptr) return;
  auto* e = static_cast<vtextitem*>(vinstanceCreate(entry_class()));
  vtextitemSetOneLine(e, 1);
  vtextitemSetModifiable(e, 1);
  vtextitemSetSelectable(e, 1);
  e->data = reinterpret_cast<std::intptr_t>(l);
  e->notify = entry_notify;
  l->entry = e;
}

std::string entry_text(vtextitem* e) {
  char* s = vtextitemGetString(e);
  std::string out = s != nullptr ? s : "";
  vmemFree(s);
  return out;
}

bool inside(const vrect& r, int x, int y) { return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height; }

// ---- Slots over the list view's.
void incell_init(vinstance* self) {
  super()->init(self);
  reset_state(as_incell(self));
}

void incell_load(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  reset_state(as_incell(self));
}

void incell_destroy(vinstance* self) {
  xincell* l = as_incell(self);
  if (l->entry != nullptr) {
    // Not listed in the owner's list: unhooked before it goes.
    l->entry->owner = nullptr;
    vinstanceDestroy(l->entry);
    l->entry = nullptr;
  }
  super()->destroy(self);
}

void incell_open(vdialogItem* item) {
  xincell* l = as_incell(item);
  super()->open(item);
  make_entry(l);
  vdialogItemClassOf(l->entry)->setOwner(l->entry, l->owner);
  vdialogHideItem(l->entry);
  vdialogOpenItem(l->entry);
}

void incell_close(vdialogItem* item) {
  xincell* l = as_incell(item);
  if (l->entry != nullptr) {
    incell_layout(l, 0);
    if (l->entry->flags & vdialogItemOPEN) vdialogCloseItem(l->entry);
  }
  super()->close(item);
}

void incell_set_owner(vdialogItem* item, vdialogItemList* owner) {
  xincell* l = as_incell(item);
  super()->setOwner(item, owner);
  if (l->entry != nullptr) vdialogItemClassOf(l->entry)->setOwner(l->entry, owner);
}

void incell_draw(vdialogItem* item) {
  xincell* l = as_incell(item);
  super()->draw(item);
  if (incell_editing(l) && l->entry != nullptr) {
    vdrawGSave();
    vdialogItemClassOf(l->entry)->setDrawingState(l->entry);
    vdialogDrawItem(l->entry);
    vdrawGRestore();
  }
}

// The edited cell's content stays under the entry.
void incell_draw_cell(vlistview* view, int32_t row, int32_t column, int selected, vrect* content) {
  xincell* l = as_incell(view);
  if (incell_editing(l) && row == l->current_row && column == l->current_column) return;
  super()->drawCell(view, row, column, selected, content);
}

int incell_mouse(vdialogItem* item, vevent* e) {
  xincell* l = as_incell(item);
  int handled = 0;
  // A press that falls outside the entry ends the edit without commit;
  // whatever fails in the handling is dropped with the edit.
  vexGuard(
      [&] {
        const int x = veventGetX(e), y = veventGetY(e);
        l->press_x = x;
        l->press_y = y;
        const bool fresh = (l->incell_flags & INCELL_FRESH) != 0;
        l->incell_flags &= ~(INCELL_FRESH | INCELL_HELD);
        if (incell_editing(l)) {
          if (inside(l->entry->rect, x, y)) {
            // The second press of the double click that opened the edit
            // keeps the whole text selected, so that typing replaces it.
            if (fresh && veventGetClickCount(e) >= 2) {
              l->incell_flags |= INCELL_HELD;
              handled = 1;
              return;
            }
            handled = vdialogItemClassOf(l->entry)->buttonDown(l->entry, e);
            return;
          }
          incell_layout(l, 0);
        }
        handled = super()->buttonDown(item, e);
      },
      [&](vexHandler& h) {
        vexSetCurrentException(h.savedChain);
        incell_layout(l, 0);
      });
  return handled;
}

int incell_release(vdialogItem* item, vevent* e) {
  xincell* l = as_incell(item);
  if (l->incell_flags & INCELL_HELD) {
    l->incell_flags &= ~INCELL_HELD;
    return 1;
  }
  if (incell_editing(l)) return vdialogItemClassOf(l->entry)->buttonUp(l->entry, e);
  const int handled = super()->buttonUp(item, e);
  const int x = veventGetX(e), y = veventGetY(e);
  if (std::abs(x - l->press_x) < INCELL_CLICK_SLOP && std::abs(y - l->press_y) < INCELL_CLICK_SLOP &&
      inside(l->content, x, y)) {
    int32_t row = -1, column = -1;
    vlistviewFindCellAtPoint(l, x, y, &row, &column);
    if (row >= 0 && column >= 0) {
      cls(l)->editCell(l, row, column);
      if (incell_editing(l)) l->incell_flags |= INCELL_FRESH;
    }
  }
  return handled;
}

int incell_drag(vdialogItem* item, vevent* e) {
  xincell* l = as_incell(item);
  if (l->incell_flags & INCELL_HELD) return 1;
  if (incell_editing(l)) return vdialogItemClassOf(l->entry)->drag(l->entry, e);
  return super()->drag(item, e);
}

int incell_key(vdialogItem* item, vevent* e) {
  xincell* l = as_incell(item);
  if (incell_editing(l)) {
    // The entry is not in the item list it would take the focus of on an
    // abandon: the edit ends here instead, as a press outside it does.
    if (veventGetBinding(e) == vname_Abandon) {
      incell_layout(l, 0);
      return 1;
    }
    // For the same reason a character bound to "Select" (the space) is
    // typed here rather than taken as a request for the focus.
    if (veventGetBinding(e) == vname_Select && veventGetCharacter(e) >= ' ' &&
        (veventGetModifiers(e) & (veventMOD_CONTROL | veventMOD_COMMAND)) == 0) {
      vtextviewTypeChar(l->entry, veventGetCharacter(e));
      return 1;
    }
    return vdialogItemClassOf(l->entry)->keyDown(l->entry, e);
  }
  return super()->keyDown(item, e);
}

void incell_focus(vdialogItem* item) {
  xincell* l = as_incell(item);
  super()->focus(item);
  if (incell_editing(l)) vdialogFocusItem(l->entry);
}

void incell_unfocus(vdialogItem* item) {
  xincell* l = as_incell(item);
  if (incell_editing(l)) vdialogUnfocusItem(l->entry);
  super()->unfocus(item);
}

void incell_set_bounds(vdialogItem* item, const vrect* r) {
  super()->setRect(item, r);
  incell_place(as_incell(item));
}

// ---- The slots the editor adds.
void incell_cell_rect(xincell* l, vrect* out) {
  vlistviewGetCellRect(l, l->current_row, l->current_column, out);
}

void incell_end(xincell* l) { incell_layout(l, 0); }

void incell_commit(xincell* l) {
  if (!incell_editing(l)) return;
  const std::string text = entry_text(l->entry);
  incell_layout(l, 0);
  cls(l)->setText(l, text.c_str());
  if (l->commit_notify != nullptr) l->commit_notify(l, text.c_str(), INCELL_COMMIT);
}

void incell_nothing(xincell*) {}

void incell_edit_cell_slot(xincell* l, int32_t row, int32_t column) {
  incell_set_current(l, row, column);
  incell_layout(l, 1);
}

const char* incell_get_text(xincell* l) {
  if (l->current_row < 0 || l->current_column < 0 || l->list == nullptr) return nullptr;
  return vliststrGetCell(static_cast<vliststr*>(l->list), l->current_row, l->current_column);
}

void incell_set_text(xincell* l, const char* text) {
  if (l->current_row < 0 || l->current_column < 0 || l->list == nullptr) return;
  vliststrSetCellScribed(static_cast<vliststr*>(l->list), l->current_row, l->current_column, vscribeCString(text));
}

xincellClassRec* build_class() {
  auto* c = vclassSpawnOf<xincellClassRec>(vlistviewGetDefaultClass());
  vclassSetName(c, vscribeLiteral("xincell"));
  c->instanceSize = sizeof(xincell);
  c->init = incell_init;
  c->destroy = incell_destroy;
  c->loadInit = incell_load;
  c->open = incell_open;
  c->close = incell_close;
  c->setOwner = incell_set_owner;
  c->draw = incell_draw;
  c->drawCell = incell_draw_cell;
  c->buttonDown = incell_mouse;
  c->buttonUp = incell_release;
  c->drag = incell_drag;
  c->keyDown = incell_key;
  c->focus = incell_focus;
  c->unfocus = incell_unfocus;
  c->setRect = incell_set_bounds;
  c->cellRect = incell_cell_rect;
  c->endEdit = incell_end;
  c->commit = incell_commit;
  c->spare1 = incell_nothing;
  c->spare2 = incell_nothing;
  c->editCell = incell_edit_cell_slot;
  c->getText = incell_get_text;
  c->setText = incell_set_text;
  return c;
}

}  // namespace

xincellClassRec* xincellGetDefaultClass() {
  static xincellClassRec* c = build_class();
  return c;
}

xincellClassRec* incell_derive(const char* name, void (*edit_cell)(xincell*, int32_t, int32_t)) {
  if (vclass* known = vclassFindByName(vscribeCString(name))) return static_cast<xincellClassRec*>(known);
  auto* c = vclassSpawnOf<xincellClassRec>(xincellGetDefaultClass());
  vclassSetName(c, vscribeCString(name));
  if (edit_cell != nullptr) c->editCell = edit_cell;
  return c;
}

void incell_set_current(xincell* l, int32_t row, int32_t column) {
  l->current_row = row;
  l->current_column = column;
}

void incell_layout(xincell* l, int start) {
  if (l->entry == nullptr) return;
  if (start != 0) {
    if (incell_editing(l) || (l->incell_flags & INCELL_ALLOWED) == 0) return;
    if (l->current_row < 0 || l->current_column < 0) return;
    const char* text = cls(l)->getText(l);
    vtextitemSetTextChars(l->entry, text != nullptr ? text : "");
    if (l->entry->text != nullptr && l->entry->selection != nullptr)
      vtextSetSelectionRange(l->entry->text, l->entry->selection, 0, l->entry->text->length);
    vrect cell;
    cls(l)->cellRect(l, &cell);
    vdialogSetItemRect(l->entry, &cell);
    l->incell_flags |= INCELL_EDITING;
    vdialogShowItem(l->entry);
    vdialogFocusItem(l->entry);
    vdialogInvalItem(l->entry, 0);
    return;
  }
  if (!incell_editing(l)) return;
  l->incell_flags &= ~INCELL_EDITING;
  vdialogUnfocusItem(l->entry);
  vdialogInvalItem(l->entry, 0);
  vdialogHideItem(l->entry);
  vlistviewInvalCell(l, l->current_row, l->current_column);
}

void incell_place(xincell* l) {
  if (!incell_editing(l)) return;
  vrect cell;
  cls(l)->cellRect(l, &cell);
  if (vrectEqual(&cell, &l->entry->rect)) return;
  vdialogInvalItem(l->entry, 0);
  vdialogSetItemRect(l->entry, &cell);
  vdialogInvalItem(l->entry, 0);
}

void incell_allow(xincell* l, int allowed) {
  if (allowed != 0) {
    l->incell_flags |= INCELL_ALLOWED;
    return;
  }
  l->incell_flags &= ~INCELL_ALLOWED;
  incell_layout(l, 0);
}

void incell_edit_cell(xincell* l, int32_t row, int32_t column) { cls(l)->editCell(l, row, column); }

void incell_edit_again(xincell* l, int32_t row, int32_t column, const std::string& typed) {
  incell_edit_cell(l, row, column);
  if (!incell_editing(l) || l->current_row != row || l->current_column != column) return;
  vtextitemSetTextChars(l->entry, typed.c_str());
  if (l->entry->text != nullptr && l->entry->selection != nullptr)
    vtextSetSelectionRange(l->entry->text, l->entry->selection, 0, l->entry->text->length);
  vdialogInvalItem(l->entry, 0);
}

grid_fill::grid_fill(vliststr* model, vlistview* view) : model_(model), view_(view) { ++model_->hold; }

grid_fill::~grid_fill() {
  --model_->hold;
  if (changed_ == 0 || view_ == nullptr || (view_->flags & vdialogItemOPEN) == 0) return;
  if (changed_ > CELLS_ONE_BY_ONE) {
    vdialogInvalItem(view_, 0);
    return;
  }
  for (int i = 0; i < changed_; ++i) vlistviewInvalCell(view_, cells_[i][0], cells_[i][1]);
}

void grid_fill::set(int32_t row, int32_t column, const std::string& text) {
  const char* shown = vliststrGetCell(model_, row, column);
  if (shown != nullptr ? text == shown : text.empty()) return;
  vliststrSetCellScribed(model_, row, column, vscribeCString(text.c_str()));
  if (changed_ < CELLS_ONE_BY_ONE) {
    cells_[changed_][0] = row;
    cells_[changed_][1] = column;
  }
  ++changed_;
}

device_scope::device_scope(int device) : previous(cur_device) { make_device_current(device); }
device_scope::~device_scope() {
  if (previous >= 0) make_device_current(previous);
}

void incell_window_busy(vdialog* d, xincell* list, int busy) {
  if (busy != 0) vwindowClassOf(d)->setBusy(d);
  else vwindowClassOf(d)->clearBusy(d);
  incell_allow(list, busy != 0 ? 0 : 1);
}

void incell_window_end(sim_window* record, vdialog* d, xincell* list, vliststr* model,
                       const std::function<void()>& forget) {
  if (model != nullptr) {
    incell_layout(list, 0);
    vlistviewSetList(list, nullptr);
    vinstanceDestroy(model);
  }
  window_record_free(record);
  forget();
  main_view_remove(d);
  d->data = nullptr;
  if (vwindowIsOpen(d)) vwindowClose(d);
  vinstanceDestroyLater(d);
}

}  // namespace gui

// The file chooser's column browser: laying out and filling the columns
// from the directory chain, a selection extending or cutting the chain,
// the shift buttons, the rows' drawing, the views, and the path entry
// written from the selections.
//
// - `filechsr_browse.cpp`: layout (at least one column however narrow), filling, attaching a record
//   to a column (the record keeps a copy of the column's selection while detached), the row drawer,
//   views. A column's notification that would replace the reporting column's own list (a double
//   click, or a directory chosen in the last column, which shifts the columns along) is posted and
//   runs after the press is over: the list view is still tracking its press when it notifies.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

namespace {

vfilechsrDirectory* recordOf(const vlistview* v) {
  if (!v || !v->list || vclassRec<vclass>(v->list) != reinterpret_cast<vclass*>(vfilechsrGetListModelClass()))
    return nullptr;
  return reinterpret_cast<vfilechsrDirectory*>(v->list->client);
}
vfilechsr* chooserOf(const vdialogItem* item) { return reinterpret_cast<vfilechsr*>(item->data); }
int columnIndex(vfilechsr* c, const vlistview* v) {
  for (int i = 0; i < vfilechsrCOLUMNS; ++i)
    if (c->columns[i] == v) return i;
  return -1;
}
bool isDirectory(const vfilechsrEntry* e) { return (e->info.flags & vfsINFO_KIND) == vfsINFO_DIRECTORY; }
void showItem(vdialogItem* item, bool on) {
  if (!item) return;
  if (on) {
    vdialogShowItem(item);
    vdialogEnableItem(item);
  } else {
    vdialogHideItem(item);
    vdialogDisableItem(item);
  }
}
void setTitle(vdialogItem* item, const char* text) {
  if (item) vdialogSetItemTitle(item, vscribeCString(text));
}

std::int32_t firstSelected(vfilechsrDirectory* d, vlistSelection* s) {
  if (!s || vlistCountSelectedCells(d->list, s) == 0) return -1;
  std::int32_t row = -1, column = 0;
  vlistGetFirstSelectedCell(d->list, s, &row, &column);
  return row >= 0 && row < d->count ? row : -1;
}

// The column shows the record (null: nothing); a record shown elsewhere
// cannot be shown twice.
void attach(vfilechsr* c, vlistview* column, vfilechsrDirectory* d) {
  vfilechsrDirectory* previous = recordOf(column);
  if (previous == d && (!d || d->view == column)) return;
  if (d && d->view && d->view != column)
    _vexGenerate(&vexModuleStateClass, vexSetMessage, "2 views on same selection!", vexEnd);
  if (previous) {
    if (column->selection) previous->selection = vlistCreateSelectionCopy(previous->list, column->selection);
    previous->view = nullptr;
  }
  vlistviewSetList(column, d ? d->list : nullptr);
  if (!d) return;
  vlistviewSetSelection(column, d->selection);
  d->view = column;
  (void)c;
}

void selectOnly(vfilechsrDirectory* d, vlistview* column, std::int32_t row) {
  vlistSelection* s = column->selection;
  vlistUnselectRange(d->list, s, 0, 0, d->count, 1);
  if (row >= 0) {
    vlistSelectRange(d->list, s, row, 0, 1, 1);
    vlistviewSetFocusCell(column, row, 0);
    vlistviewScrollToSelection(column);
  }
}

// ---- Column notification and the multiple-selection filter.
void noDirectoriesInMany(vlistview* view, vlistSelection* s) {
  vfilechsrDirectory* d = recordOf(view);
  if (!d) return;
  if (d->count < 0) _vfilechsrReadDirectory(d);
  if (vlistCountSelectedCells(d->list, s) < 2) return;
  for (std::int32_t i = 0; i < d->count; ++i)
    if (isDirectory(&d->entries[std::size_t(i)]) && vlistIsCellSelected(d->list, s, i, 0))
      vlistUnselectRange(d->list, s, i, 0, 1, 1);
}

void doubleClick(vfilechsr* c, vlistview* column) {
  vfilechsrDirectory* d = recordOf(column);
  std::int32_t row = d ? firstSelected(d, column->selection) : -1;
  if (row < 0) return;
  if (c->options & vfilechsrDIRECTORIES) {
    vfsPath* p = vfsCopyPath(d->path);
    vfsAppendPathElements(p, d->entries[std::size_t(row)].name, nullptr);
    if (!vexTry([&] { vfilechsrSetDirectory(c, p); })) _vfilechsrShowError(c, 2);
    vfsFreePath(p);
    return;
  }
  vdialogItem* ok = vconfirmFindButton(c, vconfirmStandardTag(vconfirmOK));
  if (ok && vdialogItemIsEnabled(ok) && ok->notifyFunc) ok->notifyFunc(ok, nullptr);
}

// What a column's notification leaves for after the press: the column
// that reported is still tracking it and must keep its list until then.
struct Pending {
  vfilechsr* chooser;
  vlistview* doubleClicked;  // null: a shift down
};
Pending pending{};

void runPending() {
  Pending p = std::exchange(pending, Pending{});
  if (!p.chooser) return;
  if (p.doubleClicked)
    doubleClick(p.chooser, p.doubleClicked);
  else
    vfilechsrShift(p.chooser, 2);
}
void later(vfilechsr* c, vlistview* doubleClicked) {
  if (pending.chooser) return;
  pending = Pending{c, doubleClicked};
  veventPost(veventCreateClient(
      [](vevent*) {
        runPending();
        return 1;
      },
      nullptr));
}

void columnNotify(vinstance* self, int code) {
  auto* view = static_cast<vlistview*>(self);
  vfilechsr* c = chooserOf(view);
  vfilechsrDirectory* d = recordOf(view);
  if (code != 3 || !c || !d || c->filling) return;
  bool doubled = vlistviewGetClickCount(view) >= 2 || vlistviewGetNotifyMode(view) == 2;
  int index = columnIndex(c, view);
  std::int32_t row = firstSelected(d, view->selection);
  bool deeper = false;
  if (row >= 0 && isDirectory(&d->entries[std::size_t(row)]) &&
      vlistCountSelectedCells(d->list, view->selection) == 1) {
    vfsPath* p = vfsCopyPath(d->path);
    vfsAppendPathElements(p, d->entries[std::size_t(row)].name, nullptr);
    vexTry([&] { _vfilechsrFindDirectory(c, p); });
    vfsFreePath(p);
    deeper = d->next != nullptr;
  } else {
    _vfilechsrCutChain(c, d);
  }
  _vfilechsrFillColumns(c);
  _vfilechsrSetShiftButtons(c);
  _vfilechsrWriteEntry(c);
  if (doubled)
    later(c, view);
  else if (deeper && index == c->visibleColumns - 1 && c->current && c->current->next)
    later(c, nullptr);  // the chosen directory shows in a new last column
}

// ---- Rows.
void drawRow(vlistview* view, std::int32_t row, std::int32_t column, int, vrect* content) {
  vfilechsrDirectory* d = recordOf(view);
  if (!d || column != 0 || row < 0 || row >= d->count) return;
  const vfilechsrEntry& e = d->entries[std::size_t(row)];
  bool directory = isDirectory(&e);
  int which = (directory ? 1 : 0) + ((e.info.flags & vfilechsrLINK) ? 2 : 0);
  vimage* icon = _vfilechsrIcon(which);
  int x = content->x + 5;
  vdrawGSave();
  if (icon) {
    vdrawPathMoveTo(x, content->y + (content->height - icon->height) / 2);
    vdrawImage(icon);
    x += icon->width;
  }
  x += 10;
  bool dim = !e.readable || (!directory && d->chooser->kind != vfilechsrOPEN && !e.writable);
  if (dim) vdrawSetColor(vdialogGetItemColor(view, 1));
  vrect r{std::int16_t(x), content->y, std::int16_t(std::max(0, content->x + content->width - x)), content->height};
  vdrawCharsAt(e.name, int(std::strlen(e.name)), &r, 2);
  vdrawGRestore();
}

// ---- The list view class: sizes by the chooser's layout.
vlistviewClassRec* superView() { return vlistviewGetDefaultClass(); }
void viewNatural(vdialogItem* item, int* width, int* height) {
  superView()->naturalSize(item, width, height);
  vfilechsr* c = chooserOf(item);
  if (!c) return;
  int i = columnIndex(c, static_cast<vlistview*>(item));
  *width = i >= 0 && i < c->visibleColumns ? c->columnWidth : 0;
}
void viewMinimum(vdialogItem* item, int* width, int* height) {
  superView()->minSize(item, width, height);
  vfilechsr* c = chooserOf(item);
  if (c && columnIndex(c, static_cast<vlistview*>(item)) != 0) *width = *height = 0;
}

vlistviewClassRec* viewClass() {
  static void** slot = nullptr;
  if (auto* bound = vmoduleState<vlistviewClassRec*>(slot)) return *bound;
  auto** held = static_cast<vlistviewClassRec**>(vmoduleBindSlot(slot, sizeof(vlistviewClassRec*)));
  auto* c = vclassSpawnOf<vlistviewClassRec>(superView());
  c->naturalSize = viewNatural;
  c->minSize = viewMinimum;
  vclassSetName(c, vscribeLiteral("vfilechsrListView"));
  *held = c;
  return c;
}

int listInsetWidth(vlistview* v) {
  int left = 0, right = 0, bottom = 0, top = 0;
  vlistviewClassOf(v)->getInsets(v, &left, &right, &bottom, &top);
  return left + right;
}

std::string lastElement(const vfsPath* p) {
  int n = vfsCountPathElements(p);
  return n > 0 ? vfsGetPathElement(p, n - 1) : "";
}

}  // namespace

vlistviewClassRec* vfilechsrGetListViewClass() { return viewClass(); }

void _vfilechsrPrepareColumn(vfilechsr* c, vlistview* v) {
  v->data = reinterpret_cast<std::intptr_t>(c);
  vlistviewSetNotify(v, columnNotify);
  vlistviewSetSelectionCallback(v, nullptr);
  vlistviewSetVerticalBar(v, 1);
  vlistviewSetCellDrawer(v, drawRow);
  vlistviewSetOptions(v, vlistviewTYPE_AHEAD, 1);
  vimage* icon = _vfilechsrIcon(0);
  vfont* font = vdialogDetermineItemFont(v);
  int textHeight = 0;
  if (font) {
    auto round = [](vfixed f) { return int((f + 0x8000) >> 16); };
    textHeight = round(vfontGetDriver()->ascent(font)) + round(vfontGetDriver()->descent(font));
  }
  vlistviewSetRowHeight(v, vlistsizeALL_ROWS, std::max(icon ? icon->height + 4 : 0, textHeight));
}

void _vfilechsrApplySelectionMode(vfilechsr* c) {
  bool several = c->kind == vfilechsrOPEN && c->selectionMode == 2;
  int mode = several ? vlistFREE_SELECTION : vlistONE_ONLY_SELECTION;
  vfilechsrDirectory* d = c->current;
  for (int i = 0; i < vfilechsrCOLUMNS && d; ++i, d = d->next) {
    vlistSetSelectionMode(d->list, d->selection, mode);
    if (d->view && d->view->selection) vlistSetSelectionMode(d->list, d->view->selection, mode);
  }
  for (int i = 0; i < vfilechsrCOLUMNS; ++i)
    if (vlistview* v = c->columns[i]) vlistviewSetSelectionCallback(v, several ? noDirectoriesInMany : nullptr);
}

void _vfilechsrLayoutColumns(vfilechsr* c, int dialogWidth) {
  int shiftWidth = 0, h = 0;
  if (c->shiftUp) vdialogGetItemNaturalSize(c->shiftUp, &shiftWidth, &h);
  shiftWidth = std::max(shiftWidth, 22);
  int available = dialogWidth - shiftWidth - 15;
  int visible = available / (c->columnMinimum + 5);
  // A dialog narrower than one column still shows one.
  visible = std::clamp(visible, 1, vfilechsrCOLUMNS);
  c->visibleColumns = visible;
  c->columnWidth = std::max(1, available / visible - 5);
  for (int i = 0; i < vfilechsrCOLUMNS; ++i) {
    vlistview* v = c->columns[i];
    bool on = i < visible;
    showItem(v, on);
    if (i > 0) showItem(c->titles[i - 1], on);
    if (on && v && recordOf(v)) vlistviewSetColumnWidth(v, vlistsizeALL_COLUMNS, std::max(1, c->columnWidth - listInsetWidth(v) - 1));
  }
}

void _vfilechsrFillColumns(vfilechsr* c) {
  c->filling = 1;
  vfilechsrDirectory* d = c->current;
  for (int i = 0; i < vfilechsrCOLUMNS; ++i) {
    vlistview* v = c->columns[i];
    vdialogItem* title = i + 1 < vfilechsrCOLUMNS ? c->titles[i] : nullptr;
    if (!v) continue;
    if (i >= c->visibleColumns || !d) {
      attach(c, v, nullptr);
      setTitle(title, "");
      continue;
    }
    attach(c, v, d);
    _vfilechsrReadDirectory(d);
    vlistviewSetColumnWidth(v, vlistsizeALL_COLUMNS, std::max(1, c->columnWidth - listInsetWidth(v) - 1));
    if (!d->next) {
      setTitle(title, "");
      d = nullptr;
      continue;
    }
    std::string name = lastElement(d->next->path);
    setTitle(title, name.c_str());
    std::int32_t row = firstSelected(d, v->selection);
    if (row < 0 || name != d->entries[std::size_t(row)].name) {
      row = -1;
      for (std::int32_t k = 0; k < d->count; ++k)
        if (name == d->entries[std::size_t(k)].name) {
          row = k;
          break;
        }
      selectOnly(d, v, row);
      if (row < 0) {
        // The directory is gone: the chain ends here.
        _vfilechsrCutChain(c, d);
        setTitle(title, "");
      }
    }
    d = d->next;
  }
  c->filling = 0;
  c->state &= ~vfilechsrREFILL;
  if (vwindowIsOpen(c)) {
    vrect all{0, 0, c->rect.width, c->rect.height};
    vdialogClassOf(c)->arrange(c, &all);
  }
}

void _vfilechsrForget(vfilechsr* c) {
  if (pending.chooser == c) pending = Pending{};
}

void _vfilechsrDetachColumns(vfilechsr* c) {
  c->filling = 1;
  for (int i = 0; i < vfilechsrCOLUMNS; ++i)
    if (c->columns[i]) attach(c, c->columns[i], nullptr);
  c->filling = 0;
}

void _vfilechsrSetShiftButtons(vfilechsr* c) {
  vfilechsrDirectory* d = c->current;
  if (c->shiftUp) {
    if (d && vfsCountPathElements(d->path) > 1) vdialogEnableItem(c->shiftUp);
    else vdialogDisableItem(c->shiftUp);
  }
  if (c->shiftDown) {
    if (d && d->next) vdialogEnableItem(c->shiftDown);
    else vdialogDisableItem(c->shiftDown);
  }
}

int _vfilechsrLastSelectedColumn(vfilechsr* c) {
  int last = -1;
  for (int i = 0; i < c->visibleColumns; ++i) {
    vlistview* v = c->columns[i];
    vfilechsrDirectory* d = recordOf(v);
    if (!d || firstSelected(d, v->selection) < 0) break;
    last = i;
  }
  return last;
}

void _vfilechsrWriteEntry(vfilechsr* c) {
  std::string text;
  bool several = false;
  for (int i = 0; i < c->visibleColumns; ++i) {
    vlistview* v = c->columns[i];
    vfilechsrDirectory* d = recordOf(v);
    std::int32_t row = d ? firstSelected(d, v->selection) : -1;
    if (row < 0) break;
    if (vlistCountSelectedCells(d->list, v->selection) > 1) {
      several = true;
      break;
    }
    const vfilechsrEntry& e = d->entries[std::size_t(row)];
    text += e.name;
    if (isDirectory(&e)) text += vfsMSWGetSeparator();
  }
  if (several) text.clear();
  if (c->pathEntry) {
    c->state |= vfilechsrWRITING_ENTRY;
    vtextitemSetTextChars(c->pathEntry, text.c_str());
    c->state &= ~vfilechsrWRITING_ENTRY;
  }
  vfilechsrSetApply(c, c->apply);
}

// ---- Views.
void vfilechsrSetViewBy(vfilechsr* c, vname tag) {
  vmenu* menu = nullptr;
  if (c->menuBar)
    for (int i = 0; i < vmenubarCount(reinterpret_cast<vmenubar*>(c->menuBar)); ++i) {
      vmenu* m = vmenubarAt(reinterpret_cast<vmenubar*>(c->menuBar), i);
      if (m->tag == vnameInternLiteral("ViewMenu")) menu = m;
    }
  if (menu) {
    vmenuItem* found = nullptr;
    for (int i = vmenuItemListCount(&menu->items) - 1; i >= 0 && !found; --i)
      if (vmenuItemListAt(&menu->items, i)->tag == tag) found = vmenuItemListAt(&menu->items, i);
    if (!found) return;
    for (int i = 0; i < vmenuItemListCount(&menu->items); ++i) {
      vmenuItem* item = vmenuItemListAt(&menu->items, i);
      if (item->flags & vmenuItemTOGGLE) vmenuItemSetToggle(item, item == found);
    }
  } else if (!c->views || !vdictHas(c->views, tag)) {
    return;
  }
  c->currentView = tag;
  for (vfilechsrDirectory* d = c->chain; d; d = d->next)
    if (d->count >= 0) _vfilechsrSortDirectory(d);
}

// The list view class: module state, the class record, the instance's
// life (init, destroy, open, set list, set selection), the observer
// through which the model's changes reach the view, and the press record.
#include "fw/widgets/lists/listview.h"

#include <algorithm>
#include <cstdlib>

#include "fw/core/attributed.h"
#include "fw/core/sys.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/lists/listview_internal.h"
#include "fw/widgets/look/laf.h"

using namespace vlistviewint;

namespace {

struct ViewObserver : vlistObserver {
  vlistview* view;
};

struct ModuleState {
  vlistviewClassRec* cls;
  vlistObserverClassRec* observerClass;
};
void** stateSlot = nullptr;

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vlistview* asView(vinstance* o) { return static_cast<vlistview*>(o); }
vlistview* viewOf(void* receiver) { return static_cast<ViewObserver*>(receiver)->view; }
bool isOpen(const vlistview* v) { return (v->flags & vdialogItemOPEN) != 0; }

vlistObserverClassRec* observerClass();

void eachBar(vlistview* v, void (*op)(vdialogItem*)) {
  if (v->hbar) op(v->hbar);
  if (v->vbar) op(v->vbar);
}

void commonInit(vlistview* v) {
  auto* c = vlistviewClassOf(v);
  v->content = vrect{};
  v->scrollMode = 0;
  v->partialLastRow = 0;
  v->firstRow = v->firstColumn = v->lastRow = v->lastColumn = 0;
  v->hOffset = v->vOffset = 0;
  v->focusRow = v->focusColumn = 0;
  v->options = 0;
  v->originX = v->originY = v->appliedX = v->appliedY = 0;
  v->margin = 0;
  v->gridX = v->gridTop = 0;
  v->size = nullptr;
  v->list = nullptr;
  v->observer = nullptr;
  v->hbar = v->vbar = nullptr;
  v->selection = v->oldSelection = v->pendingSelection = nullptr;
  v->notify = nullptr;
  v->selectionCallback = nullptr;
  v->cellDrawer = c->defaultCellDrawer ? c->defaultCellDrawer() : nullptr;
  v->updateMode = 0;
  v->state = 0x1 | vlistviewBARS_STALE | vlistviewRANGE_STALE | vlistviewCONTENT_STALE | vlistviewFIT_HEIGHT |
             vlistviewFIT_WIDTH;
  c->setSize(v, vlistsizeCreate());
}

void init(vinstance* self) {
  super()->init(self);
  vlistview* v = asView(self);
  commonInit(v);
  v->attributes = 0x43D;
  vdialogSetItemBorder(v, 1);
  vdialogItemClassOf(v)->setFocusable(v, 1);
  vdialogItemClassOf(v)->setClickFocus(v, 1);
}

void destroy(vinstance* self) {
  vlistview* v = asView(self);
  forgetPress(v);
  vlistviewSetList(v, nullptr);
  if (v->size) vinstanceDestroy(v->size), v->size = nullptr;
  setBar(v, 0, false);
  setBar(v, 0, true);
  super()->destroy(self);
}

void open(vdialogItem* item) {
  vlistview* v = asView(item);
  if (isOpen(v)) return;
  super()->open(item);
  eachBar(v, vdialogOpenItem);
  vlistviewFitCellSize(v);
  if (v->list) {
    std::int32_t rows = vlistGetRowCount(v->list), columns = vlistGetColumnCount(v->list);
    if (v->size->rowCount < rows) vlistsizeClassOf(v->size)->insertOne(v->size, rows - 1, vlistROWS);
    if (v->size->columnCount < columns) vlistsizeClassOf(v->size)->insertOne(v->size, columns - 1, vlistCOLUMNS);
  }
  recompute(v);
  if (v->originX != 0 || v->originY != 0) vlistviewClassOf(v)->scrollTo(v, v->originX, v->originY);
}

void close(vdialogItem* item) {
  super()->close(item);
  eachBar(asView(item), vdialogCloseItem);
}
void show(vdialogItem* item) {
  super()->show(item);
  eachBar(asView(item), vdialogShowItem);
}
void hide(vdialogItem* item) {
  super()->hide(item);
  eachBar(asView(item), vdialogHideItem);
}

// A new non-empty size lays the content out afresh at the requested origin.
void setRect(vdialogItem* item, const vrect* rect) {
  vlistview* v = asView(item);
  vrect old = v->rect;
  super()->setRect(item, rect);
  if (rect->width <= 0 || rect->height <= 0) return;
  if (old.x == rect->x && old.y == rect->y && old.width == rect->width && old.height == rect->height) return;
  vlistviewFitCellSize(v);
  _vlistviewGetContentRect(v, &v->content);
  v->state |= vlistviewCONTENT_STALE;
  _vlistviewSetScrollOrigin(v, &v->content, v->originX, v->originY);
  v->state |= vlistviewBARS_STALE;
  if (vdialogItemIsShown(v)) _vlistviewUpdateScrollBars(v);
  vlistviewClassOf(v)->scrollTo(v, v->originX, v->originY);
}

void scrolledBy(vlistview*, std::int32_t, std::int32_t) {}
void cellForPosition(vlistview*, int, int, std::int32_t* row, std::int32_t* column) { *row = -1, *column = -1; }
void setHorizontalBar(vlistview* v, int on) { setBar(v, on, false); }
void setVerticalBar(vlistview* v, int on) { setBar(v, on, true); }
void setRowHeight(vlistview* v, std::int32_t row, std::int32_t h) { setAxisSize(v, row, h, vlistROWS); }
void setColumnWidth(vlistview* v, std::int32_t column, std::int32_t w) { setAxisSize(v, column, w, vlistCOLUMNS); }

void setMargin(vlistview* v, std::int32_t margin) {
  v->margin = margin;
  v->options |= vlistviewMARGIN_SET;
  if (vdialogItemIsShown(v)) vdialogInvalItem(v, 1);
  recompute(v);
}

void setSize(vlistview* v, vlistsize* size) {
  if (v->size && v->size != size) vinstanceDestroy(v->size);
  v->size = size;
  if (vdialogItemIsShown(v)) vdialogInvalItem(v, 1);
  if (!size || !hasCells(v)) return;
  auto* s = vlistsizeClassOf(size);
  if (size->rowCount < vlistGetRowCount(v->list))
    s->setRowHeight(size, vlistGetRowCount(v->list) - 1, vlistsizeGetDefaultHeight(size));
  if (size->columnCount < vlistGetColumnCount(v->list))
    s->setColumnWidth(size, vlistGetColumnCount(v->list) - 1, vlistsizeGetDefaultWidth(size));
}

void destroySelection(vlistview* v, vlistSelection*& s) {
  if (s && v->list) vlistDestroySelection(v->list, s);
  s = nullptr;
}

void setList(vlistview* v, vlist* list) {
  int mode = vlistFREE_SELECTION;
  std::uint8_t flags = 0;
  if (v->list) {
    if (v->selection) mode = v->selection->mode, flags = v->selection->flags;
    if (v->observer) vlistRemoveObserver(v->list, v->observer), v->observer = nullptr;
    // The fields are cleared as they go: set selection below must not
    // redraw against or destroy a freed selection.
    destroySelection(v, v->selection);
    destroySelection(v, v->oldSelection);
    destroySelection(v, v->pendingSelection);
  }
  v->list = list;
  if (list) {
    auto* o = static_cast<ViewObserver*>(vinstanceCreate(observerClass()));
    o->view = v;
    o->client = v;
    o->flags |= vlistObserverOWNED;
    v->observer = o;
    vlistAddObserver(list, o);
    v->oldSelection = vlistCreateSelection(list);
    v->pendingSelection = vlistCreateSelection(list);
    vlistviewSetSelection(v, vlistCreateSelection(list));
    for (vlistSelection* s : {v->selection, v->oldSelection, v->pendingSelection}) {
      vlistSetSelectionMode(list, s, mode);
      if (flags & vlistAT_LEAST_ONE) vlistSetSelectionAtLeastOne(list, s, 1);
      if (flags & vlistWHOLE_ROWS) vlistSetSelectionWholeRows(list, s, 1);
      if (flags & vlistWHOLE_COLUMNS) vlistSetSelectionWholeColumns(list, s, 1);
    }
    v->originX = v->originY = 0;
  }
  if (isOpen(v))
    recompute(v);
  else
    v->state |= vlistviewRANGE_STALE | vlistviewBARS_STALE;
  invalContent(v);
  if (vdialogItemIsShown(v)) eachBar(v, [](vdialogItem* b) { vdialogInvalItem(b, 1); });
}

void redrawDifference(vlistview* v, const vlistSelection* a, const vlistSelection* b) {
  if (!vdialogItemIsShown(v) || !hasCells(v)) return;
  vlistSelection* d = vlistCreateSelectionDifference(v->list, a, b);
  vlistSelectionIterator it;
  vlistInitSelectionIterator(&it, d);
  while (vlistNextSelectedCell(&it)) vlistviewInvalCell(v, it.row, it.column);
  vlistDestroySelectionIterator(&it);
  vlistDestroySelection(v->list, d);
}

void setSelection(vlistview* v, vlistSelection* s) {
  if (!v->list || s == v->selection) return;  // setting the same one again changes nothing
  vlistSelection* previous = v->selection;
  if (previous) redrawDifference(v, previous, s);
  v->selection = s;
  if (v->oldSelection) vlistSetSelectionMode(v->list, v->oldSelection, s->mode);
  if (v->pendingSelection) vlistSetSelectionMode(v->list, v->pendingSelection, s->mode);
  if (previous) vlistDestroySelection(v->list, previous);
}

// "Select" toggles the focus cell; the extend selectors move the focus
// and extend from the anchor; "Trigger Action" notifies 1 and 3.
int issueSelector(vobject* self, int selector, vdict* context) {
  vlistview* v = asView(static_cast<vinstance*>(self));
  if (v->attributes & 0x10) clearTypeAhead();
  vevent* e = context ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event))) : nullptr;
  int handled = moveSelector(v, selector, context);
  if (handled >= 0) return handled;
  if (selector == 3) {
    if (!v->list || !(v->attributes & 0x400) || !hasCells(v)) return 1;
    vlistSelection* s = v->selection;
    std::int32_t r = v->focusRow, c = v->focusColumn;
    bool changed = true;
    if (!vlistIsCellSelected(v->list, s, r, c))
      vlistSelectRange(v->list, s, r, c, 1, 1);
    else if (s->mode == vlistONE_ONLY_SELECTION && (s->flags & vlistAT_LEAST_ONE))
      changed = false;
    else if (s->flags & vlistWHOLE_ROWS)
      vlistUnselectRange(v->list, s, r, 0, 1, vlistGetColumnCount(v->list));
    else if (s->flags & vlistWHOLE_COLUMNS)
      vlistUnselectRange(v->list, s, 0, c, vlistGetRowCount(v->list), 1);
    else
      vlistUnselectRange(v->list, s, r, c, 1, 1);
    if (s->mode != vlistNO_SELECTION) vdialogNotifyItem(v, e);
    if (changed) vlistviewInvalCell(v, r, c);
    return 1;
  }
  if (selector >= 28 && selector <= 31) {
    static constexpr int kDirection[] = {2, 0, 1, 3};
    if (!hasCells(v)) return 1;
    std::int32_t r0 = v->focusRow, c0 = v->focusColumn;
    vlistviewArrowMove(v, kDirection[selector - 28]);
    std::int32_t r1 = v->focusRow, c1 = v->focusColumn;
    vlistSelectRange(v->list, v->selection, std::min(r0, r1), std::min(c0, c1), std::abs(r1 - r0) + 1,
                     std::abs(c1 - c0) + 1);
    vdialogNotifyItem(v, e);
    return 1;
  }
  if (selector == 32) {
    vdialogNotifyItem(v, e);
    notifyView(v, 1);
    notifyView(v, 3);
    return 1;
  }
  return super()->issueSelector(self, selector, context);
}

// ---- The observer.

void cellChanged(void* r, std::int32_t row, std::int32_t column) {
  vlistview* v = viewOf(r);
  if (isOpen(v)) vlistviewInvalCell(v, row, column);
}

void inserted(void* r, std::int32_t index, std::int32_t count, int axis) {
  vlistview* v = viewOf(r);
  v->state |= vlistviewRANGE_STALE | vlistviewBARS_STALE;
  vlistsizeClassOf(v->size)->insert(v->size, index, count, axis);
  if (isOpen(v)) {
    invalContent(v);
    vobjectSendOperand(v, vname_MinSize);
  }
  std::int32_t& focus = axis == vlistROWS ? v->focusRow : v->focusColumn;
  if (focus >= index) focus += count;
  if (isOpen(v)) recompute(v);
}

void deleted(void* r, std::int32_t index, std::int32_t count, int axis) {
  vlistview* v = viewOf(r);
  v->state |= vlistviewRANGE_STALE | vlistviewBARS_STALE;
  if (isOpen(v)) invalContent(v);
  vlistsizeClassOf(v->size)->remove(v->size, index, count, axis);
  std::int32_t n = axis == vlistROWS ? vlistGetRowCount(v->list) : vlistGetColumnCount(v->list);
  std::int32_t& focus = axis == vlistROWS ? v->focusRow : v->focusColumn;
  if (focus >= index) focus = std::max(0, std::min(focus - count, n - 1));
  if (isOpen(v)) {
    vobjectSendOperand(v, vname_MinSize);
    recompute(v);
    vlistviewClassOf(v)->scrollTo(v, v->originX, v->originY);
  }
}

void countChanged(void* r, std::int32_t oldCount, std::int32_t newCount, int axis) {
  vlistview* v = viewOf(r);
  v->state |= vlistviewRANGE_STALE | vlistviewBARS_STALE;
  if (!isOpen(v) || oldCount == newCount) return;
  std::int32_t& focus = axis == vlistROWS ? v->focusRow : v->focusColumn;
  if (newCount < oldCount && focus >= newCount) focus = std::max(0, newCount - 1);
  invalContent(v);
  recompute(v);
  vobjectSendOperand(v, vname_MinSize);
  vlistviewClassOf(v)->scrollTo(v, v->originX, v->originY);
}

void storageReplaced(void* r) {
  vlistview* v = viewOf(r);
  invalContent(v);
  if (isOpen(v)) recompute(v);
}

void listDestroyed(void* r) { vlistviewSetList(viewOf(r), nullptr); }

void selectionChanging(void* r, vlistSelection* s, int phase) {
  vlistview* v = viewOf(r);
  if (s != v->selection || !isOpen(v)) return;
  if (phase == 0) {
    vlistCopySelection(v->list, s, v->pendingSelection);
    return;
  }
  if (v->selectionCallback) v->selectionCallback(v, s);
  redrawDifference(v, v->pendingSelection, s);
  vlistUnselectRange(v->list, v->pendingSelection, 0, 0, vlistGetRowCount(v->list), vlistGetColumnCount(v->list));
}

void selectionModeSet(void* r, vlistSelection* s, int mode) {
  vlistview* v = viewOf(r);
  if (s != v->selection) return;
  vlistSetSelectionMode(v->list, v->oldSelection, mode);
  vlistSetSelectionMode(v->list, v->pendingSelection, mode);
}

void ignoreSorting(void*, int) {}

vlistObserverClassRec* observerClass() {
  ModuleState* st = static_cast<ModuleState*>(*stateSlot);
  return st->observerClass;
}

void buildObserverClass(ModuleState* st) {
  if (st->observerClass) return;
  auto* c = vclassSpawnOf<vlistObserverClassRec>(vlistObserverGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vlistviewObserver"));
  c->instanceSize = sizeof(ViewObserver);
  c->cellChanged = cellChanged;
  c->inserted = inserted;
  c->deleted = deleted;
  c->countChanged = countChanged;
  c->storageReplaced = storageReplaced;
  c->destroyed = listDestroyed;
  c->selectionChanging = selectionChanging;
  c->selectionModeSet = selectionModeSet;
  c->sorting = ignoreSorting;
  st->observerClass = c;
}

ModuleState* state() {
  if (!stateSlot) stateSlot = vmoduleAllocSlot();
  if (*stateSlot) return static_cast<ModuleState*>(*stateSlot);
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  return st;
}

void buildClass(ModuleState* st) {
  buildObserverClass(st);
  if (st->cls) return;
  int look = lookId();
  auto* c = vclassSpawnOf<vlistviewClassRec>(super());
  vclassSetName(c, vscribeLiteral("vlistview"));
  c->instanceSize = sizeof(vlistview);
  c->init = init;
  c->destroy = destroy;
  c->open = open;
  c->close = close;
  c->show = show;
  c->hide = hide;
  c->setRect = setRect;
  c->buttonDown = buttonDown;
  c->buttonUp = buttonUp;
  c->motion = motion;
  c->keyDown = keyDown;
  c->issueSelector = issueSelector;
  c->scrollTo = scrollTo;
  c->scrolledBy = scrolledBy;
  c->cellForPosition = cellForPosition;
  c->setHorizontalBar = setHorizontalBar;
  c->setVerticalBar = setVerticalBar;
  c->setRowHeight = setRowHeight;
  c->setColumnWidth = setColumnWidth;
  c->setScrollBarMargin = setMargin;
  c->setSize = setSize;
  c->setList = setList;
  c->setSelection = setSelection;
  installDrawing(c);
  // Cell border, step and frame width by look id 0, 1 (none), 2 ... 6.
  static constexpr std::int16_t kBorder[] = {0, 0, 1, 1, 1, 2, 1};
  static constexpr std::int16_t kFrame[] = {0, 0, 1, 2, 1, 2, 2};
  bool known = look >= 0 && look <= vlafWIN95;
  c->cellBorder = known ? kBorder[look] : 0;
  c->step = 5;
  c->frameWidth = known ? kFrame[look] : 0;
  if (look == vlafCUA) vlafSetClassMSWSysColor(look, -1, c, 2, 7);
  _vdialogItemRunNamingHook(c);
  st->cls = c;
}

}  // namespace

vlistviewClassRec* vlistviewGetDefaultClass() {
  ModuleState* st = state();
  buildClass(st);
  return st->cls;
}
void _vlistviewStartupClasses() {
  buildObserverClass(state());
  vlistviewGetDefaultClass();
}
vlistview* vlistviewCreate() { return asView(vinstanceCreate(vlistviewGetDefaultClass())); }

void vlistviewSetScrollMode(vlistview* v, int mode) { v->scrollMode = std::int16_t(mode); }
void vlistviewSetNotify(vlistview* v, vlistviewNotifyFunction notify) { v->notify = notify; }

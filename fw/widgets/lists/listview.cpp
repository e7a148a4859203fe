// The list view class: module state, the class record, the instance's
// life (init, destroy, open, set list, set selection), the observer
// through which the model's changes reach the view, and the press record.
#include "fw/widgets/lists/listview.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "fw/core/attributed.h"
#include "fw/core/command.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/lists/listview_internal.h"
#include "fw/widgets/look/laf.h"

using namespace vlistviewint;

namespace {

struct ModuleState {
  vlistviewClassRec* cls;
  vlistObserverClassRec* observerClass;
  vcommandSpace* space;
  vdict* keyMap;  // key value + 1 -> command tag: the item's keys and the list view's
  int notifyMode;
  vlistview* notifyTarget;
  vlistviewNotifyFunction globalNotify;
};
void** stateSlot = nullptr;
ModuleState* state();

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vlistview* asView(vinstance* o) { return static_cast<vlistview*>(o); }
bool isOpen(const vlistview* v) { return (v->flags & vdialogItemOPEN) != 0; }

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
  v->notifyGuard = 0;
  v->anchorRow = v->anchorColumn = 0;
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
  vlistviewFitCellSize(asView(item));
}
void hide(vdialogItem* item) {
  super()->hide(item);
  eachBar(asView(item), vdialogHideItem);
  vlistviewFitCellSize(asView(item));
}
void enable(vdialogItem* item) {
  super()->enable(item);
  eachBar(asView(item), vdialogEnableItem);
  vlistviewFitCellSize(asView(item));
}
void disable(vdialogItem* item) {
  super()->disable(item);
  eachBar(asView(item), vdialogDisableItem);
  vlistviewFitCellSize(asView(item));
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
  placeBars(v);
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
    v->observer = createObserver(state()->observerClass, v);
    vlistAddObserver(list, v->observer);
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

void setSelection(vlistview* v, vlistSelection* s) {
  if (!v->list || s == v->selection) return;  // setting the same one again changes nothing
  vlistSelection* previous = v->selection;
  if (previous) redrawSelectionDifference(v, previous, s);
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
    vlistviewArrowMove(v, kDirection[selector - 28]);
    extendFromFocus(v);
    vdialogNotifyItem(v, e);
    return 1;
  }
  if (selector == 32) {
    ModuleState* st = state();
    int mode = st->notifyMode;
    vlistview* target = st->notifyTarget;
    st->notifyMode = 2, st->notifyTarget = v;
    vdialogNotifyItem(v, e);
    notifyView(v, 1);
    notifyView(v, 3);
    st->notifyMode = mode, st->notifyTarget = target == v ? nullptr : target;
    return 1;
  }
  return super()->issueSelector(self, selector, context);
}

// ---- The notify slot, the border and the owner.
void notifyView(vlistview* v, int code) {
  ModuleState* st = state();
  if (st->globalNotify) st->globalNotify(v, code);
  if (isOpen(v) && v->notify && !(v->state & vlistviewSILENT)) v->notify(v, code);
}

// The frame follows the border flag: option 0x20 and attribute 0x20.
void setBorder(vdialogItem* item, int on) {
  vlistview* v = asView(item);
  bool was = (item->flags & vdialogItemBORDER) != 0;
  super()->setBorder(item, on);
  bool now = (item->flags & vdialogItemBORDER) != 0;
  v->options = now ? v->options | vlistviewFRAME : v->options & ~vlistviewFRAME;
  v->attributes = now ? v->attributes | 0x20 : v->attributes & ~0x20u;
  if (was == now) return;
  if (vdialogItemIsShown(v)) vdialogInvalItem(v, 1);
  if (isOpen(v)) recompute(v);
}

// A new font refits the cells; rows fitted to the font change the view's
// minimum size.
void setFont(vdialogItem* item, vfont* font) {
  super()->setFont(item, font);
  vlistview* v = asView(item);
  bool fitting = (v->state & vlistviewFIT_HEIGHT) != 0;
  vlistviewFitCellSize(v);
  if (fitting) vobjectSendOperand(v, vname_MinSize);
}

// The bars share the view's item list without being listed in it.
void setOwner(vdialogItem* item, vdialogItemList* owner) {
  super()->setOwner(item, owner);
  vlistview* v = asView(item);
  for (vslider* bar : {v->hbar, v->vbar})
    if (bar) vdialogItemClassOf(bar)->setOwner(bar, owner);
}

// ---- Copies and the resource form.
void copy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vlistview* s = asView(static_cast<vinstance*>(source));
  vlistview* d = asView(static_cast<vinstance*>(destination));
  if (d->list) vlistviewSetList(d, nullptr);
  setBar(d, 0, false);
  setBar(d, 0, true);
  if (d->size) vinstanceDestroy(d->size), d->size = nullptr;
  // The plain fields, from the content rectangle up to the geometry.
  std::memcpy(&d->content, &s->content,
              std::size_t(reinterpret_cast<char*>(&s->size) - reinterpret_cast<char*>(&s->content)));
  d->notify = s->notify;
  d->selectionCallback = s->selectionCallback;
  d->cellDrawer = s->cellDrawer;
  d->state &= ~std::uint32_t(0x8 | 0x20 | 0x200 | 0x400 | 0x80000);  // no press of the source's
  d->size = static_cast<vlistsize*>(vobjectClone(s->size));
  if (s->list) {
    std::int32_t focusRow = s->focusRow, focusColumn = s->focusColumn;
    vlistviewSetList(d, s->list);
    vlistCopySelection(s->list, s->selection, d->selection);
    vlistCopySelection(s->list, s->oldSelection, d->oldSelection);
    vlistCopySelection(s->list, s->pendingSelection, d->pendingSelection);
    d->focusRow = focusRow, d->focusColumn = focusColumn;
    d->originX = s->originX, d->originY = s->originY;
  }
  for (auto [from, to] : {std::pair{s->hbar, &d->hbar}, std::pair{s->vbar, &d->vbar}}) {
    if (!from) continue;
    *to = static_cast<vslider*>(vobjectClone(from));
    vdialogSetItemData(*to, reinterpret_cast<std::intptr_t>(d));
    if (d->owner) vdialogItemClassOf(*to)->setOwner(*to, d->owner);
  }
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

vname key(const char* name) { return vnameInternLiteral(name); }

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vlistview* v = asView(static_cast<vinstance*>(self));
  commonInit(v);
  v->focusRow = vresourceGetInteger(resource, key("FocusRow"));
  v->focusColumn = vresourceGetInteger(resource, key("FocusColumn"));
  v->attributes = std::uint32_t(vresourceGetInteger(resource, key("Attributes")));
  v->margin = std::int16_t(vresourceGetInteger(resource, key("ScrollBarMargin")));
  // The stored scroll values are not taken: a loaded view starts at the origin.
  v->originX = v->originY = 0;
  setBar(v, (v->attributes & 0x800) != 0, false);
  setBar(v, (v->attributes & 0x1000) != 0, true);
  vdialogItemClassOf(v)->setBorder(v, (v->attributes & 0x20) != 0);
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vlistview* v = asView(static_cast<vinstance*>(self));
  std::uint32_t attributes = v->attributes & ~std::uint32_t(0x800 | 0x1000);
  if (v->hbar) attributes |= 0x800;
  if (v->vbar) attributes |= 0x1000;
  int border = vlistviewClassOf(v)->cellBorder;
  std::int32_t width = (v->state & vlistviewFIT_WIDTH) ? -1 : vlistsizeGetDefaultWidth(v->size) - 2 * border;
  std::int32_t height = (v->state & vlistviewFIT_HEIGHT) ? -1 : vlistsizeGetDefaultHeight(v->size) - 2 * border;
  const std::pair<const char*, std::int32_t> values[] = {
      {"FocusRow", v->focusRow},       {"FocusColumn", v->focusColumn},
      {"Attributes", std::int32_t(attributes)}, {"HScrollValue", v->originX},
      {"VScrollValue", v->originY},    {"ScrollBarMargin", std::int16_t(v->margin)},
      {"ConstantWidth", width},        {"ConstantHeight", height}};
  for (const auto& [name, value] : values) vresourceSetInteger(resource, key(name), value);
}

// ---- Module state: the classes, the command space with its selectors
// and keys, and the key map merged from the item's and the list view's.
constexpr std::uint32_t kShift = 4;
constexpr std::uint32_t keyValue(std::uint32_t code, std::uint32_t modifiers = 0) { return code << 16 | modifiers; }

vcommandSpace* buildSpace(vcommandSpace* inherited) {
  auto* space = static_cast<vcommandSpace*>(vobjectClone(inherited));
  static const vcommandTableRow kSelectors[] = {{"Select", 3},
                                                {"Extend Select Right", 28},
                                                {"Extend Select Left", 29},
                                                {"Extend Select Up", 30},
                                                {"Extend Select Down", 31},
                                                {"Trigger Action", 32}};
  vcommandSpaceAddDict(space, vname_Command,
                       vcommandCreateDictFromTable(vobjectGetCommandClass(), kSelectors, int(std::size(kSelectors))));
  struct KeyRow {
    const char* name;
    std::uint32_t keys[2];
    int count;
  };
  static constexpr KeyRow kKeys[] = {
      {"Trigger Action", {keyValue(0xFC0D), keyValue(0xFC8D)}, 2},  // Return, keypad Enter
      {"Extend Select Right", {keyValue(0xFC53, kShift)}, 1},
      {"Extend Select Left", {keyValue(0xFC51, kShift)}, 1},
      {"Extend Select Up", {keyValue(0xFC52, kShift)}, 1},
      {"Extend Select Down", {keyValue(0xFC54, kShift)}, 1}};
  vdict* keys = vdictCreate(vdictHashName);
  for (const KeyRow& k : kKeys) {
    vcommandKeyList* list = vcommandCreateKeyList();
    vcommandAppendKeys(list, k.keys, k.count);
    vdictStore(keys, vnameInternLiteral(k.name), list);
  }
  vcommandSpaceAddDict(space, vname_Key, keys);
  return space;
}

void freeState() {
  auto* st = static_cast<ModuleState*>(*stateSlot);
  if (!st) return;
  if (st->keyMap) vdictDestroy(st->keyMap);
  if (st->space) vinstanceDestroy(st->space);
  st->keyMap = nullptr, st->space = nullptr;
}

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  *st = ModuleState{};
  vmoduleAddContextExitProc(freeState);
  return st;
}

void buildObserverClass(ModuleState* st) {
  if (!st->observerClass) st->observerClass = vlistviewint::buildObserverClass();
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
  c->enable = enable;
  c->disable = disable;
  c->setRect = setRect;
  installInput(c);
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->setBorder = setBorder;
  c->setOwner = setOwner;
  c->setFont = setFont;
  c->notifyView = notifyView;
  c->space = st->space = buildSpace(super()->space);
  st->keyMap = vdictCreate(vdictHashPointer);
  vcommandSpaceVisitKeys(c->space, st->keyMap);
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
void vlistviewSetGlobalNotify(vlistviewNotifyFunction hook) { state()->globalNotify = hook; }
int vlistviewGetNotifyMode(const vlistview* v) {
  ModuleState* st = state();
  return st->notifyTarget == v ? st->notifyMode : 0;
}
void vlistviewSetOptions(vlistview* v, std::uint32_t bits, int on) {
  v->options = on ? v->options | bits : v->options & ~bits;
}
void vlistviewSetRangeExtension(vlistview* v, int mode) {
  v->options &= ~std::uint32_t(vlistviewMOVE_ROWS | vlistviewMOVE_COLUMNS);
  if (mode == 1) v->options |= vlistviewMOVE_ROWS;
  if (mode == 2) v->options |= vlistviewMOVE_COLUMNS;
}

vname vlistviewint::classKeyTag(std::uint32_t key) {
  ModuleState* st = state();
  if (!st->keyMap) return nullptr;
  return static_cast<vname>(vdictGet(st->keyMap, reinterpret_cast<const void*>(std::uintptr_t(key) + 1)));
}
void vlistviewint::notifyView(vlistview* v, int code) { vlistviewClassOf(v)->notifyView(v, code); }
void vlistviewint::redrawSelectionDifference(vlistview* v, const vlistSelection* a, const vlistSelection* b) {
  if (!vdialogItemIsShown(v) || !hasCells(v)) return;
  vlistSelection* d = vlistCreateSelectionDifference(v->list, a, b);
  vlistSelectionIterator it;
  vlistInitSelectionIterator(&it, d);
  while (vlistNextSelectedCell(&it)) vlistviewInvalCell(v, it.row, it.column);
  vlistDestroySelectionIterator(&it);
  vlistDestroySelection(v->list, d);
}
void vlistviewSetNotify(vlistview* v, vlistviewNotifyFunction notify) { v->notify = notify; }

// The container module: the three classes, groups (grid layout, arrow
// keys, the children's notifications) and exclusive groups (controls only,
// exactly the selected one on).
#include <algorithm>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/dialog/container_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

struct ContainerState {
  vcontainerClassRec* classes[3];  // container, group, exclusive group
  vdict* attributes;
};
void** stateSlot = nullptr;
ContainerState* state();

vcontainer* asC(void* o) { return static_cast<vcontainer*>(o); }
vcontainerClassRec* base() { return state()->classes[0]; }
vcontainerClassRec* group() { return state()->classes[1]; }
std::int16_t s16(int v) { return std::int16_t(v); }
bool isControl(const vdialogItem* item) { return vclassIsSubclass(item->cls, vcontrolGetDefaultClass()); }

// ---- Groups.
void childNotify(vdialogItem* child, vevent* event) {
  vdialogItemList* list = child->owner;
  if (!list || !vcontainerIsContainer(list->owner)) return;
  vcontainer* g = asC(list->owner);
  vcontainerSetSelection(g, child);
  // A click gives a group the focus before its child acts: the focus then
  // sits on the child that had it, not on the one the user chose.
  constexpr std::uint16_t takes = vdialogItemENABLED | vdialogItemFOCUSABLE;
  if ((list->flags & vdialogItemListFOCUS_ACTIVE) && (child->flags & takes) == takes &&
      vdialogItemListGetFocusItem(list) != child)
    vdialogItemListSetFocusItem(list, child);
  vdialogNotifyItem(g, event);
}

void groupLoadInit(vobject* self, vresource resource) {
  base()->loadInit(self, resource);
  vdialogItemList* l = asC(self)->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) vdialogSetItemNotify(vdialogItemListAt(l, i), childNotify);
}

bool selectsOnMove() {
  std::int16_t id = vlafGetCurrent()->id;
  return id == vlafWINDOWS || id == vlafCUA || id == vlafWIN95;
}

// "Left" and "Up" step back, "Right" and "Down" forward (the item's
// selectors 10-13); the parent has the selector after.
int groupIssueSelector(vobject* self, int selector, vdict* context) {
  vcontainer* g = asC(self);
  if (selector >= 10 && selector <= 13) {
    int step = selector == 10 || selector == 12 ? -1 : 1;
    vdialogItemListMoveFocus(g->items, step, vdictHas(context, vname_Text) ? 1 : 0);
    if (selectsOnMove())
      if (vdialogItem* f = vdialogItemListGetFocusItem(g->items)) vcontainerSetSelection(g, f);
    base()->issueSelector(self, selector, context);
    return 1;
  }
  return base()->issueSelector(self, selector, context);
}

// The grid's cells for the children's minimum sizes inside width.
struct Grid {
  int columns = 1, rows = 0, width = 0, height = 0;
  std::vector<int> columnWidths, rowHeights;
  std::vector<vrect> sizes;
};

// Spread cells keep at least this much room between columns, so that a
// title never runs into the next column's indicator.
constexpr int kColumnGap = 4;

Grid measure(vdialogItemList* l, int width, int gap) {
  Grid g;
  int n = vdialogItemListCount(l);
  for (int i = 0; i < n; ++i) {
    int w = 0, h = 0;
    vdialogGetItemMinSize(vdialogItemListAt(l, i), &w, &h);
    g.sizes.push_back(vrect{0, 0, s16(w), s16(h)});
  }
  if (n == 0) return g;
  int c = 0, sum = 0;
  while (c < n && sum + (c > 0 ? gap : 0) + g.sizes[std::size_t(c)].width <= width) {
    sum += (c > 0 ? gap : 0) + g.sizes[std::size_t(c)].width;
    ++c;
  }
  c = std::max(c, 1);
  for (;; --c) {
    g.columnWidths.assign(std::size_t(c), 0);
    for (int i = 0; i < n; ++i)
      g.columnWidths[std::size_t(i % c)] = std::max(g.columnWidths[std::size_t(i % c)], int(g.sizes[std::size_t(i)].width));
    g.width = 0;
    for (int w : g.columnWidths) g.width += w;
    // With gaps, the outer ones count too: columns that fill the width edge
    // to edge would put the outer cells on the group's sides.
    if (c == 1 || g.width + (gap ? c + 1 : 0) * gap <= width) break;
  }
  g.columns = c;
  g.rows = (n + c - 1) / c;
  g.rowHeights.assign(std::size_t(g.rows), 0);
  for (int i = 0; i < n; ++i)
    g.rowHeights[std::size_t(i / c)] = std::max(g.rowHeights[std::size_t(i / c)], int(g.sizes[std::size_t(i)].height));
  g.height = 0;
  for (int h : g.rowHeights) g.height += h;
  return g;
}

void groupAppend(vcontainer* c, vdialogItem* item) {
  vdialogSetItemNotify(item, childNotify);
  base()->appendItem(c, item);
  if (!c->items->solution) vobjectSendValueChange(c, vname_Solution, nullptr, nullptr);
}
void groupRemove(vcontainer* c, vdialogItem* item) {
  base()->removeItem(c, item);
  if (item->notifyFunc == childNotify) vdialogSetItemNotify(item, nullptr);
  if (!c->items->solution) vobjectSendValueChange(c, vname_Solution, nullptr, nullptr);
}
void groupInsert(vcontainer* c, vdialogItem* item, int index) {
  vdialogSetItemNotify(item, childNotify);
  base()->insertItem(c, item, index);
  if (!c->items->solution) vobjectSendValueChange(c, vname_Solution, nullptr, nullptr);
}
void groupArrange(vcontainer* c, const vrect* r) {
  if (c->items->solution) base()->arrange(c, r);
  else vcontainerGridLayout(c, r, true);
}
void groupNaturalSize(vcontainer* c, int* w, int* h) {
  if (c->items->solution) {
    base()->naturalSizeOfItems(c, w, h);
    return;
  }
  int widest = 0, tallest = 0;
  for (int i = 0; i < vdialogItemListCount(c->items); ++i) {
    int iw = 0, ih = 0;
    vdialogGetItemNaturalSize(vdialogItemListAt(c->items, i), &iw, &ih);
    widest = std::max(widest, iw);
    tallest = std::max(tallest, ih);
  }
  *w = widest + 10;
  *h = tallest + 10;
}
void groupMinSize(vdialogItem* item, int* w, int* h) {
  base()->minSize(item, w, h);
  vcontainer* c = asC(item);
  if (c->items->solution) return;
  Grid g = measure(c->items, c->content.width, kColumnGap);
  g.width += (g.columns - 1) * kColumnGap;
  int extraW = c->rect.width - c->content.width, extraH = c->rect.height - c->content.height;
  *w = std::max(*w, g.width + extraW);
  *h = std::max(*h, g.height + extraH);
}

// ---- Exclusive groups.
void switchTo(vdialogItem* item, int value) {
  if (item && isControl(item)) vcontrolSetValue(static_cast<vcontrol*>(item), value);
}

void exclusiveLoadInit(vobject* self, vresource resource) {
  groupLoadInit(self, resource);
  vcontainer* g = asC(self);
  // Only append checks the class: a resource may hold other items.
  for (int i = vdialogItemListCount(g->items) - 1; i >= 0 && !g->selection; --i) {
    vdialogItem* item = vdialogItemListAt(g->items, i);
    if (isControl(item) && static_cast<vcontrol*>(item)->value != 0) g->selection = item;
  }
}

void exclusiveSend(vobject* self, vname name, vdict* args) {
  if (name == vname_Selection && args) {
    switchTo(static_cast<vdialogItem*>(vdictGet(args, vname_OldValue)), 0);
    switchTo(static_cast<vdialogItem*>(vdictGet(args, vname_Value)), 1);
  }
  group()->send(self, name, args);
}

void exclusiveAppend(vcontainer* c, vdialogItem* item) {
  if (!isControl(item)) vexGenerateMessage(&vexArgClass, "must add controls to exclusive groups");
  switchTo(item, 0);
  group()->appendItem(c, item);
}
// Exclusive groups spread their cells except in Open Look, which packs them.
bool gridSpreads() { return vlafGetCurrent()->id != vlafOPEN_LOOK; }

void exclusiveArrange(vcontainer* c, const vrect* r) {
  if (c->items->solution) base()->arrange(c, r);
  else vcontainerGridLayout(c, r, gridSpreads());
}

// ---- The module.
vdict* buildAttributes() {
  vdict* d = vdictCopy(vdialogItemGetDefaultClass()->attributes);
  const vdictIntegerRow rows[] = {{vname_Content, vcontainerA_CONTENT},   {vname_Flat, vcontainerA_FLAT},
                                  {vname_ScrollX, vcontainerA_SCROLL_X},  {vname_ScrollY, vcontainerA_SCROLL_Y},
                                  {vname_Focus, vcontainerA_FOCUS},       {vname_DefaultFocus, vcontainerA_DEFAULT_FOCUS},
                                  {vname_Solution, vcontainerA_SOLUTION}, {vname_Selection, vcontainerA_SELECTION}};
  vdictStoreIntegerTable(d, rows, 8);
  return d;
}

void freeState() {
  auto* s = static_cast<ContainerState*>(*stateSlot);
  if (s) vdictDestroy(s->attributes);
}

ContainerState* state() {
  if (auto* bound = vmoduleState<ContainerState>(stateSlot)) return bound;
  vdialogItemListGetDefaultClass();
  auto* s = static_cast<ContainerState*>(vmoduleBindSlot(stateSlot, sizeof(ContainerState)));
  *s = ContainerState{};
  vmoduleAddContextExitProc(freeState);
  s->attributes = buildAttributes();
  auto* c = vclassSpawnOf<vcontainerClassRec>(vdialogItemGetDefaultClass());
  c->attributes = s->attributes;
  _vcontainerFillSlots(c);
  vclassSetName(c, vscribeLiteral("vcontainer"));
  s->classes[0] = c;
  auto* g = vclassSpawnOf<vcontainerClassRec>(c);
  g->loadInit = groupLoadInit;
  g->issueSelector = groupIssueSelector;
  g->minSize = groupMinSize;
  g->appendItem = groupAppend;
  g->removeItem = groupRemove;
  g->insertItem = groupInsert;
  g->arrange = groupArrange;
  g->naturalSizeOfItems = groupNaturalSize;
  vclassSetName(g, vscribeLiteral("vcontainerGroup"));
  s->classes[1] = g;
  auto* x = vclassSpawnOf<vcontainerClassRec>(g);
  x->loadInit = exclusiveLoadInit;
  x->send = exclusiveSend;
  x->appendItem = exclusiveAppend;
  x->arrange = exclusiveArrange;
  vclassSetName(x, vscribeLiteral("vcontainerExclusiveGroup"));
  s->classes[2] = x;
  return s;
}

}  // namespace

vcontainerClassRec* vcontainerGetDefaultClass() { return state()->classes[0]; }
vcontainerClassRec* vcontainerGroupGetDefaultClass() { return state()->classes[1]; }
vcontainerClassRec* vcontainerExclusiveGroupGetDefaultClass() { return state()->classes[2]; }
vcontainer* vcontainerCreate(vcontainerClassRec* cls) { return asC(vinstanceCreate(cls)); }
void vcontainerStartup() { state(); }

vdialogItem* _vcontainerCreateScrollBar() { return vsliderScrollBarCreate(); }

void vcontainerGridLayout(vcontainer* c, const vrect* rect, bool spread) {
  Grid g = measure(c->items, rect->width, spread ? kColumnGap : 0);
  int n = vdialogItemListCount(c->items);
  if (n == 0) return;
  int hgap = (rect->width - g.width) / (spread ? g.columns + 1 : 2);
  int between = spread ? hgap : 0;
  if (spread && g.columns > 1 && hgap < kColumnGap) {
    between = kColumnGap;
    hgap = (rect->width - g.width - (g.columns - 1) * kColumnGap) / 2;
  }
  int vgap = (rect->height - g.height) / (spread ? g.rows + 1 : 2);
  int bottom = rect->y + rect->height;
  for (int row = 0; row < g.rows; ++row) {
    int rowHeight = g.rowHeights[std::size_t(row)];
    int y = bottom - (rowHeight + (spread || row == 0 ? vgap : 0));
    int x = rect->x + hgap;
    for (int col = 0; col < g.columns; ++col) {
      int i = row * g.columns + col;
      if (i >= n) break;
      int w = g.columnWidths[std::size_t(col)];
      vrect cell{s16(x), s16(y), s16(w), s16(rowHeight)};
      vdialogSetItemRect(vdialogItemListAt(c->items, i), &cell);
      x += w + between;
    }
    bottom = y;
  }
}

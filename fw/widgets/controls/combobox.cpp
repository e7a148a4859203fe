// Combo boxes: the box class, the values kept with the choice box's
// rows, the modes of committing, positioning and typing, the key
// selectors, the geometry of entry and choice, and the announcements that
// keep the measured size and the order.
#include "fw/widgets/controls/combobox.h"

#include <algorithm>
#include <cstring>

#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/combobox_internal.h"
#include "fw/widgets/controls/combobox_popdown.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace {

struct ModuleState {
  vcomboboxStandardClassRec* cls;
  vlistitemClassRec* choiceClass;
  vtextitemClassRec* entryClass;
};
void** stateSlot = nullptr;
ModuleState* state();

vcontainerClassRec* super() { return vcontainerGetDefaultClass(); }
vcomboboxStandard* asCombo(void* o) { return static_cast<vcomboboxStandard*>(static_cast<vinstance*>(o)); }
vcomboboxStandardClassRec* rec(vcomboboxStandard* c) { return vcomboboxClassOf(c); }
vname key(const char* text) { return vnameInternLiteral(text); }
int lookId() { return vlafGetCurrent()->id; }
bool windowsFamily() { int l = lookId(); return l == vlafWINDOWS || l == vlafCUA || l == vlafWIN95; }
bool has(const vcomboboxStandard* c, std::uint32_t bit) { return (c->comboFlags & bit) != 0; }

vlist* choiceList(vcomboboxStandard* c) { return c->choice->list; }

// ---- Modes.

int modeAt(const vcomboboxStandard* c, int shift, bool commit) {
  int m = int((c->comboFlags >> shift) & 0xF);
  if (m == vcomboboxMODE_BY_LOOK) m = windowsFamily() ? (commit ? 5 : 3) : 2;
  return m;
}
int commitMode(const vcomboboxStandard* c) { return modeAt(c, 8, true); }
int positionMode(const vcomboboxStandard* c) { return modeAt(c, 12, false); }
int typingMode(const vcomboboxStandard* c) { return modeAt(c, 16, false); }

int matchByMode(vcomboboxStandard* c, vcomboboxValue* v, int mode) {
  switch (mode) {
    case 2: {
      int above = -1, below = -1;
      rec(c)->findNeighbours(c, v, &above, &below);
      return above >= 0 ? above : below;
    }
    case 3: return rec(c)->findPrefix(c, v);
    case 4: {
      int i = rec(c)->findValue(c, v);
      return i < 0 && vcomboboxCount(c) > 0 ? 0 : i;
    }
    case 6: {
      int i = rec(c)->findValue(c, v);
      return i >= 0 ? i : rec(c)->findValue(c, c->committed);
    }
    default: return rec(c)->findValue(c, v);
  }
}

// A null value stands for an empty one made for the call.
template <class Body>
void withValue(vcomboboxStandard* c, vcomboboxValue* v, Body body) {
  if (v) return body(v);
  vcomboboxValue* empty = rec(c)->createValue(c);
  vexGuard([&] { body(empty); },
           [&](vexHandler&) {
             vinstanceDestroy(empty);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(empty);
}

// Sets and restores the updating bit around body.
template <class Body>
void updating(vcomboboxStandard* c, Body body) {
  std::uint32_t was = c->comboFlags & vcomboboxUPDATING;
  c->comboFlags |= vcomboboxUPDATING;
  vexGuard([&] { body(); },
           [&](vexHandler&) {
             c->comboFlags = (c->comboFlags & ~vcomboboxUPDATING) | was;
             _vexGenerate(nullptr, vexEnd);
           });
  c->comboFlags = (c->comboFlags & ~vcomboboxUPDATING) | was;
}

void copyInto(vcomboboxValue* from, vcomboboxValue* to) {
  if (from != to) vclassRec<vobjectClassRec>(to)->copy(from, to);
}

void showInEntry(vcomboboxStandard* c, vcomboboxValue* v) {
  if (has(c, vcomboboxUPDATING)) return;
  vtextitemSetTextChars(c->entry, vcomboboxValueGetText(v));
}

// Makes a clone of v current and destroys the clone.
void setClone(vcomboboxStandard* c, vcomboboxValue* v) {
  auto* clone = static_cast<vcomboboxValue*>(vobjectClone(v));
  vexGuard([&] { rec(c)->setValue(c, clone); },
           [&](vexHandler&) {
             vinstanceDestroy(clone);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(clone);
}

void notifyCombo(vcomboboxStandard* c, vevent* e, int code) { rec(c)->notifyCombo(c, e, code); }

// ---- Choice rows.

void choiceSetRow(vcomboboxStandard* c, vcomboboxValue* v, int row) {
  vlist* l = choiceList(c);
  if (vlistGetColumnCount(l) < 1) vlistSetColumnCount(l, 1);
  vlistSetCell(l, row, 0, reinterpret_cast<vlistCell>(v));
}

void choiceSelectRow(vcomboboxStandard* c, int index) {
  vlist* l = choiceList(c);
  if (index >= 0)
    vlistSelectRange(l, c->choice->selection, index, 0, 1, std::max<std::int32_t>(vlistGetColumnCount(l), 1));
  else if (vlistGetRowCount(l) > 0)
    vlistUnselectRange(l, c->choice->selection, 0, 0, vlistGetRowCount(l), std::max<std::int32_t>(vlistGetColumnCount(l), 1));
}

// ---- Slots.

int compareValues(vcomboboxStandard*, vcomboboxValue* a, vcomboboxValue* b) {
  return vcstrCompareNoCase(vcomboboxValueGetText(a), vcomboboxValueGetText(b));
}

int prefixTest(vcomboboxStandard*, vcomboboxValue* a, vcomboboxValue* b) {
  const char* prefix = vcomboboxValueGetText(a);
  return vcstrCompareNoCaseBounded(prefix, vcomboboxValueGetText(b), std::strlen(prefix)) == 0;
}

void findNeighbours(vcomboboxStandard* c, vcomboboxValue* v, int* above, int* below) {
  *above = *below = -1;
  for (int i = 0; i < vcomboboxCount(c); ++i) {
    vcomboboxValue* other = vcomboboxAt(c, i);
    int d = rec(c)->compareValues(c, v, other);
    if (d == 0) {
      *above = *below = i;
      return;
    }
    if (d < 0 && (*above < 0 || rec(c)->compareValues(c, other, vcomboboxAt(c, *above)) < 0)) *above = i;
    if (d > 0 && (*below < 0 || rec(c)->compareValues(c, other, vcomboboxAt(c, *below)) > 0)) *below = i;
  }
}

int findValue(vcomboboxStandard* c, vcomboboxValue* v) {
  for (int i = 0; i < vcomboboxCount(c); ++i)
    if (rec(c)->compareValues(c, v, vcomboboxAt(c, i)) == 0) return i;
  return -1;
}

int findPrefix(vcomboboxStandard* c, vcomboboxValue* v) {
  for (int i = 0; i < vcomboboxCount(c); ++i)
    if (rec(c)->prefixTest(c, v, vcomboboxAt(c, i))) return i;
  return -1;
}

void appendValue(vcomboboxStandard* c, vcomboboxValue* v) {
  vobjectListAppend(c->values, v);
  vcomboboxValueSetOwner(v, c);
  rec(c)->choiceSetRow(c, v, vlistGetRowCount(choiceList(c)));
  vobjectSendValueChange(c, key("AppendValues"), nullptr, v);
}

void deleteValue(vcomboboxStandard* c, int index) {
  if (index < 0 || index >= vcomboboxCount(c)) return;
  vcomboboxValue* v = vcomboboxAt(c, index);
  vcomboboxValueSetOwner(v, nullptr);
  vlist* l = choiceList(c);
  vlistClassOf(l)->deleteOne(l, index, vlistROWS);
  vobjectListRemoveAt(c->values, index);
  vobjectSendValueChange(c, key("DeleteValues"), v, nullptr);
}

void replaceValue(vcomboboxStandard* c, vcomboboxValue* v, int index) {
  if (index < 0 || index >= vcomboboxCount(c)) return;
  vcomboboxValue* old = vcomboboxAt(c, index);
  vcomboboxValueSetOwner(old, nullptr);
  vobjectListSetAt(c->values, index, v);
  vcomboboxValueSetOwner(v, c);
  rec(c)->choiceSetRow(c, v, index);
  vobjectSendValueChange(c, key("ChangeValues"), old, v);
}

void moveValue(vcomboboxStandard* c, int from, int to) {
  if (from == to) return;
  vobjectListMove(c->values, from, to);
  vlist* l = choiceList(c);
  vlistClassOf(l)->moveOne(l, from, to, vlistROWS);
}

void measureValues(vcomboboxStandard* c, int* w, int* h) {
  *w = 2;
  *h = int((vfontGetHeight(vdialogDetermineItemFont(c)) + 0x8000) >> 16);
  for (int i = 0; i < vcomboboxCount(c); ++i) {
    int vw = 0, vh = 0;
    vcomboboxValueClassOf(vcomboboxAt(c, i))->naturalSize(vcomboboxAt(c, i), &vw, &vh);
    *w = std::max(*w, vw);
    *h = std::max(*h, vh);
  }
}

int getSelectedIndex(vcomboboxStandard* c) { return vlistitemGetSelectedRow(c->choice); }
vcomboboxValue* getValue(vcomboboxStandard* c) { return c->current; }

void selectIndex(vcomboboxStandard* c, int index) {
  bool was = has(c, vcomboboxUPDATING);
  updating(c, [&] { choiceSelectRow(c, index); });
  if (was) return;
  withValue(c, index >= 0 && index < vcomboboxCount(c) ? vcomboboxAt(c, index) : nullptr, [&](vcomboboxValue* v) {
    showInEntry(c, v);
    copyInto(v, c->current);
    copyInto(v, c->committed);
  });
}

// Scrolls the least that shows the row: a row above the view (or the
// first one while it is cut) comes to the top, one at or below the last
// visible row to the bottom.
void choiceShowRow(vlistview* v, int index) {
  std::int32_t rows = vlistGetRowCount(v->list);
  // A closed list has no rows laid out yet; opening shows the selected one.
  if (rows < 1 || index >= rows || !(v->flags & vdialogItemOPEN)) return;
  std::int32_t row = std::max(index, 0);
  if (row < v->firstRow || (row == v->firstRow && v->vOffset > 0)) return vlistviewScrollToCell(v, row, 0);
  if (row < v->lastRow) return;
  vrectLong cell;
  vrect content;
  vlistviewGetCellLongRect(v, row, 0, &cell);  // a row far below must not wrap into view
  _vlistviewGetContentRect(v, &content);
  if (std::int32_t below = content.y - cell.y; below > 0) vlistviewScrollByPixels(v, below, 0);
}

void showIndex(vcomboboxStandard* c, int index) { choiceShowRow(c->choice, index); }

void showValue(vcomboboxStandard* c, vcomboboxValue* v) {
  if (vcomboboxCount(c) == 0) return;
  int mode = positionMode(c);
  if (mode < 1 || mode > 6) return;
  withValue(c, v, [&](vcomboboxValue* value) { rec(c)->showIndex(c, matchByMode(c, value, mode)); });
}

void setValue(vcomboboxStandard* c, vcomboboxValue* v) {
  withValue(c, v, [&](vcomboboxValue* value) {
    bool was = has(c, vcomboboxUPDATING);
    if (!was) {
      showInEntry(c, value);
      copyInto(value, c->current);
      copyInto(value, c->committed);
    }
    c->comboFlags |= vcomboboxUPDATING;
    int index = rec(c)->findValue(c, value);
    vexGuard([&] { rec(c)->selectIndex(c, index); },
             [&](vexHandler&) {
               if (!was) c->comboFlags &= ~vcomboboxUPDATING;
               _vexGenerate(nullptr, vexEnd);
             });
    if (!was) c->comboFlags &= ~vcomboboxUPDATING;
    rec(c)->showValue(c, value);
  });
}

void commit(vcomboboxStandard* c, vcomboboxValue* v) {
  withValue(c, v, [&](vcomboboxValue* value) {
    int mode = commitMode(c);
    switch (mode) {
      case 1: {
        int i = rec(c)->findValue(c, value);
        if (i >= 0) return rec(c)->selectIndex(c, i);
        auto* clone = static_cast<vcomboboxValue*>(vobjectClone(value));
        rec(c)->appendValue(c, clone);
        rec(c)->setValue(c, clone);
        return;
      }
      case 2: case 3: case 4: return rec(c)->selectIndex(c, matchByMode(c, value, mode));
      case 5: return setClone(c, value);
      case 6: {
        int i = rec(c)->findValue(c, value);
        if (i >= 0) return rec(c)->selectIndex(c, i);
        return setClone(c, c->committed);
      }
      default: return;
    }
  });
}

void typed(vcomboboxStandard* c, vcomboboxValue* v) {
  withValue(c, v, [&](vcomboboxValue* value) {
    int mode = typingMode(c);
    if (mode >= 1 && mode <= 4) return rec(c)->selectIndex(c, matchByMode(c, value, mode));
    if (mode == 5) return setClone(c, value);
    if (mode == 6) {
      int i = rec(c)->findValue(c, value);
      if (i >= 0) return rec(c)->selectIndex(c, i);
      setClone(c, c->committed);
    }
  });
}

void notifySlot(vcomboboxStandard* c, vevent* e, int code) {
  if (c->notify) c->notify(c, e, code);
}

void setAutoSort(vcomboboxStandard* c, int on) {
  if (has(c, vcomboboxAUTO_SORT) == (on != 0)) return;
  c->comboFlags ^= vcomboboxAUTO_SORT;
  vobjectSendValueChange(c, key("AutoSort"), nullptr, nullptr);
}

void entrySetModifiable(vcomboboxStandard* c, int on) {
  vtextitemSetModifiable(c->entry, on);
  vtextitemSetSelectable(c->entry, on);
  vdialogItemClassOf(c->entry)->setFocusable(c->entry, (c->flags & vdialogItemFOCUSABLE) != 0);
  if (lookId() == vlafMOTIF) vdialogSetItemBorder(c->entry, on);
}

void setModifiable(vcomboboxStandard* c, int on) {
  c->comboFlags = on ? c->comboFlags | vcomboboxMODIFYABLE : c->comboFlags & ~vcomboboxMODIFYABLE;
  entrySetModifiable(c, on);
  vobjectSendValueChange(c, key("Modifyable"), nullptr, nullptr);
}

void setCyclic(vcomboboxStandard* c, int on) {
  c->comboFlags = on ? c->comboFlags | vcomboboxCYCLIC : c->comboFlags & ~vcomboboxCYCLIC;
  vlistviewSetOptions(c->choice, vlistviewWRAP, on);
}

void setVisibleValues(vcomboboxStandard* c, std::int32_t n) {
  c->visibleValues = n;
  vlistitemSetVisibleRows(c->choice, n);
  vobjectSendValueChange(c, key("VisibleValues"), nullptr, nullptr);
}

// In-place merge sort through the move slot, so that the rows follow.
void sortRange(vcomboboxStandard* c, int lo, int hi) {
  int n = hi - lo + 1;
  if (n < 2) return;
  if (n == 2) {
    if (rec(c)->compareValues(c, vcomboboxAt(c, lo), vcomboboxAt(c, hi)) > 0) rec(c)->moveValue(c, hi, lo);
    return;
  }
  int mid = lo + n / 2;
  sortRange(c, lo, mid);
  sortRange(c, mid + 1, hi);
  for (int i = lo, j = mid + 1; i < j && j <= hi; ++i)
    if (rec(c)->compareValues(c, vcomboboxAt(c, i), vcomboboxAt(c, j)) > 0) rec(c)->moveValue(c, j++, i);
}

void sort(vcomboboxStandard* c) {
  if (vcomboboxCount(c) == 0) return;
  auto* keep = static_cast<vcomboboxValue*>(vobjectClone(c->current));
  vexGuard(
      [&] {
        choiceSelectRow(c, -1);
        sortRange(c, 0, vcomboboxCount(c) - 1);
        rec(c)->setValue(c, keep);
      },
      [&](vexHandler&) {
        vinstanceDestroy(keep);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(keep);
  vobjectSendValueChange(c, vname_Content, nullptr, nullptr);
}

// One value moved into its sorted place among the others.
void placeValue(vcomboboxStandard* c, vcomboboxValue* v) {
  int n = vcomboboxCount(c);
  if (n < 2) return;
  int at = rec(c)->findValue(c, v);
  if (at < 0) return;
  vcomboboxValue* moving = vcomboboxAt(c, at);
  rec(c)->moveValue(c, at, n - 1);
  int lo = 0, hi = n - 2;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int d = rec(c)->compareValues(c, moving, vcomboboxAt(c, mid));
    if (d == 0) break;
    if (d < 0) hi = mid - 1; else lo = mid + 1;
  }
  rec(c)->moveValue(c, n - 1, lo);
}

// A value measured in the box's font, also one handed out and no longer owned.
void measure(vcomboboxStandard* c, vcomboboxValue* v, int* w, int* h) {
  vobject* owner = v->owner;
  v->owner = c;
  vcomboboxValueClassOf(v)->naturalSize(v, w, h);
  v->owner = owner;
}

// Grows the measured size to cover v; whether it grew.
bool cover(vcomboboxStandard* c, vcomboboxValue* v) {
  int w = 0, h = 0;
  measure(c, v, &w, &h);
  bool grew = w > c->valueWidth || h > c->valueHeight;
  c->valueWidth = std::max(c->valueWidth, w);
  c->valueHeight = std::max(c->valueHeight, h);
  return grew;
}

int widthOf(vcomboboxStandard* c, vcomboboxValue* v) {
  int w = 0, h = 0;
  measure(c, v, &w, &h);
  return w;
}

void announceFont(vcomboboxStandard* c) { vobjectSendValueChange(c, vname_Font, nullptr, nullptr); }

void send(vobject* self, vname name, vdict* args) {
  vcomboboxStandard* c = asCombo(self);
  if (name == vname_Font) rec(c)->measureValues(c, &c->valueWidth, &c->valueHeight);
  const char* title = c->title;
  c->title = "";
  vexGuard([&] { super()->send(self, name, args); },
           [&](vexHandler&) {
             c->title = title;
             _vexGenerate(nullptr, vexEnd);
           });
  c->title = title;
  auto* value = args ? static_cast<vcomboboxValue*>(const_cast<void*>(vdictGet(args, vname_Value))) : nullptr;
  auto* old = args ? static_cast<vcomboboxValue*>(const_cast<void*>(vdictGet(args, vname_OldValue))) : nullptr;
  if (name == key("AppendValues") || name == key("ChangeValues")) {
    if (!value) {
      if (has(c, vcomboboxAUTO_SORT)) rec(c)->sort(c);
      return announceFont(c);
    }
    if (has(c, vcomboboxAUTO_SORT)) placeValue(c, value);
    int widest = c->valueWidth;
    if (!cover(c, value) && name == key("ChangeValues") && old && widthOf(c, old) == widest) announceFont(c);
  } else if (name == key("DeleteValues")) {
    if (!old || widthOf(c, old) == c->valueWidth) announceFont(c);
  } else if (name == key("Modifyable") || name == key("VisibleValues") || name == key("AutoSort")) {
    if (name != key("AutoSort")) vobjectSendValueChange(c, vname_MinSize, nullptr, nullptr);
    if (has(c, vcomboboxAUTO_SORT)) rec(c)->sort(c);
  }
}

// ---- Selectors.

int moveSelection(vcomboboxStandard* c, int index, vevent* e) {
  int before = rec(c)->getSelectedIndex(c);
  rec(c)->selectIndex(c, index);
  if (rec(c)->getSelectedIndex(c) != before) notifyCombo(c, e, vcomboboxSELECTION);
  rec(c)->showIndex(c, index);
  notifyCombo(c, e, vcomboboxSHOWN);
  return 1;
}

int step(vcomboboxStandard* c, int distance, vevent* e) {
  int n = vcomboboxCount(c);
  if (n == 0) return 1;
  int i = rec(c)->findValue(c, c->current);
  if (i < 0) {
    int above = -1, below = -1;
    rec(c)->findNeighbours(c, c->current, &above, &below);
    i = distance < 0 ? (below >= 0 ? below : above) : (above >= 0 ? above : below);
  }
  if (i == rec(c)->getSelectedIndex(c)) i += distance;
  bool cyclic = has(c, vcomboboxCYCLIC);
  if (i < 0) i = cyclic ? n - 1 : 0;
  if (i >= n) i = cyclic ? 0 : n - 1;
  return moveSelection(c, i, e);
}

int issueSelector(vobject* self, int selector, vdict* context) {
  vcomboboxStandard* c = asCombo(self);
  auto* e = context && vdictHas(context, vname_Event)
                ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event)))
                : nullptr;
  bool modifiable = has(c, vcomboboxMODIFYABLE);
  int page = c->visibleValues;
  switch (selector) {
    case 3: {
      if (c->owner && (c->flags & vdialogItemENABLED) && (c->flags & vdialogItemFOCUSABLE)) {
        int at = vobjectListIndexOf(c->owner, c);
        if (at >= 0 && c->owner->focus != at) vdialogItemListSetFocusIndex(c->owner, at);
      }
      if (e && veventGetKey(e) == 0x20) return super()->issueSelector(self, selector, context);
      vcomboboxValue* v = rec(c)->getValue(c);
      rec(c)->commit(c, v);
      if (modifiable) notifyCombo(c, e, vcomboboxCOMMITTING);
      rec(c)->showValue(c, v);
      if (modifiable) notifyCombo(c, e, vcomboboxSHOWN);
      return 1;
    }
    case 8: case 9:
      if (vcomboboxCount(c) == 0) return 1;
      return moveSelection(c, selector == 8 ? 0 : vcomboboxCount(c) - 1, e);
    case 10: case 14: if (modifiable) return 0; return step(c, selector == 10 ? -1 : -page, e);
    case 11: case 15: if (modifiable) return 0; return step(c, selector == 11 ? 1 : page, e);
    case 12: case 16: return step(c, selector == 12 ? -1 : -page, e);
    case 13: case 17: return step(c, selector == 13 ? 1 : page, e);
    default: return super()->issueSelector(self, selector, context);
  }
}

int keyDown(vdialogItem* self, vevent* e) {
  if (vdialogItemGetDefaultClass()->keyDown(self, e)) return 1;
  return super()->keyDown(self, e);
}

// ---- Geometry.

int lookGap(vcomboboxStandard*) {
  switch (lookId()) {
    case vlafWINDOWS: return -1;
    case vlafMOTIF: return 10;
    case vlafCUA: return -2;
    case vlafWIN95: return 1;
    default: return 5;
  }
}

int entryHeight(vcomboboxStandard* c) {
  int w = 0, h = 0;
  vdialogGetItemMinSize(c->entry, &w, &h);
  return h;
}

void arrange(vcontainer* self, const vrect*) {
  vcomboboxStandard* c = asCombo(self);
  int W = c->bounds.width, H = c->bounds.height, E = entryHeight(c), G = rec(c)->lookGap(c);
  int B = _vcomboboxGetLookOffset(c);
  bool top = windowsFamily();
  auto s16 = [](int v) { return std::int16_t(v); };
  vrect entry{0, s16(top ? H - E : 0), s16(W), s16(E)};
  vrect choice{s16(B), s16(top ? 0 : E + G), s16(W - B), s16(std::max(H - G - E, 0))};
  vdialogSetItemRect(c->entry, &entry);
  vdialogSetItemRect(c->choice, &choice);
  _vlistviewUpdateAutoVScroll(c->choice);
}

void sizes(vcomboboxStandard* c, int* w, int* h, bool natural) {
  int ew = 0, eh = 0, cw = 0, ch = 0;
  vdialogGetItemMinSize(c->entry, &ew, &eh);
  if (natural) vdialogGetItemNaturalSize(c->choice, &cw, &ch); else vdialogGetItemMinSize(c->choice, &cw, &ch);
  *w = std::max(ew, cw) + _vcomboboxGetLookOffset(c);
  *h = ch + rec(c)->lookGap(c) + eh;
  if (c->flags & vdialogItemBORDER) {
    int b = int(vdialogGetItemLineWidth(c));
    if (b < 2 && (vlafGetCurrent()->flags & vlaf3D) && (c->containerFlags & vcontainerFLAT)) b = 2;
    *w += 2 * b;
    *h += 2 * b;
  }
}

void open(vdialogItem* self) {
  vcomboboxStandard* c = asCombo(self);
  if (c->flags & vdialogItemOPEN) return;
  vrect r{0, 0, c->bounds.width, c->bounds.height};
  vcontainerClassOf(c)->arrange(c, &r);
  super()->open(self);
  if (int selected = rec(c)->getSelectedIndex(c); selected >= 0) rec(c)->showIndex(c, selected);
}

void setStateOfChildren(vdialogItem* self, bool enable) {
  vcomboboxStandard* c = asCombo(self);
  if (((c->flags & vdialogItemENABLED) != 0) == enable) return;
  for (vdialogItem* child : {static_cast<vdialogItem*>(c->entry), static_cast<vdialogItem*>(c->choice)})
    enable ? vdialogEnableItem(child) : vdialogDisableItem(child);
  enable ? super()->enable(self) : super()->disable(self);
}

// ---- Children.

vcomboboxEntrybox* createEntrybox(vcomboboxStandard* c) {
  auto* e = static_cast<vcomboboxEntrybox*>(vinstanceCreate(state()->entryClass));
  vtextitemSetTextChars(e, nullptr);
  vtextitemSetOneLine(e, 1);
  // Unfocused highlight 4; highlight bits 0x0100 off, 0x0200 on.
  e->viewFlags = (e->viewFlags & ~(0x7u << 10) & ~0x0100u) | (4u << 10) | 0x0200u;
  e->leftMargin = 1;
  e->rightMargin = 0;
  bool on = has(c, vcomboboxMODIFYABLE);
  vtextitemSetModifiable(e, on);
  vtextitemSetSelectable(e, on);
  if (lookId() == vlafMOTIF) vdialogSetItemBorder(e, on);
  vdialogItemClassOf(e)->setFocusable(e, (c->flags & vdialogItemFOCUSABLE) != 0);
  vdialogItemClassOf(e)->setClickFocus(e, (c->flags & vdialogItemCLICK_FOCUS) != 0);
  if (!(c->flags & vdialogItemENABLED)) vdialogDisableItem(e);
  return e;
}

vcomboboxChoicebox* createChoicebox(vcomboboxStandard* c) {
  auto* b = static_cast<vcomboboxChoicebox*>(vinstanceCreate(state()->choiceClass));
  vlistitemSetAutoWidth(b, 0);  // its cells hold values, not strings
  _vcomboboxPrepareChoiceList(c, b, vlafGetCurrent()->metric);
  vdialogItemClassOf(b)->setOwner(b, nullptr);
  if (!(c->flags & vdialogItemENABLED)) vdialogDisableItem(b);
  return b;
}

void detachChildren(vcomboboxStandard* c) {
  for (vdialogItem* child : {static_cast<vdialogItem*>(c->entry), static_cast<vdialogItem*>(c->choice)})
    if (child && child->owner) vcontainerRemoveItem(c, child);
}

void attachChildren(vcomboboxStandard* c) {
  vcontainerAppendItem(c, c->entry);
  vcontainerAppendItem(c, c->choice);
  vcontainerClassOf(c)->setDefaultFocusItem(c, c->entry);
}

void init(vinstance* self) {
  super()->init(self);
  vcomboboxStandard* c = asCombo(self);
  c->comboFlags = vcomboboxNEW_FLAGS;
  c->values = vobjectListCreate();
  c->notify = nullptr;
  c->visibleValues = 5;
  c->entry = nullptr;
  c->choice = nullptr;
  rec(c)->measureValues(c, &c->valueWidth, &c->valueHeight);
  c->current = rec(c)->createValue(c);
  c->committed = rec(c)->createValue(c);
  c->choice = rec(c)->createChoicebox(c);
  c->entry = rec(c)->createEntrybox(c);
  vdialogItemClassOf(c)->setFocusable(c, 1);
  vdialogItemClassOf(c)->setClickFocus(c, 1);
  vdialogItemClassOf(c)->setTextFocus(c, 1);
  vdialogSetItemBorder(c, 0);
  vcontainerSetFlat(c, 1);
  attachChildren(c);
}

void destroyIfAny(vinstance* o) {
  if (o) vinstanceDestroy(o);
}

void destroy(vinstance* self) {
  vcomboboxStandard* c = asCombo(self);
  vdialogCloseItem(c);
  detachChildren(c);
  // The rows point at the values: the choice box goes first.
  destroyIfAny(c->choice);
  destroyIfAny(c->entry);
  destroyIfAny(c->committed);
  destroyIfAny(c->current);
  destroyIfAny(c->values);
  c->choice = nullptr;
  c->entry = nullptr;
  c->committed = c->current = nullptr;
  c->values = nullptr;
  super()->destroy(self);
}

// ---- The resource form and copies.

// Every value owned by the box and shown in its row; the owner measures again.
void reown(vcomboboxStandard* c) {
  for (int i = 0; i < vcomboboxCount(c); ++i) {
    vcomboboxValueSetOwner(vcomboboxAt(c, i), c);
    rec(c)->choiceSetRow(c, vcomboboxAt(c, i), i);
  }
  vobjectSendValueChange(c, key("ChangeValues"), nullptr, nullptr);
}

// Runs body with both boxes' children out of their item lists, so that
// the container's own copying and storing leaves them alone.
// Children a subclass keeps elsewhere (out of the box) stay where they are.
template <class Body>
void detached(std::initializer_list<vcomboboxStandard*> boxes, Body body) {
  bool wasAttached[2] = {};
  int n = 0;
  for (vcomboboxStandard* c : boxes) {
    wasAttached[n++] = c->entry && c->entry->owner == c->items;
    detachChildren(c);
  }
  auto reattach = [&] {
    int i = 0;
    for (vcomboboxStandard* c : boxes)
      if (wasAttached[i++] && c->entry && c->choice && !c->entry->owner) attachChildren(c);
  };
  vexGuard([&] { body(); },
           [&](vexHandler&) {
             reattach();
             _vexGenerate(nullptr, vexEnd);
           });
  reattach();
}

void copyFields(vcomboboxStandard* from, vcomboboxStandard* to) {
  to->comboFlags = from->comboFlags & ~vcomboboxUPDATING;
  to->notify = from->notify;
  to->visibleValues = from->visibleValues;
  to->valueWidth = from->valueWidth;
  to->valueHeight = from->valueHeight;
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vcomboboxStandard* from = asCombo(source);
  vcomboboxStandard* to = asCombo(destination);
  detached({from, to}, [&] {
    super()->copy(source, destination);
    copyFields(from, to);
    vclassRec<vobjectClassRec>(to->values)->copy(from->values, to->values);
    copyInto(from->current, to->current);
    copyInto(from->committed, to->committed);
    std::int32_t measured = to->choice && to->choice->size ? to->choice->size->defaultHeight : -1;
    destroyIfAny(to->choice);
    destroyIfAny(to->entry);
    to->choice = nullptr;
    to->entry = nullptr;
    to->choice = static_cast<vcomboboxChoicebox*>(vobjectClone(from->choice));
    to->entry = static_cast<vcomboboxEntrybox*>(vobjectClone(from->entry));
    // A shown box opens the new rows at once, and their first fitting asks
    // for a row height: the one this box measured stands until it refits.
    if (vlistsize* size = to->choice->size; size && size->defaultHeight < 0 && measured >= 0)
      vlistsizeClassOf(size)->setDefaultHeight(size, measured);
    reown(to);
  });
}

void copyInit(vobject* source, vobject* destination) {
  vcomboboxStandard* from = asCombo(source);
  vcomboboxStandard* to = asCombo(destination);
  detached({from}, [&] {
    super()->copyInit(source, destination);
    copyFields(from, to);
    to->values = nullptr;
    to->current = to->committed = nullptr;
    to->entry = nullptr;
    to->choice = nullptr;
    to->values = static_cast<vobjectList*>(vobjectClone(from->values));
    to->current = static_cast<vcomboboxValue*>(vobjectClone(from->current));
    to->committed = static_cast<vcomboboxValue*>(vobjectClone(from->committed));
    to->choice = static_cast<vcomboboxChoicebox*>(vobjectClone(from->choice));
    to->entry = static_cast<vcomboboxEntrybox*>(vobjectClone(from->entry));
    reown(to);
  });
  attachChildren(to);
}

bool isValue(vobject* o) { return o && vclassIsSubclass(o->cls, vcomboboxValueGetDefaultClass()); }

// A stored object that must be a value, destroyed when it is not.
vcomboboxValue* loadValue(vresource r) {
  vobject* o = vobjectLoad(r);
  if (!isValue(o)) {
    if (o) vinstanceDestroy(o);
    vexGenerateMessage(&vexArgClass, "vcombobox: \"Value\" is not a combo-box value");
  }
  return static_cast<vcomboboxValue*>(o);
}

vobjectList* loadValues(vresource r) {
  vobject* o = vobjectLoad(r);
  bool ok = o && vclassIsSubclass(o->cls, vobjectListGetDefaultClass());
  if (ok) {
    auto* list = static_cast<vobjectList*>(o);
    for (int i = 0; i < vobjectListCount(list) && ok; ++i) ok = isValue(vobjectListAt(list, i));
  }
  if (!ok) {
    if (o) vinstanceDestroy(o);
    vexGenerateMessage(&vexArgClass, "vcombobox: \"Values\" holds an object that is not a combo-box value");
  }
  return static_cast<vobjectList*>(o);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vcomboboxStandard* c = asCombo(self);
  // Everything the box owns exists before the first required read, so
  // that a load failing on a missing key destroys cleanly.
  c->comboFlags = vcomboboxNEW_FLAGS;
  c->notify = nullptr;
  c->visibleValues = 5;
  c->values = nullptr;
  c->current = c->committed = nullptr;
  c->entry = nullptr;
  c->choice = nullptr;
  c->values = vobjectListCreate();
  c->current = rec(c)->createValue(c);
  c->committed = rec(c)->createValue(c);
  c->choice = rec(c)->createChoicebox(c);
  c->entry = rec(c)->createEntrybox(c);
  c->valueWidth = 2;
  c->valueHeight = 0;

  c->comboFlags = std::uint32_t(vresourceGetInteger(resource, key("vcomboboxFlags"))) & ~vcomboboxUPDATING;
  vobjectList* loaded = loadValues(vresourceGet(resource, key("Values")));
  vinstanceDestroy(c->values);
  c->values = loaded;
  c->visibleValues = vresourceGetInteger(resource, key("VisibleValues"));
  vcomboboxValue* value = loadValue(vresourceGet(resource, vname_Value));

  entrySetModifiable(c, has(c, vcomboboxMODIFYABLE));
  vlistitemSetVisibleRows(c->choice, c->visibleValues);
  vlistviewSetOptions(c->choice, vlistviewWRAP, has(c, vcomboboxCYCLIC));
  rec(c)->measureValues(c, &c->valueWidth, &c->valueHeight);
  attachChildren(c);
  vexGuard(
      [&] {
        reown(c);
        rec(c)->setValue(c, value);
      },
      [&](vexHandler&) {
        vinstanceDestroy(value);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(value);
}

void store(vobject* self, vresource resource) {
  vcomboboxStandard* c = asCombo(self);
  detached({c}, [&] {
    super()->store(self, resource);
    vresourceSetIntegerAt(resource, key("vcomboboxFlags"), std::int32_t(c->comboFlags & ~vcomboboxUPDATING));
    vclassRec<vobjectClassRec>(c->values)->store(c->values, vresourceCreate(resource, key("Values"), vresDICTIONARY));
    vresourceSetIntegerAt(resource, key("VisibleValues"), c->visibleValues);
    vclassRec<vobjectClassRec>(c->current)->store(c->current, vresourceCreate(resource, vname_Value, vresDICTIONARY));
  });
}

// ---- Drawing.

void draw(vdialogItem* self) {
  vcomboboxStandard* c = asCombo(self);
  // Without a colour of its own the box may let its owner's background show.
  if (_vcontainerFillsBackground(c)) {
    vcolor* entry = vdrawGetState()->color;
    vcolorScheme s{};
    vdialogDetermineItemScheme(c, 4, &s);
    if (s.mask & 4) vdrawSetColor(s.entries[2]);
    vdrawRectFill(c->rect.x, c->rect.y, c->rect.width, c->rect.height);
    vdrawSetColor(entry);
  }
  int look = lookId();
  bool framedByLook = look != vlafWINDOWS && look != vlafOPEN_LOOK && look != vlafCUA && look != vlafWIN95;
  if ((c->flags & vdialogItemBORDER) && framedByLook && _vcontainerMeetsClip(c->rect)) {
    if (vlafGetCurrent()->flags & vlaf3D)
      vdrawRectsFrameShaded(&c->rect, 1, nullptr, vdialogGetItemColor(c, 6), vdialogGetItemColor(c, 4));
    else
      vdrawRectsFrame(&c->rect, 1);
  }
  if (!_vcontainerMeetsClip(c->content)) return;
  vdrawGSave();
  vdrawClipRects(&c->content, 1);
  vdrawTranslate(c->bounds.x, c->bounds.y);
  vdialogItemListDraw(c->items);
  vdrawGRestore();
}

void setFocusable(vdialogItem* self, int on) {
  super()->setFocusable(self, on);
  if (auto* e = asCombo(self)->entry) vdialogItemClassOf(e)->setFocusable(e, on);
}
void setClickFocus(vdialogItem* self, int on) {
  super()->setClickFocus(self, on);
  if (auto* e = asCombo(self)->entry) vdialogItemClassOf(e)->setClickFocus(e, on);
}

// ---- Classes.

ModuleState* makeState() {
  auto* s = static_cast<ModuleState*>(vmoduleBindSlot(stateSlot, sizeof(ModuleState)));
  vcomboboxValueGetDefaultClass();
  for (const char* tag : {"AppendValues", "AutoSort", "ChangeValues", "DeleteValues", "vcomboboxFlags", "Modifyable",
                          "VisibleValues"})
    vnameInternLiteral(tag);

  s->entryClass = _vcomboboxMakeEntryClass();
  s->choiceClass = _vcomboboxMakeChoiceClass();

  auto* c = vclassSpawnOf<vcomboboxStandardClassRec>(vcontainerGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vcomboboxStandard"));
  c->instanceSize = sizeof(vcomboboxStandard);
  c->defaultWidth = c->defaultHeight = 100;
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->draw = draw;
  c->send = send;
  c->issueSelector = issueSelector;
  c->open = open;
  c->enable = [](vdialogItem* self) { setStateOfChildren(self, true); };
  c->disable = [](vdialogItem* self) { setStateOfChildren(self, false); };
  c->naturalSize = [](vdialogItem* self, int* w, int* h) { sizes(asCombo(self), w, h, true); };
  c->minSize = [](vdialogItem* self, int* w, int* h) { sizes(asCombo(self), w, h, false); };
  c->keyDown = keyDown;
  c->setFocusable = setFocusable;
  c->setClickFocus = setClickFocus;
  c->arrange = arrange;
  c->commit = commit;
  c->appendValue = appendValue;
  c->compareValues = compareValues;
  c->createChoicebox = createChoicebox;
  c->createEntrybox = createEntrybox;
  c->createValue = [](vcomboboxStandard*) { return vcomboboxValueCreate(); };
  c->deleteValue = deleteValue;
  c->findNeighbours = findNeighbours;
  c->findValue = findValue;
  c->findPrefix = findPrefix;
  c->lookGap = lookGap;
  c->getSelectedIndex = getSelectedIndex;
  c->getValue = getValue;
  c->measureValues = measureValues;
  c->prefixTest = prefixTest;
  c->moveValue = moveValue;
  c->notifyCombo = notifySlot;
  c->showIndex = showIndex;
  c->showValue = showValue;
  c->typed = typed;
  c->selectIndex = selectIndex;
  c->setAutoSort = setAutoSort;
  c->setModifiable = setModifiable;
  c->setCyclic = setCyclic;
  c->setValue = setValue;
  c->replaceValue = replaceValue;
  c->setVisibleValues = setVisibleValues;
  c->sort = sort;
  c->choiceSetRow = choiceSetRow;
  s->cls = c;
  return s;
}

ModuleState* state() {
  if (!*vmoduleSlot(stateSlot)) return makeState();
  return static_cast<ModuleState*>(*stateSlot);
}

}  // namespace

void _vcomboboxTypedUpdating(vcomboboxStandard* c, vcomboboxValue* v) {
  updating(c, [&] { rec(c)->typed(c, v); });
}

vcomboboxStandardClassRec* vcomboboxGetDefaultClass() { return state()->cls; }
vtextitemClassRec* vcomboboxGetEntryboxClass() { return state()->entryClass; }
vlistitemClassRec* vcomboboxGetChoiceboxClass() { return state()->choiceClass; }
vcomboboxStandard* vcomboboxCreate() { return asCombo(vinstanceCreate(vcomboboxGetDefaultClass())); }
void vcomboboxStartup() {
  vcomboboxGetDefaultClass();
  vcomboboxPopdownGetDefaultClass();
}

vcomboboxStandard* _vcomboboxFindStandard(vdialogItem* item) {
  vdialogItemList* list = item ? item->owner : nullptr;
  vobject* parent = list ? list->owner : nullptr;
  if (!parent) return nullptr;
  if (vclassIsSubclass(parent->cls, vcomboboxGetDefaultClass())) return asCombo(parent);
  if (vclassIsSubclass(parent->cls, vdialogGetDefaultClass())) {
    auto* data = static_cast<vobject*>(static_cast<vdialog*>(parent)->data);
    if (data && vclassIsSubclass(data->cls, vcomboboxGetDefaultClass())) return asCombo(data);
  }
  return nullptr;
}

void _vcomboboxPrepareChoiceList(vcomboboxStandard* c, vlistitem* list, int windowsMargin) {
  vlistitemSetVisibleRows(list, c->visibleValues);
  vlistviewSetOptions(list, vlistviewWRAP, has(c, vcomboboxCYCLIC));
  _vlistviewSetFlag21(list, 1);
  _vlistviewSetAutoVScroll(list, 1);
  // The bar shares the box's frame line in the Windows look.
  if (lookId() == vlafWINDOWS) vlistviewSetScrollBarMargin(list, -windowsMargin);
  vdialogItemClassOf(list)->setFocusable(list, 0);
  vdialogItemClassOf(list)->setClickFocus(list, 0);
}

int _vcomboboxGetLookOffset(vcomboboxStandard* c) {
  return lookId() == vlafWINDOWS && has(c, vcomboboxMODIFYABLE) ? 5 : 0;
}

// The notebook's drawing (the sheet stack around the tabs, the footer with
// its page number and buttons, the page) and the routing of a press to
// the tab sets, the buttons or the page.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/notebook/notebook_internal.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }
vnotebook* asN(void* o) { return static_cast<vnotebook*>(o); }
vnotebookClassRec* nrec(vnotebook* n) { return vnotebookClassOf(n); }
bool has(const vnotebook* n, std::uint32_t bit) { return (n->notebookFlags & bit) != 0; }
int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }

// Every rectangle of the update region inside r.
bool clipInside(const vrect& r) {
  vrect* clip = nullptr;
  int n = 0;
  vdrawGetClipRects(&clip, &n);
  if (n == 0) return false;
  for (int i = 0; i < n; ++i)
    if (!vrectContainsRect(&r, &clip[i])) return false;
  return true;
}

void drawNumber(vnotebook* n, const vrect* rect) {
  int current = 0, total = 0;
  vnotebookGetPageNumbers(n, &current, &total);
  char text[48];
  std::snprintf(text, sizeof text, "Page %d of %d", current, total);
  int length = int(std::strlen(text));
  vfont* font = vdialogDetermineItemFont(n);
  vdrawSetFont(font);
  int width = rounded(vfontGetCharsWidth(font, text, length));
  vrect r = *rect;
  switch (n->notebookFlags & vnotebookALIGN_MASK) {
    case 0: r.x = s16(r.x + r.width - width); r.width = s16(width); break;
    case 1: r.x = s16(r.x + (r.width - width) / 2); r.width = s16(width); break;
    default: break;
  }
  _vnotebookPaint(n, *rect);
  vdrawCharsAt(text, length, &r, 2);
}

void drawSheet(vnotebook* n, int index, const vrect* rect) {
  double lineWidth = vdrawGetState()->lineWidth;
  vdrawSetLineWidth(1);
  vcolorScheme s{};
  vdialogDetermineItemColors(n, 0x55, &s);
  auto at = [&](int i) { return (s.mask & vcolorSchemeBit(i)) ? s.entries[i] : nullptr; };
  if (_vnotebookTwoLineLooks()) {
    vdrawRectsFrameShaded(rect, 1, nullptr, at(vcolorSHADOW_TOP), at(vcolorFOREGROUND));
    vrect inner;
    vrectInset(rect, 1, 1, &inner);
    vdrawRectsFrameShaded(&inner, 1, nullptr, at(vcolorSHADOW_TOP), at(vcolorSHADOW_BOTTOM));
  } else {
    vcolor* entry = vdrawGetState()->color;
    if (index > 0) {
      bool last = index == n->sheetCount - 1;
      if (!last && at(vcolorBACKGROUND)) vdrawSetColor(at(vcolorBACKGROUND));
      vdrawFillRects(rect, 1);
      vdrawSetColor(entry);
    }
    std::int16_t look = vlafGetCurrent()->id;
    if (index == 0 && (look == vlafMOTIF || look == vlafOPEN_LOOK)) {
      vcolorScheme k{};
      vdialogDetermineItemColors(n, 80, &k);
      vdrawRectsFrameShaded(rect, 1, nullptr, k.entries[4], k.entries[6]);
    } else {
      vdrawRectsFrame(rect, 1);
    }
  }
  vdrawSetLineWidth(lineWidth);
}

// The front sheet, then each deeper one only where it sticks out past the
// tabs and the sheets before it; the binding band; the joining line.
void drawSheets(vnotebook* n) {
  std::vector<vrect> excluded;
  for (vnotebookTabSet* set : {n->majorTabs, n->minorTabs})
    if (set) nrec(n)->getTabsRegion(n, set, &excluded);
  vrect sheet = n->sheetRect;
  for (int i = 0; i < n->sheetCount; ++i) {
    if (i > 0) {
      excluded.push_back(sheet);
      sheet = _vnotebookSheetBack(n, i);
    }
    std::vector<vrect> grown;
    for (const vrect& r : excluded) grown.push_back(r);
    vrect outline{s16(sheet.x), s16(sheet.y), s16(sheet.width + 1), s16(sheet.height + 1)};
    std::vector<vrect> allowed = _vnotebookSubtract(outline, grown);
    if (allowed.empty()) continue;
    vdrawGSave();
    vdrawClipRects(allowed.data(), int(allowed.size()));
    nrec(n)->drawSheet(n, i, &sheet);
    vdrawGRestore();
  }
  const vrect& f = n->sheetRect;
  int b = vnotebookGetStyleValue(n, vnotebookBINDING_WIDTH);
  if (b > 0) {
    vrect band{};
    switch (vnotebookMajorSide(n)) {
      case vnotebookSideRIGHT: band = {f.x, f.y, s16(b), f.height}; break;
      case vnotebookSideLEFT: band = {s16(f.x + f.width - b), f.y, s16(b), f.height}; break;
      case vnotebookSideBOTTOM: band = {f.x, s16(f.y + f.height - b), f.width, s16(b)}; break;
      default: band = {f.x, f.y, f.width, s16(b)}; break;
    }
    vdrawFillRects(&band, 1);
  }
  if (n->sheetCount <= 1) return;
  int major = vnotebookMajorSide(n), minor = vnotebookMinorSide(n);
  int left = f.x, right = f.x + f.width - 1, bottom = f.y, top = f.y + f.height - 1;
  int x = left, y = bottom;
  switch (major) {
    case vnotebookSideRIGHT: x = left, y = minor == vnotebookSideTOP ? top : bottom; break;
    case vnotebookSideLEFT: x = right, y = minor == vnotebookSideTOP ? top : bottom; break;
    case vnotebookSideBOTTOM: x = minor == vnotebookSideLEFT ? left : right, y = top; break;
    default: x = minor == vnotebookSideLEFT ? left : right, y = bottom; break;
  }
  int depth = n->sheetCount - 1;
  vdrawNewPath();
  vdrawPathMoveTo(x, y);
  vdrawRLineTo(depth * n->sheetDx, depth * n->sheetDy);
  if (major <= vnotebookSideLEFT) vdrawRLineTo(n->sheetDx, 0);
  else vdrawRLineTo(0, n->sheetDy);
  vdrawClosePath();
  vdrawStroke();
}

void draw(vdialogItem* item) {
  vnotebook* n = asN(item);
  int t = 0, l = 0, b = 0, r = 0;
  vnotebookGetTabInsets(n, &t, &l, &b, &r);
  vrect a{s16(n->rect.x + l), s16(n->rect.y + b), s16(n->rect.width - l - r), s16(n->rect.height - b - t)};
  _vnotebookFillBackground(n, a);
  if (_vnotebookPlaced(n)) {
    if (!clipInside(n->content)) nrec(n)->drawSheets(n);
    for (vnotebookTabSet* set : {n->majorTabs, n->minorTabs})
      if (set) _vnotebookDrawPart(set);
  }
  if (has(n, vnotebookSHOW_BUTTONS)) {
    if (n->prevButton) _vnotebookDrawPart(n->prevButton);
    if (n->nextButton) _vnotebookDrawPart(n->nextButton);
  }
  if (has(n, vnotebookSHOW_NUMBER) && _vnotebookMeetsClip(n->numberRect)) {
    vdrawGSave();
    nrec(n)->drawNumber(n, &n->numberRect);
    vdrawGRestore();
  }
  vnotebookPageClassOf(n)->drawContent(n, &n->content);
}

bool contains(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }

bool isTabSet(vobject* o) { return o && vclassIsSubclass(o->cls, vnotebookTabSetGetDefaultClass()); }

int buttonDown(vdialogItem* item, vevent* event) {
  vnotebook* n = asN(item);
  int x = veventGetX(event), y = veventGetY(event);
  for (vnotebookTabSet* set : {n->majorTabs, n->minorTabs}) {
    if (!set || !contains(set->rect, x, y)) continue;
    if (n->owner) vdialogItemListClassOf(n->owner)->setPressed(n->owner, set);
    if (!vdialogItemClassOf(set)->buttonDown(set, event)) return 0;
    if (n->owner) vdialogItemListSetFocusItem(n->owner, n);
    if (set->flags & vdialogItemFOCUSABLE) {
      vdialogItemListSetFocusIndex(n->items, -1);
      if (n->focusOwner != set && isTabSet(n->focusOwner)) vdialogUnfocusItem(static_cast<vdialogItem*>(n->focusOwner));
      n->focusOwner = set;
      vdialogFocusItem(set);
    }
    return 1;
  }
  if (n->focusOwner && n->focusOwner != n && isTabSet(n->focusOwner)) {
    vdialogUnfocusItem(static_cast<vdialogItem*>(n->focusOwner));
    n->focusOwner = n;
  }
  for (vdialogItem* b : {n->nextButton, n->prevButton})
    if (b && vdialogItemIsEnabled(b) && contains(b->rect, x, y)) {
      if (n->owner) vdialogItemListClassOf(n->owner)->setPressed(n->owner, b);
      return vdialogItemClassOf(b)->buttonDown(b, event);
    }
  return vnotebookSectionGetDefaultClass()->buttonDown(item, event);
}

}  // namespace

void _vnotebookFillDrawing(vnotebookClassRec* c) {
  c->draw = draw;
  c->buttonDown = buttonDown;
  c->drawNumber = drawNumber;
  c->drawSheets = drawSheets;
  c->drawSheet = drawSheet;
}

std::vector<vrect> _vnotebookSubtract(const vrect& r, const std::vector<vrect>& cut) {
  std::vector<vrect> pieces{r};
  for (const vrect& c : cut) {
    std::vector<vrect> next;
    for (const vrect& p : pieces) {
      vrect both;
      vrectIntersect(&p, &c, &both);
      if (both.width <= 0 || both.height <= 0) {
        next.push_back(p);
        continue;
      }
      int px1 = p.x + p.width, py1 = p.y + p.height, bx1 = both.x + both.width, by1 = both.y + both.height;
      if (both.y > p.y) next.push_back({p.x, p.y, p.width, s16(both.y - p.y)});
      if (by1 < py1) next.push_back({p.x, s16(by1), p.width, s16(py1 - by1)});
      if (both.x > p.x) next.push_back({p.x, both.y, s16(both.x - p.x), both.height});
      if (bx1 < px1) next.push_back({s16(bx1), both.y, s16(px1 - bx1), both.height});
    }
    pieces.swap(next);
  }
  return pieces;
}

bool _vnotebookMeetsClip(const vrect& r) {
  vrect* clip = nullptr;
  int n = 0;
  vdrawGetClipRects(&clip, &n);
  if (n == 0) return true;
  for (int i = 0; i < n; ++i)
    if (vrectIntersects(&r, &clip[i])) return true;
  return false;
}

void _vnotebookDrawPart(vdialogItem* part) {
  vrect r = vdialogGetItemRedrawRect(part);
  if (!vdialogItemIsShown(part) || !_vnotebookMeetsClip(r)) return;
  vdrawGSave();
  _vnotebookDrawItem(part);
  vdrawGRestore();
}

void _vnotebookDrawItem(vdialogItem* item) {
  vdialogItemClassOf(item)->applyDrawingAttributes(item);
  if (!vdialogItemIsEnabled(item)) {
    vcolorScheme k{};
    vdialogDetermineItemColors(item, 1, &k);
    if (k.mask & 1) vdrawSetColor(k.entries[0]);
  }
  vdialogDrawItem(item);
}

// Only an item with its own colour, outside an open list, or under a later
// sibling clears its ground; otherwise what lies behind shows through.
void _vnotebookFillBackground(vdialogItem* item, const vrect& r) {
  vdialogItemList* l = item->owner;
  bool clears = vdialogGetItemBackground(item) || !l || !l->effective.window(l->owner);
  for (int i = l ? vobjectListIndexOf(l, item) + 1 : 0; l && !clears && i < vdialogItemListCount(l); ++i) {
    vdialogItem* later = vdialogItemListAt(l, i);
    clears = (later->flags & vdialogItemSHOWN) && vrectIntersects(&later->rect, &item->rect);
  }
  if (clears) _vnotebookPaint(item, r);
}

void _vnotebookPaint(vdialogItem* item, const vrect& r) {
  vcolor* entry = vdrawGetState()->color;
  vcolorScheme s{};
  vdialogDetermineItemScheme(item, 4, &s);
  if (s.mask & 4) vdrawSetColor(s.entries[2]);
  vdrawRectFill(r.x, r.y, r.width, r.height);
  vdrawSetColor(entry);
}

// Notebook tabs and tab sets: which tabs a set holds, their sizes and
// places along a side of the sheet stack, scrolling them with two small
// arrow buttons when they do not fit, drawing and pressing them.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/notebook/notebook_internal.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }
int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }
vnotebookTab* asTab(void* o) { return static_cast<vnotebookTab*>(o); }
vnotebookTabSet* asSet(void* o) { return static_cast<vnotebookTabSet*>(o); }
vdialogItemClassRec* itemClass() { return vdialogItemGetDefaultClass(); }
vcontainerClassRec* containerClass() { return vcontainerGetDefaultClass(); }
vnotebookClassRec* nrec(vnotebook* n) { return vnotebookClassOf(n); }
std::int16_t lookId() { return vlafGetCurrent()->id; }
bool motifLike() { return lookId() == vlafMOTIF || lookId() == vlafOPEN_LOOK; }
int style(vnotebook* n, std::uint32_t key) { return vnotebookGetStyleValue(n, key); }

int sideOf(const vnotebookTabSet* set) {
  return (set->tabSetFlags & vnotebookTabSetMINOR) ? vnotebookMinorSide(set->notebook) : vnotebookMajorSide(set->notebook);
}
bool isRow(const vnotebookTabSet* set) { return sideOf(set) >= vnotebookSideBOTTOM; }
bool turned(const vnotebookTabSet* set) {
  return !isRow(set) && (set->notebook->notebookFlags & vnotebookTURNED);
}
int tabCount(const vnotebookTabSet* set) { return vdialogItemListCount(set->items); }
vnotebookTab* tabAt(const vnotebookTabSet* set, int i) { return asTab(vdialogItemListAt(set->items, i)); }
int indexOf(const vnotebookTabSet* set, const vdialogItem* item) {
  return item ? vobjectListIndexOf(set->items, item) : -1;
}

// ---- Labels.
const char* titleOf(vnotebookTab* tab) {
  if (*tab->title) return tab->title;
  return tab->page ? tab->page->title : "";
}

// The first own font or image found on the tab, then on the tabs of the
// enclosing sections; at the notebook, the notebook's.
vnotebookTab* enclosingTab(vnotebookTab* tab) {
  vnotebookSection* s = tab->page ? vnotebookGetParentSection(tab->page) : nullptr;
  return s && !vnotebookIsNotebook(s) ? s->tab : nullptr;
}
vfont* labelFont(vnotebookTab* tab) {
  for (vnotebookTab* t = tab; t; t = enclosingTab(t))
    if (t->attributes && t->attributes->font) return t->attributes->font;
  vnotebook* n = tab->page ? vnotebookFindNotebook(tab->page) : nullptr;
  if (!n && tab->page && vnotebookIsNotebook(tab->page)) n = static_cast<vnotebook*>(tab->page);
  return vdialogDetermineItemFont(n ? static_cast<vdialogItem*>(n) : tab);
}
vimage* labelImage(vnotebookTab* tab) {
  for (vnotebookTab* t = tab; t; t = enclosingTab(t)) {
    if (t->tabFlags & vnotebookTabNO_IMAGE) return nullptr;
    if (vimage* image = vdialogGetItemImage(t)) return image;
  }
  return nullptr;
}
vfont* boldOf(vfont* font) { return vfontFindDerivedScribe(font, vscribeLiteral("Bold")); }

void measureLabel(vnotebookTab* tab, int* w, int* h) {
  const char* title = titleOf(tab);
  int length = int(std::strlen(title));
  vfont* font = labelFont(tab);
  *w = rounded(vfontGetCharsWidth(font, title, length));
  *h = rounded(vfontGetHeight(font));
  if (lookId() != vlafWIN95) {
    if (vfont* bold = boldOf(font)) {
      *w = std::max(*w, rounded(vfontGetCharsWidth(bold, title, length)));
      *h = std::max(*h, rounded(vfontGetHeight(bold)));
    }
  }
  if (vimage* image = labelImage(tab)) {
    *w += image->width + 5;
    *h = std::max(*h, int(image->height));
  }
  tab->labelWidth = s16(*w);
  tab->labelHeight = s16(*h);
}

// ---- Tab slots.
void tabInit(vinstance* self) {
  itemClass()->init(self);
  vnotebookTab* t = asTab(self);
  t->tabFlags = 0;
  t->labelWidth = t->labelHeight = 0;
  t->page = nullptr;
  t->tabSet = nullptr;
}
void tabLoadInit(vobject* self, vresource resource) {
  itemClass()->loadInit(self, resource);
  vnotebookTab* t = asTab(self);
  t->tabFlags = 0;
  t->labelWidth = t->labelHeight = 0;
  t->page = nullptr;
  t->tabSet = nullptr;
}
void tabCopyFields(vobject* from, vobject* to) {
  asTab(to)->tabFlags = asTab(from)->tabFlags;
  asTab(to)->labelWidth = asTab(from)->labelWidth;
  asTab(to)->labelHeight = asTab(from)->labelHeight;
  asTab(to)->page = nullptr;
}
void tabCopy(vobject* from, vobject* to) {
  if (from == to) return;
  itemClass()->copy(from, to);
  tabCopyFields(from, to);
}
void tabCopyInit(vobject* from, vobject* to) {
  itemClass()->copyInit(from, to);
  tabCopyFields(from, to);
  asTab(to)->tabSet = nullptr;
}

bool pageActive(vnotebookTab* tab) { return tab->page && _vnotebookIsActive(tab->page); }

// The label's size centred in the tab (exchanged for turned labels).
vrect labelRect(vnotebookTab* tab) {
  int w = tab->labelWidth, h = tab->labelHeight;
  if (tab->tabSet && turned(tab->tabSet)) std::swap(w, h);
  const vrect& r = tab->rect;
  return vrect{s16(r.x + (r.width - w) / 2), s16(r.y + (r.height - h) / 2), s16(w), s16(h)};
}

void tabDraw(vdialogItem* item) {
  vnotebookTab* tab = asTab(item);
  auto* c = vclassRec<vnotebookTabClassRec>(tab);
  c->drawShape(tab);
  vrect label = labelRect(tab);
  c->drawLabel(tab, &label);
  if (vdialogItemIsActive(tab)) vdialogItemClassOf(tab)->drawFocus(tab);
}

void tabDrawFocus(vdialogItem* item) {
  vrect r = labelRect(asTab(item));
  vrectInset(&r, -1, -1, &r);
  vdrawGSave();
  vdrawSetLineWidth(1);
  const float dash[2] = {1, 1};
  vdrawSetDash(2, dash, 0);
  vdrawRectsFrame(&r, 1);
  vdrawGRestore();
}

int tabPress(vdialogItem* item, vevent*) {
  if (vdialogItem* page = asTab(item)->page) vnotebookPageSelect(page);
  return 1;
}

// The shape as a path: rectangle, rounded, or one corner cut at 45 degrees.
void shapePath(const vrect& r, int shape, int chamfer, int side) {
  if (shape == 1) {
    _vdrawRoundRectPath(&r, 1, 6);
    return;
  }
  if (shape != 2) {
    _vdrawRectPath(&r, 1);
    return;
  }
  int x0 = r.x, y0 = r.y, x1 = r.x + r.width, y1 = r.y + r.height, c = chamfer;
  // Corners counter-clockwise from the lower left; the cut one gets two points.
  int cut = side == vnotebookSideRIGHT ? 2 : side == vnotebookSideTOP ? 3 : 0;
  const int corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  const int in[4][2][2] = {{{x0, y0 + c}, {x0 + c, y0}}, {{x1 - c, y0}, {x1, y0 + c}},
                           {{x1, y1 - c}, {x1 - c, y1}}, {{x0 + c, y1}, {x0, y1 - c}}};
  vdrawNewPath();
  bool first = true;
  auto point = [&](int x, int y) {
    if (first) vdrawPathMoveTo(x, y);
    else vdrawLineTo(x, y);
    first = false;
  };
  for (int i = 0; i < 4; ++i) {
    if (i == cut) {
      point(in[i][0][0], in[i][0][1]);
      point(in[i][1][0], in[i][1][1]);
    } else {
      point(corners[i][0], corners[i][1]);
    }
  }
  vdrawClosePath();
}

void fillShape(const vrect& r, int shape, int chamfer, int side) {
  if (shape == 1) {
    vdrawFillRoundRects(&r, 1, 6);
  } else if (shape == 2) {
    shapePath(r, shape, chamfer, side);
    vdrawFill(0);
  } else {
    vdrawFillRects(&r, 1);
  }
}

// Lines run on the shape's last pixels, inside it.
void frameShape(const vrect& r, int shape, int chamfer, int side) {
  if (shape == 1) {
    vdrawRectsFrameRounded(&r, 1, 6);
  } else if (shape == 2) {
    vrect inside{r.x, r.y, s16(r.width - 1), s16(r.height - 1)};
    shapePath(inside, shape, chamfer, side);
    vdrawStroke();
  } else {
    vdrawRectsFrame(&r, 1);
  }
}

// Two colours: the dark outline, then the light one over the upper-left half.
void twoColourOutline(const vrect& r, int shape, int chamfer, int side, vcolor* light, vcolor* dark) {
  if (dark) vdrawSetColor(dark);
  frameShape(r, shape, chamfer, side);
  vdrawGSave();
  vdrawNewPath();
  vdrawPathMoveTo(r.x - 2, r.y - 2);
  vdrawLineTo(r.x - 2, r.y + r.height + 2);
  vdrawLineTo(r.x + r.width + 2, r.y + r.height + 2);
  vdrawClosePath();
  vdrawClip(0);
  if (light) vdrawSetColor(light);
  frameShape(r, shape, chamfer, side);
  vdrawGRestore();
}

void drawShape(vnotebookTab* tab) {
  vnotebookTabSet* set = tab->tabSet;
  vnotebook* n = set ? set->notebook : nullptr;
  int shape = n && tab->page ? style(n, vnotebookTAB_SHAPE) : 0;
  int side = set && n ? sideOf(set) : vnotebookSideTOP;
  bool twoLine = _vnotebookTwoLineLooks();
  int lw = twoLine ? 2 : 1;
  bool active = pageActive(tab);
  vrect clip = tab->rect;
  // Extended toward the page so that the edge meeting it is never drawn.
  vrect r = tab->rect;
  switch (side) {
    case vnotebookSideRIGHT: r.x = s16(r.x - 10); r.width = s16(r.width + 10); break;
    case vnotebookSideLEFT: r.width = s16(r.width + 10); break;
    case vnotebookSideBOTTOM: r.height = s16(r.height + 10); break;
    default: r.y = s16(r.y - 10); r.height = s16(r.height + 10); break;
  }
  if (!motifLike() && !active) {
    // An inactive tab stands a line back from the page.
    switch (side) {
      case vnotebookSideRIGHT: clip.x = s16(clip.x + lw); clip.width = s16(clip.width - lw); break;
      case vnotebookSideLEFT: clip.width = s16(clip.width - lw); break;
      case vnotebookSideBOTTOM: clip.height = s16(clip.height - lw); break;
      default: clip.y = s16(clip.y + lw); clip.height = s16(clip.height - lw); break;
    }
  }
  vcolorScheme s{};
  vdialogDetermineItemColors(tab, 0x10055, &s);
  auto at = [&](int i) { return (s.mask & vcolorSchemeBit(i)) ? s.entries[i] : nullptr; };
  vdrawGSave();
  vdrawClipRects(&clip, 1);
  vcolor* entry = vdrawGetState()->color;
  if (vcolor* fill = at(vcolorBACKGROUND)) vdrawSetColor(fill);
  fillShape(r, shape, 3, side);
  vdrawSetColor(entry);
  vdrawSetLineWidth(1);
  vcolor* light = at(vcolorSHADOW_TOP);
  vcolor* dark = at(vcolorSHADOW_BOTTOM);
  int chamfer = 4;
  if (twoLine) {
    vrect outline = r;
    twoColourOutline(outline, shape, chamfer, side, light, dark ? dark : entry);
    vrect inner;
    vrectInset(&outline, 1, 1, &inner);
    twoColourOutline(inner, shape, chamfer - 1, side, light, at(vcolorSHADOW_BOTTOM_DARK) ? at(vcolorSHADOW_BOTTOM_DARK) : dark);
  } else if (motifLike()) {
    twoColourOutline(r, shape, chamfer, side, light, dark);
  } else {
    frameShape(r, shape, chamfer, side);
  }
  vdrawGRestore();
}

void drawLabel(vnotebookTab* tab, const vrect* rect) {
  vrect r = *rect;
  vdrawGSave();
  vnotebookTabSet* set = tab->tabSet;
  int side = set && set->notebook ? sideOf(set) : vnotebookSideTOP;
  if (set && turned(set)) {
    // Turned: rotated about the upper-left corner on the right side, the
    // lower-right corner on the left side, into an upright label box.
    if (side == vnotebookSideRIGHT) {
      vdrawTranslate(r.x, r.y + r.height);
      vdrawRotate(-90);
    } else {
      vdrawTranslate(r.x + r.width, r.y);
      vdrawRotate(90);
    }
    r = vrect{0, 0, r.height, r.width};
  }
  if (vimage* image = labelImage(tab)) {
    vdrawGSave();
    vdrawPathMoveTo(r.x, r.y + r.height / 2 - image->height / 2);
    if (tab->flags & vdialogItemIMAGE_MASK) vdrawGetPrimitives()->ImageMask(image);
    else vdrawImage(image);
    vdrawGRestore();
    r.x = s16(r.x + image->width + 5);
    r.width = s16(r.width - image->width - 5);
  }
  vfont* font = labelFont(tab);
  if (pageActive(tab) && lookId() != vlafWIN95)
    if (vfont* bold = boldOf(font)) font = bold;
  vdrawSetFont(font);
  const char* title = titleOf(tab);
  vdrawCharsAt(title, int(std::strlen(title)), &r, 3);
  vdrawGRestore();
}

// ---- Tab sets.
std::int16_t& alongOrigin(vnotebookTabSet* set) { return isRow(set) ? set->bounds.x : set->bounds.y; }
int originOffset(vnotebookTabSet* set) {
  if (isRow(set)) return set->bounds.x - set->content.x;
  return set->bounds.y - (set->content.y + set->content.height - vnotebookSTRIP);
}
void setOriginOffset(vnotebookTabSet* set, int offset) {
  if (isRow(set)) alongOrigin(set) = s16(set->content.x + offset);
  else alongOrigin(set) = s16(set->content.y + set->content.height - vnotebookSTRIP + offset);
}

int buttonLength(vnotebookTabSet* set) {
  int bw = 0, bh = 0;
  vnotebookGetButtonSize(vnotebookArrowSMALL | (isRow(set) ? vnotebookArrowUP : vnotebookArrowLEFT), &bw, &bh);
  return isRow(set) ? bw : bh;
}

// The visible window: the tab set less the scroll buttons' room when
// there are buttons, then the virtual strip behind it.
void makeContent(vnotebookTabSet* set, bool withButtons) {
  vrect r = set->rect;
  if (withButtons) {
    int bl = buttonLength(set);
    bool far = style(set->notebook, vnotebookSCROLL_LAYOUT) == 1;
    int room = far ? 2 * bl + 4 : bl + 5;
    if (isRow(set)) {
      if (!far) r.x = s16(r.x + room);
      r.width = s16(std::max(0, r.width - (far ? room : 2 * room)));
    } else {
      r.y = s16(r.y + room);
      r.height = s16(std::max(0, r.height - (far ? room : 2 * room)));
    }
  }
  set->content = r;
  if (isRow(set)) set->bounds = vrect{r.x, r.y, s16(vnotebookSTRIP), r.height};
  else set->bounds = vrect{r.x, s16(r.y + r.height - vnotebookSTRIP), r.width, s16(vnotebookSTRIP)};
}

bool inWindow(vnotebookTabSet* set, const vrect& tab) {
  vrect moved{s16(tab.x + set->bounds.x), s16(tab.y + set->bounds.y), tab.width, tab.height};
  return vrectContainsRect(&set->content, &moved) != 0;
}

void setEnabled(vdialogItem* item, bool on) {
  if (!item || vdialogItemIsEnabled(item) == on) return;
  if (on) vdialogEnableItem(item);
  else vdialogDisableItem(item);
}

void updateScrollButtons(vnotebookTabSet* set) {
  setEnabled(set->scrollBack, set->firstVisible != 0);
  setEnabled(set->scrollForward, set->lastVisible != tabCount(set) - 1);
}

void computeLastVisible(vnotebookTabSet* set) {
  int n = tabCount(set);
  int last = n - 1;
  for (int i = std::max<int>(0, set->firstVisible); i < n; ++i)
    if (!inWindow(set, tabAt(set, i)->rect)) {
      last = i - 1;
      break;
    }
  set->lastVisible = s16(last);
  if (!(set->tabSetFlags & vnotebookTabSetCLIP)) return;
  for (int i = 0; i < n; ++i) {
    vnotebookTab* tab = tabAt(set, i);
    bool shown = i >= set->firstVisible && i <= set->lastVisible;
    if (i == set->lastVisible + 1 || shown) {
      if (shown) {
        vdialogShowItem(tab);
        vdialogEnableItem(tab);
      } else {
        vdialogHideItem(tab);
        vdialogDisableItem(tab);
      }
    }
  }
}

void scrollBy(vdialogItem* button, bool forward) {
  auto* set = reinterpret_cast<vnotebookTabSet*>(button->data);
  if (!set || !set->notebook) return;
  int target = forward ? set->lastVisible + 1 : set->firstVisible - 1;
  if (target < 0 || target >= tabCount(set)) return;
  vnotebookScrollToTab(set->notebook, set, tabAt(set, target));
}
void scrollForwardNotify(vdialogItem* b, vevent*) { scrollBy(b, true); }
void scrollBackNotify(vdialogItem* b, vevent*) { scrollBy(b, false); }

void dropButton(vdialogItem*& button) {
  if (button) vdialogInvalItem(button, 0);
  _vnotebookDropPart(button);
}

// The scroll buttons against the sheet stack: centred across the strip
// unless told not to, both at the far end or one at each end.
void scrollButtonRects(vnotebookTabSet* set, vrect* forward, vrect* back) {
  vnotebook* n = set->notebook;
  vrect d = _vnotebookSheetBack(n, n->sheetCount - 1);
  const vrect& t = set->rect;
  int side = sideOf(set);
  bool row = isRow(set);
  int bw = 0, bh = 0;
  vnotebookGetButtonSize(vnotebookArrowSMALL | (row ? vnotebookArrowUP : vnotebookArrowLEFT), &bw, &bh);
  int c = 0;
  if (side == vnotebookSideRIGHT) c = t.x + t.width - (d.x + d.width);
  else if (side == vnotebookSideLEFT) c = d.x - t.x;
  else if (side == vnotebookSideBOTTOM) c = d.y - t.y;
  else c = t.y + t.height - (d.y + d.height);
  if (!row && !turned(set)) c = set->tabWidth;
  if (set->tabSetFlags & vnotebookTabSetNOT_CENTRED) c = row ? bh : bw;
  int across = 0;
  switch (side) {
    case vnotebookSideRIGHT: across = d.x + d.width + c / 2 - bh / 2; break;
    case vnotebookSideLEFT: across = d.x - c / 2 - bh / 2; break;
    case vnotebookSideBOTTOM: across = d.y - c / 2 - bh / 2; break;
    default: across = d.y + d.height + c / 2 - bh / 2; break;
  }
  bool far = style(n, vnotebookSCROLL_LAYOUT) == 1;
  if (row) {
    *forward = vrect{s16(d.x + d.width - bw), s16(across), s16(bw), s16(bh)};
    *back = far ? vrect{s16(forward->x - bw - 2), s16(across), s16(bw), s16(bh)} : vrect{d.x, s16(across), s16(bw), s16(bh)};
  } else {
    *forward = vrect{s16(across), d.y, s16(bw), s16(bh)};
    *back = far ? vrect{s16(across), s16(d.y + bh + 2), s16(bw), s16(bh)}
                : vrect{s16(across), s16(d.y + d.height - bh), s16(bw), s16(bh)};
  }
}

vdialogItem* makeScrollButton(vnotebookTabSet* set, bool forward) {
  vnotebookButton* b = _vnotebookButtonCreate();
  vnotebookButtonSetSmall(b, 16);
  bool row = isRow(set);
  vnotebookButtonSetDirection(b, forward ? (row ? vnotebookArrowRIGHT : vnotebookArrowDOWN)
                                         : (row ? vnotebookArrowLEFT : vnotebookArrowUP));
  vdialogSetItemData(b, reinterpret_cast<std::intptr_t>(set));
  vdialogSetItemNotify(b, forward ? scrollForwardNotify : scrollBackNotify);
  return b;
}

void placeButton(vnotebookTabSet* set, vdialogItem* b, const vrect& r) {
  vdialogSetItemRect(b, &r);
  vdialogItemClassOf(b)->setOwner(b, set->owner);
  if (set->flags & vdialogItemOPEN) vdialogOpenItem(b);
  if (vcolor* fg = vdialogGetItemForeground(set)) vdialogSetItemForeground(b, fg);
  if (vcolor* bg = vdialogGetItemBackground(set)) vdialogSetItemBackground(b, bg);
}

void placeTabs(vnotebookTabSet* set, vrect* unionOut) {
  vrect all{};
  for (int i = 0; i < tabCount(set); ++i) {
    vnotebookTab* tab = tabAt(set, i);
    vrect r;
    vnotebookGetTabRect(set->notebook, set, tab, &r);
    vdialogSetItemRect(tab, &r);
    if (i == 0) all = r;
    else vrectUnion(&all, &r, &all);
  }
  *unionOut = all;
}

void tabSetInit(vinstance* self) {
  containerClass()->init(self);
  vnotebookTabSet* set = asSet(self);
  set->tabSetFlags = lookId() == vlafCUA ? 6 : 0;
  set->notebook = nullptr;
  set->tabWidth = set->tabHeight = 0;
  set->firstVisible = set->lastVisible = 0;
  set->scrollForward = set->scrollBack = nullptr;
  vcontainerSetFlat(set, 1);
  // No frame: the tabs draw their own.
  set->flags &= std::uint16_t(~vdialogItemBORDER);
  set->containerFlags &= std::uint16_t(~(vcontainerBOUNDS_PENDING | vcontainerCONTENT_PENDING));
}

void tabSetDestroy(vinstance* self) {
  vnotebookTabSet* set = asSet(self);
  if (set->flags & vdialogItemOPEN) vdialogCloseItem(set);
  dropButton(set->scrollForward);
  dropButton(set->scrollBack);
  for (int i = tabCount(set) - 1; i >= 0; --i) {
    vnotebookTab* tab = tabAt(set, i);
    if (set->notebook) vnotebookRemoveTab(set->notebook, set, tab);
    else {
      vobjectListRemove(set->items, tab);
      tab->tabSet = nullptr;
    }
  }
  containerClass()->destroy(self);
}

template <typename F>
void eachButton(vnotebookTabSet* set, F f) {
  if (set->scrollBack) f(set->scrollBack);
  if (set->scrollForward) f(set->scrollForward);
}

void tabSetOpen(vdialogItem* item) {
  if (item->flags & vdialogItemOPEN) return;
  containerClass()->open(item);
  eachButton(asSet(item), [](vdialogItem* b) { vdialogOpenItem(b); });
}
void tabSetClose(vdialogItem* item) {
  if (!(item->flags & vdialogItemOPEN)) return;
  eachButton(asSet(item), [](vdialogItem* b) { vdialogCloseItem(b); });
  containerClass()->close(item);
}
void tabSetForeground(vdialogItem* item, vcolor* color) {
  containerClass()->setForeground(item, color);
  eachButton(asSet(item), [&](vdialogItem* b) { vdialogSetItemForeground(b, vdialogGetItemColor(item, 0)); });
}
void tabSetBackground(vdialogItem* item, vcolor* color) {
  containerClass()->setBackground(item, color);
  eachButton(asSet(item), [&](vdialogItem* b) { vdialogSetItemBackground(b, vdialogGetItemColor(item, 2)); });
}
void tabSetOwner(vdialogItem* item, vdialogItemList* owner) {
  containerClass()->setOwner(item, owner);
  eachButton(asSet(item), [&](vdialogItem* b) { vdialogItemClassOf(b)->setOwner(b, owner); });
}

void tabSetFocus(vdialogItem* item) {
  vnotebookTabSet* set = asSet(item);
  if (vdialogItem* current = set->selection) vdialogItemListSetFocusItem(set->items, current);
  vdialogItemListClassOf(set->items)->activateFocus(set->items);
}

int tabSetIssue(vobject* self, int selector, vdict* context) {
  vnotebookTabSet* set = asSet(self);
  if (selector == 4 && set->notebook) return vobjectAttributedOf(set->notebook)->issueSelector(set->notebook, 4, context);
  if (selector >= 10 && selector <= 13) {
    int i = indexOf(set, set->selection) + (selector == 10 || selector == 12 ? -1 : 1);
    if (set->selection && i >= 0 && i < tabCount(set) && tabAt(set, i)->page) vnotebookPageSelect(tabAt(set, i)->page);
    return 1;
  }
  return containerClass()->issueSelector(self, selector, context);
}

bool contains(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }

int tabSetPress(vdialogItem* item, vevent* event) {
  vnotebookTabSet* set = asSet(item);
  int x = veventGetX(event), y = veventGetY(event);
  for (vdialogItem* b : {set->scrollBack, set->scrollForward}) {
    if (!b || !contains(b->rect, x, y)) continue;
    if (!vdialogItemIsEnabled(b)) {
      if (lookId() == vlafCUA) vwindowBeep();
      return 1;
    }
    if (set->owner) vdialogItemListClassOf(set->owner)->setPressed(set->owner, b);
    return vdialogItemClassOf(b)->buttonDown(b, event);
  }
  if (contains(set->content, x, y)) {
    veventSetPosition(event, x - set->bounds.x, y - set->bounds.y);
    int handled = 0;
    for (int i = tabCount(set) - 1; i >= 0 && !handled; --i) {
      vnotebookTab* tab = tabAt(set, i);
      if (vdialogItemIsShown(tab) && vdialogItemIsEnabled(tab) && contains(tab->rect, x - set->bounds.x, y - set->bounds.y))
        handled = vdialogItemClassOf(tab)->buttonDown(tab, event);
    }
    veventSetPosition(event, x, y);
    if (handled) return 1;
  }
  return containerClass()->buttonDown(item, event);
}

void tabSetSend(vobject* self, vname name, vdict* args) {
  vnotebookTabSet* set = asSet(self);
  if (name != vname_Content) {
    containerClass()->send(self, name, args);
    return;
  }
  if (!set->notebook) return;
  _vnotebookTabSetLayout(set, true);
  vdialogItemGetDefaultClass()->send(self, name, args);
}

void tabSetDraw(vdialogItem* item) {
  vnotebookTabSet* set = asSet(item);
  eachButton(set, [](vdialogItem* b) { _vnotebookDrawPart(b); });
  vdrawGSave();
  vdrawClipRects(&set->content, 1);
  vdrawTranslate(set->bounds.x, set->bounds.y);
  vnotebookTab* current = asTab(set->selection);
  bool clipping = (set->tabSetFlags & vnotebookTabSetCLIP) != 0;
  auto drawTab = [&](vnotebookTab* tab) {
    vrect moved{s16(tab->rect.x + set->bounds.x), s16(tab->rect.y + set->bounds.y), tab->rect.width, tab->rect.height};
    if (!vdialogItemIsShown(tab) || !vrectIntersects(&moved, &set->content)) return;
    if (clipping && !inWindow(set, tab->rect)) return;
    vdrawGSave();
    _vnotebookDrawItem(tab);
    vdrawGRestore();
  };
  for (int i = 0; i < tabCount(set); ++i)
    if (tabAt(set, i) != current) drawTab(tabAt(set, i));
  if (current) drawTab(current);
  vdrawGRestore();
}

}  // namespace

void _vnotebookFillTabSlots(vnotebookTabClassRec* c) {
  c->instanceSize = sizeof(vnotebookTab);
  c->init = tabInit;
  c->loadInit = tabLoadInit;
  c->copy = tabCopy;
  c->copyInit = tabCopyInit;
  c->draw = tabDraw;
  c->drawFocus = tabDrawFocus;
  c->buttonDown = tabPress;
  c->drawShape = drawShape;
  c->drawLabel = drawLabel;
  c->measureLabel = measureLabel;
}

void _vnotebookFillTabSetSlots(vcontainerClassRec* c) {
  c->instanceSize = sizeof(vnotebookTabSet);
  c->init = tabSetInit;
  c->destroy = tabSetDestroy;
  c->open = tabSetOpen;
  c->close = tabSetClose;
  c->setForeground = tabSetForeground;
  c->setBackground = tabSetBackground;
  c->setOwner = tabSetOwner;
  c->focus = tabSetFocus;
  c->issueSelector = tabSetIssue;
  c->buttonDown = tabSetPress;
  c->send = tabSetSend;
  c->draw = tabSetDraw;
}

void _vnotebookTabSetLayout(vnotebookTabSet* set, bool content) {
  vnotebook* n = set->notebook;
  if (!n) return;
  int offset = originOffset(set);
  if (content) makeContent(set, false);
  set->tabSetFlags = std::uint16_t(set->tabSetFlags & ~(vnotebookTabSetCLIP | vnotebookTabSetNOT_CENTRED));
  if (style(n, vnotebookSCROLL_CENTRING) == 0) set->tabSetFlags |= vnotebookTabSetNOT_CENTRED;
  if (style(n, vnotebookPARTIAL_TABS) == 0) set->tabSetFlags |= vnotebookTabSetCLIP;
  vrect all{};
  if (tabCount(set) > 0) {
    int w = 0, h = 0;
    nrec(n)->getTabSize(n, set, &w, &h);
    set->tabWidth = w;
    set->tabHeight = h;
    placeTabs(set, &all);
  }
  bool overflow = isRow(set) ? all.width > set->rect.width : all.height > set->rect.height;
  if (overflow) {
    makeContent(set, true);
    if (!content) setOriginOffset(set, offset);
    else set->firstVisible = 0;
    if (set->firstVisible < 0 || set->firstVisible >= tabCount(set)) set->firstVisible = 0;
    computeLastVisible(set);
    vrect forward, back;
    scrollButtonRects(set, &forward, &back);
    if (!set->scrollForward) set->scrollForward = makeScrollButton(set, true);
    if (!set->scrollBack) set->scrollBack = makeScrollButton(set, false);
    placeButton(set, set->scrollForward, forward);
    placeButton(set, set->scrollBack, back);
    updateScrollButtons(set);
  } else {
    makeContent(set, false);
    set->firstVisible = 0;
    computeLastVisible(set);
    dropButton(set->scrollForward);
    dropButton(set->scrollBack);
  }
  if (set->selection && set->notebook) vnotebookScrollToTab(n, set, asTab(set->selection));
}

void vnotebookTabSetSetCurrent(vnotebookTabSet* set, vnotebookTab* tab) {
  if (set->selection == tab) return;
  if (set->selection) vdialogInvalItem(set->selection, 0);
  if (tab) vdialogInvalItem(tab, 0);
  set->selection = tab;
  if (set->notebook) {
    vrect all;
    placeTabs(set, &all);
    if (tab && tab->tabSet) vnotebookScrollToTab(set->notebook, set, tab);
  }
  vdialogItemListSetFocusItem(set->items, tab && indexOf(set, tab) >= 0 ? tab : nullptr);
  vdialogInvalItem(set, 0);
}

// ---- The notebook's tab operations.
namespace {

void mirror(vnotebook* n, vnotebookSection* s, std::vector<vdialogItem*>* out) {
  for (int i = 0; i < vdialogItemListCount(s->items); ++i) {
    vdialogItem* item = vdialogItemListAt(s->items, i);
    if (vnotebookIsSection(item) && (n->notebookFlags & vnotebookFLATTEN))
      mirror(n, static_cast<vnotebookSection*>(item), out);
    else out->push_back(item);
  }
}

void syncTabs(vnotebook* n, vnotebookTabSet* set) {
  std::vector<vdialogItem*> items;
  if (!(set->tabSetFlags & vnotebookTabSetMINOR)) mirror(n, n, &items);
  else if (vnotebookIsSection(n->selection)) mirror(n, static_cast<vnotebookSection*>(n->selection), &items);
  bool changed = false;
  std::size_t i = 0;
  auto trimTo = [&](std::size_t keep) {
    for (int k = tabCount(set) - 1; k >= int(keep); --k) {
      nrec(n)->removeTab(n, set, tabAt(set, k));
      changed = true;
    }
  };
  for (vdialogItem* item : items) {
    vnotebookTab* tab = static_cast<vnotebookPage*>(item)->tab;
    if (!tab) continue;
    if (!(int(i) < tabCount(set) && tabAt(set, int(i)) == tab)) {
      trimTo(i);
      if (tab->tabSet && tab->tabSet != set) nrec(n)->removeTab(n, tab->tabSet, tab);
      nrec(n)->addTab(n, set, tab);
      changed = true;
    }
    if (_vnotebookIsActive(item)) vnotebookTabSetSetCurrent(set, tab);
    ++i;
  }
  trimTo(i);
  if (changed) vobjectSendValueChange(set, vname_Content, nullptr, nullptr);
}

void tabSize(vnotebook* n, vnotebookTabSet* set, int* w, int* h) {
  std::vector<vdialogItem*> items;
  if (!(set->tabSetFlags & vnotebookTabSetMINOR)) {
    mirror(n, n, &items);
  } else {
    for (int i = 0; i < vdialogItemListCount(n->items); ++i)
      if (vdialogItem* item = vdialogItemListAt(n->items, i); vnotebookIsSection(item))
        mirror(n, static_cast<vnotebookSection*>(item), &items);
  }
  int W = 0, H = 0;
  bool any = false;
  for (vdialogItem* item : items) {
    vnotebookTab* tab = static_cast<vnotebookPage*>(item)->tab;
    if (!tab) continue;
    int lw = 0, lh = 0;
    vclassRec<vnotebookTabClassRec>(tab)->measureLabel(tab, &lw, &lh);
    W = std::max(W, lw);
    H = std::max(H, lh);
    any = true;
  }
  if (!any) {
    *w = *h = 0;
    return;
  }
  *w = W + 2 * style(n, vnotebookLABEL_SPACE_X);
  *h = H + 2 * style(n, vnotebookLABEL_SPACE_Y);
  if (isRow(set)) *h += style(n, vnotebookTAB_RAISE);
  else *w += style(n, vnotebookTAB_RAISE);
}

void tabSetExtent(vnotebook* n, vnotebookTabSet* set, int* w, int* h) {
  nrec(n)->getTabSize(n, set, w, h);
  if (turned(set)) std::swap(*w, *h);
  if (isRow(set)) *h += _vnotebookDepth(n);
  else *w += _vnotebookDepth(n);
}

void tabSetRect(vnotebook* n, vnotebookTabSet* set, vrect* out) {
  int w = 0, h = 0;
  nrec(n)->getTabSetExtent(n, set, &w, &h);
  w += 2;
  h += 2;
  vrect d = _vnotebookSheetBack(n, n->sheetCount - 1);
  const vrect& r = n->rect;
  switch (sideOf(set)) {
    case vnotebookSideRIGHT: *out = vrect{s16(r.x + r.width - w), d.y, s16(w), d.height}; break;
    case vnotebookSideLEFT: *out = vrect{r.x, d.y, s16(w), d.height}; break;
    case vnotebookSideBOTTOM: *out = vrect{d.x, r.y, d.width, s16(h)}; break;
    default: *out = vrect{d.x, s16(r.y + r.height - h), d.width, s16(h)}; break;
  }
}

vnotebookTabSet* getTabSet(vnotebook* n, int minor) {
  vnotebookTabSet*& set = minor ? n->minorTabs : n->majorTabs;
  if (!set) {
    set = asSet(vinstanceCreate(vnotebookTabSetGetDefaultClass()));
    set->notebook = n;
    if (minor) set->tabSetFlags |= vnotebookTabSetMINOR;
  }
  return set;
}

void addTab(vnotebook* n, vnotebookTabSet* set, vnotebookTab* tab) {
  vdialogHideItem(tab);
  containerClass()->appendItem(set, tab);
  tab->tabSet = set;
  vrect r;
  nrec(n)->getTabRect(n, set, tab, &r);
  vdialogSetItemRect(tab, &r);
  vdialogShowItem(tab);
}

void removeTab(vnotebook*, vnotebookTabSet* set, vnotebookTab* tab) {
  if (indexOf(set, tab) < 0) return;
  containerClass()->removeItem(set, tab);
  tab->tabSet = nullptr;
  tab->owner = nullptr;
}

int countTabs(vnotebook*, vnotebookTabSet* set) { return tabCount(set); }
vnotebookTab* getTab(vnotebook*, vnotebookTabSet* set, int i) {
  return i >= 0 && i < tabCount(set) ? tabAt(set, i) : nullptr;
}
void showTab(vnotebook*, vnotebookTabSet* set, vnotebookTab* tab) { vnotebookTabSetSetCurrent(set, tab); }

void tabsRegion(vnotebook*, vnotebookTabSet* set, std::vector<vrect>* out) {
  bool twoLine = _vnotebookTwoLineLooks();
  int shrink = twoLine ? 2 : 1, reach = twoLine ? 3 : 1;
  int side = sideOf(set);
  for (int i = 0; i < tabCount(set); ++i) {
    vnotebookTab* tab = tabAt(set, i);
    if (!vdialogItemIsShown(tab)) continue;
    if ((set->tabSetFlags & vnotebookTabSetCLIP) && !inWindow(set, tab->rect)) continue;
    vrect r{s16(tab->rect.x + set->bounds.x), s16(tab->rect.y + set->bounds.y), tab->rect.width, tab->rect.height};
    vrectInset(&r, shrink, shrink, &r);
    int extend = (tab == set->selection ? reach : 0) + (motifLike() ? 1 : 0);
    switch (side) {
      case vnotebookSideRIGHT: r.x = s16(r.x - extend); r.width = s16(r.width + extend); break;
      case vnotebookSideLEFT: r.width = s16(r.width + extend); break;
      case vnotebookSideBOTTOM: r.height = s16(r.height + extend); break;
      default: r.y = s16(r.y - extend); r.height = s16(r.height + extend); break;
    }
    vrect visible;
    vrectIntersect(&r, &set->content, &visible);
    if (visible.width > 0 && visible.height > 0) out->push_back(visible);
  }
}

// Tab i stands on the sheet k back: tabs before the current one on the
// deepest, the current one on the front, the ones after it further back.
void tabRect(vnotebook* n, vnotebookTabSet* set, vnotebookTab* target, vrect* out) {
  int index = indexOf(set, target), current = indexOf(set, set->selection);
  bool row = isRow(set);
  int side = sideOf(set);
  int spacing = style(n, vnotebookTAB_SPACING), widening = style(n, vnotebookTAB_WIDENING);
  int raise = style(n, vnotebookTAB_RAISE);
  int lsx = style(n, vnotebookLABEL_SPACE_X), lsy = style(n, vnotebookLABEL_SPACE_Y);
  int shrink = _vnotebookTwoLineLooks() ? 2 : 1;
  vrect previous{};
  for (int i = 0; i <= index; ++i) {
    vnotebookTab* tab = tabAt(set, i);
    int k = i >= current ? std::min(n->sheetCount - 2, i - current) : n->sheetCount - 2;
    vrect b = _vnotebookSheetBack(n, std::max(0, k));
    vrectInset(&b, shrink, shrink, &b);
    bool previousCurrent = i > 0 && i - 1 == current;
    vrect r{};
    if (row) {
      int p = i == 0 ? widening : previous.x + previous.width + spacing - (previousCurrent ? widening : 0);
      r = vrect{s16(p), 0, s16(tab->labelWidth + 2 * lsx), s16(set->tabHeight)};
    } else {
      int p = i == 0 ? vnotebookSTRIP - widening : previous.y - spacing + (previousCurrent ? widening : 0);
      if (turned(set)) {
        int length = tab->labelWidth + 2 * lsx;
        r = vrect{0, s16(p - length), s16(tab->labelHeight + 2 * lsy), s16(length)};
      } else {
        int length = tab->labelHeight + 2 * lsy;
        r = vrect{0, s16(p - length), s16(set->tabWidth), s16(length)};
      }
    }
    if (i == current) {
      if (row) {
        r.x = s16(r.x - widening);
        r.width = s16(r.width + 2 * widening);
        r.height = s16(r.height + raise);
      } else {
        r.y = s16(r.y - widening);
        r.height = s16(r.height + 2 * widening);
        r.width = s16(r.width + raise);
      }
    }
    switch (side) {
      case vnotebookSideRIGHT: r.x = s16(b.x + b.width); break;
      case vnotebookSideLEFT: r.x = s16(b.x - r.width); break;
      case vnotebookSideBOTTOM: r.y = s16(b.y - r.height); break;
      default: r.y = s16(b.y + b.height); break;
    }
    if (row) r.y = s16(r.y - set->rect.y);
    else r.x = s16(r.x - set->rect.x);
    previous = r;
  }
  *out = previous;
}

// The window put at tab first (less the raise unless it is current).
void originAt(vnotebook* n, vnotebookTabSet* set, int first) {
  vnotebookTab* tab = tabAt(set, first);
  int raise = tab == set->selection ? 0 : style(n, vnotebookTAB_RAISE);
  if (isRow(set)) set->bounds.x = s16(set->content.x - tab->rect.x + raise);
  else set->bounds.y = s16(set->content.y + set->content.height - (tab->rect.y + tab->rect.height) - raise);
}

void scrollToTab(vnotebook* n, vnotebookTabSet* set, vnotebookTab* tab) {
  int index = indexOf(set, tab);
  if (index < 0 || inWindow(set, tab->rect)) return;
  int count = tabCount(set);
  if (set->firstVisible >= count) set->firstVisible = -1;
  bool after = index > set->firstVisible;
  if (after) {
    while (set->firstVisible < index) {
      set->firstVisible = s16(set->firstVisible + 1);
      originAt(n, set, set->firstVisible);
      if (inWindow(set, tab->rect)) break;
    }
  } else {
    set->firstVisible = s16(index);
    originAt(n, set, index);
  }
  computeLastVisible(set);
  updateScrollButtons(set);
  vdialogInvalItem(set, 0);
}

}  // namespace

void _vnotebookMirror(vnotebook* n, vnotebookSection* s, std::vector<vdialogItem*>* out) { mirror(n, s, out); }

void _vnotebookFillTabOperations(vnotebookClassRec* c) {
  c->syncTabs = syncTabs;
  c->getTabSetExtent = tabSetExtent;
  c->getTabSetRect = tabSetRect;
  c->getTabSize = tabSize;
  c->getTabSet = getTabSet;
  c->addTab = addTab;
  c->removeTab = removeTab;
  c->countTabs = countTabs;
  c->getTab = getTab;
  c->getTabsRegion = tabsRegion;
  c->showTab = showTab;
  c->scrollToTab = scrollToTab;
  c->getTabRect = tabRect;
}

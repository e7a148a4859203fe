// A container's drawing: scroll bars, background, frame, title strip, and
// the contents clipped to the content rectangle at the scroll position.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/widgets/dialog/container_internal.h"
#include "fw/widgets/look/laf.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }

}  // namespace

bool _vcontainerMeetsClip(const vrect& r) {
  vrect* clip = nullptr;
  int n = 0;
  vdrawGetClipRects(&clip, &n);
  if (n == 0) return true;
  for (int i = 0; i < n; ++i) {
    vrect both;
    vrectIntersect(&r, &clip[i], &both);
    if (both.width > 0 && both.height > 0) return true;
  }
  return false;
}

namespace {

bool meetsClip(const vrect& r) { return _vcontainerMeetsClip(r); }

bool overlaps(const vrect& a, const vrect& b) {
  vrect both;
  vrectIntersect(&a, &b, &both);
  return both.width > 0 && both.height > 0;
}

}  // namespace

// Its own colour, no window to draw over, or a later sibling lying over
// it (the list draws last to first, so that sibling is already there).
bool _vcontainerFillsBackground(vdialogItem* c) {
  if (vdialogGetItemBackground(c)) return true;
  vdialogItemList* l = c->owner;
  if (!l || !l->effective.window(l->owner)) return true;
  int n = vdialogItemListCount(l);
  for (int i = vobjectListIndexOf(l, c) + 1; i < n; ++i) {
    vdialogItem* later = vdialogItemListAt(l, i);
    if ((later->flags & vdialogItemSHOWN) && overlaps(later->rect, c->rect)) return true;
  }
  return false;
}

namespace {

bool fillsBackground(vcontainer* c) { return _vcontainerFillsBackground(c); }

vimage* imageOf(vcontainer* c) {
  vimage* image = vdialogGetItemImage(c);
  return image ? image : vdialogItemClassOf(c)->image;
}

void drawFrame(vcontainer* c) {
  const vlaf* look = vlafGetCurrent();
  bool win95 = look->id == vlafWIN95;
  bool left = (look->flags & vlafLEFT_SCROLL_BAR) != 0;
  vrect f = c->rect;
  if (!win95) {
    if (c->scrollX) {
      f.y = s16(f.y + c->scrollX->rect.height);
      f.height = s16(f.height - c->scrollX->rect.height);
    }
    if (c->scrollY) {
      if (left) f.x = s16(f.x + c->scrollY->rect.width);
      f.width = s16(f.width - c->scrollY->rect.width);
    }
  }
  if (*c->title) f.height = s16(f.height - _vcontainerFontHeight(c) / 2);
  if (!meetsClip(f)) return;
  if (!(look->flags & vlaf3D)) {
    vdrawRectsFrame(&f, 1);
    return;
  }
  vcolorScheme s{};
  vdialogDetermineItemColors(c, win95 ? 0x500050 : 80, &s);
  if (c->containerFlags & vcontainerFLAT) {
    vdrawRectsFrameShadedWide(&f, 1, s.entries[6], s.entries[4]);
    return;
  }
  vdrawRectsFrameShaded(&f, 1, nullptr, s.entries[6], s.entries[4]);
  if (!win95) return;
  vrect inner{s16(f.x + 1), s16(f.y + 1), s16(f.width - 2), s16(f.height - 2)};
  vdrawRectsFrameShaded(&inner, 1, nullptr, s.entries[22], s.entries[20]);
}

// As the box item draws its title: a strip in the background colour.
void drawTitle(vcontainer* c) {
  const vlaf* look = vlafGetCurrent();
  const vrect& r = c->rect;
  int lw = int(vdialogGetItemLineWidth(c)), fh = _vcontainerFontHeight(c);
  int x = r.x + lw + 8, w = std::min(_vcontainerTitleWidth(c) + 8, r.x + r.width - x);
  if (w <= 0) return;
  // The strip shows the face under the box: the container's own colour
  // when it fills its background, else that of the nearest owner that
  // paints a face (an enclosing group that leaves its background unfilled
  // shows the face under it in turn).
  vcolorScheme s{};
  vdialogItemList* under = c->owner;
  while (under && under->owner && vcontainerIsContainer(under->owner)) {
    auto* outer = static_cast<vcontainer*>(under->owner);
    if (fillsBackground(outer) || !outer->owner) break;
    under = outer->owner;
  }
  if (fillsBackground(c) || !under) {
    vdialogDetermineItemScheme(c, 4, &s);
  } else {
    vcolorScheme none{};
    vdialogItemListDetermineScheme(under, &none, 4, &s);
  }
  vcolor* entry = vdrawGetState()->color;
  if (s.mask & 4) {
    vdrawSetColor(s.entries[2]);
    vdrawRectFill(x, r.y + r.height - fh, w, fh);
    vdrawSetColor(entry);
  }
  vrect strip{s16(x + 4), s16(r.y + r.height - fh), s16(w - 8), s16(fh)};
  int mnemonic = c->mnemonic & 0xFF;
  bool windowsLook = look->id == vlafWINDOWS || look->id == vlafWIN95;
  if (windowsLook && !vdialogItemIsEnabled(c)) {
    vcolorScheme colors{};
    vdialogDetermineItemScheme(c, look->id == vlafWINDOWS ? 6 : 80, &colors);
    vlafDrawInactiveLabel(c->title, mnemonic, &strip, 2, &colors);
  } else if (windowsLook || (look->flags & vlafMNEMONICS)) {
    vlafDrawLabelText(c->title, mnemonic, &strip, 2);
  } else {
    vdrawCharsAt(c->title, int(std::strlen(c->title)), &strip, 2);
  }
}

}  // namespace

void _vcontainerDraw(vdialogItem* item) {
  auto* c = static_cast<vcontainer*>(item);
  for (vdialogItem* bar : {c->scrollX, c->scrollY})
    if (bar && (bar->flags & vdialogItemSHOWN) && meetsClip(bar->rect)) {
      vdrawGSave();
      vdialogItemClassOf(bar)->applyDrawingAttributes(bar);
      vdialogDrawItem(bar);
      vdrawGRestore();
    }
  vimage* image = imageOf(c);
  if ((!image || *c->title) && fillsBackground(c)) {
    vcolor* entry = vdrawGetState()->color;
    vcolorScheme s{};
    vdialogDetermineItemScheme(c, 4, &s);
    if (s.mask & 4) vdrawSetColor(s.entries[2]);
    vdrawRectFill(c->content.x, c->content.y, c->content.width, c->content.height);
    vdrawSetColor(entry);
  }
  if (c->flags & vdialogItemBORDER) drawFrame(c);
  if (*c->title) drawTitle(c);
  if (!meetsClip(c->content)) return;
  vdrawGSave();
  vdrawClipRects(&c->content, 1);
  vdrawTranslate(c->bounds.x, c->bounds.y);
  if (image && image->width > 0 && image->height > 0 && c->bounds.width > 0 && c->bounds.height > 0) {
    vdrawGSave();
    vdrawScale(double(c->bounds.width) / image->width, double(c->bounds.height) / image->height);
    vdrawPathMoveTo(0, 0);
    if (c->flags & vdialogItemIMAGE_MASK) vdrawGetPrimitives()->ImageMask(image);
    else vdrawImage(image);
    vdrawGRestore();
  }
  vdialogItemListDraw(c->items);
  vdrawGRestore();
}

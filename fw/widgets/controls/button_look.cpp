// The button's per-look tables: sizes and the drawing operations of the
// Windows, Win95, Motif and CUA looks, the generic table, and Open Look's
// own drawing. Colours come from one process-wide scheme that "begin
// colours" fills (with the look's pressed exchanges) and "end" restores.
#include <algorithm>
#include <array>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/controls/button_internal.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"

namespace {

enum { FG = vcolorFOREGROUND, FACE = vcolorBACKGROUND, LIGHT = vcolorSHADOW_TOP, DARK = vcolorSHADOW_BOTTOM };
vcolorScheme colors{};
vcolor* at(int i) { return (colors.mask & vcolorSchemeBit(i)) ? colors.entries[i] : nullptr; }
void use(vcolor* c) {
  if (c) vdrawSetColor(c);
}
bool pressed(const vbutton* b) { return (b->buttonFlags & vbuttonPRESSED) != 0; }
bool emphasis(const vbutton* b) { return (b->buttonFlags & vbuttonDEFAULT) != 0; }
bool bordered(const vbutton* b) { return (b->flags & vdialogItemBORDER) != 0; }
const vbuttonLook& lookOf(vbutton*);
vrect inset(const vrect& r, int d) {
  return vrect{std::int16_t(r.x + d), std::int16_t(r.y + d), std::int16_t(r.width - 2 * d), std::int16_t(r.height - 2 * d)};
}
int fontHeight(vbutton* b) { return int((std::int64_t(vfontGetHeight(vdialogDetermineItemFont(b))) + 32768) >> 16); }
int titleWidth(vbutton* b) {
  vfont* f = vdialogDetermineItemFont(b);
  return int((std::int64_t(vfontGetCharsWidth(f, b->title, int(std::strlen(b->title)))) + 32768) >> 16);
}

// ---- Shared operations.
void contentRect(vbutton* b, int d, vrect* out) { *out = inset(b->rect, d); }
void measureTitle(vbutton* b, const char* title, int* w, int* h) {
  (void)title;
  *w += titleWidth(b);
  *h = std::max(*h, fontHeight(b));
}
void measureMenu(vbutton* b, int* w, int* h) {
  int m = lookOf(b).menuMarkSize;
  *w += 2 * m;
  *h = std::max(*h, m);
}
void measureImage(vbutton*, vimage* image, int* w, int* h) {
  *w = std::max(*w, int(image->width));
  *h = std::max(*h, int(image->height));
}
void measureBorder(vbutton* b, int* w, int* h) {
  if (!bordered(b)) return;
  int d = 2 * int(vdialogDetermineItemInset(b));
  *w += d, *h += d;
}
template <std::uint32_t Mask, bool Swap, bool Windows>
void beginColors(vbutton* b) {
  vdrawGSave();
  colors = vcolorScheme{};
  vdialogDetermineItemColors(b, Mask, &colors);
  if (!pressed(b)) return;
  vcolor *light = at(LIGHT), *dark = at(DARK), *face = at(FACE);
  // Pressed: Motif exchanges the edges; Windows moves the dark edge up and
  // the face into the dark edge.
  if (Swap) {
    if (dark) colors.entries[LIGHT] = dark;
    if (light) colors.entries[DARK] = light;
  } else if (Windows) {
    if (dark) colors.entries[LIGHT] = dark;
    if (face) colors.entries[DARK] = face;
  }
}
void endColors(vbutton*) { vdrawGRestore(); }
// The button's rectangle on the screen; false when it is in no window.
bool onScreen(vbutton* b, vrect* out) {
  vdialogItemList* list = b->owner;
  vwindow* w = list ? list->effective.window(list->owner) : nullptr;
  if (!w) return false;
  vrect r = b->rect;
  vdialogItemListTransformRect(list, &r);
  vwindowTranslateRect(w, nullptr, &r, out);
  return true;
}
// Windows, Win95 and CUA: the menu drops from the button's lower edge,
// left edges aligned (kept on the screen).
void dropMenu(vbutton* b, vmenu* menu, vevent* event) {
  vrect r;
  if (onScreen(b, &r)) vmenuPopupInRect(menu, &r, 3, 1);
  else vmenuPopupForEvent(menu, event);
}
// The other looks: where the look pops a menu up for the event, with the
// button as the anchor, so that the release of a click leaves it open.
void menuAtEvent(vbutton* b, vmenu* menu, vevent* event) {
  vmenuPopupForEvent(menu, event);
  vrect r;
  if (onScreen(b, &r)) vmenuClassOf(menu)->setPopupAnchor(menu, &r);
}
void background(vbutton*, const vrect* content) {
  use(at(FACE));
  vdrawFillRects(content, 1);
}
void drawImage(vbutton* b, vimage* image, const vrect* content) {
  int x = content->x + (content->width - image->width) / 2, y = content->y + (content->height - image->height) / 2;
  vdrawPathMoveTo(x, y);
  if (b->flags & vdialogItemIMAGE_MASK) vdrawGetPrimitives()->ImageMask(image);
  else vdrawImage(image);
}
void title(vbutton* b, const vrect* content, int lift) {
  vrect r = *content;
  r.y = std::int16_t(r.y + lift);
  int align = vdialogGetItemMenu(b) ? 2 : 3;
  if (vdialogItemIsEnabled(b)) {
    use(at(FG));
    vlafDrawLabelText(b->title, b->mnemonic & 0xFF, &r, align);
  } else {
    vcolorScheme k{};
    vdialogDetermineItemColors(b, 0x57, &k);
    vlafDrawInactiveLabel(b->title, b->mnemonic & 0xFF, &r, align, &k);
  }
}
void windowsTitle(vbutton* b, const vrect* content) { title(b, content, 0); }
void win95Title(vbutton* b, const vrect* content) { title(b, content, 1); }
void genericTitle(vbutton* b, const vrect* content) {
  use(at(FG));
  vdrawPlaceCharsAt(b->title, int(std::strlen(b->title)), content, 3);
  vdrawGetPrimitives()->Show(b->title, int(std::strlen(b->title)));
}
void menuTriangle(vbutton* b, const vrect* content) {
  int m = lookOf(b).menuMarkSize, x = content->x + content->width - m, y = content->y + content->height / 2 + m / 4;
  use(at(FG));
  vdrawPathMoveTo(x, y);
  vdrawLineTo(x + m, y);
  vdrawLineTo(x + m / 2, y - m / 2);
  vdrawClosePath();
  vdrawFill(0);
}
void dotted(const vrect& r) {
  vdrawGSave();
  static const float dash[] = {1, 1};
  vdrawSetDash(2, dash, 0);
  vdrawSetLineWidth(1);
  vdrawRectsFrame(&r, 1);
  vdrawGRestore();
}
// Around the title, or the whole rectangle without one.
void windowsFocus(vbutton* b, const vrect* around) {
  vrect r = *around;
  if (*b->title) {
    int w = titleWidth(b) + 3, h = fontHeight(b) + 2;
    r = vrect{std::int16_t(vdialogGetItemMenu(b) ? around->x + 1 : around->x + (around->width - w) / 2),
              std::int16_t(around->y + (around->height - h) / 2), std::int16_t(w), std::int16_t(h)};
  }
  use(at(FG));
  if (vlafGetCurrent()->id == vlafWINDOWS) vlafDrawFocusRect(&r);
  else dotted(r);
}
void win95Focus(vbutton* b, const vrect*) {
  use(at(FG));
  dotted(inset(b->rect, 4));
}
void windowsRing(vbutton* b) {
  use(at(vcolorCOLOR_BORDER) ? at(vcolorCOLOR_BORDER) : vcolorGetBlack());
  int d = lookOf(b).ringSize;
  vrect r = inset(b->rect, -d);
  vdrawRectsFrameRounded(&r, 1, vlafGetCurrent()->cornerRadius);
}
void windowsBorder(vbutton* b) {
  vrect r = inset(b->rect, int(vdialogGetItemLineWidth(b)) / 2);
  use(vcolorGetBlack());
  vdrawSetLineWidth(1);
  if (emphasis(b)) vdrawRectsFrame(&b->rect, 1);
  else vdrawRectsFrameRounded(&b->rect, 1, vlafGetCurrent()->cornerRadius);
  vdrawSetLineWidth(lookOf(b).borderWidth);
  vrect in = inset(b->rect, 1);
  vdrawRectsFrameShaded(&in, 1, nullptr, at(LIGHT), at(DARK));
  (void)r;
}
void win95Border(vbutton* b) {
  vdrawSetLineWidth(1);
  vrect r = emphasis(b) ? vrect{b->rect.x, std::int16_t(b->rect.y + 1), std::int16_t(b->rect.width - 1),
                                std::int16_t(b->rect.height - 1)}
                        : b->rect;
  bool down = pressed(b);
  vdrawRectsFrameShaded(&r, 1, nullptr, down ? at(DARK) : at(LIGHT), down ? at(LIGHT) : at(DARK));
  vrect in = inset(r, 1);
  vcolor *innerLight = at(vcolorSHADOW_TOP_DARK), *innerDark = at(vcolorSHADOW_BOTTOM_DARK);
  vdrawRectsFrameShaded(&in, 1, nullptr, down ? innerDark : innerLight, down ? innerLight : innerDark);
}
// Pressing scrolls the content by the pressed offset instead of redrawing it.
template <bool Down>
void shiftContent(vbutton* b, int margin) {
  int d = lookOf(b).pressedOffset;
  vrect r = inset(b->rect, margin);
  vdialogItemClassOf(b)->scrollRect(b, &r, Down ? d : -d, Down ? -d : d, 0);
}
template <bool Down>
void windowsPressed(vbutton* b) {
  if (bordered(b)) windowsBorder(b);
  shiftContent<Down>(b, lookOf(b).borderWidth + 1);
}
template <bool Down>
void win95Pressed(vbutton* b) {
  if (bordered(b)) win95Border(b);
  shiftContent<Down>(b, 6);
}
void motifBorder(vbutton* b) {
  vdrawSetLineWidth(lookOf(b).borderWidth);
  vdrawRectsFrameShaded(&b->rect, 1, nullptr, at(LIGHT), at(DARK));
}
void motifMenuMark(vbutton* b, const vrect*) {
  const vrect& r = b->rect;
  vlafDrawVertArrow(r.x + r.width - 10 + 5, r.y + r.height / 2 + 2, -5, 5, at(FACE), at(DARK), at(LIGHT));
}
void motifFocus(vbutton*, const vrect* around) {
  use(vcolorGetBlack());
  dotted(inset(*around, 1));
}
void motifRing(vbutton* b) {
  vrect r = inset(b->rect, -lookOf(b).ringSize);
  vdrawRectsFrameShaded(&r, 1, nullptr, pressed(b) ? at(DARK) : at(LIGHT), pressed(b) ? at(LIGHT) : at(DARK));
}
void motifPressed(vbutton* b) {
  if (bordered(b)) motifBorder(b);
}
// The ring area around the bounds, redrawn piece by piece.
void motifFocusChanged(vbutton* b) {
  int d = lookOf(b).ringSize;
  const vrect& r = b->rect;
  vrect pieces[4] = {{std::int16_t(r.x - d), std::int16_t(r.y - d), std::int16_t(r.width + 2 * d), std::int16_t(d)},
                     {std::int16_t(r.x - d), std::int16_t(r.y + r.height), std::int16_t(r.width + 2 * d), std::int16_t(d)},
                     {std::int16_t(r.x - d), r.y, std::int16_t(d), r.height},
                     {std::int16_t(r.x + r.width), r.y, std::int16_t(d), r.height}};
  for (const vrect& p : pieces) vdialogItemClassOf(b)->invalRect(b, &p, 0);
}
void cuaRing(vbutton* b) {
  use(at(vcolorCOLOR_FOCUS) ? at(vcolorCOLOR_FOCUS) : vcolorGetBlack());
  vrect r = inset(b->rect, -1);
  vdrawRectsFrameRounded(&r, 1, vlafGetCurrent()->cornerRadius);
}
void redrawWhole(vbutton* b) { vdialogInvalItem(b, 0); }
void nothing(vbutton*) {}
void noMenu(vbutton*, const vrect*) {}
void noRect(vbutton*, const vrect*) {}

constexpr auto kNoColors = [](vbutton*) { vdrawGSave(); };

const vbuttonLook kGeneric = {0, 0, 0, 0, 0, 0, 0, 0, 0,
                              contentRect, measureTitle, measureMenu, measureImage, measureBorder, kNoColors, endColors,
                              menuAtEvent, background, drawImage, nothing, genericTitle, noMenu, noRect, nothing,
                              redrawWhole, redrawWhole, nothing};
const vbuttonLook kWindows = {75, 23, 2, 2, 8, 1, 1, 2, 1,
                              contentRect, measureTitle, measureMenu, measureImage, measureBorder,
                              beginColors<0x10054, false, true>, endColors, dropMenu, background, drawImage,
                              windowsBorder, windowsTitle, menuTriangle, windowsFocus, windowsRing,
                              windowsPressed<true>, windowsPressed<false>, redrawWhole};
const vbuttonLook kWin95 = {75, 23, 3, 1, 8, 1, 0, 1, 1,
                            contentRect, measureTitle, measureMenu, measureImage, measureBorder,
                            beginColors<0x510054, false, false>, endColors, dropMenu, background, drawImage,
                            win95Border, win95Title, menuTriangle, win95Focus, windowsRing,
                            win95Pressed<true>, win95Pressed<false>, redrawWhole};
const vbuttonLook kMotif = {80, 25, 2, 2, 10, 1, 4, 0, 1,
                            contentRect, measureTitle, measureMenu, measureImage, measureBorder,
                            beginColors<0x55, true, false>, endColors, menuAtEvent, background, drawImage,
                            motifBorder, genericTitle, motifMenuMark, motifFocus, motifRing,
                            motifPressed, motifPressed, motifFocusChanged};
const vbuttonLook kOpenLook = {0, 0, 0, 0, 0, 0, 0, 0, 0,
                               contentRect, measureTitle, measureMenu, measureImage, measureBorder, kNoColors,
                               endColors, menuAtEvent, background, drawImage, nothing, genericTitle, noMenu, noRect,
                               nothing, redrawWhole, redrawWhole, redrawWhole};
const vbuttonLook kCua = {70, 29, 2, 1, 8, 1, 0, 2, 1,
                          contentRect, measureTitle, measureMenu, measureImage, measureBorder,
                          beginColors<0x50055, false, true>, endColors, dropMenu, background, drawImage,
                          windowsBorder, genericTitle, menuTriangle, windowsFocus, cuaRing,
                          windowsPressed<true>, windowsPressed<false>, redrawWhole};

const vbuttonLook& lookOf(vbutton*) { return *_vbuttonLookFor(vlafGetCurrent()->id); }

}  // namespace

const vbuttonLook* _vbuttonLookFor(int id) {
  switch (id) {
    case vlafWINDOWS: return &kWindows;
    case vlafWIN95: return &kWin95;
    case vlafMOTIF: return &kMotif;
    case vlafOPEN_LOOK: return &kOpenLook;
    case vlafCUA: return &kCua;
    default: return &kGeneric;
  }
}

void _vbuttonOpenLookSize(vbutton* b, int* w, int* h) {
  int tw = *b->title ? titleWidth(b) : 0, th = *b->title ? fontHeight(b) : 0;
  bool border = bordered(b);
  int width = tw + (border ? 18 : 2), height = std::max(th + (border ? 4 : 2), 20);
  if (vdialogGetItemMenu(b)) width += 14, height = std::max(height, 7);
  if (vimage* image = vdialogGetItemImage(b)) {
    if (border) {
      if (width - 9 < image->width) width = image->width + 18;
      if (height < image->height + 4) height = image->height + 4;
    } else {
      width = std::max(width, int(image->width));
      height = std::max(height, int(image->height));
    }
  }
  *w = width + (border ? 1 : 0);
  *h = height + (border ? 1 : 0);
}

namespace {

// The default button's doubled outline: the look's end-cap glyphs, with
// lines between them; a taller button gets a second pair of caps above,
// clipped to the corners, joined by lines down the sides.
void openLookCaps(vbutton* b, vcolor* color) {
  const vrect& r = b->rect;
  int right = r.x + r.width - 9 - ((vlafGetCurrent()->flags & vlaf3D) ? 0 : 1);
  int extra = std::max(0, r.height - 20);
  use(color);
  auto caps = [&](int y, const vrect* clip) {
    vdrawGSave();
    if (clip) vdrawClipRects(clip, 2);
    vdrawPathMoveTo(r.x, y);
    vlafDrawGlyph(106, 18);
    vdrawPathMoveTo(right, y);
    vlafDrawGlyph(107, 18);
    vdrawGRestore();
  };
  if (extra == 0) {
    caps(r.y + 2, nullptr);
  } else {
    const vrect low[2] = {{r.x, r.y, 9, 10}, {std::int16_t(right), r.y, 10, 11}};
    const vrect high[2] = {{r.x, std::int16_t(r.y + r.height - 11), 9, 11},
                           {std::int16_t(right), std::int16_t(r.y + r.height - 11), 10, 11}};
    caps(r.y + 2, low);
    caps(r.y + 2 + extra, high);
    vdrawFillRects(std::array<vrect, 2>{vrect{std::int16_t(r.x + 2), std::int16_t(r.y + 10), 1, std::int16_t(extra)},
                                        vrect{std::int16_t(r.x + r.width - 3), std::int16_t(r.y + 10), 1,
                                              std::int16_t(extra)}}
                       .data(),
                   2);
  }
  const vrect lines[2] = {{std::int16_t(r.x + 9), std::int16_t(r.y + 4), std::int16_t(right - r.x - 9), 1},
                          {std::int16_t(r.x + 9), std::int16_t(r.y + extra + 18), std::int16_t(right - r.x - 9), 1}};
  vdrawFillRects(lines, 2);
}

}  // namespace

vmenuItem* _vbuttonPreviewItem(vmenu* menu) {
  vmenuItem* item = vmenuItemListGetDefault(&menu->items);
  return item ? item : vmenuItemListCount(&menu->items) ? vmenuItemListAt(&menu->items, 0) : nullptr;
}

namespace {

// The item the menu-default press previews, drawn by the item itself in
// the button's inside, centred as the title would be.
bool drawPreview(vbutton* b, vcolor* color) {
  constexpr std::uint16_t kMode = vbuttonPRESSED | vbuttonMENU_DEFAULT;
  vmenu* menu = vdialogGetItemMenu(b);
  vmenuItem* item = (b->buttonFlags & kMode) == kMode && menu ? _vbuttonPreviewItem(menu) : nullptr;
  if (!item) return false;
  vrect r = inset(b->rect, int(vdialogGetItemLineWidth(b)) + 2);
  vdrawGSave();
  use(color);
  vmenuItemDrawCentred(item, &r, vdialogDetermineItemFont(b));
  vdrawGRestore();
  return true;
}

}  // namespace

void _vbuttonDrawOpenLook(vbutton* b) {
  vdrawGSave();
  vcolorScheme k{};
  vdialogDetermineItemColors(b, 0x4055, &k);
  auto entry = [&](int i) { return (k.mask & vcolorSchemeBit(i)) ? k.entries[i] : nullptr; };
  vcolor* ground = vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND);
  if (!bordered(b)) {
    use(ground);
    vdrawFillRects(&b->rect, 1);
  } else {
    // The look's outline, pressed unless it has a menu or is up; the
    // scheme already holds the disabled colours of a disabled button.
    int state = (vdialogGetItemMenu(b) || !pressed(b)) ? 2 : 0;
    if (!vdialogItemIsEnabled(b)) state |= 8;
    vlafDrawLabel(&b->rect, state, &k);
  }
  if (emphasis(b)) openLookCaps(b, entry(FG));
  if (!drawPreview(b, entry(FG)) && *b->title) {
    vrect r = inset(b->rect, int(vdialogGetItemLineWidth(b)) + 2);
    if (vdialogGetItemMenu(b)) r.x = std::int16_t(r.x + ((b->rect.width - titleWidth(b)) - 14) / 2);
    use(entry(FG));
    vdrawPlaceCharsAt(b->title, int(std::strlen(b->title)), &r, 3);
    vdrawGetPrimitives()->Show(b->title, int(std::strlen(b->title)));
  }
  if (vdialogItemIsActive(b)) {
    int cy = b->rect.y + b->rect.height / 2;
    use(entry(FG));
    vdrawPathMoveTo(b->rect.x, cy - 5);
    vdrawLineTo(b->rect.x, cy + 5);
    vdrawLineTo(b->rect.x + 10, cy);
    vdrawClosePath();
    vdrawFill(0);
  }
  vdrawGRestore();
}

#include "fw/widgets/controls/toggle.h"

#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/pixmap.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace {

// Control flag 8 (the slider's tick marks) means "marked" here: Open Look
// shows the check box even without a title.
constexpr std::uint16_t kMarked = vcontrolTICK_MARKS;

struct Colors {
  vcolorScheme k{};
  Colors(vcontrol* c, std::uint32_t mask) { vdialogDetermineItemColors(c, mask, &k); }
  vcolor* operator[](int i) const { return (k.mask & vcolorSchemeBit(i)) ? k.entries[i] : nullptr; }
  vcolor* or_(int i, vcolor* fallback) const { return (*this)[i] ? (*this)[i] : fallback; }
};

struct ToggleLook {
  int xOffset, labelY, indicatorWidth, indicatorHeight, gap, labelMargin, labelExtra;
  std::uint32_t colorMask;
  bool sizeOfImage61;
  void (*background)(vcontrol* c, const Colors& k);
  void (*check)(vcontrol* c, const vrect& box, const Colors& k);
  void (*radio)(vcontrol* c, const vrect& box, const Colors& k);
  void (*focus)(vcontrol* c, const vrect& box, const Colors& k);
};

struct ToggleState {
  vcontrolClassRec* cls;
  const ToggleLook* look;
  int lookId;
  int indicatorWidth, indicatorHeight;
};
void** stateSlot = nullptr;
ToggleState* state();
const ToggleLook& look() { return *state()->look; }
bool openLook() { return state()->lookId == vlafOPEN_LOOK; }

vcontrolClassRec* super() { return vcontrolGetDefaultClass(); }
vcontrol* asControl(vinstance* o) { return static_cast<vcontrol*>(o); }
bool pressed(const vcontrol* c) { return (c->controlFlags & vcontrolPRESSED) != 0; }
bool radio(const vcontrol* c) { return (c->controlFlags & vcontrolEXCLUSIVE) != 0; }
bool marked(const vcontrol* c) { return (c->controlFlags & kMarked) != 0; }
bool titled(const vcontrol* c) { return c->title && *c->title; }
void use(vcolor* c) {
  if (c) vdrawSetColor(c);
}
vrect inset(const vrect& r, int d) {
  return vrect{std::int16_t(r.x + d), std::int16_t(r.y + d), std::int16_t(r.width - 2 * d), std::int16_t(r.height - 2 * d)};
}
int rounded(vfixed v) { return int((std::int64_t(v) + 32768) >> 16); }
int fontHeight(vcontrol* c) { return rounded(vfontGetHeight(vdialogDetermineItemFont(c))); }
int titleWidth(vcontrol* c) {
  return rounded(vfontGetCharsWidth(vdialogDetermineItemFont(c), c->title, int(std::strlen(c->title))));
}
int lineWidth() { return std::max(1, int(vdrawGetState()->lineWidth)); }

// The value an activation gives.
std::int32_t nextValue(const vcontrol* c) {
  std::int64_t top = std::int64_t(c->max) - c->view;
  std::int64_t next = std::int64_t(c->value) + 1;
  return next > top ? c->min : std::int32_t(next);
}

vrect indicatorBox(const vcontrol* c) {
  const vrect& r = c->rect;
  if (openLook()) {
    if (!marked(c)) return r;
    return vrect{r.x, std::int16_t(r.y + (r.height - 16) / 2), 16, 16};
  }
  int h = state()->indicatorHeight;
  // Beside a title, level with its letters rather than with its line box,
  // whose descent would leave the box and circle low.
  int lift = 0;
  if (titled(c)) {
    vrect bounds{};
    vfontGetBounds(vdialogDetermineItemFont(const_cast<vcontrol*>(c)), &bounds);
    lift = (-bounds.y + 1) / 2;
  }
  return vrect{r.x, std::int16_t(r.y + (r.height - h) / 2 + lift), std::int16_t(state()->indicatorWidth),
               std::int16_t(h)};
}

void redrawIndicator(vcontrol* c) {
  if (!(c->flags & vdialogItemOPEN)) return;
  vdialogItemClassOf(c)->invalRect(c, &c->indicator, 1);
}

// ---- Pressing: one part, the whole control; the release activates.
void showPressed(vcontrol* c) {
  c->controlFlags |= vcontrolPRESSED;
  redrawIndicator(c);
}
void showReleased(vcontrol* c) {
  c->controlFlags &= std::uint16_t(~vcontrolPRESSED);
  redrawIndicator(c);
}
int step(vcontrol* c) {
  c->value = nextValue(c);
  redrawIndicator(c);
  return 1;
}
constexpr vcontrolPart kPart{vcontrolPartRELEASE_ACTION, nullptr, showPressed, showReleased, nullptr, step};

void choosePart(vcontrol* c, vevent*) { c->activePart = &kPart; }

int issueSelector(vobject* self, int selector, vdict* context) {
  if (selector != 3) return super()->issueSelector(self, selector, context);
  auto* event = context && vdictHas(context, vname_Event)
                    ? static_cast<vevent*>(const_cast<void*>(vdictGet(context, vname_Event)))
                    : nullptr;
  vcontrolToggleActivate(asControl(self), event);
  return 1;
}

void computeIndicator(vcontrol* c) { c->indicator = indicatorBox(c); }

void setExclusive(vcontrol* c, int on) {
  super()->setExclusive(c, on);
  vdialogInvalItem(c, 0);
}

void naturalSize(vdialogItem* item, int* w, int* h) {
  vcontrol* c = asControl(item);
  if (openLook()) {
    *w = *h = 16;
    if (titled(c) && !marked(c)) {
      // The button form: the caret's 10 pixels, a pixel either side, and
      // an oblong that holds the title between its 9-pixel ends and is at
      // least as tall as those ends are drawn (20, one more for the edge).
      *w = 10 + 2 + titleWidth(c) + 19;
      *h = 2 + std::max(fontHeight(c) + 4, 20) + 1;
    } else if (titled(c) || marked(c)) {
      *w += (titled(c) ? titleWidth(c) : 0) + 3;
      *h = std::max(16, titled(c) ? fontHeight(c) : 0);
    }
    return;
  }
  const ToggleLook& l = look();
  *w = l.xOffset + state()->indicatorWidth;
  *h = state()->indicatorHeight;
  if (!titled(c)) return;
  *w += titleWidth(c) + l.gap + 2 * l.labelMargin + l.labelExtra;
  *h = std::max(*h, fontHeight(c) + 2 * l.labelMargin + l.labelExtra);
}

// ---- Drawing.
vcolor* dialogGround(vcontrol* c) {
  if (vwindow* w = vdialogGetItemWindow(c)) return vwindowDetermineColor(w, vcolorBACKGROUND);
  return vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND);
}
void fillGround(vcontrol* c, const Colors& k) {
  use(k[vcolorBACKGROUND]);
  vdrawFillRects(&c->rect, 1);
}
void fillDialogGround(vcontrol* c, const Colors&) {
  use(dialogGround(c));
  vdrawFillRects(&c->rect, 1);
}

void dotted(const vrect& r) {
  static const float dash[] = {1, 1};
  vdrawSetDash(2, dash, 0);
  vdrawSetLineWidth(1);
  vdrawRectsFrame(&r, 1);
}
// Around the label; drawn in the ground's colour to take it away again.
vrect focusRect(vcontrol* c) {
  const ToggleLook& l = look();
  int left = c->rect.x + state()->indicatorWidth + l.gap - 1 + l.xOffset;
  return vrect{std::int16_t(left), c->rect.y, std::int16_t(c->rect.x + c->rect.width - left), c->rect.height};
}
void dottedFocus(vcontrol* c, const vrect&, const Colors& k) {
  use((c->flags & vdialogItemFOCUSED) ? k.or_(vcolorFOREGROUND, vcolorGetBlack()) : k[vcolorBACKGROUND]);
  dotted(focusRect(c));
}
void dialogFocus(vcontrol* c, const vrect&, const Colors& k) {
  use((c->flags & vdialogItemFOCUSED) ? k.or_(vcolorFOREGROUND, vcolorGetBlack()) : dialogGround(c));
  dotted(focusRect(c));
}

// Windows 2-D: a framed box with an X, or a ring with a disc.
void windowsCheck(vcontrol* c, const vrect& box, const Colors& k) {
  int lw = lineWidth(), frame = pressed(c) ? lw + 1 : lw;
  use(k[vcolorBACKGROUND]);
  vdrawFillRects(&box, 1);
  use(k.or_(vcolorFOREGROUND, vcolorGetBlack()));
  vdrawSetLineWidth(frame);
  vdrawRectsFrame(&box, 1);
  vdrawSetLineWidth(1);
  int x0 = box.x + frame, y0 = box.y + frame, x1 = box.x + box.width - frame - 1, y1 = box.y + box.height - frame - 1;
  if (c->value == 1) {
    vdrawPathMoveTo(x0, y0);
    vdrawLineTo(x1, y1);
    vdrawStroke();
    vdrawPathMoveTo(x0, y1);
    vdrawLineTo(x1, y0);
    vdrawStroke();
  } else if (c->value == -1) {
    vrect inside = inset(box, lw + 1);
    vlafClipPatternRect(&inside);
    vdrawFillRects(&inside, 1);
  }
}
void windowsRadio(vcontrol* c, const vrect& box, const Colors& k) {
  use(k[vcolorBACKGROUND]);
  vdrawFillPies(&box, 1, 0, 360);
  use(k.or_(vcolorFOREGROUND, vcolorGetBlack()));
  vdrawFrameArcs(&box, 1, 0, 360);
  if (pressed(c)) {
    vrect in = inset(box, 1);
    vdrawFrameArcs(&in, 1, 0, 360);
  }
  if (c->value != 1 && c->value != -1) return;
  if (c->value == -1) use(k.or_(vcolorSHADOW_BOTTOM, vcolorGetBlack()));
  vrect disc = inset(box, lineWidth() + 2);
  vdrawFillPies(&disc, 1, 0, 360);
}

// Windows 3-D and Win95: look images by state, chosen from one table.
struct ImageRow {
  int off, on, mixed;
};
struct ImageSet {
  ImageRow enabled, pressed, disabled;
};
constexpr ImageSet kWindowsCheck{{59, 60, 61}, {61, 62, 61}, {61, 62, 61}};
constexpr ImageSet kWindowsRadio{{64, 65, 66}, {66, 67, 66}, {66, 67, 66}};
constexpr ImageSet kWin95Check{{120, 121, 124}, {122, 123, 125}, {122, 125, 125}};
constexpr ImageSet kWin95Radio{{126, 127, 130}, {128, 129, 130}, {128, 130, 130}};

void setEntry(vcolorList* palette, std::uint32_t i, vcolor* c) {
  unsigned r = 0, g = 0, b = 0;
  if (!c || i >= palette->count) return;
  vcolorGetSpecRGB(&c->desc, &r, &g, &b);
  vcolorSetSpecRGB(&palette->entries[i], r, g, b);
}
// A private copy of a palette image whose entries 0, 2 and 3 take the
// item's ground, light and dark colours and entry 1 black.
void drawRecoloured(vimage* image, const Colors& k) {
  vimage* copy = vimageCreateSized(image->width, image->height, image->numColors);
  vpixmapCopyRect(image, copy, 0, 0, image->width, image->height, 0, 0);
  vcolorListCopy(vimageGetPalette(image), vimageGetPalette(copy));
  if (image->mask) {
    vimage* mask = vimageCreateSized(image->width, image->height, 2);
    vpixmapCopyRect(image->mask, mask, 0, 0, image->width, image->height, 0, 0);
    vcolorListCopy(vimageGetPalette(image->mask), vimageGetPalette(mask));
    vimageSetMaskOwned(copy, mask);
  }
  vcolorList* palette = vimageGetPalette(copy);
  setEntry(palette, 0, k[vcolorBACKGROUND]);
  setEntry(palette, 1, vcolorGetBlack());
  setEntry(palette, 2, k[vcolorSHADOW_TOP]);
  setEntry(palette, 3, k[vcolorSHADOW_BOTTOM]);
  vcolorListChanged(palette);
  vdrawImage(copy);
  vimageDestroy(copy);
}
template <bool Radio>
void imageIndicator(vcontrol* c, const vrect& box, const Colors& k) {
  int index = _vcontrolToggleImageFor(Radio, c->value, pressed(c), vdialogItemIsEnabled(c));
  vimage* image = index ? vlafGetImage(index) : nullptr;
  if (!image) return;
  vdrawPathMoveTo(box.x, box.y + (box.height - image->height) / 2);
  if (image->numColors > 2) {
    drawRecoloured(image, k);
  } else {
    use(k.or_(vcolorFOREGROUND, vcolorGetBlack()));
    vdrawGetPrimitives()->ImageMask(image);
  }
}

// Motif: while pressed the indicator previews the value a release gives.
std::int32_t shownValue(const vcontrol* c) { return pressed(c) ? nextValue(c) : c->value; }
template <bool Radio>
void motifIndicator(vcontrol* c, const vrect& box, const Colors& k) {
  std::int32_t v = shownValue(c);
  vcolor *light = k[vcolorSHADOW_TOP], *dark = k[vcolorSHADOW_BOTTOM];
  vcolor* fill = v == 1 ? k.or_(vcolorBACKGROUND_HILITE, dark) : v == -1 ? k.or_(vcolorSHADOW_TOP, light) : nullptr;
  bool sunken = v == 1 || v == -1;
  vdrawSetLineWidth(2);
  if (Radio) vlafDrawDiamond(&box, fill, sunken ? dark : light, sunken ? light : dark);
  else vlafDrawCheckFrame(&box, fill, sunken ? dark : light, sunken ? light : dark);
}

// CUA: a bevelled box with the check mark and its shadow; the radio
// button from arc, ring and dot images.
void drawMask(int index, int x, int y, vcolor* color) {
  vimage* image = vlafGetImage(index);
  if (!image || !color) return;
  use(color);
  vdrawPathMoveTo(x, y);
  vdrawGetPrimitives()->ImageMask(image);
}
void cuaCheck(vcontrol* c, const vrect& box, const Colors& k) {
  vcolor *light = k.or_(vcolorSHADOW_TOP, vcolorGetWhite()), *dark = k.or_(vcolorSHADOW_BOTTOM, vcolorGetBlack());
  vrect frame = inset(box, 1);
  use(k[vcolorBACKGROUND]);
  vdrawFillRects(&frame, 1);
  use(k.or_(vcolorFOREGROUND, vcolorGetBlack()));
  vdrawRectsFrame(&frame, 1);
  vrect bevel = inset(frame, 1);
  vdrawRectsFrameShaded(&bevel, 1, nullptr, pressed(c) ? dark : light, pressed(c) ? light : dark);
  if (c->value != 1 && c->value != -1) return;
  // The marks sit in the middle of the box.
  int x = box.x + (box.width - 8) / 2, y = box.y + (box.height - 8) / 2;
  drawMask(90, x, y, dark);
  drawMask(89, x + 1, y + 1, c->value == 1 ? k.or_(vcolorFOREGROUND, vcolorGetBlack()) : dark);
}
void cuaRadio(vcontrol* c, const vrect& box, const Colors& k) {
  vcolor *light = k.or_(vcolorSHADOW_TOP, vcolorGetWhite()), *dark = k.or_(vcolorSHADOW_BOTTOM, vcolorGetBlack());
  bool p = pressed(c);
  int x = box.x + 1, y = box.y + 1;
  if (c->value == 1 || c->value == -1) {
    drawMask(p ? 93 : 94, x, y, dark);
    drawMask(p ? 97 : 98, x, y, light);
    drawMask(p ? 95 : 96, x, y, c->value == 1 ? k.or_(vcolorFOREGROUND, vcolorGetBlack()) : dark);
  } else {
    drawMask(p ? 91 : 92, x, y, dark);
    drawMask(p ? 97 : 98, x, y, light);
  }
}

void noIndicator(vcontrol*, const vrect&, const Colors&) {}
void noGround(vcontrol*, const Colors&) {}

const ToggleLook kDefault{0, 0, 0, 0, 0, 0, 0, 0, false, noGround, noIndicator, noIndicator, noIndicator};
const ToggleLook kWindows2D{0, 1, 12, 12, 3, 0, 1, 0x2, false, fillGround, windowsCheck, windowsRadio, dottedFocus};
const ToggleLook kWindows3D{0, 1, 16, 16, 3, 0, 1, 0x1056, true, fillDialogGround, imageIndicator<false>,
                            imageIndicator<true>, dialogFocus};
const ToggleLook kWin95{0, 1, 13, 13, 3, 0, 1, 0x1056, true, fillDialogGround, imageIndicator<false>,
                        imageIndicator<true>, dialogFocus};
const ToggleLook kMotif{0, 0, 16, 16, 3, 1, 0, 0x52, false, fillGround, motifIndicator<false>, motifIndicator<true>,
                        dottedFocus};
const ToggleLook kCua{0, 0, 14, 14, 3, 2, 0, 0x52, false, fillGround, cuaCheck, cuaRadio, dottedFocus};
const ToggleLook kOpenLookTable{0, 0, 13, 16, 0, 0, 0, 0, false, noGround, noIndicator, noIndicator, noIndicator};

const ToggleLook* lookFor(int id, bool threeD) {
  switch (id) {
    case vlafWINDOWS: return threeD ? &kWindows3D : &kWindows2D;
    case vlafWIN95: return &kWin95;
    case vlafMOTIF: return &kMotif;
    case vlafOPEN_LOOK: return &kOpenLookTable;
    case vlafCUA: return &kCua;
    default: return &kDefault;
  }
}

void drawLabel(vcontrol* c, const vrect& r) {
  if (vdialogItemIsEnabled(c)) {
    Colors k(c, 0x1);
    use(k.or_(vcolorFOREGROUND, vcolorGetBlack()));
    vlafDrawLabelText(c->title, c->mnemonic & 0xFF, &r, 2);
  } else {
    // Win95 embosses in the plain shadow pair, as a disabled label does:
    // the pair's own disabled variants are too faint on the face to read.
    vcolorScheme k{};
    if (vlafGetCurrent()->id == vlafWIN95) vdialogDetermineItemScheme(c, 0x57, &k);
    else vdialogDetermineItemColors(c, 0x57, &k);
    vlafDrawInactiveLabel(c->title, c->mnemonic & 0xFF, &r, 2, &k);
  }
}

// ---- Open Look: a check box, or a button holding the title.
vcolor* windowGround(vcontrol* c) {
  vwindow* w = vdialogGetItemWindow(c);
  return w ? vwindowDetermineColor(w, vcolorBACKGROUND) : vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND);
}
void openLookCaret(vcontrol* c, const Colors& k) {
  const vrect& r = c->rect;
  int cy = r.y + r.height / 2;
  if (c->flags & vdialogItemFOCUSED) {
    use(k.or_(vcolorFOREGROUND, vcolorGetBlack()));
    vdrawPathMoveTo(r.x, cy - 4);
    vdrawLineTo(r.x, cy + 4);
    vdrawLineTo(r.x + 8, cy);
    vdrawClosePath();
    vdrawFill(0);
  } else {
    use(windowGround(c));
    vdrawRectFill(r.x, cy - 4, 9, 9);
  }
}
void openLookCheckBox(vcontrol* c, const vrect& box, const Colors& k) {
  vrect square{box.x, std::int16_t(box.y + (box.height - 13) / 2), 13, 13};
  vcolor* fg = k.or_(vcolorFOREGROUND, vcolorGetBlack());
  if (vlafGetCurrent()->flags & vlaf3D) {
    bool in = pressed(c);
    vdrawRectsFrameShaded(&square, 1, k[vcolorBACKGROUND], in ? k[vcolorSHADOW_BOTTOM] : k[vcolorSHADOW_TOP],
                          in ? k[vcolorSHADOW_TOP] : k[vcolorSHADOW_BOTTOM]);
  } else {
    use(k[vcolorBACKGROUND]);
    vdrawFillRects(&square, 1);
    use(fg);
    vdrawRectsFrame(&square, 1);
  }
  if (c->value != 1 && c->value != -1) return;
  use(c->value == 1 ? fg : k.or_(vcolorSHADOW_BOTTOM, fg));
  vdrawSetLineWidth(2);
  vdrawPathMoveTo(square.x + 3, square.y + 7);
  vdrawLineTo(square.x + 6, square.y + 3);
  vdrawLineTo(square.x + 13, square.y + 14);
  vdrawStroke();
}
void drawOpenLook(vcontrol* c) {
  Colors k(c, 0x4055);
  vdrawGSave();
  use(windowGround(c));
  vdrawFillRects(&c->rect, 1);
  vdrawGRestore();
  vdrawGSave();
  if (!titled(c) || marked(c)) {
    vrect box = indicatorBox(c);
    if (!marked(c)) box.x = std::int16_t(c->rect.x + 10);
    openLookCheckBox(c, box, k);
    if (titled(c)) {
      vrect label{std::int16_t(box.x + 16 + 3), c->rect.y, std::int16_t(c->rect.width - 19), c->rect.height};
      drawLabel(c, label);
    }
  } else {
    bool set = c->value == 1;
    vrect button = inset(c->rect, 1);
    button.x = std::int16_t(button.x + 10);
    button.width = std::int16_t(button.width - 10);
    int s = (set != pressed(c)) ? 0 : 2;
    if (!vdialogItemIsEnabled(c)) s |= 8;
    vlafDrawLabel(&button, s, &k.k);
    vrect label = inset(button, 2);
    use(k.or_(vcolorFOREGROUND, vcolorGetBlack()));
    vdrawCharsAt(c->title, int(std::strlen(c->title)), &label, 3);
  }
  vdrawGRestore();
  if (vdialogItemIsActive(c)) openLookCaret(c, k);
}

void draw(vdialogItem* item) {
  vcontrol* c = asControl(item);
  if (openLook()) return drawOpenLook(c);
  const ToggleLook& l = look();
  Colors k(c, l.colorMask | 0x5);
  vrect box = indicatorBox(c);
  vdrawGSave();
  l.background(c, k);
  vdrawGRestore();
  vdrawGSave();
  (radio(c) ? l.radio : l.check)(c, box, k);
  vdrawGRestore();
  if (titled(c)) {
    int left = state()->indicatorWidth + l.gap + l.xOffset;
    vrect label{std::int16_t(c->rect.x + left), std::int16_t(c->rect.y + l.labelY), std::int16_t(c->rect.width - left),
                c->rect.height};
    if (vdrawRectIsVisible(&label)) {
      vdrawGSave();
      drawLabel(c, label);
      vdrawGRestore();
    }
  }
  if (vdialogItemIsActive(c)) {
    vdrawGSave();
    l.focus(c, box, k);
    vdrawGRestore();
  }
}

void drawFocus(vdialogItem* item) {
  vcontrol* c = asControl(item);
  vdrawGSave();
  if (openLook()) {
    openLookCaret(c, Colors(c, 0x4055));
  } else {
    Colors k(c, look().colorMask | 0x5);
    look().focus(c, indicatorBox(c), k);
  }
  vdrawGRestore();
}

ToggleState* state() {
  if (auto* bound = vmoduleState<ToggleState>(stateSlot)) return bound;
  auto* st = static_cast<ToggleState*>(vmoduleBindSlot(stateSlot, sizeof(ToggleState)));
  *st = ToggleState{};
  const vlaf* laf = vlafGetCurrent();
  st->lookId = laf->id;
  st->look = lookFor(laf->id, (laf->flags & vlaf3D) != 0);
  st->indicatorWidth = st->look->indicatorWidth;
  st->indicatorHeight = st->look->indicatorHeight;
  if (st->look->sizeOfImage61)
    if (vimage* image = vlafGetImage(61)) st->indicatorWidth = image->width, st->indicatorHeight = image->height;
  auto* c = vclassSpawnOf<vcontrolClassRec>(super());
  c->instanceSize = sizeof(vcontrol);
  c->issueSelector = issueSelector;
  c->naturalSize = c->minSize = naturalSize;
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->computeIndicator = computeIndicator;
  c->choosePart = choosePart;
  c->setExclusive = setExclusive;
  c->defaultWidth = std::int16_t(st->look->xOffset + st->indicatorWidth);
  c->defaultHeight = std::int16_t(st->indicatorHeight);
  vclassSetName(c, vscribeLiteral("vcontrolToggle"));
  if (st->lookId == vlafWINDOWS || st->lookId == vlafWIN95) {
    vlafSetClassMSWSysColor(st->lookId, 1, c, vcolorFOREGROUND, 8);
    vlafSetClassMSWSysColor(st->lookId, 1, c, vcolorBACKGROUND, 7);
  } else if (st->lookId == vlafCUA) {
    vlafSetClassMSWSysColor(vlafCUA, -1, c, vcolorBACKGROUND, 31);
  }
  _vdialogItemRunNamingHook(c);
  st->cls = c;
  return st;
}

}  // namespace

vcontrolClassRec* vcontrolToggleGetDefaultClass() { return state()->cls; }
vcontrol* vcontrolToggleCreate() { return asControl(vinstanceCreate(vcontrolToggleGetDefaultClass())); }

void vcontrolToggleActivate(vcontrol* c, vevent* event) {
  step(c);
  vdialogNotifyItem(c, event);
}

int _vcontrolToggleImageFor(bool isRadio, int value, bool isPressed, bool enabled) {
  const ImageSet* set = nullptr;
  switch (state()->look == &kWindows3D ? -1 : state()->lookId) {
    case -1: set = isRadio ? &kWindowsRadio : &kWindowsCheck; break;
    case vlafWIN95: set = isRadio ? &kWin95Radio : &kWin95Check; break;
    default: return 0;
  }
  const ImageRow& row = !enabled ? set->disabled : isPressed ? set->pressed : set->enabled;
  return value == 1 ? row.on : value == -1 ? row.mixed : row.off;
}

// The option menu's per-look tables: sizes, where the menu opens, and the
// drawings of the Windows, Win95, Motif and CUA looks; Open Look's
// abbreviated menu button with the current title beside it.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/controls/optionmenu_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace voptionint {
namespace {

enum { FG = vcolorFOREGROUND, BG = vcolorBACKGROUND, LIGHT = vcolorSHADOW_TOP, DARK = vcolorSHADOW_BOTTOM };
vcolor* at(const vcolorScheme& k, int i) { return (k.mask & vcolorSchemeBit(i)) ? k.entries[i] : nullptr; }
vcolor* orBlack(vcolor* c) { return c ? c : vcolorGetBlack(); }
void use(vcolor* c) {
  if (c) vdrawSetColor(c);
}
bool pressed(const vcontrol* c) { return (c->controlFlags & vcontrolPRESSED) != 0; }
vrect inset(const vrect& r, int dx, int dy) {
  return vrect{std::int16_t(r.x + dx), std::int16_t(r.y + dy), std::int16_t(r.width - 2 * dx),
               std::int16_t(r.height - 2 * dy)};
}
int rounded(vfixed v) { return int((std::int64_t(v) + 32768) >> 16); }
vfont* fontOf(vcontrol* c) { return vdialogDetermineItemFont(c); }
int fontHeight(vcontrol* c) { return rounded(vfontGetHeight(fontOf(c))); }
int ascent(vcontrol* c) { return rounded(vfontGetDriver()->ascent(fontOf(c))); }
int descent(vcontrol* c) { return rounded(vfontGetDriver()->descent(fontOf(c))); }

// The dialog's ground (a face colour), or the application's.
vcolor* face(vcontrol* c) {
  if (vwindow* w = vdialogGetItemWindow(c)) return vwindowDetermineColor(w, BG);
  return vapplicationDetermineColor(vapplicationGetCurrent(), BG);
}

void label(vcontrol* c, const char* title, const vcolorScheme& k, const vrect& r, int mode) {
  if (vdialogItemIsEnabled(c)) {
    use(orBlack(at(k, FG)));
    vlafDrawLabelText(title, 0, &r, mode);
  } else {
    vcolorScheme d{};
    vdialogDetermineItemColors(c, 0x57, &d);
    vlafDrawInactiveLabel(title, 0, &r, mode, &d);
  }
}
void dotted(vcontrol* c, const vcolorScheme& k, const vrect& r, vcolor* ground) {
  static const float dash[] = {1, 1};
  use((c->flags & vdialogItemFOCUSED) ? orBlack(at(k, FG)) : ground);
  vdrawSetDash(2, dash, 0);
  vdrawSetLineWidth(1);
  vdrawRectsFrame(&r, 1);
}
// A small filled triangle pointing down, centred in r.
void downArrow(const vrect& r, int half) {
  int cx = r.x + r.width / 2, top = r.y + r.height / 2 + (half + 1) / 2;
  for (int i = 0; i <= half; ++i) vdrawRectFill(cx - half + i, top - i, 2 * (half - i) + 1, 1);
}

// The title vertically centred in the look's label rectangle.
template <void (*Rect)(vcontrol*, vrect*)>
void labelIn(vcontrol* c, const char* title, const vcolorScheme& k) {
  vrect r;
  Rect(c, &r);
  label(c, title, k, r, 2);
}

// A push-button face with a down arrow, sunken while pressed; Windows
// shifts the arrow with the press.
void arrowButton(vcontrol* c, const vcolorScheme& k, const vrect& box, bool shifts) {
  bool down = pressed(c);
  use(face(c));
  vdrawFillRects(&box, 1);
  use(orBlack(at(k, FG)));
  vdrawRectsFrame(&box, 1);
  vrect bevel = inset(box, 1, 1);
  vdrawRectsFrameShaded(&bevel, 1, nullptr, down ? at(k, DARK) : at(k, LIGHT), down ? at(k, LIGHT) : at(k, DARK));
  use(orBlack(at(k, FG)));
  downArrow(down && shifts ? vrect{std::int16_t(box.x + 1), std::int16_t(box.y - 1), box.width, box.height} : box, 3);
}

// ---- Sizes.
void fromMargins(vcontrol* c, vmenu* m, const vmenuFrameMargins& f, int* w, int* h) {
  *w = m->rect.width;
  *h = ascent(c) + f.top + f.bottom + f.upper + f.baseline;
}
template <int Width, int Height, int Extra>
void fromDefault(vcontrol* c, vmenu* m, const vmenuFrameMargins&, int* w, int* h) {
  *w = std::max<int>(Width, m->rect.width);
  *h = std::max(Height, fontHeight(c) + Extra);
}
// Open Look: the button, a gap and the menu's width for the title.
void openLookSize(vcontrol* c, vmenu* m, const vmenuFrameMargins&, int* w, int* h) {
  *w = 23 + m->rect.width;
  *h = std::max(16, fontHeight(c));
}

// ---- Where the menu opens.
// Left-aligned under the control, whatever side the look's pop-ups take.
void below(vcontrol* c, vmenu* m, vwindow* w, const vrect& r) {
  vrect at = r, anchor;
  at.y = std::int16_t(at.y + vdialogDetermineItemInset(c));
  vwindowTranslateRect(w, nullptr, &at, &anchor);
  vmenuPopupInRect(m, &anchor, 3, 1);
}
// The current item over the control: the menu's pop-up at an item centres
// that item on the point.
void overCurrent(vcontrol* c, vmenu* m, vwindow* w, const vrect& r) {
  if (c->value >= 0 && c->value < vmenuItemListCount(&m->items)) {
    vmenuItem* item = vmenuItemListAt(&m->items, c->value);
    vmenuClassOf(m)->setDefaultItem(m, item);
    vmenuItemListClassOf(&m->items)->setCurrentItem(&m->items, item);
  }
  int x, y;
  vwindowTranslatePoint(w, nullptr, r.x + r.width / 2, r.y + r.height / 2, &x, &y);
  vmenuPopupAtItem(m, x, y);
}

// ---- Windows.
void windowsGround(vcontrol* c, const vcolorScheme& k) {
  int lw = int(vdialogGetItemLineWidth(c));
  use(at(k, BG));
  vrect in = inset(c->rect, lw, lw);
  vdrawFillRects(&in, 1);
  use(orBlack(at(k, FG)));
  vdrawSetLineWidth(std::max(1, lw));
  vdrawRectsFrame(&c->rect, 1);
}
void windowsLabelRect(vcontrol* c, vrect* out) {
  const vrect& r = c->rect;
  *out = vrect{std::int16_t(r.x + 5), r.y, std::int16_t(std::max(0, r.width - 5 - r.height)), r.height};
}
void windowsIndicator(vcontrol* c, const vcolorScheme& k) {
  const vrect& r = c->rect;
  int s = r.height - 2;
  arrowButton(c, k, vrect{std::int16_t(r.x + r.width - 1 - s), std::int16_t(r.y + 1), std::int16_t(s), std::int16_t(s)},
              true);
}
void windowsFocus(vcontrol* c, const vcolorScheme& k) {
  const vrect& r = c->rect;
  dotted(c, k, vrect{std::int16_t(r.x + 2), std::int16_t(r.y + 2), std::int16_t(r.width - r.height - 3),
                     std::int16_t(r.height - 4)},
         at(k, BG));
}

// ---- Win95: a sunken field with an arrow button inside its frames.
void win95Ground(vcontrol* c, const vcolorScheme& k) {
  vdrawRectsFrameShaded(&c->rect, 1, nullptr, at(k, DARK), at(k, LIGHT));
  vrect inner = inset(c->rect, 1, 1);
  vdrawRectsFrameShaded(&inner, 1, nullptr, at(k, vcolorSHADOW_BOTTOM_DARK), at(k, vcolorSHADOW_TOP_DARK));
  vrect fill = inset(inner, 1, 1);
  use(vdialogItemIsEnabled(c) ? at(k, BG) : face(c));
  vdrawFillRects(&fill, 1);
}
vrect win95Button(vcontrol* c) {
  vimage* arrow = vlafGetImage(135);
  int w = arrow ? arrow->width : 16;
  const vrect& r = c->rect;
  return vrect{std::int16_t(r.x + r.width - 2 - w), std::int16_t(r.y + 2), std::int16_t(w), std::int16_t(r.height - 4)};
}
void win95Indicator(vcontrol* c, const vcolorScheme& k) {
  vrect b = win95Button(c);
  use(face(c));
  vdrawFillRects(&b, 1);
  if (pressed(c)) {
    use(at(k, DARK));
    vdrawRectsFrame(&b, 1);
  } else {
    vdrawRectsFrameShaded(&b, 1, nullptr, at(k, vcolorSHADOW_TOP_DARK), at(k, vcolorSHADOW_BOTTOM_DARK));
    vrect in = inset(b, 1, 1);
    vdrawRectsFrameShaded(&in, 1, nullptr, at(k, LIGHT), at(k, DARK));
  }
  int index = !vdialogItemIsEnabled(c) ? 137 : pressed(c) ? 136 : 135;
  vimage* image = vlafGetImage(index);
  if (!image) return;
  use(index == 137 ? at(k, DARK) : orBlack(at(k, FG)));
  vdrawPathMoveTo(b.x + (b.width - image->width) / 2, b.y + (b.height - image->height) / 2);
  vdrawGetPrimitives()->ImageMask(image);
}

// ---- Motif: a raised frame with a bar on the right.
void motifGround(vcontrol* c, const vcolorScheme& k) {
  vdrawSetLineWidth(2);
  vdrawRectsFrameShaded(&c->rect, 1, at(k, BG), at(k, LIGHT), at(k, DARK));
}
void motifLabelRect(vcontrol* c, vrect* out) {
  vmenu* m = vdialogGetItemMenu(c);
  vmenuFrameMargins f{};
  if (m) vmenuClassOf(m)->measureFrame(m, &f);
  int dy = std::max(0, (f.top - descent(c) + f.bottom) / 2);
  *out = inset(c->rect, f.left, dy);
  out->width = std::int16_t(std::max(0, out->width - 18));
}
void motifIndicator(vcontrol* c, const vcolorScheme& k) {
  const vrect& r = c->rect;
  vrect bar{std::int16_t(r.x + r.width - 18), std::int16_t(r.y + (r.height - 6) / 2), 12, 6};
  vdrawSetLineWidth(1);
  vdrawRectsFrameShaded(&bar, 1, at(k, BG), at(k, LIGHT), at(k, DARK));
}
void motifFocus(vcontrol* c, const vcolorScheme& k) {
  int d = int(vdialogGetItemLineWidth(c)) + 1;
  dotted(c, k, inset(c->rect, d, d), at(k, BG));
}

// ---- CUA: a framed field and a 16-pixel arrow box on the right.
void cuaGround(vcontrol* c, const vcolorScheme& k) {
  const vrect& r = c->rect;
  vrect body{r.x, r.y, std::int16_t(r.width - 16), r.height};
  use(at(k, BG));
  vdrawFillRects(&body, 1);
  use(orBlack(at(k, FG)));
  vdrawRectsFrame(&body, 1);
  vrect bevel = inset(body, 1, 1);
  vdrawRectsFrameShaded(&bevel, 1, nullptr, at(k, LIGHT), at(k, DARK));
}
void cuaLabelRect(vcontrol* c, vrect* out) {
  const vrect& r = c->rect;
  *out = vrect{std::int16_t(r.x + 4), std::int16_t(r.y + 2), std::int16_t(std::max(0, r.width - 16 - 8)),
               std::int16_t(r.height - 2)};
}
void cuaIndicator(vcontrol* c, const vcolorScheme& k) {
  const vrect& r = c->rect;
  arrowButton(c, k, vrect{std::int16_t(r.x + r.width - 16), r.y, 16, r.height}, false);
}
void cuaFocus(vcontrol* c, const vcolorScheme& k) {
  const vrect& r = c->rect;
  dotted(c, k, vrect{std::int16_t(r.x + 2), std::int16_t(r.y + 3), std::int16_t(r.width - 19), std::int16_t(r.height - 5)},
         at(k, BG));
}

void noGround(vcontrol*, const vcolorScheme&) {}
void noLabel(vcontrol*, const char*, const vcolorScheme&) {}
void wholeRect(vcontrol* c, vrect* out) { *out = c->rect; }

const Look kDefault{0, 0, 0, 0, 0, false, fromMargins, noGround, noLabel, noGround, noGround, wholeRect, overCurrent};
const Look kWindows{15, 15, 5, 0, 0x10000, true, fromDefault<15, 15, 5>, windowsGround, labelIn<windowsLabelRect>,
                    windowsIndicator, windowsFocus, windowsLabelRect, below};
const Look kWin95{15, 15, 5, 0, 0x510055, true, fromDefault<15, 15, 5>, win95Ground, labelIn<windowsLabelRect>,
                  win95Indicator, windowsFocus, windowsLabelRect, below};
const Look kMotif{28, 22, 0, 18, 0x50, false, fromMargins, motifGround, labelIn<motifLabelRect>, motifIndicator, motifFocus,
                  motifLabelRect, overCurrent};
const Look kOpenLook{16, 16, 0, 0, 0, false, openLookSize, noGround, noLabel, noGround, noGround, wholeRect,
                     below};
const Look kCua{22, 22, 4, 0, 0x50, true, fromDefault<22, 22, 4>, cuaGround, labelIn<cuaLabelRect>, cuaIndicator, cuaFocus,
                cuaLabelRect, below};

// ---- Open Look: the abbreviated menu button.
vcolor* windowGround(vcontrol* c) {
  vwindow* w = vdialogGetItemWindow(c);
  return w ? vwindowDetermineColor(w, BG) : vapplicationDetermineColor(vapplicationGetCurrent(), BG);
}
void openLookMark(vcontrol* c, const vcolorScheme& k) {
  const vrect& r = c->rect;
  int cy = r.y + r.height / 2, right = r.x + r.width - 1;
  if (c->flags & vdialogItemFOCUSED) {
    use(orBlack(at(k, FG)));
    vdrawPathMoveTo(right, cy - 4);
    vdrawLineTo(right, cy + 4);
    vdrawLineTo(right - 7, cy);
    vdrawClosePath();
    vdrawFill(0);
  } else {
    use(windowGround(c));
    vdrawRectFill(right - 7, cy - 4, 8, 9);
  }
}
void drawOpenLook(vcontrol* c) {
  vcolorScheme k{};
  vdialogDetermineItemColors(c, 0x4055, &k);
  const vrect& r = c->rect;
  vrect button{r.x, std::int16_t(r.y + (r.height - 15) / 2), 15, 15};
  vdrawGSave();
  use(windowGround(c));
  vdrawFillRects(&r, 1);
  if (vlafGetCurrent()->flags & vlaf3D) {
    bool in = pressed(c);
    vdrawRectsFrameShaded(&button, 1, at(k, BG), in ? at(k, DARK) : at(k, LIGHT), in ? at(k, LIGHT) : at(k, DARK));
    const int glyphs[3] = {46, 45, 47};
    vcolor* colors[3] = {at(k, LIGHT), at(k, DARK), orBlack(at(k, FG))};
    for (int i = 0; i < 3; ++i) {
      use(colors[i]);
      vdrawPathMoveTo(button.x + 4, button.y + 5);
      vlafDrawGlyph(glyphs[i], 7);
    }
  } else {
    use(orBlack(at(k, FG)));
    vdrawPathMoveTo(button.x, button.y);
    vlafDrawGlyph(pressed(c) ? 23 : 22, 15);
  }
  if (const char* title = currentTitle(c)) {
    vrect text{std::int16_t(r.x + 23), r.y, std::int16_t(std::max(0, r.width - 23)), r.height};
    use(orBlack(at(k, FG)));
    vdrawCharsAt(title, int(std::strlen(title)), &text, 2);
  }
  vdrawGRestore();
  if (vdialogItemIsActive(c)) {
    vdrawGSave();
    openLookMark(c, k);
    vdrawGRestore();
  }
}

}  // namespace

const Look* lookFor(int id) {
  switch (id) {
    case vlafWINDOWS: return &kWindows;
    case vlafWIN95: return &kWin95;
    case vlafMOTIF: return &kMotif;
    case vlafOPEN_LOOK: return &kOpenLook;
    case vlafCUA: return &kCua;
    default: return &kDefault;
  }
}

void relayMenu(vmenu* m, int extraRight) {
  if (extraRight == 0) return vmenuUpdateGeometry(m);
  vmenuFrameMargins f{};
  vmenuClassOf(m)->measureFrame(m, &f);
  f.right = std::uint16_t(f.right + extraRight);
  vmenuItemListClassOf(&m->items)->layout(&m->items, &f);
  const vmenuItemGeometry* g = vmenuItemListGetGeometry(&m->items);
  int width = g->full.width + f.left + f.right, height = g->full.height + f.bottom + f.top;
  vrect r{m->rect.x, std::int16_t(m->rect.y + m->rect.height - height), std::int16_t(width), std::int16_t(height)};
  vwindowGetDefaultClass()->setRect(m, &r);
  m->menuFlags &= std::uint16_t(~(vmenuGEOMETRY_STALE | vmenuSIZES_STALE));
}

void draw(const Look& l, vcontrol* c) {
  if (&l == &kOpenLook) return drawOpenLook(c);
  vcolorScheme k{};
  vdialogDetermineItemColors(c, l.colorMask | 0x55, &k);
  vdrawGSave();
  l.background(c, k);
  vdrawGRestore();
  if (vdialogItemIsActive(c)) {
    vdrawGSave();
    l.focus(c, k);
    vdrawGRestore();
  }
  if (const char* title = currentTitle(c)) {
    vdrawGSave();
    l.label(c, title, k);
    vdrawGRestore();
  }
  vdrawGSave();
  l.indicator(c, k);
  vdrawGRestore();
}

void drawFocus(const Look& l, vcontrol* c) {
  vcolorScheme k{};
  vdialogDetermineItemColors(c, l.colorMask | 0x55, &k);
  vdrawGSave();
  if (&l == &kOpenLook) openLookMark(c, k);
  else l.focus(c, k);
  vdrawGRestore();
}

}  // namespace voptionint

// The spinner's geometry and drawing in each look: natural sizes, the
// field's rectangle, the arrow zones (the same rectangles are drawn), the
// arrows pressed and released, and the focus indicators.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/widgets/controls/spinner_internal.h"
#include "fw/widgets/look/laf.h"

using namespace vspinnerint;

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }
vrect box(int x, int y, int w, int h) { return {s16(x), s16(y), s16(w), s16(h)}; }
vrect inset(const vrect& r, int by) { return box(r.x + by, r.y + by, r.width - 2 * by, r.height - 2 * by); }
int W(const vspinner* s) { return s->rect.width; }
int H(const vspinner* s) { return s->rect.height; }
int half(const vspinner* s) { return s->rect.height / 2; }
bool in(int v, int from, int to) { return v >= from && v < to; }
bool threeD() { return (vlafGetCurrent()->flags & vlaf3D) != 0; }

struct Colors {
  vcolorScheme k{};
  Colors(vdialogItem* item, std::uint32_t mask) { vdialogDetermineItemColors(item, mask, &k); }
  vcolor* operator[](int i) const { return (k.mask & vcolorSchemeBit(i)) ? k.entries[i] : nullptr; }
};
enum : int { FG = vcolorFOREGROUND, BG = vcolorBACKGROUND, TOP = vcolorSHADOW_TOP, BOTTOM = vcolorSHADOW_BOTTOM,
             TOP_DARK = vcolorSHADOW_TOP_DARK, BOTTOM_DARK = vcolorSHADOW_BOTTOM_DARK };

void use(vcolor* c) {
  if (c) vdrawSetColor(c);
}
void fill(vcolor* c, const vrect& r) {
  if (r.width <= 0 || r.height <= 0) return;
  use(c);
  vdrawFillRects(&r, 1);
}
void shaded(const vrect& r, vcolor* ground, vcolor* a, vcolor* b, int lineWidth = 1) {
  vdrawGSave();
  vdrawSetLineWidth(lineWidth);
  vdrawRectsFrameShaded(&r, 1, ground, a, b);
  vdrawGRestore();
}
void dotted(vcolor* c, const vrect& r) {
  static const float dash[] = {1, 1};
  vdrawGSave();
  use(c);
  vdrawSetDash(2, dash, 0);
  vdrawSetLineWidth(1);
  vdrawRectsFrame(&r, 1);
  vdrawGRestore();
}
void image(vcolor* ink, int index, int x, int y) {
  if (!vlafGetImage(index)) return;
  use(ink);
  vdrawPathMoveTo(x, y);
  vlafDrawImage(index);
}
int rounded(vfixed v) { return int((std::int64_t(v) + 32768) >> 16); }

// The widest value the spinner can show, and a character to spare.
int contentWidth(vspinner* s) {
  vfont* font = vdialogDetermineItemFont(s);
  if (!font) return 0;
  auto width = [&](const char* t) { return t ? rounded(vfontGetCharsWidth(font, t, int(std::strlen(t)))) : 0; };
  int widest = 0;
  if (s->list) {
    for (std::int32_t i = 0, n = vlistGetRowCount(s->list); i < n; ++i)
      widest = std::max(widest, width(vliststrGetCell(s->list, i, 0)));
  } else {
    char low[16], high[16];
    std::snprintf(low, sizeof low, "%d", int(s->min));
    std::snprintf(high, sizeof high, "%d", int(std::int64_t(s->max) - s->view));
    widest = std::max(width(low), width(high));
  }
  return widest + rounded(vfontGetCharWidth(font));
}

void fieldSize(vspinner* s, int* w, int* h) {
  *w = *h = 0;
  if (s->field) vdialogGetItemNaturalSize(s->field, w, h);
}
int body(vspinner* s) {
  int tw = 0, th = 0;
  fieldSize(s, &tw, &th);
  return std::max(contentWidth(s), tw);
}
vrect centred(vspinner* s, int dx, int width, int th) {
  return box(s->rect.x + dx, s->rect.y + (H(s) - th) / 2, width, th);
}
vimage* win95Up() { return vlafGetImage(144); }
int iconWidth() { return win95Up() ? win95Up()->width : 16; }
int iconHeight() { return win95Up() ? win95Up()->height : 16; }

// ---- Windows.
int windowsColumn(vspinner* s) { return std::max(half(s), 17); }
void windowsSize(vspinner* s, int* w, int* h) {
  int tw, th;
  fieldSize(s, &tw, &th);
  *h = std::max(th + 14, 27);
  *w = body(s) + *h / 2 + 14;
}
vrect windowsField(vspinner* s, int th) { return centred(s, 7, W(s) - half(s) - 14, th); }
bool windowsUp(vspinner* s, int dx, int dy) { return in(dx, W(s) - windowsColumn(s), W(s)) && in(dy, H(s) - half(s) - 1, H(s)); }
bool windowsDown(vspinner* s, int dx, int dy) { return in(dx, W(s) - windowsColumn(s), W(s)) && in(dy, 0, H(s) - half(s)); }
vrect windowsBox(vspinner* s, bool up) {
  int c = windowsColumn(s), x = s->rect.x + W(s) - c;
  return up ? box(x, s->rect.y + H(s) - half(s) - 1, c, half(s) + 1) : box(x, s->rect.y, c, H(s) - half(s));
}
void windowsArrow(vspinner* s, bool up, bool pressed) {
  Colors k(s, 0x55);
  vrect b = windowsBox(s, up), inner = inset(b, 1);
  vdrawGSave();
  use(k[FG]);
  vdrawRectsFrame(&b, 1);
  fill(k[BG], inner);
  if (pressed) shaded(inner, nullptr, k[BOTTOM], k[BG], 2);
  else shaded(inner, nullptr, k[TOP], k[BOTTOM], 2);
  vrect g = inset(inner, 2);
  int shift = pressed ? 1 : 0;
  image(k[FG], up ? 56 : 57, g.x + (g.width - 9) / 2 + shift, g.y + (g.height - 8) / 2 - shift);
  vdrawGRestore();
}
void windowsDraw(vspinner* s) {
  Colors k(s, 0x55);
  vdrawGSave();
  vdrawSetLineWidth(1);
  fill(k[BG], s->rect);
  use(k[FG]);
  vdrawRectsFrame(&s->rect, 1);
  vdrawGRestore();
  windowsArrow(s, true, false);
  windowsArrow(s, false, false);
}
void windowsFocus(vspinner* s) {
  if (vspinnerIsEditable(s)) return;  // the caret shows the focus
  Colors k(s, 0x1);
  dotted(k[FG], inset(box(s->rect.x, s->rect.y, W(s) - windowsColumn(s), H(s)), 2));
}

// ---- Motif: the arrows side by side, the increment on the right.
void motifSize(vspinner* s, int* w, int* h) {
  int tw, th;
  fieldSize(s, &tw, &th);
  *w = body(s) + 44;
  *h = th + 8;
}
vrect motifField(vspinner* s, int th) { return centred(s, 4, W(s) - 44, th); }
bool motifUp(vspinner* s, int dx, int) { return in(dx, W(s) - 18, W(s) - 6); }
bool motifDown(vspinner* s, int dx, int) { return in(dx, W(s) - 36, W(s) - 24); }
void motifArrow(vspinner* s, bool up, bool pressed) {
  Colors k(s, 0x55);
  vrect b = box(s->rect.x + W(s) - (up ? 18 : 36), s->rect.y + (H(s) - 12) / 2, 12, 12);
  vcolor* light = pressed ? k[BOTTOM] : k[TOP];
  vcolor* dark = pressed ? k[TOP] : k[BOTTOM];
  vdrawGSave();
  fill(k[BG], b);
  if (up) vlafDrawVertArrow(b.x + 6, b.y + 12, -12, -6, k[BG], light, dark);
  else vlafDrawVertArrow(b.x + 6, b.y, 12, 6, k[BG], dark, light);
  vdrawGRestore();
}
void motifDraw(vspinner* s) {
  Colors k(s, 0x55);
  fill(k[BG], s->rect);
  if (s->flags & vdialogItemBORDER) shaded(s->rect, nullptr, k[TOP], k[BOTTOM]);
  motifArrow(s, true, false);
  motifArrow(s, false, false);
}
void motifFocus(vspinner* s) {
  Colors k(s, 0x1);
  int by = int(vdialogGetItemLineWidth(s));
  vdrawGSave();
  use(k[FG]);
  vdrawSetLineWidth(1);
  vrect r = inset(s->rect, by);
  vdrawRectsFrame(&r, 1);
  vdrawGRestore();
}

// ---- Open Look: a pair of glyphs at the right; 2-D 28 x 14, 3-D 32 x 16.
int pairWidth() { return threeD() ? 32 : 28; }
void openLookSize(vspinner* s, int* w, int* h) {
  int tw, th;
  fieldSize(s, &tw, &th);
  *w = body(s) + pairWidth();
  *h = std::max(th, 15);
}
vrect openLookField(vspinner* s, int th) { return box(s->rect.x, s->rect.y, W(s) - pairWidth(), th); }
bool openLookUp(vspinner* s, int dx, int) { return in(dx, W(s) - pairWidth(), W(s) - pairWidth() / 2); }
bool openLookDown(vspinner* s, int dx, int) { return in(dx, W(s) - pairWidth() / 2, W(s)); }
vrect pairRect(vspinner* s) { return box(s->rect.x + W(s) - pairWidth(), s->rect.y, pairWidth(), pairWidth() / 2); }
bool hasGlyph(int code) {
  vimage* mask = vlafGetGlyphMask(code);
  return mask && mask->width > 1;
}
void glyph(vcolor* c, int code, int size, int x, int y) {
  use(c);
  vdrawPathMoveTo(x, y);
  vlafDrawGlyph(code, size);
}
// A glyph font without the arrows: shaded boxes with drawn triangles.
void openLookStandIn(vspinner* s, const Colors& k, bool up, bool pressed) {
  int w = pairWidth() / 2;
  vrect b = box(s->rect.x + W(s) - (up ? 2 * w : w), s->rect.y, w, w);
  shaded(b, k[BG], pressed ? k[BOTTOM] : k[TOP], pressed ? k[TOP] : k[BOTTOM]);
  vrect a = inset(b, 3);
  if (up) vlafDrawVertArrow(a.x + a.width / 2, a.y + a.height, -a.height, -(a.width / 2), k[FG], k[FG], k[FG]);
  else vlafDrawVertArrow(a.x + a.width / 2, a.y, a.height, a.width / 2, k[FG], k[FG], k[FG]);
}
void openLookArrow(vspinner* s, bool up, bool pressed) {
  Colors k(s, 0x55);
  vrect pair = pairRect(s);
  vdrawGSave();
  if (!threeD()) {
    if (!pressed) fill(k[BG], pair);
    if (!hasGlyph(0xe8)) {
      openLookStandIn(s, k, up, pressed);
    } else {
      glyph(k[FG], 0xe8, 15, pair.x, pair.y);
      if (pressed) {
        glyph(k[FG], up ? 0xe9 : 0xea, 15, pair.x, pair.y);
        // The filled half keeps its arrow, in the ground colour.
        int w = pair.width / 2;
        vrect inside = inset(box(pair.x + (up ? 0 : w), pair.y, w, pair.height), 2);
        vdrawGSave();
        vdrawRectClip(inside.x, inside.y, inside.width, inside.height);
        glyph(k[BG], 0xe8, 15, pair.x, pair.y);
        vdrawGRestore();
      }
    }
  } else if (!hasGlyph(0x35)) {
    openLookStandIn(s, k, up, pressed);
  } else {
    int x = pair.x + (up ? 0 : 16);
    vcolor* light = pressed ? k[BOTTOM] : k[TOP];
    vcolor* dark = pressed ? k[TOP] : k[BOTTOM];
    glyph(k[BG], 0x35, 15, x, pair.y);
    glyph(light, 0x33, 15, x, pair.y);
    glyph(dark, 0x34, 15, x, pair.y);
    const int codes[2][3] = {{0x2e, 0x2d, 0x2f}, {0xcb, 0xca, 0xcc}};
    vcolor* inks[3] = {light, dark, k[FG]};
    for (int i = 0; i < 3; ++i) glyph(inks[i], codes[up ? 1 : 0][i], 7, x + 4, pair.y + 4);
  }
  vdrawGRestore();
}
void openLookDraw(vspinner* s) {
  openLookArrow(s, true, false);
  if (threeD() || !hasGlyph(0xe8)) openLookArrow(s, false, false);
}

// ---- CUA: an etched field area and two boxes 19 wide.
void cuaSize(vspinner* s, int* w, int* h) {
  int tw, th;
  fieldSize(s, &tw, &th);
  *w = body(s) + 27;
  *h = std::max(th + 4, 30);
}
vrect cuaField(vspinner* s, int th) { return centred(s, 4, W(s) - 27, th); }
bool cuaUp(vspinner* s, int dx, int dy) { return in(dx, W(s) - 19, W(s)) && in(dy, H(s) - half(s) - 1, H(s)); }
bool cuaDown(vspinner* s, int dx, int dy) { return in(dx, W(s) - 19, W(s)) && in(dy, 0, H(s) - half(s)); }
void cuaArrow(vspinner* s, bool up, bool pressed) {
  Colors k(s, 0x55);
  int x = s->rect.x + W(s) - 19, high = H(s) - half(s) + 1;
  vrect b = up ? box(x, s->rect.y + H(s) - high, 19, high) : box(x, s->rect.y, 19, H(s) - half(s));
  vrect inner = inset(b, 1);
  vdrawGSave();
  shaded(b, nullptr, k[FG], k[FG]);
  if (pressed) shaded(inner, k[BG], k[BOTTOM], k[BG]);
  else shaded(inner, k[BG], k[TOP], k[BOTTOM]);
  int shift = pressed ? 1 : 0;
  image(k[FG], up ? 102 : 103, inner.x + 1 + shift, inner.y + (inner.height - 11) / 2 - shift);
  vdrawGRestore();
}
void cuaDraw(vspinner* s) {
  Colors k(s, 0x55);
  vrect area = box(s->rect.x, s->rect.y, W(s) - 19, H(s));
  shaded(area, k[BG], k[BOTTOM], k[TOP]);
  shaded(inset(area, 1), nullptr, k[TOP], k[BOTTOM]);
  cuaArrow(s, true, false);
  cuaArrow(s, false, false);
}
void cuaFocus(vspinner* s) {
  Colors k(s, 0x1);
  dotted(k[FG], inset(box(s->rect.x, s->rect.y, W(s) - 19, H(s)), 2));
}

// ---- Win95: a two-level sunken frame and two raised buttons with images.
void win95Size(vspinner* s, int* w, int* h) {
  int tw, th;
  fieldSize(s, &tw, &th);
  *w = body(s) + iconWidth() + 4;
  *h = std::max(th, iconHeight() + 2) + 4;
}
vrect win95Field(vspinner* s, int th) { return centred(s, 2, W(s) - iconWidth() - 4, th); }
bool win95Column(vspinner* s, int dx) { return in(dx, W(s) - 2 - iconWidth(), W(s) - 2); }
bool win95Up(vspinner* s, int dx, int dy) { return win95Column(s, dx) && in(dy, H(s) - half(s) - 1, H(s) - 2); }
bool win95Down(vspinner* s, int dx, int dy) { return win95Column(s, dx) && in(dy, 2, H(s) - half(s)); }
void win95Arrow(vspinner* s, bool up, bool pressed) {
  Colors k(s, 0x500055);
  int iw = iconWidth(), high = (H(s) - 3) / 2, x = s->rect.x + W(s) - 2 - iw;
  vrect b = up ? box(x, s->rect.y + H(s) - 2 - high, iw, high) : box(x, s->rect.y + 2, iw, high);
  vdrawGSave();
  vdrawSetLineWidth(1);
  fill(k[BG], b);
  if (pressed) {
    // Held: sunken, the dark halves over the top and left.
    shaded(b, nullptr, k[BOTTOM_DARK], k[TOP]);
    shaded(inset(b, 1), nullptr, k[BOTTOM], k[TOP_DARK]);
  } else {
    shaded(b, nullptr, k[TOP_DARK], k[BOTTOM_DARK]);
    shaded(inset(b, 1), nullptr, k[TOP], k[BOTTOM]);
  }
  int index = (up ? 144 : 135) + (!vdialogItemIsEnabled(s) ? 2 : pressed ? 1 : 0);
  if (vimage* m = vlafGetImage(index)) {
    // Only the inner part of the image: its own frame would double ours.
    vrect part = box(b.x + (b.width - (m->width - 6)) / 2, b.y + (b.height - (m->height - 8)) / 2, m->width - 6,
                     m->height - 8);
    vdrawRectClip(part.x, part.y, part.width, part.height);
    image(k[FG], index, part.x - 3, part.y - 4);
  }
  vdrawGRestore();
}
void win95Draw(vspinner* s) {
  Colors k(s, 0x500055);
  vcolor* ground = nullptr;
  if (vdialogItemIsEnabled(s) && s->field) ground = Colors(s->field, 0x4)[BG];
  shaded(s->rect, nullptr, k[BOTTOM], k[TOP]);
  shaded(inset(s->rect, 1), ground, k[BOTTOM_DARK], k[TOP_DARK]);
  win95Arrow(s, true, false);
  win95Arrow(s, false, false);
}
void win95Focus(vspinner* s) {
  if (vspinnerIsEditable(s)) return;
  Colors k(s, 0x1);
  dotted(k[FG], inset(box(s->rect.x + 2, s->rect.y + 2, W(s) - iconWidth() - 4, H(s) - 4), 2));
}

// ---- Any other look.
vrect otherField(vspinner* s, int th) { return centred(s, 0, W(s) - half(s), th); }
bool otherUp(vspinner* s, int dx, int dy) { return in(dx, W(s) - half(s), W(s)) && in(dy, half(s), H(s)); }
bool otherDown(vspinner* s, int dx, int dy) { return in(dx, W(s) - half(s), W(s)) && in(dy, 0, half(s)); }
void otherArrow(vspinner* s, bool up, bool pressed) {
  Colors k(s, 0x4);
  int h2 = half(s), x = s->rect.x + W(s) - h2;
  vrect b = up ? box(x, s->rect.y + h2, h2, H(s) - h2) : box(x, s->rect.y, h2, h2);
  vcolor* ink = vdrawGetState()->color;
  shaded(b, nullptr, pressed ? ink : k[BG], pressed ? k[BG] : ink, 2);
}
void otherDraw(vspinner* s) {
  otherArrow(s, true, false);
  otherArrow(s, false, false);
}

const Look kLooks[] = {
    {vlafWINDOWS, 72, 27, windowsSize, windowsField, windowsUp, windowsDown, windowsDraw, windowsFocus, windowsArrow},
    {vlafMOTIF, 100, 28, motifSize, motifField, motifUp, motifDown, motifDraw, motifFocus, motifArrow},
    {vlafOPEN_LOOK, 80, 15, openLookSize, openLookField, openLookUp, openLookDown, openLookDraw, nullptr, openLookArrow},
    {vlafCUA, 80, 29, cuaSize, cuaField, cuaUp, cuaDown, cuaDraw, cuaFocus, cuaArrow},
    {vlafWIN95, 72, 27, win95Size, win95Field, win95Up, win95Down, win95Draw, win95Focus, win95Arrow},
};
const Look kOther{0, 0, 0, nullptr, otherField, otherUp, otherDown, otherDraw, nullptr, otherArrow};

}  // namespace

const Look& vspinnerint::lookFor(int id) {
  for (const Look& l : kLooks)
    if (l.id == id) return l;
  return kOther;
}

int vspinnerint::fieldHeight(vspinner* s) {
  int w, h;
  fieldSize(s, &w, &h);
  return h;
}

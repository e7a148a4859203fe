// The slider's drawings in the Motif, Open Look and CUA looks. Frames are
// shaded frames: colour A along the left and top edges, B along the
// bottom and right ones; coordinates grow upwards.
#include <algorithm>
#include <cmath>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/controls/slider_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"

namespace vsliderint {
namespace {

struct Colors {
  vcolor *fg, *bg, *top, *bottom, *deboss;
};
Colors colorsOf(vslider* s, std::uint32_t mask) {
  vcolorScheme k{};
  vdialogDetermineItemColors(s, mask, &k);
  auto at = [&](int i) { return (k.mask & vcolorSchemeBit(i)) ? k.entries[i] : nullptr; };
  return {at(vcolorFOREGROUND), at(vcolorBACKGROUND), at(vcolorSHADOW_TOP), at(vcolorSHADOW_BOTTOM),
          at(vcolorBACKGROUND_DEBOSS)};
}
vcolor* appColor() { return vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND); }
void use(vcolor* c) { useColor(c); }
void fill(vcolor* c, const vrect& r) { fillRect(c, r); }
void frame(const vrect* r, int n, vcolor* inside, vcolor* a, vcolor* b) { vdrawRectsFrameShaded(r, n, inside, a, b); }
bool is3D() { return (vlafGetCurrent()->flags & vlaf3D) != 0; }
bool ticks(const vcontrol* s) { return (s->controlFlags & vcontrolTICK_MARKS) != 0; }
vrect inset(const vrect& r, int d) {
  return vrect{std::int16_t(r.x + d), std::int16_t(r.y + d), std::int16_t(r.width - 2 * d), std::int16_t(r.height - 2 * d)};
}
bool thumbShown(vslider* s) {
  const vrect& m = s->indicator;
  return m.width > 0 && m.height > 0 && vdrawRectIsVisible(&m);
}
// The two halves of the thumb, split across the middle of its length.
void halves(vslider* s, const vrect& m, vrect out[2]) {
  bool v = vertical(s);
  int a = along(m, v), l = alongLength(m, v), c = across(m, v), w = acrossLength(m, v);
  out[0] = axisRect(v, a, c, l / 2, w);
  out[1] = axisRect(v, a + l / 2, c, l - l / 2, w);
}
void glyph(int code, int size, vcolor* color, int x, int y) {
  use(color);
  vdrawPathMoveTo(x, y);
  vlafDrawGlyph(code, size);
}
// Tick spacing over the given room, 0 when there is nothing to space.
double tickSpacing(vslider* s, int room) {
  std::int64_t span = std::int64_t(s->max) - s->view - s->min;
  if (std::int64_t(s->max) - s->min < s->view || span <= 0) return 0;
  return double(s->page) * room / double(span);
}

}  // namespace

void drawMotif(vslider* s) {
  vdrawGSave();
  Colors k = colorsOf(s, 0x55);
  fill(k.bg, s->rect);
  vdrawSetLineWidth(1);
  frame(&s->rect, 1, nullptr, k.bottom, k.top);
  if (thumbShown(s)) {
    vrect h[2];
    halves(s, s->indicator, h);
    frame(h, 2, nullptr, k.top, k.bottom);
    if (vdialogItemIsActive(s)) {
      int d = int(vdialogGetItemLineWidth(s)) + 1;
      h[0] = inset(h[0], d);
      h[1] = inset(h[1], d);
      use(k.fg);
      vdrawRectsFrame(h, 2);
    }
  }
  vdrawGRestore();
}

void drawOpenLook(vslider* s) {
  vdrawGSave();
  bool v = vertical(s), d3 = is3D();
  Colors k = colorsOf(s, 0x4055);
  vcolor* ground = appColor();
  vcolor* top = d3 ? k.top : k.fg;
  vcolor* bottom = d3 ? k.bottom : k.fg;
  fill(ground, s->rect);
  int x = s->rect.x, y = s->rect.y, W = s->rect.width, H = s->rect.height;
  if (!v && ticks(s)) y += 3;
  vdrawSetLineWidth(1);
  vrect ends[2] = {v ? vrect{std::int16_t(x + 2), std::int16_t(y), 11, 6} : vrect{std::int16_t(x), std::int16_t(y + 2), 6, 11},
                   v ? vrect{std::int16_t(x + 2), std::int16_t(y + H - 6), 11, 6}
                     : vrect{std::int16_t(x + W - 6), std::int16_t(y + 2), 6, 11}};
  frame(ends, 2, d3 ? k.bg : nullptr, top, bottom);
  // The cable: sunk between two edges, caps at both ends.
  int length = (v ? H : W) - 22, a0 = (v ? y : x) + 11;
  if (v) {
    fill(bottom, vrect{std::int16_t(x + 5), std::int16_t(a0), 1, std::int16_t(length)});
    fill(top, vrect{std::int16_t(x + 9), std::int16_t(a0), 1, std::int16_t(length)});
  } else {
    fill(top, vrect{std::int16_t(a0), std::int16_t(y + 6), std::int16_t(length), 1});
    fill(bottom, vrect{std::int16_t(a0), std::int16_t(y + 10), std::int16_t(length), 1});
  }
  int nx = v ? x + 5 : x + 8, ny = v ? y + 8 : y + 5, fx = v ? x + 5 : x + W - 11, fy = v ? y + H - 11 : y + 5;
  int capSize = v ? 3 : 5;
  if (d3) {
    glyph(v ? 0x53 : 0x40, capSize, k.top, nx, ny);
    glyph(v ? 0x52 : 0x3f, capSize, k.bottom, nx, ny);
    glyph(v ? 0x50 : 0x42, capSize, k.top, fx, fy);
    glyph(v ? 0x4f : 0x41, capSize, k.bottom, fx, fy);
  } else {
    glyph(v ? 0xb5 : 0xad, capSize, k.fg, nx, ny);
    glyph(v ? 0xb4 : 0xae, capSize, k.fg, fx, fy);
  }
  glyph(v ? 0x54 : 0x4d, capSize, k.fg, nx, ny);
  // Inside the cable: filled up to the thumb, debossed beyond it.
  const vrect& m = s->indicator;
  int mStart = along(m, v), mEnd = mStart + alongLength(m, v), c = v ? x + 6 : y + 7;
  int farEnd = (v ? y + H : x + W) - 9;
  if (farEnd - mEnd > 0) fill(k.deboss, axisRect(v, mEnd, c, farEnd - mEnd, 3));
  if (mStart - a0 > 0) fill(k.fg, axisRect(v, a0, c, mStart - a0, 3));
  if (ticks(s)) {
    int room = (v ? H : W) - 26;
    double sp = tickSpacing(s, room);
    if (sp > 3) {
      int n = int(std::floor(room / sp)) + 1;
      for (int i = 0; i < n; ++i) {
        int a = (v ? y : x) + 13 + int(i * sp);
        vrect mark = v ? vrect{std::int16_t(x + 15), std::int16_t(a), 5, 2} : vrect{std::int16_t(a), std::int16_t(s->rect.y), 2, 5};
        frame(&mark, 1, nullptr, top, bottom);
      }
    }
  }
  if (thumbShown(s)) {
    if (v) {
      fill(ground, vrect{m.x, std::int16_t(m.y + 1), m.width, 1});
      fill(ground, vrect{m.x, std::int16_t(m.y + m.height), m.width, 1});
    } else {
      fill(ground, vrect{m.x, m.y, 1, m.height});
      fill(ground, vrect{std::int16_t(m.x + m.width - 1), m.y, 1, m.height});
    }
    int gx = v ? m.x : m.x + 1, gy = v ? m.y + 1 : m.y, size = v ? 10 : 14;
    if (d3) {
      glyph(v ? 0x55 : 0x3c, size, k.top, gx, gy);
      glyph(v ? 0x56 : 0x3d, size, k.bottom, gx, gy);
      glyph(v ? 0x57 : 0x3e, size, k.bg, gx, gy);
    } else {
      fill(ground, m);
      glyph(v ? 0xb6 : 0xac, size, k.fg, gx, gy);
    }
    use(k.fg);
    if (vdialogItemIsActive(s)) {
      vrect bar = inset(m, 3);
      (v ? bar.height : bar.width) -= 1;
      fill(k.fg, bar);
    }
  }
  vdrawGRestore();
}

void drawOpenLookEndPressed(vslider* s, bool far) {
  vdrawGSave();
  bool v = vertical(s), d3 = is3D();
  Colors k = colorsOf(s, 0x4051);
  int x = s->rect.x, y = s->rect.y + (!v && ticks(s) ? 3 : 0);
  int a = far ? (v ? y + s->rect.height : x + s->rect.width) - 6 : (v ? y : x);
  vrect box = axisRect(v, a, v ? x + 2 : y + 2, 6, 11);
  vdrawSetLineWidth(1);
  frame(&box, 1, d3 ? k.deboss : k.fg, d3 ? k.bottom : k.fg, d3 ? k.top : k.fg);
  vdrawGRestore();
}

namespace {

struct Cua {
  bool v;
  int a0, c0, length, groove;  // along/across origin, along length, groove's across offset
  explicit Cua(vslider* s)
      : v(vertical(s)), a0(along(s->rect, v)), c0(across(s->rect, v)), length(alongLength(s->rect, v)),
        groove(ticks(s) ? 10 : 4) {}
  vrect step(bool forward) const { return axisRect(v, a0 + length - (forward ? 9 : 18), c0 + groove, 9, 9); }
};

void chevron(const Cua& g, const vrect& box, bool forward) {
  int a = along(box, g.v), c = across(box, g.v);
  for (int i = 0; i < 3; ++i) {
    int at = forward ? a + 3 + i : a + 5 - i;
    vrect r = axisRect(g.v, at, c + 2 + i, 1, 5 - 2 * i);
    vdrawFillRects(&r, 1);
  }
}

}  // namespace

void drawCua(vslider* s) {
  vdrawGSave();
  Cua g(s);
  Colors k = colorsOf(s, 0x55);
  vcolor* current = vdrawGetState()->color;
  vcolor* ground = appColor();
  bool enabled = vdialogItemIsEnabled(s) && !(s->controlFlags & vcontrolWHOLE_RANGE);
  fill(ground, s->rect);
  vrect groove = axisRect(g.v, g.a0, g.c0 + g.groove, g.length - 20, 9);
  fill(k.bg, groove);
  vdrawSetLineWidth(2);
  frame(&groove, 1, nullptr, k.bottom, k.top);
  vdrawSetLineWidth(1);
  if (vdialogItemIsActive(s)) {
    use(current);
    vdrawRectsFrame(&groove, 1);
  }
  const vrect& m = s->indicator;
  int mEnd = along(m, g.v) + alongLength(m, g.v);
  if (enabled) fill(current, axisRect(g.v, g.a0 + 2, g.c0 + g.groove + 2, mEnd - (g.a0 + 2), 5));
  for (bool forward : {false, true}) {
    vrect box = g.step(forward);
    frame(&box, 1, ground, k.top, k.bottom);
    use(current);
    chevron(g, box, forward);
  }
  if (ticks(s)) {
    double sp = tickSpacing(s, g.length - 30);
    if (sp > 3) {
      int n = int(std::floor((g.length - 30) / sp)) + 1;
      use(current);
      for (int i = 0; i < n; ++i) fill(current, axisRect(g.v, g.a0 + 5 + int(i * sp), g.c0, 1, 6));
    }
  }
  if (thumbShown(s) && enabled) {
    use(k.fg);
    vdrawRectsFrameRounded(&m, 1, 2);
    vrect raised = inset(m, 1);
    frame(&raised, 1, nullptr, k.top, k.bottom);
    vrect h[2];
    halves(s, inset(m, 2), h);
    frame(h, 2, k.bg, k.top, k.bottom);
    if (vdialogItemIsActive(s)) {
      int dx = m.width / 2 - 2, dy = m.height / 2 - 2;
      fill(k.fg, vrect{std::int16_t(m.x + dx), std::int16_t(m.y + dy), std::int16_t(m.width - 2 * dx),
                       std::int16_t(m.height - 2 * dy)});
    }
  }
  vdrawGRestore();
}

void drawCuaStepPressed(vslider* s, bool forward) {
  vdrawGSave();
  Cua g(s);
  Colors k = colorsOf(s, 0x55);
  vrect box = g.step(forward);
  vdrawSetLineWidth(1);
  frame(&box, 1, nullptr, k.bottom, appColor());
  vdrawGRestore();
}

void drawCuaPagePressed(vslider* s, bool forward) {
  vdrawGSave();
  Cua g(s);
  vcolor* current = vdrawGetState()->color;
  vrect t;
  vsliderGetTrackRect(s, &t);
  const vrect& m = s->indicator;
  int from = forward ? along(m, g.v) + alongLength(m, g.v) : g.a0 + 1;
  int to = forward ? along(t, g.v) + alongLength(t, g.v) : along(m, g.v);
  fill(current, axisRect(g.v, from, g.c0 + (ticks(s) ? 11 : 5), to - from, 7));
  vdrawGRestore();
}

}  // namespace vsliderint

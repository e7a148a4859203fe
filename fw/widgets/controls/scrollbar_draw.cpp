// The scroll bar's drawings by look: the whole bar, a part pressed or
// released, and the focus indicator. Each drawing runs inside a saved
// drawing state, so the colour and line width it sets go with it.
#include <algorithm>
#include <utility>
#include <vector>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/controls/scrollbar_internal.h"
#include "fw/widgets/look/laf.h"

using namespace vsliderint;

namespace vscrollint {
namespace {

vcolor* grey(unsigned level) {
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, level, level, level);
  return vcolorInternSpec(&spec);
}

// The process-wide sets the looks fall back on, made on first need.
struct ColorSet {
  vcolorScheme scheme;
  bool made;
};
ColorSet windowsSet{}, cuaSet{};
const vcolorScheme& windowsColors() {
  if (!windowsSet.made) {
    const std::pair<int, unsigned> rows[] = {{0, 0}, {2, 0xC000}, {4, 0xFFFF}, {6, 0x6000}};
    for (auto [index, level] : rows)
      if (vcolor* c = grey(level)) windowsSet.scheme.entries[index] = c, windowsSet.scheme.mask |= vcolorSchemeBit(index);
    windowsSet.made = true;
  }
  return windowsSet.scheme;
}
const vcolorScheme& cuaColors() {
  if (!cuaSet.made) {
    const std::pair<int, unsigned> rows[] = {{0, 0}, {8, 0xFFFF}, {2, 0xCCCC}, {10, 0xCCCC}, {14, 0xCCCC}};
    for (auto [index, level] : rows)
      if (vcolor* c = grey(level)) cuaSet.scheme.entries[index] = c, cuaSet.scheme.mask |= vcolorSchemeBit(index);
    cuaSet.made = true;
  }
  return cuaSet.scheme;
}

// The item's colours for the mask, missing entries taken from a set.
struct Scheme {
  vcolorScheme k{};
  Scheme(vslider* s, std::uint32_t mask, const vcolorScheme* fallback = nullptr) {
    vdialogDetermineItemColors(s, mask, &k);
    if (!fallback) return;
    for (int i = 0; i < 24; ++i)
      if ((mask & vcolorSchemeBit(i)) && !(k.mask & vcolorSchemeBit(i)) && (fallback->mask & vcolorSchemeBit(i)))
        k.entries[i] = fallback->entries[i], k.mask |= vcolorSchemeBit(i);
  }
  vcolor* operator[](int i) const { return (k.mask & vcolorSchemeBit(i)) ? k.entries[i] : nullptr; }
};
vcolor* setColor(const vcolorScheme& set, int i) { return (set.mask & vcolorSchemeBit(i)) ? set.entries[i] : nullptr; }

void use(vcolor* c) { useColor(c); }
void fill(vcolor* c, const vrect& r) { fillRect(c, r); }
void frame(const vrect& r, vcolor* inside, vcolor* a, vcolor* b) { vdrawRectsFrameShaded(&r, 1, inside, a, b); }
vrect inset(const vrect& r, int d) {
  return vrect{std::int16_t(r.x + d), std::int16_t(r.y + d), std::int16_t(r.width - 2 * d), std::int16_t(r.height - 2 * d)};
}
bool thumbShown(vslider* s) {
  const vrect& m = s->indicator;
  return m.width > 0 && m.height > 0 && vdrawRectIsVisible(&m);
}
vrect troughOf(vslider* s) {
  vrect t;
  vsliderGetTrackRect(s, &t);
  return t;
}
vcolor* appBackground() { return vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND); }

// A look image at (x, y), scaled. A bar with no room along or across
// shows nothing: a zero scale has no inverse for the drawing to place by.
void image(int index, int x, int y, double sx, double sy) {
  if (!(sx > 0 && sy > 0)) return;
  vdrawGSave();
  vdrawTranslate(x, y);
  vdrawScale(sx, sy);
  vdrawPathMoveTo(0, 0);
  vlafDrawImage(index);
  vdrawGRestore();
}

// ---- Windows and Win95.
struct MswImages {
  int back, forward, backPressed, forwardPressed;
};
MswImages mswImages(vslider* s) {
  bool v = vertical(s), w95 = lookId() == vlafWIN95;
  if (w95) return v ? MswImages{135, 144, 136, 145} : MswImages{138, 141, 139, 142};
  return v ? MswImages{69, 78, 70, 79} : MswImages{72, 75, 73, 76};
}

// An arrow image at its end, scaled across the bar (Win95 also along it
// when two arrows would not fit).
void mswArrow(vslider* s, bool forward, bool pressed) {
  bool v = vertical(s), w95 = lookId() == vlafWIN95;
  MswImages m = mswImages(s);
  int index = forward ? (pressed ? m.forwardPressed : m.forward) : (pressed ? m.backPressed : m.back);
  int iw = imageWidth(index), ih = imageHeight(index);
  if (iw <= 0 || ih <= 0) return;
  const vrect& r = s->rect;
  int imageAlong = v ? ih : iw, imageAcross = v ? iw : ih;
  double across = double(acrossLength(r, v)) / imageAcross, alongScale = 1.0;
  int length = alongLength(r, v);
  if (w95 && 2 * imageAlong >= length) alongScale = length * 0.5 / imageAlong;
  int drawn = int(imageAlong * alongScale);
  int a = forward ? along(r, v) + length - drawn : along(r, v);
  if (w95) {
    // The glyph sits on a button of the thumb's colours: raised, or flat
    // and dark-edged while held.
    // The button keeps the thumb's plain colours on an inert bar too; the
    // glyph alone turns grey.
    vcolorScheme plain{};
    vdialogDetermineItemScheme(s, 0x51005D, &plain);
    for (int i : {0, 4, 6, 20, 22})
      if (!(plain.mask & vcolorSchemeBit(i)) && setColor(windowsColors(), i))
        plain.entries[i] = setColor(windowsColors(), i), plain.mask |= vcolorSchemeBit(i);
    auto k = [&](int i) { return (plain.mask & vcolorSchemeBit(i)) ? plain.entries[i] : nullptr; };
    int thick = acrossLength(r, v);
    vrect box = v ? vrect{r.x, std::int16_t(a), std::int16_t(thick), std::int16_t(drawn)}
                  : vrect{std::int16_t(a), r.y, std::int16_t(drawn), std::int16_t(thick)};
    if (pressed) {
      frame(box, k(0), k(6), k(6));
    } else {
      frame(box, nullptr, k(20), k(22));
      frame(inset(box, 1), k(0), k(4), k(6));
    }
  }
  // Black glyphs on an active bar, dark grey on an inert one.
  use(windowsColors().entries[active(s) ? 0 : 6]);
  if (v) image(index, r.x, a, across, alongScale);
  else image(index, a, r.y, alongScale, across);
}

bool dragOutline = false;

void drawOutline(vslider* s) {
  vdrawGSave();
  vdrawSetLineWidth(1);
  use(windowsColors().entries[4]);
  vlafDrawFocusRect(&s->indicator);
  vdrawGRestore();
}

void windowsThumb(vslider* s, const Scheme& k) {
  vrect m = s->indicator;
  vrect in = inset(m, 1);
  in.width = std::int16_t(in.width + 1), in.height = std::int16_t(in.height + 1);
  vdrawSetLineWidth(2);
  frame(in, k[2], k[4], k[6]);
  vdrawSetLineWidth(1);
  use(windowsColors().entries[0]);
  vdrawRectsFrame(&m, 1);
}

void win95Thumb(vslider* s, const Scheme& k) {
  const vrect& m = s->indicator;
  frame(m, nullptr, k[20], k[22]);
  frame(inset(m, 1), k[0], k[4], k[6]);
}

// ---- CUA.
vrect cuaBox(vslider* s, bool forward) {
  const vrect& r = s->rect;
  if (vertical(s)) return forward ? vrect{std::int16_t(r.x + 1), std::int16_t(r.y + r.height - 19), std::int16_t(r.width - 2), 18}
                                  : vrect{std::int16_t(r.x + 1), std::int16_t(r.y + 1), std::int16_t(r.width - 2), 18};
  return forward ? vrect{std::int16_t(r.x + r.width - 19), std::int16_t(r.y + 1), 18, std::int16_t(r.height - 2)}
                 : vrect{std::int16_t(r.x + 1), std::int16_t(r.y + 1), 18, std::int16_t(r.height - 2)};
}

void cuaArrow(vslider* s, bool forward, bool pressed) {
  const vcolorScheme& set = cuaColors();
  Scheme k(s, 0x454, &set);
  vrect box = cuaBox(s, forward);
  vcolor* light = setColor(set, 8);
  vcolor* dark = k[6];
  frame(box, setColor(set, 2), pressed ? dark : light, pressed ? light : dark);
  bool v = vertical(s);
  // The vertical glyphs are authored top first: each box shows the arrow
  // that points to its own end.
  int index = v ? (forward ? 105 : 106) : (forward ? 108 : 107);
  std::int64_t top = std::int64_t(s->max) - s->view;
  bool atEnd = forward ? s->value >= top : s->value == s->min;
  use(active(s) && atEnd ? k[6] : setColor(set, 0));
  int shift = pressed ? 1 : 0;
  vdrawPathMoveTo(box.x + 1 + (v ? 0 : shift), box.y + 1 + (v ? shift : 0));
  vlafDrawImage(index);
}

// ---- Open Look.
struct Elevator {
  int none, back, forward, body, overlay, size, overlaySize;
};
Elevator elevatorGlyphs(vslider* s) {
  bool v = vertical(s), longOne = alongLength(s->rect, v) >= 63;
  bool d3 = (vlafGetCurrent()->flags & vlaf3D) != 0;
  if (v) return longOne ? Elevator{1, 4, 2, 54, 55, 47, 46} : Elevator{5, 7, 6, 133, 134, 32, 31};
  int size = d3 ? 14 : 15;
  return longOne ? Elevator{10, 11, 13, 57, 58, size, 15} : Elevator{14, 15, 16, 136, 137, size, 15};
}

// A small solid arrow centred in box, its tip toward the start of the axis
// or toward its end: rows of 1, 3, 5 and 7 pixels from the tip.
void elevatorArrow(bool v, const vrect& box, bool towardStart, vcolor* ink) {
  int a = along(box, v) + alongLength(box, v) / 2, c = across(box, v) + acrossLength(box, v) / 2;
  for (int i = 0; i < 4; ++i) fill(ink, axisRect(v, towardStart ? a - 2 + i : a + 1 - i, c - i, 1, 2 * i + 1));
}

void elevator(vslider* s, int third) {
  bool v = vertical(s), d3 = (vlafGetCurrent()->flags & vlaf3D) != 0;
  Scheme k(s, 0x4055);
  const vrect& m = s->indicator;
  Elevator g = elevatorGlyphs(s);
  vcolor* light = k[4];
  vcolor* dark = k[6];
  if (!d3 && k[0]) light = dark = k[0];
  // A glyph font without elevators (no mask, or a one-pixel stand-in): an
  // outlined box in its place.
  vimage* glyphMask = vlafGetGlyphMask(d3 ? g.body : g.none);
  if (!glyphMask || glyphMask->width <= 1) {
    if (!d3) fill(appBackground(), m);
    frame(m, nullptr, d3 ? light : k[0], d3 ? dark : k[0]);
    // The two arrow thirds, each pointing to its own end; a pressed one is
    // filled and its arrow drawn over the fill.
    vcolor* ink = d3 ? dark : k[0];
    for (int end : {1, 2}) {
      vrect box = axisRect(v, along(m, v) + (end == 2 ? alongLength(m, v) - 15 : 0), across(m, v), 15, acrossLength(m, v));
      if (third == end) fill(ink, inset(box, 3));
      elevatorArrow(v, box, end == 1, third == end ? appBackground() : ink);
    }
    return;
  }
  if (!d3) {
    fill(appBackground(), m);
    use(light);
    vdrawPathMoveTo(v ? m.x : m.x + 1, m.y);
    vlafDrawGlyph(third == 1 ? g.back : third == 2 ? g.forward : g.none, g.size);
  } else {
    use(light);
    vdrawPathMoveTo(m.x + 1, m.y + 1);
    vlafDrawGlyph(g.body, g.size);
    use(dark);
    vdrawPathMoveTo(m.x + 2, m.y + 2);
    vlafDrawGlyph(g.overlay, g.overlaySize);
  }
  if (alongLength(s->rect, v) >= 63) {
    int second = d3 ? 47 : 48;
    vcolor* ground = appBackground();
    for (int at : {0, second}) fill(ground, axisRect(v, along(m, v) + at, across(m, v), 1, acrossLength(m, v)));
  }
}

vrect anchorBox(vslider* s, bool far) {
  bool v = vertical(s);
  const vrect& r = s->rect;
  int a = far ? along(r, v) + alongLength(r, v) - 6 : along(r, v);
  return axisRect(v, a, across(r, v) + 4, 6, 11);
}

void openLookAnchor(vslider* s, bool far, bool pressed) {
  bool d3 = (vlafGetCurrent()->flags & vlaf3D) != 0;
  Scheme k(s, 0x4055);
  vcolor *face = k[14], *light = k[4], *dark = k[6];
  if (!d3 && k[0]) face = light = dark = k[0];
  vrect box = anchorBox(s, far);
  if (pressed) frame(box, face, dark, light);
  else frame(box, d3 ? nullptr : appBackground(), d3 ? light : dark, dark);
}

}  // namespace

void drawWindows(vslider* s) {
  vdrawGSave();
  Scheme k(s, 0x10055, &windowsColors());
  vdrawSetLineWidth(1);
  frame(s->rect, active(s) ? k[2] : windowsColors().entries[4], k[4], k[6]);
  mswArrow(s, false, false);
  mswArrow(s, true, false);
  if (thumbShown(s) && active(s)) {
    windowsThumb(s, k);
    if (vdialogItemIsActive(s)) drawFocus(s);
    if (dragOutline) drawOutline(s);
  }
  vdrawGRestore();
}

void drawWin95(vslider* s) {
  vdrawGSave();
  Scheme k(s, 0x51005D, &windowsColors());
  vdrawSetLineWidth(1);
  if (k[2] && k[3] && vcolorSpecsEqual(&k[2]->desc, &k[3]->desc)) {
    frame(s->rect, k[20], k[20], k[20]);
    // Keep to the damage that meets the trough: the pattern is drawn
    // through the clip, and a moved thumb damages a strip of its bar.
    vrect* damage = nullptr;
    int count = 0;
    vdrawGetDeviceClipRects(&damage, &count);
    std::vector<vrect> parts;
    for (int i = 0; i < count; ++i) {
      vrect part;
      vrectIntersect(&damage[i], &s->rect, &part);
      if (!vrectIsEmpty(&part)) parts.push_back(part);
    }
    if (count == 0 || !parts.empty()) {
      vdrawGSave();
      if (!parts.empty()) vdrawClipRects(parts.data(), int(parts.size()));
      use(k[2]);
      vlafFillPatternInside(&s->rect);
      vdrawGRestore();
    }
  } else {
    frame(s->rect, k[2], k[2], k[2]);
  }
  mswArrow(s, false, false);
  mswArrow(s, true, false);
  if (s->indicator.width > 0 && s->indicator.height > 0 && thumbShown(s) && active(s)) {
    win95Thumb(s, k);
    if (vdialogItemIsActive(s)) drawFocus(s);
  }
  vdrawGRestore();
}

void drawMotif(vslider* s) {
  vdrawGSave();
  Scheme k(s, 0x55);
  vdrawSetLineWidth(1);
  frame(s->rect, k[2], k[6], k[4]);
  drawArrow(s, false, false);
  drawArrow(s, true, false);
  if (thumbShown(s) && active(s)) {
    frame(s->indicator, k[2], k[4], k[6]);
    if (vdialogItemIsActive(s)) drawFocus(s);
  }
  vdrawGRestore();
}

void drawCua(vslider* s) {
  vdrawGSave();
  const vcolorScheme& set = cuaColors();
  Scheme k(s, 0x454, &set);
  vdrawSetLineWidth(1);
  frame(s->rect, active(s) ? k[2] : setColor(set, 2), k[4], k[6]);
  cuaArrow(s, false, false);
  cuaArrow(s, true, false);
  if (thumbShown(s) && active(s)) {
    frame(s->indicator, setColor(set, 2), setColor(set, 8), k[6]);
    if (vdialogItemIsActive(s)) drawFocus(s);
  }
  vdrawGRestore();
}

void drawOpenLook(vslider* s) {
  vdrawGSave();
  bool v = vertical(s);
  Scheme k(s, 0x4055);
  fill(appBackground(), s->rect);
  vdrawSetLineWidth(1);
  int length = alongLength(s->rect, v);
  if (length >= 48) {
    openLookAnchor(s, false, false);
    openLookAnchor(s, true, false);
  }
  const vrect& m = s->indicator;
  if (length >= 63) {
    vrect t = troughOf(s);
    int c = across(t, v) + acrossLength(t, v) / 2 - 1, start = along(t, v), end = start + alongLength(t, v);
    fill(k[6], axisRect(v, start, c, along(m, v) - start, 3));
    int after = along(m, v) + alongLength(m, v);
    fill(k[4], axisRect(v, after, c, end - after, 3));
  }
  if (thumbShown(s) && active(s)) {
    bool d3 = (vlafGetCurrent()->flags & vlaf3D) != 0;
    fill(d3 ? k[4] : appBackground(), inset(m, 1));
    elevator(s, 0);
    if (vdialogItemIsActive(s)) drawFocus(s);
  }
  vdrawGRestore();
}

void drawFocus(vslider* s) {
  vdrawGSave();
  const vrect& m = s->indicator;
  vdrawSetLineWidth(1);
  switch (lookId()) {
    case vlafWINDOWS:
    case vlafWIN95: {
      if (s->controlFlags & vcontrolPRESSED) break;
      Scheme k(s, 0x51005D, &windowsColors());
      if (_vsliderGetBlinkPhase()) {
        vdrawGSave();
        vlafDrawPatternRect(&m);
        fill(k[6], inset(m, 2));
        vdrawGRestore();
      } else if (lookId() == vlafWINDOWS) {
        frame(inset(m, 2), nullptr, k[4], k[6]);
      } else {
        win95Thumb(s, k);
      }
      break;
    }
    case vlafMOTIF: {
      vrect r = inset(m, int(vdialogGetItemLineWidth(s)) + 1);
      use(Scheme(s, 1)[0]);
      vdrawRectsFrame(&r, 1);
      break;
    }
    case vlafCUA: {
      vrect r = inset(m, 2);
      use(setColor(cuaColors(), 0));
      vdrawRectsFrame(&r, 1);
      break;
    }
    case vlafOPEN_LOOK: {
      bool v = vertical(s);
      if (!(vlafGetCurrent()->flags & vlaf3D)) break;
      fill(Scheme(s, 1)[0], axisRect(v, along(m, v) + 17, across(m, v) + 2, 11, acrossLength(m, v) - 4));
      break;
    }
    default: break;
  }
  vdrawGRestore();
}

void drawArrow(vslider* s, bool forward, bool pressed) {
  vdrawGSave();
  switch (lookId()) {
    case vlafWINDOWS:
    case vlafWIN95:
      if (pressed) mswArrow(s, forward, true);
      else vdialogItemClassOf(s)->invalRect(s, &s->rect, 0);
      break;
    case vlafMOTIF: {
      Scheme k(s, 0x55);
      bool v = vertical(s);
      vrect t = troughOf(s);
      int thick = acrossLength(t, v), c = across(t, v);
      vcolor *light = pressed ? k[6] : k[4], *dark = pressed ? k[4] : k[6];
      // Arrows pointing down or right take their edges the other way round.
      if (v != forward) std::swap(light, dark);
      int a = forward ? along(t, v) + alongLength(t, v) : along(t, v) - thick;
      // The apex at the bar's end, the base a square's length in; the half
      // base runs the same way as the length, as the triangle's points expect.
      int length = forward ? -(thick - 2) : thick - 2, half = forward ? -(thick / 2 - 1) : thick / 2 - 1;
      // Edges as wide as the look's lines, as the spinner's arrows have:
      // one-pixel diagonals break up into dots.
      vdrawSetLineWidth(std::max(2, int(vlafGetCurrent()->lineWidth)));
      if (v) vlafDrawVertArrow(c + thick / 2, forward ? a + thick - 1 : a, length, half, k[2], light, dark);
      else vlafDrawHorizArrow(forward ? a + thick - 1 : a, c + thick / 2, length, half, k[2], light, dark);
      break;
    }
    case vlafCUA: cuaArrow(s, forward, pressed); break;
    case vlafOPEN_LOOK:
      if (!thumbShown(s)) break;
      if (pressed) {
        bool v = vertical(s);
        const vrect& m = s->indicator;
        int shift = forward ? (alongLength(m, v) <= 32 ? 15 : 30) : 0;
        vrect box = axisRect(v, along(m, v) + 1 + shift, across(m, v) + 1, 16, 14);
        Scheme k(s, 0x4055);
        if (vlafGetCurrent()->flags & vlaf3D) frame(box, nullptr, k[6], k[4]);
        vdrawGSave();
        vrect clip = inset(box, 1);
        vdrawClipRects(&clip, 1);
        elevator(s, forward ? 2 : 1);
        vdrawGRestore();
      } else {
        if (vlafGetCurrent()->flags & vlaf3D) fill(Scheme(s, 4)[2], inset(s->indicator, 1));
        elevator(s, 0);
      }
      break;
    default: break;
  }
  vdrawGRestore();
}

void drawPage(vslider* s, bool forward, bool pressed) {
  bool v = vertical(s);
  vrect t = troughOf(s);
  const vrect& m = s->indicator;
  int look = lookId();
  int from = forward ? along(m, v) + alongLength(m, v) : along(t, v) + (look == vlafCUA ? 1 : 0);
  int to = forward ? along(t, v) + alongLength(t, v) : along(m, v);
  vrect band = axisRect(v, from, across(t, v) + 1, to - from, acrossLength(t, v) - 2);
  if (!pressed) {
    vdialogItemClassOf(s)->invalRect(s, &band, 0);
    return;
  }
  vdrawGSave();
  fill(Scheme(s, 0x40, &windowsColors())[6], band);
  vdrawGRestore();
}

void drawThumbPart(vslider* s, bool pressed) {
  vdrawGSave();
  switch (lookId()) {
    case vlafWINDOWS:
      use(windowsColors().entries[0]);
      vdrawRectsFrame(&s->indicator, 1);
      if (pressed) drawOutline(s);
      dragOutline = pressed;
      break;
    case vlafCUA: {
      const vcolorScheme& set = cuaColors();
      Scheme k(s, 0x454, &set);
      if (pressed) frame(s->indicator, setColor(set, 2), k[6], setColor(set, 8));
      else frame(s->indicator, setColor(set, 2), setColor(set, 8), k[6]);
      break;
    }
    case vlafOPEN_LOOK:
      elevator(s, 0);
      break;
    default: break;
  }
  vdrawGRestore();
}

void drawAnchor(vslider* s, bool far, bool pressed) {
  vdrawGSave();
  openLookAnchor(s, far, pressed);
  vdrawGRestore();
}

vrect cuaArrowBox(vslider* s, bool forward) { return cuaBox(s, forward); }

}  // namespace vscrollint

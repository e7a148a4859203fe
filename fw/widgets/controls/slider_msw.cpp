// The slider in the Windows and Win95 looks: sizes, troughs, the 11-pixel
// thumb, part finding and hit tests, and the drawings (Windows: a groove
// with two arrow buttons and a thumb of four look images; Win95: a
// double-framed groove and one thumb image, no buttons).
#include <algorithm>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/pixmap_internal.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/slider_internal.h"
#include "fw/widgets/look/laf.h"

namespace vsliderint {
namespace {

bool inside(const vrect& r, int x, int y) { return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height; }
bool ticks(const vcontrol* s) { return (s->controlFlags & vcontrolTICK_MARKS) != 0; }
bool isActive(vslider* s) { return vdialogItemIsEnabled(s) && !(s->controlFlags & vcontrolWHOLE_RANGE); }
vcolor* grey(unsigned level) {
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, level, level, level);
  return vcolorInternSpec(&spec);
}
vcolor* black() { return grey(0); }
vcolor* white() { return grey(0xFFFF); }
vcolor* lightGrey() { return grey(0xC000); }
vcolor* darkGrey() { return grey(0x6000); }
vrect inset(const vrect& r, int d) {
  return vrect{std::int16_t(r.x + d), std::int16_t(r.y + d), std::int16_t(r.width - 2 * d), std::int16_t(r.height - 2 * d)};
}
vrect trackOf(vslider* s) {
  vrect t;
  vsliderGetTrackRect(s, &t);
  return t;
}
struct Scheme {
  vcolorScheme k{};
  Scheme(vslider* s, std::uint32_t mask) { vdialogDetermineItemColors(s, mask, &k); }
  vcolor* operator[](int i) const { return (k.mask & vcolorSchemeBit(i)) ? k.entries[i] : nullptr; }
  vcolor* or_(int i, vcolor* fallback) const { return (*this)[i] ? (*this)[i] : fallback; }
};

// The arrow buttons of the Windows slider, beyond the trough's end.
vrect windowsBox(vslider* s, bool forward) {
  bool v = vertical(s);
  vrect t = trackOf(s);
  int a = along(t, v) + alongLength(t, v) + (forward ? 17 : 0);
  return axisRect(v, a, across(s->rect, v) + 5, 17, 15);
}

int windowsPartAt(vslider* s, int x, int y, int* grab) {
  bool v = vertical(s);
  vrect t = trackOf(s);
  int p = v ? y : x, q = v ? x : y;
  int d = p - along(s->indicator, v);
  if (inside(t, x, y)) {
    *grab = d;
    return d < 0 ? vsliderPAGE_BACK : d > alongLength(s->indicator, v) ? vsliderPAGE_FORWARD : vsliderTHUMB;
  }
  int beyond = p - (along(t, v) + alongLength(t, v));
  if (beyond < 0 || beyond >= 34 || q < across(t, v) || q >= across(t, v) + acrossLength(t, v)) return -1;
  if (v) return beyond < 3 * acrossLength(t, v) / 4 ? vsliderSTEP_BACK : vsliderSTEP_FORWARD;
  return beyond < 17 ? vsliderSTEP_BACK : vsliderSTEP_FORWARD;
}

template <int Part>
int windowsHit(vcontrol* c, vevent* e) {
  int grab = 0;
  return windowsPartAt(static_cast<vslider*>(c), veventGetX(e), veventGetY(e), &grab) == Part;
}
// A thumb drag goes on within 50 pixels of it across the track, however far
// the pointer jumps along it, as the other looks' sliders do.
int windowsThumbHit(vcontrol* c, vevent* e) { return vsliderint::hitThumb(c, e); }
int pageBack(vcontrol* c, vevent*) { return moveTo(static_cast<vslider*>(c), std::int64_t(c->value) - c->page); }
int pageForward(vcontrol* c, vevent*) { return moveTo(static_cast<vslider*>(c), std::int64_t(c->value) + c->page); }

void glyph(vslider* s, const vrect& box, bool forward, int offset) {
  bool v = vertical(s);
  int index = v ? (forward ? 39 : 40) : (forward ? 38 : 37);
  vimage* image = vlafGetImage(index);
  int iw = image ? image->width : 9, ih = image ? image->height : 9;
  vdrawPathMoveTo(box.x + (box.width - iw) / 2 + offset, box.y + (box.height - ih) / 2 - offset);
  vlafDrawImage(index);
}

void windowsButton(vslider* s, bool forward, bool pressed) {
  vdrawGSave();
  Scheme k(s, 0x10000);
  vrect box = windowsBox(s, forward);
  vdrawSetLineWidth(1);
  vdrawRectsFrameShaded(&box, 1, lightGrey(), k.or_(16, black()), k.or_(16, black()));
  bool on = isActive(s);
  if (!on && (vlafGetCurrent()->flags & vlaf3D)) {
    vdrawSetColor(white());
    glyph(s, box, forward, 1);
  }
  vdrawSetColor(on ? black() : darkGrey());
  glyph(s, box, forward, pressed ? 1 : 0);
  vrect in = inset(box, 1);
  vdrawSetLineWidth(2);
  vdrawRectsFrameShaded(&in, 1, nullptr, pressed ? darkGrey() : white(), pressed ? white() : darkGrey());
  vdrawGRestore();
}

template <bool Forward, bool Pressed>
void buttonPart(vcontrol* c) {
  auto* s = static_cast<vslider*>(c);
  if (Pressed) windowsButton(s, Forward, true);
  else {
    vrect box = windowsBox(s, Forward);
    vdialogItemClassOf(s)->invalRect(s, &box, 0);
  }
}

vrect pageBand(vslider* s, bool forward) {
  bool v = vertical(s);
  vrect t = trackOf(s);
  const vrect& m = s->indicator;
  int from = forward ? along(m, v) + alongLength(m, v) : along(s->rect, v) + 1;
  int to = forward ? along(t, v) + alongLength(t, v) : along(m, v);
  return axisRect(v, from, across(s->rect, v) + 5, to - from, 13);
}
template <bool Forward, bool Pressed>
void pagePart(vcontrol* c) {
  auto* s = static_cast<vslider*>(c);
  vrect band = pageBand(s, Forward);
  if (!Pressed) return vdialogItemClassOf(s)->invalRect(s, &band, 0);
  vdrawGSave();
  vdrawSetLineWidth(1);
  vdrawRectsFrame(&band, 1);
  vdrawGRestore();
}

constexpr std::uint32_t R = vcontrolPartREPEAT;
constexpr vcontrolPart kNone{0, [](vcontrol*, vevent*) { return 0; }, nullptr, nullptr, nullptr, nullptr};

// Win95's thumb: the look's image in a private copy whose palette takes
// the item's face, highlight and dark colours (entry 1 stays black),
// turned on its side for a vertical slider so that its point faces right.
void setEntry(vcolorList* palette, std::uint32_t i, vcolor* c) {
  unsigned r = 0, g = 0, b = 0;
  if (!c || i >= palette->count) return;
  vcolorGetSpecRGB(&c->desc, &r, &g, &b);
  vcolorSetSpecRGB(&palette->entries[i], r, g, b);
}
vimage* recoloured(vimage* look, bool turned, const Scheme& k) {
  int w = turned ? look->height : look->width, h = turned ? look->width : look->height;
  vimage* copy = vimageCreateSized(w, h, look->numColors);
  vimage* mask = look->mask ? vimageCreateSized(w, h, 2) : nullptr;
  for (auto [from, to] : {std::pair{look, copy}, std::pair{look->mask, mask}}) {
    if (!from) continue;
    vpixmapint::HeldCursor in(from), out(to);
    for (int y = 0; y < from->height; ++y)
      for (int x = 0; x < from->width; ++x) {
        // Turned about the top-left corner (rows count from the bottom).
        int tx = turned ? from->height - 1 - y : x, ty = turned ? h - 1 - x : y;
        vpixmapCursorSetAt(&out.c, tx, ty, vpixmapCursorGetAt(&in.c, x, y));
      }
    vcolorListCopy(vimageGetPalette(from), vimageGetPalette(to));
  }
  if (mask) vimageSetMaskOwned(copy, mask);
  vcolorList* palette = vimageGetPalette(copy);
  setEntry(palette, 0, k.or_(vcolorBACKGROUND, lightGrey()));
  setEntry(palette, 2, k.or_(vcolorSHADOW_TOP, white()));
  setEntry(palette, 3, k.or_(vcolorSHADOW_BOTTOM, darkGrey()));
  vcolorListChanged(palette);
  return copy;
}
void win95Thumb(vslider* s, const Scheme& k) {
  const vrect& m = s->indicator;
  vimage* look = vlafGetImage(ticks(s) ? 132 : 134);
  if (!look) return;
  vimage* copy = recoloured(look, vertical(s), k);
  vdrawPathMoveTo(m.x, m.y);
  vdrawImage(copy);
  vimageDestroy(copy);
}

// The item's own background, else the application's.
void fillItemGround(vslider* s) {
  vcolor* ground = vdialogGetItemBackground(s);
  fillRect(ground ? ground : vapplicationDetermineColor(vapplicationGetCurrent(), vcolorBACKGROUND), s->rect);
}

}  // namespace

const vcontrolPart kWindowsSliderParts[7] = {
    kNone,
    {R, windowsHit<vsliderSTEP_BACK>, buttonPart<false, true>, buttonPart<false, false>, stepBack, nullptr},
    {R, windowsHit<vsliderPAGE_BACK>, pagePart<false, true>, pagePart<false, false>, pageBack, nullptr},
    {0, windowsThumbHit, nullptr, nullptr, drag, nullptr},
    {R, windowsHit<vsliderPAGE_FORWARD>, pagePart<true, true>, pagePart<true, false>, pageForward, nullptr},
    {R, windowsHit<vsliderSTEP_FORWARD>, buttonPart<true, true>, buttonPart<true, false>, stepForward, nullptr},
    kNone,
};
const vcontrolPart kWin95SliderParts[7] = {
    kNone,
    kNone,
    {R, windowsHit<vsliderPAGE_BACK>, nullptr, nullptr, pageBack, nullptr},
    {0, windowsThumbHit, nullptr, nullptr, drag, nullptr},
    {R, windowsHit<vsliderPAGE_FORWARD>, nullptr, nullptr, pageForward, nullptr},
    kNone,
    kNone,
};

void windowsSliderSize(vslider* s, int* w, int* h) {
  *w = vertical(s) ? 23 : 63;
  *h = vertical(s) ? 63 : 23;
}
void win95SliderSize(vslider* s, int* w, int* h) {
  int across = ticks(s) ? 31 : 29;
  *w = vertical(s) ? across : 71;
  *h = vertical(s) ? 71 : across;
}
void windowsSliderTrack(vslider* s, vrect* out) {
  const vrect& r = s->rect;
  *out = vertical(s) ? vrect{r.x, r.y, 23, std::int16_t(r.height - 32)} : vrect{r.x, r.y, std::int16_t(r.width - 32), 23};
}
void win95SliderTrack(vslider* s, vrect* out) {
  const vrect& r = s->rect;
  std::int16_t across = ticks(s) ? 23 : 21;
  *out = vertical(s) ? vrect{std::int16_t(r.x + 4), std::int16_t(r.y + 4), across, std::int16_t(r.height - 8)}
                     : vrect{std::int16_t(r.x + 4), std::int16_t(r.y + 4), std::int16_t(r.width - 8), across};
}
int mswSliderThumb(vslider*, int, int) { return 11; }

void mswSliderChoose(vslider* s, vevent* e) {
  int grab = 0;
  int part = windowsPartAt(s, veventGetX(e), veventGetY(e), &grab);
  press.track = trackOf(s);
  press.anchor = grab;
  const vcontrolPart* parts = vsliderGetParts(s);
  s->activePart = part < 0 || !parts[part].action ? nullptr : &parts[part];
}

void drawWindowsSlider(vslider* s) {
  vdrawGSave();
  bool v = vertical(s), on = isActive(s);
  Scheme k(s, 0x10055);
  fillItemGround(s);
  const vrect& r = s->rect;
  vrect groove = v ? vrect{std::int16_t(r.x + 5), r.y, 15, std::int16_t(r.height - 32)}
                   : vrect{r.x, std::int16_t(r.y + 5), std::int16_t(r.width - 32), 15};
  vdrawSetLineWidth(1);
  vdrawRectsFrameShaded(&groove, 1, k[2], k.or_(16, black()), k.or_(16, black()));
  // A two-pixel line in the dark entry along the groove's inner long side.
  fillRect(k.or_(6, darkGrey()), v ? vrect{std::int16_t(groove.x + 1), std::int16_t(groove.y + 1), 2,
                                           std::int16_t(groove.height - 2)}
                                   : vrect{std::int16_t(groove.x + 1), std::int16_t(groove.y + groove.height - 3),
                                           std::int16_t(groove.width - 2), 2});
  windowsButton(s, false, false);
  windowsButton(s, true, false);
  const vrect& m = s->indicator;
  if (on && m.width > 0 && m.height > 0 && vdrawRectIsVisible(&m)) {
    const int first = v ? 46 : 41;
    const int entries[] = {16, 0, 4, 6};
    for (int i = 0; i < 4; ++i) {
      useColor(k.or_(entries[i], i == 2 ? white() : black()));
      vdrawPathMoveTo(m.x, m.y);
      vlafDrawImage(first + i);
    }
    bool focused = vdialogItemIsActive(s);
    // The blink: the second image in the face colour while the phase is
    // off, in the foreground while it is on.
    useColor(focused && !_vsliderGetBlinkPhase() ? k.or_(2, lightGrey()) : k.or_(0, black()));
    vdrawPathMoveTo(m.x, m.y);
    vlafDrawImage(first + 1);
  }
  vdrawGRestore();
}

void drawWin95Slider(vslider* s) {
  vdrawGSave();
  bool v = vertical(s), t = ticks(s);
  Scheme k(s, 0x10055);
  fillItemGround(s);
  const vrect& r = s->rect;
  int thick = t ? 15 : 4, from = v ? (t ? 7 : 11) : (t ? 9 : 14);
  vrect groove = v ? vrect{std::int16_t(r.x + from), std::int16_t(r.y + 4), std::int16_t(thick), std::int16_t(r.height - 8)}
                   : vrect{std::int16_t(r.x + 4), std::int16_t(r.y + r.height - from - thick), std::int16_t(r.width - 8),
                           std::int16_t(thick)};
  vdrawSetLineWidth(1);
  vdrawRectsFrameShaded(&groove, 1, nullptr, black(), white());
  vrect in = inset(groove, 1);
  vdrawRectsFrameShaded(&in, 1, nullptr, k.or_(4, lightGrey()), k.or_(6, darkGrey()));
  const vrect& m = s->indicator;
  if (isActive(s) && m.width > 0 && m.height > 0 && vdrawRectIsVisible(&m)) win95Thumb(s, k);
  if (vdialogItemIsActive(s)) {
    vrect ring = inset(r, 2);
    useColor(black());
    vlafDrawFocusRect(&ring);
  }
  vdrawGRestore();
}

}  // namespace vsliderint

// The drawings controls share so that they look alike within a look:
// mnemonic underlines, labels (active and inactive), three-dimensional
// arrows, diamonds and check frames, the stippled clip, focus frames,
// dialog units and the rounded-end buttons of Open Look. All work in the
// current drawing state's user coordinates and leave its colour as found.
//
// - **Drawing** (`laf_draw.cpp`): labels, arrows, diamonds, check frames, the stippled clip, focus
//   frames (`vlafInFocusMode` is raised during the call for the Windows looks: the drawing driver
//   will frame with the platform's focus rectangle then), dialog units and the oblong button with
//   its one-rendering cache (`_vlafOblongRenderCount` counts renderings).
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "fw/gui/graphics/draw.h"
#include "fw/widgets/look/laf_internal.h"

namespace {

struct Point {
  int x, y;
};

// The colour current on entry, set back on leaving.
class SavedColor {
 public:
  SavedColor() : color_(vdrawGetState()->color) {
    if (color_) vcolorRetain(color_);
  }
  ~SavedColor() {
    if (!color_) return;
    vdrawSetColor(color_);
    vcolorRelease(color_);
  }
  SavedColor(const SavedColor&) = delete;
  SavedColor& operator=(const SavedColor&) = delete;
  vcolor* get() const { return color_; }

 private:
  vcolor* color_;
};

void polygon(vcolor* color, std::initializer_list<Point> points) {
  if (!color) return;
  vdrawSetColor(color);
  const Point* p = points.begin();
  vdrawPathMoveTo(p->x, p->y);
  for (const Point* q = p + 1; q != points.end(); ++q) vdrawRLineTo(q->x - q[-1].x, q->y - q[-1].y);
  vdrawFill(0);
}

void line(int x1, int y1, int x2, int y2) {
  vdrawPathMoveTo(x1, y1);
  vdrawLineTo(x2, y2);
  vdrawStroke();
}

int lineWidth() { return int(vdrawGetState()->lineWidth); }

bool windowsLook() {
  int id = vlafGetCurrent()->id;
  return id == vlafWINDOWS || id == vlafWIN95;
}

int focusMode = 0;

// ---- The oblong button's off-screen rendering, kept for the next button.
struct ButtonCache {
  vimage* image = nullptr;
  vimage* mask = nullptr;
  int width = 0, height = 0;  // of the last rendering
  vcolor* fill = nullptr;
  int keyFlags = 0;
  int renders = 0;
};
ButtonCache cache;

void glyphAt(int glyph, int x, int y, int height = 20) {
  vdrawPathMoveTo(x, y);
  vlafDrawGlyph(glyph, height);
}

void shape3D(int w, int h, vcolor* light, vcolor* dark, vcolor* fill) {
  int extra = h > 20 ? h - 20 : 0;
  vdrawSetColor(light);
  glyphAt(24, 0, 0);
  if (extra > 0) glyphAt(24, 0, extra);
  vdrawSetColor(dark);
  glyphAt(25, 0, 0);
  vdrawSetColor(fill);
  glyphAt(26, 0, 0);
  glyphAt(26, 0, extra);
  vdrawSetColor(dark);
  glyphAt(27, w - 9, 0);
  glyphAt(27, w - 9, extra);
  vdrawSetColor(light);
  glyphAt(28, w - 9, extra + 2, 18);
  vdrawSetColor(fill);
  glyphAt(29, w - 9, 0);
  glyphAt(29, w - 9, extra);
  vdrawSetColor(dark);
  line(9, 2, w - 9, 2);
  vdrawSetColor(light);
  line(9, extra + 20, w - 9, extra + 20);
  vdrawSetColor(fill);
  vdrawRectFill(9, 2, w - 18, extra + 17);
  if (extra > 0) {
    vdrawRectFill(1, 10, 9, extra);
    vdrawRectFill(w - 9, 10, 8, extra);
    vdrawSetColor(light);
    line(0, 10, 0, h - 10);
    vdrawSetColor(dark);
    line(w - 1, 10, w - 1, h - 10);
  }
}

// An end glyph, once, or twice (bottom and top halves) clipped apart.
void clippedEnd(int glyph, int x, int h, int extra, int clipWidth) {
  if (extra <= 0) return glyphAt(glyph, x, 0);
  vdrawGSave();
  vdrawRectClip(x, 0, clipWidth, 11);
  glyphAt(glyph, x, 0);
  vdrawGRestore();
  vdrawGSave();
  vdrawRectClip(x, h - 10, clipWidth, 11);
  glyphAt(glyph, x, extra);
  vdrawGRestore();
}

void shape2D(int w, int h, vcolor* frame, vcolor* fill) {
  int extra = h > 20 ? h - 20 : 0;
  vdrawSetColor(frame);
  clippedEnd(139, 0, h, extra, 9);
  vdrawSetColor(fill);
  glyphAt(146, 0, 3, 17);
  if (extra > 0) glyphAt(146, 0, extra + 3, 17);
  glyphAt(147, w - 10, 0);
  if (extra > 0) glyphAt(147, w - 10, extra);
  vdrawSetColor(frame);
  clippedEnd(140, w - 10, h, extra, 10);
  double previous = vdrawGetState()->lineWidth;
  vdrawSetLineWidth(2);
  line(9, 1, w - 9, 1);
  vdrawSetLineWidth(previous);
  line(9, extra + 20, w - 10, extra + 20);
  vdrawSetColor(fill);
  vdrawRectFill(9, 3, w - 19, extra + 15);
  if (extra > 0) {
    vdrawRectFill(2, 10, 8, extra);
    vdrawRectFill(w - 10, 10, 7, extra);
  }
  vdrawSetColor(frame);
  for (int x : {0, w - 1, w - 2}) line(x, 10, x, h - 10);
}

void makeImages(int w, int h) {
  if (cache.image && (cache.image->width < w || cache.image->height < h)) {
    w = std::max(w, int(cache.image->width));
    h = std::max(h, int(cache.image->height));
    vimageDestroy(std::exchange(cache.image, nullptr));
    vimageDestroy(std::exchange(cache.mask, nullptr));
  }
  if (cache.image) return;
  cache.image = vlafGetWindowServices().createDisplayImage(w, h);
  cache.mask = vimageCreateSized(w, h, 2);
}

}  // namespace

void vlafint::shutdownDrawing() {
  if (cache.image) vimageDestroy(cache.image);
  if (cache.mask) vimageDestroy(cache.mask);
  cache = ButtonCache{};
  focusMode = 0;
}

int vlafInFocusMode() { return focusMode; }
int _vlafOblongRenderCount() { return cache.renders; }

void vlafDrawMnemonic(const char* label, int character) {
  const char* at = std::strchr(label, character);
  if (!character || !at) return;
  double previous = vdrawGetState()->lineWidth;
  vdrawSetLineWidth(1);
  vfont* font = vdrawGetState()->matrix->font;
  int before = font ? int((std::int64_t(vfontGetCharsWidth(font, label, int(at - label))) + 32768) >> 16) : 0;
  vdrawRMoveTo(before, vlafGetCurrent()->id == vlafCUA ? -1 : 0);
  vdrawUnderlineChars(at, 1, 0);
  vdrawSetLineWidth(previous);
}

void vlafDrawLabelText(const char* label, int character, const vrect* rect, int flags) {
  vdrawGSave();
  int length = int(std::strlen(label));
  vdrawPlaceCharsAt(label, length, rect, flags);
  if (character) {
    double x, y;
    vdrawGetCurrentPoint(&x, &y);
    vlafDrawMnemonic(label, character);
    vdrawPathMoveToF(x, y);
  }
  vdrawGetPrimitives()->Show(label, length);
  vdrawGRestore();
}

void vlafDrawInactiveLabel(const char* label, int character, const vrect* rect, int flags, const vcolorScheme* colors) {
  auto same = [](vcolor* a, vcolor* b) { return a && b && vcolorSpecsEqual(&a->desc, &b->desc); };
  switch (vlafGetCurrent()->id) {
    case vlafWINDOWS: {
      vcolor* disabled = colors->entries[vcolorFOREGROUND + 1];
      vdrawGSave();
      if (same(disabled, vcolorGetBlack())) {
        vlafClipPatternRect(rect);
      } else if (same(disabled, colors->entries[vcolorBACKGROUND])) {
        vlafClipPatternRect(rect);
        vdrawSetColor(vcolorGetBlack());
      }
      vlafDrawLabelText(label, character, rect, flags);
      vdrawGRestore();
      return;
    }
    case vlafWIN95: {
      SavedColor saved;
      vrect raised = {std::int16_t(rect->x + 1), std::int16_t(rect->y - 1), rect->width, rect->height};
      if (colors->entries[vcolorSHADOW_TOP]) vdrawSetColor(colors->entries[vcolorSHADOW_TOP]);
      vlafDrawLabelText(label, character, &raised, flags);
      if (colors->entries[vcolorSHADOW_BOTTOM]) vdrawSetColor(colors->entries[vcolorSHADOW_BOTTOM]);
      vlafDrawLabelText(label, character, rect, flags);
      return;
    }
    default: vlafDrawLabelText(label, character, rect, flags);
  }
}

void vlafDrawHorizArrow(int x, int y, int dx, int dy, vcolor* fill, vcolor* light, vcolor* dark) {
  SavedColor saved;
  int lw = dx < 0 ? -lineWidth() : lineWidth();
  int h = lw / 2;
  polygon(fill, {{x + 2 * lw, y}, {x + dx, y + dy - lw}, {x + dx - lw, y - dy + lw + h}});
  polygon(light, {{x, y}, {x + 2 * lw, y}, {x + dx, y + dy - lw}, {x + dx, y + dy}});
  polygon(dark, {{x, y},
                 {x + dx, y - dy},
                 {x + dx, y + dy},
                 {x + dx - lw, y + dy - lw},
                 {x + dx - lw, y - dy + lw + h},
                 {x + 2 * lw, y}});
}

void vlafDrawVertArrow(int x, int y, int len, int half, vcolor* fill, vcolor* light, vcolor* dark) {
  SavedColor saved;
  int lw = len < 0 ? -lineWidth() : lineWidth();
  int h = lw / 2;
  polygon(fill, {{x, y + 2 * lw}, {x + half - lw, y + len}, {x - half + lw + h, y + len - lw}});
  polygon(light, {{x, y}, {x, y + 2 * lw}, {x + half - lw, y + len}, {x + half, y + len}});
  polygon(dark, {{x, y},
                 {x - half, y + len},
                 {x + half, y + len},
                 {x + half - lw, y + len - lw},
                 {x - half + lw + h, y + len - lw},
                 {x, y + 2 * lw}});
}

void vlafDrawDiamond(const vrect* rect, vcolor* fill, vcolor* light, vcolor* dark) {
  SavedColor saved;
  int lw = lineWidth(), s = rect->height / 2, i = s - lw, j = i - 1;
  auto band = [&](vcolor* color, int up) {
    if (!color) return;
    vdrawSetColor(color);
    vdrawPathMoveTo(rect->x, rect->y + s);
    vdrawRLineTo(s, up * s);
    vdrawRLineTo(s, -up * s);
    vdrawRLineTo(-lw, 0);
    vdrawRLineTo(-i, up * i);
    vdrawRLineTo(-i, -up * i);
    vdrawFill(0);
  };
  band(light, 1);
  band(dark, -1);
  if (!fill) return;
  vdrawSetColor(fill);
  vdrawPathMoveTo(rect->x + lw + 1, rect->y + s);
  vdrawRLineTo(j, j);
  vdrawRLineTo(j, -j);
  vdrawRLineTo(-j, -j);
  vdrawFill(0);
}

void vlafDrawCheckFrame(const vrect* rect, vcolor* fill, vcolor* light, vcolor* dark) {
  SavedColor saved;
  vrect frame = {std::int16_t(rect->x + 1), std::int16_t(rect->y + 1), std::int16_t(rect->width - 2),
                 std::int16_t(rect->height - 2)};
  vdrawRectsFrameShaded(&frame, 1, nullptr, light, dark);
  if (!fill) return;
  int inset = lineWidth() + 1;
  vdrawSetColor(fill);
  vdrawRectFill(frame.x + inset, frame.y + inset, frame.width - 2 * inset, frame.height - 2 * inset);
}

void vlafClipPatternRect(const vrect* rect) {
  if (!windowsLook()) return;
  vimage* pattern = vlafGetImage(58);
  if (!pattern) return;
  if (pattern->width < rect->width || pattern->height < rect->height)
    vlafint::enlargePattern(std::max(int(pattern->width), (rect->width + 1) & ~1),
                            std::max(int(pattern->height), (rect->height + 1) & ~1));
  vdrawPathMoveTo(rect->x, rect->y);
  vdrawGetPrimitives()->ImageMaskPath(pattern);
  vdrawClip(0);
  vdrawNewPath();
}

void vlafClipPatternInside(const vrect* rect) {
  if (!windowsLook()) return;
  vimage* piece = vlafint::patternPiece((rect->width + 1) & ~1, (rect->height + 1) & ~1);
  if (!piece) return;
  vdrawPathMoveTo(rect->x, rect->y);
  vdrawGetPrimitives()->ImageMaskPath(piece);
  vdrawClip(0);
  vdrawNewPath();
}

void vlafFillPatternInside(const vrect* rect) {
  vimage* piece = windowsLook() ? vlafint::patternPiece((rect->width + 1) & ~1, (rect->height + 1) & ~1) : nullptr;
  if (!piece) {
    vdrawFillRects(rect, 1);
    return;
  }
  vdrawGSave();
  // The piece reaches a pixel past an odd-sized rect.
  if ((rect->width | rect->height) & 1) vdrawClipRects(rect, 1);
  vdrawPathMoveTo(rect->x, rect->y);
  vdrawGetPrimitives()->ImageMask(piece);
  vdrawNewPath();
  vdrawGRestore();
}

void vlafDrawFocusRect(const vrect* rects) {
  bool focus = windowsLook();
  if (focus) ++focusMode;
  vdrawRectsFrame(rects, 1);
  if (focus) --focusMode;
}

int vlafDialogUnitsToWidth(vfont* font, int units) {
  static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  int width = int((std::int64_t(vfontGetCharsWidth(font, letters, 52)) + 32768) >> 16);
  int average = (width / 26 + 1) / 2;
  int v = average * units;
  return v / 4 + (v % 4 != 0);
}

int vlafDialogUnitsToHeight(vfont* font, int units) {
  int v = int((std::int64_t(vfontGetHeight(font)) + 32768) >> 16) * units;
  return v / 8 + (v % 8 != 0);
}

void vlafDrawLabel(const vrect* bounds, int state, const vcolorScheme* colors) {
  auto at = [&](int i) { return (colors->mask & vcolorSchemeBit(i)) ? colors->entries[i] : nullptr; };
  vcolor* sunk = at(vcolorBACKGROUND_DEBOSS) ? at(vcolorBACKGROUND_DEBOSS) : at(vcolorSHADOW_BOTTOM);
  vcolor *light = at(vcolorSHADOW_TOP), *dark = at(vcolorSHADOW_BOTTOM);
  // Without 3-D the outline is the only edge: in the shadows' colours it
  // can vanish into the ground, so it takes the foreground.
  if (!(vlafGetCurrent()->flags & vlaf3D) && at(vcolorFOREGROUND)) light = dark = at(vcolorFOREGROUND);
  vlafDrawOblongButton(bounds, (state & 2) ? 0 : 2, light, dark, at(vcolorBACKGROUND), sunk);
}

void vlafDrawOblongButton(const vrect* rect, int flags, vcolor* a, vcolor* b, vcolor* c, vcolor* d) {
  SavedColor saved;
  vdrawGSave();
  if (flags & 2) {
    std::swap(a, b);
    c = d;
  }
  int w = rect->width, h = rect->height, key = flags & 9;
  bool reuse = cache.image && cache.width == w && cache.height == h && cache.fill == c && cache.keyFlags == key;
  if (!reuse) {
    makeImages(w, h);
    ++cache.renders;
    bool flat = !(vlafGetCurrent()->flags & vlaf3D);
    vdrawGSave();
    vdrawSetLineWidth(1);
    vdrawBindImage(cache.image, 0);
    if (!flat) shape3D(w, h, a, b, c);
    else if (flags & 4) shape3D(w, h, c, c, c);
    else shape2D(w, h, a, c);
    if (flags & 1) {
      int mx = w - 14, my = (h - 7) / 2;
      vdrawSetColor(flat ? saved.get() : a);
      glyphAt(46, mx, my, 7);
      if (!flat) vdrawSetColor(b);
      glyphAt(45, mx, my, 7);
      if (!flat) {
        vdrawSetColor(d);
        glyphAt(47, mx, my, 7);
      }
    }
    vdrawGRestore();
    vdrawGSave();
    vdrawBindImage(cache.mask, vdrawBIND_MASK_IMAGE);
    vdrawSetDrawMode(0);
    vdrawRectFill(0, 0, cache.mask->width, cache.mask->height);
    vdrawSetDrawMode(15);
    if (!flat || (flags & 4)) shape3D(w, h, c, c, c);
    else shape2D(w, h, a, c);
    vdrawGRestore();
    cache.width = w;
    cache.height = h;
    cache.fill = c;
    cache.keyFlags = key;
  }
  vdrawGRestore();
  vdrawGSave();
  vdrawClipRects(rect, 1);
  vdrawPathMoveTo(rect->x, rect->y);
  vdrawGetPrimitives()->ImageMaskPath(cache.mask);
  vdrawClip(0);
  vdrawNewPath();
  vdrawPathMoveTo(rect->x, rect->y);
  vdrawGetPrimitives()->Image(cache.image);
  vdrawGRestore();
}

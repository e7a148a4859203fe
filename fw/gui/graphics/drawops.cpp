// The public drawing operations built on the current tables: frames kept
// inside their rectangles, shaded frames, text placed in a rectangle,
// underlines, images through their masks and tiled images.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/font_internal.h"
#include "fw/gui/graphics/image.h"

namespace {

using namespace vdrawint;

struct LineAdjust {
  int lw, dx, dy;
};

LineAdjust lineAdjust(int least = 0) {
  vdrawState* s = vdrawGetState();
  int lw = std::max<int>(s->roundedWidth, least);
  if (!(s->flags & vdrawSTROKE_ADJUST)) {
    int half = std::max((lw + 1) / 2, 1);
    return {2 * half, half, half};
  }
  lw = std::max(lw, 1);
  int half = lw / 2;
  std::uint32_t bits = s->matrix->device.classBits;
  return {lw, bits & vmatrixNEGATIVE_A ? lw - half : half, bits & vmatrixNEGATIVE_D ? lw - half : half};
}

std::vector<vrect> adjustedBuffer, ringBuffer, bandBuffer;

vrect* room(std::vector<vrect>& buffer, std::size_t n) {
  if (buffer.size() < n) buffer.resize(std::max<std::size_t>(2 * n, 4));
  return buffer.data();
}

std::int16_t s16(int v) { return std::int16_t(v); }

// The centre lines of outlines that stay inside the rectangles.
const vrect* adjust(const vrect* rects, int n, const LineAdjust& a) {
  vrect* out = room(adjustedBuffer, std::size_t(n));
  int stateWidth = vdrawGetState()->roundedWidth;
  auto size = [&](int v) { return v <= stateWidth ? 0 : std::max(v - a.lw, 0); };
  for (int i = 0; i < n; ++i)
    out[i] = {s16(rects[i].x + a.dx), s16(rects[i].y + a.dy), s16(size(rects[i].width)), s16(size(rects[i].height))};
  return out;
}

bool ringVisible(const vrect& outer, const vrect& inner) {
  vrect* clip;
  int n;
  vdrawGetDeviceClipRects(&clip, &n);
  for (int i = 0; i < n; ++i)
    if (vrectIntersects(&clip[i], &outer) && !vrectContainsRect(&inner, &clip[i])) return true;
  return false;
}

void polygon(const int (*points)[2], int count) {
  vdrawPathMoveTo(points[0][0], points[0][1]);
  for (int i = 1; i < count; ++i) vdrawLineTo(points[i][0], points[i][1]);
  vdrawClosePath();
}

// The two bands of a shaded frame, on outer rings.
void paintBands(const vrect* outer, int n, int lw, bool first, bool asRects) {
  if (asRects) {
    std::size_t per = first ? 2 : 2 + 2 * std::size_t(std::max(lw - 1, 0));
    vrect* out = room(bandBuffer, per * std::size_t(n));
    std::size_t k = 0;
    for (int f = 0; f < n; ++f) {
      int x = outer[f].x, y = outer[f].y, w = outer[f].width, h = outer[f].height;
      if (first) {
        out[k++] = {s16(x), s16(y), s16(w), s16(lw)};
        out[k++] = {s16(x + w - lw), s16(y + lw), s16(lw), s16(h - lw)};
        continue;
      }
      out[k++] = {s16(x), s16(y + h - lw), s16(w - lw + 1), s16(lw)};
      out[k++] = {s16(x), s16(y + lw - 1), s16(lw), s16(h - lw + 1)};
      for (int i = lw - 1; i >= 1; --i) {
        out[k++] = {s16(x + w - i), s16(y + h - i), 1, s16(i)};
        out[k++] = {s16(x), s16(y + i - 1), s16(i), 1};
      }
    }
    vdrawFillRects(out, int(k));
    return;
  }
  for (int f = 0; f < n; ++f) {
    int x = outer[f].x, y = outer[f].y, w = outer[f].width, h = outer[f].height;
    if (first) {
      const int p[][2] = {{x, y}, {x + w, y}, {x + w, y + h}, {x + w - lw, y + h - lw}, {x + w - lw, y + lw}, {x + lw, y + lw}};
      polygon(p, 6);
    } else {
      const int p[][2] = {{x, y}, {x, y + h}, {x + w, y + h}, {x + w - lw, y + h - lw}, {x + lw, y + h - lw}, {x + lw, y + lw}};
      polygon(p, 6);
    }
  }
  vdrawFill(0);
}

void shaded(const vrect* rects, int n, vcolor* fill, vcolor* a, vcolor* b, const LineAdjust& adj) {
  vcolor* entry = vdrawGetState()->color;
  vcolorRetain(entry);
  if (fill) {
    vdrawSetColor(fill);
    vdrawFillRects(rects, n);
  }
  const vrect* centre = adjust(rects, n, adj);
  vrect* rings = room(ringBuffer, std::size_t(n));
  int visible = 0, lw = adj.lw;
  for (int i = 0; i < n; ++i) {
    const vrect& r = centre[i];
    vrect outer = {s16(r.x - adj.dx), s16(r.y - adj.dy), s16(r.width + lw), s16(r.height + lw)};
    vrect inner = {s16(outer.x + lw), s16(outer.y + lw), s16(r.width > lw ? r.width - lw : 0),
                   s16(r.height > lw ? r.height - lw : 0)};
    if (ringVisible(outer, inner)) rings[visible++] = outer;
  }
  if (visible > 0) {
    vdrawNewPath();
    if (b) {
      vdrawSetColor(b);
      paintBands(rings, visible, lw, true, a != nullptr);
    }
    if (a) {
      vdrawSetColor(a);
      bool plain = !(vdrawGetState()->matrix->device.classBits & (vmatrixSCALE_A | vmatrixSCALE_D | vmatrixSKEW));
      paintBands(rings, visible, lw, false, plain && lw < 5);
    }
  }
  vdrawSetColor(entry);
  vcolorRelease(entry);
}

void (*keyDrawer)(int) = [](int) {};

// The first tile's offset and the tiles needed to cover a rectangle.
struct Phase {
  int px, py, columns, rows;
};

Phase tilingPhase(int x, int y, int w, int h, int tw, int th) {
  if (tw < 1 || th < 1) _vexGenerate(&vexArgRangeClass, vexEnd);
  auto phase = [](int v, int t) { return v >= 0 ? v % t : t - ((-v) % t); };
  Phase p{phase(x, tw), phase(y, th), 0, 0};
  p.columns = (w + p.px + tw - 1) / tw;
  p.rows = (h + p.py + th - 1) / th;
  return p;
}

int roundedAdvance(const char* chars, int length) {
  int dx = 0, dy = 0;
  vfont* font = vdrawGetState()->matrix->font;
  if (font) vfontGetCharsAdvance(font, chars, length, &dx, &dy);
  return dx;
}

}  // namespace

void vdrawRectFill(int x, int y, int w, int h) {
  vrect r = {s16(x), s16(y), s16(w), s16(h)};
  vdrawFillRects(&r, 1);
}

void vdrawRectClip(int x, int y, int w, int h) {
  vrect r = {s16(x), s16(y), s16(w), s16(h)};
  vdrawClipRects(&r, 1);
}

void vdrawRectsFrame(const vrect* rects, int n) { vdrawFrameRects(adjust(rects, n, lineAdjust()), n); }

void vdrawRectFrame(int x, int y, int w, int h) {
  vrect r = {s16(x), s16(y), s16(w), s16(h)};
  vdrawRectsFrame(&r, 1);
}

void vdrawRectsFrameArcs(const vrect* rects, int n, int a1, int a2) {
  vdrawFrameArcs(adjust(rects, n, lineAdjust()), n, a1, a2);
}

void vdrawRectsFrameRounded(const vrect* rects, int n, int corner) {
  vdrawFrameRoundRects(adjust(rects, n, lineAdjust()), n, corner);
}

void vdrawRectsFrameShaded(const vrect* rects, int n, vcolor* fill, vcolor* a, vcolor* b) {
  shaded(rects, n, fill, a, b, lineAdjust());
}

void vdrawRectsFrameShadedWide(const vrect* rects, int n, vcolor* a, vcolor* b) {
  LineAdjust adj = lineAdjust(2);
  std::vector<vrect> centre(adjust(rects, n, adj), adjust(rects, n, adj) + n);
  double entry = vdrawGetState()->lineWidth;
  int half = std::max(adj.lw / 2, 1);
  vexGuard(
      [&] {
        vdrawSetLineWidth(half);
        std::vector<vrect> outer, inner;
        for (const vrect& r : centre) {
          outer.push_back({s16(r.x - half + adj.dx), s16(r.y - half + adj.dy), s16(r.width + half),
                           s16(r.height + half)});
          if (r.width - half > half && r.height - half > half)
            inner.push_back({s16(r.x + adj.dx), s16(r.y + adj.dy), s16(r.width - half), s16(r.height - half)});
        }
        vdrawRectsFrameShaded(outer.data(), int(outer.size()), nullptr, a, b);
        if (!inner.empty()) vdrawRectsFrameShaded(inner.data(), int(inner.size()), nullptr, b, a);
      },
      [&](vexHandler&) {
        vdrawSetLineWidth(entry);
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawSetLineWidth(entry);
}

int vdrawRectIsVisible(const vrect* r) {
  vrect* clip;
  int n;
  vdrawGetDeviceClipRects(&clip, &n);
  for (int i = 0; i < n; ++i)
    if (vrectIntersects(&clip[i], r)) return 1;
  return 0;
}

static void setTemporaryColor(void (*model)(vcolorSpec*, unsigned, unsigned, unsigned),
                              void (*delta)(vcolorSpec*, unsigned, unsigned, unsigned), unsigned c1, unsigned c2,
                              unsigned c3) {
  vcolorSpec desc;
  vcolorInitSpec(&desc);
  model(&desc, c1, c2, c3);
  delta(&desc, 511, 511, 511);
  vcolorSetSpecMaxDotDither(&desc, 64);
  vcolor* color = vcolorInternSpec(&desc);
  vcolorDestroySpec(&desc);
  vdrawSetColor(color);
  vcolorRelease(color);
}

void vdrawSetColorRGB(unsigned red, unsigned green, unsigned blue) {
  setTemporaryColor(vcolorSetSpecRGB, vcolorSetSpecRGBDelta, red, green, blue);
}

void vdrawSetColorHLS(unsigned hue, unsigned lightness, unsigned saturation) {
  setTemporaryColor(vcolorSetSpecHLS, vcolorSetSpecHLSDelta, hue, lightness, saturation);
}

void vdrawCharsAt(const char* chars, int length, const vrect* rect, int mode) {
  withSavedState([&] {
    vdrawPlaceCharsAt(chars, length, rect, mode);
    vdrawGetPrimitives()->Show(chars, length);
  });
}

void vdrawPlaceCharsAt(const char* chars, int length, const vrect* rect, int mode) {
  vfont* font = vdrawGetState()->matrix->font;
  const vfontDriver* d = vfontGetDriver();
  int width = roundedAdvance(chars, length), ascent = 0, descent = 0;
  if (font && d) {
    ascent = int((std::int64_t(d->ascent(font)) + 32768) >> 16);
    descent = int((std::int64_t(d->descent(font)) + 32768) >> 16);
  }
  int x = rect->x, y = rect->y + descent, height = ascent + descent;
  if ((mode & 1) && rect->width > width) x += (rect->width - width) / 2;
  if ((mode & 2) && rect->height > height) y += (rect->height - height) / 2;
  if (!(rect->width >= width && rect->height >= height)) vdrawClipRects(rect, 1);
  vdrawPathMoveTo(x, y);
}

void vdrawScribeAt(vscribe* s, const vrect* rect, int mode) {
  vfontint::withText(s, [&](const char* chars, int n) { vdrawCharsAt(chars, n, rect, mode); });
}

void vdrawShowScribe(vscribe* s) {
  vfontint::withText(s, [](const char* chars, int n) { vdrawGetPrimitives()->Show(chars, n); });
}

void vdrawUnderlineChars(const char* chars, int length, int show) {
  int px, py;
  vdrawGetCurrentPointRounded(&px, &py);
  int w = roundedAdvance(chars, length);
  vdrawRMoveTo(0, -vdrawGetState()->roundedWidth);
  vdrawRLineTo(w, 0);
  vdrawStroke();
  if (show) {
    vdrawPathMoveTo(px, py);
    vdrawGetPrimitives()->Show(chars, length);
  } else {
    vdrawPathMoveTo(px + w, py);
  }
}

void vdrawSetKeyDrawer(void (*drawer)(int key)) { keyDrawer = drawer ? drawer : [](int) {}; }
void vdrawKey(int key) { keyDrawer(key); }

void vdrawImagePrimitive(vimage* image) { vdrawGetPrimitives()->Image(image); }
void vdrawImageMatrixPrimitive(vimage* image, const vmatrix* m) { vdrawGetPrimitives()->ImageMatrix(image, m); }
void vdrawImageMaskMatrixPrimitive(vimage* image, const vmatrix* m) {
  vdrawGetPrimitives()->ImageMaskMatrix(image, m);
}

static void requireShallowMask(const vimage* mask) {
  if (mask->depth > 1) vexGenerateMessage(&vexModuleUnimplementedClass, "unable to render deep transparency");
}

void vdrawImage(vimage* image) {
  if (!image->mask) return vdrawImagePrimitive(image);
  requireShallowMask(image->mask);
  double x, y;
  vdrawGetCurrentPoint(&x, &y);
  withSavedState([&] {
    vdrawNewPath();
    vdrawPathMoveToF(x, y);
    vdrawGetPrimitives()->ImageMaskPath(image->mask);
    vdrawClip(0);
    vdrawNewPath();
    vdrawPathMoveToF(x, y);
    vdrawImagePrimitive(image);
  });
}

void vdrawImageTransformed(vimage* image, const vmatrix* m) {
  if (!image->mask) return vdrawImageMatrixPrimitive(image, m);
  requireShallowMask(image->mask);
  withSavedState([&] {
    vdrawNewPath();
    vdrawGetPrimitives()->ImageMaskPathMatrix(image->mask, m);
    vdrawClip(0);
    vdrawNewPath();
    vdrawImageMatrixPrimitive(image, m);
  });
}

void vdrawImageTile(vimage* image, const vrect* rect, void (*draw)(vimage* image)) {
  if (vrectIsEmpty(rect)) return;
  Phase p = tilingPhase(rect->x, rect->y, rect->width, rect->height, image->width, image->height);
  int x, y;
  vdrawGetCurrentPointRounded(&x, &y);
  withSavedState([&] {
    vdrawRectClip(x, y, rect->width, rect->height);
    vdrawPathMoveTo(x - p.px, y - p.py);
    for (int row = 0; row < p.rows; ++row) {
      for (int column = 0; column < p.columns; ++column) {
        draw(image);
        vdrawRMoveTo(image->width, 0);
      }
      vdrawRMoveTo(-p.columns * image->width, image->height);
    }
  });
}

void vdrawImageTileScaled(vimage* image, const vrect* source, const vrect* destination,
                          void (*draw)(vimage* image, const vmatrix* m)) {
  if (vrectIsEmpty(source) || vrectIsEmpty(destination)) return;
  int tw = image->width, th = image->height;
  Phase p = tilingPhase(source->x, source->y, source->width, source->height, tw, th);
  double sx = double(source->width) / destination->width, sy = double(source->height) / destination->height;
  vmatrix at = {float(sx), 0, 0, float(sy), float(p.px - destination->x * sx), float(p.py - destination->y * sy)};
  withSavedState([&] {
    vdrawClipRects(destination, 1);
    for (int row = 0; row < p.rows; ++row) {
      for (int column = 0; column < p.columns; ++column) {
        draw(image, &at);
        at.tx -= float(tw);
      }
      at.tx += float(p.columns * tw);
      at.ty -= float(th);
    }
  });
}

void vrectFloatToLong(const vrectFloat* in, vrectLong* out) {
  auto x = std::int32_t(std::floor(in->x)), y = std::int32_t(std::floor(in->y));
  out->x = x, out->y = y;
  out->width = std::int32_t(std::ceil(double(in->x) + in->width)) - x;
  out->height = std::int32_t(std::ceil(double(in->y) + in->height)) - y;
}

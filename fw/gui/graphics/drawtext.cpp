// Text and image primitives by matrix kind: text goes to the driver with a
// text transform placed at the current point, images with the transform from
// device to image coordinates; masks can become the current path.
#include <algorithm>
#include <cmath>

#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/image.h"

namespace vdrawint {

namespace {

constexpr std::uint32_t kMirrorsOrScales = vmatrixNEGATIVE_A | vmatrixSCALE_A | vmatrixSCALE_D | vmatrixSKEW;

vdrawTransform* matrixRecord() { return m.current->matrix; }

const vmatrix& inverseMatrix() {
  vdrawTransform* t = matrixRecord();
  if (t->flags & 1) {
    vmatrixInvert(&t->matrix, &t->inverse);
    t->flags &= std::uint16_t(~1);
  }
  return t->inverse;
}

vfixed toFixed(double v) { return vfixedFromDouble(v); }

// The text transform placed at the current point.
vdrawDeviceTransform* textAtCurrentPoint() {
  vdrawSyncState(vdrawSYNC_TEXT);
  vdrawTransform* t = matrixRecord();
  if (t->flags & 2) {
    t = privateMatrix();
    vmatrix font = t->font && t->font->matrix ? *t->font->matrix : vmatrixIdentity, text;
    vmatrixConcat(&font, &t->matrix, &text);
    vmatrixToFixed(&text, &t->text);
    t->text.classBits |= vmatrixTX | vmatrixTY;
    t->textX = t->text.tx, t->textY = t->text.ty;
    t->flags &= std::uint16_t(~2);
  }
  const vdrawPath* p = m.current->path;
  t->text.tx = vfixed(std::uint32_t(p->x) - std::uint32_t(t->device.tx) + std::uint32_t(t->textX));
  t->text.ty = vfixed(std::uint32_t(p->y) - std::uint32_t(t->device.ty) + std::uint32_t(t->textY));
  return &t->text;
}

// Back from a text position to the current point.
void moveToTextPosition(vfixed x, vfixed y) {
  vdrawTransform* t = matrixRecord();
  pathMoveTo(vfixed(std::uint32_t(x) - std::uint32_t(t->textX) + std::uint32_t(t->device.tx)),
             vfixed(std::uint32_t(y) - std::uint32_t(t->textY) + std::uint32_t(t->device.ty)));
}

void advanceOf(const char* chars, int length, vfixed* dx, vfixed* dy) {
  *dx = *dy = 0;
  const vfontDriver* d = vfontGetDriver();
  vfont* font = matrixRecord()->font;
  if (d && d->advance && font) d->advance(font, chars, length, dx, dy);
}

void deviceDistance(double x, double y, vfixed* fx, vfixed* fy) {
  double dx, dy;
  vmatrixTransformVector(&matrixRecord()->matrix, x, y, &dx, &dy);
  *fx = toFixed(dx), *fy = toFixed(dy);
}

void requireMask(const vimage* image) {
  if (image->depth > 1) _vexGenerate(&vexArgClass, vexEnd);
}

// Device to image coordinates: the state's inverse, then the given matrix.
vdrawDeviceTransform toImage(const vmatrix* mx) {
  vmatrix r;
  vmatrixConcat(&inverseMatrix(), mx, &r);
  vdrawDeviceTransform f;
  vmatrixToFixed(&r, &f);
  return f;
}

// A one-bit image of b drawn by body as a mask target, becoming the current path.
// Body draws under the current matrix moved by -b's origin in device space, so
// the mask's pixels are the device's pixels of b: the target's own default
// matrix (a window's or an image's counts y upwards) would move and mirror them.
template <class F>
void maskPath(const vrect& b, F body) {
  vimage* image = vimageCreateSized(b.width, b.height, 2);
  vmatrix shifted = matrixRecord()->matrix;
  shifted.tx -= float(b.x);
  shifted.ty -= float(b.y);
  vexGuard(
      [&] {
        withSavedState([&] {
          vdrawBindImage(image, vdrawBIND_MASK_IMAGE);
          vdrawSetMatrix(&shifted);
          body();
        });
      },
      [&](vexHandler&) {
        vimageDestroy(image);
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawState* s = privateState();
  vdrawPathRelease(s->path);
  s->path = vdrawPathNewMask(image, &b);
  _vdrawSelectPrimitives();
}

vrect deviceBoxOf(const vmatrix* toDevice, double x, double y, double w, double h) {
  vrectFloat in = {float(x), float(y), float(w), float(h)}, out;
  vmatrixTransformRect(toDevice, &in, &out);
  auto x0 = std::int16_t(std::floor(out.x)), y0 = std::int16_t(std::floor(out.y));
  return {x0, y0, std::int16_t(std::ceil(double(out.x) + out.width) - x0),
          std::int16_t(std::ceil(double(out.y) + out.height) - y0)};
}

}  // namespace

template <int K>
void TextOps<K>::show(const char* chars, int length) {
  vdrawDeviceTransform* text = textAtCurrentPoint();
  m.driver->showChars(m.data, chars, length, text);
  vfixed dx, dy;
  advanceOf(chars, length, &dx, &dy);
  if (matrixRecord()->device.classBits & kMirrorsOrScales)
    m.selected->RMoveToF(dx / 65536.0, dy / 65536.0);
  else
    pathRMoveTo(dx, K == 2 ? -dy : dy);
}

template <int K>
void TextOps<K>::xyShow(const char* chars, int length, const float* offsets, int flags) {
  vdrawDeviceTransform* text = textAtCurrentPoint();
  vfixed x = text->tx, y = text->ty;
  for (int i = 0; i < length; ++i) {
    text->tx = x, text->ty = y;
    m.driver->showChars(m.data, chars + i, 1, text);
    double ox = flags & 1 ? *offsets++ : 0;
    double oy = flags & 2 ? *offsets++ : 0;
    vfixed fx, fy;
    deviceDistance(ox, oy, &fx, &fy);
    x = vfixed(std::uint32_t(x) + std::uint32_t(fx)), y = vfixed(std::uint32_t(y) + std::uint32_t(fy));
  }
  moveToTextPosition(x, y);
}

template <int K>
void TextOps<K>::aWidthShow(double cx, double cy, int c, double ax, double ay, const char* chars, int length) {
  vdrawDeviceTransform* text = textAtCurrentPoint();
  vfixed fcx, fcy, fax, fay;
  deviceDistance(cx, cy, &fcx, &fcy);
  deviceDistance(ax, ay, &fax, &fay);
  std::uint32_t x = std::uint32_t(text->tx), y = std::uint32_t(text->ty);
  for (int i = 0; i < length; ++i) {
    text->tx = vfixed(x), text->ty = vfixed(y);
    m.driver->showChars(m.data, chars + i, 1, text);
    vfixed dx, dy, ex, ey;
    advanceOf(chars + i, 1, &dx, &dy);
    deviceDistance(dx / 65536.0, dy / 65536.0, &ex, &ey);
    x += std::uint32_t(ex) + std::uint32_t(fax), y += std::uint32_t(ey) + std::uint32_t(fay);
    if (static_cast<unsigned char>(chars[i]) == unsigned(c)) x += std::uint32_t(fcx), y += std::uint32_t(fcy);
  }
  moveToTextPosition(vfixed(x), vfixed(y));
}

template <int K>
void TextOps<K>::charPath(const char* chars, int length) {
  double px, py;
  vdrawGetCurrentPoint(&px, &py);
  vrectFixed box = {0, 0, 0, 0};
  const vfontDriver* d = vfontGetDriver();
  if (d && d->charsBounds && matrixRecord()->font) d->charsBounds(matrixRecord()->font, chars, length, &box);
  vrect b = deviceBoxOf(&matrixRecord()->matrix, px + box.x / 65536.0, py + box.y / 65536.0, box.width / 65536.0,
                        box.height / 65536.0);
  maskPath(b, [&] {
    vdrawPathMoveToF(px, py);
    vdrawGetPrimitives()->Show(chars, length);
  });
}

template <int K>
void TextOps<K>::imageMatrix(vimage* image, const vmatrix* mx) {
  vdrawSyncState(vdrawSYNC_IMAGE);
  vdrawDeviceTransform f = toImage(mx);
  m.driver->drawImage(m.data, image, &f);
}

template <int K>
void TextOps<K>::imageMaskMatrix(vimage* image, const vmatrix* mx) {
  requireMask(image);
  vdrawSyncState(vdrawSYNC_IMAGE);
  vdrawDeviceTransform f = toImage(mx);
  m.driver->drawMask(m.data, image, &f);
}

template <int K>
void TextOps<K>::imageAt(vimage* image, bool mask) {
  if (mask) requireMask(image);
  const vdrawPath* p = m.current->path;
  if constexpr (K <= 2) {
    vdrawSyncState(vdrawSYNC_IMAGE);
    vdrawDeviceTransform f = {vmatrixTX | vmatrixTY, vfixedONE, 0, 0, vfixedONE, -p->x, -p->y};
    if (K == 2) f = {vmatrixTX | vmatrixTY | vmatrixNEGATIVE_D, vfixedONE, 0, 0, -vfixedONE, -p->x, p->y};
    (mask ? m.driver->drawMask : m.driver->drawImage)(m.data, image, &f);
  } else {
    int x, y;
    vdrawGetCurrentPointRounded(&x, &y);
    vmatrix at = {1, 0, 0, 1, float(-x), float(-y)};
    (mask ? m.selected->ImageMaskMatrix : m.selected->ImageMatrix)(image, &at);
  }
}

template <int K>
void TextOps<K>::imageMaskPathMatrix(vimage* image, const vmatrix* mx) {
  requireMask(image);
  vdrawDeviceTransform f = toImage(mx);
  vmatrix deviceToImage, imageToDevice;
  vmatrixFromFixed(&f, &deviceToImage);
  vmatrixInvert(&deviceToImage, &imageToDevice);
  vrect b = deviceBoxOf(&imageToDevice, 0, 0, image->width, image->height);
  vmatrix userToImage = *mx;
  maskPath(b, [&] { vdrawGetPrimitives()->ImageMaskMatrix(image, &userToImage); });
}

template <int K>
void TextOps<K>::imageMaskPath(vimage* image) {
  requireMask(image);
  constexpr std::uint32_t mirrors = vmatrixNEGATIVE_A | vmatrixNEGATIVE_D;
  const std::uint32_t bits = matrixRecord()->device.classBits;
  if ((m.current->binding->transform.classBits & mirrors) == (bits & mirrors)) {
    const vdrawPath* p = m.current->path;
    auto x = std::int16_t((std::int64_t(p->x) + 32768) >> 16), y = std::int16_t((std::int64_t(p->y) + 32768) >> 16);
    if (bits & vmatrixNEGATIVE_D) y = std::int16_t(y - image->height);
    vrect at = {x, y, image->width, image->height};
    vdrawState* s = privateState();
    vdrawPathRelease(s->path);
    s->path = vdrawPathNewMask(image, &at);
    s->path->flags |= vdrawPathBORROWED;
    _vdrawSelectPrimitives();
    return;
  }
  double px, py;
  vdrawGetCurrentPoint(&px, &py);
  vmatrix at = {1, 0, 0, 1, float(-px), float(-py)};
  m.selected->ImageMaskPathMatrix(image, &at);
}

template struct TextOps<0>;
template struct TextOps<1>;
template struct TextOps<2>;
template struct TextOps<3>;
template struct TextOps<4>;

}  // namespace vdrawint

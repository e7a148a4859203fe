// Path records: rectangle lists, masks and element paths from one pool of
// small records (the heap for larger ones), the two shared static paths,
// and the construction operations the primitive tables call.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/image.h"

const vexClass vdrawNoCurrentPointClass{&vexModuleStateClass, "No Current Point", 36, nullptr, sizeof(vexException)};

namespace vdrawint {
namespace {

constexpr std::size_t kPooledPayload = std::max(8 * sizeof(vdrawElement), 11 * sizeof(vrect));

struct EmptyClip {
  vdrawPath path;
  vrect rect;
};
vdrawPath emptyPath;
EmptyClip emptyClip;

std::size_t payloadOf(int kind, std::int32_t capacity) {
  if (kind == vdrawPathRECTS) return std::size_t(capacity) * sizeof(vrect);
  if (kind == vdrawPathELEMENTS) return std::size_t(capacity) * sizeof(vdrawElement);
  return 0;
}

vdrawPath* allocPath(int kind, std::int32_t capacity) {
  ensure();
  std::size_t bytes = payloadOf(kind, capacity);
  void* block = bytes <= kPooledPayload ? vpoolAlloc(m.paths) : vmemAlloc(sizeof(vdrawPath) + bytes);
  auto* p = static_cast<vdrawPath*>(block);
  *p = {std::uint16_t(kind), 1, {0, 0, 0, 0}, 0, capacity, 0, 0, 0, 0, nullptr};
  return p;
}

void freePath(vdrawPath* p) {
  if (payloadOf(p->flags & vdrawPathKIND, p->capacity) <= kPooledPayload)
    vpoolFree(m.paths, p);
  else
    vmemFree(p);
}

// The current path, private and an element path with room for more elements.
vdrawPath* writablePath(int more) {
  vdrawState* s = privateState();
  vdrawPath* p = s->path;
  if ((p->flags & vdrawPathKIND) != vdrawPathELEMENTS) {
    s->path = vdrawPathNewElements(more);
    vdrawPathRelease(p);
  } else if (p->refs > 1 || p->used + more > p->capacity) {
    s->path = vdrawPathClone(p, std::max(2 * p->capacity, p->used + more));
    vdrawPathRelease(p);
  }
  return s->path;
}

void append(vdrawPath* p, std::int32_t kind, vfixed x, vfixed y) { vdrawPathElements(p)[p->used++] = {kind, x, y}; }

}  // namespace

void pathStartup() {
  m.paths = vpoolCreate(sizeof(vdrawPath) + kPooledPayload);
  emptyPath = {vdrawPathELEMENTS, 1, {0, 0, 0, 0}, 0, 0, 0, 0, 0, 0, nullptr};
  emptyClip = {{vdrawPathRECTS | vdrawPathCURRENT_POINT, 1, {0, 0, 0, 0}, 1, 1, 0, 0, 0, 0, nullptr}, {0, 0, 0, 0}};
}

void pathMoveTo(vfixed x, vfixed y) {
  vdrawPath* p = writablePath(1);
  bool hadPoint = p->flags & vdrawPathCURRENT_POINT;
  vdrawElement* e = vdrawPathElements(p);
  if (p->used > 0 && e[p->used - 1].kind == vdrawMOVETO)
    e[p->used - 1] = {vdrawMOVETO, x, y};
  else
    append(p, vdrawMOVETO, x, y);
  p->flags |= vdrawPathCURRENT_POINT;
  if (p->used > 1) p->flags |= vdrawPathSUBPATHS;
  p->x = p->startX = x;
  p->y = p->startY = y;
  if (!hadPoint) _vdrawSelectPrimitives();
}

void pathLineTo(vfixed x, vfixed y) {
  vdrawPath* p = writablePath(1);
  append(p, vdrawLINETO, vfixed(std::uint32_t(x) - std::uint32_t(p->x)), vfixed(std::uint32_t(y) - std::uint32_t(p->y)));
  p->x = x;
  p->y = y;
}

void pathRLineTo(vfixed dx, vfixed dy) {
  vdrawPath* p = writablePath(1);
  append(p, vdrawLINETO, dx, dy);
  p->x = vfixed(std::uint32_t(p->x) + std::uint32_t(dx));
  p->y = vfixed(std::uint32_t(p->y) + std::uint32_t(dy));
}

void pathRMoveTo(vfixed dx, vfixed dy) {
  vdrawPath* p = m.current->path;
  pathMoveTo(vfixed(std::uint32_t(p->x) + std::uint32_t(dx)), vfixed(std::uint32_t(p->y) + std::uint32_t(dy)));
}

void pathCurve(const vfixed* v) {
  vdrawPath* p = writablePath(3);
  std::uint32_t x = std::uint32_t(p->x), y = std::uint32_t(p->y);
  for (int i = 0; i < 3; ++i) {
    append(p, vdrawCURVETO, v[2 * i], v[2 * i + 1]);
    x += std::uint32_t(v[2 * i]);
    y += std::uint32_t(v[2 * i + 1]);
  }
  p->x = vfixed(x);
  p->y = vfixed(y);
  p->flags |= vdrawPathCURVES;
}

void pathArc(vfixed cx, vfixed cy, vfixed rx, vfixed ry, vfixed start, vfixed sweep, vfixed ex, vfixed ey) {
  constexpr vfixed k180 = 180 * vfixedONE, k360 = 360 * vfixedONE;
  // A mirrored radius mirrors the angles instead, so radii stay non-negative.
  if (rx < 0) {
    start = start > k180 ? 3 * k180 - start : k180 - start;
    sweep = -sweep;
    rx = -rx;
  }
  if (ry < 0) {
    start = k360 - start;
    sweep = -sweep;
    ry = -ry;
  }
  vdrawPath* p = writablePath(4);
  append(p, vdrawARC, cx, cy);
  append(p, vdrawARC, rx, ry);
  append(p, vdrawARC, start, sweep);
  append(p, vdrawARC, ex, ey);
  p->x = vfixed(std::uint32_t(p->x) + std::uint32_t(ex));
  p->y = vfixed(std::uint32_t(p->y) + std::uint32_t(ey));
  p->flags |= vdrawPathARCS;
}

void pathTangentArc(vfixed cx, vfixed cy, vfixed rx, vfixed ry, vfixed kx, vfixed ky, vfixed ex, vfixed ey) {
  vdrawPath* p = writablePath(4);
  append(p, vdrawTANGENT_ARC, cx, cy);
  append(p, vdrawTANGENT_ARC, vfixedAbs(rx), vfixedAbs(ry));
  append(p, vdrawTANGENT_ARC, kx, ky);
  append(p, vdrawTANGENT_ARC, ex, ey);
  p->x = vfixed(std::uint32_t(p->x) + std::uint32_t(kx) + std::uint32_t(ex));
  p->y = vfixed(std::uint32_t(p->y) + std::uint32_t(ky) + std::uint32_t(ey));
  p->flags |= vdrawPathARCS;
}

void pathAppendPoints(vdrawPath* p, vfixed x, vfixed y, const vfixed* points, int count) {
  vdrawElement* e = vdrawPathElements(p) + p->used;
  for (int i = 0; i < count; ++i) {
    e[i] = {vdrawLINETO, vfixed(std::uint32_t(points[2 * i]) - std::uint32_t(x)),
            vfixed(std::uint32_t(points[2 * i + 1]) - std::uint32_t(y))};
    x = points[2 * i];
    y = points[2 * i + 1];
  }
  p->used += count;
}

void appendElements(vdrawPath* from) {
  vdrawPath* p = writablePath(from->used);
  bool had = p->flags & vdrawPathCURRENT_POINT;
  if (p->used > 0 && from->used > 0) p->flags |= vdrawPathSUBPATHS;
  std::copy(vdrawPathElements(from), vdrawPathElements(from) + from->used, vdrawPathElements(p) + p->used);
  p->used += from->used;
  p->flags |= from->flags & (vdrawPathCURRENT_POINT | vdrawPathCURVES | vdrawPathCLOSED | vdrawPathARCS |
                             vdrawPathSUBPATHS);
  p->x = from->x, p->y = from->y, p->startX = from->startX, p->startY = from->startY;
  if (!had) _vdrawSelectPrimitives();
}

void pathClose() {
  vdrawPath* p = writablePath(1);
  append(p, vdrawCLOSEPATH, vfixed(std::uint32_t(p->startX) - std::uint32_t(p->x)),
         vfixed(std::uint32_t(p->startY) - std::uint32_t(p->y)));
  p->x = p->startX;
  p->y = p->startY;
  p->flags |= (p->flags & vdrawPathCLOSED) ? vdrawPathSUBPATHS : vdrawPathCLOSED;
}

void pathNew() {
  vdrawState* s = privateState();
  vdrawPath* p = s->path;
  if (p->refs == 1 && (p->flags & vdrawPathKIND) == vdrawPathELEMENTS && p != &emptyPath) {
    p->used = 0;
    p->flags &= vdrawPathKIND | vdrawPathBORROWED;
    p->x = p->y = p->startX = p->startY = 0;
  } else {
    vdrawPathRelease(p);
    s->path = &emptyPath;
    ++emptyPath.refs;
  }
  _vdrawSelectPrimitives();
}

}  // namespace vdrawint

using namespace vdrawint;

vdrawPath* vdrawPathGetEmpty() {
  ensure();
  return &emptyPath;
}
vdrawPath* vdrawPathGetEmptyClip() {
  ensure();
  return &emptyClip.path;
}

vdrawPath* vdrawPathNewRects(const vrect* rects, int n) {
  n = std::max(n, 0);
  vdrawPath* p = allocPath(vdrawPathRECTS, n);
  std::copy(rects, rects + n, vdrawPathRectangles(p));
  p->used = n;
  vrectListGetBounds(rects, n, &p->bounds);
  p->flags |= vdrawPathCURRENT_POINT;
  p->x = p->startX = vfixed(p->bounds.x) * vfixedONE;
  p->y = p->startY = vfixed(p->bounds.y) * vfixedONE;
  return p;
}

vdrawPath* vdrawPathNewMask(vimage* image, const vrect* rect) {
  vdrawPath* p = allocPath(vdrawPathMASK, 0);
  p->flags |= vdrawPathCURRENT_POINT;
  p->bounds = *rect;
  p->mask = image;
  p->x = p->startX = vfixed(rect->x) * vfixedONE;
  p->y = p->startY = vfixed(rect->y) * vfixedONE;
  return p;
}

vdrawPath* vdrawPathNewElements(int capacity) { return allocPath(vdrawPathELEMENTS, std::max(capacity, 8)); }

vdrawPath* vdrawPathClone(vdrawPath* path, int capacity) {
  if ((path->flags & vdrawPathKIND) != vdrawPathELEMENTS)
    vexGenerateMessage(&vexModuleUnimplementedClass, "unable to clone non-element paths");
  vdrawPath* p = allocPath(vdrawPathELEMENTS, std::max({capacity, path->used, 8}));
  std::int32_t cap = p->capacity;
  *p = *path;
  p->refs = 1;
  p->capacity = cap;
  p->flags &= std::uint16_t(~vdrawPathBORROWED);
  std::copy(vdrawPathElements(path), vdrawPathElements(path) + path->used, vdrawPathElements(p));
  return p;
}

void vdrawPathRelease(vdrawPath* path) {
  if (--path->refs > 0) return;
  switch (path->flags & vdrawPathKIND) {
    case vdrawPathRECTS:
      if (path != &emptyClip.path) freePath(path);
      return;
    case vdrawPathMASK:
      if (!(path->flags & vdrawPathBORROWED)) {
        vrect empty = {0, 0, 0, 0};
        m.driver->setClipRects(m.data, &empty, 1);
        m.current->dirty |= vdrawDIRTY_CLIP;
        vimageDestroy(path->mask);
      }
      freePath(path);
      return;
    case vdrawPathELEMENTS:
      if (path != &emptyPath) freePath(path);
      return;
    default: _vexGenerate(&vexValueClass, vexEnd);
  }
}

void vdrawGetCurrentPoint(double* x, double* y) {
  ensure();
  const vdrawPath* p = m.current->path;
  if (!(p->flags & vdrawPathCURRENT_POINT)) _vexGenerate(&vdrawNoCurrentPointClass, vexEnd);
  double dx = p->x / 65536.0, dy = p->y / 65536.0;
  trueCurrentPoint(&dx, &dy);
  m.selected->InverseTransformPoint(dx, dy, x, y);
}

void vdrawGetCurrentPointRounded(int* x, int* y) {
  double fx, fy;
  vdrawGetCurrentPoint(&fx, &fy);
  *x = int(std::floor(fx + 0.5));
  *y = int(std::floor(fy + 0.5));
}

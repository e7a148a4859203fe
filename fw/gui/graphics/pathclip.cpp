// Clips made from paths: a path that is already rectangles (or a mask) and
// fits the clip is taken as it is; anything else is painted into a one-bit
// mask image of its bounds. Overlapping sub-paths are filled through such a
// mask too, so an overlap is painted once.
#include <algorithm>

#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/image.h"

namespace vdrawint {

namespace {

// A copy of a clip moved by (dx, dy); a mask's image is borrowed.
vdrawPath* shiftedClip(vdrawPath* clip, int dx, int dy) {
  vdrawPath* p;
  if ((clip->flags & vdrawPathKIND) == vdrawPathMASK) {
    p = vdrawPathNewMask(clip->mask, &clip->bounds);
    p->flags |= vdrawPathBORROWED;
  } else {
    p = vdrawPathNewRects(vdrawPathRectangles(clip), clip->used);
  }
  vdrawPathOffset(p, dx, dy);
  return p;
}

// Installs path (taking its reference) as the current state's path or clip.
void install(vdrawPath* vdrawState::*field, vdrawPath* path) {
  vdrawState* s = privateState();
  vdrawPathRelease(s->*field);
  s->*field = path;
  if (field == &vdrawState::clip) s->dirty |= vdrawDIRTY_CLIP;
  _vdrawSelectPrimitives();
}

// The bounds of what a path covers; curves and arcs flattened first.
vrect coveredBounds(vdrawPath* path) {
  vdrawPath* flat = path;
  if ((path->flags & vdrawPathKIND) == vdrawPathELEMENTS && (path->flags & (vdrawPathCURVES | vdrawPathARCS)))
    flat = flattenElements(path, std::max<vfixed>(m.current->flatness, 1));
  vrect* rects;
  int n;
  vdrawPathRects(flat, &rects, &n);
  vrect b;
  vrectListGetBounds(rects, n, &b);
  if (flat != path) vdrawPathRelease(flat);
  return b;
}

// The clip made from path against clip (null: against nothing).
vdrawPath* clipFrom(vdrawPath* path, vdrawPath* clip, int rule) {
  if ((path->flags & vdrawPathKIND) != vdrawPathELEMENTS) {
    bool inside = !clip;
    if (clip && (clip->flags & vdrawPathKIND) == vdrawPathRECTS)
      for (int i = 0; i < clip->used && !inside; ++i)
        inside = vrectContainsRect(&vdrawPathRectangles(clip)[i], &path->bounds);
    if (inside) {
      ++path->refs;
      return path;
    }
  }
  vrect b = coveredBounds(path);
  if (clip) vrectIntersect(&b, &clip->bounds, &b);
  if (vrectIsEmpty(&b)) return vdrawPathNewRects(&b, 1);
  return vdrawPathNewMask(paintMask(path, clip, rule, b), &b);
}

}  // namespace

void setFillRule(vdrawState* s, int rule) {
  auto flags = std::uint16_t((s->flags & ~vdrawEVEN_ODD) | (rule ? vdrawEVEN_ODD : 0));
  if (flags != s->flags) s->flags = flags, s->dirty |= vdrawDIRTY_FILL_RULE;
}

vimage* paintMask(vdrawPath* path, vdrawPath* clip, int rule, const vrect& b) {
  vimage* image = vimageCreateSized(b.width, b.height, 2);
  vexGuard(
      [&] {
        drawIntoMask(image, b, [&] {
          vdrawSetDrawMode(10);
          if (clip) install(&vdrawState::clip, shiftedClip(clip, -b.x, -b.y));
          vdrawPath* moved = (path->flags & vdrawPathKIND) == vdrawPathELEMENTS
                                 ? vdrawPathClone(path, path->used)
                                 : shiftedClip(path, 0, 0);
          vdrawPathOffset(moved, -b.x, -b.y);
          install(&vdrawState::path, moved);
          // Inverting each sub-path on its own counts them even-odd; the
          // winding rule needs them counted together.
          if (!rule && (moved->flags & vdrawPathKIND) == vdrawPathELEMENTS && (moved->flags & vdrawPathSUBPATHS)) {
            setFillRule(privateState(), rule);
            fillElementsAsOne(moved);
            pathNew();
          } else {
            pathFill(rule);
          }
        });
      },
      [&](vexHandler&) {
        vimageDestroy(image);
        _vexGenerate(nullptr, vexEnd);
      });
  return image;
}

void pathClip(int rule) {
  vdrawState* s = privateState();
  setFillRule(s, rule);
  install(&vdrawState::clip, clipFrom(s->path, s->clip, rule));
  pathNew();
}

void pathDeviceClip(int rule) {
  vdrawState* s = privateState();
  setFillRule(s, rule);
  vdrawPath* region = clipFrom(s->path, nullptr, rule);
  vdrawPathRelease(m.deviceClip);
  m.deviceClip = region;
  vdrawBinding* b = m.current->binding;
  if (b->flags & vdrawBIND_CLIP_TO_DEVICE)
    for (vdrawState** st = b->statesBegin; st != b->statesEnd; ++st) (*st)->dirty |= vdrawDIRTY_CLIP;
  pathNew();
}

void pathFromClip(bool deviceRegion) {
  ensure();
  vdrawPath* from = deviceRegion ? m.deviceClip : m.current->clip;
  ++from->refs;
  install(&vdrawState::path, from);
}

}  // namespace vdrawint

void vdrawPathOffset(vdrawPath* path, int dx, int dy) {
  vrectOffset(&path->bounds, dx, dy, &path->bounds);
  vfixed fx = vfixed(std::uint32_t(dx) << 16), fy = vfixed(std::uint32_t(dy) << 16);
  auto move = [&](vfixed* x, vfixed* y) {
    *x = vfixed(std::uint32_t(*x) + std::uint32_t(fx));
    *y = vfixed(std::uint32_t(*y) + std::uint32_t(fy));
  };
  move(&path->x, &path->y);
  move(&path->startX, &path->startY);
  switch (path->flags & vdrawPathKIND) {
    case vdrawPathRECTS:
      for (int i = 0; i < path->used; ++i)
        vrectOffset(&vdrawPathRectangles(path)[i], dx, dy, &vdrawPathRectangles(path)[i]);
      break;
    case vdrawPathELEMENTS:
      for (vdrawElement* e = vdrawPathElements(path); e < vdrawPathElements(path) + path->used; ++e) {
        if (e->kind == vdrawMOVETO) move(&e->x, &e->y);
        // Later records of a curve or an arc are relative: skip them whole.
        if (e->kind == vdrawCURVETO) e += 2;
        if (e->kind == vdrawARC || e->kind == vdrawTANGENT_ARC) e += 3;
      }
      break;
    default: break;
  }
}

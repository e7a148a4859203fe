// Bindings of the state to targets, attribute synchronisation, sending the
// clip, the image binder and the path recorder.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/image.h"

namespace vdrawint {
namespace {

const vdrawDeviceTransform kIdentity = {0, vfixedONE, 0, 0, vfixedONE, 0, 0};
const vrect kNoBounds = {0, 0, 0, 0};
vdrawBinding defaultRecord;

void initStates(vdrawBinding* b) {
  b->statesBegin = b->statesEnd = b->inlineStates;
  b->statesCap = b->inlineStates + 4;
}

vdrawBinding* newBinding(int flags, void* target, const vdrawPrimitiveTable* primitives,
                         const vdrawDeviceTable* table, const vdrawDriverRecord* driver) {
  auto* b = static_cast<vdrawBinding*>(vpoolAlloc(m.bindings));
  *b = {std::uint16_t(flags), target, primitives, table, driver, kIdentity, nullptr, nullptr, nullptr, {}, nullptr};
  initStates(b);
  b->deviceData = driver->dataSize <= 128 ? static_cast<void*>(b + 1) : vmemAlloc(driver->dataSize);
  std::memset(b->deviceData, 0, driver->dataSize);
  return b;
}

void freeBinding(vdrawBinding* b) {
  if (b == &defaultRecord) return;
  b->driver->close(b->deviceData);
  if (b->statesBegin != b->inlineStates) vmemFree(b->statesBegin);
  if (b->deviceData != static_cast<void*>(b + 1)) vmemFree(b->deviceData);
  vpoolFree(m.bindings, b);
}

// The clip of one rectangle list, or of the intersection of two.
void sendRects(vdrawPath* a, vdrawPath* b) {
  vrect r;
  vrectIntersect(&a->bounds, &b->bounds, &r);
  if (vrectIsEmpty(&r)) {
    vrect empty = {0, 0, 0, 0};
    m.driver->setClipRects(m.data, &empty, 1);
  } else if (a->used == 1 && b->used == 1) {
    m.driver->setClipRects(m.data, &r, 1);
  } else {
    int n = 0;
    vrect* both = vrectCombineLists(vdrawPathRectangles(a), vdrawPathRectangles(b), a->used, b->used, 1, 2, 3, &n);
    vexGuard([&] { m.driver->setClipRects(m.data, both, n); },
             [&](vexHandler&) {
               vrectDestroyList(both);
               _vexGenerate(nullptr, vexEnd);
             });
    vrectDestroyList(both);
  }
}

void sendAlone(vdrawPath* clip) {
  switch (clip->flags & vdrawPathKIND) {
    case vdrawPathRECTS: m.driver->setClipRects(m.data, vdrawPathRectangles(clip), clip->used); break;
    case vdrawPathMASK: m.driver->clipToMask(m.data, clip->mask, clip->bounds.x, clip->bounds.y); break;
    default: vexGenerateMessage(&vexModuleUnimplementedClass, "unable to set device clip to element path");
  }
}

// The device clip of the mask image: the other path shifted by -origin.
void sendShifted(vdrawPath* path, const vrect& origin) {
  if ((path->flags & vdrawPathKIND) == vdrawPathMASK) {
    m.driver->clipToMask(m.data, path->mask, path->bounds.x - origin.x, path->bounds.y - origin.y);
    return;
  }
  int n = path->used;
  vrect* shifted = vrectCloneList(vdrawPathRectangles(path), n);
  for (int i = 0; i < n; ++i) vrectOffset(&shifted[i], -origin.x, -origin.y, &shifted[i]);
  vexGuard([&] { m.driver->setClipRects(m.data, shifted, n); },
           [&](vexHandler&) {
             vrectDestroyList(shifted);
             _vexGenerate(nullptr, vexEnd);
           });
  vrectDestroyList(shifted);
}

// Paints the mask path's image, clipped by the other path, into the cached
// one-bit image of r, and clips the real device to that image.
void intersectThroughMask(vdrawPath* maskPath, vdrawPath* other, const vrect& r) {
  const vdrawDriverRecord* realDriver = m.driver;
  void* realData = m.data;
  vimage* mask = cachedMask(r.width, r.height);
  drawIntoMask(mask, r, [&] {
    vdrawSetDrawMode(15);
    vdrawSyncState(vdrawSYNC_IMAGE);
    sendShifted(other, r);
    vdrawDeviceTransform toImage =
        maskPathPlacement(maskPath->mask, maskPath->bounds.x - r.x, maskPath->bounds.y - r.y);
    m.driver->drawMask(m.data, maskPath->mask, &toImage);
  });
  realDriver->clipToMask(realData, mask, r.x, r.y);
}

}  // namespace

void drawIntoMask(vimage* image, const vrect& area, void (*body)(void*), void* context) {
  vdrawGSave();
  bool wasMasking = m.maskRestore;
  m.maskRestore = true;
  auto restore = [&] {
    vdrawGRestore();
    m.maskRestore = wasMasking;
  };
  vexGuard(
      [&] {
        vdrawBindImage(image, vdrawBIND_MASK_IMAGE);
        vdrawTranslate(-area.x, -area.y);
        vdrawSetDrawMode(0);
        vdrawSyncState(vdrawSYNC_FILL);
        vrect whole = {0, 0, area.width, area.height};
        m.driver->fillRects(m.data, &whole, 1);
        body(context);
      },
      [&](vexHandler&) {
        restore();
        _vexGenerate(nullptr, vexEnd);
      });
  restore();
}

vdrawBinding* defaultBinding() {
  defaultRecord = {0, nullptr, nullptr, &vdrawDefaultDeviceTable, &vdrawPathRecorder, kIdentity,
                   nullptr, nullptr, nullptr, {}, nullptr};
  initStates(&defaultRecord);
  return &defaultRecord;
}

void joinBinding(vdrawBinding* b, vdrawState* s) {
  if (b->statesEnd == b->statesCap) {
    std::size_t n = std::size_t(b->statesEnd - b->statesBegin);
    auto* grown = static_cast<vdrawState**>(vmemAlloc(sizeof(vdrawState*) * n * 2));
    std::copy(b->statesBegin, b->statesEnd, grown);
    if (b->statesBegin != b->inlineStates) vmemFree(b->statesBegin);
    b->statesBegin = grown;
    b->statesEnd = grown + n;
    b->statesCap = grown + 2 * n;
  }
  *b->statesEnd++ = s;
}

void leaveBinding(vdrawState* s) {
  vdrawBinding* b = s->binding;
  vdrawState** at = std::find(b->statesBegin, b->statesEnd, s);
  if (at == b->statesEnd) return;
  std::copy(at + 1, b->statesEnd, at);
  --b->statesEnd;
  if (b->statesEnd == b->statesBegin) freeBinding(b);
}

}  // namespace vdrawint

using namespace vdrawint;

const vdrawDriverRecord vdrawPathRecorder = {
    0,
    vfixedONE,
    0,
    [](void*, void*, int) {},
    [](void*) {},
    [](void*) {},
    [](void*) {},
    [](void*) { return &kIdentity; },
    [](void*) { return &kNoBounds; },
    [](void*) {},
    [](void*, unsigned) {},
    [](void*, vimage*, int, int) {},
    [](void*, const vpoint*, int) {},
    [](void*, const vpoint*, int) {},
    [](void*, const vrect*, int) {},
    [](void*, const vrect*, int) {},
    [](void*, const vrect*, int) {},
    [](void*, const vrect*, int, vfixed, vfixed) {},
    [](void*, const vrect*, int, vfixed, vfixed) {},
    [](void*, const vrect*, int, vfixed, vfixed) {},
    [](void*, const vrect*, int, int, int) {},
    [](void*, const vrect*, int, int, int) {},
    [](void*, const char*, int, const vdrawDeviceTransform*) {},
    [](void*, vimage*, const vdrawDeviceTransform*) {},
    [](void*, vimage*, const vdrawDeviceTransform*) {},
};

void _vdrawBindDevice(int flags, void* target, const vdrawPrimitiveTable* primitives, const vdrawDeviceTable* table,
                      const vdrawDriverRecord* driver) {
  ensure();
  if (primitives == m.selected) primitives = nullptr;
  vdrawState* s = privateState();
  vdrawBinding* b = s->binding;
  if (b->flags == flags && b->target == target && b->primitives == primitives && b->deviceTable == table &&
      b->driver == driver) {
    driver->refresh(b->deviceData);
    const vdrawDeviceTransform* t = driver->deviceTransform(b->deviceData);
    b->transform.tx = t->tx;
    b->transform.ty = t->ty;
    const vdrawDeviceTransform& mine = s->matrix->device;
    if (t->tx != mine.tx || t->ty != mine.ty) s->flags &= std::uint16_t(~vdrawDEFAULT_MATRIX);
  } else {
    m.driver->end(m.data);
    if (b->driver == driver && b != &defaultRecord && b->statesEnd - b->statesBegin == 1) {
      if (b->flags != flags || b->target != target) {
        driver->close(b->deviceData);
        driver->open(b->deviceData, target, flags);
        b->flags = std::uint16_t(flags);
        b->target = target;
        s->flags &= std::uint16_t(~vdrawDEFAULT_MATRIX);
        // The device holds none of this state's attributes yet.
        s->dirty = vdrawDIRTY_ALL;
      }
      b->primitives = primitives;
      b->deviceTable = table;
    } else {
      vdrawBinding* fresh = newBinding(flags, target, primitives, table, driver);
      driver->open(fresh->deviceData, target, flags);
      leaveBinding(s);
      s->binding = fresh;
      joinBinding(fresh, s);
      s->flags &= std::uint16_t(~vdrawDEFAULT_MATRIX);
      s->dirty = vdrawDIRTY_ALL;
    }
    loadDevice();
    m.driver->begin(m.data);
    s->binding->transform = *m.driver->deviceTransform(m.data);
  }
  loadDevice();
  m.table->initMatrix();
  m.table->initClip();
  vdrawState* c = privateState();
  if (c->flatness != driver->flatness) c->flatness = driver->flatness;
  if (c->patternX || c->patternY) vdrawSetPatternOrigin(0, 0);
  m.table->setStrokeAdjust(driver->flags & 0x20 ? 32 : 0);
}

void vdrawBindPathDevice() { _vdrawBindDevice(0, nullptr, nullptr, &vdrawDefaultDeviceTable, &vdrawPathRecorder); }

void vdrawRegisterImageDriver(const vdrawDriverRecord* driver, int flags) {
  ensure();
  m.imageDriver = driver;
  m.imageFlags = flags;
}

const vdrawDriverRecord* vdrawGetImageDriver() {
  ensure();
  return m.imageDriver;
}

void vdrawBindImage(vimage* image, int flags) {
  ensure();
  if (!m.imageDriver) vexGenerateMessage(&vexModuleStartupClass, "the image driver has not been registered");
  _vdrawBindDevice(flags | m.imageFlags, image, nullptr, &vdrawDefaultDeviceTable, m.imageDriver);
}

void vdrawSyncState(unsigned mask) {
  ensure();
  vdrawState* s = m.current;
  auto bits = std::uint16_t(s->dirty & mask);
  if (!bits) return;
  vdrawBinding* b = s->binding;
  for (vdrawState** p = b->statesBegin; p != b->statesEnd; ++p)
    if (*p != s) (*p)->dirty |= bits;
  if (bits & ~vdrawDIRTY_CLIP) m.driver->sync(m.data, bits);
  if (bits & vdrawDIRTY_CLIP) _vdrawSyncClip();
  s->dirty &= std::uint16_t(~bits);
}

void _vdrawSyncClip() {
  ensure();
  vdrawState* s = m.current;
  vdrawPath* clip = s->clip;
  if (!(s->binding->flags & vdrawBIND_CLIP_TO_DEVICE)) return sendAlone(clip);
  vdrawPath* region = m.deviceClip;
  if ((region->flags & vdrawPathKIND) == vdrawPathRECTS) {
    const vrect* r = vdrawPathRectangles(region);
    for (int i = 0; i < region->used; ++i)
      if (vrectContainsRect(&r[i], &clip->bounds)) return sendAlone(clip);
  }
  int clipKind = clip->flags & vdrawPathKIND, regionKind = region->flags & vdrawPathKIND;
  if (clipKind == vdrawPathELEMENTS || regionKind == vdrawPathELEMENTS)
    vexGenerateMessage(&vexModuleUnimplementedClass, "unable to set device clip to element path");
  if (clipKind == vdrawPathRECTS && regionKind == vdrawPathRECTS) return sendRects(clip, region);
  vrect r;
  vrectIntersect(&clip->bounds, &region->bounds, &r);
  if (vrectIsEmpty(&r)) {
    vrect empty = {0, 0, 0, 0};
    return m.driver->setClipRects(m.data, &empty, 1);
  }
  intersectThroughMask(clipKind == vdrawPathMASK ? clip : region, clipKind == vdrawPathMASK ? region : clip, r);
}

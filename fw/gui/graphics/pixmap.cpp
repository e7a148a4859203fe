// The pixmap class: sizes, depths and layouts, the pixel bytes as a ring
// entry, and the copies between pixmaps.
#include <algorithm>
#include <cstring>
#include <utility>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/graphics/pixmap_internal.h"

using namespace vpixmapint;

namespace {

int defaultLayout = 1;

void pixelInit(vsyncRingEntry* e) { e->value = 0; }
void pixelFree(vsyncRingEntry* e) {
  if (e->value) vmemFree(reinterpret_cast<void*>(e->value));
  e->value = 0;
}
// The bytes are brought up to date by the kinds that own the other forms.
int pixelNoUpdate(vsyncRingEntry*, vsyncRingEntry*) { return 0; }

std::size_t byteCount(const vpixmap* p) { return vpixmapGetRowBytes(p) * std::size_t(p->height); }

vsyncRingEntry* pixelStore(const vpixmap* p) { return vsyncRingFind(p->store, &vpixmapPixelKind); }

void raiseRange() { _vexGenerate(&vexArgRangeClass, vexEnd); }

void retarget(vpixmap* p) {
  vsyncRingEntry* e = p->store;
  if (!e) return;
  do {
    e->data = p;
    e = e->next;
  } while (e != p->store);
}

// The first bit of cursor row y.
std::size_t rowBit(const vpixmap* p, int y) {
  int row = (p->layout & vpixmapBOTTOM_UP) ? p->height - 1 - y : y;
  return std::size_t(row) * vpixmapGetRowBytes(p) * 8;
}
bool bitPacked(const vpixmap* p) {
  return (p->layout & vpixmapALIGN_MASK) == 0 && (std::size_t(p->width) * std::size_t(p->depth)) % 8 != 0;
}
// Rows not padded to bytes: their row size is a bit count.
std::size_t rowBits(const vpixmap* p) {
  return bitPacked(p) ? std::size_t(p->width) * std::size_t(p->depth) : vpixmapGetRowBytes(p) * 8;
}
std::size_t rowStartBit(const vpixmap* p, int y) {
  if (!bitPacked(p)) return rowBit(p, y);
  int row = (p->layout & vpixmapBOTTOM_UP) ? p->height - 1 - y : y;
  return std::size_t(row) * rowBits(p);
}

void copyBits(const std::uint8_t* from, std::size_t fromBit, std::uint8_t* to, std::size_t toBit, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t f = fromBit + i, t = toBit + i;
    int bit = (from[f / 8] >> (7 - f % 8)) & 1;
    std::uint8_t mask = std::uint8_t(0x80 >> (t % 8));
    to[t / 8] = std::uint8_t(bit ? to[t / 8] | mask : to[t / 8] & ~mask);
  }
}

// Same depth and byte order: bytes, in one block when the layouts agree.
void byteCopy(vpixmap* s, vpixmap* t) {
  const std::uint8_t* from = vpixmapLockPixels(s);
  std::uint8_t* to = vpixmapLockPixels(t);
  if ((s->layout & 0x0F) == (t->layout & 0x0F)) {
    std::memcpy(to, from, byteCount(s));
  } else if (bitPacked(s) || bitPacked(t)) {
    std::size_t n = std::size_t(s->width) * std::size_t(s->depth);
    for (int y = 0; y < s->height; ++y) copyBits(from, rowStartBit(s, y), to, rowStartBit(t, y), n);
  } else {
    std::size_t n = std::min(vpixmapGetRowBytes(s), vpixmapGetRowBytes(t));
    for (int y = 0; y < s->height; ++y) std::memcpy(to + rowBit(t, y) / 8, from + rowBit(s, y) / 8, n);
  }
  vsyncRingSetCurrent(pixelStore(t));
}

void cursorCopy(vpixmap* s, vpixmap* t) {
  HeldCursor from(s), to(t);
  std::size_t n = std::size_t(s->width) * std::size_t(s->height);
  for (std::size_t i = 0; i < n; ++i) vpixmapCursorSetNext(&to.c, vpixmapCursorGetNext(&from.c));
}

// ---- Class slots.

void pixmapInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* p = static_cast<vpixmap*>(self);
  p->store = nullptr;
  p->width = p->height = 10;
  p->depth = 2;
  p->layout = std::uint16_t(defaultLayout | vpixmapDEFAULT_LAYOUT);
}

void pixmapDestroy(vinstance* self) {
  releaseStore(static_cast<vpixmap*>(self));
  vobjectGetDefaultClass()->destroy(self);
}

void pixmapCopy(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  auto* s = static_cast<vpixmap*>(source);
  auto* t = static_cast<vpixmap*>(destination);
  if (s == t) return;
  releaseStore(t);
  t->width = s->width;
  t->height = s->height;
  t->depth = s->depth;
  t->layout = std::uint16_t(s->layout & vpixmapLAYOUT_BITS);
  vpixmapCopyPixels(s, t);
}

void pixmapCopyInit(vobject* source, vobject* destination) {
  static_cast<vpixmap*>(destination)->store = nullptr;
  pixmapCopy(source, destination);
}

void pixmapFill(vpixmap* self, std::uint32_t value) {
  HeldCursor c(self);
  std::size_t n = std::size_t(self->width) * std::size_t(self->height);
  for (std::size_t i = 0; i < n; ++i) vpixmapCursorSetNext(&c.c, value);
}

void pixmapCopyPixels(vpixmap* s, vpixmap* t) {
  if (s->width != t->width || s->height != t->height) _vexGenerate(&vexArgClass, vexEnd);
  if (s == t) return;
  if (!s->store) return releaseStore(t);
  bool sameOrder = ((s->layout ^ t->layout) & vpixmapBYTE_ORDER) == 0;
  if (s->depth == t->depth && (s->depth <= 8 || sameOrder))
    byteCopy(s, t);
  else
    cursorCopy(s, t);
}

void pixmapCopyRect(vpixmap* s, vpixmap* t, int sx, int sy, int w, int h, int tx, int ty) {
  if (w <= 0 || h <= 0) return;
  auto outside = [&](const vpixmap* p, int x, int y) {
    return x < 0 || y < 0 || std::int64_t(x) + w > p->width || std::int64_t(y) + h > p->height;
  };
  if (outside(s, sx, sy) || outside(t, tx, ty)) raiseRange();
  if (sx == 0 && sy == 0 && tx == 0 && ty == 0 && w == s->width && h == s->height && w == t->width &&
      h == t->height)
    return vpixmapCopyPixels(s, t);
  if (s == t) {
    // The two areas may overlap: through a copy of the source area.
    TempPixmap area(w, h, s->depth, s->layout);
    pixmapCopyRect(s, &area.p, sx, sy, w, h, 0, 0);
    return pixmapCopyRect(&area.p, t, 0, 0, w, h, tx, ty);
  }
  HeldCursor from(s), to(t);
  for (int row = 0; row < h; ++row) {
    vpixmapCursorMoveTo(&from.c, sx, sy + row);
    vpixmapCursorMoveTo(&to.c, tx, ty + row);
    for (int i = 0; i < w; ++i) vpixmapCursorSetNext(&to.c, vpixmapCursorGetNext(&from.c));
  }
}

void pixmapMarkChanged(vpixmap* self) {
  if (vsyncRingEntry* e = pixelStore(self)) vsyncRingSetCurrent(e);
}

vsyncRingEntry* pixmapGetRepresentation(vpixmap* self, const vsyncRingKind* kind) {
  vsyncRingEntry* e = vsyncRingFind(self->store, kind);
  if (e) return e;
  e = vsyncRingAdd(self->store, kind, self);
  if (!self->store) self->store = e;
  return e;
}

// Where the old picture lies in the new one along one axis: (source
// offset, target offset) for a placement of 0 start, 1 centre, 2 end.
std::pair<int, int> place(int oldSize, int newSize, int placement) {
  int grow = newSize - oldSize;
  if (placement == 1) return {std::max(0, -grow / 2), std::max(0, grow / 2)};
  if (placement == 2) return {std::max(0, -grow), std::max(0, grow)};
  return {0, 0};
}

void pixmapSetSize(vpixmap* self, int width, int height, int anchor, std::uint32_t fill) {
  checkSize(width, height);
  checkStore(width, height, self->depth, self->layout);
  if (width == self->width && height == self->height) return;
  if (self->store && anchor == 0) releaseStore(self);
  if (self->store) {
    TempPixmap grown(width, height, self->depth, self->layout);
    if (anchor & 16) vpixmapFill(&grown.p, fill);
    int h = anchor & 3, v = anchor & 12;
    // Row 0 is the bottom: top anchoring keeps the old top row at the top.
    auto [sx, tx] = place(self->width, width, h == 2 ? 1 : h == 3 ? 2 : 0);
    auto [sy, ty] = place(self->height, height, v == 4 ? 0 : v == 8 ? 1 : 2);
    pixmapCopyRect(self, &grown.p, sx, sy, std::min<int>(self->width, width), std::min<int>(self->height, height),
                   tx, ty);
    exchangeStores(self, &grown.p);
  }
  self->width = std::int16_t(width);
  self->height = std::int16_t(height);
}

void pixmapSetDepth(vpixmap* self, int depth) {
  if (depth < 1 || depth > 32) raiseRange();
  depth = roundDepth(depth);
  if (depth == self->depth) return;
  checkStore(self->width, self->height, depth, self->layout);
  if (self->store) {
    TempPixmap deeper(self->width, self->height, depth, self->layout);
    cursorCopy(self, &deeper.p);
    exchangeStores(self, &deeper.p);
  }
  self->depth = std::int16_t(depth);
}

void pixmapSetRowAlignment(vpixmap* self, int bits) {
  static constexpr int kBits[] = {1, 8, 16, 32};
  const int* at = std::find(std::begin(kBits), std::end(kBits), bits);
  if (at == std::end(kBits)) _vexGenerate(&vexArgClass, vexEnd);
  changeLayout(self, vpixmapALIGN_MASK, unsigned(at - kBits));
  self->layout &= std::uint16_t(~vpixmapDEFAULT_LAYOUT);
}
void pixmapSetByteOrder(vpixmap* self, int on) {
  changeLayout(self, vpixmapBYTE_ORDER, on ? vpixmapBYTE_ORDER : 0);
  self->layout &= std::uint16_t(~vpixmapDEFAULT_LAYOUT);
}
void pixmapSetBottomUp(vpixmap* self, int on) {
  changeLayout(self, vpixmapBOTTOM_UP, on ? vpixmapBOTTOM_UP : 0);
  self->layout &= std::uint16_t(~vpixmapDEFAULT_LAYOUT);
}

void** pixmapSlot = nullptr;

}  // namespace

const vsyncRingKind vpixmapPixelKind = {pixelInit, pixelFree, pixelNoUpdate, pixelNoUpdate};

namespace vpixmapint {

TempPixmap::TempPixmap(int width, int height, int depth, unsigned layout) {
  vinstanceInit(&p, vpixmapGetDefaultClass());
  p.width = std::int16_t(width);
  p.height = std::int16_t(height);
  p.depth = std::int16_t(depth);
  p.layout = std::uint16_t(layout & 0x0F);
}
TempPixmap::~TempPixmap() { vinstanceDestroy(&p); }

void releaseStore(vpixmap* p) {
  if (!p->store) return;
  vsyncRingEntry* ring = p->store;
  p->store = nullptr;
  vsyncRingFree(ring);
}

void exchangeStores(vpixmap* a, vpixmap* b) {
  std::swap(a->store, b->store);
  retarget(a);
  retarget(b);
}

void changeLayout(vpixmap* p, unsigned mask, unsigned value) {
  if ((p->layout & mask) == value) return;
  unsigned layout = (p->layout & ~mask) | value;
  if (p->store) {
    TempPixmap relaid(p->width, p->height, p->depth, layout);
    vpixmapCopyPixels(p, &relaid.p);
    exchangeStores(p, &relaid.p);
  }
  p->layout = std::uint16_t(layout);
}

int roundDepth(int d) {
  static constexpr int kDepths[] = {1, 2, 4, 8, 16, 24, 32};
  return *std::lower_bound(std::begin(kDepths), std::end(kDepths), d);
}

void checkSize(int width, int height) {
  if (width < 1 || width > 32767 || height < 1 || height > 32767) raiseRange();
}

void checkStore(int width, int height, int depth, unsigned layout) {
  std::size_t bytes = vpixmapRowBytes(width, std::max(depth, 1), int(layout)) * std::size_t(std::max(height, 0));
  if (bytes > vpixmapMAX_STORE_BYTES) vmemRaiseAlloc(bytes);
}

}  // namespace vpixmapint

vpixmapClassRec* vpixmapGetDefaultClass() {
  if (auto* bound = vmoduleState<vpixmapClassRec*>(pixmapSlot)) return *bound;
  auto* c = vclassSpawnOf<vpixmapClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vpixmap"));
  vclassSetInstanceSize(c, sizeof(vpixmap));
  c->init = pixmapInit;
  c->destroy = pixmapDestroy;
  c->copy = pixmapCopy;
  c->copyInit = pixmapCopyInit;
  c->loadInit = vpixmapint::loadInit;
  c->store = vpixmapint::store;
  c->fill = pixmapFill;
  c->copyPixels = pixmapCopyPixels;
  c->copyRect = pixmapCopyRect;
  c->markChanged = pixmapMarkChanged;
  c->getRepresentation = pixmapGetRepresentation;
  c->setSize = pixmapSetSize;
  c->setDepth = pixmapSetDepth;
  c->setRowAlignment = pixmapSetRowAlignment;
  c->setByteOrder = pixmapSetByteOrder;
  c->setBottomUp = pixmapSetBottomUp;
  *static_cast<vpixmapClassRec**>(vmoduleBindSlot(pixmapSlot, sizeof(vpixmapClassRec*))) = c;
  return c;
}

int vpixmapGetDefaultLayout() { return defaultLayout; }
void vpixmapSetDefaultLayout(int code) { defaultLayout = code & 0x0F; }

void vpixmapInitSized(vpixmap* self, int width, int height, int depth) {
  checkSize(width, height);
  if (depth < 1 || depth > 32) raiseRange();
  checkStore(width, height, roundDepth(depth), self->layout);
  vpixmapSetSize(self, width, height, 0, 0);
  vpixmapSetDepth(self, depth);
}

vpixmap* vpixmapCreateSized(int width, int height, int depth) {
  auto* p = static_cast<vpixmap*>(vinstanceCreate(vpixmapGetDefaultClass()));
  vexGuard([&] { vpixmapInitSized(p, width, height, depth); },
           [&](vexHandler&) {
             vinstanceDestroy(p);
             _vexGenerate(nullptr, vexEnd);
           });
  return p;
}

void vpixmapDestroy(vpixmap* self) { vinstanceDestroy(self); }

std::size_t vpixmapRowBytes(int width, int depth, int alignCode) {
  std::size_t bits = std::size_t(width) * std::size_t(depth);
  switch (alignCode & vpixmapALIGN_MASK) {
    case 2:
      return (bits + 15) / 16 * 2;
    case 3:
      return (bits + 31) / 32 * 4;
    default:
      return (bits + 7) / 8;
  }
}
std::size_t vpixmapGetRowBytes(const vpixmap* self) {
  return vpixmapRowBytes(self->width, self->depth, self->layout & vpixmapALIGN_MASK);
}
int vpixmapGetRowAlignment(const vpixmap* self) {
  static constexpr int kBits[] = {1, 8, 16, 32};
  return kBits[self->layout & vpixmapALIGN_MASK];
}

std::uint8_t* vpixmapLockPixels(vpixmap* self) {
  vsyncRingEntry* e = vpixmapGetRepresentation(self, &vpixmapPixelKind);
  if (!e->value) {
    checkStore(self->width, self->height, self->depth, self->layout);
    e->value = reinterpret_cast<std::intptr_t>(vmemAllocClear(std::max<std::size_t>(1, byteCount(self))));
  }
  vsyncRingValidate(e);
  return reinterpret_cast<std::uint8_t*>(e->value);
}

// The image class: colour counts and depths, palettes and masks, owned or
// shared.
#include "fw/core/ex.h"
#include "fw/gui/graphics/image_internal.h"
#include "fw/gui/graphics/pixmap_internal.h"

using namespace vimageint;

namespace {

vpixmapClassRec* super() { return vpixmapGetDefaultClass(); }

void raiseRange() { _vexGenerate(&vexArgRangeClass, vexEnd); }

void imageInit(vinstance* self) {
  super()->init(self);
  auto* i = static_cast<vimage*>(self);
  i->numColors = colorsOfDepth(i->depth);
  i->palette = nullptr;
  i->mask = nullptr;
  i->flags = 0;
}

void imageDestroy(vinstance* self) {
  releaseParts(static_cast<vimage*>(self));
  super()->destroy(self);
}

void imageCopy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  if (source == destination || !vclassIsSubclass(destination->cls, vimageGetDefaultClass())) return;
  auto* s = static_cast<vimage*>(source);
  auto* t = static_cast<vimage*>(destination);
  releaseParts(t);
  t->palette = s->palette && (s->flags & vimageOWNS_PALETTE) ? vcolorListClone(s->palette) : s->palette;
  t->mask = s->mask && (s->flags & vimageOWNS_MASK) ? static_cast<vimage*>(vobjectClone(s->mask)) : s->mask;
  t->numColors = s->numColors;
  t->flags = std::uint16_t(s->flags & 0x0F);
}

void imageCopyInit(vobject* source, vobject* destination) {
  auto* t = static_cast<vimage*>(destination);
  t->store = nullptr;
  t->palette = nullptr;
  t->mask = nullptr;
  t->flags = 0;
  imageCopy(source, destination);
}

void imageSetDepth(vpixmap* self, int depth) {
  if (depth > 32) raiseRange();
  super()->setDepth(self, depth);
  auto* i = static_cast<vimage*>(self);
  std::uint32_t n = colorsOfDepth(depth);
  if (i->palette) vcolorListSetCount(i->palette, n);
  i->numColors = n;
}

void imageSetColorCount(vimage* self, std::uint32_t count) {
  if (count == self->numColors) return;
  int depth = 32;
  for (int d : {1, 2, 4, 8, 16})
    if (count <= colorsOfDepth(d)) {
      depth = d;
      break;
    }
  super()->setDepth(self, depth);
  if (self->palette) vcolorListSetCount(self->palette, count);
  self->numColors = count;
}

void imageSetPalette(vimage* self, vcolorList* palette) {
  if (self->flags & vimageNO_PALETTE) _vexGenerate(&vexArgClass, vexEnd);
  if (palette != self->palette && (self->flags & vimageOWNS_PALETTE)) vcolorListDestroy(self->palette);
  self->palette = palette;
  self->flags &= std::uint16_t(~vimageOWNS_PALETTE);
  if (palette) vimageSetColorCount(self, palette->count);
}

void imageSetMask(vimage* self, vimage* mask) {
  if (mask == self) _vexGenerate(&vexArgClass, vexEnd);
  if (mask && mask->numColors != 2) raiseRange();
  if (mask != self->mask && self->mask && (self->flags & vimageOWNS_MASK)) vimageDestroy(self->mask);
  self->mask = mask;
  self->flags &= std::uint16_t(~vimageOWNS_MASK);
}

void imageSetNoDithering(vimage* self, int on) {
  std::uint16_t flags = on ? self->flags | vimageNO_DITHERING : self->flags & ~vimageNO_DITHERING;
  if (flags == self->flags) return;
  self->flags = flags;
  vpixmapMarkChanged(self);
}

void imageSetNoPalette(vimage* self, int on) {
  if (!on) {
    self->flags &= std::uint16_t(~vimageNO_PALETTE);
    return;
  }
  self->flags |= vimageNO_PALETTE;
  if (self->palette && (self->flags & vimageOWNS_PALETTE)) vcolorListDestroy(self->palette);
  self->palette = nullptr;
  self->flags &= std::uint16_t(~vimageOWNS_PALETTE);
}

void** imageSlot = nullptr;

}  // namespace

namespace vimageint {

std::uint32_t colorsOfDepth(int d) {
  std::uint64_t n = std::uint64_t(1) << (d < 0 ? 0 : d > 32 ? 32 : d);
  return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : std::uint32_t(n);
}

void releaseParts(vimage* self) {
  if (self->palette && (self->flags & vimageOWNS_PALETTE)) vcolorListDestroy(self->palette);
  if (self->mask && (self->flags & vimageOWNS_MASK)) vimageDestroy(self->mask);
  self->palette = nullptr;
  self->mask = nullptr;
  self->flags &= std::uint16_t(~(vimageOWNS_PALETTE | vimageOWNS_MASK));
}

}  // namespace vimageint

vimageClassRec* vimageGetDefaultClass() {
  if (auto* bound = vmoduleState<vimageClassRec*>(imageSlot)) return *bound;
  auto* c = vclassSpawnOf<vimageClassRec>(vpixmapGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vimage"));
  vclassSetInstanceSize(c, sizeof(vimage));
  c->init = imageInit;
  c->destroy = imageDestroy;
  c->copy = imageCopy;
  c->copyInit = imageCopyInit;
  c->loadInit = vimageint::loadInit;
  c->store = vimageint::store;
  c->setDepth = imageSetDepth;
  c->setColorCount = imageSetColorCount;
  c->setPalette = imageSetPalette;
  c->setMask = imageSetMask;
  c->setNoDithering = imageSetNoDithering;
  c->setNoPalette = imageSetNoPalette;
  *static_cast<vimageClassRec**>(vmoduleBindSlot(imageSlot, sizeof(vimageClassRec*))) = c;
  return c;
}

void vimageInitSized(vimage* self, int width, int height, std::uint32_t colors) {
  vpixmapSetSize(self, width, height, 0, 0);
  vimageSetColorCount(self, colors);
}

vimage* vimageCreateSized(int width, int height, std::uint32_t colors) {
  auto* i = static_cast<vimage*>(vinstanceCreate(vimageGetDefaultClass()));
  vexGuard([&] { vimageInitSized(i, width, height, colors); },
           [&](vexHandler&) {
             vimageDestroy(i);
             _vexGenerate(nullptr, vexEnd);
           });
  return i;
}

void vimageDestroy(vimage* self) { vinstanceDestroy(self); }

vcolorList* vimageGetPalette(vimage* self) {
  if (self->flags & vimageNO_PALETTE) _vexGenerate(&vexArgClass, vexEnd);
  if (!self->palette) {
    vcolorList* palette = vcolorListCreate();
    vcolorListSetCount(palette, self->numColors);
    self->palette = palette;
    self->flags |= vimageOWNS_PALETTE;
  }
  return self->palette;
}

void vimageSetMaskOwned(vimage* self, vimage* mask) {
  vimageSetMask(self, mask);
  if (mask) self->flags |= vimageOWNS_MASK;
}

void vimageSetPaletteOwned(vimage* self, vcolorList* palette) {
  vimageSetPalette(self, palette);
  if (palette) self->flags |= vimageOWNS_PALETTE;
}

void vimageSplitRGB(std::uint32_t packed, unsigned* red, unsigned* green, unsigned* blue) {
  *red = ((packed >> 16) & 0xFF) * 257;
  *green = ((packed >> 8) & 0xFF) * 257;
  *blue = (packed & 0xFF) * 257;
}

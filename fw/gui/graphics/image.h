// Images: pixmaps whose pixel values index a colour palette, with an
// optional two-colour image as transparency mask.
#pragma once
#include <cstdint>

#include "fw/gui/graphics/colorlist.h"
#include "fw/gui/graphics/pixmap.h"

enum : std::uint16_t {
  vimageNO_DITHERING = 0x1,  // device colours by nearest match, no error diffusion
  vimageNO_PALETTE = 0x2,    // pixel values are not indices
  vimageOWNS_PALETTE = 0x4,
  vimageOWNS_MASK = 0x8,
};

struct vimage : vpixmap {
  std::uint32_t numColors;
  vcolorList* palette;  // made on first use
  vimage* mask;
  std::uint16_t flags;
};

struct vimageClassRec : vpixmapClassRec {
  void (*setColorCount)(vimage* self, std::uint32_t count);
  void (*setPalette)(vimage* self, vcolorList* palette);  // taken unowned
  void (*setMask)(vimage* self, vimage* mask);            // taken unowned
  void (*setNoDithering)(vimage* self, int on);
  void (*setNoPalette)(vimage* self, int on);
};

vimageClassRec* vimageGetDefaultClass();
vimage* vimageCreateSized(int width, int height, std::uint32_t colors);
void vimageInitSized(vimage* self, int width, int height, std::uint32_t colors);
void vimageDestroy(vimage* self);
// A stored object when the resource names a class, else the object form
// (with "NumColors"), else the raw form.
vimage* vimageLoad(vresource resource);
vcolorList* vimageGetPalette(vimage* self);
void vimageSetMaskOwned(vimage* self, vimage* mask);
void vimageSetPaletteOwned(vimage* self, vcolorList* palette);
// 0xRRGGBB to three 16-bit components, each byte repeated.
void vimageSplitRGB(std::uint32_t packed, unsigned* red, unsigned* green, unsigned* blue);

inline void vimageSetColorCount(vimage* i, std::uint32_t n) { vclassRec<vimageClassRec>(i)->setColorCount(i, n); }
inline void vimageSetPalette(vimage* i, vcolorList* p) { vclassRec<vimageClassRec>(i)->setPalette(i, p); }
inline void vimageSetMask(vimage* i, vimage* m) { vclassRec<vimageClassRec>(i)->setMask(i, m); }
inline void vimageSetNoDithering(vimage* i, int on) { vclassRec<vimageClassRec>(i)->setNoDithering(i, on); }
inline void vimageSetNoPalette(vimage* i, int on) { vclassRec<vimageClassRec>(i)->setNoPalette(i, on); }

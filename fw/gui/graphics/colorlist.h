// Colour lists: the ordered colour descriptions of an indexed image's palette or a
// look image's colours, stored as a "vcolorPalette" resource. Device layers
// hang their form of the whole list (a native palette) on its ring; every
// change of the list's contents drops that ring.
//
// Colour lists (`colorlist.h`) are a ring, a 32-bit count (a 65,536-entry palette survives a copy)
// and an owned array of descriptions; every count change or copy drops the ring. Images
// (`image.h`): a pixmap with a colour count, a palette made on first use and a two-colour mask,
// each owned or shared (flag bits 2 and 3); the colour count picks the depth, `setDepth` the count
// (2^d, 0xFFFFFFFF for 32). `image_res.cpp` reads the object form (the pixmap under "Map"), and the
// raw form (one byte a pixel written from the last byte, colours as integers, the mask a child or a
// resource named beside the image); a map of the wrong length, a colour count outside 1-65536 and a
// mask that leads back to an image being loaded (a stack of the resources under way) are refused.
#pragma once
#include <cstdint>

#include "fw/core/resource.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/syncring.h"

struct vcolorList {
  vsyncRingEntry* representations;
  std::uint32_t count;
  vcolorSpec* entries;  // count initialised descriptions, owned; none when empty
};

vcolorList* vcolorListCreate();  // from the module's pool
void _vcolorListInit(vcolorList* list);    // an embedded list, empty
void _vcolorListFinish(vcolorList* list);  // frees the ring and the entries
void vcolorListDestroy(vcolorList* list);
// Keeps the first min(old, new) entries; new ones are RGB black.
void vcolorListSetCount(vcolorList* list, std::uint32_t count);
vcolorList* vcolorListClone(const vcolorList* list);
void vcolorListCopy(const vcolorList* source, vcolorList* destination);
// Drops the list's device forms after its entries were changed in place.
void vcolorListChanged(vcolorList* list);

void vcolorListLoadInit(vcolorList* list, vresource resource);
vcolorList* vcolorListLoad(vresource resource);
void vcolorListStore(const vcolorList* list, vresource resource);

// Shared by the image class and its resource formats.
#pragma once
#include <cstdint>

#include "fw/gui/graphics/image.h"

namespace vimageint {

// 2^d, kept at 0xFFFFFFFF for 32 bits.
std::uint32_t colorsOfDepth(int d);
// Releases an owned palette and destroys an owned mask; clears both.
void releaseParts(vimage* self);
void store(vobject* self, vresource resource);
void loadInit(vobject* self, vresource resource);

}  // namespace vimageint

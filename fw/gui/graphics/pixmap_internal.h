// Shared by the pixmap files and the image class.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fw/gui/graphics/pixmap.h"

namespace vpixmapint {

// A cursor that is finished however its walk ends.
struct HeldCursor {
  vpixmapCursor c;
  explicit HeldCursor(vpixmap* p) { vpixmapInitCursor(&c, p); }
  ~HeldCursor() { vpixmapFinishCursor(&c); }
  HeldCursor(const HeldCursor&) = delete;
  HeldCursor& operator=(const HeldCursor&) = delete;
};

// A plain pixmap on the stack, destroyed with its pixels.
struct TempPixmap {
  vpixmap p;
  TempPixmap(int width, int height, int depth, unsigned layout);
  ~TempPixmap();
  TempPixmap(const TempPixmap&) = delete;
  TempPixmap& operator=(const TempPixmap&) = delete;
};

void releaseStore(vpixmap* p);
// Swaps the two pixmaps' rings; each entry then belongs to its new owner.
void exchangeStores(vpixmap* a, vpixmap* b);
// Sets the layout bits under mask, re-laying existing pixels.
void changeLayout(vpixmap* p, unsigned mask, unsigned value);
// 1, 2, 4, 8, 16, 24 or 32 at or above d (1-32).
int roundDepth(int d);
void checkSize(int width, int height);
// Raises the memory exception for a store past vpixmapMAX_STORE_BYTES.
void checkStore(int width, int height, int depth, unsigned layout);

// The vpixmap class's own store and load-init (its resource format).
void store(vobject* self, vresource resource);
void loadInit(vobject* self, vresource resource);

}  // namespace vpixmapint

// The run-length form: false when the encoding does not fit the room the
// format allows, a value does not fit three bytes, or it grows past limit.
bool _vpixmapEncodeRLE(vpixmap* p, std::vector<std::uint8_t>* out, std::size_t limit = SIZE_MAX);
// Decodes into p's pixels; false for damaged data (short, overlong).
bool _vpixmapDecodeRLE(vpixmap* p, const std::uint8_t* data, std::size_t size);

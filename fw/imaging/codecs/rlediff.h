// The pixel difference coder of the image editor's undo steps: over a
// rectangle of two images of one size and depth, runs where they agree (a
// bare count) and runs where they differ (a count and the second image's
// pixels). Applying a difference exchanges the stored pixels with the
// image's, so the same record undoes and, applied again, redoes.
//
// Run bytes: n (1-127) agreeing pixels; 0x80 + n differing pixels followed
// by n pixels of max(1, depth / 8) bytes each, least significant first.
// Runs stay within a row of the rectangle.
//
// - `codecs/rlediff.h`: the difference coder of the undo steps. The data block carries its length in
//   the word just below the bytes the record points at (`vimageRLEDataSize`); applying stops at the
//   block's end and at a run that would cross the row's end, and both operations take only
//   rectangles inside the images (sums in 64 bits). Compressing reads each row of both images once
//   into two arrays and, when the images share a layout with whole-byte pixels, skips rows whose
//   bytes agree with one `memcmp`. `tests/fuzz/fuzz_rlediff.cpp` applies arbitrary blocks to small
//   images of every depth and layout.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/gui/graphics/image.h"

struct vimageRLEDiff {
  std::int32_t x, y, width, height;
  std::uint8_t* data;  // owned; its length is kept with it (vimageRLEDataSize)
};

// Fills out with the pixels of image where it differs from reference.
void vimageRLECompressDiff(vimageRLEDiff* out, vimage* reference, vimage* image, int x, int y, int width,
                           int height);
// Writes the record's pixels into target and the replaced ones into data.
void vimageRLEApplyDiff(vimage* source, vimage* target, int x, int y, int width, int height, std::uint8_t* data);
void vimageRLEFreeDiff(int x, int y, int width, int height, std::uint8_t* data);

inline void vimageRLEApply(vimage* image, const vimageRLEDiff& d) {
  vimageRLEApplyDiff(image, image, d.x, d.y, d.width, d.height, d.data);
}
inline void vimageRLEFree(vimageRLEDiff* d) {
  vimageRLEFreeDiff(d->x, d->y, d->width, d->height, d->data);
  d->data = nullptr;
}

// The length of a data block (0 for none), and a block holding a copy of
// the given bytes.
std::size_t vimageRLEDataSize(const std::uint8_t* data);
std::uint8_t* vimageRLECreateData(const std::uint8_t* bytes, std::size_t size);

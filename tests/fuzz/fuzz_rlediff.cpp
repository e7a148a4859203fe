// The difference coder: any block and rectangle applied to a small image of
// any depth and layout never reads or writes outside the image or the
// block; a rectangle outside the image is refused; applying twice restores
// the image; and the difference of the image before and after, compressed
// and applied to the image before, gives the image after.
//
// Input: depth and layout, width, height, x, y, width, height of the
// rectangle (signed bytes), then the block.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fw/core/ex.h"
#include "fw/imaging/codecs/rlediff.h"

namespace {

constexpr int kDepths[] = {1, 2, 4, 8, 16, 24, 32};

vimage* makeImage(int w, int h, int depth, unsigned layout, std::uint32_t seed) {
  vimage* image = vimageCreateSized(w, h, 2);
  vimageSetNoPalette(image, 1);
  vpixmapSetDepth(image, depth);
  vpixmapSetRowAlignment(image, (layout & 1) ? 32 : 8);
  vpixmapSetBottomUp(image, (layout & 2) != 0);
  vpixmapSetByteOrder(image, (layout & 4) != 0);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int i = 0; i < w * h; ++i) vpixmapCursorSetNext(&c, seed = seed * 1103515245u + 12345u);
  vpixmapFinishCursor(&c);
  return image;
}

std::vector<std::uint32_t> pixels(vimage* image) {
  std::vector<std::uint32_t> out(std::size_t(image->width) * std::size_t(image->height));
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (auto& v : out) v = vpixmapCursorGetNext(&c);
  vpixmapFinishCursor(&c);
  return out;
}

bool refused(int x, int y, int w, int h, const vimage* image) {
  return x < 0 || y < 0 || w < 0 || h < 0 || x + w > image->width || y + h > image->height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  int depth = kDepths[data[0] % 7];
  unsigned layout = data[0] / 7;
  int w = 1 + data[1] % 16, h = 1 + data[2] % 8;
  int x = std::int8_t(data[3]), y = std::int8_t(data[4]), rw = std::int8_t(data[5]), rh = std::int8_t(data[6]);
  vimage* image = makeImage(w, h, depth, layout, data[1] * 31u + data[2]);
  vimage* before = makeImage(w, h, depth, layout >> 3, data[1] * 31u + data[2]);
  std::uint8_t* block = vimageRLECreateData(data + 7, size - 7);
  bool raised = false;
  vexGuard([&] { vimageRLEApplyDiff(image, image, x, y, rw, rh, block); },
           [&](vexHandler& h) {
             raised = true;
             vexSetCurrentException(h.savedChain);
           });
  if (raised != refused(x, y, rw, rh, image)) std::abort();
  if (!raised) {
    std::vector<std::uint32_t> after = pixels(image);
    vimageRLEDiff diff;
    vimageRLECompressDiff(&diff, before, image, x, y, rw, rh);
    vimageRLEApply(before, diff);
    if (pixels(before) != after) std::abort();
    vimageRLEFree(&diff);
    vimageRLEApplyDiff(image, image, x, y, rw, rh, block);
    vimage* fresh = makeImage(w, h, depth, layout, data[1] * 31u + data[2]);
    if (pixels(image) != pixels(fresh)) std::abort();
    vimageDestroy(fresh);
  }
  vimageRLEFreeDiff(x, y, rw, rh, block);
  vimageDestroy(before);
  vimageDestroy(image);
  return 0;
}

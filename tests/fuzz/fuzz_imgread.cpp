// The image editor's import: the reader chosen by the file's extension and
// the icon picker behind it. The first byte picks the file's name; any
// file gives an image or none without raising, an image keeps its size
// within the image layer's cap, and its mask comes back detached.
#include <cstdlib>
#include <string>

#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/vimageedtr_io.h"
#include "tests/fuzz/fuzz_winfile.h"

namespace {

constexpr const char* kNames[] = {"in.gif", "in.pbm", "in.pgm", "in.ppm", "in.xbm", "in.bmp", "in.ico", "in.GIF",
                                  "in.Ico", "in",     "in.png", "in.bmp.gif", "in.", ".ico", "in.PPM", "in.Bmp"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char* name = kNames[data[0] % std::size(kNames)];
  std::string file = fuzzwin::scratch(name);
  fuzzwin::writeBytes(file, data + 1, size - 1);
  fuzzwin::Path path(file);
  vimage* mask = nullptr;
  vimage* image = nullptr;
  if (!vexTry([&] { image = vimageedtrReadImage(path.p, &mask); })) std::abort();  // a raise gives none
  if (image) {
    if (image->mask) std::abort();  // detached
    if (vpixmapGetRowBytes(image) * std::size_t(image->height) > vpixmapMAX_STORE_BYTES) std::abort();
    vimageedtrIconQualifies(image, mask);
    vimageDestroy(image);
  } else if (mask) {
    std::abort();  // a mask without its image
  }
  if (mask) vimageDestroy(mask);
  // The icon picker over whatever the icon reader makes of the same bytes.
  if (vimageedtrReaderFor(name) == vimageedtrREAD_ICO) {
    vimage** icons = nullptr;
    vexTry([&] { icons = vimportICO(path.p); });
    if (vimage* best = vimportPickIcon(icons)) {
      vimage* m = (best->flags & vimageOWNS_MASK) ? nullptr : best->mask;
      vimageSetMask(best, nullptr);
      vimageDestroy(best);
      if (m) vimageDestroy(m);
    }
  }
  std::remove(file.c_str());
  return 0;
}

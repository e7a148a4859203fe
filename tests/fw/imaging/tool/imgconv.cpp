// imgconv IN OUT: reads IN and writes OUT with this project's image codecs,
// each chosen by its extension (gif, bmp, ico, xbm, pbm/pgm/ppm; the plain
// portable maps as p1, p2, p3). The cross-checks run it against netpbm
// and Pillow. Exit status 1 when IN gives no image.
//
// - `tests/fw/imaging/crosscheck.py` (CTest `imaging.crosscheck`, skipped without netpbm or Pillow)
//   converts random images through `tests/fw/imaging/tool/imgconv.cpp` (our readers and writers,
//   chosen by extension) and compares them pixel for pixel with netpbm and Pillow both ways: GIF
//   (pamtogif, giftopnm, Pillow), P1-P6, X bitmaps (pbmtoxbm, xbmtopbm), bitmaps of 1, 4, 8 and 24
//   bits and the core header (ppmtobmp, Pillow), icons (pamtowinicon, winicontopam, Pillow; Pillow's
//   own PNG icons give no image).
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/mem.h"
#include "fw/imaging/codecs/vimportgif.h"
#include "fw/imaging/codecs/vimportpbm.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "fw/imaging/codecs/vimportxbm.h"

namespace {

std::string extension(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot ? dot + 1 : "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: imgconv IN OUT\n");
    return 2;
  }
  vfsPath* in = vfsNewPathFromString(argv[1]);
  vfsPath* out = vfsNewPathFromString(argv[2]);
  std::string from = extension(argv[1]), to = extension(argv[2]);
  vimage* image = nullptr;
  vimage* mask = nullptr;
  if (from == "gif") image = vimportGIF(in);
  if (from == "bmp") image = vimportBMP(in);
  if (from == "xbm") image = vimportXBM(in);
  if (from == "pbm" || from == "pgm" || from == "ppm" || from == "p1" || from == "p2" || from == "p3")
    image = vimportPBM(in);
  if (from == "ico") {
    vimage** icons = vimportICO(in);
    if (icons && icons[0]) {
      image = icons[0];
      mask = image->mask;
      for (vimage** i = icons + 1; *i; ++i) vimageDestroy(*i);
    }
    if (icons) vmemFree(icons);
  }
  if (!image) return 1;
  static const char* const kinds[] = {"p1", "pbm", "p2", "pgm", "p3", "ppm"};
  for (int k = 0; k < 6; ++k)
    if (to == kinds[k]) vimportWritePNM(out, image, k);
  if (to == "gif") vimportWriteGIF(out, image);
  if (to == "bmp") vimportwinWriteBMP(out, image);
  if (to == "xbm") vimportWriteXBM(out, image);
  if (to == "ico") {
    vimage* list[] = {image, nullptr};
    if (!image->mask) {
      mask = vimageCreateSized(image->width, image->height, 2);
      vpixmapFill(mask, 1);
      vimageSetMask(image, mask);
    }
    if (vimportWriteICO(out, list) != 1) return 1;
  }
  if (mask) {
    vimageSetMask(image, nullptr);
    vimageDestroy(mask);
  }
  vimageDestroy(image);
  vfsFreePath(in);
  vfsFreePath(out);
  return 0;
}

// The bitmap reader: any file gives an image or none, never reading past
// the file or its buffers; an image read, written back, read and written
// again gives the same bytes both times.

#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "tests/fuzz/fuzz_winfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  _vimportwinSetPixelLimit(1 << 16);
  std::string in = fuzzwin::scratch("in.bmp"), out = fuzzwin::scratch("out.bmp");
  fuzzwin::writeBytes(in, data, size);
  fuzzwin::Path inPath(in), outPath(out);
  vimage* image = vimportBMP(inPath.p);
  if (!image) return 0;
  if (vimportwinWriteBMP(outPath.p, image) != 1) std::abort();
  std::vector<std::uint8_t> first = fuzzwin::readBytes(out);
  vimageDestroy(image);
  image = vimportBMP(outPath.p);
  if (!image || vimportwinWriteBMP(outPath.p, image) != 1) std::abort();
  if (fuzzwin::readBytes(out) != first) std::abort();
  vimageDestroy(image);
  return 0;
}

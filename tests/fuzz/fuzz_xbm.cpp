// The X bitmap reader: any text gives an image or none; an image read,
// written back, read and written again gives the same text both times.
#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportxbm.h"
#include "tests/fuzz/fuzz_winfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string in = fuzzwin::scratch("in.xbm"), out = fuzzwin::scratch("out.xbm");
  fuzzwin::writeBytes(in, data, size);
  fuzzwin::Path inPath(in), outPath(out);
  vimage* image = vimportXBM(inPath.p);
  if (!image) return 0;
  vimportWriteXBM(outPath.p, image);
  std::vector<std::uint8_t> first = fuzzwin::readBytes(out);
  vimageDestroy(image);
  image = vimportXBM(outPath.p);
  if (!image) std::abort();
  vimportWriteXBM(outPath.p, image);
  if (fuzzwin::readBytes(out) != first) std::abort();
  vimageDestroy(image);
  return 0;
}

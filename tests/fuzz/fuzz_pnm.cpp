// The portable-map reader: any file gives an image or none; an image read,
// written back in its own variant, read and written again gives the same
// bytes both times.
#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportpbm.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "tests/fuzz/fuzz_winfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  _vimportwinSetPixelLimit(1 << 16);
  static constexpr int kKind[] = {0, 0, 2, 4, 1, 3, 5};  // by the magic's digit
  std::string in = fuzzwin::scratch("in.pnm"), out = fuzzwin::scratch("out.pnm");
  fuzzwin::writeBytes(in, data, size);
  fuzzwin::Path inPath(in), outPath(out);
  vimage* image = vimportPBM(inPath.p);
  if (!image) return 0;
  int kind = kKind[data[1] - '0'];
  vimportWritePNM(outPath.p, image, kind);
  std::vector<std::uint8_t> first = fuzzwin::readBytes(out);
  vimageDestroy(image);
  image = vimportPBM(outPath.p);
  if (!image) std::abort();
  vimportWritePNM(outPath.p, image, kind);
  if (fuzzwin::readBytes(out) != first) std::abort();
  vimageDestroy(image);
  return 0;
}

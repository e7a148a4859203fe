// The portable-map reader: any file gives an image or none; an image read,
// written back in its own variant, read and written again gives the same
// bytes both times.
#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportpbm.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "tests/fuzz/fuzz_winfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static constexpr int kKind[] = {0, 0, 2, 4, 1, 3, 5};  // by the magic's digit
  int kind = size >= 2 && data[1] >= '1' && data[1] <= '6' ? kKind[data[1] - '0'] : 0;
  fuzzwin::checkWriteBack(data, size, vimportPBM, [&](vfsPath* p, vimage* i) { vimportWritePNM(p, i, kind); });
  return 0;
}

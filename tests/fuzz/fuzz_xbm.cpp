// The X bitmap reader: any text gives an image or none; an image read,
// written back, read and written again gives the same text both times.
#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportxbm.h"
#include "tests/fuzz/fuzz_winfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzzwin::checkWriteBack(data, size, vimportXBM, vimportWriteXBM);
  return 0;
}

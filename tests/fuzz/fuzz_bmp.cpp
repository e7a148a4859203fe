// The bitmap reader: any file gives an image or none, never reading past
// the file or its buffers; an image read, written back, read and written
// again gives the same bytes both times.

#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "tests/fuzz/fuzz_winfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzzwin::checkWriteBack(data, size, vimportBMP, [](vfsPath* p, vimage* i) {
    if (vimportwinWriteBMP(p, i) != 1) std::abort();
  });
  return 0;
}

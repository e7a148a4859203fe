// The GIF reader and the LZW decoder: any file gives an image or none,
// never reading or writing outside the file, the code tables or the image;
// an image read, written back, read and written again gives the same bytes
// both times.
#include "fw/core/ex.h"
#include "fw/imaging/codecs/vimportgif.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "tests/fuzz/fuzz_winfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzzwin::checkWriteBack(data, size, vimportGIF, vimportWriteGIF);
  return 0;
}

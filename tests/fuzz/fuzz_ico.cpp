// The icon reader: any file gives images, none, or the exception of a
// file that is no icon, leaking nothing; icons read, written back, read
// and written again give the same bytes both times.
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/imaging/codecs/vimportwin.h"
#include "tests/fuzz/fuzz_winfile.h"

namespace {

vimage** readIcons(vfsPath* path) {
  vimage** icons = nullptr;
  vexGuard([&] { icons = vimportICO(path); },
           [&](vexHandler& h) {
             // Not an icon, or an image past the image layer's cap.
             const vexClass* cls = vexGetCurrentException()->cls;
             if (!vexClassDerives(cls, &vexModuleUnimplementedClass) && !vexClassDerives(cls, &vexMemoryClass))
               std::abort();
             vexSetCurrentException(h.savedChain);
           });
  return icons;
}

void destroy(vimage** icons) {
  for (vimage** i = icons; *i; ++i) {
    vimage* mask = (*i)->mask;
    vimageSetMask(*i, nullptr);
    vimageDestroy(mask);
    vimageDestroy(*i);
  }
  vmemFree(icons);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string in = fuzzwin::scratch("in.ico"), out = fuzzwin::scratch("out.ico");
  fuzzwin::writeBytes(in, data, size);
  fuzzwin::Path inPath(in), outPath(out);
  vimage** icons = readIcons(inPath.p);
  if (!icons) return 0;
  if (vimportWriteICO(outPath.p, icons) != 1) std::abort();
  std::vector<std::uint8_t> first = fuzzwin::readBytes(out);
  destroy(icons);
  icons = readIcons(outPath.p);
  if (!icons || vimportWriteICO(outPath.p, icons) != 1) std::abort();
  if (fuzzwin::readBytes(out) != first) std::abort();
  destroy(icons);
  return 0;
}

// The chunk-file resource store: the input is a whole file image. Opening
// it either refuses it or gives a file whose every resource can be walked,
// copied into a new file and exported as a scrap without reading outside
// a buffer or looping.
#include <cstdint>
#include <vector>

#include "fw/data/vresource.h"

namespace {

template <class F>
void guarded(F body) {
  vexGuard(body, [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
}

// Reads everything under h through the routed calls, at most `budget` resources.
void walk(vresource h, int depth, int* budget) {
  if (depth > 64 || --*budget < 0) return;
  int kind = vresourceGetType(h, nullptr);
  if (kind == vresDICTIONARY) {
    for (std::int32_t i = 0; i < vresourceCount(h) && *budget > 0; ++i)
      guarded([&] { walk(vresourceGetTagAt(h, i, nullptr), depth + 1, budget); });
  } else if (kind == vresARRAY) {
    int ek = vresourceGetElementType(h);
    for (std::int32_t i = 0; i < vresourceCount(h) && i < 256; ++i) guarded([&] {
        if (ek == vresDICTIONARY || ek == vresARRAY) walk(vresourceGetAt(h, i), depth + 1, budget);
        else if (ek == vresSTRING) vresourceGetAtStringText(h, i);
        else if (ek == vresINTEGER) vresourceGetAtInteger(h, i);
        else if (ek == vresTAG) vresourceGetAtTag(h, i);
      });
  } else if (kind == vresSTRING) {
    char buffer[16];
    std::size_t n = 0;
    vresourceGetStringRange(h, nullptr, 2, buffer, sizeof buffer, &n);
  } else if (kind == vresOPAQUE) {
    vresourceGetSize(h);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image(data, data + size);
  vresource root = 0;
  guarded([&] { root = vresourceOpenImageIn(1, image.data(), image.size()); });
  if (root >= 0) return 0;
  int budget = 2000;
  guarded([&] { walk(root, 0, &budget); });
  vresource copy = vresourceCreateMemoryIn(1);
  guarded([&] { vresourceCopyFile(root, copy); });
  guarded([&] {
    vinstance* object = vresourceGetObject(root, nullptr);
    vinstance* native = vscrapCreateNativeTypeable();
    guarded([&] { vscrapImport(vscrapWalk(object), vscrapWalk(native)); });
    vinstanceDestroy(native);
    vinstanceDestroy(object);
  });
  guarded([&] { vresourceCloseFile(copy); });
  guarded([&] { vresourceCloseFile(root); });
  return 0;
}

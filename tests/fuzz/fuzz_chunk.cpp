// The chunk-file reader: the input is a whole file in memory. Opening it,
// reading every chunk the index names, allocating, freeing and flushing
// either work or raise; nothing reads or writes outside its buffers.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fw/data/chunk.h"

namespace {

template <class F>
void guarded(F body) {
  vexGuard(body, [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image(data, data + size);
  vchunkData* source = vchunkMemoryDataCreate(image.data(), image.size(), false, true);
  vchunkFile* f = nullptr;
  guarded([&] { f = vchunkOpen(source); });
  if (!f) {
    vchunkDataDestroy(source);
    return 0;
  }
  guarded([&] {
    std::uint32_t root = vchunkGetRoot(f);
    if (root) vchunkArrayCount(f, root);
  });
  std::vector<std::uint32_t> made;
  guarded([&] {
    for (std::uint32_t n : {0u, 5u, 300u, 1021u, 1022u, 3000u}) made.push_back(vchunkAlloc(f, n));
  });
  guarded([&] {
    for (std::uint32_t a : made) {
      std::uint8_t* p = vchunkGetData(f, a);
      std::memset(p, 0x5A, vchunkGetSize(f, a));
      vchunkReleaseDirty(f, a);
    }
  });
  guarded([&] {
    if (made.size() > 2) vchunkFree(f, made[1]), vchunkRealloc(f, made[2], 2000);
  });
  guarded([&] { vchunkFlush(f); });
  vchunkClose(f);
  return 0;
}

// The B-tree file reader: the input is a whole file. Opening it, finding,
// walking both ways, putting and deleting either work or raise; nothing
// reads or writes outside its buffers and every walk ends.
//
// - `tests/fuzz/fuzz_btree.cpp` feeds whole files to open, find, both cursor walks, put and delete
//   (`./run fuzz 20 btree`).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fw/data/btree.h"

namespace {

template <class F>
void guarded(F body) {
  vexGuard(body, [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
}

const std::string& scratchFile() {
  static const std::string name = "/tmp/fuzz_btree." + std::to_string(getpid());
  return name;
}

void walk(vbtree* t, int first, int step) {
  const void *k, *v;
  std::size_t kl, vl;
  int n = 0;
  for (bool more = vbtreeCursor(t, &k, &kl, &v, &vl, first); more && n < 100000; ++n)
    more = vbtreeCursor(t, &k, &kl, &v, &vl, step);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  vfsPath* path = vfsNewPathFromString(scratchFile().c_str());
  vbtree* t = nullptr;
  guarded([&] { t = vbtreeOpen(path, vbtreeWRITE, nullptr); });
  if (t) {
    guarded([&] { walk(t, vbtreeFIRST, vbtreeNEXT); });
    guarded([&] { walk(t, vbtreeLAST, vbtreePREVIOUS); });
    guarded([&] {
      const void* v;
      std::size_t n;
      for (const char* key : {"", "a", "key", "zzzz"}) vbtreeFind(t, key, std::char_traits<char>::length(key), &v, &n);
    });
    guarded([&] { vbtreePut(t, "fuzz", 4, "value", 5); });
    guarded([&] { vbtreePut(t, "long", 4, std::string(3000, 'x').data(), 3000); });
    guarded([&] { vbtreeDelete(t, "a", 1); });
    guarded([&] { vbtreeClose(t); });
  }
  vfsFreePath(path);
  std::remove(scratchFile().c_str());
  return 0;
}

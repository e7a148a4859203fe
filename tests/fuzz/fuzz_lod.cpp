// The ".lod" reader. A refused file leaves the device as it was; a file
// taken is loaded again into a second device under an allocation cap,
// which pages memory out and must read back the same words.
#include <cstdio>
#include <vector>

#include "fuzz_support.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"

namespace {

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// Every word array and the pc of a fresh device, to compare with.
std::vector<std::vector<uint32_t>> arrays_of(const device_inst& inst) {
  std::vector<std::vector<uint32_t>> out;
  for (const region_mem& r : inst.regions) out.push_back(r.words);
  return out;
}

bool untouched(const device_inst& inst, const std::vector<std::vector<uint32_t>>& fresh, uint32_t fresh_pc) {
  if (arrays_of(inst) != fresh || inst.pc != fresh_pc) return false;
  for (const region_mem& r : inst.regions) {
    const mem_page* page = r.pages.cursor;
    if (page != nullptr && (sparse_page_count(r.pages) != 1 || page->kind != PAGE_UNIFORM || page->value != 0))
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz_start();
  fuzz_fresh_session();
  fuzz_write_file("f.lod", std::string_view(reinterpret_cast<const char*>(data), size));
  const auto fresh = arrays_of(*device_insts[0]);
  const uint32_t fresh_pc = device_insts[0]->pc;
  if (read_lod_file(0, "f.lod") == 0) {
    if (!untouched(*device_insts[0], fresh, fresh_pc)) finding("a refused file changed the device");
    return 0;
  }
  if (create_device(1, "73521") == 0) finding("no second device");
  dsp_alloc_set_limit(dsp_alloc_in_use() + 2 * PAGE_BYTES + 512);
  const int loaded = read_lod_file(1, "f.lod");
  // Only the sparse spaces page; the word arrays were compared above.
  device_inst& a = *device_insts[0];
  device_inst& b = *device_insts[1];
  if (loaded != 0 && arrays_of(a) != arrays_of(b)) finding("the same file loaded other words");
  for (int space : {SPACE_PE, SPACE_XE}) {
    make_device_current(0);
    const int row = find_memory_region(space, 0);
    for (uint32_t address = 0; address < 0x10000 && loaded != 0; ++address) {
      uint32_t w0 = 0, w1 = 0;
      const int r0 = sparse_read_row(&a, row, address, &w0);
      const int r1 = sparse_read_row(&b, row, address, &w1);
      if (r0 != r1 || w0 != w1) finding("paged memory reads back other words");
    }
  }
  dsp_alloc_set_limit(0);
  return 0;
}

// The straight-line executor's plain internal memory (core_fast.h): the
// words without behaviour of their own that it reads and writes in place,
// and per device type and omr mode the 256-word pages made only of them.
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/region_index.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/fast/core_fast_step.h"

namespace {

constexpr uint32_t WORD = 0xFFFF;

// The word of a row that holds `address` in resolved space `space` and
// has no behaviour of its own (no I/O window, not disabled, written only
// where the core may write); a null word otherwise. Its log rows are left
// to note_memory_access_entry. (Lookups fill their answer in place: a
// record returned by value is stored in parts and read back whole, which
// stalls.)
bool plain_word(int space, uint32_t address, bool write, fast_word& at) {
  const uint8_t e = region_entry_fast(space, address);
  const int row = e & REGION_ENTRY_ROW;
  if (row >= cur_type->region_count) return false;
  const mem_region& r = cur_type->regions[row];
  if (r.flags & (REGION_IO_BUS | REGION_DISABLED | REGION_SPARSE)) return false;
  if (write && (r.flags & REGION_READ_ONLY)) return false;
  if (address < r.low || address > r.high) return false;
  std::vector<uint32_t>& words = cur_inst->regions[static_cast<std::size_t>(row)].words;
  const uint32_t index = address - r.low;
  if (index >= words.size()) return false;
  at.word = &words[index];
  at.page = nullptr;
  at.entry = e;
  at.data_pins = (r.attr & REGION_ATTR_DATA_PINS) != 0;
  return true;
}

int resolved(int generic, uint32_t address) {
  const int space = core_resolve_space(generic, address);
  if (generic == SPACE_P) return space == SPACE_PI || space == SPACE_PR ? space : -1;
  return space == SPACE_XI || space == SPACE_XR ? space : -1;
}

// A page whose every word resolves to the same plain row with the same
// region entry and log rows; 0 otherwise.
uint16_t page_of(int generic, uint32_t page, uint32_t* logs) {
  int space = -1;
  fast_word first{}, at{};
  bool writable = true;
  *logs = 0;
  for (uint32_t address = page << 8; address < (page + 1) << 8; ++address) {
    const int s = resolved(generic, address);
    if (s < 0 || !plain_word(s, address, false, at)) return 0;
    if (space >= 0 && (s != space || at.entry != first.entry)) return 0;
    const uint32_t rows = memory_access_log_rows(at.entry, address);
    if (rows == 0 || (space >= 0 && rows != *logs)) return 0;
    *logs = rows;
    space = s;
    first = at;
    writable = writable && s == SPACE_XI && plain_word(s, address, true, at);
  }
  return static_cast<uint16_t>(first.entry | PAGE_PLAIN | (writable ? PAGE_WRITABLE : 0) |
                               (first.data_pins ? PAGE_DATA_PINS : 0));
}

}  // namespace

// Per device type and the omr bits that steer resolution, each 256-word
// page of P and of X space whose every word resolves to the same plain row
// with the same region entry: the entry, whether the core may write there
// and the row shows reads on the data pins, and the rows whose access logs
// note an access. Other pages are looked up word by word. Each thread
// keeps its own maps.
struct fast_pages {
  const device_type* type = nullptr;
  uint32_t mode = ~0u;
  std::array<uint16_t, 0x100> program{};
  std::array<uint16_t, 0x100> data{};
  std::array<uint32_t, 0x100> program_logs{};
  std::array<uint32_t, 0x100> data_logs{};
};

namespace {

thread_local std::array<fast_pages, TYPE_COUNT> page_maps;

const fast_pages& pages_now() {
  fast_pages& map = page_maps[static_cast<std::size_t>(cur_inst->type)];
  const uint32_t mode = core_word(CORE_OMR) & (OMR_MODE | OMR_EXT_X);
  if (map.type != cur_type || map.mode != mode) {
    map.type = cur_type;
    map.mode = mode;
    for (uint32_t page = 0; page < 0x100; ++page) {
      map.program[page] = page_of(SPACE_P, page, &map.program_logs[page]);
      map.data[page] = page_of(SPACE_X, page, &map.data_logs[page]);
    }
  }
  return map;
}

}  // namespace

// The type's map with each plain page's first word. The rows' words never
// move while the device lives.
[[gnu::noinline]] void fast_make_device_pages(device_inst& inst, uint32_t mode) {
  const fast_pages& map = pages_now();
  inst.plain_pages.assign(0x200, plain_page{});
  for (uint32_t k = 0; k < 0x200; ++k) {
    const uint32_t page = k & 0xFF;
    const uint16_t bits = k < 0x100 ? map.program[page] : map.data[page];
    if (!(bits & PAGE_PLAIN)) continue;
    const int row = bits & REGION_ENTRY_ROW;
    std::vector<uint32_t>& words = inst.regions[static_cast<std::size_t>(row)].words;
    const uint32_t first = (page << 8) - cur_type->regions[row].low;
    if (first + 0x100 > words.size()) continue;
    plain_page& p = inst.plain_pages[k];
    p = {&words[first], k < 0x100 ? map.program_logs[page] : map.data_logs[page], bits, {}};
    if (std::popcount(p.logs) <= 2) {
      // The logs never move: the device's rows are sized when it is made.
      int n = 0;
      for (uint32_t rows = p.logs; rows != 0; rows &= rows - 1)
        p.rows[static_cast<std::size_t>(n++)] = &cur_state->region_logs[static_cast<std::size_t>(std::countr_zero(rows))];
    }
  }
  inst.plain_pages_mode = mode;
}

// A program word the fetch reads from internal memory.
bool fast_program_word(const plain_page* pages, uint32_t address, fast_word& at) {
  if (fast_page_word(pages[address >> 8], address, false, at)) [[likely]]
    return true;
  const int space = resolved(SPACE_P, address);
  return space >= 0 && plain_word(space, address, false, at);
}

bool fast_data_word_slow(uint32_t address, bool write, fast_word& at) {
  const int space = resolved(SPACE_X, address);
  return space >= 0 && (!write || space == SPACE_XI) && plain_word(space, address, write, at);
}

int read_program_word(uint32_t address, uint32_t* out) {
  address &= WORD;
  const plain_page& page = fast_device_pages(*cur_inst, cur_inst->core)[address >> 8];
  if (page.base == nullptr) return mem_read_word(SPACE_P, address, out);
  *out = page.base[address & 0xFF];
  return 1;
}

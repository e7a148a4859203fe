// The memory interface: resolution of the generic spaces by operating
// mode, word arrays, the I/O window and the sparse spaces behind one table,
// and the per-row access logs. The run loop comes through here every cycle,
// so nothing on the read and write paths allocates or formats text.
#include "sim/engine/device/memory.h"

#include <array>
#include <bit>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/region_index.h"

namespace {

constexpr uint32_t ADDRESS_MASK = 0xFFFF;
constexpr uint32_t WORD_MASK = 0xFFFF;

// The core's omr: mode bits 0-1 and bit 3 (external data) steer resolution.
uint32_t operating_mode() {
  if (!cur_inst || cur_inst->periph_state.empty() || !cur_inst->periph_state[0]) return 0;
  return cur_inst->periph_state[0][CORE_OMR];
}

bool is_sparse_space(int space) { return space == SPACE_PE || space == SPACE_XE; }

bool in_row(const mem_region& row, uint32_t address) {
  return address >= row.low && address <= row.high;
}

// Common front of reads and writes: resolved space, the row index found.
struct located {
  int space;
  int row;
};

located locate(int space, uint32_t address) {
  if (space == SPACE_P || space == SPACE_X) space = mem_resolve_space(space, address);
  return {space, region_row(space, address)};
}

bool valid_row(int row) { return row >= 0 && row < cur_type->region_count; }

// Saves and restores the five current-device globals around work on
// another device.
struct device_switch {
  int device = cur_device;
  device_type* type = cur_type;
  const family_desc* family = cur_family;
  device_inst* inst = cur_inst;
  device_state* state = cur_state;
  bool ok = false;

  explicit device_switch(int number) {
    if (number < 0 || number >= DEVICE_MAX || !device_insts[number] || !device_states[number]) return;
    ok = true;
    cur_device = number;
    cur_inst = device_insts[number];
    cur_state = device_states[number];
    cur_type = device_types[cur_inst->type];
    cur_family = family_descs[cur_inst->type];
  }
  ~device_switch() {
    cur_device = device;
    cur_type = type;
    cur_family = family;
    cur_inst = inst;
    cur_state = state;
  }
  device_switch(const device_switch&) = delete;
  device_switch& operator=(const device_switch&) = delete;
};

}  // namespace

const mem_iface dsp_mem_iface = {
    mem_read_word, mem_write_word, mem_fill,       mem_resolve_space,
    nullptr,       mem_read_wide,  mem_write_wide, nullptr,
};

int mem_resolve_space(int space, uint32_t address) {
  if (!cur_type) return space;
  return resolve_space_in_mode(space, address, operating_mode());
}

int mem_read_at(int space, int row_index, uint32_t address, uint32_t* out) {
  *out = 0;
  if (!valid_row(row_index)) return 0;
  if (is_sparse_space(space)) return sparse_read_row(cur_inst, row_index, address, out);
  const mem_region& row = cur_type->regions[row_index];
  if (!in_row(row, address)) return 0;
  if (space == SPACE_XI && (row.flags & REGION_IO_BUS)) {
    read_peripheral_bus(address, out, 0);
    return 1;
  }
  if (row.flags & REGION_DISABLED) return 0;
  const std::vector<uint32_t>& words = cur_inst->regions[row_index].words;
  const uint32_t index = address - row.low;
  if (index >= words.size()) return 0;
  *out = words[index];
  return 1;
}

int mem_write_at(int space, int row_index, uint32_t address, const uint32_t* value) {
  if (!valid_row(row_index)) return 1;
  const uint32_t word = *value & WORD_MASK;
  if (is_sparse_space(space)) {
    sparse_write_row(cur_inst, row_index, address, word);
    return 1;
  }
  const mem_region& row = cur_type->regions[row_index];
  if (!in_row(row, address)) return 1;
  if (space == SPACE_XI && (row.flags & REGION_IO_BUS)) {
    write_peripheral_bus(address, *value, 0);
    return 1;
  }
  if (row.flags & REGION_DISABLED) return 1;
  std::vector<uint32_t>& words = cur_inst->regions[row_index].words;
  const uint32_t index = address - row.low;
  if (index < words.size()) words[index] = word;
  return 1;
}

int mem_read_word(int space, uint32_t address, uint32_t* out) {
  *out = 0;
  if (!cur_type || !cur_inst) return 0;
  address &= ADDRESS_MASK;
  const located at = locate(space, address);
  return mem_read_at(at.space, at.row, address, out);
}

int mem_write_word(int space, uint32_t address, const uint32_t* value) {
  if (!cur_type || !cur_inst) return 1;
  address &= ADDRESS_MASK;
  const located at = locate(space, address);
  return mem_write_at(at.space, at.row, address, value);
}

int mem_fill(int space, uint32_t address, uint32_t count, const uint32_t* value) {
  for (uint32_t i = 0; i < count; ++i) mem_write_word(space, (address + i) & ADDRESS_MASK, value);
  return 1;
}

int mem_read_wide(int space, uint32_t address, uint32_t* out, int wide) {
  if (!wide) return mem_read_word(space, address, out);
  uint32_t low = 0;
  uint32_t high = 0;
  const int ok_low = mem_read_word(space, address, &low);
  const int ok_high = mem_read_word(space, (address + 1) & ADDRESS_MASK, &high);
  *out = ((high & 0xFF) << 8) | low;
  return ok_low && ok_high ? 2 : 0;
}

int mem_write_wide(int space, uint32_t address, const uint32_t* value, int wide) {
  if (!wide) {
    const uint32_t word = *value & WORD_MASK;
    mem_write_word(space, address, &word);
    return 1;
  }
  const uint32_t low = *value & 0xFF;
  const uint32_t high = (*value >> 8) & 0xFF;
  mem_write_word(space, address, &low);
  mem_write_word(space, (address + 1) & ADDRESS_MASK, &high);
  return 2;
}

int read_device_memory(int device, int space, uint32_t address, uint32_t* out) {
  *out = 0;
  device_switch on(device);
  if (!on.ok) return 0;
  return cur_type->mem->read_word(space, address, out);
}

int write_device_memory(int device, int space, uint32_t address, const uint32_t* value) {
  device_switch on(device);
  if (!on.ok) return 0;
  return cur_type->mem->write_word(space, address, value);
}

int fill_device_memory(int device, int space, uint32_t address, uint32_t count,
                       const uint32_t* value) {
  device_switch on(device);
  if (!on.ok) return 0;
  return cur_type->mem->fill(space, address, count, value);
}

void note_memory_access(int space, uint32_t address, int is_read, uint32_t attribute) {
  if (!cur_type || !cur_state) return;
  address &= ADDRESS_MASK;
  note_memory_access_at(region_row(space, address), address, is_read, attribute);
}

namespace {

// The logs of the rows in `rows` note the access; with `test`, only those of
// rows that hold the address.
[[gnu::always_inline]] inline void log_rows(uint32_t rows, bool test, uint32_t address, int is_read,
                                            uint32_t attribute) {
  for (; rows != 0; rows &= rows - 1) {
    const int r = std::countr_zero(rows);
    if (test && !in_row(cur_type->regions[r], address)) continue;
    region_access_log& log = cur_state->region_logs[static_cast<std::size_t>(r)];
    log_access(is_read ? log.reads : log.writes, address, attribute, cur_state->instr_epoch);
  }
}

// Every row of the holder's attribute family that holds the address; a
// holder that holds it (`held`) spares the test of the rows covering it.
void note_access(int holder, bool held, uint32_t address, int is_read, uint32_t attribute) {
  if (!valid_row(holder)) return;
  const int count = cur_type->region_count;
  if (cur_state->region_logs.size() < static_cast<std::size_t>(count)) return;
  if (count > REGION_INDEX_MAX_ROWS) {
    const uint32_t attr = cur_type->regions[holder].attr;
    for (int r = 0; r < count; ++r) {
      const mem_region& row = cur_type->regions[r];
      if ((row.attr & attr) != attr || (row.attr & 0xFF) != (attr & 0xFF)) continue;
      if (!in_row(row, address)) continue;
      region_access_log& log = cur_state->region_logs[r];
      log_access(is_read ? log.reads : log.writes, address, attribute, cur_state->instr_epoch);
    }
    return;
  }
  const region_log_rows_of& family = region_log_rows_fast(holder);
  if (held) {
    log_rows(family.covering, false, address, is_read, attribute);
    log_rows(family.partial, true, address, is_read, attribute);
  } else {
    log_rows(family.all, true, address, is_read, attribute);
  }
}

}  // namespace

void restart_instr_epochs(device_state& st) {
  for (region_access_log& log : st.region_logs)
    for (access_log* side : {&log.reads, &log.writes}) {
      side->instr_count = 0;
      side->instr_epoch = 0;
    }
  st.instr_epoch = 1;
}

void note_memory_access_rows(uint32_t rows, uint32_t address, int is_read, uint32_t attribute) {
  log_rows(rows, false, address, is_read, attribute);
}

uint32_t memory_access_log_rows(uint8_t entry, uint32_t address) {
  const int holder = entry & REGION_ENTRY_ROW;
  const int count = cur_type->region_count;
  if (!(entry & REGION_ENTRY_HOLDS) || !valid_row(holder) || count > REGION_INDEX_MAX_ROWS ||
      cur_state->region_logs.size() < static_cast<std::size_t>(count))
    return 0;
  const region_log_rows_of& family = region_log_rows_fast(holder);
  uint32_t rows = family.covering;
  for (uint32_t partial = family.partial; partial != 0; partial &= partial - 1) {
    const int r = std::countr_zero(partial);
    if (in_row(cur_type->regions[r], address)) rows |= 1u << r;
  }
  return rows;
}

void note_memory_access_at(int holder, uint32_t address, int is_read, uint32_t attribute) {
  note_access(holder, false, address, is_read, attribute);
}

void note_memory_access_entry(uint8_t entry, uint32_t address, int is_read, uint32_t attribute) {
  note_access(entry & REGION_ENTRY_ROW, (entry & REGION_ENTRY_HOLDS) != 0, address, is_read, attribute);
}

namespace {

// The rows whose logs note a write to an I/O address (the peripherals'
// registers), one bit per row, found once per type and address: a codec
// sample end or a timer step made the look-ups of note_access each time.
constexpr uint32_t IO_FIRST = 0xFF00;
struct io_note_rows {
  const device_type* type = nullptr;
  int first_row = -1;  // the type's first_region for the I/O space when found
  std::array<uint32_t, 0x100> rows{};
  std::array<bool, 0x100> known{};
};
thread_local std::array<io_note_rows, TYPE_COUNT> io_rows;

uint32_t io_write_rows(uint32_t address) {
  io_note_rows& cache = io_rows[static_cast<std::size_t>(cur_inst->type)];
  if (cache.type != cur_type || cache.first_row != cur_type->first_region[SPACE_XI]) {
    cache.type = cur_type;
    cache.first_row = cur_type->first_region[SPACE_XI];
    cache.known.fill(false);
  }
  const std::size_t at = address - IO_FIRST;
  if (cache.known[at]) return cache.rows[at];
  uint32_t rows = 0;
  const int holder = region_row(SPACE_XI, address);
  if (valid_row(holder))
    for (uint32_t all = region_log_rows_fast(holder).all; all != 0; all &= all - 1) {
      const int r = std::countr_zero(all);
      if (in_row(cur_type->regions[r], address)) rows |= 1u << r;
    }
  cache.rows[at] = rows;
  cache.known[at] = true;
  return rows;
}

}  // namespace

void note_periph_write(uint32_t address) {
  if (!cur_type || !cur_state || !cur_inst) return;
  address &= ADDRESS_MASK;
  const int count = cur_type->region_count;
  if (address < IO_FIRST || count > REGION_INDEX_MAX_ROWS) {
    note_memory_access(SPACE_XI, address, 0, 0);
    return;
  }
  if (cur_state->region_logs.size() < static_cast<std::size_t>(count)) return;
  for (uint32_t rows = io_write_rows(address); rows != 0; rows &= rows - 1) {
    region_access_log& log = cur_state->region_logs[static_cast<std::size_t>(std::countr_zero(rows))];
    log_access(log.writes, address, 0, cur_state->instr_epoch);
  }
}

void mem_core_hook(int, uint32_t, uint32_t) {}

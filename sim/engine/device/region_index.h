// The memory map by table: which row find_memory_region gives a space and
// address, and whether that row holds the address, without searching the
// map on every access. Engine-internal.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"

// Bits of a region entry.
constexpr uint8_t REGION_ENTRY_ROW = 0x7F;    // the row find_memory_region gives
constexpr uint8_t REGION_ENTRY_HOLDS = 0x80;  // the row is of the space and holds the address

// The entry for a space and address of the current type.
uint8_t region_entry(int space, uint32_t address);

// The tables of one type: per space, each 256-word page's entry, or with
// REGION_PAGE_SPLIT set the index of the page's own 256 entries in
// `split_pages`; per row, the rows whose logs note its accesses. The map
// rows are constant; a space's entries also depend on the type's
// first_region for the space, so a different first row rebuilds them.
constexpr uint16_t REGION_PAGE_SPLIT = 0x8000;
constexpr int REGION_INDEX_MAX_ROWS = 32;  // larger maps are searched instead
struct region_space_pages {
  bool built = false;
  int first_row = 0;  // the type's first_region for the space when built
  std::array<uint16_t, 0x100> page{};
  std::vector<std::array<uint8_t, 0x100>> split_pages;
};
// The rows whose access logs note an access that lands in a row (the rows
// of its attribute family), one bit per row: `covering` hold every address
// the row holds, `partial` only some of them, `all` is the whole family
// (each to be tested for an address the row does not hold).
struct region_log_rows_of {
  uint32_t all = 0;
  uint32_t covering = 0;
  uint32_t partial = 0;
};
struct region_tables {
  std::array<region_space_pages, SPACE_CODE_COUNT> spaces;
  bool log_rows_built = false;
  std::array<region_log_rows_of, REGION_INDEX_MAX_ROWS> log_rows{};
};
// The type looked up last and its tables, for the inline look-ups; each
// thread keeps its own tables.
extern thread_local constinit const device_type* region_last_type;
extern thread_local constinit region_tables* region_last_tables;

inline uint8_t region_entry_fast(int space, uint32_t address) {
  if (cur_type == region_last_type && static_cast<unsigned>(space) < SPACE_CODE_COUNT &&
      address < 0x10000) {
    const region_space_pages& s = region_last_tables->spaces[static_cast<std::size_t>(space)];
    if (s.built && s.first_row == cur_type->first_region[static_cast<std::size_t>(space)]) {
      const uint16_t page = s.page[address >> 8];
      if (!(page & REGION_PAGE_SPLIT)) return static_cast<uint8_t>(page);
      return s.split_pages[page & ~REGION_PAGE_SPLIT][address & 0xFF];
    }
  }
  return region_entry(space, address);
}

// find_memory_region, inline.
inline int region_row(int space, uint32_t address) {
  return region_entry_fast(space, address) & REGION_ENTRY_ROW;
}

// mem_resolve_space for a device whose core has operating-mode word `omr`:
// the generic spaces p and x resolved by the mode bits and the address.
inline int resolve_space_in_mode(int space, uint32_t address, uint32_t omr) {
  address &= 0xFFFF;
  auto holds = [address](int s) { return (region_entry_fast(s, address) & REGION_ENTRY_HOLDS) != 0; };
  if (space == SPACE_P) {
    if ((omr & 3) < 2 && holds(SPACE_PR)) return SPACE_PR;
    if ((omr & 3) == 3) return SPACE_PE;
    if (holds(SPACE_PI)) return SPACE_PI;
    return SPACE_PE;
  }
  if (space == SPACE_X) {
    if (omr & 8) return SPACE_XE;
    if (holds(SPACE_XI)) return SPACE_XI;
    if (holds(SPACE_XR)) return SPACE_XR;
    return SPACE_XE;
  }
  return space;
}

// The log rows of row `holder`, for maps of up to REGION_INDEX_MAX_ROWS
// rows.
const region_log_rows_of& region_log_rows(int holder);

inline const region_log_rows_of& region_log_rows_fast(int holder) {
  if (cur_type == region_last_type && region_last_tables->log_rows_built)
    return region_last_tables->log_rows[static_cast<std::size_t>(holder)];
  return region_log_rows(holder);
}

// ---------------------------------------------------------------------------
// Accesses through a row already found (memory.cpp): `space` is a resolved
// space, `row` what find_memory_region gives for it and the 16-bit address;
// the same as mem_read_word, mem_write_word and note_memory_access then.
int mem_read_at(int space, int row, uint32_t address, uint32_t* out);
int mem_write_at(int space, int row, uint32_t address, const uint32_t* value);
void note_memory_access_at(int holder, uint32_t address, int is_read, uint32_t attribute);
// note_memory_access_at with the region entry of the access (its row and
// whether that row holds the address).
void note_memory_access_entry(uint8_t entry, uint32_t address, int is_read, uint32_t attribute);
// The rows whose logs note_memory_access_entry writes for an access at
// `address` with a holding entry, one bit per row; 0 when it would not
// log by rows (an entry that does not hold, a map too large for bits).
uint32_t memory_access_log_rows(uint8_t entry, uint32_t address);
// Notes an access in the logs of the rows in `rows` (what
// note_memory_access_entry does once it has them).
void note_memory_access_rows(uint32_t rows, uint32_t address, int is_read, uint32_t attribute);

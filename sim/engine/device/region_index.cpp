// The memory map by table. Per type and space, every 256-word page has one
// entry, or, when a row boundary falls inside the page, a 256-entry table
// of its own. A space's tables are built from the type's static map and
// first_region the first time the space is looked up, and again whenever
// first_region names another first row for it. The log rows of each row
// come from the static map alone and are built once.
#include "sim/engine/device/region_index.h"

#include <array>
#include <bit>
#include <vector>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"

namespace {
region_tables no_tables;  // nothing built: every look-up takes the slow path
}  // namespace

thread_local constinit const device_type* region_last_type = nullptr;
thread_local constinit region_tables* region_last_tables = &no_tables;

namespace {

constexpr uint32_t PAGE_SHIFT = 8;
constexpr uint32_t PAGES = 0x100;
constexpr uint32_t ADDRESSES = 0x10000;
constexpr int MAX_ROWS = REGION_INDEX_MAX_ROWS;
static_assert(MAX_ROWS <= REGION_ENTRY_ROW + 1);

// The search the tables stand for.
int search_region(const device_type& t, int space, uint32_t address) {
  const int first = t.first_region[space];
  const mem_region* row = &t.regions[first];
  if ((address >= row->low && address <= row->high) || !(row->flags & REGION_MORE_ROWS))
    return first;
  for (int i = first + 1; i < t.region_count; ++i) {
    const mem_region& r = t.regions[i];
    if (r.space == space && address >= r.low && address <= r.high) return i;
  }
  return first;
}

uint8_t entry_of(const device_type& t, int space, uint32_t address) {
  const int row = search_region(t, space, address);
  const mem_region& r = t.regions[row];
  const bool holds = r.space == space && address >= r.low && address <= r.high;
  return static_cast<uint8_t>(row | (holds ? REGION_ENTRY_HOLDS : 0));
}

thread_local std::array<region_tables, TYPE_COUNT> tables;

// The tables of the current type; null for a map too large to index.
region_tables* current_tables() {
  const device_type& t = *cur_type;
  const int index = std::countr_zero(t.type_bit);
  if (index >= TYPE_COUNT || device_types[index] != &t || t.region_count > MAX_ROWS) return nullptr;
  region_tables& tt = tables[static_cast<std::size_t>(index)];
  region_last_type = &t;
  region_last_tables = &tt;
  return &tt;
}

// A page is split when a boundary of the first row or of a later row of
// the space falls inside it; elsewhere every address gets the same entry.
void build_space(const device_type& t, int space, region_space_pages& s) {
  std::array<bool, PAGES> cut{};
  const int first = t.first_region[space];
  for (int i = first; i < t.region_count; ++i) {
    const mem_region& r = t.regions[i];
    if (i != first && r.space != space) continue;
    for (uint32_t edge : {r.low, r.high + 1})
      if (edge < ADDRESSES && (edge & (PAGES - 1)) != 0) cut[edge >> PAGE_SHIFT] = true;
  }
  s.split_pages.clear();
  for (uint32_t page = 0; page < PAGES; ++page) {
    const uint32_t start = page << PAGE_SHIFT;
    if (!cut[page]) {
      s.page[page] = entry_of(t, space, start);
      continue;
    }
    s.page[page] = static_cast<uint16_t>(REGION_PAGE_SPLIT | s.split_pages.size());
    std::array<uint8_t, PAGES>& words = s.split_pages.emplace_back();
    for (uint32_t a = 0; a < PAGES; ++a) words[a] = entry_of(t, space, start + a);
  }
  s.first_row = first;
  s.built = true;
}

}  // namespace

uint8_t region_entry(int space, uint32_t address) {
  const device_type& t = *cur_type;
  region_tables* tt = space >= 0 && space < SPACE_CODE_COUNT && address < ADDRESSES
                        ? current_tables()
                        : nullptr;
  if (tt == nullptr) return entry_of(t, space, address);
  region_space_pages& s = tt->spaces[static_cast<std::size_t>(space)];
  if (!s.built || s.first_row != t.first_region[space]) build_space(t, space, s);
  return region_entry_fast(space, address);
}

const region_log_rows_of& region_log_rows(int holder) {
  const device_type& t = *cur_type;
  auto rows_like = [&t](int h) {
    const mem_region& held = t.regions[h];
    region_log_rows_of rows;
    for (int r = 0; r < t.region_count && r < MAX_ROWS; ++r) {
      const mem_region& row = t.regions[r];
      if ((row.attr & held.attr) != held.attr || (row.attr & 0xFF) != (held.attr & 0xFF)) continue;
      const uint32_t bit = 1u << r;
      rows.all |= bit;
      if (row.low <= held.low && row.high >= held.high)
        rows.covering |= bit;
      else if (row.low <= held.high && row.high >= held.low)
        rows.partial |= bit;
    }
    return rows;
  };
  region_tables* tt = current_tables();
  if (tt == nullptr) {
    thread_local region_log_rows_of unindexed;  // rebuilt on every call
    unindexed = rows_like(holder);
    return unindexed;
  }
  if (!tt->log_rows_built) {
    for (int h = 0; h < t.region_count; ++h) tt->log_rows[static_cast<std::size_t>(h)] = rows_like(h);
    tt->log_rows_built = true;
  }
  return tt->log_rows[static_cast<std::size_t>(holder)];
}

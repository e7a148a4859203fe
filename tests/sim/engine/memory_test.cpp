// The memory interface: rows, resolution by operating mode, wide access,
// fills, device switching and the access logs.
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "memory_fixture.h"

namespace {

using MemoryMap = device_fixture;
using MemoryResolve = device_fixture;
using MemoryAccess = device_fixture;
using MemoryLog = device_fixture;

const mem_region& row(int index) { return cur_type->regions[index]; }

using words = std::vector<uint32_t>;
using spaces = std::vector<int>;
// The concrete space each address of the generic space resolves to.
spaces resolved(int space, std::initializer_list<uint32_t> addresses) {
  spaces out;
  for (uint32_t a : addresses) out.push_back(mem_resolve_space(space, a));
  return out;
}

TEST_F(MemoryMap, IoWindowAndScannedRows) {
  make("73521");
  const mem_region& io = row(find_memory_region(SPACE_XI, 0xFFD0));
  EXPECT_EQ(io.low, 0xFFC0u);
  EXPECT_TRUE(io.flags & REGION_IO_BUS);
  // An address no xi row holds gives the first xi row.
  const mem_region& none = row(find_memory_region(SPACE_XI, 0x9000));
  EXPECT_EQ(none.low, 0u);
  EXPECT_EQ(none.high, 0x7FFu);

  make("73583");
  const mem_region& pi = row(find_memory_region(SPACE_PI, 0x5000));
  EXPECT_EQ(std::string(pi.name), "pi");
  EXPECT_EQ(pi.low, 0u);
  EXPECT_EQ(pi.high, 0xFFu);
}

// Lookups go through per-type tables; devices of two types used in turn
// must each see their own map.
TEST_F(MemoryMap, TypesUsedInTurnKeepTheirOwnMaps) {
  make("73583", 1);
  make("73521", 0);
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(make_device_current(0));
    // 2K of internal X on the 73521, its I/O window from $FFC0.
    EXPECT_EQ(mem_resolve_space(SPACE_X, 0x0900), SPACE_XE);
    EXPECT_EQ(row(find_memory_region(SPACE_XI, 0xFF90)).low, 0u);
    EXPECT_EQ(row(find_memory_region(SPACE_XI, 0xFFC0)).low, 0xFFC0u);
    ASSERT_TRUE(make_device_current(1));
    // 4K of internal X on the 73583, its I/O window from $FF80.
    EXPECT_EQ(mem_resolve_space(SPACE_X, 0x0900), SPACE_XI);
    EXPECT_EQ(row(find_memory_region(SPACE_XI, 0xFF90)).low, 0xFF80u);
    EXPECT_EQ(row(find_memory_region(SPACE_PI, 0x00FF)).high, 0xFFu);
    EXPECT_EQ(row(find_memory_region(SPACE_PI, 0x0100)).low, 0x100u);
  }
}

// Each boundary inside a 256-word page falls on the right address.
TEST_F(MemoryMap, RowEdgesInsidePages) {
  make("73521");
  set_mode(0);
  EXPECT_EQ(resolved(SPACE_P, {0x3F, 0x40}), (spaces{SPACE_PR, SPACE_PI}));
  set_mode(2);
  EXPECT_EQ(resolved(SPACE_X, {0xFFBF, 0xFFC0}), (spaces{SPACE_XE, SPACE_XI}));
  make("73583");
  EXPECT_EQ(row(find_memory_region(SPACE_PI, 0x20FF)).high, 0x20FFu);
  EXPECT_EQ(row(find_memory_region(SPACE_PI, 0x2100)).low, 0x2100u);
  EXPECT_EQ(row(find_memory_region(SPACE_XI, 0xFF7F)).low, 0u);  // no row holds it
  EXPECT_EQ(row(find_memory_region(SPACE_XI, 0xFF80)).low, 0xFF80u);
}

// The tables follow the type's index of first rows: a space indexed to
// another first row is looked up from that row, and back again.
TEST_F(MemoryMap, LookupsFollowTheFirstRowIndex) {
  make("73521");
  const int xi = find_memory_region(SPACE_XI, 0x10);
  EXPECT_EQ(row(xi).space, SPACE_XI);
  cur_type->first_region[SPACE_XI] = 0;  // the generic p row, a single row
  EXPECT_EQ(find_memory_region(SPACE_XI, 0x10), 0);
  index_memory_regions();
  EXPECT_EQ(find_memory_region(SPACE_XI, 0x10), xi);
}

TEST_F(MemoryMap, DisabledRowsReadZeroAndIgnoreWrites) {
  make("73583");
  for (uint32_t a : {0x2100u, 0x3000u, 0x3FFFu}) {
    write(SPACE_PI, a, 0x1234);
    int result = -1;
    EXPECT_EQ(read(SPACE_PI, a, &result), 0u) << a;
    EXPECT_EQ(result, 0) << a;
  }
  // The generic space reaches the same disabled row in mode 2.
  set_mode(2);
  write(SPACE_P, 0x3000, 0x55);
  int result = -1;
  EXPECT_EQ(read(SPACE_P, 0x3000, &result), 0u);
  EXPECT_EQ(result, 0);
  // Its neighbour below is an ordinary row.
  write(SPACE_PI, 0x20FF, 0x4321);
  EXPECT_EQ(read(SPACE_PI, 0x20FF), 0x4321u);
}

TEST_F(MemoryMap, OutsideRowsReadZero) {
  make("73521");
  int result = -1;
  EXPECT_EQ(read(SPACE_PI, 0x800, &result), 0u);
  EXPECT_EQ(result, 0);
  write(SPACE_XI, 0x900, 7);  // ignored
  EXPECT_EQ(read(SPACE_XI, 0x900, &result), 0u);
  EXPECT_EQ(result, 0);
}

TEST_F(MemoryResolve, ProgramSpaceByMode) {
  make("73521");
  write(SPACE_PI, 0x20, 0xAAAA);
  write(SPACE_PE, 0x20, 0x5555);
  // Modes 0 and 1 read bootstrap word 32.
  const uint32_t by_mode[] = {0x1538, 0x1538, 0xAAAA, 0x5555};
  for (uint32_t mode = 0; mode < 4; ++mode) {
    set_mode(mode);
    EXPECT_EQ(read(SPACE_P, 0x20), by_mode[mode]) << "mode " << mode;
  }
  set_mode(0);
  EXPECT_EQ(resolved(SPACE_P, {0x3F, 0x40, 0x800}), (spaces{SPACE_PR, SPACE_PI, SPACE_PE}));
  set_mode(2);
  EXPECT_EQ(resolved(SPACE_P, {0x7FF, 0x800}), (spaces{SPACE_PI, SPACE_PE}));
  // Only bits 0-1 choose the program space.
  set_mode(0x4 | 0x8);
  EXPECT_EQ(mem_resolve_space(SPACE_P, 0x10), SPACE_PR);
  // Concrete spaces pass through.
  EXPECT_EQ(mem_resolve_space(SPACE_XR, 0x10), SPACE_XR);
}

TEST_F(MemoryResolve, ProgramSpaceOnTypesWithOtherMaps) {
  make("73583ram");
  set_mode(0);
  EXPECT_EQ(read(SPACE_P, 13), 0x2400u);  // table B differs from A here
  EXPECT_EQ(read(SPACE_P, 17), 0x3817u);

  make("73547rom");  // no bootstrap row: mode 0 reads the internal rom
  set_mode(0);
  EXPECT_EQ(resolved(SPACE_P, {0x20, 0x2FFF, 0x3000}), (spaces{SPACE_PI, SPACE_PI, SPACE_PE}));

  make("73583");
  set_mode(2);  // $3000 is in the disabled row
  EXPECT_EQ(resolved(SPACE_P, {0x150, 0x3000, 0x5000}), (spaces{SPACE_PI, SPACE_PI, SPACE_PE}));
}

TEST_F(MemoryResolve, DataSpaceByModeBit3) {
  make("73583");
  set_mode(0);
  EXPECT_EQ(resolved(SPACE_X, {0x0FFF, 0x1800, 0x3000, 0xFF80}), (spaces{SPACE_XI, SPACE_XR, SPACE_XE, SPACE_XI}));
  set_mode(8);
  EXPECT_EQ(resolved(SPACE_X, {0x10, 0x1800, 0x3000, 0xFF80}), spaces(4, SPACE_XE));

  make("73521");  // no xr row
  set_mode(2);
  EXPECT_EQ(resolved(SPACE_X, {0x1800, 0xFFD0}), (spaces{SPACE_XE, SPACE_XI}));
  write(SPACE_X, 0x10, 0x77);
  EXPECT_EQ(read(SPACE_XI, 0x10), 0x77u);
  set_mode(8);
  write(SPACE_X, 0x10, 0x99);
  EXPECT_EQ(read(SPACE_XE, 0x10), 0x99u);
  EXPECT_EQ(read(SPACE_XI, 0x10), 0x77u);
}

TEST_F(MemoryAccess, WordsAreMaskedTo16Bits) {
  make("73521");
  write(SPACE_XI, 0x10, 0x12345);
  EXPECT_EQ(read(SPACE_XI, 0x10), 0x2345u);
  write(SPACE_XE, 0x10, 0xFFFF0001);
  EXPECT_EQ(read(SPACE_XE, 0x10), 0x0001u);
  // Addresses wrap at 0x10000.
  write(SPACE_XI, 0x10011, 0x66);
  EXPECT_EQ(read(SPACE_XI, 0x11), 0x66u);
}

TEST_F(MemoryAccess, BootstrapRowIsWritableThroughTheInterface) {
  make("73521");
  write(SPACE_PR, 0x20, 0x4444);
  EXPECT_EQ(read(SPACE_PR, 0x20), 0x4444u);
  set_mode(0);
  EXPECT_EQ(read(SPACE_P, 0x20), 0x4444u);
}

TEST_F(MemoryAccess, WideReadAndWrite) {
  make("73521");
  write(SPACE_XI, 0x100, 0x12);
  write(SPACE_XI, 0x101, 0x34);
  uint32_t out = 0;
  EXPECT_EQ(mem_read_wide(SPACE_XI, 0x100, &out, 1), 2);
  EXPECT_EQ(out, 0x3412u);
  EXPECT_EQ(mem_read_wide(SPACE_XI, 0x100, &out, 0), 1);
  EXPECT_EQ(out, 0x12u);

  const uint32_t v = 0xABCD;
  EXPECT_EQ(mem_write_wide(SPACE_XI, 0x200, &v, 1), 2);
  EXPECT_EQ(reads(SPACE_XI, {0x200, 0x201}), (words{0xCD, 0xAB}));
  const uint32_t big = 0x1ABCD;
  EXPECT_EQ(mem_write_wide(SPACE_XI, 0x300, &big, 0), 1);
  EXPECT_EQ(read(SPACE_XI, 0x300), 0xABCDu);

  // The second word lies outside the row: the wide read fails.
  write(SPACE_XI, 0x7FF, 0x56);
  EXPECT_EQ(mem_read_wide(SPACE_XI, 0x7FF, &out, 1), 0);
}

TEST_F(MemoryAccess, FillWritesCountWords) {
  make("73521");
  write(SPACE_XI, 0x0F, 1);
  write(SPACE_XI, 0x14, 2);
  const uint32_t v = 0x7777;
  EXPECT_EQ(mem_fill(SPACE_XI, 0x10, 4, &v), 1);
  EXPECT_EQ(reads(SPACE_XI, {0x0F, 0x10, 0x11, 0x12, 0x13, 0x14}), (words{1, 0x7777, 0x7777, 0x7777, 0x7777, 2}));
  // Across the top of the space.
  EXPECT_EQ(mem_fill(SPACE_PE, 0xFFFF, 2, &v), 1);
  EXPECT_EQ(reads(SPACE_PE, {0xFFFF, 0, 1}), (words{0x7777, 0x7777, 0}));
}

TEST_F(MemoryAccess, OtherDeviceAndBackAgain) {
  make("73583", 3);
  write(SPACE_XR, 0x1000, 0x3333);
  make("73521", 0);
  device_inst* const zero = cur_inst;

  uint32_t out = 1;
  EXPECT_EQ(read_device_memory(3, SPACE_XR, 0x1000, &out), 1);
  EXPECT_EQ(out, 0x3333u);
  EXPECT_EQ(cur_device, 0);
  EXPECT_EQ(cur_inst, zero);

  const uint32_t v = 0x4444;
  EXPECT_EQ(write_device_memory(3, SPACE_XI, 0x10, &v), 1);
  EXPECT_EQ(fill_device_memory(3, SPACE_XI, 0x20, 2, &v), 1);
  EXPECT_EQ(cur_inst, zero);
  EXPECT_EQ(read(SPACE_XI, 0x10), 0u);  // device 0 untouched
  EXPECT_EQ(read_device_memory(3, SPACE_XI, 0x21, &out), 1);
  EXPECT_EQ(out, 0x4444u);

  out = 9;
  EXPECT_EQ(read_device_memory(5, SPACE_XI, 0x10, &out), 0);  // empty slot
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(write_device_memory(5, SPACE_XI, 0x10, &v), 0);
  EXPECT_EQ(read_device_memory(-1, SPACE_XI, 0x10, &out), 0);
  EXPECT_EQ(cur_inst, zero);
}

TEST_F(MemoryLog, ReachesTheRowsThatContainTheAccess) {
  make("73521");
  const int p = find_memory_region(SPACE_P, 0x10);
  const int pe = find_memory_region(SPACE_PE, 0x10);
  const int pi = find_memory_region(SPACE_PI, 0x10);
  const int pr = find_memory_region(SPACE_PR, 0x10);
  auto& logs = cur_state->region_logs;
  const auto before = logs;  // device reset may already have logged accesses
  auto grew = [&](int row, bool reads) {
    const access_log& now = reads ? logs[row].reads : logs[row].writes;
    const access_log& was = reads ? before[row].reads : before[row].writes;
    return now.run_count - was.run_count;
  };
  auto newest = [](const access_log& log) { return log.address[log.ring_index]; };

  note_memory_access(SPACE_PI, 0x10, 1, 0x80000);
  EXPECT_EQ(grew(pi, true), 1u);
  EXPECT_EQ(grew(p, true), 1u);  // the generic row sees it too
  EXPECT_EQ(grew(pe, true), 0u);
  EXPECT_EQ(grew(pr, true), 0u);
  EXPECT_EQ(grew(pi, false), 0u);
  EXPECT_EQ(logs[pi].reads.ring_index, (before[pi].reads.ring_index + 1) % ACCESS_RING);
  EXPECT_EQ(newest(logs[pi].reads), 0x10u);
  EXPECT_EQ(logs[pi].reads.attribute[logs[pi].reads.ring_index], 0x80000u);

  // Outside the concrete row's range only the generic row logs it.
  note_memory_access(SPACE_PI, 0x900, 1, 0);
  EXPECT_EQ(grew(pi, true), 1u);
  EXPECT_EQ(grew(p, true), 2u);

  const int io = find_memory_region(SPACE_XI, 0xFFD0);
  const int xi = find_memory_region(SPACE_XI, 0x10);
  const int x = find_memory_region(SPACE_X, 0x10);
  note_periph_write(0xFFD0);
  EXPECT_EQ(grew(io, false), 1u);
  EXPECT_EQ(newest(logs[io].writes), 0xFFD0u);
  EXPECT_EQ(grew(x, false), 1u);
  EXPECT_EQ(grew(xi, false), 0u);
  EXPECT_EQ(grew(io, true), 0u);
}

TEST_F(MemoryLog, RingWrapsAfterSixteen) {
  make("73521");
  const int xi = find_memory_region(SPACE_XI, 0);
  cur_state->region_logs[xi] = region_access_log{};
  for (uint32_t i = 1; i <= 17; ++i) note_memory_access(SPACE_XI, i, 0, i);
  const access_log& log = cur_state->region_logs[xi].writes;
  EXPECT_EQ(log.run_count, 17u);
  EXPECT_EQ(instr_accesses(*cur_state, log), 17u);
  EXPECT_EQ(log.ring_index, 1u);
  // The 17th overwrote the 1st.
  EXPECT_EQ((words{log.address[0], log.address[1], log.address[15]}), (words{16, 17, 15}));
  EXPECT_EQ(log.attribute[1], 17u);
}

// The per-instruction counts start over at each end without being cleared,
// also where the device's instruction epoch wraps: a count from long ago
// must not come back when the epoch reaches its stamp again.
TEST_F(MemoryLog, InstructionCountsStartOverAtEveryEndAndAcrossTheEpochsWrap) {
  make("73521");
  const int xi = find_memory_region(SPACE_XI, 0);
  const int x = find_memory_region(SPACE_X, 0);
  device_state& st = *cur_state;
  const access_log& reads = st.region_logs[xi].reads;
  const access_log& writes = st.region_logs[xi].writes;
  const access_log& generic = st.region_logs[x].reads;
  struct step {
    uint32_t epoch_before;  // 0: as the previous step left it
    int reads, writes;      // accesses noted, then counted
    uint32_t run_reads;     // reads since the log was emptied
  };
  const step steps[] = {
      {1, 3, 1, 3},           // epoch 1: three reads, a write
      {0, 0, 0, 3},           // the next instruction: nothing yet
      {0, 2, 0, 5},
      {0xFFFFFFFFu, 0, 0, 6},  // a read stamped 1 long ago; the epoch wraps to 1 at this end
      {0, 1, 2, 7},
  };
  st.region_logs[xi] = region_access_log{};
  st.region_logs[x] = region_access_log{};
  for (const step& s : steps) {
    SCOPED_TRACE(testing::Message() << "epoch " << st.instr_epoch << " -> " << s.epoch_before);
    if (s.epoch_before != 0) st.instr_epoch = s.epoch_before;
    if (s.epoch_before == 0xFFFFFFFFu) {
      // Stamp the logs with 1, as if from an instruction 2^32 ends back.
      st.instr_epoch = 1;
      note_memory_access(SPACE_XI, 7, 1, 0);
      st.instr_epoch = 0xFFFFFFFFu;
    }
    for (int k = 0; k < s.reads; ++k) note_memory_access(SPACE_XI, 0x10 + k, 1, 0);
    for (int k = 0; k < s.writes; ++k) note_memory_access(SPACE_XI, 0x20 + k, 0, 0);
    if (s.epoch_before != 0xFFFFFFFFu) {
      EXPECT_EQ(instr_accesses(st, reads), static_cast<uint32_t>(s.reads));
      EXPECT_EQ(instr_accesses(st, writes), static_cast<uint32_t>(s.writes));
      EXPECT_EQ(instr_accesses(st, generic), static_cast<uint32_t>(s.reads));  // the generic row too
    }
    EXPECT_EQ(reads.run_count, s.run_reads);
    advance_instr_epoch(st);
    EXPECT_NE(st.instr_epoch, 0u);
    EXPECT_EQ(instr_accesses(st, reads), 0u);
    EXPECT_EQ(instr_accesses(st, writes), 0u);
    EXPECT_EQ(instr_accesses(st, generic), 0u);
  }
}

// A peripheral register's write reaches the rows a search of the map
// finds for the address (the I/O page's rows are kept per type): on every
// type, the types taken in turn, every I/O address and some below.
TEST_F(MemoryLog, PeripheralWritesReachTheRowsTheMapSearchFinds) {
  const char* const types[] = {"73521", "73583", "73547", "73583ram", "73547rom", "73521"};
  const auto same = [](const access_log& a, const access_log& b) {
    return a.run_count == b.run_count && a.ring_index == b.ring_index && a.instr_count == b.instr_count &&
           a.instr_epoch == b.instr_epoch && std::equal(std::begin(a.address), std::end(a.address), b.address) &&
           std::equal(std::begin(a.attribute), std::end(a.attribute), b.attribute);
  };
  for (const char* type : types) {
    SCOPED_TRACE(type);
    make(type, 1);
    make(type, 0);
    std::vector<uint32_t> addresses = {0x0, 0x10, 0xFEFF};
    for (uint32_t a = 0xFF00; a <= 0xFFFF; ++a) addresses.push_back(a);
    uint32_t noted = 0;
    for (uint32_t a : addresses) {
      make_device_current(0);
      note_periph_write(a);
      const std::vector<region_access_log> cached = cur_state->region_logs;
      make_device_current(1);
      note_memory_access(SPACE_XI, a, 0, 0);
      const std::vector<region_access_log>& searched = cur_state->region_logs;
      ASSERT_EQ(cached.size(), searched.size());
      for (std::size_t r = 0; r < cached.size(); ++r) {
        EXPECT_TRUE(same(cached[r].writes, searched[r].writes)) << "row " << r << " address " << a;
        EXPECT_TRUE(same(cached[r].reads, searched[r].reads)) << "row " << r << " address " << a;
        noted += cached[r].writes.run_count;
      }
    }
    EXPECT_GT(noted, 256u);
    free_all_devices();
  }
}

}  // namespace

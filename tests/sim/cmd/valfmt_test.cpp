// Interval maps, memory and stream words by radix, the display radix of
// memory addresses and the device-addressed memory routines.
#include <string>
#include <vector>

#include "expr_fixture.h"
#include "sim/expr/rangemap.h"
#include "sim/expr/valfmt.h"

namespace {

using values = std::vector<uint32_t>;
// The map's values at each of the addresses.
values values_at(const range_map& m, std::initializer_list<uint32_t> addresses) {
  values out;
  for (uint32_t a : addresses) out.push_back(range_map_get(m, a));
  return out;
}

}  // namespace

TEST(RangeMap, SetSplitMergeAndWrap) {
  range_map m;
  EXPECT_EQ(range_map_get(m, 0x1234), 0u);

  range_map_set(m, 0x10, 0x20, 0xFFFF, 2);
  EXPECT_EQ(values_at(m, {0x0F, 0x10, 0x20, 0x21}), (values{0, 2, 2, 0}));
  EXPECT_EQ(m.ranges.size(), 3u);

  range_map_set(m, 0x21, 0x30, 0xFFFF, 2);  // adjoins: merged
  ASSERT_EQ(m.ranges.size(), 3u);
  EXPECT_EQ(m.ranges[1].low, 0x10u);
  EXPECT_EQ(m.ranges[1].high, 0x30u);

  range_map_set(m, 0x18, 0x18, 0xFFFF, 5);  // splits the range
  EXPECT_EQ(m.ranges.size(), 5u);
  EXPECT_EQ(values_at(m, {0x17, 0x18, 0x19}), (values{2, 5, 2}));

  range_map_set(m, 0x31, 0x40, 0xFFFF, 3);  // a different value stays apart
  EXPECT_EQ(m.ranges.size(), 6u);

  range_map_set(m, 0x08, 0x40, 0xFFFF, 0);  // back to one range
  ASSERT_EQ(m.ranges.size(), 1u);
  EXPECT_EQ(m.ranges[0].low, 0u);
  EXPECT_EQ(m.ranges[0].high, 0xFFFFu);

  range_map_set(m, 0xFFF0, 0x000F, 0xFFFF, 1);  // wraps over the top
  EXPECT_EQ(values_at(m, {0xFFEF, 0xFFF0, 0xFFFF, 0, 0xF, 0x10}), (values{0, 1, 1, 1, 1, 0}));

  range_map_set(m, 0, 0xFFFF, 0xFFFF, 4);
  EXPECT_EQ(m.ranges.size(), 1u);
  EXPECT_EQ(range_map_get(m, 0x8000), 4u);

  range_map_clear(m);
  EXPECT_EQ(range_map_get(m, 0x8000), 0u);
}

TEST(RangeMap, CoversTheWholeMaskAndStaysSorted) {
  range_map m;
  range_map_set(m, 0x300, 0x3FF, 0xFFFF, 1);
  range_map_set(m, 0x100, 0x1FF, 0xFFFF, 2);
  range_map_set(m, 0x1F0, 0x30F, 0xFFFF, 3);
  uint32_t next = 0;
  for (const range_entry& e : m.ranges) {
    EXPECT_EQ(e.low, next);
    EXPECT_LE(e.low, e.high);
    next = e.high + 1;
  }
  EXPECT_EQ(next, 0x10000u);
  EXPECT_EQ(values_at(m, {0x1EF, 0x1F0, 0x30F, 0x310}), (values{2, 3, 3, 1}));
}

TEST(StreamWord, EveryRadix) {
  EXPECT_EQ(format_stream_word(0, 0, RADIX_BIN, 5), "0000000000000101");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_BIN, 0x8001), "1000000000000001");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_DEC, 0xFFFF), "-0001");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_DEC, 0x7FFF), "32767");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_DEC, 12), "00012");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_FRAC, 0x4000), " 0.5000000");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_FRAC, 0x8000), "-1.0000000");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_HEX, 0x5), "0005");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_HEX, 0xBEEF), "beef");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_UNS, 0xFFFF), "65535");
  EXPECT_EQ(format_stream_word(0, 0, RADIX_UNS, 7), "00007");
}

TEST(HexWord, BareFourDigits) {
  EXPECT_EQ(format_hex_word(0x1A), "001a");
  EXPECT_EQ(format_hex_word(0xFFFF), "ffff");
}

class MemoryFormat : public expr_fixture {};

TEST_F(MemoryFormat, EveryRadixOfOneWord) {
  poke(SPACE_X, 0x10, 0x8000);
  poke(SPACE_X, 0x11, 0x4000);
  poke(SPACE_X, 0x12, 0x0005);
  const struct {
    uint32_t address;
    int radix;
    const char* text;
  } cases[] = {
      {0x10, RADIX_DEC, "-32768"},  {0x10, RADIX_UNS, "32768"},    {0x10, RADIX_HEX, "$8000"},
      {0x10, RADIX_BIN, "$8000"},   {0x10, RADIX_FRAC, "-1.0000000"},
      {0x11, RADIX_FRAC, " 0.5000000"}, {0x12, RADIX_DEC, "00005"}, {0x12, RADIX_UNS, "00005"},
      {0x12, RADIX_HEX, "$0005"},
  };
  for (const auto& c : cases) {
    std::string text;
    EXPECT_NE(format_memory_word(SPACE_X, c.address, c.radix, text), 0);
    EXPECT_EQ(text, c.text) << c.address << " radix " << c.radix;
  }
}

TEST_F(MemoryFormat, UnreadableAddressStillFormats) {
  std::string text = "unchanged";
  // Internal program memory of this type ends at $7ff.
  EXPECT_EQ(format_memory_word(SPACE_PI, 0x900, RADIX_HEX, text), 0);
  EXPECT_EQ(text, "$0000");
}

TEST_F(MemoryFormat, DisplayRadixByAddress) {
  const int p = row_named("p"), pi = row_named("pi"), x = row_named("x"), xi = row_named("xi");
  EXPECT_EQ(memory_radix_at(p, 0x15), 0);

  set_memory_radix(p, 0x10, 0x20, RADIX_FRAC);  // the generic row and its concrete rows
  EXPECT_EQ(memory_radix_at(p, 0x15), RADIX_FRAC);
  EXPECT_EQ(memory_radix_at(pi, 0x15), RADIX_FRAC);
  EXPECT_EQ(memory_radix_at(p, 0x21), 0);
  EXPECT_EQ(memory_radix_at(x, 0x15), 0);  // other spaces untouched

  set_memory_radix(xi, 0x100, 0x100, RADIX_UNS);  // concrete row only
  EXPECT_EQ(memory_radix_at(x, 0x100), RADIX_UNS);  // x:$100 is internal memory
  EXPECT_EQ(cur_state->region_logs[x].radix_map.ranges.size(), 0u);

  set_memory_radix(x, 0xFFF0, 0x000F, RADIX_DEC);  // wraps
  for (const auto& [a, radix] : {std::pair<uint32_t, int>{0xFFF8, RADIX_DEC}, {0x5, RADIX_DEC}, {0x10, 0}, {0x800, 0}})
    EXPECT_EQ(memory_radix_at(x, a), radix) << a;

  EXPECT_EQ(memory_radix_at(-1, 0), 0);
  EXPECT_EQ(memory_radix_at(cur_type->region_count, 0), 0);
}

TEST_F(MemoryFormat, RowSpaceByName) {
  int space = -1;
  EXPECT_EQ(region_space_by_name(0, "X", &space), 1);
  EXPECT_EQ(space, SPACE_X);
  EXPECT_EQ(region_space_by_name(0, "pe", &space), 1);
  EXPECT_EQ(space, SPACE_PE);
  EXPECT_EQ(region_space_by_name(0, "zz", &space), 0);
  EXPECT_EQ(region_space_by_name(7, "x", &space), 0);  // no such device
  EXPECT_EQ(cur_device, 0);
}

TEST_F(MemoryFormat, WriteBlockOnAnotherDevice) {
  ASSERT_EQ(create_device(1, "73547"), 1);
  ASSERT_TRUE(make_device_current(0));
  const uint32_t words[3] = {0x1111, 0x2222, 0x3333};
  EXPECT_EQ(write_device_block(1, SPACE_X, 0x40, 3, words), 1);
  EXPECT_EQ(cur_device, 0);
  EXPECT_EQ(cur_inst, device_insts[0]);
  uint32_t w = 0;
  ASSERT_TRUE(read_device_memory(1, SPACE_X, 0x42, &w));
  EXPECT_EQ(w, 0x3333u);
  ASSERT_TRUE(make_device_current(0));
  ASSERT_TRUE(mem_read_word(SPACE_X, 0x42, &w));
  EXPECT_EQ(w, 0u);  // device 0 untouched
  EXPECT_EQ(write_device_block(9, SPACE_X, 0x40, 3, words), 0);
  EXPECT_EQ(cur_device, 0);
}

// Register values by radix and width, the display marks, the display
// layouts and the display and disassemble commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/expr/rangemap.h"
#include "sim/cmd/regfmt.h"
#include "sim/engine/device/display_layouts.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"

namespace {

class display_cmd : public cmd_fixture {
 protected:
  static void run(const char* line) { execute_command_line(0, line); }

  static std::string value(const char* name, int radix) {
    int row = 0, reg = 0;
    EXPECT_EQ(lookup_register(0, name, &row, &reg), 1) << name;
    std::string out;
    EXPECT_EQ(format_register_value(row, reg, radix, out), 1) << name;
    return out;
  }
  static void set(const char* name, std::vector<uint32_t> words) {
    int row = 0, reg = 0;
    ASSERT_EQ(lookup_register(0, name, &row, &reg), 1) << name;
    words.resize(3);
    ASSERT_EQ(write_register(0, row, reg, words.data()), 1) << name;
  }
  static uint32_t& attr(const char* name) {
    int row = 0, reg = 0;
    EXPECT_EQ(lookup_register(0, name, &row, &reg), 1) << name;
    return periph_attrs(row)[reg];
  }
  static int region_named(const char* name) {
    for (int r = 0; r < cur_type->region_count; ++r)
      if (std::string(cur_type->regions[r].name) == name) return r;
    return -1;
  }
  static range_map& map_of(int region, int map) {
    return cur_state->region_logs[static_cast<std::size_t>(region)].maps[map];
  }
  // The map's values at each of the addresses.
  static std::vector<uint32_t> values_at(const range_map& map, std::initializer_list<uint32_t> addresses) {
    std::vector<uint32_t> out;
    for (uint32_t a : addresses) out.push_back(range_map_get(map, a));
    return out;
  }
  static uint32_t shown(const char* name) { return attr(name) & ATTR_SHOWN; }
  static uint32_t mode(const char* name) { return attr(name) & ATTR_DISPLAY_BITS; }
  static void set_mode(const char* name, uint32_t bits) { attr(name) = (attr(name) & ~ATTR_DISPLAY_BITS) | bits; }
  // Runs a line; the session lines it printed.
  std::vector<std::string> lines_of(const char* line) {
    const std::size_t mark = output().size();
    run(line);
    return lines_since(mark);
  }
  // Session lines printed since the mark.
  std::vector<std::string> lines_since(std::size_t mark) {
    const std::string text = output().substr(mark);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }
};

// --- Register values ------------------------------------------------------------

TEST_F(display_cmd, RegisterValuesByWidthAndRadix) {
  using W = std::vector<uint32_t>;
  const W acc = {0x789A, 0x3456, 0x12}, half = {0, 0x4000, 0}, min = {0x8000}, ext = {0xFF};
  const W pair = {0x0000, 0x0001}, count = {0xE240, 0x0001};  // 123456
  const struct {
    const char* name;
    W words;
    int radix;
    const char* text;
  } cases[] = {
      // The accumulator shows its three parts in every radix; 0x123456789a =
      // 78187493530, printed as the billions then nine digits.
      {"a", acc, RADIX_HEX, "$123456789a"}, {"a", acc, RADIX_BIN, "$123456789a"},
      {"a", acc, RADIX_DEC, "000078187493530"}, {"a", acc, RADIX_UNS, "000078187493530"},
      {"b", half, RADIX_FRAC, " 0.5000000000"},
      // One-word registers use their width; the 8-bit extension is
      // sign-extended from its own.
      {"x0", min, RADIX_FRAC, "-1.00000"}, {"x0", min, RADIX_HEX, "$8000"},
      {"x0", min, RADIX_DEC, "-32768"}, {"x0", min, RADIX_UNS, "32768"},
      {"a2", ext, RADIX_HEX, "$ff"}, {"a2", ext, RADIX_DEC, "-01"}, {"a2", ext, RADIX_UNS, "255"},
      // Pairs and counters print as one number.
      {"x", pair, RADIX_HEX, "$00010000"}, {"x", pair, RADIX_DEC, "000000000065536"},
      {"cyc", count, RADIX_UNS, "123456"}, {"cyc", count, RADIX_HEX, "$1e240"},
      {"cyc", count, RADIX_FRAC, " 0.00006"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " radix " + std::to_string(c.radix));
    set(c.name, c.words);
    EXPECT_EQ(value(c.name, c.radix), c.text);
  }
}

TEST_F(display_cmd, UnreadableRegisterIsReported) {
  std::string out;
  EXPECT_EQ(format_register_value(cur_type->periph_count, 0, RADIX_HEX, out), 0);
  EXPECT_EQ(std::string(last_error_text()), "Error reading register");
}

TEST_F(display_cmd, DoubleInExponentFormFitsItsWidth) {
  EXPECT_EQ(format_double_e("%12.12s", 1.5), "1.5000000000");
  EXPECT_EQ(format_double_e("%22.22s", -0.25), "-2.5000000000000000000");
  EXPECT_EQ(format_double_e("%22.22s", 0.0), "0.0000000000000000000e");
  EXPECT_EQ(format_double_e("%12.12s", -0.0), "-0.000000000");
  EXPECT_EQ(format_double_e("%12.12s", 1.0 / 0.0), "         Inf");
  EXPECT_EQ(format_double_e("%12.12s", -1.0 / 0.0), "        -Inf");
}

// --- Layouts ---------------------------------------------------------------------

// The register names of a row's layout, "|" ending a line, "_" an empty cell.
std::string layout_names(const display_layout_set& set, const device_type& type, int row) {
  std::string names;
  const display_layout& layout = set.periphs[row];
  for (int i = 0; i < layout.count; ++i) {
    const display_slot& s = layout.slots[i];
    if (s.reg == SLOT_LINE_END) names += "|";
    else if (s.reg == SLOT_BLANK) names += "_ ";
    else names += std::string(type.periphs[row].cls->regs[s.reg].name) + " ";
  }
  return names;
}

TEST_F(display_cmd, LayoutsNameTheRegistersOfEachType) {
  const std::string lower =
      "_ x1 x0 r3 n3 m3 |_ y1 y0 r2 n2 m2 |a2 a1 a0 r1 n1 m1 |b2 b1 b0 r0 n0 m0 |";
  const auto& l521 = *static_cast<const display_layout_set*>(family_descs[0]->display_layouts);
  const auto& l547 = *static_cast<const display_layout_set*>(family_descs[1]->display_layouts);
  const auto& l583 = *static_cast<const display_layout_set*>(family_descs[4]->display_layouts);
  EXPECT_EQ(l521.periph_count, 8);
  EXPECT_EQ(l547.periph_count, 9);
  EXPECT_EQ(l583.periph_count, 9);
  EXPECT_EQ(layout_names(l521, *device_types[0], 0),
            "x y |a b |" + lower + "pc sr omr ipr bcr |la lc ssh ssl sp |");
  EXPECT_EQ(layout_names(l547, *device_types[1], 0),
            "x y |a b |" + lower + "pc sr omr ipr bcr plcr |la lc ssh ssl sp |");
  EXPECT_EQ(layout_names(l583, *device_types[4], 0),
            "x y |a b |_ pagur2 paguc2 |_ pagur1 paguc1 |_ apasam _ pagur0 paguc0 |" + lower +
                "pc sr omr ipr bcr |la lc ssh ssl sp |pcr0 pcr1 ipr2 bcr2 |");
  EXPECT_EQ(layout_names(l547, *device_types[1], 1), "crx ctx cocr cosr |");
  EXPECT_EQ(layout_names(l583, *device_types[4], 1), "crx ctx ccr1 ccr0 cosr |");
  EXPECT_EQ(layout_names(l521, *device_types[0], 1),
            "htx hrx hsr hcr rxh rxl |icr cvr isr ivr txh txl |");
  EXPECT_EQ(layout_names(l521, *device_types[0], 2), "rx cra ssr rmh rml |tx crb tsr tmh tml |");
  EXPECT_EQ(layout_names(l583, *device_types[4], 3), "rx cra ssr |tx crb tsr |");
  EXPECT_EQ(layout_names(l521, *device_types[0], 4), "tcr tctr tpr tcpr |");
  EXPECT_EQ(layout_names(l521, *device_types[0], 5), "pbc pbddr pbd |");
  EXPECT_EQ(layout_names(l521, *device_types[0], 6), "pcc pcddr pcd |");
  EXPECT_EQ(layout_names(l521, *device_types[0], 7), "cyc ictr cnt1 cnt2 cnt3 cnt4 |");
}

TEST_F(display_cmd, SuffixedRowsShowTheirRegisterNamesWithTheSuffix) {
  const std::vector<std::string> lines = lines_of("display rx1 cra0");
  ASSERT_EQ(lines.size(), 4u);
  // rx (13, 3) then cra (13, 5) on the first line of each serial port.
  EXPECT_EQ(lines[1], "              cra0=$0000");
  EXPECT_EQ(lines[2], "rx1=$0000");
}

// --- Marks -----------------------------------------------------------------------

TEST_F(display_cmd, RegisterModesFollowReadsAndChanges) {
  set_mode("r0", ATTR_DISPLAY_READ);
  set_mode("r1", ATTR_DISPLAY_WRITE);
  set_mode("r2", ATTR_DISPLAY_WRITE);
  set_mode("r3", 0);
  attr("r0") |= ATTR_READ_SINCE;
  attr("r1") |= ATTR_CHANGED;
  attr("r2") |= ATTR_READ_SINCE;
  refresh_register_marks(0);
  EXPECT_NE(shown("r0"), 0u);
  EXPECT_NE(shown("r1"), 0u);
  EXPECT_EQ(shown("r2"), 0u);  // read, but shown only when written
  EXPECT_EQ(shown("r3"), 0u);
  EXPECT_NE(shown("pc"), 0u);  // always
  EXPECT_EQ(shown("eof"), 0u);  // fixed display

  // A fixed register's mark is left as it is, whatever its switches say.
  attr("eof") |= ATTR_SHOWN;
  attr("eof") &= ~(ATTR_DISPLAY_ON | ATTR_DISPLAY_READ | ATTR_DISPLAY_WRITE);
  attr("r3") |= ATTR_SHOWN;
  refresh_register_marks(0);
  EXPECT_NE(shown("eof"), 0u);
  EXPECT_EQ(shown("r3"), 0u);
  attr("eof") = (attr("eof") & ~ATTR_SHOWN) | ATTR_DISPLAY_ON;
  refresh_register_marks(0);
  EXPECT_EQ(shown("eof"), 0u);
}

TEST_F(display_cmd, MemoryMarksComeFromSwitchesAndLoggedAccesses) {
  run("display rw x:0..3");
  run("display w x:8..9");
  run("display on x:$20");
  const int xi = region_named("xi");
  note_memory_access(SPACE_XI, 1, 1, 0);  // read, rw: shown
  note_memory_access(SPACE_XI, 2, 0, 0);  // written, rw: written
  note_memory_access(SPACE_XI, 8, 1, 0);  // read, w: not shown
  note_memory_access(SPACE_XI, 9, 0, 0);  // written, w: written
  refresh_memory_marks();
  // Addresses 0, 1, 2, 8, 9 and $20: "on" belongs to the row named, the generic x.
  EXPECT_EQ(values_at(map_of(xi, MAP_HIGHLIGHT), {0, 1, 2, 8, 9, 0x20}),
            (std::vector<uint32_t>{0, 1, 2, 0, 2, 0}));
  EXPECT_EQ(range_map_get(map_of(region_named("x"), MAP_HIGHLIGHT), 0x20), 1u);
}

TEST_F(display_cmd, DisplayRangeWrapsOverTheTopOfTheSpace) {
  run("display on p:$fff0..$000f");
  EXPECT_EQ(values_at(map_of(region_named("p"), MAP_DISPLAY), {0xFFEF, 0xFFF0, 0xFFFF, 0, 0xF, 0x10}),
            (std::vector<uint32_t>{0, 1, 1, 1, 1, 0}));
}

TEST_F(display_cmd, DisplayOnSetsRegistersAlwaysAndMemoryReadOrWrite) {
  run("display off");
  run("display on");
  EXPECT_EQ(mode("r0"), ATTR_DISPLAY_ON);
  EXPECT_EQ(mode("tcr"), ATTR_DISPLAY_ON);
  const auto display_at = [](const char* row, uint32_t a) { return range_map_get(map_of(region_named(row), MAP_DISPLAY), a); };
  EXPECT_EQ(display_at("xi", 0x10), 3u);
  EXPECT_EQ(display_at("pe", 0xFFFF), 3u);
  EXPECT_EQ(display_at("p", 0x10), 0u);
  EXPECT_EQ(display_at("x", 0x10), 0u);
  run("display r r0..r1");
  EXPECT_EQ(mode("r0"), ATTR_DISPLAY_READ);
  EXPECT_EQ(mode("r1"), ATTR_DISPLAY_READ);
  EXPECT_EQ(mode("r2"), ATTR_DISPLAY_ON);
  run("display rw io");
  EXPECT_EQ(mode("tcr"), ATTR_DISPLAY_READ | ATTR_DISPLAY_WRITE);
  EXPECT_EQ(mode("pc"), ATTR_DISPLAY_ON);
}

TEST_F(display_cmd, DisplayOfARegisterMarksItWithoutChangingItsMode) {
  set_mode("r0", ATTR_DISPLAY_WRITE);
  const std::vector<std::string> lines = lines_of("display r0");
  EXPECT_EQ(mode("r0"), ATTR_DISPLAY_WRITE);
  EXPECT_NE(shown("r0"), 0u);
  EXPECT_EQ(shown("r1"), 0u);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], std::string(41, ' ') + "r0=$0000");
  EXPECT_EQ(lines[2], "p:$e000 0000      nop");
}

TEST_F(display_cmd, DisplayParsesItsForms) {
  EXPECT_EQ(refusal("display v x"), "Too many parameters");
  EXPECT_TRUE(accepted("display v"));
  EXPECT_TRUE(accepted("display all"));
  EXPECT_TRUE(accepted("display on core host ssi0 count"));
  EXPECT_TRUE(accepted("display w r0..r3 io x:0..100"));
  // The last reader tried, the memory location's, gives its message.
  EXPECT_EQ(refusal("display on nosuch"), "Invalid expression");
  EXPECT_EQ(refusal("disassemble p:0 p:1"), "Too many parameters");
  EXPECT_TRUE(accepted("disassemble b p:$c000"));
  EXPECT_TRUE(accepted("disassemble"));
}

// --- disassemble -----------------------------------------------------------------

TEST_F(display_cmd, DisassembleWithoutArgumentsGoesOnUntilARun) {
  run("change pc $100");
  std::vector<std::string> lines = lines_of("disassemble");
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[1], "p:$0100 0000      nop");
  EXPECT_EQ(lines[20], "p:$0113 0000      nop");
  lines = lines_of("disassemble");
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[1], "p:$0114 0000      nop");
  EXPECT_EQ(lines[20], "p:$0127 0000      nop");
  reset_run_flags();  // as every run starts
  lines = lines_of("disassemble");
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[1], "p:$0100 0000      nop");
}

TEST_F(display_cmd, DisassembleCountIsInstructionsWhateverTheirLength) {
  // Two-word jumps at x:$50, $52 and $54, one-word words after them.
  run("change x:$50 $134 x:$52 $134 x:$54 $134");
  const std::vector<std::string> lines = lines_of("disassemble x:$50#10");
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[1], "x:$0050 0134 0000 jmp >$0");
  EXPECT_EQ(lines[3], "x:$0054 0134 0000 jmp >$0");
  EXPECT_EQ(lines[4], "x:$0056 0000      nop");
  EXPECT_EQ(lines[10], "x:$005c 0000      nop");
}

TEST_F(display_cmd, DisassembleStopsOnAnInstructionCoveringTheEnd) {
  run("change p:$10 $134 p:$11 $20");
  const std::vector<std::string> lines = lines_of("disassemble p:$e..$11");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "p:$0010 0134 0020 jmp >$20");
  EXPECT_EQ(cur_state->dis_next, 0x12u);
}

TEST_F(display_cmd, DisabledMemoryIsMarkedAsMissing) {
  ASSERT_EQ(create_device(0, "73583"), 1);
  select_device(0);
  std::string line;
  // 0x2100-0x3fff of the "73583" internal program memory is switched off.
  EXPECT_EQ(format_disassembly_line(SPACE_PI, 0x2100, line, 0), 1);
  EXPECT_EQ(line, "pi:$2100 0000      nop ;*** MEMORY LOCATION DOESN'T EXIST");
}

TEST_F(display_cmd, StreamTagsReachTheGenericRowAndClearByStream) {
  const int x = region_named("x");
  const int xi = region_named("xi");
  const int xe = region_named("xe");
  // A tag on a concrete row shows in every row that includes it: the
  // generic x as well; a tag on the generic row stays there.
  tag_region_address(1, xi, 0x10, 3);
  tag_region_address(0, x, 0x11, 4);
  EXPECT_EQ(range_map_get(map_of(xi, MAP_IN_STREAM), 0x10), 3u);
  EXPECT_EQ(range_map_get(map_of(x, MAP_IN_STREAM), 0x10), 3u);
  EXPECT_EQ(range_map_get(map_of(xe, MAP_IN_STREAM), 0x10), 0u);
  EXPECT_EQ(range_map_get(map_of(x, MAP_OUT_STREAM), 0x11), 4u);
  EXPECT_EQ(range_map_get(map_of(xi, MAP_OUT_STREAM), 0x11), 0u);
  clear_stream_tag(4, 0x10);  // another stream's address: nothing changes
  EXPECT_EQ(range_map_get(map_of(xi, MAP_IN_STREAM), 0x10), 3u);
  clear_stream_tag(3, 0x10);
  EXPECT_EQ(range_map_get(map_of(x, MAP_IN_STREAM), 0x10), 0u);
  EXPECT_EQ(range_map_get(map_of(xi, MAP_IN_STREAM), 0x10), 0u);
  EXPECT_EQ(range_map_get(map_of(x, MAP_OUT_STREAM), 0x11), 4u);
}

}  // namespace

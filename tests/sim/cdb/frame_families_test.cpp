// The frame rules of every family, each selected as a device of that family
// would select it, over a machine of the family's word width made up by
// the test: return addresses by frame code, caller frame and stack
// pointers, words still to be released, saved-register slots, the
// hardware stack under loops, and the walk's bound.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "coff_writer.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "support/test_frontend.h"

namespace {

constexpr uint32_t G = 0x200, BODY = 0x205, PC = 0x210, MAIN = 0x300;
constexpr uint32_t FP = 0x80, SP = 0x90;

struct machine {
  std::map<uint32_t, uint32_t> program, data;
  std::map<std::string, uint32_t> regs;
  std::map<uint32_t, uint32_t> ssh, ssl;  // by stack pointer
};
machine m;

int read_program(uint32_t a, uint32_t* out) {
  *out = m.program.count(a) ? m.program[a] : 0;
  return 1;
}
int read_data(int, uint32_t a, uint32_t* out) {
  *out = m.data.count(a) ? m.data[a] : 0;
  return 1;
}
int read_reg(const char* name, uint32_t* out) {
  const std::string n = name;
  if (n == "ssh" || n == "ssl") {
    auto& stack = n == "ssh" ? m.ssh : m.ssl;
    *out = stack[m.regs["sp"]];
    return 1;
  }
  if (!m.regs.count(n)) return -1;
  *out = m.regs[n];
  return 1;
}
int write_reg(const char* name, uint32_t value) {
  m.regs[name] = value;
  return 1;
}
constexpr frame_machine test_machine = {read_program, read_data, read_reg, write_reg};

class FrameFamilies : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    make_device_current(0);
    m = machine{};
    m.regs = {{"sr", 0}, {"sp", 1}};
    m.ssh[1] = 0x30A;
    m.data = {{FP - 1, 0x305}, {FP - 2, 0x70}, {SP - 2, 0x30C}, {SP - 1, 0x30E}};
    frame_target = &test_machine;
    recorded().clear();
  }
  void TearDown() override {
    frame_target = &device_frame_machine;
    c_debug_reset();
    free_device(0);
  }

  // g (frame code `code`, body at BODY) and main; family selected.
  static void program(int family, int32_t code, std::vector<uint32_t> prologue) {
    test_coff c;
    c.sections = {{".txt", G, 0, 0x20, {0}}};
    c.symbol("Fg", G, 0, 1, 0x24, 2, 1);
    c.aux({0, 0x20, 0, 0, 0, 0, 0, 0});
    c.symbol(".bf", BODY, 0, 1, 0, 101, 1);
    c.aux({0, 0, 0, 0, 0, static_cast<uint32_t>(code), 0, 0});
    c.symbol(".ef", G + 0x1F, 0, 1, 0, 101);
    c.symbol("Fmain", MAIN, 0, 1, 0x24, 2, 1);
    c.aux({0, 0x20, 0, 0, 0, 0, 0, 0});
    c.symbol(".bf", MAIN, 0, 1, 0, 101, 1);
    c.aux({0, 0, 0, 0, 0, 0, 0, 0});
    c.symbol(".ef", MAIN + 0x1F, 0, 1, 0, 101);
    ASSERT_EQ(with_temp_coff(c, [](const char* path) { return read_coff_file(0, path); }), 0) << coff_error_text();
    c_family = c_family_of(family);
    m.program.clear();
    for (uint32_t k = 0; k < prologue.size(); ++k) m.program[G + k] = prologue[k];
  }
};

// A frame save, a push the table knows, and an allocation of three words.
const std::vector<uint32_t> prologue24 = {0x055E3C, 0x445E00, 0x3E0300, 0x22D000, 0x204E00};
const std::vector<uint32_t> prologue32 = {0x0137A07C, 0x2817A000, 0x008001B6, 0x0AEA2000, 0x15B3A000};

TEST_F(FrameFamilies, FrameCodesGiveReturnAddressAndCallerFrame) {
  struct row {
    int32_t code;
    uint32_t ret, next_fp;
  };
  // 0x305/0x70 below the frame pointer, 0x30A on the hardware stack,
  // 0x30C below the prologue's pushes.
  const row rows[] = {
      {-1, 0x305, 0x70}, {19, 0x305, 0x70}, {0, 0x30A, FP},  {1, 0x30A, 0x70}, {4, 0x30A, 0x305},
      {2, 0x30C, FP},    {9, 0x30C, 0},     {40, 0x30C, 0},  {-5, 0x30C, 0},
  };
  for (int family : {709, 710}) {
    for (const row& r : rows) {
      program(family, r.code, family == 709 ? prologue24 : prologue32);
      const uint32_t ret = frame_return_address(PC, FP, SP);
      EXPECT_EQ(ret, r.ret) << family << " code " << r.code;
      EXPECT_EQ(frame_next(PC, FP, SP, ret), r.next_fp) << family << " code " << r.code;
      EXPECT_EQ(frame_next_stack(PC, SP, ret), SP - 5) << family << " code " << r.code;
    }
  }
  // 712: below the stack pointer (no "push_regs"), the hardware stack, the
  // prologue; the caller's frame pointer is its stack pointer (the 709
  // allocation is not one of 712's: two words of prologue).
  for (const row& r : {row{-2, 0x30E, 0}, row{-3, 0x30A, 0}, row{7, 0x30C, 0}}) {
    program(712, r.code, prologue24);
    const uint32_t ret = frame_return_address(PC, FP, SP);
    EXPECT_EQ(ret, r.ret) << "712 code " << r.code;
    EXPECT_EQ(frame_next(PC, FP, SP, ret), SP - 2);
  }
  for (int family : {713, 714}) {
    program(family, 2, {});
    EXPECT_EQ(frame_return_address(PC, FP, SP), 0u);
    EXPECT_EQ(frame_next(PC, FP, SP, 0x30A), 0u);
    EXPECT_EQ(frame_next_stack(PC, SP, 0x30A), 0u);
  }
  EXPECT_TRUE(recorded().errors.empty());
}

TEST_F(FrameFamilies, WordsStillToBeReleasedAndPrologueSizes) {
  struct row {
    int family;
    std::vector<uint32_t> at_pc;
    int32_t adjust;
  };
  const row rows[] = {
      {711, {0x3211, 0x3211, 0x0000}, -2},
      {711, {0x3211, 0x3211, 0x3211, 0x3211}, -3},
      {711, {0x3FDC, 0xFFFE, 0x0000, 0x3611}, -2},
      {711, {0x3FDC, 0x0002, 0x0001, 0x3611}, 0},
      {709, {0x205600}, -1},
      {709, {0x3E0400, 0x000000, 0x204600}, -4},
      {712, {0x3E0400, 0x204600}, -4},
      {712, {0x3E0400, 0x000000, 0x204600}, 0},
      {710, {0x008002B6, 0x00000000, 0x15B1A000}, -5},
      {713, {0x15B5A000, 0x15B5A000}, -2},
  };
  for (const row& r : rows) {
    program(r.family, 2, {});
    for (uint32_t k = 0; k < r.at_pc.size(); ++k) m.program[PC + k] = r.at_pc[k];
    EXPECT_EQ(frame_stack_adjust(PC), r.adjust) << r.family << " first word " << std::hex << r.at_pc[0];
    EXPECT_EQ(frame_stack_adjust(G + 0x20), 0) << "past the function's end";
  }
  struct size_row {
    int family;
    std::vector<uint32_t> prologue;
    int32_t size;
  };
  const size_row sizes[] = {
      {711, {0x3B06, 0x3FDC, 0x0004, 0x0000, 0x3611}, 5},
      {713, {0x01E6, 0x3A06}, 2},
      {709, prologue24, 5},
      {709, {0x3E0300, 0x111111, 0x445E00}, 0},  // an unknown middle word ends the scan
      {712, {0x3E0200, 0x0D1080, 0x445E00, 0x045E16}, 4},  // saving call: 0 + 2 + 1, word after it passed
      {710, prologue32, 5},
  };
  for (const size_row& r : sizes) {
    program(r.family, 2, r.prologue);
    EXPECT_EQ(frame_prologue_size(G), r.size) << r.family;
  }
}

TEST_F(FrameFamilies, SavedRegisterSlots) {
  struct cell {
    const char* name;
    uint32_t slot;
    int space;
  };
  struct row {
    int family;
    std::vector<uint32_t> prologue;
    std::vector<cell> cells;  // the latest save first
  };
  const row rows[] = {
      {711, {0x3B06, 0x3806, 0x3806}, {{"x0", SP - 1, 1}, {"x0", SP - 2, 1}}},
      {713, {0xDA1F, 0x3FDC, 0x0002, 0x0000, 0x3611}, {{"r2", SP - 3, 1}}},
      {709, prologue24, {{"x0", SP - 4, 1}}},
      {712, {0x425E00, 0x6F5E00}, {{"r7", SP - 1, 2}, {"x", SP - 2, 3}}},
      {710, prologue32, {{"d0.l", SP - 4, 2}, {"d1.l", SP - 4, 1}}},
      {714, prologue32, {}},
  };
  for (const row& r : rows) {
    program(r.family, 2, r.prologue);
    const std::vector<frame_saved_reg> got = frame_saved_registers(PC, SP);
    ASSERT_EQ(got.size(), r.cells.size()) << r.family;
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k].name, r.cells[k].name) << r.family << " cell " << k;
      EXPECT_EQ(got[k].slot, r.cells[k].slot) << r.family << " cell " << k;
      EXPECT_EQ(got[k].space, r.cells[k].space) << r.family << " cell " << k;
    }
  }
}

TEST_F(FrameFamilies, HardwareReturnBelowLoopsLeavesTheStackPointer) {
  program(711, 0, {});
  m.regs["sr"] = 0x8000;
  m.regs["sp"] = 5;
  m.ssl[5] = 0x8000;  // an outer loop below this one
  m.ssl[3] = 0;
  m.ssh[1] = 0x311;
  EXPECT_EQ(frame_return_address(PC, FP, SP), 0x311u);
  EXPECT_EQ(m.regs["sp"], 5u);
  // No entry left below the loops: an internal error, and 0.
  m.regs["sp"] = 2;
  m.ssl[2] = 0;
  EXPECT_EQ(frame_return_address(PC, FP, SP), 0u);
  ASSERT_EQ(recorded().errors.size(), 1u);
  EXPECT_NE(recorded().errors[0].find("(file cdbbt.c, line"), std::string::npos) << recorded().errors[0];
}

TEST_F(FrameFamilies, WalksEndAtMainAnOuterPcOrABound) {
  // 713 and 714 know no caller: level 1 sits at pc 0.
  program(713, 2, {});
  m.regs["r0"] = FP;
  m.regs["r6"] = SP;
  cur_inst->pc = PC;
  build_backtrace();
  ASSERT_EQ(frames_count(), 2);
  EXPECT_EQ(frame_at(1)->text, "#1  p:0x0 in ??? ()");
  EXPECT_EQ(frame_current_index(), 0);
  // A return to the same pc with the same pointers ends the walk.
  program(709, 0, {});
  m.ssh[1] = PC;
  build_backtrace();
  EXPECT_EQ(frames_count(), 1);
  // Every level one word lower: the walk stops at its bound.
  program(711, 0, {0x3806});
  m.regs["r2"] = 0x8000;
  build_backtrace();
  EXPECT_EQ(frames_count(), FRAME_LEVEL_MAX);
  // Back at main the walk is over.
  m.ssh[1] = MAIN + 1;
  build_backtrace();
  ASSERT_EQ(frames_count(), 2);
  EXPECT_EQ(frame_at(1)->text, "#1  p:0x301 in main ()");
}

int hook_reads = 0;
constexpr frame_hook_table own_rules = {
    [] { ++hook_reads; },
    [](uint32_t, uint32_t, uint32_t) -> uint32_t { return MAIN + 1; },
    [](uint32_t, uint32_t, uint32_t) -> uint32_t { return 0x77; },
    [](uint32_t, uint32_t, uint32_t, uint32_t) -> uint32_t { return 0x66; },
    nullptr,
    nullptr,
    [] () -> uint32_t { return 0x55; },
    [] () -> uint32_t { return 0x44; },
};

// A device type with frame rules of its own: they replace the family's.
TEST_F(FrameFamilies, TypeHooksReplaceTheFamilyRules) {
  family_desc own = *cur_family;
  own.frame_hooks = &own_rules;
  const family_desc* saved = cur_family;
  cur_family = &own;
  hook_reads = 0;
  program(711, 2, {});
  EXPECT_EQ(hook_reads, 1);
  cur_inst->pc = PC;
  build_backtrace();
  ASSERT_EQ(frames_count(), 2);
  EXPECT_EQ(frame_at(0)->frame_pointer, 0x44u);
  EXPECT_EQ(frame_at(0)->stack_pointer, 0x55u);
  EXPECT_EQ(frame_at(1)->pc, MAIN + 1);
  EXPECT_EQ(frame_at(1)->frame_pointer, 0x66u);
  EXPECT_EQ(frame_at(1)->stack_pointer, 0x77u);
  cur_family = saved;
}

}  // namespace

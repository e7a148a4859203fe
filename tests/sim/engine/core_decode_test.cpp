// The core's decode tables, selector rules and the two decode stages.
#include <vector>

#include "memory_fixture.h"
#include "sim/engine/core/core_decode.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"

namespace {

// ---------------------------------------------------------------------------
// Table lookups.

TEST(DecodeTables, TimingSelectorByModeAndRowOrder) {
  struct {
    uint16_t w;
    int mode;
    bool fast;
    int row;
  } const cases[] = {
      {0x8100, 0, false, 2}, {0x8100, 1, false, 0}, {0x8000, 0, false, 1}, {0xFFFF, 0, false, 2},
      {0x5100, 0, false, 4}, {0x5100, 1, false, 2}, {0x5000, 1, false, 1},
      // 0x1E00 is caught by the wider FA00/1A00 row before FE00/1C00.
      {0x1E00, 0, false, 15}, {0x1C00, 0, false, 16},
      {0x1571, 0, false, 38}, {0x1579, 0, false, 38}, {0x1500, 0, false, 37}, {0x0003, 0, false, 0},
      // Mode 3 gives the idle row whatever the word.
      {0x8100, 3, false, 34}, {0x0003, 3, true, 34},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << std::hex << "word 0x" << c.w << " mode " << c.mode << " fast " << c.fast);
    EXPECT_EQ(timing_lookup(c.w, c.mode, c.fast), c.row);
  }
}

TEST(DecodeTables, FastInterruptFlowWordsGiveTheirFastValues) {
  // 0x381C: flow row F81E/381C, rows 9 and 10.
  EXPECT_EQ(timing_lookup(0x381C, 0, false), 9);
  EXPECT_EQ(timing_lookup(0x381C, 1, false), 10);
  EXPECT_EQ(timing_lookup(0x381C, 0, true), 34);
  EXPECT_EQ(timing_lookup(0x381C, 1, true), 10);  // mode 0 only
  // A non-flow word is unaffected.
  EXPECT_EQ(timing_lookup(0x5100, 0, true), 4);

  // 0x0E00 (do #): flow in every table that has a fast value.
  EXPECT_EQ(exec_attr_lookup(0x0E00, 0, false).attr, 0x00004801u);
  EXPECT_EQ(exec_attr_lookup(0x0E00, 0, false).value, 0x4u);
  EXPECT_EQ(exec_attr_lookup(0x0E00, 0, true).attr, 0u);
  EXPECT_EQ(exec_attr_lookup(0x0E00, 0, true).value, 0u);
  EXPECT_EQ(fetch_ctrl_lookup(0x0E00, 0, false), 0x11);
  EXPECT_EQ(fetch_ctrl_lookup(0x0E00, 1, false), 0x803);
  EXPECT_EQ(fetch_ctrl_lookup(0x0E00, 1, true), 0);
  EXPECT_EQ(instr_flags_lookup(0x2C00, false), 0x2000u);
  EXPECT_EQ(instr_flags_lookup(0x2C00, true), 0u);
  EXPECT_EQ(instr_class_lookup(0x0A00, false), 0x110);
  EXPECT_EQ(instr_class_lookup(0x0A00, true), 0);
}

TEST(DecodeTables, ExecutionAttributesAndSequences) {
  EXPECT_EQ(exec_attr_lookup(0x0000, 0, false).attr, 0x0060038Du);
  EXPECT_EQ(exec_attr_lookup(0x0001, 0, false).value, 0xDu);
  EXPECT_EQ(exec_attr_lookup(0x0005, 0, false).attr, 0x30000301u);
  EXPECT_EQ(exec_attr_lookup(0x0003, 0, false).value, 0xCu);  // catch-all, row 29
  EXPECT_EQ(exec_attr_lookup(0x0003, 0, false).attr, 0x30000001u);
  EXPECT_EQ(exec_attr_lookup(0x0A00, 0, false).value, 0xFu);
  EXPECT_EQ(exec_attr_lookup(0x0A00, 0, false).attr, 0x02800309u);
  // A sequence code replaces the lookup.
  EXPECT_EQ(exec_attr_lookup(0x0A00, 4, false).value, 0x8u);
  EXPECT_EQ(exec_attr_lookup(0x0A00, 4, false).attr, 0x00211B89u);
  EXPECT_EQ(exec_attr_lookup(0x0003, 16, true).attr, 0x0068038Du);
}

TEST(DecodeTables, OperandFetchControl) {
  struct {
    uint16_t w;
    int mode;
    uint16_t ctrl;
  } const cases[] = {
      {0x3816, 0, 0x1}, {0x3816, 1, 0x403}, {0x0D00, 0, 0x409},
      {0x0D00, 1, 0x1003}, {0x0D00, 3, 3}, {0x0003, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "word 0x" << c.w << " mode " << c.mode);
    EXPECT_EQ(fetch_ctrl_lookup(c.w, c.mode, false), c.ctrl);
  }
}

TEST(DecodeTables, FlagsClassesAndMoveForms) {
  struct word_value {
    uint16_t w;
    uint32_t value;
  };
  const word_value flags[] = {
      {0x6000, 0x8000}, {0x1D00, 0x10}, {0x1C00, 0x4},  {0x1B00, 0x20},    {0x1A00, 0x8},
      {0x1520, 0x40},   {0x1000, 0x100}, {0x0155, 0x10000}, {0x0003, 0x4002},
  };
  for (const word_value& c : flags) {
    EXPECT_EQ(instr_flags_lookup(c.w, false), c.value) << "flags of " << c.w;
  }
  const word_value classes[] = {
      {0x6000, 0x1}, {0x2000, 0x200}, {0x0500, 0x290}, {0x1800, 0x400}, {0x0C00, 0x800},
      {0x0128, 0x100},
      {0x0124, 0},  // bit 2 set: past FFE4/0120
      {0x0000, 0},
  };
  for (const word_value& c : classes) {
    EXPECT_EQ(instr_class_lookup(c.w, false), c.value) << "class of " << c.w;
  }
  const word_value forms[] = {
      {0xFFFF, 0x81}, {0x6000, 0x110}, {0x0180, 0x410020},
      {0x0184, 0x10020},  // falls past FF8C/0180
      {0x0230, 0xC044}, {0x0000, 0},
  };
  for (const word_value& c : forms) {
    EXPECT_EQ(move_form_lookup(c.w), c.value) << "move form of " << c.w;
  }
}

TEST(DecodeTables, IllegalAndLegalEdgeWords) {
  EXPECT_EQ(decode_row_index(instr_flag_table, 0x0003), static_cast<int>(INSTR_FLAG_ROWS) - 1);
  EXPECT_EQ(instr_flags_lookup(0x0003, false), ILLEGAL_FLAG_WORD);
  // The undefined words of the 000x group, and the illegal instruction.
  for (uint16_t w : {0x000C, 0x000D, 0x000E, 0x000F})
    EXPECT_TRUE(instr_flags_lookup(w, false) & IFLAG_ILLEGAL) << w;
  for (uint16_t w : {0x0000, 0x0001, 0x0002, 0x0004})
    EXPECT_FALSE(instr_flags_lookup(w, false) & IFLAG_ILLEGAL) << w;

  // 0xFFFF matches the first row of every table.
  EXPECT_EQ(decode_row_index(timing_select_table, 0xFFFF), 0);
  EXPECT_EQ(decode_row_index(exec_attr_table, 0xFFFF), 0);
  EXPECT_EQ(decode_row_index(fetch_ctrl_table, 0xFFFF), 0);
  EXPECT_EQ(decode_row_index(instr_flag_table, 0xFFFF), 0);
  EXPECT_EQ(decode_row_index(move_form_table, 0xFFFF), 0);
  EXPECT_EQ(instr_flags_lookup(0xFFFF, false), 0u);
}

// ---------------------------------------------------------------------------
// Selector rules, one word per rule.

TEST(DecodeSelectors, MoveCodeByFieldRule) {
  struct {
    int field;
    uint32_t rule;
    uint16_t w;
    int field1_code;
    int code;
  } const cases[] = {
      // Field 1.
      {1, 0x000, 0xFFFF, 0, 0},    {1, 0x201, 0x0008, 0, 0x24}, {1, 0x201, 0x0000, 0, 0x25},
      {1, 0x202, 0x00C0, 0, 0x25}, {1, 0x202, 0x0080, 0, 0x24}, {1, 0x202, 0x0040, 0, 0x21},
      {1, 0x204, 0x0160, 0, 0x2B}, {1, 0x208, 0x001B, 0, 0x3B}, {1, 0x210, 0x0900, 0, 36},
      {1, 0x210, 0x0A00, 0, 0},    {1, 0x210, 0x0E00, 0, 38},   {1, 0x220, 0x0A00, 0, 0x25},
      {1, 0x020, 0x0A00, 0, 0x25},  // bit 0x200 takes no part
      {1, 0x240, 0x0006, 0, 0x26}, {1, 0x300, 0x0008, 0, 0x27}, {1, 0x300, 0x0000, 0, 0x26},
      // Field 2.
      {2, 0x1001, 0x0040, 0, 0x21}, {2, 0x1002, 0x0300, 0, 0x23}, {2, 0x1010, 0x03E0, 0, 0x3F},
      {2, 0x1020, 0x0005, 0, 0x25}, {2, 0x1040, 0x0508, 0, 33},   {2, 0x1040, 0x0000, 0, 37},
      {2, 0x1040, 0x0008, 0, 36},
      {2, 0x1080, 0x0000, 0, 37},  // other accumulator of a
      {2, 0x1080, 0x0008, 0, 36},   {2, 0x1080, 0x0400, 0, 32},   {2, 0x1080, 0x0900, 0, 37},
      {2, 0x1080, 0x0A00, 0, 0},    {2, 0x1100, 0x0E00, 0, 0x27}, {2, 0x1200, 0x0007, 0, 0x27},
      {2, 0x1400, 0x0001, 0, 0x21}, {2, 0x1800, 0x0008, 0, 0x2D},
      {2, 0x0800, 0x0000, 0, 0x2C},  // bit 0x1000 takes no part
      {2, 0x1000, 0xFFFF, 0, 0},
      // Field 3.
      {3, 0x30, 0xFFFF, 0x21, 0x30}, {3, 0x16, 0xFFFF, 0x21, 0x16}, {3, 0x00, 0xFFFF, 0x21, 0},
      {3, 0x41, 0x0008, 0, 0x15},    {3, 0x41, 0x0000, 0, 0x14},    {3, 0x44, 0x0030, 0, 0x13},
      {3, 0x48, 0x0020, 0, 0x21},    {3, 0x50, 0x0011, 0, 0x31},    {3, 0x60, 0x0008, 0, 0x1C},
      {3, 0x60, 0x0000, 0, 0x1D},
      // Any other rule takes field 1's code.
      {3, 0x40, 0x0000, 0x2B, 0x2B}, {3, 0x42, 0x0000, 0x2B, 0x2B},
      // Field 4.
      {4, 0x29, 0xFFFF, 0, 0x29},   {4, 0x201, 0x0600, 0, 17},   {4, 0x202, 0x0020, 0, 0x3E},
      {4, 0x204, 0x0010, 0, 0x31},  {4, 0x208, 0x0008, 0, 20},   {4, 0x208, 0x0000, 0, 21},
      {4, 0x210, 0x0040, 0, 0x22},  {4, 0x220, 0x001F, 0, 0x3F}, {4, 0x280, 0x0020, 0, 0x12},
      {4, 0x300, 0x0001, 0, 0x13},  {4, 0x240, 0xFFFF, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << std::hex << "field " << c.field << " rule 0x" << c.rule << " word 0x" << c.w);
    EXPECT_EQ(select_move_code(c.field, c.rule, c.w, c.field1_code), c.code);
  }
}

TEST(DecodeSelectors, RegisterCodes) {
  struct {
    uint32_t code;
    int reg;
  } const cases[] = {
      {0, MOVE_REG_NONE},  {16, CORE_X0}, {17, CORE_Y0}, {20, CORE_A},  {22, MOVE_REG_SHORT_IMM},
      {29, CORE_B1},       {35, CORE_Y1}, {38, CORE_A0}, {41, CORE_SR}, {47, CORE_B2},
      {51, CORE_R3},       {52, CORE_M0}, {56, CORE_SSH}, {58, CORE_LA}, {59, MOVE_REG_NONE},
      {63, CORE_N3},       {23, MOVE_REG_NONE},
  };
  for (const auto& c : cases) EXPECT_EQ(move_reg_of_code(c.code), c.reg) << "code " << c.code;
}

// ---------------------------------------------------------------------------
// Invariants over every first word.

template <typename Payload, std::size_t N>
void expect_first_match(const std::array<decode_row<Payload>, N>& table, uint16_t w,
                        const char* name) {
  const int i = decode_row_index(table, w);
  ASSERT_GE(i, 0);
  ASSERT_LT(i, static_cast<int>(N));
  ASSERT_EQ(w & table[i].mask, table[i].value) << name << " " << w;
  for (int j = 0; j < i; ++j) ASSERT_NE(w & table[j].mask, table[j].value) << name << " " << w;
}

TEST(DecodeExhaustive, EveryWordDecodesToOneRow) {
  for (uint32_t v = 0; v <= 0xFFFF; ++v) {
    const auto w = static_cast<uint16_t>(v);
    expect_first_match(timing_select_table, w, "timing");
    expect_first_match(exec_attr_table, w, "attributes");
    expect_first_match(fetch_ctrl_table, w, "fetch");
    expect_first_match(instr_flag_table, w, "flags");
    expect_first_match(instr_class_table, w, "class");
    expect_first_match(move_form_table, w, "move form");
    // Illegal exactly when only the catch-all takes the word.
    const bool catch_all = decode_row_index(instr_flag_table, w) == int{INSTR_FLAG_ROWS} - 1;
    const uint32_t flags = instr_flags_lookup(w, false);
    ASSERT_EQ(catch_all, (flags & IFLAG_ILLEGAL) != 0) << w;
    if (catch_all) {
      ASSERT_EQ(flags, ILLEGAL_FLAG_WORD) << w;
    }
  }
}

TEST(DecodeExhaustive, FastInterruptChangesOnlyFlowRows) {
  for (uint32_t v = 0; v <= 0xFFFF; ++v) {
    const auto w = static_cast<uint16_t>(v);
    const bool t_flow = timing_select_table[decode_row_index(timing_select_table, w)].flow;
    ASSERT_EQ(timing_lookup(w, 0, true), t_flow ? 34 : timing_lookup(w, 0, false)) << w;
    ASSERT_EQ(timing_lookup(w, 1, true), timing_lookup(w, 1, false)) << w;
    const bool f_flow = instr_flag_table[decode_row_index(instr_flag_table, w)].flow;
    ASSERT_EQ(instr_flags_lookup(w, true), f_flow ? 0u : instr_flags_lookup(w, false)) << w;
    const bool c_flow = instr_class_table[decode_row_index(instr_class_table, w)].flow;
    ASSERT_EQ(instr_class_lookup(w, true), c_flow ? 0 : instr_class_lookup(w, false)) << w;
    const bool a_flow = exec_attr_table[decode_row_index(exec_attr_table, w)].flow;
    if (a_flow) {
      ASSERT_EQ(exec_attr_lookup(w, 0, true).attr, 0u) << w;
    }
    const bool o_flow = fetch_ctrl_table[decode_row_index(fetch_ctrl_table, w)].flow;
    if (o_flow) {
      ASSERT_EQ(fetch_ctrl_lookup(w, 1, true), 0) << w;
    }
    // Every timing index names an op_timing row.
    ASSERT_LT(timing_lookup(w, 0, false), static_cast<int>(OP_TIMING_ROWS));
    ASSERT_LT(timing_lookup(w, 1, false), static_cast<int>(OP_TIMING_ROWS));
  }
}

TEST(DecodeExhaustive, SingleWordControlFlags) {
  for (uint32_t v = 0; v <= 0xFFFF; ++v) {
    const auto w = static_cast<uint16_t>(v);
    const uint32_t flags = instr_flags_lookup(w, false);
    const bool illegal = flags & IFLAG_ILLEGAL;
    ASSERT_EQ((flags & IFLAG_TRAP) && !illegal, w == 0x0005) << w;  // swi
    ASSERT_EQ((flags & IFLAG_RESET) != 0, w == 0x0008) << w;
    ASSERT_EQ((flags & IFLAG_STOP) != 0, w == 0x000A) << w;
    ASSERT_EQ((flags & IFLAG_WAIT) != 0, w == 0x000B) << w;
    ASSERT_EQ((flags & IFLAG_COND_REPEAT) != 0, (w & 0xFFF0) == 0x0150) << w;
    // Bit 15 set: always a parallel-move form, never illegal.
    if (w & 0x8000) {
      ASSERT_EQ(flags, 0u) << w;
      ASSERT_EQ(instr_class_lookup(w, false), 0) << w;
      ASSERT_EQ(move_form_lookup(w), 0x81u) << w;
      ASSERT_EQ(timing_lookup(w, 0, false), (w & 0x0100) ? 2 : 1) << w;
    }
  }
}

// ---------------------------------------------------------------------------
// The decode stages on a device.

class CoreDecode : public device_fixture {
 protected:
  std::vector<uint32_t> history;
  static CoreDecode* self;

  void SetUp() override {
    device_fixture::SetUp();
    self = this;
    core_history_writer = [](uint32_t index) { self->history.push_back(index); };
  }
  void TearDown() override {
    core_history_writer = nullptr;
    self = nullptr;
    device_fixture::TearDown();
  }

  uint32_t& word(int index) { return core_word(index); }

  // Starts a new instruction: the word from prefetch at `address`.
  void decode_new(uint16_t w, uint32_t address) {
    word(CS_PREFETCH) = w;
    word(CS_PREFETCH_ADDR) = address;
    word(CS_INSTR_BOUNDARY) = 1;
    core_decode();
    word(CS_INSTR_BOUNDARY) = 0;
  }
  // A further cycle of the instruction in decode.
  void decode_next() { core_decode(); }

  uint32_t timing_field(int f) { return word(CS_DEC_TIMING + f); }
};
CoreDecode* CoreDecode::self = nullptr;

TEST_F(CoreDecode, IllegalWordMarksTheDevice) {
  make("73521");
  cur_inst->flags = 0;
  decode_new(0x0003, 0x0040);
  EXPECT_TRUE(cur_inst->flags & DEV_ILLEGAL);
  EXPECT_EQ(word(CS_DEC_FLAGS), 0x4002u);
  EXPECT_EQ(word(CORE_PC), 0x0040u);
  EXPECT_EQ(cur_inst->pc, 0x0040u);

  cur_inst->flags = 0;
  decode_new(0xFFFF, 0x0041);
  EXPECT_FALSE(cur_inst->flags & DEV_ILLEGAL);
  EXPECT_EQ(word(CS_DEC_FLAGS), 0u);
  EXPECT_EQ(word(CS_DEC_CLASS), 0u);
  EXPECT_EQ(word(CS_DEC_MOVE_FORM), 0x81u);
  EXPECT_EQ(word(CS_DEC_ATTR), 0x0068038Du);
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 2u);
  EXPECT_EQ(timing_field(OPT_XDB_DST), 0x1100u);
  EXPECT_EQ(timing_field(OPT_BUS_KINDS), 0x8u);
  EXPECT_EQ(word(CS_PIPE_MODE), 3u);
}

TEST_F(CoreDecode, FastInterruptFlowWordTakesTheIdleTimingRow) {
  make("73521");
  word(CS_IN_FAST_IRQ) = 1;
  decode_new(0x0E05, 0x000A);  // do #5 fetched from a vector
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 34u);
  for (int f = 0; f < 8; ++f) EXPECT_EQ(timing_field(f), f == OPT_NEXT_MODE ? 3u : 0u) << f;
  EXPECT_EQ(word(CS_DEC_ATTR), 0u);
  EXPECT_EQ(word(CS_DEC_FETCH_CTRL), 0u);
  EXPECT_EQ(word(CS_DEC_FLAGS), 0u);

  word(CS_IN_FAST_IRQ) = 0;
  decode_new(0x0E05, 0x0100);
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 21u);
  EXPECT_EQ(timing_field(OPT_GDB_DST), 0x28u);
}

TEST_F(CoreDecode, PipelineModeFollowsTheTimingRows) {
  make("73521");
  decode_new(0x5100, 0x0200);  // rows 4, then 2, then idle
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 4u);
  EXPECT_EQ(word(CS_PIPE_MODE), 1u);
  decode_next();
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 2u);
  EXPECT_EQ(word(CS_DEC_FETCH_CTRL), 0u);  // no operand-fetch row of its own
  decode_next();
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 34u);
  EXPECT_EQ(word(CS_DEC_FETCH_CTRL), 3u);
  // A new instruction starts in mode 0 again.
  decode_new(0x5100, 0x0201);
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 4u);
}

TEST_F(CoreDecode, PrefixPullsInTheNextWord) {
  make("73521");
  decode_new(0x05F0, 0x0300);  // (r2-16) prefix
  EXPECT_EQ(word(CS_DEC_CLASS), 0x290u);
  EXPECT_EQ(word(CS_SHORT_IMM), 0xFFF0u);
  const uint32_t count = cur_state->pc_trace_count;
  word(CS_PREFETCH) = 0x8100;
  word(CS_PREFETCH_ADDR) = 0x0301;
  decode_next();
  EXPECT_EQ(word(CS_DECODE), 0x8100u);
  EXPECT_EQ(word(CS_PREV_CLASS), 0x290u);
  EXPECT_EQ(word(CORE_PC), 0x0300u);  // still the prefixed instruction
  EXPECT_EQ(cur_state->pc_trace_count, count);
  // Without the continuation bit the word stays.
  word(CS_PREFETCH) = 0x0003;
  decode_next();
  EXPECT_EQ(word(CS_DECODE), 0x8100u);
}

TEST_F(CoreDecode, RepeatDropsAttributeBits) {
  make("73521");
  word(CS_REP_STATE) = 1;
  decode_new(0xFFFF, 0x0010);
  EXPECT_EQ(word(CS_DEC_ATTR), 0x00680085u);
  word(CS_REP_STATE) = 0;
  word(CS_REP_ENDING) = 1;
  decode_next();
  EXPECT_EQ(word(CS_DEC_ATTR), 0x0068008Du);
  word(CS_REP_ENDING) = 0;
  word(CS_SEQ_CODE) = 5;
  decode_next();
  EXPECT_EQ(word(CS_DEC_ATTR), 0x10000365u);
  EXPECT_EQ(word(CS_DEC_ATTR_VALUE), 0u);
}

TEST_F(CoreDecode, PcTraceRingAndHistory) {
  make("73521");
  cur_state->pc_trace_count = 0;
  cur_state->pc_trace_index = 30;
  decode_new(0x8100, 0x0400);
  EXPECT_TRUE(history.empty());  // nothing completed yet
  EXPECT_EQ(cur_state->pc_trace_count, 1u);
  EXPECT_EQ(cur_state->pc_trace_index, 31u);
  EXPECT_EQ(cur_state->pc_trace[31].pc, 0x0400u);
  EXPECT_EQ(cur_state->pc_trace[31].opcode, 0x8100u);
  core_trace_second_word(0x1234);
  EXPECT_EQ(cur_state->pc_trace[31].second, 0x1234u);

  decode_new(0x6000, 0x0402);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0], 31u);
  EXPECT_EQ(cur_state->pc_trace_index, 0u);  // wrapped
  EXPECT_EQ(cur_state->pc_trace[0].opcode, 0x6000u);
  EXPECT_EQ(cur_state->pc_trace[0].second, 0u);

  // Another pass of a repeated instruction: the word in decode stays, the
  // history line is written, the ring does not move.
  word(CS_REPEAT_PASS) = 1;
  decode_new(0x0003, 0x0403);
  word(CS_REPEAT_PASS) = 0;
  EXPECT_EQ(word(CS_DECODE), 0x6000u);
  EXPECT_EQ(word(CORE_PC), 0x0402u);
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[1], 0u);
  EXPECT_EQ(cur_state->pc_trace_count, 2u);
  EXPECT_EQ(cur_state->pc_trace_index, 0u);
}

TEST_F(CoreDecode, PcIsMarkedOnlyWhenItChanges) {
  make("73521");
  decode_new(0x8100, 0x0500);
  cur_inst->flags = 0;
  periph_attrs(0)[CORE_PC] = 0;
  decode_new(0x8100, 0x0500);
  EXPECT_EQ(periph_attrs(0)[CORE_PC] & ATTR_WRITTEN, 0u);
  EXPECT_FALSE(cur_inst->flags & DEV_PC_WRITTEN);
  decode_new(0x8100, 0x0501);
  EXPECT_EQ(periph_attrs(0)[CORE_PC] & (ATTR_WRITTEN | ATTR_CHANGED), ATTR_WRITTEN | ATTR_CHANGED);
  EXPECT_TRUE(cur_inst->flags & DEV_PC_WRITTEN);
}

TEST_F(CoreDecode, ShortImmediateByClass) {
  make("73521");
  decode_new(0x2080, 0x10);
  EXPECT_EQ(word(CS_SHORT_IMM), 0xFF80u);
  decode_new(0x207F, 0x11);
  EXPECT_EQ(word(CS_SHORT_IMM), 0x007Fu);
  decode_new(0x2C3F, 0x12);  // 6-bit branch offset -1
  EXPECT_EQ(word(CS_SHORT_IMM), 0xFFFFu);
  word(CORE_APASAM) = 0x1230;  // no absolute-short base on this core
  decode_new(0x1810, 0x13);
  EXPECT_EQ(word(CS_SHORT_IMM), 0x0010u);
  decode_new(0x0C05, 0x14);
  EXPECT_EQ(word(CS_SHORT_IMM), 0xFFE5u);
  decode_new(0x0F85, 0x15);  // rep #$85: unsigned
  EXPECT_EQ(word(CS_SHORT_IMM), 0x0085u);

  make("73583");
  word(CORE_APASAM) = 0x1230;
  decode_new(0x1810, 0x13);
  EXPECT_EQ(word(CS_SHORT_IMM), 0x1240u);
  decode_new(0x1830, 0x14);  // negative: the I/O page, no base
  EXPECT_EQ(word(CS_SHORT_IMM), 0xFFF0u);
}

// ---------------------------------------------------------------------------
// Second stage.

TEST_F(CoreDecode, OperandsOfAShortImmediateMove) {
  make("73521");
  set_mode(3);  // program from external memory
  decode_new(0x2180, 0x0010);  // move #<-$80,y0
  word(CS_PAB) = 0x0011;
  core_decode_operands();
  EXPECT_EQ(word(CS_DEC_XDB_SRC), 0u);
  EXPECT_EQ(word(CS_DEC_XDB_DST), 0x21u);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_XDB_DST)), CORE_Y0);
  EXPECT_EQ(word(CS_DEC_GDB_SRC), 0u);
  EXPECT_EQ(word(CS_DEC_GDB_DST), 0u);
  EXPECT_EQ(word(CS_DEC_IMMEDIATE), 0xFF80u);
  EXPECT_EQ(word(CS_REQ_PROGRAM), BUS_P_READ);
  EXPECT_EQ(word(CS_SPACE_PROGRAM), uint32_t{SPACE_PE});
  EXPECT_EQ(word(CS_REQ_X1), 0u);
  EXPECT_EQ(word(CS_SPACE_X1), 0u);

  set_mode(2);  // internal program memory
  core_decode_operands();
  EXPECT_EQ(word(CS_REQ_PROGRAM), 0u);
  EXPECT_EQ(word(CS_SPACE_PROGRAM), uint32_t{SPACE_PI});
}

TEST_F(CoreDecode, OpcodeByteImmediatesOfAndiOri) {
  make("73521");
  struct {
    uint16_t w;
    uint32_t imm;
    uint32_t dest;
  } cases[] = {
      {0x1AF0, 0xF0FF, 0x29},  // and into mr
      {0x1BF0, 0xF000, 0x29},  // or into mr
      {0x1E0F, 0xFF0F, 0x29},  // and into ccr
      {0x1F0F, 0x000F, 0x29},  // or into ccr
      {0x1C0F, 0xFF0F, 0x2A},  // and into omr
      {0x1D0F, 0x000F, 0x2A},  // or into omr
  };
  for (const auto& c : cases) {
    decode_new(c.w, 0x20);
    core_decode_operands();
    EXPECT_EQ(word(CS_DEC_IMMEDIATE), c.imm) << c.w;
    EXPECT_EQ(word(CS_DEC_GDB_DST), c.dest) << c.w;
  }
}

TEST_F(CoreDecode, OperandsOfTheDualReadForm) {
  make("73521");
  set_mode(0x0A);  // mode 2, X data external
  decode_new(0x6508, 0x0010);
  word(CS_PAB) = 0x0011;
  word(CS_XAB) = 0x0010;
  word(CS_XAB2) = 0x9000;
  core_decode_operands();
  EXPECT_EQ(word(CS_DEC_XDB_DST), 33u);  // y0
  EXPECT_EQ(word(CS_DEC_GDB_DST), 18u);  // x1
  EXPECT_EQ(word(CS_REQ_PROGRAM), 0u);
  EXPECT_EQ(word(CS_REQ_X1), BUS_X_READ);
  EXPECT_EQ(word(CS_REQ_X2), BUS_X2_READ);
  EXPECT_EQ(word(CS_SPACE_X1), uint32_t{SPACE_XE});

  set_mode(0x02);  // internal X at 0x0010, nothing there at 0x9000
  core_decode_operands();
  EXPECT_EQ(word(CS_REQ_X1), 0u);
  EXPECT_EQ(word(CS_SPACE_X1), uint32_t{SPACE_XI});
  EXPECT_EQ(word(CS_REQ_X2), BUS_X2_READ);
  EXPECT_EQ(word(CS_SPACE_X2), uint32_t{SPACE_XE});
}

TEST_F(CoreDecode, OperandsOfTransfersAndMultiplyMoves) {
  make("73521");
  decode_new(0x1500, 0x30);  // tfr2 a,x: a0 and a onto the buses into x0, x1
  core_decode_operands();
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_XDB_SRC)), CORE_A0);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_XDB_DST)), CORE_X0);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_SRC)), CORE_A);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_DST)), CORE_X1);

  decode_new(0x1608, 0x31);  // mac with b: a written out, x0 and a loaded
  core_decode_operands();
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_XDB_SRC)), CORE_A);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_SRC)), CORE_X0);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_DST)), CORE_A);
  EXPECT_EQ(timing_field(OPT_BUS_KINDS), BUS_X_WRITE);
}

TEST_F(CoreDecode, LeaLoadsAnAddressOrOffsetRegister) {
  make("73521");
  // Bit 6 chooses r over n; bits 4-5 the number. The second cycle moves
  // the short-immediate latch over gdb.
  decode_new(0x01D0, 0x50);
  decode_next();
  core_decode_operands();
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_SRC)), MOVE_REG_SHORT_IMM);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_DST)), CORE_R1);

  decode_new(0x01A0, 0x51);
  decode_next();
  core_decode_operands();
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_SRC)), MOVE_REG_SHORT_IMM);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_GDB_DST)), CORE_N2);
}

TEST_F(CoreDecode, LongImmediateComesFromTheSecondWord) {
  make("73521");
  decode_new(0x3C3C, 0x40);  // move #>$w1,y0: rows 9 then 10
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 9u);
  word(CS_DECODE_OPERAND) = 0x1234;
  decode_next();
  EXPECT_EQ(word(CS_DEC_TIMING_ROW), 10u);
  core_decode_operands();
  EXPECT_EQ(word(CS_DEC_IMMEDIATE), 0x1234u);
  EXPECT_EQ(move_reg_of_code(word(CS_DEC_XDB_DST)), CORE_Y0);
}

TEST_F(CoreDecode, IllegalFlagMatchesTheFlagTableForEveryWord) {
  make("73521");
  for (uint32_t v = 0; v <= 0xFFFF; ++v) {
    cur_inst->flags = 0;
    decode_new(static_cast<uint16_t>(v), v);
    const bool illegal = instr_flags_lookup(static_cast<uint16_t>(v), false) & IFLAG_ILLEGAL;
    ASSERT_EQ((cur_inst->flags & DEV_ILLEGAL) != 0, illegal) << v;
    const uint32_t imm = word(CS_SHORT_IMM);
    const uint32_t cls = word(CS_DEC_CLASS);
    ASSERT_LE(imm, 0xFFFFu);
    if (cls & CLASS_IMM8_SIGNED) {
      ASSERT_EQ(imm, (v & 0x80) ? (v | 0xFF00) : (v & 0xFF)) << v;
    }
    if (cls & CLASS_IMM_IO) {
      ASSERT_GE(imm, 0xFFE0u) << v;
    }
    if (cls & CLASS_IMM6_SIGNED) {
      ASSERT_TRUE(imm < 0x20 || imm >= 0xFFE0) << v;
    }
  }
}

}  // namespace

// The stop check per run mode, the breakpoint tests by kind, the hit
// report with its actions and counts, and whole device cycles.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/frontend_fixture.h"
#include "sim/cmd/breakpoints.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"

namespace {

class run_check : public frontend_fixture {
 protected:
  void SetUp() override {
    frontend_fixture::SetUp();
    make_device_current(0);
    cur_state->run_mode = RUN_GO;
    cur_state->run_count = 1;
    cur_state->break_number = 0;
    cur_state->halt_on_break = 0;
    cur_inst->pc = 0;
    cur_inst->cycles = 0;
  }
  void TearDown() override {
    if (make_device_current(0)) free_breakpoints();
    frontend_fixture::TearDown();
  }

  // One stop check with these device flags.
  static int check(uint32_t flags) {
    cur_inst->flags = flags;
    return check_run_stop();
  }

  static break_rec& add(int kind, int action, const char* condition, int number = 0) {
    std::unique_ptr<break_rec> rec = new_breakpoint();
    rec->number = number;
    rec->kind = kind;
    rec->action = action;
    set_break_condition(*rec, condition);
    return *insert_breakpoint(std::move(rec));
  }

  // A breakpoint on the register `name`, with `text` as its condition.
  static break_rec& add_on_register(int kind, int action, const char* text, const char* name) {
    int row = 0, reg = 0;
    EXPECT_EQ(lookup_register(0, name, &row, &reg), 1);
    break_rec& bp = add(kind, action, text);
    bp.operands.region = static_cast<uint16_t>(row);
    bp.operands.item = static_cast<uint16_t>(reg);
    return bp;
  }
  // A breakpoint on x:lo..hi of internal X memory.
  static break_rec& add_on_memory(int kind, int action, const char* text, uint32_t lo, uint32_t hi,
                                  int number = 0) {
    break_rec& bp = add(kind, action, text, number);
    bp.operands.region = static_cast<uint16_t>(find_memory_region(SPACE_XI, lo));
    bp.operands.lo = lo;
    bp.operands.hi = hi;
    return bp;
  }

  static void write_named(const char* name, uint32_t value) {
    int row = 0, reg = 0;
    ASSERT_EQ(lookup_register(0, name, &row, &reg), 1);
    const uint32_t cell[3] = {value, 0, 0};
    ASSERT_EQ(write_register(0, row, reg, cell), 1);
  }
  // The first hit counters, in order.
  static void expect_counts(std::initializer_list<uint32_t> want) {
    std::size_t i = 0;
    for (uint32_t w : want) {
      EXPECT_EQ(cur_state->cnt[i], w) << "counter " << i;
      ++i;
    }
  }

  std::vector<std::string> lines() {
    std::vector<std::string> out;
    std::istringstream in(output());
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  int count(const std::string& line) {
    int n = 0;
    for (const std::string& l : lines()) n += l == line ? 1 : 0;
    return n;
  }
  // The lines that begin as the text does.
  int count_prefix(const std::string& prefix) {
    int n = 0;
    for (const std::string& l : lines()) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
};

constexpr uint32_t END = DEV_INSTR_END;

// --- Counting by run mode -------------------------------------------------------

TEST_F(run_check, GoStopsOnlyAtAnInstructionEndOnceTheCountIsUsedUp) {
  cur_state->run_count = 1;
  EXPECT_EQ(check(END), 0);  // nothing has counted the hit down
  cur_state->run_count = 0;
  EXPECT_EQ(check(0), 0);  // mid-instruction
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(check(DEV_INSTR_END2), 1);  // the second end flag counts too
}

TEST_F(run_check, TraceByInstructionCountsEndsAndStopsAtZero) {
  cur_state->run_mode = RUN_TRACE_INSTR;
  cur_state->run_count = 2;
  EXPECT_EQ(check(0), 0);
  EXPECT_EQ(cur_state->run_count, 2u);
  EXPECT_EQ(check(END), 0);
  EXPECT_EQ(cur_state->run_count, 1u);
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(cur_state->run_count, 0u);
}

TEST_F(run_check, TraceByCycleCountsEveryCycleAndStopsAtTheNextEnd) {
  cur_state->run_mode = RUN_TRACE_CYCLE;
  cur_state->run_count = 2;
  EXPECT_EQ(check(0), 0);  // 2 -> 1
  EXPECT_EQ(check(0), 0);  // 1 -> 0, but no instruction end
  EXPECT_EQ(check(0), 0);  // stays 0
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(count("{Trace cycle count=1}"), 1);
  EXPECT_EQ(count("{Trace cycle count=0}"), 3);
}

TEST_F(run_check, StepByInstructionIgnoresCyclesInsideInstructions) {
  cur_state->run_mode = RUN_STEP_INSTR;
  cur_state->run_count = 2;
  EXPECT_EQ(check(0), 0);
  EXPECT_EQ(check(0), 0);
  EXPECT_EQ(check(END), 0);
  EXPECT_EQ(cur_state->run_count, 1u);
  EXPECT_EQ(check(0), 0);
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(cur_state->run_count, 0u);
  // Stepping prints no trace line.
  EXPECT_EQ(count_prefix("{Trace"), 0);
}

TEST_F(run_check, StepByCycleStopsAtTheFirstEndOnceTheCountIsZero) {
  cur_state->run_mode = RUN_STEP_CYCLE;
  cur_state->run_count = 3;
  EXPECT_EQ(check(END), 0);  // 3 -> 2
  EXPECT_EQ(check(0), 0);    // 2 -> 1
  EXPECT_EQ(check(0), 0);    // 1 -> 0, mid-instruction
  EXPECT_EQ(cur_state->run_count, 0u);
  EXPECT_EQ(check(0), 0);
  EXPECT_EQ(check(END), 1);
}

TEST_F(run_check, ShownStepThatGoesOnStartsTheMarksAfresh) {
  cur_state->run_mode = RUN_TRACE_INSTR;
  cur_state->run_count = 2;
  note_memory_access(SPACE_XI, 0x10, 1, 0);
  note_memory_access(SPACE_XI, 0x11, 0, 0);
  uint32_t& attr = periph_attrs(0)[CORE_X0];
  attr |= ATTR_READ_SINCE | ATTR_CHANGED;
  EXPECT_EQ(check(END), 0);  // shown, not stopping
  EXPECT_EQ(attr & (ATTR_READ_SINCE | ATTR_CHANGED), 0u);
  for (const region_access_log& log : cur_state->region_logs) {
    EXPECT_EQ(log.reads.run_count, 0u);
    EXPECT_EQ(log.writes.run_count, 0u);
  }
}

TEST_F(run_check, StopKeepsTheMarksForTheDisplay) {
  cur_state->run_mode = RUN_TRACE_INSTR;
  cur_state->run_count = 1;
  note_memory_access(SPACE_XI, 0x10, 1, 0);
  uint32_t& attr = periph_attrs(0)[CORE_X0];
  attr |= ATTR_CHANGED;
  EXPECT_EQ(check(END), 1);
  EXPECT_NE(attr & ATTR_CHANGED, 0u);
  EXPECT_NE(cur_state->region_logs[static_cast<std::size_t>(find_memory_region(SPACE_XI, 0x10))]
                .reads.run_count,
            0u);
}

// --- Conditions of the device ---------------------------------------------------

TEST_F(run_check, IllegalOpcodeIsReportedOnceAtTheInstructionEnd) {
  cur_state->run_count = 5;
  EXPECT_EQ(check(DEV_ILLEGAL), 0);  // not yet: the instruction has not ended
  EXPECT_EQ(check(DEV_ILLEGAL | END), 1);
  EXPECT_EQ(count("{Illegal Op-Code Encountered}"), 1);
}

TEST_F(run_check, AbortIsTakenAtTheInstructionEndAndCleared) {
  cur_state->run_count = 5;
  cur_inst->abort = 1;
  EXPECT_EQ(check(0), 0);
  EXPECT_EQ(cur_inst->abort, 1);
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(cur_inst->abort, 0);
  EXPECT_EQ(count("{SIMULATION ABORTED}"), 1);
}

TEST_F(run_check, StopRequestReachesTheShownDevice) {
  cur_state->run_mode = RUN_STEP_INSTR;
  cur_state->run_count = 100;
  stop_request = 1;
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(stop_request, 0);
  EXPECT_EQ(count("{SIMULATION ABORTED}"), 1);
}

TEST_F(run_check, PendingErrorAndStopFlagEndTheRun) {
  cur_state->run_count = 5;
  set_pending_run_error("Paging file error");
  EXPECT_EQ(check(cur_inst->flags | END), 1);
  EXPECT_EQ(count("{Paging file error}"), 1);
  EXPECT_EQ(check(DEV_STOP), 0);  // decided mid-instruction: waits for the end
  EXPECT_EQ(check(DEV_STOP | END), 1);
}

TEST_F(run_check, PcWrittenLivesForOneCheck) {
  cur_state->run_count = 5;
  check(DEV_PC_WRITTEN);
  EXPECT_EQ(cur_inst->flags & DEV_PC_WRITTEN, 0u);
}

// --- Breakpoint tests by kind ---------------------------------------------------

TEST_F(run_check, PcBreakpointHitsAtTheInstructionEndWithItsReport) {
  add(BK_PC, BA_HALT, "p:$10").operands.lo = 0x10;
  cur_inst->pc = 0x10;
  cur_inst->cycles = 42;
  EXPECT_EQ(check(0), 0);  // "p:$10" names neither cyc nor pc
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(count("Break #1 p:$10 h ;dev:0 pc:0010 cyc:42"), 1);
  EXPECT_EQ(cur_state->run_count, 0u);
}

TEST_F(run_check, ConditionsNamingCycOrPcAreTestedMidInstruction) {
  cur_state->run_count = 10;
  add(BK_EXPRESSION, BA_COUNT1, "cyc>=7");
  add(BK_EXPRESSION, BA_COUNT2, "pc==$20");
  add(BK_EXPRESSION, BA_COUNT3, "x:$10==0");
  write_named("pc", 0x20);  // clears the counts
  cur_inst->cycles = 7;
  check(0);
  EXPECT_EQ(cur_state->cnt[0], 1u);  // cyc: every cycle
  EXPECT_EQ(cur_state->cnt[1], 0u);  // pc: only in a cycle that wrote the pc
  EXPECT_EQ(cur_state->cnt[2], 0u);  // the rest: only at instruction ends
  check(DEV_PC_WRITTEN);
  expect_counts({2, 1, 0});
  check(END);
  EXPECT_EQ(cur_state->cnt[0], 3u);
  EXPECT_EQ(cur_state->cnt[1], 1u);  // the arrival at $20 was counted when pc moved
  EXPECT_EQ(cur_state->cnt[2], 1u);  // x:$10 holds 0
  check(END | DEV_PC_WRITTEN);  // the next instruction moves pc to $20 again
  EXPECT_EQ(cur_state->cnt[1], 2u);
}

// Addresses, a count condition and conditions tested at every end in one
// list: an end whose pc no address names tests only the others, in list
// order; an x action that adds a breakpoint has it tested in the same walk.
TEST_F(run_check, MixedListsTestTheAddressesByTheirBitmap) {
  cur_state->run_count = 100;
  add(BK_PC, BA_COUNT1, "p:$5", 1).operands.lo = 5;
  add(BK_EXPRESSION, BA_COUNT2, "cyc>=10", 2);
  add(BK_EXPRESSION, BA_EXECUTE, "1", 3).command_text = "break p:$7 i3";
  add(BK_EXPRESSION, BA_COUNT4, "1", 5);
  cur_inst->pc = 7;
  check(END);
  expect_counts({0, 0, 1, 1});  // #4 p:$7 was added and hit
  EXPECT_NE(cur_state->pc_break_bits, nullptr);
  EXPECT_EQ(cur_state->breaks_every_end, 1);
  delete_breakpoint_range(3, 3);
  struct end_case {
    uint32_t pc, cycles;
    std::initializer_list<uint32_t> counts;
  };
  for (const end_case& e : {end_case{5, 10, {1, 1, 1, 2}}, end_case{6, 11, {1, 2, 1, 3}},
                            end_case{7, 3, {1, 2, 2, 4}}}) {
    cur_inst->pc = e.pc;
    cur_inst->cycles = e.cycles;
    check(END);
    expect_counts(e.counts);
  }
  delete_breakpoint_range(5, 5);
  check(END);  // only addresses and a count condition: no walk at every end
  EXPECT_EQ(cur_state->breaks_every_end, 0);
  expect_counts({1, 2, 3, 4});
}

TEST_F(run_check, DisabledBreakpointsAreNotTested) {
  add(BK_EXPRESSION, BA_COUNT1, "1").enabled = 0;
  check(END);
  EXPECT_EQ(cur_state->cnt[0], 0u);
}

TEST_F(run_check, RegisterComparisonsAreUnsigned) {
  cur_state->run_count = 10;
  write_named("x0", 0x8000);
  struct {
    uint16_t op;
    uint32_t operand;
    bool hits;
  } const cases[] = {
      {CMP_NE, 0x8000, false}, {CMP_NE, 0x7FFF, true},  {CMP_LE, 0x8000, true},
      {CMP_LT, 0x8000, false}, {CMP_LT, 0x8001, true},  {CMP_GE, 0x7FFF, true},
      {CMP_GT, 0x8000, false}, {CMP_GT, 0x0001, true},  {CMP_EQ, 0x8000, true},
      {CMP_ASSIGN_EQ, 0x8000, true}, {CMP_ASSIGN_EQ, 0x0000, false},
  };
  for (const auto& c : cases) {
    free_breakpoints();
    break_rec& bp = add_on_register(BK_REG_COMPARE, BA_COUNT4, "x0?", "x0");
    bp.operands.op = c.op;
    bp.operands.lo = c.operand & 0xFFFF;
    bp.operands.hi = c.operand >> 16;
    const uint32_t before = cur_state->cnt[3];
    check(END);
    EXPECT_EQ(cur_state->cnt[3] - before, c.hits ? 1u : 0u) << "op " << c.op << " " << c.operand;
  }
}

TEST_F(run_check, RegisterAccessBreakpointsReadTheMarksAndClearThemAtTheEnd) {
  cur_state->run_count = 10;
  int row = 0, reg = 0;
  ASSERT_EQ(lookup_register(0, "r0", &row, &reg), 1);
  add_on_register(BK_REG_READ, BA_COUNT1, "r0", "r0");
  add_on_register(BK_REG_READ_WRITE, BA_COUNT2, "r0", "r0");
  add_on_register(BK_REG_WRITE, BA_COUNT3, "r0", "r0");
  uint32_t& attr = periph_attrs(row)[reg];
  attr |= ATTR_WRITTEN;
  check(0);  // mid-instruction: none of them names cyc or pc
  EXPECT_EQ(cur_state->cnt[1], 0u);
  check(END);
  expect_counts({0, 1, 1});
  EXPECT_EQ(attr & (ATTR_READ | ATTR_WRITTEN), 0u);
  attr |= ATTR_READ;
  check(END);
  expect_counts({1, 2, 1});
}

TEST_F(run_check, MemoryBreakpointsHitOncePerAccessInsideTheBlock) {
  cur_state->run_count = 10;
  const int row = find_memory_region(SPACE_XI, 0x10);
  ASSERT_GE(row, 0);
  add_on_memory(BK_READ, BA_COUNT1, "x:$10..$12", 0x10, 0x12);
  add_on_memory(BK_WRITE, BA_COUNT2, "x:$10..$12", 0x10, 0x12);
  add_on_memory(BK_READ_WRITE, BA_COUNT3, "x:$10..$12", 0x10, 0x12);
  add_on_memory(BK_DATA_WRITE, BA_COUNT4, "x:$10..$12", 0x10, 0x12);
  note_memory_access(SPACE_XI, 0x10, 1, 0);
  note_memory_access(SPACE_XI, 0x13, 1, 0);  // outside
  note_memory_access(SPACE_XI, 0x12, 1, 0);
  note_memory_access(SPACE_XI, 0x11, 0, 0);             // written, unchanged
  note_memory_access(SPACE_XI, 0x12, 0, ATTR_CHANGED);  // written, changed
  check(END);
  EXPECT_EQ(cur_state->cnt[0], 2u);  // two reads inside
  EXPECT_EQ(cur_state->cnt[1], 2u);  // two writes inside
  EXPECT_EQ(cur_state->cnt[2], 4u);  // all four
  EXPECT_EQ(cur_state->cnt[3], 1u);  // only the write that changed the data
  // The instruction's accesses are used up at its end.
  check(END);
  EXPECT_EQ(cur_state->cnt[2], 4u);
  EXPECT_EQ(instr_accesses(*cur_state, cur_state->region_logs[static_cast<std::size_t>(row)].reads), 0u);
}

TEST_F(run_check, MemoryBreakpointDeletedByItsOwnCommandStopsTesting) {
  cur_state->run_count = 10;
  add_on_memory(BK_READ_WRITE, BA_EXECUTE, "x:$10", 0x10, 0x10, 1).command_text = "break #1 off";
  add(BK_EXPRESSION, BA_COUNT1, "1", 2);
  note_memory_access(SPACE_XI, 0x10, 1, 0);
  note_memory_access(SPACE_XI, 0x10, 1, 0);
  note_memory_access(SPACE_XI, 0x10, 0, 0);
  check(END);
  EXPECT_EQ(find_breakpoint(1), nullptr);
  EXPECT_EQ(cur_state->cnt[0], 1u);
  EXPECT_EQ(count("break #1 off"), 1);  // its command ran once
}

TEST_F(run_check, MemoryBreakpointOnlyLooksAtTheLastSixteenAccesses) {
  cur_state->run_count = 10;
  add_on_memory(BK_READ, BA_COUNT1, "x:$10", 0x10, 0x10);
  note_memory_access(SPACE_XI, 0x10, 1, 0);  // pushed out of the ring
  for (int k = 0; k < ACCESS_RING; ++k) note_memory_access(SPACE_XI, 0x20, 1, 0);
  check(END);
  EXPECT_EQ(cur_state->cnt[0], 0u);
}

// --- The hit report and the actions ---------------------------------------------

TEST_F(run_check, GoToTheThirdHitOfOneBreakpointIgnoresTheOthers) {
  cur_state->break_number = 2;
  cur_state->run_count = 3;
  add(BK_EXPRESSION, BA_HALT, "1", 1);
  add(BK_EXPRESSION, BA_HALT, "1", 2);
  cur_inst->cycles = 10;
  EXPECT_EQ(check(END), 0);
  EXPECT_EQ(check(END), 0);
  EXPECT_EQ(cur_state->run_count, 1u);
  cur_inst->cycles = 12;
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(count_prefix("Break #"), 1);
  EXPECT_EQ(count("Break #2 1 h ;dev:0 pc:0000 cyc:12"), 1);
}

TEST_F(run_check, CountingAndNotingActionsNeverStopAGo) {
  add(BK_EXPRESSION, BA_COUNT1, "1");
  add(BK_EXPRESSION, BA_COUNT2, "1");
  add(BK_EXPRESSION, BA_COUNT3, "1");
  add(BK_EXPRESSION, BA_COUNT4, "1");
  add(BK_EXPRESSION, BA_NOTE, "1");
  EXPECT_EQ(check(END), 0);
  EXPECT_EQ(check(END), 0);
  for (uint32_t c : cur_state->cnt) EXPECT_EQ(c, 2u);
  EXPECT_EQ(count("Break #5 1 n ;dev:0 pc:0000 cyc:0"), 2);
  EXPECT_EQ(cur_state->run_count, 1u);
}

TEST_F(run_check, ShowActionPrintsAndShowsWithoutStopping) {
  add(BK_EXPRESSION, BA_SHOW, "1");
  int stop = 0, show = 0;
  ASSERT_EQ(report_break(*cur_state->breakpoints, &stop, &show), 1);
  EXPECT_EQ(stop, 0);
  EXPECT_EQ(show, 1);
  EXPECT_EQ(count("Break #1 1 s ;dev:0 pc:0000 cyc:0"), 1);
}

TEST_F(run_check, NoteOnTheChosenBreakpointIsReportedOnce) {
  cur_state->break_number = 1;
  add(BK_EXPRESSION, BA_NOTE, "1");
  EXPECT_EQ(check(END), 1);  // its hit is counted for go #1
  EXPECT_EQ(count_prefix("Break #1"), 1);
}

TEST_F(run_check, ExecuteActionRunsItsCommandAndCountsAsAHit) {
  break_rec& bp = add(BK_EXPRESSION, BA_EXECUTE, "1", 4);
  bp.command_text = "radix h";
  cur_state->break_number = 9;  // another breakpoint: x still counts
  cur_state->default_radix = RADIX_DEC;
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(cur_state->default_radix, RADIX_HEX);
  EXPECT_EQ(count("radix h"), 1);
  EXPECT_EQ(count("Break #4 1 x  radix h;dev:0 pc:0000 cyc:0"), 1);
}

TEST_F(run_check, ExecuteActionThatDeletesItselfEndsTheWalkSafely) {
  cur_state->run_count = 5;
  add(BK_EXPRESSION, BA_EXECUTE, "1", 1).command_text = "break #1 off";
  add(BK_EXPRESSION, BA_COUNT1, "1", 2);
  check(END);
  EXPECT_EQ(find_breakpoint(1), nullptr);
  EXPECT_EQ(cur_state->cnt[0], 1u);  // the next one was still tested
  EXPECT_EQ(cur_state->run_count, 4u);
}

TEST_F(run_check, ExecuteActionThatDeletesItselfIsStillReported) {
  add(BK_EXPRESSION, BA_EXECUTE, "1", 3).command_text = "break off";
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(cur_state->breakpoints, nullptr);
  EXPECT_EQ(count("Break #3 1 x  break off;dev:0 pc:0000 cyc:0"), 1);
}

TEST_F(run_check, HaltOnBreakStopsStepsAtHaltAndExecuteBreakpointsOnly) {
  cur_state->run_mode = RUN_STEP_INSTR;
  cur_state->run_count = 10;
  cur_state->halt_on_break = 1;
  add(BK_EXPRESSION, BA_COUNT1, "1");
  EXPECT_EQ(check(END), 0);
  EXPECT_EQ(cur_state->cnt[0], 1u);
  add(BK_EXPRESSION, BA_HALT, "1");
  EXPECT_EQ(check(END), 1);
  EXPECT_EQ(count("Break #2 1 h ;dev:0 pc:0000 cyc:0"), 1);
  // A halt at an instruction end only reports: the count has not run out,
  // so nothing asks for the display.
  EXPECT_EQ(count_prefix("p:$0000"), 0);
}

TEST_F(run_check, StepHaltedMidInstructionShowsAtTheInstructionEnd) {
  cur_state->run_mode = RUN_STEP_INSTR;
  cur_state->run_count = 10;
  cur_state->halt_on_break = 1;
  add(BK_EXPRESSION, BA_HALT, "cyc>=0");
  EXPECT_EQ(check(0), 1);
  EXPECT_EQ(count("Break #1 cyc>=0 h ;dev:0 pc:0000 cyc:0"), 1);
  EXPECT_EQ(count_prefix("p:$0000"), 0);
  // The stop flag set for that decision stops and shows at the end.
  free_breakpoints();
  EXPECT_EQ(check(DEV_STOP | END), 1);
  EXPECT_EQ(count_prefix("p:$0000"), 1);
}

TEST_F(run_check, WithoutHaltOnBreakAStepRunsThroughBreakpoints) {
  cur_state->run_mode = RUN_STEP_INSTR;
  cur_state->run_count = 10;
  add(BK_EXPRESSION, BA_HALT, "1");
  EXPECT_EQ(check(END), 0);
  EXPECT_EQ(count_prefix("Break #"), 0);
}

// --- Whole cycles ---------------------------------------------------------------

TEST_F(run_check, DeviceCycleCountsKeepsHistoryAndEndsTheRunAtAStop) {
  cur_state->running = 1;
  cur_state->run_mode = RUN_STEP_CYCLE;
  cur_state->run_count = 1;
  const uint32_t cycles = cur_inst->cycles;
  set_pin_word(cur_inst->blocks.data(), PIN_LEVEL, 0x1234);  // the first pin group's current level
  run_device_cycle(0);
  EXPECT_EQ(cur_inst->cycles, cycles + 1);
  EXPECT_EQ(cur_inst->blocks[REG_BLOCK_WORDS], cur_inst->blocks[0]);
  // run_count reached 0; the run ends with the first instruction end.
  for (int k = 0; k < 10000 && cur_state->running != 0; ++k) run_device_cycle(0);
  EXPECT_EQ(cur_state->running, 0);
  EXPECT_EQ(cur_inst->flags & (DEV_STOP | DEV_INSTR_END | DEV_INSTR_END2), 0u);
}

TEST_F(run_check, ExcludedFlagSurvivesTheEndOfAnInstruction) {
  cur_state->run_mode = RUN_STEP_INSTR;
  cur_state->run_count = 1;
  cur_inst->flags = DEV_EXCLUDED;
  run_device_cycle(0);
  for (int k = 0; k < 10000 && cur_state->running != 0; ++k) run_device_cycle(0);
  EXPECT_EQ(cur_state->running, 0);
  EXPECT_NE(cur_inst->flags & DEV_EXCLUDED, 0u);
}

// The plan chooses the engine each way of running needs, and a run goes
// through the one chosen: only the fast engine reaches ends whole.
TEST_F(run_check, ThePlanChoosesTheEngineARunGoesThrough) {
  const struct {
    const char* what;
    int mode;
    const char* condition;  // an expression breakpoint, or none
    bool cycle_engine_only;
    const run_engine* engine;
  } cases[] = {
      {"a free go", RUN_GO, nullptr, false, &fast_engine},
      {"a step by cycles", RUN_STEP_CYCLE, nullptr, false, &fast_engine},
      {"a trace by instructions", RUN_TRACE_INSTR, nullptr, false, &fast_engine},
      {"a trace by cycles", RUN_TRACE_CYCLE, nullptr, false, &cycle_engine},
      {"a condition on pc", RUN_GO, "pc==$7000", false, &cycle_engine},
      {"a condition on the count alone", RUN_GO, "cyc>=100000", false, &fast_engine},
      {"held to the cycle engine", RUN_GO, nullptr, true, &cycle_engine},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    free_breakpoints();
    if (c.condition != nullptr) add(BK_EXPRESSION, BA_HALT, c.condition);
    cur_state->run_mode = c.mode;
    cur_state->run_count = 1000;
    cur_state->cycle_engine_only = c.cycle_engine_only ? 1 : 0;
    cur_state->run_plan_stale = 1;
    cur_state->fast_instructions = cur_state->straight_instructions = 0;
    cur_state->running = 1;
    cur_inst->pc = 0;
    EXPECT_EQ(&device_engine(0), c.engine);
    EXPECT_STREQ(device_engine(0).name, c.engine->name);
    EXPECT_EQ(run_device_cycles(0, 400), 400);
    EXPECT_EQ(cur_state->fast_instructions + cur_state->straight_instructions > 0, c.engine == &fast_engine)
        << cur_inst->instructions << " instructions";
  }
  cur_state->cycle_engine_only = 0;
}

TEST_F(run_check, DeviceCycleIgnoresMissingDevices) {
  run_device_cycle(-1);
  run_device_cycle(DEVICE_MAX);
  run_device_cycle(5);
  EXPECT_EQ(device_insts[5], nullptr);
}

}  // namespace

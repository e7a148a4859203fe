// The break, go, step, trace and streams commands: what their parsers
// accept, what they add to the breakpoint list and what they arm.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/cmd/breakpoints.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"

namespace {

class break_cmd : public cmd_fixture {
 protected:
  void TearDown() override {
    if (make_device_current(0)) free_breakpoints();
    cmd_fixture::TearDown();
  }
  static void run(const char* line) { execute_command_line(0, line); }

  // The lines printed since the last call.
  std::vector<std::string> fresh() {
    const std::string all = output();
    std::vector<std::string> out;
    std::istringstream in(all.substr(seen));
    seen = all.size();
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  // What a listing prints, without the echoed command.
  std::vector<std::string> listing(const char* line = "break") {
    fresh();
    run(line);
    std::vector<std::string> out = fresh();
    if (!out.empty()) out.erase(out.begin());
    return out;
  }
  static std::vector<int> numbers() {
    std::vector<int> out;
    for (const break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next)
      out.push_back(bp->number);
    return out;
  }

  std::size_t seen = 0;
};

using lines = std::vector<std::string>;

// --- Adding and numbering -------------------------------------------------------

TEST_F(break_cmd, ConditionsGiveTheirKinds) {
  run("break p:$10");
  run("break r x:$20..$2f n");
  run("break w x:$30#4 i2");
  run("break rw r0 s");
  run("break dw x:$40");
  run("break x0==$1234");
  run("break x:$5+1");
  EXPECT_EQ(listing(), (lines{"Break #1 p:$10 h", "Break #2 r x:$20..$2f n",
                              "Break #3 w x:$30#4 i2", "Break #4 rw r0 s", "Break #5 dw x:$40 h",
                              "Break #6 x0==$1234 h", "Break #7 x:$5+1 h"}));
  const break_rec* bp = cur_state->breakpoints;
  EXPECT_EQ(bp->kind, BK_PC);
  EXPECT_EQ(bp->operands.lo, 0x10u);
  bp = bp->next;
  EXPECT_EQ(bp->kind, BK_READ);
  EXPECT_EQ(bp->operands.lo, 0x20u);
  EXPECT_EQ(bp->operands.hi, 0x2Fu);
  bp = bp->next;
  EXPECT_EQ(bp->kind, BK_WRITE);
  EXPECT_EQ(bp->operands.hi, 0x33u);  // start + count - 1
  bp = bp->next;
  EXPECT_EQ(bp->kind, BK_REG_READ_WRITE);
  bp = bp->next;
  EXPECT_EQ(bp->kind, BK_DATA_WRITE);
  EXPECT_EQ(bp->operands.hi, 0x40u);  // one location: end = start
  bp = bp->next;
  EXPECT_EQ(bp->kind, BK_REG_COMPARE);
  EXPECT_EQ(bp->operands.op, CMP_EQ);
  EXPECT_EQ(bp->operands.lo, 0x1234u);
  bp = bp->next;
  EXPECT_EQ(bp->kind, BK_EXPRESSION);
}

TEST_F(break_cmd, ConditionsNamingCycOrPcAreMarked) {
  run("break cyc>100");
  run("break pc==$40 n");
  run("break x:$10==1");
  const break_rec* bp = cur_state->breakpoints;
  ASSERT_EQ(numbers().size(), 3u);
  EXPECT_EQ(bp->mentions, MENTIONS_CYC);
  EXPECT_EQ(bp->next->mentions, MENTIONS_PC);
  EXPECT_EQ(bp->next->next->mentions, 0u);
}

TEST_F(break_cmd, NumbersFillTheLowestGap) {
  run("break p:$10");
  run("break p:$11");
  EXPECT_EQ(numbers(), (std::vector<int>{1, 2}));
  run("break #1 off");
  run("break p:$12");
  EXPECT_EQ(numbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(cur_state->breakpoints->operands.lo, 0x12u);
  run("break #7 p:$13");
  run("break #4 p:$14");
  run("break p:$15");
  EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3, 4, 7}));
}

TEST_F(break_cmd, EveryNumberTakenIsReportedAndNothingAdded) {
  for (int n = 1; n <= BREAK_NUMBER_MAX; ++n) {
    std::unique_ptr<break_rec> rec = new_breakpoint();
    ASSERT_NE(insert_breakpoint(std::move(rec)), nullptr);
  }
  run("break p:$10");
  EXPECT_EQ(numbers().size(), static_cast<std::size_t>(BREAK_NUMBER_MAX));
  EXPECT_EQ(fresh().back(), "{Range of Break Number is 1-99}");
}

TEST_F(break_cmd, ExecuteActionKeepsTheRestOfTheLineAsTyped) {
  run("break x:$10 x display X:$10 pc   ");
  EXPECT_EQ(listing(), (lines{"Break #1 x:$10 x display X:$10 pc"}));
  EXPECT_EQ(cur_state->breakpoints->command_text, "display X:$10 pc");
  EXPECT_EQ(cur_state->breakpoints->action, BA_EXECUTE);
}

// --- Changing ---------------------------------------------------------------------

TEST_F(break_cmd, ModifyChangesOnlyWhatIsGiven) {
  run("break #3 x:$10 x radix h");
  run("break #3 n");  // a new action other than x drops the command
  EXPECT_EQ(listing("break #3"), (lines{"3. x:$10 n"}));
  run("break #3 p:$20");  // a condition alone keeps the action
  EXPECT_EQ(listing("break #3"), (lines{"3. p:$20 n"}));
  EXPECT_EQ(cur_state->breakpoints->kind, BK_PC);
  EXPECT_EQ(numbers(), (std::vector<int>{3}));
}

TEST_F(break_cmd, ModifyOfAMissingNumberAddsOnlyWithACondition) {
  run("break #5 x evaluate 1");
  EXPECT_TRUE(numbers().empty());
  run("break #5 p:$10 n");
  EXPECT_EQ(numbers(), (std::vector<int>{5}));
}

TEST_F(break_cmd, EnableDisableAndDeleteByListRangeOrAll) {
  for (int k = 0; k < 6; ++k) run("break p:$10");
  run("break #2,4 d");
  run("break #5..6 d");
  EXPECT_EQ(listing(), (lines{"Break #1 p:$10 h", "Break #2 p:$10 h disabled",
                              "Break #3 p:$10 h", "Break #4 p:$10 h disabled",
                              "Break #5 p:$10 h disabled", "Break #6 p:$10 h disabled"}));
  run("break e");
  EXPECT_EQ(listing("break #4"), (lines{"4. p:$10 h"}));
  run("break #9 off");  // not there: nothing
  run("break #1..3 off");
  EXPECT_EQ(numbers(), (std::vector<int>{4, 5, 6}));
  run("break d");
  EXPECT_EQ(listing("break #6"), (lines{"6. p:$10 h disabled"}));
  run("break off");
  EXPECT_TRUE(numbers().empty());
  EXPECT_TRUE(listing().empty());
}

TEST_F(break_cmd, ListingAMissingNumberPrintsNothing) {
  run("break p:$10");
  EXPECT_TRUE(listing("break #2").empty());
}

TEST_F(break_cmd, RefusedLines) {
  for (const char* line : {"break #0", "break #100 p:$10", "break #1,100 off"})
    EXPECT_EQ(refusal(line), "Range of Break Number is 1-99") << line;
  EXPECT_EQ(refusal("break p:$10 q"), "Invalid parameter");
  EXPECT_EQ(refusal("break p:$10 h n"), "Too many parameters");
  EXPECT_EQ(refusal("break p:$10 x"), "Need more parameters");
  EXPECT_EQ(refusal("break r"), "Need more parameters");
  EXPECT_EQ(refusal("break off now"), "Too many parameters");
  EXPECT_EQ(refusal("break {x==1}"), "Undeclared identifier x");
  EXPECT_EQ(refusal("break {$x0 +}"), "Premature end of C expression");
  EXPECT_TRUE(accepted("break p:$10 x break off"));
}

// --- go ---------------------------------------------------------------------------

TEST_F(break_cmd, GoArmsAFreeRun) {
  cur_state->halt_on_break = 1;  // left by "step h"
  run("go #2 :3");
  EXPECT_EQ(cur_state->running, 1);
  EXPECT_EQ(cur_state->run_mode, RUN_GO);
  EXPECT_EQ(cur_state->break_number, 2);
  EXPECT_EQ(cur_state->run_count, 3u);
  EXPECT_EQ(cur_state->halt_on_break, 0);
  run("go");
  EXPECT_EQ(cur_state->break_number, 0);
  EXPECT_EQ(cur_state->run_count, 1u);
}

TEST_F(break_cmd, GoFromAnAddressWritesThePc) {
  run("go $40");
  EXPECT_EQ(cur_inst->pc, 0x40u);
  EXPECT_EQ(cur_state->running, 1);
}

TEST_F(break_cmd, GoArgumentsComeInTheirOrder) {
  EXPECT_TRUE(accepted("go r #1 :2"));
  EXPECT_TRUE(accepted("go $10 :2"));
  EXPECT_TRUE(accepted("go :2"));
  EXPECT_EQ(refusal("go :2 #1"), "Too many parameters");
  EXPECT_EQ(refusal("go #1 $10"), "Too many parameters");
  EXPECT_EQ(refusal("go :0"), "Invalid parameter");
  EXPECT_EQ(refusal("go #100"), "Range of Break Number is 1-99");
}

// --- step, trace, streams -----------------------------------------------------------

TEST_F(break_cmd, StepAndTraceArmTheirModes) {
  struct {
    const char* line;
    int mode;
    uint32_t count;
    int halt;
  } const cases[] = {
      {"step", RUN_STEP_INSTR, 1, 0},        {"step $50", RUN_STEP_INSTR, 0x50, 0},
      {"step 20 cy", RUN_STEP_CYCLE, 20, 0}, {"step cy h", RUN_STEP_CYCLE, 1, 1},
      {"step 20 in h", RUN_STEP_INSTR, 20, 1}, {"step 3 li", RUN_STEP_INSTR, 3, 0},
      {"step h", RUN_STEP_INSTR, 1, 1},      {"trace", RUN_TRACE_INSTR, 1, 0},
      {"trace 10 cy", RUN_TRACE_CYCLE, 10, 0}, {"trace 20 h", RUN_TRACE_INSTR, 20, 1},
      {"trace li", RUN_TRACE_INSTR, 1, 0},
  };
  for (const auto& c : cases) {
    cur_state->break_number = 7;
    cur_state->running = 0;
    run(c.line);
    EXPECT_EQ(cur_state->run_mode, c.mode) << c.line;
    EXPECT_EQ(cur_state->run_count, c.count) << c.line;
    EXPECT_EQ(cur_state->halt_on_break, c.halt) << c.line;
    EXPECT_EQ(cur_state->break_number, 0) << c.line;
    EXPECT_EQ(cur_state->running, 1) << c.line;
  }
}

TEST_F(break_cmd, StepRefusals) {
  EXPECT_EQ(refusal("step 0"), "Invalid parameter");
  EXPECT_EQ(refusal("step -1"), "Invalid parameter");
  EXPECT_EQ(refusal("step h 5"), "Too many parameters");
  EXPECT_EQ(refusal("step 5 cy h x"), "Too many parameters");
  for (const char* line : {"step 5 xy", "trace 5 cy 6", "step 1.5"})
    EXPECT_EQ(refusal(line), "Invalid parameter") << line;
}

TEST_F(break_cmd, CountsThatDoNotFitThirtyTwoBitsAreRefusedLikeZero) {
  const char* const refused[] = {
      "step 4294967296",        "step 4294967297",     "step 4294967297 cy", "step 18446744073709551617",
      "step 1099511627777",     "step $10000000001",   "step 1099511627776+1", "trace 4294967297",
      "trace 18446744073709551617 h", "next 4294967297", "next 18446744073709551617 li",
      "wait 4294967297",        "wait 18446744073709551617", "up 4294967297", "down 4294967297",
      "where 4294967297",       "where -4294967297",   "up 18446744073709551617", "go :4294967297",
      "go :18446744073709551617"};
  for (const char* line : refused) EXPECT_EQ(refusal(line), "Invalid parameter") << line;
  EXPECT_EQ(refusal("break #4294967297 x:0"), "Range of Break Number is 1-99");
  // The largest count is still taken whole.
  run("step 4294967295 cy");
  EXPECT_EQ(cur_state->run_count, 4294967295u);
}

TEST_F(break_cmd, StreamsShowsAndSwitches) {
  cur_state->view_mode = 1;
  run("streams");
  EXPECT_EQ(fresh().back(), "streams enabled");
  EXPECT_EQ(cur_state->view_mode, 0);
  run("streams d");
  EXPECT_EQ(cur_state->streams_enabled, 0);
  run("streams");
  EXPECT_EQ(fresh().back(), "streams disabled");
  run("streams enable");
  EXPECT_EQ(cur_state->streams_enabled, 1);
  EXPECT_EQ(refusal("streams on"), "Invalid parameter");
  EXPECT_EQ(refusal("streams e d"), "Too many parameters");
}

}  // namespace

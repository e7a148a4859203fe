// Call frames of a test-built C program (main -> f1(a) -> f2(b)) run to a
// stop in f2: the back-trace walked by where and selected by frame, up
// and down; arguments and saved registers of outer frames.
#include <gtest/gtest.h>

#include <string>

#include "tests/sim/cmd/cmd_fixture.h"
#include "coff_writer.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/core/runloop.h"

namespace {

constexpr uint32_t MAIN = 0x100, F1 = 0x110, F2 = 0x120, STOP = 0x121;

// The program's words: f1 and f2 save registers in their prologues, each
// caller pushes one argument and releases it after the call.
std::vector<uint32_t> program_words() {
  std::vector<uint32_t> p(0x30, 0);
  const auto put = [&](uint32_t at, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) p[at++ - MAIN] = w;
  };
  put(MAIN, {0x2012, 0x3806, 0x0130, F1, 0x3211, 0x0134, MAIN + 5});  // push a=$12; jsr f1; release
  put(F1, {0x3B06, 0x3A06,                                             // save return address and r0
           0x3E1C, 0x0005, 0x2034, 0x3806, 0x0130, F2, 0x3211,         // r0=5; push b=$34; jsr f2
           0x3E1A, 0x3F1A, 0x0006});
  put(F2, {0x3806, 0x0000, 0x3C1A, 0x0006});  // save x0; nop; restore; rts
  return p;
}

// A C function symbol with its ".bf" (frame code in word 5) and the
// parameter at a frame offset.
void function(test_coff& c, const char* name, uint32_t at, uint32_t size, uint32_t body, uint32_t code,
              const char* param, int32_t offset) {
  c.symbol(name, at, 0, 1, 0x24, 2, 1);  // function returning int
  c.aux({0, size, 0, 0, 0, 0, 0, 0});
  c.symbol(".bf", body, 0, 1, 0, 101, 1);
  c.aux({0, 0, 0, 0, 0, code, 0, 0});
  if (param != nullptr) c.symbol(param, static_cast<uint32_t>(offset), 1, -1, 4, 9);
}

class Frames : public cmd_files {
 protected:
  void SetUp() override {
    cmd_files::SetUp();
    test_coff c;
    c.sections = {{".txt", MAIN, 0, 0x20, program_words()}};
    function(c, "Fmain", MAIN, 0x10, MAIN, 2, nullptr, 0);
    c.symbol(".bb", MAIN, 0, 1, 0, 100);
    c.symbol("Frv", 6, 0, -1, 4, 4);  // register int rv: r0
    c.symbol(".eb", MAIN + 7, 0, 1, 0, 100);
    c.symbol(".ef", MAIN + 7, 0, 1, 0, 101);
    function(c, "Ff1", F1, 0x10, F1 + 2, 2, "Fa", -3);
    c.symbol(".ef", F1 + 0xB, 0, 1, 0, 101);
    function(c, "Ff2", F2, 4, F2 + 1, 0, "Fb", -2);
    c.symbol(".ef", F2 + 3, 0, 1, 0, 101);
    c.write(path("chain.cld"));
    run(("load " + path("chain.cld")).c_str());
    run("change r2 $40 r0 $77 pc $100");
    run("break pc==$121");
    run("go");
    for (int k = 0; k < 100 && cur_state->running != 0; ++k) run_device_cycles(0, 1000);
    ASSERT_EQ(cur_inst->pc, STOP) << output();
    recorded().clear();
  }
};

TEST_F(Frames, WhereWalksTheChainAndFrameUpDownSelect) {
  run("where");
  EXPECT_EQ(output(),
            "where\n"
            "==> #0  p:0x121 in f2 (b=52)\n"
            "    #1  p:0x118 in f1 (a=18)\n"
            "    #2  p:0x104 in main ()\n");
  recorded().clear();
  run("where 2");
  run("where -1");
  run("up");
  run("where");
  run("up 1");
  run("up");
  run("down 2");
  run("down");
  run("frame #1");
  run("frame");
  run("frame #5");
  run("where 0");
  EXPECT_EQ(output(),
            "where 2\n"
            "==> #0  p:0x121 in f2 (b=52)\n"
            "    #1  p:0x118 in f1 (a=18)\n"
            "where -1\n"
            "    #2  p:0x104 in main ()\n"
            "up\n"
            "==> #1  p:0x118 in f1 (a=18)\n"
            "where\n"
            "    #0  p:0x121 in f2 (b=52)\n"
            "==> #1  p:0x118 in f1 (a=18)\n"
            "    #2  p:0x104 in main ()\n"
            "up 1\n"
            "==> #2  p:0x104 in main ()\n"
            "up\n"
            "{Can't go up any further}\n"
            "down 2\n"
            "==> #0  p:0x121 in f2 (b=52)\n"
            "down\n"
            "{Can't go down any further}\n"
            "frame #1\n"
            "==> #1  p:0x118 in f1 (a=18)\n"
            "frame\n"
            "==> #1  p:0x118 in f1 (a=18)\n"
            "frame #5\n"
            "{There is no frame #5}\n"
            "where 0\n")
      << output();
  EXPECT_EQ(refusal("where 4"), "There aren't 4 frames");
  EXPECT_EQ(refusal("where -5"), "There aren't 5 frames");
}

TEST_F(Frames, OuterFramesSeeTheirSavedRegistersAndLocations) {
  build_backtrace();
  ASSERT_EQ(frames_count(), 3);
  // f2 saved x0 just below its stack pointer, f1 saved r0 below its
  // return address.
  const frame_rec& f2 = *frame_at(0);
  const frame_rec& f1 = *frame_at(1);
  ASSERT_EQ(f2.saved.size(), 1u);
  EXPECT_EQ(f2.saved[0].name, "x0");
  EXPECT_EQ(f2.saved[0].slot, f2.stack_pointer - 1);
  ASSERT_EQ(f1.saved.size(), 1u);
  EXPECT_EQ(f1.saved[0].name, "r0");
  EXPECT_EQ(f1.stack_pointer, 0x43u);  // a, return address, r0
  EXPECT_EQ(f2.stack_pointer, 0x45u);  // b, x0 (the return address is on the hardware stack)
  // main's register variable: live r0 holds f1's 5, the slot main's.
  frame_current_set(2);
  EXPECT_EQ(frame_pc(), 0x104u);
  EXPECT_EQ(c_value_text(c_parse("{rv}")->root->value, C_HEX), "0x77");
  EXPECT_EQ(cur_inst->pc, STOP);
  // An argument is read relative to the selected frame.
  frame_current_set(1);
  uint32_t space = 0, address = 0;
  c_frame_address(1, static_cast<uint32_t>(-3), &space, &address);
  EXPECT_EQ(address, 0x40u);
  EXPECT_EQ(c_value_text(c_parse("{a}")->root->value, C_HEX), "0x12");
  // A run drops the list.
  run("step");
  EXPECT_EQ(frames_count(), 0);
}

// C watches are shown in their own function's frames only; type names
// the frame-relative and register locations.
TEST_F(Frames, CWatchesKeepTheirScopeAndTypeShowsLocations) {
  run("watch h {b}");
  run("up");
  run("watch {a}");
  run("watch");
  run("type {a}");
  run("down");
  run("watch");
  run("type {b}");
  run("up 2");
  run("type {rv}");
  run("type {rv+1}");
  EXPECT_EQ(output(),
            "watch h {b}\n"
            "up\n"
            "==> #1  p:0x118 in f1 (a=18)\n"
            "watch {a}\n"
            "watch\n"
            "#1 h {b}                                Expression out of scope\n"
            "#2   {a}                                0x12\n"
            "type {a}\n"
            "int at xi:0x40 (r2[=0x43]-0x3)\n"
            "down\n"
            "==> #0  p:0x121 in f2 (b=52)\n"
            "watch\n"
            "#1 h {b}                                0x34\n"
            "#2   {a}                                Expression out of scope\n"
            "type {b}\n"
            "int at xi:0x43 (r2[=0x45]-0x2)\n"
            "up 2\n"
            "==> #2  p:0x104 in main ()\n"
            "type {rv}\n"
            "int in register r0\n"
            "type {rv+1}\n"
            "int\n")
      << output();
}

// An assignment in an outer frame writes that frame's argument, and the
// frame's line shows the new value; a watch of an expression follows it.
TEST_F(Frames, EvaluateInAnOuterFrameWritesItsArgument) {
  run("up");
  run("watch d {a*2}");
  run("evaluate {a = 7}");
  run("frame");
  run("watch");
  run("where 2");
  EXPECT_EQ(output(),
            "up\n"
            "==> #1  p:0x118 in f1 (a=18)\n"
            "watch d {a*2}\n"
            "evaluate {a = 7}\n"
            "int: 7\n"
            "frame\n"
            "==> #1  p:0x118 in f1 (a=7)\n"
            "watch\n"
            "#1 d {a*2}                              14\n"
            "where 2\n"
            "    #0  p:0x121 in f2 (b=52)\n"
            "==> #1  p:0x118 in f1 (a=7)\n")
      << output();
  uint32_t word = 0;
  read_device_memory(0, 1, 0x40, &word);
  EXPECT_EQ(word, 7u);
}

}  // namespace

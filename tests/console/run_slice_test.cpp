// The background run of the console: slices of rounds over every device
// that takes part, the end of a run for all when one device stops, and the
// prompt and macro lines waiting for it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <initializer_list>
#include <string>

#include "console/console_fixture.h"
#include "sim/cmd/breakpoints.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/core/runloop.h"

namespace {

class run_slice : public console_fixture {
 protected:
  void TearDown() override {
    for (int d = 0; d < DEVICE_MAX; ++d)
      if (make_device_current(d)) free_breakpoints();
    console_fixture::TearDown();
  }

  // inc a; inc a; jmp >$0 at p:$0, pc 0 (counts cleared).
  static void load_loop(int device) {
    uint32_t address = 0;
    for (uint32_t word : {0x4a22u, 0x4a22u, 0x0134u, 0x0000u})
      write_device_memory(device, SPACE_P, address++, &word);
    execute_command_line(device, "change pc 0");
  }
  static void run(int device, const char* line) { execute_command_line(device, line); }
  // Runs slices until the run has ended; false when it did not end.
  static bool pump(int limit = 1000) {
    for (int k = 0; k < limit; ++k)
      if (!console_run_slice()) return true;
    return false;
  }
};

TEST_F(run_slice, NoRunNoSlice) { EXPECT_FALSE(console_run_slice()); }

TEST_F(run_slice, GoRunsToTheBreakpointAndEnds) {
  load_loop(0);
  run(0, "break p:$2");
  run(0, "go");
  ASSERT_EQ(device_states[0]->running, 1);
  ASSERT_TRUE(pump());
  EXPECT_EQ(device_states[0]->running, 0);
  EXPECT_NE(output().find("Break #1 p:$2 h ;dev:0 pc:0002"), std::string::npos);
  EXPECT_EQ(console_status_text(), "");  // the progress line went with the run
}

// One device alone runs a traced instruction in one slice, on either
// engine; beside another device each slice is one round, so that both
// stay side by side.
TEST_F(run_slice, TraceByInstructionRunsOneInstructionPerSlice) {
  for (const bool cycle_engine : {false, true}) {
    SCOPED_TRACE(cycle_engine ? "cycle engine" : "fast engine");
    load_loop(0);
    device_states[0]->cycle_engine_only = cycle_engine ? 1 : 0;
    run(0, "trace 3");
    const uint32_t ends = device_insts[0]->instructions;
    for (uint32_t k = 1; k <= 3; ++k) {
      EXPECT_TRUE(console_run_slice());
      EXPECT_EQ(device_insts[0]->instructions, ends + k);
    }
    ASSERT_TRUE(pump());
    EXPECT_EQ(device_states[0]->running, 0);
    EXPECT_EQ(device_insts[0]->instructions, ends + 3);
    device_states[0]->cycle_engine_only = 0;
  }
  load_loop(0);
  run(0, "device dv1");
  load_loop(1);
  run(1, "device dv0");
  run(0, "trace 2");
  const uint32_t before = device_insts[0]->cycles;
  const uint32_t other_before = device_insts[1]->cycles;
  EXPECT_TRUE(console_run_slice());
  EXPECT_EQ(device_insts[0]->cycles, before + 1);
  EXPECT_EQ(device_insts[1]->cycles, other_before + 1);
  EXPECT_TRUE(console_run_slice());
  EXPECT_EQ(device_insts[0]->cycles, before + 2);
  ASSERT_TRUE(pump());
  EXPECT_EQ(device_states[0]->running, 0);
}

TEST_F(run_slice, OneDeviceStoppingEndsTheRunForAllAndIsShown) {
  load_loop(0);
  run(0, "device dv1");  // dv0, left, keeps running in the background
  load_loop(1);
  run(1, "device dv0");
  run(1, "break p:$1");
  run(0, "go");
  ASSERT_TRUE(pump());
  EXPECT_EQ(shown_device, 1);
  EXPECT_EQ(device_states[1]->running, 0);
  // Side by side: both devices ran the same cycles.
  EXPECT_EQ(device_insts[0]->cycles, device_insts[1]->cycles);
  EXPECT_GT(device_insts[0]->cycles, 0u);
}

TEST_F(run_slice, ExcludedDevicesDoNotRun) {
  load_loop(0);
  run(0, "device dv1");
  load_loop(1);
  run(1, "device dv0");
  device_insts[1]->flags |= DEV_EXCLUDED;
  const uint32_t parked = device_insts[1]->cycles;
  run(0, "step 3");
  ASSERT_TRUE(pump());
  EXPECT_EQ(device_insts[1]->cycles, parked);
  EXPECT_EQ(device_insts[0]->instructions, 3u);
  EXPECT_EQ(shown_device, 0);
}

// The progress line lasts as long as the run; a script's session shows it
// once, at the start, and a terminal's session not at all.
TEST_F(run_slice, ProgressLineLastsAsLongAsTheRunAndAScriptSeesItOnce) {
  const std::string line = "{SIMULATION IN PROGRESS.} Enter Ctrl-C to Halt. dev:0 pc:0000 cyc:0\n";
  for (const bool terminal : {false, true}) {
    console_io().in_tty = terminal;
    load_loop(0);
    execute_command_line(0, "change cyc 0");
    run(0, "break cyc>=5000");
    run(0, "go");
    EXPECT_TRUE(console_run_slice());
    EXPECT_EQ(console_status_text(), line.substr(0, line.size() - 1));
    ASSERT_TRUE(pump());
    EXPECT_EQ(console_status_text(), "");
    const std::string text = output();
    const std::size_t at = text.find("go\n" + line);
    EXPECT_EQ(at != std::string::npos, !terminal) << text;
    EXPECT_EQ(text.find("SIMULATION", text.find("SIMULATION") + 1), std::string::npos) << text;  // once
    run(0, "break off");
    std::fflush(out);
    ASSERT_EQ(ftruncate(fileno(out), 0), 0);
    std::rewind(out);
  }
}

TEST_F(run_slice, StopRequestAbortsTheRun) {
  load_loop(0);
  run(0, "go");
  EXPECT_TRUE(console_run_slice());
  stop_request = 1;
  ASSERT_TRUE(pump());
  EXPECT_NE(output().find("{SIMULATION ABORTED}"), std::string::npos);
}

TEST_F(run_slice, SwitchingTheRunningDeviceOffEndsTheRun) {
  load_loop(0);
  run(0, "break p:$1 x device dv0 off");
  run(0, "go :5");  // the hit alone does not stop it
  ASSERT_TRUE(pump());
  EXPECT_EQ(device_states[0]->running, 0);
  EXPECT_NE(device_insts[0]->flags & DEV_EXCLUDED, 0u);
}

// A run command in a breakpoint's action continues the run: it neither
// restarts the counts nor wipes the stop that Ctrl-C asks for.
TEST_F(run_slice, RunCommandsInActionsContinueTheRunAndCtrlCStillEndsIt) {
  for (const char* action : {"break x0==0 x go", "break cyc>=10 x go", "break x0==0 x step 2",
                             "break x0==0 x go :5"}) {
    SCOPED_TRACE(action);
    load_loop(0);
    run(0, action);
    run(0, "go");
    for (int k = 0; k < 5; ++k) ASSERT_TRUE(console_run_slice());
    stop_request = 1;
    EXPECT_TRUE(pump(5));
    EXPECT_EQ(device_states[0]->running, 0);
    run(0, "break off");
  }
  // The run's own limits hold too: a step of 3 stays a step of 3.
  load_loop(0);
  run(0, "break x0==0 x go");
  const uint32_t before = device_insts[0]->instructions;
  run(0, "step 3");
  ASSERT_TRUE(pump());
  EXPECT_EQ(device_insts[0]->instructions, before + 3);
}

TEST_F(run_slice, ARunArmedOnADeviceSwitchedOffLeavesItOff) {
  load_loop(0);
  run(0, "device dv0 off");
  run(0, "go");
  EXPECT_NE(device_insts[0]->flags & DEV_EXCLUDED, 0u);
  ASSERT_TRUE(pump(2));
  EXPECT_NE(device_insts[0]->flags & DEV_EXCLUDED, 0u);
}

// With the shown device off, a go runs the devices that are on, and
// Ctrl-C stops the one that runs.
TEST_F(run_slice, AGoWhileTheShownDeviceIsOffRunsTheOthersUntilCtrlC) {
  run(0, "device dv1");
  load_loop(1);
  run(1, "device dv0");
  load_loop(0);
  run(0, "device dv0 off");
  run(0, "go");
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(console_run_slice());
  EXPECT_GT(device_insts[1]->cycles, 0u);
  EXPECT_EQ(device_insts[0]->cycles, 0u);
  stop_request = 1;
  ASSERT_TRUE(pump(5));
  EXPECT_EQ(device_states[1]->running, 0);
  EXPECT_EQ(shown_device, 1);
  EXPECT_NE(output().find("{SIMULATION ABORTED}"), std::string::npos);
}

TEST_F(run_slice, DeletingTheRunningDeviceFromAnActionEndsTheRunForAll) {
  run(0, "device dv1");
  run(1, "device dv0");  // dv1, left, takes part in runs
  load_loop(0);
  run(0, "break pc==1 x device dv0 x");
  run(0, "go");
  ASSERT_TRUE(pump(20));
  EXPECT_EQ(device_insts[0], nullptr);
  EXPECT_EQ(shown_device, 1);
  EXPECT_EQ(device_states[1]->running, 0);
}

}  // namespace

// Runs of straight instructions with no observer at their ends: what a
// free run leaves without anyone looking at each end. The progress line of
// a go comes at the same counts as on the cycle engine (those at an
// instruction end are found only where the run's quiet bound lies), and
// devices of different types running side by side leave their own access
// logs (each plain page notes into its own device's log rows).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"

namespace {

using namespace engine_pair;

std::vector<uint32_t> progress_counts;
void note_progress_line() { progress_counts.push_back(cur_inst->cycles); }

class straight_runs : public cmd_fixture {
 protected:
  void SetUp() override {
    cmd_fixture::SetUp();
    free_all_devices();
    instruction_end_observer = nullptr;
    saved_progress = run_hook.show_progress_line;
    run_hook.show_progress_line = note_progress_line;
  }
  void TearDown() override {
    run_hook.show_progress_line = saved_progress;
    free_all_devices();
    cmd_fixture::TearDown();
  }
  static void fir_device(int d, const char* type, bool cycle_engine) {
    make(d, type, cycle_engine);
    place_fir(d);
    set(d, "pc", 0x100);
    arm(d);
  }
  void (*saved_progress)() = nullptr;
};

TEST_F(straight_runs, ProgressLinesComeAtTheCyclesEnginesCounts) {
  std::vector<uint32_t> counts[2];
  for (int engine : {0, 1}) {
    fir_device(0, "73521", engine == 1);
    progress_counts.clear();
    // Slices of odd lengths, so that the thousands fall at ends and
    // inside instructions, at the start of runs and in their middle.
    int ran = 0;
    for (int slice : {997, 1003, 2500, 4001, 7777, 3722})
      ran += run_device_cycles(0, slice);
    EXPECT_EQ(ran, 20000);
    EXPECT_EQ(device_states[0]->running, 1);
    counts[engine] = progress_counts;
    if (engine == 0) {
      EXPECT_GT(device_states[0]->straight_instructions, 1000u);
    }
    free_all_devices();
  }
  // One line per thousand, whoever runs the instructions.
  ASSERT_EQ(counts[1].size(), 20u);
  for (std::size_t k = 0; k < counts[1].size(); ++k) EXPECT_EQ(counts[1][k], 1000 * (k + 1));
  EXPECT_EQ(counts[0], counts[1]);
}

TEST_F(straight_runs, DevicesOfSeveralTypesKeepTheirOwnAccessLogs) {
  // Pairs of one type, fast and cycle engine, run by turns: a page map made
  // for one device that noted into another's logs parts each pair.
  const char* types[] = {"73521", "73583", "73547rom"};
  for (int p = 0; p < 3; ++p) {
    fir_device(2 * p, types[p], false);
    fir_device(2 * p + 1, types[p], true);
  }
  for (int turn = 0; turn < 4; ++turn)
    for (int d = 0; d < 6; ++d) EXPECT_EQ(run_device_cycles(d, 1501 + 250 * turn), 1501 + 250 * turn);
  for (int p = 0; p < 3; ++p) {
    SCOPED_TRACE(types[p]);
    for (int d : {2 * p, 2 * p + 1}) {
      make_device_current(d);
      catch_up_peripherals();
    }
    EXPECT_GT(device_states[2 * p]->straight_instructions, 1000u);
    EXPECT_EQ(device_states[2 * p + 1]->straight_instructions, 0u);
    EXPECT_EQ(device_state_difference(2 * p, 2 * p + 1), "");
  }
}

}  // namespace

// Memory-access breakpoints are tested only at the ends of instructions
// that accessed a watched block: every other end stays quiet, in straight
// runs too; in a step or trace without the halt option, breakpoints that
// only halt are not tested at all. The hits, counts, report lines (trace
// lines too) and state are the cycle engine's, over three runs that go on
// after each stop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"

namespace {

using namespace engine_pair;
constexpr int FAST = 0, CYCLE = 1;

std::vector<uint64_t> ends[2];
void record(int device) {
  catch_up_peripherals();
  ends[device].push_back(device_state_digest(device));
}

class access_watch_test : public cmd_fixture {
 protected:
  void TearDown() override {
    instruction_end_observer = nullptr;
    free_all_devices();
    cmd_fixture::TearDown();
  }
};

struct watch_case {
  std::vector<const char*> lines;
  int stops;                // runs of three that end at a hit, in a go
  bool halts_only = false;  // a step without h tests none of them
};

std::string masked_devices(std::string text) {
  for (std::size_t at = text.find("dev:"); at != std::string::npos; at = text.find("dev:", at + 1))
    text.replace(at, 5, "dev:*");
  return text;
}

TEST_F(access_watch_test, WatchesHitWhereTheCycleEngineHits) {
  // The filter reads x:$0..$43 and writes x:$80..$87; nothing touches y
  // memory or x:$44..$7f.
  const watch_case cases[] = {
      {{"break w x:$40"}, 0, true},
      {{"break w x:$50..$7f", "break rw y:$0..$ffff"}, 0, true},
      {{"break w x:$83"}, 3, true},
      {{"break r x:$42 i1", "break w x:$86 n"}, 0},
      {{"break rw x:$87..$1"}, 3, true},  // wraps: x:$87..$ffff and x:$0..$1
      {{"break dw x:$81"}, 1, true},      // the same word again is no change
      {{"break drw x:$3 i2", "break p:$10f i3"}, 0},
      {{"break w x:$40", "break p:$10d i1", "break cyc>=2500"}, 3},
      {{"break w x:$83", "break p:$10d", "break cyc>=2500", "break a1==$0"}, 3, true},
      {{"break w x:$40", "break x0==$4000 i4"}, 0},
  };
  for (const std::string command : {"go", "step 1500", "step 2100 cy h", "step 2100 cy", "trace 40"})
    for (const bool observed : {false, true})
      for (const watch_case& c : cases) {
        SCOPED_TRACE(command + (observed ? ", observed, " : ", ") + c.lines.front() + " ... " +
                     c.lines.back());
        instruction_end_observer = observed ? record : nullptr;
        ends[FAST].clear();
        ends[CYCLE].clear();
        for (int d : {FAST, CYCLE}) {
          make(d, "73521", d == CYCLE);
          place_fir(d);
          set(d, "pc", 0x100);
          for (const char* line : c.lines) execute_command_line(d, line);
        }
        int stops = 0;
        for (int run = 0; run < 3; ++run) {
          std::string report[2];
          int ran[2] = {0, 0};
          for (int d : {FAST, CYCLE}) {
            execute_command_line(d, command.c_str());
            recorded().clear();
            ran[d] = run_device_cycles(d, 3000);
            report[d] = masked_devices(output());
          }
          stops += device_states[CYCLE]->running == 0 ? 1 : 0;
          EXPECT_EQ(ran[FAST], ran[CYCLE]) << "run " << run;
          EXPECT_EQ(report[FAST], report[CYCLE]) << "run " << run;
          EXPECT_EQ(device_states[FAST]->running, device_states[CYCLE]->running);
          EXPECT_EQ(device_insts[FAST]->cycles, device_insts[CYCLE]->cycles);
          EXPECT_EQ(device_insts[FAST]->pc, device_insts[CYCLE]->pc);
          for (int k = 0; k < 4; ++k) EXPECT_EQ(device_states[FAST]->cnt[k], device_states[CYCLE]->cnt[k]) << k;
          for (int d : {FAST, CYCLE}) {
            make_device_current(d);
            catch_up_peripherals();
          }
          EXPECT_EQ(device_state_difference(FAST, CYCLE), "") << "run " << run;
        }
        EXPECT_TRUE(ends[FAST] == ends[CYCLE]);
        // Without h nothing that only halts can show in a step or trace.
        const bool inert = c.halts_only && command != "go" && command.back() != 'h';
        EXPECT_EQ(device_states[FAST]->breaks_inert, inert ? 1 : 0);
        if (command == "go") {
          EXPECT_EQ(stops, c.stops);
        }
        // Watches alone leave the ends to the pc's bitmap.
        if (c.lines.size() == 1) {
          EXPECT_EQ(device_states[FAST]->breaks_every_end, 0);
        }
        free_all_devices();
      }
}

}  // namespace

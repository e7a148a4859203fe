// Breakpoints beside serial ports that run on their own clock. A
// breakpoint that cannot see a port's steps (program addresses, the count,
// conditions on registers or memory, which catch the ports up when they
// read them) leaves the port's toggles to the catch-ups; one that can
// (accesses of the ports' registers, their marks, a command) makes every
// toggle an event. Either way the fast device hits where the cycle engine
// and a device stepping every toggle hit, with the same report lines, the
// cycle engine's whole state and the same ports, pins and registers as
// the device stepping every toggle (which notes the ports' register
// writes at other counts).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"
#include "support/serial_port_state.h"

namespace {

using namespace engine_pair;
constexpr int FAST = 0, CYCLE = 1, REFERENCE = 2;
constexpr int DEVICES[] = {FAST, CYCLE, REFERENCE};

// The serial ports, the program's registers and the count.
std::vector<uint32_t> seen(int d) {
  make_device_current(d);
  std::vector<uint32_t> s;
  for (int p = 0; p < cur_type->periph_count; ++p)
    if (cur_type->periphs[p].cls->input_word == serial_input_word) {
      const std::vector<uint32_t> port = serial_port_state(p);
      s.insert(s.end(), port.begin(), port.end());
    }
  for (int reg : {CORE_A0, CORE_A1, CORE_B0, CORE_B1, CORE_X0, CORE_Y0, CORE_PC})
    s.push_back(cur_inst->periph_state[0][reg]);
  s.push_back(cur_inst->cycles);
  return s;
}

class serial_breaks : public cmd_fixture {
 protected:
  void TearDown() override {
    free_all_devices();
    cmd_fixture::TearDown();
  }
};

struct break_case {
  const char* type;
  std::vector<std::string> lines;
  bool unseen;  // the fast device's ports step at catch-ups
  int stops;    // runs (of three) that end at a hit
};

TEST_F(serial_breaks, PortsStepUnseenUnlessABreakpointSeesThem) {
  // Both ports send and receive on their own bit clock and frame sync;
  // ipr stays 0, so no request is taken.
  const std::string ssis = "change tpr 99 tcr $8200 cra0 $6007 crb0 $3030 cra1 $0307 crb1 $3830 pcc $3ff";
  const std::string rssis = "change cra0 $0207 crb0 $3c30 cra1 $6107 crb1 $3438 pcc $3ff";
  const break_case cases[] = {
      {"73521", {ssis, "break cyc>=2500"}, true, 3},
      {"73521", {ssis, "break p:$200", "break cyc>=2000000000"}, true, 0},
      {"73521", {ssis, "break p:$10d i1"}, true, 0},
      {"73521", {ssis, "break cyc==1601", "break p:$10e n"}, true, 1},
      // Conditions read the ports' registers and memory after a catch-up.
      {"73521", {ssis, "break x:$ffef==$1234"}, true, 0},
      {"73521", {ssis, "break a1==$7fff&&x0==$1"}, true, 0},
      // The ports' status registers' accesses and marks, and a command.
      {"73521", {ssis, "break w x:$ffe0..$ffff", "break cyc>=2500"}, false, 3},
      {"73521", {ssis, "break w ssr0 i1"}, false, 0},
      {"73521", {ssis, "break p:$10e x display"}, false, 3},
      {"73583", {rssis, "break cyc>=3001"}, true, 2},
      {"73583", {rssis, "break r x:$ffe0..$ffff"}, false, 0},
  };
  for (const break_case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + ": " + c.lines.back());
    for (int d : DEVICES) {
      make(d, c.type, d == CYCLE);
      device_states[d]->serial_unseen_off = d == REFERENCE ? 1 : 0;
      place_fir(d);
      set(d, "pc", 0x100);
      for (const std::string& line : c.lines) execute_command_line(d, line.c_str());
    }
    int stops = 0;
    for (int run = 0; run < 3; ++run) {
      std::string report[3];
      int ran[3] = {0, 0, 0};
      for (int d : DEVICES) {
        arm(d);
        recorded().clear();
        ran[d] = run_device_cycles(d, 3000 + 17 * run);
        report[d] = output();
        for (std::size_t at = report[d].find("dev:"); at != std::string::npos; at = report[d].find("dev:", at + 1))
          report[d].replace(at, 5, "dev:*");
      }
      stops += device_states[FAST]->running == 0 ? 1 : 0;
      for (int d : {CYCLE, REFERENCE}) {
        SCOPED_TRACE("run " + std::to_string(run) + " against device " + std::to_string(d));
        EXPECT_EQ(ran[FAST], ran[d]);
        EXPECT_EQ(report[FAST], report[d]);
        EXPECT_EQ(device_states[FAST]->running, device_states[d]->running);
        EXPECT_EQ(device_insts[FAST]->cycles, device_insts[d]->cycles);
        EXPECT_EQ(device_insts[FAST]->pc, device_insts[d]->pc);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(device_states[FAST]->cnt[k], device_states[d]->cnt[k]) << k;
      }
      for (int d : DEVICES) {
        make_device_current(d);
        catch_up_peripherals();
      }
      EXPECT_EQ(device_state_difference(FAST, CYCLE), "") << "run " << run;
      EXPECT_EQ(seen(FAST), seen(REFERENCE)) << "run " << run;
    }
    EXPECT_EQ(stops, c.stops);
    EXPECT_EQ(device_states[FAST]->serial_unseen_steps > 0, c.unseen);
    EXPECT_EQ(device_states[REFERENCE]->serial_unseen_steps, 0u);
    free_all_devices();
  }
}

}  // namespace

// A serial port stepped only at the events it schedules (the run loop)
// ends every cycle in the state it reaches when its clock runs in every
// cycle: two devices set up alike, one clocked each way, compared as they
// go, with the program's register traffic landing in the same cycles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory_fixture.h"
#include "sim/engine/core/clock_device.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"
#include "support/serial_port_state.h"

namespace {

constexpr uint32_t PCC = 0xFFC1, CRA = 0xFFD0, CRB = 0xFFD1, SSR = 0xFFF0, RX_TX = 0xFFF1, TML = 0xFFF4, IPR = 0xFFDF;
constexpr int PORT_C = 3;

struct setup {
  const char *type, *port, *what;
  uint32_t cra, crb, tml;  // tml: the ssi's only
};

class SerialEvents : public device_fixture {
 protected:
  static constexpr int EVERY_CYCLE = 0, EVENTS = 1;
  int port = 0;

  void write(int device, uint32_t address, uint32_t value) {
    make_device_current(device);
    write_peripheral_bus(address, value, 1);
  }
  uint32_t read(int device, uint32_t address) {
    make_device_current(device);
    uint32_t v = 0;
    read_peripheral_bus(address, &v, 1);
    return v;
  }
  std::vector<uint32_t> state(int device) {
    make_device_current(device);
    return serial_port_state(port);
  }
};

TEST_F(SerialEvents, EventSteppingMatchesSteppingEveryCycle) {
  const setup setups[] = {
      {"73521", "ssi0", "normal, 16-bit, PM 1, internal clock and frame sync", 0x6001, 0xF030, 0xFFFF},
      {"73521", "ssi0", "network, 8-bit, four slots, tml 5, PSR", 0x8300, 0xFB30, 0x0005},
      {"73521", "ssi0", "companded, LSB first, word-long frame sync, µ-law", 0x2002, 0x31B8, 0xFFFF},
      {"73521", "ssi0", "on demand: network, one slot, internal frame sync", 0x6000, 0x1830, 0xFFFF},
      {"73521", "ssi0", "external clock and frame sync, nothing driving them", 0x6000, 0x3000, 0xFFFF},
      {"73547", "ssi0", "synchronous, output flags on the frame-sync pins", 0x4001, 0x3436, 0xFFFF},
      {"73583", "rssi0", "normal, 16-bit, internal clock and frame sync", 0x6001, 0xF430, 0},
      {"73583", "rssi0", "network, 12-bit, gated clock, early last frame sync", 0x4300, 0x3C3C, 0},
  };
  // With no priority (ipr 0), or with requests off, nothing sees the
  // steps until something looks: they are taken at the catch-up, here
  // every cycle or every 97 cycles; a STOP of the core ends them in its
  // cycle.
  struct variant {
    uint32_t ipr;
    int look_every;
    bool stop;
  };
  constexpr variant variants[] = {{0x0C00, 1, false}, {0x0C00, 97, false}, {0, 1, false},
                                  {0, 97, false},     {0, 97, true},       {0x0C00, 1, true}};
  for (const setup& s : setups)
  for (const variant& var : variants) {
    SCOPED_TRACE(std::string(s.type) + " " + s.port + ": " + s.what + ", ipr " + std::to_string(var.ipr) +
                 ", looked at every " + std::to_string(var.look_every) + " cycles" + (var.stop ? ", STOP" : ""));
    for (int d : {EVERY_CYCLE, EVENTS}) {
      make(s.type, d);
      write(d, CRA, s.cra);
      write(d, CRB, s.crb);
      if (s.tml != 0) write(d, TML, s.tml);
      write(d, IPR, var.ipr);
      write(d, PCC, 0x1F);
      const uint32_t stop = 0x000A;
      if (var.stop) write_device_memory(d, SPACE_P, cur_inst->pc + 0x10, &stop);
    }
    port = 0;
    for (int p = 0; p < cur_type->periph_count; ++p)
      if (std::strcmp(cur_type->periphs[p].name, s.port) == 0) port = p;
    ASSERT_NE(port, 0);

    std::vector<uint32_t> start = state(EVENTS);
    bool moved = false;
    for (int cycle = 0; cycle < 1200; ++cycle) {
      // The program's side: a new tx every 90 cycles, ssr then rx read
      // every 150 (RDF and ROE cleared), the frame rate changed once.
      for (int d : {EVERY_CYCLE, EVENTS}) {
        if (cycle % 90 == 5) write(d, RX_TX, 0x1111u * static_cast<uint32_t>(cycle / 90 % 15 + 1));
        if (cycle % 150 == 77) read(d, SSR), read(d, RX_TX);
        if (cycle == 600) write(d, CRA, s.cra ^ 0x0100);
      }
      clock_device_cycles(EVERY_CYCLE, 1);
      run_device_cycle(EVENTS);
      if (cycle % var.look_every != 0 && cycle != 1199) continue;
      const std::vector<uint32_t> every = state(EVERY_CYCLE), events = state(EVENTS);
      ASSERT_EQ(events, every) << "cycle " << cycle;
      moved = moved || events != start;
    }
    EXPECT_TRUE(moved);
    if (var.stop) {
      EXPECT_EQ(device_insts[EVENTS]->device_words[DW_STOP_LATCH], 1u);
    }
    free_all_devices();
  }
}

// Left alone, a port whose steps nothing sees settles into a repeat of
// whole frames, which a catch-up takes at once. Against stepping every
// cycle: the port's words and pins; against catch-ups that step every
// toggle: the whole device state, at looks far apart.
TEST_F(SerialEvents, RepeatsOfAnUnseenPortMatchSteppingEveryToggle) {
  const setup setups[] = {
      {"73521", "ssi0", "normal, 16-bit, PM 1", 0x6001, 0xF030, 0xFFFF},
      {"73521", "ssi1", "network, 8-bit, four slots, tml 5, PSR", 0x8300, 0xFB30, 0x0005},
      {"73521", "ssi0", "companded, LSB first, word-long frame sync", 0x2002, 0x31B8, 0xFFFF},
      {"73547", "ssi0", "synchronous, output flags on the frame-sync pins", 0x4001, 0x3436, 0xFFFF},
      {"73583", "rssi0", "normal, 16-bit", 0x6001, 0xF430, 0},
      {"73583", "rssi0", "network, 12-bit, gated clock, early last frame sync", 0x4300, 0x3C3C, 0},
      {"73583", "rssi1", "gated clock, normal", 0x6107, 0x3438, 0},
  };
  constexpr int STEPPED = 2;
  constexpr int CYCLES = 60000, LOOK = 7919;
  uint32_t repeated = 0;
  for (const setup& s : setups) {
    SCOPED_TRACE(std::string(s.type) + " " + s.port + ": " + s.what);
    port = 0;
    for (int d : {EVERY_CYCLE, EVENTS, STEPPED}) {
      make(s.type, d);
      cur_state->serial_repeats_off = d == STEPPED ? 1 : 0;
      for (int p = 0; p < cur_type->periph_count; ++p)
        if (std::strcmp(cur_type->periphs[p].name, s.port) == 0) port = p;
      // cra at the port's base, crb after it, tx at 0x21 from it.
      const uint32_t base = cur_type->periphs[port].base;
      write(d, base, s.cra);
      write(d, base + 1, s.crb);
      if (s.tml != 0) write(d, base + 4, s.tml);
      write(d, PCC, 0x3FF);
      write(d, base + 0x21, 0x5A5A);
      // A free run: no stop (and its catch-up) at each instruction end.
      cur_state->run_mode = RUN_GO;
      cur_state->run_count = 1;
      reset_run_flags();
      cur_state->running = 1;
    }
    ASSERT_NE(port, 0);
    for (int cycle = 0; cycle < CYCLES; ++cycle) {
      clock_device_cycles(EVERY_CYCLE, 1);
      run_device_cycle(EVENTS);
      run_device_cycle(STEPPED);
      if (cycle % LOOK != LOOK - 1 && cycle != CYCLES - 1) continue;
      ASSERT_EQ(state(EVENTS), state(EVERY_CYCLE)) << "cycle " << cycle;
      state(STEPPED);
      ASSERT_EQ(device_state_difference(EVENTS, STEPPED), "") << "cycle " << cycle;
    }
    repeated += device_states[EVENTS]->serial_repeated_steps;
    EXPECT_EQ(device_states[STEPPED]->serial_repeated_steps, 0u);
    free_all_devices();
  }
  EXPECT_GT(repeated, 0u);
}

}  // namespace

// What the run loop's files share: the clock plan of each device type,
// the profiler's sample and end hook, and the steps of an instruction end
// that both engines take. Private to sim/engine/core.
#pragma once

#include <array>
#include <cstdint>

#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/profiler_iface.h"

namespace runloop_detail {

// The core is clocked every cycle; the other peripherals only at the
// events they schedule (sim/engine/README.md, "Peripheral events").
struct clock_plan {
  bool built = false;
  void (*core)(int) = nullptr;
  int count = 0;
  std::array<int, 16> event_row{};
};
const clock_plan& plan_for(int type);

// The cycle that reached the horizon: every peripheral whose event is due
// runs its clock, in row order; the horizon is worked out again at the
// next cycle.
[[gnu::noinline]] void clock_due_events(device_inst& inst, const clock_plan& plan);

// A profiled device's first cycle of an instruction: sr and omr as the
// instruction starts, for the family's decode.
[[gnu::noinline]] void sample_profiler(int device, profiler_block& block);

inline bool device_alive(int device, const device_inst* inst, const device_state* state) {
  return device_insts[device] == inst && device_states[device] == state;
}

// At an instruction end: the per-instruction marks and counts start over.
void end_of_instruction_marks();

// The profiler's hook at an instruction end of a profiled device. The
// cycles, stalls and references it takes in are the instruction's own, so
// an end reached whole counts as one reached cycle by cycle.
inline void profile_end(int device, const device_inst& inst) {
  if (inst.profiled != 0) [[unlikely]] {
    profiler_block& block = device_states[device]->profile;
    if (block.counting != nullptr) {
      // What the hook adds for it, kept in its slot.
      profile_code_slot& slot = *block.counting;
      const uint32_t now = profile_count(inst);
      slot.executions += 1;
      slot.cycles += block.previous_cycles > now ? 0 : now - block.previous_cycles;
      slot.last_cycle = now;
      block.previous_pc = inst.pc;
      block.previous_cycles = now;
      block.last_counted = &slot;
      block.counting = nullptr;
      return;
    }
    if (profiler != nullptr && profiler->profile_instruction != nullptr)
      profiler->profile_instruction(device);
  }
}

// The end of a device cycle in either engine: the stop check, and at an
// instruction end the profiler and the run's end. False when the device
// went away.
bool after_cycle(int device, device_inst* inst, device_state* st);

// Makes the device current and running; null when there is none.
device_inst* enter_device(int device);

// The whole-instruction engine (runloop_fast.cpp).
int run_fast_cycles(int device, device_inst* inst, device_state* st, int max, int soft);

}  // namespace runloop_detail

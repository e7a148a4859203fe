// Slices of many devices (`run_device_slice`): each device its share of
// the rounds in one go where no round order can show, on worker threads
// where they may run, round by round otherwise; devices with breakpoints
// first when those reach no other device.
#include "sim/engine/core/runloop.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "sim/engine/core/clock_device.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/fast/run_lanes.h"
#include "sim/frontend/frontend.h"
#include "sim/engine/core/runloop_internal.h"

using namespace runloop_detail;

namespace {

// Each device runs its share of the rounds in one go; a device that stops
// ends the slice of those after it at the same round.
int run_slice_alone(int rounds) {
  const int shown_before = shown_device;
  int limit = rounds;
  for (int d = 0; d < DEVICE_MAX && shown_device == shown_before; ++d) {
    const device_inst* inst = device_insts[d];
    if (inst == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    const int n = run_device_cycles(d, limit);
    if (device_states[d] == nullptr || device_states[d]->running == 0) limit = n;
  }
  return limit;
}

// Whether the slice may use worker threads at all.
bool threads_allowed() { return !dsp_alloc_capped() && gui_allocator_active() == 0; }

slice_governor host_governor;

// A slice of `devices` devices on worker threads (the lanes' caps as
// run_slice_on_threads takes them), or `alone` on this thread: with the
// host's thread count the governor chooses, timing each slice.
template <class Alone>
int slice_on_threads_or(int rounds, int devices, const std::array<int, DEVICE_MAX>* caps, Alone alone) {
  bool from_host = false;
  const int threads = devices > 1 && threads_allowed() ? std::min(run_thread_count(&from_host), devices) : 1;
  if (threads <= 1) return alone();
  if (!from_host) return run_slice_on_threads(rounds, threads, caps);
  const bool threaded = host_governor.threads_next();
  const auto start = std::chrono::steady_clock::now();
  const int ran = threaded ? run_slice_on_threads(rounds, threads, caps) : alone();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (ran > 0) host_governor.record(threaded, took.count() / (static_cast<double>(ran) * devices));
  return ran;
}

// The devices that can stop on a breakpoint run first, round by round
// among themselves (one of them: in one go); the round at which one stops
// bounds the others, which then run their share in one go, on worker
// threads when they may: each ends where a one-thread run of every device
// round by round leaves it. (Their breakpoints run no commands, so the
// shown device stays. A device that stops without a breakpoint, found
// only in the second part, ends those after it at its round; the first
// ones have run on.)
int run_slice_with_partners(int rounds, int count) {
  std::array<int, DEVICE_MAX> caps;
  caps.fill(-1);
  std::array<int, DEVICE_MAX> firsts{};
  int first_count = 0;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    const device_inst* inst = device_insts[d];
    if (inst == nullptr || device_states[d] == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    if (device_states[d]->breakpoints != nullptr)
      firsts[static_cast<std::size_t>(first_count++)] = d;
    else
      caps[static_cast<std::size_t>(d)] = rounds;
  }
  int reached = rounds;
  if (first_count == 1) {
    reached = run_device_cycles(firsts[0], rounds);
  } else {
    for (int k = 0; k < rounds && reached == rounds; ++k) {
      bool stopped = false;
      for (int i = 0; i < first_count; ++i) {
        const int d = firsts[static_cast<std::size_t>(i)];
        run_device_cycle(d);
        stopped = stopped || device_states[d] == nullptr || device_states[d]->running == 0;
      }
      if (stopped) reached = k + 1;
    }
  }
  for (int& cap : caps)
    if (cap >= 0) cap = reached;
  return slice_on_threads_or(reached, count - first_count, &caps, [&] {
    int limit = reached;
    for (int d = 0; d < DEVICE_MAX; ++d) {
      if (caps[static_cast<std::size_t>(d)] < 0 || device_insts[d] == nullptr) continue;
      const int n = run_device_cycles(d, limit);
      if (device_states[d] == nullptr || device_states[d]->running == 0) limit = n;
    }
    return limit;
  });
}

// Every device one cycle a round, in slot order. The walk ends at the
// last slot that holds a device (a breakpoint's command may add one): a
// walk of every slot in every cycle was a fifth of the cycle engine's time.
int run_rounds_by_cycles(int rounds) {
  const int shown_before = shown_device;
  for (int k = 0; k < rounds; ++k) {
    bool stopped = false;
    for (int d = 0; d < device_slot_limit && shown_device == shown_before; ++d) {
      const device_inst* inst = device_insts[d];
      if (inst == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
      run_device_cycle(d);
      stopped = stopped || device_states[d] == nullptr || device_states[d]->running == 0;
    }
    if (stopped || shown_device != shown_before) return k + 1;
  }
  return rounds;
}

}  // namespace

int run_device_slice(int rounds) {
  // Breakpoints with commands or notes, or streams, on more than one
  // device: their reports, commands, prompts and lines (two streams may
  // share a file) come in round order, so the rounds go one cycle at a
  // time. Breakpoints that only halt or count leave the others a bound.
  int count = 0, with_breaks = 0, with_streams = 0;
  bool slices = true, threads_fit = true, partners = true;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    device_inst* inst = device_insts[d];
    device_state* st = device_states[d];
    if (inst == nullptr || st == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    ++count;
    with_breaks += st->breakpoints != nullptr ? 1 : 0;
    if (st->run_plan_stale) {
      make_device_current(d);
      update_run_plan(*st);
    }
    with_streams += st->stream_plan != 0 ? 1 : 0;
    slices = slices && st->run_fast != 0 && (st->run_mode == RUN_GO || count == 1);
    threads_fit = threads_fit && st->stream_plan == 0;
    // A device with breakpoints that reach no other device, or one that
    // goes fast without them; every one in a free run, none with streams.
    partners = partners && st->run_mode == RUN_GO && st->stream_plan == 0 &&
               (st->breakpoints != nullptr ? st->breaks_own_device != 0 : st->run_fast != 0);
  }
  if (partners && count > 1 && with_breaks > 0) return run_slice_with_partners(rounds, count);
  slices = slices && (count == 1 || (with_breaks == 0 && with_streams <= 1));
  if (slices && count > 1 && threads_fit && with_breaks == 0)
    return slice_on_threads_or(rounds, count, nullptr, [&] { return run_slice_alone(rounds); });
  if (slices) return run_slice_alone(rounds);
  return run_rounds_by_cycles(rounds);
}

int run_device_slice_instruction(int device, int rounds) {
  if (device < 0 || device >= DEVICE_MAX || device_insts[device] == nullptr || device_states[device] == nullptr)
    return run_device_slice(1);
  for (int d = 0; d < DEVICE_MAX; ++d) {
    const device_inst* inst = device_insts[d];
    if (d != device && inst != nullptr && device_states[d] != nullptr && (inst->flags & DEV_EXCLUDED) == 0)
      return run_device_slice(1);
  }
  device_inst* inst = device_insts[device];
  device_state* st = device_states[device];
  if ((inst->flags & DEV_EXCLUDED) != 0) return run_device_slice(1);
  // The fast engine ends at its first instruction end from the first cycle on.
  if (&device_engine(device) == &fast_engine) return run_device_cycles_soft(device, 1, rounds);
  const uint32_t ends = inst->instructions;
  int n = 0;
  while (n < rounds) {
    run_device_cycle(device);
    ++n;
    if (!device_alive(device, inst, st) || st->running == 0 || inst->instructions != ends) break;
  }
  return n;
}

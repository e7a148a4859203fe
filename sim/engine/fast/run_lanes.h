// What the run loop and the worker threads of a slice share
// (run_threads.cpp; sim/engine/SPEED.md, "Many devices on many cores").
#pragma once

#include <array>
#include <cstdint>

#include "sim/engine/device/device_inst.h"

// The part the calling thread plays: alone (every run outside a threaded
// slice), the main thread of a threaded slice, or one of its workers.
enum run_lane_kind : int { LANE_ALONE = 0, LANE_MAIN = 1, LANE_WORKER = 2 };
extern thread_local constinit int run_lane;

// Per device: its run in a threaded slice ended at an instruction end that
// stops the run, whose stop check the main thread makes after the slice.
extern std::array<uint8_t, DEVICE_MAX> end_left;
void finish_left_end(int device);

// A slice of the participating devices on `threads` threads (the caller's
// among them); every device ends where one thread leaves it. With `caps`,
// device d runs at most (*caps)[d] rounds (none when negative); caps may
// not grow in slot order. Returns the rounds run: `rounds`, or the rounds
// of the first device that stopped.
int run_slice_on_threads(int rounds, int threads, const std::array<int, DEVICE_MAX>* caps = nullptr);

// Chooses, for slices whose thread count is the host's, between the worker
// threads and the calling thread alone: whichever ran a device-round faster
// lately, trying the other every PROBE_EVERY slices. On an overloaded host
// the workers wait for each other's cores (a device follows the one before
// it), so the slices fall back to one thread, and go back to the workers
// when the cores are free again. The choice never changes where a device
// ends, only how fast.
class slice_governor {
 public:
  static constexpr int PROBE_EVERY = 32;
  // Whether the next slice goes on the worker threads.
  bool threads_next() const;
  // The time a slice took per device-round, on the workers or alone.
  void record(bool threaded, double per_device_round);

 private:
  bool faster_threaded() const;
  double alone_ = 0;     // smoothed times; 0 until measured
  double threaded_ = 0;
  int since_probe_ = 0;  // slices since the other choice was last tried
};

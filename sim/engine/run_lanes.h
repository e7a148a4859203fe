// What the run loop and the worker threads of a slice share
// (run_threads.cpp; docs/ARCHITECTURE.md, "Many devices on many cores").
#pragma once

#include <array>
#include <cstdint>

#include "sim/engine/device.h"

// The part the calling thread plays: alone (every run outside a threaded
// slice), the main thread of a threaded slice, or one of its workers.
enum run_lane_kind : int { LANE_ALONE = 0, LANE_MAIN = 1, LANE_WORKER = 2 };
extern thread_local constinit int run_lane;

// Per device: its run in a threaded slice ended at an instruction end that
// stops the run, whose stop check the main thread makes after the slice.
extern std::array<uint8_t, DEVICE_MAX> end_left;
void finish_left_end(int device);

// A slice of the participating devices on `threads` threads (the caller's
// among them); every device ends where one thread leaves it. Returns the
// rounds run.
int run_slice_on_threads(int rounds, int threads);

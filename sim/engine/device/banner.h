// The simulator's banner: printed at start-up and by "display v", and
// written at the head of state files and profiler reports.
#pragma once

inline constexpr const char SIM_BANNER[] = "ZELMORAK DSP73500 SIMULATOR:  VERSION 6.1.1  9-4-96";

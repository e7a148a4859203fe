// The optional profiler, reached through one interface record that the
// profiler (sim/prof, not built) installs. The pointer
// is null when no profiler is attached, and every use tests it first.
#pragma once

#include <cstdint>

struct profiler_iface {
  // Called at every instruction end of a device while attached.
  void (*profile_instruction)(int device);
  // State-file companions: (companion name, device, continued flag).
  int (*save_state)(const char* name, int device, int continued);
  int (*restore_state)(const char* name, int device, int continued);
  // Starts profiling the current device: (COFF path, profile path, "w" or "r+").
  int (*start)(const char* coff_path, const char* profile_path, const char* mode);
  // Writes the reports of the current device.
  int (*report)();
};

extern profiler_iface* profiler;

// Per-device profiler block kept in the device state.
struct profiler_block {
  int on = 0;
  char file_name[256] = {};
  uint32_t sample_sr = 0;
  uint32_t sample_omr = 0;
  // Set when profiling starts: the pc it starts at, the loop phase and
  // the loop and instruction counts.
  uint32_t start_pc = 0;
  uint32_t loop_phase = 1;
  uint32_t loop_count = 0;
  uint32_t instruction_count = 0;
};

inline bool profiler_attached() { return profiler != nullptr; }

// The optional profiler, reached through one interface record that the
// profiler (sim/prof) installs. The pointer is null when no profiler is
// attached, and every use tests it first. The engine's side is the
// per-device profiler_block of device_state: the run loop samples sr and
// omr at each instruction start and calls the hook at each end, and the
// memory accessors and the bus timing fill its reference list and stall
// count, all only while the device is profiled (block.on).
#pragma once

#include <array>
#include <cstdint>

struct profiler_iface {
  // Called at every instruction end of a profiled device.
  void (*profile_instruction)(int device);
  // State-file companions: (file name, device, continued flag); the
  // writer calls save once per device (continued 0 first, then 1) and
  // once more with (null, 0, 1) at the end; restore likewise. 1 on success.
  int (*save_state)(const char* name, int device, int continued);
  int (*restore_state)(const char* name, int device, int continued);
  // Starts profiling the current device: (COFF path, profile path, "w" or "r+").
  int (*start)(const char* coff_path, const char* profile_path, const char* mode);
  // Writes the reports of the current device (final cycle count).
  int (*report)(uint32_t final_cycles);
};

extern profiler_iface* profiler;

// One memory reference of the current instruction.
enum : uint32_t {
  PROF_SPACE_FREE = 0,
  PROF_SPACE_X = 1,
  PROF_SPACE_Y = 2,
  PROF_SPACE_P = 3,
  PROF_SPACE_L = 4,
};
enum : uint32_t { PROF_INTERNAL = 0, PROF_EXTERNAL = 1, PROF_INTERNAL_ROM = 2, PROF_EXTERNAL_ROM = 3 };
struct profile_reference {
  uint32_t space = PROF_SPACE_FREE;
  uint32_t mem_class = 0;
  uint32_t address = 0;
  uint32_t spare = 0;
  uint32_t write = 0;  // 0 read, 1 write
};
constexpr int PROFILE_REFERENCES = 20;

// Loop measurement phases: idle, armed, measuring, finished.
enum : uint32_t { LOOP_IDLE = 0, LOOP_ARMED = 1, LOOP_MEASURING = 2, LOOP_FINISHED = 3 };
struct loop_measure {
  uint32_t pc = 0;
  uint32_t phase = LOOP_IDLE;
  uint32_t cycles = 0;
  uint32_t count = 0;
};

// Per-device profiler block, part of device_state; cleared when a profile
// log is opened.
struct profiler_block {
  int on = 0;
  char file_name[256] = {};
  uint32_t previous_cycles = 0;
  uint32_t previous_pc = 0;
  std::array<profile_reference, PROFILE_REFERENCES> references{};
  loop_measure loop{};
  uint32_t stall_cycles = 0;
  uint32_t sample_sr = 0;
  uint32_t sample_omr = 0;
  uint32_t instruction_start = 0;
  uint32_t first_cycle = 0;
};

inline bool profiler_attached() { return profiler != nullptr; }

// Switches profiling of a device on or off: the block's on flag, the
// instance's mirror of it and the device's run plan.
void set_device_profiled(int device, int on);

// The accessors' note of one reference of the current device (engine
// space code, 16-bit address); called only while it is profiled. A full
// list drops the reference.
void profile_note_reference(int space, uint32_t address, int write);

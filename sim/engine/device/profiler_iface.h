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
#include <memory>

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

// What a profiled device's plain instructions add up without the hook:
// an instruction the profiler has seen once, whose contribution is its
// code node's (no condition, call, return, directive or program-memory
// operand) and that runs straight (no stall), is counted per program
// address, and its data references per word. The profiler folds the
// counts into its tables before it reads them or sees the address again.
// Pages are made as addresses are used.
struct profile_code_slot {
  const void* node = nullptr;  // the profiler's code node; null: the hook
  std::array<uint32_t, 2> words{};
  uint32_t two_word = 0;
  uint32_t executions = 0;
  uint32_t cycles = 0;
  uint32_t last_cycle = 0;  // the count at its last end
};
constexpr uint32_t PROFILE_PAGE_WORDS = 256;
constexpr uint32_t PROFILE_PAGES = 0x10000 / PROFILE_PAGE_WORDS;
struct profile_code_page {
  std::array<profile_code_slot, PROFILE_PAGE_WORDS> slots{};
};
struct profile_data_page {
  std::array<uint32_t, PROFILE_PAGE_WORDS> reads{}, writes{};
};
// Data words by memory class: x internal, external, internal ROM,
// external ROM (the profiler's PROF_* classes).
constexpr int PROFILE_DATA_CLASSES = 4;
struct profile_counts {
  std::array<std::unique_ptr<profile_code_page>, PROFILE_PAGES> code;
  std::array<std::array<std::unique_ptr<profile_data_page>, PROFILE_PAGES>, PROFILE_DATA_CLASSES> x_data;
  // The slot armed at a program address, or null.
  profile_code_slot* slot_at(uint32_t address) const {
    if (address > 0xFFFF) return nullptr;
    profile_code_page* page = code[address / PROFILE_PAGE_WORDS].get();
    if (page == nullptr) return nullptr;
    profile_code_slot* slot = &page->slots[address % PROFILE_PAGE_WORDS];
    return slot->node != nullptr ? slot : nullptr;
  }
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
  // The profiler's counts (null: every end through the hook); whether the
  // instruction after the last hooked one may be counted (nothing the
  // subroutine tracking or the loop measure does depends on it); the slot
  // of the instruction in progress while it is counted; the last one
  // counted since the hook last ran.
  profile_counts* counts = nullptr;
  int may_count = 0;
  profile_code_slot* counting = nullptr;
  profile_code_slot* last_counted = nullptr;
};

inline bool profiler_attached() { return profiler != nullptr; }

// Switches profiling of a device on or off: the block's on flag, the
// instance's mirror of it and the device's run plan.
void set_device_profiled(int device, int on);

// The accessors' note of one reference of the current device (engine
// space code, 16-bit address); called only while it is profiled. A full
// list drops the reference.
void profile_note_reference(int space, uint32_t address, int write);

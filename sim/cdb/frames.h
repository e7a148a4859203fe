// Call frames of the C program on the current device: the back-trace that
// reads function prologues and the stacks, the selected frame, and what C
// expressions need of it (frame-relative addresses, saved registers).
//
// - Call frames (`frames.h`): `frame_walk.cpp` builds the device's frame list (kept in
//   `device_state::frames`, dropped by `frames_free` whenever a run is armed, pc or memory is
//   changed or a program loaded) from the live registers, innermost first, until `main`, a pc
//   outside every C function, a level that repeats an earlier level's pc, frame and stack pointer,
//   or `FRAME_LEVEL_MAX` levels. `frame_families.cpp` holds each family's rules (push tables,
//   prologue and epilogue word forms, return address by frame code, the hardware stack under loops).
//   The walk reads the machine through `frame_target`, the device by default; the tests of the 24-
//   and 32-bit families and the fuzz target `frames` put a made-up machine there. C names are looked
//   up at the selected frame's pc (`frame_pc`). Commands `where`, `frame`, `up`, `down`:
//   `sim/cmd/cmd_frames.cpp`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A register a function's prologue saved, and where.
struct frame_saved_reg {
  std::string name;
  uint32_t slot = 0;
  int space = 1;
};

struct frame_rec {
  std::string text;  // "#0  p:0x12 in name (args)"
  uint32_t pc = 0;
  uint32_t frame_pointer = 0;
  uint32_t stack_pointer = 0;
  int function = -1;  // index in c_symbols, -1 when unknown
  std::vector<frame_saved_reg> saved;  // the latest save of a register first
};

// A device's frames, innermost first; frame_selected is an index or -1.
struct frame_list {
  std::vector<frame_rec> frames;
  int frame_selected = -1;
};

// The walk stops after this many levels, or at a level that repeats an
// earlier one's pc, frame pointer and stack pointer.
constexpr int FRAME_LEVEL_MAX = 1000;

// Rebuilds the current device's frame list; on a failed read the list
// built so far stays and the C error is reported.
void build_backtrace();
void frames_free();
int frames_count();
// Frame i from the innermost (0), null past the list.
frame_rec* frame_at(int index);
// The selected frame's index, -1 when none.
int frame_current_index();
frame_rec* frame_current();
void frame_current_set(int index);
// The selected frame's pc, else the device's.
uint32_t frame_pc();
// The selected frame's frame pointer, else the live one.
uint32_t frame_pointer();
// The location of a frame value (argument or automatic): space = the
// memory model, address = offset + frame pointer within the address mask.
int c_frame_address(uint32_t space, uint32_t offset, uint32_t* space_out, uint32_t* address_out);
// Where an outer frame's register variable was saved: the frames inside
// the selected one, nearest first; 0 when the live register holds it.
int frame_saved_register_slot(const char* name, uint32_t* address, int* space);
// The frame's text with the arguments as they are now.
void frame_refresh_text(frame_rec& frame);
// "name=value, ..." of the function's parameters in a frame.
std::string frame_args_text(int function, uint32_t frame_pointer);

// --- The per-family rules (exposed for their tests) ------------------------------

std::vector<frame_saved_reg> frame_saved_registers(uint32_t pc, uint32_t stack_pointer);
uint32_t frame_return_address(uint32_t pc, uint32_t frame_pointer, uint32_t stack_pointer);
uint32_t frame_next(uint32_t pc, uint32_t frame_pointer, uint32_t stack_pointer, uint32_t return_address);
uint32_t frame_next_stack(uint32_t pc, uint32_t stack_pointer, uint32_t return_address);
int32_t frame_stack_adjust(uint32_t pc);
int32_t frame_prologue_size(uint32_t function_address);
int push_regs_count();

// What the walk reads of the machine. The device by default; a test may
// put a machine of another word width in its place.
struct frame_machine {
  int (*read_program)(uint32_t address, uint32_t* out);
  int (*read_data)(int space, uint32_t address, uint32_t* out);
  // 1 read, 0 failed, -1 no such register.
  int (*read_register)(const char* name, uint32_t* out);
  int (*write_register)(const char* name, uint32_t value);
};
extern const frame_machine device_frame_machine;
extern const frame_machine* frame_target;

// The family's frame or stack register, and whether the words still to be
// released at pc count against it.
const char* frame_register_name(bool stack);
bool frame_register_adjusted(bool stack);

// A device type's own frame rules (the family record's frame_hooks); an
// empty slot leaves the family rule in force. No type here has them.
struct frame_hook_table {
  void (*after_read)();  // after each COFF read
  uint32_t (*return_address)(uint32_t pc, uint32_t frame_pointer, uint32_t stack_pointer);
  uint32_t (*next_stack)(uint32_t pc, uint32_t stack_pointer, uint32_t return_address);
  uint32_t (*next_frame)(uint32_t pc, uint32_t frame_pointer, uint32_t stack_pointer, uint32_t return_address);
  void (*unused4)();
  void (*unused5)();
  uint32_t (*stack_pointer)();
  uint32_t (*frame_pointer)();
};
// The current type's table, null when it has none.
const frame_hook_table* frame_hooks();

// Register values by radix and width, the display marks of registers and
// memory, the run display shown after a stop or on request, the one-line
// disassembly and the progress line of long runs.
//
// - Register display layouts are data of the engine: per type a `display_layout_set` (one layout per
//   peripheral row, slots of register, empty cell or line end, with cell width and name width),
//   reached through `family_desc::display_layouts`.
//
// - A memory-map row's access log carries five interval maps (`MAP_*` in `regfmt.h`): display
//   switches, highlight marks, the display command's immediate selection, input and output stream
//   tags.
#pragma once

#include <cstdint>
#include <string>

// Display bits of a register's attribute word.
enum : uint32_t {
  ATTR_DISPLAY_ON = 0x10,
  ATTR_DISPLAY_READ = 0x20,
  ATTR_DISPLAY_WRITE = 0x40,
  ATTR_DISPLAY_BITS = 0x70,
  ATTR_RADIX_HEX = 0x4000,
  ATTR_RADIX_DEC = 0x1000,
  ATTR_RADIX_UNS = 0x8000,
};
// reg_desc access bit: the register's display state is fixed.
constexpr uint32_t REG_FIXED_DISPLAY = 0x10;

// The interval maps of a memory-map row's access log.
enum : int {
  MAP_DISPLAY = 0,    // switch per address: 0 off, 1 on, 2 r, 3 rw, 4 w
  MAP_HIGHLIGHT = 1,  // 0 none, 1 shown, 2 written
  MAP_IMMEDIATE = 2,  // 1: show with the current display command
  MAP_IN_STREAM = 3,
  MAP_OUT_STREAM = 4,
};

// Stream tags of memory: the stream number that reads (bit 0 of `which`
// set) or writes an address, set in every row whose attributes include the
// row's own, as accesses are logged (a concrete row and its generic row).
void tag_region_address(int which, int region, uint32_t address, uint32_t stream);
// Clears the address's tag in every row where this stream holds it.
void clear_stream_tag(uint32_t stream, uint32_t address);

// The radix code a register is shown in: hexadecimal, signed or unsigned
// decimal by its attribute bits, else fraction.
int register_display_radix(uint32_t attr);

// The value type (AV_* word count and fraction width) of a register of
// the current type, for converting a fraction into its words.
uint32_t register_value_type(int row, int reg);

// Reads a register of the current device and formats it in the radix;
// "Error reading register" is reported and 0 returned when it cannot be read.
int format_register_value(int row, int reg, int radix, std::string& out);

// A double as "%-26.24e" with a two-digit exponent, fitted with a width
// format such as "%12.12s".
std::string format_double_e(const char* width_format, double value);

// The first word of a register of the current device, by name; false
// when the device has no such register.
bool read_named(const char* name, uint32_t* out);

// Marks for the next display every register whose mode asks for it, then
// the memory, then shows them when `show` is set.
void refresh_register_marks(int show);
// The highlight map of every row from its display switches and the
// accesses since the run started or the display was last refreshed.
void refresh_memory_marks();
// Registers marked shown, the highlighted memory, the watch list and the
// instruction at pc; nothing when `show` is 0.
void show_run_display(int show);
// The same for the display command's own selection: marked registers and
// the memory of the immediate-display maps.
void show_marked_now();

// One instruction as a session line: row, address, words, text. Returns
// the length in words (at least 1), or -1 when a register could not be read.
int format_disassembly_line(int space, uint32_t address, std::string& out, int wide);

// The status line of a long run on the device shown, where the front-end
// does not draw its own.
void show_progress_line();

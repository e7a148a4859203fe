// Services of the source-level debugger and the watch list that the
// display and change commands call. Their owners fill these in; until
// then they do nothing and find nothing.
//
// - `view_hooks.h`: the source view, frame list, label lookup and watch list that the display and
//   change commands call; empty until their owners arrive.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/cdb/frames.h"

// Redraws the source or assembly view: 32767 shows the current position,
// any other number scrolls by that many lines (source) or words (assembly).
// The screen is shown only while the view mode is assembly or source.
void view_show_position(int lines);
// One disassembled instruction of the assembly view and window: its text
// (trailing blanks cut), " ;" and the symbols of the memory it refers to
// (empty when none), and its word count (at least 1).
struct dis_ea_info;
struct asm_row {
  std::string instruction;
  std::string symbols;
  uint32_t length = 1;
};
// The registers the disassembler works operand addresses out from ("sr"
// and "omr" must read too); false when one cannot be read.
bool read_address_registers(dis_ea_info& ea);
asm_row disassemble_row(int space, uint32_t address, uint32_t mask, const dis_ea_info& registers);

// The status line of a source view showing a file (a ".file" symbol
// index, -1 none) from a line: "src:..." or "no_source_file ...", the pc's
// space named by the caller.
std::string source_status_line(uint32_t pc, int space, int file, uint32_t first_line, const char* space_name);
// The line of an open source file at an offset: at most 160 characters up
// to a line end, tabs expanded to the next multiple of 8 columns.
std::string source_file_line(std::FILE* file, uint32_t offset);
// The program space that pc lies in, as the memory interface resolves it.
int program_space_at(uint32_t pc);
// The status line of the views (not cut to the screen width).
std::string view_status_line();
// Prints the current device's watch list as part of the run display.
void show_watch_list();

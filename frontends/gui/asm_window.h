// The Assembly window: one device's program memory disassembled a row an
// instruction (address, label, text, the symbols of its operands), the
// pc's address in red and enabled breakpoints' in blue; an instruction is
// replaced by editing its text ("asm" lines), a double click on an address
// sets or clears a breakpoint.
#pragma once

#include <cstdint>

namespace gui {

struct xincell;
struct sim_window;

struct asm_view {
  int32_t ready;
  int32_t pc_row;
  xincell* list;
  int64_t cycles_drawn;  // -1 before the first draw
  int64_t pc_drawn;
  int32_t fine_offset;
};

// The action of "wasm".
void asm_window_open(const char* line);
// Registers the action with the window commands and builds the editor
// class the resource names.
void register_asm_window();

// The window of a device's rows (tests): its view, the first address
// shown and the address of a row (empty row: none).
const asm_view* asm_window_view(const sim_window* record);
uint32_t asm_window_first(const sim_window* record);
void asm_window_scroll_to(const sim_window* record, const char* text);
// A double click on a row's address, as the list reports it.
void asm_window_double_click(const sim_window* record, int row);

}  // namespace gui

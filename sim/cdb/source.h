// Stepping by source line, and source lines written as locations ("12",
// "prog.c@12"). The views that show the position are the command
// language's (sim/cmd/view_hooks.h).
//
// - Source lines and stepping (`sim/cdb/source.h`): `source_lines.cpp` turns "12" and "file@12" into
//   the address of the line's first record (or of the next greater line); the memory-location reader
//   (`read_location`, `sim/cmd/readers.cpp`) tries that form when the expression gives no address
//   ("Invalid line number" when no line fits), and the expressions' `symbol_source` answers
//   "file@line" names with it. `srcstep.cpp` holds the run modes 5-21 of `next`, `until`, `finish`
//   and the line steps of `step`/`trace`, decided at each instruction end through
//   `run_hook.source_step_check` (these modes run on the cycle engine: the run plan never lets them
//   go fast). Whether an instruction is a call or "rts" comes from the family's disassembler, cached
//   by address and opcode words. Stepping into a C function runs to its ".bf" address (the body
//   after the prologue). An interrupt taken during a step over calls (every mode but `until` and the
//   end of a target call) runs inside the step: at the instruction end where the core enters it
//   (`interrupt_entering`, `sim/engine/core/runloop.h`) the rules wait until pc is back at the return
//   address with the stack pointer it had (`device_state::irq_hold`), so a vector's `jsr` is no call
//   of the stepped code; armed at a vector, `next` and `finish` end where the program goes on.
#pragma once

#include <cstdint>
#include <string>

// 1 when the instruction at the program address is a subroutine call
// ("bs..." or "js..." other than the bit tests "bset"/"jset"), with its
// length in words (at least 1).
int pc_at_subroutine_call(uint32_t address, uint32_t* length);
// The run mode of a source-line step (kind 3 step, 1 trace) from the
// device's pc: the kind itself when pc has no line record.
int source_step_mode(int kind);
// The mode of a finish (10-12) or of a target call (15-17, from a mode
// of 15-17) from the instruction at pc; sets the stop address at a call.
int finish_classify(uint32_t pc);
// Chooses the mode of the next unit of a next (5-8) from the device's pc.
void next_rearm();
// The stop decision of run modes 5 and above at an instruction end.
void source_step_check(int* show, int* stop);
// A source-level step armed where an interrupt is being entered: its
// handler runs inside the step. Called after the run is armed.
void hold_entering_interrupt();

// A source line as a location: "line" in the current source file, or
// "file@line". 1 with the address and space of its first line record (or
// of the next greater line), 0 when the text is no line form or the
// device has no line records, -1 when no line of the file fits.
int source_line_location(const char* text, uint32_t* address, int* space);
// The line argument of list: "file", "file@line", "line" or "@line". 1 with
// the ".file" symbol index and the line (cut to the file's last line), 0
// when the text is no line form, -1 without symbols and lines.
int list_line_argument(const char* text, int* file, uint32_t* line);
// The ".file" symbol index of the current source file: the one the view
// shows, else the one of pc; -1 when none.
int current_source_file();
// Address of the first line record of a line of a file (or of the next
// greater line): 1 found.
int line_address(int file, uint32_t line, uint32_t* address, int* space);

// The name of a block (".bs") or macro-expansion (".bm") marker symbol.
std::string coff_marker_name(uint32_t symbol);

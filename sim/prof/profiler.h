// The profiler: per-device profile tables built from one record per
// completed instruction, the interface record it installs, and the
// entry points the command language reaches through it.
//
// - Engine side: `device_state::profile` (`profiler_block`) is the device's block; `profile.on`
//   marks a profiled device. Only then does the run loop sample sr and omr at an instruction's first
//   cycle and call `profiler->profile_instruction` at its end, do the core's memory accessors append
//   to the block's 20-entry reference list (`profile_note_reference`) and the bus add refused
//   arbitrations, wait states and contended repeats to `stall_cycles`. A profiled device keeps the
//   fast engine and the straight-line executor.
//
// - Counts without the hook (`profile_counts`, `profiler_iface.h`): after the hook has counted an
//   instruction whose contribution is all its code node's (no condition, call, return,
//   "ignore"/"enter ..., any" directive, source-line routine or program-memory operand) it arms the
//   program address's slot with the node and its words (`arm_address`). While the tracking needs
//   nothing of the next instruction (`next_may_count`), a straight instruction at an armed address
//   with those words in memory skips the sample, adds its execution, cycles and last count to the
//   slot and its x-memory references to per-word counters by memory class (`profile_sample`,
//   `profile_end`, `profile_note_reference` in `runloop_profile.cpp`); nothing else. Pages of 256 slots or
//   words are made as addresses are used. `fold_profile_counts` adds them to the tables as the hook
//   would have, one by one: before every read of the tables (`profiler_tables`), before a report,
//   and per address before the hook looks at that address or at a program word written there; the
//   last counted instruction becomes the tracking's previous node (`settle_last_counted`). Code
//   copied at run time (a copy node) keeps every instruction on the hook: its copy test follows the
//   reads in order.
//
// - Tables (`profile_tables`, one per device, `profiler_tables`): nodes and names live in a
//   20000-byte-block pool (`prof_pool`) released at once; lists are AVL trees (`ordered_list`) over
//   a comparator table by index. Failures throw `prof_abandon` (a level-1 `prof_message`, a failed
//   `prof_alloc`), caught by each entry point, which returns 0.
//
// - Reports: `profiler_report` opens the `ReportWriter` (text and PostScript from the same lines:
//   control bytes 0x80-0x83, directives for column stops, fills, rules and number fields, a font
//   stack, 59-line text and 63-line PostScript pages), writes the reports (`profile_reports.cpp`:
//   Basic Profile, data and symbol references, occurrences by class twice, moves, addressing modes;
//   `subroutine_reports.cpp`; `coverage_report.cpp`: the source files line by line, a stack of files
//   for includes in the nested form) and clears the tables.
//
// - State files: `profiler_save_state` / `profiler_restore_state` keep, per device, whether it
//   profiles, its report name and its previous pc and cycle count; a restored profiling device
//   starts again from empty tables.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/engine/device/profile_family.h"
#include "sim/prof/ordered_list.h"
#include "sim/prof/prof_support.h"
#include "sim/prof/report_writer.h"

struct routine;
struct subroutine_tracking;

// Directive flags of a code node.
enum : uint32_t {
  NODE_IGNORE = 1,
  NODE_RETURN = 2,
  NODE_ENTER = 4,
  NODE_ANY = 8,
  NODE_CALL = 16,
  NODE_JOINT_RETURN = 32,
};

// One instruction variant at one address.
struct code_node {
  decoded_instruction decoded;
  uint32_t directives = 0;
  routine* enters = nullptr;  // named by its "enter" directive, or made for it
  routine* calls = nullptr;   // named by its "call" directive
  const char* source_word = nullptr;  // first word of a marked section's line
  const char* file = nullptr;         // source file, "{new}" when none
  int32_t line = -2;                  // source line, -2 when none
  uint32_t copy_space = 0;            // where the code is copied from at run time
  uint32_t copy_address = 0;
  uint32_t last_cycle = 0;  // cycle count at its last execution
  int32_t section = 0;
  uint32_t sequence = 0;
  uint32_t executions = 0;
  uint32_t cond_passes = 0;
  uint32_t cycles = 0;
  uint32_t stall_cycles = 0;
  uint32_t loop_cycles = 0;
};

// Data node flags.
enum : uint32_t { DATA_DEFINED = 2, DATA_UNDEFINED = 4 };
struct data_node {
  uint32_t space = 0;
  uint32_t address = 0;
  uint32_t spare = 0;
  uint32_t flags = 0;
  uint32_t reads = 0;
  uint32_t writes = 0;
};

// A data symbol of the object file: its addresses [start, end).
struct symbol_entry {
  const char* name = nullptr;
  uint32_t space = 0;
  uint32_t start = 0;
  uint32_t end = 0;
  int32_t section = 0;
};

// A source file's lines as read for the reports; unusable when it cannot
// be read or is newer than the object file.
struct source_text {
  bool found = false;
  bool newer = false;
  std::vector<std::string> lines;
  bool usable() const { return found && !newer; }
};

// Comparator indexes (ordered_list.h).
enum : int {
  CMP_DATA = 0,
  CMP_CODE_ADDRESS = 1,
  CMP_CODE_SOURCE = 2,
  CMP_CODE_SEQUENCE = 3,
  CMP_SYMBOL = 4,
  CMP_PAIRS = 12,
};

// Tables states.
enum : int { TABLES_OFF = 0, TABLES_STARTED = 1, TABLES_FIRST = 2, TABLES_RUNNING = 3, TABLES_NO_OUTPUT = 4 };

struct profile_tables {
  std::unique_ptr<prof_pool> pool;
  std::unique_ptr<ordered_list> code, data, symbols, routines;
  struct ring_entry {
    uint32_t space, address;
  };
  std::array<ring_entry, 8> ring{};
  uint32_t ring_next = 0;
  const char* coff_name = nullptr;
  const char* output_name = nullptr;
  const char* mode = nullptr;
  // Static totals, by space X, Y, P.
  std::array<uint32_t, 3> initialized{}, uninitialized{}, undefined_writes{};
  uint32_t static_code_words = 0;
  uint32_t static_instructions = 0;
  // Dynamic totals.
  uint32_t code_words = 0;
  uint32_t instructions = 0;
  uint32_t function_calls = 0;
  uint32_t total_cycles = 0;
  uint32_t stall_cycles = 0;
  // Per instruction class.
  std::array<uint8_t, PROFILE_CLASSES> parallel_mark{};
  std::array<uint32_t, PROFILE_CLASSES> static_occurrences{}, dynamic_occurrences{};
  std::array<uint32_t, PROFILE_CLASSES> static_no_move{}, static_single{}, static_double{};
  family_profile_counts family;
  // References by memory class (internal, external, internal ROM, external ROM).
  std::array<uint32_t, 4> reads{}, writes{};
  uint32_t flags = 0;
  uint32_t last_cycle = 0;
  int state = TABLES_OFF;
  int source_line_mode = -1;
  std::time_t coff_time = 0;
  std::string first_source;  // source file of the program's first section
  std::map<std::string, source_text> sources;
  std::unique_ptr<subroutine_tracking> subroutines;
  ReportWriter writer;
  // Look-ups the run repeats at every instruction, kept per address once
  // made: a program address's code node while it is the only one there
  // (null: not yet found, or several), and each data space's nodes
  // (PROF_SPACE_X to PROF_SPACE_L). Nodes live in the pool until the
  // tables are cleared.
  std::vector<code_node*> only_code;
  std::array<std::vector<data_node*>, 4> data_at;
  // The counts the engine makes without the hook (the device's block
  // points at them); none are made while some node is code copied at
  // run time (the reads its copy test follows come one by one).
  std::unique_ptr<profile_counts> counts;
  bool copies = false;
  code_node* counted_node = nullptr;  // the node accumulate_profile counted last

  profile_tables();
  ~profile_tables();
};

// The current device's tables while a profiler operation runs.
extern profile_tables* cur_tables;
// A device's tables, with the counts the engine made folded in.
profile_tables* profiler_tables(int device);
// Folds the counts the engine made for a device into its tables, as the
// hook would have counted each instruction.
void fold_profile_counts(int device);

// Interface entry points.
int profiler_start(const char* coff_name, const char* output_name, const char* mode);
void profile_instruction(int device);
int accumulate_profile(profile_record& record);
// The same with the instruction's references elsewhere (`count` slots, the
// free ones skipped), each freed once counted.
int accumulate_profile(profile_record& record, profile_reference* references, std::size_t count);
int profiler_report(uint32_t final_cycles);
void profiler_clear();
int profiler_save_state(const char* name, int device, int continued);
int profiler_restore_state(const char* name, int device, int continued);

// A code node for an address (kind PROF_SPACE_*), decoded at another
// address in the space of the kind; null when the words are no
// instruction. Counts it statically and inserts it into the code list.
code_node* new_code_node(uint32_t address, uint32_t kind, uint32_t decode_address);

// The data node of an address, made when missing.
data_node* profile_data_node(uint32_t space, uint32_t address);

// Reads the object file named by the tables: sizes, code nodes with their
// source positions, data nodes and symbols. A file that cannot be read
// sets PROF_FLAG_COFF_UNREADABLE and abandons (level 1).
void analyse_object_file(profile_tables& t);
// A source file's text, read once per profiling run along the search path.
const source_text& profile_source(profile_tables& t, const std::string& name);

// Subroutine tracking: directives of a node's source line (file and line
// for the warnings), the flags of the family's call and return tests, one
// executed instruction, and the reports (function calls counted first).
void parse_directives(profile_tables& t, code_node& node, const std::string& text);
void family_directives(code_node& node);
void track_subroutines(profile_tables& t, code_node& node, bool conditional, bool taken, uint32_t start_cycle);
uint32_t finish_subroutines(profile_tables& t);
void subroutine_reports(profile_tables& t);

// The reports of one profiling run, through the tables' writer.
void write_reports(profile_tables& t);

// Installs the profiler: the interface record becomes non-null.
void install_profiler();

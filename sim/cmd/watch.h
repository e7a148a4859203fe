// The watch list of a device: numbered items shown on request and after
// each stop. The state file walks it through device_watches.
//
// - Watches (`sim/cmd/watch.h`, `cmd_watch.cpp`): a `watch_list` per device in
//   `device_state::watches`, entries in number order, each with its text as typed, kind, radix and,
//   for a C expression, its compiled tree and the scope it was compiled in; `device_watches` gives
//   the list to the state file. A load that brings other symbols compiles each C watch again from
//   its text at the current pc (`c_watches_follow_program`): its tree named entries of the old
//   table. The run display shows it (`show_watch_list`). `type` (`cmd_type.cpp`) and `wait`
//   (`cmd_wait.cpp`).
//
// - Commands: braced arguments are compiled while the line is checked (`parse_c_expr_arg`,
//   `sim/cmd/watch.h`) and handed to the action in the token's slot; `c_tree_result` evaluates a
//   tree for `watch` and `type`. `evaluate {...}` prints "type: value"; a breakpoint `break {...}`
//   keeps its compiled tree (`break_rec::c_expr`) with its scope, and the run loop evaluates it
//   quietly at each test (`c_condition_holds`): no parse per cycle. A condition with local names
//   tests that the pc is in its function and block; the answer for each pc is kept in the program's
//   debug record (`scope_cache`, 4096 entries direct-mapped), so a new load starts it afresh.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/cdb/c_value.h"
#include "sim/cmd/c_args.h"

enum watch_kind : int {
  WATCH_C = 0,
  WATCH_REGISTER = 1,
  WATCH_MEMORY = 2,
  WATCH_INTEGER = 3,
  WATCH_FLOAT = 4,
};

constexpr std::size_t WATCH_TEXT_MAX = 255;

struct watch_entry {
  uint32_t number = 0;  // 1 and up, unique within the device
  std::string text;     // the item as typed
  int kind = WATCH_INTEGER;
  int radix = -1;       // b d f h u as 0-4; -1 when none was named
  int row = 0;          // register: peripheral row; memory: memory-map row
  int reg = 0;          // register index
  uint32_t address = 0;  // memory: masked by the row's address mask
  std::unique_ptr<c_tree> tree;  // C expression
  int scope_function = -1;  // where its names were found
  int scope_block = -1;
};

// Entries in number order.
struct watch_list {
  std::vector<watch_entry> entries;
};

// The list operations the watch command and the Watch windows share.
watch_entry* watch_find(watch_list& list, uint32_t number);
// The smallest number from 1 up that no entry uses.
uint32_t watch_next_free(const watch_list& list);
// Links a new entry in number order; the entry as stored.
watch_entry& watch_insert(watch_list& list, watch_entry&& entry);
// Unlinks and frees (with its C tree) the entry of that number.
void watch_remove(watch_list& list, uint32_t number);
// Sets an entry's item from the checked token j of the command line: its
// text, radix and kind, a braced C text parsed now with its scope.
void watch_entry_from_token(watch_entry& entry, int j, int radix);

struct coff_debug_info;
// After a load: when the current device's symbols are no longer those of
// before (null: none), each C watch is compiled again from its text at
// the current pc, since its tree names entries of the old table.
void c_watches_follow_program(const coff_debug_info* before);

// A device's list, null when it has none.
const watch_list* device_watches(int device);
// The entry's value line ("#1 h text" padded to 40 columns, then the value).
std::string watch_line(const watch_entry& entry);


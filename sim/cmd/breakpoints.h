// Breakpoints: the per-device list kept in ascending number order, its
// records, their kind and action names, and the operations that the break
// command, the run loop and the state file share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/expr/expr.h"

struct c_tree;

enum break_kind : int {
  BK_READ = 0,  // memory r, rw, w over a block or one location
  BK_READ_WRITE,
  BK_WRITE,
  BK_REG_READ,  // r, rw, w on a register
  BK_REG_READ_WRITE,
  BK_REG_WRITE,
  BK_EXPRESSION,
  BK_REG_COMPARE,
  BK_PC,
  BK_DATA_READ,  // dr, drw, dw: only accesses that changed the data
  BK_DATA_READ_WRITE,
  BK_DATA_WRITE,
  BK_C_EXPRESSION,
  BK_KIND_COUNT,
};

enum break_action : int {
  BA_HALT = 0,
  BA_COUNT1,  // i1-i4: add 1 to cnt1-cnt4
  BA_COUNT2,
  BA_COUNT3,
  BA_COUNT4,
  BA_NOTE,
  BA_SHOW,
  BA_EXECUTE,
  BA_ACTION_COUNT,
};

// Bits of break_rec::mentions: the condition names these counters, so the
// breakpoint is also tested in the middle of instructions.
enum : uint32_t { MENTIONS_CYC = 0x1, MENTIONS_PC = 0x2 };

// Register comparison operators of a kind 7 condition, as the reader codes them.
enum break_compare : uint16_t {
  CMP_NE = 0, CMP_LE, CMP_LT, CMP_GE, CMP_GT, CMP_EQ, CMP_ASSIGN_EQ,
};

constexpr std::size_t BREAK_TEXT_MAX = 255;
constexpr int BREAK_NUMBER_MAX = 99;

struct break_rec {
  int number = 0;
  int kind = BK_EXPRESSION;
  uint32_t mentions = 0;
  int action = BA_HALT;
  std::string cond_text = "0";
  std::string command_text;
  int enabled = 1;
  // Start and end address (lo, hi), memory-map row (region), register and
  // peripheral row (item, region), compare operator and value (op, lo/hi).
  arg_value operands;
  // A condition on pc that hit in the cycle that moved pc: the same arrival
  // is not reported again at the instruction's end. Cleared at every end.
  int hit_at_pc_write = 0;
  // An expression condition compiled when the run plan is worked out;
  // empty when it does not compile (then it is parsed at each test).
  expr_program program;
  // dr, drw: per address of the block, the word the last read there
  // returned (-1 unknown); filled when the run plan is worked out.
  std::vector<int32_t> seen;
  // A C expression condition, compiled once when it was given, with the
  // scope its names were found in.
  std::shared_ptr<c_tree> c_expr;
  break_rec* next = nullptr;
};

// A hit of breakpoint bp on the current device: runs its action, counts it
// for go, prints its report when it stops or notes. Sets *stop and *show.
// Returns 0 when the action freed or replaced the device.
int report_break(break_rec& bp, int* stop, int* show);

// Called by the run commands: true when the command comes from a
// breakpoint's action during a run of the current device. Such a command
// continues that run instead of arming a new one: the hit does not stop
// it, and the run keeps its own mode, counts, flags and pending stop, so
// Ctrl-C and the run's own limits still end it.
bool continue_run_from_action();
// True while a breakpoint's command runs: its echo stays out of the
// command log, since replaying the log runs it through the breakpoint.
bool break_action_running();

// Names used by the listing and the hit report.
const char* break_kind_name(int kind);
const char* break_action_name(int action);

// Creates a record for the current device; the list owns it once inserted.
std::unique_ptr<break_rec> new_breakpoint();
// Links a record into the current device's list: with a number, before the
// first record with a higher one; with number 0, under the lowest number
// not in use. Returns the record, or null when every number is taken.
break_rec* insert_breakpoint(std::unique_ptr<break_rec> rec);
// The first record with that number in list order, or null.
break_rec* find_breakpoint(int number);
// Unlinks and frees every record whose number lies in [first, last].
void delete_breakpoint_range(int first, int last);
// Empties the current device's list.
void free_breakpoints();
// Sets the condition text (cut to 255 characters) and the mentions bits.
void set_break_condition(break_rec& rec, const char* text);

// "%s%s %s%s%s": kind name, condition, action name, command text and
// " disabled" when off — the tail of a listing line.
std::string break_listing_tail(const break_rec& rec);

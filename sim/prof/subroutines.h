// Subroutine tracking state: routines, call edges and the stack of active
// routines of one profiling run.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/prof/profiler.h"

struct call_edge {
  routine* caller = nullptr;
  routine* callee = nullptr;
  uint32_t calls = 0;
  uint32_t cycles = 0;
};

// Routine flags.
enum : uint32_t { ROUTINE_INLINE = 1, ROUTINE_SELF_CALL = 4, ROUTINE_RECURSIVE = 8, ROUTINE_PRINTED = 16 };
enum : int { ROUTINE_NAMED = 4, ROUTINE_LINE_WORD = 5 };

struct routine {
  uint32_t sequence = 0;
  std::string name;
  std::string report_name;
  int kind = ROUTINE_NAMED;
  std::vector<const code_node*> entries, call_sites;
  std::vector<call_edge*> callers, callees;
  uint32_t flags = 0;
  uint32_t cycles = 0;
  uint32_t recursive_cycles = 0;
  uint32_t cumulative = 0;
  uint32_t calls = 0;
  routine* merged_into = nullptr;  // set when it left the routine list
  // Call-graph layout: size in grid cells, the callees placed in it with
  // their offsets, and the position drawn.
  bool laid_out = false;
  int width = 0, height = 0;
  std::vector<std::pair<routine*, std::array<int, 2>>> placed;
  int x = 0, y = 0;
  bool positioned = false;
};

struct tracking_frame {
  routine* r = nullptr;
  uint32_t pc = 0;
  uint32_t start = 0;
  call_edge* edge = nullptr;
  code_node* previous = nullptr;
  bool joint = false;
  const code_node* line_entry = nullptr;  // opened for a source-line word
};

// Frames above the root.
constexpr int TRACK_DEPTH = 21;
enum : uint32_t { TRACK_OVERFLOW = 2, TRACK_UNDERFLOW = 4, TRACK_DIRECTIVE = 6 };

struct subroutine_tracking {
  std::vector<std::unique_ptr<routine>> store;
  std::vector<std::unique_ptr<call_edge>> edges;
  std::map<std::string, routine*> by_name;
  std::array<tracking_frame, TRACK_DEPTH + 1> frames{};
  int depth = 0;
  uint32_t errors = 0;
  std::string error_file;
  int error_line = 0;
  bool started = false;
  bool taken_call = false;
  code_node* previous = nullptr;
  routine* initial = nullptr;
  routine* root = nullptr;

  routine* make(const std::string& name, int kind);
  routine* named(const std::string& name, int kind);
  // The routines still in the list.
  std::vector<routine*> live() const;
};

// The routine a merge left it in.
routine* resolve(routine* r);

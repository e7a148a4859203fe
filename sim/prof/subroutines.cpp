// Subroutine tracking during a profiled run: the ";##" directives of the
// source, the stack of active routines, cycles charged to routines and
// call edges.
//
// - Subroutine tracking (`subroutines.cpp`/`.h`): routines and call edges owned by
//   `subroutine_tracking` in the tables; a 21-frame stack above the root "__MOTHER__"; overflow,
//   underflow and directive errors stop tracking and replace the subroutine reports by a note. The
//   call-graph layout packs callee rectangles (`subroutine_reports.cpp`); a graph over 100 cells
//   gives "Sorry - Graph too Big". The PostScript file is NAME with ".ps" for its extension, or
//   NAME.ps when that would be NAME itself; a report that could not be written completely says so
//   and `log off p` prints no "Done.".
#include "sim/prof/subroutines.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "sim/engine/device/current_device.h"

namespace {

constexpr std::size_t NAME_KEPT = 23;

const profile_family_ops& family() { return *cur_family->profile_ops; }

subroutine_tracking& state(profile_tables& t) {
  if (!t.subroutines) t.subroutines = std::make_unique<subroutine_tracking>();
  return *t.subroutines;
}

// A routine name: a letter, then letters, digits and "_", ended by white
// space, "," or the line's end. "" when the text breaks these rules.
std::string directive_name(const char*& cursor) {
  while (*cursor == ' ' || *cursor == '\t') ++cursor;
  const char* start = cursor;
  if (std::isalpha(static_cast<unsigned char>(*cursor)) == 0) return {};
  while (std::isalnum(static_cast<unsigned char>(*cursor)) != 0 || *cursor == '_') ++cursor;
  if (*cursor != '\0' && *cursor != ' ' && *cursor != '\t' && *cursor != ',' && *cursor != '\n' && *cursor != '\r')
    return {};
  return std::string(start, std::min<std::size_t>(static_cast<std::size_t>(cursor - start), NAME_KEPT));
}

// After a name: "," must be followed by the word; true when it was.
bool option(const char*& cursor, const char* word, bool& present) {
  while (*cursor == ' ' || *cursor == '\t') ++cursor;
  present = false;
  if (*cursor != ',') return true;
  ++cursor;
  present = prof_word_test(&cursor, word) != 0;
  return present;
}

void directive_error(profile_tables& t, const code_node& node, const char* format, const char* what = nullptr) {
  subroutine_tracking& s = state(t);
  s.errors = TRACK_DIRECTIVE;
  const char* file = node.file != nullptr ? node.file : "";
  if (what != nullptr)
    prof_message(PROF_WARNING, format, file, node.line, what);
  else
    prof_message(PROF_WARNING, format, file, node.line);
}

bool stands_lower(const subroutine_tracking& s, const routine* r, int below) {
  for (int k = 0; k < below; ++k)
    if (s.frames[static_cast<std::size_t>(k)].r == r) return true;
  return false;
}

// Cycles since the top frame's start go to its routine.
void charge_top(subroutine_tracking& s, uint32_t cycle) {
  tracking_frame& top = s.frames[static_cast<std::size_t>(s.depth)];
  const uint32_t spent = cycle - top.start;
  top.r->cycles += spent;
  if (stands_lower(s, top.r, s.depth)) top.r->recursive_cycles += spent;
  top.start = cycle;
}

call_edge* edge_between(subroutine_tracking& s, routine* caller, routine* callee) {
  for (call_edge* e : caller->callees)
    if (e->callee == callee) return e;
  s.edges.push_back(std::make_unique<call_edge>());
  call_edge* e = s.edges.back().get();
  e->caller = caller;
  e->callee = callee;
  caller->callees.push_back(e);
  callee->callers.push_back(e);
  return e;
}

void note_error(subroutine_tracking& s, uint32_t flag, const code_node& node) {
  s.errors |= flag;
  s.error_file = node.file != nullptr ? node.file : "";
  s.error_line = node.line;
}

void push(subroutine_tracking& s, routine* callee, code_node& node, uint32_t cycle, bool joint,
          const code_node* line_entry = nullptr) {
  if (s.depth >= TRACK_DEPTH) {
    // Named by the call that overflowed, when a call led here.
    note_error(s, TRACK_OVERFLOW, s.previous != nullptr ? *s.previous : node);
    return;
  }
  routine* caller = s.frames[static_cast<std::size_t>(s.depth)].r;
  charge_top(s, cycle);
  callee->calls += 1;
  call_edge* e = edge_between(s, caller, callee);
  e->calls += 1;
  s.frames[static_cast<std::size_t>(++s.depth)] = {callee, node.decoded.address, cycle, e, s.previous, joint,
                                                   line_entry};
}

void pop(subroutine_tracking& s, uint32_t cycle, const code_node* node) {
  if (s.depth == 0) {
    if (node != nullptr) note_error(s, TRACK_UNDERFLOW, *node);
    else s.errors |= TRACK_UNDERFLOW;
    return;
  }
  charge_top(s, cycle);
  bool joint = true;
  while (joint && s.depth > 0) {
    const tracking_frame& f = s.frames[static_cast<std::size_t>(s.depth)];
    tracking_frame& caller = s.frames[static_cast<std::size_t>(s.depth - 1)];
    const uint32_t spent = cycle - caller.start;
    if (!stands_lower(s, f.r, s.depth)) {
      caller.r->cumulative += spent;
      if (f.edge != nullptr) f.edge->cycles += spent;
    }
    s.previous = f.previous;
    joint = f.joint;
    --s.depth;
  }
  s.frames[static_cast<std::size_t>(s.depth)].start = cycle;
}

bool reaches(const routine* from, const routine* to, std::vector<const routine*>& seen) {
  if (from == to) return true;
  if (std::find(seen.begin(), seen.end(), from) != seen.end()) return false;
  seen.push_back(from);
  for (const call_edge* e : from->callees)
    if (reaches(e->callee, to, seen)) return true;
  return false;
}

template <class T>
void append(std::vector<T>& to, const std::vector<T>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

}  // namespace

routine* resolve(routine* r) {
  while (r != nullptr && r->merged_into != nullptr) r = r->merged_into;
  return r;
}

routine* subroutine_tracking::make(const std::string& name, int kind) {
  store.push_back(std::make_unique<routine>());
  routine* r = store.back().get();
  r->sequence = static_cast<uint32_t>(store.size());
  r->name = name;
  r->kind = kind;
  if (kind == ROUTINE_LINE_WORD) r->flags |= ROUTINE_INLINE;
  if (!name.empty()) by_name.emplace(name, r);
  return r;
}

routine* subroutine_tracking::named(const std::string& name, int kind) {
  if (auto found = by_name.find(name); found != by_name.end()) return resolve(found->second);
  return make(name, kind);
}

std::vector<routine*> subroutine_tracking::live() const {
  std::vector<routine*> out;
  for (const auto& r : store)
    if (r->merged_into == nullptr) out.push_back(r.get());
  return out;
}

// Routine b joins routine a.
static void merge_routines(subroutine_tracking& s, routine* a, routine* b) {
  a = resolve(a);
  b = resolve(b);
  if (a == nullptr || b == nullptr || a == b) return;
  std::vector<const routine*> seen;
  bool recursive = reaches(b, a, seen);
  seen.clear();
  recursive = recursive || reaches(a, b, seen);
  if (recursive) a->flags |= ROUTINE_RECURSIVE;
  append(a->entries, b->entries);
  append(a->call_sites, b->call_sites);
  for (call_edge* e : b->callers) {
    e->callee = a;
    a->callers.push_back(e);
  }
  for (call_edge* e : b->callees) {
    e->caller = a;
    a->callees.push_back(e);
  }
  a->cycles += b->cycles;
  a->recursive_cycles += b->recursive_cycles;
  a->cumulative += b->cumulative;
  a->calls += b->calls;
  a->flags |= b->flags;
  if (a->name.empty()) a->name = b->name;
  if (s.initial == b) s.initial = a;
  if (s.root == b) s.root = a;
  for (tracking_frame& f : s.frames)
    if (f.r == b) f.r = a;
  b->merged_into = a;
}

namespace {

struct named_kind {
  uint32_t flag, option_flag;
  const char* option_word;
};

// "enter NAME[, any]" and "call NAME[, joint_ret]": the routine named joins
// the node's entries or call sites.
void named_directive(profile_tables& t, code_node& node, const char*& cursor, const named_kind& kind) {
  const std::string name = directive_name(cursor);
  node.directives |= kind.flag;
  if (!name.empty()) {
    routine* r = state(t).named(name, ROUTINE_NAMED);
    if (kind.flag == NODE_ENTER) {
      node.enters = r;
      r->entries.push_back(&node);
    } else {
      node.calls = r;
      r->call_sites.push_back(&node);
    }
  }
  bool present = false;
  if (!option(cursor, kind.option_word, present)) directive_error(t, node, "File %s, line %d: Invalid directive");
  if (present) node.directives |= kind.option_flag;
}

}  // namespace

void family_directives(code_node& node) {
  if ((node.directives & NODE_IGNORE) != 0) return;
  if (family().call_test(node.decoded) != 0) node.directives |= NODE_CALL;
  if (family().return_test(node.decoded) != 0) node.directives |= NODE_RETURN;
}

void parse_directives(profile_tables& t, code_node& node, const std::string& text) {
  for (std::size_t at = text.find(";##"); at != std::string::npos; at = text.find(";##", at + 3)) {
    const char* cursor = text.c_str() + at + 3;
    if (prof_word_test(&cursor, "ignore") != 0) {
      node.directives = (node.directives & ~(NODE_CALL | NODE_RETURN)) | NODE_IGNORE;
    } else if (prof_word_test(&cursor, "return") != 0) {
      node.directives |= NODE_RETURN;
    } else if (prof_word_test(&cursor, "enter") != 0) {
      named_directive(t, node, cursor, {NODE_ENTER, NODE_ANY, "any"});
    } else if (prof_word_test(&cursor, "call") != 0) {
      named_directive(t, node, cursor, {NODE_CALL, NODE_JOINT_RETURN, "joint_ret"});
      if (family().branch_test(node.decoded) == 0)
        directive_error(t, node, "File %s, line %d: Directive %s not allowed here", "'call'");
    }
  }
}

void track_subroutines(profile_tables& t, code_node& node, bool conditional, bool taken, uint32_t cycle) {
  subroutine_tracking& s = state(t);
  if (s.errors != 0 || (node.directives & NODE_IGNORE) != 0) return;
  if (s.root == nullptr) {
    s.root = s.make("__MOTHER__", ROUTINE_NAMED);
    s.frames[0] = {s.root, node.decoded.address, cycle, nullptr, nullptr, false, nullptr};
  }
  const bool first = !s.started;
  s.started = true;
  const bool enters = first || s.taken_call || (node.directives & NODE_ANY) != 0;
  const tracking_frame& top = s.frames[static_cast<std::size_t>(s.depth)];
  if (!enters && top.line_entry != nullptr &&
      (top.line_entry->line != node.line || top.line_entry->file != node.file))
    pop(s, cycle, &node);
  if (s.previous != nullptr && (s.previous->directives & NODE_RETURN) != 0) pop(s, cycle, &node);
  if (s.errors != 0) return;
  if (enters) {
    code_node* caller = s.previous;
    if (node.enters == nullptr) {
      node.enters = s.make("", ROUTINE_NAMED);
      node.enters->entries.push_back(&node);
    }
    routine* r = resolve(node.enters);
    if (s.taken_call && caller != nullptr && caller->calls != nullptr) {
      merge_routines(s, r, caller->calls);
      r = resolve(r);
    }
    if (first) {
      s.initial = r;
    } else if (caller != nullptr &&
               std::find(r->call_sites.begin(), r->call_sites.end(), caller) == r->call_sites.end()) {
      r->call_sites.push_back(caller);
    }
    push(s, r, node, cycle, caller != nullptr && (caller->directives & NODE_JOINT_RETURN) != 0);
  }
  if (node.source_word != nullptr && s.errors == 0) {
    bool open = false;
    for (int k = 1; k <= s.depth; ++k) {
      const code_node* e = s.frames[static_cast<std::size_t>(k)].line_entry;
      open = open || (e != nullptr && e->line == node.line && e->file == node.file);
    }
    if (!open) push(s, s.named(node.source_word, ROUTINE_LINE_WORD), node, cycle, false, &node);
  }
  s.taken_call = (node.directives & NODE_CALL) != 0 && (!conditional || taken);
  s.previous = &node;
}

uint32_t finish_subroutines(profile_tables& t) {
  if (!t.subroutines || t.subroutines->root == nullptr) return 0;
  subroutine_tracking& s = *t.subroutines;
  if (s.errors == 0) {
    const uint32_t end = t.total_cycles;
    if (s.frames[static_cast<std::size_t>(s.depth)].line_entry != nullptr) pop(s, end, nullptr);
    if (s.previous != nullptr && (s.previous->directives & NODE_RETURN) != 0 && s.depth > 0) pop(s, end, nullptr);
    // Frames still open are closed for the counts but stay listed.
    const int depth = s.depth;
    while (s.depth > 0) pop(s, end, nullptr);
    s.depth = depth;
    if (s.initial != nullptr && s.initial->calls > 0) s.initial->calls -= 1;
    routine* initial = resolve(s.initial);
    routine* root = resolve(s.root);
    if (initial != nullptr && root != initial) {
      std::erase_if(root->callees, [initial](const call_edge* e) { return e->callee == initial; });
      std::erase_if(initial->callers, [root](const call_edge* e) { return e->caller == root; });
      merge_routines(s, initial, root);
    }
  }
  uint32_t calls = 0;
  for (routine* r : s.live()) {
    calls += r->calls;
    for (const call_edge* e : r->callers)
      if (e->caller == r) r->flags |= ROUTINE_SELF_CALL;
  }
  return calls;
}

profile_tables::profile_tables() = default;
profile_tables::~profile_tables() = default;

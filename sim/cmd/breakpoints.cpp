// The breakpoint list of each device and the names of kinds and actions.
//
// The list is threaded through the records from the device state's head, in
// ascending number order. The records themselves are owned here, one pool
// per device slot: a device that is reset or released drops its list head,
// and the pool notices the empty head and lets the records go.
#include "sim/cmd/breakpoints.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <vector>

#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"

namespace {

constexpr const char* kind_names[] = {"r ", "rw ", "w ", "r ", "rw ", "w ", "",
                                      "",   "",    "dr ", "drw ", "dw ", ""};
static_assert(std::size(kind_names) == BK_KIND_COUNT);
constexpr const char* action_names[] = {"h", "i1", "i2", "i3", "i4", "n", "s", "x "};
static_assert(std::size(action_names) == BA_ACTION_COUNT);

struct break_pool {
  const device_state* owner = nullptr;
  std::vector<std::unique_ptr<break_rec>> records;
};
std::array<break_pool, DEVICE_MAX> pools;

// The pool of the current device, emptied when it no longer matches the
// list (a new device in the slot, or a reset that dropped the head).
break_pool* current_pool() {
  if (cur_state == nullptr || cur_device < 0 || cur_device >= DEVICE_MAX) return nullptr;
  break_pool& pool = pools[static_cast<std::size_t>(cur_device)];
  if (pool.owner != cur_state || cur_state->breakpoints == nullptr) {
    pool.records.clear();
    pool.owner = cur_state;
  }
  return &pool;
}

void release(break_pool& pool, const break_rec* rec) {
  auto it = std::find_if(pool.records.begin(), pool.records.end(),
                         [rec](const std::unique_ptr<break_rec>& p) { return p.get() == rec; });
  if (it != pool.records.end()) pool.records.erase(it);
}

}  // namespace

const char* break_kind_name(int kind) {
  return kind >= 0 && kind < BK_KIND_COUNT ? kind_names[kind] : "";
}

const char* break_action_name(int action) {
  return action >= 0 && action < BA_ACTION_COUNT ? action_names[action] : "";
}

std::unique_ptr<break_rec> new_breakpoint() { return std::make_unique<break_rec>(); }

break_rec* insert_breakpoint(std::unique_ptr<break_rec> rec) {
  break_pool* pool = current_pool();
  if (pool == nullptr || rec == nullptr) return nullptr;
  break_rec** link = &cur_state->breakpoints;
  if (rec->number > 0) {
    while (*link != nullptr && (*link)->number <= rec->number) link = &(*link)->next;
  } else {
    int candidate = 1;
    while (*link != nullptr && (*link)->number <= candidate) {
      if ((*link)->number == candidate) ++candidate;
      link = &(*link)->next;
    }
    if (candidate > BREAK_NUMBER_MAX) return nullptr;
    rec->number = candidate;
  }
  rec->next = *link;
  *link = rec.get();
  cur_state->run_plan_stale = 1;
  cur_state->last_break_number = rec->number;
  pool->records.push_back(std::move(rec));
  return *link;
}

break_rec* find_breakpoint(int number) {
  if (cur_state == nullptr) return nullptr;
  for (break_rec* bp = cur_state->breakpoints; bp != nullptr; bp = bp->next)
    if (bp->number == number) return bp;
  return nullptr;
}

void delete_breakpoint_range(int first, int last) {
  break_pool* pool = current_pool();
  if (pool == nullptr) return;
  cur_state->run_plan_stale = 1;
  break_rec** link = &cur_state->breakpoints;
  while (*link != nullptr) {
    break_rec* bp = *link;
    if (bp->number >= first && bp->number <= last) {
      *link = bp->next;
      release(*pool, bp);
    } else {
      link = &bp->next;
    }
  }
}

void free_breakpoints() {
  break_pool* pool = current_pool();
  if (pool == nullptr) return;
  cur_state->breakpoints = nullptr;
  cur_state->run_plan_stale = 1;
  pool->records.clear();
}

void set_break_condition(break_rec& rec, const char* text) {
  rec.cond_text = text != nullptr ? text : "";
  if (rec.cond_text.size() > BREAK_TEXT_MAX) rec.cond_text.resize(BREAK_TEXT_MAX);
  std::string folded = rec.cond_text;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  rec.mentions = 0;
  rec.seen.clear();
  if (find_whole_word(folded.c_str(), "cyc") >= 0) rec.mentions |= MENTIONS_CYC;
  if (find_whole_word(folded.c_str(), "pc") >= 0) rec.mentions |= MENTIONS_PC;
  if (cur_state != nullptr) cur_state->run_plan_stale = 1;
}

std::string break_listing_tail(const break_rec& rec) {
  std::string text = break_kind_name(rec.kind);
  text += rec.cond_text;
  text += ' ';
  text += break_action_name(rec.action);
  text += rec.command_text;
  if (rec.enabled == 0) text += " disabled";
  return text;
}

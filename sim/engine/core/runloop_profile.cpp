// The run loop's part of profiling: the per-device profiler block, the
// sample of sr and omr at an instruction's first cycle, and the counting
// of references of instructions the profiler counts without its hook.
#include "sim/engine/core/runloop.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "sim/engine/core/clock_device.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/fast/core_fast.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/fast/run_lanes.h"
#include "sim/frontend/frontend.h"
#include "sim/engine/core/runloop_internal.h"

using namespace runloop_detail;

namespace {

// "sr" and "omr" of each type, for the profiler's sample.
struct sample_regs {
  bool looked_up = false;
  bool found = false;
  int sr_row = 0, sr_reg = 0, omr_row = 0, omr_reg = 0;
};
thread_local std::array<sample_regs, TYPE_COUNT> sample_lookup;

}  // namespace

void runloop_detail::sample_profiler(int device, profiler_block& block) {
  if (block.instruction_start == 0) return;
  block.instruction_start = 0;
  // Not counted: an instruction the straight-line executor declined runs
  // here, with its stalls, through the hook.
  block.counting = nullptr;
  if (block.first_cycle == 0) block.first_cycle = 1;
  sample_regs& regs = sample_lookup[static_cast<std::size_t>(cur_inst->type)];
  if (!regs.looked_up) {
    regs.looked_up = true;
    regs.found = lookup_register(device, "sr", &regs.sr_row, &regs.sr_reg) != 0 &&
                 lookup_register(device, "omr", &regs.omr_row, &regs.omr_reg) != 0;
  }
  if (!regs.found) return;
  // read_register's read on the current device, whose rows the look-up
  // has checked.
  auto read = [](int row, int reg, uint32_t& into) {
    const periph_class* cls = cur_type->periphs[row].cls;
    if (cls->get == nullptr) return;
    if (cls->catch_up) cls->catch_up(row);
    uint32_t word[3] = {0, 0, 0};
    if (cls->get(row, reg, word)) into = word[0];
  };
  read(regs.sr_row, regs.sr_reg, block.sample_sr);
  read(regs.omr_row, regs.omr_reg, block.sample_omr);
}

profiler_block& device_profiler_block(int device) { return device_states[device]->profile; }

void set_device_profiled(int device, int on) {
  if (device < 0 || device >= DEVICE_MAX || device_insts[device] == nullptr || device_states[device] == nullptr)
    return;
  device_states[device]->profile.on = on != 0 ? 1 : 0;
  device_insts[device]->profiled = on != 0 ? 1 : 0;
  device_states[device]->run_plan_stale = 1;
}

namespace {

[[gnu::noinline]] profile_data_page* make_data_page(profile_counts& counts, uint32_t mem_class, uint32_t page) {
  auto& slot = counts.x_data[mem_class][page];
  slot.reset(new (std::nothrow) profile_data_page());
  return slot.get();
}

void count_x_reference(profile_counts& counts, uint32_t mem_class, uint32_t address, int write) {
  const uint32_t page = address / PROFILE_PAGE_WORDS;
  profile_data_page* p = counts.x_data[mem_class][page].get();
  if (p == nullptr) [[unlikely]] {
    p = make_data_page(counts, mem_class, page);
    // No memory for the page: the reference is dropped, as a full list drops one.
    if (p == nullptr) return;
  }
  auto& counter = write != 0 ? p->writes : p->reads;
  counter[address % PROFILE_PAGE_WORDS] += 1;
}

}  // namespace

void profile_note_reference(int space, uint32_t address, int write) {
  // Engine space code to the profiler's space and memory class.
  struct space_class {
    uint32_t space, mem_class;
  };
  auto classify = [](int code) -> space_class {
    switch (code) {
      case SPACE_PE: return {PROF_SPACE_P, PROF_EXTERNAL};
      case SPACE_PI: return {PROF_SPACE_P, PROF_INTERNAL};
      case SPACE_PR: return {PROF_SPACE_P, PROF_INTERNAL_ROM};
      case SPACE_XE: return {PROF_SPACE_X, PROF_EXTERNAL};
      case SPACE_XI: return {PROF_SPACE_X, PROF_INTERNAL};
      case SPACE_XR: return {PROF_SPACE_X, PROF_INTERNAL_ROM};
      default: return {PROF_SPACE_FREE, 0};
    }
  };
  const space_class c = classify(space);
  if (c.space == PROF_SPACE_FREE) return;
  profiler_block& block = cur_state->profile;
  if (block.counting != nullptr) {
    // A counted instruction addresses no program memory: its fetches are
    // no references.
    if (c.space == PROF_SPACE_X) count_x_reference(*block.counts, c.mem_class, address & 0xFFFF, write);
    return;
  }
  for (profile_reference& r : block.references) {
    if (r.space != PROF_SPACE_FREE) continue;
    r = {c.space, c.mem_class, address & 0xFFFF, 0, write != 0 ? 1u : 0u};
    return;
  }
}

void profile_sample(int device) {
  profiler_block& block = cur_state->profile;
  if (block.instruction_start == 0) return;
  // An instruction the profiler armed its address for, with the words it
  // saw there, is counted at its end (the sample stays to be taken should
  // the executor decline it).
  if (block.may_count != 0 && block.counts != nullptr) {
    if (profile_code_slot* slot = block.counts->slot_at(block.previous_pc)) {
      uint32_t word = 0;
      if (read_program_word(block.previous_pc, &word) != 0 && (word & 0xFFFF) == slot->words[0] &&
          (slot->two_word == 0 ||
           (read_program_word(block.previous_pc + 1, &word) != 0 && (word & 0xFFFF) == slot->words[1]))) {
        block.counting = slot;
        return;
      }
    }
  }
  sample_profiler(device, block);
}

// Walks a device's state part by part; the digest hashes the parts, the
// difference compares them between two devices.
#include "sim/engine/fast/state_digest.h"

#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "sim/engine/core/core_state.h"
#include "sim/engine/device/device_inst.h"

namespace {

struct state_part {
  const char* name;
  std::span<const uint32_t> words;
  // The core's words: its scratch words are not state (core_scratch_ranges).
  bool without_scratch = false;
  bool counts(std::size_t i) const { return !without_scratch || !core_scratch_mask[i]; }
};

std::span<const uint32_t> words_of(const uint32_t& first, std::size_t count) {
  return {&first, count};
}

// The parts in a fixed order; the same device type gives the same list.
// `held` keeps the words the parts compute (the per-instruction access
// counts, which live under an epoch stamp).
std::vector<state_part> state_parts(const device_inst& inst, const device_state& st, std::vector<uint32_t>& held) {
  // The core's words come first in the peripheral state words.
  const std::span<const uint32_t> storage = inst.periph_storage;
  const std::size_t core_words =
      inst.core == storage.data() && storage.size() >= CORE_STATE_WORDS ? CORE_STATE_WORDS : 0;
  std::vector<state_part> parts = {
      {"core state words", storage.first(core_words), true},
      {"peripheral state words", storage.subspan(core_words)},
      {"register blocks", inst.blocks},
      {"device words", inst.device_words},
      {"pc", words_of(inst.pc, 1)},
      {"cyc", words_of(inst.cycles, 1)},
      {"device time", words_of(inst.time_offset, 1)},
      {"profiler's count", words_of(inst.cyc_written, 1)},
      {"ictr", words_of(inst.instructions, 1)},
      {"flags", words_of(inst.flags, 1)},
      {"register marks", st.attr_storage},
      {"break counters", words_of(st.cnt[0], 4)},
      {"jump flag", words_of(st.jump_flag, 1)},
      {"run word", words_of(st.run_word, 1)},
      {"pc trace count", words_of(st.pc_trace_count, 1)},
      {"pc trace index", words_of(st.pc_trace_index, 1)},
      {"pc trace", words_of(st.pc_trace[0].pc, st.pc_trace.size() * 4)},
  };
  for (const region_mem& mem : inst.regions) parts.push_back({"memory words", mem.words});
  held.assign(2 * st.region_logs.size(), 0);  // no reallocation below: the parts point into it
  std::size_t k = 0;
  for (const region_access_log& log : st.region_logs) {
    for (const access_log* side : {&log.reads, &log.writes}) {
      held[k] = instr_accesses(st, *side);
      parts.push_back({"access log counts", words_of(side->run_count, 2)});
      parts.push_back({"access log instruction counts", words_of(held[k++], 1)});
      parts.push_back({"access log addresses", side->address});
      parts.push_back({"access log attributes", side->attribute});
    }
  }
  return parts;
}

bool device_exists(int device) {
  return device >= 0 && device < DEVICE_MAX && device_insts[device] != nullptr &&
         device_states[device] != nullptr;
}

}  // namespace

uint64_t device_state_digest(int device) {
  if (!device_exists(device)) return 0;
  uint64_t hash = 0xcbf29ce484222325ULL;
  std::vector<uint32_t> held;
  for (const state_part& part : state_parts(*device_insts[device], *device_states[device], held)) {
    for (std::size_t i = 0; i < part.words.size(); ++i) {
      hash ^= part.counts(i) ? part.words[i] : 0;
      hash *= 0x100000001b3ULL;
    }
  }
  return hash;
}

std::string device_state_difference(int a, int b) {
  if (!device_exists(a) || !device_exists(b)) return "no such device";
  std::vector<uint32_t> held_a, held_b;
  const std::vector<state_part> left = state_parts(*device_insts[a], *device_states[a], held_a);
  const std::vector<state_part> right = state_parts(*device_insts[b], *device_states[b], held_b);
  if (left.size() != right.size()) return "different device types";
  for (std::size_t p = 0; p < left.size(); ++p) {
    const auto& x = left[p].words;
    const auto& y = right[p].words;
    if (x.size() != y.size()) return std::string(left[p].name) + ": sizes differ";
    for (std::size_t i = 0; i < x.size(); ++i)
      if (left[p].counts(i) && x[i] != y[i])
        return std::string(left[p].name) + " part " + std::to_string(p) + " word " +
               std::to_string(i) + ": " + std::to_string(x[i]) + " != " + std::to_string(y[i]);
  }
  return "";
}

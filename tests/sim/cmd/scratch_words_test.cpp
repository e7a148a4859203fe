// The core's scratch words (core_scratch_ranges, core_state.h) are not
// state at an instruction boundary: two devices run the same programs on
// the cycle engine, one of them with its scratch words overwritten by
// random values at every boundary end, and the state the engine comparison
// covers (which leaves the scratch words out) agrees at every end; the
// same with the second device on the fast engine, scrambled at random
// ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/fast/state_digest.h"

namespace {

using namespace engine_pair;
constexpr int A = 0, B = 1;

std::vector<uint64_t> ends_seen[2];
std::vector<int> scrambled;  // the words overwritten on device B
std::mt19937 scramble_rng;
uint32_t scramble_one_in = 1;  // B scrambles at one boundary end in this many

void at_end(int device) {
  if (device != A && device != B) return;
  catch_up_peripherals();
  ends_seen[device].push_back(device_state_digest(device));
  device_inst& inst = *device_insts[device];
  if (device == B && core_at_boundary(inst) && scramble_rng() % scramble_one_in == 0)
    for (int word : scrambled) inst.core[word] = static_cast<uint32_t>(scramble_rng());
}

std::vector<int> scratch_words() {
  std::vector<int> words;
  for (int w = 0; w < CORE_STATE_WORDS; ++w)
    if (core_scratch_mask[static_cast<std::size_t>(w)]) words.push_back(w);
  return words;
}

// A program with its data and start, run for `cycles` with IRQA low for
// 30 cycles from each of `irqa_low`; `counter`, when named, must have
// counted.
struct scenario {
  std::string name;
  const char* type;
  std::function<void(int)> place;
  int cycles;
  std::vector<int> irqa_low = {};
  const char* counter = nullptr;
};

std::vector<scenario> scenarios(int random_per_type) {
  std::vector<scenario> list;
  std::mt19937 rng(73500);
  for (const char* type : type_names) {
    for (int p = 0; p < random_per_type; ++p) {
      std::vector<uint32_t> program = random_program(rng, 256);
      std::vector<uint32_t> data(256);
      for (uint32_t& word : data) word = rng() & 0xFFFF;
      list.push_back({"random program " + std::to_string(p), type, [program, data](int d) {
                        for (uint32_t a = 0; a < program.size(); ++a) put(d, SPACE_P, a, program[a]);
                        for (uint32_t a = 0; a < data.size(); ++a) put(d, SPACE_X, a, data[a]);
                        set(d, "pc", 0);
                      },
                      2000});
    }
    list.push_back({"fir", type, [](int d) {
                      place_fir(d);
                      set(d, "pc", 0x100);
                    },
                    2000});
    // No clock-out pin: the pins stay still and their samples are skipped.
    list.push_back({"fir without the clock-out pin", type, [](int d) {
                      place_fir(d);
                      set(d, "omr", 0x82);
                      set(d, "pc", 0x100);
                    },
                    1000});
  }
  for (int low_at : {3, 7, 10, 19, 40, 61}) {
    list.push_back({"irqa low at " + std::to_string(low_at), "73521",
                    [](int d) {
                      assemble(d, irq_program);
                      set(d, "pc", 0);
                      set(d, "ipr", 3);
                    },
                    400, {low_at, low_at + 90}, "r1"});
  }
  // Each pass of a repeated two-word instruction keeps its second word;
  // the nops take up what follows the repeat.
  static constexpr fir_line two_word_repeats[] = {
      {0x100, "move #>$300,r0"}, {0x102, "move #$2,x1"},        {0x103, "rep #3"},
      {0x104, "move #>$0,x0"},   {0x106, "nop"},                {0x107, "nop"},
      {0x108, "rep #2"},         {0x109, "move x:>$0,a"},       {0x10b, "nop"},
      {0x10c, "nop"},            {0x10d, "rep #3"},             {0x10e, "move a,x:>$0"},
      {0x110, "nop"},            {0x111, "nop"},                {0x112, "rep #2"},
      {0x113, "bfchg #$0f,x:(r0)"}, {0x115, "nop"},             {0x116, "nop"},
      {0x117, "rep x1"},         {0x118, "bfchg #$0f,b1"},      {0x11a, "nop"},
      {0x11b, "nop"},            {0x11c, "jmp >$100"},
  };
  for (const char* type : type_names)
    list.push_back({"repeats of two-word instructions", type, [](int d) {
                      assemble(d, two_word_repeats);
                      set(d, "pc", 0x100);
                    },
                    1000});
  return list;
}

class scratch_words_fixture : public cmd_fixture {
 protected:
  void SetUp() override {
    cmd_fixture::SetUp();
    free_all_devices();
    instruction_end_observer = at_end;
  }
  void TearDown() override {
    instruction_end_observer = nullptr;
    cmd_fixture::TearDown();
  }

  // Device A on the cycle engine, B on the cycle engine or the fast one;
  // the index of the first end whose state differs, -1 for none.
  static long first_parting(const scenario& s, bool b_fast = false) {
    ends_seen[A].clear();
    ends_seen[B].clear();
    scramble_rng.seed(7);
    for (int d : {A, B}) {
      make(d, s.type, d == A || !b_fast);
      s.place(d);
      arm(d);
    }
    for (int d : {A, B}) {
      int done = 0;
      for (int low_at : s.irqa_low) {
        done += run_device_cycles(d, low_at - done);
        pull_irqa(d, true);
        done += run_device_cycles(d, 30);
        pull_irqa(d, false);
      }
      run_device_cycles(d, s.cycles - done);
    }
    if (s.counter != nullptr) {
      int row = 0, reg = 0;
      uint32_t value[3] = {0, 0, 0};
      EXPECT_TRUE(lookup_register(A, s.counter, &row, &reg) && read_register(A, row, reg, value));
      EXPECT_GT(value[0], 0u) << s.counter;
    }
    const std::vector<uint64_t>& a = ends_seen[A];
    const std::vector<uint64_t>& b = ends_seen[B];
    EXPECT_GT(a.size(), 0u);
    long parting = a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
      if (a[k] != b[k]) {
        parting = static_cast<long>(k);
        break;
      }
    if (parting < 0) {
      EXPECT_EQ(device_state_difference(A, B), "");
    }
    if (b_fast) {
      EXPECT_GT(device_states[B]->fast_instructions, 0u);
    }
    free_all_devices();
    return parting;
  }
};

TEST_F(scratch_words_fixture, ScrambledScratchWordsLeaveTheSameStateAtEveryEnd) {
  scrambled = scratch_words();
  scramble_one_in = 1;
  for (const scenario& s : scenarios(3)) {
    SCOPED_TRACE(s.name + " on " + s.type);
    EXPECT_EQ(first_parting(s), -1);
    if (HasFailure()) return;
  }
}

// An engine may leave anything in the scratch words: device B on the fast
// engine, its scratch words scrambled at a third of its boundary ends,
// keeps the state of device A on the cycle engine.
TEST_F(scratch_words_fixture, TheFastEngineWithScrambledScratchWordsKeepsTheCycleEnginesState) {
  scrambled = scratch_words();
  scramble_one_in = 3;
  for (const scenario& s : scenarios(1)) {
    SCOPED_TRACE(s.name + " on " + s.type);
    EXPECT_EQ(first_parting(s, true), -1);
    if (HasFailure()) return;
  }
}

// The same check parts the devices when a live word is scrambled with them.
TEST_F(scratch_words_fixture, AScrambledLiveWordPartsTheDevices) {
  scramble_one_in = 1;
  const std::vector<scenario> all = scenarios(0);
  const auto named = [&all](const std::string& name) -> const scenario& {
    return *std::find_if(all.begin(), all.end(), [&name](const scenario& s) { return s.name == name; });
  };
  const scenario& fir = named("fir");
  const scenario& repeats = named("repeats of two-word instructions");
  struct live_case {
    int word;
    const scenario& on;
  };
  for (const live_case& c : {live_case{CS_PAB, fir}, live_case{CS_PREFETCH, fir}, live_case{CS_PASS, fir},
                             live_case{CS_DECODE_OPERAND, repeats}}) {
    SCOPED_TRACE("word " + std::to_string(c.word));
    scrambled = scratch_words();
    scrambled.push_back(c.word);
    EXPECT_GE(first_parting(c.on), 0);
  }
}

}  // namespace

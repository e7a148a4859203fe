// The fast engine against the cycle engine: the same programs on two
// devices of one type, one of them held to the cycle engine, compared over
// their whole state at every instruction end; breakpoints of every kind
// stopping at the same cycle and pc; program memory rewritten under a
// running program; interrupts raised inside multi-cycle instructions and
// loops; one device stopping while another is inside an instruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <array>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/engine_pair.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cmd/streams.h"
#include "sim/engine/core/clock_device.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/fast/state_digest.h"
#include "sim/prof/profiler.h"
#include "support/serial_port_state.h"

namespace {

using namespace engine_pair;
constexpr int FAST = 0, CYCLE = 1;

// The digest of the device at each instruction end, per device, and how
// many ends came before the count `count_watched`.
std::vector<uint64_t> ends_seen[2];
uint32_t count_watched = 0;
uint32_t ends_before_count[2];
void record_end(int device) {
  if (device != FAST && device != CYCLE) return;
  catch_up_peripherals();
  ends_seen[device].push_back(device_state_digest(device));
  if (device_insts[device]->cycles < count_watched) ++ends_before_count[device];
}

class engine_diff : public cmd_fixture {
 protected:
  void SetUp() override {
    cmd_fixture::SetUp();
    free_all_devices();
    ends_seen[0].clear();
    ends_seen[1].clear();
    instruction_end_observer = record_end;
  }
  void TearDown() override {
    instruction_end_observer = nullptr;
    for (int d = 0; d < DEVICE_MAX; ++d)
      if (make_device_current(d)) free_breakpoints();
    cmd_fixture::TearDown();
  }

  static void make(int d, const char* type) { engine_pair::make(d, type, d == CYCLE); }

  // Both engines for up to `cycles` cycles (together: stops at the first
  // stop); every instruction end and the final state must agree.
  static void run_both(int cycles) {
    const int fast = run_device_cycles(FAST, cycles);
    const int slow = run_device_cycles(CYCLE, cycles);
    EXPECT_EQ(fast, slow);
    compare_runs();
  }
  // Both devices caught up must hold the same state.
  static void expect_same_state() {
    for (int d : {FAST, CYCLE}) {
      make_device_current(d);
      catch_up_peripherals();
    }
    EXPECT_EQ(device_state_difference(FAST, CYCLE), "");
  }
  // Both engines for `cycles` cycles: every end compared when observed,
  // else the state at the end.
  static void run_then_compare(int cycles, bool observed) {
    if (observed) {
      run_both(cycles);
      return;
    }
    EXPECT_EQ(run_device_cycles(FAST, cycles), run_device_cycles(CYCLE, cycles));
    expect_same_state();
  }
  // The same state; then their breakpoints and the devices go.
  static void expect_same_state_then_free() {
    expect_same_state();
    for (int d : {FAST, CYCLE}) {
      make_device_current(d);
      free_breakpoints();
    }
    free_all_devices();
  }
  static void compare_runs() {
    const std::vector<uint64_t>& a = ends_seen[FAST];
    const std::vector<uint64_t>& b = ends_seen[CYCLE];
    EXPECT_EQ(a.size(), b.size());
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
      if (a[k] != b[k]) {
        ADD_FAILURE() << "the engines part at instruction end " << k;
        break;
      }
    expect_same_state();
    EXPECT_EQ(device_states[CYCLE]->fast_instructions, 0u);
    EXPECT_EQ(device_states[CYCLE]->exec_instructions, 0u);
    EXPECT_EQ(device_states[CYCLE]->record_repeat_passes, 0u);
    EXPECT_EQ(device_states[CYCLE]->straight_instructions, 0u);
  }
};

TEST_F(engine_diff, RandomProgramsOnEveryTypeLeaveTheSameStateAtEveryEnd) {
  constexpr int PROGRAMS_PER_TYPE = 12;
  std::mt19937 rng(73500);
  for (const char* type : type_names) {
    for (int p = 0; p < PROGRAMS_PER_TYPE; ++p) {
      SCOPED_TRACE(std::string(type) + " program " + std::to_string(p));
      const std::vector<uint32_t> program = random_program(rng, 256);
      std::vector<uint32_t> data(256);
      for (uint32_t& word : data) word = rng() & 0xFFFF;
      ends_seen[0].clear();
      ends_seen[1].clear();
      for (int d : {FAST, CYCLE}) {
        make(d, type);
        for (uint32_t a = 0; a < program.size(); ++a) put(d, SPACE_P, a, program[a]);
        for (uint32_t a = 0; a < data.size(); ++a) put(d, SPACE_X, a, data[a]);
        set(d, "pc", 0);
        arm(d);
      }
      run_both(3000);
      EXPECT_GT(device_states[FAST]->fast_instructions, 0u);
      free_all_devices();
      if (HasFailure()) return;
    }
  }
}

// Random words of the classes that run straight through (jumps and loops
// among them), in a DO loop whose last instruction is one of them, some
// under a repeat, with the
// address registers near the ends of internal memory and on peripheral
// registers (which must fall back), modulo and reverse-carry modifiers,
// saturation, scaling and accumulators with their extension in use.
struct straight_classes {
  std::mt19937 rng{14};
  template <class Table>
  auto pick(const Table& table) {
    return table[rng() % std::size(table)];
  }
  // Program `p` of a type on both devices, armed.
  void place(const char* type, int p) {
    constexpr uint32_t addresses[] = {0x0000, 0x0001, 0x00FF, 0x07FE, 0x07FF, 0x0800,
                                      0x0FFF, 0xFF7F, 0xFFC4, 0xFFDF, 0xFFFF, 0x0123};
    constexpr uint32_t modifiers[] = {0x0000, 0xFFFF, 0xFFFF, 0x0007, 0x003F, 0x0800};
    struct rare_class {
      uint32_t mask, value;
    };
    constexpr rare_class rare_classes[] = {
        {0xFC02, 0x1000}, {0xFFF0, 0x0110}, {0xFFFF, 0x0009}, {0xFFFE, 0x0006}, {0xFFF0, 0x0150},
        {0xFFE0, 0x0420}, {0xFFE0, 0x0400}, {0xFC00, 0x2C00}, {0xFF00, 0x0B00}, {0xFF00, 0x0A00},
        {0xFFF0, 0x0120}, {0xFE10, 0x0600}, {0xFF10, 0x0710}, {0xFF10, 0x0610}, {0xFC00, 0x2000},
        {0xFE00, 0x1800}, {0xF814, 0x3810}, {0xFC00, 0x2400}, {0xFFE0, 0x00E0}, {0xFFE0, 0x00C0},
        // Register moves, among them the stack's and the loop's registers.
        {0xFC00, 0x2800},
        // nop, debug, debug<cc>, chkaau, do forever; andi and ori (on omr
        // too, which falls back); bit-field operations on X words and
        // registers; moves by an accumulator's address; lms; the 15xx group.
        {0xFFFF, 0x0000}, {0xFFFF, 0x0001}, {0xFFF0, 0x0050}, {0xFFFF, 0x0004}, {0xFFFF, 0x0002},
        {0xFC00, 0x1C00}, {0xFA00, 0x1A00}, {0xFF40, 0x1440}, {0xFF70, 0x1430}, {0xFF60, 0x1400},
        {0xF816, 0x3816}, {0xFE00, 0x1600}, {0xFF00, 0x1500}, {0xFFF4, 0x1520}, {0xFFF6, 0x1500}};
    // Short branches go a few words either way, short calls into the body.
    auto in_program = [](uint32_t word, uint32_t r) {
      struct near_row {
        uint32_t mask, value, field;
      };
      constexpr near_row rows[] = {{0xFF00, 0x0B00, 0xFF}, {0xFC00, 0x2C00, 0x3F}, {0xFF00, 0x0A00, 0xFF}};
      for (const near_row& row : rows) {
        if ((word & row.mask) != row.value) continue;
        const uint32_t near = row.value == 0x0A00 ? 2 + r % 38 : (r % 16 - 8) & row.field;
        return (word & ~row.field) | near;
      }
      return word;
    };
    // do #4,last; the body; jmp >0.
    // Second words stay small: jumps land in the program, loops end in it.
    std::vector<uint32_t> body;
    bool two_words = false;  // a fifth of them two-word ones
    while (body.size() < 40) {
      // Half of them from the rarer classes: flow, loops, tcc, short moves.
      const uint32_t r = rng() & 0xFFFF;
      const rare_class rare = pick(rare_classes);
      const uint32_t word = in_program(rng() % 2 ? (rare.value | (r & ~rare.mask)) & 0xFFFF : r, rng());
      const decoded_word& d = decoded_word_of(static_cast<uint16_t>(word));
      if (d.fast == nullptr || (d.words == 2) != two_words) continue;
      two_words = rng() % 5 == 0;
      if (rng() % 6 == 0) body.push_back(0x0F00 | (rng() % 4));  // rep #0..3
      body.push_back(word);
      // A bit-field operation's second word is its operation and mask.
      if (d.words == 2) body.push_back((word & 0xFF00) == 0x1400 ? rng() & 0xDFFF : rng() % 40);
    }
    std::vector<uint32_t> data(0x800);
    for (uint32_t& word : data) word = rng() & 0xFFFF;
    const uint32_t last = 1 + static_cast<uint32_t>(body.size());
    std::vector<std::pair<const char*, uint32_t>> regs = {
        {"sr", 0x300u | (pick(std::array{0u, 0x400u, 0x800u}))},
        {"a2", rng() & 0xFF}, {"a1", rng() & 0xFFFF}, {"b2", rng() & 0xFF}, {"b1", rng() & 0xFFFF}};
    for (const char* r : {"r0", "r1", "r2", "r3"}) regs.push_back({r, pick(addresses)});
    for (const char* m : {"m0", "m1", "m2", "m3"}) regs.push_back({m, pick(modifiers)});
    for (const char* n : {"n0", "n1", "n2", "n3"}) regs.push_back({n, rng() % 5});
    // The stack empty, nearly full or in error.
    regs.push_back({"sp", pick(std::array{0u, 0u, 1u, 13u, 14u, 0x1Eu, 0x30u})});
    ends_seen[0].clear();
    ends_seen[1].clear();
    for (int d : {FAST, CYCLE}) {
      engine_pair::make(d, type, d == CYCLE);
      char loop[32];
      std::snprintf(loop, sizeof loop, "do #4,$%x", last);
      assemble(d, 0, loop);
      for (uint32_t a = 0; a < body.size(); ++a) put(d, SPACE_P, 2 + a, body[a]);
      assemble(d, last + 1, "jmp >$0");
      for (uint32_t a = 0; a < data.size(); ++a) put(d, SPACE_X, a, data[a]);
      set(d, "pc", 0);
      for (const auto& [name, value] : regs) set(d, name, value);
      set_saturation(d, p % 2 != 0);
      arm(d);
    }
  }
};

TEST_F(engine_diff, StraightClassesAtTheirEdgesLeaveTheSameState) {
  constexpr int PROGRAMS_PER_TYPE = 8;
  straight_classes programs;
  for (const char* type : type_names) {
    uint32_t straight = 0, ends = 0;
    for (int p = 0; p < PROGRAMS_PER_TYPE; ++p) {
      SCOPED_TRACE(std::string(type) + " program " + std::to_string(p));
      programs.place(type, p);
      run_both(3000);
      straight += device_states[FAST]->straight_instructions;
      ends += device_states[FAST]->fast_instructions;
      free_all_devices();
      if (HasFailure()) return;
    }
    // Many ran straight through; those at external or peripheral
    // addresses did not.
    EXPECT_GT(straight, 400u) << type;
    EXPECT_LT(straight, ends) << type;
  }
}

// Programs made of the classes the whole-instruction executor covers run
// almost entirely on it (the first instruction after the pc write follows
// a fetch-only cycle), and match the cycle engine at every end.
TEST_F(engine_diff, CoveredProgramsRunOnTheExecutor) {
  struct program_case {
    const char* name;
    std::vector<fir_line> lines;
    bool repeats;  // its repeat passes decode from the records
    uint32_t straight_percent;  // the least share of ends run straight through
  };
  const program_case programs[] = {
      {"fir", std::vector<fir_line>(std::begin(fir_program), std::end(fir_program)), true, 99},
      {"moves, mpy and a subroutine",
       {{0x100, "move #$1234,x0"},
        {0x102, "move #>$40,r0"},
        {0x104, "mpy x0,x0,a x:(r0)+,y0"},
        {0x105, "mpyr y0,x0,b a,x:(r0)+"},
        {0x106, "add a,b"},
        {0x107, "jsr >$120"},
        {0x109, "move b,x:$30"},
        {0x10b, "jmp >$100"},
        {0x120, "asl a"},
        {0x121, "rts"}},
       false, 60},
      {"short calls, branches, moves and tcc",
       {{0x100, "move #$30,r1"},
        {0x102, "move #$12,x0"},
        {0x103, "move x0,x:<$10"},
        {0x104, "move x:<$11,y0"},
        {0x105, "jsr $80"},
        {0x106, "tgt x0,a r0,r2"},
        {0x107, "move y0,x:-(r1)"},
        {0x108, "bra $100"},
        {0x80, "move x:(r1+n1),x1"},
        {0x81, "add x0,a"},
        {0x82, "bne $84"},
        {0x83, "nop"},
        {0x84, "rts"}},
       false, 99},
      {"nops, bit-field operations, andi, ori and the 15xx group",
       {{0x100, "move #>$20,r1"},
        {0x102, "move #>$4321,x0"},
        {0x104, "move #>$28,y0"},
        {0x106, "nop"},
        {0x107, "bfset #$10,x:(r1)"},
        {0x109, "bfchg #$300,x:<$12"},
        {0x10b, "bfclr #$110,y1"},
        {0x10d, "bftsth #$1,x0"},
        {0x10f, "chkaau"},
        {0x110, "tfr2 a,x"},
        {0x111, "norm r2,a"},
        {0x112, "div x0,a"},
        {0x113, "ori #$1,ccr"},
        {0x114, "andi #$fe,ccr"},
        {0x115, "move x0,x:(b1)"},
        {0x116, "mpy x0,x0,a b,x:(r1)+n1 y0,b"},
        {0x117, "asr16 b"},
        {0x118, "debugcc"},
        {0x119, "nop"},
        {0x11a, "jmp >$106"}},
       false, 99},
      {"the stack and the loop registers moved",
       {{0x100, "move #>$40,r0"},
        {0x102, "jsr >$120"},
        {0x104, "move #>$3,lc"},
        {0x106, "move lc,x0"},
        {0x107, "move x0,x:(r0)+"},
        {0x108, "move x:(r0)+,la"},
        {0x109, "move #>$ffff,la"},
        {0x10b, "move sr,y1"},
        {0x10c, "move y1,sr"},
        {0x10d, "jmp >$100"},
        {0x120, "move ssl,x1"},
        {0x121, "move ssh,y0"},
        {0x122, "move y0,ssh"},
        {0x123, "move x1,ssl"},
        {0x124, "move x:(r0)+,lc"},
        {0x125, "rts"}},
       false, 99},
  };
  for (const char* type : type_names) {
    for (const program_case& program : programs) {
      SCOPED_TRACE(std::string(type) + " " + program.name);
      ends_seen[0].clear();
      ends_seen[1].clear();
      for (int d : {FAST, CYCLE}) {
        make(d, type);
        place_fir(d);
        for (const fir_line& line : program.lines) assemble(d, line.address, line.text);
        set(d, "pc", 0x100);
        arm(d);
      }
      run_both(4000);
      const device_state& st = *device_states[FAST];
      EXPECT_GT(st.fast_instructions, 500u);
      EXPECT_GE(st.exec_instructions * 100, st.fast_instructions * program.straight_percent);
      EXPECT_EQ(st.record_repeat_passes > 0, program.repeats);
      // Most ends run straight through from their records.
      EXPECT_GE(st.straight_instructions * 100, st.fast_instructions * program.straight_percent);
      free_all_devices();
    }
  }
}

// Moves of the stack's registers where the stack or a loop makes them
// fall back: a pop of the loop's start at the loop's last word (the loop
// then goes back to the outer la, $ffff, outside internal memory), a push
// onto a full stack (the stack-error trap), a pop of an empty one.
TEST_F(engine_diff, StackMovesAtTheStacksEdgesAndALoopsEndRunAsTheCycleEngine) {
  struct edge_case {
    const char* name;
    std::vector<fir_line> lines;
    uint32_t sp;
  };
  const edge_case cases[] = {
      {"a pop at a loop's last word",
       {{0x100, "do #3,$104"}, {0x102, "nop"}, {0x103, "move ssh,x0"}, {0x104, "jmp >$100"}},
       0},
      {"a push onto a full stack", {{0x100, "move x0,ssh"}, {0x101, "move x0,ssl"}, {0x102, "jmp >$100"}}, 14},
      {"pops down to an empty stack", {{0x100, "move ssh,x0"}, {0x101, "move ssl,y0"}, {0x102, "jmp >$100"}}, 3},
  };
  for (const edge_case& c : cases) {
    SCOPED_TRACE(c.name);
    ends_seen[0].clear();
    ends_seen[1].clear();
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      assemble(d, c.lines);
      set(d, "sp", c.sp);
      set(d, "pc", 0x100);
      arm(d);
    }
    run_both(400);
    EXPECT_GT(ends_seen[FAST].size(), 20u);
    free_all_devices();
  }
}

// Repeats of the two-read class (the filter's mac under rep) with every
// register field, both address units stepping by one or by their offset
// (r3 as the first unit too), linear and modulo modifiers, addresses at
// page and memory edges and the other accumulator loaded, one repeat
// inside a DO loop and one as its last word; at every end with the
// observer, and at the end of a run without it.
TEST_F(engine_diff, RepeatedTwoReadsLeaveTheSameStateAsTheCycleEngine) {
  constexpr uint32_t addresses[] = {0x0000, 0x00FE, 0x00FF, 0x01FF, 0x07FD, 0x07FF, 0x0800, 0xFFC0, 0x0123};
  constexpr uint32_t modifiers[] = {0xFFFF, 0xFFFF, 0xFFFF, 0x0003, 0x0000};
  std::mt19937 rng(39);
  auto pick = [&rng](const auto& table) { return table[rng() % std::size(table)]; };
  for (const char* type : {"73521", "73583"}) {
    uint32_t passes = 0, straight = 0, ends = 0;
    for (int p = 0; p < 24; ++p) {
      SCOPED_TRACE(std::string(type) + " program " + std::to_string(p));
      uint32_t words[2] = {};
      for (uint32_t& word : words) {
        do word = 0x6000 | (rng() & 0x1FFF);
        while (decoded_word_of(static_cast<uint16_t>(word)).fast == nullptr ||
               decoded_word_of(static_cast<uint16_t>(word)).words != 1);
      }
      // The first unit's register by turns, so that r3 takes both units.
      words[0] = (words[0] & ~0x60u) | (static_cast<uint32_t>(p % 4) << 5);
      std::vector<uint32_t> data(0x800);
      for (uint32_t& word : data) word = rng() & 0xFFFF;
      const bool observed = p % 3 != 2;
      instruction_end_observer = observed ? record_end : nullptr;
      ends_seen[0].clear();
      ends_seen[1].clear();
      std::vector<std::pair<const char*, uint32_t>> regs;
      for (const char* r : {"r0", "r1", "r2", "r3"}) regs.push_back({r, pick(addresses)});
      for (const char* m : {"m0", "m1", "m2", "m3"}) regs.push_back({m, pick(modifiers)});
      for (const char* n : {"n0", "n1", "n2", "n3"}) regs.push_back({n, rng() % 5});
      for (const char* a : {"a1", "b1", "a0", "b0"}) regs.push_back({a, rng() & 0xFFFF});
      const uint32_t count = 2 + rng() % 4;
      for (int d : {FAST, CYCLE}) {
        make(d, type);
        assemble(d, 0, "do #3,$5");
        put(d, SPACE_P, 2, 0x0F00 | count);  // rep #2..5
        put(d, SPACE_P, 3, words[0]);
        put(d, SPACE_P, 4, 0x0F03);  // rep #3, its word the loop's last
        put(d, SPACE_P, 5, words[1]);
        assemble(d, 6, "jmp >$0");
        for (uint32_t a = 0; a < data.size(); ++a) put(d, SPACE_X, a, data[a]);
        set(d, "pc", 0);
        for (const auto& [name, value] : regs) set(d, name, value);
        arm(d);
      }
      run_then_compare(1500, observed);
      passes += device_states[FAST]->record_repeat_passes;
      straight += device_states[FAST]->straight_instructions;
      ends += device_states[FAST]->fast_instructions;
      free_all_devices();
      if (HasFailure()) return;
    }
    instruction_end_observer = record_end;
    // Most passes and ends run straight (the peripheral and external
    // addresses do not).
    EXPECT_GT(passes, 2000u) << type;
    EXPECT_GT(straight * 2, ends) << type;
  }
}

// The one-piece forms without X accesses (register moves, lea, rep #n, a
// long immediate into a register and a data-ALU operation with its
// register transfer or none), repeated and
// not, inside a loop: every register field (the stack's ssh, which pops,
// and the loop registers among them), lea's every mode onto r and n under
// linear, modulo and reverse-carry modifiers, operations whose results
// saturate, limit, round and scale in every mode with both signs; every
// end with the observer and, for a third of them, only a run's end.
TEST_F(engine_diff, OnePieceMovesLeaRepeatsAndTransfersLeaveTheSameState) {
  constexpr uint32_t tops[] = {0x00, 0xFF, 0x01, 0x7F, 0x80, 0xFE};
  constexpr uint32_t middles[] = {0x0000, 0x0001, 0x4000, 0x7FFF, 0x8000, 0xC000, 0xFFFF, 0x1234};
  constexpr uint32_t modifiers[] = {0xFFFF, 0xFFFF, 0x0000, 0x0007, 0x003F, 0x8000};
  struct word_class {
    uint32_t fixed, field;
  };
  // move_reg, lea, a data-ALU operation with a transfer (or none), a long
  // immediate into a register.
  constexpr word_class classes[] = {{0x2800, 0x3FF}, {0x0180, 0x7F}, {0x4000, 0xFFF}, {0x3C1C, 0x3E1}};
  std::mt19937 rng(127);
  auto pick = [&rng](const auto& table) { return table[rng() % std::size(table)]; };
  for (const char* type : {"73521", "73583"}) {
    uint32_t straight = 0, ends = 0;
    for (int p = 0; p < 30; ++p) {
      SCOPED_TRACE(std::string(type) + " program " + std::to_string(p));
      std::vector<uint32_t> body;
      while (body.size() < 24) {
        const word_class c = pick(classes);
        const uint32_t word = c.fixed | (rng() & c.field);
        const decoded_word& d = decoded_word_of(static_cast<uint16_t>(word));
        if (d.fast == nullptr) continue;
        if (rng() % 4 == 0) body.push_back(0x0F00 | (rng() % 4));  // rep #0..3
        body.push_back(word);
        if (d.words == 2) body.push_back(pick(middles));
      }
      const uint32_t last = 1 + static_cast<uint32_t>(body.size());
      auto top_for = [&](uint32_t middle) { return rng() % 2 ? ((middle & 0x8000) ? 0xFFu : 0u) : pick(tops); };
      const uint32_t a1 = pick(middles), b1 = pick(middles);
      std::vector<std::pair<const char*, uint32_t>> regs = {
          {"sr", 0x300u | static_cast<uint32_t>(p % 3) * 0x400u},
          {"a2", top_for(a1)}, {"a1", a1}, {"a0", rng() & 0xFFFF},
          {"b2", top_for(b1)}, {"b1", b1}, {"b0", rng() & 0xFFFF}};
      for (const char* r : {"x0", "x1", "y0", "y1"}) regs.push_back({r, pick(middles)});
      for (const char* r : {"r0", "r1", "r2", "r3"}) regs.push_back({r, rng() & 0xFFFF});
      for (const char* m : {"m0", "m1", "m2", "m3"}) regs.push_back({m, pick(modifiers)});
      for (const char* n : {"n0", "n1", "n2", "n3"}) regs.push_back({n, rng() % 2 ? rng() % 9 : rng() & 0xFFFF});
      const bool observed = p % 3 != 2;
      instruction_end_observer = observed ? record_end : nullptr;
      ends_seen[0].clear();
      ends_seen[1].clear();
      for (int d : {FAST, CYCLE}) {
        make(d, type);
        char loop[32];
        std::snprintf(loop, sizeof loop, "do #5,$%x", last);
        assemble(d, 0, loop);
        for (uint32_t a = 0; a < body.size(); ++a) put(d, SPACE_P, 2 + a, body[a]);
        assemble(d, last + 1, "jmp >$0");
        set(d, "pc", 0);
        for (const auto& [name, value] : regs) set(d, name, value);
        set_saturation(d, p % 2 != 0);
        arm(d);
      }
      run_then_compare(2500, observed);
      straight += device_states[FAST]->straight_instructions;
      ends += device_states[FAST]->fast_instructions;
      free_all_devices();
      if (HasFailure()) return;
    }
    instruction_end_observer = record_end;
    // Most of them straight (a move into omr may take the program out of
    // internal memory, a pop of ssh or a stack error runs on the cycle
    // path).
    EXPECT_GT(straight * 3, ends * 2) << type;
  }
}

// Accumulators as move sources in the straight forms (address moves, X
// moves beside a mac): values that fit 16 bits and ones the move limits,
// both signs, bits 14 and 13 apart (the scaling check), every scaling
// mode, saturation on and off; the accumulators grow through the loop so
// that limited and unlimited moves alternate.
TEST_F(engine_diff, AccumulatorMoveSourcesLimitAndScaleAsTheCycleEngine) {
  constexpr uint32_t tops[] = {0x00, 0xFF, 0x01, 0xFE, 0x7F, 0x80};
  constexpr uint32_t middles[] = {0x0000, 0x1234, 0x2000, 0x4000, 0x6000, 0x7FFF, 0x8000, 0x9FFF, 0xC000, 0xFFFF};
  std::mt19937 rng(3917);
  auto pick = [&rng](const auto& table) { return table[rng() % std::size(table)]; };
  for (const char* type : {"73521", "73583"}) {
    uint32_t straight = 0;
    for (int p = 0; p < 18; ++p) {
      SCOPED_TRACE(std::string(type) + " program " + std::to_string(p));
      std::vector<uint32_t> data(0x100);
      for (uint32_t& word : data) word = rng() & 0xFFFF;
      // Mostly fitting values (sign extensions), the rest limited.
      auto top_for = [&](uint32_t middle) { return rng() % 3 ? ((middle & 0x8000) ? 0xFFu : 0u) : pick(tops); };
      const uint32_t a1 = pick(middles), b1 = pick(middles);
      const std::vector<std::pair<const char*, uint32_t>> regs = {
          {"sr", 0x300u | static_cast<uint32_t>(p % 3) * 0x400u},
          {"a2", top_for(a1)}, {"a1", a1}, {"a0", rng() & 0xFFFF},
          {"b2", top_for(b1)}, {"b1", b1}, {"b0", rng() & 0xFFFF},
          {"x0", rng() & 0xFFFF}, {"x1", rng() & 0xFFFF},
          {"r0", 0x100}, {"r1", 0x300}, {"r2", 0x000}};
      ends_seen[0].clear();
      ends_seen[1].clear();
      for (int d : {FAST, CYCLE}) {
        make(d, type);
        assemble(d, {{0x0, "move x:(r2)+,y0"},
                     {0x1, "mac y0,x0,b a,x:(r0)+"},
                     {0x2, "macr y0,x1,a b,x:(r1)+"},
                     {0x3, "move a,x:(r0)+"},
                     {0x4, "move b,x:(r1)-"},
                     {0x5, "add a,b"},
                     {0x6, "jmp >$0"}});
        for (uint32_t a = 0; a < data.size(); ++a) put(d, SPACE_X, a, data[a]);
        set(d, "pc", 0);
        for (const auto& [name, value] : regs) set(d, name, value);
        set_saturation(d, p % 2 != 0);
        arm(d);
      }
      run_both(1200);
      straight += device_states[FAST]->straight_instructions;
      free_all_devices();
      if (HasFailure()) return;
    }
    EXPECT_GT(straight, 18u * 300u) << type;
  }
}

TEST_F(engine_diff, BreakpointsOfEveryKindStopAtTheSameCycleAndPc) {
  // Each kind, and whether it stops this program's run (counting and
  // noting go on; nothing reads y0 as a move source, no read changes x:$3).
  struct kind_case {
    const char* line;
    int stops;
  };
  constexpr kind_case kinds[] = {
      {"break p:$10d", 1},        {"break r x:$42", 1},   {"break w x:$83", 1},
      {"break rw x:$85..$87", 1}, {"break dr x:$3", 0},   {"break drw x:$80", 1},
      {"break dw x:$81", 1},      {"break r y0", 0},      {"break w a0", 1},
      {"break rw r3", 1},         {"break a1==$0", 1},    {"break cyc>=777", 1},
      {"break pc==$10e", 1},      {"break x0>=$4000", 1}, {"break r x:$41 i1", 0},
      {"break w x:$82 n", 0},
  };

  for (const auto& [line, stops] : kinds) {
    SCOPED_TRACE(line);
    ends_seen[0].clear();
    ends_seen[1].clear();
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      place_fir(d);
      set(d, "pc", 0x100);
      execute_command_line(d, line);
      ASSERT_NE(device_states[d]->breakpoints, nullptr);
      arm(d);
    }
    const int fast = run_device_cycles(FAST, 5000);
    const int slow = run_device_cycles(CYCLE, 5000);
    EXPECT_EQ(fast, slow);
    EXPECT_EQ(device_states[CYCLE]->running, 1 - stops);
    EXPECT_EQ(device_states[FAST]->running, device_states[CYCLE]->running);
    EXPECT_EQ(device_insts[FAST]->cycles, device_insts[CYCLE]->cycles);
    EXPECT_EQ(device_insts[FAST]->pc, device_insts[CYCLE]->pc);
    EXPECT_EQ(device_states[FAST]->cnt[0], device_states[CYCLE]->cnt[0]);
    const std::vector<uint64_t>& a = ends_seen[FAST];
    EXPECT_TRUE(a == ends_seen[CYCLE]);
    expect_same_state_then_free();
  }
}

// Runs of straight instructions test the quiet ends' run-long terms once.
// With no observer at the ends, each case must stop (or not) where the
// cycle engine does: an illegal word the run reaches, a breakpoint, and a
// breakpoint that the observer sets in the middle of a run (it may change
// anything, so the run looks again).
uint32_t illegal_word() {
  for (uint32_t word = 0;; ++word)
    if (instr_flags_lookup(static_cast<uint16_t>(word), false) & IFLAG_ILLEGAL) return word;
}

int observer_ends = 0;
void break_at_fiftieth_end(int device) {
  if (++observer_ends == 50) execute_command_line(device, "break p:$10e");
}

TEST_F(engine_diff, QuietEndsOfRunsStopWhereTheCycleEngineStops) {
  enum setup { PLAIN, ILLEGAL_WORD, BREAKPOINT, BREAK_SET_BY_OBSERVER };
  struct quiet_case {
    setup how;
    int stops;
  };
  constexpr quiet_case cases[] = {{PLAIN, 0}, {ILLEGAL_WORD, 1}, {BREAKPOINT, 1}, {BREAK_SET_BY_OBSERVER, 1}};
  for (const auto& [how, stops] : cases) {
    SCOPED_TRACE(how);
    instruction_end_observer = how == BREAK_SET_BY_OBSERVER ? break_at_fiftieth_end : nullptr;
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      place_fir(d);
      // The eighth pass of the loop meets an illegal word.
      if (how == ILLEGAL_WORD) put(d, SPACE_P, 0x10f, illegal_word());
      set(d, "pc", 0x100);
      if (how == BREAKPOINT) execute_command_line(d, "break p:$10e");
      arm(d);
    }
    int ran[2] = {};
    for (int d : {FAST, CYCLE}) {
      observer_ends = 0;
      ran[d] = run_device_cycles(d, 5000);
    }
    EXPECT_EQ(ran[FAST], ran[CYCLE]);
    EXPECT_EQ(device_states[CYCLE]->running, 1 - stops);
    EXPECT_EQ(device_states[FAST]->running, device_states[CYCLE]->running);
    EXPECT_EQ(device_insts[FAST]->pc, device_insts[CYCLE]->pc);
    EXPECT_GT(device_states[FAST]->straight_instructions, 0u);
    expect_same_state_then_free();
  }
}

// Conditions on the count alone: the fast device runs on the executor up
// to the count where a test may hit, then hits where the cycle engine
// hits (same cycle, pc, report lines and state), over three runs that go
// on after each stop. Every FIR instruction takes two cycles or more, so
// of 1500..1503 some are instruction ends and some lie inside one.
TEST_F(engine_diff, CountConditionsHitWhereTheCycleEngineHits) {
  struct count_case {
    std::vector<std::string> lines;
    const char* between;    // before the second run
    uint32_t fast_until;    // the fast device reaches the ends before it on the executor
    int run_count = 1;
    bool bounded = true;
    int every_end = -1;  // the plan's BREAKS_AT_EVERY_END, when checked
  };
  std::vector<count_case> cases;
  for (const char* op : {"==", "!=", "<", "<=", ">", ">="})
    for (uint32_t k : {0u, 1500u, 1501u, 1502u, 1503u, 9000u}) {
      const bool false_before = op[0] == '=' || op[0] == '>';
      cases.push_back({{"break cyc" + std::string(op) + std::to_string(k)}, nullptr,
                       false_before ? k : 0});
    }
  const std::vector<count_case> more = {
      {{"break cyc>=1501&&x0!=0"}, nullptr, 1501},
      {{"break !(cyc<1502)&&a1>=0 i1"}, nullptr, 1502},
      {{"break cyc==1200||cyc>3000&&y0==y0 n"}, nullptr, 1200},
      {{"break cyc>2000||r0==$ffff"}, nullptr, 0},
      {{"break cyc%100==0"}, nullptr, 0, 1, false},
      {{"break pc==$10e||cyc==3"}, nullptr, 0, 1, false},
      {{"break cyc==1200 i1", "break cyc>=2500"}, nullptr, 1200},
      {{"break cyc>=2000"}, nullptr, 2000, 3},
      {{"break cyc==5000", "break #1 d", "break cyc==1600"}, "break #1 e", 1600},
      {{"break x0==$1234", "break cyc==1600"}, nullptr, 0, 1},
      // Mixed lists: program addresses keep their bitmap beside count
      // conditions and conditions tested at every end; an x action that
      // adds a breakpoint in the middle of a walk.
      {{"break p:$200", "break p:$10d i1", "break cyc>=2500"}, nullptr, 2500, 1, true, 0},
      {{"break p:$10d i1", "break cyc>=2500", "break x0==$1234 i2", "break p:$10e i3", "break p:$201"},
       nullptr, 2500, 1, true, 1},
      {{"break p:$10d i1", "break cyc==1700 i2", "break p:$10e", "break a1>=$0 i3"}, "break #3 d", 1700, 1,
       true, 1},
      {{"break p:$200", "break a1>=$0 x break p:$10e i2", "break a1>=$0 i3", "break cyc>=3000",
        "break p:$10d i1"},
       nullptr, 0, 1, true, 1},
  };
  cases.insert(cases.end(), more.begin(), more.end());

  for (const count_case& c : cases) {
    SCOPED_TRACE(c.lines.back());
    ends_seen[0].clear();
    ends_seen[1].clear();
    count_watched = c.fast_until;
    ends_before_count[0] = ends_before_count[1] = 0;
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      place_fir(d);
      set(d, "pc", 0x100);
      for (const std::string& line : c.lines) execute_command_line(d, line.c_str());
    }
    for (int run = 0; run < 3; ++run) {
      std::string report[2];
      int ran[2] = {0, 0};
      for (int d : {FAST, CYCLE}) {
        if (run == 1 && c.between != nullptr) execute_command_line(d, c.between);
        arm(d);
        device_states[d]->run_count = c.run_count;
        recorded().clear();
        ran[d] = run_device_cycles(d, 4000);
        report[d] = output();
        for (std::size_t at = report[d].find("dev:"); at != std::string::npos; at = report[d].find("dev:", at + 1))
          report[d].replace(at, 5, "dev:*");
      }
      EXPECT_EQ(ran[FAST], ran[CYCLE]) << "run " << run;
      EXPECT_EQ(report[FAST], report[CYCLE]) << "run " << run;
      EXPECT_EQ(device_states[FAST]->running, device_states[CYCLE]->running);
      EXPECT_EQ(device_insts[FAST]->cycles, device_insts[CYCLE]->cycles);
      EXPECT_EQ(device_insts[FAST]->pc, device_insts[CYCLE]->pc);
      for (int k = 0; k < 4; ++k) EXPECT_EQ(device_states[FAST]->cnt[k], device_states[CYCLE]->cnt[k]) << k;
      if (run == 0) {
        EXPECT_EQ(device_states[FAST]->breaks_cycle_bounded, c.bounded ? 1 : 0);
        if (c.every_end >= 0) {
          EXPECT_EQ(device_states[FAST]->breaks_every_end, c.every_end);
        }
        EXPECT_GE(device_states[FAST]->fast_instructions + 1, ends_before_count[FAST]);
      }
      compare_runs();
    }
    free_all_devices();
  }
}

// Counted steps, by instructions and by cycles, run in slices that end
// inside instructions and at ends: with no breakpoint, noted and halting
// (h) address breakpoints, addresses beside a count condition, and a
// condition tested at every end; three steps in a row. The slices, the
// count left after each, the stop, the report lines and the state at
// every end (or, without an observer, after every slice) as on the cycle
// engine; long steps without breakpoints run straight.
TEST_F(engine_diff, CountedStepsStopWhereTheCycleEngineStops) {
  struct break_setup {
    std::vector<const char*> lines;
    const char* option;
  };
  const break_setup setups[] = {
      {{}, ""},
      {{"break p:$10e n"}, ""},
      {{"break p:$10d", "break p:$200"}, " h"},
      {{"break p:$200", "break p:$10e i1", "break cyc>=1500 n"}, ""},
      {{"break cyc==1601"}, " h"},
      {{"break x0==$1234 i2"}, ""},
  };
  constexpr int slices[] = {7, 1000, 3, 250, 1};
  for (void (*observer)(int) : {record_end, static_cast<void (*)(int)>(nullptr)})
    for (const break_setup& setup : setups)
      for (const char* unit : {"", " cy"})
        for (const uint32_t count : {1u, 2u, 3u, 5u, 13u, 1001u, 3333u}) {
          const std::string command = "step " + std::to_string(count) + unit + setup.option;
          SCOPED_TRACE(command + (setup.lines.empty() ? "" : std::string(" after ") + setup.lines.back()) +
                       (observer != nullptr ? ", observed" : ""));
          instruction_end_observer = observer;
          ends_seen[0].clear();
          ends_seen[1].clear();
          for (int d : {FAST, CYCLE}) {
            make(d, "73521");
            place_fir(d);
            set(d, "pc", 0x100);
            for (const char* line : setup.lines) execute_command_line(d, line);
          }
          for (int step = 0; step < 3; ++step) {
            std::vector<uint32_t> trail[2];
            std::string report[2];
            for (int d : {FAST, CYCLE}) {
              recorded().clear();
              execute_command_line(d, command.c_str());
              ASSERT_EQ(device_states[d]->running, 1);
              for (int k = 0; device_states[d]->running != 0 && k < 200; ++k) {
                trail[d].push_back(static_cast<uint32_t>(run_device_cycles(d, slices[k % std::size(slices)])));
                trail[d].push_back(device_states[d]->run_count);
                if (observer == nullptr) {
                  make_device_current(d);
                  catch_up_peripherals();
                  trail[d].push_back(static_cast<uint32_t>(device_state_digest(d)));
                }
              }
              report[d] = output();
              for (std::size_t at = report[d].find("dev:"); at != std::string::npos;
                   at = report[d].find("dev:", at + 1))
                report[d].replace(at, 5, "dev:*");
            }
            EXPECT_EQ(device_states[FAST]->running, 0) << "step " << step;
            EXPECT_EQ(trail[FAST], trail[CYCLE]) << "step " << step;
            EXPECT_EQ(report[FAST], report[CYCLE]) << "step " << step;
            for (int k = 0; k < 4; ++k) EXPECT_EQ(device_states[FAST]->cnt[k], device_states[CYCLE]->cnt[k]);
            compare_runs();
          }
          if (setup.lines.empty() && observer == nullptr && count == 3333u) {
            EXPECT_GT(device_states[FAST]->straight_instructions, 1500u);
          }
          free_all_devices();
        }
  instruction_end_observer = record_end;
}

// The program rewrites the instruction it runs next (movem to p:), and a
// change between slices rewrites another: both engines see the new words.
// A program rewriting the instruction it runs next from inside a repeat
// and a DO loop (the rewritten word alternates between two operations):
// both engines fetch the new word when the cycle engine does.
TEST_F(engine_diff, SelfModifyingCodeInsideRepeatsAndLoops) {
  make(FAST, "73521");
  ASSERT_EQ(assemble_line("movem x0,p:(r0)+", 0), 1);
  char restore[40];
  std::snprintf(restore, sizeof restore, "move #$%04x,x0", static_cast<unsigned>(asm_words[0]));
  const std::vector<std::vector<fir_line>> programs = {
      {{0x0, "move #$4a22,x0"},  // "inc a"
       {0x2, "move #>$7,r0"},
       {0x4, "do #6,$a"},
       {0x6, "movem x0,p:(r0)"},
       {0x7, "dec a"},
       {0x8, "move #$4a2a,x0"},  // "inc b" for the next pass
       {0xa, "nop"},
       {0xb, "jmp >$0"}},
      {{0x0, "move #$4a22,x0"},
       {0x2, "move #>$5,r0"},
       {0x4, "rep #3"},
       {0x5, "movem x0,p:(r0)+"},  // the first pass rewrites itself
       {0x6, "dec a"},
       {0x7, "dec b"},
       {0x8, restore},  // back to "movem x0,p:(r0)+"
       {0xa, "move #>$5,r0"},
       {0xc, "movem x0,p:(r0)"},
       {0xd, "jmp >$0"}},
  };
  for (std::size_t k = 0; k < programs.size(); ++k) {
    SCOPED_TRACE(k);
    ends_seen[0].clear();
    ends_seen[1].clear();
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      assemble(d, programs[k]);
      set(d, "pc", 0);
      arm(d);
    }
    run_both(997);
    EXPECT_GT(ends_seen[FAST].size(), 100u);
    EXPECT_GT(device_states[FAST]->straight_instructions, 0u);
    // The rewritten words: "inc b" in the loop, "inc a" after the repeat.
    uint32_t word = 0;
    read_device_memory(FAST, SPACE_P, k == 0 ? 0x7 : 0x6, &word);
    EXPECT_EQ(word, k == 0 ? 0x4a2au : 0x4a22u);
    free_all_devices();
  }
}

// The executor keeps each device's memory pages resolved for its mode:
// a program that switches x memory to the external bus and back, and
// program memory to the external bus (where other words wait at the same
// addresses) and back, leaves the same state at every end on both
// engines, straight through wherever the pages are internal again.
TEST_F(engine_diff, OperatingModeChangesRemapTheExecutorsPages) {
  for (const char* type : {"73521", "73547"}) {
    SCOPED_TRACE(type);
    ends_seen[0].clear();
    ends_seen[1].clear();
    for (int d : {FAST, CYCLE}) {
      make(d, type);
      assemble(d, {{0x100, "move #>$10,r0"},
                   {0x102, "move x:(r0)+,x0"},
                   {0x103, "ori #$8,omr"},  // x memory external
                   {0x104, "move x:(r0)+,x1"},
                   {0x105, "andi #$f7,omr"},
                   {0x106, "mac x0,x1,a x:(r0)+,y0"},
                   {0x107, "ori #$3,omr"},  // program memory external
                   {0x108, "inc a"},
                   {0x109, "inc a"},
                   {0x10a, "inc a"},
                   {0x10b, "inc a"},
                   {0x10c, "move x:(r0)+,y1"},
                   {0x10d, "jmp >$102"}});
      // The external words at the same addresses: back to mode 2 there.
      for (uint32_t a = 0x108; a < 0x10c; ++a) put(d, SPACE_PE, a, 0x4a2a);  // inc b
      make_device_current(d);
      ASSERT_EQ(assemble_line("andi #$fe,omr", 0x109), 1);
      put(d, SPACE_PE, 0x109, asm_words[0]);
      for (uint32_t a = 0; a < 0x40; ++a) {
        put(d, SPACE_X, a, (a * 0x0321 + 0x1111) & 0xFFFF);
        put(d, SPACE_XE, a, (a * 0x0123 + 0x0555) & 0xFFFF);
      }
      set(d, "omr", 2);
      set(d, "pc", 0x100);
      arm(d);
    }
    run_both(5000);
    EXPECT_GT(ends_seen[FAST].size(), 500u);
    EXPECT_GT(device_states[FAST]->straight_instructions, ends_seen[FAST].size() / 3);
    EXPECT_LT(device_states[FAST]->straight_instructions, ends_seen[FAST].size());
    free_all_devices();
  }
}

// Runs of straight instructions clock their cycles at once and, once the
// clocking has settled, leave it as it is: right only while the PLL is off
// (or absent). A PLL locking or running inside the run moves its phase,
// accumulator and lock count, and the clock-out pin follows the phase.
TEST_F(engine_diff, StraightRunsClockThePllAsTheCyclesDo) {
  struct pll_case {
    const char* name;
    uint32_t plcr, pcr0, lock;
  };
  const pll_case plls[] = {
      {"off", 0, 0, 0},
      {"locking inside the run", PLL_ENABLE | 0x31, 0x305, 301},
      {"running 4:2", PLL_ENABLE | PLL_LOCK | 0x31, 0x103, 0},
      {"running 3:10", PLL_ENABLE | PLL_LOCK | 0x29, 0x902, 0},
  };
  for (const char* type : {"73521", "73547", "73583"}) {
    for (const pll_case& p : plls) {
      SCOPED_TRACE(std::string(type) + ", PLL " + p.name);
      ends_seen[0].clear();
      ends_seen[1].clear();
      for (int d : {FAST, CYCLE}) {
        make(d, type);
        place_fir(d);
        set(d, "pc", 0x100);
        arm(d);
        uint32_t* w = core_words();
        // The clock-out pin follows the phase.
        w[CORE_PLCR] = p.plcr | 0x800;
        if (core_is_583()) w[CORE_PCR0] = p.pcr0;
        // (The 73521 has no PLL: nothing would count a lock down.)
        w[CS_PLL_LOCK_COUNT] = (cur_type->type_bit & TYPE_73521) ? 0 : p.lock;
      }
      run_both(3000);
      EXPECT_GT(device_states[FAST]->straight_instructions, ends_seen[FAST].size() * 3 / 4);
      free_all_devices();
    }
  }
}

TEST_F(engine_diff, ProgramMemoryWritesReachTheNextFetch) {
  for (int d : {FAST, CYCLE}) {
    make(d, "73521");
    assemble(d, {{0x0, "move #$4a22,x0"},  // "inc a"
                 {0x2, "move #>$8,r0"},
                 {0x4, "movem x0,p:(r0)"},
                 {0x5, "nop"},
                 {0x6, "nop"},
                 {0x7, "nop"},
                 {0x8, "dec a"},
                 {0x9, "jmp >$4"}});
    set(d, "pc", 0);
    arm(d);
  }
  run_both(101);  // ends inside an instruction
  for (int d : {FAST, CYCLE}) assemble(d, 0x6, "inc b");
  run_both(200);
  make_device_current(FAST);
  uint32_t word = 0;
  read_device_memory(FAST, SPACE_P, 0x8, &word);
  EXPECT_EQ(word, 0x4a22u);
}

// IRQA pulled low at cycles that fall inside two-cycle instructions, a
// repeat and a DO loop; the handler counts in r1.
// Also without the observer at the ends, whose runs of straight
// instructions test fewer words after each end.
TEST_F(engine_diff, InterruptsRaisedInsideInstructionsAndLoops) {
  for (const bool observed : {true, false})
  for (int pull_at : {3, 7, 10, 19, 40, 61}) {
    SCOPED_TRACE("IRQA low at cycle " + std::to_string(pull_at) + (observed ? "" : ", no observer"));
    instruction_end_observer = observed ? record_end : nullptr;
    ends_seen[0].clear();
    ends_seen[1].clear();
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      assemble(d, irq_program);
      set(d, "pc", 0);
      set(d, "ipr", 3);
      arm(d);
    }
    run_both(pull_at);
    for (int d : {FAST, CYCLE}) pull_irqa(d, true);
    run_both(30);
    for (int d : {FAST, CYCLE}) pull_irqa(d, false);
    run_both(200);
    uint32_t r1[3] = {0, 0, 0};
    int row = 0, reg = 0;
    ASSERT_NE(lookup_register(FAST, "r1", &row, &reg), 0);
    read_register(FAST, row, reg, r1);
    EXPECT_GT(r1[0], 0u);  // the handler ran
    EXPECT_GT(device_states[FAST]->fast_instructions, 0u);
    free_all_devices();
  }
}

// Devices run in slices: when one stops (an illegal word), the devices
// after it in slot order end in the same round as one cycle per device at
// a time leaves them, inside an instruction where it falls there.
TEST_F(engine_diff, OneDeviceStoppingEndsTheOthersInTheSameRound) {
  instruction_end_observer = nullptr;
  for (int illegal_at : {5, 6, 7, 9}) {
    SCOPED_TRACE("illegal word at " + std::to_string(illegal_at));
    std::vector<uint64_t> reference;
    int reference_rounds = 0;
    for (int cycle_engine : {1, 0}) {
      for (int d = 0; d < 3; ++d) {
        make(d, "73521");
        device_states[d]->cycle_engine_only = cycle_engine;
        place_fir(d);
        set(d, "pc", 0x100);
      }
      // Device 1 runs nops into an illegal word; the others the filter.
      for (int k = 0; k < illegal_at; ++k) assemble(1, 0x10 + static_cast<uint32_t>(k), "nop");
      put(1, SPACE_P, 0x10 + static_cast<uint32_t>(illegal_at), illegal_word());
      set(1, "pc", 0x10);
      for (int d = 0; d < 3; ++d) arm(d);
      int rounds = 0;
      while (device_states[1]->running != 0 && rounds < 10000)
        rounds += run_device_slice(RUN_SLICE_ROUNDS);
      EXPECT_EQ(device_states[1]->running, 0);
      std::vector<uint64_t> digests;
      for (int d = 1; d < 3; ++d) {
        make_device_current(d);
        catch_up_peripherals();
        digests.push_back(device_state_digest(d));
      }
      if (cycle_engine != 0) {
        reference = digests;
        reference_rounds = rounds;
      } else {
        EXPECT_EQ(rounds, reference_rounds);
        EXPECT_TRUE(digests == reference);
      }
      free_all_devices();
    }
  }
}

}  // namespace

namespace {

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// A program polling an ssi whose steps nothing sees (no priority): on the
// run loop the port's toggles are steps taken when it is caught up (at
// the program's accesses); with every row clocked in every cycle they are
// steps of their own. The port's words, port C's pins and what the
// program read agree after every slice.
TEST_F(engine_diff, PolledUnseenSerialPortMatchesClockingEveryCycle) {
  constexpr uint32_t CRA = 0xFFD0, CRB = 0xFFD1, PCC = 0xFFC1, IPR = 0xFFDF;
  const fir_line program[] = {
      {0x100, "move x:$fff0,a"}, {0x102, "move x:$fff1,b"}, {0x104, "move a,x:$fff1"},
      {0x106, "rep #23"},        {0x107, "nop"},            {0x108, "jmp >$100"},
  };
  for (const char* type : {"73521", "73547"}) {
    SCOPED_TRACE(type);
    for (int d : {FAST, CYCLE}) {
      make(d, type);
      assemble(d, program);
      make_device_current(d);
      for (auto [address, value] : {std::pair{CRA, 0x6001u}, {CRB, 0x3030u}, {PCC, 0x1Fu}, {IPR, 0u}})
        write_peripheral_bus(address, value, 1);
      set(d, "pc", 0x100);
    }
    arm(FAST);
    int port = 0;
    for (int p = 0; p < cur_type->periph_count; ++p)
      if (std::string(cur_type->periphs[p].name) == "ssi0") port = p;
    ASSERT_NE(port, 0);
    const auto state = [&](int d) {
      make_device_current(d);
      std::vector<uint32_t> s = serial_port_state(port);
      for (int reg : {CORE_A0, CORE_B0}) s.push_back(cur_inst->periph_state[0][reg]);
      s.push_back(cur_inst->pc);
      return s;
    };
    std::vector<uint32_t> first = state(CYCLE);
    for (int slice = 0; slice < 80; ++slice) {
      const int n = run_device_cycles(FAST, 37);
      ASSERT_EQ(clock_device_cycles(CYCLE, n), n);
      const std::vector<uint32_t> a = state(FAST), b = state(CYCLE);
      ASSERT_EQ(a, b) << "slice " << slice;
    }
    EXPECT_NE(state(CYCLE), first);
    EXPECT_GT(device_states[FAST]->straight_instructions, 0u);
    free_all_devices();
  }
}

// Each kind of stream on a device of either engine: the same state at
// every instruction end and the same output files. Streams whose services
// can be worked out ahead (values read when the program or a peripheral
// asks, timed values and pin repeat counts delivered at their cycle,
// outputs written by the writes) leave the device on the fast engine,
// and on the straight-line executor unless the core's register accesses
// feed them (it leaves the words memory inputs feed to the stepping);
// values taken or pins sampled every cycle, and history, keep the cycle
// engine.
enum stream_engine { CYCLES, FAST_STEPS, STRAIGHT };
struct stream_case {
  const char* name;
  std::vector<std::string> lines;  // "@" stands for "dev" and the device number
  stream_engine runs;
  const char* type = "73521";
  double straight_share = 0.0;  // at least this share of the ends run straight
};

TEST_F(engine_diff, EveryStreamKindRunsAlikeOnBothEngines) {
  std::string pattern = (std::filesystem::temp_directory_path() / "simdiffXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  const std::pair<const char*, const char*> files[] = {
      {"samples.io", "( $4000 0 # 3 $2000 ) 0\n"},
      {"pins.io", "( 1010 # 5 0101 # 3 ( 1100 0011 ) # 2 ) # 40 1111\n"},
      {"tpins.tio", "10 1010 +7 0101 30 1100 25 0011 +0 1001 +1 0110 +250 1111 900 0000\n"},
      {"tmem.tio", "5 $1234 +40 $4321 +1 $1111 300 $2222 ( +20 $0001 ) 2000 $7777\n"},
      {"rx.io", "( $1234 $5678 # 2 ) # 9\n"},
      {"trx.tio", "100 $1111 +300 $2222 1500 $3333\n"},
      {"volts.io", "0.5 #200 -0.25 ( 0.1 # 50 -0.1 # 50 ) # 3\n"},
  };
  for (auto [name, text] : files) std::ofstream(scratch / name) << text;
  const std::string ssi = "change cra0 $6007 crb0 $3030 pcc $3ff";
  const stream_case cases[] = {
      {"untimed memory input", {"input x:$3 samples"}, STRAIGHT},
      // Pins of ports B and C are set after the straight instructions
      // their deliveries fall inside.
      {"untimed pins with repeats and groups", {"input pb0..pb3 pins"}, STRAIGHT, "73521", 0.95},
      {"timed pins", {"input t pb0..pb3 tpins"}, STRAIGHT, "73521", 0.95},
      {"port C pins and a memory output", {"input pc0..pc3 pins", "output x:$83 out@ -o"}, STRAIGHT, "73521",
       0.9},
      {"control pins", {"input irqa pins"}, STRAIGHT, "73521", 0.0},
      {"timed memory input", {"input t x:$5 tmem"}, STRAIGHT},
      {"memory output", {"output x:$83 out@ -o", "output t x:$84 tout@ -o"}, STRAIGHT},
      {"register output", {"output a acc@ -o", "output t x0 tx0out@ -o"}, FAST_STEPS},
      {"ssi receive and send", {ssi, "input ssi0 rx", "output t ssi0 sout@ -o"}, STRAIGHT},
      {"everything at once",
       {ssi, "input x:$3 samples", "input pb0..pb3 pins", "input t x:$5 tmem", "input ssi0 rx",
        "output x:$83 out@ -o", "output t a acc@ -o", "output t ssi0 sout@ -o"},
       FAST_STEPS},
      {"codec voltages in and out",
       {"change ctx $4000 cocr $4f04", "input codec volts", "output t codec cout@ -o"},
       FAST_STEPS,
       "73547"},
      {"timed ssi receive", {ssi, "input t ssi0 trx", "output t ssi0 sout@ -o"}, CYCLES},
      {"pin output", {"input t pb0..pb3 tpins", "output pb0..pb3 pinsout@ -o"}, CYCLES},
      {"history", {"output t dhistory hist@ -o"}, CYCLES},
      {"both ssis on their own clocks, nothing watching them", {ssi + " cra1 $0307 crb1 $3830"}, STRAIGHT},
      {"the ssi's pins watched", {ssi, "output pc0..pc4 ssipins@ -o"}, CYCLES},
      {"port values every cycle", {"input portb pins"}, CYCLES},
  };
  for (const stream_case& c : cases) {
    SCOPED_TRACE(c.name);
    ends_seen[0].clear();
    ends_seen[1].clear();
    for (int d : {FAST, CYCLE}) {
      make(d, c.type);
      place_fir(d);
      device_insts[d]->work_dir = scratch.string() + "/";
      for (std::string line : c.lines) {
        if (const std::size_t at = line.find('@'); at != std::string::npos) line.replace(at, 1, "dev" + std::to_string(d));
        execute_command_line(d, line.c_str());
      }
      set(d, "pc", 0x100);
      arm(d);
    }
    int opened = 0;
    for (const io_stream* s : device_states[FAST]->streams)
      for (; s != nullptr; s = s->next) ++opened;
    EXPECT_EQ(opened, static_cast<int>(std::count_if(c.lines.begin(), c.lines.end(), [](const std::string& l) {
                return l.rfind("change", 0) != 0;
              })));
    run_both(3000);
    EXPECT_EQ(device_states[FAST]->fast_instructions > 0, c.runs != CYCLES);
    EXPECT_EQ(device_states[FAST]->straight_instructions > 0, c.runs == STRAIGHT);
    EXPECT_GE(device_states[FAST]->straight_instructions,
              c.straight_share * static_cast<double>(device_states[FAST]->fast_instructions));
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(scratch)) {
      const std::string name = e.path().filename().string();
      const std::size_t mark = name.find("dev0");
      if (mark == std::string::npos) continue;
      std::string other = name;
      other[mark + 3] = '1';
      const std::string a = slurp(e.path());
      EXPECT_FALSE(a.empty()) << name;
      EXPECT_EQ(a, slurp(scratch / other)) << name;
      // Every accumulator part store writes the whole, not only the first.
      if (name.rfind("acc", 0) == 0) {
        EXPECT_GT(std::count(a.begin(), a.end(), '\n'), 100) << name;
      }
      std::filesystem::remove(e.path());
      std::filesystem::remove(scratch / other);
    }
    for (int d : {FAST, CYCLE}) {
      make_device_current(d);
      for (io_stream*& list : cur_state->streams) free_streams(&list, "", 1);
    }
    free_all_devices();
  }
  std::filesystem::remove_all(scratch);
}

namespace {

// The cycle engine's instruction ends: the count after each and the
// address of the instruction (a repeat pass keeps its word's).
std::vector<std::pair<uint32_t, uint32_t>> cycle_ends;
void record_end_and_count(int device) {
  record_end(device);
  if (device == CYCLE) cycle_ends.emplace_back(device_insts[CYCLE]->cycles, core_word(CS_DECODE_ADDR) & 0xFFFF);
}

}  // namespace

// Pins of ports B and C delivered on a timed and an untimed stream at
// once, at cycles that fall inside two-word instructions and repeat
// passes, while stores under a repeat and by a two-word move write three
// memory outputs: the same state at every end and the same output files
// on both engines, with and without the observer at the ends (a run
// without it crosses deliveries and stores without stopping), the fast
// device straight throughout.
TEST_F(engine_diff, PinInputsAndMemoryOutputsInsideStraightRuns) {
  std::string pattern = (std::filesystem::temp_directory_path() / "simpinsXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  // Every third cycle from 7 on, so every phase of every instruction.
  std::vector<uint32_t> times;
  std::string timed;
  for (uint32_t t = 7; t < 2900; t += 3) {
    times.push_back(t);
    timed += std::to_string(t) + (times.size() % 2 ? " 1010\n" : " 0101\n");
  }
  std::ofstream(scratch / "tpins.tio") << timed;
  std::ofstream(scratch / "pins.io") << "( 1100 # 2 0011 # 3 1001 # 7 ( 0110 ) # 2 )\n";
  const std::vector<fir_line> program = {
      {0x100, "move #$80,r2"}, {0x102, "rep #5"},          {0x103, "move a,x:(r2)+"},
      {0x104, "inc a"},        {0x105, "move a,x0"},       {0x106, "move x0,x:>$84"},
      {0x108, "jmp >$100"},
  };
  for (const bool observed : {true, false}) {
    SCOPED_TRACE(observed ? "observed" : "not observed");
    ends_seen[0].clear();
    ends_seen[1].clear();
    cycle_ends.clear();
    instruction_end_observer = observed ? record_end_and_count : nullptr;
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      assemble(d, program);
      device_insts[d]->work_dir = scratch.string() + "/";
      const std::string dev = "dev" + std::to_string(d);
      for (const std::string& line :
           {std::string("input t pb0..pb3 tpins"), std::string("input pc0..pc3 pins"),
            "output x:$82 rep" + dev + " -o", "output t x:$84 long" + dev + " -o", "output t x:$83 trep" + dev + " -o"})
        execute_command_line(d, line.c_str());
      set(d, "pc", 0x100);
      arm(d);
    }
    // In slices of odd lengths, which end inside instructions too.
    for (int left = 3000; left > 0; left -= 397) {
      const int fast = run_device_cycles(FAST, std::min(left, 397));
      EXPECT_EQ(fast, run_device_cycles(CYCLE, std::min(left, 397)));
    }
    compare_runs();
    const device_state& st = *device_states[FAST];
    EXPECT_GE(st.straight_instructions, 0.97 * static_cast<double>(st.fast_instructions));
    if (observed) {
      // The deliveries strictly inside a two-word instruction and inside
      // a repeat pass of the store.
      int in_long = 0, in_pass = 0;
      for (std::size_t k = 1; k < cycle_ends.size(); ++k) {
        const auto [from, to] = std::pair{cycle_ends[k - 1].first, cycle_ends[k].first};
        const auto inside = std::count_if(times.begin(), times.end(), [&](uint32_t t) { return from < t && t < to; });
        if (to - from >= 4) in_long += static_cast<int>(inside);
        if (cycle_ends[k].second == 0x103 && cycle_ends[k - 1].second == 0x103) in_pass += static_cast<int>(inside);
      }
      EXPECT_GT(in_long, 20);
      EXPECT_GT(in_pass, 20);
    }
    for (const char* name : {"repdev@.io", "longdev@.tio", "trepdev@.tio"}) {
      std::string file = name;
      const std::size_t at = file.find('@');
      const std::string a = slurp(scratch / file.replace(at, 1, "0"));
      EXPECT_GT(std::count(a.begin(), a.end(), '\n'), 10) << name;
      EXPECT_EQ(a, slurp(scratch / file.replace(at, 1, "1"))) << name;
    }
    for (int d : {FAST, CYCLE}) {
      make_device_current(d);
      for (io_stream*& list : cur_state->streams) free_streams(&list, "", 1);
    }
    free_all_devices();
  }
  instruction_end_observer = record_end;
  std::filesystem::remove_all(scratch);
}

// Counted steps with streams open: a timed pin input every third cycle
// (deliveries inside instructions and repeat passes), an untimed one, a
// timed word into memory the program reads, and a memory output; in
// slices that end inside instructions, three steps in a row. The slices,
// the count left after each, the state at every end and the output file
// as on the cycle engine.
TEST_F(engine_diff, CountedStepsWithStreamsStopWhereTheCycleEngineStops) {
  std::string pattern = (std::filesystem::temp_directory_path() / "simstepsXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  std::string timed;
  for (uint32_t t = 7; t < 9000; t += 3) timed += std::to_string(t) + (t % 2 ? " 1010\n" : " 0101\n");
  std::ofstream(scratch / "tpins.tio") << timed;
  std::ofstream(scratch / "pins.io") << "( 1100 # 2 0011 # 3 1001 # 7 )\n";
  std::ofstream(scratch / "words.tio") << "( +50 $1234 )\n";
  const std::vector<fir_line> program = {
      {0x100, "move #$80,r2"}, {0x102, "rep #5"},    {0x103, "move a,x:(r2)+"},
      {0x104, "inc a"},        {0x105, "move x:$50,x0"}, {0x107, "move x0,x:>$84"},
      {0x109, "jmp >$100"},
  };
  constexpr int slices[] = {7, 1000, 3, 250, 1};
  for (void (*observer)(int) : {record_end, static_cast<void (*)(int)>(nullptr)})
    for (const char* command : {"step 1", "step 700", "step 5 cy", "step 1999 cy"}) {
      SCOPED_TRACE(std::string(command) + (observer != nullptr ? ", observed" : ""));
      instruction_end_observer = observer;
      ends_seen[0].clear();
      ends_seen[1].clear();
      for (int d : {FAST, CYCLE}) {
        make(d, "73521");
        assemble(d, program);
        device_insts[d]->work_dir = scratch.string() + "/";
        for (const std::string& line : {std::string("input t pb0..pb3 tpins"), std::string("input pc0..pc3 pins"),
                                        std::string("input t x:$50 words"),
                                        "output x:$84 out" + std::to_string(d) + " -o"})
          execute_command_line(d, line.c_str());
        set(d, "pc", 0x100);
      }
      for (int step = 0; step < 3; ++step) {
        std::vector<uint32_t> trail[2];
        for (int d : {FAST, CYCLE}) {
          execute_command_line(d, command);
          ASSERT_EQ(device_states[d]->running, 1);
          for (int k = 0; device_states[d]->running != 0 && k < 2000; ++k) {
            trail[d].push_back(static_cast<uint32_t>(run_device_cycles(d, slices[k % std::size(slices)])));
            trail[d].push_back(device_states[d]->run_count);
          }
        }
        EXPECT_EQ(device_states[FAST]->running, 0) << "step " << step;
        EXPECT_EQ(trail[FAST], trail[CYCLE]) << "step " << step;
        compare_runs();
      }
      EXPECT_GT(device_states[FAST]->fast_instructions, 0u);
      for (int d : {FAST, CYCLE}) {
        make_device_current(d);
        for (io_stream*& list : cur_state->streams) free_streams(&list, "", 1);
      }
      EXPECT_EQ(slurp(scratch / "out0.io"), slurp(scratch / "out1.io"));
      free_all_devices();
    }
  instruction_end_observer = record_end;
  std::filesystem::remove_all(scratch);
}

namespace {

// What a device's profile holds per code and data node, as text.
std::string profile_nodes(int d) {
  std::string text;
  const profile_tables& t = *profiler_tables(d);
  auto line = [&text](std::initializer_list<uint32_t> values) {
    for (uint32_t v : values) text += std::to_string(v) + " ";
    text += "\n";
  };
  for (auto it = t.code->begin(); const auto* n = static_cast<const code_node*>(it.next());)
    line({n->decoded.address, n->executions, n->cond_passes, n->cycles, n->stall_cycles, n->loop_cycles,
          n->last_cycle, n->decoded.first_values[0], n->decoded.first_values[1]});
  for (auto it = t.data->begin(); const auto* n = static_cast<const data_node*>(it.next());)
    line({n->space, n->address, n->flags, n->reads, n->writes});
  return text;
}

// A report carries the second it was written, which also seeds the call
// graph's placement. Under load (or a sanitizer) the second report may be
// written in a later second than the first: then the dates and the graph's
// coordinates of both are taken out.
void as_if_written_in_one_second(std::string& a, std::string& b) {
  static const std::regex date(R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4})");
  std::smatch ma, mb;
  if (!std::regex_search(a, ma, date) || !std::regex_search(b, mb, date) || ma.str() == mb.str()) return;
  auto plain = [](std::string text) {
    text = std::regex_replace(text, date, "<date>");
    const std::size_t from = text.find("%% Subroutine call graph");
    if (from == std::string::npos) return text;
    const std::size_t to = std::min(text.find("%%Page:", from), text.size());
    static const std::regex number("-?[0-9]+");
    return text.substr(0, from) + std::regex_replace(text.substr(from, to - from), number, "#") + text.substr(to);
  };
  a = plain(a);
  b = plain(b);
}

// Ends whose instruction the engine counted without the profiler's hook
// (the hook clears the block's note of the last one counted).
uint32_t counted_ends[2];
void record_profiled_end(int device) {
  record_end(device);
  if ((device == FAST || device == CYCLE) && device_states[device]->profile.last_counted != nullptr)
    ++counted_ends[device];
}

// The two devices' reports, the same but for their names and the second
// they were written in.
void expect_same_reports(const std::filesystem::path& scratch, const std::string& fast, const std::string& cycle) {
  for (const char* ext : {".log", ".ps"}) {
    std::string a = slurp(scratch / (fast + ext));
    std::string b = slurp(scratch / (cycle + ext));
    EXPECT_GT(a.size(), 1000u) << ext;
    for (std::size_t at = a.find(fast); at != std::string::npos; at = a.find(fast, at + fast.size()))
      a.replace(at, fast.size(), cycle);
    as_if_written_in_one_second(a, b);
    EXPECT_EQ(a, b) << fast << ext;
  }
}

// A profiled program on either engine: the same state at every
// instruction end and the same written profile, the fast device running
// whole instructions.
struct profiled_case {
  const char* name;
  std::vector<fir_line> program;
  uint32_t bcr;
  bool stalls;
  bool straight;  // some of it runs on the straight-line executor (and is counted without the hook)
};

TEST_F(engine_diff, ProfiledProgramsGiveTheSameProfileOnBothEngines) {
  std::string pattern = (std::filesystem::temp_directory_path() / "simprofXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  const profiled_case cases[] = {
      {"fir", {std::begin(fir_program), std::end(fir_program)}, 0, false, true},
      {"calls, returns and loops",
       {{0x100, "move #$0,r1"}, {0x102, "clr a"}, {0x103, "do #6,$10b"}, {0x105, "jsr >$200"},
        {0x107, "jsr >$210"}, {0x109, "lea (r1)+,r1"}, {0x10a, "nop"}, {0x10b, "jmp >$100"},
        {0x200, "inc a"}, {0x201, "jsr >$210"}, {0x203, "rts"}, {0x210, "tst a"}, {0x211, "jgt >$218"},
        {0x213, "rep #2"}, {0x214, "inc a"}, {0x215, "rts"}, {0x218, "dec a"}, {0x219, "rts"}},
       0, false, true},
      {"external data with wait states",
       {{0x100, "move x:$2000,a"}, {0x102, "move a,x:$2001"}, {0x104, "inc a"}, {0x105, "jmp >$100"}},
       0x0060, true, true},
      {"code and data on the external bus",
       {{0x100, "jmp >$1000"}, {0x1000, "move x:$2000,a"}, {0x1002, "move x:(r0)+,x0"},
        {0x1003, "move a,x:$2001"}, {0x1005, "jmp >$1000"}},
       0x0060, true, false},
      {"conditions, a call taken or not and a two-word store",
       {{0x100, "move #$20,r2"}, {0x102, "tst a"}, {0x103, "jsle >$200"}, {0x105, "move a,x:>$30"},
        {0x107, "inc a x:(r2)+,x0"}, {0x108, "tgt x0,a"}, {0x109, "jlt >$102"}, {0x10b, "dec a"},
        {0x10c, "jmp >$102"}, {0x200, "rep #3"}, {0x201, "inc a"}, {0x202, "rts"}},
       0, false, true},
  };
  instruction_end_observer = record_profiled_end;
  for (const profiled_case& c : cases) {
    SCOPED_TRACE(c.name);
    ends_seen[0].clear();
    ends_seen[1].clear();
    counted_ends[0] = counted_ends[1] = 0;
    uint32_t stalls[2] = {0, 0};
    std::string nodes[2];
    for (int d : {FAST, CYCLE}) {
      make(d, "73521");
      for (uint32_t a = 0; a < 0x44; ++a) put(d, SPACE_X, a, (a * 0x1234 + 0x0777) & 0xFFFF);
      assemble(d, c.program);
      set(d, "bcr", c.bcr);
      set(d, "r0", 0x2100);
      device_insts[d]->work_dir = scratch.string() + "/";
      execute_command_line(d, ("log p prof" + std::to_string(d) + " -o").c_str());
      ASSERT_EQ(device_states[d]->profile.on, 1);
      set(d, "pc", 0x100);
      arm(d);
    }
    run_both(4000);
    for (int d : {FAST, CYCLE}) {
      stalls[d] = profiler_tables(d)->stall_cycles;
      nodes[d] = profile_nodes(d);
    }
    for (int d : {FAST, CYCLE}) execute_command_line(d, "log off p");
    EXPECT_EQ(stalls[FAST], stalls[CYCLE]);
    EXPECT_EQ(nodes[FAST], nodes[CYCLE]);
    EXPECT_EQ(stalls[CYCLE] > 0, c.stalls);
    EXPECT_EQ(device_states[FAST]->fast_instructions, ends_seen[FAST].size());
    EXPECT_EQ(device_states[FAST]->straight_instructions > 0, c.straight);
    EXPECT_EQ(counted_ends[FAST] > 0, c.straight);
    EXPECT_EQ(counted_ends[CYCLE], 0u);
    expect_same_reports(scratch, "prof0", "prof1");
    free_all_devices();
  }
  instruction_end_observer = record_end;
  std::filesystem::remove_all(scratch);
}

// The straight classes at their edges profiled: flow, loops, repeats,
// tcc, short calls, data words at the ends of internal memory and on
// peripheral registers; the counts folded at the end are the hook's.
TEST_F(engine_diff, ProfiledStraightClassesCountAsTheHookCounts) {
  std::string pattern = (std::filesystem::temp_directory_path() / "simstraightXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  instruction_end_observer = record_profiled_end;
  straight_classes programs;
  for (const char* type : {"73521", "73583"}) {
    counted_ends[0] = counted_ends[1] = 0;
    for (int p = 0; p < 8; ++p) {
      SCOPED_TRACE(std::string(type) + " program " + std::to_string(p));
      programs.place(type, p);
      for (int d : {FAST, CYCLE}) {
        device_insts[d]->work_dir = scratch.string() + "/";
        execute_command_line(d, ("log p edge" + std::to_string(d) + " -o").c_str());
        arm(d);
      }
      run_both(3000);
      EXPECT_EQ(profile_nodes(FAST), profile_nodes(CYCLE));
      for (int d : {FAST, CYCLE}) execute_command_line(d, "log off p");
      expect_same_reports(scratch, "edge0", "edge1");
      free_all_devices();
      if (HasFailure()) break;
    }
    EXPECT_GT(counted_ends[FAST], 400u) << type;
    EXPECT_EQ(counted_ends[CYCLE], 0u);
  }
  instruction_end_observer = record_end;
  std::filesystem::remove_all(scratch);
}

// The counts the fast engine makes without the hook, folded whenever the
// tables are read: read between slices (inside the straight runs of a
// loop, after a call, after a return), across code changed at addresses
// of the loop between runs (another plain instruction, a conditional
// one, a call, the first again), with a report written mid-run and
// profiling started again, and the final report; every read and report
// as the hook's on the cycle engine. The filter counts nearly every end.
TEST_F(engine_diff, CountedProfilesFoldAsTheHookCountsAtEveryRead) {
  std::string pattern = (std::filesystem::temp_directory_path() / "simfoldXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  instruction_end_observer = record_profiled_end;
  counted_ends[0] = counted_ends[1] = 0;
  const std::vector<fir_line> program = {
      {0x100, "move #$0,r1"}, {0x102, "move #$40,r3"}, {0x104, "do #5,$10c"}, {0x106, "move x:(r3)+,x0"},
      {0x107, "add x0,a x:(r1)+,y0"}, {0x108, "move a,x:>$90"}, {0x10a, "jsr >$200"}, {0x10c, "nop"},
      {0x10d, "jmp >$100"}, {0x200, "mac x0,y0,b"}, {0x201, "move b,x:(r1)"}, {0x202, "rts"},
  };
  for (int d : {FAST, CYCLE}) {
    make(d, "73521");
    place_fir(d);
    assemble(d, program);
    device_insts[d]->work_dir = scratch.string() + "/";
    execute_command_line(d, ("log p first" + std::to_string(d) + " -o").c_str());
    set(d, "pc", 0x100);
    arm(d);
  }
  auto both = [](const char* command) {
    for (int d : {FAST, CYCLE}) execute_command_line(d, command);
  };
  // Slices of odd lengths end anywhere in the loop; the tables are read
  // after each.
  auto run_reading = [](int slices) {
    constexpr int lengths[] = {37, 5, 101, 2, 13};
    for (int k = 0; k < slices; ++k) {
      const int cycles = lengths[k % std::size(lengths)];
      EXPECT_EQ(run_device_cycles(FAST, cycles), run_device_cycles(CYCLE, cycles));
      EXPECT_EQ(profile_nodes(FAST), profile_nodes(CYCLE)) << "slice " << k;
      EXPECT_EQ(profiler_tables(FAST)->instructions, profiler_tables(CYCLE)->instructions);
    }
    compare_runs();
  };
  run_reading(40);
  const char* changes[] = {"asm p:$107 sub x0,a x:(r1)+,y0", "asm p:$108 tst a", "asm p:$108 jsgt >$200",
                           "asm p:$107 add x0,a x:(r1)+,y0", "asm p:$108 move a,x:>$90"};
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    both(change);
    run_reading(15);
  }
  // A report mid-run, then profiling again into another.
  both("log off p");
  expect_same_reports(scratch, "first0", "first1");
  for (int d : {FAST, CYCLE}) execute_command_line(d, ("log p again" + std::to_string(d) + " -o").c_str());
  run_reading(30);
  both("log off p");
  expect_same_reports(scratch, "again0", "again1");
  EXPECT_GT(counted_ends[FAST], ends_seen[FAST].size() / 2);
  EXPECT_EQ(counted_ends[CYCLE], 0u);
  free_all_devices();
  instruction_end_observer = record_end;
  std::filesystem::remove_all(scratch);
}

// The codec's converter steps in batches at its catch-ups on the fast
// engine and one step a cycle on the cycle engine: at every rate setting,
// with the "73583" prescaler passing every step or fewer, a mic input in
// range, a program echoing crx into ctx (the interpolator's input moves),
// the whole state (speaker pins, flags, crx, every converter word) agrees
// at 100 points over 100,000 cycles. Silence or a clipped input with
// nothing written to ctx settles into steps that repeat (taken from the
// repeat on the fast engine) until ctx changes between slices; with the
// timer's events in between, the converter's steps wait for a later
// catch-up. Every rate setting again with the speaker voltages written
// to a file (one step a cycle on both engines): the files are the same.
TEST_F(engine_diff, CodecStepsInBatchesAsOneStepEachCycle) {
  struct rate_case {
    const char* type;
    const char* control;
    float mic = 0.0371f;
    bool echo = true;      // the program writes crx plus x0 into ctx
    bool repeats = false;  // steps come from a repeat
    bool timer = false;    // the timer's events every 200 cycles, the codec's steps left for later
  };
  const rate_case cases[] = {
      {"73547", "change cocr $5c07"},           {"73547", "change cocr $4d0c"},
      {"73547", "change cocr $5e03"},           {"73547", "change cocr $4f0f"},
      {"73583", "change ccr1 $dc07 ccr0 $0000"}, {"73583", "change ccr1 $cc0c ccr0 $1e01"},
      {"73583", "change ccr1 $d403 ccr0 $3f05"}, {"73583", "change ccr1 $c40a ccr0 $2a00"},
      {"73583", "change ccr1 $dc01 ccr0 $1102"},
      {"73547", "change cocr $5c07", 0.0f, false, true},
      {"73547", "change cocr $4e0b", 0.0f, false, true},
      {"73583", "change ccr1 $c000 ccr0 $0000", 0.0f, false, true},
      {"73583", "change ccr1 $dc07 ccr0 $2a03", 0.0f, false, true},
      // A clipped input: the steps repeat while the decimator's
      // integrators grow (and wrap) from round to round.
      {"73547", "change cocr $4c07", 1.0f, false, true},
      {"73547", "change cocr $4d0c", -3.0f, false, true, true},
      {"73583", "change ccr1 $d40a ccr0 $0000", 0.75f, false, true, true},
      {"73583", "change ccr1 $cc03 ccr0 $3f02", -1.5f, false, true},
      {"73547", "change cocr $5e03", 0.0371f, true, false, true},
      {"73583", "change ccr1 $cc0c ccr0 $1e01", 0.0371f, true, false, true},
  };
  instruction_end_observer = nullptr;
  std::string pattern = (std::filesystem::temp_directory_path() / "simcodecXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  constexpr std::size_t RATE_SETTINGS = 9;  // the first nine cases
  for (std::size_t n = 0; n < std::size(cases) + RATE_SETTINGS; ++n) {
    const bool to_file = n >= std::size(cases);
    const rate_case& c = cases[to_file ? n - std::size(cases) : n];
    SCOPED_TRACE(std::string(c.type) + ": " + c.control + (to_file ? " to a file" : ""));
    for (int d : {FAST, CYCLE}) {
      make(d, c.type);
      assemble(d, {{0x40, c.echo ? "move x:>$ffe9,a" : "nop"},
                   {0x42, "add x0,a"},
                   {0x43, c.echo ? "move a,x:>$ffe9" : "nop"},
                   {0x45, "move #>$0137,x0"},
                   {0x47, "rep #$1d"},
                   {0x48, "nop"},
                   {0x49, "jmp >$40"}});
      execute_command_line(d, c.control);
      if (c.timer) execute_command_line(d, "change tpr 99 tcr $8200");
      make_device_current(d);
      int codec = -1;
      for (int p = 0; p < cur_type->periph_count; ++p)
        if (std::string(cur_type->periphs[p].name) == "codec") codec = p;
      ASSERT_GE(codec, 0);
      const int first = std::countr_zero(cur_type->periphs[codec].pin_mask);
      set_pin_word(periph_pin_block(0), 5 + first, std::bit_cast<uint32_t>(c.mic));        // mic
      set_pin_word(periph_pin_block(0), 5 + first + 1, std::bit_cast<uint32_t>(-0.213f));  // aux
      set(d, "pc", 0x40);
      if (to_file) {
        device_insts[d]->work_dir = scratch.string() + "/";
        execute_command_line(d, ("output codec volts" + std::to_string(d) + " -o").c_str());
      }
      arm(d);
    }
    for (int k = 0; k < 100; ++k) {
      // ctx written between slices: the repeat ends at the next sample.
      if (!c.echo && (k == 40 || k == 41 || k == 70))
        for (int d : {FAST, CYCLE}) execute_command_line(d, k == 70 ? "change ctx $0" : "change ctx $1234");
      EXPECT_EQ(run_device_cycles(FAST, 1000), run_device_cycles(CYCLE, 1000));
      for (int d : {FAST, CYCLE}) {
        make_device_current(d);
        catch_up_peripherals();
      }
      const std::string difference = device_state_difference(FAST, CYCLE);
      if (!difference.empty()) {
        ADD_FAILURE() << "after " << (k + 1) * 1000 << " cycles: " << difference;
        break;
      }
    }
    EXPECT_EQ(device_states[CYCLE]->batched_steps, 0u);
    if (to_file) {
      EXPECT_EQ(device_states[FAST]->batched_steps, 0u);
      free_all_devices();  // closes the files
      const std::string fast = slurp(scratch / "volts0.io"), cycle = slurp(scratch / "volts1.io");
      EXPECT_GT(std::count(fast.begin(), fast.end(), '\n'), 4000);  // a voltage every fourth step
      EXPECT_EQ(fast, cycle);
      continue;
    }
    EXPECT_GT(device_states[FAST]->batched_steps, 10000u);
    EXPECT_EQ(device_states[FAST]->repeated_steps > device_states[FAST]->batched_steps / 4, c.repeats);
    free_all_devices();
  }
  std::filesystem::remove_all(scratch);
}

// The device's state but its counts, against a twin's: cyc and ictr with
// the count's shadows and marks of them, and where the count stands
// against the device's own time (which must be the same). "" when alike.
std::string difference_but_counts(int d, int twin) {
  for (int x : {d, twin}) {
    make_device_current(x);
    catch_up_peripherals();
  }
  device_inst& a = *device_insts[d];
  device_inst& b = *device_insts[twin];
  if (device_time(a) != device_time(b))
    return "device time " + std::to_string(device_time(a)) + " != " + std::to_string(device_time(b));
  const auto row = static_cast<std::size_t>(device_types[a.type]->periph_count - 1);  // the counts
  uint32_t* words[2] = {a.periph_state[row], b.periph_state[row]};
  uint32_t* attrs[2] = {device_states[d]->periph_entries[row].attrs, device_states[twin]->periph_entries[row].attrs};
  // Each count of `d` with the twin's.
  auto each_count = [&](auto&& take) {
    for (auto field : {&device_inst::cycles, &device_inst::time_offset, &device_inst::cyc_written,
                       &device_inst::instructions})
      take(a.*field, b.*field);
    for (int reg : {COUNT_CYC, COUNT_ICTR}) {
      take(words[0][reg], words[1][reg]);
      take(attrs[0][reg], attrs[1][reg]);
    }
  };
  std::vector<uint32_t> kept;
  each_count([&](uint32_t& own, uint32_t twins) {
    kept.push_back(own);
    own = twins;
  });
  const std::string difference = device_state_difference(d, twin);
  std::size_t k = 0;
  each_count([&](uint32_t& own, uint32_t) { own = kept[k++]; });
  return difference;
}

// A step or go armed by its command, run out.
void run_out(int d) {
  for (int guard = 0; guard < 100 && device_states[d]->running != 0; ++guard) run_device_cycles(d, 1000);
  EXPECT_EQ(device_states[d]->running, 0);
}

uint32_t read_named(int d, const char* name) {
  int row = 0, reg = 0;
  uint32_t value[3] = {0, 0, 0};
  if (lookup_register(d, name, &row, &reg) == 0) ADD_FAILURE() << name;
  read_register(d, row, reg, value);
  return value[0];
}

}  // namespace

// The timer ticks every second cycle whatever the count shows: the count
// set back or forward, typed between steps or as a breakpoint's action,
// leaves the timer, its interrupts and the rest of the device where the
// same steps without the write leave them, on either engine. Lines
// starting with "!" run on the written device only.
TEST_F(engine_diff, TheTimerRunsOnWhenTheCountIsWritten) {
  instruction_end_observer = nullptr;
  const std::vector<std::string> preload = {"change pc $100", "change tpr $100", "change tctr $40", "step 100 cy"};
  auto with = [&](std::initializer_list<const char*> lines) {
    std::vector<std::string> all = preload;
    all.insert(all.end(), lines.begin(), lines.end());
    return all;
  };
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"set back", with({"change tcr $8000", "!change cyc 0", "step 50 cy"})},
      {"set forward",
       {"change pc $100", "change tpr $400", "change tctr $400", "step 100 cy", "change tcr $8000", "step 10 cy",
        "!change cyc 1000", "step 10 cy"}},
      {"set back and forward at odd counts", with({"change tcr $8003", "step 31 cy", "!change cyc 7", "step 77 cy",
                                                   "!change cyc 123457", "step 95 cy", "!change ictr 0", "step 9 cy"})},
      {"set back by a breakpoint's action", with({"change tcr $8000", "!break p:$130 x change cyc 0", "step 150 cy"})},
      {"set forward by a breakpoint's action in a go",
       with({"change tcr $8001", "!break p:$131 x change cyc 5001", "break p:$1a0", "go"})},
      // Overflows every 2 * 9 cycles taken as interrupts; the count near
      // its wrap.
      {"overflow interrupts",
       {"asm p:$20 jsr >$90", "asm p:$90 inc b", "asm p:$91 rti", "change pc $100 tpr 8 ipr $4000 sr 0",
        "change tcr $8200", "step 60 cy", "!change cyc $fffffff0", "step 200 cy", "!change cyc 3", "step 333 cy"}},
  };
  for (const bool cycle_engine : {false, true}) {
    for (const auto& [name, lines] : cases) {
      SCOPED_TRACE(std::string(name) + (cycle_engine ? ", cycle engine" : ", fast engine"));
      for (int d : {0, 1}) engine_pair::make(d, "73521", cycle_engine);
      const uint32_t tctr_before = read_named(0, "tctr");
      for (const std::string& line : lines) {
        const bool written_only = line[0] == '!';
        for (int d : {0, 1})
          if (d == 0 || !written_only) execute_command_line(d, line.c_str() + (written_only ? 1 : 0));
        if (line.rfind("step", 0) != 0 && line != "go") continue;
        for (int d : {0, 1}) run_out(d);
        EXPECT_EQ(read_named(0, "tctr"), read_named(1, "tctr")) << line;
        EXPECT_EQ(difference_but_counts(0, 1), "") << line;
      }
      EXPECT_NE(read_named(0, "tctr"), tctr_before);
      EXPECT_EQ(device_states[0]->fast_instructions > 0, !cycle_engine);
      if (std::string(name) == "overflow interrupts") {
        EXPECT_GT(read_named(0, "b0"), 20u);
      }
      for (int d : {0, 1}) {
        make_device_current(d);
        free_breakpoints();
      }
      free_all_devices();
    }
  }
}

// Random programs and the filter beside the timer (its overflows taken as
// interrupts), both serial ports and the codec, with untimed streams in and
// out, a relative timed memory input and in every other run the port's
// pins watched (gap marks), while cyc and ictr are written at random
// points, near their wrap too: on either engine the whole device (but the
// counts) and every output file are those of the same run without the
// writes.
TEST_F(engine_diff, WritesOfTheCountsLeaveTheDeviceAsWithoutThem) {
  instruction_end_observer = nullptr;
  constexpr int WRITTEN_FAST = 0, WRITTEN_CYCLE = 1, TWIN = 2;
  std::string pattern = (std::filesystem::temp_directory_path() / "simcountsXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  std::ofstream(scratch / "rx.io") << "( $1234 $5678 # 2 $0f0f ) # 40\n";
  std::ofstream(scratch / "volts.io") << "0.5 #200 -0.25 ( 0.1 # 50 -0.1 # 50 ) # 30\n";
  std::ofstream(scratch / "words.tio") << "+40 $1234 +25 $4321 ( +300 $1111 +7 $2222 ) # 20\n";
  struct type_case {
    const char* type;
    const char* ports;
    const char* port;
  };
  const type_case types[] = {
      {"73547", "change cocr $5c07 cra0 $6007 crb0 $3030 cra1 $0307 crb1 $3830 pcc $3ff", "ssi0"},
      {"73583", "change pbc 1 ccr1 $dc07 ccr0 $2a03 cra0 $0207 crb0 $3c30 cra1 $6107 crb1 $3438 pcc $3ff", "rssi0"},
  };
  std::mt19937 rng(153);
  for (const type_case& t : types) {
    for (int p = 0; p < 6; ++p) {
      SCOPED_TRACE(std::string(t.type) + " program " + std::to_string(p));
      const bool random_start = p % 3 == 0;
      const std::vector<uint32_t> program = random_program(rng, 256);
      // Every other run watches the port's pins (on the cycle engine).
      const bool watch_pins = p % 2 == 1;
      std::vector<std::string> lines = {
          t.ports,
          "change tpr " + std::to_string(20 + rng() % 60) + " tcr $8200 ipr $4000 sr 0",
          std::string("input ") + t.port + " rx",
          std::string("output ") + t.port + " sent@ -o",
          "input codec volts",
          "output codec volts@ -o",
          "input t x:$50 words",
          "output x:$83 mem@ -o",
      };
      if (watch_pins) lines.push_back("output pc0..pc4 pins@ -o");
      for (int d : {WRITTEN_FAST, WRITTEN_CYCLE, TWIN}) {
        engine_pair::make(d, t.type, d != WRITTEN_FAST);
        device_insts[d]->work_dir = scratch.string() + "/";
        // The timer's handler counts in b; the program runs from $200,
        // the FIR filter at $100 among the words it may reach.
        place_fir(d);
        assemble(d, {{0x20, "jsr >$90"}, {0x90, "inc b"}, {0x91, "rti"}});
        for (uint32_t a = 0; a < program.size(); ++a) put(d, SPACE_P, 0x200 + a, program[a]);
        for (std::string line : lines) {
          if (const std::size_t at = line.find('@'); at != std::string::npos)
            line.replace(at, 1, "dev" + std::to_string(d));
          execute_command_line(d, line.c_str());
        }
        set(d, "pc", random_start ? 0x200 : 0x100);
        arm(d);
      }
      constexpr uint32_t near_wrap = 0xFFFFFFFF - 700;
      for (int slice = 0; slice < 40; ++slice) {
        const int cycles = 1 + static_cast<int>(rng() % 400);
        const int ran = run_device_cycles(TWIN, cycles);
        for (int d : {WRITTEN_FAST, WRITTEN_CYCLE}) EXPECT_EQ(run_device_cycles(d, cycles), ran);
        for (int d : {WRITTEN_FAST, WRITTEN_CYCLE}) {
          const std::string difference = difference_but_counts(d, TWIN);
          if (!difference.empty()) ADD_FAILURE() << "device " << d << ", slice " << slice << ": " << difference;
        }
        if (HasFailure()) break;
        // A program that stopped (debug, an illegal word) goes on.
        if (ran < cycles)
          for (int d : {WRITTEN_FAST, WRITTEN_CYCLE, TWIN}) arm(d);
        const uint32_t value = rng() % 3 == 0 ? near_wrap + rng() % 1400 : rng() % 100000;
        const std::string write = (rng() % 3 == 0 ? "change ictr " : "change cyc ") + std::to_string(value);
        for (int d : {WRITTEN_FAST, WRITTEN_CYCLE}) execute_command_line(d, write.c_str());
      }
      EXPECT_EQ(device_states[WRITTEN_FAST]->fast_instructions > 0, !watch_pins);
      for (int d : {WRITTEN_FAST, WRITTEN_CYCLE, TWIN}) {
        make_device_current(d);
        for (io_stream*& list : cur_state->streams) free_streams(&list, "", 1);
      }
      free_all_devices();
      // The pins' file carries gap marks, the cycles between its values.
      if (watch_pins) {
        const std::string twin = slurp(scratch / "pinsdev2.io");
        EXPECT_GT(std::count(twin.begin(), twin.end(), '#'), 10);
        for (int d : {WRITTEN_FAST, WRITTEN_CYCLE})
          EXPECT_EQ(slurp(scratch / ("pinsdev" + std::to_string(d) + ".io")), twin) << "pins of device " << d;
      }
      for (const char* stem : {"sent", "volts", "mem"}) {
        const std::string twin = slurp(scratch / (std::string(stem) + "dev2.io"));
        if (!random_start) {
          EXPECT_GT(std::count(twin.begin(), twin.end(), '\n'), 10) << stem;
        }
        for (int d : {WRITTEN_FAST, WRITTEN_CYCLE})
          EXPECT_EQ(slurp(scratch / (stem + ("dev" + std::to_string(d)) + ".io")), twin) << stem << " of device " << d;
      }
      if (HasFailure()) break;
    }
  }
  std::filesystem::remove_all(scratch);
}

// A profile measures the cycles the program ran: cyc written between the
// slices of a profiled run (back, forward, near its wrap), and before the
// log is opened, leaves every figure and the reports as a run without the
// writes gives them, on either engine: the log counts from cycle 0 of the
// count as it stands when it is opened.
TEST_F(engine_diff, WritesOfTheCountLeaveTheProfileAlone) {
  instruction_end_observer = nullptr;
  constexpr int TWIN = 2;
  std::string pattern = (std::filesystem::temp_directory_path() / "simprofcycXXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path scratch = pattern;
  const fir_line program[] = {
      {0x100, "move #$0,r1"},  {0x102, "clr a"}, {0x103, "do #6,$10b"}, {0x105, "jsr >$200"}, {0x107, "jsr >$210"},
      {0x109, "lea (r1)+,r1"}, {0x10a, "nop"},   {0x10b, "jmp >$100"},  {0x200, "inc a"},     {0x201, "jsr >$210"},
      {0x203, "rts"},          {0x210, "tst a"}, {0x211, "jgt >$218"},  {0x213, "rep #2"},    {0x214, "inc a"},
      {0x215, "rts"},          {0x218, "dec a"}, {0x219, "rts"}};
  for (int d : {FAST, CYCLE, TWIN}) {
    engine_pair::make(d, "73521", d != FAST);
    assemble(d, program);
    device_insts[d]->work_dir = scratch.string() + "/";
    set(d, "pc", 0x100);
    execute_command_line(d, "step 37 cy");
    run_out(d);
  }
  for (int d : {FAST, CYCLE, TWIN}) {
    // Written before the log opens and set back to the twin's count.
    if (d != TWIN) {
      execute_command_line(d, "change cyc 90000");
      execute_command_line(d, ("change cyc " + std::to_string(device_insts[TWIN]->cycles)).c_str());
    }
    execute_command_line(d, ("log p prof" + std::to_string(d) + " -o").c_str());
    ASSERT_EQ(device_states[d]->profile.on, 1);
    arm(d);
  }
  const uint32_t writes[] = {0, 12, 0xFFFFFF00, 5, 777777, 3};
  for (const uint32_t value : writes) {
    for (int d : {FAST, CYCLE, TWIN}) EXPECT_EQ(run_device_cycles(d, 613), 613);
    for (int d : {FAST, CYCLE}) execute_command_line(d, ("change cyc " + std::to_string(value)).c_str());
  }
  for (int d : {FAST, CYCLE, TWIN}) EXPECT_EQ(run_device_cycles(d, 500), 500);
  const std::string twin = profile_nodes(TWIN);
  for (int d : {FAST, CYCLE}) {
    EXPECT_EQ(profile_nodes(d), twin) << d;
    EXPECT_EQ(device_states[d]->profile.previous_cycles, device_states[TWIN]->profile.previous_cycles) << d;
  }
  EXPECT_GT(device_states[FAST]->straight_instructions, 0u);
  for (int d : {FAST, CYCLE, TWIN}) execute_command_line(d, "log off p");
  for (int d : {FAST, CYCLE}) expect_same_reports(scratch, "prof" + std::to_string(d), "prof2");
  free_all_devices();
  std::filesystem::remove_all(scratch);
}

// Two devices of one type running the same programs, compared at every
// instruction end: the helpers and programs the engine comparison and the
// scratch-word test share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "bench/fir_program.h"
#include "sim/asm/asm.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"

namespace engine_pair {

inline constexpr const char* type_names[] = {"73521", "73547", "73583", "73547rom", "73583ram"};

inline void make(int d, const char* type, bool cycle_engine_only) {
  ASSERT_EQ(create_device(d, type), 1);
  device_states[d]->cycle_engine_only = cycle_engine_only ? 1 : 0;
}
inline void put(int d, int space, uint32_t address, uint32_t value) {
  write_device_memory(d, space, address, &value);
}
inline void set(int d, const char* name, uint32_t value) {
  int row = 0, reg = 0;
  const uint32_t words[3] = {value, 0, 0};
  ASSERT_NE(lookup_register(d, name, &row, &reg), 0) << name;
  write_register(d, row, reg, words);
}
// Saturation (omr bit 4) on or off; the operating mode stays.
inline void set_saturation(int d, bool on) {
  int row = 0, reg = 0;
  uint32_t omr[3] = {0, 0, 0};
  ASSERT_NE(lookup_register(d, "omr", &row, &reg), 0);
  read_register(d, row, reg, omr);
  set(d, "omr", (omr[0] & ~0x10u) | (on ? 0x10u : 0u));
}
inline void assemble(int d, uint32_t address, const char* text) {
  make_device_current(d);
  const int count = assemble_line(text, address);
  ASSERT_GT(count, 0) << text;
  for (int i = 0; i < count; ++i)
    put(d, SPACE_P, address + static_cast<uint32_t>(i), asm_words[static_cast<std::size_t>(i)]);
}
template <typename Lines>
void assemble(int d, const Lines& lines) {
  for (const fir_line& line : lines) assemble(d, line.address, line.text);
}
inline void assemble(int d, std::initializer_list<fir_line> lines) {
  for (const fir_line& line : lines) assemble(d, line.address, line.text);
}
// The FIR filter with its samples and coefficients.
inline void place_fir(int d) {
  assemble(d, fir_program);
  for (uint32_t a = 0; a < 0x44; ++a) put(d, SPACE_X, a, (a * 0x1234 + 0x0777) & 0xFFFF);
}
// A free run armed as the go command arms it.
inline void arm(int d) {
  make_device_current(d);
  device_state& st = *device_states[d];
  st.run_mode = RUN_GO;
  st.run_count = 1;
  st.break_number = 0;
  reset_run_flags();
  st.running = 1;
}
inline void pull_irqa(int d, bool low) {
  make_device_current(d);
  uint32_t* control = periph_pin_block(PINS_CONTROL);
  set_pin_word(control, PIN_LEVEL, low ? control[PIN_LEVEL] & ~CTL_IRQA : control[PIN_LEVEL] | CTL_IRQA);
}

// Random legal words: every class of instruction the decoder knows,
// including flow, loops, repeats, traps, WAIT, STOP and reset, with
// operands the random words give them.
inline std::vector<uint32_t> random_program(std::mt19937& rng, std::size_t length) {
  std::vector<uint32_t> words;
  std::uniform_int_distribution<uint32_t> any(0, 0xFFFF);
  while (words.size() < length) {
    const uint32_t word = any(rng);
    if (instr_flags_lookup(static_cast<uint16_t>(word), false) & IFLAG_ILLEGAL) continue;
    words.push_back(word);
  }
  return words;
}

// A long interrupt on IRQA (vector $a) whose handler counts in r1, over
// two-cycle instructions, a repeat and a DO loop; ipr 3 sets IRQA to
// level 3, level mode.
inline constexpr fir_line irq_program[] = {
    {0x0, "jmp >$40"},        {0xa, "jsr >$80"},      {0x40, "move #>$3,x0"},
    {0x42, "nop"},            {0x43, "andi #$fc,mr"}, {0x44, "do #5,$48"},
    {0x46, "rep #4"},         {0x47, "inc a"},        {0x48, "move #>$1234,x1"},
    {0x4a, "jmp >$44"},       {0x80, "lea (r1)+,r1"}, {0x81, "rti"},
};

}  // namespace engine_pair

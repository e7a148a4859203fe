// The field encoders: the bit value of one instruction field for a
// register or an addressing mode, and the multiply source pairs.
#include <array>
#include <cstdint>
#include <initializer_list>

#include "sim/asm/asm_internal.h"

namespace {

struct reg_code {
  int8_t reg;
  int8_t code;
};

struct field_table {
  const char* message;
  std::array<int8_t, AR_COUNT> codes;
};

constexpr field_table make_field(const char* message, std::initializer_list<reg_code> codes) {
  field_table t{message, {}};
  t.codes.fill(-1);
  for (const reg_code& c : codes) t.codes[static_cast<std::size_t>(c.reg)] = c.code;
  return t;
}

// Indexed by field_code.
constexpr field_table field_tables[] = {
    make_field("F encoding failure", {{AR_A, 0}, {AR_B, 1}}),
    make_field("TT encoding failure", {{AR_R0, 0}, {AR_R1, 1}, {AR_R2, 2}, {AR_R3, 3}}),
    make_field("DD encoding failure", {{AR_X0, 0}, {AR_Y0, 1}, {AR_X1, 2}, {AR_Y1, 3}}),
    make_field("E encoding failure", {{AR_OMR, 0}, {AR_CCR, 1}}),
    make_field("HHH encoding failure", {{AR_X0, 0}, {AR_Y0, 1}, {AR_X1, 2}, {AR_Y1, 3}, {AR_A, 4},
                                        {AR_B, 5}, {AR_A0, 6}, {AR_B0, 7}}),
    make_field("AA encoding failure", {{AR_A1, 0}, {AR_B1, 1}, {AR_A2, 2}, {AR_B2, 3}}),
    make_field("NN encoding failure", {{AR_N0, 0}, {AR_N1, 1}, {AR_N2, 2}, {AR_N3, 3}}),
    make_field("FF encoding failure", {{AR_M0, 0}, {AR_M1, 1}, {AR_M2, 2}, {AR_M3, 3}}),
    make_field("GG encoding failure", {{AR_LC, 0}, {AR_SR, 1}, {AR_OMR, 2}, {AR_SP, 3}}),
    make_field("SS encoding failure", {{AR_SSH, 0}, {AR_SSL, 1}, {AR_LA, 2}, {AR_LC, 3}}),
    make_field("DDDDD encoding failure",
               {{AR_X0, 0},   {AR_Y0, 1},   {AR_X1, 2},   {AR_Y1, 3},   {AR_A, 4},    {AR_B, 5},
                {AR_A0, 6},   {AR_B0, 7},   {AR_LC, 8},   {AR_SR, 9},   {AR_OMR, 10}, {AR_SP, 11},
                {AR_A1, 12},  {AR_B1, 13},  {AR_A2, 14},  {AR_B2, 15},  {AR_R0, 16},  {AR_R1, 17},
                {AR_R2, 18},  {AR_R3, 19},  {AR_M0, 20},  {AR_M1, 21},  {AR_M2, 22},  {AR_M3, 23},
                {AR_SSH, 24}, {AR_SSL, 25}, {AR_LA, 26},  {AR_N0, 28},  {AR_N1, 29},  {AR_N2, 30},
                {AR_N3, 31}}),
    make_field("HH encoding failure", {{AR_X0, 0}, {AR_Y0, 1}, {AR_A, 2}, {AR_B, 3}}),
};

struct pair_code {
  int8_t first;
  int8_t second;
  int8_t code;
};

struct pair_table {
  bool ordered;
  std::array<pair_code, 8> pairs;
  int count;
};

constexpr pair_table pair_tables[] = {
    {false,
     {{{AR_X0, AR_X0, 0}, {AR_X0, AR_X1, 1}, {AR_A1, AR_Y0, 2}, {AR_B1, AR_X0, 3}, {AR_X0, AR_Y0, 4},
       {AR_X0, AR_Y1, 5}, {AR_X1, AR_Y0, 6}, {AR_X1, AR_Y1, 7}}},
     8},
    {false, {{{AR_X0, AR_Y0, 0}, {AR_X0, AR_Y1, 1}, {AR_X1, AR_Y0, 2}, {AR_X1, AR_Y1, 3}}}, 4},
    {true,
     {{{AR_A1, AR_Y0, 2}, {AR_B1, AR_X0, 3}, {AR_Y0, AR_X0, 4}, {AR_Y1, AR_X0, 5}, {AR_X1, AR_Y0, 6},
       {AR_X1, AR_Y1, 7}}},
     6},
    // The signed-by-unsigned multiplies keep the order they print in: the
    // first source is the signed one.
    {true, {{{AR_Y0, AR_X0, 0}, {AR_Y1, AR_X0, 1}, {AR_X1, AR_Y0, 2}, {AR_X1, AR_Y1, 3}}}, 4},
};

}  // namespace

uint32_t field_value(field_code field, int reg) {
  const field_table& t = field_tables[field];
  const int8_t code = reg >= 0 && reg < AR_COUNT ? t.codes[static_cast<std::size_t>(reg)] : -1;
  if (code < 0) {
    asm_fail(t.message);
    return 0;
  }
  return static_cast<uint32_t>(code);
}

uint32_t field_mm(uint32_t mode) {
  switch (mode) {
    case AM_IND: return 0;
    case AM_POSTINC: return 1;
    case AM_POSTDEC: return 2;
    case AM_POSTN: return 3;
    default:
      asm_fail("MM encoding failure");
      return 0;
  }
}

uint32_t field_m(uint32_t mode) {
  if (mode == AM_POSTINC || mode == AM_POSTDEC) return 0;
  if (mode == AM_POSTN) return 1;
  asm_fail("m encoding failure");
  return 0;
}

uint32_t field_q(uint32_t mode) {
  if (mode == AM_INDEXN) return 0;
  if (mode == AM_PREDEC) return 1;
  asm_fail("q encoding failure");
  return 0;
}

void insert_field(uint32_t& word, int shift, int width, uint32_t value) {
  const uint32_t mask = ((1u << width) - 1) << shift;
  word = (word & ~mask) | ((value << shift) & mask);
}

int mulreg(pair_form form, int s1, int s2, int dest) {
  const pair_table& t = pair_tables[form];
  bool first_listed = false;
  for (int i = 0; i < t.count; ++i) {
    const pair_code& p = t.pairs[static_cast<std::size_t>(i)];
    // A reversed signed-by-unsigned pair names registers the form takes.
    if (p.first == s1 || ((!t.ordered || form == PAIR_SHORT_ORDERED) && p.second == s1)) first_listed = true;
    if ((p.first == s1 && p.second == s2) || (!t.ordered && p.first == s2 && p.second == s1)) {
      if (!is_accumulator(dest)) {
        asm_fail("F encoding failure");
        return -1;
      }
      return p.code + (dest == AR_B ? 8 : 0);
    }
  }
  asm_fail(first_listed ? "Invalid register combination" : "mulreg failure");
  return -1;
}

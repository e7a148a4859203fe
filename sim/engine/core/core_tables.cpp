// The decode tables as data, the lookups over them and the register
// selector rules.
//
// - `core_tables.cpp`: the six mask/value decode tables, attribute rows, special sequences,
//   fetch-control words and `op_timing` as constexpr data, checked at compile time;
//   `core_decode.cpp` runs the two decode stages (the comment at the top of `core_decode.h` lists
//   what each reads and writes). No table is searched per cycle: each opcode word keeps the row
//   every table gives it (`opcode_rows_of`), its executor row, its table cycle count and its move
//   register codes, each found the first time the word needs it; the tables are constant, so nothing
//   invalidates them.
#include "sim/engine/core/core_tables.h"

#include <bit>
#include <span>

#include "sim/engine/periph/periph.h"

namespace {

// A table is sound when every row can match (its value lies inside its
// mask) and only its last row is the catch-all.
template <typename Payload, std::size_t N>
constexpr bool well_formed(const std::array<decode_row<Payload>, N>& table) {
  for (std::size_t i = 0; i < N; ++i) {
    if ((table[i].value & ~table[i].mask) != 0) return false;
    if (table[i].flow > 1) return false;
    if ((table[i].mask == 0) != (i == N - 1)) return false;
  }
  return table[N - 1].value == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// The six mask/value tables, rows in lookup order.

// Payload: op_timing rows for pipeline modes 0 and 1.
constexpr std::array<decode_row<index_pair>, TIMING_SELECT_ROWS> timing_select_table = {{
    {0x8100, 0x8100, 0, {2, 0}},
    {0x8100, 0x8000, 0, {1, 0}},
    {0xE000, 0x6000, 0, {3, 0}},
    {0xF100, 0x5100, 0, {4, 2}},
    {0xF100, 0x5000, 0, {4, 1}},
    {0xF000, 0x4000, 0, {5, 0}},
    {0xFC16, 0x3C16, 0, {4, 7}},
    {0xFC14, 0x3C10, 0, {8, 0}},
    {0xFC10, 0x3C00, 0, {7, 0}},
    {0xF81E, 0x381C, 1, {9, 10}},
    {0xFC16, 0x3816, 0, {4, 6}},
    {0xF81E, 0x3814, 1, {8, 0}},
    {0xFC14, 0x3810, 0, {8, 0}},
    {0xFC10, 0x3800, 0, {6, 0}},
    {0xFC00, 0x2800, 0, {11, 0}},
    {0xFD00, 0x2500, 0, {13, 0}},
    {0xFD00, 0x2400, 0, {12, 0}},
    {0xFC00, 0x2000, 0, {14, 0}},
    {0xFA00, 0x1A00, 0, {15, 0}},
    {0xFE00, 0x1C00, 0, {16, 0}},
    {0xFF00, 0x1900, 0, {18, 0}},
    {0xFF00, 0x1800, 0, {17, 0}},
    {0xFE00, 0x1600, 0, {19, 0}},
    {0xFFF7, 0x1571, 0, {38, 0}},
    {0xFFF6, 0x1500, 0, {37, 0}},
    {0xFFC0, 0x14C0, 1, {24, 32}},
    {0xFFF0, 0x14B0, 1, {24, 32}},
    {0xFFE0, 0x1480, 1, {33, 35}},
    {0xFFC0, 0x1440, 1, {31, 0}},
    {0xFFF0, 0x1430, 1, {31, 0}},
    {0xFFE0, 0x1400, 1, {36, 0}},
    {0xFC02, 0x1000, 0, {20, 0}},
    {0xFE00, 0x0E00, 1, {21, 0}},
    {0xFE00, 0x0C00, 0, {24, 32}},
    {0xFFC0, 0x0400, 1, {22, 0}},
    {0xFF30, 0x0330, 0, {24, 25}},
    {0xFF20, 0x0300, 0, {23, 27}},
    {0xFF30, 0x0230, 0, {23, 32}},
    {0xFF20, 0x0200, 0, {26, 25}},
    {0xFFC0, 0x01C0, 0, {9, 28}},
    {0xFFC0, 0x0180, 0, {9, 29}},
    {0xFFC0, 0x00C0, 1, {30, 0}},
    {0x0000, 0x0000, 0, {0, 0}},
}};

// Payload: attribute row.
constexpr std::array<decode_row<uint8_t>, EXEC_ATTR_SELECT_ROWS> exec_attr_table = {{
    {0x8000, 0x8000, 0, 1},
    {0xE000, 0x6000, 0, 1},
    {0xF000, 0x5000, 0, 2},
    {0xF000, 0x4000, 0, 1},
    {0xFC16, 0x3C16, 0, 3},
    {0xFC14, 0x3C10, 0, 3},
    {0xFC10, 0x3C00, 0, 5},
    {0xF81E, 0x381C, 1, 4},
    {0xFC16, 0x3816, 0, 3},
    {0xF81E, 0x3814, 1, 4},
    {0xFC14, 0x3810, 0, 3},
    {0xFC10, 0x3800, 0, 5},
    {0xF800, 0x3000, 0, 1},
    {0xFC00, 0x2C00, 1, 6},
    {0xFC00, 0x2800, 0, 5},
    {0xF800, 0x2000, 0, 5},
    {0xFC00, 0x1C00, 0, 5},
    {0xFE00, 0x1A00, 0, 5},
    {0xFE00, 0x1800, 0, 5},
    {0xFE00, 0x1600, 0, 1},
    {0xFFD0, 0x15D0, 0, 1},
    {0xFFF7, 0x1571, 0, 1},
    {0xFFF4, 0x1520, 0, 1},
    {0xFFF6, 0x1500, 0, 1},
    {0xFF00, 0x1500, 0, 1},
    {0xFFC0, 0x14C0, 1, 8},
    {0xFFF0, 0x14B0, 1, 8},
    {0xFFE0, 0x1480, 1, 8},
    {0xFFC0, 0x1440, 1, 8},
    {0xFFF0, 0x1430, 1, 8},
    {0xFFE0, 0x1400, 1, 8},
    {0xFC02, 0x1000, 0, 9},
    {0xFF00, 0x0F00, 1, 10},
    {0xFF00, 0x0E00, 1, 11},
    {0xFF00, 0x0D00, 0, 7},
    {0xFF00, 0x0C00, 0, 7},
    {0xFE00, 0x0A00, 1, 12},
    {0xFF10, 0x0710, 1, 13},
    {0xFF10, 0x0700, 1, 14},
    {0xFF10, 0x0610, 1, 15},
    {0xFF10, 0x0600, 1, 16},
    {0xFF00, 0x0500, 1, 17},
    {0xFFE0, 0x0420, 1, 10},
    {0xFFE0, 0x0400, 1, 11},
    {0xFE30, 0x0230, 0, 18},
    {0xFE20, 0x0200, 0, 18},
    {0xFF80, 0x0180, 0, 7},
    {0xFFF0, 0x0150, 1, 30},
    {0xFFF8, 0x0138, 1, 19},
    {0xFFF8, 0x0130, 1, 20},
    {0xFFF8, 0x0128, 1, 21},
    {0xFFF8, 0x0120, 1, 22},
    {0xFFF0, 0x0110, 0, 31},
    {0xFFE0, 0x00E0, 1, 10},
    {0xFFE0, 0x00C0, 1, 11},
    {0xFFF0, 0x0050, 0, 23},
    {0xFFFE, 0x000A, 1, 25},
    {0xFFFF, 0x0009, 0, 5},
    {0xFFFF, 0x0008, 1, 26},
    {0xFFFE, 0x0006, 1, 27},
    {0xFFFF, 0x0004, 0, 5},
    {0xFFFF, 0x0002, 1, 11},
    {0xFFFB, 0x0001, 0, 28},
    {0xFFFF, 0x0000, 0, 5},
    {0x0000, 0x0000, 0, 29},
}};

// Payload: control words for mode 0 and for the other modes.
constexpr std::array<decode_row<index_pair>, FETCH_CTRL_SELECT_ROWS> fetch_ctrl_table = {{
    {0x8000, 0x8000, 0, {1, 0}},
    {0xE000, 0x6000, 0, {1, 0}},
    {0xF816, 0x3816, 0, {4, 5}},
    {0xF814, 0x3810, 0, {2, 0}},
    {0xF810, 0x3800, 0, {1, 0}},
    {0xF816, 0x3814, 1, {3, 0}},
    {0xF800, 0x3000, 0, {6, 0}},
    {0xFC00, 0x2C00, 1, {7, 0}},
    {0xFC00, 0x2400, 0, {1, 0}},
    {0xFE00, 0x1800, 0, {5, 0}},
    {0xFE00, 0x1600, 0, {1, 0}},
    {0xFF40, 0x1440, 1, {5, 0}},
    {0xFF70, 0x1430, 1, {5, 0}},
    {0xFF00, 0x0E00, 1, {11, 7}},
    {0xFF00, 0x0D00, 0, {15, 17}},
    {0xFF00, 0x0C00, 0, {16, 1}},
    {0xFF00, 0x0B00, 1, {7, 0}},
    {0xFF00, 0x0A00, 1, {8, 0}},
    {0xFF10, 0x0710, 1, {11, 7}},
    {0xFF10, 0x0700, 1, {4, 7}},
    {0xFF10, 0x0600, 1, {8, 0}},
    {0xFF10, 0x0610, 1, {13, 0}},
    {0xFFE0, 0x0400, 1, {11, 7}},
    {0xFF30, 0x0330, 0, {15, 9}},
    {0xFE20, 0x0200, 0, {9, 0}},
    {0xFF30, 0x0230, 0, {14, 1}},
    {0xFF80, 0x0180, 0, {10, 0}},
    {0xFFF8, 0x0138, 1, {11, 7}},
    {0xFFF8, 0x0130, 1, {11, 8}},
    {0xFFF8, 0x0128, 1, {4, 7}},
    {0xFFF8, 0x0120, 1, {8, 0}},
    {0xFFE0, 0x00E0, 1, {5, 0}},
    {0xFFE0, 0x00C0, 1, {12, 7}},
    {0xFFFF, 0x0002, 1, {11, 7}},
    {0x0000, 0x0000, 0, {0, 0}},
}};

constexpr std::array<decode_row<uint32_t>, INSTR_FLAG_ROWS> instr_flag_table = {{
    {0x8000, 0x8000, 0, 0x0},
    {0xE000, 0x6000, 0, 0x8000},
    {0xE000, 0x4000, 0, 0x0},
    {0xFC16, 0x3C16, 0, 0x0},
    {0xFC14, 0x3C10, 0, 0x0},
    {0xFC10, 0x3C00, 0, 0x0},
    {0xF81E, 0x381C, 1, 0x0},
    {0xFC16, 0x3816, 0, 0x0},
    {0xF81E, 0x3814, 1, 0x0},
    {0xFC14, 0x3810, 0, 0x0},
    {0xFC10, 0x3800, 0, 0x0},
    {0xF800, 0x3000, 0, 0x0},
    {0xFC00, 0x2C00, 1, 0x2000},
    {0xFC00, 0x2800, 0, 0x0},
    {0xFC00, 0x2400, 0, 0x0},
    {0xFC00, 0x2000, 0, 0x0},
    {0xFD00, 0x1D00, 0, 0x10},
    {0xFD00, 0x1C00, 0, 0x4},
    {0xFF00, 0x1B00, 0, 0x20},
    {0xFF00, 0x1A00, 0, 0x8},
    {0xFF00, 0x1900, 0, 0x0},
    {0xFF00, 0x1800, 0, 0x0},
    {0xFE00, 0x1600, 0, 0x0},
    {0xFFF7, 0x1571, 0, 0x0},
    {0xFFF4, 0x1520, 0, 0x40},
    {0xFFF6, 0x1500, 0, 0x0},
    {0xFF00, 0x1500, 0, 0x0},
    {0xFFC0, 0x14C0, 1, 0x0},
    {0xFFF0, 0x14B0, 1, 0x0},
    {0xFFE0, 0x1480, 1, 0x0},
    {0xFFC0, 0x1440, 1, 0x200},
    {0xFFF0, 0x1430, 1, 0x200},
    {0xFFE0, 0x1400, 1, 0x200},
    {0xFC02, 0x1000, 0, 0x100},
    {0xFE00, 0x0E00, 1, 0x0},
    {0xFE00, 0x0C00, 0, 0x0},
    {0xFE00, 0x0A00, 1, 0x0},
    {0xFF10, 0x0710, 1, 0x0},
    {0xFF10, 0x0700, 1, 0x20000},
    {0xFF10, 0x0610, 1, 0x0},
    {0xFF10, 0x0600, 1, 0x20000},
    {0xFF00, 0x0500, 1, 0x0},
    {0xFFC0, 0x0400, 1, 0x0},
    {0xFE20, 0x0200, 0, 0x0},
    {0xFE30, 0x0230, 0, 0x0},
    {0xFF80, 0x0180, 0, 0x0},
    {0xFFF0, 0x0150, 1, 0x10000},
    {0xFFF0, 0x0130, 1, 0x0},
    {0xFFF0, 0x0120, 1, 0x20000},
    {0xFFF0, 0x0110, 0, 0x0},
    {0xFFC0, 0x00C0, 1, 0x0},
    {0xFFF0, 0x0050, 0, 0x0},
    {0xFFFF, 0x000B, 1, 0x400},
    {0xFFFF, 0x000A, 1, 0x800},
    {0xFFFF, 0x0009, 0, 0x1},
    {0xFFFF, 0x0008, 1, 0x80},
    {0xFFFE, 0x0006, 1, 0x0},
    {0xFFFF, 0x0005, 0, 0x2},
    {0xFFFF, 0x0004, 0, 0x1000},
    {0xFFFF, 0x0002, 1, 0x40000},
    {0xFFFE, 0x0000, 0, 0x0},
    {0x0000, 0x0000, 0, 0x4002},
}};

constexpr std::array<decode_row<uint16_t>, INSTR_CLASS_ROWS> instr_class_table = {{
    {0xE000, 0x6000, 0, 0x1},
    {0xFC00, 0x2C00, 1, 0x400},
    {0xFC00, 0x2000, 0, 0x200},
    {0xFE00, 0x1800, 0, 0x400},
    {0xFE00, 0x1600, 0, 0x2},
    {0xFFF7, 0x1571, 0, 0x4},
    {0xFFF4, 0x1520, 0, 0x0},
    {0xFFF6, 0x1500, 0, 0x4},
    {0xFF00, 0x1500, 0, 0x4},
    {0xFFC0, 0x14C0, 1, 0x400},
    {0xFFC0, 0x1440, 1, 0x400},
    {0xFC02, 0x1000, 0, 0x8},
    {0xFE00, 0x0C00, 0, 0x800},
    {0xFF00, 0x0B00, 1, 0x200},
    {0xFF00, 0x0A00, 1, 0x110},
    {0xFE20, 0x0600, 1, 0x100},
    {0xFF00, 0x0500, 1, 0x290},
    {0xFFE4, 0x0120, 1, 0x100},
    {0x0000, 0x0000, 0, 0x0},
}};

// Payload: where the address register field sits and how each address
// unit updates.
constexpr std::array<decode_row<uint32_t>, MOVE_FORM_ROWS> move_form_table = {{
    {0x8000, 0x8000, 0, 0x81},
    {0xE000, 0x6000, 0, 0x110},
    {0xF814, 0x3810, 0, 0x440020},
    {0xF810, 0x3800, 0, 0x10020},
    {0xF800, 0x3000, 0, 0x80002},
    {0xFC00, 0x2400, 0, 0x204},
    {0xFE00, 0x1600, 0, 0x20004},
    {0xFFF4, 0x1520, 0, 0x400020},
    {0xFF70, 0x1430, 0, 0x20},
    {0xFF00, 0x0D00, 0, 0x804},
    {0xFF00, 0x0C00, 0, 0x1008},
    {0xFE10, 0x0600, 0, 0x4},
    {0xFE30, 0x0230, 0, 0xC044},
    {0xFE20, 0x0200, 0, 0x2004},
    {0xFF8C, 0x0180, 0, 0x410020},
    {0xFF80, 0x0180, 0, 0x10020},
    {0xFFF8, 0x0128, 0, 0x400020},
    {0xFFF8, 0x0120, 0, 0x20},
    {0xFFC0, 0x00C0, 0, 0x20},
    {0x0000, 0x0000, 0, 0x0},
}};

// ---------------------------------------------------------------------------
// What the tables select.

constexpr std::array<attr_row, ATTR_ROWS> attr_rows = {{
    {0x0, 0x00000000},  // 0
    {0x0, 0x0068038D},  // 1
    {0x10, 0x00000001},  // 2
    {0x0, 0x00000003},  // 3
    {0x0, 0x0062038B},  // 4
    {0x0, 0x0060038D},  // 5
    {0xF, 0x02000309},  // 6
    {0x8, 0x00000001},  // 7
    {0x8, 0x08620389},  // 8
    {0x0, 0x0060038D},  // 9
    {0x5, 0x207003A9},  // 10
    {0x4, 0x00004801},  // 11
    {0xF, 0x02800309},  // 12
    {0x9, 0x41620389},  // 13
    {0x9, 0x01000001},  // 14
    {0x0, 0x4162038B},  // 15
    {0xF, 0x03000309},  // 16
    {0x0, 0x40620389},  // 17
    {0x6, 0x00000321},  // 18
    {0x3, 0x40620389},  // 19
    {0x0, 0x4062038B},  // 20
    {0x3, 0x00000001},  // 21
    {0xF, 0x02800309},  // 22
    {0x0, 0x21600305},  // 23
    {0x8, 0x02202309},  // 24
    {0x1, 0x30000301},  // 25
    {0x8, 0x20000001},  // 26
    {0x8, 0x00202309},  // 27
    {0xD, 0x30000301},  // 28
    {0xC, 0x30000001},  // 29
    {0x5, 0x217003A9},  // 30
    {0x0, 0x2160838D},  // 31
}};

// Interrupt, reset and loop sequences.
constexpr std::array<special_seq_row, SPECIAL_SEQ_ROWS> special_seq_rows = {{
    {0x0, 0x0, 0x00000000},  // 0
    {0x2, 0x0, 0x00000001},  // 1
    {0xE, 0x0, 0x00000001},  // 2
    {0xF, 0x0, 0x02800309},  // 3
    {0x8, 0x0, 0x00211B89},  // 4
    {0x0, 0x0, 0x10000365},  // 5
    {0x7, 0x0, 0x00000001},  // 6
    {0x0, 0x0, 0x0060009D},  // 7
    {0x0, 0x0, 0x0060038D},  // 8
    {0xF, 0x0, 0x02000309},  // 9
    {0x0, 0x0, 0x0064008D},  // 10
    {0xA, 0x0, 0x10200009},  // 11
    {0xB, 0x0, 0x10000001},  // 12
    {0xC, 0x0, 0x00000001},  // 13
    {0xD, 0x0, 0x00000001},  // 14
    {0x0, 0x0, 0x0060198D},  // 15
    {0x0, 0x0, 0x0068038D},  // 16
}};

constexpr std::array<uint16_t, FETCH_CTRL_WORDS> fetch_ctrl_words = {
    0x0, 0x40B, 0x4C, 0x14, 0x1, 0x403, 0xB, 0x803, 0x103, 0x10B, 0x43, 0x11, 0x411, 0x14, 0x109, 0x409, 0x1001, 0x1003, 0x0, 0x0,
};

constexpr std::array<std::array<uint16_t, OP_TIMING_FIELDS>, OP_TIMING_ROWS> op_timing = {{
    {{0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0}},  // 0
    {{0x220, 0x0, 0x0, 0x0, 0x4, 0x0, 0x3, 0x0}},  // 1
    {{0x0, 0x1100, 0x0, 0x0, 0x8, 0x0, 0x3, 0x0}},  // 2
    {{0x0, 0x1040, 0x0, 0x201, 0x18, 0x0, 0x3, 0x0}},  // 3
    {{0x0, 0x0, 0x60, 0x0, 0x0, 0x0, 0x1, 0x0}},  // 4
    {{0x210, 0x1080, 0x0, 0x0, 0x0, 0x0, 0x3, 0x0}},  // 5
    {{0x204, 0x0, 0x48, 0x0, 0x4, 0x0, 0x3, 0x0}},  // 6
    {{0x0, 0x1010, 0x0, 0x210, 0x8, 0x0, 0x3, 0x0}},  // 7
    {{0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x1}},  // 8
    {{0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x1, 0x0}},  // 9
    {{0x0, 0x1010, 0x0, 0x210, 0x0, 0x3, 0x3, 0x0}},  // 10
    {{0x204, 0x1020, 0x48, 0x220, 0x0, 0x0, 0x3, 0x0}},  // 11
    {{0x240, 0x0, 0x41, 0x280, 0x4, 0x0, 0x3, 0x0}},  // 12
    {{0x0, 0x1200, 0x41, 0x280, 0x8, 0x0, 0x3, 0x0}},  // 13
    {{0x0, 0x1002, 0x0, 0x0, 0x0, 0x5, 0x3, 0x0}},  // 14
    {{0x0, 0x0, 0x0, 0x29, 0x0, 0x9, 0x3, 0x0}},  // 15
    {{0x0, 0x0, 0x0, 0x2A, 0x0, 0x9, 0x3, 0x0}},  // 16
    {{0x202, 0x0, 0x0, 0x0, 0x4, 0x0, 0x3, 0x0}},  // 17
    {{0x0, 0x1001, 0x0, 0x0, 0x8, 0x0, 0x3, 0x0}},  // 18
    {{0x201, 0x0, 0x44, 0x208, 0x4, 0x0, 0x3, 0x0}},  // 19
    {{0x0, 0x0, 0x30, 0x204, 0x0, 0x0, 0x3, 0x0}},  // 20
    {{0x0, 0x0, 0x0, 0x28, 0x0, 0x5, 0x3, 0x0}},  // 21
    {{0x208, 0x0, 0x50, 0x28, 0x0, 0x0, 0x3, 0x0}},  // 22
    {{0x0, 0x0, 0x0, 0x0, 0x2, 0x0, 0x1, 0x0}},  // 23
    {{0x0, 0x0, 0x0, 0x0, 0x8, 0x0, 0x1, 0x0}},  // 24
    {{0x0, 0x0, 0x0, 0x0, 0x1, 0x0, 0x3, 0x0}},  // 25
    {{0x240, 0x0, 0x0, 0x0, 0x0, 0x0, 0x1, 0x0}},  // 26
    {{0x0, 0x1200, 0x0, 0x0, 0x0, 0x0, 0x3, 0x0}},  // 27
    {{0x0, 0x0, 0x16, 0x204, 0x0, 0x0, 0x3, 0x0}},  // 28
    {{0x0, 0x0, 0x16, 0x202, 0x0, 0x0, 0x3, 0x0}},  // 29
    {{0x0, 0x0, 0x0, 0x28, 0x8, 0x0, 0x3, 0x0}},  // 30
    {{0x0, 0x0, 0x0, 0x0, 0x8, 0x0, 0x3, 0x0}},  // 31
    {{0x0, 0x0, 0x0, 0x0, 0x4, 0x0, 0x3, 0x0}},  // 32
    {{0x208, 0x0, 0x50, 0x0, 0x0, 0x0, 0x1, 0x0}},  // 33
    {{0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x3, 0x0}},  // 34
    {{0x0, 0x1020, 0x0, 0x220, 0x0, 0x0, 0x3, 0x0}},  // 35
    {{0x208, 0x0, 0x50, 0x0, 0x0, 0x0, 0x3, 0x0}},  // 36
    {{0x300, 0x1400, 0x41, 0x300, 0x0, 0x0, 0x3, 0x0}},  // 37
    {{0x300, 0x1800, 0x0, 0x0, 0x0, 0x0, 0x3, 0x0}},  // 38
}};

static_assert(well_formed(timing_select_table) && well_formed(exec_attr_table) &&
              well_formed(fetch_ctrl_table) && well_formed(instr_flag_table) &&
              well_formed(instr_class_table) && well_formed(move_form_table));
static_assert(instr_flag_table.back().payload == ILLEGAL_FLAG_WORD);

namespace {

// Every index a table yields must land inside the table it indexes.
constexpr bool indexes_in_range() {
  for (const auto& row : timing_select_table)
    if (row.payload.first >= OP_TIMING_ROWS || row.payload.second >= OP_TIMING_ROWS) return false;
  for (const auto& row : exec_attr_table)
    if (row.payload >= ATTR_ROWS) return false;
  for (const auto& row : fetch_ctrl_table)
    if (row.payload.first >= FETCH_CTRL_WORDS || row.payload.second >= FETCH_CTRL_WORDS)
      return false;
  return true;
}
static_assert(indexes_in_range());

}  // namespace

// ---------------------------------------------------------------------------
// Lookups.

static_assert(TIMING_SELECT_ROWS <= 256 && EXEC_ATTR_SELECT_ROWS <= 256 &&
              FETCH_CTRL_SELECT_ROWS <= 256 && INSTR_FLAG_ROWS <= 256 &&
              INSTR_CLASS_ROWS <= 256 && MOVE_FORM_ROWS <= 256);

std::array<opcode_rows, 0x10000> opcode_row_cache{};

opcode_rows find_opcode_rows(uint16_t word) {
  opcode_rows rows{};
  rows.timing = static_cast<uint8_t>(decode_row_index(timing_select_table, word));
  rows.attr = static_cast<uint8_t>(decode_row_index(exec_attr_table, word));
  rows.fetch = static_cast<uint8_t>(decode_row_index(fetch_ctrl_table, word));
  rows.flags = static_cast<uint8_t>(decode_row_index(instr_flag_table, word));
  rows.cls = static_cast<uint8_t>(decode_row_index(instr_class_table, word));
  rows.move_form = static_cast<uint8_t>(decode_row_index(move_form_table, word));
  rows.ready = true;
  std::atomic_ref<opcode_rows>(opcode_row_cache[word]).store(rows, std::memory_order_relaxed);
  return rows;
}

// ---------------------------------------------------------------------------
// Register selector rules. Each rule reads opcode fields; OR 0x20 places a
// 5-bit field in the upper half of the register code table.

namespace {

constexpr int bit(uint16_t w, int n) {
  return (w >> n) & 1;
}
constexpr int field(uint16_t w, int low, int width) {
  return (w >> low) & ((1 << width) - 1);
}

// Entry tables of the rules that map a field through a list.
constexpr std::array<uint8_t, 16> transfer_source = {32, 33, 34, 35, 36, 37, 38, 39,
                                                     37, 36, 0,  0,  36, 37, 38, 39};
constexpr std::array<uint8_t, 16> dual_read_first = {37, 33, 34, 35, 32, 33, 37, 35,
                                                     36, 33, 34, 35, 32, 33, 36, 35};
constexpr std::array<uint8_t, 16> transfer_dest = {36, 36, 36, 36, 32, 33, 32, 33,
                                                   36, 37, 0,  0,  34, 35, 34, 35};
constexpr std::array<uint8_t, 8> dual_read_second = {16, 16, 16, 16, 18, 18, 17, 18};

int acc_by_bit3(uint16_t w) { return bit(w, 3) ? 0x24 : 0x25; }
int alu_input_by_bits76(uint16_t w) { return 0x20 | (bit(w, 7) << 2) | bit(w, 6); }
int reg_bits5_9(uint16_t w) { return 0x20 | field(w, 5, 5); }
int reg_bits0_4(uint16_t w) { return 0x20 | field(w, 0, 5); }
int transfer_src(uint16_t w) { return transfer_source[field(w, 8, 4)]; }
int reg_bits9_11(uint16_t w) { return 0x20 | field(w, 9, 3); }
int reg_bits0_2(uint16_t w) { return 0x20 | field(w, 0, 3); }
int acc_part0_by_bit3(uint16_t w) { return 0x26 | bit(w, 3); }

int reg_bits8_9(uint16_t w) { return 0x20 | field(w, 8, 2); }
int dual_read_r1(uint16_t w) { return dual_read_first[field(w, 8, 3) + (bit(w, 3) ? 8 : 0)]; }
int transfer_dst(uint16_t w) {
  const int index = field(w, 8, 4);
  return transfer_dest[index] + (index < 4 && !bit(w, 3) ? 1 : 0);
}
int reg_bit0(uint16_t w) { return 0x20 | bit(w, 0); }
int acc_part1_by_bit3(uint16_t w) { return 0x2C | bit(w, 3); }

int whole_acc_by_bit3(uint16_t w) { return 0x14 | bit(w, 3); }
int alu_input_bits4_5(uint16_t w) { return 0x10 | field(w, 4, 2); }
int acc_high_by_bit3(uint16_t w) { return bit(w, 3) ? 0x1C : 0x1D; }

int dual_read_r2(uint16_t w) { return dual_read_second[field(w, 8, 3)]; }
int offset_reg_bits4_5(uint16_t w) { return 0x3C | field(w, 4, 2); }
int address_reg_bits4_5(uint16_t w) { return 0x30 | field(w, 4, 2); }
int other_whole_acc_by_bit3(uint16_t w) { return bit(w, 3) ? 20 : 21; }
int input_pair_by_bit0(uint16_t w) { return 0x12 | bit(w, 0); }

struct selector_rule {
  uint16_t rule;
  int (*code)(uint16_t w);
};

constexpr std::array<selector_rule, 8> field1_rules = {{
    {0x1, acc_by_bit3},
    {0x2, alu_input_by_bits76},
    {0x4, reg_bits5_9},
    {0x8, reg_bits0_4},
    {0x10, transfer_src},
    {0x20, reg_bits9_11},
    {0x40, reg_bits0_2},
    {0x100, acc_part0_by_bit3},
}};

constexpr std::array<selector_rule, 10> field2_rules = {{
    {0x1, alu_input_by_bits76},
    {0x2, reg_bits8_9},
    {0x10, reg_bits5_9},
    {0x20, reg_bits0_4},
    {0x40, dual_read_r1},
    {0x80, transfer_dst},
    {0x100, reg_bits9_11},
    {0x200, reg_bits0_2},
    {0x400, reg_bit0},
    {0x800, acc_part1_by_bit3},
}};

constexpr std::array<selector_rule, 5> field3_rules = {{
    {0x1, whole_acc_by_bit3},
    {0x4, alu_input_bits4_5},
    {0x8, reg_bits5_9},
    {0x10, reg_bits0_4},
    {0x20, acc_high_by_bit3},
}};

constexpr std::array<selector_rule, 8> field4_rules = {{
    {0x1, dual_read_r2},
    {0x2, offset_reg_bits4_5},
    {0x4, address_reg_bits4_5},
    {0x8, other_whole_acc_by_bit3},
    {0x10, reg_bits5_9},
    {0x20, reg_bits0_4},
    {0x80, alu_input_bits4_5},
    {0x100, input_pair_by_bit0},
}};

constexpr int CODE_NONE = 0;

// How a field's value picks its rule. With `direct` non-zero, a value
// without that bit is the register code itself; `ignored` is carried by the
// field but takes no part in the choice; an unknown rule gives no register,
// or for field 3 the code of field 1. Every rule is one bit, so a field's
// rules are laid out by bit number: a rule value with more or fewer bits
// than one names no rule.
using code_fn = int (*)(uint16_t w);
constexpr int RULE_BITS = 16;

struct field_selector {
  std::array<code_fn, RULE_BITS> by_bit;
  uint32_t ignored;
  uint32_t direct;
  bool falls_to_field1;
};

constexpr field_selector make_selector(std::span<const selector_rule> rules, uint32_t ignored,
                                       uint32_t direct, bool falls_to_field1) {
  field_selector f{{}, ignored, direct, falls_to_field1};
  for (const selector_rule& r : rules) {
    // A rule of other than one bit shifts past 31 here and fails to compile.
    int n = 0;
    while ((1u << n) != r.rule) ++n;
    auto& slot = f.by_bit[static_cast<std::size_t>(n)];
    if (slot == nullptr) slot = r.code;  // the first rule of a value wins
  }
  return f;
}

constexpr std::array<field_selector, 4> field_selectors = {{
    make_selector(field1_rules, 0x200, 0, false),
    make_selector(field2_rules, 0x1000, 0, false),
    make_selector(field3_rules, 0x40, 0x40, true),
    make_selector(field4_rules, 0x200, 0x200, false),
}};

}  // namespace

int select_move_code(int field_number, uint32_t rule, uint16_t word, int field1_code) {
  if (field_number < 1 || field_number > static_cast<int>(field_selectors.size())) return CODE_NONE;
  const field_selector& f = field_selectors[field_number - 1];
  if (f.direct && !(rule & f.direct)) return static_cast<int>(rule & 0x3F);
  const uint32_t key = rule & ~f.ignored;
  if (key != 0 && (key & (key - 1)) == 0 && key < (1u << RULE_BITS)) {
    if (const code_fn code = f.by_bit[static_cast<std::size_t>(std::countr_zero(key))])
      return code(word) & 0x3F;
  }
  return f.falls_to_field1 ? (field1_code & 0x3F) : CODE_NONE;
}

// ---------------------------------------------------------------------------
// Register codes: what each of the 64 codes names.

namespace {

constexpr std::array<int8_t, 64> make_reg_code_table() {
  std::array<int8_t, 64> t{};
  for (auto& e : t) e = MOVE_REG_NONE;
  auto set = [&t](int code, int reg) { t[code] = static_cast<int8_t>(reg); };
  const int inputs[4] = {CORE_X0, CORE_Y0, CORE_X1, CORE_Y1};
  for (int i = 0; i < 4; ++i) {
    set(16 + i, inputs[i]);
    set(32 + i, inputs[i]);
    set(48 + i, CORE_R0 + i);
    set(52 + i, CORE_M0 + i);
    set(60 + i, CORE_N0 + i);
  }
  set(20, CORE_A);
  set(21, CORE_B);
  set(22, MOVE_REG_SHORT_IMM);
  set(28, CORE_A1);
  set(29, CORE_B1);
  set(36, CORE_A);
  set(37, CORE_B);
  set(38, CORE_A0);
  set(39, CORE_B0);
  set(40, CORE_LC);
  set(41, CORE_SR);
  set(42, CORE_OMR);
  set(43, CORE_SP);
  set(44, CORE_A1);
  set(45, CORE_B1);
  set(46, CORE_A2);
  set(47, CORE_B2);
  set(56, CORE_SSH);
  set(57, CORE_SSL);
  set(58, CORE_LA);
  return t;
}

}  // namespace

constexpr std::array<int8_t, 64> reg_code_table = make_reg_code_table();

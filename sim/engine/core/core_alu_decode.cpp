// Decoding an opcode into the data ALU operation record: the short,
// extended, multiply and parallel-move forms as tables of operation rows.
#include <array>
#include <cstdint>

#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_state.h"

namespace {

constexpr int X0 = CORE_X0, X1 = CORE_X1, Y0 = CORE_Y0, Y1 = CORE_Y1;
constexpr int A1 = CORE_A1, B1 = CORE_B1;
constexpr int NONE = ALU_NONE;

struct operand_pair {
  int src1, src2;
};

constexpr operand_pair shift_pairs[8] = {{Y0, X0}, {Y0, X0}, {A1, Y0}, {B1, X0},
                                         {Y0, X0}, {Y1, X0}, {X1, Y0}, {X1, Y1}};
constexpr operand_pair short_mul_pairs[4] = {{Y0, X0}, {Y1, X0}, {Y0, X1}, {Y1, X1}};
constexpr operand_pair mul_pairs[8] = {{X0, X0}, {X1, X0}, {A1, Y0}, {B1, X0},
                                       {Y0, X0}, {Y1, X0}, {Y0, X1}, {Y1, X1}};

// One row of the operation tables: operation, sources and destination;
// OTHER stands for the accumulator not chosen as destination.
constexpr int OTHER = -3;
struct op_row {
  int8_t op;
  int16_t src1, src2, dest;
};

// Short form (bits 13-15 = 011, bit 7 clear), by bits 0-4.
constexpr op_row short_rows[32] = {
    {ALU_OP_ADD, X0, NONE, ALU_A},     {ALU_OP_ADD, Y0, NONE, ALU_A},
    {ALU_OP_ADD, X1, NONE, ALU_A},     {ALU_OP_ADD, Y1, NONE, ALU_A},
    {ALU_OP_SUB, X0, NONE, ALU_A},     {ALU_OP_SUB, Y0, NONE, ALU_A},
    {ALU_OP_SUB, X1, NONE, ALU_A},     {ALU_OP_SUB, Y1, NONE, ALU_A},
    {ALU_OP_ADD, X0, NONE, ALU_B},     {ALU_OP_ADD, Y0, NONE, ALU_B},
    {ALU_OP_ADD, X1, NONE, ALU_B},     {ALU_OP_ADD, Y1, NONE, ALU_B},
    {ALU_OP_SUB, X0, NONE, ALU_B},     {ALU_OP_SUB, Y0, NONE, ALU_B},
    {ALU_OP_SUB, X1, NONE, ALU_B},     {ALU_OP_SUB, Y1, NONE, ALU_B},
    {ALU_OP_TFR, X0, NONE, ALU_A},     {ALU_OP_TFR, Y0, NONE, ALU_A},
    {ALU_OP_TFR, X1, NONE, ALU_A},     {ALU_OP_TFR, Y1, NONE, ALU_A},
    {ALU_OP_ADD, ALU_B, NONE, ALU_A},  {ALU_OP_SUB, ALU_B, NONE, ALU_A},
    {ALU_OP_TFR, ALU_B, NONE, ALU_A},  {ALU_OP_NONE, NONE, NONE, NONE},
    {ALU_OP_TFR, X0, NONE, ALU_B},     {ALU_OP_TFR, Y0, NONE, ALU_B},
    {ALU_OP_TFR, X1, NONE, ALU_B},     {ALU_OP_TFR, Y1, NONE, ALU_B},
    {ALU_OP_ADD, ALU_A, NONE, ALU_B},  {ALU_OP_SUB, ALU_A, NONE, ALU_B},
    {ALU_OP_TFR, ALU_A, NONE, ALU_B},  {ALU_OP_NONE, NONE, NONE, NONE},
};

// Parallel-move forms, keys 0-127 with bit 3 cleared: by bits 4-6 and 0-2;
// bit 3 picks the destination.
constexpr op_row move_rows[64] = {
    {ALU_OP_ADD, OTHER, NONE, 0},   {ALU_OP_CLR, NONE, NONE, 0},    {ALU_OP_ADD, ALU_X, NONE, 0},
    {ALU_OP_ADD, ALU_Y, NONE, 0},   {ALU_OP_ADD, X0, NONE, 0},      {ALU_OP_ADD, Y0, NONE, 0},
    {ALU_OP_ADD, X1, NONE, 0},      {ALU_OP_ADD, Y1, NONE, 0},
    {ALU_OP_TFR, OTHER, NONE, 0},   {ALU_OP_NONE, NONE, NONE, NONE}, {ALU_OP_TFR, ALU_X, NONE, 0},
    {ALU_OP_TFR, ALU_Y, NONE, 0},   {ALU_OP_TFR, X0, NONE, 0},      {ALU_OP_TFR, Y0, NONE, 0},
    {ALU_OP_TFR, X1, NONE, 0},      {ALU_OP_TFR, Y1, NONE, 0},
    {ALU_OP_RND, NONE, NONE, 0},    {ALU_OP_TST, NONE, NONE, 0},    {ALU_OP_INC, NONE, NONE, 0},
    {ALU_OP_INC24, NONE, NONE, 0},  {ALU_OP_OR, X0, NONE, 0},       {ALU_OP_OR, Y0, NONE, 0},
    {ALU_OP_OR, X1, NONE, 0},       {ALU_OP_OR, Y1, NONE, 0},
    {ALU_OP_ASR, NONE, NONE, 0},    {ALU_OP_ASL, NONE, NONE, 0},    {ALU_OP_LSR, NONE, NONE, 0},
    {ALU_OP_LSL, NONE, NONE, 0},    {ALU_OP_EOR, X0, NONE, 0},      {ALU_OP_EOR, Y0, NONE, 0},
    {ALU_OP_EOR, X1, NONE, 0},      {ALU_OP_EOR, Y1, NONE, 0},
    {ALU_OP_SUB, OTHER, NONE, 0},   {ALU_OP_SUBL, OTHER, NONE, 0},  {ALU_OP_SUB, ALU_X, NONE, 0},
    {ALU_OP_SUB, ALU_Y, NONE, 0},   {ALU_OP_SUB, X0, NONE, 0},      {ALU_OP_SUB, Y0, NONE, 0},
    {ALU_OP_SUB, X1, NONE, 0},      {ALU_OP_SUB, Y1, NONE, 0},
    {ALU_OP_CMP, OTHER, NONE, 0},   {ALU_OP_CLR24, NONE, NONE, 0},  {ALU_OP_SBC, ALU_X, NONE, 0},
    {ALU_OP_SBC, ALU_Y, NONE, 0},   {ALU_OP_CMP, X0, NONE, 0},      {ALU_OP_CMP, Y0, NONE, 0},
    {ALU_OP_CMP, X1, NONE, 0},      {ALU_OP_CMP, Y1, NONE, 0},
    {ALU_OP_NEG, NONE, NONE, 0},    {ALU_OP_NOT, NONE, NONE, 0},    {ALU_OP_DEC, NONE, NONE, 0},
    {ALU_OP_DEC24, NONE, NONE, 0},  {ALU_OP_AND, X0, NONE, 0},      {ALU_OP_AND, Y0, NONE, 0},
    {ALU_OP_AND, X1, NONE, 0},      {ALU_OP_AND, Y1, NONE, 0},
    {ALU_OP_CMPM, OTHER, NONE, 0},  {ALU_OP_ABS, NONE, NONE, 0},    {ALU_OP_ROR, NONE, NONE, 0},
    {ALU_OP_ROL, NONE, NONE, 0},    {ALU_OP_CMPM, X0, NONE, 0},     {ALU_OP_CMPM, Y0, NONE, 0},
    {ALU_OP_CMPM, X1, NONE, 0},     {ALU_OP_CMPM, Y1, NONE, 0},
};

constexpr int8_t parallel_mul_ops[4] = {ALU_OP_MPY, ALU_OP_MPYR, ALU_OP_MAC, ALU_OP_MACR};

// The extended forms (opcode AND 0xFE00 = 0x1400), by the low byte.
struct extended_row {
  uint8_t key;
  op_row row;
};
constexpr int R0 = CORE_R0, R1 = CORE_R1, R2 = CORE_R2, R3 = CORE_R3;
constexpr int A = ALU_A, B = ALU_B, X = ALU_X, Y = ALU_Y;
constexpr extended_row extended_list[] = {
    {0x00, {ALU_OP_TRANSFER, A, NONE, X}}, {0x01, {ALU_OP_TRANSFER, A, NONE, Y}},
    {0x02, {ALU_OP_ADC, X, NONE, A}},      {0x03, {ALU_OP_ADC, Y, NONE, A}},
    {0x04, {ALU_OP_DIV, X0, NONE, A}},     {0x05, {ALU_OP_DIV, Y0, NONE, A}},
    {0x06, {ALU_OP_DIV, X1, NONE, A}},     {0x07, {ALU_OP_DIV, Y1, NONE, A}},
    {0x08, {ALU_OP_TRANSFER, B, NONE, X}}, {0x09, {ALU_OP_TRANSFER, B, NONE, Y}},
    {0x0A, {ALU_OP_ADC, X, NONE, B}},      {0x0B, {ALU_OP_ADC, Y, NONE, B}},
    {0x0C, {ALU_OP_DIV, X0, NONE, B}},     {0x0D, {ALU_OP_DIV, Y0, NONE, B}},
    {0x0E, {ALU_OP_DIV, X1, NONE, B}},     {0x0F, {ALU_OP_DIV, Y1, NONE, B}},
    {0x14, {ALU_OP_TST2, X0, NONE, NONE}}, {0x15, {ALU_OP_TST2, Y0, NONE, NONE}},
    {0x16, {ALU_OP_TST2, X1, NONE, NONE}}, {0x17, {ALU_OP_TST2, Y1, NONE, NONE}},
    {0x20, {ALU_OP_NORM, R0, NONE, A}},    {0x21, {ALU_OP_NORM, R1, NONE, A}},
    {0x22, {ALU_OP_NORM, R2, NONE, A}},    {0x23, {ALU_OP_NORM, R3, NONE, A}},
    {0x28, {ALU_OP_NORM, R0, NONE, B}},    {0x29, {ALU_OP_NORM, R1, NONE, B}},
    {0x2A, {ALU_OP_NORM, R2, NONE, B}},    {0x2B, {ALU_OP_NORM, R3, NONE, B}},
    {0x30, {ALU_OP_ASR4, NONE, NONE, A}},  {0x31, {ALU_OP_ASL4, NONE, NONE, A}},
    {0x38, {ALU_OP_ASR4, NONE, NONE, B}},  {0x39, {ALU_OP_ASL4, NONE, NONE, B}},
    {0x50, {ALU_OP_ZERO, NONE, NONE, A}},  {0x52, {ALU_OP_EXT, NONE, NONE, A}},
    {0x58, {ALU_OP_ZERO, NONE, NONE, B}},  {0x5A, {ALU_OP_EXT, NONE, NONE, B}},
    {0x60, {ALU_OP_NEGC, NONE, NONE, A}},  {0x68, {ALU_OP_NEGC, NONE, NONE, B}},
    {0x70, {ALU_OP_ASR16, NONE, NONE, A}}, {0x71, {ALU_OP_SWAP, NONE, NONE, A}},
    {0x78, {ALU_OP_ASR16, NONE, NONE, B}}, {0x79, {ALU_OP_SWAP, NONE, NONE, B}},
    {0x80, {ALU_OP_IMPY, X0, X0, A}},      {0x81, {ALU_OP_IMPY, X1, X0, A}},
    {0x82, {ALU_OP_IMPY, A1, Y0, A}},      {0x83, {ALU_OP_IMPY, B1, X0, A}},
    {0x84, {ALU_OP_IMPY, Y0, X0, A}},      {0x85, {ALU_OP_IMPY, Y1, X0, A}},
    {0x86, {ALU_OP_IMPY, Y0, X1, A}},      {0x87, {ALU_OP_IMPY, Y1, X1, A}},
    {0x88, {ALU_OP_IMPY, X0, X0, B}},      {0x89, {ALU_OP_IMPY, X1, X0, B}},
    {0x8A, {ALU_OP_IMPY, A1, Y0, B}},      {0x8B, {ALU_OP_IMPY, B1, X0, B}},
    {0x8C, {ALU_OP_IMPY, Y0, X0, B}},      {0x8D, {ALU_OP_IMPY, Y1, X0, B}},
    {0x8E, {ALU_OP_IMPY, Y0, X1, B}},      {0x8F, {ALU_OP_IMPY, Y1, X1, B}},
    {0x90, {ALU_OP_DMACSS, Y0, X0, A}},    {0x91, {ALU_OP_DMACSS, Y1, X0, A}},
    {0x92, {ALU_OP_DMACSS, Y0, X1, A}},    {0x93, {ALU_OP_DMACSS, Y1, X1, A}},
    {0x98, {ALU_OP_DMACSS, Y0, X0, B}},    {0x99, {ALU_OP_DMACSS, Y1, X0, B}},
    {0x9A, {ALU_OP_DMACSS, Y0, X1, B}},    {0x9B, {ALU_OP_DMACSS, Y1, X1, B}},
    {0xA0, {ALU_OP_IMAC, X0, X0, A}},      {0xA1, {ALU_OP_IMAC, X1, X0, A}},
    {0xA2, {ALU_OP_IMAC, A1, Y0, A}},      {0xA3, {ALU_OP_IMAC, B1, X0, A}},
    {0xA4, {ALU_OP_IMAC, Y0, X0, A}},      {0xA5, {ALU_OP_IMAC, Y1, X0, A}},
    {0xA6, {ALU_OP_IMAC, Y0, X1, A}},      {0xA7, {ALU_OP_IMAC, Y1, X1, A}},
    {0xA8, {ALU_OP_IMAC, X0, X0, B}},      {0xA9, {ALU_OP_IMAC, X1, X0, B}},
    {0xAA, {ALU_OP_IMAC, A1, Y0, B}},      {0xAB, {ALU_OP_IMAC, B1, X0, B}},
    {0xAC, {ALU_OP_IMAC, Y0, X0, B}},      {0xAD, {ALU_OP_IMAC, Y1, X0, B}},
    {0xAE, {ALU_OP_IMAC, Y0, X1, B}},      {0xAF, {ALU_OP_IMAC, Y1, X1, B}},
    {0xB0, {ALU_OP_DMACSU, Y0, X0, A}},    {0xB1, {ALU_OP_DMACSU, Y1, X0, A}},
    {0xB2, {ALU_OP_DMACSU, X1, Y0, A}},    {0xB3, {ALU_OP_DMACSU, X1, Y1, A}},
    {0xB4, {ALU_OP_DMACUU, Y0, X0, A}},    {0xB5, {ALU_OP_DMACUU, Y1, X0, A}},
    {0xB6, {ALU_OP_DMACUU, Y0, X1, A}},    {0xB7, {ALU_OP_DMACUU, Y1, X1, A}},
    {0xB8, {ALU_OP_DMACSU, Y0, X0, B}},    {0xB9, {ALU_OP_DMACSU, Y1, X0, B}},
    {0xBA, {ALU_OP_DMACSU, X1, Y0, B}},    {0xBB, {ALU_OP_DMACSU, X1, Y1, B}},
    {0xBC, {ALU_OP_DMACUU, Y0, X0, B}},    {0xBD, {ALU_OP_DMACUU, Y1, X0, B}},
    {0xBE, {ALU_OP_DMACUU, Y0, X1, B}},    {0xBF, {ALU_OP_DMACUU, Y1, X1, B}},
    {0xC0, {ALU_OP_MPYSU, Y0, X0, A}},     {0xC1, {ALU_OP_MPYSU, Y1, X0, A}},
    {0xC2, {ALU_OP_MPYSU, X1, Y0, A}},     {0xC3, {ALU_OP_MPYSU, X1, Y1, A}},
    {0xC4, {ALU_OP_MPYUU, Y0, X0, A}},     {0xC5, {ALU_OP_MPYUU, Y1, X0, A}},
    {0xC6, {ALU_OP_MPYUU, Y0, X1, A}},     {0xC7, {ALU_OP_MPYUU, Y1, X1, A}},
    {0xC8, {ALU_OP_MPYSU, Y0, X0, B}},     {0xC9, {ALU_OP_MPYSU, Y1, X0, B}},
    {0xCA, {ALU_OP_MPYSU, X1, Y0, B}},     {0xCB, {ALU_OP_MPYSU, X1, Y1, B}},
    {0xCC, {ALU_OP_MPYUU, Y0, X0, B}},     {0xCD, {ALU_OP_MPYUU, Y1, X0, B}},
    {0xCE, {ALU_OP_MPYUU, Y0, X1, B}},     {0xCF, {ALU_OP_MPYUU, Y1, X1, B}},
    {0xE0, {ALU_OP_MACSU, Y0, X0, A}},     {0xE1, {ALU_OP_MACSU, Y1, X0, A}},
    {0xE2, {ALU_OP_MACSU, X1, Y0, A}},     {0xE3, {ALU_OP_MACSU, X1, Y1, A}},
    {0xE4, {ALU_OP_MACUU, Y0, X0, A}},     {0xE5, {ALU_OP_MACUU, Y1, X0, A}},
    {0xE6, {ALU_OP_MACUU, Y0, X1, A}},     {0xE7, {ALU_OP_MACUU, Y1, X1, A}},
    {0xE8, {ALU_OP_MACSU, Y0, X0, B}},     {0xE9, {ALU_OP_MACSU, Y1, X0, B}},
    {0xEA, {ALU_OP_MACSU, X1, Y0, B}},     {0xEB, {ALU_OP_MACSU, X1, Y1, B}},
    {0xEC, {ALU_OP_MACUU, Y0, X0, B}},     {0xED, {ALU_OP_MACUU, Y1, X0, B}},
    {0xEE, {ALU_OP_MACUU, Y0, X1, B}},     {0xEF, {ALU_OP_MACUU, Y1, X1, B}},
};

constexpr std::array<op_row, 256> make_extended_rows() {
  std::array<op_row, 256> t{};
  for (op_row& r : t) r = {ALU_OP_NONE, NONE, NONE, NONE};
  for (const extended_row& e : extended_list) t[e.key] = e.row;
  return t;
}
constexpr auto extended_rows = make_extended_rows();

alu_record record_of(const op_row& row) {
  alu_record rec;
  rec.op = row.op;
  rec.src1 = row.src1;
  rec.src2 = row.src2;
  rec.dest = row.dest;
  return rec;
}

// A parallel-move form: bit 3 of the key picks the destination.
alu_record decode_move_key(uint32_t key) {
  const int dest = (key & 8) ? ALU_B : ALU_A;
  const int other = (key & 8) ? ALU_A : ALU_B;
  alu_record rec;
  if (key >= 128) {
    const operand_pair p = mul_pairs[key & 7];
    rec.op = parallel_mul_ops[(key >> 4) & 3];
    rec.src1 = p.src1;
    rec.src2 = p.src2;
    rec.dest = dest;
    rec.negate = (key & 0x40) ? 1 : 0;
    return rec;
  }
  const op_row& row = move_rows[((key >> 4) << 3) | (key & 7)];
  rec = record_of(row);
  if (rec.src1 == OTHER) rec.src1 = other;
  if (row.op != ALU_OP_NONE) rec.dest = dest;
  return rec;
}

}  // namespace

// ---------------------------------------------------------------------------

alu_record alu_decode(uint32_t opcode) {
  const uint32_t w = opcode & 0xFFFF;
  alu_record rec;
  if ((w & 0xFFD0) == 0x15D0) {
    const operand_pair p = shift_pairs[w & 7];
    rec.op = (w & 0x20) ? ALU_OP_SHFR : ALU_OP_SHFL;
    rec.src1 = p.src1;
    rec.src2 = p.src2;
    rec.dest = (w & 8) ? ALU_B : ALU_A;
  } else if ((w & 0xE000) == 0x6000) {
    if (w & 0x80) {
      static constexpr int8_t ops[4] = {ALU_OP_MPY, ALU_OP_MPYR, ALU_OP_MAC, ALU_OP_MACR};
      const operand_pair p = short_mul_pairs[w & 3];
      rec.op = ops[((w >> 1) & 2) | ((w >> 4) & 1)];
      rec.src1 = p.src1;
      rec.src2 = p.src2;
      rec.dest = (w & 8) ? ALU_B : ALU_A;
    } else {
      rec = record_of(short_rows[w & 0x1F]);
    }
  } else if ((w & 0xFE00) == 0x1400) {
    rec = record_of(extended_rows[w & 0xFF]);
  } else if ((w & 0xFE00) == 0x1600) {
    const operand_pair p = mul_pairs[w & 7];
    rec.op = (w & 0x100) ? ALU_OP_MAC : ALU_OP_MPY;
    rec.src1 = p.src1;
    rec.src2 = p.src2;
    rec.dest = (w & 8) ? ALU_B : ALU_A;
  } else {
    const uint32_t key = (w & 0xFC00) == 0x1000 ? (w & 0x0F) | 0x10 : w & 0xFF;
    rec = decode_move_key(key);
  }
  rec.commit = 1;
  return rec;
}

void alu_decode_operands(uint32_t opcode) {
  const alu_record rec = alu_decode(opcode);
  uint32_t* w = core_words();
  w[CS_ALU_OP] = static_cast<uint32_t>(rec.op);
  w[CS_ALU_COMMIT] = static_cast<uint32_t>(rec.commit);
  w[CS_ALU_SRC1] = static_cast<uint32_t>(rec.src1);
  w[CS_ALU_SRC2] = static_cast<uint32_t>(rec.src2);
  w[CS_ALU_DEST] = static_cast<uint32_t>(rec.dest);
  w[CS_ALU_NEGATE] = static_cast<uint32_t>(rec.negate);
}

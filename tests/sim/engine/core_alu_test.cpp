// The data ALU: a table of operations with operands chosen for carries,
// overflow, limiting, extension and rounding ties; the opcode decoding;
// the bit-field tests; and the moves between accumulators and buses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>

#include "memory_fixture.h"
#include "sim/engine/core/core_alu.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/core/core_tables.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"

namespace {

constexpr uint64_t acc(uint32_t ext, uint32_t mid, uint32_t low) {
  return (static_cast<uint64_t>(ext) << 32) | (static_cast<uint64_t>(mid) << 16) | low;
}

// sr condition bits, low seven.
constexpr uint32_t C = SR_C, V = SR_V, Z = SR_Z, N = SR_N, U = SR_U, E = SR_E, L = SR_L;
constexpr uint32_t CCR = 0x7F;

constexpr int A = ALU_A, B = ALU_B, X = ALU_X, NO = ALU_NONE;
constexpr int X0 = CORE_X0, X1 = CORE_X1, Y0 = CORE_Y0, Y1 = CORE_Y1;

class CoreAlu : public device_fixture {
 protected:
  void SetUp() override {
    device_fixture::SetUp();
    make("73521");
  }
  uint32_t* w() { return core_words(); }
  void put_acc(int base, uint64_t v) {
    w()[base + 1] = static_cast<uint32_t>(v & 0xFFFF);
    w()[base + 2] = static_cast<uint32_t>((v >> 16) & 0xFFFF);
    w()[base + 3] = static_cast<uint32_t>((v >> 32) & 0xFF);
  }
  uint64_t get_acc(int base) { return acc(w()[base + 3], w()[base + 2], w()[base + 1]); }
  void record(int op, int src1, int src2, int dest, int negate = 0) {
    w()[CS_ALU_OP] = static_cast<uint32_t>(op);
    w()[CS_ALU_SRC1] = static_cast<uint32_t>(src1);
    w()[CS_ALU_SRC2] = static_cast<uint32_t>(src2);
    w()[CS_ALU_DEST] = static_cast<uint32_t>(dest);
    w()[CS_ALU_NEGATE] = static_cast<uint32_t>(negate);
  }
  void run_both_phases() {
    w()[CS_ALU_COMMIT] = 1;
    alu_dispatch();
    w()[CS_ALU_COMMIT] = 2;
    alu_dispatch();
  }
};

// ---------------------------------------------------------------------------
// The operation table.

struct alu_case {
  const char* name;
  int op, src1, src2, dest, negate;
  uint64_t a, b;
  uint32_t x0, x1, y0, y1;
  uint32_t sr, omr;
  uint64_t expect;  // the destination accumulator afterwards (a when none)
  uint32_t flags;   // sr bits 0-6 afterwards
};

constexpr uint32_t SCALE_DOWN = SR_SCALE_DOWN, SCALE_UP = SR_SCALE_UP;
constexpr uint32_t SAT = OMR_SATURATE, TWOS = OMR_TWOS_ROUND;

const alu_case alu_cases[] = {
    // Multiplication: +1.0 lands in the extension; sign modes; negation.
    {"mpy 8000x8000", ALU_OP_MPY, Y0, X0, A, 0, 0, 0, 0x8000, 0, 0x8000, 0, C, 0,
     acc(0x00, 0x8000, 0), C | E},
    {"mpy 8000x8000 saturated", ALU_OP_MPY, Y0, X0, A, 0, 0, 0, 0x8000, 0, 0x8000, 0, C, SAT,
     acc(0x00, 0x7FFF, 0xFFFF), C | E | V | L},
    {"mpy negative", ALU_OP_MPY, Y0, X0, A, 0, 0, 0, 0x4000, 0, 0x8000, 0, 0, 0,
     acc(0xFF, 0xC000, 0), N | U},
    {"mpy negated", ALU_OP_MPY, Y0, X0, A, 1, 0, 0, 0x4000, 0, 0x8000, 0, 0, 0,
     acc(0x00, 0x4000, 0), 0},
    {"mpy by zero", ALU_OP_MPY, Y0, X0, B, 1, 0, acc(1, 2, 3), 0, 0, 0x8000, 0, 0, 0, 0, Z | U},
    {"mpysu", ALU_OP_MPYSU, Y0, X0, A, 0, 0, 0, 0xFFFF, 0, 0xFFFF, 0, 0, 0,
     acc(0xFF, 0xFFFE, 0x0002), N | U},
    {"mpyuu", ALU_OP_MPYUU, Y0, X0, A, 0, 0, 0, 0xFFFF, 0, 0xFFFF, 0, 0, 0,
     acc(0x01, 0xFFFC, 0x0002), E | U},
    {"macuu never saturates", ALU_OP_MACUU, Y0, X0, A, 0, 0, 0, 0xFFFF, 0, 0xFFFF, 0, 0, SAT,
     acc(0x01, 0xFFFC, 0x0002), E | U},
    {"mac", ALU_OP_MAC, Y0, X0, A, 0, acc(0, 0, 1), 0, 0x4000, 0, 0x4000, 0, 0, 0,
     acc(0, 0x2000, 1), U},
    {"mac overflow", ALU_OP_MAC, Y0, X0, A, 0, acc(0x7F, 0xFFFF, 0), 0, 0x4000, 0, 0x4000, 0, 0, 0,
     acc(0x80, 0x1FFF, 0), V | N | L | E | U},
    {"mac overflow saturated", ALU_OP_MAC, Y0, X0, A, 0, acc(0x7F, 0xFFFF, 0), 0, 0x4000, 0, 0x4000, 0, 0,
     SAT, acc(0xFF, 0x8000, 0), V | N | L | E},
    {"move keeps sr", ALU_OP_MOVE, NO, NO, A, 0, acc(1, 2, 3), 0, 0, 0, 0, 0, C | V, 0, acc(1, 2, 3), C | V},
    {"macr tie", ALU_OP_MACR, Y0, X0, A, 0, acc(0, 0, 0x8000), 0, 0, 0, 0, 0, 0, 0, 0, Z | U},
    {"mpyr tie convergent", ALU_OP_MPYR, Y0, X0, A, 0, 0, 0, 0x0001, 0, 0x4000, 0, 0, 0, 0, Z | U},
    {"mpyr tie two's complement", ALU_OP_MPYR, Y0, X0, A, 0, 0, 0, 0x0001, 0, 0x4000, 0, 0, TWOS,
     acc(0, 1, 0), U},
    {"dmacss", ALU_OP_DMACSS, Y0, X0, A, 0, acc(0, 0x1234, 0x5678), 0, 0x4000, 0, 0x4000, 0, 0, 0,
     acc(0, 0x2000, 0x1234), U},
    {"impy", ALU_OP_IMPY, X0, X0, A, 0, acc(0, 0, 0xABCD), 0, 3, 0, 0, 0, 0, 0,
     acc(0, 9, 0xABCD), U},
    {"impy negative", ALU_OP_IMPY, X1, X0, A, 0, 0, 0, 3, 0xFFFD, 0, 0, 0, 0,
     acc(0xFF, 0xFFF7, 0), N | U},
    {"imac", ALU_OP_IMAC, Y0, X0, A, 0, acc(0, 5, 0), 0, 2, 0, 0xFFFF, 0, 0, 0, acc(0, 3, 0), U},
    {"imac zero from D1 and D2", ALU_OP_IMAC, Y0, X0, A, 0, acc(0, 0, 0x1111), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 0, 0x1111), Z | U},

    // Increments and additions.
    {"inc into extension", ALU_OP_INC, NO, NO, A, 0, acc(0, 0x7FFF, 0xFFFF), 0, 0, 0, 0, 0, C, 0,
     acc(0, 0x8000, 0), E},
    {"inc saturated", ALU_OP_INC, NO, NO, A, 0, acc(0, 0x7FFF, 0xFFFF), 0, 0, 0, 0, 0, 0, SAT,
     acc(0, 0x7FFF, 0xFFFF), E | V | L},
    {"add overflow", ALU_OP_ADD, B, NO, A, 0, acc(0x7F, 0xFFFF, 0xFFFF), acc(0, 0, 1), 0, 0, 0, 0,
     0, 0, acc(0x80, 0, 0), V | L | N | E | U},
    {"add overflow saturated", ALU_OP_ADD, B, NO, A, 0, acc(0x7F, 0xFFFF, 0xFFFF), acc(0, 0, 1), 0,
     0, 0, 0, 0, SAT, acc(0xFF, 0x8000, 0), V | L | N | E},
    {"add carry", ALU_OP_ADD, B, NO, A, 0, acc(0xFF, 0xFFFF, 0xFFFF), acc(0, 0, 1), 0, 0, 0, 0, 0,
     0, 0, C | Z | U},
    {"adc", ALU_OP_ADC, X, NO, A, 0, acc(0, 0, 1), 0, 1, 0, 0, 0, C, 0, acc(0, 0, 3), U},
    {"add sign-extended X", ALU_OP_ADD, X, NO, A, 0, acc(0, 0x8000, 0), 0, 0, 0x8000, 0, 0, 0, 0, 0,
     C | Z | U},
    {"add Y1 into B", ALU_OP_ADD, Y1, NO, B, 0, 0, acc(0, 0xFFFF, 0), 0, 0, 0, 1, 0, 0,
     acc(1, 0, 0), E | U},
    {"inc24", ALU_OP_INC24, NO, NO, A, 0, acc(0, 0xFFFF, 0x1234), 0, 0, 0, 0, 0, 0, 0,
     acc(1, 0, 0x1234), E | U},

    // Subtractions, compares and negations.
    {"sub borrow", ALU_OP_SUB, X0, NO, A, 0, 0, 0, 1, 0, 0, 0, 0, 0, acc(0xFF, 0xFFFF, 0),
     C | N | U},
    {"sub overflow", ALU_OP_SUB, B, NO, A, 0, acc(0x80, 0, 0), acc(0, 0, 1), 0, 0, 0, 0, 0, 0,
     acc(0x7F, 0xFFFF, 0xFFFF), V | L | U | E},
    {"sub overflow saturated", ALU_OP_SUB, B, NO, A, 0, acc(0x80, 0, 0), acc(0, 0, 1), 0, 0, 0, 0, 0,
     SAT, acc(0, 0x7FFF, 0xFFFF), V | L | E},
    {"dec into B borrows", ALU_OP_DEC, NO, NO, B, 0, acc(1, 2, 3), 0, 0, 0, 0, 0, 0, 0,
     acc(0xFF, 0xFFFF, 0xFFFF), C | N | U},
    {"cmp equal", ALU_OP_CMP, X0, NO, A, 0, acc(0, 0x1000, 0), 0, 0x1000, 0, 0, 0, C | N, 0,
     acc(0, 0x1000, 0), Z | U},
    {"cmp saturating flags only", ALU_OP_CMP, B, NO, A, 0, acc(0x80, 0, 0), acc(0, 0, 1), 0, 0, 0, 0,
     0, SAT, acc(0x80, 0, 0), V | L | E},
    {"neg most negative", ALU_OP_NEG, NO, NO, A, 0, acc(0x80, 0, 0), 0, 0, 0, 0, 0, 0, 0,
     acc(0x80, 0, 0), C | V | L | N | U | E},
    {"neg most negative saturated", ALU_OP_NEG, NO, NO, A, 0, acc(0x80, 0, 0), 0, 0, 0, 0, 0, 0, SAT,
     acc(0xFF, 0x8000, 0), C | V | L | N | E},
    {"abs saturated keeps C", ALU_OP_ABS, NO, NO, A, 0, acc(0x80, 0, 0), 0, 0, 0, 0, 0, C, SAT,
     acc(0xFF, 0x8000, 0), C | V | L | N | E},
    {"sbc", ALU_OP_SBC, X, NO, A, 0, acc(0, 0, 3), 0, 1, 0, 0, 0, C, 0, acc(0, 0, 1), U},
    {"subl", ALU_OP_SUBL, B, NO, A, 0, acc(0, 0x1000, 0), acc(0, 0x0800, 0), 0, 0, 0, 0, 0, 0,
     acc(0, 0x1800, 0), U},
    {"dec24 zero from D1 and D2", ALU_OP_DEC24, NO, NO, A, 0, acc(0, 1, 0x5555), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 0, 0x5555), Z | U},
    {"cmp leaves D", ALU_OP_CMP, X0, NO, A, 0, acc(0, 0x1000, 0), 0, 0x2000, 0, 0, 0, 0, 0,
     acc(0, 0x1000, 0), C | N | U},
    {"cmpm", ALU_OP_CMPM, X0, NO, A, 0, acc(0xFF, 0xF000, 0), 0, 0x2000, 0, 0, 0, 0, 0,
     acc(0xFF, 0xF000, 0), C | N | U},
    {"cmpm most negative", ALU_OP_CMPM, X0, NO, A, 0, acc(0x80, 0, 0), 0, 0, 0, 0, 0, 0, 0,
     acc(0x80, 0, 0), V | L | N | E | U},
    {"abs", ALU_OP_ABS, NO, NO, A, 0, acc(0xFF, 0xFFFF, 0), 0, 0, 0, 0, 0, C, 0, acc(0, 1, 0),
     C | U},
    {"abs most negative", ALU_OP_ABS, NO, NO, A, 0, acc(0x80, 0, 0), 0, 0, 0, 0, 0, 0, 0,
     acc(0x80, 0, 0), V | L | N | E | U},
    {"neg", ALU_OP_NEG, NO, NO, A, 0, acc(0, 1, 0), 0, 0, 0, 0, 0, 0, 0, acc(0xFF, 0xFFFF, 0),
     C | N | U},
    {"neg zero", ALU_OP_NEG, NO, NO, A, 0, 0, 0, 0, 0, 0, 0, C, 0, 0, Z | U},
    {"negc", ALU_OP_NEGC, NO, NO, A, 0, 0, 0, 0, 0, 0, 0, C, 0, acc(0xFF, 0xFFFF, 0xFFFF),
     C | N | U},

    // Rounding: convergent ties go to even, two's-complement ties up.
    {"rnd tie up to even", ALU_OP_RND, NO, NO, A, 0, acc(0, 1, 0x8000), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 2, 0), U},
    {"rnd tie down to even", ALU_OP_RND, NO, NO, A, 0, acc(0, 2, 0x8000), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 2, 0), U},
    {"rnd two's complement tie", ALU_OP_RND, NO, NO, A, 0, acc(0, 2, 0x8000), 0, 0, 0, 0, 0, 0,
     TWOS, acc(0, 3, 0), U},
    {"rnd negative tie", ALU_OP_RND, NO, NO, A, 0, acc(0xFF, 0xFFFE, 0x8000), 0, 0, 0, 0, 0, 0, 0,
     acc(0xFF, 0xFFFE, 0), N | U},
    {"rnd negative tie two's complement", ALU_OP_RND, NO, NO, A, 0, acc(0xFF, 0xFFFE, 0x8000), 0,
     0, 0, 0, 0, 0, TWOS, acc(0xFF, 0xFFFF, 0), N | U},
    {"rnd minus half", ALU_OP_RND, NO, NO, A, 0, acc(0xFF, 0xFFFF, 0x8000), 0, 0, 0, 0, 0, 0, 0, 0,
     Z | U},
    {"rnd below half", ALU_OP_RND, NO, NO, A, 0, acc(0, 1, 0x7FFF), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 1, 0), U},
    {"rnd above half", ALU_OP_RND, NO, NO, A, 0, acc(0, 1, 0x8001), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 2, 0), U},
    {"rnd scaled down tie", ALU_OP_RND, NO, NO, A, 0, acc(0, 1, 0), 0, 0, 0, 0, 0, SCALE_DOWN, 0, 0,
     Z | U},
    {"rnd scaled down tie to even", ALU_OP_RND, NO, NO, A, 0, acc(0, 3, 0), 0, 0, 0, 0, 0,
     SCALE_DOWN, 0, acc(0, 4, 0), U},
    {"rnd scaled up tie", ALU_OP_RND, NO, NO, A, 0, acc(0, 0, 0x4000), 0, 0, 0, 0, 0, SCALE_UP, 0, 0,
     Z | U},
    {"rnd scaled up tie to even", ALU_OP_RND, NO, NO, A, 0, acc(0, 0, 0xC000), 0, 0, 0, 0, 0,
     SCALE_UP, 0, acc(0, 1, 0), U},

    // Shifts.
    {"asl overflow", ALU_OP_ASL, NO, NO, A, 0, acc(0x40, 0, 0), 0, 0, 0, 0, 0, 0, 0,
     acc(0x80, 0, 0), V | L | N | E | U},
    {"asl carry", ALU_OP_ASL, NO, NO, A, 0, acc(0x80, 0, 1), 0, 0, 0, 0, 0, 0, 0, acc(0, 0, 2),
     C | U},
    {"asr saturated", ALU_OP_ASR, NO, NO, A, 0, acc(0x7F, 0, 0), 0, 0, 0, 0, 0, C, SAT,
     acc(0, 0x7FFF, 0xFFFF), V | L | E},
    {"asl4", ALU_OP_ASL4, NO, NO, A, 0, acc(0, 0x0800, 1), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 0x8000, 0x10), E},
    {"asl4 overflow", ALU_OP_ASL4, NO, NO, A, 0, acc(0x08, 0, 0), 0, 0, 0, 0, 0, 0, SAT,
     acc(0x80, 0, 0), V | L | N | E | U},
    {"asr", ALU_OP_ASR, NO, NO, A, 0, acc(0xFF, 0x8000, 1), 0, 0, 0, 0, 0, 0, 0,
     acc(0xFF, 0xC000, 0), C | N | U},
    {"asr4", ALU_OP_ASR4, NO, NO, B, 0, 0, acc(0x00, 0x0001, 0x0008), 0, 0, 0, 0, 0, 0,
     acc(0, 0, 0x1000), C | U},
    {"asr16", ALU_OP_ASR16, NO, NO, A, 0, acc(0xFF, 0x8000, 0x1234), 0, 0, 0, 0, 0, 0, 0,
     acc(0xFF, 0xFFFF, 0x8000), N | U},
    {"shfl", ALU_OP_SHFL, Y0, X0, A, 0, 0, 0, 4, 0, 3, 0, U | E, 0, acc(0, 0x0030, 0), U | E},
    {"shfr", ALU_OP_SHFR, Y0, X0, A, 0, 0, 0, 4, 0, 0x8001, 0, 0, 0, acc(0xFF, 0xF800, 0x1000), N},

    // Operations on D1.
    {"lsl", ALU_OP_LSL, NO, NO, A, 0, acc(0x12, 0x8001, 0x3456), 0, 0, 0, 0, 0, V | U | E, 0,
     acc(0x12, 0x0002, 0x3456), C | U | E},
    {"lsr", ALU_OP_LSR, NO, NO, A, 0, acc(0, 1, 0), 0, 0, 0, 0, 0, N, 0, 0, C | Z},
    {"rol", ALU_OP_ROL, NO, NO, A, 0, acc(0, 0x8000, 0), 0, 0, 0, 0, 0, 0, 0, 0, C | Z},
    {"ror", ALU_OP_ROR, NO, NO, A, 0, acc(0, 1, 0), 0, 0, 0, 0, 0, C, 0, acc(0, 0x8000, 0), C | N},
    {"and", ALU_OP_AND, X0, NO, A, 0, acc(0, 0xF0F0, 0), 0, 0x0FF0, 0, 0, 0, V | Z | N, 0,
     acc(0, 0x00F0, 0), 0},
    {"or", ALU_OP_OR, Y1, NO, A, 0, acc(0, 0x8000, 0), 0, 0, 0, 0, 1, 0, 0, acc(0, 0x8001, 0), N},
    {"eor", ALU_OP_EOR, X1, NO, A, 0, acc(0, 0xFFFF, 0), 0, 0, 0xFFFF, 0, 0, 0, 0, 0, Z},
    {"and into B", ALU_OP_AND, X0, NO, B, 0, 0, acc(0x12, 0xFFFF, 0x3456), 0x8001, 0, 0, 0, C | V, 0,
     acc(0x12, 0x8001, 0x3456), C | N},
    {"not to zero", ALU_OP_NOT, NO, NO, A, 0, acc(0, 0xFFFF, 0), 0, 0, 0, 0, 0, N | V, 0, 0, Z},
    {"not", ALU_OP_NOT, NO, NO, A, 0, acc(0x55, 0x00FF, 0x1234), 0, 0, 0, 0, 0, C, 0,
     acc(0x55, 0xFF00, 0x1234), C | N},

    // Clearing, extension, tests and transfers.
    {"clr keeps C", ALU_OP_CLR, NO, NO, A, 0, acc(0x12, 0x3456, 0x789A), 0, 0, 0, 0, 0, C | V | N, 0,
     0, C | Z | U},
    {"clr24", ALU_OP_CLR24, NO, NO, A, 0, acc(0x12, 0x3456, 0x789A), 0, 0, 0, 0, 0, C | N | E, 0,
     acc(0, 0, 0x789A), C | Z | U},
    {"ext", ALU_OP_EXT, NO, NO, A, 0, acc(0, 0x8000, 0x1234), 0, 0, 0, 0, 0, 0, 0,
     acc(0xFF, 0x8000, 0x1234), N},
    {"zero", ALU_OP_ZERO, NO, NO, A, 0, acc(0xFF, 0x8000, 0), 0, 0, 0, 0, 0, 0, 0,
     acc(0, 0x8000, 0), E},
    {"tst", ALU_OP_TST, NO, NO, A, 0, 0, 0, 0, 0, 0, 0, C | V, 0, 0, Z | U},
    {"tst saturating flags only", ALU_OP_TST, NO, NO, A, 0, acc(1, 0, 0), 0, 0, 0, 0, 0, C, SAT,
     acc(1, 0, 0), E | V | L},
    {"tst2", ALU_OP_TST2, X0, NO, NO, 0, acc(1, 2, 3), 0, 0x8000, 0, 0, 0, C, 0, acc(1, 2, 3), N},
    {"swap keeps sr", ALU_OP_SWAP, NO, NO, A, 0, acc(0x12, 0x3456, 0x789A), 0, 0, 0, 0, 0, C | Z, 0,
     acc(0x12, 0x789A, 0x3456), C | Z},
    {"tfr keeps sr", ALU_OP_TFR, X0, NO, A, 0, 0, 0, 0x8000, 0, 0, 0, C, 0, acc(0xFF, 0x8000, 0), C},
    {"tfr accumulator", ALU_OP_TFR, A, NO, B, 0, acc(0x12, 0x3456, 0x789A), 0, 0, 0, 0, 0, 0, 0,
     acc(0x12, 0x3456, 0x789A), 0},

    // Division steps: the sign of D before the shift picks add or subtract.
    {"div subtract", ALU_OP_DIV, X0, NO, A, 0, acc(0, 0x1000, 0), 0, 0x4000, 0, 0, 0, Z, 0,
     acc(0xFF, 0xE000, 0), Z},
    {"div add", ALU_OP_DIV, X0, NO, A, 0, acc(0xFF, 0xE000, 0), 0, 0x4000, 0, 0, 0, 0, 0, 0, C},
    {"div sign change", ALU_OP_DIV, X0, NO, A, 0, acc(0x40, 0, 0), 0, 0, 0, 0, 0, 0, 0,
     acc(0x80, 0, 0), V | L},
};

void PrintTo(const alu_case& c, std::ostream* os) {
  *os << c.name;
}

class AluCases : public CoreAlu, public ::testing::WithParamInterface<alu_case> {};

// Each case by the two phases and by alu_run_both, which must leave the
// same registers and the same marks: with no register marked yet, with
// every register marked (the stores of a loop after its first pass), and
// with the parts marked but not the accumulators they make up.
TEST_P(AluCases, ResultAndConditionCodes) {
  const alu_case& t = GetParam();
  constexpr uint32_t MARKED = ATTR_WRITTEN | ATTR_CHANGED;
  enum { NONE_MARKED, ALL_MARKED, PARTS_MARKED };
  for (const int marked : {NONE_MARKED, ALL_MARKED, PARTS_MARKED}) {
    std::array<uint32_t, CORE_REG_WORDS> marks{};
    for (const bool at_once : {false, true}) {
      SCOPED_TRACE(std::string(at_once ? "at once" : "two phases") + ", marks " + std::to_string(marked));
      put_acc(CORE_A, t.a);
      put_acc(CORE_B, t.b);
      w()[CORE_X0] = t.x0;
      w()[CORE_X1] = t.x1;
      w()[CORE_Y0] = t.y0;
      w()[CORE_Y1] = t.y1;
      w()[CORE_SR] = t.sr;
      w()[CORE_OMR] = t.omr;
      uint32_t* attrs = cur_state->core_attrs;
      const int count = core_reg_count();
      std::fill(attrs, attrs + count, marked == NONE_MARKED ? 0u : MARKED);
      if (marked == PARTS_MARKED) attrs[CORE_A] = attrs[CORE_B] = 0;
      record(t.op, t.src1, t.src2, t.dest, t.negate);
      if (at_once)
        alu_run_both();
      else
        run_both_phases();
      const int base = t.dest == B ? CORE_B : CORE_A;
      EXPECT_EQ(get_acc(base), t.expect) << std::hex << get_acc(base);
      EXPECT_EQ(w()[CORE_SR] & CCR, t.flags) << std::hex << w()[CORE_SR];
      EXPECT_EQ(w()[CORE_SR] & ~CCR, t.sr & ~CCR);  // the mode bits are never touched
      if (at_once)
        EXPECT_TRUE(std::equal(attrs, attrs + count, marks.begin()));
      else
        std::copy(attrs, attrs + count, marks.begin());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, AluCases, ::testing::ValuesIn(alu_cases),
                         [](const ::testing::TestParamInfo<alu_case>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// ---------------------------------------------------------------------------
// Phases and sr restoring.

TEST_F(CoreAlu, FirstPhaseLoadsLatchesOnly) {
  put_acc(CORE_A, acc(0x12, 0x3456, 0x789A));
  w()[CORE_Y1] = 0x8001;
  w()[CORE_SR] = 0;
  record(ALU_OP_ADD, Y1, NO, A);
  w()[CS_ALU_COMMIT] = 1;
  alu_dispatch();
  EXPECT_EQ(w()[CS_LSA], 0x789Au);
  EXPECT_EQ(w()[CS_MSA], 0x3456u);
  EXPECT_EQ(w()[CS_EXA], 0x12u);
  EXPECT_EQ(w()[CS_ZB], 0x8001u);
  EXPECT_EQ(w()[CS_MB], 0u);
  EXPECT_EQ(w()[CS_EB], 0xFFu);
  EXPECT_EQ(get_acc(CORE_A), acc(0x12, 0x3456, 0x789A));
  EXPECT_EQ(w()[CORE_SR], 0u);

  // The second phase works on the latches, not on the registers.
  w()[CORE_Y1] = 0;
  w()[CS_ALU_COMMIT] = 2;
  alu_dispatch();
  EXPECT_EQ(get_acc(CORE_A), acc(0x11, 0xB457, 0x789A));
  EXPECT_EQ(w()[CS_MSP], 0xB457u);
  EXPECT_EQ(w()[CS_EXT], 0x11u);
}

TEST_F(CoreAlu, MoveIntoSrSurvivesOnlyTheSrKeepingOperations) {
  // A parallel move writes sr between the two phases.
  record(ALU_OP_MOVE, NO, NO, NO);
  w()[CORE_SR] = 0x0300;
  w()[CS_ALU_COMMIT] = 1;
  alu_dispatch();
  w()[CORE_SR] = 0x0305;
  w()[CS_ALU_COMMIT] = 2;
  alu_dispatch();
  EXPECT_EQ(w()[CORE_SR], 0x0305u);

  put_acc(CORE_A, 0);
  record(ALU_OP_TST, NO, NO, A);
  w()[CS_ALU_COMMIT] = 1;
  alu_dispatch();
  w()[CORE_SR] = 0x0308;  // N moved in; tst recomputes it
  w()[CS_ALU_COMMIT] = 2;
  alu_dispatch();
  EXPECT_EQ(w()[CORE_SR], 0x0300u | Z | U);
}

TEST_F(CoreAlu, NormalizeStepsCountInTheAddressRegister) {
  w()[CORE_SR] = E;
  put_acc(CORE_A, acc(0x01, 0, 0));
  w()[CORE_R0] = 5;
  record(ALU_OP_NORM, CORE_R0, NO, A);
  run_both_phases();
  EXPECT_EQ(get_acc(CORE_A), acc(0, 0x8000, 0));
  EXPECT_EQ(w()[CORE_R0], 6u);
  EXPECT_EQ(w()[CORE_SR] & CCR, E);

  // Direct entry: b from opcode bit 3, r1 from bits 0-1.
  w()[CORE_SR] = U;
  put_acc(CORE_B, acc(0, 0x2000, 0));
  w()[CORE_R1] = 0;
  alu_norm(0x1429);
  EXPECT_EQ(get_acc(CORE_B), acc(0, 0x4000, 0));
  EXPECT_EQ(w()[CORE_R1], 0xFFFFu);
  EXPECT_EQ(w()[CORE_SR] & CCR, 0u);

  // Normalised already: nothing moves.
  w()[CORE_SR] = 0;
  put_acc(CORE_A, acc(0, 0x4000, 0));
  w()[CORE_R2] = 7;
  alu_norm(0x1422);
  EXPECT_EQ(get_acc(CORE_A), acc(0, 0x4000, 0));
  EXPECT_EQ(w()[CORE_R2], 7u);
}

// ---------------------------------------------------------------------------
// Decoding.

void expect_record(uint32_t opcode, int op, int src1, int src2, int dest, int negate = 0) {
  const alu_record r = alu_decode(opcode);
  SCOPED_TRACE(::testing::Message() << "opcode 0x" << std::hex << opcode);
  EXPECT_EQ(r.op, op);
  EXPECT_EQ(r.src1, src1);
  EXPECT_EQ(r.src2, src2);
  EXPECT_EQ(r.dest, dest);
  EXPECT_EQ(r.negate, negate);
  EXPECT_EQ(r.commit, 1);
}

struct decode_case {
  uint32_t opcode;
  int op, src1, src2, dest, negate;
};

void expect_records(std::initializer_list<decode_case> cases) {
  for (const decode_case& c : cases) {
    expect_record(c.opcode, c.op, c.src1, c.src2, c.dest, c.negate);
  }
}

TEST(AluDecode, EveryOpcodeForm) {
  expect_records({
      // Shifts and short forms.
      {0x15D0, ALU_OP_SHFL, Y0, X0, A, 0}, {0x15FA, ALU_OP_SHFR, CORE_A1, Y0, B, 0},
      {0x6080, ALU_OP_MPY, Y0, X0, A, 0}, {0x6090, ALU_OP_MPYR, Y0, X0, A, 0},
      {0x6084, ALU_OP_MAC, Y0, X0, A, 0}, {0x609F, ALU_OP_MACR, Y1, X1, B, 0},
      {0x6001, ALU_OP_ADD, Y0, NO, A, 0}, {0x600E, ALU_OP_SUB, X1, NO, B, 0},
      {0x6013, ALU_OP_TFR, Y1, NO, A, 0}, {0x6014, ALU_OP_ADD, B, NO, A, 0},
      {0x6016, ALU_OP_TFR, B, NO, A, 0}, {0x6017, ALU_OP_NONE, NO, NO, NO, 0},
      {0x601C, ALU_OP_ADD, A, NO, B, 0}, {0x601D, ALU_OP_SUB, A, NO, B, 0},
      {0x6019, ALU_OP_TFR, Y0, NO, B, 0}, {0x601F, ALU_OP_NONE, NO, NO, NO, 0},
      // Extended and multiply forms.
      {0x1400, ALU_OP_TRANSFER, A, NO, X, 0}, {0x1409, ALU_OP_TRANSFER, B, NO, ALU_Y, 0},
      {0x140B, ALU_OP_ADC, ALU_Y, NO, B, 0}, {0x1406, ALU_OP_DIV, X1, NO, A, 0},
      {0x1417, ALU_OP_TST2, Y1, NO, NO, 0}, {0x142A, ALU_OP_NORM, CORE_R2, NO, B, 0},
      {0x1439, ALU_OP_ASL4, NO, NO, B, 0}, {0x1479, ALU_OP_SWAP, NO, NO, B, 0},
      {0x1482, ALU_OP_IMPY, CORE_A1, Y0, A, 0}, {0x14BA, ALU_OP_DMACSU, X1, Y0, B, 0},
      {0x14C5, ALU_OP_MPYUU, Y1, X0, A, 0}, {0x14EF, ALU_OP_MACUU, Y1, X1, B, 0},
      {0x1455, ALU_OP_NONE, NO, NO, NO, 0}, {0x14FF, ALU_OP_NONE, NO, NO, NO, 0},
      {0x160B, ALU_OP_MPY, CORE_B1, X0, B, 0}, {0x1702, ALU_OP_MAC, CORE_A1, Y0, A, 0},
      // Parallel-move forms.
      {0x8000, ALU_OP_ADD, B, NO, A, 0}, {0x8008, ALU_OP_ADD, A, NO, B, 0},
      {0x8001, ALU_OP_CLR, NO, NO, A, 0}, {0x800A, ALU_OP_ADD, X, NO, B, 0},
      {0x8019, ALU_OP_NONE, NO, NO, NO, 0}, {0x8021, ALU_OP_TST, NO, NO, A, 0},
      {0x803C, ALU_OP_EOR, X0, NO, B, 0}, {0x8041, ALU_OP_SUBL, B, NO, A, 0},
      {0x8051, ALU_OP_CLR24, NO, NO, A, 0}, {0x805B, ALU_OP_SBC, ALU_Y, NO, B, 0},
      {0x8066, ALU_OP_AND, X1, NO, A, 0}, {0x8070, ALU_OP_CMPM, B, NO, A, 0},
      {0x8077, ALU_OP_CMPM, Y1, NO, A, 0}, {0x807B, ALU_OP_ROL, NO, NO, B, 0},
      {0x80C6, ALU_OP_MPY, Y0, X1, A, 1}, {0x80B9, ALU_OP_MACR, X1, X0, B, 0},
      {0x809A, ALU_OP_MPYR, CORE_A1, Y0, B, 0},
      // The conditional transfer: key from bits 0-3 in the transfer group.
      {0x1005, ALU_OP_TFR, Y0, NO, A, 0}, {0x100D, ALU_OP_TFR, Y0, NO, B, 0},
      {0x1008, ALU_OP_TFR, A, NO, B, 0},
  });
}

TEST_F(CoreAlu, DecodeOperandsFillsTheRecord) {
  alu_decode_operands(0x80C6);
  EXPECT_EQ(w()[CS_ALU_OP], static_cast<uint32_t>(ALU_OP_MPY));
  EXPECT_EQ(w()[CS_ALU_COMMIT], 1u);
  EXPECT_EQ(w()[CS_ALU_SRC1], static_cast<uint32_t>(Y0));
  EXPECT_EQ(w()[CS_ALU_SRC2], static_cast<uint32_t>(X1));
  EXPECT_EQ(w()[CS_ALU_DEST], static_cast<uint32_t>(ALU_A));
  EXPECT_EQ(w()[CS_ALU_NEGATE], 1u);
  EXPECT_STREQ(alu_op_name(ALU_OP_MPY), "mpy");
  EXPECT_STREQ(alu_op_name(ALU_OP_SHFR), "shfr");
}

// ---------------------------------------------------------------------------
// Bit-field operations.

struct bit_case {
  uint32_t second_word, operand, sr;
  uint32_t result, sr_after;
};

TEST_F(CoreAlu, BitFieldTests) {
  const bit_case cases[] = {
      {0x18F0, 0x000F, 0x0301, 0x00FF, 0x0300},  // bfset, not all set before
      {0x0003, 0xFFF0, 0x0300, 0xFFF0, 0x0301},  // bftstl, all clear
      {0x8401, 0x0100, 0x0301, 0x0000, 0x0300},  // bfclr, mask shifted by 8
      {0x520F, 0x00F0, 0x0300, 0x0000, 0x0301},  // bfchg, mask shifted by 4
      {0x1003, 0x0003, 0x0300, 0x0003, 0x0301},  // bftsth, all set
      {0x1800, 0x1234, 0x0301, 0x1234, 0x0301},  // mask 0: nothing
  };
  for (const bit_case& t : cases) {
    SCOPED_TRACE(::testing::Message() << "second word 0x" << std::hex << t.second_word);
    w()[CS_OPERAND_LATCH] = t.operand;
    w()[CORE_SR] = t.sr;
    core_bit_test(t.second_word);
    EXPECT_EQ(w()[CS_OPERAND_LATCH], t.result);
    EXPECT_EQ(w()[CORE_SR], t.sr_after);
  }
}

// ---------------------------------------------------------------------------
// Moves between registers and buses.

TEST_F(CoreAlu, AccumulatorOntoBusIsLimited) {
  struct move_case {
    uint64_t a;
    uint32_t sr, bus, sr_after;
  };
  const move_case cases[] = {
      {acc(0x01, 0, 0), 0, 0x7FFF, L},
      {acc(0xFF, 0x8000, 0), 0, 0x8000, 0},
      {acc(0x00, 0x1234, 0x5678), 0, 0x1234, 0},
      {acc(0xFE, 0x1234, 0), 0, 0x8000, L},
      {acc(0x00, 0x8000, 0), SCALE_DOWN, 0x4000, SCALE_DOWN},
      {acc(0x01, 0x0000, 0), SCALE_DOWN, 0x7FFF, SCALE_DOWN | L},
      {acc(0x00, 0x4000, 0x8000), SCALE_UP, 0x7FFF, SCALE_UP | L},
      {acc(0xFF, 0xC000, 0x8000), SCALE_UP, 0x8001, SCALE_UP},
  };
  for (const move_case& t : cases) {
    SCOPED_TRACE(::testing::Message() << "a 0x" << std::hex << t.a);
    put_acc(CORE_A, t.a);
    w()[CORE_SR] = t.sr;
    core_reg_to_bus(CORE_A, CS_XDB);
    EXPECT_EQ(w()[CS_XDB], t.bus);
    EXPECT_EQ(w()[CORE_SR], t.sr_after);
    EXPECT_EQ(get_acc(CORE_A), t.a);  // the register itself is untouched
  }
}

TEST_F(CoreAlu, ScalingCheckAndOtherSources) {
  w()[CS_SCALE_CHECK] = 1;
  put_acc(CORE_A, acc(0, 0x2000, 0));
  w()[CORE_SR] = 0;
  core_reg_to_bus(CORE_A, CS_XDB);
  EXPECT_EQ(w()[CS_XDB], 0x2000u);
  EXPECT_EQ(w()[CORE_SR], SR_S);
  w()[CS_SCALE_CHECK] = 0;

  w()[CORE_A2] = 0x80;
  core_reg_to_bus(CORE_A2, CS_GDB);
  EXPECT_EQ(w()[CS_GDB], 0xFF80u);
  w()[CORE_B2] = 0x7F;
  core_reg_to_bus(CORE_B2, CS_GDB);
  EXPECT_EQ(w()[CS_GDB], 0x007Fu);
  w()[CS_EX_SHORT_IMM] = 0xFFE3;
  core_reg_to_bus(CS_EX_SHORT_IMM, CS_XDB);
  EXPECT_EQ(w()[CS_XDB], 0xFFE3u);
}

TEST_F(CoreAlu, LongMoveLimitsBothWords) {
  w()[CS_EX_TIMING + OPT_XDB_DST] = 0x400;
  w()[CORE_SR] = 0;
  put_acc(CORE_B, acc(0, 0x1234, 0x5678));
  core_reg_to_bus(CORE_B, CS_XDB);
  EXPECT_EQ(w()[CS_GDB], 0x1234u);
  EXPECT_EQ(w()[CS_XDB], 0x5678u);
  EXPECT_EQ(w()[CORE_SR], 0u);
  put_acc(CORE_B, acc(0x01, 0, 0));
  core_reg_to_bus(CORE_B, CS_XDB);
  EXPECT_EQ(w()[CS_GDB], 0x7FFFu);
  EXPECT_EQ(w()[CS_XDB], 0xFFFFu);
  EXPECT_EQ(w()[CORE_SR], L);
  put_acc(CORE_B, acc(0xFE, 0xFFFF, 0xFFFF));
  core_reg_to_bus(CORE_B, CS_XDB);
  EXPECT_EQ(w()[CS_GDB], 0x8000u);
  EXPECT_EQ(w()[CS_XDB], 0x0000u);
}

TEST_F(CoreAlu, StackWindowsAsBusSourcesAndDestinations) {
  w()[CORE_SP] = 2;
  w()[CS_SS_HIGH + 2] = 0x1111;
  w()[CS_SS_LOW + 2] = 0x2222;
  core_reg_to_bus(CORE_SSL, CS_XDB);
  EXPECT_EQ(w()[CS_XDB], 0x2222u);
  EXPECT_EQ(w()[CORE_SP], 2u);
  core_reg_to_bus(CORE_SSH, CS_XDB);  // pops
  EXPECT_EQ(w()[CS_XDB], 0x1111u);
  EXPECT_EQ(w()[CORE_SP], 1u);

  w()[CS_GDB] = 0x3333;
  core_bus_to_reg(CORE_SSH, CS_GDB);  // pushes
  EXPECT_EQ(w()[CORE_SP], 2u);
  EXPECT_EQ(w()[CS_SS_HIGH + 2], 0x3333u);
  w()[CS_GDB] = 0x4444;
  core_bus_to_reg(CORE_SSL, CS_GDB);
  EXPECT_EQ(w()[CORE_SP], 2u);
  EXPECT_EQ(w()[CS_SS_LOW + 2], 0x4444u);
}

TEST_F(CoreAlu, BusIntoRegisters) {
  w()[CS_XDB] = 0x8000;
  put_acc(CORE_B, acc(0x12, 0x3456, 0x789A));
  core_bus_to_reg(CORE_B, CS_XDB);
  EXPECT_EQ(get_acc(CORE_B), acc(0xFF, 0x8000, 0));
  w()[CS_XDB] = 0x7FFF;
  core_bus_to_reg(CORE_A, CS_XDB);
  EXPECT_EQ(get_acc(CORE_A), acc(0, 0x7FFF, 0));
  w()[CS_XDB] = 0x1FF;
  core_bus_to_reg(CORE_A2, CS_XDB);
  EXPECT_EQ(w()[CORE_A2], 0xFFu);  // the register's eight bits
  w()[CS_XDB] = 0x0B;
  core_bus_to_reg(CORE_OMR, CS_XDB);
  EXPECT_EQ(mem_resolve_space(SPACE_X, 0x10), SPACE_XE);
  EXPECT_EQ(w()[CS_OPERATING_MODE], 0x0Bu);
}

}  // namespace

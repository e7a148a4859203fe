// Hardware loops and repeat: DO loops on the system stack, the loop-end
// test at the last word of a loop, and the counted and conditional repeat
// of one instruction.
#include <cstdint>

#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"

namespace {

constexpr uint32_t LOOP_FLAGS = SR_LOOP | SR_FOREVER;

enum rep_state_code : uint32_t { REP_NONE = 0, REP_COUNTED = 1, REP_COND_WAITING = 2, REP_COND_STARTING = 3 };

void end_repeat() {
  uint32_t* w = core_words();
  w[CS_REP_STATE] = REP_NONE;
  core_store_reg(CORE_LC, w[CS_SAVED_LC] & 0xFFFF);
}

}  // namespace

void loop_start(uint32_t count, uint32_t last_address, bool forever) {
  uint32_t* w = core_words();
  // la and lc first, then the loop start and sr: the loop end pops them
  // in the opposite order.
  ss_push(CORE_LA, CORE_LC);
  w[CS_SCRATCH] = (w[CS_EXECUTE_ADDR] + w[CS_WORDS]) & 0xFFFF;
  ss_push(CS_SCRATCH, CORE_SR);
  core_store_reg(CORE_LA, last_address & 0xFFFF);
  if (!forever) core_store_reg(CORE_LC, count & 0xFFFF);
  uint32_t sr = (w[CORE_SR] & ~LOOP_FLAGS) | SR_LOOP;
  if (forever) sr |= SR_FOREVER;
  core_store_reg(CORE_SR, sr);
}

void loop_pop() {
  uint32_t* w = core_words();
  const uint32_t p = w[CORE_SP] & SP_POINTER;
  const uint32_t saved_sr = p ? w[CS_SS_LOW + p] : 0;
  ss_decrement();
  core_store_reg(CORE_SR, (w[CORE_SR] & ~LOOP_FLAGS) | (saved_sr & LOOP_FLAGS));
  ss_read(CORE_LA, CORE_LC);
  ss_decrement();
}

int loop_end_check(uint32_t last_word_address, uint32_t* target) {
  uint32_t* w = core_words();
  if (!(w[CORE_SR] & SR_LOOP)) return 0;
  if ((last_word_address & 0xFFFF) != (w[CORE_LA] & 0xFFFF)) return 0;
  const uint32_t p = w[CORE_SP] & SP_POINTER;
  const uint32_t start = p ? w[CS_SS_HIGH + p] & 0xFFFF : 0;
  if (w[CORE_SR] & SR_FOREVER) {
    *target = start;
    return 1;
  }
  const uint32_t lc = w[CORE_LC] & 0xFFFF;
  if (lc >= 2) {
    core_store_reg(CORE_LC, lc - 1);
    *target = start;
    return 1;
  }
  loop_pop();
  return 0;
}

void repeat_arm_count(uint32_t count) {
  uint32_t* w = core_words();
  w[CS_SAVED_LC] = w[CORE_LC];
  core_store_reg(CORE_LC, count & 0xFFFF);
  w[CS_REP_ARMED] = REP_COUNTED;
}

void repeat_arm_condition(uint32_t condition) {
  uint32_t* w = core_words();
  w[CS_SAVED_LC] = w[CORE_LC];
  w[CS_REP_ARMED] = REP_COND_STARTING;
  w[CS_REP_CONDITION] = condition & 0xF;
}

void repeat_begin() {
  uint32_t* w = core_words();
  w[CS_REP_STATE] = w[CS_REP_ARMED];
  w[CS_REP_ARMED] = 0;
}

int repeat_end_check() {
  uint32_t* w = core_words();
  switch (w[CS_REP_STATE]) {
    case REP_COUNTED: {
      const uint32_t lc = w[CORE_LC] & 0xFFFF;
      if (lc < 2) {
        end_repeat();
        return 0;
      }
      core_store_reg(CORE_LC, lc - 1);
      return 1;
    }
    case REP_COND_STARTING:
    case REP_COND_WAITING:
      if (core_test_condition(w[CS_REP_CONDITION])) {
        end_repeat();
        return 0;
      }
      w[CS_REP_STATE] = REP_COND_WAITING;
      return 1;
    default:
      return 0;
  }
}

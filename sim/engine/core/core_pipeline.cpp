// Restarting the core's pipeline after a reset or a write of pc.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "sim/engine/core/core_decode.h"
#include "sim/engine/core/core_engine.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/periph/periph.h"

namespace {

void clear_words(uint32_t* w, int first, int end) {
  std::fill(w + first, w + end, 0u);
}

}  // namespace

// The address on pab survives: it is where the restarted pipeline fetches.
void core_flush_pipeline() {
  uint32_t* w = core_words();
  clear_words(w, CS_PREFETCH, CS_PAB);
  clear_words(w, CS_PDB, CS_GDB + 1);
  clear_words(w, CS_REQ_PROGRAM, CS_STALLED + 1);
  w[CS_REPEAT_PASS] = 0;
  w[CS_REP_ENDING] = 0;
  // The engine starts over with a fetch-only cycle at pab.
  clear_words(w, CS_ENGINE_FREE, CS_ENGINE_END);
  core_clear_plan();
  w[CS_BUBBLE] = 1;
  w[CS_IN_FAST_IRQ] = 0;
  w[CS_IRQ_SEQ_STEP] = 0;
  w[CS_IRQ_LONG] = 0;
  w[CS_REP_STATE] = 0;
  cur_inst->device_words[DW_STOP_LATCH] = 0;
  const uint32_t pab = w[CS_PAB];
  cur_inst->pc = pab;
  w[CORE_PC] = pab;
  w[CS_LOOP_END] = w[CORE_LA] == pab;
  w[CS_PIPE_MODE] = 0;
  core_decode();
  core_decode_operands();
  std::vector<uint32_t>& dw = cur_inst->device_words;
  dw[DW_CORE_STATE_CODE] = CORE_STATE_EXECUTE;
  dw[DW_RESET_HELD] = 0;
  w[CS_RESTART_SKIP] = 1;
  catch_up_peripherals();
  restart_cycle_count(*cur_inst);
  cur_inst->instructions = 0;
  cur_state->pc_trace_count = 0;
  // The restart's pab note also tells whether a history stream is open.
  char note[16];
  std::snprintf(note, sizeof note, "pab:%04lx", static_cast<unsigned long>(pab & 0xFFFF));
  w[CS_HISTORY_ON] = static_cast<uint32_t>(write_output_note(note) != 0);
}

// The peripheral bus broadcast, the clearing of run marks before a run, and
// the register store helpers shared by the on-chip peripherals.
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"

// A bus access observes its owner, so every peripheral catches up first.
// A store may start something that schedules an event or raises a
// request.
void write_peripheral_bus(uint32_t address, uint32_t value, int flag) {
  const device_type* type = cur_type;
  for (int row = 0; row < type->periph_count; ++row) {
    const periph_class* cls = type->periphs[row].cls;
    if (cls->catch_up) cls->catch_up(row);
    if (cls->bus_write) cls->bus_write(row, address, value, flag);
  }
  peripherals_changed();
  raise_interrupt_request();
}

void read_peripheral_bus(uint32_t address, uint32_t* out, int flag) {
  *out = 0;
  const device_type* type = cur_type;
  for (int row = 0; row < type->periph_count; ++row) {
    const periph_class* cls = type->periphs[row].cls;
    if (cls->catch_up) cls->catch_up(row);
    if (cls->bus_read) cls->bus_read(row, address, out, flag);
  }
}

void catch_up_peripherals() {
  const device_type* type = cur_type;
  for (int row = 0; row < type->periph_count; ++row) {
    const periph_class* cls = type->periphs[row].cls;
    if (cls->catch_up) cls->catch_up(row);
  }
}

uint32_t cycle_phase() {
  const int last = cur_type->periph_count - 1;
  const periph_class* cls = cur_type->periphs[last].cls;
  if (cls->catch_up) cls->catch_up(last);
  return cur_inst->device_words[DW_CYCLE_PHASE] & 1;
}

void peripherals_changed() { cur_inst->horizon_stale = 1; }

// Out of line: inlined into the straight runs' quiet test, its body
// crowds their registers (a spill at every instruction).
[[gnu::noinline]] void compute_event_horizon() {
  device_inst& inst = *cur_inst;
  const device_type* type = cur_type;
  uint32_t nearest = NO_EVENT;
  for (int row = 1; row < type->periph_count; ++row) {
    const periph_class* cls = type->periphs[row].cls;
    if (cls->next_event == nullptr) continue;
    const uint32_t next = cls->next_event(row);
    if (next < nearest) nearest = next;
  }
  inst.horizon_stale = 0;
  inst.event_due = nearest != NO_EVENT ? 1 : 0;
  inst.horizon = inst.cycles + (nearest != NO_EVENT ? nearest : 0);
}

void reset_run_flags() {
  catch_up_peripherals();
  // A device switched off stays off.
  cur_inst->flags &= DEV_EXCLUDED;
  cur_inst->irq_request = 1;
  cur_inst->horizon_stale = 1;
  cur_state->run_plan_stale = 1;
  cur_state->run_word = 0;
  cur_state->dis_continue = 0;
  cur_state->irq_hold = 0;
  for (region_access_log& log : cur_state->region_logs) {
    log.reads.run_count = 0;
    log.writes.run_count = 0;
  }
  for (int row = 0; row < cur_type->periph_count; ++row) {
    uint32_t* attrs = periph_attrs(row);
    const int count = cur_type->periphs[row].cls->reg_count;
    for (int reg = 0; reg < count; ++reg) attrs[reg] &= ~ATTR_RUN_MARKS;
  }
}

void mark_register_store(int periph, int reg) {
  const periph_row& row = cur_type->periphs[periph];
  const periph_class* cls = row.cls;
  if (reg < 0 || reg >= cls->reg_count) return;
  const reg_desc& desc = cls->regs[reg];
  periph_words(periph)[reg] &= desc.valid_mask;
  periph_attrs(periph)[reg] |= ATTR_WRITTEN | ATTR_CHANGED;
  if (desc.access & REG_BUS_MAPPED) note_periph_write(row.base + desc.offset);
}

void mark_register_written(int periph, int reg) {
  mark_register_store(periph, reg);
  if (reg < 0 || reg >= cur_type->periphs[periph].cls->reg_count) return;
  if (periph_attrs(periph)[reg] & ATTR_OUT_STREAMS) write_register_output(periph, reg);
}

int get_state_register(int periph, int reg, uint32_t* out) {
  if (reg >= 0 && reg < cur_type->periphs[periph].cls->state_word_count)
    *out = periph_words(periph)[reg];
  return 1;
}

void set_state_register(int periph, int reg, uint32_t value) {
  if (reg < 0 || reg >= cur_type->periphs[periph].cls->state_word_count) return;
  periph_words(periph)[reg] = value;
  mark_register_written(periph, reg);
}

int find_bus_register(int periph, uint32_t address, uint32_t need) {
  const periph_row& row = cur_type->periphs[periph];
  const periph_class* cls = row.cls;
  for (int reg = 0; reg < cls->reg_count; ++reg) {
    const reg_desc& desc = cls->regs[reg];
    if ((desc.access & REG_BUS_MAPPED) && (desc.access & need) && row.base + desc.offset == address)
      return reg;
  }
  return -1;
}


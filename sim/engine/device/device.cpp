// Device creation, initialisation, reset, release and selection.
//
// - `device_inst` and `device_state`: one pair per existing device in the global tables
//   `device_insts[32]` and `device_states[32]`, owned by `device.cpp`. `device_inst` holds what
//   simulates (peripheral state words, region word arrays and sparse pages, register/pin blocks, pc,
//   counts, flags); `device_state` what debugs (access logs, register attribute words, the run
//   block, breakpoints, streams, the session ring).
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

#include <cstring>
#include <memory>
#include <new>

#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/device/region_index.h"
#include "sim/frontend/frontend.h"

device_inst* device_insts[DEVICE_MAX] = {};
int device_slot_limit = 0;

namespace {
void update_slot_limit() {
  int limit = DEVICE_MAX;
  while (limit > 0 && device_insts[limit - 1] == nullptr) --limit;
  device_slot_limit = limit;
}
}  // namespace
device_state* device_states[DEVICE_MAX] = {};

thread_local constinit int cur_device = 0;
thread_local constinit device_type* cur_type = nullptr;
thread_local constinit const family_desc* cur_family = nullptr;
thread_local constinit device_inst* cur_inst = nullptr;
thread_local constinit device_state* cur_state = nullptr;
int shown_device = 0;

namespace {

// The records behind the two pointer tables.
std::unique_ptr<device_inst> inst_owner[DEVICE_MAX];
std::unique_ptr<device_state> state_owner[DEVICE_MAX];


void index_type_regions(device_type& t) {
  t.first_region.fill(0);
  for (int i = t.region_count - 1; i >= 0; --i) t.first_region[t.regions[i].space] = i;
}

// Per-peripheral state and attribute words, laid out in two arrays.
void build_periph_storage(device_inst& inst, device_state& st, const device_type& t) {
  std::size_t state_words = 0, attr_words = 0;
  for (int p = 0; p < t.periph_count; ++p) {
    state_words += t.periphs[p].cls->state_word_count;
    attr_words += t.periphs[p].cls->reg_count;
  }
  inst.periph_storage.assign(state_words, 0);
  st.attr_storage.assign(attr_words, 0);
  inst.periph_state.resize(t.periph_count);
  st.periph_entries.resize(t.periph_count);
  std::size_t s = 0, a = 0;
  for (int p = 0; p < t.periph_count; ++p) {
    const periph_class& cls = *t.periphs[p].cls;
    inst.periph_state[p] = inst.periph_storage.data() + s;
    st.periph_entries[p].attrs = st.attr_storage.data() + a;
    s += cls.state_word_count;
    a += cls.reg_count;
  }
  inst.core = t.periph_count > 0 ? inst.periph_state[0] : nullptr;
  inst.core_class = t.periph_count > 0 ? t.periphs[0].cls : nullptr;
  st.core_attrs = t.periph_count > 0 ? st.periph_entries[0].attrs : nullptr;
}

// Region contents at creation and reset: logs cleared, arrays from their
// initial contents, sparse rows one uniform page of 0.
void init_region_contents() {
  const device_type& t = *cur_type;
  for (int r = 0; r < t.region_count; ++r) {
    cur_state->region_logs[r] = region_access_log{};
    const mem_region& row = t.regions[r];
    std::vector<uint32_t>& words = cur_inst->regions[r].words;
    for (uint32_t i = 0; i < words.size(); ++i) words[i] = row.init ? row.init[i] : 0;
  }
  init_sparse_spaces();
}

void set_current(int number) {
  cur_device = number;
  cur_inst = device_insts[number];
  cur_state = device_states[number];
  cur_type = cur_inst ? device_types[cur_inst->type] : nullptr;
  cur_family = cur_inst ? family_descs[cur_inst->type] : nullptr;
}

}  // namespace

int find_type_index(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < TYPE_COUNT; ++i)
    if (str_icmp(device_types[i]->name, name) == 0) return i;
  return -1;
}

void index_memory_regions() {
  for (device_type* t : device_types) index_type_regions(*t);
}

int select_device_type(const char* name) {
  int i = find_type_index(name);
  if (i < 0) return -1;
  cur_type = device_types[i];
  cur_family = family_descs[i];
  index_type_regions(*cur_type);
  return i;
}

int find_memory_region(int space, uint32_t address) {
  return region_row(space, address);
}

int reset_peripherals(int kind, int mode) {
  catch_up_peripherals();
  peripherals_changed();
  raise_interrupt_request();
  for (int p = 0; p < cur_type->periph_count; ++p)
    if (cur_type->periphs[p].cls->reset) cur_type->periphs[p].cls->reset(p, kind, mode);
  return 0;
}

void init_device_state() {
  device_state& st = *cur_state;
  device_inst& inst = *cur_inst;
  const device_type& t = *cur_type;

  st.run_count = 0;
  st.break_number = 0;
  st.run_mode = 0;
  st.halt_on_break = 0;
  st.running = 0;
  st.stop_address = 0;
  std::memset(st.cnt, 0, sizeof st.cnt);
  st.eof_flag = 0;
  st.jump_flag = 0;
  st.run_word = 0;
  st.default_radix = 1;
  st.breakpoints = nullptr;
  for (io_stream*& head : st.streams) head = nullptr;
  st.run_plan_stale = 1;
  st.last_break_number = 0;
  st.streams_enabled = 1;
  st.hio.reset();
  hio_arm(st);
  st.pc_trace_count = 0;
  st.pc_trace_index = 0;
  st.pc_trace.fill({});

  std::fill(inst.device_words.begin(), inst.device_words.end(), 0u);
  for (int p = 0; p < t.periph_count; ++p) {
    const periph_class& cls = *t.periphs[p].cls;
    st.periph_entries[p].class_word = cls.class_word;
    for (int r = 0; r < cls.reg_count; ++r) st.periph_entries[p].attrs[r] = cls.regs[r].init_attr;
    std::fill_n(inst.periph_state[p], cls.state_word_count, 0u);
  }

  gui_work_dir(&inst);

  st.session.newest = 0;
  st.session.pending = 0;
  for (auto& line : st.session.lines) line.fill(0);

  for (int b = 0; b < t.block_count; ++b) {
    uint32_t* block = &inst.blocks[static_cast<std::size_t>(b) * 2 * REG_BLOCK_WORDS];
    std::fill_n(block, 2 * REG_BLOCK_WORDS, 0u);
    for (int w = 0; w < 5; ++w) {
      block[w] = t.block_init[b * REG_BLOCK_WORDS + w];
      block[REG_BLOCK_WORDS + w] = block[w];
    }
  }

  inst.pins_changed = 1;
  inst.blocks_changed = 1;
  reset_peripherals(1, t.default_mode);
  inst.device_words[DW_RESET_HELD] = 0;
  reset_run_flags();
}

int create_device(int number, const char* type_name) {
  if (number < 0 || number >= DEVICE_MAX) return 0;
  int type = find_type_index(type_name);
  if (type < 0) return 0;
  if (device_insts[number] || device_states[number]) free_device(number);

  try {
    auto inst = std::make_unique<device_inst>();
    auto st = std::make_unique<device_state>();
    const device_type& t = *device_types[type];
    inst->type = type;
    inst->number = number;
    st->session.lines.resize(SESSION_RING_LINES);
    build_periph_storage(*inst, *st, t);
    st->region_logs.resize(t.region_count);
    inst->regions.resize(t.region_count);
    for (int r = 0; r < t.region_count; ++r) inst->regions[r].words.resize(t.regions[r].size);
    inst->blocks.assign(static_cast<std::size_t>(t.block_count) * 2 * REG_BLOCK_WORDS, 0);
    inst->device_words.assign(t.device_word_count, 0);

    inst_owner[number] = std::move(inst);
    state_owner[number] = std::move(st);
  } catch (const std::bad_alloc&) {
    inst_owner[number].reset();
    state_owner[number].reset();
    error_report("Insufficient memory: dsp_alloc");
    return 0;
  }
  device_insts[number] = inst_owner[number].get();
  device_states[number] = state_owner[number].get();
  update_slot_limit();
  set_current(number);
  init_region_contents();
  init_device_state();
  return 1;
}

void reset_device(int number, int mode) {
  if (!make_device_current(number)) return;
  free_sparse_spaces(cur_inst);
  release_paging(cur_inst);
  init_region_contents();
  if (cur_state->open_file) {
    std::fclose(cur_state->open_file);
    cur_state->open_file = nullptr;
  }
  init_device_state();
  if (mode > 0) cur_inst->device_words[DW_OPERATING_MODE] = static_cast<uint32_t>(mode);
}

void free_device(int number) {
  if (number < 0 || number >= DEVICE_MAX) return;
  if (device_insts[number]) {
    free_sparse_spaces(device_insts[number]);
    release_paging(device_insts[number]);
  }
  if (device_states[number] && device_states[number]->open_file)
    std::fclose(device_states[number]->open_file);
  bool was_current = cur_inst == device_insts[number] && cur_inst;
  device_insts[number] = nullptr;
  device_states[number] = nullptr;
  update_slot_limit();
  inst_owner[number].reset();
  state_owner[number].reset();
  if (was_current) {
    cur_inst = nullptr;
    cur_state = nullptr;
  }
}

void free_all_devices() {
  for (int d = 0; d < DEVICE_MAX; ++d) free_device(d);
}

bool make_device_current(int number) {
  if (number < 0 || number >= DEVICE_MAX || !device_insts[number]) return false;
  set_current(number);
  return true;
}

void select_device(int number) {
  if (number < 0 || number >= DEVICE_MAX) return;
  if (!device_states[number]) {
    int prev = cur_device;
    if (!create_device(number, device_types[0]->name)) {
      if (prev >= 0 && prev < DEVICE_MAX && device_insts[prev]) {
        set_current(prev);
        if (cur_state) cur_state->running = 0;
      }
      return;
    }
  }
  set_current(number);
  shown_device = number;
}

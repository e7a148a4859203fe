// - The hook (`profiler.cpp`) builds a `profile_record` on the stack: the family's decode of the
//   instruction at the previous pc (`profile_ops`, from the disassembler's tokens in
//   `sim/asm/prof_decode.cpp`: classes by mnemonic, memory operands with their addressing modes,
//   parallel moves, conditions tested against the sampled sr), cycles since the previous end, stalls
//   and the references. Program-memory references (the fetches) are dropped unless the instruction
//   addresses program memory. `accumulate_profile` finds the code node (latest or same-code rule) or
//   makes a run-time one, counts per node, per class and per memory class, and keeps a data node per
//   referenced word.

#include "sim/prof/profiler.h"

#include <cstring>
#include <new>
#include <string>

#include "sim/cdb/coff.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"
#include "sim/prof/subroutines.h"

profile_tables* cur_tables = nullptr;

namespace {

constexpr std::size_t POOL_BLOCK = 20000;
constexpr const char* DEFAULT_OUTPUT = "metrics.log";
constexpr const char* NEW_FILE = "{new}";

std::array<std::unique_ptr<profile_tables>, DEVICE_MAX> device_tables;

int three_way(uint32_t a, uint32_t b) { return a > b ? CMP_GREATER : a == b ? CMP_EQUAL : CMP_LESS; }

int compare_data(const void* a, const void* b) {
  const auto* x = static_cast<const data_node*>(a);
  const auto* y = static_cast<const data_node*>(b);
  const int c = three_way(x->space, y->space);
  return c != CMP_EQUAL ? c : three_way(x->address, y->address);
}

int compare_code_address(const void* a, const void* b) {
  return three_way(static_cast<const code_node*>(a)->decoded.address,
                   static_cast<const code_node*>(b)->decoded.address);
}

// Nodes without a file first; run-time nodes ("{new}") after the real names.
int compare_code_source(const void* a, const void* b) {
  const auto* x = static_cast<const code_node*>(a);
  const auto* y = static_cast<const code_node*>(b);
  const bool x_none = x->file == nullptr, y_none = y->file == nullptr;
  if (x_none != y_none) return x_none ? CMP_LESS : CMP_GREATER;
  if (!x_none) {
    const bool x_new = std::strcmp(x->file, NEW_FILE) == 0, y_new = std::strcmp(y->file, NEW_FILE) == 0;
    if (x_new != y_new) return x_new ? CMP_GREATER : CMP_LESS;
    const int s = std::strcmp(x->file, y->file);
    if (s != 0) return s > 0 ? CMP_GREATER : CMP_LESS;
  }
  if (x->line != y->line) return x->line > y->line ? CMP_GREATER : CMP_LESS;
  return compare_code_address(a, b);
}

int compare_code_sequence(const void* a, const void* b) {
  const auto* x = static_cast<const code_node*>(a);
  const auto* y = static_cast<const code_node*>(b);
  const int c = three_way(x->sequence, y->sequence);
  return c != CMP_EQUAL ? c : compare_code_address(a, b);
}

int compare_pairs(const void* a, const void* b) {
  const auto* x = static_cast<const int32_t*>(a);
  const auto* y = static_cast<const int32_t*>(b);
  for (int i = 0; i < 2; ++i)
    if (x[i] != y[i]) return x[i] > y[i] ? CMP_GREATER : CMP_LESS;
  return CMP_EQUAL;
}

int compare_symbol(const void* a, const void* b) {
  const auto* x = static_cast<const symbol_entry*>(a);
  const auto* y = static_cast<const symbol_entry*>(b);
  const int c = three_way(x->space, y->space);
  return c != CMP_EQUAL ? c : three_way(x->start, y->start);
}

const bool comparators_filled = [] {
  prof_comparators[CMP_DATA] = compare_data;
  prof_comparators[CMP_CODE_ADDRESS] = compare_code_address;
  prof_comparators[CMP_CODE_SOURCE] = compare_code_source;
  prof_comparators[CMP_CODE_SEQUENCE] = compare_code_sequence;
  prof_comparators[CMP_SYMBOL] = compare_symbol;
  prof_comparators[CMP_PAIRS] = compare_pairs;
  return true;
}();

const profile_family_ops* family_ops() {
  return cur_family != nullptr ? cur_family->profile_ops : nullptr;
}

// A device's tables as they stand (made when missing).
profile_tables* tables_of(int device) {
  if (device < 0 || device >= DEVICE_MAX) return nullptr;
  auto& slot = device_tables[static_cast<std::size_t>(device)];
  if (!slot) slot = std::make_unique<profile_tables>();
  return slot.get();
}

// Points the current-tables pointer (and the error flag the checked
// allocation sets) at a device's tables.
profile_tables* select_tables(int device) {
  cur_tables = tables_of(device);
  prof_error_flags = cur_tables != nullptr ? &cur_tables->flags : nullptr;
  return cur_tables;
}

// The nodes at one address, in list order.
template <class Visit>
void for_each_node_at(uint32_t address, Visit visit) {
  code_node key;
  key.decoded.address = address;
  ordered_list::iterator it = cur_tables->code->begin(&key);
  while (auto* node = static_cast<code_node*>(it.next())) {
    if (node->decoded.address != address) break;
    if (!visit(node)) break;
  }
}

// The node that ran last at an address: among those that ran, or that
// are no run-time copy, the greatest last-execution cycle, the first on
// ties.
code_node* latest_node(uint32_t address) {
  code_node* best = nullptr;
  for_each_node_at(address, [&best](code_node* n) {
    const bool eligible = n->last_cycle > 0 ||
                          (n->copy_space == 0 && n->copy_address == 0 && (n->decoded.flags & INSTR_NEW) == 0);
    if (eligible && (best == nullptr || n->last_cycle > best->last_cycle)) best = n;
    return true;
  });
  return best;
}

bool same_words(const code_node& n, const decoded_instruction& d) {
  if (n.decoded.words[0] != d.words[0]) return false;
  return (n.decoded.flags & INSTR_TWO_WORD) == 0 || n.decoded.words[1] == d.words[1];
}

code_node* same_code_node(uint32_t address, const decoded_instruction& d) {
  code_node* best = nullptr;
  for_each_node_at(address, [&](code_node* n) {
    if (same_words(*n, d) && (best == nullptr || n->last_cycle > best->last_cycle)) best = n;
    return true;
  });
  return best;
}

// Keeps a node found for its address when it is the only one there.
void keep_if_only(profile_tables& t, code_node& node) {
  const uint32_t address = node.decoded.address;
  if (address > 0xFFFF) return;
  int count = 0;
  for_each_node_at(address, [&count](code_node*) { return ++count < 2; });
  if (count != 1) return;
  if (t.only_code.empty()) t.only_code.assign(0x10000, nullptr);
  t.only_code[address] = &node;
}

uint32_t space_slot(uint32_t space) { return space == PROF_SPACE_X ? 0 : space == PROF_SPACE_Y ? 1 : 2; }

// --- Counts made without the hook ------------------------------------------------

// One slot's executions into its node and the totals, as the hook adds
// them one by one.
void fold_slot(profile_tables& t, profile_code_slot& slot) {
  if (slot.node == nullptr || (slot.executions == 0 && slot.cycles == 0)) return;
  auto* node = static_cast<code_node*>(const_cast<void*>(slot.node));
  const uint32_t times = slot.executions;
  node->executions += times;
  node->cycles += slot.cycles;
  node->last_cycle = slot.last_cycle;
  t.instructions += times;
  t.code_words += times * (slot.two_word != 0 ? 2 : 1);
  if (const profile_family_ops* ops = family_ops()) {
    t.dynamic_occurrences[static_cast<std::size_t>(ops->classify(node->decoded)) % PROFILE_CLASSES] += times;
    profile_record r;
    r.decoded = node->decoded;
    ops->accumulate_modes(r, t.family, times);
    ops->accumulate_moves(r, t.family, times);
  }
  slot.executions = 0;
  slot.cycles = 0;
}

// The counts of the instruction at a program address, before the node
// look-ups there compare when its nodes last ran.
void fold_at(profile_tables& t, uint32_t address) {
  if (!t.counts) return;
  if (profile_code_slot* slot = t.counts->slot_at(address)) fold_slot(t, *slot);
}

// The last instruction counted, as the hook would have left the tables
// after it: the subroutine tracking's previous node (no call: no call
// taken) and the count of the last end.
void settle_last_counted(profile_tables& t, profiler_block& block) {
  profile_code_slot* slot = block.last_counted;
  block.last_counted = nullptr;
  if (slot == nullptr || slot->node == nullptr) return;
  t.last_cycle = slot->last_cycle;
  if (subroutine_tracking* s = t.subroutines.get(); s != nullptr && s->errors == 0) {
    s->previous = static_cast<code_node*>(const_cast<void*>(slot->node));
    s->taken_call = false;
  }
}

// Whether the hook may leave the next instruction to the counts: nothing
// the subroutine tracking does at it depends on it (no call taken just
// before, no return to pop, no source-line routine open, tracking begun)
// and no loop is measured.
bool next_may_count(const profile_tables& t, const profiler_block& block) {
  if (!t.counts || t.copies || (t.flags & PROF_FLAG_NO_OUTPUT) != 0 || t.state != TABLES_RUNNING ||
      block.loop.phase != LOOP_IDLE)
    return false;
  const subroutine_tracking* s = t.subroutines.get();
  if (s == nullptr) return false;
  if (s->errors != 0) return true;
  return s->started && s->root != nullptr && !s->taken_call &&
         (s->previous == nullptr || (s->previous->directives & NODE_RETURN) == 0) &&
         s->frames[static_cast<std::size_t>(s->depth)].line_entry == nullptr;
}

// Instruction fetches are no data references, unless the instruction
// itself addresses program memory.
bool addresses_program(const decoded_instruction& d) {
  for (const auto& op : d.operands)
    if (op.space == PROF_SPACE_P) return true;
  for (const auto& op : d.move_operands)
    if (op.space == PROF_SPACE_P) return true;
  return false;
}

// After the hook counted `node` at its address: the address is left to
// the counts when the node's contribution is all its own (no condition,
// no call, return or directive the tracking follows, no program-memory
// operand), else to the hook.
void arm_address(profile_tables& t, const code_node* node, uint32_t address) {
  if (!t.counts || address > 0xFFFF) return;
  auto& page = t.counts->code[address / PROFILE_PAGE_WORDS];
  constexpr uint32_t TRACKED = NODE_IGNORE | NODE_RETURN | NODE_CALL | NODE_ANY;
  const bool own = node != nullptr && !t.copies && node->decoded.condition == 0 &&
                   (node->directives & TRACKED) == 0 && node->source_word == nullptr &&
                   !addresses_program(node->decoded);
  if (!own) {
    if (page) {
      profile_code_slot& slot = page->slots[address % PROFILE_PAGE_WORDS];
      fold_slot(t, slot);
      slot.node = nullptr;
    }
    return;
  }
  if (!page) {
    page.reset(new (std::nothrow) profile_code_page());
    if (!page) return;  // no memory for it: the hook goes on counting there
  }
  profile_code_slot& slot = page->slots[address % PROFILE_PAGE_WORDS];
  if (slot.node != node) {
    fold_slot(t, slot);
    slot = {};
    slot.node = node;
    slot.words = node->decoded.words;
    slot.two_word = (node->decoded.flags & INSTR_TWO_WORD) != 0 ? 1 : 0;
  }
}

}  // namespace

void fold_profile_counts(int device) {
  profile_tables* tables = tables_of(device);
  if (tables == nullptr || !tables->counts) return;
  profile_tables* const previous = cur_tables;
  uint32_t* const previous_flags = prof_error_flags;
  select_tables(device);
  profile_tables& t = *tables;
  try {
    for (auto& page : t.counts->code)
      if (page)
        for (profile_code_slot& slot : page->slots)
          if (slot.node != nullptr) fold_slot(t, slot);
    for (uint32_t mem_class = 0; mem_class < PROFILE_DATA_CLASSES; ++mem_class)
      for (uint32_t p = 0; p < PROFILE_PAGES; ++p) {
        profile_data_page* page = t.counts->x_data[mem_class][p].get();
        if (page == nullptr) continue;
        for (uint32_t k = 0; k < PROFILE_PAGE_WORDS; ++k) {
          const uint32_t reads = page->reads[k], writes = page->writes[k];
          if ((reads | writes) == 0) continue;
          page->reads[k] = page->writes[k] = 0;
          data_node* node = profile_data_node(PROF_SPACE_X, p * PROFILE_PAGE_WORDS + k);
          node->reads += reads;
          t.reads[mem_class] += reads;
          if (writes == 0) continue;
          node->writes += writes;
          t.writes[mem_class] += writes;
          if ((node->flags & DATA_UNDEFINED) != 0) {
            t.undefined_writes[space_slot(PROF_SPACE_X)] += 1;
            node->flags &= ~DATA_UNDEFINED;
          }
        }
      }
    if (device_states[device] != nullptr && device_states[device]->profile.counts == t.counts.get())
      settle_last_counted(t, device_states[device]->profile);
  } catch (const prof_abandon&) {
  }
  cur_tables = previous;
  prof_error_flags = previous_flags;
}

data_node* profile_data_node(uint32_t space, uint32_t address) {
  data_node** kept = nullptr;
  if (space >= PROF_SPACE_X && space <= PROF_SPACE_L && address <= 0xFFFF) {
    std::vector<data_node*>& at = cur_tables->data_at[space - PROF_SPACE_X];
    if (at.empty()) at.assign(0x10000, nullptr);
    kept = &at[address];
    if (*kept != nullptr) return *kept;
  }
  data_node key;
  key.space = space;
  key.address = address;
  auto* node = static_cast<data_node*>(cur_tables->data->find(&key, FIND_EQUAL));
  if (node == nullptr) {
    node = cur_tables->pool->make<data_node>();
    *node = key;
    if (cur_tables->state != TABLES_STARTED) node->flags = DATA_UNDEFINED;
    cur_tables->data->insert(node, false);
  }
  if (kept != nullptr) *kept = node;
  return node;
}

namespace {

void count_reference(profile_reference& ref) {
  profile_tables& t = *cur_tables;
  if (ref.write != 0 && ref.space == PROF_SPACE_P) fold_at(t, ref.address);
  data_node* node = profile_data_node(ref.space, ref.address);
  const std::size_t mem_class = ref.mem_class & 3;
  if (ref.write != 0) {
    node->writes += 1;
    t.writes[mem_class] += 1;
    if ((node->flags & DATA_UNDEFINED) != 0) {
      if (ref.space != PROF_SPACE_L) t.undefined_writes[space_slot(ref.space)] += 1;
      node->flags &= ~DATA_UNDEFINED;
    }
    // Code written to program memory: a node whose copy source was read
    // lately is the code now there.
    if (ref.space == PROF_SPACE_P) {
      for_each_node_at(ref.address, [&t](code_node* n) {
        for (uint32_t k = 0; k < t.ring.size(); ++k) {
          const auto& e = t.ring[(t.ring_next + 7 - k) % 8];
          if (e.space != 0 && e.space == n->copy_space && e.address == n->copy_address) {
            n->last_cycle = t.last_cycle;
            return false;
          }
        }
        return true;
      });
    }
  } else {
    node->reads += 1;
    t.reads[mem_class] += 1;
    t.ring[t.ring_next] = {ref.space, ref.address};
    t.ring_next = (t.ring_next + 1) % 8;
  }
  ref.space = PROF_SPACE_FREE;
}

profiler_iface interface_record = {
    profile_instruction, profiler_save_state, profiler_restore_state, profiler_start, profiler_report,
};

}  // namespace

profile_tables* profiler_tables(int device) {
  fold_profile_counts(device);
  return tables_of(device);
}

code_node* new_code_node(uint32_t address, uint32_t kind, uint32_t decode_address) {
  const profile_family_ops* ops = family_ops();
  if (ops == nullptr) return nullptr;
  profile_tables& t = *cur_tables;
  profile_record record;
  const int mode = kind == PROF_SPACE_P ? DECODE_P : kind == PROF_SPACE_X ? DECODE_X : DECODE_OTHER;
  ops->decode(cur_device, mode, decode_address, decode_address, record);
  if (record.decoded.kind < 0) return nullptr;
  code_node* node = t.pool->make<code_node>();
  node->decoded = record.decoded;
  node->decoded.address = address;
  node->decoded.flags |= INSTR_NEW;
  node->file = NEW_FILE;
  node->line = -2;
  family_directives(*node);
  const auto c = static_cast<std::size_t>(ops->classify(node->decoded)) % PROFILE_CLASSES;
  if (node->decoded.parallel != 0) t.parallel_mark[c] = 1;
  if (node->decoded.moves == 2)
    t.static_double[c] += 1;
  else if (node->decoded.moves == 1)
    t.static_single[c] += 1;
  else
    t.static_no_move[c] += 1;
  t.static_occurrences[c] += 1;
  t.static_instructions += 1;
  t.static_code_words += (node->decoded.flags & INSTR_TWO_WORD) != 0 ? 2 : 1;
  t.code->insert(node, true);
  node->sequence = static_cast<uint32_t>(t.code->count());
  if (!t.only_code.empty()) t.only_code[address & 0xFFFF] = nullptr;
  return node;
}

int accumulate_profile(profile_record& r) {
  return accumulate_profile(r, r.references.data(), r.references.size());
}

int accumulate_profile(profile_record& r, profile_reference* references, std::size_t count) {
  try {
    profile_tables* tables = select_tables(cur_device);
    if (tables == nullptr || tables->state == TABLES_OFF) return 0;
    profile_tables& t = *tables;
    t.counted_node = nullptr;
    if ((t.flags & PROF_FLAG_NO_OUTPUT) != 0) return 1;
    const profile_family_ops& ops = *family_ops();
    if (t.state == TABLES_STARTED) t.state = TABLES_FIRST;
    const decoded_instruction& d = r.decoded;
    fold_at(t, d.address);
    // The only node at an address is the one the look-ups below find
    // whenever its words are the instruction's.
    code_node* node = d.address <= 0xFFFF && !t.only_code.empty() ? t.only_code[d.address] : nullptr;
    if (node == nullptr || !same_words(*node, d)) {
      node = latest_node(d.address);
      if (node == nullptr || !same_words(*node, d)) node = same_code_node(d.address, d);
      if (node == nullptr) node = new_code_node(d.address, PROF_SPACE_P, d.address);
      if (node == nullptr) {
        t.flags |= PROF_FLAG_UNDECODED;
        return 0;
      }
      keep_if_only(t, *node);
    }
    if (node->executions == 0) node->decoded.first_values = d.first_values;
    const bool conditional = ops.conditional(r) != 0;
    const bool taken = r.condition_true != 0;
    t.last_cycle = r.cycle_now;
    node->last_cycle = t.last_cycle;

    node->executions += 1;
    if (conditional && taken) node->cond_passes += 1;
    node->cycles += r.cycles;
    node->stall_cycles += r.stall_cycles;

    t.instructions += 1;
    t.dynamic_occurrences[static_cast<std::size_t>(ops.classify(d)) % PROFILE_CLASSES] += 1;
    t.stall_cycles += r.stall_cycles;
    t.code_words += (d.flags & INSTR_TWO_WORD) != 0 ? 2 : 1;
    ops.accumulate_modes(r, t.family, 1);
    ops.accumulate_moves(r, t.family, 1);

    for (std::size_t k = 0; k < count; ++k)
      if (references[k].space != PROF_SPACE_FREE) count_reference(references[k]);

    track_subroutines(t, *node, conditional, taken, r.cycle_now - r.cycles);
    t.counted_node = node;
    if (r.loop != nullptr) {
      fold_at(t, r.loop->pc);
      code_node* loop_node = latest_node(r.loop->pc);
      if (loop_node == nullptr) return 0;
      loop_node->loop_cycles += r.loop->cycles;
    }
    t.state = TABLES_RUNNING;
    return 1;
  } catch (const prof_abandon&) {
    return 0;
  }
}

void profile_instruction(int device) {
  if (device < 0 || device >= DEVICE_MAX || device_states[device] == nullptr) return;
  profiler_block& block = device_states[device]->profile;
  const device_inst& inst = *device_insts[device];
  const profile_family_ops* ops = family_ops();
  if (block.on == 0 || ops == nullptr) return;
  profile_record r;
  // The count as the run made it: a write of cyc leaves it alone.
  const uint32_t now = profile_count(inst);
  if (block.previous_cycles > now) block.previous_cycles = now;
  r.cycles = now - block.previous_cycles;
  r.cycle_now = now;
  r.stall_cycles = block.stall_cycles;
  r.pc_now = inst.pc;
  ops->decode(device, DECODE_P, block.previous_pc, inst.pc, r);

  loop_measure& loop = block.loop;
  if (loop.phase == LOOP_ARMED) {
    loop = {r.decoded.address, LOOP_MEASURING, 0, 0};
  } else if (loop.phase == LOOP_MEASURING) {
    loop.cycles += r.cycles;
    loop.count += 1;
    if ((inst.flags & DEV_INSTR_END2) == 0) {
      loop.phase = LOOP_FINISHED;
      r.loop = &loop;
    }
  }
  // Each reference counts once, with the instruction during which it was
  // made. The notes fill the first free slots, so the instruction's are
  // those before the first free one; they are counted in place and then
  // cleared.
  std::size_t used = 0;
  while (used < block.references.size() && block.references[used].space != PROF_SPACE_FREE) ++used;
  if (used > 0 && !addresses_program(r.decoded))
    for (std::size_t k = 0; k < used; ++k)
      if (block.references[k].space == PROF_SPACE_P) block.references[k].space = PROF_SPACE_FREE;
  profile_tables* t = tables_of(device);
  if (block.last_counted != nullptr && t != nullptr) settle_last_counted(*t, block);
  accumulate_profile(r, block.references.data(), used);
  for (std::size_t k = 0; k < used; ++k) block.references[k] = {};
  if (t != nullptr && t->counts && block.counts == t->counts.get()) {
    arm_address(*t, t->counted_node, r.decoded.address);
    block.may_count = next_may_count(*t, block) ? 1 : 0;
  }

  if (loop.phase == LOOP_FINISHED) loop.phase = LOOP_IDLE;
  block.previous_pc = inst.pc;
  block.previous_cycles = now;
  block.stall_cycles = 0;
  block.instruction_start = 1;
}

int profiler_start(const char* coff_name, const char* output_name, const char* mode) {
  try {
    if (select_tables(cur_device) == nullptr) return 0;
    profiler_clear();
    select_tables(cur_device);
    profile_tables& t = *cur_tables;
    t.pool = std::make_unique<prof_pool>(POOL_BLOCK);
    t.code = std::make_unique<ordered_list>(CMP_CODE_ADDRESS, t.pool.get());
    t.data = std::make_unique<ordered_list>(CMP_DATA, t.pool.get());
    t.symbols = std::make_unique<ordered_list>(CMP_SYMBOL, t.pool.get());
    t.state = TABLES_STARTED;
    t.source_line_mode = -1;
    t.counts = std::make_unique<profile_counts>();
    if (device_states[cur_device] != nullptr) {
      profiler_block& block = device_states[cur_device]->profile;
      block.counts = t.counts.get();
      block.may_count = 0;
      block.counting = block.last_counted = nullptr;
    }
    t.coff_name = t.pool->copy_string(coff_name != nullptr && *coff_name != '\0' ? coff_name : nullptr);
    t.output_name =
        t.pool->copy_string(output_name != nullptr && *output_name != '\0' ? output_name : DEFAULT_OUTPUT);
    t.mode = t.pool->copy_string(mode != nullptr ? mode : "w");
    if (t.coff_name == nullptr) prof_message(PROF_WARNING, "No object file loaded");
    // Profiling runs even when the object file cannot be read.
    try {
      analyse_object_file(t);
    } catch (const prof_abandon&) {
      t.flags |= PROF_FLAG_COFF_UNREADABLE;
    }
    return 1;
  } catch (const prof_abandon&) {
    return 0;
  }
}

void profiler_clear() {
  profile_tables* t = cur_tables;
  if (t == nullptr || t->state == TABLES_OFF) return;
  if (t->state != TABLES_NO_OUTPUT && t->writer.is_open()) t->writer.close();
  // The lists' nodes live in the pool: the lists go first.
  t->code.reset();
  t->data.reset();
  t->symbols.reset();
  t->routines.reset();
  t->pool.reset();
  for (std::size_t d = 0; d < device_tables.size(); ++d) {
    auto& slot = device_tables[d];
    if (slot.get() != t) continue;
    // The counts go with the tables.
    if (device_states[d] != nullptr && device_states[d]->profile.counts == t->counts.get()) {
      profiler_block& block = device_states[d]->profile;
      block.counts = nullptr;
      block.may_count = 0;
      block.counting = block.last_counted = nullptr;
    }
    slot = std::make_unique<profile_tables>();
    cur_tables = slot.get();
    prof_error_flags = &cur_tables->flags;
  }
}

int profiler_save_state(const char* name, int device, int continued) {
  if (name == nullptr) return 1;
  std::FILE* file = std::fopen(name, continued != 0 ? "a" : "w");
  if (file == nullptr) return 0;
  bool ok = true;
  if (device >= 0 && device < DEVICE_MAX && device_states[device] != nullptr) {
    const profiler_block& b = device_states[device]->profile;
    ok = std::fprintf(file, "device %d %d %u %u %s\n", device, b.on, b.previous_cycles, b.previous_pc,
                      b.file_name) > 0;
  }
  ok = std::fclose(file) == 0 && ok;
  return ok ? 1 : 0;
}

int profiler_restore_state(const char* name, int device, int /*continued*/) {
  if (name == nullptr) return 1;
  if (device < 0 || device >= DEVICE_MAX || device_states[device] == nullptr) return 0;
  std::FILE* file = std::fopen(name, "r");
  if (file == nullptr) return 0;
  char line[512];
  int found = 0;
  while (found == 0 && std::fgets(line, sizeof line, file) != nullptr) {
    int d = 0, on = 0, used = 0;
    unsigned cycles = 0, pc = 0;
    if (std::sscanf(line, "device %d %d %u %u %n", &d, &on, &cycles, &pc, &used) < 4 || d != device) continue;
    std::string output = line + used;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    profiler_block& b = device_states[device]->profile;
    b = {};
    std::snprintf(b.file_name, sizeof b.file_name, "%s", output.c_str());
    b.previous_cycles = cycles;
    b.previous_pc = pc;
    b.instruction_start = 1;
    set_device_profiled(device, 0);
    found = 1;
    // Profiling goes on into the same report, from empty tables, with the
    // object file of the program the state brought back.
    if (on != 0) {
      const int previous = cur_device;
      make_device_current(device);
      const coff_debug_info* program = current_debug_info();
      const std::string coff = program != nullptr ? program->coff_path : std::string();
      set_device_profiled(device, profiler_start(coff.c_str(), b.file_name, "w"));
      make_device_current(previous);
    }
  }
  std::fclose(file);
  return found;
}

int profiler_report(uint32_t final_cycles) {
  profile_tables* t = select_tables(cur_device);
  if (t == nullptr || t->state == TABLES_OFF) return 0;
  int ok = 0;
  try {
    fold_profile_counts(cur_device);
    t->total_cycles = final_cycles;
    t->writer.open(t->coff_name, t->output_name, t->mode);
    prof_note_sink = [](const char* text) { cur_tables->writer.print_text(text); };
    if ((t->flags & PROF_FLAG_NO_OUTPUT) != 0) {
      prof_message(PROF_WARNING, "Profiler file not generated");
    } else {
      write_reports(*t);
      ok = 1;
    }
  } catch (const prof_abandon&) {
    ok = 0;
  }
  prof_note_sink = nullptr;
  if (t->writer.is_open() && !t->writer.close()) ok = 0;
  cur_tables = t;
  profiler_clear();
  return ok;
}

void install_profiler() { profiler = &interface_record; }

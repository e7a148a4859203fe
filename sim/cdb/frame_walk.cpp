// The back-trace: the device's registers and stacks turned into a list of
// call frames, innermost first, and the selected frame that C expressions
// are evaluated in.
#include <cstdio>
#include <cstring>
#include <memory>

#include "sim/cdb/c_print.h"
#include "sim/cdb/c_scope.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"

namespace {

constexpr const char* SOURCE = "cdbbt.c";
constexpr uint32_t SC_AUTO_ARGUMENT = 9;
constexpr uint32_t SC_REGISTER_PARAM = 17;
constexpr uint32_t SC_FURTHER = 19;
constexpr uint32_t SC_BLOCK_C = 100;
constexpr uint32_t SC_MEMORY = 2;

int device_read_program(uint32_t address, uint32_t* out) {
  return read_device_memory(cur_device, SPACE_P, address, out);
}
int device_read_data(int space, uint32_t address, uint32_t* out) {
  return read_device_memory(cur_device, space, address, out);
}
int device_read_register(const char* name, uint32_t* out) {
  int row = 0, reg = 0;
  if (lookup_register(cur_device, name, &row, &reg) == 0) return -1;
  uint32_t words[3] = {};
  if (read_register(cur_device, row, reg, words) == 0) return 0;
  *out = words[0];
  return 1;
}
int device_write_register(const char* name, uint32_t value) {
  int row = 0, reg = 0;
  if (lookup_register(cur_device, name, &row, &reg) == 0) return 0;
  const uint32_t words[3] = {value, 0, 0};
  return write_register(cur_device, row, reg, words);
}

frame_list* list_or_null() { return cur_state != nullptr ? cur_state->frames.get() : nullptr; }

frame_list& list() {
  if (!cur_state->frames) cur_state->frames = std::make_shared<frame_list>();
  return *cur_state->frames;
}

// The innermost frame or stack pointer from the family's register; 0 after
// a failed read.
uint32_t live_pointer(bool stack, uint32_t pc) {
  const frame_hook_table* hooks = frame_hooks();
  uint32_t (*hook)() = hooks == nullptr ? nullptr : stack ? hooks->stack_pointer : hooks->frame_pointer;
  if (hook != nullptr) return hook();
  uint32_t value = 0;
  const int r = frame_target->read_register(frame_register_name(stack), &value);
  if (r < 0) {
    c_internal_error(SOURCE, __LINE__);
    return 0;
  }
  if (r == 0) {
    c_error(stack ? "unable to read stack register" : "unable to read frame register");
    return 0;
  }
  if (frame_register_adjusted(stack)) value += static_cast<uint32_t>(frame_stack_adjust(pc));
  return value & c_family->address;
}

// A parameter's value at its place in a frame.
c_value parameter_value(uint32_t index, uint32_t frame_pointer) {
  const coff_symbol& s = current_debug_info()->c_symbols[index];
  c_value v;
  c_symbol_value(v, index);
  v.sclass = s.sclass();
  v.space = static_cast<uint32_t>(s.space());
  if (s.sclass() == SC_AUTO_ARGUMENT) {
    v.sclass = SC_MEMORY;
    v.address = (s.value() + frame_pointer) & c_family->address;
    v.space = static_cast<uint32_t>(memory_model());
  }
  return v;
}

std::string frame_head_text(int level, uint32_t pc, int function) {
  const std::string name = function >= 0 ? c_symbol_name(static_cast<uint32_t>(function)) : "???";
  char text[96];
  std::snprintf(text, sizeof text, "#%-2d p:0x%lx in %.50s (", level, static_cast<unsigned long>(pc), name.c_str());
  return text;
}

bool repeats(const frame_list& l, uint32_t pc, uint32_t fp, uint32_t sp) {
  for (const frame_rec& f : l.frames)
    if (f.pc == pc && f.frame_pointer == fp && f.stack_pointer == sp) return true;
  return false;
}

}  // namespace

const frame_machine device_frame_machine = {device_read_program, device_read_data, device_read_register,
                                             device_write_register};
const frame_machine* frame_target = &device_frame_machine;

std::string frame_args_text(int function, uint32_t frame_pointer) {
  const coff_debug_info* info = current_debug_info();
  const int bf = c_function_begin(function);
  if (info == nullptr || bf < 0) return "";
  std::string out;
  const auto count = static_cast<uint32_t>(info->c_symbols.size());
  for (uint32_t i = next_symbol(*info, static_cast<uint32_t>(bf)); i < count; i = next_symbol(*info, i)) {
    const coff_symbol& s = info->c_symbols[i];
    if (s.sclass() == SC_BLOCK_C || s.sclass() == SC_FUNCTION) break;
    if (s.sclass() != SC_AUTO_ARGUMENT && s.sclass() != SC_REGISTER_PARAM && s.sclass() != SC_FURTHER) continue;
    if (!out.empty()) out += ", ";
    out += c_symbol_name(i) + "=" + c_value_text(parameter_value(i, frame_pointer), C_NATURAL);
  }
  return out;
}

void build_backtrace() {
  if (cur_inst == nullptr) return;
  uint32_t pc = cur_inst->pc;
  uint32_t fp = live_pointer(false, pc);
  uint32_t sp = live_pointer(true, pc);
  frames_free();
  frame_list& l = list();
  for (int level = 0; level < FRAME_LEVEL_MAX && !repeats(l, pc, fp, sp); ++level) {
    const int f = c_function_at(pc);
    frame_rec rec;
    rec.text = frame_head_text(level, pc, f) + (f >= 0 ? frame_args_text(f, fp) : "") + ")";
    rec.pc = pc;
    rec.frame_pointer = fp;
    rec.stack_pointer = sp;
    rec.function = f;
    rec.saved = frame_saved_registers(pc, sp);
    l.frames.push_back(std::move(rec));
    if (f < 0 || c_symbol_name(static_cast<uint32_t>(f)) == "main") break;
    const uint32_t ret = frame_return_address(pc, fp, sp);
    const uint32_t next_fp = frame_next(pc, fp, sp, ret);
    sp = frame_next_stack(pc, sp, ret);
    fp = next_fp;
    pc = ret;
  }
  l.frame_selected = 0;
}

void frames_free() {
  if (frame_list* l = list_or_null()) *l = frame_list{};
}

int frames_count() {
  const frame_list* l = list_or_null();
  return l != nullptr ? static_cast<int>(l->frames.size()) : 0;
}

frame_rec* frame_at(int index) {
  frame_list* l = list_or_null();
  if (l == nullptr || index < 0 || index >= static_cast<int>(l->frames.size())) return nullptr;
  return &l->frames[static_cast<std::size_t>(index)];
}

int frame_current_index() {
  const frame_list* l = list_or_null();
  return l != nullptr && l->frame_selected < static_cast<int>(l->frames.size()) ? l->frame_selected : -1;
}

frame_rec* frame_current() { return frame_at(frame_current_index()); }

void frame_current_set(int index) {
  if (frame_at(index) != nullptr) list().frame_selected = index;
}

uint32_t frame_pc() {
  if (const frame_rec* f = frame_current()) return f->pc;
  return cur_inst != nullptr ? cur_inst->pc : 0;
}

uint32_t frame_pointer() {
  if (const frame_rec* f = frame_current()) return f->frame_pointer;
  return live_pointer(false, frame_pc());
}

int c_frame_address(uint32_t /*space*/, uint32_t offset, uint32_t* space_out, uint32_t* address_out) {
  *space_out = static_cast<uint32_t>(memory_model());
  *address_out = (offset + frame_pointer()) & c_family->address;
  return 1;
}

int frame_saved_register_slot(const char* name, uint32_t* address, int* space) {
  for (int i = frame_current_index() - 1; i >= 0; --i) {
    for (const frame_saved_reg& cell : frame_at(i)->saved) {
      if (std::strncmp(cell.name.c_str(), name, 5) != 0) continue;
      *address = cell.slot;
      *space = cell.space;
      return 1;
    }
  }
  return 0;
}

void frame_refresh_text(frame_rec& frame) {
  if (frame.function < 0) return;
  const std::size_t open = frame.text.find('(');
  if (open == std::string::npos) return;
  frame.text = frame.text.substr(0, open) + "(" + frame_args_text(frame.function, frame.frame_pointer) + ")";
}

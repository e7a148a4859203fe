// Calls into the target: a call in a C expression runs the function on the
// simulated device. The return address, a struct-result area and the
// arguments go on the target stack by the family's calling convention, the
// program's "dummy_call" routine is patched with the function's address
// and the stack sizes, pc moves there and a run is armed; the evaluation
// goes on when the run has come back (run mode 17).
//
// - Calls into the target (`target_call.cpp`, installed as the evaluator's call starter): the
//   family's convention lays the return address, a structure result's area and the arguments on the
//   target stack (or the first two in register variables), patches the program's `dummy_call` and
//   arms run mode 16; at the end of its "rts" (mode 17) the stepping check resumes the waiting
//   expression (`c_call_resume`). The counters kept before the first call of an expression are the
//   ones put back after the last (a pc write clears them at each set-up).
#include "sim/cdb/target_call.h"

#include <cstdint>

#include "sim/cdb/c_arith.h"
#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"

namespace {

constexpr const char* SOURCE = "cdbfunc.c";
constexpr uint32_t RUN_TARGET_CALL = 16;

struct reg_ref {
  int row = 0;
  int reg = 0;
};

bool find_reg(const char* name, reg_ref& r) {
  if (lookup_register(cur_device, name, &r.row, &r.reg) != 0) return true;
  c_internal_error(SOURCE, __LINE__);
  return false;
}

bool read_reg(const reg_ref& r, const char* name, uint32_t& out) {
  uint32_t words[3] = {};
  if (read_register(cur_device, r.row, r.reg, words) == 0) {
    c_error(std::string("unable to read register ") + name);
    return false;
  }
  out = words[0];
  return true;
}

bool write_reg(const reg_ref& r, const char* name, uint32_t value) {
  const uint32_t words[3] = {value, 0, 0};
  if (write_register(cur_device, r.row, r.reg, words) == 0) {
    c_error(std::string("unable to write register ") + name);
    return false;
  }
  return true;
}

bool write_memory(int space, uint32_t address, uint32_t value) {
  const uint32_t word = value & c_family->mask;
  if (cur_type->mem->write_word(space, address & c_family->address, &word) == 0) {
    c_error("unable to write memory");
    return false;
  }
  return true;
}

// The stack's space, and the return address's (space 2 under model 3).
int stack_space() { return memory_model(); }
int return_space() { return memory_model() == 3 ? 2 : memory_model(); }

bool is_aggregate(uint32_t type) {
  return c_level(type) == 0 && (c_base(type) == CT_STRUCT || c_base(type) == CT_UNION);
}

// The register numbers of the first two arguments: none, or the family's.
struct register_args {
  int count = 0;
  int number[2] = {0, 0};
};

// The arguments, last first, onto the stack at sp (which advances) or into
// register variables; the words pushed.
uint32_t push_arguments(const c_node* callee, uint32_t& sp, const register_args& regs) {
  const auto& args = callee->args;
  const auto n = static_cast<int>(args.size());
  uint32_t pushed = 0;
  for (int i = 0; i < n; ++i) {
    c_value v = args[static_cast<std::size_t>(i)]->value;
    if (c_fetch(v) == 0) continue;
    const int position = n - 1 - i;  // 0 for the first argument
    v.located = 1;
    if (position < regs.count && !is_aggregate(v.type)) {
      v.sclass = 4;
      v.address = static_cast<uint32_t>(regs.number[position]);
      c_store(v);
      continue;
    }
    v.sclass = SC_EXTERNAL;
    v.address = sp & c_family->address;
    v.space = static_cast<uint32_t>(stack_space());
    c_store(v);
    const auto words = static_cast<uint32_t>(c_sizeof_words(v));
    sp += words;
    pushed += words;
  }
  return pushed;
}

// Where the function starts: a function designator's own address, else
// the value of a pointer to a function.
bool function_address(c_node* callee, uint32_t& out) {
  c_value& f = callee->value;
  const bool designator = c_is_function(f.type);
  if (f.located != 0 && !designator && c_fetch(f) == 0) return false;
  out = designator && f.located != 0 ? f.address : f.v[3];
  return true;
}

// The struct or union result's words, 0 for any other type.
uint32_t result_words(const c_node* call) {
  return is_aggregate(call->value.type) ? static_cast<uint32_t>(c_sizeof_words(call->value)) : 0;
}

void give_result_area(c_node* call, uint32_t address) {
  call->value.v[3] = address & c_family->address;
  call->value.v[4] = static_cast<uint32_t>(memory_model());
}

bool dummy_call_address(uint32_t& out) {
  int space = 0;
  return find_symbol("dummy_call", &out, &space) != 0;
}

// Families 711 and 713 (stack pointer r2, struct area in a1, patches at
// +1, +3 and +7) and 712 (r6, r7, the first two arguments in a1/b1, +6).
struct stack_convention {
  const char* sp;
  const char* area;
  uint32_t struct_patch;
  register_args regs;
};

int setup_stack(c_node* call, const stack_convention& c) {
  reg_ref sp_reg, pc_reg, area_reg;
  if (!find_reg(c.sp, sp_reg) || !find_reg("pc", pc_reg) || !find_reg(c.area, area_reg)) return 0;
  uint32_t sp = 0;
  if (!read_reg(sp_reg, c.sp, sp)) return 0;
  const uint32_t n = result_words(call);
  if (n > 0) {
    if (!write_reg(area_reg, c.area, sp)) return 0;
    give_result_area(call, sp);
    sp += n;
  }
  if (!write_memory(return_space(), sp, cur_inst->pc)) return 0;
  sp += 1;
  const uint32_t k = push_arguments(call->middle, sp, c.regs);
  uint32_t dummy = 0, function = 0;
  dummy_call_address(dummy);
  if (!write_reg(pc_reg, "pc", dummy) || !function_address(call->middle, function)) return 0;
  if (!write_memory(SPACE_P, dummy + 1, function) || !write_memory(SPACE_P, dummy + 3, 0u - (k + 1)) ||
      !write_memory(SPACE_P, dummy + c.struct_patch, 0u - n))
    return 0;
  return write_reg(sp_reg, c.sp, sp) ? 1 : 0;
}

// Families 709 and 710/714: a frame of the old r0 and the return address,
// r0 the new frame pointer; only +1 is patched.
int setup_frame(c_node* call, const char* area, const register_args& regs) {
  reg_ref fp_reg, sp_reg, pc_reg, area_reg;
  if (!find_reg("r0", fp_reg) || !find_reg("r6", sp_reg) || !find_reg("pc", pc_reg) || !find_reg(area, area_reg))
    return 0;
  uint32_t old_fp = 0, sp = 0;
  if (!read_reg(fp_reg, "r0", old_fp) || !read_reg(sp_reg, "r6", sp)) return 0;
  if (!write_memory(stack_space(), sp, old_fp) || !write_memory(return_space(), sp + 1, cur_inst->pc)) return 0;
  sp += 2;
  const uint32_t fp = sp;
  const uint32_t n = result_words(call);
  if (n > 0) {
    if (!write_reg(area_reg, area, fp)) return 0;
    give_result_area(call, fp);
    sp += n;
  }
  push_arguments(call->middle, sp, regs);
  uint32_t dummy = 0, function = 0;
  dummy_call_address(dummy);
  if (!write_reg(pc_reg, "pc", dummy) || !function_address(call->middle, function)) return 0;
  if (!write_memory(SPACE_P, dummy + 1, function)) return 0;
  return write_reg(fp_reg, "r0", fp) && write_reg(sp_reg, "r6", sp) ? 1 : 0;
}

int setup_for_family(c_node* call) {
  switch (c_family->code) {
    case 711:
    case 713: return setup_stack(call, {"r2", "a1", 7, {}});
    case 712: return setup_stack(call, {"r6", "r7", 6, {2, {0, 1}}});
    case 709: return setup_frame(call, "a1", {});
    case 710:
    case 714: return setup_frame(call, "r7", {2, {0, 3}});
    default: c_internal_error(SOURCE, __LINE__); return 0;
  }
}

int target_call(c_node* call) {
  if (call == nullptr || call->middle == nullptr || setup_for_family(call) == 0) return 0;
  device_state& st = *cur_state;
  st.run_mode = RUN_TARGET_CALL;
  st.stop_address = (cur_inst->pc + 2) & c_family->address;
  st.stop_space = SPACE_P;
  st.run_count = 0;
  st.halt_on_break = 0;
  st.break_number = 0;
  frames_free();
  reset_run_flags();
  st.running = 1;
  return 1;
}

}  // namespace

void install_target_calls() { set_c_call_starter(target_call); }

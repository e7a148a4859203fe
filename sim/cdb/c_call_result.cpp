// Around a call into the target: the counters a call must not disturb, the
// call's result from the result register, and the walk resumed afterwards.
#include <memory>

#include "sim/cdb/c_arith.h"
#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/coff.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/regaccess.h"

namespace {

constexpr const char* SOURCE = "cdbutil.c";

struct saved_counters {
  int word = 0;
  uint32_t ictr[3] = {};
  uint32_t cyc[3] = {};
};
saved_counters saved;
std::unique_ptr<c_tree> pending;

bool register_words(const char* name, uint32_t* words, bool write) {
  int row = 0, reg = 0;
  if (lookup_register(cur_device, name, &row, &reg) == 0) {
    c_internal_error(SOURCE, __LINE__);
    return false;
  }
  if (write ? write_register(cur_device, row, reg, words) != 0 : read_register(cur_device, row, reg, words) != 0)
    return true;
  c_error(write ? "unable to write register" : "unable to read register");
  return false;
}

// The result register of the family for the type; null for none.
const char* result_register(uint32_t type) {
  if (c_level(type) == 0 && (c_base(type) == CT_STRUCT || c_base(type) == CT_UNION || c_base(type) == CT_VOID))
    return nullptr;
  if (c_family_kind() != C_KIND_32) return "a";
  if (c_is_pointer(type) || c_is_integral(type)) return "d0.l";
  return c_base(type) == CT_FLOAT ? "d0.s" : "d0.d";
}

// The result register's words into the call node's value by its type.
bool collect_result(c_value& v) {
  const char* name = result_register(v.type);
  if (name == nullptr) return true;
  uint32_t w[3] = {};
  if (!register_words(name, w, false)) return false;
  const c_family_kind_t kind = c_family_kind();
  const bool is_float = c_is_float_type(v.type);
  if (kind == C_KIND_32 && !is_float) w[1] = w[0];
  const uint32_t base = c_base(v.type);
  v.v[3] = v.v[4] = 0;
  if (c_is_pointer(v.type)) {
    v.v[3] = w[1];
    v.v[4] = static_cast<uint32_t>(memory_model());
  } else if (base == CT_LONG || base == CT_ULONG) {
    v.v[3] = w[0], v.v[4] = w[1];
  } else if (c_is_integral(v.type)) {
    v.v[3] = w[1];
  } else if (is_float && kind == C_KIND_16) {
    v.v[2] = (w[0] & 0xFFFF) | ((w[1] & 0xFFFF) << 16);
  } else if (is_float && kind == C_KIND_24) {
    v.v[3] = w[0] & c_family->mask, v.v[4] = w[1] & c_family->mask;
  } else if (base == CT_FLOAT) {
    v.v[2] = w[0];
  } else if (base == CT_DOUBLE) {
    v.v[0] = w[0], v.v[1] = w[1];
  } else {
    c_internal_error(SOURCE, __LINE__);
    return false;
  }
  return true;
}

}  // namespace

void c_save_counters(int word) {
  saved.word = word;
  register_words("ictr", saved.ictr, false);
  register_words("cyc", saved.cyc, false);
}

int c_restore_counters(int* word) {
  *word = saved.word;
  if (!register_words("ictr", saved.ictr, true) || !register_words("cyc", saved.cyc, true)) return 0;
  c_node* call = c_node_pop();
  if (call == nullptr) return 0;
  call->ready = 1;
  const bool ok = collect_result(call->value);
  c_node_push(call);
  return ok ? 1 : 0;
}

void c_call_pending(std::unique_ptr<c_tree> tree) { pending = std::move(tree); }

int c_call_resume() {
  if (pending == nullptr) return 0;
  int format = C_NATURAL;  // replaced by the saved word
  int result = c_restore_counters(&format);
  if (result != 0) result = c_eval_again();
  // A further call: the counters kept before the first one stay, to be put
  // back when the last returns (its set-up has already cleared them).
  if (result == 2) return 2;
  if (result == 1) c_print_value(format, &pending->root->value);
  pending.reset();
  return result;
}

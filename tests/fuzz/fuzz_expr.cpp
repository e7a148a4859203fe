// The expression entry points on every device type and default radix.
// Input: a byte choosing type and radix, a byte choosing the entry point,
// then the text.
#include <string>

#include "fuzz_support.h"
#include "sim/expr/expr.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return -1;
  fuzz_start();
  static int last_type = -1;
  const int type = data[0] % TYPE_COUNT;
  if (type != last_type) {
    fuzz_fresh_session(device_types[type]->name);
    last_type = type;
  }
  cur_state->default_radix = data[0] / TYPE_COUNT % 5;
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
  const uint32_t flags = cur_type->expr_flags;
  sv_optr = text.c_str();
  expr_result value;
  switch (data[1] % 4) {
    case 0: value = parse_expression(flags); break;
    case 1: value = parse_address_expr(flags); break;
    case 2: value = parse_data_expr(flags); break;
    default: value = parse_bounded_expr(flags, data[1] & 0x80 ? 0xFF : 0xFFFF); break;
  }
  // The cursor stays inside the text.
  if (sv_optr < text.c_str() || sv_optr > text.c_str() + text.size()) __builtin_trap();
  if (value) {
    double d = value_as_double(flags, *value);
    (void)d;
    value_from_double(flags, *value);
  }
  return 0;
}

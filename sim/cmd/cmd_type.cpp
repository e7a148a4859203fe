// type: the C type of an expression and where its value lives.
#include <cstdio>
#include <string>

#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/cmd/c_args.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/watch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr uint32_t SC_AUTO = 1, SC_REGISTER = 4, SC_ARGUMENT = 9, SC_REGISTER_PARAM = 17, SC_BIT_FIELD = 18;

template <typename... Args>
std::string format(const char* text, Args... args) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, text, args...);
  return buffer;
}

unsigned long ul(uint32_t w) { return static_cast<unsigned long>(w); }

// Space 3 holds pointers and plain arithmetic values in its space 2 half.
uint32_t shown_space(const c_value& v) {
  const bool derived = (v.type & 0x30) != 0;
  const bool arithmetic = (v.type & 0xF) != CT_STRUCT && (v.type & 0xF) != CT_UNION;
  const bool pointer = (v.type & 0x30) == 0x10;
  return v.space == 3 && (pointer || (!derived && arithmetic)) ? 2 : v.space;
}

std::string register_name(const c_value& v) {
  if (v.sclass == CN_REGISTER_CLASS) {
    if (cur_type == nullptr || v.space >= static_cast<uint32_t>(cur_type->periph_count)) return "(unknown)";
    const periph_class& cls = *cur_type->periphs[v.space].cls;
    return v.address < static_cast<uint32_t>(cls.reg_count) ? cls.regs[v.address].name : "(unknown)";
  }
  const char* name = c_register_var_name(v.type, v.address);
  return name != nullptr ? name : "(unknown)";
}

std::string location_text(const c_value& v) {
  if (v.located == 0) return "";
  if (v.sclass == SC_REGISTER || v.sclass == SC_REGISTER_PARAM || v.sclass == CN_REGISTER_CLASS)
    return " in register " + register_name(v);
  if (v.sclass == SC_AUTO || v.sclass == SC_ARGUMENT) {
    uint32_t space = 0, address = 0;
    c_frame_address(v.space, v.address, &space, &address);
    const std::string at = format(" at %s:0x%lx", c_space_name(static_cast<int>(space), address), ul(address));
    const int32_t offset = static_cast<int32_t>(v.address);
    if (offset == 0) return at;
    const uint32_t magnitude = offset < 0 ? 0u - static_cast<uint32_t>(offset) : static_cast<uint32_t>(offset);
    return at + format(" (%s[=0x%lx]%c0x%lx)", frame_register_name(false), ul(frame_pointer()),
                       offset < 0 ? '-' : '+', ul(magnitude));
  }
  const uint32_t space = shown_space(v);
  const coff_debug_info* info = current_debug_info();
  if (v.sclass == SC_BIT_FIELD && info != nullptr && v.tag + 1 < info->c_symbols.size()) {
    // The member symbol holds the field's bit offset, its auxiliary entry the width.
    const uint32_t offset = info->c_symbols[v.tag].value();
    const uint32_t width = info->c_symbols[v.tag + 1].w[2];
    const auto word_bits = static_cast<uint32_t>(c_family->width);
    const uint32_t address = v.address + offset / word_bits;
    return format(" starting at %s:0x%lx, bit %lu, with length %lu %s", c_space_name(static_cast<int>(space), address),
                  ul(address), ul(offset % word_bits), ul(width), width == 1 ? "bit" : "bits");
  }
  return format(" at %s:0x%lx", c_space_name(static_cast<int>(space), v.address), ul(v.address));
}

void type_action(const char*) {
  cur_state->view_mode = 0;
  std::unique_ptr<c_tree> tree = take_c_tree(2, nullptr, nullptr);
  if (tree == nullptr) return;
  const c_value* v = c_tree_result(*tree);
  if (v == nullptr) return;
  session_echo((c_type_text(*v) + location_text(*v)).c_str(), 1);
}

constexpr action_record type_record{type_action, 0};

}  // namespace

const action_record* cmd_type() {
  return parse_c_expr_arg(2, "type expressions cannot contain function calls") && check_no_more_args(3)
             ? &type_record
             : nullptr;
}

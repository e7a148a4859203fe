// The argument readers and the parse-error table.
#include "sim/cmd/readers.h"

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "sim/cdb/source.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"

const char* const parse_error_messages[4] = {
    "Need more parameters",
    "Invalid parameter",
    "Too many parameters",
    "Range of Break Number is 1-99",
};

const char* const break_action_words[] = {"h", "i1", "i2", "i3", "i4", "n", "s", "x", nullptr};
const char* const memory_access_words[] = {"r", "rw", "w", nullptr};
const char* const data_access_words[] = {"dr", "drw", "dw", nullptr};
const char* const display_switch_words[] = {"off", "on", "r", "rw", "w", nullptr};
const char* const radix_letter_words[] = {"b", "d", "f", "h", "u", nullptr};
const char* const display_mode_words[] = {"m0", "m1", "m2", "m3", "m4",
                                          "m5", "m6", "m7", "m8", nullptr};
const char* const input_radix_words[] = {"-rb", "-rd", "-rf", "-rh", "-ru", nullptr};
const char* const output_radix_words[] = {"-rb", "-rd", "-rf", "-rh", "-ru", "-rs", nullptr};
const char* const file_option_words[] = {"-a", "-c", "-o", nullptr};
const char* const target_stream_words[] = {"stdin", "stdout", "stderr", nullptr};
const char* const history_words[] = {"history", "ehistory", "dhistory", nullptr};

namespace {

constexpr const char* FRAME_NEGATIVE = "Frame number must be positive";
constexpr const char* EXTRA_CHARACTERS = "Extra characters beyond expression";
constexpr const char* INVALID_LINE = "Invalid line number";
constexpr uint32_t NO_LIMIT = 0xFFFFFFFFu;

command_lexer& lx() { return *cur_lexer; }

const char* invalid() { return parse_error_messages[ERR_INVALID]; }

int accept(int i, char kind, const arg_value& value) {
  lx().kind[i] = kind;
  lx().value[i] = value;
  return 1;
}

bool negative(const arg_value& v) { return (v.ext & 0x80) != 0; }

// A count is a 32-bit number: a value beyond it would wrap to a small one.
bool fits_32_bits(const arg_value& v) {
  if ((v.type & AV_WRAPPED) != 0) return false;
  return v.ext == 0 || (v.ext == 0xFF && (v.hi & 0x8000) != 0);
}

// A number that a mark introduces ("#n", ":n"), as a signed 32-bit value.
int64_t signed_number(const arg_value& v) {
  const uint32_t combined = value_combined(v);
  return negative(v) ? static_cast<int64_t>(static_cast<int32_t>(combined))
                     : static_cast<int64_t>(combined);
}

// Evaluates `text` (a token, or a part of one, as typed) whose first
// character sits at offset `base` of the line. The whole text must be
// consumed. On failure token i takes the evaluator's message, positioned
// where evaluation stopped.
expr_result evaluate(int i, const std::string& text, int base, bool bounded, uint32_t limit) {
  if (cur_type == nullptr) {
    reader_fail(i, invalid());
    return std::nullopt;
  }
  sv_optr = text.c_str();
  expr_result value = bounded ? parse_bounded_expr(cur_type->expr_flags, limit)
                              : parse_expression(cur_type->expr_flags);
  const char* stop = sv_optr;
  const bool inside = stop != nullptr && stop >= text.c_str() && stop <= text.c_str() + text.size();
  const int pos = base + (inside ? static_cast<int>(stop - text.c_str()) : 0);
  if (!value) {
    reader_fail_at(i, parse_error_text != nullptr ? parse_error_text : invalid(), pos);
    return std::nullopt;
  }
  if (!inside || *stop != '\0') {
    reader_fail_at(i, EXTRA_CHARACTERS, pos);
    return std::nullopt;
  }
  return value;
}

// The location of a source line's first instruction.
arg_value line_location(uint32_t address, int space) {
  arg_value v;
  int region = find_memory_region(space, address);
  if (region < 0 || region >= cur_type->region_count) region = 0;
  const mem_region& row = cur_type->regions[region];
  v.addr = address & row.addr_mask;
  v.space = static_cast<uint32_t>(space);
  v.region = static_cast<uint16_t>(region);
  v.type = row.format | AV_MEM | AV_INT;
  return v;
}

// A memory reference written in `text` on a device (made current for the
// evaluation, the previous device current again after): the value with
// lo = hi = the address and the device set.
expr_result read_location(int i, const std::string& text, int base, int device) {
  const int previous = cur_device;
  if (!make_device_current(device)) {
    reader_fail_at(i, invalid(), base);
    return std::nullopt;
  }
  expr_result value = evaluate(i, text, base, false, 0);
  if (!value || (value->type & AV_MEM) == 0) {
    // "12" or "file@12": a line of a source file of the program.
    uint32_t address = 0;
    int space = 0;
    const int line = source_line_location(text.c_str(), &address, &space);
    if (line > 0) {
      value = line_location(address, space);
    } else if (line < 0) {
      reader_fail_at(i, INVALID_LINE, base);
      value.reset();
    } else if (value) {
      reader_fail_at(i, invalid(), base);
      value.reset();
    }
  }
  if (previous != device) make_device_current(previous);
  if (!value) return value;
  value->lo = value->hi = value->addr;
  value->device = static_cast<uint16_t>(device);
  return value;
}

uint32_t region_mask(const arg_value& location) {
  if (cur_type == nullptr || location.region >= cur_type->region_count) return 0xFFFF;
  return cur_type->regions[location.region].addr_mask;
}

// A plain number after a mark: at least one digit, nothing else.
bool digits_only(std::string_view text, int max_digits, uint32_t& out) {
  if (text.empty() || static_cast<int>(text.size()) > max_digits) return false;
  uint32_t n = 0;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
    n = n * 10 + static_cast<uint32_t>(c - '0');
  }
  out = n;
  return true;
}

// "reg:" and "per:" are optional prefixes of names.
std::string_view without_prefix(std::string_view word, std::string_view prefix) {
  if (word.substr(0, prefix.size()) == prefix) word.remove_prefix(prefix.size());
  return word;
}

bool find_register(std::string_view name, int& row, int& reg) {
  const std::string text(without_prefix(name, "reg:"));
  return !text.empty() && lookup_register(cur_device, text.c_str(), &row, &reg) != 0;
}

// The value of a register condition: "$" hexadecimal, "`" decimal, else by
// the default radix (hexadecimal, or decimal for d, f and u).
bool condition_value(std::string_view text, uint32_t& out) {
  int radix = cur_state != nullptr ? cur_state->default_radix : RADIX_DEC;
  if (!text.empty() && text.front() == '$') {
    radix = RADIX_HEX;
    text.remove_prefix(1);
  } else if (!text.empty() && text.front() == '`') {
    radix = RADIX_DEC;
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  uint64_t n = 0;
  for (char c : text) {
    const int lower = std::tolower(static_cast<unsigned char>(c));
    int digit = -1;
    if (lower >= '0' && lower <= '9') digit = lower - '0';
    else if (radix == RADIX_HEX && lower >= 'a' && lower <= 'f') digit = lower - 'a' + 10;
    if (digit < 0) return false;
    if (radix == RADIX_HEX) n = n * 16 + static_cast<uint64_t>(digit);
    else if (radix == RADIX_DEC || radix == RADIX_FRAC || radix == RADIX_UNS)
      n = n * 10 + static_cast<uint64_t>(digit);
    else return false;
    if (n > 0xFFFFFFFFu) return false;
  }
  out = static_cast<uint32_t>(n);
  return true;
}

struct compare_op {
  const char* text;
  uint16_t code;
};
constexpr compare_op compare_ops[] = {{"!=", 0}, {"<=", 1}, {">=", 3}, {"==", 5},
                                      {"<", 2},  {">", 4},  {"=", 6}};

// item<op>value with a one-word register as the item.
bool register_condition(int i) {
  const std::string_view word = lx().typed(i);
  const std::size_t split = word.find_first_of("!<>=");
  if (split == std::string_view::npos || split == 0) return false;
  int row = 0, reg = 0;
  if (!find_register(word.substr(0, split), row, reg)) return false;
  const uint32_t access = cur_type->periphs[row].cls->regs[reg].access;
  if ((access & 7) != 1) return false;
  if ((cur_type->expr_flags & 0x2000000) == 0 && (access & 0x2000000) != 0) return false;
  std::string_view rest = word.substr(split);
  const compare_op* op = nullptr;
  for (const compare_op& o : compare_ops) {
    if (rest.substr(0, std::strlen(o.text)) == o.text) {
      op = &o;
      break;
    }
  }
  if (op == nullptr) return false;
  rest.remove_prefix(std::strlen(op->text));
  uint32_t number = 0;
  if (!condition_value(rest, number)) return false;
  arg_value v;
  v.item = static_cast<uint16_t>(reg);
  v.op = op->code;
  v.region = static_cast<uint16_t>(row);
  v.device = static_cast<uint16_t>(cur_device);
  v.lo = number & 0xFFFF;
  v.hi = number >> 16;
  v.type = AV_INT | (number > 0xFFFF ? AV_TWO : AV_ONE);
  return accept(i, 'Y', v) != 0;
}

// The number after a one-character mark ('#', ':') of token i.
expr_result marked_number(int i, char mark, uint32_t limit) {
  if (!need_arg(i)) return std::nullopt;
  const char* typed = lx().typed(i);
  if (typed[0] != mark) {
    reader_fail(i, invalid());
    return std::nullopt;
  }
  return evaluate(i, typed + 1, lx().start[i] + 1, true, limit);
}

}  // namespace

int reader_fail_at(int i, const char* message, int pos) {
  command_lexer& l = lx();
  parse_error_text = message;
  l.error_pos = pos;
  if (l.has(i)) l.kind[i] = KIND_UNEXAMINED;
  return 0;
}

int reader_fail(int i, const char* message) {
  return reader_fail_at(i, message, lx().has(i) ? lx().start[i] : lx().end_pos());
}

// --- Base readers ---------------------------------------------------------------

int need_arg(int i) {
  if (!lx().has(i)) return reader_fail(i, parse_error_messages[ERR_NEED_MORE]);
  lx().kind[i] = 'K';
  return 1;
}

int parse_name_arg(int i) {
  if (!need_arg(i)) return 0;
  lx().kind[i] = 'N';
  return 1;
}

int check_no_more_args(int i) {
  command_lexer& l = lx();
  if (l.has(i)) return reader_fail(i, parse_error_messages[ERR_TOO_MANY]);
  l.kind[l.count + 1] = KIND_END;
  if (i >= 1 && i < LEXER_SLOTS) l.kind[i] = KIND_END;
  return 1;
}

int match_keyword(int i, const char* word) {
  if (!need_arg(i)) return 0;
  if (std::strcmp(lx().word(i), word) != 0) return reader_fail(i, invalid());
  lx().kind[i] = 'j';
  return 1;
}

int list_length(const char* const* list) {
  int n = 0;
  while (list[n] != nullptr) ++n;
  return n;
}

int match_keyword_list(int i, const char* const* list, char kind, int count) {
  if (!need_arg(i)) return -1;
  const char* word = lx().word(i);
  for (int k = 0; k < count && list[k] != nullptr; ++k) {
    if (std::strcmp(word, list[k]) == 0) {
      arg_value v;
      v.lo = static_cast<uint32_t>(k);
      accept(i, kind, v);
      return k;
    }
  }
  reader_fail(i, invalid());
  return -1;
}

int parse_number_arg(int i, uint32_t limit) {
  if (!need_arg(i)) return 0;
  const expr_result v = evaluate(i, lx().typed(i), lx().start[i], true, limit);
  return v ? accept(i, 'I', *v) : 0;
}

int parse_value_arg(int i) {
  if (!need_arg(i)) return 0;
  const expr_result v = evaluate(i, lx().typed(i), lx().start[i], false, 0);
  if (!v) return 0;
  if ((v->type & AV_FLOAT) != 0 || (v->type & AV_INT) == 0) return reader_fail(i, invalid());
  return accept(i, 'I', *v);
}

int parse_fraction_arg(int i) {
  if (!need_arg(i)) return 0;
  const expr_result v = evaluate(i, lx().typed(i), lx().start[i], false, 0);
  if (!v) return 0;
  if ((v->type & AV_FLOAT) == 0) return reader_fail(i, invalid());
  return accept(i, 'I', *v);
}

int parse_address_arg(int i) {
  if (cur_type == nullptr || cur_type->region_count == 0) return reader_fail(i, invalid());
  return parse_number_arg(i, cur_type->regions[0].high);
}

int parse_float_or_int_arg(int i) {
  if (!need_arg(i)) return 0;
  const expr_result v = evaluate(i, lx().typed(i), lx().start[i], false, 0);
  if (!v) return 0;
  return accept(i, (v->type & AV_FLOAT) != 0 ? 'F' : 'I', *v);
}

int parse_count_arg(int i) {
  if (!parse_value_arg(i)) return 0;
  if (!fits_32_bits(lx().value[static_cast<std::size_t>(i)])) return reader_fail(i, invalid());
  lx().kind[i] = 'i';
  return 1;
}

// --- Named items ----------------------------------------------------------------

int parse_device_number(int i) {
  if (!need_arg(i)) return 0;
  const std::string_view word = lx().word(i);
  uint32_t n = 0;
  if (word.substr(0, 2) != "dv" || !digits_only(word.substr(2), 9, n) || n >= DEVICE_MAX)
    return reader_fail(i, invalid());
  arg_value v;
  v.lo = n;
  return accept(i, 'n', v);
}

int parse_device_type_name(int i) {
  if (!need_arg(i)) return 0;
  for (int t = 0; t < TYPE_COUNT; ++t) {
    if (std::strcmp(lx().word(i), device_types[t]->name) == 0) {
      arg_value v;
      v.lo = static_cast<uint32_t>(t);
      return accept(i, 't', v);
    }
  }
  return reader_fail(i, invalid());
}

int parse_register_arg(int i) {
  if (!need_arg(i)) return 0;
  int row = 0, reg = 0;
  if (cur_type == nullptr || !find_register(lx().word(i), row, reg)) return reader_fail(i, invalid());
  arg_value v;
  v.item = static_cast<uint16_t>(reg);
  v.region = static_cast<uint16_t>(row);
  v.device = static_cast<uint16_t>(cur_device);
  return accept(i, 'g', v);
}

int parse_register_block(int i) {
  if (!need_arg(i)) return 0;
  const std::string_view word = lx().word(i);
  const std::size_t dots = word.find("..");
  int row1 = 0, reg1 = 0, row2 = 0, reg2 = 0;
  if (cur_type == nullptr || dots == std::string_view::npos ||
      !find_register(word.substr(0, dots), row1, reg1) ||
      !find_register(word.substr(dots + 2), row2, reg2))
    return reader_fail(i, invalid());
  arg_value v;
  v.item = static_cast<uint16_t>(reg1);
  v.region = static_cast<uint16_t>(row1);
  v.lo = static_cast<uint32_t>(reg2);
  v.hi = static_cast<uint32_t>(row2);
  v.device = static_cast<uint16_t>(cur_device);
  return accept(i, 'G', v);
}

int parse_periph_name(int i, bool stream_only) {
  if (!need_arg(i)) return 0;
  if (cur_type == nullptr) return reader_fail(i, invalid());
  const std::string_view name = without_prefix(lx().word(i), "per:");
  for (int row = 0; row < cur_type->periph_count; ++row) {
    const periph_row& p = cur_type->periphs[row];
    if (name != p.name) continue;
    uint32_t class_word = p.cls != nullptr ? p.cls->class_word : 0;
    if (cur_state != nullptr && row < static_cast<int>(cur_state->periph_entries.size()))
      class_word = cur_state->periph_entries[row].class_word;
    if (stream_only && (class_word & 4) == 0) break;
    arg_value v;
    v.region = static_cast<uint16_t>(row);
    v.device = static_cast<uint16_t>(cur_device);
    return accept(i, 't', v);
  }
  return reader_fail(i, invalid());
}

namespace {

// A pin of a device's type by its name or its other name; -1 when none.
int find_pin(const device_type* type, std::string_view name) {
  for (int k = 0; k < type->pin_count; ++k) {
    const pin_desc& pin = type->pins[k];
    if (name == pin.name || (pin.alt_name != nullptr && name == pin.alt_name)) return k;
  }
  return -1;
}

}  // namespace

int parse_port_arg(int i) {
  if (!need_arg(i)) return 0;
  if (cur_type == nullptr) return reader_fail(i, invalid());
  const std::string_view name = without_prefix(lx().word(i), "port:");
  for (int k = 0; k < cur_type->port_count; ++k) {
    if (name != cur_type->ports[k].name) continue;
    // Other names of a port stand for its first name.
    int first = k;
    while (first > 0 && cur_type->ports[first - 1].group == cur_type->ports[k].group &&
           cur_type->ports[first - 1].mask == cur_type->ports[k].mask)
      --first;
    arg_value v;
    v.lo = static_cast<uint32_t>(first);
    v.device = static_cast<uint16_t>(cur_device);
    return accept(i, 'U', v);
  }
  return reader_fail(i, invalid());
}

int parse_pin_arg(int i, int device) {
  if (!need_arg(i)) return 0;
  std::string_view word = lx().word(i);
  const std::size_t colon = word.find(':');
  uint32_t n = 0;
  if (colon >= 2 && colon <= 4 && word.substr(0, 2) == "dv" && digits_only(word.substr(2, colon - 2), 2, n)) {
    if (n >= DEVICE_MAX || device_insts[n] == nullptr) return reader_fail(i, invalid());
    device = static_cast<int>(n);
    word.remove_prefix(colon + 1);
  }
  if (device < 0 || device >= DEVICE_MAX || device_insts[device] == nullptr) return reader_fail(i, invalid());
  const device_type* type = device_types[device_insts[device]->type];
  word = without_prefix(word, "pin:");
  const std::size_t dots = word.find("..");
  const int first = find_pin(type, word.substr(0, dots));
  const int last = dots == std::string_view::npos ? first : find_pin(type, word.substr(dots + 2));
  if (first < 0 || last < 0) return reader_fail(i, invalid());
  arg_value v;
  v.lo = static_cast<uint32_t>(first);
  v.hi = static_cast<uint32_t>(last);
  v.op = dots == std::string_view::npos ? 0 : 1;
  v.device = static_cast<uint16_t>(device);
  return accept(i, 'S', v);
}

int parse_region_name(int i) {
  if (!need_arg(i)) return 0;
  if (cur_type == nullptr) return reader_fail(i, invalid());
  for (int row = 0; row < cur_type->region_count; ++row) {
    if (str_icmp(lx().typed(i), cur_type->regions[row].name) == 0) {
      arg_value v;
      v.region = static_cast<uint16_t>(row);
      return accept(i, '|', v);
    }
  }
  return reader_fail(i, invalid());
}

int parse_memory_location(int i, int device) {
  if (!need_arg(i)) return 0;
  const expr_result v = read_location(i, lx().typed(i), lx().start[i], device);
  return v ? accept(i, 'p', *v) : 0;
}

int parse_device_location(int i) {
  if (parse_memory_location(i, cur_device)) return 1;
  if (!lx().has(i)) return 0;
  const std::string_view word = lx().word(i);
  const std::size_t colon = word.find(':');
  uint32_t n = 0;
  if (colon < 2 || colon > 4 || word.substr(0, 2) != "dv" ||
      !digits_only(word.substr(2, colon - 2), 2, n) || n >= DEVICE_MAX)
    return 0;  // the location's own message stands
  const std::string rest = lx().typed(i) + colon + 1;
  const expr_result v =
      read_location(i, rest, lx().start[i] + static_cast<int>(colon) + 1, static_cast<int>(n));
  return v ? accept(i, 'p', *v) : 0;
}

int parse_memory_block(int i) {
  if (!need_arg(i)) return 0;
  const std::string word = lx().typed(i);
  const int base = lx().start[i];
  const std::size_t hash = word.find('#');
  const std::size_t dots = word.find("..");
  if (hash == std::string::npos && dots == std::string::npos)
    return parse_memory_location(i, cur_device);

  const bool counted = hash != std::string::npos && (dots == std::string::npos || hash < dots);
  const std::size_t split = counted ? hash : dots;
  expr_result start = read_location(i, word.substr(0, split), base, cur_device);
  if (!start) return 0;
  arg_value v = *start;
  const uint32_t mask = region_mask(v);
  const std::size_t after = split + (counted ? 1 : 2);
  const int after_pos = base + static_cast<int>(after);
  const expr_result second = evaluate(i, word.substr(after), after_pos, false, 0);
  if (!second) return 0;
  if (counted) {
    if ((second->type & AV_INT) == 0 || negative(*second) || value_combined(*second) == 0)
      return reader_fail_at(i, invalid(), after_pos);
    v.lo = v.addr & mask;
    v.hi = (v.addr + value_combined(*second) - 1) & mask;
    return accept(i, 'X', v);
  }
  if ((second->type & AV_FLOAT) != 0) return reader_fail_at(i, invalid(), after_pos);
  const uint32_t end = (second->type & AV_MEM) != 0 ? second->addr : value_combined(*second);
  v.lo = v.addr & mask;
  v.hi = end & mask;
  return accept(i, 'P', v);
}

int parse_positive_count(int i) {
  if (!parse_count_arg(i)) return 0;
  const arg_value& v = lx().value[static_cast<std::size_t>(i)];
  if (negative(v) || value_combined(v) == 0) return reader_fail(i, invalid());
  return 1;
}

int parse_break_condition(int i) {
  if (!need_arg(i)) return 0;
  if (cur_type != nullptr && register_condition(i)) return 1;
  const expr_result location = read_location(i, lx().typed(i), lx().start[i], cur_device);
  if (location && cur_type != nullptr && location->region < cur_type->region_count &&
      (cur_type->regions[location->region].flags & 0x1000) != 0)
    return accept(i, 'E', *location);
  return parse_float_or_int_arg(i);
}

// --- Numbers with marks ---------------------------------------------------------

int parse_hash_number(int i) {
  const expr_result v = marked_number(i, '#', 255);
  if (!v) return 0;
  const int64_t n = signed_number(*v);
  if (n < 1 || !fits_32_bits(*v)) return reader_fail(i, parse_error_messages[ERR_BREAK_RANGE]);
  arg_value out = *v;
  out.lo = static_cast<uint32_t>(n);
  out.hi = 0;
  return accept(i, 'w', out);
}

int parse_break_number(int i) {
  const expr_result v = marked_number(i, '#', NO_LIMIT);
  if (!v) return 0;
  const int64_t n = signed_number(*v);
  if (n < 1 || n > 99 || !fits_32_bits(*v)) return reader_fail(i, parse_error_messages[ERR_BREAK_RANGE]);
  arg_value out = *v;
  out.lo = out.hi = static_cast<uint32_t>(n);
  return accept(i, '#', out);
}

int parse_hash_list(int i) {
  if (!need_arg(i)) return 0;
  const std::string word = lx().typed(i);
  if (word.empty() || word[0] != '#') return reader_fail(i, invalid());
  const int base = lx().start[i];
  const auto number = [&](std::size_t from, std::size_t to, uint32_t& out) {
    const expr_result v = evaluate(i, word.substr(from, to - from), base + static_cast<int>(from),
                                   true, NO_LIMIT);
    if (!v) return false;
    const int64_t n = signed_number(*v);
    if (n < 1 || n > 99) {
      reader_fail_at(i, parse_error_messages[ERR_BREAK_RANGE], base + static_cast<int>(from));
      return false;
    }
    out = static_cast<uint32_t>(n);
    return true;
  };
  // Checked whole before any slot is written.
  struct range {
    uint32_t first, last;
  };
  std::array<range, LEXER_SLOTS> ranges{};
  int used = 0;
  const std::size_t dots = word.find("..");
  if (dots != std::string::npos) {
    if (!number(1, dots, ranges[0].first) || !number(dots + 2, word.size(), ranges[0].last))
      return 0;
    used = 1;
  } else {
    std::size_t from = 1;
    for (;;) {
      std::size_t comma = word.find(',', from);
      if (comma == std::string::npos) comma = word.size();
      if (i + used + 1 >= LEXER_SLOTS)
        return reader_fail_at(i, parse_error_messages[ERR_TOO_MANY], base + static_cast<int>(from));
      uint32_t n = 0;
      if (!number(from, comma, n)) return 0;
      ranges[static_cast<std::size_t>(used++)] = {n, n};
      if (comma == word.size()) break;
      from = comma + 1;
    }
  }
  for (int k = 0; k < used; ++k) {
    arg_value v;
    v.lo = ranges[static_cast<std::size_t>(k)].first;
    v.hi = ranges[static_cast<std::size_t>(k)].last;
    accept(i + k, '#', v);
  }
  lx().kind[i + used] = KIND_END;
  return 1;
}

int parse_frame_number(int i) {
  const expr_result v = marked_number(i, '#', 65535);
  if (!v) return 0;
  if (negative(*v)) return reader_fail(i, FRAME_NEGATIVE);
  arg_value out = *v;
  out.lo = out.hi = value_combined(*v);
  return accept(i, 'f', out);
}

int parse_colon_number(int i) {
  const expr_result v = marked_number(i, ':', NO_LIMIT);
  if (!v) return 0;
  if (value_combined(*v) == 0 || negative(*v) || !fits_32_bits(*v)) return reader_fail(i, invalid());
  arg_value out = *v;
  out.lo = value_combined(*v);
  out.hi = 0;
  return accept(i, ':', out);
}

int parse_win_number(int i) {
  if (!need_arg(i)) return 0;
  const std::string_view word = lx().word(i);
  uint32_t n = 0;
  if (word.substr(0, 3) != "win" || !digits_only(word.substr(3), 9, n) || n < 1)
    return reader_fail(i, invalid());
  arg_value v;
  v.lo = n;
  return accept(i, 'W', v);
}

int parse_braced_arg(int i) {
  if (!need_arg(i)) return 0;
  if (lx().typed(i)[0] != '{') return reader_fail(i, invalid());
  lx().kind[i] = 'C';
  return 1;
}

// --- Text routines --------------------------------------------------------------

int trim_trailing_blanks(char* text) {
  if (text == nullptr) return 0;
  std::size_t n = std::strlen(text);
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) text[--n] = '\0';
  return n > 0 ? 1 : 0;
}

int find_char(const char* text, char c) {
  if (text == nullptr) return -1;
  const char* p = std::strchr(text, c);
  return p != nullptr && c != '\0' ? static_cast<int>(p - text) : -1;
}

int find_whole_word(const char* text, const char* word) {
  if (text == nullptr || word == nullptr || word[0] == '\0') return -1;
  const auto ident = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  };
  const bool anywhere = std::strcmp(word, "..") == 0;
  const std::size_t length = std::strlen(word);
  for (const char* p = std::strstr(text, word); p != nullptr; p = std::strstr(p + 1, word)) {
    if (anywhere) return static_cast<int>(p - text);
    const bool left_ok = p == text || !ident(p[-1]);
    const bool right_ok = !ident(p[length]);
    if (left_ok && right_ok) return static_cast<int>(p - text);
  }
  return -1;
}

// --- Register walking -----------------------------------------------------------

namespace {

int registers_of(int row) {
  const periph_class* cls = cur_type->periphs[row].cls;
  return cls != nullptr ? cls->reg_count : 0;
}

}  // namespace

void next_register(int& reg, int& row) {
  if (cur_type == nullptr || cur_type->periph_count == 0) return;
  if (row >= 0 && row < cur_type->periph_count && reg + 1 < registers_of(row)) {
    ++reg;
    return;
  }
  for (int step = 1; step <= cur_type->periph_count; ++step) {
    const int r = ((row + step) % cur_type->periph_count + cur_type->periph_count) %
                  cur_type->periph_count;
    if (registers_of(r) > 0) {
      row = r;
      reg = 0;
      return;
    }
  }
}

void prev_register(int& reg, int& row) {
  if (cur_type == nullptr || cur_type->periph_count == 0) return;
  if (row >= 0 && row < cur_type->periph_count && reg > 0 && reg - 1 < registers_of(row)) {
    --reg;
    return;
  }
  for (int step = 1; step <= cur_type->periph_count; ++step) {
    const int r = ((row - step) % cur_type->periph_count + cur_type->periph_count) %
                  cur_type->periph_count;
    if (registers_of(r) > 0) {
      row = r;
      reg = registers_of(r) - 1;
      return;
    }
  }
}

// --- Assembler lines ------------------------------------------------------------

namespace {
constexpr std::size_t ASM_LINE_MAX = 255;
}  // namespace

int parse_asm_line(int i) {
  command_lexer& l = lx();
  if (!need_arg(i)) return 0;
  // The asm command's item token holds the address: the location written
  // before the line, or pc put there by the parser.
  const int item = std::strcmp(l.word(2), "b") == 0 ? 3 : 2;
  const uint32_t address = l.value[static_cast<std::size_t>(item)].lo;
  if (cur_state != nullptr) cur_state->asm_address = address;
  const int start = l.start[i];
  const std::string text =
      cur_command_line != nullptr ? std::string(cur_command_line + start).substr(0, ASM_LINE_MAX) : "";
  if (cur_family == nullptr || cur_family->assemble == nullptr)
    return reader_fail(i, "No assembler for this device type");
  if (cur_family->assemble(text.c_str(), address) < 0) return reader_fail(i, parse_error_text);
  l.kind[i] = 'm';
  return 1;
}

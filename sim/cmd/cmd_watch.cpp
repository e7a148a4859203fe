// watch: a numbered list of registers, memory words, expressions and C
// expressions per device, shown on request and with every run display.
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/c_scope.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/coff.h"
#include "sim/cmd/commands.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/regfmt.h"
#include "sim/expr/valfmt.h"
#include "sim/cmd/view_hooks.h"
#include "sim/cmd/watch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr std::size_t HEADER_COLUMNS = 40;
constexpr const char* radix_letters = "bdfhu";
constexpr const char* CALL_REFUSED = "watch expressions cannot contain function calls";

watch_list& current_list() {
  if (!cur_state->watches) cur_state->watches = std::make_shared<watch_list>();
  return *cur_state->watches;
}

template <typename... Args>
std::string format(const char* text, Args... args) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), text, args...);
  return buffer.data();
}

std::string without_leading_blank(std::string text) {
  if (!text.empty() && text[0] == ' ') text.erase(0, 1);
  return text;
}

int word_count(uint32_t type) {
  if (type & AV_THREE) return 3;
  return (type & AV_TWO) ? 2 : 1;
}

std::string bits(const arg_value& v) {
  std::string out;
  const auto add = [&](uint32_t word, int count) {
    for (int b = count - 1; b >= 0; --b) out += ((word >> b) & 1) ? '1' : '0';
  };
  const int words = word_count(v.type);
  const int width = c_family->width;
  if (words == 3) add(v.ext & 0xFF, 8);
  if (words >= 2) add(v.hi, width);
  add(v.lo, width);
  return out;
}

// An expression's value in the entry's radix, by the word width of the
// device's family.
std::string expression_text(arg_value v, int radix) {
  const int words = word_count(v.type);
  const auto ul = [](uint32_t w) { return static_cast<unsigned long>(w); };
  const int digits = c_family->width / 4;
  switch (radix) {
    case 0: return bits(v);
    case 1:
    case 4:
      if (words == 1) {
        if (radix == 4) return format("%05lu", ul(v.lo));
        const int width = std::clamp(value_fraction_width(v.type), 1, 32);
        const uint32_t mask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
        const uint32_t sign = 1u << (width - 1);
        return format("%05ld", static_cast<long>(static_cast<int32_t>(((v.lo & mask) ^ sign) - sign)));
      }
      if (digits == 8) {
        return words == 2 ? format("$%08lx%08lx", ul(v.hi), ul(v.lo))
                          : format("$%08lx%08lx%08lx", ul(v.ext), ul(v.hi), ul(v.lo));
      } else {
        const decimal_split s = words == 3 ? split_decimal(cur_type->expr_flags, v.lo, v.hi, v.ext)
                                           : split_decimal64(cur_type->expr_flags, v.lo, v.hi);
        return format("%06lu%09lu", ul(s.quotient), ul(s.remainder));
      }
    case 2:
      value_as_double(cur_type->expr_flags, v);
      return format(words == 1 ? "%10.7g" : "%13.10g", v.fval);
    default: {
      const auto hex = [](uint32_t w, int n) {
        std::string out;
        for (int k = n - 1; k >= 0; --k) out += "0123456789abcdef"[(w >> (4 * k)) & 0xF];
        return out;
      };
      std::string out = "$";
      if (words == 3) out += hex(v.ext, digits == 4 ? 2 : digits);
      if (words >= 2) out += hex(v.hi, digits);
      return out + hex(v.lo, digits);
    }
  }
}

// A C expression evaluated quietly in the current frame.
std::string c_watch_text(const watch_entry& e, int radix) {
  if (!c_scope_matches(e.scope_function, e.scope_block)) return "Expression out of scope";
  c_error_quiet(true);
  std::string text;
  if (const c_value* v = e.tree != nullptr ? c_tree_result(*e.tree) : nullptr) text = c_value_text(*v, radix);
  c_error_quiet(false);
  return text.empty() ? "Error evaluating C expression" : text;
}

std::string value_text(const watch_entry& e) {
  const int radix = e.radix < 0 ? 3 : e.radix;
  std::string out;
  switch (e.kind) {
    case WATCH_REGISTER:
      format_register_value(e.row, e.reg, radix, out);
      return without_leading_blank(out);
    case WATCH_MEMORY:
      format_memory_word(cur_type->regions[e.row].space, e.address, radix, out);
      return without_leading_blank(out);
    case WATCH_C: return c_watch_text(e, radix);
    default: {
      sv_optr = e.text.c_str();
      expr_result v = parse_expression(cur_type->expr_flags);
      if (!v) return "";
      // A floating value shows its words outside the floating radix.
      if ((v->type & AV_FLOAT) != 0) value_from_double(cur_type->expr_flags, *v);
      return expression_text(*v, radix);
    }
  }
}

std::string entry_text(const watch_entry& e) {
  std::string header = "#" + std::to_string(e.number) + " " +
                       (e.radix >= 0 ? std::string(1, radix_letters[e.radix]) : std::string(" ")) + " " + e.text;
  if (header.size() > HEADER_COLUMNS) {
    header += "\n";
  } else {
    header.resize(HEADER_COLUMNS, ' ');
  }
  return header + value_text(e);
}

void show_entry(const watch_entry& e) {
  print_wrapped(entry_text(e), nullptr, nullptr, static_cast<int>(HEADER_COLUMNS), false);
}

bool same_symbols(const coff_debug_info& a, const coff_debug_info& b) {
  const auto same = [](const coff_symbol& x, const coff_symbol& y) { return x.w == y.w; };
  return std::equal(a.c_symbols.begin(), a.c_symbols.end(), b.c_symbols.begin(), b.c_symbols.end(), same) &&
         a.string_table == b.string_table;
}

// The token after "#n", or 2.
int first_item_token() { return cur_lexer->kind[2] == 'w' ? 3 : 2; }
bool numbered() { return cur_lexer->kind[2] == 'w'; }
uint32_t given_number() { return cur_lexer->value[2].lo; }

void show_action(const char*) {
  c_debug_reset();
  cur_state->view_mode = 0;
  if (!cur_state->watches) return;
  for (const watch_entry& e : cur_state->watches->entries)
    if (!numbered() || e.number == given_number()) show_entry(e);
}

void off_action(const char*) {
  if (!cur_state->watches) return;
  auto& entries = cur_state->watches->entries;
  if (!numbered()) {
    entries.clear();
    return;
  }
  watch_remove(*cur_state->watches, given_number());
}

void set_action(const char*) {
  const command_lexer& l = *cur_lexer;
  int j = first_item_token();
  int radix = -1;
  if (l.has(j + 1)) radix = static_cast<int>(l.value[j++].lo);
  watch_list& list = current_list();
  watch_entry* e = numbered() ? watch_find(list, given_number()) : nullptr;
  if (e == nullptr) {
    watch_entry fresh;
    fresh.number = numbered() ? given_number() : watch_next_free(list);
    e = &watch_insert(list, std::move(fresh));
  }
  watch_entry_from_token(*e, j, radix);
}

}  // namespace

watch_entry* watch_find(watch_list& list, uint32_t number) {
  for (watch_entry& e : list.entries)
    if (e.number == number) return &e;
  return nullptr;
}

uint32_t watch_next_free(const watch_list& list) {
  uint32_t n = 1;
  for (const watch_entry& e : list.entries) {  // in number order
    if (e.number != n) break;
    ++n;
  }
  return n;
}

watch_entry& watch_insert(watch_list& list, watch_entry&& entry) {
  const auto at = std::find_if(list.entries.begin(), list.entries.end(),
                               [&](const watch_entry& x) { return x.number > entry.number; });
  return *list.entries.insert(at, std::move(entry));
}

void watch_remove(watch_list& list, uint32_t number) {
  std::erase_if(list.entries, [number](const watch_entry& e) { return e.number == number; });
}

void watch_entry_from_token(watch_entry& e, int j, int radix) {
  const command_lexer& l = *cur_lexer;
  e.radix = radix;
  e.text = std::string(l.typed(j)).substr(0, WATCH_TEXT_MAX);
  e.tree.reset();
  const arg_value& v = l.value[j];
  switch (l.kind[j]) {
    case 'C':
      e.kind = WATCH_C;
      e.tree = take_c_tree(j, &e.scope_function, &e.scope_block);
      if (e.tree == nullptr) {  // braced only: parsed here, kept when it does not parse
        c_error_quiet(true);
        e.tree = c_parse(e.text.c_str());
        c_error_quiet(false);
        e.scope_function = e.tree != nullptr ? e.tree->scope_function : -1;
        e.scope_block = e.tree != nullptr ? e.tree->scope_block : -1;
      }
      break;
    case 'F': e.kind = WATCH_FLOAT; break;
    case 'g':
      e.kind = WATCH_REGISTER;
      e.row = v.region;
      e.reg = v.item;
      break;
    case 'p':
      e.kind = WATCH_MEMORY;
      e.row = v.region;
      e.address = v.addr & cur_type->regions[v.region].addr_mask;
      break;
    default: e.kind = WATCH_INTEGER; break;
  }
}

void c_watches_follow_program(const coff_debug_info* before) {
  const coff_debug_info* now = current_debug_info();
  if (!cur_state->watches || now == before || (before != nullptr && now != nullptr && same_symbols(*before, *now)))
    return;
  for (watch_entry& e : cur_state->watches->entries) {
    if (e.kind != WATCH_C) continue;
    e.tree = c_parse(e.text.c_str());
    e.scope_function = e.tree != nullptr ? e.tree->scope_function : -1;
    e.scope_block = e.tree != nullptr ? e.tree->scope_block : -1;
  }
}

namespace {

constexpr action_record show_record{show_action, 0};
constexpr action_record off_record{off_action, 0};
constexpr action_record set_record{set_action, 0};

bool parse_item(int i) {
  if (!cur_lexer->has(i)) return need_arg(i) != 0;
  if (cur_lexer->typed(i)[0] == '{') return parse_c_expr_arg(i, CALL_REFUSED) != 0;
  return parse_register_arg(i) || parse_memory_location(i, cur_device) || parse_float_or_int_arg(i);
}

}  // namespace

const watch_list* device_watches(int device) {
  if (device < 0 || device >= DEVICE_MAX || device_states[device] == nullptr) return nullptr;
  return device_states[device]->watches.get();
}

std::string watch_line(const watch_entry& entry) { return entry_text(entry); }

void show_watch_list() {
  if (!cur_state->watches) return;
  c_debug_reset();
  for (const watch_entry& e : cur_state->watches->entries) show_entry(e);
}

const action_record* cmd_watch() {
  int i = 2;
  if (cur_lexer->has(2) && cur_lexer->typed(2)[0] == '#') {
    if (!parse_hash_number(2)) return nullptr;
    i = 3;
  }
  if (!cur_lexer->has(i)) return &show_record;
  if (!cur_lexer->has(i + 1)) {
    if (match_keyword(i, "off")) return &off_record;
    return parse_item(i) ? &set_record : nullptr;
  }
  if (match_keyword_list(i, radix_letter_words, 'r', 5) < 0) return nullptr;
  return parse_item(i + 1) && check_no_more_args(i + 2) ? &set_record : nullptr;
}

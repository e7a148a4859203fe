// Reading input stream files: values with repeat counts, nested groups,
// comments, times of timed files, values typed at the terminal; and the
// parse of one value by the stream's radix.
#include <bit>
#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <string>

#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/periph/periph.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

// Longest value text; a longer word is refused.
constexpr std::size_t VALUE_MAX = 89;
// Deepest nesting of groups; a file that opens more is read no further.
constexpr std::size_t GROUP_DEPTH_MAX = 64;

int get(io_stream& s) {
  if (s.at >= s.text.size()) return EOF;
  const int c = static_cast<unsigned char>(s.text[s.at++]);
  if (c == '\n') ++s.line;
  return c;
}

void unget(io_stream& s, int c) {
  if (c == EOF) return;
  --s.at;
  if (c == '\n') --s.line;
}

// std::isspace, asked only of characters that are not a blank, a line
// end or printable ASCII (which no locale takes for space).
bool is_space(int c) {
  if (c == ' ' || c == '\n') return true;
  return (c < 0x21 || c > 0x7E) && std::isspace(c);
}

[[gnu::always_inline]] inline int skip_space(io_stream& s) {
  int c = get(s);
  while (c != EOF && is_space(c)) c = get(s);
  return c;
}

void skip_line(io_stream& s) {
  int c = get(s);
  while (c != EOF && c != '\n') c = get(s);
}

// Reading goes on after a count record.
int64_t take_count(io_stream& s, const stream_count& r) {
  s.at = r.end;
  s.line += r.lines;
  return r.n;
}

// "#" and a decimal number after a value or a ")": the number, or -1 when
// no "#" follows (nothing but spaces is consumed then). Read once per
// position; later reads from there take the record (`record` points to it).
int64_t read_count(io_stream& s, const stream_count** record = nullptr) {
  const auto [it, fresh] = s.counts.try_emplace(s.at);
  stream_count& r = it->second;
  if (record != nullptr) *record = &r;
  if (!fresh) return take_count(s, r);
  const int line = s.line;
  const int c = skip_space(s);
  int64_t n = -1;
  if (c != '#') {
    unget(s, c);
  } else {
    int d = get(s);
    while (d == ' ' || d == '\t') d = get(s);
    n = 0;
    while (d != EOF && std::isdigit(d)) {
      if (n < INT32_MAX) n = n * 10 + (d - '0');
      d = get(s);
    }
    unget(s, d);
  }
  r.n = n;
  r.end = s.at;
  r.lines = s.line - line;
  return n;
}

void restart_group(io_stream& s, stream_group& g) {
  g.values_at = s.values_read;
  s.at = g.position;
  s.line = g.line;
}

// A ")": the innermost group starts over or ends. A group that delivered
// nothing since it last started over ends too, so "( )" cannot spin.
void close_group(io_stream& s) {
  if (s.groups.empty()) return;
  stream_group& g = s.groups.back();
  bool count_follows = true;
  if (!g.count_read) {
    g.count_read = true;
    const int64_t n = read_count(s);
    g.forever = n < 0;
    g.remaining = n;
    count_follows = false;
  }
  const bool empty = g.values_at == s.values_read;
  if (!empty && (g.forever || --g.remaining > 0)) {
    restart_group(s, g);
    return;
  }
  s.groups.pop_back();
  if (count_follows) read_count(s);
}

bool ends_value(int c, bool timed) {
  return c == EOF || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '(' || c == ')' ||
         c == ';' || (!timed && c == '#');
}

int digit_value(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// A value's text read as an integer by the stream's radix or its own
// prefix: `real` when it is read as a float instead, `fits` false when its
// digits run past 64 bits.
struct integer_text {
  uint64_t n = 0;
  bool negative = false;
  bool real = false;
  bool fits = true;
};

integer_text scan_integer(const io_stream& s, const char* text) {
  integer_text out;
  const char* p = text;
  int base = s.radix == RADIX_BIN ? 2 : (s.radix == RADIX_DEC || s.radix == RADIX_UNS) ? 10 : 16;
  bool prefixed = true;
  if (*p == '$') {
    base = 16;
  } else if (*p == '%') {
    base = 2;
  } else if (*p == '`') {
    base = 10;
  } else {
    prefixed = false;
    if (s.radix == RADIX_FRAC) {
      out.real = true;
      return out;
    }
  }
  if (prefixed) ++p;
  out.negative = *p == '-';
  if (out.negative) ++p;
  const auto b = static_cast<uint64_t>(base);
  for (int d; (d = digit_value(static_cast<unsigned char>(*p))) < base; ++p) {
    if (out.n > (UINT64_MAX - static_cast<uint64_t>(d)) / b) out.fits = false;
    out.n = out.n * b + static_cast<uint64_t>(d);
  }
  out.real = *p == '.' && !prefixed;
  return out;
}

// False for a number whose digits run past 64 bits: refused as too long.
// Pin data and the words a peripheral reads itself are no numbers.
bool number_fits(const io_stream& s, const char* text) {
  if (s.kind == SK_PIN || s.kind == SK_PIN_GROUP || s.kind == SK_ANALOG_PIN) return true;
  if (s.kind == SK_PERIPH && cur_type != nullptr && static_cast<int>(s.key1) < cur_type->periph_count &&
      cur_type->periphs[s.key1].cls->input_word != nullptr)
    return true;
  const integer_text t = scan_integer(s, text);
  return t.real || t.fits;
}

}  // namespace

// The next value or time of the file, past comments and group brackets;
// null at the end of the file. An over-long word is reported with its
// file and line and skipped. A word is read once; later reads from its
// position take its record.
stream_word* read_stream_word(io_stream& s, bool timed) {
  if (!s.readable) return nullptr;
  for (;;) {
    const int c = skip_space(s);
    if (c == EOF) return nullptr;
    if (c == ';') {
      skip_line(s);
    } else if (c == ')') {
      close_group(s);
    } else if (c == '(') {
      if (s.groups.size() >= GROUP_DEPTH_MAX) {
        session_print(("{Groups nested too deeply in " + s.file_name + " line " + std::to_string(s.line) + "}").c_str(), 1);
        s.readable = false;
        return nullptr;
      }
      stream_group g;
      g.position = s.at;
      g.line = s.line;
      g.values_at = s.values_read;
      s.groups.push_back(g);
    } else if (c == '#' && !timed) {
      unget(s, c);
      read_count(s);  // a count with no value before it
    } else {
      const auto [it, fresh] = s.words.try_emplace(s.at - 1);
      stream_word& w = it->second;
      if (fresh) {
        int d = c;
        while (!ends_value(d, timed)) {
          if (w.text.size() <= VALUE_MAX) w.text.push_back(static_cast<char>(d));
          d = get(s);
        }
        unget(s, d);
        w.end = s.at;
        w.too_long = w.text.size() > VALUE_MAX || !number_fits(s, w.text.c_str());
      }
      // A value holds no line end: the line is the one it starts on.
      s.at = w.end;
      if (!w.too_long) return &w;
      session_print(("{Value too long in " + s.file_name + " line " + std::to_string(s.line) + "}").c_str(), 1);
    }
  }
}

namespace {

constexpr const char* radix_names[] = {"binary", "decimal", "float", "hexadecimal", "unsigned"};

bool is_pin_kind(int kind) { return kind == SK_PIN || kind == SK_PIN_GROUP; }

// A value typed at the terminal in place of "t": false when the user ends
// the stream (Escape).
bool ask_terminal_value(io_stream& s, std::string& text) {
  gui_help_text("{CR}=change   {^U}=ln-up    {^N}=ln-dn   {ESC}=exit  <{space}>=more");
  char buffer[LINE_BUFFER_BYTES] = {};
  const int radix = s.radix >= 0 && s.radix <= 4 ? s.radix : RADIX_HEX;
  const int n = is_pin_kind(s.kind)
                    ? std::snprintf(buffer, sizeof buffer, "Enter pin data for %s:", s.item.c_str())
                    : std::snprintf(buffer, sizeof buffer, "Enter %s value for %s:", radix_names[radix],
                                    s.item.c_str());
  const int length = n < 0 ? 0 : n < static_cast<int>(sizeof buffer) ? n : static_cast<int>(sizeof buffer) - 1;
  const int key = gui_line_prompt(buffer, length, sizeof buffer);
  gui_help_text(nullptr);
  if (key == 27) return false;
  session_echo(buffer, 1);
  const char* answer = buffer + length;
  while (*answer == ' ') ++answer;
  text = answer;
  return true;
}

// The width flags of the stream's item.
uint32_t item_width(const io_stream& s) {
  if (s.kind == SK_REGISTER) return register_value_type(static_cast<int>(s.key1), static_cast<int>(s.key2));
  return AV_ONE | AV_W16;
}

void set_float(io_stream& s, double real) {
  arg_value v;
  v.type = AV_FLOAT | (item_width(s) & (AV_WORDS | AV_WIDTHS));
  v.fval = real;
  s.value.real = real;
  s.value.integer = fraction_to_word(cur_type->expr_flags, v);
  s.value.flags = SV_FLOAT | (v.type & ~AV_FLOAT);
}

}  // namespace

void parse_stream_value(io_stream& s, const char* text) {
  const integer_text t = scan_integer(s, text);
  if (t.real) {
    set_float(s, std::strtod(text, nullptr));
    return;
  }
  s.value.integer = static_cast<int64_t>(t.negative ? ~t.n + 1 : t.n);
  s.value.real = 0.0;
  s.value.flags = SV_INT | item_width(s);
}

namespace {

// What pin data sets, pin by pin in the order it sets them.
void compile_pin_data(const io_stream& s, const char* text, std::vector<pin_op>& ops) {
  ops.clear();
  const int first = static_cast<int>(s.key2), last = static_cast<int>(s.key3);
  const int step = last >= first ? 1 : -1;
  const pin_desc* previous = nullptr;
  for (int at = first; *text != '\0'; at += step) {
    if (at < 0 || at >= cur_type->pin_count) break;
    const pin_desc& pin = cur_type->pins[at];
    // A pin that has two names in the table takes one character.
    const bool repeat = previous != nullptr && previous->group == pin.group && previous->mask == pin.mask;
    previous = &pin;
    if (repeat) {
      if (at == last) break;
      continue;
    }
    ops.push_back({pin.group, pin.mask, static_cast<char>(std::tolower(static_cast<unsigned char>(*text++)))});
    if (at == last) break;
  }
}

void set_pins(const std::vector<pin_op>& ops) {
  for (const pin_op& op : ops) {
    uint32_t* block = cur_inst->blocks.data() + op.group * 2 * REG_BLOCK_WORDS;
    uint32_t* before = block + REG_BLOCK_WORDS;
    const auto level = [&](uint32_t* words, bool high) {
      set_pin_word(words, PIN_LEVEL, high ? words[PIN_LEVEL] | op.mask : words[PIN_LEVEL] & ~op.mask);
      set_pin_word(words, PIN_DEFINED, words[PIN_DEFINED] | op.mask);
    };
    const char c = op.code;
    if (c == '0' || c == 'l') {
      level(block, false);
    } else if (c == '1' || c == 'h') {
      level(block, true);
    } else if (c == 'p') {
      level(block, false);
      level(before, true);
    } else if (c == 'n') {
      level(block, true);
      level(before, false);
    } else if (c == 'x') {
      set_pin_word(block, PIN_DEFINED, block[PIN_DEFINED] & ~op.mask);
    } else {
      set_pin_word(block, PIN_DEFINED, block[PIN_DEFINED] | op.mask);
    }
  }
}

// The ops by pin group, when no two name the same pin: every bit of a
// word then changes at most once, so a word written once with all its
// group's bits changes (and marks the device) exactly when set_pins
// would change it; the words end the same.
void group_pin_ops(const std::vector<pin_op>& ops, std::vector<pin_group_op>& groups) {
  groups.clear();
  for (const pin_op& op : ops) {
    pin_group_op* g = nullptr;
    for (pin_group_op& h : groups)
      if (h.group == op.group) g = &h;
    if (g == nullptr) g = &groups.emplace_back(pin_group_op{op.group, 0, 0, 0, 0, 0, 0, 0});
    if ((g->bits & op.mask) != 0) {
      groups.clear();
      return;
    }
    g->bits |= op.mask;
    const char c = op.code;
    if (c == 'x') {
      g->defined_clear |= op.mask;
      continue;
    }
    g->defined_set |= op.mask;
    if (c == '0' || c == 'l' || c == 'p') g->level_clear |= op.mask;
    if (c == '1' || c == 'h' || c == 'n') g->level_set |= op.mask;
    if (c == 'p') g->before_set |= op.mask;
    if (c == 'n') g->before_clear |= op.mask;
  }
}

void set_pin_groups(const std::vector<pin_group_op>& groups) {
  for (const pin_group_op& g : groups) {
    uint32_t* block = cur_inst->blocks.data() + g.group * 2 * REG_BLOCK_WORDS;
    set_pin_word(block, PIN_LEVEL, (block[PIN_LEVEL] & ~g.level_clear) | g.level_set);
    set_pin_word(block, PIN_DEFINED, (block[PIN_DEFINED] & ~g.defined_clear) | g.defined_set);
    if (const uint32_t pulses = g.before_clear | g.before_set; pulses != 0) {
      uint32_t* before = block + REG_BLOCK_WORDS;
      set_pin_word(before, PIN_LEVEL, (before[PIN_LEVEL] & ~g.before_clear) | g.before_set);
      set_pin_word(before, PIN_DEFINED, before[PIN_DEFINED] | pulses);
    }
  }
}

}  // namespace

void apply_pin_data(const io_stream& s, const char* text) {
  std::vector<pin_op> ops;
  compile_pin_data(s, text, ops);
  set_pins(ops);
}

namespace {

void set_analog(const io_stream& s, double value) {
  const pin_desc& pin = cur_type->pins[s.key2];
  uint32_t* block = cur_inst->blocks.data() + pin.group * 2 * REG_BLOCK_WORDS;
  const int bit = std::countr_zero(pin.mask);
  if (bit + 5 < REG_BLOCK_WORDS) set_pin_word(block, 5 + bit, std::bit_cast<uint32_t>(static_cast<float>(value)));
}

// Takes one value: typed at the terminal for "t", pin data for pins, a
// number otherwise; what a word from the file sets is worked out at its
// first use and kept in its record. False when the stream ended at the
// terminal.
bool take_value(io_stream& s, stream_word& w) {
  std::string typed;
  const bool terminal = w.text == "t" || w.text == "T";
  if (terminal && !ask_terminal_value(s, typed)) return false;
  const std::string& text = terminal ? typed : w.text;
  ++s.values_read;
  if (is_pin_kind(s.kind)) {
    if (terminal) {
      apply_pin_data(s, text.c_str());
    } else {
      if (w.parsed != 1) {
        compile_pin_data(s, text.c_str(), w.pin_ops);
        group_pin_ops(w.pin_ops, w.pin_groups);
      }
      w.parsed = 1;
      if (!w.pin_groups.empty())
        set_pin_groups(w.pin_groups);
      else
        set_pins(w.pin_ops);
    }
  } else if (const periph_class* cls = s.kind == SK_PERIPH ? cur_type->periphs[s.key1].cls : nullptr;
             cls != nullptr && cls->input_word != nullptr && cls->input_word(text.c_str(), &s.value)) {
    // the peripheral's own reading of its words
  } else if (s.kind == SK_ANALOG_PIN) {
    s.value.real = std::strtod(text.c_str(), nullptr);
    s.value.flags = SV_FLOAT;
    set_analog(s, s.value.real);
  } else if (terminal) {
    parse_stream_value(s, text.c_str());
  } else {
    if (w.parsed != 2) {
      parse_stream_value(s, text.c_str());
      w.value = s.value;
      w.parsed = 2;
    }
    s.value = w.value;
  }
  return true;
}

// The next time of a timed file; at the end the stream stops for good.
void read_next_time(io_stream& s) {
  const stream_word* w = read_stream_word(s, true);
  if (w == nullptr) {
    end_input(s);
    return;
  }
  const bool relative = w->text[0] == '+';
  s.count = std::strtoll(w->text.c_str() + (relative ? 1 : 0), nullptr, 10);
  s.flag_word = relative ? 0 : 1;
}

}  // namespace

void end_input(io_stream& s) {
  s.flag_word = 0;
  s.count = -1;
  cur_state->eof_flag = 1;
}

int open_input_file(io_stream& s, bool timed) {
  // A regular file only, opened without waiting: a FIFO could hold the
  // session and a device such as /dev/zero has no end to read to.
  std::FILE* file = open_file_nonblocking(s.file_name.c_str(), "rb", false);
  if (file == nullptr) return 0;
  char block[4096];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) s.text.append(block, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return 0;
  s.words.clear();
  s.counts.clear();
  s.readable = true;
  if (timed) read_next_time(s);
  return 1;
}

void advance_untimed(io_stream& s) {
  if (s.count > 0) {
    --s.count;
    return;
  }
  if (s.count < 0) return;
  stream_word* w = read_stream_word(s, false);
  if (w == nullptr || !take_value(s, *w)) {
    end_input(s);
    return;
  }
  // The count after the word, found once (the records of a stream go
  // together: neither is dropped without the other).
  const int64_t repeat = w->count_after != nullptr ? take_count(s, *w->count_after) : read_count(s, &w->count_after);
  s.count = repeat >= 2 ? repeat - 1 : 0;
}

int timed_value_due(io_stream& s) {
  if (s.flag_word & 1) {
    if (static_cast<int64_t>(cur_inst->cycles) < s.count) return 0;
  } else {
    if (s.count < 0) return 0;
    if (s.count > 1) {
      --s.count;
      return 0;
    }
  }
  stream_word* w = read_stream_word(s, true);
  if (w == nullptr || !take_value(s, *w)) {
    end_input(s);
    return 0;
  }
  read_next_time(s);
  return 1;
}

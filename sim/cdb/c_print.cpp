// Sizes of C types in target words, fetching memory values, and the text
// of a value in each radix format.
#include "sim/cdb/c_print.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/cdb/c_parse.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/frontend/frontend.h"
#include "sim/cdb/c_scope.h"
#include <algorithm>
#include <cctype>

namespace {

constexpr const char* space_names[] = {"p",  "x",  "y",  "l",  "?",  "laa", "lab", "lba", "lbb", "le", "li", "pa",
                                       "pb", "pe", "pi", "pr", "xa", "xb",  "xe",  "xi",  "xr",  "ya", "yb", "ye"};

std::string format(const char* fmt, auto... args) {
  char text[128];
  std::snprintf(text, sizeof text, fmt, args...);
  return text;
}

int64_t sign_extend(uint64_t v, int bits) {
  const uint64_t sign = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>((v ^ sign) - sign);
}

bool is_pointer(uint32_t type) { return (type & 0x30) == 0x10; }
bool is_function(uint32_t type) { return (type & 0x30) == 0x20; }
bool is_array(uint32_t type) { return (type & 0x30) == 0x30; }

std::string char_text(int64_t c) {
  static constexpr const char* escapes[] = {"\\a", "\\b", "\\t", "\\n", "\\v", "\\f", "\\r"};
  if (c == '"' || c == '\'' || c == '\\') return format("'\\%c'", static_cast<int>(c));
  if (c >= 32 && c <= 126) return format("'%c'", static_cast<int>(c));
  if (c >= 7 && c <= 13) return std::string("'") + escapes[c - 7] + "'";
  return format("'\\%lo'", static_cast<unsigned long>(c & 0xFFFFFFFF));
}

double float_of(const c_value& v) {
  switch (c_family_kind()) {
    case C_KIND_16: {
      float f = 0;
      std::memcpy(&f, &v.v[2], 4);
      return f;
    }
    case C_KIND_24: {
      int64_t m = sign_extend(v.v[4] & 0xFFFFFF, 24);
      return std::ldexp(static_cast<double>(m), static_cast<int>(v.v[3]) - 8214);
    }
    default: {
      if ((v.type & 0xF) == CT_DOUBLE) {
        const uint64_t bits = (uint64_t{v.v[1]} << 32) | v.v[0];
        double d = 0;
        std::memcpy(&d, &bits, 8);
        return d;
      }
      float f = 0;
      std::memcpy(&f, &v.v[2], 4);
      return f;
    }
  }
}

std::string float_text(double d) {
  std::string t = format("%.15e", d);
  // A three-digit exponent starting with 0 loses that 0.
  if (t.size() >= 4 && t[t.size() - 3] == '0' && (t[t.size() - 4] == '+' || t[t.size() - 4] == '-'))
    t.erase(t.size() - 3, 1);
  return t;
}

}  // namespace

const char* c_space_name(int space, uint32_t address) {
  int resolved = space;
  if (cur_type != nullptr && space >= 0 && space < SPACE_CODE_COUNT) resolved = cur_type->mem->resolve_space(space, address);
  if (resolved < 0 || resolved >= static_cast<int>(std::size(space_names))) return "?";
  return space_names[resolved];
}

int c_sizeof_words(const c_value& value) {
  const uint32_t type = value.type;
  if (is_array(type)) {
    c_value element = value;
    element.type = c_strip_level(type);
    for (int k = 0; k < 3; ++k) element.dims[k] = value.dims[k + 1];
    element.dims[3] = 1;
    return static_cast<int>(value.dims[0]) * c_sizeof_words(element);
  }
  if (is_pointer(type) || is_function(type)) return 1;
  const int model = memory_model();
  const bool wide32 = c_family->width == 32 || c_family->code == 714;
  switch (type & 0xF) {
    case CT_LONG:
    case CT_ULONG: return wide32 || model == 3 ? 1 : 2;
    case CT_FLOAT: return c_family->width == 16 ? 2 : wide32 || model == 3 ? 1 : 2;
    case CT_DOUBLE: return model == 3 ? 1 : 2;
    case CT_STRUCT:
    case CT_UNION: {
      const coff_debug_info* info = current_debug_info();
      if (info == nullptr) return 1;
      for (uint32_t i = value.tag; i < info->c_symbols.size(); i = next_symbol(*info, i)) {
        const coff_symbol& s = info->c_symbols[i];
        if (s.sclass() == 102) return s.aux_count() > 0 ? static_cast<int>(info->c_symbols[i + 1].w[2]) : 1;
      }
      return 1;
    }
    case CT_VOID: return 0;
    default: return 1;
  }
}

std::string c_integer_text(uint32_t low, uint32_t high, bool two_words, int radix, bool is_signed) {
  const int w = c_family->width;
  const uint32_t mask = c_family->mask;
  low &= mask;
  high &= mask;
  const uint64_t raw = two_words ? (uint64_t{high} << w) | low : low;
  const int bits = two_words ? 2 * w : w;
  switch (radix) {
    case C_BINARY: {
      std::string out;
      const int groups = w / 4;
      bool started = false;
      for (int word = two_words ? 1 : 0; word >= 0; --word) {
        const uint32_t value = word == 1 ? high : low;
        if (!started && value == 0 && word > 0) continue;
        for (int g = groups - 1; g >= 0; --g) {
          const uint32_t nibble = (value >> (4 * g)) & 0xF;
          if (!started && nibble == 0 && g > 0) continue;
          started = true;
          for (int b = 3; b >= 0; --b) out += ((nibble >> b) & 1) != 0 ? '1' : '0';
        }
      }
      return out;
    }
    case C_FRACTION: {
      const int64_t v = sign_extend(raw, bits);
      return format("%.15f", static_cast<double>(v) / std::ldexp(1.0, bits - 1));
    }
    case C_HEX:
      if (two_words && high != 0)
        return format(w == 16 ? "0x%" PRIx32 "%04" PRIx32 : w == 24 ? "0x%" PRIx32 "%06" PRIx32 : "0x%" PRIx32 "%08" PRIx32,
                      high, low);
      return format("0x%" PRIx32, low);
    case C_UNSIGNED: return format("%" PRIu64, raw);
    default:
      return is_signed ? format("%" PRId64, sign_extend(raw, bits)) : format("%" PRIu64, raw);
  }
}

namespace {

bool is_radix(int radix) { return radix >= C_BINARY && radix <= C_UNSIGNED; }

uint32_t strip_arrays(uint32_t type) {
  while (is_array(type)) type = c_strip_level(type);
  return type;
}

// The space a pointer points into.
int pointed_space(uint32_t type) {
  const uint32_t target = strip_arrays(c_strip_level(type));
  if (is_function(target)) return 0;
  const int model = memory_model();
  if (model != 3) return model;
  const uint32_t base = target & 0xF;
  const bool narrow = is_pointer(target) || base == CT_CHAR || base == CT_SHORT || base == CT_INT || base == CT_ENUM ||
                      base == CT_ENUM_MEMBER || base == CT_UCHAR || base == CT_USHORT || base == CT_UINT ||
                      (c_family->code == 710 && base == CT_FLOAT);
  return narrow ? 2 : model;
}

// The string a char pointer points at, in double quotes.
std::string string_text(int space, uint32_t address) {
  static constexpr const char* escapes[] = {"\\a", "\\b", "\\t", "\\n", "\\v", "\\f", "\\r"};
  std::string out = "\"";
  for (int n = 0;; ++n) {
    if (n == 1025) return out + "\"";
    uint32_t c = 0;
    if (read_device_memory(cur_device, space, (address + static_cast<uint32_t>(n)) & c_family->address, &c) == 0)
      return out;
    if (c == 0) return out + "\"";
    if (c == '"' || c == '\'' || c == '\\') out += '\\', out += static_cast<char>(c);
    else if (c >= 32 && c <= 126) out += static_cast<char>(c);
    else if (c >= 7 && c <= 13) out += escapes[c - 7];
    else out += format("\\%lo", static_cast<unsigned long>(c));
  }
}

std::string symbol_text(uint32_t index) { return c_symbol_name(index).substr(0, 128); }

std::string array_text(const c_value& value, int radix) {
  if (static_cast<int32_t>(value.dims[0]) < 1) return "{}";
  c_value element = value;
  element.type = c_strip_level(value.type);
  for (int k = 0; k < 3; ++k) element.dims[k] = value.dims[k + 1];
  element.dims[3] = 1;
  element.located = 1;
  if (element.sclass == 0) element.sclass = 2;
  const uint32_t size = static_cast<uint32_t>(c_sizeof_words(element));
  std::string out = "{";
  for (uint32_t i = 0; i < value.dims[0]; ++i) {
    element.address = (value.address + i * size) & c_family->address;
    if (i > 0) out += ", ";
    out += c_value_text(element, radix);
  }
  return out + "}";
}

std::string aggregate_text(const c_value& value, int radix) {
  const bool is_struct = (value.type & 0xF) == CT_STRUCT;
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || value.tag == 0 || value.tag >= info->c_symbols.size())
    return format("<%s contents not available>", is_struct ? "structure" : "union");
  std::string out = "{";
  bool first = true;
  for (uint32_t i = next_symbol(*info, value.tag); i < info->c_symbols.size(); i = next_symbol(*info, i)) {
    const coff_symbol& s = info->c_symbols[i];
    if (s.sclass() == 102) break;
    c_value m;
    c_symbol_value(m, i);
    m.space = value.v[4];
    // A bit field lies at the structure's address at its own bit offset.
    m.address = (value.v[3] + (m.sclass == 18 ? 0 : s.value())) & c_family->address;
    if (!first) out += ", ";
    first = false;
    out += symbol_text(i) + "=" + c_value_text(m, radix);
  }
  return out + "}";
}

}  // namespace

std::string c_value_text(c_value value, int radix) {
  const uint32_t type = value.type;
  if (!is_array(type) && !is_function(type) && c_fetch(value) == 0) return "";
  const int shown = is_radix(radix) ? radix : C_HEX;
  if (is_pointer(type)) {
    const int space = pointed_space(type);
    std::string out = std::string(c_space_name(space, value.v[3])) + ":" +
                      c_integer_text(value.v[3] & c_family->address, 0, false, shown, false);
    const uint32_t target = strip_arrays(c_strip_level(type));
    if (target == CT_CHAR || target == CT_UCHAR) out += " " + string_text(space, value.v[3]);
    return out;
  }
  if (is_function(type))
    return std::string(c_space_name(static_cast<int>(value.space), value.address)) + ":" +
           c_integer_text(value.address, 0, false, shown, false);
  if (is_array(type)) return array_text(value, radix);
  const bool natural = !is_radix(radix);
  const uint32_t base = type & 0xF;
  const bool two = (base == CT_LONG || base == CT_ULONG) && c_family_kind() != C_KIND_32 && c_sizeof_words(value) == 2;
  switch (base) {
    case CT_CHAR:
    case CT_UCHAR:
      if (natural) return char_text(base == CT_CHAR ? sign_extend(value.v[3] & c_family->mask, c_family->width)
                                                    : value.v[3] & c_family->mask);
      return c_integer_text(value.v[3], 0, false, radix, base == CT_CHAR);
    case CT_FLOAT:
    case CT_DOUBLE:
      if (natural) return float_text(float_of(value));
      switch (c_family_kind()) {
        case C_KIND_16: return c_integer_text(value.v[2] & 0xFFFF, value.v[2] >> 16, true, radix, true);
        case C_KIND_24: return c_integer_text(value.v[3], value.v[4], true, radix, true);
        default:
          if (radix == C_FRACTION) return float_text(float_of(value));
          if (base == CT_FLOAT) return c_integer_text(value.v[2], 0, false, radix, true);
          return c_integer_text(value.v[0], value.v[1], true, radix, true);
      }
    case CT_STRUCT:
    case CT_UNION: return aggregate_text(value, radix);
    case CT_ENUM_MEMBER:
    case CT_ENUM:
      if (natural) {
        const coff_debug_info* info = current_debug_info();
        int member = base == CT_ENUM_MEMBER ? static_cast<int>(value.tag)
                                            : c_enum_member_by_value(value.tag, value.v[3] & c_family->mask);
        if (info != nullptr && value.tag != 0 && member >= 0 && static_cast<uint32_t>(member) < info->c_symbols.size())
          return symbol_text(static_cast<uint32_t>(member));
      }
      return c_integer_text(value.v[3], 0, false, natural ? C_SIGNED : radix, true);
    default: {
      const bool is_signed = base == CT_SHORT || base == CT_INT || base == CT_LONG;
      return c_integer_text(value.v[3], value.v[4], two, natural ? C_SIGNED : radix, is_signed);
    }
  }
}

void print_wrapped(const std::string& text, const char* prefix, const char* continuation, int indent, bool plain) {
  constexpr std::size_t WIDTH = 80;
  if (text.empty()) return;
  // Output, not a command line: kept out of the command log, which must replay.
  const auto emit = [&](const std::string& piece) { plain ? session_print(piece.c_str(), 1) : session_echo(piece.c_str(), 1); };
  const std::string lead =
      std::string(std::min<std::size_t>(static_cast<std::size_t>(std::max(indent, 0)), WIDTH), ' ') +
      (continuation != nullptr ? continuation : "");
  bool first_piece = true;
  bool in_string = false;
  std::size_t line_start = 0;
  while (line_start < text.size()) {
    std::size_t line_end = text.find('\n', line_start);
    if (line_end == std::string::npos) line_end = text.size();
    std::size_t i = line_start;
    do {
      std::string piece = first_piece ? (prefix != nullptr ? prefix : "") : lead;
      first_piece = false;
      if (!in_string)
        while (i < line_end && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
      std::size_t brk = std::string::npos;  // index in text of the last break point
      bool opened = false;
      while (i < line_end) {
        if (piece.size() >= WIDTH) {
          if (brk != std::string::npos) {
            piece.resize(piece.size() - (i - brk));
            i = brk;
            if (opened) in_string = false;
          }
          break;
        }
        const char c = text[i];
        if (c == '"' && (i == 0 || text[i - 1] != '\\')) in_string = !in_string, opened = true;
        if (!in_string && std::isspace(static_cast<unsigned char>(c)) != 0) brk = i;
        piece += c;
        ++i;
        if (!in_string && piece.size() >= 2 && piece.compare(piece.size() - 2, 2, "},") == 0) break;
      }
      emit(piece);
    } while (i < line_end);
    line_start = line_end + 1;
  }
}

void c_print_value(int radix, const c_value* value) {
  if (value == nullptr) {
    c_internal_error("cdbutil.c", __LINE__);
    return;
  }
  print_wrapped(c_type_text(*value) + ": " + c_value_text(*value, radix), nullptr, nullptr, 0, false);
}

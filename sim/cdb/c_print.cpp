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
#include "sim/engine/device.h"

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
  switch (c_family->width) {
    case 16: {
      float f = 0;
      std::memcpy(&f, &v.v[2], 4);
      return f;
    }
    case 24: {
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

int c_fetch(c_value& value) {
  if (value.located == 0) return 1;
  // Memory values only: frames and registers come with the back-trace.
  if (value.sclass != 2 && value.sclass != 3 && value.sclass != 19) return 0;
  const int words = std::min(c_sizeof_words(value), 2);
  const bool wide_float = (value.type & 0xF) == CT_FLOAT || (value.type & 0xF) == CT_DOUBLE;
  uint32_t w[2] = {0, 0};
  for (int k = 0; k < words; ++k) {
    if (cur_type->mem->read_word(static_cast<int>(value.space), (value.address + k) & c_family->address, &w[k]) == 0)
      return 0;
  }
  if (wide_float && c_family->width == 16) {
    value.v[2] = (w[0] & 0xFFFF) | (w[1] << 16);
  } else {
    value.v[3] = w[0];
    value.v[4] = words == 2 ? w[1] : 0;
  }
  return 1;
}

std::string c_value_text(c_value value, int radix) {
  const uint32_t type = value.type;
  if (!is_array(type) && !is_function(type) && c_fetch(value) == 0) return "";
  if (is_pointer(type)) {
    const std::string address = c_integer_text(value.v[3] & c_family->address, 0, false,
                                               radix >= C_BINARY && radix <= C_UNSIGNED ? radix : C_HEX, false);
    return std::string(c_space_name(memory_model(), value.v[3])) + ":" + address;
  }
  if (is_function(type)) {
    return std::string(c_space_name(static_cast<int>(value.space), value.address)) + ":" +
           c_integer_text(value.address, 0, false, radix >= C_BINARY && radix <= C_UNSIGNED ? radix : C_HEX, false);
  }
  const bool natural = radix < C_BINARY || radix > C_UNSIGNED;
  const uint32_t base = type & 0xF;
  const bool two = (base == CT_LONG || base == CT_ULONG) && c_family->width != 32 && c_sizeof_words(value) == 2;
  switch (base) {
    case CT_CHAR:
    case CT_UCHAR:
      if (natural) return char_text(base == CT_CHAR ? sign_extend(value.v[3] & c_family->mask, c_family->width)
                                                    : value.v[3] & c_family->mask);
      return c_integer_text(value.v[3], 0, false, radix, base == CT_CHAR);
    case CT_FLOAT:
    case CT_DOUBLE:
      if (natural) return float_text(float_of(value));
      if (c_family->width == 16) return c_integer_text(value.v[2] & 0xFFFF, value.v[2] >> 16, true, radix, true);
      return c_integer_text(value.v[3], value.v[4], true, radix, true);
    case CT_ENUM_MEMBER:
      if (natural) {
        const coff_debug_info* info = current_debug_info();
        if (info != nullptr && value.tag < info->c_symbols.size()) {
          const std::string name = coff_symbol_name(*info, info->c_symbols[value.tag]);
          return (name.size() > 1 && name[0] == 'F' ? name.substr(1) : name).substr(0, 128);
        }
      }
      return c_integer_text(value.v[3], 0, false, natural ? C_SIGNED : radix, true);
    default: {
      const bool is_signed = base == CT_SHORT || base == CT_INT || base == CT_LONG || base == CT_ENUM;
      return c_integer_text(value.v[3], value.v[4], two, natural ? C_SIGNED : radix, is_signed);
    }
  }
}

// Number rules of the C debugger: one- and two-word integers, IEEE floats
// and the 24-bit families' target floats, and conversions between types.
#include "sim/cdb/c_arith.h"

#include <cmath>
#include <cstring>

#include "sim/cdb/c_print.h"
#include "sim/cdb/coff.h"

namespace {

constexpr const char* SOURCE = "cdbeval.c";
constexpr uint32_t M24 = 0xFFFFFF;
constexpr uint64_t M48 = (uint64_t{1} << 48) - 1;

uint32_t word_mask() { return c_family->mask; }

uint64_t bits_mask(int bits) { return bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1; }

int64_t sign_extend(uint64_t v, int bits) {
  const uint64_t sign = uint64_t{1} << (bits - 1);
  v &= bits_mask(bits);
  return static_cast<int64_t>((v ^ sign) - sign);
}

float single_of(uint32_t w) {
  float f = 0;
  std::memcpy(&f, &w, 4);
  return f;
}
uint32_t single_bits(double d) {
  const auto f = static_cast<float>(d);
  uint32_t w = 0;
  std::memcpy(&w, &f, 4);
  return w;
}

// The low 32 bits of the value truncated toward zero.
uint32_t truncated32(double d) {
  if (!std::isfinite(d)) return 0;
  double r = std::fmod(std::trunc(d), 4294967296.0);
  if (r < 0) r += 4294967296.0;
  return static_cast<uint32_t>(r);
}

// A signed integral source whose sign bit is set.
bool negative_source(const c_value& v) {
  if (!c_is_signed_integral(v.type)) return false;
  return c_int_signed(v) < 0;
}

// The magnitude of an integral source.
uint64_t magnitude(const c_value& v) {
  if (negative_source(v)) return static_cast<uint64_t>(-c_int_signed(v));
  return c_int_raw(v);
}

c_tfloat tf_of(const c_value& v) { return {v.v[3] & M24, v.v[4] & M24}; }
void tf_put(c_value& v, c_tfloat t) {
  v.v[3] = t.e & M24;
  v.v[4] = t.m & M24;
}

// The target float of an integer magnitude (one word or a two-word long).
c_tfloat tf_from_integer(uint64_t mag, bool two_words, bool negative) {
  if (mag == 0) return {};
  int64_t e = 8214;
  if (!two_words) {
    uint64_t m = mag & M24;
    if ((m & 0x800000) != 0) {
      m >>= 1;
      e = 8215;
    } else {
      while ((m & 0x400000) == 0) m <<= 1, --e;
    }
    c_tfloat t{static_cast<uint32_t>(e) & M24, static_cast<uint32_t>(m) & M24};
    return negative ? c_tf_negate(t) : t;
  }
  uint64_t m = mag & M48;
  uint64_t kept = 0;
  bool shifted_right = false;
  while ((m >> 24) != 0 || (m & 0x800000) != 0) {
    kept = m & 1;
    m >>= 1;
    ++e;
    shifted_right = true;
  }
  bool first_left = true;
  bool shifted_left = false;
  while ((m & 0x400000) == 0) {
    m <<= 1;
    if (first_left && shifted_right) m |= kept;
    first_left = false;
    shifted_left = true;
    --e;
  }
  if (!shifted_left) m |= kept;
  c_tfloat t{static_cast<uint32_t>(e) & M24, static_cast<uint32_t>(m) & M24};
  return negative ? c_tf_negate(t) : t;
}

// A target float into an integral type.
void tf_to_integer(c_tfloat t, uint32_t type, c_value& out) {
  const bool negative = (t.m & 0x800000) != 0;
  if (negative) t = c_tf_negate(t);
  const bool two = c_two_word(type);
  const uint64_t top = two ? uint64_t{1} << 47 : uint64_t{1} << 23;
  uint64_t r = t.m & M24;
  const int64_t k = 8214 - static_cast<int64_t>(t.e);
  bool stopped_early = false;
  for (int64_t s = k; s < 0; ++s) {
    if ((r & top) != 0) {
      stopped_early = true;
      break;
    }
    r = (r << 1) & M48;
  }
  for (int64_t s = 0; s < k && r != 0; ++s) r >>= 1;
  if (!two) r &= M24;
  if ((r & top) != 0) {
    if (!c_is_unsigned(type)) r = top - 1;
    else if (stopped_early) r = two ? M48 : M24;
  }
  if (negative && !c_is_unsigned(type)) r = static_cast<uint64_t>(-static_cast<int64_t>(r));
  c_int_put(out, r);
}

}  // namespace

bool c_is_integral(uint32_t type) {
  if (c_level(type) != 0) return false;
  const uint32_t b = c_base(type);
  return (b >= CT_CHAR && b <= CT_LONG) || b == CT_ENUM || b == CT_ENUM_MEMBER || (b >= CT_UCHAR && b <= CT_ULONG);
}

bool c_is_float_type(uint32_t type) { return c_level(type) == 0 && (c_base(type) == CT_FLOAT || c_base(type) == CT_DOUBLE); }

bool c_is_unsigned(uint32_t type) { return c_level(type) == 0 && c_base(type) >= CT_UCHAR; }

bool c_is_signed_integral(uint32_t type) { return c_is_integral(type) && !c_is_unsigned(type); }

bool c_two_word(uint32_t type) {
  return c_level(type) == 0 && (c_base(type) == CT_LONG || c_base(type) == CT_ULONG) && c_family_kind() != C_KIND_32;
}

int c_int_bits(uint32_t type) { return c_two_word(type) ? 2 * c_family->width : c_family->width; }

uint64_t c_int_raw(const c_value& v) {
  const uint32_t mask = word_mask();
  if (c_two_word(v.type)) return (uint64_t{v.v[4] & mask} << c_family->width) | (v.v[3] & mask);
  return v.v[3] & mask;
}

int64_t c_int_signed(const c_value& v) { return sign_extend(c_int_raw(v), c_int_bits(v.type)); }

void c_int_put(c_value& v, uint64_t raw) {
  const uint32_t mask = word_mask();
  v.v[3] = static_cast<uint32_t>(raw) & mask;
  v.v[4] = c_two_word(v.type) ? static_cast<uint32_t>(raw >> c_family->width) & mask : 0;
}

double c_ieee_get(const c_value& v) {
  if (c_family_kind() == C_KIND_32 && c_base(v.type) == CT_DOUBLE) {
    const uint64_t bits = (uint64_t{v.v[1]} << 32) | v.v[0];
    double d = 0;
    std::memcpy(&d, &bits, 8);
    return d;
  }
  return single_of(v.v[2]);
}

void c_ieee_put(c_value& v, double d) {
  if (c_family_kind() == C_KIND_32 && c_base(v.type) == CT_DOUBLE) {
    uint64_t bits = 0;
    std::memcpy(&bits, &d, 8);
    v.v[0] = static_cast<uint32_t>(bits) & ~0x1FFFFFu;
    v.v[1] = static_cast<uint32_t>(bits >> 32);
    return;
  }
  v.v[2] = single_bits(d);
}

c_tfloat c_tf_negate(c_tfloat a) {
  uint32_t m = (0u - a.m) & M24;
  uint32_t e = a.e;
  if ((a.m & M24) == 0x800000) {
    m = 0x400000;
    ++e;
  } else if ((m & 0xC00000) == 0xC00000) {
    m = (m << 1) & M24;
    --e;
  }
  return {e & M24, m};
}

c_tfloat c_tf_mul(c_tfloat a, c_tfloat b) {
  const bool neg_a = (a.m & 0x800000) != 0, neg_b = (b.m & 0x800000) != 0;
  if (neg_a) a = c_tf_negate(a);
  if (neg_b) b = c_tf_negate(b);
  uint64_t p = (uint64_t{a.m & 0x7FFFFF} * 2) * (uint64_t{b.m & 0x7FFFFF} * 2) & M48;
  if (p == 0) return {};
  int64_t e = static_cast<int64_t>(a.e) + static_cast<int64_t>(b.e) - 8191;
  while ((p & (uint64_t{1} << 47)) == 0) {
    p = (p << 1) & M48;
    --e;
  }
  uint64_t h = p >> 24;
  if ((h & 1) != 0) {
    ++h;
    if ((h & 0x1000000) != 0) {
      h >>= 1;
      ++e;
    }
  }
  c_tfloat r{static_cast<uint32_t>(e) & M24, static_cast<uint32_t>(h >> 1) & M24};
  return neg_a != neg_b ? c_tf_negate(r) : r;
}

c_tfloat c_tf_add(c_tfloat a, c_tfloat b) {
  const auto prepare = [](c_tfloat t, int64_t& e, uint64_t& m) {
    e = t.e;
    uint32_t mm = t.m & M24;
    if ((mm & 0x800000) != 0) {
      mm = (mm >> 1) | 0x800000;
      ++e;
    }
    m = (mm & 0x800000) != 0 ? (mm | (uint64_t{M24} << 24)) : mm;
  };
  int64_t ea = 0, eb = 0;
  uint64_t ma = 0, mb = 0;
  prepare(a, ea, ma);
  prepare(b, eb, mb);
  const int64_t d = ea - eb;
  if (d > 23) return a;
  if (d < -23) return b;
  const auto shift_right = [](uint64_t m, int64_t n) {
    const bool neg = (m & (uint64_t{1} << 47)) != 0;
    for (int64_t k = 0; k < n; ++k) m = (m >> 1) | (neg ? uint64_t{1} << 47 : 0);
    return m;
  };
  int64_t e = ea;
  if (d < 0) {
    ma = shift_right(ma, -d);
    e = eb;
  } else {
    mb = shift_right(mb, d);
  }
  uint64_t sum = (ma + mb) & M48;
  if (sum == 0) return {};
  if ((sum & (uint64_t{1} << 47)) == 0 && (sum & 0x800000) != 0) {
    sum >>= 1;
    ++e;
  }
  for (int guard = 0; guard < 48 && ((sum >> 23) & 1) == ((sum >> 22) & 1); ++guard) {
    sum = (sum << 1) & M48;
    --e;
  }
  return {static_cast<uint32_t>(e) & M24, static_cast<uint32_t>(sum) & M24};
}

double c_tf_to_double(c_tfloat a) {
  if ((a.m & M24) == 0 && a.e == 0) return 0.0;
  const bool negative = (a.m & 0x800000) != 0;
  uint32_t m = a.m & M24;
  int64_t e = a.e;
  if (negative) {
    if (m == 0x800000) {
      m = 0x400000;
      ++e;
    } else {
      m = (0u - m) & M24;
    }
  }
  const double d = std::ldexp(1.0 + static_cast<double>(m & 0x3FFFFF) / 4194304.0, static_cast<int>(e - 8192));
  return negative ? -d : d;
}

c_tfloat c_tf_from_double(double q) {
  if (q == 0 || !std::isfinite(q)) return {};
  uint64_t bits = 0;
  const double mag = std::fabs(q);
  std::memcpy(&bits, &mag, 8);
  const auto field = static_cast<uint32_t>(bits >> 52) & 0x7FF;
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  uint32_t m = 0x400000 | static_cast<uint32_t>(fraction >> 30);
  if (((fraction >> 29) & 1) != 0 && ((m + 1) & 0x800000) == 0) ++m;
  const c_tfloat t{(field + 7169) & M24, m};
  return q < 0 ? c_tf_negate(t) : t;
}

int c_tf_compare(c_tfloat a, c_tfloat b) {
  // Sign, then exponent and mantissa of the normalised magnitude.
  struct key {
    int sign;
    int64_t e;
    uint32_t mag;
  };
  const auto norm = [](c_tfloat t) {
    uint32_t m = t.m & M24;
    if (m == 0) return key{0, 0, 0};
    const bool neg = (m & 0x800000) != 0;
    uint32_t mag = neg ? (0u - m) & M24 : m;
    if (mag == 0) mag = 0x800000;
    int64_t e = t.e;
    while (mag < 0x400000) mag <<= 1, --e;
    while (mag >= 0x800000) mag >>= 1, ++e;
    return key{neg ? -1 : 1, e, mag};
  };
  const key x = norm(a), y = norm(b);
  if (x.sign != y.sign) return x.sign < y.sign ? -1 : 1;
  int c = x.e != y.e ? (x.e < y.e ? -1 : 1) : x.mag != y.mag ? (x.mag < y.mag ? -1 : 1) : 0;
  return x.sign < 0 ? -c : c;
}

double c_float_value(const c_value& v) {
  if (c_is_float_type(v.type)) return c_family_kind() == C_KIND_24 ? c_tf_to_double(tf_of(v)) : c_ieee_get(v);
  if (c_is_signed_integral(v.type)) return static_cast<double>(c_int_signed(v));
  return static_cast<double>(c_int_raw(v));
}

int c_is_zero(c_value& v) {
  if (c_fetch(v) == 0) return 1;
  const uint32_t t = v.type;
  if (c_is_pointer(t) || c_is_integral(t)) return c_int_raw(v) == 0 ? 1 : 0;
  if (c_is_float_type(t)) {
    switch (c_family_kind()) {
      case C_KIND_24: return (v.v[3] & M24) == 0 && (v.v[4] & M24) == 0 ? 1 : 0;
      case C_KIND_16: return (v.v[2] & 0x7FFFFFFF) == 0 ? 1 : 0;
      default:
        if (c_base(t) == CT_FLOAT) return (v.v[2] & 0x7FFFFFFF) == 0 ? 1 : 0;
        return v.v[0] == 0 && (v.v[1] & 0x7FFFFFFF) == 0 ? 1 : 0;
    }
  }
  c_internal_error(SOURCE, __LINE__);
  return 1;
}

void c_negate(const c_value& v, c_value& out) {
  out = v;
  if (c_is_float_type(v.type)) {
    if (c_family_kind() == C_KIND_24) {
      tf_put(out, c_tf_negate(tf_of(v)));
    } else if (c_family_kind() == C_KIND_32 && c_base(v.type) == CT_DOUBLE) {
      out.v[1] = v.v[1] ^ 0x80000000u;
      out.v[0] = v.v[0] & ~0x1FFFFFu;
    } else {
      out.v[2] = v.v[2] ^ 0x80000000u;
    }
    return;
  }
  c_int_put(out, static_cast<uint64_t>(0) - c_int_raw(v));
}

void c_one(uint32_t type, c_value& out) {
  out = c_value{};
  out.type = type;
  if (c_is_float_type(type)) {
    if (c_family_kind() == C_KIND_24) {
      out.v[3] = 8192, out.v[4] = 0x400000;
    } else {
      c_ieee_put(out, 1.0);
    }
    return;
  }
  out.v[3] = 1;
}

int c_convert(const c_value& src, uint32_t type, c_value& out) {
  const uint32_t from = src.type;
  const c_family_kind_t kind = c_family_kind();
  c_value r = c_value{};
  r.type = type;
  if (c_base(type) == CT_VOID && c_level(type) == 0) {
    out = r;
    return 1;
  }
  if (c_is_pointer(type)) {
    if (c_is_float_type(from)) {
      c_error("cannot cast from float to pointer");
      return 0;
    }
    r.v[3] = src.v[3] & c_family->address;
    r.v[4] = static_cast<uint32_t>(memory_model());
  } else if (c_is_integral(type)) {
    if (c_is_float_type(from)) {
      if (kind == C_KIND_24) {
        tf_to_integer(tf_of(src), type, r);
      } else {
        const uint32_t low = truncated32(c_ieee_get(src));
        if (c_two_word(type)) {
          r.v[3] = low & 0xFFFF, r.v[4] = low >> 16;
        } else {
          r.v[3] = low & word_mask();
        }
      }
    } else if (c_two_word(type)) {
      r.v[3] = src.v[3] & word_mask();
      if (c_two_word(from)) {
        r.v[4] = src.v[4] & word_mask();
      } else if (!c_is_pointer(from) &&
                 (c_base(from) == CT_INT || c_base(from) == CT_ENUM || c_base(from) == CT_ENUM_MEMBER)) {
        r.v[4] = negative_source(src) ? word_mask() : 0;
      }
    } else {
      r.v[3] = src.v[3] & word_mask();
    }
  } else if (c_is_float_type(type)) {
    if (c_is_float_type(from)) {
      if (kind == C_KIND_32 && c_base(from) != c_base(type)) {
        c_ieee_put(r, c_ieee_get(src));
      } else {
        for (int k = 0; k < 5; ++k) r.v[k] = src.v[k];
      }
    } else if (c_is_integral(from)) {
      const bool negative = negative_source(src);
      const uint64_t mag = magnitude(src);
      if (kind == C_KIND_24) {
        tf_put(r, tf_from_integer(mag, c_two_word(from), negative));
      } else {
        c_ieee_put(r, static_cast<double>(mag));
        if (negative) c_negate(r, r);
      }
    } else if (c_is_pointer(from)) {
      c_error("cannot cast from pointer to float");
      return 0;
    }
  } else {
    c_internal_error(SOURCE, __LINE__);
    return 0;
  }
  out = r;
  return 1;
}

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <limits>

#include "fw/core/cp1252.h"
#include "fw/data/num.h"

namespace {

[[noreturn]] void syntaxError(const char* message, const char* at) {
  _vexGenerate(&vexNumSyntaxClass, vexSetMessage, message, vnumSetPosition, at, vexEnd);
}
[[noreturn]] void rangeError(const char* message) { _vexGenerate(&vexNumRangeClass, vexSetMessage, message, vexEnd); }

bool isWhite(char c) {
  auto u = static_cast<unsigned char>(c);
  return u == ' ' || (u >= 9 && u <= 13) || u == 0xA0;
}
unsigned char lower(char c) { return cp1252::lower[static_cast<unsigned char>(c)]; }

// The digit value of c in the set, or -1.
int digitValue(const vnumDigitSet* set, char c) {
  if (set->contiguous) {
    int v = lower(c) - lower(set->digits[0]);
    return v >= 0 && v < set->base ? v : -1;
  }
  for (int i = 0; i < set->base; ++i)
    if (lower(set->digits[i]) == lower(c)) return i;
  return -1;
}

struct Constants {
  char decimal, marker, negative, positive;
};
Constants constants() {
  static const Constants c = [] {
    Constants k{'.', 'e', '-', '+'};
    vnumFormat* n = vnumGetNormalFormat();
    for (std::int32_t i = 0; i < n->count; ++i)
      if (n->elements[i].kind == vnumDecimal) k.decimal = n->elements[i].character;
    vnumFormat* x = vnumGetExponentFormat();
    for (std::int32_t i = 0; i < x->count; ++i) {
      const vnumElement& e = x->elements[i];
      if (!e.text || !e.text[0]) continue;
      if (e.kind == vnumText) k.marker = e.text[0];
      if (e.kind == vnumNegativeText) k.negative = e.text[0];
      if (e.kind == vnumPositiveText) k.positive = e.text[0];
    }
    return k;
  }();
  return c;
}

// Significant digits, most significant first, no leading zeros.
struct Digits {
  std::uint8_t d[64];
  int n = 0, cap = 64;
  std::int64_t exponent = 0;  // integer digits + digits that did not fit + exponent - fraction leading zeros
  bool negative = false, positive = false, lost = false, seen = false, fraction = false;

  void add(int v) {
    if (v == 0 && n == 0) {
      if (fraction) --exponent;
      return;
    }
    if (n < cap) {
      d[n++] = static_cast<std::uint8_t>(v);
      if (!fraction) ++exponent;
    } else {
      if (v != 0) lost = true;
      if (!fraction) ++exponent;
    }
  }
  void dropTrailingZeros() {
    while (n > 1 && d[n - 1] == 0) --n;
  }
};

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The magnitude of the digits times base^(exponent - n), correctly rounded
// for base 10.
double compose(const Digits& g, int base) {
  if (g.n == 0) return 0.0;
  std::int64_t e = g.exponent - g.n;
  if (base == 10) {
    if (g.n <= 15 && e >= -22 && e <= 22) {
      double m = 0;
      for (int i = 0; i < g.n; ++i) m = m * 10 + g.d[i];
      return e < 0 ? m / kPow10[-e] : m * kPow10[e];
    }
    char buffer[96];
    int k = 0;
    for (int i = 0; i < g.n; ++i) buffer[k++] = static_cast<char>('0' + g.d[i]);
    if (g.lost) buffer[k++] = '1', --e;  // keeps the rounding of the digits that did not fit
    if (e > 99999) e = 99999;
    if (e < -99999) e = -99999;
    int len = std::snprintf(buffer + k, sizeof buffer - static_cast<std::size_t>(k), "e%lld", static_cast<long long>(e));
    double v = 0;
    // Out of range leaves v alone: beyond the largest double or below the smallest.
    if (std::from_chars(buffer, buffer + k + len, v).ec == std::errc::result_out_of_range)
      v = e > 0 ? HUGE_VAL : 0.0;
    return v;
  }
  double m = 0;
  for (int i = 0; i < g.n; ++i) m = m * base + g.d[i];
  int bits = base == 2 ? 1 : base == 4 ? 2 : base == 8 ? 3 : base == 16 ? 4 : base == 32 ? 5 : 0;
  if (bits) return std::ldexp(m, static_cast<int>(std::max<std::int64_t>(std::min<std::int64_t>(e * bits, 1 << 20), -(1 << 20))));
  double p = std::pow(static_cast<double>(base), static_cast<double>(e < 0 ? -e : e));
  return e < 0 ? m / p : m * p;
}

bool textMatches(const vnumElement& e, const char* p, const char* end, std::ptrdiff_t* length) {
  if (e.match) {
    std::ptrdiff_t len = -1;
    const char* m = vregexpSearch(e.match, p, end - p, &len);
    *length = len;
    return m == p;
  }
  std::size_t n = vstrGetLength(e.text);
  *length = static_cast<std::ptrdiff_t>(n);
  return static_cast<std::size_t>(end - p) >= n && std::memcmp(p, e.text, n) == 0;
}

std::int32_t parseLongGeneral(const char* text, const char* end, const char** out, const vnumDigitSet* set,
                              vnumFormat* format, vnumFormat* exponentFormat, int allowInexact);

// The format-driven scan; answers the position after the last character used.
const char* scan(const char* text, const char* end, Digits& g, const vnumDigitSet* set, vnumFormat* format,
                 vnumFormat* exponentFormat) {
  const char* p = text;
  bool stopped = false;
  for (std::int32_t i = 0; i < format->count; ++i) {
    const vnumElement& e = format->elements[i];
    std::ptrdiff_t len = 0;
    switch (e.kind) {
      case vnumText:
        if (!textMatches(e, p, end, &len)) syntaxError("Text did not match format", p);
        p += len;
        break;
      case vnumNegativeText:
        if (textMatches(e, p, end, &len)) {
          if (g.positive) syntaxError("Negative format text found for positive number", p);
          g.negative = true, p += len;
        }
        break;
      case vnumPositiveText:
        if (textMatches(e, p, end, &len)) {
          if (g.negative) syntaxError("Positive format text found for negative number", p);
          g.positive = true, p += len;
        }
        break;
      case vnumPadding:
        while (p < end && *p == e.character) ++p, g.seen = true;
        break;
      case vnumWhiteSpace: {
        const char* q = p;
        while (p < end && isWhite(*p)) ++p;
        if (p == q && e.required) syntaxError("Required white space not present", p);
        break;
      }
      case vnumExponent: {
        if (!exponentFormat || p >= end) break;
        const char* at = p;
        std::int32_t x = 0;
        vexGuard([&] { x = parseLongGeneral(at, end, &p, set, exponentFormat, nullptr, 0); },
                 [&](vexHandler& h) {
                   vexException* ex = vexGetCurrentException();
                   if (ex && ex->cls == &vexNumSyntaxClass && static_cast<vnumSyntaxException*>(ex)->position == at) {
                     vexSetCurrentException(h.savedChain);
                     p = at;
                     return;
                   }
                   _vexGenerate(nullptr, vexEnd);
                 });
        g.exponent += x;
        break;
      }
      case vnumDigits: {
        if (stopped) break;
        std::int32_t taken = 0;
        while (p < end && (e.count < 0 || taken < e.count)) {
          int v = digitValue(set, *p);
          if (v < 0) {
            if (e.grouping > 0 && *p == e.character) {
              ++p;
              continue;
            }
            break;
          }
          g.add(v);
          g.seen = true;
          ++taken, ++p;
        }
        if (e.count >= 0 && taken < e.count) syntaxError("Not enough digits for format", p);
        break;
      }
      case vnumDecimal:
        if (p < end && *p == e.character) ++p;
        else stopped = true;
        g.fraction = true;
        break;
      default: break;
    }
  }
  if (!g.seen) syntaxError("No digits in number", text);
  g.dropTrailingZeros();
  return p;
}

std::int32_t integerResult(const Digits& g, int base, int allowInexact, const char* overflow) {
  std::int64_t v = 0;
  for (std::int64_t i = 0; g.n > 0 && i < g.exponent; ++i) {
    int d = i < g.n ? g.d[i] : 0;
    // Checked in 64 bits before the value is kept: a 32-bit step cannot wrap.
    v = g.negative ? v * base - d : v * base + d;
    if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
      rangeError(overflow);
  }
  if ((g.n > g.exponent || g.lost) && !allowInexact) rangeError("Number does not resolve to integer");
  return static_cast<std::int32_t>(v);
}

std::int32_t parseLongGeneral(const char* text, const char* end, const char** out, const vnumDigitSet* set,
                              vnumFormat* format, vnumFormat* exponentFormat, int allowInexact) {
  Digits g;
  g.cap = 32;
  const char* p = scan(text, end, g, set, format, exponentFormat);
  std::int32_t v = integerResult(g, set->base, allowInexact, "Overflow parsing number");
  if (out) *out = p;
  return v;
}

const char* skipWhite(const char* p) {
  while (*p && isWhite(*p)) ++p;
  return p;
}

double fastDouble(const char* text, const char** out, const vnumDigitSet* set) {
  Constants k = constants();
  Digits g;
  const char* p = skipWhite(text);
  if (*p == k.negative) g.negative = true, ++p;
  else if (*p == k.positive) ++p;
  for (int v; *p && (v = digitValue(set, *p)) >= 0; ++p) g.add(v), g.seen = true;
  if (*p && *p == k.decimal) {
    ++p;
    g.fraction = true;
    for (int v; *p && (v = digitValue(set, *p)) >= 0; ++p) g.add(v), g.seen = true;
  }
  if (!g.seen) syntaxError("No digits in number", text);
  if (*p && lower(*p) == lower(k.marker)) {
    const char* q = p + 1;
    bool negative = false;
    if (*q == k.negative) negative = true, ++q;
    else if (*q == k.positive) ++q;
    std::int64_t x = 0;
    const char* digits = q;
    for (int v; *q && (v = digitValue(set, *q)) >= 0; ++q) {
      x = x * set->base + v;
      if (x > std::numeric_limits<std::int32_t>::max()) rangeError("Overflow detected parsing exponent");
    }
    if (q > digits) {
      g.exponent += negative ? -x : x;
      p = q;
    }
  }
  g.dropTrailingZeros();
  double v = compose(g, set->base);
  if (std::isinf(v)) rangeError("Overflow detected parsing number");
  if (out) *out = p;
  return g.negative ? -v : v;
}

std::int32_t fastInteger(const char* text, const char** out, const vnumDigitSet* set) {
  Constants k = constants();
  const char* p = skipWhite(text);
  bool negative = false;
  if (*p == k.negative) negative = true, ++p;
  else if (*p == k.positive) ++p;
  std::int64_t v = 0;
  const char* digits = p;
  for (int d; *p && (d = digitValue(set, *p)) >= 0; ++p) {
    v = negative ? v * set->base - d : v * set->base + d;
    if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
      rangeError("Overflow detected parsing number");
  }
  if (*p && (*p == k.decimal || lower(*p) == lower(k.marker))) {
    double d = fastDouble(text, out, set);
    if (!(d >= -2147483648.0 && d <= 2147483647.0) || d != std::trunc(d)) rangeError("Overflow detected parsing number");
    return static_cast<std::int32_t>(d);
  }
  if (p == digits) syntaxError("No digits in number", text);
  if (out) *out = p;
  return static_cast<std::int32_t>(v);
}

bool fastPath(std::int32_t length, const vnumDigitSet* set, vnumFormat* format) {
  return length == vnumNUL_TERMINATED && set->contiguous && format == vnumGetNormalFormat() &&
         (format->flags & vnumFORMAT_FAST_PARSE);
}

const char* textEnd(const char* text, std::int32_t length) {
  return length == vnumNUL_TERMINATED ? text + std::strlen(text) : text + length;
}

}  // namespace

std::int32_t vnumParseLong(const char* text, std::int32_t length, const char** end, const vnumDigitSet* digits,
                           vnumFormat* format, vnumFormat* exponentFormat, int allowInexact) {
  if (fastPath(length, digits, format)) return fastInteger(text, end, digits);
  return parseLongGeneral(text, textEnd(text, length), end, digits, format, exponentFormat, allowInexact);
}

double vnumParseDouble(const char* text, std::int32_t length, const char** end, const vnumDigitSet* digits,
                       vnumFormat* format, vnumFormat* exponentFormat, int allowInexact) {
  if (fastPath(length, digits, format)) return fastDouble(text, end, digits);
  Digits g;
  const char* p = scan(text, textEnd(text, length), g, digits, format, exponentFormat);
  if (g.lost && !allowInexact) rangeError("Too many digits in number");
  double v = compose(g, digits->base);
  if (std::isinf(v)) rangeError("Overflow parsing number");
  if (end) *end = p;
  return g.negative ? -v : v;
}

std::int32_t vnumParseInteger(const char* text, std::int32_t length, const char** end) {
  return vnumParseLong(text, length, end, vnumGetDecimalDigits(), vnumGetNormalFormat(), vnumGetExponentFormat(), 0);
}

double vnumParseFloat(const char* text, std::int32_t length, const char** end) {
  return vnumParseDouble(text, length, end, vnumGetDecimalDigits(), vnumGetNormalFormat(), vnumGetExponentFormat(), 1);
}

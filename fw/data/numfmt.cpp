// Number text: integers and doubles written under a digit set and a number
// format, and the numeric conversions of formatted text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/num.h"

namespace {

enum : std::uint32_t { NEGATIVE = 1, MAY_DROP = 2, DROP_ZEROS = 16 };

struct NumberText {
  std::uint8_t digits[96];  // digit values, most significant first
  int count = 0;
  int start = 0;      // negative: leading zero positions
  int end = 0;        // end of the printed positions
  int intDigits = 0;  // positions before the decimal
  std::uint32_t flags = DROP_ZEROS;
  const vnumDigitSet* set = nullptr;
  vnumFormat* format = nullptr;
  vstr* exponent = nullptr;  // the pending exponent text, or none

  int digitAt(int p) const { return p >= 0 && p < count ? digits[p] : 0; }
  char charAt(int p) const { return set->digits[digitAt(p)]; }

  // Rounds at position n (< count); true when a carry added a leading digit.
  bool roundAt(int n) {
    bool up = digits[n] >= set->base / 2;
    count = n;
    if (!up) return false;
    for (int i = n - 1; i >= 0; --i) {
      if (++digits[i] < set->base) return false;
      digits[i] = 0;
    }
    std::memmove(digits + 1, digits, static_cast<std::size_t>(count));
    digits[0] = 1;
    ++count;
    return true;
  }
};

struct Analysis {
  int decimal = -1;  // index of the Decimal element
  int right = 0;     // digit positions right of it, -1 unlimited
};

Analysis analyse(const vnumFormat* f) {
  Analysis a;
  for (int i = 0; i < f->count; ++i) {
    const vnumElement& e = f->elements[i];
    if (e.kind == vnumDecimal) {
      if (a.decimal >= 0) vexGenerateMessage(&vexArgClass, "More than one decimal in number format.");
      a.decimal = i;
    } else if (e.kind == vnumDigits && a.decimal >= 0 && a.right >= 0) {
      a.right = e.count < 0 ? -1 : a.right + e.count;
    }
  }
  return a;
}

void integerDigits(NumberText& t, bool negative, std::uint64_t magnitude, const vnumDigitSet* set,
                   vnumFormat* format, vnumFormat* exponentFormat, bool mayDrop, int significant);

const char* textOf(const vnumElement& e) { return e.text ? e.text : ""; }

struct Rendered {
  std::string text;
  std::size_t left = 0;  // characters before the decimal
};

// Writes the number text: the left part from its right end leftwards, then
// the right part. check: raise for what the format cannot hold (reading);
// without it only the text is wanted (its length).
Rendered render(NumberText t, bool check) {
  bool hasExponent = t.exponent != nullptr;
  const std::string exponentText = t.exponent ? t.exponent : "";
  Analysis a = analyse(t.format);
  if (t.intDigits - t.start < 1) t.start = t.intDigits - 1;  // at least one integer digit
  const int leftEnd = a.decimal >= 0 ? a.decimal : t.format->count;
  bool negative = t.flags & NEGATIVE;
  if (t.flags & DROP_ZEROS) {
    if (t.end > t.count) t.end = t.count;
    while (t.end > t.intDigits && t.digitAt(t.end - 1) == 0) --t.end;
    if (t.end < t.intDigits) t.end = t.intDigits;
  }
  std::string left;  // reversed
  int remaining = t.intDigits - t.start;
  int position = t.intDigits - 1;
  int padTotal = 0;
  auto prepend = [&](const std::string& s) { left.append(s.rbegin(), s.rend()); };
  for (int i = leftEnd - 1; i >= 0; --i) {
    const vnumElement& e = t.format->elements[i];
    switch (e.kind) {
      case vnumText: prepend(textOf(e)); break;
      case vnumNegativeText: if (negative) prepend(textOf(e)); break;
      case vnumPositiveText: if (!negative) prepend(textOf(e)); break;
      case vnumExponent: prepend(exponentText), hasExponent = false; break;
      case vnumPadding:
        padTotal += e.count > 0 ? e.count : 0;
        while (static_cast<int>(left.size()) < padTotal) left.push_back(e.character);
        break;
      case vnumWhiteSpace: if (e.shown) left.push_back(' '); break;
      case vnumDigits: {
        int n = e.count < 0 ? remaining : e.count;
        for (int k = 0; k < n; ++k) {
          if (k > 0 && e.grouping > 0 && k % e.grouping == 0) left.push_back(e.character);
          left.push_back(t.charAt(position--));
        }
        remaining = remaining > n ? remaining - n : 0;
        break;
      }
      default: break;
    }
  }
  if (check && remaining > 0) vexGenerateMessage(&vexNumRangeClass, "Digits to the left of decimal overflow format");
  Rendered r{std::string(left.rbegin(), left.rend()), left.size()};
  std::string& text = r.text;
  int fraction = t.end > t.intDigits ? t.end - t.intDigits : 0;
  position = t.intDigits;
  if (a.decimal >= 0) {
    if (fraction > 0 || a.right > 0) text.push_back(t.format->elements[a.decimal].character);
    for (int i = a.decimal + 1; i < t.format->count; ++i) {
      const vnumElement& e = t.format->elements[i];
      switch (e.kind) {
        case vnumText: text += textOf(e); break;
        case vnumNegativeText: if (negative) text += textOf(e); break;
        case vnumPositiveText: if (!negative) text += textOf(e); break;
        case vnumExponent: text += exponentText, hasExponent = false; break;
        case vnumPadding:
          padTotal += e.count > 0 ? e.count : 0;
          break;
        case vnumWhiteSpace: if (e.shown) text.push_back(' '); break;
        case vnumDigits: {
          int n = e.count < 0 ? fraction : e.count;
          for (int k = 0; k < n; ++k) {
            if (k > 0 && e.grouping > 0 && k % e.grouping == 0) text.push_back(e.character);
            text.push_back(t.charAt(position++));
          }
          fraction = fraction > n ? fraction - n : 0;
          break;
        }
        default: break;
      }
    }
  }
  if (!check) return r;
  if (hasExponent) vexGenerateMessage(&vexNumRangeClass, "Exponent not included in format");
  if (fraction > 0 && !(t.flags & MAY_DROP))
    vexGenerateMessage(&vexNumRangeClass, "Digits to the right of decimal overflow format");
  return r;
}

// The number-text scribe: the state is pooled and the text is made when it
// is read, so the adjusters below may still change it.
vpool* textPool = nullptr;

NumberText* newState() {
  if (!textPool) textPool = vpoolCreate(sizeof(NumberText));
  return new (vpoolAlloc(textPool)) NumberText{};
}

void freeState(NumberText* t) {
  if (t->exponent) vstrDestroy(t->exponent);
  vpoolFree(textPool, t);
}

NumberText* stateOf(vscribe* s) { return static_cast<NumberText*>(s->data); }

std::size_t textLength(vscribe* s, std::size_t max) { return std::min(render(*stateOf(s), false).text.size(), max); }

char* textRead(vscribe* s, char* buffer, std::size_t max) {
  Rendered r = render(*stateOf(s), true);
  if (max < r.left) vexGenerateMessage(&vexNumRangeClass, "Not enough space to print number.");
  std::size_t n = std::min(r.text.size(), max);
  std::memcpy(buffer, r.text.data(), n);
  return buffer + n;
}

void textFinalise(vscribe* s) { freeState(stateOf(s)); }

const vscribeClass numberTextClass{textRead, textLength, textFinalise, 1};

// A state that raises on the way is freed before the exception leaves.
template <class Fill>
vscribe* makeScribe(Fill&& fill) {
  NumberText* t = newState();
  vexGuard([&] { fill(*t); }, [&](vexHandler&) {
    freeState(t);
    _vexGenerate(nullptr, vexEnd);
  });
  vscribe* s = vscribeCreate(&numberTextClass);
  s->data = t;
  return s;
}

NumberText* checkedState(vscribe* s) {
  if (!s) _vexGenerate(&vexArgNullClass, vexEnd);
  if (s->cls != &numberTextClass) vexGenerateMessage(&vexArgClass, "not a number-text scribe");
  return stateOf(s);
}

void setExponent(NumberText& t, vnumFormat* exponentFormat, int value) {
  bool negative = value < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(value))
                                     : static_cast<std::uint64_t>(value);
  NumberText e;
  integerDigits(e, negative, magnitude, t.set, exponentFormat, nullptr, false, -1);
  t.exponent = vstrClone(render(e, true).text.c_str());
}

void integerDigits(NumberText& t, bool negative, std::uint64_t magnitude, const vnumDigitSet* set,
                   vnumFormat* format, vnumFormat* exponentFormat, bool mayDrop, int significant) {
  if (!set || !format) _vexGenerate(&vexArgNullClass, vexEnd);
  t.set = set;
  t.format = format;
  if (negative && magnitude) t.flags |= NEGATIVE;
  if (mayDrop) t.flags |= MAY_DROP;
  auto base = static_cast<std::uint64_t>(set->base);
  std::uint8_t reversed[96];
  for (; magnitude; magnitude /= base) reversed[t.count++] = static_cast<std::uint8_t>(magnitude % base);
  for (int i = 0; i < t.count; ++i) t.digits[i] = reversed[t.count - 1 - i];
  int total = t.count;
  if (significant >= 0 && significant < t.count) {
    total += t.roundAt(significant) ? 1 : 0;
    std::memset(t.digits + t.count, 0, static_cast<std::size_t>(total - t.count));
    t.count = total;
  }
  t.end = t.count;
  if (exponentFormat && t.count) {
    t.intDigits = 1;
    setExponent(t, exponentFormat, t.count - 1);
  } else {
    t.intDigits = t.count;
  }
}

// The double's digits: base 10 through a 15-significant-digit conversion,
// other bases by repeated multiplication. Answers the position exponent
// (the number of integer digits of the plain notation).
int floatDigits(NumberText& t, double value) {
  if (value < 0 || std::signbit(value)) t.flags |= NEGATIVE, value = -value;
  int exponent = 0;
  if (t.set->base == 10) {
    char buffer[40];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    *r.ptr = 0;
    for (const char* p = buffer; *p && *p != 'e'; ++p)
      if (*p >= '0' && *p <= '9') t.digits[t.count++] = static_cast<std::uint8_t>(*p - '0');
    exponent = std::atoi(std::strchr(buffer, 'e') + 1) + 1;
  } else if (value != 0) {
    const int base = t.set->base;
    int budget = base == 2 ? 53 : static_cast<int>(std::ceil(53 * std::log(2.0) / std::log(base)));
    double fraction;
    int power = 0;
    int bits = base == 2 ? 1 : base == 4 ? 2 : base == 8 ? 3 : base == 16 ? 4 : base == 32 ? 5 : 0;
    if (bits) {
      int binary;
      fraction = std::frexp(value, &binary);  // [0.5, 1)
      power = binary >= 0 ? (binary + bits - 1) / bits : -((-binary) / bits);
      fraction = std::ldexp(fraction, binary - power * bits);
    } else {
      power = static_cast<int>(std::floor(std::log(value) / std::log(base))) + 1;
      fraction = value / std::pow(base, power);
      while (fraction >= 1) fraction /= base, ++power;
      while (fraction < 1.0 / base) fraction *= base, --power;
    }
    exponent = power;
    for (int i = 0; i < budget && i < 90 && fraction > 0; ++i) {
      fraction *= base;
      int d = static_cast<int>(fraction);
      if (d >= base) d = base - 1;
      t.digits[t.count++] = static_cast<std::uint8_t>(d);
      fraction -= d;
    }
  }
  while (t.count && t.digits[t.count - 1] == 0) --t.count;
  if (t.set->base == 10 && !t.count) exponent = 1;  // zero: one integer position
  return exponent;
}

void floatDigitsOf(NumberText& t, double value, const vnumDigitSet* set, vnumFormat* format,
                   vnumFormat* exponentFormat, bool mayDrop, int significant) {
  if (!set || !format) _vexGenerate(&vexArgNullClass, vexEnd);
  t.set = set;
  t.format = format;
  if (mayDrop) t.flags |= MAY_DROP;
  int exponent = floatDigits(t, value);
  t.intDigits = exponentFormat && t.count ? 1 : exponent;
  int right = analyse(format).right;
  if (right < 0 && significant < 0) {
    t.end = t.count;
  } else {
    t.end = right < 0 ? significant : t.intDigits + right;
    if (significant >= 0 && significant < t.end) t.end = significant;
  }
  if (t.end < 0) {
    t.flags &= ~NEGATIVE;
    t.count = 0;
  } else if (t.end < t.count) {
    if (t.roundAt(t.end)) {
      ++t.end;
      if (exponentFormat) ++exponent;
      else ++t.intDigits;
    }
  }
  if (t.count && exponentFormat && exponent - 1 != 0) setExponent(t, exponentFormat, exponent - 1);
}

vscribe* integerScribe(bool negative, std::uint64_t magnitude, const vnumDigitSet* set, vnumFormat* format,
                       vnumFormat* exponentFormat, bool mayDrop, int significant) {
  return makeScribe([&](NumberText& t) {
    integerDigits(t, negative, magnitude, set, format, exponentFormat, mayDrop, significant);
  });
}

// Infinities and NaN have no digits: they are plain text.
vscribe* floatScribe(double value, const vnumDigitSet* set, vnumFormat* format, vnumFormat* exponentFormat,
                     bool mayDrop, int significant) {
  if (!std::isfinite(value)) return vscribeLiteral(std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf");
  return makeScribe(
      [&](NumberText& t) { floatDigitsOf(t, value, set, format, exponentFormat, mayDrop, significant); });
}

// The precision of "%.Nd": at least that many integer digits.
vscribe* withMinimum(vscribe* s, int precision) {
  if (precision > vnumScribeGetIntegerDigits(s)) vnumScribeSetMinimumIntegerDigits(s, precision);
  return s;
}

// Formatted-text conversions.
std::uint32_t unsignedArgument(int flags, va_list* ap) {
  if (flags & vscribeFLAG_LONG) return static_cast<std::uint32_t>(va_arg(*ap, unsigned long));
  return va_arg(*ap, unsigned int);
}

vscribe* convertSigned(int flags, int precision, const char**, va_list* ap) {
  auto value = static_cast<std::int32_t>(unsignedArgument(flags, ap));
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(value))
                                      : static_cast<std::uint64_t>(value);
  return withMinimum(integerScribe(value < 0, magnitude, vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr,
                                   false, -1),
                     precision);
}

vscribe* convertUnsigned(int flags, int precision, const char** position, va_list* ap) {
  char c = static_cast<char>((*position)[-1] | 0x20);
  std::uint32_t value = unsignedArgument(flags, ap);
  const vnumDigitSet* set = c == 'x' ? vnumGetHexDigits() : c == 'o' ? vnumGetOctalDigits()
                            : c == 'b' ? vnumGetBinaryDigits() : vnumGetDecimalDigits();
  vscribe* s = withMinimum(integerScribe(false, value, set, vnumGetNormalFormat(), nullptr, false, -1), precision);
  if ((flags & vscribeFLAG_ALT) && value && c != 'u')
    s = vscribeConcat(vscribeLiteral(c == 'x' ? "0x" : c == 'o' ? "0" : "0b"), s, nullptr);
  return s;
}

vscribe* convertPointer(int, int precision, const char**, va_list* ap) {
  auto value = reinterpret_cast<std::uintptr_t>(va_arg(*ap, void*));
  return withMinimum(integerScribe(false, value, vnumGetHexDigits(), vnumGetNormalFormat(), nullptr, false, -1),
                     precision >= 0 ? precision : 2 * static_cast<int>(sizeof(void*)));
}

vscribe* convertFloat(int flags, int precision, const char** position, va_list* ap) {
  double value = va_arg(*ap, double);
  char c = static_cast<char>((*position)[-1] | 0x20);
  if (precision < 0) precision = 6;
  int x = value == 0 || !std::isfinite(value) ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value))));
  vnumFormat* exponent = nullptr;
  int significant;
  bool dropZeros = false;
  if (c == 'e') {
    exponent = vnumGetExponentFormat(), significant = precision + 1;
  } else if (c == 'f') {
    significant = x + 1 + precision;
  } else {
    if (precision == 0) precision = 1;
    dropZeros = !(flags & vscribeFLAG_ALT);
    if (x <= -4 || x >= precision) exponent = vnumGetExponentFormat(), significant = precision + 1;
    else significant = precision;
  }
  vscribe* s = floatScribe(value, vnumGetDecimalDigits(), vnumGetNormalFormat(), exponent, true, significant);
  if (std::isfinite(value)) vnumScribeSetDropZeros(s, dropZeros);
  return s;
}

}  // namespace

vscribe* vnumScribeInteger(std::int32_t value, const vnumDigitSet* digits, vnumFormat* format,
                           vnumFormat* exponentFormat, int mayDrop, int significant) {
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(value))
                                      : static_cast<std::uint64_t>(value);
  return integerScribe(value < 0, magnitude, digits, format, exponentFormat, mayDrop, significant);
}

vscribe* vnumScribeUnsigned(std::uint32_t value, const vnumDigitSet* digits, vnumFormat* format,
                            vnumFormat* exponentFormat, int mayDrop, int significant) {
  return integerScribe(false, value, digits, format, exponentFormat, mayDrop, significant);
}

vscribe* vnumScribeFloat(double value, const vnumDigitSet* digits, vnumFormat* format, vnumFormat* exponentFormat,
                         int mayDrop, int significant) {
  return floatScribe(value, digits, format, exponentFormat, mayDrop, significant);
}

vscribe* vnumScribeDouble(double value) {
  double m = std::fabs(value);
  vnumFormat* exponent = m < 1e-8 || m > 1e8 ? vnumGetExponentFormat() : nullptr;
  return vnumScribeFloat(value, vnumGetDecimalDigits(), vnumGetNormalFormat(), exponent, 1, -1);
}

std::int32_t vnumScribeGetIntegerDigits(vscribe* s) {
  NumberText* t = checkedState(s);
  return std::max(t->intDigits - t->start, 0);
}

void vnumScribeSetMinimumIntegerDigits(vscribe* s, std::int32_t n) {
  NumberText* t = checkedState(s);
  t->start = t->intDigits - n;
}

void vnumScribeSetDropZeros(vscribe* s, int on) {
  NumberText* t = checkedState(s);
  t->flags = on ? t->flags | DROP_ZEROS : t->flags & ~DROP_ZEROS;
}

void vnumStartup() {
  static bool done = false;
  if (done) return;
  done = true;
  vnumFormatGetDefaultClass();
  if (!textPool) textPool = vpoolCreate(sizeof(NumberText));
  for (char c : {'i', 'd'}) vscribeRegisterConversion(c, convertSigned);
  for (char c : {'u', 'b', 'o', 'x', 'X'}) vscribeRegisterConversion(c, convertUnsigned);
  vscribeRegisterConversion('p', convertPointer);
  for (char c : {'e', 'E', 'f', 'g', 'G'}) vscribeRegisterConversion(c, convertFloat);
}

void vnumInstallStartup() { vmoduleInstallStartup("vnumGetDefaultClass", [] { vnumStartup(); }); }

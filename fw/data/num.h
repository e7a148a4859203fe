// Number descriptions and number parsing. A digit set names the digit
// characters of a base; a number format is an ordered list of elements
// (texts, sign texts, padding, white space, digit groups, the decimal
// character, the exponent). Parsing reads text against both; plain
// decimal text under the normal format takes a fast path.
//
// Digit sets and number formats (ordered elements) describe number text. Until the framework
// resource file supplies them, the four digit sets and the normal and exponent formats are built in
// ("-", digits, ".", digits, exponent; "e" matched by "[eE]", "-", "+", digits). The general parse
// walks the format's elements into a buffer of significant digits and a decimal exponent; integers
// accumulate in 64 bits and are checked before each step is kept, so no step can wrap. Doubles in
// base 10 are exact when at most 15 digits meet a power of ten up to 22 (one division or
// multiplication), else correctly rounded through `std::from_chars` (a sticky digit stands for
// digits that did not fit). NUL-terminated text under the normal format and a contiguous digit set
// takes the fast path.
//
// Digit sets and the "NormalFormat" / "ExponentFormat" descriptions come once per module context
// (with the format class, in the context's slot; its exit destroys them before the context's
// classes go) from the "vnum" child of `vwexlin7.vr` (authored in
// `fw/data/resources/vwexlin7.txt`); when no framework file is found, or the resource store is not
// installed yet, built-in copies of the same contents stand in, so "%d" inside an exception printer
// never raises. `num.cpp` holds the descriptions, their load, store and copy; `numparse.cpp` the
// parsing; `numfmt.cpp` the number text: digits are computed (integers by division, base-10 doubles
// through `std::to_chars` with 15 significant digits, other bases by repeated multiplication),
// rounded at the end position, and written under the format's elements (left part right to left,
// right part left to right). The number-text scribe keeps the digits in a pooled state and writes
// the text when it is read, so `vnumScribeSetMinimumIntegerDigits` and `vnumScribeSetDropZeros`
// still change it, and the format's errors are raised by the read. `vnumStartup` (start-up row
// "vnumGetDefaultClass") registers the conversions "i d u b o x X p e E f g G" with the
// formatted-text service; the "l" flag reads a `long` and keeps its low 32 bits, "p" prints all 16
// hex digits of a pointer.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/data/regexp.h"

struct vnumDigitSet {
  std::int32_t base;
  vstr* digits;
  std::int32_t contiguous;  // each digit's code is the previous one's plus one
};

enum : std::int16_t {
  vnumText = 0,
  vnumNegativeText = 1,
  vnumPositiveText = 2,
  vnumPadding = 3,
  vnumWhiteSpace = 4,
  vnumExponent = 5,
  vnumDigits = 6,
  vnumDecimal = 7,
};

struct vnumElement {
  std::int16_t kind;
  vstr* text;         // the text kinds: print text
  vregexp* match;     // the text kinds: match expression or null
  std::int32_t count; // Padding, Digits (-1: all remaining)
  std::int16_t grouping;  // Digits: digits per group, 0 or -1: none
  char character;     // Padding, Digits (separator), Decimal
  std::uint8_t required, shown;  // WhiteSpace
};

inline constexpr std::uint32_t vnumFORMAT_FAST_PARSE = 2;

struct vnumFormat : vobject {
  vnumElement* elements;
  std::int32_t count, capacity;
  std::uint32_t flags;
};

vobjectClassRec* vnumFormatGetDefaultClass();
vnumFormat* vnumFormatCreate();
// Appends a copy of element; the format owns the text and match expression.
void vnumFormatAppend(vnumFormat* format, const vnumElement& element);
// Walks the elements; starts before the first. Insertions go before the
// element the next step gives (or append with a null iterator) and leave
// the iterator after the new element.
struct vnumFormatIterator {
  vnumFormat* format;
  std::int32_t index;  // of the element the next step gives
};
void vnumFormatInitIterator(vnumFormatIterator* iterator, vnumFormat* format);
vnumElement* vnumFormatNextElement(vnumFormatIterator* iterator);  // null after the last
void vnumFormatInsertPadding(vnumFormat* format, vnumFormatIterator* iterator, char pad, std::int32_t count);
void vnumFormatAppendDigits(vnumFormat* format, vnumFormatIterator* iterator, std::int32_t grouping, char separator,
                            std::int32_t count);
vnumFormat* vnumFormatLoad(vresource resource);
void vnumFormatStore(vnumFormat* format, vresource resource);
vnumDigitSet vnumDigitSetLoad(vresource resource);
// Gives the set these digit characters (2 to 255 of them; consumes the
// scribe): the base and the contiguous flag follow.
void vnumDigitSetSetDigits(vnumDigitSet* set, vscribe* digits);
vnumElement vnumTextElement(std::int16_t kind, const char* print, const char* matchPattern);

// From the "vnum" child of the framework resource file, loaded once; the
// built-in descriptions when the file has none.
const vnumDigitSet* vnumGetDecimalDigits();
const vnumDigitSet* vnumGetBinaryDigits();
const vnumDigitSet* vnumGetOctalDigits();
const vnumDigitSet* vnumGetHexDigits();
vnumFormat* vnumGetNormalFormat();
vnumFormat* vnumGetExponentFormat();

extern const vexClass vexNumClass, vexNumRangeClass, vexNumSyntaxClass;
struct vnumSyntaxException : vexException {
  const char* position;
};
void vnumSetPosition(vexException* e, va_list* ap);  // const char*

// A length of vnumNUL_TERMINATED reads up to the text's NUL.
inline constexpr std::int32_t vnumNUL_TERMINATED = 0x7fffffff;

std::int32_t vnumParseInteger(const char* text, std::int32_t length, const char** end);
double vnumParseFloat(const char* text, std::int32_t length, const char** end);
std::int32_t vnumParseLong(const char* text, std::int32_t length, const char** end, const vnumDigitSet* digits,
                           vnumFormat* format, vnumFormat* exponentFormat, int allowInexact);
double vnumParseDouble(const char* text, std::int32_t length, const char** end, const vnumDigitSet* digits,
                       vnumFormat* format, vnumFormat* exponentFormat, int allowInexact);

// Number text. significant: -1 for all digits; mayDrop lets fraction
// digits the format has no room for go. Zero fraction digits at the end
// are dropped.
vscribe* vnumScribeInteger(std::int32_t value, const vnumDigitSet* digits, vnumFormat* format,
                           vnumFormat* exponentFormat, int mayDrop, int significant);
vscribe* vnumScribeUnsigned(std::uint32_t value, const vnumDigitSet* digits, vnumFormat* format,
                            vnumFormat* exponentFormat, int mayDrop, int significant);
vscribe* vnumScribeFloat(double value, const vnumDigitSet* digits, vnumFormat* format, vnumFormat* exponentFormat,
                         int mayDrop, int significant);
vscribe* vnumScribeDouble(double value);
// Number-text scribes make their text when read; until then these adjust
// it. Integer digits: the positions before the decimal that will print.
std::int32_t vnumScribeGetIntegerDigits(vscribe* s);
void vnumScribeSetMinimumIntegerDigits(vscribe* s, std::int32_t n);  // missing ones print as the first digit
void vnumScribeSetDropZeros(vscribe* s, int on);                     // trailing zero fraction digits

// Registers the numeric conversions of formatted text ("%d" ...); the
// start-up row "vnumGetDefaultClass" runs it.
void vnumStartup();
void vnumInstallStartup();

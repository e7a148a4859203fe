// Regular expressions: a pattern compiled into a byte program and searched
// forwards or backwards through a counted text, with case folding, one
// end-of-line character, top-level alternatives and ten capture registers.
// Beside it, a literal substring search with the same case folding.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/scribe.h"

struct vregexp : vobject {
  std::int16_t alternatives;  // 0: empty pattern
  std::uint8_t direction;     // 0 forwards
  std::int32_t caseSensitive;  // 0 folds case
  std::int32_t endOfLine;      // negative: none
  vstr* pattern;
  std::int32_t programLength;
  std::int32_t programCapacity;
  std::uint8_t* program;
  char* captures[10];  // null when empty
};

vobjectClassRec* vregexpGetDefaultClass();
void vregexpInstallStartup();

// Raises the root exception (no message) for a bad pattern.
vregexp* vregexpCompile(vscribe* pattern);
void vregexpDestroy(vregexp* self);
// Stored under "RegularExpression", "CaseSensitive", "Direction" and
// "EndOfLineChar" in a resource-file store dictionary.
vregexp* vregexpLoad(vresource resource);
void vregexpStore(vregexp* self, vresource resource);
void vregexpCopy(vregexp* source, vregexp* destination);

// Backwards, text points just past the end of the searched text. A negative
// length counts a NUL-terminated text. Null and *matchLength -1: no match.
const char* vregexpSearch(vregexp* self, const char* text, std::ptrdiff_t length, std::ptrdiff_t* matchLength);
const char* vregexpGetCapture(const vregexp* self, int index);  // null when empty

inline void vregexpSetCaseSensitive(vregexp* self, int flag) { self->caseSensitive = flag; }
inline void vregexpSetBackwards(vregexp* self, int flag) { self->direction = flag ? 1 : 0; }
inline void vregexpSetEndOfLine(vregexp* self, std::int32_t c) { self->endOfLine = c; }

// First (forwards) or last (backwards) occurrence of pattern in
// text[0, length), or null.
const char* vregexpFindLiteral(const char* pattern, const char* text, std::size_t length, int caseSensitive,
                               int backwards);

// Searches stop trying after this many matcher steps (pathological
// backtracking on long texts answers "no match").
inline constexpr long vregexpSTEP_LIMIT = 20'000'000;

// Regular expressions: a pattern compiled into a byte program and searched
// forwards or backwards through a counted text, with case folding, one
// end-of-line character, top-level alternatives and ten capture registers.
// Beside it, a literal substring search with the same case folding.
//
// A pattern compiles into a byte program (alternative headers carrying the anchors, literals, ".",
// classes of range and single entries, "*" and "?" as codes after their element, "+" as a copy of
// the element followed by "*", capture marks for "(...)@n"). The compiler grows the program before
// every write by what the write needs and limits group nesting. The matcher runs one alternative
// from each start position with an explicit backtrack stack: a "*" consumes greedily and leaves one
// entry that gives characters back one at a time, capture changes are undone on backtrack. Start
// positions are skipped only when the alternative begins with an element that must match one
// character. A search stops after `vregexpSTEP_LIMIT` matcher steps and answers no match. With
// several alternatives, forwards, the leftmost match wins (the longer one at an equal start);
// backwards the rightmost. `vregexpFindLiteral` is a Boyer-Moore-Horspool search in both
// directions. A regular expression stores its pattern and settings in a ".vr" store dictionary
// (with the object's class tag) and loads back the same through either loader.
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

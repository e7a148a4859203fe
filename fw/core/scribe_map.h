// Character-mapping scribes: kinds that map a source text as it is read
// (case, accents, characters replaced or translated, substrings replaced).
// The creation operations are in scribe.h; the kinds without one are made
// here by kind number, for the tests.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/scribe.h"

// What a kind with state reads besides its source, from one pool of
// fixed-size records; the kinds' one release returns it there.
struct vscribeMapState {
  std::size_t sourceLength;  // counted kinds
  const char* set;           // first set, or the pattern
  std::size_t setLength;     // counted sets and the pattern
  std::uint32_t from;        // character to replace, low byte
  const char* to;            // second set, or the replacement
  std::size_t toLength;      // the replacement
  std::uint32_t with;        // replacement character, low byte
  vstr* owned[3];            // copies the scribe owns (vscribeReplace), freed with the state
};

enum class vscribeMapKind : int {
  replaceChar, replaceCharCounted,
  inSet, inSetCounted,
  notInSet, notInSetCounted,
  translate, translateCounted,
  substring,
  upper, upperCounted,
  lower, lowerCounted,
  stripAccents, stripAccentsCounted,
  lowerNoAccents, lowerNoAccentsCounted,
  count,
};

const vscribeClass* _vscribeGetMapKind(vscribeMapKind kind);
bool _vscribeMapKindHasState(vscribeMapKind kind);
// A kind without state over a NUL-terminated source, or a counted one of
// count characters.
vscribe* _vscribeCreateMapped(vscribeMapKind kind, const char* source, std::size_t count = 0);
// A kind with state: the fields are copied into a pooled state record.
vscribe* _vscribeCreateMappedState(vscribeMapKind kind, const char* source, const vscribeMapState& fields);
// State records taken and not yet given back.
std::size_t _vscribeMapStatesInUse();

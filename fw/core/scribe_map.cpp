#include "fw/core/scribe_map.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "fw/core/charset.h"
#include "fw/core/cp1252.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"

namespace {

using Byte = unsigned char;

vpool* statePool() {
  static vpool* pool = vpoolCreate(sizeof(vscribeMapState));
  return pool;
}

vscribeMapState* stateOf(const vscribe* s) { return reinterpret_cast<vscribeMapState*>(s->data2); }
const Byte* sourceOf(const vscribe* s) { return static_cast<const Byte*>(s->data); }

void releaseState(vscribe* s) {
  vscribeMapState* st = stateOf(s);
  if (!st) return;
  for (vstr* copy : st->owned)
    if (copy) vstrDestroy(copy);
  vpoolFree(statePool(), st);
  s->data2 = 0;
}

// How each kind finds the end of its source.
enum class Source { cstring, counted, state };

template <Source F>
std::size_t sourceLength(vscribe* s, std::size_t max) {
  if constexpr (F == Source::cstring) return strnlen(static_cast<const char*>(s->data), max);
  else if constexpr (F == Source::counted) return std::min(s->data2, max);
  else return std::min(stateOf(s)->sourceLength, max);
}

// One character in, one out.
using Map = Byte (*)(const vscribe* s, Byte c);

template <Source F, Map M>
char* mapRead(vscribe* s, char* out, std::size_t max) {
  std::size_t n = sourceLength<F>(s, max);
  const Byte* in = sourceOf(s);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(M(s, in[i]));
  return out + n;
}

template <const cp1252::Table& T>
Byte tableMap(const vscribe*, Byte c) { return T[c]; }

// A NUL-terminated set is searched as strchr does; a counted one may hold NUL.
template <bool Counted>
const char* findInSet(const vscribeMapState* st, Byte c) {
  if constexpr (Counted) return vmemFindByte(st->set, st->setLength, c);
  else return std::strchr(st->set, c);
}

Byte replaceCharMap(const vscribe* s, Byte c) {
  const vscribeMapState* st = stateOf(s);
  return c == Byte(st->from) ? Byte(st->with) : c;
}
template <bool Counted, bool Inside>
Byte setMap(const vscribe* s, Byte c) {
  const vscribeMapState* st = stateOf(s);
  return (findInSet<Counted>(st, c) != nullptr) == Inside ? Byte(st->with) : c;
}
template <bool Counted>
Byte translateMap(const vscribe* s, Byte c) {
  const vscribeMapState* st = stateOf(s);
  const char* at = findInSet<Counted>(st, c);
  return at ? Byte(st->to[at - st->set]) : c;
}

// Upper case: 0xDF becomes "SS"; a read with one place left before it
// writes one "S" and ends, so a read never writes more than its length.
template <Source F>
std::size_t upperLength(vscribe* s, std::size_t max) {
  std::size_t n = sourceLength<F>(s, SIZE_MAX), total = 0;
  const Byte* in = sourceOf(s);
  for (std::size_t i = 0; i < n && total < max; ++i) total += std::size_t(vcharsetGetCharLength(in[i]));
  return std::min(total, max);
}
template <Source F>
char* upperRead(vscribe* s, char* out, std::size_t max) {
  std::size_t n = sourceLength<F>(s, max);  // no character yields fewer than one
  const Byte* in = sourceOf(s);
  char* end = out;
  for (std::size_t i = 0; i < n && std::size_t(end - out) < max; ++i) {
    std::size_t room = max - std::size_t(end - out);
    if (std::size_t(vcharsetGetCharLength(in[i])) > room) {
      *end++ = 'S';
      break;
    }
    end += vcharsetUpperChar(in[i], end);
  }
  return end;
}

// Substring replacement: matches taken left to right, never overlapping.
std::size_t substringLength(vscribe* s, std::size_t max) {
  const vscribeMapState* st = stateOf(s);
  const char* in = static_cast<const char*>(s->data);
  std::size_t n = st->sourceLength, m = st->setLength, i = 0, count = 0;
  if (max == 0) return 0;
  while (n - i >= m && count < max) {
    if (std::memcmp(in + i, st->set, m) == 0) count += st->toLength, i += m;
    else count += 1, i += 1;
  }
  return std::min(max, count + (n - i));
}
char* substringRead(vscribe* s, char* out, std::size_t max) {
  const vscribeMapState* st = stateOf(s);
  const char* in = static_cast<const char*>(s->data);
  std::size_t n = st->sourceLength, m = st->setLength, i = 0, room = max;
  char* end = out;
  while (room > 0 && n - i >= m) {
    if (std::memcmp(in + i, st->set, m) == 0) {
      char* next = vcstrCopyBytesBounded(st->to, st->toLength, end, room);
      room -= std::size_t(next - end);
      end = next;
      i += m;
    } else {
      *end++ = in[i++];
      --room;
    }
  }
  std::size_t rest = std::min(n - i, room);
  std::memcpy(end, in + i, rest);
  return end + rest;
}

template <Source F>
std::size_t plainLength(vscribe* s, std::size_t max) { return sourceLength<F>(s, max); }

constexpr Source C = Source::cstring, N = Source::counted, S = Source::state;

struct KindRow {
  vscribeClass cls;
  bool state;
};

// Indexed by vscribeMapKind.
const KindRow kinds[] = {
    {{mapRead<C, replaceCharMap>, plainLength<C>, releaseState, 1}, true},
    {{mapRead<S, replaceCharMap>, plainLength<S>, releaseState, 1}, true},
    {{mapRead<C, setMap<false, true>>, plainLength<C>, releaseState, 1}, true},
    {{mapRead<S, setMap<true, true>>, plainLength<S>, releaseState, 1}, true},
    {{mapRead<C, setMap<false, false>>, plainLength<C>, releaseState, 1}, true},
    {{mapRead<S, setMap<true, false>>, plainLength<S>, releaseState, 1}, true},
    {{mapRead<C, translateMap<false>>, plainLength<C>, releaseState, 1}, true},
    {{mapRead<S, translateMap<true>>, plainLength<S>, releaseState, 1}, true},
    {{substringRead, substringLength, releaseState, 1}, true},
    {{upperRead<C>, upperLength<C>, nullptr, 1}, false},
    {{upperRead<N>, upperLength<N>, nullptr, 1}, false},
    {{mapRead<C, tableMap<cp1252::lower>>, plainLength<C>, nullptr, 1}, false},
    {{mapRead<N, tableMap<cp1252::lower>>, plainLength<N>, nullptr, 1}, false},
    {{mapRead<C, tableMap<cp1252::accent>>, plainLength<C>, nullptr, 1}, false},
    {{mapRead<N, tableMap<cp1252::accent>>, plainLength<N>, nullptr, 1}, false},
    {{mapRead<C, tableMap<cp1252::fold>>, plainLength<C>, nullptr, 1}, false},
    {{mapRead<N, tableMap<cp1252::fold>>, plainLength<N>, nullptr, 1}, false},
};
static_assert(std::size(kinds) == std::size_t(vscribeMapKind::count));

const KindRow& rowOf(vscribeMapKind kind) {
  if (int(kind) < 0 || kind >= vscribeMapKind::count) vexGenerateMessage(&vexArgRangeClass, "no such scribe kind");
  return kinds[std::size_t(kind)];
}

vscribe* makeScribe(const KindRow& row, const char* source, std::size_t word) {
  vscribe* s = vscribeCreate(&row.cls);
  s->data = const_cast<char*>(source);
  s->data2 = word;
  return s;
}

}  // namespace

const vscribeClass* _vscribeGetMapKind(vscribeMapKind kind) { return &rowOf(kind).cls; }
bool _vscribeMapKindHasState(vscribeMapKind kind) { return rowOf(kind).state; }

vscribe* _vscribeCreateMapped(vscribeMapKind kind, const char* source, std::size_t count) {
  const KindRow& row = rowOf(kind);
  if (row.state) vexGenerateMessage(&vexArgClass, "scribe kind needs its state");
  return makeScribe(row, source, count);
}

vscribe* _vscribeCreateMappedState(vscribeMapKind kind, const char* source, const vscribeMapState& fields) {
  const KindRow& row = rowOf(kind);
  if (!row.state) vexGenerateMessage(&vexArgClass, "scribe kind has no state");
  auto* st = static_cast<vscribeMapState*>(vpoolAlloc(statePool()));
  *st = fields;
  return makeScribe(row, source, reinterpret_cast<std::size_t>(st));
}

std::size_t _vscribeMapStatesInUse() { return vpoolGetUsed(statePool()); }

vscribe* _vtextviewInputCharScribe(const char* text) { return _vscribeCreateMapped(vscribeMapKind::upper, text); }
vscribe* vscribeLowerCase(const char* text) { return _vscribeCreateMapped(vscribeMapKind::lower, text); }
vscribe* vscribeLowerCaseNoAccents(const char* text) {
  return _vscribeCreateMapped(vscribeMapKind::lowerNoAccents, text);
}

// The texts are copied: the scribe owns the copies until it is released.
vscribe* vscribeReplace(vscribe* text, vscribe* pattern, vscribe* replacement) {
  vstr* a = vstrCloneScribed(text, nullptr);
  vstr* b = vstrCloneScribed(pattern, nullptr);
  vstr* c = vstrCloneScribed(replacement, nullptr);
  if (vstrGetLength(b) == 0) {
    vstrDestroy(a), vstrDestroy(b), vstrDestroy(c);
    vexGenerateMessage(&vexArgRangeClass, "empty search text");
  }
  vscribeMapState fields{vstrGetLength(a), b, vstrGetLength(b), 0, c, vstrGetLength(c), 0, {a, b, c}};
  return _vscribeCreateMappedState(vscribeMapKind::substring, a, fields);
}

const char* vcstrFindLast(const char* string, const char* pattern) {
  std::size_t a = std::strlen(string), b = std::strlen(pattern);
  if (b > a) return nullptr;
  for (std::size_t at = a - b + 1; at-- > 0;)
    if (std::memcmp(string + at, pattern, b) == 0) return string + at;
  return nullptr;
}

const char* vmemFindByte(const void* start, std::size_t length, int byte) {
  if (length == 0) return nullptr;
  return static_cast<const char*>(std::memchr(start, Byte(byte), length));
}

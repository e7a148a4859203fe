#include "fw/data/regexp.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/cp1252.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/data/vresource.h"

namespace {

enum : std::uint8_t {
  opRange = 1,
  opAltEnd = 2,
  opCapture = 3,
  opClass = 4,
  opNotClass = 5,
  opStar = 6,
  opOptional = 7,
  opClassEnd = 8,
  opSeparator = 9,
  opEnd = 10,
  opChar = 11,
  opAnchorStart = 12,
  opAnchorEnd = 13,
  opAny = 15,
  opAnchorBoth = 16,
  opPlain = 17,
};

constexpr std::int32_t kGrowth = 24;
constexpr int kMaxGroupDepth = 64;
constexpr std::size_t kCaptureMax = 255;

// ---------------------------------------------------------------- compiler

struct Compiler {
  vregexp* re;
  const char* p;
  const char* end;

  [[noreturn]] static void bad() { _vexGenerate(&vexArgClass, vexEnd); }

  // Grows before every write, by what the write needs.
  void reserve(std::int32_t bytes) {
    if (re->programCapacity - re->programLength >= bytes) return;
    std::int32_t cap = re->programCapacity;
    while (cap - re->programLength < bytes) cap += kGrowth;
    re->program = static_cast<std::uint8_t*>(vmemRealloc(re->program, static_cast<std::size_t>(cap)));
    re->programCapacity = cap;
  }
  void emit(std::uint8_t b) {
    reserve(1);
    re->program[re->programLength++] = b;
  }
  bool atEnd() const { return p >= end; }
  std::uint8_t readChar() {
    if (atEnd()) bad();
    auto c = static_cast<std::uint8_t>(*p++);
    if (c != '\\') return c;
    if (atEnd()) bad();
    c = static_cast<std::uint8_t>(*p++);
    switch (c) {
      case 'n': return 10;
      case 'r': return 13;
      case 't': return 9;
      default: return c;
    }
  }

  void compileClass() {
    emit(!atEnd() && *p == '^' ? (++p, opNotClass) : opClass);
    for (;;) {
      if (atEnd()) bad();
      if (*p == ']') {
        ++p;
        break;
      }
      std::uint8_t lo = readChar();
      if (end - p >= 2 && p[0] == '-' && p[1] != ']') {
        ++p;
        std::uint8_t hi = readChar();
        if (hi < lo) bad();
        emit(opRange), emit(lo), emit(hi);
      } else {
        emit(opChar), emit(lo);
      }
    }
    emit(opClassEnd);
  }

  void compileElements(int depth) {
    if (depth > kMaxGroupDepth) bad();
    while (!atEnd() && *p != '$' && *p != '|' && *p != ')') {
      if (*p == '(') {
        ++p;
        emit(opCapture);
        std::int32_t mark = re->programLength;
        emit(0);
        compileElements(depth + 1);
        if (atEnd() || *p != ')') bad();
        ++p;
        if (atEnd() || *p != '@') bad();
        ++p;
        if (atEnd() || *p < '0' || *p > '9') bad();
        auto reg = static_cast<std::uint8_t>(*p++ - '0');
        emit(opCapture), emit(reg);
        re->program[mark] = static_cast<std::uint8_t>(reg + 10);
        continue;
      }
      std::int32_t start = re->programLength;
      if (*p == '[') {
        ++p;
        compileClass();
      } else if (*p == '.') {
        ++p;
        emit(opAny);
      } else {
        std::uint8_t c = readChar();
        emit(opChar), emit(c);
      }
      if (atEnd()) break;
      if (*p == '*') {
        ++p;
        emit(opStar);
      } else if (*p == '+') {
        ++p;
        std::int32_t len = re->programLength - start;
        reserve(len + 1);
        std::memcpy(re->program + re->programLength, re->program + start, static_cast<std::size_t>(len));
        re->programLength += len;
        emit(opStar);
      } else if (*p == '?') {
        ++p;
        emit(opOptional);
      }
    }
  }

  void compile() {
    re->programLength = 0;
    re->alternatives = 0;
    if (atEnd()) {
      emit(opEnd);
      return;
    }
    for (;;) {
      ++re->alternatives;
      std::int32_t header = re->programLength;
      emit(!atEnd() && *p == '^' ? (++p, opAnchorStart) : opPlain);
      compileElements(0);
      if (!atEnd() && *p == '$') {
        ++p;
        re->program[header] = re->program[header] == opAnchorStart ? opAnchorBoth : opAnchorEnd;
      }
      emit(opAltEnd);
      if (atEnd()) break;
      if (*p != '|') bad();
      ++p;
      emit(opSeparator);
    }
    emit(opEnd);
  }
};

// ---------------------------------------------------------------- matcher

// Length of the element at pc (literal, any, class), not its repetition.
std::int32_t elementLength(const std::uint8_t* prog, std::int32_t pc) {
  switch (prog[pc]) {
    case opChar: return 2;
    case opAny: return 1;
    default: {
      std::int32_t i = pc + 1;
      while (prog[i] != opClassEnd) i += prog[i] == opRange ? 3 : 2;
      return i + 1 - pc;
    }
  }
}

struct Settings {
  const cp1252::Table* fold;  // null: case-sensitive
  std::int32_t eol;
  long steps;
};

std::uint8_t folded(const Settings& s, std::uint8_t c) { return s.fold ? (*s.fold)[c] : c; }

bool elementMatches(const Settings& s, const std::uint8_t* prog, std::int32_t pc, std::uint8_t c) {
  std::uint8_t fc = folded(s, c);
  switch (prog[pc]) {
    case opChar: return folded(s, prog[pc + 1]) == fc;
    case opAny: return c != s.eol;
    default: {
      bool in = false;
      for (std::int32_t i = pc + 1; prog[i] != opClassEnd; i += prog[i] == opRange ? 3 : 2) {
        if (prog[i] == opRange ? folded(s, prog[i + 1]) <= fc && fc <= folded(s, prog[i + 2])
                               : folded(s, prog[i + 1]) == fc)
          in = true;
      }
      return prog[pc] == opClass ? in : !in && c != s.eol;
    }
  }
}

struct Capture {
  std::ptrdiff_t start = -1, end = -1;  // end -1: not closed
};

// A backtrack entry: a choice to resume at (pc, pos); a star to give back
// one more character (pos down to floor); or a capture to restore.
struct Backtrack {
  enum Kind : std::uint8_t { Choice, Star, Restore } kind;
  std::int32_t pc;
  std::ptrdiff_t pos, floor;
  Capture saved;
};

std::vector<Backtrack>& backtrackStack() {
  static std::vector<Backtrack> stack;
  return stack;
}

struct Match {
  std::ptrdiff_t start = -1, length = -1;
  Capture caps[10];
};

// Runs one alternative (body at pc) from start; answers the match end or -1.
std::ptrdiff_t runFrom(Settings& s, const std::uint8_t* prog, std::int32_t pc0, const std::uint8_t* text,
                       std::ptrdiff_t end, std::ptrdiff_t start, bool anchorEnd, Capture* caps) {
  auto& stack = backtrackStack();
  stack.clear();
  for (int i = 0; i < 10; ++i) caps[i] = Capture{};
  std::int32_t pc = pc0;
  std::ptrdiff_t pos = start;
  auto fail = [&]() -> bool {
    while (!stack.empty()) {
      Backtrack& b = stack.back();
      if (b.kind == Backtrack::Restore) {
        caps[b.pc] = b.saved;
        stack.pop_back();
      } else if (b.kind == Backtrack::Choice) {
        pc = b.pc, pos = b.pos;
        stack.pop_back();
        return true;
      } else {
        pc = b.pc, pos = --b.pos;
        if (b.pos <= b.floor) stack.pop_back();
        return true;
      }
    }
    return false;
  };
  for (;;) {
    if (++s.steps > vregexpSTEP_LIMIT) return -1;
    std::uint8_t op = prog[pc];
    if (op == opAltEnd) {
      if (!anchorEnd || pos == end || text[pos] == s.eol) return pos;
      if (!fail()) return -1;
      continue;
    }
    if (op == opCapture) {
      int reg = prog[pc + 1];
      int n = reg >= 10 ? reg - 10 : reg;
      stack.push_back({Backtrack::Restore, n, 0, 0, caps[n]});
      if (reg >= 10) caps[n] = Capture{pos, -1};
      else caps[n].end = pos;
      pc += 2;
      continue;
    }
    std::int32_t next = pc + elementLength(prog, pc);
    std::uint8_t rep = prog[next];
    bool here = pos < end && elementMatches(s, prog, pc, text[pos]);
    if (rep == opStar) {
      std::ptrdiff_t q = pos;
      while (q < end && elementMatches(s, prog, pc, text[q])) ++q;
      s.steps += q - pos;
      if (q > pos) stack.push_back({Backtrack::Star, next + 1, q, pos, {}});
      pc = next + 1, pos = q;
    } else if (rep == opOptional) {
      if (here) stack.push_back({Backtrack::Choice, next + 1, pos, 0, {}}), ++pos;
      pc = next + 1;
    } else if (here) {
      pc = next, ++pos;
    } else if (!fail()) {
      return -1;
    }
  }
}

// The first element that must match one character, or -1 when the body
// can begin with an empty match: only then may a start position be skipped.
std::int32_t mandatoryFirst(const std::uint8_t* prog, std::int32_t pc) {
  while (prog[pc] == opCapture) pc += 2;
  if (prog[pc] == opAltEnd) return -1;
  std::uint8_t rep = prog[pc + elementLength(prog, pc)];
  return rep == opStar || rep == opOptional ? -1 : pc;
}

// Searches one alternative (header at pc) over text[0, end); forwards gives
// the leftmost match, backwards the rightmost.
bool searchAlternative(Settings& s, const std::uint8_t* prog, std::int32_t pc, const std::uint8_t* text,
                       std::ptrdiff_t end, bool backwards, Match* out) {
  std::uint8_t header = prog[pc];
  bool anchorStart = header == opAnchorStart || header == opAnchorBoth;
  bool anchorEnd = header == opAnchorEnd || header == opAnchorBoth;
  std::int32_t body = pc + 1;
  std::int32_t first = mandatoryFirst(prog, body);
  Capture caps[10];
  for (std::ptrdiff_t i = 0; i <= end; ++i) {
    std::ptrdiff_t start = backwards ? end - i : i;
    if (anchorStart && start != 0 && text[start - 1] != s.eol) continue;
    if (first >= 0 && (start == end || !elementMatches(s, prog, first, text[start]))) continue;
    std::ptrdiff_t e = runFrom(s, prog, body, text, end, start, anchorEnd, caps);
    if (s.steps > vregexpSTEP_LIMIT) break;
    if (e >= 0) {
      out->start = start, out->length = e - start;
      std::memcpy(out->caps, caps, sizeof caps);
      backtrackStack().clear();
      return true;
    }
  }
  backtrackStack().clear();
  return false;
}

// The position of the end code of the alternative whose header is at pc.
std::int32_t alternativeEnd(const std::uint8_t* prog, std::int32_t pc) {
  for (++pc; prog[pc] != opAltEnd;) {
    std::uint8_t op = prog[pc];
    pc += op == opCapture ? 2 : op == opStar || op == opOptional ? 1 : elementLength(prog, pc);
  }
  return pc;
}

void clearCaptures(vregexp* re) {
  for (auto& c : re->captures) {
    vmemFree(c);
    c = nullptr;
  }
}

void regexpInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* re = static_cast<vregexp*>(self);
  re->alternatives = 0;
  re->direction = 0;
  re->caseSensitive = 0;
  re->endOfLine = 10;
  re->pattern = nullptr;
  re->programLength = 0;
  re->programCapacity = kGrowth;
  re->program = static_cast<std::uint8_t*>(vmemAlloc(kGrowth));
  re->program[0] = opEnd;
  for (auto& c : re->captures) c = nullptr;
}

void regexpDestroy(vinstance* self) {
  auto* re = static_cast<vregexp*>(self);
  clearCaptures(re);
  vmemFree(re->program);
  if (re->pattern) vstrDestroy(re->pattern);
  vobjectGetDefaultClass()->destroy(self);
}

void regexpCopy(vobject* source, vobject* destination) {
  if (!source || !destination) _vexGenerate(&vexArgNullClass, vexEnd);
  vobjectGetDefaultClass()->copy(source, destination);
  auto* from = static_cast<vregexp*>(source);
  auto* to = static_cast<vregexp*>(destination);
  to->alternatives = from->alternatives;
  to->direction = from->direction;
  to->caseSensitive = from->caseSensitive;
  to->endOfLine = from->endOfLine;
  if (to->pattern) vstrDestroy(to->pattern);
  to->pattern = from->pattern ? vstrClone(from->pattern) : nullptr;
  to->program = static_cast<std::uint8_t*>(vmemRealloc(to->program, static_cast<std::size_t>(from->programCapacity)));
  std::memcpy(to->program, from->program, static_cast<std::size_t>(from->programLength));
  to->programLength = from->programLength;
  to->programCapacity = from->programCapacity;
  clearCaptures(to);
}

void regexpCopyInit(vobject* source, vobject* destination) {
  regexpInit(destination);
  regexpCopy(source, destination);
}

// Compiles the object's pattern into its program; Arg for a bad pattern.
void compilePattern(vregexp* re) {
  const char* text = re->pattern ? re->pattern : "";
  Compiler c{re, text, text + std::strlen(text)};
  c.compile();
}

vname key(const char* name) { return vnameInternLiteral(name); }

void readKeys(vregexp* re, vresource resource) {
  if (re->pattern) vstrDestroy(re->pattern);
  re->pattern = nullptr;
  re->pattern = vstrClone(vresourceGetStringText(resource, key("RegularExpression")).c_str());
  re->caseSensitive = vresourceGetBoolean(resource, key("CaseSensitive"));
  re->direction = static_cast<std::uint8_t>(vresourceGetInteger(resource, key("Direction")) & 0xff);
  std::int32_t eol = 10;
  re->endOfLine = vresourceRoute<vresourceSlotTestGetInteger, int>(resource, key("EndOfLineChar"), &eol) ? eol : 10;
  compilePattern(re);
}

// Through the generic object loader: the keys are read too when present,
// so that what a regular expression stores loads back the same.
void regexpLoadInit(vobject* self, vresource resource) {
  regexpInit(self);
  vobjectGetDefaultClass()->loadInit(self, resource);
  // Asked by value: a chunk file's string entry has no handle until written.
  vstr* pattern = nullptr;
  if (vresourceTestGetStringCopy(resource, key("RegularExpression"), &pattern)) {
    vstrDestroy(pattern);
    readKeys(static_cast<vregexp*>(self), resource);
  }
}

void regexpStore(vobject* self, vresource resource) {
  vobjectGetDefaultClass()->store(self, resource);
  auto* re = static_cast<vregexp*>(self);
  vresourceSetString(resource, key("RegularExpression"), vscribeLiteral(re->pattern ? re->pattern : ""));
  vresourceSetBoolean(resource, key("CaseSensitive"), re->caseSensitive ? 1 : 0);
  vresourceSetInteger(resource, key("Direction"), re->direction);
  vresourceSetInteger(resource, key("EndOfLineChar"), re->endOfLine);
}

void** regexpSlot = nullptr;

}  // namespace

vobjectClassRec* vregexpGetDefaultClass() {
  if (auto* bound = vmoduleState<vobjectClassRec*>(regexpSlot)) return *bound;
  auto* cls = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  vclassSetName(cls, vscribeLiteral("vregexp"));
  vclassSetInstanceSize(cls, sizeof(vregexp));
  cls->init = regexpInit;
  cls->destroy = regexpDestroy;
  cls->copy = regexpCopy;
  cls->copyInit = regexpCopyInit;
  cls->loadInit = regexpLoadInit;
  cls->store = regexpStore;
  *static_cast<vobjectClassRec**>(vmoduleBindSlot(regexpSlot, sizeof(vobjectClassRec*))) = cls;
  return cls;
}

void vregexpInstallStartup() {
  vmoduleInstallStartup("vregexpGetDefaultClass", [] { vregexpGetDefaultClass(); });
}

vregexp* vregexpCompile(vscribe* pattern) {
  auto* re = static_cast<vregexp*>(vinstanceCreate(vregexpGetDefaultClass()));
  bool failed = false;
  vexGuard(
      [&] {
        re->pattern = vstrCloneScribed(pattern, nullptr);
        compilePattern(re);
      },
      [&](vexHandler& h) {
        vexSetCurrentException(h.savedChain);
        failed = true;
      });
  if (failed) {
    vinstanceDestroy(re);
    _vexGenerate(&vexRootClass, vexEnd);
  }
  return re;
}

vregexp* vregexpLoad(vresource resource) {
  vname cls;
  if (vresourceRoute<vresourceSlotTestGetTag, int>(resource, key("Class"), &cls)) return static_cast<vregexp*>(_vobjectLoadOfClass(resource, vregexpGetDefaultClass()));
  auto* re = static_cast<vregexp*>(vinstanceCreate(vregexpGetDefaultClass()));
  vexGuard([&] { readKeys(re, resource); },
           [&](vexHandler&) {
             vinstanceDestroy(re);
             _vexGenerate(nullptr, vexEnd);
           });
  return re;
}

void vregexpStore(vregexp* self, vresource resource) { regexpStore(self, resource); }

void vregexpDestroy(vregexp* self) { vinstanceDestroy(self); }
void vregexpCopy(vregexp* source, vregexp* destination) { regexpCopy(source, destination); }

const char* vregexpGetCapture(const vregexp* self, int index) {
  return index >= 0 && index < 10 ? self->captures[index] : nullptr;
}

const char* vregexpSearch(vregexp* self, const char* text, std::ptrdiff_t length, std::ptrdiff_t* matchLength) {
  clearCaptures(self);
  *matchLength = -1;
  bool backwards = self->direction != 0;
  if (length < 0) {
    if (backwards) return nullptr;  // no end to count back from
    length = static_cast<std::ptrdiff_t>(std::strlen(text));
  }
  const auto* base = reinterpret_cast<const std::uint8_t*>(backwards ? text - length : text);
  if (self->alternatives == 0) {
    *matchLength = 0;
    return reinterpret_cast<const char*>(base);
  }
  Settings s{self->caseSensitive ? nullptr : &cp1252::lower, self->endOfLine, 0};
  Match best;
  const std::uint8_t* prog = self->program;
  for (std::int32_t pc = 0; prog[pc] != opEnd;) {
    Match m;
    if (searchAlternative(s, prog, pc, base, length, backwards, &m)) {
      bool better = best.start < 0 || (backwards ? m.start > best.start : m.start < best.start) ||
                    (m.start == best.start && m.length > best.length);
      if (better) best = m;
    }
    pc = alternativeEnd(prog, pc);
    ++pc;
    if (prog[pc] == opSeparator) ++pc;
  }
  if (best.start < 0) return nullptr;
  for (int i = 0; i < 10; ++i) {
    const Capture& c = best.caps[i];
    if (c.start < 0 || c.end < c.start) continue;
    std::size_t n = std::min(static_cast<std::size_t>(c.end - c.start), kCaptureMax);
    auto* str = static_cast<char*>(vmemAlloc(n + 1));
    std::memcpy(str, base + c.start, n);
    str[n] = '\0';
    self->captures[i] = str;
  }
  *matchLength = best.length;
  return reinterpret_cast<const char*>(base + best.start);
}

const char* vregexpFindLiteral(const char* pattern, const char* text, std::size_t length, int caseSensitive,
                               int backwards) {
  std::size_t n = std::strlen(pattern);
  if (n == 0) return backwards ? text + length : text;
  if (n > length) return nullptr;
  const cp1252::Table& t = caseSensitive ? cp1252::identity() : cp1252::lower;
  auto f = [&](char c) { return t[static_cast<std::uint8_t>(c)]; };
  std::size_t skip[256];
  for (auto& k : skip) k = n;
  if (!backwards) {
    for (std::size_t i = 0; i + 1 < n; ++i) skip[f(pattern[i])] = n - 1 - i;
    for (std::size_t at = 0; at + n <= length; at += skip[f(text[at + n - 1])]) {
      std::size_t i = n;
      while (i > 0 && f(text[at + i - 1]) == f(pattern[i - 1])) --i;
      if (i == 0) return text + at;
    }
  } else {
    for (std::size_t i = n - 1; i >= 1; --i) skip[f(pattern[i])] = i;
    for (std::size_t at = length - n;;) {
      std::size_t i = 0;
      while (i < n && f(text[at + i]) == f(pattern[i])) ++i;
      if (i == n) return text + at;
      if (at == 0) break;
      // Keyed by the window's own first character: keyed by the one before
      // it, the shift would be one too long and skip occurrences.
      std::size_t k = skip[f(text[at])];
      if (k > at) break;
      at -= k;
    }
  }
  return nullptr;
}

// The text view's editing commands over lines and words: Transpose, the
// case changes, Shift and Align, Sort Lines, Duplicate and the two line
// deletions.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/text/selection.h"
#include "fw/text/walker.h"
#include "fw/widgets/textview/textview_internal.h"

namespace {

vtextviewClassRec* cls(vtextview* v) { return vtextviewClassOf(v); }

// A selection of the view's text that goes with the scope.
struct TempSelection {
  vtext* text;
  vtextSelection* s;
  explicit TempSelection(vtext* t) : text(t), s(vtextCreateSelection(t)) {}
  ~TempSelection() { vtextDestroySelection(text, s); }
  TempSelection(const TempSelection&) = delete;
  TempSelection& operator=(const TempSelection&) = delete;
};

std::string charsOf(vtext* t, std::int32_t start, std::int32_t end) {
  std::string out(std::size_t(std::max(0, end - start)), '\0');
  if (end > start) vtextGetChars(t, start, end, out.data(), end - start);
  return out;
}

void replaceRange(vtext* t, vtextSelection* s, std::int32_t start, std::int32_t end, const std::string& with) {
  vtextSetSelectionRange(t, s, start, end);
  if (with.empty()) vtextDeleteSelection(t, s);
  else vtextInsertText(t, s, with.data(), std::int32_t(with.size()));
}

// First and last line a selection touches; one ending just after a line end
// leaves the next line out.
void lineRange(vtext* t, const vtextSelection* s, std::int32_t* first, std::int32_t* last) {
  *first = vtextGetLineOfPosition(t, s->start);
  *last = *first + vtextCountSelectionLines(t, s) - 1;
  if (s->end > s->start && *last > *first && static_cast<unsigned char>(*vtextGetCharPointer(t, s->end - 1)) ==
                                                 unsigned(vtextGetLineEnd(t)))
    --*last;
}

bool isWord(vtext* t, std::int32_t p) { return vtextClassOf(t)->isWordChar(t, vtextGetCharPointer(t, p)) != 0; }

// ---- transpose

// The word before (or at) position p: [start, end); false without one.
bool wordBefore(vtext* t, std::int32_t p, std::int32_t* start, std::int32_t* end) {
  std::int32_t q = p - 1;
  while (q >= 0 && !isWord(t, q)) --q;
  if (q < 0) return false;
  while (q >= 0 && isWord(t, q)) --q;
  *start = q + 1;
  *end = *start;
  while (*end < t->length && isWord(t, *end)) ++*end;
  return true;
}

bool wordAfter(vtext* t, std::int32_t p, std::int32_t* start, std::int32_t* end) {
  std::int32_t q = p;
  while (q < t->length && isWord(t, q)) ++q;
  while (q < t->length && !isWord(t, q)) ++q;
  if (q >= t->length) return false;
  *start = q;
  *end = q;
  while (*end < t->length && isWord(t, *end)) ++*end;
  return true;
}

// Replaces the later range first so that the earlier one stays valid.
bool swapRanges(vtext* t, std::int32_t a0, std::int32_t a1, std::int32_t b0, std::int32_t b1) {
  std::string first = charsOf(t, a0, a1), second = charsOf(t, b0, b1);
  if (first == second) return false;
  TempSelection temp(t);
  replaceRange(t, temp.s, b0, b1, first);
  replaceRange(t, temp.s, a0, a1, second);
  return true;
}

bool transpose(vtextview* v, vdict* args) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  auto type = static_cast<vname>(vdictGet(args, N("Type")));
  if (type == N("Words")) {
    std::int32_t a0 = 0, a1 = 0, b0 = 0, b1 = 0;
    if (!wordBefore(t, s->start, &a0, &a1) || a0 == s->start) return false;
    if (!wordAfter(t, a0, &b0, &b1) || b0 == a0) return false;
    return swapRanges(t, a0, a1, b0, b1);
  }
  if (type == N("Lines")) {
    std::int32_t line = vtextGetLineOfPosition(t, s->start);
    if (line >= t->lineCount) return false;
    std::int32_t a0 = vtextGetLineStart(t, line), a1 = vtextGetLineStart(t, line + 1);
    std::int32_t b1 = line + 1 >= t->lineCount ? t->length : vtextGetLineStart(t, line + 2);
    std::string upper = charsOf(t, a0, a1), lower = charsOf(t, a1, b1);
    // The last line has no line end of its own: the two swap theirs.
    if (b1 == t->length && (lower.empty() || lower.back() != char(vtextGetLineEnd(t)))) {
      lower += upper.back();
      upper.pop_back();
    }
    if (upper == lower) return false;
    TempSelection temp(t);
    replaceRange(t, temp.s, a1, b1, upper);
    replaceRange(t, temp.s, a0, a1, lower);
    return true;
  }
  std::int32_t a = s->start, b = s->end;
  if (a < 1 || b >= t->length) return false;
  std::string x = charsOf(t, a - 1, a), y = charsOf(t, b, b + 1);
  if (x == y) return false;
  TempSelection temp(t);
  replaceRange(t, temp.s, b, b + 1, x);
  replaceRange(t, temp.s, a - 1, a, y);
  return true;
}

// ---- case changes over Windows-1252

bool isUpper(unsigned c) {
  return (c >= 'A' && c <= 'Z') || c == 0x8A || c == 0x8C || c == 0x9F || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}
bool isLower(unsigned c) {
  return (c >= 'a' && c <= 'z') || c == 0x9A || c == 0x9C || c == 0xFF || c == 0x83 || c == 0xDF ||
         (c >= 0xE0 && c <= 0xFE && c != 0xF7);
}
unsigned toUpper(unsigned c) {
  if (!isLower(c) || c == 0x83 || c == 0xDF) return c;
  if (c == 0x9A || c == 0x9C) return c - 0x10;
  if (c == 0xFF) return 0x9F;
  return c - 0x20;
}
unsigned toLower(unsigned c) {
  if (!isUpper(c)) return c;
  if (c == 0x8A || c == 0x8C) return c + 0x10;
  if (c == 0x9F) return 0xFF;
  return c + 0x20;
}

struct CaseWalk {
  int selector;
  bool inWord;
  const char* replay;  // the characters to put back, from origin on
  std::int32_t origin;
};
CaseWalk caseWalk;  // reset by every command

std::int16_t caseMapper(const char* piece, std::intptr_t length, void* output, std::int32_t* room, vtextWalk* walk) {
  if (!piece) return 0;
  if (*room < length) return 1;
  auto* out = static_cast<unsigned char*>(output);
  for (std::intptr_t i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(piece[i]);
    if (caseWalk.replay) {
      out[i] = static_cast<unsigned char>(caseWalk.replay[walk->pieceStart + i - caseWalk.origin]);
      continue;
    }
    switch (caseWalk.selector) {
      case 53: c = static_cast<unsigned char>(toUpper(c)); break;
      case 54: c = static_cast<unsigned char>(toLower(c)); break;
      case 55: {
        bool word = vtextClassOf(walk->text)->isWordChar(walk->text, piece + i) != 0;
        if (word) c = static_cast<unsigned char>(caseWalk.inWord ? toLower(c) : toUpper(c));
        caseWalk.inWord = word;
        break;
      }
      default: c = static_cast<unsigned char>(isUpper(c) ? toLower(c) : isLower(c) ? toUpper(c) : c); break;
    }
    out[i] = c;
  }
  *room = std::int32_t(length);
  // A line end between pieces ends a word.
  if (walk->linesLeft > 1) caseWalk.inWord = false;
  return 0;
}

}  // namespace

void _vtextviewChangeCase(vtextview* v, int selector, const char* replay) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  if (s->length == 0) return;
  std::int32_t start = s->start, end = s->end;
  caseWalk = {selector, false, replay, start};
  // A recording text keeps the characters before the change in one record;
  // the walk's own edits go unrecorded.
  auto* undoClass = reinterpret_cast<vclass*>(vtextUndoObserverClass());
  bool recording = !replay && vtextGetObserverClass(t) == undoClass;
  char* saved = nullptr;
  if (recording) {
    saved = static_cast<char*>(vmemAlloc(std::size_t(end - start) + 1));
    vtextGetChars(t, start, end, saved, end - start);
    vtextSetObserverClass(t, nullptr);
  }
  {
    TempSelection temp(t);
    vtextCopySelection(t, s, temp.s);
    vtextProcessLines(t, temp.s, caseMapper, vtextWALK_IN_PLACE);
  }
  if (recording) {
    vtextSetObserverClass(t, undoClass);
    _vtextviewRecordCaseChange(v, selector, start, end, saved);
  }
  vtextSetSelectionRange(t, s, start, end);
}

namespace {

// ---- shift and align

struct ShiftWalk {
  bool align;
  std::int32_t delta;
  std::int32_t reference;  // Align: the first line's blanks, -1 before it
};
ShiftWalk shiftWalk;

std::int16_t indentMapper(const char* piece, std::intptr_t length, void* output, std::int32_t* room, vtextWalk*) {
  if (!piece) return 0;
  std::int32_t n = 0;
  while (n < length && piece[n] == ' ') ++n;
  if (shiftWalk.align && shiftWalk.reference < 0) shiftWalk.reference = n;
  std::int32_t wanted = shiftWalk.align ? shiftWalk.reference : std::max(0, n + shiftWalk.delta);
  std::intptr_t total = wanted + (length - n);
  if (total > *room) return 1;
  auto* out = static_cast<char*>(output);
  std::memset(out, ' ', std::size_t(wanted));
  std::memcpy(out + wanted, piece + n, std::size_t(length - n));
  *room = std::int32_t(total);
  return 0;
}

void shift(vtextview* v, vdict* args) {
  vtext* t = v->text;
  std::int32_t amount = vdictGetInteger(args, N("Amount"));
  if (amount == std::int32_t(0x80000000)) amount = 4;
  auto d = static_cast<vname>(vdictGet(args, vname_Direction));
  shiftWalk = {d != vname_Left && d != vname_Right, d == vname_Left ? -amount : amount, -1};
  std::int32_t first = 0, last = 0;
  lineRange(t, v->selection, &first, &last);
  TempSelection temp(t);
  vtextSelectLines(t, temp.s, first, last, 5);
  vtextProcessLines(t, temp.s, indentMapper, vtextWALK_WHOLE_LINES | vtextWALK_AS_PLAIN);
  vtextSelectLines(t, v->selection, first, last, 5);
  vtextviewRecordUndo(v, vscribeLiteral(shiftWalk.align ? "Align" : "Shift"));
}

// ---- sort lines

void sortLines(vtextview* v) {
  vtext* t = v->text;
  std::int32_t first = 0, last = 0, ignored = 0;
  lineRange(t, v->selection, &first, &last);
  vtextGetParagraphLines(t, first, &first, &ignored);
  vtextGetParagraphLines(t, last, &ignored, &last);
  std::int32_t from = vtextGetLineStart(t, first);
  std::int32_t to = last >= t->lineCount ? t->length : vtextGetLineStart(t, last + 1);
  // The texts are copied out: the insertions below move the storage.
  std::vector<std::string> lines;
  const char end = char(vtextGetLineEnd(t));
  std::string all = charsOf(t, from, to);
  for (std::size_t p = 0; p < all.size();) {
    std::size_t q = all.find(end, p);
    q = q == std::string::npos ? all.size() : q + 1;
    lines.emplace_back(all, p, q - p);
    p = q;
  }
  // An unterminated last line sorts as if it had its line end ("b|a" must
  // not become "ab|"); the end goes back off after sorting.
  bool unterminated = !lines.empty() && lines.back().back() != end;
  if (unterminated) lines.back() += end;
  std::sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    return std::memcmp(a.data(), b.data(), n) < 0;
  });
  std::string sorted;
  sorted.reserve(all.size());
  for (const std::string& l : lines) sorted += l;
  if (unterminated) sorted.pop_back();
  TempSelection temp(t);
  vtextSetSelectionRange(t, temp.s, to, to);
  vtextInsertText(t, temp.s, sorted.data(), std::int32_t(sorted.size()));
  vtextSetSelectionRange(t, temp.s, from, to);
  vtextDeleteSelection(t, temp.s);
  std::int32_t lastLine = vtextGetLineOfPosition(t, from + std::int32_t(sorted.size()) - 1);
  vtextSelectLines(t, v->selection, first, std::max(first, lastLine), 5);
  vtextviewRecordUndo(v, vscribeLiteral("Sort Lines"));
}

// ---- duplicate and the line deletions

void duplicate(vtextview* v, vdict* args) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  if (static_cast<vname>(vdictGet(args, N("Type"))) == N("Lines")) {
    vtextSelectLines(t, s, -1, -1, 1);
    cls(v)->showSelection(v, 24);
  }
  if (s->length == 0) return;
  std::int32_t first = 0, last = 0;
  lineRange(t, s, &first, &last);
  std::int32_t n = last - first + 1;
  std::string copy = charsOf(t, s->start, s->end);
  // The copy goes in at the start of the line after the selection.
  std::int32_t at = first + n > t->lineCount ? t->length : vtextGetLineStart(t, first + n);
  bool appended = at == t->length && copy.back() != char(vtextGetLineEnd(t)) && first + n > t->lineCount;
  if (appended && s->start == vtextGetLineStart(t, first)) copy.insert(copy.begin(), char(vtextGetLineEnd(t)));
  vtextSetSelectionRange(t, s, at, at);
  vtextInsertText(t, s, copy.data(), std::int32_t(copy.size()));
  vtextviewRecordUndo(v, vscribeLiteral("Paste"));
  std::int32_t m = first + n;
  vtextSelectLines(t, s, m, std::min(m + n - 1, t->lineCount), 1);
}

void deleteLine(vtextview* v, bool toEnd) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  std::int32_t line = vtextGetLineOfPosition(t, s->start);
  std::int32_t next = line >= t->lineCount ? t->length : vtextGetLineStart(t, line + 1);
  std::int32_t start = toEnd ? s->start : vtextGetLineStart(t, line), end = next;
  if (toEnd) {
    bool newline = next > start && static_cast<unsigned char>(*vtextGetCharPointer(t, next - 1)) == unsigned(vtextGetLineEnd(t));
    end = newline && next - 1 > start ? next - 1 : next;
    if (line >= t->lineCount && end == start) return;
  }
  if (end <= start) return;
  vtextSetSelectionRange(t, s, start, end);
  vtextDeleteSelection(t, s);
  vtextviewRecordUndo(v, vscribeLiteral("Delete"));
  cls(v)->showSelection(v, 24);
}

}  // namespace

int _vtextviewIssueEdit(vtextview* v, int selector, vdict* args) {
  switch (selector) {
    case 40: {
      // The swapped stretches keep their total length: the selection stays put.
      std::int32_t start = v->selection->start, end = v->selection->end;
      if (transpose(v, args)) {
        vtextSetSelectionRange(v->text, v->selection, start, end);
        vtextviewRecordUndo(v, vscribeLiteral("Transpose"));
      }
      cls(v)->showSelection(v, 24);
      return 1;
    }
    case 42: case 43: deleteLine(v, selector == 43); return 0;
    case 52: shift(v, args); break;
    case 53: case 54: case 55: case 56:
      _vtextviewChangeCase(v, selector, nullptr);
      vtextviewRecordUndo(v, vscribeLiteral("Case Change"));
      break;
    case 60: sortLines(v); break;
    case 65: duplicate(v, args); return 1;
    default: return -1;
  }
  cls(v)->showSelection(v, 24);
  return 1;
}

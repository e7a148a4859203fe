// Selections: the text's table of them, ranges and modes, the moves an
// edit makes; and the line, column and x queries.
#include "fw/text/selection.h"

#include <algorithm>

#include "fw/core/mem.h"
#include "fw/text/text_internal.h"

namespace {

const char kEmpty[] = "";

vtextBlock* blockOfLine(const vtext* text, std::int32_t line) {
  for (vtextBlock* b = text->first; b; b = b->next)
    if (line >= b->firstLine && line < b->firstLine + b->lineCount) return b;
  return nullptr;
}

bool isLineEnd(const vtext* text, char c) { return static_cast<unsigned char>(c) == unsigned(vtextGetLineEnd(text)); }

}  // namespace

// Lays out a line and returns its column entries.
vtextColumn* _vtextLayLine(vtext* text, std::int32_t line, std::int32_t* count, std::int32_t* start) {
  vtextBlock* b = blockOfLine(text, line);
  if (!b) {
    *count = 0;
    *start = text->length;
    return nullptr;
  }
  const vtextLine& entry = b->lines[line - b->firstLine];
  *start = b->start + std::int32_t(entry.start);
  *count = std::int32_t(b->lines[line - b->firstLine + 1].start - entry.start);
  return vtextClassOf(text)->layoutLine(text, nullptr, b->chars + entry.start, count, *start, entry.start != 0);
}

namespace {

void setRange(vtext* t, vtextSelection* s, std::int32_t a, std::int32_t b) {
  vtextModule* m = _vtextModule();
  if (!m->editing) vtextClassOf(t)->notifySelection(t, s, 0);
  vtextOrderPair(&a, &b);
  if (s->mode == vtextSEL_EXTEND) {
    a = std::min(a, s->start);
    b = std::max(b, s->end);
  }
  s->start = a;
  s->end = b;
  s->length = b - a;
  s->startX = s->endX = vtextX_UNKNOWN;
  vtextClassOf(t)->notifySelection(t, s, 1);
}

void selectLines(vtext* t, vtextSelection* s, std::int32_t f, std::int32_t l, int how) {
  if (f == -1) {
    f = vtextGetLineOfPosition(t, s->start);
    l = f + vtextCountSelectionLines(t, s) - 1;
  }
  if (how == 2) l = f;
  if (how == 3 || how == 4) f = l;
  if (how == 5) {
    std::int32_t ignored;
    vtextGetParagraphLines(t, f, &f, &ignored);
    vtextGetParagraphLines(t, l, &ignored, &l);
  }
  std::int32_t start = vtextGetLineStart(t, f);
  std::int32_t end = l >= t->lineCount ? t->length : vtextGetLineStart(t, l + 1);
  if (how == 4 && l < t->lineCount) --end;
  vtextClassOf(t)->setSelectionRange(t, s, start, end);
}

void paragraphLines(vtext* t, std::int32_t line, std::int32_t* first, std::int32_t* last) {
  vtextBlock* b = blockOfLine(t, line);
  if (!b) {
    *first = *last = -1;
    return;
  }
  // A line starts a paragraph at its block's start or after a line end.
  auto starts = [&](std::int32_t k) { return k == 0 || isLineEnd(t, b->chars[b->lines[k].start - 1]); };
  std::int32_t k = line - b->firstLine;
  std::int32_t f = k;
  while (!starts(f)) --f;
  std::int32_t l = k;
  while (l + 1 < b->lineCount && !starts(l + 1)) ++l;
  *first = b->firstLine + f;
  *last = b->firstLine + l;
}

void refuseMode2(int mode) {
  if (mode == 2) vexGenerateMessage(&vexModuleUnimplementedClass, "Unimplemented");
}

}  // namespace

void _vtextFillSelectionSlots(vtextClassRec* c) {
  c->setSelectionRange = setRange;
  c->selectLines = selectLines;
  c->getParagraphLines = paragraphLines;
}


vtextSpan _vtextClampedRange(const vtext* text, const vtextSelection* s) {
  std::int32_t a = s->start, b = s->end;
  vtextClampPosition(text, &a);
  vtextClampPosition(text, &b);
  vtextOrderPair(&a, &b);
  return {a, b};
}

void vtextInitSelection(vtext* text, vtextSelection* s) {
  *s = vtextSelection{0, 0, 0, text, -1, 0, vtextX_UNKNOWN, vtextX_UNKNOWN};
}

vtextSelection* vtextCreateSelection(vtext* text) {
  auto* s = static_cast<vtextSelection*>(vpoolAlloc(_vtextSelectionPool()));
  vtextInitSelection(text, s);
  std::uint16_t slot = 0;
  while (slot < text->selectionCount && text->selections[slot]) ++slot;
  if (slot == text->selectionCount) {
    text->selections = static_cast<vtextSelection**>(
        vmemRealloc(text->selections, (std::size_t(text->selectionCount) + 1) * sizeof(vtextSelection*)));
    ++text->selectionCount;
  }
  text->selections[slot] = s;
  s->slot = std::int16_t(slot);
  vtextSetSelectionRange(text, s, 0, 0);
  return s;
}

vtextSelection* vtextCreateSelectionFrom(vtext* text, vtextSelection* source) {
  vtextSelection* s = vtextCreateSelection(text);
  vtextCopySelection(text, source, s);
  return s;
}

void vtextCopySelection(vtext* owner, const vtextSelection* source, vtextSelection* target) {
  if (owner) vtextClassOf(owner)->notifySelection(owner, target, 0);
  target->start = source->start;
  target->end = source->end;
  target->length = source->length;
  target->startX = source->startX;
  target->endX = source->endX;
  target->mode = source->mode;
  if (owner) vtextClassOf(owner)->notifySelection(owner, target, 1);
}

void vtextInitTempSelection(vtext* text, const vtextSelection* source, vtextSelection* target) {
  vtextInitSelection(text, target);
  vtextCopySelection(text, source, target);
}

void vtextDestroySelection(vtext* text, vtextSelection* s) {
  if (s->slot < 0) return;
  text->selections[s->slot] = nullptr;
  vpoolFree(_vtextSelectionPool(), s);
}

void vtextSetSelectionMode(vtext* text, vtextSelection* s, int mode) {
  refuseMode2(mode);
  if (s->mode == mode) return;
  if (!text) {
    s->mode = std::uint8_t(mode);
    return;
  }
  vtextClassOf(text)->notifySelectionMode(text, s, 1);
  s->mode = std::uint8_t(mode);
  vtextClassOf(text)->notifySelectionMode(text, s, 2);
}

void vtextSetSelectionModeQuiet(vtext*, vtextSelection* s, int mode) {
  refuseMode2(mode);
  s->mode = std::uint8_t(mode);
}

void vtextSelectLines(vtext* text, vtextSelection* s, std::int32_t first, std::int32_t last, int how) {
  vtextClassOf(text)->selectLines(text, s, first, last, how);
}

void vtextGetParagraphLines(vtext* text, std::int32_t line, std::int32_t* first, std::int32_t* last) {
  vtextClassOf(text)->getParagraphLines(text, line, first, last);
}

std::int32_t vtextGetLineOfPosition(const vtext* text, std::int32_t p) {
  std::int32_t sum = 0;
  vtextBlock* b = text->first;
  while (b->next && b->next->start <= p) {
    sum += b->lineCount;
    b = b->next;
  }
  std::int32_t o = p - b->start;
  if (o >= b->used || b->lineCount == 1) return sum + b->lineCount;
  std::int32_t lo = 1, hi = b->lineCount;  // the first entry whose start passes o
  while (lo < hi) {
    std::int32_t mid = (lo + hi) / 2;
    if (std::int32_t(b->lines[mid].start) > o)
      hi = mid;
    else
      lo = mid + 1;
  }
  return sum + lo;
}

std::int32_t vtextGetLineStart(const vtext* text, std::int32_t line) {
  vtextBlock* b = blockOfLine(text, line);
  return b ? b->start + std::int32_t(b->lines[line - b->firstLine].start) : text->length;
}

void vtextGetLineInfo(const vtext* text, std::int32_t line, vtextLineInfo* out) {
  *out = vtextLineInfo{};
  vtextBlock* b = blockOfLine(text, line);
  if (!b) {
    out->start = line >= 0 ? text->length : 0;
    out->chars = kEmpty;
    return;
  }
  std::int32_t k = line - b->firstLine;
  const vtextLine& e = b->lines[k];
  out->start = b->start + std::int32_t(e.start);
  out->chars = b->chars + e.start;
  out->length = std::int32_t(b->lines[k + 1].start - e.start);
  out->height = std::uint16_t(e.ascent + e.descent);
  out->descent = e.descent;
  out->startX = e.startX;
  out->endX = e.endX;
  out->paragraphStart = k == 0 || isLineEnd(text, b->chars[e.start - 1]);
}

std::int32_t vtextGetLinesHeight(const vtext* text, std::int32_t first, std::int32_t last) {
  std::int32_t sum = 0;
  vtextLineInfo info;
  for (std::int32_t k = first; k <= last; ++k) {
    vtextGetLineInfo(text, k, &info);
    sum += info.height;
  }
  return sum;
}

std::int32_t vtextCountLinesInHeight(const vtext* text, std::int32_t height, std::int32_t line) {
  if (!text) return 0;
  if (!text->first) return 1;
  std::int32_t step = height >= 0 ? 1 : -1, r = height >= 0 ? height : -height, c = 0;
  if (step > 0 ? line > text->lineCount : line < 1) return 0;
  vtextLineInfo info;
  for (std::int32_t k = line; step > 0 ? k <= text->lineCount : k >= 1; k += step) {
    vtextGetLineInfo(text, k, &info);
    r -= info.height;
    if (r < 0) break;
    ++c;
  }
  return c;
}

const char* vtextGetCharPointer(const vtext* text, std::int32_t position) {
  if (position < 0 || position >= text->length) return kEmpty;
  vtextBlock* b = text->first;
  while (position >= b->start + b->used) b = b->next;
  return b->chars + (position - b->start);
}

void vtextLocateBlock(const vtext* text, const vtextSelection* s, vtextBlock** first, vtextBlock** last,
                      std::int32_t* offset) {
  const vtextSpan range = _vtextClampedRange(text, s);
  vtextBlock* b = vtextFindBlock(text, range.start);
  if (first) *first = b;
  if (last) *last = vtextFindBlock(text, range.end);
  if (offset) *offset = range.start - b->start;
}

std::int32_t vtextLineAndXToPosition(vtext* text, std::int32_t line, std::int32_t x, std::int32_t* index) {
  std::int32_t count = 0, start = 0;
  vtextColumn* e = _vtextLayLine(text, line, &count, &start);
  if (x == -1 || !e) return start;
  std::int32_t k = 0;
  auto mid = [&](std::int32_t i) { return std::int32_t(((std::int64_t(e[i].x) + e[i + 1].x) / 2) >> 16); };
  if (mid(0) < x) {
    k = 1;
    while (k < count && mid(k) < x) ++k;
  }
  if (index) *index = k;
  return start + k;
}

std::int32_t vtextGetPositionColumnValue(vtext* text, std::int32_t position) {
  std::int32_t line = vtextGetLineOfPosition(text, position);
  std::int32_t count = 0, start = 0;
  vtextColumn* e = _vtextLayLine(text, line, &count, &start);
  if (!e) return 0;
  return std::int32_t(e[std::clamp(position - start, 0, count)].x >> 16);
}

std::int32_t vtextGetPositionColumn(const vtext* text, std::int32_t position) {
  return position - vtextGetLineStart(text, vtextGetLineOfPosition(text, position));
}

std::int32_t vtextCountSelectionLines(const vtext* text, const vtextSelection* s) {
  if (!text) return 0;
  return vtextGetLineOfPosition(text, s->end) - vtextGetLineOfPosition(text, s->start) + 1;
}

std::int32_t vtextGetSelectionStartX(vtext* text, vtextSelection* s) {
  if (!text) return 0;
  if (s->startX == vtextX_UNKNOWN) s->startX = std::max(vtextGetPositionColumnValue(text, s->start), INT32_MIN + 1);
  return s->startX;
}

std::int32_t vtextGetSelectionEndX(vtext* text, vtextSelection* s) {
  if (!text) return 0;
  if (s->endX == vtextX_UNKNOWN) s->endX = std::max(vtextGetPositionColumnValue(text, s->end), INT32_MIN + 1);
  return s->endX;
}

void vtextOrderPair(std::int32_t* a, std::int32_t* b) {
  if (*b < *a) std::swap(*a, *b);
}

void _vtextNotifySelectionsBefore(vtext* text, vtextSelection* except) {
  for (std::uint16_t i = 0; i < text->selectionCount; ++i)
    if (vtextSelection* s = text->selections[i]; s && s != except) vtextClassOf(text)->notifySelection(text, s, 0);
}

void _vtextMoveSelections(vtext* text, vtextSelection* except, std::int32_t p, std::int32_t d) {
  const std::int32_t q = p + d;  // a deletion's start
  for (std::uint16_t i = 0; i < text->selectionCount; ++i) {
    vtextSelection* sel = text->selections[i];
    if (!sel || sel == except) continue;
    const std::int32_t s = sel->start, e = sel->end;
    std::int32_t ns = s, ne = e;
    bool whole = false;
    if (p < s) {
      ns = s + d;
    } else if (d < 0 && q < s) {
      whole = e < p;
      ns = q;
      if (whole) ne = q;
    }
    if (!whole) {
      if (p <= e)
        ne = e + d;
      else if (d < 0 && q < e)
        ne = q;
    }
    if (s == e) ne = ns;
    if (ns != s || ne != e) vtextClassOf(text)->setSelectionRange(text, sel, ns, ne);
  }
}

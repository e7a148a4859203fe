// Editing a text: insertion, deletion and typing, the splitting of blocks,
// re-breaking only the lines an edit touched, and tags across the edit.
//
// - Edits (`edit.cpp`): an insertion that fits moves the block's tail; one that does not is cut into
//   blocks of up to 7680 characters from the end, each cut moved to a line end near it (never an
//   empty piece); a deletion across blocks joins and cuts the same way. Only the lines from the one
//   before the change are laid out again, until a line starts where an old one did (moved by the
//   change) after the change; a frozen text's edits lay out nothing and leave the line count, the
//   thaw lays out the whole text. Texts are refused beyond 28-bit positions ("Range"). Every edit
//   over a selection works on its range clamped to the text.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/tags.h"
#include "fw/text/text_internal.h"
#include "fw/text/walker.h"

namespace {

constexpr std::int32_t kChunk = 7680;
constexpr std::int32_t kLastLineOfText = -2;  // resolved once the line count is known

bool isBreak(char c) { return c == '\r' || c == '\n'; }

// Where the combined characters of a rebuilt range are cut into blocks:
// from the end back in chunks, each cut moved to a line end near it.
// A line end after a hidden character (hidden[i] for character i) is passed over.
std::vector<std::int32_t> cutPoints(const char* chars, std::int32_t total, const std::vector<bool>& hidden) {
  auto breaksAt = [&](std::int32_t i) {
    return isBreak(chars[i]) && (i == 0 || hidden.empty() || !hidden[std::size_t(i - 1)]);
  };
  std::vector<std::int32_t> cuts;
  cuts.reserve(8);
  std::int32_t previous = total;
  std::int32_t cut = total - total % kChunk;
  if (cut == total) cut -= kChunk;  // no empty last piece
  while (cut > kChunk / 8) {
    std::int32_t at = cut, ahead = cut;
    while (ahead < previous - 1 && !breaksAt(ahead)) ++ahead;
    if (ahead < previous - 1) {
      at = ahead + 1;
      if (at - cut > kChunk * 3 / 4) {
        std::int32_t back = cut - 1;
        while (back >= 0 && !breaksAt(back)) --back;
        at = back + 1;
      }
    }
    if (at <= kChunk / 8) break;
    cuts.push_back(at);
    previous = at;
    cut = at - kChunk;
  }
  std::reverse(cuts.begin(), cuts.end());
  return cuts;
}

void placeBlocks(vtext* t) {
  std::int32_t position = 0;
  for (vtextBlock* b = t->first; b; b = b->next) {
    b->start = position;
    position += b->used;
  }
}

void numberLines(vtext* t) {
  std::int32_t line = 1;
  for (vtextBlock* b = t->first; b; b = b->next) {
    b->firstLine = line;
    line += b->lineCount;
  }
  t->lineCount = line - 1;
}

// The characters of the combined text that "Style" runs with Hidden on
// cover, from the runs an edit took out (absolute positions from before
// it); place maps such a position into the combined characters. Empty
// when no hidden run is among them.
template <class Place>
std::vector<bool> hiddenChars(vtext* t, vtextTag** tags, std::int32_t count, std::size_t total, Place place) {
  std::vector<bool> hidden;
  vtextAttachments* a = t->attachments;
  for (std::int32_t i = 0; a && i < count; ++i) {
    if (tags[i]->kind != vname_Style || !vpoolContains(a->styleTags, tags[i])) continue;
    auto* style = *reinterpret_cast<vtextStyle**>(tags[i] + 1);
    if (!style || vtextRulerGetBooleanAttr(style, vtextName("Hidden")) != 1) continue;
    if (hidden.empty()) hidden.assign(total, false);
    std::int32_t from = place(std::int32_t(tags[i]->startWord & vtextTagOFFSET));
    std::int32_t to = place(std::int32_t(tags[i]->endWord & vtextTagOFFSET));
    for (std::int32_t k = std::max(from, 0); k < to && k < std::int32_t(total); ++k) hidden[std::size_t(k)] = true;
  }
  return hidden;
}

// Puts the combined characters into block b and new blocks after it.
vtextBlock* rewrite(vtext* t, vtextBlock* b, const std::vector<char>& chars, const std::vector<bool>& hidden) {
  std::vector<std::int32_t> cuts = cutPoints(chars.data(), std::int32_t(chars.size()), hidden);
  cuts.push_back(std::int32_t(chars.size()));
  std::int32_t from = 0;
  vtextBlock* last = b;
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    std::int32_t n = cuts[i] - from;
    std::int32_t capacity = std::max(8192, n + 512);
    if (i == 0) {
      if (b->capacity < n) {
        b->chars = static_cast<char*>(vmemRealloc(b->chars, std::size_t(capacity)));
        b->capacity = capacity;
      }
      std::memcpy(b->chars, chars.data(), std::size_t(n));
      b->used = n;
    } else {
      auto* buffer = static_cast<char*>(vmemAlloc(std::size_t(capacity)));
      std::memcpy(buffer, chars.data() + from, std::size_t(n));
      last = vtextNewBlock(t, last, buffer, n, capacity);
    }
    from = cuts[i];
  }
  return last;
}

void unlink(vtext* t, vtextBlock* b) {
  if (b->previous)
    b->previous->next = b->next;
  else
    t->first = b->next;
  if (b->next) b->next->previous = b->previous;
  vtextFreeBlock(b);
}

// Re-breaks block b after an edit of [changeStart, oldChangeEnd) (old
// offsets) by delta, from the line before when that does not end with the
// line end, until a line starts where an old one did.
void rebreak(vtext* t, vtextBlock* b, std::int32_t changeStart, std::int32_t oldChangeEnd, std::int32_t delta) {
  vtextModule* m = _vtextModule();
  vtextClassRec* c = vtextClassOf(t);
  const unsigned lineEnd = unsigned(vtextGetLineEnd(t));
  const std::int32_t oldCount = b->lineCount;
  auto startOf = [&](std::int32_t k) { return std::int32_t(b->lines[k].start); };
  std::int32_t k = 0;
  while (k + 1 < oldCount && startOf(k + 1) <= changeStart) ++k;
  if (k > 0 && static_cast<unsigned char>(b->chars[startOf(k) - 1]) != lineEnd) --k;
  const std::int32_t newChangeEnd = changeStart + std::max(delta, 0);
  std::vector<vtextLine> fresh;
  fresh.reserve(10);
  std::int32_t offset = startOf(k), resume = oldCount;
  const bool lastBlock = b->next == nullptr;
  for (;;) {
    std::int32_t count = b->used - offset;
    if (count <= 0) {
      bool endsWithLineEnd = b->used > 0 && static_cast<unsigned char>(b->chars[b->used - 1]) == lineEnd;
      if (!(k == 0 && fresh.empty()) && !(lastBlock && endsWithLineEnd)) break;
      count = 0;
    }
    vtextColumn* e = c->layoutLine(t, nullptr, b->chars + offset, &count, b->start + offset, offset != 0);
    vtextLine line{std::uint32_t(offset), 0, 0, e[0].x, 0};
    vtextGetLayoutMetrics(&line.ascent, &line.descent, &line.endX);
    fresh.push_back(line);
    if (count == 0) break;
    offset += count;
    if (offset - 1 >= newChangeEnd) {
      // An old line starting here after the change is laid out as it was.
      std::int32_t old = offset - delta;
      if (old >= oldChangeEnd) {
        std::int32_t lo = k + 1, hi = oldCount;
        while (lo < hi) {
          std::int32_t mid = (lo + hi) / 2;
          if (startOf(mid) < old)
            lo = mid + 1;
          else
            hi = mid;
        }
        if (lo < oldCount && startOf(lo) == old) {
          resume = lo;
          break;
        }
      }
    }
  }
  const std::int32_t kept = oldCount - resume;
  const std::int32_t newCount = k + std::int32_t(fresh.size()) + kept;
  bool heightChanged = newCount != oldCount;
  for (std::size_t i = 0; i < fresh.size() && !heightChanged; ++i)
    if (k + std::int32_t(i) < resume && (fresh[i].ascent != b->lines[k + i].ascent || fresh[i].descent != b->lines[k + i].descent))
      heightChanged = true;
  if (newCount + 2 > b->lineCapacity) {
    b->lineCapacity += std::max(100, newCount + 2 - b->lineCapacity);
    b->lines = static_cast<vtextLine*>(vmemRealloc(b->lines, std::size_t(b->lineCapacity) * sizeof(vtextLine)));
  }
  std::memmove(b->lines + k + fresh.size(), b->lines + resume, std::size_t(kept) * sizeof(vtextLine));
  for (std::int32_t i = 0; i < kept; ++i) b->lines[k + std::int32_t(fresh.size()) + i].start += std::uint32_t(delta);
  std::copy(fresh.begin(), fresh.end(), b->lines + k);
  b->lines[newCount] = vtextLine{std::uint32_t(b->used), 0, 0, 0, 0};
  b->lines[newCount + 1] = vtextLine{vtextLINE_END_MARKER, 0, 0, 0, 0};
  b->lineCount = newCount;
  m->lastChanged = heightChanged ? kLastLineOfText : b->firstLine + k + std::int32_t(fresh.size()) - 1;
}

// A frozen text's edits lay out nothing: a block's line starts only move
// with its characters (those inside a deleted range to its start), so that
// the table still fits the block until the thaw lays everything out.
void shiftLines(vtextBlock* b, std::int32_t changeStart, std::int32_t oldChangeEnd, std::int32_t delta) {
  for (std::int32_t i = 1; i < b->lineCount; ++i) {
    const auto start = std::int32_t(b->lines[i].start);
    if (start <= changeStart) continue;
    b->lines[i].start = std::uint32_t(start >= oldChangeEnd ? start + delta : changeStart);
  }
  b->lines[b->lineCount] = vtextLine{std::uint32_t(b->used), 0, 0, 0, 0};
  b->lines[b->lineCount + 1] = vtextLine{vtextLINE_END_MARKER, 0, 0, 0, 0};
}

// The same for a block whose characters after offset were rewritten: the
// lines that start by the offset stay, the last of them runs to the end.
void keepLinesBefore(vtextBlock* b, std::int32_t offset) {
  std::int32_t n = 1;
  const std::int32_t keep = std::min(offset, b->used - 1);
  while (n < b->lineCount && std::int32_t(b->lines[n].start) <= keep) ++n;
  b->lineCount = n;
  b->lines[n] = vtextLine{std::uint32_t(b->used), 0, 0, 0, 0};
  b->lines[n + 1] = vtextLine{vtextLINE_END_MARKER, 0, 0, 0, 0};
}

// Lays out the blocks from first through last, rewritten after offset in first.
void layOutRewritten(vtext* t, vtextBlock* first, vtextBlock* last, std::int32_t offset) {
  const bool frozen = t->mode & vtextMODE_FROZEN;
  for (vtextBlock* r = first;; r = r->next) {
    if (frozen)
      keepLinesBefore(r, r == first ? offset : 0);
    else
      vtextLayoutBlock(t, r);
    if (r == last) break;
  }
}

// The whole-line end of a "Ruler" tag after a deletion.
std::int32_t nextLineEnd(vtext* t, std::int32_t q, bool after) {
  const char L = static_cast<char>(vtextGetLineEnd(t));
  while (q < t->length && *vtextGetCharPointer(t, q) != L) ++q;
  return after && q < t->length ? q + 1 : q;
}

void adjustTag(vtext* t, vtextTag* tag, std::int32_t p, std::int32_t d) {
  std::int32_t a = std::int32_t(tag->startWord & vtextTagOFFSET), b = std::int32_t(tag->endWord & vtextTagOFFSET);
  const std::int32_t q = p + d;
  const bool sticky = tag->startWord & vtextTagSTICKY;
  if (tag->kind == vtextName("Ruler") && !sticky) {
    if (d > 0) {
      b += d;
    } else if (b > p) {
      b += d;
      a = q == 0 || *vtextGetCharPointer(t, q - 1) == char(vtextGetLineEnd(t)) ? q : nextLineEnd(t, q, true);
      a = std::min(a, b);
    } else {
      b = q == t->length || *vtextGetCharPointer(t, q) == char(vtextGetLineEnd(t)) ? q : nextLineEnd(t, q, false);
    }
  } else if (!sticky) {
    if (d > 0) {
      if (a == p && a != b) a += d;
      b += d;
    } else if (b <= p) {
      b = q;
    } else {
      a = q;
      b += d;
    }
  } else if (d < 0) {
    if (b <= p) {
      b = q;
    } else if (a >= p) {
      a += d;
      b += d;
    } else {
      a = q;
      b += d;
    }
  }
  tag->startWord = (tag->startWord & ~vtextTagOFFSET) | std::uint32_t(a);
  tag->endWord = (tag->endWord & ~vtextTagOFFSET) | std::uint32_t(b);
}

// New ranges for the gathered tags (absolute, from before the edit at p by
// d); tags a deletion empties go unless kept; the others are anchored again.
void adjustTagsForEdit(vtext* t, vtextTag** tags, std::int32_t count, std::int32_t p, std::int32_t d) {
  vtextClassRec* c = vtextClassOf(t);
  const std::int32_t q = p + d;
  for (std::int32_t i = 0; i < count; ++i) {
    vtextTag* tag = tags[i];
    std::int32_t a = std::int32_t(tag->startWord & vtextTagOFFSET), b = std::int32_t(tag->endWord & vtextTagOFFSET);
    const bool sticky = tag->startWord & vtextTagSTICKY;
    auto set = [&](std::int32_t na, std::int32_t nb) {
      tag->startWord = (tag->startWord & ~vtextTagOFFSET) | std::uint32_t(na);
      tag->endWord = (tag->endWord & ~vtextTagOFFSET) | std::uint32_t(nb);
    };
    if (d > 0) {
      if (b < p) {
      } else if (a < p && p < b) {
        set(a, b + d);
      } else if (a > p) {
        set(a + d, b + d);
      } else if (sticky && a < p) {  // ends at p: stays outside
      } else if (sticky) {           // starts at p: moves, empty or not
        set(a + d, b + d);
      } else {
        c->adjustTag(t, tag, p, d);
      }
    } else if (d < 0) {
      if (b <= q) {
      } else if (a >= p) {
        set(a + d, b + d);
      } else if (a < q && b > p) {
        set(a, b + d);
      } else if (q <= a && b <= p) {
        set(q, q);
      } else {
        c->adjustTag(t, tag, p, d);
      }
      bool kept = (tag->startWord | tag->endWord) & vtextTagKEEP;
      if ((tag->startWord & vtextTagOFFSET) == (tag->endWord & vtextTagOFFSET) && !kept) {
        tag->serial = 0;
        if (vtextAttachments* att = t->attachments) {
          if (tag->kind == vname_Style && vpoolContains(att->styleTags, tag)) {
            --att->styleTagCount;
            _vtextForgetStyleRun(tag);
            vpoolFree(att->styleTags, tag);
          } else if (tag->kind == vtextName("Ruler") && vpoolContains(att->rulerTags, tag)) {
            --att->rulerTagCount;
            vpoolFree(att->rulerTags, tag);
          }
        }
        continue;
      }
    }
    _vtextReattachTag(t, tag);
  }
}

[[noreturn]] void tooLong() { _vexGenerate(&vexArgRangeClass, vexSetMessage, "Range", vexEnd); }

void insertText(vtext* t, vtextSelection* s, const char* chars, std::int32_t n) {
  vtextModule* m = _vtextModule();
  vtextClassRec* c = vtextClassOf(t);
  const vtextSpan range = _vtextClampedRange(t, s);
  if (std::int64_t(t->length) - (range.end - range.start) + n > vtextTagMAX_POSITION) tooLong();
  if (range.end > range.start) c->deleteSelection(t, s);
  if (s->mode == vtextSEL_COLUMN && !m->typing) {
    // Each line of the characters goes into the next line at the column.
    std::int32_t count = n;
    _vtextColumnPasteSource(nullptr, 1, const_cast<char*>(chars), &count, nullptr);
    vtextProcessLines(t, s, _vtextColumnPasteSource, vtextWALK_ASK_LINES);
    return;
  }
  const std::int32_t p = _vtextClampedRange(t, s).start;
  const bool frozen = t->mode & vtextMODE_FROZEN;
  c->notifySelection(t, s, 0);
  _vtextNotifySelectionsBefore(t, s);
  m->editing = 1;
  c->notifyWillInsert(t, p, n);
  vtextBlock* b = vtextFindBlock(t, p);
  const std::int32_t offset = p - b->start;
  vtextEnsureSpace(b);
  m->lastChanged = -1;
  vtextForgetCache(t);
  vtextTag** tags = nullptr;
  std::int32_t tagCount = _vtextDetachTags(t, b, b, offset == b->used, &tags);
  if (n > b->capacity - b->used) {
    std::vector<char> all(std::size_t(b->used) + std::size_t(n));
    std::memcpy(all.data(), b->chars, std::size_t(offset));
    std::memcpy(all.data() + offset, chars, std::size_t(n));
    std::memcpy(all.data() + offset + n, b->chars + offset, std::size_t(b->used - offset));
    auto place = [&](std::int32_t x) { return x - b->start + (x > p ? n : 0); };
    std::vector<bool> hidden = hiddenChars(t, tags, tagCount, all.size(), place);
    // A hidden run at the position or just before it keeps the block whole.
    const auto at = std::size_t(offset);
    bool hiddenHere = !hidden.empty() && ((at < hidden.size() && hidden[at]) || (at > 0 && hidden[at - 1]));
    if (!hiddenHere && !cutPoints(all.data(), std::int32_t(all.size()), hidden).empty()) {
      vtextBlock* last = rewrite(t, b, all, hidden);
      placeBlocks(t);
      t->length += n;
      adjustTagsForEdit(t, tags, tagCount, p, n);
      layOutRewritten(t, b, last, offset);
      if (!frozen) m->lastChanged = kLastLineOfText;
      goto placed;
    }
    b->capacity += n;
    b->chars = static_cast<char*>(vmemRealloc(b->chars, std::size_t(b->capacity)));
  }
  std::memmove(b->chars + offset + n, b->chars + offset, std::size_t(b->used - offset));
  std::memcpy(b->chars + offset, chars, std::size_t(n));
  b->used += n;
  for (vtextBlock* later = b->next; later; later = later->next) later->start += n;
  t->length += n;
  adjustTagsForEdit(t, tags, tagCount, p, n);
  if (frozen)
    shiftLines(b, offset, offset, n);
  else
    rebreak(t, b, offset, offset, n);
placed:
  vmemFree(tags);
  if (!frozen) numberLines(t);
  if (m->lastChanged == kLastLineOfText) m->lastChanged = t->lineCount;
  c->setSelectionRange(t, s, p + n, p + n);
  _vtextMoveSelections(t, s, p, n);
  m->editing = 0;
  c->notifyInserted(t, p, n);
}

void deleteSelection(vtext* t, vtextSelection* s) {
  vtextModule* m = _vtextModule();
  vtextClassRec* c = vtextClassOf(t);
  const vtextSpan range = _vtextClampedRange(t, s);
  if (range.end == range.start) return;
  if (s->mode == vtextSEL_COLUMN && !m->typing) {
    std::int32_t at = range.start;
    std::int32_t x = std::min(vtextGetSelectionStartX(t, s), vtextGetSelectionEndX(t, s));
    std::int32_t line = vtextGetLineOfPosition(t, at);
    at = vtextLineAndXToPosition(t, line, x, nullptr);
    vtextProcessLines(t, s, _vtextColumnDelete, 0);
    c->setSelectionRange(t, s, at, at);
    return;
  }
  const std::int32_t start = range.start, end = range.end, n = end - start;
  const bool frozen = t->mode & vtextMODE_FROZEN;
  c->notifySelection(t, s, 0);
  _vtextNotifySelectionsBefore(t, s);
  m->editing = 1;
  c->notifyWillDelete(t, end, -n);
  vtextBlock* first = vtextFindBlock(t, start);
  vtextBlock* last = vtextFindBlock(t, end);
  vtextForgetCache(t);
  m->lastChanged = -1;
  vtextTag** tags = nullptr;
  std::int32_t tagCount = _vtextDetachTags(t, first, last, end == last->start + last->used, &tags);
  if (first == last) {
    const std::int32_t offset = start - first->start;
    std::memmove(first->chars + offset, first->chars + offset + n, std::size_t(first->used - offset - n));
    first->used -= n;
    for (vtextBlock* later = first->next; later; later = later->next) later->start -= n;
    t->length -= n;
    if (first->used == 0 && (first->next || first->previous)) {
      unlink(t, first);
      if (!frozen) m->lastChanged = kLastLineOfText;
      adjustTagsForEdit(t, tags, tagCount, end, -n);
    } else {
      adjustTagsForEdit(t, tags, tagCount, end, -n);
      if (frozen)
        shiftLines(first, offset, offset + n, -n);
      else
        rebreak(t, first, offset, offset + n, -n);
    }
  } else {
    std::vector<char> all;
    all.insert(all.end(), first->chars, first->chars + (start - first->start));
    all.insert(all.end(), last->chars + (end - last->start), last->chars + last->used);
    while (first->next != last) unlink(t, first->next);
    unlink(t, last);
    vtextBlock* through = first;
    if (all.empty()) {
      first->used = 0;
      if (first->next || first->previous) {
        unlink(t, first);
        through = nullptr;
      }
    } else {
      const std::int32_t kept = start - first->start;
      auto place = [&](std::int32_t x) { return x < end ? std::min(x, start) - first->start : x - end + kept; };
      through = rewrite(t, first, all, hiddenChars(t, tags, tagCount, all.size(), place));
    }
    placeBlocks(t);
    t->length -= n;
    adjustTagsForEdit(t, tags, tagCount, end, -n);
    if (through) layOutRewritten(t, first, through, start - first->start);
    if (!frozen) m->lastChanged = kLastLineOfText;
  }
  vmemFree(tags);
  if (!frozen) numberLines(t);
  if (m->lastChanged == kLastLineOfText) m->lastChanged = t->lineCount;
  c->setSelectionRange(t, s, start, start);
  _vtextMoveSelections(t, s, end, -n);
  m->editing = 0;
  c->notifyDeleted(t, end, -n);
}

void typeChar(vtext* t, vtextSelection* s, int ch) {
  vtextModule* m = _vtextModule();
  vtextClassRec* c = vtextClassOf(t);
  m->typing = 1;
  struct Clear {
    vtextModule* m;
    ~Clear() { m->typing = 0; }
  } clear{m};
  const vtextSpan range = _vtextClampedRange(t, s);
  const std::int32_t at = range.start;
  if (ch == 8 || ch == 127) {
    if (range.end > range.start) {
      m->typing = 0;
      c->deleteSelection(t, s);
      return;
    }
    std::int32_t p = ch == 8 ? at - 1 : at + 1;
    if (p < 0 || p > t->length) return;
    vtextSelection widened;
    vtextInitSelection(t, &widened);
    widened.start = std::min(p, at);
    widened.end = std::max(p, at);
    widened.length = 1;
    c->deleteSelection(t, &widened);
    return;
  }
  if (ch == 10 && (t->mode & vtextMODE_AUTO_INDENT)) {
    vtextBlock* b = vtextFindBlock(t, at);
    std::int32_t from = at - b->start;
    const char L = static_cast<char>(vtextGetLineEnd(t));
    while (from > 0 && b->chars[from - 1] != L) --from;
    std::int32_t to = from;
    while (to < at - b->start && (b->chars[to] == ' ' || b->chars[to] == '\t')) ++to;
    char* text = _vtextScratch(std::size_t(to - from) + 1);
    text[0] = static_cast<char>(ch);
    std::memcpy(text + 1, b->chars + from, std::size_t(to - from));
    c->insertText(t, s, text, to - from + 1);
    return;
  }
  if ((t->mode & vtextMODE_OVERWRITE) && range.end == at && at < t->length && *vtextGetCharPointer(t, at) != 10) {
    ++m->suppress;
    c->setSelectionRange(t, s, at, at + 1);
    --m->suppress;
  }
  const char one = static_cast<char>(ch);
  c->insertText(t, s, &one, 1);
}

}  // namespace

void _vtextAdjustTag(vtext* text, vtextTag* tag, std::int32_t position, std::int32_t delta) {
  adjustTag(text, tag, position, delta);
}

void _vtextFillEditSlots(vtextClassRec* c) {
  c->insertText = insertText;
  c->deleteSelection = deleteSelection;
  c->typeChar = typeChar;
}

std::int32_t vtextGetLastChangedLine() { return _vtextModule()->lastChanged; }

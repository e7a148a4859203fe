// Tags anchored in blocks: per-block sorted entry arrays pointing at start
// words, end words and continuation records, and the scans over them.
#include "fw/text/tags.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "fw/core/mem.h"
#include "fw/text/text_internal.h"

namespace {

vpool* continuations = nullptr;

std::uint32_t offsetOf(const std::uint32_t* entry) { return *entry & vtextTagOFFSET; }
bool isStart(const std::uint32_t* entry) { return (*entry & vtextTagSTART) != 0; }
bool isContinuation(const std::uint32_t* entry) { return (*entry & vtextTagCONTINUATION) != 0; }

vtextBlock* blockOf(vtext* text, std::int32_t position) {
  vtextBlock* b = text->first;
  while (b->next && b->next->start <= position) b = b->next;
  return b;
}

std::uint32_t lowerBound(const vtextBlock* b, std::uint32_t offset) {
  std::uint32_t lo = 0, hi = std::uint32_t(b->tagCount);
  while (lo < hi) {
    std::uint32_t mid = (lo + hi) / 2;
    if (offsetOf(b->tags[mid]) < offset)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

void ensureRoom(vtextBlock* b) {
  if (!b->tags) {
    b->tagCapacity = 9;
    b->tags = static_cast<std::uint32_t**>(vmemAllocClear(9 * sizeof(std::uint32_t*)));
  } else if (b->tagCount >= b->tagCapacity - 2) {
    b->tagCapacity += 8;
    b->tags = static_cast<std::uint32_t**>(vmemRealloc(b->tags, std::size_t(b->tagCapacity) * sizeof(std::uint32_t*)));
  }
}

void insertAt(vtextBlock* b, std::uint32_t index, std::uint32_t* entry) {
  ensureRoom(b);
  std::copy_backward(b->tags + index, b->tags + b->tagCount + 1, b->tags + b->tagCount + 2);
  b->tags[index] = entry;
  ++b->tagCount;
}

void removeAt(vtextBlock* b, std::uint32_t index) {
  std::copy(b->tags + index + 1, b->tags + b->tagCount + 1, b->tags + index);
  --b->tagCount;
}

[[noreturn]] void notAdded() {
  _vexGenerate(&vexModuleStateClass, vexSetMessage, "_vtextRemoveTagInternal -- tag was not properly added.\n",
               vexEnd);
}

// Anchors a tag whose offsets are absolute.
void anchor(vtext* text, vtextTag* tag) {
  std::int32_t a = std::int32_t(tag->startWord & vtextTagOFFSET), z = std::int32_t(tag->endWord & vtextTagOFFSET);
  vtextBlock *sb = blockOf(text, a), *eb = blockOf(text, z);
  std::uint32_t endRel = std::uint32_t(z - eb->start), startRel = std::uint32_t(a - sb->start);
  tag->endWord = (tag->endWord & ~vtextTagOFFSET) | endRel;
  tag->startWord = (tag->startWord & ~vtextTagOFFSET) | startRel;
  // The end goes after the entries at its offset, the start before them.
  std::uint32_t at = lowerBound(eb, endRel);
  while (at < std::uint32_t(eb->tagCount) && offsetOf(eb->tags[at]) == endRel && !isContinuation(eb->tags[at])) ++at;
  insertAt(eb, at, &tag->endWord);
  insertAt(sb, lowerBound(sb, startRel), &tag->startWord);
  if (!continuations) continuations = vpoolCreate(sizeof(vtextContinuation));
  for (vtextBlock* b = sb; b != eb; b = b->next) {
    auto* c = static_cast<vtextContinuation*>(vpoolAlloc(continuations));
    c->word = vtextTagCONTINUATION | std::uint32_t(z - b->start);
    c->anchor = 0;
    c->tag = tag;
    // Past every other entry of the block, in the order of their ends.
    std::uint32_t at = lowerBound(b, c->word & vtextTagOFFSET);
    while (at < std::uint32_t(b->tagCount) && offsetOf(b->tags[at]) == (c->word & vtextTagOFFSET)) ++at;
    insertAt(b, at, &c->word);
  }
  tag->startBlock = sb;
  tag->endBlock = eb;
}

void sortNewestFirst(vtextTag** tags, std::int32_t count) {
  std::sort(tags, tags + count, [](const vtextTag* a, const vtextTag* b) { return a->serial > b->serial; });
}

void scanAdd(vtextTagScan* s, vtextTag* tag) {
  if (s->count == s->capacity) {
    std::int32_t capacity = s->count + 10;
    auto* grown = static_cast<vtextTag**>(vmemAlloc(std::size_t(capacity) * sizeof(vtextTag*)));
    std::copy_n(s->tags, s->count, grown);
    if (s->tags != s->inlineTags) vmemFree(s->tags);
    s->tags = grown;
    s->capacity = capacity;
  }
  s->tags[s->count++] = tag;
}

void scanDrop(vtextTagScan* s, vtextTag* tag) {
  for (std::int32_t i = 0; i < s->count; ++i)
    if (s->tags[i] == tag) {
      s->tags[i] = s->tags[--s->count];
      return;
    }
}

bool kindMatches(vname kind, const vtextTag* tag) { return kind == nullptr || tag->kind == kind; }

void append(vtextTag*** array, std::int32_t* capacity, std::int32_t* count, vtextTag* tag) {
  if (*count == *capacity) {
    *capacity += 10;
    *array = static_cast<vtextTag**>(vmemRealloc(*array, std::size_t(*capacity) * sizeof(vtextTag*)));
  }
  (*array)[(*count)++] = tag;
}

}  // namespace

void vtextInitTag(vtextTag* tag) {
  *tag = vtextTag{};
  tag->startWord = vtextTagSTART;
}

void vtextSetTagKeepWhenEmpty(vtextTag* tag, int on) {
  if (on) {
    tag->startWord |= vtextTagKEEP;
    tag->endWord |= vtextTagKEEP;
  } else {
    tag->startWord &= ~vtextTagKEEP;
    tag->endWord &= ~vtextTagKEEP;
  }
}

bool vtextTagIsAdded(const vtextTag* tag) { return tag->startBlock != nullptr && tag->endBlock != nullptr; }

vtextTag* vtextTagOfEntry(std::uint32_t* entry) {
  if (isContinuation(entry)) return reinterpret_cast<vtextContinuation*>(entry)->tag;
  if (isStart(entry)) return reinterpret_cast<vtextTag*>(entry);
  return reinterpret_cast<vtextTag*>(reinterpret_cast<char*>(entry) - offsetof(vtextTag, endWord));
}

std::uint32_t _vtextAddTag(vtext* text, vtextTag* tag) {
  if (tag->serial != 0)
    _vexGenerate(&vexModuleStateClass, vexSetMessage, "_vtextAddTag -- tag has already been added.\n", vexEnd);
  anchor(text, tag);
  tag->serial = std::uint32_t(text->nextTagSerial++);
  return tag->serial;
}

void _vtextRemoveTagInternal(vtext*, vtextTag* tag) {
  vtextBlock *sb = tag->startBlock, *eb = tag->endBlock;
  if (!sb || !eb || !sb->tags || !eb->tags) notAdded();
  auto take = [&](vtextBlock* b, std::uint32_t* word) {
    for (std::uint32_t i = lowerBound(b, *word & vtextTagOFFSET); i < std::uint32_t(b->tagCount); ++i)
      if (b->tags[i] == word) return removeAt(b, i);
    notAdded();
  };
  take(sb, &tag->startWord);
  take(eb, &tag->endWord);
  for (vtextBlock* b = sb; b && b != eb; b = b->next)
    for (std::int32_t i = b->tagCount - 1; i >= 0; --i)
      if (isContinuation(b->tags[i]) && reinterpret_cast<vtextContinuation*>(b->tags[i])->tag == tag) {
        vpoolFree(continuations, b->tags[i]);
        removeAt(b, std::uint32_t(i));
        break;
      }
  tag->startWord = (tag->startWord & ~vtextTagOFFSET) | std::uint32_t(vtextGetTagStart(tag));
  tag->endWord = (tag->endWord & ~vtextTagOFFSET) | std::uint32_t(vtextGetTagEnd(tag));
  tag->startBlock = tag->endBlock = nullptr;
}

void vtextRemoveTag(vtext* text, vtextTag* tag) {
  if (vtextTagIsAdded(tag)) _vtextRemoveTagInternal(text, tag);
  tag->serial = 0;
}

void vtextSetTagRange(vtext* text, vtextTag* tag, std::int32_t start, std::int32_t end) {
  bool added = vtextTagIsAdded(tag);
  if (added) _vtextRemoveTagInternal(text, tag);
  tag->startWord = (tag->startWord & ~vtextTagOFFSET) | (std::uint32_t(start) & vtextTagOFFSET);
  tag->endWord = (tag->endWord & ~vtextTagOFFSET) | (std::uint32_t(end) & vtextTagOFFSET);
  if (added) anchor(text, tag);
}

std::int32_t vtextGetTagStart(const vtextTag* tag) {
  return std::int32_t(tag->startWord & vtextTagOFFSET) + (tag->startBlock ? tag->startBlock->start : 0);
}
std::int32_t vtextGetTagEnd(const vtextTag* tag) {
  return std::int32_t(tag->endWord & vtextTagOFFSET) + (tag->endBlock ? tag->endBlock->start : 0);
}

int vtextCompareTagSerials(const vtextTag* a, const vtextTag* b) { return int(b->serial) - int(a->serial); }

void vtextInitTagScan(vtextTagScan* scan, vtext* text, vname kind, std::int32_t position) {
  *scan = vtextTagScan{};
  scan->text = text;
  scan->kind = kind;
  scan->position = position;
  scan->tags = scan->inlineTags;
  scan->capacity = 10;
  scan->cursor = 0xFFFFFFFFu;  // before the first call
}

int vtextScanTags(vtextTagScan* s) {
  if (s->cursor == 0xFFFFFFFFu) {
    s->block = blockOf(s->text, s->position);
    vtextBlock* b = s->block;
    std::uint32_t rel = std::uint32_t(s->position - b->start);
    std::uint32_t i = b->tags ? lowerBound(b, rel) : 0;
    for (std::uint32_t k = i; k < std::uint32_t(b->tagCount); ++k) {
      std::uint32_t* e = b->tags[k];
      if (isStart(e) || offsetOf(e) == rel) continue;
      vtextTag* tag = vtextTagOfEntry(e);
      if (vtextGetTagStart(tag) <= s->position && kindMatches(s->kind, tag)) scanAdd(s, tag);
    }
    while (i < std::uint32_t(b->tagCount) && offsetOf(b->tags[i]) == rel && !isContinuation(b->tags[i])) ++i;
    s->cursor = i;
    sortNewestFirst(s->tags, s->count);
    return 1;
  }
  // The next offset where a matching tag starts or ends.
  for (;;) {
    vtextBlock* b = s->block;
    while (s->cursor < std::uint32_t(b->tagCount)) {
      std::uint32_t* e = b->tags[s->cursor];
      if (!isContinuation(e) && kindMatches(s->kind, vtextTagOfEntry(e))) break;
      ++s->cursor;
    }
    if (s->cursor < std::uint32_t(b->tagCount)) break;
    if (!b->next) return 0;
    s->block = b->next;
    s->cursor = 0;
  }
  vtextBlock* b = s->block;
  std::uint32_t offset = offsetOf(b->tags[s->cursor]);
  s->position = b->start + std::int32_t(offset);
  for (; s->cursor < std::uint32_t(b->tagCount) && offsetOf(b->tags[s->cursor]) == offset; ++s->cursor) {
    std::uint32_t* e = b->tags[s->cursor];
    if (isContinuation(e)) continue;
    vtextTag* tag = vtextTagOfEntry(e);
    if (!kindMatches(s->kind, tag)) continue;
    if (isStart(e))
      scanAdd(s, tag);
    else
      scanDrop(s, tag);
  }
  // A tag empty at the offset started and ended here: it is not active.
  for (std::int32_t i = s->count - 1; i >= 0; --i)
    if (vtextGetTagEnd(s->tags[i]) <= s->position) s->tags[i] = s->tags[--s->count];
  sortNewestFirst(s->tags, s->count);
  return 1;
}

void vtextFreeTagScan(vtextTagScan* scan) {
  if (scan->tags != scan->inlineTags) vmemFree(scan->tags);
  scan->tags = scan->inlineTags;
  scan->count = 0;
}

void vtextInitTagIterator(vtextTagIterator* it, vtext* text, vname kind, std::int32_t position) {
  it->text = text;
  it->kind = kind;
  it->block = blockOf(text, position);
  it->cursor = it->block->tags ? lowerBound(it->block, std::uint32_t(position - it->block->start)) : 0;
  it->current = nullptr;
}

int vtextNextTag(vtextTagIterator* it) {
  while (it->block) {
    while (it->cursor < std::uint32_t(it->block->tagCount)) {
      std::uint32_t* e = it->block->tags[it->cursor++];
      if (!isStart(e) || isContinuation(e)) continue;
      vtextTag* tag = vtextTagOfEntry(e);
      if (!kindMatches(it->kind, tag)) continue;
      it->current = tag;
      return 1;
    }
    it->block = it->block->next;
    it->cursor = 0;
  }
  it->current = nullptr;
  return 0;
}

std::int32_t vtextGetTagsInRange(vtext* text, vname kind, std::int32_t start, std::int32_t end, vtextTag*** array,
                                 std::int32_t* capacity, int onlyEndingByEnd) {
  std::int32_t count = 0;
  if (start >= 1) {
    vtextTagScan scan;
    vtextInitTagScan(&scan, text, kind, start - 1);
    vtextScanTags(&scan);
    for (std::int32_t i = 0; i < scan.count; ++i)
      if (!onlyEndingByEnd || vtextGetTagEnd(scan.tags[i]) <= end) append(array, capacity, &count, scan.tags[i]);
    vtextFreeTagScan(&scan);
  }
  vtextTagIterator it;
  vtextInitTagIterator(&it, text, kind, start);
  while (vtextNextTag(&it)) {
    vtextTag* tag = vtextGetIteratorTag(&it);
    if (vtextGetTagStart(tag) > end) break;
    if (vtextGetTagStart(tag) < start) continue;
    append(array, capacity, &count, tag);
  }
  return count;
}

std::int32_t vtextCollectTags(vtext* text, vname kind, std::int32_t start, std::int32_t end, vtextTag*** array,
                              int onlyEndingByEnd, int sort) {
  std::int32_t capacity = 10;
  *array = static_cast<vtextTag**>(vmemAlloc(10 * sizeof(vtextTag*)));
  std::int32_t count = vtextGetTagsInRange(text, kind, start, end, array, &capacity, onlyEndingByEnd);
  if (count == 0) {
    vmemFree(*array);
    *array = nullptr;
  } else if (sort) {
    sortNewestFirst(*array, count);
  }
  return count;
}

void vtextTrimContinuations(vtextBlock* block) {
  for (std::int32_t i = block->tagCount - 1; i >= 0 && isContinuation(block->tags[i]); --i) {
    vpoolFree(continuations, block->tags[i]);
    block->tags[i] = nullptr;
  }
}

std::int32_t _vtextDetachTags(vtext* text, vtextBlock* first, vtextBlock* last, bool atEnd, vtextTag*** out) {
  std::vector<vtextTag*> found;
  auto take = [&](vtextBlock* b, bool onlyAtZero) {
    for (std::int32_t i = 0; i < b->tagCount; ++i) {
      if (onlyAtZero && offsetOf(b->tags[i]) != 0) break;
      found.push_back(vtextTagOfEntry(b->tags[i]));
    }
  };
  for (vtextBlock* b = first;; b = b->next) {
    take(b, false);
    if (b == last) break;
  }
  if (atEnd && last->next) take(last->next, true);
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  *out = nullptr;
  if (found.empty()) return 0;
  *out = static_cast<vtextTag**>(vmemAlloc(found.size() * sizeof(vtextTag*)));
  // Oldest first, so that anchoring them again keeps their order at equal offsets.
  std::sort(found.begin(), found.end(), [](const vtextTag* a, const vtextTag* b) { return a->serial < b->serial; });
  for (std::size_t i = 0; i < found.size(); ++i) {
    _vtextRemoveTagInternal(text, found[i]);
    (*out)[i] = found[i];
  }
  return std::int32_t(found.size());
}

void _vtextReattachTag(vtext* text, vtextTag* tag) { anchor(text, tag); }

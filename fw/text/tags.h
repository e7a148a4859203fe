// Tags: ranges of a text with a kind that stay on their characters through
// edits, anchored in the blocks they start, pass through and end in.
//
// - Tags (`tags.h`): per-block entry arrays sorted by offset (continuation records, one per block a
//   tag passes through, sort last as their offsets lie past the block). An edit takes out every tag
//   with an entry in the blocks it touches (and those at offset 0 of the next block when it works at
//   a block's end), moves them by the edit rules on absolute positions, drops what a deletion
//   empties unless marked kept and anchors the rest again; tags elsewhere move with their blocks.
//   Random edits and the `textedit` fuzz target check the characters against a string, the line
//   tables against a full recalculation and every tag's anchoring after each step
//   (`tests/fw/text/edit_support.h`).
#pragma once
#include <cstdint>

#include "fw/text/text.h"

enum : std::uint32_t {
  vtextTagOFFSET = 0x0FFFFFFF,
  vtextTagSTART = 0x10000000,         // every start word
  vtextTagCONTINUATION = 0x20000000,  // continuation records only
  vtextTagSTICKY = 0x40000000,        // text inserted at the start never enters
  vtextTagKEEP = 0x80000000,          // kept when it becomes empty
};
inline constexpr std::int32_t vtextTagMAX_POSITION = 0x0FFFFFFF;

// Offsets are block-relative while the tag is added, absolute otherwise.
struct vtextTag {
  std::uint32_t startWord;
  vtextBlock* startBlock;
  std::uint32_t endWord;
  vtextBlock* endBlock;
  vname kind;
  std::uint32_t serial;
};

// One per block between a tag's start block and its end block.
struct vtextContinuation {
  std::uint32_t word;  // the end offset from this block's start, bit 29 set
  std::uintptr_t anchor;
  vtextTag* tag;
};

void vtextInitTag(vtextTag* tag);
// The text's next serial; "State" when the tag is added already.
std::uint32_t _vtextAddTag(vtext* text, vtextTag* tag);
void vtextRemoveTag(vtext* text, vtextTag* tag);
void _vtextRemoveTagInternal(vtext* text, vtextTag* tag);
void vtextSetTagRange(vtext* text, vtextTag* tag, std::int32_t start, std::int32_t end);
std::int32_t vtextGetTagStart(const vtextTag* tag);
std::int32_t vtextGetTagEnd(const vtextTag* tag);
int vtextCompareTagSerials(const vtextTag* a, const vtextTag* b);
bool vtextTagIsAdded(const vtextTag* tag);
// Marks a tag to stay when an edit empties it (both words carry the mark).
void vtextSetTagKeepWhenEmpty(vtextTag* tag, int on);
// The tag an entry of a block's array stands for.
vtextTag* vtextTagOfEntry(std::uint32_t* entry);

// The tags active at a position: start <= position < end, newest first.
struct vtextTagScan {
  vtext* text;
  vtextBlock* block;
  vname kind;
  std::int32_t position;
  std::uint32_t cursor;
  std::int32_t count, capacity;
  vtextTag** tags;  // the inline array until it overflows
  vtextTag* inlineTags[10];
};
void vtextInitTagScan(vtextTagScan* scan, vtext* text, vname kind, std::int32_t position);
int vtextScanTags(vtextTagScan* scan);
void vtextFreeTagScan(vtextTagScan* scan);

// Tag starts from a position on, in position order.
struct vtextTagIterator {
  vtext* text;
  vtextBlock* block;
  vname kind;
  std::uint32_t cursor;
  vtextTag* current;
};
void vtextInitTagIterator(vtextTagIterator* it, vtext* text, vname kind, std::int32_t position);
int vtextNextTag(vtextTagIterator* it);
inline vtextTag* vtextGetIteratorTag(const vtextTagIterator* it) { return it->current; }

// The tags over [start, end) into a caller's array (grown by 10, freed by
// the caller with vmemFree when it was not the caller's); the count.
std::int32_t vtextGetTagsInRange(vtext* text, vname kind, std::int32_t start, std::int32_t end, vtextTag*** array,
                                 std::int32_t* capacity, int onlyEndingByEnd);
std::int32_t vtextCollectTags(vtext* text, vname kind, std::int32_t start, std::int32_t end, vtextTag*** array,
                              int onlyEndingByEnd, int sort);
// Returns the continuation records at the tail of a block's entries to their pool.
void vtextTrimContinuations(vtextBlock* block);

// Every tag with an entry in the blocks first..last (and, with atEnd, the
// tags anchored at offset 0 of the block after last), taken out of the
// text with absolute offsets; the count. The array is the caller's to free.
std::int32_t _vtextDetachTags(vtext* text, vtextBlock* first, vtextBlock* last, bool atEnd, vtextTag*** out);
// The text class's adjust slot: whole lines for "Ruler" tags, then the
// other and the sticky rules, on a detached tag's absolute range.
void _vtextAdjustTag(vtext* text, vtextTag* tag, std::int32_t position, std::int32_t delta);
// Anchors a detached tag again, keeping its serial.
void _vtextReattachTag(vtext* text, vtextTag* tag);

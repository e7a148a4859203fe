// Rulers of a text: "Ruler" runs over whole lines, the text's list of
// rulers and its default ruler, the merge of the rulers of a line, tab
// stop editing, the flat stored form, and the tag arrays in serial order.
//
// - Rulers (`rulers.h`): "Ruler" runs over whole lines (to the last line's line end, or the text's
//   end), merged at a line oldest first (`vtextGetLineRuler`, and the layout over the default
//   ruler's stops; stops inserted in position order), tab stops edited within 5.0 of a position, the
//   ruler list and the default ruler (its runs follow a new one), the flat stored form ("Flags"
//   0x1FF7 when absent: `Wrap` on; "Name" skipped), and the tag arrays in serial order that storing
//   and copying read.
#pragma once
#include <cstdint>

#include "fw/text/tags.h"

struct vtextSelection;

inline void vtextSetRulerLines(vtext* text, vtextRuler* ruler, std::int32_t first, std::int32_t last) {
  vtextClassOf(text)->setRulerLines(text, first, last, ruler);
}
// A null ruler clears every ruler of the lines.
inline void vtextClearRulerLines(vtext* text, vtextRuler* ruler, std::int32_t first, std::int32_t last) {
  vtextClassOf(text)->clearRulerLines(text, first, last, ruler);
}
// The selection's lines widened to whole paragraphs, then notified.
void vtextSetSelectionRuler(vtext* text, vtextSelection* selection, vtextRuler* ruler);
void vtextSetLinesRuler(vtext* text, std::int32_t first, std::int32_t last, vtextRuler* ruler);
void vtextClearSelectionRuler(vtext* text, vtextSelection* selection, vtextRuler* ruler);

// The serial of the new run.
std::uint32_t vtextAddRulerTag(vtext* text, vtextRuler* ruler, std::int32_t start, std::int32_t end);
// As the style gatherer: the caller's array until full, then ours.
std::int32_t vtextGatherRulerTags(vtext* text, vtextRuler* filter, std::int32_t start, std::int32_t end,
                                  vtextTag*** array, std::int32_t capacity);
vtextRuler* vtextRunRuler(vtext* text, vtextTag* tag);
void vtextReplaceRuler(vtext* text, vtextRuler* from, vtextRuler* to);
void vtextSetDefaultRuler(vtext* text, vtextRuler* ruler);

// The ruler list.
void vtextAddRuler(vtext* text, vtextRuler* ruler);
void vtextRemoveRuler(vtext* text, vtextRuler* ruler);  // Arg when not listed
int vtextRulersEqual(const vtextRuler* a, const vtextRuler* b);
vtextRuler* vtextFindEqualRuler(vtext* text, const vtextRuler* ruler);

// Merges the tags' rulers into target, the last tag first.
void vtextMergeRulers(vtext* text, vtextTag** tags, std::int32_t count, vtextRuler* target);
void vtextMergeRuler(const vtextRuler* source, vtextRuler* target);
// A new ruler merging the rulers at the line's start (the caller's), or null.
vtextRuler* vtextGetLineRuler(vtext* text, std::int32_t line);

enum : int { vtextTAB_ADD = 1, vtextTAB_REMOVE = 2, vtextTAB_QUERY = 3, vtextTAB_CLEAR = 4 };
inline constexpr vfixed vtextTAB_TOLERANCE = 0x50000;
// Adding reads *type (0 when null); a query writes it and answers the stop's position.
std::int32_t vtextRulerEditTab(vtext* text, vtextRuler* ruler, vfixed position, int operation, int* type);

// A ruler of the class the resource names, else a vtextRuler from its attributes.
vtextRuler* vtextLoadRuler(vresource resource);

// New null-terminated arrays of the text's runs by ascending serial; vmemFree them.
vtextTag** vtextGetStyleTags(vtext* text);
vtextTag** vtextGetRulerTags(vtext* text);

void _vtextFillRulerSlots(vtextClassRec* c);

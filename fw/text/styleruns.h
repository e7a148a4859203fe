// Style runs: "Style" tags of a text, each giving a range the look of one
// style; runs overlap and the newest wins attribute by attribute. The
// text's own list of styles and its current style live here too.
//
// - Style runs (`styleruns.h`): pooled records of a "Style" tag and its style; runs never merge, the
//   newest wins at merge time, and a removal that splits a run gives the far piece the cut run's
//   serial (the text's counter restored). The style list grows by 4; a style leaving it moves the
//   last entry into its place. The window layer's apply-style hook entry applies a run. Joining
//   blocks (hidden runs) re-anchors the tags of the joined blocks and keeps the line count.
//   Gathering, cutting and replacing runs is one code for styles and rulers (`_vtextGatherRuns`,
//   `_vtextRemoveRuns`); an owned style or ruler leaving its list takes its runs with it. Applying
//   or removing a look lays out only the lines it touches (from the line before) until a break meets
//   an old one (`_vtextRelayoutRange`): 10,000 applications to a 1 MB text went from 2.5 s to 0.16
//   s.
#pragma once
#include <cstdint>

#include "fw/text/tags.h"

// A run record of the text's pool: the tag, then the style it applies.
struct vtextStyleRun {
  vtextTag tag;
  vtextStyle* style;
};

// The style list.
void vtextAddStyle(vtext* text, vtextStyle* style);
void vtextRemoveStyleEntry(vtext* text, vtextStyle* style);  // Arg when not listed
int vtextStyleEqual(const vtextStyle* a, const vtextStyle* b);
vtextStyle* vtextFindEqualStyle(vtext* text, const vtextStyle* style);
void vtextStyleCreateArray(vtextStyle** array, std::int32_t count);

void vtextSetCurrentStyle(vtext* text, vtextStyle* style);
// Runs over [start, end): one more on top, or the given style's (all but
// graphics' with null) cut away; "No Applied Style" when a given style
// was not there.
void vtextApplyStyle(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style);
void vtextRemoveStyle(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style);
void vtextApplyStyleToSelection(vtext* text, vtextSelection* selection, vtextStyle* style);
void vtextRemoveStyleFromSelection(vtext* text, vtextSelection* selection, vtextStyle* style);
inline void vtextHideSelection(vtext* text, vtextSelection* selection) {
  vtextClassOf(text)->hideSelection(text, selection);
}
inline void vtextUnhideSelection(vtext* text, vtextSelection* selection) {
  vtextClassOf(text)->unhideSelection(text, selection);
}
// A new style merging every run at the position (the caller's), or null.
vtextStyle* vtextGetStyleAt(vtext* text, std::int32_t position);
// The style of a run of the text's pool, null for a foreign "Style" tag.
vtextStyle* vtextRunStyle(vtext* text, vtextTag* tag);
// The run added last, null once it is gone.
vtextTag* vtextGetLastStyleRun();
void _vtextForgetStyleRun(const vtextTag* run);

// The class slots.
std::uint32_t _vtextAddStyleRun(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style);
std::int32_t _vtextRemoveStyleRuns(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style);
// The runs over [start, end] matching the filter (null: any) into *array,
// the caller's of the given capacity until full, then one of ours grown by
// 10 (free it when it is no longer the caller's); the count.
std::int32_t _vtextGatherStyleTags(vtext* text, vtextStyle* filter, std::int32_t start, std::int32_t end,
                                   vtextTag*** array, std::int32_t capacity);
void _vtextReplaceStyleInTags(vtext* text, vtextStyle* from, vtextStyle* to);

// What style runs and ruler runs share: a run record is a tag followed by
// the style or ruler it applies, from the text's pool of that kind.
void* _vtextRunObject(vtext* text, vtextTag* tag, bool ruler);
std::int32_t _vtextGatherRuns(vtext* text, bool ruler, void* filter, std::int32_t start, std::int32_t end,
                              vtextTag*** array, std::int32_t capacity);
// Cuts the runs (of object, or any) out of [start, end); "No Applied
// Style" or "No Applied Ruler" when a named object had none there.
std::int32_t _vtextRemoveRuns(vtext* text, bool ruler, std::int32_t start, std::int32_t end, void* object);
void _vtextReplaceInRuns(vtext* text, bool ruler, void* from, void* to);
// Takes every run of the object out of the text.
void _vtextDropRunsOf(vtext* text, bool ruler, void* object);
vtextTag* _vtextAddRulerRun(vtext* text, vtextRuler* ruler, std::int32_t start, std::int32_t end);
void _vtextSetOption32(vtext* text, int on);

// A range across an edit at position by delta (a deletion takes
// [position + delta, position)); 1 when the deletion swallowed it.
int vtextAdjustRange(std::int32_t* start, std::int32_t* end, std::int32_t position, std::int32_t delta);

void _vtextFillStyleRunSlots(vtextClassRec* c);

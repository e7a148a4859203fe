// Selections of a text and the queries that map positions to lines,
// columns and pixel x and back.
//
// - Selections (`selection.h`) come from a process-wide pool; the text's table reuses null entries
//   from index 0 and grows by one. An edit sends "before" to every registered selection, moves them
//   after the change (text inserted at a selection's start joins it) and "after" only to those that
//   moved. Line queries binary-search a block's table.
#pragma once
#include <cstdint>

#include "fw/text/text.h"

enum : std::uint8_t { vtextSEL_PLAIN = 0, vtextSEL_COLUMN = 1, vtextSEL_EXTEND = 3 };

void vtextInitSelection(vtext* text, vtextSelection* selection);
vtextSelection* vtextCreateSelection(vtext* text);
vtextSelection* vtextCreateSelectionFrom(vtext* text, vtextSelection* source);
void vtextCopySelection(vtext* owner, const vtextSelection* source, vtextSelection* target);
void vtextInitTempSelection(vtext* text, const vtextSelection* source, vtextSelection* target);
void vtextDestroySelection(vtext* text, vtextSelection* selection);
void vtextSetSelectionMode(vtext* text, vtextSelection* selection, int mode);
void vtextSetSelectionModeQuiet(vtext* text, vtextSelection* selection, int mode);
inline void vtextSetSelectionRange(vtext* text, vtextSelection* selection, std::int32_t start, std::int32_t end) {
  vtextClassOf(text)->setSelectionRange(text, selection, start, end);
}
// how: 1 the lines, 2 the first, 3 the last, 4 the last without its line
// end, 5 whole paragraphs.
void vtextSelectLines(vtext* text, vtextSelection* selection, std::int32_t first, std::int32_t last, int how);
void vtextGetParagraphLines(vtext* text, std::int32_t line, std::int32_t* first, std::int32_t* last);

struct vtextLineInfo {
  std::int32_t start;
  const char* chars;
  std::int32_t length;
  std::uint16_t height, descent;
  vtextX startX, endX;
  int paragraphStart;
};

std::int32_t vtextGetLineOfPosition(const vtext* text, std::int32_t position);
std::int32_t vtextGetLineStart(const vtext* text, std::int32_t line);
void vtextGetLineInfo(const vtext* text, std::int32_t line, vtextLineInfo* out);
std::int32_t vtextGetLinesHeight(const vtext* text, std::int32_t first, std::int32_t last);
std::int32_t vtextCountLinesInHeight(const vtext* text, std::int32_t height, std::int32_t line);
const char* vtextGetCharPointer(const vtext* text, std::int32_t position);
void vtextLocateBlock(const vtext* text, const vtextSelection* selection, vtextBlock** first, vtextBlock** last,
                      std::int32_t* offset);
std::int32_t vtextLineAndXToPosition(vtext* text, std::int32_t line, std::int32_t x, std::int32_t* index);
std::int32_t vtextGetPositionColumnValue(vtext* text, std::int32_t position);
// Lays out a line into the column cache: its entries, characters and first position.
vtextColumn* _vtextLayLine(vtext* text, std::int32_t line, std::int32_t* count, std::int32_t* start);
std::int32_t vtextGetPositionColumn(const vtext* text, std::int32_t position);
std::int32_t vtextCountSelectionLines(const vtext* text, const vtextSelection* selection);
std::int32_t vtextGetSelectionStartX(vtext* text, vtextSelection* selection);
std::int32_t vtextGetSelectionEndX(vtext* text, vtextSelection* selection);
void vtextOrderPair(std::int32_t* a, std::int32_t* b);

// An edit's moves of the registered selections other than the edited one:
// "before" to each, then their new ranges for an edit at position by delta
// (a deletion gives the end of the deleted range and a negative delta).
void _vtextNotifySelectionsBefore(vtext* text, vtextSelection* except);
void _vtextMoveSelections(vtext* text, vtextSelection* except, std::int32_t position, std::int32_t delta);
// The process's pool of selection records.
vpool* _vtextSelectionPool();

// The line walker: visits the lines of a selection (or of the whole text),
// hands each line's piece to a callback, gathers what the callback writes
// and replaces the visited lines with it in one edit.
//
// - The line walker (`walker.h`): one walk at a time ("State" on re-entry), an 8192-byte output
//   grown by 1024, callbacks answering 0 go on, 1 flush and revisit, 2/-1 stop; one edit replaces
//   the visited region at the end, none when nothing changed. Column selections are cut by the x of
//   their two ends; column insertion, deletion and styling go through it. Tab expansion (0x20) turns
//   each tab outside quotes into the blanks its laid-out width holds (at least one) and hands the
//   expanded piece on; compression (0x40) turns blanks reaching a stop of the line's merged ruler
//   (then `TabWidth` multiples) back into tabs. In-place walks (0x400) write output of the same
//   length and line ends over the characters, keeping their style runs, and announce it as a change
//   of style (case changes). The text model has no display conversion and no special runs.
#pragma once
#include <cstdint>
#include <string>

#include "fw/text/text.h"

enum : int {
  vtextWALK_READ_ONLY = 0x1,
  vtextWALK_AS_PLAIN = 0x4,
  vtextWALK_ASK_LINES = 0x8,
  vtextWALK_COPY_PIECE = 0x10,
  vtextWALK_EXPAND_TABS = 0x20,
  vtextWALK_CONVERT = 0x40,
  vtextWALK_WHOLE_LINES = 0x80,
  vtextWALK_FINAL_NEWLINE = 0x200,
  // Output as long as the lines it replaces, with the same line ends, is
  // written over the characters, so the style runs over them stay.
  vtextWALK_IN_PLACE = 0x400,
};

struct vtextWalk {
  vtext* text;
  std::int32_t line;
  std::int32_t linesLeft;
  std::int32_t regionStart;
  std::int32_t added, removed;
  char* buffer;  // null when the walk only reads
  char* write;
  char* end;
  std::int32_t leftX;          // the left column's x of a column walk
  std::int32_t pieceStart;     // text position of the piece being handed over
  std::int32_t pieceX;         // its x
  int lastLine;
  int insideQuotes, specialRun;
};

// Results: 0 go on; 1 the output is full: flush and visit the line again;
// 2 or -1 stop. With a piece, output is the write position and room the
// room left, set to the count written; without one the call sets up or asks.
using vtextLineFunction = std::int16_t (*)(const char* piece, std::intptr_t length, void* output,
                                           std::int32_t* room, vtextWalk* walk);

inline void vtextProcessLines(vtext* text, vtextSelection* selection, vtextLineFunction function, int flags,
                              void* option = nullptr) {
  vtextClassOf(text)->processLines(text, selection, reinterpret_cast<void*>(function), flags, option);
}
void _vtextProcessLines(vtext* text, vtextSelection* selection, void* function, int flags, void* option);
// Grows the output by 1024 bytes, moving the write position and *pointer with it.
void _vtextGrowWalkBuffer(vtextWalk* walk, char** pointer);

// Option bits of a walk with tabs: 1 only tabs before the line's first
// non-blank; 2 quotes do not protect; 8 no special runs are looked for.
// The piece of the walked line from its column index, its tabs as the
// spaces their drawn widths hold, appended to out; the count added.
std::int32_t _vtextExpandTabs(vtextWalk* walk, const char* piece, std::int32_t length, std::string* out,
                              std::int32_t column, std::uintptr_t options);
// Runs of spaces in output that reach a tab stop of the line's ruler
// become tabs, in place; the count removed.
std::int32_t _vtextCompressTabs(vtextWalk* walk, char* output, std::int32_t length, std::int32_t column,
                                std::uintptr_t options);

// The callbacks kept with the walker.
std::int16_t _vtextColumnPasteSource(const char* piece, std::intptr_t length, void* output, std::int32_t* room,
                                     vtextWalk* walk);
std::int16_t _vtextCopySink(const char* piece, std::intptr_t length, void* output, std::int32_t* room,
                            vtextWalk* walk);
// Set up with (null, 1 apply or 2 remove, style).
std::int16_t _vtextStyleApplier(const char* piece, std::intptr_t length, void* output, std::int32_t* room,
                                vtextWalk* walk);
// How many pieces a removal walk took the style from.
std::int32_t _vtextStyleApplierRemoved();
std::int16_t _vtextColumnDelete(const char* piece, std::intptr_t length, void* output, std::int32_t* room,
                                vtextWalk* walk);

std::int32_t vtextCopySelectionText(vtext* text, vtextSelection* selection, char* buffer, std::int32_t size);
std::int32_t vtextCopyRange(vtext* text, std::int32_t start, std::int32_t end, char* buffer, std::int32_t size);

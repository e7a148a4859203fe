// Operations of classes that higher libraries build (the notice, the list
// view, the standard combo), kept with the window layer; they reach their
// objects through the entries those libraries fill in vwindowHooks.
#pragma once
#include "fw/gui/window/hooks.h"

// Titles the notice's "No" button, making it (disabled and hidden) when the
// notice has none. The title is consumed.
void vnoticeSetNoTitleScribe(vinstance* notice, vscribe* title);

// Calls the list view's notify function when it is open, has one and its
// options do not silence it.
void vlistviewNotify(vinstance* listview, int code);

// The standard combo's default entry order: unsigned bytes, -1, 0 or 1.
int vcomboCompareEntries(const char* a, const char* b);
// Sorts the entries keeping the shown value, then announces "Content".
void vcomboSortEntries(vobject* combo);
// Answers the combo variant's own operation.
std::intptr_t vcomboForwardOperation(vinstance* combo);

// The text model: search over its chain of blocks, the per-piece step of
// styling a selection of several pieces, and tag records.
enum : int { vtextSEARCH_FORWARD = 1, vtextSEARCH_BACKWARD, vtextSEARCH_REGEXP_FORWARD, vtextSEARCH_REGEXP_BACKWARD };
// Nonzero stops the search at that character.
using vtextSearchTest = int (*)(vinstance* text, int previous, int c);
// The match's text position, or -1. Matches lie inside one block. With a
// test function the mode gives only the direction (1 or 2). The buffer
// gets at most size - 1 characters of the match and a NUL.
long vtextSearch(vinstance* text, long position, const char* pattern, char* buffer, int size, int mode,
                 vtextSearchTest test, int caseSensitive);

struct vtextStylePiece {
  vinstance* text;
  long base;
  std::int16_t offset;
};
// First call (no piece data): the style comes in the count's place and is
// remembered. Later calls style count characters at the piece's position.
std::int16_t _vtextApplyStyleStep(const void* pieceData, std::intptr_t count, const void* unused, long* replaced,
                                  const vtextStylePiece* piece);

struct vtextTagRecord {
  std::uint32_t first;  // a 28-bit offset under four flags
  std::uintptr_t words[5];
};
void vtextInitTagRecord(vtextTagRecord* record);

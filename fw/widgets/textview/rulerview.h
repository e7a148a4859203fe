// The ruler view: a dialog item that shows and edits the paragraph format
// of a text's selection (tab type, justification and line spacing buttons
// above a scale with the indents and tab stops as markers to drag). Every
// edit applies a ruler holding only the changes to the selection's
// paragraphs; without a text the view edits a ruler of its own.
#pragma once
#include <cstdint>

#include "fw/text/observer.h"
#include "fw/text/txtruler.h"
#include "fw/widgets/dialog/item.h"

struct vtextruler : vdialogItem {
  vtext* text;
  vtextSelection* selection;
  vtextRuler* ownRuler;
  vtextObserverClassRec* observerClass;
  vtextObserver* observer;
  std::uint8_t tabType;        // 0 left, 1 right, 2 center, 3 decimal
  std::uint8_t spacingButton;  // 8 single, 9 one and a half, 10 double
  std::uint8_t justifyButton;  // 4 + justification
  std::int32_t scaleOffset;    // of the scale's zero from the item's left edge
  std::int32_t scroll;
  std::int32_t firstLine, lastLine;  // of the selection last shown, -1 unknown
  vtextRuler* working;               // the attributes shown; owned
  std::uint32_t useOwnRuler;         // "UseDefault"
  std::uint32_t ownsOwnRuler;
};

struct vtextrulerClassRec : vdialogItemClassRec {
  vtextRuler* (*getRuler)(vtextruler* view);
  void (*setRuler)(vtextruler* view, vtextRuler* ruler);
  // At the current point: a tab stop of a type (10 the default tick), and
  // an indent (0 left, 1 first line, 2 right).
  void (*drawTabMarker)(vtextruler* view, int type);
  void (*drawIndentMarker)(vtextruler* view, int kind);
  std::int16_t borderInset;
};

inline vtextrulerClassRec* vtextrulerClassOf(const vtextruler* v) { return vclassRec<vtextrulerClassRec>(v); }
vtextrulerClassRec* vtextrulerGetDefaultClass();
vtextObserverClassRec* vtextrulerGetObserverClass();
vtextruler* vtextrulerCreate();
// The ruler view's own default ruler (the first own ruler of every view).
vtextRuler* vtextrulerGetDefaultRuler();
void vtextrulerSetText(vtextruler* view, vtext* text);
void vtextrulerSetSelection(vtextruler* view, vtextSelection* selection);
// Makes the working ruler again from the text (or the own ruler).
void vtextrulerRefresh(vtextruler* view);
inline vtextRuler* vtextrulerGetRuler(vtextruler* v) { return vtextrulerClassOf(v)->getRuler(v); }
inline void vtextrulerSetRuler(vtextruler* v, vtextRuler* r) { vtextrulerClassOf(v)->setRuler(v, r); }
// The x of a button's left edge in the item, and of the scale's zero.
int vtextrulerButtonX(const vtextruler* view, int index);
int vtextrulerScaleOrigin(const vtextruler* view);
// The start-up row: the view class, then the observer class.
void _vtextrulerStartupClasses();

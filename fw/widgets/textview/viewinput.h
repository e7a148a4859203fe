// The input-method context of a text view: it shows the characters being
// composed inside the text (underlined, the converted part inverted),
// replaces them as the composition changes and records each change for
// undo. The platform's input method drives it through update records.
#pragma once
#include <cstdint>

#include "fw/gui/window/inputmethod.h"

struct vtextview;
struct vtextStyle;

enum : std::uint32_t {
  vtextviewInputENABLED = 0x1,
  vtextviewInputBUSY = 0x2,       // the context itself is changing the text
  vtextviewInputCOMPOSING = 0x4,  // composed characters are in the text
  vtextviewInputINSERTING = 0x8,  // a replacement is under way
};

// One change of the composition, as the platform reports it.
using vtextviewInputUpdate = vinputUpdate;

struct _vtextviewInput : vinput {
  vtextview* view;
  std::uint32_t state;
  std::int32_t compositionStart, compositionLength;
  std::int32_t cursor;
  std::int32_t conversionStart, conversionLength;  // text positions; length 0: none
};

// Its update slot is the input class's (vinputClassRec::updateComposition).
struct _vtextviewInputClassRec : vinputClassRec {
  void (*reset)(_vtextviewInput* input);
};

_vtextviewInputClassRec* _vtextviewInputClass();
inline _vtextviewInputClassRec* _vtextviewInputClassOf(const _vtextviewInput* i) {
  return vclassRec<_vtextviewInputClassRec>(i);
}
// The composition and conversion styles ("Underline" On, "Invert" On).
vtextStyle* vtextviewGetCompositionStyle();
vtextStyle* vtextviewGetConversionStyle();

_vtextviewInput* vtextviewGetInput(vtextview* view);  // null without a context
void vtextviewCreateInput(vtextview* view);
void vtextviewDestroyInput(vtextview* view);
int vtextviewIsInputEnabled(vtextview* view);
void vtextviewSetInputEnabled(vtextview* view, int on);
void vtextviewInputFocusIn(vtextview* view);
void vtextviewInputFocusOut(vtextview* view);
void vtextviewInputOpen(vtextview* view);
void vtextviewInputClose(vtextview* view);
// Called for every change of the view's text before it happens.
void vtextviewInputBeforeChange(vtextview* view, std::int32_t position, std::int32_t change);
void vtextviewCancelComposition(vtextview* view);
void vtextviewRepositionComposition(vtextview* view);
void vtextviewSetInputArea(vtextview* view);
// Scrolls a range into view with the flags of show selection.
void vtextviewShowRange(vtextview* view, std::int32_t start, std::int32_t length, int flags);
// The start-up of a context: the class and the two styles; and their end.
void _vtextviewStartInput();
void _vtextviewEndInput();

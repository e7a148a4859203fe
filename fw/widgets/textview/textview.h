// Text views: the dialog item that shows one text through one selection
// its owner keeps, draws the visible lines with their styles, blinks a
// caret and scrolls with optional scroll bars. Its observer of the text
// redraws what each change touched.
#pragma once
#include <cstdint>

#include "fw/text/observer.h"
#include "fw/text/selection.h"
#include "fw/text/text.h"
#include "fw/widgets/controls/slider.h"
#include "fw/gui/window/clipboard.h"
#include "fw/widgets/dialog/item.h"

struct vtextview;
using vtextviewNotifyFunc = void (*)(vtextview* view, vevent* event, int reason);
using vtextviewUndoSink = void (*)(vtextview* view, vinstance* action);

enum : std::uint16_t {
  vtextviewNO_HORZ_SCROLL = 0x0002,
  vtextviewNO_VERT_SCROLL = 0x0004,
  vtextviewDRAG_EDIT = 0x0008,
  vtextviewGRAB_ALWAYS = 0x0040,
  vtextviewHORZ_BAR = 0x0080,
  vtextviewVERT_BAR = 0x0100,
  vtextviewAUTO_INSERT = 0x0200,
  vtextviewOFFSCREEN = 0x1000,
  vtextviewTRACKING = 0x2000,  // never stored
  vtextviewKEEP_BAR_MARGIN = 0x4000,
  vtextviewPASS_CLIENT = 0x8000,
};

// Reasons the client's notify function is called with.
enum : int {
  vtextviewNOTIFY_VERT = 1, vtextviewNOTIFY_HORZ = 2, vtextviewNOTIFY_FOCUS_OUT = 3, vtextviewNOTIFY_SELECTION = 5,
  vtextviewNOTIFY_RELEASE = 6, vtextviewNOTIFY_PRESS = 7
};

struct vtextview : vdialogItem {
  vrect content;
  std::int32_t scrollX;
  std::int32_t scrollY;  // first visible line, from 1
  std::uint16_t leftMargin;
  std::uint16_t rightMargin;  // the vertical inset
  vtextObserverClassRec* observerClass;
  vtextviewNotifyFunc notify;
  vtextviewUndoSink undoSink;
  vobject* auxObject;
  void* auxBuffer;
  std::uint8_t hiddenCount;
  vrect caret;
  std::int16_t caretXAtUpdate;
  vrect pointerRect;
  std::uint32_t viewFlags;  // ScrollTo 0-1, pointer 2-3, HiliteTo 8-9, Unfocus 10-12, Focus 13-15, phase 16-23, nesting 24-31
  std::uint16_t textViewFlags;
  std::uint16_t scrollBarMargin;
  vdialogItem* focusPart;
  std::uint8_t focused;
  vtextSelection* selection;
  vtext* text;
  vtextObserver* observer;
  vslider* horzBar;
  vslider* vertBar;
  vobject* inputContext;
  std::int16_t goalX;          // text x kept across vertical caret moves
  std::int32_t goalPosition;   // the caret position goalX belongs to
  vimage* offscreen;           // the text area's image with TextViewFlags 0x1000; owned
};

struct vtextviewClassRec : vdialogItemClassRec {
  void (*drawCaretShape)(vtextview* view, const vrect* caret);
  void (*setRunAttributes)(vtextview* view, vtextStyle* style);
  void (*changeHighlight)(vtextview* view, int phase);
  void (*drawCaret)(vtextview* view, int phase);
  void (*placeCaret)(vtextview* view);
  void (*scrollTo)(vtextview* view, std::int32_t firstLine, std::int32_t scrollX);
  void (*showSelection)(vtextview* view, int flags);
  void (*setText)(vtextview* view, vtext* text);
  void (*notifyClient)(vtextview* view, vevent* event, int reason);
  // Direction 0 left, 1 up, 2 right, 3 down; by line: 0 start of line,
  // 1 top of view, 2 end of line, 3 bottom of view.
  void (*moveCaret)(vtextview* view, int direction);
  void (*moveByLine)(vtextview* view, int direction);
  // Fills the rectangle with the background (colour 2); frames it.
  void (*drawBackground)(vtextview* view, const vrect* rect);
  void (*drawBorder)(vtextview* view, const vrect* rect);
  std::int16_t borderWidth;
  // Where an input method may show its composition: the text area.
  void (*inputRect)(vtextview* view, vrect* out);
};

inline vtextviewClassRec* vtextviewClassOf(const vtextview* v) { return vclassRec<vtextviewClassRec>(v); }
vtextviewClassRec* vtextviewGetDefaultClass();
vtextObserverClassRec* vtextviewGetObserverClass();
vtextview* vtextviewCreate();
void vtextviewSetSelection(vtextview* view, vtextSelection* selection);
inline void vtextviewSetText(vtextview* view, vtext* text) { vtextviewClassOf(view)->setText(view, text); }

// The highlight kind (0-7) of the view while it has no focus.
void vtextviewSetUnfocusedHighlight(vtextview* view, int kind);

// Makes or removes a scroll bar (TextViewFlags 0x0080 / 0x0100) and lays
// the view out again.
void vtextviewSetHorzBar(vtextview* view, int on);
void vtextviewSetVertBar(vtextview* view, int on);

// Both point to module-static rectangles, valid until the next call.
const vrect* vtextviewGetContentRect(vtextview* view);
const vrect* vtextviewGetTextArea(vtextview* view);

// The module's caret blink period; 0, 0 never blinks.
void vtextviewGetCaretBlinkInterval(std::int64_t* seconds, std::int64_t* nanoseconds);
// The five look options and the "Hilite" byte of the module's resources.
const std::int32_t* vtextviewGetLookOptions();
int vtextviewGetHilite();

// Hands the text's pending changes over as one undo action with the name
// (released either way); the action goes to the undo sink or is destroyed.
void vtextviewRecordUndo(vtextview* view, vscribe* name);
void vtextviewTakeUndoAction(vtextview* view, vinstance* action);
vclass* vtextviewGetUndoActionClass();
// The primary observer class that records a text's insertions and deletions
// into its pending change list (vtextSetObserverClass); typing at the caret
// coalesces into one record. Undoing a record resets the typing tracker.
vtextObserverClassRec* vtextUndoObserverClass();
// Copies a non-empty selection to the selection clipboard as a string.
void vtextviewCopyToSelectionClipboard(vtextview* view);
// The global and selection clipboards of the module; paste from either
// goes to the view in the clipboard's requester word.
vclipboard* vtextviewGetGlobalClipboard();
vclipboard* vtextviewGetSelectionClipboard();
// Types one character as a key press would: the text's typing, "Typing"
// recorded, the selection shown.
void vtextviewTypeChar(vtextview* view, int c);

// The start-up row: the view class, then the observer class.
void _vtextviewStartupClasses();

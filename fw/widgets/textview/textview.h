// Text views: the dialog item that shows one text through one selection
// its owner keeps, draws the visible lines with their styles, blinks a
// caret and scrolls with optional scroll bars. Its observer of the text
// redraws what each change touched.
//
// - `textview/textview.h`: `vtextview`, the dialog item that shows one `vtext` through a selection
//   its owner keeps. `textview.cpp` holds the module record (zeroed when made; the command space and
//   key map, the line measure buffer grown to the longest measured line, the caret timer from
//   "caretblinkinterval", the five look options and "Hilite", the two clipboards made on first use),
//   the class slots, the ten-key resource form (table-driven, "TextViewFlags" stored without
//   0x2000), the layout of the content rectangle and the two scroll bars (they share the view's item
//   list without being listed in it, so the view unhooks them before destroying them; a bar whose
//   range changed is redrawn whole through the view, a new value alone the bar redraws itself).
//   `textview_draw.cpp` draws the visible rows (rows walk the text's blocks once: the text's own
//   line look-ups walk its blocks from the first every time; only rows that meet the update region;
//   runs split at style changes, selection boundaries and tabs, and at marked characters when
//   invisibles are shown; key codes as hexadecimal pairs; underline, strikethrough, "Invert", hidden
//   text, graphics), the five highlight kinds in XOR, the caret in inverting mode, and holds
//   scroll-to (top line at most count - visible + 1; the scroll locks 0x0002/0x0004 hold except for
//   line, page and bar scrolling; a move of fewer than visible - 2 lines scrolls the pixels, the
//   text area and the edge caret's column, and draws the uncovered strip), show-selection (32-bit
//   sums, clamped), caret placement and the observer. The observer keeps a stack of change records
//   (pushed before a change, popped after): a change that leaves its line's start, its neighbours'
//   breaks, its metrics and the line count alone redraws that row from the change's column (at once
//   for one character), anything else the rows from its line down; selection changes invert the
//   highlight in place (while a press is tracked, only on the rows whose highlight changed).
//   `textview_probe` checks 300 random edits against a whole redraw. `textview_commands.cpp` holds
//   the 39 selector and 23 synthetic commands (one process-wide dictionary, never owned by a
//   context's space), the context's space (a clone of the dialog item's with "Command" and the
//   preference keys under "Key") and key map (the dialog item's bindings, the view's replacing
//   them), key presses (the key's command is queried with the operator in the query, so synthetic
//   commands can answer; then plain typing), the selectors of motion, paging, clipboard and simple
//   editing, undo hand-over (the text's pending changes wrapped in the view's undo action class) and
//   the paste notify of both clipboards (the requester word cleared by a destroyed view).
//   `textview_mouse.cpp`: the button slots: presses in the content rectangle (the left margin
//   included) grab-scroll (TextViewFlags 0x0040 or "Grab") or go to the tracker, the "Drag" button
//   clicked in place pastes the selection clipboard; presses on a bar go to the bar until release.
//   `textview_track.cpp`: the one-press tracker (process-wide state): click, double click at the
//   caret (words), triple click or a press more than 4 pixels left of the text (lines),
//   "Adjust"/"Extend" extension from the selection's near end, auto-scroll by the bars' steps at
//   each motion and every 10 ms outside, drag-and-drop editing (TextViewFlags 0x0008: a drop outside
//   the selection copies, an "Adjust" drag moves as "Cut" then "Paste"; a one-pixel insertion bar
//   drawn by the line drawing), "Auto Insert" padding (0x0200: line ends and blanks up to the press,
//   named "Typing") and grab scrolling. `viewinput.h`/`textview_input.cpp`: `_vtextviewInputClass`,
//   the view's input-method context (a `vinput` subclass made at init): update records replace the
//   composed characters in the text ("IM Insert", a replaced selection "Delete"), underline them and
//   invert the converted part, place the caret at the platform's cursor and commit; any other change
//   touching the composition, or a new text, cancels it; an update past the text's end resets the
//   context to idle. While a composition is shown the view's commands are swallowed. Linux has no
//   platform input method, so only scripted updates drive it. `rulerview.h`/`textview_ruler.cpp`:
//   `vtextruler`, the ruler view item (buttons from resource "vtextruler" "Normal"/"Selected" in
//   `vwexlin7.txt`, the scale's markers drawn by pen moves, drags with inverting feedback) and
//   `vtextrulerObserver`; edits build a ruler of changes merged into the tag covering exactly the
//   paragraphs, reuse an equal listed ruler or list a new one; a moved tab's old stop goes before
//   the new one is added, on the ruler of changes. `textview_edit.cpp` holds the commands over words
//   and lines (Transpose, the Windows-1252 case changes and Shift/Align as line-walker mappers, Sort
//   Lines over copied paragraphs, Duplicate, the line deletions). `textview_undo.cpp`:
//   `vtextUndoObserverClass`, a text's primary observer that turns insertions and deletions into
//   insert, delete and typing records on the text's pending list (a process-wide tracker coalesces
//   typing at the caret); a record's undo/redo runs with the primary observer taken off the text. A
//   case command on a recording text makes one case record (the characters before, replayed back in
//   place by the walk for undo, the command run again for redo). `bench/text_edit_commands` measures
//   "Sort Lines" over 100,000 lines and undoing a 10,000-character typing record. The shipped keys
//   are "Keys"/"vtextview" in `vwexlin7.txt` (Win95 in full, the other looks copy it);
//   `bench/text_view` measures a 100,000-line view with and without scroll bars.
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
  // How many of the pasted characters go in: all of them.
  std::int32_t (*pasteLength)(vtextview* view, const char* chars, std::int32_t length);
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

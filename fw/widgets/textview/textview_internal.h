// What the text view's files share: the module record and the helpers of
// layout and drawing.
#pragma once
#include "fw/core/dict.h"
#include "fw/core/timer.h"
#include "fw/gui/window/clipboard.h"
#include "fw/widgets/textview/textview.h"

struct vtextviewModule {
  vtextviewClassRec* viewClass;
  vtextObserverClassRec* observerClass;
  vdict* keys;         // "Keys" / "vtextview" / look; owned by the space once installed
  vcommandSpace* space;
  vdict* keyMap;  // key code + 1 -> command tag: the dialog item's, then the view's
  vclass* undoActionClass;
  vclipboard* globalClipboard;     // made on first use
  vclipboard* selectionClipboard;  // made on first use
  std::uint32_t dragFlag;          // the press came from the "Drag" button
  std::uint8_t tracking;           // 0 none, 2 selection tracking
  std::int16_t pressX, pressY;
  std::int32_t anchor;  // the selection end a drag keeps
  vtextColumn* measure;  // the line measure buffer, grown to the longest line measured
  std::int32_t measureCapacity;
  vtimer* caretTimer;  // data: the focused view, or null
  vtimer* autoScroll;  // made on first drag; data: the tracking view, or null
  vevent* currentEvent;
  std::int32_t lookOptions[5];
  std::uint8_t hilite;
  bool scrollLockOverride;  // page and line scrolling pass the scroll locks
  // While a press is tracked the highlight shown before a selection change
  // stays up, and after it only the rows whose highlight changed are toggled.
  bool trackedHighlight;
  std::int32_t trackedFrom, trackedTo;
  std::uint32_t toggledRows;  // rows whose highlight was toggled, counted for the probes
};

vtextviewModule* _vtextviewModule();
// Scrolls past the scroll locks (page, line and bar scrolling).
void _vtextviewScrollPastLocks(vtextview* view, std::int32_t firstLine, std::int32_t scrollX);
// The command dictionary of every context (made once) and a context's
// command space and key map made from it.
void _vtextviewMakeCommands();
void _vtextviewInstallCommands(vtextviewModule* m);
void _vtextviewFreeCommands();
// Key press, the selectors, the mouse and the clipboards.
void _vtextviewFillCommands(vtextviewClassRec* cls);
// The editing commands over words and lines: 1 done, 0 done and passed on
// to the superclass, -1 not one of them.
int _vtextviewIssueEdit(vtextview* view, int selector, vdict* args);
// Changes the case of the view's selection; with replay, puts those
// characters back in place instead. Outside replay, a text recording its
// changes gets one case record rather than the walk's edits.
void _vtextviewChangeCase(vtextview* view, int selector, const char* replay);
// Appends the record of a case change to the text's pending changes (it
// takes the saved characters).
void _vtextviewRecordCaseChange(vtextview* view, int selector, std::int32_t start, std::int32_t end, char* saved);
void _vtextviewFillMouse(vtextviewClassRec* cls);
void _vtextviewForgetPress(vtextview* view);
// Selection tracking of one press: phase 0 button down, 1 motion, 2 button
// up; a null point is the last one tracked (item coordinates).
void _vtextviewTrack(vtextview* view, const int* point, vevent* event, int phase);
void _vtextviewForgetTracking(vtextview* view);
// The drop position while a dragged selection's insertion bar is shown.
bool _vtextviewDropFeedback(const vtextview* view, std::int32_t* position);
// Extends the text with line ends and blanks up to a press past its end.
void _vtextviewPadToPoint(vtextview* view, int x, int y);
// Phase 0 remembers the point and the scroll; 1 makes the text follow it.
void _vtextviewGrabScroll(vtextview* view, int x, int y, int phase);
// Whether the view's input context shows a composition.
bool _vtextviewComposing(const vtextview* view);
// Registers the text pointer shape over the content rectangle unless it is.
void _vtextviewEnsurePointer(vtextview* view);
vclipboard* _vtextviewClipboard(bool global);
bool _vtextviewCaretTimerRuns();
void _vtextviewRestartCaretTimer();
vcolor* _vtextviewInvisiblesColor();
int _vtextviewCaretPhase(const vtextview* view);
void _vtextviewLayout(vtextview* view);
void _vtextviewUpdateBars(vtextview* view);
void _vtextviewSetBar(vtextview* view, bool vertical, bool on);
// Lines that fit in the text area from ScrollY, a partly shown one
// included, at least 1.
std::int32_t _vtextviewVisibleLines(vtextview* view);
// The drawing slots and the observer class.
void _vtextviewFillDrawing(vtextviewClassRec* cls);
vtextObserverClassRec* _vtextviewMakeObserverClass();
// The text position under a point of the item's coordinates.
std::int32_t _vtextviewHit(vtextview* view, int x, int y);
// Measures the line into the module's buffer: count columns, x of each
// gap in text-area coordinates (16.16), entry count the end.
vtextColumn* _vtextviewMeasureLine(vtextview* view, std::int32_t line, std::int32_t* count, std::int32_t* start);
// Copies count + 1 laid-out columns into the buffer, shifted to the text area.
// The largest ScrollX: 20479, or more where a line reaches further.
std::int32_t _vtextviewMaxScrollX(vtextview* view);
vtextColumn* _vtextviewCopyMeasure(vtextview* view, const vtextColumn* columns, std::int32_t count);

// What the list view's files share and no other folder needs.
#pragma once
#include "fw/widgets/lists/listview.h"

namespace vlistviewint {

int lookId();
bool hasCells(const vlistview* v);
// The view's offsets of its first visible cell in 32 bits: its 16-bit
// fields saturate at a cell wider or taller than they hold.
std::int32_t wideHOffset(vlistview* v);
std::int32_t wideVOffset(vlistview* v);
void invalContent(vlistview* v);
// Content rectangle, visible range and scroll bars afresh.
void recompute(vlistview* v);
// Class slots of the engine.
void scrollTo(vlistview* v, std::int32_t x, std::int32_t y);
void setBar(vlistview* v, int on, bool vertical);
void setAxisSize(vlistview* v, std::int32_t index, std::int32_t size, int axis);

// The pointer and key slots; forgetting a press stops its timer (null:
// whichever press is tracked).
int buttonDown(vdialogItem* item, vevent* e);
int buttonUp(vdialogItem* item, vevent* e);
int motion(vdialogItem* item, vevent* e);
int keyDown(vdialogItem* item, vevent* e);
void installInput(vlistviewClassRec* c);
void forgetPress(vlistview* v);
// A press in a bar about to be destroyed is forgotten.
void forgetBarPress(const vslider* bar);
void clearTypeAhead();
// The rectangle from the anchor to the focus cell added to the shown
// selection as one reported change.
void extendFromFocus(vlistview* v);
// The view's notify slot (the global hook, then its notify function).
void notifyView(vlistview* v, int code);
// The cells whose state differs between two selections, invalidated.
void redrawSelectionDifference(vlistview* v, const vlistSelection* a, const vlistSelection* b);
// The same cells drawn at once, each with its state in the second
// selection (invalidated when the view cannot draw now).
void drawSelectionDifferenceNow(vlistview* v, const vlistSelection* a, const vlistSelection* b);
// The focus as a repaint draws it (option, active, no counted press).
void drawFocus(vlistview* v);
// One visible cell's four steps, its state taken from the selection.
void drawOneCell(vlistview* v, std::int32_t row, std::int32_t column, const vlistSelection* shown);
// The observer class, and an observer of the view owned by its list.
vlistObserverClassRec* buildObserverClass();
vlistObserver* createObserver(vlistObserverClassRec* cls, vlistview* v);
// The command tag the list view class binds to a key value, or null.
vname classKeyTag(std::uint32_t key);
// The scroll bars placed in their strips beside the content.
void placeBars(vlistview* v);
// Selectors 8-17 (begin, end, arrows, pages); -1 for any other.
int moveSelector(vlistview* v, int selector, vdict* context);

// The selection a drawing shows: the work selection during a press
// (not a grab), else the view's.
const vlistSelection* selectionShown(vlistview* v);
void installDrawing(vlistviewClassRec* c);
// The row or column being dragged to a new place, -1 when none; the
// pointer last recorded while tracking.
std::int32_t dropIndex(const vlistview* v);
void trackedPoint(int* x, int* y);
// Drawing outside an update: the view's drawing state, clipped to the
// content, around the call; nothing unless the view is shown in a window.
bool canDrawNow(vlistview* v);
void beginDrawNow(vlistview* v);
void endDrawNow();
template <class F>
void drawNow(vlistview* v, F body) {
  if (!canDrawNow(v)) return;
  beginDrawNow(v);
  body();
  endDrawNow();
}

}  // namespace vlistviewint

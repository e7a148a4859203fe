// What the list view's files share and no other folder needs.
#pragma once
#include "fw/widgets/lists/listview.h"

namespace vlistviewint {

int lookId();
bool hasCells(const vlistview* v);
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
void forgetPress(vlistview* v);
void clearTypeAhead();
// The view's notify function when it is open and not silenced.
void notifyView(vlistview* v, int code);
// Selectors 8-17 (begin, end, arrows, pages); -1 for any other.
int moveSelector(vlistview* v, int selector, vdict* context);

// The selection a drawing shows: the work selection during a press
// (not a grab), else the view's.
const vlistSelection* selectionShown(vlistview* v);
void installDrawing(vlistviewClassRec* c);

}  // namespace vlistviewint

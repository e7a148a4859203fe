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

}  // namespace vlistviewint

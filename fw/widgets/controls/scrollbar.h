// Scroll bars: a slider whose size hints, trough and thumb geometry, hit
// testing and drawing follow the look chosen when the class is built.
// Views own them and react to their "Value" announcements.
#pragma once
#include "fw/widgets/controls/slider.h"

vsliderClassRec* vsliderScrollBarGetDefaultClass();
vslider* vsliderScrollBarCreate();

// The part under a point (-1: none) as a press would find it, without
// storing it.
int _vsliderScrollBarPartAt(vslider* bar, int x, int y);
// The Open Look scroll menu's first two choices for a press at (x, y):
// the distance to the trough's end as a share of the view, back ("Here to
// left") or forward ("Left to here"); clamped to [min, max].
void _vsliderScrollBarScrollFromPress(vslider* bar, int x, int y, bool back, vevent* event);

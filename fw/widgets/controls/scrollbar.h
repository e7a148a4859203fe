// Scroll bars: a slider whose size hints, trough and thumb geometry, hit
// testing and drawing follow the look chosen when the class is built.
// Views own them and react to their "Value" announcements.
//
// - `controls/scrollbar.h`: `vsliderScrollBar`, spawned from the slider; the look is fixed when the
//   class is built (its start-up builds the scroll bar first, which builds the slider on the way).
//   `scrollbar.cpp` holds the per-look trough, thumb length, sizes and part finding (one `partAt`
//   serves the press and the hit tests of held parts), the part tables (CUA actions redraw an arrow
//   whose end state changed; Open Look's elevator carries its own arrows and keeps the pointer on
//   it) and the Open Look scroll menu; `scrollbar_draw.cpp` the whole-bar, part and focus drawings
//   with the Windows and CUA colour sets. The look's glyph font has no elevator glyphs, so the
//   Open Look elevator falls back to an outlined box. A Win95 bar clips its dither pattern to the
//   update's damage itself (the pattern's clip would reach past it).
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

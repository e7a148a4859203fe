// What the scroll bar's geometry and drawing files share.
#pragma once
#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/controls/slider_internal.h"

namespace vscrollint {

// The look the class was built for.
int lookId();
int imageWidth(int index);
int imageHeight(int index);
// Active: enabled and not showing its whole range.
bool active(vslider* s);

// Whole bars.
void drawWindows(vslider* s);
void drawWin95(vslider* s);
void drawMotif(vslider* s);
void drawCua(vslider* s);
void drawOpenLook(vslider* s);
void drawFocus(vslider* s);
// Parts, pressed (on) or released.
void drawArrow(vslider* s, bool forward, bool pressed);
void drawPage(vslider* s, bool forward, bool pressed);
void drawThumbPart(vslider* s, bool pressed);
void drawAnchor(vslider* s, bool far, bool pressed);
// The box of a CUA arrow, dimmed while the value sits at its end.
vrect cuaArrowBox(vslider* s, bool forward);

}  // namespace vscrollint

// What the slider's geometry and drawing files share.
#pragma once
#include "fw/widgets/controls/slider.h"

namespace vsliderint {

inline bool vertical(const vcontrol* s) { return (s->controlFlags & vcontrolVERTICAL) != 0; }
inline int along(const vrect& r, bool v) { return v ? r.y : r.x; }
inline int alongLength(const vrect& r, bool v) { return v ? r.height : r.width; }
inline int across(const vrect& r, bool v) { return v ? r.x : r.y; }
inline int acrossLength(const vrect& r, bool v) { return v ? r.width : r.height; }
// A rectangle given along and across the slider's axis.
inline vrect axisRect(bool v, int a, int c, int la, int lc) {
  return v ? vrect{std::int16_t(c), std::int16_t(a), std::int16_t(lc), std::int16_t(la)}
           : vrect{std::int16_t(a), std::int16_t(c), std::int16_t(la), std::int16_t(lc)};
}

// Whole drawings per look (the item's drawing state already set).
void drawMotif(vslider* s);
void drawOpenLook(vslider* s);
void drawCua(vslider* s);
// Pressed parts.
void drawOpenLookEndPressed(vslider* s, bool far);
void drawCuaStepPressed(vslider* s, bool forward);
void drawCuaPagePressed(vslider* s, bool forward);

}  // namespace vsliderint

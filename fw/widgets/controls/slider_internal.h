// What the slider's geometry and drawing files share.
#pragma once
#include "fw/gui/graphics/draw.h"
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

// The pressed slider's track and the pointer's offset from the thumb's
// leading edge (the grab offset); one slider is pressed at a time.
struct Press {
  vrect track;
  int anchor;
};
extern Press press;

// What the scroll bar takes from the slider.
int motifThumb(vslider* s, int thickness, int length);
// The thumb's pixels follow it from old; what it uncovered is redrawn.
void moveThumb(vslider* s, const vrect& old);
// Inside the track: page back, thumb or page forward by the grab offset.
bool chooseOnTrack(vslider* s, vevent* e, int pageBackBelow);
int moveTo(vslider* s, std::int64_t value);
int hitThumb(vcontrol* c, vevent* e);
int stepBack(vcontrol* c, vevent* e);
int stepForward(vcontrol* c, vevent* e);
int toMinimum(vcontrol* c, vevent* e);
int toMaximum(vcontrol* c, vevent* e);
int drag(vcontrol* c, vevent* e);

// Colour and fill helpers of the drawing files: a missing colour keeps
// the current one; an empty rectangle draws nothing.
inline void useColor(vcolor* c) {
  if (c) vdrawSetColor(c);
}
inline void fillRect(vcolor* c, const vrect& r) {
  if (r.width <= 0 || r.height <= 0) return;
  useColor(c);
  vdrawFillRects(&r, 1);
}

// The Windows and Win95 looks' own routines.
extern const vcontrolPart kWindowsSliderParts[7];
extern const vcontrolPart kWin95SliderParts[7];
void windowsSliderSize(vslider* s, int* w, int* h);
void win95SliderSize(vslider* s, int* w, int* h);
void windowsSliderTrack(vslider* s, vrect* out);
void win95SliderTrack(vslider* s, vrect* out);
int mswSliderThumb(vslider* s, int thickness, int length);
void mswSliderChoose(vslider* s, vevent* e);
void drawWindowsSlider(vslider* s);
void drawWin95Slider(vslider* s);

// Whole drawings per look (the item's drawing state already set).
void drawMotif(vslider* s);
void drawOpenLook(vslider* s);
void drawCua(vslider* s);
// Pressed parts.
void drawOpenLookEndPressed(vslider* s, bool far);
void drawCuaStepPressed(vslider* s, bool forward);
void drawCuaPagePressed(vslider* s, bool forward);

}  // namespace vsliderint

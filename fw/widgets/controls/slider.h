// Sliders: a thumb that moves along a track between the control's minimum
// and maximum, with step and page parts beside it, dragging, keyboard
// selectors, and per-look geometry and drawing. The scroll bar spawns
// from it.
//
// - `controls/slider.h`: `vslider`. `slider.cpp` holds the geometry (the thumb's start from the
//   value, halving ranges above 1,048,576; the value of a dragged thumb, dividing first from
//   1,048,577), the part tables (shared by both orientations: each hit test reads it), the keyboard
//   selectors and a per-look row of sizes, track, thumb length, part choice and drawing;
//   `slider_draw.cpp` the Motif, Open Look and CUA drawings. `slider_msw.cpp` holds the Windows and
//   Win95 looks' own sizes, troughs, 11-pixel thumb, part finding (Windows: two 17-pixel buttons
//   past the trough) and drawings; the class owns their 0.5 s blink timer, started when a slider
//   takes the focus and stopped when it loses it or closes. Tick spacing over an empty range draws
//   no marks. The Win95 thumb is drawn from a private copy of the look's palette image (pointed
//   towards tick marks, square without them; turned on its side for a vertical slider) whose face,
//   highlight and dark entries take the item's colours.
#pragma once
#include "fw/widgets/controls/control.h"

struct vslider : vcontrol {};

struct vsliderClassRec : vcontrolClassRec {
  void (*getTrackRect)(vslider* slider, vrect* out);
  int (*getThumbLength)(vslider* slider, int thickness, int trackLength);
  // Clamps and stores without a "Value" announcement and moves the thumb.
  void (*setValueMoving)(vslider* slider, std::int32_t value);
};

inline vsliderClassRec* vsliderClassOf(const vslider* s) { return vclassRec<vsliderClassRec>(s); }
vsliderClassRec* vsliderGetDefaultClass();
vslider* vsliderCreate();
// The start-up row: the scroll bar's getter first when it exists, then the slider.
void _vsliderStartupClasses();

inline void vsliderGetTrackRect(vslider* s, vrect* out) { vsliderClassOf(s)->getTrackRect(s, out); }
inline int vsliderGetThumbLength(vslider* s, int thickness, int length) {
  return vsliderClassOf(s)->getThumbLength(s, thickness, length);
}
inline void vsliderSetValueMoving(vslider* s, std::int32_t v) { vsliderClassOf(s)->setValueMoving(s, v); }

// Part indexes of the seven-part tables.
enum : int {
  vsliderNEAR_END, vsliderSTEP_BACK, vsliderPAGE_BACK, vsliderTHUMB, vsliderPAGE_FORWARD, vsliderSTEP_FORWARD,
  vsliderFAR_END
};
// The part table the class uses for this slider's orientation.
const vcontrolPart* vsliderGetParts(vslider* slider);

// The thumb's start along the track for the slider's value (the thumb
// length and track taken from the slider), 64-bit safe.
int vsliderThumbStart(vslider* slider, const vrect* track, int thumbLength);
// The value a thumb starting off pixels into the track stands for.
std::int32_t vsliderValueAt(vslider* slider, int off, int trackLength, int thumbLength);

// The slider whose thumb the class's blink timer redraws (Windows and
// Win95 looks), or null; set on focus, cleared on unfocus.
void _vsliderSetBlinkTarget(vslider* slider);
vslider* _vsliderGetBlinkTarget();
int _vsliderGetBlinkPhase();

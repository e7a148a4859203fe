// Sliders: a thumb that moves along a track between the control's minimum
// and maximum, with step and page parts beside it, dragging, keyboard
// selectors, and per-look geometry and drawing. The scroll bar spawns
// from it.
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

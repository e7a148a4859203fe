// Spinners: a one-line text field with an up and a down arrow beside it.
// The numeric spinner steps an integer through the control's range and
// shows it in decimal; the text spinner steps through a list of strings
// (the value is the row). Typed text is taken over on Return, before the
// next step, when the focus leaves and when the value is read
// (vcontrolGetValue), so a dialog reads the number it shows; a held arrow
// repeats at most once a tenth of a second, one rate shared by every
// spinner of the process.
//
// - `controls/spinner.h`: `vspinnerNumeric` and `vspinnerText` (the value is the row of a
//   `vliststr`), controls owning a one-line text item as their field: it shares the spinner's item
//   list without being listed in it, so the spinner opens, draws, focuses, destroys (its owner
//   cleared first) and hands it keys and presses. Steps take typed text over first and pass a
//   process-wide gate (next step = event time + 0.1 s; no event, no gate); the base control's repeat
//   then gives steps at 0, 0.2, 0.3 s... Three part records (increment, decrement, field) are built
//   once for the look of the process; `spinner_look.cpp` holds per look the sizes, field rectangle,
//   half-open arrow zones, drawings and focus rings. Layout and the list's sort wait for the next
//   drawing, press or lookup. Typed text is also taken when the spinner loses the focus (text that
//   is no number gives way to the value) and before its value is read through `vcontrolGetValue`
//   (the control's `getValue` slot, the stored value in the base), so a dialog never acts on a
//   number other than the one shown.
#pragma once
#include <cstdint>

#include "fw/core/event.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/lists/liststr.h"

enum : std::uint32_t {
  vspinnerEDITABLE = 0x1,
  vspinnerWRAP = 0x2,
  vspinnerLAYOUT_PENDING = 0x4,
  vspinnerSORT_PENDING = 0x8,
  vspinnerSORTED = 0x10,
};

struct vspinner : vcontrol {
  std::uint32_t spinnerFlags;
  vliststr* list;    // the text spinner's strings, owned; null in a numeric one
  vtextitem* field;  // owned
};

struct vspinnerClassRec : vcontrolClassRec {
  int (*compareText)(const char* a, const char* b);  // null: no order
  void (*markLayout)(vspinner* s);
  void (*layoutText)(vspinner* s);
  void (*setEditable)(vspinner* s, int on);
  void (*setWrap)(vspinner* s, int on);
  void (*setSorted)(vspinner* s, int on);
  void (*setTextList)(vspinner* s, vliststr* list);  // null: a new empty list
  void (*setTextAt)(vspinner* s, vscribe* text, int index);
  void (*markSort)(vspinner* s);
  void (*sort)(vspinner* s);
  void (*appendText)(vspinner* s, vscribe* text);
  void (*deleteText)(vspinner* s, vscribe* text);
  void (*deleteTextAt)(vspinner* s, int index);
  void (*setValueText)(vspinner* s, vscribe* text);
  int (*findText)(vspinner* s, vscribe* text);  // -1 when absent
};

inline vspinnerClassRec* vspinnerClassOf(const vspinner* s) { return vclassRec<vspinnerClassRec>(s); }
vspinnerClassRec* vspinnerNumericGetDefaultClass();
vspinnerClassRec* vspinnerTextGetDefaultClass();
vspinner* vspinnerNumericCreate();
vspinner* vspinnerTextCreate();
// The start-up row: both classes.
void vspinnerStartup();

inline void vspinnerMarkLayout(vspinner* s) { vspinnerClassOf(s)->markLayout(s); }
inline void vspinnerLayoutText(vspinner* s) { vspinnerClassOf(s)->layoutText(s); }
inline void vspinnerSetEditable(vspinner* s, int on) { vspinnerClassOf(s)->setEditable(s, on); }
inline void vspinnerSetWrap(vspinner* s, int on) { vspinnerClassOf(s)->setWrap(s, on); }
inline void vspinnerSetSorted(vspinner* s, int on) { vspinnerClassOf(s)->setSorted(s, on); }
inline void vspinnerSetTextList(vspinner* s, vliststr* l) { vspinnerClassOf(s)->setTextList(s, l); }
inline void vspinnerSetTextAt(vspinner* s, vscribe* t, int i) { vspinnerClassOf(s)->setTextAt(s, t, i); }
inline void vspinnerMarkSort(vspinner* s) { vspinnerClassOf(s)->markSort(s); }
inline void vspinnerSort(vspinner* s) { vspinnerClassOf(s)->sort(s); }
inline void vspinnerAppendText(vspinner* s, vscribe* t) { vspinnerClassOf(s)->appendText(s, t); }
inline void vspinnerDeleteText(vspinner* s, vscribe* t) { vspinnerClassOf(s)->deleteText(s, t); }
inline void vspinnerDeleteTextAt(vspinner* s, int i) { vspinnerClassOf(s)->deleteTextAt(s, i); }
inline void vspinnerSetValueText(vspinner* s, vscribe* t) { vspinnerClassOf(s)->setValueText(s, t); }
inline int vspinnerFindText(vspinner* s, vscribe* t) { return vspinnerClassOf(s)->findText(s, t); }
inline bool vspinnerIsEditable(const vspinner* s) { return (s->spinnerFlags & vspinnerEDITABLE) != 0; }
inline bool vspinnerIsWrap(const vspinner* s) { return (s->spinnerFlags & vspinnerWRAP) != 0; }

// The part records of the process (increment, decrement, field), made for
// the look the classes were built in.
const vcontrolPart* vspinnerGetParts();
// The next time an arrow may step; an earlier event steps nothing.
vsysTime _vspinnerGetNextStepTime();

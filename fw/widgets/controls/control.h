// Value-range controls: the base of sliders, scroll bars, option menus,
// toggles and spinner parts. A control is a dialog item that keeps an
// integer value inside [min, max - view], announces every change, and
// tracks the pointer through part records that its subclass supplies
// (press, drag with hit testing, auto-repeat while held, release).
//
// - `controls/control.h`: `vcontrol`, the value-range item (value, min, max, view, increment, page)
//   whose setters clamp to [min, max - view] in 64-bit arithmetic and announce each change; pointer
//   tracking goes through constant part records of the subclass (hit test, pressed and released
//   drawings, action, release action). One auto-repeat is pending in the whole process: a copy of
//   the press becomes a priority-63 drag event posted 0.2 s later (motion of that control ignored
//   for 0.15 s), handled in two stages (start-up check, then motion at its own stamp); later repeats
//   are posted 0.05 s apart rather than once a loop pass, so their rate does not depend on the
//   machine. A destroyed control's queued repeat does nothing. `_vcontrolBeginItemDrawing` binds an
//   item drawn outside an update (and resets the device clip a rebinding keeps).
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/item.h"

struct vcontrol;

// One part of a control (an arrow, a page area, a thumb): constant records
// of the subclass.
struct vcontrolPart {
  std::uint32_t flags;
  int (*hitTest)(vcontrol* control, vevent* event);  // null: inside the item rectangle
  void (*pressedDrawing)(vcontrol* control);
  void (*releasedDrawing)(vcontrol* control);
  int (*action)(vcontrol* control, vevent* event);  // 1: notify
  int (*releaseAction)(vcontrol* control);          // 1: notify
};
enum : std::uint32_t { vcontrolPartREPEAT = 1, vcontrolPartRELEASE_ACTION = 2, vcontrolPartSTAY_PRESSED = 4 };

enum : std::uint16_t {
  vcontrolVERTICAL = 0x01,
  vcontrolEXCLUSIVE = 0x02,
  vcontrolWHOLE_RANGE = 0x04,  // max - view <= min
  vcontrolTICK_MARKS = 0x08,
  vcontrolPRESSED = 0x10,
  vcontrolSTORED_FLAGS = 0x0F,
};

struct vcontrol : vdialogItem {
  std::int32_t value, min, max;
  std::int16_t view, increment, page;
  std::uint16_t controlFlags;
  vrect indicator;  // the area that changes with the value
  const vcontrolPart* activePart;
};

struct vcontrolClassRec : vdialogItemClassRec {
  void (*computeIndicator)(vcontrol* control);
  void (*placeIndicator)(vcontrol* control);  // nothing by default
  void (*choosePart)(vcontrol* control, vevent* event);
  void (*pressPart)(vcontrol* control);
  void (*releasePart)(vcontrol* control);
  void (*setVertical)(vcontrol* control, int on);
  void (*setExclusive)(vcontrol* control, int on);
  void (*setTickMarks)(vcontrol* control, int on);
  void (*setValue)(vcontrol* control, std::int32_t value);
  void (*setMin)(vcontrol* control, std::int32_t min);
  void (*setMax)(vcontrol* control, std::int32_t max);
  void (*setView)(vcontrol* control, int view);
  void (*setIncrement)(vcontrol* control, int increment);
  void (*setPage)(vcontrol* control, int page);
  void (*setIndicatorRect)(vcontrol* control, const vrect* rect);
  void (*setActivePart)(vcontrol* control, const vcontrolPart* part);
  // The value as the user left it: a control with pending input takes it
  // first. The base answers the stored value.
  std::int32_t (*getValue)(vcontrol* control);
};

inline vcontrolClassRec* vcontrolClassOf(const vcontrol* c) { return vclassRec<vcontrolClassRec>(c); }
vcontrolClassRec* vcontrolGetDefaultClass();
vcontrol* vcontrolCreate(vcontrolClassRec* cls);
// The start-up row: builds the control classes.
void _vcontrolStartupClasses();

// Attribute numbers after the dialog item's 0-19.
enum : int {
  vcontrolA_VERTICAL = 20, vcontrolA_EXCLUSIVE, vcontrolA_TOGGLE, vcontrolA_VALUE, vcontrolA_MIN, vcontrolA_MAX,
  vcontrolA_VIEW, vcontrolA_INCREMENT, vcontrolA_PAGE, vcontrolA_SELECTION
};

inline void vcontrolSetValue(vcontrol* c, std::int32_t v) { vcontrolClassOf(c)->setValue(c, v); }
inline std::int32_t vcontrolGetValue(vcontrol* c) { return vcontrolClassOf(c)->getValue(c); }
inline void vcontrolSetMin(vcontrol* c, std::int32_t v) { vcontrolClassOf(c)->setMin(c, v); }
inline void vcontrolSetMax(vcontrol* c, std::int32_t v) { vcontrolClassOf(c)->setMax(c, v); }
inline void vcontrolSetView(vcontrol* c, int v) { vcontrolClassOf(c)->setView(c, v); }
inline void vcontrolSetIncrement(vcontrol* c, int v) { vcontrolClassOf(c)->setIncrement(c, v); }
inline void vcontrolSetPage(vcontrol* c, int v) { vcontrolClassOf(c)->setPage(c, v); }
inline void vcontrolSetVertical(vcontrol* c, int on) { vcontrolClassOf(c)->setVertical(c, on); }
inline void vcontrolSetExclusive(vcontrol* c, int on) { vcontrolClassOf(c)->setExclusive(c, on); }
inline void vcontrolSetTickMarks(vcontrol* c, int on) { vcontrolClassOf(c)->setTickMarks(c, on); }

// 1 when the stored value changed: min(value, max - view), then at least min.
int vcontrolClampValue(vcontrol* control, std::int32_t value);
std::int32_t vcontrolGetReversedValue(const vcontrol* control);
void vcontrolSetReversedValue(vcontrol* control, std::int32_t value);

// The drawing set-up of an item drawn outside an update: the owner's
// drawing state, then the item's; the caller brackets it with
// vdrawGSave/vdrawGRestore. False when the item is not shown.
bool _vcontrolBeginItemDrawing(vdialogItem* item);

// The control whose auto-repeat is pending, or null.
vcontrol* _vcontrolGetPendingRepeat();

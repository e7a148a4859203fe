// Domain views: a dialog item showing a scrollable window onto a domain.
// It maps domain coordinates to its own, draws the objects under its
// visible area in stacking order, keeps its own selection in the domain
// through its selection slot and answers the editing and arranging
// selectors. A domain item is a domain view that makes and owns its domain.
//
// - `domains/domainview.h`: `vdomainview`, a dialog item showing a domain through an affine
//   transform (orientation 1 flips y; rounding is floor(v + 0.5)); `vdomainitem` makes and owns its
//   domain (`vdomainitemDomain`) and takes a selection slot in it. The view's flag word is
//   `viewAttributes` (the item's own `attributes` record stays the item's). `domainview.cpp` holds
//   the classes (per module context, with the object clipboard: copies in the domain module's pools,
//   emptied on a domain change and before each copy), layout, scrolling (clamped to 0 .. bounds -
//   area; the visible set found with filter 102), drawing (last to first so the first object is on
//   top, highlights after) and the stored form; `domainview_select.cpp` the selectors (cut, copy
//   left unhandled, clear, paste kept inside the bounds, duplicate at +20, select all, display
//   selection, select object, move, align, distribute) and the observer's reactions. A view without
//   a slot of its own (a plain view given a domain) does nothing for selection selectors. Page up
//   adds the area's height to the offset, since y grows upward (negated in a y-down domain).
//   `domainview_commands.cpp` builds the class's command space: the selector commands, the synthetic
//   ones carrying "Option", and the keys of "Keys" / "vdomainview" / the look (Ctrl+A "Select All",
//   Ctrl+D "Duplicate" in the framework resource). `domainview_bars.cpp`: the scroll bars of
//   attribute bits 14 and 15, made by the layout and drawn by the view in its item list (their owner
//   is the view's list, though they are not its items); a vertical bar's value 0 shows the domain's
//   bottom, so a y-down domain counts it from the far end. Selector 4 moves the focus round the
//   view, the vertical and the horizontal bar; a focused bar takes keys and selectors first. Under
//   bit 13 the background and objects go to an image of the drawing area (kept, remade on a size
//   change), then to the window at once; the tracking feedback is drawn over it after.
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/item.h"
#include "fw/widgets/domains/domain.h"

struct vdomainview;
struct vslider;

using vdomainviewPainter = void (*)(vdomainview* view, vdomainObject* object);
using vdomainviewActionHook = void (*)(vdomainview* view, vundoActionList* list);
using vdomainviewHook = int (*)(vdomainview* view, void* record);

// The hook table: a class whose eleven functions answer 1 (go on) by default.
struct vdomainviewEventClassRec : vobjectClassRec {
  vdomainviewHook scrolled, tracking, release, press, doubleClick, character, objectsMoving, objectsResizing,
      selectionShown, boundsChanged, other;
};
vdomainviewEventClassRec* vdomainviewEventGetDefaultClass();

// Attribute bits.
enum : std::uint32_t {
  vdomainviewAUTO_SCROLL = 1u << 0,
  vdomainviewBAND_CONTAINED = 1u << 1,
  vdomainviewSINGLE_SELECTION = 1u << 2,
  vdomainviewLIVE_BAND = 1u << 3,
  vdomainviewNO_DRAG = 1u << 5,
  vdomainviewSNAP = 1u << 6,
  vdomainviewFREEZE_X = 1u << 9,
  vdomainviewFREEZE_Y = 1u << 10,
  vdomainviewPAN = 1u << 11,
  vdomainviewTRACKING = 1u << 12,
  vdomainviewOFFSCREEN = 1u << 13,
  vdomainviewHORIZONTAL_BAR = 1u << 14,
  vdomainviewVERTICAL_BAR = 1u << 15,
  vdomainviewRESOURCE_MARGIN = 1u << 16,
  vdomainviewRECEIVER_VIEW = 1u << 17,
};
// Scroll modes: bit 0 x relative, bit 2 y relative.
enum : int { vdomainviewX_RELATIVE = 1, vdomainviewY_RELATIVE = 4, vdomainviewABSOLUTE = 10 };

struct vdomainview : vdialogItem {
  vdomain* domain;
  vrectLong visible;     // in domain coordinates
  vpointLong origin;     // of the visible area from the bounds' origin
  vrect area;            // the drawing area
  std::uint8_t dirty;    // the transform is rebuilt before its next use
  float transform[6];    // a b c d tx ty: domain to view
  float* userMatrix;     // six floats after the transform, or null
  vrectLong bounds;
  vpointLong offset;
  vslider* hbar;
  vslider* vbar;
  vdialogItem* focus;
  vdomainviewEventClassRec* events;
  vimage* offscreen;
  std::uint32_t viewAttributes;  // the bits above
  std::uint8_t outlineStyle, dragMethod, trackMode, kind;
  std::int16_t barMargin, increment, threshold;
  double pen[2];
  std::int32_t slot;
  vdomainObserver* observer;
  vdomainObserverClassRec* observerClass;
  vdomainviewPainter objectPainter, selectionPainter;
  vdomainviewActionHook actionHook;
  vdomainSet* visibleSet;
  std::uint8_t showingSelection;  // a selection change is being shown
};

struct vdomainviewClassRec : vdialogItemClassRec {
  void (*drawBackground)(vdomainview* view);
  void (*drawBand)(vdomainview* view, const vrect* band);
  void (*drawBandLong)(vdomainview* view, const vrectLong* band);
  void (*drawOutlines)(vdomainview* view, const vrect* rects, int count, vpoint offset);
  void (*drawOutlinesLong)(vdomainview* view, const vrectLong* rects, int count, vpointLong offset);
  void (*setDomain)(vdomainview* view, vdomain* domain);
  void (*scrollDomain)(vdomainview* view, std::int32_t x, std::int32_t y, int mode);
  void (*scroll)(vdomainview* view, std::int32_t x, std::int32_t y, int mode);
  void (*drawHighlightFrame)(vdomainview* view, const vrect* rect);
  void (*drawObjects)(vdomainview* view);
  vdomainviewHook scrolled, tracking, release, press, doubleClick, character, objectsMoving, objectsResizing,
      selectionShown, boundsChanged, other;
  std::int16_t frameWidth;  // of the highlight frame
};

struct vdomainitemClassRec : vdomainviewClassRec {
  vdomain* (*makeDomain)(vdomainview* item);
};

inline vdomainviewClassRec* vdomainviewClassOf(const vdomainview* v) { return vclassRec<vdomainviewClassRec>(v); }
vdomainviewClassRec* vdomainviewGetDefaultClass();
vdomainitemClassRec* vdomainitemGetDefaultClass();
vdomainClassRec* vdomainitemDomainGetDefaultClass();
vdomainObserverClassRec* vdomainviewObserverGetDefaultClass();
vdomainview* vdomainviewCreate();
vdomainview* vdomainitemCreate();

inline void vdomainviewSetDomain(vdomainview* v, vdomain* d) { vdomainviewClassOf(v)->setDomain(v, d); }
inline void vdomainviewScroll(vdomainview* v, std::int32_t x, std::int32_t y, int mode) {
  vdomainviewClassOf(v)->scroll(v, x, y, mode);
}

// The record the tracking hook gets: phase 1 begun, 2 moved (feedback
// drawn), 3 feedback removed, 4 ended, 5 feedback drawn again after a
// redraw. Points: 16-bit in the view, 32-bit in the domain.
struct vdomainviewTrackRecord {
  vevent* event;
  std::int16_t phase;
  vpoint press, current;
  vpointLong pressLong, currentLong;
  vdomainSet* dragged;
  vwindow* target;     // under drag method 2
  vpoint targetPoint;  // in the target window
};
struct vdomainviewPressRecord {
  vevent* event;
  vdomainObject* object;
  vpoint point;
  vpointLong pointLong;
};
struct vdomainviewReleaseRecord {
  vevent* event;
  vpoint point;
  vpointLong pointLong;
};
// Phases of a call to the tracking.
enum : int { vdomainviewPRESS, vdomainviewDRAG, vdomainviewRELEASE, vdomainviewREDRAW };
// One gesture at a time for the whole program: a press begins it in a
// view, and drags and releases of no gesture begun in that view do
// nothing. A null point takes the last event position.
void vdomainviewTrack(vdomainview* view, const vpoint* point, vevent* event, int phase);
// Scrolls so the point under the pointer stays: 0 remembers, 1 scrolls.
void vdomainviewPan(vdomainview* view, vpoint point, int phase);
// The view of the gesture in progress, or null; whether its timer runs.
vdomainview* vdomainviewTrackedView();
bool vdomainviewAutoScrolling();
// Ends the gesture of a view going away or losing its domain.
void _vdomainviewEndGesture(vdomainview* view);

// The view's transform between the two spaces, rounding floor(v + 0.5).
void vdomainviewDomainToView(vdomainview* view, std::int32_t x, std::int32_t y, std::int32_t* vx, std::int32_t* vy);
void vdomainviewViewToDomain(vdomainview* view, std::int32_t x, std::int32_t y, std::int32_t* dx, std::int32_t* dy);
void vdomainviewDomainRectToView(vdomainview* view, const vrectLong* r, vrect* out);
// The objects selected in the view's slot (an empty set while it has none).
vdomainSet* vdomainviewSelectedSet(vdomainview* view);
int vdomainviewOrientation(const vdomainview* view);
// The records the module's object clipboard holds.
std::int32_t vdomainviewClipboardCount();

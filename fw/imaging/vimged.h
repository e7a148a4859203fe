// The image editor's model: the working copy of the image being edited, its
// floating selection, the undo history and the views that show it. Tools
// and edit commands change the image only through these operations; each
// writes the pixels, tells the views what to redraw, reports the change to
// the owner and records an undo step.
//
// Pixel values: a palette index; a packed 0x00RRGGBB word without palette;
// 0 black and 1 white for one-bit images without palette. y grows upwards
// (row 0 is the bottom).
//
// - `vimged.h`: the editor's model (`vimged.cpp` the class, images, palette, display image, undo and
//   redo; `vimged_draw.cpp` the primitives; `vimged_select.cpp` the selection, the clipboard and the
//   undo records). It uses no window or widget: a view embeds a `vimgedViewLink` whose
//   `vimgedViewHooks` record receives what the model tells it, and the model keeps the links,
//   clearing a link's model when it lets it go. The model holds a pixel cursor on the working image
//   but places it afresh before each write batch, since stamps, difference records and remaps reach
//   the pixel store through cursors of their own. The records are copied whole into custom undo
//   actions in their natural 64-bit layout; a Draw record keeps the depth of the image it was taken
//   on in a reserved word, and is not applied to an image of another size or depth (set-image keeps
//   the history). Operations that call others hold the compound flag (`imged::Compound`): inner
//   steps add their records to the open step and only the outermost closes it. Copies
//   (`vobjectClone`, the copy slot) get their own working, display and selection images, timer
//   (targeting the copy), lasso points and a fresh history, and no views. Flag 64 mirrors each
//   primitive through `vdrawBindImage` on the working image (the mask plane in two-colour mode); the
//   display image is composed the same way. Those calls are tested on the recording driver; the GDI
//   driver draws them into the images' pixels. The clipboard is one per process; its images are
//   freed by a context exit procedure, before the context's classes go.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/rect.h"
#include "fw/core/timer.h"
#include "fw/data/undo.h"
#include "fw/gui/graphics/image.h"
#include "fw/imaging/codecs/pixops.h"

struct vimged;

// What the model asks of each view. A view embeds a link; the model keeps
// pointers to the links and clears a link's model when it lets the view go.
struct vimgedViewLink;
struct vimgedViewHooks {
  void (*beginChange)(vimgedViewLink* view);
  void (*endChange)(vimgedViewLink* view);
  void (*removeRubberBand)(vimgedViewLink* view);
  void (*redrawImage)(vimgedViewLink* view);
  void (*selectionMoved)(vimgedViewLink* view, int flag);
  void (*pixelChanged)(vimgedViewLink* view, std::uint32_t value, int x, int y);
  void (*rectChanged)(vimgedViewLink* view, std::uint32_t value, int x, int y, int width, int height);
  void (*pointsChanged)(vimgedViewLink* view, std::uint32_t value, const vpoint* points, int count);
  void (*rectsChanged)(vimgedViewLink* view, std::uint32_t value, const vrect* rects, int count);
  void (*invalidate)(vimgedViewLink* view);
  void (*sizeChanged)(vimgedViewLink* view);
  void (*selectionFlipped)(vimgedViewLink* view);
  void (*rectSelectionMade)(vimgedViewLink* view);
  void (*maskSelectionMade)(vimgedViewLink* view);
  void (*selectionRemoved)(vimgedViewLink* view);
  void (*outlineTick)(vimgedViewLink* view);
  void (*setTool)(vimgedViewLink* view, int tool);
};
struct vimgedViewLink {
  const vimgedViewHooks* hooks;
  vimged* model;
};

enum : std::uint32_t {
  vimgedRUBBER_BAND = 2,   // views are told, the image is not written
  vimgedREPORT = 4,        // the change callback runs after each change
  vimgedPLACING = 8,       // a paste switches tools, or a text is being placed
  vimgedTWO_COLOR = 16,    // the image is edited as a one-bit mask
  vimgedCOMPOUND = 32,     // inner steps join the open undo step
  vimgedDRAW_LAYER = 64,   // primitives are also drawn through the drawing layer
  vimgedFILLED = 128,      // rectangles and ellipses are filled
};

enum : std::uint32_t {
  vimgedSEL_NONE = 0,
  vimgedSEL_RECT = 1,
  vimgedSEL_MASKED = 2,
  vimgedSEL_MODE = 3,
  vimgedSEL_IN_PLACE = 4,  // the lifted pixels are still in the image under it
};

// The tools a set selection switches the views to.
enum : int { vimgedTOOL_RECT_SELECT = 6, vimgedTOOL_LASSO = 8 };

using vimgedChangeFunc = void (*)(vimged* model, int, int);

struct vimged : vobject {
  vrect bounds;  // (0, 0, image width, image height)
  vundo* undo;
  std::uint32_t selection;  // mode and the in-place bit
  vrect selRect;            // may lie partly or wholly outside the image
  vimage* selImage;
  vimage* selMask;          // masked mode only
  std::int32_t lassoCount, lassoCapacity;
  vpoint* lassoPoints;
  float dash[2];
  double dashPhase;
  std::uint32_t holeValue;
  vimgedOutline* outline;   // of the mask, masked mode only
  std::uint32_t flags;
  vimage* source;           // not owned
  vimage* working;
  vimage* snapshot;
  vimage* display;
  vpixmapCursor cursorStore;
  vpixmapCursor* cursor;    // null while there is no image
  vcolor** colors;          // one per palette entry; null without palette
  std::uint32_t colorCount;
  vtimer* timer;
  vimgedViewLink** viewsBegin;
  vimgedViewLink** viewsEnd;
  vimgedChangeFunc changed;
};

struct vimgedClassRec : vobjectClassRec {
  void (*beginChange)(vimged* self);
  void (*endChange)(vimged* self);
  void (*removeRubberBand)(vimged* self);
  void (*redrawViews)(vimged* self);
  void (*notifySelectionMoved)(vimged* self, int flag);
  void (*addView)(vimged* self, vimgedViewLink* view);
  void (*removeView)(vimged* self, vimgedViewLink* view);
  void (*setPixel)(vimged* self, std::uint32_t value, int pen, int x, int y);
  void (*plot)(vimged* self, std::uint32_t value, int pen, int x, int y);
  void (*fillRect)(vimged* self, std::uint32_t value, int x, int y, int width, int height);
  void (*setPoints)(vimged* self, std::uint32_t value, const vpoint* points, int count);
  void (*plotPoints)(vimged* self, std::uint32_t value, int pen, const vpoint* points, int count);
  void (*fillRects)(vimged* self, std::uint32_t value, const vrect* rects, int count);
  void (*invalidateViews)(vimged* self);
  void (*reserved)(vimged* self);
  void (*apply)(vimged* self);
  vimage* (*getDisplayImage)(vimged* self);
  void (*setImage)(vimged* self, vimage* image);
  int (*isModified)(vimged* self);
  int (*canUndo)(vimged* self, const char** label);
  int (*canRedo)(vimged* self, const char** label);
  void (*undoStep)(vimged* self);
  void (*redoStep)(vimged* self);
  void (*copySelection)(vimged* self);
  void (*paste)(vimged* self, const vrect* rect);
  void (*clearSelection)(vimged* self);
  void (*clearAll)(vimged* self);
  void (*selectAll)(vimged* self, std::uint32_t hole);
  void (*setNotify)(vimged* self, int on);
  void (*flipHorizontal)(vimged* self);
  void (*flipVertical)(vimged* self);
  void (*rotate)(vimged* self);
  void (*moveSelection)(vimged* self, int dx, int dy);
  void (*setPalette)(vimged* self, const vcolorList* palette, int remap);
  void (*commitSelection)(vimged* self);
  void (*drawLine)(vimged* self, std::uint32_t value, int pen, vpoint p0, vpoint p1);
  void (*drawRect)(vimged* self, std::uint32_t value, int pen, vpoint p0, vpoint p1);
  void (*drawEllipse)(vimged* self, std::uint32_t value, int pen, vpoint p0, vpoint p1);
  vimage* (*getSelection)(vimged* self, vimage** mask, int* x, int* y);
  void (*setSelection)(vimged* self, vimage* image, vimage* mask, std::uint32_t hole, int x, int y);
  int (*hasSelection)(vimged* self);
};

// Built once; building it empties the editor clipboard.
vimgedClassRec* vimgedGetDefaultClass();
vimged* vimgedCreate();
void vimgedDestroy(vimged* self);

// The class record of a model; a null model is misuse.
vimgedClassRec* _vimgedClassOf(vimged* self);

inline void vimgedBeginChange(vimged* m) { _vimgedClassOf(m)->beginChange(m); }
inline void vimgedEndChange(vimged* m) { _vimgedClassOf(m)->endChange(m); }
inline void vimgedRemoveRubberBand(vimged* m) { _vimgedClassOf(m)->removeRubberBand(m); }
inline void vimgedRedrawViews(vimged* m) { _vimgedClassOf(m)->redrawViews(m); }
inline void vimgedNotifySelectionMoved(vimged* m, int flag) { _vimgedClassOf(m)->notifySelectionMoved(m, flag); }
inline void vimgedAddView(vimged* m, vimgedViewLink* v) { _vimgedClassOf(m)->addView(m, v); }
inline void vimgedRemoveView(vimged* m, vimgedViewLink* v) { _vimgedClassOf(m)->removeView(m, v); }
inline void vimgedSetPixel(vimged* m, std::uint32_t value, int pen, int x, int y) {
  _vimgedClassOf(m)->setPixel(m, value, pen, x, y);
}
inline void vimgedPlot(vimged* m, std::uint32_t value, int pen, int x, int y) {
  _vimgedClassOf(m)->plot(m, value, pen, x, y);
}
inline void vimgedFillRect(vimged* m, std::uint32_t value, int x, int y, int w, int h) {
  _vimgedClassOf(m)->fillRect(m, value, x, y, w, h);
}
inline void vimgedSetPoints(vimged* m, std::uint32_t value, const vpoint* p, int n) {
  _vimgedClassOf(m)->setPoints(m, value, p, n);
}
inline void vimgedPlotPoints(vimged* m, std::uint32_t value, int pen, const vpoint* p, int n) {
  _vimgedClassOf(m)->plotPoints(m, value, pen, p, n);
}
inline void vimgedFillRects(vimged* m, std::uint32_t value, const vrect* r, int n) {
  _vimgedClassOf(m)->fillRects(m, value, r, n);
}
inline void vimgedInvalidateViews(vimged* m) { _vimgedClassOf(m)->invalidateViews(m); }
inline void vimgedApply(vimged* m) { _vimgedClassOf(m)->apply(m); }
inline vimage* vimgedGetDisplayImage(vimged* m) { return _vimgedClassOf(m)->getDisplayImage(m); }
inline void vimgedSetImage(vimged* m, vimage* image) { _vimgedClassOf(m)->setImage(m, image); }
inline int vimgedIsModified(vimged* m) { return _vimgedClassOf(m)->isModified(m); }
inline int vimgedCanUndo(vimged* m, const char** label) { return _vimgedClassOf(m)->canUndo(m, label); }
inline int vimgedCanRedo(vimged* m, const char** label) { return _vimgedClassOf(m)->canRedo(m, label); }
inline void vimgedUndo(vimged* m) { _vimgedClassOf(m)->undoStep(m); }
inline void vimgedRedo(vimged* m) { _vimgedClassOf(m)->redoStep(m); }
inline void vimgedCopy(vimged* m) { _vimgedClassOf(m)->copySelection(m); }
inline void vimgedPaste(vimged* m, const vrect* r) { _vimgedClassOf(m)->paste(m, r); }
inline void vimgedClearSelection(vimged* m) { _vimgedClassOf(m)->clearSelection(m); }
inline void vimgedClearAll(vimged* m) { _vimgedClassOf(m)->clearAll(m); }
inline void vimgedSelectAll(vimged* m, std::uint32_t hole) { _vimgedClassOf(m)->selectAll(m, hole); }
inline void vimgedSetNotify(vimged* m, int on) { _vimgedClassOf(m)->setNotify(m, on); }
inline void vimgedFlipHorizontal(vimged* m) { _vimgedClassOf(m)->flipHorizontal(m); }
inline void vimgedFlipVertical(vimged* m) { _vimgedClassOf(m)->flipVertical(m); }
inline void vimgedRotate(vimged* m) { _vimgedClassOf(m)->rotate(m); }
inline void vimgedMoveSelection(vimged* m, int dx, int dy) { _vimgedClassOf(m)->moveSelection(m, dx, dy); }
inline void vimgedSetPalette(vimged* m, const vcolorList* p, int remap) { _vimgedClassOf(m)->setPalette(m, p, remap); }
inline void vimgedCommitSelection(vimged* m) { _vimgedClassOf(m)->commitSelection(m); }
inline void vimgedDrawLine(vimged* m, std::uint32_t value, int pen, vpoint p0, vpoint p1) {
  _vimgedClassOf(m)->drawLine(m, value, pen, p0, p1);
}
inline void vimgedDrawRect(vimged* m, std::uint32_t value, int pen, vpoint p0, vpoint p1) {
  _vimgedClassOf(m)->drawRect(m, value, pen, p0, p1);
}
inline void vimgedDrawEllipse(vimged* m, std::uint32_t value, int pen, vpoint p0, vpoint p1) {
  _vimgedClassOf(m)->drawEllipse(m, value, pen, p0, p1);
}
inline vimage* vimgedGetSelection(vimged* m, vimage** mask, int* x, int* y) {
  return _vimgedClassOf(m)->getSelection(m, mask, x, y);
}
inline void vimgedSetSelection(vimged* m, vimage* image, vimage* mask, std::uint32_t hole, int x, int y) {
  _vimgedClassOf(m)->setSelection(m, image, mask, hole, x, y);
}
inline int vimgedHasSelection(vimged* m) { return _vimgedClassOf(m)->hasSelection(m); }

// Sets the drawing layer's colour for a pixel value: the palette entry's
// colour (black past the palette), the packed RGB value, or for one-bit
// images without palette white for 1 and black otherwise.
void vimgedSetDrawingColor(vimged* m, std::uint32_t value);

// ---- Selections and undo steps, used by the tools.
// Lifts the rectangle (clipped to the image; rect is updated) of source as
// a rectangular selection.
void vimgedLiftSelection(vimged* m, vimage* source, std::uint32_t hole, int inPlace, vrect* rect);
// Cuts an in-place selection out of the image, leaving the hole value.
void vimgedDetachSelection(vimged* m);
// Writes the selection's pixels into the image.
void vimgedStampSelection(vimged* m);
enum : int { vimgedRECORD_BEFORE = 0, vimgedRECORD_AFTER = 1 };
void vimgedRecordSelection(vimged* m, int sense);
// Before pixels change: the snapshot; after: the difference as a step.
void vimgedTakeSnapshot(vimged* m);
void vimgedRecordDraw(vimged* m);
// Adds a Move record of the selection's previous rectangle to the open step
// (the drag tool closes it).
void vimgedRecordMove(vimged* m, const vrect* previous);
int vimgedPointInSelection(vimged* m, vpoint point);
// The model's cursor on the working image, brought up to date for reading
// and writing; null without an image.
vpixmapCursor* vimgedGetPixelCursor(vimged* m);
int vimgedClipboardIsEmpty();

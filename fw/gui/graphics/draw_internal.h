// The drawing module's globals, shared by the state, binding, primitive and
// path files.
#pragma once
#include <vector>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"

namespace vdrawint {

struct Module {
  bool started = false;
  vpool* states = nullptr;
  vpool* transforms = nullptr;
  vpool* bindings = nullptr;
  vpool* paths = nullptr;
  vdrawState* current = nullptr;
  std::vector<vdrawState*> stack;
  const vdrawDeviceTable* table = nullptr;
  const vdrawDriverRecord* driver = nullptr;
  void* data = nullptr;
  const vdrawPrimitiveTable* primitives = nullptr;
  const vdrawPrimitiveTable* selected = nullptr;
  vdrawPath* deviceClip = nullptr;
  vimage* maskImage = nullptr;          // see cachedMask
  vmoduleContext* maskContext = nullptr;  // the context whose image class made it
  vmoduleContext* maskExitFor = nullptr;  // the context told to free it at its close
  const vdrawDriverRecord* imageDriver = nullptr;
  int imageFlags = 0;
  bool restoring = false;    // a table's own restore is running
  bool maskRestore = false;  // a mask is being drawn
};
extern Module m;

void ensure();
// The current state, copied first when it is shared.
vdrawState* privateState();
// The current state's matrix record, copied first when it is shared.
vdrawTransform* privateMatrix();
// The device globals and the primitive tables from the current state.
void loadDevice();
void joinBinding(vdrawBinding* b, vdrawState* s);
void leaveBinding(vdrawState* s);  // closes and frees a binding left unused
vdrawBinding* defaultBinding();
void releaseTransform(vdrawTransform* t);
// The one-bit image of width × height kept between mask clips.
vimage* cachedMask(int width, int height);
void freeMaskImage();
void releaseDash(vdrawDash* d);

// Path construction on the current state (16.16 device values).
void pathMoveTo(vfixed x, vfixed y);
void pathLineTo(vfixed x, vfixed y);
void pathRLineTo(vfixed dx, vfixed dy);
void pathRMoveTo(vfixed dx, vfixed dy);
void pathClose();
void pathCurve(const vfixed* v);  // three points, each relative to the one before
void pathArc(vfixed cx, vfixed cy, vfixed rx, vfixed ry, vfixed start, vfixed sweep, vfixed ex, vfixed ey);
void pathTangentArc(vfixed cx, vfixed cy, vfixed rx, vfixed ry, vfixed kx, vfixed ky, vfixed ex, vfixed ey);
// Linetos through count points (x, y pairs) from (x, y); p has room for them.
void pathAppendPoints(vdrawPath* p, vfixed x, vfixed y, const vfixed* points, int count);

// Rendering of element paths (pathrender.cpp).
struct FixedPoint {
  vfixed x, y;
};
// The records an element of this kind takes; Value for an unknown kind.
int elementRecords(std::int32_t kind);
// Appends another element path's elements and takes its current point.
void appendElements(vdrawPath* from);
void pathIterBegin(vdrawPathIter* it);
int pathIterNext(vdrawPathIter* it);
void pathIterEnd(vdrawPathIter* it);
vdrawSavedPath* savePath();
void freeSavedPath(vdrawSavedPath* saved);
void appendSavedPath(vdrawSavedPath* saved);
void fillSavedPath(vdrawSavedPath* saved, int rule);
void strokeSavedPath(vdrawSavedPath* saved);
void getClipRects(vrect** r, int* n);
void getClipRectsFloat(vrectFloat** r, int* n);
void getPathRects(vrect** r, int* n);
void getPathRectsFloat(vrectFloat** r, int* n);
void getDeviceClipRects(vrect** r, int* n);
void getDeviceClipRectsFloat(vrectFloat** r, int* n);
// The sin and cos of an angle in degrees, exact at multiples of 45.
void degreesCosSin(double degrees, double* c, double* s);
// The cubic approximating an arc piece from p0 to p1 whose tangents meet at corner.
void arcPieceControls(double p0x, double p0y, double kx, double ky, double p1x, double p1y, double* out);
void fillElements(vdrawPath* p);
// The current point in device units when the path holds it pulled in to
// the limit of device values (true), else false.
bool trueCurrentPoint(double* x, double* y);
// All sub-paths as one polygon, so that the fill rule counts them together.
void fillElementsAsOne(vdrawPath* p);
void pathFill(int rule);
void pathStroke();
void pathFlatten();
// Runs body between a save and a restore of the state, restoring on a raise too.
template <class F>
void withSavedState(F body) {
  vdrawGSave();
  vexGuard(body, [](vexHandler&) {
    vdrawGRestore();
    _vexGenerate(nullptr, vexEnd);
  });
  vdrawGRestore();
}

// The rectangle, arc and rounded-rectangle primitives of matrix kind K.
template <int K>
struct RectOps {
  static void fill(const vrect* rects, int n);
  static void fillF(const vrectFloat* rects, int n);
  static void frame(const vrect* rects, int n);
  static void frameF(const vrectFloat* rects, int n);
  static void clip(const vrect* rects, int n);
  static void clipF(const vrectFloat* rects, int n);
  static void deviceClip(const vrect* rects, int n);
  static void deviceClipF(const vrectFloat* rects, int n);
  static void fillChords(const vrect* rects, int n, int a1, int a2);
  static void fillPies(const vrect* rects, int n, int a1, int a2);
  static void frameArcs(const vrect* rects, int n, int a1, int a2);
  static void fillRoundRects(const vrect* rects, int n, int corner);
  static void frameRoundRects(const vrect* rects, int n, int corner);
};

// The text and image primitives of matrix kind K.
template <int K>
struct TextOps {
  static void show(const char* chars, int length);
  static void xyShow(const char* chars, int length, const float* offsets, int flags);
  static void aWidthShow(double cx, double cy, int c, double ax, double ay, const char* chars, int length);
  static void charPath(const char* chars, int length);
  static void imageMatrix(vimage* image, const vmatrix* m);
  static void imageMaskMatrix(vimage* image, const vmatrix* m);
  static void imageAt(vimage* image, bool mask);
  static void imageMaskPathMatrix(vimage* image, const vmatrix* m);
  static void imageMaskPath(vimage* image);
};

void pathClip(int rule);
void setFillRule(vdrawState* s, int rule);  // 0 winding, else even-odd
void pathDeviceClip(int rule);
// The current path := the clip path, or the device clip region.
void pathFromClip(bool deviceRegion);
// A new one-bit image of b holding path filled with rule (clipped by clip,
// when given, both shifted by -b's origin).
vimage* paintMask(vdrawPath* path, vdrawPath* clip, int rule, const vrect& b);
// Paints a mask placed at the rectangle's origin in the current colour.
void paintMaskAt(vimage* mask, const vrect& at);
// Device to image for a mask path's image whose device box starts at (x, y):
// its rows lie as the bound device's clip to a mask reads them (upright where
// the device counts rows down), so a copy of the mask is no mirror image.
vdrawDeviceTransform maskPathPlacement(const vimage* mask, int x, int y);
// Draws into image as the one-bit mask of area: the state saved, the image
// bound with area's origin at 0, 0 and cleared, then body; the state and the
// mask-restore mark are put back however body ends (a raise goes on).
void drawIntoMask(vimage* image, const vrect& area, void (*body)(void*), void* context);
template <class Body>
void drawIntoMask(vimage* image, const vrect& area, Body body) {
  drawIntoMask(image, area, [](void* b) { (*static_cast<Body*>(b))(); }, &body);
}
void strokeElements(vdrawPath* p);
vdrawPath* flattenElements(vdrawPath* p, vfixed tolerance);
// One device rectangle per sub-path: points and control points, arcs by their extremes.
void subPathBounds(vdrawPath* p, std::vector<vrect>* out);
// The flattened points of one curve after p0 (tolerance t), for tests and the benchmark.
void flattenCurve(FixedPoint p0, FixedPoint p1, FixedPoint p2, FixedPoint p3, vfixed t, std::vector<FixedPoint>* out);
void pathNew();
void pathStartup();

}  // namespace vdrawint

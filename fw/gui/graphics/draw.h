// The drawing state: graphics attributes of a PostScript-like model bound
// to a target through a driver record, reached through three tables: the
// device table (state operations), the primitive table (geometry, chosen by
// the matrix kind and the current point) and the driver record.
//
// The drawing state (`draw.h`): states, matrix records and bindings come from pools, shared by
// 32-bit reference counts (a save adds one to the same state, so 65,536 saves must not wrap),
// copied on the first change. Setters are the default device table's entries (`drawstate.cpp`); the
// public `vdrawSet...` calls go through the current table. Bindings (`drawbind.cpp`) keep their
// states in a list with four places inside the record and device data of up to 128 bytes after it;
// a sync ORs the sent bits into every other state of the binding, so a state made current again
// re-sends what another changed. A fresh or re-targeted binding marks every attribute dirty: the
// new device holds none of the state's values. The ten primitive tables (`drawprim.cpp`) are built
// at compile time from one template over the matrix kind and the current point; path records
// (`path.cpp`) carry their payload after the record, from one pool up to 8 elements or 11
// rectangles. A mask clip meets the device clip region in the cached one-bit image: bound under a
// save, cleared, clipped by the other path and painted with `drawMask`, then sent with
// `clipToMask`. Path rendering (`pathrender.cpp`) flattens curves in fixed point (midpoints in 64
// bits, so coordinates beyond 16,384 pixels do not overflow; a depth limit bounds the pieces
// whatever the flatness) and cuts arcs into cubic pieces of at most 90 degrees; fills and strokes
// hand single arcs, pies and thin arcs to the driver natively. Clips (`pathclip.cpp`) keep
// rectangle paths that fit as they are and paint the rest into a one-bit mask of the covered
// bounds; the same mask route fills overlapping sub-paths once. Iteration, saved paths and the
// user-rectangle getters are in `pathiter.cpp`; the rectangle, arc and rounded-rectangle primitives
// by kind in `drawrects.cpp` (explicitly instantiated per kind, the general kind through shape
// paths, `shapepath.cpp`); text and images in `drawtext.cpp`; the public frames, placed text, image
// and tiling operations in `drawops.cpp`. A pie is recognised as a lineto whose arc is centred
// where the lineto began (the shape path's pie starts at the centre, so its lineto is a radius
// long). Tests are call traces on the recording driver (`tests/support/recording_driver.*`), which
// also keeps the points of the last polygon. A save, colour change, fill sync and restore round
// takes about 50 ns; filling a closed path of 1,000 curves about 0.2 ms and 1,000 shaded 20 x 20
// frames about 0.08 ms (`bench/draw.cpp`, counting drivers).
#pragma once
#include <cstdint>

#include "fw/core/ex.h"
#include "fw/core/fixed.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/matrix.h"
#include "fw/gui/graphics/rect.h"

struct vimage;
struct vscribe;

using vdrawDeviceTransform = vmatrixFixed;

// ---- Paths: a rectangle list, a mask image or elements in 16.16 device units.
enum : std::uint16_t {
  vdrawPathRECTS = 0, vdrawPathMASK = 1, vdrawPathELEMENTS = 2, vdrawPathKIND = 0x3,
  vdrawPathCURRENT_POINT = 0x4, vdrawPathCURVES = 0x8, vdrawPathCLOSED = 0x10, vdrawPathARCS = 0x20,
  vdrawPathSUBPATHS = 0x40, vdrawPathBORROWED = 0x80,
};
enum : std::int32_t { vdrawMOVETO = 0, vdrawLINETO = 1, vdrawCURVETO = 2, vdrawCLOSEPATH = 3, vdrawARC = 4, vdrawTANGENT_ARC = 5 };

struct vdrawElement {
  std::int32_t kind;
  vfixed x, y;  // a moveto's absolute, every other relative to the point before
};

struct vdrawPath {
  std::uint16_t flags;
  std::int32_t refs;
  vrect bounds;
  std::int32_t used;      // elements, or rectangles of a list
  std::int32_t capacity;  // what the payload after the record holds
  vfixed x, y;            // current point
  vfixed startX, startY;  // start of the sub-path
  vimage* mask;
};
inline vdrawElement* vdrawPathElements(vdrawPath* p) { return reinterpret_cast<vdrawElement*>(p + 1); }
inline vrect* vdrawPathRectangles(vdrawPath* p) { return reinterpret_cast<vrect*>(p + 1); }

vdrawPath* vdrawPathNewRects(const vrect* rects, int n);
vdrawPath* vdrawPathNewMask(vimage* image, const vrect* rect);
vdrawPath* vdrawPathNewElements(int capacity);
vdrawPath* vdrawPathClone(vdrawPath* path, int capacity);
void vdrawPathRelease(vdrawPath* path);
// Kind 0 its rectangles, kind 1 its bounds, kind 2 one per sub-path (a module buffer).
void vdrawPathRects(vdrawPath* path, vrect** rects, int* n);
// Moves bounds, rectangles, a mask's place or an element path's movetos.
void vdrawPathOffset(vdrawPath* path, int dx, int dy);
vdrawPath* vdrawPathGetEmpty();     // the shared empty element path
vdrawPath* vdrawPathGetEmptyClip(); // the shared one-rectangle (0, 0, 0, 0) list

// ---- The state and its records.
struct vdrawTransform {
  std::uint16_t flags;  // 1 the inverse is stale, 2 the text transform is
  std::int32_t refs;
  vmatrix matrix;
  vmatrix inverse;
  vdrawDeviceTransform device;
  vfont* font;
  vdrawDeviceTransform text;
  vfixed textX, textY;
};

struct vdrawDash {
  std::int32_t refs;
  std::uint16_t count;
  float offset;
  float* values;  // count of them, after the record
};

struct vdrawBinding;
struct vdrawState {
  std::uint16_t flags;
  std::uint16_t dirty;
  std::int32_t refs;  // 32 bits: one reference per save of an unchanged state
  std::int16_t roundedWidth;
  vdrawTransform* matrix;
  vcolor* color;
  vcolor* secondColor;
  vdrawDash* dash;
  float lineWidth;
  float miterLimit;
  vfixed flatness;
  std::int16_t patternX, patternY;
  vdrawPath* path;
  vdrawPath* clip;
  vdrawBinding* binding;
};

enum : std::uint16_t {
  vdrawMODE_MASK = 0x1F, vdrawSTROKE_ADJUST = 0x20, vdrawARC_MASK = 0xC0, vdrawJOIN_MASK = 0x300,
  vdrawCAP_MASK = 0xC00, vdrawEVEN_ODD = 0x1000, vdrawDEFAULT_MATRIX = 0x8000,
};
enum : std::uint16_t {
  vdrawDIRTY_COLOR = 0x1, vdrawDIRTY_SECOND_COLOR = 0x2, vdrawDIRTY_ARC_MODE = 0x4, vdrawDIRTY_DASH = 0x8,
  vdrawDIRTY_FONT = 0x10, vdrawDIRTY_DRAW_MODE = 0x20, vdrawDIRTY_CAP = 0x40, vdrawDIRTY_JOIN = 0x80,
  vdrawDIRTY_LINE_WIDTH = 0x100, vdrawDIRTY_MITER = 0x200, vdrawDIRTY_PATTERN = 0x400,
  vdrawDIRTY_STROKE_ADJUST = 0x800, vdrawDIRTY_FILL_RULE = 0x1000, vdrawDIRTY_CLIP = 0x8000,
  vdrawDIRTY_ALL = 0x9FFF, vdrawDIRTY_MATRIX = 0x118,
  vdrawSYNC_FILL = 0x9025, vdrawSYNC_STROKE = 0x8be9, vdrawSYNC_TEXT = 0x8031, vdrawSYNC_IMAGE = 0x8021,
};

// Walks the current path's elements in user coordinates; an arc comes as
// curves of at most 90 degrees, a tangent arc as one curve.
struct vdrawPathIter {
  vdrawPath* path;
  const vdrawElement* next;
  std::int32_t position;
  std::int32_t kind;      // of the element delivered
  double x, y;            // its end point
  double x1, y1, x2, y2;  // a curve's control points
  double fx, fy;          // the device point (16.16 units) the user point stands for
  double arcStart, arcLeft;  // degrees of an arc in progress
  double arcCx, arcCy;       // its device centre
};

struct vdrawSavedPath {
  vdrawDeviceTransform device;
  vmatrix inverse;
  vdrawPath* path;
};

// The state operations, each defaulting to the function of its name.
struct vdrawDeviceTable {
  std::uint32_t flags;  // 1 supplies setSecondColor, 2 setPatternOrigin
  void (*initClip)();
  void (*initGraphics)();
  void (*initMatrix)();
  void (*initDeviceClip)();
  void (*grestore)();
  void (*grestoreAll)();
  void (*gsave)();
  void (*concat)(const vmatrix* m);
  void (*rotate)(double degrees);
  void (*scale)(double sx, double sy);
  void (*translate)(double tx, double ty);
  void (*scaleToDevice)();
  void (*setColor)(vcolor* color);
  void (*setArcMode)(int mode);
  void (*setDash)(int count, const float* values, double offset);
  void (*setFlatness)(double flatness);
  void (*setFont)(vfont* font);
  void (*setDrawMode)(int mode);
  void (*setLineCap)(int cap);
  void (*setLineJoin)(int join);
  void (*setLineWidth)(double width);
  void (*setMatrix)(const vmatrix* m);
  void (*setMiterLimit)(double limit);
  void (*setStrokeAdjust)(int adjust);
  void (*getClipRects)(vrect** rects, int* count);
  void (*getClipRectsFloat)(vrectFloat** rects, int* count);
  void (*clipPath)();
  void (*flattenPath)();
  void (*pathIterBegin)(vdrawPathIter* it);
  int (*pathIterNext)(vdrawPathIter* it);
  void (*pathIterEnd)(vdrawPathIter* it);
  void (*getPathRects)(vrect** rects, int* count);
  void (*getPathRectsFloat)(vrectFloat** rects, int* count);
  void (*reversePath)();
  void (*strokePath)();
  void (*getDeviceClipRects)(vrect** rects, int* count);
  void (*getDeviceClipRectsFloat)(vrectFloat** rects, int* count);
  void (*deviceClipPath)();
  vdrawSavedPath* (*savePath)();
  void (*freePath)(vdrawSavedPath* path);
  void (*appendPath)(vdrawSavedPath* path);
  void (*fillSavedPath)(vdrawSavedPath* path, int rule);
  void (*strokeSavedPath)(vdrawSavedPath* path);
  void (*setSecondColor)(vcolor* color);
  void (*setPatternOrigin)(int x, int y);
};

// The geometric operations, in user coordinates.
struct vdrawPrimitiveTable {
  std::uint32_t flags;  // 1: has the arc and rounded-rectangle operations
  void (*TransformDistance)(double x, double y, double* ox, double* oy);
  void (*InverseTransformDistance)(double x, double y, double* ox, double* oy);
  void (*InverseTransformPoint)(double x, double y, double* ox, double* oy);
  void (*TransformPoint)(double x, double y, double* ox, double* oy);
  void (*ClosePath)();
  void (*CurveTo)(double x1, double y1, double x2, double y2, double x3, double y3);
  void (*LineTo)(int x, int y);
  void (*LineToF)(double x, double y);
  void (*PathMoveTo)(int x, int y);
  void (*PathMoveToF)(double x, double y);
  void (*NewPath)();
  void (*RCurveTo)(double x1, double y1, double x2, double y2, double x3, double y3);
  void (*RLineTo)(int dx, int dy);
  void (*RLineToF)(double dx, double dy);
  void (*RMoveTo)(int dx, int dy);
  void (*RMoveToF)(double dx, double dy);
  void (*RRCurveTo)(double x1, double y1, double x2, double y2, double x3, double y3);
  void (*Arc)(double cx, double cy, double r, double a1, double a2, int direction);
  void (*ArcTo)(double x1, double y1, double x2, double y2, double r, double* xt1, double* yt1, double* xt2,
                double* yt2);
  void (*Clip)(int rule);
  void (*Fill)(int rule);
  void (*Stroke)();
  void (*SetDeviceClipToPath)(int rule);
  void (*ClipRects)(const vrect* rects, int n);
  void (*ClipRectsF)(const vrectFloat* rects, int n);
  void (*FillRects)(const vrect* rects, int n);
  void (*FillRectsF)(const vrectFloat* rects, int n);
  void (*FrameRects)(const vrect* rects, int n);
  void (*FrameRectsF)(const vrectFloat* rects, int n);
  void (*SetDeviceClipRects)(const vrect* rects, int n);
  void (*SetDeviceClipRectsF)(const vrectFloat* rects, int n);
  void (*AWidthShow)(double cx, double cy, int c, double ax, double ay, const char* chars, int length);
  void (*Show)(const char* chars, int length);
  void (*XYShow)(const char* chars, int length, const float* offsets, int flags);
  void (*ImageMatrix)(vimage* image, const vmatrix* m);
  void (*ImageMaskMatrix)(vimage* image, const vmatrix* m);
  void (*Image)(vimage* image);
  void (*ImageMask)(vimage* image);
  void (*CharPath)(const char* chars, int length);
  void (*ImageMaskPathMatrix)(vimage* image, const vmatrix* m);
  void (*ImageMaskPath)(vimage* image);
  void (*FillChords)(const vrect* rects, int n, int a1, int a2);
  void (*FillPies)(const vrect* rects, int n, int a1, int a2);
  void (*FrameArcs)(const vrect* rects, int n, int a1, int a2);
  void (*FillRoundRects)(const vrect* rects, int n, int corner);
  void (*FrameRoundRects)(const vrect* rects, int n, int corner);
  void (*end)();  // always null
};

// The device operations of one kind of target, with its device data first.
struct vdrawDriverRecord {
  std::uint32_t flags;  // 1 the binding's device transform holds; 0x20 stroke adjust wanted
  vfixed flatness;
  std::size_t dataSize;
  void (*open)(void* data, void* target, int flags);
  void (*close)(void* data);
  void (*begin)(void* data);
  void (*end)(void* data);
  const vdrawDeviceTransform* (*deviceTransform)(void* data);
  const vrect* (*deviceBounds)(void* data);
  void (*refresh)(void* data);
  void (*sync)(void* data, unsigned dirty);
  void (*clipToMask)(void* data, vimage* mask, int x, int y);
  void (*fillPolygon)(void* data, const vpoint* points, int count);
  void (*strokePolyline)(void* data, const vpoint* points, int count);
  void (*setClipRects)(void* data, const vrect* rects, int count);
  void (*fillRects)(void* data, const vrect* rects, int count);
  void (*frameRects)(void* data, const vrect* rects, int count);
  void (*fillChords)(void* data, const vrect* rects, int count, vfixed start, vfixed sweep);
  void (*fillPies)(void* data, const vrect* rects, int count, vfixed start, vfixed sweep);
  void (*frameArcs)(void* data, const vrect* rects, int count, vfixed start, vfixed sweep);
  void (*fillRoundRects)(void* data, const vrect* rects, int count, int width, int height);
  void (*frameRoundRects)(void* data, const vrect* rects, int count, int width, int height);
  void (*showChars)(void* data, const char* chars, int length, const vdrawDeviceTransform* text);
  void (*drawImage)(void* data, vimage* image, const vdrawDeviceTransform* toImage);
  void (*drawMask)(void* data, vimage* mask, const vdrawDeviceTransform* toImage);
};

enum : std::uint16_t {
  vdrawBIND_WINDOW = 0x8, vdrawBIND_MASK_IMAGE = 0x2000, vdrawBIND_DEVICE_CLIP = 0x4000,
  vdrawBIND_CLIP_TO_DEVICE = 0x8000,
};

struct vdrawBinding {
  std::uint16_t flags;
  void* target;
  const vdrawPrimitiveTable* primitives;  // the override, or null
  const vdrawDeviceTable* deviceTable;
  const vdrawDriverRecord* driver;
  vdrawDeviceTransform transform;
  vdrawState** statesBegin;
  vdrawState** statesEnd;
  vdrawState** statesCap;
  vdrawState* inlineStates[4];
  void* deviceData;
};

extern const vdrawDeviceTable vdrawDefaultDeviceTable;
extern const vdrawDriverRecord vdrawPathRecorder;
extern const vexClass vdrawNoCurrentPointClass;  // derived from State

// ---- Plain entry points.
void vdrawStartup();
vdrawState* vdrawGetState();
const vdrawDeviceTable* vdrawGetDeviceTable();
const vdrawPrimitiveTable* vdrawGetPrimitives();        // the current table (override first)
const vdrawPrimitiveTable* vdrawGetSelectedPrimitives();  // what the kind and the point choose
const vdrawPrimitiveTable* vdrawGetBuiltinPrimitives(int kind, int currentPoint);
void* vdrawGetDeviceData();
vdrawPath* vdrawGetDeviceClip();
int vdrawGetStackDepth();

vdrawState* vdrawCopyState();
void _vdrawReleaseState(vdrawState* state);
void vdrawSetState(vdrawState* state);
void vdrawGetDash(int* count, const float** values, double* offset);
void vdrawGetPatternOrigin(int* x, int* y);
void vdrawGetCurrentPoint(double* x, double* y);
void vdrawGetCurrentPointRounded(int* x, int* y);
void _vdrawBindDevice(int flags, void* target, const vdrawPrimitiveTable* primitives, const vdrawDeviceTable* table,
                      const vdrawDriverRecord* driver);
void vdrawBindPathDevice();
void vdrawBindImage(vimage* image, int flags);
void vdrawRegisterImageDriver(const vdrawDriverRecord* driver, int flags);
const vdrawDriverRecord* vdrawGetImageDriver();  // null before a registration
void vdrawSyncState(unsigned mask);
void _vdrawSelectPrimitives();
void _vdrawSyncClip();

// ---- Through the current device table.
inline void vdrawInitClip() { vdrawGetDeviceTable()->initClip(); }
inline void vdrawInitGraphics() { vdrawGetDeviceTable()->initGraphics(); }
inline void vdrawInitMatrix() { vdrawGetDeviceTable()->initMatrix(); }
inline void vdrawInitDeviceClip() { vdrawGetDeviceTable()->initDeviceClip(); }
void vdrawGSave();
void vdrawGRestore();
void vdrawGRestoreAll();
inline void vdrawConcat(const vmatrix* m) { vdrawGetDeviceTable()->concat(m); }
inline void vdrawRotate(double degrees) { vdrawGetDeviceTable()->rotate(degrees); }
inline void vdrawScale(double sx, double sy) { vdrawGetDeviceTable()->scale(sx, sy); }
inline void vdrawTranslate(double tx, double ty) { vdrawGetDeviceTable()->translate(tx, ty); }
inline void vdrawScaleToDevice() { vdrawGetDeviceTable()->scaleToDevice(); }
inline void vdrawSetColor(vcolor* c) { vdrawGetDeviceTable()->setColor(c); }
inline void vdrawSetArcMode(int m) { vdrawGetDeviceTable()->setArcMode(m); }
inline void vdrawSetDash(int n, const float* v, double offset) { vdrawGetDeviceTable()->setDash(n, v, offset); }
inline void vdrawSetFlatness(double f) { vdrawGetDeviceTable()->setFlatness(f); }
inline void vdrawSetFont(vfont* f) { vdrawGetDeviceTable()->setFont(f); }
inline void vdrawSetDrawMode(int m) { vdrawGetDeviceTable()->setDrawMode(m); }
inline void vdrawSetLineCap(int c) { vdrawGetDeviceTable()->setLineCap(c); }
inline void vdrawSetLineJoin(int j) { vdrawGetDeviceTable()->setLineJoin(j); }
inline void vdrawSetLineWidth(double w) { vdrawGetDeviceTable()->setLineWidth(w); }
inline void vdrawSetMatrix(const vmatrix* m) { vdrawGetDeviceTable()->setMatrix(m); }
inline void vdrawSetMiterLimit(double l) { vdrawGetDeviceTable()->setMiterLimit(l); }
inline void vdrawSetStrokeAdjust(int a) { vdrawGetDeviceTable()->setStrokeAdjust(a); }
void vdrawSetSecondColor(vcolor* color);
void vdrawSetPatternOrigin(int x, int y);

// ---- Through the current primitive table.
inline void vdrawPathMoveTo(int x, int y) { vdrawGetPrimitives()->PathMoveTo(x, y); }
inline void vdrawPathMoveToF(double x, double y) { vdrawGetPrimitives()->PathMoveToF(x, y); }
inline void vdrawLineTo(int x, int y) { vdrawGetPrimitives()->LineTo(x, y); }
inline void vdrawLineToF(double x, double y) { vdrawGetPrimitives()->LineToF(x, y); }
inline void vdrawRLineTo(int x, int y) { vdrawGetPrimitives()->RLineTo(x, y); }
inline void vdrawRLineToF(double x, double y) { vdrawGetPrimitives()->RLineToF(x, y); }
inline void vdrawRMoveTo(int x, int y) { vdrawGetPrimitives()->RMoveTo(x, y); }
inline void vdrawRMoveToF(double x, double y) { vdrawGetPrimitives()->RMoveToF(x, y); }
inline void vdrawClosePath() { vdrawGetPrimitives()->ClosePath(); }
inline void vdrawNewPath() { vdrawGetPrimitives()->NewPath(); }
inline void vdrawClip(int rule) { vdrawGetPrimitives()->Clip(rule); }
inline void vdrawFill(int rule) { vdrawGetPrimitives()->Fill(rule); }
inline void vdrawStroke() { vdrawGetPrimitives()->Stroke(); }
inline void vdrawSetDeviceClipToPath(int rule) { vdrawGetPrimitives()->SetDeviceClipToPath(rule); }
inline void vdrawCurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  vdrawGetPrimitives()->CurveTo(x1, y1, x2, y2, x3, y3);
}
inline void vdrawRCurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  vdrawGetPrimitives()->RCurveTo(x1, y1, x2, y2, x3, y3);
}
inline void vdrawRRCurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  vdrawGetPrimitives()->RRCurveTo(x1, y1, x2, y2, x3, y3);
}
inline void vdrawArc(double cx, double cy, double r, double a1, double a2, int direction) {
  vdrawGetPrimitives()->Arc(cx, cy, r, a1, a2, direction);
}
inline void vdrawArcTo(double x1, double y1, double x2, double y2, double r, double* xt1 = nullptr,
                       double* yt1 = nullptr, double* xt2 = nullptr, double* yt2 = nullptr) {
  vdrawGetPrimitives()->ArcTo(x1, y1, x2, y2, r, xt1, yt1, xt2, yt2);
}
inline void vdrawFlattenPath() { vdrawGetDeviceTable()->flattenPath(); }
inline void vdrawClipPath() { vdrawGetDeviceTable()->clipPath(); }
inline void vdrawDeviceClipPath() { vdrawGetDeviceTable()->deviceClipPath(); }
inline void vdrawPathIterBegin(vdrawPathIter* it) { vdrawGetDeviceTable()->pathIterBegin(it); }
inline int vdrawPathIterNext(vdrawPathIter* it) { return vdrawGetDeviceTable()->pathIterNext(it); }
inline void vdrawPathIterEnd(vdrawPathIter* it) { vdrawGetDeviceTable()->pathIterEnd(it); }
inline vdrawSavedPath* vdrawSavePath() { return vdrawGetDeviceTable()->savePath(); }
inline void vdrawFreePath(vdrawSavedPath* p) { vdrawGetDeviceTable()->freePath(p); }
inline void vdrawAppendPath(vdrawSavedPath* p) { vdrawGetDeviceTable()->appendPath(p); }
inline void vdrawFillSavedPath(vdrawSavedPath* p, int rule) { vdrawGetDeviceTable()->fillSavedPath(p, rule); }
inline void vdrawStrokeSavedPath(vdrawSavedPath* p) { vdrawGetDeviceTable()->strokeSavedPath(p); }
inline void vdrawGetClipRects(vrect** r, int* n) { vdrawGetDeviceTable()->getClipRects(r, n); }
inline void vdrawGetClipRectsFloat(vrectFloat** r, int* n) { vdrawGetDeviceTable()->getClipRectsFloat(r, n); }
inline void vdrawGetPathRects(vrect** r, int* n) { vdrawGetDeviceTable()->getPathRects(r, n); }
inline void vdrawGetPathRectsFloat(vrectFloat** r, int* n) { vdrawGetDeviceTable()->getPathRectsFloat(r, n); }
inline void vdrawGetDeviceClipRects(vrect** r, int* n) { vdrawGetDeviceTable()->getDeviceClipRects(r, n); }
inline void vdrawGetDeviceClipRectsFloat(vrectFloat** r, int* n) {
  vdrawGetDeviceTable()->getDeviceClipRectsFloat(r, n);
}
inline void vdrawTransformPoint(double x, double y, double* ox, double* oy) {
  vdrawGetPrimitives()->TransformPoint(x, y, ox, oy);
}
inline void vdrawInverseTransformPoint(double x, double y, double* ox, double* oy) {
  vdrawGetPrimitives()->InverseTransformPoint(x, y, ox, oy);
}

// Shapes as paths of the current state, and the shape operations that fall
// back to them when the current table does not draw shapes itself.
void _vdrawRectPath(const vrect* rects, int n);
void _vdrawRectPathF(const vrectFloat* rects, int n);
// Arcs from the first angle to the second (whole degrees, counterclockwise).
void _vdrawArcPath(const vrect* rects, int n, int a1, int a2, int fromCenter);
void _vdrawRoundRectPath(const vrect* rects, int n, int radius);
void vdrawFillChords(const vrect* rects, int n, int a1, int a2);
void vdrawFillPies(const vrect* rects, int n, int a1, int a2);
void vdrawFrameArcs(const vrect* rects, int n, int a1, int a2);
void vdrawFillRoundRects(const vrect* rects, int n, int radius);
void vdrawFrameRoundRects(const vrect* rects, int n, int radius);
inline void vdrawFillRects(const vrect* r, int n) { vdrawGetPrimitives()->FillRects(r, n); }
inline void vdrawFillRectsF(const vrectFloat* r, int n) { vdrawGetPrimitives()->FillRectsF(r, n); }
inline void vdrawFrameRects(const vrect* r, int n) { vdrawGetPrimitives()->FrameRects(r, n); }
inline void vdrawFrameRectsF(const vrectFloat* r, int n) { vdrawGetPrimitives()->FrameRectsF(r, n); }
inline void vdrawClipRects(const vrect* r, int n) { vdrawGetPrimitives()->ClipRects(r, n); }
inline void vdrawClipRectsF(const vrectFloat* r, int n) { vdrawGetPrimitives()->ClipRectsF(r, n); }
inline void vdrawSetDeviceClipRects(const vrect* r, int n) { vdrawGetPrimitives()->SetDeviceClipRects(r, n); }
inline void vdrawSetDeviceClipRectsF(const vrectFloat* r, int n) { vdrawGetPrimitives()->SetDeviceClipRectsF(r, n); }

// ---- The public drawing operations.
void vdrawRectFill(int x, int y, int w, int h);
void vdrawRectClip(int x, int y, int w, int h);
void vdrawRectFrame(int x, int y, int w, int h);
// Outlines kept inside the rectangles.
void vdrawRectsFrame(const vrect* rects, int n);
void vdrawRectsFrameArcs(const vrect* rects, int n, int a1, int a2);
void vdrawRectsFrameRounded(const vrect* rects, int n, int corner);
// Colour b along the origin's edge and the far vertical edge, a over the other two.
void vdrawRectsFrameShaded(const vrect* rects, int n, vcolor* fill, vcolor* a, vcolor* b);
void vdrawRectsFrameShadedWide(const vrect* rects, int n, vcolor* a, vcolor* b);
int vdrawRectIsVisible(const vrect* r);
void vdrawSetColorRGB(unsigned red, unsigned green, unsigned blue);
void vdrawSetColorHLS(unsigned hue, unsigned lightness, unsigned saturation);
// Mode bit 0 centres horizontally, bit 1 vertically.
void vdrawCharsAt(const char* chars, int length, const vrect* rect, int mode);
// What vdrawCharsAt does before showing: the clip when the text does not
// fit, and the current point where the text starts.
void vdrawPlaceCharsAt(const char* chars, int length, const vrect* rect, int mode);
void vdrawScribeAt(vscribe* s, const vrect* rect, int mode);  // consumes the scribe
void vdrawShowScribe(vscribe* s);                              // at the current point; consumes it
void vdrawUnderlineChars(const char* chars, int length, int show);
void vdrawSetKeyDrawer(void (*drawer)(int key));
void vdrawKey(int key);
void vdrawImage(vimage* image);
void vdrawImageTransformed(vimage* image, const vmatrix* m);
void vdrawImagePrimitive(vimage* image);
void vdrawImageMatrixPrimitive(vimage* image, const vmatrix* m);
void vdrawImageMaskMatrixPrimitive(vimage* image, const vmatrix* m);
void vdrawImageTile(vimage* image, const vrect* rect, void (*draw)(vimage* image));
void vdrawImageTileScaled(vimage* image, const vrect* source, const vrect* destination,
                          void (*draw)(vimage* image, const vmatrix* m));
void vrectFloatToLong(const vrectFloat* in, vrectLong* out);

// Forgets every state, binding and path (tests, exit).
void _vdrawShutdown();

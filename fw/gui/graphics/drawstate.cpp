// The drawing state: the module's start, copy-on-write, the attribute
// setters of the default device table, and the state stack.
#include <cmath>
#include <cstring>

#include "fw/core/sys.h"
#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/image.h"

namespace vdrawint {

Module m;

namespace {

// The records new states start from; never freed.
vdrawTransform defaultTransform;
vdrawDash emptyDash;
vdrawState initialState;

constexpr vdrawDeviceTransform kIdentity = {0, vfixedONE, 0, 0, vfixedONE, 0, 0};

[[noreturn]] void raiseArg() { _vexGenerate(&vexArgClass, vexEnd); }
[[noreturn]] void raiseRange() { _vexGenerate(&vexArgRangeClass, vexEnd); }

vdrawState* cloneState(vdrawState* s) {
  auto* c = static_cast<vdrawState*>(vpoolAlloc(m.states));
  *c = *s;
  c->refs = 1;
  ++c->matrix->refs;
  vcolorRetain(c->color);
  vcolorRetain(c->secondColor);
  ++c->dash->refs;
  ++c->path->refs;
  ++c->clip->refs;
  joinBinding(c->binding, c);
  return c;
}

// The cached mask is an instance of its context's image class, and may
// hold native objects of that context's window layer: it goes when that
// context closes, before its classes and its window layer do.
void freeContextMask() {
  vmoduleContext* closing = vmoduleGetCurrentContext();
  if (m.maskContext == closing) freeMaskImage();
  if (m.maskExitFor == closing) m.maskExitFor = nullptr;
}

}  // namespace

void freeMaskImage() {
  if (m.maskImage) vimageDestroy(m.maskImage);
  m.maskImage = nullptr;
  m.maskContext = nullptr;
}

vimage* cachedMask(int width, int height) {
  vmoduleContext* here = vmoduleGetCurrentContext();
  if (m.maskImage && (m.maskContext != here || m.maskImage->width != width || m.maskImage->height != height))
    freeMaskImage();
  if (!m.maskImage) {
    m.maskImage = vimageCreateSized(width, height, 2);
    m.maskContext = here;
    if (m.maskExitFor != here) {
      vmoduleAddContextExitProc(freeContextMask);
      m.maskExitFor = here;
    }
  }
  return m.maskImage;
}

void ensure() {
  if (m.started) return;
  m.started = true;
  m.states = vpoolCreate(sizeof(vdrawState));
  m.transforms = vpoolCreate(sizeof(vdrawTransform));
  m.bindings = vpoolCreate(sizeof(vdrawBinding) + 128);
  pathStartup();
  m.stack.reserve(8);
  defaultTransform = {0, 1, vmatrixIdentity, vmatrixIdentity, kIdentity, nullptr, kIdentity, 0, 0};
  emptyDash = {1, 0, 0.0f, nullptr};
  vdrawBinding* binding = defaultBinding();
  initialState = {36707, vdrawDIRTY_ALL, 1, 1, &defaultTransform, vcolorGetBlack(), vcolorGetWhite(), &emptyDash,
                  1.0f, 10.0f, vfixedONE, 0, 0, vdrawPathGetEmpty(), vdrawPathGetEmptyClip(), binding};
  ++initialState.path->refs;
  ++initialState.clip->refs;
  vcolorRetain(initialState.color);
  vcolorRetain(initialState.secondColor);
  joinBinding(binding, &initialState);
  m.current = &initialState;
  m.deviceClip = vdrawPathGetEmptyClip();
  ++m.deviceClip->refs;
  loadDevice();
}

vdrawState* privateState() {
  ensure();
  vdrawState* s = m.current;
  if (s->refs > 1) {
    --s->refs;
    m.current = s = cloneState(s);
  }
  return s;
}

vdrawTransform* privateMatrix() {
  vdrawState* s = privateState();
  vdrawTransform* t = s->matrix;
  if (t->refs > 1) {
    --t->refs;
    auto* c = static_cast<vdrawTransform*>(vpoolAlloc(m.transforms));
    *c = *t;
    c->refs = 1;
    s->matrix = t = c;
  }
  return t;
}

void releaseTransform(vdrawTransform* t) {
  if (--t->refs <= 0 && t != &defaultTransform) vpoolFree(m.transforms, t);
}

void releaseDash(vdrawDash* d) {
  if (--d->refs <= 0 && d != &emptyDash) vmemFree(d);
}

void loadDevice() {
  vdrawBinding* b = m.current->binding;
  m.table = b->deviceTable;
  m.driver = b->driver;
  m.data = b->deviceData;
  _vdrawSelectPrimitives();
}

}  // namespace vdrawint

using namespace vdrawint;

namespace {

// Sets a field of the flag word; a value outside the allowed set is Arg.
void setFlagField(int value, std::initializer_list<int> allowed, std::uint16_t field, std::uint16_t dirty) {
  bool ok = false;
  for (int a : allowed) ok = ok || a == value;
  if (!ok) raiseArg();
  ensure();
  if ((m.current->flags & field) == value) return;
  vdrawState* s = privateState();
  s->flags = std::uint16_t((s->flags & ~field) | value);
  s->dirty |= dirty;
}

void setColor(vcolor* color, vcolor* vdrawState::*field, std::uint16_t dirty) {
  ensure();
  if (m.current->*field == color) return;
  vdrawState* s = privateState();
  vcolorRetain(color);
  vcolorRelease(s->*field);
  s->*field = color;
  s->dirty |= dirty;
}

void applyMatrix(const vmatrix& n) {
  vdrawState* s = privateState();
  vdrawTransform* t = privateMatrix();
  t->matrix = n;
  t->flags |= 3;
  vmatrixToFixed(&n, &t->device);
  s->flags &= std::uint16_t(~vdrawDEFAULT_MATRIX);
  s->dirty |= vdrawDIRTY_MATRIX;
  _vdrawSelectPrimitives();
}

const vmatrix& userMatrix() {
  ensure();
  return m.current->matrix->matrix;
}

void initClipDefault() {
  ensure();
  vrect bounds = *m.driver->deviceBounds(m.data);
  vdrawState* s = privateState();
  vdrawPath* c = s->clip;
  if (c->refs == 1 && (c->flags & vdrawPathKIND) == vdrawPathRECTS && c->used == 1 && c != vdrawPathGetEmptyClip()) {
    vrect* r = vdrawPathRectangles(c);
    if (vrectEqual(r, &bounds)) return;
    *r = c->bounds = bounds;
    c->x = c->startX = vfixed(bounds.x) * vfixedONE;
    c->y = c->startY = vfixed(bounds.y) * vfixedONE;
  } else {
    vdrawPathRelease(c);
    s->clip = vdrawPathNewRects(&bounds, 1);
  }
  s->dirty |= vdrawDIRTY_CLIP;
}

void initMatrixDefault() {
  ensure();
  if (m.current->flags & vdrawDEFAULT_MATRIX) return;
  vdrawState* s = privateState();
  vdrawTransform* t = privateMatrix();
  t->device = (m.driver->flags & 1) ? s->binding->transform : *m.driver->deviceTransform(m.data);
  vmatrixFromFixed(&t->device, &t->matrix);
  t->flags |= 3;
  s->flags |= vdrawDEFAULT_MATRIX;
  s->dirty |= vdrawDIRTY_MATRIX;
  _vdrawSelectPrimitives();
}

void initDeviceClipDefault() {
  ensure();
  vdrawPath* region = vdrawPathNewRects(m.driver->deviceBounds(m.data), 1);
  vdrawPathRelease(m.deviceClip);
  m.deviceClip = region;
  if (m.current->binding->flags & vdrawBIND_CLIP_TO_DEVICE) m.current->dirty |= vdrawDIRTY_CLIP;
}

void initGraphicsDefault() {
  ensure();
  const vdrawDeviceTable* t = m.table;
  t->initClip();
  m.table->initMatrix();
  vdrawNewPath();
  m.table->setColor(vcolorGetBlack());
  vdrawSetSecondColor(vcolorGetWhite());
  m.table->setDash(0, nullptr, 0.0);
  m.table->setLineCap(3072);
  m.table->setLineJoin(768);
  m.table->setLineWidth(1.0);
  m.table->setMiterLimit(10.0);
}

// Makes next current (its reference already counted); true when the binding changed.
bool switchTo(vdrawState* next) {
  vdrawState* old = m.current;
  bool rebind = next->binding != old->binding;
  if (rebind) m.driver->end(m.data);
  if (next->clip != old->clip || (old->dirty & vdrawDIRTY_CLIP)) next->dirty |= vdrawDIRTY_CLIP;
  m.current = next;
  _vdrawReleaseState(old);
  loadDevice();
  return rebind;
}

void gsaveDefault() {
  ensure();
  m.stack.push_back(m.current);
  ++m.current->refs;
}

void grestoreDefault() {
  ensure();
  if (m.stack.empty() || m.restoring) return;
  vdrawState* s = m.stack.back();
  m.stack.pop_back();
  if (!switchTo(s)) return;
  if (m.table->grestore != grestoreDefault && !m.maskRestore) {
    m.restoring = true;
    vexGuard([] { m.table->grestore(); },
             [](vexHandler&) {
               m.restoring = false;
               _vexGenerate(nullptr, vexEnd);
             });
    m.restoring = false;
  }
  m.driver->begin(m.data);
}

void grestoreAllDefault() {
  ensure();
  while (!m.stack.empty()) {
    vdrawState* s = m.stack.back();
    m.stack.pop_back();
    _vdrawReleaseState(s);
  }
  m.table->initGraphics();
}

void setDashDefault(int count, const float* values, double offset) {
  // The record counts in 16 bits: a longer pattern would be cut short.
  if (count < 0 || count > 0xFFFF || (count > 0 && !values)) raiseArg();
  bool allZero = true;
  for (int i = 0; i < count; ++i) {
    if (values[i] < 0) raiseArg();
    allZero = allZero && values[i] == 0;
  }
  if (count > 0 && allZero) raiseArg();
  vdrawState* s = privateState();
  vdrawDash* d = &emptyDash;
  if (count > 0) {
    d = static_cast<vdrawDash*>(vmemAlloc(sizeof(vdrawDash) + sizeof(float) * std::size_t(count)));
    d->values = reinterpret_cast<float*>(d + 1);
    std::memcpy(d->values, values, sizeof(float) * std::size_t(count));
    *d = {0, std::uint16_t(count), float(offset), d->values};
  }
  ++d->refs;
  releaseDash(s->dash);
  s->dash = d;
  s->dirty |= vdrawDIRTY_DASH;
}

void setLineWidthDefault(double width) {
  if (width < 0.0) raiseRange();
  ensure();
  if (m.current->lineWidth == float(width)) return;
  vdrawState* s = privateState();
  s->lineWidth = float(width);
  s->roundedWidth = std::int16_t(std::floor(width + 0.5));
  s->dirty |= vdrawDIRTY_LINE_WIDTH;
}

void setMiterLimitDefault(double limit) {
  if (limit < 1.0) raiseRange();
  ensure();
  if (m.current->miterLimit == float(limit)) return;
  privateState()->miterLimit = float(limit);
  m.current->dirty |= vdrawDIRTY_MITER;
}

void setFlatnessDefault(double flatness) {
  vfixed f = vfixedFromDouble(flatness);
  if (flatness < 0.0) raiseRange();
  f = f < 13107 ? 13107 : f > 6553600 ? 6553600 : f;
  ensure();
  if (m.current->flatness == f) return;
  privateState()->flatness = f;
}

void setFontDefault(vfont* font) {
  ensure();
  if (m.current->matrix->font == font) return;
  vdrawState* s = privateState();
  vdrawTransform* t = privateMatrix();
  t->font = font;
  t->flags |= 2;
  s->dirty |= vdrawDIRTY_FONT;
}

void setPatternOriginDefault(int x, int y) {
  ensure();
  if (m.current->patternX == x && m.current->patternY == y) return;
  vdrawState* s = privateState();
  s->patternX = std::int16_t(x);
  s->patternY = std::int16_t(y);
  s->dirty |= vdrawDIRTY_PATTERN;
}

void scaleToDeviceDefault() {
  ensure();
  if (!(m.driver->flags & 1)) return;
  const vdrawDeviceTransform& t = m.current->binding->transform;
  m.table->scale(std::abs(t.a) / 65536.0, std::abs(t.d) / 65536.0);
}

// What comes with the path rendering: refused until then.
[[noreturn]] void unbuilt(const char* what) { vexGenerateMessage(&vexModuleUnimplementedClass, what); }

}  // namespace

const vdrawDeviceTable vdrawDefaultDeviceTable = {
    3,
    initClipDefault,
    initGraphicsDefault,
    initMatrixDefault,
    initDeviceClipDefault,
    grestoreDefault,
    grestoreAllDefault,
    gsaveDefault,
    [](const vmatrix* n) {
      vmatrix r;
      vmatrixConcat(n, &userMatrix(), &r);
      applyMatrix(r);
    },
    [](double degrees) {
      vmatrix r;
      vmatrixRotate(&userMatrix(), degrees, &r);
      applyMatrix(r);
    },
    [](double sx, double sy) {
      vmatrix r;
      vmatrixScale(&userMatrix(), sx, sy, &r);
      applyMatrix(r);
    },
    [](double tx, double ty) {
      vmatrix r;
      vmatrixTranslate(&userMatrix(), tx, ty, &r);
      applyMatrix(r);
    },
    scaleToDeviceDefault,
    [](vcolor* c) { setColor(c, &vdrawState::color, vdrawDIRTY_COLOR); },
    [](int mode) { setFlagField(mode, {64, 128, 192}, vdrawARC_MASK, vdrawDIRTY_ARC_MODE); },
    setDashDefault,
    setFlatnessDefault,
    setFontDefault,
    [](int mode) {
      if (mode < 0 || mode > 17) raiseArg();
      setFlagField(mode, {mode}, vdrawMODE_MASK, vdrawDIRTY_DRAW_MODE);
    },
    [](int cap) { setFlagField(cap, {1024, 2048, 3072}, vdrawCAP_MASK, vdrawDIRTY_CAP); },
    [](int join) { setFlagField(join, {256, 512, 768}, vdrawJOIN_MASK, vdrawDIRTY_JOIN); },
    setLineWidthDefault,
    [](const vmatrix* n) {
      ensure();
      applyMatrix(*n);
    },
    setMiterLimitDefault,
    [](int adjust) { setFlagField(adjust, {0, 32}, vdrawSTROKE_ADJUST, vdrawDIRTY_STROKE_ADJUST); },
    getClipRects,
    getClipRectsFloat,
    [] { pathFromClip(false); },
    [] {
      ensure();
      pathFlatten();
    },
    pathIterBegin,
    pathIterNext,
    pathIterEnd,
    getPathRects,
    getPathRectsFloat,
    [] { unbuilt("ReversePath is not implemented"); },
    [] { unbuilt("StrokePath is not implemented"); },
    getDeviceClipRects,
    getDeviceClipRectsFloat,
    [] { pathFromClip(true); },
    savePath,
    freeSavedPath,
    appendSavedPath,
    fillSavedPath,
    strokeSavedPath,
    [](vcolor* c) { setColor(c, &vdrawState::secondColor, vdrawDIRTY_SECOND_COLOR); },
    setPatternOriginDefault,
};

void vdrawStartup() { ensure(); }

vdrawState* vdrawGetState() {
  ensure();
  return m.current;
}
const vdrawDeviceTable* vdrawGetDeviceTable() {
  ensure();
  return m.table;
}
const vdrawPrimitiveTable* vdrawGetPrimitives() {
  ensure();
  return m.primitives;
}
const vdrawPrimitiveTable* vdrawGetSelectedPrimitives() {
  ensure();
  return m.selected;
}
void* vdrawGetDeviceData() {
  ensure();
  return m.data;
}
vdrawPath* vdrawGetDeviceClip() {
  ensure();
  return m.deviceClip;
}
int vdrawGetStackDepth() { return int(m.stack.size()); }

void vdrawGSave() { vdrawGetDeviceTable()->gsave(); }
void vdrawGRestore() { vdrawGetDeviceTable()->grestore(); }
void vdrawGRestoreAll() { vdrawGetDeviceTable()->grestoreAll(); }

void vdrawSetSecondColor(vcolor* color) {
  const vdrawDeviceTable* t = vdrawGetDeviceTable();
  (t->flags & 1 ? t : &vdrawDefaultDeviceTable)->setSecondColor(color);
}

void vdrawSetPatternOrigin(int x, int y) {
  const vdrawDeviceTable* t = vdrawGetDeviceTable();
  (t->flags & 2 ? t : &vdrawDefaultDeviceTable)->setPatternOrigin(x, y);
}

vdrawState* vdrawCopyState() {
  ensure();
  return cloneState(m.current);
}

void _vdrawReleaseState(vdrawState* s) {
  if (--s->refs > 0) return;
  releaseTransform(s->matrix);
  vcolorRelease(s->color);
  vcolorRelease(s->secondColor);
  releaseDash(s->dash);
  vdrawPathRelease(s->path);
  vdrawPathRelease(s->clip);
  leaveBinding(s);
  if (s != &initialState) vpoolFree(m.states, s);
}

void vdrawSetState(vdrawState* state) {
  ensure();
  ++state->refs;
  if (switchTo(state)) m.driver->begin(m.data);
}

void vdrawGetDash(int* count, const float** values, double* offset) {
  ensure();
  const vdrawDash* d = m.current->dash;
  *count = d->count;
  *values = d->count < 1 ? nullptr : d->values;
  *offset = d->offset;
}

void vdrawGetPatternOrigin(int* x, int* y) {
  ensure();
  *x = m.current->patternX;
  *y = m.current->patternY;
}

void _vdrawShutdown() {
  if (!m.started) return;
  freeMaskImage();
  while (!m.stack.empty()) {
    _vdrawReleaseState(m.stack.back());
    m.stack.pop_back();
  }
  _vdrawReleaseState(m.current);
  vdrawPathRelease(m.deviceClip);
  vpoolDestroy(m.states);
  vpoolDestroy(m.transforms);
  vpoolDestroy(m.bindings);
  vpoolDestroy(m.paths);
  m = Module{};
}

// The PostScript device and primitive tables: each operation does what the
// framework does on any device, then writes its operator, so that the
// interpreter's graphics state follows the framework's step by step.
#include <cmath>
#include <type_traits>

#include "fw/gui/print/ps_internal.h"

namespace vprintps {
namespace {

const vdrawDeviceTable& base() { return vdrawDefaultDeviceTable; }

void putPoints(vprint* job, std::initializer_list<double> values, const char* op) {
  for (double v : values) putReal(job, v);
  put(job, op);
}

const char* ruleOp(int rule, const char* evenOdd, const char* winding) { return rule == 0x1000 ? evenOdd : winding; }

template <class R>
void putRects(vprint* job, const R* rects, int n, const char* op) {
  for (int i = n - 1; i >= 0; --i) {
    if constexpr (std::is_same_v<R, vrect>) {
      for (int v : {rects[i].x, rects[i].y, rects[i].width, rects[i].height}) putInt(job, v);
    } else {
      for (float v : {rects[i].x, rects[i].y, rects[i].width, rects[i].height}) putReal(job, v);
    }
  }
  putInt(job, n);
  put(job, op);
}

// The saved path's elements in user space, the state left as it was.
void putSavedPath(vprint* job, vdrawSavedPath* saved) {
  base().gsave();
  vexGuard(
      [&] {
        base().appendPath(saved);
        vdrawPathIter it;
        base().pathIterBegin(&it);
        vexGuard(
            [&] {
              while (base().pathIterNext(&it)) {
                switch (it.kind) {
                  case vdrawMOVETO: putPoints(job, {it.x, it.y}, "m "); break;
                  case vdrawLINETO: putPoints(job, {it.x, it.y}, "l "); break;
                  case vdrawCURVETO: putPoints(job, {it.x1, it.y1, it.x2, it.y2, it.x, it.y}, "c "); break;
                  case vdrawCLOSEPATH: put(job, "z "); break;
                  default: vexGenerateMessage(&vexReturnClass, "path element PostScript has no operator for");
                }
              }
            },
            [&](vexHandler&) {
              base().pathIterEnd(&it);
              _vexGenerate(nullptr, vexEnd);
            });
        base().pathIterEnd(&it);
      },
      [&](vexHandler&) {
        base().grestore();
        _vexGenerate(nullptr, vexEnd);
      });
  base().grestore();
}

int capCode(int cap) { return cap == 2048 ? 1 : cap == 1024 ? 2 : 0; }
int joinCode(int join) { return join == 512 ? 1 : join == 256 ? 2 : 0; }

vdrawDeviceTable makeDeviceTable() {
  vdrawDeviceTable t = vdrawDefaultDeviceTable;
  t.initClip = [] {
    if (vprint* j = after([] { base().initClip(); })) put(j, "initclip\n");
  };
  t.initGraphics = [] {
    if (vprint* j = after([] { base().initGraphics(); })) put(j, "initgraphics\n");
  };
  t.initMatrix = [] {
    if (vprint* j = after([] { base().initMatrix(); })) put(j, "initmatrix\n");
  };
  t.grestore = [] {
    vprint* before = target();
    vprint* now = after([] { base().grestore(); });
    if (before && now == before) put(before, "gr\n");
  };
  t.grestoreAll = [] {
    vprint* before = target();
    after([] { base().grestoreAll(); });
    if (before) put(before, "grestoreall\n");
  };
  t.gsave = [] {
    if (vprint* j = after([] { base().gsave(); })) put(j, "gs\n");
  };
  t.concat = [](const vmatrix* x) {
    if (vprint* j = after([&] { base().concat(x); })) putMatrix(j, x), put(j, "concat\n");
  };
  t.rotate = [](double a) {
    if (vprint* j = after([&] { base().rotate(a); })) putPoints(j, {a}, "rm\n");
  };
  t.scale = [](double sx, double sy) {
    if (vprint* j = after([&] { base().scale(sx, sy); })) putPoints(j, {sx, sy}, "sm\n");
  };
  t.translate = [](double tx, double ty) {
    if (vprint* j = after([&] { base().translate(tx, ty); })) putPoints(j, {tx, ty}, "tm\n");
  };
  // Every model as its RGB components: sethsbcolor would take HLS values
  // for hue, saturation and brightness.
  t.setColor = [](vcolor* c) {
    vprint* j = after([&] { base().setColor(c); });
    if (!j) return;
    unsigned r, g, b;
    vcolorGetSpecRGB(&c->desc, &r, &g, &b);
    putPoints(j, {r / 65535.0, g / 65535.0, b / 65535.0}, "sc\n");
  };
  t.setDash = [](int n, const float* values, double offset) {
    vprint* j = after([&] { base().setDash(n, values, offset); });
    if (!j) return;
    put(j, "[");
    for (int i = 0; i < n; ++i) putReal(j, values[i]);
    put(j, "] ");
    putPoints(j, {offset}, "setdash\n");
  };
  t.setFlatness = [](double f) {
    if (vprint* j = after([&] { base().setFlatness(f); })) putPoints(j, {f}, "setflat\n");
  };
  t.setFont = setFont;
  t.setLineCap = [](int cap) {
    vprint* j = after([&] { base().setLineCap(cap); });
    if (j) putInt(j, capCode(cap)), put(j, "setlinecap\n");
  };
  t.setLineJoin = [](int join) {
    vprint* j = after([&] { base().setLineJoin(join); });
    if (j) putInt(j, joinCode(join)), put(j, "setlinejoin\n");
  };
  t.setLineWidth = [](double w) {
    if (vprint* j = after([&] { base().setLineWidth(w); })) putPoints(j, {w}, "sw\n");
  };
  t.setMatrix = [](const vmatrix* x) {
    if (vprint* j = after([&] { base().setMatrix(x); })) putMatrix(j, x), put(j, "setmatrix\n");
  };
  t.setMiterLimit = [](double l) {
    if (vprint* j = after([&] { base().setMiterLimit(l); })) putPoints(j, {l}, "setmiterlimit\n");
  };
  t.clipPath = [] {
    if (vprint* j = after([] { base().clipPath(); })) put(j, "clippath\n");
  };
  t.flattenPath = [] {
    if (vprint* j = after([] { base().flattenPath(); })) put(j, "flattenpath\n");
  };
  t.reversePath = [] {
    if (vprint* j = after([] { base().reversePath(); })) put(j, "reversepath\n");
  };
  t.strokePath = [] {
    if (vprint* j = after([] { base().strokePath(); })) put(j, "strokepath\n");
  };
  t.appendPath = [](vdrawSavedPath* p) {
    if (vprint* j = target()) putSavedPath(j, p);
    after([&] { base().appendPath(p); });
  };
  t.fillSavedPath = [](vdrawSavedPath* p, int rule) {
    vprint* j = after([&] { base().fillSavedPath(p, rule); });
    if (!j) return;
    putSavedPath(j, p);
    put(j, ruleOp(rule, "pF\n", "pf\n"));
  };
  t.strokeSavedPath = [](vdrawSavedPath* p) {
    vprint* j = after([&] { base().strokeSavedPath(p); });
    if (!j) return;
    putSavedPath(j, p);
    put(j, "ps\n");
  };
  return t;
}

// ---- Primitives.

// Angles a whole number of turns apart give the whole circle on every
// device; the interpreter's arc draws nothing for equal angles, so the
// second angle is written one turn on.
double wholeTurn(double a1, double a2, int direction) {
  if (std::fmod(a2 - a1, 360.0) != 0) return a2;
  return direction >= 1 ? a1 + 360 : a1 - 360;
}
void pointOp(std::initializer_list<double> values, const char* op, vprint* j) {
  if (j) putPoints(j, values, op);
}
void intOp(int x, int y, const char* op, vprint* j) {
  if (!j) return;
  putInt(j, x);
  putInt(j, y);
  put(j, op);
}

vdrawPrimitiveTable makeTable(bool color) {
  vdrawPrimitiveTable t{};
  t.flags = 0;
  t.TransformDistance = [](double x, double y, double* ox, double* oy) { builtin().TransformDistance(x, y, ox, oy); };
  t.InverseTransformDistance = [](double x, double y, double* ox, double* oy) {
    builtin().InverseTransformDistance(x, y, ox, oy);
  };
  t.InverseTransformPoint = [](double x, double y, double* ox, double* oy) {
    builtin().InverseTransformPoint(x, y, ox, oy);
  };
  t.TransformPoint = [](double x, double y, double* ox, double* oy) { builtin().TransformPoint(x, y, ox, oy); };
  t.ClosePath = [] {
    if (vprint* j = after([] { builtin().ClosePath(); })) put(j, "z ");
  };
  t.CurveTo = [](double x1, double y1, double x2, double y2, double x3, double y3) {
    pointOp({x1, y1, x2, y2, x3, y3}, "c ", after([&] { builtin().CurveTo(x1, y1, x2, y2, x3, y3); }));
  };
  t.LineTo = [](int x, int y) { intOp(x, y, "l ", after([&] { builtin().LineTo(x, y); })); };
  t.LineToF = [](double x, double y) { pointOp({x, y}, "l ", after([&] { builtin().LineToF(x, y); })); };
  t.PathMoveTo = [](int x, int y) { intOp(x, y, "m ", after([&] { builtin().PathMoveTo(x, y); })); };
  t.PathMoveToF = [](double x, double y) { pointOp({x, y}, "m ", after([&] { builtin().PathMoveToF(x, y); })); };
  t.NewPath = [] {
    if (vprint* j = after([] { builtin().NewPath(); })) put(j, "a ");
  };
  t.RCurveTo = [](double x1, double y1, double x2, double y2, double x3, double y3) {
    pointOp({x1, y1, x2, y2, x3, y3}, "C ", after([&] { builtin().RCurveTo(x1, y1, x2, y2, x3, y3); }));
  };
  t.RLineTo = [](int x, int y) { intOp(x, y, "L ", after([&] { builtin().RLineTo(x, y); })); };
  t.RLineToF = [](double x, double y) { pointOp({x, y}, "L ", after([&] { builtin().RLineToF(x, y); })); };
  t.RMoveTo = [](int x, int y) { intOp(x, y, "M ", after([&] { builtin().RMoveTo(x, y); })); };
  t.RMoveToF = [](double x, double y) { pointOp({x, y}, "M ", after([&] { builtin().RMoveToF(x, y); })); };
  t.RRCurveTo = [](double x1, double y1, double x2, double y2, double x3, double y3) {
    pointOp({x1, y1, x2, y2, x3, y3}, "CC ", after([&] { builtin().RRCurveTo(x1, y1, x2, y2, x3, y3); }));
  };
  t.Arc = [](double cx, double cy, double r, double a1, double a2, int direction) {
    pointOp({cx, cy, r, a1, wholeTurn(a1, a2, direction)}, direction >= 1 ? "arc " : "arcn ",
            after([&] { builtin().Arc(cx, cy, r, a1, a2, direction); }));
  };
  t.ArcTo = [](double x1, double y1, double x2, double y2, double r, double* a, double* b, double* c, double* d) {
    pointOp({x1, y1, x2, y2, r}, "arct ", after([&] { builtin().ArcTo(x1, y1, x2, y2, r, a, b, c, d); }));
  };
  t.Clip = [](int rule) {
    if (vprint* j = after([&] { builtin().Clip(rule); })) put(j, ruleOp(rule, "pC\n", "pc\n"));
  };
  t.Fill = [](int rule) {
    if (vprint* j = after([&] { builtin().Fill(rule); })) put(j, ruleOp(rule, "pF\n", "pf\n"));
  };
  t.Stroke = [] {
    if (vprint* j = after([] { builtin().Stroke(); })) put(j, "ps\n");
  };
  t.SetDeviceClipToPath = [](int rule) { builtin().SetDeviceClipToPath(rule); };
  t.ClipRects = [](const vrect* r, int n) {
    if (vprint* j = after([&] { builtin().ClipRects(r, n); })) putRects(j, r, n, "rc\n");
  };
  t.ClipRectsF = [](const vrectFloat* r, int n) {
    if (vprint* j = after([&] { builtin().ClipRectsF(r, n); })) putRects(j, r, n, "rc\n");
  };
  t.FillRects = [](const vrect* r, int n) {
    if (vprint* j = after([&] { builtin().FillRects(r, n); })) putRects(j, r, n, "rf\n");
  };
  t.FillRectsF = [](const vrectFloat* r, int n) {
    if (vprint* j = after([&] { builtin().FillRectsF(r, n); })) putRects(j, r, n, "rf\n");
  };
  t.FrameRects = [](const vrect* r, int n) {
    if (vprint* j = after([&] { builtin().FrameRects(r, n); })) putRects(j, r, n, "rs\n");
  };
  t.FrameRectsF = [](const vrectFloat* r, int n) {
    if (vprint* j = after([&] { builtin().FrameRectsF(r, n); })) putRects(j, r, n, "rs\n");
  };
  t.SetDeviceClipRects = [](const vrect* r, int n) { builtin().SetDeviceClipRects(r, n); };
  t.SetDeviceClipRectsF = [](const vrectFloat* r, int n) { builtin().SetDeviceClipRectsF(r, n); };
  t.AWidthShow = aWidthShow;
  t.Show = show;
  t.XYShow = xyShow;
  t.ImageMatrix = color ? colorImageMatrix : greyImageMatrix;
  t.ImageMaskMatrix = imageMaskMatrix;
  t.Image = color ? colorImage : greyImage;
  t.ImageMask = imageMask;
  t.CharPath = charPath;
  t.ImageMaskPathMatrix = imageMaskPathMatrix;
  t.ImageMaskPath = imageMaskPath;
  return t;
}

}  // namespace

// Made on first use: they copy the framework's tables.
const vdrawDeviceTable* deviceTable() {
  static const vdrawDeviceTable t = makeDeviceTable();
  return &t;
}
const vdrawPrimitiveTable* greyTable() {
  static const vdrawPrimitiveTable t = makeTable(false);
  return &t;
}
const vdrawPrimitiveTable* colorTable() {
  static const vdrawPrimitiveTable t = makeTable(true);
  return &t;
}

}  // namespace vprintps

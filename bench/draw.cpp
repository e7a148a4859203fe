// The drawing state's save, change, sync and restore round, the look-up of a
// font description already resolved once, filling a path of curves and shaded frames.
#include <benchmark/benchmark.h>

#include <cmath>

#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"

namespace {

// A driver that only counts its syncs.
long syncs = 0;
vdrawDriverRecord countingDriver() {
  vdrawDriverRecord d = vdrawPathRecorder;
  d.sync = [](void*, unsigned) { ++syncs; };
  return d;
}

vcolor* rgb(unsigned r, unsigned g, unsigned b) {
  vcolorSpec desc;
  vcolorInitSpec(&desc);
  vcolorSetSpecRGB(&desc, r, g, b);
  return vcolorInternSpec(&desc);
}

void BM_SaveColorSyncRestore(benchmark::State& state) {
  static const vdrawDriverRecord driver = countingDriver();
  static int window;
  _vdrawBindDevice(vdrawBIND_WINDOW, &window, nullptr, &vdrawDefaultDeviceTable, &driver);
  vcolor* other = rgb(65535, 0, 0);
  vdrawSyncState(vdrawSYNC_FILL);
  syncs = 0;
  for (auto _ : state) {
    vdrawGSave();
    vdrawSetColor(other);
    vdrawSyncState(vdrawSYNC_FILL);
    vdrawGRestore();
  }
  if (syncs != long(state.iterations())) state.SkipWithError("one sync a round");
  vcolorRelease(other);
  _vdrawShutdown();
}
BENCHMARK(BM_SaveColorSyncRestore);

void registerFonts() {
  const char* families[] = {"Helvetica", "Courier", "Times", "Arial", "Symbol"};
  const char* faces[] = {"medium", "bold", "italic", "bold italic"};
  int device = vfontAllocDevice();
  for (const char* f : families) {
    vfontFamily* family =
        vfontRegisterFamily(vnameInternLiteral(f), vnameInternLiteral("Bench"), vnameInternLiteral("ansi"), 0, device);
    for (const char* g : faces) {
      vfontFace* face = vfontRegisterFace(family, vnameInternLiteral(g), device);
      for (float p : {8.f, 9.f, 10.f, 12.f, 14.f, 18.f, 24.f}) {
        vmatrix m{p, 0, 0, p, 0, 0};
        vfontRegisterSize(face, &m, device);
      }
    }
  }
}

void BM_FontFindCached(benchmark::State& state) {
  registerFonts();
  const char* desc = "family:Times-face:bold italic-size:12";
  vfont* first = vfontFindScribe(vscribeLiteral(desc));
  for (auto _ : state) {
    vfont* f = vfontFindScribe(vscribeLiteral(desc));
    benchmark::DoNotOptimize(f);
    if (f != first) state.SkipWithError("another font");
  }
  _vfontShutdown();
}
BENCHMARK(BM_FontFindCached);

// A driver that counts what it is asked to paint.
long points = 0, rectangles = 0;
vdrawDriverRecord paintCounter() {
  vdrawDriverRecord d = vdrawPathRecorder;
  d.sync = [](void*, unsigned) {};
  d.deviceBounds = [](void*) -> const vrect* {
    static const vrect screen = {0, 0, 1600, 1200};
    return &screen;
  };
  d.fillPolygon = [](void*, const vpoint*, int n) { points += n; };
  d.fillRects = [](void*, const vrect*, int n) { rectangles += n; };
  return d;
}

void bindPaintCounter() {
  static const vdrawDriverRecord driver = paintCounter();
  static int window;
  _vdrawBindDevice(vdrawBIND_WINDOW, &window, nullptr, &vdrawDefaultDeviceTable, &driver);
  vdrawInitDeviceClip();
}

// A closed wavy ring of 1,000 cubic curves, flattened and filled.
void BM_FillThousandCurves(benchmark::State& state) {
  bindPaintCounter();
  constexpr int kCurves = 1000;
  double xy[kCurves + 1][2];
  for (int i = 0; i <= kCurves; ++i) {
    double a = 2 * M_PI * i / kCurves, r = 400 + (i % 2 ? 30 : -30);
    xy[i][0] = 600 + r * std::cos(a), xy[i][1] = 600 + r * std::sin(a);
  }
  points = 0;
  for (auto _ : state) {
    vdrawPathMoveToF(xy[0][0], xy[0][1]);
    for (int i = 1; i <= kCurves; ++i) {
      double mx = (xy[i - 1][0] + xy[i][0]) / 2, my = (xy[i - 1][1] + xy[i][1]) / 2;
      vdrawCurveTo(mx + 8, my - 8, mx - 8, my + 8, xy[i][0], xy[i][1]);
    }
    vdrawClosePath();
    vdrawFill(0);
  }
  if (points < long(state.iterations()) * kCurves * 3) state.SkipWithError("every curve adds its points");
  state.counters["points"] = double(points) / double(state.iterations());
  _vdrawShutdown();
}
BENCHMARK(BM_FillThousandCurves)->Unit(benchmark::kMillisecond);

// 1,000 shaded frames of 20 x 20 with line width 1.
void BM_ThousandShadedFrames(benchmark::State& state) {
  bindPaintCounter();
  vcolor *light = rgb(65535, 65535, 65535), *dark = rgb(0, 0, 0);
  vdrawSetStrokeAdjust(32);
  rectangles = 0;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      vrect r = {std::int16_t(i % 50 * 24), std::int16_t(i / 50 * 24), 20, 20};
      vdrawRectsFrameShaded(&r, 1, nullptr, light, dark);
    }
  }
  if (rectangles != long(state.iterations()) * 1000 * 4) state.SkipWithError("two bands of each colour a frame");
  vcolorRelease(light);
  vcolorRelease(dark);
  _vdrawShutdown();
}
BENCHMARK(BM_ThousandShadedFrames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

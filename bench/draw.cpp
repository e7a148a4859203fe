// The drawing state's save, change, sync and restore round, the look-up of a
// font description already resolved once, filling a path of curves and shaded frames;
// the GDI driver on a headless 1024 x 768 window: a whole fill, frames and images.
#include <benchmark/benchmark.h>

#include <cmath>

#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/msw.h"
#include "platform/win/test.h"

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

// A plain 1024 x 768 window of the headless screen, bound under a save.
vwindow* screenWindow() {
  static vwindow* w = nullptr;
  if (!w) {
    vsysStartup();
    vwindowEnsureStartup();
    w = vwindowCreate();
    w->rect = {0, 0, 1024, 768};
    vwindowMSWRegisterClass(w);
    w->flags |= vwindowOPEN;
    vwindowMSWShow(w);
  }
  return w;
}

template <class Body>
void onWindow(Body body) {
  vdrawGSave();
  vwindowBindDrawTarget(screenWindow());
  body();
  vdrawGRestore();
}

bool pixelIs(int x, int y, win::COLORREF c) {
  return win::test::Pixel(vwindowGetMSWWindow(screenWindow()), x, y) == c;
}

void BM_GdiFillWholeWindow(benchmark::State& state) {
  onWindow([&] {
    vdrawSetColor(rgb(65535, 0, 0));
    for (auto _ : state) vdrawRectFill(0, 0, 1024, 768);
  });
  if (!pixelIs(1023, 767, 0x0000FF)) state.SkipWithError("the whole window is red");
}
BENCHMARK(BM_GdiFillWholeWindow)->Unit(benchmark::kMillisecond);

void BM_GdiThousandFrames(benchmark::State& state) {
  onWindow([&] {
    vdrawSetColor(rgb(0, 0, 65535));
    for (auto _ : state)
      for (int i = 0; i < 1000; ++i) {
        vrect r = {std::int16_t(i % 50 * 20), std::int16_t(i / 50 * 24), 20, 20};
        vdrawRectsFrame(&r, 1);
      }
  });
  if (!pixelIs(0, 767, 0xFF0000)) state.SkipWithError("frames drawn");
}
BENCHMARK(BM_GdiThousandFrames)->Unit(benchmark::kMillisecond);

// 1,000 lines three pixels wide, 100 pixels long, in every direction.
void BM_GdiThousandWideLines(benchmark::State& state) {
  onWindow([&] {
    vdrawSetColor(rgb(0, 65535, 0));
    vdrawSetLineWidth(3);
    for (auto _ : state)
      for (int i = 0; i < 1000; ++i) {
        double a = i * 0.37, x = 100 + i % 40 * 20, y = 100 + i / 40 * 20;
        vdrawPathMoveToF(x, y);
        vdrawLineToF(x + 100 * std::cos(a), y + 100 * std::sin(a));
        vdrawStroke();
      }
  });
  if (!pixelIs(150, 768 - 100, 0x00FF00)) state.SkipWithError("lines drawn");
  state.counters["us_per_line"] =
      benchmark::Counter(double(state.iterations()) * 1000, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                         benchmark::Counter::kIs1000);
}
BENCHMARK(BM_GdiThousandWideLines)->Unit(benchmark::kMillisecond);

vimage* picture(int w, int h) {
  vimage* image = vimageCreateSized(w, h, 0x1000000u);
  vpixmapSetDepth(image, 24);
  vimageSetNoPalette(image, 1);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) vpixmapCursorSetAt(&c, x, y, std::uint32_t((x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x40));
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(image);
  return image;
}

void BM_GdiImageUnscaled(benchmark::State& state) {
  vimage* image = picture(1024, 768);
  onWindow([&] {
    vdrawPathMoveTo(0, 0);
    for (auto _ : state) vdrawImage(image);
  });
  if (!pixelIs(5, 767, win::RGB(5, 0, 0x40))) state.SkipWithError("the picture is on the window");
  vimageDestroy(image);
}
BENCHMARK(BM_GdiImageUnscaled)->Unit(benchmark::kMillisecond);

void BM_GdiImageRotated(benchmark::State& state) {
  vimage* image = picture(512, 512);
  onWindow([&] {
    vdrawTranslate(512, 384);
    vdrawRotate(30);
    vdrawPathMoveTo(-256, -256);
    for (auto _ : state) vdrawImage(image);
  });
  vimageDestroy(image);
}
BENCHMARK(BM_GdiImageRotated)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

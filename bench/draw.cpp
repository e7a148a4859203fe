// The drawing state's save, change, sync and restore round, and the look-up
// of a font spec already resolved once.
#include <benchmark/benchmark.h>

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
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, r, g, b);
  return vcolorInternSpec(&spec);
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
  const char* spec = "family:Times-face:bold italic-size:12";
  vfont* first = vfontFindScribe(vscribeLiteral(spec));
  for (auto _ : state) {
    vfont* f = vfontFindScribe(vscribeLiteral(spec));
    benchmark::DoNotOptimize(f);
    if (f != first) state.SkipWithError("another font");
  }
  _vfontShutdown();
}
BENCHMARK(BM_FontFindCached);

}  // namespace

BENCHMARK_MAIN();

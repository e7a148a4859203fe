// The drawing state's save, change, sync and restore round, and the look-up
// of a font spec already resolved once.
#include <benchmark/benchmark.h>

#include "fw/core/name.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/font.h"

namespace {

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

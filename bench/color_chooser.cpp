// The colour chooser, headless: one drag step in the wheel (the working
// colour, the ramps' palettes, then the swatch, ramps and wheel redrawn),
// the same in the plane, and a rebuild of the plane's pixels and palette.
#include <benchmark/benchmark.h>

#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/startup.h"

namespace {

vcolorchsr* chooser = nullptr;

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

// Alternating between two points of the square, so that every step changes the colour.
void dragStep(benchmark::State& state, int model) {
  vcolorchsrSetModel(chooser, model);
  settle();
  vrect sq = _vcolorchsrWheelSquare(chooser->wheel);
  int cx = sq.x + sq.width / 2, cy = sq.y + sq.height / 2;
  int step = 0;
  for (auto _ : state) {
    int d = (++step & 1) ? sq.width / 4 : sq.width / 3;
    _vcolorchsrWheelPointer(chooser, cx + d, cy + d / 2, veventPOINTER_DRAG);
    settle();
  }
  state.SetItemsProcessed(state.iterations());
}
void wheelDrag(benchmark::State& state) { dragStep(state, vcolorchsrHLS); }
void planeDrag(benchmark::State& state) { dragStep(state, vcolorchsrRGB); }
BENCHMARK(wheelDrag)->Unit(benchmark::kMicrosecond);
BENCHMARK(planeDrag)->Unit(benchmark::kMicrosecond);

void planeRebuild(benchmark::State& state) {
  vcolorchsrSetModel(chooser, vcolorchsrRGB);
  for (auto _ : state) _vcolorchsrBuildPlanePixels(chooser);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(planeRebuild)->Unit(benchmark::kMicrosecond);

int run(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  chooser = vcolorchsrCreate();
  vwindowOpen(chooser);
  settle();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vwindowClose(chooser);
  vinstanceDestroy(chooser);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, run); }

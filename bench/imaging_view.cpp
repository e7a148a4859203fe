// The image view on the headless back-end: 256 x 256 image pixels visible
// at zoom 5 (1280 x 1280 buffer pixels) with the grid: a full render and
// compose of the visible area, and a scroll by one column (the buffer
// shifted onto itself and the uncovered column rendered).
//
// - `bench/imaging_view.cpp`: 256 x 256 image pixels visible at zoom 5 with the grid: a full render
//   and compose about 2.3 ms and a one-column scroll about 0.4 ms of CPU (ci build, on a machine
//   loaded about four times over).
#include <benchmark/benchmark.h>

#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/imaging/vimgedview.h"
#include "fw/widgets/startup.h"

namespace {

struct Bench {
  vimage* image;
  vimged* model;
  vimgedview* view;
};
Bench bench{};

void open() {
  // A drawing-like picture: runs of 1 to 24 pixels of 16 values.
  vimage* image = vimageCreateSized(512, 512, 256);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  std::uint32_t seed = 12345;
  for (int y = 0; y < 512; ++y) {
    int x = 0;
    while (x < 512) {
      seed = seed * 1103515245u + 12345u;
      int run = 1 + int(seed >> 16) % 24;
      std::uint32_t value = (seed >> 8) % 16;
      for (int i = 0; i < run && x < 512; ++i, ++x) vpixmapCursorSetNext(&c, value);
    }
  }
  vpixmapFinishCursor(&c);
  vimged* model = vimgedCreate();
  vimgedSetImage(model, image);
  vimgedview* view = vimgedviewCreate();
  vrect r{0, 0, 256 * 5 + 4, 256 * 5 + 4};
  vdialogSetItemRect(view, &r);
  vimgedviewSetEditor(view, model);
  vimgedviewSetZoom(view, 5);
  vimgedviewSetGrid(view, 1);
  bench = {image, model, view};
}

void renderAndCompose(benchmark::State& state) {
  if (bench.view->origin.width != 256 || bench.view->origin.height != 256) state.SkipWithError("not 256 x 256 visible");
  for (auto _ : state) vimgedviewClassOf(bench.view)->renderVisible(bench.view);
}
BENCHMARK(renderAndCompose)->Unit(benchmark::kMicrosecond);

void scrollOneColumn(benchmark::State& state) {
  int direction = 1;
  for (auto _ : state) {
    if (bench.view->origin.x + direction < 0 || bench.view->origin.x + direction >= bench.view->scrollRange.width)
      direction = -direction;
    vimgedviewScroll(bench.view, direction, 0, 0);
  }
}
BENCHMARK(scrollOneColumn)->Unit(benchmark::kMicrosecond);

int run(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  open();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vinstanceDestroy(bench.view);
  vimgedDestroy(bench.model);
  vimageDestroy(bench.image);
  _vdrawShutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, run); }

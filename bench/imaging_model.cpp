// The image editor's costly steps on a 1024 x 768 8-bit image: the
// difference record of an undo step with one pixel and with every pixel
// changed, a flood fill of the whole image, and through the editor's
// model a recorded stroke and a large ellipse.
//
// - `bench/imaging_model.cpp`, on 1024 x 768 at 8 bits (release build): the difference record of one
//   changed pixel takes about 0.03 ms, of every pixel changed about 4.4 ms (a 793 KB block);
//   applying that record about 2.6 ms; a flood fill of the whole image about 6.8 ms. Through the
//   model (ci build, -O3): a recorded stroke step (snapshot, a pen-3 line across the image, the
//   whole-image difference, undo and redo) about 7.6 ms; an ellipse of 760 x 760 about 0.02 ms
//   framed and 0.9 ms filled.
#include <benchmark/benchmark.h>

#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/codecs/rlediff.h"
#include "fw/imaging/vimged.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

vimage* filled(std::uint32_t value) {
  vimage* image = vimageCreateSized(kWidth, kHeight, 256);
  vpixmapFill(image, value);
  return image;
}

void DifferenceRecord(benchmark::State& state) {
  bool everyPixel = state.range(0) != 0;
  vimage* before = filled(1);
  vimage* after = filled(everyPixel ? 2 : 1);
  if (!everyPixel) {
    vpixmapCursor c;
    vpixmapInitCursor(&c, after);
    vpixmapCursorSetAt(&c, 500, 400, 9);
    vpixmapFinishCursor(&c);
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    vimageRLEDiff d;
    vimageRLECompressDiff(&d, before, after, 0, 0, kWidth, kHeight);
    bytes = vimageRLEDataSize(d.data);
    vimageRLEFree(&d);
  }
  state.counters["block_bytes"] = double(bytes);
  vimageDestroy(before);
  vimageDestroy(after);
}
BENCHMARK(DifferenceRecord)->ArgName("every_pixel")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void ApplyRecord(benchmark::State& state) {
  vimage* before = filled(1);
  vimage* after = filled(2);
  vimageRLEDiff d;
  vimageRLECompressDiff(&d, before, after, 0, 0, kWidth, kHeight);
  for (auto _ : state) vimageRLEApply(before, d);
  vimageRLEFree(&d);
  vimageDestroy(before);
  vimageDestroy(after);
}
BENCHMARK(ApplyRecord)->Unit(benchmark::kMillisecond);

void FloodFillWhole(benchmark::State& state) {
  vimage* image = filled(0);
  std::uint32_t value = 0;
  vimgedFillContext ctx;
  vimgedInitFillContext(&ctx, image);
  for (auto _ : state) vimgedFloodFill(&ctx, ++value & 0xFF, kWidth / 2, kHeight / 2);
  vimgedFinishFillContext(&ctx);
  vimageDestroy(image);
}
BENCHMARK(FloodFillWhole)->Unit(benchmark::kMillisecond);

// One Draw step: snapshot, a 3-pixel pen line across the image, the
// difference recorded; then undone and redone.
void ModelStrokeStep(benchmark::State& state) {
  vimage* image = filled(0);
  vimged* m = vimgedCreate();
  vimgedSetImage(m, image);
  std::uint32_t value = 0;
  for (auto _ : state) {
    vimgedTakeSnapshot(m);
    vimgedDrawLine(m, ++value & 0xFF, 3, {10, 10}, {1000, 700});
    vimgedRecordDraw(m);
    vimgedUndo(m);
    vimgedRedo(m);
  }
  vimgedDestroy(m);
  vimageDestroy(image);
}
BENCHMARK(ModelStrokeStep)->Unit(benchmark::kMillisecond);

void ModelEllipse(benchmark::State& state) {
  vimage* image = filled(0);
  vimged* m = vimgedCreate();
  vimgedSetImage(m, image);
  if (state.range(0)) m->flags |= vimgedFILLED;
  for (auto _ : state) vimgedDrawEllipse(m, 1, 1, {132, 4}, {892, 764});
  vimgedDestroy(m);
  vimageDestroy(image);
}
BENCHMARK(ModelEllipse)->ArgName("filled")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Pixel cursors and the pixmap resource form on a 1024 x 768 picture: a
// cursor copy from depth 8 into a bottom-up depth-24 pixmap of the other
// byte order, and a store and load through run-length packets in memory.
#include <benchmark/benchmark.h>

#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/pixmap.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

// Bands and blocks, as an interface picture has them.
vpixmap* picture() {
  vpixmap* p = vpixmapCreateSized(kWidth, kHeight, 8);
  vpixmapCursor c;
  vpixmapInitCursor(&c, p);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) vpixmapCursorSetNext(&c, std::uint32_t((y / 24) * 7 ^ (x / 96) * 13) & 0xFF);
  vpixmapFinishCursor(&c);
  return p;
}

void BM_CursorCopyDepth8ToBottomUp24(benchmark::State& state) {
  vpixmap* source = picture();
  vpixmap* target = vpixmapCreateSized(kWidth, kHeight, 24);
  vpixmapSetBottomUp(target, 1);
  vpixmapSetByteOrder(target, 1);
  for (auto _ : state) {
    vpixmapCopyPixels(source, target);
    benchmark::DoNotOptimize(vpixmapLockPixels(target));
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  vpixmapDestroy(target);
  vpixmapDestroy(source);
}
BENCHMARK(BM_CursorCopyDepth8ToBottomUp24)->Unit(benchmark::kMillisecond);

void BM_StoreAndLoadRunLength(benchmark::State& state) {
  vrstoreInstallInterface();
  vpixmap* p = picture();
  vresource root = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(root, vnameInternLiteral("p"), vresDICTIONARY);
  std::size_t packets = 0;
  for (auto _ : state) {
    vclassRec<vpixmapClassRec>(p)->store(p, r);
    vpixmap* back = static_cast<vpixmap*>(vobjectLoad(r));
    benchmark::DoNotOptimize(vpixmapLockPixels(back));
    vpixmapDestroy(back);
  }
  vresource rle;
  if (vresourceTestGet(r, vnameInternLiteral("RLE_CompressImage"), &rle)) packets = vresourceGetSize(rle);
  state.counters["packet_bytes"] = double(packets);
  vresourceCloseFile(root);
  vpixmapDestroy(p);
}
BENCHMARK(BM_StoreAndLoadRunLength)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

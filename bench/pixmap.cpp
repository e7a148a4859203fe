// Pixel cursors and the pixmap resource form on a 1024 x 768 picture: a
// cursor copy from depth 8 into a bottom-up depth-24 pixmap of the other
// byte order, a store and load through run-length packets in memory, and
// the Windows colour layer's device pixels: error diffusion to the
// monochrome device and the true-colour bitmap of an indexed picture.
#include <benchmark/benchmark.h>

#include <vector>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/graphics/pixmap.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"

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

// The colour layer in the mode the preference asks for.
void colourMode(bool monochrome) {
  vsysStartup();
  vwindowEnsureStartup();
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("monochrome"), monochrome ? "true" : "");
  _vcolorMSWShutdown();
  _vcolorMSWStartup();
}

// A 24-bit ramp of every hue, diffused to the monochrome device.
void BM_DiffuseDepth24ToMonochrome(benchmark::State& state) {
  colourMode(true);
  vimage* image = vimageCreateSized(kWidth, kHeight, 1u << 24);
  vimageSetNoPalette(image, 1);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      vpixmapCursorSetNext(&c, std::uint32_t(x / 4) << 16 | std::uint32_t(y / 3) << 8 | std::uint32_t((x ^ y) & 0xFF));
  vpixmapFinishCursor(&c);
  for (auto _ : state) {
    vwindowMSWBits* bits = vcolorMSWPixmapToBits(image);
    benchmark::DoNotOptimize(bits->data);
    vwindowMSWDestroyBits(bits);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  vimageDestroy(image);
  colourMode(false);
}
BENCHMARK(BM_DiffuseDepth24ToMonochrome)->Unit(benchmark::kMillisecond);

// The true-colour device bitmap of an 8-bit indexed picture, made again
// after every change of its pixels.
void BM_TrueColourBitmapOfDepth8(benchmark::State& state) {
  colourMode(false);
  vimage* image = vimageCreateSized(kWidth, kHeight, 256);
  vcolorList* list = vimageGetPalette(image);
  for (std::uint32_t i = 0; i < 256; ++i)
    vcolorSetSpecRGB(&list->entries[i], i * 257, (255 - i) * 257, (i * 7 & 255) * 257);
  vpixmap* source = picture();
  vpixmapCopyPixels(source, image);
  vpixmapDestroy(source);
  for (auto _ : state) {
    vpixmapMarkChanged(image);
    benchmark::DoNotOptimize(vcolorMSWGetPixmapBitmap(image));
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  vimageDestroy(image);
}
BENCHMARK(BM_TrueColourBitmapOfDepth8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

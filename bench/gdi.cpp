// The drawing layer, headless: a full-screen copy, a pattern blit with
// PATINVERT, and the union of two 500-rectangle regions.
#include <benchmark/benchmark.h>

#include "platform/win.h"

namespace {

using namespace win;

struct Surface {
  HDC dc;
  HBITMAP bm;
  HGDIOBJ old;
  Surface(int w, int h) : dc(CreateCompatibleDC(nullptr)), bm(CreateBitmap(w, h, 1, 32, nullptr)) { old = SelectObject(dc, bm); }
  ~Surface() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
  }
};

void BitBltCopy(benchmark::State& state) {
  Surface src(1024, 768), dst(1024, 768);
  PatBlt(src.dc, 0, 0, 1024, 768, WHITENESS);
  for (auto _ : state) benchmark::DoNotOptimize(BitBlt(dst.dc, 0, 0, 1024, 768, src.dc, 0, 0, SRCCOPY));
}
BENCHMARK(BitBltCopy)->Unit(benchmark::kMicrosecond);

void PatBltPatternInvert(benchmark::State& state) {
  Surface dst(1024, 768);
  const std::uint8_t bits[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
  HBITMAP cells = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH brush = CreatePatternBrush(cells);
  SelectObject(dst.dc, brush);
  SetTextColor(dst.dc, RGB(12, 34, 56));
  for (auto _ : state) benchmark::DoNotOptimize(PatBlt(dst.dc, 0, 0, 1024, 768, PATINVERT));
  SelectObject(dst.dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
  DeleteObject(cells);
}
BENCHMARK(PatBltPatternInvert)->Unit(benchmark::kMicrosecond);

// A grid of 25 x 20 separate squares: 500 rectangles in 25 bands.
HRGN grid(int dx, int dy) {
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 20; ++x) {
      HRGN s = CreateRectRgn(dx + x * 40, dy + y * 30, dx + x * 40 + 25, dy + y * 30 + 20);
      CombineRgn(r, r, s, RGN_OR);
      DeleteObject(s);
    }
  return r;
}

void CombineRgnOr500(benchmark::State& state) {
  HRGN a = grid(0, 0), b = grid(13, 11), out = CreateRectRgn(0, 0, 0, 0);
  for (auto _ : state) benchmark::DoNotOptimize(CombineRgn(out, a, b, RGN_OR));
  state.counters["rects"] = double((GetRegionData(out, 0, nullptr) - 32) / 16);
  for (HRGN r : {a, b, out}) DeleteObject(r);
}
BENCHMARK(CombineRgnOr500)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Pens and brushes over a 1024 x 768 bitmap, headless: a full-surface
// pattern polygon, a 64-point star, 10,000 cosmetic lines and a wide
// round-joined polyline.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/win.h"

namespace {

using namespace win;

struct Surface {
  HDC dc;
  HBITMAP bm;
  HGDIOBJ old;
  Surface() : dc(CreateCompatibleDC(nullptr)), bm(CreateBitmap(1024, 768, 1, 32, nullptr)) { old = SelectObject(dc, bm); }
  ~Surface() {
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
  }
};

void PatternPolygon(benchmark::State& state) {
  Surface s;
  const std::uint8_t bits[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
  HBITMAP cells = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH brush = CreatePatternBrush(cells);
  SelectObject(s.dc, brush);
  SelectObject(s.dc, GetStockObject(NULL_PEN));
  const POINT all[] = {{0, 0}, {1024, 0}, {1024, 768}, {0, 768}};
  for (auto _ : state) benchmark::DoNotOptimize(Polygon(s.dc, all, 4));
  SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
  DeleteObject(cells);
}
BENCHMARK(PatternPolygon)->Unit(benchmark::kMicrosecond);

void StarPolygon64(benchmark::State& state) {
  Surface s;
  SelectObject(s.dc, GetStockObject(GRAY_BRUSH));
  SelectObject(s.dc, GetStockObject(NULL_PEN));
  std::vector<POINT> star;
  for (int i = 0; i < 64; ++i) {
    double a = 2 * std::numbers::pi * i * 31 / 64;  // a star of 64 points joined every 31st
    star.push_back({static_cast<LONG>(512 + 600 * std::cos(a)), static_cast<LONG>(384 + 450 * std::sin(a))});
  }
  for (auto _ : state) benchmark::DoNotOptimize(Polygon(s.dc, star.data(), 64));
}
BENCHMARK(StarPolygon64)->Unit(benchmark::kMicrosecond);

void CosmeticLines(benchmark::State& state) {
  Surface s;
  std::vector<POINT> ends;
  for (int i = 0; i < 10000; ++i) {
    int x = (i * 37) % 900, y = (i * 53) % 660;
    ends.push_back({x, y});
    ends.push_back({x + 100 - (i % 60), y + (i % 60)});  // 100 pixels along the major axis
  }
  for (auto _ : state)
    for (std::size_t i = 0; i < ends.size(); i += 2) Polyline(s.dc, &ends[i], 2);
}
BENCHMARK(CosmeticLines)->Unit(benchmark::kMicrosecond);

void WideRoundPolyline(benchmark::State& state) {
  Surface s;
  LOGBRUSH black{BS_SOLID, 0, 0};
  HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, 9, &black, 0, nullptr);
  SelectObject(s.dc, pen);
  std::vector<POINT> path;
  for (int i = 0; i <= 1000; ++i) path.push_back({20 + (i % 49) * 20, 20 + (i / 49) * 30 + (i % 2) * 12});
  for (auto _ : state) benchmark::DoNotOptimize(Polyline(s.dc, path.data(), static_cast<int>(path.size())));
  SelectObject(s.dc, GetStockObject(BLACK_PEN));
  DeleteObject(pen);
}
BENCHMARK(WideRoundPolyline)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

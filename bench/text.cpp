// Text output: 100 lines of 100 characters in DejaVu Sans at 8 points on
// a screen-sized bitmap, glyphs already cached; and the same 10,000
// characters measured through the font device's width tables.
#include <benchmark/benchmark.h>

#include <string>

#include "fw/core/scribe.h"
#include "fw/gui/graphics/fontmsw.h"
#include "platform/win.h"

namespace {

using namespace win;

void BM_TextOut10000Glyphs(benchmark::State& state) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateBitmap(1024, 768, 1, 32, nullptr);
  HGDIOBJ oldBitmap = SelectObject(dc, bm);
  HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  std::string line;
  for (int i = 0; i < 100; ++i) line += char(33 + (i * 7) % 94);
  TextOutA(dc, 0, 0, line.data(), 100);  // warms the glyph cache
  for (auto _ : state)
    for (int y = 0; y < 100; ++y) benchmark::DoNotOptimize(TextOutA(dc, 0, y * 7, line.data(), 100));
  state.SetItemsProcessed(state.iterations() * 10000);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(font);
  DeleteObject(bm);
  DeleteDC(dc);
}
BENCHMARK(BM_TextOut10000Glyphs)->Unit(benchmark::kMillisecond);

void BM_CharsWidth10000(benchmark::State& state) {
  vfontMSWStartup();
  vfont* font = vfontFindScribe(vscribeCString("family:DejaVu Sans-size:8"));
  std::string line;
  for (int i = 0; i < 100; ++i) line += char(33 + (i * 7) % 94);
  vfontGetCharsWidth(font, line.data(), 100);  // makes the native font
  for (auto _ : state)
    for (int y = 0; y < 100; ++y) benchmark::DoNotOptimize(vfontGetCharsWidth(font, line.data(), 100));
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_CharsWidth10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

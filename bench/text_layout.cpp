// Laying out a listing: 1 MB of 80-column lines appended in 8192-byte runs
// cut after their last line end, then one recalculation, in DejaVu Sans
// Mono at 10 points; and one wrapped paragraph of 1,000 characters.
//
// - 1 MB of 80-column lines in 8192-byte runs, one recalculation in DejaVu Sans Mono 10 through the
//   Windows font device: about 15 ms (`bench/text_layout.cpp`).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/text_bench.h"
#include "fw/text/text.h"

namespace {





void BM_Listing1MB(benchmark::State& state) {
  textbench::start();
  const std::string chars = textbench::lines(1 << 20);
  std::int32_t lines = 0;
  for (auto _ : state) {
    vtext* text = textbench::load(chars);
    lines = text->lineCount;
    state.PauseTiming();
    vtextDestroy(text);
    state.ResumeTiming();
  }
  state.counters["lines"] = lines;
  state.counters["font_px"] = vfontGetCharsWidth(textbench::start(), "M", 1) / 65536.0;
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(chars.size()));
}
BENCHMARK(BM_Listing1MB)->Unit(benchmark::kMillisecond);

void BM_WrappedParagraph1000(benchmark::State& state) {
  textbench::start();
  std::string chars;
  for (int i = 0; chars.size() < 1000; ++i) chars += std::string(std::size_t(3 + i % 8), char('a' + i % 26)) + " ";
  chars.resize(1000);
  vtext* text = textbench::load(chars);
  vtextRuler* ruler = vtextRulerCreate();
  ruler->flags = vtextRulerOWNED;
  text->defaultRuler = ruler;
  ruler->owner = text;
  vtextRulerSetMeasureAttr(ruler, vnameInternLiteral("RightIndent"), 400 << 16);
  vtextRulerSetFlagAttr(ruler, vnameInternLiteral("Wrap"), 1);
  for (auto _ : state) vtextRecalculate(text);
  state.counters["lines"] = text->lineCount;
  vtextDestroy(text);
}
BENCHMARK(BM_WrappedParagraph1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

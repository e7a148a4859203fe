// Laying out a listing: 1 MB of 80-column lines appended in 8192-byte runs
// cut after their last line end, then one recalculation, in DejaVu Sans
// Mono at 10 points; and one wrapped paragraph of 1,000 characters.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "fw/core/mem.h"
#include "fw/data/vrstore.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/window/hooks.h"
#include "fw/text/text.h"

namespace {

vfont* screenFont = nullptr;

void start() {
  if (screenFont) return;
  vrstoreInstallInterface();
  vwindowHooks hooks = vwindowDefaultHooks();
  vtextFillWindowHooks(&hooks);
  vwindowInstallHooks(&hooks);
  vfontMSWStartup();
  screenFont = vfontFindScribe(vscribeCString("family:DejaVu Sans Mono-size:10"));
  vtextStyle* style = vtextStyleGetDefault();
  vtextRulerPutAttr(vtextStyleGetDefaultClass()->definitions, &style->attributes, vname_Font, screenFont, 0);
}

std::string listing() {
  std::string chars;
  for (int i = 0; chars.size() < (1u << 20); ++i) {
    std::string line = std::to_string(i) + ":";
    while (line.size() < 79) line += char('a' + (line.size() * 7 + std::size_t(i)) % 26);
    chars += line + "\n";
  }
  return chars;
}

vtext* load(const std::string& chars) {
  vtext* text = vtextCreate();
  for (std::size_t at = 0; at < chars.size();) {
    std::size_t n = std::min<std::size_t>(8192, chars.size() - at);
    if (at + n < chars.size()) n = chars.rfind('\n', at + n - 1) + 1 - at;
    auto* buffer = static_cast<char*>(vmemAlloc(8192));
    std::memcpy(buffer, chars.data() + at, n);
    _vtextAppendRun(text, buffer, std::int32_t(n), 8192);
    at += n;
  }
  vtextRecalculate(text);
  return text;
}

void BM_Listing1MB(benchmark::State& state) {
  start();
  const std::string chars = listing();
  std::int32_t lines = 0;
  for (auto _ : state) {
    vtext* text = load(chars);
    lines = text->lineCount;
    state.PauseTiming();
    vtextDestroy(text);
    state.ResumeTiming();
  }
  state.counters["lines"] = lines;
  state.counters["font_px"] = vfontGetCharsWidth(screenFont, "M", 1) / 65536.0;
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(chars.size()));
}
BENCHMARK(BM_Listing1MB)->Unit(benchmark::kMillisecond);

void BM_WrappedParagraph1000(benchmark::State& state) {
  start();
  std::string chars;
  for (int i = 0; chars.size() < 1000; ++i) chars += std::string(std::size_t(3 + i % 8), char('a' + i % 26)) + " ";
  chars.resize(1000);
  vtext* text = load(chars);
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

// Laying out a listing: 1 MB of 80-column lines appended in 8192-byte runs
// cut after their last line end, then one recalculation, in DejaVu Sans
// Mono at 10 points; and one wrapped paragraph of 1,000 characters.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "fw/core/mem.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/hooks.h"
#include "fw/text/text.h"
#include "platform/win.h"

namespace {

using namespace win;

// The screen font measured through the platform's text calls, its
// advances read once as a font device keeps them.
struct ScreenFont {
  HDC dc = nullptr;
  HFONT font = nullptr;
  TEXTMETRICA metrics{};
  ABC widths[256]{};
};
ScreenFont screen;

vfixed pixels(long v) { return vfixed(v) << 16; }

const vfontDriver kPlatformDriver{
    [](vfont*) {},
    [](vfont*, vfixed* w, vfixed* second) { *w = pixels(screen.metrics.tmAveCharWidth), *second = 0; },
    [](vfont*, vrectFixed* out) {
      *out = {0, -pixels(screen.metrics.tmDescent), pixels(screen.metrics.tmMaxCharWidth), pixels(screen.metrics.tmHeight)};
    },
    [](vfont*) { return pixels(screen.metrics.tmAscent); },
    [](vfont*) { return pixels(screen.metrics.tmDescent); },
    [](vfont*, const char* chars, int length, vfixed* dx, vfixed* dy) {
      long width = 0;
      for (int i = 0; i < length; ++i) {
        const ABC& abc = screen.widths[static_cast<unsigned char>(chars[i])];
        width += abc.abcA + long(abc.abcB) + abc.abcC;
      }
      *dx = pixels(width);
      *dy = 0;
    },
    [](vfont*, const char* chars, int length, vrectFixed* out) {
      SIZE size{};
      GetTextExtentPoint32A(screen.dc, chars, length, &size);
      *out = {0, -pixels(screen.metrics.tmDescent), pixels(size.cx), pixels(screen.metrics.tmHeight)};
    },
};

void start() {
  static bool started = false;
  if (started) return;
  started = true;
  vrstoreInstallInterface();
  vwindowHooks hooks = vwindowDefaultHooks();
  vtextFillWindowHooks(&hooks);
  vwindowInstallHooks(&hooks);
  screen.dc = CreateCompatibleDC(nullptr);
  screen.font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans Mono");
  SelectObject(screen.dc, screen.font);
  GetTextMetricsA(screen.dc, &screen.metrics);
  GetCharABCWidthsA(screen.dc, 0, 255, screen.widths);
  int device = vfontAllocDevice();
  vfontFamily* family = vfontRegisterFamily(vnameInternLiteral("DejaVu Sans Mono"), vnameInternLiteral("DejaVu"),
                                            vnameInternLiteral("ansi"), 1, device);
  vfontFace* face = vfontRegisterFace(family, vnameInternLiteral("Book"), device);
  vfontRegisterFaceSize(face, 10);
  vfontSetDefaultSpec("family:DejaVu Sans Mono-size:10");
  vfontSetDriver(&kPlatformDriver);
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

// A standard combo box over 1,000 values on the headless back-end: appending
// them under AutoSort, sorting them from reversed order, and redrawing the
// box with a 10-row choice list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/controls/combobox.h"
#include "fw/widgets/startup.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

constexpr int kValues = 1000;

vcomboboxValue* valueOf(const std::string& text) {
  vcomboboxValue* v = vcomboboxValueCreate();
  vcomboboxValueSetText(v, vscribeCString(text.c_str()));
  return v;
}

// Texts in a scrambled order (a multiplier prime to the count).
std::vector<std::string> scrambled() {
  std::vector<std::string> out;
  char text[16];
  for (int i = 0; i < kValues; ++i) {
    std::snprintf(text, sizeof text, "value %04d", (i * 379) % kValues);
    out.emplace_back(text);
  }
  return out;
}

// A box in a window (the values are measured in its font); finish() with
// the window destroys it.
vcomboboxStandard* boxIn(vwindow* w) {
  vcomboboxStandard* c = vcomboboxCreate();
  vrect r{10, 10, 200, 220};
  vdialogSetItemRect(c, &r);
  vdialogItemListAppend(probehost::listOf(w), c);
  return c;
}

bool inOrder(vcomboboxStandard* c) {
  for (int i = 1; i < vcomboboxCount(c); ++i)
    if (std::string(vcomboboxValueGetText(vcomboboxAt(c, i - 1))) > vcomboboxValueGetText(vcomboboxAt(c, i)))
      return false;
  return vcomboboxCount(c) == kValues;
}

void appendUnderAutoSort(benchmark::State& state) {
  const std::vector<std::string> texts = scrambled();
  for (auto _ : state) {
    state.PauseTiming();
    vwindow* w = probehost::host(240, 260);
    vcomboboxStandard* c = boxIn(w);
    probehost::show(w);
    vcomboboxSetAutoSort(c, 1);
    state.ResumeTiming();
    for (const std::string& t : texts) vcomboboxAppendValue(c, valueOf(t));
    state.PauseTiming();
    if (!inOrder(c)) state.SkipWithError("values not sorted");
    probehost::finish(w);
    state.ResumeTiming();
  }
}
BENCHMARK(appendUnderAutoSort)->Unit(benchmark::kMillisecond);

void sortReversed(benchmark::State& state) {
  char text[16];
  for (auto _ : state) {
    state.PauseTiming();
    vwindow* w = probehost::host(240, 260);
    vcomboboxStandard* c = boxIn(w);
    probehost::show(w);
    for (int i = kValues - 1; i >= 0; --i) {
      std::snprintf(text, sizeof text, "value %04d", i);
      vcomboboxAppendValue(c, valueOf(text));
    }
    state.ResumeTiming();
    vcomboboxSort(c);
    state.PauseTiming();
    if (!inOrder(c)) state.SkipWithError("values not sorted");
    probehost::finish(w);
    state.ResumeTiming();
  }
}
BENCHMARK(sortReversed)->Unit(benchmark::kMillisecond);

void redrawTenRows(benchmark::State& state) {
  vwindow* w = probehost::host(240, 260);
  vcomboboxStandard* c = boxIn(w);
  for (const std::string& t : scrambled()) vcomboboxAppendValue(c, valueOf(t));
  vcomboboxSetVisibleValues(c, 10);
  probehost::show(w);
  vcomboboxSelectIndex(c, kValues / 2);
  probehost::settle();
  for (auto _ : state) {
    vdrawGSave();
    vdialogItemListSetDrawingState(probehost::listOf(w));
    vdrawInitDeviceClip();
    vdialogItemListDraw(probehost::listOf(w));
    vdrawGRestore();
  }
  probehost::finish(w);
}
BENCHMARK(redrawTenRows)->Unit(benchmark::kMicrosecond);

int run(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, run); }

// A text view filling a 1024 x 768 window on the headless back-end over a
// 100,000-line text in DejaVu Sans Mono 10 pt: a full redraw at line
// 50,000, one character typed at the text's end with the redraw of its
// line, and "PageDown"; each without scroll bars (/0) and with both (/1).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_host.h"
#include "bench/text_bench.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/text/selection.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/textview/textview.h"

namespace {

using benchhost::settle;

struct Shown {
  vwindow* window;
  vtext* text;
  vtextSelection* selection;
  vtextview* view;
};
Shown shown{};

void drawAll() { benchhost::drawAll(shown.window); }

void open() {
  vfont* font = vfontFindScribe(vscribeCString("family:DejaVu Sans Mono-size:10"));
  vtextStyle* style = vtextStyleGetDefault();
  vtextRulerPutAttr(vtextStyleGetDefaultClass()->definitions, &style->attributes, vname_Font, font, 0);
  vwindow* w = benchhost::create("textviewBenchHost", {0, 0, 1024, 768});
  vdialogItemList* items = benchhost::listOf(w);
  std::string chars;
  for (int i = 1; i <= 100000; ++i) chars += "line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog\n";
  vtext* text = textbench::load(chars);
  vtextSelection* selection = vtextCreateSelection(text);
  vtextview* v = vtextviewCreate();
  vrect r{0, 0, 1024, 768};
  vdialogSetItemRect(v, &r);
  vdialogItemListAppend(items, v);
  vtextviewSetText(v, text);
  vtextviewSetSelection(v, selection);
  benchhost::open(w);
  vdialogItemListSetFocusItem(items, v);
  settle();
  shown = Shown{w, text, selection, v};
}

void bars(benchmark::State& state) {
  vtextviewSetHorzBar(shown.view, int(state.range(0)));
  vtextviewSetVertBar(shown.view, int(state.range(0)));
  settle();
}

void fullRedrawAtLine50000(benchmark::State& state) {
  bars(state);
  vtextviewClassOf(shown.view)->scrollTo(shown.view, 50000, 0);
  settle();
  for (auto _ : state) drawAll();
}
BENCHMARK(fullRedrawAtLine50000)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Typed at the end of the text and drawn at once; every 50 characters
// they are taken away again, untimed.
void typeAtTheEnd(benchmark::State& state) {
  bars(state);
  vtext* t = shown.text;
  std::int32_t end = t->length;
  vtextSetSelectionRange(t, shown.selection, end, end);
  vtextviewClassOf(shown.view)->showSelection(shown.view, 24);
  settle();
  int typed = 0;
  for (auto _ : state) {
    vtextviewTypeChar(shown.view, 'a' + typed % 26);
    settle();
    if (++typed % 50 == 0) {
      state.PauseTiming();
      vtextSetSelectionRange(t, shown.selection, end, t->length);
      vtextDeleteSelection(t, shown.selection);
      settle();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(typeAtTheEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void pageDown(benchmark::State& state) {
  bars(state);
  vtextviewClassOf(shown.view)->scrollTo(shown.view, 1, 0);
  settle();
  for (auto _ : state) {
    vobjectAttributedOf(shown.view)->issueSelector(shown.view, 17, nullptr);
    settle();
    if (shown.view->scrollY > 99000) {
      state.PauseTiming();
      vtextviewClassOf(shown.view)->scrollTo(shown.view, 1, 0);
      settle();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(pageDown)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

int run(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  open();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vtextviewSetText(shown.view, nullptr);
  _vdrawShutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, run); }

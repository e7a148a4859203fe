// Editing commands of a text view: "Sort Lines" over 100,000 shuffled
// lines, and undoing one typing record of 10,000 characters (its redo,
// untimed, puts the characters back for the next round).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/text_bench.h"
#include "fw/core/attributed.h"
#include "fw/core/sys.h"
#include "fw/data/undo.h"
#include "fw/gui/graphics/draw.h"
#include "fw/text/selection.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/textview/textview.h"

namespace {

struct Edited {
  vtext* text;
  vtextSelection* selection;
  vtextview* view;
};

Edited make(const std::string& chars) {
  Edited e{};
  e.text = textbench::load(chars);
  e.selection = vtextCreateSelection(e.text);
  e.view = vtextviewCreate();
  vrect r{0, 0, 800, 600};
  vdialogSetItemRect(e.view, &r);
  vtextviewSetText(e.view, e.text);
  vtextviewSetSelection(e.view, e.selection);
  return e;
}

void release(Edited& e) {
  vinstanceDestroy(e.view);
  vtextDestroySelection(e.text, e.selection);
  vtextDestroy(e.text);
}

void sortLines(benchmark::State& state) {
  std::vector<std::string> rows;
  std::mt19937 rng(60);
  for (int i = 0; i < 100000; ++i) rows.push_back("line " + std::to_string(rng() % 1000000) + " of the text to sort\n");
  std::string chars;
  for (const std::string& r : rows) chars += r;
  for (auto _ : state) {
    state.PauseTiming();
    Edited e = make(chars);
    vtextSetSelectionRange(e.text, e.selection, 0, e.text->length);
    state.ResumeTiming();
    vobjectAttributedOf(e.view)->issueSelector(e.view, 60, nullptr);
    state.PauseTiming();
    release(e);
    state.ResumeTiming();
  }
}
BENCHMARK(sortLines)->Unit(benchmark::kMillisecond);

vinstance* action = nullptr;
void keep(vtextview*, vinstance* a) {
  if (action) vinstanceDestroy(action);
  action = a;
}

void undoTyping(benchmark::State& state) {
  Edited e = make("a line before the typing\n");
  vtextSetObserverClass(e.text, vtextUndoObserverClass());
  e.view->undoSink = keep;
  vtextSetSelectionRange(e.text, e.selection, e.text->length, e.text->length);
  // Typed at the text's level and named once: one action, one record.
  for (int i = 0; i < 10000; ++i) vtextTypeChar(e.text, e.selection, 'a' + i % 26);
  vtextviewRecordUndo(e.view, vscribeLiteral("Typing"));
  auto* a = static_cast<vundoAction*>(action);
  std::int32_t undone = 0;
  for (auto _ : state) {
    vundoActionPerform(a);
    state.PauseTiming();
    undone = e.text->length;
    vundoActionPerform(a);
    state.ResumeTiming();
  }
  state.counters["length_undone"] = double(undone);
  state.counters["length_redone"] = double(e.text->length);
  vinstanceDestroy(action);
  action = nullptr;
  release(e);
}
BENCHMARK(undoTyping)->Unit(benchmark::kMicrosecond);

int run(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  vfont* font = vfontFindScribe(vscribeCString("family:DejaVu Sans Mono-size:10"));
  vtextStyle* style = vtextStyleGetDefault();
  vtextRulerPutAttr(vtextStyleGetDefaultClass()->definitions, &style->attributes, vname_Font, font, 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  _vdrawShutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, run); }

// Editing a text: typing at the end of a 100,000-line text, inserting in
// the middle of a wrapped 10,000-character paragraph, deleting a range over
// three blocks, and pasting 1 MB into the middle of a 4 MB text; DejaVu
// Sans Mono 10 through the Windows font device.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/text_bench.h"
#include "fw/text/selection.h"
#include "fw/text/text.h"

namespace {




void BM_TypeAtTheEndOf100000Lines(benchmark::State& state) {
  textbench::start();
  std::string chars;
  for (int i = 0; i < 100000; ++i) chars += "line " + std::to_string(i) + "\n";
  vtext* text = textbench::load(chars);
  vtextSelection* sel = vtextCreateSelection(text);
  vtextSetSelectionRange(text, sel, text->length, text->length);
  std::int64_t typed = 0;
  for (auto _ : state) {
    vtextTypeChar(text, sel, (typed % 60) == 59 ? '\n' : 'x');
    ++typed;
  }
  state.counters["lines"] = text->lineCount;
  vtextDestroy(text);
}
BENCHMARK(BM_TypeAtTheEndOf100000Lines)->Unit(benchmark::kMicrosecond);

void BM_InsertInAWrappedParagraph(benchmark::State& state) {
  textbench::start();
  std::string chars;
  for (int i = 0; chars.size() < 10000; ++i) chars += std::string(std::size_t(3 + i % 8), char('a' + i % 26)) + " ";
  chars.resize(10000);
  vtext* text = textbench::load(chars);
  vtextRuler* ruler = vtextRulerCreate();
  ruler->flags = vtextRulerOWNED;
  ruler->owner = text;
  text->defaultRuler = ruler;
  vtextRulerSetMeasureAttr(ruler, vnameInternLiteral("RightIndent"), 600 << 16);
  vtextRulerSetFlagAttr(ruler, vnameInternLiteral("Wrap"), 1);
  vtextSelection* sel = vtextCreateSelection(text);
  const std::int32_t middle = text->length / 2;
  for (auto _ : state) {
    vtextSetSelectionRange(text, sel, middle, middle);
    vtextInsertText(text, sel, "q", 1);
    // Taken out again, so that every insertion meets the same paragraph.
    state.PauseTiming();
    vtextSetSelectionRange(text, sel, middle, middle + 1);
    vtextDeleteSelection(text, sel);
    state.ResumeTiming();
  }
  state.counters["lines"] = text->lineCount;
  vtextDestroy(text);
}
BENCHMARK(BM_InsertInAWrappedParagraph)->Unit(benchmark::kMicrosecond);

void BM_DeleteOverThreeBlocks(benchmark::State& state) {
  textbench::start();
  const std::string chars = textbench::lines(1 << 20);
  std::int32_t blocks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    vtext* text = textbench::load(chars);
    vtextSelection* sel = vtextCreateSelection(text);
    vtextBlock* b = text->first;
    for (int k = 0; k < 60; ++k) b = b->next;
    vtextSetSelectionRange(text, sel, b->start + 100, b->next->next->start + 100);
    state.ResumeTiming();
    vtextDeleteSelection(text, sel);
    state.PauseTiming();
    blocks = 0;
    for (vtextBlock* k = text->first; k; k = k->next) ++blocks;
    vtextDestroy(text);
    state.ResumeTiming();
  }
  state.counters["blocks_after"] = blocks;
}
BENCHMARK(BM_DeleteOverThreeBlocks)->Unit(benchmark::kMicrosecond);

void BM_Paste1MBInto4MB(benchmark::State& state) {
  textbench::start();
  const std::string chars = textbench::lines(4 << 20), paste = textbench::lines(1 << 20);
  for (auto _ : state) {
    state.PauseTiming();
    vtext* text = textbench::load(chars);
    vtextSelection* sel = vtextCreateSelection(text);
    vtextSetSelectionRange(text, sel, text->length / 2, text->length / 2);
    state.ResumeTiming();
    vtextInsertText(text, sel, paste.data(), std::int32_t(paste.size()));
    state.PauseTiming();
    vtextDestroy(text);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Paste1MBInto4MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

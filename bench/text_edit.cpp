// Editing a text: typing at the end of a 100,000-line text, inserting in
// the middle of a wrapped 10,000-character paragraph, deleting a range over
// three blocks, and pasting 1 MB into the middle of a 4 MB text; DejaVu
// Sans Mono 10 through the Windows font device. Style runs: 10,000 applied
// to a 1 MB text and the style at every 100th position, the same runs applied
// one by one as an editor applies them; storing that text and loading it back.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/text_bench.h"
#include "fw/core/resource.h"
#include "fw/data/vresource.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/textstore.h"
#include "fw/text/text.h"

namespace {

// 10,000 runs of 60 characters over two listed styles, spread over the
// text, added through the class slot as loading adds them (one layout for
// all, not one for each).
vtext* styledText(const std::string& chars, bool announced = false) {
  vtext* text = textbench::load(chars);
  vtextStyle* styles[2];
  const char* keys[2] = {"Bold", "Italic"};
  for (int i = 0; i < 2; ++i) {
    styles[i] = vtextStyleCreate();
    vtextRulerSetBooleanAttr(styles[i], vnameInternLiteral(keys[i]), 1);
    styles[i]->flags |= vtextStyleOWNED;
    vtextAddStyle(text, styles[i]);
  }
  for (std::int32_t k = 0; k < 10000; ++k) {
    std::int32_t at = std::int32_t((std::int64_t(k) * 7919 % 10000) * (text->length - 60) / 10000);
    if (announced)
      vtextApplyStyle(text, at, at + 60, styles[k % 2]);
    else
      _vtextAddStyleRun(text, at, at + 60, styles[k % 2]);
  }
  return text;
}

// The same runs as an editor applies them: each laid out and announced.
void BM_ApplyStyle10000TimesOn1MB(benchmark::State& state) {
  textbench::start();
  const std::string chars = textbench::lines(1 << 20);
  for (auto _ : state) {
    vtext* text = styledText(chars, true);
    state.PauseTiming();
    vtextDestroy(text);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ApplyStyle10000TimesOn1MB)->Unit(benchmark::kMillisecond);

void BM_StyleRunsOn1MB(benchmark::State& state) {
  textbench::start();
  const std::string chars = textbench::lines(1 << 20);
  std::int64_t found = 0;
  for (auto _ : state) {
    vtext* text = styledText(chars);
    for (std::int32_t p = 0; p < text->length; p += 100)
      if (vtextStyle* s = vtextGetStyleAt(text, p)) {
        ++found;
        vtextStyleDestroy(s);
      }
    state.PauseTiming();
    vtextDestroy(text);
    state.ResumeTiming();
  }
  state.counters["styled_positions"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_StyleRunsOn1MB)->Unit(benchmark::kMillisecond);

void BM_StoreAndLoadAStyled1MB(benchmark::State& state) {
  textbench::start();
  vtext* text = styledText(textbench::lines(1 << 20));
  vtextGetDefaultClass();
  for (auto _ : state) {
    vresource root = vresourceCreateMemoryIn(0);
    vresource r = vresourceCreate(root, vnameInternLiteral("Text"), vresDICTIONARY);
    _vtextStore(text, r);
    vobject* back = vobjectLoad(r);
    state.PauseTiming();
    vinstanceDestroy(back);
    vresourceCloseFile(root);
    state.ResumeTiming();
  }
  vtextDestroy(text);
}
BENCHMARK(BM_StoreAndLoadAStyled1MB)->Unit(benchmark::kMillisecond);

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

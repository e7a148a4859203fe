// The text model: blocks, line tables, recalculation, views and freezing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/text/text_internal.h"
#include "fw/gui/window/classops.h"
#include "fw/gui/window/hooks.h"
#include "fw/text/observer.h"
#include "fw/text/selection.h"
#include "fw/text/text.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::N;
using texttest::textChars;
using texttest::textFromChars;

// The line starts of a text as text positions, from the blocks' tables.
std::vector<std::int32_t> lineStarts(const vtext* text) {
  std::vector<std::int32_t> starts;
  for (vtextBlock* b = text->first; b; b = b->next) {
    for (std::int32_t i = 0; i < b->lineCount; ++i) starts.push_back(b->start + std::int32_t(b->lines[i].start));
    EXPECT_EQ(b->lines[b->lineCount].start, std::uint32_t(b->used)) << "the entry after the last line";
    EXPECT_EQ(b->lines[b->lineCount + 1].start, vtextLINE_END_MARKER);
  }
  return starts;
}

std::vector<std::int32_t> expectedStarts(const std::string& chars, char lineEnd = '\n') {
  std::vector<std::int32_t> starts{0};
  for (std::size_t i = 0; i < chars.size(); ++i)
    if (chars[i] == lineEnd) starts.push_back(std::int32_t(i + 1));
  return starts;
}

TEST(TextModel, ANewTextHasOneEmptyBlockAndOneLine) {
  vtext* text = vtextCreate();
  EXPECT_EQ(text->cls, vtextGetDefaultClass());
  EXPECT_STREQ(text->cls->name, "vtext");
  EXPECT_EQ(text->length, 0);
  EXPECT_EQ(text->lineCount, 1);
  EXPECT_EQ(text->nextTagSerial, 1);
  ASSERT_NE(text->first, nullptr);
  EXPECT_EQ(text->first->next, nullptr);
  EXPECT_EQ(text->first->capacity, 256);
  EXPECT_EQ(text->first->used, 0);
  EXPECT_EQ(text->first->lineCount, 1);
  EXPECT_EQ(text->first->lineCapacity, 4);
  EXPECT_EQ(text->attachments, nullptr);
  EXPECT_EQ(vtextGetLineEnd(text), 10);
  EXPECT_EQ(text->observers, nullptr);
  EXPECT_EQ(vtextGetObserverClass(text), nullptr);
  EXPECT_GT(text->first->lines[0].ascent, 0) << "an empty line still has its style's height";
  std::int32_t p = 5;
  EXPECT_EQ(vtextClampPosition(text, &p), 1);
  EXPECT_EQ(p, 0);
  EXPECT_EQ(vtextClampPosition(text, &p), 0);
  vtextDestroy(text);
}

// Runs of several sizes: the line count, the blocks' starts and first lines,
// and line tables that grow past their first four entries.
TEST(TextModel, AppendedRunsAreBrokenOnceByRecalculate) {
  std::string chars;
  for (int i = 0; i < 300; ++i) chars += "line " + std::to_string(i) + std::string(std::size_t(i % 7), 'x') + "\n";
  chars += "last without a line end";
  for (std::size_t run : {64u, 200u, 8192u}) {
    SCOPED_TRACE(run);
    vtext* text = textFromChars(chars, run);
    EXPECT_EQ(textChars(text), chars);
    EXPECT_EQ(text->length, std::int32_t(chars.size()));
    EXPECT_EQ(text->lineCount, 301);
    EXPECT_EQ(lineStarts(text), expectedStarts(chars));
    std::int32_t start = 0, line = 1;
    for (vtextBlock* b = text->first; b; b = b->next) {
      EXPECT_EQ(b->start, start);
      EXPECT_EQ(b->firstLine, line);
      if (b->next) {
        EXPECT_EQ(b->chars[b->used - 1], '\n') << "runs are cut after a line end";
      }
      start += b->used;
      line += b->lineCount;
    }
    vtextDestroy(text);
  }
  // Appending alone breaks nothing: a frozen line count until recalculated.
  vtext* text = vtextCreate();
  auto* buffer = static_cast<char*>(vmemAlloc(16));
  std::memcpy(buffer, "a\nb\nc\n", 6);
  _vtextAppendRun(text, buffer, 6, 16);
  EXPECT_EQ(text->first->chars, buffer) << "the empty first block takes the run";
  EXPECT_EQ(text->length, 6);
  EXPECT_EQ(text->lineCount, 1);
  vtextRecalculate(text);
  EXPECT_EQ(text->lineCount, 4) << "a final line end leaves an empty last line";
  vtextDestroy(text);
}

// Appends to texts in turn, and after the last block was freed by an
// edit, each go to the end of their own text.
TEST(TextModel, AppendsGoToTheEndOfTheirOwnText) {
  const auto append = [](vtext* t, const std::string& chars) {
    auto* buffer = static_cast<char*>(vmemAlloc(64));
    std::memcpy(buffer, chars.data(), chars.size());
    _vtextAppendRun(t, buffer, std::int32_t(chars.size()), 64);
  };
  vtext* a = vtextCreate();
  vtext* b = vtextCreate();
  append(a, "a1\n");
  append(a, "a2\n");
  append(b, "b1\n");
  append(a, "a3\n");
  append(b, "b2\n");
  vtextRecalculate(a);
  vtextRecalculate(b);
  EXPECT_EQ(textChars(a), "a1\na2\na3\n");
  EXPECT_EQ(textChars(b), "b1\nb2\n");
  vtextFreeBlocks(a);
  a->length = 0;
  append(a, "a4\n");
  append(a, "a5\n");
  vtextRecalculate(a);
  EXPECT_EQ(textChars(a), "a4\na5\n");
  vtextDestroy(a);
  vtextDestroy(b);
}

TEST(TextModel, AnotherLineEndCharacterBreaksOnlyThere) {
  const std::string chars = "one\ttwo\rthree\nstill three\rfour";
  vtext* text = vtextCreate();
  vtextSetLineEnd(text, 13);
  auto* buffer = static_cast<char*>(vmemAlloc(64));
  std::memcpy(buffer, chars.data(), chars.size());
  _vtextAppendRun(text, buffer, std::int32_t(chars.size()), 64);
  vtextRecalculate(text);
  EXPECT_EQ(text->lineCount, 3);
  EXPECT_EQ(lineStarts(text), expectedStarts(chars, '\r'));
  std::int32_t start = -1, end = -1;
  _vtextFindLineEnds(text, 10, &start, &end);
  EXPECT_EQ(start, 8);
  EXPECT_EQ(end, 25);
  vtextDestroy(text);
}

struct Spy {
  static inline std::vector<std::string> log;
};

TEST(TextModel, FrozenTextsAndViewChanges) {
  auto* cls = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  cls->recalculated = [](vinstance*, vtext*) { Spy::log.push_back("recalculated"); };
  cls->styleChanged = [](vinstance*, vtextStyle* s, std::int32_t a, std::int32_t b) {
    Spy::log.push_back("style " + std::to_string(s != nullptr) + " " + std::to_string(a) + " " + std::to_string(b));
  };
  vtext* text = textFromChars("ab\ncd\n");
  vtextSetObserverClass(text, cls);
  vtextBlock* b = text->first;
  vfixed normalEnd = b->lines[0].endX;

  vtextSetView(text, vtextVIEW_NORMAL);
  EXPECT_EQ(Spy::log, (std::vector<std::string>{"recalculated", "style 0 0 0"})) << "the same value lays out again";
  Spy::log.clear();

  text->mode |= vtextMODE_FROZEN;
  vtextSetView(text, vtextVIEW_HEX);
  EXPECT_EQ(text->view, vtextVIEW_HEX);
  EXPECT_EQ(Spy::log, (std::vector<std::string>{"style 0 0 0"}));
  EXPECT_EQ(b->lines[0].endX, normalEnd) << "nothing is laid out while frozen";
  auto* more = static_cast<char*>(vmemAlloc(8));
  std::memcpy(more, "ef", 2);
  _vtextAppendRun(text, more, 2, 8);
  vtextRecalculate(text);
  EXPECT_EQ(text->lineCount, 3);
  EXPECT_EQ(b->next->firstLine, 1) << "the new block is not placed while frozen";
  Spy::log.clear();
  vtextThawUpdates(text);
  EXPECT_EQ(text->mode & vtextMODE_FROZEN, 0);
  EXPECT_EQ(Spy::log, (std::vector<std::string>{"recalculated"}));
  EXPECT_EQ(text->lineCount, 3);
  EXPECT_EQ(b->next->firstLine, 3);
  EXPECT_EQ(b->lines[0].endX, texttest::px(60)) << "three hex cells of 20.0";
  vtextDestroy(text);
}

// Edits of a frozen text change its characters but lay out no line and
// leave the line count; the thaw lays the text out as the same edits
// made live would have.
TEST(TextModel, FrozenEditsLayOutNothingUntilTheThaw) {
  static std::int32_t layouts = 0;
  auto* cls = vclassSpawnOf<vtextClassRec>(vtextGetDefaultClass());
  cls->layoutLine = [](vtext* t, void* reserved, const char* chars, std::int32_t* count, std::int32_t position,
                       int continuing) {
    ++layouts;
    return _vtextLayoutLine(t, reserved, chars, count, position, continuing);
  };
  struct Edit {
    std::int32_t a, b;
    std::string put;
  };
  const Edit edits[] = {
      {4, 4, "x\ny\n"},                        // inside a block
      {2, 9, ""},                              // across line ends
      {5, 5, std::string(20000, 'w') + "\n"},  // cut into new blocks
      {3, 12000, ""},                          // across blocks
      {8000, 8000, "a\nb\n"},                  // in a block cut meanwhile
      {0, 3, "zz"},
  };
  std::vector<std::int32_t> live;
  for (bool frozen : {false, true}) {
    SCOPED_TRACE(frozen);
    auto* text = static_cast<vtext*>(vinstanceCreate(cls));
    vtextSelection* s = vtextCreateSelection(text);
    std::string model = "one\ntwo\nthree\nfour";
    vtextInsertText(text, s, model.data(), std::int32_t(model.size()));
    ASSERT_EQ(text->lineCount, 4);
    if (frozen) text->mode |= vtextMODE_FROZEN;
    layouts = 0;
    for (const Edit& e : edits) {
      SCOPED_TRACE(testing::Message() << e.a << ".." << e.b << " put " << e.put.size());
      vtextSetSelectionRange(text, s, e.a, e.b);
      if (e.put.empty())
        vtextDeleteSelection(text, s);
      else
        vtextInsertText(text, s, e.put.data(), std::int32_t(e.put.size()));
      model.replace(std::size_t(e.a), std::size_t(e.b - e.a), e.put);
      ASSERT_EQ(textChars(text), model);
      // The tables still fit their blocks, so a query meanwhile reads nothing beyond them.
      std::vector<std::int32_t> starts = lineStarts(text);
      EXPECT_TRUE(std::is_sorted(starts.begin(), starts.end()));
      if (frozen) {
        EXPECT_EQ(text->lineCount, 4) << "no lines while frozen";
      }
    }
    if (frozen) {
      EXPECT_EQ(layouts, 0);
      vtextThawUpdates(text);
      EXPECT_EQ(lineStarts(text), live);
      EXPECT_EQ(text->lineCount, std::int32_t(live.size()));
    } else {
      EXPECT_GT(layouts, 0);
      live = lineStarts(text);
      EXPECT_GT(live.size(), expectedStarts(model).size()) << "blocks start lines of their own";
    }
    vtextDestroy(text);
  }
}

TEST(TextModel, SmallOperations) {
  struct Case {
    const char* chars;
    int length;
  } ends[] = {{"\r\n", 2}, {"\n\r", 2}, {"\r", 1}, {"\n", 1}, {"\n\n", 1}, {"a\n", 0}, {"", 0}};
  for (const Case& c : ends) EXPECT_EQ(vtextLineEndLength(c.chars, std::int32_t(std::strlen(c.chars))), c.length) << c.chars;

  const char line[] = "abc\ndef\ngh";
  std::int32_t n = 10;
  _vtextScanLineEnd(line, &n, 0);
  EXPECT_EQ(n, 4);
  n = 10;
  _vtextScanLineEnd(line, &n, 1);
  EXPECT_EQ(n, 8);
  n = 3;
  _vtextScanLineEnd(line, &n, 1);
  EXPECT_EQ(n, 0);
  std::int16_t m = 2;
  _vtextScanLineEnd16(line, &m, 0);
  EXPECT_EQ(m, 2) << "no line end: the whole count";

  vtext* text = vtextCreate();
  vtextBlock* b = text->first;
  b->used = 0;
  vtextEnsureSpace(b);
  EXPECT_EQ(b->capacity, 256) << "256 free: enough";
  b->used = 1;
  vtextEnsureSpace(b);
  EXPECT_EQ(b->capacity, 768);
  b->used = 0;

  struct Class {
    unsigned char c;
    int word, blank;
  } classes[] = {{'a', 1, 0}, {'Z', 1, 0}, {'7', 1, 0}, {0xE9, 1, 0}, {0xB2, 1, 0}, {0xBD, 1, 0}, {'-', 0, 0},
                 {' ', 0, 1}, {'\t', 0, 1}, {0x7F, 0, 1}, {0x81, 0, 1}, {0x8D, 0, 1}, {0x9E, 1, 1}, {0xA0, 0, 0},
                 {0xD7, 0, 0}, {0xFF, 1, 0}};
  for (const Class& c : classes) {
    SCOPED_TRACE(int(c.c));
    const char ch = static_cast<char>(c.c);
    EXPECT_EQ(vtextClassOf(text)->isWordChar(text, &ch), c.word);
    EXPECT_EQ(vtextClassOf(text)->isNonBlank(text, &ch, 1), !c.blank);
  }
  vtextDestroy(text);
}

TEST(TextModel, CopiesAndBlockJoins) {
  vtext* source = textFromChars(std::string(50, 'a') + "\n" + std::string(50, 'b') + "\nc", 64);
  ASSERT_NE(source->first->next, nullptr);
  source->client = 0x1234;
  auto* copy = static_cast<vtext*>(vtextCloneObject(source));
  EXPECT_EQ(textChars(copy), textChars(source));
  EXPECT_EQ(copy->lineCount, 3);
  EXPECT_EQ(copy->client, 0x1234u);
  EXPECT_EQ(copy->first->next, nullptr);

  _vtextJoinBlocks(source, 10, 80);
  EXPECT_EQ(source->first->next, nullptr);
  EXPECT_EQ(textChars(source), textChars(copy));
  EXPECT_EQ(lineStarts(source), (std::vector<std::int32_t>{0, 51, 102}));
  vtextDestroy(copy);
  vtextDestroy(source);
}

// The window layer's search runs over a real text once its entries are filled.
TEST(TextModel, TheWindowLayerReachesRealTexts) {
  vwindowHooks hooks = vwindowDefaultHooks();
  vtextFillWindowHooks(&hooks);
  EXPECT_EQ(vwindowGetHooks().textFirstBlock, hooks.textFirstBlock) << "installed before the first test";
  vtext* text = textFromChars("alpha beta\ngamma delta\nepsilon beta\n", 16);
  ASSERT_NE(text->first->next, nullptr);
  EXPECT_EQ(hooks.textLength(text), text->length);
  vtextBlock* b = hooks.textFirstBlock(text);
  EXPECT_EQ(hooks.textBlockChars(hooks.textBlockNext(b)), b->next->chars);
  EXPECT_EQ(hooks.textBlockStart(hooks.textBlockNext(b)), hooks.textBlockCount(b));
  EXPECT_EQ(hooks.textBlockPrevious(hooks.textBlockNext(b)), b);
  char found[16] = {};
  EXPECT_EQ(vtextSearch(text, 12, "beta", found, sizeof found, vtextSEARCH_FORWARD, nullptr, 1), 31);
  EXPECT_STREQ(found, "beta");
  EXPECT_EQ(vtextSearch(text, 30, "beta", found, sizeof found, vtextSEARCH_BACKWARD, nullptr, 1), 6);
  vtextDestroy(text);
}

// A megabyte listing loaded as the front-end loads its files.
TEST(TextModel, AMegabyteListingLoadsInRunsCutAtLineEnds) {
  std::string chars;
  for (int i = 0; chars.size() < (1u << 20); ++i) {
    std::string line = std::to_string(i) + ": ";
    line += std::string(std::size_t(79) - line.size(), char('a' + i % 26));
    chars += line + "\n";
  }
  vtext* text = textFromChars(chars);
  EXPECT_EQ(text->length, std::int32_t(chars.size()));
  std::vector<std::int32_t> starts = expectedStarts(chars);
  EXPECT_EQ(text->lineCount, std::int32_t(starts.size()));
  EXPECT_EQ(lineStarts(text), starts);
  EXPECT_EQ(textChars(text), chars);
  vtextDestroy(text);
}

}  // namespace

namespace {

TEST(TextModel, TheStartUpRowBuildsTheClasses) {
  vtextInstallStartup();
  int count = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&count);
  const vmoduleStartupRow* row = nullptr;
  for (int i = 0; i < count; ++i)
    if (std::strcmp(rows[i].name, "vtextGetDefaultClass") == 0) row = &rows[i];
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->fn, nullptr);
  row->fn();
  EXPECT_STREQ(vtextGetRulerClass()->name, "vtextRuler");
  EXPECT_STREQ(vtextStyleGetDefaultClass()->name, "vtextStyle");
  EXPECT_STREQ(vtextObserverGetDefaultClass()->name, "vtextObserver");
  EXPECT_GE(_vtextModule()->cache.capacity, 1024) << "the cache only grows";
  EXPECT_GE(_vtextModule()->scratchCount, 4);
  for (const char* name : {"StyleChanges", "Ruler Tags", "Full"}) EXPECT_NE(vnameFind(vscribeCString(name)), nullptr) << name;
}

}  // namespace

// Style runs: the edge cases of applying, removing, hiding and the current
// style, the range rule of edits, and randomized runs against a model of
// what covers each character.
#include "fw/text/styleruns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fw/core/mem.h"
#include "fw/gui/window/hooks.h"
#include "fw/text/observer.h"
#include "fw/text/rulers.h"
#include "fw/text/selection.h"
#include "fw/text/text_internal.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/edit_support.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::checkText;
using texttest::N;

vtextStyle* styleWith(const char* key) {
  vtextStyle* s = vtextStyleCreate();
  vtextRulerSetBooleanAttr(s, N(key), 1);
  return s;
}

int flagAt(vtext* text, std::int32_t p, const char* key) {
  vtextStyle* s = vtextGetStyleAt(text, p);
  if (!s) return -2;
  int v = vtextRulerGetBooleanAttr(s, N(key));
  vtextStyleDestroy(s);
  return v;
}

// (start, end, serial) of the runs of a style, in position order.
using Span = std::vector<std::int32_t>;
std::vector<Span> runsOf(vtext* text, vtextStyle* style) {
  std::vector<Span> out;
  vtextTagIterator it;
  vtextInitTagIterator(&it, text, vname_Style, 0);
  while (vtextNextTag(&it)) {
    vtextTag* t = vtextGetIteratorTag(&it);
    if (vtextRunStyle(text, t) == style)
      out.push_back({vtextGetTagStart(t), vtextGetTagEnd(t), std::int32_t(t->serial)});
  }
  return out;
}

struct Styled {
  vtext* text;
  vtextStyle* bold = styleWith("Bold");
  vtextStyle* italic = styleWith("Italic");
  explicit Styled(const std::string& chars, std::size_t run = 8192) : text(texttest::textFromChars(chars, run)) {
    bold->flags |= vtextStyleOWNED;
    italic->flags |= vtextStyleOWNED;
    vtextAddStyle(text, bold);
    vtextAddStyle(text, italic);
  }
  ~Styled() { vtextDestroy(text); }
};

TEST(StyleRuns, OverlapsMergeNewestLastAndRemovalCutsKeepingTheSerial) {
  Styled t(std::string(30, 'x'));
  std::uint32_t b = _vtextAddStyleRun(t.text, 0, 10, t.bold);
  std::uint32_t i = _vtextAddStyleRun(t.text, 5, 15, t.italic);
  EXPECT_LT(b, i);
  EXPECT_TRUE(t.bold->flags & vtextStyleAPPLIED);
  struct At {
    std::int32_t p;
    int bold, italic;
  } at[] = {{7, 1, 1}, {12, -1, 1}, {2, 1, -1}, {20, -2, -2}, {10, -1, 1}, {15, -2, -2}};
  for (const At& a : at) {
    EXPECT_EQ(flagAt(t.text, a.p, "Bold"), a.bold) << a.p;
    EXPECT_EQ(flagAt(t.text, a.p, "Italic"), a.italic) << a.p;
  }
  // The newest run wins where both set one key.
  vtextStyle* plain = vtextStyleCreate();
  vtextRulerSetBooleanAttr(plain, N("Bold"), 0);
  _vtextAddStyleRun(t.text, 8, 9, plain);
  EXPECT_EQ(flagAt(t.text, 8, "Bold"), 0);
  _vtextAddStyleRun(t.text, 8, 9, t.bold);
  EXPECT_EQ(flagAt(t.text, 8, "Bold"), 1);
  EXPECT_EQ(_vtextRemoveStyleRuns(t.text, 8, 9, plain), 1);
  vtextStyleDestroy(plain);

  std::int32_t counter = t.text->nextTagSerial;
  EXPECT_EQ(_vtextRemoveStyleRuns(t.text, 3, 6, t.bold), 1) << "the [8, 9) run lies outside";
  EXPECT_EQ(runsOf(t.text, t.bold), (std::vector<Span>{{0, 3, std::int32_t(b)}, {6, 10, std::int32_t(b)}, {8, 9, 4}}));
  EXPECT_EQ(t.text->nextTagSerial, counter);
  EXPECT_EQ(checkText(t.text, std::string(30, 'x')), "");
}

TEST(StyleRuns, RemovalFailuresEmptyRangesAndGraphicsPassedOver) {
  Styled t(std::string(30, 'x'));
  EXPECT_EQ(raised([&] { _vtextRemoveStyleRuns(t.text, 0, 5, t.bold); }), &vexTextNoAppliedStyleClass) << "no runs";
  EXPECT_EQ(_vtextRemoveStyleRuns(t.text, 0, 5, nullptr), 0);
  _vtextAddStyleRun(t.text, 0, 10, t.bold);
  _vtextAddStyleRun(t.text, 20, 25, t.bold);
  std::uint32_t kept = _vtextAddStyleRun(t.text, 12, 18, t.italic);
  vtextSetTagKeepWhenEmpty(vtextGetLastStyleRun(), 1);
  EXPECT_EQ(raised([&] { _vtextRemoveStyleRuns(t.text, 12, 18, t.bold); }), &vexTextNoAppliedStyleClass);
  // A run inside the range, flagged to be kept, empties at the range's start.
  EXPECT_EQ(_vtextRemoveStyleRuns(t.text, 5, 18, t.italic), 1);
  EXPECT_EQ(runsOf(t.text, t.italic), (std::vector<Span>{{5, 5, std::int32_t(kept)}}));
  EXPECT_EQ(runsOf(t.text, t.bold).front(), (Span{0, 10, 1}));
  // An empty range inside a run takes the whole run.
  EXPECT_EQ(_vtextRemoveStyleRuns(t.text, 22, 22, t.bold), 1);
  EXPECT_EQ(runsOf(t.text, t.bold), (std::vector<Span>{{0, 10, 1}}));
  // Null removes every run but a graphic's.
  vtextStyle* graphic = vtextStyleCreate();
  graphic->flags = vtextStyleGRAPHIC;
  _vtextAddStyleRun(t.text, 1, 2, graphic);
  EXPECT_EQ(_vtextRemoveStyleRuns(t.text, 0, 30, nullptr), 2);
  EXPECT_TRUE(runsOf(t.text, t.bold).empty());
  EXPECT_EQ(runsOf(t.text, graphic).size(), 1u);
  _vtextRemoveStyleRuns(t.text, 0, 30, graphic);
  vtextStyleDestroy(graphic);
  EXPECT_EQ(runsOf(t.text, t.italic), (std::vector<Span>{{0, 0, std::int32_t(kept)}}));
  EXPECT_EQ(t.text->attachments->styleTagCount, 1);
  EXPECT_EQ(vtextGetLastStyleRun(), nullptr) << "the last run went";
}

TEST(StyleRuns, AdjustingARangeForEdits) {
  struct Case {
    std::int32_t p, delta, start, end, result;
  } cases[] = {
      {5, 3, 5, 13, 0},   {10, 3, 5, 13, 0},  {4, 3, 8, 13, 0},  {12, -10, 2, 2, 1}, {11, 3, 5, 10, 0},
      {10, -8, 2, 2, 0},  {9, -2, 5, 8, 0},   {7, -4, 3, 6, 0},  {12, -4, 5, 8, 0},  {4, -2, 3, 8, 0},
  };
  for (const Case& c : cases) {
    std::int32_t s = 5, e = 10;
    EXPECT_EQ(vtextAdjustRange(&s, &e, c.p, c.delta), c.result) << c.p << " by " << c.delta;
    EXPECT_EQ(s, c.start) << c.p << " by " << c.delta;
    EXPECT_EQ(e, c.end) << c.p << " by " << c.delta;
  }
}

TEST(StyleRuns, StyleListCurrentStyleHidingAndAnnouncements) {
  Styled t(std::string(600, 'y') + "\n" + std::string(600, 'z'), 256);
  ASSERT_NE(t.text->first->next, nullptr) << "several blocks";
  vtextStyle* probe = styleWith("Italic");
  EXPECT_EQ(vtextFindEqualStyle(t.text, probe), t.italic);
  EXPECT_TRUE(vtextStyleEqual(nullptr, nullptr));
  EXPECT_FALSE(vtextStyleEqual(probe, nullptr));
  EXPECT_TRUE(raisesArg([&] { vtextRemoveStyleEntry(t.text, probe); }));
  vtextStyleDestroy(probe);

  // Removing an entry moves the last into its place.
  vtextStyle* third = styleWith("Underline");
  vtextAddStyle(t.text, third);
  vtextAddStyle(t.text, styleWith("Invert"));
  t.text->attachments->styles[3]->flags |= vtextStyleOWNED;
  ASSERT_EQ(t.text->attachments->styleCount, 4);
  vtextRemoveStyleEntry(t.text, third);
  EXPECT_EQ(third->index, -1);
  EXPECT_EQ(third->owner, nullptr);
  EXPECT_EQ(t.text->attachments->styles[2]->index, 2);
  vtextStyleDestroy(third);

  // The current style's runs follow it to its replacement; an owned old one goes.
  vtextSetCurrentStyle(t.text, t.italic);
  _vtextAddStyleRun(t.text, 0, 5, t.italic);
  vtextStyle* next = styleWith("Strikethru");
  next->flags |= vtextStyleOWNED;
  vtextSetCurrentStyle(t.text, next);
  EXPECT_EQ(t.text->attachments->styleCount, 2) << "the owned italic left the list";
  EXPECT_EQ(flagAt(t.text, 2, "Strikethru"), 1);
  EXPECT_EQ(t.text->currentStyle, next);

  // Hiding joins the blocks it spans; one listed Hidden style serves both hides.
  vtextSelection* sel = vtextCreateSelection(t.text);
  vtextSetSelectionRange(t.text, sel, 590, 610);
  const std::string chars = std::string(600, 'y') + "\n" + std::string(600, 'z');
  EXPECT_EQ(checkText(t.text, chars), "") << "before";
  vtextHideSelection(t.text, sel);
  EXPECT_EQ(checkText(t.text, chars), "") << "hidden";
  EXPECT_EQ(vtextFindBlock(t.text, 590), vtextFindBlock(t.text, 609));
  vtextSetSelectionRange(t.text, sel, 700, 710);
  vtextHideSelection(t.text, sel);
  EXPECT_EQ(t.text->attachments->styleCount, 3);
  EXPECT_EQ(flagAt(t.text, 705, "Hidden"), 1);
  vtextUnhideSelection(t.text, sel);
  EXPECT_EQ(flagAt(t.text, 705, "Hidden"), -2);
  EXPECT_EQ(flagAt(t.text, 600, "Hidden"), 1);
  EXPECT_EQ(checkText(t.text, std::string(600, 'y') + "\n" + std::string(600, 'z')), "");

  _vtextSetOption32(t.text, 1);
  EXPECT_TRUE(t.text->mode & vtextMODE_SHOW_HIDDEN);
  _vtextSetOption32(t.text, 0);
  EXPECT_FALSE(t.text->mode & vtextMODE_SHOW_HIDDEN);
}

TEST(StyleRuns, TheWindowLayersApplyHookReachesTheText) {
  Styled t("abcdefgh");
  vwindowHooks hooks = vwindowDefaultHooks();
  vtextFillWindowHooks(&hooks);
  hooks.textApplyStyle(t.text, t.bold, 2, 4);
  EXPECT_EQ(runsOf(t.text, t.bold), (std::vector<Span>{{2, 4, 1}}));
}

// Random applications and removals against, for each character, the
// (serial, style) pairs covering it: a removal takes its style's pairs off
// the range and leaves the rest, serials included.
TEST(StyleRuns, RandomRunsAgreeWithAModelOfEachCharacter) {
  std::mt19937 rng(89);
  const std::int32_t length = 300;
  Styled t(std::string(length, 'q'), 128);
  vtextStyle* styles[] = {t.bold, t.italic, styleWith("Underline")};
  styles[2]->flags |= vtextStyleOWNED;
  vtextAddStyle(t.text, styles[2]);
  using Cover = std::vector<std::pair<std::uint32_t, int>>;
  std::vector<Cover> model(std::size_t(length) + 1);
  for (int step = 0; step < 400; ++step) {
    std::int32_t a = std::int32_t(rng() % (length + 1)), b = std::int32_t(rng() % (length + 1));
    if (a > b) std::swap(a, b);
    int k = int(rng() % 3);
    if (rng() % 3 != 0 || a == b) {
      if (a == b) continue;
      std::uint32_t serial = _vtextAddStyleRun(t.text, a, b, styles[k]);
      for (std::int32_t p = a; p < b; ++p) model[std::size_t(p)].push_back({serial, k});
      continue;
    }
    bool any = false;
    for (std::int32_t p = a; p < b; ++p) {
      Cover& c = model[std::size_t(p)];
      auto gone = std::remove_if(c.begin(), c.end(), [&](auto& e) { return e.second == k; });
      any |= gone != c.end();
      c.erase(gone, c.end());
    }
    const vexClass* cls = raised([&] { _vtextRemoveStyleRuns(t.text, a, b, styles[k]); });
    // A run ending at a or starting at b counts without changing any character.
    if (any) {
      EXPECT_EQ(cls, nullptr) << step;
    }
  }
  for (std::int32_t p = 0; p < length; ++p) {
    vtextTagScan scan;
    vtextInitTagScan(&scan, t.text, vname_Style, p);
    vtextScanTags(&scan);
    Cover got;
    for (std::int32_t i = 0; i < scan.count; ++i) {
      vtextStyle* s = vtextRunStyle(t.text, scan.tags[i]);
      got.push_back({scan.tags[i]->serial, int(std::find(styles, styles + 3, s) - styles)});
    }
    vtextFreeTagScan(&scan);
    Cover want = model[std::size_t(p)];
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    ASSERT_EQ(got, want) << "at " << p;
  }
  EXPECT_EQ(checkText(t.text, std::string(length, 'q')), "");
}

// Applying and removing looks lays out only the lines they touch: after
// every step the line tables must be those of a whole recalculation, on a
// wrapped text whose breaks move with hidden words and ruler indents.
TEST(StyleRuns, RelayingOutOnlyTheTouchedLinesMatchesARecalculation) {
  texttest::useFixedDriver();
  std::mt19937 rng(1089);
  std::string chars;
  while (chars.size() < 3000) chars += std::string(rng() % 9 + 1, char('a' + rng() % 26)) + (rng() % 11 ? " " : "\n");
  Styled t(chars, 700);
  vtextRuler* wrap = vtextRulerCreate();
  vtextRulerSetMeasureAttr(wrap, N("RightIndent"), texttest::px(160));
  vtextRulerSetFlagAttr(wrap, N("Wrap"), 1);
  wrap->flags |= vtextRulerOWNED;
  vtextSetDefaultRuler(t.text, wrap);
  vtextStyle* hidden = styleWith("Hidden");
  hidden->flags |= vtextStyleOWNED;
  vtextAddStyle(t.text, hidden);
  vtextRuler* narrow = vtextRulerCreate();
  vtextRulerSetMeasureAttr(narrow, N("LeftIndent"), texttest::px(40));
  vtextRulerSetMeasureAttr(narrow, N("FirstLineIndent"), texttest::px(24));
  narrow->flags |= vtextRulerOWNED;
  vtextAddRuler(t.text, narrow);
  const std::int32_t lines = t.text->lineCount;
  for (int step = 0; step < 300; ++step) {
    const auto length = std::int32_t(chars.size());
    std::int32_t a = std::int32_t(rng() % std::uint32_t(length)), b = std::min(length, a + std::int32_t(rng() % 90));
    switch (rng() % 5) {
      case 0: vtextApplyStyle(t.text, a, b, hidden); break;
      case 1: vtextApplyStyle(t.text, a, b, t.bold); break;
      case 2: (void)raised([&] { vtextRemoveStyle(t.text, a, b, rng() % 2 ? hidden : nullptr); }); break;
      case 3: {
        std::int32_t first = vtextGetLineOfPosition(t.text, a);
        vtextSetRulerLines(t.text, narrow, first, first + std::int32_t(rng() % 4));
        break;
      }
      default: {
        std::int32_t first = vtextGetLineOfPosition(t.text, a);
        (void)raised([&] { vtextClearRulerLines(t.text, nullptr, first, first + std::int32_t(rng() % 3)); });
      }
    }
    std::string wrong = checkText(t.text, chars);
    ASSERT_EQ(wrong, "") << "step " << step;
  }
  EXPECT_NE(t.text->lineCount, lines) << "the steps moved breaks";
}

}  // namespace

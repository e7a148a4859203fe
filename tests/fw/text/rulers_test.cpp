// Rulers of a text: whole-line runs and their removal, the list and the
// default ruler, merging at a line, tab stop editing, the flat stored form,
// and styled, ruled texts through store, load and copy.
#include "fw/text/rulers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/text/observer.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"
#include "fw/text/textstore.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/edit_support.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::checkText;
using texttest::N;
using texttest::px;
using Span = std::vector<std::int32_t>;

// (start, end, serial, list index) of every ruler run, by serial then start.
std::vector<Span> rulerRuns(vtext* t) {
  std::vector<Span> out;
  vtextTag** tags = vtextGetRulerTags(t);
  for (vtextTag** p = tags; *p; ++p) {
    vtextRuler* r = vtextRunRuler(t, *p);
    out.push_back({vtextGetTagStart(*p), vtextGetTagEnd(*p), std::int32_t((*p)->serial), r->owner == t ? r->index : -1});
  }
  vmemFree(tags);
  std::sort(out.begin(), out.end(), [](const Span& a, const Span& b) { return a[2] != b[2] ? a[2] < b[2] : a[0] < b[0]; });
  return out;
}

// The runs without their serials: a split pair shares one, a reload gives two.
std::vector<Span> inOrder(std::vector<Span> runs) {
  for (Span& s : runs) s.erase(s.begin() + 2);
  return runs;
}

vtextRuler* listedRuler(vtext* t, const char* measure, double value) {
  vtextRuler* r = vtextRulerCreate();
  vtextRulerSetMeasureAttr(r, N(measure), px(value));
  r->flags |= vtextRulerOWNED;
  vtextAddRuler(t, r);
  return r;
}

// Ruler notifications as (first, last) pairs.
std::vector<std::pair<std::int32_t, std::int32_t>> told;
vtextObserver* recorder(vtext* t) {
  static vtextObserverClassRec* cls = [] {
    auto* c = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
    vclassSetName(c, vscribeLiteral("RulerRecorder"));
    c->rulerChanged = [](vinstance*, vtextRuler*, std::int32_t first, std::int32_t last) { told.push_back({first, last}); };
    return c;
  }();
  auto* o = static_cast<vtextObserver*>(vinstanceCreate(cls));
  o->flags |= vtextObserverOWNED;
  vtextInstallObserver(t, o);
  return o;
}

TEST(TextRulers, LinesRemovalSplitsAndNoAppliedRuler) {
  vtext* t = texttest::textFromChars("aaaa\nbbbb\ncccc\ndddd");
  vtextRuler* wide = listedRuler(t, "FirstLineIndent", 20);
  vtextRuler* other = listedRuler(t, "RightIndent", 200);
  // Lines 1-3 end at the third line's newline; the last line at the length.
  vtextSetRulerLines(t, wide, 1, 3);
  vtextSetRulerLines(t, other, 4, 4);
  EXPECT_EQ(rulerRuns(t), (std::vector<Span>{{0, 14, 1, 0}, {15, 19, 2, 1}}));
  EXPECT_TRUE(wide->flags & vtextRulerAPPLIED);
  EXPECT_EQ(texttest::firstLineX(t)[0], 20.0) << "the layout reads the run";
  EXPECT_EQ(checkText(t, "aaaa\nbbbb\ncccc\ndddd"), "");

  // The middle line out: two pieces with one serial, the counter as it was.
  std::uint32_t next = t->nextTagSerial;
  vtextClearRulerLines(t, wide, 2, 2);
  EXPECT_EQ(rulerRuns(t), (std::vector<Span>{{0, 5, 1, 0}, {10, 14, 1, 0}, {15, 19, 2, 1}}));
  EXPECT_EQ(t->nextTagSerial, next);
  EXPECT_EQ(t->attachments->rulerTagCount, 3);

  // A named ruler that is not there raises; a null one passes quietly.
  std::string message;
  EXPECT_EQ(raised([&] { vtextClearRulerLines(t, other, 1, 1); }, &message), &vexTextNoAppliedRulerClass);
  EXPECT_EQ(message, "No Applied Ruler");
  vtextClearRulerLines(t, nullptr, 2, 2);
  // An empty range removes every run it touches; the whole text clears everything.
  EXPECT_EQ(_vtextRemoveRuns(t, true, 12, 12, wide), 1);
  EXPECT_EQ(rulerRuns(t), (std::vector<Span>{{0, 5, 1, 0}, {15, 19, 2, 1}}));
  vtextClearRulerLines(t, nullptr, 1, 4);
  EXPECT_TRUE(rulerRuns(t).empty());
  EXPECT_EQ(t->attachments->rulerTagCount, 0);
  EXPECT_EQ(raised([&] { vtextClearRulerLines(t, wide, 1, 4); }), &vexTextNoAppliedRulerClass);

  // Selections widen to paragraphs and tell the observers which lines.
  recorder(t);
  vtextSelection* sel = vtextCreateSelection(t);
  vtextSetSelectionRange(t, sel, 6, 12);
  told.clear();
  vtextSetSelectionRuler(t, sel, other);
  EXPECT_EQ(rulerRuns(t), (std::vector<Span>{{5, 14, 3, 1}}));
  vtextClearSelectionRuler(t, sel, other);
  EXPECT_EQ(told, (std::vector<std::pair<std::int32_t, std::int32_t>>{{2, 3}, {2, 3}}));
  EXPECT_TRUE(rulerRuns(t).empty());
  vtextDestroy(t);
}

TEST(TextRulers, ListDefaultRulerAndMergingAtALine) {
  vtext* t = texttest::textFromChars("one\ntwo\nthree");
  vtextRuler* a = listedRuler(t, "LeftIndent", 10);
  vtextRuler* b = listedRuler(t, "LeftIndent", 30);
  vtextRulerSetMeasureAttr(b, N("RightIndent"), px(300));
  vtextRuler* c = listedRuler(t, "TabWidth", 16);
  int type = 2;
  vtextRulerEditTab(nullptr, a, px(40), vtextTAB_ADD, &type);
  vtextRulerEditTab(nullptr, a, px(120), vtextTAB_ADD, &type);
  type = 1;
  vtextRulerEditTab(nullptr, b, px(80), vtextTAB_ADD, &type);
  vtextRulerEditTab(nullptr, b, px(40), vtextTAB_ADD, &type);

  // The newer run wins attribute by attribute; stops merge in position order.
  vtextSetRulerLines(t, a, 1, 2);
  vtextSetRulerLines(t, b, 2, 3);
  vtextRuler* third = vtextGetLineRuler(t, 3);
  EXPECT_EQ(third->lastTab, px(80));
  vinstanceDestroy(third);
  vtextRuler* merged = vtextGetLineRuler(t, 2);
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(vtextRulerGetMeasureAttr(merged, N("LeftIndent")), px(30));
  EXPECT_EQ(vtextRulerGetMeasureAttr(merged, N("RightIndent")), px(300));
  ASSERT_EQ(merged->tabCount, 3);
  EXPECT_EQ(merged->tabs[0].position, px(40));
  EXPECT_EQ(merged->tabs[0].type, 1) << "the newer stop's type";
  EXPECT_EQ(merged->tabs[1].position, px(80));
  EXPECT_EQ(merged->tabs[2].position, px(120));
  EXPECT_EQ(merged->lastTab, px(120));
  vinstanceDestroy(merged);
  vtext* plain = texttest::textFromChars("x");
  EXPECT_EQ(vtextGetLineRuler(plain, 1), nullptr);
  vtextDestroy(plain);

  // Equality looks at the stops; the list finds the first equal ruler.
  vtextRuler* probe = vtextRulerCreate();
  vtextRulerSetMeasureAttr(probe, N("LeftIndent"), px(10));
  EXPECT_EQ(vtextFindEqualRuler(t, probe), nullptr) << "a has stops";
  vtextRulerEditTab(nullptr, probe, px(40), vtextTAB_ADD, &(type = 2));
  vtextRulerEditTab(nullptr, probe, px(120), vtextTAB_ADD, &type);
  EXPECT_EQ(vtextFindEqualRuler(t, probe), a);
  EXPECT_TRUE(vtextRulersEqual(nullptr, nullptr));
  EXPECT_FALSE(vtextRulersEqual(probe, nullptr));
  EXPECT_TRUE(raisesArg([&] { vtextRemoveRuler(t, probe); }));

  // Removing from the list: the last entry fills the gap; an owned ruler's runs go with it.
  vtextRemoveRuler(t, a);
  ASSERT_EQ(t->attachments->rulerCount, 2);
  EXPECT_EQ(rulerRuns(t), (std::vector<Span>{{4, 13, 2, 1}}));
  EXPECT_EQ(t->attachments->rulers[0], c);
  EXPECT_EQ(c->index, 0);
  EXPECT_EQ(b->index, 1);

  // A new default takes the old one's runs; an owned old default goes.
  vtextSetDefaultRuler(t, probe);
  probe->flags |= vtextRulerOWNED;
  vtextSetRulerLines(t, probe, 1, 1);
  vtextRuler* loose = vtextRulerCreate();
  vtextSetDefaultRuler(t, loose);  // the owned probe is destroyed (ASan watches)
  EXPECT_EQ(t->defaultRuler, loose);
  vtextTag** tags = vtextGetRulerTags(t);
  EXPECT_EQ(vtextRunRuler(t, tags[0]), b) << "the oldest run is b's";
  EXPECT_EQ(vtextRunRuler(t, tags[1]), loose) << "the old default's run follows the new one";
  vmemFree(tags);
  vtextDestroy(t);
  vinstanceDestroy(loose);
}

TEST(TextRulers, TheLayoutTakesTheStopsOfEveryRulerAtTheLine) {
  texttest::useFixedDriver();
  vtext* t = texttest::textFromChars("a\tb\tc\td\nnext");
  vtextRuler* near = listedRuler(t, "TabWidth", 48);
  vtextRuler* far = listedRuler(t, "TabWidth", 48);
  int type = 0;
  vtextRulerEditTab(nullptr, near, px(20), vtextTAB_ADD, &type);
  vtextRulerEditTab(nullptr, far, px(50), vtextTAB_ADD, &type);
  vtextSetRulerLines(t, near, 1, 1);
  vtextSetRulerLines(t, far, 1, 1);
  // 8.0 a character: stops at 20 and 50, then multiples of 48.
  EXPECT_EQ(texttest::firstLineX(t), (std::vector<double>{0, 8, 20, 28, 50, 58, 96, 104, 107}));
  vtextDestroy(t);
}

TEST(TextRulers, TabStopEditingWithItsTolerance) {
  vtextRuler* r = vtextRulerCreate();
  int type = 3;
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(103), vtextTAB_ADD, &type), 1);
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(100), vtextTAB_ADD, &type), 0) << "within 5.0";
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(98), vtextTAB_ADD, &(type = 1)), 0) << "5.0 is within";
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(94), vtextTAB_ADD, &(type = 1)), 1) << "9.0 away";
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(300), vtextTAB_ADD, &(type = 0)), 1);
  for (int i = 0; i < 6; ++i) vtextRulerEditTab(nullptr, r, px(10 + 10 * i), vtextTAB_ADD, &type);
  ASSERT_EQ(r->tabCount, 9);
  EXPECT_GE(r->tabCapacity, 9);
  for (int i = 1; i < r->tabCount; ++i) EXPECT_LT(r->tabs[i - 1].position, r->tabs[i].position) << i;
  EXPECT_EQ(r->lastTab, px(300));

  int out = -1;
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(101), vtextTAB_QUERY, &out), px(103));
  EXPECT_EQ(out, 3);
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(200), vtextTAB_QUERY, &out), 0);
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(296), vtextTAB_REMOVE, nullptr), 1);
  EXPECT_EQ(r->lastTab, px(103));
  EXPECT_EQ(vtextRulerEditTab(nullptr, r, px(296), vtextTAB_REMOVE, nullptr), 0);

  // With a text the change is told; clearing empties everything.
  vtext* t = texttest::textFromChars("x");
  recorder(t);
  told.clear();
  EXPECT_EQ(vtextRulerEditTab(t, r, 0, vtextTAB_CLEAR, nullptr), 1);
  EXPECT_EQ(r->tabCount, 0);
  EXPECT_EQ(r->tabs, nullptr);
  EXPECT_EQ(r->lastTab, 0);
  EXPECT_EQ(told.size(), 1u);
  vtextDestroy(t);
  vinstanceDestroy(r);
}

struct RuledStore : ::testing::Test {
  vresource root = 0;
  void SetUp() override {
    vtextGetDefaultClass();
    root = vresourceCreateMemoryIn(0);
  }
  void TearDown() override { vresourceCloseFile(root); }
  vresource dict(const char* name) { return vresourceCreate(root, N(name), vresDICTIONARY); }
};

TEST_F(RuledStore, TheFlatRulerForm) {
  vresource flat = dict("Flat");
  vresourceSetFixed(flat, N("LeftIndent"), px(12));
  vresourceSetFixed(flat, N("DefaultTabWidth"), px(24));
  vresourceSetInteger(flat, N("Before"), 3);
  vresourceSetInteger(flat, N("Justification"), 2);
  vresourceSetStringSized(flat, N("Name"), "body", 4);  // no ruler key: passed over
  vresource tabs = vresourceCreateArray(flat, N("Tabs"), vresDICTIONARY, 2);
  for (int i = 0; i < 2; ++i) {
    vresource tab = vresourceCreateAt(tabs, i, vresDICTIONARY);
    vresourceSetFixed(tab, N("TabStop"), px(50 * (i + 1)));
    vresourceSetInteger(tab, N("TabType"), i + 1);
  }
  vtextRuler* r = vtextLoadRuler(flat);
  // Flags absent (0x1FF7): every attribute, Wrap on, not marked changed.
  EXPECT_EQ(r->attributes.count, 10);
  EXPECT_EQ(vtextRulerGetMeasureAttr(r, N("LeftIndent")), px(12));
  EXPECT_EQ(vtextRulerGetMeasureAttr(r, N("TabWidth")), px(24));
  EXPECT_EQ(vtextRulerGetAttr(r, N("SpacingBefore")), 3);
  EXPECT_EQ(vtextRulerGetAttr(r, N("SpacingAfter")), 0);
  EXPECT_EQ(vtextRulerGetBooleanAttr(r, N("Wrap")), 1);
  EXPECT_EQ(vtextRulerGetJustification(r), 2);
  EXPECT_FALSE(r->flags & vtextRulerCHANGED);
  EXPECT_EQ(r->tabCount, 2);
  EXPECT_EQ(r->tabCapacity, 7);
  EXPECT_EQ(r->lastTab, px(100));
  EXPECT_EQ(r->tabs[1].type, 2);
  EXPECT_EQ(r->index, -1);
  vinstanceDestroy(r);

  // Only the bits given: changed, no wrap, the left indent and nothing else.
  vresourceSetInteger(flat, N("Flags"), 0x08 | 0x20);
  r = vtextLoadRuler(flat);
  EXPECT_EQ(r->attributes.count, 2);
  EXPECT_EQ(vtextRulerGetBooleanAttr(r, N("Wrap")), 0);
  EXPECT_EQ(vtextRulerGetJustification(r), -1);
  EXPECT_TRUE(r->flags & vtextRulerCHANGED);
  vinstanceDestroy(r);
}

TEST_F(RuledStore, AStyledRuledTextSurvivesStoreLoadAndCopy) {
  std::string chars;
  for (int i = 0; i < 60; ++i) chars += std::string(i % 7 + 3, char('a' + i % 26)) + (i % 5 == 4 ? "\t" : "\n");
  vtext* text = texttest::textFromChars(chars, 128);
  vtextStyle* bold = vtextStyleCreate();
  vtextRulerSetBooleanAttr(bold, N("Bold"), 1);
  bold->flags |= vtextStyleOWNED;
  vtextAddStyle(text, bold);
  _vtextAddStyleRun(text, 5, 300, bold);
  vtextStyle* current = vtextStyleCreate();
  vtextRulerSetBooleanAttr(current, N("Italic"), 1);
  current->flags |= vtextStyleOWNED;
  vtextSetCurrentStyle(text, current);
  _vtextAddStyleRun(text, 100, 120, current);  // unlisted: stored as -1, the current style
  vtextRuler* left = listedRuler(text, "LeftIndent", 16);
  vtextRuler* right = listedRuler(text, "RightIndent", 180);
  vtextRulerSetFlagAttr(right, N("Wrap"), 1);
  int type = 1;
  vtextRulerEditTab(nullptr, left, px(64), vtextTAB_ADD, &type);
  vtextSetRulerLines(text, left, 2, 20);
  vtextSetRulerLines(text, right, 10, 30);
  vtextClearRulerLines(text, left, 5, 6);  // a split pair of one serial
  vtextRuler* fallback = vtextRulerCreate();
  vtextRulerSetMeasureAttr(fallback, N("FirstLineIndent"), px(8));
  fallback->flags |= vtextRulerOWNED;
  vtextSetDefaultRuler(text, fallback);

  vresource r = dict("Ruled");
  _vtextStore(text, r);
  auto* loaded = static_cast<vtext*>(vobjectLoad(r));
  auto* copy = static_cast<vtext*>(vobjectClone(text));
  for (vtext* other : {loaded, copy}) {
    SCOPED_TRACE(other == copy ? "copy" : "load");
    EXPECT_EQ(checkText(other, chars), "");
    EXPECT_EQ(other->lineCount, text->lineCount);
    EXPECT_EQ(inOrder(rulerRuns(other)), inOrder(rulerRuns(text)));
    ASSERT_EQ(other->attachments->rulerCount, 2);
    EXPECT_TRUE(vtextRulersEqual(other->attachments->rulers[0], left));
    EXPECT_TRUE(vtextRulersEqual(other->attachments->rulers[1], right));
    EXPECT_NE(other->attachments->rulers[0], left);
    ASSERT_NE(other->defaultRuler, nullptr);
    EXPECT_NE(other->defaultRuler, fallback);
    EXPECT_TRUE(vtextRulersEqual(other->defaultRuler, fallback));
    EXPECT_TRUE(vtextStyleEqual(other->currentStyle, current));
    // The line tables agree line by line.
    for (std::int32_t line = 1; line <= text->lineCount; ++line) {
      vtextLineInfo a{}, b{};
      vtextGetLineInfo(text, line, &a);
      vtextGetLineInfo(other, line, &b);
      EXPECT_EQ(a.start, b.start) << line;
      EXPECT_EQ(a.startX, b.startX) << line;
    }
    vtextTag** tags = vtextGetStyleTags(other);
    vtextTag** mine = vtextGetStyleTags(text);
    for (int i = 0; tags[i] || mine[i]; ++i) {
      ASSERT_TRUE(tags[i] && mine[i]);
      EXPECT_EQ(vtextGetTagStart(tags[i]), vtextGetTagStart(mine[i]));
      EXPECT_EQ(vtextGetTagEnd(tags[i]), vtextGetTagEnd(mine[i]));
      EXPECT_TRUE(vtextStyleEqual(vtextRunStyle(other, tags[i]), vtextRunStyle(text, mine[i])));
    }
    vmemFree(tags);
    vmemFree(mine);
  }
  // No rulers stored: no "Rulers" key; stored again the keys follow.
  vtextDestroy(copy);
  vtextDestroy(loaded);
  vtextClearRulerLines(text, nullptr, 1, text->lineCount);
  while (text->attachments->rulerCount > 0) vtextRemoveRuler(text, text->attachments->rulers[0]);
  _vtextStore(text, r);
  vresource entry;
  EXPECT_FALSE(vresourceTestGet(r, N("Rulers"), &entry));
  EXPECT_FALSE(vresourceTestGet(r, N("Ruler Tags"), &entry));
  EXPECT_TRUE(vresourceTestGet(r, N("DefaultRuler"), &entry)) << "the unlisted default as a dictionary";
  EXPECT_EQ(vresourceGetType(entry, nullptr), vresDICTIONARY);
  vtextDestroy(text);
}

TEST_F(RuledStore, OlderRulerPairsAndDamagedRulerInput) {
  vresource r = dict("Pairs");
  vresourceSetTag(r, vname_Class, N("vtext"));
  vresourceSetStringSized(r, vname_Text, "l1\nl2\nl3\nl4", 11);
  vresource rulers = vresourceCreateArray(r, N("Rulers"), vresDICTIONARY, 2);
  vresourceSetFixed(vresourceCreate(vresourceCreateAt(rulers, 0, vresDICTIONARY), N("Attributes"), vresDICTIONARY),
                    N("LeftIndent"), px(4));
  vresource wrongClass = vresourceCreateAt(rulers, 1, vresDICTIONARY);
  vresourceSetTag(wrongClass, vname_Class, N("vtext"));  // no ruler class: a plain ruler
  vresource changes = vresourceCreateArray(r, N("RulerChanges"), vresDICTIONARY, 5);
  const std::int32_t pairs[][2] = {{0, 2}, {0, 3}, {9, 1}, {0, 1}, {1, 4}};  // index/lines
  for (std::int32_t i = 0; i < 5; ++i) {
    vresource e = vresourceCreateAt(changes, i, vresDICTIONARY);
    vresourceSetInteger(e, N("RulerIndex"), pairs[i][0]);
    vresourceSetInteger(e, N("RulerLines"), pairs[i][1]);
  }
  vresourceSetInteger(r, N("DefaultRuler"), 1);
  auto* t = static_cast<vtext*>(vobjectLoad(r));
  // Lines 2-3 for ruler 0; index 9 skipped; the odd last one dropped.
  EXPECT_EQ(rulerRuns(t), (std::vector<Span>{{3, 8, 1, 0}}));
  ASSERT_EQ(t->attachments->rulerCount, 2);
  EXPECT_EQ(vclassRec<vclass>(t->attachments->rulers[1]), static_cast<vclass*>(vtextGetRulerClass()));
  EXPECT_EQ(t->defaultRuler, t->attachments->rulers[1]);
  vtextDestroy(t);

  // Ruler tags past the text clamp; -1 stands for the default ruler.
  vresource d = dict("Tags");
  vresourceSetTag(d, vname_Class, N("vtext"));
  vresourceSetStringSized(d, vname_Text, "abc", 3);
  vresource tags = vresourceCreateArray(d, N("Ruler Tags"), vresINTEGER, 7);
  const std::int32_t flat[] = {-4, 99, -1, 1, 2, 5, 1};
  for (int i = 0; i < 7; ++i) vresourceSetAtInteger(tags, i, flat[i]);
  t = static_cast<vtext*>(vobjectLoad(d));
  EXPECT_EQ(rulerRuns(t), (std::vector<Span>{{0, 3, 1, -1}}));
  vtextTag** tags2 = vtextGetRulerTags(t);
  EXPECT_EQ(vtextRunRuler(t, tags2[0]), vtextGetDefaultRuler());
  vmemFree(tags2);
  vtextDestroy(t);
}

}  // namespace

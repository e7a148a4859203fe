// Selections, editing and tags: the edge cases, the notification order of
// edits, and randomized edits checked against a model after every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/text/graphic.h"
#include "fw/text/observer.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/tags.h"
#include "fw/text/text_internal.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/edit_support.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::checkText;
using texttest::N;
using texttest::textChars;

std::vector<std::string> trace;
std::string n(std::int64_t v) { return std::to_string(v); }

vtextObserverClassRec* tracingClass() {
  static vtextObserverClassRec* c = nullptr;
  if (c) return c;
  c = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  c->inserted = [](vinstance*, std::int32_t p, std::int32_t k) { trace.push_back("inserted " + n(p) + " " + n(k)); };
  c->deleted = [](vinstance*, std::int32_t p, std::int32_t k) { trace.push_back("deleted " + n(p) + " " + n(k)); };
  c->inserting = [](vinstance*, std::int32_t p, std::int32_t k) { trace.push_back("will insert " + n(p) + " " + n(k)); };
  c->deleting = [](vinstance*, std::int32_t p, std::int32_t k) { trace.push_back("will delete " + n(p) + " " + n(k)); };
  c->selectionMode = [](vinstance*, vtextSelection* s, int phase) { trace.push_back("mode " + n(s->slot) + " " + n(phase)); };
  c->selectionChanged = [](vinstance*, vtextSelection* s, int phase) {
    trace.push_back("selection " + n(s->slot) + " " + n(phase) + " " + n(s->start) + ".." + n(s->end));
  };
  return c;
}

using Trace = std::vector<std::string>;

struct Edited {
  vtext* text;
  vtextSelection* sel;
  explicit Edited(const std::string& chars, std::size_t run = 8192) : text(texttest::textFromChars(chars, run)) {
    sel = vtextCreateSelection(text);
  }
  ~Edited() { vtextDestroy(text); }
  void select(std::int32_t a, std::int32_t b) { vtextSetSelectionRange(text, sel, a, b); }
  void insert(const std::string& s) { vtextInsertText(text, sel, s.data(), std::int32_t(s.size())); }
  void observe() {
    vtextSetObserverClass(text, tracingClass());
    trace.clear();
  }
};

TEST(Selections, CreationRangesModesAndTheTable) {
  vtext* text = texttest::textFromChars(std::string(40, 'x'));
  vtextSetObserverClass(text, tracingClass());
  trace.clear();
  vtextSelection* a = vtextCreateSelection(text);
  EXPECT_EQ(trace, (Trace{"selection 0 0 0..0", "selection 0 1 0..0"}));
  EXPECT_EQ(a->slot, 0);
  EXPECT_EQ(a->mode, 0);
  trace.clear();
  vtextSetSelectionRange(text, a, 9, 3);
  EXPECT_EQ(trace, (Trace{"selection 0 0 0..0", "selection 0 1 3..9"})) << "stored in order";
  EXPECT_EQ(a->length, 6);
  EXPECT_EQ(a->startX, vtextX_UNKNOWN);
  vtextSetSelectionRange(text, a, 2, 3);
  vtextSetSelectionModeQuiet(text, a, vtextSEL_EXTEND);
  vtextSetSelectionRange(text, a, 5, 6);
  EXPECT_EQ(a->start, 2);
  EXPECT_EQ(a->end, 6);
  trace.clear();
  vtextSetSelectionMode(text, a, vtextSEL_EXTEND);
  EXPECT_TRUE(trace.empty());
  vtextSetSelectionMode(text, a, vtextSEL_PLAIN);
  EXPECT_EQ(trace, (Trace{"mode 0 1", "mode 0 2"}));
  EXPECT_EQ(raised([&] { vtextSetSelectionMode(text, a, 2); }), &vexModuleUnimplementedClass);
  EXPECT_EQ(raised([&] { vtextSetSelectionModeQuiet(text, a, 2); }), &vexModuleUnimplementedClass);
  EXPECT_EQ(a->mode, 0);

  vtextSelection* b = vtextCreateSelectionFrom(text, a);
  EXPECT_EQ(b->slot, 1);
  EXPECT_EQ(b->start, 2);
  vtextDestroySelection(text, a);
  vtextSelection* c = vtextCreateSelection(text);
  EXPECT_EQ(c->slot, 0);
  EXPECT_EQ(text->selectionCount, 2);
  vtextSelection temp;
  vtextInitTempSelection(text, b, &temp);
  EXPECT_EQ(temp.slot, -1);
  vtextDestroySelection(text, &temp);  // left alone
  EXPECT_EQ(vtextGetLineOfPosition(text, text->length), text->lineCount);
  vtextDestroy(text);
}

TEST(Selections, EditsMoveTheOtherSelections) {
  struct Case {
    bool deletion;
    std::int32_t a, b;  // deleted range, or insertion position and count
    std::int32_t s, e, wantS, wantE;
  } cases[] = {
      {true, 10, 20, 15, 25, 10, 15}, {true, 10, 20, 12, 18, 10, 10}, {true, 10, 20, 25, 30, 15, 20},
      {true, 10, 20, 5, 12, 5, 10},   {true, 10, 20, 5, 30, 5, 20},   {false, 10, 3, 10, 12, 10, 15},
      {false, 10, 3, 10, 10, 10, 10}, {false, 10, 3, 4, 10, 4, 13},   {false, 10, 3, 11, 12, 14, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.deletion ? "delete " : "insert ") << c.a << " " << c.b << " over " << c.s
                                    << ".." << c.e);
    Edited t(std::string(40, 'x'));
    vtextSelection* other = vtextCreateSelection(t.text);
    vtextSetSelectionRange(t.text, other, c.s, c.e);
    if (c.deletion) {
      t.select(c.a, c.b);
      vtextDeleteSelection(t.text, t.sel);
      EXPECT_EQ(t.sel->start, c.a);
    } else {
      t.select(c.a, c.a);
      t.insert(std::string(std::size_t(c.b), 'i'));
      EXPECT_EQ(t.sel->start, c.a + c.b);
    }
    EXPECT_EQ(other->start, c.wantS);
    EXPECT_EQ(other->end, c.wantE);
  }
}

TEST(Selections, LineQueries) {
  // Five lines of 12 pixels (ascent 9, descent 3).
  Edited t("ab\ncd\nef\ngh\nij");
  vtextStyle* style = vtextStyleCreate();
  style->flags = vtextStyleOWNED;
  vtextRulerSetIntegerAttr(style, N("Ascent"), 9);
  t.text->currentStyle = style;
  vtextRecalculate(t.text);
  struct Count {
    std::int32_t height, line, want;
  } counts[] = {{36, 1, 3}, {35, 1, 2}, {0, 1, 0}, {36, 6, 0}, {-36, 2, 2}, {-36, 5, 3}, {1000, 4, 2}, {-12, 0, 0}};
  for (const Count& c : counts)
    EXPECT_EQ(vtextCountLinesInHeight(t.text, c.height, c.line), c.want) << c.height << " from " << c.line;
  EXPECT_EQ(vtextGetLinesHeight(t.text, 1, 3), 36);
  EXPECT_EQ(vtextGetLinesHeight(t.text, 3, 2), 0);
  EXPECT_EQ(vtextGetLineStart(t.text, 4), 9);
  EXPECT_EQ(vtextGetLineStart(t.text, 9), 14);
  vtextLineInfo info;
  vtextGetLineInfo(t.text, 2, &info);
  EXPECT_EQ(info.start, 3);
  EXPECT_EQ(info.length, 3);
  EXPECT_EQ(info.height, 12);
  EXPECT_EQ(std::string(info.chars, 2), "cd");
  EXPECT_EQ(info.paragraphStart, 1);
  vtextGetLineInfo(t.text, 7, &info);
  EXPECT_EQ(info.start, 14);
  EXPECT_EQ(info.height, 0);
  EXPECT_EQ(*vtextGetCharPointer(t.text, 13), 'j');
  EXPECT_STREQ(vtextGetCharPointer(t.text, 14), "");
  // x to position by midpoints of 8-pixel cells; the column's x back.
  EXPECT_EQ(vtextLineAndXToPosition(t.text, 2, -1, nullptr), 3);
  EXPECT_EQ(vtextLineAndXToPosition(t.text, 2, 3, nullptr), 3);
  EXPECT_EQ(vtextLineAndXToPosition(t.text, 2, 5, nullptr), 4);
  std::int32_t index = 0;
  EXPECT_EQ(vtextLineAndXToPosition(t.text, 2, 13, &index), 5);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(vtextGetPositionColumnValue(t.text, 5), 16);
  EXPECT_EQ(vtextGetPositionColumn(t.text, 5), 2);
  t.select(4, 10);
  EXPECT_EQ(vtextCountSelectionLines(t.text, t.sel), 3);
  EXPECT_EQ(vtextGetSelectionEndX(t.text, t.sel), 8);
  struct Lines {
    int how;
    std::int32_t f, l, start, end;
  } lines[] = {{1, 2, 3, 3, 9}, {2, 2, 3, 3, 6}, {3, 2, 3, 6, 9}, {4, 2, 3, 6, 8}, {1, 4, 5, 9, 14}, {1, -1, 0, 3, 12}};
  for (const Lines& l : lines) {
    t.select(4, 10);
    vtextSelectLines(t.text, t.sel, l.f, l.l, l.how);
    EXPECT_EQ(t.sel->start, l.start) << l.how;
    EXPECT_EQ(t.sel->end, l.end) << l.how;
  }
  std::int32_t f = 0, last = 0;
  vtextGetParagraphLines(t.text, 3, &f, &last);
  EXPECT_EQ(f, 3);
  EXPECT_EQ(last, 3);
  vtextGetParagraphLines(t.text, 9, &f, &last);
  EXPECT_EQ(f, -1);
}

TEST(Editing, TheSplittingRuleAndEmptyTexts) {
  Edited t("");
  t.insert(std::string(20000, 'z'));
  std::vector<std::int32_t> used;
  for (vtextBlock* b = t.text->first; b; b = b->next) used.push_back(b->used);
  EXPECT_EQ(used, (std::vector<std::int32_t>{7680, 7680, 4640}));
  EXPECT_EQ(t.sel->start, 20000);
  EXPECT_EQ(t.sel->end, 20000);
  EXPECT_EQ(checkText(t.text, std::string(20000, 'z')), "");

  Edited even("");
  even.insert(std::string(15360, 'e'));
  used.clear();
  for (vtextBlock* b = even.text->first; b; b = b->next) used.push_back(b->used);
  EXPECT_EQ(used, (std::vector<std::int32_t>{7680, 7680})) << "no empty last piece";

  // Cuts move to just after a line end before them.
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += std::string(49, char('a' + i % 26)) + "\n";
  Edited l("");
  l.insert(lines);
  for (vtextBlock* b = l.text->first; b->next; b = b->next) EXPECT_EQ(b->chars[b->used - 1], '\n');
  EXPECT_EQ(checkText(l.text, lines), "");
  EXPECT_EQ(l.text->lineCount, 401);
}

TEST(Editing, NotificationTraces) {
  Edited t("hello world");
  vtextSelection* other = vtextCreateSelection(t.text);
  vtextSetSelectionRange(t.text, other, 8, 9);
  t.select(5, 5);
  t.observe();
  t.insert(",");
  EXPECT_EQ(trace, (Trace{"selection 0 0 5..5", "selection 1 0 8..9", "will insert 5 1", "selection 0 1 6..6",
                          "selection 1 1 9..10", "inserted 5 1"}));
  trace.clear();
  t.select(0, 6);
  trace.clear();
  vtextDeleteSelection(t.text, t.sel);
  EXPECT_EQ(trace, (Trace{"selection 0 0 0..6", "selection 1 0 9..10", "will delete 6 -6", "selection 0 1 0..0",
                          "selection 1 1 3..4", "deleted 6 -6"}));
  EXPECT_EQ(textChars(t.text), " world");
  t.select(3, 3);
  trace.clear();
  vtextTypeChar(t.text, t.sel, 8);
  EXPECT_EQ(trace, (Trace{"selection -1 0 2..3", "selection 0 0 3..3", "selection 1 0 3..4", "will delete 3 -1",
                          "selection -1 1 2..2", "selection 0 1 2..2", "selection 1 1 2..3", "deleted 3 -1"}))
      << "a widened unregistered copy is deleted; the typing selection moves with the others";
  EXPECT_EQ(t.sel->start, 2);
  trace.clear();
  t.select(0, 0);
  trace.clear();
  vtextTypeChar(t.text, t.sel, 8);
  EXPECT_TRUE(trace.empty()) << "backspace at the start";
  t.text->mode |= vtextMODE_OVERWRITE;
  vtextTypeChar(t.text, t.sel, 'W');
  EXPECT_EQ(textChars(t.text), "Wwrld") << "the blank replaced";
  EXPECT_EQ(trace, (Trace{"selection 0 0 0..1", "selection 1 0 2..3", "will delete 1 -1", "selection 0 1 0..0",
                          "selection 1 1 1..2", "deleted 1 -1", "selection 0 0 0..0", "selection 1 0 1..2",
                          "will insert 0 1", "selection 0 1 1..1", "selection 1 1 2..3", "inserted 0 1"}))
      << "the widening itself is not heard";
}

TEST(Editing, TypingModes) {
  Edited t("ab\n");
  t.text->mode |= vtextMODE_OVERWRITE;
  t.select(2, 2);
  vtextTypeChar(t.text, t.sel, 'c');
  EXPECT_EQ(textChars(t.text), "abc\n") << "before a line end: inserted";
  t.select(0, 0);
  vtextTypeChar(t.text, t.sel, 'X');
  EXPECT_EQ(textChars(t.text), "Xbc\n");
  t.text->mode = vtextMODE_AUTO_INDENT;
  Edited a("x\n \t  code");
  a.text->mode = vtextMODE_AUTO_INDENT;
  a.select(10, 10);
  vtextTypeChar(a.text, a.sel, 10);
  EXPECT_EQ(textChars(a.text), "x\n \t  code\n \t  ");
  a.select(4, 4);
  vtextTypeChar(a.text, a.sel, 10);
  EXPECT_EQ(textChars(a.text), "x\n \t\n \t  code\n \t  ") << "only the blanks before the selection";
  a.select(a.text->length, a.text->length);
  vtextTypeChar(a.text, a.sel, 127);
  EXPECT_EQ(a.text->length, 18) << "delete at the end does nothing";
  EXPECT_EQ(_vtextModule()->typing, 0);
  EXPECT_EQ(checkText(a.text, textChars(a.text)), "");
  std::string longIndent(9000, ' ');
  Edited big(longIndent + "x", 16384);
  big.text->mode = vtextMODE_AUTO_INDENT;
  big.select(9001, 9001);
  vtextTypeChar(big.text, big.sel, 10);
  EXPECT_EQ(textChars(big.text), longIndent + "x\n" + longIndent) << "an indentation longer than 8192";
}

TEST(Tags, MovesAcrossInsertionsAndDeletions) {
  struct Case {
    const char* name;
    std::int32_t a, b;
    std::uint32_t flags;
    bool deletion;
    std::int32_t p, k;  // insertion position and count, or deleted range
    std::int32_t wantA, wantB;
    bool gone;
  } cases[] = {
      {"insert at the start", 5, 10, 0, false, 5, 3, 8, 13, false},
      {"insert at the end", 5, 10, 0, false, 10, 3, 5, 13, false},
      {"insert inside", 5, 10, 0, false, 7, 3, 5, 13, false},
      {"insert before", 5, 10, 0, false, 2, 3, 8, 13, false},
      {"insert after", 5, 10, 0, false, 12, 3, 5, 10, false},
      {"empty takes the text", 5, 5, 0, false, 5, 2, 5, 7, false},
      {"empty sticky moves", 5, 5, vtextTagSTICKY, false, 5, 2, 7, 7, false},
      {"sticky ending here stays", 5, 10, vtextTagSTICKY, false, 10, 2, 5, 10, false},
      {"sticky starting here moves", 5, 10, vtextTagSTICKY, false, 5, 2, 7, 12, false},
      {"deleted over", 5, 10, 0, true, 4, 12, 0, 0, true},
      {"kept empty", 5, 10, vtextTagKEEP, true, 4, 12, 4, 4, false},
      {"spanning a deletion", 2, 20, 0, true, 4, 12, 2, 12, false},
      {"overlapping its end", 5, 10, 0, true, 8, 12, 5, 8, false},
      {"overlapping its start", 5, 10, 0, true, 2, 7, 2, 5, false},
      {"after a deletion", 15, 20, 0, true, 2, 7, 10, 15, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Edited t(std::string(30, 'x'));
    vtextTag tag;
    vtextInitTag(&tag);
    tag.kind = N("Mark");
    tag.startWord |= c.flags & vtextTagSTICKY;
    vtextSetTagRange(t.text, &tag, c.a, c.b);
    vtextSetTagKeepWhenEmpty(&tag, (c.flags & vtextTagKEEP) != 0);
    std::uint32_t serial = _vtextAddTag(t.text, &tag);
    EXPECT_EQ(serial, 1u);
    if (c.deletion) {
      t.select(c.p, c.k);
      vtextDeleteSelection(t.text, t.sel);
    } else {
      t.select(c.p, c.p);
      t.insert(std::string(std::size_t(c.k), 'i'));
    }
    EXPECT_EQ(checkText(t.text, textChars(t.text)), "");
    if (c.gone) {
      EXPECT_FALSE(vtextTagIsAdded(&tag));
      EXPECT_EQ(tag.serial, 0u);
      continue;
    }
    ASSERT_TRUE(vtextTagIsAdded(&tag));
    EXPECT_EQ(vtextGetTagStart(&tag), c.wantA);
    EXPECT_EQ(vtextGetTagEnd(&tag), c.wantB);
    vtextRemoveTag(t.text, &tag);
  }
}

TEST(Tags, AnchoringScansAndSerials) {
  // Three blocks of 7680, 7680 and 4640; a tag from the first to the third.
  Edited t("");
  t.insert(std::string(20000, 'z'));
  vtextTag wide, inner, ends;
  for (vtextTag* tag : {&wide, &inner, &ends}) {
    vtextInitTag(tag);
    tag->kind = N("Mark");
  }
  vtextSetTagRange(t.text, &wide, 100, 16000);
  vtextSetTagRange(t.text, &inner, 8000, 8100);
  vtextSetTagRange(t.text, &ends, 7000, 8050);
  _vtextAddTag(t.text, &wide);
  _vtextAddTag(t.text, &inner);
  _vtextAddTag(t.text, &ends);
  EXPECT_EQ(checkText(t.text, std::string(20000, 'z')), "");
  vtextBlock* first = t.text->first;
  EXPECT_EQ(wide.startBlock, first);
  EXPECT_EQ(wide.endBlock, first->next->next);
  EXPECT_EQ(vtextGetTagStart(&wide), 100);

  vtextTagScan scan;
  vtextInitTagScan(&scan, t.text, nullptr, 8050);
  ASSERT_EQ(vtextScanTags(&scan), 1);
  ASSERT_EQ(scan.count, 2) << "the tag ending here is not active";
  EXPECT_EQ(scan.tags[0], &inner) << "newest first";
  EXPECT_EQ(scan.tags[1], &wide);
  ASSERT_EQ(vtextScanTags(&scan), 1);
  EXPECT_EQ(scan.position, 8100);
  EXPECT_EQ(scan.count, 1);
  ASSERT_EQ(vtextScanTags(&scan), 1);
  EXPECT_EQ(scan.position, 16000);
  EXPECT_EQ(scan.count, 0);
  EXPECT_EQ(vtextScanTags(&scan), 0);
  vtextFreeTagScan(&scan);

  vtextTagIterator it;
  vtextInitTagIterator(&it, t.text, N("Mark"), 0);
  std::vector<vtextTag*> order;
  while (vtextNextTag(&it)) order.push_back(vtextGetIteratorTag(&it));
  EXPECT_EQ(order, (std::vector<vtextTag*>{&wide, &ends, &inner}));
  vtextTag** found = nullptr;
  EXPECT_EQ(vtextCollectTags(t.text, nullptr, 7500, 8000, &found, 0, 1), 3);
  EXPECT_EQ(found[0], &ends) << "newest first";
  vmemFree(found);
  EXPECT_EQ(vtextCollectTags(t.text, N("Other"), 0, 20000, &found, 0, 0), 0);
  EXPECT_EQ(found, nullptr);

  std::string message;
  EXPECT_EQ(raised([&] { _vtextAddTag(t.text, &inner); }, &message), &vexModuleStateClass);
  EXPECT_EQ(message, "_vtextAddTag -- tag has already been added.\n");
  vtextRemoveTag(t.text, &inner);
  EXPECT_EQ(_vtextAddTag(t.text, &inner), 4u);
  // A deletion across the three blocks keeps the spanning tag whole.
  t.select(5000, 17000);
  vtextDeleteSelection(t.text, t.sel);
  EXPECT_EQ(checkText(t.text, std::string(8000, 'z')), "");
  EXPECT_EQ(vtextGetTagStart(&wide), 100);
  EXPECT_EQ(vtextGetTagEnd(&wide), 5000);
  EXPECT_FALSE(vtextTagIsAdded(&inner));
  EXPECT_FALSE(vtextTagIsAdded(&ends));
  vtextRemoveTag(t.text, &wide);
  vtextTag never;
  vtextInitTag(&never);
  never.startBlock = never.endBlock = t.text->first;
  EXPECT_EQ(raised([&] { _vtextRemoveTagInternal(t.text, &never); }, &message), &vexModuleStateClass);
  EXPECT_EQ(message, "_vtextRemoveTagInternal -- tag was not properly added.\n");
}

// A selection keeps a range given outside the text; every edit over it
// works on the range clamped to 0..length and changes nothing outside that.
TEST(Editing, EditsOverASelectionOutsideTheTextStayInside) {
  std::string big;
  for (int k = 0; big.size() < 20000; ++k) big += "line " + std::to_string(k) + " of the listing\n";
  const std::string small = "hello\nworld";
  const auto bigLength = std::int64_t(big.size());
  struct Range {
    const std::string* chars;
    std::int64_t a, b;
  };
  const Range ranges[] = {
      {&small, 0, 1000},  {&small, -100, std::int64_t(1) << 30}, {&small, 3, 40},  {&small, 20, 30},
      {&small, -9, -1},   {&big, bigLength - 5, bigLength + 10},  {&big, 100, bigLength + 50},
      {&big, -10, 50},    {&big, -100, std::int64_t(1) << 30},
  };
  enum Op { Delete, Insert, Graphic, Type, Style };
  for (Op op : {Delete, Insert, Graphic, Type, Style}) {
    for (const Range& r : ranges) {
      SCOPED_TRACE(testing::Message() << "op " << op << " range " << r.a << ".." << r.b << " of " << r.chars->size());
      Edited t(*r.chars, 4096);
      ASSERT_EQ(r.chars == &big, t.text->first->next != nullptr) << "the long text spans blocks";
      t.select(std::int32_t(r.a), std::int32_t(r.b));
      EXPECT_EQ(t.sel->start, std::int32_t(r.a)) << "the range is kept as given";
      EXPECT_EQ(t.sel->end, std::int32_t(r.b));
      const std::int64_t length = std::int64_t(r.chars->size());
      const auto a = std::size_t(std::clamp<std::int64_t>(r.a, 0, length));
      const auto b = std::size_t(std::clamp<std::int64_t>(r.b, 0, length));
      std::string model = *r.chars;
      vtextStyle* style = nullptr;
      std::string put;
      switch (op) {
        case Delete: vtextDeleteSelection(t.text, t.sel); break;
        case Insert: put = "XY", t.insert(put); break;
        case Graphic: {
          vtextGraphic* g = vtextGraphicCreate();
          g->flags |= vtextGraphicSTYLE_OWNS;
          vtextInsertGraphic(t.text, t.sel, g);
          put = "_";
          break;
        }
        case Type: vtextTypeChar(t.text, t.sel, 'q'), put = "q"; break;
        case Style:
          style = vtextStyleCreate();
          style->flags |= vtextStyleOWNED;
          vtextAddStyle(t.text, style);
          vtextApplyStyleToSelection(t.text, t.sel, style);
          break;
      }
      if (op != Style) model.replace(a, b - a, put);
      EXPECT_EQ(checkText(t.text, model), "");
      const auto at = std::int32_t(a);
      if (op == Style) {
        vtextTag** runs = nullptr;
        std::int32_t count = vtextCollectTags(t.text, vname_Style, 0, t.text->length, &runs, 0, 0);
        ASSERT_EQ(count, 1);
        EXPECT_EQ(std::make_pair(vtextGetTagStart(runs[0]), vtextGetTagEnd(runs[0])), std::make_pair(at, std::int32_t(b)));
        vmemFree(runs);
      } else if (op == Graphic) {
        EXPECT_EQ(std::make_pair(t.sel->start, t.sel->end), std::make_pair(at, at + 1)) << "the graphic is selected";
      } else if (op == Delete && a == b) {
        EXPECT_EQ(t.sel->start, std::int32_t(r.a)) << "nothing to delete: the range stays";
      } else {
        const auto caret = at + std::int32_t(put.size());
        EXPECT_EQ(std::make_pair(t.sel->start, t.sel->end), std::make_pair(caret, caret));
      }
    }
  }
}

TEST(Editing, TextsLongerThanTagOffsetsAreRefused) {
  Edited t("abc");
  t.text->length = vtextTagMAX_POSITION - 1;  // as if; nothing is touched
  EXPECT_EQ(raised([&] { t.insert("xy"); }), &vexArgRangeClass);
  auto* buffer = static_cast<char*>(vmemAlloc(8));
  EXPECT_EQ(raised([&] { _vtextAppendRun(t.text, buffer, 2, 8); }), &vexArgRangeClass);
  vmemFree(buffer);
  t.text->length = 3;
  EXPECT_EQ(textChars(t.text), "abc");
}

// Random edits against a string model, every invariant checked each step.
void randomEdits(unsigned seed, bool wrap) {
  std::mt19937 rng(seed);
  auto pick = [&](std::int32_t lo, std::int32_t hi) { return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng); };
  std::string model;
  Edited t("");
  if (wrap) {
    vtextRuler* ruler = vtextRulerCreate();
    ruler->flags = vtextRulerOWNED;
    ruler->owner = t.text;
    t.text->defaultRuler = ruler;
    vtextRulerSetMeasureAttr(ruler, N("RightIndent"), texttest::px(120));
    vtextRulerSetFlagAttr(ruler, N("Wrap"), 1);
  }
  std::vector<vtextTag*> tags;
  const char alphabet[] = "abc  \n\tde\nf";
  for (int step = 0; step < 400; ++step) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step);
    std::int32_t len = std::int32_t(model.size());
    int op = pick(0, 9);
    if (op <= 2) {
      std::int32_t p = pick(0, len);
      std::int32_t count = pick(0, 20) == 0 ? pick(3000, 12000) : pick(1, 40);
      std::string s;
      for (std::int32_t i = 0; i < count; ++i) s += alphabet[pick(0, int(sizeof alphabet) - 2)];
      t.select(p, p);
      t.insert(s);
      model.insert(std::size_t(p), s);
    } else if (op <= 4 && len > 0) {
      std::int32_t a = pick(0, len), b = pick(0, len);
      if (pick(0, 3) == 0) b = std::min(len, a + pick(1, 9000));
      t.select(a, b);
      vtextDeleteSelection(t.text, t.sel);
      model.erase(std::size_t(std::min(a, b)), std::size_t(std::abs(b - a)));
    } else if (op == 5) {
      std::int32_t p = pick(0, len);
      t.select(p, p);
      int c = pick(0, 3) == 0 ? 8 : (pick(0, 3) == 0 ? 127 : alphabet[pick(0, 10)]);
      t.text->mode = pick(0, 4) == 0 ? vtextMODE_OVERWRITE : 0;
      vtextTypeChar(t.text, t.sel, c);
      texttest::typeIntoModel(model, p, c, t.text->mode & vtextMODE_OVERWRITE);
      t.text->mode = 0;
    } else if (op <= 7) {
      auto* tag = static_cast<vtextTag*>(vmemAlloc(sizeof(vtextTag)));
      vtextInitTag(tag);
      tag->kind = N(pick(0, 1) ? "Mark" : "Ruler");
      if (pick(0, 2) == 0) tag->startWord |= vtextTagSTICKY;
      std::int32_t a = pick(0, len), b = pick(0, len);
      vtextSetTagRange(t.text, tag, std::min(a, b), std::max(a, b));
      _vtextAddTag(t.text, tag);
      tags.push_back(tag);
    } else if (!tags.empty()) {
      std::size_t i = std::size_t(pick(0, std::int32_t(tags.size()) - 1));
      vtextRemoveTag(t.text, tags[i]);
      vmemFree(tags[i]);
      tags.erase(tags.begin() + std::ptrdiff_t(i));
    }
    texttest::dropDetached(tags);  // tags that edits emptied have left the text
    std::string wrong = checkText(t.text, model);
    ASSERT_EQ(wrong, "");
  }
  for (vtextTag* tag : tags) {
    vtextRemoveTag(t.text, tag);
    vmemFree(tag);
  }
}

TEST(Editing, RandomEditsKeepTheTextWhole) {
  for (unsigned seed = 1; seed <= 8; ++seed) randomEdits(seed, seed % 3 == 0);
  for (unsigned seed : {4u, 5u}) randomEdits(seed, true);
}

}  // namespace

namespace {

vtextTag* addHiddenRun(vtext* text, vtextStyle* hidden, std::int32_t start, std::int32_t end) {
  _vtextEnsureAttachments(text);
  auto* tag = static_cast<vtextTag*>(vpoolAlloc(text->attachments->styleTags));
  vtextInitTag(tag);
  tag->kind = vname_Style;
  *reinterpret_cast<vtextStyle**>(tag + 1) = hidden;
  vtextSetTagRange(text, tag, start, end);
  _vtextAddTag(text, tag);
  ++text->attachments->styleTagCount;
  return tag;
}

// Hidden text keeps its line ends from becoming block boundaries, and an
// insertion at hidden text enlarges its block instead of splitting it.
TEST(Editing, HiddenRunsShapeTheSplit) {
  vtextStyle* hidden = vtextStyleCreate();
  vtextRulerSetBooleanAttr(hidden, N("Hidden"), 1);
  std::string chars(7800, 'h');
  chars[7700] = '\n';
  chars[7750] = '\n';
  for (bool hide : {false, true}) {
    SCOPED_TRACE(hide);
    Edited t(chars);
    if (hide) addHiddenRun(t.text, hidden, 7690, 7700);
    t.select(7800, 7800);
    t.insert(std::string(2200, 'i'));
    ASSERT_NE(t.text->first->next, nullptr);
    EXPECT_EQ(t.text->first->used, hide ? 7751 : 7701);
    EXPECT_EQ(checkText(t.text, textChars(t.text)), "");
  }
  Edited t(std::string(7000, 'h'));
  addHiddenRun(t.text, hidden, 3000, 4000);
  t.select(3500, 3500);
  t.insert(std::string(9000, 'i'));
  EXPECT_EQ(t.text->first->next, nullptr) << "enlarged in place";
  EXPECT_EQ(t.text->first->used, 16000);
  EXPECT_EQ(checkText(t.text, textChars(t.text)), "");
  vtextStyleDestroy(hidden);
}

}  // namespace

// The line walker: copying, deleting, pasting and styling column
// selections, flushes that revisit a line, reading walks and re-entry.
#include "fw/text/walker.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "fw/core/sys.h"
#include "fw/text/rulers.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/text/edit_support.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::checkText;
using texttest::textChars;

const std::string kLines = "abcdef\nghijkl\nmnopqr\nstu";

struct Walked {
  vtext* text;
  vtextSelection* sel;
  explicit Walked(const std::string& chars) {
    texttest::useFixedDriver();
    text = texttest::textFromChars(chars);
    sel = vtextCreateSelection(text);
  }
  ~Walked() { vtextDestroy(text); }
  // Columns [from, to) of lines first..last (from 0), 8 pixels a character.
  void column(std::int32_t first, std::int32_t from, std::int32_t last, std::int32_t to) {
    vtextSetSelectionModeQuiet(text, sel, vtextSEL_COLUMN);
    vtextSetSelectionRange(text, sel, vtextGetLineStart(text, first + 1) + from, vtextGetLineStart(text, last + 1) + to);
  }
};

TEST(LineWalker, CopyingAndDeletingColumns) {
  struct Case {
    std::int32_t first, from, last, to;
    const char* copied;
    const char* deleted;
  } cases[] = {
      {0, 1, 2, 4, "bcd\nhij\nnop", "aef\ngkl\nmqr\nstu"},
      {1, 4, 3, 2, "ij\nop\nu", "abcdef\nghkl\nmnqr\nst"},  // right to left; the last line is short
      {0, 0, 0, 6, "abcdef", "\nghijkl\nmnopqr\nstu"},
      {2, 3, 3, 3, "\n", "abcdef\nghijkl\nmnopqr\nstu"},
  };
  for (const Case& c : cases) {
    Walked w(kLines);
    w.column(c.first, c.from, c.last, c.to);
    char buffer[64] = {};
    std::int32_t n = vtextCopySelectionText(w.text, w.sel, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, std::size_t(n)), c.copied) << c.copied;
    EXPECT_EQ(textChars(w.text), kLines) << "copying only reads";
    _vtextModule()->typing = 0;
    vtextDeleteSelection(w.text, w.sel);
    EXPECT_EQ(textChars(w.text), c.deleted) << c.copied;
    EXPECT_EQ(checkText(w.text, c.deleted), "");
  }
  // A sink that fills stops the walk with what fitted.
  Walked w(kLines);
  w.column(0, 1, 2, 4);
  char small[6];
  EXPECT_EQ(std::string(small, std::size_t(vtextCopySelectionText(w.text, w.sel, small, 6))), "bcd\nhi");
  // An ordinary selection copies its range.
  vtextSetSelectionModeQuiet(w.text, w.sel, vtextSEL_PLAIN);
  vtextSetSelectionRange(w.text, w.sel, 4, 10);
  EXPECT_EQ(std::string(small, std::size_t(vtextCopySelectionText(w.text, w.sel, small, 6))), "ef\nghi");
}

// A column selection deleted before anything was ever typed goes by
// column: the text module starts with its typing flag clear.
TEST(LineWalker, AColumnDeletedBeforeAnyTypingGoesByColumn) {
  // What the text module keeps for the whole process is made here, in the
  // default context, so that it outlives the fresh one.
  { Walked first("x"); }
  vmoduleContext* context = vmoduleCreateContext();
  {
    EXPECT_EQ(_vtextModule()->typing, 0);
    Walked w("01234567\n12345678\n23456789\n34\n");
    w.column(0, 2, 2, 5);
    vtextDeleteSelection(w.text, w.sel);
    EXPECT_EQ(textChars(w.text), "01567\n12678\n23789\n34\n");
  }
  vmoduleDestroyContext(context);
}

TEST(LineWalker, PastingAColumnPadsShortLines) {
  Walked w("abcdef\ngh\nmnopqr\n");
  w.column(0, 4, 0, 4);
  _vtextModule()->typing = 0;
  vtextInsertText(w.text, w.sel, "XY\nZ\nW", 6);
  EXPECT_EQ(textChars(w.text), "abcdXYef\ngh  Z\nmnopWqr\n");
  EXPECT_EQ(checkText(w.text, textChars(w.text)), "");
}

std::vector<std::int32_t> visits;
int flushOnce = 0;

std::int16_t upper(const char* piece, std::intptr_t length, void* output, std::int32_t* room, vtextWalk* walk) {
  visits.push_back(walk->line);
  if (walk->line == 2 && flushOnce-- > 0) return 1;
  auto* out = static_cast<char*>(output);
  if (!out) return 0;  // a reading walk
  for (std::intptr_t i = 0; i < length; ++i) out[i] = char(std::toupper(static_cast<unsigned char>(piece[i])));
  *room = std::int32_t(length);
  return 0;
}

std::int16_t reenter(const char*, std::intptr_t, void*, std::int32_t* room, vtextWalk* walk) {
  *room = 0;
  vtextProcessLines(walk->text, nullptr, upper, vtextWALK_READ_ONLY);
  return 0;
}

TEST(LineWalker, FlushesRevisitTheLineAndWalksDoNotNest) {
  Walked w(kLines);
  visits.clear();
  flushOnce = 1;
  vtextProcessLines(w.text, nullptr, upper, 0);
  EXPECT_EQ(visits, (std::vector<std::int32_t>{1, 2, 2, 3, 4}));
  EXPECT_EQ(textChars(w.text), "ABCDEF\nGHIJKL\nMNOPQR\nSTU");
  EXPECT_EQ(checkText(w.text, textChars(w.text)), "");

  // An ordinary selection: the piece starts and ends at its ends; a
  // selection ending after a line end leaves the next line alone.
  Walked p(kLines);
  vtextSetSelectionRange(p.text, p.sel, 3, 14);
  vtextProcessLines(p.text, p.sel, upper, vtextWALK_FINAL_NEWLINE);
  EXPECT_EQ(textChars(p.text), "abcDEF\nGHIJKL\n\nmnopqr\nstu");

  Walked r(kLines);
  visits.clear();
  vtextProcessLines(r.text, nullptr, upper, vtextWALK_READ_ONLY);
  EXPECT_EQ(textChars(r.text), kLines) << "a reading walk writes nothing";
  EXPECT_EQ(visits.size(), 4u);
  EXPECT_EQ(raised([&] { vtextProcessLines(r.text, nullptr, reenter, vtextWALK_READ_ONLY); }), &vexModuleStateClass);
  visits.clear();
  vtextProcessLines(r.text, nullptr, upper, vtextWALK_READ_ONLY);
  EXPECT_EQ(visits.size(), 4u) << "the walker is free again after the raise";
}

TEST(LineWalker, StylesGoOnEachPieceOfAColumn) {
  Walked w(kLines);
  vtextStyle* bold = vtextStyleCreate();
  vtextRulerSetBooleanAttr(bold, texttest::N("Bold"), 1);
  bold->flags |= vtextStyleOWNED;
  vtextAddStyle(w.text, bold);
  w.column(0, 1, 2, 3);
  vtextApplyStyleToSelection(w.text, w.sel, bold);
  std::string covered;
  for (std::int32_t p = 0; p < w.text->length; ++p) {
    vtextStyle* s = vtextGetStyleAt(w.text, p);
    covered += s ? 'b' : '.';
    if (s) vtextStyleDestroy(s);
  }
  EXPECT_EQ(covered, ".bb.....bb.....bb.......");
  w.column(1, 2, 3, 3);
  vtextRemoveStyleFromSelection(w.text, w.sel, bold);
  for (std::int32_t p : {1, 8}) {
    vtextStyle* s = vtextGetStyleAt(w.text, p);
    EXPECT_NE(s, nullptr) << p;
    if (s) vtextStyleDestroy(s);
  }
  EXPECT_EQ(vtextGetStyleAt(w.text, 9), nullptr);
  EXPECT_EQ(vtextGetStyleAt(w.text, 16), nullptr);
  w.column(3, 0, 3, 3);
  EXPECT_EQ(raised([&] { vtextRemoveStyleFromSelection(w.text, w.sel, bold); }), &vexTextNoAppliedStyleClass);
}

// Pieces as the callback saw them; an upper-casing in place.
std::vector<std::string> pieces;
std::int16_t look(const char* piece, std::intptr_t length, void*, std::int32_t* room, vtextWalk*) {
  if (piece) pieces.emplace_back(piece, std::size_t(length));
  if (room) *room = 0;
  return 0;
}
std::int16_t upperInPlace(const char* piece, std::intptr_t length, void*, std::int32_t* room, vtextWalk*) {
  for (std::intptr_t i = 0; piece && i < length; ++i)
    const_cast<char*>(piece)[i] = char(std::toupper(static_cast<unsigned char>(piece[i])));
  if (room) *room = 0;
  return 0;
}

TEST(LineWalker, TabsExpandToTheirWidthsAndCompressToTheRulersStops) {
  // Stops every 48.0; a character 8.0, a blank 4.0.
  const std::string tabs = "\tab\n  x\ty\n'\t'\tz\na\tb";
  Walked w(tabs);
  const std::string blanks12(12, ' '), blanks10(10, ' ');
  const struct {
    std::uintptr_t options;
    std::vector<std::string> want;
  } cases[] = {
      {0, {blanks12 + "ab", "  x" + std::string(8, ' ') + "y", "'\t'" + blanks10 + "z", "a" + blanks10 + "b"}},
      {1, {blanks12 + "ab", "  x\ty", "'\t'\tz", "a\tb"}},                     // leading tabs only
      {2, {blanks12 + "ab", "  x" + std::string(8, ' ') + "y", "'" + blanks10 + "'" + blanks10 + "z", "a" + blanks10 + "b"}},
  };
  for (const auto& c : cases) {
    pieces.clear();
    vtextProcessLines(w.text, nullptr, look, vtextWALK_READ_ONLY | vtextWALK_EXPAND_TABS, reinterpret_cast<void*>(c.options));
    EXPECT_EQ(pieces, c.want) << c.options;
  }
  EXPECT_EQ(textChars(w.text), tabs);

  // Expanded, rewritten in place and compressed back: the tabs come back.
  vtextProcessLines(w.text, nullptr, upperInPlace, vtextWALK_EXPAND_TABS | vtextWALK_CONVERT);
  EXPECT_EQ(textChars(w.text), "\tAB\n  X\tY\n'\t'\tZ\nA\tB");
  EXPECT_EQ(checkText(w.text, textChars(w.text)), "");

  // Blanks reaching the ruler's stops, then its TabWidth multiples past the last stop.
  Walked b(blanks12 + "ab\n    cd      ef\n    gh");
  vtextRuler* ruler = vtextRulerCreate();
  ruler->flags |= vtextRulerOWNED;
  vtextAddRuler(b.text, ruler);
  vtextRulerSetMeasureAttr(ruler, texttest::N("TabWidth"), texttest::px(24));
  int type = 0;
  vtextRulerEditTab(nullptr, ruler, texttest::px(16), vtextTAB_ADD, &type);
  vtextSetRulerLines(b.text, ruler, 2, 2);
  vtextProcessLines(b.text, nullptr, look, vtextWALK_COPY_PIECE | vtextWALK_CONVERT);
  EXPECT_EQ(textChars(b.text), "\tab\n\tcd\t  ef\n    gh");
  EXPECT_EQ(checkText(b.text, textChars(b.text)), "");
}

}  // namespace

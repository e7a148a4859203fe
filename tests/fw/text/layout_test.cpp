// The line breaker over a font driver of fixed advances (8.0 a character,
// 4.0 a blank), so that every x is exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/graphics/pixmap.h"
#include "fw/text/tags.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::N;
using texttest::px;
using texttest::textFromChars;

using Xs = std::vector<double>;

// A text of the characters under a default ruler that the case sets up.
struct Laid {
  vtext* text;
  vtextRuler* ruler;
  explicit Laid(const std::string& chars) : text(textFromChars(chars)), ruler(vtextRulerCreate()) {
    ruler->flags = vtextRulerOWNED;
    ruler->owner = text;
    text->defaultRuler = ruler;
  }
  ~Laid() { vtextDestroy(text); }
  void tabs(const std::vector<double>& stops) {
    ruler->tabs = static_cast<vtextTab*>(vmemAllocClear(stops.size() * sizeof(vtextTab)));
    for (double s : stops) ruler->tabs[ruler->tabCount++] = {px(s), 0};
    ruler->tabCapacity = ruler->tabCount;
    ruler->lastTab = ruler->tabs[ruler->tabCount - 1].position;
  }
  void measure(const char* key, double value) { vtextRulerSetMeasureAttr(ruler, N(key), px(value)); }
  Xs first(std::int32_t* count = nullptr) { return texttest::firstLineX(text, count); }
  std::vector<std::int32_t> starts() {
    std::vector<std::int32_t> s;
    for (vtextBlock* b = text->first; b; b = b->next)
      for (std::int32_t i = 0; i < b->lineCount; ++i) s.push_back(b->start + std::int32_t(b->lines[i].start));
    return s;
  }
};

TEST(LineBreaker, TabsGoToStopsThenToMultiplesOfTheTabWidth) {
  struct Case {
    const char* name;
    const char* chars;
    std::vector<double> stops;
    double left, first, tabWidth;  // -1: absent
    Xs want;
  } cases[] = {
      {"multiples of 48", "a\tb\tc", {}, -1, -1, -1, {0, 8, 48, 56, 96, 104}},
      {"at a multiple: the next", "aaaaaa\tb", {}, -1, -1, -1, {0, 8, 16, 24, 32, 40, 48, 96, 104}},
      {"a tab width of 20", "a\tb", {}, -1, -1, 20, {0, 8, 20, 28}},
      {"explicit stops", "a\tb\tc\td", {20, 30}, -1, -1, -1, {0, 8, 20, 28, 30, 38, 48, 56}},
      {"after the last stop: from 0", "aaaaaaaaaaaaa\tb", {100}, -1, -1, -1,
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 144, 152}},
      {"first line: to the left indent", "\tb", {}, 30, 0, -1, {0, 30, 38}},
      {"first line: a stop before the indent", "\tb", {20, 60}, 30, 0, -1, {0, 20, 28}},
      {"first line: the indent lies left", "\tb", {}, 30, 40, -1, {40, 48, 56}},
      {"a tab at negative x is a character", "\tb", {}, 30, -10, -1, {-10, -2, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Laid l(c.chars);
    if (!c.stops.empty()) l.tabs(c.stops);
    if (c.left >= 0) l.measure("LeftIndent", c.left);
    if (c.first != -1) l.measure("FirstLineIndent", c.first);
    if (c.tabWidth >= 0) l.measure("TabWidth", c.tabWidth);
    EXPECT_EQ(l.first(), c.want);
  }
  // With a line end other than 10 the tab and the blank are characters.
  Laid l("a\t b");
  vtextSetLineEnd(l.text, 13);
  EXPECT_EQ(l.first(), (Xs{0, 8, 16, 20, 28})) << "the blank keeps its advance and counts as visible";
}

TEST(LineBreaker, WrapsAtABlankOrInsideALongWord) {
  struct Case {
    const char* chars;
    double right;
    std::vector<std::int32_t> starts;
  } cases[] = {
      {"aaa bbb ccc", 40, {0, 4, 8}},
      {"aaaaaaaaaa", 40, {0, 5}},        // one word: broken before the character that passes
      {"aaaa    bbbb", 40, {0, 8}},       // the blanks stay on the first line
      {"aa bb\ncc dd ee", 40, {0, 6, 12}},
      {"aaa bbb ccc", 0, {0}},            // no right indent: no wrapping
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chars);
    Laid l(c.chars);
    l.measure("RightIndent", c.right);
    vtextRulerSetFlagAttr(l.ruler, N("Wrap"), 1);
    EXPECT_EQ(l.starts(), c.starts);
  }
  // The trailing blank is laid out but leaves the visible width: a right
  // justified wrapped line lines its last letter up with the indent.
  Laid l("aaa bbb");
  l.measure("RightIndent", 40);
  vtextRulerSetFlagAttr(l.ruler, N("Wrap"), 1);
  vtextRulerSetJustification(l.ruler, 1);
  std::int32_t n = 0;
  Xs xs = l.first(&n);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(xs, (Xs{16, 24, 32, 40, 44}));
}

TEST(LineBreaker, JustificationShiftsByTheRoomLeft) {
  // Visible width 100.0: six letters, a blank, six letters.
  struct Case {
    int justification;
    double shift;
  } cases[] = {{-1, 0}, {0, 0}, {1, 100}, {2, 50}, {3, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.justification);
    Laid l("aaaaaa aaaaaa");
    l.measure("RightIndent", 200);
    vtextRulerSetJustification(l.ruler, c.justification);
    Xs xs = l.first();
    ASSERT_EQ(xs.size(), 14u);
    EXPECT_EQ(xs[0], c.shift);
    EXPECT_EQ(xs[13], 100 + c.shift);
    EXPECT_EQ(l.text->first->lines[0].startX, px(c.shift));
  }
}

TEST(LineBreaker, ViewsLineEndsAndHiddenCharacters) {
  struct Case {
    const char* name;
    const char* chars;
    std::uint8_t view, mode;
    bool hidden;
    Xs want;
  } cases[] = {
      {"a line end is 3.0", "ab\ncd", 0, 0, false, {0, 8, 16, 19}},
      {"hex cells", "ab\ncd", vtextVIEW_HEX, 0, false, {0, 20, 40, 60}},
      {"hex cells of tabs and blanks", "\t \n", vtextVIEW_HEX, 0, false, {0, 20, 40, 60}},
      {"hidden", "ab\ncd", 0, 0, true, {0, 0, 0, 0}},
      {"hidden laid out", "ab\ncd", 0, vtextMODE_SHOW_HIDDEN, true, {0, 8, 16, 19}},
      {"an empty last line", "", 0, 0, false, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Laid l(c.chars);
    vtextStyle* style = vtextStyleCreate();
    if (c.hidden) vtextRulerSetBooleanAttr(style, N("Hidden"), 1);
    style->flags = vtextStyleOWNED;
    l.text->currentStyle = style;
    l.text->mode = c.mode;
    l.text->view = c.view;
    std::int32_t n = 0;
    EXPECT_EQ(l.first(&n), c.want);
    EXPECT_EQ(n + 1, std::int32_t(c.want.size()));
    vtextBlock* b = l.text->first;
    std::int32_t count = b->used;
    vtextColumn* e = vtextClassOf(l.text)->layoutLine(l.text, nullptr, b->chars, &count, 0, 0);
    EXPECT_EQ(e[n + 1].x, vtextCOLUMN_SENTINEL);
    EXPECT_EQ(e[n + 1].style, nullptr);
    EXPECT_NE(e[0].style, nullptr);
    EXPECT_EQ(vtextRulerGetBooleanAttr(e[0].style, N("Hidden")), c.hidden ? 1 : -1) << "a scratch copy of the style";
  }
}

TEST(LineBreaker, AscentAndDescentFromRulerStyleFontAndInk) {
  struct Case {
    const char* name;
    const char* chars;
    int rulerAscent, styleAscent, styleDescent;  // -1: absent
    std::uint16_t ascent, descent;
  } cases[] = {
      {"the font's", "abc", -1, -1, -1, 10, 3},
      {"the style raises the line", "abc", -1, 25, -1, 25, 3},
      {"the ruler's as a floor", "abc", 30, 25, 1, 30, 1},
      {"ink above", "a^c", -1, -1, -1, 14, 3},
      {"ink below", "a_c", -1, -1, -1, 10, 5},
      {"no ink tracking with an ascent", "a^c", -1, 12, -1, 12, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Laid l(c.chars);
    if (c.rulerAscent >= 0) vtextRulerSetIntegerAttr(l.ruler, N("Ascent"), c.rulerAscent);
    vtextStyle* style = vtextStyleCreate();
    style->flags = vtextStyleOWNED;
    if (c.styleAscent >= 0) vtextRulerSetIntegerAttr(style, N("Ascent"), c.styleAscent);
    if (c.styleDescent >= 0) vtextRulerSetIntegerAttr(style, N("Descent"), c.styleDescent);
    l.text->currentStyle = style;
    vtextRecalculate(l.text);
    EXPECT_EQ(l.text->first->lines[0].ascent, c.ascent);
    EXPECT_EQ(l.text->first->lines[0].descent, c.descent);
  }
  // Ink past the break leaves with it: the kept part is measured again.
  Laid l("aaa ^^^^");
  l.measure("RightIndent", 40);
  vtextRulerSetFlagAttr(l.ruler, N("Wrap"), 1);
  vtextRecalculate(l.text);
  ASSERT_EQ(l.text->lineCount, 2);
  EXPECT_EQ(l.text->first->lines[0].ascent, 10);
  EXPECT_EQ(l.text->first->lines[1].ascent, 14);
}

TEST(LineBreaker, TheCacheAnswersTheSameLineWithoutWork) {
  Laid l("abc\ndef");
  vtextBlock* b = l.text->first;
  std::int32_t n = b->used;
  vtextColumn* e = vtextClassOf(l.text)->layoutLine(l.text, nullptr, b->chars + 4, &n, 4, 1);
  EXPECT_EQ(n, 3);
  e[1].x = px(1000);  // a hit returns the entries as they are
  std::int32_t again = 99;
  EXPECT_EQ(vtextClassOf(l.text)->layoutLine(l.text, nullptr, b->chars + 4, &again, 4, 1)[1].x, px(1000));
  EXPECT_EQ(again, 3);
  vtextForgetCache(l.text);
  again = 3;
  EXPECT_EQ(vtextClassOf(l.text)->layoutLine(l.text, nullptr, b->chars + 4, &again, 4, 1)[1].x, px(8));

  // A line longer than the cache's first 1024 entries grows it by 512s.
  Laid wide(std::string(3000, 'w'));
  std::int32_t count = 0;
  Xs xs = wide.first(&count);
  EXPECT_EQ(count, 3000);
  EXPECT_EQ(xs[1500], 12000);
  EXPECT_EQ(xs.back(), 24000) << "x stays exact past the 16,383 pixels a 32-bit 16.16 value held";

  vtextRing ring{{}, {}, -1, 0};
  for (int i = 0; i < 6; ++i) vtextRingPush(&ring, px(i), i);
  EXPECT_EQ(ring.count, 4);
  EXPECT_EQ(ring.value[ring.current], px(5));
  EXPECT_EQ(vtextRingTrim(&ring, 4), 1);
  EXPECT_EQ(ring.count, 2);
  EXPECT_EQ(vtextRingTrim(&ring, 0), 0);
  EXPECT_EQ(ring.current, -1);
}

TEST(LineBreaker, InvisiblesTakeTheirGlyphsWidths) {
  vimage* glyphs[4] = {vtextInvisibleGlyph('\n'), vtextInvisibleGlyph('\t'), vtextInvisibleGlyph(1),
                       vtextInvisibleGlyph(' ')};
  for (vimage* g : glyphs) ASSERT_NE(g, nullptr) << "the framework's \"vtext\" resource";
  EXPECT_EQ(vtextInvisibleGlyph('a'), nullptr);
  EXPECT_EQ(vtextInvisibleGlyph(0x81), glyphs[2]);
  // The tab's arrow points right: its shaft starts at the left edge, its
  // head's tip is the right edge's only mark.
  vpixmapCursor c;
  vpixmapInitCursor(&c, glyphs[1]);
  EXPECT_NE(vpixmapCursorGetAt(&c, 0, 4), 0u);
  EXPECT_NE(vpixmapCursorGetAt(&c, 8, 4), 0u);
  EXPECT_EQ(vpixmapCursorGetAt(&c, 8, 3), 0u);
  EXPECT_NE(vpixmapCursorGetAt(&c, 6, 2), 0u);
  vpixmapFinishCursor(&c);
  Laid l("a \tb\x01\n");
  l.text->view = vtextVIEW_INVISIBLES;
  double line = glyphs[0]->width, unprintable = glyphs[2]->width, blank = glyphs[3]->width;
  // The tab keeps its stop; the blank, the unprintable and the line end take their glyphs.
  EXPECT_EQ(l.first(), (Xs{0, 8, 8 + blank, 48, 56, 56 + unprintable, 56 + unprintable + line}));
}

}  // namespace

namespace {

// The screen font through the Windows font device: a fixed-pitch face of
// 8-pixel cells at 10 points, its tabs on 48-pixel stops.
TEST(LineBreaker, OneRunWithTheRealScreenFont) {
  const vfontDriver saved = *vfontGetDriver();
  vfontMSWStartup();
  vfont* mono = vfontFindScribe(vscribeCString("family:DejaVu Sans Mono-size:10"));
  ASSERT_STREQ(mono->face->family->name, "DejaVu Sans Mono");
  Laid l("int f()\n\treturn 0; // ok\n");
  vtextStyle* style = vtextStyleCreate();
  style->flags = vtextStyleOWNED;
  vtextStyleSetAttribute(style, vname_Font, reinterpret_cast<vobject*>(mono), 0);
  l.text->currentStyle = style;
  vtextRecalculate(l.text);
  vfixed cell = vfontGetCharsWidth(mono, "m", 1);
  EXPECT_EQ(cell, px(8));
  Xs xs = l.first();
  ASSERT_EQ(xs.size(), 9u);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(xs[i], 8.0 * double(i));
  EXPECT_EQ(xs[8], 59) << "the line end's 3.0";
  vtextBlock* b = l.text->first;
  ASSERT_EQ(l.text->lineCount, 3);
  std::int32_t n = b->used - 8;
  vtextColumn* e = vtextClassOf(l.text)->layoutLine(l.text, nullptr, b->chars + 8, &n, 8, 1);
  EXPECT_EQ(n, 17);
  EXPECT_EQ(e[1].x, px(48));
  EXPECT_EQ(e[16].x, px(48 + 15 * 8));
  const vfontDriver* d = vfontGetDriver();
  std::uint16_t ascent = std::uint16_t((d->ascent(mono) + 0x8000) >> 16);
  std::uint16_t descent = std::uint16_t((d->descent(mono) + 0x8000) >> 16);
  EXPECT_GE(b->lines[0].ascent, ascent);
  EXPECT_GE(b->lines[0].descent, descent);
  EXPECT_LE(b->lines[0].ascent + b->lines[0].descent, 20) << "a 10-point line";
  vfontSetDriver(&saved);
}

}  // namespace

namespace {

// A run as the text keeps one: a tag from the text's pool with its style
// or ruler in the word after it.
template <class T>
vtextTag* addRun(vtext* text, bool style, T* object, std::int32_t start, std::int32_t end) {
  _vtextEnsureAttachments(text);
  vtextAttachments* a = text->attachments;
  auto* tag = static_cast<vtextTag*>(vpoolAlloc(style ? a->styleTags : a->rulerTags));
  vtextInitTag(tag);
  tag->kind = style ? vname_Style : N("Ruler");
  *reinterpret_cast<T**>(tag + 1) = object;
  vtextSetTagRange(text, tag, start, end);
  _vtextAddTag(text, tag);
  ++(style ? a->styleTagCount : a->rulerTagCount);
  return tag;
}

TEST(LineBreaker, StyleAndRulerRunsMergeOverTheDefaults) {
  Laid l("abcdef\nghij");
  vtextStyle* hidden = vtextStyleCreate();
  vtextRulerSetBooleanAttr(hidden, N("Hidden"), 1);
  vtextStyle* tall = vtextStyleCreate();
  vtextRulerSetIntegerAttr(tall, N("Ascent"), 20);
  addRun(l.text, true, hidden, 2, 4);
  addRun(l.text, true, tall, 3, 5);
  vtextRuler* centred = vtextRulerCreate();
  vtextRulerSetMeasureAttr(centred, N("RightIndent"), px(100));
  vtextRulerSetJustification(centred, 2);
  addRun(l.text, false, centred, 7, 11);
  vtextRecalculate(l.text);
  vtextBlock* b = l.text->first;
  std::int32_t n = 7;
  vtextColumn* e = vtextClassOf(l.text)->layoutLine(l.text, nullptr, b->chars, &n, 0, 0);
  ASSERT_EQ(n, 7);
  Xs xs;
  for (int i = 0; i <= n; ++i) xs.push_back(e[i].x / 65536.0);
  EXPECT_EQ(xs, (Xs{0, 8, 16, 16, 16, 24, 32, 35})) << "2 and 3 hidden, the newer style on top at 3";
  EXPECT_NE(e[2].style, nullptr);
  EXPECT_NE(e[3].style, nullptr);
  EXPECT_NE(e[4].style, nullptr);
  EXPECT_NE(e[5].style, nullptr) << "the tall run ends";
  EXPECT_EQ(e[6].style, nullptr);
  EXPECT_EQ(vtextRulerGetAttr(e[4].style, N("Ascent")), 20);
  EXPECT_EQ(b->lines[0].ascent, 20) << "the visible run of the tall style";
  EXPECT_EQ(b->lines[1].startX, px(34)) << "the ruler run centres the second line: (100 - 32) / 2";
  EXPECT_EQ(b->lines[0].startX, 0);
  vtextDestroy(l.text);  // the runs' pools go with the text
  l.text = vtextCreate();
  for (vtextStyle* s : {hidden, tall}) vtextStyleDestroy(s);
  vinstanceDestroy(centred);
}

}  // namespace

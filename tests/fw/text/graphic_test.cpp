// Graphics in a text: the graphic object and its stored form, inserting one
// over a selection, its metrics following into the carrying style, the
// layout giving it its width, and the plain box drawn into an image.
#include "fw/text/graphic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/drawmsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/graphics/pixmap.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"
#include "fw/text/textstore.h"
#include "tests/fw/text/edit_support.h"
#include "tests/fw/text/text_support.h"

namespace {

using texttest::checkText;
using texttest::N;
using texttest::textChars;

vtextStyle* carrier(vtext* t, std::int32_t p) {
  vtextTagScan scan;
  vtextInitTagScan(&scan, t, vname_Style, p);
  vtextScanTags(&scan);
  vtextStyle* s = scan.count ? vtextRunStyle(t, scan.tags[0]) : nullptr;
  vtextFreeTagScan(&scan);
  return s;
}

std::int32_t callbackCalls = 0;
std::int32_t measured(vtext*, std::uintptr_t data, std::intptr_t, int code) {
  ++callbackCalls;
  const std::int32_t answers[] = {0, 30, 20, 4};
  return code == vtextGRAPHIC_DRAW ? std::int32_t(data) : answers[code];
}

TEST(TextGraphics, InsertedOverAWordWithItsMetricsInTheStyle) {
  texttest::useFixedDriver();
  vtext* t = texttest::textFromChars("hello world\nnext");
  vtextSelection* sel = vtextCreateSelection(t);
  vtextSetSelectionRange(t, sel, 6, 11);
  vtextGraphic* g = vtextGraphicCreate();
  EXPECT_EQ(g->width, 50);
  EXPECT_EQ(g->height, 50);
  g->flags |= vtextGraphicSTYLE_OWNS;
  vtextGraphicSetMetrics(g, -1, -1, 6);
  vtextInsertGraphic(t, sel, g);
  EXPECT_EQ(textChars(t), "hello _\nnext");
  EXPECT_EQ(sel->start, 6);
  EXPECT_EQ(sel->end, 7);
  vtextStyle* s = carrier(t, 6);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s, g->style);
  EXPECT_EQ(g->text, t);
  EXPECT_EQ(s->flags & (vtextStyleOWNED | vtextStyleOWNS_GRAPHIC | vtextStyleGRAPHIC),
            vtextStyleOWNED | vtextStyleOWNS_GRAPHIC | vtextStyleGRAPHIC);
  EXPECT_EQ(s->owner, t) << "in the text's list";
  EXPECT_EQ(vtextRulerGetAttr(s, N("Descent")), 6);
  EXPECT_EQ(vtextRulerGetAttr(s, N("Ascent")), 44);
  EXPECT_EQ(vtextRulerFindAttr(&s->attributes, N("Data")), texttest::word(t));
  EXPECT_EQ(vtextGetStyleChangeWord(0) & vtextCHANGE_GRAPHIC, vtextCHANGE_GRAPHIC);
  EXPECT_EQ(vtextGetStyleChangeWord(1) & vtextCHANGE_GRAPHIC, vtextCHANGE_GRAPHIC);
  // The layout gives the placeholder the graphic's width and the line its height.
  std::vector<double> x = texttest::firstLineX(t);
  EXPECT_EQ(x[7] - x[6], 50.0);
  vtextLineInfo line{};
  vtextGetLineInfo(t, 1, &line);
  EXPECT_EQ(line.height, 50);
  EXPECT_EQ(line.descent, 6);
  EXPECT_EQ(checkText(t, "hello _\nnext"), "");

  // Only the descent: "Ascent" stays; a height then counts from the new descent.
  vtextGraphicSetMetrics(g, 40, -1, 9);
  EXPECT_EQ(vtextRulerGetAttr(s, N("Descent")), 9);
  EXPECT_EQ(vtextRulerGetAttr(s, N("Ascent")), 44);
  vtextGraphicSetMetrics(g, -1, 30, -1);
  EXPECT_EQ(vtextRulerGetAttr(s, N("Ascent")), 21);
  x = texttest::firstLineX(t);
  EXPECT_EQ(x[7] - x[6], 40.0);

  // A callback measures its graphic; drawing goes to it with the text.
  vtextSetSelectionRange(t, sel, 0, 0);
  callbackCalls = 0;
  vtextGraphic* drawn = vtextInsertGraphicByCallback(t, sel, measured, 7);
  EXPECT_EQ(callbackCalls, 3);
  EXPECT_EQ(drawn->width, 30);
  EXPECT_EQ(drawn->height, 20);
  EXPECT_EQ(vtextRulerGetAttr(drawn->style, N("Ascent")), 16);
  vtextGraphicDraw(drawn);
  EXPECT_EQ(callbackCalls, 4);
  EXPECT_EQ(textChars(t), "_hello _\nnext");

  // Stored and loaded, the styles carry graphics of the same size again.
  vresource root = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(root, N("T"), vresDICTIONARY);
  _vtextStore(t, r);
  auto* back = static_cast<vtext*>(vobjectLoad(r));
  vtextStyle* again = carrier(back, 7);
  ASSERT_NE(again, nullptr);
  auto* loaded = reinterpret_cast<vtextGraphic*>(vtextRulerFindAttr(&again->attributes, N("Graphic")));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(vclassRec<vclass>(loaded), static_cast<vclass*>(vtextGetGraphicClass()));
  EXPECT_EQ(loaded->width, 40);
  EXPECT_EQ(loaded->height, 30);
  EXPECT_EQ(loaded->descent, 9);
  EXPECT_EQ(loaded->style, again);
  EXPECT_EQ(loaded->callback, nullptr);
  EXPECT_EQ(texttest::firstLineX(back), texttest::firstLineX(t));
  vtextDestroy(back);
  vresourceCloseFile(root);
  // A copy owns copies of the graphics: it outlives its source.
  auto* copy = static_cast<vtext*>(vobjectClone(t));
  std::vector<double> before = texttest::firstLineX(t);
  vtextDestroy(t);  // the styles destroy their graphics (ASan watches)
  EXPECT_EQ(texttest::firstLineX(copy), before);
  vtextStyle* copied = carrier(copy, 7);
  auto* own = reinterpret_cast<vtextGraphic*>(vtextRulerFindAttr(&copied->attributes, N("Graphic")));
  EXPECT_EQ(own->style, copied);
  EXPECT_EQ(own->text, copy);
  EXPECT_EQ(vtextRulerFindAttr(&copied->attributes, N("Data")), texttest::word(copy));
  vtextDestroy(copy);
}

// A graphic the caller made and keeps: a copy of the text gets a copy of
// its own, so the caller may free the graphic with the original text.
vtext* drawnFor = nullptr;
std::int32_t recordDraw(vtext* text, std::uintptr_t, std::intptr_t, int code) {
  if (code == vtextGRAPHIC_DRAW) drawnFor = text;
  return code == vtextGRAPHIC_WIDTH ? 24 : 10;
}

TEST(TextGraphics, ACopiedTextOwnsACopyOfTheCallersGraphic) {
  texttest::useFixedDriver();
  vtext* t = texttest::textFromChars("ab\n");
  vtextSelection* sel = vtextCreateSelection(t);
  vtextSetSelectionRange(t, sel, 1, 1);
  vtextGraphic* g = vtextGraphicCreate();
  g->callback = recordDraw;
  vtextGraphicSetMetrics(g, 24, 10, 2);
  vtextInsertGraphic(t, sel, g);
  ASSERT_EQ(g->flags & vtextGraphicSTYLE_OWNS, 0) << "the caller keeps it";

  auto* copy = static_cast<vtext*>(vobjectClone(t));
  std::vector<double> before = texttest::firstLineX(t);
  vtextDestroy(t);
  vinstanceDestroy(g);  // the caller frees its graphic with its text (ASan watches)
  vtextStyle* copied = carrier(copy, 1);
  ASSERT_NE(copied, nullptr);
  auto* own = reinterpret_cast<vtextGraphic*>(vtextRulerFindAttr(&copied->attributes, N("Graphic")));
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, g);
  EXPECT_EQ(own->style, copied);
  EXPECT_EQ(own->text, copy);
  EXPECT_EQ(own->width, 24);
  EXPECT_TRUE(own->flags & vtextGraphicSTYLE_OWNS);
  EXPECT_TRUE(copied->flags & vtextStyleOWNS_GRAPHIC);
  EXPECT_EQ(texttest::firstLineX(copy), before);
  drawnFor = nullptr;
  vtextGraphicDraw(own);
  EXPECT_EQ(drawnFor, copy) << "it draws for the copy";
  vtextDestroy(copy);  // and frees its own graphic
}

// Which pixels of an 80 x 70 white image the plain graphic's drawing at
// (10, 5) changes, as the rows of a picture ('#' changed), top row first.
std::string drawnBox() {
  vimage* image = vimageCreateSized(80, 70, 0x1000000u);
  vpixmapSetDepth(image, 24);
  vimageSetNoPalette(image, 1);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 80; ++x) vpixmapCursorSetAt(&c, x, y, 0xFFFFFFu);
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(image);
  vtextGraphic* g = vtextGraphicCreate();
  vdrawGSave();
  vdrawRegisterImageDriver(&vdrawMSWDriver, 0);
  vdrawBindImage(image, 0);
  vdrawPathMoveTo(10, 5);
  vtextGraphicDraw(g);
  vdrawGRestore();
  std::string rows;
  vpixmapInitCursor(&c, image);
  for (int y = 69; y >= 0; --y) {
    for (int x = 0; x < 80; ++x) rows += vpixmapCursorGetAt(&c, x, y) != 0xFFFFFFu ? '#' : '.';
    rows += '\n';
  }
  vpixmapFinishCursor(&c);
  vinstanceDestroy(g);
  vimageDestroy(image);
  return rows;
}

// The box's corner is at the point, its outline one pixel wide along the
// box's edges as the driver strokes them (the edge at y = 5 takes the row
// below it, rows counting from the bottom), and nothing inside it.
[[noreturn]] void drawAndCompare() {
  std::string rows = drawnBox(), want;
  for (int y = 69; y >= 0; --y) {
    for (int x = 0; x < 80; ++x) {
      bool inside = x >= 10 && x <= 60 && y >= 4 && y <= 54;
      want += inside && (x == 10 || x == 60 || y == 4 || y == 54) ? '#' : '.';
    }
    want += '\n';
  }
  if (rows != want) std::fprintf(stderr, "%s", rows.c_str());
  std::_Exit(rows == want ? 0 : 1);  // the child leaves without exit handlers
}

// The drawing driver brings the platform's fonts with it: it runs in a
// process of its own so that the other tests keep their fixed font.
TEST(TextGraphics, APlainGraphicDrawsItsBoxOutlined) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(drawAndCompare(), ::testing::ExitedWithCode(0), "");
}

}  // namespace

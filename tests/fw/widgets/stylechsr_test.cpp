// The style chooser loaded from the framework's resources: what a style
// shows, copying a caller's style, the toggles (booleans through absent,
// Off and On; the font and colour toggles restoring what the style had),
// the number entries, the accept step committing an edit, the sub-choosers
// through injected clicks, and the picture in the Win95 look.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/choosers/stylechsr.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/fontchsr_support.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

struct Applied {
  int calls = 0;
  vtextStyle* copy = nullptr;  // what the apply function saw
} applied;
int recordApply(vstylechsr*, vtextStyle* style) {
  ++applied.calls;
  if (applied.copy) vtextStyleDestroy(applied.copy);
  applied.copy = vtextStyleClone(style);
  return 1;
}

vcolor* rgb(unsigned r, unsigned g, unsigned b) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, r, g, b);
  vcolor* color = vcolorInternSpec(&s);
  vcolorDestroySpec(&s);
  return color;
}

struct StyleChooser : ::testing::Test {
  vstylechsr* c = nullptr;
  vtextStyle* given = nullptr;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    applied = {};
    c = vstylechsrCreate();
    given = vtextStyleCreate();
  }
  void TearDown() override {
    if (c) vinstanceDestroy(c);
    vtextStyleDestroy(given);
    if (applied.copy) vtextStyleDestroy(applied.copy);
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  void open(vwindow* w) {
    vwindowOpen(w);
    win::SetActiveWindow(w->native->hwnd);
    settle();
  }
  // A click, through the platform's input, on the middle of an item of a window.
  void click(vwindow* w, vdialogItem* item) {
    vrect r = item->rect;
    vdialogItemListTransformRect(item->owner, &r);
    win::SetActiveWindow(w->native->hwnd);
    win::POINT p{r.x + r.width / 2, w->rect.height - 1 - (r.y + r.height / 2)};
    win::ClientToScreen(w->native->hwnd, &p);
    win::test::Click(p);
    settle();
  }
  std::string text(const char* tag) {
    char* s = vtextitemGetString(vstylechsrGetEntry(c, tag));
    std::string out = s;
    vmemFree(s);
    return out;
  }
  void commit(const char* tag, const char* typed) {
    vtextitem* e = vstylechsrGetEntry(c, tag);
    vtextitemSetTextChars(e, typed);
    vtextviewClassOf(e)->notifyClient(e, nullptr, 3);
  }
  vobject* s() { return c->style; }
  std::uintptr_t attr(vtextStyle* style, const char* key) { return vtextRulerFindAttr(&style->attributes, N(key)); }
  int toggle(int i) { return c->toggles[i]->value; }
};

TEST_F(StyleChooser, AStyleWithoutAttributesShowsAutoAndAbsentToggles) {
  for (const char* tag : {"Ascent", "Descent", "Size"}) EXPECT_EQ(text(tag), "Auto") << tag;
  for (int i = vstylechsrBOLD; i <= vstylechsrSTRIKETHRU; ++i) EXPECT_EQ(toggle(i), -1) << i;
  EXPECT_EQ(toggle(vstylechsrFONT), 0);
  EXPECT_EQ(toggle(vstylechsrCOLOR), 0);
  EXPECT_FALSE(vdialogItemIsEnabled(c->setFont));
  EXPECT_FALSE(vdialogItemIsEnabled(c->setColor));
  EXPECT_EQ(c->display->text->currentStyle, c->style);
  EXPECT_EQ(vdialogItemListGetDefaultFocusItem(c->items), vstylechsrGetEntry(c, "Size"));
  EXPECT_EQ(c->style->attributes.count, 0);
  EXPECT_NE(c->applyHook, nullptr);
}

TEST_F(StyleChooser, SetStyleCopiesTheCallersStyleWhichStaysItsOwn) {
  vfont* font = vfontFindScribe(vscribeLiteral("family:times-size:14"));
  vcolor* red = rgb(65535, 0, 0);
  vtextRulerSetBooleanAttr(given, N("Bold"), 1);
  vtextRulerSetBooleanAttr(given, N("Underline"), 0);
  vtextRulerSetIntegerAttr(given, N("Size"), 14);
  vtextRulerSetIntegerAttr(given, N("Ascent"), 3);
  vtextRulerSetObjectAttr(given, vname_Font, reinterpret_cast<vobject*>(font));
  vtextRulerSetObjectAttr(given, N("Color"), reinterpret_cast<vobject*>(red));
  vstylechsrSetStyle(c, given);
  EXPECT_NE(c->style, given);
  EXPECT_EQ(toggle(vstylechsrBOLD), 1);
  EXPECT_EQ(toggle(vstylechsrUNDERLINE), 0);
  EXPECT_EQ(toggle(vstylechsrITALIC), -1);
  EXPECT_EQ(text("Size"), "14");
  EXPECT_EQ(text("Ascent"), "3");
  EXPECT_EQ(text("Descent"), "Auto");
  EXPECT_EQ(toggle(vstylechsrFONT), 1);
  EXPECT_EQ(toggle(vstylechsrCOLOR), 1);
  EXPECT_TRUE(vdialogItemIsEnabled(c->setFont));
  EXPECT_TRUE(vdialogItemIsEnabled(c->setColor));
  EXPECT_EQ(vdialogGetItemFont(c->display), font);
  EXPECT_EQ(c->lastColor, red);
  // Edits in the chooser leave the caller's style alone.
  commit("Size", "20");
  EXPECT_EQ(vtextRulerGetAttr(s(), N("Size")), 20);
  EXPECT_EQ(vtextRulerGetAttr(given, N("Size")), 14);
  vcolorRelease(red);
  // No chooser or no style: Arg/Null without a message.
  for (int which = 0; which < 2; ++which) {
    const vexClass* cls = nullptr;
    const char* message = "unset";
    vexGuard([&] { vstylechsrSetStyle(which ? c : nullptr, which ? nullptr : given); },
             [&](vexHandler& h) {
               cls = vexGetCurrentException()->cls;
               message = vexGetCurrentException()->message;
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_EQ(cls, &vexArgNullClass) << which;
    EXPECT_TRUE(!message || !*message) << which;
  }
}

TEST_F(StyleChooser, EntriesStoreWholeNumbersAndTurnAnythingElseToAuto) {
  struct Case {
    const char* tag;
    const char* typed;
    std::int32_t stored;  // -1: absent
    const char* shown;  // a text that reads as the value is left as typed
  } const cases[] = {
      {"Size", "12", 12, "12"},    {"Size", "abc", -1, "Auto"},  {"Ascent", "7", 7, "7"},
      {"Ascent", "1.5", -1, "Auto"}, {"Descent", "", -1, "Auto"}, {"Descent", "4 ", 4, "4 "},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.tag) + " '" + k.typed + "'");
    commit(k.tag, k.typed);
    EXPECT_EQ(vtextRulerGetAttr(s(), N(k.tag)), k.stored);
    EXPECT_EQ(text(k.tag), k.shown);
  }
}

TEST_F(StyleChooser, BooleanTogglesStepThroughAbsentOffAndOnByClicks) {
  open(c);
  const int expected[] = {0, 1, -1, 0};
  for (int want : expected) {
    click(c, c->toggles[vstylechsrBOLD]);
    EXPECT_EQ(toggle(vstylechsrBOLD), want);
    EXPECT_EQ(vtextRulerGetBooleanAttr(s(), N("Bold")), want);
  }
  click(c, c->toggles[vstylechsrSTRIKETHRU]);
  click(c, c->toggles[vstylechsrSTRIKETHRU]);
  EXPECT_EQ(vtextRulerGetBooleanAttr(s(), N("Strikethru")), 1);
  EXPECT_EQ(vtextRulerGetBooleanAttr(s(), N("Italic")), -1);
}

TEST_F(StyleChooser, TheFontToggleOffAndOnRestoresTheStylesFont) {
  vfont* font = vfontFindScribe(vscribeLiteral("family:courier-size:10"));
  vtextRulerSetObjectAttr(given, vname_Font, reinterpret_cast<vobject*>(font));
  vstylechsrSetStyle(c, given);
  open(c);
  click(c, c->toggles[vstylechsrFONT]);
  EXPECT_EQ(attr(c->style, "Font"), 0u);
  EXPECT_FALSE(vdialogItemIsEnabled(c->setFont));
  click(c, c->toggles[vstylechsrFONT]);
  EXPECT_EQ(attr(c->style, "Font"), reinterpret_cast<std::uintptr_t>(font));
  EXPECT_TRUE(vdialogItemIsEnabled(c->setFont));
}

TEST_F(StyleChooser, TheColorToggleOnAStyleThatNeverHadAColourSetsBlack) {
  open(c);
  click(c, c->toggles[vstylechsrCOLOR]);
  EXPECT_EQ(attr(c->style, "Color"), reinterpret_cast<std::uintptr_t>(vcolorGetBlack()));
  EXPECT_TRUE(vdialogItemIsEnabled(c->setColor));
  click(c, c->toggles[vstylechsrCOLOR]);
  EXPECT_EQ(attr(c->style, "Color"), 0u);
  // Without a font of its own the font toggle takes the default font.
  click(c, c->toggles[vstylechsrFONT]);
  EXPECT_EQ(attr(c->style, "Font"), reinterpret_cast<std::uintptr_t>(vfontFindScribe(vscribeLiteral(""))));
}

TEST_F(StyleChooser, OkCommitsAnEditTheUserHasNotEnteredBeforeTheApplyFunctionRuns) {
  vstylechsrSetApply(c, recordApply);
  open(c);
  vtextitemSetTextChars(vstylechsrGetEntry(c, "Descent"), "5");
  ASSERT_TRUE(clickConfirmButton(c, "Ok"));
  settle();
  ASSERT_EQ(applied.calls, 1);
  EXPECT_EQ(vtextRulerGetAttr(applied.copy, N("Descent")), 5);
  EXPECT_EQ(vtextRulerGetAttr(applied.copy, N("Size")), -1) << "an entry still reading Auto stays absent";
  EXPECT_FALSE(vwindowIsOpen(c));
}

// A modal run: OK ends it, and the typed number still reaches the apply function.
vconfirm* runChooser = nullptr;
void clickOkDuringRun() {
  if (runChooser) clickConfirmButton(std::exchange(runChooser, nullptr), "Ok");
}
TEST_F(StyleChooser, AModalRunEndedByOkAppliesTheTypedNumber) {
  vstylechsrSetApply(c, recordApply);
  vtextitemSetTextChars(vstylechsrGetEntry(c, "Ascent"), "6");
  runChooser = c;
  veventIdleHook previous = veventSetIdleHook(clickOkDuringRun);
  EXPECT_EQ(std::string(vconfirmProcess(c)), "Ok");
  veventSetIdleHook(previous);
  ASSERT_EQ(applied.calls, 1);
  EXPECT_EQ(vtextRulerGetAttr(applied.copy, N("Ascent")), 6);
}

// What a user does: bold on, a font through "Set Font", a colour through
// "Set Color", OK; the apply function gets the style with exactly those.
TEST_F(StyleChooser, BoldAFontAndAColourPickedThroughTheSubChoosersReachTheApplyFunction) {
  vtextRulerSetBooleanAttr(given, N("Italic"), 1);
  vstylechsrSetStyle(c, given);
  vstylechsrSetApply(c, recordApply);
  open(c);
  click(c, c->toggles[vstylechsrBOLD]);
  click(c, c->toggles[vstylechsrBOLD]);
  EXPECT_EQ(vtextRulerGetBooleanAttr(s(), N("Bold")), 1);

  // "Set Font" opens once the style has a font.
  click(c, c->toggles[vstylechsrFONT]);
  click(c, c->setFont);
  vfontchsr* fc = c->fontChooser;
  ASSERT_NE(fc, nullptr);
  EXPECT_TRUE(vwindowIsOpen(fc));
  EXPECT_EQ(fc->data, c);
  EXPECT_EQ(fc->parent, c);
  vfont* chosen = vfontFindScribe(vscribeLiteral("family:times-size:18"));
  vfontchsrSetFont(fc, chosen);
  ASSERT_TRUE(clickConfirmButton(fc, "Ok"));
  settle();
  EXPECT_FALSE(vwindowIsOpen(fc)) << "its apply function lets it close";
  EXPECT_EQ(attr(c->style, "Font"), reinterpret_cast<std::uintptr_t>(chosen));

  click(c, c->toggles[vstylechsrCOLOR]);
  click(c, c->setColor);
  vcolorchsr* cc = c->colorChooser;
  ASSERT_NE(cc, nullptr);
  EXPECT_TRUE(vwindowIsOpen(cc));
  vcolor* teal = rgb(0, 32768, 32768);
  vcolorchsrSetColor(cc, teal);
  ASSERT_TRUE(clickConfirmButton(cc, "Ok"));
  settle();
  auto* color = reinterpret_cast<vcolor*>(attr(c->style, "Color"));
  ASSERT_NE(color, nullptr);
  unsigned r = 1, g = 0, b = 0;
  vcolorGetSpecRGB(&color->desc, &r, &g, &b);
  // The chooser's own model (HLS) may round a component by a step or two.
  EXPECT_NEAR(int(r), 0, 2);
  EXPECT_NEAR(int(g), 32768, 2);
  EXPECT_NEAR(int(b), 32768, 2);
  vcolorRelease(teal);

  // A second press opens the same chooser again.
  click(c, c->setFont);
  EXPECT_EQ(c->fontChooser, fc);
  EXPECT_TRUE(vwindowIsOpen(fc));
  vwindowClose(fc);

  ASSERT_TRUE(clickConfirmButton(c, "Ok"));
  settle();
  ASSERT_EQ(applied.calls, 1);
  EXPECT_EQ(applied.copy->attributes.count, 4);
  EXPECT_EQ(vtextRulerGetBooleanAttr(applied.copy, N("Bold")), 1);
  EXPECT_EQ(vtextRulerGetBooleanAttr(applied.copy, N("Italic")), 1);
  EXPECT_EQ(attr(applied.copy, "Font"), reinterpret_cast<std::uintptr_t>(chosen));
  EXPECT_EQ(attr(applied.copy, "Color"), reinterpret_cast<std::uintptr_t>(color));
  EXPECT_EQ(vtextRulerGetBooleanAttr(given, N("Bold")), -1) << "the caller's style is its own";
}

TEST(StyleChooserLook, DrawsAsStoredInWin95WithTheSampleInTheStyle) {
  EXPECT_TRUE(fontchsrProbePictureMatches("-laf win95 style", "stylechsr/win95"));
}

TEST(StyleChooserLook, LargeSamplesShowWholeLinesInTheirBox) {
  // The sample wraps to two lines at 18 and 20 points, each shown whole: the
  // box's last rows stay clear, the second line's ink is above them.
  for (int size : {18, 20}) {
    std::string shot = "/tmp/stylechsr_probe_" + std::to_string(getpid()) + ".png";
    int status = -1;
    std::string out = fontchsrProbeOutput("-laf win95 style " + shot + " " + std::to_string(size), &status);
    ASSERT_EQ(status, 0) << out;
    win::test::Image image;
    ASSERT_TRUE(win::test::ReadPng(shot, image));
    std::remove(shot.c_str());
    auto at = [&](int x, int y) { return image.px[std::size_t(y * image.width + x)] & 0xFFFFFF; };
    auto ink = [&](int y) {
      for (int x = 14; x < image.width - 14; ++x) {
        std::uint32_t p = at(x, y);
        if ((p & 0xFF) > 0x80 && (p >> 16 & 0xFF) < 0x60) return true;  // the style's blue
      }
      return false;
    };
    // The box's white inside: the longest white run down a column just
    // inside its left edge, left of the text.
    int top = -1, bottom = -1;
    for (int y = 0, start = -1; y <= image.height; ++y) {
      bool white = y < image.height && at(13, y) == 0xFFFFFF;
      if (white && start < 0) start = y;
      if (!white && start >= 0) {
        if (y - 1 - start > bottom - top) top = start, bottom = y - 1;
        start = -1;
      }
    }
    ASSERT_GT(bottom - top, 40) << size;
    EXPECT_FALSE(ink(bottom) || ink(bottom - 1)) << size << ": the last line is cut at row " << bottom;
    int inked = 0;
    for (int y = top + (bottom - top) / 2; y < bottom; ++y) inked += ink(y);
    EXPECT_GT(inked, 8) << size << ": a second line";
  }
}

// Motif's button row is taller and has a separator above it: the sample
// ends above both, and the separator runs whole across the dialog.
TEST(StyleChooserLook, TheMotifSampleEndsAboveTheSeparator) {
  std::string shot = "/tmp/stylechsr_motif_" + std::to_string(getpid()) + ".png";
  int status = -1;
  std::string out = fontchsrProbeOutput("-laf motif style " + shot, &status);
  ASSERT_EQ(status, 0) << out;
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(shot, image));
  std::remove(shot.c_str());
  auto at = [&](int x, int y) { return image.px[std::size_t(y * image.width + x)] & 0xFFFFFF; };
  auto wholeRow = [&](int y, std::uint32_t colour) {
    for (int x = 2; x < image.width - 2; ++x)
      if (at(x, y) != colour) return false;
    return true;
  };
  // The separator: a dark line with a light one two rows below, both whole.
  int separator = -1;
  for (int y = image.height - 3; y > image.height / 2 && separator < 0; --y)
    if (wholeRow(y, 0x5F5F5F) && wholeRow(y + 2, 0xEEEEEE)) separator = y;
  ASSERT_GT(separator, 0) << "no whole separator";
  // The sample's frame: its black bottom edge, the lowest black row at mid width.
  int frameBottom = -1;
  for (int y = image.height - 1; y >= 0 && frameBottom < 0; --y)
    if (at(image.width / 2, y) == 0 && at(image.width / 2 + 40, y) == 0) frameBottom = y;
  ASSERT_GT(frameBottom, 0);
  EXPECT_LT(frameBottom, separator);
  EXPECT_GE(separator - frameBottom, 1);
  // And the sample's text is still whole inside it: the style's blue above the frame's bottom.
  int blue = 0;
  for (int y = frameBottom - 40; y < frameBottom; ++y)
    for (int x = 14; x < image.width - 14; ++x) blue += (at(x, y) & 0xFF) > 0x80 && (at(x, y) >> 16) < 0x60;
  EXPECT_GT(blue, 50);
}

}  // namespace

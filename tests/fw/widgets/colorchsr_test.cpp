// The colour chooser loaded from the framework's resources: its defaults,
// the models with their sliders and fields, the wheel and the plane driven
// by injected presses and drags, the user colours through the preferences,
// the commands and their queries, the tolerance panel, accept and reset,
// the system dialog's stand-in, and pictures in the HLS and RGB models.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/timer.h"
#include "fw/data/vresource.h"
#include "fw/data/pref.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/colorchsr_scale.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"
#include "fw/widgets/dialog_support.h"
#include "tests/support/png_compare.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

struct Applied {
  int calls = 0;
  unsigned r = 0, g = 0, b = 0;
} applied;
void recordApply(vcolorchsr*, vcolor* color) {
  ++applied.calls;
  vcolorGetSpecRGB(&color->desc, &applied.r, &applied.g, &applied.b);
}

struct ColorChooser : ::testing::Test {
  vcolorchsr* c = nullptr;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    forgetUserColors();
    applied = {};
    c = vcolorchsrCreate();
    vcolorchsrSetApply(c, recordApply);
    // The user colours live as long as the context: each test starts white.
    vcolorSpec white;
    vcolorInitSpec(&white);
    vcolorSetSpecRGB(&white, 65535, 65535, 65535);
    for (int i = 0; i < vcolorchsrUSER_COLORS; ++i) vcolorchsrSetUserColor(c, i, &white);
    vcolorDestroySpec(&white);
    forgetUserColors();
  }
  void TearDown() override {
    if (c) vinstanceDestroy(c);
    forgetUserColors();
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  static void forgetUserColors() {
    vresource app = vapplicationGetResources(vapplicationGetCurrent()), d = 0;
    if (vresourceTestGet(app, vnameInternLiteral("vcolorchsr"), &d)) vresourceRemove(app, vnameInternLiteral("vcolorchsr"));
  }
  void open() {
    vwindowOpen(c);
    win::SetActiveWindow(c->native->hwnd);
    settle();
  }
  // A point of an item in the window's client coordinates (y down), and on the screen.
  win::POINT clientPoint(vdialogItem* item, int x, int y) {
    vrect r{std::int16_t(x), std::int16_t(y), 0, 0};
    vdialogItemListTransformRect(item->owner, &r);
    return win::POINT{r.x, c->rect.height - 1 - r.y};
  }
  win::POINT screenPoint(vdialogItem* item, int x, int y) {
    win::POINT p = clientPoint(item, x, y);
    win::ClientToScreen(c->native->hwnd, &p);
    return p;
  }
  std::string field(int i) {
    char* s = vtextitemGetString(c->fields[i]);
    std::string out = s;
    vmemFree(s);
    return out;
  }
  unsigned rgb(int which) {
    unsigned v[3];
    vcolorGetSpecRGB(&c->working, &v[0], &v[1], &v[2]);
    return v[which];
  }
};


void setColor(vcolorchsr* c, unsigned r, unsigned g, unsigned b) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, r, g, b);
  vcolor* color = vcolorInternSpec(&s);
  vcolorchsrSetColor(c, color);
  vcolorRelease(color);
  vcolorDestroySpec(&s);
}

int issue(vcolorchsr* c, int selector) { return vobjectAttributedOf(c)->issueSelector(c, selector, nullptr); }
// The query's answers for a selector: Toggle, State and Title ("" when not set).
struct Answers {
  std::string toggle, state, title;
};
Answers query(vcolorchsr* c, int selector) {
  vdict* d = vdictCreate(vdictHashPointer);
  vobjectAttributedOf(c)->querySelector(c, selector, d);
  auto text = [&](vname key) {
    auto* v = static_cast<const char*>(vdictGet(d, key));
    return std::string(v ? v : "");
  };
  Answers a{text(vname_Toggle), text(vname_State), text(vname_Title)};
  vdictDestroy(d);
  return a;
}

TEST_F(ColorChooser, ANewChooserShowsBlackInHlsOnTheWheelPanel) {
  EXPECT_EQ(c->model, vcolorchsrHLS);
  EXPECT_EQ(c->plane, vcolorchsrBG_PLANE);
  EXPECT_EQ(c->sortOrder, vcolorchsrSORT_NAME);
  EXPECT_EQ(c->chooserFlags, 1);
  EXPECT_EQ(c->reformImages, 1);
  EXPECT_EQ(c->shownPanel, c->wheelPanel);
  ASSERT_NE(c->wheel, nullptr);
  EXPECT_STREQ(c->wheel->cls->name, "vcolorchsrWheel");
  EXPECT_STREQ(c->modelLabels[0]->cls->name, "vcolorchsrLabel");
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(c->sliders[i], nullptr);
    EXPECT_STREQ(c->sliders[i]->cls->name, "vcolorchsrRamp");
    EXPECT_EQ(c->sliders[i]->max, 10000);
    EXPECT_EQ(field(i), i == 1 ? "0.00" : "0.00");
    EXPECT_EQ(_vcolorchsrOf(c->sliders[i]), c);
  }
  EXPECT_EQ(rgb(0) + rgb(1) + rgb(2), 0u);
  EXPECT_EQ(c->working.record->delta[0], 511);
  EXPECT_EQ(c->working.record->maxDotDither, 64);
  EXPECT_EQ(std::string(c->modelLabels[0]->title), "Lightness");
  // Model labels: the widest of the twelve sets the first label's width.
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(c->modelLabels[0], &w, &h);
  vfont* font = vdialogDetermineItemFont(c->modelLabels[0]);
  for (const char* label : {"Saturation", "Magenta", "Lightness"})
    EXPECT_GE(w, int((std::int64_t(vfontGetCharsWidth(font, label, int(std::strlen(label)))) + 0x8000) >> 16)) << label;
  // The tolerance panel: deltas of 511 (0.78 %), dither entry 3 (64).
  auto* edit = reinterpret_cast<vtextitem*>(c->tolerance[vcolorchsrT_EDIT1]);
  char* text = vtextitemGetString(edit);
  EXPECT_STREQ(text, "0.78");
  vmemFree(text);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_DITHER_MENU])->value, 3);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_DELTA_BTN])->value, 1);
  EXPECT_EQ(std::string(c->tolerance[vcolorchsrT_STAT2]->title), "L:");
}

TEST_F(ColorChooser, GrayReducesAndDisablesTheRest) {
  setColor(c, 65535, 0, 0);
  vcolorchsrSetModel(c, vcolorchsrGRAY);
  EXPECT_EQ(rgb(0), 19594u);
  EXPECT_EQ(rgb(1), 19594u);
  EXPECT_EQ(rgb(2), 19594u);
  EXPECT_EQ(c->modelMenu->value, 3);
  EXPECT_EQ(field(1), "");
  EXPECT_EQ(field(2), "");
  EXPECT_FALSE(vdialogItemIsEnabled(c->fields[1]));
  EXPECT_FALSE(vdialogItemIsEnabled(c->sliders[2]));
  EXPECT_FALSE(vdialogItemIsEnabled(c->wheel));
  EXPECT_EQ(_vcolorchsrWheelPointer(c, c->wheel->rect.x + 10, c->wheel->rect.y + 10, veventBUTTON_DOWN), 0);
  // The tolerance labels follow the colour's model: RGB in Gray.
  EXPECT_EQ(std::string(c->tolerance[vcolorchsrT_STAT1]->title), "R:");
  setColor(c, 65535, 65535, 65535);
  EXPECT_EQ(rgb(0), 65534u);
  vcolorchsrSetModel(c, vcolorchsrRGB);
  EXPECT_TRUE(vdialogItemIsEnabled(c->fields[1]));
  EXPECT_TRUE(vdialogItemIsEnabled(c->wheel));
}

// Typed values committed as Enter (or the accept step) commits them.
TEST_F(ColorChooser, CommittedFieldsSetComponentsAndSliders) {
  auto commit = [&](int i, const char* text) {
    vtextitemSetTextChars(c->fields[i], text);
    vtextviewClassOf(c->fields[i])->notifyClient(c->fields[i], nullptr, 3);
  };
  vcolorchsrSetModel(c, vcolorchsrRGB);
  commit(0, "50");
  EXPECT_EQ(rgb(0), 32768u);
  EXPECT_EQ(c->sliders[0]->value, 5000);
  EXPECT_EQ(field(0), "50.00");
  commit(1, "abc");
  EXPECT_EQ(rgb(1), 0u) << "a text that is no number counts as 0";
  commit(2, "1e2");
  EXPECT_EQ(rgb(2), 65535u);
  vcolorchsrSetModel(c, vcolorchsrHLS);
  commit(0, "50");
  EXPECT_EQ(vcolorGetSpecLightness(&c->working), 32767u) << "no rounding term in HLS";
  commit(1, "400");
  EXPECT_EQ(vcolorGetSpecHue(&c->working), 65535u);
  EXPECT_EQ(field(1), "360.00");
  commit(1, "-5");
  EXPECT_EQ(vcolorGetSpecHue(&c->working), 0u);
  // A commit in another state is not a commit.
  vtextitemSetTextChars(c->fields[0], "10");
  vtextviewClassOf(c->fields[0])->notifyClient(c->fields[0], nullptr, 5);
  EXPECT_EQ(vcolorGetSpecLightness(&c->working), 32767u);
}

TEST_F(ColorChooser, SlidersMoveTheirComponentAndTheRampsFollow) {
  vcolorchsrSetModel(c, vcolorchsrRGB);
  vcontrolSetValue(c->sliders[1], 1);
  _vcolorchsrSliderMoved(c, 1);
  EXPECT_EQ(rgb(1), 6u);
  vcontrolSetValue(c->sliders[1], 10000);
  _vcolorchsrSliderMoved(c, 1);
  EXPECT_EQ(rgb(1), 65535u);
  EXPECT_EQ(field(1), "100.00");
  // Ramp 1 (red) with reform on shows green at full.
  vcolorList* p = vimageGetPalette(c->rampImages[0]);
  ASSERT_EQ(p->count, 30u);
  EXPECT_EQ(vcolorGetSpecGreen(&p->entries[0]), 65535u);
  EXPECT_EQ(vcolorGetSpecRed(&p->entries[29]), 65535u);
  vcolorchsrSetReformImages(c, 0);
  EXPECT_EQ(vcolorGetSpecGreen(&vimageGetPalette(c->rampImages[0])->entries[0]), 0u);
  EXPECT_EQ(query(c, 12).toggle, "Off");
  // HLS: the lightness ramp runs 0..63350, the hue ramp to 65535.
  vcolorchsrSetModel(c, vcolorchsrHLS);
  vcolorSpec hls;
  vcolorInitSpec(&hls);
  vcolorConvertSpec(&vimageGetPalette(c->rampImages[0])->entries[29], &hls, &vcolorHLSModel);
  EXPECT_NEAR(int(vcolorGetSpecLightness(&hls)), 63350, 2);
  vcolorDestroySpec(&hls);
  // A component of 65535 puts the slider at 9999.
  setColor(c, 65535, 65535, 65535);
  EXPECT_EQ(c->sliders[0]->value, 9999);
}

TEST_F(ColorChooser, CommandsAndTheirQueries) {
  // Panels: the tolerance panel only while flag bit 0 is set.
  EXPECT_EQ(query(c, 9).toggle, "On");
  EXPECT_EQ(issue(c, 11), 1);
  EXPECT_EQ(c->shownPanel, c->namePanel);
  EXPECT_FALSE(vdialogItemIsShown(c->wheelPanel));
  EXPECT_TRUE(vdialogItemIsEnabled(c->namePanel));
  EXPECT_EQ(query(c, 22).state, "Enabled");
  EXPECT_EQ(query(c, 22).toggle, "On");
  EXPECT_EQ(query(c, 23).toggle, "Off");
  c->chooserFlags = 0;
  EXPECT_EQ(issue(c, 10), 1);
  EXPECT_EQ(c->shownPanel, c->namePanel);
  c->chooserFlags = 1;
  issue(c, 10);
  EXPECT_EQ(c->shownPanel, c->tolerancePanel);
  EXPECT_EQ(query(c, 10).toggle, "On");
  EXPECT_EQ(query(c, 22).state, "Disabled");
  // Planes: enabled in RGB and CMY only, titled per model.
  EXPECT_EQ(query(c, 19).state, "Disabled");
  EXPECT_EQ(query(c, 19).title, "");
  vcolorchsrSetModel(c, vcolorchsrCMY);
  EXPECT_EQ(issue(c, 20), 1);
  EXPECT_EQ(c->plane, 20);
  Answers rb = query(c, 20);
  EXPECT_EQ(rb.state, "Enabled");
  EXPECT_EQ(rb.toggle, "On");
  EXPECT_EQ(rb.title, "Cyan-Yellow Plane");
  vcolorchsrSetModel(c, vcolorchsrRGB);
  EXPECT_EQ(query(c, 21).title, "Blue-Green Plane");
  EXPECT_EQ(query(c, 21).toggle, "Off");
  // Presets: dither and three equal deltas; the panel follows.
  EXPECT_EQ(issue(c, 14), 1);
  EXPECT_EQ(c->working.record->maxDotDither, 4);
  EXPECT_EQ(c->working.record->delta[2], 4095);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_DITHER_MENU])->value, 1);
  issue(c, 16);
  EXPECT_EQ(c->working.record->maxDotDither, 256);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_DITHER_MENU])->value, 4);
}

// The menu bar reaches every command: its entries issue them and take
// their titles, states and ticks from the chooser's answers.
TEST_F(ColorChooser, MenuEntriesIssueTheCommandsAndShowTheirState) {
  auto* bar = static_cast<vmenubar*>(vdialogFindItem(c, vnameInternLiteral("vcolorchsrMENU_BAR")));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->rect.y + bar->rect.height, c->rect.height) << "on top";
  EXPECT_GT(bar->rect.y, c->panelPlace->rect.y + c->panelPlace->rect.height);
  auto entry = [&](const char* tag) {
    for (int i = 0; i < vmenubarCount(bar); ++i)
      for (int k = 0; k < vmenuItemListCount(&vmenubarAt(bar, i)->items); ++k)
        if (vmenuItem* item = vmenuItemListAt(&vmenubarAt(bar, i)->items, k); item->tag == vnameInternLiteral(tag))
          return item;
    ADD_FAILURE() << "no entry " << tag;
    return static_cast<vmenuItem*>(nullptr);
  };
  struct Shown {
    std::string title;
    bool enabled, on;
  };
  auto shown = [&](const char* tag) {
    vmenuItem* item = entry(tag);
    return Shown{item->title, (item->flags & vmenuItemENABLED) != 0, vmenuItemIsToggleOn(item)};
  };
  // Every command of the chooser has its entry.
  for (const char* tag : {"WheelPanel", "TolerancePanel", "NamePanel", "ReformImages", "LargeDither", "SmallDither",
                          "Solid", "PreciseLarge", "PreciseSmall", "PreciseSolid", "RGPlane", "RBPlane", "BGPlane",
                          "SortName", "SortHue", "AddColor"})
    EXPECT_NE(entry(tag), nullptr) << tag;
  // Planes: only in RGB and CMY, titled by the model, the chosen one ticked.
  EXPECT_FALSE(shown("RGPlane").enabled) << "not in HLS";
  vcolorchsrSetModel(c, vcolorchsrRGB);
  EXPECT_TRUE(shown("RGPlane").enabled);
  EXPECT_EQ(shown("RBPlane").title, "Red-Blue Plane");
  EXPECT_TRUE(shown("BGPlane").on);
  vmenuItemSelect(entry("RGPlane"), nullptr);
  EXPECT_EQ(c->plane, vcolorchsrRG_PLANE);
  EXPECT_TRUE(shown("RGPlane").on);
  EXPECT_FALSE(shown("BGPlane").on);
  vcolorchsrSetModel(c, vcolorchsrCMY);
  EXPECT_EQ(shown("RGPlane").title, "Cyan-Magenta Plane");
  EXPECT_EQ(shown("BGPlane").title, "Yellow-Magenta Plane");
  // Panels and sort orders.
  EXPECT_TRUE(shown("WheelPanel").on);
  EXPECT_FALSE(shown("SortHue").enabled) << "only with the names shown";
  vmenuItemSelect(entry("NamePanel"), nullptr);
  EXPECT_EQ(c->shownPanel, c->namePanel);
  EXPECT_FALSE(shown("WheelPanel").on);
  EXPECT_TRUE(shown("SortName").on);
  vmenuItemSelect(entry("SortHue"), nullptr);
  EXPECT_EQ(c->sortOrder, vcolorchsrSORT_HUE);
  EXPECT_TRUE(shown("SortHue").on);
  EXPECT_FALSE(shown("SortName").on);
  vmenuItemSelect(entry("ReformImages"), nullptr);
  EXPECT_EQ(c->reformImages, 0);
  EXPECT_FALSE(shown("ReformImages").on);
  // A preset and the working colour into the selected user colour.
  vmenuItemSelect(entry("PreciseSmall"), nullptr);
  EXPECT_EQ(c->working.record->maxDotDither, 16);
  EXPECT_EQ(c->working.record->delta[0], 1023);
  setColor(c, 0, 0, 65535);
  vmenuItemSelect(entry("AddColor"), nullptr);
  EXPECT_EQ(vcolorGetSpecBlue(vcolorchsrGetUserColor(c, 0)), 65535u);
  EXPECT_EQ(vcolorGetSpecRed(vcolorchsrGetUserColor(c, 0)), 0u);
}

TEST_F(ColorChooser, ToleranceTogglesSwitchBetweenDeltasAndDistance) {
  auto turnOn = [&](int which) {
    auto* k = static_cast<vcontrol*>(c->tolerance[which]);
    vcontrolSetValue(k, 1);
    vdialogNotifyItem(k, nullptr);
  };
  vcolorSetSpecRGBDelta(&c->working, 100, 200, 301);
  turnOn(vcolorchsrT_DISTANCE_BTN);
  EXPECT_TRUE(c->working.record->kind & vcolorSINGLE_DELTA);
  EXPECT_EQ(c->working.record->delta[0], 200);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_DELTA_BTN])->value, 0);
  EXPECT_FALSE(c->tolerance[vcolorchsrT_SLIDER1]->flags & vdialogItemENABLED);
  EXPECT_TRUE(c->tolerance[vcolorchsrT_DIST_EDIT]->flags & vdialogItemENABLED);
  vcolorSetSpecRGBSingleDelta(&c->working, 65535);
  turnOn(vcolorchsrT_DELTA_BTN);
  EXPECT_FALSE(c->working.record->kind & vcolorSINGLE_DELTA);
  EXPECT_EQ(c->working.record->delta[1], 37836);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_DISTANCE_BTN])->value, 0);
  // A committed delta field is clamped and rewritten.
  auto* edit = reinterpret_cast<vtextitem*>(c->tolerance[vcolorchsrT_EDIT2]);
  vtextitemSetTextChars(edit, "250");
  vtextviewClassOf(edit)->notifyClient(edit, nullptr, 3);
  EXPECT_EQ(c->working.record->delta[1], 65535);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_SLIDER2])->value, 10000);
  char* text = vtextitemGetString(edit);
  EXPECT_STREQ(text, "100.00");
  vmemFree(text);
  // A dither of 300 leaves the menu where it was.
  vcolorSetSpecMaxDotDither(&c->working, 300);
  _vcolorchsrRefreshTolerance(c);
  EXPECT_EQ(static_cast<vcontrol*>(c->tolerance[vcolorchsrT_DITHER_MENU])->value, 3);
}

TEST_F(ColorChooser, AcceptCommitsTypedNumbersAndResetReturnsToTheAccepted) {
  open();
  vcolorchsrSetModel(c, vcolorchsrRGB);
  vdialogItem* f = c->fields[0];
  win::test::Click(screenPoint(f, f->rect.x + f->rect.width / 2, f->rect.y + f->rect.height / 2));
  settle();
  vtextitemSetTextChars(c->fields[0], "100");  // typed, not entered
  ASSERT_TRUE(clickConfirmButton(c, "Apply"));
  settle();
  EXPECT_EQ(applied.calls, 1);
  EXPECT_EQ(applied.r, 65535u);
  EXPECT_EQ(vcolorGetSpecRed(&c->accepted), 65535u);
  vcontrolSetValue(c->sliders[2], 5000);
  _vcolorchsrSliderMoved(c, 2);
  EXPECT_EQ(rgb(2), 32767u);
  ASSERT_TRUE(clickConfirmButton(c, "Reset"));
  settle();
  EXPECT_EQ(rgb(2), 0u) << "back to the colour last accepted";
  EXPECT_EQ(rgb(0), 65535u);
  EXPECT_EQ(applied.calls, 1);
  // The swatch: a press in its upper half (the accepted colour) takes it back.
  vcontrolSetValue(c->sliders[1], 5000);
  _vcolorchsrSliderMoved(c, 1);
  vdialogItem* sw = c->swatch;
  win::test::Click(screenPoint(sw, sw->rect.x + sw->rect.width / 2, sw->rect.y + 5));
  settle();
  EXPECT_EQ(rgb(1), 32767u) << "the lower half does nothing";
  win::test::Click(screenPoint(sw, sw->rect.x + sw->rect.width / 2, sw->rect.y + sw->rect.height - 5));
  settle();
  EXPECT_EQ(rgb(1), 0u);
}

TEST_F(ColorChooser, UserColorsLiveInThePreferences) {
  EXPECT_EQ(vcolorGetSpecRed(vcolorchsrGetUserColor(c, 5)), 65535u);
  open();
  vcolorchsrSetModel(c, vcolorchsrRGB);
  setColor(c, 1000, 2000, 3000);
  // AddColor writes into the selected cell, 0 on a new chooser.
  issue(c, 24);
  EXPECT_EQ(vcolorGetSpecBlue(vcolorchsrGetUserColor(c, 0)), 3000u);
  // A plain click selects; Control-click stores; a double click takes.
  auto* strip = c->savedColors;
  int cw = vcolorchsrScale::userCellWidth(strip->rect.width);
  auto cell = [&](int i) { return screenPoint(strip, strip->rect.x + 2 + i * cw + cw / 2, strip->rect.y + strip->rect.height / 2); };
  win::test::Click(cell(3));
  settle();
  EXPECT_EQ(vcolorchsrGetSelectedUserColor(c), 3);
  EXPECT_EQ(vcolorGetSpecRed(vcolorchsrGetUserColor(c, 3)), 65535u);
  win::test::KeyDown(win::VK_CONTROL);
  win::test::Click(cell(7));
  win::test::KeyUp(win::VK_CONTROL);
  settle();
  EXPECT_EQ(vcolorGetSpecGreen(vcolorchsrGetUserColor(c, 7)), 2000u);
  win::test::Click(cell(0));
  win::test::Click(cell(0));
  settle();
  EXPECT_EQ(rgb(2), 3000u);
  win::test::Click(cell(5));
  win::test::Click(cell(5));
  settle();
  EXPECT_EQ(rgb(0), 65535u) << "white taken from cell 5";
  // A strip too narrow for cells draws none and takes no press.
  vrect saved = strip->rect, narrow{strip->rect.x, strip->rect.y, 19, strip->rect.height};
  vdialogSetItemRect(strip, &narrow);
  win::test::Click(screenPoint(strip, strip->rect.x + 5, strip->rect.y + strip->rect.height / 2));
  settle();
  EXPECT_EQ(vcolorchsrGetSelectedUserColor(c), 5);
  vdialogSetItemRect(strip, &saved);
  // Selectors 10 and 11 wrap around.
  vobjectAttributedOf(strip)->issueSelector(strip, 11, nullptr);
  EXPECT_EQ(vcolorchsrGetSelectedUserColor(c), 6);
  for (int i = 0; i < 7; ++i) vobjectAttributedOf(strip)->issueSelector(strip, 10, nullptr);
  EXPECT_EQ(vcolorchsrGetSelectedUserColor(c), 15);
  // A new chooser of a fresh context reads them back from the preferences.
  vresource app = vapplicationGetResources(vapplicationGetCurrent()), d = 0, a = 0;
  ASSERT_TRUE(vresourceTestGet(app, vnameInternLiteral("vcolorchsr"), &d));
  ASSERT_TRUE(vresourceTestGet(d, vnameInternLiteral("userColors"), &a));
  EXPECT_EQ(vresourceCount(a), 16);
  vcolorSpec back;
  vcolorInitSpec(&back);
  vcolorLoadInitSpec(&back, vresourceGetAt(a, 7));
  EXPECT_EQ(vcolorGetSpecGreen(&back), 2000u);
  vcolorDestroySpec(&back);
  // Read back as a new context reads them; a shorter array gives what it
  // holds and white for the rest.
  vresourceSetCount(a, 8);
  _vcolorchsrReadUserColors();
  EXPECT_EQ(vcolorGetSpecGreen(vcolorchsrGetUserColor(c, 7)), 2000u);
  EXPECT_EQ(vcolorGetSpecBlue(vcolorchsrGetUserColor(c, 0)), 3000u);
  EXPECT_EQ(vcolorGetSpecGreen(vcolorchsrGetUserColor(c, 12)), 65535u);
  vresourceRemove(d, vnameInternLiteral("userColors"));
  _vcolorchsrReadUserColors();
  EXPECT_EQ(vcolorGetSpecGreen(vcolorchsrGetUserColor(c, 7)), 65535u) << "none stored: white";
}

// Kept in a ".vr" user store, each user colour is an element with a
// dictionary of its own: none of them lands on the store's root.
TEST_F(ColorChooser, UserColorsInAResourceFileStoreEachKeepTheirOwn) {
  vrstoreInstallInterface();
  vapplication* app = vapplicationGetCurrent();
  vapplicationGetResources(app);
  const vresource kept = app->resources;
  vresource file = vresourceCreateMemoryIn(0);
  app->resources = vresourceCreate(file, vnameInternLiteral("App"), vresDICTIONARY);
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 100, 200, 300);
  vcolorchsrSetUserColor(c, 0, &spec);
  vcolorSetSpecRGB(&spec, 400, 500, 600);
  vcolorchsrSetUserColor(c, 5, &spec);
  vresource a = vresourceGet(vresourceGet(app->resources, vnameInternLiteral("vcolorchsr")), vnameInternLiteral("userColors"));
  ASSERT_EQ(vresourceCount(a), 16);
  std::vector<unsigned> blues;
  for (int i : {0, 5, 9}) {
    vcolorLoadInitSpec(&spec, vresourceGetAt(a, i));
    blues.push_back(vcolorGetSpecBlue(&spec));
  }
  EXPECT_EQ(blues, (std::vector<unsigned>{300, 600, 65535}));
  EXPECT_EQ(vresourceCount(file), 1) << "only the application's own dictionary at the root";
  vcolorDestroySpec(&spec);
  app->resources = kept;
  vresourceCloseFile(file);
}

// Presses and drags through the platform's input.
TEST_F(ColorChooser, WheelAndPlaneFollowThePointer) {
  open();
  setColor(c, 32768, 32768, 32768);
  vrect sq = _vcolorchsrWheelSquare(c->wheel);
  vrect r;
  vrectInset(&sq, 3, 3, &r);
  int rho = r.width / 2, cx = r.x + rho, cy = r.y + r.height / 2;
  win::test::Click(screenPoint(c->wheel, cx, cy));
  settle();
  EXPECT_EQ(vcolorGetSpecHue(&c->working), 0u);
  EXPECT_EQ(vcolorGetSpecSaturation(&c->working), 0u);
  // Up (y grows upward) is a quarter turn: hue 16383; a press outside is ignored.
  win::test::Click(screenPoint(c->wheel, cx, cy + rho / 2));
  settle();
  EXPECT_EQ(vcolorGetSpecHue(&c->working), 16383u);
  EXPECT_NEAR(int(vcolorGetSpecSaturation(&c->working)), 32767, 400);
  EXPECT_EQ(field(1), "90.00") << "written on release";
  win::test::Click(screenPoint(c->wheel, sq.x + 1, sq.y + 1));
  settle();
  EXPECT_EQ(vcolorGetSpecHue(&c->working), 16383u);
  // A drag leaving the circle keeps full saturation and follows the angle.
  win::test::MouseDown(screenPoint(c->wheel, cx + rho / 2, cy));
  win::test::MouseMove(screenPoint(c->wheel, cx - rho - 20, cy));
  settle();
  EXPECT_EQ(vcolorGetSpecSaturation(&c->working), 65535u);
  EXPECT_EQ(vcolorGetSpecHue(&c->working), 32767u);
  EXPECT_EQ(field(1), "90.00") << "fields wait for the release";
  win::test::MouseUp(screenPoint(c->wheel, cx - rho - 20, cy));
  settle();
  EXPECT_EQ(field(1), "180.00");
  EXPECT_EQ(c->sliders[2]->value, 9999);
  // The plane (BG: X blue, Y green): edges give 65535, beyond the corner 0.
  vcolorchsrSetModel(c, vcolorchsrRGB);
  win::test::Click(screenPoint(c->wheel, sq.x + sq.width / 4, sq.y + sq.height / 2));
  settle();
  EXPECT_EQ(rgb(2), 16383u);
  EXPECT_EQ(rgb(1), 32767u);
  win::test::MouseDown(screenPoint(c->wheel, sq.x + sq.width / 2, sq.y + sq.height / 2));
  win::test::MouseMove(screenPoint(c->wheel, sq.x + sq.width + 30, sq.y + sq.height + 30));
  win::test::MouseUp(screenPoint(c->wheel, sq.x + sq.width + 30, sq.y + sq.height + 30));
  settle();
  EXPECT_EQ(rgb(2), 65535u);
  EXPECT_EQ(rgb(1), 65535u);
  EXPECT_EQ(field(2), "100.00");
  win::test::MouseDown(screenPoint(c->wheel, sq.x + sq.width / 2, sq.y + sq.height / 2));
  win::test::MouseMove(screenPoint(c->wheel, sq.x - 30, sq.y - 30));
  win::test::MouseUp(screenPoint(c->wheel, sq.x - 30, sq.y - 30));
  settle();
  EXPECT_EQ(rgb(2), 0u);
  EXPECT_EQ(rgb(1), 0u);
  EXPECT_EQ(c->sliders[1]->value, 0);
}

// The wheel's picture lies on the dialog's background, or on the wheel
// item's own, and is drawn anew when one of the item's colours changes,
// in the HLS and the Gray model.
TEST_F(ColorChooser, TheWheelRedrawsInItsOwnColours) {
  open();
  vrect sq = _vcolorchsrWheelSquare(c->wheel);
  auto corner = [&] {
    win::POINT p = clientPoint(c->wheel, sq.x + 1, sq.y + 1);
    return win::test::Pixel(c->native->hwnd, p.x, p.y);
  };
  auto background = [&](unsigned r, unsigned g, unsigned b) {
    vcolorSpec s;
    vcolorInitSpec(&s);
    vcolorSetSpecRGB(&s, r, g, b);
    vdialogSetItemBackground(c->wheel, vcolorInternSpec(&s));  // the item keeps the reference
    vcolorDestroySpec(&s);
    settle();
  };
  vcolor* before = vwindowDetermineColor(c, 2);  // none of its own: the dialog's
  unsigned r = 0, g = 0, b = 0;
  vcolorGetSpecRGB(&before->desc, &r, &g, &b);
  EXPECT_EQ(corner(), win::COLORREF((r >> 8) | (g >> 8) << 8 | (b >> 8) << 16));
  background(65535, 0, 0);
  EXPECT_EQ(corner(), 0x0000FFu);
  vcolorchsrSetModel(c, vcolorchsrGRAY);
  settle();
  background(0, 65535, 0);
  EXPECT_EQ(corner(), 0x00FF00u);
  // The plane is a picture of its own, whatever the item's colours.
  vcolorchsrSetModel(c, vcolorchsrRGB);
  settle();
  EXPECT_NE(corner(), 0x00FF00u);
}

TEST_F(ColorChooser, StoringWritesThePlainLabel) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vresource out = vrstoreCreate(root, vnameInternLiteral("Chooser"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(c)->store(c, out);
  vresource items = 0, objects = 0;
  ASSERT_TRUE(vresourceTestGet(out, vnameInternLiteral("ItemList"), &items));
  ASSERT_TRUE(vresourceTestGet(items, vnameInternLiteral("Objects"), &objects));
  int labels = 0, privates = 0;
  for (int i = 0; i < vresourceCount(objects); ++i) {
    vname cls = nullptr;
    vresourceTestGetTag(vresourceGetAt(objects, i), vname_Class, &cls);
    if (cls && std::string(cls) == "vcolorchsrLabel") ++privates;
    vname tag = nullptr;
    vresourceTestGetTag(vresourceGetAt(objects, i), vname_Tag, &tag);
    if (tag && std::string(tag) == "vcolorchsrNAME1_STAT") labels += std::string(cls) == "vdialogLabelItem";
  }
  EXPECT_EQ(privates, 0);
  EXPECT_EQ(labels, 1);
  EXPECT_STREQ(c->modelLabels[0]->cls->name, "vcolorchsrLabel") << "the chooser keeps its own";
  vresourceCloseFile(root);
}

// The system dialog's stand-in under the Win95 look with the preference off.
struct NativeColorChooser : ColorChooser {
  void SetUp() override {
    startDialogItemTests();
    setLook("win95");
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "Off");
    ColorChooser::SetUp();
  }
  void TearDown() override {
    ColorChooser::TearDown();
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativechoosers"), "On");
    setLook("windows");
  }
  static void setLook(const char* look) {
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), look);
    _vlafRebuildCurrent();
  }
};

TEST_F(NativeColorChooser, OkCancelAndCustomColors) {
  ASSERT_EQ(c->nativeAllowed, 1);
  setColor(c, 65535, 0, 0);
  vcolorSpec green;
  vcolorInitSpec(&green);
  vcolorSetSpecRGB(&green, 0, 0x8000, 0);
  vcolorchsrSetUserColor(c, 1, &green);
  vcolorDestroySpec(&green);
  int runs = win::test::LastColorRequest().runs;
  // OK with 0 and 255 gives 0 and 65535; no window opens.
  win::test::QueueColorAnswer({true, 0xFF00FF, {}});
  vwindowOpen(c);
  EXPECT_FALSE(vwindowIsOpen(c));
  const win::test::ColorRequest& asked = win::test::LastColorRequest();
  EXPECT_EQ(asked.runs, runs + 1);
  EXPECT_EQ(asked.flags, 0x13u);
  EXPECT_EQ(asked.initial, 0x0000FFu);
  EXPECT_EQ(asked.custom[1], 0x008000u);
  EXPECT_EQ(std::string(vcolorchsrGetNativeAnswer(c)), "Ok");
  EXPECT_EQ(applied.calls, 1);
  EXPECT_EQ(applied.r, 65535u);
  EXPECT_EQ(applied.g, 0u);
  EXPECT_EQ(applied.b, 65535u);
  EXPECT_EQ(vcolorGetSpecRed(&c->accepted), 65535u);
  // Cancel changes nothing.
  win::test::QueueColorAnswer({false, 0x123456, {{2, 0x00FF00}}});
  vwindowOpen(c);
  EXPECT_EQ(std::string(vcolorchsrGetNativeAnswer(c)), "Cancel");
  EXPECT_EQ(applied.calls, 1);
  EXPECT_EQ(vcolorGetSpecGreen(vcolorchsrGetUserColor(c, 2)), 65535u);
  // Added custom colours are stored and saved.
  win::test::QueueColorAnswer({true, 0x000000, {{2, 0x0000FF}}});
  vwindowOpen(c);
  EXPECT_EQ(applied.calls, 2);
  EXPECT_EQ(applied.r + applied.g + applied.b, 0u);
  EXPECT_EQ(vcolorGetSpecRed(vcolorchsrGetUserColor(c, 2)), 65535u);
  EXPECT_EQ(vcolorGetSpecGreen(vcolorchsrGetUserColor(c, 2)), 0u);
  vresource app = vapplicationGetResources(vapplicationGetCurrent()), d = 0, a = 0;
  ASSERT_TRUE(vresourceTestGet(app, vnameInternLiteral("vcolorchsr"), &d));
  ASSERT_TRUE(vresourceTestGet(d, vnameInternLiteral("userColors"), &a));
  vcolorSpec back;
  vcolorInitSpec(&back);
  vcolorLoadInitSpec(&back, vresourceGetAt(a, 2));
  EXPECT_EQ(vcolorGetSpecBlue(&back), 0u);
  EXPECT_EQ(vcolorGetSpecRed(&back), 65535u);
  vcolorDestroySpec(&back);
}

TEST_F(NativeColorChooser, SubclassesAndOtherLooksKeepTheirOwnWindow) {
  int runs = win::test::LastColorRequest().runs;
  auto* sub = vclassSpawnOf<vcolorchsrClassRec>(vcolorchsrGetDefaultClass());
  vclassSetName(sub, vscribeLiteral("testColorChooser"));
  auto* other = static_cast<vcolorchsr*>(vinstanceCreate(sub));
  vwindowOpen(other);
  settle();
  EXPECT_TRUE(vwindowIsOpen(other));
  vwindowClose(other);
  vcolorchsrSetForceNative(other, 1);
  win::test::QueueColorAnswer({false, 0, {}});
  vwindowOpen(other);
  EXPECT_EQ(win::test::LastColorRequest().runs, runs + 1) << "forced";
  vinstanceDestroy(other);
  setLook("motif");
  vinstanceDestroy(c);
  c = vcolorchsrCreate();
  vcolorchsrSetForceNative(c, 1);
  vwindowOpen(c);
  settle();
  EXPECT_TRUE(vwindowIsOpen(c));
  EXPECT_EQ(win::test::LastColorRequest().runs, runs + 1);
  vwindowClose(c);
}

// The framework's timers keep running while the system dialog waits.
TEST_F(NativeColorChooser, FrameworkTimersRunWhileTheSystemDialogWaits) {
  static int ticks = 0;
  ticks = 0;
  vtimer* timer = vtimerCreate();
  timer->periodSeconds = 0;
  timer->periodNanoseconds = 300'000'000;
  timer->flags |= vtimerRECURRENT;
  timer->notify = [](vtimer*) { ++ticks; };
  vtimerStart(timer);
  win::test::ColorAnswer late{true, 0x00FF00, {}};
  late.delay = 2000;
  win::test::QueueColorAnswer(late);
  vwindowOpen(c);
  vtimerStop(timer);
  vtimerDestroy(timer);
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(applied.g, 65535u);
}

// What a user does: a colour from the wheel, a value typed in a field, a
// user colour stored, OK; the apply function gets exactly these components.
TEST_F(ColorChooser, AUserPicksTypesStoresAndAccepts) {
  open();
  vrect sq = _vcolorchsrWheelSquare(c->wheel);
  vrect r;
  vrectInset(&sq, 3, 3, &r);
  int rho = r.width / 2, cx = r.x + rho, cy = r.y + r.height / 2;
  // Lightness first (field 1 in HLS), then the wheel: straight right, half way.
  vdialogItem* f = c->fields[0];
  win::test::Click(screenPoint(f, f->rect.x + 5, f->rect.y + f->rect.height / 2));
  settle();
  vtextitemSetTextChars(c->fields[0], "");
  win::test::Type("a,50\r");  // letters and commas are refused as they are typed
  settle();
  EXPECT_EQ(vcolorGetSpecLightness(&c->working), 32767u);
  win::test::Click(screenPoint(c->wheel, cx + rho / 2, cy));
  settle();
  EXPECT_EQ(vcolorGetSpecHue(&c->working), 0u);
  unsigned sat = vcolorGetSpecSaturation(&c->working);
  EXPECT_NEAR(int(sat), 32767, 400);
  issue(c, 24);
  ASSERT_TRUE(clickConfirmButton(c, "Ok"));
  settle();
  ASSERT_EQ(applied.calls, 1);
  vcolorSpec want;
  vcolorInitSpec(&want);
  vcolorSetSpecHLS(&want, 0, 32767, sat);
  unsigned r0 = 0, g0 = 0, b0 = 0;
  vcolorGetSpecRGB(&want, &r0, &g0, &b0);
  vcolorDestroySpec(&want);
  EXPECT_EQ(applied.r, r0);
  EXPECT_EQ(applied.g, g0);
  EXPECT_EQ(applied.b, b0);
  EXPECT_GT(applied.r, applied.g);
  EXPECT_EQ(applied.g, applied.b);
  EXPECT_EQ(vcolorGetSpecRed(vcolorchsrGetUserColor(c, 0)), r0);
  EXPECT_FALSE(vwindowIsOpen(c)) << "OK closes";
}

TEST_F(ColorChooser, LooksAsStoredInHlsAndRgb) {
  setColor(c, 13107, 39321, 52428);
  vcolorchsrSetUserColor(c, 0, &c->working);
  open();
  win::test::Image hls = win::test::WindowImage(c->native->hwnd);
  EXPECT_TRUE(test_support::MatchesPng(hls, std::string(WIDGETS_DATA) + "/colorchsr/hls.png", 8, 40));
  vcolorchsrSetModel(c, vcolorchsrRGB);
  settle();
  win::test::Image rgbImage = win::test::WindowImage(c->native->hwnd);
  EXPECT_TRUE(test_support::MatchesPng(rgbImage, std::string(WIDGETS_DATA) + "/colorchsr/rgb.png", 8, 40));
}

// A modal run: its buttons end the run, and the chooser still applies on
// OK and resets on Cancel; under the system dialog the run answers at once.
const char* runTarget = nullptr;
vconfirm* runChooser = nullptr;
void clickDuringRun() {
  if (runTarget) clickConfirmButton(runChooser, std::exchange(runTarget, nullptr));
}

TEST_F(ColorChooser, AModalRunAppliesOnOkAndResetsOnCancel) {
  vcolorchsrSetModel(c, vcolorchsrRGB);
  runChooser = c;
  veventIdleHook previous = veventSetIdleHook(clickDuringRun);
  vcontrolSetValue(c->sliders[0], 5000);
  _vcolorchsrSliderMoved(c, 0);
  runTarget = "Ok";
  EXPECT_EQ(std::string(vconfirmProcess(c)), "Ok");
  EXPECT_EQ(applied.calls, 1);
  EXPECT_EQ(applied.r, 32767u);
  vcontrolSetValue(c->sliders[0], 0);
  _vcolorchsrSliderMoved(c, 0);
  runTarget = "Cancel";
  EXPECT_EQ(std::string(vconfirmProcess(c)), "Cancel");
  EXPECT_EQ(rgb(0), 32767u) << "Cancel returns to the accepted colour";
  EXPECT_EQ(applied.calls, 1);
  veventSetIdleHook(previous);
}

TEST_F(NativeColorChooser, AModalRunAnswersWhatTheSystemDialogAnswered) {
  win::test::QueueColorAnswer({true, 0x00FF00, {}});
  EXPECT_EQ(std::string(vconfirmProcess(c)), "Ok");
  EXPECT_EQ(applied.calls, 1);
  EXPECT_EQ(applied.g, 65535u);
  EXPECT_FALSE(vwindowIsOpen(c));
  win::test::QueueColorAnswer({false, 0, {}});
  EXPECT_EQ(std::string(vconfirmProcess(c)), "Cancel");
  EXPECT_EQ(applied.calls, 1);
}

// A home of its own for a probe, so that the user's store neither shapes
// what it shows nor keeps what it changes.
struct ProbeHome {
  char dir[32] = "/tmp/colorchsr_home_XXXXXX";
  ProbeHome() {
    if (!mkdtemp(dir)) dir[0] = 0;
  }
  ~ProbeHome() {
    if (dir[0]) std::filesystem::remove_all(dir);
  }
};

std::string probeOutput(const ProbeHome& home, const std::string& args, int* status) {
  std::string command = std::string("HOME=") + home.dir + " " + COLORCHSR_PROBE + " " + args;
  FILE* p = popen(command.c_str(), "r");
  std::string out;
  char line[256];
  while (p && std::fgets(line, sizeof line, p)) out += line;
  *status = p ? pclose(p) : -1;
  return out;
}

// Named colours from the preferences, in a process of their own (the table
// is read once per context): both sort orders and a double click.
TEST(ColorChooserNames, SortedByNameOrByHueAndTakenByADoubleClick) {
  ProbeHome home;
  int status = -1;
  std::string out = probeOutput(home, "names", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("name blue Gold Maroon navy red teal\n"), std::string::npos) << out;
  // Larger hue first; equal hues (blue and navy, red and Maroon) the lighter first.
  EXPECT_NE(out.find("hue blue navy teal Gold red Maroon\n"), std::string::npos) << out;
  EXPECT_NE(out.find("single 0 0 0\n"), std::string::npos) << "a single click only selects\n" << out;
  EXPECT_NE(out.find("double 65535 55255 0\n"), std::string::npos) << out;
}

// A first run (a home of its own, no store) shows sixteen white user
// colours and no named colours; a colour added in one process is there in
// the next, through the user's store.
TEST(ColorChooserUserColors, SurviveIntoTheNextProcess) {
  ProbeHome home;
  ASSERT_TRUE(home.dir[0]);
  auto expected = [](int cell, const char* color) {
    std::string line = "users";
    for (int i = 0; i < vcolorchsrUSER_COLORS; ++i) line += std::string(" ") + (i == cell ? color : "65535,65535,65535");
    return line + "\n";
  };
  int status = -1;
  std::string out = probeOutput(home, "users", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "names 0\n" + expected(-1, ""));
  out = probeOutput(home, "users 5 1000 2000 3000", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find(expected(5, "1000,2000,3000")), std::string::npos) << out;
  out = probeOutput(home, "users", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "names 0\n" + expected(5, "1000,2000,3000"));
}

class ColorChooserLooks : public ::testing::TestWithParam<const char*> {};
TEST_P(ColorChooserLooks, DrawAsStored) {
  std::string shot = "/tmp/colorchsr_" + std::string(GetParam()) + "_" + std::to_string(getpid()) + ".png";
  ProbeHome home;
  int status = -1;
  std::string out = probeOutput(home, std::string("-laf ") + GetParam() + " " + shot, &status);
  ASSERT_EQ(status, 0) << out;
  win::test::Image image;
  ASSERT_TRUE(win::test::ReadPng(shot, image));
  std::remove(shot.c_str());
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(WIDGETS_DATA) + "/colorchsr/" + GetParam() + ".png", 8, 40));
}
INSTANTIATE_TEST_SUITE_P(EveryLook, ColorChooserLooks, ::testing::Values("motif", "openlook", "cua", "win95"));
}  // namespace

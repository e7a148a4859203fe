// Toggles in the Windows 3-D look: activation steps through the range
// without a "Value" announcement, a press released outside does nothing,
// the indicator follows look image 61, the state-to-image table, and the
// stored form loaded back by class name.
#include "fw/widgets/controls/toggle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/look/laf.h"
#include "tests/fw/widgets/dialog_support.h"

namespace {

std::vector<std::string> announced;
int notified = 0;

vcontrolClassRec* recordingToggle() {
  static vcontrolClassRec* c = [] {
    auto* r = vclassSpawnOf<vcontrolClassRec>(vcontrolToggleGetDefaultClass());
    vclassSetName(r, vscribeLiteral("testToggle"));
    r->send = [](vobject* self, vname name, vdict* args) {
      announced.emplace_back(name);
      vcontrolToggleGetDefaultClass()->send(self, name, args);
    };
    return r;
  }();
  return c;
}

struct Toggles : ::testing::Test {
  vcontrol* t = nullptr;
  void SetUp() override {
    startDialogItemTests();
    t = vcontrolCreate(recordingToggle());
    vdialogSetItemTitle(t, vscribeLiteral("Wrap"));
    vrect r{10, 10, 80, 20};
    vdialogSetItemRect(t, &r);
    vdialogSetItemNotify(t, [](vdialogItem*, vevent*) { ++notified; });
    announced.clear();
    notified = 0;
  }
  void TearDown() override { vinstanceDestroy(t); }
  int select() {
    vdict context;
    vdictInit(&context, vdictHashName);
    int answer = vobjectAttributedOf(t)->issueSelector(t, 3, &context);
    vdictFinish(&context);
    return answer;
  }
  void pointer(int kind, int x, int y) {
    vevent* e = kind == 1 ? veventCreateButtonDown(nullptr, x, y, 0, 1, 1, 0)
                : kind == 2 ? veventCreateButtonUp(nullptr, x, y, 0, 0, 1, 0)
                            : veventCreateMotion(nullptr, x, y, 0, 1, 0);
    auto* c = vdialogItemClassOf(t);
    (kind == 1 ? c->buttonDown : kind == 2 ? c->buttonUp : c->motion)(t, e);
    veventDestroy(e);
  }
};

// Each activation notifies once and announces nothing; the value wraps to
// the minimum past max - view.
TEST_F(Toggles, SelectStepsThroughTheRangeAndWraps) {
  struct Case {
    int min, max, view, start;
    std::vector<int> seen;
  };
  const Case cases[] = {
      {0, 1, 0, 0, {1, 0, 1}},
      {-1, 1, 0, -1, {0, 1, -1, 0}},
      {0, 3, 1, 1, {2, 0, 1}},  // never above max - view
  };
  for (const Case& k : cases) {
    t->min = k.min, t->max = k.max, t->view = std::int16_t(k.view), t->value = k.start;
    announced.clear();
    notified = 0;
    std::vector<int> seen;
    for (std::size_t i = 0; i < k.seen.size(); ++i) {
      EXPECT_EQ(select(), 1);
      seen.push_back(t->value);
    }
    EXPECT_EQ(seen, k.seen) << "range " << k.min << ".." << k.max;
    EXPECT_EQ(notified, int(k.seen.size()));
    EXPECT_TRUE(announced.empty()) << announced.front();
  }
}

TEST_F(Toggles, OnlyAReleaseOverThePressedToggleActivates) {
  pointer(1, 20, 20);
  EXPECT_TRUE(t->controlFlags & vcontrolPRESSED);
  EXPECT_EQ(t->value, 0) << "a press alone changes nothing";
  pointer(3, 200, 20);
  EXPECT_FALSE(t->controlFlags & vcontrolPRESSED);
  pointer(2, 200, 20);
  EXPECT_EQ(t->value, 0);
  EXPECT_EQ(notified, 0);
  pointer(1, 20, 20);
  pointer(2, 21, 21);
  EXPECT_EQ(t->value, 1);
  EXPECT_EQ(notified, 1);
  EXPECT_FALSE(t->controlFlags & vcontrolPRESSED);
}

TEST_F(Toggles, SizesFollowLookImage61AndTheTitle) {
  vimage* box = vlafGetImage(61);
  ASSERT_NE(box, nullptr);
  vdialogSetItemTitle(t, vscribeLiteral(""));
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(t, &w, &h);
  EXPECT_EQ(w, box->width);
  EXPECT_EQ(h, box->height);
  EXPECT_EQ(vdialogItemClassOf(t)->defaultWidth, box->width);
  int mw = 0, mh = 0;
  vdialogGetItemMinSize(t, &mw, &mh);
  EXPECT_EQ(mw, w);
  // A title adds its width, the gap of 3 and the extra 1.
  vdialogSetItemTitle(t, vscribeLiteral("Wrap"));
  vdialogGetItemNaturalSize(t, &w, &h);
  vfont* f = vdialogDetermineItemFont(t);
  int title = int((std::int64_t(vfontGetCharsWidth(f, "Wrap", 4)) + 32768) >> 16);
  EXPECT_EQ(w, box->width + title + 3 + 1);
  EXPECT_GE(h, box->height);
  // The radio drawing takes the same room.
  vcontrolSetExclusive(t, 1);
  int rw = 0, rh = 0;
  vdialogGetItemNaturalSize(t, &rw, &rh);
  EXPECT_EQ(rw, w);
}

TEST(ToggleImages, TheStateChoosesTheLookImage) {
  startDialogItemTests();  // Windows, 3-D
  struct Case {
    bool radio;
    int value;
    bool pressed, enabled;
    int image;
  };
  const Case cases[] = {
      {false, 0, false, true, 59}, {false, 0, true, true, 61},  {false, 1, false, true, 60},
      {false, 1, true, true, 62},  {false, -1, false, true, 61}, {false, 0, false, false, 61},
      {false, 1, false, false, 62}, {true, 0, false, true, 64},  {true, 0, true, true, 66},
      {true, 1, false, true, 65},  {true, 1, true, true, 67},   {true, 1, false, false, 67},
  };
  for (const Case& k : cases)
    EXPECT_EQ(_vcontrolToggleImageFor(k.radio, k.value, k.pressed, k.enabled), k.image)
        << (k.radio ? "radio" : "check") << " value " << k.value << " pressed " << k.pressed << " enabled "
        << k.enabled;
}

TEST_F(Toggles, TheStoredFormLoadsBackAsAToggle) {
  vcontrol* plain = vcontrolToggleCreate();
  vdialogSetItemTitle(plain, vscribeLiteral("Mixed"));
  vcontrolSetMin(plain, -1);
  vcontrolSetValue(plain, -1);
  vcontrolSetExclusive(plain, 1);
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vresource out = vrstoreCreate(root, vnameInternLiteral("T"), vresDICTIONARY);
  vcontrolClassOf(plain)->store(plain, out);
  auto* back = static_cast<vcontrol*>(vobjectLoad(out));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(static_cast<void*>(back->cls), static_cast<void*>(vcontrolToggleGetDefaultClass()));
  EXPECT_EQ(back->value, -1);
  EXPECT_EQ(back->min, -1);
  EXPECT_TRUE(back->controlFlags & vcontrolEXCLUSIVE);
  EXPECT_STREQ(back->title, "Mixed");
  vcontrolToggleActivate(back, nullptr);
  EXPECT_EQ(back->value, 0);
  vinstanceDestroy(back);
  vinstanceDestroy(plain);
  vrstoreCloseFile(root);
}

}  // namespace

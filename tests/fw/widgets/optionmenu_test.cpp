// Option menus: the maximum follows the menu, "Selection" as an item,
// choices reaching the value only when they change it, the accelerator
// choosing at once, the stored form with its menu; then each look in a
// process of its own: pictures of toggles and option menus, the open list,
// and a session by pointer and keys with its notifications.
#include "fw/widgets/controls/optionmenu.h"

#include <gtest/gtest.h>

#include <string>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/menus/menu.h"
#include "tests/fw/widgets/dialog_support.h"
#include "tests/fw/widgets/slider_support.h"

namespace {

int notified = 0;

vmenu* menuOf(int items, std::uint32_t firstKey = 0) {
  vmenu* m = vmenuCreate();
  for (int i = 0; i < items; ++i) {
    vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
    vmenuItemSetTitle(item, vscribeCString(("Item " + std::to_string(i)).c_str()));
    if (firstKey) item->accelerator = firstKey + (std::uint32_t(i) << 16);
    vmenuAppendItem(m, item);
  }
  return m;
}
vmenuItem* itemAt(vmenu* m, int i) { return vmenuItemListAt(&m->items, i); }

struct OptionMenus : ::testing::Test {
  vcontrol* o = nullptr;
  void SetUp() override {
    startDialogItemTests();
    notified = 0;
    o = vcontrolOptionMenuCreate();
    vdialogSetItemNotify(o, [](vdialogItem*, vevent*) { ++notified; });
  }
  void TearDown() override { vinstanceDestroy(o); }
  // The menu ending with a choice of item i, as a release over it does.
  void choose(vmenu* m, int i, int kind = veventBUTTON_UP) {
    vmenuClassOf(m)->setPopupParent(m, reinterpret_cast<vmenuItem*>(o));
    vmenuItemListClassOf(&m->items)->setCurrentItem(&m->items, itemAt(m, i));
    vevent* e = kind == veventKEY_DOWN ? veventCreateKeyDown(nullptr, 0, 0, 0, 0, 'x', 'x')
                                       : veventCreateButtonUp(nullptr, 1, 1, 0, 0, 1, 0);
    e->type = kind;
    vmenuEnd(m, 1, e);
    veventDestroy(e);
  }
  int issue(int selector, vevent* e) {
    vdict context;
    vdictInit(&context, vdictHashName);
    vdictStore(&context, vname_Event, e);
    int answer = vobjectAttributedOf(o)->issueSelector(o, selector, &context);
    vdictFinish(&context);
    return answer;
  }
};

TEST_F(OptionMenus, TheMaximumFollowsTheMenuAndTheValueWaitsUntilSet) {
  EXPECT_EQ(o->max, 1) << "a control's own maximum before any menu";
  vdialogSetItemMenu(o, menuOf(5));
  EXPECT_EQ(o->max, 4);
  vcontrolSetValue(o, 3);
  vdialogSetItemMenu(o, menuOf(2));
  EXPECT_EQ(o->max, 1);
  EXPECT_EQ(o->value, 3) << "kept until next set";
  EXPECT_EQ(vobjectAttributedOf(o)->getAttribute(o, vname_Selection), nullptr) << "no item at the index";
  vcontrolSetValue(o, 3);
  EXPECT_EQ(o->value, 1);
  vdialogSetItemMenu(o, nullptr);
  EXPECT_EQ(o->max, -1);
  int w = 0, h = 0;
  vdialogGetItemMinSize(o, &w, &h);
  EXPECT_EQ(w, 15) << "the look's default size without a menu";
  EXPECT_EQ(h, 15);
}

TEST_F(OptionMenus, SelectionIsTheItemAtTheValue) {
  vmenu* m = menuOf(4);
  vmenu* other = menuOf(4);
  vdialogSetItemMenu(o, m);
  vobjectAttributedOf(o)->setAttribute(o, vname_Selection, itemAt(m, 2));
  EXPECT_EQ(o->value, 2);
  EXPECT_EQ(vobjectAttributedOf(o)->getAttribute(o, vname_Selection), itemAt(m, 2));
  vobjectAttributedOf(o)->setAttribute(o, vname_Selection, itemAt(other, 3));
  EXPECT_EQ(o->value, 2) << "another menu's item is ignored";
  EXPECT_EQ(notified, 0) << "setting the attribute notifies nothing";
  vinstanceDestroy(other);
}

TEST_F(OptionMenus, OnlyAChoiceOfAnotherItemSetsTheValueAndNotifies) {
  vmenu* m = menuOf(4);
  vdialogSetItemMenu(o, m);
  vcontrolSetValue(o, 1);
  choose(m, 1);
  EXPECT_EQ(notified, 0) << "the current item again";
  choose(m, 3);
  EXPECT_EQ(o->value, 3);
  EXPECT_EQ(notified, 1);
  choose(m, 0, veventWINDOW_AREA);
  choose(m, 0, veventWINDOW_STATE);
  EXPECT_EQ(o->value, 3) << "menus ended by window events change nothing";
  choose(m, 0, veventKEY_DOWN);
  EXPECT_EQ(o->value, 0);
  EXPECT_EQ(notified, 2);
  // A menu that is no longer the control's is no longer heard.
  vmenu* fresh = menuOf(3);
  vdialogSetItemMenu(o, fresh);  // destroys m
  EXPECT_EQ(fresh->notifyFunc != nullptr, true);
  vmenu* loose = menuOf(3);
  choose(loose, 2);
  EXPECT_EQ(o->value, 0);
  vinstanceDestroy(loose);
}

TEST_F(OptionMenus, AnAcceleratorChoosesItsItemWithTheMenuClosed) {
  constexpr std::uint32_t kCtrlA = (std::uint32_t('a') << 16) | veventMOD_CONTROL;
  vmenu* m = menuOf(3, kCtrlA);  // Ctrl+a, Ctrl+b, Ctrl+c
  vdialogSetItemMenu(o, m);
  vevent* key = veventCreateKeyDown(nullptr, 0, 0, 0, veventMOD_CONTROL, 'c', 'c');
  ASSERT_EQ(veventGetKeyValue(key), kCtrlA + (2u << 16));
  EXPECT_EQ(issue(7, key), 1);
  EXPECT_EQ(o->value, 2);
  EXPECT_EQ(notified, 1);
  EXPECT_FALSE(vwindowIsOpen(m));
  EXPECT_FALSE(o->controlFlags & vcontrolPRESSED) << "released after the choice";
  veventDestroy(key);
  // Without a menu the selectors go to the base and pop nothing up.
  vdialogSetItemMenu(o, nullptr);
  vevent* down = veventCreateKeyDown(nullptr, 0, 0, 0, 0, ' ', ' ');
  issue(13, down);
  EXPECT_FALSE(o->controlFlags & vcontrolPRESSED);
  veventDestroy(down);
}

TEST_F(OptionMenus, TheStoredFormBringsItsMenuBackAttached) {
  vdialogSetItemMenu(o, menuOf(3));
  vcontrolSetValue(o, 2);
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vresource out = vrstoreCreate(root, vnameInternLiteral("O"), vresDICTIONARY);
  vcontrolClassOf(o)->store(o, out);
  auto* back = static_cast<vcontrol*>(vobjectLoad(out));
  ASSERT_NE(back, nullptr);
  vmenu* m = vdialogGetItemMenu(back);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(back->value, 2);
  EXPECT_EQ(back->max, 2);
  EXPECT_NE(m->notifyFunc, nullptr) << "the loaded menu reports choices";
  vdialogSetItemNotify(back, [](vdialogItem*, vevent*) { ++notified; });
  vmenuClassOf(m)->setPopupParent(m, reinterpret_cast<vmenuItem*>(back));
  vmenuItemListClassOf(&m->items)->setCurrentItem(&m->items, itemAt(m, 0));
  vmenuEnd(m, 1, nullptr);
  EXPECT_EQ(back->value, 0);
  EXPECT_EQ(notified, 1);
  vinstanceDestroy(back);
  vrstoreCloseFile(root);
}

// A copy holds a copy of the menu that reports to the copy alone.
TEST_F(OptionMenus, ACopyChoosesThroughItsOwnMenu) {
  vdialogSetItemMenu(o, menuOf(3));
  vcontrolSetValue(o, 1);
  auto* copy = static_cast<vcontrol*>(vobjectClone(o));
  vmenu* m = vdialogGetItemMenu(copy);
  ASSERT_NE(m, nullptr);
  ASSERT_NE(m, vdialogGetItemMenu(o));
  EXPECT_EQ(copy->max, 2);
  vmenuClassOf(m)->setPopupParent(m, reinterpret_cast<vmenuItem*>(copy));
  vmenuItemListClassOf(&m->items)->setCurrentItem(&m->items, itemAt(m, 2));
  vmenuEnd(m, 1, nullptr);
  EXPECT_EQ(copy->value, 2);
  EXPECT_EQ(o->value, 1);
  vinstanceDestroy(copy);
}

std::string optionProbe(const std::string& args) { return probeOutput(OPTIONMENU_PROBE, args); }

::testing::AssertionResult pictureMatches(const std::string& mode, const std::string& laf) {
  std::string png =
      (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_option_" + mode + "_" + laf + ".png"))
          .string();
  std::string out = optionProbe("-laf " + laf + " " + mode + " " + png);
  if (!out.empty()) return ::testing::AssertionFailure() << out;
  win::test::Image image;
  if (!win::test::ReadPng(png, image)) return ::testing::AssertionFailure() << "no picture";
  std::filesystem::remove(png);
  return test_support::MatchesPng(image,
                                  std::string(std::getenv("SIM_TEST_DATA")) + "/optionmenu/" + mode + "_" + laf + ".png");
}

class OptionMenuPictures : public ::testing::TestWithParam<const char*> {};
// Toggles off, on, mixed, pressed and disabled, check and radio; option
// menus plain, focused and disabled.
TEST_P(OptionMenuPictures, DrawAsStored) { EXPECT_TRUE(pictureMatches("picture", GetParam())); }
// The list open over (Motif) or under (the others) the first option menu.
TEST_P(OptionMenuPictures, OpenListAsStored) { EXPECT_TRUE(pictureMatches("popup", GetParam())); }
INSTANTIATE_TEST_SUITE_P(EveryLook, OptionMenuPictures,
                         ::testing::Values("windows", "windows2d", "win95", "motif", "cua", "openlook"));

// A user's session: a click turns a check box on, a press released
// elsewhere does nothing, a -1..1 toggle cycles; a press-drag-release on
// the option menu chooses in one gesture, choosing the current item again
// sends nothing, keys pop the list and choose, an accelerator chooses at
// once; space turns a radio button on.
TEST(OptionMenuSession, ByPointerAndKeys) {
  const std::string expected =
      "click Off\nOff value 1\npress Off, leave it, release\nclick Mixed three times\n"
      "Mixed value 0\nMixed value 1\nMixed value -1\npress the option menu, release on Blue\nopen 1\n"
      "option menu value 2\nopen 0 pressed 0\nclick the option menu, click Blue again\n"
      "focus the option menu, Down, Down, Return\nopen 1\noption menu value 1\nopen 0\n"
      "Ctrl+Y on the option menu\noption menu value 3\nfocus Radio off, space\nRadio off value 1\n";
  for (const char* laf : {"win95", "windows", "cua", "openlook"})
    EXPECT_EQ(optionProbe(std::string("-laf ") + laf + " operate"), expected) << laf;
  // Motif opens the list over the current item (Blue): Down goes on to
  // Yellow, then round to Red.
  std::string motif = expected;
  const std::string one = "option menu value 1";
  motif.replace(motif.find(one), one.size(), "option menu value 0");
  EXPECT_EQ(optionProbe("-laf motif operate"), motif);
}

}  // namespace

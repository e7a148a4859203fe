// Menus driven as a user drives them: input injected into the headless
// platform reaches the open menu through the queue and the window
// procedure; what each look shows is compared with stored screenshots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fw/core/command.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "platform/win/kernel.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/menu_support.h"
#include "tests/support/png_compare.h"

namespace {

std::vector<std::string> trace;
int handler(vcommand*, vdict* context) {
  auto* e = static_cast<vevent*>(vdictGet(context, vname_Event));
  trace.push_back(std::string(static_cast<vname>(vdictGet(context, vname_Tag))) + (e ? " kind " + std::to_string(e->type) : ""));
  return 1;
}

// The window system's own font driver, taken before other tests put in
// their fixed-width stand-ins.
const vfontDriver* nativeFonts = nullptr;
struct NativeFonts : ::testing::Environment {
  void SetUp() override {
    vmoduleGetDefaultContext();
    vapplicationGetCurrent();
    vwindowEnsureStartup();
    nativeFonts = vfontGetDriver();
  }
};
[[maybe_unused]] ::testing::Environment* const nativeFontsFirst = ::testing::AddGlobalTestEnvironment(new NativeFonts);

struct MenuInput : ::testing::Test {
  vmenu* menu = nullptr;
  vcommandSpace* space = nullptr;
  void start(const char* laf) {
    menuTestChooseLook(laf);
    vfontSetDriver(nativeFonts);
    win::UseVirtualClock(true);
    win::test::ResetInput();
    trace.clear();
    space = menuTestCommands({"Open", "Save", "Wrap", "Deep"}, handler);
    menu = vmenuCreate();
    auto add = [&](const char* title, vmenuItemClassRec* cls, char mnemonic, std::uint32_t key) {
      vmenuItem* i = vmenuItemCreate(cls);
      vmenuItemSetTitle(i, vscribeLiteral(title));
      if (mnemonic) vmenuItemSetMnemonic(i, mnemonic);
      if (key) vmenuItemSetAccelerator(i, key);
      vmenuAppendItem(menu, i);
      return i;
    };
    add("Open", vmenuGetDefaultItemClass(), 'O', 0x006F0002)->tag = N("Open");
    add("Save", vmenuGetDefaultItemClass(), 'S', 0)->tag = N("Save");
    vmenuItem* wrap = add("Wrap", vmenuGetDefaultToggleItemClass(), 'W', 0);
    wrap->tag = N("Wrap");
    vmenuItemSetToggle(wrap, 1);
    add("", vmenuGetDefaultSeparatorItemClass(), 0, 0);
    vmenuItemDisable(add("Never", vmenuGetDefaultItemClass(), 0, 0));
    vmenu* sub = vmenuCreate();
    vmenuItem* deep = vmenuItemCreate(vmenuGetDefaultItemClass());
    vmenuItemSetTitle(deep, vscribeLiteral("Deep"));
    deep->tag = N("Deep");
    vmenuAppendItem(sub, deep);
    vmenuItemSetSubMenu(add("More", vmenuGetDefaultSubMenuItemClass(), 'M', 0), sub);
    vmenuItemListSetDefaultItem(&menu->items, vmenuItemListAt(&menu->items, 0));
  }
  vwindow* owner = nullptr;
  // A focused window of the application, whose keys go to the grabbing menu.
  void focusOwner() {
    if (!owner) {
      owner = vwindowCreate();
      vwindowSetTitleScribe(owner, vscribeLiteral("owner"));
      owner->rect = {100, 100, 200, 150};
      vwindowOpen(owner);
    }
    win::SetActiveWindow(owner->native->hwnd);
    win::SetFocus(owner->native->hwnd);
    veventMSWDrainMessages();
  }
  void TearDown() override {
    if (owner) vwindowDestroy(owner);
    if (menu) vinstanceDestroy(menu);
    vapplicationSetSpaceOwned(vapplicationGetCurrent(), nullptr);
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
    // The drawing module's mask image outlives the context's classes at exit.
    _vdrawShutdown();
  }
  int indexOf(const char* title) {
    for (int i = 0; i < vmenuItemListCount(&menu->items); ++i)
      if (std::string(vmenuItemListAt(&menu->items, i)->title) == title) return i;
    return -1;
  }
  vmenuItem* named(const char* title) { return vmenuItemListAt(&menu->items, indexOf(title)); }
  static void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  }
  static void press(win::UINT vk, bool extended = false) {
    win::test::KeyDown(vk, extended);
    win::test::KeyUp(vk, extended);
    settle();
  }
  void popup() {
    vmenuPopupAt(menu, vwindowGetRoot(), 300, 500);
    settle();
  }
  win::POINT itemPoint(const char* title) { return itemPoint(menu, indexOf(title)); }
  // The screen point of a point inside item i.
  static win::POINT itemPoint(vmenu* menu, int i) {
    vrect r;
    vmenuItemListItemRect(&menu->items, i, &r, nullptr);
    win::POINT p{r.x + r.width / 2, menu->rect.height - 1 - (r.y + r.height / 2)};
    win::ClientToScreen(menu->native->hwnd, &p);
    return p;
  }
};

TEST_F(MenuInput, EachLookShowsItsMenuAndChoosesUnderThePointer) {
  struct Row {
    const char* laf;
    const char* png;
  } rows[] = {{"windows", "menu_windows.png"}, {"win95", "menu_win95.png"}, {"motif", "menu_motif.png"},
              {"cua", "menu_cua.png"},         {"openlook", "menu_openlook.png"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.laf);
    if (menu) vinstanceDestroy(menu);
    start(r.laf);
    focusOwner();
    vmenuSetPinnable(menu, 1);  // a pin at the front in Motif and Open Look
    popup();
    win::test::MouseMove(itemPoint("Save"));
    settle();
    EXPECT_EQ(vmenuItemListGetCurrent(&menu->items), named("Save"));
    win::test::Image shot = win::test::WindowImage(menu->native->hwnd);
    if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + r.png, shot);
    EXPECT_TRUE(test_support::MatchesPng(shot, std::string(WIDGETS_DATA) + "/" + r.png, 8, 0));
    win::test::Click(itemPoint("Save"));
    settle();
    EXPECT_FALSE(vwindowIsOpen(menu));
    EXPECT_EQ(trace, (std::vector<std::string>{"Save kind 2"})) << "a button-up chose it";
    EXPECT_EQ(menu->selection, named("Save"));
  }
}

TEST_F(MenuInput, KeysOfTheFocusedWindowReachTheGrabbingMenu) {
  struct Step {
    std::vector<std::pair<win::UINT, bool>> keys;  // Ctrl held for the second
    std::vector<std::string> trace;
    bool wrapOn;
  } steps[] = {
      {{{0x28, false}, {0x28, false}, {0x0D, false}}, {"Save kind 8"}, true},
      {{{0x28, false}, {0x1B, false}}, {}, true},
      {{{'O', true}}, {"Open kind 8"}, true},     // its accelerator, Ctrl+O
      {{{'W', false}}, {"Wrap kind 8"}, false},  // its mnemonic
      {{{0x26, false}, {0x26, false}, {0x0D, false}}, {}, false},  // up from nothing: "More", a cascade
  };
  for (const char* laf : {"win95", "motif"}) {
    SCOPED_TRACE(laf);
    if (menu) vinstanceDestroy(menu);
    start(laf);
    focusOwner();
    for (const Step& s : steps) {
      trace.clear();
      popup();
      for (auto [vk, ctrl] : s.keys) {
        if (ctrl) win::test::KeyDown(0x11);
        press(vk, vk >= 0x21 && vk <= 0x28);
        if (ctrl) win::test::KeyUp(0x11);
      }
      settle();
      EXPECT_EQ(trace, s.trace) << s.keys.size();
      EXPECT_EQ(vmenuItemIsToggleOn(named("Wrap")), s.wrapOn);
      vmenu* sub = vmenuGetItemSubMenu(named("More"));
      if (vwindowIsOpen(sub)) vmenuEnd(sub, 0, nullptr);
      if (vwindowIsOpen(menu)) vmenuEnd(menu, 0, nullptr);
      settle();
    }
  }
}

TEST_F(MenuInput, OpenLookOpensACascadeFiftyMillisecondsAfterThePointerStops) {
  start("openlook");
  focusOwner();
  vmenuItem* more = named("More");
  vmenu* sub = vmenuGetItemSubMenu(more);
  // Passing over the item: the late opening finds another item current.
  popup();
  win::test::MouseMove(itemPoint("More"));
  settle();
  EXPECT_EQ(more->extension->pendingOpens, 1);
  win::test::AdvanceClock(20);
  win::test::MouseMove(itemPoint("Save"));
  settle();
  win::test::AdvanceClock(60);
  settle();
  EXPECT_FALSE(vwindowIsOpen(sub));
  EXPECT_EQ(more->extension->pendingOpens, 0);
  // Staying on it: open after 50 ms, not before; the cascade's end closes its state.
  win::test::MouseMove(itemPoint("More"));
  settle();
  win::test::AdvanceClock(49);
  settle();
  EXPECT_FALSE(vwindowIsOpen(sub));
  win::test::AdvanceClock(1);
  settle();
  ASSERT_TRUE(vwindowIsOpen(sub));
  EXPECT_EQ(vmenuGetOpenState(sub), more);
  EXPECT_EQ(more->extension->openState, 2);
  vmenuEnd(sub, 0, nullptr);
  EXPECT_EQ(more->extension->openState, 0);
  vmenuEnd(menu, 0, nullptr);
  // An item destroyed while its opening is on its way: the event does nothing.
  popup();
  win::test::MouseMove(itemPoint("More"));
  settle();
  vinstanceDestroy(menu);
  menu = nullptr;
  win::test::AdvanceClock(60);
  settle();
  SUCCEED();
}

TEST_F(MenuInput, APinnedCopyStaysOpenAndBelongsToItsPinAlone) {
  struct Row {
    const char* laf;
    bool pins;
    bool pinEnabledWhilePinned;
  } rows[] = {{"openlook", true, false}, {"motif", true, true}, {"win95", false, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.laf);
    if (menu) vinstanceDestroy(menu);
    start(r.laf);
    focusOwner();
    int count = vmenuItemListCount(&menu->items);
    vmenuSetPinnable(menu, 1);
    vmenuItem* pin = vmenuGetPinItem(menu);
    if (!r.pins) {
      EXPECT_EQ(pin, nullptr);
      EXPECT_EQ(vmenuItemListCount(&menu->items), count);
      continue;
    }
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(vmenuItemListAt(&menu->items, 0), pin);
    popup();
    win::test::Click(itemPoint(menu, 0));
    settle();
    vmenu* copy = vmenuGetPinnedCopy(menu);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(vwindowIsOpen(copy));
    EXPECT_FALSE(vwindowIsOpen(menu));
    EXPECT_NE(vwindowMSWGetTopGrab(), copy) << "a pinned menu takes no grab";
    EXPECT_EQ(vmenuItemIsEnabled(pin), r.pinEnabledWhilePinned);
    // Choosing from the copy keeps it open.
    win::test::Click(itemPoint(copy, 2));
    settle();
    EXPECT_EQ(trace, (std::vector<std::string>{"Save kind 2"}));
    EXPECT_TRUE(vwindowIsOpen(copy));
    // Closing it gives the pin back; pinning again replaces it.
    vwindowClose(copy);
    EXPECT_TRUE(vmenuItemIsEnabled(pin));
    popup();
    win::test::Click(itemPoint(menu, 0));
    settle();
    ASSERT_NE(vmenuGetPinnedCopy(menu), nullptr);
    // A clone of the menu has a pin without the copy; stored, no pin.
    auto* clone = static_cast<vmenu*>(vobjectClone(menu));
    EXPECT_EQ(vmenuGetPinnedCopy(clone), nullptr);
    vinstanceDestroy(clone);
    vresource root = vrstoreCreateMemory();
    vresource stored = vrstoreCreate(root, N("Menu"), vresDICTIONARY);
    vobjectAttributedOf(menu)->store(menu, stored);
    vresource items = vresourceGet(vresourceGet(stored, vname_ItemList), vname_Objects);
    EXPECT_EQ(vresourceCount(items), count) << "stored without the pin item";
    vrstoreCloseFile(root);
    EXPECT_EQ(vmenuItemListAt(&menu->items, 0), pin) << "the pin is back after storing";
    // Not pinnable any more: the pin and its copy go.
    vmenuSetPinnable(menu, 0);
    EXPECT_EQ(vmenuGetPinItem(menu), nullptr);
    EXPECT_EQ(vmenuItemListCount(&menu->items), count);
  }
}

}  // namespace

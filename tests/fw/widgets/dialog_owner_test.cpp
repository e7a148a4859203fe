// Items in a window that owns their list: the cursor areas, the menu's
// accelerators and the confirm and abandon keys registered while open,
// copies into a list in use, the mnemonic focus through a container, and
// scrolling within the window.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fw/core/command.h"
#include "fw/data/pref.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/core/event.h"
#include "fw/gui/graphics/colormsw.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/core/fw_support.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/look_support.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"
#include "platform/win/test.h"

namespace {

const void* keyOf(std::uint32_t code) { return reinterpret_cast<const void*>(std::uintptr_t(code) + 1); }

struct WindowOwned : ::testing::Test {
  vwindow* window = nullptr;
  vdialogItemList* list = nullptr;
  void SetUp() override {
    startDialogItemTests();
    window = vwindowCreate();
    window->rect = {30, 30, 200, 120};
    vwindowOpen(window);
    veventMSWDrainMessages();
    list = vdialogItemListCreate();
    vdialogItemListSetOwner(list, window, &vdialogItemListWindowOwner);
  }
  void TearDown() override {
    vinstanceDestroy(list);
    vwindowClose(window);
    vwindowDestroy(window);
    veventMSWDrainMessages();
  }
  vdialogItem* add(vrect r) {
    vdialogItem* item = vdialogItemCreate(vdialogItemGetDefaultClass());
    vdialogSetItemRect(item, &r);
    vdialogItemListAppend(list, item);
    return item;
  }
  std::vector<vrect> areasOf(vobject* cursor) const {
    std::vector<vrect> out;
    for (int i = 0; i < window->native->cursorAreaCount; ++i)
      if (window->native->cursorAreas[i].cursor == cursor) out.push_back(window->native->cursorAreas[i].rect);
    return out;
  }
  vdict* keys() const { return vdialogOwnerInterface.keyDict(window); }
  vdict* targets() const { return vdialogOwnerInterface.secondKeyDict(window); }
};

// A menu of one entry with the accelerator.
vmenu* menuWith(std::uint32_t accelerator) {
  vmenu* menu = vmenuCreate();
  vmenuItem* entry = vmenuItemCreate(vmenuGetDefaultItemClass());
  vmenuItemSetAccelerator(entry, accelerator);
  vmenuAppendItem(menu, entry);
  return menu;
}

bool same(const vrect& a, const vrect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

TEST_F(WindowOwned, CursorAreasAndAcceleratorsLiveWhileTheItemIsOpen) {
  vdialogItem* item = add({10, 20, 30, 40});
  vcursor* cursor = vcursorCreate();
  vdialogSetItemCursorOwned(item, cursor);
  const std::uint32_t accel = std::uint32_t('q') << 16 | 2;
  vdialogSetItemMenu(item, menuWith(accel));
  EXPECT_TRUE(areasOf(cursor).empty()) << "nothing while closed";
  vdialogItemListClassOf(list)->open(list);
  ASSERT_EQ(areasOf(cursor).size(), 1u);
  EXPECT_TRUE(same(areasOf(cursor)[0], {10, 20, 30, 40}));
  EXPECT_EQ(vdictGet(keys(), keyOf(accel)), vname_Accelerator);
  EXPECT_EQ(vdictGet(targets(), keyOf(accel)), item);

  // The area follows the rectangle, leaves with hiding and comes back.
  vrect moved{50, 20, 30, 40};
  vdialogSetItemRect(item, &moved);
  ASSERT_EQ(areasOf(cursor).size(), 1u);
  EXPECT_TRUE(same(areasOf(cursor)[0], moved));
  vdialogHideItem(item);
  EXPECT_TRUE(areasOf(cursor).empty());
  vdialogShowItem(item);
  EXPECT_EQ(areasOf(cursor).size(), 1u);
  // A new cursor replaces the old one's area.
  vcursor* other = vcursorCreate();
  vdialogSetItemCursorOwned(item, other);
  EXPECT_EQ(areasOf(other).size(), 1u);

  // A new menu moves the keys; closing clears everything.
  const std::uint32_t accel2 = std::uint32_t('w') << 16 | 2;
  vdialogSetItemMenu(item, menuWith(accel2));
  EXPECT_EQ(vdictGet(keys(), keyOf(accel)), nullptr);
  EXPECT_EQ(vdictGet(keys(), keyOf(accel2)), vname_Accelerator);
  vdialogItemListClassOf(list)->close(list);
  EXPECT_TRUE(areasOf(other).empty());
  EXPECT_EQ(vdictGet(keys(), keyOf(accel2)), nullptr);
  EXPECT_EQ(vdictGet(targets(), keyOf(accel2)), nullptr);
}

TEST_F(WindowOwned, ConfirmAndAbandonTakeTheKeysTheOwnerBinds) {
  // The window's space binds Return to "Confirm" and Escape to "Abandon".
  const std::uint32_t enter = 0xFC0D0000, escape = 0xFC1B0000;
  vdict* bindings = vdictCreate(vdictHashName);
  vcommandKeyList* confirmKeys = vcommandCreateKeyList();
  vcommandAppendKeys(confirmKeys, &enter, 1);
  vcommandKeyList* abandonKeys = vcommandCreateKeyList();
  vcommandAppendKeys(abandonKeys, &escape, 1);
  vdictStore(bindings, vname_Confirm, confirmKeys);
  vdictStore(bindings, vname_Abandon, abandonKeys);
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, vname_Key, bindings);
  vwindowSetSpaceOwned(window, space);

  vdialogItem* ok = add({0, 0, 40, 20});
  vdialogItem* cancel = add({50, 0, 40, 20});
  vdialogItemListSetConfirmItem(list, ok);
  vdialogItemListSetAbandonItem(list, cancel);
  EXPECT_EQ(vdictGet(keys(), keyOf(enter)), nullptr) << "nothing while closed";
  vdialogItemListClassOf(list)->open(list);
  EXPECT_EQ(vdictGet(keys(), keyOf(enter)), vname_Confirm);
  EXPECT_EQ(vdictGet(targets(), keyOf(enter)), ok);
  EXPECT_EQ(vdictGet(keys(), keyOf(escape)), vname_Abandon);
  EXPECT_EQ(vdictGet(targets(), keyOf(escape)), cancel);
  // A new abandon item takes the key; none clears it.
  vdialogItemListSetAbandonItem(list, ok);
  EXPECT_EQ(vdictGet(targets(), keyOf(escape)), ok);
  vdialogItemListSetAbandonItem(list, nullptr);
  EXPECT_EQ(vdictGet(keys(), keyOf(escape)), nullptr);
  EXPECT_EQ(vdictGet(targets(), keyOf(escape)), nullptr);
  vdialogItemListSetConfirmItem(list, cancel);
  EXPECT_EQ(vdictGet(targets(), keyOf(enter)), cancel) << "the current confirm item changed";
}

TEST_F(WindowOwned, ACopyIntoAListInUseOpensAndMarksTheCopies) {
  vdialogItem* old = add({0, 0, 10, 10});
  vdialogSetItemMnemonic(old, 'o');
  vdialogItemListClassOf(list)->open(list);
  vdialogItemListClassOf(list)->setMark(list);
  const vlaf* look = vlafGetCurrent();
  const std::uint32_t o = std::uint32_t('o') << 16 | look->mnemonicModifiers;
  ASSERT_EQ(vdictGet(targets(), keyOf(o)), old);

  vdialogItemList* source = vdialogItemListCreate();
  for (int i = 0; i < 2; ++i) {
    vdialogItem* item = vdialogItemCreate(vdialogItemGetDefaultClass());
    vdialogSetItemMnemonic(item, 'a' + i);
    vdialogItemListAppend(source, item);
  }
  vdialogItemListSetDefaultFocusItem(source, vdialogItemListAt(source, 1));
  vclassRec<vobjectClassRec>(list)->copy(source, list);
  ASSERT_EQ(vdialogItemListCount(list), 2);
  EXPECT_EQ(vdictGet(targets(), keyOf(o)), nullptr) << "the old item left as a removal has it leave";
  for (int i = 0; i < 2; ++i) {
    vdialogItem* copy = vdialogItemListAt(list, i);
    EXPECT_NE(copy, vdialogItemListAt(source, i));
    EXPECT_EQ(copy->owner, list);
    EXPECT_TRUE(copy->flags & vdialogItemOPEN) << i;
    EXPECT_TRUE(copy->flags & vdialogItemMARKED) << i;
    const std::uint32_t m = std::uint32_t('a' + i) << 16 | look->mnemonicModifiers;
    EXPECT_EQ(vdictGet(targets(), keyOf(m)), copy) << i;
  }
  EXPECT_EQ(vdialogItemListGetDefaultFocusItem(list), vdialogItemListAt(list, 1));
  vclassRec<vobjectClassRec>(list)->copy(list, list);  // onto itself: nothing
  EXPECT_EQ(vdialogItemListCount(list), 2);
  vinstanceDestroy(source);
}

// A container: an item owning an inner list of its own.
const vdialogItemOwnerRecord* containerRecord() {
  static vdialogItemOwnerRecord r = [] {
    vdialogItemOwnerRecord c = vdialogItemListDefaultOwner;
    c.window = [](void* o) { return vdialogGetItemWindow(static_cast<vdialogItem*>(o)); };
    return c;
  }();
  return &r;
}

TEST_F(WindowOwned, AMnemonicFocusesThroughContainers) {
  vdialogItem* first = add({0, 0, 10, 10});
  vdialogItem* container = add({20, 0, 80, 40});
  first->flags |= vdialogItemFOCUSABLE;
  container->flags |= vdialogItemFOCUSABLE;
  vdialogItemList* inner = vdialogItemListCreate();
  vdialogItemListSetOwner(inner, container, containerRecord());
  vdialogItem* a = vdialogItemCreate(vdialogItemGetDefaultClass());
  vdialogItem* b = vdialogItemCreate(vdialogItemGetDefaultClass());
  vdialogItemListAppend(inner, a);
  vdialogItemListAppend(inner, b);
  vdialogItemListSetFocusItem(list, first);
  EXPECT_EQ(vdialogItemListFocusMnemonicItem(inner, b), 0) << "not focusable";
  EXPECT_EQ(vdialogItemListGetFocusItem(list), first);
  b->flags |= vdialogItemFOCUSABLE;
  EXPECT_EQ(vdialogItemListFocusMnemonicItem(inner, b), 1);
  EXPECT_EQ(vdialogItemListGetFocusItem(inner), b);
  EXPECT_EQ(vdialogItemListGetFocusItem(list), container) << "the container took its list's focus";

  // The mnemonic selector reaches up the same way.
  vdialogItemListSetFocusItem(list, first);
  vevent e{};
  vdict context;
  vdictInit(&context, vdictHashName);
  vdictStore(&context, vname_Event, &e);
  vobjectAttributedOf(a)->issueSelector(a, 27, &context);
  vdictFinish(&context);
  EXPECT_EQ(vdialogItemListGetFocusItem(inner), a);
  EXPECT_EQ(vdialogItemListGetFocusItem(list), container);
  vinstanceDestroy(inner);
}

// Focus and unfocus draw at once into the window, then hand the caller its
// own binding back: a window destroyed later leaves no state bound to it.
TEST_F(WindowOwned, FocusDrawingGivesTheCallersBindingBack) {
  static std::vector<void*> drawnInto;
  drawnInto.clear();
  auto* cls = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
  cls->drawFocus = [](vdialogItem*) { drawnInto.push_back(vdrawGetState()->binding->target); };
  vdialogItem* item = vdialogItemCreate(cls);
  vrect r{10, 10, 40, 20};
  vdialogSetItemRect(item, &r);
  item->flags |= vdialogItemFOCUSABLE;
  vdialogItemListAppend(list, item);
  vdialogItemListClassOf(list)->open(list);
  vdialogItemListClassOf(list)->activateFocus(list);
  vdrawBindPathDevice();
  vdrawState* before = vdrawGetState();
  for (bool on : {true, false}) {
    vdialogItemListSetFocusItem(list, on ? item : nullptr);
    EXPECT_EQ(vdialogItemIsActive(item), on);
    EXPECT_EQ(vdrawGetState()->binding->target, nullptr) << on;
    EXPECT_EQ(vdrawGetState(), before) << on;
  }
  EXPECT_EQ(drawnInto, (std::vector<void*>{window, window}));
  vdialogItemListClassOf(list)->close(list);
}

TEST_F(WindowOwned, ScrollingMovesTheVisiblePixelsAndRedrawsTheRest) {
  vdialogItem* item = add({0, 0, 100, 60});
  auto paintSquare = [&] {
    vdrawGSave();
    vwindowBindDrawTarget(window);
    vcolorSpec black;
    vcolorInitSpec(&black);
    vcolorSetSpecRGB(&black, 0, 0, 0);
    vdrawSetColor(vcolorInternSpec(&black));
    vdrawRectFill(10, 10, 4, 4);
    vdrawGRestore();
  };
  // Native rows count from the top of the 120-high window: y 10 is row 109.
  auto px = [&](int x, int y) { return win::test::Pixel(window->native->hwnd, x, 119 - y); };
  paintSquare();
  vrect r{0, 0, 100, 60};
  vdialogItemClassOf(item)->scrollRect(item, &r, 20, 0, 0);
  EXPECT_EQ(px(11, 11), 0u) << "not open: nothing moves";
  EXPECT_NE(px(31, 11), 0u);
  vdialogItemListClassOf(list)->open(list);
  vdialogItemClassOf(item)->scrollRect(item, &r, 20, 0, 0);
  veventMSWDrainMessages();
  EXPECT_EQ(px(31, 11), 0u) << "moved with the scroll";
  EXPECT_NE(px(11, 11), 0u) << "the uncovered strip is drawn again";
  // Only the visible part of the rectangle scrolls: outside the window nothing.
  vrect beyond{300, 300, 50, 50};
  vdialogItemClassOf(item)->scrollRect(item, &beyond, 5, 0, 0);
  veventMSWDrainMessages();
  EXPECT_EQ(px(31, 11), 0u);
}

// The pop-up menu of an item by look: a press on the "Menu" binding, then
// motion and a release, with their times set on the events.
TEST_F(WindowOwned, TheMenuButtonPopsUpAsTheLookSays) {
  struct Case {
    const char* laf;
    int releaseDx, dragDx;  // the release's distance; a drag before it (0: none)
    std::int64_t heldNs;
    bool onPress, onRelease;
  } cases[] = {
      {"cua", 2, 0, 300000000, false, true},    // a click pops up on release
      {"cua", 2, 3, 300000000, false, false},   // a 3-pixel drag first does not
      {"cua", 3, 0, 300000000, false, false},   // nor a release 3 pixels away
      {"cua", 0, 0, 400000000, false, false},   // nor one after the multi-click interval
      {"win95", 40, 0, 5000000000, false, true},  // Win95: any release
      {"windows", 0, 0, 0, true, false},        // Windows: the press itself
      {"motif", 0, 0, 0, true, false},
  };
  vdialogItem* item = add({10, 10, 60, 20});
  vdialogItemListClassOf(list)->open(list);
  std::int64_t interval = veventGetDoubleClickInterval();
  for (const Case& c : cases) {
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), c.laf);
    _vlafRebuildCurrent();
    veventSetDoubleClickInterval(333333333);  // the framework's own default
    vmenu* menu = vmenuCreate();
    vmenuAppendItem(menu, vmenuItemCreate(vmenuGetDefaultItemClass()));
    vdialogSetItemMenu(item, menu);
    auto event = [&](vevent* e, std::int64_t at) {
      veventSetBinding(e, vname_Menu);
      e->seconds = 100 + at / 1000000000;
      e->nanoseconds = std::uint32_t(at % 1000000000);
      return e;
    };
    vdialogItemClassRec* cls = vdialogItemClassOf(item);
    vevent* down = event(veventCreateButtonDown(window, 20, 20, 0x10, 1, 1, 3), 0);
    EXPECT_EQ(cls->buttonDown(item, down), 1) << c.laf;
    EXPECT_EQ(vwindowIsOpen(menu), c.onPress) << c.laf << " on press";
    if (c.dragDx) {
      vevent* move = veventCreateMotion(window, 20 + c.dragDx, 20, 0x10, 1, 1);
      EXPECT_EQ(cls->motion(item, move), 1) << c.laf;
      veventDestroy(move);
    }
    vevent* up = event(veventCreateButtonUp(window, 20 + c.releaseDx, 20, 0, 0, 1, 3), c.heldNs);
    EXPECT_EQ(cls->buttonUp(item, up), c.onRelease ? 1 : 0) << c.laf << " " << c.releaseDx << " " << c.dragDx;
    EXPECT_EQ(vwindowIsOpen(menu), c.onPress || c.onRelease) << c.laf << " on release";
    if (vwindowIsOpen(menu)) vwindowClose(menu);
    veventDestroy(down);
    veventDestroy(up);
  }
  // Another binding leaves the menu alone.
  vevent* plain = veventCreateButtonDown(window, 20, 20, 0x10, 1, 1, 1);
  veventSetBinding(plain, vname_Select);
  EXPECT_EQ(vdialogItemClassOf(item)->buttonDown(item, plain), 0);
  // "Menu" with an event pops the menu up at the item; without one the
  // selector goes to the class above; "Accelerator" never pops up.
  vdict context;
  vdictInit(&context, vdictHashName);
  vobjectAttributedClassRec* objects = vobjectAttributedOf(item);
  EXPECT_EQ(objects->issueSelector(item, 7, &context), vobjectGetAttributedClass()->issueSelector(item, 7, &context));
  vdictStore(&context, vname_Event, plain);
  vmenu* menu = vdialogGetItemMenu(item);
  EXPECT_EQ(objects->issueSelector(item, 7, &context), 1);
  EXPECT_FALSE(vwindowIsOpen(menu));
  EXPECT_EQ(objects->issueSelector(item, 5, &context), 1);
  EXPECT_TRUE(vwindowIsOpen(menu));
  vwindowClose(menu);
  vdictFinish(&context);
  veventDestroy(plain);
  veventSetDoubleClickInterval(interval);
  startDialogItemTests();
}

// The list draws last to first, skipping hidden items and those outside
// the clip; the draw hook sees each with its colours set, a disabled one
// in the disabled foreground.
std::vector<std::pair<vdialogItem*, vcolor*>> drawn;
TEST_F(WindowOwned, TheListDrawsLastToFirstWithTheDisabledColours) {
  vdialogItem* first = add({0, 0, 20, 20});
  vdialogItem* hidden = add({30, 0, 20, 20});
  vdialogItem* off = add({60, 0, 20, 20});
  vdialogItem* away = add({150, 80, 20, 20});
  vdialogHideItem(hidden);
  vdialogDisableItem(off);
  vdialogItemListClassOf(list)->open(list);
  drawn.clear();
  vdialogItemListSetDrawHook([](vdialogItem* item) { drawn.emplace_back(item, vdrawGetState()->color); });
  vdrawGSave();
  vdialogItemListSetDrawingState(list);
  vdrawRectClip(0, 0, 100, 50);
  vcolor* plain = vdrawGetState()->color;
  vdialogItemListDraw(list);
  vdrawGRestore();
  vdialogItemListSetDrawHook(nullptr);
  ASSERT_EQ(drawn.size(), 2u) << "hidden and clipped items are not drawn";
  EXPECT_EQ(drawn[0].first, off);
  EXPECT_EQ(drawn[1].first, first);
  vcolorScheme none{}, disabled{};
  vdialogItemListDetermineScheme(list, &none, 2, &disabled);
  EXPECT_EQ(drawn[0].second, disabled.entries[1]);
  EXPECT_EQ(drawn[1].second, plain);
  (void)away;
}

// An item with a colour of its own draws in the disabled foreground when
// its container is disabled, as its container's other items do: the
// item's own flag alone is not what makes it enabled.
vcolor* drawnWith = nullptr;
TEST_F(WindowOwned, AnItemWithItsOwnColourInADisabledContainerDrawsDisabled) {
  static vdialogItemClassRec* recording = [] {
    auto* c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
    vclassSetName(c, vscribeLiteral("testColourRecordingItem"));
    c->draw = [](vdialogItem*) { drawnWith = vdrawGetState()->color; };
    return c;
  }();
  vcontainer* box = vcontainerCreate(vcontainerGetDefaultClass());
  vrect boxRect{0, 0, 100, 50}, innerRect{5, 5, 20, 20};
  vdialogSetItemRect(box, &boxRect);
  vdialogItem* inner = vdialogItemCreate(recording);
  vdialogSetItemRect(inner, &innerRect);
  vcolor* own = vcolorCreate();
  vdialogSetItemForeground(inner, own);
  vcontainerAppendItem(box, inner);
  vdialogItemListAppend(list, box);
  vdialogItemListClassOf(list)->open(list);
  for (bool enabled : {true, false}) {
    if (!enabled) vdialogDisableItem(box);
    drawnWith = nullptr;
    vdrawGSave();
    vdialogItemListSetDrawingState(list);
    vdrawRectClip(0, 0, 100, 50);
    vdialogItemListDraw(list);
    vdrawGRestore();
    ASSERT_NE(drawnWith, nullptr) << enabled;
    if (enabled) {
      EXPECT_EQ(drawnWith, own);
    } else {
      vcolorScheme none{}, disabled{};
      vdialogItemListDetermineScheme(list, &none, 2, &disabled);
      EXPECT_NE(drawnWith, own) << "drawn as if enabled";
      EXPECT_EQ(drawnWith, disabled.entries[1]);
    }
  }
  vdialogSetItemForeground(inner, nullptr);
  vcolorRelease(own);
}

// An owner's change reaches an item only where the item takes the value
// from its owner: it redraws (and, for the font and line width, asks for
// a new minimum size) or does nothing.
std::vector<std::string> reactions;
vdialogItemClassRec* reactingClass(bool themed) {
  static vdialogItemClassRec* classes[2] = {};
  vdialogItemClassRec*& c = classes[themed];
  if (c) return c;
  c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
  vclassSetName(c, vscribeLiteral(themed ? "testThemedItem" : "testReactingItem"));
  c->invalRect = [](vdialogItem*, const vrect*, int flags) { reactions.push_back("redraw " + std::to_string(flags)); };
  c->send = [](vobject* self, vname name, vdict* args) {
    if (name == vname_MinSize) reactions.push_back("MinSize");
    vdialogItemGetDefaultClass()->send(self, name, args);
  };
  // The plain class takes everything from its owner (the look's bindings
  // gave the family class colours); the themed one has all its own.
  c->font = themed ? vapplicationGetFont(vapplicationGetCurrent()) : nullptr;
  c->foreground = c->foregroundHilite = c->background = c->backgroundHilite = themed ? vcolorGetBlack() : nullptr;
  return c;
}

TEST_F(WindowOwned, InheritedChangesReachOnlyItemsThatTakeThem) {
  vdialogItem* plain = vdialogItemCreate(reactingClass(false));
  vdialogItem* themed = vdialogItemCreate(reactingClass(true));
  vdialogItem* ownColours = vdialogItemCreate(reactingClass(false));
  vdialogSetItemForeground(ownColours, vcolorGetBlack());
  vdialogSetItemFont(ownColours, vapplicationGetFont(vapplicationGetCurrent()));
  vdialogItem* hiddenOff = vdialogItemCreate(reactingClass(false));
  vdialogHideItem(hiddenOff);
  vdialogDisableItem(hiddenOff);
  struct Row {
    vdialogItem* item;
    const char* name;
    std::vector<std::string> want;
  } rows[] = {
      {plain, "Font", {"MinSize", "redraw 0"}},   {themed, "Font", {}},
      {ownColours, "Font", {}},                   {plain, "Foreground", {"redraw 1"}},
      {themed, "Foreground", {}},                 {ownColours, "Foreground", {}},
      {ownColours, "BackgroundHilite", {"redraw 1"}}, {themed, "BackgroundHilite", {}},
      {themed, "Background", {}},                 {themed, "LineWidth", {"MinSize", "redraw 0"}},
      {themed, "ShadowTop", {"redraw 1"}},        {plain, "Shown", {"redraw 1"}},
      {hiddenOff, "Shown", {}},                   {plain, "State", {"redraw 1"}},
      {hiddenOff, "State", {}},                   {plain, "Title", {}},
      {plain, "Rect", {}},
  };
  for (vdialogItem* item : {plain, themed, ownColours, hiddenOff}) {
    item->owner = list;  // told its list without joining it: the reactions alone
    item->flags |= vdialogItemOPEN;
  }
  for (const Row& r : rows) {
    reactions.clear();
    vobjectAttributedOf(r.item)->reserved8(r.item, vnameInternLiteral(r.name), nullptr);
    EXPECT_EQ(reactions, r.want) << r.name;
  }
  for (vdialogItem* item : {plain, themed, ownColours, hiddenOff}) {
    item->flags &= std::uint16_t(~vdialogItemOPEN);
    item->owner = nullptr;
    vinstanceDestroy(item);
  }
  // The list offers a change to each of its items.
  vdialogItem* listed = vdialogItemCreate(reactingClass(false));
  vdialogItemListAppend(list, listed);
  vdialogItemListClassOf(list)->open(list);
  reactions.clear();
  vdialogItemListPassInherited(list, vnameInternLiteral("Foreground"), nullptr);
  EXPECT_EQ(reactions, (std::vector<std::string>{"redraw 1"}));
}

// The list's conversions to window coordinates through an owner whose
// items sit 10 right and 20 up in its window, seen through (0, 0, 60, 50);
// loading a plain or a named list; an item's colours from presets.
TEST_F(WindowOwned, ConversionsLoadingAndPresetColours) {
  static vdialogItemOwnerRecord shifted = [] {
    vdialogItemOwnerRecord r = vdialogItemListWindowOwner;
    r.origin = [](void*, vrect* out) { *out = {10, 20, 100, 100}; };
    r.visible = [](void*, vrect* out) { *out = {0, 0, 60, 50}; };
    return r;
  }();
  vdialogItemListSetOwner(list, window, &shifted);
  vrect r{40, 20, 30, 40}, seen;
  vdialogItemListGetVisibleRect(list, &r, &seen);
  EXPECT_TRUE(same(seen, {50, 40, 10, 10})) << seen.x << "," << seen.y << " " << seen.width << "x" << seen.height;
  vevent* press = veventCreateButtonDown(window, 5, 6, 0, 1, 1, 1);
  vdialogItemListTransformEvent(list, press);
  EXPECT_EQ(veventGetX(press), 15);
  EXPECT_EQ(veventGetY(press), 26);
  veventDestroy(press);
  vevent* key = veventCreateKeyDown(window, 5, 6, 0x41, 0, 0x41, 'a');
  vdialogItemListTransformEvent(list, key);
  EXPECT_EQ(veventGetX(key), 5) << "not a pointer event";
  veventDestroy(key);

  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  std::string error;
  vresource plain = vrstoreCreate(root, vnameInternLiteral("Plain"), vresDICTIONARY);
  ASSERT_TRUE(vrtextParse("Objects = array dictionary [ { Class = tag vdialogItem } ]\nConfirm = integer 0\n", plain,
                          &error)) << error;
  vdialogItemList* loaded = vdialogItemListLoad(plain);
  EXPECT_EQ(loaded->cls, vdialogItemListGetDefaultClass());
  EXPECT_EQ(vdialogItemListGetConfirmItem(loaded), vdialogItemListAt(loaded, 0));
  vinstanceDestroy(loaded);
  vresource foreign = vrstoreCreate(root, vnameInternLiteral("Foreign"), vresDICTIONARY);
  ASSERT_TRUE(vrtextParse("Class = tag vdialogItem\n", foreign, &error)) << error;
  EXPECT_EQ(raisedClass([&] { vdialogItemListLoad(foreign); }), &vexArgClass);
  vrstoreCloseFile(root);

  // Presets win; the rest comes through the owner, in the order asked.
  vdialogItem* item = add({0, 0, 10, 10});
  vcolor* preset[vcolorSCHEME_SIZE] = {};
  preset[vcolorBACKGROUND] = vcolorGetBlack();
  const int indexes[] = {vcolorBACKGROUND, vcolorFOREGROUND};
  vcolor* out[2] = {};
  vdialogGetItemSchemeColors(item, vcolorSchemeBit(vcolorBACKGROUND), preset, indexes, 2, out);
  EXPECT_EQ(out[0], vcolorGetBlack());
  EXPECT_EQ(out[1], vdialogGetItemColor(item, vcolorFOREGROUND));
}

// Commands: the item's own space, then its class's, then the window's; the
// item is the operator of its context; help goes to the help window, which
// this library does not make.
TEST_F(WindowOwned, CommandsComeFromTheItemThenItsClassThenTheWindow) {
  vdialogItem* item = add({0, 0, 40, 20});
  const vcommandTableRow own[] = {{"Frob", 3}}, windows[] = {{"Frob", 4}, {"Zap", 5}};
  vcommandSpace* itemSpace = vcommandSpaceCreate();
  vcommandSpaceAddDict(itemSpace, vname_Command, vcommandCreateDictFromTable(vobjectGetCommandClass(), own, 1));
  vdialogSetItemSpaceOwned(item, itemSpace);
  vcommandSpace* windowSpace = vcommandSpaceCreate();
  vcommandSpaceAddDict(windowSpace, vname_Command,
                       vcommandCreateDictFromTable(vobjectGetCommandClass(), windows, 2));
  vwindowSetSpaceOwned(window, windowSpace);
  vobjectAttributedClassRec* c = vobjectAttributedOf(item);
  vname frob = vnameInternLiteral("Frob"), zap = vnameInternLiteral("Zap");
  const void* ownFrob = vcommandSpaceGetAttribute(itemSpace, vname_Command, frob);
  EXPECT_EQ(c->findCommand(item, vname_Command, frob), ownFrob) << "the item's own wins";
  EXPECT_EQ(c->findCommand(item, vname_Operand, frob), item);
  EXPECT_EQ(c->findCommand(item, vname_Command, zap), vcommandSpaceGetAttribute(windowSpace, vname_Command, zap));
  EXPECT_EQ(c->findCommand(item, vname_Operand, zap), window);
  EXPECT_NE(c->findCommand(item, vname_Command, vnameInternLiteral("PageDown")), nullptr) << "the class's";
  vdict gathered;
  vdictInit(&gathered, vdictHashName);
  c->gatherCommands(item, frob, &gathered);
  EXPECT_EQ(vdictGet(&gathered, vname_Command), ownFrob) << "the nearest definition is stored last";
  EXPECT_EQ(vdictGet(&gathered, vname_Operand), item);
  vdictFinish(&gathered);
  vdict context;
  vdictInit(&context, vdictHashName);
  c->addContext(item, &context);
  EXPECT_EQ(vdictGet(&context, vname_Operator), item);
  vdictFinish(&context);
  item->tag = frob;
  EXPECT_EQ(raisedClass([&] { c->help(item); }), &vexModuleStateClass);
}

// Building the item module hands its four colours to the display as two
// rows of two; colours that come back changed become the class's defaults.
// The class colour registrations are process-wide: a child process.
TEST(DialogItemColours, ColoursTheDisplayChangesReplaceTheClassDefaults) {
  static vcolor* replacement = nullptr;
  auto child = [] {
    startDialogItemTests();
    FreshContext context;
    // Foreground and its hilite the same colour, the background pair apart:
    // the rows differ, so the display gives out colours of its own.
    for (auto [index, sysColor] : {std::pair{vcolorFOREGROUND, 8}, {vcolorFOREGROUND_HILITE, 8},
                                   {vcolorBACKGROUND, 5}, {vcolorBACKGROUND_HILITE, 15}})
      vwindowMSWRegisterClassSysColor(vnameInternLiteral("vdialogItem"), index, sysColor);
    vcolorSpec spec;
    vcolorInitSpec(&spec);
    vcolorSetSpecRGB(&spec, 0x1234, 0x5678, 0x9ABC);
    replacement = vcolorInternSpec(&spec);
    vcolorSetXorAllocator([](vcolor** table, int, int) {
      table[3] = replacement;
      return 1;
    });
    vdialogItemClassRec* c = vdialogItemGetDefaultClass();
    vcolorSetXorAllocator(nullptr);
    bool ok = c->foreground && c->foregroundHilite && c->foregroundHilite != c->foreground &&
              c->backgroundHilite == replacement && c->background != replacement;
    return ok;
  };
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(child() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace

// Menu items, item lists and menus: items' stored and set state, the
// exclusive groups, the list's indexes and keyboard movement, menu keys,
// accelerators and mnemonics, and choosing from a popped-up menu through
// dispatched pointer and key events.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fw/core/command.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/menus/menu.h"
#include "fw/data/pref.h"
#include "fw/widgets/look/laf.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/fw/widgets/menu_support.h"
#include "tests/support/stored_text.h"

namespace {

// Announcements an item makes, by name.
std::vector<std::string> announced;
vmenuItemClassRec* recordingClass(vmenuItemClassRec* base) {
  auto* c = vclassSpawnOf<vmenuItemClassRec>(base);
  vclassSetName(c, vscribeLiteral(base == vmenuGetDefaultToggleItemClass() ? "testToggle" : "testItem"));
  c->send = [](vobject* self, vname name, vdict* args) {
    announced.push_back(name);
    static_cast<vmenuItemClassRec*>(self->cls->superclass)->send(self, name, args);
  };
  return c;
}

const std::uint32_t kDown = 0xFC540000, kUp = 0xFC520000, kReturn = 0xFC0D0000, kEscape = 0xFC1B0000;

// Menus are windows, whose class lasts with the context it was built in:
// these tests share the default context and choose the look again.
struct Menus : ::testing::Test {
  void start(const char* laf) {
    menuTestChooseLook(laf);
    vfontSetDriver(&kSixWide);
    announced.clear();
  }
  static vmenuItem* item(const char* title, vmenuItemClassRec* cls = vmenuGetDefaultItemClass()) {
    vmenuItem* i = vmenuItemCreate(cls);
    vmenuItemSetTitle(i, vscribeLiteral(title));
    return i;
  }
  static vmenuItem* toggle(const char* title, bool exclusive, bool on) {
    vmenuItem* i = item(title, vmenuGetDefaultToggleItemClass());
    vmenuItemSetExclusive(i, exclusive);
    vmenuItemSetToggle(i, on);
    return i;
  }
  static vmenuItem* separator() { return vmenuItemCreate(vmenuGetDefaultSeparatorItemClass()); }
  static std::string states(vmenu* m) {
    std::string out;
    for (int i = 0; i < vmenuItemListCount(&m->items); ++i)
      out += vmenuItemIsToggleOn(vmenuItemListAt(&m->items, i)) ? '1' : '0';
    return out;
  }
};

// ---- Items.
TEST_F(Menus, LoadedItemsKeepTheLowFlagBitsAndStoreRemovesAbsentKeys) {
  start("windows");
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  struct Row {
    std::int32_t stored;
    std::uint16_t flags;
  } rows[] = {{0x1F, 0xF}, {0x10, 0}, {0x7, 0x7}, {0xE9, 0x9}};
  for (const Row& r : rows) {
    vresource d = vrstoreCreate(root, N("Item"), vresDICTIONARY);
    vresourceSetTagAt(d, vname_Class, N("vmenuToggleItem"));
    vresourceSetIntegerAt(d, vname_Flags, r.stored);
    vresourceSetString(d, vname_Title, vscribeLiteral("Loaded"));
    vresourceSetIntegerAt(d, vname_Accelerator, 0x00410002);
    auto* loaded = static_cast<vmenuItem*>(vobjectLoad(d));
    EXPECT_EQ(loaded->flags & 0xF, r.flags) << r.stored;
    EXPECT_EQ(vmenuItemIsEnabled(loaded), (r.stored & 1) != 0);
    EXPECT_STREQ(loaded->title, "Loaded");
    EXPECT_EQ(loaded->accelerator, 0x00410002u);
    // Stored again: the title and accelerator go when cleared.
    vmenuItemSetTitle(loaded, vscribeLiteral(""));
    vmenuItemSetAccelerator(loaded, 0);
    vobjectAttributedOf(loaded)->store(loaded, d);
    vresource probe;
    EXPECT_FALSE(vresourceTestGet(d, vname_Title, &probe));
    EXPECT_FALSE(vresourceTestGet(d, vname_Accelerator, &probe));
    EXPECT_EQ(vresourceGetInteger(d, vname_Flags), r.flags);
    vinstanceDestroy(loaded);
  }
  vrstoreCloseFile(root);
}

TEST_F(Menus, TitlesAnnounceOnlyChangesAndLiteralsAreUsedInPlace) {
  start("windows");
  vmenuItem* i = vmenuItemCreate(recordingClass(vmenuGetDefaultItemClass()));
  static const char kOpen[] = "Open";
  vmenuItemSetTitle(i, vscribeLiteral(kOpen));
  EXPECT_EQ(i->title, kOpen) << "a literal is not copied";
  EXPECT_FALSE(i->flags & vmenuItemTITLE_OWNED);
  vmenuItemSetTitle(i, vscribeCString("Open"));
  EXPECT_NE(i->title, kOpen);
  EXPECT_TRUE(i->flags & vmenuItemTITLE_OWNED);
  vmenuItemSetTitle(i, vscribeCString("Close"));
  int titles = 0;
  for (const std::string& a : announced) titles += a == "Title";
  EXPECT_EQ(titles, 2) << "the same text set twice announces once";
  // Each change of size announces "Size" after its own name.
  EXPECT_EQ(announced.back(), "Size");
  vinstanceDestroy(i);
}

TEST_F(Menus, AttributesByNameAndTheExclusiveGroupBetweenSeparators) {
  start("win95");
  vmenu* m = vmenuCreate();
  for (vmenuItem* i : {toggle("a", true, true), toggle("b", true, false), separator(), toggle("c", true, true),
                       toggle("d", true, false), toggle("e", false, true), item("plain")})
    vmenuAppendItem(m, i);
  EXPECT_EQ(states(m), "1001010");
  // "d" turns on: "c" goes off, "a" beyond the separator and the
  // non-exclusive "e" stay.
  vobjectAttributedOf(vmenuItemListAt(&m->items, 4))->setAttribute(vmenuItemListAt(&m->items, 4), vname_Toggle, vname_On);
  EXPECT_EQ(states(m), "1000110");
  vmenuItem* plain = vmenuItemListAt(&m->items, 6);
  auto* attrs = vobjectAttributedOf(plain);
  attrs->setAttribute(plain, vname_Toggle, vname_On);
  EXPECT_EQ(plain->flags & (vmenuItemTOGGLE_ON | vmenuItemTOGGLE), 0) << "a plain item has no toggle";
  EXPECT_EQ(attrs->getAttribute(plain, vname_Toggle), nullptr);
  EXPECT_EQ(attrs->getAttribute(vmenuItemListAt(&m->items, 4), vname_Exclusive), vname_True);
  struct Row {
    vname name;
    const void* value;
    vname state;
  } rows[] = {{vname_State, vname_Disabled, vname_Disabled}, {vname_State, N("Maybe"), vname_Disabled},
              {vname_State, vname_Enabled, vname_Enabled}};
  for (const Row& r : rows) {
    attrs->setAttribute(plain, r.name, r.value);
    EXPECT_EQ(attrs->getAttribute(plain, vname_State), r.state);
  }
  // A separator stays disabled.
  vmenuItem* sep = vmenuItemListAt(&m->items, 2);
  vmenuItemEnable(sep);
  EXPECT_FALSE(vmenuItemIsEnabled(sep));
  vinstanceDestroy(m);
}

// ---- Item lists.
TEST_F(Menus, IndexesFollowRemovalsAndMoves) {
  start("windows");
  vmenu* m = vmenuCreate();
  for (const char* t : {"a", "b", "c", "d", "e"}) vmenuAppendItem(m, item(t));
  vmenuItemList* l = &m->items;
  vmenuItemListSetDefaultItem(l, vmenuItemListAt(l, 4));
  vmenuItemListSetCurrent(l, 3, 1);
  struct Step {
    const char* what;
    int from, to;  // to < 0: remove from
    int current, defaultIndex;
  } steps[] = {
      {"remove above the current", 1, -1, 2, 3},
      {"move the current down", 2, 3, 3, 2},
      {"move one across the current", 0, 3, 2, 1},
      {"remove the current", 2, -1, -1, 1},
      {"remove the default", 1, -1, -1, -1},
  };
  for (const Step& s : steps) {
    if (s.to < 0) {
      vmenuItem* gone = vmenuItemListAt(l, s.from);
      vmenuRemoveItem(m, gone);
      EXPECT_EQ(gone->owner, nullptr);
      vinstanceDestroy(gone);
    } else {
      vobjectListMove(l, s.from, s.to);
    }
    EXPECT_EQ(l->currentIndex, s.current) << s.what;
    EXPECT_EQ(l->defaultIndex, s.defaultIndex) << s.what;
  }
  vinstanceDestroy(m);
}

TEST_F(Menus, SelectFirstAndMovingByLook) {
  struct Row {
    const char* laf;
    int first;     // after select-first, default item the fourth
    int upFromTop;  // "Up" from the first selectable item
  } rows[] = {{"windows", 0, 5}, {"win95", -1, 5}, {"motif", 3, 5}, {"cua", 2, 5}};
  for (const Row& r : rows) {
    start(r.laf);
    vmenu* m = vmenuCreate();
    vmenuItem* disabled = item("c");
    vmenuItemDisable(disabled);
    for (vmenuItem* i : {item("a"), separator(), disabled, item("d"), item("e"), item("f")}) vmenuAppendItem(m, i);
    vmenuItemList* l = &m->items;
    vmenuItemListSetDefaultItem(l, disabled);
    vmenuItemListSelectFirst(l);
    // Motif skips the disabled default; CUA navigates onto it.
    EXPECT_EQ(l->currentIndex, r.first) << r.laf;
    vmenuItemListSetCurrent(l, 0, 1);
    vmenuIssueSelector(m, vmenuSelectUP, nullptr);
    EXPECT_EQ(l->currentIndex, r.upFromTop) << r.laf << ": Up on the first item wraps";
    vmenuIssueSelector(m, vmenuSelectDOWN, nullptr);
    EXPECT_EQ(l->currentIndex, 0) << r.laf;
    vmenuIssueSelector(m, vmenuSelectDOWN, nullptr);
    EXPECT_EQ(l->currentIndex, std::string(r.laf) == "motif" ? 3 : 2) << r.laf << ": Motif skips the disabled item";
    vinstanceDestroy(m);
  }
}

TEST_F(Menus, DownOnTheOnlySelectableItemKeepsIt) {
  start("windows");
  vmenu* m = vmenuCreate();
  vmenuAppendItem(m, separator());
  vmenuAppendItem(m, item("only"));
  vmenuAppendItem(m, separator());
  vmenuItemListSetCurrent(&m->items, 1, 1);
  for (int selector : {vmenuSelectDOWN, vmenuSelectUP, vmenuSelectEND, vmenuSelectBEGIN}) {
    vmenuIssueSelector(m, selector, nullptr);
    EXPECT_EQ(m->items.currentIndex, 1) << selector;
  }
  vinstanceDestroy(m);
}

TEST_F(Menus, ItemRectanglesStackDownwardsFromTheTop) {
  start("win95");
  vmenu* m = vmenuCreate();
  vmenuItem* keyed = item("Save");
  vmenuItemSetAccelerator(keyed, 0x00530002);  // Ctrl+S
  for (vmenuItem* i : {item("Open"), keyed, separator(), item("A longer title")}) vmenuAppendItem(m, i);
  vmenuUpdateGeometry(m);
  const vmenuItemGeometry* g = vmenuItemListGetGeometry(&m->items);
  ASSERT_EQ(g->count, 4);
  EXPECT_EQ(m->rect.width, g->full.width + 6) << "Win95 frame margins of 3";
  EXPECT_EQ(m->rect.height, g->full.height + 6);
  int top = g->full.y + g->full.height;
  for (int i = 0; i < 4; ++i) {
    vrect r;
    vmenuTextPosition t;
    vmenuItemListItemRect(&m->items, i, &r, &t);
    EXPECT_EQ(r.y + r.height, top) << i;
    EXPECT_EQ(r.height, g->heights[i]) << i;
    EXPECT_EQ(t.x, g->textX);
    EXPECT_GT(t.y, r.y) << "the base line lies inside the item";
    top = r.y;
  }
  EXPECT_EQ(top, g->full.y);
  EXPECT_LT(g->heights[2], g->heights[0]) << "a separator is lower than a text item";
  vmenuItemMeasure wide;
  vmenuItemMeasureInto(vmenuItemListAt(&m->items, 3), &wide);
  EXPECT_GT(g->acceleratorOffset, wide.titleWidth) << "the accelerator column lies after the widest title";
  vrect r;
  bool raised = false;
  vexGuard([&] { vmenuItemListItemRect(&m->items, 4, &r, nullptr); }, [&](vexHandler&) { raised = true; });
  EXPECT_TRUE(raised) << "an index outside the list";
  vinstanceDestroy(m);
}

// ---- Menus: finding items.
TEST_F(Menus, AcceleratorsAreFoundInSubMenusAndOnlyOnEnabledItems) {
  start("win95");
  vmenu* top = vmenuCreate();
  vmenu* sub = vmenuCreate();
  vmenuItem* inner = item("Inner");
  vmenuItemSetAccelerator(inner, 0x00490002);
  vmenuItem* off = item("Off");
  vmenuItemSetAccelerator(off, 0x004F0002);
  vmenuItemDisable(off);
  vmenuAppendItem(sub, inner);
  vmenuAppendItem(sub, off);
  vmenuItem* cascade = item("More", vmenuGetDefaultSubMenuItemClass());
  vmenuItemSetSubMenu(cascade, sub);
  vmenuItem* mnemonic = item("Edit");
  vmenuItemSetMnemonic(mnemonic, 'E');
  vmenuAppendItem(top, mnemonic);
  vmenuAppendItem(top, cascade);
  EXPECT_EQ(vmenuFindItemByAccelerator(top, 0x00490002), inner);
  EXPECT_EQ(vmenuFindItemByAccelerator(top, 0x004F0002), nullptr);
  EXPECT_EQ(vmenuFindItemByMnemonic(top, 'e'), mnemonic) << "case-blind";
  EXPECT_EQ(vmenuFindItemByMnemonic(top, 'x'), nullptr);
  vdict* keys = vdictCreate(vdictHashPointer);
  vmenuCollectAccelerators(top, N("Bar"), keys);
  EXPECT_EQ(vdictCount(keys), 2u) << "disabled items' keys are collected too";
  EXPECT_EQ(vdictGet(keys, reinterpret_cast<const void*>(std::uintptr_t{0x00490002} + 1)), N("Bar"));
  vdictDestroy(keys);
  vinstanceDestroy(top);  // the sub-menu goes with its item
}

// ---- Choosing.
struct Chosen {
  std::vector<std::string> trace;
};
Chosen chosen;
void notified(vmenuItem* i, vevent* e) { chosen.trace.push_back(std::string("notify ") + i->title + (e ? " with event" : "")); }
int handler(vcommand*, vdict* context) {
  auto* e = static_cast<vevent*>(vdictGet(context, vname_Event));
  chosen.trace.push_back(std::string("command ") + static_cast<vname>(vdictGet(context, vname_Tag)) +
                         (e ? " with event" : ""));
  return 1;
}

struct Choosing : Menus {
  vmenu* menu = nullptr;
  vcommandSpace* space = nullptr;
  void build(const char* laf) {
    start(laf);
    chosen.trace.clear();
    space = menuTestCommands({"Save", "Wrap", "Near", "Far", "Never", "Deep"}, handler);
    menu = vmenuCreate();
    vmenuItem* save = item("Save");
    vmenuItemSetAccelerator(save, 0x00530002);
    vmenuItem* never = item("Never");
    vmenuItemDisable(never);
    vmenu* sub = vmenuCreate();
    vmenuItem* deep = item("Deep");
    deep->tag = N("Deep");
    vmenuAppendItem(sub, deep);
    vmenuItem* cascade = item("More", vmenuGetDefaultSubMenuItemClass());
    vmenuItemSetSubMenu(cascade, sub);
    vmenuItem* items[] = {save, toggle("Wrap", false, false), toggle("Near", true, true), toggle("Far", true, false),
                          separator(), never, cascade};
    for (vmenuItem* i : items) {
      if (*i->title && i != cascade && i != deep) i->tag = N(i->title);
      i->notifyFunc = notified;
      vmenuAppendItem(menu, i);
    }
    vmenuItemListSetDefaultItem(&menu->items, save);
  }
  void TearDown() override {
    if (menu) vinstanceDestroy(menu);
    vapplicationSetSpaceOwned(vapplicationGetCurrent(), nullptr);
  }
  vmenuItem* at(int i) { return vmenuItemListAt(&menu->items, i); }
  // A point inside item i, in the menu's coordinates.
  void centre(int i, int* x, int* y) {
    vrect r;
    vmenuItemListItemRect(&menu->items, i, &r, nullptr);
    *x = r.x + r.width / 2;
    *y = r.y + r.height / 2;
  }
  int key(std::uint32_t value) {
    return veventDispatch(veventCreateKeyDown(menu, 0, 0, 0, value & 0xFFFF, value >> 16, 0));
  }
};

TEST_F(Choosing, ByPointerTheItemIsNotifiedThenItsCommandIssuedOnce) {
  build("win95");
  vmenuPopupAt(menu, vwindowGetRoot(), 200, 600);
  ASSERT_TRUE(vwindowIsOpen(menu));
  EXPECT_EQ(vwindowMSWGetTopGrab(), menu) << "an open menu grabs the pointer";
  int x, y;
  centre(3, &x, &y);
  veventDispatch(veventCreateMotion(menu, x, y, 0x10, 1, 1));
  EXPECT_EQ(menu->items.currentIndex, 3);
  centre(5, &x, &y);
  veventDispatch(veventCreateMotion(menu, x, y, 0x10, 1, 1));
  EXPECT_EQ(menu->items.currentIndex, 5) << "a disabled item is highlighted under the pointer";
  centre(3, &x, &y);
  veventDispatch(veventCreateButtonDown(menu, x, y, 0, 1, 1, 0));
  EXPECT_TRUE(vwindowIsOpen(menu)) << "a press inside keeps the menu";
  veventDispatch(veventCreateButtonUp(menu, x, y, 0, 0, 1, 0));
  EXPECT_FALSE(vwindowIsOpen(menu));
  EXPECT_EQ(chosen.trace, (std::vector<std::string>{"notify Far with event", "command Far with event"}));
  EXPECT_EQ(menu->selection, at(3));
  EXPECT_EQ(states(menu), "0001000") << "the exclusive pair changed over";
}

TEST_F(Choosing, ByKeysConfirmAbandonAndDisabledItems) {
  build("win95");
  ASSERT_NE(vdictGet(vmenuGetDefaultClass()->keyBindings, reinterpret_cast<const void*>(std::uintptr_t{kDown} + 1)),
            nullptr)
      << "the framework's preferences bind the menu keys";
  struct Step {
    std::vector<std::uint32_t> keys;
    std::vector<std::string> trace;
    int selected;  // -1: none
  } steps[] = {
      {{kDown, kReturn}, {"notify Save with event", "command Save with event"}, 0},
      {{kUp, kUp, kReturn}, {}, -1},  // "Up" from nothing starts at the last item; then the disabled one
      {{kDown, kDown, kReturn}, {"notify Wrap with event", "command Wrap with event"}, 1},
      {{kDown, kEscape}, {}, -1},
      {{0x00530002}, {"notify Save with event", "command Save with event"}, 0},  // its accelerator
  };
  for (const Step& s : steps) {
    chosen.trace.clear();
    vmenuPopupAt(menu, vwindowGetRoot(), 300, 500);
    for (std::uint32_t k : s.keys) key(k);
    EXPECT_FALSE(vwindowIsOpen(menu));
    EXPECT_EQ(chosen.trace, s.trace) << s.keys.size();
    EXPECT_EQ(menu->selection, s.selected < 0 ? nullptr : at(s.selected));
  }
  EXPECT_EQ(states(menu), "0110000") << "Wrap flipped once";
}

TEST_F(Choosing, DestroyingTheMenuFromItsCommandStopsTheEnd) {
  build("windows");
  at(0)->notifyFunc = [](vmenuItem* i, vevent*) {
    vmenu* m = vmenuItemGetMenu(i);
    vinstanceDestroy(m);
  };
  vmenuPopupAt(menu, vwindowGetRoot(), 300, 500);
  vmenuItemListSetCurrent(&menu->items, 0, 1);
  vmenu* gone = menu;
  menu = nullptr;
  vmenuEnd(gone, 1, nullptr);  // no use of the destroyed menu afterwards
  SUCCEED();
}

TEST_F(Menus, PopupsStayOnTheScreenAndFlipAboveNearTheBottom) {
  start("win95");
  vmenu* m = vmenuCreate();
  for (int i = 0; i < 8; ++i) vmenuAppendItem(m, item("Entry"));
  const vrect screen = vwindowGetRoot()->rect;
  struct Row {
    int x, y;
    int top;  // where the menu's top edge goes
  } rows[] = {{500, 400, 400}, {screen.width - 2, 400, 400}, {1, 400, 400}, {500, 30, -1}};
  for (const Row& r : rows) {
    vmenuPopupAt(m, vwindowGetRoot(), r.x, r.y);
    const vrect& placed = m->rect;
    EXPECT_GE(placed.x, screen.x + 4) << r.x;
    EXPECT_LE(placed.x + placed.width, screen.x + screen.width - 4) << r.x;
    if (r.top >= 0) {
      EXPECT_EQ(placed.y + placed.height, r.top) << r.y;
    } else {
      EXPECT_EQ(placed.y, r.y + vmenuItemGetLookMetrics()[3]) << "near the bottom it opens above the point";
    }
    vmenuEnd(m, 0, nullptr);
  }
  vinstanceDestroy(m);
}

TEST_F(Menus, AHundredItemsScrollAtOnceSixPixelsBelowTheArrow) {
  start("win95");
  vmenu* m = vmenuCreate();
  for (int i = 0; i < 100; ++i) vmenuAppendItem(m, item("Entry"));
  vmenuPopupAt(m, vwindowGetRoot(), 100, 760);
  ASSERT_TRUE(vwindowIsOpen(m));
  EXPECT_LE(m->rect.height, 768);
  const vmenuItemGeometry* g = vmenuItemListGetGeometry(&m->items);
  ASSERT_TRUE(g->scrollFlags & vmenuScrollLOWER_ARROW);
  EXPECT_FALSE(g->scrollFlags & vmenuScrollUPPER_ARROW);
  EXPECT_LT(g->endVisible, 100);
  int first = g->firstVisible;
  // Five pixels below the items: a slow request, nothing at once.
  veventDispatch(veventCreateMotion(m, 20, g->visible.y - 5, 0x10, 1, 1));
  EXPECT_TRUE(g->scrollFlags & vmenuScrollDOWN);
  EXPECT_FALSE(g->scrollFlags & vmenuScrollFAST);
  veventProcessPending(1, 0);
  EXPECT_EQ(g->firstVisible, first);
  // Back inside, then six below: at once, until the last item shows.
  veventDispatch(veventCreateMotion(m, 20, g->visible.y + 10, 0x10, 1, 1));
  EXPECT_FALSE(g->scrollFlags & vmenuScrollDOWN);
  veventDispatch(veventCreateMotion(m, 20, g->visible.y - 6, 0x10, 1, 1));
  EXPECT_TRUE(g->scrollFlags & vmenuScrollFAST);
  veventProcessPending(1, 0);
  EXPECT_EQ(g->endVisible, 100);
  EXPECT_GT(g->firstVisible, first);
  EXPECT_TRUE(g->scrollFlags & vmenuScrollUPPER_ARROW) << "scrolled down shows the upper arrow";
  EXPECT_FALSE(g->scrollFlags & vmenuScrollLOWER_ARROW) << "the last item in view hides the lower one";
  // "Home" goes back to the first item, scrolling up.
  vmenuIssueSelector(m, vmenuSelectBEGIN, nullptr);
  EXPECT_EQ(g->firstVisible, 0);
  EXPECT_EQ(m->items.currentIndex, 0);
  vmenuEnd(m, 0, nullptr);
  vinstanceDestroy(m);
}

}  // namespace

namespace {

// The framework's drawing of a menu, as the window driver records it,
// against a stored trace (UPDATE_TRACE=1 writes it first).
std::string drawnMenu(vmenu* m) {
  vwindowMSWTakeDriverLog();
  vwindowClassOf(m)->bindDraw(m, 0);
  vrect whole = {0, 0, m->rect.width, m->rect.height};
  vdrawSetDeviceClipRects(&whole, 1);
  vwindowClassOf(m)->draw(m);
  vdrawBindPathDevice();
  std::string out;
  for (const std::string& line : vwindowMSWTakeDriverLog()) out += line + "\n";
  return out;
}

void matchesStoredTrace(const std::string& got, const std::string& name) {
  test_support::ExpectStoredText(got, std::string(WIDGETS_DATA) + "/" + name);
}

TEST_F(Choosing, EachLookDrawsAsStoredAndChoosesByKeysOnce) {
  struct Row {
    const char* laf;
    const char* trace;
    const char* embossed;  // what shows twice for the disabled item, or null
  } rows[] = {{"win95", "menu_win95.trace", "show Never\nshow Never"},
              {"windows", "menu_windows.trace", nullptr},
              {"motif", "menu_motif.trace", nullptr},
              {"cua", "menu_cua.trace", nullptr}};
  for (const Row& r : rows) {
    if (menu) vinstanceDestroy(menu);
    build(r.laf);
    // A scheme whose light shadow is the background embosses Win95's disabled items.
    vapplication* app = vapplicationGetCurrent();
    vcolor* saved = app->scheme.entries[vcolorSHADOW_TOP_DARK];
    vapplicationClassOf(app)->setSchemeColor(app, vcolorSHADOW_TOP_DARK, vwindowDetermineColor(menu, vcolorBACKGROUND));
    vmenuPopupAt(menu, vwindowGetRoot(), 300, 500);
    key(kDown);
    key(kDown);
    EXPECT_EQ(menu->items.currentIndex, 1) << r.laf;
    std::string trace = drawnMenu(menu);
    matchesStoredTrace(trace, r.trace);
    if (r.embossed) {
      EXPECT_NE(trace.find(r.embossed), std::string::npos) << r.laf << ": embossed, drawn twice";
    }
    key(kReturn);
    EXPECT_EQ(chosen.trace, (std::vector<std::string>{"notify Wrap with event", "command Wrap with event"})) << r.laf;
    vapplicationClassOf(app)->setSchemeColor(app, vcolorSHADOW_TOP_DARK, saved);
  }
}

}  // namespace

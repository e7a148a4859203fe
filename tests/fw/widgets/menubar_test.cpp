// Menu bars on the native road: accelerator tables, the Windows menu
// layer's entries and identifiers, and a bar whose menus are chosen by
// clicks and keys injected into the headless platform.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/accel.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/mswmenu.h"
#include "fw/data/btree.h"
#include "platform/backend/input.h"
#include "platform/win/kernel.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/fw/widgets/menu_support.h"

namespace {

[[maybe_unused]] vname N(const char* s) { return vnameInternLiteral(s); }

// ---- Accelerator tables.
TEST(MenuBarStartup, FillsItsRowOfTheStartupOrder) {
  vwidgetsInstallStartup();
  int n = 0;
  const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
  int filled = 0;
  for (int i = 0; i < n; ++i)
    if (std::string(rows[i].name) == "vmenubarGetDefaultClass" && rows[i].fn) {
      rows[i].fn();
      ++filled;
    }
  EXPECT_EQ(filled, 1);
  EXPECT_NE(vclassFindByName(vscribeLiteral("vmenubar")), nullptr);
}

TEST(AcceleratorTables, KeyValuesBecomeNativeEntries) {
  vmoduleGetDefaultContext();
  struct Row {
    std::uint32_t key;
    int virtualKey;
    int flags;
  } rows[] = {
      {0xFCC20006, 116, 1 | 4 | 8},  // Ctrl+Shift+F5
      {0x006F0002, 'O', 1 | 8},      // Ctrl+o
      {0x003F0000, 0xBF, 1 | 4},     // "?" needs Shift
      {0xFCB30001, 99, 1 | 0x10},    // Alt+keypad 3
      {0xFA420000, 34, 1},           // page down
      {0xFCE40000, 17, 1},           // the right Ctrl
      {0xFC0B0002, 0, 1 | 8},        // key 12: no virtual key, still an entry
      {0x12340000, 0, 1},            // no such code
      {0x00610008, 'A', 1},          // the command key, unset: no flag of its own
  };
  for (const Row& r : rows) {
    win::ACCEL e{};
    vmswaccelFillEntry(r.key, 1500, &e);
    EXPECT_EQ(e.key, r.virtualKey) << std::hex << r.key;
    EXPECT_EQ(e.fVirt, r.flags) << std::hex << r.key;
    EXPECT_EQ(e.cmd, 1500);
  }
}

TEST(AcceleratorTables, TheCommandKeyTakesThePreferencesModifiers) {
  FreshContext context({{"commandkey", "control:shift"}});
  win::ACCEL e{};
  vmswaccelFillEntry(0x00610008, 2000, &e);
  EXPECT_EQ(e.fVirt, 1 | 8 | 4);
}

TEST(AcceleratorTables, TablesFromIdentifierDictionaries) {
  vmoduleGetDefaultContext();
  vdict* keys = vdictCreate(vdictHashPointer);
  EXPECT_EQ(CreateMSWAccelTable(keys).handle, nullptr) << "an empty dictionary makes no table";
  auto id = [](std::uintptr_t v) { return reinterpret_cast<const void*>(v); };
  vdictStore(keys, id(1024), nullptr);
  vdictStore(keys, id(1025), nullptr);
  vmswaccelTable zeros = CreateMSWAccelTable(keys);
  ASSERT_NE(zeros.handle, nullptr) << "keys of 0 leave a table with no entries";
  vmswaccelDestroy(&zeros);
  vdictStore(keys, id(1026), id(0x006F0002));
  vmswaccelTable one = CreateMSWAccelTable(keys);
  ASSERT_NE(one.handle, nullptr);
  EXPECT_FALSE(one.entries);
  vmswaccelDestroy(&one);
  // The old platform mode: the zero-ended entry array stands for the table.
  _vmswaccelForceOldMode(1);
  vmswaccelTable old = CreateMSWAccelTable(keys);
  _vmswaccelForceOldMode(-1);
  ASSERT_TRUE(old.entries);
  auto* entries = static_cast<win::ACCEL*>(old.handle);
  EXPECT_EQ(entries[0].cmd, 1026);
  EXPECT_EQ(entries[0].key, 'O');
  EXPECT_EQ(entries[1].fVirt | entries[1].key | entries[1].cmd, 0) << "ended by an all-zero entry";
  vmswaccelDestroy(&old);
  EXPECT_EQ(old.handle, nullptr);
  vdictDestroy(keys);
}

}  // namespace

namespace {

// ---- A bar of a window on the native road.
std::vector<std::string> trace;
std::string hex(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%x", v);
  return b;
}
int handler(vcommand*, vdict* context) {
  auto* e = static_cast<vevent*>(vdictGet(context, vname_Event));
  std::string line = static_cast<vname>(vdictGet(context, vname_Tag));
  if (e) line += " kind " + std::to_string(e->type);
  if (e && e->type == veventKEY_DOWN) line += " key " + hex(veventGetKeyValue(e));
  if (vdictGet(context, vname_Operator)) line += " op";
  trace.push_back(line);
  return 1;
}

struct Bars : ::testing::Test {
  vresource root = 0;
  vwindow* window = nullptr;
  vdialogItemList* items = nullptr;
  vmenubar* bar = nullptr;
  vcommandSpace* space = nullptr;

  void start(const char* laf, bool native) {
    menuTestChooseLook(laf, native);
    vmenubarStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    trace.clear();
    space = menuTestCommands({"Open", "Near", "Far", "Deep", "Quit", "Cut", "Paste"}, handler);
    vrstoreInstallInterface();
    vfsPath* path = vfsNewPathFromString(WIDGETS_LISTS_VR);
    root = vrstoreOpenFile(path, vbtreeREAD);
    vfsFreePath(path);
    window = vwindowCreate();
    vwindowSetTitleScribe(window, vscribeLiteral("barred"));
    window->rect = {100, 200, 400, 300};
    items = vdialogItemListCreate();
    vdialogItemListSetOwner(items, window, &vdialogItemListWindowOwner);
    bar = static_cast<vmenubar*>(vobjectLoad(vrstoreGet(root, N("MenuBar"))));
    vdialogItemListAppend(items, bar);
    vwindowOpen(window);
    win::SetActiveWindow(hwnd());
    win::SetFocus(hwnd());
    vdialogOpenItem(bar);
    drain();
  }
  void TearDown() override {
    if (items) vinstanceDestroy(items);  // with the bar
    if (window) vwindowDestroy(window);
    if (root) vrstoreCloseFile(root);
    vapplicationSetSpaceOwned(vapplicationGetCurrent(), nullptr);
    win::test::ResetInput();
    drain();
    win::UseVirtualClock(false);
    _vdrawShutdown();
  }
  win::HWND hwnd() const { return window->native->hwnd; }
  static void drain() { veventMSWDrainMessages(); }
  vmenu* menuAt(int i) { return vmenubarAt(bar, i); }
  win::HMENU popupOf(vmenu* m) { return vmswmenuMirrorOf(m)->popup; }

  static win::POINT centre(win::HWND owner, win::HMENU menu, int position) {
    win::RECT r{};
    EXPECT_TRUE(win::test::MenuEntryRect(owner, menu, position, &r)) << "entry " << position << " not shown";
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // Steps run from a timer 50 ms apart, inside or outside the platform's menu loop.
  using Step = std::function<void()>;
  static inline std::vector<Step> steps;
  static inline std::size_t next = 0;
  static void runStep(win::HWND, win::UINT, win::UINT_PTR, win::DWORD) {
    if (next < steps.size()) steps[next++]();
  }
  // A last step ends any tracking still going, so that a failure cannot hang.
  static void run(std::vector<Step> script) {
    steps = std::move(script);
    steps.push_back([] {});
    steps.push_back([] { win::EndMenu(); });
    next = 0;
    win::UINT_PTR timer = win::SetTimer(nullptr, 0, 50, runStep);
    for (int guard = 0; guard < 200 && next < steps.size(); ++guard) {
      drain();
      if (next < steps.size()) win::WaitMessage();
    }
    win::KillTimer(nullptr, timer);
    drain();
  }
  static Step button(std::function<win::POINT()> at, bool down) {
    return [at, down] {
      if (down) win::test::MouseDown(at());
      else win::test::MouseUp(at());
    };
  }
  static Step key(win::UINT vk, bool down, int character = -1) {
    return [=] { win::backend::InputKey(vk, 0, vk >= 0x21 && vk <= 0x28, down, character); };
  }
};

TEST_F(Bars, TheNativeRoadChoosesByClicksKeysAndAccelerators) {
  start("win95", true);
  ASSERT_TRUE(vmenubarIsNative(bar));
  ASSERT_NE(bar->native, nullptr);
  EXPECT_EQ(win::GetMenu(hwnd()), bar->native->bar);
  EXPECT_EQ(win::GetMenuItemCount(bar->native->bar), 2);
  win::HMENU file = popupOf(menuAt(0));
  auto title = [this](int i) { return [this, i] { return centre(hwnd(), bar->native->bar, i); }; };
  auto entry = [this, file](int i) { return [this, file, i] { return centre(hwnd(), file, i); }; };
  // Press on "File", release on "Open".
  run({button(title(0), true), [entry] { win::test::MouseMove(entry(0)()); }, button(entry(0), false)});
  // Alt+F, Down past the separator to "Near"... and on to "Far", Enter.
  run({key(0x12, true), key('F', true, 'f'), key('F', false), key(0x12, false), key(0x28, true), key(0x28, false),
       key(0x28, true), key(0x28, false), key(0x0D, true, 13), key(0x0D, false)});
  // Ctrl+O, and Ctrl+Shift+F5 for an item of the sub-menu.
  run({key(0x11, true), key('O', true, 15), key('O', false), key(0x10, true), key(0x74, true), key(0x74, false),
       key(0x10, false), key(0x11, false)});
  EXPECT_EQ(trace, (std::vector<std::string>{"Open kind 2 op", "Far kind 2 op", "Open kind 8 key 6f0002 op",
                                             "Deep kind 8 key fcc20006 op"}));
  // "Far" came on and took "Near" off, natively too.
  vmenu* m = menuAt(0);
  EXPECT_FALSE(vmenuItemIsToggleOn(vmenuItemListAt(&m->items, 2)));
  EXPECT_TRUE(vmenuItemIsToggleOn(vmenuItemListAt(&m->items, 3)));
  EXPECT_FALSE(win::GetMenuState(file, 2, win::MF_BYPOSITION) & win::MF_CHECKED);
  EXPECT_TRUE(win::GetMenuState(file, 3, win::MF_BYPOSITION) & win::MF_CHECKED);
  EXPECT_EQ(m->selection, vmenuItemListAt(&m->items, 0)) << "chosen last by its accelerator";
}

}  // namespace

namespace {

TEST_F(Bars, EntryTextsMarkTheFirstMnemonicAndPassAnAmpersandOn) {
  start("win95", true);
  struct Row {
    const char* title;
    char mnemonic;
    std::uint32_t key;
    const char* text;
  } rows[] = {{"Open Other", 'O', 0, "&Open Other"},
              {"Print", 'x', 0, "Print"},
              {"Save & Quit", 'Q', 0, "Save & &Quit"},
              {"Open", 'o', 0x006F0002, "&Open\tCtrl+O"}};
  for (const Row& r : rows) {
    vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
    vmenuItemSetTitle(item, vscribeLiteral(r.title));
    vmenuItemSetMnemonic(item, r.mnemonic);
    vmenuItemSetAccelerator(item, r.key);
    char text[64];
    vmswmenuEntryText(item, text, sizeof text);
    EXPECT_STREQ(text, r.text);
    vinstanceDestroy(item);
  }
  // As mirrored: the platform reads the "&" of "Save & Quit" as a mark too.
  win::HMENU file = popupOf(menuAt(0));
  EXPECT_EQ(win::GetMenuItemCount(file), 6);
  EXPECT_EQ(win::GetMenuItemID(file, 1), 0u) << "a separator has no identifier";
  EXPECT_EQ(win::GetSubMenu(file, 4), popupOf(vmenuGetItemSubMenu(vmenuItemListAt(&menuAt(0)->items, 4))));
  EXPECT_TRUE(win::GetMenuState(popupOf(menuAt(1)), 1, win::MF_BYPOSITION) & win::MF_GRAYED) << "Paste is disabled";
}

TEST_F(Bars, IdentifiersRunOutAndComeBackOneByOne) {
  start("win95", true);
  vmenu* edit = menuAt(1);
  vmswmenuBar* b = bar->native;
  std::uint32_t first = b->next;
  int room = int(vmswmenuEND_ID - first);
  for (int i = 0; i < room; ++i) {
    vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
    vmenuAppendItem(edit, item);
  }
  EXPECT_EQ(b->next, vmswmenuEND_ID);
  vmenuItem* extra = vmenuItemCreate(vmenuGetDefaultItemClass());
  bool raised = false;
  vexGuard([&] { vmenuAppendItem(edit, extra); }, [&](vexHandler&) {
    raised = std::strcmp(vexGetCurrentException()->message, "Too many menu items, no more IDs") == 0;
  });
  EXPECT_TRUE(raised) << "the 60,417th identifier";
  if (extra->owner) vmenuRemoveItem(edit, extra);
  vinstanceDestroy(extra);
  // One item goes: its identifier is the next one handed out.
  vmenuItem* gone = vmenuItemListAt(&edit->items, 100);
  std::uint32_t freed = win::GetMenuItemID(popupOf(edit), 100);
  vmenuRemoveItem(edit, gone);
  vinstanceDestroy(gone);
  vmenuItem* again = vmenuItemCreate(vmenuGetDefaultItemClass());
  vmenuAppendItem(edit, again);
  int last = vmenuItemListCount(&edit->items) - 1;
  EXPECT_EQ(win::GetMenuItemID(popupOf(edit), last), freed);
}

TEST_F(Bars, CommandsInTheOldPlatformModeAndExclusiveToggles) {
  start("win95", true);
  vmenu* file = menuAt(0);
  vmenu* edit = menuAt(1);
  auto id = [this](vmenu* m, int i) { return win::GetMenuItemID(popupOf(m), i); };
  auto send = [this](std::uint32_t command, int fromAccelerator) {
    win::SendMessageA(hwnd(), win::WM_COMMAND, win::WPARAM(command | (fromAccelerator << 16)), 0);
  };
  _vmswaccelForceOldMode(1);
  send(id(edit, 1), 1);  // "Paste" is disabled
  send(id(edit, 0), 1);
  _vmswaccelForceOldMode(-1);
  send(id(file, 2), 0);  // "Near", on: stays on
  send(id(file, 3), 0);  // "Far", off: on, and "Near" off
  win::SendMessageA(hwnd(), win::WM_COMMAND, id(file, 0), 1);  // a control's notification
  EXPECT_EQ(trace, (std::vector<std::string>{"Cut kind 8 key 0 op", "Near kind 2 op", "Far kind 2 op"}));
  EXPECT_FALSE(vmenuItemIsToggleOn(vmenuItemListAt(&file->items, 2)));
  EXPECT_TRUE(vmenuItemIsToggleOn(vmenuItemListAt(&file->items, 3)));
  EXPECT_TRUE(win::GetMenuState(popupOf(file), 3, win::MF_BYPOSITION) & win::MF_RADIOCHECK) << "Win95: a radio mark";
}

TEST_F(Bars, StoredFlagsSizesAndMenusLeavingTheNativeBar) {
  start("win95", true);
  EXPECT_EQ(bar->barFlags & (vmenubarLAST_RIGHT | vmenubarGG | vmenubarGGD), vmenubarLAST_RIGHT | vmenubarGG)
      << "0x20 on loading sets the first flag";
  vresource mem = vrstoreCreateMemory();
  vresource stored = vrstoreCreate(mem, N("Bar"), vresDICTIONARY);
  vobjectAttributedOf(bar)->store(bar, stored);
  EXPECT_EQ(vresourceGetInteger(stored, N("vmenubarFlags")), 1);
  vrstoreCloseFile(mem);
  int w = -1, h = -1;
  vdialogGetItemNaturalSize(bar, &w, &h);
  EXPECT_EQ(w + h, 0) << "the native bar takes no room in the window";
  // A menu leaves: its entry, its pop-up and its items' identifiers go.
  vmenu* edit = menuAt(1);
  std::uint32_t cut = win::GetMenuItemID(popupOf(edit), 0);
  vmenubarRemoveMenu(bar, edit);
  EXPECT_EQ(win::GetMenuItemCount(bar->native->bar), 1);
  EXPECT_EQ(edit->mirror, nullptr);
  EXPECT_EQ(vdictGet(bar->native->ids, reinterpret_cast<const void*>(std::uintptr_t(cut))), nullptr);
  vmenubarAppendMenu(bar, edit);
  vmenubarMoveMenu(bar, edit, 0);
  EXPECT_EQ(win::GetSubMenu(bar->native->bar, 0), popupOf(edit));
  EXPECT_EQ(vmenubarAt(bar, 0), edit);
  // Closed, the window has no menu line.
  vdialogCloseItem(bar);
  EXPECT_EQ(win::GetMenu(hwnd()), nullptr);
  EXPECT_EQ(bar->native, nullptr);
}

TEST_F(Bars, AFrameworkDrawnBarMeasuresItsTitles) {
  start("win95", false);
  EXPECT_FALSE(vmenubarIsNative(bar));
  EXPECT_EQ(win::GetMenu(hwnd()), nullptr);
  vmenubar* empty = vmenubarCreate();
  EXPECT_EQ(empty->rect.width, 19);
  EXPECT_EQ(empty->rect.height, 19);
  int inset = vdialogItemClassOf(empty)->focusInset;
  int w, h, nw, nh;
  vdialogGetItemMinSize(empty, &w, &h);
  vdialogGetItemNaturalSize(empty, &nw, &nh);
  EXPECT_EQ(w, 2 * empty->leftSpacing + 12 + 2 * inset) << "the spacings and the right margin without menus";
  EXPECT_EQ(nw, 12);
  EXPECT_EQ(h, empty->titleHeight + 2 * inset);
  EXPECT_EQ(nh, empty->titleHeight + inset);
  vinstanceDestroy(empty);
  // Each title adds its text and two spacings of half the font height.
  vdialogGetItemNaturalSize(bar, &nw, &nh);
  int sum = 0;
  for (int i = 0; i < vmenubarCount(bar); ++i) {
    vmenu* m = vmenubarAt(bar, i);
    sum += int((std::int64_t(vfontGetCharsWidth(vdialogItemClassOf(bar)->font ? vdialogItemClassOf(bar)->font
                                                                               : vapplicationGetFont(vapplicationGetCurrent()),
                                                 m->title, int(std::strlen(m->title)))) + 0x8000) >> 16);
    EXPECT_EQ(bar->edges[i], bar->rect.x + sum + (i + 1) * 2 * bar->leftSpacing);
  }
  EXPECT_EQ(nw, 12 + sum + vmenubarCount(bar) * 2 * bar->leftSpacing);
}

}  // namespace

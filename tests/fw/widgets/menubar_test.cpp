// Menu bars on the native road: accelerator tables, the Windows menu
// layer's entries and identifiers, and a bar whose menus are chosen by
// clicks and keys injected into the headless platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/domains/mainview.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/accel.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menubar_internal.h"
#include "fw/widgets/menus/mswmenu.h"
#include "fw/data/btree.h"
#include "platform/backend/input.h"
#include "platform/win/kernel.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/look_support.h"
#include "tests/fw/widgets/menu_support.h"
#include "tests/support/png_compare.h"

namespace {

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

// With no host modifier for the command key, its entries would take the
// bare letter from every text item: left out, until the preference names one.
TEST(AcceleratorTables, CommandKeysNoModifierTypesAreLeftOut) {
  for (const char* commandKey : {"", "control"}) {
    SCOPED_TRACE(commandKey);
    FreshContext context({{"commandkey", commandKey}});
    vdict* keys = vdictCreate(vdictHashPointer);
    auto id = [](std::uintptr_t v) { return reinterpret_cast<const void*>(v); };
    vdictStore(keys, id(1030), id(0x006D0008));  // Cmd+m
    vdictStore(keys, id(1031), id(0x006F0002));  // Ctrl+o
    _vmswaccelForceOldMode(1);
    vmswaccelTable t = CreateMSWAccelTable(keys);
    _vmswaccelForceOldMode(-1);
    ASSERT_TRUE(t.entries);
    std::vector<int> ids;
    for (auto* e = static_cast<win::ACCEL*>(t.handle); e->cmd; ++e) ids.push_back(e->cmd);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, *commandKey ? std::vector<int>({1030, 1031}) : std::vector<int>({1031}));
    vmswaccelDestroy(&t);
    vdictDestroy(keys);
  }
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

  bool inDialog = false;
  std::uint16_t extraDecoration = 0;  // added before the window opens
  // dialog: the bar along the top of a dialog, which routes pointer and
  // keys to its items; else in a plain window.
  void start(const char* laf, bool native, bool dialog = false) {
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
    inDialog = dialog;
    bar = static_cast<vmenubar*>(vobjectLoad(vrstoreGet(root, N("MenuBar"))));
    if (dialog) {
      vdialog* d = vdialogCreate();
      window = d;
      items = d->items;
      vdialogAppendItem(d, bar);
    } else {
      window = vwindowCreate();
      items = vdialogItemListCreate();
      vdialogItemListSetOwner(items, window, &vdialogItemListWindowOwner);
      vdialogItemListAppend(items, bar);
    }
    vwindowSetTitleScribe(window, vscribeLiteral("barred"));
    window->rect = {100, 200, 400, 300};
    window->decoration |= extraDecoration;
    vwindowOpen(window);
    win::SetActiveWindow(hwnd());
    win::SetFocus(hwnd());
    vdialogOpenItem(bar);
    drain();
    if (dialog) {
      int w, h;
      vdialogGetItemNaturalSize(bar, &w, &h);
      vrect strip = {0, std::int16_t(window->rect.height - h), window->rect.width, std::int16_t(h)};
      vdialogSetItemRect(bar, &strip);
      settle();
    }
  }
  static void settle() {
    drain();
    veventProcessPending(1, 0);
    drain();
  }
  void TearDown() override { finish(); }
  void finish() {
    if (items && !inDialog) vinstanceDestroy(items);  // with the bar
    if (window) vwindowDestroy(window);
    items = nullptr;
    window = nullptr;
    bar = nullptr;
    if (root) vrstoreCloseFile(root);
    root = 0;
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

std::vector<std::string> barPresses;

// Presses over the native menu line reach the bar as button events in
// window coordinates (above the client area); the line still tracks.
TEST_F(Bars, PressesOverTheNativeMenuLineReachTheBar) {
  start("win95", true);
  ASSERT_TRUE(vmenubarIsNative(bar));
  vdialogItemClassRec* c = vdialogItemClassOf(bar);
  auto savedDown = c->buttonDown, savedUp = c->buttonUp;
  auto note = [](const char* what, vdialogItem* item, vevent* e) {
    barPresses.push_back(std::string(what) + " " + std::to_string(veventGetButton(e)) + " " +
                         std::to_string(veventGetX(e) >= 0 && veventGetX(e) < item->rect.width + 400) + " " +
                         std::to_string(veventGetY(e) >= 300));
  };
  static decltype(+note) record = note;
  static decltype(savedDown) down = savedDown;
  static decltype(savedUp) up = savedUp;
  c->buttonDown = [](vdialogItem* item, vevent* e) { record("down", item, e); return down(item, e); };
  c->buttonUp = [](vdialogItem* item, vevent* e) { record("up", item, e); return up(item, e); };
  barPresses.clear();
  auto title = [this](int i) { return [this, i] { return centre(hwnd(), bar->native->bar, i); }; };
  win::HMENU file = popupOf(menuAt(0));
  bool tracked = false;
  run({[&] { win::test::MouseDown(title(1)(), win::backend::Button::right); },
       [&] { win::test::MouseUp(title(1)(), win::backend::Button::right); }, button(title(0), true),
       [&] {
         win::RECT r{};
         tracked = win::test::MenuEntryRect(hwnd(), file, 0, &r);
       },
       button(title(0), false)});
  EXPECT_TRUE(tracked) << "the platform opened the menu after the bar heard the press";
  c->buttonDown = savedDown;
  c->buttonUp = savedUp;
  EXPECT_EQ(barPresses, (std::vector<std::string>{"down 2 1 1", "up 2 1 1", "down 0 1 1"}));
  EXPECT_TRUE(trace.empty()) << "nothing chosen";
}

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

// The window going before its native bar (the main window closed):
// detaching the bar finds no window to keep the client area of, and
// leaves the other windows where they are.
TEST_F(Bars, ANativeBarLeavesAWindowThatIsGone) {
  start("win95", true);
  ASSERT_TRUE(vmenubarIsNative(bar));
  vwindow* other = vwindowCreate();
  other->rect = {500, 100, 120, 90};
  vwindowOpen(other);
  settle();
  win::RECT before{}, after{};
  ASSERT_TRUE(win::GetWindowRect(other->native->hwnd, &before));
  win::HWND gone = hwnd();
  ASSERT_TRUE(win::DestroyWindow(gone));
  vdialogCloseItem(bar);
  EXPECT_EQ(bar->native, nullptr);
  EXPECT_FALSE(bar->barFlags & vmenubarNATIVE_INSTALLED);
  ASSERT_TRUE(win::GetWindowRect(other->native->hwnd, &after));
  EXPECT_EQ(std::vector<long>({before.left, before.top, before.right, before.bottom}),
            std::vector<long>({after.left, after.top, after.right, after.bottom}));
  vwindowDestroy(other);
}

TEST_F(Bars, AFrameworkDrawnBarMeasuresItsTitles) {
  start("win95", false);
  EXPECT_FALSE(vmenubarIsNative(bar));
  EXPECT_EQ(win::GetMenu(hwnd()), nullptr);
  EXPECT_NE(window->flags & vwindowWANTS_MOTION, 0) << "a Win95 bar follows the pointer while tracking";
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

// A larger font for the whole application: the titles are measured again.
TEST_F(Bars, TheApplicationsFontMeasuresTheTitlesAgain) {
  start("windows", false, true);  // no class font of its own in this look
  int before = bar->edges[vmenubarCount(bar) - 1];
  int w0, h0;
  vdialogGetItemNaturalSize(bar, &w0, &h0);
  vapplication* app = vapplicationGetCurrent();
  vfont* saved = vapplicationGetFont(app);
  vapplicationClassOf(app)->setFont(app, vfontFindScribe(vscribeLiteral("family:helvetica-size:24")));
  int w1, h1;
  vdialogGetItemNaturalSize(bar, &w1, &h1);
  EXPECT_GT(w1, w0);
  EXPECT_GT(h1, h0);
  EXPECT_GT(bar->edges[vmenubarCount(bar) - 1], before);
  vapplicationClassOf(app)->setFont(app, saved);
}

// Beside other items a bar keeps no spacing, except below and above it
// outside multiple documents and native bars.
TEST_F(Bars, SpacingBesideABarAndItsMenusWindow) {
  start("win95", false);
  auto* look = const_cast<vlaf*>(vlafGetCurrent());
  std::uint32_t saved = look->flags;
  vdialogItem* other = vdialogItemCreate(vdialogItemGetDefaultClass());
  auto base = [&](int side) { return vdialogItemGetDefaultClass()->spacing(bar, other, side); };
  struct Row {
    std::uint32_t flags;
    int side;
    bool asBase;
  } rows[] = {{0, 4, true},  {0, 5, true},  {0, 1, false}, {0, 2, false}, {0, 3, false}, {0, 6, false},
              {vlafMDI, 4, false}, {vlafNATIVE_MENU_BAR, 5, false}, {vlafMDI | vlafNATIVE_MENU_BAR, 4, false}};
  for (const Row& r : rows) {
    look->flags = (saved & ~(vlafMDI | vlafNATIVE_MENU_BAR)) | r.flags;
    EXPECT_EQ(vdialogGetItemSpacing(bar, other, r.side), r.asBase ? base(r.side) : 0) << r.flags << " " << r.side;
  }
  look->flags = saved;
  EXPECT_NE(base(4), 0) << "the rows above tell the two apart";
  vinstanceDestroy(other);
  // Moved into another window's list, the menus go with the bar.
  vwindow* second = vwindowCreate();
  vdialogItemList* list = vdialogItemListCreate();
  vdialogItemListSetOwner(list, second, &vdialogItemListWindowOwner);
  vdialogCloseItem(bar);
  vobjectListRemove(items, bar);
  vdialogItemListAppend(list, bar);
  for (int i = 0; i < vmenubarCount(bar); ++i) EXPECT_EQ(static_cast<vwindow*>(menuAt(i))->parent, second);
  vobjectListRemove(list, bar);
  vdialogItemListAppend(items, bar);
  EXPECT_EQ(static_cast<vwindow*>(menuAt(0))->parent, window);
  vinstanceDestroy(list);
  vwindowDestroy(second);
}

}  // namespace

namespace {

// ---- Both roads, and the framework-drawn bar at work.
struct Roads : Bars {
  // The screen point in the middle of title i, on either road.
  win::POINT titlePoint(int i) {
    if (vmenubarIsNative(bar)) return centre(hwnd(), bar->native->bar, i);
    int left = i == 0 ? bar->rect.x + bar->leftMargin : bar->edges[i - 1];
    if ((bar->barFlags & vmenubarLAST_RIGHT) && i == vmenubarCount(bar) - 1 && bar->edgesEnd - bar->edges > i + 1)
      return windowPoint((bar->edges[i] + bar->edges[i + 1]) / 2, bar->rect.y + bar->rect.height / 2);
    return windowPoint((left + bar->edges[i]) / 2, bar->rect.y + bar->rect.height / 2);
  }
  // A point of the window (from the bottom left) on the screen.
  win::POINT windowPoint(int x, int y) {
    win::POINT p{x, window->rect.height - 1 - y};
    win::ClientToScreen(hwnd(), &p);
    return p;
  }
  // The middle of entry i of menu m, shown natively or by the framework.
  win::POINT entryPoint(vmenu* m, int i) {
    if (vmenubarIsNative(bar)) return centre(hwnd(), popupOf(m), i);
    vrect r;
    vmenuItemListItemRect(&m->items, i, &r, nullptr);
    win::POINT p{r.x + r.width / 2, m->rect.height - 1 - (r.y + r.height / 2)};
    win::ClientToScreen(m->native->hwnd, &p);
    return p;
  }
  static void tap(win::UINT vk) {
    win::test::KeyDown(vk);
    win::test::KeyUp(vk);
    settle();
  }
  bool isActive() const { return bar->barFlags & vmenubarACTIVE; }
  // A document of a main view that is not a document area (the window
  // stays apart from the main window), holding the keyboard.
  vdialog* openDocumentApart(vmainview** view) {
    *view = vmainviewCreate();
    vrect area{0, 0, 400, 200};
    vdialogSetItemRect(*view, &area);
    vdialogAppendItem(static_cast<vdialog*>(window), *view);
    vdialog* doc = vdialogCreate();
    doc->rect = {150, 150, 200, 120};
    vmainviewAddWindow(*view, doc);
    vwindowOpen(doc);
    win::SetActiveWindow(doc->native->hwnd);
    win::SetFocus(doc->native->hwnd);
    settle();
    return doc;
  }
  static void closeDocumentApart(vmainview* view, vdialog* doc) {
    vmainviewRemoveWindow(view, doc);
    vwindowClose(doc);
    vinstanceDestroy(doc);
    settle();
  }
  // The window's top left with what lies over it (a menu), from the screen,
  // from left pixels left of the window.
  win::test::Image topOfWindow(int left = 0) {
    win::test::Image screen = win::test::ScreenImage();
    win::RECT wr{};
    win::GetWindowRect(hwnd(), &wr);
    win::test::Image shot;
    shot.width = 220;
    shot.height = std::min(int(wr.bottom - wr.top), 160);
    for (int y = 0; y < shot.height; ++y)
      for (int x = 0; x < shot.width; ++x)
        shot.px.push_back(screen.px[std::size_t((wr.top + y) * screen.width + wr.left - left + x)]);
    return shot;
  }
  bool shown(int i) { return vwindowIsOpen(menuAt(i)); }
  // The bar's issue selector with a key event of this tag and key value.
  int issue(int selector, vname tag, std::uint32_t key = 0) {
    vevent* e = veventCreateKeyDown(window, 0, 0, 0, key & 0xFFFF, key >> 16, 0);
    veventSetBinding(e, tag);
    vdict context;
    vdictInit(&context, vdictHashName);
    vdictStore(&context, vname_Event, e);
    int answer = vobjectAttributedOf(bar)->issueSelector(bar, selector, &context);
    vdictFinish(&context);
    veventDestroy(e);
    settle();
    return answer;
  }
};

// One script on both roads: a title pressed and an item released on, Alt+F
// Down Down Enter, and two accelerators.
TEST_F(Roads, BothRoadsChooseTheSameItemsWithTheSameEvents) {
  std::vector<std::string> traces[2];
  for (bool native : {true, false}) {
    SCOPED_TRACE(native ? "native" : "framework");
    start("win95", native, true);
    ASSERT_EQ(vmenubarIsNative(bar), native);
    auto title = [this] { return titlePoint(0); };
    auto open = [this] { return entryPoint(menuAt(0), 0); };
    run({button(title, true), [open] { win::test::MouseMove(open()); }, button(open, false)});
    // Up from the top (native) or from nothing current (Win95's own menus) both reach the last item.
    run({key(0x12, true), key('F', true, 'f'), key('F', false), key(0x12, false), key(0x26, true), key(0x26, false),
         key(0x0D, true, 13), key(0x0D, false)});
    run({key(0x11, true), key('O', true, 15), key('O', false), key(0x10, true), key(0x74, true), key(0x74, false),
         key(0x10, false), key(0x11, false)});
    EXPECT_FALSE(shown(0));
    EXPECT_FALSE(isActive()) << "every choice leaves keyboard mode";
    traces[native ? 0 : 1] = trace;
    finish();
  }
  auto tags = [](const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines) out.push_back(l.substr(0, l.find(' ')));
    return out;
  };
  EXPECT_EQ(tags(traces[0]), tags(traces[1]));
  EXPECT_EQ(traces[0], (std::vector<std::string>{"Open kind 2 op", "Quit kind 2 op", "Open kind 8 key 6f0002 op",
                                                 "Deep kind 8 key fcc20006 op"}));
  // The framework's menu ends on the Enter key itself; the native road
  // reports every choice made inside a menu as a release.
  EXPECT_EQ(traces[1], (std::vector<std::string>{"Open kind 2 op", "Quit kind 8 key fc0d0000 op",
                                                 "Open kind 8 key 6f0002 op", "Deep kind 8 key fcc20006 op"}));
}

TEST_F(Roads, TheMenuBarKeyArrowsAndEscapeDriveKeyboardMode) {
  start("win95", false, true);
  tap(win::VK_LEFT);
  EXPECT_FALSE(isActive()) << "Left is not the bar's while inactive";
  // F10 pressed and released with nothing between: title 0, no menu.
  win::test::KeyDown(win::VK_F10);
  settle();
  EXPECT_FALSE(isActive()) << "the press alone does nothing";
  win::test::KeyUp(win::VK_F10);
  settle();
  EXPECT_TRUE(isActive());
  EXPECT_EQ(bar->current, 0);
  EXPECT_FALSE(shown(0));
  tap(win::VK_LEFT);
  EXPECT_EQ(bar->current, 1) << "Left from title 0 wraps to the last";
  tap(win::VK_RIGHT);
  EXPECT_EQ(bar->current, 0) << "Right from the last wraps to 0";
  tap(win::VK_DOWN);
  ASSERT_TRUE(shown(0));
  EXPECT_EQ(vmenuItemListGetCurrent(&menuAt(0)->items), nullptr) << "Win95 menus open with nothing current";
  tap(win::VK_RIGHT);  // from inside the menu: on to the next title, popped
  EXPECT_FALSE(shown(0));
  EXPECT_TRUE(shown(1));
  EXPECT_EQ(bar->current, 1);
  tap(win::VK_ESCAPE);
  EXPECT_FALSE(shown(1));
  EXPECT_TRUE(isActive()) << "the first Escape only closes the menu";
  tap(win::VK_ESCAPE);
  EXPECT_FALSE(isActive());
  // F10 while active leaves at once, on the press.
  tap(win::VK_F10);
  ASSERT_TRUE(isActive());
  win::test::KeyDown(win::VK_F10);
  settle();
  EXPECT_FALSE(isActive());
  win::test::KeyUp(win::VK_F10);
  settle();
  EXPECT_FALSE(isActive()) << "nor does its release come back";
  // Another key between press and release: nothing.
  win::test::KeyDown(win::VK_F10);
  tap(win::VK_SHIFT);
  win::test::KeyUp(win::VK_F10);
  settle();
  EXPECT_FALSE(isActive());
  EXPECT_TRUE(trace.empty());
}

// A menu opened under its title that would run past the screen's foot
// takes the room under the title and scrolls under its lower arrow, in
// every look that draws its bar itself; opened where it fits, it is whole.
struct FootOfTheScreen : Roads {
  void opensUnderItsTitle(const char* laf) {
    SCOPED_TRACE(laf);
    start(laf, false, true);
    vmenu* m = menuAt(0);
    const vrect& root = vwindowGetRoot()->rect;
    // Items enough for most of the screen, not all of it.
    while (vmenuItemListCount(&m->items) < 28) {
      vmenuItem* item = vmenuItemCreate(vmenuGetDefaultItemClass());
      vmenuItemSetTitle(item, vscribeLiteral("More"));
      vmenuAppendItem(m, item);
    }
    win::MoveWindow(hwnd(), 100, 0, 400, 300, 1);
    settle();
    vmenubarSelectTitle(bar, 0, nullptr);
    vmenubarPopupMenu(bar, nullptr);
    settle();
    ASSERT_TRUE(shown(0));
    const int whole = m->rect.height;
    ASSERT_LT(whole, root.height - 100) << "the menu must fit a screen where it opens";
    EXPECT_FALSE(vmenuItemListGetGeometry(&m->items)->scrollFlags & vmenuScrollLOWER_ARROW);
    vmenubarPopdownMenu(bar);
    vmenubarEnd(bar);
    settle();
    // The window low on the screen: the title's underside is nearer the
    // foot than the menu is tall, and its top still in the upper half.
    win::MoveWindow(hwnd(), 100, root.height / 2 - bar->rect.height - 8, 400, 300, 1);
    settle();
    vmenubarSelectTitle(bar, 0, nullptr);
    vmenubarPopupMenu(bar, nullptr);
    settle();
    ASSERT_TRUE(shown(0));
    EXPECT_GE(m->rect.y, root.y) << "inside the screen";
    EXPECT_LT(m->rect.height, whole);
    const vmenuItemGeometry* g = vmenuItemListGetGeometry(&m->items);
    EXPECT_TRUE(g->scrollFlags & vmenuScrollLOWER_ARROW);
    EXPECT_LT(g->endVisible, g->count) << "the last items lie beyond the arrow";
    vmenubarPopdownMenu(bar);
    vmenubarEnd(bar);
    settle();
    finish();
  }
};
// Each look in a test of its own: the looks load their pictures once.
TEST_F(FootOfTheScreen, WindowsLooks) {
  for (const char* laf : {"windows", "win95"}) opensUnderItsTitle(laf);
}
TEST_F(FootOfTheScreen, Motif) { opensUnderItsTitle("motif"); }
TEST_F(FootOfTheScreen, Cua) { opensUnderItsTitle("cua"); }
TEST_F(FootOfTheScreen, OpenLook) { opensUnderItsTitle("openlook"); }

TEST_F(Roads, MnemonicsAndTheSelectorTable) {
  start("win95", false, true);
  tap('E');
  EXPECT_FALSE(shown(1)) << "a bare letter is not the bar's while inactive";
  run({key(0x12, true), key('E', true, 'e'), key('E', false), key(0x12, false)});
  EXPECT_TRUE(shown(1)) << "Alt+E";
  tap(win::VK_ESCAPE);
  EXPECT_TRUE(isActive());
  tap('F');
  EXPECT_TRUE(shown(0)) << "the bare letter while active";
  tap(win::VK_ESCAPE);
  tap(win::VK_ESCAPE);
  ASSERT_FALSE(isActive());
  const std::uint32_t altF = 0x00660001, ctrlF = 0x00660002, ctrlO = 0x006F0002;
  struct Row {
    int selector;
    vname tag;
    std::uint32_t key;
    int answer;
    bool activeAfter;
  } rows[] = {
      {3, vname_Abandon, 0, 0, false},   // inactive: refused
      {3, vname_Confirm, 0, 0, false},   //
      {3, N("Other"), 0, 1, false},      // any other tag is consumed
      {3, vname_Select, 0x00770002, 0, false},  // no menu bound to Ctrl+W
      {5, vname_Menu, ctrlF, 0, false},  // a mnemonic with other modifiers
      {11, vname_Right, 0, 0, false},    // inactive
      {13, vname_Down, 0, 0, false},     //
      {6, vname_MenuBar, 0, 1, true},    // title 0, active
      {12, vname_Up, 0, 1, true},        // pops it
      {3, vname_Confirm, 0, 1, false},   // with the menu up: down and out
      {5, vname_Menu, altF, 1, true},    // Alt+F
      {20, N("Undo"), 0, 1, true},       // consumed while active
      {6, vname_MenuBar, 0, 1, false},   // leaves
      {3, vname_Select, ctrlO, 1, false},  // chosen at once, no menu
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.selector);
    EXPECT_EQ(issue(r.selector, r.tag, r.key), r.answer);
    EXPECT_EQ(isActive(), r.activeAfter);
  }
  EXPECT_FALSE(shown(0));
  EXPECT_EQ(trace, (std::vector<std::string>{"Open kind 8 key 6f0002 op"}));
  vdialogCloseItem(bar);
  bool raised = false;
  vexGuard([&] { vdialogGetItemMnemonicMap(bar); }, [&](vexHandler&) { raised = true; });
  EXPECT_TRUE(raised) << "the bar's key dictionary is not there while closed";
  EXPECT_EQ(vwindowLookupKeyOverride(window, 0x00660001), nullptr) << "Alt+F no longer comes to the bar";
}

// The keyboard-mode edge cases in every look: Alt+letter opens a menu
// whether or not the bar is active, the bare letter only while active;
// Escape with a menu open keeps the title (Open Look leaves at once); Left
// and Right wrap; an accelerator chooses without opening; a click elsewhere
// in the window leaves keyboard mode.
struct KeyboardModeInEachLook : Roads {
  void edgeCases(const char* laf) {
    SCOPED_TRACE(laf);
    start(laf, false, true);
    const bool openLook = std::string(laf) == "openlook";
    tap('E');
    EXPECT_FALSE(shown(1)) << "a bare letter is not the bar's while inactive";
    run({key(0x12, true), key('E', true, 'e'), key('E', false), key(0x12, false)});
    ASSERT_TRUE(shown(1)) << "Alt+E";
    tap(win::VK_ESCAPE);
    EXPECT_FALSE(shown(1));
    EXPECT_EQ(isActive(), !openLook) << "Escape with a menu open";
    if (!openLook) {
      tap('F');
      EXPECT_TRUE(shown(0)) << "the bare letter while active";
      tap(win::VK_ESCAPE);
      tap(win::VK_ESCAPE);
      EXPECT_FALSE(isActive()) << "a second Escape leaves";
    }
    EXPECT_EQ(issue(5, vname_Menu, 0x00660002), 0) << "Ctrl+F is refused";
    EXPECT_FALSE(shown(0));
    EXPECT_EQ(issue(6, vname_MenuBar), 1);
    ASSERT_TRUE(isActive());
    if (openLook) {
      EXPECT_TRUE(shown(0)) << "Open Look drops title 0's menu";
      vmenubarPopdownMenu(bar);
      settle();
    }
    EXPECT_EQ(issue(10, vname_Left), 1);
    EXPECT_EQ(bar->current, vmenubarCount(bar) - 1) << "Left from title 0 wraps to the last";
    EXPECT_EQ(issue(11, vname_Right), 1);
    EXPECT_EQ(bar->current, 0) << "Right from the last wraps to 0";
    EXPECT_EQ(issue(3, vname_Select, 0x006F0002), 1) << "Ctrl+O";
    EXPECT_FALSE(shown(0)) << "an accelerator opens no menu";
    EXPECT_FALSE(isActive());
    EXPECT_EQ(trace, (std::vector<std::string>{"Open kind 8 key 6f0002 op"}));
    issue(6, vname_MenuBar);
    if (openLook) {
      vmenubarPopdownMenu(bar);
      settle();
    }
    ASSERT_TRUE(isActive());
    win::test::Click(windowPoint(200, 100));
    settle();
    EXPECT_FALSE(isActive()) << "a click elsewhere in the window";
    finish();
  }
};
TEST_F(KeyboardModeInEachLook, WindowsLooks) {
  for (const char* laf : {"windows", "win95"}) edgeCases(laf);
}
TEST_F(KeyboardModeInEachLook, MotifAndCua) {
  for (const char* laf : {"motif", "cua"}) edgeCases(laf);
}
TEST_F(KeyboardModeInEachLook, OpenLook) { edgeCases("openlook"); }

TEST_F(Roads, PointerAlongTheStripAndOutsideTheBar) {
  start("win95", false, true);
  win::test::MouseDown(titlePoint(0));
  settle();
  ASSERT_TRUE(shown(0));
  EXPECT_TRUE(isActive());
  EXPECT_EQ(vmenuGetOpenState(menuAt(0)), reinterpret_cast<vmenuItem*>(bar));
  // Dragged along the strip onto the next title: its menu takes over.
  win::test::MouseMove(titlePoint(1));
  settle();
  EXPECT_FALSE(shown(0));
  EXPECT_TRUE(shown(1));
  EXPECT_EQ(bar->current, 1);
  win::test::MouseUp(titlePoint(1));
  settle();
  EXPECT_TRUE(shown(1)) << "released on its own title the menu stays";
  win::test::Click(windowPoint(200, 100));
  settle();
  EXPECT_FALSE(shown(1));
  EXPECT_FALSE(isActive());
  // Keyboard mode without a menu: a click elsewhere in the window ends it.
  tap(win::VK_F10);
  ASSERT_TRUE(isActive());
  win::test::Click(windowPoint(200, 100));
  settle();
  EXPECT_FALSE(isActive());
  // ... and so does another window becoming active.
  tap(win::VK_F10);
  ASSERT_TRUE(isActive());
  vwindow* other = vwindowCreate();
  other->rect = {600, 100, 100, 100};
  vwindowOpen(other);
  win::SetActiveWindow(other->native->hwnd);
  settle();
  EXPECT_FALSE(isActive());
  vwindowDestroy(other);
  EXPECT_TRUE(trace.empty());
}

TEST_F(Roads, MotifPushesTheLastTitleRight) {
  start("motif", false, true);
  EXPECT_EQ(window->flags & vwindowWANTS_MOTION, 0) << "only Win95 bars ask for motion";
  ASSERT_TRUE(bar->barFlags & vmenubarLAST_RIGHT);
  ASSERT_EQ(bar->edgesEnd - bar->edges, 3) << "an extra edge for the pushed title";
  EXPECT_EQ(bar->edges[2], bar->rect.x + bar->rect.width - bar->rightMargin - vdialogItemClassOf(bar)->focusInset);
  win::test::Click(windowPoint((bar->edges[0] + bar->edges[1]) / 2, bar->rect.y + bar->rect.height / 2));
  settle();
  EXPECT_FALSE(shown(0) || shown(1)) << "between the titles: nothing";
  EXPECT_FALSE(isActive());
  win::test::MouseDown(titlePoint(1));
  settle();
  ASSERT_TRUE(shown(1));
  vrect title = bar->currentRect;
  vwindowTranslateRect(window, nullptr, &bar->currentRect, &title);
  EXPECT_EQ(menuAt(1)->rect.x + menuAt(1)->rect.width, title.x + title.width) << "right-aligned under its title";
  win::test::MouseUp(titlePoint(1));
  tap(win::VK_ESCAPE);
  tap(win::VK_ESCAPE);
  EXPECT_FALSE(isActive());
}

// The CUA bar keeps its titles apart and inside its edges; Open Look's
// oblongs stand side by side with a gap, the first off the window's edge.
// (Each look in a test of its own: the look's images are the process's.)
struct Titles : Roads {
  void standApart(const char* laf) {
    start(laf, false, true);
    win::test::Image shot = win::test::WindowImage(hwnd());
    if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + "titles_" + laf + ".png", shot);
    auto at = [&](int x, int y) { return shot.px[std::size_t(y) * std::size_t(shot.width) + std::size_t(x)] & 0xFFFFFF; };
    int top = shot.height - (bar->rect.y + bar->rect.height), bottom = shot.height - 1 - bar->rect.y;
    int left = bar->rect.x, right = bar->rect.x + bar->rect.width - 1;
    bool cua = std::string(laf) == "cua";
    // CUA: the letters (dark) within the frame; Open Look: anything off the ground.
    std::uint32_t ground = at(right - 1, (top + bottom) / 2);
    if (cua) ground = at(left + 1, top + 1);
    auto ink = [&](std::uint32_t c) {
      if (!cua) return c != ground;
      int l = int((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) / 3;
      return l < 80;
    };
    if (cua)
      for (int x = left + 1; x < right; ++x) {
        EXPECT_FALSE(ink(at(x, top + 1))) << "a letter on the top edge at x " << x;
        EXPECT_FALSE(ink(at(x, bottom - 1))) << "a letter on the bottom edge at x " << x;
      }
    // Groups of inked columns, split by a gap of clear columns.
    const int gap = cua ? 4 : 1;
    int groups = 0, clear = gap, first = -1, lastInk = -1;
    for (int x = left + 1; x < right; ++x) {
      bool any = false;
      for (int y = top + 1; y < bottom; ++y) any = any || ink(at(x, y));
      if (!any) {
        ++clear;
        continue;
      }
      if (clear >= gap) ++groups;
      if (first < 0) first = x;
      clear = 0;
      lastInk = x;
    }
    EXPECT_EQ(groups, vmenubarCount(bar)) << "titles run together";
    if (!cua) {
      EXPECT_GE(first, left + 3) << "the first oblong on the window's edge";
    } else {
      EXPECT_LT(lastInk, right - 2) << "the last title cut at the right end";
    }
    finish();
  }
};
TEST_F(Titles, CuaTitlesStandApartInsideTheBar) { standApart("cua"); }
TEST_F(Titles, OpenLookOblongsStandApartOffTheEdge) { standApart("openlook"); }

// With "wexlindrawmenubar" the native menu line and its pop-ups hold
// owner-drawn entries, painted by the framework.
TEST_F(Roads, OwnerDrawnEntriesArePaintedByTheFramework) {
  menuTestChooseLook("win95", true);
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("wexlindrawmenubar"), "1");
  start("win95", true, true);
  ASSERT_TRUE(vmenubarIsNative(bar));
  EXPECT_FALSE(bar->barFlags & vmenubarNATIVE_TEXT);
  EXPECT_TRUE(win::GetMenuState(popupOf(menuAt(0)), 0, win::MF_BYPOSITION) & win::MF_OWNERDRAW);
  win::test::Image shot;
  run({button([this] { return titlePoint(0); }, true), [this] { win::test::MouseMove(entryPoint(menuAt(0), 3)); },
       [] {}, [&] { shot = topOfWindow(); }});
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("wexlindrawmenubar"), "");
  if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + "menubar_ownerdrawn.png", shot);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(WIDGETS_DATA) + "/menubar_ownerdrawn.png", 8, 0));
}

// The bar active with its first menu down, in each look that draws one.
TEST_F(Roads, BarsActiveAndPoppedInEachLook) {
  // The native menu line with its pop-up, taken inside the platform's tracking
  // (first: the class takes the colours of the look it is built in).
  start("win95", true, true);
  win::test::Image shot;
  run({button([this] { return titlePoint(0); }, true), [] {}, [] {}, [&] { shot = topOfWindow(); }});
  if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + "menubar_native.png", shot);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(WIDGETS_DATA) + "/menubar_native.png", 8, 0));
  finish();
  struct Row {
    const char* laf;
    const char* png;
  } rows[] = {{"win95", "menubar_win95.png"},
              {"windows", "menubar_windows.png"},
              {"motif", "menubar_motif.png"},
              {"cua", "menubar_cua.png"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.laf);
    start(r.laf, false, true);
    win::test::MouseDown(titlePoint(0));
    settle();
    ASSERT_TRUE(shown(0));
    win::test::Image shot = topOfWindow();
    if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + r.png, shot);
    EXPECT_TRUE(test_support::MatchesPng(shot, std::string(WIDGETS_DATA) + "/" + r.png, 8, 0));
    win::test::MouseUp(titlePoint(0));
    tap(win::VK_ESCAPE);
    tap(win::VK_ESCAPE);
    EXPECT_FALSE(shown(0));
    finish();
  }
}

// A title's highlight leaves nothing behind: after its menu opened by a press
// and by Alt+F and closed again, the bar is as it was before.
TEST_F(Roads, ClosedMenusLeaveTheirTitlesAsBefore) {
  for (const char* laf : {"motif", "cua"}) {
    SCOPED_TRACE(laf);
    start(laf, false, true);
    settle();
    win::test::Image before = topOfWindow();
    win::test::MouseDown(titlePoint(0));
    settle();
    ASSERT_TRUE(shown(0));
    win::test::MouseUp(titlePoint(0));
    tap(win::VK_ESCAPE);
    tap(win::VK_ESCAPE);
    ASSERT_FALSE(shown(0));
    EXPECT_FALSE(isActive());
    win::test::Image after = topOfWindow();
    if (const char* out = std::getenv("MENU_PNG")) {
      win::test::WritePng(std::string(out) + laf + "_before.png", before);
      win::test::WritePng(std::string(out) + laf + "_after.png", after);
    }
    int differ = 0;
    for (std::size_t i = 0; i < before.px.size(); ++i) differ += (before.px[i] & 0xFFFFFF) != (after.px[i] & 0xFFFFFF);
    EXPECT_EQ(differ, 0) << "pixels left changed by the closed menu";
    finish();
  }
}

// Looks without MDI keep their documents apart from the main window: Alt
// and a title's letter typed in one still drops that title's menu of the
// main window's bar, and the document keeps the keyboard.
TEST_F(Roads, AltKeysInADocumentApartReachTheMainWindowsBar) {
  for (const char* laf : {"motif", "cua"}) {
    SCOPED_TRACE(laf);
    start(laf, false, true);
    ASSERT_FALSE(vmainviewIsMDI());
    vmainview* view = nullptr;
    vdialog* doc = openDocumentApart(&view);
    win::test::KeyDown(win::VK_MENU);
    win::test::KeyDown('F');
    win::test::KeyUp('F');
    win::test::KeyUp(win::VK_MENU);
    settle();
    EXPECT_TRUE(shown(0)) << "Alt+F drops the File menu";
    tap(win::VK_ESCAPE);
    tap(win::VK_ESCAPE);
    EXPECT_FALSE(shown(0));
    closeDocumentApart(view, doc);
    finish();
  }
}

// The menu-bar key typed in a document apart acts on the main window's bar
// at its press, as it would in the main window: title 0 highlighted (and its
// menu dropped in Open Look), and a second press leaves keyboard mode.
struct DocumentApart : Roads {
  void menuBarKey(const char* laf) {
    SCOPED_TRACE(laf);
    start(laf, false, true);
    ASSERT_FALSE(vmainviewIsMDI());
    vmainview* view = nullptr;
    vdialog* doc = openDocumentApart(&view);
    const bool openLook = std::string(laf) == "openlook";
    tap(win::VK_F10);
    EXPECT_TRUE(isActive()) << "F10 in the document";
    EXPECT_EQ(bar->current, 0);
    EXPECT_EQ(shown(0), openLook);
    if (openLook) tap(win::VK_ESCAPE);  // the menu has the keys
    else tap(win::VK_F10);
    EXPECT_FALSE(isActive()) << "the second press leaves keyboard mode";
    EXPECT_FALSE(shown(0));
    EXPECT_EQ(win::GetFocus(), doc->native->hwnd) << "the document keeps the keyboard";
    closeDocumentApart(view, doc);
    finish();
  }
};
TEST_F(DocumentApart, TheMenuBarKeyReachesTheMainWindowsBarInMotifAndCua) {
  for (const char* laf : {"motif", "cua"}) menuBarKey(laf);
}
TEST_F(DocumentApart, TheMenuBarKeyReachesTheMainWindowsBarInOpenLook) { menuBarKey("openlook"); }

// Keyboard mode entered from a document apart ends when the user turns to
// another window: a press in the document, or the keyboard going to a new
// window (a notice); the Return typed there is then that window's, not the
// bar's. A menu opened over the document closes on a press there.
struct LeavingTheBar : Roads {
  // mdi: the document inside the main window, as the Windows looks keep it.
  void inLook(const char* laf, bool mdi) {
    SCOPED_TRACE(std::string(laf) + (mdi ? " inside" : " apart"));
    if (mdi) extraDecoration = vwindowDECO_TOP_LEVEL;
    start(laf, false, true);
    vmainview* view = nullptr;
    vdialog* doc = nullptr;
    if (mdi) {
      win::CLIENTCREATESTRUCT ccs{nullptr, 100};
      win::HWND client = win::CreateWindowExA(0, "MDICLIENT", nullptr, 0x52300001, 0, bar->rect.height, 400,
                                              300 - bar->rect.height, hwnd(), nullptr, nullptr, &ccs);
      vwindowSetMSWMDIClient(window, client, 0);
      doc = vdialogCreate();
      doc->decoration = vwindowDECO_DOCUMENT | 0x3F;
      doc->rect = {10, 10, 200, 150};
      doc->parent = window;
      vwindowOpen(doc);
      win::SetFocus(doc->native->hwnd);
      settle();
    } else {
      doc = openDocumentApart(&view);
    }
    ASSERT_EQ(win::GetFocus(), doc->native->hwnd);
    const bool openLook = std::string(laf) == "openlook";
    win::POINT inDoc{40, 40};
    win::ClientToScreen(doc->native->hwnd, &inDoc);
    auto altF = [] {
      win::test::KeyDown(win::VK_MENU);
      win::test::KeyDown('F');
      win::test::KeyUp('F');
      win::test::KeyUp(win::VK_MENU);
      settle();
    };
    struct Way {
      const char* what;
      bool escape;  // the menu closed by Escape first
      bool notice;  // a new window takes the keyboard, else a press in the document
    } ways[] = {{"Alt+F, Escape, a press in the document", true, false},
                {"Alt+F, a press in the document", false, false},
                {"Alt+F, Escape, a notice", true, true},
                {"Alt+F, a notice", false, true}};
    for (const Way& way : ways) {
      SCOPED_TRACE(way.what);
      altF();
      ASSERT_TRUE(shown(0));
      if (way.escape) {
        tap(win::VK_ESCAPE);
        EXPECT_FALSE(shown(0));
        EXPECT_EQ(isActive(), !openLook) << "Escape closes the menu; the title stays highlighted";
      }
      vdialog* notice = nullptr;
      if (way.notice) {
        notice = vdialogCreate();
        notice->rect = {300, 100, 150, 80};
        vwindowOpen(notice);
        win::SetActiveWindow(notice->native->hwnd);
        win::SetFocus(notice->native->hwnd);
      } else {
        win::test::Click(inDoc);
      }
      settle();
      EXPECT_FALSE(shown(0));
      EXPECT_FALSE(isActive()) << "keyboard mode outlived the turn to another window";
      tap(win::VK_RETURN);
      tap(win::VK_DOWN);
      EXPECT_FALSE(shown(0)) << "Return or Down reached the bar";
      EXPECT_FALSE(isActive());
      if (notice) {
        vwindowDestroy(notice);
        win::SetActiveWindow(mdi ? hwnd() : doc->native->hwnd);
        win::SetFocus(doc->native->hwnd);
        settle();
      }
    }
    // F10 then a press in the document: keyboard mode without a menu.
    tap(win::VK_F10);
    if (openLook) tap(win::VK_ESCAPE);
    else EXPECT_TRUE(isActive());
    win::test::Click(inDoc);
    settle();
    EXPECT_FALSE(isActive());
    EXPECT_EQ(win::GetFocus(), doc->native->hwnd);
    EXPECT_EQ(trace, std::vector<std::string>{}) << "a key ran an item";
    if (mdi) vwindowDestroy(doc);
    else closeDocumentApart(view, doc);
    finish();
    extraDecoration = 0;
  }
};
// In a document area, presses the framework never sees as its own events
// end keyboard mode too, and are then delivered: on another document's
// title bar (it takes the keyboard), on the focused document's border and
// on the empty area. Return typed after is no longer the bar's.
TEST_F(LeavingTheBar, PressesOnFramesAndTheEmptyDocumentArea) {
  for (const char* laf : {"windows", "win95"}) {
    SCOPED_TRACE(laf);
    extraDecoration = vwindowDECO_TOP_LEVEL;
    start(laf, false, true);
    extraDecoration = 0;
    win::CLIENTCREATESTRUCT ccs{nullptr, 100};
    win::HWND client = win::CreateWindowExA(0, "MDICLIENT", nullptr, 0x52300001, 0, bar->rect.height, 400,
                                            300 - bar->rect.height, hwnd(), nullptr, nullptr, &ccs);
    vwindowSetMSWMDIClient(window, client, 0);
    vdialog* docs[2];
    for (int i = 0; i < 2; ++i) {
      docs[i] = vdialogCreate();
      docs[i]->decoration = vwindowDECO_DOCUMENT | 0x3F;
      docs[i]->rect = {std::int16_t(10 + 190 * i), 10, 170, 120};
      docs[i]->parent = window;
      vwindowOpen(docs[i]);
    }
    auto mdiActive = [&] { return reinterpret_cast<win::HWND>(win::SendMessageA(client, win::WM_MDIGETACTIVE, 0, 0)); };
    auto frameOf = [](vdialog* d) {
      win::RECT r{};
      win::GetWindowRect(d->native->hwnd, &r);
      win::POINT inside{0, 0};
      win::ClientToScreen(d->native->hwnd, &inside);
      return std::pair{r, inside};
    };
    struct Way {
      const char* what;
      std::function<win::POINT()> at;
      int keyboardAfter;  // the document that has the keyboard after
    } ways[] = {{"the other document's title bar",
                 [&] {
                   auto [r, inside] = frameOf(docs[1]);
                   return win::POINT{(r.left + r.right) / 2, (r.top + inside.y) / 2};
                 },
                 1},
                {"the focused document's border",
                 [&] {
                   auto [r, inside] = frameOf(docs[0]);
                   return win::POINT{r.left + 1, (r.top + r.bottom) / 2};
                 },
                 0},
                {"the empty document area", [&] {
                   win::RECT r{};
                   win::GetWindowRect(client, &r);
                   return win::POINT{(r.left + r.right) / 2, r.top + 10};
                 },
                 0}};
    for (const Way& way : ways) {
      SCOPED_TRACE(way.what);
      win::SendMessageA(client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(docs[0]->native->hwnd), 0);
      win::SetFocus(docs[0]->native->hwnd);
      settle();
      ASSERT_EQ(mdiActive(), docs[0]->native->hwnd);
      tap(win::VK_F10);
      ASSERT_TRUE(isActive());
      win::test::Click(way.at());
      settle();
      EXPECT_FALSE(isActive()) << "keyboard mode outlived the press";
      EXPECT_EQ(mdiActive(), docs[way.keyboardAfter]->native->hwnd) << "the press was not delivered";
      tap(win::VK_RETURN);
      EXPECT_FALSE(shown(0)) << "Return reached the bar";
    }
    EXPECT_EQ(trace, std::vector<std::string>{}) << "a key ran an item";
    for (vdialog* d : docs) vwindowDestroy(d);
    finish();
  }
}
TEST_F(LeavingTheBar, WindowsLooks) {
  for (bool mdi : {true, false})
    for (const char* laf : {"windows", "win95"}) inLook(laf, mdi);
}
TEST_F(LeavingTheBar, MotifAndCua) {
  for (const char* laf : {"motif", "cua"}) inLook(laf, false);
}
TEST_F(LeavingTheBar, OpenLook) { inLook("openlook", false); }

}  // namespace

namespace {

// ---- Document windows on the native road: a document's bar shows on its
// frame's menu line.
struct Documents : Bars {
  vwindow* frame = nullptr;
  win::HWND client = nullptr;
  std::vector<vwindow*> docs;
  std::vector<vdialogItemList*> lists;

  void makeFrame() {
    frame = vwindowCreate();
    frame->decoration = vwindowDECO_TOP_LEVEL | 0x3F;
    frame->rect = {50, 50, 500, 400};
    vwindowOpen(frame);
    win::CLIENTCREATESTRUCT ccs{nullptr, 100};
    client = win::CreateWindowExA(0, "MDICLIENT", nullptr, 0x52300001, 0, 0, 500, 400, frame->native->hwnd, nullptr,
                                  nullptr, &ccs);
    vwindowSetMSWMDIClient(frame, client, 0);
  }
  vmenubar* document(const char* title) {
    vwindow* d = vwindowCreate();
    d->decoration = vwindowDECO_DOCUMENT | 0x3F;
    d->rect = {10, 10, 200, 150};
    d->parent = frame;
    vwindowSetTitleScribe(d, vscribeLiteral(title));
    vdialogItemList* l = vdialogItemListCreate();
    vdialogItemListSetOwner(l, d, &vdialogItemListWindowOwner);
    auto* b = static_cast<vmenubar*>(vobjectLoad(vrstoreGet(root, N("MenuBar"))));
    vdialogItemListAppend(l, b);
    vwindowOpen(d);
    vdialogOpenItem(b);
    drain();
    docs.push_back(d);
    lists.push_back(l);
    return b;
  }
  win::HMENU frameMenu() { return win::GetMenu(frame->native->hwnd); }
  void TearDown() override {
    for (vdialogItemList* l : lists) vinstanceDestroy(l);
    for (vwindow* d : docs) vwindowDestroy(d);
    if (frame) vwindowDestroy(frame);
    Bars::TearDown();
  }
};

TEST_F(Documents, ADocumentsBarIsTheFramesUntilItGoes) {
  start("win95", true);
  makeFrame();
  ASSERT_EQ(vwindowGetMSWMDIClient(frame), client);
  vmenubar* first = document("one");
  ASSERT_EQ(vwindowGetMSWKind(docs[0]), vwindowMSW_KIND_DOCUMENT);
  EXPECT_TRUE(vmenubarIsNative(first));
  EXPECT_EQ(vwindowGetMSWChildMenuBar(docs[0]), first);
  EXPECT_EQ(vwindowGetMSWMenuBar(frame), first) << "the frame had none: the document's is installed";
  EXPECT_EQ(frameMenu(), first->native->bar);
  vmenubar* second = document("two");
  EXPECT_EQ(vwindowGetMSWChildMenuBar(docs[1]), second);
  EXPECT_EQ(frameMenu(), first->native->bar) << "the frame keeps the bar it shows";
  // Asked to install while the frame shows another bar: only activated.
  win::SendMessageA(docs[1]->native->hwnd, win::WM_USER + 4, 0, 0);
  EXPECT_TRUE(second->barFlags & vmenubarACTIVE);
  EXPECT_EQ(frameMenu(), first->native->bar);
  // The first bar goes: the frame falls back on its placeholder; asked
  // again, the second document's bar is installed.
  vdialogCloseItem(first);
  EXPECT_EQ(vwindowGetMSWMenuBar(frame), nullptr);
  ASSERT_NE(frameMenu(), nullptr);
  EXPECT_EQ(win::GetMenuItemCount(frameMenu()), 1) << "one disabled empty entry";
  EXPECT_TRUE(win::GetMenuState(frameMenu(), 0, win::MF_BYPOSITION) & win::MF_GRAYED);
  win::SendMessageA(docs[1]->native->hwnd, win::WM_USER + 4, 0, 0);
  EXPECT_EQ(frameMenu(), second->native->bar);
  EXPECT_EQ(vwindowGetMSWMenuBar(frame), second);
  // A maximized document's system menu is entry 0 of the frame's menu line:
  // the bar's position 0 is native position 1.
  win::SendMessageA(client, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(docs[1]->native->hwnd), 0);
  drain();
  ASSERT_EQ(win::GetMenuItemCount(frameMenu()), 3);
  vmenu* edit = vmenubarAt(second, 1);
  vmenubarMoveMenu(second, edit, 0);
  EXPECT_EQ(win::GetSubMenu(frameMenu(), 1), popupOf(edit));
  EXPECT_EQ(win::GetSubMenu(frameMenu(), 2), popupOf(vmenubarAt(second, 1)));
}

}  // namespace

namespace {

// ---- The global bar (forced: the looks never combine it with bars the
// framework draws): a frame's bar shows its active document's titles.
struct GlobalBar : Roads {
  vdialog* doc = nullptr;
  vmenubar* docBar = nullptr;
  win::HWND client = nullptr;
  std::uint32_t savedFlags = 0;
  void SetUp() override {
    extraDecoration = vwindowDECO_TOP_LEVEL;
    start("win95", false, true);
    auto* look = const_cast<vlaf*>(vlafGetCurrent());
    savedFlags = look->flags;
    look->flags |= vlafMDI | vlafGLOBAL_MENU_BAR;
    win::CLIENTCREATESTRUCT ccs{nullptr, 100};
    client = win::CreateWindowExA(0, "MDICLIENT", nullptr, 0x52300001, 0, bar->rect.height, 400,
                                  300 - bar->rect.height, hwnd(), nullptr, nullptr, &ccs);
    vwindowSetMSWMDIClient(window, client, 0);
    doc = vdialogCreate();
    doc->decoration = vwindowDECO_DOCUMENT | 0x3F;
    doc->rect = {10, 10, 200, 150};
    doc->parent = window;
    docBar = static_cast<vmenubar*>(vobjectLoad(vrstoreGet(root, N("MenuBar"))));
    vwindowSetTitleScribe(vmenubarAt(docBar, 1), vscribeLiteral("Document"));
    vdialogAppendItem(doc, docBar);
    vwindowOpen(doc);
    settle();
  }
  void TearDown() override {
    if (doc) vwindowDestroy(doc);
    const_cast<vlaf*>(vlafGetCurrent())->flags = savedFlags;
    Roads::TearDown();
  }
};

TEST_F(GlobalBar, TheFramesBarShowsAndOpensTheActiveDocumentsTitles) {
  ASSERT_EQ(vwindowGetMSWKind(doc), vwindowMSW_KIND_DOCUMENT);
  EXPECT_EQ(vmenubarGetActiveChild(window), doc);
  EXPECT_EQ(vmenubarGetChildBar(bar), docBar);
  EXPECT_EQ(vmenubarGetFrameBar(docBar), bar);
  EXPECT_TRUE(vmenubarIsChildOfGlobal(docBar));
  EXPECT_FALSE(vmenubarIsChildOfGlobal(bar));
  EXPECT_EQ(vmenubarGetChildBar(docBar), docBar) << "a document's window is no frame";
  int w = -1, h = -1;
  vdialogGetItemNaturalSize(docBar, &w, &h);
  EXPECT_EQ(w + h, 0) << "the document's bar takes no room";
  vdialogGetItemMinSize(bar, &w, &h);
  int nw, nh;
  vdialogGetItemNaturalSize(bar, &nw, &nh);
  EXPECT_EQ(std::pair(w, h), std::pair(nw, nh)) << "both sizes are the natural one";
  // The document's titles are laid out along the frame's strip.
  vdialogInvalItem(bar, 0);
  settle();
  int x = (docBar->edges[0] + docBar->edges[1]) / 2 + 1;
  win::test::MouseDown(windowPoint(x, bar->rect.y + bar->rect.height / 2));
  settle();
  vmenu* second = vmenubarAt(docBar, 1);
  ASSERT_TRUE(vwindowIsOpen(second));
  EXPECT_EQ(docBar->current, 1);
  EXPECT_TRUE(docBar->barFlags & vmenubarACTIVE);
  EXPECT_FALSE(bar->barFlags & vmenubarACTIVE) << "the frame's own bar stays out of it";
  vrect title = docBar->currentRect, onScreen;
  vwindowTranslateRect(window, nullptr, &title, &onScreen);
  EXPECT_EQ(second->rect.y + second->rect.height, onScreen.y) << "under the title in the frame's strip";
  win::test::Image shot = topOfWindow();
  if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + "menubar_global.png", shot);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(WIDGETS_DATA) + "/menubar_global.png", 8, 0));
  win::test::MouseUp(windowPoint(x, bar->rect.y + bar->rect.height / 2));
  win::test::Click(entryPoint(second, 0));
  settle();
  EXPECT_FALSE(vwindowIsOpen(second));
  EXPECT_FALSE(docBar->barFlags & vmenubarACTIVE);
  EXPECT_EQ(trace, (std::vector<std::string>{"Cut kind 2 op"}));
}

// Over a maximized document the frame's titles go into the frame's menu
// line, right of the document's system box: drawn there, opened by a press
// there or from the keyboard, with the menu under the title; the line comes
// and goes with the maximized document.
TEST_F(GlobalBar, OverAMaximizedDocumentTheTitlesGoIntoTheFramesMenuLine) {
  win::HMENU line = win::GetMenu(hwnd());
  ASSERT_NE(line, nullptr) << "a frame's empty native menu, for a maximized document's boxes";
  EXPECT_EQ(win::GetMenuItemCount(line), 0);
  const int height = window->rect.height;
  const int menuLine = win::GetSystemMetrics(win::SM_CYMENU);
  const int box = win::GetSystemMetrics(30);
  win::SendMessageA(client, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(doc->native->hwnd), 0);
  settle();
  ASSERT_EQ(win::GetMenuItemCount(line), 1) << "the document's system box";
  EXPECT_EQ(window->rect.height, height - menuLine) << "the line takes its room from the client area";
  int w = -1, h = -1;
  vdialogGetItemNaturalSize(bar, &w, &h);
  EXPECT_EQ(h, 0) << "the frame's bar gives up its strip";
  vrect none = {0, window->rect.height, window->rect.width, 0};
  vdialogSetItemRect(bar, &none);
  win::InvalidateRect(hwnd(), nullptr, 1);
  settle();
  // A press on the second title in the line opens its menu under it.
  int middle = (docBar->edges[0] + docBar->edges[1]) / 2 - bar->rect.x + box + 1;
  win::POINT onLine{middle, -menuLine / 2};
  win::ClientToScreen(hwnd(), &onLine);
  win::test::MouseDown(onLine);
  settle();
  vmenu* second = vmenubarAt(docBar, 1);
  ASSERT_TRUE(vwindowIsOpen(second));
  EXPECT_EQ(docBar->current, 1);
  win::POINT clientTop{0, 0};
  win::ClientToScreen(hwnd(), &clientTop);
  win::RECT menuRect{};
  win::GetWindowRect(second->native->hwnd, &menuRect);
  EXPECT_LE(std::abs(int(menuRect.top) - int(clientTop.y)), 2) << "just under the line";
  EXPECT_GT(menuRect.left, clientTop.x + box) << "right of the system box";
  EXPECT_LT(menuRect.left, onLine.x);
  win::test::Image shot = topOfWindow();
  if (const char* out = std::getenv("MENU_PNG"))
    win::test::WritePng(std::string(out) + "menubar_global_maximized.png", shot);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(WIDGETS_DATA) + "/menubar_global_maximized.png", 8, 0));
  win::test::MouseUp(onLine);
  win::test::Click(entryPoint(second, 0));
  settle();
  EXPECT_FALSE(vwindowIsOpen(second));
  EXPECT_EQ(trace, (std::vector<std::string>{"Cut kind 2 op"}));
  // From the keyboard: the first title, then its menu.
  vmenubarSelectTitle(docBar, 0, nullptr);
  vmenubarPopupMenu(docBar, nullptr);
  settle();
  vmenu* first = vmenubarAt(docBar, 0);
  ASSERT_TRUE(vwindowIsOpen(first));
  win::GetWindowRect(first->native->hwnd, &menuRect);
  EXPECT_LE(std::abs(int(menuRect.left) - (clientTop.x + box + 1 + docBar->currentRect.x - bar->rect.x)), 4)
      << "under the first title in the line";
  tap(win::VK_ESCAPE);
  tap(win::VK_ESCAPE);
  EXPECT_FALSE(vwindowIsOpen(first));
  EXPECT_FALSE(docBar->barFlags & vmenubarACTIVE);
  // Restored, the line goes.
  win::SendMessageA(client, win::WM_MDIRESTORE, reinterpret_cast<win::WPARAM>(doc->native->hwnd), 0);
  settle();
  EXPECT_EQ(win::GetMenuItemCount(line), 0);
  EXPECT_EQ(window->rect.height, height);
  vdialogGetItemNaturalSize(bar, &w, &h);
  EXPECT_GT(h, 0) << "the strip is the bar's again";
}

// Keys that reach the frame's bar work the document's titles, as its
// pointer does: the menu-bar key, the arrows, a mnemonic.
TEST_F(GlobalBar, TheFramesKeysWorkTheDocumentsTitles) {
  win::SetActiveWindow(hwnd());
  win::SetFocus(hwnd());
  settle();
  ASSERT_EQ(vmenubarGetChildBar(bar), docBar);
  EXPECT_EQ(issue(6, vname_MenuBar), 1);
  EXPECT_TRUE(docBar->barFlags & vmenubarACTIVE);
  EXPECT_FALSE(isActive()) << "the frame's own titles are not shown";
  EXPECT_EQ(docBar->current, 0);
  EXPECT_EQ(issue(11, vname_Right), 1);
  EXPECT_EQ(docBar->current, 1);
  EXPECT_EQ(issue(13, vname_Down), 1);
  EXPECT_TRUE(vwindowIsOpen(vmenubarAt(docBar, 1))) << "the document's second menu";
  EXPECT_FALSE(shown(1));
  EXPECT_EQ(issue(3, vname_Abandon), 1);
  EXPECT_EQ(issue(3, vname_Abandon), 1);
  EXPECT_FALSE(docBar->barFlags & vmenubarACTIVE);
  // F10 pressed and released in the frame.
  win::test::KeyDown(win::VK_F10);
  settle();
  win::test::KeyUp(win::VK_F10);
  settle();
  EXPECT_TRUE(docBar->barFlags & vmenubarACTIVE);
  EXPECT_EQ(docBar->current, 0);
  tap(win::VK_ESCAPE);
  EXPECT_FALSE(docBar->barFlags & vmenubarACTIVE);
}

// The framework's bar of a frame while the keyboard is in one of its
// documents: keyboard mode holds the keyboard, in each look that draws
// its bar itself, as the native menu loop does.
TEST_F(Roads, KeyboardModeHoldsTheKeysWhileADocumentHasTheFocus) {
  for (const char* laf : {"windows", "win95"}) {
    SCOPED_TRACE(laf);
    extraDecoration = vwindowDECO_TOP_LEVEL;
    start(laf, false, true);
    win::CLIENTCREATESTRUCT ccs{nullptr, 100};
    win::HWND client = win::CreateWindowExA(0, "MDICLIENT", nullptr, 0x52300001, 0, bar->rect.height, 400,
                                            300 - bar->rect.height, hwnd(), nullptr, nullptr, &ccs);
    vwindowSetMSWMDIClient(window, client, 0);
    vdialog* doc = vdialogCreate();
    doc->decoration = vwindowDECO_DOCUMENT | 0x3F;
    doc->rect = {10, 10, 200, 150};
    doc->parent = window;
    vwindowOpen(doc);
    win::SetFocus(doc->native->hwnd);
    settle();
    ASSERT_EQ(win::GetFocus(), doc->native->hwnd);
    // F10 twice: in and out; Alt alone likewise.
    for (win::UINT key : {win::UINT{win::VK_F10}, win::UINT{win::VK_MENU}}) {
      tap(key);
      EXPECT_TRUE(isActive());
      EXPECT_EQ(bar->current, 0);
      tap(key);
      EXPECT_FALSE(isActive());
    }
    tap(win::VK_F10);
    tap(win::VK_LEFT);
    EXPECT_EQ(bar->current, 1) << "Left from title 0 wraps to the last";
    tap(win::VK_RIGHT);
    EXPECT_EQ(bar->current, 0);
    tap(win::VK_DOWN);
    EXPECT_TRUE(shown(0)) << "Down opens the title's menu";
    tap(win::VK_ESCAPE);
    EXPECT_FALSE(shown(0));
    EXPECT_TRUE(isActive()) << "the first Escape only closes the menu";
    tap(win::VK_ESCAPE);
    EXPECT_FALSE(isActive()) << "the second leaves keyboard mode";
    tap('E');
    EXPECT_FALSE(shown(1)) << "a bare letter is the document's while the bar is inactive";
    tap(win::VK_F10);
    tap('E');
    EXPECT_TRUE(shown(1)) << "the bare letter while active";
    tap(win::VK_ESCAPE);
    tap(win::VK_ESCAPE);
    EXPECT_FALSE(isActive());
    tap(win::VK_LEFT);
    EXPECT_EQ(bar->current, 1) << "Left is the document's again";
    EXPECT_EQ(win::GetFocus(), doc->native->hwnd) << "the focus stayed in the document";
    EXPECT_TRUE(trace.empty());
    vwindowDestroy(doc);
    finish();
  }
}

// The platform paints the frame's line anew when the maximized document
// changes: the titles come back, the new document's; a title added to the
// shown document's bar joins them.
TEST_F(GlobalBar, AnotherMaximizedDocumentsTitlesTakeTheLine) {
  vdialog* other = vdialogCreate();
  other->decoration = vwindowDECO_DOCUMENT | 0x3F;
  other->rect = {30, 30, 200, 150};
  other->parent = window;
  auto* otherBar = static_cast<vmenubar*>(vobjectLoad(vrstoreGet(root, N("MenuBar"))));
  vwindowSetTitleScribe(vmenubarAt(otherBar, 0), vscribeLiteral("A much wider first title"));
  vdialogAppendItem(other, otherBar);
  vwindowOpen(other);
  settle();
  const int menuLine = win::GetSystemMetrics(win::SM_CYMENU);
  const int box = win::GetSystemMetrics(30);
  // Dark text pixels along the line right of the system box.
  auto ink = [&](int from, int to) {
    win::test::Image screen = win::test::ScreenImage();
    win::POINT top{0, -menuLine};
    win::ClientToScreen(hwnd(), &top);
    int n = 0;
    for (int y = top.y; y < top.y + menuLine; ++y)
      for (int x = top.x + from; x < top.x + to; ++x) n += (screen.px[std::size_t(y * screen.width + x)] & 0xFFFFFF) == 0;
    return n;
  };
  win::SendMessageA(client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(doc->native->hwnd), 0);
  win::SendMessageA(client, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(doc->native->hwnd), 0);
  settle();
  ASSERT_EQ(vmenubarGetChildBar(bar), docBar);
  vrect none = {0, window->rect.height, window->rect.width, 0};
  vdialogSetItemRect(bar, &none);
  settle();
  // "File" then "Document"; the other's first title is much wider.
  int fileEnd = docBar->edges[0] - bar->rect.x + box + 1;
  EXPECT_GT(ink(box + 2, fileEnd), 0) << "File";
  EXPECT_GT(ink(fileEnd, docBar->edges[1] - bar->rect.x + box + 1), 0) << "Document";
  win::SendMessageA(client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(other->native->hwnd), 0);
  settle();
  ASSERT_EQ(vmenubarGetChildBar(bar), otherBar);
  ASSERT_TRUE(win::IsZoomed(other->native->hwnd)) << "maximized in its turn";
  _vmenubarPendingLayout(otherBar);
  EXPECT_GT(otherBar->edges[0], docBar->edges[1]);
  EXPECT_GT(ink(fileEnd + 4, docBar->edges[1] - bar->rect.x + box + 1), 0) << "the wider title";
  EXPECT_GT(ink(docBar->edges[1] - bar->rect.x + box + 4, otherBar->edges[0] - bar->rect.x + box + 1), 0)
      << "drawn on past where the first document's titles ended";
  // A menu appended to the shown document's bar joins the line at once.
  int end = otherBar->edges[1] - bar->rect.x + box + 1;
  EXPECT_EQ(ink(end + 2, end + 40), 0);
  vmenu* more = vmenuCreate();
  vwindowSetTitleScribe(more, vscribeLiteral("More"));
  vmenubarAppendMenu(otherBar, more);
  settle();
  EXPECT_GT(ink(end + 2, end + 40), 0) << "More";
  vwindowDestroy(other);
}

}  // namespace

namespace {

// Open Look: the "Menu" button pops a title's menu; "Select" previews the
// title and chooses its default item on release.
TEST_F(Roads, OpenLookMenuButtonPopsAndSelectChoosesTheDefault) {
  start("openlook", false, true);
  EXPECT_EQ(bar->current, -1) << "no current title to begin with";
  int w, h;
  vdialogGetItemNaturalSize(bar, &w, &h);
  EXPECT_EQ(h, 23);
  win::test::MouseDown(titlePoint(0), win::backend::Button::right);
  settle();
  ASSERT_TRUE(shown(0));
  EXPECT_TRUE(isActive());
  win::test::Image shot = topOfWindow(60);  // the menu is centred under its title
  if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + "menubar_openlook.png", shot);
  EXPECT_TRUE(test_support::MatchesPng(shot, std::string(WIDGETS_DATA) + "/menubar_openlook.png", 8, 0));
  win::test::MouseUp(titlePoint(0), win::backend::Button::right);
  tap(win::VK_ESCAPE);
  EXPECT_FALSE(shown(0));
  EXPECT_FALSE(isActive()) << "Abandon with the menu up also leaves keyboard mode here";
  EXPECT_TRUE(trace.empty());
  win::test::MouseDown(titlePoint(0));
  settle();
  EXPECT_FALSE(shown(0)) << "Select only previews";
  EXPECT_EQ(bar->current, 0);
  win::test::MouseUp(titlePoint(0));
  settle();
  EXPECT_EQ(trace, (std::vector<std::string>{"Open kind 2 op"})) << "the default item: the first";
  EXPECT_EQ(bar->current, -1);
  EXPECT_FALSE(isActive());
}

// "Select" shows the default item inside the pressed title; a default that
// opens a sub-menu opens it over the title, the release in it chooses, and
// a press beside it on another title closes it and previews that title.
TEST_F(Roads, OpenLookPreviewsTheDefaultItemInTheTitleAndOpensItsSubMenu) {
  start("openlook", false, true);
  win::test::MouseDown(titlePoint(0));
  settle();
  win::test::Image preview = topOfWindow();
  if (const char* out = std::getenv("MENU_PNG")) win::test::WritePng(std::string(out) + "menubar_openlook_preview.png", preview);
  EXPECT_TRUE(test_support::MatchesPng(preview, std::string(WIDGETS_DATA) + "/menubar_openlook_preview.png", 8, 0));
  win::test::MouseUp(titlePoint(0));
  settle();
  EXPECT_EQ(trace, (std::vector<std::string>{"Open kind 2 op"}));

  vmenu* file = menuAt(0);
  vmenuItem* more = vmenuItemListAt(&file->items, 4);
  vmenu* sub = vmenuGetItemSubMenu(more);
  ASSERT_NE(sub, nullptr);
  vmenuItemListSetDefaultItem(&file->items, more);
  trace.clear();
  win::test::MouseDown(titlePoint(0));
  settle();
  ASSERT_TRUE(vwindowIsOpen(sub)) << "the default's sub-menu over the title";
  EXPECT_FALSE(shown(0));
  EXPECT_EQ(reinterpret_cast<vmenubar*>(sub->popup->parent), bar);
  EXPECT_EQ(bar->current, 0);
  win::test::MouseMove(entryPoint(sub, 0));
  settle();
  win::test::MouseUp(entryPoint(sub, 0));
  settle();
  EXPECT_EQ(trace, (std::vector<std::string>{"Deep kind 2 op"}));
  EXPECT_FALSE(vwindowIsOpen(sub));
  EXPECT_EQ(bar->current, -1);
  EXPECT_FALSE(isActive());

  // Open again and drag along the strip beside it: the sub-menu closes and
  // the bar takes the motion back; the release there chooses nothing.
  trace.clear();
  win::test::MouseDown(titlePoint(0));
  settle();
  ASSERT_TRUE(vwindowIsOpen(sub));
  win::POINT beside = titlePoint(1);
  win::RECT subRect{};
  win::GetWindowRect(sub->native->hwnd, &subRect);
  ASSERT_TRUE(beside.x >= subRect.right || beside.y < subRect.top || beside.y >= subRect.bottom)
      << "the next title lies beside the sub-menu";
  win::test::MouseMove(beside);
  settle();
  EXPECT_FALSE(vwindowIsOpen(sub));
  win::test::MouseUp(beside);
  settle();
  EXPECT_TRUE(trace.empty());
  EXPECT_EQ(bar->current, -1);
  EXPECT_FALSE(isActive());
  vmenuItemListSetDefaultItem(&file->items, nullptr);
}

}  // namespace

namespace {

// Two windows with bars of their own: the active one's accelerators are
// the ones the message loop translates through.
TEST_F(Bars, TheActiveWindowsBarTakesTheAccelerators) {
  start("win95", true);
  vwindow* other = vwindowCreate();
  other->rect = {300, 100, 300, 200};
  vdialogItemList* list = vdialogItemListCreate();
  vdialogItemListSetOwner(list, other, &vdialogItemListWindowOwner);
  auto* second = static_cast<vmenubar*>(vobjectLoad(vrstoreGet(root, N("MenuBar"))));
  vdialogItemListAppend(list, second);
  vwindowOpen(other);
  vdialogOpenItem(second);
  drain();
  win::HWND frame = nullptr;
  auto activate = [&](win::HWND h) {
    win::SetActiveWindow(h);
    drain();
    return veventMSWGetActiveAccelerators(&frame);
  };
  EXPECT_EQ(activate(other->native->hwnd), second->native->accel.handle);
  EXPECT_EQ(frame, other->native->hwnd);
  EXPECT_EQ(activate(hwnd()), bar->native->accel.handle);
  EXPECT_EQ(frame, hwnd());
  vinstanceDestroy(list);
  vwindowDestroy(other);
  drain();
  EXPECT_EQ(veventMSWGetActiveAccelerators(&frame), bar->native->accel.handle) << "the other's going leaves ours";
}

}  // namespace

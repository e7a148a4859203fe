// Dialogs driven as a user drives them: loaded from the text form, opened
// in the headless window system, keys and clicks injected; the focus walk,
// the confirm and abandon keys, mnemonics, the menu-bar key, the close
// hook, default emphasis, marks and the deferred arrangement.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

// Items that record the selectors a key or command brings them.
std::vector<std::string> journal;
vdialogItemClassRec* recorderClass() {
  static vdialogItemClassRec* cls = [] {
    auto* c = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
    c->issueSelector = [](vobject* o, int selector, vdict* context) {
      if (selector == 3) {
        auto tag = static_cast<vname>(vdictGet(context, vname_Tag));
        if (auto* e = static_cast<vevent*>(vdictGet(context, vname_Event)); e && !tag) tag = veventGetBinding(e);
        journal.push_back(std::string(o->tag ? o->tag : "?") + " " + (tag ? tag : "?"));
        return 1;
      }
      return vdialogItemGetDefaultClass()->issueSelector(o, selector, context);
    };
    c->help = [](vobject* o) { journal.push_back(std::string("help ") + (o->tag ? o->tag : "?")); };
    vclassSetName(c, vscribeLiteral("testRecorderItem"));
    return c;
  }();
  return cls;
}

// Four items: a is focusable, b is not, c is focusable but disabled, d
// takes the text focus; a confirms, d abandons; the layout keeps them
// in a row of 60 x 20 boxes.
const char* kDialog = R"(
Dlg = dictionary {
  Class = tag vdialog
  Metrics = array integer [ 100 100 300 200 0 0 32767 32767 ]
  vdialogFlags = integer 3
  ItemList = dictionary {
    Class = tag vdialogItemList
    Confirm = integer 0
    Abandon = integer 3
    DefaultFocus = integer 0
    Objects = array dictionary [
      { Class = tag testRecorderItem Tag = tag a Flags = integer 7 Mnemonic = character 97 Rect = array integer [ 10 10 60 20 ] }
      { Class = tag testRecorderItem Tag = tag b Flags = integer 3 Rect = array integer [ 80 10 60 20 ] }
      { Class = tag testRecorderItem Tag = tag c Flags = integer 5 Rect = array integer [ 150 10 60 20 ] }
      { Class = tag testRecorderItem Tag = tag d Flags = integer 15 Mnemonic = character 100 Rect = array integer [ 220 10 60 20 ] }
    ]
  }
}
)";

struct Dialogs : ::testing::Test {
  vresource file = 0;
  std::vector<vdialog*> made;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    recorderClass();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    journal.clear();
    file = vrstoreCreateMemory();
    std::string error;
    ASSERT_TRUE(vrtextParse(kDialog, file, &error)) << error;
  }
  void TearDown() override {
    for (vdialog* d : made) vinstanceDestroy(d);
    vresourceCloseFile(file);
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  vdialog* load(const char* name = "Dlg") {
    auto* d = static_cast<vdialog*>(vobjectLoad(vresourceGet(file, N(name))));
    made.push_back(d);
    return d;
  }
  static void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  }
  static void activate(vwindow* w) {
    win::SetActiveWindow(w->native->hwnd);
    win::SetFocus(w->native->hwnd);
    settle();
  }
  static void press(win::UINT vk, bool shift = false) {
    if (shift) win::test::KeyDown(win::VK_SHIFT);
    win::test::KeyDown(vk);
    win::test::KeyUp(vk);
    if (shift) win::test::KeyUp(win::VK_SHIFT);
    settle();
  }
  static const char* focusTag(vdialog* d) {
    vdialogItem* f = vdialogGetFocusItem(d);
    return f && f->tag ? f->tag : "none";
  }
};

TEST_F(Dialogs, KeysWalkTheFocusConfirmAbandonAndReachMnemonics) {
  vdialog* d = load();
  vwindowOpen(d);
  activate(d);
  ASSERT_STREQ(focusTag(d), "a") << "the default focus";
  // Tab skips the unfocusable and the disabled item and wraps.
  const char* forward[] = {"d", "a", "d"};
  for (const char* expected : forward) {
    press(win::VK_TAB);
    EXPECT_STREQ(focusTag(d), expected);
  }
  press(win::VK_TAB, true);
  EXPECT_STREQ(focusTag(d), "a") << "Shift+Tab goes back";
  press(win::VK_TAB, true);
  EXPECT_STREQ(focusTag(d), "d") << "and wraps";

  // The text-only walk: only d takes the text focus.
  vobjectIssueTag(d, N("FocusTextNext"), nullptr);
  EXPECT_STREQ(focusTag(d), "d");
  vdialogSetFocusItem(d, vdialogFindItem(d, N("a")));
  vobjectIssueTag(d, N("FocusTextPrev"), nullptr);
  EXPECT_STREQ(focusTag(d), "d");

  // Return confirms on the current confirm item, Escape abandons on d.
  journal.clear();
  press(win::VK_RETURN);
  press(win::VK_ESCAPE);
  EXPECT_EQ(journal, (std::vector<std::string>{"a Confirm", "d Abandon"}));

  // A mnemonic (Alt+letter in this look) moves the focus to its item.
  auto* look = const_cast<vlaf*>(vlafGetCurrent());
  ASSERT_TRUE(look->flags & vlafMNEMONIC_MOVES_FOCUS);
  vdialogSetFocusItem(d, vdialogFindItem(d, N("d")));
  win::test::KeyDown(win::VK_MENU);
  press('A');
  win::test::KeyUp(win::VK_MENU);
  settle();
  EXPECT_STREQ(focusTag(d), "a");
}

TEST_F(Dialogs, SizingArrangingStoringAndTheCloseHook) {
  // Items of natural size (0, 0): the stored size stays.
  vdialog* plain = load();
  vwindowOpen(plain);
  EXPECT_EQ(plain->rect.width, 300);
  EXPECT_EQ(plain->rect.height, 200);
  EXPECT_EQ(plain->dialogFlags & 3, 0) << "sized and arranged at the opening";

  // A solution: the dialog takes the layout's size at its first opening.
  std::string error;
  ASSERT_TRUE(vrtextParse(R"(
    Two = dictionary {
      Class = tag vdialog
      Metrics = array integer [ 0 0 400 300 0 0 32767 32767 ]
      ItemList = dictionary {
        Class = tag vdialogItemList
        Objects = array dictionary [
          { Class = tag vdialogBoxItem Flags = integer 3 Rect = array integer [ 0 0 60 20 ] }
          { Class = tag vdialogBoxItem Flags = integer 3 Rect = array integer [ 0 0 60 20 ] }
        ]
        Solution = dictionary {
          Class = tag vspringSolution
          Version = integer 65792
          ItemCount = integer 2
          Index = array integer [ -1 0 0 1 1 -1   -1 0 0 -1   -1 1 1 -1 ]
          Flags = array integer [ 32 16 80 16 64 72   128 144 224 200   128 144 224 200 ]
          Length = array integer [ 10 0 0 0 10 0   10 0 0 0   10 0 0 0 ]
        }
      }
    })", file, &error)) << error;
  vdialog* two = load("Two");
  int w = 0, h = 0;
  vdialogItemListClassOf(two->items)->naturalSize(two->items, &w, &h);
  ASSERT_TRUE(w > 0 && h > 0);
  EXPECT_NE(w, 400);
  vwindowOpen(two);
  EXPECT_EQ(two->rect.width, w);
  EXPECT_EQ(two->rect.height, h);
  // Both boxes end up 10 from the bottom, the second 10 from the right.
  vdialogItem* second = vdialogItemListAt(two->items, 1);
  EXPECT_EQ(second->rect.x + second->rect.width, w - 10);
  EXPECT_EQ(second->rect.y, 10);

  // One arrangement for a burst of resizes.
  vdialogItem* first = vdialogItemListAt(two->items, 0);
  for (int k = 1; k <= 3; ++k) vwindowResize(two, w + 20 * k, h + 10 * k);
  ASSERT_NE(two->pending, nullptr);
  vevent* queued = two->pending;
  EXPECT_EQ(queued->priority, 191);
  EXPECT_EQ(second->rect.x + second->rect.width, w - 10) << "nothing moved before the event";
  settle();
  EXPECT_EQ(two->pending, nullptr);
  EXPECT_EQ(second->rect.x + second->rect.width, w + 60 - 10) << "arranged into the last size";
  EXPECT_EQ(first->rect.y, 10);

  // The stored form always says 0 for the flags.
  vresource out = vrstoreCreateMemory();
  vresource entry = vresourceCreate(out, N("Out"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(two)->store(two, entry);
  std::int32_t flags = -1;
  EXPECT_TRUE(vresourceTestGetInteger(entry, N("vdialogFlags"), &flags));
  EXPECT_EQ(flags, 0);
  vresourceCloseFile(out);
  vclassRec<vobjectClassRec>(two)->copy(two, two);  // onto itself: nothing
  EXPECT_EQ(vdialogItemListCount(two->items), 2);

  // A close request: a hook answering 1 keeps the dialog, 0 lets it close.
  static int answer = 1;
  static int asked = 0;
  vdialogSetCloseHook(plain, [](vdialog*, vevent*) {
    ++asked;
    return answer;
  });
  win::HWND hwnd = plain->native->hwnd;
  win::test::StartTrace();
  win::PostMessageA(hwnd, win::WM_CLOSE, 0, 0);
  settle();
  std::vector<win::test::TraceEntry> trace = win::test::StopTrace();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(vwindowIsOpen(plain));
  for (const auto& e : trace) EXPECT_NE(e.message, win::WM_DESTROY);
  answer = 0;
  win::PostMessageA(hwnd, win::WM_CLOSE, 0, 0);
  settle();
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(vwindowIsOpen(plain));
}

TEST_F(Dialogs, MenuBarKeyStatesMarksAndDefaultEmphasis) {
  vdialog* d = load();
  auto* look = const_cast<vlaf*>(vlafGetCurrent());
  const std::uint32_t lookFlags = look->flags;
  look->flags &= ~vlafDEFAULT_ONLY_ACTIVE;
  vwindowOpen(d);
  vdialogItem* a = vdialogFindItem(d, N("a"));
  EXPECT_TRUE(a->flags & vdialogItemDEFAULT) << "shown from the opening";
  activate(d);

  // F10 alone: pressed and released leaves 2; again 3, then 0.
  win::test::KeyDown(win::VK_F10);
  settle();
  EXPECT_EQ(_vdialogMenuBarKeyState(), 1);
  win::test::KeyUp(win::VK_F10);
  settle();
  EXPECT_EQ(_vdialogMenuBarKeyState(), 2);
  win::test::KeyDown(win::VK_F10);
  settle();
  EXPECT_EQ(_vdialogMenuBarKeyState(), 3);
  win::test::KeyUp(win::VK_F10);
  settle();
  EXPECT_EQ(_vdialogMenuBarKeyState(), 0);
  win::test::KeyDown(win::VK_F10);
  win::test::KeyUp(win::VK_F10);
  settle();
  ASSERT_EQ(_vdialogMenuBarKeyState(), 2);
  // Destroying the remembered dialog forgets it.
  vwindowClose(d);
  made.clear();
  vinstanceDestroy(d);
  EXPECT_EQ(_vdialogMenuBarKeyState(), 0);

  // With the look flag: emphasis and marks only while active, down into
  // a container's children, appended ones too.
  look->flags |= vlafDEFAULT_ONLY_ACTIVE;
  d = load();
  vcontainer* box = vcontainerCreate(vcontainerGetDefaultClass());
  vdialogItem* inner = vdialogItemCreate(vdialogItemGetDefaultClass());
  vcontainerAppendItem(box, inner);
  vdialogAppendItem(d, box);
  vwindow* other = vwindowCreate();
  other->rect = {500, 100, 100, 100};
  vwindowOpen(d);
  vwindowOpen(other);
  activate(other);
  a = vdialogFindItem(d, N("a"));
  EXPECT_FALSE(a->flags & vdialogItemDEFAULT) << "not while another window is active";
  EXPECT_FALSE(inner->flags & vdialogItemMARKED);
  activate(d);
  EXPECT_TRUE(a->flags & vdialogItemDEFAULT);
  EXPECT_TRUE(box->flags & vdialogItemMARKED);
  EXPECT_TRUE(inner->flags & vdialogItemMARKED);
  vdialogItem* late = vdialogItemCreate(vdialogItemGetDefaultClass());
  vcontainerAppendItem(box, late);
  EXPECT_TRUE(late->flags & vdialogItemMARKED) << "appended while active";
  activate(other);
  EXPECT_FALSE(a->flags & vdialogItemDEFAULT);
  EXPECT_FALSE(inner->flags & vdialogItemMARKED);
  EXPECT_FALSE(late->flags & vdialogItemMARKED);
  vwindowDestroy(other);
  look->flags = lookFlags;
}

TEST_F(Dialogs, LiveHelpAsksTheItemUnderThePointerEveryHalfSecond) {
  vdialog* d = load();
  vwindowOpen(d);
  activate(d);
  vdialogItem* b = vdialogFindItem(d, N("b"));
  win::POINT p{b->rect.x + 5, d->rect.height - 1 - (b->rect.y + 5)};
  win::ClientToScreen(d->native->hwnd, &p);
  win::test::MouseMove(p);
  settle();
  journal.clear();
  vobjectIssueTag(d, N("LiveHelp"), nullptr);
  settle();
  EXPECT_EQ(journal, (std::vector<std::string>{"help b"}));
  win::test::AdvanceClock(400);
  settle();
  EXPECT_EQ(journal.size(), 1u) << "not before half a second";
  win::test::AdvanceClock(150);
  settle();
  EXPECT_EQ(journal, (std::vector<std::string>{"help b", "help b"}));
  vobjectIssueTag(d, N("LiveHelp"), nullptr);  // off
  win::test::AdvanceClock(1000);
  settle();
  EXPECT_EQ(journal.size(), 2u);
}

// Menu entries that record the help they are asked for.
vmenuItemClassRec* helpEntryClass() {
  static vmenuItemClassRec* cls = [] {
    auto* c = vclassSpawnOf<vmenuItemClassRec>(vmenuGetDefaultItemClass());
    c->help = [](vobject* o) { journal.push_back(std::string("help ") + (o->tag ? o->tag : "?")); };
    return c;
  }();
  return cls;
}

TEST_F(Dialogs, TheMenuKeyPopsTheMenuOverTheDialogAndLiveHelpFindsItsEntries) {
  vmenuStartup();
  _vmenuChooseLook();
  vdialog* d = load();
  vmenu* menu = vmenuCreate();
  for (const char* t : {"one", "two", "three"}) {
    vmenuItem* entry = vmenuItemCreate(helpEntryClass());
    vmenuItemSetTitle(entry, vscribeLiteral(t));
    entry->tag = N(t);
    vmenuAppendItem(menu, entry);
  }
  vdialogSetMenu(d, menu);
  EXPECT_EQ(menu->parent, d) << "the dialog is the menu's window";
  auto* copy = static_cast<vdialog*>(vobjectClone(d));
  made.push_back(copy);
  ASSERT_NE(copy->menu, nullptr);
  EXPECT_EQ(copy->menu->parent, copy) << "a copy's menu targets the copy";

  vwindowOpen(d);
  activate(d);
  press(win::VK_F10, true);  // "Menu"
  ASSERT_TRUE(vwindowIsOpen(menu));
  vrect local{0, 0, d->rect.width, d->rect.height}, onScreen = local, placed{};
  vwindowTranslateRect(d, nullptr, &local, &onScreen);
  vmenuPlaceInRect(menu, &onScreen, 6, 6, &placed);
  EXPECT_EQ((std::vector<int>{menu->rect.x, menu->rect.y, menu->rect.width, menu->rect.height}),
            (std::vector<int>{placed.x, placed.y, placed.width, placed.height}));

  // Live help walks down the entries' heights to the one under the pointer.
  for (int index : {1, 2, 0}) {
    vrect r;
    vmenuItemListItemRect(&menu->items, index, &r, nullptr);
    win::POINT p{r.x + r.width / 2, menu->rect.height - 1 - r.y};  // its bottom row
    win::ClientToScreen(menu->native->hwnd, &p);
    win::test::MouseMove(p);
    settle();
    journal.clear();
    vobjectIssueTag(d, N("LiveHelp"), nullptr);
    settle();
    vobjectIssueTag(d, N("LiveHelp"), nullptr);  // off
    EXPECT_EQ(journal, (std::vector<std::string>{std::string("help ") + vmenuItemListAt(&menu->items, index)->tag}));
  }
  vmenuEnd(menu, 0, nullptr);
  settle();
}

TEST_F(Dialogs, TheFocusCommandReachesTheInnermostFocusItem) {
  vdialog* d = load();
  vcontainer* box = vcontainerCreate(vcontainerGetDefaultClass());
  vdialogItem* inner = vdialogItemCreate(recorderClass());
  inner->tag = N("inner");
  vcontainerAppendItem(box, inner);
  vdialogAppendItem(d, box);
  vcontainerSetFocusItem(box, inner);
  vdialogSetFocusItem(d, box);
  vcommand* command = static_cast<vcommand*>(vinstanceCreate(vdialogGetFocusCommandClass()));
  vdict context;
  vdictInit(&context, vdictHashName);
  vobjectAttributedOf(d)->addContext(d, &context);
  EXPECT_EQ(vdictGet(&context, vname_Dialog), d);
  vdictStore(&context, vname_Tag, vname_Select);
  EXPECT_EQ(vcommandIssue(command, &context), 1);
  EXPECT_EQ(vdictGet(&context, vname_Operator), inner);
  EXPECT_EQ(journal, (std::vector<std::string>{"inner Select"}));
  // A container without a focus stops the descent.
  vcontainerSetFocusItem(box, nullptr);
  EXPECT_EQ(vcommandIssue(command, &context), 0);
  vdictFinish(&context);
  vinstanceDestroy(command);
}

}  // namespace

namespace {

// One dialog of containers per look, drawn by a program of its own (the
// classes take the look they are built in).
TEST(DialogPictures, EveryLookDrawsTheContainersAsStored) {
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook"}) {
    SCOPED_TRACE(laf);
    // Per process: test runs of other builds share the temporary folder.
    std::string png =
        (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_containers_" + laf + ".png")).string();
    std::string command = std::string(DIALOG_PROBE) + " -laf " + laf + " " + png;
    ASSERT_EQ(std::system(command.c_str()), 0);
    win::test::Image image;
    ASSERT_TRUE(win::test::ReadPng(png, image));
    std::filesystem::remove(png);
    EXPECT_TRUE(test_support::MatchesPng(image, std::string(WIDGETS_DATA) + "/dialog/containers_" + laf + ".png"));
  }
}

// Every three-dimensional look draws its bevels in colours apart from its
// background: the light top and left edge and the dark bottom and right
// edge both show (Motif and Open Look on a grey of their own).
TEST(DialogColours, BevelsDifferFromTheBackgroundInEveryThreeDimensionalLook) {
  for (const char* laf : {"windows", "win95", "motif", "cua", "openlook"}) {
    std::string command = std::string(DIALOG_PROBE) + " -laf " + laf + " -colors";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char background[16] = {}, top[16] = {}, bottom[16] = {};
    int read = std::fscanf(p, "background %15s top %15s bottom %15s", background, top, bottom);
    pclose(p);
    ASSERT_EQ(read, 3) << laf;
    EXPECT_STRNE(top, background) << laf;
    EXPECT_STRNE(bottom, background) << laf;
    EXPECT_STRNE(top, bottom) << laf;
  }
}

}  // namespace

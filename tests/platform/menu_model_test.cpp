// The menu model: entries by position and by command, pop-ups kept or
// destroyed, states, radio groups, default entries, stale handles and the
// system menu.
#include "platform/user/menu.h"
#include "platform_fixture.h"

using namespace platform_test;

namespace {

using win::HMENU;
using win::UINT;

HMENU popupWith(std::initializer_list<UINT> ids) {
  HMENU m = win::CreatePopupMenu();
  for (UINT id : ids) win::InsertMenuA(m, ~0u, win::MF_BYPOSITION, id, "x");
  return m;
}

std::vector<UINT> ids(HMENU m) {
  std::vector<UINT> out;
  for (int i = 0; i < win::GetMenuItemCount(m); ++i) out.push_back(win::GetMenuItemID(m, i));
  return out;
}

TEST(MenuModel, InsertModifyRemoveByPositionAndCommand) {
  HMENU m = win::CreatePopupMenu();
  struct Case {
    const char* what;
    std::function<win::BOOL()> call;
    std::vector<UINT> after;
  } cases[] = {
      {"append with -1", [&] { return win::InsertMenuA(m, ~0u, win::MF_BYPOSITION, 10, "a"); }, {10}},
      {"past the end appends", [&] { return win::InsertMenuA(m, 7, win::MF_BYPOSITION, 11, "b"); }, {10, 11}},
      {"at position 0", [&] { return win::InsertMenuA(m, 0, win::MF_BYPOSITION, 12, "c"); }, {12, 10, 11}},
      {"before a command", [&] { return win::InsertMenuA(m, 11, win::MF_BYCOMMAND, 13, "d"); }, {12, 10, 13, 11}},
      {"before an absent command fails", [&] { return !win::InsertMenuA(m, 99, win::MF_BYCOMMAND, 14, "e"); },
       {12, 10, 13, 11}},
      {"separator", [&] { return win::InsertMenuA(m, 1, win::MF_BYPOSITION | win::MF_SEPARATOR, 0, nullptr); },
       {12, 0, 10, 13, 11}},
      {"modify in place", [&] { return win::ModifyMenuA(m, 2, win::MF_BYPOSITION, 20, "z"); }, {12, 0, 20, 13, 11}},
      {"modify by command", [&] { return win::ModifyMenuA(m, 13, win::MF_BYCOMMAND, 21, "y"); }, {12, 0, 20, 21, 11}},
      {"modify past the end fails", [&] { return !win::ModifyMenuA(m, 9, win::MF_BYPOSITION, 1, "q"); },
       {12, 0, 20, 21, 11}},
      {"remove by position", [&] { return win::RemoveMenu(m, 1, win::MF_BYPOSITION); }, {12, 20, 21, 11}},
      {"delete by command", [&] { return win::DeleteMenu(m, 12, win::MF_BYCOMMAND); }, {20, 21, 11}},
      {"remove an absent entry fails", [&] { return !win::RemoveMenu(m, 3, win::MF_BYPOSITION); }, {20, 21, 11}},
  };
  for (auto& c : cases) {
    EXPECT_TRUE(c.call()) << c.what;
    EXPECT_EQ(ids(m), c.after) << c.what;
  }
  EXPECT_TRUE(win::DestroyMenu(m));
}

TEST(MenuModel, PopupsKeptByRemoveAndDestroyedByDeleteModifyAndDestroy) {
  HMENU bar = win::CreateMenu();
  HMENU a = popupWith({1}), b = popupWith({2}), c = popupWith({3}), inner = popupWith({4});
  win::InsertMenuA(c, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(inner), "in");
  for (HMENU p : {a, b, c})
    ASSERT_TRUE(win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(p), "t"));
  EXPECT_EQ(win::GetMenuItemID(bar, 0), ~0u);  // pop-ups have none
  EXPECT_EQ(win::GetSubMenu(bar, 1), b);
  EXPECT_EQ(win::GetMenuState(bar, 2, win::MF_BYPOSITION), (2u << 8) | win::MF_POPUP);
  // A command inside a pop-up is found from the bar.
  EXPECT_EQ(win::CheckMenuItem(bar, 4, win::MF_CHECKED), win::MF_UNCHECKED);
  EXPECT_EQ(win::GetMenuState(inner, 0, win::MF_BYPOSITION), win::MF_CHECKED);

  EXPECT_TRUE(win::RemoveMenu(bar, 0, win::MF_BYPOSITION));
  EXPECT_EQ(win::GetMenuItemCount(a), 1);  // kept
  EXPECT_TRUE(win::DeleteMenu(bar, 0, win::MF_BYPOSITION));
  EXPECT_EQ(win::GetMenuItemCount(b), -1);  // destroyed
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_MENU_HANDLE));
  EXPECT_FALSE(win::DestroyMenu(b));  // the framework's second destroy is harmless

  // Modifying an entry to another pop-up destroys the one it opened.
  HMENU d = popupWith({5});
  EXPECT_TRUE(win::ModifyMenuA(bar, 0, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(d), "t"));
  EXPECT_EQ(win::GetMenuItemCount(c), -1);
  EXPECT_EQ(win::GetMenuItemCount(inner), -1);
  EXPECT_FALSE(win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(c), "t"));

  EXPECT_TRUE(win::DestroyMenu(bar));  // recursive
  EXPECT_EQ(win::GetMenuItemCount(d), -1);
  EXPECT_EQ(win::GetMenuItemCount(a), 1);
  EXPECT_TRUE(win::DestroyMenu(a));
  // Every call on a stale or foreign handle fails without touching it.
  EXPECT_EQ(win::GetSubMenu(bar, 0), nullptr);
  EXPECT_EQ(win::EnableMenuItem(bar, 0, win::MF_BYPOSITION), ~0u);
  EXPECT_FALSE(win::InsertMenuA(bar, 0, win::MF_BYPOSITION, 1, "x"));
  EXPECT_FALSE(win::SetMenuDefaultItem(reinterpret_cast<HMENU>(std::uintptr_t{0x1234}), 0, 1));
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_MENU_HANDLE));
}

TEST(MenuModel, StatesRadioGroupsAndTheDefaultEntry) {
  HMENU m = popupWith({1, 2, 3, 4});
  EXPECT_EQ(win::EnableMenuItem(m, 2, win::MF_BYCOMMAND | win::MF_GRAYED), win::MF_ENABLED);
  EXPECT_EQ(win::EnableMenuItem(m, 1, win::MF_BYPOSITION | win::MF_DISABLED), win::MF_GRAYED);
  EXPECT_EQ(win::EnableMenuItem(m, 1, win::MF_BYPOSITION), win::MF_DISABLED);
  EXPECT_EQ(win::EnableMenuItem(m, 9, win::MF_BYCOMMAND), ~0u);
  EXPECT_EQ(win::CheckMenuItem(m, 9, win::MF_BYCOMMAND), ~0u);
  EXPECT_EQ(win::CheckMenuItem(m, 1, win::MF_CHECKED), win::MF_UNCHECKED);
  EXPECT_EQ(win::CheckMenuItem(m, 1, win::MF_UNCHECKED), win::MF_CHECKED);

  // The radio bullet goes to one entry of the range, the others clear.
  win::CheckMenuItem(m, 1, win::MF_CHECKED);
  win::CheckMenuItem(m, 4, win::MF_CHECKED);
  EXPECT_TRUE(win::CheckMenuRadioItem(m, 0, 2, 2, win::MF_BYPOSITION));
  EXPECT_EQ(win::GetMenuState(m, 0, win::MF_BYPOSITION), 0u);
  EXPECT_EQ(win::GetMenuState(m, 2, win::MF_BYPOSITION), win::MF_CHECKED | win::MF_RADIOCHECK);
  EXPECT_EQ(win::GetMenuState(m, 3, win::MF_BYPOSITION), win::MF_CHECKED);  // outside the range
  EXPECT_TRUE(win::CheckMenuRadioItem(m, 1, 3, 2, win::MF_BYCOMMAND));
  EXPECT_EQ(win::GetMenuState(m, 2, win::MF_BYCOMMAND), win::MF_CHECKED | win::MF_RADIOCHECK);
  EXPECT_EQ(win::GetMenuState(m, 3, win::MF_BYCOMMAND) & win::MF_CHECKED, 0u);
  EXPECT_EQ(win::GetMenuState(m, 1, win::MF_BYCOMMAND) & win::MF_CHECKED, 0u);
  EXPECT_FALSE(win::CheckMenuRadioItem(m, 0, 1, 3, win::MF_BYPOSITION));  // the check outside the range

  EXPECT_TRUE(win::SetMenuDefaultItem(m, 2, 1));
  EXPECT_EQ(win::GetMenuState(m, 2, win::MF_BYPOSITION) & win::MF_DEFAULT, win::MF_DEFAULT);
  win::InsertMenuA(m, 0, win::MF_BYPOSITION, 7, "new");  // the default follows its entry
  EXPECT_EQ(win::GetMenuState(m, 3, win::MF_BYPOSITION) & win::MF_DEFAULT, win::MF_DEFAULT);
  EXPECT_TRUE(win::SetMenuDefaultItem(m, ~0u, 1));
  EXPECT_EQ(win::GetMenuState(m, 3, win::MF_BYPOSITION) & win::MF_DEFAULT, 0u);
  EXPECT_FALSE(win::SetMenuDefaultItem(m, 9, 1));
  EXPECT_TRUE(win::DestroyMenu(m));
}

TEST(MenuModel, EntryTextMarks) {
  struct Case {
    const char* text;
    const char* label;
    const char* accel;
    int mnemonic;
  } cases[] = {
      {"&File", "File", "", 0},
      {"Save &As...\tCtrl+Shift+S", "Save As...", "Ctrl+Shift+S", 5},
      {"Fish && &Chips", "Fish & Chips", "", 7},
      {"&&&x", "&x", "", 1},
      {"No mark\tF1", "No mark", "F1", -1},
      {"two &marks &here", "two marks here", "", 4},
      {"trailing &", "trailing &", "", -1},
  };
  for (const Case& c : cases) {
    win::internal::EntryText t = win::internal::splitEntryText(c.text);
    EXPECT_EQ(t.label, c.label) << c.text;
    EXPECT_EQ(t.accel, c.accel) << c.text;
    EXPECT_EQ(t.mnemonic, c.mnemonic) << c.text;
  }
}

class SystemMenu : public WindowTest {};

TEST_F(SystemMenu, StandardEntriesPerWindowAndRevert) {
  win::HWND w = make("w", win::WS_OVERLAPPEDWINDOW);
  HMENU m = win::GetSystemMenu(w, false);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(ids(m), (std::vector<UINT>{0xF120, 0xF010, 0xF000, 0xF020, 0xF030, 0, 0xF060, 0xF130}));
  EXPECT_EQ(win::GetMenuState(m, 5, win::MF_BYPOSITION), win::MF_SEPARATOR);
  // The framework's adjustments: removed and grayed by command.
  EXPECT_TRUE(win::DeleteMenu(m, static_cast<UINT>(win::SC_SIZE), win::MF_BYCOMMAND));
  EXPECT_EQ(win::EnableMenuItem(m, static_cast<UINT>(win::SC_CLOSE), win::MF_GRAYED), win::MF_ENABLED);
  EXPECT_EQ(win::GetSystemMenu(w, false), m);
  EXPECT_EQ(win::GetMenuItemCount(m), 7);
  EXPECT_EQ(win::GetSystemMenu(w, true), nullptr);
  HMENU fresh = win::GetSystemMenu(w, false);
  EXPECT_EQ(win::GetMenuItemCount(fresh), 8);
  EXPECT_EQ(win::GetMenuState(fresh, static_cast<UINT>(win::SC_CLOSE), win::MF_BYCOMMAND), win::MF_ENABLED);
  // The window's destruction takes its menus with it.
  HMENU bar = win::CreateMenu();
  win::SetMenu(w, bar);
  win::DestroyWindow(w);
  EXPECT_EQ(win::GetMenuItemCount(fresh), -1);
  EXPECT_EQ(win::GetMenuItemCount(bar), -1);
  EXPECT_FALSE(win::DestroyMenu(bar));
}

}  // namespace

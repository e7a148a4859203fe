// The X11 back-end's data: keysyms to keys and characters, text
// conversions and the kind of X window a window's styles ask for. No X
// server needed.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "platform/backend/x11_tables.h"
#include "platform/win.h"

namespace x11 = win::backend::x11;

TEST(X11Tables, EveryKeyOfTheKeyCodeTableHasAKeysym) {
  // The virtual keys the window procedure gives key codes to, with the
  // keysyms of the X protocol that make them.
  std::set<win::UINT> reached;
  for (std::uint32_t ks = 0x20; ks <= 0x7E; ++ks) reached.insert(x11::keyOfKeysym(ks).virtualKey);
  for (std::uint32_t ks = 0xFE00; ks <= 0xFFFF; ++ks) reached.insert(x11::keyOfKeysym(ks).virtualKey);
  std::vector<win::UINT> wanted = {
      win::VK_CANCEL, win::VK_BACK,   win::VK_TAB,      win::VK_CLEAR,  win::VK_RETURN,   win::VK_SHIFT,
      win::VK_CONTROL, win::VK_MENU,  win::VK_PAUSE,    win::VK_CAPITAL, win::VK_ESCAPE,  win::VK_PRIOR,
      win::VK_NEXT,   win::VK_END,    win::VK_HOME,     win::VK_LEFT,   win::VK_UP,       win::VK_RIGHT,
      win::VK_DOWN,   win::VK_SELECT, win::VK_EXECUTE,  win::VK_INSERT, win::VK_DELETE,   win::VK_HELP,
      win::VK_LWIN,   win::VK_RWIN,   win::VK_APPS,     win::VK_MULTIPLY, win::VK_ADD,    win::VK_SEPARATOR,
      win::VK_SUBTRACT, win::VK_DECIMAL, win::VK_DIVIDE, win::VK_NUMLOCK, win::VK_SCROLL, win::VK_SNAPSHOT,
  };
  for (win::UINT vk = 'A'; vk <= 'Z'; ++vk) wanted.push_back(vk);
  for (win::UINT vk = '0'; vk <= '9'; ++vk) wanted.push_back(vk);
  for (win::UINT vk = win::VK_NUMPAD0; vk <= win::VK_NUMPAD9; ++vk) wanted.push_back(vk);
  for (win::UINT vk = win::VK_F1; vk <= win::VK_F24; ++vk) wanted.push_back(vk);
  for (win::UINT vk : wanted) EXPECT_TRUE(reached.count(vk)) << std::hex << vk;
}

TEST(X11Tables, KeysymsGiveKeysExtendedBitsAndCharacters) {
  struct Case {
    std::uint32_t keysym;
    win::UINT vk;
    bool extended;
    int character;
  };
  const Case cases[] = {
      {'a', 'A', false, 'a'},          {'A', 'A', false, 'A'},          {'7', '7', false, '7'},
      {'=', win::VK_OEM_PLUS, false, '='}, {0xE9, 0, false, 0xE9},      // eacute: a character, no key of ours
      {0xFF0D, win::VK_RETURN, false, 0x0D}, {0xFF8D, win::VK_RETURN, true, 0x0D},  // Return, KP_Enter
      {0xFFE3, win::VK_CONTROL, false, -1}, {0xFFE4, win::VK_CONTROL, true, -1},
      {0xFFE9, win::VK_MENU, false, -1},  {0xFFEA, win::VK_MENU, true, -1},
      {0xFF50, win::VK_HOME, true, -1},   {0xFF95, win::VK_HOME, false, -1},  // Home, KP_Home
      {0xFFB7, win::VK_NUMPAD0 + 7, false, '7'}, {0xFFAF, win::VK_DIVIDE, true, '/'},
      {0xFF7F, win::VK_NUMLOCK, true, -1}, {0xFFFF, win::VK_DELETE, true, -1},
      {0xFFBE, win::VK_F1, false, -1},    {0xFFD5, win::VK_F24, false, -1},
      {0xFF1B, win::VK_ESCAPE, false, 0x1B}, {0x20AC, 0, false, 0x80},    // EuroSign
      {0x10020AC, 0, false, 0x80},        {0x1000416, 0, false, -1},      // Unicode keysyms: euro, a Cyrillic letter
      {0xFE52, 0, false, -1},                                               // dead_circumflex: its own keysym
  };
  for (const Case& c : cases) {
    x11::KeyMapping k = x11::keyOfKeysym(c.keysym);
    EXPECT_EQ(k.virtualKey, c.vk) << std::hex << c.keysym;
    if (c.vk) {
      EXPECT_EQ(k.extended, c.extended) << std::hex << c.keysym;
    }
    EXPECT_EQ(x11::characterOfKeysym(c.keysym), c.character) << std::hex << c.keysym;
  }
}

TEST(X11Tables, TextCrossesBetween1252AndUtf8AndLineEnds) {
  // Every 1252 character goes to UTF-8 and back; the five holes of 1252
  // go as themselves (C1 controls) and come back as "?".
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::string back = x11::cp1252FromUtf8(x11::utf8From1252(all));
  ASSERT_EQ(back.size(), all.size());
  for (int c : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) all[static_cast<std::size_t>(c - 1)] = '?';
  EXPECT_EQ(back, all);
  EXPECT_EQ(x11::utf8From1252("\xe9\x80"), "\xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(x11::latin1From1252("\xe9\x80"), "\xe9?");
  // Characters 1252 lacks, and broken sequences, become "?".
  EXPECT_EQ(x11::cp1252FromUtf8("a\xd0\x96" "b\xf0\x9f\x98\x80" "c\xc3"), "a?b?c?");
  EXPECT_EQ(x11::cp1252FromUtf8("\xe2\x80\x9cq\xe2\x80\x9d"), "\x93q\x94");
  EXPECT_EQ(x11::lfFromCrlf("line1\r\nline2\r\n\r"), "line1\nline2\n\r");
  EXPECT_EQ(x11::crlfFromLf("line1\nline2\r\n\n"), "line1\r\nline2\r\n\r\n");
  // An input method's code points, and its UTF-8 text taken apart.
  EXPECT_EQ(x11::cp1252FromCodePoints(U"\u00e9\u20ac\u0416x"), "\xe9\x80?x");
  EXPECT_EQ(x11::codePointsFromUtf8("a\xc3\xa9\xe2\x82\xac\xc3"), U"a\u00e9\u20ac?");
}

TEST(X11Tables, DeadKeysShowTheirAccents) {
  struct Case {
    std::uint32_t keysym;
    int accent;
  } const cases[] = {{0xFE50, 0x60}, {0xFE51, 0xB4}, {0xFE52, 0x5E}, {0xFE53, 0x7E}, {0xFE57, 0xA8},
                     {0xFE5A, 0x3F}, {0xFE5B, 0xB8}, {0xFE4F, -1},   {0xFE5D, -1},   {0x65, -1}};
  for (const Case& c : cases) EXPECT_EQ(x11::deadKeyCharacter(c.keysym), c.accent) << std::hex << c.keysym;
}

TEST(X11Tables, StylesChooseTheKindOfXWindow) {
  using x11::WindowType;
  constexpr win::DWORD kDialogBox = win::WS_POPUP | win::WS_CAPTION | win::WS_SYSMENU;
  // What a frame with a caption offers: moving and closing always, then
  // what the style's sizing frame and boxes add.
  constexpr std::uint32_t kFixed = x11::kMwmFuncMove | x11::kMwmFuncClose;
  constexpr std::uint32_t kBare = x11::kMwmDecorBorder | x11::kMwmDecorTitle, kMenu = kBare | x11::kMwmDecorMenu;
  struct Case {
    win::DWORD style, exStyle;
    bool owned;
    bool overrideRedirect;
    WindowType type;
    bool fixedSize;
    std::uint32_t functions, decorations;  // 0: no Motif hints
  };
  const Case cases[] = {
      {win::WS_POPUP, 0, true, true, WindowType::normal, false, 0, 0},  // a menu or pop-down list
      {win::WS_POPUP | win::WS_VISIBLE | win::WS_CLIPSIBLINGS, 0, true, true, WindowType::normal, false, 0, 0},
      {win::WS_POPUP | win::WS_CAPTION, 0, false, false, WindowType::normal, false, kFixed, kBare},
      // The main window and a document window: every box and the sizing
      // frame, so nothing is taken from the window manager's frame.
      {win::WS_OVERLAPPEDWINDOW, 0, false, false, WindowType::normal, false, 0, 0},
      {win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE | win::WS_CLIPCHILDREN, 0, true, false, WindowType::normal, false, 0,
       0},
      {win::WS_POPUP | win::WS_CAPTION, win::WS_EX_TOOLWINDOW, true, false, WindowType::utility, false, kFixed, kBare},
      // A modal dialog or notice, owned or not; a modeless dialog box is
      // owned (by its owner or the program's hidden window).
      {kDialogBox, win::WS_EX_DLGMODALFRAME, false, false, WindowType::dialog, true, kFixed, kMenu},
      {kDialogBox, win::WS_EX_DLGMODALFRAME, true, false, WindowType::dialog, true, kFixed, kMenu},
      {kDialogBox, 0, true, false, WindowType::dialog, true, kFixed, kMenu},
      {win::WS_CAPTION | win::WS_SYSMENU | win::WS_VISIBLE | win::WS_CLIPCHILDREN, 0, true, false, WindowType::dialog,
       true, kFixed, kMenu},
      // Without an owner it is a top-level window of its own, whose frame
      // still has no boxes and no sizing.
      {kDialogBox, 0, false, false, WindowType::normal, false, kFixed, kMenu},
      // Either box, or a sizing frame, keeps it a normal window, the frame
      // offering what the style has.
      {win::WS_CAPTION | win::WS_SYSMENU | win::WS_MINIMIZEBOX, 0, true, false, WindowType::normal, false,
       kFixed | x11::kMwmFuncMinimize, kMenu | x11::kMwmDecorMinimize},
      {win::WS_CAPTION | win::WS_SYSMENU | win::WS_MAXIMIZEBOX, 0, true, false, WindowType::normal, false,
       kFixed | x11::kMwmFuncMaximize, kMenu | x11::kMwmDecorMaximize},
      {win::WS_CAPTION | win::WS_SYSMENU | win::WS_THICKFRAME, 0, true, false, WindowType::normal, false,
       kFixed | x11::kMwmFuncResize, kMenu | x11::kMwmDecorResizeHandle},
      // A modal frame with a sizing frame: a dialog the user sizes.
      {kDialogBox | win::WS_THICKFRAME, win::WS_EX_DLGMODALFRAME, true, false, WindowType::dialog, false,
       kFixed | x11::kMwmFuncResize, kMenu | x11::kMwmDecorResizeHandle},
  };
  for (const Case& c : cases) {
    x11::WindowKind k = x11::kindOfWindow(c.style, c.exStyle, c.owned);
    SCOPED_TRACE(testing::Message() << std::hex << c.style << " " << c.exStyle << (c.owned ? " owned" : ""));
    EXPECT_EQ(k.overrideRedirect, c.overrideRedirect);
    EXPECT_EQ(k.type, c.type);
    EXPECT_EQ(k.fixedSize, c.fixedSize);
    const std::uint32_t both = x11::kMwmHintsFunctions | x11::kMwmHintsDecorations;
    EXPECT_EQ(k.motif.flags, c.functions ? both : 0u);
    EXPECT_EQ(k.motif.functions, c.functions);
    EXPECT_EQ(k.motif.decorations, c.decorations);
  }
}

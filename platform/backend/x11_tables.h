// What the X11 back-end needs that is plain data: keysyms (the X protocol's
// numbers) to virtual keys and characters, Windows-1252 to and from UTF-8,
// line ends, and the kind of X window a window's styles ask for. No X
// headers here, so the tests use it without an X server.
#pragma once
#include <cstdint>
#include <string>

#include "platform/win/types.h"

namespace win::backend::x11 {

struct KeyMapping {
  UINT virtualKey = 0;  // 0: not a key of ours
  bool extended = false;
};
// The key of a keysym (the keysym without modifiers, except on the keypad,
// whose keysym tells NumLock's state).
KeyMapping keyOfKeysym(std::uint32_t keysym);
// The Windows-1252 character a keysym types, or -1.
int characterOfKeysym(std::uint32_t keysym);

// The Windows-1252 character a dead key shows alone (its accent), or -1
// for a keysym that is no dead key.
int deadKeyCharacter(std::uint32_t keysym);

// Windows-1252 and UTF-8; code points that 1252 lacks become "?".
std::string utf8From1252(const std::string& text);
std::string cp1252FromUtf8(const std::string& text);
// Code points (an input method's text) the same way.
std::string cp1252FromCodePoints(const std::u32string& text);
std::u32string codePointsFromUtf8(const std::string& text);
// Latin-1 (WM_NAME, STRING selections) and 1252, either way: 0x80-0x9F
// (1252's own characters, Latin-1's controls) become "?".
std::string latin1From1252(const std::string& text);
// CRLF and LF.
std::string lfFromCrlf(const std::string& text);
std::string crlfFromLf(const std::string& text);

// What kind of X window a top-level or pop-up window becomes.
enum class WindowType : std::uint8_t { normal, utility, dialog };
// The frame's functions and decorations as _MOTIF_WM_HINTS tells them
// (flags 0: no property, the window manager's defaults stand).
struct MotifHints {
  std::uint32_t flags = 0, functions = 0, decorations = 0;
};
inline constexpr std::uint32_t kMwmHintsFunctions = 1, kMwmHintsDecorations = 2;
inline constexpr std::uint32_t kMwmFuncResize = 2, kMwmFuncMove = 4, kMwmFuncMinimize = 8, kMwmFuncMaximize = 16,
                               kMwmFuncClose = 32;
inline constexpr std::uint32_t kMwmDecorBorder = 2, kMwmDecorResizeHandle = 4, kMwmDecorTitle = 8, kMwmDecorMenu = 16,
                               kMwmDecorMinimize = 32, kMwmDecorMaximize = 64;
struct WindowKind {
  bool overrideRedirect = false;  // a bare pop-up: menus, pop-down lists
  WindowType type = WindowType::normal;
  bool fixedSize = false;  // a dialog without a sizing frame: its minimum and maximum size are its size
  MotifHints motif;
};
// `owned`: the window has an owner (a dialog's, or the program's hidden window).
WindowKind kindOfWindow(DWORD style, DWORD exStyle, bool owned);

}  // namespace win::backend::x11

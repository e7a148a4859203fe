// Keysyms, text conversions and window kinds of the X11 back-end.
#include "platform/backend/x11_tables.h"

#include "platform/win/constants.h"

namespace win::backend::x11 {
namespace {

struct KeysymRow {
  std::uint32_t keysym;
  BYTE vk;
  bool extended;
};

// Keysyms beyond the printable ones (numbers of the X protocol).
constexpr KeysymRow kKeysyms[] = {
    {0xFF08, 0x08, false},  // BackSpace
    {0xFF09, 0x09, false},  // Tab
    {0xFE20, 0x09, false},  // ISO_Left_Tab (Shift+Tab)
    {0xFF0B, 0x0C, false},  // Clear
    {0xFF0D, 0x0D, false},  // Return
    {0xFF13, 0x13, false},  // Pause
    {0xFF14, 0x91, false},  // Scroll_Lock
    {0xFF1B, 0x1B, false},  // Escape
    {0xFF50, 0x24, true},   // Home
    {0xFF51, 0x25, true},   // Left
    {0xFF52, 0x26, true},   // Up
    {0xFF53, 0x27, true},   // Right
    {0xFF54, 0x28, true},   // Down
    {0xFF55, 0x21, true},   // Prior
    {0xFF56, 0x22, true},   // Next
    {0xFF57, 0x23, true},   // End
    {0xFF60, 0x29, false},  // Select
    {0xFF61, 0x2C, true},   // Print
    {0xFF62, 0x2B, false},  // Execute
    {0xFF63, 0x2D, true},   // Insert
    {0xFF67, 0x5D, true},   // Menu (the application key)
    {0xFF6A, 0x2F, false},  // Help
    {0xFF6B, 0x03, true},   // Break
    {0xFF7F, 0x90, true},   // Num_Lock
    {0xFFFF, 0x2E, true},   // Delete
    {0xFF8D, 0x0D, true},   // KP_Enter
    {0xFF95, 0x24, false},  // KP_Home
    {0xFF96, 0x25, false},  // KP_Left
    {0xFF97, 0x26, false},  // KP_Up
    {0xFF98, 0x27, false},  // KP_Right
    {0xFF99, 0x28, false},  // KP_Down
    {0xFF9A, 0x21, false},  // KP_Prior
    {0xFF9B, 0x22, false},  // KP_Next
    {0xFF9C, 0x23, false},  // KP_End
    {0xFF9D, 0x0C, false},  // KP_Begin
    {0xFF9E, 0x2D, false},  // KP_Insert
    {0xFF9F, 0x2E, false},  // KP_Delete
    {0xFFAA, 0x6A, false},  // KP_Multiply
    {0xFFAB, 0x6B, false},  // KP_Add
    {0xFFAC, 0x6C, false},  // KP_Separator
    {0xFFAD, 0x6D, false},  // KP_Subtract
    {0xFFAE, 0x6E, false},  // KP_Decimal
    {0xFFAF, 0x6F, true},   // KP_Divide
    {0xFFE1, 0x10, false},  // Shift_L
    {0xFFE2, 0x10, false},  // Shift_R (told apart by its scan code)
    {0xFFE3, 0x11, false},  // Control_L
    {0xFFE4, 0x11, true},   // Control_R
    {0xFFE5, 0x14, false},  // Caps_Lock
    {0xFFE9, 0x12, false},  // Alt_L
    {0xFFEA, 0x12, true},   // Alt_R
    {0xFE03, 0x12, true},   // ISO_Level3_Shift (AltGr)
    {0xFFEB, 0x5B, true},   // Super_L
    {0xFFEC, 0x5C, true},   // Super_R
    // Printable keys that are not letters or digits (unshifted keysyms).
    {0x0020, 0x20, false},  // space
    {0x002D, 0xBD, false},  // minus
    {0x003D, 0xBB, false},  // equal
    {0x005B, 0xDB, false},  // bracketleft
    {0x005D, 0xDD, false},  // bracketright
    {0x003B, 0xBA, false},  // semicolon
    {0x0027, 0xDE, false},  // apostrophe
    {0x0060, 0xC0, false},  // grave
    {0x005C, 0xDC, false},  // backslash
    {0x002C, 0xBC, false},  // comma
    {0x002E, 0xBE, false},  // period
    {0x002F, 0xBF, false},  // slash
};

// Windows-1252's characters 0x80-0x9F as code points (0: none).
constexpr std::uint16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The 1252 byte of a code point, or -1.
int cp1252Of(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] && k1252High[i] == cp) return 0x80 + i;
  return -1;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

KeyMapping keyOfKeysym(std::uint32_t keysym) {
  if (keysym >= 'a' && keysym <= 'z') return {keysym - 'a' + 'A', false};
  if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9')) return {keysym, false};
  if (keysym >= 0xFFB0 && keysym <= 0xFFB9) return {VK_NUMPAD0 + (keysym - 0xFFB0), false};  // KP_0-9
  if (keysym >= 0xFFBE && keysym <= 0xFFD5) return {VK_F1 + (keysym - 0xFFBE), false};       // F1-F24
  for (const KeysymRow& r : kKeysyms)
    if (r.keysym == keysym) return {r.vk, r.extended};
  return {};
}

int characterOfKeysym(std::uint32_t keysym) {
  if (keysym >= 0x20 && keysym <= 0xFF) return cp1252Of(keysym);
  if (keysym >= 0xFFB0 && keysym <= 0xFFB9) return static_cast<int>('0' + keysym - 0xFFB0);
  // Keys that type control characters, and the keypad's operators.
  constexpr std::pair<std::uint32_t, int> kTyping[] = {
      {0xFF08, 0x08}, {0xFF09, 0x09}, {0xFE20, 0x09}, {0xFF0D, 0x0D}, {0xFF8D, 0x0D}, {0xFF1B, 0x1B},
      {0xFFAA, '*'},  {0xFFAB, '+'},  {0xFFAD, '-'},  {0xFFAE, '.'},  {0xFFAF, '/'},
  };
  for (auto [k, c] : kTyping)
    if (k == keysym) return c;
  // Unicode keysyms carry the code point.
  if ((keysym & 0xFF000000u) == 0x01000000u) return cp1252Of(keysym & 0xFFFFFF);
  if (keysym == 0x20AC) return 0x80;  // EuroSign
  return -1;
}

std::string utf8From1252(const std::string& text) {
  std::string out;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    std::uint32_t cp = c >= 0x80 && c < 0xA0 ? k1252High[c - 0x80] : c;
    appendUtf8(out, cp ? cp : '?');
  }
  return out;
}

int deadKeyCharacter(std::uint32_t keysym) {
  // dead_grave (0xFE50) to dead_ogonek (0xFE5C); 0x3F: the accent 1252 lacks.
  static constexpr unsigned char kAccents[] = {0x60, 0xB4, 0x5E, 0x7E, 0xAF, 0x3F, 0x3F,
                                               0xA8, 0xB0, 0x3F, 0x3F, 0xB8, 0x3F};
  if (keysym < 0xFE50 || keysym > 0xFE5C) return -1;
  return kAccents[keysym - 0xFE50];
}

std::string cp1252FromCodePoints(const std::u32string& text) {
  std::string out;
  for (char32_t cp : text) {
    int b = cp1252Of(static_cast<std::uint32_t>(cp));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::u32string codePointsFromUtf8(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    std::uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      auto n = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((n & 0xC0) != 0x80) valid = false;
      cp = cp << 6 | (n & 0x3F);
    }
    out += valid ? static_cast<char32_t>(cp) : U'?';
    i += valid ? static_cast<std::size_t>(extra) + 1 : 1;
  }
  return out;
}

std::string cp1252FromUtf8(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    std::uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      auto n = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((n & 0xC0) != 0x80) valid = false;
      cp = cp << 6 | (n & 0x3F);
    }
    if (!valid) {  // a broken sequence: one "?" for its first byte
      out += '?';
      ++i;
      continue;
    }
    i += static_cast<std::size_t>(extra) + 1;
    int b = cp1252Of(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string latin1From1252(const std::string& text) {
  std::string out = text;
  for (char& ch : out)
    if (static_cast<unsigned char>(ch) >= 0x80 && static_cast<unsigned char>(ch) < 0xA0) ch = '?';
  return out;
}

std::string lfFromCrlf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

std::string crlfFromLf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

WindowKind kindOfWindow(DWORD style, DWORD exStyle, bool owned) {
  constexpr DWORD kStateBits = WS_VISIBLE | WS_DISABLED | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  constexpr DWORD kSizing = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  WindowKind k;
  k.overrideRedirect = (style & ~kStateBits) == WS_POPUP;
  const bool captioned = (style & WS_CAPTION) == WS_CAPTION && (style & WS_CHILD) == 0;
  // An owned window with a caption and a system menu but neither a sizing
  // frame nor a box is a dialog box (a modeless one), as is one with the
  // modal frame. Document windows have the sizing frame and the boxes; a
  // window without an owner is a top-level window of its own.
  const bool modeless = owned && captioned && (style & WS_SYSMENU) != 0 && (style & kSizing) == 0;
  k.type = (exStyle & WS_EX_TOOLWINDOW)                ? WindowType::utility
           : (exStyle & WS_EX_DLGMODALFRAME) || modeless ? WindowType::dialog
                                                         : WindowType::normal;
  k.fixedSize = k.type == WindowType::dialog && (style & WS_THICKFRAME) == 0;
  // A frame lacking the sizing frame or a box says so: the window manager
  // would otherwise give every window all three.
  if (captioned && !k.overrideRedirect && (style & kSizing) != kSizing) {
    k.motif.flags = kMwmHintsFunctions | kMwmHintsDecorations;
    k.motif.functions = kMwmFuncMove | kMwmFuncClose;
    k.motif.decorations = kMwmDecorBorder | kMwmDecorTitle;
    if (style & WS_SYSMENU) k.motif.decorations |= kMwmDecorMenu;
    if (style & WS_THICKFRAME) {
      k.motif.functions |= kMwmFuncResize;
      k.motif.decorations |= kMwmDecorResizeHandle;
    }
    if (style & WS_MINIMIZEBOX) {
      k.motif.functions |= kMwmFuncMinimize;
      k.motif.decorations |= kMwmDecorMinimize;
    }
    if (style & WS_MAXIMIZEBOX) {
      k.motif.functions |= kMwmFuncMaximize;
      k.motif.decorations |= kMwmDecorMaximize;
    }
  }
  return k;
}

}  // namespace win::backend::x11

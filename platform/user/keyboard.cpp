// The keyboard: the US layout (set-1 scan codes and characters), key
// states as of the message, key routing and TranslateMessage.
#include <array>

#include "platform/user/internal.h"

namespace win {
namespace internal {
namespace {

// One key of the US keyboard: its virtual key, set-1 scan code and the
// characters it types without and with Shift (0: none). Where two keys
// share a scan code, the first row is what the scan code maps back to.
struct KeyRow {
  BYTE vk, scan;
  char plain, shifted;
};

constexpr KeyRow kKeys[] = {
    {0x1B, 0x01, 0x1B, 0x1B},  // VK_ESCAPE
    {'1', 0x02, '1', '!'}, {'2', 0x03, '2', '@'}, {'3', 0x04, '3', '#'}, {'4', 0x05, '4', '$'},
    {'5', 0x06, '5', '%'}, {'6', 0x07, '6', '^'}, {'7', 0x08, '7', '&'}, {'8', 0x09, '8', '*'},
    {'9', 0x0A, '9', '('}, {'0', 0x0B, '0', ')'},
    {0xBD, 0x0C, '-', '_'},  // VK_OEM_MINUS
    {0xBB, 0x0D, '=', '+'},  // VK_OEM_PLUS
    {0x08, 0x0E, 0x08, 0x08},  // VK_BACK
    {0x09, 0x0F, 0x09, 0x09},  // VK_TAB
    {'Q', 0x10, 'q', 'Q'}, {'W', 0x11, 'w', 'W'}, {'E', 0x12, 'e', 'E'}, {'R', 0x13, 'r', 'R'},
    {'T', 0x14, 't', 'T'}, {'Y', 0x15, 'y', 'Y'}, {'U', 0x16, 'u', 'U'}, {'I', 0x17, 'i', 'I'},
    {'O', 0x18, 'o', 'O'}, {'P', 0x19, 'p', 'P'},
    {0xDB, 0x1A, '[', '{'},  // VK_OEM_4
    {0xDD, 0x1B, ']', '}'},  // VK_OEM_6
    {0x0D, 0x1C, 0x0D, 0x0D},  // VK_RETURN
    {0x11, 0x1D, 0, 0},        // VK_CONTROL
    {'A', 0x1E, 'a', 'A'}, {'S', 0x1F, 's', 'S'}, {'D', 0x20, 'd', 'D'}, {'F', 0x21, 'f', 'F'},
    {'G', 0x22, 'g', 'G'}, {'H', 0x23, 'h', 'H'}, {'J', 0x24, 'j', 'J'}, {'K', 0x25, 'k', 'K'},
    {'L', 0x26, 'l', 'L'},
    {0xBA, 0x27, ';', ':'},   // VK_OEM_1
    {0xDE, 0x28, '\'', '"'},  // VK_OEM_7
    {0xC0, 0x29, '`', '~'},   // VK_OEM_3
    {0x10, 0x2A, 0, 0},       // VK_SHIFT
    {0xDC, 0x2B, '\\', '|'},  // VK_OEM_5
    {'Z', 0x2C, 'z', 'Z'}, {'X', 0x2D, 'x', 'X'}, {'C', 0x2E, 'c', 'C'}, {'V', 0x2F, 'v', 'V'},
    {'B', 0x30, 'b', 'B'}, {'N', 0x31, 'n', 'N'}, {'M', 0x32, 'm', 'M'},
    {0xBC, 0x33, ',', '<'},  // VK_OEM_COMMA
    {0xBE, 0x34, '.', '>'},  // VK_OEM_PERIOD
    {0xBF, 0x35, '/', '?'},  // VK_OEM_2
    {0xA1, 0x36, 0, 0},      // VK_RSHIFT
    {0x6A, 0x37, '*', '*'},  // VK_MULTIPLY
    {0x12, 0x38, 0, 0},      // VK_MENU
    {0x20, 0x39, ' ', ' '},  // VK_SPACE
    {0x14, 0x3A, 0, 0},      // VK_CAPITAL
    {0x70, 0x3B, 0, 0}, {0x71, 0x3C, 0, 0}, {0x72, 0x3D, 0, 0}, {0x73, 0x3E, 0, 0}, {0x74, 0x3F, 0, 0},
    {0x75, 0x40, 0, 0}, {0x76, 0x41, 0, 0}, {0x77, 0x42, 0, 0}, {0x78, 0x43, 0, 0}, {0x79, 0x44, 0, 0},
    {0x90, 0x45, 0, 0},      // VK_NUMLOCK
    {0x91, 0x46, 0, 0},      // VK_SCROLL
    {0x24, 0x47, 0, 0},      // VK_HOME
    {0x26, 0x48, 0, 0},      // VK_UP
    {0x21, 0x49, 0, 0},      // VK_PRIOR
    {0x6D, 0x4A, '-', '-'},  // VK_SUBTRACT
    {0x25, 0x4B, 0, 0},      // VK_LEFT
    {0x0C, 0x4C, 0, 0},      // VK_CLEAR
    {0x27, 0x4D, 0, 0},      // VK_RIGHT
    {0x6B, 0x4E, '+', '+'},  // VK_ADD
    {0x23, 0x4F, 0, 0},      // VK_END
    {0x28, 0x50, 0, 0},      // VK_DOWN
    {0x22, 0x51, 0, 0},      // VK_NEXT
    {0x2D, 0x52, 0, 0},      // VK_INSERT
    {0x2E, 0x53, 0, 0},      // VK_DELETE
    {0xE2, 0x56, '\\', '|'},  // VK_OEM_102
    {0x7A, 0x57, 0, 0}, {0x7B, 0x58, 0, 0},  // VK_F11, VK_F12
    {0x7C, 0x64, 0, 0}, {0x7D, 0x65, 0, 0}, {0x7E, 0x66, 0, 0}, {0x7F, 0x67, 0, 0}, {0x80, 0x68, 0, 0},
    {0x81, 0x69, 0, 0}, {0x82, 0x6A, 0, 0}, {0x83, 0x6B, 0, 0}, {0x84, 0x6C, 0, 0}, {0x85, 0x6D, 0, 0},
    {0x86, 0x6E, 0, 0}, {0x87, 0x76, 0, 0},  // VK_F13 to VK_F24
    // Keys that share a scan code with a key above.
    {0x67, 0x47, '7', '7'}, {0x68, 0x48, '8', '8'}, {0x69, 0x49, '9', '9'},  // VK_NUMPAD7-9
    {0x64, 0x4B, '4', '4'}, {0x65, 0x4C, '5', '5'}, {0x66, 0x4D, '6', '6'},  // VK_NUMPAD4-6
    {0x61, 0x4F, '1', '1'}, {0x62, 0x50, '2', '2'}, {0x63, 0x51, '3', '3'},  // VK_NUMPAD1-3
    {0x60, 0x52, '0', '0'}, {0x6E, 0x53, '.', '.'},                          // VK_NUMPAD0, VK_DECIMAL
    {0x6F, 0x35, '/', '/'},                                                  // VK_DIVIDE
    {0x13, 0x45, 0, 0},                                                      // VK_PAUSE
    {0x2C, 0x37, 0, 0},                                                      // VK_SNAPSHOT
    {0x03, 0x46, 0, 0},                                                      // VK_CANCEL
    {0xA0, 0x2A, 0, 0}, {0xA2, 0x1D, 0, 0}, {0xA3, 0x1D, 0, 0},              // VK_LSHIFT, VK_L/RCONTROL
    {0xA4, 0x38, 0, 0}, {0xA5, 0x38, 0, 0},                                  // VK_LMENU, VK_RMENU
    {0x5B, 0x5B, 0, 0}, {0x5C, 0x5C, 0, 0}, {0x5D, 0x5D, 0, 0},              // VK_LWIN, VK_RWIN, VK_APPS
};

// The rows by virtual key (index + 1; 0: no such key).
constexpr std::array<std::uint8_t, 256> kByVk = [] {
  std::array<std::uint8_t, 256> a{};
  for (std::size_t i = 0; i < std::size(kKeys); ++i)
    if (!a[kKeys[i].vk]) a[kKeys[i].vk] = static_cast<std::uint8_t>(i + 1);
  return a;
}();

const KeyRow* rowOf(UINT vk) {
  if (vk > 0xFF || !kByVk[vk]) return nullptr;
  return &kKeys[kByVk[vk] - 1];
}

// What Ctrl makes of a key (with Shift where it says so); letters give
// 1 to 26.
struct ControlRow {
  BYTE vk;
  bool shift;
  char character;
};
constexpr ControlRow kControls[] = {
    {0xDB, false, 0x1B}, {0xDC, false, 0x1C}, {0xE2, false, 0x1C}, {0xDD, false, 0x1D}, {'6', true, 0x1E},
    {0xBD, true, 0x1F},  {0x20, false, 0x20}, {0x0D, false, 0x0A}, {0x08, false, 0x7F}, {0x1B, false, 0x1B},
    {0x03, false, 0x03},
};

bool isLetter(UINT vk) { return vk >= 'A' && vk <= 'Z'; }

// The character a key types on the US layout, or -1.
int usCharacter(UINT vk, bool shift, bool control, bool alt, bool capsLock) {
  if (control && alt) return -1;
  if (control) {
    if (isLetter(vk)) return static_cast<int>(vk - 'A' + 1);
    for (const ControlRow& c : kControls)
      if (c.vk == vk && c.shift == shift) return c.character;
    return -1;
  }
  const KeyRow* row = rowOf(vk);
  if (!row || !row->plain) return -1;
  bool upper = isLetter(vk) ? shift != capsLock : shift;
  return static_cast<unsigned char>(upper ? row->shifted : row->plain);
}

// The keypad's number keys, by scan code: without NumLock they are the
// navigation keys (not extended), with it VK_NUMPAD0-9 and VK_DECIMAL.
struct KeypadRow {
  BYTE scan, navigation, number;
};
constexpr KeypadRow kKeypad[] = {
    {0x47, 0x24, 0x67}, {0x48, 0x26, 0x68}, {0x49, 0x21, 0x69}, {0x4B, 0x25, 0x64}, {0x4C, 0x0C, 0x65},
    {0x4D, 0x27, 0x66}, {0x4F, 0x23, 0x61}, {0x50, 0x28, 0x62}, {0x51, 0x22, 0x63}, {0x52, 0x2D, 0x60},
    {0x53, 0x2E, 0x6E},
};

struct Sides {
  UINT generic, left, right;
};
constexpr Sides kSides[] = {
    {VK_SHIFT, VK_LSHIFT, VK_RSHIFT}, {VK_CONTROL, VK_LCONTROL, VK_RCONTROL}, {VK_MENU, VK_LMENU, VK_RMENU}};

struct KeyboardState {
  KeyStates reported{};  // as the back-end reported
  KeyStates taken{};     // as of the message last taken
  // The last key press taken: TranslateMessage uses the back-end's
  // character for it.
  WPARAM lastVk = 0;
  LPARAM lastBits = 0;
  int lastCharacter = -1;
};

KeyboardState& kb() {
  static KeyboardState state;
  return state;
}

bool down(const KeyStates& keys, UINT vk) { return (keys[vk & 0xFF] & 0x80) != 0; }

void press(KeyStates& keys, UINT vk, bool isDown) {
  BYTE& k = keys[vk & 0xFF];
  if (isDown) {
    if (!(k & 0x80)) k ^= 1;  // a fresh press toggles; a repeat does not
    k |= 0x80;
  } else {
    k &= 0x7F;
  }
}

}  // namespace

KeyStates& reportedKeys() { return kb().reported; }

void resetKeys() { kb() = KeyboardState{}; }

void setLockState(bool capsLock, bool numLock) {
  for (KeyStates* keys : {&kb().reported, &kb().taken}) {
    (*keys)[VK_CAPITAL] = static_cast<BYTE>(((*keys)[VK_CAPITAL] & 0x80) | (capsLock ? 1 : 0));
    (*keys)[VK_NUMLOCK] = static_cast<BYTE>(((*keys)[VK_NUMLOCK] & 0x80) | (numLock ? 1 : 0));
  }
}

void setHeld(UINT vk, bool isDown) {
  for (KeyStates* keys : {&kb().reported, &kb().taken}) applyKey(*keys, vk, 0, false, isDown);
}

void applyKey(KeyStates& keys, UINT vk, UINT scan, bool extended, bool isDown) {
  press(keys, vk, isDown);
  // Shift, Control and Alt are one key state covering both sides.
  for (const Sides& s : kSides) {
    if (vk == s.generic) {
      bool right = s.generic == VK_SHIFT ? scan == 0x36 : extended;
      press(keys, right ? s.right : s.left, isDown);
    } else if (vk != s.left && vk != s.right) {
      continue;
    }
    press(keys, s.generic, down(keys, s.left) || down(keys, s.right));
  }
}

void inputTaken(const HardwareInput& in) {
  if (in.kind == HardwareInput::Kind::composition) return compositionTaken(in);
  KeyboardState& k = kb();
  if (in.kind == HardwareInput::Kind::key || in.kind == HardwareInput::Kind::button)
    applyKey(k.taken, in.vk, in.scan, in.extended, in.down);
  if (in.kind == HardwareInput::Kind::key && in.down) notePress(in.vk, in.keyBits);
  if (in.kind == HardwareInput::Kind::key && in.down && !in.dropped) {
    k.lastVk = in.vk;
    k.lastBits = in.keyBits;
    k.lastCharacter = in.character;
  }
}

// Keys go to the focus window; with no focus, to the active window as
// system keys.
void routeKey(HardwareInput& in) {
  HWND target = GetFocus();
  bool system = in.system;
  if (!target) {
    target = activeWindow();
    system = true;
  }
  if (!target) {
    in.dropped = true;
    return;
  }
  UINT message = in.down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  in.msg = {target, message, in.vk, in.keyBits, in.time, in.pt};
}

}  // namespace internal

namespace internal {

HardwareInput keyInput(UINT virtualKey, UINT scanCode, bool extended, bool isDown, int character) {
  virtualKey &= 0xFF;
  if (!scanCode) scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  scanCode &= 0xFF;
  KeyStates& keys = reportedKeys();
  if (!extended)
    for (const KeypadRow& k : kKeypad)
      if (k.scan == scanCode && (virtualKey == k.navigation || virtualKey == k.number))
        virtualKey = (keys[VK_NUMLOCK] & 1) ? k.number : k.navigation;
  bool wasDown = down(keys, virtualKey);
  applyKey(keys, virtualKey, scanCode, extended, isDown);
  bool alt = down(keys, VK_MENU);
  HardwareInput r;
  r.kind = HardwareInput::Kind::key;
  r.pt = pointerPosition();
  r.time = GetTickCount();
  r.vk = virtualKey;
  r.scan = scanCode;
  r.extended = extended;
  r.down = isDown;
  r.system = alt || virtualKey == VK_MENU || virtualKey == VK_F10;
  // Repeat count 1, scan code, extended, Alt, previous state, transition.
  r.keyBits = static_cast<LPARAM>(1u | scanCode << 16 | (extended ? 1u << 24 : 0) | (alt ? 1u << 29 : 0) |
                                  (wasDown || !isDown ? 1u << 30 : 0) | (isDown ? 0 : 1u << 31));
  r.character = isDown ? character : -1;
  return r;
}

}  // namespace internal

SHORT GetKeyState(int virtualKey) {
  BYTE k = internal::kb().taken[static_cast<unsigned>(virtualKey) & 0xFF];
  return static_cast<SHORT>((k & 0x80 ? 0xFF80 : 0) | (k & 1));
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return 0;
  UINT m = msg->message;
  if (m == WM_KEYUP || m == WM_SYSKEYUP) return 1;
  if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN) return 0;
  internal::KeyboardState& k = internal::kb();
  int character = -1;
  if (msg->wParam == k.lastVk && msg->lParam == k.lastBits && k.lastCharacter >= 0) {
    character = k.lastCharacter;
  } else {
    const internal::KeyStates& keys = k.taken;
    character = internal::usCharacter(static_cast<UINT>(msg->wParam), internal::down(keys, VK_SHIFT),
                                      internal::down(keys, VK_CONTROL), internal::down(keys, VK_MENU),
                                      (keys[VK_CAPITAL] & 1) != 0);
  }
  if (character >= 0)
    PostMessageA(msg->hwnd, m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, static_cast<WPARAM>(character), msg->lParam);
  return 1;
}

UINT MapVirtualKeyA(UINT code, UINT type) {
  using internal::kKeys;
  switch (type) {
    case MAPVK_VK_TO_VSC: {
      const internal::KeyRow* row = internal::rowOf(code);
      return row ? row->scan : 0;
    }
    case MAPVK_VSC_TO_VK:
      for (const internal::KeyRow& row : kKeys)
        if (code && row.scan == code) {
          for (const internal::Sides& s : internal::kSides)
            if (row.vk == s.left || row.vk == s.right) return s.generic;
          return row.vk;
        }
      return 0;
    case MAPVK_VK_TO_CHAR: {
      if (internal::isLetter(code)) return code;
      int c = internal::usCharacter(code, false, false, false, false);
      return c < 0 ? 0 : static_cast<UINT>(c);
    }
    default:
      return 0;
  }
}

SHORT VkKeyScanA(char character) {
  int wanted = static_cast<unsigned char>(character);
  // Plain keys first, then Shift, Ctrl and Ctrl+Shift; the keypad only
  // types what the main keys type.
  for (int shifts = 0; shifts < 4; ++shifts)
    for (UINT vk = VK_BACK; vk < 0xFF; ++vk) {
      if (vk >= VK_NUMPAD0 && vk <= VK_DIVIDE) continue;
      if (internal::usCharacter(vk, shifts & 1, shifts & 2, false, false) == wanted)
        return static_cast<SHORT>(shifts << 8 | static_cast<int>(vk));
    }
  return -1;
}

}  // namespace win

// The framework key codes of the virtual keys, and the modifier words of
// key and mouse messages.
#include <array>

#include "fw/gui/window/msw_proc.h"
#include "fw/gui/window/window_event.h"

namespace {

struct KeyRow {
  std::uint8_t first;   // virtual key
  std::uint8_t count;   // consecutive keys
  std::uint16_t code;   // of the first; the others follow on
};

// Letters and digits map to their characters; everything else here.
constexpr KeyRow kRows[] = {
    {0x03, 1, 0xFC69},  // cancel
    {0x08, 1, 0xFC08},  // backspace
    {0x09, 1, 0xFC09},  // tab
    {0x0C, 1, 0xFC0B},  // clear
    {0x0D, 1, 0xFC0D},  // return
    {0x10, 1, 0xFCE1},  // shift
    {0x11, 1, 0xFCE3},  // control
    {0x12, 1, 0xFCE9},  // alt
    {0x13, 1, 0xFC13},  // pause
    {0x14, 1, 0xFCE5},  // caps lock
    {0x1B, 1, 0xFC1B},  // escape
    {0x21, 1, 0xFA41},  // page up
    {0x22, 1, 0xFA42},  // page down
    {0x23, 1, 0xFC57},  // end
    {0x24, 1, 0xFC50},  // home
    {0x25, 4, 0xFC51},  // left, up, right, down
    {0x29, 1, 0xFC60},  // select
    {0x2A, 1, 0xFC61},  // print
    {0x2B, 1, 0xFC62},  // execute
    {0x2D, 1, 0xFC63},  // insert
    {0x2E, 1, 0xFCFF},  // delete
    {0x2F, 1, 0xFC6A},  // help
    {0x5B, 1, 0xFCF0},  // left Windows key
    {0x5C, 1, 0xFCF1},  // right Windows key
    {0x5D, 1, 0xFC67},  // application key
    {0x60, 10, 0xFCB0},  // keypad digits
    {0x6A, 6, 0xFCAA},   // keypad * + separator - . /
    {0x70, 24, 0xFCBE},  // F1-F24
    {0x90, 1, 0xFC7F},   // num lock
    {0x91, 1, 0xFC14},   // scroll lock
};

using Table = std::array<std::uint16_t, 256>;

Table build() {
  Table t{};
  for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::uint16_t>(c);
  for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::uint16_t>(c);
  for (const KeyRow& r : kRows)
    for (int i = 0; i < r.count; ++i) t[r.first + static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(r.code + i);
  return t;
}

const Table kTable = build();

}  // namespace

std::uint16_t vwindowMSWKeyCode(win::UINT virtualKey, bool extended) {
  if (virtualKey > 0xFF) return 0;
  std::uint16_t code = kTable[virtualKey];
  if (!extended) return code;
  switch (code) {
    case 0xFCE3: return 0xFCE4;
    case 0xFCE9: return 0xFCEA;
    case 0xFC0D: return 0xFC8D;
    default: return code;
  }
}

std::uint32_t vwindowMSWKeyModifiers(std::uint8_t stored, win::LPARAM) {
  std::uint32_t m = 0;
  if (stored & 32) m |= veventMOD_ALT;
  if (stored & 8) m |= veventMOD_CONTROL;
  if (stored & 16) m |= veventMOD_SHIFT;
  return m;
}

std::uint32_t vwindowMSWButtonModifiers(win::UINT message, win::WPARAM flags, int* caps, int* held) {
  std::uint32_t m = 0;
  int count = 0;
  if (flags & win::MK_CONTROL) m |= veventMOD_CONTROL;
  if (flags & win::MK_SHIFT) m |= veventMOD_SHIFT;
  struct Button {
    win::WPARAM flag;
    std::uint32_t bit;
    win::UINT down, up;
  };
  static constexpr Button kButtons[] = {
      {win::MK_LBUTTON, 16, win::WM_LBUTTONDOWN, win::WM_LBUTTONUP},
      {win::MK_MBUTTON, 32, win::WM_MBUTTONDOWN, win::WM_MBUTTONUP},
      {win::MK_RBUTTON, 64, win::WM_RBUTTONDOWN, win::WM_RBUTTONUP},
  };
  for (const Button& b : kButtons) {
    if (!(flags & b.flag) || message == b.down || message == b.up) continue;
    m |= b.bit;
    ++count;
  }
  if (caps) *caps = (win::GetKeyState(static_cast<int>(win::VK_CAPITAL)) & 1) != 0;
  if (held) *held = count;
  return m;
}

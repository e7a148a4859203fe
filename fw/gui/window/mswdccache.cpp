// The shared cache of display and memory device contexts: 13 slots probed
// from the context's handle, at most 12 cached and 5 kept idle, because
// making a context is slow.
#include <array>

#include "fw/core/ex.h"
#include "fw/gui/window/mswgdi.h"

namespace {

enum : std::uint16_t { IN_USE = 1, MEMORY = 2, PALETTE = 4 };

constexpr int SLOTS = 13;
constexpr int KEEP_IDLE = 5;  // a release with more cached deletes the context

struct Slot {
  win::HDC dc;
  win::HGDIOBJ selected;
  std::uint16_t flags;
};

struct Registry {
  std::array<Slot, SLOTS> slots{};
  int cached = 0;
  int handedOut = 0;
  std::array<int, 2> hint{0, 0};  // last freed: display, memory
  win::HDC reference = nullptr;
} reg;

bool isMemory(const Slot& s) { return (s.flags & MEMORY) != 0; }

void selectPalette(Slot& s) {
  win::HPALETTE palette = _vwindowMSWGetGdiSetup()->palette;
  if (!palette) return;
  if (!(s.flags & PALETTE)) {
    win::SelectPalette(s.dc, palette, 0);
    s.flags |= PALETTE;
  }
  win::RealizePalette(s.dc);
}

int findSlot(win::HDC hdc) {
  int start = _vwindowMSWDCSlot(hdc);
  for (int n = 0; n < SLOTS; ++n) {
    int i = (start + n) % SLOTS;
    if (reg.slots[i].dc == hdc) return i;
  }
  return -1;
}

win::HDC reuse(int memory) {
  int start = reg.hint[memory ? 1 : 0];
  for (int n = 0; n < SLOTS; ++n) {
    Slot& s = reg.slots[(start + n) % SLOTS];
    if (!s.dc || (s.flags & IN_USE) || isMemory(s) != (memory != 0)) continue;
    s.flags |= IN_USE;
    reg.handedOut++;
    if (!memory && !reg.reference) reg.reference = s.dc;
    selectPalette(s);
    return s.dc;
  }
  return nullptr;
}

win::HDC makeDisplay() {
  return vwindowMSWCreateWithRecovery("DC", 3, [] { return vwindowMSWGdi.createDC("DISPLAY", nullptr, nullptr, nullptr); });
}

// Enters a new context, handed out or (for the reference made on the way
// to a memory context) idle.
win::HDC enter(win::HDC hdc, int memory, bool inUse) {
  if (reg.cached + 1 >= SLOTS) {
    vwindowMSWGdi.deleteDC(hdc);
    _vexGenerate(&vexValueClass, vexSetProcedure, "vwindowMSWAcquireCachedDC", vexEnd);
  }
  reg.cached++;
  win::SetTextColor(hdc, win::RGB(0, 0, 0));
  win::SetBkColor(hdc, win::RGB(255, 255, 255));
  win::SetBkMode(hdc, win::TRANSPARENT);
  win::SetStretchBltMode(hdc, win::COLORONCOLOR);
  win::SelectClipRgn(hdc, nullptr);
  if (inUse) reg.handedOut++;
  int start = _vwindowMSWDCSlot(hdc);
  for (int n = 0; n < SLOTS; ++n) {
    Slot& s = reg.slots[(start + n) % SLOTS];
    if (s.dc) continue;
    s = {hdc, nullptr, static_cast<std::uint16_t>((inUse ? IN_USE : 0) | (memory ? MEMORY : 0))};
    selectPalette(s);
    return hdc;
  }
  return hdc;  // never reached: fewer than 13 are cached
}

}  // namespace

win::HDC vwindowMSWAcquireCachedDC(int memory) {
  if (reg.handedOut < reg.cached)
    if (win::HDC hdc = reuse(memory)) return hdc;
  if (!memory) {
    win::HDC hdc = enter(makeDisplay(), 0, true);
    if (!reg.reference) reg.reference = hdc;
    return hdc;
  }
  if (!reg.reference) reg.reference = enter(makeDisplay(), 0, false);
  win::HDC reference = reg.reference;
  win::HDC hdc = vwindowMSWCreateWithRecovery("COMPAT_DC", 3, [&] { return vwindowMSWGdi.createCompatibleDC(reference); });
  return enter(hdc, 1, true);
}

void vwindowMSWReleaseCachedDC(win::HDC hdc) {
  int i = hdc ? findSlot(hdc) : -1;
  if (i < 0 || !(reg.slots[i].flags & IN_USE))
    _vexGenerate(&vexArgClass, vexSetProcedure, "vwindowMSWReleaseCachedDC", vexEnd);
  Slot& s = reg.slots[i];
  s.selected = nullptr;
  s.flags &= static_cast<std::uint16_t>(~IN_USE);
  reg.hint[isMemory(s) ? 1 : 0] = i;
  reg.handedOut--;
  if (reg.cached <= KEEP_IDLE) return;
  if (reg.reference == hdc) reg.reference = nullptr;
  s = {};
  reg.cached--;
  vwindowMSWGdi.deleteDC(hdc);
}

void _vwindowMSWSetCachedDCObject(win::HDC hdc, win::HGDIOBJ object) {
  int i = findSlot(hdc);
  if (i >= 0) reg.slots[i].selected = object;
}

win::HDC _vwindowMSWFindCachedDCObject(win::HGDIOBJ object) {
  if (!object) return nullptr;
  for (const Slot& s : reg.slots)
    if (s.dc && s.selected == object) return s.dc;
  return nullptr;
}

void _vwindowMSWDestroyDCRegistry() {
  // Every context goes, even after one that would not.
  Registry old = reg;
  reg = Registry{};
  bool failed = false;
  for (const Slot& s : old.slots)
    if (s.dc && !vwindowMSWGdi.deleteDC(s.dc)) failed = true;
  if (failed)
    _vexGenerate(&vexReturnNullClass, vexSetMessage, "DeleteDC failed", vexSetProcedure, "destroyMSWDCRegistry",
                 vexEnd);
}

vwindowMSWDCCacheInfo _vwindowMSWGetDCCacheInfo() { return {reg.cached, reg.handedOut, reg.reference}; }

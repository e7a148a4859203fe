// The registry of open windows by native handle: open addressing over a
// prime number of slots, probing onward and wrapping to the start.
#include "fw/core/name.h"
#include "fw/gui/window/msw_internal.h"

namespace {

vwindowMSWState& S() { return _vwindowMSW(); }

std::size_t startSlot(win::HWND hwnd, std::size_t size) { return (reinterpret_cast<std::uintptr_t>(hwnd) / 4) % size; }

void place(vwindow** slots, std::size_t size, vwindow* w) {
  std::size_t i = startSlot(w->native->hwnd, size);
  while (slots[i]) i = (i + 1) % size;
  slots[i] = w;
}

void rebuild(std::size_t minimum) {
  vwindowMSWState& s = S();
  std::size_t size = vnameNextPrime(minimum);
  auto** slots = static_cast<vwindow**>(vmemAllocClear(sizeof(vwindow*) * size));
  for (std::size_t i = 0; i < s.size; ++i)
    if (s.slots[i]) place(slots, size, s.slots[i]);
  vmemFree(s.slots);
  s.slots = slots;
  s.size = size;
}

// The slot of hwnd, or size when absent. Empty slots do not end the probe:
// removal leaves holes.
std::size_t find(win::HWND hwnd) {
  vwindowMSWState& s = S();
  if (!s.slots || !hwnd) return s.size;
  std::size_t start = startSlot(hwnd, s.size);
  std::size_t i = start;
  do {
    if (s.slots[i] && s.slots[i]->native && s.slots[i]->native->hwnd == hwnd) return i;
    i = (i + 1) % s.size;
  } while (i != start);
  return s.size;
}

}  // namespace

void _vwindowMSWCreateRegistry(std::size_t minimum) {
  vwindowMSWState& s = S();
  s.size = vnameNextPrime(minimum);
  s.slots = static_cast<vwindow**>(vmemAllocClear(sizeof(vwindow*) * s.size));
  s.count = 0;
}

void _vwindowMSWFreeRegistry() {
  vwindowMSWState& s = S();
  vmemFree(s.slots);
  s.slots = nullptr;
  s.size = s.count = 0;
}

void _vwindowMSWRegister(vwindow* w) {
  vwindowMSWState& s = S();
  if (s.count == s.size) rebuild(s.size * 2);
  place(s.slots, s.size, w);
  ++s.count;
}

void unregisterWindow(vwindow* w) {
  vwindowMSWState& s = S();
  std::size_t i = w && w->native ? find(w->native->hwnd) : s.size;
  if (i == s.size || s.slots[i] != w)
    _vexGenerate(&vexValueClass, vexSetMessage, "unregisterWindow: vwindow is not a valid reference", vexEnd);
  s.slots[i] = nullptr;
  --s.count;
}

vwindow* vwindowFindFromMSWWindow(win::HWND hwnd) {
  if (!vwindowMSWIsStarted()) return nullptr;
  std::size_t i = find(hwnd);
  return i == S().size ? nullptr : S().slots[i];
}

std::size_t vwindowMSWGetRegistrySize() { return S().size; }

void vwindowMSWInitRegistryIterator(vwindowMSWRegistryIterator* it) {
  it->index = 0;
  it->window = nullptr;
}

int vwindowMSWNextRegistryIterator(vwindowMSWRegistryIterator* it) {
  vwindowMSWState& s = S();
  while (s.slots && it->index < s.size) {
    vwindow* w = s.slots[it->index++];
    if (w && vwindowIsOpen(w)) {
      it->window = w;
      return 1;
    }
  }
  it->window = nullptr;
  return 0;
}

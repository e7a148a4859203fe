#include "fw/widgets/menus/accel.h"

#include <cstring>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"

namespace {

struct NamedKey {
  std::uint16_t first, last;  // key codes
  std::uint16_t virtualKey;   // of the first; a range counts up
};
constexpr NamedKey kNamedKeys[] = {
    {0xFC08, 0xFC08, 8},     {0xFC09, 0xFC09, 9},     {0xFC0D, 0xFC0D, 13},    {0xFC8D, 0xFC8D, 13},
    {0xFC13, 0xFC13, 19},    {0xFC14, 0xFC14, 145},   {0xFC1B, 0xFC1B, 27},    {0xFC50, 0xFC50, 36},
    {0xFC51, 0xFC51, 37},    {0xFC52, 0xFC52, 38},    {0xFC53, 0xFC53, 39},    {0xFC54, 0xFC54, 40},
    {0xFC57, 0xFC57, 35},    {0xFA41, 0xFA41, 33},    {0xFA42, 0xFA42, 34},    {0xFC60, 0xFC60, 41},
    {0xFC61, 0xFC61, 42},    {0xFC62, 0xFC62, 43},    {0xFC63, 0xFC63, 45},    {0xFC69, 0xFC69, 3},
    {0xFC6A, 0xFC6A, 47},    {0xFC7F, 0xFC7F, 144},   {0xFCB0, 0xFCB9, 96},    {0xFCBE, 0xFCD5, 112},
    {0xFCE1, 0xFCE2, 16},    {0xFCE3, 0xFCE4, 17},    {0xFCE5, 0xFCE5, 20},    {0xFCE9, 0xFCEA, 18},
    {0xFCFF, 0xFCFF, 46},
};
// Pairs share one virtual key; ranges count up from it.
constexpr bool countsUp(const NamedKey& k) { return k.virtualKey == 96 || k.virtualKey == 112; }

int forcedMode = -1;

}  // namespace

std::uint16_t vmswaccelVirtualKey(std::uint32_t code, std::uint32_t* extra) {
  if (code < 0x100) {
    win::SHORT scan = win::VkKeyScanA(static_cast<char>(code));
    if (scan == -1) return std::uint16_t(code);
    std::uint32_t shift = (std::uint16_t(scan) >> 8) & 0xFF;
    if (shift & 1) *extra |= 4;
    if (shift & 2) *extra |= 2;
    if (shift & 4) *extra |= 1;
    return std::uint16_t(scan & 0xFF);
  }
  for (const NamedKey& k : kNamedKeys)
    if (code >= k.first && code <= k.last) return std::uint16_t(k.virtualKey + (countsUp(k) ? code - k.first : 0));
  return 0;  // 0xFC0B (key 12) and every other code: no virtual key
}

void vmswaccelFillEntry(std::uint32_t key, std::uint16_t id, win::ACCEL* entry) {
  std::uint32_t modifiers = key & 0xFFFF;
  if (modifiers & 8) modifiers = (modifiers & ~8u) | vprefGetCommandKey();
  std::uint16_t virtualKey = vmswaccelVirtualKey(key >> 16, &modifiers);
  win::BYTE flags = win::FVIRTKEY;
  if (modifiers & 1) flags |= win::FALT;
  if (modifiers & 2) flags |= win::FCONTROL;
  if (modifiers & 4) flags |= win::FSHIFT;
  entry->fVirt = flags;
  entry->key = virtualKey;
  entry->cmd = id;
}

bool vmswaccelOldMode() {
  if (forcedMode >= 0) return forcedMode != 0;
  return !vsysIsNT() && (vsysGetVersion() & 0xFF) < 4;
}
void _vmswaccelForceOldMode(int mode) { forcedMode = mode; }

vmswaccelTable CreateMSWAccelTable(vdict* accelerators) {
  vmswaccelTable table{nullptr, false};
  if (!accelerators || vdictCount(accelerators) == 0) return table;
  bool old = vmswaccelOldMode();
  std::size_t room = vdictCount(accelerators) + (old ? 1 : 0);
  auto* entries = static_cast<win::ACCEL*>(vmemAlloc(sizeof(win::ACCEL) * room));
  int count = 0;
  vdictIterator it;
  vdictInitIterator(&it, accelerators);
  // A command key that no host modifier stands for (the preference unset)
  // cannot be typed; its entry would take the bare key from every text.
  bool commandTypable = (vprefGetCommandKey() & 7) != 0;
  while (vdictNextIterator(&it)) {
    auto key = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(vdictIteratorValue(&it)));
    if (!key || ((key & 8) && !commandTypable)) continue;
    auto id = static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(vdictIteratorKey(&it)));
    vmswaccelFillEntry(key, id, &entries[count++]);
  }
  if (old) {
    std::memset(&entries[count], 0, sizeof(win::ACCEL));
    return {entries, true};
  }
  win::HACCEL handle = win::CreateAcceleratorTableA(entries, count);
  vmemFree(entries);
  if (!handle)
    _vexGenerate(&vexModuleClass, vexSetMessage, "CreateAcceleratorTable failed", vexSetProcedure, "CreateMSWAccelTable",
                 vexEnd);
  return {handle, false};
}

void vmswaccelDestroy(vmswaccelTable* table) {
  if (!table->handle) return;
  if (table->entries) vmemFree(table->handle);
  else win::DestroyAcceleratorTable(static_cast<win::HACCEL>(table->handle));
  *table = {nullptr, false};
}

// Native accelerator tables: a menu bar's item accelerators as one table
// that the message loop's translation turns into WM_COMMAND.
#pragma once
#include <cstdint>

#include "fw/core/dict.h"
#include "platform/win/user.h"

// The virtual key of a key code, with the modifiers the key needs added to
// *extra (1 Alt, 2 Ctrl, 4 Shift); 0 for codes that have none.
std::uint16_t vmswaccelVirtualKey(std::uint32_t code, std::uint32_t* extra);
// One entry for a key value (code << 16 | modifiers) and identifier.
void vmswaccelFillEntry(std::uint32_t key, std::uint16_t id, win::ACCEL* entry);

// A table, or in the old platform mode the entry array that stands for one.
struct vmswaccelTable {
  void* handle;  // HACCEL, or the zero-ended entry array
  bool entries;  // made in the old platform mode
};
// From a dictionary identifier -> key value; an empty dictionary gives no
// table. Raises "CreateAcceleratorTable failed" when the platform refuses.
vmswaccelTable CreateMSWAccelTable(vdict* accelerators);
void vmswaccelDestroy(vmswaccelTable* table);
// The old platform mode: below Windows 4 and not NT. Tests force it.
bool vmswaccelOldMode();
void _vmswaccelForceOldMode(int mode);  // -1 back to the platform's answer

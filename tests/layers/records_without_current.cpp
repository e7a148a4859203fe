// Compiled with the engine's include folders only (CTest
// layers.current_device): the type and instance records are found and
// usable without the current-device header, and the current pointers are
// not declared by them, so a file that reads the current device names
// current_device.h. (The read of a current pointer stays on line 13.)
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

uint32_t cycles_of(const device_inst& inst, const device_type& type) {
  return inst.cycles + static_cast<uint32_t>(type.periph_count) + static_cast<uint32_t>(DEVICE_MAX + TYPE_COUNT);
}

uint32_t current_cycles() { return cur_inst->cycles; }

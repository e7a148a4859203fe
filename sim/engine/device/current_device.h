// The current device: the device engine code works on, named by five
// thread-local globals that every entry taking a device number sets. What
// reads them works on whichever device is current on its thread.
//
// - Current device: `cur_device`, `cur_type`, `cur_family`, `cur_inst`, `cur_state` name the device
//   engine code works on; every entry that takes a device number sets them (`make_device_current`).
//   `shown_device` is the device the front-end shows and `select_device` records; the run loop moves
//   the current records from device to device without changing it, so output of a device that is not
//   shown stays in its own session ring.
#pragma once

#include <cstdint>

#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

// The current device: number, type, family, instance, state. One set per
// thread: devices that run on worker threads are current there.
extern thread_local constinit int cur_device;
extern thread_local constinit device_type* cur_type;
extern thread_local constinit const family_desc* cur_family;
extern thread_local constinit device_inst* cur_inst;
extern thread_local constinit device_state* cur_state;
// The device the front-end shows; kept apart from cur_device, which the
// run loop moves from device to device.
extern int shown_device;

void select_device(int number);
// Makes an existing device current without creating one; false when empty.
bool make_device_current(int number);
void init_device_state();
int reset_peripherals(int kind, int mode);
int find_memory_region(int space, uint32_t address);

// Register attribute words of a peripheral row of the current device.
inline uint32_t* periph_attrs(int periph) {
  return cur_state->periph_entries[periph].attrs;
}
inline uint32_t* periph_words(int periph) {
  return cur_inst->periph_state[periph];
}

// The core running arbitrary words: the input fills program memory from
// address 0 (the first byte chooses the device type), the device starts
// at 0 and runs a few thousand cycles through the run loop.
#include "fuzz_support.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/core/runloop.h"
#include "sim/cmd/dispatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3) return -1;
  fuzz_start();
  fuzz_fresh_session(device_types[data[0] % TYPE_COUNT]->name);
  uint32_t address = 0;
  for (std::size_t at = 1; at + 1 < size && address < 0x800; at += 2, ++address) {
    const uint32_t word = data[at] | data[at + 1] << 8;
    write_device_memory(0, SPACE_P, address, &word);
  }
  execute_command_line(0, "change pc 0");
  execute_command_line(0, "go");
  for (int cycle = 0; cycle < 4000 && device_states[0] != nullptr && device_states[0]->running != 0; ++cycle)
    run_device_cycle(0);
  return 0;
}

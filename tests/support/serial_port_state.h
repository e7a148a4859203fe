// What two ways of clocking a serial port must leave alike: its words but
// its event bookkeeping, and port C's pins.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/engine/core/clock_device.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/periph/periph_serial.h"

// Row `port` of the current device, caught up.
inline std::vector<uint32_t> serial_port_state(int port) {
  catch_up_peripherals();
  const uint32_t* w = periph_words(port);
  std::vector<uint32_t> s(w, w + SW_UPDATED);
  // What only the next step reads, which marks it at its start: whether
  // the clock toggled, and whether an edge is older than that step.
  s[SW_CLOCK] &= 1;
  s[SW_RX_EDGE] &= ~EDGE_OLD;
  s[SW_TX_EDGE] &= ~EDGE_OLD;
  const uint32_t* pins = periph_pin_block(3);
  s.insert(s.end(), pins, pins + PIN_BLOCK_LIVE_WORDS);
  return s;
}

// G.711 companding of the serial ports' 8-bit companded words: A-law and
// mu-law codes to and from 16-bit linear values.
#pragma once

#include <cstdint>

uint8_t linear_to_alaw(int16_t value);
int16_t alaw_to_linear(uint8_t code);
uint8_t linear_to_ulaw(int16_t value);
int16_t ulaw_to_linear(uint8_t code);

// The whole simulated and debugged state of a device as one digest, and
// the first part in which two devices differ: how the tests and the
// benchmark check that the cycle engine and the fast engine leave the
// same state at every instruction end.
#pragma once

#include <cstdint>
#include <string>

// Memory arrays, peripheral and core state words, register blocks,
// counters, flags, access logs, register marks, break counters and the pc
// trace ring. Sparse (external) memory is not included, nor the core's
// scratch words (core_state.h): from equal state at an instruction
// boundary, a scratch word can differ only where it has not been written
// since, and it is not read before it is.
uint64_t device_state_digest(int device);

// "" when devices a and b hold the same state, else the name of the
// first part that differs and where.
std::string device_state_difference(int a, int b);

// Clocks one device cycle by cycle: every peripheral's clock slot in row
// order (the core first), the register blocks copied to their previous
// words, the cycle count advanced. No streams, no stop checks: the run
// loop adds those.
#pragma once

// Clocks device `device` n cycles; returns the cycles run (fewer when the
// device does not exist).
int clock_device_cycles(int device, int n);

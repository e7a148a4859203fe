#include "sim/prof/profiler.h"

// No profiler is built into this simulator.
profiler_iface* profiler = nullptr;

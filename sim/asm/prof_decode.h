// The DSP73500 family's profiler support (the family record's
// profile_ops), built on the disassembler's decode.
#pragma once

#include "sim/engine/device/profile_family.h"

extern const profile_family_ops dsp73500_profile_ops;

// Reports of this folder written by files of their own.
#pragma once

#include "sim/prof/profiler.h"

// The coverage listing: source lines with the counters of their code.
void coverage_report(profile_tables& t);

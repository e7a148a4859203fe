#!/usr/bin/env bash
# .ci/layers on a small tree of its own: quiet on includes and links that
# go down, and naming each include and each link that goes up.
set -u
script=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/.ci" "$tree/fw/core" "$tree/fw/data" "$tree/sim/engine" "$tree/sim/cmd"
cp "$script" "$tree/.ci/layers"
printf '#pragma once\n' > "$tree/fw/core/core.h"
printf '#pragma once\n#include "fw/core/core.h"\n' > "$tree/fw/data/data.h"
printf '#pragma once\n' > "$tree/sim/cmd/cmd.h"
printf 'add_library(fw_core STATIC core.cpp)\n' > "$tree/fw/core/CMakeLists.txt"
printf 'add_library(fw_data STATIC data.cpp)\ntarget_link_libraries(fw_data PUBLIC fw_core)\n' > "$tree/fw/data/CMakeLists.txt"
printf '#include "sim/engine/engine.h"\n' > "$tree/sim/engine/engine.cpp"
printf '#pragma once\n' > "$tree/sim/engine/engine.h"
printf 'add_library(sim_engine STATIC engine.cpp)\ntarget_link_libraries(sim_engine PUBLIC Threads::Threads)\n' \
  > "$tree/sim/engine/CMakeLists.txt"

fail=0
out=$("$tree/.ci/layers" 2>&1) || { echo "a tree whose includes and links go down was refused:"; echo "$out"; fail=1; }

# One include and one link going up.
printf '#pragma once\n#include "fw/data/data.h"\n' > "$tree/fw/core/core.h"
printf 'add_library(sim_engine STATIC engine.cpp)\ntarget_link_libraries(sim_engine PUBLIC sim_cmd Threads::Threads)\n' \
  > "$tree/sim/engine/CMakeLists.txt"
if out=$("$tree/.ci/layers" 2>&1); then
  echo "an include and a link going up passed:"; echo "$out"; fail=1
fi
grep -q 'fw/core/core.h:2: fw_core includes fw/data/data.h of fw_data' <<<"$out" ||
  { echo "the include going up is not named:"; echo "$out"; fail=1; }
grep -q 'sim/engine/CMakeLists.txt:2: sim_engine (in sim_engine) links sim_cmd' <<<"$out" ||
  { echo "the link going up is not named:"; echo "$out"; fail=1; }
exit $fail

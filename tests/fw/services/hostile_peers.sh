#!/bin/sh
# Repeats the hostile-peer run (peer/hostile_peers.cpp) against vdas_peer,
# each run with its own HOME, and fails on any failed check, crash or
# sanitizer finding. Not part of the suite: it takes minutes. For the
# sanitized build, with the event pool's checks on (they are in any debug
# or sanitizer build):
#   cmake --build --preset ci-asan --target hostile_peers
#   tests/fw/services/hostile_peers.sh build/ci-asan 200
# Usage: hostile_peers.sh BUILD_DIR [RUNS]
set -u
build=${1:?usage: hostile_peers.sh BUILD_DIR [RUNS]}
runs=${2:-200}
driver=$build/tests/hostile_peers
[ -x "$driver" ] || { echo "no $driver: build the hostile_peers target" >&2; exit 2; }
logs=$(mktemp -d "${TMPDIR:-/tmp}/hostile_peers.XXXXXX")
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
failed=0
slowest=0
i=1
while [ "$i" -le "$runs" ]; do
  home="$logs/home$i"
  mkdir -p "$home"
  line=$(HOME="$home" timeout -k 10 600 "$driver" 2>"$logs/run$i.err")
  rc=$?
  finding=$(grep -E -m1 "ERROR: (Address|Leak)Sanitizer|runtime error:|vevent pool:" "$logs/run$i.err")
  ms=$(printf '%s\n' "$line" | sed -n 's/.*ended \([0-9-]*\) ms after SIGTERM.*/\1/p')
  [ -n "$ms" ] && [ "$ms" -gt "$slowest" ] && slowest=$ms
  if [ "$rc" -ne 0 ] || [ -n "$finding" ]; then
    failed=$((failed + 1))
    echo "run $i: rc $rc: $line ${finding:+[$finding]} (log $logs/run$i.err)"
  else
    rm -rf "$home" "$logs/run$i.err"
    echo "run $i: $line"
  fi
  i=$((i + 1))
done
echo "$runs runs, $failed failed, slowest end after SIGTERM ${slowest} ms; logs in $logs"
[ "$failed" -eq 0 ]

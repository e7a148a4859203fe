#!/bin/sh
# SIGTERM while a notice is up on the X server (run by x11_smoke.sh, which
# sets DISPLAY): the program ends, even though the handler that showed the
# notice goes on to show another one (which, were it not ended, would stay
# up for good: the 30 s allowed are only for a loaded host). With
# -live-then-menu the handler goes on to a modal loop of the platform's own
# (menu tracking) and another notice, which the request must end as well.
probe=$1
mode=${2:--live-twice}
dir=$(mktemp -d)
trap 'kill -9 "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
HOME=$dir "$probe" "$mode" >"$dir/out" 2>"$dir/err" &
pid=$!
# Polls a condition (a command) for up to 30 s.
wait_for() {
  i=0
  while [ $i -lt 300 ]; do
    "$@" && return 0
    i=$((i + 1))
    sleep 0.1
  done
  return 1
}
wait_for grep -q ready "$dir/out" || { echo "the notice never came up"; cat "$dir/err"; exit 1; }
kill -TERM "$pid"
gone() { ! kill -0 "$pid" 2>/dev/null; }
if ! wait_for gone; then
  echo "still running 30 s after SIGTERM:"
  cat "$dir/out"
  exit 1
fi
wait "$pid"
status=$?
[ "$status" = 0 ] || { echo "status $status"; cat "$dir/err"; exit 1; }
exit 0

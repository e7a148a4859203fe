#!/bin/sh
# SIGTERM while a notice is up on the X server (run by x11_smoke.sh, which
# sets DISPLAY): the program ends within a second, even though the handler
# that showed the notice goes on to show another one.
probe=$1
dir=$(mktemp -d)
trap 'kill -9 "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
HOME=$dir "$probe" -live-twice >"$dir/out" 2>"$dir/err" &
pid=$!
for i in $(seq 1 150); do
  grep -q ready "$dir/out" && break
  sleep 0.1
done
grep -q ready "$dir/out" || { echo "the notice never came up"; cat "$dir/err"; exit 1; }
kill -TERM "$pid"
for i in $(seq 1 20); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then
  echo "still running a second after SIGTERM:"
  cat "$dir/out"
  exit 1
fi
wait "$pid"
status=$?
[ "$status" = 0 ] || { echo "status $status"; cat "$dir/err"; exit 1; }
exit 0

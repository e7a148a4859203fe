#!/bin/sh
# sim73500 --gui on a real X server (run by x11_smoke.sh): the About box
# shows at once, the main window follows, the FIR demo's filtered block
# reaches the session and the program ends with status 0 at the macro's
# quit. Skipped (77) without xwininfo.
command -v xwininfo >/dev/null 2>&1 || { echo "skipped: xwininfo is not installed"; exit 77; }
sim=$1
demo=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
(cd "$demo" && HOME=$dir exec "$sim" --gui --transcript "$dir/transcript" fir.cmd) &
pid=$!
# A top-level window titled "Sim73500" of the given size.
shows() {
  xwininfo -root -tree 2>/dev/null | grep -q "\"Sim73500\": .* $1+"
}
# Polls for up to 30 s: the first window of a loaded host can be slow.
wait_for() {
  i=0
  while [ $i -lt 300 ]; do
    shows "$1" && return 0
    i=$((i + 1))
    sleep 0.1
  done
  return 1
}
fail=0
wait_for 420x170 || { echo "FAILED: no About box"; fail=1; }
wait_for "1000x[0-9]*" || { echo "FAILED: no main window"; fail=1; }
wait "$pid"
status=$?
[ "$status" = 0 ] || { echo "FAILED: exit status $status"; fail=1; }
grep -q '^x:\$0080=  0.0312500  0.0625000  0.1250000  0.2500000' "$dir/transcript" ||
  { echo "FAILED: the filter's output is not in the session"; cat "$dir/transcript"; fail=1; }
exit $fail

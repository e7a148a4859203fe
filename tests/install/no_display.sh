#!/bin/sh
# A window program without a display: the message and status 1 at once,
# whether DISPLAY is unset or empty; a DISPLAY that names no server is
# refused too. timeout's 124 would be a hang.
program=$1
name=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "$name: $*"; cat "$dir/err" 2>/dev/null; exit 1; }
for how in unset empty; do
  if [ "$how" = unset ]; then
    HOME=$dir timeout 10 env -u DISPLAY -u WEXLIN_BACKEND "$program" </dev/null >/dev/null 2>"$dir/err"
  else
    HOME=$dir timeout 10 env -u WEXLIN_BACKEND DISPLAY= "$program" </dev/null >/dev/null 2>"$dir/err"
  fi
  status=$?
  [ "$status" = 1 ] || fail "DISPLAY $how: status $status"
  grep -q "^$name: no X display" "$dir/err" || fail "DISPLAY $how: no message"
done
HOME=$dir timeout 10 env -u WEXLIN_BACKEND DISPLAY=:987 "$program" </dev/null >/dev/null 2>"$dir/err"
status=$?
[ "$status" = 1 ] || fail "an unknown display: status $status"
grep -q "^$name: no X display: .*:987" "$dir/err" || fail "an unknown display: no message"
exit 0

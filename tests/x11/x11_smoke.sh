#!/bin/sh
# Runs an X11 test program ($1, with the arguments after it) on a virtual
# X server of its own: skipped (77) without Xvfb.
command -v Xvfb >/dev/null 2>&1 || { echo "skipped: Xvfb is not installed"; exit 77; }
dir=$(mktemp -d)
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$dir"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
# The server writes its display number when it is ready.
for i in $(seq 1 50); do
  [ -s "$dir/display" ] && break
  sleep 0.1
done
[ -s "$dir/display" ] || { echo "Xvfb did not start:"; cat "$dir/log"; exit 1; }
program=$1
shift
DISPLAY=":$(cat "$dir/display")" WEXLIN_BACKEND=x11 timeout 20 "$program" "$@"
rc=$?
exit $rc

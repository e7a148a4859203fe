#!/bin/sh
# Runs an X11 test program ($1, with the arguments after it) on a virtual
# X server of its own under the openbox window manager: skipped (77)
# without Xvfb or openbox.
command -v Xvfb >/dev/null 2>&1 || { echo "skipped: Xvfb is not installed"; exit 77; }
command -v openbox >/dev/null 2>&1 || { echo "skipped: openbox is not installed"; exit 77; }
dir=$(mktemp -d)
trap 'kill "$manager" "$server" 2>/dev/null; wait "$manager" "$server" 2>/dev/null; rm -rf "$dir"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
for i in $(seq 1 50); do
  [ -s "$dir/display" ] && break
  sleep 0.1
done
[ -s "$dir/display" ] || { echo "Xvfb did not start:"; cat "$dir/log"; exit 1; }
export DISPLAY=":$(cat "$dir/display")"
# openbox with its own empty settings, so a user's configuration plays no part.
HOME=$dir XDG_CONFIG_HOME=$dir openbox --sm-disable >"$dir/wm.log" 2>&1 &
manager=$!
program=$1
shift
WEXLIN_BACKEND=x11 timeout 100 "$program" "$@"
rc=$?
[ $rc = 0 ] || { echo "window manager's log:"; cat "$dir/wm.log"; }
exit $rc

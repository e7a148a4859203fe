#!/bin/sh
# Runs an X11 test program ($1, with the arguments after it) on a virtual
# X server of its own: skipped (77) without Xvfb. With --wm first, under
# the openbox window manager (skipped without it). The screen is 1024x768
# unless X11_SCREEN names another (WIDTHxHEIGHTxDEPTH). The runs wait for
# what they check; the time limit only ends one that hangs, and is far
# beyond what a run takes on a host loaded by a build beside it.
manager_wanted=
limit=600
if [ "${1:-}" = --wm ]; then
  manager_wanted=1
  shift
fi
# Waits up to 30 s for a condition (a command), polling it.
wait_for() {
  i=0
  while [ $i -lt 300 ]; do
    "$@" && return 0
    i=$((i + 1))
    sleep 0.1
  done
  return 1
}
command -v Xvfb >/dev/null 2>&1 || { echo "skipped: Xvfb is not installed"; exit 77; }
command -v xdpyinfo >/dev/null 2>&1 || { echo "skipped: xdpyinfo is not installed"; exit 77; }
if [ -n "$manager_wanted" ]; then
  command -v openbox >/dev/null 2>&1 || { echo "skipped: openbox is not installed"; exit 77; }
fi
dir=$(mktemp -d)
server=
manager=
trap 'kill $manager $server 2>/dev/null; wait $manager $server 2>/dev/null; rm -rf "$dir"' EXIT
# -noreset: a server resets when its last client leaves (the readiness check
# below, the tools a case runs), and refuses whoever connects meanwhile.
Xvfb -displayfd 3 -noreset -screen 0 "${X11_SCREEN:-1024x768x24}" -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
# The server writes its display number when it is ready.
wait_for test -s "$dir/display" || { echo "Xvfb did not start:"; cat "$dir/log"; exit 1; }
export DISPLAY=":$(cat "$dir/display")"
# A server ending elsewhere can still hold this number's abstract socket for
# a moment after it gave the number up; a client that reaches it then fails.
wait_for xdpyinfo >/dev/null 2>&1 || { echo "Xvfb on $DISPLAY does not answer:"; cat "$dir/log"; exit 1; }
if [ -n "$manager_wanted" ]; then
  # openbox with its own empty settings, so a user's configuration plays no part.
  HOME=$dir XDG_CONFIG_HOME=$dir openbox --sm-disable >"$dir/wm.log" 2>&1 &
  manager=$!
fi
# The Python cases import each other: no compiled copies in the sources.
export PYTHONDONTWRITEBYTECODE=1
program=$1
shift
WEXLIN_BACKEND=x11 timeout "$limit" "$program" "$@"
rc=$?
if [ $rc != 0 ] && [ -n "$manager_wanted" ]; then
  echo "window manager's log:"
  cat "$dir/wm.log"
fi
exit $rc

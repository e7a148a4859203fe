#!/bin/sh
# The GUI programs run as a script or a hostile name would run them: nothing
# they are given stops them. timeout's 124 is a hang.
#   waits     a headless macro's "wait 30" passes on the virtual clock, and the
#             untimed "wait" (no one can press Cancel) goes on at once
#   wcommand  "wcommand off" without a Command window says nothing, so a macro
#             under "quit e" ends with 0; "wmemory off" still says "Window not found"
#   wlist     "wlist" on a folder, a FIFO nobody writes and /dev/zero (behind a
#             link of our own) is refused with the message, the run going on
#   vimgedit  the same three, a FIFO named as a GIF, and sparse files of 1 GiB
#             read whole by their formats, refused with status 1 under a memory cap
#   vrtool    "vrtool dump" on a FIFO refused with status 1
# A third argument caps the programs' address space in KiB (0: no cap).
bin=$1
case=$2
cap=${3:-1000000}
limit() { [ "$cap" = 0 ] || ulimit -v "$cap"; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
mkdir home folder
mkfifo pipe pipe.gif
ln -s /dev/zero zero
fail() { echo "$case: $*"; [ -f out ] && cat out; [ -f err ] && cat err; exit 1; }
sim() { HOME=$dir/home timeout 60 "$bin/sim73500" --gui=headless --transcript out "$1" </dev/null >/dev/null 2>err; }
case $case in
waits)
  printf 'wait 30\nevaluate 4\nwait\nevaluate 5\nquit\n' > w.cmd
  start=$(date +%s)
  sim w.cmd
  status=$?
  took=$(( $(date +%s) - start ))
  [ "$status" = 0 ] || fail "status $status"
  [ "$took" -lt 30 ] || fail "took $took s of real time, as long as the wait"
  grep -q '^evaluate 5$' out || fail "the untimed wait never ended"
  ;;
wcommand)
  printf 'quit e\nwcommand off\nwcommand off\nquit\n' > m.cmd
  sim m.cmd
  status=$?
  [ "$status" = 0 ] || fail "status $status"
  ! grep -q 'Window not found' out || fail "a Command window not open was reported"
  printf 'wmemory off\nquit\n' > o.cmd
  sim o.cmd
  grep -q '^{Window not found}$' out || fail "wmemory off without a window said nothing"
  ;;
wlist)
  printf 'wlist folder\nevaluate 11\nwlist pipe\nevaluate 12\nwlist zero\nevaluate 13\nquit\n' > l.cmd
  start=$(date +%s)
  (limit; sim l.cmd)
  status=$?
  took=$(( $(date +%s) - start ))
  [ "$status" = 0 ] || fail "status $status"
  [ "$took" -lt 20 ] || fail "took $took s"
  for name in folder pipe zero; do
    grep -q "^{Error reading file:\(.*/\)\?$name}$" out || fail "$name: no message"
  done
  for n in 11 12 13; do grep -q "^evaluate $n$" out || fail "the run stopped before evaluate $n"; done
  ;;
vimgedit)
  truncate -s 1G big.xbm big.gif big.pgm
  for name in folder pipe zero pipe.gif big.xbm big.gif big.pgm; do
    (limit
     HOME=$dir/home WEXLIN_BACKEND=headless timeout 20 "$bin/vimgedit" "$name" </dev/null >/dev/null 2>err)
    status=$?
    [ "$status" = 1 ] || fail "$name: status $status"
    grep -q "^vimgedit: $name: " err || fail "$name: no message"
  done
  ;;
vrtool)
  HOME=$dir/home timeout 20 "$bin/vrtool" dump pipe o.txt </dev/null >/dev/null 2>err
  status=$?
  [ "$status" = 1 ] || fail "status $status"
  grep -q "^vrtool: pipe: not a regular file" err || fail "no message"
  ;;
*) fail "no such case" ;;
esac
exit 0

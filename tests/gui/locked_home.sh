#!/bin/sh
# sim73500's GUI on the X server (run under x11_smoke.sh) while another
# process holds the lock on the home folder: it starts and runs its macro
# all the same, says on standard error that it went on without the lock, and
# leaves the store to the holder. (A headless run keeps no store.)
#   locked_home.sh SIM73500
set -u
sim=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/home" "$dir/work"
unset WEXLINHOME
export HOME="$dir/home" WEXLIN_REGISTRY="$dir/no-registry"
printf 'evaluate 6*7\nquit\n' >"$dir/work/m.cmd"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# The lock is held on this shell's own open of the folder.
exec 9<"$HOME"
flock -x 9 || { echo "FAIL: the test cannot take the lock"; exit 1; }
(cd "$dir/work" && timeout 120 "$sim" --gui --transcript t.txt m.cmd </dev/null >/dev/null 2>"$dir/err")
status=$?
exec 9<&-
[ "$status" = 0 ] || fail "status $status"
grep -q "42" "$dir/work/t.txt" 2>/dev/null || fail "the macro did not run"
grep -qF "sim73500: another program has held the lock on $HOME for " "$dir/err" || fail "no word of the lock"
grep -q ": preferences read without it$" "$dir/err" || fail "no word of the read"
grep -q ": preferences not saved$" "$dir/err" || fail "no word of the save"
[ -e "$HOME/vwexusr1.vr" ] && fail "a store was written under another's lock"
cat "$dir/err"
echo "$failures failures"
[ "$failures" = 0 ]

#!/bin/sh
# vrtool build onto a link, a full device and a folder that is not there.
vrtool=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
printf 'V = integer 7\n' >"$dir/in.txt"
fail() { echo "FAIL: $*"; exit 1; }

umask 022
"$vrtool" build "$dir/in.txt" "$dir/out.vr" || fail "plain build"
[ "$(stat -c %a "$dir/out.vr")" = 644 ] || fail "new file mode $(stat -c %a "$dir/out.vr")"
chmod 600 "$dir/out.vr"
ln -s out.vr "$dir/link.vr"
"$vrtool" build "$dir/in.txt" "$dir/link.vr" || fail "build onto a link"
[ -L "$dir/link.vr" ] || fail "the link was replaced"
[ "$(stat -c %a "$dir/out.vr")" = 600 ] || fail "replaced file mode $(stat -c %a "$dir/out.vr")"
"$vrtool" dump "$dir/link.vr" | grep -q 'V = integer 7' || fail "the target does not hold the build"

ln -s /dev/full "$dir/full.vr"
"$vrtool" build "$dir/in.txt" "$dir/full.vr" 2>"$dir/err" && fail "a full device reported success"
grep -q 'No space left on device' "$dir/err" || fail "no reason given: $(cat "$dir/err")"
[ -L "$dir/full.vr" ] || fail "the device link was replaced"

"$vrtool" build "$dir/in.txt" "$dir/none/out.vr" 2>"$dir/err" && fail "a missing folder reported success"
grep -q 'none/out.vr' "$dir/err" || fail "the output is not named: $(cat "$dir/err")"
[ -z "$(ls -A "$dir" | grep -v -e '^in.txt$' -e '^out.vr$' -e '^link.vr$' -e '^full.vr$' -e '^err$')" ] ||
  fail "left behind: $(ls -A "$dir")"
exit 0

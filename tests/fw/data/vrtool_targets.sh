#!/bin/sh
# vrtool build onto a link, a full device, a folder that is not there, a
# FIFO no one reads, past the file-size limit and under a long name.
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

mkdir "$dir/tmp"
export TMPDIR="$dir/tmp"
mkfifo "$dir/fifo.vr"
timeout 10 "$vrtool" build "$dir/in.txt" "$dir/fifo.vr" 2>"$dir/err"
[ $? = 1 ] || fail "a FIFO no one reads was not refused at once"
grep -q 'fifo.vr' "$dir/err" || fail "the FIFO is not named: $(cat "$dir/err")"

# A build past the limit: the file is made from a text big enough to cross it.
i=0
while [ $i -lt 3000 ]; do printf 'Item%d = string "%s"\n' $i 'a long enough text to fill the file quickly' ; i=$((i + 1)); done >"$dir/big.txt"
(ulimit -f 50; exec "$vrtool" build "$dir/big.txt" "$dir/out.vr") 2>"$dir/err"
[ $? = 1 ] || fail "the file-size limit did not end the build with status 1"
grep -q 'File too large' "$dir/err" || fail "no reason given: $(cat "$dir/err")"
"$vrtool" dump "$dir/out.vr" | grep -q 'V = integer 7' || fail "the old file was changed"
[ -z "$(ls -A "$dir/tmp")" ] || fail "left in TMPDIR: $(ls -A "$dir/tmp")"

# Ended by SIGTERM while it writes to a FIFO whose reader reads nothing:
# its scratch copy goes with it.
mkfifo "$dir/slow.vr"
sleep 30 <"$dir/slow.vr" &
reader=$!
sleep 0.3  # the reader opens the FIFO first
"$vrtool" build "$dir/big.txt" "$dir/slow.vr" &
builder=$!
sleep 1
kill -TERM $builder
wait $builder
[ $? = 143 ] || fail "the build was not ended by SIGTERM"
kill $reader
wait $reader 2>/dev/null
[ -z "$(ls -A "$dir/tmp")" ] || fail "left in TMPDIR after SIGTERM: $(ls -A "$dir/tmp")"
rm "$dir/big.txt" "$dir/slow.vr"

# The longest names a folder takes.
for n in 248 255; do
  long=$(printf "%0${n}d" 0)
  "$vrtool" build "$dir/in.txt" "$dir/$long" 2>"$dir/err" || fail "a $n-character name: $(cat "$dir/err")"
  "$vrtool" dump "$dir/$long" | grep -q 'V = integer 7' || fail "the $n-character file does not hold the build"
  rm "$dir/$long"
done

"$vrtool" build "$dir/in.txt" "$dir/none/out.vr" 2>"$dir/err" && fail "a missing folder reported success"
grep -q 'none/out.vr' "$dir/err" || fail "the output is not named: $(cat "$dir/err")"
[ -z "$(ls -A "$dir" | grep -v -e '^in.txt$' -e '^out.vr$' -e '^link.vr$' -e '^full.vr$' -e '^err$' -e '^fifo.vr$' -e '^tmp$')" ] ||
  fail "left behind: $(ls -A "$dir")"
exit 0

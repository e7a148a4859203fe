#!/bin/sh
# The headless GUI's transcript where a script may point it. A name it
# cannot write (no folder, a full device, a FIFO nobody reads) is said as
# "sim73500: cannot write the transcript NAME: CAUSE" with a non-zero exit,
# at once; a link is written through, a FIFO with a reader is written, and
# a file keeps its mode. timeout's 124 is a hang.
bin=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
mkdir home
printf 'evaluate 4\nquit\n' > m.cmd
failed=0
fail() { echo "FAILED: $*"; [ -f err ] && cat err; failed=1; }
sim() { HOME=$dir/home timeout 20 "$bin" --gui=headless --transcript "$1" m.cmd </dev/null >/dev/null 2>err; }

mkfifo unread
for case in "no/such/folder/t.txt:No such file or directory" "/dev/full:No space left on device" "unread:"; do
  name=${case%%:*}
  cause=${case#*:}
  sim "$name"
  status=$?
  [ "$status" != 0 ] && [ "$status" != 124 ] || fail "$name: status $status"
  grep -q "^sim73500: cannot write the transcript $name: $cause" err || fail "$name: no message"
done

echo "old line" > real.txt
chmod 0640 real.txt
ln -s real.txt link.txt
sim link.txt || fail "link: status $?"
[ -L link.txt ] || fail "the link was replaced"
grep -q '^old line$' real.txt && grep -q '^evaluate 4$' real.txt || fail "link: not appended through"
[ "$(stat -c %a real.txt)" = 640 ] || fail "mode $(stat -c %a real.txt), not 640"

mkfifo read
cat read > from_fifo &
reader=$!
sim read || { fail "FIFO with a reader: status $?"; kill "$reader"; }
wait "$reader"
grep -q '^evaluate 4$' from_fifo || fail "FIFO with a reader: nothing came"
exit $failed

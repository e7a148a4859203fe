#!/usr/bin/env bash
# The shipped C demo: demo/squares.cld must be what make_test_cld makes of
# demo/squares.asm, and demo/c_debug.cmd, run from the top folder of a copy
# of the demo as the README shows, must give c_debug.out.
# Usage: run_c_demo.sh SIM73500 MAKE_TEST_CLD SOURCE_DIR
set -u
bin=$1
make_cld=$2
root=$3
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
rc=0
mkdir "$scratch/demo"
cp "$root/demo/squares.asm" "$root/demo/squares.c" "$root/demo/c_debug.cmd" "$scratch/demo/"
(cd "$scratch/demo" && "$make_cld" squares.asm squares.cld) || exit 1
if ! cmp "$scratch/demo/squares.cld" "$root/demo/squares.cld"; then
  echo "demo/squares.cld is not what make_test_cld makes of demo/squares.asm;"
  echo "run: (cd demo && ../build/release/tests/make_test_cld squares.asm squares.cld)"
  rc=1
fi
# A program that never reaches its idle loop must not hold the test for good.
(cd "$scratch" && HOME=$scratch timeout 300 "$bin" demo/c_debug.cmd) < /dev/null > "$scratch/actual" 2> "$scratch/stderr"
status=$?
if [ "$status" != 0 ]; then
  echo "exit status $status"
  cat "$scratch/stderr"
  rc=1
fi
diff -u "$here/c_debug.out" "$scratch/actual" || rc=1
exit $rc

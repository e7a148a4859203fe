#!/usr/bin/env bash
# Runs one scenario: NAME.cmd is typed into sim73500 on standard input and
# the session text must equal NAME.out. A first line "#args: ..." in
# NAME.cmd gives command-line arguments; "#status: N" the exit status.
set -u
bin=$1
cmd=$2
base=${cmd%.cmd}
expected=$base.out
args=$(sed -n 's/^#args: //p' "$cmd" | head -n 1)
want_status=$(sed -n 's/^#status: //p' "$cmd" | head -n 1)
want_status=${want_status:-0}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Scenario lines starting with "#" are directions for this runner only.
grep -v '^#' "$cmd" > "$scratch/input"
# shellcheck disable=SC2086
"$bin" $args < "$scratch/input" > "$scratch/actual" 2> "$scratch/stderr"
status=$?
rc=0
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"
  cat "$scratch/stderr"
  rc=1
fi
if ! diff -u "$expected" "$scratch/actual"; then
  rc=1
fi
exit $rc

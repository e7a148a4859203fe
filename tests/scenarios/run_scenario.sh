#!/usr/bin/env bash
# Runs one scenario: NAME.cmd is typed into sim73500 on standard input and
# the session text must equal NAME.out. A first line "#args: ..." in
# NAME.cmd gives command-line arguments; "#status: N" the exit status.
# "#scratch" runs the program in an empty folder (its path reads
# "<scratch>" in the session; macros/ is at hand there); "#show: FILE"
# appends the file the run left there, "#files" the folder's listing;
# "#head: N FILE" appends the first N lines of FILE;
# "#date" reads every date of the C library's text form as "<date>".
# "#file NAME: TEXT" adds the line TEXT to the file NAME in that folder
# before the run (a scenario with it runs there too); "#cld SOURCE OUT"
# then assembles SOURCE into the COFF program OUT with line numbers;
# "#cut FILE N" then cuts FILE to its first N bytes.
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
workdir=$PWD
if grep -q '^#scratch$\|^#file ' "$cmd"; then
  workdir=$scratch/work
  mkdir "$workdir"
  ln -s "$PWD/macros" "$workdir/macros"
  while IFS= read -r line; do
    name=${line#\#file }
    printf '%s\n' "${line#*: }" >> "$workdir/${name%%:*}"
  done < <(grep '^#file ' "$cmd")
  while read -r source out; do
    (cd "$workdir" && "${MAKE_TEST_CLD:?}" "$source" "$out") || exit 1
  done < <(sed -n 's/^#cld //p' "$cmd")
  while read -r file size; do
    truncate -s "$size" "$workdir/$file" || exit 1
  done < <(sed -n 's/^#cut //p' "$cmd")
fi
# shellcheck disable=SC2086
(cd "$workdir" && "$bin" $args) < "$scratch/input" > "$scratch/actual" 2> "$scratch/stderr"
status=$?
if [ "$workdir" != "$PWD" ]; then
  while IFS= read -r file; do
    echo "==== $file" >> "$scratch/actual"
    cat "$workdir/$file" >> "$scratch/actual" 2>&1 || echo "(missing)" >> "$scratch/actual"
  done < <(sed -n 's/^#show: //p' "$cmd")
  while read -r count file; do
    echo "==== $file (first $count lines)" >> "$scratch/actual"
    head -n "$count" "$workdir/$file" >> "$scratch/actual" 2>&1
  done < <(sed -n 's/^#head: //p' "$cmd")
  if grep -q '^#files$' "$cmd"; then
    echo "==== files" >> "$scratch/actual"
    (cd "$workdir" && ls -A | grep -v '^macros$') >> "$scratch/actual"
  fi
  real=$(cd "$workdir" && pwd -P)
  sed -i -e "s|$real|<scratch>|g" -e "s|$workdir|<scratch>|g" "$scratch/actual"
fi
if grep -q '^#date$' "$cmd"; then
  sed -i -E 's/[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}/<date>/g' "$scratch/actual"
fi
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

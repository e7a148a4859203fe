#!/usr/bin/env bash
# Runs each macro listed in scenarios.txt (paths from the repository's
# root, each ending with "quit") through both front-ends: as
# "sim73500 NAME.cmd </dev/null" on the console and as
# "sim73500 --gui=headless --transcript T NAME.cmd", from the macro's own
# folder, and compares the session text and the exit status. Dropped
# before comparing, as only one front-end prints them:
#   - the console's progress line "{SIMULATION IN PROGRESS.} ..." (the
#     GUI shows a run's progress in its status bar, not in the session);
#   - the GUI's "wsession" and "wcommand" echoes and the messages of the
#     windows they open (the console opens no windows at start);
#   - the console's word that a window command needs the GUI.
set -u
bin=$1
root=$2
list=$root/tests/gui/scenarios.txt
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
home=$scratch/home
mkdir -p "$home"
drop() {
  grep -v -e '^{SIMULATION IN PROGRESS\.}' -e '^wsession$' -e '^wcommand$' \
    -e '^{wsession: ' -e '^{wcommand: ' -e '^{w[a-z]*: windows are shown only by the GUI front-end}$' "$1"
}
rc=0
count=0
while IFS= read -r entry; do
  case "$entry" in ''|'#'*) continue ;; esac
  want_status=0
  case "$entry" in *' status '*) want_status=${entry##* status }; entry=${entry%% status *} ;; esac
  dir=$root/$(dirname "$entry")
  name=$(basename "$entry")
  (cd "$dir" && HOME=$home "$bin" "$name" </dev/null >"$scratch/console" 2>"$scratch/console.err")
  console_status=$?
  rm -f "$scratch/transcript"
  (cd "$dir" && HOME=$home "$bin" --gui=headless --transcript "$scratch/transcript" "$name" \
     </dev/null >"$scratch/gui.out" 2>"$scratch/gui.err")
  gui_status=$?
  count=$((count + 1))
  if [ "$console_status" != "$want_status" ] || [ "$gui_status" != "$want_status" ]; then
    echo "$entry: exit status console $console_status, GUI $gui_status, expected $want_status"
    cat "$scratch/gui.err"
    rc=1
  fi
  if ! diff -u <(drop "$scratch/console") <(drop "$scratch/transcript") > "$scratch/diff"; then
    echo "$entry: the sessions differ"
    cat "$scratch/diff"
    rc=1
  fi
done < "$list"
[ "$count" -gt 0 ] || { echo "no scenarios in $list"; exit 1; }
echo "$count scenarios compared"
exit $rc

#!/bin/sh
# sim73500's GUI with its resource file naming an object of the wrong class
# where a command space, a sub-menu or a window belongs: each run ends with
# status 1 and a message that names the file, never with a signal.
#   wrong_class_resources.sh SIM73500 VRTOOL SIM73500_TXT LIB_DIR
set -u
sim=$1 vrtool=$2 text=$3 lib=$4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bin" "$dir/home" "$dir/work"
cp "$sim" "$dir/bin/sim73500"
cp "$lib/vwexlin7.vr" "$dir/bin/"
unset WEXLINHOME
export HOME="$dir/home" WEXLIN_REGISTRY="$dir/no-registry"
failures=0
# try NAME SED-SCRIPT MACRO-LINE
try() {
  sed "$2" "$text" >"$dir/s.txt"
  cmp -s "$text" "$dir/s.txt" && { echo "FAIL: $1: the edit changed nothing"; failures=$((failures + 1)); return; }
  "$vrtool" build "$dir/s.txt" "$dir/bin/sim73500.vr" || { echo "FAIL: $1: vrtool"; failures=$((failures + 1)); return; }
  printf '%s\nevaluate 6*7\n' "$3" >"$dir/work/m.cmd"
  (cd "$dir/work" && timeout 120 "$dir/bin/sim73500" --gui=headless m.cmd </dev/null >/dev/null 2>"$dir/err")
  status=$?
  if [ $status != 1 ] || ! grep -qF "$dir/bin/sim73500.vr" "$dir/err"; then
    echo "FAIL: $1: status $status"
    cat "$dir/err"
    failures=$((failures + 1))
  fi
}
try "a dialog item's Space" \
  '/Tag = tag Ruler$/a\
        Space = dictionary { Class = tag vdialogItem }' "wwatch win1"
try "the Path SubMenu" \
  '/SubMenu = dictionary { Class = tag vmenu Tag = tag M_File_Path /s/Class = tag vmenu/Class = tag vdialogItem/' ""
try "the Watch window" \
  '/^Watch = dictionary {$/,/Class = tag/s/Class = tag vdialog$/Class = tag vdialogItem/' "wwatch win1"
try "a menu of the menu bar" 's/{ Class = tag vmenu Tag = tag FileMenu /{ Class = tag vmenuItem Tag = tag FileMenu /' ""
try "an item of a menu" \
  's/{ Class = tag vmenuItem Tag = tag M_File_Path_Set /{ Class = tag vdialogItem Tag = tag M_File_Path_Set /' ""
try "an item of a dialog" \
  '/^Watch = dictionary {$/,/Class = tag vruler$/s/Class = tag vruler$/Class = tag vmenu/' "wwatch win1"
echo "$failures failures"
[ $failures = 0 ]

#!/bin/sh
# sim73500's GUI with its resource file naming an object of the wrong class
# where a command space, a sub-menu, a window or an item a window finds by
# name belongs, or holding a list that claims more cells than it stores:
# never a signal or a hang. What the start-up reads ends the run with status
# 1 and a message that names the file; a window opened later is refused with
# an error naming the file, and the macro goes on.
# With the framework's resource text and filechsr_probe, the file chooser's
# items are tried too: the probe ends with status 1 and the damage said.
# With vimgedit too, the image editor's: status 1 and a message naming the file;
# and with the chooser probe, the windows the editor's commands open likewise.
#   wrong_class_resources.sh SIM73500 VRTOOL SIM73500_TXT LIB_DIR [FILECHSR_PROBE VWEXLIN7_TXT [VIMGEDIT [CHOOSER_PROBE]]]
set -u
sim=$1 vrtool=$2 text=$3 lib=$4 probe=${5:-} fwtext=${6:-} imgedit=${7:-} chsrprobe=${8:-}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bin" "$dir/home" "$dir/work"
cp "$sim" "$dir/bin/sim73500"
cp "$lib/vwexlin7.vr" "$dir/bin/"
unset WEXLINHOME
export HOME="$dir/home" WEXLIN_REGISTRY="$dir/no-registry"
failures=0
# edited NAME SED-SCRIPT MACRO-LINE: builds the edited file and runs the macro
# line, then 6*7; false when the edit could not be made.
edited() {
  sed "$2" "$text" >"$dir/s.txt"
  cmp -s "$text" "$dir/s.txt" && { echo "FAIL: $1: the edit changed nothing"; failures=$((failures + 1)); return 1; }
  "$vrtool" build "$dir/s.txt" "$dir/bin/sim73500.vr" || { echo "FAIL: $1: vrtool"; failures=$((failures + 1)); return 1; }
  printf '%s\nevaluate 6*7\n' "$3" >"$dir/work/m.cmd"
  rm -f "$dir/work/t.txt"
  (cd "$dir/work" && timeout 120 "$dir/bin/sim73500" --gui=headless --transcript t.txt m.cmd </dev/null >/dev/null 2>"$dir/err")
  status=$?
}
# try NAME SED-SCRIPT MACRO-LINE [TEXT the message says]: the run ends.
try() {
  edited "$@" || return
  if [ $status != 1 ] || ! grep -qF "$dir/bin/sim73500.vr" "$dir/err" || ! grep -qF "${4:-}" "$dir/err"; then
    echo "FAIL: $1: status $status"
    cat "$dir/err"
    failures=$((failures + 1))
  fi
}
# refused NAME SED-SCRIPT MACRO-LINE WINDOW: the window is refused, the macro
# goes on.
refused() {
  edited "$1" "$2" "$3" || return
  said="{Resource file $dir/bin/sim73500.vr is damaged: cannot open the $4 window: "
  if [ $status != 0 ] || ! grep -qF "$said" "$dir/work/t.txt" || ! sed -n "/$4 window/,\$p" "$dir/work/t.txt" | grep -q 'Uns:00042'; then
    echo "FAIL: $1: status $status"
    cat "$dir/err" "$dir/work/t.txt"
    failures=$((failures + 1))
  fi
}
refused "a dialog item's Space" \
  '/Tag = tag Ruler$/a\
        Space = dictionary { Class = tag vdialogItem }' "wwatch win1" Watch
try "the Path SubMenu" \
  '/SubMenu = dictionary { Class = tag vmenu Tag = tag M_File_Path /s/Class = tag vmenu/Class = tag vdialogItem/' ""
refused "the Watch window" \
  '/^Watch = dictionary {$/,/Class = tag/s/Class = tag vdialog$/Class = tag vdialogItem/' "wwatch win1" Watch
try "a menu of the menu bar" 's/{ Class = tag vmenu Tag = tag FileMenu /{ Class = tag vmenuItem Tag = tag FileMenu /' ""
try "an item of a menu" \
  's/{ Class = tag vmenuItem Tag = tag M_File_Path_Set /{ Class = tag vdialogItem Tag = tag M_File_Path_Set /' ""
refused "an item of a dialog" \
  '/^Watch = dictionary {$/,/Class = tag vruler$/s/Class = tag vruler$/Class = tag vmenu/' "wwatch win1" Watch
# Items a window finds by name, each given a class it cannot be used as.
# item TAG CLASS MACRO-LINE [WINDOW opened after the start-up]: the class is
# on the line above the item's first tag.
item() {
  line=$(grep -n "Tag = tag $1\$" "$text" | head -n 1 | cut -d: -f1)
  if [ -n "${4:-}" ]; then
    refused "$1 as $2" "$((line - 1))s/Class = tag [A-Za-z]*\$/Class = tag $2/" "$3" "$4"
  else
    try "$1 as $2" "$((line - 1))s/Class = tag [A-Za-z]*\$/Class = tag $2/" "$3"
  fi
}
item Command_Prompt vcontainer ""
item Error_Line vcontainer ""
item Command_History vpalette ""
item Calls_List vdialogItem wcalls Calls
item Calls_List vcontainer wcalls Calls
item Asm_List vcontainer wasm Assembly
item Memory_List vruler "wmemory x" Memory
item Register_List vcontainer wregister Register
item Watch_List vtextitem "wwatch r0" Watch
item Scroll_To vcontainer "wmemory x" Memory
item Source_Scroll vdialogItem wsource Source
item Session_Scroll vtextitem wsession
try "StatusBar as vcontainer" 's/{ Class = tag vtextitem Tag = tag StatusBar /{ Class = tag vcontainer Tag = tag StatusBar /' ""
try "Win_Palette as vdialogItem" 's/{ Class = tag vpalette Tag = tag Win_Palette /{ Class = tag vdialogItem Tag = tag Win_Palette /' ""
# The Reset dialog's list, its counts beyond its nine strings, put in the
# About box that every start loads.
for counts in "9 2147483647" "2147483647 2147483647"; do
  try "a list of ${counts% *} x ${counts#* } cells holding 9" \
    "/Tag = tag Close Title = string \"Close\"/a\\
      { Class = tag vlistitem Tag = tag Mode Flags = integer 647 Rect = array integer [ 12 58 196 210 ] FocusRow = integer 0 FocusColumn = integer 0 Attributes = integer 5181 ScrollBarMargin = integer 0 SelectMethod = tag \"One Only Selection\" Autowidth = integer 0 List = dictionary { Class = tag vlistitemList RowCount = integer ${counts% *} ColumnCount = integer ${counts#* } ListStorage = array string [ \"m0\" \"m1\" \"m2\" \"m3\" \"m4\" \"m5\" \"m6\" \"m7\" \"m8\" ] } }" "" \
    "vliststr: 9 stored strings for $((${counts% *} * ${counts#* })) cells"
done
# The file chooser's items, in the framework's file beside a copy of the probe.
chooser() {
  sed "s/Class = tag $1 Tag = tag $2/Class = tag $3 Tag = tag $2/" "$fwtext" >"$dir/w.txt"
  cmp -s "$fwtext" "$dir/w.txt" && { echo "FAIL: chooser $2: the edit changed nothing"; failures=$((failures + 1)); return; }
  "$vrtool" build "$dir/w.txt" "$dir/probe/vwexlin7.vr" || { echo "FAIL: chooser $2: vrtool"; failures=$((failures + 1)); return; }
  (cd "$dir/work" && WEXLIN_BACKEND=headless timeout 120 "$dir/probe/filechsr_probe" "$dir/work" "$dir/shot.png" \
    </dev/null >/dev/null 2>"$dir/err")
  status=$?
  if [ $status != 1 ] || ! grep -q "Resource file is damaged" "$dir/err"; then
    echo "FAIL: chooser $2 as $3: status $status"
    cat "$dir/err"
    failures=$((failures + 1))
  fi
}
if [ -n "$probe" ]; then
  mkdir -p "$dir/probe"
  cp "$probe" "$dir/probe/"
  chooser vfilechsrPathEntry PathEntry vcontainer
  chooser vfilechsrPathEntry PathEntry vdialogItem
  chooser vfilechsrListView List1 vdialogItem
  chooser vfilechsrListView List3 vlistview
  chooser vmenubar '"Local Menu Bar"' vdialogItem
  chooser vcontrolOptionMenu PathPopupMenu vdialogLabelItem
  chooser vcontrolToggle ReadOnly vdialogLabelItem
fi
# The image editor's items: its run on a small image ends at once.
editor() {
  sed "s/Class = tag $1 Tag = tag $2/Class = tag $3 Tag = tag $2/" "$fwtext" >"$dir/w.txt"
  "$vrtool" build "$dir/w.txt" "$dir/editor/vwexlin7.vr" || { echo "FAIL: editor $2: vrtool"; failures=$((failures + 1)); return; }
  (cd "$dir/work" && WEXLIN_BACKEND=headless timeout 120 "$dir/editor/vimgedit" a.pbm </dev/null >/dev/null 2>"$dir/err")
  status=$?
  if [ $status != 1 ] || ! grep -qF "$dir/editor/vwexlin7.vr" "$dir/err"; then
    echo "FAIL: editor $2 as $3: status $status"
    cat "$dir/err"
    failures=$((failures + 1))
  fi
}
if [ -n "$imgedit" ]; then
  mkdir -p "$dir/editor"
  cp "$imgedit" "$dir/editor/"
  printf 'P1\n2 2\n0 1\n1 0\n' >"$dir/work/a.pbm"
  editor vpalette toolPalette vdialogItem
  editor vpalette lineWtPalette vcontainer
  editor vmenubar '"Menu Bar"' vcontainer
fi
# The editor's windows, built only when a command asks for them (File >
# Import... and Export..., Image > Size..., Palette... and Font...): with its
# template damaged, status 1 and a message naming the file and the window,
# the only error said: never a signal nor a second error on the way out (a
# refused size dialog was freed again at exit); intact,
# each opens and the run ends with status 0.
# editor_window COMMAND[,COMMAND...] WINDOW SED-SCRIPT [FILE]
editor_window() {
  sed "$3" "$fwtext" >"$dir/w.txt"
  if [ -n "$2" ] && cmp -s "$fwtext" "$dir/w.txt"; then
    echo "FAIL: editor $1 [$3]: the edit changed nothing"
    failures=$((failures + 1))
    return
  fi
  "$vrtool" build "$dir/w.txt" "$dir/chooser/vwexlin7.vr" || { echo "FAIL: editor $1: vrtool"; failures=$((failures + 1)); return; }
  (cd "$dir/work" && WEXLIN_BACKEND=headless timeout 120 "$dir/chooser/imgedit_chooser_probe" "$1" ${4:-} </dev/null >/dev/null 2>"$dir/err")
  status=$?
  if [ -z "$2" ]; then
    [ $status = 0 ] && return
  elif [ $status = 1 ] && grep -qF "resource file $dir/chooser/vwexlin7.vr: cannot read the $2" "$dir/err" &&
    [ "$(grep -c 'An error has occurred' "$dir/err")" = 1 ]; then
    return
  fi
  echo "FAIL: editor $1 [$3]: status $status"
  cat "$dir/err"
  failures=$((failures + 1))
}
if [ -n "$chsrprobe" ]; then
  mkdir -p "$dir/chooser"
  cp "$chsrprobe" "$dir/chooser/"
  # A picture without a palette: Palette... picks a colour instead.
  printf 'P6\n2 1\n255\n\377\000\000\000\000\377' >"$dir/work/direct.ppm"
  path_entry='s/Class = tag vfilechsrPathEntry Tag = tag PathEntry/Class = tag vcontainer Tag = tag PathEntry/'
  for command in import export size palette font; do
    editor_window $command "" ""
  done
  editor_window palette "" "" direct.ppm
  editor_window import "file chooser" "$path_entry"
  editor_window export "file chooser" "$path_entry"
  # A refusal ends the program with the shared windows made before it still there.
  for made in size palette font; do
    editor_window $made,import "file chooser" "$path_entry"
  done
  for field in Width Height; do
    for class in vcontainer vdialogItem vbutton vdialogLabelItem; do
      editor_window size "size dialog" "s/Class = tag vtextitem Tag = tag $field /Class = tag $class Tag = tag $field /"
    done
    editor_window size "size dialog" "s/Class = tag vtextitem Tag = tag $field /Class = tag vtextitem Tag = tag Other /"
  done
  editor_window size "size dialog" 's/^  ImageSizeConfirm = dictionary {/  ImageSize = dictionary {/'
  editor_window palette "palette editor" 's/Class = tag vmenubar Tag = tag Menubar /Class = tag vdialogItem Tag = tag Menubar /'
  editor_window palette "colour chooser" \
    's/Class = tag vmenubar Tag = tag vcolorchsrMENU_BAR /Class = tag vdialogItem Tag = tag vcolorchsrMENU_BAR /' direct.ppm
  editor_window font "font chooser" 's/Class = tag vlistitem Tag = tag Family /Class = tag vcontainer Tag = tag Family /'
fi
echo "$failures failures"
[ $failures = 0 ]

#!/bin/sh
# Every item name of both resource files, missing and renamed, never ends a
# program by a signal or a hang. The installed files are dumped with vrtool,
# the items of one or more names taken out (the element or entry that holds
# the tag) or renamed everywhere, and the file built again. With
# sim73500.vr edited, sim73500 starts headless on a macro that opens every
# window; with vwexlin7.vr edited, the same run, the image editor with its
# Import chooser, and the framework's file chooser on a folder. Each run ends
# with status 0 or 1. Names are tried a group at a time; a group in which
# anything was refused (status 1, or a window refused in the session) is
# tried again one name at a time, so that no refusal hides another name.
#   missing_items_sweep.sh SIM73500 VRTOOL LIB_DIR CHOOSER_PROBE FILECHSR_PROBE [JOBS]
set -u
if [ "${1:-}" = --case ]; then
  # --case TOP FILE MODE NAMES-FILE: one edited file, its programs run.
  top=$2 file=$3 mode=$4 names=$5
  dir=$(mktemp -d "$top/case.XXXXXX")
  trap 'rm -rf "$dir"' EXIT
  mkdir -p "$dir/bin" "$dir/home" "$dir/work/tree/a"
  # The programs find their files beside themselves: the files copied,
  # the programs hard-linked (a copy of each for every run would cost more
  # than the run).
  cp "$top/lib/sim73500.vr" "$top/lib/vwexlin7.vr" "$dir/bin/"
  awk -v mode="$mode" -v names="$names" '
    BEGIN { while ((getline n <names) > 0) want[n] = 1 }
    { line[NR] = $0 }
    END {
      for (i = 1; i <= NR; i++) {
        if (!match(line[i], /^ *Tag = tag /)) continue
        value = substr(line[i], RLENGTH + 1)
        if (!(value in want)) continue
        indent = RLENGTH - length("Tag = tag ")
        if (mode == "renamed") {
          if (value ~ /^".*"$/) value = substr(value, 1, length(value) - 1) " gone\""
          else value = value "_gone"
          line[i] = substr(line[i], 1, indent) "Tag = tag " value
          continue
        }
        outer = sprintf("%" (indent - 2) "s", "")
        for (j = i - 1; j > 0 && !(substr(line[j], 1, indent - 2) == outer && substr(line[j], indent - 1, 1) != " " && line[j] ~ /\{$/); j--);
        for (m = i + 1; m <= NR && !(substr(line[m], 1, indent - 2) == outer && substr(line[m], indent - 1, 1) == "}"); m++);
        for (k = j; k <= m; k++) gone[k] = 1
      }
      for (i = 1; i <= NR; i++) if (!(i in gone)) print line[i]
    }' "$top/$file.txt" >"$dir/edited.txt"
  if cmp -s "$top/$file.txt" "$dir/edited.txt"; then
    echo "FAIL $file $mode $names: $(tr '\n' ' ' <"$names"): the edit changed nothing"
    exit 0
  fi
  if ! "$top/vrtool" build "$dir/edited.txt" "$dir/bin/$file.vr" >"$dir/err" 2>&1; then
    echo "FAIL $file $mode $names: $(tr '\n' ' ' <"$names"): vrtool: $(head -c 200 "$dir/err")"
    exit 0
  fi
  export HOME="$dir/home" WEXLIN_REGISTRY="$dir/no-registry"
  unset WEXLINHOME
  cp "$top/m.cmd" "$dir/work/"
  printf 'evaluate 1\n' >"$dir/work/x.cmd"
  verdict=OK detail=
  # judge NAME STATUS: 0 runs on, 1 is a refusal, anything else a fault.
  judge() {
    case $2 in
      0) ;;
      1) [ $verdict = OK ] && verdict=REFUSED ;;
      *)
        verdict=FAIL
        detail="$detail $1 status $2: $(head -c 300 "$dir/err" | tr '\n' ' ')"
        ;;
    esac
  }
  ln "$top/sim73500" "$dir/bin/"
  (cd "$dir/work" && timeout 120 "$dir/bin/sim73500" --gui=headless --transcript t.txt m.cmd </dev/null >/dev/null 2>"$dir/err")
  judge sim73500 $?
  grep -q '^{Resource file' "$dir/work/t.txt" 2>/dev/null && [ $verdict = OK ] && verdict=REFUSED
  # The names a refusal of sim73500 named: tried no further in this group.
  cat "$dir/err" "$dir/work/t.txt" 2>/dev/null >"$dir/said"
  while read -r name; do
    grep -qF -e "item $name missing" -e "item $name of another class" "$dir/said" && printf '%s\n' "$name"
  done <"$names" >"$names.named"
  if [ "$file" = vwexlin7 ]; then
    # The editor's Import: the editor opened, then its file chooser.
    ln "$top/imgedit_chooser_probe" "$dir/bin/"
    (cd "$dir/work" && WEXLIN_BACKEND=headless timeout 120 "$dir/bin/imgedit_chooser_probe" import </dev/null >/dev/null 2>"$dir/err")
    judge imgedit_chooser_probe $?
    # The framework's file chooser as sim73500 opens it, on a folder.
    ln "$top/filechsr_probe" "$dir/bin/"
    (cd "$dir/work" && WEXLIN_BACKEND=headless timeout 120 "$dir/bin/filechsr_probe" "$dir/work/tree" "$dir/shot.png" \
      </dev/null >/dev/null 2>"$dir/err")
    judge filechsr_probe $?
  fi
  echo "$verdict $file $mode $names: $(tr '\n' ' ' <"$names")$detail"
  exit 0
fi

sim=$1 vrtool=$2 lib=$3 import=$4 chooser=$5 jobs=${6:-3}
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
mkdir -p "$top/lib" "$top/groups"
cp "$sim" "$top/sim73500"
cp "$vrtool" "$top/vrtool"
cp "$import" "$top/imgedit_chooser_probe"
cp "$chooser" "$top/filechsr_probe"
cp "$lib/sim73500.vr" "$lib/vwexlin7.vr" "$top/lib/"
cat >"$top/m.cmd" <<'EOF'
wcommand
wsession
wsource
wasm
wmemory x
wregister
wwatch r0
wcalls
wstack
wbreakpoint
winput
woutput
wlist x.cmd
wait 1
evaluate 6*7
quit
EOF
# A group holds up to this many names of one file.
group=16
for file in sim73500 vwexlin7; do
  "$top/vrtool" dump "$top/lib/$file.vr" "$top/$file.txt" || { echo "FAIL: vrtool dump $file.vr"; exit 1; }
  sed -n 's/^ *Tag = tag //p' "$top/$file.txt" | sort -u >"$top/$file.names"
  [ -s "$top/$file.names" ] || { echo "FAIL: no item names in $file.vr"; exit 1; }
  split -l $group "$top/$file.names" "$top/groups/$file."
done
# Every case line: FILE MODE NAMES-FILE.
for g in "$top"/groups/*; do
  for mode in missing renamed; do
    cp "$g" "$g.$mode"
    echo "$(basename "$g" | cut -d. -f1) $mode $g.$mode"
  done
done >"$top/cases"
# Rounds: a group in which something was refused is tried again without
# the names the refusal named, or else in halves, until each run refuses
# nothing or holds one name.
: >"$top/results"
round=0
while [ -s "$top/cases" ]; do
  round=$((round + 1))
  xargs -P "$jobs" -L 1 sh "$0" --case "$top" <"$top/cases" >"$top/round"
  cat "$top/round" >>"$top/results"
  grep '^REFUSED ' "$top/round" | while read -r verdict file mode g rest; do
    : "$verdict" "$rest"
    g=${g%:}
    [ "$(grep -c . "$g")" -gt 1 ] || continue
    if [ -s "$g.named" ]; then
      grep -vxF -f "$g.named" "$g" >"$g.r"
      [ -s "$g.r" ] && echo "$file $mode $g.r"
    else
      half=$(( ($(grep -c . "$g") + 1) / 2 ))
      head -n $half "$g" >"$g.a"
      tail -n +$((half + 1)) "$g" >"$g.b"
      echo "$file $mode $g.a"
      echo "$file $mode $g.b"
    fi
  done >"$top/cases"
done
names=$(cat "$top/sim73500.names" "$top/vwexlin7.names" | wc -l)
echo "item names: $names; runs: $(wc -l <"$top/results") in $round rounds; refused: $(grep -c '^REFUSED ' "$top/results")"
bad=$(grep -v '^OK \|^REFUSED ' "$top/results")
if [ -n "$bad" ]; then
  printf '%s\n' "$bad"
  exit 1
fi
exit 0

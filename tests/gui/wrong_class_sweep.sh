#!/bin/sh
# Not run by CI (a few minutes): gives every "Class = tag" line of
# sim73500's resource text and of the framework's a wrong class in turn,
# rebuilds the file with vrtool and starts the GUI headless on a macro that
# opens every window and the Wait notice; for the framework's lines the
# file chooser is made too (filechsr_probe, as no macro can reach it).
# Each run must end with status 0 or 1: a signal (status 128 and up, a
# sanitizer's abort) or timeout's 124 is a fault, listed at the end.
#   wrong_class_sweep.sh BUILD_DIR SOURCE_DIR [JOBS]
# BUILD_DIR holds bin/sim73500, bin/vrtool, lib/*.vr and tests/filechsr_probe.
set -u
if [ "${1:-}" = --one ]; then
  # --one BUILD SOURCE OUT FILE LINE: one line of FILE given a wrong class.
  build=$2 src=$3 out=$4 file=$5 line=$6
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
  mkdir -p "$dir/bin" "$dir/home" "$dir/work/tree/a"
  cp "$build/bin/sim73500" "$build/lib/sim73500.vr" "$build/lib/vwexlin7.vr" "$dir/bin/"
  cp "$build/tests/filechsr_probe" "$dir/bin/"
  case $file in
    sim73500.txt) text=$src/frontends/gui/resources/sim73500.txt target=sim73500.vr ;;
    *) text=$src/fw/data/resources/vwexlin7.txt target=vwexlin7.vr ;;
  esac
  old=$(sed -n "${line}p" "$text" | grep -o 'Class = tag [A-Za-z0-9_]*' | head -n 1 | cut -d' ' -f4)
  # A wrong class for the line, taken in turn from classes the files use.
  set -- vcontainer vdialogItem vpalette vtextitem vmenu vlistview vmenuItem vcontrol vruler vbutton
  shift $((line % 10))
  wrong=${1:-vcontainer}
  [ "$wrong" = "$old" ] && wrong=vdialogLabelItem
  sed "${line}s/Class = tag $old/Class = tag $wrong/" "$text" >"$dir/s.txt"
  if ! "$build/bin/vrtool" build "$dir/s.txt" "$dir/bin/$target" >/dev/null 2>&1; then
    echo "$file:$line $old>$wrong vrtool" >>"$out"
    exit 0
  fi
  printf 'x.cmd\n' >"$dir/work/x.cmd"
  cat >"$dir/work/m.cmd" <<'EOF'
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
  export HOME="$dir/home" WEXLIN_REGISTRY="$dir/no-registry"
  unset WEXLINHOME
  (cd "$dir/work" && timeout 60 "$dir/bin/sim73500" --gui=headless m.cmd </dev/null >/dev/null 2>"$dir/err")
  status=$?
  printf '%s\n' "$file:$line $old>$wrong sim73500 $status $(head -c 200 "$dir/err" | tr '\n' ' ')" >>"$out"
  if [ "$target" = vwexlin7.vr ]; then
    (cd "$dir/work" && WEXLIN_BACKEND=headless timeout 60 "$dir/bin/filechsr_probe" "$dir/work/tree" "$dir/shot.png" \
      </dev/null >/dev/null 2>"$dir/err")
    status=$?
    printf '%s\n' "$file:$line $old>$wrong chooser $status $(head -c 200 "$dir/err" | tr '\n' ' ')" >>"$out"
  fi
  exit 0
fi

build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) jobs=${3:-3}
out=$(mktemp)
for file in frontends/gui/resources/sim73500.txt fw/data/resources/vwexlin7.txt; do
  grep -n 'Class = tag [A-Za-z]' "$src/$file" | cut -d: -f1 | sed "s|^|$(basename "$file") |"
done | xargs -P "$jobs" -L 1 sh "$0" --one "$build" "$src" "$out"
lines=$(grep -c . "$out")
echo "lines tried: $(cut -d' ' -f1 "$out" | sort -u | wc -l), runs: $lines"
echo "exits 0: $(awk '$4 == 0' "$out" | wc -l)"
echo "exits 1: $(awk '$4 == 1' "$out" | wc -l)"
echo "vrtool refused: $(awk '$3 == "vrtool"' "$out" | wc -l)"
bad=$(awk '$3 != "vrtool" && $4 != 0 && $4 != 1' "$out")
echo "signal deaths and hangs: $(printf '%s' "$bad" | grep -c .)"
[ -n "$bad" ] && printf '%s\n' "$bad"
rm -f "$out"
[ -z "$bad" ]

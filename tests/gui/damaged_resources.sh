#!/bin/sh
# sim73500's GUI with one of its resource files damaged: cut short, or one
# byte changed. Each run either ends with status 1 and a message that names
# the damaged file, or does what its macro asks; never a run that does
# nothing. With "x11" (under x11_smoke.sh) only cuts are tried, on the X
# server, where a run that does nothing would never end.
#   damaged_resources.sh SIM73500 LIB_DIR [x11]
set -u
sim=$1 lib=$2 mode=${3:-headless}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bin" "$dir/home" "$dir/work"
cp "$sim" "$dir/bin/sim73500"
unset WEXLINHOME
export HOME="$dir/home" WEXLIN_REGISTRY="$dir/no-registry"
printf 'evaluate 6*7\n' >"$dir/work/m.cmd"
failures=0 tried=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Writes the damaged copy of file $1 to $2: "cut N" or "flip OFFSET".
damage() {
  case $3 in
    cut) head -c "$4" "$1" >"$2" ;;
    flip)
      cp "$1" "$2"
      byte=$(od -An -tu1 -j "$4" -N1 "$1" | tr -d ' ')
      printf "$(printf '\\%03o' $(( (byte + 97) % 256 )))" | dd of="$2" bs=1 seek="$4" conv=notrunc 2>/dev/null
      ;;
  esac
}
run() {
  if [ "$mode" = x11 ]; then
    (cd "$dir/work" && timeout 120 "$dir/bin/sim73500" --gui --transcript t.txt m.cmd </dev/null >/dev/null 2>"$dir/err")
  else
    (cd "$dir/work" && timeout 120 "$dir/bin/sim73500" --gui=headless --transcript t.txt m.cmd </dev/null >/dev/null 2>"$dir/err")
  fi
}
for name in sim73500.vr vwexlin7.vr; do
  size=$(wc -c <"$lib/$name")
  cases="cut:0 cut:1 cut:40 cut:$((size / 3)) cut:$((size / 2)) cut:$((size - 1))"
  if [ "$mode" != x11 ]; then
    i=0
    while [ $i -lt 12 ]; do
      cases="$cases flip:$(( (i * 7919 * 613 + 11) % size ))"
      i=$((i + 1))
    done
  fi
  for c in $cases; do
    for other in sim73500.vr vwexlin7.vr; do cp "$lib/$other" "$dir/bin/$other"; done
    damage "$lib/$name" "$dir/bin/$name" "${c%%:*}" "${c#*:}"
    rm -f "$dir/work/t.txt"
    run
    status=$?
    tried=$((tried + 1))
    if [ $status = 1 ]; then
      grep -qF "$dir/bin/$name" "$dir/err" || { fail "$name $c: status 1 without naming the file"; cat "$dir/err"; }
    elif [ $status = 0 ] && [ "$mode" != x11 ]; then
      grep -q '42' "$dir/work/t.txt" 2>/dev/null || fail "$name $c: status 0, yet the macro did not run"
    else
      fail "$name $c: status $status"
      cat "$dir/err"
    fi
    case $c in cut:*)
      [ $status = 1 ] || fail "$name $c: a cut file was taken" ;;
    esac
  done
done
echo "$tried damaged copies tried, $failures failures"
[ $failures = 0 ]

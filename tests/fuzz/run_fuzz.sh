#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each, two side by side, from corpora
# seeded with the scenario and demo macros. A finding (a crash, a sanitizer
# report, a broken check, a hang) fails the run and leaves its input in
# FINDINGS. Usage: run_fuzz.sh BIN_DIR SECONDS [TARGET...]
set -uo pipefail
bin=$1
secs=$2
shift 2
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(commands keys expr asm disasm lod coff core break frames statefile streamfile writers cexpr btree chunk vr vrobjects newres restree marshal vdas fontname rlediff bmp ico xbm pnm gif imgread textedit textload)
src=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$src/../.." && pwd)
work=$(cd "$bin" && pwd)
corpus=$work/corpus
findings=$work/findings
mkdir -p "$corpus" "$findings"

# One seed file per line of the scenarios and demos that starts with
# `prefix`, with the prefix taken off and `head` put before it.
seed_lines() {
  local dir=$1 prefix=$2 head=$3 n=0 line
  mkdir -p "$dir"
  while IFS= read -r line; do
    n=$((n + 1))
    { printf '%b' "$head"; printf '%s' "${line#"$prefix"}"; } > "$dir/seed-$n"
  done < <(grep -h "^$prefix" "$root"/tests/scenarios/*.cmd "$root"/demo/*.cmd | sort -u)
}

seed() {
  local t=$1 dir=$corpus/$1
  [ -d "$dir" ] && return
  mkdir -p "$dir"
  case $t in
    commands|keys|writers)
      for f in "$root"/tests/scenarios/*.cmd "$root"/demo/*.cmd; do
        grep -v '^#' "$f" > "$dir/$(basename "$f")"
      done
      [ "$t" = commands ] && cp "$src"/seeds/commands/* "$dir"/ ;;
    break) seed_lines "$dir" "break " '' ;;
    expr) seed_lines "$dir" "evaluate " '\x00\x00' ;;
    asm)
      n=0
      while IFS= read -r line; do
        n=$((n + 1))
        { printf '\x10\x00'; printf '%s' "$line"; } > "$dir/seed-$n"
      done < <(grep -h '^asm p:' "$root"/tests/scenarios/*.cmd | sed 's/^asm p:[^ ]* //' | sort -u) ;;
    lod) cp "$src"/seeds/lod/* "$dir"/ ;;
    streamfile) cp "$src"/seeds/streamfile/* "$dir"/ ;;
    coff) cp "$src"/seeds/coff/* "$dir"/ ;;
    btree) cp "$src"/seeds/btree/* "$dir"/ ;;
    chunk) cp "$src"/seeds/chunk/* "$dir"/ ;;
    vr) cp "$src"/seeds/vr/* "$dir"/ ;;
    vrobjects) cp "$src"/seeds/vrobjects/* "$dir"/ ;;
    statefile) cp "$src"/seeds/statefile/* "$dir"/ ;;
    cexpr) cp "$src"/seeds/cexpr/* "$dir"/ ;;
    newres) cp "$src"/seeds/newres/* "$dir"/ ;;
    restree) cp "$src"/seeds/restree/* "$dir"/ ;;
    marshal) cp "$src"/seeds/marshal/* "$dir"/ ;;
    vdas) cp "$src"/seeds/vdas/* "$dir"/ ;;
    fontname) cp "$src"/seeds/fontname/* "$dir"/ ;;
    rlediff|bmp|ico|xbm|pnm|gif|textedit|textload) cp "$src"/seeds/$t/* "$dir"/ ;;
    imgread)
      # Each image seed under the name its format's reader is chosen by.
      local f k=0
      for f in "$src"/seeds/gif/* "$src"/seeds/pnm/* "$src"/seeds/xbm/* "$src"/seeds/bmp/* "$src"/seeds/ico/*; do
        local pick
        case $f in */gif/*) pick='\x00' ;; */pnm/*) pick='\x03' ;; */xbm/*) pick='\x04' ;; */bmp/*) pick='\x05' ;; *) pick='\x06' ;; esac
        k=$((k + 1))
        { printf "$pick"; cat "$f"; } > "$dir/seed-$k"
      done ;;
  esac
}

# The break target reads a 64-byte program first.
fix_break_seeds() {
  local f
  for f in "$corpus"/break/seed-*; do
    [ -f "$f" ] || continue
    { head -c 64 /dev/zero; cat "$f"; } > "$f.tmp" && mv "$f.tmp" "$f"
  done
  cp "$src"/seeds/break/* "$corpus"/break/
}

run_one() {
  local t=$1 log=$work/fuzz_$1.log
  "$work/fuzz_$t" "$corpus/$t" -max_total_time="$secs" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$t-" > "$log" 2>&1
  local status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ $status -eq 0 ]; then
    echo "fuzz_$t: ${runs:-?} executions in ${secs} s, no finding"
  else
    echo "fuzz_$t: FINDING after ${runs:-?} executions (exit $status); log $log"
    grep -m 20 -E 'ERROR|SUMMARY|runtime error|==[0-9]+==|outlived|round trip|assembl|refused|paged' "$log"
  fi
  return $status
}

for t in "${targets[@]}"; do
  fresh=0
  [ -d "$corpus/$t" ] || fresh=1
  seed "$t"
  [ "$t" = break ] && [ $fresh = 1 ] && fix_break_seeds
done

# FUZZ_SIDE_BY_SIDE targets run at once (default 2).
side=${FUZZ_SIDE_BY_SIDE:-2}
failed=0
running=()
for t in "${targets[@]}"; do
  run_one "$t" &
  running+=($!)
  if [ ${#running[@]} -ge "$side" ]; then
    for p in "${running[@]}"; do wait "$p" || failed=1; done
    running=()
  fi
done
for p in "${running[@]}"; do wait "$p" || failed=1; done
exit $failed

#!/usr/bin/env bash
# The ./run script against stand-in tools: JOBS reaches every build, test
# and fuzz run of every mode, a bad JOBS is refused, demo, gui and install
# build only the programs they run, install goes where it is told, the
# README names every package the script may install, and the fuzz runner
# starts no more targets at once than it is told.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A copy of the script in a tree of its own, with every tool it calls
# replaced by one that logs its arguments.
tree=$work/tree
stubs=$work/bin
log=$work/log
mkdir -p "$tree/tests/fuzz" "$stubs"
cp "$root/run" "$tree/run"
stub() {
  printf '#!/usr/bin/env bash\necho "%s $*" >> "%s"\n' "$1" "$log" > "$2"
  chmod +x "$2"
}
for tool in cmake ctest ninja g++ clang++ gs apt-get; do stub "$tool" "$stubs/$tool"; done
printf '#!/usr/bin/env bash\n"$@"\n' > "$stubs/sudo" && chmod +x "$stubs/sudo"
printf '#!/usr/bin/env bash\necho 5\n' > "$stubs/nproc" && chmod +x "$stubs/nproc"
printf '#!/usr/bin/env bash\necho "run_fuzz side=$FUZZ_SIDE_BY_SIDE $*" >> "%s"\n' "$log" \
  > "$tree/tests/fuzz/run_fuzz.sh"
chmod +x "$tree/tests/fuzz/run_fuzz.sh"
for p in release ci asan ci-asan; do
  mkdir -p "$tree/build/$p/bin" "$tree/build/$p/bench"
  stub sim73500 "$tree/build/$p/bin/sim73500"
  stub run_loop "$tree/build/$p/bench/run_loop"
done
mkdir -p "$tree/build/tsan/tests"
stub cmd_tests "$tree/build/tsan/tests/cmd_tests"

# mode, JOBS ("-" unset), further arguments ("_" between words, "-" none),
# the -j every build and test run must get, the fuzz runner's arguments
# ("-" when the mode runs none)
cases='
demo   3  -        3 -
gui    2  -        2 -
install 3 -        3 -
test   3  --werror 3 -
test   -  -        5 -
asan   2  --werror 2 -
tsan   2  -        2 -
bench  4  -        4 -
fuzz   3  -        3 side=2_build/fuzz/tests/fuzz_20
fuzz   1  -        1 side=1_build/fuzz/tests/fuzz_20
fuzz   2  7_lod    2 side=2_build/fuzz/tests/fuzz_7_lod
fuzz   6  -        6 side=3_build/fuzz/tests/fuzz_20
fuzz   12 -        12 side=4_build/fuzz/tests/fuzz_20
'
while read -r mode jobs extra want_j want_fuzz; do
  [ -z "$mode" ] && continue
  : > "$log"
  args=("$mode")
  [ "$extra" != - ] && read -ra more <<< "${extra//_/ }" && args+=("${more[@]}")
  if [ "$jobs" = - ]; then
    env -u JOBS DISPLAY=:99 PATH="$stubs:$PATH" "$tree/run" "${args[@]}" > "$work/out" 2>&1
  else
    JOBS=$jobs DISPLAY=:99 PATH="$stubs:$PATH" "$tree/run" "${args[@]}" > "$work/out" 2>&1
  fi
  status=$?
  what="$mode JOBS=$jobs $extra"
  [ $status -eq 0 ] || { fail "$what: exit $status"; cat "$work/out"; }
  builds=$(grep -c '^cmake --build' "$log")
  [ "$builds" -ge 1 ] || fail "$what: nothing built"
  while IFS= read -r line; do
    case " $line " in
      *" -j $want_j "*) ;;
      *) fail "$what: '$line' without -j $want_j" ;;
    esac
  done < <(grep -E '^(cmake --build|ctest)' "$log")
  case $mode in
    test | asan)
      grep -q '^ctest' "$log" || fail "$what: no test run"
      # CI reads which tests were skipped, and why, from this file.
      grep -q '^ctest .*--output-junit ctest-junit.xml' "$log" || fail "$what: no JUnit results written"
      ;;
  esac
  # The programs they run and nothing else: no test or benchmark.
  want_targets=
  case $mode in
    demo) want_targets="sim73500" ;;
    gui) want_targets="sim73500 vhelpsrv" ;;
    install) want_targets="sim73500 vhelpsrv vimgedit vrtool" ;;
  esac
  if [ -n "$want_targets" ]; then
    grep -q "^cmake --build --preset release -j $want_j --target $want_targets\$" "$log" ||
      fail "$what: built '$(grep '^cmake --build' "$log")', want the targets $want_targets"
  fi
  if [ "$want_fuzz" != - ]; then
    grep -qx "run_fuzz ${want_fuzz//_/ }" "$log" ||
      fail "$what: fuzz runner got '$(grep '^run_fuzz' "$log")', want '${want_fuzz//_/ }'"
  fi
done <<< "$cases"

# The demo and the GUI run the built program on their macros.
: > "$log"
JOBS=1 DISPLAY=:99 PATH="$stubs:$PATH" "$tree/run" gui > "$work/out" 2>&1
grep -qx "sim73500 --gui demo/fir_gui.cmd" "$log" || fail "gui ran '$(grep '^sim73500' "$log")'"
: > "$log"
JOBS=1 PATH="$stubs:$PATH" "$tree/run" demo > "$work/out" 2>&1
grep -qx "sim73500 demo/fir.cmd" "$log" || fail "demo ran '$(grep '^sim73500' "$log")'"
# Without a display the GUI says so, builds nothing and exits 1.
: > "$log"
env -u DISPLAY JOBS=1 PATH="$stubs:$PATH" "$tree/run" gui > "$work/out" 2>&1
status=$?
[ $status -eq 1 ] || fail "gui without DISPLAY: exit $status"
grep -q "no X display" "$work/out" || fail "gui without DISPLAY: '$(cat "$work/out")'"
grep -q '^cmake' "$log" && fail "gui without DISPLAY still built"
# install: ~/.local by default; a relative prefix is taken from where the
# user stands, not from the tree.
for given in - rel/pre /abs/pre; do
  : > "$log"
  mkdir -p "$work/here"
  if [ "$given" = - ]; then
    (cd "$work/here" && HOME="$work/home" JOBS=1 PATH="$stubs:$PATH" "$tree/run" install > "$work/out" 2>&1)
    want="$work/home/.local"
  else
    (cd "$work/here" && JOBS=1 PATH="$stubs:$PATH" "$tree/run" install "$given" > "$work/out" 2>&1)
    case $given in /*) want=$given ;; *) want="$work/here/$given" ;; esac
  fi
  grep -qx "cmake --install build/release --prefix $want" "$log" ||
    fail "install $given: '$(grep '^cmake --install' "$log")', want the prefix $want"
done

for bad in 0 x 2x -1; do
  : > "$log"
  JOBS=$bad PATH="$stubs:$PATH" "$tree/run" test > "$work/out" 2>&1
  status=$?
  [ $status -eq 2 ] || fail "JOBS='$bad' gave exit $status"
  grep -q '^cmake' "$log" && fail "JOBS='$bad' still built"
done

# Every package the script may install is named in the README.
readme=$(cat "$root/README.md")
packages=$(grep -oE 'need\+=\([^)]*\)' "$root/run" | sed -E 's/need\+=\((.*)\)/\1/')
[ -n "$packages" ] || fail "no package list found in run"
for pkg in $packages; do
  [[ $readme == *"\`$pkg\`"* ]] || fail "README does not name the package $pkg"
done

# The fuzz runner over stand-in targets that log their start and end: never
# more than FUZZ_SIDE_BY_SIDE running, and a finding fails the run.
bin=$work/fuzzbin
mkdir -p "$bin"
for t in btree chunk vr newres lod; do
  cat > "$bin/fuzz_$t" <<EOF
#!/usr/bin/env bash
echo "start $t" >> "$work/fuzzlog"
# Running until as many run together as the runner allows (or all have
# started), so the overlap does not depend on how fast the host starts them.
for i in \$(seq 1 300); do
  starts=\$(grep -c ^start "$work/fuzzlog"); ends=\$(grep -c ^end "$work/fuzzlog")
  [ \$((starts - ends)) -ge "\${FUZZ_SIDE_BY_SIDE:-2}" ] || [ "\$starts" -ge 5 ] && break
  sleep 0.1
done
echo "end $t" >> "$work/fuzzlog"
echo "stat::number_of_executed_units: 9"
[ "$t" != "\${FAIL_TARGET:-}" ]
EOF
  chmod +x "$bin/fuzz_$t"
done
for side in 1 2 3; do
  : > "$work/fuzzlog"
  FUZZ_SIDE_BY_SIDE=$side "$root/tests/fuzz/run_fuzz.sh" "$bin" 1 btree chunk vr newres lod > "$work/out" 2>&1 ||
    fail "fuzz runner, $side at once: failed without a finding"
  most=$(awk '/^start/ { ++n; if (n > m) m = n } /^end/ { --n } END { print m }' "$work/fuzzlog")
  [ "$most" = "$side" ] || fail "fuzz runner, $side at once: $most ran together"
  [ "$(grep -c '^end' "$work/fuzzlog")" = 5 ] || fail "fuzz runner, $side at once: not every target ran"
done
FAIL_TARGET=newres FUZZ_SIDE_BY_SIDE=2 "$root/tests/fuzz/run_fuzz.sh" "$bin" 1 btree chunk vr newres lod \
  > "$work/out" 2>&1 && fail "fuzz runner: a finding did not fail the run"
grep -q '^fuzz_newres: FINDING' "$work/out" || fail "fuzz runner: the finding is not reported"

# CI's skip check: a skip listed in .ci/allowed-skips passes, a skip for a
# missing tool fails, and so does a listed test skipped for another reason.
junit() {
  { echo '<testsuite>'
    while [ $# -gt 0 ]; do
      printf '<testcase name="%s" status="notrun"><skipped message="x"/><system-out>%s</system-out></testcase>\n' \
        "$1" "$2"
      shift 2
    done
    echo '<testcase name="Other.Runs" status="run"><system-out>ok</system-out></testcase></testsuite>'; } > "$work/j.xml"
}
skips() { "$root/.ci/check-skips" "$work/j.xml" > "$work/out" 2>&1; }
junit
skips || fail "skip check: no skip failed: $(cat "$work/out")"
junit StartupMark.SetByStartupAndByTheFirstRegistration "[  SKIPPED ] an earlier test of this process set the mark"
skips || fail "skip check: an allowed skip failed: $(cat "$work/out")"
junit Report.PostScript "[  SKIPPED ] gs is not installed"
skips && fail "skip check: a skip for a missing tool passed"
grep -q 'NOT ALLOWED skip: Report.PostScript: .*gs is not installed' "$work/out" ||
  fail "skip check: the refused skip is not named: $(cat "$work/out")"
junit StartupMark.SetByStartupAndByTheFirstRegistration "skipped: xwd is not installed"
skips && fail "skip check: an allowed test skipped for a missing tool passed"
# Every tool the tests look for is one the script installs.
for tool in xwd xdotool xwininfo xdpyinfo gs cc Xvfb openbox pamtogif; do
  grep -q "command -v $tool " "$root/run" || fail "run installs nothing that gives $tool"
done

[ $failures -eq 0 ] && echo "run script: every case passed"
exit $((failures > 0))

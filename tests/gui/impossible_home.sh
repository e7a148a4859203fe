#!/bin/sh
# The programs under a HOME they cannot use as given, each form in its own
# folders: a text of 4,084-4,096 characters (a folder that leaves no room
# for a file's name in it), one over 4,096 (no path at all), a file, a
# missing folder and a closed one.
# - A text that makes no path fails that source of the home directory: the
#   next one (the registry stand-in's, a folder of the test's) takes the store.
# - A home the store cannot be made in: the program ends as usual (status
#   0), saying once that the preferences were not saved.
# - The help server, which clients find by its marker in the home, says it
#   cannot write the marker and ends with status 1 when it cannot.
# - The terminal front-end and the headless GUI run their commands.
# Never "An error has occurred", never a refused start.
#   impossible_home.sh BIN [x11]   (x11: sim73500 --gui alone, under x11_smoke.sh)
set -u
bin=$1
mode=${2:-headless}
dir=$(mktemp -d)
trap 'chmod -R u+rwx "$dir" 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# A folder name of exactly $2 characters under $1.
long_home() {
  p=$1
  while [ $((${#p} + 12)) -le "$2" ]; do p="$p/aaaaaaaaa"; done
  p="$p/$(printf "%$(($2 - ${#p} - 1))s" "" | tr ' ' b)"
  echo "$p"
}
# Whether process $1 has its handler for SIGTERM (bit 15) in place, and so
# ends by it as a quit; false once it has gone.
caught() {
  mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)
  [ -n "$mask" ] && [ $((0x$mask & 0x4000)) != 0 ]
}
# Waits for a condition up to 60 s (only a failure takes that long).
wait_for() {
  i=0
  while [ $i -lt 600 ]; do
    "$@" && return 0
    i=$((i + 1))
    sleep 0.1
  done
  return 1
}
# $1 started in the background by the caller as $pid: once it takes
# SIGTERM as a quit, sends it; its status in $status.
quit_it() {
  wait_for caught "$pid" || fail "$1: never ready for a quit"
  kill -TERM "$pid" 2>/dev/null
  wait "$pid"
  status=$?
}
unset WEXLIN_PROFILE
# Fontconfig keeps what it allocated for a cache folder it cannot name under
# such a home; in a sanitizer build that is its leak, not ours.
printf 'leak:libfontconfig.so\n' >"$dir/lsan.supp"
export LSAN_OPTIONS="suppressions=$dir/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
printf 'evaluate 6*7\nquit\n' >"$dir/m.cmd"

# The store of one program's run: saved where it belongs, or said once not
# to be; nothing raised.
check_store() {
  what=$1
  out=$2
  if [ -n "$expect_store" ]; then
    [ -f "$expect_store/vwexusr1.vr" ] || fail "$what: no store in $expect_store"
    grep -q "preferences not saved" "$out" && fail "$what: said not saved"
  else
    said=$(grep -c "^preferences not saved: cannot create " "$out")
    [ "$said" = 1 ] || fail "$what: 'not saved' said $said times"
    grep -qF "preferences not saved: cannot create $home/vwexusr1.vr" "$out" || fail "$what: the store not named"
  fi
  grep -q "An error has occurred" "$out" && fail "$what: an error was raised"
  rm -f "$expect_store/vwexusr1.vr" 2>/dev/null
}

# The GUI on X takes its time: the forms that tell each case apart.
forms="plain 4084 4085 4090 4095 4096 4097 5000 file missing closed"
[ "$mode" = x11 ] && forms="plain 4085 4096 4097 file"
for form in $forms; do
  case_dir="$dir/$form"
  mkdir -p "$case_dir/fallback" "$case_dir/work"
  printf '[HKEY_CURRENT_USER\\Software\\Quarn\\Wexlin C\\2.6]\nHOME=%s\n' "$case_dir/fallback" >"$case_dir/registry"
  export WEXLIN_REGISTRY="$case_dir/registry"
  # expect_store: where the store goes, empty when it cannot be saved;
  # marker: whether the help server's marker fits (with ".PID" beside it).
  marker=no
  case $form in
  plain) home="$case_dir/home"; mkdir "$home"; expect_store=$home; marker=yes ;;
  file) home="$case_dir/home"; echo x >"$home"; expect_store= ;;
  missing) home="$case_dir/home"; expect_store= ;;
  closed)
    home="$case_dir/home"
    mkdir "$home"
    chmod 0 "$home"
    # Root passes a closed folder by.
    if [ "$(id -u)" = 0 ]; then expect_store=$home; marker=yes; else expect_store=; fi
    ;;
  *)
    home=$(long_home "$case_dir/home" "$form")
    [ "${#home}" = "$form" ] || fail "$form: the test made a home of ${#home}"
    if [ "$form" -le 4096 ]; then
      mkdir -p "$home" 2>/dev/null
      expect_store=
    else
      expect_store="$case_dir/fallback"
      marker=yes
    fi
    ;;
  esac
  cd "$case_dir/work" || exit 1

  if [ "$mode" = x11 ]; then
    rm -f t.txt
    HOME=$home timeout 120 "$bin/sim73500" --gui --transcript t.txt "$dir/m.cmd" </dev/null >out 2>&1
    status=$?
    [ "$status" = 0 ] || fail "$form GUI: status $status"
    grep -q "Uns:00042" t.txt 2>/dev/null || fail "$form GUI: the macro did not run"
    check_store "$form GUI" out
    cd "$dir" || exit 1
    continue
  fi

  # The image editor, ended by SIGTERM as a session manager ends it.
  HOME=$home WEXLIN_BACKEND=headless "$bin/vimgedit" </dev/null >out 2>&1 &
  pid=$!
  quit_it "$form vimgedit"
  [ "$status" = 0 ] || fail "$form vimgedit: status $status"
  check_store "$form vimgedit" out

  # The help server: serving, or said it cannot.
  rm -f out
  HOME=$home WEXLIN_BACKEND=headless "$bin/vhelpsrv" </dev/null >out 2>&1 &
  pid=$!
  if [ $marker = yes ]; then
    quit_it "$form vhelpsrv"
    [ "$status" = 0 ] || fail "$form vhelpsrv: status $status"
  else
    wait "$pid"
    status=$?
    [ "$status" = 1 ] || fail "$form vhelpsrv: status $status"
    grep -qF "vhelpsrv: cannot write $home/vhelpsrv.tmp" out || fail "$form vhelpsrv: the marker not named"
  fi
  grep -q "An error has occurred" out && fail "$form vhelpsrv: an error was raised"
  rm -f "$expect_store/vwexusr1.vr" 2>/dev/null

  # The terminal front-end and the headless GUI (which keeps no store).
  HOME=$home timeout 60 "$bin/sim73500" <"$dir/m.cmd" >out 2>&1
  status=$?
  [ "$status" = 0 ] || fail "$form terminal: status $status"
  grep -q "Uns:00042" out || fail "$form terminal: the commands did not run"
  rm -f t.txt
  HOME=$home timeout 60 "$bin/sim73500" --gui=headless --transcript t.txt "$dir/m.cmd" </dev/null >out 2>&1
  status=$?
  [ "$status" = 0 ] || fail "$form headless GUI: status $status"
  grep -q "Uns:00042" t.txt 2>/dev/null || fail "$form headless GUI: the macro did not run"
  grep -q "An error has occurred" out && fail "$form headless GUI: an error was raised"
  cd "$dir" || exit 1
done
echo "$failures failures"
[ "$failures" = 0 ]

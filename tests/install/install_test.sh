#!/bin/sh
# The install step as a user meets it: the programs installed into a
# scratch prefix and run from another folder with WEXLINHOME unset; a copy
# of sim73500 with no resource file anywhere; a framework program typing
# Tab and Return into a dialog, installed and alone.
#   install_test.sh CMAKE BUILD_DIR KEYS_PROBE HERE CONFIGURED_PREFIX
set -u
cmake=$1 build=$2 probe=$3 here=$4 configured=$5
scratch=$(mktemp -d /tmp/sim73500-install.XXXXXX) || exit 1
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM
prefix=$scratch/prefix work=$scratch/work alone=$scratch/alone
mkdir -p "$work" "$alone" "$scratch/home"
unset WEXLINHOME DISPLAY
export HOME="$scratch/home" WEXLIN_REGISTRY="$scratch/no-registry"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; exit 1; }
for p in sim73500 vhelpsrv vimgedit vrtool; do
  [ -x "$prefix/bin/$p" ] || fail "bin/$p not installed"
done
for f in vwexlin7.vr sim73500.vr; do
  [ -f "$prefix/share/wexlin/$f" ] || fail "share/wexlin/$f not installed"
done

# The installed GUI finds its resource files from where it was installed:
# the same session as the build tree's program (which finds them in the
# build tree the same way).
cp "$here/session.cmd" "$here/gui.cmd" "$work/"
(cd "$work" && timeout 60 "$prefix/bin/sim73500" --gui=headless --transcript installed.txt gui.cmd \
  </dev/null >/dev/null 2>"$scratch/installed.err") || fail "installed sim73500 --gui=headless: status $?"
(cd "$work" && timeout 60 "$build/bin/sim73500" --gui=headless --transcript built.txt gui.cmd \
  </dev/null >/dev/null 2>&1) || fail "built sim73500 --gui=headless: status $?"
cmp -s "$work/installed.txt" "$work/built.txt" || {
  fail "the installed program's transcript differs from the build tree's"
  diff "$work/built.txt" "$work/installed.txt" >&2
}
grep -q '^wmemory x \$80' "$work/installed.txt" && grep -q "Hex:002a" "$work/installed.txt" &&
  ! grep -q "Error in Macro" "$work/installed.txt" ||
  fail "the installed program did not run the macro"

# A copy with no resource file anywhere: the GUI stops and says where it
# looked; the terminal mode needs none.
cp "$prefix/bin/sim73500" "$alone/"
if [ -f "$configured/share/wexlin/vwexlin7.vr" ]; then
  echo "skipped the copy without resource files: $configured/share/wexlin holds them"
else
  (cd "$work" && timeout 60 "$alone/sim73500" --gui=headless --transcript alone.txt gui.cmd </dev/null \
    >/dev/null 2>"$scratch/alone.err")
  status=$?
  [ $status -eq 1 ] || fail "a copy without resource files: status $status, not 1"
  for text in "cannot find the resource files vwexlin7.vr and sim73500.vr" "$alone, its lib" \
              "WEXLINHOME is not set" "$scratch/share/wexlin" "$HOME, its lib"; do
    grep -qF "$text" "$scratch/alone.err" || { fail "the message does not name: $text"; cat "$scratch/alone.err" >&2; }
  done
  (cd "$work" && timeout 60 "$alone/sim73500" session.cmd </dev/null >"$scratch/alone.out" 2>&1) ||
    fail "a copy without resource files in the terminal: status $?"
  grep -q "Hex:002a" "$scratch/alone.out" || fail "a copy without resource files ran no macro in the terminal"
  for p in vimgedit vhelpsrv; do
    cp "$prefix/bin/$p" "$alone/"
    # A back-end chosen, since without a display they stop before looking.
    (cd "$work" && WEXLIN_BACKEND=headless timeout 30 "$alone/$p" </dev/null >/dev/null 2>"$scratch/$p.err")
    status=$?
    [ $status -eq 1 ] && grep -qF "$p: cannot find the resource file vwexlin7.vr" "$scratch/$p.err" ||
      fail "$p without resource files: status $status, $(cat "$scratch/$p.err")"
  done
fi

# A framework program in the installed tree: Tab moves the focus, Return
# fires the default button. WEXLINHOME overrides the installed file.
cp "$probe" "$prefix/bin/keys_probe"
keys() {
  printf 'framework file: %s\nfocus: field\nafter Tab: slider\nafter Return: OK fired\n' "$1" >"$scratch/keys.expected"
  if ! cmp -s "$scratch/keys.expected" "$scratch/keys.out"; then
    fail "$2"
    diff "$scratch/keys.expected" "$scratch/keys.out" >&2
  fi
}
(cd "$work" && timeout 30 "$prefix/bin/keys_probe" >"$scratch/keys.out" 2>&1)
keys "$prefix/share/wexlin/vwexlin7.vr" "the installed framework program"
mkdir -p "$scratch/wexlinhome/lib"
cp "$prefix/share/wexlin/vwexlin7.vr" "$scratch/wexlinhome/lib/"
(cd "$work" && WEXLINHOME="$scratch/wexlinhome" timeout 30 "$prefix/bin/keys_probe" >"$scratch/keys.out" 2>&1)
keys "$scratch/wexlinhome/lib/vwexlin7.vr" "the installed framework program under WEXLINHOME"
# Alone, it falls back on the framework's built-in key bindings.
if [ ! -f "$configured/share/wexlin/vwexlin7.vr" ]; then
  cp "$probe" "$alone/keys_probe"
  (cd "$work" && timeout 30 "$alone/keys_probe" >"$scratch/keys.out" 2>&1)
  keys "none" "a framework program without the framework's file"
fi

[ $failures -eq 0 ]

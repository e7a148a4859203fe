#!/bin/sh
# Run by x11_smoke.sh with no other client on its server: every client that
# leaves is the last one. A server that reset whenever that happened would
# refuse a client that came in the moment of the reset (the programs the
# tests start come and go just so), and would drop what the last one left on
# its root window.
prop=SIM73500_SERVER_STAYS
xprop -root -f $prop 8s -set $prop kept || { echo "cannot set a root property"; exit 1; }
case $(xprop -root $prop) in
  *'"kept"'*) ;;
  *) echo "the server reset when its last client left: the root window lost $prop"; exit 1 ;;
esac
refused=0
i=0
while [ $i -lt 600 ]; do
  xdpyinfo >/dev/null 2>&1 || refused=$((refused + 1))
  i=$((i + 1))
done
if [ $refused -ne 0 ]; then
  echo "$refused of 600 connections, one after another, were refused"
  exit 1
fi
echo "600 connections accepted; the root window kept $prop"

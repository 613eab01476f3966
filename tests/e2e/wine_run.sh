#!/usr/bin/env bash
# Starts a Windows program under Wine ("$WINE_LOADER" PROGRAM ARGS...) for
# the end-to-end tests, and starts it once more when the Wine server went
# away under it: a server whose last program ended shuts down after a short
# grace time, and a program that connects in that moment loses the
# connection ("wine client error ... Connection reset by peer") before it
# runs any code of its own. That is Wine's race, not the program's fault,
# so it gets one more run, with a line that says so.
#
# The program's standard error is passed on when it ends; a TERM, INT or
# HUP (timeout, kill) goes on to the program.
#
# Debian's wineserver wrapper starts every server with "-p0": the server
# begins to shut down the moment its last program ends, and a program that
# connects in that moment may be ended with exit code 1 two seconds later,
# before it ran any code of its own, with nothing on standard error. So the
# prefix's server is started here first, when none runs, with a grace time:
# programs run one after another then meet a server that stays. (It still
# ends on its own 3 seconds after the last program, and "wineserver -w"
# waits for that.)
: "${WINE_LOADER:?set by lib.sh}"
server_bin="$(dirname "$WINE_LOADER")/wineserver64"
[ -x "$server_bin" ] || server_bin="$(dirname "$WINE_LOADER")/wineserver"
# Exit code 2: a server runs already.
[ -x "$server_bin" ] && "$server_bin" -p3 </dev/null >/dev/null 2>&1 || true
err=$(mktemp)
child=
trap 'rm -f "$err"' EXIT
trap '[ -n "$child" ] && kill -TERM "$child" 2>/dev/null' TERM INT HUP
for attempt in 1 2; do
  "$WINE_LOADER" "$@" 2>"$err" <&0 &
  child=$!
  rc=0
  wait "$child" || rc=$?
  # A signal interrupts the wait, not the program: wait until it has ended.
  while kill -0 "$child" 2>/dev/null; do
    rc=0
    wait "$child" || rc=$?
  done
  if [ "$rc" -ne 0 ] && [ "$attempt" = 1 ] && grep -aq '^wine client error' "$err"; then
    echo "note: the Wine server went away under '$*' ($(grep -a -m1 '^wine client error' "$err")); starting it once more" >&2
    sleep 1
    continue
  fi
  break
done
cat "$err" >&2
exit "$rc"

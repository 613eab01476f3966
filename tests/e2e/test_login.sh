#!/usr/bin/env bash
# The administrator login dialog in a real window under Xvfb, opened by
# dialog_demo.exe: its size, place, fields, labels, frame and the Login
# button's font are checked from inside; typing a user and a password and
# pressing Enter logs on (Wine lets every logon in, so only the way there is
# real), Escape closes it without a logon. Screenshots stay in the build
# folder. A process with the rights never sees the dialog: every other
# end-to-end test runs the installer without it.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done
DEMO="$ZANDOR_WIN64_DIR/dialog_demo.exe"
[ -f "$DEMO" ] || { echo "missing $DEMO"; exit 1; }
SHOTS="$ZANDOR_E2E_WORK"
LOG="$T/demo.log"

wait_for() {
  for _ in $(seq 1 300); do
    grep -q -- "$1" "$LOG" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "FAIL: no log line matching '$1'"
  failures=$((failures + 1))
}

start_demo() {
  rm -f "$LOG"
  timeout 120 "$WINE64" "$DEMO" "$(winpath "$LOG")" login >"$T/wine.out" 2>&1 &
  DEMO_PID=$!
  wait_for '^open$'
  sleep 0.5
}

finish_demo() {  # finish_demo WHAT ANSWER
  wait_for '^done$'
  wait "$DEMO_PID" || true
  grep -E '^FAIL' "$LOG" | sed "s/^/$1: /" || true
  check "$1: checks inside the demo" "$(grep -c '^FAIL' "$LOG")" 0
  check "$1: answer" "$(sed -n 's/^answer = //p' "$LOG" | tr -d '\r')" "$2"
}

# 1. The user field has the focus; Tab to the password, Enter is Login.
start_demo
check "the layout was checked" "$(grep -c '^ok: ' "$LOG")" 18
import -window root "$SHOTS/login_dialog.png"
xdotool type --delay 30 Administrator
xdotool key Tab
xdotool type --delay 30 secret
sleep 0.3
import -window root "$SHOTS/login_dialog_typed.png"
xdotool key Return
finish_demo "typed and Enter" "logged on"

# 2. Escape in a dialog with a close box is a close request: no logon.
start_demo
xdotool key Escape
finish_demo "closed" "none"

timeout 30 wineserver -w || true
echo "screenshots in $SHOTS: login_dialog*.png"
e2e_end

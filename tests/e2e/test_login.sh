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
source "$(dirname "$0")/dialog_demo.sh"
SHOTS="$ZANDOR_E2E_WORK"

# 1. The user field has the focus; Tab to the password, Enter is Login.
start_demo login
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
start_demo login
xdotool key Escape
finish_demo "closed" "none"

timeout 30 wineserver -w || true
echo "screenshots in $SHOTS: login_dialog*.png"
e2e_end

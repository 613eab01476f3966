#!/usr/bin/env bash
# The language choice dialog in a real window under Xvfb: a setup whose
# language list has several entries, none of them the prefix's (English)
# language, asks at start-up (a quiet run takes the first without asking).
# The dialog shows " Zandor" with one line per entry, the first selected;
# choosing the second line by keys or by mouse loads that file's texts, and
# closing the dialog leaves the built-in texts. The texts are read from the run-state dump.
# Then dialog_demo.exe opens, over a stand-in wizard window and a second
# window, the start-menu folder dialog (preselection, Sub below Tools, the
# close request, the error box without a selection), the folder browser (at
# a folder, at a drive root, cancelled) and a message box, checks from inside
# which windows are disabled and who owns what, and answers what it got.
# Screenshots of the dialogs stay in the build folder.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
for tool in xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done
SHOTS="$ZANDOR_E2E_WORK"

mkdir -p "$T/setup"
printf '%s\r\n' '[Settings]' 'Language=deutsch.lng#7|francais.lng#12|' '[Info]' 'Titel=Dialogs' >"$T/setup/setup.ini"
printf '[Page01]\r\nTitel=Willkommen\r\n' >"$T/setup/deutsch.lng"
printf '[Page01]\r\nTitel=Bienvenue\r\n' >"$T/setup/francais.lng"
# The before-hook ends each run with its exit code 1 right after the
# language is chosen, before any wizard opens.
cp "$PROBE" "$T/setup/BeforeZD.exe"
printf '1' >"$T/setup/BeforeZD.code"
use_state_dump "$T/state.ini"
build_setup "$T/setup" "$T/Languages.exe"
S="$T/state.ini"

# Starts the installer (a wizard run, which the before-hook ends) and waits
# for the dialog; sets
# DIALOG (its X window) and LEFT TOP (its client area's corner on screen).
start_with_dialog() {
  rm -f "$S"
  LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 timeout 120 "$WINE64" "$T/Languages.exe" >"$T/wine.out" 2>&1 &
  SETUP_PID=$!
  DIALOG=""
  for _ in $(seq 1 300); do
    DIALOG=$(xdotool search --onlyvisible --name '^ Zandor$' 2>/dev/null | head -1) && [ -n "$DIALOG" ] && break
    sleep 0.1
  done
  if [ -z "$DIALOG" ]; then
    echo "FAIL: no language choice dialog"
    failures=$((failures + 1))
    return 1
  fi
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$DIALOG")"
  # Wine draws the frame itself on a display without a window manager: an
  # even border around, the caption above the 140 x 55 client area.
  local border=$(((WIDTH - 140) / 2))
  LEFT=$((X + border))
  TOP=$((Y + HEIGHT - 55 - border))
  echo "info: dialog window ${WIDTH}x${HEIGHT} at $X,$Y; client area at $LEFT,$TOP"
}

finish_setup() {
  wait "$SETUP_PID" || true
  check_true "$1: the dialog is gone" bash -c "[ -z \"\$(xdotool search --onlyvisible --name '^ Zandor\$' 2>/dev/null)\" ]"
}

# 1. Keys: the drop-down has the focus; Down selects the second line, Enter is OK.
if start_with_dialog; then
  import -window root "$SHOTS/language_choice_screen.png"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$SHOTS/language_choice.png"
  check "client area is 140 wide" "$((WIDTH - 2 * ((WIDTH - 140) / 2)))" 140
  xdotool key Down
  sleep 0.3
  xdotool key Return
  finish_setup "keys"
  check "keys: francais.lng read" "$(ini_value "$S" Page01/Titel)" Bienvenue
  check "keys: the language number stays the user's" "$(ini_value "$S" LanguageNumber)" 9
fi

# 2. Mouse: open the list, pick its second line, click OK.
if start_with_dialog; then
  xdotool mousemove $((LEFT + 120)) $((TOP + 12)) click 1
  sleep 0.7
  import -window root "$SHOTS/language_choice_open.png"
  xdotool mousemove $((LEFT + 40)) $((TOP + 45)) click 1
  sleep 0.3
  import -window root "$SHOTS/language_choice_picked.png"
  xdotool mousemove $((LEFT + 70)) $((TOP + 41)) click 1
  finish_setup "mouse"
  check "mouse: francais.lng read" "$(ini_value "$S" Page01/Titel)" Bienvenue
fi

# 3. Closed: Alt+F4 from the OK button (in the drop-down F4 opens the list).
if start_with_dialog; then
  xdotool key Tab
  sleep 0.2
  xdotool key alt+F4
  finish_setup "closed"
  check "closed: the built-in texts" "$(ini_value "$S" Page01/Titel)" "Welcome to the installation of\\n'Dialogs'"
fi

# 4. Quietly no dialog opens: the first language of the list is taken.
rm -f "$S"
LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 timeout 60 "$WINE64" "$T/Languages.exe" /Q /R:0 >"$T/wine.out" 2>&1 || true
check "quiet: the first language, without a dialog" "$(ini_value "$S" Page01/Titel)" Willkommen

# The dialogs behind the wizard's Change buttons and a message box, opened by
# dialog_demo.exe over a stand-in wizard window and a second window.
source "$(dirname "$0")/dialog_demo.sh"

# Start-menu folders: ZD Tools under both program folders, its Sub only under
# the user's, ZD Games only under all users'.
user_programs="$DRIVE_C/users/$(ls "$DRIVE_C/users" | grep -v '^Public$' | head -1)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
common_programs="$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs"
check_true "the prefix has both program folders" test -d "$user_programs" -a -d "$common_programs"
mkdir -p "$user_programs/ZD Tools/Sub" "$common_programs/ZD Tools" "$common_programs/ZD Games"

# 4. Tools\Demo preselects ZD Tools; Right opens it, Down moves to Sub, Enter is Apply.
start_demo startmenu 'ZD Tools\Demo'
check "preselected" "$(sed -n 's/^selected = //p' "$LOG" | tr -d '\r')" "ZD Tools"
import -window root "$SHOTS/start_menu_folder_screen.png"
xdotool key Right
sleep 0.3
xdotool key Down
sleep 0.3
import -window root "$SHOTS/start_menu_folder.png"
xdotool key Return
finish_demo "start menu, Sub below Tools" 'ZD Tools\Sub'

# 5. Escape in a window with a close box is a close request: empty answer.
start_demo startmenu 'ZD Tools\Sub'
check "preselected two levels down" "$(sed -n 's/^selected = //p' "$LOG" | tr -d '\r')" "Sub"
xdotool key Escape
finish_demo "start menu, closed" ""

# 6. Nothing preselected: Apply shows the error box over the dialog and
# answers the field.
start_demo startmenu 'Nowhere\Demo'
check "nothing preselected" "$(sed -n 's/^selected = //p' "$LOG" | tr -d '\r')" "(none)"
xdotool key Return
wait_for '^box open$'
sleep 0.3
import -window root "$SHOTS/start_menu_folder_error.png"
xdotool key Return
finish_demo "start menu, no selection" 'Nowhere\Demo'

# 7. The folder browser opens at its start folder, so OK answers it.
start_demo browser 'C:\windows\system32\'
import -window root "$SHOTS/folder_browser.png"
xdotool key Return
finish_demo "folder browser at a folder" 'C:\windows\system32\'
start_demo browser 'C:\'
xdotool key Return
finish_demo "folder browser at a drive root" 'C:\'
start_demo browser 'C:\windows\'
xdotool key Escape
finish_demo "folder browser cancelled" ""

# 8. A message box: its owner is the window in front, the other window is
# disabled meanwhile and enabled again afterwards.
start_demo box
xdotool key Return
finish_demo "message box" 1

# The prefix's wine server goes before this script's X display does.
timeout 30 wineserver -w || true
echo "screenshots in $SHOTS: language_choice*.png start_menu_folder*.png folder_browser.png"
e2e_end

#!/usr/bin/env bash
# The wizard under Xvfb, walked by driver.exe as a user walks it: each page's
# controls at their places relative to their panels, each panel's place in
# the window, the fonts, which buttons show and work; the licence choice
# gating Next; the folder fields completed on leaving them; the no-start-menu
# box; the start-menu folder dialog with the folders of both Programs folders
# (closed, applied without a choice, applied with one); the install with its
# log and progress; Finish starting the program. A second installer without
# licence, readme, picture, icon or homepage skips the pages both ways; Cancel,
# Escape and a close request end the loop with their flags. A package of
# more than 100 MB moves the bar part-way and to its end while the window
# keeps answering, with hook mode 0 (the while-hook still runs, until
# Finish ends it); with hook mode 2 the before-hook runs before the window,
# and a close request ends the while-hook. Screenshots of every page and
# dialog stay in the build folder (e2e/wizard/).
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
DRIVER="$WIN_DIR/driver.exe"
for f in "$DRIVER" "$WIN_DIR/driver_hook.dll"; do
  [ -f "$f" ] || { echo "missing $f"; exit 1; }
done
for tool in xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done
SHOTS="$ZANDOR_E2E_WORK/wizard"
mkdir -p "$SHOTS"
rm -f "$SHOTS"/*.png
use_state_dump "$T/state.ini"
USER_DIR="$DRIVE_C/users/$(ls "$DRIVE_C/users" | grep -v '^Public$' | head -1)"
USER_PROGRAMS="$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
COMMON_PROGRAMS="$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs"

# There is no window manager on the display: Wine draws the frames of this
# test's installers itself, so that the screenshots show their title bars.
frames() {  # frames add|delete
  local exe
  for exe in Demo.exe Plain.exe Big.exe Hooked.exe; do
    if [ "$1" = add ]; then
      "$WINE64" reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\X11 Driver" /v Managed /t REG_SZ /d N /f
    else
      "$WINE64" reg delete "HKCU\\Software\\Wine\\AppDefaults\\$exe" /f
    fi
  done >/dev/null 2>&1 || true
}
frames add

# ------------------------------------------------------------- helpers --
# Runs the driver with the given commands; its log is $T/STEP.log.
drive() {  # drive STEP COMMAND...
  local step=$1
  shift
  local rc=0
  timeout 120 "$WINE64" "$DRIVER" "$(winpath "$T/$step.log")" "$@" >>"$T/driver.out" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ] && ! [ -s "$T/$step.log" ]; then
    # The driver ended before it found the window, so it has done nothing
    # yet: a driver that Wine failed to start gets one more run.
    echo "note: step $step: the driver ended at once (exit $rc); starting it once more"
    tail -n 5 "$T/driver.out" | sed 's/^/  out: /'
    rc=0
    timeout 120 "$WINE64" "$DRIVER" "$(winpath "$T/$step.log")" "$@" >>"$T/driver.out" 2>&1 || rc=$?
  fi
  if [ "$rc" -ne 0 ]; then
    if grep -aq '^FAIL' "$T/$step.log" 2>/dev/null; then
      echo "FAIL: step $step: $(grep -a '^FAIL' "$T/$step.log")"
    else
      # No verdict of the driver's own: say how it ended and what it printed.
      echo "FAIL: step $step: the driver did not finish (exit $rc); its last lines:"
      tail -n 5 "$T/$step.log" 2>/dev/null | sed 's/^/  log: /'
      tail -n 10 "$T/driver.out" | sed 's/^/  out: /'
    fi
    failures=$((failures + 1))
    return 1
  fi
}
got() { ini_value "$T/$1.log" "$2"; }

# An expectation table holds lines "COMMAND = VALUE" as the driver logs them.
# The step runs the window command, the actions, every command of the table
# and winrect, then checks each value; a value that starts with "~" is a
# pattern.
expect() {  # expect STEP TABLE [ACTION...]
  local step=$1 table=$2 line
  shift 2
  local commands=("window $TITLE" "$@")
  while IFS= read -r line; do
    [ -n "$line" ] && commands+=("${line%% = *}")
  done <<<"$table"
  drive "$step" "${commands[@]}" winrect || return 1
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    local what=${line%% = *} want=${line#* = }
    local have
    have=$(got "$step" "$what")
    if [ "${want:0:1}" = "~" ]; then
      # shellcheck disable=SC2053
      if [[ $have == ${want:1} ]]; then want=$have; fi
    fi
    check "$step: $what" "$have" "$want"
  done <<<"$table"
}

# Cuts the window of STEP's last winrect out of a screenshot: SHOTS/NAME.png.
shot() {  # shot NAME STEP
  local x y w h
  read -r x y w h <<<"$(got "$2" winrect)"
  [ -n "${h:-}" ] || { echo "FAIL: no window place for the screenshot $1"; failures=$((failures + 1)); return; }
  sleep 0.5
  import -window root "$T/screen.png"
  convert "$T/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$SHOTS/$1.png"
}
# Colour at the middle of the right end of a control of a screenshot: RRGGBB.
right_end_colour() {  # right_end_colour SHOT "X Y W H"
  local x y w h
  read -r x y w h <<<"$2"
  convert "$T/screen.png" -format "%[hex:p{$((x + w - 3)),$((y + h / 2))}]" info:
}

start_setup() {  # start_setup INSTALLER TITLE [ARGUMENT...]
  TITLE=$2
  rm -f "$T/state.ini"
  timeout 300 "$WINE64" "$1" "${@:3}" >"$T/wine.out" 2>&1 &
  SETUP_PID=$!
}
# The run must end within 30 s of its wizard's end.
end_setup() {
  local rc=0
  for _ in $(seq 1 300); do
    kill -0 "$SETUP_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$SETUP_PID" 2>/dev/null; then
    echo "FAIL: $TITLE: setup still runs"
    failures=$((failures + 1))
    stop_setup
  fi
  wait "$SETUP_PID" || rc=$?
  check "$TITLE: setup ended with exit code 0" "$rc" 0
}
# A step failed: the wizard may still be open, so the run is ended here.
stop_setup() {
  kill "$SETUP_PID" 2>/dev/null || true
  wait "$SETUP_PID" 2>/dev/null || true
  frames delete
  e2e_end
}

dump() { ini_value "$T/state.ini" "$1"; }
unix_path() { printf '%s/%s' "$DRIVE_C" "$(printf '%s' "${1#C:\\}" | tr '\\' '/')"; }
# How often the probe ran as the program NAME (the program, the after-hook).
probe_runs() {
  [ -f "$T/probe.log" ] || { echo 0; return; }
  tr -d '\r' <"$T/probe.log" | grep -ac "^exe = .*\\\\$1\$" || true
}

# ------------------------------------------------------- the installers --
# Demo: licence as text (with RTF markup that must show as text), readme as
# RTF, side picture, header icon, homepage, start-menu links, start flag;
# the program is the probe, so its start shows in the probe log, as does
# the after-hook.
mkdir -p "$T/demo" "$T/demo-files/sub"
printf '%s\r\n' '[Settings]' 'ProgExe=demo.exe' 'DefaultDir=%ProgramFiles%Zandor Demo' \
  '[Info]' 'Titel=Demo' 'Version=1.0' 'GUID={5B0C7E1A-3D2F-4A6B-9C8D-7E6F5A4B3C2D}' 'PrgSize=1 MB' \
  'Web=https://example.org/' 'Author=Zandor Tests' \
  '[StartMenue]' 'DefaultDir=Zandor Demo' '[Task]' 'StartMenu=1' 'Desktop=1' 'StartProg=1' >"$T/demo/setup.ini"
printf '%s' '{\rtf1 This licence is plain text: you may use Demo freely.}' >"$T/demo/licence.txt"
printf '%s' '{\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 {\b Demo} reads this.\par}' >"$T/demo/readme.rtf"
convert -size 130x300 gradient:navy-skyblue BMP3:"$T/demo/splash.bmp"
convert -size 32x32 xc:orange "$T/demo/header.ico"
cp "$PROBE" "$T/demo/AfterZD.exe"
cp "$PROBE" "$T/demo-files/demo.exe"
head -c 150000 /dev/urandom >"$T/demo-files/data.bin"
printf 'a file in a sub-folder\r\n' >"$T/demo-files/sub/notes.txt"
build_setup "$T/demo" "$T/Demo.exe" --program "$T/demo-files"
# The bytes the install copies: the program files and the uninstall record
# that the build prepared beside them.
"$TOOL" extract "$T/Demo.exe" "$T/demo-package" >/dev/null
demo_bytes=$("$TOOL" list "$T/demo-package/setup.pck" | awk -F'\t' '$1 == "file" { s += $2 } END { print s }')

# Plain: nothing optional, no start-menu links, no version.
mkdir -p "$T/plain"
printf '%s\r\n' '[Settings]' 'ProgExe=plain.exe' 'DefaultDir=%ProgramFiles%Zandor Plain' \
  '[Info]' 'Titel=Plain' '[Task]' 'StartProg=1' >"$T/plain/setup.ini"
cp "$PROBE" "$T/plain/AfterZD.exe"
build_setup "$T/plain" "$T/Plain.exe"

# Start-menu folders: one under each Programs folder, one under both, a
# sub-folder, and a lower-case name that sorts among the capitals.
mkdir -p "$USER_PROGRAMS/Alpha/Sub" "$USER_PROGRAMS/Both Menus" "$USER_PROGRAMS/bravo" \
  "$COMMON_PROGRAMS/Beta" "$COMMON_PROGRAMS/Both Menus"
menu_folders=$( (cd "$USER_PROGRAMS" && find . -mindepth 1 -type d; cd "$COMMON_PROGRAMS" && find . -mindepth 1 -type d) |
  sort -u | wc -l)

# ============================================ Demo: the whole walk ==
# No earlier install in the prefix may preset the fields.
key='HKCU\Software\Zandor\{5B0C7E1A-3D2F-4A6B-9C8D-7E6F5A4B3C2D}'
"$WINE64" reg delete "$key" /f >/dev/null 2>&1 || true
rm -rf "$DRIVE_C/Target"
start_setup "$T/Demo.exe" " Demo 1.0"

WELCOME="client = 480 335
frame = caption 1 sysmenu 0 sizable 0 minimize 0 maximize 0
rect ^Static:Zandor will now install* = 130 0 350 300
visible ^Static:Zandor will now install* = 1
rect Static:Welcome to the installation of?'Demo' = 10 10 330 60
text Static:Welcome to the installation of?'Demo' = Welcome to the installation of\\n'Demo'
font Static:Welcome to the installation of?'Demo' = Arial -16 700
rect Static:Zandor will now install* = 10 80 330 120
text Static:Zandor will now install* = Zandor will now install 'Demo' version 1.0 on your computer.\\n\\nClick 'Next' to continue installation.\\n\\nPlease close all other applications before continuing.
font Static:Zandor will now install* = Arial -12 400
rect ^Static:Zandor will now install* >> Static#3 = 10 245 330 45
font ^Static:Zandor will now install* >> Static#3 = Arial -12 400
rect Image#1 = 0 0 130 300
visible Image#1 = 1
image Image#1 = bitmap
visible ^Image#2 = 0
rect Static:https://example.org/ = 10 310 240 15
font Static:https://example.org/ = Arial -11 700
visible Static:https://example.org/ = 1
rect Line#1 = 0 300 483 2
rect Button:Next > = 320 307 65 22
visible Button:Next > = 1
enabled Button:Next > = 1
rect Button:Cancel = 415 307 60 22
visible Button:Cancel = 1
visible Button:< Back = 0
visible Button:Install = 0
visible Button:Exit = 0"
expect welcome "$WELCOME" guifont "font Button:Next >" "font Button:Cancel" rects || stop_setup
shot 1-welcome welcome
gui_font=$(got welcome guifont)
check "Next uses the default GUI font" "$(got welcome "font Button:Next >")" "$gui_font"
check "Cancel uses the default GUI font" "$(got welcome "font Button:Cancel")" "$gui_font"
read -r wx wy ww wh <<<"$(got welcome winrect)"
sw=$(xdotool getdisplaygeometry | cut -d' ' -f1)
check "the window is centred across the screen" "$(((wx + ww / 2 - sw / 2) / 2))" 0

LICENCE="visible ^Static:Zandor will now install* = 0
visible Image#1 = 0
rect ^Image#2 = 0 0 480 48
visible ^Image#2 = 1
rect Static:Licence Agreement = 10 10 415 15
font Static:Licence Agreement = Arial -11 700
rect Static:Please read the following information before continuing. = 20 25 405 15
font Static:Please read the following information before continuing. = Arial -11 400
rect Image#2 = 440 9 32 32
image Image#2 = icon
rect ^Button:I accept the agreement = 0 50 480 250
visible ^Button:I accept the agreement = 1
rect RichEdit*#1 = 10 10 455 190
text RichEdit*#1 = {\\rtf1 This licence is plain text: you may use Demo freely.}
rect Button:I accept the agreement = 10 208 455 15
font Button:I accept the agreement = Arial -12 400
rect Button:I do not accept the agreement = 10 227 455 15
font Button:I do not accept the agreement = Arial -12 400
state Button:I do not accept the agreement = 1
state Button:I accept the agreement = 0
enabled Button:Next > = 0
rect Button:< Back = 250 307 65 22
visible Button:< Back = 1
visible Button:Cancel = 1
visible Static:https://example.org/ = 1"
expect licence "$LICENCE" "click Button:Next >" || stop_setup
expect licence-accept "enabled Button:Next > = 1
state Button:I do not accept the agreement = 0" "click Button:I accept the agreement"
expect licence-refuse "enabled Button:Next > = 0
state Button:I accept the agreement = 0" "click Button:I do not accept the agreement"
# Back to the welcome page with the refusal standing: Next works there, and
# the licence page still holds it back.
expect licence-back "visible ^Static:Zandor will now install* = 1
visible Image#1 = 1
visible ^Image#2 = 0
visible ^Button:I accept the agreement = 0
visible Button:< Back = 0
enabled Button:Next > = 1" "click Button:< Back"
expect licence-again "visible ^Button:I accept the agreement = 1
enabled Button:Next > = 0" "click Button:Next >"
expect licence-accepted "enabled Button:Next > = 1" "click Button:I accept the agreement" || stop_setup
shot 2-licence licence-accepted

SETTINGS="visible Static:Setup Settings = 1
visible Static:Installation Directory, StartMenu Folder and Desktop Icon = 1
visible ^Button:I accept the agreement = 0
rect ^Static:Install program in this directory: = 0 50 480 250
visible ^Static:Install program in this directory: = 1
rect Static:Install program in this directory: = 10 30 375 15
font Static:Install program in this directory: = Arial -12 700
rect Edit#1 = 10 55 300 20
text Edit#1 = C:\\$PROGRAM_FILES\\Zandor Demo
rect Button:Change#1 = 315 55 65 20
rect Static:StartMenu folder for Program Shortcuts: = 10 115 375 15
font Static:StartMenu folder for Program Shortcuts: = Arial -12 700
rect Edit#2 = 10 140 175 20
text Edit#2 = Zandor Demo
rect Button:Change#2 = 190 140 65 20
rect Button:Create no startmenu entry. = 10 165 370 15
font Button:Create no startmenu entry. = Arial -11 400
state Button:Create no startmenu entry. = 0
rect Button:Create a desktop icon = 10 225 370 15
font Button:Create a desktop icon = Arial -12 400
state Button:Create a desktop icon = 1
visible Button:< Back = 1
visible Button:Next > = 1
enabled Button:Next > = 1"
expect settings "$SETTINGS" "click Button:Next >" "font Edit#1" "font Button:Change#1" \
  "screen Button:Create no startmenu entry." || stop_setup
shot 3-settings settings
check "settings: the edit uses the default GUI font" "$(got settings "font Edit#1")" "$gui_font"
check "settings: Change uses the default GUI font" "$(got settings "font Button:Change#1")" "$gui_font"
check_true "settings: the no-start-menu box keeps the dialog colour" test \
  "$(right_end_colour "$T/screen.png" "$(got settings "screen Button:Create no startmenu entry.")")" != FFFFFF

# Leaving a folder field completes it (field, typed, shown after leaving).
field_cases=(
  'Edit#1|D:\Apps|D:\Apps\Zandor Demo'
  'Edit#1|C:\Zandor Demo Files|C:\Zandor Demo Files'
  'Edit#1|C:\Target\|C:\Target\Zandor Demo'
  'Edit#2||Zandor Demo'
  'Edit#2|Tools|Tools\Zandor Demo'
  'Edit#2|My Zandor Demo|My Zandor Demo'
  'Edit#2|Alpha|Alpha\Zandor Demo'
)
for i in "${!field_cases[@]}"; do
  IFS='|' read -r field typed shown <<<"${field_cases[$i]}"
  drive "field-$i" "window $TITLE" "settext $field|$typed" "text $field" &&
    check "leaving $field with '$typed'" "$(got "field-$i" "text $field")" "$shown"
done

expect no-menu "enabled Edit#2 = 0
enabled Button:Change#2 = 0
enabled Edit#1 = 1
enabled Button:Change#1 = 1" "click Button:Create no startmenu entry."
expect no-menu-cleared "enabled Edit#2 = 1
enabled Button:Change#2 = 1
state Button:Create no startmenu entry. = 0" "click Button:Create no startmenu entry."

# The start-menu folder dialog: owned by the disabled wizard, the folders of
# both Programs folders once each, sorted with capitals as small letters;
# the field's "Alpha\Zandor Demo" preselects Alpha.
drive menu-open "window $TITLE" "click Button:Change#2" "window  Select Directory" client frame \
  "rect SysTreeView32#1" "rect Button:Apply" "tree SysTreeView32#1" "state SysTreeView32#1" winrect \
  "window $TITLE" winenabled || stop_setup
shot 3-start-menu-dialog menu-open
check "dialog: client size" "$(got menu-open client)" "220 300"
check "dialog: a close box" "$(got menu-open frame)" "caption 1 sysmenu 1 sizable 0 minimize 0 maximize 0"
check "dialog: tree place" "$(got menu-open "rect SysTreeView32#1")" "10 10 200 260"
check "dialog: Apply place" "$(got menu-open "rect Button:Apply")" "75 276 70 20"
check "dialog: the wizard is disabled while it is open" "$(got menu-open winenabled)" 0
check "dialog: one item per folder of either Programs folder" "$(got menu-open "tree SysTreeView32#1")" "$menu_folders"
check "dialog: a folder of both Programs folders is listed once" \
  "$(grep -ac '^item [0-9]* = 0 Both Menus$' "$T/menu-open.log")" 1
items=$(grep -a '^item ' "$T/menu-open.log" | sed 's/^item [0-9]* = //' | tr '\n' '|')
check_true "dialog: Alpha, its Sub one level down, then Beta, Both Menus, bravo in that order ($items)" \
  grep -q '0 Alpha|1 Sub|0 Beta|0 Both Menus|0 bravo|' <<<"$items"
check "dialog: the field's folder is preselected" "$(got menu-open "state SysTreeView32#1")" Alpha
read -r dx dy dw dh <<<"$(got menu-open winrect)"
check "dialog: centred on the wizard" "$(((dx + dw / 2 - (wx + ww / 2)) / 2)) $(((dy + dh / 2 - (wy + wh / 2)) / 2))" "0 0"

# Its close box answers nothing: the field stays.
drive menu-close "window  Select Directory" close gone "window $TITLE" winenabled "text Edit#2" &&
  check "dialog closed: the field stays" "$(got menu-close "text Edit#2")" 'Alpha\Zandor Demo' &&
  check "dialog closed: the wizard is enabled again" "$(got menu-close winenabled)" 1
# Apply without a folder: the error box, and the field's own text as answer.
drive menu-none "window $TITLE" "settext Edit#2|Nowhere" "click Button:Change#2" "window  Select Directory" \
  "state SysTreeView32#1" "click Button:Apply" "window  Select Start Menu Folder" winrect || stop_setup
shot 3-no-folder-box menu-none
check "no folder chosen: nothing preselected" "$(got menu-none "state SysTreeView32#1")" none
drive menu-none-box "window  Select Start Menu Folder" "box  Select Start Menu Folder|OK" "window $TITLE" \
  "text Edit#2" winenabled &&
  check "no folder chosen: the box says so" "$(got menu-none-box "box text")" "No valid start menu folder." &&
  check "no folder chosen: the field keeps its text" "$(got menu-none-box "text Edit#2")" 'Nowhere\Zandor Demo' &&
  check "no folder chosen: the wizard is enabled again" "$(got menu-none-box winenabled)" 1
# Apply with a folder: its path, and the configured folder below it.
drive menu-apply "window $TITLE" "click Button:Change#2" "window  Select Directory" \
  'select SysTreeView32#1|Alpha\Sub' "click Button:Apply" gone "window $TITLE" "text Edit#2" winrect &&
  check "Apply: the chosen folder with the configured one below it" "$(got menu-apply "text Edit#2")" \
    'Alpha\Sub\Zandor Demo'
shot 3-settings-chosen menu-apply

INFORMATION="visible Static:Information = 1
visible Static:A short description of the program = 1
visible ^Static:Install program in this directory: = 0
rect ^RichEdit*#2 = 0 50 480 250
visible ^RichEdit*#2 = 1
rect RichEdit*#2 = 10 10 455 225
text RichEdit*#2 = ~Demo reads this.*
visible Button:< Back = 1
visible Button:Next > = 1"
expect information "$INFORMATION" "click Button:Next >" || stop_setup
shot 4-information information

INSTALL_PAGE="visible ^Image#2 = 0
visible ^RichEdit*#2 = 0
visible Image#1 = 1
rect ^ListBox#1 = 130 0 350 300
visible ^ListBox#1 = 1
rect Static:Installation of?'Demo' = 10 15 330 50
font Static:Installation of?'Demo' = Arial -16 700
rect Static:Click 'Install' to start installation! = 10 260 330 40
font Static:Click 'Install' to start installation! = Arial -12 400
visible Static:Click 'Install' to start installation! = 1
rect Static:Required disk space: 1 MB = 10 75 330 15
font Static:Required disk space: 1 MB = Arial -12 700
visible Static:Required disk space: 1 MB = 1
rect ListBox#1 = 10 100 330 130
visible ListBox#1 = 1
rect Button:Start program after closing Zandor. = 10 245 330 15
font Button:Start program after closing Zandor. = Arial -12 400
visible Button:Start program after closing Zandor. = 0
rect msctls_progress32#1 = 10 245 330 20
visible msctls_progress32#1 = 0
rect Button:Install = 325 307 80 22
font Button:Install = MS Sans Serif -11 700
visible Button:Install = 1
visible Button:Next > = 0
visible Button:< Back = 1
visible Button:Cancel = 1
visible Button:Exit = 0
rect Button:Exit = 415 307 60 22"
expect install-page "$INSTALL_PAGE" "click Button:Next >" || stop_setup
shot 5-install install-page
# Back from the install page shows the information page with its header.
expect install-back "visible ^RichEdit*#2 = 1
visible ^Image#2 = 1
visible Static:Information = 1
visible ^ListBox#1 = 0
visible Image#1 = 0
visible Button:Install = 0
visible Button:Next > = 1" "click Button:< Back"
expect install-page-again "visible ^ListBox#1 = 1
visible Button:Install = 1" "click Button:Next >" || stop_setup

FINISHED="line 1 = Demo  -  Version 1.0
line 2 = $(printf '\xa9') Zandor Tests
line 3 = 
line 4 = Copy Program Files   -->   *** Completed ***
line 5 = 
line 6 = Create Uninstaller Entry
line 7 = Create Desktop Icon
line 8 = Create Startmenu Shortcuts
line 9 = Create additional Links
lines ListBox#1 = 9
visible Static:Installation completed = 1
rect Static:Installation completed = 10 75 330 15
visible Static:Click 'Install' to start installation! = 0
visible msctls_progress32#1 = 0
progress msctls_progress32#1 = $demo_bytes of 0 to $demo_bytes
visible Button:Start program after closing Zandor. = 1
state Button:Start program after closing Zandor. = 1
visible Button:Exit = 1
rect Button:Exit = 415 307 60 22
visible Button:Cancel = 0
visible Button:Install = 0
visible Button:< Back = 0"
# "line N" come from the lines command; the table's own lines go unread.
expect finished "$(grep -av '^line ' <<<"$FINISHED")" "click Button:Install" \
  "wait Button:Exit|visible|1|120000" "lines ListBox#1" "screen Button:Start program after closing Zandor." ||
  stop_setup
shot 5-finished finished
while IFS= read -r line; do
  check "install log: ${line%% = *}" "$(got finished "${line%% = *}")" "${line#* = }"
done < <(grep -a '^line ' <<<"$FINISHED")
check "the start-program box is white on the white panel" \
  "$(right_end_colour "$T/screen.png" "$(got finished "screen Button:Start program after closing Zandor.")")" FFFFFF

drive finish "window $TITLE" "click Button:Exit" gone || stop_setup
end_setup
for _ in $(seq 1 100); do [ "$(probe_runs demo.exe)" -ge 1 ] && break; sleep 0.1; done
target="$DRIVE_C/Target/Zandor Demo"
check_true "installed: demo.exe" cmp -s "$T/demo-files/demo.exe" "$target/demo.exe"
check_true "installed: data.bin" cmp -s "$T/demo-files/data.bin" "$target/data.bin"
check_true "installed: sub/notes.txt" cmp -s "$T/demo-files/sub/notes.txt" "$target/sub/notes.txt"
check "Finish with the box ticked: the program started" "$(probe_runs demo.exe)" 1
check "the program started in the installation folder" \
  "$(tr -d '\r' <"$T/probe.log" | grep -a -A2 'demo.exe$' | sed -n 's/^cwd = //p' | head -1)" 'C:\Target\Zandor Demo'
check "Finish: the after-hook ran" "$(probe_runs AfterZD.exe)" 1
check "Finish: cancelled flag clear" "$(dump Cancelled)" 0
check "Finish: start flag from the box" "$(dump Start)" 1
check "Finish: reboot flag unchanged" "$(dump Reboot)" 0
work=$(dump WorkFolder)
check_true "Finish: the work folder is gone" test -n "$work" -a ! -e "$(unix_path "$work")"
reg_value() { "$WINE64" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
check "install state: the installation folder" "$(reg_value InstallDir)" 'C:\Target\Zandor Demo\'
check "install state: the start-menu folder" "$(reg_value StartMenu)" 'Alpha\Sub\Zandor Demo\'
check "install state: the desktop choice" "$(reg_value DesktopIcon)" 1

# ========================== Plain: no licence and no readme, Back retraces ==
rm -f "$T/probe.log"
start_setup "$T/Plain.exe" " Plain"
expect plain-welcome "visible ^Static:Zandor will now install* = 1
image Image#1 = none
image Image#2 = icon
enabled Button:Next > = 1" rects || stop_setup
shot plain-1-welcome plain-welcome
check "Plain: no homepage link without Web" "$(grep -ac '= 10 310 240 15$' "$T/plain-welcome.log")" 0
expect plain-settings "visible ^Static:Install program in this directory: = 1
visible Static:Setup Settings = 1
visible ^Image#2 = 1
visible Button:< Back = 1
visible Static:StartMenu folder for Program Shortcuts: = 0
visible Edit#2 = 0
visible Button:Change#2 = 0
visible Button:Create no startmenu entry. = 0
visible Button:Create a desktop icon = 1
state Button:Create a desktop icon = 0
text Edit#1 = C:\\$PROGRAM_FILES\\Zandor Plain" "click Button:Next >" || stop_setup
shot plain-3-settings plain-settings
expect plain-install "visible ^ListBox#1 = 1
visible ^Static:Install program in this directory: = 0
visible ^Image#2 = 0
visible Button:Install = 1
visible Button:Next > = 0" "click Button:Next >" || stop_setup
shot plain-5-install plain-install
expect plain-back "visible ^Static:Install program in this directory: = 1
visible Static:Setup Settings = 1
visible ^ListBox#1 = 0
visible Button:Install = 0
visible Button:Next > = 1" "click Button:< Back"
expect plain-back2 "visible ^Static:Zandor will now install* = 1
visible ^Static:Install program in this directory: = 0
visible ^Image#2 = 0
visible Button:< Back = 0
enabled Button:Next > = 1" "click Button:< Back"
drive plain-cancel "window $TITLE" "click Button:Cancel" gone || stop_setup
end_setup
check "Cancel: cancelled flag set" "$(dump Cancelled)" 1
check "Cancel: start flag cleared" "$(dump Start)" 0
check "Cancel: reboot flag cleared" "$(dump Reboot)" 0
check "Cancel: no after-hook" "$(probe_runs AfterZD.exe)" 0
check_true "Cancel: nothing installed" test ! -e "$DRIVE_C/$PROGRAM_FILES/Zandor Plain"
work=$(dump WorkFolder)
check_true "Cancel: the work folder is gone" test -n "$work" -a ! -e "$(unix_path "$work")"

# Escape on the settings page does what Cancel does.
start_setup "$T/Plain.exe" " Plain"
expect plain-escape "visible ^Static:Install program in this directory: = 1" "click Button:Next >" || stop_setup
xdotool key Escape
end_setup
check "Escape: cancelled flag set" "$(dump Cancelled)" 1
check "Escape: start flag cleared" "$(dump Start)" 0

# A close request (Alt+F4) on the install page: the flags stay, the work
# folder goes at once, so the after-hook is not found.
start_setup "$T/Plain.exe" " Plain"
expect plain-close "visible ^ListBox#1 = 1" "click Button:Next >" "click Button:Next >" || stop_setup
drive plain-closed "window $TITLE" close gone || stop_setup
end_setup
check "close: cancelled flag clear" "$(dump Cancelled)" 0
check "close: start flag unchanged" "$(dump Start)" 1
check "close: reboot flag unchanged" "$(dump Reboot)" 0
check "close: no after-hook" "$(probe_runs AfterZD.exe)" 0
work=$(dump WorkFolder)
check_true "close: the work folder is gone" test -n "$work" -a ! -e "$(unix_path "$work")"

# ================ Big: more than 100 MB, the bar and the window on the way ==
# Random files that do not compress and text that does, 1 to 4 MiB each.
mkdir -p "$T/big" "$T/big-files/text"
printf '%s\r\n' '[Settings]' 'ProgExe=big.exe' 'DefaultDir=C:\Big' '[Info]' 'Titel=Big' '[Task]' 'Desktop=0' \
  >"$T/big/setup.ini"
for hook in BeforeZD WhileZD AfterZD; do cp "$PROBE" "$T/big/$hook.exe"; done
printf 600000 >"$T/big/WhileZD.sleep"  # runs until it is ended, and logs only if it is not
cp "$PROBE" "$T/big-files/big.exe"
for i in $(seq 1 24); do head -c $(((i % 4 + 1) * 1048576)) /dev/urandom >"$T/big-files/random$i.bin"; done
for i in $(seq 1 10); do seq -f "line %.0f of text file $i" 1 150000 >"$T/big-files/text/text$i.txt"; done
# An uninstall record of the author's own, so the build adds none and the
# files here are all that the bar counts.
printf '[Settings]\r\n' >"$T/big-files/uninstall.dat"
build_start=$(date +%s)
build_setup "$T/big" "$T/Big.exe" --program "$T/big-files" --level fast
big_bytes=$(find "$T/big-files" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
echo "Big: $big_bytes bytes in $(find "$T/big-files" -type f | wc -l) files, installer of $(stat -c %s "$T/Big.exe") bytes" \
  "built in $(($(date +%s) - build_start)) s"
check_true "Big: the package holds more than 100 MB" test "$big_bytes" -gt 100000000
# Counts the while-hooks of this prefix only: the other build's run of this
# test may have its own running at the same time.
while_hooks() {
  local pid count=0
  for pid in $(pgrep -f 'WhileZD\.exe' || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && count=$((count + 1))
  done
  echo "$count"
}
# An ended process may linger a moment in the process list; a hook that was
# not ended sleeps for minutes.
while_hooks_ended() {
  for _ in $(seq 1 50); do [ "$(while_hooks)" = 0 ] && break; sleep 0.1; done
  while_hooks
}

rm -f "$T/probe.log"
rm -rf "$DRIVE_C/Big"
start_setup "$T/Big.exe" " Big" /R:0
expect big-install "visible ^ListBox#1 = 1
visible Button:Install = 1
visible msctls_progress32#1 = 0" "click Button:Next >" "click Button:Next >" || stop_setup
shot big-1-before big-install
check "Big, hook mode 0: the while-hook runs beside the wizard" "$(while_hooks)" 1
# The driver presses Install and reads the bar until Exit shows; at its
# first reading part-way it leaves a flag, the screenshot is taken, and the
# driver reads the bar once more to tell where it stood then.
rm -f "$T/midway.flag" "$T/shot.flag"
drive big-watch "window $TITLE" "click Button:Install" \
  "watch msctls_progress32#1|Button:Exit|$(winpath "$T/midway.flag")|$(winpath "$T/shot.flag")|240000" &
watch_pid=$!
for _ in $(seq 1 2400); do
  [ -f "$T/midway.flag" ] && break
  kill -0 "$watch_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -f "$T/midway.flag" ]; then
  import -window root "$T/screen.png"
  touch "$T/shot.flag"
  read -r x y w h <<<"$(got big-install winrect)"
  convert "$T/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$SHOTS/big-2-during.png"
fi
if ! wait "$watch_pid"; then
  failures=$((failures + 1))  # the failure counted in the background is lost
  stop_setup
fi
midway=$(got big-watch "watch midway")
read -r position _ low _ high <<<"$midway"
check_true "Big: the bar stood part-way at least once ($midway)" test "${low:-x}" = 0 -a "${position:-0}" -gt 0 -a \
  "${position:-0}" -lt "${high:-0}"
# On a loaded machine the copy may end while the screen is being read; the
# readings above prove the bar part-way, so a late screenshot is only said.
read -r position _ low _ high <<<"$(got big-watch "watch at shot")"
if [ "${position:-0}" -lt "${high:-0}" ]; then
  echo "Big: the screenshot shows the copy under way ($position of $high)"
else
  echo "Big: note: the copy ended before the screenshot was taken ($position of $high)"
fi
check "Big: the bar ends at the total of the file sizes" "$(got big-watch "watch last")" "$big_bytes of 0 to $big_bytes"
longest=$(got big-watch "watch longest wait")
echo "Big: $(got big-watch "watch readings") readings of the bar, the longest wait for an answer $longest ms"
check_true "Big: the window answered within 2 s all through the copy ($longest ms)" test "${longest:-99999}" -lt 2000
expect big-finished "visible Static:Installation completed = 1
visible Button:Exit = 1" || stop_setup
shot big-3-after big-finished
for name in big-1-before big-2-during big-3-after; do echo "Big: screenshot $SHOTS/$name.png"; done
drive big-finish "window $TITLE" "click Button:Exit" gone || stop_setup
end_setup
installed=$(cd "$DRIVE_C/Big" 2>/dev/null && find . -type f ! -name uninstall.dat -printf '%s\n' | awk '{ s += $1 } END { print s }')
# The install writes its keys into uninstall.dat, so its size is not the package's.
check "Big: every byte installed" "$installed" "$((big_bytes - $(stat -c %s "$T/big-files/uninstall.dat")))"
check_true "Big: a random file byte for byte" cmp -s "$T/big-files/random7.bin" "$DRIVE_C/Big/random7.bin"
check_true "Big: a text file byte for byte" cmp -s "$T/big-files/text/text3.txt" "$DRIVE_C/Big/text/text3.txt"
check "Big: Finish ended the while-hook" "$(while_hooks_ended)" 0
rm -rf "$DRIVE_C/Big"
check "Big, hook mode 0: neither the before- nor the after-hook, and the while-hook never got to log" \
  "$(probe_runs BeforeZD.exe) $(probe_runs AfterZD.exe) $(probe_runs WhileZD.exe)" "0 0 0"

# =========== Hooked: hook mode 2, a close request ends the while-hook ==
# The close request ends a running while-hook whatever the work folder holds
# (no "StartZD.exe" test), then deletes the work folder.
mkdir -p "$T/hooked"
printf '%s\r\n' '[Settings]' 'ProgExe=hooked.exe' 'DefaultDir=C:\Hooked' '[Info]' 'Titel=Hooked' \
  >"$T/hooked/setup.ini"
for hook in BeforeZD WhileZD AfterZD; do cp "$PROBE" "$T/hooked/$hook.exe"; done
printf 600000 >"$T/hooked/WhileZD.sleep"
printf 1500 >"$T/hooked/BeforeZD.sleep"
build_setup "$T/hooked" "$T/Hooked.exe"
rm -f "$T/probe.log"
start_setup "$T/Hooked.exe" " Hooked" /R:2
expect hooked-welcome "visible Button:Next > = 1" || stop_setup
check "Hooked, hook mode 2: the before-hook ended before the window showed" "$(probe_runs BeforeZD.exe)" 1
check "Hooked: the while-hook runs beside the wizard" "$(while_hooks)" 1
drive hooked-close "window $TITLE" close gone || stop_setup
end_setup
check "Hooked: the close request ended the while-hook" "$(while_hooks_ended)" 0
check "Hooked: the while-hook never got to log, and no after-hook" \
  "$(probe_runs WhileZD.exe) $(probe_runs AfterZD.exe)" "0 0"
work=$(dump WorkFolder)
check_true "Hooked: the work folder is gone" test -n "$work" -a ! -e "$(unix_path "$work")"

frames delete
timeout 30 wineserver -w || true
echo "screenshots: $SHOTS"
e2e_end

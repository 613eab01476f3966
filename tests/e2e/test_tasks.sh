#!/usr/bin/env bash
# The task list under Wine, one scenario: a quiet install whose setup.ini
# carries task lines of every type. Links of the desktop, program menu and
# Startup kinds (address links among them) read back through the shell;
# confirmed copies land where their folders say; registry values and the
# associations (the quiet run answers both questions Yes, and logs them) are
# read from the prefix's registry files; the INI value is in
# its file; a component is copied and run, and a packaged test DLL is
# registered through regsvr32.exe (its DllRegisterServer leaves a marker);
# lines that would write elsewhere are refused, each with its reason in the
# audit log, while a ".." that keeps a folder full is taken in the folder's
# normal form; uninstall.dat's UserTask
# group holds the records in order. A second setup, through the wizard,
# copies over the files now present: the association question answered No
# leaves its extension alone, and the version dialog shows the installed and
# the new file's version resource (or creation time), No keeps the file and
# Yes replaces it. Screenshots of the dialogs stay in the build folder.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
LINKINFO="$WIN_DIR/linkinfo.exe"
REGTEST="$WIN_DIR/regtest.dll"
for f in "$LINKINFO" "$REGTEST" "$CLICKER"; do [ -f "$f" ] || { echo "missing $f"; exit 1; }; done
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done
SHOTS="$ZANDOR_E2E_WORK"

unlink_user_folders
WIN="$DRIVE_C/windows"
rm -f "$WIN/zdopt.txt" "$WIN/zdcomp.exe"
rm -rf "$DRIVE_C/Tasks" "$DRIVE_C/Zandor Shared"

mkdir -p "$T/setup" "$T/program/tools"
cat >"$T/setup/setup.ini" <<'EOF'
[Settings]
ProgExe=app.exe
[Info]
Titel=Task Probe
GUID={6A1B2C3D-0000-4000-8000-00000000E2E7}
[StartMenue]
ProgLink=Task Probe
[Task]
StartMenu=1
[UserTask]
Number=18
Task1=0|Tool Desk|tools\tool.exe|0|app.ico|-d
Task2=1|Sub\Tool Menu.lnk|%Windows%notepad.exe|-1||-m
Task3=2|Home Desk|https://example.org/d
Task4=3|Home Menu|https://example.org/m|0|app.ico
Task5=4|Tool Start|tools\tool.exe|||-s
Task6=5|zdopt.txt|opt.txt|%Windows%
Task7=5|zdver.dll|zdreg.dll|%InstallDir%lib\
Task8=6|2147483649|Software\Zandor Tasks|Path|%InstallDir%bin
Task9=6|-2147483646|Software\Zandor Tasks|Machine|m
Task10=8|app.ini|Paths|Dir|%ProgDir%;%LanguageID%;%Windows%
Task11=9|%ProgDir%|regtest.dll|1
Task12=9|%Windows%|zdcomp.exe|0
Task13=10|app.exe|zdy|Zandor Yes|0|app.ico|1
Task14=10|app.exe|zdn|Zandor No|0|app.ico|1
Task15=266|app.exe|zdq||-1||
Task16=6|2147483651|Software\Zandor Tasks|Refused|x
Task17=5|..\..\..\zdout.txt|opt.txt|%Windows%
Task18=5|zdshared.txt|opt.txt|%InstallDir%..\Zandor Shared\
EOF
printf 'option file\r\n' >"$T/setup/opt.txt"
cp "$REGTEST" "$T/setup/zdreg.dll"
cp "$PROBE" "$T/setup/zdcomp.exe"
seq 1 500 >"$T/program/app.exe"
printf 'not really an icon\r\n' >"$T/program/app.ico"
printf 'tool\r\n' >"$T/program/tools/tool.exe"
cp "$REGTEST" "$T/program/regtest.dll"
build_setup "$T/setup" "$T/Tasks.exe" --program "$T/program"

# 1. The quiet install: both association questions take their default, Yes,
# without a window.
timeout 120 "$WINE64" "$T/Tasks.exe" /Q '/P:C:\Tasks' '/S:Task Menu' "/L:$(winpath "$T/audit.log")" >"$T/wine.out" 2>&1 ||
  { echo "FAIL: Tasks.exe did not finish"; failures=$((failures + 1)); }
wineserver -w
check "the questions, answered quietly" "$(tr -d '\r' <"$T/audit.log" | grep -a '^quiet  asked  ' || true)" \
  "quiet  asked  Associate File Extension  Associate File Extension '*.zdy' with the program?  answer  Yes
quiet  asked  Associate File Extension  Associate File Extension '*.zdn' with the program?  answer  Yes"

# Links, read back through the shell.
link_fields() {  # link_fields LINK: target|arguments|workdir|icon,index
  rm -f "$T/link.txt"
  "$WINE64" "$LINKINFO" "$(winpath "$1")" "$(winpath "$T/link.txt")" >/dev/null 2>&1 || true
  tr -d '\r' <"$T/link.txt" 2>/dev/null | awk -F= '{ v[$1] = substr($0, length($1) + 2) }
    END { printf "%s|%s|%s|%s,%s", v["target"], v["arguments"], v["workdir"], v["icon"], v["iconindex"] }'
}
win_of() { printf 'C:\\%s' "${1#"$DRIVE_C/"}" | sed 's|/|\\|g'; }
home="$(user_home)"
desk=$(find "$home" -type d -name Desktop | head -1)
menu=$(find "$home" -type d -path '*Programs/Task Menu' | head -1)
startup=$(find "$home" -type d -ipath '*Programs/Startup' | head -1)
check_true "program menu folder made" test -n "$menu"
check "type 0: desktop link under the installation folder" "$(link_fields "$desk/Tool Desk.lnk")" \
  'C:\Tasks\tools\tool.exe|-d|C:\Tasks\tools\|C:\Tasks\app.ico,0'
check "type 1: program menu link in its sub-folder, a folder variable" "$(link_fields "$menu/Sub/Tool Menu.lnk")" \
  'C:\windows\notepad.exe|-m|C:\windows\|C:\windows\notepad.exe,0'
check "type 2: address link through the URL handler, with the url.dll icon" "$(link_fields "$desk/Home Desk.lnk")" \
  'C:\windows\system32\RunDll32.exe|Url.dll,FileProtocolHandler https://example.org/d||C:\WINDOWS\system32\url.dll,0'
check "type 3: address link through the URL handler, with its own icon" "$(link_fields "$menu/Home Menu.lnk")" \
  'C:\windows\system32\RunDll32.exe|Url.dll,FileProtocolHandler https://example.org/m||C:\Tasks\app.ico,0'
check "type 4: Startup link" "$(link_fields "$startup/Tool Start.lnk")" \
  'C:\Tasks\tools\tool.exe|-s|C:\Tasks\tools\|C:\Tasks\tools\tool.exe,0'

# Copies, the component run and the registration.
check_true "type 5: copied into the Windows folder" cmp -s "$T/setup/opt.txt" "$WIN/zdopt.txt"
check_true "type 5: copied into a new folder of the installation" cmp -s "$REGTEST" "$DRIVE_C/Tasks/lib/zdver.dll"
check_true "type 5 with a way up past the root: refused" test ! -e "$DRIVE_C/zdout.txt"
check_true "type 5 into %InstallDir%..\\: the folder beside it" cmp -s "$T/setup/opt.txt" "$DRIVE_C/Zandor Shared/zdshared.txt"
refused=$(tr -d '\r' <"$T/audit.log" 2>/dev/null | grep -a '^task  refused  ' | cut -c16- || true)
check "every refused line is logged with its reason" "$refused" \
'the root key is none of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE  6|2147483651|Software\Zandor Tasks|Refused|x
the copy target: the path cannot be made sound  5|..\..\..\zdout.txt|opt.txt|%Windows%'
check_true "type 9: the component copied" cmp -s "$PROBE" "$WIN/zdcomp.exe"
check "type 9: the component ran in its folder" \
  "$(grep -a -E '^(exe|cwd) = ' "$T/probe.log" | tr -d '\r' | tr '\n' ' ')" \
  'exe = C:\windows\zdcomp.exe cwd = C:\windows '
check "type 9: the packaged DLL registered through regsvr32" \
  "$(tr -d '\r' <"$DRIVE_C/Tasks/regtest.dll.registered" 2>/dev/null)" registered

# Registry values and associations, as the prefix's files hold them.
reg_key() {  # reg_key FILE 'KEY\PATH': its value lines, "\\" shown as "\"
  local header
  header="[$(printf '%s' "$2" | sed 's/\\/\\\\\\\\/g')]"
  awk -v h="$header" 'index($0, h) == 1 { on = 1; found = 1; next } on && /^$/ { exit }
    on && /^[@"]/ { print } END { if (!found) print "(no key)" }' "$1" | sed 's/\\\\/\\/g'
}
U="$WINEPREFIX/user.reg"
S="$WINEPREFIX/system.reg"
check "type 6: HKEY_CURRENT_USER value" "$(reg_key "$U" 'Software\Zandor Tasks')" '"Path"="C:\Tasks\bin"'
check "type 6: HKEY_LOCAL_MACHINE value" "$(reg_key "$S" "$(hklm_software_key 'Software\Zandor Tasks')")" '"Machine"="m"'
check "type 10 Yes: extension" "$(reg_key "$S" 'Software\Classes\.zdy')" '@="zdy_auto_file"'
check "type 10 Yes: type" "$(reg_key "$S" 'Software\Classes\zdy_auto_file')" '@="Zandor Yes"'
check "type 10 Yes: icon" "$(reg_key "$S" 'Software\Classes\zdy_auto_file\DefaultIcon')" '@="C:\Tasks\app.ico,0"'
check "type 10 Yes: open command" "$(reg_key "$S" 'Software\Classes\Applications\app.exe\shell\open\command')" \
  '@="\"C:\Tasks\app.exe\" \"%1\""'
check "type 10 Yes: the user's choice" \
  "$(reg_key "$U" 'Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.zdy')" '"Application"="app.exe"'
check "type 10 quiet Yes: extension" "$(reg_key "$S" 'Software\Classes\.zdn')" '@="zdn_auto_file"'
check "type 266 as 10, unasked: type named after the program" "$(reg_key "$S" 'Software\Classes\zdq_auto_file')" \
  '@="app.exe"'
check "type 266 without icon: no DefaultIcon" "$(reg_key "$S" 'Software\Classes\zdq_auto_file\DefaultIcon')" \
  '(no key)'
check "type 8: INI value" "$(tr -d '\r' <"$DRIVE_C/Tasks/app.ini")" '[Paths]
Dir = C:\Tasks\;0;C:\windows\'

# The records, in the order the tasks ran.
D="$(win_of "$desk")"
M="$(win_of "$menu")"
printf '%s\r\n' '[UserTask]' 'Number = 14' \
  "Task1 = 0|$D\\Tool Desk.lnk" "Task2 = 1|$M\\Sub\\Tool Menu.lnk" "Task3 = 2|$D\\Home Desk.lnk" \
  "Task4 = 3|$M\\Home Menu.lnk" "Task5 = 4|$(win_of "$startup")\\Tool Start.lnk" \
  'Task6 = 5|C:\windows\zdopt.txt' 'Task7 = 5|C:\Tasks\lib\zdver.dll' \
  'Task8 = 6|2147483649|Software\Zandor Tasks|Path' 'Task9 = 6|2147483650|Software\Zandor Tasks|Machine' \
  'Task10 = 9|C:\windows\system32\|C:\Tasks\regtest.dll' 'Task11 = 10|zdy|app.exe' 'Task12 = 10|zdn|app.exe' 'Task13 = 10|zdq|app.exe' \
  'Task14 = 5|C:\Zandor Shared\zdshared.txt' \
  >"$T/expected_tasks.txt"
awk '/^\[/ { on = ($0 ~ /^\[UserTask\]/) } on' "$DRIVE_C/Tasks/uninstall.dat" >"$T/tasks.txt"
check_true "uninstall.dat UserTask records one by one" diff <(tr -d '\r' <"$T/expected_tasks.txt") \
  <(tr -d '\r' <"$T/tasks.txt")

# 2. Through the wizard: the association question answered No, then copies
# over files that are there now, where the version dialog asks.
mkdir -p "$T/again"
printf '%s\r\n' '[Settings]' 'ProgExe=app.exe' '[Info]' 'Titel=Again' '[Task]' 'NoUninstall=1' 'Desktop=0' 'StartProg=0' \
  'StartMenu=0' '[UserTask]' 'Number=3' 'Task1=10|app.exe|zdw|Zandor No|0|app.ico|1' \
  'Task2=5|zdver.dll|zdreg.dll|%InstallDir%lib\' 'Task3=5|zdopt.txt|opt.txt|%Windows%' \
  >"$T/again/setup.ini"
printf 'changed option file\r\n' >"$T/again/opt.txt"
cp "$REGTEST" "$T/again/zdreg.dll"
build_setup "$T/again" "$T/Again.exe"
printf 'old\r\n' >"$WIN/zdopt.txt"
printf 'kept' >>"$DRIVE_C/Tasks/lib/zdver.dll"  # still carries its version resource
cp "$DRIVE_C/Tasks/lib/zdver.dll" "$T/zdver.before"

# Waits for the dialog titled $1, takes its screenshot $2, has the clicker
# record its texts and clicks the button at client position $3 $4 with the
# mouse (the toolkit takes clicks from its controls, not bare commands).
answer_dialog() {
  local id=""
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.2
  done
  if [ -z "$id" ]; then
    echo "FAIL: no dialog '$1'"
    failures=$((failures + 1))
    return
  fi
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$SHOTS/$2" || true
  timeout 60 "$WINE64" "$CLICKER" "$1" 0 "$(winpath "$T/dialogs.txt")" 20000 >/dev/null 2>&1 &
  local clicker=$!
  sleep 1.5
  # Wine draws the frame itself without a window manager: an even border
  # around, the caption above the 340 x 236 client area.
  local border=$(((WIDTH - 340) / 2))
  xdotool mousemove $((X + border + $3)) $((Y + HEIGHT - 236 - border + $4)) click 1
  wait "$clicker" || true
}
timeout 180 "$WINE64" "$T/Again.exe" '/P:C:\Tasks' >"$T/wine.out" 2>&1 &
SETUP_PID=$!
# The driver goes through the pages and waits for the end; the dialogs
# meanwhile are answered below.
timeout 170 "$WINE64" "$WIN_DIR/driver.exe" "$(winpath "$T/driver.log")" "window  Again" "click Button:Next >" \
  "click Button:Next >" "click Button:Install" "wait Button:Exit|visible|1|150000" "click Button:Exit" gone \
  >"$T/driver.out" 2>&1 &
DRIVER_PID=$!
timeout 90 "$WINE64" "$CLICKER" "Associate File Extension" 7 "$(winpath "$T/boxes.txt")" 60000 >/dev/null 2>&1 || true
answer_dialog " Copy File  'zdreg.dll'" version_dialog_versions.png 210 220  # No
answer_dialog " Copy File  'opt.txt'" version_dialog_times.png 130 220     # Yes
wait "$DRIVER_PID" || { echo "FAIL: the wizard run: $(grep -a '^FAIL' "$T/driver.log" 2>/dev/null || tail -3 "$T/driver.out")"; failures=$((failures + 1)); }
wait "$SETUP_PID" || { echo "FAIL: Again.exe did not finish"; failures=$((failures + 1)); }
wineserver -w
check "the question names the extension" "$(grep -a '^text = ' "$T/boxes.txt" | tr -d '\r')" \
  "text = Associate File Extension '*.zdw' with the program?  "
check "type 10 No: no extension key" "$(reg_key "$S" 'Software\Classes\.zdw')" '(no key)'
check "type 10 No: no type key" "$(reg_key "$S" 'Software\Classes\zdw_auto_file')" '(no key)'
texts=$(tr -d '\r' <"$T/dialogs.txt" | grep -a '^text = ' | sed 's/^text = //')
language=$(printf '%s\n' "$texts" | sed -n 4p)
check "version dialog over two versioned files" "$(printf '%s\n' "$texts" | sed -n 1,13p)" \
  "Version:
1.2.3.4
Language:
$language
Description:
Zandor test component
Replace the current file with this file version?
Version:
1.2.3.4
Language:
$language
Description:
Zandor test component"
check_true "the translation's language is named" test -n "$language"
stamp='[0-9]{4}-[0-9]{2}-[0-9]{2}  [0-9]{2}:[0-9]{2}'
check_true "files without versions show their creation times" bash -c \
  "printf '%s\n' \"\$1\" | sed -n '15p;22p' | grep -cxE '$stamp' | grep -qx 2" _ "$texts"
check "and no language or description" "$(printf '%s\n' "$texts" | sed -n '17p;19p;24p;26p' | sort -u)" \
  '--- not available ---'
check_true "No keeps the installed file" cmp -s "$T/zdver.before" "$DRIVE_C/Tasks/lib/zdver.dll"
check_true "Yes replaces it" cmp -s "$T/again/opt.txt" "$WIN/zdopt.txt"

rm -f "$WIN/zdopt.txt" "$WIN/zdcomp.exe"
e2e_end

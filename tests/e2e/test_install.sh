#!/usr/bin/env bash
# The quiet install under Wine, whole: "/P" and "/S" choose the folders; the
# program files land with their times; the uninstall entry is in the
# registry and no install state is; the desktop and start-menu links read
# back through the shell (the homepage link through the URL handler);
# uninstall.dat holds exactly the record the uninstaller reads; the hooks run
# before and after with what they should see; the work folder is gone. The
# hook modes of "/R" choose the hooks, each waited for, never the while-hook. A reinstall keeps a no-copy file, and a
# damaged block costs its one file and shows no window. The wizard install,
# walked with the Enter key under Xvfb, writes the install state and tells
# a damaged block once, in the copy-error box. The quiet runs have a display
# too, so a box they showed would wait and time the run out.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
LINKINFO="$WIN_DIR/linkinfo.exe"

unlink_user_folders

mkdir -p "$T/setup" "$T/program/docs" "$T/program/tools"
cat >"$T/setup/setup.ini" <<'EOF'
[Settings]
ProgExe=app.exe
DefaultDir=%ProgramFiles%Not Here
NoCopyExt=ini|
[Info]
Titel=Probe App
Version=2.5
GUID={6A1B2C3D-0000-4000-8000-00000000E2E1}
Author=Probe Makers
EMail=probe@example.org
Date=2026-01-02
Web=https://example.org/probe
[StartMenue]
DefaultDir=Not This Menu
ProgLink=Probe App
Help=docs\guide.txt
URL=https://example.org/probe
Exe=tools\Helper.exe
Unistall=1
[Task]
Desktop=1
StartMenu=1
ProgParameter=/hello
EOF
cp "$PROBE" "$T/setup/BeforeZD.exe"
cp "$PROBE" "$T/setup/AfterZD.exe"
seq 1 2000 >"$T/program/app.exe"
printf 'defaults=1\r\n' >"$T/program/settings.ini"
printf 'helper\r\n' >"$T/program/tools/Helper.exe"
seq 1 4000 >"$T/program/docs/guide.txt"
touch -d '2020-05-06 07:08:09 UTC' "$T/program/app.exe" "$T/program/docs/guide.txt" "$T/program/tools/Helper.exe"
build_setup "$T/setup" "$T/Install.exe" --program "$T/program"

# 1. Quiet install into the folders of "/P" and "/S".
run_setup "$T/Install.exe" /Q '/P:C:\Probe App' '/S:Probe Menu'
wineserver -w
target="$DRIVE_C/Probe App"
for f in app.exe settings.ini tools/Helper.exe docs/guide.txt; do
  check_true "$f installed byte for byte" cmp -s "$T/program/$f" "$target/$f"
  check "$f keeps its last-write time" "$(stat -c %Y "$target/$f" 2>/dev/null)" "$(stat -c %Y "$T/program/$f")"
done
check_true "the configured folder is not used" test ! -e "$DRIVE_C/$PROGRAM_FILES/Not Here"

# Registry values of one key in a Wine registry file, "\\" shown as "\".
reg_values() {  # reg_values FILE 'KEY\PATH'
  local header
  header="[$(printf '%s' "$2" | sed 's/\\/\\\\\\\\/g')]"
  awk -v h="$header" 'index($0, h) == 1 { on = 1; next } on && /^$/ { exit } on && /^"/ { print }' "$1" |
    sed 's/\\\\/\\/g'
}
guid='{6A1B2C3D-0000-4000-8000-00000000E2E1}'
entry=$(reg_values "$WINEPREFIX/system.reg" "$(hklm_software_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$guid")")
expected_entry='"DisplayName"="Probe App 2.5"
"DisplayIcon"="C:\Probe App\app.exe"
"Publisher"="Probe Makers"
"URLInfoAbout"="https://example.org/probe"
"HelpLink"="https://example.org/probe"
"Contact"="probe@example.org"
"UninstallString"="\"C:\Probe App\uninstall.exe\""
"DisplayVersion"="2.5"
"InstallLocation"="C:\Probe App\"
"QuietUninstallString"="\"C:\Probe App\uninstall.exe\" /Q"
"EstimatedSize"=dword:KB
"NoModify"=dword:00000001
"NoRepair"=dword:00000001'
check "uninstall entry" "$(printf '%s\n' "$entry" | sed 's/^"EstimatedSize"=dword:[0-9a-f]*$/"EstimatedSize"=dword:KB/' | sort)" \
  "$(printf '%s\n' "$expected_entry" | sort)"
check "the quiet install keeps its state" \
  "$(reg_values "$WINEPREFIX/user.reg" "Software\\Zandor\\$guid" | grep '^"InstallDir"')" '"InstallDir"="C:\Probe App\"'

# The links, read back through the shell.
link_fields() {  # link_fields LINK: target|arguments|workdir|icon,index
  rm -f "$T/link.txt"
  "$WINE64" "$LINKINFO" "$(winpath "$1")" "$(winpath "$T/link.txt")" >/dev/null 2>&1 || true
  tr -d '\r' <"$T/link.txt" 2>/dev/null | awk -F= '{ v[$1] = substr($0, length($1) + 2) }
    END { printf "%s|%s|%s|%s,%s|show %s", v["target"], v["arguments"], v["workdir"], v["icon"], v["iconindex"], v["show"] }'
}
desktop_link=$(find "$(user_home)" -path '*Desktop/Probe App.lnk' | head -1)
menu=$(find "$(user_home)" -type d -path '*Programs/Probe Menu' | head -1)
check_true "desktop link made" test -n "$desktop_link"
check_true "start-menu folder made from /S" test -n "$menu"
check "desktop link" "$(link_fields "$desktop_link")" \
  'C:\Probe App\app.exe|/hello|C:\Probe App\|C:\Probe App\app.exe,0|show 1'
check "start-menu program link" "$(link_fields "$menu/Probe App.lnk")" \
  'C:\Probe App\app.exe|/hello|C:\Probe App\|C:\Probe App\app.exe,0|show 1'
check "start-menu additional program link" "$(link_fields "$menu/Helper.lnk")" \
  'C:\Probe App\tools\Helper.exe||C:\Probe App\tools\|C:\Probe App\tools\Helper.exe,0|show 1'
check "start-menu help link" "$(link_fields "$menu/Help.lnk")" \
  'C:\Probe App\docs\guide.txt||C:\Probe App\|C:\Probe App\docs\guide.txt,0|show 1'
check "start-menu uninstall link" "$(link_fields "$menu/Uninstall.lnk")" \
  'C:\Probe App\Uninstall.exe||C:\Probe App\|C:\Probe App\Uninstall.exe,0|show 1'
# The link object holds paths only: the homepage link starts the system's
# URL handler with the address.
check "start-menu homepage link" "$(link_fields "$menu/Homepage.lnk")" \
  'C:\windows\system32\RunDll32.exe|Url.dll,FileProtocolHandler https://example.org/probe||C:\WINDOWS\system32\url.dll,0|show 1'
check "links in the start-menu folder" "$(ls "$menu" | tr '\n' ' ')" \
  'Help.lnk Helper.lnk Homepage.lnk Probe App.lnk Uninstall.lnk '

# uninstall.dat as the uninstaller reads it, with the English texts.
win_of() { printf 'C:\\%s' "${1#"$DRIVE_C/"}" | sed 's|/|\\|g'; }
M="$(win_of "$menu")\\"
D="$(win_of "$desktop_link")"
# zandor build prepared it with the product's keys and what the program
# files hold; the install adds its own keys.
printf '%s\r\n' '[Settings]' 'ProgName = Probe App' 'Version = 2.5' 'MutexString = ' \
  'ProgDir = C:\Probe App\' 'ProgExe = app.exe' "GUID = $guid" 'ProgLink = Probe App' \
  "StartMenu = $M" "DesktopIcon = $D" 'LoginAdmin = 0' 'MadeProgDir = 1' 'MadeParents = 0' \
  '[Files]' 'F0001 = app.exe' 'F0002 = docs\guide.txt' 'F0003 = settings.ini' 'F0004 = tools\Helper.exe' \
  '[Dirs]' 'D0001 = docs\' 'D0002 = tools\' \
  '[Language]' 'Titel = uninstall Program' 'Msg = Program files And registry entries will be removed.' \
  'Version = Version' 'UninstInfo = Remove the following Program from your computer:' \
  'DelAll = Delete all(!) files in the directory (including user files).' \
  'Error = Uninstalling Program Not possible.' "Mutex = Close Program 'Probe App' first!|Then press OK!" \
  'Status = Uninstalling completed.' 'Logon = Login as administrator' 'User = Username:' 'Password = Password:' \
  'RQ_Titel = Error - Login' 'RQ_Msg = Login failed.' 'OK = OK' 'Cancel = Cancel' 'Ready = Ready' 'Login = Login' \
  '[StartMenu]' "Program = ${M}Probe App.lnk" "AddExe = ${M}Helper.lnk" "Help = ${M}Help.lnk" \
  "Homepage = ${M}Homepage.lnk" "Uninstall = ${M}Uninstall.lnk" \
  '[UserTask]' 'Number = 0' >"$T/expected.dat"
check_true "uninstall.dat byte for byte" cmp "$T/expected.dat" "$target/uninstall.dat"

# The hooks: before, then after; both see SetupExeDir, only the after-hook
# sees InstallDir.
runs=$(grep -a '^exe = ' "$T/probe.log" | sed 's/.*\\//' | tr -d '\r' | tr '\n' ' ')
check "hook order" "$runs" 'BeforeZD.exe AfterZD.exe '
setup_dir="$(winpath "$T")\\"
hook_env() {  # hook_env N NAME: the value NAME had in the Nth run, "-" when unset
  awk -v n="$1" -v k="env = $2=" '/^\[run\]/ { run++ } run == n && index($0, k) == 1 { print substr($0, length(k) + 1); f = 1 }
    END { if (!f) print "-" }' "$T/probe.log" | tr -d '\r'
}
check "before-hook SetupExeDir" "$(hook_env 1 SetupExeDir)" "$setup_dir"
check "before-hook has no InstallDir" "$(hook_env 1 InstallDir)" "-"
check "after-hook SetupExeDir" "$(hook_env 2 SetupExeDir)" "$setup_dir"
check "after-hook InstallDir" "$(hook_env 2 InstallDir)" 'C:\Probe App\'
cwd=$(grep -a -m1 '^cwd = ' "$T/probe.log" | sed 's/^cwd = //' | tr -d '\r')
check_true "work folder deleted at the end" test ! -e "$(temp_dir)/${cwd##*\\}"

# 2. Reinstall: the no-copy file stays as the user left it, and that is no
#    failure: "/E" exits 0 (run_setup checks it).
printf 'user=1\r\n' >"$target/settings.ini"
run_setup "$T/Install.exe" /Q /E '/P:C:\Probe App' '/S:Probe Menu'
check "settings.ini kept on reinstall" "$(tr -d '\r' <"$target/settings.ini")" 'user=1'

# 3. A damaged block of the inner package: that file is not passed off as
#    installed, every other file is, and no window waits for an answer.
"$TOOL" pack "$T/program" -o "$T/setup/setup.pck" >/dev/null
first=$("$TOOL" list "$T/setup/setup.pck" | awk -F'\t' 'NR == 2 { print $6 }')
check "the first block is app.exe's" "$first" "app.exe"
printf '\125' | dd of="$T/setup/setup.pck" bs=1 seek=12 conv=notrunc 2>/dev/null
build_setup "$T/setup" "$T/Damaged.exe"
run_setup "$T/Damaged.exe" /Q '/P:C:\Damaged'
for f in settings.ini tools/Helper.exe docs/guide.txt; do
  check_true "$f installed beside the damaged file" cmp -s "$T/program/$f" "$DRIVE_C/Damaged/$f"
done
differs() { ! cmp -s "$1" "$2"; }
check_true "damaged app.exe not installed as the package's" differs "$T/program/app.exe" "$DRIVE_C/Damaged/app.exe"
check_true "uninstall.dat written after a damaged block" test -f "$DRIVE_C/Damaged/uninstall.dat"

# 4. The wizard install of a package with the same damaged block: Enter
#    walks Welcome, Settings and Install (no licence, no readme); the copy
#    error is shown once and answered by the clicker; Enter on Finish ends.
sed -e 's/^GUID=.*/GUID={6A1B2C3D-0000-4000-8000-00000000E2E2}/' -e 's/^DefaultDir=%ProgramFiles%Not Here/DefaultDir=C:\\Wizard App/' \
  -e '/^ProgParameter/d' "$T/setup/setup.ini" >"$T/wizard.ini"
mv "$T/wizard.ini" "$T/setup/setup.ini"
rm -f "$T/setup/BeforeZD.exe" "$T/setup/AfterZD.exe"
build_setup "$T/setup" "$T/Wizard.exe"
"$WINE64" "$T/Wizard.exe" >"$T/wizard.out" 2>&1 &
setup_pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^ Probe App' >/dev/null || true
timeout 90 "$WINE64" "$CLICKER" "Error - Copy File" 1 "$(winpath "$T/box1.txt")" 60000 >/dev/null 2>&1 &
clicker_pid=$!
for page in welcome settings install; do
  sleep 2
  xdotool key Return
done
wait "$clicker_pid" || true
check "wizard: the copy error" "$(tr -d '\r' <"$T/box1.txt" 2>/dev/null | tr '\n' '|')" \
  'caption = Error - Copy File|text = Copying file(s) failed.|'
second=0
timeout 20 "$WINE64" "$CLICKER" "Error - Copy File" 1 "$(winpath "$T/box2.txt")" 4000 >/dev/null 2>&1 || second=$?
check "wizard: no second copy-error box" "$second" 1
sleep 1
xdotool key Return  # Finish
rc=0
timeout 60 tail --pid="$setup_pid" -f /dev/null || rc=$?
check "wizard: Finish ends the run" "$rc" 0
wineserver -w
state=$(reg_values "$WINEPREFIX/user.reg" 'Software\Zandor\{6A1B2C3D-0000-4000-8000-00000000E2E2}')
check "wizard: install state" "$(printf '%s\n' "$state" | sort | tr '\n' '|')" \
  '"DesktopIcon"="1"|"InstallDir"="C:\Wizard App\"|"StartMenu"="Not This Menu\"|'
for f in settings.ini tools/Helper.exe docs/guide.txt; do
  check_true "wizard: $f installed beside the damaged file" cmp -s "$T/program/$f" "$DRIVE_C/Wizard App/$f"
done
check_true "wizard: uninstall.dat written" test -f "$DRIVE_C/Wizard App/uninstall.dat"

# 4b. A wizard reinstall of the whole package over it keeps settings.ini by
#     NoCopyExt and says so by no box at all: "Completed", and /E exits 0.
"$TOOL" pack "$T/program" -o "$T/setup/setup.pck" >/dev/null
build_setup "$T/setup" "$T/Wizard2.exe"
printf 'user=2\r\n' >"$DRIVE_C/Wizard App/settings.ini"
"$WINE64" "$T/Wizard2.exe" /E >"$T/wizard2.out" 2>&1 &
setup_pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^ Probe App' >/dev/null || true
for page in welcome settings install; do
  sleep 2
  xdotool key Return
done
box=0
timeout 30 "$WINE64" "$CLICKER" "Error - Copy File" 1 "$(winpath "$T/box3.txt")" 8000 >/dev/null 2>&1 || box=$?
check "wizard reinstall: no copy-error box for the kept file" "$box" 1
xdotool key Return  # Finish
rc=0
# A wizard that did not end by now waits for an answer nobody gives.
timeout 60 tail --pid="$setup_pid" -f /dev/null || kill "$setup_pid" 2>/dev/null || true
wait "$setup_pid" || rc=$?
check "wizard reinstall: /E exits 0" "$rc" 0
check "wizard reinstall: settings.ini kept" "$(tr -d '\r' <"$DRIVE_C/Wizard App/settings.ini")" 'user=2'
wineserver -w

# 5. The hook modes of a quiet install: 0 runs neither the before- nor the
#    after-hook, 1 both, 2 the before-hook, 3 the after-hook, 257 as 1; the
#    while-hook belongs to the wizard and never runs. Each hook sleeps 1.5 s
#    before it lists its working folder: setup.ini still there shows that
#    the install waited for it (it deletes the work folder at its end), and
#    the before-hook sees no InstallDir, so it ran before the copy.
mkdir -p "$T/hooks" "$T/hooks-program"
printf '%s\r\n' '[Settings]' 'ProgExe=hooked.exe' 'DefaultDir=C:\Hooked' '[Info]' 'Titel=Hooked' >"$T/hooks/setup.ini"
for hook in BeforeZD AfterZD WhileZD; do cp "$PROBE" "$T/hooks/$hook.exe"; done
printf 1500 >"$T/hooks/BeforeZD.sleep"
printf 1500 >"$T/hooks/AfterZD.sleep"
printf 'hooked\r\n' >"$T/hooks-program/hooked.exe"
build_setup "$T/hooks" "$T/Hooks.exe" --program "$T/hooks-program"
# One entry per hook run: its name, whether setup.ini was in its folder, its InstallDir.
hook_runs() {
  [ -f "$T/probe.log" ] || return 0
  tr -d '\r' <"$T/probe.log" | awk '
    /^\[run\]/ { if (name) print name, ini, dir; name = ""; ini = "no-ini"; dir = "-" }
    /^exe = / { n = $0; sub(/.*\\/, "", n); name = n }
    /^file = setup.ini\|/ { ini = "ini" }
    /^env = InstallDir=/ { dir = substr($0, 18) }
    END { if (name) print name, ini, dir }' | tr '\n' ';'
}
for mode_case in '0|' '1|BeforeZD.exe ini -;AfterZD.exe ini C:\Hooked\;' '2|BeforeZD.exe ini -;' \
  '3|AfterZD.exe ini C:\Hooked\;' '257|BeforeZD.exe ini -;AfterZD.exe ini C:\Hooked\;'; do
  mode=${mode_case%%|*}
  rm -rf "$T/probe.log" "$DRIVE_C/Hooked"
  run_setup "$T/Hooks.exe" /Q "/R:$mode"
  check "hook mode $mode: the hooks that ran, in order" "$(hook_runs)" "${mode_case#*|}"
  check_true "hook mode $mode: installed" test -f "$DRIVE_C/Hooked/hooked.exe"
done

# 6. What is reported must be what happened: runs that install nothing
#    leave no uninstall entry, record or link behind, and /E says so.
desktop_link="$(user_home)/Desktop/Probe App.lnk"
has_key() { "$WINE64" reg query "HKLM\\$(hklm_software_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1")" >/dev/null 2>&1; }
no_entries() { ! has_key "$guid" && ! has_key '{6A1B2C3D-0000-4000-8000-00000000E2E3}'; }
unknown_entries() { grep -ac 'unknown ---' "$WINEPREFIX/system.reg" || true; }
unknown_before=$(unknown_entries)
leaves_nothing() {  # leaves_nothing WHAT FOLDER: no entry of either GUID, no record, no link
  check_true "$1: no uninstall entry" no_entries
  check_true "$1: no uninstall.dat" test ! -e "$2/uninstall.dat"
  check_true "$1: no desktop link" test ! -e "$desktop_link"
  check "$1: no entry under the built-in title" "$(unknown_entries)" "$unknown_before"
}
clear_install() {
  "$WINE64" reg delete "HKLM\\$(hklm_software_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$guid")" /f >/dev/null 2>&1 || true
  rm -f "$desktop_link"
  wineserver -w
}
exit_code() { local rc=0; timeout 120 "$WINE64" "$@" >"$T/wine.out" 2>&1 || rc=$?; wineserver -w; echo "$rc"; }
#  a. A setup.pck that is there but does not open ("Pack" missing at its end).
sed -i 's/^GUID=.*/GUID={6A1B2C3D-0000-4000-8000-00000000E2E3}/' "$T/setup/setup.ini"
printf 'Junk' | dd of="$T/setup/setup.pck" bs=1 seek=$(($(stat -c %s "$T/setup/setup.pck") - 4)) conv=notrunc 2>/dev/null
build_setup "$T/setup" "$T/Unreadable.exe"
clear_install
check "unreadable setup.pck: /E exits 3" "$(exit_code "$T/Unreadable.exe" /Q /E '/P:C:\Unreadable')" 3
check_true "unreadable setup.pck: no folder left" test ! -e "$DRIVE_C/Unreadable"
leaves_nothing "unreadable setup.pck" "$DRIVE_C/Unreadable"
#  b. An installer cut short (an interrupted download): the package's end is gone.
head -c $(($(stat -c %s "$T/Install.exe") - 3000)) "$T/Install.exe" >"$T/Truncated.exe"
rm -rf "$DRIVE_C/$PROGRAM_FILES/Not Here"
check "truncated installer: /E exits 4" "$(exit_code "$T/Truncated.exe" /Q /E "/L:$(winpath "$T/truncated.log")")" 4
check "truncated installer: the copy-error box, as for any package that cannot be read (answered quietly)" \
  "$(grep -ac '^quiet  asked  Error - Copy File  ' "$T/truncated.log" 2>/dev/null || true)" 1
check_true "truncated installer: nothing in Program Files" \
  test ! -e "$DRIVE_C/$PROGRAM_FILES/uninstall.dat" -a ! -e "$DRIVE_C/$PROGRAM_FILES/Not Here"
leaves_nothing "truncated installer" "$DRIVE_C/$PROGRAM_FILES"
#  c. An installation folder that cannot be made (a file is at its path).
check "folder cannot be made: /E exits 4" "$(exit_code "$T/Install.exe" /Q /E '/P:C:\Probe App\app.exe\sub')" 4
leaves_nothing "folder cannot be made" "$DRIVE_C/Probe App/app.exe"

e2e_end

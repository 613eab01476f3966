#!/usr/bin/env bash
# Uninstall.exe under Wine. A quiet install with start-menu and desktop
# links, the uninstall entry, task lines and further task records (a
# registry value, an association, a copied file, a component, a link) and
# hostile record entries is undone by "Uninstall.exe /Q": the prefix is as
# before, file by file under drive_c and key by key (with values) in the
# registry files, except the file the quiet run must keep; win.ini and
# system.ini, which hostile entries name, are untouched. A user file
# survives a quiet uninstall; the dialog, after a wizard install, walked with
# DelAll ticked takes it and the install state (screenshots in
# e2e/uninstall/). The running-program check waits for the probe's mutex:
# Cancel ends, quiet ends, OK looks again. Records whose ProgDir is C:\, the
# Windows folder or another folder delete nothing.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
UNINSTALLER="$WIN_DIR/Uninstall.exe"
[ -f "$UNINSTALLER" ] || { echo "missing $UNINSTALLER"; exit 1; }
for tool in xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done
# Wine mirrors associations and links into its own keys and the desktop
# when its menu builder runs; that is Wine's work, not the installer's.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
SHOTS="$ZANDOR_E2E_WORK/uninstall"
mkdir -p "$SHOTS"
rm -f "$SHOTS"/*.png

unlink_user_folders
"$WINE64" reg add 'HKCU\Software\Wine\AppDefaults\Uninstall.exe\X11 Driver' /v Managed /t REG_SZ /d N /f \
  >/dev/null 2>&1 || true
wineserver -w

APP='C:\Uninst App'
APP_DIR="$DRIVE_C/Uninst App"
GUID='{6A1B2C3D-0000-4000-8000-00000000E3E1}'
MUTEX=ZandorUninstallTest
mkdir -p "$T/setup" "$T/program/docs" "$T/program/tools"
printf '%s\r\n' '[Settings]' 'ProgExe=uninstapp.exe' "DefaultDir=$APP" \
  '[Info]' 'Titel=Probe App' 'Version=2.5' "GUID=$GUID" \
  '[StartMenue]' 'DefaultDir=Uninst Menu\Sub' 'ProgLink=Uninst Probe' 'Help=docs\guide.txt' \
  'URL=https://example.org/probe' 'Exe=tools\Helper.exe' 'Unistall=1' \
  '[Task]' 'Desktop=1' 'StartMenu=1' "MutexString=$MUTEX" \
  '[UserTask]' 'Number=5' 'Task1=0|Probe Guide|docs\guide.txt|-1||' 'Task2=1|Extra\Helper|tools\Helper.exe|-1||' \
  'Task3=6|2147483649|Software\ZandorUninstallTest\Lines|Opt|%InstallDir%' \
  'Task4=9|%ProgDir%|comp.dll|1' 'Task5=10|uninstapp.exe|zdl|Probe lines|-1||0' >"$T/setup/setup.ini"
seq 1 2000 >"$T/program/uninstapp.exe"
seq 1 400 >"$T/program/docs/guide.txt"
printf 'helper\r\n' >"$T/program/tools/Helper.exe"
printf 'not really a dll\r\n' >"$T/program/comp.dll"
build_setup "$T/setup" "$T/Install.exe" --program "$T/program" --uninstaller "$UNINSTALLER" 2>/dev/null

# ---------------------------------------------------------------- helpers --
# Runs an uninstaller (or any program) and answers its exit code.
exit_code() {
  local rc=0
  timeout 120 "$WINE64" "$@" >>"$T/wine.out" 2>&1 || rc=$?
  echo "$rc"
}

# The cleanup copy ends after the first process: wait until the
# installation folder is gone, or holds only files the uninstaller left.
wait_cleanup() {  # wait_cleanup DIR
  for _ in $(seq 1 150); do
    [ -e "$1/Uninstall.exe" ] || break
    sleep 0.2
  done
  wineserver -w
}

# Adds lines at the end of a group of an INI file (CR LF lines).
ini_add() {  # ini_add FILE GROUP LINE...
  local file=$1 group=$2
  shift 2
  printf '%s\n' "$@" >"$T/add.txt"
  awk -v g="[$group]" -v addfile="$T/add.txt" '
    BEGIN { while ((getline l < addfile) > 0) add = add l "\r\n" }
    { line = $0; sub(/\r$/, "", line) }
    line ~ /^\[/ { if (on) { printf "%s", add; done = 1 } on = (line == g) }
    { print }
    END { if (on && !done) printf "%s", add }' "$file" >"$file.new"
  mv "$file.new" "$file"
}

# A path under drive_c as Windows names it.
win_of() { printf 'C:\\%s' "${1#"$DRIVE_C/"}" | sed 's|/|\\|g'; }
unix_of() { printf '%s/%s' "$DRIVE_C" "$(printf '%s' "${1#C:\\}" | tr '\\' '/')"; }
UNINSTALL="$APP\\Uninstall.exe"

reg_has() {  # reg_has FILE KEY: the registry file holds the key
  grep -qiF "[$(printf '%s' "$2" | sed 's/\\/\\\\/g')]" "$WINEPREFIX/$1"
}

quiet_install() {
  run_setup "$T/Install.exe" /Q
  wineserver -w
}

# ---------------------------------------- 1. quiet install, quiet removal --
rm -rf "$APP_DIR"
printf 'windows file\r\n' >"$DRIVE_C/windows/zandor-kept.opt"
# Wine registers its display devices when the first windowed program of a
# prefix starts: an uninstaller without a record (refused, no window) does
# that before the first snapshot.
check "an uninstaller without a record is refused" "$(exit_code "$(winpath "$UNINSTALLER")" /Q)" 1
snapshot "$T/before.txt"
quiet_install
check_true "installed: Uninstall.exe" test -f "$APP_DIR/Uninstall.exe"
check "the record names the folder" "$(ini_value "$APP_DIR/uninstall.dat" ProgDir)" "$APP\\"
menu=$(ini_value "$APP_DIR/uninstall.dat" StartMenu)
desktop=$(ini_value "$APP_DIR/uninstall.dat" DesktopIcon)
check_true "start-menu links made" test -f "$(unix_of "$menu")Uninstall.lnk"
check_true "desktop link made" test -f "$(unix_of "$desktop")"
# The install's own task records: two links, a registry value, the
# component in the folder and the association.
check "the install recorded its five tasks" "$(ini_value "$APP_DIR/uninstall.dat" Number)" 5
check_true "task link on the desktop" test -f "$(dirname "$(unix_of "$desktop")")/Probe Guide.lnk"
check_true "task link in a folder of the start menu" test -f "$(unix_of "$menu")Extra/Helper.lnk"
check_true "task registry value" reg_has user.reg 'Software\ZandorUninstallTest\Lines'
check_true "task association" reg_has system.reg 'Software\Classes\.zdl'

# Task records of every kind, with their effects made here, whether or not
# the install's task list made its own: the record is input anybody can
# write. Hostile entries name files outside the folder.
desktop_dir=$(dirname "$(unix_of "$desktop")")
printf 'link' >"$desktop_dir/Extra Task.lnk"
cp "$T/program/comp.dll" "$APP_DIR/comp2.dll"
cp "$DRIVE_C/windows/zandor-kept.opt" "$DRIVE_C/windows/zandor-copied.opt"
{
  "$WINE64" reg add 'HKCU\Software\ZandorUninstallTest\Sub' /v Opt /t REG_SZ /d 1 /f
  "$WINE64" reg add 'HKCR\Applications\uninstapp.exe\shell\open\command' /ve /t REG_SZ /d "\"$APP\\uninstapp.exe\" \"%1\"" /f
  "$WINE64" reg add 'HKCR\.zdu' /ve /t REG_SZ /d zdu_auto_file /f
  "$WINE64" reg add 'HKCR\zdu_auto_file' /ve /t REG_SZ /d 'Probe file' /f
  "$WINE64" reg add 'HKCR\zdu_auto_file\DefaultIcon' /ve /t REG_SZ /d "$APP\\uninstapp.exe,0" /f
  "$WINE64" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.zdu' /v Application \
    /t REG_SZ /d uninstapp.exe /f
} >/dev/null 2>&1
record="$APP_DIR/uninstall.dat"
n=$(ini_value "$record" Number)
extra=("0|$(win_of "$desktop_dir")\\Extra Task.lnk"
  '6|2147483649|Software\ZandorUninstallTest\Sub|Opt' '10|zdu|uninstapp.exe' "9|C:\\windows\\system32\\|$APP\\comp2.dll"
  '5|C:\windows\zandor-copied.opt' '0|C:\windows\win.ini' '9|C:\windows\system32\|C:\windows\system.ini'
  '6|2147483651|.DEFAULT\Control Panel|Zandor')
lines=()
for i in "${!extra[@]}"; do lines+=("Task$((n + i + 1)) = ${extra[$i]}"); done
sed -i "s/^Number = $n\r\$/Number = $((n + ${#extra[@]}))\r/" "$record"
ini_add "$record" UserTask "${lines[@]}"
# Numbered keys are read up to the first gap: the hostile ones follow on.
nf=$(grep -c '^F[0-9]' "$record")
nd=$(grep -c '^D[0-9]' "$record")
ini_add "$record" Files "F$(printf %04d $((nf + 1))) = ..\\windows\\win.ini" \
  "F$(printf %04d $((nf + 2))) = C:\\windows\\system.ini" "F$(printf %04d $((nf + 3))) = \\windows\\system.ini"
ini_add "$record" Dirs "D$(printf %04d $((nd + 1))) = ..\\windows\\" "D$(printf %04d $((nd + 2))) = C:\\windows\\"
cp "$record" "$T/record-quiet.dat"
win_ini=$(md5sum <"$DRIVE_C/windows/win.ini")
system_ini=$(md5sum <"$DRIVE_C/windows/system.ini")

check "quiet uninstall ends with 0" "$(exit_code "$UNINSTALL" /Q "/L:$(winpath "$T/u.log")")" 0
wait_cleanup "$APP_DIR"
# Its audit log: each step, the hostile entries skipped, the end.
log=$(tr -d '\r' <"$T/u.log")
check_true "the log starts with the command line" grep -q '^start  command line  .*/Q' <<<"$log"
check_true "the log has the skipped entry" grep -qxF 'remove  skipped  ..\windows\win.ini' <<<"$log"
check_true "the log has the record's removal" grep -q '^remove  file  .*\\uninstall\.dat$' <<<"$log"
check "the log ends with the exit code" "$(tail -1 <<<"$log")" "end  removed  exit code 0"
check_true "the installation folder is gone" test ! -e "$APP_DIR"
check_true "win.ini untouched" test "$(md5sum <"$DRIVE_C/windows/win.ini")" = "$win_ini"
check_true "system.ini untouched" test "$(md5sum <"$DRIVE_C/windows/system.ini")" = "$system_ini"
check_true "a quiet run keeps the file a task copied" test -f "$DRIVE_C/windows/zandor-copied.opt"
rm -f "$DRIVE_C/windows/zandor-copied.opt"
snapshot "$T/after.txt"
# The cleanup copy stays in the temporary folder until the next restart
# deletes it; the system's list of pending deletions names it meanwhile.
check_true "the cleanup copy is to be deleted at the next restart" \
  grep -q 'PendingFileRenameOperations.*zd-uninstall-[0-9A-F]*.*cleanup\.exe' "$WINEPREFIX/system.reg"
LC_ALL=C comm -3 "$T/before.txt" "$T/after.txt" | grep -v 'PendingFileRenameOperations' >"$T/diff.txt" || true
check "the prefix is as before the install" "$(cat "$T/diff.txt")" ""

# ------------------------------------------------- 2. a user file survives --
# A component that tells its unregistration: regsvr32 /u runs before it is
# deleted, and the marker it writes stays beside the user file.
quiet_install
printf 'mine\r\n' >"$APP_DIR/user.txt"
cp "$WIN_DIR/regtest.dll" "$APP_DIR/parts.dll"
record="$APP_DIR/uninstall.dat"
n=$(ini_value "$record" Number)
sed -i "s/^Number = $n\r\$/Number = $((n + 1))\r/" "$record"
ini_add "$record" UserTask "Task$((n + 1)) = 9|C:\\windows\\system32\\|$APP\\parts.dll"
check "quiet uninstall with a user file" "$(exit_code "$UNINSTALL" /Q)" 0
wait_cleanup "$APP_DIR"
check "only the user file and the marker are left" "$(cd "$APP_DIR" && find . | sort | tr '\n' ' ')" \
  ". ./parts.dll.unregistered ./user.txt "
check "the component was unregistered" "$(tr -d '\r' <"$APP_DIR/parts.dll.unregistered" 2>/dev/null)" unregistered
# The first uninstall's cleanup folder, empty since its copy ended, went
# with this one; this one's waits for the next.
check "one cleanup folder in the temporary folder" "$(compgen -G "$(temp_dir)/zd-uninstall-*" | wc -l)" 1
rm -rf "$APP_DIR"

# ------------------------------------------ 3. the running-program check --
quiet_install
cp "$PROBE" "$T/holder.exe"
printf '%s' "$MUTEX" >"$T/holder.mutex"
printf '6000' >"$T/holder.sleep"
"$WINE64" "$T/holder.exe" >/dev/null 2>&1 &
holder=$!
wait_for_file "$T/holder.held" 100 || true
check "quiet: a running program ends the run" "$(exit_code "$UNINSTALL" /Q "/L:$(winpath "$T/u.log")")" 2
check_true "the log has the quiet Cancel" grep -q "^quiet  asked  .*first!.*  answer  Cancel" "$T/u.log"
"$WINE64" "$UNINSTALL" >/dev/null 2>&1 &
pid=$!
timeout 60 "$WINE64" "$CLICKER" "uninstall Program" 2 "$(winpath "$T/mutex1.txt")" 30000 >/dev/null 2>&1 || true
wait "$pid" || true
check "the Mutex text" "$(tr -d '\r' <"$T/mutex1.txt" 2>/dev/null | tr '\n' '|')" \
  "caption = uninstall Program|text = Close Program 'Probe App' first!|Then press OK!|"
check_true "Cancel removes nothing" test -f "$APP_DIR/uninstapp.exe"
rm -f "$T/holder.held"
wait "$holder" || true
# The probe holds the mutex again; the box is answered with OK once it has
# ended, and the uninstaller looks again and goes on to its dialog.
"$WINE64" "$T/holder.exe" >/dev/null 2>&1 &
holder=$!
wait_for_file "$T/holder.held" 100 || true
"$WINE64" "$UNINSTALL" >/dev/null 2>&1 &
pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^uninstall Program$' >/dev/null 2>&1 || true
wait "$holder" || true
timeout 60 "$WINE64" "$CLICKER" "uninstall Program" 1 "$(winpath "$T/mutex2.txt")" 30000 >/dev/null 2>&1 || true
dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^ uninstall Program$' 2>/dev/null | head -1)
check_true "OK after the program ended opens the dialog" test -n "$dialog"
xdotool key Escape 2>/dev/null || true  # Cancel
wait "$pid" || true
check_true "the dialog's Cancel removes nothing" test -f "$APP_DIR/uninstapp.exe"

# ------------------------------------------------------ 4. hostile records --
good=$(cat "$APP_DIR/uninstall.dat")
for prog_dir in 'C:\' 'C:\windows\' 'C:\users\' 'C:\Uninst App\..\windows\' 'C:\Other\'; do
  printf '%s' "$good" | sed "s|^ProgDir = .*|ProgDir = $(printf '%s' "$prog_dir" | sed 's/\\/\\\\/g')\r|" \
    >"$APP_DIR/uninstall.dat"
  check "ProgDir $prog_dir is refused" "$(exit_code "$UNINSTALL" /Q)" 1
done
printf '%s' "$good" | sed '/^ProgDir/d' >"$APP_DIR/uninstall.dat"
check "a record without ProgDir is refused" "$(exit_code "$UNINSTALL" /Q)" 1
rm "$APP_DIR/uninstall.dat"
check "a missing record is refused" "$(exit_code "$UNINSTALL" /Q)" 1
wineserver -w
for f in uninstapp.exe docs/guide.txt tools/Helper.exe Uninstall.exe; do
  check_true "refused runs kept $f" test -f "$APP_DIR/$f"
done
check_true "refused runs kept the uninstall entry" reg_has system.reg \
  "$(hklm_software_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$GUID")"
check_true "refused runs kept win.ini" test -f "$DRIVE_C/windows/win.ini"
printf '%s' "$good" >"$APP_DIR/uninstall.dat"

# ------------------------- 5. wizard install, then the dialog with DelAll --
# The wizard (Enter on Welcome, Settings, Install, Finish) reinstalls into
# the same folder and writes the install state.
"$WINE64" "$T/Install.exe" >/dev/null 2>&1 &
pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^ Probe App' >/dev/null || true
for _ in welcome settings install finish; do
  sleep 2
  xdotool key Return
done
timeout 60 tail --pid="$pid" -f /dev/null || true
wineserver -w
check_true "wizard install wrote the install state" reg_has user.reg "Software\\Zandor\\$GUID"
printf 'mine\r\n' >"$APP_DIR/user.txt"
"$WINE64" "$UNINSTALL" >/dev/null 2>&1 &
pid=$!
dialog=$(timeout 60 xdotool search --sync --onlyvisible --name '^ uninstall Program$' 2>/dev/null | head -1)
check_true "the dialog opens" test -n "$dialog"
shot() {  # shot NAME: the dialog cut out of the screen
  local x y w h
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$dialog" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
  import -window root "$T/screen.png"
  convert "$T/screen.png" -crop "$((w + 16))x$((h + 40))+$((x - 8))+$((y - 32))" +repage -trim +repage "$SHOTS/$1.png"
}
if [ -n "$dialog" ]; then
  shot dialog
  xdotool key space  # the DelAll box has the focus
  shot delall-ticked
  xdotool key Return  # OK
  sleep 2
  shot ready
  xdotool key Return  # Ready
fi
timeout 60 tail --pid="$pid" -f /dev/null || true
wait_cleanup "$APP_DIR"
check_true "DelAll took the user file and the folder" test ! -e "$APP_DIR"
check_true "the install state is gone" bash -c "! grep -qiF 'Zandor\\\\$GUID' '$WINEPREFIX/user.reg'"
check_true "the uninstall entry is gone" bash -c "! grep -qiF 'Uninstall\\\\$GUID' '$WINEPREFIX/system.reg'"
for s in dialog delall-ticked ready; do check_true "screenshot $s" test -s "$SHOTS/$s.png"; done

rm -f "$DRIVE_C/windows/zandor-kept.opt"
"$WINE64" reg delete 'HKCU\Software\Wine\AppDefaults\Uninstall.exe' /f >/dev/null 2>&1 || true
e2e_end

#!/usr/bin/env bash
# The audit log "/L" and the exit codes "/E" under Wine. A quiet install
# writes a log that names every program file, link and registry value of
# the run, the task line, both hooks with their exit codes, the uninstall
# entry and record, and the end with its exit code; a reinstall logs the
# no-copy file it leaves alone. A damaged block, also one byte flipped in a
# file that does not compress, is logged as a failure with exit code 3 under
# "/E", and its file is not written. A before-hook that exits with 1 gives 2, Cancel
# on the running-program warning gives 1, success 0; without "/E" every one
# of these runs exits with 0. A log that cannot be made changes nothing.
# The start-menu folders sort after those the wizard test lists, and go at
# the end.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
[ -f "$CLICKER" ] || { echo "missing $CLICKER"; exit 1; }

# The exit code of a run: exit_of EXE ARGS...
exit_of() {
  local rc=0
  timeout 120 "$WINE64" "$@" >"$T/wine.out" 2>&1 || rc=$?
  echo "$rc"
}
# The log as text lines.
log_of() { tr -d '\r' <"$1" 2>/dev/null || true; }
has_line() {  # has_line LOG LINE: the line is in the log, whole
  log_of "$1" | grep -qxF -- "$2"
}

unlink_user_folders

guid='{6A1B2C3D-0000-4000-8000-00000000A0D1}'
mkdir -p "$T/setup" "$T/program/docs"
cat >"$T/setup/setup.ini" <<EOT
[Settings]
ProgExe=app.exe
NoCopyExt=ini|
[Info]
Titel=Audit App
Version=1.0
GUID=$guid
Author=Audit Makers
EMail=audit@example.org
Web=https://example.org/audit
[StartMenue]
DefaultDir=Zandor Audit
ProgLink=Audit App
Unistall=1
[Task]
Desktop=1
StartMenu=1
[UserTask]
Number=1
Task1=6|2147483649|Software\\Zandor Audit|Path|%InstallDir%bin
EOT
cp "$PROBE" "$T/setup/BeforeZD.exe"
cp "$PROBE" "$T/setup/AfterZD.exe"
seq 1 2000 >"$T/program/app.exe"
printf 'defaults=1\r\n' >"$T/program/settings.ini"
seq 1 4000 >"$T/program/docs/guide.txt"
build_setup "$T/setup" "$T/Audit.exe" --program "$T/program"

# 1. The whole quiet install with "/L" and "/E".
LOG="$T/audit.log"
check "installed: exit code 0" "$(exit_of "$T/Audit.exe" /Q '/P:C:\Audit App' '/S:Zandor Audit Menu' "/L:$(winpath "$LOG")" /E)" 0
wineserver -w
check_true "the log was written" test -s "$LOG"
# The build adds the prepared uninstall record to the program files.
for f in 'app.exe' 'settings.ini' 'docs\guide.txt' 'uninstall.dat'; do
  check_true "log: file $f" has_line "$LOG" "file  written  C:\\Audit App\\$f"
done
check "log: every program file, nothing else" "$(log_of "$LOG" | grep -c '^file  written  C:\\Audit App\\')" 4
check "log: no failure" "$(log_of "$LOG" | grep -c 'failed' || true)" 0
# Every link of the run, named by its file and target.
links=$(log_of "$LOG" | grep '^link  made  ' | sed 's/^link  made  .*\\\([^\\]*\.lnk\)  ->  /\1 -> /' | sort | tr '\n' ';')
check "log: links" "$links" 'Audit App.lnk -> C:\Audit App\app.exe;Audit App.lnk -> C:\Audit App\app.exe;Uninstall.lnk -> C:\Audit App\Uninstall.exe;'
check_true "log: the desktop link" bash -c "tr -d '\r' <'$LOG' | grep -q '^link  made  .*\\\\Desktop\\\\Audit App.lnk  ->  '"
ukey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$guid"
for value in 'DisplayName = Audit App 1.0' 'DisplayIcon = C:\Audit App\app.exe' 'Publisher = Audit Makers' \
  'URLInfoAbout = https://example.org/audit' 'HelpLink = https://example.org/audit' 'Contact = audit@example.org' \
  'UninstallString = "C:\Audit App\uninstall.exe"' 'DisplayVersion = 1.0' 'InstallLocation = C:\Audit App\' \
  'QuietUninstallString = "C:\Audit App\uninstall.exe" /Q' 'NoModify = 1' 'NoRepair = 1'; do
  check_true "log: registry $value" has_line "$LOG" "registry  written  $ukey  $value"
done
check_true "log: the task line" has_line "$LOG" 'task  1  6|2147483649|Software\Zandor Audit|Path|%InstallDir%bin'
check_true "log: the task's value" has_line "$LOG" 'registry  written  HKCU\Software\Zandor Audit  Path = C:\Audit App\bin'
# 13 of the uninstall entry, 3 of the install state, 1 of the task.
check "log: registry values, all of them" "$(log_of "$LOG" | grep -c '^registry  written  ')" 17
check_true "the task's value is in the registry" grep -q '"Path"="C:\\\\Audit App\\\\bin"' "$WINEPREFIX/user.reg"
check_true "log: uninstall entry" has_line "$LOG" "uninstall  entry  $guid"
check_true "log: uninstall record" has_line "$LOG" 'uninstall  record  written  C:\Audit App\uninstall.dat'
check "log: hooks with their exit codes" "$(log_of "$LOG" | grep '^hook  ' | tr '\n' ';')" \
  'hook  BeforeZD.exe  exit 0;hook  AfterZD.exe  exit 0;'
check_true "log: install folder" has_line "$LOG" 'install  folder  C:\Audit App\'
check_true "log: start-up, work folder" bash -c "tr -d '\r' <'$LOG' | grep -q '^start  work folder  C:\\\\.*\\\\{.*}\\\\\$'"
check "log: the end is the last line" "$(log_of "$LOG" | tail -1)" 'end  exit code 0'
# The steps in the run's order.
order=$(log_of "$LOG" | awk '{ print $1 }' | uniq | tr '\n' ' ')
check "log: order of the steps" "$order" \
  'start file start hook install file uninstall registry link install registry task registry uninstall hook end '

# 2. Reinstall without "/E": the no-copy file is left alone and logged so.
printf 'user=1\r\n' >"$DRIVE_C/Audit App/settings.ini"
check "reinstall: exit code 0" "$(exit_of "$T/Audit.exe" /Q '/P:C:\Audit App' '/S:Zandor Audit Menu' "/L:$(winpath "$LOG")")" 0
check_true "log: no-copy file skipped" has_line "$LOG" 'file  skipped  NoCopyExt  C:\Audit App\settings.ini'
check "settings.ini kept" "$(tr -d '\r' <"$DRIVE_C/Audit App/settings.ini")" 'user=1'

# 3. A damaged block: the failing step is logged, and "/E" says 3.
"$TOOL" pack "$T/program" -o "$T/setup/setup.pck" >/dev/null
check "the first block is app.exe's" "$("$TOOL" list "$T/setup/setup.pck" | awk -F'\t' 'NR == 2 { print $6 }')" app.exe
printf '\125' | dd of="$T/setup/setup.pck" bs=1 seek=12 conv=notrunc 2>/dev/null
build_setup "$T/setup" "$T/Damaged.exe"
rm "$T/setup/setup.pck"
DLOG="$T/damaged.log"
check "damaged block: exit code 3" "$(exit_of "$T/Damaged.exe" /Q '/P:C:\Damaged' "/L:$(winpath "$DLOG")" /E)" 3
check_true "log: the damaged file" has_line "$DLOG" 'file  failed  damaged data block  C:\Damaged\app.exe'
check_true "log: the other files" has_line "$DLOG" 'file  written  C:\Damaged\docs\guide.txt'
check "log: the end" "$(log_of "$DLOG" | tail -1)" 'end  exit code 3'
check "damaged block without /E: exit code 0" "$(exit_of "$T/Damaged.exe" /Q '/P:C:\Damaged')" 0

# 3b. One flipped byte in a file that does not compress: its block is a
#     checked one all the same, so zandor verify and the install refuse it.
mkdir -p "$T/raw"
head -c 200000 /dev/urandom >"$T/raw/noise.bin"
printf 'after\r\n' >"$T/raw/z.txt"
"$TOOL" pack "$T/raw" -o "$T/setup/setup.pck" >/dev/null
check "the first block is noise.bin's" "$("$TOOL" list "$T/setup/setup.pck" | awk -F'\t' 'NR == 2 { print $6 }')" noise.bin
byte=$(od -An -tu1 -j 100000 -N1 "$T/setup/setup.pck" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte ^ 1) & 255)))" | dd of="$T/setup/setup.pck" bs=1 seek=100000 conv=notrunc 2>/dev/null
check_true "raw file: zandor verify refuses the flipped byte" bash -c "! '$TOOL' verify '$T/setup/setup.pck' >/dev/null 2>&1"
build_setup "$T/setup" "$T/Raw.exe"
rm "$T/setup/setup.pck"
RLOG="$T/raw.log"
check "raw file: exit code 3" "$(exit_of "$T/Raw.exe" /Q '/P:C:\Raw' "/L:$(winpath "$RLOG")" /E)" 3
check_true "raw file: the damaged file is not written" test ! -e "$DRIVE_C/Raw/noise.bin"
check_true "raw file: logged as damaged" has_line "$RLOG" 'file  failed  damaged data block  C:\Raw\noise.bin'
check_true "raw file: the file after it is written" cmp -s "$T/raw/z.txt" "$DRIVE_C/Raw/z.txt"

# 4. A before-hook that exits with 1 stops the run: 2.
mkdir -p "$T/stop"
printf '[Info]\r\nTitel=Stopped\r\n' >"$T/stop/setup.ini"
cp "$PROBE" "$T/stop/BeforeZD.exe"
printf '1' >"$T/stop/BeforeZD.code"
build_setup "$T/stop" "$T/Stop.exe"
SLOG="$T/stop.log"
check "before-hook stop: exit code 2" "$(exit_of "$T/Stop.exe" /Q "/L:$(winpath "$SLOG")" /E)" 2
check_true "log: the hook's exit code" has_line "$SLOG" 'hook  BeforeZD.exe  exit 1'
check "log: nothing installed after it" "$(log_of "$SLOG" | grep -c '^install' || true)" 0
check "before-hook stop without /E: exit code 0" "$(exit_of "$T/Stop.exe" /Q)" 0

# 5. Cancel on the running-program warning: 1. The program is a probe that
# holds the mutex setup.ini names.
mkdir -p "$T/running" "$T/app"
printf '%s\r\n' '[Info]' 'Titel=Held' '[Task]' 'MutexString=ZandorAuditHeld' >"$T/running/setup.ini"
build_setup "$T/running" "$T/Running.exe"
cp "$PROBE" "$T/app/Viewer.exe"
printf 'ZandorAuditHeld' >"$T/app/Viewer.mutex"
printf '60000' >"$T/app/Viewer.sleep"
ZANDOR_PROBE_LOG=$(winpath "$T/viewer.log") timeout 90 "$WINE64" "$T/app/Viewer.exe" >/dev/null 2>&1 &
viewer=$!
wait_for_file "$T/app/Viewer.held" || true
check_true "the program holds its mutex" test -e "$T/app/Viewer.held"
cancel_run() {  # cancel_run ARGS...: the exit code of a run whose warning is answered Cancel
  ( timeout 60 "$WINE64" "$CLICKER" "Zandor - Warning" 2 "$(winpath "$T/boxes.txt")" 20000 >/dev/null 2>&1 || true ) &
  local clicker=$!
  exit_of "$T/Running.exe" "$@"
  wait "$clicker" || true
}
RLOG="$T/running.log"
check "running warning Cancel: exit code 1" "$(cancel_run /Q "/L:$(winpath "$RLOG")" /E)" 1
check_true "log: the answer" has_line "$RLOG" 'start  running warning  Cancel'
check "running warning Cancel without /E: exit code 0" "$(cancel_run /Q)" 0
kill "$viewer" 2>/dev/null || true
wait "$viewer" 2>/dev/null || true

# 6. A log that cannot be made: the install runs as without it.
check "unwritable log: exit code 0" \
  "$(exit_of "$T/Audit.exe" /Q '/P:C:\Audit Two' '/L:Q:\no such drive\audit.log' /E)" 0
check_true "unwritable log: installed all the same" test -f "$DRIVE_C/Audit Two/docs/guide.txt"

# The prefix is shared with the other tests that show windows: the menu
# folders and the desktop link of this test go again.
timeout 30 wineserver -w || true
find "$(user_home)" -depth \( -path '*Programs/Zandor Audit*' -o -path '*Desktop/Audit App.lnk' \) \
  -exec rm -rf {} + 2>/dev/null || true
e2e_end

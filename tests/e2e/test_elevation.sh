#!/usr/bin/env bash
# Elevation through the system's prompt, for real under Wine: the test build
# acts as a filtered administrator token (ZANDOR_TEST_LIMITED_TOKEN=1), so
# the quiet run finds its installation folder needs rights, starts itself
# again through ShellExecuteEx "runas" (Wine runs it at once) and waits. The
# install happens once, in the elevated run, whose work folder lies in the
# Windows folder's Temp; its links and HKEY_CURRENT_USER values land in the
# starting user's profile; the audit log of "/L" tells both runs; the first
# run's exit code under "/E" is the elevated run's; no work folder is left.
source "$(dirname "$0")/lib.sh"
e2e_begin
unlink_user_folders

mkdir -p "$T/setup" "$T/program"
cat >"$T/setup/setup.ini" <<'EOF2'
[Settings]
ProgExe=app.exe
DefaultDir=%ProgramFiles%Elevated App
[Info]
Titel=Elevated App
Version=1.0
GUID={6A1B2C3D-0000-4000-8000-00000000E1E1}
[StartMenue]
DefaultDir=Elevated App
ProgLink=Elevated App
[Task]
Desktop=1
StartMenu=1
[UserTask]
Number=1
Task1=6|2147483649|Software\Zandor Elevation|Folder|%InstallDir%
EOF2
cp "$PROBE" "$T/setup/AfterZD.exe"
seq 1 3000 >"$T/program/app.exe"
use_state_dump "$T/state.ini"
build_setup "$T/setup" "$T/Install.exe" --program "$T/program"

export ZANDOR_TEST_LIMITED_TOKEN=1
log="$T/audit.log"
rc=0
timeout 120 "$WINE64" "$T/Install.exe" /Q /E "/L:$(winpath "$log")" >"$T/wine.out" 2>&1 || rc=$?
wineserver -w
check "quiet elevated install exits 0" "$rc" 0
target="$DRIVE_C/$PROGRAM_FILES/Elevated App"
check_true "app.exe installed byte for byte" cmp -s "$T/program/app.exe" "$target/app.exe"
tr -d '\r' <"$log" >"$T/audit.txt"
check "the prompt was asked once" "$(grep -c '^elevate  prompt  ' "$T/audit.txt")" 1
check "the elevated run took the handover" "$(grep -c '^elevate  elevated run  at start-up$' "$T/audit.txt")" 1
check "the install ran once" "$(grep -c '^install  folder  ' "$T/audit.txt")" 1
check "the elevated run's end is told" "$(grep -c '^elevate  elevated run ended  exit code 0$' "$T/audit.txt")" 1
check "both runs end in the one log" "$(grep -c '^end  exit code 0$' "$T/audit.txt")" 2
check "the after-hook ran once" "$(grep -c '^\[run\]' "$T/probe.log")" 1
work=$(ini_value "$T/state.ini" WorkFolder)
check "the elevated work folder is in the Windows folder's Temp" "$(printf '%s' "${work,,}" | cut -c1-16)" \
  'c:\windows\temp\'
check "the elevated run acted on the first run's desktop" "$(ini_value "$T/state.ini" Desktop)" \
  "C:\\users\\$(basename "$(user_home)")\\Desktop\\"
check_true "the desktop link is in the user's profile" test -f "$(user_home)/Desktop/Elevated App.lnk"
check_true "the start-menu folder is in the user's profile" \
  test -d "$(user_home)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Elevated App"
check "the HKCU value is the user's" \
  "$(grep -A3 -F '[Software\\Zandor Elevation]' "$WINEPREFIX/user.reg" | grep -c '"Folder"=')" 1
check "no handover or work folder left in the user's Temp" "$(ls "$(temp_dir)" | grep -c '^{' || true)" 0
check "no work folder left in the Windows folder's Temp" "$(ls "$DRIVE_C/windows/temp" | grep -c '^{' || true)" 0

# The elevated run's exit code is the first run's: a before-hook that
# answers 1 stops the elevated run (2), and the first run says so too.
mkdir -p "$T/setup2"
cp "$T/setup/setup.ini" "$T/setup2/setup.ini"
cp "$PROBE" "$T/setup2/BeforeZD.exe"
printf '1' >"$T/setup2/BeforeZD.code"
build_setup "$T/setup2" "$T/Install2.exe" --program "$T/program"
rc=0
timeout 120 "$WINE64" "$T/Install2.exe" /Q /E '/P:C:\Elevated Two' >"$T/wine2.out" 2>&1 || rc=$?
wineserver -w
check "the first run ends with the elevated run's code" "$rc" 2
check_true "a stopped run installs nothing" test ! -e "$DRIVE_C/Elevated Two"
unset ZANDOR_TEST_LIMITED_TOKEN
e2e_end

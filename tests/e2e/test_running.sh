#!/usr/bin/env bash
# The running-program warning for a program found by its executable's name
# under Wine, in real windows under Xvfb answered by the clicker: a copy of
# the probe named Viewer.exe runs from its own folder while setup.ini names
# ProgExe=viewer.EXE. Cancel ends setup before the before-hook and removes
# the work folder; OK goes on. With a mutex named in setup.ini the name is
# not looked at, so a Viewer that does not hold that mutex is not found; and
# once Viewer has ended there is no warning, also from an installer that is
# itself named Viewer.exe.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
[ -f "$CLICKER" ] || { echo "missing $CLICKER"; exit 1; }

# Answers every box titled $1 with button $2 until none has come for 6 s;
# their texts go to $T/boxes.txt.
answer_boxes() {
  rm -f "$T/boxes.txt"
  ( while timeout 60 "$WINE64" "$CLICKER" "$1" "$2" "$(winpath "$T/boxes.txt")" 6000 >/dev/null 2>&1; do
      sleep 1
    done ) &
  CLICKER_PID=$!
}
# Counts of lines, 0 when the file is not there.
count() { { cat "$2" 2>/dev/null || true; } | grep -ac "$1" || true; }
boxes() { count 'caption = Zandor - Warning' "$T/boxes.txt"; }
hook_runs() { count '^\[run\]' "$T/probe.log"; }
work_folders() { find "$(temp_dir)" -maxdepth 1 -name '{*}' | wc -l; }

mkdir -p "$T/setup" "$T/mutex" "$T/app"
printf '%s\r\n' '[Info]' 'Titel=Running Probe' '[Settings]' 'ProgExe=viewer.EXE' >"$T/setup/setup.ini"
cp "$PROBE" "$T/setup/BeforeZD.exe"
# The hooks' exit code 1 ends each run before the wizard opens: a quiet run
# would answer the warning itself.
printf '1' >"$T/setup/BeforeZD.code"
build_setup "$T/setup" "$T/Running.exe"
printf '%s\r\n' '[Info]' 'Titel=Mutex Named' '[Settings]' 'ProgExe=Viewer.exe' '[Task]' 'MutexString=ZandorNotHeld' \
  >"$T/mutex/setup.ini"
cp "$PROBE" "$T/mutex/BeforeZD.exe"
printf '1' >"$T/mutex/BeforeZD.code"
build_setup "$T/mutex" "$T/Mutex.exe"

# Viewer sleeps for a while; it holds a mutex of another name only to tell
# this test that it has started.
cp "$PROBE" "$T/app/Viewer.exe"
printf 'ZandorViewerStarted' >"$T/app/Viewer.mutex"
printf '45000' >"$T/app/Viewer.sleep"
ZANDOR_PROBE_LOG=$(winpath "$T/viewer.log") timeout 90 "$WINE64" "$T/app/Viewer.exe" >/dev/null 2>&1 &
viewer=$!
wait_for_file "$T/app/Viewer.held" || true
check_true "Viewer is running" test -e "$T/app/Viewer.held"

# 1. Cancel: no before-hook, no work folder left.
before=$(work_folders)
answer_boxes "Zandor - Warning" 2
run_setup "$T/Running.exe"
wait "$CLICKER_PID" || true
check "Cancel: one warning" "$(boxes)" 1
check "warning text, first line" "$(grep -a -A1 'caption = Zandor - Warning' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "text = Close Program 'Running Probe' first!"
check "warning text, second line" "$(grep -a -A2 'caption = Zandor - Warning' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "Then press OK!"
check "Cancel: the before-hook did not run" "$(hook_runs)" 0
check "Cancel: the work folder was removed" "$(work_folders)" "$before"

# 2. OK: setup goes on without a second check.
answer_boxes "Zandor - Warning" 1
run_setup "$T/Running.exe"
wait "$CLICKER_PID" || true
check "OK: one warning" "$(boxes)" 1
check "OK: the before-hook ran" "$(hook_runs)" 1

# 3. A mutex is named: the running Viewer does not hold it, so it is not found.
rm -f "$T/probe.log"
answer_boxes "Zandor - Warning" 1
run_setup "$T/Mutex.exe"
wait "$CLICKER_PID" || true
check "mutex named: no warning" "$(boxes)" 0
check "mutex named: the before-hook ran" "$(hook_runs)" 1

# 4. Viewer has ended: nothing is running, not even the installer itself
# when its file carries the program's name.
wait "$viewer" || true
mkdir -p "$T/self"
cp "$T/Running.exe" "$T/self/Viewer.exe"
rm -f "$T/probe.log"
answer_boxes "Zandor - Warning" 1
run_setup "$T/self/Viewer.exe"
wait "$CLICKER_PID" || true
check "Viewer ended: no warning" "$(boxes)" 0
check "Viewer ended: the before-hook ran" "$(hook_runs)" 1

timeout 30 wineserver -w || true
e2e_end

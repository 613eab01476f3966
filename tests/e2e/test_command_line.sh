#!/usr/bin/env bash
# The command line as Windows hands it over: switches in either case, the
# separators of "/P", quoted arguments, hook modes, and the exit code 0.
source "$(dirname "$0")/lib.sh"
e2e_begin

# Installer A stops right after its before-hook (exit code 1), so a run ends
# before any install or window and leaves its state dump.
mkdir -p "$T/a" "$T/b"
printf '[Info]\r\nTitel=Options\r\n' >"$T/a/setup.ini"
cp "$PROBE" "$T/a/BeforeZD.exe"
printf '1' >"$T/a/BeforeZD.code"
use_state_dump "$T/state.ini"
build_setup "$T/a" "$T/A.exe"

row() {  # row EXPECTED_KEY EXPECTED_VALUE ARGS...
  local key=$1 value=$2
  shift 2
  rm -f "$T/state.ini"
  run_setup "$T/A.exe" "$@"
  check "$* -> $key" "$(ini_value "$T/state.ini" "$key")" "$value"
}

row Quiet 1 /Q
row Quiet 1 /q
row Quiet 1 /Quiet
row Quiet 0 /X
row InstallDirOverride 'C:\Tools' '/P:C:\Tools'
row InstallDirOverride 'C:\Tools' '/p=C:\Tools'
row InstallDirOverride '' /P
row InstallDirOverride '' /P:
row InstallDirOverride 'C:\Program Files\My App' '/P:C:\Program Files\My App'
row InstallDirOverride 'D:\Second' '/P:C:\First' '/P:D:\Second'
row StartMenuOverride 'Tools\Viewer' '/s:Tools\Viewer'
row HookMode 2 /R:2
row HookMode 1 /R:257
row HookMode 0 /r:0
row HookMode -3 /R:-3
row Quiet 0 '' /Q
rm -f "$T/state.ini"; run_setup "$T/A.exe" '/P:C:\A' '' '/P:C:\B'
check "an empty argument ends the reading" "$(ini_value "$T/state.ini" InstallDirOverride)" 'C:\A'

# Installer B: both hooks record themselves; hook modes choose which run.
printf '[Info]\r\nTitel=Hooks\r\n' >"$T/b/setup.ini"
cp "$PROBE" "$T/b/BeforeZD.exe"
cp "$PROBE" "$T/b/AfterZD.exe"
build_setup "$T/b" "$T/B.exe"
hooks() {  # hooks MODE-ARG EXPECTED
  rm -f "$T/probe.log"
  run_setup "$T/B.exe" /Q "$1"
  local ran
  ran=$(grep '^exe = ' "$T/probe.log" 2>/dev/null | sed 's/.*\\//; s/\r$//' | tr '\n' ' ' || true)
  check "hooks run with $1" "$ran" "$2"
}
hooks /R:1 "BeforeZD.exe AfterZD.exe "
hooks /R:2 "BeforeZD.exe "
hooks /R:3 "AfterZD.exe "
hooks /R:0 ""
hooks /R:257 "BeforeZD.exe AfterZD.exe "

e2e_end

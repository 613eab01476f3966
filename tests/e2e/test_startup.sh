#!/usr/bin/env bash
# Start-up under Wine: each run makes its own work folder under the user's
# temporary folder, named by a fresh GUID; the setup files arrive there with
# their times; "SetupExeDir" reaches the before-hook; the exit code is 0;
# a quiet run removes its work folder at the end.
source "$(dirname "$0")/lib.sh"
e2e_begin

mkdir -p "$T/setup" "$T/inst dir"
printf '[Info]\r\nTitel=Start-up Probe\r\n' >"$T/setup/setup.ini"
printf 'hello\n' >"$T/setup/notes.txt"
cp "$PROBE" "$T/setup/BeforeZD.exe"
touch -d '2020-01-02 03:04:05 UTC' "$T/setup/setup.ini"
touch -d '2011-06-07 08:09:10 UTC' "$T/setup/notes.txt"
build_setup "$T/setup" "$T/inst dir/Install.exe"

# Two runs at the same time.
run_setup "$T/inst dir/Install.exe" /Q &
run_setup "$T/inst dir/Install.exe" /Q &
wait

runs=$(grep -c '^\[run\]' "$T/probe.log" || true)
check "the before-hook ran once per run" "$runs" 2
mapfile -t cwds < <(grep '^cwd = ' "$T/probe.log" | sed 's/^cwd = //; s/\r$//')
temp_win='C:\\users\\[^\\]+\\Temp\\'
for cwd in "${cwds[@]}"; do
  check_true "work folder $cwd is the temporary folder + a GUID" \
    grep -Eq "^${temp_win}\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}\$" <<<"$cwd"
done
check_true "two runs got two different work folders" test "${cwds[0]}" != "${cwds[1]:-}"

expected_dir="$(winpath "$T/inst dir")\\"
mapfile -t dirs < <(grep '^env = SetupExeDir=' "$T/probe.log" | sed 's/^env = SetupExeDir=//; s/\r$//')
check "SetupExeDir reaches the hook" "${dirs[0]:-}" "$expected_dir"
check_true "InstallDir is not set before the install" bash -c "! grep -q '^env = InstallDir=' '$T/probe.log'"

# FILETIME of the last-write times set above.
ft() { echo $(( $(date -u -d "$1" +%s) * 10000000 + 116444736000000000 )); }
setup_line=$(grep -m1 '^file = setup.ini|' "$T/probe.log" | tr -d '\r')
notes_line=$(grep -m1 '^file = notes.txt|' "$T/probe.log" | tr -d '\r')
check "setup.ini arrives with its last-write time" "$(cut -d'|' -f5 <<<"$setup_line")" "$(ft '2020-01-02 03:04:05')"
check "notes.txt arrives with its size" "$(cut -d'|' -f3 <<<"$notes_line")" 6
check "notes.txt arrives with its last-write time" "$(cut -d'|' -f5 <<<"$notes_line")" "$(ft '2011-06-07 08:09:10')"

for cwd in "${cwds[@]}"; do
  unix="$(temp_dir)/${cwd##*\\}"
  check_true "quiet run removed its work folder ${cwd##*\\}" test ! -e "$unix"
done

e2e_end

#!/usr/bin/env bash
# Packages under Wine: an installer made by "zandor build" from examples/demo
# unpacks its setup files into the work folder byte for byte with their
# times, and a quiet install unpacks the program files into the installation
# folder, keeping files of the no-copy list on a second install; the
# prepared uninstall.dat among them gets setup's keys added.
source "$(dirname "$0")/lib.sh"
e2e_begin

src="$ZANDOR_SOURCE_DIR/examples/demo"
cp -r "$src/setup" "$T/setup"
cp -r "$src/program" "$T/program"
cp "$PROBE" "$T/program/demo.exe"
# Some real program files: Wine's own DLLs compress like any program's.
for dll in kernelbase.dll shell32.dll; do
  f=$(find /usr/lib/x86_64-linux-gnu/wine /usr/lib/wine -name "$dll" 2>/dev/null | head -1)
  [ -n "$f" ] && cp "$f" "$T/program/"
done
touch -d '2019-03-04 05:06:07 UTC' "$T/setup/licence.txt" "$T/program/docs/manual.txt"

# 1. The setup files in the work folder: a before-hook that exits with 1
#    ends the run and leaves the work folder for us to look at.
cp -r "$T/setup" "$T/setup-stop"
cp "$PROBE" "$T/setup-stop/BeforeZD.exe"
printf '1' >"$T/setup-stop/BeforeZD.code"
build_setup "$T/setup-stop" "$T/Stop.exe" --program "$T/program"
run_setup "$T/Stop.exe"
cwd=$(grep -a -m1 '^cwd = ' "$T/probe.log" | sed 's/^cwd = //' | tr -d '\r')
work="$(temp_dir)/${cwd##*\\}"
check_true "work folder left in place after before-hook exit code 1" test -d "$work"
for f in "$T/setup-stop"/*; do
  name=$(basename "$f")
  check_true "$name unpacked byte for byte" cmp -s "$f" "$work/$name"
  check "$name keeps its last-write time" "$(stat -c %Y "$work/$name" 2>/dev/null)" "$(stat -c %Y "$f")"
done
check_true "setup.pck unpacked into the work folder" test -s "$work/setup.pck"
rm -rf "$work"

# 2. A quiet install unpacks the program files.
build_setup "$T/setup" "$T/Install.exe" --program "$T/program"
forget_install_state "$(sed -n 's/^GUID=//p' "$T/setup/setup.ini" | tr -d '\r')"
run_setup "$T/Install.exe" /Q
target="$DRIVE_C/$PROGRAM_FILES/Zandor Demo"
check_installed_tree "$T/program" "$target"
# The prepared record keeps its lines in its own places, in the record's
# "key = value" form, with setup's keys added to its groups.
prepared=$(tr -d '\r' <"$T/program/uninstall.dat" | sed 's/^\([A-Za-z0-9]*\)=/\1 = /')
installed=$(tr -d '\r' <"$target/uninstall.dat" | grep -x -F -f <(printf '%s\n' "$prepared") || true)
check "prepared uninstall.dat lines kept in order" "$installed" "$prepared"
check "uninstall.dat gets the installation folder" "$(ini_value "$target/uninstall.dat" ProgDir)" \
  "C:\\$PROGRAM_FILES\\Zandor Demo\\"
check "manual.txt keeps its last-write time" "$(stat -c %Y "$target/docs/manual.txt")" \
  "$(date -u -d '2019-03-04 05:06:07' +%s)"

# 3. Reinstall: settings.ini (no-copy list "ini|") stays as the user left it,
#    other files are replaced.
printf 'user changed this\r\n' >"$target/settings.ini"
printf 'damaged\r\n' >"$target/README.txt"
run_setup "$T/Install.exe" /Q
check "settings.ini kept on reinstall" "$(tr -d '\r' <"$target/settings.ini")" 'user changed this'
check_true "README.txt replaced on reinstall" cmp -s "$T/program/README.txt" "$target/README.txt"

e2e_end

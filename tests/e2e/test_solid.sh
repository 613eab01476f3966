#!/usr/bin/env bash
# A solid installer (zandor build --solid) under Wine: the quiet install
# puts every program file in place byte for byte with its time, one audit
# line per file as the copy goes; the quiet run of the same installer with
# its one block damaged shows the copy-error box exactly once and ends
# without installing anything (quietly, the box is answered in the audit log); the wizard run shows the start-up progress window while the
# block expands, then the wizard.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
rm -rf "$DRIVE_C/Solid" "$DRIVE_C/Damaged"

# Real program files: Windows DLLs (about 30 MB), text, a file that begins
# with the block magic, an empty file, nested folders.
mkdir -p "$T/setup" "$T/program/bin" "$T/program/docs/deep" "$T/program/data"
mapfile -t dlls < <(find /usr/lib/x86_64-linux-gnu/wine/x86_64-windows -maxdepth 1 -name '*.dll' -size -4097k | sort)
cp "${dlls[@]:0:40}" "$T/program/bin/"
seq 1 20000 >"$T/program/docs/deep/numbers.txt"
printf 'JC this is no block\n' >"$T/program/data/magic.bin"
: >"$T/program/data/empty.dat"
printf 'opt=1\r\n' >"$T/program/settings.ini"
touch -d '2021-03-04 05:06:07 UTC' "$T/program/docs/deep/numbers.txt"
printf '%s\r\n' '[Settings]' 'ProgExe=bin\none.exe' 'DefaultDir=C:\Solid' '[Info]' 'Titel=Solid App' \
  'GUID={6A1B2C3D-0000-4000-8000-00000000E2F1}' >"$T/setup/setup.ini"
build_setup "$T/setup" "$T/Solid.exe" --program "$T/program" --solid
check_true "zandor verify passes the solid installer" "$TOOL" verify "$T/Solid.exe"
"$TOOL" extract "$T/Solid.exe" "$T/outer" >/dev/null
inner_files=$("$TOOL" list "$T/outer/setup.pck" | awk -F'\t' '$1 == "file" { n++ } END { print n }')
raw_files=$("$TOOL" list "$T/outer/setup.pck" | awk -F'\t' '$1 == "file" && $2 == $3 { n++ } END { print n }')
check "every program file is stored raw in setup.pck" "$raw_files" "$inner_files"

# 1. Quiet install: the tree as packed, times kept, a line per file.
LOG="$T/solid.log"
run_setup "$T/Solid.exe" /Q '/P:C:\Solid' "/L:$(winpath "$LOG")"
wineserver -w
# The build adds the prepared uninstall record (the install writes its keys
# into it).
cp -a "$T/program" "$T/expected"
: >"$T/expected/uninstall.dat"
check_installed_tree "$T/expected" "$DRIVE_C/Solid"
check "numbers.txt keeps its last-write time" "$(stat -c %Y "$DRIVE_C/Solid/docs/deep/numbers.txt" 2>/dev/null)" \
  "$(stat -c %Y "$T/program/docs/deep/numbers.txt")"
written=$(tr -d '\r' <"$LOG" 2>/dev/null | grep -c '^file  written  C:\\Solid\\' || true)
check "one audit line per file of setup.pck" "$written" "$inner_files"
check_true "the work folder is gone" bash -c "! ls -d '$(temp_dir)'/{*-*-*-*-*} 2>/dev/null | grep -q ."

# 2. The one block damaged half-way: the progress window shows while it
#    expands, the copy-error box comes once, nothing is installed.
sizes=$("$TOOL" list "$T/Solid.exe" | awk -F'\t' 'NR > 1 && $1 == "file" { print $3 "\t" $6 }')
stub_size=$(stat -c %s "$STUB")
offset=$stub_size
while IFS=$'\t' read -r stored name; do
  [ "$name" = setup.pck ] && break
  offset=$((offset + stored))
done <<<"$sizes"
pck_stored=$(awk -F'\t' '$2 == "setup.pck" { print $1 }' <<<"$sizes")
cp "$T/Solid.exe" "$T/Damaged.exe"
target=$((offset + pck_stored / 2))
byte=$(dd if="$T/Damaged.exe" bs=1 skip="$target" count=1 2>/dev/null | od -An -tu1 | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$T/Damaged.exe" bs=1 seek="$target" conv=notrunc 2>/dev/null
check_true "the damaged installer fails verification" bash -c "! '$TOOL' verify '$T/Damaged.exe' >/dev/null 2>&1"
rm -f "$T/boxes.txt"
( while timeout 40 "$WINE64" "$CLICKER" "Error - Copy File" 1 "$(winpath "$T/boxes.txt")" 6000 >/dev/null 2>&1; do
    sleep 1
  done ) &
boxes_pid=$!
rc=0
timeout 120 "$WINE64" "$T/Damaged.exe" '/P:C:\Damaged' /E >"$T/wine.out" 2>&1 || rc=$?
wait "$boxes_pid" || true
check "exactly one copy-error box" "$(grep -ac 'caption = Error - Copy File' "$T/boxes.txt" 2>/dev/null)" 1
# The run ends there, as after any damaged setup file: nothing installed.
check "a damaged block: /E exits 4" "$rc" 4
check_true "a damaged block: nothing installed" test ! -e "$DRIVE_C/Damaged"
# Quietly the same box is answered without a window, once, in the audit log.
rc=0
timeout 120 "$WINE64" "$T/Damaged.exe" /Q '/P:C:\Damaged' /E "/L:$(winpath "$T/quiet.log")" >"$T/wine.out" 2>&1 || rc=$?
check "quiet, a damaged block: one copy-error box, /E 4" \
  "$(grep -ac '^quiet  asked  Error - Copy File  ' "$T/quiet.log" 2>/dev/null || true)|$rc" "1|4"
check_true "quiet, a damaged block: nothing installed" test ! -e "$DRIVE_C/Damaged"

# 3. The wizard run: the progress window is up while the block expands,
#    before the wizard's first page; the run is ended there.
timeout 90 "$WINE64" "$CLICKER" "Setup" 9999 "$(winpath "$T/progress.txt")" 60000 >/dev/null 2>&1 &
progress_pid=$!
"$WINE64" "$T/Solid.exe" >"$T/wizard.out" 2>&1 &
setup_pid=$!
rc=0
wait "$progress_pid" || rc=$?
check "the progress window showed while the block expanded" "$rc" 0
timeout 60 xdotool search --sync --onlyvisible --name '^ Solid App' >/dev/null || true
check_true "the wizard follows it" bash -c "xdotool search --onlyvisible --name '^ Solid App' >/dev/null"
check "the progress window is gone" "$(xdotool search --onlyvisible --name '^Setup$' 2>/dev/null | wc -l)" 0
kill "$setup_pid" 2>/dev/null || true
wait "$setup_pid" 2>/dev/null || true
wineserver -w
e2e_end

#!/usr/bin/env bash
# A full disk under Wine: a small drive (a tmpfs mapped as Q:) takes a first
# version; a second one that does not fit fails with exit 3 and leaves every
# file whole (old or new) with no temporary file beside it, and the old
# record still serves the uninstaller. A fresh install onto a drive that
# is full before the record goes down leaves no uninstall entry that points
# at an uninstaller without a record. The wizard, walked with the Enter key
# under Xvfb, says in its copy-error box that the disk is full. Needs the
# rights to mount a tmpfs.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin

small="$T/small"
mkdir -p "$small"
if ! mount -t tmpfs -o size=12m tmpfs "$small" 2>/dev/null; then
  echo "skipped: no rights to mount a small drive"
  rm -rf "$T"
  exit 77
fi
trap 'umount "$small" 2>/dev/null || true' EXIT
drive="$WINEPREFIX/dosdevices/q:"
rm -f "$drive"
ln -s "$small" "$drive"
trap 'rm -f "$drive"; umount "$small" 2>/dev/null || true' EXIT

for v in 1 2; do
  mkdir -p "$T/v$v"
  printf 'version %s\r\n' "$v" >"$T/v$v/a.txt"
  printf 'version %s\r\n' "$v" >"$T/v$v/z.txt"
  cp -r "$ZANDOR_SOURCE_DIR/examples/demo/setup" "$T/setup$v"
  sed -i '/^NoCopyExt/d' "$T/setup$v/setup.ini"
done
head -c 1000000 /dev/urandom >"$T/v1/big.bin"
head -c 7000000 /dev/urandom >"$T/v2/big.bin"
head -c 6000000 /dev/urandom >"$T/v2/huge.bin"
cp -r "$T/v2" "$T/v3" && rm "$T/v3/huge.bin" && cp -r "$T/setup2" "$T/setup3"
for v in 1 2 3; do build_setup "$T/setup$v" "$T/Install$v.exe" --program "$T/v$v"; done
guid=$(grep -m1 '^GUID=' "$T/setup1/setup.ini" | cut -d= -f2 | tr -d '\r')
entry_key="HKLM\\$(hklm_software_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$guid")"
has_entry() { "$WINE64" reg query "$entry_key" >/dev/null 2>&1; }

# 1. Over an existing install.
run_setup "$T/Install1.exe" /Q '/P:Q:\App'
for rel in a.txt big.bin z.txt; do check_true "$rel installed" cmp -s "$T/v1/$rel" "$small/App/$rel"; done
rc=0
timeout 120 "$WINE64" "$T/Install2.exe" /Q /E '/P:Q:\App' >/dev/null 2>&1 || rc=$?
check "the install that does not fit exits 3" "$rc" 3
for rel in a.txt big.bin z.txt; do
  if cmp -s "$small/App/$rel" "$T/v2/$rel"; then
    echo "ok: $rel is the new version"
  else
    check_true "$rel is whole: the old version" cmp -s "$small/App/$rel" "$T/v1/$rel"
  fi
done
check_true "huge.bin is absent or whole" bash -c "[ ! -e '$small/App/huge.bin' ] || cmp -s '$small/App/huge.bin' '$T/v2/huge.bin'"
check "no temporary files on the full drive" "$(find "$small" -name '~zd*' | wc -l)" 0
check_true "the old record is still there" test -s "$small/App/uninstall.dat"
check_true "the uninstall entry stays with its record" has_entry

# 2. A fresh install onto a drive that has room for the program files and
#    the prepared record (pages of 4 KiB) but not for its rewrite.
"$WINE64" reg delete "$entry_key" /f >/dev/null 2>&1 || true
rm -rf "$small/App"
head -c $((12 * 1048576 - 1709 * 4096 - 3 * 4096)) /dev/zero >"$small/filler"
rc=0
timeout 120 "$WINE64" "$T/Install3.exe" /Q /E '/P:Q:\Fresh' >/dev/null 2>&1 || rc=$?
check "the fresh install that does not fit exits 3" "$rc" 3
check "no temporary files on the full drive" "$(find "$small" -name '~zd*' | wc -l)" 0
if [ -e "$small/Fresh/uninstall.dat" ]; then
  check_true "a written record keeps its entry" has_entry
else
  check_true "no uninstall entry without a record" bash -c "! \"$WINE64\" reg query '$entry_key' >/dev/null 2>&1"
fi

# 3. The wizard: a program that does not fit on the empty drive. No licence,
#    no readme, so Enter walks Welcome, Settings and Install.
rm -rf "${small:?}"/*
mkdir -p "$T/wsetup"
printf '%s\r\n' '[Settings]' 'ProgExe=a.txt' 'DefaultDir=Q:\Wizard' '[Info]' 'Titel=Full Disk' \
  'GUID={6A1B2C3D-0000-4000-8000-00000000D15C}' >"$T/wsetup/setup.ini"
build_setup "$T/wsetup" "$T/Wizard.exe" --program "$T/v2"
"$WINE64" "$T/Wizard.exe" /E >"$T/wizard.out" 2>&1 &
setup_pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^ Full Disk' >/dev/null || true
timeout 120 "$WINE64" "$CLICKER" "Error - Copy File" 1 "$(winpath "$T/box.txt")" 90000 >/dev/null 2>&1 &
clicker_pid=$!
for page in welcome settings install; do
  sleep 2
  xdotool key Return
done
wait "$clicker_pid" || true
check "wizard: the copy error says the disk is full" "$(tr -d '\r' <"$T/box.txt" 2>/dev/null | tr '\n' '|')" \
  'caption = Error - Copy File|text = Copying file(s) failed.|The disk is full.|'
sleep 1
xdotool key Return  # Finish
rc=0
# A wizard that did not end by now waits for an answer nobody gives.
timeout 60 tail --pid="$setup_pid" -f /dev/null || kill "$setup_pid" 2>/dev/null || true
wait "$setup_pid" || rc=$?
check "wizard: /E exits 3" "$rc" 3
check "wizard: no temporary files on the full drive" "$(find "$small" -name '~zd*' | wc -l)" 0
wineserver -w

rm -f "$drive"
umount "$small"
trap - EXIT
e2e_end

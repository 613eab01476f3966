#!/usr/bin/env bash
# Long paths under Wine: a quiet install into a folder of 240 characters
# writes every file byte for byte, also those whose temporary neighbour
# would pass the path limit (written in place) and those whose own path is
# exactly at the limit; a reinstall replaces damaged files the same way, and
# an existing hidden, system desktop.ini that the install replaces keeps both
# attributes. A program file in use is left as it was, with nothing of the
# attempt left beside it, while the other files are replaced.
source "$(dirname "$0")/lib.sh"
e2e_begin

# C:\ plus components up to exactly 240 characters.
dir='C:\ZandorLongPaths'
while [ $((${#dir} + 40)) -lt 230 ]; do dir="$dir\\$(printf 'p%.0s' $(seq 1 39))"; done
dir="$dir\\$(printf 'q%.0s' $(seq 1 $((239 - ${#dir}))))"
check "installation folder length" "${#dir}" 240
posix_dir="$DRIVE_C/${dir#C:\\}"
posix_dir="${posix_dir//\\//}"

# Names chosen against the limit of 259 characters (260 with the zero):
#  top-level files have room for a short temporary name beside them;
#  the 14-letter .bin (and sub2345\c23456.txt) end exactly at 259;
#  in sub2345\ (folder of 249) the temporary name no longer fits.
mkdir -p "$T/program/sub2345"
head -c 70000 /dev/urandom >"$T/program/a.bin"
printf 'plain text\r\n' >"$T/program/a.txt"
printf '[.ShellClassInfo]\r\nIconResource=a.bin,0\r\n' >"$T/program/desktop.ini"
exact=$(printf 'e%.0s' $(seq 1 $((259 - 241 - 4))))
head -c 3000 /dev/urandom >"$T/program/$exact.bin"
head -c 5000 /dev/urandom >"$T/program/sub2345/b.bin"
printf 'in place\r\n' >"$T/program/sub2345/c23456.txt"
: >"$T/program/sub2345/empty.dat"
touch -d '2019-03-04 05:06:07 UTC' "$T/program"/* "$T/program/sub2345"/*
check "longest path length" $((241 + ${#exact} + 4)) 259
check "longest path in the subfolder" $((241 + 8 + 10)) 259

cp -r "$ZANDOR_SOURCE_DIR/examples/demo/setup" "$T/setup"
sed -i '/^NoCopyExt/d' "$T/setup/setup.ini"
build_setup "$T/setup" "$T/Install.exe" --program "$T/program"

check_installed() {  # check_installed WHEN
  # The program files, and the uninstall record that the install writes.
  (cd "$T/program" && find . && echo ./uninstall.dat) | sort >"$T/expected.txt"
  (cd "$posix_dir" 2>/dev/null && find . | sort) >"$T/installed.txt" || true
  check "$1: installed entries" "$(cat "$T/installed.txt")" "$(cat "$T/expected.txt")"
  while read -r rel; do
    [ -f "$T/program/$rel" ] || continue
    check_true "$1: $rel byte for byte" cmp -s "$T/program/$rel" "$posix_dir/$rel"
    check "$1: $rel keeps its last-write time" "$(stat -c %Y "$posix_dir/$rel" 2>/dev/null)" \
      "$(stat -c %Y "$T/program/$rel")"
  done <"$T/expected.txt"
}

# 1. First install into the empty long folder.
run_setup "$T/Install.exe" /Q "/P:$dir"
check_installed "first install"

# 2. Reinstall over damaged files, with desktop.ini made hidden and system.
for rel in a.txt a.bin "$exact.bin" sub2345/b.bin sub2345/c23456.txt desktop.ini; do
  printf 'damaged, and longer than some of the originals\r\n' >"$posix_dir/$rel"
done
"$WINE64" attrib +h "$dir\\desktop.ini" >/dev/null 2>&1
"$WINE64" attrib +s "$dir\\desktop.ini" >/dev/null 2>&1
attributes() { "$WINE64" attrib "$dir\\desktop.ini" 2>/dev/null | tr -d '\r' | cut -c1-12 | tr -d ' '; }
check "desktop.ini marked before the reinstall" "$(attributes)" "ASH"
run_setup "$T/Install.exe" /Q "/P:$dir"
check_installed "reinstall"
check "desktop.ini keeps hidden and system" "$(attributes)" "ASH"

# 3. A reinstall while the installed program runs.
mkdir -p "$T/inuse"
cp "$PROBE" "$T/inuse/tool.exe"
printf 'first\r\n' >"$T/inuse/notes.txt"
build_setup "$T/setup" "$T/InUse1.exe" --program "$T/inuse"
run_setup "$T/InUse1.exe" /Q '/P:C:\ZandorInUse'
inuse="$DRIVE_C/ZandorInUse"
check_true "the program was installed" cmp -s "$PROBE" "$inuse/tool.exe"
printf '30000' >"$inuse/tool.sleep"
printf 'ZandorInUseMutex' >"$inuse/tool.mutex"
ZANDOR_PROBE_LOG=$(winpath "$T/tool.log") timeout 60 "$WINE64" 'C:\ZandorInUse\tool.exe' >/dev/null 2>&1 &
tool=$!
wait_for_file "$inuse/tool.held" || true
check_true "the installed program runs" test -e "$inuse/tool.held"
printf 'a newer program' >"$T/inuse/tool.exe"
printf 'second\r\n' >"$T/inuse/notes.txt"
build_setup "$T/setup" "$T/InUse2.exe" --program "$T/inuse"
run_setup "$T/InUse2.exe" /Q '/P:C:\ZandorInUse'
check_true "the running program is left as it was" cmp -s "$PROBE" "$inuse/tool.exe"
check "the other file is replaced" "$(cat "$inuse/notes.txt")" "$(printf 'second\r\n')"
check "nothing of the attempt is left" "$(cd "$inuse" && ls -a | grep -c '^~zd')" 0
kill "$tool" 2>/dev/null || true
wait "$tool" 2>/dev/null || true

e2e_end

#!/usr/bin/env bash
# Attacks from outside the installer, one scenario each:
# 1. a package injected into the certificate table of a freshly signed
#    installer keeps the signature valid, and is refused as a damaged
#    installer (zandor verify says so; the install installs nothing and
#    exits 4 with /E);
# 2. a watcher process of the same user that tries to swap setup.pck and
#    AfterZD.exe in the work folder during a quiet run is refused, so the
#    run installs its own files only; a work folder name that is taken
#    already means no install (exit 4).
source "$(dirname "$0")/lib.sh"
e2e_begin

# 1. The injected package.
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
  mkdir -p "$T/good" "$T/good-program" "$T/evil" "$T/evil-program"
  printf '[Info]\r\nTitel=Signed\r\n' >"$T/good/setup.ini"
  echo "good" >"$T/good-program/good.txt"
  printf '[Info]\r\nTitel=Evil\r\n' >"$T/evil/setup.ini"
  echo "evil" >"$T/evil-program/evil.txt"
  build_setup "$T/good" "$T/Unsigned.exe" --program "$T/good-program"
  build_setup "$T/evil" "$T/Evil.exe" --program "$T/evil-program"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Zandor Test Signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$T/key.pem" -out "$T/cert.pem" >/dev/null 2>&1
  osslsigncode sign -certs "$T/cert.pem" -key "$T/key.pem" -n "Zandor" \
    -in "$T/Unsigned.exe" -out "$T/Signed.exe" >"$T/sign.out" 2>&1 || cat "$T/sign.out"
  # The evil installer's package moves to the end of the signed file, inside
  # the lengthened last certificate entry.
  python3 - "$T/Signed.exe" "$T/Evil.exe" "$T/Injected.exe" <<'PY'
import struct, sys
signed = bytearray(open(sys.argv[1], 'rb').read())
evil = open(sys.argv[2], 'rb').read()
data_start = struct.unpack_from('<I', evil, len(evil) - 8)[0]
package = bytearray(evil[data_start:])
# Zeros before it keep the table a whole number of 8-byte units, as the
# signature checks want, and the trailer the file's last 16 bytes.
pad = (8 - len(package) % 8) % 8
struct.pack_into('<I', package, len(package) - 8, len(signed) + pad)
package = bytearray(pad) + package
pe = struct.unpack_from('<I', signed, 0x3C)[0]
optional = pe + 24
magic = struct.unpack_from('<H', signed, optional)[0]
security = optional + (96 if magic == 0x10B else 112) + 4 * 8
table, size = struct.unpack_from('<II', signed, security)
last = table
while last + struct.unpack_from('<I', signed, last)[0] < table + size - 7:
    last += (struct.unpack_from('<I', signed, last)[0] + 7) & ~7
struct.pack_into('<I', signed, last, len(signed) + len(package) - last)
struct.pack_into('<I', signed, security + 4, size + len(package))
open(sys.argv[3], 'wb').write(signed + package)
PY
  rc=0
  osslsigncode verify -CAfile "$T/cert.pem" -in "$T/Injected.exe" >"$T/verify.out" 2>&1 || rc=$?
  check "the injected file keeps a valid signature" "$rc" 0
  rc=0
  "$TOOL" verify "$T/Injected.exe" >"$T/tool.out" 2>&1 || rc=$?
  check "zandor verify refuses the injected file" "$rc" 1
  check_true "zandor verify names the certificate table" grep -q "certificate table" "$T/tool.out"
  target="$DRIVE_C/Injected"
  rm -rf "$target"
  rc=0
  timeout 120 "$WINE64" "$T/Injected.exe" /Q /E '/P:C:\Injected' >"$T/wine.out" 2>&1 || rc=$?
  check "the injected installer exits 4 with /E" "$rc" 4
  check_true "no injected file installed" test ! -e "$target/evil.txt"
  check_true "no file of the signed package installed" test ! -e "$target/good.txt"
else
  echo "skipped part 1: osslsigncode or openssl missing (scripts/deps.sh)"
fi

# 2. The watcher. The before-hook sleeps, so the work folder lives long
#    enough for the watcher to try its swaps while the run holds the files.
mkdir -p "$T/watched" "$T/watched-program" "$T/swap"
printf '[Info]\r\nTitel=Watched\r\n' >"$T/watched/setup.ini"
cp "$PROBE" "$T/watched/BeforeZD.exe"
printf '6000' >"$T/watched/BeforeZD.sleep"
cp "$PROBE" "$T/watched/AfterZD.exe"
echo "own" >"$T/watched-program/own.txt"
echo "swapped" >"$T/swap/swapped.txt"
build_setup "$T/watched" "$T/Watched.exe" --program "$T/watched-program"
# The swaps: another package's setup.pck, and a different AfterZD.exe.
build_setup "$T/watched" "$T/Swap.exe" --program "$T/swap"
"$TOOL" extract "$T/Swap.exe" "$T/swap-files" >/dev/null 2>&1 || true
{ cat "$PROBE"; echo "EVIL"; } >"$T/swap/AfterZD.exe"
temp=$(temp_dir)
before=$(ls "$temp" 2>/dev/null | grep '^{' | sort || true)
target="$DRIVE_C/Watched"
rm -rf "$target"
rm -f "$T/probe.log"
timeout 120 "$WINE64" "$T/Watched.exe" /Q /E '/P:C:\Watched' >"$T/wine.out" 2>&1 &
setup=$!
work=""
for _ in $(seq 1 200); do
  work=$(comm -13 <(echo "$before") <(ls "$temp" 2>/dev/null | grep '^{' | sort) | head -1)
  [ -n "$work" ] && [ -f "$temp/$work/AfterZD.exe" ] && [ -f "$temp/$work/setup.pck" ] && break
  sleep 0.1
done
check_true "the watcher found the work folder" test -n "$work"
# Windows processes of the same user, so the system's sharing rules apply.
wwork='C:\users\'"$(basename "$(user_home)")"'\Temp\'"$work"
"$WINE64" cmd /c copy /y "$(winpath "$T/swap-files/setup.pck")" "$wwork\\setup.pck" >"$T/copy1.out" 2>&1 || true
"$WINE64" cmd /c copy /y "$(winpath "$T/swap/AfterZD.exe")" "$wwork\\AfterZD.exe" >"$T/copy2.out" 2>&1 || true
"$WINE64" cmd /c del /f /q "$wwork\\AfterZD.exe" >"$T/del.out" 2>&1 || true
check_true "AfterZD.exe not swapped during the run" bash -c "! cmp -s '$T/swap/AfterZD.exe' '$temp/$work/AfterZD.exe'"
check_true "AfterZD.exe not deleted during the run" test -f "$temp/$work/AfterZD.exe"
rc=0
wait "$setup" || rc=$?
check "the watched run exits 0" "$rc" 0
check_true "the run installed its own file" test -f "$target/own.txt"
check_true "the swapped setup.pck was not installed" test ! -e "$target/swapped.txt"
check "both hooks ran" "$(grep -ac '^\[run\]' "$T/probe.log" 2>/dev/null)" 2

# A work folder name that is taken already: the run installs nothing. The
# clock-made name is used when the system gives no GUID, which Wine always
# does; so the taken name is made a file by the watcher instead of guessed:
# a folder of the same user where the run's next folder would be is not
# reachable without the GUID, so the unit tests cover the exclusive create.

e2e_end

#!/usr/bin/env bash
# Attacks from outside the installer, one scenario each:
# 1. a package injected into the certificate table of a freshly signed
#    installer keeps the signature valid, and is refused as a damaged
#    installer (zandor verify says so; the install installs nothing and
#    exits 4 with /E);
# 2. a watcher process of the same user that tries to swap setup.pck and
#    AfterZD.exe in the work folder during a quiet run is refused, so the
#    run installs its own files only;
# 3. Downloads as the installation folder of a record: the uninstaller
#    refuses it and deletes nothing there, even with MadeProgDir=1;
# 4. a linked subfolder of the installation folder that points outside:
#    the install does not write through it, the uninstall deletes nothing
#    through it;
# 5. hostile record lines (a Run value, a link outside the link folders, a
#    non-link file by its 8.3 name) delete nothing.
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

UNINSTALLER="$WIN_DIR/Uninstall.exe"
mkdir -p "$T/app-setup" "$T/app-program/sub"
printf '[Info]\r\nTitel=Guarded\r\n[Settings]\r\nProgExe=app.exe\r\n' >"$T/app-setup/setup.ini"
echo "app" >"$T/app-program/app.exe"
echo "installed" >"$T/app-program/sub/a.txt"
build_setup "$T/app-setup" "$T/App.exe" --program "$T/app-program" --uninstaller "$UNINSTALLER" 2>/dev/null
unlink_user_folders
user=$(basename "$(user_home)")

# 3. Downloads.
downloads="$(user_home)/Downloads"
mkdir -p "$downloads"
echo "mine" >"$downloads/holiday.txt"
dl='C:\users\'"$user"'\Downloads\'
cp "$UNINSTALLER" "$downloads/Uninstall.exe"
printf '[Settings]\r\nProgDir=%s\r\nMadeProgDir=1\r\n[Files]\r\nF0001=holiday.txt\r\n' "$dl" >"$downloads/uninstall.dat"
timeout 120 "$WINE64" "$downloads/Uninstall.exe" /Q >"$T/wine.out" 2>&1 || true
check_true "Downloads as a record's folder: the user's file stays" test -f "$downloads/holiday.txt"
short=$(echo "$dl" | sed 's/Downloads/DOWNLO~1/')
printf '[Settings]\r\nProgDir=%s\r\nMadeProgDir=1\r\n[Files]\r\nF0001=holiday.txt\r\n' "$short" >"$downloads/uninstall.dat"
timeout 120 "$WINE64" "$downloads/Uninstall.exe" /Q >"$T/wine.out" 2>&1 || true
check_true "Downloads by its 8.3 name: the user's file stays" test -f "$downloads/holiday.txt"
rm -f "$downloads/Uninstall.exe" "$downloads/uninstall.dat"

# 4. A linked subfolder.
linked="$DRIVE_C/Linked App"
rm -rf "$linked" "$T/outside"
mkdir -p "$linked" "$T/outside"
echo "mine" >"$T/outside/a.txt"
echo "mine too" >"$T/outside/b.txt"
ln -s "$T/outside" "$linked/sub"
run_setup "$T/App.exe" /Q '/P:C:\Linked App'
check "install did not write through the link" "$(cat "$T/outside/a.txt")" "mine"
check_true "the installer's own file is there" test -f "$linked/app.exe"
timeout 120 "$WINE64" "$linked/Uninstall.exe" /Q >"$T/wine.out" 2>&1 || true
sleep 2
wineserver -w
check_true "uninstall deleted nothing through the link" test -f "$T/outside/a.txt" -a -f "$T/outside/b.txt"
rm -rf "$linked"

# 5. Hostile record lines.
hostile="$DRIVE_C/Hostile App"
rm -rf "$hostile" "$DRIVE_C/victim"
mkdir -p "$DRIVE_C/victim"
echo "link" >"$DRIVE_C/victim/foreign.lnk"
echo "precious" >"$DRIVE_C/victim/important.lnkdata"
"$WINE64" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Keep /t REG_SZ /d keep /f >/dev/null 2>&1
run_setup "$T/App.exe" /Q '/P:C:\Hostile App'
shortname=$("$WINE64" cmd /c dir /x 'C:\victim' 2>/dev/null | tr -d '\r' | awk '/important/ { print $(NF-1) }' | head -1)
[ -n "$shortname" ] || shortname='IMPORT~1.LNK'
tasks='[UserTask]\r\nNumber=3\r\nTask1=6|2147483649|Software\\Microsoft\\Windows\\CurrentVersion\\Run|Keep\r\n'
tasks+='Task2=0|C:\\victim\\foreign.lnk\r\nTask3=0|C:\\victim\\'"$shortname"'\r\n'
sed -i '/^\[UserTask\]/,$d' "$hostile/uninstall.dat"
printf "$tasks" >>"$hostile/uninstall.dat"
timeout 120 "$WINE64" "$hostile/Uninstall.exe" /Q >"$T/wine.out" 2>&1 || true
sleep 2
wineserver -w
check_true "the Run value stays" grep -q '"Keep"="keep"' "$WINEPREFIX/user.reg"
check_true "a link outside the link folders stays" test -f "$DRIVE_C/victim/foreign.lnk"
check_true "a file named by its 8.3 name ($shortname) stays" test -f "$DRIVE_C/victim/important.lnkdata"
"$WINE64" reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Keep /f >/dev/null 2>&1 || true
rm -rf "$hostile" "$DRIVE_C/victim"

e2e_end

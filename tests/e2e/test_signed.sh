#!/usr/bin/env bash
# Signed installers: an installer made by "zandor build" and signed with
# osslsigncode and a self-signed certificate keeps a valid signature, the
# zandor tool reads its package before the certificate table, and a quiet
# install under Wine installs every file. A signed file whose certificate
# table size is damaged is refused with an error, not read past its end.
source "$(dirname "$0")/lib.sh"
e2e_begin
command -v osslsigncode >/dev/null || { echo "skipped: osslsigncode missing (scripts/deps.sh)"; exit 77; }
command -v openssl >/dev/null || { echo "skipped: openssl missing"; exit 77; }

src="$ZANDOR_SOURCE_DIR/examples/demo"
cp -r "$src/setup" "$T/setup"
cp -r "$src/program" "$T/program"
cp "$PROBE" "$T/program/demo.exe"
build_setup "$T/setup" "$T/Unsigned.exe" --program "$T/program"

# A self-signed code-signing certificate, then the signature.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Zandor Test Signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$T/key.pem" -out "$T/cert.pem" >/dev/null 2>&1
osslsigncode sign -certs "$T/cert.pem" -key "$T/key.pem" -n "Zandor Demo" \
  -in "$T/Unsigned.exe" -out "$T/Install.exe" >"$T/sign.out" 2>&1 || cat "$T/sign.out"
rc=0
osslsigncode verify -CAfile "$T/cert.pem" -in "$T/Install.exe" >"$T/verify.out" 2>&1 || rc=$?
check "osslsigncode accepts the signature" "$rc" 0
ends_in_magic() { [ "$(tail -c 4 "$1" | tr -d '\0')" = Pack ]; }
check_true "the unsigned installer ends in the package" ends_in_magic "$T/Unsigned.exe"
ends_in_table() { ! ends_in_magic "$1"; }
check_true "the certificate table follows the package" ends_in_table "$T/Install.exe"

# The tool reads the package of the signed file as that of the unsigned one.
"$TOOL" list "$T/Unsigned.exe" >"$T/list-unsigned.txt" 2>&1 || true
rc=0
"$TOOL" list "$T/Install.exe" >"$T/list-signed.txt" 2>&1 || rc=$?
check "zandor list on the signed installer" "$rc" 0
check "signed and unsigned list the same entries" "$(cat "$T/list-signed.txt")" "$(cat "$T/list-unsigned.txt")"
rc=0
"$TOOL" verify "$T/Install.exe" >"$T/verify-tool.txt" 2>&1 || rc=$?
check "zandor verify on the signed installer" "$rc" 0

# A quiet install of the signed installer installs every file.
# Into a folder of its own: other tests install the demo into the shared prefix.
target="$DRIVE_C/Signed Demo"
rm -rf "$target"
run_setup "$T/Install.exe" /Q '/P:C:\Signed Demo'
check_installed_tree "$T/program" "$target"

# Damage the size field of the security directory (data directory 4).
python3 - "$T/Install.exe" "$T/Damaged.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
pe = struct.unpack_from('<I', data, 0x3C)[0]
optional = pe + 24
magic = struct.unpack_from('<H', data, optional)[0]
security = optional + (96 if magic == 0x10B else 112) + 4 * 8
struct.pack_into('<I', data, security + 4, 0x7FFFFF00)
open(sys.argv[2], 'wb').write(data)
PY
rc=0
"$TOOL" verify "$T/Damaged.exe" >"$T/damaged.txt" 2>&1 || rc=$?
check "zandor verify refuses the damaged table" "$rc" 1
check_true "zandor names the damaged certificate table" grep -q "certificate table" "$T/damaged.txt"
# The installer itself: no files, no crash (the copy-error requester it
# shows has no display to appear on here, and passes).
rm -rf "$target"
run_setup "$T/Damaged.exe" /Q '/P:C:\Signed Demo'
# Start-up ends after the requester: nothing is installed, not even a
# record or the folder.
check "the damaged signed installer installs nothing" "$(find "$target" 2>/dev/null | head -1)" ""

e2e_end

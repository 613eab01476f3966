#!/usr/bin/env bash
# Install.exe and Uninstall.exe of both Windows builds are statically linked
# and import only DLLs that Windows protects as known DLLs, so nothing can be
# planted beside them in a downloads folder; both carry the built-in header
# icon as icon 1 and an application manifest (resource type 24, id 1), read
# back here from the resource directory.
# Only the test build reads the run-state dump variable: the shipped 32-bit
# installer writes no file whose path an environment variable names.
source "$(dirname "$0")/lib.sh"
e2e_begin

known=" advapi32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll setupapi.dll shell32.dll shlwapi.dll user32.dll "
win32_dir=${ZANDOR_WIN32_DIR:-$(dirname "$ZANDOR_WIN64_DIR")/win32}
exes=("$ZANDOR_WIN64_DIR/Install.exe" "$win32_dir/Install.exe" "$ZANDOR_WIN64_DIR/Uninstall.exe" "$win32_dir/Uninstall.exe")
# The 32-bit run checks the shipped stub's twin with the dump as well.
[ "$DUMP_STUB" = "$STUB" ] || exes+=("$DUMP_STUB")
# The application manifest: resource type 24, name 1, first language.
manifest_of() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
pe = struct.unpack_from('<I', data, 0x3C)[0]
sections = struct.unpack_from('<H', data, pe + 6)[0]
optional_size = struct.unpack_from('<H', data, pe + 20)[0]
optional = pe + 24
magic = struct.unpack_from('<H', data, optional)[0]
resource_rva = struct.unpack_from('<I', data, optional + (96 if magic == 0x10B else 112) + 2 * 8)[0]
table = optional + optional_size
def offset(rva):
    for i in range(sections):
        at = table + 40 * i
        size, address, _, raw = struct.unpack_from('<IIII', data, at + 8)
        if address <= rva < address + max(size, 1):
            return rva - address + raw
    sys.exit('rva outside the sections')
root = offset(resource_rva)
def child(directory, wanted):
    named, ids = struct.unpack_from('<HH', data, directory + 12)
    for i in range(named + ids):
        name, target = struct.unpack_from('<II', data, directory + 16 + 8 * i)
        if wanted is None or name == wanted:
            return root + (target & 0x7FFFFFFF)
    sys.exit('no resource %s' % wanted)
entry = child(child(child(root, 24), 1), None)
rva, size = struct.unpack_from('<II', data, entry)
sys.stdout.write(data[offset(rva):offset(rva) + size].decode('utf-8'))
PY
}

for exe in "${exes[@]}"; do
  if [ ! -f "$exe" ]; then
    echo "skip: $exe not built"
    continue
  fi
  objdump=x86_64-w64-mingw32-objdump
  command -v "$objdump" >/dev/null || objdump=objdump
  mapfile -t dlls < <("$objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }')
  check_true "$exe imports some DLLs" test "${#dlls[@]}" -gt 0
  for dll in "${dlls[@]}"; do
    check_true "$(basename "$(dirname "$exe")")/$(basename "$exe") imports $dll, a known DLL" grep -q " $dll " <<<"$known"
  done
  subsystem=$("$objdump" -p "$exe" | awk '/^Subsystem/ { print $2 }')
  check "$(basename "$(dirname "$exe")")/$(basename "$exe") is a GUI program" "$subsystem" 00000002
  check_true "carries no package of its own" bash -c "[ \"\$(tail -c 4 '$exe')\" != Pack ]"
  check_true "has the header icon resource" bash -c "'$objdump' -h '$exe' | grep -q '\.rsrc'"
  manifest=$(manifest_of "$exe") || true
  for element in 'requestedExecutionLevel level="asInvoker" uiAccess="false"' \
      'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
      '<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>' \
      '<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>' \
      '<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>' \
      '<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>' \
      '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' \
      '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>'; do
    check_true "$(basename "$(dirname "$exe")")/$(basename "$exe") manifest has $element" \
      grep -qF -- "$element" <<<"$manifest"
  done
done
check_true "the test build knows the state dump" grep -aq ZANDOR_STATE_DUMP "$DUMP_STUB"
if [ -f "$win32_dir/Install.exe" ]; then
  check_true "the shipped build has no state dump" bash -c "! grep -aq ZANDOR_STATE_DUMP '$win32_dir/Install.exe'"
fi
e2e_end

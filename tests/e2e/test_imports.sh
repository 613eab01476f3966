#!/usr/bin/env bash
# Install.exe and Uninstall.exe of both Windows builds are statically linked
# and import only DLLs that Windows protects as known DLLs, so nothing can be
# planted beside them in a downloads folder; both carry the built-in header
# icon as icon 1.
# Only the test build reads the run-state dump variable: the shipped 32-bit
# installer writes no file whose path an environment variable names.
source "$(dirname "$0")/lib.sh"
e2e_begin

known=" advapi32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll setupapi.dll shell32.dll shlwapi.dll user32.dll "
win32_dir=${ZANDOR_WIN32_DIR:-$(dirname "$ZANDOR_WIN64_DIR")/win32}
exes=("$ZANDOR_WIN64_DIR/Install.exe" "$win32_dir/Install.exe" "$ZANDOR_WIN64_DIR/Uninstall.exe" "$win32_dir/Uninstall.exe")
# The 32-bit run checks the shipped stub's twin with the dump as well.
[ "$DUMP_STUB" = "$STUB" ] || exes+=("$DUMP_STUB")
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
done
check_true "the test build knows the state dump" grep -aq ZANDOR_STATE_DUMP "$DUMP_STUB"
if [ -f "$win32_dir/Install.exe" ]; then
  check_true "the shipped build has no state dump" bash -c "! grep -aq ZANDOR_STATE_DUMP '$win32_dir/Install.exe'"
fi
e2e_end

#!/usr/bin/env bash
# Makes the private Wine prefix of this test run, fresh each time. For the
# 32-bit run (ZANDOR_E2E_ARCH=32) it first finds out, once for the whole
# run, whether 32-bit Windows programs can run here; when they cannot, it
# says why in one line and leaves that reason in the work folder, where each
# 32-bit test finds it and skips (lib.sh).
set -euo pipefail
: "${ZANDOR_E2E_WORK:?run through ctest}"
export WINEPREFIX="$ZANDOR_E2E_WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
mkdir -p "$ZANDOR_E2E_WORK"
# A server of an earlier run may still serve the old prefixes: end it first.
for old in "$WINEPREFIX" "$WINEPREFIX-gui"; do
  [ -d "$old" ] && WINEPREFIX="$old" timeout 30 wineserver -k 2>/dev/null || true
done
rm -rf "$WINEPREFIX" "$WINEPREFIX-gui" "$ZANDOR_E2E_WORK"/test_* "$ZANDOR_E2E_WORK/skipped"

skip_32bit_run() {
  echo "$1" >"$ZANDOR_E2E_WORK/skipped"
  echo "32-bit end-to-end run skipped: $1"
  exit 0
}
if [ "${ZANDOR_E2E_ARCH:-64}" = 32 ]; then
  [ -f "$ZANDOR_WIN32_DIR/Install.exe" ] && [ -f "$ZANDOR_WIN32_DIR/probe.exe" ] ||
    { echo "missing $ZANDOR_WIN32_DIR/Install.exe or probe.exe: build the win32 preset first"; exit 1; }
  # Debian's 32-bit loader, from wine32:i386, sits beside wine64.
  wine32="$(dirname "$WINE64")/wine"
  [ -x "$wine32" ] || skip_32bit_run "no 32-bit Wine loader ($wine32; scripts/deps.sh installs wine32:i386 where the kernel runs 32-bit programs)"
fi

"$WINE64" wineboot -i >/dev/null 2>&1
wineserver -w
[ -d "$WINEPREFIX/drive_c/windows" ] || { echo "wineboot made no prefix"; exit 1; }

if [ "${ZANDOR_E2E_ARCH:-64}" = 32 ]; then
  # The trivial program: the 32-bit probe, which proves it ran by its log.
  export ZANDOR_PROBE_LOG
  ZANDOR_PROBE_LOG="Z:$(printf '%s' "$ZANDOR_E2E_WORK/probe32.log" | sed 's|/|\\|g')"
  rm -f "$ZANDOR_E2E_WORK/probe32.log"
  out=$(timeout 60 "$wine32" "$ZANDOR_WIN32_DIR/probe.exe" 2>&1) || true
  wineserver -w
  grep -q '^exe = ' "$ZANDOR_E2E_WORK/probe32.log" 2>/dev/null ||
    skip_32bit_run "the 32-bit Wine loader cannot start a 32-bit program: $(printf '%s' "$out" | head -1)"
  rm -f "$ZANDOR_E2E_WORK/probe32.log"
  [ -d "$WINEPREFIX/drive_c/Program Files (x86)" ] || { echo "wineboot made no WoW64 prefix"; exit 1; }
fi
# Tests with windows get a prefix of their own: one wine server per prefix,
# and a server that quiet tests started without a display would host their
# windows on no screen.
cp -a "$WINEPREFIX" "$WINEPREFIX-gui"
echo "prefix ready: $WINEPREFIX"

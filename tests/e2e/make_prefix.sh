#!/usr/bin/env bash
# Makes the private Wine prefix of this test run, fresh each time.
set -euo pipefail
: "${ZANDOR_E2E_WORK:?run through ctest}"
export WINEPREFIX="$ZANDOR_E2E_WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
mkdir -p "$ZANDOR_E2E_WORK"
rm -rf "$WINEPREFIX" "$WINEPREFIX-gui" "$ZANDOR_E2E_WORK"/test_*
"$WINE64" wineboot -i >/dev/null 2>&1
wineserver -w
[ -d "$WINEPREFIX/drive_c/windows" ] || { echo "wineboot made no prefix"; exit 1; }
# Tests with windows get a prefix of their own: one wine server per prefix,
# and a server that quiet tests started without a display would host their
# windows on no screen.
cp -a "$WINEPREFIX" "$WINEPREFIX-gui"
echo "prefix ready: $WINEPREFIX"

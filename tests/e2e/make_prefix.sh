#!/usr/bin/env bash
# Makes the private Wine prefix of this test run, fresh each time.
set -euo pipefail
: "${ZANDOR_E2E_WORK:?run through ctest}"
export WINEPREFIX="$ZANDOR_E2E_WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
mkdir -p "$ZANDOR_E2E_WORK"
rm -rf "$WINEPREFIX" "$ZANDOR_E2E_WORK"/test_*
"$WINE64" wineboot -i >/dev/null 2>&1
wineserver -w
[ -d "$WINEPREFIX/drive_c/windows" ] || { echo "wineboot made no prefix"; exit 1; }
echo "prefix ready: $WINEPREFIX"

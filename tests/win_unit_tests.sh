#!/usr/bin/env bash
# Runs the unit tests of the x86_64 Windows build (unit_tests.exe, see
# cmake/WindowsUnitTests.cmake) under Wine, in the test run's prefix for
# windows and inside a fresh Xvfb display: a message box that the code under
# test must never show then really appears and fails the run
# (tests/window_watch_win.cpp) instead of going to no screen. The Windows
# clock runs on UTC; the one case that needs another zone runs again in a
# Wine started two hours east of UTC, since a Windows process cannot change
# its own zone.
set -euo pipefail
: "${ZANDOR_E2E_WORK:?run through ctest}"
exe="$ZANDOR_WIN64_DIR/unit_tests.exe"
[ -f "$exe" ] || { echo "missing $exe: build the win64 preset first"; exit 1; }
export WINEPREFIX="$ZANDOR_E2E_WORK/prefix-gui" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY
if [ "${ZANDOR_IN_XVFB:-}" != 1 ]; then
  if [ -n "${XVFB_RUN:-}" ]; then
    ZANDOR_IN_XVFB=1 exec "$XVFB_RUN" -a -s "-screen 0 1024x768x24" bash "$0" "$@"
  fi
  echo "xvfb-run not found: running without a screen, where no message can show"
  unset DISPLAY
fi

# A server left by a test on another display must not host these windows,
# nor this run's server outlive its display.
wineserver -w
status=0
TZ=UTC timeout 600 "$WINE64" "$exe" --gtest_brief=1 "$@" || status=$?
wineserver -w

zone_case=FileSysTest.GetFileDateCountsOnTheLocalWallClock
out=$(TZ=XYZ-2 timeout 120 "$WINE64" "$exe" --gtest_brief=1 --gtest_filter="$zone_case" 2>&1) || status=1
wineserver -w
if grep -q '^\[  PASSED  \] 1 test\.' <<<"$out" && ! grep -q SKIPPED <<<"$out"; then
  echo "$zone_case two hours east of UTC: passed"
else
  echo "$out"
  echo "FAIL: $zone_case two hours east of UTC"
  status=1
fi
exit $status

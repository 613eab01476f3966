# Shared by the end-to-end tests: the private Wine prefix, paths, and runs of
# the x86_64 installer. Each test sources this file and calls e2e_begin.
set -euo pipefail

: "${ZANDOR_E2E_WORK:?run through ctest}"
export WINEPREFIX="$ZANDOR_E2E_WORK/prefix"
# Tests that show windows run in their own copy of the prefix (see make_prefix.sh).
[ "${E2E_KEEP_DISPLAY:-}" = 1 ] && WINEPREFIX="$ZANDOR_E2E_WORK/prefix-gui"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Quiet runs need no windows; tests that show them run under Xvfb (run_under_xvfb).
[ "${E2E_KEEP_DISPLAY:-}" = 1 ] || unset DISPLAY
unset WAYLAND_DISPLAY

STUB="$ZANDOR_WIN64_DIR/Install.exe"
PROBE="$ZANDOR_WIN64_DIR/probe.exe"
CLICKER="$ZANDOR_WIN64_DIR/clicker.exe"
TOOL="$ZANDOR_TOOL"
DRIVE_C="$WINEPREFIX/drive_c"
failures=0

e2e_begin() {
  for f in "$STUB" "$PROBE" "$TOOL"; do
    [ -f "$f" ] || { echo "missing $f: build the native and win64 presets first"; exit 1; }
  done
  T=$(mktemp -d "$ZANDOR_E2E_WORK/$(basename "$0" .sh).XXXXXX")
  export ZANDOR_PROBE_LOG
  ZANDOR_PROBE_LOG=$(winpath "$T/probe.log")
}

# Runs the calling test script again inside a fresh Xvfb display.
run_under_xvfb() {
  if [ "${E2E_KEEP_DISPLAY:-}" != 1 ]; then
    [ -n "${XVFB_RUN:-}" ] || { echo "xvfb-run not found"; exit 1; }
    E2E_KEEP_DISPLAY=1 exec "$XVFB_RUN" -a -s "-screen 0 1024x768x24" bash "$0" "$@"
  fi
}

# A POSIX path as Wine's Z: drive sees it.
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }

# The user's temporary folder of the prefix, as a POSIX path.
temp_dir() { echo "$DRIVE_C/users/$(ls "$DRIVE_C/users" | grep -v '^Public$' | head -1)/Temp"; }

# Runs an installer quietly in the prefix; the exit code must be 0.
run_setup() {
  local exe=$1
  shift
  local rc=0
  timeout 120 "$WINE64" "$exe" "$@" >"$T/wine.out" 2>&1 || rc=$?
  if [ $rc -ne 0 ]; then
    echo "FAIL: $(basename "$exe") $* exited with $rc"
    cat "$T/wine.out"
    failures=$((failures + 1))
  fi
}

# Builds an installer from a setup folder: build_setup SETUPDIR OUT.exe [zandor options]
build_setup() {
  local dir=$1 out=$2
  shift 2
  local extra=()
  if [ ! -f "$dir/setup.pck" ] && [[ " $* " != *" --program "* ]]; then
    mkdir -p "$T/no-program-files"
    extra=(--program "$T/no-program-files")
  fi
  "$TOOL" build "$dir" -o "$out" --stub "$STUB" "${extra[@]}" "$@" >/dev/null
}

# Value of KEY in an INI-like dump (first match), without the " = ".
ini_value() {
  [ -f "$1" ] || return 0
  LC_ALL=C awk -v k="$2 = " 'index($0, k) == 1 { print substr($0, length(k) + 1); exit }' "$1" | tr -d '\r'
}

check() {  # check DESCRIPTION ACTUAL EXPECTED
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAIL: $1: got '$2', expected '$3'"
    failures=$((failures + 1))
  fi
}

check_true() {  # check_true DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

e2e_end() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; files kept in $T"
    exit 1
  fi
  rm -rf "$T"
  echo "all checks passed"
}

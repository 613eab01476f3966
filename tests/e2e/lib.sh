# Shared by the end-to-end tests: the private Wine prefix, paths, and runs of
# the installer. Each test sources this file and calls e2e_begin.
#
# Every test runs twice: against the x86_64 build, and (ZANDOR_E2E_ARCH=32)
# against the shipped i686 build in a WoW64 prefix, where the installer and
# the test programs are 32-bit programs on 64-bit Windows. A test takes every
# Windows program from $WIN_DIR, the Program Files folder from
# $PROGRAM_FILES, the system.reg key of an HKLM\Software write from
# hklm_software_key, and, when it reads the run-state dump, calls
# use_state_dump before it builds an installer. "$WINE64" starts programs of
# either kind (it hands a 32-bit one to the 32-bit loader).
set -euo pipefail

: "${ZANDOR_E2E_WORK:?run through ctest}"
E2E_ARCH=${ZANDOR_E2E_ARCH:-64}
if [ "$E2E_ARCH" = 32 ] && [ -f "$ZANDOR_E2E_WORK/skipped" ]; then
  echo "skipped: $(cat "$ZANDOR_E2E_WORK/skipped")"
  exit 77
fi
export WINEPREFIX="$ZANDOR_E2E_WORK/prefix"
# Tests that show windows run in their own copy of the prefix (see make_prefix.sh).
[ "${E2E_KEEP_DISPLAY:-}" = 1 ] && WINEPREFIX="$ZANDOR_E2E_WORK/prefix-gui"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Quiet runs need no windows; tests that show them run under Xvfb (run_under_xvfb).
[ "${E2E_KEEP_DISPLAY:-}" = 1 ] || unset DISPLAY
unset WAYLAND_DISPLAY

if [ "$E2E_ARCH" = 32 ]; then
  WIN_DIR=$ZANDOR_WIN32_DIR
  # What a 32-bit program sees of 64-bit Windows: its own Program Files
  # folder, and HKLM\Software redirected into Wow6432Node.
  PROGRAM_FILES="Program Files (x86)"
  # The shipped build writes no run-state dump; its twin with the dump
  # serves the tests that read one.
  DUMP_STUB="$WIN_DIR/Install-dump.exe"
else
  WIN_DIR=$ZANDOR_WIN64_DIR
  PROGRAM_FILES="Program Files"
  DUMP_STUB="$WIN_DIR/Install.exe"
fi
# Every Windows program starts through wine_run.sh, which rides out the
# moment when a Wine server that is shutting down drops a new program.
export WINE_LOADER=${WINE_LOADER:-$WINE64}
WINE64="$(dirname "${BASH_SOURCE[0]}")/wine_run.sh"
STUB="$WIN_DIR/Install.exe"
PROBE="$WIN_DIR/probe.exe"
CLICKER="$WIN_DIR/clicker.exe"
TOOL="$ZANDOR_TOOL"
DRIVE_C="$WINEPREFIX/drive_c"
failures=0

e2e_begin() {
  for f in "$STUB" "$PROBE" "$TOOL"; do
    [ -f "$f" ] || { echo "missing $f: build the native and win$E2E_ARCH presets first"; exit 1; }
  done
  echo "build under test: $E2E_ARCH-bit, $WIN_DIR"
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

# The key in system.reg that an HKLM write of KEY (under "Software\") lands
# in: the 32-bit view for a 32-bit installer. File associations under
# "Software\Classes" (HKCR) are shared by both views.
hklm_software_key() {
  if [ "$E2E_ARCH" = 32 ] && ! [[ "${1,,}" == software\\classes\\* ]]; then
    printf 'Software\\Wow6432Node\\%s' "${1#[Ss][Oo][Ff][Tt][Ww][Aa][Rr][Ee]\\}"
  else
    printf '%s' "$1"
  fi
}

# Forgets the folder that earlier runs of product GUID installed into, so
# that the next run, quiet or not, takes the configured one: the prefix is
# shared, and every run remembers its folder for the next.
forget_install_state() {  # forget_install_state GUID
  "$WINE64" reg delete "HKCU\\Software\\Zandor\\$1" /f >/dev/null 2>&1 || true
}

# Lets the setup runs of this test write their run state to FILE, and
# builds the installers from now on on a stub that writes it.
use_state_dump() {
  export ZANDOR_STATE_DUMP
  ZANDOR_STATE_DUMP=$(winpath "$1")
  STUB=$DUMP_STUB
}

# Waits until PATH exists, checking every 0.1 s, at most TRIES times (300);
# fails when it never appears.
wait_for_file() {
  local path=$1 tries=${2:-300}
  for _ in $(seq 1 "$tries"); do
    [ -e "$path" ] && return 0
    sleep 0.1
  done
  return 1
}

# A POSIX path as Wine's Z: drive sees it.
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }

# The user's profile folder of the prefix, and its temporary folder, as
# POSIX paths.
user_home() { echo "$DRIVE_C/users/$(ls "$DRIVE_C/users" | grep -v '^Public$' | head -1)"; }
temp_dir() { echo "$(user_home)/Temp"; }

# Wine may link the prefix's Desktop and other profile folders to the home
# folder's: tests that make links put folders of the prefix in their place.
unlink_user_folders() {
  local folder
  for folder in "$(user_home)"/*; do
    if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
  done
}

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
  # --no-check: the tests give setup the faulty folders it must cope with.
  "$TOOL" build "$dir" -o "$out" --stub "$STUB" --no-check "${extra[@]}" "$@" >/dev/null
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

# Checks that TARGET holds exactly the files of SOURCE, each byte for byte;
# uninstall.dat only by name, since the install writes its keys into it.
check_installed_tree() {
  local source=$1 target=$2 rel
  (cd "$source" && find . -type f | sort) >"$T/expected.txt"
  (cd "$target" 2>/dev/null && find . -type f | sort) >"$T/installed.txt" || true
  check "installed file list" "$(cat "$T/installed.txt")" "$(cat "$T/expected.txt")"
  while read -r rel; do
    [ "$rel" = ./uninstall.dat ] && continue
    check_true "$rel installed byte for byte" cmp -s "$source/$rel" "$target/$rel"
  done <"$T/expected.txt"
}

# The state of the prefix: every path under drive_c with its kind, and every
# key of the registry files with its values, one line each, without the
# times Wine writes. Wine's own bookkeeping is left out: temporary files,
# its caches and logs, the ".desktop" files it makes beside desktop links,
# the times of the last shutdown, driver dates and other values it renews
# at each start.
snapshot() {  # snapshot FILE
  wineserver -w
  (cd "$DRIVE_C" && find . -printf '%y %p\n') |
    grep -v -e '/Temp/' -e '/Temp$' -e '^. ./windows/temp' -e 'Microsoft/Windows/Caches' -e '/logs/' \
      -e '\.desktop$' |
    LC_ALL=C sort >"$1"
  for reg in system.reg user.reg; do
    awk -v f="$reg" '/^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print f " " key; next }
      /^#/ || /^$/ { next } { print f " " key " " $0 }' "$WINEPREFIX/$reg"
  done | grep -v -e 'ShutdownTime' -e 'DriverDateData' -e 'CurrentControlSet\\\\Control\\\\Class\\\\' -e 'Software\\\\Wine\\\\' -e 'DynData' -e 'PerfData' -e 'TimeZoneInformation' \
    -e 'Volatile Environment' | LC_ALL=C sort >>"$1"
}

e2e_end() {
  # A server whose programs had windows ends with its display.
  if [ "${E2E_KEEP_DISPLAY:-}" = 1 ]; then timeout 30 wineserver -w >/dev/null 2>&1 || true; fi
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; files kept in $T"
    exit 1
  fi
  rm -rf "$T"
  echo "all checks passed"
}

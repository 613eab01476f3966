#!/usr/bin/env bash
# The release as a user downloads it: scripts/dist.sh makes both archives;
# the Linux one, unpacked into an empty folder, builds the example installer
# with its own zandor and the stub beside it, without a warning, and
# verifies it as an installer; the Windows one holds the same layout with
# zandor.exe.
# Usage: dist_test.sh [ARCHIVES]: with ARCHIVES, the archives already made
# there are tested; else dist.sh makes them in a temporary folder.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check_true() {
  local what=$1
  shift
  if "$@" >"$work/last.out" 2>&1; then echo "ok: $what"; else echo "FAIL: $what"; cat "$work/last.out"; failures=$((failures + 1)); fi
}
archives=${1:-}
if [ -z "$archives" ]; then
  archives="$work/out"
  bash "$root/scripts/dist.sh" "$archives" || { echo "FAIL: dist.sh"; exit 1; }
fi
tarball=$(ls "$archives"/zandor-*-linux-x86_64.tar.gz | head -1)
zipfile=$(ls "$archives"/zandor-*-windows.zip | head -1)
check_true "both archives are there" test -s "$tarball" -a -s "$zipfile"

mkdir "$work/empty"
tar -C "$work/empty" -xzf "$tarball"
top=$(ls "$work/empty")
cd "$work/empty/$top"
version=$(./zandor --version | awk '{ print $2 }')
check_true "the archive is named after zandor --version ($version)" test "$top" = "zandor-$version-linux-x86_64"
check_true "zandor needs nothing beyond glibc" bash -c \
  "! objdump -p zandor | awk '/NEEDED/ { print \$2 }' | grep -Ev '^(libc|libm|libpthread|libdl|librt|ld-linux-x86-64)\\.so'"
check_true "the example builds with the stub beside zandor, without a warning" \
  ./zandor build examples/demo/setup --program examples/demo/program -o Demo.exe --strict
cp "$work/last.out" "$work/build.out"
check_true "the build took the 32-bit stub beside zandor" grep -q 'Install.exe (32-bit Windows)' "$work/build.out"
check_true "verify calls it a 32-bit installer" bash -c "./zandor verify Demo.exe | grep -q 'an installer (32-bit Windows Zandor stub)'"
check_true "the 64-bit stub builds it too" \
  ./zandor build examples/demo/setup --program examples/demo/program -o Demo64.exe --stub stubs/win64/Install.exe
check_true "the docs come along" test -s docs/first-installer.md -a -s docs/setup-ini.md

unzip -q "$zipfile" -d "$work/zip"
wtop="$work/zip/zandor-$version-windows"
for f in zandor.exe Install.exe Uninstall.exe stubs/win64/Install.exe stubs/win64/Uninstall.exe \
         docs/setup-ini.md examples/demo/setup/setup.ini examples/demo/program/demo.exe; do
  check_true "the Windows archive holds $f" test -s "$wtop/$f"
done
[ "$failures" -eq 0 ] && echo "all checks passed" || { echo "$failures check(s) failed"; exit 1; }

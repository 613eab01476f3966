#!/usr/bin/env bash
# Builds the release archives from a checkout:
#
#   OUT/zandor-VERSION-linux-x86_64.tar.gz   zandor (linked with glibc only)
#   OUT/zandor-VERSION-windows.zip           zandor.exe (static)
#
# each with the shipped stubs laid out so that zandor build finds them
# without --stub: Install.exe and Uninstall.exe (32-bit) beside the tool,
# stubs/win64/Install.exe and Uninstall.exe for the 64-bit build; and docs/
# and examples/demo with its program demo.exe built in. VERSION is what
# zandor --version prints (the project version in CMakeLists.txt).
#
# Usage: scripts/dist.sh [OUT]   (default: dist/). Builds in build/dist-*.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
jobs=${DIST_JOBS:-2}

release() {  # release DIR [cmake options]: a release build without tests
  local dir=$1
  shift
  cmake -S "$root" -B "$root/build/$dir" -DCMAKE_BUILD_TYPE=MinSizeRel -DZANDOR_TESTS=OFF -DZANDOR_BENCH=OFF \
    -DZANDOR_STATE_DUMP=OFF "$@" >/dev/null
}
release dist-linux -DCMAKE_EXE_LINKER_FLAGS="-static-libstdc++ -static-libgcc -s"
release dist-win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-win32.cmake"
release dist-win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-win64.cmake"
cmake --build build/dist-linux -j"$jobs" --target zandor >/dev/null
cmake --build build/dist-win32 -j"$jobs" --target Install Uninstall demo_app >/dev/null
cmake --build build/dist-win64 -j"$jobs" --target Install Uninstall zandor >/dev/null

tool=build/dist-linux/zandor
version=$("$tool" --version | awk '{ print $2 }')
[ -n "$version" ] || { echo "dist.sh: zandor --version printed no version" >&2; exit 1; }
# Only glibc's own libraries may be needed.
extra=$(objdump -p "$tool" | awk '/NEEDED/ { print $2 }' | grep -Ev '^(libc|libm|libpthread|libdl|librt|ld-linux-x86-64)\.so' || true)
[ -z "$extra" ] || { echo "dist.sh: zandor needs $extra" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
lay_out() {  # lay_out DIR TOOL: the common contents
  local dir=$1
  mkdir -p "$dir/stubs/win64" "$dir/examples"
  cp "$2" "$dir/"
  cp build/dist-win32/Install.exe build/dist-win32/Uninstall.exe "$dir/"
  cp build/dist-win64/Install.exe build/dist-win64/Uninstall.exe "$dir/stubs/win64/"
  cp -r docs "$dir/docs"
  cp README.md "$dir/"
  cp -r examples/demo "$dir/examples/demo"
  rm -rf "$dir/examples/demo/src"
  cp build/dist-win32/demo.exe "$dir/examples/demo/program/demo.exe"
  mkdir -p "$dir/examples/demo/program/tools"
  cp build/dist-win32/demo.exe "$dir/examples/demo/program/tools/Demo Info.exe"
}
linux="zandor-$version-linux-x86_64"
windows="zandor-$version-windows"
lay_out "$stage/$linux" "$tool"
lay_out "$stage/$windows" build/dist-win64/zandor.exe
# Stable archives: fixed order, owner and times.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" -czf "$out/$linux.tar.gz" "$linux"
rm -f "$out/$windows.zip"
(cd "$stage" && find "$windows" -exec touch -h -d "@$epoch" {} + && find "$windows" | LC_ALL=C sort | zip -qX "$out/$windows.zip" -@)
echo "$out/$linux.tar.gz"
echo "$out/$windows.zip"

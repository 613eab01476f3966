#!/usr/bin/env bash
# Installs the Debian packages that building and testing Zandor need, when
# any is missing. Safe to run again; does nothing when all are there.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686 wine wine64 xvfb xauth xdotool imagemagick fonts-dejavu-core zlib1g-dev xz-utils gzip tar
  osslsigncode openssl zip unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The 32-bit Wine loader, for the end-to-end run of the shipped 32-bit
# installer. Only a kernel that runs 32-bit x86 programs can use it: a
# hand-made 93-byte i386 ELF that exits with 42 tells. Nothing here may fail
# the build: without it the 32-bit run is skipped, and the test run says why.
runs_i386() {
  local elf
  elf=$(mktemp) || return 1
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\137\000\000\000\137\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\263\052\315\200' >"$elf"
  chmod +x "$elf"
  local rc=0
  "$elf" 2>/dev/null || rc=$?
  rm -f "$elf"
  [ "$rc" -eq 42 ]
}
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  if ! runs_i386; then
    echo "deps: this kernel runs no 32-bit x86 programs: wine32:i386 not installed"
  else
    echo "deps: installing wine32:i386"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    if ! { $sudo_cmd dpkg --add-architecture i386 && $sudo_cmd apt-get update -qq &&
           DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq wine32:i386 >/dev/null; }; then
      echo "deps: wine32:i386 could not be installed: the 32-bit end-to-end run will be skipped"
    fi
  fi
fi

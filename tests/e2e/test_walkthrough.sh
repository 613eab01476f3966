#!/usr/bin/env bash
# docs/first-installer.md as a new user follows it: every "$ " command of
# the walk-through runs as written in an empty folder, with zandor and its
# stubs on the PATH and the program in ~/build, and the installer it makes
# installs the program quietly.
source "$(dirname "$0")/lib.sh"
e2e_begin

doc="$ZANDOR_SOURCE_DIR/docs/first-installer.md"
mkdir -p "$T/release" "$T/home/build" "$T/empty"
cp "$TOOL" "$T/release/zandor"
cp "$STUB" "$T/release/Install.exe"
cp "$WIN_DIR/Uninstall.exe" "$T/release/Uninstall.exe"
cp "$PROBE" "$T/home/build/hello.exe"

grep -E '^    \$ ' "$doc" | sed 's/^    \$ //' >"$T/commands.sh"
check "the walk-through has its commands" "$(wc -l <"$T/commands.sh")" 7
(cd "$T/empty" && HOME="$T/home" PATH="$T/release:$PATH" bash -e "$T/commands.sh") >"$T/commands.out" 2>&1
rc=$?
check "the walk-through's commands succeed" "$rc" 0
[ $rc -eq 0 ] || cat "$T/commands.out"
check_true "check prints no finding" bash -c "! grep -q 'error:\|warning:' '$T/commands.out'"
check_true "verify calls it an installer" grep -q ': an installer' "$T/commands.out"

installer="$T/empty/hello-setup/HelloSetup.exe"
run_setup "$installer" /Q
target="$DRIVE_C/$PROGRAM_FILES/Hello"
check_true "the program is installed" cmp -s "$T/home/build/hello.exe" "$target/hello.exe"
check_true "the uninstaller comes with it" test -f "$target/Uninstall.exe"
check_true "uninstall.dat names the product" grep -q 'ProgName = Hello' "$target/uninstall.dat"
e2e_end

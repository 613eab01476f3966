#!/usr/bin/env bash
# Start-up's requesters in real windows under Xvfb, answered by the clicker
# driver: the copy-error box when a packaged file fails its checksum (the
# run then ends: no hook, no work folder left, /E 4), and the running
# warning for a program that holds the configured mutex (Cancel ends setup
# before the before-hook and removes the work folder; OK goes on; a quiet
# run takes Cancel without a box); exactly one copy-error box (answered
# quietly, in the audit log) for each kind of damage to the outer package
# and for a file without a package (the truncated one under the wizard too,
# where it is the only window);
# no box of the shell's own for a hook that is no program.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
[ -f "$CLICKER" ] || { echo "missing $CLICKER"; exit 1; }

# Answers the next box titled $1 with button $2; its texts go to $T/boxes.txt.
answer_box() {
  timeout 90 "$WINE64" "$CLICKER" "$1" "$2" "$(winpath "$T/boxes.txt")" 60000 >/dev/null 2>&1 &
  CLICKER_PID=$!
}

# 1. A damaged block: big.txt's compressed stream gets one byte flipped.
mkdir -p "$T/damaged"
printf '[Info]\r\nTitel=Damaged\r\n' >"$T/damaged/setup.ini"
for i in $(seq 1 400); do echo "line $i of a text that compresses well"; done >"$T/damaged/big.txt"
cp "$PROBE" "$T/damaged/BeforeZD.exe"
printf '1' >"$T/damaged/BeforeZD.code"
build_setup "$T/damaged" "$T/Damaged.exe"
stub_size=$(stat -c %s "$STUB")
# Entries are stored in name order, so the first block is BeforeZD.code's
# (1 byte, raw), then BeforeZD.exe's, then big.txt's: flip a byte in the
# middle of big.txt's block, found from the listing.
sizes=$("$TOOL" list "$T/Damaged.exe" | awk -F'\t' 'NR > 1 && $1 == "file" { print $3 "\t" $6 }')
offset=$stub_size
while IFS=$'\t' read -r stored name; do
  [ "$name" = big.txt ] && break
  offset=$((offset + stored))
done <<<"$sizes"
big_stored=$(awk -F'\t' '$2 == "big.txt" { print $1 }' <<<"$sizes")
target=$((offset + big_stored / 2))
byte=$(dd if="$T/Damaged.exe" bs=1 skip="$target" count=1 2>/dev/null | od -An -tu1 | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$T/Damaged.exe" bs=1 seek="$target" conv=notrunc 2>/dev/null
check_true "the damaged installer fails verification" bash -c "! '$TOOL' verify '$T/Damaged.exe' >/dev/null 2>&1"

# The start failed: after the box nothing runs (not even the before-hook),
# the work folder goes and /E says nothing was installed.
answer_box "Error - Copy File" 1
ls "$(temp_dir)" >"$T/temp-before.txt"
rc=0
timeout 120 "$WINE64" "$T/Damaged.exe" /E >"$T/wine.out" 2>&1 || rc=$?
wait "$CLICKER_PID" || true
check "copy-error box shown with its text" "$(grep -a -A1 'caption = Error - Copy File' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "text = Copying file(s) failed."
check "damaged block: /E exits 4" "$rc" 4
check_true "damaged block: the before-hook did not run" test ! -e "$T/probe.log"
check "damaged block: no work folder left" "$(ls "$(temp_dir)" | grep -cvxFf "$T/temp-before.txt" || true)" 0
rm -rf "$T/probe.log" "$T/boxes.txt"

# 2. The running warning: a "program" holds the mutex named in setup.ini.
mkdir -p "$T/running" "$T/holder"
printf '[Info]\r\nTitel=Mutex Probe\r\n[Task]\r\nMutexString=  ZandorE2EMutex  \r\n' >"$T/running/setup.ini"
cp "$PROBE" "$T/running/BeforeZD.exe"
# The hook's exit code 1 ends each wizard run before the wizard opens.
printf '1' >"$T/running/BeforeZD.code"
build_setup "$T/running" "$T/Running.exe"
cp "$PROBE" "$T/holder/holder.exe"
printf 'ZandorE2EMutex' >"$T/holder/holder.mutex"
printf '40000' >"$T/holder/holder.sleep"
ZANDOR_PROBE_LOG=$(winpath "$T/holder.log") timeout 60 "$WINE64" "$T/holder/holder.exe" >/dev/null 2>&1 &
holder=$!
wait_for_file "$T/holder/holder.held" || true
check_true "the holder holds the mutex" test -e "$T/holder/holder.held"

# Quietly the warning shows no box and takes Cancel, its default button.
run_setup "$T/Running.exe" /Q "/L:$(winpath "$T/quiet.log")"
check_true "quiet: the warning answered Cancel in the audit log" grep -qF \
  "quiet  asked  Zandor - Warning  Close Program 'Mutex Probe' first! / Then press OK!  answer  Cancel" "$T/quiet.log"
check_true "quiet Cancel: the before-hook did not run" test ! -e "$T/probe.log"

answer_box "Zandor - Warning" 2
run_setup "$T/Running.exe"
wait "$CLICKER_PID" || true
check "warning text, first line" "$(grep -a -A1 'caption = Zandor - Warning' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "text = Close Program 'Mutex Probe' first!"
check "warning text, second line" "$(grep -a -A2 'caption = Zandor - Warning' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "Then press OK!"
check_true "Cancel: the before-hook did not run" test ! -e "$T/probe.log"

answer_box "Zandor - Warning" 1
run_setup "$T/Running.exe"
wait "$CLICKER_PID" || true
check "OK: setup went on to the before-hook" "$(grep -ac '^\[run\]' "$T/probe.log" 2>/dev/null)" 1
wait "$holder" || true

# Without the holder no warning appears and the hook runs at once.
rm -f "$T/probe.log"
run_setup "$T/Running.exe"
check "no holder: no warning, the hook runs" "$(grep -ac '^\[run\]' "$T/probe.log" 2>/dev/null)" 1

# Answers every box titled $1 with button 1 until none has come for 6 s;
# their texts go to $T/boxes.txt.
answer_every_box() {
  ( while timeout 40 "$WINE64" "$CLICKER" "$1" 1 "$(winpath "$T/boxes.txt")" 6000 >/dev/null 2>&1; do
      sleep 1
    done ) &
  CLICKER_PID=$!
}

# Writes the 32-bit little-endian number $3 at offset $2 of file $1.
put_u32() {
  local v=$3
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null
}
get_u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# 3. Damage to the outer package: the trailer is there, what it points to is not.
mkdir -p "$T/outer"
printf '[Info]\r\nTitel=Outer\r\n' >"$T/outer/setup.ini"
for i in $(seq 1 40); do echo "file $i" >"$T/outer/language_$i.lng"; done
build_setup "$T/outer" "$T/Outer.exe"
size=$(stat -c %s "$T/Outer.exe")
trailer=$((size - 16))
unpacked=$(get_u32 "$T/Outer.exe" "$trailer")
stored=$(get_u32 "$T/Outer.exe" $((trailer + 4)))
check_true "the outer directory is compressed" test "$unpacked" -gt "$stored"
damage() {  # damage NAME: a damaged copy of Outer.exe as $T/NAME.exe
  local out="$T/$1.exe"
  cp "$T/Outer.exe" "$out"
  case $1 in
    directory-checksum)
      local at=$((trailer - stored / 2))
      local byte
      byte=$(od -An -tu1 -j "$at" -N1 "$out" | tr -d ' ')
      printf "$(printf '\\%03o' $(((byte ^ 16) & 255)))" | dd of="$out" bs=1 seek="$at" conv=notrunc 2>/dev/null ;;
    directory-size) put_u32 "$out" "$trailer" $((unpacked + 1)) ;;
    trailer-bounds) put_u32 "$out" $((trailer + 4)) $((0x7FFFFFF0)) ;;
    data-start) put_u32 "$out" $((trailer + 8)) "$size" ;;
    truncated)  # 64 bytes cut out of the file blocks: they run into the directory
      local start=$(($(stat -c %s "$STUB") + 8))
      { head -c "$start" "$T/Outer.exe"; tail -c +$((start + 65)) "$T/Outer.exe"; } >"$out" ;;
  esac
}
for kind in directory-checksum directory-size trailer-bounds data-start truncated; do
  damage "$kind"
  check_true "$kind: zandor verify refuses it" bash -c "! '$TOOL' verify '$T/$kind.exe' >/dev/null 2>&1"
  # Quietly the box is answered without a window; the audit log has it.
  rm -f "$T/quiet.log"
  run_setup "$T/$kind.exe" /Q /R:0 "/L:$(winpath "$T/quiet.log")"
  check "$kind: exactly one copy-error box" "$(grep -ac '^quiet  asked  Error - Copy File  ' "$T/quiet.log")" 1
done
# A program with no package at all has nothing to install either: the same
# one box, answered quietly, and /E says nothing was installed.
rm -f "$T/quiet.log"
rc=0
timeout 120 "$WINE64" "$STUB" /Q /R:0 /E "/L:$(winpath "$T/quiet.log")" >"$T/wine.out" 2>&1 || rc=$?
check "no package: exactly one copy-error box" "$(grep -ac '^quiet  asked  Error - Copy File  ' "$T/quiet.log" || true)" 1
check "no package: /E exits 4" "$rc" 4
# Without /Q, a package cut short shows that box and nothing else: no
# language choice, no wizard; the run ends when it is answered.
rm -f "$T/boxes.txt"
answer_every_box "Error - Copy File"
rc=0
timeout 120 "$WINE64" "$T/truncated.exe" /E >"$T/wine.out" 2>&1 || rc=$?
wait "$CLICKER_PID" || true
check "truncated, wizard: exactly one box, the copy error" "$(grep -ac '^caption = ' "$T/boxes.txt" 2>/dev/null)|$(grep -ac 'caption = Error - Copy File' "$T/boxes.txt" 2>/dev/null)" "1|1"
check "truncated, wizard: /E exits 4" "$rc" 4

# 4. A hook that is no program: the shell fallback fails without a box of its own.
mkdir -p "$T/noui"
printf '[Info]\r\nTitel=No UI\r\n' >"$T/noui/setup.ini"
echo "this is not a program" >"$T/noui/AfterZD.exe"
build_setup "$T/noui" "$T/NoUI.exe"
rm -f "$T/boxes.txt"
answer_every_box "Error"
run_setup "$T/NoUI.exe" /Q
wait "$CLICKER_PID" || true
check "a failed shell start shows no box" "$(cat "$T/boxes.txt" 2>/dev/null | grep -ac 'caption = Error')" 0

e2e_end

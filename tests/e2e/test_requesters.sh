#!/usr/bin/env bash
# Start-up's requesters in real windows under Xvfb, answered by the clicker
# driver: the copy-error box when a packaged file fails its checksum (the
# damaged file is not written), and the running warning for a program that
# holds the configured mutex (Cancel ends setup before the before-hook and
# removes the work folder; OK goes on).
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

answer_box "Error - Copy File" 1
run_setup "$T/Damaged.exe"
wait "$CLICKER_PID" || true
check "copy-error box shown with its text" "$(grep -a -A1 'caption = Error - Copy File' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "text = Copying file(s) failed."
cwd=$(grep -a -m1 '^cwd = ' "$T/probe.log" | sed 's/^cwd = //' | tr -d '\r')
work="$(temp_dir)/${cwd##*\\}"
check_true "setup.ini was written" test -f "$work/setup.ini"
check_true "the damaged big.txt was not written" test ! -e "$work/big.txt"
rm -rf "$work" "$T/probe.log" "$T/boxes.txt"

# 2. The running warning: a "program" holds the mutex named in setup.ini.
mkdir -p "$T/running" "$T/holder"
printf '[Info]\r\nTitel=Mutex Probe\r\n[Task]\r\nMutexString=  ZandorE2EMutex  \r\n' >"$T/running/setup.ini"
cp "$PROBE" "$T/running/BeforeZD.exe"
build_setup "$T/running" "$T/Running.exe"
cp "$PROBE" "$T/holder/holder.exe"
printf 'ZandorE2EMutex' >"$T/holder/holder.mutex"
printf '40000' >"$T/holder/holder.sleep"
ZANDOR_PROBE_LOG=$(winpath "$T/holder.log") timeout 60 "$WINE64" "$T/holder/holder.exe" >/dev/null 2>&1 &
holder=$!
for _ in $(seq 1 300); do
  [ -e "$T/holder/holder.held" ] && break
  sleep 0.1
done
check_true "the holder holds the mutex" test -e "$T/holder/holder.held"

answer_box "Zandor - Warning" 2
run_setup "$T/Running.exe" /Q
wait "$CLICKER_PID" || true
check "warning text, first line" "$(grep -a -A1 'caption = Zandor - Warning' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "text = Close Program 'Mutex Probe' first!"
check "warning text, second line" "$(grep -a -A2 'caption = Zandor - Warning' "$T/boxes.txt" | tail -1 | tr -d '\r')" \
  "Then press OK!"
check_true "Cancel: the before-hook did not run" test ! -e "$T/probe.log"

answer_box "Zandor - Warning" 1
run_setup "$T/Running.exe" /Q
wait "$CLICKER_PID" || true
check "OK: setup went on to the before-hook" "$(grep -ac '^\[run\]' "$T/probe.log" 2>/dev/null)" 1
wait "$holder" || true

# Without the holder no warning appears and the hook runs at once.
rm -f "$T/probe.log"
run_setup "$T/Running.exe" /Q
check "no holder: no warning, the hook runs" "$(grep -ac '^\[run\]' "$T/probe.log" 2>/dev/null)" 1

e2e_end

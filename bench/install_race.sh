#!/usr/bin/env bash
# Where the silent install's time goes under wine64: a mixed corpus of about
# 50 MB (Windows DLLs of Wine plus text) installed with "Install.exe /Q" into
# a fresh folder, against an installer of one small file (the fixed cost)
# and "zandor.exe extract" of the same setup.pck (decoding and writing
# without the installer's work-folder copy). Median of 5 each, one run.
# Usage: bench/install_race.sh (after the native and win64 presets are built)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build/bench/race"
WIN="$ROOT/build/win64"
TOOL="$ROOT/build/native/zandor"
WINE64=${WINE64:-/usr/lib/wine/wine64}
export WINEPREFIX="$OUT/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
rm -rf "$OUT"
mkdir -p "$OUT/program/bin" "$OUT/program/doc" "$OUT/setup" "$OUT/tiny/setup" "$OUT/tiny/program"

total=0
for f in $(ls /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.dll | LC_ALL=C sort); do
  size=$(stat -c %s "$f")
  [ "$size" -le 4194304 ] || continue
  cp "$f" "$OUT/program/bin/"
  total=$((total + size))
  [ "$total" -lt 41000000 ] || break
done
for page in /usr/share/man/man1/*.1.gz; do
  gzip -dc "$page" > "$OUT/program/doc/$(basename "$page" .gz)"
  [ "$(du -sb "$OUT/program/doc" | cut -f1)" -lt 9000000 ] || break
done
printf '[Settings]\r\nDefaultDir=C:\\Race\r\n[Info]\r\nTitel=Race\r\nVersion=1.0\r\n' > "$OUT/setup/setup.ini"
cp "$OUT/setup/setup.ini" "$OUT/tiny/setup/setup.ini"
echo tiny > "$OUT/tiny/program/a.txt"
"$TOOL" build "$OUT/setup" -o "$OUT/Install.exe" --program "$OUT/program" --stub "$WIN/Install.exe" >/dev/null
"$TOOL" build "$OUT/tiny/setup" -o "$OUT/Tiny.exe" --program "$OUT/tiny/program" --stub "$WIN/Install.exe" >/dev/null
"$TOOL" pack "$OUT/program" -o "$OUT/setup.pck" >/dev/null
# The two parts alone: few large files against many small ones.
for part in bin doc; do
  mkdir -p "$OUT/$part/program"
  cp -r "$OUT/program/$part" "$OUT/$part/program/"
  "$TOOL" build "$OUT/setup" -o "$OUT/$part.exe" --program "$OUT/$part/program" --stub "$WIN/Install.exe" >/dev/null
done
"$WINE64" wineboot -i >/dev/null 2>&1
wineserver -w

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# time_runs LABEL COMMAND...: the command five times, each into a fresh C:\Race.
time_runs() {
  local label=$1
  shift
  for i in 1 2 3 4 5; do
    rm -rf "$WINEPREFIX/drive_c/Race"
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc
  done | median | xargs printf "%-44s %s s\n" "$label"
}
bytes=$(du -sb "$OUT/program" | cut -f1)
files=$(find "$OUT/program" -type f | wc -l)
echo "corpus: $bytes bytes in $files files; installer $(stat -c %s "$OUT/Install.exe") bytes"
time_runs "wine64 start (cmd /c exit)" "$WINE64" cmd /c exit
time_runs "Install.exe /Q, one small file" "$WINE64" "$OUT/Tiny.exe" /Q
for part in bin doc; do
  time_runs "Install.exe /Q, $part/ only ($(find "$OUT/program/$part" -type f | wc -l) files, $(du -sb "$OUT/program/$part" | cut -f1) bytes)" \
    "$WINE64" "$OUT/$part.exe" /Q
done
time_runs "Install.exe /Q, the corpus" "$WINE64" "$OUT/Install.exe" /Q
installed=$(find "$WINEPREFIX/drive_c/Race" -type f 2>/dev/null | wc -l)
[ "$installed" -ge "$files" ] || { echo "the install left $installed of $files files"; exit 1; }
time_runs "zandor.exe extract setup.pck (decode+write)" "$WINE64" "$WIN/zandor.exe" extract "$(winpath "$OUT/setup.pck")" 'C:\Race'
time_runs "zandor.exe verify setup.pck (decode only)" "$WINE64" "$WIN/zandor.exe" verify "$(winpath "$OUT/setup.pck")"
time_runs "copy of setup.pck (cmd copy)" "$WINE64" cmd /c copy "$(winpath "$OUT/setup.pck")" 'C:\race.pck'
wineserver -k || true

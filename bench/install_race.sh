#!/usr/bin/env bash
# The silent install race under wine64: the mixed corpus of
# bench/make_corpus.sh (about 75 MB in some 730 files) installed with
# "Install.exe /Q", the same installer built --solid, and with NSIS installers of the same files in the same
# folder layout (amd64-unicode stub, zlib and lzma, silent "/S /D="), each
# into a fresh folder. The four installers take turns in each of five
# rounds, so a change in the machine's load falls on all of them alike; each
# line is the median of the five. Then the pieces of our time: an installer
# of one small file (the fixed cost), each part of the corpus alone, and
# "zandor.exe extract" / "verify" of the same setup.pck (decoding and writing
# without the installer's work-folder copy). One line per measurement.
# Usage: bench/install_race.sh [CORPUS] (after the native and win64 presets
# are built; CORPUS defaults to build/bench/corpus, made when missing)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build/bench/race"
WIN="$ROOT/build/win64"
TOOL="$ROOT/build/native/zandor"
CORPUS=${1:-$ROOT/build/bench/corpus}
WINE64=${WINE64:-/usr/lib/wine/wine64}
export WINEPREFIX="$OUT/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
[ -d "$CORPUS/bin" ] || "$ROOT/bench/make_corpus.sh" "$CORPUS" >/dev/null
if ! command -v makensis >/dev/null; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get install -y nsis >/dev/null
fi
rm -rf "$OUT"
mkdir -p "$OUT/setup" "$OUT/tiny/setup" "$OUT/tiny/program"

printf '[Settings]\r\nDefaultDir=C:\\Race\r\n[Info]\r\nTitel=Race\r\nVersion=1.0\r\n' > "$OUT/setup/setup.ini"
cp "$OUT/setup/setup.ini" "$OUT/tiny/setup/setup.ini"
echo tiny > "$OUT/tiny/program/a.txt"
"$TOOL" build "$OUT/setup" -o "$OUT/Install.exe" --program "$CORPUS" --stub "$WIN/Install.exe" --no-uninstaller >/dev/null
"$TOOL" build "$OUT/setup" -o "$OUT/Solid.exe" --program "$CORPUS" --stub "$WIN/Install.exe" --no-uninstaller --solid >/dev/null
"$TOOL" build "$OUT/tiny/setup" -o "$OUT/Tiny.exe" --program "$OUT/tiny/program" --stub "$WIN/Install.exe" --no-uninstaller >/dev/null
"$TOOL" pack "$CORPUS" -o "$OUT/setup.pck" >/dev/null
parts=$(cd "$CORPUS" && ls -d */ | tr -d /)
# Each part alone: few large files against many small ones.
for part in $parts; do
  mkdir -p "$OUT/$part/program"
  cp -r "$CORPUS/$part" "$OUT/$part/program/"
  "$TOOL" build "$OUT/setup" -o "$OUT/$part.exe" --program "$OUT/$part/program" --stub "$WIN/Install.exe" --no-uninstaller >/dev/null
done
# The NSIS peers: every file of the corpus under the installation folder,
# as our installer lays them out.
for method in zlib lzma; do
  cat > "$OUT/nsis_$method.nsi" <<EOF
Unicode true
Target amd64-unicode
SetCompressor $method
Name "Race"
OutFile "$OUT/nsis_$method.exe"
InstallDir "C:\\Race"
RequestExecutionLevel user
SilentInstall silent
Section
  SetOutPath "\$INSTDIR"
  File /r "$CORPUS/*.*"
SectionEnd
EOF
  makensis -V1 "$OUT/nsis_$method.nsi" >/dev/null
done
"$WINE64" wineboot -i >/dev/null 2>&1
wineserver -w

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# time_once COMMAND...: seconds for one run into a fresh C:\Race.
time_once() {
  rm -rf "$WINEPREFIX/drive_c/Race"
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
# time_runs LABEL COMMAND...: the command five times, the median.
time_runs() {
  local label=$1
  shift
  for i in 1 2 3 4 5; do time_once "$@"; done | median | xargs printf "%-52s %s s\n" "$label"
}
files=$(find "$CORPUS" -type f | wc -l)
# installed LABEL: the last run must have left every file of the corpus.
installed() {
  local n
  n=$(find "$WINEPREFIX/drive_c/Race" -type f 2>/dev/null | wc -l)
  [ "$n" -ge "$files" ] || { echo "$1 left $n of $files files"; exit 1; }
}
ours() { "$WINE64" "$OUT/Install.exe" /Q; }
solid() { "$WINE64" "$OUT/Solid.exe" /Q; }
nsis_zlib() { "$WINE64" "$OUT/nsis_zlib.exe" /S '/D=C:\Race'; }
nsis_lzma() { "$WINE64" "$OUT/nsis_lzma.exe" /S '/D=C:\Race'; }

bytes=$(du -sb "$CORPUS" | cut -f1)
echo "corpus: $bytes bytes in $files files; Install.exe $(stat -c %s "$OUT/Install.exe") bytes," \
  "solid $(stat -c %s "$OUT/Solid.exe"), NSIS zlib $(stat -c %s "$OUT/nsis_zlib.exe"), lzma $(stat -c %s "$OUT/nsis_lzma.exe")"
for run in ours solid nsis_zlib nsis_lzma; do
  time_once $run >/dev/null
  installed $run
done
: > "$OUT/times_ours"; : > "$OUT/times_solid"; : > "$OUT/times_nsis_zlib"; : > "$OUT/times_nsis_lzma"
for i in 1 2 3 4 5; do
  for run in ours solid nsis_zlib nsis_lzma; do time_once $run >> "$OUT/times_$run"; done
done
ours_s=$(median < "$OUT/times_ours")
zlib_s=$(median < "$OUT/times_nsis_zlib")
printf "%-52s %s s\n" "Install.exe /Q, the corpus" "$ours_s"
solid_s=$(median < "$OUT/times_solid")
printf "%-52s %s s\n" "Install.exe /Q, the corpus, solid (--solid)" "$solid_s"
printf "%-52s %s s\n" "NSIS zlib /S, the corpus" "$zlib_s"
printf "%-52s %s s\n" "NSIS lzma /S, the corpus" "$(median < "$OUT/times_nsis_lzma")"
printf "%-52s %.2f\n" "install race: ours / NSIS zlib (at most 0.90)" "$(echo "$ours_s / $zlib_s" | bc -l)"
printf "%-52s %.2f\n" "install race: solid / per file (at most 1.15)" "$(echo "$solid_s / $ours_s" | bc -l)"
printf "%-52s %.2f\n" "install race: solid / NSIS zlib (below 1)" "$(echo "$solid_s / $zlib_s" | bc -l)"
time_runs "wine64 start (cmd /c exit)" "$WINE64" cmd /c exit
time_runs "Install.exe /Q, one small file" "$WINE64" "$OUT/Tiny.exe" /Q
for part in $parts; do
  time_runs "Install.exe /Q, $part/ only ($(find "$CORPUS/$part" -type f | wc -l) files, $(du -sb "$CORPUS/$part" | cut -f1) bytes)" \
    "$WINE64" "$OUT/$part.exe" /Q
done
time_runs "zandor.exe extract setup.pck (decode+write)" "$WINE64" "$WIN/zandor.exe" extract "$(winpath "$OUT/setup.pck")" 'C:\Race'
time_runs "zandor.exe verify setup.pck (decode only)" "$WINE64" "$WIN/zandor.exe" verify "$(winpath "$OUT/setup.pck")"
time_runs "copy of setup.pck (cmd copy)" "$WINE64" cmd /c copy "$(winpath "$OUT/setup.pck")" 'C:\race.pck'
wineserver -k || true

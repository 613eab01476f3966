#!/bin/sh
# Builds the benchmark corpus (Windows DLLs of Wine plus text), builds the
# benchmarks in build/bench and runs them. Usage: bench/run.sh
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build/bench"
CORPUS="$OUT/corpus"

need=""
command -v gzip >/dev/null 2>&1 || need="$need gzip"
command -v xz >/dev/null 2>&1 || need="$need xz-utils"
command -v bc >/dev/null 2>&1 || need="$need bc"
[ -x /usr/bin/time ] || need="$need time"
[ -f /usr/include/zlib.h ] || need="$need zlib1g-dev"
DLLDIR=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -d "$DLLDIR" ] || need="$need wine64"
if [ -n "$need" ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get install -y $need
fi

# The corpus: every 12th DLL by name between 64 KiB and 4 MiB, until about
# 24 MB, and the licence texts plus a few manual pages as text.
rm -rf "$CORPUS"
mkdir -p "$CORPUS"
total=0
i=0
for f in $(ls "$DLLDIR"/*.dll | LC_ALL=C sort); do
  size=$(stat -c %s "$f")
  [ "$size" -ge 65536 ] && [ "$size" -le 4194304 ] || continue
  i=$((i + 1))
  [ $((i % 12)) -eq 0 ] || continue
  cp "$f" "$CORPUS/"
  total=$((total + size))
  [ "$total" -lt 24000000 ] || break
done
cat /usr/share/common-licenses/* > "$CORPUS/licenses.txt"
for page in bash gcc ls tar; do
  src=$(ls /usr/share/man/man1/$page.1.gz 2>/dev/null || true)
  [ -n "$src" ] && gzip -dc "$src" > "$CORPUS/$page.1"
done

# Reference sizes from the command-line tools.
SIZES="$OUT/reference_sizes.txt"
: > "$SIZES"
for f in "$CORPUS"/*; do
  echo "$(basename "$f") $(gzip -9 -c "$f" | wc -c) $(xz -9 -c "$f" | wc -c)" >> "$SIZES"
done

cmake -S "$ROOT" -B "$OUT" -DCMAKE_BUILD_TYPE=Release -DZANDOR_TESTS=OFF -DZANDOR_BENCH=ON >/dev/null
cmake --build "$OUT" -j2 --target compress_bench extract_bench decode_bench decode_bench_os zandor
"$OUT/compress_bench" "$SIZES" "$CORPUS"/*
echo
# The decoder as the installer ships it (block.cpp with its own flags inside
# the -Os build) and as plain -Os, each against inflate in the same run.
"$OUT/decode_bench" "$CORPUS"/*
"$OUT/decode_bench_os" "$CORPUS"/*
echo
# zandor pack at the default level on one thread and on every core; the two
# packages must be the same bytes. Peak memory is the resident set size.
PACKS="$OUT/packs"
rm -rf "$PACKS"
mkdir -p "$PACKS"
bytes=$(du -sb "$CORPUS" | cut -f1)
for threads in 1 $(nproc); do
  /usr/bin/time -f "%e %M" -o "$PACKS/time$threads" "$OUT/zandor" pack "$CORPUS" -o "$PACKS/t$threads.pck" --threads "$threads"
  read -r seconds kib < "$PACKS/time$threads"
  echo "zandor pack, default level, $threads thread(s): $seconds s ($(echo "scale=1; $bytes / 1000000 / $seconds" | bc) MB/s), peak $((kib / 1024)) MiB"
done
cmp -s "$PACKS/t1.pck" "$PACKS/t$(nproc).pck" || { echo "packages differ between thread counts"; exit 1; }
echo
"$OUT/extract_bench" "$CORPUS"

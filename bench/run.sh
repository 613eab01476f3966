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
cmake --build "$OUT" -j2 --target compress_bench extract_bench
"$OUT/compress_bench" "$SIZES" "$CORPUS"/*
echo
"$OUT/extract_bench" "$CORPUS"

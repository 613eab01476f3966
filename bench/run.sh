#!/usr/bin/env bash
# Runs every benchmark on the mixed corpus of bench/make_corpus.sh and ends
# with one table: sizes per part against gzip -9, xz -9 and zstd -19, the
# solid package against gzip -9 per file, xz -9 of a tar and NSIS solid lzma, zandor
# pack's speed and peak memory per level on one thread and on every core,
# ExpandBlock's decode speed with the installer's flags against inflate,
# extraction against tar -x and unzip, and the silent-install race of
# bench/install_race.sh. Progress lines come first; the table is printed at
# the end and kept in build/bench/table.txt.
# Every ratio is ours / peer from this one run: lower is better, for sizes
# and for times alike. Speeds vary between runs (other work on the machine
# shows in the load averages of the table's head); sizes are exact.
# Usage: bench/run.sh [--no-race]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build/bench"
CORPUS="$OUT/corpus"
RACE=yes
[ "${1:-}" = "--no-race" ] && RACE=no
export LC_ALL=C
CORES=$(nproc)
LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)

need=""
for tool in gzip:gzip xz:xz-utils zstd:zstd zip:zip unzip:unzip bc:bc; do
  command -v "${tool%%:*}" >/dev/null 2>&1 || need="$need ${tool#*:}"
done
[ -x /usr/bin/time ] || need="$need time"
[ -f /usr/include/zlib.h ] || need="$need zlib1g-dev"
command -v makensis >/dev/null 2>&1 || need="$need nsis"  # NSIS /SOLID lzma, a solid peer
command -v tar >/dev/null 2>&1 || need="$need tar"
if [ "$RACE" = yes ]; then
  [ -x /usr/lib/wine/wine64 ] || need="$need wine64"
fi
if [ -n "$need" ]; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  echo "== installing$need"
  $SUDO apt-get install -y $need >/dev/null
fi

echo "== corpus"
bash "$ROOT/bench/make_corpus.sh" "$CORPUS"
echo "== building the benchmarks (Release) in $OUT"
cmake -S "$ROOT" -B "$OUT" -DCMAKE_BUILD_TYPE=Release -DZANDOR_TESTS=OFF -DZANDOR_BENCH=ON >/dev/null
cmake --build "$OUT" -j2 --target compress_bench extract_bench decode_bench decode_bench_os zandor >/dev/null
ZANDOR="$OUT/zandor"
TABLE="$OUT/table"
rm -rf "$TABLE"
mkdir -p "$TABLE"

# Peer sizes: each file through gzip -9, xz -9 and zstd -19 alone, from
# stdin so that no container stores the name. They are exact, so they are
# kept for a corpus of the same bytes and the same tool versions.
echo "== peer sizes (gzip -9, xz -9, zstd -19 per file)"
key=$( (cd "$CORPUS" && find . -type f -print0 | sort -z | xargs -0 md5sum
        gzip --version | head -1; xz --version | head -1; zstd --version) | md5sum | cut -c1-16)
SIZES="$OUT/peer_sizes.$key.txt"
if [ ! -s "$SIZES" ]; then
  rm -f "$OUT"/reference_sizes*.txt "$OUT"/peer_sizes.*.txt
  (cd "$CORPUS" && find . -type f -printf '%P\0' | xargs -0 -P "$CORES" -n 16 sh -c '
    for f; do
      echo "$(gzip -9 <"$f" | wc -c) $(xz -9 <"$f" | wc -c) $(zstd -19 -q <"$f" | wc -c) $f"
    done' sh) | sort -k4 > "$SIZES.part"
  mv "$SIZES.part" "$SIZES"
else
  echo "   (kept from an earlier run on the same corpus: $SIZES)"
fi

# zandor pack per level on one thread and on every core: median wall time
# of three runs (one for best, whose run is long enough to be steady) and
# the largest resident set of any run. The packages of every thread count
# must be the same bytes and pass zandor verify.
PACKS="$OUT/packs"
rm -rf "$PACKS"
mkdir -p "$PACKS"
bytes=$(du -sb --apparent-size "$CORPUS" | cut -f1)
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int(NR / 2) + 1] }'; }
threadCounts="1"
[ "$CORES" -gt 1 ] && threadCounts="1 $CORES"
: > "$TABLE/compress"
for level in fast default best; do
  runs=3
  [ "$level" = best ] && runs=1
  row=$(printf '%-8s' "$level")
  peaks=""
  speeds=()
  for threads in $threadCounts; do
    echo "== zandor pack --level $level --threads $threads ($runs run(s))"
    : > "$PACKS/times"
    for _ in $(seq "$runs"); do
      /usr/bin/time -f "%e %M %U %S" -o "$PACKS/time" \
        "$ZANDOR" pack "$CORPUS" -o "$PACKS/$level.$threads.pck" --level "$level" --threads "$threads" >/dev/null
      cat "$PACKS/time" >> "$PACKS/times"
    done
    seconds=$(cut -d' ' -f1 "$PACKS/times" | median)
    kib=$(cut -d' ' -f2 "$PACKS/times" | sort -n | tail -1)
    # Processor time over wall time: how many cores the run really had.
    cores=$(awk '{ print ($3 + $4) / $1 }' "$PACKS/times" | median)
    speed=$(echo "scale=2; $bytes / 1000000 / $seconds" | bc)
    speeds+=("$speed")
    row="$row $(printf '%9.2f %8.1f %6.2f' "$seconds" "$speed" "$cores")"
    peaks="$peaks $(printf '%7d' $((kib / 1024)))"
    if ! cmp -s "$PACKS/$level.1.pck" "$PACKS/$level.$threads.pck"; then
      echo "the $level packages of 1 and $threads threads differ"
      exit 1
    fi
  done
  "$ZANDOR" verify "$PACKS/$level.1.pck" >/dev/null || { echo "zandor verify refused the $level package"; exit 1; }
  speedup=$(echo "scale=3; ${speeds[-1]} / ${speeds[0]}" | bc)
  printf '%s %8.2f %s %10.2f\n' "$row" "$speedup" "$peaks" "$(stat -c %s "$PACKS/$level.1.pck" | awk '{ print $1 / 1e6 }')" \
    >> "$TABLE/compress"
done

# Solid: the corpus stored raw in one setup.pck (zandor pack --solid), then
# that file packed as the one block of an outer package at each level,
# against gzip -9 per file, xz -9 of a tar of the tree and NSIS /SOLID lzma
# of the same files (the installer, less its bare stub's size, which is
# measured from an empty NSIS solid installer). Wall time and peak memory of
# the outer pack on every core, and the 1- and N-thread outputs compared.
echo "== solid packages"
SOLID="$OUT/solid"
rm -rf "$SOLID"
mkdir -p "$SOLID/outer" "$SOLID/empty"
"$ZANDOR" pack "$CORPUS" -o "$SOLID/outer/setup.pck" --solid >/dev/null
gzip_total=$(awk '{ s += $1 } END { print s }' "$SIZES")
xz_tar=$( (cd "$CORPUS" && tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -cf - .) | xz -9 -T1 | wc -c)
nsis_solid() {  # nsis_solid OUT.exe SOURCE: a solid lzma installer of SOURCE's files
  printf '%s\n' 'Unicode true' 'Target amd64-unicode' 'SetCompressor /SOLID lzma' 'Name "Solid"' "OutFile \"$1\"" \
    'InstallDir "C:\Solid"' 'RequestExecutionLevel user' 'SilentInstall silent' 'Section' '  SetOutPath "$INSTDIR"' \
    "  File /r \"$2/*.*\"" 'SectionEnd' > "$SOLID/solid.nsi"
  makensis -V1 "$SOLID/solid.nsi" >/dev/null
}
touch "$SOLID/empty/nothing"
nsis_solid "$SOLID/nsis_empty.exe" "$SOLID/empty"
nsis_solid "$SOLID/nsis_solid.exe" "$CORPUS"
nsis_bytes=$(( $(stat -c %s "$SOLID/nsis_solid.exe") - $(stat -c %s "$SOLID/nsis_empty.exe") ))
: > "$TABLE/solid"
for level in fast default best; do
  echo "== zandor pack of the solid setup.pck, --level $level"
  /usr/bin/time -f "%e %M" -o "$SOLID/time" "$ZANDOR" pack "$SOLID/outer" -o "$SOLID/$level.pck" --level "$level" >/dev/null
  read -r seconds kib < "$SOLID/time"
  "$ZANDOR" pack "$SOLID/outer" -o "$SOLID/$level.1.pck" --level "$level" --threads 1 >/dev/null
  cmp -s "$SOLID/$level.pck" "$SOLID/$level.1.pck" || { echo "the solid $level packages of 1 and $CORES threads differ"; exit 1; }
  "$ZANDOR" verify "$SOLID/$level.pck" >/dev/null || { echo "zandor verify refused the solid $level package"; exit 1; }
  size=$(stat -c %s "$SOLID/$level.pck")
  printf '%-8s %10.2f %9.3f %9.3f %9.3f %9.2f %8d\n' "$level" "$(echo "$size / 1000000" | bc -l)" \
    "$(echo "$size / $gzip_total" | bc -l)" "$(echo "$size / $xz_tar" | bc -l)" "$(echo "$size / $nsis_bytes" | bc -l)" \
    "$seconds" $((kib / 1024)) >> "$TABLE/solid"
done
printf 'peers    gzip -9 per file %.2f MB, xz -9 of the tar %.2f MB, NSIS /SOLID lzma %.2f MB (installer less its stub)\n' \
  "$(echo "$gzip_total / 1000000" | bc -l)" "$(echo "$xz_tar / 1000000" | bc -l)" "$(echo "$nsis_bytes / 1000000" | bc -l)" \
  >> "$TABLE/solid"

echo "== sizes per part"
"$OUT/compress_bench" "$CORPUS" "$SIZES" "$PACKS/fast.1.pck" "$PACKS/default.1.pck" "$PACKS/best.1.pck" \
  > "$TABLE/size"
echo "== decode (7 passes each, alternating with inflate)"
{
  "$OUT/decode_bench" "ExpandBlock, installer flags" "$PACKS/default.1.pck" "$CORPUS"
  "$OUT/decode_bench_os" "ExpandBlock, plain -Os" "$PACKS/default.1.pck" "$CORPUS"
} > "$TABLE/decode"
echo "== extraction (median of 5 rounds)"
"$OUT/extract_bench" "$ZANDOR" "$PACKS/default.1.pck" "$CORPUS" "$OUT/extract" 5 > "$TABLE/extract"

if [ "$RACE" = yes ]; then
  # The race needs the native zandor and the x86_64 installer.
  echo "== building zandor (native) and Install.exe (win64) for the install race"
  (cd "$ROOT" && cmake --preset native >/dev/null && cmake --build --preset native --target zandor >/dev/null &&
   cmake --preset win64 >/dev/null && cmake --build --preset win64 --target Install Uninstall zandor >/dev/null)
  echo "== install race (bench/install_race.sh)"
  # Its own notes on stderr stay in race.log unless it fails.
  if ! bash "$ROOT/bench/install_race.sh" > "$TABLE/race" 2> "$OUT/race.log"; then
    { tail -n 5 "$OUT/race.log"; echo "(install_race.sh failed; the lines before are what it printed)"; } >> "$TABLE/race"
  fi
fi

# The table.
{
  cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
  echo
  echo "ZANDOR BENCHMARK  $(date -u '+%Y-%m-%d %H:%M UTC')  $(git -C "$ROOT" rev-parse --short HEAD)  $cpu, $CORES cores"
  echo "load average at start $LOAD_START, at end $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "corpus $CORPUS: $(find "$CORPUS" -type f | wc -l) files, $(echo "scale=2; $bytes / 1000000" | bc) MB" \
       "(MB = 10^6 bytes)"
  echo "Every ratio is ours / peer from this run, of sizes or of times: below 1.00 we are smaller or faster."
  echo
  echo "SIZE  each file compressed alone, sizes summed per part; peer MB: the peers' sums"
  cat "$TABLE/size"
  echo
  echo "COMPRESS  zandor pack of the corpus; wall time, median of 3 runs (best: 1 run); MB/s of input;"
  echo "          cores: processor time / wall time (below the thread count: other work took the rest);"
  echo "          speed-up: MB/s on every core / on one thread; RSS: peak resident set in MiB"
  if [ "$CORES" -gt 1 ]; then
    printf '%-8s %9s %8s %6s %9s %8s %6s %8s %7s %7s %10s\n' level "1 thr s" "MB/s" cores "$CORES thr s" "MB/s" cores \
      speed-up "RSS 1" "RSS $CORES" "package MB"
  else
    printf '%-8s %9s %8s %6s %8s %7s %10s\n' level "1 thr s" "MB/s" cores speed-up "RSS 1" "package MB"
  fi
  cat "$TABLE/compress"
  echo
  echo "SOLID  the corpus raw in one setup.pck, packed as one block (every core); targets: default <= 0.80,"
  echo "       best <= 0.75 of gzip -9 per file, best <= 1.10 of NSIS /SOLID lzma"
  printf '%-8s %10s %9s %9s %9s %9s %8s\n' level "MB" "/gzip-9" "/xz-tar" "/NSIS" "pack s" "RSS MiB"
  cat "$TABLE/solid"
  echo
  echo "DECODE  the compressed blocks of the default package, once each per pass; median of 7 passes"
  printf '%-34s %5s %8s %9s %9s %9s %9s\n' decoder blocks "out MB" "MB/s" "inflate" "time o/p" "speed o/p"
  cat "$TABLE/decode"
  echo "(inflate: zlib's uncompress of zlib -9 streams of the same files, timed in the same process)"
  echo
  echo "EXTRACT  the corpus into a fresh folder, whole command; median of 5 rounds, files checked after each"
  cat "$TABLE/extract"
  if [ "$RACE" = yes ]; then
    echo
    echo "INSTALL RACE  bench/install_race.sh under wine64, as it prints it"
    sed 's/^/  /' "$TABLE/race"
  fi
} | tee "$OUT/table.txt"

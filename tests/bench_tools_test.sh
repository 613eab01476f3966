#!/usr/bin/env bash
# The benchmark programs report numbers only for what they checked: on a
# small corpus, the size table sums each part from the packages and divides
# by the peers' sizes (a worked example with literal numbers: the random
# files are stored raw, so our sizes are the files' own), a corpus file
# missing from the reference list or changed after packing is refused, and
# decode and extraction runs end with one row each. No speed is checked.
# Usage: bench_tools_test.sh ZANDOR BENCH_DIR (the folder of compress_bench,
# decode_bench and extract_bench)
set -euo pipefail
ZANDOR=$1
BENCH=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

C="$WORK/corpus"
mkdir -p "$C/bin/sub" "$C/text" "$C/media"
# Random bytes do not compress: each is stored as it is.
head -c 1000 /dev/urandom > "$C/bin/a.dll"
head -c 3000 /dev/urandom > "$C/bin/sub/b c.dll"
head -c 4000 /dev/urandom > "$C/media/d.png"
# The one file that compresses, for the decoder.
seq 1 20000 > "$C/text/c.txt"
for level in fast default best; do
  "$ZANDOR" pack "$C" -o "$WORK/$level.pck" --level "$level" >/dev/null
done
text_size=$(stat -c %s "$C/text/c.txt")
cat > "$WORK/sizes" <<EOF
500 400 250 bin/a.dll
1500 1600 1750 bin/sub/b c.dll
8000 4000 2000 media/d.png
1000 1000 1000 text/c.txt
EOF

size_table() { "$BENCH/compress_bench" "$C" "$1" "$WORK/fast.pck" "$WORK/default.pck" "$WORK/best.pck"; }
size_table "$WORK/sizes" > "$WORK/table"
cat "$WORK/table"
# bin: 4000 bytes that do not compress, stored in checked blocks of 4084
# bytes, against 2000, 2000 and 2000; media: 4000 stored as 4038 against
# 8000, 4000 and 2000; the folder below bin/ still counts as bin.
expect_row() {
  grep -qE "$1" "$WORK/table" || fail "no row matching: $1"
}
expect_row '^bin +2 +0\.00 +fast +0\.004 +2\.042 +2\.042 +2\.042$'
expect_row '^ +best +0\.004 +0\.505 +1\.010 +2\.019$'
expect_row '^ +peer MB +0\.002 +0\.002 +0\.002$'
expect_row '^media +1 +0\.00 +fast +0\.004 +0\.505 +1\.010 +2\.019$'
expect_row '^ +peer MB +0\.008 +0\.004 +0\.002$'
expect_row '^ +peer MB +0\.011 +0\.007 +0\.005$'
expect_row "^all +4 +$(awk -v b=$((8000 + text_size)) 'BEGIN { printf "%.2f", b / 1e6 }') +fast"
[ "$(grep -c 'peer MB' "$WORK/table")" = 4 ] || fail "expected bin, text, media and all"
[ "$(grep -n '^[a-z]' "$WORK/table" | cut -d: -f2 | cut -d' ' -f1 | tr '\n' ' ')" = "part bin text media all " ] ||
  fail "parts out of order"

# A file the peers did not measure is refused, not summed as 0.
grep -v ' media/' "$WORK/sizes" > "$WORK/short"
if size_table "$WORK/short" > /dev/null 2>&1; then fail "compress_bench took a corpus file without peer sizes"; fi

"$BENCH/decode_bench" "installer flags" "$WORK/default.pck" "$C" 1 > "$WORK/decode"
cat "$WORK/decode"
# Every file is a checked block now, the ones that do not compress too.
grep -qE "^installer flags +4 +$(awk -v b=$((8000 + text_size)) 'BEGIN { printf "%.2f", b / 1e6 }') " "$WORK/decode" ||
  fail "decode_bench did not decode the four blocks"
"$BENCH/extract_bench" "$ZANDOR" "$WORK/default.pck" "$C" "$WORK/extract" 1 > "$WORK/extract.txt"
cat "$WORK/extract.txt"
[ "$(grep -cE '^(zandor extract|tar -x|unzip) ' "$WORK/extract.txt")" = 3 ] || fail "extract_bench rows"
[ ! -e "$WORK/extract" ] || fail "extract_bench left its work folder"

# A corpus that no longer matches the package: neither speed is reported.
echo changed >> "$C/text/c.txt"
if "$BENCH/decode_bench" x "$WORK/default.pck" "$C" 1 > /dev/null 2>&1; then
  fail "decode_bench timed a block that expands to other bytes"
fi
if "$BENCH/extract_bench" "$ZANDOR" "$WORK/default.pck" "$C" "$WORK/extract" 1 > /dev/null 2>&1; then
  fail "extract_bench timed an extraction that gave other bytes"
fi

# The record benchmark: a small record, written and read whole.
"$BENCH/record_bench" "$WORK/record" 2000 1 > "$WORK/record.txt"
cat "$WORK/record.txt"
[ "$(grep -cE '^  (install update|uninstaller read|plain line-by-line read) ' "$WORK/record.txt")" = 3 ] ||
  fail "record_bench rows"
[ ! -e "$WORK/record/uninstall.dat" ] || fail "record_bench left its record"
echo "bench tools: ok"

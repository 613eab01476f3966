#!/usr/bin/env bash
# Runs every test: builds the three presets, runs ctest on the native build
# (unit tests, fuzz-corpus replays, end-to-end tests of the x86_64 installer
# under Wine, and again of the shipped 32-bit one where 32-bit programs run),
# runs the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and gives each fuzzer a short run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

echo "== native tests (unit, replay, end-to-end under Wine)"
ctest --preset native
# The 32-bit end-to-end run finds out whether it can run here; say so when it could not.
if [ -f build/native/e2e32/skipped ]; then
  echo "32-bit end-to-end run skipped: $(cat build/native/e2e32/skipped)"
fi

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZANDOR_SANITIZE=ON -DZANDOR_BENCH=OFF >/dev/null
cmake --build build/asan -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -j2 --output-on-failure -E '^e2e'

echo "== fuzz smoke"
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZANDOR_FUZZ=ON -DZANDOR_SANITIZE=ON -DZANDOR_TESTS=OFF -DZANDOR_BENCH=OFF >/dev/null
cmake --build build/fuzz -j2
seconds="${ZANDOR_FUZZ_SECONDS:-30}"
for fuzzer in build/fuzz/*_fuzz; do
  name=$(basename "$fuzzer")
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 -artifact_prefix="build/fuzz/$name-" \
    "$work" >"build/fuzz/$name.log" 2>&1 \
    || { tail -50 "build/fuzz/$name.log"; exit 1; }
  grep -o 'DONE .*' "build/fuzz/$name.log" | tail -1 || true
  rm -rf "$work"
done
echo "fuzz: all passed"

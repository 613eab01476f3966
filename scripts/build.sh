#!/usr/bin/env bash
# Builds the three presets: native (tool, tests), win64 (the installer that
# the end-to-end tests run under Wine) and win32 (the shipped installer).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
for preset in native win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

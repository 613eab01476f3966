#!/usr/bin/env bash
# Checks that the native zandor tool, which setup authors run on their build
# machines, carries no test double and no login code: those belong to the
# installer and its tests (see the layers in CMakeLists.txt).
#
# Usage: check_tool_symbols.sh ZANDOR_BINARY
set -euo pipefail
binary="$1"
symbols=$(nm -C "$binary")
# A stripped binary would pass for want of names.
grep -q 'RunZandor' <<<"$symbols" || { echo "$binary: no symbol table to check"; exit 1; }
# The sanitizer runtimes have names of their own with "Double" in them.
found=$(grep -E 'Double|\bOfferLogin\(|HasAdminRights\(' <<<"$symbols" |
        grep -vE '__(asan|lsan|ubsan|sanitizer|interception)::' || true)
if [ -n "$found" ]; then
  echo "$binary links what it must not:"
  echo "$found"
  exit 1
fi
echo "check_tool_symbols: $(basename "$binary") has no double and no login code"

#!/usr/bin/env bash
# Checks that every include in src/ and tools/ goes down the layers:
#
#   platform <- runtime <- package, ui <- actions <- uninstall <- app
#
# Each layer may include itself and the layers below it:
#   platform   platform
#   runtime    runtime platform
#   package    package runtime platform
#   ui         ui runtime platform
#   actions    actions package ui runtime platform
#   uninstall  uninstall actions package ui runtime platform
#   app        app actions uninstall package ui runtime platform
#   tools      lib package runtime platform   (the builder; lib/ is its own)
# Every layer reaches platform/ directly, app for the system services
# (environment, identity, restart, sleep) too. platform/ knows no installer:
# its entry points call the program's ProgramMain (platform/entry.h).
# The layer libraries in CMakeLists.txt link along the same arrows, so a call
# the wrong way fails to link as well. Outside platform/ no code includes
# <windows.h> or a POSIX header, nor asks for _WIN32.
#
# Usage: check_layers.sh [SOURCE_ROOT]; prints each crossing, exits 1 on any.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

declare -A allowed=(
  [platform]="platform"
  [runtime]="runtime platform"
  [package]="package runtime platform"
  [ui]="ui runtime platform"
  [actions]="actions package ui runtime platform"
  [uninstall]="uninstall actions package ui runtime platform"
  [app]="app actions uninstall package ui runtime platform"
  [tools]="lib package runtime platform"
)

failures=0
for layer in "${!allowed[@]}"; do
  folder="src/$layer"
  [ "$layer" = tools ] && folder="tools"
  [ -d "$folder" ] || continue
  while IFS= read -r hit; do
    file="${hit%%:*}"
    rest="${hit#*:}"
    line="${rest%%:*}"
    target=$(sed -E 's/^[^"]*"([a-z_]+)\/.*/\1/' <<<"${rest#*:}")
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer may not include $target/"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done

# System headers and platform tests stay in platform/.
while IFS= read -r hit; do
  echo "$hit: only platform/ talks to the system"
  failures=$((failures + 1))
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*(include[[:space:]]*<(windows|unistd|fcntl|dirent|signal)\.h>|include[[:space:]]*<sys/|(el)?if(def|ndef)?[[:space:]].*_WIN32)' \
           src tools --include='*.h' --include='*.cpp' | grep -v '^src/platform/' || true)

if [ "$failures" -ne 0 ]; then
  echo "check_layers: $failures crossing(s) of the layers" >&2
  exit 1
fi
echo "check_layers: every include goes down the layers"

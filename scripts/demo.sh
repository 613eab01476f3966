#!/usr/bin/env bash
# The main job: builds everything, makes the demo installer from
# examples/demo with the zandor tool, and runs it under Wine in a private
# prefix (build/demo/prefix), printing what it did.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/build.sh >/dev/null

out="$root/build/demo"
mkdir -p "$out"
rm -rf "$out/program"
cp -r examples/demo/program "$out/program"
# The demo program is the recording probe: started, it notes how.
cp build/win64/probe.exe "$out/program/demo.exe"

echo "== zandor build examples/demo"
build/native/zandor build examples/demo/setup --program "$out/program" \
  --stub build/win64/Install.exe -o "$out/Install.exe"
build/native/zandor list "$out/Install.exe"
echo "   (the shipped 32-bit installer: $(stat -c %s build/win32/Install.exe)-byte stub in build/win32)"

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
export WINEPREFIX="$out/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  echo "== making the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
fi

echo "== running Install.exe /Q under Wine"
export ZANDOR_STATE_DUMP="Z:$(printf '%s' "$out/state.ini" | tr '/' '\\')"
rc=0
"$wine" "$out/Install.exe" /Q || rc=$?
wineserver -w
echo "exit code: $rc"
echo "== what setup resolved"
grep -aE '^(Titel|Version|LanguageNumber|InstallDir|StartMenuConfigured|WorkFolder) = ' "$out/state.ini" | tr -d '\r'
target="$WINEPREFIX/drive_c/Program Files/Zandor Demo"
echo "== installed into C:\\Program Files\\Zandor Demo"
(cd "$target" && find . -type f -printf '%-28p %8s bytes  %TY-%Tm-%Td %TH:%TM\n' | sort)

#!/usr/bin/env bash
# The main job: builds everything, makes the demo product's installer from
# examples/demo (its program demo.exe built in the win64 preset, its side
# picture and header icon drawn here with ImageMagick), installs it quietly
# under Wine in a fresh private prefix (build/demo/prefix) and prints what the
# install left: files, links, registry values and the uninstall record, then
# removes it again with its Uninstall.exe /Q and says what is left.
# ZANDOR_DEMO_LANG names the locale Wine runs in (default C.UTF-8, English);
# de_DE.UTF-8, where the machine has it (locale -a), installs with German texts.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/build.sh >/dev/null

out="$root/build/demo"
mkdir -p "$out"
rm -rf "$out/setup" "$out/program"
cp -r examples/demo/setup "$out/setup"
cp -r examples/demo/program "$out/program"
mkdir -p "$out/program/tools"
cp build/win64/demo.exe "$out/program/demo.exe"
# The start menu's second program: the same window under another name.
cp build/win64/demo.exe "$out/program/tools/Demo Info.exe"

# The side picture (130 x 300) and the header icon (32 x 32 and 16 x 16): a
# "Z" drawn as a polygon, so only the picture's caption needs a font.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
convert -size 130x300 gradient:'#1d4e89-#5fb0e0' \
  -fill '#ffffff30' -draw 'circle 110,250 190,250' -draw 'circle 10,40 -40,40' \
  -fill white -draw 'polygon 35,70 95,70 95,80 52,128 95,128 95,140 35,140 35,130 78,82 35,82' \
  -font "$font" -gravity north -pointsize 20 -annotate +0+160 'Zandor' -pointsize 13 -annotate +0+188 'Demo 1.0' \
  -type TrueColor BMP3:"$out/setup/splash.bmp"
convert -size 32x32 xc:none -fill '#1d4e89' -draw 'roundrectangle 0,0 31,31 7,7' \
  -fill white -draw 'polygon 8,7 24,7 24,11 14,21 24,21 24,25 8,25 8,21 18,11 8,11' \
  \( +clone -resize 16x16 \) "$out/setup/header.ico"

echo "== zandor build examples/demo"
build/native/zandor build "$out/setup" --program "$out/program" --stub build/win64/Install.exe \
  --uninstaller build/win64/Uninstall.exe \
  -o "$out/Install.exe" >/dev/null
echo "Install.exe: $(stat -c %s "$out/Install.exe") bytes, carrying" \
  "$(build/native/zandor list "$out/Install.exe" | awk -F'\t' 'NR > 1 && NF > 5 { printf "%s ", $6 }')"
echo "(the shipped 32-bit installer is a $(stat -c %s build/win32/Install.exe)-byte stub in build/win32)"

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine links a prefix's Desktop and Documents to the folders of the user's
# home; a home of its own keeps the demo's links off the real desktop, and the
# prefix gets folders of its own in place of the links.
export HOME="$out/home"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
if [ ! -d "$out/prefix-clean/drive_c/windows" ]; then
  echo "== making a Wine prefix (once)"
  rm -rf "$out/prefix-clean"
  WINEPREFIX="$out/prefix-clean" "$wine" wineboot -i >/dev/null 2>&1
  WINEPREFIX="$out/prefix-clean" wineserver -w
  find "$out/prefix-clean/drive_c/users" -mindepth 2 -maxdepth 2 -type l | while IFS= read -r folder; do
    rm "$folder" && mkdir "$folder"
  done
fi
# Every run installs into a fresh copy, so what is printed is this run's.
export WINEPREFIX="$out/prefix"
rm -rf "$WINEPREFIX"
cp -a "$out/prefix-clean" "$WINEPREFIX"

lang="${ZANDOR_DEMO_LANG:-C.UTF-8}"
echo "== Install.exe /Q under Wine ($lang)"
export ZANDOR_STATE_DUMP="Z:$(printf '%s' "$out/state.ini" | tr '/' '\\')"
rm -f "$out/state.ini"
rc=0
timeout 120 env LANG="$lang" LC_ALL="$lang" "$wine" "$out/Install.exe" /Q || rc=$?
wineserver -w
value() { awk -v k="$1 = " 'index($0, k) == 1 { print substr($0, length(k) + 1); exit }' "$out/state.ini" | tr -d '\r'; }
echo "exit code $rc; language number $(value LanguageNumber); installation folder $(value InstallDir)"

drive_c="$WINEPREFIX/drive_c"
target="$drive_c/Program Files/Zandor Demo"
echo "== files in C:\\Program Files\\Zandor Demo"
(cd "$target" 2>/dev/null && find . -type f -printf '  %-26P %6s bytes  %TY-%Tm-%Td %TH:%TM\n' | sort) ||
  echo "  (none)"

# A link as the shell reads it back (tests/programs/linkinfo.cpp):
# target, arguments, working folder and icon.
link_fields() {
  "$wine" build/win64/linkinfo.exe "Z:$(printf '%s' "$1" | tr '/' '\\')" "Z:$(printf '%s' "$out/link.txt" | tr '/' '\\')" \
    >/dev/null 2>&1 || { echo "?"; return; }
  tr -d '\r' <"$out/link.txt" | awk -F= '{ v[$1] = substr($0, length($1) + 2) }
    END { printf "%s", v["target"]; if (v["arguments"] != "") printf " %s", v["arguments"]
          printf "  (in %s, icon %s,%s)", v["workdir"] == "" ? "-" : v["workdir"], v["icon"], v["iconindex"] }'
}
echo "== links, by folder"
links=$(cd "$drive_c" && find users -name '*.lnk' | sort)
[ -n "$links" ] || echo "  (none)"
folder=
while IFS= read -r link; do
  [ -n "$link" ] || continue
  if [ "${link%/*}" != "$folder" ]; then
    folder=${link%/*}
    echo "  C:\\${folder//\//\\}\\"
  fi
  echo "    ${link##*/} -> $(link_fields "$drive_c/$link")"
done <<<"$links"

# The values of one key of a Wine registry file, "\\" shown as "\".
reg_key() {  # reg_key FILE 'KEY\PATH'
  local header
  header="[$(printf '%s' "$2" | sed 's/\\/\\\\\\\\/g')]"
  awk -v h="$header" 'index($0, h) == 1 { on = 1; next } on && /^$/ { exit } on && !/^#/ { print "  " $0 }' "$1" |
    sed 's/\\\\/\\/g'
}
guid=$(awk -F= '$1 == "GUID" { print $2 }' examples/demo/setup/setup.ini | tr -d '\r')
uninstall_key="Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$guid"
state_key="Software\\Zandor\\$guid"
echo "== registry: HKLM\\$uninstall_key"
entry=$(reg_key "$WINEPREFIX/system.reg" "$uninstall_key")
echo "${entry:-  (none)}"
echo "== registry: HKCU\\$state_key"
state=$(reg_key "$WINEPREFIX/user.reg" "$state_key")
echo "${state:-  (none: only the wizard install keeps the choices of the user there)}"

echo "== uninstall.dat (the uninstaller's record)"
record="$target/uninstall.dat"
if [ -f "$record" ]; then
  # Setup's groups in full; the uninstaller's texts and lists counted.
  iconv -f CP1252 -t UTF-8 "$record" | tr -d '\r' | awk '
    /^\[/ { group = $0; if (group != "[Language]" && group != "[Files]" && group != "[Dirs]") print "  " $0; next }
    group == "[Language]" || group == "[Files]" || group == "[Dirs]" { count[group]++; if (!first[group]) first[group] = $0; next }
    !/^;/ { print "    " $0 }
    END { n = split("[Files] [Dirs] [Language]", order, " ")
          for (i = 1; i <= n; i++) if (count[order[i]]) printf "  %s %d keys, the first: %s\n", order[i], count[order[i]], first[order[i]] }'
else
  echo "  (none)"
fi

echo "== Uninstall.exe /Q under Wine"
rc=0
timeout 120 "$wine" 'C:\Program Files\Zandor Demo\Uninstall.exe' /Q || rc=$?
# Its cleanup copy removes the uninstaller and the folder once it has ended.
for _ in $(seq 1 100); do [ -e "$target" ] || break; sleep 0.2; done
wineserver -w
echo "exit code $rc; C:\\Program Files\\Zandor Demo $([ -e "$target" ] && echo "still holds: $(cd "$target" && find . -type f | tr '\n' ' ')" || echo "is gone")"
left=$(cd "$drive_c" && find users -name '*.lnk' | sort)
echo "links left: ${left:-none}"
echo "uninstall entry: $(grep -qiF "Uninstall\\\\$guid" "$WINEPREFIX/system.reg" && echo "still there" || echo "gone")"

#!/usr/bin/env bash
# The window toolkit in a real window under Xvfb: window_demo.exe builds a
# 480 x 335 window with every kind of control and checks places, fonts, rich
# text, images, progress, polling and draining from inside; this script then
# drives it with real keys and clicks (Tab and Shift+Tab between the edits,
# Enter for the default button, Escape for the cancel control, a click on a
# check box, arrow keys in an option group, the hyperlink, Alt+F4) and checks the events it logged
# and the colours on screenshots, which stay in the build folder.
source "$(dirname "$0")/lib.sh"
run_under_xvfb "$@"
e2e_begin
DEMO="$WIN_DIR/window_demo.exe"
[ -f "$DEMO" ] || { echo "missing $DEMO"; exit 1; }
for tool in xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done
SHOTS="$ZANDOR_E2E_WORK"
LOG="$T/demo.log"

# A licence in RTF, a long single-line text with RTF markup in it, a picture.
printf '%s\n' '{\rtf1\ansi\deff0{\fonttbl{\f0 Arial;}}\f0\fs16 Licence: {\b bold words} here. This licence line is long enough that it has to wrap at the width of the viewer more than once.\par Second paragraph.\par}' >"$T/licence.rtf"
{
  printf '{\\rtf1 markup shows as text in a .txt file. '
  for i in $(seq 1 30); do printf 'word%s ' "$i"; done
  printf '\r\n'
} >"$T/readme.txt"
convert -size 60x140 gradient:navy-skyblue BMP3:"$T/side.bmp"

# Waits until the demo has logged $2 (default 1) lines matching $1.
wait_for() {
  for _ in $(seq 1 300); do
    [ "$(grep -c -- "$1" "$LOG" 2>/dev/null)" -ge "${2:-1}" ] && return 0
    sleep 0.1
  done
  echo "FAIL: no log line matching '$1'"
  failures=$((failures + 1))
  return 1
}

# Colour of the screen pixel at X Y of a screenshot, as RRGGBB.
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info:; }
# Screen rectangle of a control the demo logged: X Y W H.
rect() { awk -v id="$1" '$1 == "rect" && $2 == id { print $3, $4, $5, $6 }' "$LOG"; }

timeout 180 "$WINE64" "$DEMO" "$(winpath "$LOG")" "$(winpath "$T/licence.rtf")" "$(winpath "$T/readme.txt")" \
  "$(winpath "$T/side.bmp")" >"$T/wine.out" 2>&1 &
demo=$!
wait_for '^ready' || { cat "$T/wine.out"; e2e_end; }
sleep 0.5
import -window root "$SHOTS/window_demo.png"

# Focus starts in the first edit; Tab leaves it for the password field.
xdotool key Tab
wait_for '^event 31 lost-focus'
xdotool type secret
xdotool key Tab
wait_for '^event 32 lost-focus text=secret$'
xdotool key shift+Tab End
xdotool type '!'
xdotool key Tab
wait_for '^event 32 lost-focus text=secret!$'
xdotool key Return
wait_for '^event 41 clicked'
wait_for 'progress at the end of the step'
xdotool key Escape
wait_for '^event 42 clicked'
read -r x y w h < <(rect 28)
xdotool mousemove $((x + w - 5)) $((y + h / 2)) click 1
wait_for '^event 28 clicked state=1'
# Arrow keys move within the option group and tick as they go; the group
# ends with its last option, so Down from there wraps to the first.
read -r ox oy _ oh < <(rect 25)
xdotool mousemove $((ox + 5)) $((oy + oh / 2)) click 1
wait_for '^event 25 clicked'
xdotool key Down
wait_for '^event 26 clicked'
xdotool key Down
wait_for '^event 25 clicked' 2
read -r lx ly lw lh < <(rect 50)
xdotool mousemove $((lx + 20)) $((ly + lh / 2))
sleep 0.7
import -window root "$SHOTS/window_demo_hover.png"
xdotool click 1
wait_for '^event 50 clicked'
xdotool key alt+F4
wait_for '^done'
wait "$demo" || true
# The prefix's wine server goes before this script's X display does.
timeout 30 wineserver -w || true

check "events in order" "$(grep '^event' "$LOG" | tr '\n' '|')" \
  "event 31 lost-focus text=preset|event 32 lost-focus text=secret|event 32 lost-focus text=secret!|event 41 clicked|event 42 clicked|event 28 clicked state=1|event 25 clicked|event 26 clicked|event 25 clicked|event 50 clicked|event close|"
check "checks inside the demo" "$(grep -c '^FAIL' "$LOG")" 0
grep -E '^(FAIL|info)' "$LOG" || true
echo "$(grep -c '^ok' "$LOG") checks passed inside the demo"
check_true "the demo checked its places and fonts" grep -q '^ok: font of control 16 height' "$LOG"

# Colours: the white panel, the coloured check box white through the colour
# list, the plain one in the dialog colour; the link black, in 0x804000
# (red 0, green 0x40, blue 0x80) only under the mouse.
read -r px py pw ph < <(rect 10)
check "white panel" "$(pixel "$SHOTS/window_demo.png" $((px + pw - 20)) $((py + 50)))" FFFFFF
check "coloured check box background" "$(pixel "$SHOTS/window_demo.png" $((x + w - 3)) $((y + h / 2)))" FFFFFF
read -r bx by bw bh < <(rect 27)
check_true "plain check box keeps the dialog colour" \
  test "$(pixel "$SHOTS/window_demo.png" $((bx + bw - 3)) $((by + bh / 2)))" != FFFFFF
link_colours() { convert "$1" -crop "${lw}x${lh}+${lx}+${ly}" +repage -unique-colors txt:- | tr 'a-f' 'A-F'; }
check_true "link drawn black" grep -q '#000000' <<<"$(link_colours "$SHOTS/window_demo.png")"
check_true "link not in the hover colour before" bash -c "! grep -q '#004080' <<<'$(link_colours "$SHOTS/window_demo.png")'"
check_true "link in the hover colour under the mouse" grep -q '#004080' <<<"$(link_colours "$SHOTS/window_demo_hover.png")"
echo "screenshots: $SHOTS/window_demo.png $SHOTS/window_demo_hover.png"
e2e_end

#!/usr/bin/env bash
# Kills under Wine: a quiet install is killed (wineserver -k) at random
# moments, over an empty folder and over an earlier version, in a normal
# folder and in one of 250 characters, where a temporary name beside a file
# passes the path limit. After every kill each file is absent (fresh
# install only) or wholly the old or the new version, never missing over an
# existing install nor a mix; a rerun then installs every file byte for
# byte and leaves no temporary file, nor a killed run's work folder. E2E_KILLS sets the kills per loop.
source "$(dirname "$0")/lib.sh"
e2e_begin
kills=${E2E_KILLS:-30}

# Two versions of the same files: large incompressible ones (stored
# blocks, several MiB each, so kills land inside writes) and small ones.
for v in 1 2; do
  mkdir -p "$T/v$v"
  for n in 1 2 3; do head -c $((2500000 + n * 300000)) /dev/urandom >"$T/v$v/big$n.bin"; done
  for n in a b c d e f; do printf 'version %s of %s\r\n' "$v" "$n" >"$T/v$v/$n.txt"; done
  cp -r "$ZANDOR_SOURCE_DIR/examples/demo/setup" "$T/setup$v"
  sed -i '/^NoCopyExt/d' "$T/setup$v/setup.ini"
  build_setup "$T/setup$v" "$T/Install$v.exe" --program "$T/v$v"
done
files=$(cd "$T/v1" && ls)

long='C:\ZandorKill'
while [ $((${#long} + 60)) -lt 240 ]; do long="$long\\$(printf 'k%.0s' $(seq 1 59))"; done
long="$long\\$(printf 'm%.0s' $(seq 1 $((250 - ${#long} - 1))))"
check "long folder length" "${#long}" 250

posix_of() { local p="$DRIVE_C/${1#C:\\}"; printf '%s' "${p//\\//}"; }

# Starts the install and, once the first file in package order (a.txt) is
# the new version in DIR, so that the copy has begun and the large files
# come next, kills the whole prefix after DELAY seconds more.
install_and_kill() {  # EXE FOLDER DIR DELAY
  "$WINE64" "$1" /Q "/P:$2" >/dev/null 2>&1 &
  local job=$! waited=0
  while [ $waited -lt 1000 ] && ! grep -qs 'version 2' "$3/a.txt"; do
    sleep 0.01
    waited=$((waited + 1))
  done
  sleep "$4"
  wineserver -k >/dev/null 2>&1 || true
  wait "$job" 2>/dev/null || true
}

kill_loop() {  # WHAT FOLDER fresh|existing
  local what=$1 folder=$2 mode=$3 dir i rel bad=0 mixed=0 partial=0 delay
  dir=$(posix_of "$folder")
  rm -rf "$dir"
  [ "$mode" = existing ] && run_setup "$T/Install1.exe" /Q "/P:$folder"
  for i in $(seq 1 "$kills"); do
    if [ "$mode" = fresh ]; then rm -rf "$dir"; else cp "$T/v1"/* "$dir/"; fi
    delay=$(awk -v r=$RANDOM 'BEGIN { printf "%.3f", (r % 60) / 1000 }')
    install_and_kill "$T/Install2.exe" "$folder" "$dir" "$delay"
    local new=0 old=0 absent=0
    for rel in $files; do
      if [ ! -e "$dir/$rel" ]; then
        absent=$((absent + 1))
        [ "$mode" = existing ] && { echo "kill $i after ${delay}s: $rel missing"; bad=$((bad + 1)); }
      elif cmp -s "$dir/$rel" "$T/v2/$rel"; then
        new=$((new + 1))
      elif [ "$mode" = existing ] && cmp -s "$dir/$rel" "$T/v1/$rel"; then
        old=$((old + 1))
      else
        echo "kill $i after ${delay}s: $rel is neither version"
        bad=$((bad + 1))
      fi
    done
    [ "$new" -gt 0 ] && [ $((old + absent)) -gt 0 ] && mixed=$((mixed + 1))
  done
  check "$what: files whole after $kills kills" "$bad" 0
  echo "$what: $mixed of $kills kills landed while the files were being written"
  check_true "$what: some kills landed inside the copy" test "$mixed" -gt 0
  run_setup "$T/Install2.exe" /Q "/P:$folder"
  for rel in $files; do check_true "$what: rerun writes $rel byte for byte" cmp -s "$T/v2/$rel" "$dir/$rel"; done
  check "$what: no temporary files after the rerun" "$(find "$dir" -name '~zd*' | wc -l)" 0
  # The rerun removed the work folders of the killed runs, and its own.
  check "$what: no work folders left in %TEMP%" \
    "$(find "$(temp_dir)" -maxdepth 2 \( -name setup.pck -o -name setup.ini -o -name '*.zdrun' \) | wc -l)" 0
}

kill_loop "fresh install" 'C:\ZandorKill1' fresh
kill_loop "over an existing install" 'C:\ZandorKill2' existing
kill_loop "fresh install, 250 characters" "$long" fresh
kill_loop "over an existing install, 250 characters" "$long" existing
e2e_end

#!/usr/bin/env bash
# A deployment as an administrator's tool runs it, under Wine: a quiet
# install into a folder given with /P, whose association line asks its
# question, ends on its own within a time limit and logs the question with
# its answer; a file of the type opened through the shell ("start") starts
# the installed program with the file; a quiet update without /P goes into
# the remembered folder; the uninstall entry holds every value an inventory
# tool reads; the quiet uninstall of its QuietUninstallString leaves the
# prefix as before the install, key by key and file by file, the
# extension's previous type and the emptied parent folders included, and
# its cleanup copy leaves the temporary folder when it ends.
source "$(dirname "$0")/lib.sh"
e2e_begin
UNINSTALLER="$WIN_DIR/Uninstall.exe"
[ -f "$UNINSTALLER" ] || { echo "missing $UNINSTALLER"; exit 1; }
# Wine mirrors associations into its own menu files when its menu builder
# runs; that is Wine's work, not the installer's.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

GUID='{6A1B2C3D-0000-4000-8000-00000000D3E1}'
APP='C:\Deploy Apps\Deploy Co\App'
APP_DIR="$DRIVE_C/Deploy Apps/Deploy Co/App"
DEFAULT_DIR="$DRIVE_C/Deploy Default"
TIME_LIMIT=60

make_installer() {  # make_installer VERSION OUT.exe
  mkdir -p "$T/setup-$1"
  printf '%s\r\n' '[Settings]' 'ProgExe=app.exe' 'DefaultDir=C:\Deploy Default\App' \
    '[Info]' 'Titel=Deploy App' "Version=$1" "GUID=$GUID" 'Author=Deploy Makers' \
    'Web=https://example.org/deploy' 'EMail=deploy@example.org' \
    '[StartMenue]' 'ProgLink=Deploy App' '[Task]' 'Desktop=0' 'StartMenu=0' \
    '[UserTask]' 'Number=2' 'Task1=10|app.exe|zdd|Deploy document|-1||1' 'Task2=10|app.exe|.zdd|Dotted|-1||0' \
    >"$T/setup-$1/setup.ini"
  build_setup "$T/setup-$1" "$2" --program "$T/program" --uninstaller "$UNINSTALLER" 2>/dev/null
}

# Runs a quiet install and answers the seconds it took; a run that blocks
# is ended by the limit.
timed_quiet() {  # timed_quiet EXE ARGS...
  local start=$SECONDS rc=0
  timeout "$TIME_LIMIT" "$WINE64" "$@" >"$T/wine.out" 2>&1 || rc=$?
  wineserver -w
  [ "$rc" -eq 0 ] || echo "FAIL: $* exited with $rc" >&2
  echo $((SECONDS - start))
}

# "NAME|TYPE|DATA" for every value of the uninstall entry, sorted.
entry_values() {
  local key
  key="HKLM\\$(hklm_software_key 'Software\Microsoft\Windows\CurrentVersion\Uninstall')\\$GUID"
  "$WINE64" reg query "$key" 2>/dev/null | tr -d '\r' |
    awk '/^    [^ ]/ { sub(/^    /, ""); n = index($0, "    "); name = substr($0, 1, n - 1); rest = substr($0, n + 4)
      m = index(rest, "    "); print name "|" substr(rest, 1, m - 1) "|" substr(rest, m + 4) }' | LC_ALL=C sort
}

mkdir -p "$T/program"
cp "$PROBE" "$T/program/app.exe"
make_installer 1.0 "$T/Install-1.exe"
make_installer 2.0 "$T/Install-2.exe"
mkdir -p "$DRIVE_C/Deploy Docs"
printf 'a letter\r\n' >"$DRIVE_C/Deploy Docs/Letter.zdd"
rm -rf "$DRIVE_C/Deploy Apps" "$DEFAULT_DIR"

# The extension belongs to another program before the install.
{
  "$WINE64" reg add 'HKCR\.zdd' /ve /t REG_SZ /d zddfile /f
  "$WINE64" reg add 'HKCR\zddfile' /ve /t REG_SZ /d 'Other document' /f
  "$WINE64" reg add 'HKCR\zddfile\shell\open\command' /ve /t REG_SZ /d 'notepad.exe "%1"' /f
} >/dev/null 2>&1
# Wine registers its display devices when the first windowed program of a
# prefix starts; a refused uninstaller does that before the snapshot.
timeout 60 "$WINE64" "$(winpath "$UNINSTALLER")" /Q >/dev/null 2>&1 || true
snapshot "$T/before.txt"

# ------------------------------------------------------ 1. quiet install --
seconds=$(timed_quiet "$(winpath "$T/Install-1.exe")" /Q "/P:$APP" "/L:$(winpath "$T/install.log")")
check_true "the quiet install ended within ${TIME_LIMIT}s (took ${seconds}s)" test "$seconds" -lt "$TIME_LIMIT"
check_true "installed into the /P folder" test -f "$APP_DIR/app.exe"
log=$(tr -d '\r' <"$T/install.log")
check_true "the audit log holds the question and its quiet answer" \
  grep -q "^quiet  asked  Associate File Extension  Associate File Extension '\*\.zdd' with the program?  answer  Yes$" \
  <<<"$log"
check_true "the dotted extension is refused in the audit log" \
  grep -q '^task  refused  the extension is empty or not a bare name  10|app.exe|.zdd|' <<<"$log"
check "no key for the dotted extension" "$("$WINE64" reg query 'HKCR\..zdd' >/dev/null 2>&1 && echo there)" ""

# -------------------------------------------- 2. the shell opens the file --
rm -f "$T/probe.log"
timeout 60 "$WINE64" start /wait 'C:\Deploy Docs\Letter.zdd' >>"$T/wine.out" 2>&1 || true
wineserver -w
check_true "start ran the installed program" grep -qF "$APP\\app.exe" "$T/probe.log"
check_true "with the file as its argument" grep -qF 'C:\Deploy Docs\Letter.zdd' "$T/probe.log"

# ------------------------------------------- 3. quiet update without /P --
seconds=$(timed_quiet "$(winpath "$T/Install-2.exe")" /Q)
check_true "the quiet update ended within ${TIME_LIMIT}s" test "$seconds" -lt "$TIME_LIMIT"
check_true "the update went into the remembered folder" test ! -e "$DEFAULT_DIR"
check "the record names the remembered folder" "$(ini_value "$APP_DIR/uninstall.dat" ProgDir)" "$APP\\"
check "the record knows the two parents the first install made" \
  "$(ini_value "$APP_DIR/uninstall.dat" MadeParents)" 2

# ------------------------------------------------- 4. the uninstall entry --
size=0
while read -r bytes; do size=$((size + bytes)); done < <(find "$APP_DIR" -type f ! -name uninstall.dat -printf '%s\n')
entry=$(entry_values)
expected="Contact|REG_SZ|deploy@example.org
DisplayIcon|REG_SZ|$APP\\app.exe
DisplayName|REG_SZ|Deploy App 2.0
DisplayVersion|REG_SZ|2.0
EstimatedSize|REG_DWORD|KB
HelpLink|REG_SZ|https://example.org/deploy
InstallLocation|REG_SZ|$APP\\
NoModify|REG_DWORD|0x1
NoRepair|REG_DWORD|0x1
Publisher|REG_SZ|Deploy Makers
QuietUninstallString|REG_SZ|\"$APP\\uninstall.exe\" /Q
URLInfoAbout|REG_SZ|https://example.org/deploy
UninstallString|REG_SZ|\"$APP\\uninstall.exe\""
kb=$(sed -n 's/^EstimatedSize|REG_DWORD|//p' <<<"$entry")
check "the uninstall entry, value by value" "$(sed 's/^EstimatedSize|REG_DWORD|.*/EstimatedSize|REG_DWORD|KB/' <<<"$entry")" \
  "$expected"
# The program files as packed: all but the record the install rewrites.
check_true "EstimatedSize ($kb) is the program files' KB (about $((size / 1024)))" \
  test $((kb)) -ge $((size / 1024)) -a $((kb)) -le $((size / 1024 + 4))

# --------------------------------------------------- 5. quiet uninstall --
quiet=$(sed -n 's/^QuietUninstallString|REG_SZ|"\(.*\)" \/Q$/\1/p' <<<"$entry")
rc=0
timeout 120 "$WINE64" "$quiet" /Q >>"$T/wine.out" 2>&1 || rc=$?
check "the quiet uninstall ends with 0" "$rc" 0
for _ in $(seq 1 150); do
  [ -e "$DRIVE_C/Deploy Apps" ] || break
  sleep 0.2
done
wineserver -w
check_true "the folders the install made are gone" test ! -e "$DRIVE_C/Deploy Apps"
# The uninstaller's cleanup copy in the temporary folder goes when it ends.
for _ in $(seq 1 100); do
  compgen -G "$(temp_dir)/zd-uninstall-*/cleanup.exe" >/dev/null || break
  sleep 0.2
done
check "the cleanup copy is gone from the temporary folder" \
  "$(compgen -G "$(temp_dir)/zd-uninstall-*/cleanup.exe" || true)" ""
check "the extension has its previous type again" \
  "$("$WINE64" reg query 'HKCR\.zdd' /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')" zddfile
snapshot "$T/after.txt"
LC_ALL=C comm -3 "$T/before.txt" "$T/after.txt" | grep -v 'PendingFileRenameOperations' >"$T/diff.txt" || true
check "the prefix is as before the install" "$(cat "$T/diff.txt")" ""

e2e_end

#!/usr/bin/env bash
# The setup author's script under Wine's own script control (msscript.ocx
# with vbscript.dll and jscript.dll): a VBScript file named in capitals and a
# JScript file each write the four constants they were given into a file
# through Scripting.FileSystemObject, and the values must be the install's
# folders and GUID exactly (the folders end in "\", the GUID holds a quote
# and a "\"). The VBScript's lines end in CR, LF, a zero byte and CR LF, and
# its last line has none; it finds uninstall.dat already written. A script
# file with another extension is not run.
source "$(dirname "$0")/lib.sh"
e2e_begin

# The script body for a language: vbs or js. Writes $1.txt into zdProgDir.
vbs_body() {
  printf 'Set fso = CreateObject("Scripting.FileSystemObject")\r'
  printf 'Set f = fso.CreateTextFile(zdProgDir & "%s.txt", True)\n' "$1"
  printf 'f.WriteLine zdProgDir\0'
  printf 'f.WriteLine zdSetupDir\r\n'
  printf 'f.WriteLine "[" & zdStartMenuDir & "]"\r\n'
  printf 'f.WriteLine zdGUID\r\n'
  printf 'If fso.FileExists(zdProgDir & "uninstall.dat") Then f.WriteLine "yes" Else f.WriteLine "no"\r\n'
  printf 'f.Close'
}
js_body() {
  printf 'var fso = new ActiveXObject("Scripting.FileSystemObject");\n'
  printf 'var f = fso.CreateTextFile(zdProgDir + "%s.txt", true);\n' "$1"
  printf 'f.WriteLine(zdProgDir);\nf.WriteLine(zdSetupDir);\n'
  printf 'f.WriteLine("[" + zdStartMenuDir + "]");\nf.WriteLine(zdGUID);\n'
  printf 'f.WriteLine(fso.FileExists(zdProgDir + "uninstall.dat") ? "yes" : "no");\nf.Close();\n'
}

# make_setup NAME SCRIPTFILE BODY STARTMENU: an installer $T/NAME.exe that
# installs into C:\NAME\ and runs SCRIPTFILE.
make_setup() {
  local name=$1 file=$2 body=$3 startmenu=$4
  mkdir -p "$T/$name/setup" "$T/$name/program"
  printf '%s\r\n' '[Info]' "Titel=$name" 'GUID={AB"C\}' '[Settings]' "DefaultDir=C:\\$name" 'ProgExe=app.exe' \
    '[StartMenue]' "DefaultDir=Script Test $name" '[Task]' "StartMenu=$startmenu" "ScriptFile=$file" \
    >"$T/$name/setup/setup.ini"
  "$body" "$name" >"$T/$name/setup/$file"
  echo "program" >"$T/$name/program/app.exe"
  echo "[Settings]" >"$T/$name/program/uninstall.dat"
  build_setup "$T/$name/setup" "$T/$name.exe" --program "$T/$name/program"
}

# The lines the script wrote, CR LF cut.
line() { sed -n "${2}p" "$DRIVE_C/$1/$1.txt" 2>/dev/null | tr -d '\r'; }

work_pattern='^C:\\users\\[^\\]+\\Temp\\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}\\$'

for run in "ScriptVbs Check.VBS vbs_body 1" "ScriptJs check.js js_body 0"; do
  read -r name file body startmenu <<<"$run"
  rm -rf "${DRIVE_C:?}/$name"
  make_setup "$name" "$file" "$body" "$startmenu"
  run_setup "$T/$name.exe" /Q /R:0 "/P:C:\\$name"  # one GUID for all: the folder is named
  check_true "$file ran and wrote its file" test -f "$DRIVE_C/$name/$name.txt"
  check "$file: zdProgDir" "$(line "$name" 1)" "C:\\$name\\"
  check_true "$file: zdSetupDir is the work folder ($(line "$name" 2))" grep -Eq "$work_pattern" <<<"$(line "$name" 2)"
  check "$file: zdGUID" "$(line "$name" 4)" '{AB"C\}'
  check "$file: uninstall.dat was there before the script" "$(line "$name" 5)" "yes"
done
check_true "VBScript: zdStartMenuDir is the program menu folder ($(line ScriptVbs 3))" \
  grep -Eq '^\[C:\\users\\[^\\]+\\.*\\Start Menu\\Programs\\Script Test ScriptVbs\\\]$' <<<"$(line ScriptVbs 3)"
check "JScript without start-menu links: zdStartMenuDir is empty" "$(line ScriptJs 3)" "[]"

# Another extension: the file is read but nothing runs.
rm -rf "${DRIVE_C:?}/ScriptTxt"
make_setup ScriptTxt check.txt vbs_body 0
run_setup "$T/ScriptTxt.exe" /Q /R:0 '/P:C:\ScriptTxt'
check_true "the install ran" test -f "$DRIVE_C/ScriptTxt/app.exe"
check_true "a .txt script does not run" test ! -e "$DRIVE_C/ScriptTxt/ScriptTxt.txt"

e2e_end

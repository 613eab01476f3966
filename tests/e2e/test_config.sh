#!/usr/bin/env bash
# Configuration under Wine: folder variables resolve to the prefix's real
# folders; setup.ini, a UTF-8 language file chosen by the user's language,
# a previous install state written with "wine reg add", and "/P" all reach
# the run state in their order of precedence.
source "$(dirname "$0")/lib.sh"
e2e_begin

guid='{6E3A1D52-93B7-4C1E-9F0B-2B4C1D7E8A11}'
mkdir -p "$T/setup"
printf '%s\r\n' '[Settings]' 'Language=english.lng#9|deutsch.lng#7|' 'ProgExe=viewer.exe' \
  'DefaultDir=%ProgramFiles%Zandor Viewer' 'NoCopyExt=ini|' \
  '[Info]' 'Titel=Zandor Viewer' 'Version=2.1' "GUID=$guid" 'PrgSize=12 MB' 'Web=https://example.org/' \
  '[StartMenue]' 'DefaultDir=Zandor\Viewer' '[Task]' 'Desktop=1' >"$T/setup/setup.ini"
# UTF-8 with byte-order mark: "Grüße|Welt" and an empty Next.
printf '\xef\xbb\xbf[Page01]\r\nTitel=Gr\xc3\xbc\xc3\x9fe|Welt\r\n[Buttons]\r\nNext=\r\n' >"$T/setup/english.lng"
printf '[Page01]\r\nTitel=Willkommen\r\n' >"$T/setup/deutsch.lng"
use_state_dump "$T/state.ini"
build_setup "$T/setup" "$T/Viewer.exe"
S="$T/state.ini"
LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 run_setup "$T/Viewer.exe" /Q

user=$(ls "$DRIVE_C/users" | grep -v '^Public$' | head -1)
check "%ProgramFiles%" "$(ini_value "$S" %ProgramFiles%)" "C:\\$PROGRAM_FILES\\"
check "%Windows%" "$(ini_value "$S" %Windows%)" 'C:\windows\'
check "%System%" "$(ini_value "$S" %System%)" 'C:\windows\system32\'
check "%Fonts%" "$(ini_value "$S" %Fonts%)" 'C:\windows\Fonts\'
check "%CommonFiles%" "$(ini_value "$S" %CommonFiles%)" "C:\\$PROGRAM_FILES\\Common Files\\"
check "%AppData%" "$(ini_value "$S" %AppData%)" "C:\\users\\$user\\AppData\\Roaming\\"
check "%QuickLaunch%" "$(ini_value "$S" %QuickLaunch%)" \
  "C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\"
check "%Korvex% without the environment" "$(ini_value "$S" %Korvex%)" ''
for v in %MyDocuments% %StartUp% Desktop Programs CommonPrograms; do
  path=$(ini_value "$S" "$v")
  unix="$DRIVE_C/$(printf '%s' "${path#C:\\}" | tr '\\' '/')"
  check_true "$v ($path) is a folder of the prefix" test -d "$unix"
done

check "title" "$(ini_value "$S" Titel)" 'Zandor Viewer'
check "English user: english.lng, language number 9" "$(ini_value "$S" LanguageNumber)" 9
check "UTF-8 text with | as a line feed" "$(ini_value "$S" Page01/Titel)" "$(printf 'Gr\xfc\xdfe\\nWelt')"
check "an empty value stays empty" "$(ini_value "$S" Buttons/Next)" ''
check "defaults carry title and version" "$(ini_value "$S" Page01/Msg1)" \
  "Zandor will now install 'Zandor Viewer' version 2.1 on your computer."
check "installation folder from DefaultDir" "$(ini_value "$S" InstallDir)" "C:\\$PROGRAM_FILES\\Zandor Viewer\\"
check "program folder name" "$(ini_value "$S" ProgFolderName)" 'Zandor Viewer'
check "start-menu folder from setup.ini" "$(ini_value "$S" StartMenuConfigured)" 'Zandor\Viewer'
check "desktop default from setup.ini" "$(ini_value "$S" DesktopDefault)" 1

LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 run_setup "$T/Viewer.exe" /Q
check "German user: deutsch.lng" "$(ini_value "$S" Page01/Titel)" 'Willkommen'
check "German user: language number 7" "$(ini_value "$S" LanguageNumber)" 7

# A previous wizard install left its choices behind.
key="HKCU\\SOFTWARE\\Zandor\\$guid"
"$WINE64" reg add "$key" /v InstallDir /t REG_SZ /d 'C:\Prev\Viewer\' /f >/dev/null 2>&1
"$WINE64" reg add "$key" /v StartMenu /t REG_SZ /d 'Old\Menu\' /f >/dev/null 2>&1
"$WINE64" reg add "$key" /v DesktopIcon /t REG_SZ /d '0' /f >/dev/null 2>&1
LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 run_setup "$T/Viewer.exe" /Q
check "previous installation folder wins over DefaultDir" "$(ini_value "$S" InstallDir)" 'C:\Prev\Viewer\'
check "previous start-menu folder wins" "$(ini_value "$S" StartMenuConfigured)" 'Old\Menu\'
check "stored DesktopIcon 0 beats Desktop=1" "$(ini_value "$S" DesktopDefault)" 0

LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 run_setup "$T/Viewer.exe" /Q '/P:C:\Override' '/S:Other'
check "/P wins over the previous install" "$(ini_value "$S" InstallDir)" 'C:\Override\'
check "/S wins over the previous install" "$(ini_value "$S" StartMenuConfigured)" 'Other'
# The quiet install remembers the folders it installed with, as the wizard does.
check "the quiet install keeps the folder it used" \
  "$("$WINE64" reg query "$key" /v InstallDir 2>/dev/null | tr -d '\r' | grep -o 'C:.*')" 'C:\Override\'

e2e_end

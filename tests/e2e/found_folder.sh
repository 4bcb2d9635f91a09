#!/usr/bin/env bash
# The launcher finds the game itself. A prefix whose uninstall entries name a
# sample RADS game folder (beside entries no program should trust), a first
# start with a link as a Chromium-based browser escapes it and no
# setting.ini: the link reaches the cmd stand-in with no box at all, cmd is
# sent into the highest release that holds deploy (0.0.1.91, not 0.0.1.90
# listed first, nor 0.0.0.255), and lol_path is saved. Then with a second
# entry naming another game: the folder box, and the real folder picker opens
# at the first folder found, so OK launches the waiting link.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin found-folder
e2e_legible_screen

uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
releases="$E2E_C/Games/Found/RADS/solutions/lol_game_client_sln/releases"
mkdir -p "$releases/0.0.0.255/deploy" "$releases/0.0.1.90" "$releases/0.0.1.91/deploy"
entry() { wine reg add "$1" /v "$2" "${@:3}" /f >/dev/null 2>&1; }
entry "$uninstall\\League of Legends" InstallLocation /d 'C:\Games\Found'
# Neighbours every machine has: a number, a file's icon, a folder with no
# game, a quoted folder that is not there, and a value of several KB.
entry "$uninstall\\A number" InstallLocation /t REG_DWORD /d 5
entry "$uninstall\\An icon" DisplayIcon /d '"C:\windows\notepad.exe",0'
entry "$uninstall\\No game" InstallLocation /d 'C:\windows'
entry "$uninstall\\Gone" InstallLocation /d '"C:\Gone\"'
entry "$uninstall\\Long" InstallLocation /d "C:\\$(printf 'x%.0s' $(seq 4000))"

link='kivra://spectator%7C127.0.0.1:8088%7Cfound-key%7C1/'
found=$(e2e_parameters 'C:\Games\Found\RADS\solutions\lol_game_client_sln\releases\0.0.1.91\deploy' \
  'spectator 127.0.0.1:8088 found-key 1')
e2e_start "$link"
e2e_expect "one entry: the first click reaches cmd" "$(e2e_cmd_calls 1 30)" "$found"
window=$(e2e_main_window)
e2e_expect "one entry: no box at all" "$(e2e_robot count '#32770')" 0
e2e_expect "one entry: lol_path saved" "$(e2e_ini_value lol_path)" 'C:\Games\Found'
e2e_expect "one entry: the cmd text names 0.0.1.91" "$(e2e_ini_value cmd)" "$found"
e2e_expect "one entry: Edit1 shows the folder" "$(e2e_folder_field "$window")" 'C:\Games\Found'
e2e_close_main

# A second game, named by the user's own entry: which one is for the user.
e2e_game_exe "$E2E_C/Games/Second"
entry 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Second' DisplayIcon \
  /d 'C:\Games\Second\League of Legends.exe,0'
rm -f "$E2E_INI" "$E2E_CMD_LOG"
e2e_start "$link"
e2e_expect "two entries: the folder box" "$(sed -n 's/^text: //p' <<<"$(e2e_robot box 30000)")" \
  "请选择英雄联盟(国服/韩服)安装目录"
window=$(e2e_main_window)
e2e_expect "two entries: nothing stored yet" "$(e2e_ini_value lol_path)" "<absent>"
# A fresh prefix's shell fills the picker's tree only after a while: a picker
# that has not selected its start folder yet is cancelled and opened again.
for round in $(seq 8); do
  e2e_robot press "$window" 101 >/dev/null
  picker=$(e2e_robot wait '#32770' 15000)
  at=$(e2e_picker_status "$picker" 'C:\Games\Found')
  [ "$at" == 'C:\Games\Found' ] && break
  e2e_robot press "$picker" 2 >/dev/null
  sleep 0.5
done
e2e_say "picker opened $round time(s)"
e2e_expect "two entries: the picker opens at the first folder found" "$at" 'C:\Games\Found'
import -window root "$E2E_TMP/found-folder-picker.png"
e2e_robot press "$picker" 1 >/dev/null
e2e_expect "two entries: OK launches the waiting link" "$(e2e_cmd_calls 1)" "$found"
e2e_expect "two entries: lol_path saved" "$(e2e_ini_value lol_path)" 'C:\Games\Found'
e2e_close_main
e2e_expect "two entries: launched once" "$(e2e_cmd_calls 2 1 | wc -l)" 1
e2e_finish

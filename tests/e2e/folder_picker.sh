#!/usr/bin/env bash
# The folder button through the real shell picker: it opens at the folder
# Edit1 shows (its status line says so), the robot walks up with the Left key
# and presses OK or Cancel; each acceptance rule, a folder without a game, a
# cancel, a non-ASCII path, a drive root and a settings file that cannot be
# written, read back from Edit1 and setting.ini; a first start's link waits
# for the pick and is launched.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin folder-picker

games="$E2E_C/Games"
e2e_game_exe "$games/A"
e2e_game_rads "$games/A/inner"
e2e_game_exe "$games/B/game"
e2e_game_rads "$games/C"
e2e_game_rads "$games/D/League of Legends KR"
e2e_game_exe "$games/Jeux é"
# At the drive root the rules append to "C:\", so rule 2 stores C:\\game.
e2e_game_exe "$E2E_C/game"


# open_picker: starts the launcher with setting.ini as it is and presses
# Button1; sets PICKER_WINDOW (main window) and PICKER (the picker dialog).
open_picker() {
  e2e_start
  PICKER_WINDOW=$(e2e_main_window)
  e2e_robot press "$PICKER_WINDOW" 101 >/dev/null
  PICKER=$(e2e_robot wait '#32770' 15000)
}

# pick <case> <start folder> <steps up> <button id> <expected status>
# <expected Edit1>: starts the launcher at start folder, opens the picker,
# walks up (Backspace selects the parent), presses the button, reads Edit1.
pick() {
  printf '[setting]\r\nlol_path=%s\r\n' "$2" >"$E2E_INI"
  pick_as_saved "$@"
}
# pick_as_saved: the same with setting.ini as it is.
pick_as_saved() {
  local name=$1 start=$2 ups=$3 button=$4 expected=$5 edit=$6 tree dump i
  open_picker
  e2e_expect "$name: picker opens at the folder shown" "$(e2e_picker_status "$PICKER" "$start")" "$start"
  dump=$(e2e_robot dump "$PICKER")
  tree=$(grep SysTreeView32 <<<"$dump" | sed 's/.*hwnd=\([^ ]*\).*/\1/')
  [ "$name" = "rule 1" ] && e2e_expect "picker title" "$(grep 'id=14146' <<<"$dump" | sed 's/.* text=//')" \
    "选择英雄联盟(国服/韩服)安装目录："
  for ((i = 0; i < ups; i++)); do e2e_robot key "$tree" 0x08 >/dev/null; done
  e2e_expect "$name: status line shows the selection" "$(e2e_picker_status "$PICKER" "$expected")" "$expected"
  e2e_robot press "$PICKER" "$button" >/dev/null
  for ((i = 0; i < 20; i++)); do
    [ "$(e2e_robot dump "$PICKER" | head -c 4)" = "" ] && break
    sleep 0.25
  done
  e2e_expect "$name: Edit1" "$(e2e_folder_field "$PICKER_WINDOW")" "$edit"
}

# A fresh prefix's shell fills the picker's tree only after a while: open it
# until it selects the start folder (at most about two minutes), then begin.
warm_up() {
  local round ready
  printf '[setting]\r\nlol_path=C:\\Games\\C\r\n' >"$E2E_INI"
  for round in $(seq 8); do
    open_picker
    ready=$(e2e_picker_status "$PICKER" 'C:\Games\C')
    e2e_robot press "$PICKER" 2 >/dev/null
    e2e_close_main >/dev/null
    if [ "$ready" == 'C:\Games\C' ]; then
      e2e_say "picker ready after $round opening(s)"
      return
    fi
  done
  e2e_fail "the shell's folder picker never selected its start folder"
}
warm_up

# walk_to <folder>: from the picker's root, the keyboard walks the tree the way
# the status line leads (Right into a folder on the way, Down past the others)
# until the folder is selected.
walk_to() {
  local tree at i
  tree=$(e2e_robot dump "$PICKER" | grep SysTreeView32 | sed 's/.*hwnd=\([^ ]*\).*/\1/')
  e2e_robot key "$tree" 0x24 >/dev/null
  for ((i = 0; i < 60; i++)); do
    sleep 0.3
    at=$(e2e_robot dump "$PICKER" | grep 'id=14147' | sed 's/.* text=//' | iconv -f UTF-8 -t CP1252)
    at=${at%\\}
    [ "$at" == "$1" ] && return 0
    if [ -n "$at" ] && [[ "$1" == "$at\\"* ]]; then
      e2e_robot key "$tree" 0x27 >/dev/null
    else
      e2e_robot key "$tree" 0x28 >/dev/null
    fi
  done
  e2e_fail "the picker never reached $1 (last: $at)"
}

# A first start with a link and no setting.ini: the folder box, then the
# user picks the game folder from nothing, and the waiting link is launched.
user=$(find "$E2E_C/users" -mindepth 1 -maxdepth 1 -type d ! -name Public -printf '%f\n' | head -n 1)
e2e_game_exe "$E2E_C/users/$user/Documents/LoL"
rm -f "$E2E_INI" "$E2E_CMD_LOG"
e2e_start 'kivra://first%7Cstart/'
e2e_expect "first start: the folder box" "$(sed -n 's/^text: //p' <<<"$(e2e_robot box 30000)")" \
  "请选择英雄联盟(国服/韩服)安装目录"
PICKER_WINDOW=$(e2e_main_window)
e2e_robot press "$PICKER_WINDOW" 101 >/dev/null
PICKER=$(e2e_robot wait '#32770' 15000)
walk_to "C:\\users\\$user\\Documents\\LoL"
e2e_robot press "$PICKER" 1 >/dev/null
e2e_expect "first start: the waiting link is launched once the folder is picked" "$(e2e_cmd_calls 1)" \
  "$(e2e_parameters "C:\\users\\$user\\Documents\\LoL" 'first start')"
e2e_expect "first start: lol_path saved" "$(e2e_ini_value lol_path)" "C:\\users\\$user\\Documents\\LoL"
e2e_close_main
e2e_expect "first start: launched once" "$(e2e_cmd_calls 2 1 | wc -l)" 1

pick "rule 1" 'C:\Games\A\inner' 1 1 'C:\Games\A' 'C:\Games\A'
e2e_expect "rule 1: saved as lol_path" "$(e2e_ini_value lol_path)" 'C:\Games\A'
e2e_close_main
pick "rule 2" 'C:\Games\B\game' 1 1 'C:\Games\B' 'C:\Games\B\game'
e2e_expect "rule 2: saved as lol_path" "$(e2e_ini_value lol_path)" 'C:\Games\B\game'
e2e_close_main
pick "rule 3" 'C:\Games\C' 0 1 'C:\Games\C' 'C:\Games\C'
e2e_close_main
pick "rule 4" 'C:\Games\D\League of Legends KR' 1 1 'C:\Games\D' 'C:\Games\D\League of Legends KR'
e2e_expect "rule 4: saved as lol_path" "$(e2e_ini_value lol_path)" 'C:\Games\D\League of Legends KR'
e2e_close_main

pick "no rule" 'C:\Games\A\inner' 2 1 'C:\Games' 'C:\Games\A\inner'
box=$(e2e_robot box 10000)
e2e_expect "no rule: the folder box" "$(sed -n 's/^text: //p' <<<"$box")" "请选择英雄联盟(国服/韩服)安装目录"
e2e_expect "no rule: lol_path kept" "$(e2e_ini_value lol_path)" 'C:\Games\A\inner'
e2e_close_main

pick "cancel" 'C:\Games\A\inner' 1 2 'C:\Games\A' 'C:\Games\A\inner'
e2e_expect "cancel: no box" "$(e2e_robot count '#32770')" 0
e2e_expect "cancel: lol_path kept" "$(e2e_ini_value lol_path)" 'C:\Games\A\inner'
e2e_close_main

jeux="C:\\Games\\Jeux $(printf '\xe9')"
pick "non-ASCII" "$jeux" 0 1 "$jeux" "$jeux"
e2e_expect "non-ASCII: lol_path in the ANSI code page" "$(e2e_ini_value lol_path)" "$jeux"
e2e_close_main

# shellcheck disable=SC1003 # a drive root ends in a backslash
pick "drive root" 'C:\game' 1 1 'C:\' 'C:\\game'
e2e_expect "drive root: saved as appended" "$(e2e_ini_value lol_path)" 'C:\\game'
e2e_close_main

# The folder is shown and used though it cannot be saved.
printf '[setting]\r\nlol_path=C:\\Games\\A\\inner\r\n' >"$E2E_INI"
chattr +i "$E2E_INI" || { echo "e2e: this file system cannot make setting.ini immutable" >&2; exit 1; }
trap 'chattr -i "$E2E_INI" 2>/dev/null; e2e_end' EXIT
pick_as_saved "read-only" 'C:\Games\A\inner' 1 1 'C:\Games\A' 'C:\Games\A'
box=$(e2e_robot box 10000)
e2e_expect "read-only: the error box" "$(sed -n 's/^text: //p' <<<"$box")" 'Unable to write to C:\vantro\setting.ini.'
e2e_expect "read-only: lol_path kept" "$(e2e_ini_value lol_path)" 'C:\Games\A\inner'
e2e_close_main
chattr -i "$E2E_INI"
e2e_finish

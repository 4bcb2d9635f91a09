#!/usr/bin/env bash
# No click lost: a link handed over while the first start's folder box is
# open reaches the running launcher (not the box) and is the one launched
# after the pick, once. (Links handed over at one moment: e2e.instance_stress.)
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin hand-off-kept

uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
e2e_game_exe "$E2E_C/Games/Kept"
e2e_game_exe "$E2E_C/Games/Other"
# Two games: the launcher asks which, and the picker opens at the first.
wine reg add "$uninstall\\Kept" /v InstallLocation /d 'C:\Games\Kept' /f >/dev/null 2>&1
wine reg add "$uninstall\\Other" /v InstallLocation /d 'C:\Games\Other' /f >/dev/null 2>&1

e2e_start 'kivra://first|click'
first=$E2E_PID
box=$(e2e_robot box 30000 --keep)
e2e_expect "the folder box is open" "$(sed -n 's/^text: //p' <<<"$box")" "请选择英雄联盟(国服/韩服)安装目录"
wine "$E2E_EXE" 'kivra://during%7Cthe%7Cbox' >/dev/null 2>&1
e2e_expect "a hand-off during the box ends with 0" "$?" 0
e2e_robot box 5000 >/dev/null
# The handed link waits for the folder too, and asks for it once more.
e2e_expect "the handed link asks for the folder" \
  "$(sed -n 's/^text: //p' <<<"$(e2e_robot box 15000)")" "请选择英雄联盟(国服/韩服)安装目录"
window=$(e2e_main_window)
for _ in $(seq 8); do
  e2e_robot press "$window" 101 >/dev/null
  picker=$(e2e_robot wait '#32770' 15000)
  at=""
  for _ in $(seq 40); do
    at=$(e2e_robot dump "$picker" | grep 'id=14147' | sed 's/.* text=//')
    [ "$at" == 'C:\Games\Kept' ] && break
    sleep 0.25
  done
  [ "$at" == 'C:\Games\Kept' ] && break
  e2e_robot press "$picker" 2 >/dev/null
  sleep 0.5
done
e2e_robot press "$picker" 1 >/dev/null
e2e_expect "the link handed over during the box is the one launched" "$(e2e_cmd_calls 1)" \
  "$(e2e_parameters 'C:\Games\Kept' 'during the box')"
sleep 1
e2e_expect "and only it" "$(e2e_cmd_calls 2 0 | wc -l)" 1
e2e_expect "the first instance runs on" "$(kill -0 "$first" && echo running)" running

e2e_close_main
e2e_finish

#!/usr/bin/env bash
# A second launcher while the first runs: with a link it writes "watch", posts
# the hand-off message and ends with 0, and the first launches the new link;
# without a link it only brings the first to the front.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin hand-off

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
e2e_start
first=$E2E_PID
e2e_main_window >/dev/null

wine "$E2E_EXE" 'kivra://second|link/' >/dev/null 2>&1
e2e_expect "second instance with a link ends with 0" "$?" 0
e2e_expect "second instance wrote watch" "$(e2e_ini_value watch)" "kivra://second|link/"
e2e_expect "the first launched the handed link" "$(e2e_cmd_calls 1)" \
  "$(e2e_parameters 'C:\Games\LoL' 'second link')"

wine "$E2E_EXE" 'kivra://third' >/dev/null 2>&1
e2e_expect "each hand-off launches again" "$(e2e_cmd_calls 2 | tail -n 1)" \
  "$(e2e_parameters 'C:\Games\LoL' 'third')"

wine "$E2E_EXE" >/dev/null 2>&1
e2e_expect "second instance without a link ends with 0" "$?" 0
e2e_expect "without a link watch is untouched" "$(e2e_ini_value watch)" "kivra://third"
sleep 1
e2e_expect "without a link nothing is launched" "$(e2e_cmd_calls 2 0 | wc -l)" 2
e2e_expect "still exactly one main window" "$(e2e_robot count TForm1)" 1
e2e_expect "the first instance runs on" "$(kill -0 "$first" && echo running)" running
e2e_close_main
e2e_finish

#!/usr/bin/env bash
# Twenty launchers started at the same moment (created suspended, resumed
# together): exactly one runs as the first instance, the others end with 0.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin simultaneous

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
# Into a file: the running launcher keeps the robot's output open.
wine "$VANTRO_ROBOT_EXE" spawn 20 60000 "$E2E_EXE" >"$E2E_TMP/spawn" 2>/dev/null
results=$(tr -d '\r' <"$E2E_TMP/spawn")
e2e_say "$(sort <<<"$results" | uniq -c | sed 's/pid=[0-9]*//')"
e2e_expect "one launcher runs" "$(grep -c '^running' <<<"$results")" 1
e2e_expect "nineteen ended with 0" "$(grep -c '^exit=0$' <<<"$results")" 19
e2e_expect "one main window" "$(e2e_robot count TForm1)" 1
window=$(e2e_main_window 5000)
e2e_robot close "$window" >/dev/null
# The first instance ends; a new start is a first instance again.
for _ in $(seq 50); do e2e_robot list | grep -q 'class=TApplication' || break; sleep 0.2; done
e2e_start
e2e_expect "after the first closed, a new start is first again" "$([ -n "$(e2e_main_window)" ] && echo yes)" yes
e2e_close_main
e2e_finish

#!/usr/bin/env bash
# A first instance killed hard, with no chance to clear its slot: once the
# system has taken it down, a new start runs as the first instance.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin killed-first

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
e2e_start
first=$(e2e_main_window 30000)
e2e_expect "the first instance shows its window" "$([ -n "$first" ] && echo yes)" yes
pkill -9 -f 'vantro\.exe' 2>/dev/null
for _ in $(seq 100); do e2e_robot list | grep -qE 'class=(TForm1|TApplication)' || break; sleep 0.2; done
sleep 1
e2e_start "kivra://after|kill/"
e2e_expect "after a hard kill, a new start is first" "$([ -n "$(e2e_main_window 30000)" ] && echo yes)" yes
e2e_expect "and launches its own link" "$(e2e_cmd_calls 1 | grep -c '"after kill"')" 1
e2e_close_main
e2e_finish

#!/usr/bin/env bash
# Twenty launchers with twenty different links started at one moment against
# a running first instance: all hand over and end with 0, one main window
# stays, and every handed link is launched, once.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin instance-stress

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
e2e_start
first=$(e2e_main_window 30000)
e2e_expect "the first instance shows its window" "$([ -n "$first" ] && echo yes)" yes

wine "$VANTRO_ROBOT_EXE" spawn 20 60000 "$E2E_EXE" 'kivra://spectator|127.0.0.1:8088|key{i}|{i}/' \
  >"$E2E_TMP/spawn" 2>/dev/null
results=$(tr -d '\r' <"$E2E_TMP/spawn")
e2e_expect "all twenty handed over and ended with 0" "$(grep -c '^exit=0$' <<<"$results")" 20
e2e_expect "one main window" "$(e2e_robot count TForm1)" 1
calls=$(e2e_cmd_calls 20 30)
e2e_say "$(sed -E 's/.*"(spectator[^"]*)".*/\1/' <<<"$calls" | sort | uniq -c | head -n 25)"
e2e_expect "one launch per hand-off" "$(grep -c . <<<"$calls")" 20
# Each link travels in its own message: none is lost to another's "watch".
e2e_expect "every handed link launched, once" "$(sort <<<"$calls")" \
  "$(for i in $(seq 0 19); do
       e2e_parameters 'C:\Games\LoL' "spectator 127.0.0.1:8088 key$i $i"
       echo
     done | sort)"

e2e_close_main
e2e_finish

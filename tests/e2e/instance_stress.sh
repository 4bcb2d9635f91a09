#!/usr/bin/env bash
# Twenty launchers with twenty different links started at one moment against
# a running first instance: all hand over and end with 0, one main window
# stays, and every hand-off launches one of the handed links.
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
# setting.ini is shared without a lock: a hand-off can read "watch" while the
# next launcher rewrites it, and then launches that one's link, or none.
e2e_expect "every launch is the game command with a handed link or none" \
  "$(grep -cE '^/c cd /d C:\\Games\\LoL && @start "" "League of Legends.exe" "8394" "LoLLauncher.exe" "" "(spectator 127\.0\.0\.1:8088 key[0-9]+ [0-9]+)?" && exit$' <<<"$calls")" 20

e2e_close_main
e2e_finish

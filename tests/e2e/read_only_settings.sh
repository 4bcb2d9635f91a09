#!/usr/bin/env bash
# A setting.ini the system refuses to write: the first instance shows the
# error box and starts nothing; a second instance shows the runtime's fatal
# box, posts nothing and ends with exit code 1.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin read-only-settings
command -v chattr >/dev/null || { echo "e2e: chattr is missing (e2fsprogs)" >&2; exit 1; }

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL' 'cmd=before'
# Read-only for root too: the file cannot be changed, replaced or removed.
chattr +i "$E2E_INI" || { echo "e2e: this file system cannot make setting.ini immutable" >&2; exit 1; }
trap 'chattr -i "$E2E_INI" 2>/dev/null; e2e_end' EXIT

e2e_start 'kivra://x'
box=$(e2e_robot box 30000)
e2e_say "$box"
e2e_expect "error box" "$(sed -n 's/^text: //p' <<<"$box")" 'Unable to write to C:\vantro\setting.ini.'
e2e_expect "error box caption" "$(sed -n 's/^caption: //p' <<<"$box")" "Vantro - 英雄联盟观战程序"
e2e_main_window >/dev/null
e2e_expect "nothing started" "$(e2e_cmd_calls 1 1)" ""

(wine "$E2E_EXE" 'kivra://y' >/dev/null 2>&1; echo $? >"$E2E_TMP/second") &
box=$(e2e_robot box 30000)
e2e_say "$box"
e2e_expect "fatal box caption" "$(sed -n 's/^caption: //p' <<<"$box")" "Application Error"
e2e_expect "fatal box text" "$(sed -n 's/^text: //p' <<<"$box")" \
  'EIniFileException: Unable to write to C:\vantro\setting.ini.'
for _ in $(seq 100); do [ -s "$E2E_TMP/second" ] && break; sleep 0.1; done
e2e_expect "second instance ends with 1" "$(cat "$E2E_TMP/second" 2>/dev/null)" 1
e2e_expect "no hand-off reached the first" "$(e2e_cmd_calls 1 1)" ""
e2e_expect "setting.ini unchanged" "$(e2e_ini_value cmd)" "before"
e2e_close_main
e2e_finish

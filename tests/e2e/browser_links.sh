#!/usr/bin/env bash
# Links as today's browsers hand them to the registered handler: escaped with
# %XX, given on the command line, through the shell's own kivra handler and
# handed over by a second instance, all launched as the page wrote them; an
# escaped quote refused; a link that comes while the game folder holds no
# release to change into waits instead of starting cmd into nothing; and a
# launcher built without update or site host asks no server and still launches.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin browser-links

page_link='kivra://spectator|127.0.0.1:8088|key+/=|4242|KR/'
chromium_link='kivra://spectator%7C127.0.0.1:8088%7Ckey+/=%7C4242%7CKR/'
arguments='spectator 127.0.0.1:8088 key+/= 4242 KR'
rads='C:\Games\LoL\RADS\solutions\lol_game_client_sln\releases\0.0.1.88\deploy'
e2e_game_rads "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'

e2e_start "$chromium_link"
e2e_main_window >/dev/null
e2e_expect "escaped link on the command line: handed to cmd as the page wrote it" \
  "$(e2e_cmd_calls 1)" "$(e2e_parameters "$rads" "$arguments")"
e2e_expect "the escaped and the plain link give one text" "$(e2e_ini_value cmd)" \
  "$(e2e_parameters "$rads" "$arguments")"

# The shell's handler for kivra, as the first start registered it, starts a
# second launcher that hands the link over.
rm -f "$E2E_CMD_LOG"
wine start "${chromium_link/4242/4243}" >/dev/null 2>&1
e2e_expect "through the shell's kivra handler and a hand-off" "$(e2e_cmd_calls 1)" \
  "$(e2e_parameters "$rads" "${arguments/4242/4243}")"
e2e_expect "the hand-off stored the link as it came" "$(e2e_ini_value watch)" "${chromium_link/4242/4243}"
wine "$E2E_EXE" "$page_link" >/dev/null 2>&1
e2e_expect "a plain link handed over gives the same text" "$(e2e_cmd_calls 2 | tail -n 1)" \
  "$(e2e_parameters "$rads" "$arguments")"

before=$(e2e_ini_value cmd)
wine "$E2E_EXE" 'kivra://x%22%20%26calc%26%20%22' >/dev/null 2>&1
e2e_expect "an escaped quote is refused" "$(sed -n 's/^text: //p' <<<"$(e2e_robot box 20000)")" \
  "观战链接中含有不能安全交给命令行的字符（双引号、百分号或控制字符），已拒绝启动观战。"
e2e_expect "the refused link stored and started nothing" "$(e2e_ini_value cmd) $(e2e_cmd_calls 3 1 | wc -l)" \
  "$before 2"
e2e_close_main

# A RADS tree whose release folder is gone: the folder box, no cmd.
mv "$E2E_C/Games/LoL/RADS/solutions/lol_game_client_sln/releases/0.0.1.88" "$E2E_C/Games/LoL/0.0.1.88"
rm -f "$E2E_CMD_LOG"
e2e_start "$chromium_link"
e2e_expect "no release to change into: the folder box" "$(sed -n 's/^text: //p' <<<"$(e2e_robot box 30000)")" \
  "请选择英雄联盟(国服/韩服)安装目录"
e2e_main_window >/dev/null
e2e_expect "no release to change into: cmd not started" "$(e2e_cmd_calls 1 2 | wc -l)" 0
e2e_close_main
mv "$E2E_C/Games/LoL/0.0.1.88" "$E2E_C/Games/LoL/RADS/solutions/lol_game_client_sln/releases/0.0.1.88"

# Built with no hosts: no request, no box, the link launched all the same.
cp "$VANTRO_NOHOSTS_EXE" "$E2E_APP/vantro.exe"
: >"$E2E_TMP/update-requests.log"
rm -f "$E2E_CMD_LOG"
e2e_start "$chromium_link"
e2e_main_window >/dev/null
e2e_expect "no hosts: launched" "$(e2e_cmd_calls 1)" "$(e2e_parameters "$rads" "$arguments")"
e2e_expect "no hosts: no box" "$(e2e_robot count '#32770')" 0
sleep 1
e2e_expect "no hosts: no server asked, no page opened" \
  "$(wc -l <"$E2E_TMP/update-requests.log") $(e2e_browser_calls 1 0 | wc -l)" "0 0"
e2e_close_main
e2e_finish

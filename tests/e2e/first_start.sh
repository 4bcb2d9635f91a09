#!/usr/bin/env bash
# First start without setting.ini, with a link: the folder box captioned with
# the application title, the link kept waiting for the folder pick (neither
# launched nor stored), the kivra scheme registered; a
# second start from the same place leaves the registry as it finds it.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin first-start
title="Vantro - 英雄联盟观战程序"

e2e_start "kivra://spectator|127.0.0.1:8088|key|1/"
box=$(e2e_robot box 30000)
e2e_say "$box"
e2e_expect "box caption" "$(sed -n 's/^caption: //p' <<<"$box")" "$title"
e2e_expect "box text" "$(sed -n 's/^text: //p' <<<"$box")" "请选择英雄联盟(国服/韩服)安装目录"
window=$(e2e_main_window)
e2e_expect "main window shows after OK" "$([ -n "$window" ] && echo yes)" yes
dump=$(e2e_robot dump "$window")
e2e_expect "main window caption" "$(head -n 1 <<<"$dump" | sed 's/.* text=//')" "$title"
e2e_expect "folder field is empty" "$(grep 'class=Edit' <<<"$dump" | sed 's/.* text=//')" ""

command=$(e2e_registry 'HKCR\kivra\shell\open\command' /ve)
e2e_say "$command"
e2e_expect "scheme name" "$(e2e_registry 'HKCR\kivra' /ve | grep -o 'REG_SZ.*')" "REG_SZ    kivraProtocol"
e2e_expect "URL Protocol" "$(e2e_registry 'HKCR\kivra' /v 'URL Protocol' | grep -o 'REG_SZ.*')" \
  'REG_SZ    C:\vantro\vantro.exe'
e2e_expect "icon" "$(e2e_registry 'HKCR\kivra\DefaultIcon' /ve | grep -o 'REG_SZ.*')" \
  'REG_SZ    C:\vantro\vantro.exe,1'
e2e_expect "open command" "$(grep -o 'REG_SZ.*' <<<"$command")" 'REG_SZ    "C:\vantro\vantro.exe" "%1"'
e2e_close_main
e2e_expect "without a folder the link was neither launched nor stored" "$(e2e_cmd_calls 1 0)$(e2e_ini_value watch)" "<absent>"

# The command still names this exe: nothing is written, even over a changed value.
wine reg add 'HKCR\kivra' /v 'URL Protocol' /d changed /f >/dev/null 2>&1
e2e_start
e2e_robot box 30000 >/dev/null
e2e_close_main
e2e_expect "registration is current: URL Protocol left alone" \
  "$(e2e_registry 'HKCR\kivra' /v 'URL Protocol' | grep -o 'REG_SZ.*')" "REG_SZ    changed"
e2e_finish

#!/usr/bin/env bash
# A start with a link and a valid game folder: setting.ini holds the exact
# parameter text under "cmd" and cmd was handed that text. Folders with the
# game executable, with the RADS tree, with a character cmd acts on and with a
# non-ASCII name; a link that cmd would act on is refused.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin launch-link

# launch <folder as Windows path> <link> <expected game arguments> <expected folder in P>
launch() {
  local folder=$1 link=$2 arguments=$3 deploy=$4 window p
  printf '[setting]\r\nlol_path=%s\r\n' "$folder" >"$E2E_INI"
  rm -f "$E2E_CMD_LOG"
  e2e_start "$link"
  window=$(e2e_main_window)
  p=$(e2e_parameters "$deploy" "$arguments")
  e2e_expect "$folder: setting.ini cmd" "$(e2e_ini_value cmd)" "$p"
  e2e_expect "$folder: handed to cmd" "$(e2e_cmd_calls 1)" "$p"
  e2e_expect "$folder: folder field" "$(e2e_folder_field "$window")" "$folder"
  e2e_close_main
}

e2e_game_exe "$E2E_C/Games/LoL"
launch 'C:\Games\LoL' 'kivra://spectator|127.0.0.1:8088|key=a/b|42|NA1/' \
  'spectator 127.0.0.1:8088 key=a/b 42 NA1' 'C:\Games\LoL'

e2e_game_rads "$E2E_C/Games/LoL KR"
launch 'C:\Games\LoL KR' 'kivra://one|two|three//' 'one two three/' \
  'C:\Games\LoL KR\RADS\solutions\lol_game_client_sln\releases\0.0.1.88\deploy'

e2e_game_exe "$E2E_C/Games/R&D"
launch 'C:\Games\R&D' 'kivra://x' 'x' '"C:\Games\R&D"'

# Paths and the command line are ANSI bytes (here code page 1252); the folder
# field shows the same name through the W API.
e2e_game_exe "$E2E_C/Games/Jeux é"
launch "C:\\Games\\Jeux $(printf '\xe9')" 'kivra://x' 'x' "C:\\Games\\Jeux $(printf '\xe9')"

# A link cmd would act on, handed over to a running launcher, is refused.
printf '[setting]\r\nlol_path=C:\\Games\\LoL\r\ncmd=before\r\n' >"$E2E_INI"
rm -f "$E2E_CMD_LOG"
e2e_start
e2e_main_window >/dev/null
wine "$E2E_EXE" 'kivra://spectator|%USERNAME%|1' >/dev/null 2>&1
box=$(e2e_robot box 20000)
e2e_say "$box"
e2e_expect "refusal box" "$(sed -n 's/^text: //p' <<<"$box")" \
  "观战链接中含有不能安全交给命令行的字符（双引号、百分号或控制字符），已拒绝启动观战。"
e2e_expect "refused link: nothing stored under cmd" "$(e2e_ini_value cmd)" "before"
e2e_expect "refused link: cmd not started" "$(e2e_cmd_calls 1 2)" ""
e2e_close_main
e2e_finish

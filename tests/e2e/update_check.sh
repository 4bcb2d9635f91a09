#!/usr/bin/env bash
# The update check of every first start against a local update server: quiet
# when the own version is published, the message and the download page when
# it is not, and an error box that does not stop the set-up when the server
# fails or never answers.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin update-check
title="Vantro - 英雄联盟观战程序"
# The robot shows a carriage return in a box text as \r.
fixed="发现最新版本，请升级至最新版本！"
e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'

# start_quiet <what>: a start that shows no box before its main window.
start_quiet() {
  e2e_start
  local window
  window=$(e2e_main_window 30000)
  e2e_expect "$1: the main window shows" "$([ -n "$window" ] && echo yes)" yes
  e2e_expect "$1: no box" "$(e2e_robot count '#32770')" 0
  e2e_close_main
}

start_quiet "own version published"
e2e_expect "the request went to the version text" \
  "$(head -n 1 "$E2E_TMP/update-requests.log")" "GET /kivra/Version.txt HTTP/1.1"

newer=$(e2e_newer_version)
e2e_update_server --body "$VANTRO_VERSION $newer"
start_quiet "several versions, one of them ours"

e2e_update_server --body "$newer"
e2e_start
box=$(e2e_robot box 30000)
e2e_say "$box"
e2e_expect "newer version: caption" "$(sed -n 's/^caption: //p' <<<"$box")" "$title"
e2e_expect "newer version: text" "$(sed -n 's/^text: //p' <<<"$box")" "${fixed}\\r$newer"
e2e_expect "the download page went to the browser" "$(e2e_browser_calls 1)" \
  "\"http://$VANTRO_SITE_HOST/ob\""
e2e_close_main

e2e_update_server --body ""
e2e_start
box=$(e2e_robot box 30000)
e2e_expect "empty text: only the fixed text" "$(sed -n 's/^text: //p' <<<"$box")" "${fixed}\\r"
e2e_close_main

# A failing server: the error box, then the link is still launched.
e2e_update_server --status 404
e2e_start "kivra://8394 abc"
box=$(e2e_robot box 30000)
e2e_expect "404: error box text" "$(sed -n 's/^text: //p' <<<"$box")" "HTTP/1.1 404 Not Found."
e2e_expect "404: the link is launched all the same" "$(e2e_cmd_calls 1 | wc -l)" 1
e2e_close_main

# A server that never answers: the read time-out ends the check.
e2e_update_server --hang
started=$(date +%s)
e2e_start
box=$(e2e_robot box 40000)
waited=$(($(date +%s) - started))
e2e_say "waited ${waited}s"
e2e_expect "silent server: error box text" "$(sed -n 's/^text: //p' <<<"$box")" "Read Timeout."
e2e_expect "silent server: given up within 25 s" "$([ "$waited" -le 25 ] && echo yes)" yes
e2e_close_main
e2e_finish

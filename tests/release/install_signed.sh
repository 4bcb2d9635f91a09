#!/usr/bin/env bash
# Part of the release suite (run.sh gives the environment): the signed setup
# installed silently under Wine, the installed files signed and verified
# against the suite's CA, and the installed launcher, with the update host
# publishing dist/Version.txt, starting a link without a word about updates.
# Needs what tests/e2e/e2e-lib.sh needs, and VANTRO_TEST_CA.
. "$(dirname "$0")/../e2e/e2e-lib.sh"
e2e_begin release-install
installed="$E2E_C/Program Files/Vantro"
e2e_game_exe "$E2E_C/Games/LoL"
# The update host serves what dist/Version.txt holds.
e2e_update_server --body "$(cat "$(dirname "$VANTRO_EXE")/Version.txt")"

e2e_install
e2e_expect "the signed setup installs" "$?" 0
e2e_expect "the installed launcher is the signed one" \
  "$(cmp "$VANTRO_EXE" "$installed/vantro.exe" && echo same)" same
for file in vantro.exe uninstall.exe; do
  e2e_expect "installed $file verifies against the CA" \
    "$(osslsigncode verify -CAfile "$VANTRO_TEST_CA" -in "$installed/$file" >/dev/null 2>&1 && echo ok)" ok
done

e2e_use_installed
e2e_ini 'lol_path=C:\Games\LoL'
e2e_shell_open 'kivra://spectator%7C127.0.0.1:8088%7Ckey%7C1/'
e2e_expect "a link reaches the installed, signed launcher" "$(e2e_cmd_calls 1)" \
  "$(e2e_parameters 'C:\Games\LoL' 'spectator 127.0.0.1:8088 key 1')"
window=$(e2e_main_window)
e2e_expect "the main window shows" "$([ -n "$window" ] && echo yes)" yes
e2e_expect "Version.txt names this launcher: no update box" "$(e2e_robot count '#32770')" 0
e2e_expect "the update check read Version.txt" \
  "$(head -n 1 "$E2E_TMP/update-requests.log" 2>/dev/null)" "GET /kivra/Version.txt HTTP/1.1"
e2e_close_main
e2e_finish

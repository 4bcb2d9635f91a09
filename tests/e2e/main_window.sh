#!/usr/bin/env bash
# The main window through the real window: place, client size, border and
# title-bar buttons, each control's place, size, text and state, and their
# order; a screenshot of it is kept (E2E_KEEP) as an artifact; the layout
# scaled at 120 dpi; the browser area and its one request for the client
# page.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin main-window

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
e2e_legible_screen
e2e_start
window=$(e2e_main_window)
dump=$(e2e_robot dump "$window")
e2e_say "$dump"
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
main=$(head -n 1 <<<"$dump")
e2e_expect "window place" "$(field rect "$main" | cut -d, -f1,2)" "809,318"
e2e_expect "client area" "$(field client "$main")" "351x492"
style=$(field style "$main")
e2e_expect "system menu and minimise, no maximise, fixed border" \
  "$(( (style & 0x80000) != 0 )) $(( (style & 0x20000) != 0 )) $(( (style & 0x10000) != 0 )) $(( (style & 0x40000) != 0 ))" \
  "1 1 0 0"
control() { grep "class=$1 " <<<"$dump"; }
e2e_expect "Edit1" "$(field rect "$(control Edit)") $(field enabled "$(control Edit)") $(control Edit | sed 's/.* text=//')" \
  '96,11,161,21 0 C:\Games\LoL'
e2e_expect "Button1" "$(field rect "$(control Button)") $(field enabled "$(control Button)") $(control Button | sed 's/.* text=//')" \
  '264,8,81,25 1 手动查找'
e2e_expect "Label1" "$(field rect "$(control Static)") $(control Static | sed 's/.* text=//')" '8,16,121,13 英雄联盟目录:'
e2e_expect "web" "$(field rect "$(control VantroWebArea)")" '0,40,350,450'
# The browser's own windows follow its area.
e2e_expect "tab order" "$(tail -n +2 <<<"$dump" | head -n 4 | sed 's/.* class=\([^ ]*\) .*/\1/' | tr '\n' ' ')" \
  "Edit Button Static VantroWebArea "
# The browser asks for the client page after the update check.
for ((i = 0; i < 50; i++)); do
  grep -q '^GET /client/ ' "$E2E_TMP/update-requests.log" 2>/dev/null && break
  sleep 0.1
done
e2e_expect "the client page is asked for once, after the version text" \
  "$(grep -o '^GET /[^ ]*' "$E2E_TMP/update-requests.log" | tr '\n' ' ')" "GET /kivra/Version.txt GET /client/ "
sleep 0.5
import -window root "$E2E_TMP/root.png" &&
  convert "$E2E_TMP/root.png" -crop "$(field rect "$main" | awk -F, '{print $3 "x" $4 "+" $1 "+" $2}')" +repage "$E2E_TMP/main-window.png" && rm -f "$E2E_TMP/root.png"
e2e_expect "screenshot taken" "$([ -s "$E2E_TMP/main-window.png" ] && echo yes)" yes
e2e_close_main

# At 120 dpi the layout scales by 5/4 (rounded); the place stays as it is.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1
wineserver -w 2>/dev/null || true
wineserver -k 2>/dev/null
e2e_start
dump=$(e2e_robot dump "$(e2e_main_window)")
e2e_expect "120 dpi: window place and client area" \
  "$(field rect "$(head -n 1 <<<"$dump")" | cut -d, -f1,2) $(field client "$(head -n 1 <<<"$dump")")" "809,318 439x615"
e2e_expect "120 dpi: Edit1, Button1, Label1, web" \
  "$(field rect "$(control Edit)") $(field rect "$(control Button)") $(field rect "$(control Static)") $(field rect "$(control VantroWebArea)")" \
  "120,14,201,26 330,10,101,31 10,20,151,16 0,50,438,563"
e2e_close_main

# A system without the browser control: the area stays blank, no box, and
# the folder button still answers.
wine reg delete 'HKCR\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}' /f >/dev/null 2>&1
: >"$E2E_TMP/update-requests.log"
e2e_start
window=$(e2e_main_window)
dump=$(e2e_robot dump "$window")
e2e_expect "no control: an empty browser area" \
  "$(field rect "$(control VantroWebArea)") $(grep -c 'class=Shell ' <<<"$dump")" "0,50,438,563 0"
e2e_expect "no control: no box" "$(e2e_robot count '#32770')" 0
e2e_expect "no control: no client page asked for" "$(grep -c '^GET /client/' "$E2E_TMP/update-requests.log")" 0
e2e_robot press "$window" 101 >/dev/null
dialog=$(e2e_robot wait '#32770' 15000)
e2e_expect "no control: the folder button opens the picker" "$([ -n "$dialog" ] && echo yes)" yes
[ -n "$dialog" ] && e2e_robot press "$dialog" 2 >/dev/null
e2e_close_main
e2e_finish

#!/usr/bin/env bash
# The main window through the real window: place, client size, border and
# title-bar buttons, each control's place, size, text and state, and their
# order; a screenshot of it is kept (E2E_KEEP) as an artifact.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin main-window
command -v import >/dev/null || { echo "e2e: import is missing (imagemagick)" >&2; exit 1; }

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
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
e2e_expect "tab order" "$(tail -n +2 <<<"$dump" | sed 's/.* class=\([^ ]*\) .*/\1/' | tr '\n' ' ')" "Edit Button Static "
sleep 0.5
import -window root "$E2E_TMP/root.png" && convert "$E2E_TMP/root.png" -crop 351x492+809+318 +repage "$E2E_TMP/main-window.png" && rm -f "$E2E_TMP/root.png"
e2e_expect "screenshot taken" "$([ -s "$E2E_TMP/main-window.png" ] && echo yes)" yes
e2e_close_main
e2e_finish
